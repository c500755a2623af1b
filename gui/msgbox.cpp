// gui/msgbox.cpp -- the text window, the shared message box and input box (modal), and the
// shared progress window.
#include "gui/msgbox.h"

#include "gui/button.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/io_dialog.h"
#include "gui/lt.h"
#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"

namespace {

constexpr int TEXT_X = 10, TEXT_Y = 23;  // where the boxes' texts start

// The boxes' texts: the system font in the message colours, optionally centred and wrapped.
void set_text_style(int alignment, int wrapWidth) {
    font_set_style(FONT_SYSTEM, ge_colour(GE_MSGBOX_TEXT), ge_colour(GE_MSGBOX_TEXT_SHADOW));
    font_set_layout(alignment, wrapWidth);
}

}  // namespace

// ---- text window ----

namespace {

constexpr int TEXT_WINDOW_TITLE = 15;
constexpr int TEXT_WINDOW_EXTRA_WIDTH = 20, TEXT_WINDOW_EXTRA_HEIGHT = 28;

struct TextWindow {
    char* text;  // own copy, or null
    int areaWidth, areaHeight;
};

int text_window_handler(int window, KernelEvent* event) {
    auto* t = static_cast<TextWindow*>(window_user_data(window));
    if (event->type == WE_DESTROY) {
        io_mem_free(t->text);
        io_mem_free(t);
        return 1;
    }
    if (event->type != KE_IDLE) return 0;
    int width = static_cast<int>(event->a), height = static_cast<int>(event->b);
    ge_draw_element(9, 0, TITLE_HEIGHT, width, height - TITLE_HEIGHT);
    if (t->text) {
        set_text_style(1, width - TEXT_WINDOW_EXTRA_WIDTH);
        window_draw_text(window, t->text, TEXT_X, TEXT_Y);
    }
    return 0;
}

}  // namespace

int text_window_create(int parent, int width, int lines) {
    auto* t = static_cast<TextWindow*>(io_mem_alloc(sizeof(TextWindow)));
    const Font* font = font_get(FONT_SYSTEM);
    *t = TextWindow{nullptr, width, lines * font->lineAdvance + font->shadowOffset};
    int window = window_register(parent, TW_CHILD | TW_RAISE | TW_TITLE | TW_ROLLUP, 0, 0,
                                 t->areaWidth + TEXT_WINDOW_EXTRA_WIDTH,
                                 t->areaHeight + TEXT_WINDOW_EXTRA_HEIGHT, text_window_handler, t);
    window_set_title(window, lt_get(TEXT_WINDOW_TITLE));
    return window;
}

void text_window_set_text(int window, const char* text) {
    auto* t = static_cast<TextWindow*>(window_user_data(window));
    IO_ASSERT(t != nullptr);
    t->text = io_mem_strreplace(t->text, text);
    set_text_style(1, t->areaWidth);
    int w = 0, h = 0;
    font_measure(t->text, &w, &h);
    if (w > t->areaWidth) t->areaWidth = w;
    if (h > t->areaHeight) t->areaHeight = h;
    window_resize(window, t->areaWidth + TEXT_WINDOW_EXTRA_WIDTH, t->areaHeight + TEXT_WINDOW_EXTRA_HEIGHT);
    window_redraw(window);
}

// ---- message box and input box ----

namespace {

constexpr int BOX_WIDTH = 320, BOX_HEIGHT = 150;
constexpr int BOX_WRAP = 300;
constexpr int BOX_BOTTOM = 42;  // the bar and the frame under the text area
// What a message box adds to its text's height: the title bar and the gap above the text (23),
// the gap and the button bar below it (29).
constexpr int BOX_TEXT_EXTRA = 52;

// One of the two shared modal boxes.
struct ModalBox {
    int window = -1;
    int ok = -1, cancel = -1;
    const char* text = nullptr;   // the caller's, while shown
    int flags = 0;                // message box: MSG_CENTRED centres the text
    EditField* fields = nullptr;  // input box, while shown
};

ModalBox message, input;

int box_text_height(const char* text, int flags) {
    set_text_style(flags & MSG_CENTRED ? 1 : 0, BOX_WRAP);
    int w = 0, h = 0;
    font_measure(text ? text : "", &w, &h);
    return h;
}

void draw_box(int window, const ModalBox& box, int height) {
    ge_draw_element(25, 0, TITLE_HEIGHT, BOX_WIDTH, height - BOX_BOTTOM);
    if (box.text) {
        set_text_style(box.flags & MSG_CENTRED ? 1 : 0, BOX_WRAP);
        window_draw_text(window, box.text, TEXT_X, TEXT_Y);
    }
    for (const EditField* f = box.fields; f && f->flags; f++)
        ge_bevel_box(f->x - 1, f->y - 1, f->width + 2, f->height + 2);
}

int message_handler(int window, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            draw_box(window, message, static_cast<int>(event->b));
            return 0;
        case KE_KEYDOWN:
            if (event->a != KEY_ENTER && event->a != KEY_ESCAPE) return 0;
            window_end_modal(event->a == KEY_ENTER ? MSG_ANSWER_OK : MSG_ANSWER_CANCEL, 0);
            return 1;
        case WE_BUTTON:
            if (event->a != message.ok && event->a != message.cancel) return 0;
            window_end_modal(event->a == message.ok ? MSG_ANSWER_OK : MSG_ANSWER_CANCEL, 0);
            return 1;
        default:
            return 0;
    }
}

