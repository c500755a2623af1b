// puzzle/piece.cpp -- drawing pieces and their shadows: the quad of a piece on the screen, the
// pixel rules over the split light tables, and the six span routines (axis-aligned or turned;
// piece, selected piece or shadow), clipped to the dirty cells of the open frame.
#include "puzzle/piece.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/io_mem.h"
#include "platform/screen.h"
#include "puzzle/light.h"
#include "puzzle/vec.h"

namespace {

const Image* g_picture;         // where pieces take their pixels from
const uint8_t* g_shadow_table;  // the darkening table of the image module

// The rows this thread draws in (pieces_draw_resting splits a large redraw into bands).
thread_local int g_band_top = 0, g_band_bottom = 1 << 30;

int round_half(double v) { return (int)(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5)); }

}  // namespace

// --- piece_quad ---

void piece_quad(const PieceShape* shape, int x, int y, int angle, int lift, int shadow, PieceQuad* out) {
    if (angle == 0 && !shadow) {  // upright: whole pixels, nothing to turn or round
        const int w = shape->piece ? shape->piece->width : 1, h = shape->piece ? shape->piece->height : 1;
        const double l = x, t = y, r = x + w - 1, b = y + h - 1;
        const double cs[4][2] = {{l, t}, {r, t}, {r, b}, {l, b}};
        std::memcpy(out->corner, cs, sizeof cs);
        out->left = x, out->top = y, out->right = x + w - 1, out->bottom = y + h - 1;
        return;
    }
    double c[4][2];
    if (!shadow) {
        const int w = shape->piece ? shape->piece->width : 1, h = shape->piece ? shape->piece->height : 1;
        const double cs[4][2] = {
            {0, 0}, {(double)w - 1, 0}, {(double)w - 1, (double)h - 1}, {0, (double)h - 1}};
        std::memcpy(c, cs, sizeof c);
    } else {
        const int sx = shape->shadowX, sy = shape->shadowY;
        const int sw = shape->shadow ? shape->shadow->width : 1,
                  sh = shape->shadow ? shape->shadow->height : 1;
        const double cs[4][2] = {{(double)sx, (double)sy},
                                 {(double)sx + sw - 1, (double)sy},
                                 {(double)sx + sw - 1, (double)sy + sh - 1},
                                 {(double)sx, (double)sy + sh - 1}};
        std::memcpy(c, cs, sizeof c);
    }
    const int px = shadow ? x + lift : x, py = shadow ? y + lift : y;
    for (int i = 0; i < 4; i++) {
        if (angle != 0) vec_rotate(c[i], angle);
        out->corner[i][0] = round_half(c[i][0] + px);
        out->corner[i][1] = round_half(c[i][1] + py);
    }
    double l = out->corner[0][0], r = l, t = out->corner[0][1], b = t;
    for (int i = 1; i < 4; i++) {
        l = std::fmin(l, out->corner[i][0]), r = std::fmax(r, out->corner[i][0]);
        t = std::fmin(t, out->corner[i][1]), b = std::fmax(b, out->corner[i][1]);
    }
    out->left = (int32_t)l, out->top = (int32_t)t, out->right = (int32_t)r, out->bottom = (int32_t)b;
}

// --- Smaller levels ---
//
// A table seen from afar draws its pieces from halved images, so that every screen pixel stands
// for a few texels averaged rather than one texel picked: the picture halved by 2 x 2 averages,
// and per shape the piece codes and the shadow halved alike. A halved piece code covers the
// average of its four texels; it is flat only when all four are, and otherwise lit by the normal
// of its most covered lit texel (the flat normal when none is lit), so the bevel stays a bevel.

