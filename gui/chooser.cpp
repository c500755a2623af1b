// gui/chooser.cpp -- the open and save dialogs: the folder listing, and the modal window with
// the path line, the list and its scroll bar, the name line and the buttons.
#include "gui/chooser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "base/str.h"
#include "gui/button.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/io_dialog.h"
#include "gui/lt.h"
#include "gui/window.h"
#include "image/pic.h"
#include "platform/io_debug.h"
#include "platform/io_desktop.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"
#include "puzzle/box.h"

namespace {

// --- Listing ---

int lower(int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

int glob(const char* p, const char* pend, const char* s) {
    for (; p < pend; p++, s++) {
        if (*p == '*') {
            for (;; s++) {
                if (glob(p + 1, pend, s)) return 1;
                if (!*s) return 0;
            }
        }
        if (!*s || (*p != '?' && lower((unsigned char)*p) != lower((unsigned char)*s))) return 0;
    }
    return !*s;
}

int compare_names(const ChooserEntry& a, const ChooserEntry& b) {
    if (a.isFolder != b.isFolder) return a.isFolder ? -1 : 1;
    for (const char *x = a.name, *y = b.name;; x++, y++) {
        int cx = lower((unsigned char)*x), cy = lower((unsigned char)*y);
        if (cx != cy || !cx) return cx - cy != 0 ? cx - cy : std::strcmp(a.name, b.name);
    }
}

// Adds the entries of one kind; 0 when the folder cannot be read.
int list_kind(const char* folder, const char* filter, int folders, ChooserList* list) {
    char pattern[PATH_MAX_GAME];
    std::snprintf(pattern, sizeof pattern, "%s", folder);
    if (!io_path_join(pattern, sizeof pattern, "*")) return 0;
    IoFind find;
    IoFindEntry entry;
    for (int more = io_find_first(&find, pattern, folders, &entry); more;
         more = io_find_next(&find, &entry)) {
        if (entry.name[0] == '.' || (!folders && !chooser_filter_match(entry.name, filter))) continue;
        if (list->count == FOLDER_ENTRY_MAX) {
            list->cut = 1;
            break;
        }
        ChooserEntry& e = list->entries[list->count++];
        str_copy_bounded(e.name, entry.name, sizeof e.name);
        e.isFolder = folders;
    }
    io_find_close(&find);
    return 1;
}

}  // namespace

int chooser_filter_match(const char* name, const char* filter) {
    if (!filter || !*filter) return 1;
    for (const char* p = filter;;) {
        const char* end = std::strchr(p, ';');
        if (!end) end = p + std::strlen(p);
        if (glob(p, end, name)) return 1;
        if (!*end) return 0;
        p = end + 1;
    }
}

int chooser_list(const char* folder, const char* filter, ChooserList* list) {
    list->count = 0;
    list->cut = 0;
    if (!io_folder_exists(folder)) return 0;
    list_kind(folder, filter, 1, list);
    list_kind(folder, filter, 0, list);
    std::sort(list->entries, list->entries + list->count,
              [](const ChooserEntry& a, const ChooserEntry& b) { return compare_names(a, b) < 0; });
    return 1;
}

void chooser_shown_name(const char* name, char* out, int size) {
    int n = 0;
    for (const char* p = name; *p && n < size - 1;) {
        const char* before = p;
        uint32_t cp = str_utf8_decode(&p);
        int byte = str_cp1252_from_unicode(cp);
        // A lone byte decoded as the replacement character was not UTF-8.
        if (cp == 0xFFFD && p - before == 1) byte = -1;
        out[n++] = (char)(byte < 32 ? '?' : byte);
    }
    if (size > 0) out[n] = 0;
}

void chooser_shorten(const char* text, int width, ChooserMeasure measure, int keepEnd, char* out, int size) {
    str_copy_bounded(out, text, size);
    if (measure(out) <= width) return;
    int length = (int)std::strlen(out);
    for (int keep = std::min(length - 1, size - 4); keep >= 0; keep--) {
        if (keepEnd) {
            std::memcpy(out, "...", 3);
            std::memcpy(out + 3, text + (length - keep), keep);
            out[keep + 3] = 0;
        } else {
            std::memcpy(out, text, keep);
            std::memcpy(out + keep, "...", 4);
        }
        if (measure(out) <= width) return;
    }
}

int chooser_normalise(const char* path, const char* base, char* out, int size) {
    char whole[PATH_MAX_GAME * 2];
    std::snprintf(whole, sizeof whole, "%s/%s", path[0] == '/' ? "" : base, path);
    int n = 0;
    for (const char* p = whole; *p;) {
        while (*p == '/')
            p++;
        const char* end = std::strchr(p, '/');
        int len = end ? (int)(end - p) : (int)std::strlen(p);
        if (len == 0) break;
        if (len == 2 && p[0] == '.' && p[1] == '.') {
            while (n > 0 && out[n - 1] != '/')
                n--;
            if (n > 0) n--;
        } else if (!(len == 1 && p[0] == '.')) {
            if (n + 1 + len >= size) return 0;
            out[n++] = '/';
            std::memcpy(out + n, p, len);
            n += len;
        }
        p += len;
    }
    if (n == 0) out[n++] = '/';
    out[n] = 0;
    return 1;
}

int chooser_up(char* folder) {
    char* slash = std::strrchr(folder, '/');
    if (!slash || (slash == folder && !folder[1])) return 0;
    if (slash == folder) slash++;
    *slash = 0;
    return 1;
}

// --- The window ---
//
// Left, the places (the player's home and user folders, the game's puzzles folder); in the
// middle, the list of the folder with its scroll bar; for pictures, on the right, the thumbnail
// of the picture under the pointer (or of the one selected). Thumbnails are decoded at most one
// per tick, smaller than the picture where the format allows, and kept while the chooser is open.

namespace {

constexpr int WIDTH = 640, HEIGHT = 400;
constexpr int PLACES_X = 10, PLACES_WIDTH = 120, PLACE_HEIGHT = 20;
constexpr int LIST_X = PLACES_X + PLACES_WIDTH + 10, LIST_Y = 48, ROW_HEIGHT = 18, ROWS = 15;
constexpr int BAR_WIDTH = 16, LIST_HEIGHT = ROWS * ROW_HEIGHT;
constexpr int PREVIEW_SIDE = 160, PREVIEW_X = WIDTH - 10 - PREVIEW_SIDE;
constexpr int NAME_X = LIST_X, NAME_Y = LIST_Y + LIST_HEIGHT + 10, NAME_HEIGHT = 20;
constexpr int DOUBLE_CLICK_MS = 400;
constexpr int WHEEL_ROWS = 3;
constexpr int THUMB_CACHE = 48, THUMB_JOBS = 4;
// A thumbnail's work stays well inside a frame: a JPEG is decoded slice by slice of its file
// (reduced as it is decoded) for at most THUMB_TICK_MS a tick, any other format whole, so larger
// ones of those show the plain icon instead.
constexpr long THUMB_SLICE_BYTES = 32L * 1024;
constexpr double THUMB_TICK_MS = 10;
constexpr long long THUMB_JPEG_PIXELS = 40LL * 1000 * 1000, THUMB_OTHER_PIXELS = 800LL * 1000;
// Texts: titles, the Up button, the name label, the cut list and the overwrite question; the
// places; a folder that cannot be read.
constexpr int TEXT_OPEN = 640, TEXT_SAVE = 641, TEXT_UP = 642, TEXT_NAME = 643, TEXT_CUT = 644;
constexpr int TEXT_REPLACE = 645, TEXT_UNREADABLE = 652;
constexpr int TEXT_HOME = 646, TEXT_DESKTOP = 647, TEXT_PICTURES = 648, TEXT_DOCUMENTS = 649,
              TEXT_DOWNLOADS = 650, TEXT_PUZZLES = 651;

struct Place {
    int text;
    char path[PATH_MAX_GAME];  // normalised, absolute
};

struct Thumb {
    char path[PATH_MAX_GAME];
    Image* image;   // null: no thumbnail (the plain icon)
    unsigned used;  // for dropping the longest unused one
};

// A thumbnail being made: a few are kept going, so that one the pointer passed over and comes
// back to goes on where it was.
struct ThumbJob {
    PicThumbJob* job;  // null: a free slot
    char path[PATH_MAX_GAME];
    int slices;     // ticks it has taken
    unsigned used;  // for dropping the longest unused one
};

struct Chooser {
    int window, up, ok, cancel;  // windows
    int save;                    // the save dialog: overwrite question, default extension
    int pictures;                // thumbnails of the picture under the pointer
    char filter[PATH_MAX_GAME];
    char folder[PATH_MAX_GAME];        // normalised, absolute
    int unreadable;                    // the folder could not be read
    char name[PATH_MAX_GAME];          // the name line (Windows-1252)
    char chosen[PATH_MAX_GAME];        // the chosen path (bytes as on disk)
    char nameAtSelect[PATH_MAX_GAME];  // the name line when the list selection last changed
    int selected;                      // row, -1 for none
    int hover;                         // row under the pointer, -1 for none
    int top;                           // first visible row
    int now;                           // game time of the last tick
    int clickRow, clickTime;           // the last press in the list, for double clicks
    int dragOffset;                    // thumb drag: the press's distance from the thumb's top
    Place places[6];
    int placeCount;
    Thumb thumbs[THUMB_CACHE];
    unsigned thumbClock;
    ThumbJob jobs[THUMB_JOBS];       // thumbnails being made, over several ticks
    double slowestSlice;             // ms, for the log
    char shownThumb[PATH_MAX_GAME];  // the path the preview shows, "" for none
    ChooserList list;
};
Chooser g;

const char* text(int n) {
    const char* t = lt_get(n);
    return t ? t : "";
}

int measure_text(const char* t) {
    const Font* f = font_get(FONT_SYSTEM);
    int length = (int)std::strlen(t);
    return f && f->lineAdvance > 0 ? font_text_width(FONT_SYSTEM, t, length) : 7 * length;
}

int list_width() { return (g.pictures ? PREVIEW_X - 10 : WIDTH - 10) - LIST_X - BAR_WIDTH - 2; }
int bar_x() { return LIST_X + list_width() + 2; }

int rows_total() { return g.list.count + g.list.cut; }

void scroll_to(int top) {
    g.top = std::clamp(top, 0, std::max(0, rows_total() - ROWS));
    window_redraw(g.window);
}

// --- Places ---

void add_place(int textNumber, const char* path) {
    if (g.placeCount >= (int)(sizeof g.places / sizeof g.places[0]) || !path || !path[0]) return;
    Place& p = g.places[g.placeCount];
    if (!chooser_normalise(path, io_start_folder(), p.path, sizeof p.path) || !io_folder_exists(p.path))
        return;
    for (int i = 0; i < g.placeCount; i++)
        if (!std::strcmp(g.places[i].path, p.path)) return;  // one place per folder
    p.text = textNumber;
    g.placeCount++;
}

void find_places() {
    g.placeCount = 0;
    char path[PATH_MAX_GAME];
    if (io_special_folder(-1, path, sizeof path)) add_place(TEXT_HOME, path);
    const std::pair<const char*, int> user[] = {{"DESKTOP", TEXT_DESKTOP},
                                                {"PICTURES", TEXT_PICTURES},
                                                {"DOCUMENTS", TEXT_DOCUMENTS},
                                                {"DOWNLOAD", TEXT_DOWNLOADS}};
    for (const auto& [name, textNumber] : user)
        if (io_user_folder(name, path, sizeof path)) add_place(textNumber, path);
    add_place(TEXT_PUZZLES, box_folder());
    char line[LOG_LINE_MAX] = "";
    for (int i = 0; i < g.placeCount; i++) {
        str_append(line, sizeof line, i ? ", " : "");
        str_append(line, sizeof line, text(g.places[i].text));
        str_append(line, sizeof line, " ");
        str_append(line, sizeof line, g.places[i].path);
    }
    io_log("chooser: places: %s\n", line);
}

// --- Thumbnails ---

void free_thumbs() {
    for (ThumbJob& j : g.jobs) {
        pic_thumbnail_end(j.job);
        j = ThumbJob{};
    }
    for (Thumb& t : g.thumbs) {
        io_mem_free(t.image);
        t = Thumb{};
    }
    g.shownThumb[0] = 0;
}

Thumb* cached_thumb(const char* path) {
    for (Thumb& t : g.thumbs)
        if (t.path[0] && !std::strcmp(t.path, path)) {
            t.used = ++g.thumbClock;
            return &t;
        }
    return nullptr;
}

// The path of the picture whose thumbnail the preview wants: the row under the pointer, else the
// selected one; empty for a folder or none.
void wanted_thumb(char* path, int size) {
    path[0] = 0;
    const int row = g.hover >= 0 ? g.hover : g.selected;
    if (!g.pictures || row < 0 || row >= g.list.count || g.list.entries[row].isFolder) return;
    std::snprintf(path, (size_t)size, "%s", g.folder);
    if (!io_path_join(path, (size_t)size, g.list.entries[row].name)) path[0] = 0;
}

void redraw_preview() {
    window_redraw_part(g.window, PREVIEW_X - 1, LIST_Y - 1, PREVIEW_SIDE + 2, PREVIEW_SIDE + 2);
}

// Keeps a finished thumbnail (null: the picture gives none) in the least recently used slot.
void keep_thumb(const char* path, Image* image) {
    Thumb* slot = &g.thumbs[0];
    for (Thumb& t : g.thumbs)
        if (!t.path[0] || t.used < slot->used) slot = &t;
    io_mem_free(slot->image);
    slot->image = image;
    str_copy_bounded(slot->path, path, sizeof slot->path);
    slot->used = ++g.thumbClock;
}

// The job making the thumbnail of path, begun when there is none (the longest unused job gives
// way).
ThumbJob* job_for(const char* path) {
    ThumbJob* slot = &g.jobs[0];
    for (ThumbJob& j : g.jobs) {
        if (j.job && !std::strcmp(j.path, path)) {
            j.used = ++g.thumbClock;
            return &j;
        }
        if (!j.job || (slot->job && j.used < slot->used)) slot = &j;
    }
    pic_thumbnail_end(slot->job);
    *slot = ThumbJob{};
    slot->job = pic_thumbnail_begin(path, PREVIEW_SIDE, THUMB_JPEG_PIXELS, THUMB_OTHER_PIXELS);
    str_copy_bounded(slot->path, path, sizeof slot->path);
    slot->used = ++g.thumbClock;
    return slot;
}

// One tick's share: the wanted thumbnail is worked on for one slice, and the preview redrawn
// when what it shows changed.
void thumb_tick() {
    char path[PATH_MAX_GAME];
    wanted_thumb(path, sizeof path);
    if (path[0] && !cached_thumb(path)) {
        ThumbJob* j = job_for(path);
        Image* image = nullptr;
        const auto begin = std::chrono::steady_clock::now();
        int done = 0;
        double ms = 0;
        while (!done && ms < THUMB_TICK_MS) {
            done = pic_thumbnail_step(j->job, THUMB_SLICE_BYTES, &image);
            ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
        }
        j->slices++;
        if (ms > g.slowestSlice) g.slowestSlice = ms;
        if (done) {
            io_log("chooser: thumbnail of %s %s in %i ticks, the longest tick's share so far %.1f ms\n", path,
                   image ? "made" : "refused", j->slices, g.slowestSlice);
            keep_thumb(path, image);
            pic_thumbnail_end(j->job);
            *j = ThumbJob{};
            g.shownThumb[0] = 0;  // drawn anew below
        }
    }
    if (std::strcmp(path, g.shownThumb) != 0) {
        str_copy_bounded(g.shownThumb, path, sizeof g.shownThumb);
        redraw_preview();
    }
}

// The row of the list under the pointer, -1 for none.
int hovered_row() {
    int mx, my, sx, sy;
    window_mouse(&mx, &my);
    window_screen_pos(g.window, &sx, &sy);
    const int x = mx - sx, y = my - sy;
    if (window_at(mx, my) != g.window || x < LIST_X || x >= LIST_X + list_width() || y < LIST_Y ||
        y >= LIST_Y + LIST_HEIGHT)
        return -1;
    const int row = g.top + (y - LIST_Y) / ROW_HEIGHT;
    return row < g.list.count ? row : -1;
}

// --- The folder ---

void relist() {
    g.unreadable = !chooser_list(g.folder, g.filter, &g.list);
    if (g.unreadable) io_log("chooser: the folder %s cannot be read\n", g.folder);
    g.selected = -1;
    g.hover = -1;
    g.clickRow = -1;
    scroll_to(0);
}

// A typed folder name leaves the name line; a save dialog keeps a typed file name while the
// player walks the folders.
void enter_folder(const char* path, int clearName) {
    str_copy_bounded(g.folder, path, sizeof g.folder);
    if (clearName || !g.save) io_dialog_set_text(0, "");
    relist();
}

void go_up() {
    char parent[PATH_MAX_GAME];
    str_copy_bounded(parent, g.folder, sizeof parent);
    if (chooser_up(parent)) enter_folder(parent, 0);
}

void select_row(int row) {
    if (g.list.count <= 0) return;
    g.selected = std::clamp(row, 0, g.list.count - 1);
    if (g.selected < g.top) scroll_to(g.selected);
    if (g.selected >= g.top + ROWS) scroll_to(g.selected - ROWS + 1);
    const ChooserEntry& e = g.list.entries[g.selected];
    if (!e.isFolder) {
        char shown[PATH_MAX_GAME];
        chooser_shown_name(e.name, shown, sizeof shown);
        io_dialog_set_text(0, shown);
    }
    const char* name = io_dialog_text(0);
    str_copy_bounded(g.nameAtSelect, name ? name : "", sizeof g.nameAtSelect);
    window_redraw(g.window);
}

// The filter's first extension ("*.pzl;*.box" gives ".pzl"), added to a name that has none.
void add_extension(char* path, int size) {
    const char* base = std::strrchr(path, '/');
    base = base ? base + 1 : path;
    const char* star = std::strstr(g.filter, "*.");
    if (std::strchr(base, '.') || !star) return;
    int len = (int)std::strcspn(star + 1, ";");
    if (std::memchr(star + 1, '*', len) || std::memchr(star + 1, '?', len)) return;
    int n = (int)std::strlen(path);
    if (n + len < size) std::snprintf(path + n, size - n, "%.*s", len, star + 1);
}

void choose(const char* path) {
    str_copy_bounded(g.chosen, path, sizeof g.chosen);
    window_end_modal(1, 1);
}

// Enter, OK or a double click: a folder opens, a file is chosen.
void accept() {
    const char* typed = io_dialog_text(0);
    if (!typed) typed = "";
    char path[PATH_MAX_GAME];
    if (g.selected >= 0) {
        const ChooserEntry& e = g.list.entries[g.selected];
        char shown[PATH_MAX_GAME];
        chooser_shown_name(e.name, shown, sizeof shown);
        // The selected entry counts unless a name was typed after selecting it.
        int untouched = !*typed || std::strcmp(typed, shown) == 0;
        if (e.isFolder && std::strcmp(typed, g.nameAtSelect) == 0) untouched = 1;
        if (untouched) {
            std::snprintf(path, sizeof path, "%s", g.folder);
            if (!io_path_join(path, sizeof path, e.name)) return;
            if (e.isFolder) {
                enter_folder(path, 0);
            } else {
                choose(path);
            }
            return;
        }
    }
    if (!*typed) return;
    char utf8[PATH_MAX_GAME];
    str_cp1252_to_utf8(typed, utf8, sizeof utf8);
    if (!chooser_normalise(utf8, g.folder, path, sizeof path)) return;
    if (io_folder_exists(path)) {
        enter_folder(path, 1);
        return;
    }
    char parent[PATH_MAX_GAME];
    str_copy_bounded(parent, path, sizeof parent);
    if (g.save) {
        add_extension(path, sizeof path);
        if (chooser_up(parent) && io_folder_exists(parent) && !io_folder_exists(path)) choose(path);
    } else if (io_file_exists(path)) {
        choose(path);
    }
}

// --- Drawing ---

void thumb(int* y, int* height) {
    int total = rows_total();
    *height = total <= ROWS ? LIST_HEIGHT : std::max(16, LIST_HEIGHT * ROWS / total);
    *y = LIST_Y + (total <= ROWS ? 0 : (LIST_HEIGHT - *height) * g.top / (total - ROWS));
}

void draw_places(int window, int sx, int sy) {
    const int height = std::max(1, g.placeCount) * PLACE_HEIGHT;
    ge_set_fill(ge_colour(GE_EDIT_BACKGROUND));
    ge_fill_rect(sx + PLACES_X, sy + LIST_Y, PLACES_WIDTH, height);
    ge_bevel_box(PLACES_X - 1, LIST_Y - 1, PLACES_WIDTH + 2, height + 2);
    char line[PATH_MAX_GAME];
    for (int i = 0; i < g.placeCount; i++) {
        const int y = LIST_Y + i * PLACE_HEIGHT;
        if (!std::strcmp(g.places[i].path, g.folder)) {
            ge_set_fill(ge_colour(GE_SELECTION));
            ge_fill_rect(sx + PLACES_X, sy + y, PLACES_WIDTH, PLACE_HEIGHT);
        }
        font_set_style(FONT_SYSTEM, ge_colour(GE_EDIT_TEXT), -1);
        chooser_shorten(text(g.places[i].text), PLACES_WIDTH - 8, measure_text, 0, line, sizeof line);
        window_draw_text(window, line, PLACES_X + 4, y + 2);
    }
}

void draw_preview(int sx, int sy) {
    ge_set_fill(ge_colour(GE_EDIT_BACKGROUND));
    ge_fill_rect(sx + PREVIEW_X, sy + LIST_Y, PREVIEW_SIDE, PREVIEW_SIDE);
    ge_bevel_box(PREVIEW_X - 1, LIST_Y - 1, PREVIEW_SIDE + 2, PREVIEW_SIDE + 2);
    if (!g.shownThumb[0]) return;
    const Thumb* t = cached_thumb(g.shownThumb);
    if (!t) return;  // not decoded yet
    if (t->image) {
        img_draw_all(t->image, sx + PREVIEW_X + (PREVIEW_SIDE - t->image->width) / 2,
                     sy + LIST_Y + (PREVIEW_SIDE - t->image->height) / 2);
        return;
    }
    int w, h;  // no thumbnail: the plain picture icon
    ge_picture_size(GE_PICTURE_HIDDEN, &w, &h);
    ge_draw_picture(GE_PICTURE_HIDDEN, PREVIEW_X + (PREVIEW_SIDE - w) / 2, LIST_Y + (PREVIEW_SIDE - h) / 2);
}

void draw(int window) {
    int sx, sy;
    window_screen_pos(window, &sx, &sy);
    ge_draw_element(25, 0, TITLE_HEIGHT, WIDTH, HEIGHT - TITLE_HEIGHT - 24);
    char shown[PATH_MAX_GAME], line[PATH_MAX_GAME];
    font_set_style(FONT_SYSTEM, ge_colour(GE_MSGBOX_TEXT), ge_colour(GE_MSGBOX_TEXT_SHADOW));
    chooser_shown_name(g.folder, shown, sizeof shown);
    chooser_shorten(shown, WIDTH - 100, measure_text, 1, line, sizeof line);
    window_draw_text(window, line, PLACES_X, 26);
    window_draw_text(window, text(TEXT_NAME), PLACES_X, NAME_Y + 2);

    draw_places(window, sx, sy);
    const int listWidth = list_width();
    ge_set_fill(ge_colour(GE_EDIT_BACKGROUND));
    ge_fill_rect(sx + LIST_X, sy + LIST_Y, listWidth, LIST_HEIGHT);
    ge_bevel_box(LIST_X - 1, LIST_Y - 1, listWidth + 2, LIST_HEIGHT + 2);
    font_set_style(FONT_SYSTEM, ge_colour(GE_EDIT_TEXT), -1);
    if (g.unreadable) {
        font_set_layout(0, listWidth - 8);
        window_draw_text(window, text(TEXT_UNREADABLE), LIST_X + 4, LIST_Y + 1);
        font_set_layout(0, 0);
    }
    for (int r = 0; r < ROWS && g.top + r < rows_total(); r++) {
        int row = g.top + r, y = LIST_Y + r * ROW_HEIGHT;
        if (row == g.list.count) {
            chooser_shorten(text(TEXT_CUT), listWidth - 8, measure_text, 0, line, sizeof line);
        } else {
            const ChooserEntry& e = g.list.entries[row];
            chooser_shown_name(e.name, shown, sizeof shown);
            if (e.isFolder) std::strncat(shown, "/", sizeof shown - std::strlen(shown) - 1);
            chooser_shorten(shown, listWidth - 8, measure_text, 0, line, sizeof line);
        }
        if (row == g.selected) {
            ge_set_fill(ge_colour(GE_SELECTION));
            ge_fill_rect(sx + LIST_X, sy + y, listWidth, ROW_HEIGHT);
        } else if (row == g.hover && g.pictures) {  // the row whose picture the preview shows
            ge_set_pen(PEN_DOTTED, ge_colour(GE_EDIT_TEXT));
            ge_rectangle(sx + LIST_X + 1, sy + y, listWidth - 2, ROW_HEIGHT);
        }
        window_draw_text(window, line, LIST_X + 4, y + 1);
    }
    const int barX = bar_x();
    ge_bevel_box(barX, LIST_Y - 1, BAR_WIDTH, LIST_HEIGHT + 2);
    int ty, th;
    thumb(&ty, &th);
    if (rows_total() > ROWS) ge_draw_element(14, barX, ty, BAR_WIDTH, th);
    if (g.pictures) draw_preview(sx, sy);
    ge_bevel_box(NAME_X - 1, NAME_Y - 1, WIDTH - NAME_X - 10 + 2, NAME_HEIGHT + 2);
}

// --- Pointer ---

void press(int x, int y) {
    if (x >= PLACES_X && x < PLACES_X + PLACES_WIDTH && y >= LIST_Y &&
        y < LIST_Y + g.placeCount * PLACE_HEIGHT) {
        const Place& p = g.places[(y - LIST_Y) / PLACE_HEIGHT];
        enter_folder(p.path, 0);
        return;
    }
    const int barX = bar_x();
    if (x >= barX && x < barX + BAR_WIDTH && y >= LIST_Y && y < LIST_Y + LIST_HEIGHT) {
        int ty, th;
        thumb(&ty, &th);
        if (y < ty) {
            scroll_to(g.top - ROWS);
        } else if (y >= ty + th) {
            scroll_to(g.top + ROWS);
        } else {
            g.dragOffset = y - ty;
            window_start_capture(g.window);
        }
        return;
    }
    if (x < LIST_X || x >= LIST_X + list_width() || y < LIST_Y || y >= LIST_Y + LIST_HEIGHT) return;
    int row = g.top + (y - LIST_Y) / ROW_HEIGHT;
    if (row >= g.list.count) return;
    int twice = row == g.clickRow && g.now - g.clickTime <= DOUBLE_CLICK_MS;
    g.clickRow = twice ? -1 : row;
    g.clickTime = g.now;
    select_row(row);
    if (twice) accept();
}

void drag_thumb(int y) {
    int ty, th, total = rows_total();
    thumb(&ty, &th);
    if (total <= ROWS || th >= LIST_HEIGHT) return;
    int top = (y - g.dragOffset - LIST_Y) * (total - ROWS) / (LIST_HEIGHT - th);
    scroll_to(top);
}

int handler(int window, KernelEvent* e) {
    switch (e->type) {
        case KE_IDLE:
            draw(window);
            return 0;  // the buttons draw after the window
        case KE_TICK: {
            g.now = (int)e->a;
            const int hover = hovered_row();
            if (hover != g.hover) {
                g.hover = hover;
                window_redraw_part(g.window, LIST_X, LIST_Y, list_width(), LIST_HEIGHT);
            }
            thumb_tick();
            return 0;
        }
        case KE_MOUSEDOWN:
            if ((e->c & MOUSE_CAPTURED) == 0 && (e->c & MOUSE_LEFT)) press((int)e->a, (int)e->b);
            return 1;
        case KE_MOUSEUP:
            if (e->c & MOUSE_CAPTURED) window_end_capture();
            return 1;
        case WE_CAPTUREMOVE:
            drag_thumb(((int*)e->c)[1]);
            return 1;
        case KE_WHEEL: {  // window-relative, as every mouse event
            const int x = (int)e->a, y = (int)e->b;
            if (x < LIST_X || x >= bar_x() + BAR_WIDTH || y < LIST_Y || y >= LIST_Y + LIST_HEIGHT) return 0;
            scroll_to(g.top - WHEEL_ROWS * (int)e->c);
            return 1;
        }
        case KE_KEYDOWN:
            switch ((int)e->a) {
                case KEY_UP:
                    select_row(g.selected < 0 ? 0 : g.selected - 1);
                    return 1;
                case KEY_DOWN:
                    select_row(g.selected + 1);
                    return 1;
                case KEY_PAGEUP:
                    select_row(g.selected - ROWS);
                    return 1;
                case KEY_PAGEDOWN:
                    select_row(g.selected < 0 ? ROWS - 1 : g.selected + ROWS);
                    return 1;
                case KEY_ENTER:
                    accept();
                    return 1;
                case KEY_ESCAPE:
                    window_end_modal(0, 0);
                    return 1;
                case KEY_BACKSPACE:
                    go_up();
                    return 1;
                default:
                    return 0;
            }
        case WE_BUTTON:
            if (e->a == g.ok) accept();
            if (e->a == g.cancel) window_end_modal(0, 0);
            if (e->a == g.up) go_up();
            return 1;
        default:
            return 0;
    }
}

int run(char* file, char* folder, const char* filter, int save, int pictures) {
    g.save = save;
    g.pictures = pictures;
    str_copy_bounded(g.filter, filter && std::strcmp(filter, "*") ? filter : "", sizeof g.filter);
    find_places();
    // The initial folder: the one given, else the folder of the given file, else the home folder.
    char fileFolder[PATH_MAX_GAME] = "", home[PATH_MAX_GAME] = "";
    if (file && std::strchr(file, '/')) {
        str_copy_bounded(fileFolder, file, sizeof fileFolder);
        char* slash = std::strrchr(fileFolder, '/');
        slash[slash == fileFolder ? 1 : 0] = 0;
    }
    if (!io_special_folder(-1, home, sizeof home)) str_copy_bounded(home, io_start_folder(), sizeof home);
    const char* start = folder && *folder ? folder : fileFolder[0] ? fileFolder : home;
    if (!chooser_normalise(start, io_start_folder(), g.folder, sizeof g.folder)) {
        str_copy_bounded(g.folder, "/", sizeof g.folder);
    }
    g.name[0] = 0;
    if (file && *file) {
        const char* base = std::strrchr(file, '/');
        char initial[PATH_MAX_GAME];
        chooser_shown_name(base ? base + 1 : file, initial, sizeof initial);
        str_copy_bounded(g.name, initial, sizeof g.name);
    }
    relist();
    window_set_title(g.window, text(save ? TEXT_SAVE : TEXT_OPEN));
    EditField fields[2] = {
        {EF_PRESENT, NAME_X, NAME_Y, WIDTH - NAME_X - 10, NAME_HEIGHT, g.name, sizeof g.name, 0}, {}};
    int result = 0;
    for (;;) {
        g.chosen[0] = 0;
        if (window_focus_modal(g.window, fields) != 1 || !g.chosen[0]) break;
        if (!save || !io_file_exists(g.chosen)) {
            result = 1;
            break;
        }
        char shown[PATH_MAX_GAME], question[LOG_LINE_MAX];
        chooser_shown_name(std::strrchr(g.chosen, '/') + 1, shown, sizeof shown);
        const char* form = text(TEXT_REPLACE);
        const char* at = std::strstr(form, "%s");
        int head = at ? (int)(at - form) : (int)std::strlen(form);
        std::snprintf(question, sizeof question, "%.*s%s%s", head, form, at ? shown : "", at ? at + 2 : "");
        if (msgbox_show(question, MSG_OK_CANCEL) == MSG_ANSWER_OK) {
            result = 1;
            break;
        }
    }
    free_thumbs();
    if (!result) return 0;
    str_copy_bounded(file, g.chosen, PATH_MAX_GAME);
    if (folder) {
        str_copy_bounded(folder, g.chosen, PATH_MAX_GAME);
        chooser_up(folder);
    }
    return 1;
}

}  // namespace

int chooser_open(char* file, char* folder, const char* filter) { return run(file, folder, filter, 0, 0); }

int chooser_open_pictures(char* file, char* folder, const char* filter) {
    return run(file, folder, filter, 0, 1);
}

int chooser_save(char* file, char* folder, const char* filter) { return run(file, folder, filter, 1, 0); }

void chooser_init() {
    g.window = window_register(-1, TW_MODAL | TW_TITLE, 0, 0, WIDTH, HEIGHT, handler, nullptr);
    g.up = button_register(g.window, BS_PUSH | BS_TEXT | BS_FRAME, WIDTH - 74, 21, 64, 24, 0, text(TEXT_UP),
                           14, 0);
    int bar = button_bar_create(g.window);
    g.ok = button_bar_add(bar, 1, 0, nullptr, GE_PICTURE_OK, 0, 0);
    g.cancel = button_bar_add(bar, 0, 0, nullptr, GE_PICTURE_CANCEL, 0, 0);
    button_bar_layout(bar);
}
