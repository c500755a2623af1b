// puzzle/shape.cpp -- piece shapes: the light and blend tables, normal codes, rendering an
// outline into a lit coverage mask and a soft shadow, and drawing pieces and shadows.
//
// Sections: tables and normal codes; the shape table; the renderer (edge tracer and its emit
// rule, flood fill, border clearing, crop, blur, shadow, relief) with its worker threads;
// piece_quad; piece_draw with its six span routines.
//
// The renderer keeps the first canvas at 255 between shapes and works only inside the window the
// traced outline touched (plus a one-pixel ring): outside that ring every pixel is connected to
// the canvas corner and ends up 0, so the result equals filling and clearing the whole canvas.
// Blurs run over the crop plus the blur radius for the same reason (zeros beyond blur to zeros).
#include "puzzle/shape.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "puzzle/curve.h"

namespace {

// --- Tables ---

constexpr double LIGHT[3] = {-0.57735026918963, 0.57735026918963, 0.57735026918963};
constexpr double DEG = 0.017453292519943295;  // radians per degree

uint8_t g_a[65536];   // blend: screen byte under coverage
uint8_t g_b[262144];  // lit picture byte under coverage
uint16_t g_c[65536];  // piece code (plus rotation term) to B row / 4

// The same tables split so that drawing stays inside the first-level cache: B[step][c][p] is
// M[c][L[step][p]] and C names the step of a normal code; A is kept coverage-major.
uint8_t g_step[1024];       // normal code to light step (brightness / 8)
uint8_t g_lit[32 * 256];    // [step][p]: the lit picture byte
uint8_t g_cover[32 * 256];  // [c][lit]: round(lit * c / 31)
uint8_t g_blend[32 * 256];  // [c][d]: round(d * (31 - c) / 31)
const uint8_t* g_s;         // the darkening table of the image module

// --- Shape table and render state ---

PieceShape* g_shapes;
int g_shape_count;
int g_shape_filled;
ShapeConstants g_k;
Image* g_canvas[2];      // the two render canvases of this thread
const Image* g_picture;  // where pieces take their pixels from

int round_half(double v) { return (int)(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5)); }

}  // namespace

// --- Light tables ---

void normal_decode(int code, double* n) {
    if (code == 0) {
        n[0] = 0.0, n[1] = 0.0, n[2] = 1.0;
        return;
    }
    const int az = ((code >> 4) & 63) * 360 / 64;
    const int el = (15 - (code & 15)) * 6;
    const double ca = std::cos(az * DEG), sa = std::sin(az * DEG);
    const double ce = std::cos(el * DEG), se = std::sin(el * DEG);
    double x = ca * ce, y = sa * ce, z = se;
    const double len = std::sqrt(x * x + y * y + z * z);
    n[0] = x / len, n[1] = y / len, n[2] = z / len;
}

int normal_brightness(int code) {
    double n[3];
    normal_decode(code, n);
    const double d = n[0] * LIGHT[0] + n[1] * LIGHT[1] + n[2] * LIGHT[2];
    const double diffuse = d > 0 ? 0.0655 * d : 0.0;
    const double s = 2.0 * d * n[2] - LIGHT[2];  // the reflected light along the view (0, 0, 1)
    const double brightness = 0.2 + diffuse + (s > 0 ? 0.4585 * s : 0.0);
    return (int)(brightness * 255.0 + 0.5);
}

int normal_encode(double nx, double ny, double nz) {
    double az = std::atan2(ny, nx) * 57.29577951308232;
    double el = std::atan2(nz, std::sqrt(nx * nx + ny * ny)) * 57.29577951308232;
    if (az < 0) az += 360.0;
    if (el < 0) el += 360.0;
    if (!(az >= 0.0 && az <= 360.0)) az = 0.0;
    double flat = 90.0 * std::pow(el / 90.0, 0.4);  // steep slopes stay visible as a narrow bevel
    if (!(flat >= 0.0 && flat <= 90.0)) flat = 0.0;
    int azimuth = (int)(az * 64.0 / 360.0 + 0.5);
    if (azimuth == 64) azimuth = 0;
    const int e = (int)(flat / 6.0 + 0.5);
    return azimuth * 16 + (e ^ 15);
}

void light_tables_build() {
    for (int d = 0; d < 256; d++)
        for (int c = 0; c < 256; c++)
            g_a[d * 256 + c] = (uint8_t)(int)(d * (31 - (c & 31)) / 31.0 + 0.5);
    for (int c = 0; c < 32; c++)
        for (int v = 0; v < 256; v++) {
            g_blend[c * 256 + v] = g_a[v * 256 + c];
            g_cover[c * 256 + v] = (uint8_t)(int)(v * c / 31.0 + 0.5);
        }
    for (int l = 0; l < 32; l++) {
        const int lambda = (int)(l * 255 / 31.0 + 0.5);
        for (int p = 0; p < 256; p++) {
            const int lit =
                lambda > 128 ? ((255 - lambda) * p + (lambda - 128) * 255) / 127 : (lambda * p) >> 7;
            g_lit[l * 256 + p] = (uint8_t)lit;
            for (int c = 0; c < 32; c++)
                g_b[l * 8192 + c * 256 + p] = g_cover[c * 256 + lit];
        }
    }
    for (int code = 0; code < 1024; code++)
        g_step[code] = (uint8_t)(normal_brightness(code) / 8);
    for (int v = 0; v < 32768; v++)
        g_c[v] = g_c[v + 32768] = (uint16_t)((g_step[v / 32] * 32 + v % 32) * 64);
}

