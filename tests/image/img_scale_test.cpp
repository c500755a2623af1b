// tests/image/img_scale_test.cpp -- resampling, the Gaussian blur, colourise and HLS.
//
// Hand-worked values pin the arithmetic; the direct sums below (the plainest reading of each
// rule, with a full intermediate picture and no shortcuts) check the fast paths on random
// pictures of awkward sizes.
// Ideas not yet written: a golden hash of a piece shadow once piece rendering exists.
#include "image/img_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "platform/io_mem.h"

namespace {

// An owned image with a byte-level accessor.
struct Pic {
    Image* im;
    Pic(int w, int h, int kind) : im(img_create(w, h, kind)) {}
    ~Pic() { io_mem_free(im); }
    Pic(const Pic&) = delete;
    Pic& operator=(const Pic&) = delete;
    ImageView view(int x = 0, int y = 0) const {
        ImageView v;
        img_view(&v, im, x, y);
        return v;
    }
    uint8_t* at(int x, int y) const { return view(x, y).pixels; }
    int bpp() const { return im->kind & 15; }
    size_t bytes() const { return (size_t)im->colourPitch * im->height; }
    std::vector<uint8_t> plane() const { return std::vector<uint8_t>(at(0, 0), at(0, 0) + bytes()); }
    void fill_random(std::mt19937& rng, int style) {
        uint8_t* p = at(0, 0);
        const int w = im->width * bpp();
        for (int y = 0; y < im->height; y++)
            for (int x = 0; x < w; x++) {
                uint8_t v;
                if (style == 0)
                    v = (uint8_t)rng();  // noise
                else if (style == 1)
                    v = ((x / 7 + y / 5) % 3) * 100 + (rng() % 50 == 0 ? 9 : 0);  // runs
                else
                    v = ((x - w / 2) * (x - w / 2) + (y - 20) * (y - 20) < 300) ? 255 : 0;  // a blob
                p[(size_t)y * im->colourPitch + x] = v;
            }
    }
};

uint32_t bgr_at(const Pic& p, int x, int y) {
    const uint8_t* q = p.at(x, y);
    return (uint32_t)q[2] << 16 | q[1] << 8 | q[0];
}

// --- Direct sums ---

std::vector<int64_t> direct_kernel(double sigma, int r) {
    std::vector<int64_t> k(2 * r + 1);
    for (int i = -r; i <= r; i++)
        k[i + r] =
            i == 0 ? 255 : (int64_t)std::floor(255.0 * std::exp(-(double)(i * i) / (2.0 * sigma * sigma)));
    return k;
}

// Every value becomes (sum over i = -r..r-1 of k[r + i] * p(clamp(y + i))) / total, columns
// first, then rows.
void direct_blur(std::vector<uint8_t>& px, int w, int h, int bpp, double sigma) {
    const int r = img_blur_radius(sigma);
    if (r == 0) return;
    const std::vector<int64_t> k = direct_kernel(sigma, r);
    int64_t total = 0;
    for (int i = 0; i < 2 * r; i++)
        total += k[i];
    std::vector<uint8_t> line;
    auto pass = [&](int n, int lines, auto index) {
        for (int l = 0; l < lines; l++) {
            line.resize(n);
            for (int y = 0; y < n; y++)
                line[y] = px[index(l, y)];
            for (int y = 0; y < n; y++) {
                int64_t s = 0;
                for (int i = -r; i < r; i++)
                    s += k[i + r] * line[std::clamp(y + i, 0, n - 1)];
                px[index(l, y)] = (uint8_t)(s / total);
            }
        }
    };
    pass(h, w * bpp, [&](int col, int y) { return (size_t)y * w * bpp + col; });
    pass(w, h * bpp, [&](int l, int x) { return (size_t)(l / bpp) * w * bpp + (size_t)x * bpp + l % bpp; });
}

double hermite(double t) {
    t = std::fabs(t);
    return t < 1.0 ? 2.0 * t * t * t - 3.0 * t * t + 1.0 : 0.0;
}

struct DirectTap {
    int index, weight;
};

std::vector<std::vector<DirectTap>> direct_lists(int n, int m) {
    std::vector<std::vector<DirectTap>> lists(m);
    const double scale = (double)m / n;
    for (int i = 0; i < m; i++) {
        const double c = i / scale, width = scale < 1.0 ? 1.0 / scale : 1.0;
        int sum = 0;
        size_t best = 0;
        for (int j = (int)std::ceil(c - width); j <= (int)std::floor(c + width); j++) {
            const double wt = scale < 1.0 ? hermite((c - j) * scale) * scale : hermite(c - j);
            const int idx = std::clamp(j < 0 ? -j : (j >= n ? 2 * n - j - 1 : j), 0, n - 1);
            lists[i].push_back({idx, (int)(wt * 65536.0)});
            sum += lists[i].back().weight;
            if (lists[i].back().weight > lists[i][best].weight) best = lists[i].size() - 1;
        }
        lists[i][best].weight += 65536 - sum;
    }
    return lists;
}

uint8_t direct_fixed(int64_t s) { return s < 0 ? 0 : (uint8_t)std::min<int64_t>(255, (s + 32768) >> 16); }

// Horizontal pass into a full dst width x src height picture, then the vertical pass.
std::vector<uint8_t> direct_hermite(const std::vector<uint8_t>& src, int sw, int sh, int dw, int dh,
                                    int bpp) {
    const auto hl = direct_lists(sw, dw), vl = direct_lists(sh, dh);
    std::vector<uint8_t> tmp((size_t)dw * sh * bpp), out((size_t)dw * dh * bpp);
    for (int y = 0; y < sh; y++)
        for (int i = 0; i < dw; i++)
            for (int c = 0; c < bpp; c++) {
                int64_t s = 0;
                for (const DirectTap& t : hl[i])
                    s += (int64_t)src[((size_t)y * sw + t.index) * bpp + c] * t.weight;
                tmp[((size_t)y * dw + i) * bpp + c] = direct_fixed(s);
            }
    for (int x = 0; x < dw * bpp; x++)
        for (int i = 0; i < dh; i++) {
            int64_t s = 0;
            for (const DirectTap& t : vl[i])
                s += (int64_t)tmp[(size_t)t.index * dw * bpp + x] * t.weight;
            out[(size_t)i * dw * bpp + x] = direct_fixed(s);
        }
    return out;
}

// --- Nearest neighbour ---

TEST(ImgScale, nearest_takes_the_rounded_source_positions) {
    Pic src(4, 3, IMG_8BIT), dst(7, 5, IMG_8BIT);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 4; x++)
            *src.at(x, y) = (uint8_t)(10 * y + x);
    ImageView d = dst.view(), s = src.view();
    ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_NEAREST), 1);
    // Step 32768 across: columns 0, 1, 1, 2, 2, 3, 3; step 32768 down: rows 0, 1, 1, 2, 2.
    const int cols[7] = {0, 1, 1, 2, 2, 3, 3}, rows[5] = {0, 1, 1, 2, 2};
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 7; x++)
            EXPECT_EQ(*dst.at(x, y), 10 * rows[y] + cols[x]) << x << "," << y;

    // Shrinking 7 to 4 columns: step 131072, columns 0, 2, 4, 6; 24-bit pixels move whole.
    Pic wide(7, 1, IMG_24BIT), narrow(4, 1, IMG_24BIT);
    for (int x = 0; x < 7; x++) {
        const uint8_t px[3] = {(uint8_t)x, 50, (uint8_t)(99 - x)};
        std::memcpy(wide.at(x, 0), px, 3);
    }
    d = narrow.view(), s = wide.view();
    ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_NEAREST), 1);
    for (int x = 0; x < 4; x++)
        EXPECT_EQ(bgr_at(narrow, x, 0), (uint32_t)(99 - 2 * x) << 16 | 50 << 8 | 2 * x);
}

