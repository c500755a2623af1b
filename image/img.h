// image/img.h -- the in-memory raster (`Image`), views into it, and the drawing primitives.
//
// An Image is one block: a 36-byte header followed by the colour plane and the optional alpha
// plane. It holds offsets, not pointers, so an IMG file loaded whole is a ready Image.
// Rows run top to bottom, pixels left to right; 24-bit pixels are the bytes blue, green, red.
#pragma once
#include <cstdint>

inline constexpr int IMG_8BIT = 1;
inline constexpr int IMG_16BIT = 2;
inline constexpr int IMG_24BIT = 3;
inline constexpr int IMG_ALPHA = 0x10;
inline constexpr int IMG_KIND_SCREEN = 0xFFFE;  // pseudo-kind: the screen's kind
inline constexpr int IMG_KIND_GREY = 0xFFFF;    // pseudo-kind: IMG_8BIT
inline constexpr uint32_t IMG_MAGIC = 0x00474D49;  // "IMG\0"
inline constexpr int IMG_HEADER_SIZE = 36;

struct Image {
    uint32_t magic;        // IMG_MAGIC
    int32_t width;         // pixels
    int32_t height;        // pixels
    int32_t kind;          // 1, 2, 3 or 0x13; never a pseudo-kind
    int32_t colourOffset;  // bytes from the record start to the colour plane (36)
    int32_t colourPitch;   // bytes per colour row, (kind & 15) * width
    int32_t alphaOffset;   // bytes from the record start to the alpha plane, 0 when none
    int32_t alphaPitch;    // bytes per alpha row, ((kind >> 4) & 15) * width
    int32_t reserved;      // 0
};
static_assert(sizeof(Image) == IMG_HEADER_SIZE, "the Image header is a file layout");

// A rectangle of pixels inside an Image, a picture buffer or the screen. Routines trust the
// width and height and do no clipping of their own.
struct ImageView {
    int32_t width;      // pixels right of the origin
    int32_t height;     // rows below the origin
    int32_t kind;
    uint8_t* pixels;    // origin pixel in the colour plane
    int32_t pitch;      // bytes from one colour row to the next (negative for the screen)
    uint8_t* alpha;     // origin byte in the alpha plane, or null
    int32_t alphaPitch;
};
