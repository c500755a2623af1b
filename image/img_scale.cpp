// image/img_scale.cpp -- resampling, the Gaussian blur and the single-hue tint of whole pictures.
//
// Sections: nearest-neighbour resampling; the Hermite resampler (weight lists, the horizontal
// pass into a ring of intermediate rows, the vertical pass); the Gaussian blur (kernel, runs and
// prefix sums); colourise and HLS.
#include "image/img_scale.h"

#include <cmath>
#include <cstring>

#include "platform/io_debug.h"
#include "platform/io_mem.h"

namespace {

// Scratch blocks from the counted allocator, released when the holder goes out of scope.
template <class T>
struct Scratch {
    T* p = nullptr;
    explicit Scratch(size_t count) {
        size_t bytes;
        if (__builtin_mul_overflow(count, sizeof(T), &bytes)) io_fatal("img_scale: scratch too large\n");
        p = (T*)io_mem_alloc(bytes ? bytes : sizeof(T));
    }
    ~Scratch() { io_mem_free(p); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    T& operator[](size_t i) { return p[i]; }
};

inline uint8_t* row_at(const ImageView* v, int y) { return v->pixels + (ptrdiff_t)y * v->pitch; }

// --- Nearest-neighbour resampling ---

// 16.16 step between source positions of consecutive targets; the first and the last target
// take the first and the last source pixel. A target one pixel wide takes the first source pixel
// (step 0) instead of dividing by zero.
int64_t nearest_step(int src, int dst) {
    if (dst <= 1) return 0;
    return ((int64_t)src * 65536 - 65536) / (dst - 1);
}

void resample_nearest(const ImageView* dst, const ImageView* src) {
    const int bpp = dst->kind & 15;
    const int64_t step_x = nearest_step(src->width, dst->width);
    const int64_t step_y = nearest_step(src->height, dst->height);
    Scratch<int32_t> column(dst->width);  // byte offset of each target's source pixel in a row
    for (int x = 0; x < dst->width; x++) column[x] = (int32_t)((32768 + x * step_x) >> 16) * bpp;
    for (int y = 0; y < dst->height; y++) {
        const uint8_t* s = row_at(src, (int)((32768 + y * step_y) >> 16));
        uint8_t* d = row_at(dst, y);
        if (bpp == 1) {
            for (int x = 0; x < dst->width; x++) d[x] = s[column[x]];
        } else {
            for (int x = 0; x < dst->width; x++, d += 3) std::memcpy(d, s + column[x], 3);
        }
    }
}

// --- The Hermite resampler ---

// f(t) = 2|t|^3 - 3|t|^2 + 1 inside |t| < 1.
double hermite(double t) {
    if (t < 0.0) t = -t;
    if (t < 1.0) return 2.0 * t * t * t - 3.0 * t * t + 1.0;
    return 0.0;
}

struct Tap {
    int32_t index;   // source position (pixel or row)
    int32_t weight;  // 16.16; the weights of one target sum to exactly 65536
};

// The contribution lists of one pass: target i uses taps[first[i]] .. taps[first[i + 1] - 1].
struct WeightLists {
    int32_t* first = nullptr;
    Tap* taps = nullptr;
    int32_t lowest_span = 0;  // most consecutive source positions one target needs
    bool monotonic = true;    // lowest and highest needed positions never fall from one target to the next
};

void lists_free(WeightLists* wl) {
    io_mem_free(wl->first);
    io_mem_free(wl->taps);
    wl->first = nullptr;
    wl->taps = nullptr;
}

// Source window of target i: [left, right].
void window_of(int i, double scale, int* left, int* right, double* centre) {
    *centre = (double)i / scale;
    const double width = scale < 1.0 ? 1.0 / scale : 1.0;
    *left = (int)std::ceil(*centre - width);
    *right = (int)std::floor(*centre + width);
}

// Builds the lists for n source positions onto m targets (both at least 1).
void lists_build(WeightLists* wl, int n, int m) {
    const double scale = (double)m / (double)n;
    int64_t count = 0;
    for (int i = 0; i < m; i++) {
        int left, right;
        double centre;
        window_of(i, scale, &left, &right, &centre);
        count += right - left + 1;
    }
    wl->first = (int32_t*)io_mem_alloc(sizeof(int32_t) * ((size_t)m + 1));
    wl->taps = (Tap*)io_mem_alloc(sizeof(Tap) * (size_t)count);
    wl->lowest_span = 1;
    wl->monotonic = true;
    int32_t at = 0, prev_lo = 0, prev_hi = 0;
    for (int i = 0; i < m; i++) {
        int left, right;
        double centre;
        window_of(i, scale, &left, &right, &centre);
        wl->first[i] = at;
        int32_t sum = 0, best = at, lo = n, hi = -1;
        for (int j = left; j <= right; j++) {
            const double w = scale < 1.0 ? hermite((centre - j) * scale) * scale : hermite(centre - j);
            int idx = j < 0 ? -j : (j >= n ? 2 * n - j - 1 : j);  // mirrored at the edges
            // Tiny sources mirror past the far edge; such taps carry weight 0 and are kept in range.
            if (idx < 0) idx = 0;
            if (idx >= n) idx = n - 1;
            Tap& t = wl->taps[at];
            t.index = idx;
            t.weight = (int32_t)(w * 65536.0);
            sum += t.weight;
            if (t.weight > wl->taps[best].weight) best = at;
            if (idx < lo) lo = idx;
            if (idx > hi) hi = idx;
            at++;
        }
        wl->taps[best].weight += 65536 - sum;
        if (hi - lo + 1 > wl->lowest_span) wl->lowest_span = hi - lo + 1;
        if (i > 0 && (lo < prev_lo || hi < prev_hi)) wl->monotonic = false;
        prev_lo = lo;
        prev_hi = hi;
    }
    wl->first[m] = at;
}

inline uint8_t from_fixed(int64_t sum) {
    if (sum < 0) return 0;
    const int64_t v = (sum + 32768) >> 16;
    return (uint8_t)(v > 255 ? 255 : v);
}

// One row of the intermediate picture: targets x0..x1-1 of the horizontal pass of a source row.
void pass_horizontal(uint8_t* out, const uint8_t* src, int bpp, const WeightLists* wl, int x0, int x1) {
    for (int i = x0; i < x1; i++) {
        const Tap* t = wl->taps + wl->first[i];
        const Tap* end = wl->taps + wl->first[i + 1];
        for (int c = bpp - 1; c >= 0; c--) {
            int64_t sum = 0;
            for (const Tap* k = t; k < end; k++) sum += (int64_t)src[k->index * bpp + c] * k->weight;
            out[c] = from_fixed(sum);
        }
        out += bpp;
    }
}

// One target row: the weighted sum of intermediate rows, byte by byte.
void pass_vertical(uint8_t* out, const uint8_t* const* rows, const Tap* taps, int count, int bytes) {
    for (int b = 0; b < bytes; b++) {
        int64_t sum = 0;
        for (int k = 0; k < count; k++) sum += (int64_t)rows[k][b] * taps[k].weight;
        out[b] = from_fixed(sum);
    }
}

inline constexpr size_t RING_BYTES = 4u << 20;  // intermediate rows kept at once

// Horizontal pass first (into intermediate rows of the target's width), then the vertical pass.
// Only the intermediate rows that the current target row needs are kept, in a ring; a very
// tall ring is split into strips of target columns.
void resample_hermite(const ImageView* dst, const ImageView* src) {
    const int bpp = dst->kind & 15;
    WeightLists hl, vl;
    lists_build(&hl, src->width, dst->width);
    lists_build(&vl, src->height, dst->height);
    const int span = vl.monotonic ? vl.lowest_span : src->height;
    int strip = (int)(RING_BYTES / ((size_t)span * bpp));
    if (strip < 1) strip = 1;
    if (strip > dst->width) strip = dst->width;
    const size_t strip_bytes = (size_t)strip * bpp;
    Scratch<uint8_t> ring(strip_bytes * span);
    Scratch<int32_t> held(span);  // source row of each ring slot, -1 when empty
    int max_taps = 1;
    for (int y = 0; y < dst->height; y++)
        if (vl.first[y + 1] - vl.first[y] > max_taps) max_taps = vl.first[y + 1] - vl.first[y];
    Scratch<const uint8_t*> rows(max_taps);
    for (int x0 = 0; x0 < dst->width; x0 += strip) {
        const int x1 = x0 + strip < dst->width ? x0 + strip : dst->width;
        for (int s = 0; s < span; s++) held[s] = -1;
        for (int y = 0; y < dst->height; y++) {
            const Tap* taps = vl.taps + vl.first[y];
            const int count = vl.first[y + 1] - vl.first[y];
            for (int k = 0; k < count; k++) {
                const int r = taps[k].index, slot = r % span;
                uint8_t* line = ring.p + (size_t)slot * strip_bytes;
                if (held[slot] != r) {
                    pass_horizontal(line, row_at(src, r), bpp, &hl, x0, x1);
                    held[slot] = r;
                }
                rows[k] = line;
            }
            pass_vertical(row_at(dst, y) + (ptrdiff_t)x0 * bpp, rows.p, taps, count, (x1 - x0) * bpp);
        }
    }
    lists_free(&hl);
    lists_free(&vl);
}

// --- The Gaussian blur ---

double g_blur_sigma = 0.0;  // the sigma last given to img_blur_radius

int blur_radius_of(double sigma) {
    const double ln255 = -std::log(0.00392156862745098);
    const double r = std::ceil(std::sqrt(2.0 * sigma * sigma * ln255));
    if (!(r >= 1.0)) return 0;  // also NaN
    if (r > IMG_BLUR_RADIUS_MAX) return IMG_BLUR_RADIUS_MAX;
    return (int)r;
}

// Prefix sums of the kernel: sums[i + r] = S(i), the sum of kernel entries r + k for k = -r..i-1.
struct BlurKernel {
    int r = 0;
    int64_t total = 0;
    int64_t* sums = nullptr;  // 2r + 1 entries
};

// Entry r + i (and r - i) of the kernel: the Gaussian scaled to 255 at the centre, rounded down.
int32_t kernel_entry(double sigma, int i) {
    if (i == 0) return 255;
    return (int32_t)std::floor(255.0 * std::exp(-(double)i * i / (2.0 * sigma * sigma)));
}

void kernel_build(BlurKernel* k, double sigma, int r) {
    k->r = r;
    k->sums = (int64_t*)io_mem_alloc(sizeof(int64_t) * (2 * (size_t)r + 1));
    int64_t s = 0;
    for (int i = -r; i <= r; i++) {
        k->sums[i + r] = s;
        s += kernel_entry(sigma, i < 0 ? -i : i);
    }
    k->total = k->sums[2 * r] - k->sums[0];
}

struct LineScratch {
    int32_t* start;  // n + 1 entries: first index of each run, then n
    uint8_t* value;  // value of each run
};

// Blurs n values at p, p + stride, ... in place. The line becomes runs of equal values; each
// run contributes value x (S(end) - S(start)) over the part of the window it covers, the first
// and the last run reaching beyond the ends of the line.
void blur_line(uint8_t* p, ptrdiff_t stride, int n, const BlurKernel* k, LineScratch* ls) {
    int runs = 0;
    for (int i = 0; i < n; i++) {
        const uint8_t v = p[i * stride];
        if (runs == 0 || ls->value[runs - 1] != v) {
            ls->start[runs] = i;
            ls->value[runs] = v;
            runs++;
        }
    }
    ls->start[runs] = n;
    const int r = k->r;
    const int64_t* S = k->sums + r;
    int a = 0;
    for (int y = 0; y < n; y++) {
        while (a + 1 < runs && ls->start[a + 1] <= y - r) a++;
        int64_t sum = 0;
        for (int j = a; j < runs && ls->start[j] < y + r; j++) {
            int s = j == 0 ? -r : ls->start[j] - y;
            int e = j == runs - 1 ? r : ls->start[j + 1] - y;
            if (s < -r) s = -r;
            if (e > r) e = r;
            sum += (int64_t)ls->value[j] * (S[e] - S[s]);
        }
        p[y * stride] = (uint8_t)(sum / k->total);
    }
}

void blur_view(const ImageView* v, double sigma, int r) {
    const int bpp = v->kind & 15;
    BlurKernel k;
    kernel_build(&k, sigma, r);
    const int longest = v->width > v->height ? v->width : v->height;
    Scratch<int32_t> start((size_t)longest + 1);
    Scratch<uint8_t> value(longest);
    LineScratch ls{start.p, value.p};
    for (int x = 0; x < v->width * bpp; x++) blur_line(v->pixels + x, v->pitch, v->height, &k, &ls);
    for (int y = 0; y < v->height; y++)
        for (int c = 0; c < bpp; c++) blur_line(row_at(v, y) + c, bpp, v->width, &k, &ls);
    io_mem_free(k.sums);
}

// --- Colour ---

float hls_value(float m1, float m2, float x) {
    if (x > 360.0f)
        x -= 360.0f;
    else if (x < 0.0f)
        x += 360.0f;
    if (x < 60.0f) return m1 + (m2 - m1) * x * 0.016666668f;
    if (x < 180.0f) return m2;
    if (x < 240.0f) return m1 + (m2 - m1) * (240.0f - x) * 0.016666668f;
    return m1;
}

// Truncation toward zero; lightness or saturation outside 0..1 and odd hues stay in 0..255.
uint32_t channel_byte(float v) {
    const float c = v * 255.0f;
    if (!(c > 0.0f)) return 0;
    if (c >= 255.0f) return 255;
    return (uint32_t)c;
}

}  // namespace

// --- Resampling ---

int img_resample(const ImageView* dst, const ImageView* src, int mode) {
    if (dst->kind != src->kind || (dst->kind != IMG_8BIT && dst->kind != IMG_24BIT)) return 0;
    if (dst->width <= 0 || dst->height <= 0 || src->width <= 0 || src->height <= 0) return 0;
    if (mode == IMG_RESAMPLE_NEAREST)
        resample_nearest(dst, src);
    else if (mode == IMG_RESAMPLE_HERMITE)
        resample_hermite(dst, src);
    else
        return 0;
    return 1;
}

int img_resample_images(Image* dst, const Image* src, int smooth) {
    ImageView d, s;
    img_view(&d, dst, 0, 0);
    img_view(&s, src, 0, 0);
    return img_resample(&d, &s, smooth ? IMG_RESAMPLE_HERMITE : IMG_RESAMPLE_NEAREST);
}

// --- Gaussian blur ---

int img_blur_radius(double sigma) {
    g_blur_sigma = sigma;
    return blur_radius_of(sigma);
}

int img_blur_kernel(double sigma, int32_t* weights, int capacity) {
    const int r = blur_radius_of(sigma);
    for (int i = 0; i <= r && i < capacity; i++) weights[i] = kernel_entry(sigma, i);
    return r;
}

int img_blur(const ImageView* view, double sigma) {
    const int r = blur_radius_of(sigma);
    if (r == 0 || view->width <= 0 || view->height <= 0) return r;
    if (view->kind != IMG_8BIT && view->kind != IMG_24BIT) return r;
    blur_view(view, sigma, r);
    return r;
}

int img_blur_copy(Image* dst, const Image* src) {
    ImageView d, s;
    img_view(&d, dst, 0, 0);
    img_view(&s, src, 0, 0);
    if (s.width > d.width) s.width = d.width;  // the view blit trusts the sizes it is given
    if (s.height > d.height) s.height = d.height;
    if (s.width > 0 && s.height > 0) img_view_blit(&d, &s);
    return img_blur(&d, g_blur_sigma);
}

// --- Colour ---

int img_colourise(const ImageView* dst, const ImageView* src, int hue, int brightness, int saturation) {
    if (dst->kind != IMG_24BIT || src->kind != IMG_24BIT) return 0;
    if (dst->width != src->width || dst->height != src->height) return 0;
    if (brightness < -100) brightness = -100;
    if (brightness > 100) brightness = 100;
    if (saturation < 0) saturation = 0;
    if (saturation > 100) saturation = 100;
    const int B = brightness >= 0 ? brightness * 127 / 100 : brightness * 128 / 100;
    const int S = saturation * 255 / 100;
    // The tint depends only on the grey level: one colour per level.
    uint8_t tint[256][3];
    for (int L = 0; L < 256; L++) {
        const unsigned lit = B >= 1 ? (unsigned)((127 - B) * L + B * 255) / 127u : (unsigned)(((B + 128) * L) >> 7);
        const uint32_t c = hls_to_rgb((float)hue, (float)lit * 0.003921569f, (float)S * 0.003921569f);
        tint[L][0] = c & 0xFF;
        tint[L][1] = (c >> 8) & 0xFF;
        tint[L][2] = (c >> 16) & 0xFF;
    }
    for (int y = 0; y < src->height; y++) {
        const uint8_t* s = row_at(src, y);
        uint8_t* d = row_at(dst, y);
        for (int x = 0; x < src->width; x++, s += 3, d += 3) {
            const int L = (int)std::floor(0.299 * s[2] + 0.587 * s[1] + 0.114 * s[0] + 0.5);
            std::memcpy(d, tint[L], 3);
        }
    }
    return 1;
}

uint32_t hls_to_rgb(float hue, float lightness, float saturation) {
    const float l = lightness, s = saturation;
    const float m2 = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
    const float m1 = 2.0f * l - m2;
    if (s == 0.0f) return 0x00FFFFFF;
    const uint32_t red = channel_byte(hls_value(m1, m2, hue + 120.0f));
    const uint32_t green = channel_byte(hls_value(m1, m2, hue));
    const uint32_t blue = channel_byte(hls_value(m1, m2, hue - 120.0f));
    return red << 16 | green << 8 | blue;
}
