// rooms/create_save.cpp -- the create room's kept working files, slow work, and saving a box.
#include "rooms/create_save.h"

#include <cstdio>

#include "base/str.h"
#include "gui/io_dialog.h"
#include "gui/lt.h"
#include "gui/msgbox.h"
#include "image/img_scale.h"
#include "image/pic.h"
#include "platform/io_debug.h"
#include "platform/io_desktop.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"
#include "platform/sys.h"
#include "resources/tagfile.h"
#include "rooms/shelf.h"

namespace {

constexpr int TEXT_NAME_TAKEN = 16;
constexpr int TEXT_NAME_QUESTION = 401, TEXT_NOT_WRITTEN = 402, TEXT_NOT_RESAVED = 403, TEXT_SAVING = 433;
constexpr long KEPT_MAX = 512L * 1024 * 1024;
constexpr int SLOW_MS = 500;  // work that takes longer shows the progress window

struct Slow {
    int text;        // shown in the progress window
    int cursor;      // the cursor before
    uint32_t start;  // sys_millis at the start
    int shown;       // the progress window is open
    int total;       // its maximum
};
Slow g_slow = {};

// 1 when a box called `name` is on the shelf or its file is in the puzzles folder.
int name_taken(const char* name) {
    if (shelf_find(name)) return 1;
    char path[PATH_MAX_GAME];
    return box_file_path(path, sizeof path, box_folder(), name, BOX_EXTENSION) && io_file_exists(path);
}

// Asks for the new box's name until it is a free box name; 0 when the player cancelled.
int ask_name(const char* suggested, char* name, int size) {
    char answer[BOX_NAME_MAX];
    str_copy_bounded(answer, suggested, sizeof answer);
    for (;;) {
        EditField fields[2] = {
            {EF_PRESENT, 10, 60, 300, 20, answer, (int)sizeof answer, 0},
            {0, 0, 0, 0, 0, nullptr, 0, 0},
        };
        if (!inputbox_show(lt_get(TEXT_NAME_QUESTION), fields)) return 0;
        if (!io_clean_file_name(answer, name, size) || !box_name_ok(name)) continue;
        if (!name_taken(name)) return 1;
        msgbox_show_text(TEXT_NAME_TAKEN, MSG_OK);
    }
}

// The picture at the box's size as the working JPEG (quality 80).
int write_picture(const PictureBuffer* picture, int w, int h) {
    PictureBuffer* scaled = pic_create(w, h, IMG_24BIT);
    if (!scaled) return 0;
    if (picture->width == w && picture->height == h)
        img_view_blit(scaled, picture);
    else if (!img_resample(scaled, picture, IMG_RESAMPLE_HERMITE)) {
        pic_release(scaled);
        return 0;
    }
    pic_put(scaled);
    const int ok = pic_save_jpeg(BOX_PICTURE_FILE, 80);
    pic_free();
    return ok;
}

}  // namespace

// --- Kept files ---

void create_kept_free(CreateKept* kept) {
    io_mem_free(kept->data);
    *kept = {};
}

int create_kept_read(const char* path, CreateKept* kept) {
    create_kept_free(kept);
    FILE* file = io_fopen(path, "rb");
    if (!file) return 1;
    int ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && size <= KEPT_MAX && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok && size > 0) {
        kept->data = (uint8_t*)io_mem_alloc((size_t)size);
        kept->size = (size_t)size;
        ok = std::fread(kept->data, 1, kept->size, file) == kept->size;
    }
    std::fclose(file);
    if (!ok) {
        create_kept_free(kept);
        return 0;
    }
    kept->present = 1;
    return 1;
}

int create_kept_write(const char* path, const CreateKept& kept) {
    if (!kept.present) return 0;
    FILE* file = io_fopen(path, "wb");
    if (!file) return 0;
    int ok = kept.size == 0 || std::fwrite(kept.data, 1, kept.size, file) == kept.size;
    if (std::fclose(file) != 0) ok = 0;
    return ok;
}

void create_files_free(CreateFiles* files) {
    create_kept_free(&files->picture);
    create_kept_free(&files->description);
    create_kept_free(&files->address);
    create_kept_free(&files->tune);
}

// --- Slow work ---

void create_slow_begin(int text) {
    g_slow = {text, sys_cursor(), sys_millis(), 0, 0};
    sys_set_cursor(CURSOR_WAIT);
}

void create_slow_step(int done, int total) {
    if (total <= 0) return;
    if (!g_slow.shown && sys_millis() - g_slow.start <= (uint32_t)SLOW_MS) return;
    if (!g_slow.shown || total != g_slow.total) {
        progress_open(total);
        g_slow.shown = 1;
        g_slow.total = total;
    }
    progress_set(lt_get(g_slow.text), done);
}

void create_slow_end() {
    if (g_slow.shown) progress_close();
    sys_set_cursor(g_slow.cursor);
    g_slow = {};
}

// --- Saving ---

int create_save_new(const char* suggested, BoxRecord* record, const PictureBuffer* picture,
                    const CreateKept& tune, char* name, int size) {
    if (!ask_name(suggested, name, size)) return CREATE_SAVE_CANCELLED;
    create_slow_begin(TEXT_SAVING);
    FileStamp stamp;
    stamp_make(&stamp);
    BoxRecord& r = *record;
    // A new box has neither a description nor an address.
    box_clear_work_files(BOX_DESCRIPTION | BOX_ADDRESS);
    r.hasDescription = r.hasAddress = r.isLink = r.reserved = 0;
    int ok = write_picture(picture, r.width, r.height);
    create_slow_step(1, 3);
    if (ok && r.hasTune) ok = create_kept_write(BOX_TUNE_FILE, tune);
    ok = ok && box_write(name, &stamp, &r);
    create_slow_step(3, 3);
    box_clear_work_files(BOX_PICTURE);
    create_slow_end();
    if (ok) return CREATE_SAVE_DONE;
    // The name was free: whatever a failed write may have left under it goes.
    char path[PATH_MAX_GAME];
    if (box_file_path(path, sizeof path, box_folder(), name, BOX_EXTENSION)) io_delete_file(path);
    io_log("create: the box %s could not be written\n", name);
    msgbox_show_text(TEXT_NOT_WRITTEN, MSG_OK);
    return CREATE_SAVE_FAILED;
}

int create_save_edited(const char* name, const BoxRecord& record, const CreateFiles& files) {
    create_slow_begin(TEXT_SAVING);
    int ok = create_kept_write(BOX_PICTURE_FILE, files.picture);
    if (record.hasDescription) ok = ok && create_kept_write(BOX_DESCRIPTION_FILE, files.description);
    if (record.hasAddress) ok = ok && create_kept_write(BOX_ADDRESS_FILE, files.address);
    if (record.hasTune) ok = ok && create_kept_write(BOX_TUNE_FILE, files.tune);
    ShelfBox* box = ok ? shelf_find(name) : nullptr;
    ShelfBox* fresh = box ? shelf_resave(box, &record) : nullptr;
    box_clear_work_files(BOX_PICTURE | BOX_DESCRIPTION | BOX_ADDRESS);
    create_slow_end();
    if (fresh) return 1;
    io_log("create: the box %s could not be saved again\n", name);
    msgbox_show_text(TEXT_NOT_RESAVED, MSG_OK);
    return 0;
}