TEST(ImgScale, nearest_to_one_pixel_takes_the_first_column_and_row) {
    Pic src(5, 4, IMG_8BIT);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 5; x++)
            *src.at(x, y) = (uint8_t)(1 + 10 * y + x);
    Pic column(1, 6, IMG_8BIT), row(6, 1, IMG_8BIT), dot(1, 1, IMG_8BIT);
    ImageView s = src.view(), c = column.view(), r = row.view(), d = dot.view();
    ASSERT_EQ(img_resample(&c, &s, IMG_RESAMPLE_NEAREST), 1);
    ASSERT_EQ(img_resample(&r, &s, IMG_RESAMPLE_NEAREST), 1);
    ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_NEAREST), 1);
    const int rows6[6] = {0, 1, 1, 2, 2, 3};  // step (4 - 1) * 65536 / 5 = 39321
    const int cols6[6] = {0, 1, 2, 2, 3, 4};  // step 52428
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(*column.at(0, i), 1 + 10 * rows6[i]);
        EXPECT_EQ(*row.at(i, 0), 1 + cols6[i]);
    }
    EXPECT_EQ(*dot.at(0, 0), 1);
}

TEST(ImgScale, resample_refuses_mismatched_kinds_modes_and_empty_views) {
    Pic a(4, 4, IMG_24BIT), b(3, 3, IMG_8BIT), c(3, 3, IMG_16BIT), e(3, 3, IMG_16BIT);
    std::memset(b.at(0, 0), 77, b.bytes());
    ImageView va = a.view(), vb = b.view(), vc = c.view(), ve = e.view();
    EXPECT_EQ(img_resample(&vb, &va, IMG_RESAMPLE_NEAREST), 0);
    EXPECT_EQ(img_resample(&vb, &va, IMG_RESAMPLE_HERMITE), 0);
    EXPECT_EQ(img_resample(&vc, &ve, IMG_RESAMPLE_NEAREST), 0);
    ImageView va8 = va;
    va8.kind = IMG_8BIT;
    EXPECT_EQ(img_resample(&vb, &va8, 1), 0);
    va8.width = 0;
    EXPECT_EQ(img_resample(&vb, &va8, IMG_RESAMPLE_HERMITE), 0);
    EXPECT_EQ(b.plane(), std::vector<uint8_t>(9, 77));
}