namespace {

Image* g_picture_levels[SHAPE_LEVELS];  // the picture halved 1..SHAPE_LEVELS times, made when asked

void free_picture_levels() {
    for (Image*& level : g_picture_levels) {
        io_mem_free(level);
        level = nullptr;
    }
}

uint16_t code_at(const Image* im, int u, int v) {
    if (u >= im->width || v >= im->height) return 0;
    uint16_t c;
    std::memcpy(&c, (const uint8_t*)im + im->colourOffset + (ptrdiff_t)v * im->colourPitch + u * 2, 2);
    return c;
}

Image* halve_codes(const Image* src) {
    const int w = (src->width + 1) / 2, h = (src->height + 1) / 2;
    Image* out = img_create(w, h, IMG_16BIT);
    uint8_t* row = (uint8_t*)out + out->colourOffset;
    for (int y = 0; y < h; y++, row += out->colourPitch)
        for (int x = 0; x < w; x++) {
            int flat = 0, sum = 0, normal = 0, strongest = 0;
            for (int k = 0; k < 4; k++) {
                const unsigned q = code_at(src, 2 * x + (k & 1), 2 * y + (k >> 1));
                if (q & PIECE_CODE_FLAT) {
                    flat++, sum += 31;
                } else if (q != 0) {
                    sum += q & 31;
                    if ((int)(q & 31) > strongest) strongest = q & 31, normal = (q >> 5) & 1023;
                }
            }
            const int cover = (sum + 2) / 4;
            const uint16_t code = flat == 4    ? PIECE_CODE_FLAT
                                  : cover == 0 ? 0
                                               : (uint16_t)(normal << 5 | cover);
            std::memcpy(row + 2 * x, &code, 2);
        }
    return out;
}

// Bytes of `channels` per pixel halved by 2 x 2 averages; texels beyond the edge repeat the last.
Image* halve_bytes(const Image* src, int kind, int channels) {
    const int w = (src->width + 1) / 2, h = (src->height + 1) / 2;
    Image* out = img_create(w, h, kind);
    const uint8_t* in = (const uint8_t*)src + src->colourOffset;
    uint8_t* row = (uint8_t*)out + out->colourOffset;
    for (int y = 0; y < h; y++, row += out->colourPitch) {
        const uint8_t* r0 = in + (ptrdiff_t)(2 * y) * src->colourPitch;
        const uint8_t* r1 = 2 * y + 1 < src->height ? r0 + src->colourPitch : r0;
        for (int x = 0; x < w; x++) {
            const int a = 2 * x * channels, b = 2 * x + 1 < src->width ? a + channels : a;
            for (int c = 0; c < channels; c++)
                row[x * channels + c] = (uint8_t)((r0[a + c] + r0[b + c] + r1[a + c] + r1[b + c] + 2) >> 2);
        }
    }
    return out;
}

// The shadow halved: a missing texel beyond the edge casts no shadow.
Image* halve_alpha(const Image* src) {
    const int w = (src->width + 1) / 2, h = (src->height + 1) / 2;
    Image* out = img_create(w, h, IMG_8BIT);
    const uint8_t* in = (const uint8_t*)src + src->colourOffset;
    uint8_t* row = (uint8_t*)out + out->colourOffset;
    for (int y = 0; y < h; y++, row += out->colourPitch)
        for (int x = 0; x < w; x++) {
            int sum = 0;
            for (int k = 0; k < 4; k++) {
                const int u = 2 * x + (k & 1), v = 2 * y + (k >> 1);
                if (u < src->width && v < src->height) sum += in[(ptrdiff_t)v * src->colourPitch + u];
            }
            row[x] = (uint8_t)((sum + 2) / 4);
        }
    return out;
}

}  // namespace

const Image* piece_level(const PieceShape* shape, int shadow, int level) {
    const Image* im = shadow ? shape->shadow : shape->piece;
    if (level <= 0 || !im) return im;
    if (level > SHAPE_LEVELS) level = SHAPE_LEVELS;
    // The levels are a cache of the shape's own images, filled on first use.
    Image** levels = const_cast<Image**>(shadow ? shape->shadowLevels : shape->pieceLevels);
    for (int l = 1; l <= level; l++) {
        if (!levels[l - 1]) levels[l - 1] = shadow ? halve_alpha(im) : halve_codes(im);
        im = levels[l - 1];
    }
    return im;
}

