// gui/io_dialog.cpp -- edit fields over the modal window: input, caret blinking, drawing, and
// the nested loop that runs while they are shown.
#include "gui/io_dialog.h"

#include <algorithm>
#include <cstring>

#include "base/str.h"
#include "gui/edit.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "platform/io_debug.h"
#include "platform/screen.h"
#include "platform/sys.h"

namespace {

constexpr int BLINK_MS = 500;  // the caret is shown and hidden this long in turn
constexpr int INSET = 2;       // pixels between a field's edge and its text

struct DialogField {
    EditField* field;
    EditState edit;
};

struct Dialog {
    int open;                    // a dialog is showing
    int done;                    // io_dialog_end was called: the nested loop stops
    int result;                  // io_dialog_end's result
    int x, y;                    // screen position of the modal window
    int count;                   // fields in use
    int focus;                   // field with the caret, -1 when there are none
    int dragging;                // the left button went down in the focused field and is still held
    int caretOn;                 // the caret is drawn
    int blinkAt;                 // game time (ms) of the last blink change
    int now;                     // game time (ms) of the last tick
    int textColour, backColour;  // 0xRRGGBB
    ModalRunner runner;
};

Dialog dlg = {.focus = -1, .textColour = 0x000000, .backColour = 0xFFFFFF};
// The fields' engines, apart from the initialised state: a table this large is kept out of the
// program file.
DialogField dlg_fields[EDIT_FIELD_MAX];

// The system font draws every Windows-1252 character; without fonts (tests) a fixed pitch.
int measure_system(const char* text, int length) {
    const Font* f = font_get(FONT_SYSTEM);
    return f && f->lineAdvance > 0 ? font_text_width(FONT_SYSTEM, text, length) : 7 * length;
}

int line_height() {
    const Font* f = font_get(FONT_SYSTEM);
    return f && f->lineAdvance > 0 ? f->lineAdvance : 16;
}

// The text area of a field on the screen.
void text_area(const DialogField& f, int* x, int* y) {
    const EditState& e = f.edit;
    *x = dlg.x + f.field->x + INSET;
    *y = dlg.y + f.field->y + (e.multiline ? INSET : (f.field->height - e.lineHeight) / 2);
}

void redraw_field(int n) {
    const EditField* f = dlg_fields[n].field;
    screen_invalidate(dlg.x + f->x, dlg.y + f->y, f->width, f->height);
}

// Called after every change of a field: the caret shows at once and the field is repainted.
void touched(int n) {
    dlg.caretOn = 1;
    dlg.blinkAt = dlg.now;
    redraw_field(n);
}

void invalidate_caret() {
    if (dlg.focus < 0) return;
    const DialogField& f = dlg_fields[dlg.focus];
    int ax, ay, cx, cy;
    text_area(f, &ax, &ay);
    edit_caret_pos(&f.edit, &cx, &cy);
    screen_invalidate(ax + cx, ay + cy, 1, f.edit.lineHeight);
}

int field_at(int x, int y) {
    for (int n = 0; n < dlg.count; n++) {
        const EditField* f = dlg_fields[n].field;
        int fx = dlg.x + f->x, fy = dlg.y + f->y;
        if (x >= fx && x < fx + f->width && y >= fy && y < fy + f->height) return n;
    }
    return -1;
}

void set_focus(int n) {
    if (dlg.focus >= 0) redraw_field(dlg.focus);
    dlg.focus = n;
    touched(n);
}

int key_event(int key) {
    DialogField& f = dlg_fields[dlg.focus];
    EditState* e = &f.edit;
    int shift = sys_shift_held();
    char clip[EDIT_TEXT_MAX * 3];
    switch (key) {
        case KEY_TAB:
            set_focus((dlg.focus + (shift ? dlg.count - 1 : 1)) % dlg.count);
            edit_select_all(&dlg_fields[dlg.focus].edit);
            return 1;
        case KEY_ENTER:
            if (!e->multiline) return 0;
            edit_type(e, '\n');
            break;
        case KEY_BACKSPACE:
        case KEY_DELETE:
            // In an empty field the key is left to the window (Backspace goes up in the chooser).
            if (!edit_delete(e, key == KEY_DELETE)) return e->length > 0;
            break;
        case 'A' | KEY_CTRL:
            edit_select_all(e);
            break;
        case 'C' | KEY_CTRL:
        case 'X' | KEY_CTRL:
            if (e->caret == e->anchor) return 1;
            edit_copy(e, clip, sizeof clip);
            sys_clipboard_set(clip);
            if (key == ('X' | KEY_CTRL)) edit_delete(e, 0);
            break;
        case 'V' | KEY_CTRL:
            if (sys_clipboard_get(clip, sizeof clip) > 0) edit_paste(e, clip);
            break;
        default:
            if (!edit_move(e, key, shift)) return key >= 32 && key < 128;  // typed keys stay here
            break;
    }
    touched(dlg.focus);
    return 1;
}

int mouse_event(KernelEvent* event) {
    int x = (int)event->a, y = (int)event->b;
    if (event->type == KE_MOUSEDOWN) {
        int n = (event->c & MOUSE_LEFT) ? field_at(x, y) : -1;
        if (n < 0) return 0;
        if (n != dlg.focus) set_focus(n);
        dlg.dragging = 1;
    } else if (!dlg.dragging) {
        return 0;
    } else if (event->type == KE_MOUSEUP) {
        dlg.dragging = 0;
        return 1;
    }
    DialogField& f = dlg_fields[dlg.focus];
    int ax, ay;
    text_area(f, &ax, &ay);
    edit_place(&f.edit, x - ax, y - ay, event->type == KE_MOUSEMOVE || sys_shift_held());
    touched(dlg.focus);
    return 1;
}

void draw_field(const DialogField& f, int focused) {
    const EditField* field = f.field;
    const EditState& e = f.edit;
    int fx = dlg.x + field->x, fy = dlg.y + field->y;
    Rect previous = screen_clip();
    int x0 = std::max(fx, previous.x), y0 = std::max(fy, previous.y);
    int x1 = std::min(fx + field->width, previous.x + previous.w);
    int y1 = std::min(fy + field->height, previous.y + previous.h);
    if (x1 <= x0 || y1 <= y0) return;
    screen_set_clip(x0, y0, x1 - x0, y1 - y0);
    ge_set_fill(dlg.backColour);
    ge_fill_rect(fx, fy, field->width, field->height);
    int ax, ay, from, to;
    text_area(f, &ax, &ay);
    edit_selection(&e, &from, &to);
    font_set_style(FONT_SYSTEM, dlg.textColour, -1);
    int last = std::min(e.lineCount, e.scrollY + edit_visible_lines(&e) + 1);
    for (int line = e.scrollY; line < last; line++) {
        const EditLine& l = e.lines[line];
        int ly = ay + (line - e.scrollY) * e.lineHeight, lx = ax - e.scrollX;
        int s0 = std::max(from, l.start), s1 = std::min(to, l.end);
        if (focused && s0 < s1) {
            int sx = e.measure(e.text + l.start, s0 - l.start);
            ge_set_fill(ge_colour(GE_SELECTION));
            ge_fill_rect(lx + sx, ly, e.measure(e.text + l.start, s1 - l.start) - sx, e.lineHeight);
        }
        char text[EDIT_TEXT_MAX];
        std::memcpy(text, e.text + l.start, l.end - l.start);
        text[l.end - l.start] = 0;
        font_draw(text, lx, ly);
    }
    if (focused && dlg.caretOn) {
        int cx, cy;
        edit_caret_pos(&e, &cx, &cy);
        ge_set_fill(dlg.textColour);
        ge_fill_rect(ax + cx, ay + cy, 1, e.lineHeight);
    }
    screen_set_clip(previous.x, previous.y, previous.w, previous.h);
}

void close_dialog() {
    dlg.open = 0;
    dlg.focus = -1;
    dlg.dragging = 0;
    screen_invalidate_all();
}

}  // namespace