// --- The Hermite resampler ---

TEST(ImgScale, hermite_weights_by_hand_with_mirrored_edges) {
    // 8 -> 4: scale 0.5, taps at distance 0, 1, 2 weigh 32768, 16384, 0. Target 0 reaches
    // source -1, mirrored to 1: (200 + 2 * 0 + 200) / 4 = 100 (clamping the edge would give 50).
    Pic src(8, 1, IMG_8BIT), dst(4, 1, IMG_8BIT);
    const uint8_t row[8] = {0, 200, 40, 80, 120, 160, 200, 240};
    std::memcpy(src.at(0, 0), row, 8);
    ImageView d = dst.view(), s = src.view();
    ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_HERMITE), 1);
    EXPECT_EQ(dst.plane(), (std::vector<uint8_t>{100, 90, 120, 200}));

    // 2 -> 4: scale 2; centres 0, 0.5, 1, 1.5; f(0.5) = 0.5 and source 2 mirrors to 1.
    Pic two(2, 1, IMG_24BIT), four(4, 1, IMG_24BIT);
    const uint8_t ends[6] = {10, 0, 255, 21, 255, 0};
    std::memcpy(two.at(0, 0), ends, 6);
    d = four.view(), s = two.view();
    ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_HERMITE), 1);
    EXPECT_EQ(four.plane(), (std::vector<uint8_t>{10, 0, 255, 16, 128, 128, 21, 255, 0, 21, 255, 0}));

    // The same along columns: 8 rows -> 4 rows.
    Pic tall(1, 8, IMG_8BIT), short4(1, 4, IMG_8BIT);
    std::memcpy(tall.at(0, 0), row, 8);
    d = short4.view(), s = tall.view();
    ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_HERMITE), 1);
    EXPECT_EQ(short4.plane(), (std::vector<uint8_t>{100, 90, 120, 200}));
}

