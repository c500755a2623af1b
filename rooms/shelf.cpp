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
#include <string>
#include <unordered_set>
#include <vector>

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
constexpr char OWN_FOLDER[] = "puzzles";  // the game's own puzzles folder, relative to the start
constexpr char FALLBACK_NAME[] = "Box";   // for a box file named ".pzl"

// The two drop shadows (the offsets are in rooms/shelf_local.h).
constexpr int SHADOW_FLAGS = 4 | 8;  // both kinds wanted
constexpr int SHADOW_FRAME = 32;     // frame element: the centre tile over the whole rectangle
constexpr int SHADOW_DARKEST = 145;
constexpr double SHADOW_SMALL_SIGMA = 2.0;
constexpr double SHADOW_LARGE_SIGMA = 5.0;

constexpr int TEXT_FILE_MAX = 64 * 1024;  // description and address texts are cut here

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
    FILE* file = io_fopen_read(path);
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

// Box `name`, not on the shelf yet, onto the head at a random place; null when it cannot be read.
ShelfBox* add_box(const char* name) {
    ShelfBox* box = read_box(name);
    if (!box) return nullptr;
    link_head(box);
    place_at_random(box);
    shelf_mark_drawn(box);
    box->dirty = 1;
    return box;
}

// The name part of a folder entry "NAME.pzl" (any name, even one that is no box name); 0 for
// an entry without the extension.
int entry_stem(const char* file, std::string* stem) {
    const size_t n = std::strlen(file), ext = std::strlen(BOX_EXTENSION);
    if (n < ext + 1 || file[n - ext - 1] != '.' || std::strcmp(file + n - ext, BOX_EXTENSION) != 0) return 0;
    stem->assign(file, n - ext - 1);
    return 1;
}

std::string lowered(const char* name) {
    std::string s = name;
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return s;
}

// A box file whose name the shelf cannot use (a control character or backslash in it, too long,
// or empty) is renamed to a name it can, never over another file; the new name, or empty when
// the file could not be renamed (the player is told later).
std::string usable_name(const std::string& stem, const std::unordered_set<std::string>& taken) {
    char base[BOX_NAME_MAX];
    shelf_usable_name(stem.c_str(), base, sizeof base);
    char path[PATH_MAX_GAME], from[PATH_MAX_GAME];
    const int n = std::snprintf(from, sizeof from, "%s/%s.%s", box_folder(), stem.c_str(), BOX_EXTENSION);
    if (n <= 0 || n >= (int)sizeof from) return "";
    for (int k = 1; k < 1000; k++) {
        char name[BOX_NAME_MAX + 16];
        // " (k)" behind the name, which gives way a whole character at a time.
        int keep = (int)std::strlen(base);
        if (k > 1)
            while (keep > BOX_NAME_MAX - 8 || (keep > 0 && ((unsigned char)base[keep] & 0xC0) == 0x80))
                keep--;
        if (k == 1)
            std::snprintf(name, sizeof name, "%s", base);
        else
            std::snprintf(name, sizeof name, "%.*s (%i)", keep, base, k);
        if (!box_name_ok(name) || taken.count(lowered(name))) continue;
        if (!box_file_path(path, sizeof path, box_folder(), name, BOX_EXTENSION) || io_file_exists(path) ||
            io_folder_exists(path))
            continue;
        if (!io_move_file(from, path)) return "";
        io_log("shelf: the box file \"%s\" is now \"%s\"\n", from, path);
        return name;
    }
    return "";
}

// The names of the box files of the puzzles folder, in name order, listed once; box files of
// unusable names get usable ones (after the others). `shown` holds the names already on the shelf
// (lower case), which a new name must not take.
std::vector<std::string> folder_names(const std::unordered_set<std::string>& shown) {
    std::vector<std::string> names, odd;
    char pattern[PATH_MAX_GAME];
    const int n = std::snprintf(pattern, sizeof pattern, "%s/*.%s", box_folder(), BOX_EXTENSION);
    if (n <= 0 || n >= (int)sizeof pattern) return names;
    IoFind find;
    IoFindEntry entry;
    std::unordered_set<std::string> onDisk;
    for (int more = io_find_first(&find, pattern, 0, &entry); more; more = io_find_next(&find, &entry)) {
        std::string stem;
        if (!entry_stem(entry.name, &stem)) continue;
        if (box_name_ok(stem.c_str())) {
            names.push_back(stem);
            onDisk.insert(lowered(stem.c_str()));
        } else {
            odd.push_back(stem);
        }
    }
    io_find_close(&find);
    std::sort(names.begin(), names.end());
    std::sort(odd.begin(), odd.end());
    for (const std::string& stem : odd) {
        std::unordered_set<std::string> taken = onDisk;
        taken.insert(shown.begin(), shown.end());
        const std::string name = usable_name(stem, taken);
        if (name.empty()) {
            io_log("shelf: the box file \"%s.%s\" has a name the shelf cannot use and cannot be renamed\n",
                   stem.c_str(), BOX_EXTENSION);
            char shownName[BOX_NAME_MAX];
            shelf_usable_name(stem.c_str(), shownName, sizeof shownName);
            g_shelf.unusable++;
            str_copy_bounded(g_shelf.unusableName, shownName, sizeof g_shelf.unusableName);
            continue;
        }
        onDisk.insert(lowered(name.c_str()));
        names.push_back(name);
    }
    return names;
}

