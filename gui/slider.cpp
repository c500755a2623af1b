// gui/slider.cpp -- the slider: track, thumb, page steps, dragging under a mouse capture with
// the force-feedback boundary, and the two arrow buttons.
#include "gui/slider.h"

#include "gui/button.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "platform/io_debug.h"
#include "platform/io_ff.h"
#include "platform/io_mem.h"
#include "platform/screen.h"

namespace {

constexpr int SLIDER_HEIGHT = 32;
constexpr int TRACK_MARGIN = 44;  // track start, and the distance of its end from the right edge
// The track line and the thumb sit this low: the caption's ink (with its shadow) ends above the
// thumb's, so the thumb never covers the caption wherever it stands.
constexpr int TRACK_Y = 10;
constexpr int ARROW_SIZE = 32;
constexpr int ELEMENT_BETWEEN_ARROWS = 33;

struct Slider {
    int style;      // SLIDER_NOTIFY, SLIDER_ARROWS
    int frameBase;  // arrow frames: frameBase | 4 (left), frameBase | 2 (right)
    int thumbShown;
    int minimum, maximum, value, page;
    int step;                  // an arrow click's change
    int trackStart, trackEnd;  // slider-relative x
    int thumbX;                // centre of the thumb
    int leftArrow, rightArrow;
    int grabbed;   // the thumb is being dragged (boundary effect on)
    int disabled;  // no thumb, a greyed caption, deaf to the pointer
};

struct CaptionStyle {
    int font = FONT_SMALL;
    int colour = 0, shadow = -1, disabled = -1;
};

CaptionStyle caption;

Slider* slider_of(int window) {
    auto* s = static_cast<Slider*>(window_user_data(window));
    IO_ASSERT(s != nullptr);
    return s;
}

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

void place_thumb(Slider* s) {
    s->thumbX = slider_thumb_x(s->minimum, s->maximum, s->value, s->trackStart, s->trackEnd);
}

// A value the user chose: clamped, and the parent told when it changed.
void take_value(int window, Slider* s, int value) {
    value = clamp(value, s->minimum, s->maximum);
    if (value == s->value) return;
    s->value = value;
    if (s->style & SLIDER_NOTIFY) {
        KernelEvent note{WE_SLIDER, window, value, 0};
        post_event(window_parent(window), &note);
    }
}

// A step by the page or the arrows: the thumb jumps to the new value.
void change_value(int window, Slider* s, int value) {
    take_value(window, s, value);
    place_thumb(s);
    window_redraw(window);
}

void draw_slider(int window, const Slider* s, int width) {
    if (s->style & SLIDER_ARROWS) {
        ge_draw_element(s->frameBase | 4, 0, 0, ARROW_SIZE, ARROW_SIZE);
        ge_draw_element(ELEMENT_BETWEEN_ARROWS, ARROW_SIZE, 0, width - 2 * ARROW_SIZE, SLIDER_HEIGHT);
        ge_draw_element(s->frameBase | 2, width - ARROW_SIZE, 0, ARROW_SIZE, ARROW_SIZE);
    }
    ge_draw_slider_track(0, TRACK_Y, width);
    if (s->thumbShown) {
        int tw, th;
        ge_picture_size(GE_PICTURE_SLIDER_THUMB, &tw, &th);
        if (!s->disabled) ge_draw_picture(GE_PICTURE_SLIDER_THUMB, s->thumbX - tw / 2, TRACK_Y);
    }
    if (const char* title = window_title(window)) {
        const int colour = s->disabled && caption.disabled != -1 ? caption.disabled : caption.colour;
        font_set_style(caption.font, colour, caption.shadow);
        int w = 0, h = 0, inkTop, inkBottom;
        font_measure(title, &w, &h);
        font_ink_rows(caption.font, &inkTop, &inkBottom);
        window_draw_text(window, title, (s->trackStart + s->trackEnd) / 2 - w / 2, -inkTop);
    }
}

// Holds the force-feedback mouse inside the slider while its thumb is dragged.
void grab_thumb(int window, Slider* s) {
    int x, y, w, h;
    window_screen_pos(window, &x, &y);
    window_size(window, &w, &h);
    const int rect[4] = {x, y, x + w, y + h};
    const int size[2] = {screen.width, screen.height};
    io_ff_bound_set(rect, size);
    io_ff_bound_start();
    s->grabbed = 1;
    window_start_capture(window);
}

void release_thumb(Slider* s) {
    if (!s->grabbed) return;
    s->grabbed = 0;
    io_ff_bound_stop();
}

// A left press on the track: a page towards the press, or a grab of the thumb.
int press_track(int window, Slider* s, int x, int y) {
    int tw, th;
    ge_picture_size(GE_PICTURE_SLIDER_THUMB, &tw, &th);
    if (y < TRACK_Y + 1 || y >= th + TRACK_Y) return 0;
    int thumbLeft = s->thumbX - tw / 2;
    if (x < thumbLeft) {
        if (x < s->trackStart) return 0;
        change_value(window, s, s->value - s->page);
    } else if (x < thumbLeft + tw) {
        grab_thumb(window, s);
    } else {
        if (x > s->trackEnd) return 0;
        change_value(window, s, s->value + s->page);
    }
    return 1;
}

// Dragging under the mouse capture, event by event:
//   KE_MOUSEDOWN left on the thumb -> boundary set and started, mouse capture starts
//   WE_CAPTUREMOVE                 -> the thumb follows the mouse x on the track, value from it
//   KE_MOUSEUP left (c 1 | 8)      -> boundary stopped, capture ended
//   WE_CAPTUREEND                  -> the boundary stopped too if a key ended the capture
int slider_handler(int window, KernelEvent* event) {
    Slider* s = slider_of(window);
    switch (event->type) {
        case KE_IDLE:
            draw_slider(window, s, static_cast<int>(event->a));
            return 0;
        case KE_MOUSEDOWN:
            if (!(event->c & MOUSE_LEFT) || (event->c & MOUSE_CAPTURED)) return 0;
            if (s->disabled) return 1;
            return press_track(window, s, static_cast<int>(event->a), static_cast<int>(event->b));
        case WE_CAPTUREMOVE: {
            const int* position = reinterpret_cast<const int*>(event->c);
            s->thumbX = clamp(position[0], s->trackStart, s->trackEnd);
            take_value(window, s,
                       slider_value_at(s->minimum, s->maximum, s->thumbX, s->trackStart, s->trackEnd));
            window_redraw(window);
            return 1;
        }
        case KE_MOUSEUP:
            if ((event->c & 9) != 9) return 0;
            release_thumb(s);
            window_end_capture();
            return 1;
        case WE_CAPTUREEND:
            release_thumb(s);
            return 1;
        case WE_BUTTON:
            if (event->a == s->leftArrow) change_value(window, s, s->value - s->step);
            if (event->a == s->rightArrow) change_value(window, s, s->value + s->step);
            return 1;
        case WE_DESTROY:
            io_mem_free(s);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

void slider_set_style(int font, int colour, int shadow, int disabled) {
    caption = CaptionStyle{font, colour, shadow, disabled};
}

void slider_enable(int slider, int enabled) {
    Slider* s = slider_of(slider);
    if (s->disabled == !enabled) return;
    s->disabled = !enabled;
    button_enable(s->leftArrow, enabled);
    button_enable(s->rightArrow, enabled);
    window_redraw(slider);
}

int slider_register(int parent, int style, int x, int y, int width, int frameBase) {
    auto* s = static_cast<Slider*>(io_mem_alloc(sizeof(Slider)));
    *s = Slider{};
    s->style = style;
    s->frameBase = frameBase;
    s->thumbShown = 1;
    s->maximum = 10;
    s->page = slider_page(0, 10);
    s->step = 1;
    s->trackStart = TRACK_MARGIN;
    s->trackEnd = width - TRACK_MARGIN;
    place_thumb(s);
    int window = window_register(parent, TW_CHILD, x, y, width, SLIDER_HEIGHT, slider_handler, s);
    s->leftArrow = button_register(window, BS_PUSH | BS_PICTURE, 0, 0, ARROW_SIZE, ARROW_SIZE,
                                   GE_PICTURE_SLIDER_LEFT, nullptr, 0, 0);
    s->rightArrow = button_register(window, BS_PUSH | BS_PICTURE, width - ARROW_SIZE, 0, ARROW_SIZE,
                                    ARROW_SIZE, GE_PICTURE_SLIDER_RIGHT, nullptr, 0, 0);
    return window;
}

void slider_set_range(int slider, int minimum, int maximum) {
    Slider* s = slider_of(slider);
    s->minimum = minimum;
    s->maximum = maximum;
    s->page = slider_page(minimum, maximum);
    s->value = clamp(s->value, minimum, maximum);
    place_thumb(s);
    window_redraw(slider);
}

void slider_set_value(int slider, int value) {
    Slider* s = slider_of(slider);
    s->value = clamp(value, s->minimum, s->maximum);
    place_thumb(s);
    window_redraw(slider);
}

int slider_value(int slider) { return slider_of(slider)->value; }

void slider_set_step(int slider, int step) { slider_of(slider)->step = step < 1 ? 1 : step; }

int slider_page(int minimum, int maximum) {
    int page = (maximum - minimum) / 5;
    return page < 1 ? 1 : page;
}

int slider_thumb_x(int minimum, int maximum, int value, int trackStart, int trackEnd) {
    if (maximum <= minimum) return trackStart;
    long long x =
        trackStart + static_cast<long long>(value - minimum) * (trackEnd - trackStart) / (maximum - minimum);
    return clamp(static_cast<int>(x), trackStart, trackEnd);
}

// The value whose thumb position is at or left of x: the track length per unit of value is
// (trackEnd - trackStart) / (maximum - minimum), kept exact as a fraction.
int slider_value_at(int minimum, int maximum, int x, int trackStart, int trackEnd) {
    if (maximum <= minimum || trackEnd <= trackStart) return minimum;
    long long units = static_cast<long long>(x - trackStart) * (maximum - minimum) / (trackEnd - trackStart);
    return clamp(minimum + static_cast<int>(units), minimum, maximum);
}
