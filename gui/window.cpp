// gui/window.cpp -- the window manager: windows[], the tree and stacking order, routing of kernel
// events (broadcast and input orders, captures, WE_OUTSIDE, raising), title drag, roll up, the
// posted-event ring, modal and floating focus, painting with clip rectangles, placements.
//
// Sections: table and tree -- redraw -- painting -- delivery -- captures -- dispatch -- public
// operations in header order -- placements.
#include "gui/window.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/limits.h"
#include "gui/button.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/io_dialog.h"
#include "gui/window_shadow.h"
#include "platform/io_debug.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "platform/screen.h"

namespace {

constexpr int TITLE_BUTTON_STYLE = 0x201;  // push button showing a skin picture
constexpr int BAND_COLOUR = 30;            // skin colour of the rubber band outline
constexpr int PLACEMENT_LIMIT = 1 << 20;   // placement numbers beyond this are damaged

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
constexpr WindowManager WM_EMPTY = {.room = -1, .modal = -1, .floating = -1, .captured = -1};

TWindow g_windows[WINDOW_MAX];
WindowManager g_wm = WM_EMPTY;

TWindow& win(int w) {
    IO_ASSERT((unsigned)w < (unsigned)g_wm.count);
    return g_windows[w];
}

bool is_mouse_event(int type) {
    return type == KE_MOUSEDOWN || type == KE_MOUSEUP || type == KE_MOUSEMOVE || type == KE_WHEEL;
}

// --- Table and tree ---

void unlink(int w) {
    TWindow& t = g_windows[w];
    TWindow& p = g_windows[t.parent];
    if (t.prevSibling >= 0)
        g_windows[t.prevSibling].nextSibling = t.nextSibling;
    else
        p.firstChild = t.nextSibling;
    if (t.nextSibling >= 0)
        g_windows[t.nextSibling].prevSibling = t.prevSibling;
    else
        p.lastChild = t.prevSibling;
    t.prevSibling = t.nextSibling = -1;
}

void append_child(int parent, int w) {
    TWindow& p = g_windows[parent];
    TWindow& t = g_windows[w];
    t.prevSibling = p.lastChild;
    t.nextSibling = -1;
    if (p.lastChild >= 0)
        g_windows[p.lastChild].nextSibling = w;
    else
        p.firstChild = w;
    p.lastChild = w;
}

void update_screen_pos(int w) {
    TWindow& t = g_windows[w];
    t.screenX = t.x + (t.parent >= 0 ? g_windows[t.parent].screenX : 0);
    t.screenY = t.y + (t.parent >= 0 ? g_windows[t.parent].screenY : 0);
    for (int c = t.firstChild; c >= 0; c = g_windows[c].nextSibling)
        update_screen_pos(c);
}

// The title buttons follow the right edge: the roll-up pair at width - 36, close at width - 18.
void place_title_buttons(int w) {
    TWindow& t = g_windows[w];
    if (t.rollUpButton >= 0) window_move(t.rollUpButton, t.width - 2 * TITLE_HEIGHT, 0);
    if (t.unrollButton >= 0) window_move(t.unrollButton, t.width - 2 * TITLE_HEIGHT, 0);
    if (t.closeButton >= 0) window_move(t.closeButton, t.width - TITLE_HEIGHT, 0);
}

// A button registered for a window always lies above it in the table; anything else means no
// button could be made.
int title_button(int w, int x, int picture) {
    const int b =
        button_register(w, TITLE_BUTTON_STYLE, x, 0, TITLE_HEIGHT, TITLE_HEIGHT, picture, nullptr, 0, 0);
    return b > w && b < g_wm.count ? b : -1;
}

// --- Redraw ---

int shadow_kind(int w) {
    return g_wm.captureKind == CAPTURE_MOVE && g_wm.captured == w ? SHADOW_LARGE : SHADOW_SMALL;
}

void invalidate(int x, int y, int width, int height) {
    if (g_wm.modal >= 0 && io_dialog_is_open())
        io_dialog_invalidate(x, y, width, height);
    else
        screen_invalidate(x, y, width, height);
}

// --- Painting (KE_IDLE) ---

void draw_band_outline() {
    const WindowBand& b = g_wm.band;
    ge_set_pen(2, ge_colour(BAND_COLOUR));
    ge_rectangle(b.x, b.y, b.width + 1, b.height + 1);
}

void invalidate_band() {
    const WindowBand& b = g_wm.band;
    screen_invalidate(b.x, b.y, b.width + 1, b.height + 1);
}

// Shadow (with the parent's clip), frame, title bar and title, then the handler inside the
// window's clip. Returns the handler's answer; a rolled-up window stops after its bar.
int paint(int w, KernelEvent* event, const Rect& parentClip, const Rect& clip) {
    TWindow& t = g_windows[w];
    if (t.shadow) {
        screen_set_clip(parentClip.x, parentClip.y, parentClip.w, parentClip.h);
        window_shadow_draw(t.shadow, shadow_kind(w), t.screenX, t.screenY);
    }
    screen_set_clip(clip.x, clip.y, clip.w, clip.h);
    ge_set_origin(t.screenX, t.screenY);
    if ((t.style & TW_TITLE) && screen_is_dirty(t.screenX, t.screenY, t.width, t.height)) {
        const int raise = (t.style & TW_RAISE) != 0, rollUp = (t.style & TW_ROLLUP) != 0;
        const int close = (t.style & TW_CLOSE) != 0;
        if (!t.rolledUp) ge_draw_element(0, 0, 0, t.width, t.height);
        ge_draw_title_bar(0, 0, t.width, raise, rollUp, close);
        const Font* font = font_get(g_wm.titleFont);
        if (t.title && font) {
            // The title stops where the bar's closing piece before the buttons begins.
            const int end = t.width - (rollUp ? 48 : (close ? 30 : 12));
            const Rect text = rect_intersect(clip, {t.screenX, t.screenY, end, TITLE_HEIGHT});
            screen_set_clip(text.x, text.y, text.w, text.h);
            font_set_style(g_wm.titleFont, g_wm.titleColour, g_wm.titleShadow);
            font_draw(t.title, t.screenX + 24, t.screenY + (TITLE_HEIGHT - font->height) / 2);
            screen_set_clip(clip.x, clip.y, clip.w, clip.h);
        }
    }
    if (t.rolledUp) return 0;
    KernelEvent idle = *event;
    idle.a = t.width;
    idle.b = t.height;
    const int consumed = t.handler ? t.handler(w, &idle) : 0;
    if (g_wm.captureKind == CAPTURE_BAND && g_wm.captured == w) draw_band_outline();
    return consumed;
}

Rect window_rect(const TWindow& t) { return {t.screenX, t.screenY, t.width, t.height}; }

Rect whole_screen() { return {0, 0, screen.width, screen.height}; }

// --- Delivery to one window ---

void raise_window(int w) {
    TWindow& t = g_windows[w];
    if (t.parent >= 0 && g_windows[t.parent].lastChild != w) {
        unlink(w);
        append_child(t.parent, w);
    }
    window_redraw(w);
}

int deliver_mouse(int w, KernelEvent* event) {
    TWindow& t = g_windows[w];
    const int mx = (int)event->a, my = (int)event->b;
    t.mouseInside =
        mx >= t.screenX && mx < t.screenX + t.width && my >= t.screenY && my < t.screenY + t.height;
    if (g_wm.claimed || !t.mouseInside) {
        if (!(t.style & TW_OUTSIDE) || !t.handler) return 0;
        KernelEvent outside = *event;
        outside.type = WE_OUTSIDE;
        return t.handler(w, &outside);
    }
    if (!(t.style & TW_NOCATCH)) g_wm.claimed = 1;
    KernelEvent local = *event;
    local.a -= t.screenX;
    local.b -= t.screenY;
    return t.handler ? t.handler(w, &local) : 0;
}

int deliver_button(int w, KernelEvent* event) {
    TWindow& t = g_windows[w];
    const int button = (int)event->a;
    if ((t.style & TW_CLOSE) && button >= 0 && button == t.closeButton) {
        window_show(w, 0);
        return 1;
    }
    if ((t.style & TW_ROLLUP) && button >= 0 && (button == t.rollUpButton || button == t.unrollButton)) {
        window_roll_up(w, button == t.rollUpButton);
        return 1;
    }
    return t.handler ? t.handler(w, event) : 0;
}

int deliver(int w, KernelEvent* event, const Rect& parentClip) {
    TWindow& t = g_windows[w];
    const int type = event->type;
    if (!g_wm.claimed && type == KE_MOUSEDOWN && (t.style & TW_RAISE) && (t.style & TW_TITLE)) {
        const int mx = (int)event->a, my = (int)event->b;
        if (mx >= t.screenX && mx < t.screenX + t.width && my >= t.screenY && my < t.screenY + TITLE_HEIGHT) {
            window_start_move(w);
            return 1;
        }
    }
    int consumed;
    if (type == KE_IDLE) {
        return paint(w, event, parentClip, rect_intersect(parentClip, window_rect(t)));
    } else if (is_mouse_event(type)) {
        consumed = deliver_mouse(w, event);
    } else if (type == WE_CAPTUREDRAW) {
        ge_set_origin(t.screenX, t.screenY);
        KernelEvent draw = *event;
        draw.a = t.width;
        draw.b = t.height;
        consumed = t.handler ? t.handler(w, &draw) : 0;
    } else if (type == WE_BUTTON) {
        consumed = deliver_button(w, event);
    } else {
        consumed = t.handler ? t.handler(w, event) : 0;
    }
    if (!consumed && type == KE_MOUSEDOWN && (t.style & TW_RAISE) && t.mouseInside) {
        raise_window(w);
        return 1;
    }
    return consumed;
}

// Drawing order: the window first, then (unless rolled up) its children bottom to top; a
// rolled-up window passes the event only to its unroll and close buttons.
int broadcast(int w, KernelEvent* event, const Rect& parentClip) {
    TWindow& t = g_windows[w];
    if (!t.visible) return 0;
    if (deliver(w, event, parentClip)) return 1;
    const Rect clip = rect_intersect(parentClip, window_rect(t));
    if (t.rolledUp) {
        if (t.unrollButton >= 0 && broadcast(t.unrollButton, event, clip)) return 1;
        return t.closeButton >= 0 && broadcast(t.closeButton, event, clip);
    }
    for (int c = t.firstChild; c >= 0; c = g_windows[c].nextSibling)
        if (broadcast(c, event, clip)) return 1;
    return 0;
}

// Input order: children top to bottom (each with its children first), then the window itself.
int input(int w, KernelEvent* event) {
    TWindow& t = g_windows[w];
    if (!t.visible) return 0;
    if (t.rolledUp) {
        if (t.unrollButton >= 0 && input(t.unrollButton, event)) return 1;
        return t.closeButton >= 0 && input(t.closeButton, event);
    }
    for (int c = t.lastChild; c >= 0; c = g_windows[c].prevSibling)
        if (input(c, event)) return 1;
    return deliver(w, event, whole_screen());
}

// The topmost window of w's tree under a screen point that would take a mouse event there.
int hit(int w, int x, int y) {
    const TWindow& t = g_windows[w];
    if (!t.visible) return -1;
    if (!t.rolledUp)
        for (int c = t.lastChild; c >= 0; c = g_windows[c].prevSibling) {
            const int h = hit(c, x, y);
            if (h >= 0) return h;
        }
    if (t.style & TW_NOCATCH) return -1;
    const int width = t.rolledUp ? ROLLED_WIDTH : t.width, height = t.rolledUp ? TITLE_HEIGHT : t.height;
    return x >= t.screenX && y >= t.screenY && x < t.screenX + width && y < t.screenY + height ? w : -1;
}

// --- Captures ---
//
// Tick by tick, a move capture started by a press in a title bar:
//   press in [screenY, screenY + 18)  -> CAPTURE_MOVE, last point = press, redrawn (large shadow)
//   move to p                          -> window moves by p - last point; last point = p
//   another press                      -> not consumed: delivered as usual
//   release / key down / reset keys    -> capture ends; window redrawn (small shadow)
// A mouse capture clamps moves into the window and reports them as WE_CAPTUREMOVE; presses and
// releases go to its handler in screen coordinates with c | MOUSE_CAPTURED. A rubber band
// clamps likewise and reports WE_BANDMOVE; the release ends it with WE_BANDEND.

void send(int w, int type, intptr_t a, intptr_t b, intptr_t c) {
    TWindow& t = win(w);
    KernelEvent e{type, a, b, c};
    if (t.handler) t.handler(w, &e);
}

void normalise_band() {
    WindowBand& b = g_wm.band;
    b.x = g_wm.bandX0 < g_wm.bandX1 ? g_wm.bandX0 : g_wm.bandX1;
    b.y = g_wm.bandY0 < g_wm.bandY1 ? g_wm.bandY0 : g_wm.bandY1;
    b.width = g_wm.bandX0 < g_wm.bandX1 ? g_wm.bandX1 - g_wm.bandX0 : g_wm.bandX0 - g_wm.bandX1;
    b.height = g_wm.bandY0 < g_wm.bandY1 ? g_wm.bandY1 - g_wm.bandY0 : g_wm.bandY0 - g_wm.bandY1;
}

int clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

int capture_move(KernelEvent* event) {
    const int w = g_wm.captured, kind = g_wm.captureKind;
    TWindow& t = g_windows[w];
    int x = (int)event->a, y = (int)event->b;
    if (kind != CAPTURE_MOVE) {
        x = clamp(x, t.screenX, t.screenX + t.width - 1);
        y = clamp(y, t.screenY, t.screenY + t.height - 1);
    }
    const int dx = x - g_wm.lastX, dy = y - g_wm.lastY;
    g_wm.lastX = x;
    g_wm.lastY = y;
    if (!dx && !dy) return 1;
    if (kind == CAPTURE_MOVE) {
        int px, py;
        window_pos(w, &px, &py);
        window_move(w, px + dx, py + dy);
    } else if (kind == CAPTURE_MOUSE) {
        int rel[2] = {x - t.screenX, y - t.screenY};
        send(w, WE_CAPTUREMOVE, dx, dy, (intptr_t)rel);
    } else {
        invalidate_band();
        g_wm.bandX1 += dx;
        g_wm.bandY1 += dy;
        normalise_band();
        invalidate_band();
        WindowBand rel = g_wm.band;
        rel.x -= t.screenX;
        rel.y -= t.screenY;
        send(w, WE_BANDMOVE, dx, dy, (intptr_t)&rel);
    }
    return 1;
}

// Returns -1 when the event goes on to normal delivery, else consumed (1).
int capture_event(KernelEvent* event) {
    const int type = event->type, kind = g_wm.captureKind;
    if (type < KE_MOUSEDOWN || type > KE_RESETKEYS) return 1;
    if (kind == CAPTURE_MOUSE && (type == KE_MOUSEDOWN || type == KE_MOUSEUP)) {
        KernelEvent direct = *event;
        direct.c |= MOUSE_CAPTURED;
        TWindow& t = g_windows[g_wm.captured];
        if (t.handler) t.handler(g_wm.captured, &direct);
        return 1;
    }
    if (type == KE_MOUSEDOWN || type == KE_MOUSEUP || type == KE_MOUSEMOVE)
        g_wm.band.ctrl = (event->c & MOUSE_CTRL) != 0;
    if (type == KE_MOUSEUP) {
        window_end_capture();
        return 1;
    }
    if (type == KE_MOUSEDOWN) return -1;
    if (type == KE_MOUSEMOVE) return capture_move(event);
    if (type == KE_KEYDOWN || type == KE_RESETKEYS) window_end_capture();
    return 1;
}

void start_capture(int w, int kind) {
    win(w);
    if (g_wm.captureKind) window_end_capture();
    g_wm.captureKind = kind;
    g_wm.captured = w;
    g_wm.lastX = g_wm.mouseX;
    g_wm.lastY = g_wm.mouseY;
}

// --- Dispatch ---

void deliver_posted() {
    while (g_wm.readPos != g_wm.writePos) {
        Posted p = g_wm.posted[g_wm.readPos];
        g_wm.readPos = (g_wm.readPos + 1) % POSTED_EVENT_MAX;
        if ((unsigned)p.window < (unsigned)g_wm.count) deliver(p.window, &p.event, whole_screen());
    }
}

int broadcast_all(KernelEvent* event) {
    const Rect all = whole_screen();
    int consumed = 0;
    if (g_wm.room >= 0) consumed |= broadcast(g_wm.room, event, all);
    if (g_wm.modal >= 0) {
        consumed |= broadcast(g_wm.modal, event, all);
        if (event->type == KE_IDLE) {
            screen_clip_reset();
            io_dialog_draw();
        } else {
            consumed |= io_dialog_event(event);
        }
    }
    if (g_wm.floating >= 0) consumed |= broadcast(g_wm.floating, event, all);
    if (event->type == KE_IDLE) {
        if (g_wm.captureKind == CAPTURE_MOUSE) {
            TWindow& t = g_windows[g_wm.captured];
            const Rect parentClip = t.parent >= 0 ? window_rect(g_windows[t.parent]) : all;
            const Rect clip = rect_intersect(parentClip, window_rect(t));
            screen_set_clip(clip.x, clip.y, clip.w, clip.h);
            KernelEvent draw{WE_CAPTUREDRAW, 0, 0, 0};
            deliver(g_wm.captured, &draw, parentClip);
        }
        screen_clip_reset();
    }
    return consumed;
}

int route_input(KernelEvent* event) {
    if (g_wm.captureKind) {
        const int r = capture_event(event);
        if (r >= 0) return r;
    }
    if (g_wm.modal >= 0) return io_dialog_event(event) || input(g_wm.modal, event);
    // A floating window closed by its title button no longer holds the input.
    if (g_wm.floating >= 0 && g_windows[g_wm.floating].visible) return input(g_wm.floating, event);
    if (g_wm.room >= 0) return input(g_wm.room, event);
    return 0;
}

}  // namespace