const uint8_t* light_table_a() { return g_a; }
const uint8_t* light_table_b() { return g_b; }
const uint16_t* light_table_c() { return g_c; }

// --- The shape table ---

void shapes_alloc(int count) {
    shapes_free();
    IO_ASSERT(count >= 0);
    g_shape_count = count;
    g_shape_filled = 0;
    if (count == 0) return;
    g_shapes = (PieceShape*)io_mem_alloc(sizeof(PieceShape) * (size_t)count);
    std::memset(g_shapes, 0, sizeof(PieceShape) * (size_t)count);
}

void shapes_free() {
    for (int i = 0; i < g_shape_count; i++) {
        io_mem_free(g_shapes[i].piece);
        io_mem_free(g_shapes[i].shadow);
    }
    io_mem_free(g_shapes);
    g_shapes = nullptr;
    g_shape_count = g_shape_filled = 0;
}

PieceShape* shapes_table() { return g_shapes; }
int shapes_count() { return g_shape_count; }
int shapes_rendered() { return g_shape_filled; }

// --- The renderer ---

namespace {

struct Pt {
    double x, y;
};

// One thread's working memory. c1 is the first canvas (255 between shapes); c2 holds the blur
// regions; all from the counted allocator, made and released on the main thread.
struct Renderer {
    uint8_t* c1;
    uint8_t* c2;
    int cw, ch;
    void* scratch[3];  // blur buffers, grown on demand
    size_t scratch_size[3];
    int32_t* stack;          // flood fill seeds (x, y pairs)
    int stack_cap;           // pairs
    int bx0, by0, bx1, by1;  // bounding box of traced writes, inclusive
    std::mutex* mem;         // held around every counted allocation off the main thread
};

// Results of one shape before they become images (written into the record directly).
inline void canvas_set(Renderer* r, int x, int y, int v) {
    if (x < 0 || y < 0 || x >= r->cw || y >= r->ch) return;
    r->c1[y * r->cw + x] = (uint8_t)v;
    if (x < r->bx0) r->bx0 = x;
    if (x > r->bx1) r->bx1 = x;
    if (y < r->by0) r->by0 = y;
    if (y > r->by1) r->by1 = y;
}

// --- Edge tracer ---

// floor() for the coordinates of a canvas (far inside the range of a 64-bit integer), without
// the library call that a baseline x86-64 build makes of it.
inline double floor_small(double v) {
    const double t = (double)(int64_t)v;
    return t > v ? t - 1.0 : t;
}

inline double snap(double v) {
    const double r = floor_small(v + 0.5);
    return std::fabs(v - r) < 0.0001 ? r : v;
}

struct Bezier {
    Pt p0, p1, p2, p3;
    Pt at(double t) const {
        const double mt = 1.0 - t;
        const double a = mt * mt * mt, b = 3.0 * mt * mt * t, c = 3.0 * mt * t * t, d = t * t * t;
        return {snap(a * p0.x + b * p1.x + c * p2.x + d * p3.x),
                snap(a * p0.y + b * p1.y + c * p2.y + d * p3.y)};
    }
};

inline int pix(double v) { return (int)floor_small(v); }

// Sets the coverage of pixel (px, py) crossed from entry a to exit b; inside is right of travel.
void emit(Renderer* r, int px, int py, Pt a, Pt b) {
    const double x0 = a.x - px, y0 = a.y - py, x1 = b.x - px, y1 = b.y - py;
    // Runs along a pixel side cover the pixel on the inside of the side fully.
    if (x0 == 0 && x1 == 0) return canvas_set(r, y0 >= y1 ? px : px - 1, py, 254);
    if (x0 == 1 && x1 == 1) return canvas_set(r, y0 < y1 ? px : px + 1, py, 254);
    if (y0 == 0 && y1 == 0) return canvas_set(r, px, x0 < x1 ? py : py - 1, 254);
    if (y0 == 1 && y1 == 1) return canvas_set(r, px, x0 >= x1 ? py : py + 1, 254);
    auto side = [](double x, double y) {
        const double d[4] = {std::fabs(y), std::fabs(x - 1), std::fabs(y - 1), std::fabs(x)};
        int best = 0;
        for (int i = 1; i < 4; i++)
            if (d[i] < d[best]) best = i;
        return best;  // 0 top, 1 right, 2 bottom, 3 left
    };
    const int s0 = side(x0, y0), s1 = side(x1, y1);
    double f = 0.0;
    switch (s0 * 4 + s1) {
        case 0 * 4 + 1:
            f = 1 - (1 - x0) * y1 / 2;
            break;
        case 0 * 4 + 2:
            f = (x0 + x1) / 2;
            break;
        case 0 * 4 + 3:
            f = x0 * y1 / 2;
            break;
        case 1 * 4 + 0:
            f = (1 - x1) * y0 / 2;
            break;
        case 1 * 4 + 2:
            f = 1 - (1 - x1) * (1 - y0) / 2;
            break;
        case 1 * 4 + 3:
            f = (y0 + y1) / 2;
            break;
        case 2 * 4 + 0:
            f = 1 - (x0 + x1) / 2;
            break;
        case 2 * 4 + 1:
            f = (1 - x0) * (1 - y1) / 2;
            break;
        case 2 * 4 + 3:
            f = 1 - (1 - y1) * x0 / 2;
            break;
        case 3 * 4 + 0:
            f = 1 - y0 * x1 / 2;
            break;
        case 3 * 4 + 1:
            f = 1 - (y0 + y1) / 2;
            break;
        case 3 * 4 + 2:
            f = (1 - y0) * x1 / 2;
            break;
        // Entry and exit on the same side: the curve dips into the pixel and back. The pixel
        // is outside when the inside lies beyond that side, and inside (less the dip) when the
        // inside lies towards the pixel, by the same direction rule as a run along a side.
        case 0 * 4 + 0:
            f = x0 < x1 ? 1.0 : 0.0;
            break;
        case 1 * 4 + 1:
            f = y0 < y1 ? 1.0 : 0.0;
            break;
        case 2 * 4 + 2:
            f = x0 >= x1 ? 1.0 : 0.0;
            break;
        case 3 * 4 + 3:
            f = y0 >= y1 ? 1.0 : 0.0;
            break;
        default:
            f = 0.0;
    }
    int v = (int)(f * 255.0);
    if (v > 254) v = 254;
    if (v < 0) v = 0;
    canvas_set(r, px, py, v);
}

// Traces a chain of 3k + 1 points, pixel by pixel. The walk goes on across the joints of the
// segments: a pixel that holds a joint is emitted once, from where the chain entered it to where
// it leaves it (starting afresh at each joint would skip a pixel whose edge holds the joint, and
// the gap would let the flood fill into the piece).
void trace_chain(Renderer* r, const Pt* p, int count) {
    if (count < 4) return;
    const Pt start = {snap(p[0].x), snap(p[0].y)};
    Pt entry = start, last_exit = start;
    int cx = pix(start.x), cy = pix(start.y);
    for (int s = 0; s + 3 < count; s += 3) {
        const Bezier bz{p[s], p[s + 1], p[s + 2], p[s + 3]};
        const double chord = std::hypot(bz.p3.x - bz.p0.x, bz.p3.y - bz.p0.y);
        const double dt = 1.0 / (2.0 * chord);
        double t = 0.0;
        Pt at_t = bz.at(0.0);
        for (;;) {
            double tn;
            Pt q;
            int qx, qy;
            for (;;) {
                tn = t + dt;
                if (!(tn < 1.0)) tn = 1.0;
                q = bz.at(tn);
                qx = pix(q.x), qy = pix(q.y);
                if (qx == cx && qy == cy && tn < 1.0) {
                    t = tn;
                    at_t = q;
                    continue;
                }
                break;
            }
            if (qx == cx && qy == cy) break;  // the segment ends inside the current pixel
            // Bisect for the point where the curve leaves the current pixel.
            double lo = t, hi = tn;
            Pt best = q, exit_pt = at_t;
            int nx = qx, ny = qy;
            for (int guard = 0; guard < 200; guard++) {
                const double mid = (lo + hi) * 0.5;
                const Pt m = bz.at(mid);
                if (pix(m.x) == cx && pix(m.y) == cy) {
                    exit_pt = m;
                    if (std::fabs(m.x - best.x) <= 0.001 && std::fabs(m.y - best.y) <= 0.001) break;
                    lo = mid;
                } else {
                    hi = mid;
                    best = m;
                    nx = pix(m.x), ny = pix(m.y);
                }
            }
            if (std::fabs(exit_pt.x - entry.x) > 0.002 || std::fabs(exit_pt.y - entry.y) > 0.002)
                emit(r, cx, cy, entry, exit_pt);
            last_exit = exit_pt;
            entry = best;
            cx = nx, cy = ny;
            t = hi;
            at_t = best;
        }
    }
    const Pt end = p[count - 1];
    if (std::fabs(last_exit.x - end.x) > 0.1 || std::fabs(last_exit.y - end.y) > 0.1)
        emit(r, cx, cy, entry, end);
}

// --- Flood fill: every 255 pixel 4-connected to the seed becomes 0 ---

void stack_push(Renderer* r, int* n, int x, int y) {
    if (*n == r->stack_cap) {
        std::lock_guard<std::mutex> lock(*r->mem);
        r->stack_cap *= 2;
        r->stack = (int32_t*)io_mem_realloc(r->stack, sizeof(int32_t) * 2 * (size_t)r->stack_cap);
    }
    r->stack[2 * *n] = x;
    r->stack[2 * *n + 1] = y;
    (*n)++;
}

void flood_clear(Renderer* r, int x0, int y0, int x1, int y1, int sx, int sy) {
    uint8_t* c = r->c1;
    const int w = r->cw;
    int n = 0;
    stack_push(r, &n, sx, sy);
    while (n > 0) {
        n--;
        const int x = r->stack[2 * n], y = r->stack[2 * n + 1];
        uint8_t* row = c + y * w;
        if (row[x] != 255) continue;
        int l = x, rr = x;
        while (l > x0 && row[l - 1] == 255)
            l--;
        while (rr < x1 && row[rr + 1] == 255)
            rr++;
        std::memset(row + l, 0, (size_t)(rr - l + 1));
        for (int ny = y - 1; ny <= y + 1; ny += 2) {
            if (ny < y0 || ny > y1) continue;
            const uint8_t* nrow = c + ny * w;
            for (int i = l; i <= rr; i++) {
                if (nrow[i] != 255) continue;
                stack_push(r, &n, i, ny);
                while (i <= rr && nrow[i] == 255)
                    i++;
            }
        }
    }
}

// --- Blur (the Gaussian of the image module, on a region of a private buffer) ---

struct Kernel {
    int r;
    int64_t total;
    int32_t w[2 * 512 + 1];  // taps -r .. r - 1 (the last kernel entry is not part of the sums)
};

int blur_radius(double sigma) {
    const double ln255 = -std::log(0.00392156862745098);
    const double r = std::ceil(std::sqrt(2.0 * sigma * sigma * ln255));
    if (!(r >= 1.0)) return 0;
    return r > 512 ? 512 : (int)r;
}

void kernel_make(Kernel* k, double sigma) {
    k->r = blur_radius(sigma);
    k->total = 0;
    for (int i = -k->r; i < k->r; i++) {
        const int a = i < 0 ? -i : i;
        const int32_t e =
            a == 0 ? 255 : (int32_t)std::floor(255.0 * std::exp(-(double)a * a / (2.0 * sigma * sigma)));
        k->w[i + k->r] = e;
        k->total += e;
    }
}

// dst = src blurred down its columns: dst[y][x] = (sum over taps i of w[i] x src[y + i - r][x],
// rows clamped to the buffer) / total, truncated; w x h bytes each, dst apart from src. Rows of
// zeros add nothing and are skipped. The quotient comes from a double product: the sum is at most
// 255 x total < 2^27, so sum x (1 / total) lies within 2^-40 of the true quotient, and the small
// bias puts exact multiples on the right side; the truncation is the image module's.
void blur_columns(const uint8_t* src, uint8_t* dst, int w, int h, const Kernel* k, int32_t* acc,
                  uint8_t* row_used) {
    const int r = k->r;
    const double inv = 1.0 / (double)k->total;
    for (int y = 0; y < h; y++) {
        const uint8_t* row = src + (size_t)y * w;
        int used = 0;
        for (int x = 0; x < w && !used; x++)
            used = row[x];
        row_used[y] = used != 0;
    }
    for (int y = 0; y < h; y++) {
        std::memset(acc, 0, sizeof(int32_t) * (size_t)w);
        for (int i = 0; i < 2 * r; i++) {
            const int32_t weight = k->w[i];
            int sy = y + i - r;
            sy = sy < 0 ? 0 : (sy >= h ? h - 1 : sy);
            if (weight == 0 || !row_used[sy]) continue;
            const uint8_t* row = src + (size_t)sy * w;
            int x = 0;
#if defined(__SSE2__)
            const __m128i zero = _mm_setzero_si128();
            const __m128i wv = _mm_set1_epi16((short)weight);
            for (; x + 16 <= w; x += 16) {
                const __m128i v = _mm_loadu_si128((const __m128i*)(row + x));
                const __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), wv);  // at most 65025
                const __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), wv);
                __m128i* a = (__m128i*)(acc + x);
                _mm_storeu_si128(a + 0, _mm_add_epi32(_mm_loadu_si128(a + 0), _mm_unpacklo_epi16(lo, zero)));
                _mm_storeu_si128(a + 1, _mm_add_epi32(_mm_loadu_si128(a + 1), _mm_unpackhi_epi16(lo, zero)));
                _mm_storeu_si128(a + 2, _mm_add_epi32(_mm_loadu_si128(a + 2), _mm_unpacklo_epi16(hi, zero)));
                _mm_storeu_si128(a + 3, _mm_add_epi32(_mm_loadu_si128(a + 3), _mm_unpackhi_epi16(hi, zero)));
            }
