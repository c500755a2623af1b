// gui/textview.cpp -- the text view: layout, scrolling, the scroll bar's parts and their
// presses, drawing. Each view keeps its record as the window's user data.
#include "gui/textview.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "base/limits.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/window.h"
#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"

namespace {

constexpr int LINE_BYTES_MAX = 400;  // a laid-out line is cut after this many bytes
constexpr int INSET = 4;             // pixels between the view's edge and its text
constexpr int BAR_W = 18;            // the scroll bar: the width of its arrow pictures
constexpr int ARROW_H = 18;
constexpr int THUMB_MIN = 14;
constexpr int WHEEL_LINES = 3;
constexpr int REPEAT_DELAY = 8, REPEAT_EVERY = 2;  // ticks before an arrow or the track repeats

// Skin colours beyond the toolkit's named ones: the bevels' dark and light corners, and the
// lighter teal of the shelf's surprise boxes.
constexpr int SKIN_BEVEL_DARK = 0, SKIN_BEVEL_LIGHT = 2, SKIN_TEAL_LIGHT = 26;

enum BarPart { PART_NONE, PART_UP, PART_DOWN, PART_PAGE_UP, PART_PAGE_DOWN, PART_THUMB };

struct TextView {
    int window;
    int width, height;  // the window's size
    std::string text;
    std::vector<TextViewLine> lines;
    int advances[256];  // the system font's advance of every byte
    int lineHeight;
    int top;      // first line shown
    int pressed;  // the bar part held down, PART_NONE
    int grab;     // thumb dragging: the pointer's distance from the thumb's top
    int repeat;   // ticks until the held part acts again
    int lit;      // the arrow the pointer is over: PART_UP, PART_DOWN or PART_NONE
};

TextView& view_of(int window) {
    auto* v = static_cast<TextView*>(window_user_data(window));
    IO_ASSERT(v != nullptr);
    return *v;
}

int text_width(const TextView& v) { return v.width - 2 * INSET - BAR_W - 1; }
int visible_lines(const TextView& v) { return std::max(1, (v.height - 2 * INSET) / v.lineHeight); }
int max_top(const TextView& v) { return std::max(0, (int)v.lines.size() - visible_lines(v)); }
int page(const TextView& v) { return std::max(1, visible_lines(v) - 1); }

void scroll_to(TextView& v, int top) {
    top = std::clamp(top, 0, max_top(v));
    if (top == v.top) return;
    v.top = top;
    window_redraw(v.window);
}

void scroll_by(TextView& v, int lines) { scroll_to(v, v.top + lines); }

// The scroll bar's parts, in the view's own coordinates.
struct Bar {
    int x, trackTop, trackBottom;  // the track runs between the arrows
    int thumbTop, thumbHeight;     // 0 high when everything fits
};

Bar bar_layout(const TextView& v) {
    Bar b;
    b.x = v.width - 1 - BAR_W;
    b.trackTop = 1 + ARROW_H;
    b.trackBottom = v.height - 1 - ARROW_H;
    const int track = b.trackBottom - b.trackTop, lines = (int)v.lines.size();
    b.thumbTop = b.trackTop;
    b.thumbHeight = 0;
    if (lines > visible_lines(v)) {
        b.thumbHeight = std::clamp(track * visible_lines(v) / lines, THUMB_MIN, track);
        b.thumbTop += (track - b.thumbHeight) * v.top / max_top(v);
    }
    return b;
}

int bar_part(const TextView& v, int x, int y) {
    const Bar b = bar_layout(v);
    if (x < b.x || x >= v.width - 1 || y < 1 || y >= v.height - 1) return PART_NONE;
    if (y < b.trackTop) return PART_UP;
    if (y >= b.trackBottom) return PART_DOWN;
    if (!b.thumbHeight) return PART_NONE;
    if (y < b.thumbTop) return PART_PAGE_UP;
    return y < b.thumbTop + b.thumbHeight ? PART_THUMB : PART_PAGE_DOWN;
}

// One step of a held part: an arrow moves a line, the track a page towards the pointer.
void bar_step(TextView& v, int part, int pointerY) {
    const Bar b = bar_layout(v);
    if (part == PART_UP) scroll_by(v, -1);
    if (part == PART_DOWN) scroll_by(v, 1);
    if (part == PART_PAGE_UP && pointerY < b.thumbTop) scroll_by(v, -page(v));
    if (part == PART_PAGE_DOWN && pointerY >= b.thumbTop + b.thumbHeight) scroll_by(v, page(v));
}

void drag_thumb(TextView& v, int pointerY) {
    const Bar b = bar_layout(v);
    const int room = b.trackBottom - b.trackTop - b.thumbHeight;
    if (room <= 0) return;
    const int at = pointerY - v.grab - b.trackTop;
    scroll_to(v, (at * max_top(v) + room / 2) / room);
}

void draw_bar(const TextView& v, int sx, int sy) {
    const Bar b = bar_layout(v);
    const int track = b.trackBottom - b.trackTop;
    ge_set_fill(ge_colour(SKIN_BEVEL_LIGHT));
    ge_fill_rect(sx + b.x, sy + b.trackTop, BAR_W, track);
    ge_set_pen(0, ge_colour(SKIN_BEVEL_DARK));
    ge_line(sx + b.x - 1, sy + 1, sx + b.x - 1, sy + v.height - 2);
    ge_draw_picture(GE_PICTURE_ROLL_UP + (v.lit == PART_UP || v.pressed == PART_UP), b.x, 1);
    ge_draw_picture(GE_PICTURE_UNROLL + (v.lit == PART_DOWN || v.pressed == PART_DOWN), b.x, b.trackBottom);
    if (!b.thumbHeight) return;
    const int x = sx + b.x + 2, y = sy + b.thumbTop + 1, w = BAR_W - 4, h = b.thumbHeight - 2;
    ge_set_fill(ge_colour(v.pressed == PART_THUMB ? GE_BUTTON_TEXT_HOVER : GE_ROOM_TITLE_BAR));
    ge_fill_rect(x, y, w, h);
    ge_set_pen(0, ge_colour(SKIN_TEAL_LIGHT));
    ge_rectangle(x, y, w, h);
    if (h >= 12) {  // the grip: three short lines across the middle
        ge_set_pen(0, ge_colour(GE_TITLE_TEXT));
        for (int i = -1; i <= 1; i++)
            ge_line(x + 4, y + h / 2 + 3 * i, x + w - 5, y + h / 2 + 3 * i);
    }
}

void draw_view(const TextView& v) {
    int sx, sy;
    window_screen_pos(v.window, &sx, &sy);
    ge_set_fill(0xFFFFFF);
    ge_fill_rect(sx + 1, sy + 1, v.width - 2 - BAR_W - 1, v.height - 2);
    ge_bevel_box(0, 0, v.width, v.height);
    draw_bar(v, sx, sy);
    const Rect clip = screen_clip();
    const int tx = sx + INSET, ty = sy + INSET;
    screen_set_clip(tx, sy + 1, text_width(v) + 1, v.height - 2);
    font_set_style(FONT_SYSTEM, ge_colour(GE_EDIT_TEXT), -1);
    char line[LINE_BYTES_MAX + 1];
    const int last = std::min((int)v.lines.size(), v.top + visible_lines(v));
    for (int i = v.top; i < last; i++) {
        const TextViewLine& l = v.lines[i];
        const int n = l.end - l.start;
        std::memcpy(line, v.text.data() + l.start, n);
        line[n] = 0;
        std::replace(line, line + n, '\t', ' ');
        font_draw(line, tx, ty + (i - v.top) * v.lineHeight);
    }
    screen_set_clip(clip.x, clip.y, clip.w, clip.h);
}

// Hover over the arrows, checked each tick as the buttons do.
void update_lit(TextView& v) {
    int mx, my, sx, sy;
    window_mouse(&mx, &my);
    window_screen_pos(v.window, &sx, &sy);
    int part = bar_part(v, mx - sx, my - sy);
    if (part != PART_UP && part != PART_DOWN) part = PART_NONE;
    if (part != v.lit) {
        v.lit = part;
        window_redraw(v.window);
    }
}

// A held arrow or track part repeats while the button stays down.
void repeat_held(TextView& v) {
    if (!v.pressed || v.pressed == PART_THUMB || --v.repeat > 0) return;
    int mx, my, sx, sy;
    window_mouse(&mx, &my);
    window_screen_pos(v.window, &sx, &sy);
    bar_step(v, v.pressed, my - sy);
    v.repeat = REPEAT_EVERY;
}

void press(TextView& v, const KernelEvent& e) {
    if ((e.c & 8) || !(e.c & 1)) return;  // another press while one is held, or not the left button
    const int part = bar_part(v, (int)e.a, (int)e.b);
    if (part == PART_NONE) return;
    v.pressed = part;
    v.repeat = REPEAT_DELAY;
    if (part == PART_THUMB)
        v.grab = (int)e.b - bar_layout(v).thumbTop;
    else
        bar_step(v, part, (int)e.b);
    window_start_capture(v.window);
    window_redraw(v.window);
}

int view_handler(int window, KernelEvent* event) {
    TextView& v = view_of(window);
    switch (event->type) {
        case KE_IDLE:
            draw_view(v);
            return 0;
        case KE_TICK:
            update_lit(v);
            repeat_held(v);
            return 0;
        case KE_WHEEL:
            textview_wheel(window, (int)event->c);
            return 1;
        case KE_MOUSEDOWN:
            press(v, *event);
            return 1;
        case KE_MOUSEUP:
            if (event->c & 8) window_end_capture();
            return 1;
        case WE_CAPTUREMOVE:
            if (v.pressed == PART_THUMB) drag_thumb(v, ((const int*)event->c)[1]);
            return 1;
        case WE_CAPTUREEND:
            v.pressed = PART_NONE;
            window_redraw(window);
            return 1;
        case WE_DESTROY:
            v.~TextView();
            io_mem_free(&v);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

void textview_layout(std::string_view t, const int advances[256], int width,
                     std::vector<TextViewLine>* lines) {
    const int n = (int)t.size();
    lines->clear();
    for (int at = 0;;) {
        int end = at, w = 0, lastBreak = -1;
        while (end < n && t[end] != '\n' && end - at < LINE_BYTES_MAX) {
            const int c = (unsigned char)t[end];
            if (end > at && w + advances[c] > width) break;
            w += advances[c];
            end++;
            if (c == ' ' || c == '\t') lastBreak = end;
        }
        int next = end;
        if (end < n && (t[end] == '\n' || t[end] == ' ' || t[end] == '\t'))
            next = end + 1;  // the break or the blank that did not fit goes with this line
        else if (end < n && lastBreak > at)
            end = next = lastBreak;  // the word that did not fit starts the next line
        int shown = end;
        while (shown > at && t[shown - 1] == '\r')
            shown--;
        lines->push_back({at, shown});
        if (next >= n) {
            if (n > 0 && t[n - 1] == '\n' && next == n) lines->push_back({n, n});
            return;
        }
        at = next;
    }
}

int textview_create(int parent, int x, int y, int width, int height) {
    auto* v = new (io_mem_alloc(sizeof(TextView))) TextView{};
    v->width = width;
    v->height = height;
    v->lineHeight = std::max(1, font_get(FONT_SYSTEM)->lineAdvance);
    for (int c = 1; c < 256; c++) {
        const char one[2] = {(char)c, 0};
        v->advances[c] = font_text_width(FONT_SYSTEM, one, 1);
    }
    v->advances['\t'] = v->advances[' '];  // a tab is drawn as a blank
    textview_layout(v->text, v->advances, text_width(*v), &v->lines);
    v->window = window_register(parent, TW_CHILD, x, y, width, height, view_handler, v);
    return v->window;
}

void textview_append(int view, const char* text) {
    if (!text || !*text) return;
    TextView& v = view_of(view);
    const size_t room = TEXTVIEW_TEXT_MAX - std::min<size_t>(TEXTVIEW_TEXT_MAX, v.text.size());
    v.text.append(text, std::min(room, std::strlen(text)));
    textview_layout(v.text, v.advances, text_width(v), &v.lines);
    v.top = max_top(v);
    window_redraw(view);
}

int textview_key(int view, int key) {
    TextView& v = view_of(view);
    switch (key & ~KEY_CTRL) {
        case KEY_UP:
            scroll_by(v, -1);
            return 1;
        case KEY_DOWN:
            scroll_by(v, 1);
            return 1;
        case KEY_PAGEUP:
            scroll_by(v, -page(v));
            return 1;
        case KEY_PAGEDOWN:
            scroll_by(v, page(v));
            return 1;
        case KEY_HOME:
            scroll_to(v, 0);
            return 1;
        case KEY_END:
            scroll_to(v, max_top(v));
            return 1;
        default:
            return 0;
    }
}

void textview_wheel(int view, int steps) { scroll_by(view_of(view), -WHEEL_LINES * steps); }
int textview_top(int view) { return view_of(view).top; }
int textview_line_count(int view) { return (int)view_of(view).lines.size(); }
