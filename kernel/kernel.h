// kernel/kernel.h -- application configuration, start-up, shutdown and the command line.
#pragma once
#include <cstdint>

inline constexpr int GAME_VERSION = 125;  // shown as "1.25"

// Input mask bits: which platform input becomes kernel events.
inline constexpr uint32_t INPUT_LEFT_DOWN = 0x20;
inline constexpr uint32_t INPUT_RIGHT_DOWN = 0x40;
inline constexpr uint32_t INPUT_LEFT_UP = 0x80;
inline constexpr uint32_t INPUT_RIGHT_UP = 0x100;
inline constexpr uint32_t INPUT_KEY_DOWN = 0x800;
inline constexpr uint32_t INPUT_KEY_UP = 0x1000;
inline constexpr uint32_t INPUT_CHAR = 0x2000;
inline constexpr uint32_t INPUT_FEEDBACK_MOUSE = 0x4000;

// Filled once before any window exists; read-only afterwards.
struct AppConfig {
    const char* title;      // "Lumavex"
    const char* className;  // "KVLUMAVEXCLASS"
    uint32_t inputMask;     // INPUT_* bits
    int bitsPerPixel;       // 24
    int videoDriver;        // 1 renderer, other values window surface
    int framePeriod;        // ms between ticks; 0 means no ticks
    int debugLevel;         // 0 off, 1 log file, 2 standard error
};
extern AppConfig app_config;
void app_config_defaults(AppConfig* config);

// Command line: a switch is found by substring search and counts only when a blank follows it;
// its value is the next word. A switch without a word counts as absent.
int cmdline_word(const char* cmdline, const char* name, char* word, int size);  // 1 found
int cmdline_int(const char* cmdline, const char* name, int* value);             // 1 found
int cmdline_bool(const char* cmdline, const char* name, int* value);            // 1 found
// The puzzles folder from "-path": at most 259 characters, '\' turned into '/'. 1 when given.
int cmdline_path(const char* cmdline, char* path, int size);

int kernel_main(int argc, char** argv);
void kernel_init();
void kernel_done();

const char* kernel_puzzles_folder();

// Deletes the least recently accessed files matching folder/pattern until their total is at
// most limit bytes. Files that cannot be deleted are passed over, so it always ends.
using RemoveFile = int (*)(const char* path);  // 1 when the file is gone
void kernel_trim_folder(const char* folder, const char* pattern, uint32_t limit, RemoveFile remove = nullptr);

// "OldScreenSize" of the previous run, checked against the current screen.
void kernel_old_screen_size(int* width, int* height);
// Reads "OldScreenSize" from section "MAIN" of ini: a missing key, a side under 640 x 480 or one
// beyond any real screen gives the fallback size instead.
void kernel_read_old_screen_size(const char* ini, int fallbackWidth, int fallbackHeight, int* width,
                                 int* height);

// Closing: the drawing window goes first (kernel_done runs there), then the main window.
void kernel_destroy_windows();
int kernel_windows_gone();
