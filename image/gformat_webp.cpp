// image/gformat_webp.cpp -- WebP through libwebp's still-picture decoder: lossy and lossless,
// read as 24-bit colour with the transparency composited over white. Animations are refused.
//
// The decoder takes the whole file from memory, so the file's length is capped and the
// picture's size checked against the limits before anything the size of the picture exists.
#include <webp/decode.h>

#include <cstdio>
#include <cstring>

#include "image/gformat.h"
#include "image/pic.h"

namespace {

constexpr long WEBP_FILE_MAX = 256L * 1024 * 1024;  // longer files are refused
constexpr long WEBP_HEAD_SIZE = 64 * 1024;          // read first for the size alone

// `want` bytes from the current position in a new block, the position unchanged; null when the
// file does not hold them.
uint8_t* webp_load(FILE* file, long want) {
    const long pos = std::ftell(file);
    uint8_t* bytes = (uint8_t*)pic_mem_alloc((size_t)want);
    const bool ok = bytes && std::fread(bytes, 1, (size_t)want, file) == (size_t)want;
    std::fseek(file, pos, SEEK_SET);
    if (ok) return bytes;
    pic_mem_free(bytes);
    return nullptr;
}

int webp_fail(const char* text) {
    gformat_error(text);
    return 0;
}

// The header (into null) or the whole picture, which must match it; the file is back where it
// was. 1 on success.
int webp_decode(FILE* file, PictureBuffer* into, int* width, int* height) {
    *width = *height = 0;
    const long pos = file ? std::ftell(file) : -1;
    long left = -1;
    if (pos >= 0 && std::fseek(file, 0, SEEK_END) == 0) left = std::ftell(file) - pos;
    if (pos < 0 || std::fseek(file, pos, SEEK_SET) != 0 || left < 12)
        return webp_fail("WebP: not a WebP file");
    if (left > WEBP_FILE_MAX) return webp_fail("WebP: file too large");
    // The size alone is near the start, unless chunks the decoder steps over come first.
    long size = into || left < WEBP_HEAD_SIZE ? left : WEBP_HEAD_SIZE;
    uint8_t* data = webp_load(file, size);
    WebPBitstreamFeatures features;
    VP8StatusCode status = data ? WebPGetFeatures(data, (size_t)size, &features) : VP8_STATUS_NOT_ENOUGH_DATA;
    if (status == VP8_STATUS_NOT_ENOUGH_DATA && data && size < left) {
        pic_mem_free(data);
        size = left;
        data = webp_load(file, size);
        status = data ? WebPGetFeatures(data, (size_t)size, &features) : VP8_STATUS_NOT_ENOUGH_DATA;
    }
    int ok = 0;
    if (status != VP8_STATUS_OK)
        webp_fail("WebP: not a WebP file");
    else if (features.has_animation)
        webp_fail("WebP: animated pictures are not read");
    else if (!pic_size_ok(features.width, features.height, IMG_24BIT))
        webp_fail("WebP: picture too large");
    else if (into &&
             (into->width != features.width || into->height != features.height || into->kind != IMG_24BIT))
        webp_fail("WebP: picture does not match the buffer");
    else
        ok = 1;
    if (ok && into) {
        const int w = features.width, h = features.height;
        pic_progress(0, h);
        if (!features.has_alpha) {
            ok = WebPDecodeBGRInto(data, (size_t)size, into->pixels, (size_t)into->pitch * h, into->pitch) !=
                 nullptr;
        } else {
            // Blue, green, red and alpha, then over white row by row: c x a / 255 + 255 - a.
            uint8_t* bgra = (uint8_t*)pic_mem_alloc((size_t)w * h * 4);
            ok = bgra && WebPDecodeBGRAInto(data, (size_t)size, bgra, (size_t)w * h * 4, w * 4) != nullptr;
            for (int y = 0; ok && y < h; y++) {
                const uint8_t* in = bgra + (size_t)y * w * 4;
                uint8_t* out = into->pixels + (ptrdiff_t)y * into->pitch;
                for (int x = 0; x < w; x++, in += 4, out += 3)
                    for (int c = 0; c < 3; c++)
                        out[c] = (uint8_t)((in[c] * in[3] + 255 * (255 - in[3]) + 127) / 255);
            }
            pic_mem_free(bgra);
        }
        if (!ok) webp_fail("WebP: damaged picture data");
    }
    if (ok) {
        *width = features.width;
        *height = features.height;
    }
    pic_mem_free(data);
    return ok;
}

}  // namespace

int gformat_webp_info(FILE* file, int* width, int* height, int* kind) {
    const int ok = webp_decode(file, nullptr, width, height);
    *kind = ok ? IMG_24BIT : 0;
    return ok;
}

int gformat_webp_read(PictureBuffer* buffer, FILE* file) {
    int width, height;
    if (!buffer) return webp_fail("WebP: picture does not match the buffer");
    return webp_decode(file, buffer, &width, &height);
}
