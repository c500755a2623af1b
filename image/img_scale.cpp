// image/img_scale.cpp -- resampling, the Gaussian blur and the single-hue tint of whole pictures.
//
// Sections: nearest-neighbour resampling; the Hermite resampler (weight lists, the horizontal
// pass into a ring of intermediate rows, the vertical pass); the Gaussian blur (kernel, runs and
// prefix sums); colourise and HLS.
#include "image/img_scale.h"

#include <climits>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    for (int x = 0; x < dst->width; x++)
        column[x] = (int32_t)((32768 + x * step_x) >> 16) * bpp;
    for (int y = 0; y < dst->height; y++) {
        const uint8_t* s = row_at(src, (int)((32768 + y * step_y) >> 16));
        uint8_t* d = row_at(dst, y);
        if (bpp == 1) {
            for (int x = 0; x < dst->width; x++)
                d[x] = s[column[x]];
        } else {
            for (int x = 0; x < dst->width; x++, d += 3)
                std::memcpy(d, s + column[x], 3);
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
    int32_t weight;  // 16.16, 0..65536; the weights of one target sum to exactly 65536
    float fweight;   // the same whole number in single precision
};

// The contribution lists of one pass: target i uses taps[first[i]] .. taps[first[i + 1] - 1].
struct WeightLists {
    int32_t* first = nullptr;
    Tap* taps = nullptr;
    int32_t widest_span = 0;  // most consecutive source positions one target needs
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

// Builds the lists for n source positions onto m targets (both at least 1). Every list is
// padded with taps of weight 0 to the length of the longest, so that the loops over them run
// the same number of times for every target.
void lists_build(WeightLists* wl, int n, int m) {
    const double scale = (double)m / (double)n;
    int longest = 1;
    for (int i = 0; i < m; i++) {
        int left, right;
        double centre;
        window_of(i, scale, &left, &right, &centre);
        if (right - left + 1 > longest) longest = right - left + 1;
    }
    wl->first = (int32_t*)io_mem_alloc(sizeof(int32_t) * ((size_t)m + 1));
    wl->taps = (Tap*)io_mem_alloc(sizeof(Tap) * (size_t)m * longest);
    wl->widest_span = 1;
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
        for (; at < wl->first[i] + longest; at++)
            wl->taps[at] = Tap{wl->taps[at - 1].index, 0, 0.0f};
        for (int32_t k = wl->first[i]; k < at; k++) {
            // The sums below rely on it (they stay within 0..255 x 65536 and exact in floats).
            IO_ASSERT(wl->taps[k].weight >= 0 && wl->taps[k].weight <= 65536);
            wl->taps[k].fweight = (float)wl->taps[k].weight;
        }
        if (hi - lo + 1 > wl->widest_span) wl->widest_span = hi - lo + 1;
        if (i > 0 && (lo < prev_lo || hi < prev_hi)) wl->monotonic = false;
        prev_lo = lo;
        prev_hi = hi;
    }
    wl->first[m] = at;
}

// (sum + 32768) >> 16; weights of 0..65536 summing to 65536 keep the sum within 0..255 x 65536.
inline uint8_t from_fixed(int32_t sum) { return (uint8_t)((sum + 32768) >> 16); }

#if defined(__SSE2__)

// Taps of a 24-bit horizontal pass two at a time, for 16-bit multiply-adds: each weight w is
// split into w >> 8 and w & 255 (both fit), and the sum is (high sum << 8) + low sum.
struct TapPair {
    __m128i low;    // (w0 & 255, w1 & 255) in every 32-bit lane
    __m128i high;   // (w0 >> 8, w1 >> 8) in every 32-bit lane
    int32_t at[2];  // byte offsets of the two source pixels
    int32_t unused[2];
};

// Pairs of the lists of a horizontal pass (every list has the same length).
TapPair* pairs_build(const WeightLists* wl, int m, int* per_target) {
    const int longest = wl->first[1] - wl->first[0];
    const int pairs = (longest + 1) / 2;
    TapPair* table = (TapPair*)io_mem_alloc(sizeof(TapPair) * (size_t)m * pairs);
    for (int i = 0; i < m; i++) {
        const Tap* t = wl->taps + wl->first[i];
        for (int p = 0; p < pairs; p++) {
            const Tap a = t[2 * p];
            const Tap b = 2 * p + 1 < longest ? t[2 * p + 1] : Tap{a.index, 0, 0.0f};
            TapPair& q = table[(size_t)i * pairs + p];
            q.low = _mm_set1_epi32((a.weight & 255) | (b.weight & 255) << 16);
            q.high = _mm_set1_epi32((a.weight >> 8) | (b.weight >> 8) << 16);
            q.at[0] = a.index * 3;
            q.at[1] = b.index * 3;
            q.unused[0] = q.unused[1] = 0;
        }
    }
    *per_target = pairs;
    return table;
}

// The horizontal pass of a 24-bit row: blue, green, red and a spare byte side by side.
// The source row must be readable, and out writable, one byte past the last pixel.
void pass_horizontal24(uint8_t* out, const uint8_t* src, const TapPair* table, int pairs, int x0, int x1) {
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi32(32768);
    const TapPair* q = table + (size_t)x0 * pairs;
    for (int i = x0; i < x1; i++, out += 3) {
        __m128i low = zero, high = zero;
        for (int p = 0; p < pairs; p++, q++) {
            int32_t a, b;
            std::memcpy(&a, src + q->at[0], 4);
            std::memcpy(&b, src + q->at[1], 4);
            // b0 b1 g0 g1 r0 r1 x0 x1 as 16-bit values
            const __m128i px =
                _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b)), zero);
            low = _mm_add_epi32(low, _mm_madd_epi16(px, q->low));
            high = _mm_add_epi32(high, _mm_madd_epi16(px, q->high));
        }
        __m128i v = _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(high, 8), low), half);
        v = _mm_srai_epi32(v, 16);
        v = _mm_packs_epi32(v, v);
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(v, v));
        std::memcpy(out, &bytes, 4);  // the spare byte is the next pixel's, or the row's padding
    }
}