// --- The arrangement -----------------------------------------------------------------------------

// The two sections as read, key by key in file order; keys that are not numbers left out.
struct ShelfLayout {
    struct Place {
        int x, y;
    };
    std::vector<std::pair<int, std::string>> names;
    std::vector<std::pair<int, Place>> places;
};

// A key that is a plain decimal number below a million, else -1.
int key_number(const char* key) {
    constexpr long KEY_LIMIT = 1000000;
    long n = 0;
    if (!*key) return -1;
    for (const char* p = key; *p; p++) {
        if (*p < '0' || *p > '9' || n >= KEY_LIMIT) return -1;
        n = n * 10 + (*p - '0');
    }
    return n < KEY_LIMIT ? (int)n : -1;
}

void layout_name(void* context, const char* key, const char* value) {
    const int i = key_number(key);
    if (i >= 0 && value[0]) ((ShelfLayout*)context)->names.emplace_back(i, value);
}

void layout_place(void* context, const char* key, const char* value) {
    const int i = key_number(key);
    ShelfLayout::Place p;
    if (i >= 0 && std::sscanf(value, "%i %i", &p.x, &p.y) == 2)
        ((ShelfLayout*)context)->places.emplace_back(i, p);
}

// The arranged boxes in key order: keys 0, 1, 2, ... up to the first one missing in either section
// (n keys can only number 0 .. n - 1, so no larger key matters).
void layout_list(const ShelfLayout& layout, std::vector<std::string>* names,
                 std::vector<ShelfLayout::Place>* places) {
    const size_t n = std::min(layout.names.size(), layout.places.size());
    std::vector<const std::string*> byKey(n, nullptr);
    std::vector<const ShelfLayout::Place*> placeByKey(n, nullptr);
    for (const auto& [key, name] : layout.names)
        if ((size_t)key < n) byKey[(size_t)key] = &name;
    for (const auto& [key, place] : layout.places)
        if ((size_t)key < n) placeByKey[(size_t)key] = &place;
    for (size_t i = 0; i < n && byKey[i] && placeByKey[i]; i++) {
        names->push_back(*byKey[i]);
        places->push_back(*placeByKey[i]);
    }
}

// --- The files of a box --------------------------------------------------------------------------

// The files of a box: the box file, the cut cache, the preview, and its quick saves (one beside
// the others, and one per desk size and for the full size in folders of their own).
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

// Every file of box `name` but the box file, as paths: cut cache, preview, quick saves.
std::vector<std::string> side_files(const char* name) {
    std::vector<std::string> paths;
    char path[PATH_MAX_GAME];
    for (int kind : {FILE_CUT, FILE_PREVIEW, FILE_QUICKSAVE})
        if (file_of(path, sizeof path, kind, name)) paths.push_back(path);
    char pattern[PATH_MAX_GAME];
    std::snprintf(pattern, sizeof pattern, "%s/*", QUICKSAVE_FOLDER);
    IoFind find;
    IoFindEntry entry;
    for (int more = io_find_first(&find, pattern, 1, &entry); more; more = io_find_next(&find, &entry)) {
        char folder[PATH_MAX_GAME];
        const int n = std::snprintf(folder, sizeof folder, "%s/%s", QUICKSAVE_FOLDER, entry.name);
        if (n > 0 && n < (int)sizeof folder &&
            box_file_path(path, sizeof path, folder, name, QUICKSAVE_EXTENSION))
            paths.push_back(path);
    }
    io_find_close(&find);
    return paths;
}

// The quick saves alone (the base one and those of the desk folders).
std::vector<std::string> quick_saves(const char* name) {
    std::vector<std::string> all = side_files(name), saves;
    char cut[PATH_MAX_GAME], preview[PATH_MAX_GAME];
    file_of(cut, sizeof cut, FILE_CUT, name);
    file_of(preview, sizeof preview, FILE_PREVIEW, name);
    for (const std::string& p : all)
        if (p != cut && p != preview) saves.push_back(p);
    return saves;
}

