// puzzle/box.cpp -- box files, their working files and shelf previews.
//
// Sections: names and paths; reading a box; writing and patching a box; working files; previews.
#include "puzzle/box.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "image/gformat.h"
#include "image/gformat_img.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"

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

constexpr long BOX_BODY_OFFSET = 24;  // tag, stamp and version come first

char g_folder[PUZZLE_PATH_MAX + 1];  // set by a tool; empty: the game's puzzles folder

// One optional stream: its mask bit, flag field, chunk and working file.
struct BoxStream {
    int part;
    int32_t BoxRecord::*flag;
    uint32_t chunk;
    const char* file;
};
// Read and written in this order (chunk order of the file).
const BoxStream OPTIONAL_STREAMS[] = {
    {BOX_TUNE, &BoxRecord::hasTune, BOX_CHUNK_TUNE, BOX_TUNE_FILE},
    {BOX_DESCRIPTION, &BoxRecord::hasDescription, BOX_CHUNK_DESCRIPTION, BOX_DESCRIPTION_FILE},
    {BOX_ADDRESS, &BoxRecord::hasAddress, BOX_CHUNK_ADDRESS, BOX_ADDRESS_FILE},
};

int box_path(char* path, int size, const char* name) {
    return box_file_path(path, size, box_folder(), name, BOX_EXTENSION);
}

// Copies chunk `id` (searched from the body's start) into a new working file. A partly written
// working file stays until the next box_clear_work_files.
int stream_to_file(FILE* box, uint32_t id, const char* target) {
    uint32_t found, size;
    if (std::fseek(box, BOX_BODY_OFFSET, SEEK_SET) != 0 || !chunk_seek(box, id, &found, &size)) return 0;
    io_make_folder(BOX_WORK_FOLDER);
    FILE* out = std::fopen(target, "wb");
    if (!out) return 0;
    int ok = file_copy_bytes(out, box, size);
    if (std::fclose(out) != 0) ok = 0;
    return ok;
}

// The picture working file must at least parse as a JPEG of a size the game accepts.
int picture_file_ok() {
    FILE* file = std::fopen(BOX_PICTURE_FILE, "rb");
    if (!file) return 0;
    int width = 0, height = 0, kind = 0;
    const int ok = gformat_jpg_info(file, &width, &height, &kind);
    std::fclose(file);
    return ok && kind != 0 && width > 0 && height > 0;
}

// Appends a working file as one stream chunk.
int file_to_stream(FILE* box, uint32_t id, const char* source) {
    FILE* in = std::fopen(source, "rb");
    if (!in) return 0;
    const long length = file_length(in);
    int ok = length >= 0 && length <= (long)UINT32_MAX && chunk_write_head(box, id, (uint32_t)length) &&
             file_copy_bytes(box, in, (size_t)length);
    std::fclose(in);
    return ok;
}

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

int read_preview_image(FILE* file, Image** image, int want_kind) {
    *image = img_read(file);
    if (!*image) return 0;
    if (want_kind && (*image)->kind != want_kind) {
        io_mem_free(*image);
        *image = nullptr;
        return 0;
    }
    return 1;
}

// The shadow record is ten 32-bit numbers in file order.
int read_shadow(FILE* file, BoxShadow* shadow) {
    uint32_t field[10];
    for (uint32_t& value : field)
        if (!file_read_u32(file, &value)) return 0;
    std::memcpy(shadow, field, sizeof field);
    return 1;
}

int write_shadow(FILE* file, const BoxShadow* shadow) {
    uint32_t field[10];
    std::memcpy(field, shadow, sizeof field);
    for (uint32_t value : field)
        if (!file_write_u32(file, value)) return 0;
    return 1;
}