#endif

// One row of the intermediate picture: targets x0..x1-1 of the horizontal pass of a source row.
void pass_horizontal(uint8_t* out, const uint8_t* src, int bpp, const WeightLists* wl, int x0, int x1) {
    for (int i = x0; i < x1; i++) {
        const Tap* t = wl->taps + wl->first[i];
        const Tap* end = wl->taps + wl->first[i + 1];
        int32_t sum[3] = {0, 0, 0};
        for (const Tap* k = t; k < end; k++) {
            const uint8_t* p = src + k->index * bpp;
            for (int c = 0; c < bpp; c++)
                sum[c] += p[c] * k->weight;
        }
        for (int c = 0; c < bpp; c++)
            out[c] = from_fixed(sum[c]);
        out += bpp;
    }
}

// One target row: the weighted sum of intermediate rows, byte by byte.
void pass_vertical(uint8_t* out, const uint8_t* const* rows, const Tap* taps, int count, int bytes) {
    int b = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time in single precision (exact, as in the horizontal pass); the last
    // block overlaps the one before it when the row is not a multiple of 16 bytes.
    if (bytes >= 16) {
        const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi32(32768);
        for (;; b += 16) {
            if (b + 16 > bytes) b = bytes - 16;
            __m128 s0 = _mm_setzero_ps(), s1 = s0, s2 = s0, s3 = s0;
            for (int k = 0; k < count; k++) {
                const __m128i p = _mm_loadu_si128((const __m128i*)(rows[k] + b));
                const __m128i lo = _mm_unpacklo_epi8(p, zero), hi = _mm_unpackhi_epi8(p, zero);
                const __m128 w = _mm_set1_ps(taps[k].fweight);
                s0 = _mm_add_ps(s0, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)), w));
                s1 = _mm_add_ps(s1, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)), w));
                s2 = _mm_add_ps(s2, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)), w));
                s3 = _mm_add_ps(s3, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero)), w));
            }
            auto fixed = [&](__m128 s) {
                return _mm_srai_epi32(_mm_add_epi32(_mm_cvttps_epi32(s), half), 16);
            };
            const __m128i v = _mm_packus_epi16(_mm_packs_epi32(fixed(s0), fixed(s1)),
                                               _mm_packs_epi32(fixed(s2), fixed(s3)));
            _mm_storeu_si128((__m128i*)(out + b), v);
            if (b + 16 >= bytes) return;
        }
    }