void window_init() {
    g_wm = WM_EMPTY;
    g_wm.titleFont = FONT_SMALL;
    g_wm.titleColour = 0xFFFFFF;
    g_wm.titleShadow = -1;
    g_wm.rolledShadow = window_shadow_create(16, ROLLED_WIDTH, TITLE_HEIGHT);
}

void window_prepare_shadows() { window_shadow_prepare(); }

void window_done() {
    for (int w = 0; w < g_wm.count; w++) {
        TWindow& t = g_windows[w];
        KernelEvent destroy{WE_DESTROY, 0, 0, 0};
        if (t.handler) t.handler(w, &destroy);
        io_mem_free(t.title);
        window_shadow_free(t.ownShadow);
        t = {};
    }
    window_shadow_free(g_wm.rolledShadow);
    window_shadow_done();
    g_wm = WM_EMPTY;
}

void window_set_title_style(int font, int colour, int shadow) {
    g_wm.titleFont = font;
    g_wm.titleColour = colour;
    g_wm.titleShadow = shadow;
}

int window_dispatch(KernelEvent* event) {
    g_wm.claimed = 0;
    if (is_mouse_event(event->type)) {
        g_wm.mouseX = (int)event->a;
        g_wm.mouseY = (int)event->b;
    }
    int consumed;
    if (event->type == KE_IDLE || event->type == KE_TICK)
        consumed = broadcast_all(event);
    else
        consumed = route_input(event);
    deliver_posted();
    return consumed;
}

