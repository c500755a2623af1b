// image/img.h -- the in-memory raster (`Image`), views into it, and the drawing primitives.
//
// An Image is one block: a 36-byte header followed by the colour plane and the optional alpha
// plane. It holds offsets, not pointers, so an IMG file loaded whole is a ready Image.
// Rows run top to bottom, pixels left to right; 24-bit pixels are the bytes blue, green, red.
#pragma once
#include <cstdint>

#include "base/rect.h"

inline constexpr int IMG_8BIT = 1;
inline constexpr int IMG_16BIT = 2;
inline constexpr int IMG_24BIT = 3;
inline constexpr int IMG_ALPHA = 0x10;
inline constexpr int IMG_KIND_SCREEN = 0xFFFE;     // pseudo-kind: the screen's kind
inline constexpr int IMG_KIND_GREY = 0xFFFF;       // pseudo-kind: IMG_8BIT
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
    int32_t width;   // pixels right of the origin
    int32_t height;  // rows below the origin
    int32_t kind;
    uint8_t* pixels;  // origin pixel in the colour plane
    int32_t pitch;    // bytes from one colour row to the next (negative for the screen)
    uint8_t* alpha;   // origin byte in the alpha plane, or null
    int32_t alphaPitch;
};

// The seven-argument screen drawers that can serve as the tile drawer (img_draw, img_draw_shadow).
using ImgTileDrawer = void (*)(const Image* image, int x, int y, int sx, int sy, int w, int h);

// --- Creation and access ---
// Pseudo-kinds are resolved first; pixels are undefined. Released with io_mem_free as one block.
[[nodiscard]] Image* img_create(int width, int height, int kind);
void img_view(ImageView* view, const Image* image, int x, int y);  // view at (x, y) of image
void img_screen_view(ImageView* view, int x, int y);               // view of the open frame
void img_size(const Image* image, int* width, int* height);
void img_pixels(const Image* image, uint8_t** pixels, int* pitch, int* width, int* height);
int img_kind_resolve(int kind);  // pseudo-kinds to real kinds; others unchanged

// --- Pixel operations on images and views (no screen, no dirty cells) ---
void img_fill(Image* image, uint32_t value);  // 8-bit: low byte; 24-bit: 0x00RRGGBB; kind 2 untouched
void img_fill_rect(Image* image, uint32_t value, int x, int y, int w, int h);
void img_scale_values(Image* image, int factor);  // kind 1 only: v * factor / 255
void img_blit(Image* dst, int x, int y, const Image* src);
void img_blit_part(Image* dst, int dx, int dy, const Image* src, int sx, int sy, int w, int h);
void img_convert(Image* dst, const Image* src);  // same size, other kind; nothing on a size mismatch
// Copies src.width x src.height of src into dst (equal kinds), or composites a 24-bit image with
// alpha onto a 24-bit destination.
void img_view_blit(const ImageView* dst, const ImageView* src);
void img_view_convert(const ImageView* dst, const ImageView* src);
// Every point receives the (kind & 15) bytes at value; clipped to the view.
void img_line(const ImageView* view, int x0, int y0, int x1, int y1, const void* value);

// --- The darkening table: entry a * 256 + c is channel c under a shadow of strength a ---
void img_shadow_table_init();  // once at start-up, before anything is drawn
const uint8_t* img_shadow_table();

// --- Drawing to the screen (clipped to the screen and to the dirty cells of the open frame) ---
void img_draw(const Image* image, int x, int y, int sx, int sy, int w, int h);
void img_draw_all(const Image* image, int x, int y);
void img_draw_tinted(int x, int y, uint32_t colour, const Image* image, int sx, int sy, int w, int h);
void img_draw_shadow(const Image* image, int x, int y, int sx, int sy, int w, int h);
void img_draw_shadow_all(const Image* image, int x, int y);

// --- Tiles (skin frames and panels) ---
ImgTileDrawer img_set_tile_drawer(ImgTileDrawer drawer);  // returns the previous drawer
void img_draw_rect(const Image* image, const Rect* rect, int x, int y);
// Covers (x0, y0) up to but excluding (xend, yend); flag 1: one column, flag 2: one row.
void img_tile(const Image* image, const Rect* rect, int x0, int y0, int xend, int yend, int flags);

// --- Cache forms: lock the memory-file-cache entry (loading it), draw, unlock ---
void img_draw_cached(int index, int x, int y, int sx, int sy, int w, int h);
void img_draw_all_cached(int index, int x, int y);
