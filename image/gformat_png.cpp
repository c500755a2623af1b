// image/gformat_png.cpp -- PNG through libpng: grey, grey with alpha, palette (with its
// transparency), RGB and RGBA, 1 to 16 bits, interlaced or not, all read as 24-bit colour with
// the transparency composited over white.
//
// The header is checked against the picture limits, and against what the file's length can
// hold, before libpng allocates rows or we allocate the picture; libpng's own chunk buffers are
// capped, and its memory comes through the codecs' hooks. libpng's errors jump back to the call that started
// it (one jump buffer per read).
#include <png.h>

#include <cstdio>
#include <cstring>

#include "base/limits.h"
#include "image/gformat.h"
#include "image/pic.h"

namespace {

// Deflate shrinks data at most this much (two bits for each 258 bytes), so a file shorter than
// its rows divided by it cannot hold them.
constexpr long long PNG_DEFLATE_RATIO_MAX = 1032;
// The largest ancillary chunk (text, colour profile) libpng may keep in memory, and how many.
constexpr png_alloc_size_t PNG_CHUNK_MAX = 8 * 1024 * 1024;
constexpr png_uint_32 PNG_CHUNK_COUNT_MAX = 128;

// One read's state, on the heap so that libpng's jump back finds it as it was left.
struct PngRead {
    png_structp png;
    png_infop info;
    int width, height;
    int channels;    // after the transformations: 3, or 4 with alpha
    int passes;      // 7 for interlaced files, else 1
    uint8_t* row;    // one row with alpha as libpng delivers it; null without alpha
    uint8_t* alpha;  // the alpha plane of an interlaced file between passes; null otherwise
};

[[noreturn]] void png_on_error(png_structp png, png_const_charp message) {
    char text[256];
    std::snprintf(text, sizeof text, "PNG: %s", message ? message : "");
    gformat_error(text);
    png_longjmp(png, 1);
}

void png_on_warning(png_structp, png_const_charp) {}  // damaged files would flood the log

png_voidp png_take(png_structp, png_alloc_size_t size) { return pic_mem_alloc(size); }
void png_give_back(png_structp, png_voidp block) { pic_mem_free(block); }

// Reads the header and sets the transformations to 8-bit blue, green, red (and alpha). Runs
// under the jump buffer. 1 when the picture is within the limits.
int png_start(PngRead* r, FILE* file, long left) {
    png_init_io(r->png, file);
    png_set_user_limits(r->png, PICTURE_SIDE_MAX, PICTURE_SIDE_MAX);
    png_set_chunk_cache_max(r->png, PNG_CHUNK_COUNT_MAX);
    png_set_chunk_malloc_max(r->png, PNG_CHUNK_MAX);
    png_set_keep_unknown_chunks(r->png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_read_info(r->png, r->info);
    const png_uint_32 width = png_get_image_width(r->png, r->info);
    const png_uint_32 height = png_get_image_height(r->png, r->info);
    if (!pic_size_ok(width, height, IMG_24BIT)) {
        gformat_error("PNG: picture too large");
        return 0;
    }
    const long long rows = (long long)height * (1 + (long long)png_get_rowbytes(r->png, r->info));
    if (left < 0 || rows > (left + 1) * PNG_DEFLATE_RATIO_MAX) {
        gformat_error("PNG: the file is too short for its picture");
        return 0;
    }
    r->width = (int)width;
    r->height = (int)height;
    png_set_expand(r->png);  // palette to colour, small grey to 8 bits, transparency to alpha
    png_set_scale_16(r->png);
    png_set_gray_to_rgb(r->png);
    png_set_bgr(r->png);
    r->passes = png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
    r->channels = png_get_channels(r->png, r->info);
    if ((r->channels != 3 && r->channels != 4) ||
        png_get_rowbytes(r->png, r->info) != (size_t)r->width * r->channels) {
        gformat_error("PNG: unexpected pixel layout");
        return 0;
    }
    return 1;
}

// Over white, rounded: c x a / 255 + 255 - a.
inline uint8_t over_white(int c, int a) { return (uint8_t)((c * a + 255 * (255 - a) + 127) / 255); }

// Reads every pass into the buffer. Runs under the jump buffer.
void png_pixels(PngRead* r, PictureBuffer* buffer) {
    const int w = r->width, h = r->height;
    const bool alpha = r->channels == 4;
    if (alpha) {
        r->row = (uint8_t*)pic_mem_alloc((size_t)w * 4);
        if (r->passes > 1) r->alpha = (uint8_t*)pic_mem_alloc((size_t)w * h);
    }
    const int steps = r->passes * h;
    for (int pass = 0; pass < r->passes; pass++) {
        const bool last = pass == r->passes - 1;
        for (int y = 0; y < h; y++) {
            const int step = pass * h + y;
            if ((step & 63) == 0) pic_progress(step, steps);
            uint8_t* out = buffer->pixels + (ptrdiff_t)y * buffer->pitch;
            if (!alpha) {
                png_read_row(r->png, out, nullptr);  // later passes fill in what earlier ones left
                continue;
            }
            uint8_t* a = r->alpha ? r->alpha + (size_t)y * w : nullptr;
            if (pass > 0)  // the row so far, as the next pass adds to it
                for (int x = 0; x < w; x++) {
                    std::memcpy(r->row + 4 * x, out + 3 * x, 3);
                    r->row[4 * x + 3] = a[x];
                }
            png_read_row(r->png, r->row, nullptr);
            for (int x = 0; x < w; x++) {
                const uint8_t* p = r->row + 4 * x;
                if (last) {
                    out[3 * x] = over_white(p[0], p[3]);
                    out[3 * x + 1] = over_white(p[1], p[3]);
                    out[3 * x + 2] = over_white(p[2], p[3]);
                } else {
                    std::memcpy(out + 3 * x, p, 3);
                    a[x] = p[3];
                }
            }
        }
    }
    // What follows the pixels (text, the end chunk) is not needed: a file cut after them reads.
}

// The header (into null) or the whole picture, which must match the header's size; the file
// is back where it was. 1 on success.
int png_decode(FILE* file, PictureBuffer* into, int* width, int* height) {
    *width = *height = 0;
    const long pos = file ? std::ftell(file) : -1;
    uint8_t signature[8];
    if (pos < 0 || std::fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        if (pos >= 0) std::fseek(file, pos, SEEK_SET);
        gformat_error("PNG: not a PNG file");
        return 0;
    }
    long left = -1;  // bytes after the signature
    if (std::fseek(file, 0, SEEK_END) == 0) left = std::ftell(file) - pos - 8;
    std::fseek(file, pos + 8, SEEK_SET);
    PngRead* r = (PngRead*)pic_mem_alloc(sizeof(PngRead));
    std::memset(r, 0, sizeof *r);
    r->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, png_on_error, png_on_warning, nullptr,
                                      png_take, png_give_back);
    r->info = r->png ? png_create_info_struct(r->png) : nullptr;
    volatile int ok = 0;  // set again after a jump back
    if (!r->info) {
        gformat_error("PNG: out of memory");
    } else if (setjmp(png_jmpbuf(r->png)) == 0) {
        png_set_sig_bytes(r->png, 8);
        int started = png_start(r, file, left);
        if (started && into &&
            (into->width != r->width || into->height != r->height || into->kind != IMG_24BIT)) {
            gformat_error("PNG: picture does not match the buffer");
            started = 0;
        }
        if (started && into) png_pixels(r, into);
        ok = started;
        *width = r->width;
        *height = r->height;
    } else {
        ok = 0;
    }
    png_destroy_read_struct(&r->png, &r->info, nullptr);
    pic_mem_free(r->row);
    pic_mem_free(r->alpha);
    pic_mem_free(r);
    std::fseek(file, pos, SEEK_SET);
    return ok;
}

}  // namespace

int gformat_png_info(FILE* file, int* width, int* height, int* kind) {
    const int ok = png_decode(file, nullptr, width, height);
    *kind = ok ? IMG_24BIT : 0;
    return ok;
}

int gformat_png_read(PictureBuffer* buffer, FILE* file) {
    int width, height;
    if (!buffer) {
        gformat_error("PNG: picture does not match the buffer");
        return 0;
    }
    return png_decode(file, buffer, &width, &height);
}
