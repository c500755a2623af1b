// kernel/app_config.h -- the application configuration: window title and class, input mask,
// video driver, tick period and log level.
#pragma once
#include <cstdint>

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
    int videoDriver;        // 1 renderer, other values the window's framebuffer
    int videoDriverGiven;   // -videodriver was given; else the driver is chosen for the display
    int framePeriod;        // ms between ticks; 0 means no ticks
    int debugLevel;         // 0 off, 1 log file, 2 standard error
};
extern AppConfig app_config;
void app_config_defaults(AppConfig* config);