#endif
            for (; x < w; x++)
                acc[x] += weight * row[x];
        }
        uint8_t* out = dst + (size_t)y * w;
        for (int x = 0; x < w; x++)
            out[x] = (uint8_t)(int)(acc[x] * inv + 1e-9);
    }
}

// dst (h x w) = src (w x h) turned about the diagonal.
void transpose(const uint8_t* src, uint8_t* dst, int w, int h) {
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            dst[(size_t)x * h + y] = src[(size_t)y * w + x];
}

struct Rect {
    int x0, y0, x1, y1;  // inclusive
};

// The smallest rectangle of non-zero bytes of a w-wide buffer inside `in`; false when none.
bool nonzero_box(const uint8_t* p, int w, Rect in, Rect* out) {
    Rect b = {in.x1 + 1, in.y1 + 1, in.x0 - 1, in.y0 - 1};
    for (int y = in.y0; y <= in.y1; y++) {
        const uint8_t* row = p + y * w;
        int x = in.x0;
        while (x <= in.x1 && !row[x])
            x++;
        if (x > in.x1) continue;
        int e = in.x1;
        while (!row[e])
            e--;
        if (x < b.x0) b.x0 = x;
        if (e > b.x1) b.x1 = e;
        if (y < b.y0) b.y0 = y;
        b.y1 = y;
    }
    *out = b;
    return b.x1 >= b.x0;
}