const Image* piece_picture_level(int level) {
    const Image* im = g_picture;
    if (level <= 0 || !im || (im->kind & 15) != IMG_24BIT) return im;
    if (level > SHAPE_LEVELS) level = SHAPE_LEVELS;
    for (int l = 1; l <= level; l++) {
        if (!g_picture_levels[l - 1]) g_picture_levels[l - 1] = halve_bytes(im, IMG_24BIT, 3);
        im = g_picture_levels[l - 1];
    }
    return im;
}

int piece_level_for(const PieceQuad* quad, int width, int height) {
    // Screen pixels per texel along the image's top edge (or its left edge for a one-pixel-wide
    // image); the level whose texels come nearest to one screen pixel.
    const double ax = quad->corner[1][0] - quad->corner[0][0], ay = quad->corner[1][1] - quad->corner[0][1];
    const double bx = quad->corner[3][0] - quad->corner[0][0], by = quad->corner[3][1] - quad->corner[0][1];
    const double scale = width > 1    ? std::sqrt(ax * ax + ay * ay) / (width - 1)
                         : height > 1 ? std::sqrt(bx * bx + by * by) / (height - 1)
                                      : 1.0;
    if (!(scale > 0) || scale >= 1.0) return 0;
    const int level = (int)std::floor(std::log2(1.0 / scale) + 0.5);
    return level < 0 ? 0 : level > SHAPE_LEVELS ? SHAPE_LEVELS : level;
}

// --- piece_draw ---

void piece_set_band(int top, int bottom) { g_band_top = top, g_band_bottom = bottom; }

void piece_set_picture(const Image* picture) {
    if (picture != g_picture) free_picture_levels();
    g_picture = picture;
}

namespace {

// What one piece_draw call hands to the span routines.
struct Draw {
    const uint16_t* codes;  // piece codes, or null for a shadow
    const uint8_t* alpha;   // shadow strengths
    int w, h;               // of the image drawn
    const uint8_t* pic;     // picture pixel of texel (0, 0)
    int pic_pitch;
    int rot;    // rotation term
    int angle;  // 0..359
    bool axis, selected;
    const PieceQuad* quad;
    int ax, ay;  // corner 0 (texel (0, 0)) of an axis-aligned quad
    // Rotated quads: the two chains of edges going down from the top corner.
    int top;
    double cx[4], cy[4], cu[4], cv[4];
};

// --- Pixel rules ---

// A selected piece's red byte, raised half-way to 255: the selection shows as a red tint and the
// picture on the piece stays readable.
inline uint8_t raised(uint8_t red) { return (uint8_t)((red + 255) >> 1); }

template <bool SELECTED>
inline void put_piece(uint8_t* d, const uint8_t* p, unsigned q, int rot) {
    if (q == 0) return;
    if (q & 0x8000) {
        d[0] = p[0], d[1] = p[1], d[2] = SELECTED ? raised(p[2]) : p[2];
        return;
    }
    // The light step of the turned normal, then the lit byte, its coverage, and the screen
    // byte's share (puzzle/light.h).
    const uint8_t* lit = light_lit + light_step[((q + rot) >> 5) & 1023] * 256;
    if ((q & 31) == 31) {  // fully covered: nothing of the screen byte remains, the lit byte is whole
        d[0] = lit[p[0]], d[1] = lit[p[1]], d[2] = lit[SELECTED ? raised(p[2]) : p[2]];
        return;
    }
    const unsigned c = (q & 31) * 256;
    const uint8_t* cover = light_cover + c;
    const uint8_t* blend = light_blend + c;
    d[0] = (uint8_t)(blend[d[0]] + cover[lit[p[0]]]);
    d[1] = (uint8_t)(blend[d[1]] + cover[lit[p[1]]]);
    d[2] = (uint8_t)(blend[d[2]] + cover[lit[SELECTED ? raised(p[2]) : p[2]]]);
}

inline void put_shadow(uint8_t* d, unsigned a) {
    if (a == 0) return;
    const uint8_t* s = g_shadow_table + a * 256;
    d[0] = s[d[0]], d[1] = s[d[1]], d[2] = s[d[2]];
}

// --- The six span routines ---

// The end of the run of codes from i on that are 0 (flat false) or have bit 15 set (flat true).
inline int run_end(const uint16_t* q, int i, int n, bool flat) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128((const __m128i*)(q + i));
        const __m128i hit = flat ? _mm_srai_epi16(v, 15) : _mm_cmpeq_epi16(v, zero);
        const unsigned mask = (unsigned)_mm_movemask_epi8(hit);
        if (mask != 0xFFFF) return i + __builtin_ctz(~mask) / 2;
    }
