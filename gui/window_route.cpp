// gui/window_route.cpp -- the window manager's routing of kernel events: painting with clip
// rectangles (KE_IDLE), broadcast and input orders, WE_OUTSIDE and raising, title drag, the
// mouse captures and the rubber band, and the posted-event ring.
//
// Sections: painting -- delivery -- captures -- dispatch -- public operations in header order.
#include <cstdint>

#include "gui/font.h"
#include "gui/ge.h"
#include "gui/io_dialog.h"
#include "gui/window_local.h"
#include "platform/screen.h"

namespace {

constexpr int BAND_COLOUR = 30;  // skin colour of the rubber band outline

bool is_mouse_event(int type) {
    return type == KE_MOUSEDOWN || type == KE_MOUSEUP || type == KE_MOUSEMOVE || type == KE_WHEEL;
}

// --- Painting (KE_IDLE) ---

void draw_band_outline() {
    const WindowBand& b = g_wm.band;
    ge_set_pen(PEN_DOTTED, ge_colour(BAND_COLOUR));
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
        window_shadow_draw(t.shadow, wm_shadow_kind(w), t.screenX, t.screenY);
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
        wm_raise(w);
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
// releases go to its handler in screen coordinates with c | MOUSE_CAPTURED, the wheel in screen
// coordinates as it is (a large table zooms under the pieces carried). A rubber band
// clamps likewise and reports WE_BANDMOVE; the release ends it with WE_BANDEND.

void send(int w, int type, intptr_t a, intptr_t b, intptr_t c) {
    TWindow& t = wm_window(w);
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

int capture_move(KernelEvent* event) {
    const int w = g_wm.captured, kind = g_wm.captureKind;
    TWindow& t = g_windows[w];
    int x = (int)event->a, y = (int)event->b;
    if (kind != CAPTURE_MOVE) {
        x = wm_clamp(x, t.screenX, t.screenX + t.width - 1);
        y = wm_clamp(y, t.screenY, t.screenY + t.height - 1);
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
    if (kind == CAPTURE_MOUSE && (type == KE_MOUSEDOWN || type == KE_MOUSEUP || type == KE_WHEEL)) {
        KernelEvent direct = *event;
        if (type != KE_WHEEL) direct.c |= MOUSE_CAPTURED;  // the wheel's c is its steps
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
    wm_window(w);
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

int window_at(int x, int y) {
    if (g_wm.modal >= 0) return g_wm.modal;
    if (g_wm.floating >= 0 && g_windows[g_wm.floating].visible) {
        const int h = hit(g_wm.floating, x, y);
        if (h >= 0) return h;
    }
    return g_wm.room >= 0 ? hit(g_wm.room, x, y) : -1;
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