// Grows a scratch block of the renderer to at least `bytes`.
void* scratch(Renderer* r, int which, size_t bytes) {
    if (r->scratch_size[which] < bytes) {
        std::lock_guard<std::mutex> lock(*r->mem);
        r->scratch[which] = io_mem_realloc(r->scratch[which], bytes);
        r->scratch_size[which] = bytes;
    }
    return r->scratch[which];
}

// Copies the canvas rectangle `src` (of c1) into c2 as a buffer of region `reg` (zeros beyond
// src) and blurs it: down the columns, then along the rows (as columns of the turned buffer).
// Returns the region's width.
int blur_from_canvas(Renderer* r, Rect src, Rect reg, double sigma) {
    const int rw = reg.x1 - reg.x0 + 1, rh = reg.y1 - reg.y0 + 1;
    const size_t n = (size_t)rw * rh;
    uint8_t* a = (uint8_t*)scratch(r, 0, n);
    uint8_t* b = (uint8_t*)scratch(r, 1, n);
    int32_t* acc =
        (int32_t*)scratch(r, 2, sizeof(int32_t) * (size_t)(rw > rh ? rw : rh) + (size_t)(rw > rh ? rw : rh));
    uint8_t* used = (uint8_t*)(acc + (rw > rh ? rw : rh));
    uint8_t* out = r->c2;
    std::memset(out, 0, n);
    for (int y = src.y0; y <= src.y1; y++)
        std::memcpy(out + (y - reg.y0) * rw + (src.x0 - reg.x0), r->c1 + y * r->cw + src.x0,
                    (size_t)(src.x1 - src.x0 + 1));
    Kernel k;
    kernel_make(&k, sigma);
    if (k.r == 0) return rw;
    blur_columns(out, a, rw, rh, &k, acc, used);
    transpose(a, b, rw, rh);
    blur_columns(b, a, rh, rw, &k, acc, used);
    transpose(a, out, rh, rw);
    return rw;
}