int window_register(int parent, int style, int x, int y, int width, int height, WindowHandler handler,
                    void* userData) {
    if (g_wm.count >= WINDOW_MAX) io_fatal("window_register: windows[] is full");
    if (style & (TW_RAISE | TW_TITLE)) style |= TW_SHADOW;
    const int w = g_wm.count++;
    TWindow& t = g_windows[w];
    t = {};
    t.parent = -1;
    t.prevSibling = t.nextSibling = t.firstChild = t.lastChild = -1;
    t.rollUpButton = t.unrollButton = t.closeButton = -1;
    t.style = style;
    if (style & TW_SCREEN) {
        x = y = 0;
        width = screen.width;
        height = screen.height;
    }
    t.x = x;
    t.y = y;
    t.width = width;
    t.height = height;
    t.visible = 1;
    t.handler = handler;
    t.userData = userData;
    if (style & TW_CHILD) {
        win(parent);
        t.parent = parent;
        append_child(parent, w);
    }
    update_screen_pos(w);
    if (style & TW_SHADOW) t.shadow = t.ownShadow = window_shadow_create(0, width, height);
    if (style & TW_ROLLUP) {
        g_windows[w].rollUpButton = title_button(w, width - 2 * TITLE_HEIGHT, GE_PICTURE_ROLL_UP);
        g_windows[w].unrollButton = title_button(w, width - 2 * TITLE_HEIGHT, GE_PICTURE_UNROLL);
        if (g_windows[w].unrollButton >= 0) g_windows[g_windows[w].unrollButton].visible = 0;
    }
    if (style & TW_CLOSE) g_windows[w].closeButton = title_button(w, width - TITLE_HEIGHT, GE_PICTURE_CLOSE);
    return w;
}

