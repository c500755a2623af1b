// gui/window_shadow.cpp -- window drop shadows: mask rendering, the shared nine-patch masks and
// drawing them through the screen-darkening primitive.
//
// The shared mask of a kind is rendered once for a square window outline of 2 * (corner + 16)
// pixels, whose centre column and row lie farther than the blur radius from the frame's corner
// tiles, so they hold the exact profile of a straight edge. The patch picture repeats that centre
// column and row TILE times: it is then the exact mask of a larger window, and its middle band can
// be tiled to any length without a seam.
#include "gui/window_shadow.h"

#include <cstdint>

#include "gui/ge.h"
#include "image/img.h"
#include "image/img_scale.h"
#include "platform/io_mem.h"
#include "platform/screen.h"

namespace {

constexpr double SIGMA[2] = {2.0, 5.0};
constexpr int OFFSET[2] = {2, 6};
constexpr int CORNER[2] = {12, 16};  // corner size of the shared outline per kind
constexpr int EDGE = 32;             // edge length between the corners of the shared outline
constexpr int TILE = 64;             // repeated centre columns and rows in a patch picture
constexpr int MASK_MAX = 145;        // the darkest shadow value

struct Patch {
    Image* image;  // the expanded mask, or null until made
    int left;      // columns (and rows) before the tiled band
    int right;     // columns (and rows) after it
};

struct ShadowState {
    int radius[2];  // blur radius per kind, 0 until computed
    Patch patch[2];
} g_shadow;

}  // namespace

struct WindowShadow {
    int element;  // frame element of the outline
    int width;    // window size the record is for
    int height;
    Image* own[2];  // masks for exactly this size, per kind, or null
};

namespace {

int radius_of(int kind) {
    if (!g_shadow.radius[kind]) g_shadow.radius[kind] = img_blur_radius(SIGMA[kind]);
    return g_shadow.radius[kind];
}

// The blurred mask of an outline of width x height, padded by the blur radius on every side.
Image* render_mask(int element, int width, int height, int kind) {
    const int r = radius_of(kind);
    Image* mask = img_create(width + 2 * r, height + 2 * r, IMG_8BIT);
    img_fill(mask, 0);
    ge_shape_mask(mask, element, r, r, width, height);
    img_scale_values(mask, MASK_MAX);
    ImageView view;
    img_view(&view, mask, 0, 0);
    img_blur(&view, SIGMA[kind]);
    return mask;
}

// Index into the rendered mask for an index into the expanded picture.
int expanded_to_mask(int v, int mid) { return v < mid ? v : (v < mid + TILE ? mid : v - TILE + 1); }

void build_patch(int kind) {
    const int r = radius_of(kind);
    const int size = 2 * (CORNER[kind] + EDGE / 2);
    Image* mask = render_mask(0, size, size, kind);
    const int mid = r + size / 2;
    const int side = size + 2 * r + TILE - 1;
    Image* picture = img_create(side, side, IMG_8BIT);
    const uint8_t* src = (const uint8_t*)mask + mask->colourOffset;
    uint8_t* dst = (uint8_t*)picture + picture->colourOffset;
    for (int y = 0; y < side; y++) {
        const uint8_t* row = src + expanded_to_mask(y, mid) * mask->colourPitch;
        for (int x = 0; x < side; x++)
            dst[x] = row[expanded_to_mask(x, mid)];
        dst += picture->colourPitch;
    }
    io_mem_free(mask);
    g_shadow.patch[kind] = {picture, mid, side - mid - TILE};
}

const Patch& patch_of(int kind) {
    if (!g_shadow.patch[kind].image) build_patch(kind);
    return g_shadow.patch[kind];
}

// Nine patches: fixed corners, edges tiled along their length, the centre tiled both ways.
void draw_patched(int kind, int x, int y, int width, int height) {
    const Patch& p = patch_of(kind);
    const int r = radius_of(kind);
    const int x0 = x + OFFSET[kind] - r, y0 = y + OFFSET[kind] - r;
    const int xs[4] = {x0, x0 + p.left, x0 + width + 2 * r - p.right, x0 + width + 2 * r};
    const int ys[4] = {y0, y0 + p.left, y0 + height + 2 * r - p.right, y0 + height + 2 * r};
    const int src[3] = {0, p.left, p.left + TILE};
    const int len[3] = {p.left, TILE, p.right};
    ImgTileDrawer previous = img_set_tile_drawer(img_draw_shadow);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) {
            const Rect rect{src[j], src[i], len[j], len[i]};
            img_tile(p.image, &rect, xs[j], ys[i], xs[j + 1], ys[i + 1], 0);
        }
    img_set_tile_drawer(previous);
}

void free_own(WindowShadow* shadow) {
    for (Image*& mask : shadow->own) {
        io_mem_free(mask);
        mask = nullptr;
    }
}

}  // namespace

WindowShadow* window_shadow_create(int element, int width, int height) {
    auto* shadow = (WindowShadow*)io_mem_alloc(sizeof(WindowShadow));
    *shadow = {element, width, height, {nullptr, nullptr}};
    return shadow;
}

void window_shadow_resize(WindowShadow* shadow, int width, int height) {
    if (shadow->width == width && shadow->height == height) return;
    free_own(shadow);
    shadow->width = width;
    shadow->height = height;
}

void window_shadow_free(WindowShadow* shadow) {
    if (!shadow) return;
    free_own(shadow);
    io_mem_free(shadow);
}

void window_shadow_draw(WindowShadow* shadow, int kind, int x, int y) {
    const int w = shadow->width, h = shadow->height, r = radius_of(kind);
    if (w <= 0 || h <= 0) return;
    const int x0 = x + OFFSET[kind] - r, y0 = y + OFFSET[kind] - r;
    if (!screen_is_dirty(x0, y0, w + 2 * r, h + 2 * r)) return;
    const int minSize = 2 * (CORNER[kind] + EDGE / 2);
    if (shadow->element == 0 && w >= minSize && h >= minSize) {
        draw_patched(kind, x, y, w, h);
        return;
    }
    if (!shadow->own[kind]) shadow->own[kind] = render_mask(shadow->element, w, h, kind);
    img_draw_shadow_all(shadow->own[kind], x0, y0);
}

int window_shadow_extent(int kind) { return OFFSET[kind] + radius_of(kind); }

void window_shadow_prepare() {
    patch_of(SHADOW_SMALL);
    patch_of(SHADOW_LARGE);
}

void window_shadow_done() {
    for (Patch& p : g_shadow.patch) {
        io_mem_free(p.image);
        p = {};
    }
}