Rect grow(Rect a, int by, int w, int h) {
    Rect g = {a.x0 - by, a.y0 - by, a.x1 + by, a.y1 + by};
    if (g.x0 < 0) g.x0 = 0;
    if (g.y0 < 0) g.y0 = 0;
    if (g.x1 > w - 1) g.x1 = w - 1;
    if (g.y1 > h - 1) g.y1 = h - 1;
    return g;
}

Image* new_image(Renderer* r, int w, int h, int kind) {
    std::lock_guard<std::mutex> lock(*r->mem);
    return img_create(w, h, kind);
}

// Renders one outline into *out (whose images must be none).
void render_outline(Renderer* r, const int32_t* corners, const int32_t* types, PieceShape* out) {
    const int ox = g_k.originX, oy = g_k.originY;
    const int cw = r->cw, ch = r->ch;
    *out = {};
    r->bx0 = cw, r->by0 = ch, r->bx1 = -1, r->by1 = -1;

    // 2. Trace the four edges clockwise.
    CurvePoint pts[MAX_CONTROLPOINTS];
    for (int i = 0; i < 4; i++) {
        const int j = (i + 1) % 4;
        const int n = curve_get_into(types[i] & 255, pts);
        curve_map(pts, n, corners[2 * i] + ox, corners[2 * i + 1] + oy, corners[2 * j] + ox,
                  corners[2 * j + 1] + oy);
        trace_chain(r, (const Pt*)pts, n);
    }

    // 3. Clear the outside. The window is the traced box plus a ring that nothing touched.
    Rect win;
    if (r->bx1 >= 0 && r->bx0 >= 1 && r->by0 >= 1 && r->bx1 <= cw - 2 && r->by1 <= ch - 2) {
        win = {r->bx0 - 1, r->by0 - 1, r->bx1 + 1, r->by1 + 1};
        flood_clear(r, win.x0, win.y0, win.x1, win.y1, win.x0, win.y0);
    } else {
        win = {0, 0, cw - 1, ch - 1};
        flood_clear(r, 0, 0, cw - 1, ch - 1, 0, 0);
    }

    // 4. Straight border edges end the piece exactly on the grid line.
    for (int i = 0; i < 4; i++) {
        if ((types[i] & 127) != 0) continue;
        const int j = (i + 1) % 4;
        const int ax = corners[2 * i] + ox, ay = corners[2 * i + 1] + oy;
        const int bx = corners[2 * j] + ox, by = corners[2 * j + 1] + oy;
        Rect clear = win;
        if (ay == by) {
            if (i == 2)
                clear.y0 = ay > clear.y0 ? ay : clear.y0;
            else
                clear.y1 = ay - 1 < clear.y1 ? ay - 1 : clear.y1;
        } else if (ax == bx) {
            if (i == 1)
                clear.x0 = ax > clear.x0 ? ax : clear.x0;
            else
                clear.x1 = ax - 1 < clear.x1 ? ax - 1 : clear.x1;
        } else {
            continue;
        }
        for (int y = clear.y0; y <= clear.y1; y++)
            if (clear.x1 >= clear.x0)
                std::memset(r->c1 + y * cw + clear.x0, 0, (size_t)(clear.x1 - clear.x0 + 1));
    }

    // 5. Crop the mask.
    Rect m;
    if (!nonzero_box(r->c1, cw, win, &m)) {
        win = {0, 0, cw - 1, ch - 1};
        std::memset(r->c1, 255, (size_t)cw * ch);
        m = win;
    }
    const int mw = m.x1 - m.x0 + 1, mh = m.y1 - m.y0 + 1;
    out->pieceX = m.x0 - ox;
    out->pieceY = m.y0 - oy;

    // 6. Shadow: the mask blurred, at 75 percent, cropped.
    {
        Kernel k;
        kernel_make(&k, g_k.shadowSigma);
        const Rect reg = grow(m, k.r, cw, ch);
        const int rw = blur_from_canvas(r, m, reg, g_k.shadowSigma);
        const int rh = reg.y1 - reg.y0 + 1;
        for (int i = 0; i < rw * rh; i++)
            r->c2[i] = (uint8_t)(r->c2[i] * SHADOW_SCALE / 255);
        Rect s;
        if (nonzero_box(r->c2, rw, {0, 0, rw - 1, rh - 1}, &s)) {
            const int sw = s.x1 - s.x0 + 1, sh = s.y1 - s.y0 + 1;
            Image* shadow = new_image(r, sw, sh, IMG_8BIT);
            uint8_t* dst = (uint8_t*)shadow + shadow->colourOffset;
            for (int y = 0; y < sh; y++)
                std::memcpy(dst + y * sw, r->c2 + (s.y0 + y) * rw + s.x0, (size_t)sw);
            out->shadow = shadow;
            out->shadowX = s.x0 + reg.x0 - ox - out->pieceX;
            out->shadowY = s.y0 + reg.y0 - oy - out->pieceY;
        }
    }

    // 7. Relief from the blurred heights, 8. merged with the coverage.
    Image* piece = new_image(r, mw, mh, IMG_16BIT);
    uint16_t* codes = (uint16_t*)((uint8_t*)piece + piece->colourOffset);
    {
        Kernel k;
        kernel_make(&k, g_k.reliefSigma);
        const Rect reg = grow(m, k.r > 1 ? k.r : 1, cw, ch);
        const int rw = blur_from_canvas(r, m, reg, g_k.reliefSigma);
        const int rh = reg.y1 - reg.y0 + 1;
        const double depth = g_k.reliefDepth;
        auto height = [&](int x, int y) -> int {
            x -= reg.x0, y -= reg.y0;
            x = x < 0 ? 0 : (x >= rw ? rw - 1 : x);
            y = y < 0 ? 0 : (y >= rh ? rh - 1 : y);
            return r->c2[y * rw + x];
        };
        for (int v = 0; v < mh; v++) {
            const uint8_t* mask = r->c1 + (m.y0 + v) * cw + m.x0;
            uint16_t* row = codes + v * mw;
            for (int u = 0; u < mw; u++) {
                const int mv = mask[u];
                if (mv == 0) {
                    row[u] = 0;
                    continue;
                }
                const int x = m.x0 + u, y = m.y0 + v;
                const int C = height(x, y), L = height(x - 1, y), U = height(x, y - 1);
                int n = 0;
                if (L - C != 0 || C - U != 0) {
                    const int Rt = height(x + 1, y), D = height(x, y + 1);
                    const double n1x = depth * (L - C) / 127, n1y = depth * (C - U) / 127;
                    const double n2x = depth * (C - Rt) / 127, n2y = depth * (D - C) / 127;
                    n = normal_encode((n1x + n2x) / 2, (n1y + n2y) / 2, (1.0 + 1.0) / 2);
                }
                row[u] = (uint16_t)(mv == 255 && n == 0 ? PIECE_CODE_FLAT : n * 32 + mv / 8);
            }
        }
    }
    out->piece = piece;

    // Back to 255 for the next shape.
    for (int y = win.y0; y <= win.y1; y++)
        std::memset(r->c1 + y * cw + win.x0, 255, (size_t)(win.x1 - win.x0 + 1));
}

