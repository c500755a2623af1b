// image/img.cpp -- the Image record, views into it, pixel operations and the screen drawers.
//
// Sections: creation and access; pixel operations; the view blit and conversions; lines;
// the darkening table; the screen drawers over the dirty cells; tiles; cache forms.
#include "image/img.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "resources/cache.h"

// --- Creation and access ---

int img_kind_resolve(int kind) {
    if (kind == IMG_KIND_GREY) return IMG_8BIT;
    if (kind == IMG_KIND_SCREEN) return screen.bytesPerPixel > 0 ? screen.bytesPerPixel : IMG_24BIT;
    return kind;
}

Image* img_create(int width, int height, int kind) {
    kind = img_kind_resolve(kind);
    int colourBytes = kind & 15, alphaBytes = (kind >> 4) & 15;
    int32_t colourPitch, alphaPitch, planes;
    size_t colourSize, total;
    if (width < 0 || height < 0 || colourBytes == 0 || (kind & ~0xFF) ||
        __builtin_mul_overflow(width, colourBytes, &colourPitch) ||
        __builtin_mul_overflow(width, alphaBytes, &alphaPitch) ||
        __builtin_mul_overflow((size_t)colourPitch, (size_t)height, &colourSize) ||
        __builtin_add_overflow(colourPitch, alphaPitch, &planes) ||
        __builtin_mul_overflow((size_t)planes, (size_t)height, &total) ||
        total > (size_t)INT32_MAX - IMG_HEADER_SIZE)
        io_fatal("img_create: bad image %i x %i kind %i\n", width, height, kind);
    Image* image = (Image*)io_mem_alloc(IMG_HEADER_SIZE + total);
    image->magic = IMG_MAGIC;
    image->width = width;
    image->height = height;
    image->kind = kind;
    image->colourOffset = IMG_HEADER_SIZE;
    image->colourPitch = colourPitch;
    image->alphaOffset = alphaBytes ? (int32_t)(IMG_HEADER_SIZE + colourSize) : 0;
    image->alphaPitch = alphaPitch;
    image->reserved = 0;
    return image;
}

void img_view(ImageView* view, const Image* image, int x, int y) {
    uint8_t* base = (uint8_t*)image;
    view->width = image->width - x;
    view->height = image->height - y;
    view->kind = image->kind;
    view->pitch = image->colourPitch;
    view->pixels =
        base + image->colourOffset + (ptrdiff_t)y * image->colourPitch + (ptrdiff_t)x * (image->kind & 15);
    view->alphaPitch = image->alphaPitch;
    view->alpha = image->alphaOffset ? base + image->alphaOffset + (ptrdiff_t)y * image->alphaPitch +
                                           (ptrdiff_t)x * ((image->kind >> 4) & 15)
                                     : nullptr;
}

void img_screen_view(ImageView* view, int x, int y) {
    uint8_t* top = screen.buf ? screen.buf : screen_top_row();
    view->width = screen.width - x;
    view->height = screen.height - y;
    view->kind = screen.bytesPerPixel;
    view->pitch = screen.pitch;
    view->pixels = top + (ptrdiff_t)y * screen.pitch + (ptrdiff_t)x * screen.bytesPerPixel;
    view->alpha = nullptr;
    view->alphaPitch = 0;
}

void img_size(const Image* image, int* width, int* height) {
    *width = image->width;
    *height = image->height;
}

void img_pixels(const Image* image, uint8_t** pixels, int* pitch, int* width, int* height) {
    *pixels = (uint8_t*)image + image->colourOffset;
    *pitch = image->colourPitch;
    *width = image->width;
    *height = image->height;
}

// --- Pixel operations ---

namespace {

// Fills n 24-bit pixels with the bytes b, g, r: four pixels (three words) per step.
void fill_row24(uint8_t* d, int n, uint32_t colour) {
    const uint8_t b = colour & 0xFF, g = (colour >> 8) & 0xFF, r = (colour >> 16) & 0xFF;
    const uint8_t pattern[12] = {b, g, r, b, g, r, b, g, r, b, g, r};
    uint32_t words[3];
    std::memcpy(words, pattern, sizeof words);
    int i = 0;
    for (; i + 4 <= n; i += 4, d += 12)
        std::memcpy(d, words, 12);
    for (; i < n; i++, d += 3) {
        d[0] = b;
        d[1] = g;
        d[2] = r;
    }
}

void fill_view(const ImageView* v, uint32_t value) {
    if (v->width <= 0 || v->height <= 0) return;
    const int colour = v->kind & 15;
    uint8_t* row = v->pixels;
    if (colour == 1) {
        for (int y = 0; y < v->height; y++, row += v->pitch)
            std::memset(row, value & 0xFF, v->width);
    } else if (colour == 3) {
        for (int y = 0; y < v->height; y++, row += v->pitch)
            fill_row24(row, v->width, value);
    }
}

}  // namespace

