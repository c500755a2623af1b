// tests/image/img_scale_test.cpp -- resampling, the Gaussian blur, colourise and HLS: hand-worked
// values on small pictures, approved-output hashes (support/golden.h) for the fast paths.
#include "image/img_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "support/golden.h"
#include "support/pictures.h"

namespace {

// Style 0: noise; 1: runs with a few specks; 2: a bright disc on black.
void fill(const Pic& p, std::mt19937& rng, int style) {
    const int w = p.im->width * (p.im->kind & 15);
    for (int y = 0; y < p.im->height; y++)
        for (int x = 0; x < w; x++)
            p.at(0, y)[x] = style == 0   ? (uint8_t)rng()
                            : style == 1 ? ((x / 7 + y / 5) % 3) * 100 + (rng() % 50 == 0 ? 9 : 0)
                                         : ((x - w / 2) * (x - w / 2) + (y - 20) * (y - 20) < 300) * 255;
}

int resample(const Pic& dst, const Pic& src, int mode) {
    ImageView d = dst.view(), s = src.view();
    return img_resample(&d, &s, mode);
}

TEST(ImgScale, nearest_takes_the_rounded_source_positions) {
    // Step (n - 1) x 65536 / (m - 1), positions rounded: 5 -> 7 takes columns 0 1 1 2 3 3 4,
    // 4 -> 6 rows 0 1 1 2 2 3; to a single column or row only the first is taken.
    Pic src(5, 4, IMG_8BIT), dst(7, 6, IMG_8BIT), dot(1, 1, IMG_8BIT), column(1, 6, IMG_8BIT);
    for (int i = 0; i < 20; i++)
        src.at(0, 0)[i] = (uint8_t)(i / 5 * 10 + i % 5);
    ASSERT_EQ(resample(dst, src, IMG_RESAMPLE_NEAREST), 1);
    ASSERT_EQ(resample(dot, src, IMG_RESAMPLE_NEAREST), 1);
    ASSERT_EQ(resample(column, src, IMG_RESAMPLE_NEAREST), 1);
    const int cols[7] = {0, 1, 1, 2, 3, 3, 4}, rows[6] = {0, 1, 1, 2, 2, 3};
    for (int y = 0; y < 6; y++) {
        for (int x = 0; x < 7; x++)
            EXPECT_EQ(*dst.at(x, y), 10 * rows[y] + cols[x]) << x << "," << y;
        EXPECT_EQ(*column.at(0, y), 10 * rows[y]);
    }
    EXPECT_EQ(*dot.at(0, 0), 0);

    // Shrinking 7 to 4 columns takes 0, 2, 4, 6; 24-bit pixels move whole.
    Pic wide(7, 1, IMG_24BIT), narrow(4, 1, IMG_24BIT);
    for (int x = 0; x < 7; x++)
        std::memcpy(wide.at(x, 0), std::vector<uint8_t>{(uint8_t)x, 50, (uint8_t)(99 - x)}.data(), 3);
    ASSERT_EQ(resample(narrow, wide, IMG_RESAMPLE_NEAREST), 1);
    for (int x = 0; x < 4; x++)
        EXPECT_EQ(narrow.pixel(x, 0), (uint32_t)(99 - 2 * x) << 16 | 50 << 8 | 2 * x);
}

TEST(ImgScale, resample_refuses_mismatched_kinds_modes_and_empty_views) {
    Pic a(4, 4, IMG_24BIT), b(3, 3, IMG_8BIT), c(3, 3, IMG_16BIT), e(3, 3, IMG_16BIT);
    std::memset(b.at(0, 0), 77, 9);
    ImageView va = a.view(), vb = b.view(), vc = c.view(), ve = e.view();
    EXPECT_EQ(img_resample(&vb, &va, IMG_RESAMPLE_NEAREST), 0);
    EXPECT_EQ(img_resample(&vb, &va, IMG_RESAMPLE_HERMITE), 0);
    EXPECT_EQ(img_resample(&vc, &ve, IMG_RESAMPLE_NEAREST), 0);
    va.kind = IMG_8BIT;
    EXPECT_EQ(img_resample(&vb, &va, 1), 0);
    va.width = 0;
    EXPECT_EQ(img_resample(&vb, &va, IMG_RESAMPLE_HERMITE), 0);
    EXPECT_EQ(b.plane(), std::vector<uint8_t>(9, 77));
}

TEST(ImgScale, hermite_weights_by_hand_with_mirrored_edges) {
    // 8 -> 4: scale 0.5, taps at distance 0, 1, 2 weigh 32768, 16384, 0. Target 0 reaches
    // source -1, mirrored to 1: (200 + 2 x 0 + 200) / 4 = 100 (clamping the edge would give 50).
    const std::vector<uint8_t> row = {0, 200, 40, 80, 120, 160, 200, 240}, want = {100, 90, 120, 200};
    Pic src(8, 1, IMG_8BIT), dst(4, 1, IMG_8BIT), tall(1, 8, IMG_8BIT), low(1, 4, IMG_8BIT);
    src.set(row);
    tall.set(row);
    ASSERT_EQ(resample(dst, src, IMG_RESAMPLE_HERMITE), 1);
    ASSERT_EQ(resample(low, tall, IMG_RESAMPLE_HERMITE), 1);
    EXPECT_EQ(dst.plane(), want);
    EXPECT_EQ(low.plane(), want);

    // 2 -> 4: scale 2; centres 0, 0.5, 1, 1.5; f(0.5) = 0.5 and source 2 mirrors to 1; halves
    // round up, in colour and in grey along rows and columns.
    Pic two(2, 1, IMG_24BIT), four(4, 1, IMG_24BIT), grey2(2, 1, 1), grey4(4, 1, 1), col2(1, 2, 1),
        col4(1, 4, 1);
    two.set({10, 0, 255, 21, 255, 0});
    grey2.set({10, 21});
    col2.set({10, 21});
    ASSERT_EQ(resample(four, two, IMG_RESAMPLE_HERMITE), 1);
    ASSERT_EQ(resample(grey4, grey2, IMG_RESAMPLE_HERMITE), 1);
    ASSERT_EQ(resample(col4, col2, IMG_RESAMPLE_HERMITE), 1);
    EXPECT_EQ(four.plane(), (std::vector<uint8_t>{10, 0, 255, 16, 128, 128, 21, 255, 0, 21, 255, 0}));
    EXPECT_EQ(grey4.plane(), (std::vector<uint8_t>{10, 16, 21, 21}));
    EXPECT_EQ(col4.plane(), grey4.plane());
}

TEST(ImgScale, hermite_same_size_is_a_copy) {
    std::mt19937 rng(5);
    for (int kind : {IMG_8BIT, IMG_24BIT}) {
        Pic src(23, 17, kind), dst(23, 17, kind);
        fill(src, rng, 0);
        ASSERT_EQ(resample(dst, src, IMG_RESAMPLE_HERMITE), 1);
        EXPECT_EQ(dst.plane(), src.plane());
    }
}

TEST(ImgScale, hermite_outputs_match_the_approved_pictures) {
    // Noise in grey, runs in colour: shrinking, growing, both at once, to one pixel, and a target
    // wide enough to need several column strips.
    const struct {
        int sw, sh, dw, dh;
        uint64_t grey, colour;
    } cases[] = {{31, 19, 12, 7, 0x38D935A8F2DA7309ull, 0x247FF3D974951BCBull},
                 {12, 7, 31, 19, 0x20FF8F98F191680Dull, 0xF703C6F79ACA7D6Cull},
                 {50, 3, 17, 40, 0x40CE10ED277BBC3Dull, 0xCD6C5CB1ADE1566Cull},
                 {64, 64, 63, 65, 0x40023D5E9242068Cull, 0x60EB86A0FC0E7974ull},
                 {1, 9, 6, 2, 0x57723E21582D1F6Full, 0xA09DEFE8074DAB7Dull},
                 {300, 200, 100, 67, 0x3AF3679E1DB51012ull, 0x48E6191C4BA15970ull},
                 {17, 5, 1, 1, 0xAF63F64C860218BAull, 0x49B23719CDECFF97ull},
                 {3, 2000, 1500, 1, 0x8123A7350E595B0Dull, 0x77C317817037D7E6ull}};
    for (const auto& c : cases) {
        std::mt19937 rng(c.sw * 7 + c.dh);
        for (int kind : {IMG_8BIT, IMG_24BIT}) {
            Pic src(c.sw, c.sh, kind), dst(c.dw, c.dh, kind);
            fill(src, rng, kind == IMG_8BIT ? 0 : 1);
            ASSERT_EQ(resample(dst, src, IMG_RESAMPLE_HERMITE), 1);
            EXPECT_EQ(golden_hash(dst.view(), "hermite-%dx%d-%dx%d-%d", c.sw, c.sh, c.dw, c.dh, kind),
                      kind == IMG_8BIT ? c.grey : c.colour)
                << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh << " kind " << kind;
        }
    }
}

// Copies from's rows into to in reverse order.
void reverse_rows(const Pic& from, const Pic& to) {
    for (int y = 0; y < from.im->height; y++)
        std::memcpy(to.at(0, from.im->height - 1 - y), from.at(0, y), from.im->colourPitch);
}

// The view of p that walks its rows from the last to the first, as the screen's run in memory.
ImageView upward(const Pic& p) {
    ImageView v = p.view(0, p.im->height - 1);
    v.height = p.im->height;
    v.pitch = -v.pitch;
    return v;
}

TEST(ImgScale, resample_and_blur_keep_to_their_views_and_read_upward_rows) {
    std::mt19937 rng(3);
    Pic src(11, 9, IMG_24BIT), want(20, 13, IMG_24BIT);
    fill(src, rng, 0);
    ASSERT_EQ(resample(want, src, IMG_RESAMPLE_HERMITE), 1);
    ImageView w = want.view();
    img_blur(&w, 3.0);

    // Inside a larger picture only the view's rectangle is read and written.
    Pic big(40, 30, IMG_24BIT);
    fill(big, rng, 0);
    const std::vector<uint8_t> before = big.plane();
    ImageView d = big.view(5, 4), s = src.view();
    d.width = 20, d.height = 13;
    ASSERT_EQ(img_resample(&d, &s, IMG_RESAMPLE_HERMITE), 1);
    img_blur(&d, 3.0);
    const std::vector<uint8_t> after = big.plane();
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 40 * 3; x++) {
            const bool inside = y >= 4 && y < 17 && x >= 15 && x < 75;
            ASSERT_EQ(after[y * 120 + x], inside ? want.at(0, y - 4)[x - 15] : before[y * 120 + x])
                << x << "," << y;
        }