std::mutex g_mem_lock;  // counted allocations while worker threads run

Renderer renderer_for(uint8_t* c1, uint8_t* c2) {
    Renderer r{};
    r.c1 = c1;
    r.c2 = c2;
    r.cw = g_k.canvasWidth;
    r.ch = g_k.canvasHeight;
    r.stack_cap = 1024;
    r.stack = (int32_t*)io_mem_alloc(sizeof(int32_t) * 2 * (size_t)r.stack_cap);
    r.mem = &g_mem_lock;
    return r;
}

void renderer_release(Renderer* r) {
    for (void* b : r->scratch)
        io_mem_free(b);
    io_mem_free(r->stack);
}

void check_types(const int32_t* types) {
    int count;
    for (int i = 0; i < 4; i++)
        (void)curve_get(types[i] & 255, &count);  // fatal when out of range
}

}  // namespace

void shape_canvas_prepare(int width, int height) {
    shape_canvas_free();
    if (width < 1 || height < 1 || width > 4096 || height > 4096)
        io_fatal("shape_canvas_prepare: size out of range (%i x %i)\n", width, height);
    const double s = width < 150 ? width : 150;
    g_k.shadowSigma = s * 0.05;
    g_k.liftHeight = (int)(s * 0.047619047619047616 + 0.5);
    if (g_k.liftHeight < 1) g_k.liftHeight = 1;
    g_k.reliefSigma = (s / 30) / 3;
    if (g_k.reliefSigma < 0.5) g_k.reliefSigma = 0.5;
    g_k.reliefDepth = s < 100 ? s / 30 : s * (s / 30) / 75;
    g_k.canvasWidth = 4 * width;
    g_k.canvasHeight = 4 * height;
    g_k.originX = (4 * width - width) / 2;
    g_k.originY = (4 * height - height) / 2;
    g_canvas[0] = img_create(g_k.canvasWidth, g_k.canvasHeight, IMG_8BIT);
    g_canvas[1] = img_create(g_k.canvasWidth, g_k.canvasHeight, IMG_8BIT);
    img_fill(g_canvas[0], 255);
    img_fill(g_canvas[1], 0);
}