TEST(ImgScale, hermite_keeps_uniform_pictures_and_same_size_copies) {
    const int sizes[][4] = {{9, 7, 9, 7},    {9, 7, 3, 2},  {1, 1, 9, 9},     {9, 9, 1, 1},
                            {13, 5, 40, 17}, {5, 60, 2, 3}, {100, 3, 37, 11}, {2, 2, 3, 3}};
    for (const auto& sz : sizes) {
        Pic src(sz[0], sz[1], IMG_24BIT), dst(sz[2], sz[3], IMG_24BIT);
        img_fill(src.im, 0x00C81E07);
        ImageView d = dst.view(), s = src.view();
        ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_HERMITE), 1);
        for (int y = 0; y < sz[3]; y++)
            for (int x = 0; x < sz[2]; x++)
                ASSERT_EQ(bgr_at(dst, x, y), 0x00C81E07u)
                    << sz[0] << "x" << sz[1] << "->" << sz[2] << "x" << sz[3];
    }
    std::mt19937 rng(5);
    for (int kind : {IMG_8BIT, IMG_24BIT}) {
        Pic src(23, 17, kind), dst(23, 17, kind);
        src.fill_random(rng, 0);
        ImageView d = dst.view(), s = src.view();
        ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_HERMITE), 1);
        EXPECT_EQ(dst.plane(), src.plane());
    }
}

TEST(ImgScale, hermite_matches_the_direct_two_pass_sum) {
    std::mt19937 rng(11);
    const int sizes[][4] = {{31, 19, 12, 7},   {12, 7, 31, 19}, {50, 3, 17, 40},     {3, 50, 40, 17},
                            {64, 64, 63, 65},  {1, 9, 6, 2},    {300, 200, 100, 67}, {17, 5, 1, 1},
                            {3, 2000, 1500, 1}};  // the last one needs several column strips
    for (const auto& sz : sizes)
        for (int kind : {IMG_8BIT, IMG_24BIT}) {
            Pic src(sz[0], sz[1], kind), dst(sz[2], sz[3], kind);
            src.fill_random(rng, kind == IMG_8BIT ? 0 : 1);
            ImageView d = dst.view(), s = src.view();
            ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_HERMITE), 1);
            ASSERT_EQ(dst.plane(), direct_hermite(src.plane(), sz[0], sz[1], sz[2], sz[3], src.bpp()))
                << sz[0] << "x" << sz[1] << "->" << sz[2] << "x" << sz[3] << " kind " << kind;
        }
}

TEST(ImgScale, resample_works_through_views_and_images) {
    // A view inside a larger picture: only its rectangle is read and written.
    std::mt19937 rng(3);
    Pic big(40, 30, IMG_24BIT), src(11, 9, IMG_24BIT);
    big.fill_random(rng, 0);
    src.fill_random(rng, 0);
    const std::vector<uint8_t> before = big.plane();
    ImageView d = big.view(5, 4), s = src.view();
    d.width = 20, d.height = 13;
    ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_HERMITE), 1);
    const std::vector<uint8_t> want = direct_hermite(src.plane(), 11, 9, 20, 13, 3);
    const std::vector<uint8_t> after = big.plane();
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 40 * 3; x++) {
            const size_t at = (size_t)y * 120 + x;
            const bool inside = y >= 4 && y < 17 && x >= 15 && x < 75;
            ASSERT_EQ(after[at], inside ? want[(size_t)(y - 4) * 60 + x - 15] : before[at]) << x << "," << y;
        }

    // Rows running upward in memory (as the screen's do), on both sides.
    Pic up_src(11, 9, IMG_24BIT), up_dst(20, 13, IMG_24BIT);
    for (int y = 0; y < 9; y++)
        std::memcpy(up_src.at(0, 8 - y), src.at(0, y), 33);
    ImageView us = up_src.view(0, 8), ud = up_dst.view(0, 12);
    us.height = 9, us.pitch = -33;
    ud.height = 13, ud.pitch = -60;
    ASSERT_EQ(img_resample(&ud, &us, IMG_RESAMPLE_HERMITE), 1);
    for (int y = 0; y < 13; y++)
        ASSERT_EQ(std::memcmp(up_dst.at(0, 12 - y), want.data() + (size_t)y * 60, 60), 0) << y;

    Pic small(6, 4, IMG_8BIT), grown(12, 8, IMG_8BIT);
    small.fill_random(rng, 0);
    ASSERT_EQ(img_resample_images(grown.im, small.im, 1), 1);
    EXPECT_EQ(grown.plane(), direct_hermite(small.plane(), 6, 4, 12, 8, 1));
    ASSERT_EQ(img_resample_images(grown.im, small.im, 0), 1);
    EXPECT_EQ(*grown.at(11, 7), *small.at(5, 3));
    EXPECT_EQ(*grown.at(1, 1), *small.at(0, 0));  // steps 29789 and 28086: position 1 rounds to 0
}