void img_fill(Image* image, uint32_t value) {
    ImageView v;
    img_view(&v, image, 0, 0);
    fill_view(&v, value);
}

void img_fill_rect(Image* image, uint32_t value, int x, int y, int w, int h) {
    ImageView v;
    img_view(&v, image, x, y);
    v.width = w;
    v.height = h;
    fill_view(&v, value);
}

void img_scale_values(Image* image, int factor) {
    if (image->kind != IMG_8BIT) return;
    if (factor < 0) factor = 0;
    if (factor > 255) factor = 255;
    uint8_t table[256];
    for (int v = 0; v < 256; v++)
        table[v] = (uint8_t)(v * factor / 255);
    uint8_t* p = (uint8_t*)image + image->colourOffset;
    const size_t n = (size_t)image->colourPitch * image->height;
    for (size_t i = 0; i < n; i++)
        p[i] = table[p[i]];
}

// --- The view blit and conversions ---

namespace {

uint8_t g_shadow[65536];  // entry a * 256 + c: channel c under a shadow of strength a

inline uint8_t add_sat(int v) { return (uint8_t)(v > 255 ? 255 : v); }

// One row of a premultiplied 24-bit source with alpha over a 24-bit destination.
void composite_row(uint8_t* d, const uint8_t* s, const uint8_t* a, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4, d += 12, s += 12, a += 4) {
        uint32_t a4;
        std::memcpy(&a4, a, 4);
        if (a4 == 0xFFFFFFFFu) {
            std::memcpy(d, s, 12);
            continue;
        }
        if (a4 == 0) {
            uint32_t c[3];
            std::memcpy(c, s, 12);
            if ((c[0] | c[1] | c[2]) == 0) continue;  // transparent and black: nothing to add
        }
        for (int k = 0; k < 4; k++) {
            const uint8_t* t = g_shadow + a[k] * 256;
            uint8_t* dp = d + 3 * k;
            const uint8_t* sp = s + 3 * k;
            dp[0] = add_sat(t[dp[0]] + sp[0]);
            dp[1] = add_sat(t[dp[1]] + sp[1]);
            dp[2] = add_sat(t[dp[2]] + sp[2]);
        }
    }
    for (; i < n; i++, d += 3, s += 3, a++) {
        const uint8_t* t = g_shadow + *a * 256;
        d[0] = add_sat(t[d[0]] + s[0]);
        d[1] = add_sat(t[d[1]] + s[1]);
        d[2] = add_sat(t[d[2]] + s[2]);
    }
}

void copy_rows(const ImageView* dst, const ImageView* src, int bytesPerPixel) {
    const size_t n = (size_t)bytesPerPixel * src->width;
    uint8_t* d = dst->pixels;
    const uint8_t* s = src->pixels;
    for (int y = 0; y < src->height; y++, d += dst->pitch, s += src->pitch)
        std::memcpy(d, s, n);
}

}  // namespace

void img_view_blit(const ImageView* dst, const ImageView* src) {
    if (src->width <= 0 || src->height <= 0) return;
    if (src->kind == dst->kind && !(dst->kind & IMG_ALPHA)) {
        copy_rows(dst, src, src->kind & 15);
        return;
    }
    if ((src->kind & 15) != 3 || !(src->kind & IMG_ALPHA) || !src->alpha || (dst->kind & 15) != 3) return;
    uint8_t* d = dst->pixels;
    const uint8_t* s = src->pixels;
    const uint8_t* a = src->alpha;
    for (int y = 0; y < src->height; y++, d += dst->pitch, s += src->pitch, a += src->alphaPitch)
        composite_row(d, s, a, src->width);
}

void img_blit(Image* dst, int x, int y, const Image* src) {
    img_blit_part(dst, x, y, src, 0, 0, src->width, src->height);
}