    // Rows running upward in memory on both sides give the same picture.
    Pic up_src(11, 9, IMG_24BIT), up_dst(20, 13, IMG_24BIT), back(20, 13, IMG_24BIT);
    reverse_rows(src, up_src);
    ImageView us = upward(up_src), ud = upward(up_dst);
    ASSERT_EQ(img_resample(&ud, &us, IMG_RESAMPLE_HERMITE), 1);
    img_blur(&ud, 3.0);
    reverse_rows(up_dst, back);
    EXPECT_EQ(back.plane(), want.plane());
}

// --- The Gaussian blur ---

TEST(ImgScale, blur_kernel_and_radius) {
    int32_t k[8];
    ASSERT_EQ(img_blur_kernel(2.0, k, 8), 7);
    EXPECT_EQ(std::vector<int32_t>(k, k + 8), (std::vector<int32_t>{255, 225, 154, 82, 34, 11, 2, 0}));
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
    EXPECT_EQ(col.plane(),
              (std::vector<uint8_t>{0,   0,   0,   0,   0,   2,   9,   25,  56,  101, 153, 198,
                                    229, 245, 252, 254, 255, 255, 255, 255, 255, 255, 255, 255}));

    // One bright pixel: columns first give 51, 45, 30, 16, 6, 2 from the centre, then rows;
    // only rounding down loses anything.
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
    for (uint8_t value : dot.plane())
        sum += value;
    EXPECT_EQ(sum, 202);
}