void window_set_title(int window, const char* text) {
    TWindow& t = win(window);
    io_mem_free(t.title);
    t.title = text ? io_mem_strdup(text) : nullptr;
    window_redraw(window);
}

const char* window_title(int window) { return win(window).title; }
void* window_user_data(int window) { return win(window).userData; }
int window_parent(int window) { return win(window).parent; }
int window_style(int window) { return win(window).style; }
int window_visible(int window) { return win(window).visible; }
int window_rolled_up(int window) { return win(window).rolledUp; }

void window_show(int window, int visible) {
    TWindow& t = win(window);
    visible = visible != 0;
    if (t.visible == visible) return;
    t.visible = visible;
    window_redraw(window);
}

void window_move(int window, int x, int y) {
    TWindow& t = win(window);
    if (t.rolledUp) x += t.unrolledWidth - t.width;
    if (t.x == x && t.y == y) return;
    window_redraw(window);
    t.x = x;
    t.y = y;
    update_screen_pos(window);
    window_redraw(window);
}

void window_resize(int window, int width, int height) {
    TWindow& t = win(window);
    if (t.rolledUp) {
        t.unrolledWidth = width;
        t.unrolledHeight = height;
        return;
    }
    window_redraw(window);
    t.width = width;
    t.height = height;
    place_title_buttons(window);
    if (t.ownShadow) window_shadow_resize(t.ownShadow, width, height);
    window_redraw(window);
}

