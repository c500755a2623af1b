// rooms/shelf.cpp -- the boxes of the shelf: the list, loading a box from its preview or its
// picture, the arrangement in the configuration file, the box files. The shelf on the screen and
// the pointer are in shelf_view.cpp.
//
// Sections: state and list; sizes and shadows; loading a box; the arrangement; the files of a
// box; geometry.
#include "rooms/shelf.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/str.h"
#include "gui/ge.h"
#include "image/img_scale.h"
#include "image/pic.h"
#include "platform/io_debug.h"
#include "platform/io_file.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "rooms/shelf_local.h"

namespace {

constexpr char LAYOUT_NAMES[] = "BOXNAMES";
constexpr char LAYOUT_PLACES[] = "BOXPOSS";

// The two drop shadows (the offsets are in rooms/shelf_local.h).
constexpr int SHADOW_FLAGS = 4 | 8;  // both kinds wanted
constexpr int SHADOW_FRAME = 32;     // frame element: the centre tile over the whole rectangle
constexpr int SHADOW_DARKEST = 145;
constexpr double SHADOW_SMALL_SIGMA = 2.0;
constexpr double SHADOW_LARGE_SIGMA = 5.0;

constexpr int TEXT_FILE_MAX = 64 * 1024;  // description and address texts are cut here
constexpr int LAYOUT_VALUE_MAX = 256;

// --- State and list ------------------------------------------------------------------------------

void link_head(ShelfBox* box) {
    box->previous = nullptr;
    box->next = g_shelf.head;
    if (g_shelf.head) g_shelf.head->previous = box;
    g_shelf.head = box;
    if (!g_shelf.tail) g_shelf.tail = box;
    g_shelf.count++;
}

void unlink(ShelfBox* box) {
    if (box->previous)
        box->previous->next = box->next;
    else
        g_shelf.head = box->next;
    if (box->next)
        box->next->previous = box->previous;
    else
        g_shelf.tail = box->previous;
    box->next = box->previous = nullptr;
    g_shelf.count--;
}

void free_images(ShelfBox* box) {
    io_mem_free(box->thumbnail);
    io_mem_free(box->largeMask);
    io_mem_free(box->smallMask);
    io_mem_free(box->progressOverlay);
    box->thumbnail = box->largeMask = box->smallMask = box->progressOverlay = nullptr;
}

void free_box(ShelfBox* box) {
    if (!box) return;
    free_images(box);
    io_mem_free(box->description);
    io_mem_free(box->address);
    io_mem_free(box);
}

int random_below(int n) { return n > 0 ? std::rand() % n : 0; }

// --- Sizes and shadows ---------------------------------------------------------------------------

// w x h fitted into side x side keeping the proportions; small pictures are enlarged.
void fit_into(int w, int h, int side, int* outW, int* outH) {
    if (w >= h) {
        *outW = side;
        *outH = std::max(1, (int)((long long)h * side / w));
    } else {
        *outH = side;
        *outW = std::max(1, (int)((long long)w * side / h));
    }
}

// The thumbnail's size for the box's settings. A link box shows its picture at its own size,
// made smaller only when it would not fit on the screen.
void thumbnail_size(const BoxRecord& r, int* w, int* h) {
    const int sw = std::max(1, g_shelf.screenWidth), sh = std::max(1, g_shelf.screenHeight);
    if (!r.isLink) {
        fit_into(r.width, r.height, SHELF_THUMBNAIL_SIDE, w, h);
    } else if (r.width <= sw && r.height <= sh) {
        *w = r.width;
        *h = r.height;
    } else if ((long long)r.width * sh >= (long long)r.height * sw) {
        *w = sw;
        *h = std::max(1, (int)((long long)r.height * sw / r.width));
    } else {
        *h = sh;
        *w = std::max(1, (int)((long long)r.width * sh / r.height));
    }
}

// The box's size on the shelf: the thumbnail, enlarged to the placeholder while it is hidden.
void shelf_size(const BoxRecord& r, int hidden, int* w, int* h) {
    thumbnail_size(r, w, h);
    if (hidden) {
        int pw, ph;
        ge_picture_size(GE_PICTURE_HIDDEN, &pw, &ph);
        *w = std::max(*w, pw);
        *h = std::max(*h, ph);
    }
}

// The blurred outline of a w x h rectangle, padded by the blur radius on every side.
Image* shadow_mask(int w, int h, int radius, double sigma) {
    Image* mask = img_create(w + 2 * radius, h + 2 * radius, IMG_8BIT);
    if (!mask) return nullptr;
    img_fill(mask, 0);
    img_fill_rect(mask, SHADOW_DARKEST, radius, radius, w, h);
    ImageView view;
    img_view(&view, mask, 0, 0);
    img_blur(&view, sigma);
    return mask;
}

// Both shadows and their record for the box's current size.
int make_shadow(ShelfBox* box) {
    shelf_shadow_radii();
    io_mem_free(box->largeMask);
    io_mem_free(box->smallMask);
    box->largeMask = shadow_mask(box->width, box->height, g_shelf.largeRadius, SHADOW_LARGE_SIGMA);
    box->smallMask = shadow_mask(box->width, box->height, g_shelf.smallRadius, SHADOW_SMALL_SIGMA);
    box->shadow = {SHADOW_FLAGS,        box->width, box->height,
                   SHADOW_FRAME,        1,          SHELF_SHADOW_LARGE_OFFSET,
                   g_shelf.largeRadius, 1,          SHELF_SHADOW_SMALL_OFFSET,
                   g_shelf.smallRadius};
    return box->largeMask && box->smallMask;
}

int mask_fits(const Image* mask, int w, int h, int radius) {
    return mask && mask->kind == IMG_8BIT && mask->width == w + 2 * radius && mask->height == h + 2 * radius;
}

// A preview made for other settings, by another writer or damaged on the way: everything used
// from it must match what the box's settings give, else the preview is made again.
int preview_fits(const BoxPreview& p, const BoxRecord& r) {
    shelf_shadow_radii();
    int tw, th, w, h;
    thumbnail_size(r, &tw, &th);
    shelf_size(r, r.hiddenPicture, &w, &h);
    const BoxShadow& s = p.shadow;
    return p.thumbnail && p.thumbnail->kind == img_kind_resolve(IMG_KIND_SCREEN) &&
           p.thumbnail->width == tw && p.thumbnail->height == th && s.flags == SHADOW_FLAGS && s.width == w &&
           s.height == h && s.frame == SHADOW_FRAME && s.largePresent && s.smallPresent &&
           s.largeOffset == SHELF_SHADOW_LARGE_OFFSET && s.smallOffset == SHELF_SHADOW_SMALL_OFFSET &&
           s.largeRadius == g_shelf.largeRadius && s.smallRadius == g_shelf.smallRadius &&
           mask_fits(p.largeMask, w, h, g_shelf.largeRadius) &&
           mask_fits(p.smallMask, w, h, g_shelf.smallRadius);
}

// --- Loading a box -------------------------------------------------------------------------------

// A working text file as a zero-ended io_mem block (cut at TEXT_FILE_MAX), or null.
char* read_text(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return nullptr;
    }
    size = std::min(size, (long)TEXT_FILE_MAX);
    char* text = (char*)io_mem_alloc((size_t)size + 1);
    const size_t n = std::fread(text, 1, (size_t)size, file);
    std::fclose(file);
    text[n] = 0;
    return text;
}