// --- The Gaussian blur ---

TEST(ImgScale, blur_kernel_and_radius) {
    int32_t k[8];
    ASSERT_EQ(img_blur_kernel(2.0, k, 8), 7);
    EXPECT_EQ(std::vector<int32_t>(k, k + 8), (std::vector<int32_t>{255, 225, 154, 82, 34, 11, 2, 0}));
    EXPECT_EQ(img_blur_radius(2.0), 7);
    EXPECT_EQ(img_blur_radius(5.0), 17);  // sqrt(50 x ln 255) = 16.6
    EXPECT_EQ(img_blur_radius(2.5), 9);   // sqrt(12.5 x ln 255) = 8.3
    EXPECT_EQ(img_blur_radius(0.25), 1);
    EXPECT_EQ(img_blur_radius(0.0), 0);
    EXPECT_EQ(img_blur_radius(std::nan("")), 0);
    EXPECT_EQ(img_blur_radius(1e12), IMG_BLUR_RADIUS_MAX);
}

TEST(ImgScale, blur_of_a_step_and_of_a_single_pixel) {
    // A column 0 above row 10 and 255 from row 10, sigma 2: the taps run from -7 to 6 and
    // total 1271; row 10 keeps 255 x 763 / 1271 = 153, row 9 255 x 508 / 1271 = 101.
    Pic col(1, 24, IMG_8BIT);
    for (int y = 0; y < 24; y++)
        *col.at(0, y) = y < 10 ? 0 : 255;
    ImageView v = col.view();
    ASSERT_EQ(img_blur(&v, 2.0), 7);
    const uint8_t want[24] = {0,   0,   0,   0,   0,   2,   9,   25,  56,  101, 153, 198,
                              229, 245, 252, 254, 255, 255, 255, 255, 255, 255, 255, 255};
    EXPECT_EQ(col.plane(), std::vector<uint8_t>(want, want + 24));

    // One bright pixel: columns first give 51, 45, 30, 16, 6, 2 from the centre, then rows.
    Pic dot(31, 31, IMG_8BIT);
    img_fill(dot.im, 0);
    *dot.at(15, 15) = 255;
    v = dot.view();
    img_blur(&v, 2.0);
    EXPECT_EQ(*dot.at(15, 15), 10);  // 51 x 255 / 1271
    EXPECT_EQ(*dot.at(16, 15), 9);   // 51 x 225 / 1271
    EXPECT_EQ(*dot.at(15, 16), 9);   // 45 x 255 / 1271
    EXPECT_EQ(*dot.at(16, 16), 7);   // 45 x 225 / 1271
    int sum = 0;
    for (int y = 0; y < 31; y++)
        for (int x = 0; x < 31; x++) {
            sum += *dot.at(x, y);
            ASSERT_EQ(*dot.at(x, y), *dot.at(30 - x, y));
            ASSERT_EQ(*dot.at(x, y), *dot.at(x, 30 - y));
            ASSERT_EQ(*dot.at(x, y), *dot.at(y, x));
            if (std::abs(x - 15) > 6 || std::abs(y - 15) > 6) {
                ASSERT_EQ(*dot.at(x, y), 0);
            }
        }
    EXPECT_EQ(sum, 202);  // only rounding down loses anything
}

TEST(ImgScale, blur_leaves_uniform_views_and_tiny_sigmas_alone) {
    Pic grey(40, 9, IMG_8BIT), colour(9, 40, IMG_24BIT);
    img_fill(grey.im, 0xC3);
    img_fill(colour.im, 0x00FF0180);
    ImageView g = grey.view(), c = colour.view();
    EXPECT_EQ(img_blur(&g, 5.0), 17);
    EXPECT_EQ(img_blur(&c, 2.5), 9);
    EXPECT_EQ(grey.plane(), std::vector<uint8_t>(40 * 9, 0xC3));
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 9; x++)
            ASSERT_EQ(bgr_at(colour, x, y), 0x00FF0180u);

    std::mt19937 rng(1);
    grey.fill_random(rng, 0);
    const std::vector<uint8_t> noise = grey.plane();
    EXPECT_EQ(img_blur(&g, 0.0), 0);
    EXPECT_EQ(grey.plane(), noise);
    Pic wide(3, 3, IMG_16BIT);  // not a kind the blur offers: unchanged, the radius reported
    std::memset(wide.at(0, 0), 9, wide.bytes());
    ImageView w = wide.view();
    EXPECT_EQ(img_blur(&w, 2.0), 7);
    EXPECT_EQ(wide.plane(), std::vector<uint8_t>(wide.bytes(), 9));
}