void window_resize_keep_bottom(int window, int width, int height) {
    int oldWidth, oldHeight, x, y;
    window_size(window, &oldWidth, &oldHeight);
    window_pos(window, &x, &y);
    window_resize(window, width, height);
    y -= height - oldHeight;
    window_move(window, x, y < 0 ? 0 : y);
}

void window_size(int window, int* width, int* height) {
    const TWindow& t = win(window);
    *width = t.rolledUp ? t.unrolledWidth : t.width;
    *height = t.rolledUp ? t.unrolledHeight : t.height;
}

void window_screen_pos(int window, int* x, int* y) {
    const TWindow& t = win(window);
    *x = t.screenX - (t.rolledUp ? t.unrolledWidth - t.width : 0);
    *y = t.screenY;
}

void window_pos(int window, int* x, int* y) {
    const TWindow& t = win(window);
    *x = t.x - (t.rolledUp ? t.unrolledWidth - t.width : 0);
    *y = t.y;
}

void window_raise(int window) {
    (void)win(window);
    raise_window(window);
}

// Both directions keep the right edge where it is.
void window_roll_up(int window, int rolled) {
    TWindow& t = win(window);
    rolled = rolled != 0;
    if (t.rolledUp == rolled) return;
    window_redraw(window);
    if (rolled) {
        t.unrolledWidth = t.width;
        t.unrolledHeight = t.height;
        t.x += t.width - ROLLED_WIDTH;
        t.width = ROLLED_WIDTH;
        t.height = TITLE_HEIGHT;
        if (t.ownShadow) t.shadow = g_wm.rolledShadow;
    } else {
        t.x -= t.unrolledWidth - t.width;
        t.width = t.unrolledWidth;
        t.height = t.unrolledHeight;
        t.shadow = t.ownShadow;
        if (t.ownShadow) window_shadow_resize(t.ownShadow, t.width, t.height);
    }
    t.rolledUp = rolled;
    update_screen_pos(window);
    place_title_buttons(window);
    if (t.rollUpButton >= 0) g_windows[t.rollUpButton].visible = !rolled;
    if (t.unrollButton >= 0) g_windows[t.unrollButton].visible = rolled;
    window_redraw(window);
}