#endif
    for (; b < bytes; b++) {
        int32_t sum = 0;
        for (int k = 0; k < count; k++)
            sum += rows[k][b] * taps[k].weight;
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
    const int span = vl.monotonic ? vl.widest_span : src->height;
    int strip = (int)(RING_BYTES / ((size_t)span * bpp));
    if (strip < 1) strip = 1;
    if (strip > dst->width) strip = dst->width;
    const size_t strip_bytes = (size_t)strip * bpp + 4;  // a spare byte after each row, aligned
    Scratch<uint8_t> ring(strip_bytes * span);
    Scratch<int32_t> held(span);  // source row of each ring slot, -1 when empty
    int max_taps = 1;
    for (int y = 0; y < dst->height; y++)
        if (vl.first[y + 1] - vl.first[y] > max_taps) max_taps = vl.first[y + 1] - vl.first[y];
    Scratch<const uint8_t*> rows(max_taps);
    // The source row highest in memory, copied with a spare byte after its last pixel.
    const int top_row = src->pitch < 0 ? 0 : src->height - 1;
    Scratch<uint8_t> top((size_t)src->width * bpp + 1);
#if defined(__SSE2__)
    int pairs = 0;
    TapPair* table = bpp == 3 ? pairs_build(&hl, dst->width, &pairs) : nullptr;
#endif
    std::memcpy(top.p, row_at(src, top_row), (size_t)src->width * bpp);
    top[(size_t)src->width * bpp] = 0;
    for (int x0 = 0; x0 < dst->width; x0 += strip) {
        const int x1 = x0 + strip < dst->width ? x0 + strip : dst->width;
        for (int s = 0; s < span; s++)
            held[s] = -1;
        for (int y = 0; y < dst->height; y++) {
            const Tap* taps = vl.taps + vl.first[y];
            const int count = vl.first[y + 1] - vl.first[y];
            for (int k = 0; k < count; k++) {
                const int r = taps[k].index, slot = r % span;
                uint8_t* line = ring.p + (size_t)slot * strip_bytes;
                if (held[slot] != r) {
                    const uint8_t* from = r == top_row ? top.p : row_at(src, r);
#if defined(__SSE2__)
                    if (table)
                        pass_horizontal24(line, from, table, pairs, x0, x1);
                    else
#endif
                        pass_horizontal(line, from, bpp, &hl, x0, x1);
                    held[slot] = r;
                }
                rows[k] = line;
            }
            pass_vertical(row_at(dst, y) + (ptrdiff_t)x0 * bpp, rows.p, taps, count, (x1 - x0) * bpp);
        }
    }
#if defined(__SSE2__)
    io_mem_free(table);
#endif
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

// Fills k->sums (2r + 1 entries, the caller's memory).
void kernel_build(BlurKernel* k, double sigma, int r) {
    k->r = r;
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
        while (a + 1 < runs && ls->start[a + 1] <= y - r)
            a++;
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

#if defined(__SSE2__)

// Sixteen neighbouring outputs at once, summed straight from the kernel; used wherever the
// window of an output is not flat. Products and sums are 32-bit integers; the division by the
// total goes through single precision, exact while the total is at most 65535 (every sum and
// product stays below 2^24), and is corrected by one step either way.
struct BlurSimd {
    int taps;        // 2r
    int32_t* pairs;  // taps / 2 entries: kernel entry t in the low half, entry t + 1 in the high
    float total;
    float inverse;
};

inline constexpr int64_t BLUR_SIMD_TOTAL_MAX = 65535;

inline __m128i blur_divide(__m128i sum, const BlurSimd* s) {
    const __m128 f = _mm_cvtepi32_ps(sum), total = _mm_set1_ps(s->total);
    __m128i q = _mm_cvttps_epi32(_mm_mul_ps(f, _mm_set1_ps(s->inverse)));
    q = _mm_add_epi32(q, _mm_castps_si128(_mm_cmpgt_ps(_mm_mul_ps(_mm_cvtepi32_ps(q), total), f)));
    return _mm_sub_epi32(
        q, _mm_castps_si128(_mm_cmple_ps(_mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(q), total), total), f)));
}

