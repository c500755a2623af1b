// gui/window.h -- the window manager: the table of windows, their tree and stacking order, the
// routing of kernel events, title drag, roll up, captures, posted events and placements.
//
// Windows are indices into windows[] (WINDOW_MAX); nothing is removed while the game runs.
// Handlers get (window, event) and return nonzero when they consumed the event.
#pragma once
#include <cstdint>

#include "base/event.h"
#include "image/img.h"

struct EditField;

// Window styles.
inline constexpr int TW_SCREEN = 0x1;    // whole screen; can become the room window
inline constexpr int TW_CHILD = 0x2;     // child of the parent, on top of its siblings
inline constexpr int TW_MODAL = 0x4;     // can be shown modal
inline constexpr int TW_POPUP = 0x8;     // can take the floating focus
inline constexpr int TW_NOCATCH = 0x10;  // a mouse event inside it does not claim the mouse
inline constexpr int TW_RAISE = 0x20;    // a press raises it; with TW_TITLE the title drags it
inline constexpr int TW_OUTSIDE = 0x40;  // receives other windows' mouse events as WE_OUTSIDE
inline constexpr int TW_TITLE = 0x80;    // 18-pixel title bar with the title text
inline constexpr int TW_ROLLUP = 0x100;  // roll-up and unroll buttons in the title bar
inline constexpr int TW_CLOSE = 0x200;   // close button in the title bar
inline constexpr int TW_SHADOW = 0x400;  // soft drop shadow (implied by TW_RAISE and TW_TITLE)

inline constexpr int TITLE_HEIGHT = 18;
inline constexpr int ROLLED_WIDTH = 138;  // a rolled-up window is its title bar alone

// Window-manager events; what a, b, c carry.
enum WindowEventType {
    WE_DESTROY = 256,      // 0: at shutdown; the handler frees its user data
    WE_CAPTUREDRAW = 257,  // width, height: after each KE_IDLE to the mouse-capture window
    WE_CAPTUREMOVE = 258,  // dx, dy, address of the int[2] mouse position relative to the window
    WE_CAPTUREEND = 259,   // 0: the mouse capture ended
    WE_BANDMOVE = 262,     // dx, dy, address of the WindowBand relative to the window
    WE_BANDEND = 263,      // 0, 0, address of the WindowBand in screen coordinates
    WE_OUTSIDE = 264,      // the mouse event's a, b, c: claimed by another window or outside
    WE_BUTTON = 268,       // button window, its state, 0
    WE_SLIDER = 270,       // slider window, new value, 0
    WE_SCREENSIZE = 272,   // old screen width, old height: the screen (frame) has its new size now
};

struct WindowBand {
    int x, y, width, height;  // normalised: width and height >= 0
    int ctrl;                 // 1 when the last mouse event had MOUSE_CTRL
};

// Capture kinds (window_capture_kind).
enum WindowCaptureKind {
    CAPTURE_NONE,
    CAPTURE_MOVE,   // the window follows the mouse (a title bar dragged)
    CAPTURE_MOUSE,  // moves reported as WE_CAPTUREMOVE, clamped into the window
    CAPTURE_BAND,   // a rubber band: WE_BANDMOVE, then WE_BANDEND
};

// What window_restore_placement restores.
inline constexpr int PLACE_POSITION = 1;  // rescaled from the previous run's screen size
inline constexpr int PLACE_SIZE = 2;
inline constexpr int PLACE_VISIBLE = 4;
inline constexpr int PLACE_ROLLED_UP = 8;

using WindowHandler = int (*)(int window, KernelEvent* event);

void window_init();             // empty table, no focus, no capture, the shared rolled-up shadow
void window_done();             // WE_DESTROY to every window in index order, then frees titles and shadows
void window_prepare_shadows();  // renders the shared shadow masks now (after ge_init) instead of on first use
// The title font and its colours as 0xRRGGBB values (the small font with the values of skin
// colours 14 and 15).
void window_set_title_style(int font, int colour, int shadow);

// The kernel dispatcher hands every event but paint and text here; nonzero when consumed.
int window_dispatch(KernelEvent* event);

int window_register(int parent, int style, int x, int y, int width, int height, WindowHandler handler,
                    void* userData);
void window_set_title(int window, const char* text);
const char* window_title(int window);  // null when none
void* window_user_data(int window);
int window_parent(int window);
int window_style(int window);
int window_visible(int window);
int window_rolled_up(int window);
void window_show(int window, int visible);
void window_move(int window, int x, int y);  // relative to the parent
void window_resize(int window, int width, int height);
void window_resize_keep_bottom(int window, int width, int height);
void window_size(int window, int* width, int* height);  // unrolled size
void window_screen_pos(int window, int* x, int* y);     // as if unrolled
void window_pos(int window, int* x, int* y);            // relative to the parent
void window_roll_up(int window, int rolled);
void window_raise(int window);  // to the top of its siblings, redrawn

void window_focus(int window);  // TW_SCREEN: room window; TW_POPUP: floating focus; else fatal
void window_drop_focus();       // clears the floating focus
int window_room();              // -1 when none
// The window a mouse press at the screen point would reach (the modal window while there is
// one; windows that let the mouse through are passed over); -1 when none.
int window_at(int x, int y);
int window_floating();  // -1 when none
// Centres the window, makes it the modal window and runs the edit-field dialog with the given
// fields (null for none) until the modal ends; returns its result. Only one modal at a time.
int window_focus_modal(int window, EditField* fields);
void window_end_modal(int result, int keep);  // keep = 1 copies the fields' texts back
int window_has_modal();
int window_modal();  // -1 when none

void window_redraw(int window);  // its rectangle and shadow become dirty
void window_redraw_part(int window, int x, int y, int width, int height);  // window-relative

// Drawing helpers with window-relative coordinates.
int window_draw_text(int window, const char* text, int x, int y);
void window_draw_image(int window, const Image* image, int x, int y);
void window_draw_cached(int window, int cacheIndex, int x, int y);

// Queues a copy for delivery at the end of the current dispatch (63 at most; more is fatal).
void post_event(int window, const KernelEvent* event);

// Captures: the current mouse position is the last capture point (and the band's corners).
void window_start_move(int window);
void window_start_capture(int window);
void window_start_band(int window);
void window_end_capture();
int window_is_moved(int window);    // 1 during a move capture of that window
int window_capture_kind();          // a WindowCaptureKind
void window_mouse(int* x, int* y);  // the last mouse position the window manager saw

// Placement text "x y width height visible rolledUp" in the configuration file; `what` the
// PLACE_ bits of the parts restored.
void window_save_placement(int window, const char* section, const char* key);
void window_restore_placement(int window, const char* section, const char* key, int what);
void window_keep_reachable(int window);
// The previous run's screen size, for rescaling placements (the kernel sets it at start).
void window_set_old_screen_size(int width, int height);
// The screen changed size while the game runs (the main window was resized): every room window
// takes the new size, a window that covered its room goes on covering it, every other window of a
// room (and every window of its own) is moved as placements are at a start on a new screen size
// (rescaled, then kept reachable), and then each room window gets WE_SCREENSIZE to lay out the
// rest. The modal window is centred again.
void window_screen_resized(int oldWidth, int oldHeight);
