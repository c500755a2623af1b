// tests/image/pic_samples.h -- picture files made by the tests: BMP files laid out by hand, TIFF
// files written by libtiff, JPEG files from our encoder, and decoding them through the codecs.
#pragma once
#include <png.h>
#include <tiffio.h>

#include <csetjmp>
#include <memory>
#include <string>
#include <vector>

#include "image/gformat.h"
#include "image/pic.h"
#include "support/files.h"

namespace pic_samples {

struct PicRelease {
    void operator()(PictureBuffer* b) const { pic_release(b); }
};
using PicPtr = std::unique_ptr<PictureBuffer, PicRelease>;  // released when it goes

// A path in this test program's scratch folder.
inline std::string temp_path(const std::string& name) {
    static TempDir dir;
    return dir / name;
}

// The parts of a BMP file; `build` lays them out with the right offsets.
struct BmpSpec {
    int header_size = 40;  // 12, 40, 64, 108 or 124 are read
    int32_t width = 1, height = 1;
    int planes = 1, bits = 24;
    uint32_t compression = 0;
    uint32_t colours_used = 0;
    Bytes palette;                // already in the entry size of the header
    std::vector<uint32_t> masks;  // after the palette, or inside a header of 108 bytes or more
    Bytes data;                   // pixel data as stored

    Bytes build() const {
        Bytes b = {'B', 'M'};
        const bool inside = header_size >= 108;
        const uint32_t offset =
            14 + header_size + (uint32_t)palette.size() + (inside ? 0 : 4 * (uint32_t)masks.size());
        for (uint32_t v : {offset + (uint32_t)data.size(), 0u, offset, (uint32_t)header_size})
            put32(&b, v);
        auto side = header_size == 12 ? put16 : put32;
        side(&b, (uint32_t)width);
        side(&b, (uint32_t)height);
        put16(&b, (uint32_t)planes);
        put16(&b, (uint32_t)bits);
        if (header_size != 12) {
            for (uint32_t v : {compression, (uint32_t)data.size(), 2835u, 2835u, colours_used, 0u})
                put32(&b, v);
            b.resize(14 + header_size, 0);
        }
        for (size_t i = 0; inside && i < masks.size(); i++)
            set32(&b, 14 + 40 + 4 * i, masks[i]);
        b.insert(b.end(), palette.begin(), palette.end());
        for (uint32_t m : masks)
            if (!inside) put32(&b, m);
        b.insert(b.end(), data.begin(), data.end());
        return b;
    }
};

// A 4-byte palette of colours 0x00RRGGBB.
inline Bytes palette4(const std::vector<uint32_t>& colours) {
    Bytes p;
    for (uint32_t c : colours)
        put32(&p, c & 0xFFFFFF);
    return p;
}

// The pixel (x, y) of a buffer: 0x00RRGGBB for 24-bit, the word for 16-bit, the byte for grey.
inline uint32_t pixel_of(const PictureBuffer* b, int x, int y) {
    const uint8_t* p = b->pixels + y * b->pitch + (b->kind & 15) * x;
    const int bytes = b->kind & 15;
    return bytes == 1 ? p[0] : bytes == 2 ? p[0] | p[1] << 8 : p[0] | p[1] << 8 | p[2] << 16;
}

// Runs info, create and read; null when any step fails.
template <class Source>
PicPtr decode_with(int (*info)(Source, int*, int*, int*), int (*read)(PictureBuffer*, Source),
                   Source source) {
    int w, h, kind;
    if (!info(source, &w, &h, &kind)) return nullptr;
    PicPtr b(pic_create(w, h, kind));
    if (b && !read(b.get(), source)) b.reset();
    return b;
}
inline PicPtr decode_file(const Bytes& bytes, bool jpeg) {
    FILE* f = file_of(bytes);
    PicPtr b = jpeg ? decode_with(gformat_jpg_info, gformat_jpg_read, f)
                    : decode_with(gformat_bmp_info, gformat_bmp_read, f);
    std::fclose(f);
    return b;
}
inline PicPtr decode_bmp(const Bytes& bytes) { return decode_file(bytes, false); }
inline PicPtr decode_jpg(const Bytes& bytes) { return decode_file(bytes, true); }
inline PicPtr decode_tif(const std::string& path) {
    return decode_with(gformat_tif_info, gformat_tif_read, path.c_str());
}

// A PNG written by libpng from rows packed as the format stores them (16-bit samples high byte
// first); without rows only the signature and the header are written.
struct PngSpec {
    int width = 1, height = 1, colour_type = PNG_COLOR_TYPE_RGB, bits = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    Bytes transparency, rows;  // tRNS entries of a palette; all rows
};

inline Bytes encode_png(const PngSpec& s) {
    FILE* f = std::tmpfile();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, f);
        png_set_IHDR(png, info, s.width, s.height, s.bits, s.colour_type, s.interlaced, 0, 0);
        if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), (int)s.palette.size());
        if (!s.transparency.empty())
            png_set_tRNS(png, info, s.transparency.data(), (int)s.transparency.size(), nullptr);
        png_write_info(png, info);
        for (int pass = png_set_interlace_handling(png); pass > 0 && !s.rows.empty(); pass--)
            for (int y = 0; y < s.height; y++)
                png_write_row(png, s.rows.data() + y * (s.rows.size() / s.height));
        if (!s.rows.empty()) png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    Bytes bytes = file_bytes(f);
    std::fclose(f);
    return bytes;
}