TEST(ImgScale, blur_leaves_tiny_sigmas_and_other_kinds_alone) {
    Pic grey(40, 9, IMG_8BIT), wide(3, 3, IMG_16BIT);
    std::memset(wide.at(0, 0), 9, 18);
    ImageView g = grey.view(), w = wide.view();
    EXPECT_EQ(img_blur(&w, 2.0), 7);  // the radius is reported all the same
    EXPECT_EQ(wide.plane(), std::vector<uint8_t>(18, 9));

    std::mt19937 rng(1);
    fill(grey, rng, 0);
    const std::vector<uint8_t> noise = grey.plane();
    EXPECT_EQ(img_blur(&g, 0.0), 0);
    EXPECT_EQ(grey.plane(), noise);
}

TEST(ImgScale, blur_outputs_match_the_approved_pictures) {
    // Every size against every sigma, both kinds, noise, runs and a disc; one hash per sigma.
    // Sigma 120 makes a kernel total above 65535.
    const int sizes[][2] = {{1, 1}, {3, 40}, {40, 3}, {17, 5}, {33, 29}, {70, 64}, {16, 16}, {130, 20}};
    const struct {
        double sigma;
        uint64_t hash;
    } cases[] = {{0.3, 0x38E8F130532A6AA6ull},  {1.0, 0x2C5F9B10D34CA5DEull},  {2.5, 0xFB0A21D0BC0A4746ull},
                 {5.0, 0x640789DCB8E55A34ull},  {16.0, 0xCA8B899A20DF0464ull}, {30.0, 0x357D1969563E9FB7ull},
                 {120.0, 0xE704A5D29FC66331ull}};
    for (const auto& c : cases) {
        std::mt19937 rng(7);
        uint64_t hash = 0;
        for (const auto& sz : sizes)
            for (int kind : {IMG_8BIT, IMG_24BIT})
                for (int style = 0; style < 3; style++) {
                    Pic p(sz[0], sz[1], kind);
                    fill(p, rng, style);
                    ImageView v = p.view();
                    img_blur(&v, c.sigma);
                    hash =
                        hash * 31 + golden_hash(v, "blur-%g-%dx%d-%d-%d", c.sigma, sz[0], sz[1], kind, style);
                }
        EXPECT_EQ(hash, c.hash) << "sigma " << c.sigma;
    }
}

