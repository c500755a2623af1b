// image/pic.cpp -- picture buffers, the working picture (import, resample, export) and the JPEG
// loader of the memory file cache.
//
// The working picture is one module-wide slot. The cache's JPEG loader and pic_load_jpeg_image
// decode into buffers of their own, so a picture held by a room survives a cache load.
#include "image/pic.h"

#include <cstring>

#include "base/le.h"
#include "base/limits.h"
#include "image/gformat_img.h"
#include "image/img_scale.h"
#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "resources/dp.h"

namespace {

struct PicState {
    PicAllocHook alloc;  // picture buffers and codec work buffers
    PicFreeHook release;
    PicReallocHook realloc;
    PictureBuffer* working;  // the working picture, or null
};
PicState g_pic = {io_mem_alloc, io_mem_free, io_mem_realloc, nullptr};

// The pixels start this far into a buffer's block, aligned for any row access.
constexpr size_t PIC_HEADER_SIZE = (sizeof(PictureBuffer) + 15) & ~(size_t)15;

enum PictureFormat { FORMAT_UNKNOWN, FORMAT_JPEG, FORMAT_BMP, FORMAT_TIFF, FORMAT_IMG };

// What the first bytes of an open file say it holds; the file is back at its start. JPEG needs
// only its start-of-image marker, TIFF either byte order of the classic or the big header.
PictureFormat picture_format(FILE* file) {
    uint8_t head[4] = {};
    const size_t got = std::fread(head, 1, sizeof head, file);
    if (std::fseek(file, 0, SEEK_SET) != 0 || got < 2) return FORMAT_UNKNOWN;
    if (head[0] == 0xFF && head[1] == 0xD8) return FORMAT_JPEG;
    if (head[0] == 'B' && head[1] == 'M') return FORMAT_BMP;
    if (got < 4) return FORMAT_UNKNOWN;
    const bool intel = head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0;
    const bool motorola =
        head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43);
    if (intel || motorola) return FORMAT_TIFF;
    LeCursor magic = le_cursor(head, sizeof head);
    return le_u32(&magic) == IMG_MAGIC ? FORMAT_IMG : FORMAT_UNKNOWN;
}

// A kind 3 copy of buffer (grey replicated, 5-5-5 expanded, alpha dropped); buffer is released.
PictureBuffer* to_colour(PictureBuffer* buffer) {
    if (buffer->kind == IMG_24BIT) return buffer;
    PictureBuffer* colour = pic_create(buffer->width, buffer->height, IMG_24BIT);
    if (colour) img_view_convert(colour, buffer);
    pic_release(buffer);
    return colour;
}

// A new Image of the screen's kind holding the buffer's pixels.
Image* image_of(const PictureBuffer* buffer) {
    Image* image = img_create(buffer->width, buffer->height, IMG_KIND_SCREEN);
    ImageView view;
    img_view(&view, image, 0, 0);
    img_view_convert(&view, buffer);
    return image;
}

// Decodes an open file with one codec's info and read calls into a new buffer, or null.
PictureBuffer* decode_file(FILE* file, int (*info)(FILE*, int*, int*, int*),
                           int (*read)(PictureBuffer*, FILE*)) {
    int width, height, kind;
    PictureBuffer* buffer = info(file, &width, &height, &kind) ? pic_create(width, height, kind) : nullptr;
    if (buffer && !read(buffer, file)) {
        pic_release(buffer);
        buffer = nullptr;
    }
    return buffer;
}

// The TIFF codec opens the file itself.
PictureBuffer* decode_tiff(const char* path) {
    int width, height, kind;
    PictureBuffer* buffer =
        gformat_tif_info(path, &width, &height, &kind) ? pic_create(width, height, kind) : nullptr;
    if (buffer && !gformat_tif_read(buffer, path)) {
        pic_release(buffer);
        buffer = nullptr;
    }
    return buffer;
}

// An IMG file as a colour buffer, or null.
PictureBuffer* decode_img(FILE* file) {
    Image* image = img_read(file);
    if (!image) return nullptr;
    PictureBuffer* colour = pic_create(image->width, image->height, IMG_24BIT);
    if (colour) {
        ImageView view;
        img_view(&view, image, 0, 0);
        img_view_convert(colour, &view);
    }
    io_mem_free(image);
    return colour;
}

// Decodes a JPEG file into a new buffer (kind 1 or 3), or null.
PictureBuffer* load_jpeg(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    PictureBuffer* buffer = decode_file(file, gformat_jpg_info, gformat_jpg_read);
    std::fclose(file);
    return buffer;
}

void set_working(PictureBuffer* buffer) {
    if (g_pic.working != buffer) pic_release(g_pic.working);
    g_pic.working = buffer;
}

}  // namespace

// --- Memory hooks ---

void pic_install_memory_hooks(PicAllocHook alloc, PicFreeHook release, PicReallocHook realloc) {
    IO_ASSERT(alloc && release && realloc);
    g_pic.alloc = alloc;
    g_pic.release = release;
    g_pic.realloc = realloc;
}

void* pic_mem_alloc(size_t size) { return g_pic.alloc(size); }
void pic_mem_free(void* block) {
    if (block) g_pic.release(block);
}
void* pic_mem_realloc(void* block, size_t size) { return g_pic.realloc(block, size); }