void delete_paths(const std::vector<std::string>& paths) {
    for (const std::string& p : paths)
        (void)io_delete_file(p.c_str());
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
    g_shelf.unusable = 0;
    g_shelf.unusableName[0] = 0;
    g_shelf.hover = nullptr;
    g_shelf.hoverChanged = 0;
    g_shelf.labelDrawn = {0, 0, 0, 0};
}

void shelf_load_all(int oldWidth, int oldHeight) {
    char namesSection[LAYOUT_SECTION_MAX], placesSection[LAYOUT_SECTION_MAX];
    shelf_layout_sections(box_folder(), io_start_folder(), namesSection, placesSection, LAYOUT_SECTION_MAX);
    // Both sections in one pass each; the list ends at the first key missing in either.
    ShelfLayout layout;
    io_ini_read_section(CONFIG_INI, namesSection, layout_name, &layout);
    io_ini_read_section(CONFIG_INI, placesSection, layout_place, &layout);
    std::vector<std::string> names;
    std::vector<ShelfLayout::Place> places;
    layout_list(layout, &names, &places);
    std::unordered_set<std::string> shown;
    for (const ShelfBox* b = g_shelf.head; b; b = b->next)
        shown.insert(lowered(b->name));
    // The folder is listed once: an arranged name without its box file costs nothing more.
    const std::vector<std::string> inFolder = folder_names(shown);
    const std::unordered_set<std::string> present(inFolder.begin(), inFolder.end());
    for (size_t i = 0; i < names.size(); i++) {
        const std::string& name = names[i];
        if (!present.count(name) || shown.count(lowered(name.c_str())))
            continue;  // gone, or listed twice: the first place counts
        ShelfBox* box = add_box(name.c_str());
        if (!box) continue;
        shown.insert(lowered(box->name));
        const int x = places[i].x, y = places[i].y;
        box->x = oldWidth > 0 ? (int)((long long)x * g_shelf.screenWidth / oldWidth) : x;
        box->y = oldHeight > 0 ? (int)((long long)y * g_shelf.screenHeight / oldHeight) : y;
        box->arranged = 1;
        shelf_clamp(box);
        shelf_mark_drawn(box);
    }
    // Every other box of the folder, in name order, at random places.
    for (const std::string& name : inFolder) {
        if (shown.count(lowered(name.c_str()))) continue;
        if (add_box(name.c_str())) shown.insert(lowered(name.c_str()));
    }
}

ShelfBox* shelf_load(const char* name) {
    if (!box_name_ok(name)) return nullptr;
    if (ShelfBox* known = shelf_find(name)) return known;
    return add_box(name);
}

void shelf_layout_sections(const char* folder, const char* start, char* names, char* places, int size) {
    // The folder as written, without "./" in front and '/' behind; an absolute path inside the
    // start folder is taken relative to it.
    std::string f = folder ? folder : "";
    const std::string base = start ? std::string(start) + "/" : std::string();
    if (!base.empty() && base != "/" && f.compare(0, base.size(), base) == 0) f = f.substr(base.size());
    while (f.compare(0, 2, "./") == 0)
        f = f.substr(2);
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    if (f.empty() || str_icompare(f.c_str(), OWN_FOLDER) == 0) {
        std::snprintf(names, (size_t)size, "%s", LAYOUT_NAMES);
        std::snprintf(places, (size_t)size, "%s", LAYOUT_PLACES);
        return;
    }
    // Another folder: its own pair of sections, named after it (a bracket or a control character
    // would end the section line, so they become '_').
    for (char& c : f)
        if ((unsigned char)c < 32 || c == '[' || c == ']' || c == 127) c = '_';
    std::snprintf(names, (size_t)size, "%s %s", LAYOUT_NAMES, f.c_str());
    std::snprintf(places, (size_t)size, "%s %s", LAYOUT_PLACES, f.c_str());
}