TEST(ImgScale, blur_copy_uses_the_last_radius_sigma_and_copies_what_fits) {
    Pic src(12, 12, IMG_8BIT), dst(8, 10, IMG_8BIT), want(8, 10, IMG_8BIT);
    std::mt19937 rng(2);
    fill(src, rng, 0);
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
    // 141 / 255: m2 = 0.7756 (197) and m1 = 0.3303 (84). Brightness 50: B = 63,
    // L' = (64 x 141 + 63 x 255) / 127 = 197 -> (225, 168, 168); brightness -50: B = -64,
    // L' = (64 x 141) >> 7 = 70 -> (104, 35, 35).
    Pic src(2, 1, IMG_24BIT), dst(2, 1, IMG_24BIT);
    src.set({200, 150, 100, 0, 0, 0});
    ImageView d = dst.view(), s = src.view();
    const int cases[][4] = {
        {0, 0, 50, 0x00C55454}, {60, 0, 50, 0x00C5C554}, {0, 50, 50, 0x00E1A8A8}, {0, -50, 50, 0x00682323}};
    for (const auto& c : cases) {
        ASSERT_EQ(img_colourise(&d, &s, c[0], c[1], c[2]), 1);
        EXPECT_EQ(dst.pixel(0, 0), (uint32_t)c[3]) << c[0] << " " << c[1];
    }

    // Saturation 0 is white whatever the pixel; brightness 100 and -100 give white and black.
    std::mt19937 rng(4);
    Pic noise(16, 8, IMG_24BIT), out(16, 8, IMG_24BIT);
    fill(noise, rng, 0);
    d = out.view(), s = noise.view();
    const int flat[][3] = {
        {0, 0, 0x00FFFFFF}, {100, 60, 0x00FFFFFF}, {-100, 60, 0}, {250, 60, 0x00FFFFFF}, {-250, 60, 0}};
    for (const auto& c : flat) {
        ASSERT_EQ(img_colourise(&d, &s, 200, c[0], c[1]), 1);
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 16; x++)
                ASSERT_EQ(out.pixel(x, y), (uint32_t)c[2]) << c[0] << " " << c[1];
    }

    // In place: the source pixel is read before it is written.
    ImageView same = src.view();
    ASSERT_EQ(img_colourise(&same, &same, 0, 0, 50), 1);
    EXPECT_EQ(src.pixel(0, 0), 0x00C55454u);

    Pic grey(2, 1, IMG_8BIT), other(3, 1, IMG_24BIT);
    ImageView g = grey.view(), o = other.view();
    EXPECT_EQ(img_colourise(&d, &g, 0, 0, 50), 0);
    EXPECT_EQ(img_colourise(&o, &s, 0, 0, 50), 0);
}

}  // namespace