// --- Picture buffers ---

bool pic_size_ok(long long width, long long height, int kind) {
    const long long bytes = (kind & 15) + ((kind >> 4) & 15);
    long long pixels, total;
    return width > 0 && height > 0 && width <= PICTURE_SIDE_MAX && height <= PICTURE_SIDE_MAX && bytes > 0 &&
           !__builtin_mul_overflow(width, height, &pixels) && pixels <= PICTURE_PIXELS_MAX &&
           !__builtin_mul_overflow(pixels, bytes, &total) && total <= (long long)(SIZE_MAX / 2);
}

PictureBuffer* pic_create(int width, int height, int kind) {
    const int colour = kind & 15, alpha = (kind >> 4) & 15;
    if (colour == 0 || !pic_size_ok(width, height, kind)) return nullptr;
    const size_t pixels = (size_t)width * (size_t)height;
    uint8_t* block = (uint8_t*)pic_mem_alloc(PIC_HEADER_SIZE + pixels * (size_t)(colour + alpha));
    if (!block) return nullptr;
    PictureBuffer* buffer = (PictureBuffer*)block;
    buffer->width = width;
    buffer->height = height;
    buffer->kind = kind;
    buffer->pixels = block + PIC_HEADER_SIZE;
    buffer->pitch = colour * width;
    buffer->alpha = alpha ? buffer->pixels + pixels * colour : nullptr;
    buffer->alphaPitch = alpha * width;
    return buffer;
}

void pic_release(PictureBuffer* buffer) { pic_mem_free(buffer); }

// --- The working picture ---

int pic_import(const char* path) {
    set_working(nullptr);
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) return 0;
    PictureBuffer* buffer = nullptr;
    switch (picture_format(file)) {
        case FORMAT_JPEG:
            buffer = decode_file(file, gformat_jpg_info, gformat_jpg_read);
            break;
        case FORMAT_BMP:
            buffer = decode_file(file, gformat_bmp_info, gformat_bmp_read);
            break;
        case FORMAT_TIFF:
            buffer = decode_tiff(path);
            break;
        case FORMAT_IMG:
            buffer = decode_img(file);
            break;
        case FORMAT_UNKNOWN:
            break;  // no codec of the game reads it
    }
    std::fclose(file);
    if (!buffer) return 0;
    buffer = to_colour(buffer);
    set_working(buffer);
    return buffer != nullptr;
}

int pic_size(int* width, int* height) {
    const PictureBuffer* buffer = g_pic.working;
    *width = buffer ? buffer->width : 0;
    *height = buffer ? buffer->height : 0;
    return buffer != nullptr;
}

int pic_resample(int width, int height, int smooth) {
    PictureBuffer* old = g_pic.working;
    if (!old) return 0;
    PictureBuffer* fresh = pic_create(width, height, old->kind);
    if (!fresh) return 0;
    if (!img_resample(fresh, old, smooth ? IMG_RESAMPLE_HERMITE : IMG_RESAMPLE_NEAREST)) {
        pic_release(fresh);
        return 0;
    }
    set_working(fresh);
    return 1;
}

Image* pic_to_image() { return g_pic.working ? image_of(g_pic.working) : nullptr; }

void pic_free() { set_working(nullptr); }

PictureBuffer* pic_working() { return g_pic.working; }

PictureBuffer* pic_take() {
    PictureBuffer* buffer = g_pic.working;
    g_pic.working = nullptr;
    return buffer;
}

void pic_put(PictureBuffer* buffer) { set_working(buffer); }

// Placeholders until the wider import lands.
int pic_import_fit(const char* path, int, int, int* fullWidth, int* fullHeight) {
    const int ok = pic_import(path);
    pic_size(fullWidth, fullHeight);
    return ok;
}

void pic_set_progress(PicProgress) {}

const char* picture_filter_all() { return picture_filter + std::strlen(picture_filter) + 1; }

int pic_load_jpeg(const char* path) {
    set_working(path ? load_jpeg(path) : nullptr);
    return g_pic.working != nullptr;
}

Image* pic_load_jpeg_image(const char* path) {
    PictureBuffer* buffer = path ? load_jpeg(path) : nullptr;
    if (!buffer) return nullptr;
    Image* image = image_of(buffer);
    pic_release(buffer);
    return image;
}

int pic_save_jpeg(const char* path, int quality) {
    if (!g_pic.working || !path) return 0;
    FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    int ok = gformat_jpg_write(file, g_pic.working, quality);
    if (std::fclose(file) != 0) ok = 0;
    return ok;
}

int pic_save_bmp(const char* path) {
    if (!g_pic.working || !path) return 0;
    FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    int ok = gformat_bmp_write(file, g_pic.working);
    if (std::fclose(file) != 0) ok = 0;
    return ok;
}

void* jpg_loader(int file_index) {
    const long size = dp_size(file_index);
    dp_fopen(file_index);
    PictureBuffer* buffer = nullptr;
    const int ok = gformat_jpg_read_pack(size, &buffer);
    dp_fclose();
    if (!ok) io_fatal("jpg_loader: gformat_jpg_read %s", dp_name(file_index));
    Image* image = image_of(buffer);
    pic_release(buffer);
    return image;
}
