// image/gformat_img.cpp -- reading and writing IMG data on open files.
#include "image/gformat_img.h"

#include <cstddef>
#include <cstring>

#include "base/le.h"
#include "base/limits.h"
#include "image/gformat.h"
#include "platform/io_mem.h"

namespace {

constexpr const char* LOAD_ERROR = "IMG loader: unknown error";
constexpr const char* SAVE_ERROR = "IMG saver: unknown error";

struct Header {
    int32_t field[9];  // magic, width, height, kind, colour offset/pitch, alpha offset/pitch, reserved
};
enum { H_MAGIC, H_WIDTH, H_HEIGHT, H_KIND, H_COLOUR_OFFSET, H_COLOUR_PITCH, H_ALPHA_OFFSET, H_ALPHA_PITCH };

// Reads the header at the current position and leaves the file there; false on a short read,
// a failed seek or a wrong magic.
bool peek_header(FILE* file, Header* h) {
    const long start = std::ftell(file);
    if (start < 0) return false;
    uint8_t raw[IMG_HEADER_SIZE];
    const size_t got = std::fread(raw, 1, sizeof raw, file);
    if (std::fseek(file, start, SEEK_SET) != 0 || got != sizeof raw) return false;
    LeCursor c = le_cursor(raw, sizeof raw);
    for (int32_t& field : h->field)
        field = le_i32(&c);
    return (uint32_t)h->field[H_MAGIC] == IMG_MAGIC;
}

// Skips n bytes by reading them, so a surplus that runs past the end of the file is a short read.
bool skip_bytes(FILE* file, size_t n) {
    uint8_t scratch[4096];
    while (n > 0) {
        const size_t step = n < sizeof scratch ? n : sizeof scratch;
        if (std::fread(scratch, 1, step, file) != step) return false;
        n -= step;
    }
    return true;
}

// Reads height rows of rowBytes into dst (advancing by dstPitch), each stored as filePitch bytes.
bool read_plane(FILE* file, long at, uint8_t* dst, ptrdiff_t dstPitch, size_t rowBytes, int32_t filePitch,
                int height) {
    if (at < 0 || filePitch < 0 || (size_t)filePitch < rowBytes) return false;
    if (std::fseek(file, at, SEEK_SET) != 0) return false;
    const size_t surplus = (size_t)filePitch - rowBytes;
    for (int y = 0; y < height; y++, dst += dstPitch) {
        if (std::fread(dst, 1, rowBytes, file) != rowBytes) return false;
        if (surplus && !skip_bytes(file, surplus)) return false;
    }
    return true;
}

bool read_planes(ImageView* view, FILE* file) {
    const long start = std::ftell(file);
    Header h;
    if (start < 0 || !peek_header(file, &h)) return false;
    if (view->width != h.field[H_WIDTH] || view->height != h.field[H_HEIGHT] || view->kind != h.field[H_KIND])
        return false;
    if (view->width < 0 || view->height < 0) return false;
    const int colourBytes = view->kind & 15, alphaBytes = (view->kind >> 4) & 15;
    if (!read_plane(file, start + (long)h.field[H_COLOUR_OFFSET], view->pixels, view->pitch,
                    (size_t)colourBytes * view->width, h.field[H_COLOUR_PITCH], view->height))
        return false;
    if (!alphaBytes) return true;
    if (!view->alpha) return false;
    return read_plane(file, start + (long)h.field[H_ALPHA_OFFSET], view->alpha, view->alphaPitch,
                      (size_t)alphaBytes * view->width, h.field[H_ALPHA_PITCH], view->height);
}

// True when the file holds every row the header describes (surplus of the last row included),
// so a short file is refused before an image of the header's size is allocated.
bool planes_in_file(FILE* file, int width, int height, int kind) {
    const long start = std::ftell(file);
    Header h;
    if (start < 0 || !peek_header(file, &h)) return false;
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(file);
    if (std::fseek(file, start, SEEK_SET) != 0 || end < 0) return false;
    const int planes[2][3] = {{kind & 15, H_COLOUR_OFFSET, H_COLOUR_PITCH},
                              {(kind >> 4) & 15, H_ALPHA_OFFSET, H_ALPHA_PITCH}};
    for (const auto& plane : planes) {
        if (!plane[0] || height == 0) continue;
        const long long offset = h.field[plane[1]], pitch = h.field[plane[2]];
        const long long need = start + offset + pitch * height;  // 31-bit factors: no overflow
        if (offset < 0 || pitch < (long long)plane[0] * width || need > end) return false;
    }
    return true;
}

bool known_kind(int kind) {
    return kind == IMG_8BIT || kind == IMG_16BIT || kind == IMG_24BIT || kind == (IMG_24BIT | IMG_ALPHA);
}

bool write_plane(FILE* file, const uint8_t* src, ptrdiff_t pitch, size_t rowBytes, int height) {
    for (int y = 0; y < height; y++, src += pitch)
        if (std::fwrite(src, 1, rowBytes, file) != rowBytes) return false;
    return true;
}

bool write_all(FILE* file, const ImageView* view) {
    const int colourBytes = view->kind & 15, alphaBytes = (view->kind >> 4) & 15;
    int32_t colourPitch, alphaPitch, colourSize, alphaOffset = 0;
    if (view->width < 0 || view->height < 0 || colourBytes == 0 || (alphaBytes && !view->alpha) ||
        __builtin_mul_overflow(colourBytes, view->width, &colourPitch) ||
        __builtin_mul_overflow(alphaBytes, view->width, &alphaPitch) ||
        __builtin_mul_overflow(colourPitch, view->height, &colourSize) ||
        (alphaBytes && __builtin_add_overflow(colourSize, IMG_HEADER_SIZE, &alphaOffset)))
        return false;
    const int32_t fields[9] = {(int32_t)IMG_MAGIC, view->width, view->height, view->kind, IMG_HEADER_SIZE,
                               colourPitch,        alphaOffset, alphaPitch,   0};
    uint8_t raw[IMG_HEADER_SIZE];
    for (int i = 0; i < 9; i++)
        le_store_i32(raw + 4 * i, fields[i]);
    if (std::fwrite(raw, 1, sizeof raw, file) != sizeof raw) return false;
    if (!write_plane(file, view->pixels, view->pitch, (size_t)colourPitch, view->height)) return false;
    if (alphaBytes && !write_plane(file, view->alpha, view->alphaPitch, (size_t)alphaPitch, view->height))
        return false;
    return true;
}

}  // namespace

