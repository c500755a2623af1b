// base/event.h -- the kernel event record and its type numbers, shared by every layer that
// handles input: the kernel raises these events and the windows and rooms take them.
#pragma once
#include <cstdint>

// What a, b and c mean for each type.
enum KernelEventType {
    KE_IDLE = 1,        // 0, 0, 0: draw now; raised when the loop is not behind
    KE_TICK = 2,        // game time in ms, 0, 0: one per frame period
    KE_PAINT = 3,       // address of a Rect, 0, 0: the platform exposed this area
    KE_TEXT = 4,        // word (0 from the gift extractor), address of a text, 0
    KE_MOUSEDOWN = 10,  // x, y, button (MOUSE_LEFT, MOUSE_RIGHT) + MOUSE_CTRL with Ctrl
    KE_MOUSEUP = 11,    // x, y, as above
    KE_MOUSEMOVE = 13,  // x, y, 0
    KE_WHEEL = 14,      // x, y, steps: positive when the wheel turns away from the user
    KE_KEYDOWN = 20,    // key code + 0x10000 with Ctrl, 0, 0
    KE_KEYUP = 21,      // as above
    KE_CHAR = 22,       // character 32..127, 0, 0 (only when character input is on)
    KE_RESETKEYS = 23,  // 0, 0, 0: drop every key-held state
    KE_TEXTINPUT = 24,  // one Windows-1252 byte 32..255 of typed text, 0, 0 (whatever the input mask)
};

// The bits of a mouse event's c: the button, Ctrl held, and the bit the window manager adds to a
// press or release that its mouse capture hands to the capturing window (in screen coordinates,
// whatever lies under the pointer).
inline constexpr int MOUSE_LEFT = 1, MOUSE_RIGHT = 2, MOUSE_CTRL = 4, MOUSE_CAPTURED = 8;

// Key codes of KE_KEYDOWN and KE_KEYUP besides letters and digits (their ASCII codes).
inline constexpr int KEY_LEFT = 128, KEY_RIGHT = 129, KEY_UP = 130, KEY_DOWN = 131;
inline constexpr int KEY_PAGEUP = 132, KEY_PAGEDOWN = 133, KEY_BACKSPACE = 134, KEY_ESCAPE = 135;
inline constexpr int KEY_ENTER = 136, KEY_TAB = 137, KEY_DELETE = 138, KEY_SPACE = 32;
inline constexpr int KEY_PRINTSCREEN = 44, KEY_F1 = 140;  // F1..F12 are 140..151
inline constexpr int KEY_HOME = 152, KEY_END = 153;
inline constexpr int KEY_CTRL = 0x10000;

struct KernelEvent {
    int type;
    intptr_t a, b, c;
};

// Handlers return nonzero when they consumed the event.
using KernelHandler = int (*)(KernelEvent* event);
