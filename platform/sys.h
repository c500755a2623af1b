// platform/sys.h -- the game's windows, input and process services over SDL2 and POSIX.
//
// The platform delivers `PlatformMessage`s; the kernel turns them into kernel events. Real SDL
// input and the automation script both reach the kernel through `sys_dispatch_sdl_event`.
#pragma once
#include <cstdint>

union SDL_Event;

enum SysBoxKind { SYS_BOX_STOP, SYS_BOX_INFO, SYS_BOX_QUESTION, SYS_BOX_WARNING };

// Message boxes. In headless mode (or before SDL runs) the text goes to standard error and the
// default answer is taken.
void sys_message_box(int kind, const char* title, const char* text);
int sys_question_box(const char* title, const char* text, int default_yes);  // 1 yes
// Buttons from left to right; returns the chosen index, or `cancel_index` when closed.
int sys_choice_box(int kind, const char* title, const char* text, const char* const* buttons, int count,
                   int default_index, int cancel_index);

struct SysOptions {
    int headless;  // dummy video and audio drivers, virtual clock
    int window_w;  // frame buffer size for a window; 0 for full screen
    int window_h;
    int scale;  // UI scale; 0 chooses from the display's dots per inch (and its width)
};

// The UI scale for a desktop of that width and dots per inch (0: unknown): a whole factor of
// about dpi / 96 (2 from 168 dots per inch), at least 2 on desktops wider than 2560 pixels, and
// never so large that the frame would be smaller than 640 x 480.
int sys_choose_scale(int desktopWidth, int desktopHeight, float dpi);
// The frame buffer for a window of w x h window pixels at this scale: whole multiples of 8 frame
// pixels (so the screen's cells stay at least 8 pixels on a side), at least 640 x 480 (a smaller
// window shows the frame's top-left part).
inline constexpr int FRAME_MIN_W = 640, FRAME_MIN_H = 480;
void sys_frame_for_window(int w, int h, int scale, int* frameW, int* frameH);

int sys_init(const SysOptions& options);  // 1; SDL started
void sys_done();
int sys_headless();
int sys_scale();
int sys_display_depth();  // bits per pixel of the desktop
// Creates the main window; the frame buffer size is reported through width and height.
int sys_create_window(const char* title, int* width, int* height);
void sys_destroy_window();
// The game minimises itself (the minimise corner): a full-screen window leaves full screen first,
// since window managers do not minimise full-screen windows, and takes it up again when restored.
// closing: the window is minimised on its way out, as it is.
void sys_minimise_window(int closing = 0);
int sys_fullscreen();  // the window covers the desktop
// The window's size in window pixels, as a window manager would set it (a size below the window's
// minimum too); the resize arrives as PM_RESIZE.
void sys_set_window_size(int w, int h);
// Whether the X server of the window offers direct rendering to the GPU (DRI3, DRI2 or NV-GLX):
// 1, 0, or -1 when the window is not on X11 or the server cannot be asked.
int sys_x11_direct_rendering();
void sys_raise_window();
struct SDL_Window* sys_window();

// Milliseconds: the real counter, or in headless mode the virtual clock that the main loop
// advances by one frame period per pass.
uint32_t sys_millis();
void sys_advance_virtual_clock(uint32_t ms);

// Messages the kernel receives.
enum PlatformMessageKind {
    PM_NONE,
    PM_PAINT,        // x, y, w, h: the exposed rectangle
    PM_BUTTON_DOWN,  // x, y, button 1/2, held (bit 1 left, 2 right, 4 ctrl)
    PM_BUTTON_UP,
    PM_MOUSE_MOVE,  // x, y, held
    PM_KEY_DOWN,    // key: kernel key code or -1; held bit 4 for ctrl
    PM_KEY_UP,
    PM_SYSKEY_DOWN,  // Alt combinations and F10
    PM_CHAR,         // ch
    PM_ACTIVATE,
    PM_DEACTIVATE,
    PM_SET_TEXT,  // word, text
    PM_CLOSE,     // window close button, signals, the script's quit
    PM_DISPLAY_CHANGED,
    PM_MIDI_DONE,
    PM_WHEEL,       // x, y: the mouse position; steps
    PM_TEXT_INPUT,  // ch: one Windows-1252 byte 32..255 of typed text
    PM_RESIZE,      // w, h: the window's new size in window pixels
};
struct PlatformMessage {
    int kind;
    int x, y, w, h;
    int button;
    int held;
    int key;
    int ch;
    int word;
    const char* text;
    int steps;  // wheel steps, positive when the wheel turns away from the user
};