int gformat_img_info(FILE* file, int* width, int* height, int* kind) {
    Header h;
    if (!peek_header(file, &h)) {
        gformat_error(LOAD_ERROR);
        return 0;
    }
    *width = h.field[H_WIDTH];
    *height = h.field[H_HEIGHT];
    *kind = h.field[H_KIND];
    return 1;
}

int gformat_img_read(ImageView* view, FILE* file) {
    if (read_planes(view, file)) return 1;
    gformat_error(LOAD_ERROR);
    return 0;
}

Image* img_read(FILE* file) {
    int width, height, kind;
    if (!gformat_img_info(file, &width, &height, &kind)) return nullptr;
    if (!known_kind(kind) || width < 0 || height < 0 || width > PICTURE_SIDE_MAX ||
        height > PICTURE_SIDE_MAX || (long long)width * height > PICTURE_PIXELS_MAX ||
        !planes_in_file(file, width, height, kind)) {
        gformat_error(LOAD_ERROR);
        return nullptr;
    }
    Image* image = img_create(width, height, kind);
    ImageView view;
    img_view(&view, image, 0, 0);
    if (!gformat_img_read(&view, file)) {
        io_mem_free(image);
        return nullptr;
    }
    return image;
}

int gformat_img_write(FILE* file, const ImageView* view) {
    if (write_all(file, view)) return 1;
    gformat_error(SAVE_ERROR);
    return 0;
}

int img_write_image(FILE* file, const Image* image) {
    ImageView view;
    img_view(&view, image, 0, 0);
    return gformat_img_write(file, &view);
}
