// gui/window_local.h -- what the window manager's two files share (window.cpp: the table, the
// tree and the operations on windows; window_route.cpp: painting and routing events, captures).
// Nothing else includes it.
#pragma once
#include "base/limits.h"
#include "gui/window.h"
#include "gui/window_shadow.h"
#include "platform/io_debug.h"

struct TWindow {
    int parent;  // -1 for none
    int style;
    int width, height;
    int x, y;              // relative to the parent (screen position without one)
    int screenX, screenY;  // absolute
    int visible;
    WindowHandler handler;
    void* userData;
    int prevSibling, nextSibling;
    int firstChild, lastChild;                    // bottom-most, top-most
    int mouseInside;                              // hit test of the last mouse event
    char* title;                                  // own copy or null
    int rollUpButton, unrollButton, closeButton;  // -1 when none
    WindowShadow* shadow;                         // in use: own, or the shared rolled-up bar's
    WindowShadow* ownShadow;                      // TW_SHADOW only
    int rolledUp;
    int unrolledWidth, unrolledHeight;
};

struct Posted {
    int window;
    KernelEvent event;
};

struct WindowManager {
    int count;        // windows registered
    int room;         // TW_SCREEN window receiving events, -1
    int modal;        // -1
    int floating;     // -1
    int claimed;      // a window took the mouse during this event
    int captureKind;  // a WindowCaptureKind
    int captured;
    int lastX, lastY;                    // last capture point (screen)
    int mouseX, mouseY;                  // last mouse position seen
    int bandX0, bandY0, bandX1, bandY1;  // start and current corner (screen)
    WindowBand band;                     // normalised, screen coordinates
    int titleFont, titleColour, titleShadow;
    int oldWidth, oldHeight;     // previous run's screen size
    WindowShadow* rolledShadow;  // shared by every rolled-up bar
    Posted posted[POSTED_EVENT_MAX];
    int readPos, writePos;
};

// No room, modal, floating or captured window: the state before window_init and after window_done.
inline constexpr WindowManager WM_EMPTY = {.room = -1, .modal = -1, .floating = -1, .captured = -1};

extern TWindow g_windows[WINDOW_MAX];
extern WindowManager g_wm;

inline TWindow& wm_window(int w) {
    IO_ASSERT((unsigned)w < (unsigned)g_wm.count);
    return g_windows[w];
}

inline int wm_clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

int wm_shadow_kind(int w);  // the large shadow while the window is being moved
void wm_raise(int w);       // to the top of its siblings, redrawn
