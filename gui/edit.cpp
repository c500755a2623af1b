// gui/edit.cpp -- the editing engine of one edit field.
#include "gui/edit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/event.h"
#include "base/str.h"
#include "gui/io_dialog.h"

namespace {

// Windows-1252 capitals: a-z, the accented small letters 0xE0..0xFE except the division sign,
// and the four small letters the code page keeps among 0x80..0x9F and at 0xFF.
int upper_1252(int c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    switch (c) {
        case 0x9A:
            return 0x8A;
        case 0x9C:
            return 0x8C;
        case 0x9E:
            return 0x8E;
        case 0xFF:
            return 0x9F;
        default:
            return c;
    }
}

int width_of(const EditState* e, int start, int end) { return e->measure(e->text + start, end - start); }

// A wrapped line (not the last, not ended by a line break) shares its end with the next start.
int line_wrapped(const EditState* e, int line) {
    return line < e->lineCount - 1 && e->text[e->lines[line].end] != '\n';
}

// Lines break at line breaks and, in multi-line fields, after the last blank that still fits
// (blanks may hang over the edge); a word wider than the field breaks between characters.
void layout(EditState* e) {
    if (!e->multiline) {
        e->lineCount = 1;
        e->lines[0] = {0, e->length};
        return;
    }
    int count = 0, i = 0;
    for (;;) {
        int start = i, afterBlank = -1, j = i;
        for (; j < e->length && e->text[j] != '\n'; j++) {
            if (e->text[j] == ' ') {
                afterBlank = j + 1;
                continue;
            }
            if (j > start && width_of(e, start, j + 1) > e->width) {
                if (afterBlank > start) j = afterBlank;
                break;
            }
        }
        e->lines[count++] = {start, j};
        if (j < e->length && e->text[j] == '\n') {
            i = j + 1;
        } else if (j < e->length) {
            i = j;
        } else {
            break;
        }
    }
    e->lineCount = count;
}

int nearest_in_line(const EditState* e, int line, int x) {
    const EditLine& l = e->lines[line];
    int last = line_wrapped(e, line) ? l.end - 1 : l.end;
    int best = l.start, bestDistance = std::abs(x);
    for (int i = l.start + 1; i <= last; i++) {
        int d = std::abs(width_of(e, l.start, i) - x);
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return best;
}

void keep_caret_visible(EditState* e) {
    if (e->multiline) {
        int visible = edit_visible_lines(e), line = edit_line_of(e, e->caret);
        if (line < e->scrollY) e->scrollY = line;
        if (line >= e->scrollY + visible) e->scrollY = line - visible + 1;
        e->scrollY = std::clamp(e->scrollY, 0, std::max(0, e->lineCount - visible));
        e->scrollX = 0;
        return;
    }
    int caretX = width_of(e, 0, e->caret), total = width_of(e, 0, e->length);
    e->scrollX = std::min(e->scrollX, std::max(0, total - e->width + 1));
    if (caretX - e->scrollX >= e->width) e->scrollX = caretX - e->width + 1;
    if (caretX < e->scrollX) e->scrollX = caretX;
    e->scrollX = std::max(0, e->scrollX);
}

void changed(EditState* e) {
    layout(e);
    keep_caret_visible(e);
}

void remove_range(EditState* e, int from, int to) {
    std::memmove(e->text + from, e->text + to, e->length - to + 1);
    e->length -= to - from;
    e->caret = e->anchor = from;
}

}  // namespace

void edit_init(EditState* e, const char* text, int limit, int flags, int width, int height, int lineHeight,
               EditMeasure measure) {
    e->limit = std::clamp(limit, 0, EDIT_TEXT_MAX - 1);
    e->multiline = (flags & EF_MULTILINE) ? 1 : 0;
    e->upper = (flags & EF_UPPER) ? 1 : 0;
    e->width = std::max(1, width);
    e->height = std::max(1, height);
    e->lineHeight = std::max(1, lineHeight);
    e->measure = measure;
    e->length = 0;
    e->text[0] = 0;
    if (text) {
        e->length = (int)strnlen(text, e->limit);
        std::memcpy(e->text, text, e->length);
        e->text[e->length] = 0;
    }
    e->caret = e->anchor = e->length;
    e->scrollX = e->scrollY = 0;
    changed(e);
}

int edit_insert(EditState* e, const char* bytes, int count) {
    int from, to;
    edit_selection(e, &from, &to);
    char clean[EDIT_TEXT_MAX];
    int room = e->limit - (e->length - (to - from)), n = 0;
    for (int i = 0; i < count && n < room; i++) {
        int c = (unsigned char)bytes[i];
        if (c == '\n') {
            if (!e->multiline) c = ' ';
        } else if (c == '\t') {
            c = ' ';
        } else if (c < 32 || c == 127) {
            continue;
        }
        clean[n++] = (char)(e->upper ? upper_1252(c) : c);
    }
    if (n == 0 && count > 0) return 0;
    remove_range(e, from, to);
    std::memmove(e->text + from + n, e->text + from, e->length - from + 1);
    std::memcpy(e->text + from, clean, n);
    e->length += n;
    e->caret = e->anchor = from + n;
    changed(e);
    return n;
}

int edit_type(EditState* e, int byte) {
    char c = (char)byte;
    return edit_insert(e, &c, 1);
}

int edit_paste(EditState* e, const char* utf8) {
    char text[EDIT_TEXT_MAX];
    str_utf8_to_cp1252(utf8, text, sizeof text);
    return edit_insert(e, text, (int)std::strlen(text));
}

int edit_copy(const EditState* e, char* utf8, int size) {
    int from, to;
    edit_selection(e, &from, &to);
    char part[EDIT_TEXT_MAX];
    std::memcpy(part, e->text + from, to - from);
    part[to - from] = 0;
    str_cp1252_to_utf8(part, utf8, size);
    return (int)std::strlen(utf8);
}

int edit_delete(EditState* e, int forward) {
    int from, to;
    edit_selection(e, &from, &to);
    if (from == to) {
        if (forward ? to >= e->length : from <= 0) return 0;
        forward ? to++ : from--;
    }
    remove_range(e, from, to);
    changed(e);
    return 1;
}

int edit_move(EditState* e, int key, int extend) {
    int from, to;
    edit_selection(e, &from, &to);
    int line = edit_line_of(e, e->caret), caret = e->caret;
    const EditLine& l = e->lines[line];
    switch (key) {
        case KEY_LEFT:
            caret = (from != to && !extend) ? from : std::max(0, caret - 1);
            break;
        case KEY_RIGHT:
            caret = (from != to && !extend) ? to : std::min(e->length, caret + 1);
            break;
        case KEY_HOME:
            caret = l.start;
            break;
        case KEY_END:
            caret = line_wrapped(e, line) && l.end > l.start ? l.end - 1 : l.end;
            break;
        case KEY_UP:
        case KEY_DOWN:
        case KEY_PAGEUP:
        case KEY_PAGEDOWN: {
            if (!e->multiline) return 0;
            int step = (key == KEY_PAGEUP || key == KEY_PAGEDOWN) ? edit_visible_lines(e) : 1;
            int target = line + ((key == KEY_UP || key == KEY_PAGEUP) ? -step : step);
            if (target < 0) {
                caret = 0;
            } else if (target >= e->lineCount) {
                caret = e->length;
            } else {
                caret = nearest_in_line(e, target, width_of(e, l.start, e->caret));
            }
            break;
        }
        default:
            return 0;
    }
    e->caret = caret;
    if (!extend) e->anchor = caret;
    keep_caret_visible(e);
    return 1;
}

void edit_select_all(EditState* e) {
    e->anchor = 0;
    e->caret = e->length;
    keep_caret_visible(e);
}

void edit_selection(const EditState* e, int* from, int* to) {
    *from = std::min(e->caret, e->anchor);
    *to = std::max(e->caret, e->anchor);
}

int edit_line_of(const EditState* e, int index) {
    int line = 0;
    while (line + 1 < e->lineCount && e->lines[line + 1].start <= index)
        line++;
    return line;
}

void edit_caret_pos(const EditState* e, int* x, int* y) {
    int line = edit_line_of(e, e->caret);
    *x = width_of(e, e->lines[line].start, e->caret) - e->scrollX;
    *y = (line - e->scrollY) * e->lineHeight;
}

int edit_hit(const EditState* e, int x, int y) {
    int line = e->multiline ? e->scrollY + (y < 0 ? -1 : y / e->lineHeight) : 0;
    if (line < 0) return 0;
    if (line >= e->lineCount) return e->length;
    return nearest_in_line(e, line, x + e->scrollX);
}

void edit_place(EditState* e, int x, int y, int extend) {
    e->caret = edit_hit(e, x, y);
    if (!extend) e->anchor = e->caret;
    keep_caret_visible(e);
}

void edit_scroll_lines(EditState* e, int lines) {
    e->scrollY = std::clamp(e->scrollY + lines, 0, std::max(0, e->lineCount - edit_visible_lines(e)));
}

int edit_visible_lines(const EditState* e) { return std::max(1, e->height / e->lineHeight); }