void img_blit_part(Image* dst, int dx, int dy, const Image* src, int sx, int sy, int w, int h) {
    ImageView d, s;
    img_view(&d, dst, dx, dy);
    img_view(&s, src, sx, sy);
    s.width = w;
    s.height = h;
    img_view_blit(&d, &s);
}

void img_view_convert(const ImageView* dst, const ImageView* src) {
    const int sk = src->kind & 15, dk = dst->kind & 15;
    const int w = src->width, h = src->height;
    if (w <= 0 || h <= 0) return;
    if (sk == dk) {
        copy_rows(dst, src, sk);
        return;
    }
    uint8_t* drow = dst->pixels;
    const uint8_t* srow = src->pixels;
    if (sk == 1 && dk == 3) {
        for (int y = 0; y < h; y++, drow += dst->pitch, srow += src->pitch)
            for (int x = 0; x < w; x++)
                drow[3 * x] = drow[3 * x + 1] = drow[3 * x + 2] = srow[x];
    } else if (sk == 3 && dk == 1) {
        for (int y = 0; y < h; y++, drow += dst->pitch, srow += src->pitch)
            for (int x = 0; x < w; x++) {
                const uint8_t* p = srow + 3 * x;
                drow[x] = (uint8_t)(0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0] + 0.5);
            }
    } else if (sk == 2 && dk == 3) {
        uint8_t five[32];
        for (int f = 0; f < 32; f++)
            five[f] = (uint8_t)(f * 255 / 31);
        for (int y = 0; y < h; y++, drow += dst->pitch, srow += src->pitch)
            for (int x = 0; x < w; x++) {
                const unsigned word = srow[2 * x] | (srow[2 * x + 1] << 8);
                drow[3 * x] = five[word & 31];
                drow[3 * x + 1] = five[(word >> 5) & 31];
                drow[3 * x + 2] = five[(word >> 10) & 31];
            }
    }
}

void img_convert(Image* dst, const Image* src) {
    if (dst->width != src->width || dst->height != src->height) return;
    ImageView d, s;
    img_view(&d, dst, 0, 0);
    img_view(&s, src, 0, 0);
    img_view_convert(&d, &s);
}

// --- Lines ---

namespace {

enum : int { OUT_TOP = 1, OUT_BOTTOM = 2, OUT_RIGHT = 4, OUT_LEFT = 8 };

int outcode(int x, int y, int w, int h) {
    int code = 0;
    if (y < 0)
        code |= OUT_TOP;
    else if (y > h - 1)
        code |= OUT_BOTTOM;
    if (x > w - 1)
        code |= OUT_RIGHT;
    else if (x < 0)
        code |= OUT_LEFT;
    return code;
}

// Half away from zero, kept inside the int range so a far-off end cannot overflow the cast.
int round_coord(float v) {
    if (v > 1e9f) return 1000000000;
    if (v < -1e9f) return -1000000000;
    return (int)std::lround(v);
}

// Moves the ends onto the rectangle 0..w-1, 0..h-1; false when the segment misses it.
bool clip_line(int* x0, int* y0, int* x1, int* y1, int w, int h) {
    int c0 = outcode(*x0, *y0, w, h), c1 = outcode(*x1, *y1, w, h);
    for (int guard = 0; c0 | c1; guard++) {
        if ((c0 & c1) || guard >= 8) return false;
        const bool first = c0 != 0;
        const int code = first ? c0 : c1;
        const float fx0 = (float)*x0, fy0 = (float)*y0;
        const float slope = ((float)*y1 - fy0) / ((float)*x1 - fx0);
        int x, y;
        if (code & (OUT_TOP | OUT_BOTTOM)) {
            y = (code & OUT_TOP) ? 0 : h - 1;
            x = *x1 == *x0 ? *x0 : round_coord(((float)y - fy0) / slope + fx0);
        } else {
            x = (code & OUT_RIGHT) ? w - 1 : 0;
            y = round_coord(((float)x - fx0) * slope + fy0);
        }
        if (first) {
            *x0 = x, *y0 = y;
            c0 = outcode(x, y, w, h);
        } else {
            *x1 = x, *y1 = y;
            c1 = outcode(x, y, w, h);
        }
    }
    return true;
}

}  // namespace