#endif
    if (flat)
        while (i < n && (q[i] & 0x8000))
            i++;
    else
        while (i < n && q[i] == 0)
            i++;
    return i;
}

// Axis-aligned piece: n pixels, source codes and picture stepping by constant strides. Unturned
// rows (the common case at rest) skip transparent runs and copy flat runs whole.
template <bool SELECTED>
void span_piece_axis(uint8_t* d, const uint16_t* q, ptrdiff_t qstep, const uint8_t* p, ptrdiff_t pstep, int n,
                     int rot) {
    if (qstep != 1 || SELECTED) {
        for (int i = 0; i < n; i++, d += 3, q += qstep, p += pstep)
            put_piece<SELECTED>(d, p, *q, rot);
        return;
    }
    int i = 0;
    while (i < n) {
        const unsigned c = q[i];
        if (c == 0) {
            i = run_end(q, i + 1, n, false);
        } else if (c & 0x8000) {
            const int j = run_end(q, i + 1, n, true);
            std::memcpy(d + 3 * i, p + 3 * i, (size_t)(j - i) * 3);
            i = j;
        } else {
            put_piece<false>(d + 3 * i, p + 3 * i, c, rot);
            i++;
        }
    }
}

// Rotated piece: texels by 16.16 steps, nearest texel.
template <bool SELECTED>
void span_piece_rotated(uint8_t* d, const Draw* k, int32_t u, int32_t v, int32_t du, int32_t dv, int n) {
    for (int i = 0; i < n; i++, d += 3, u += du, v += dv) {
        const int tu = u >> 16, tv = v >> 16;
        put_piece<SELECTED>(d, k->pic + (ptrdiff_t)tv * k->pic_pitch + tu * 3, k->codes[tv * k->w + tu],
                            k->rot);
    }
}

void span_shadow_axis(uint8_t* d, const uint8_t* a, ptrdiff_t astep, int n) {
    for (int i = 0; i < n; i++, d += 3, a += astep)
        put_shadow(d, *a);
}

void span_shadow_rotated(uint8_t* d, const Draw* k, int32_t u, int32_t v, int32_t du, int32_t dv, int n) {
    for (int i = 0; i < n; i++, d += 3, u += du, v += dv)
        put_shadow(d, k->alpha[(v >> 16) * k->w + (u >> 16)]);
}

inline uint8_t* screen_at(int x, int y) {
    return screen.buf + (ptrdiff_t)y * screen.pitch + (ptrdiff_t)x * 3;
}

// Prefetches rows of bytes (rows apart by pitch) into the second-level cache.
void prefetch_block(const void* first, int rows, size_t bytes, ptrdiff_t pitch) {
    for (int r = 0; r < rows; r++) {
        const char* row = (const char*)first + r * pitch;
        for (size_t i = 0; i < bytes + 63; i += 64)
            __builtin_prefetch(row + i, 0, 2);
    }
}