// Output i (0..15) = (sum over t of kernel entry t x src[t x step + i]) / total.
inline __m128i blur16(const uint8_t* src, ptrdiff_t step, const BlurSimd* s) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a0 = zero, a1 = zero, a2 = zero, a3 = zero;
    for (int t = 0; t < s->taps; t += 2, src += 2 * step) {
        const __m128i p = _mm_loadu_si128((const __m128i*)src);
        const __m128i q = _mm_loadu_si128((const __m128i*)(src + step));
        const __m128i w = _mm_set1_epi32(s->pairs[t >> 1]);
        const __m128i lo = _mm_unpacklo_epi8(p, q), hi = _mm_unpackhi_epi8(p, q);
        a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w));
        a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w));
        a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w));
        a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w));
    }
    const __m128i lo = _mm_packs_epi32(blur_divide(a0, s), blur_divide(a1, s));
    const __m128i hi = _mm_packs_epi32(blur_divide(a2, s), blur_divide(a3, s));
    return _mm_packus_epi16(lo, hi);
}

inline bool same16(const uint8_t* a, const uint8_t* b) {
    const __m128i eq = _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)a), _mm_loadu_si128((const __m128i*)b));
    return _mm_movemask_epi8(eq) == 0xFFFF;
}

// Chunks of 16 byte columns (the last one overlaps its neighbour when the width is not a
// multiple of 16; both write the same values).
inline int chunk_start(int c, int bytes) { return 16 * c + 16 <= bytes ? 16 * c : bytes - 16; }

// Vertical pass over bytes columns of the view (at least 16 of them). An output whose window
// of rows holds no change in its column keeps its value; a chunk of 16 columns is summed when
// any of its columns changes within the window.
// pad holds bytes x (height + 2r) bytes, changed one entry per chunk.
void blur_vertical_simd(const ImageView* v, int bytes, int r, const BlurSimd* s, uint8_t* pad,
                        int32_t* changed) {
    const int h = v->height, chunks = (bytes + 15) / 16;
    // Rows padded by r copies of the first and last row: padded row p is row clamp(p - r).
    for (int p = 0; p < h + 2 * r; p++) {
        const int y = p < r ? 0 : (p - r >= h ? h - 1 : p - r);
        std::memcpy(pad + (size_t)p * bytes, row_at(v, y), bytes);
    }
    // changed[c]: the latest row b scanned where chunk c differs from row b - 1.
    for (int c = 0; c < chunks; c++)
        changed[c] = INT32_MIN;
    int next = 1;
    for (int y = 0; y < h; y++) {
        for (; next <= y + r - 1 && next < h; next++) {
            const uint8_t* row = pad + (size_t)(next + r) * bytes;
            for (int c = 0; c < chunks; c++) {
                const int x = chunk_start(c, bytes);
                if (!same16(row + x, row + x - bytes)) changed[c] = next;
            }
        }
        uint8_t* out = row_at(v, y);
        const uint8_t* taps = pad + (size_t)y * bytes;
        for (int c = 0; c < chunks; c++) {
            if (changed[c] < y - r + 1) continue;
            const int x = chunk_start(c, bytes);
            _mm_storeu_si128((__m128i*)(out + x), blur16(taps + x, bytes, s));
        }
    }
}