void shelf_usable_name(const char* name, char* out, int size) {
    if (size <= 0) return;
    // Whole UTF-8 characters are kept up to the size; a control character, a backslash or a slash
    // becomes '_'.
    const int limit = std::min(size, BOX_NAME_MAX) - 1;
    int n = 0;
    for (const char* p = name ? name : ""; *p;) {
        const char* start = p;
        (void)str_utf8_decode(&p);
        const int length = (int)(p - start);
        if (n + length > limit) break;
        for (const char* c = start; c < p; c++) {
            const unsigned char b = (unsigned char)*c;
            out[n++] = length == 1 && (b < 32 || b == 127 || b == '\\' || b == '/') ? '_' : *c;
        }
    }
    out[n] = 0;
    if (!n || !box_name_ok(out)) std::snprintf(out, (size_t)size, "%s", FALLBACK_NAME);
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
    char from[PATH_MAX_GAME], to[PATH_MAX_GAME];
    if (!file_of(from, sizeof from, FILE_BOX, box->name) || !file_of(to, sizeof to, FILE_BOX, newName))
        return 0;
    // Every other file moves beside the box file, folder by folder; a name too long for one of
    // them stops the rename before anything moved.
    std::vector<std::string> sides = side_files(box->name), targets;
    const std::string oldTail = std::string("/") + box->name + ".";
    for (const std::string& side : sides) {
        const size_t at = side.rfind(oldTail);
        if (at == std::string::npos) return 0;
        targets.push_back(side.substr(0, at + 1) + newName + side.substr(at + oldTail.size() - 1));
        if (targets.back().size() >= (size_t)PATH_MAX_GAME) return 0;
    }
    // Never over another file: a box of that name that is not on the shelf stays as it is.
    if (io_file_exists(to) || io_folder_exists(to) || !io_move_file(from, to)) return 0;
    std::vector<size_t> moved;
    for (size_t k = 0; k < sides.size(); k++) {
        if (!io_file_exists(sides[k].c_str())) continue;
        if (io_move_file(sides[k].c_str(), targets[k].c_str())) {
            moved.push_back(k);
            continue;
        }
        // All or nothing: what moved goes back, the box file last.
        for (size_t back = moved.size(); back-- > 0;)
            (void)io_move_file(targets[moved[back]].c_str(), sides[moved[back]].c_str());
        (void)io_move_file(to, from);
        return 0;
    }
    str_copy_bounded(box->name, newName, sizeof box->name);
    box->dirty = 1;
    return 1;
}

int shelf_delete(ShelfBox* box) {
    if (!box) return 0;
    // The box file first: while it cannot go, the box keeps its game, preview and cut.
    char path[PATH_MAX_GAME];
    if (!file_of(path, sizeof path, FILE_BOX, box->name) || !io_delete_file(path)) return 0;
    delete_paths(side_files(box->name));
    shelf_invalidate_at(box, box->drawnX, box->drawnY, box->drawnDragging);
    shelf_invalidate_at(box, box->x, box->y, box->dragging);
    if (g_shelf.hover == box) shelf_set_hover(nullptr);
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
    // What the old stamp's files held (progress on every desk, cut) no longer belongs to the box;
    // the fresh preview was written just now under the new stamp.
    delete_paths(quick_saves(name));
    char cut[PATH_MAX_GAME];
    if (file_of(cut, sizeof cut, FILE_CUT, name)) (void)io_delete_file(cut);

    const int x = box->x, y = box->y, selected = box->selected;
    shelf_invalidate_at(box, box->drawnX, box->drawnY, box->drawnDragging);
    const int arranged = box->arranged;
    if (g_shelf.hover == box) shelf_set_hover(nullptr);
    unlink(box);
    free_box(box);
    link_head(fresh);
    fresh->x = x;
    fresh->y = y;
    fresh->selected = selected;
    fresh->isNew = 0;
    fresh->arranged = arranged;
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
    delete_paths(quick_saves(box->name));
    saveinfo_clear(&box->summary);
    make_overlay(box);
    box->dirty = 1;
}

void shelf_save_layout() {
    char namesSection[LAYOUT_SECTION_MAX], placesSection[LAYOUT_SECTION_MAX];
    shelf_layout_sections(box_folder(), io_start_folder(), namesSection, placesSection, LAYOUT_SECTION_MAX);
    // Each section is written whole in one go, bottom-most box first; keys of boxes that are gone
    // go with the rest.
    std::vector<std::string> keys, names, places;
    for (const ShelfBox* b = g_shelf.tail; b; b = b->previous) {
        keys.push_back(std::to_string(keys.size()));
        names.push_back(b->name);
        places.push_back(std::to_string(b->dragging ? b->dragX : b->x) + " " +
                         std::to_string(b->dragging ? b->dragY : b->y));
    }
    std::vector<const char*> k, n, p;
    for (size_t i = 0; i < keys.size(); i++) {
        k.push_back(keys[i].c_str());
        n.push_back(names[i].c_str());
        p.push_back(places[i].c_str());
    }
    (void)io_ini_write_section(CONFIG_INI, namesSection, k.data(), n.data(), (int)k.size());
    (void)io_ini_write_section(CONFIG_INI, placesSection, k.data(), p.data(), (int)k.size());
}

int shelf_unusable_files(const char** lastName) {
    if (lastName) *lastName = g_shelf.unusableName;
    return g_shelf.unusable;
}

void shelf_free() {
    g_shelf.hover = nullptr;
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