void read_summary(ShelfBox* box) {
    saveinfo_clear(&box->summary);
    if (!quicksave_read_info(box->name, &box->stamp, &box->summary) || box->summary.percent < 0 ||
        box->summary.percent > 100 || box->summary.elapsedSeconds < 0)
        saveinfo_clear(&box->summary);
    box->summary.date[sizeof box->summary.date - 1] = 0;
}

void make_overlay(ShelfBox* box) {
    io_mem_free(box->progressOverlay);
    box->progressOverlay = shelf_progress_overlay(box->width, box->height, box->summary.percent);
}

// The thumbnail from the box's picture: decoded once, fitted, the picture dropped again.
int thumbnail_from_picture(ShelfBox* box) {
    FileStamp stamp;
    BoxRecord record;
    if (!box_read(box->name, &stamp, &record, BOX_PICTURE)) return 0;
    if (std::memcmp(&stamp, &box->stamp, sizeof stamp) != 0) {  // the box was saved again meanwhile
        box_clear_work_files(BOX_PICTURE);
        return 0;
    }
    Image* picture = pic_load_jpeg_image(BOX_PICTURE_FILE);
    box_clear_work_files(BOX_PICTURE);
    if (!picture) return 0;
    if (picture->kind != IMG_24BIT) {
        Image* colour = img_create(picture->width, picture->height, IMG_24BIT);
        if (colour) img_convert(colour, picture);
        io_mem_free(picture);
        picture = colour;
        if (!picture) return 0;
    }
    int w, h;
    thumbnail_size(box->record, &w, &h);
    Image* thumbnail = img_create(w, h, IMG_KIND_SCREEN);
    const int ok = thumbnail && img_resample_images(thumbnail, picture, 1);
    io_mem_free(picture);
    if (!ok) {
        io_mem_free(thumbnail);
        return 0;
    }
    box->thumbnail = thumbnail;
    return 1;
}