// A detailed colour picture: gradients, a checker and a diagonal, different in every channel.
inline PicPtr sample_picture(int w, int h, int kind = 3) {
    PicPtr b(pic_create(w, h, kind));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = b->pixels + y * b->pitch + (kind & 15) * x;
            p[0] = (uint8_t)(x * 255 / (w > 1 ? w - 1 : 1));
            if ((kind & 15) >= 3) {
                p[1] = (uint8_t)(y * 255 / (h > 1 ? h - 1 : 1));
                p[2] = (uint8_t)(((x + y) & 0xFF) / 2 + ((x / 8 + y / 8) & 1) * 40 + 40);
            }
            if (b->alpha) b->alpha[y * b->alphaPitch + x] = (uint8_t)(x ^ y);
        }
    return b;
}

inline Bytes encode_jpg(const PicPtr& b, int quality) {
    FILE* f = std::tmpfile();
    const Bytes bytes = gformat_jpg_write(f, b.get(), quality) ? file_bytes(f) : Bytes();
    std::fclose(f);
    return bytes;
}

// The TIFF fields a test sets; zero fields are left out so the library's defaults apply.
struct TifSpec {
    uint32_t width = 1, height = 1;
    uint16_t bits = 8, samples = 1, photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t orientation = 0, planar = PLANARCONFIG_CONTIG;
    std::vector<uint16_t> red, green, blue;  // colour map for palettes
    std::vector<Bytes> rows;                 // one packed row each; height follows when set
    bool extra_alpha = false;                // mark the fourth sample as unassociated alpha
    bool big_endian = false;                 // "MM" byte order instead of the host's
};

inline bool write_tif(const std::string& path, const TifSpec& s) {
    TIFF* tif = TIFFOpen(path.c_str(), s.big_endian ? "wb" : "w");
    if (!tif) return false;
    const uint32_t height = s.rows.empty() ? s.height : (uint32_t)s.rows.size();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, s.compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, s.planar);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2u);
    if (s.orientation) TIFFSetField(tif, TIFFTAG_ORIENTATION, s.orientation);
    if (s.extra_alpha) {
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (!s.red.empty()) TIFFSetField(tif, TIFFTAG_COLORMAP, s.red.data(), s.green.data(), s.blue.data());
    bool ok = true;
    for (uint32_t y = 0; y < height && ok; y++) {
        Bytes row = s.rows[y];
        row.resize((size_t)TIFFScanlineSize(tif), 0);
        ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

}  // namespace pic_samples