TEST(ImgScale, blur_matches_the_direct_sum) {
    std::mt19937 rng(7);
    const int sizes[][2] = {{1, 1}, {3, 40}, {40, 3}, {17, 5}, {33, 29}, {70, 64}, {16, 16}, {130, 20}};
    const double sigmas[] = {0.3, 1.0, 2.5, 5.0, 16.0, 30.0, 120.0};  // 120: a total above 65535
    for (const auto& sz : sizes)
        for (double sigma : sigmas) {
            if (sigma > 100.0 && sz[0] * sz[1] > 1000) continue;  // the direct sum is slow there
            for (int kind : {IMG_8BIT, IMG_24BIT})
                for (int style = 0; style < 3; style++) {
                    Pic p(sz[0], sz[1], kind);
                    p.fill_random(rng, style);
                    std::vector<uint8_t> want = p.plane();
                    direct_blur(want, sz[0], sz[1], p.bpp(), sigma);
                    ImageView v = p.view();
                    img_blur(&v, sigma);
                    ASSERT_EQ(p.plane(), want) << sz[0] << "x" << sz[1] << " sigma " << sigma << " kind "
                                               << kind << " style " << style;
                }
        }
}

TEST(ImgScale, blur_stays_inside_its_view) {
    std::mt19937 rng(9);
    Pic big(50, 40, IMG_8BIT), part(30, 20, IMG_8BIT);
    big.fill_random(rng, 0);
    const std::vector<uint8_t> before = big.plane();
    for (int y = 0; y < 20; y++)
        std::memcpy(part.at(0, y), big.at(10, 12 + y), 30);
    ImageView v = big.view(10, 12), p = part.view();
    v.width = 30, v.height = 20;
    img_blur(&v, 3.0);
    img_blur(&p, 3.0);
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 50; x++) {
            const bool inside = x >= 10 && x < 40 && y >= 12 && y < 32;
            ASSERT_EQ(*big.at(x, y), inside ? *part.at(x - 10, y - 12) : before[(size_t)y * 50 + x])
                << x << "," << y;
        }

    // A view whose rows run upward in memory (as the screen's do) gives the same picture.
    Pic flipped(30, 20, IMG_8BIT);
    for (int y = 0; y < 20; y++)
        std::memcpy(flipped.at(0, 19 - y), before.data() + (size_t)(12 + y) * 50 + 10, 30);
    ImageView up = flipped.view(0, 19);
    up.height = 20;
    up.pitch = -30;
    img_blur(&up, 3.0);
    for (int y = 0; y < 20; y++)
        ASSERT_EQ(std::memcmp(flipped.at(0, 19 - y), part.at(0, y), 30), 0) << y;
}

TEST(ImgScale, blur_copy_uses_the_last_radius_sigma_and_copies_what_fits) {
    Pic src(12, 12, IMG_8BIT), dst(8, 10, IMG_8BIT), want(8, 10, IMG_8BIT);
    std::mt19937 rng(2);
    src.fill_random(rng, 0);
    img_fill(dst.im, 0);
    for (int y = 0; y < 10; y++)
        std::memcpy(want.at(0, y), src.at(0, y), 8);
    ImageView w = want.view();
    img_blur(&w, 1.5);
    img_blur_radius(9.0);
    EXPECT_EQ(img_blur_radius(1.5), 5);  // sqrt(4.5 x ln 255) = 4.99
    EXPECT_EQ(img_blur_copy(dst.im, src.im), 5);
    EXPECT_EQ(dst.plane(), want.plane());
}

// --- Colour ---