void window_focus(int window) {
    const TWindow& t = win(window);
    if (t.style & TW_SCREEN)
        g_wm.room = window;
    else if (t.style & TW_POPUP)
        g_wm.floating = window;
    else
        io_fatal("window_focus: invalid style");
    window_redraw(window);
}

void window_drop_focus() {
    if (g_wm.floating >= 0) window_redraw(g_wm.floating);
    g_wm.floating = -1;
}

int window_room() { return g_wm.room; }

int window_at(int x, int y) {
    if (g_wm.modal >= 0) return g_wm.modal;
    if (g_wm.floating >= 0 && g_windows[g_wm.floating].visible) {
        const int h = hit(g_wm.floating, x, y);
        if (h >= 0) return h;
    }
    return g_wm.room >= 0 ? hit(g_wm.room, x, y) : -1;
}
int window_floating() { return g_wm.floating; }

int window_focus_modal(int window, EditField* fields) {
    if (g_wm.modal >= 0) io_fatal("window_focus_modal: only one modal");
    const TWindow& t = win(window);
    if (!(t.style & TW_MODAL)) io_fatal("window_focus_modal: invalid style");
    window_move(window, (screen.width - t.width) / 2, (screen.height - t.height) / 2);
    g_wm.modal = window;
    window_redraw(window);
    const int result = io_dialog_open(t.screenX, t.screenY, fields);
    if (g_wm.modal == window) {
        window_redraw(window);
        g_wm.modal = -1;
    }
    return result;
}

