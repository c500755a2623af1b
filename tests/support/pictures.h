// tests/support/pictures.h -- an Image owned by a test, with byte-level access.
#pragma once
#include <cstring>
#include <vector>

#include "image/img.h"
#include "platform/io_mem.h"

// The pixel (x, y) of a view: 0x00RRGGBB for 24-bit, the byte for grey.
inline uint32_t view_pixel(const ImageView& v, int x, int y) {
    const uint8_t* p = v.pixels + (ptrdiff_t)y * v.pitch + x * (v.kind & 15);
    return (v.kind & 15) == 1 ? p[0] : (uint32_t)(p[0] | p[1] << 8 | p[2] << 16);
}

struct Pic {
    Image* im;
    Pic(int w, int h, int kind) : im(img_create(w, h, kind)) {}
    explicit Pic(Image* adopted) : im(adopted) {}  // may be null
    ~Pic() { io_mem_free(im); }
    Pic(const Pic&) = delete;
    Pic& operator=(const Pic&) = delete;
    ImageView view(int x = 0, int y = 0) const {
        ImageView v;
        img_view(&v, im, x, y);
        return v;
    }
    uint8_t* at(int x, int y) const { return view(x, y).pixels; }
    uint32_t pixel(int x, int y) const { return view_pixel(view(), x, y); }
    std::vector<uint8_t> plane() const {
        return std::vector<uint8_t>(at(0, 0), at(0, 0) + (size_t)im->colourPitch * im->height);
    }
    void set(const std::vector<uint8_t>& bytes) const { std::memcpy(at(0, 0), bytes.data(), bytes.size()); }
};