BoxPreview preview_of(const ShelfBox* box) {
    BoxPreview preview = {};
    str_copy_bounded(preview.name, box->name, sizeof preview.name);
    preview.stamp = box->stamp;
    preview.thumbnail = box->thumbnail;
    preview.shadow = box->shadow;
    preview.largeMask = box->largeMask;
    preview.smallMask = box->smallMask;
    return preview;
}

void write_preview(const ShelfBox* box) {
    const BoxPreview preview = preview_of(box);
    if (preview.thumbnail) (void)box_preview_write(&preview);
}

// Reads box `name` into a new, unlinked ShelfBox; null when it cannot be shown.
ShelfBox* read_box(const char* name) {
    if (!box_name_ok(name)) return nullptr;
    auto* box = (ShelfBox*)io_mem_alloc(sizeof(ShelfBox));
    std::memset(box, 0, sizeof *box);
    str_copy_bounded(box->name, name, sizeof box->name);
    if (!box_read(box->name, &box->stamp, &box->record, BOX_DESCRIPTION | BOX_ADDRESS)) {
        io_mem_free(box);
        return nullptr;
    }
    if (box->record.hasDescription) box->description = read_text(BOX_DESCRIPTION_FILE);
    if (box->record.hasAddress) box->address = read_text(BOX_ADDRESS_FILE);
    box_clear_work_files(BOX_DESCRIPTION | BOX_ADDRESS);
    read_summary(box);

    BoxPreview preview = preview_of(box);
    box->isNew = !box_preview_valid(&preview);
    shelf_size(box->record, box->record.hiddenPicture, &box->width, &box->height);
    if (box_preview_read(&preview) && preview_fits(preview, box->record)) {
        box->thumbnail = preview.thumbnail;
        box->shadow = preview.shadow;
        box->largeMask = preview.largeMask;
        box->smallMask = preview.smallMask;
    } else {
        io_mem_free(preview.thumbnail);
        io_mem_free(preview.largeMask);
        io_mem_free(preview.smallMask);
        if (!thumbnail_from_picture(box) || !make_shadow(box)) {
            free_box(box);
            return nullptr;
        }
        write_preview(box);  // without it the box is only made again next time
    }
    // Completed once: the picture is shown at its own size, whatever the file still says.
    if (box->summary.percent >= 100 && box->record.hiddenPicture) {
        box->record.hiddenPicture = 0;
        shelf_size(box->record, 0, &box->width, &box->height);
        make_shadow(box);
    }
    make_overlay(box);
    return box;
}

void place_at_random(ShelfBox* box) {
    box->x = random_below(g_shelf.screenWidth - box->width);
    box->y = random_below(g_shelf.screenHeight - box->height);
}

// A plain box name from a folder entry "NAME.pzl"; 0 for anything else.
int entry_box_name(const char* file, char* name) {
    const size_t n = std::strlen(file), ext = std::strlen(BOX_EXTENSION);
    if (n < ext + 2 || n - ext - 1 >= (size_t)BOX_NAME_MAX || file[n - ext - 1] != '.' ||
        std::strcmp(file + n - ext, BOX_EXTENSION) != 0)
        return 0;
    std::memcpy(name, file, n - ext - 1);
    name[n - ext - 1] = 0;
    return box_name_ok(name);
}

int compare_names(const void* a, const void* b) { return std::strcmp((const char*)a, (const char*)b); }