void window_end_modal(int result, int keep) {
    if (g_wm.modal >= 0) window_redraw(g_wm.modal);
    g_wm.modal = -1;
    io_dialog_end(result, keep);
}

int window_has_modal() { return g_wm.modal >= 0; }
int window_modal() { return g_wm.modal; }

void window_redraw(int window) {
    const TWindow& t = win(window);
    int grow = 0;
    if (t.shadow) grow = window_shadow_extent(shadow_kind(window));
    invalidate(t.screenX - grow, t.screenY - grow, t.width + 2 * grow, t.height + 2 * grow);
}

void window_redraw_part(int window, int x, int y, int width, int height) {
    const TWindow& t = win(window);
    invalidate(t.screenX + x, t.screenY + y, width, height);
}

int window_draw_text(int window, const char* text, int x, int y) {
    const TWindow& t = win(window);
    return font_draw(text, t.screenX + x, t.screenY + y);
}

void window_draw_image(int window, const Image* image, int x, int y) {
    const TWindow& t = win(window);
    img_draw_all(image, t.screenX + x, t.screenY + y);
}

void window_draw_cached(int window, int cacheIndex, int x, int y) {
    const TWindow& t = win(window);
    img_draw_all_cached(cacheIndex, t.screenX + x, t.screenY + y);
}

void post_event(int window, const KernelEvent* event) {
    const int next = (g_wm.writePos + 1) % POSTED_EVENT_MAX;
    if (next == g_wm.readPos) io_fatal("twindow: post_event: fevents[] is full");
    g_wm.posted[g_wm.writePos] = {window, *event};
    g_wm.writePos = next;
}

void window_start_move(int window) {
    start_capture(window, CAPTURE_MOVE);
    window_redraw(window);
}

void window_start_capture(int window) { start_capture(window, CAPTURE_MOUSE); }

void window_start_band(int window) {
    start_capture(window, CAPTURE_BAND);
    g_wm.bandX0 = g_wm.bandX1 = g_wm.mouseX;
    g_wm.bandY0 = g_wm.bandY1 = g_wm.mouseY;
    normalise_band();
}

void window_end_capture() {
    const int w = g_wm.captured, kind = g_wm.captureKind;
    if (!kind) return;
    if (kind == CAPTURE_MOVE) window_redraw(w);
    g_wm.captureKind = CAPTURE_NONE;
    g_wm.captured = -1;
    if (kind == CAPTURE_MOVE) {
        window_redraw(w);
    } else if (kind == CAPTURE_MOUSE) {
        send(w, WE_CAPTUREEND, 0, 0, 0);
    } else {
        WindowBand band = g_wm.band;
        send(w, WE_BANDEND, 0, 0, (intptr_t)&band);
        invalidate_band();
    }
}

int window_is_moved(int window) { return g_wm.captureKind == CAPTURE_MOVE && g_wm.captured == window; }
int window_capture_kind() { return g_wm.captureKind; }