using PlatformHandler = void (*)(const PlatformMessage& message);
void sys_set_message_handler(PlatformHandler handler);

// Takes the next pending SDL event (or instance request) and hands it on; 0 when none waits.
int sys_pump_one();
void sys_wait(uint32_t ms);  // blocks until an event arrives or ms pass
void sys_dispatch_sdl_event(const SDL_Event& event);
// A platform part that posts SDL events of its own (the sound's tune end) installs a taker when
// it starts; every event is offered to it first, and one it takes (returns 1) goes no further.
using SysEventTaker = int (*)(const SDL_Event& event);
void sys_set_event_taker(SysEventTaker taker);
int sys_translate_key(int sdl_keycode);  // kernel key code, -1 for keys that raise nothing
// Modifier state for events that carry none of their own (the script sets it per command).
void sys_force_ctrl(int ctrl);    // -1 reads the keyboard again
void sys_force_shift(int shift);  // -1 reads the keyboard again
int sys_shift_held();             // the keyboard's Shift, or the forced value

// The desktop clipboard as UTF-8 text. When the desktop has none (the dummy video driver) a copy
// kept by the game stands in, so copy and paste still work inside the game.
void sys_clipboard_set(const char* utf8);
int sys_clipboard_get(char* out, int size);  // length of the text put into out; 0 when empty

// Cursors.
enum SysCursorKind {
    CURSOR_ARROW = 0,
    CURSOR_WAIT = 1,  // the hourglass
    CURSOR_GAME = 2,  // the game's own picture (sys_set_game_cursor)
};
void sys_set_cursor(int kind);
int sys_cursor();  // the kind last set
void sys_confine_mouse(int x, int y, int w, int h);
void sys_release_mouse();
void sys_move_mouse(int x, int y);

// Single instance: the first copy holds a lock in its private runtime folder for the whole run
// and listens on the socket beside it; a second copy asks it to come forward and must end. The
// claim is one atomic lock, so two copies started at the same instant never both run, no copy
// removes another's live socket, and the claim of a killed copy is free again at once. A text
// sent by another program arrives as PM_SET_TEXT.
int sys_instance_claim(const char* class_name);  // 1 first copy, 0 another copy runs
// 1 delivered; waits up to a few seconds for a first copy that holds its claim but does not
// listen yet.
int sys_instance_send_text(const char* class_name, int word, const char* text);
void sys_instance_release();
// The second guard: a lock on the game's own folder, so two copies started with different
// runtime folders never write the same files. 1 held (or the folder cannot be locked at all),
// 0 another copy holds it.
int sys_folder_claim(const char* folder);

// The game's private folder for this user ("$XDG_RUNTIME_DIR/lumavex", else "/tmp/lumavex-UID",
// mode 0700): where working copies go when the game's own folder cannot be written. 1 when usable.
int sys_private_folder(char* out, int size);

// SIGTERM, SIGINT, SIGHUP (the terminal closed) and SIGQUIT take the road of the window's close
// button, so the game is saved on every way out; caught before the window exists, a signal is
// taken at the first pump.
void sys_catch_close_signals();

// Starts a program without waiting for it; 1 when it could be started.
int sys_spawn_detached(const char* const* argv);
// Runs a program and waits at most timeout_ms for it; its exit code, -1 when it could not be
// started, -2 when it is still running. While it waits, `waiting` (may be null) is called about
// ten times a second, so the game can keep its window painted.
int sys_run(const char* const* argv, int timeout_ms, void (*waiting)() = nullptr);

// Pictures from the data pack for the window: 32-bit 0xAARRGGBB pixels, rows top to bottom.
void sys_set_window_icon(const uint32_t* argb, int width, int height);
void sys_set_game_cursor(const uint32_t* argb, int width, int height, int hot_x, int hot_y);