// Every box of the puzzles folder not on the shelf yet, in name order, at random places.
void load_folder() {
    char pattern[PATH_MAX_GAME];
    const int n = std::snprintf(pattern, sizeof pattern, "%s/*.%s", box_folder(), BOX_EXTENSION);
    if (n <= 0 || n >= (int)sizeof pattern) return;
    IoFind find;
    IoFindEntry entry;
    char(*names)[BOX_NAME_MAX] = nullptr;
    int count = 0, capacity = 0;
    for (int more = io_find_first(&find, pattern, 0, &entry); more; more = io_find_next(&find, &entry)) {
        char name[BOX_NAME_MAX];
        if (!entry_box_name(entry.name, name)) continue;
        if (count == capacity) {
            capacity = capacity ? capacity * 2 : 64;
            auto* grown = (char(*)[BOX_NAME_MAX])io_mem_alloc((size_t)capacity * BOX_NAME_MAX);
            if (count) std::memcpy(grown, names, (size_t)count * BOX_NAME_MAX);
            io_mem_free(names);
            names = grown;
        }
        std::memcpy(names[count++], name, BOX_NAME_MAX);
    }
    io_find_close(&find);
    if (count) std::qsort(names, (size_t)count, BOX_NAME_MAX, compare_names);
    for (int i = 0; i < count; i++)
        if (!shelf_find(names[i])) (void)shelf_load(names[i]);
    io_mem_free(names);
}

// --- The files of a box --------------------------------------------------------------------------

// The four files of a box, in the order they are renamed (the box file first).
struct BoxFileKind {
    const char* folder;  // null: the puzzles folder
    const char* extension;
};
constexpr BoxFileKind BOX_FILES[4] = {
    {nullptr, BOX_EXTENSION},
    {CUTCACHE_FOLDER, CUTCACHE_EXTENSION},
    {QUICKSAVE_FOLDER, QUICKSAVE_EXTENSION},
    {BOX_PREVIEW_FOLDER, BOX_PREVIEW_EXTENSION},
};
constexpr int FILE_BOX = 0, FILE_CUT = 1, FILE_QUICKSAVE = 2, FILE_PREVIEW = 3;

int file_of(char* path, int size, int kind, const char* name) {
    const BoxFileKind& k = BOX_FILES[kind];
    return box_file_path(path, size, k.folder ? k.folder : box_folder(), name, k.extension);
}

void delete_file_of(int kind, const char* name) {
    char path[PATH_MAX_GAME];
    if (file_of(path, sizeof path, kind, name)) (void)io_delete_file(path);
}

}  // namespace

// What the shelf's files share ----------------------------------------------------------------------

ShelfState g_shelf;

void shelf_shadow_radii() {
    if (g_shelf.smallRadius) return;
    g_shelf.smallRadius = img_blur_radius(SHADOW_SMALL_SIGMA);
    g_shelf.largeRadius = img_blur_radius(SHADOW_LARGE_SIGMA);
}

void shelf_mark_drawn(ShelfBox* box) {
    box->drawnX = box->x;
    box->drawnY = box->y;
    box->drawnSelected = box->selected;
    box->drawnDragging = box->dragging;
}

// The list ----------------------------------------------------------------------------------------

void shelf_init(int screenWidth, int screenHeight) {
    shelf_free();
    g_shelf.screenWidth = screenWidth;
    g_shelf.screenHeight = screenHeight;
    g_shelf.click = {};
}

void shelf_load_all(int oldWidth, int oldHeight) {
    for (int i = 0;; i++) {
        char key[16], name[LAYOUT_VALUE_MAX];
        int x, y;
        std::snprintf(key, sizeof key, "%i", i);
        if (io_ini_read(CONFIG_INI, LAYOUT_NAMES, key, name, sizeof name) <= 0 ||
            !io_ini_read_pair(CONFIG_INI, LAYOUT_PLACES, key, &x, &y))
            break;
        ShelfBox* box = shelf_load(name);
        if (!box) continue;
        box->x = oldWidth > 0 ? (int)((long long)x * g_shelf.screenWidth / oldWidth) : x;
        box->y = oldHeight > 0 ? (int)((long long)y * g_shelf.screenHeight / oldHeight) : y;
        shelf_clamp(box);
        shelf_mark_drawn(box);
    }
    load_folder();
}

ShelfBox* shelf_load(const char* name) {
    if (!box_name_ok(name)) return nullptr;
    if (ShelfBox* known = shelf_find(name)) return known;
    ShelfBox* box = read_box(name);
    if (!box) return nullptr;
    link_head(box);
    place_at_random(box);
    shelf_mark_drawn(box);
    box->dirty = 1;
    return box;
}

ShelfBox* shelf_find(const char* name) {
    if (!name) return nullptr;
    for (ShelfBox* b = g_shelf.head; b; b = b->next)
        if (str_icompare(b->name, name) == 0) return b;
    return nullptr;
}

ShelfBox* shelf_head() { return g_shelf.head; }
ShelfBox* shelf_tail() { return g_shelf.tail; }
int shelf_count() { return g_shelf.count; }