int input_handler(int window, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            draw_box(window, input, static_cast<int>(event->b));
            return 0;
        case WE_BUTTON:
            if (event->a == input.ok)
                window_end_modal(MSG_ANSWER_OK, 1);
            else if (event->a == input.cancel)
                window_end_modal(MSG_ANSWER_CANCEL, 0);
            else
                return 0;
            return 1;
        default:
            return 0;
    }
}

// The box with a bar holding OK (slot 1) and Cancel (slot 0).
void create_box(ModalBox& box, const char* title, WindowHandler handler, int okKey, int cancelKey) {
    box.window = window_register(-1, TW_MODAL | TW_TITLE, 0, 0, BOX_WIDTH, BOX_HEIGHT, handler, nullptr);
    window_set_title(box.window, title);
    window_show(box.window, 0);
    int bar = button_bar_create(box.window);
    box.ok = button_bar_add(bar, 1, 0, nullptr, GE_PICTURE_OK, okKey, 0);
    box.cancel = button_bar_add(bar, 0, 0, nullptr, GE_PICTURE_CANCEL, cancelKey, 0);
}

// Sizes the box, lays out its bar and runs it modal; the box is hidden again afterwards.
int run_box(const ModalBox& box, int height, EditField* fields) {
    window_resize(box.window, BOX_WIDTH, height);
    button_bar_layout(window_parent(box.ok));
    window_show(box.window, 1);
    int result = window_focus_modal(box.window, fields);
    window_show(box.window, 0);
    return result;
}

}  // namespace

void msgbox_create(const char* title) { create_box(message, title, message_handler, 0, 0); }

// The box is as high as its text needs: the title bar and the gap above the text, the text, and
// the gap and the button bar below it; never higher than the screen.
int msgbox_height(int textHeight) {
    const int height = (textHeight > 0 ? textHeight : 0) + BOX_TEXT_EXTRA;
    return screen.height > 0 && height > screen.height ? screen.height : height;
}

int msgbox_height_for(const char* text, int flags) { return msgbox_height(box_text_height(text, flags)); }

int msgbox_show(const char* text, int flags) {
    IO_ASSERT(message.window >= 0);
    io_log("msgbox: %s\n", text ? text : "");
    message.text = text;
    message.flags = flags;
    window_show(message.ok, (flags & (MSG_OK | 4)) != 0);
    window_show(message.cancel, (flags & (MSG_CANCEL | 8)) != 0);
    int result = run_box(message, msgbox_height_for(text, flags), nullptr);
    message.text = nullptr;
    return result;
}

int msgbox_show_text(int number, int flags) { return msgbox_show(lt_get(number), flags); }

void inputbox_create(const char* title) { create_box(input, title, input_handler, KEY_ENTER, KEY_ESCAPE); }

int inputbox_show(const char* text, EditField* fields) {
    IO_ASSERT(input.window >= 0);
    int height = BOX_HEIGHT;  // grows when the fields would reach into the bar
    for (const EditField* f = fields; f && f->flags; f++) {
        int bottom = f->y + f->height + 8 + 24;
        if (bottom > height) height = bottom;
    }
    input.text = text;
    input.fields = fields;
    int result = run_box(input, height, fields);
    input.text = nullptr;
    input.fields = nullptr;
    return result;
}

// ---- progress window ----

namespace {

constexpr int PROGRESS_WIDTH = 380, PROGRESS_HEIGHT = 81;
constexpr int PROGRESS_BLOCKS = 60;

struct Progress {
    int window = -1;
    char* text = nullptr;
    int value = 0, maximum = 0;
    void (*refresh)() = nullptr;
};

Progress progress;

int progress_handler(int window, KernelEvent* event) {
    if (event->type == WE_DESTROY) {
        io_mem_free(progress.text);
        progress.text = nullptr;
        return 1;
    }
    if (event->type != KE_IDLE) return 0;
    ge_draw_element(9, 0, TITLE_HEIGHT, PROGRESS_WIDTH, PROGRESS_HEIGHT - TITLE_HEIGHT);
    if (progress.text) {
        set_text_style(0, 0);
        window_draw_text(window, progress.text, TEXT_X, TEXT_Y);
    }
    ge_bevel_box(9, 52, 362, 20);
    int blocks = progress_blocks(progress.value, progress.maximum);
    for (int i = 0; i < blocks; i++)
        ge_draw_picture(GE_PICTURE_PROGRESS_BLOCK, 10 + 6 * i, 53);
    return 0;
}

}  // namespace

void progress_create(const char* title) {
    progress.window = window_register(-1, TW_POPUP | TW_TITLE, (screen.width - PROGRESS_WIDTH) / 2,
                                      (screen.height - PROGRESS_HEIGHT) / 2, PROGRESS_WIDTH, PROGRESS_HEIGHT,
                                      progress_handler, nullptr);
    window_set_title(progress.window, title);
}

void progress_open(int maximum) {
    IO_ASSERT(progress.window >= 0);
    progress.value = 0;
    progress.maximum = maximum;
    window_focus(progress.window);
}

void progress_set(const char* text, int value) {
    progress.text = io_mem_strreplace(progress.text, text);
    progress.value = value < progress.maximum ? value : progress.maximum;
    window_redraw(progress.window);
    if (progress.refresh) progress.refresh();
}

void progress_close() { window_drop_focus(); }

void progress_set_refresh(void (*refresh)()) { progress.refresh = refresh; }

int progress_blocks(int value, int maximum) {
    if (maximum <= 0 || value <= 0) return 0;
    if (value > maximum) value = maximum;
    return static_cast<int>(static_cast<long long>(value) * PROGRESS_BLOCKS / maximum);
}