void img_line(const ImageView* view, int x0, int y0, int x1, int y1, const void* value) {
    if (view->width <= 0 || view->height <= 0) return;
    if (!clip_line(&x0, &y0, &x1, &y1, view->width, view->height)) return;
    const int bpp = view->kind & 15;
    const int dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = y1 > y0 ? y1 - y0 : y0 - y1;
    const int sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
    const bool xMajor = dx >= dy;
    const int major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    int err = 2 * minor - major;
    int x = x0, y = y0;
    for (int i = 0; i <= major; i++) {
        std::memcpy(view->pixels + (ptrdiff_t)y * view->pitch + (ptrdiff_t)x * bpp, value, bpp);
        if (err >= 0) {
            if (xMajor)
                y += sy;
            else
                x += sx;
            err -= 2 * major;
        }
        err += 2 * minor;
        if (xMajor)
            x += sx;
        else
            y += sy;
    }
}

// --- The darkening table ---

void img_shadow_table_init() {
    for (int a = 0; a < 256; a++)
        for (int c = 0; c < 256; c++)
            g_shadow[a * 256 + c] = (uint8_t)std::floor((255 - a) * c * 0.00392156862745098 + 0.5);
}

const uint8_t* img_shadow_table() { return g_shadow; }

// --- Screen drawers: each call becomes one request that the dirty-span walker cuts up ---

namespace {

using SpanRoutine = void (*)(const ImageView* dst, const ImageView* src, uint32_t colour);

struct DrawRequest {
    const Image* image;
    int x, y;    // screen position of the source rectangle's top-left
    int sx, sy;  // source rectangle in the image
    int w, h;
    uint32_t colour;
    SpanRoutine span;
};

// Clips the source rectangle to the image and moves the screen position with it.
bool clip_to_image(DrawRequest* r) {
    const Image* im = r->image;
    if (r->sx < 0) r->x -= r->sx, r->w += r->sx, r->sx = 0;
    if (r->sy < 0) r->y -= r->sy, r->h += r->sy, r->sy = 0;
    if (r->w > im->width - r->sx) r->w = im->width - r->sx;
    if (r->h > im->height - r->sy) r->h = im->height - r->sy;
    return r->w > 0 && r->h > 0;
}

// Intersects one axis of the request with a run: returns the clipped length (<= 0: none).
inline int cut_axis(int pos, int len, int runPos, int runLen, int* outPos, int* srcShift) {
    if (runPos <= pos) {
        *outPos = pos;
        *srcShift = 0;
        return len < runLen - (pos - runPos) ? len : runLen - (pos - runPos);
    }
    *outPos = runPos;
    *srcShift = runPos - pos;
    return len - (runPos - pos) < runLen ? len - (runPos - pos) : runLen;
}

void draw_span(void* ctx, int rx, int ry, int rw, int rh) {
    const DrawRequest* r = (const DrawRequest*)ctx;
    int x, y, shiftX, shiftY;
    const int w = cut_axis(r->x, r->w, rx, rw, &x, &shiftX);
    const int h = cut_axis(r->y, r->h, ry, rh, &y, &shiftY);
    if (w <= 0 || h <= 0) return;
    ImageView src, dst;
    img_view(&src, r->image, r->sx + shiftX, r->sy + shiftY);
    src.width = w;
    src.height = h;
    img_screen_view(&dst, x, y);
    r->span(&dst, &src, r->colour);
}

void run_request(DrawRequest* r) {
    if (!screen.buf || !clip_to_image(r)) return;
    screen_for_each_dirty_span(r->x, r->y, r->w, r->h, draw_span, r);
}

void span_blit(const ImageView* dst, const ImageView* src, uint32_t) { img_view_blit(dst, src); }

bool fits(const ImageView* dst, const ImageView* m) {
    return m->kind == IMG_8BIT && dst->kind == IMG_24BIT && m->width <= dst->width &&
           m->height <= dst->height;
}

// Calls put(pixel, mask byte) for every destination pixel under the mask, row by row; four mask
// bytes that are all zero (which leave their pixels as they are) are stepped over at once.
template <class Put>
inline void mask_rows(const ImageView* dst, const ImageView* m, Put put) {
    uint8_t* row = dst->pixels;
    const uint8_t* mrow = m->pixels;
    for (int y = 0; y < m->height; y++, row += dst->pitch, mrow += m->pitch) {
        uint8_t* d = row;
        int x = 0;
        for (; x + 4 <= m->width; x += 4, d += 12) {
            uint32_t m4;
            std::memcpy(&m4, mrow + x, 4);
            if (m4 == 0) continue;
            for (int k = 0; k < 4; k++)
                put(d + 3 * k, mrow[x + k]);
        }
        for (; x < m->width; x++, d += 3)
            put(d, mrow[x]);
    }
}

void shadow_rows(const ImageView* dst, const ImageView* m) {
    mask_rows(dst, m, [](uint8_t* p, int a) {
        const uint8_t* t = g_shadow + a * 256;
        p[0] = t[p[0]];
        p[1] = t[p[1]];
        p[2] = t[p[2]];
    });
}

void span_shadow(const ImageView* dst, const ImageView* m, uint32_t) {
    if (fits(dst, m)) shadow_rows(dst, m);
}

inline void tint_pixel(uint8_t* d, int m, int b, int g, int r) {
    d[0] = (uint8_t)(d[0] + (((b - d[0]) * m) >> 8));
    d[1] = (uint8_t)(d[1] + (((g - d[1]) * m) >> 8));
    d[2] = (uint8_t)(d[2] + (((r - d[2]) * m) >> 8));
}

void span_tinted(const ImageView* dst, const ImageView* m, uint32_t colour) {
    if (!fits(dst, m)) return;
    if (colour == 0) {
        shadow_rows(dst, m);
        return;
    }
    const int b = colour & 0xFF, g = (colour >> 8) & 0xFF, r = (colour >> 16) & 0xFF;
    mask_rows(dst, m, [=](uint8_t* d, int a) { tint_pixel(d, a, b, g, r); });  // a = 0 keeps d
}

ImgTileDrawer g_tile_drawer = img_draw;

}  // namespace

