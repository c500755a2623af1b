// image/img.cpp -- the Image record, views into it, pixel operations and the screen drawers.
//
// Sections: creation and access; pixel operations; the view blit and conversions; lines;
// the darkening table; the screen drawers over the dirty cells; tiles; cache forms.
#include "image/img.h"

#include <cstring>

#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"

// --- Creation and access ---

int img_kind_resolve(int kind) {
    if (kind == IMG_KIND_GREY) return IMG_8BIT;
    if (kind == IMG_KIND_SCREEN) return screen.bytesPerPixel > 0 ? screen.bytesPerPixel : IMG_24BIT;
    return kind;
}

Image* img_create(int width, int height, int kind) {
    kind = img_kind_resolve(kind);
    int colourBytes = kind & 15, alphaBytes = (kind >> 4) & 15;
    int32_t colourPitch, alphaPitch, planes;
    size_t colourSize, total;
    if (width < 0 || height < 0 || colourBytes == 0 || (kind & ~0xFF) ||
        __builtin_mul_overflow(width, colourBytes, &colourPitch) ||
        __builtin_mul_overflow(width, alphaBytes, &alphaPitch) ||
        __builtin_mul_overflow((size_t)colourPitch, (size_t)height, &colourSize) ||
        __builtin_add_overflow(colourPitch, alphaPitch, &planes) ||
        __builtin_mul_overflow((size_t)planes, (size_t)height, &total) ||
        total > (size_t)INT32_MAX - IMG_HEADER_SIZE)
        io_fatal("img_create: bad image %i x %i kind %i\n", width, height, kind);
    Image* image = (Image*)io_mem_alloc(IMG_HEADER_SIZE + total);
    image->magic = IMG_MAGIC;
    image->width = width;
    image->height = height;
    image->kind = kind;
    image->colourOffset = IMG_HEADER_SIZE;
    image->colourPitch = colourPitch;
    image->alphaOffset = alphaBytes ? (int32_t)(IMG_HEADER_SIZE + colourSize) : 0;
    image->alphaPitch = alphaPitch;
    image->reserved = 0;
    return image;
}

void img_view(ImageView* view, const Image* image, int x, int y) {
    uint8_t* base = (uint8_t*)image;
    view->width = image->width - x;
    view->height = image->height - y;
    view->kind = image->kind;
    view->pitch = image->colourPitch;
    view->pixels = base + image->colourOffset + (ptrdiff_t)y * image->colourPitch + (ptrdiff_t)x * (image->kind & 15);
    view->alphaPitch = image->alphaPitch;
    view->alpha = image->alphaOffset
                      ? base + image->alphaOffset + (ptrdiff_t)y * image->alphaPitch +
                            (ptrdiff_t)x * ((image->kind >> 4) & 15)
                      : nullptr;
}

void img_screen_view(ImageView* view, int x, int y) {
    uint8_t* top = screen.buf ? screen.buf : screen_top_row();
    view->width = screen.width - x;
    view->height = screen.height - y;
    view->kind = screen.bytesPerPixel;
    view->pitch = screen.pitch;
    view->pixels = top + (ptrdiff_t)y * screen.pitch + (ptrdiff_t)x * screen.bytesPerPixel;
    view->alpha = nullptr;
    view->alphaPitch = 0;
}

void img_size(const Image* image, int* width, int* height) {
    *width = image->width;
    *height = image->height;
}

void img_pixels(const Image* image, uint8_t** pixels, int* pitch, int* width, int* height) {
    *pixels = (uint8_t*)image + image->colourOffset;
    *pitch = image->colourPitch;
    *width = image->width;
    *height = image->height;
}
