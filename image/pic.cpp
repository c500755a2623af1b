// image/pic.cpp -- picture buffers, the working picture (import, resample, export) and the JPEG
// loader of the memory file cache.
//
// The working picture is one module-wide slot. The cache's JPEG loader and pic_load_jpeg_image
// decode into buffers of their own, so a picture held by a room survives a cache load.
#include "image/pic.h"

#include <cctype>
#include <cstring>

#include "base/limits.h"
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

const char TIF_TYPES[] = "*.TIF;*.TIFF";
const char JPG_TYPES[] = "*.JPG;*.JPE;*.JIF;*.JPEG;*.JFIF";
const char BMP_TYPES[] = "*.BMP;*.RLE;*.DIB";

// The text after the last '.' of the file name (not of a folder), at most 4 characters,
// upper-cased; empty without a '.'.
void path_extension(const char* path, char ext[5]) {
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    const char* dot = std::strrchr(name, '.');
    int n = 0;
    if (dot)
        for (const char* p = dot + 1; *p && n < 4; p++)
            ext[n++] = (char)std::toupper((unsigned char)*p);
    ext[n] = 0;
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

// Decodes a JPEG file into a new buffer (kind 1 or 3), or null.
PictureBuffer* load_jpeg(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    PictureBuffer* buffer = nullptr;
    int width, height, kind;
    if (!gformat_jpg_info(file, &width, &height, &kind)) {
        buffer = pic_create(width, height, kind);
        if (buffer && gformat_jpg_read(buffer, file)) {
            pic_release(buffer);
            buffer = nullptr;
        }
    }
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
    if (!path) return 0;
    char ext[5];
    path_extension(path, ext);
    int width, height, kind;
    PictureBuffer* buffer = nullptr;
    if (std::strstr(TIF_TYPES, ext)) {
        if (gformat_tif_info(path, &width, &height, &kind)) return 0;
        buffer = pic_create(width, height, kind);
        if (!buffer) return 0;
        if (gformat_tif_read(buffer, path)) {
            pic_release(buffer);
            return 0;
        }
    } else {
        const bool jpeg = std::strstr(JPG_TYPES, ext) != nullptr;
        if (!jpeg && !std::strstr(BMP_TYPES, ext)) return 0;
        FILE* file = std::fopen(path, "rb");
        if (!file) return 0;
        const int failed = jpeg ? gformat_jpg_info(file, &width, &height, &kind)
                                : gformat_bmp_info(file, &width, &height, &kind);
        if (!failed) buffer = pic_create(width, height, kind);
        if (buffer && (jpeg ? gformat_jpg_read(buffer, file) : gformat_bmp_read(buffer, file))) {
            pic_release(buffer);
            buffer = nullptr;
        }
        std::fclose(file);
        if (!buffer) return 0;
    }
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
    int failed = gformat_jpg_write(file, g_pic.working, quality);
    failed |= std::fclose(file) != 0;
    return !failed;
}

int pic_save_bmp(const char* path) {
    if (!g_pic.working || !path) return 0;
    FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    int failed = gformat_bmp_write(file, g_pic.working);
    failed |= std::fclose(file) != 0;
    return !failed;
}

void* jpg_loader(int file_index) {
    const long size = dp_size(file_index);
    dp_fopen(file_index);
    PictureBuffer* buffer = nullptr;
    const int failed = gformat_jpg_read_pack(size, &buffer);
    dp_fclose();
    if (failed) io_fatal("jpg_loader: gformat_jpg_read %s", dp_name(file_index));
    Image* image = image_of(buffer);
    pic_release(buffer);
    return image;
}