void window_mouse(int* x, int* y) {
    *x = g_wm.mouseX;
    *y = g_wm.mouseY;
}

// --- Placements ---

void window_save_placement(int window, const char* section, const char* key) {
    int x, y, width, height;
    window_screen_pos(window, &x, &y);
    window_size(window, &width, &height);
    char text[96];
    std::snprintf(text, sizeof text, "%i %i %i %i %i %i", x, y, width, height, window_visible(window),
                  window_rolled_up(window));
    io_ini_write(CONFIG_INI, section, key, text);
}

namespace {

// Six whole numbers separated by blanks; a missing, foreign or out-of-range number fails.
bool parse_placement(const char* text, long values[6]) {
    const char* p = text;
    for (int i = 0; i < 6; i++) {
        char* end;
        errno = 0;
        values[i] = std::strtol(p, &end, 0);
        if (end == p || errno == ERANGE || values[i] > PLACEMENT_LIMIT || values[i] < -PLACEMENT_LIMIT)
            return false;
        p = end;
    }
    while (*p == ' ' || *p == '\t')
        p++;
    return *p == 0;
}

long clamp_long(long v, long lo, long hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

void window_restore_placement(int window, const char* section, const char* key, int what) {
    TWindow& t = win(window);
    char text[INI_VALUE_MAX + 1];
    long v[6];
    if (!io_ini_read(CONFIG_INI, section, key, text, sizeof text) || !parse_placement(text, v)) return;
    // A damaged size is never taken below the title bar (or one pixel) nor above the screen; a
    // size that is not positive at all is ignored.
    if ((what & PLACE_SIZE) && v[2] > 0 && v[3] > 0) {
        const bool titled = (t.style & TW_TITLE) != 0;
        const long sw = screen.width > 0 ? screen.width : v[2], sh = screen.height > 0 ? screen.height : v[3];
        window_resize(window, (int)clamp_long(v[2], titled ? ROLLED_WIDTH : 1, sw),
                      (int)clamp_long(v[3], titled ? TITLE_HEIGHT : 1, sh));
    }
    if (what & PLACE_POSITION) {
        const long ow = g_wm.oldWidth > 0 ? g_wm.oldWidth : screen.width;
        const long oh = g_wm.oldHeight > 0 ? g_wm.oldHeight : screen.height;
        long x = ow > 0 ? v[0] * screen.width / ow : v[0], y = oh > 0 ? v[1] * screen.height / oh : v[1];
        if (t.parent >= 0) {
            x -= g_windows[t.parent].screenX;
            y -= g_windows[t.parent].screenY;
        }
        window_move(window, (int)x, (int)y);
    }
    if (what & PLACE_VISIBLE) window_show(window, v[4] != 0);
    if (what & PLACE_ROLLED_UP) window_roll_up(window, v[5] != 0);
    window_keep_reachable(window);
}

// The safe area is x 64 .. width - 32 and y 32 .. height - 32 (inclusive). A window entirely
// outside it is shifted by the shortest move that brings one of its corners inside; on equal
// lengths the later corner of top-left, top-right, bottom-left, bottom-right wins.
void window_keep_reachable(int window) {
    const TWindow& t = win(window);
    const int left = 64, right = screen.width - 32, top = 32, bottom = screen.height - 32;
    const int x0 = t.screenX, y0 = t.screenY, x1 = t.screenX + t.width - 1, y1 = t.screenY + t.height - 1;
    if (x0 <= right && x1 >= left && y0 <= bottom && y1 >= top) return;
    const int cx[4] = {x0, x1, x0, x1}, cy[4] = {y0, y0, y1, y1};
    long best = -1;
    int bx = 0, by = 0;
    for (int i = 0; i < 4; i++) {
        const int dx = clamp(cx[i], left, right) - cx[i], dy = clamp(cy[i], top, bottom) - cy[i];
        const long length = (long)dx * dx + (long)dy * dy;
        if (best < 0 || length <= best) {
            best = length;
            bx = dx;
            by = dy;
        }
    }
    int x, y;
    window_pos(window, &x, &y);
    window_move(window, x + bx, y + by);
}

void window_set_old_screen_size(int width, int height) {
    g_wm.oldWidth = width;
    g_wm.oldHeight = height;
}