void shape_canvas_free() {
    io_mem_free(g_canvas[0]);
    io_mem_free(g_canvas[1]);
    g_canvas[0] = g_canvas[1] = nullptr;
}

const ShapeConstants* shape_constants() { return &g_k; }

void shape_render(const int32_t* corners, const int32_t* types, int count) {
    IO_ASSERT(count == 4);
    IO_ASSERT(g_canvas[0] != nullptr);
    if (g_shape_filled >= g_shape_count) io_fatal("shape_render: the shape table is full\n");
    check_types(types);
    Renderer r =
        renderer_for((uint8_t*)g_canvas[0] + IMG_HEADER_SIZE, (uint8_t*)g_canvas[1] + IMG_HEADER_SIZE);
    render_outline(&r, corners, types, &g_shapes[g_shape_filled]);
    renderer_release(&r);
    g_shape_filled++;
}

void shape_render_many(const int32_t* outlines48, int count, int threads, void (*step)(int done)) {
    IO_ASSERT(g_canvas[0] != nullptr);
    if (count <= 0) return;
    if (g_shape_filled + count > g_shape_count) io_fatal("shape_render: the shape table is full\n");
    for (int i = 0; i < count; i++)
        check_types(outlines48 + 12 * i + 8);
    if (threads <= 0) threads = (int)std::thread::hardware_concurrency();
    if (threads > 8) threads = 8;
    if (threads > count) threads = count;
    if (threads < 1) threads = 1;

    PieceShape* first = g_shapes + g_shape_filled;
    const size_t canvas = (size_t)g_k.canvasWidth * g_k.canvasHeight;
    Renderer rs[8];
    uint8_t* scratch[8] = {};
    rs[0] = renderer_for((uint8_t*)g_canvas[0] + IMG_HEADER_SIZE, (uint8_t*)g_canvas[1] + IMG_HEADER_SIZE);
    for (int t = 1; t < threads; t++) {
        scratch[t] = (uint8_t*)io_mem_alloc(2 * canvas);
        std::memset(scratch[t], 255, canvas);
        rs[t] = renderer_for(scratch[t], scratch[t] + canvas);
    }

    std::atomic<int> next{0};
    std::atomic<uint8_t>* done = new std::atomic<uint8_t>[count];
    for (int i = 0; i < count; i++)
        done[i].store(0, std::memory_order_relaxed);
    auto work = [&](Renderer* r, bool report) {
        int reported = 0;
        for (;;) {
            const int i = next.fetch_add(1);
            if (i >= count) break;
            const int32_t* o = outlines48 + 12 * i;
            render_outline(r, o, o + 8, &first[i]);
            done[i].store(1, std::memory_order_release);
            if (report && step) {  // progress in order, on this thread
                while (reported < count && done[reported].load(std::memory_order_acquire))
                    reported++;
                std::lock_guard<std::mutex> lock(g_mem_lock);
                step(reported);
            }
        }
    };
    std::thread pool[8];
    for (int t = 1; t < threads; t++)
        pool[t] = std::thread(work, &rs[t], false);
    work(&rs[0], true);
    for (int t = 1; t < threads; t++)
        pool[t].join();
    delete[] done;
    if (step) step(count);

    for (int t = 0; t < threads; t++)
        renderer_release(&rs[t]);
    for (int t = 1; t < threads; t++)
        io_mem_free(scratch[t]);
    g_shape_filled += count;
}

void shape_trace(const ImageView* canvas, const double* points_xy, int count) {
    IO_ASSERT(canvas->kind == IMG_8BIT && canvas->pitch == canvas->width);
    Renderer r{};
    r.c1 = canvas->pixels;
    r.cw = canvas->width;
    r.ch = canvas->height;
    r.bx0 = r.cw, r.by0 = r.ch, r.bx1 = r.by1 = -1;
    trace_chain(&r, (const Pt*)points_xy, count);
}