int shelf_selected_count(ShelfBox** single) {
    int n = 0;
    ShelfBox* one = nullptr;
    for (ShelfBox* b = g_shelf.head; b; b = b->next)
        if (b->selected) {
            n++;
            one = b;
        }
    if (single) *single = n == 1 ? one : nullptr;
    return n;
}

void shelf_select(ShelfBox* box, int selected) {
    if (!box) return;
    box->dirty = 1;
    if (selected && !box->selected && box != g_shelf.head) {
        unlink(box);
        link_head(box);
    }
    box->selected = selected ? 1 : 0;
}

void shelf_deselect_all() {
    for (ShelfBox* b = g_shelf.head; b; b = b->next)
        if (b->selected) {
            b->selected = 0;
            b->dirty = 1;
        }
}

// Files -------------------------------------------------------------------------------------------

int shelf_rename(ShelfBox* box, const char* newName) {
    if (!box || !box_name_ok(newName)) return 0;
    if (std::strcmp(box->name, newName) == 0) return 1;
    for (ShelfBox* b = g_shelf.head; b; b = b->next)
        if (b != box && str_icompare(b->name, newName) == 0) return 0;
    char from[4][PATH_MAX_GAME], to[4][PATH_MAX_GAME];
    for (int k = 0; k < 4; k++)
        if (!file_of(from[k], PATH_MAX_GAME, k, box->name) || !file_of(to[k], PATH_MAX_GAME, k, newName))
            return 0;
    // Never over another file: a box of that name that is not on the shelf stays as it is.
    if (io_file_exists(to[FILE_BOX]) || io_folder_exists(to[FILE_BOX]) ||
        !io_move_file(from[FILE_BOX], to[FILE_BOX]))
        return 0;
    int moved[4] = {1, 0, 0, 0};
    for (int k = FILE_CUT; k <= FILE_PREVIEW; k++) {
        if (!io_file_exists(from[k])) continue;
        if (io_move_file(from[k], to[k])) {
            moved[k] = 1;
            continue;
        }
        for (int back = k - 1; back >= FILE_BOX; back--)
            if (moved[back]) (void)io_move_file(to[back], from[back]);
        return 0;
    }
    str_copy_bounded(box->name, newName, sizeof box->name);
    box->dirty = 1;
    return 1;
}

int shelf_delete(ShelfBox* box) {
    if (!box) return 0;
    delete_file_of(FILE_QUICKSAVE, box->name);
    delete_file_of(FILE_CUT, box->name);
    delete_file_of(FILE_PREVIEW, box->name);
    char path[PATH_MAX_GAME];
    if (!file_of(path, sizeof path, FILE_BOX, box->name) || !io_delete_file(path)) return 0;
    shelf_invalidate_at(box, box->drawnX, box->drawnY, box->drawnDragging);
    shelf_invalidate_at(box, box->x, box->y, box->dragging);
    unlink(box);
    free_box(box);
    return 1;
}

ShelfBox* shelf_resave(ShelfBox* box, const BoxRecord* record) {
    if (!box || !record) return nullptr;
    FileStamp stamp;
    stamp_make(&stamp);
    // The old box is copied aside first, so that a new box that cannot be read back (a fault
    // just after it was written) gives way to the old one again. The copy's name is a writer's
    // temporary, swept at the next start if the game is killed meanwhile.
    char path[PATH_MAX_GAME], kept[PATH_MAX_GAME + 32] = "";
    if (!file_of(path, sizeof path, FILE_BOX, box->name)) return nullptr;
    std::snprintf(kept, sizeof kept, "%s.keep.%d.new", path, io_process_id());
    if (!io_copy_file(path, kept)) kept[0] = 0;
    // The new file replaces the old one in a single rename once it is whole, so an interrupted
    // save leaves the old box and a finished one the new box: never neither.
    if (!box_write(box->name, &stamp, record)) {
        if (kept[0]) io_delete_file(kept);
        return nullptr;
    }
    char name[BOX_NAME_MAX];
    str_copy_bounded(name, box->name, sizeof name);
    ShelfBox* fresh = read_box(name);
    if (!fresh) {
        // The old box comes back and stays on the shelf as it was. Where it cannot, the new box
        // is the one on disk: the entry stays (its picture is read again when it is opened) and
        // the save counts as made.
        if (kept[0] && io_move_file(kept, path)) return nullptr;
        io_log("shelf: the box %s was saved but cannot be read back\n", name);
        if (kept[0]) io_delete_file(kept);
        return box;
    }
    if (kept[0]) io_delete_file(kept);
    // What the old stamp's files held (progress, cut, preview) no longer belongs to the box; the
    // fresh preview was written just now under the new stamp.
    delete_file_of(FILE_QUICKSAVE, name);
    delete_file_of(FILE_CUT, name);

    const int x = box->x, y = box->y, selected = box->selected;
    shelf_invalidate_at(box, box->drawnX, box->drawnY, box->drawnDragging);
    unlink(box);
    free_box(box);
    link_head(fresh);
    fresh->x = x;
    fresh->y = y;
    fresh->selected = selected;
    fresh->isNew = 0;
    shelf_clamp(fresh);
    shelf_mark_drawn(fresh);
    fresh->dirty = 1;
    return fresh;
}