// Positions b (1..n-1) where p[b] differs from p[b - 1], in increasing order; returns the count.
int find_changes(const uint8_t* p, int n, int32_t* out) {
    int count = 0, b = 1;
    for (; b + 16 <= n; b += 16) {
        const __m128i eq = _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(p + b)),
                                          _mm_loadu_si128((const __m128i*)(p + b - 1)));
        unsigned mask = ~(unsigned)_mm_movemask_epi8(eq) & 0xFFFF;
        for (; mask; mask &= mask - 1)
            out[count++] = b + __builtin_ctz(mask);
    }
    for (; b < n; b++)
        if (p[b] != p[b - 1]) out[count++] = b;
    return count;
}

// Horizontal pass along rows at least 16 pixels long, channel by channel. line holds width + 2r
// bytes (one channel of a row padded by r copies of its end values), changes width entries.
void blur_horizontal_simd(const ImageView* v, int bpp, int r, const BlurSimd* s, uint8_t* line,
                          int32_t* changes) {
    const int n = v->width;
    for (int y = 0; y < v->height; y++)
        for (int ch = 0; ch < bpp; ch++) {
            uint8_t* row = row_at(v, y) + ch;
            uint8_t* mid = line + r;
            if (bpp == 1)
                std::memcpy(mid, row, n);
            else
                for (int x = 0; x < n; x++)
                    mid[x] = row[x * bpp];
            const int count = find_changes(mid, n, changes);
            if (count == 0) continue;
            std::memset(line, mid[0], r);
            std::memset(mid + n, mid[n - 1], r);
            int k = 0;
            for (int c = 0; c < (n + 15) / 16; c++) {
                const int x = chunk_start(c, n);
                while (k < count && changes[k] < x - r + 1)
                    k++;
                if (k == count) break;
                if (changes[k] > x + 15 + r - 1) continue;
                const __m128i out = blur16(line + x, 1, s);
                if (bpp == 1) {
                    _mm_storeu_si128((__m128i*)(row + x), out);
                } else {
                    alignas(16) uint8_t tmp[16];
                    _mm_store_si128((__m128i*)tmp, out);
                    for (int i = 0; i < 16; i++)
                        row[(x + i) * bpp] = tmp[i];
                }
            }
        }
}

#endif

// How one blur runs and the working memory it needs, from the view's size and the kernel alone,
// so that a caller can hand the memory in. The pieces lie in one block, 16 bytes apart.
struct BlurPlan {
    int r;
    int64_t total;         // of the kernel
    bool vertical_simd;    // the passes that take sixteen outputs at once
    bool horizontal_simd;  // (the others go run by run)
    int64_t* sums;         // 2r + 1 prefix sums of the kernel
    int32_t* run_start;    // longest line + 1, for the passes run by run
    uint8_t* run_value;    // longest line
    int32_t* pairs;        // r kernel entries two by two
    uint8_t* pad;          // row bytes x (height + 2r), for the vertical SIMD pass
    int32_t* changed;      // one per 16 row bytes
    uint8_t* line;         // width + 2r, for the horizontal SIMD pass
    int32_t* changes;      // width
};