int io_dialog_open(int x, int y, EditField* fields) {
    if (dlg.open) io_fatal("io_dialog_open: only one dialog");
    if (!dlg.runner) io_fatal("io_dialog_open: no loop");
    int count = 0;
    for (; fields && fields[count].flags; count++) {
        if (count == EDIT_FIELD_MAX) io_fatal("io_dialog_open: too many fields");
        DialogField& f = dlg_fields[count];
        EditField* field = &fields[count];
        field->id = count;
        f.field = field;
        edit_init(&f.edit, field->text, field->size - 1, field->flags, field->width - 2 * INSET,
                  field->height - 2 * INSET, line_height(), measure_system);
    }
    dlg.x = x;
    dlg.y = y;
    dlg.count = count;
    dlg.open = 1;
    dlg.done = 0;
    dlg.result = 0;
    dlg.dragging = 0;
    dlg.focus = -1;
    if (count > 0) set_focus(0);
    screen_invalidate_all();
    if (!dlg.runner(&dlg.done)) {
        // The game is closing: the buffers stay as they were.
        if (dlg.open) close_dialog();
        return 0;
    }
    return dlg.result;
}

void io_dialog_end(int result, int keep) {
    if (!dlg.open) io_fatal("io_dialog_end: ???");
    if (keep) {
        for (int n = 0; n < dlg.count; n++) {
            EditField* field = dlg_fields[n].field;
            if (field->size > 0) str_copy_bounded(field->text, dlg_fields[n].edit.text, field->size);
        }
    }
    dlg.result = result;
    dlg.done = 1;
    close_dialog();
}