// --- piece_quad ---

void piece_quad(const PieceShape* shape, int x, int y, int angle, int lift, int shadow, PieceQuad* out) {
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

// --- piece_draw ---

void piece_set_picture(const Image* picture) { g_picture = picture; }

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

template <bool SELECTED>
inline void put_piece(uint8_t* d, const uint8_t* p, unsigned q, int rot) {
    if (q == 0) return;
    if (q & 0x8000) {
        d[0] = p[0], d[1] = p[1], d[2] = SELECTED ? 255 : p[2];
        return;
    }
    // A[d][c] + B[C[q + rot] * 4 + p], through the split tables: the light step of the turned
    // normal, then the lit byte, its coverage, and the screen byte's share.
    const uint8_t* lit = g_lit + g_step[((q + rot) >> 5) & 1023] * 256;
    if ((q & 31) == 31) {  // fully covered: nothing of the screen byte remains (A is 0, B the lit byte)
        d[0] = lit[p[0]], d[1] = lit[p[1]], d[2] = lit[SELECTED ? 255 : p[2]];
        return;
    }
    const unsigned c = (q & 31) * 256;
    const uint8_t* cover = g_cover + c;
    const uint8_t* blend = g_blend + c;
    d[0] = (uint8_t)(blend[d[0]] + cover[lit[p[0]]]);
    d[1] = (uint8_t)(blend[d[1]] + cover[lit[p[1]]]);
    d[2] = (uint8_t)(blend[d[2]] + cover[lit[SELECTED ? 255 : p[2]]]);
}

inline void put_shadow(uint8_t* d, unsigned a) {
    if (a == 0) return;
    const uint8_t* s = g_s + a * 256;
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

}  // namespace

void piece_draw(const PieceQuad* quad, const PieceShape* shape, int homeX, int homeY, int angle, int selected,
                int shadow) {
    if (!screen.buf || quad->right == -1 || quad->right < quad->left || quad->bottom < quad->top) return;
    const Image* im = shadow ? shape->shadow : shape->piece;
    if (!im || im->width <= 0 || im->height <= 0) return;
    if (im->kind != (shadow ? IMG_8BIT : IMG_16BIT) || screen.bytesPerPixel != 3) return;

    Draw k{};
    k.quad = quad;
    k.w = im->width;
    k.h = im->height;
    k.angle = ((angle % 360) + 360) % 360;
    k.axis = k.angle % 90 == 0;
    k.selected = selected != 0;
    k.rot = (k.angle * 64 / 360) * 512;
    if (shadow) {
        k.alpha = (const uint8_t*)im + im->colourOffset;
        g_s = img_shadow_table();
    } else {
        // The texels must lie inside the picture.
        const Image* pic = g_picture;
        if (!pic || (pic->kind & 15) != IMG_24BIT || homeX < 0 || homeY < 0 || homeX + k.w > pic->width ||
            homeY + k.h > pic->height)
            return;
        k.codes = (const uint16_t*)((const uint8_t*)im + im->colourOffset);
        k.pic_pitch = pic->colourPitch;
        k.pic =
            (const uint8_t*)pic + pic->colourOffset + (ptrdiff_t)homeY * k.pic_pitch + (ptrdiff_t)homeX * 3;
    }
    const double tu[4] = {0, (double)k.w - 1, (double)k.w - 1, 0},
                 tv[4] = {0, 0, (double)k.h - 1, (double)k.h - 1};
    double best = 100000;
    for (int i = 0; i < 4; i++) {
        k.cx[i] = quad->corner[i][0], k.cy[i] = quad->corner[i][1];
        k.cu[i] = tu[i], k.cv[i] = tv[i];
        if (k.cy[i] < (int)best) best = k.cy[i], k.top = i;
    }
    k.ax = (int)quad->corner[0][0];
    k.ay = (int)quad->corner[0][1];

    // Keep an axis-aligned draw inside the image whatever the quad's rectangle says.
    PieceQuad clip = *quad;
    if (k.axis) {
        int l, t, r, b;
        switch (k.angle) {
            case 0:
                l = k.ax, t = k.ay, r = k.ax + k.w - 1, b = k.ay + k.h - 1;
                break;
            case 90:
                l = k.ax, t = k.ay - k.w + 1, r = k.ax + k.h - 1, b = k.ay;
                break;
            case 180:
                l = k.ax - k.w + 1, t = k.ay - k.h + 1, r = k.ax, b = k.ay;
                break;
            default:
                l = k.ax - k.h + 1, t = k.ay, r = k.ax, b = k.ay + k.w - 1;
                break;
        }
        clip.left = clip.left > l ? clip.left : l;
        clip.top = clip.top > t ? clip.top : t;
        clip.right = clip.right < r ? clip.right : r;
        clip.bottom = clip.bottom < b ? clip.bottom : b;
        if (clip.right < clip.left || clip.bottom < clip.top) return;
        k.quad = &clip;
    }
    // Ask for the piece's cache lines all at once (into the second-level cache), so that their
    // misses overlap instead of queueing row by row: rows of a piece lie a picture or a screen
    // row apart, which the hardware does not foresee.
    ScreenRect dirty;
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
