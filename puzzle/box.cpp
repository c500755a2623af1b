// puzzle/box.cpp -- box files: their streams, writing and patching, and shelf previews.
//
// Sections: reading a box; writing and patching a box; previews. Names, paths, the settings and
// the working files are in box_head.cpp, which needs no picture code.
#include "puzzle/box.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "image/gformat.h"
#include "image/gformat_img.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"

namespace {

constexpr long BOX_BODY_OFFSET = 24;  // tag, stamp and version come first

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
// A working file that cannot be written (a full disk) is no fault of the box: its cause is kept.
int g_write_error;

int stream_to_file(FILE* box, uint32_t id, const char* target) {
    uint32_t found, size;
    if (std::fseek(box, BOX_BODY_OFFSET, SEEK_SET) != 0 || !chunk_seek(box, id, &found, &size)) return 0;
    io_make_folder(BOX_WORK_FOLDER);
    errno = 0;
    FILE* out = std::fopen(target, "wb");
    if (!out) {
        g_write_error = errno ? errno : EIO;
        return 0;
    }
    int ok = file_copy_bytes(out, box, size);
    if (std::ferror(out) || std::fflush(out) != 0) g_write_error = errno ? errno : EIO;
    if (std::fclose(out) != 0) {
        ok = 0;
        if (!g_write_error) g_write_error = errno ? errno : EIO;
    }
    return ok && !g_write_error;
}

// The picture working file must at least parse as a JPEG of a size the game accepts.
int picture_file_ok() {
    FILE* file = io_fopen_read(BOX_PICTURE_FILE);
    if (!file) return 0;
    int width = 0, height = 0, kind = 0;
    const int ok = gformat_jpg_info(file, &width, &height, &kind);
    std::fclose(file);
    return ok && kind != 0 && width > 0 && height > 0;
}

// Appends a working file as one stream chunk.
int file_to_stream(FILE* box, uint32_t id, const char* source) {
    FILE* in = io_fopen_read(source);
    if (!in) return 0;
    const long length = file_length(in);
    int ok = length >= 0 && length <= (long)UINT32_MAX && chunk_write_head(box, id, (uint32_t)length) &&
             file_copy_bytes(box, in, (size_t)length);
    std::fclose(in);
    return ok;
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

// Reading a box ----------------------------------------------------------------------------------

int box_read_write_error() { return g_write_error; }

int box_read(const char* name, FileStamp* stamp, BoxRecord* record, int mask) {
    g_write_error = 0;
    FILE* file = box_open_settings(name, stamp, record);
    int ok = file != nullptr;
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

// Previews ---------------------------------------------------------------------------------------

int box_preview_read(BoxPreview* box) {
    char path[PATH_MAX_GAME];
    FILE* file = preview_path(path, sizeof path, box) ? io_fopen_read(path) : nullptr;
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
    FILE* file = preview_path(path, sizeof path, box) ? io_fopen_read(path) : nullptr;
    if (!file) return 0;
    const int ok = file_check_tag(file, BOX_PREVIEW_TAG) && file_check_stamp(file, &box->stamp);
    std::fclose(file);
    return ok;
}
