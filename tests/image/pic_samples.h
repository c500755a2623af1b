// tests/image/pic_samples.h -- picture files made by the tests: BMP files laid out by hand, TIFF
// files written by libtiff, JPEG files from our encoder, and helpers to decode them.
#pragma once
#include <tiffio.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "image/gformat.h"
#include "image/pic.h"

namespace pic_samples {

using Bytes = std::vector<uint8_t>;

// A fresh folder for this test program's files.
inline std::string temp_folder() {
    static std::string folder;
    if (folder.empty()) {
        folder =
            (std::filesystem::temp_directory_path() / ("lumavex_pic_" + std::to_string(getpid()))).string();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    return folder;
}

inline std::string temp_path(const std::string& name) { return temp_folder() + "/" + name; }

inline void write_file(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

inline Bytes read_file(const std::string& path) {
    Bytes bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

// An anonymous file holding bytes, positioned at `at`.
inline FILE* file_of(const Bytes& bytes, long at = 0) {
    FILE* f = std::tmpfile();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fseek(f, at, SEEK_SET);
    return f;
}

inline void put16(Bytes* b, uint32_t v) {
    b->push_back(v & 0xFF);
    b->push_back((v >> 8) & 0xFF);
}
inline void put32(Bytes* b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline void set32(Bytes* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++)
        (*b)[at + i] = (uint8_t)(v >> (8 * i));
}

// The parts of a BMP file; `build` lays them out with the right offsets.
struct BmpSpec {
    int header_size = 40;  // 12, 40 or 64 are read
    int32_t width = 1, height = 1;
    int planes = 1, bits = 24;
    uint32_t compression = 0;
    uint32_t colours_used = 0;
    Bytes palette;                // already in the entry size of the header
    std::vector<uint32_t> masks;  // written after the palette when not empty
    Bytes data;                   // pixel data as stored

    Bytes build() const {
        Bytes b = {'B', 'M'};
        const uint32_t offset = 14 + header_size + (uint32_t)palette.size() + 4 * (uint32_t)masks.size();
        put32(&b, offset + (uint32_t)data.size());
        put32(&b, 0);
        put32(&b, offset);
        put32(&b, (uint32_t)header_size);
        if (header_size == 12) {
            put16(&b, (uint32_t)width);
            put16(&b, (uint32_t)height);
            put16(&b, (uint32_t)planes);
            put16(&b, (uint32_t)bits);
        } else {
            put32(&b, (uint32_t)width);
            put32(&b, (uint32_t)height);
            put16(&b, (uint32_t)planes);
            put16(&b, (uint32_t)bits);
            put32(&b, compression);
            put32(&b, (uint32_t)data.size());
            put32(&b, 2835);
            put32(&b, 2835);
            put32(&b, colours_used);
            put32(&b, 0);
            b.resize(14 + header_size, 0);
        }
        b.insert(b.end(), palette.begin(), palette.end());
        for (uint32_t m : masks)
            put32(&b, m);
        b.insert(b.end(), data.begin(), data.end());
        return b;
    }
};

// A 4-byte palette of colours 0x00RRGGBB.
inline Bytes palette4(std::initializer_list<uint32_t> colours) {
    Bytes p;
    for (uint32_t c : colours) {
        p.push_back(c & 0xFF);
        p.push_back((c >> 8) & 0xFF);
        p.push_back((c >> 16) & 0xFF);
        p.push_back(0);
    }
    return p;
}

// The 24-bit pixel (x, y) of a buffer as 0x00RRGGBB.
inline uint32_t pixel_of(const PictureBuffer* b, int x, int y) {
    const uint8_t* p = b->pixels + y * b->pitch + 3 * x;
    return p[0] | (p[1] << 8) | (p[2] << 16);
}

inline uint8_t grey_of(const PictureBuffer* b, int x, int y) { return b->pixels[y * b->pitch + x]; }

// Runs info, create and read on an open file; null when any step fails.
inline PictureBuffer* decode_bmp(FILE* f) {
    int w, h, kind;
    if (!gformat_bmp_info(f, &w, &h, &kind)) return nullptr;
    PictureBuffer* b = pic_create(w, h, kind);
    if (b && !gformat_bmp_read(b, f)) {
        pic_release(b);
        return nullptr;
    }
    return b;
}
inline PictureBuffer* decode_bmp(const Bytes& bytes) {
    FILE* f = file_of(bytes);
    PictureBuffer* b = decode_bmp(f);
    std::fclose(f);
    return b;
}

inline PictureBuffer* decode_jpg(const Bytes& bytes) {
    FILE* f = file_of(bytes);
    int w, h, kind;
    PictureBuffer* b = nullptr;
    if (gformat_jpg_info(f, &w, &h, &kind)) {
        b = pic_create(w, h, kind);
        if (b && !gformat_jpg_read(b, f)) {
            pic_release(b);
            b = nullptr;
        }
    }
    std::fclose(f);
    return b;
}

inline PictureBuffer* decode_tif(const std::string& path) {
    int w, h, kind;
    if (!gformat_tif_info(path.c_str(), &w, &h, &kind)) return nullptr;
    PictureBuffer* b = pic_create(w, h, kind);
    if (b && !gformat_tif_read(b, path.c_str())) {
        pic_release(b);
        return nullptr;
    }
    return b;
}

// A detailed colour picture: gradients, a checker and a diagonal, different in every channel.
inline PictureBuffer* sample_picture(int w, int h, int kind = 3) {
    PictureBuffer* b = pic_create(w, h, kind);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = b->pixels + y * b->pitch + (kind & 15) * x;
            const int checker = ((x / 8 + y / 8) & 1) ? 40 : 0;
            p[0] = (uint8_t)(x * 255 / (w > 1 ? w - 1 : 1));
            if ((kind & 15) >= 3) {
                p[1] = (uint8_t)(y * 255 / (h > 1 ? h - 1 : 1));
                p[2] = (uint8_t)(((x + y) & 0xFF) / 2 + checker + 40);
            }
            if (b->alpha) b->alpha[y * b->alphaPitch + x] = (uint8_t)(x ^ y);
        }
    return b;
}

inline Bytes encode_jpg(const PictureBuffer* b, int quality) {
    FILE* f = std::tmpfile();
    Bytes bytes;
    if (gformat_jpg_write(f, b, quality) == 1) {
        std::fseek(f, 0, SEEK_END);
        bytes.resize((size_t)std::ftell(f));
        std::rewind(f);
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    }
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
    std::vector<Bytes> rows;                 // one packed row each
    bool extra_alpha = false;                // mark the fourth sample as unassociated alpha
    bool big_endian = false;                 // "MM" byte order instead of the host's
};

inline bool write_tif(const std::string& path, const TifSpec& s) {
    TIFF* tif = TIFFOpen(path.c_str(), s.big_endian ? "wb" : "w");
    if (!tif) return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height);
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
    for (uint32_t y = 0; y < s.height && ok; y++) {
        Bytes row = s.rows[y];
        row.resize((size_t)TIFFScanlineSize(tif), 0);
        ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

}  // namespace pic_samples