void io_dialog_invalidate(int x, int y, int width, int height) {
    if (!dlg.open) io_fatal("io_dialog_invalidate: ???");
    screen_invalidate(x, y, width, height);
}

int io_dialog_is_open() { return dlg.open; }

const char* io_dialog_text(int id) {
    return dlg.open && id >= 0 && id < dlg.count ? dlg_fields[id].edit.text : nullptr;
}

void io_dialog_set_text(int id, const char* text) {
    if (!dlg.open || id < 0 || id >= dlg.count) return;
    EditState* e = &dlg_fields[id].edit;
    edit_select_all(e);
    edit_delete(e, 0);
    edit_insert(e, text, (int)std::strlen(text));
    touched(id);
}

int io_dialog_event(KernelEvent* event) {
    if (!dlg.open) return 0;
    switch (event->type) {
        case KE_TICK:
            dlg.now = (int)event->a;
            if (dlg.focus >= 0 && dlg.now - dlg.blinkAt >= BLINK_MS) {
                dlg.caretOn = !dlg.caretOn;
                dlg.blinkAt = dlg.now;
                invalidate_caret();
            }
            return 0;
        case KE_MOUSEDOWN:
        case KE_MOUSEUP:
        case KE_MOUSEMOVE:
            return dlg.focus >= 0 && mouse_event(event);
        case KE_WHEEL: {
            int n = field_at((int)event->a, (int)event->b);
            if (n < 0 || !dlg_fields[n].edit.multiline) return 0;
            edit_scroll_lines(&dlg_fields[n].edit, -(int)event->c);
            redraw_field(n);
            return 1;
        }
        case KE_TEXTINPUT:
            if (dlg.focus < 0) return 0;
            edit_type(&dlg_fields[dlg.focus].edit, (int)event->a);
            touched(dlg.focus);
            return 1;
        case KE_CHAR:
            return dlg.focus >= 0;  // the same characters arrive as KE_TEXTINPUT
        case KE_KEYDOWN:
            return dlg.focus >= 0 && key_event((int)event->a);
        default:
            return 0;
    }
}

void io_dialog_draw() {
    if (!dlg.open) return;
    for (int n = 0; n < dlg.count; n++)
        draw_field(dlg_fields[n], n == dlg.focus);
}

void io_dialog_set_colours(int text, int background) {
    dlg.textColour = text;
    dlg.backColour = background;
}

void io_dialog_set_runner(ModalRunner runner) { dlg.runner = runner; }
