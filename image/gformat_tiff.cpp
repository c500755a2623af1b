// image/gformat_tiff.cpp -- TIFF through libtiff: the first picture of a file, stored top row
// first, uncompressed or LZW, JPEG or PackBits coded; grey and palette pictures of 1, 4 or 8 bits,
// RGB and RGBA of 8 bits a sample; read scanline by scanline.
//
// The file's layout is checked against the picture limits before anything is allocated for the
// picture; libtiff's allocations are capped, and its messages come to our handlers.
#include <tiffio.h>

#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "base/limits.h"
#include "image/gformat_local.h"
#include "image/pic.h"
#include "platform/io_debug.h"

namespace {

// libtiff's largest single allocation for one file (strips of compressed data).
constexpr tmsize_t TIF_ALLOC_MAX = 256 * 1024 * 1024;
// Longest scanline accepted: a full-width row of 16 samples of 8 bits.
constexpr uint64_t TIF_SCANLINE_MAX = (uint64_t)PICTURE_SIDE_MAX * 16;
// Warnings logged per file; damaged files can carry thousands of them.
constexpr int TIF_WARNING_MAX = 8;
int g_tif_warnings;

void tif_report(const char* module, const char* fmt, va_list ap) {
    char message[LOG_LINE_MAX];
    std::vsnprintf(message, sizeof message, fmt, ap);
    char text[LOG_LINE_MAX];
    std::snprintf(text, sizeof text, "%s %.*s.", module ? module : "TIFFLIB", LOG_LINE_MAX - 64, message);
    gformat_error(text);
}

void tif_error_handler(const char* module, const char* fmt, va_list ap) { tif_report(module, fmt, ap); }

void tif_warning_handler(const char* module, const char* fmt, va_list ap) {
    if (g_tif_warnings++ >= TIF_WARNING_MAX) return;
    char message[LOG_LINE_MAX];
    std::vsnprintf(message, sizeof message, fmt, ap);
    io_log("TIFF warning: %s %.*s\n", module ? module : "TIFFLIB", LOG_LINE_MAX - 64, message);
}

// Our own texts go the same way as the library's messages.
void tif_fail(const char* text, ...) __attribute__((format(printf, 1, 2)));
void tif_fail(const char* text, ...) {
    va_list ap;
    va_start(ap, text);
    tif_report("TIF:", text, ap);
    va_end(ap);
}

TIFF* tif_open(const char* path) {
    TIFFSetErrorHandler(tif_error_handler);
    TIFFSetWarningHandler(tif_warning_handler);
    g_tif_warnings = 0;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, TIF_ALLOC_MAX);
    TIFF* tif = TIFFOpenExt(path, "r", options);
    TIFFOpenOptionsFree(options);
    if (!tif) tif_fail("cannot open file");
    return tif;
}

struct TifLayout {
    int width, height, kind;
    uint16_t bits, samples, photometric;
    bool grey_palette;
    uint8_t red[256], green[256], blue[256];  // palette, high bytes of 16-bit maps
};

// The colour map into out's palette (16-bit maps by their high bytes), and whether it is grey.
bool tif_read_palette(TIFF* tif, int bits, TifLayout* out) {
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) return false;
    const int entries = 1 << bits;
    bool wide = false;
    for (int i = 0; i < entries; i++)
        wide |= red[i] > 255 || green[i] > 255 || blue[i] > 255;
    const int shift = wide ? 8 : 0;
    for (int i = 0; i < entries; i++) {
        out->red[i] = (uint8_t)(red[i] >> shift);
        out->green[i] = (uint8_t)(green[i] >> shift);
        out->blue[i] = (uint8_t)(blue[i] >> shift);
        if (out->red[i] != out->green[i] || out->red[i] != out->blue[i]) out->grey_palette = false;
    }
    return true;
}

// The picture kind a layout reads as; 0 for one the reader does not take.
int tif_kind(int bits, int samples, int photometric, bool grey_palette) {
    if (samples < 1 || (bits != 8 && samples != 1)) return 0;
    if (photometric <= PHOTOMETRIC_MINISBLACK) return IMG_8BIT;
    // Colour needs three samples of eight bits to take them from.
    if (photometric == PHOTOMETRIC_RGB && bits == 8 && samples >= 3)
        return samples == 3 ? IMG_24BIT : IMG_24BIT | IMG_ALPHA;
    if (photometric == PHOTOMETRIC_PALETTE) return grey_palette ? IMG_8BIT : bits >= 4 ? IMG_24BIT : 0;
    return 0;
}