// Axis-aligned: texel of screen (x, y) for the four quarter turns about corner 0:
//   0: (x - ax, y - ay)   90: (ay - y, x - ax)   180: (ax - x, ay - y)   270: (y - ay, ax - x)
void draw_axis(const Draw* k, int x0, int y0, int x1, int y1) {
    const int n = x1 - x0 + 1;
    for (int y = y0; y <= y1; y++) {
        int u, v, du, dv;
        switch (k->angle) {
            case 0:
                u = x0 - k->ax, v = y - k->ay, du = 1, dv = 0;
                break;
            case 90:
                u = k->ay - y, v = x0 - k->ax, du = 0, dv = 1;
                break;
            case 180:
                u = k->ax - x0, v = k->ay - y, du = -1, dv = 0;
                break;
            default:
                u = y - k->ay, v = k->ax - x0, du = 0, dv = -1;
                break;
        }
        uint8_t* d = screen_at(x0, y);
        if (k->codes) {
            const uint16_t* q = k->codes + v * k->w + u;
            const uint8_t* p = k->pic + (ptrdiff_t)v * k->pic_pitch + u * 3;
            const ptrdiff_t qstep = du + (ptrdiff_t)dv * k->w, pstep = du * 3 + (ptrdiff_t)dv * k->pic_pitch;
            if (k->selected)
                span_piece_axis<true>(d, q, qstep, p, pstep, n, k->rot);
            else
                span_piece_axis<false>(d, q, qstep, p, pstep, n, k->rot);
        } else {
            span_shadow_axis(d, k->alpha + v * k->w + u, du + (ptrdiff_t)dv * k->w, n);
        }
    }
}

// Position on the chain that runs from the top corner in direction dir (+1 right, -1 left) at
// row y; false when no edge going down covers y.
bool chain_at(const Draw* k, int dir, double y, double* x, double* u, double* v) {
    int a = k->top;
    for (int e = 0; e < 3; e++) {
        const int b = (a + dir + 4) & 3;
        if (k->cy[b] > k->cy[a] && y >= k->cy[a] && y <= k->cy[b]) {
            const double t = (y - k->cy[a]) / (k->cy[b] - k->cy[a]);
            *x = k->cx[a] + (k->cx[b] - k->cx[a]) * t;
            *u = k->cu[a] + (k->cu[b] - k->cu[a]) * t;
            *v = k->cv[a] + (k->cv[b] - k->cv[a]) * t;
            return true;
        }
        a = b;
    }
    return false;
}

inline double clampd(double v, double hi) { return v < 0 ? 0 : (v > hi ? hi : v); }

void draw_rotated(const Draw* k, int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; y++) {
        double xl, ul, vl, xr, ur, vr;
        if (!chain_at(k, -1, y, &xl, &ul, &vl) || !chain_at(k, 1, y, &xr, &ur, &vr)) continue;
        const int il = round_half(xl), ir = round_half(xr);
        if (ir < il) continue;
        ul = clampd(ul, k->w - 1), ur = clampd(ur, k->w - 1);
        vl = clampd(vl, k->h - 1), vr = clampd(vr, k->h - 1);
        const double du = ir > il ? (ur - ul) / (ir - il) : 0.0, dv = ir > il ? (vr - vl) / (ir - il) : 0.0;
        const int xs = il > x0 ? il : x0, xe = ir < x1 ? ir : x1;
        if (xe < xs) continue;
        const int32_t u = (int32_t)((ul + (xs - il) * du) * 65536.0) + 32768;
        const int32_t v = (int32_t)((vl + (xs - il) * dv) * 65536.0) + 32768;
        const int32_t idu = (int32_t)(du * 65536.0), idv = (int32_t)(dv * 65536.0);
        uint8_t* d = screen_at(xs, y);
        const int n = xe - xs + 1;
        if (!k->codes)
            span_shadow_rotated(d, k, u, v, idu, idv, n);
        else if (k->selected)
            span_piece_rotated<true>(d, k, u, v, idu, idv, n);
        else
            span_piece_rotated<false>(d, k, u, v, idu, idv, n);
    }
}

// One run of dirty cells: clip to the quad's rectangle and the screen, then draw its rows.
void draw_run(void* ctx, int x, int y, int w, int h) {
    const Draw* k = (const Draw*)ctx;
    const PieceQuad* q = k->quad;
    int x0 = x > q->left ? x : q->left, y0 = y > q->top ? y : q->top;
    int x1 = x + w - 1 < q->right ? x + w - 1 : q->right;
    int y1 = y + h - 1 < q->bottom ? y + h - 1 : q->bottom;
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > screen.width - 1) x1 = screen.width - 1;
    if (y1 > screen.height - 1) y1 = screen.height - 1;
    if (x0 > x1 || y0 > y1) return;
    if (k->axis)
        draw_axis(k, x0, y0, x1, y1);
    else
        draw_rotated(k, x0, y0, x1, y1);
}

