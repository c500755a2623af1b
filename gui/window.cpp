// gui/window.cpp -- the window manager's table: windows[], the tree and stacking order, title
// buttons, roll up, modal and floating focus, redrawing, the drawing helpers and placements.
// Painting and routing events, captures and the posted events are in window_route.cpp.
//
// Sections: table and tree -- redraw -- shared with window_route.cpp -- public operations in
// header order -- placements.
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
#include "gui/window_local.h"
#include "gui/window_shadow.h"
#include "platform/io_debug.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "platform/screen.h"

namespace {

constexpr int TITLE_BUTTON_STYLE = BS_PUSH | BS_PICTURE;
constexpr int PLACEMENT_LIMIT = 1 << 20;  // placement numbers beyond this are damaged

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

void invalidate(int x, int y, int width, int height) {
    if (g_wm.modal >= 0 && io_dialog_is_open())
        io_dialog_invalidate(x, y, width, height);
    else
        screen_invalidate(x, y, width, height);
}

}  // namespace

// --- Shared with window_route.cpp ---

TWindow g_windows[WINDOW_MAX];
WindowManager g_wm = WM_EMPTY;

int wm_shadow_kind(int w) {
    return g_wm.captureKind == CAPTURE_MOVE && g_wm.captured == w ? SHADOW_LARGE : SHADOW_SMALL;
}

void wm_raise(int w) {
    TWindow& t = g_windows[w];
    if (t.parent >= 0 && g_windows[t.parent].lastChild != w) {
        unlink(w);
        append_child(t.parent, w);
    }
    window_redraw(w);
}

// --- Public operations ---

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
        wm_window(parent);
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
    TWindow& t = wm_window(window);
    io_mem_free(t.title);
    t.title = text ? io_mem_strdup(text) : nullptr;
    window_redraw(window);
}

const char* window_title(int window) { return wm_window(window).title; }
void* window_user_data(int window) { return wm_window(window).userData; }
int window_parent(int window) { return wm_window(window).parent; }
int window_style(int window) { return wm_window(window).style; }
int window_visible(int window) { return wm_window(window).visible; }
int window_rolled_up(int window) { return wm_window(window).rolledUp; }

void window_show(int window, int visible) {
    TWindow& t = wm_window(window);
    visible = visible != 0;
    if (t.visible == visible) return;
    t.visible = visible;
    window_redraw(window);
}

void window_move(int window, int x, int y) {
    TWindow& t = wm_window(window);
    if (t.rolledUp) x += t.unrolledWidth - t.width;
    if (t.x == x && t.y == y) return;
    window_redraw(window);
    t.x = x;
    t.y = y;
    update_screen_pos(window);
    window_redraw(window);
}

void window_resize(int window, int width, int height) {
    TWindow& t = wm_window(window);
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
    const TWindow& t = wm_window(window);
    *width = t.rolledUp ? t.unrolledWidth : t.width;
    *height = t.rolledUp ? t.unrolledHeight : t.height;
}

void window_screen_pos(int window, int* x, int* y) {
    const TWindow& t = wm_window(window);
    *x = t.screenX - (t.rolledUp ? t.unrolledWidth - t.width : 0);
    *y = t.screenY;
}

void window_pos(int window, int* x, int* y) {
    const TWindow& t = wm_window(window);
    *x = t.x - (t.rolledUp ? t.unrolledWidth - t.width : 0);
    *y = t.y;
}

void window_raise(int window) {
    (void)wm_window(window);
    wm_raise(window);
}

// Both directions keep the right edge where it is.
void window_roll_up(int window, int rolled) {
    TWindow& t = wm_window(window);
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
    const TWindow& t = wm_window(window);
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

int window_floating() { return g_wm.floating; }

int window_focus_modal(int window, EditField* fields) {
    if (g_wm.modal >= 0) io_fatal("window_focus_modal: only one modal");
    const TWindow& t = wm_window(window);
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
    const TWindow& t = wm_window(window);
    int grow = 0;
    if (t.shadow) grow = window_shadow_extent(wm_shadow_kind(window));
    invalidate(t.screenX - grow, t.screenY - grow, t.width + 2 * grow, t.height + 2 * grow);
}

void window_redraw_part(int window, int x, int y, int width, int height) {
    const TWindow& t = wm_window(window);
    invalidate(t.screenX + x, t.screenY + y, width, height);
}

int window_draw_text(int window, const char* text, int x, int y) {
    const TWindow& t = wm_window(window);
    return font_draw(text, t.screenX + x, t.screenY + y);
}

void window_draw_image(int window, const Image* image, int x, int y) {
    const TWindow& t = wm_window(window);
    img_draw_all(image, t.screenX + x, t.screenY + y);
}

void window_draw_cached(int window, int cacheIndex, int x, int y) {
    const TWindow& t = wm_window(window);
    img_draw_all_cached(cacheIndex, t.screenX + x, t.screenY + y);
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
    TWindow& t = wm_window(window);
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
    const TWindow& t = wm_window(window);
    const int left = 64, right = screen.width - 32, top = 32, bottom = screen.height - 32;
    const int x0 = t.screenX, y0 = t.screenY, x1 = t.screenX + t.width - 1, y1 = t.screenY + t.height - 1;
    if (x0 <= right && x1 >= left && y0 <= bottom && y1 >= top) return;
    const int cx[4] = {x0, x1, x0, x1}, cy[4] = {y0, y0, y1, y1};
    long best = -1;
    int bx = 0, by = 0;
    for (int i = 0; i < 4; i++) {
        const int dx = wm_clamp(cx[i], left, right) - cx[i], dy = wm_clamp(cy[i], top, bottom) - cy[i];
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

void window_screen_resized(int oldWidth, int oldHeight) {
    const int w = screen.width, h = screen.height;
    for (int i = 0; i < g_wm.count; i++) {
        TWindow& t = g_windows[i];
        if (t.style & TW_SCREEN) {
            t.width = w, t.height = h;
            continue;
        }
        const int parent = t.parent;
        if (parent >= 0 && !(g_windows[parent].style & TW_SCREEN)) continue;  // goes with its parent
        if (parent >= 0 && t.x == 0 && t.y == 0 && t.width == oldWidth && t.height == oldHeight) {
            window_resize(i, w, h);
            continue;
        }
        int x, y;
        window_screen_pos(i, &x, &y);
        const long nx = oldWidth > 0 ? (long)x * w / oldWidth : x,
                   ny = oldHeight > 0 ? (long)y * h / oldHeight : y;
        int px = 0, py = 0;
        if (parent >= 0) px = g_windows[parent].screenX, py = g_windows[parent].screenY;
        window_move(i, (int)nx - px, (int)ny - py);
        window_keep_reachable(i);
    }
    if (g_wm.modal >= 0) {
        const TWindow& m = g_windows[g_wm.modal];
        window_move(g_wm.modal, (w - m.width) / 2, (h - m.height) / 2);
    }
    for (int i = 0; i < g_wm.count; i++) {
        const TWindow& t = g_windows[i];
        if (!(t.style & TW_SCREEN) || !t.handler) continue;
        KernelEvent resized = {WE_SCREENSIZE, oldWidth, oldHeight, 0};
        t.handler(i, &resized);
    }
}