void img_draw(const Image* image, int x, int y, int sx, int sy, int w, int h) {
    if ((image->kind & 15) != screen.bytesPerPixel) io_fatal("img_draw: jine rozliseni nez screen");
    DrawRequest r{image, x, y, sx, sy, w, h, 0, span_blit};
    run_request(&r);
}

void img_draw_all(const Image* image, int x, int y) {
    img_draw(image, x, y, 0, 0, image->width, image->height);
}

void img_draw_tinted(int x, int y, uint32_t colour, const Image* image, int sx, int sy, int w, int h) {
    if ((image->kind & 15) != IMG_8BIT) io_fatal("img_draw: jine rozliseni nez screen");
    DrawRequest r{image, x, y, sx, sy, w, h, colour, span_tinted};
    run_request(&r);
}

void img_draw_shadow(const Image* image, int x, int y, int sx, int sy, int w, int h) {
    if (image->kind != IMG_8BIT) io_fatal("img_draw_shadow: stin by mel byt IMG_8BIT");
    DrawRequest r{image, x, y, sx, sy, w, h, 0, span_shadow};
    run_request(&r);
}

void img_draw_shadow_all(const Image* image, int x, int y) {
    img_draw_shadow(image, x, y, 0, 0, image->width, image->height);
}

// --- Tiles ---

ImgTileDrawer img_set_tile_drawer(ImgTileDrawer drawer) {
    ImgTileDrawer previous = g_tile_drawer;
    g_tile_drawer = drawer;
    return previous;
}

void img_draw_rect(const Image* image, const Rect* rect, int x, int y) {
    g_tile_drawer(image, x, y, rect->x, rect->y, rect->w, rect->h);
}

void img_tile(const Image* image, const Rect* rect, int x0, int y0, int xend, int yend, int flags) {
    const int w = rect->w, h = rect->h;
    if (w <= 0 || h <= 0) return;
    if (flags & 1) xend = x0 + w;
    if (flags & 2) yend = y0 + h;
    if (xend < 1 || yend < 1 || y0 >= yend) return;
    for (int y = y0; y < yend; y += h) {
        const int th = yend - y < h ? yend - y : h;
        for (int x = x0; x < xend; x += w) {
            const int tw = xend - x < w ? xend - x : w;
            g_tile_drawer(image, x, y, rect->x, rect->y, tw, th);
        }
    }
}

// --- Cache forms ---

void img_draw_cached(int index, int x, int y, int sx, int sy, int w, int h) {
    const Image* image = (const Image*)cache_lock(index);
    img_draw(image, x, y, sx, sy, w, h);
    cache_unlock(index);
}

void img_draw_all_cached(int index, int x, int y) {
    const Image* image = (const Image*)cache_lock(index);
    img_draw_all(image, x, y);
    cache_unlock(index);
}