TEST(ImgScale, hls_to_rgb_by_hand) {
    EXPECT_EQ(hls_to_rgb(0.0f, 0.5f, 1.0f), 0x00FF0000u);
    EXPECT_EQ(hls_to_rgb(120.0f, 0.5f, 1.0f), 0x0000FF00u);
    EXPECT_EQ(hls_to_rgb(240.0f, 0.5f, 1.0f), 0x000000FFu);
    EXPECT_EQ(hls_to_rgb(-120.0f, 0.5f, 1.0f), 0x000000FFu);  // raised by 360
    EXPECT_EQ(hls_to_rgb(0.0f, 0.25f, 1.0f), 0x007F0000u);    // m2 = 0.5: 127.5 truncated
    EXPECT_EQ(hls_to_rgb(30.0f, 0.5f, 1.0f), 0x00FF7F00u);    // green halfway up its ramp
    EXPECT_EQ(hls_to_rgb(77.0f, 0.0f, 0.0f), 0x00FFFFFFu);    // no saturation is white
    EXPECT_EQ(hls_to_rgb(0.0f, 0.0f, 1.0f), 0x00000000u);
    EXPECT_EQ(hls_to_rgb(0.0f, 2.0f, 1.0f) & 0xFF000000u, 0u);  // out of range stays in its bytes
    EXPECT_EQ(hls_to_rgb(-1e30f, 0.5f, 1.0f) & 0xFF000000u, 0u);
}

TEST(ImgScale, colourise_by_hand) {
    // (R, G, B) = (100, 150, 200) has grey 141. Saturation 50 gives S = 127; with lightness
    // 141 / 255: m2 = 0.7756 (197) and m1 = 0.3303 (84).
    Pic src(2, 1, IMG_24BIT), dst(2, 1, IMG_24BIT);
    const uint8_t px[6] = {200, 150, 100, 0, 0, 0};
    std::memcpy(src.at(0, 0), px, 6);
    ImageView d = dst.view(), s = src.view();
    ASSERT_EQ(img_colourise(&d, &s, 0, 0, 50), 1);
    EXPECT_EQ(bgr_at(dst, 0, 0), 0x00C55454u);
    ASSERT_EQ(img_colourise(&d, &s, 60, 0, 50), 1);
    EXPECT_EQ(bgr_at(dst, 0, 0), 0x00C5C554u);
    // Brightness 50: B = 63, L' = (64 x 141 + 63 x 255) / 127 = 197 -> (225, 168, 168).
    ASSERT_EQ(img_colourise(&d, &s, 0, 50, 50), 1);
    EXPECT_EQ(bgr_at(dst, 0, 0), 0x00E1A8A8u);
    // Brightness -50: B = -64, L' = (64 x 141) >> 7 = 70 -> (104, 35, 35).
    ASSERT_EQ(img_colourise(&d, &s, 0, -50, 50), 1);
    EXPECT_EQ(bgr_at(dst, 0, 0), 0x00682323u);

    // Saturation 0 is white whatever the pixel; brightness 100 and -100 give white and black.
    std::mt19937 rng(4);
    Pic noise(16, 8, IMG_24BIT), out(16, 8, IMG_24BIT);
    noise.fill_random(rng, 0);
    d = out.view(), s = noise.view();
    const int cases[][3] = {
        {0, 0, 0x00FFFFFF}, {100, 60, 0x00FFFFFF}, {-100, 60, 0}, {250, 60, 0x00FFFFFF}, {-250, 60, 0}};
    for (const auto& c : cases) {
        ASSERT_EQ(img_colourise(&d, &s, 200, c[0], c[1]), 1);
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 16; x++)
                ASSERT_EQ(bgr_at(out, x, y), (uint32_t)c[2]) << c[0] << " " << c[1];
    }

    // In place: the source pixel is read before it is written.
    ImageView same = src.view();
    ASSERT_EQ(img_colourise(&same, &same, 0, 0, 50), 1);
    EXPECT_EQ(bgr_at(src, 0, 0), 0x00C55454u);

    Pic grey(2, 1, IMG_8BIT), other(3, 1, IMG_24BIT);
    ImageView g = grey.view(), o = other.view();
    EXPECT_EQ(img_colourise(&d, &g, 0, 0, 50), 0);
    EXPECT_EQ(img_colourise(&o, &s, 0, 0, 50), 0);
}

}  // namespace