// The image drawn and where its texels come from (the picture's level of the image's level);
// false when a piece's texels do not all lie inside the picture.
bool draw_source(Draw* k, const Image* im, int homeX, int homeY, int shadow, int level) {
    k->w = im->width;
    k->h = im->height;
    if (shadow) {
        k->alpha = (const uint8_t*)im + im->colourOffset;
        if (!g_shadow_table) g_shadow_table = img_shadow_table();
        return true;
    }
    const Image* pic = piece_picture_level(level);
    homeX >>= level, homeY >>= level;
    if (!pic || (pic->kind & 15) != IMG_24BIT || homeX < 0 || homeY < 0 || homeX + k->w > pic->width ||
        homeY + k->h > pic->height)
        return false;
    k->codes = (const uint16_t*)((const uint8_t*)im + im->colourOffset);
    k->pic_pitch = pic->colourPitch;
    k->pic = (const uint8_t*)pic + pic->colourOffset + (ptrdiff_t)homeY * k->pic_pitch + (ptrdiff_t)homeX * 3;
    return true;
}

// The quad's corners with their texture positions, the top corner the scan starts from, and
// corner 0 for axis-aligned draws.
void draw_corners(Draw* k, const PieceQuad* quad) {
    const double tu[4] = {0, (double)k->w - 1, (double)k->w - 1, 0},
                 tv[4] = {0, 0, (double)k->h - 1, (double)k->h - 1};
    double best = 100000;
    for (int i = 0; i < 4; i++) {
        k->cx[i] = quad->corner[i][0], k->cy[i] = quad->corner[i][1];
        k->cu[i] = tu[i], k->cv[i] = tv[i];
        if (k->cy[i] < (int)best) best = k->cy[i], k->top = i;
    }
    k->ax = (int)quad->corner[0][0];
    k->ay = (int)quad->corner[0][1];
}

// Narrows clip to the image of an axis-aligned draw, whatever the quad's rectangle says; false
// when nothing is left.
bool clip_to_image(const Draw* k, PieceQuad* clip) {
    int l, t, r, b;
    switch (k->angle) {
        case 0:
            l = k->ax, t = k->ay, r = k->ax + k->w - 1, b = k->ay + k->h - 1;
            break;
        case 90:
            l = k->ax, t = k->ay - k->w + 1, r = k->ax + k->h - 1, b = k->ay;
            break;
        case 180:
            l = k->ax - k->w + 1, t = k->ay - k->h + 1, r = k->ax, b = k->ay;
            break;
        default:
            l = k->ax - k->h + 1, t = k->ay, r = k->ax, b = k->ay + k->w - 1;
            break;
    }
    clip->left = clip->left > l ? clip->left : l;
    clip->top = clip->top > t ? clip->top : t;
    clip->right = clip->right < r ? clip->right : r;
    clip->bottom = clip->bottom < b ? clip->bottom : b;
    return clip->right >= clip->left && clip->bottom >= clip->top;
}

// Whether the quad shows the image at its own size (a table seen at 100 %): corner 1 lies w - 1
// and corner 3 h - 1 whole pixels from corner 0 along the axes. A scaled quad is drawn by the
// general walk.
bool unscaled(const PieceQuad* q, const Image* im) {
    const double ax = q->corner[1][0] - q->corner[0][0], ay = q->corner[1][1] - q->corner[0][1];
    const double bx = q->corner[3][0] - q->corner[0][0], by = q->corner[3][1] - q->corner[0][1];
    return std::fabs(ax) + std::fabs(ay) == im->width - 1 &&
           std::fabs(bx) + std::fabs(by) == im->height - 1 && (ax == 0 || ay == 0) && (bx == 0 || by == 0);
}

}  // namespace

void piece_prepare(const PieceQuad* quad, const PieceShape* shape, int shadow) {
    const Image* im = shadow ? shape->shadow : shape->piece;
    if (!im || quad->right == -1) return;
    if (!g_shadow_table) g_shadow_table = img_shadow_table();
    const int level = unscaled(quad, im) ? 0 : piece_level_for(quad, im->width, im->height);
    if (level <= 0) return;
    (void)piece_level(shape, shadow, level);
    if (!shadow) (void)piece_picture_level(level);
}