// Checks the first directory of an open file; 1 and *out filled, or 0 after reporting.
int tif_examine(TIFF* tif, TifLayout* out) {
    std::memset(out, 0, sizeof *out);
    uint32_t width = 0, height = 0;
    uint16_t orientation = 0, bits = 0, samples = 0, compression = 0, photometric = 0, planar = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height)) {
        tif_fail("unknown error");
        return 0;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    if (orientation != ORIENTATION_TOPLEFT) {
        tif_fail("wrong orientation");
        return 0;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    if (bits != 1 && bits != 4 && bits != 8) {
        tif_fail("only 1, 4 or 8 bits per channel allowed");
        return 0;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (compression != COMPRESSION_NONE && compression != COMPRESSION_LZW &&
        compression != COMPRESSION_JPEG && compression != COMPRESSION_PACKBITS) {
        tif_fail("unsupported compression method");
        return 0;
    }
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) || photometric > PHOTOMETRIC_PALETTE) {
        tif_fail("invalid photometric");
        return 0;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    if (planar != PLANARCONFIG_CONTIG) {
        tif_fail("invalid planar configuration");
        return 0;
    }
    out->grey_palette = true;
    if (photometric == PHOTOMETRIC_PALETTE && !tif_read_palette(tif, bits, out)) {
        tif_fail("unknown error");
        return 0;
    }
    const int kind = tif_kind(bits, samples, photometric, out->grey_palette);
    const uint64_t row_bytes = ((uint64_t)width * samples * bits + 7) / 8;
    const uint64_t scanline = TIFFScanlineSize64(tif);
    if (kind == 0 || scanline < row_bytes || scanline > TIF_SCANLINE_MAX) {
        tif_fail("unknown error");
        return 0;
    }
    if (!pic_size_ok(width, height, kind)) {
        tif_fail("invalid picture size %ux%u", width, height);
        return 0;
    }
    out->width = (int)width;
    out->height = (int)height;
    out->kind = kind;
    out->bits = bits;
    out->samples = samples;
    out->photometric = photometric;
    return 1;
}

// Index x of a row of 1-, 4- or 8-bit values (8-bit values step by the samples per pixel).
inline int tif_value(const uint8_t* row, int x, int bits, int samples) {
    if (bits == 8) return row[(size_t)x * samples];
    if (bits == 4) return (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

void tif_convert_row(const TifLayout* t, const uint8_t* in, PictureBuffer* buffer, int y) {
    uint8_t* out = gformat_row(buffer, y);
    const int w = t->width, spp = t->samples, bits = t->bits;
    if (t->photometric <= PHOTOMETRIC_MINISBLACK) {
        const uint8_t invert = t->photometric == PHOTOMETRIC_MINISWHITE ? 255 : 0;
        for (int x = 0; x < w; x++) {
            const int v = tif_value(in, x, bits, spp);
            const int grey = bits == 1 ? v * 255 : bits == 4 ? v * 255 / 15 : v;
            out[x] = (uint8_t)grey ^ invert;
        }
    } else if (t->photometric == PHOTOMETRIC_RGB) {
        uint8_t* alpha = buffer->alpha ? buffer->alpha + (ptrdiff_t)y * buffer->alphaPitch : nullptr;
        for (int x = 0; x < w; x++, in += spp, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (alpha) alpha[x] = in[3];
        }
    } else if (t->grey_palette) {
        for (int x = 0; x < w; x++)
            out[x] = t->red[tif_value(in, x, bits, spp)];
    } else {
        for (int x = 0; x < w; x++, out += 3) {
            const int i = tif_value(in, x, bits, spp);
            out[0] = t->blue[i];
            out[1] = t->green[i];
            out[2] = t->red[i];
        }
    }
}

}  // namespace

int gformat_tif_info(const char* path, int* width, int* height, int* kind) {
    *width = *height = *kind = 0;
    TIFF* tif = tif_open(path);
    if (!tif) return 0;
    TifLayout* t = (TifLayout*)pic_mem_alloc(sizeof(TifLayout));
    const int ok = tif_examine(tif, t);
    TIFFClose(tif);
    if (ok) {
        *width = t->width;
        *height = t->height;
        *kind = t->kind;
    }
    pic_mem_free(t);
    return ok;
}

// The file is examined again on the handle that reads it, so it cannot change in between.
int gformat_tif_read(PictureBuffer* buffer, const char* path) {
    TIFF* tif = tif_open(path);
    if (!tif) return 0;
    TifLayout* t = (TifLayout*)pic_mem_alloc(sizeof(TifLayout));
    int ok = tif_examine(tif, t);
    if (ok && !gformat_buffer_matches(buffer, t->width, t->height, t->kind)) {
        tif_fail("unknown error");
        ok = 0;
    }
    uint8_t* scanline = ok ? (uint8_t*)pic_mem_alloc((size_t)TIFFScanlineSize64(tif)) : nullptr;
    for (int y = 0; ok && y < t->height; y++) {
        if ((y & 63) == 0) pic_progress(y, t->height);
        if (TIFFReadScanline(tif, scanline, (uint32_t)y, 0) < 0)
            ok = 0;  // the library reported it
        else
            tif_convert_row(t, scanline, buffer, y);
    }
    TIFFClose(tif);
    pic_mem_free(scanline);
    pic_mem_free(t);
    return ok;
}