// Lays the plan's memory out from base (null: only measures) and returns its size in bytes.
size_t blur_plan(BlurPlan* p, const ImageView* v, double sigma, int r, uint8_t* base) {
    const int bpp = v->kind & 15;
    const size_t w = (size_t)v->width, h = (size_t)v->height, longest = w > h ? w : h;
    *p = {};
    p->r = r;
    for (int i = -r; i < r; i++)
        p->total += kernel_entry(sigma, i < 0 ? -i : i);
#if defined(__SSE2__)
    const bool simd = p->total <= BLUR_SIMD_TOTAL_MAX;
    p->vertical_simd = simd && v->width * bpp >= 16;
    p->horizontal_simd = simd && v->width >= 16;
#endif
    size_t at = 0;
    auto take = [&](size_t bytes) -> uint8_t* {
        uint8_t* piece = base ? base + at : nullptr;
        at += (bytes + 15) & ~(size_t)15;
        return piece;
    };
    p->sums = (int64_t*)take(sizeof(int64_t) * (2 * (size_t)r + 1));
    if (!p->vertical_simd || !p->horizontal_simd) {
        p->run_start = (int32_t*)take(sizeof(int32_t) * (longest + 1));
        p->run_value = take(longest);
    }
    if (p->vertical_simd || p->horizontal_simd) p->pairs = (int32_t*)take(sizeof(int32_t) * (size_t)r);
    if (p->vertical_simd) {
        p->pad = take(w * bpp * (h + 2 * (size_t)r));
        p->changed = (int32_t*)take(sizeof(int32_t) * ((w * bpp + 15) / 16));
    }
    if (p->horizontal_simd) {
        p->line = take(w + 2 * (size_t)r);
        p->changes = (int32_t*)take(sizeof(int32_t) * w);
    }
    return at;
}

// A view the blur changes: a kernel, pixels, and a kind it offers.
bool blur_applies(const ImageView* view, int r) {
    return r != 0 && view->width > 0 && view->height > 0 &&
           (view->kind == IMG_8BIT || view->kind == IMG_24BIT);
}

void blur_view(const ImageView* v, double sigma, const BlurPlan* p) {
    const int bpp = v->kind & 15, r = p->r;
    BlurKernel k;
    k.sums = p->sums;
    kernel_build(&k, sigma, r);
    LineScratch ls{p->run_start, p->run_value};
#if defined(__SSE2__)
    if (p->vertical_simd || p->horizontal_simd) {
        for (int t = 0; t < 2 * r; t += 2) {
            const int64_t* S = k.sums;
            p->pairs[t / 2] = (int32_t)((S[t + 1] - S[t]) | (S[t + 2] - S[t + 1]) << 16);
        }
        const BlurSimd simd{2 * r, p->pairs, (float)k.total, 1.0f / (float)k.total};
        if (p->vertical_simd) blur_vertical_simd(v, v->width * bpp, r, &simd, p->pad, p->changed);
        if (p->horizontal_simd) blur_horizontal_simd(v, bpp, r, &simd, p->line, p->changes);
    }
#endif
    if (!p->vertical_simd)
        for (int x = 0; x < v->width * bpp; x++)
            blur_line(v->pixels + x, v->pitch, v->height, &k, &ls);
    if (!p->horizontal_simd)
        for (int y = 0; y < v->height; y++)
            for (int c = 0; c < bpp; c++)
                blur_line(row_at(v, y) + c, bpp, v->width, &k, &ls);
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
    for (int i = 0; i <= r && i < capacity; i++)
        weights[i] = kernel_entry(sigma, i);
    return r;
}

int img_blur(const ImageView* view, double sigma) {
    const int r = blur_radius_of(sigma);
    if (!blur_applies(view, r)) return r;
    BlurPlan plan;
    uint8_t* memory = (uint8_t*)io_mem_alloc(blur_plan(&plan, view, sigma, r, nullptr));
    blur_plan(&plan, view, sigma, r, memory);
    blur_view(view, sigma, &plan);
    io_mem_free(memory);
    return r;
}

size_t img_blur_scratch_size(const ImageView* view, double sigma) {
    const int r = blur_radius_of(sigma);
    if (!blur_applies(view, r)) return 0;
    BlurPlan plan;
    return blur_plan(&plan, view, sigma, r, nullptr);
}

int img_blur_in(const ImageView* view, double sigma, void* scratch) {
    const int r = blur_radius_of(sigma);
    if (!blur_applies(view, r)) return r;
    BlurPlan plan;
    blur_plan(&plan, view, sigma, r, (uint8_t*)scratch);
    blur_view(view, sigma, &plan);
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
        const unsigned lit =
            B >= 1 ? (unsigned)((127 - B) * L + B * 255) / 127u : (unsigned)(((B + 128) * L) >> 7);
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