void piece_draw(const PieceQuad* quad, const PieceShape* shape, int homeX, int homeY, int angle, int selected,
                int shadow) {
    if (!screen.buf || quad->right == -1 || quad->right < quad->left || quad->bottom < quad->top) return;
    const Image* im = shadow ? shape->shadow : shape->piece;
    if (!im || im->width <= 0 || im->height <= 0) return;
    if (im->kind != (shadow ? IMG_8BIT : IMG_16BIT) || screen.bytesPerPixel != 3) return;
    // Most pieces of a frame lie where nothing changed: they cost one look at the dirty cells.
    Rect dirty;
    if (!screen_dirty_bounds(quad->left, quad->top, quad->right, quad->bottom, &dirty)) return;

    Draw k{};
    k.quad = quad;
    k.angle = ((angle % 360) + 360) % 360;
    k.axis = k.angle % 90 == 0 && unscaled(quad, im);
    k.selected = selected != 0;
    k.rot = (k.angle * 64 / 360) * 512;
    const int level = k.axis ? 0 : piece_level_for(quad, im->width, im->height);
    if (level > 0) im = piece_level(shape, shadow, level);
    if (!draw_source(&k, im, homeX, homeY, shadow, level)) return;
    draw_corners(&k, quad);
    PieceQuad clip = *quad;
    if (k.axis && !clip_to_image(&k, &clip)) return;
    if (clip.top < g_band_top) clip.top = g_band_top;
    if (clip.bottom > g_band_bottom) clip.bottom = g_band_bottom;
    if (clip.top > clip.bottom) return;
    k.quad = &clip;
    // Ask for the piece's cache lines all at once (into the second-level cache), so that their
    // misses overlap instead of queueing row by row: rows of a piece lie a picture or a screen
    // row apart, which the hardware does not foresee.
    if (!screen_dirty_bounds(clip.left, clip.top, clip.right, clip.bottom, &dirty)) return;
    prefetch_block(k.codes ? (const void*)k.codes : (const void*)k.alpha, 1,
                   (size_t)k.w * k.h * (k.codes ? 2 : 1), 0);
    if (k.codes) prefetch_block(k.pic, k.h, (size_t)k.w * 3, k.pic_pitch);
    prefetch_block(screen_at(dirty.x, dirty.y), dirty.h, (size_t)dirty.w * 3, screen.pitch);
    screen_for_each_dirty_span(clip.left, clip.top, clip.right - clip.left + 1, clip.bottom - clip.top + 1,
                               draw_run, &k);
}

void piece_prefetch(const PieceQuad* quad, const PieceShape* shape, int homeX, int homeY, int shadow) {
    if (!screen.buf || quad->right < quad->left || quad->bottom < quad->top) return;
    const Image* im = shadow ? shape->shadow : shape->piece;
    if (!im) return;
    __builtin_prefetch(im);
    const int w = im->width, h = im->height;
    prefetch_block((const uint8_t*)im + im->colourOffset, 1, (size_t)w * h * (shadow ? 1 : 2), 0);
    const Image* pic = g_picture;
    if (!shadow && pic && homeX >= 0 && homeY >= 0 && homeX + w <= pic->width && homeY + h <= pic->height)
        prefetch_block(
            (const uint8_t*)pic + pic->colourOffset + (ptrdiff_t)homeY * pic->colourPitch + homeX * 3, h,
            (size_t)w * 3, pic->colourPitch);
    int l = quad->left < 0 ? 0 : quad->left, t = quad->top < 0 ? 0 : quad->top;
    int r = quad->right >= screen.width ? screen.width - 1 : quad->right;
    int b = quad->bottom >= screen.height ? screen.height - 1 : quad->bottom;
    if (l <= r && t <= b) prefetch_block(screen_at(l, t), b - t + 1, (size_t)(r - l + 1) * 3, screen.pitch);
}