int preview_path(char* path, int size, const BoxPreview* box) {
    return box_file_path(path, size, BOX_PREVIEW_FOLDER, box->name, BOX_PREVIEW_EXTENSION);
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

// Reading a box ----------------------------------------------------------------------------------

int box_read(const char* name, FileStamp* stamp, BoxRecord* record, int mask) {
    char path[PATH_MAX_GAME];
    *record = {};
    FILE* file = box_path(path, sizeof path, name) ? std::fopen(path, "rb") : nullptr;
    int ok = file != nullptr;
    uint32_t version;
    ok = ok && file_check_tag(file, BOX_TAG) && file_read_stamp(file, stamp) && file_read_u32(file, &version);
    // Stream chunks are unknown to the field table and skipped in this pass.
    ok = ok && record_read(file, box_fields, record) && record_in_range(*record);
    if (ok && (mask & BOX_PICTURE))
        ok = stream_to_file(file, BOX_CHUNK_PICTURE, BOX_PICTURE_FILE) && picture_file_ok();
    // A missing optional stream is no fault; one cut short leaves no half working file.
    for (const BoxStream& stream : OPTIONAL_STREAMS)
        if (ok && (mask & stream.part) && record->*stream.flag &&
            !stream_to_file(file, stream.chunk, stream.file))
            io_delete_file(stream.file);
    if (file) std::fclose(file);
    if (!ok) box_clear_work_files(BOX_ALL);
    return ok;
}

// Writing and patching a box ---------------------------------------------------------------------

int box_write(const char* name, const FileStamp* stamp, const BoxRecord* record) {
    char path[PATH_MAX_GAME];
    if (!box_path(path, sizeof path, name)) return 0;
    IoFileWrite out;
    FILE* file = io_write_begin(&out, path);
    if (!file) return 0;
    int ok = file_write_tag(file, 0) && file_write_stamp(file, stamp) &&
             file_write_u32(file, (uint32_t)BOX_VERSION) && record_write(file, box_fields, record) &&
             file_to_stream(file, BOX_CHUNK_PICTURE, BOX_PICTURE_FILE);
    for (const BoxStream& stream : OPTIONAL_STREAMS)
        if (ok && record->*stream.flag) ok = file_to_stream(file, stream.chunk, stream.file);
    ok = ok && std::fseek(file, 0, SEEK_SET) == 0 && file_write_tag(file, BOX_TAG);
    return io_write_end(&out, ok);
}

int box_patch_field(const char* path, uint32_t id, int32_t value) {
    FILE* file = std::fopen(path, "r+b");
    if (!file) return 0;
    uint32_t found, size;
    int ok = file_check_tag(file, BOX_TAG) && std::fseek(file, BOX_BODY_OFFSET, SEEK_SET) == 0 &&
             chunk_seek(file, id, &found, &size) && size == 4;
    // A read followed by a write needs a positioning call in between.
    ok = ok && std::fseek(file, 0, SEEK_CUR) == 0 && file_write_u32(file, (uint32_t)value);
    if (std::fclose(file) != 0) ok = 0;
    return ok;
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

// Previews ---------------------------------------------------------------------------------------

int box_preview_read(BoxPreview* box) {
    char path[PATH_MAX_GAME];
    FILE* file = preview_path(path, sizeof path, box) ? std::fopen(path, "rb") : nullptr;
    if (!file) return 0;
    uint32_t version;
    BoxShadow shadow;
    Image* thumbnail = nullptr;
    Image* large = nullptr;
    Image* small = nullptr;
    int ok = file_check_tag(file, BOX_PREVIEW_TAG) && file_check_stamp(file, &box->stamp) &&
             file_read_u32(file, &version) && version == (uint32_t)BOX_PREVIEW_VERSION &&
             read_preview_image(file, &thumbnail, 0) && read_shadow(file, &shadow);
    ok = ok && (!shadow.largePresent || read_preview_image(file, &large, IMG_8BIT));
    ok = ok && (!shadow.smallPresent || read_preview_image(file, &small, IMG_8BIT));
    std::fclose(file);
    if (!ok) {
        io_mem_free(thumbnail);
        io_mem_free(large);
        io_mem_free(small);
        return 0;
    }
    box->thumbnail = thumbnail;
    box->shadow = shadow;
    box->largeMask = large;
    box->smallMask = small;
    return 1;
}

int box_preview_write(const BoxPreview* box) {
    char path[PATH_MAX_GAME];
    if (!box->thumbnail || !preview_path(path, sizeof path, box)) return 0;
    io_make_folder(BOX_PREVIEW_FOLDER);
    IoFileWrite out;
    FILE* file = io_write_begin(&out, path);
    if (!file) return 0;
    // The present fields follow the masks actually written.
    BoxShadow shadow = box->shadow;
    shadow.largePresent = box->largeMask ? (shadow.largePresent ? shadow.largePresent : 1) : 0;
    shadow.smallPresent = box->smallMask ? (shadow.smallPresent ? shadow.smallPresent : 1) : 0;
    int ok = file_write_tag(file, 0) && file_write_stamp(file, &box->stamp) &&
             file_write_u32(file, (uint32_t)BOX_PREVIEW_VERSION) && img_write_image(file, box->thumbnail) &&
             write_shadow(file, &shadow) && (!box->largeMask || img_write_image(file, box->largeMask)) &&
             (!box->smallMask || img_write_image(file, box->smallMask)) &&
             std::fseek(file, 0, SEEK_SET) == 0 && file_write_tag(file, BOX_PREVIEW_TAG);
    return io_write_end(&out, ok);
}

int box_preview_valid(const BoxPreview* box) {
    char path[PATH_MAX_GAME];
    FILE* file = preview_path(path, sizeof path, box) ? std::fopen(path, "rb") : nullptr;
    if (!file) return 0;
    const int ok = file_check_tag(file, BOX_PREVIEW_TAG) && file_check_stamp(file, &box->stamp);
    std::fclose(file);
    return ok;
}