void shelf_refresh(ShelfBox* box) {
    if (!box) return;
    shelf_invalidate_at(box, box->drawnX, box->drawnY, box->drawnDragging);
    read_summary(box);
    if (box->summary.percent >= 100 && box->record.hiddenPicture && !box->record.isLink) {
        char path[PATH_MAX_GAME];
        box->record.hiddenPicture = 0;
        if (file_of(path, sizeof path, FILE_BOX, box->name)) (void)box_patch_field(path, 8, 0);
        shelf_size(box->record, 0, &box->width, &box->height);
        if (make_shadow(box)) write_preview(box);
    }
    make_overlay(box);
    box->dirty = 1;
}

void shelf_reset(ShelfBox* box) {
    if (!box || box->record.isLink) return;
    delete_file_of(FILE_QUICKSAVE, box->name);
    saveinfo_clear(&box->summary);
    make_overlay(box);
    box->dirty = 1;
}

void shelf_save_layout() {
    char key[16], value[LAYOUT_VALUE_MAX], old[LAYOUT_VALUE_MAX];
    // Keys 0 .. count - 1 are written (a value that is already right is left, sparing a rewrite
    // of the file per key); every key after them goes, so both sections hold this shelf alone.
    int i = 0;
    for (const ShelfBox* b = g_shelf.tail; b; b = b->previous, i++) {
        std::snprintf(key, sizeof key, "%i", i);
        std::snprintf(value, sizeof value, "%i %i", b->dragging ? b->dragX : b->x,
                      b->dragging ? b->dragY : b->y);
        if (io_ini_read(CONFIG_INI, LAYOUT_NAMES, key, old, sizeof old) <= 0 ||
            std::strcmp(old, b->name) != 0)
            (void)io_ini_write(CONFIG_INI, LAYOUT_NAMES, key, b->name);
        if (io_ini_read(CONFIG_INI, LAYOUT_PLACES, key, old, sizeof old) <= 0 || std::strcmp(old, value) != 0)
            (void)io_ini_write(CONFIG_INI, LAYOUT_PLACES, key, value);
    }
    for (;; i++) {
        std::snprintf(key, sizeof key, "%i", i);
        const int names = io_ini_read(CONFIG_INI, LAYOUT_NAMES, key, old, sizeof old) > 0;
        const int places = io_ini_read(CONFIG_INI, LAYOUT_PLACES, key, old, sizeof old) > 0;
        if (!names && !places) break;
        if (names) (void)io_ini_delete_key(CONFIG_INI, LAYOUT_NAMES, key);
        if (places) (void)io_ini_delete_key(CONFIG_INI, LAYOUT_PLACES, key);
    }
}

void shelf_free() {
    while (ShelfBox* b = g_shelf.head) {
        unlink(b);
        free_box(b);
    }
    g_shelf.count = 0;
}

// Geometry ----------------------------------------------------------------------------------------

void shelf_screen_resized(int oldWidth, int oldHeight, int width, int height) {
    g_shelf.screenWidth = width;
    g_shelf.screenHeight = height;
    for (ShelfBox* box = shelf_head(); box; box = box->next) {
        if (oldWidth > 0) box->x = (int)((long long)box->x * width / oldWidth);
        if (oldHeight > 0) box->y = (int)((long long)box->y * height / oldHeight);
        shelf_clamp(box);
        shelf_mark_drawn(box);
        box->dirty = 1;
    }
}

void shelf_clamp(ShelfBox* box) {
    if (box->x < 0) box->x = 0;
    if (box->x + box->width > g_shelf.screenWidth) box->x = g_shelf.screenWidth - box->width;
    if (box->y < 0) box->y = 0;
    if (box->y + box->height > g_shelf.screenHeight) box->y = g_shelf.screenHeight - box->height;
}
