// puzzle/box_head.cpp -- the part of box files that needs no picture code: names and paths,
// the head and settings of a box, and the working files.
//
// Sections: names and paths; settings; working files.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "platform/io_file.h"
#include "puzzle/box.h"

const FieldEntry box_fields[] = {
    {1, 4, offsetof(BoxRecord, pieceSize)},
    {2, 4, offsetof(BoxRecord, irregularity)},
    {3, 4, offsetof(BoxRecord, edgeStyle)},
    {4, 4, offsetof(BoxRecord, width)},
    {5, 4, offsetof(BoxRecord, height)},
    {6, 4, offsetof(BoxRecord, pieceCount)},
    {7, 4, offsetof(BoxRecord, rotation)},
    {8, 4, offsetof(BoxRecord, hiddenPicture)},
    {9, 4, offsetof(BoxRecord, hasTune)},
    {10, 4, offsetof(BoxRecord, hasDescription)},
    {11, 4, offsetof(BoxRecord, hasAddress)},
    {12, 4, offsetof(BoxRecord, isLink)},
    {14, 4, offsetof(BoxRecord, reserved)},
    {15, 4, offsetof(BoxRecord, repeatTune)},
    {0, 0, 0},
};

namespace {

char g_folder[PUZZLE_PATH_MAX + 1];  // set by a tool; empty: the game's puzzles folder

// 1 when every setting lies in the range the create room can write and the piece count is the
// one the cut of these settings gives; anything else comes from a damaged or foreign file.
int record_in_range(const BoxRecord& r) {
    if (r.width < 1 || r.height < 1 || r.width > PICTURE_SIDE_MAX || r.height > PICTURE_SIDE_MAX ||
        (long long)r.width * r.height > PICTURE_PIXELS_MAX)
        return 0;
    const int size_max = std::max(BOX_PIECE_SIZE_MIN, std::min(r.width, r.height) / 2);
    if (r.pieceSize < BOX_PIECE_SIZE_MIN || r.pieceSize > size_max) return 0;
    if (r.irregularity < 0 || r.irregularity > BOX_IRREGULARITY_MAX) return 0;
    if (r.edgeStyle < 0 || r.edgeStyle > BOX_EDGE_STYLE_MAX) return 0;
    if (r.pieceCount != (r.width / r.pieceSize) * (r.height / r.pieceSize)) return 0;
    for (int32_t flag :
         {r.rotation, r.hiddenPicture, r.hasTune, r.hasDescription, r.hasAddress, r.isLink, r.repeatTune})
        if (flag != 0 && flag != 1) return 0;
    return 1;
}

}  // namespace

// Names and paths --------------------------------------------------------------------------------

void box_set_folder(const char* folder) {
    std::snprintf(g_folder, sizeof g_folder, "%s", folder ? folder : "");
}

const char* box_folder() { return g_folder[0] ? g_folder : "puzzles"; }

int box_name_ok(const char* name) {
    if (!name || !name[0] || !std::strcmp(name, ".") || !std::strcmp(name, "..")) return 0;
    size_t n = 0;
    for (; name[n]; n++) {
        const unsigned char c = (unsigned char)name[n];
        if (c < 32 || c == 127 || c == '/' || c == '\\' || n + 1 >= (size_t)BOX_NAME_MAX) return 0;
    }
    return 1;
}

int box_file_path(char* path, int size, const char* folder, const char* name, const char* extension) {
    if (!box_name_ok(name)) return 0;
    const int n = std::snprintf(path, size, "%s/%s.%s", folder, name, extension);
    return n > 0 && n < size;
}

// Settings ---------------------------------------------------------------------------------------

FILE* box_open_settings(const char* name, FileStamp* stamp, BoxRecord* record) {
    char path[PATH_MAX_GAME];
    *record = {};
    FILE* file =
        box_file_path(path, sizeof path, box_folder(), name, BOX_EXTENSION) ? io_fopen_read(path) : nullptr;
    // No box is larger than its picture's limits allow: a larger file is refused unread.
    const long length = file ? file_length(file) : -1;
    int ok = length >= 0 && length <= BOX_FILE_MAX;
    uint32_t version;
    ok = ok && file_check_tag(file, BOX_TAG) && file_read_stamp(file, stamp) && file_read_u32(file, &version);
    // Stream chunks are unknown to the field table and skipped in this pass.
    ok = ok && record_read(file, box_fields, record) && record_in_range(*record);
    if (ok) return file;
    if (file) std::fclose(file);
    return nullptr;
}

int box_read_settings(const char* name, FileStamp* stamp, BoxRecord* record) {
    FILE* file = box_open_settings(name, stamp, record);
    if (!file) return 0;
    std::fclose(file);
    return 1;
}

// Working files ----------------------------------------------------------------------------------

void box_clear_work_files(int mask) {
    if (mask & BOX_PICTURE) {
        // Emptied first, so its bytes are gone even if it cannot be deleted.
        if (FILE* f = std::fopen(BOX_PICTURE_FILE, "wb")) std::fclose(f);
        io_delete_file(BOX_PICTURE_FILE);
    }
    if (mask & BOX_DESCRIPTION) io_delete_file(BOX_DESCRIPTION_FILE);
    if (mask & BOX_TUNE) io_delete_file(BOX_TUNE_FILE);
    if (mask & BOX_ADDRESS) io_delete_file(BOX_ADDRESS_FILE);
}
