// tests/puzzle/shape_test.cpp -- piece shapes and drawing: the tables by hand, normal codes, the
// edge tracer's emit rule, the renderer against a plain full-canvas reading of its steps, worker
// threads, piece_quad, the pixel rules of piece_draw, and reassembling a whole cut picture.
// Ideas not yet written: a golden hash of the shapes of one cut with the game's own curves.
#include "puzzle/shape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "image/img_scale.h"
#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/cut_support.h"
#include "puzzle/grid.h"
#include "puzzle/light.h"
#include "puzzle/normal.h"
#include "puzzle/piece.h"
#include "puzzle/trace.h"
#include "support/fatal_trap.h"

using cut_support::CurvePack;
using cut_support::Frame;

namespace {

uint16_t* codes_of(const Image* im) { return (uint16_t*)((uint8_t*)im + im->colourOffset); }
uint8_t* bytes_of(const Image* im) { return (uint8_t*)im + im->colourOffset; }

// An 8-bit canvas of w x h at 255 with the chain traced into it.
std::vector<uint8_t> traced(int w, int h, const std::vector<double>& xy) {
    std::vector<uint8_t> c((size_t)w * h, 255);
    ImageView v{w, h, IMG_8BIT, c.data(), w, nullptr, 0};
    trace_view(&v, xy.data(), (int)xy.size() / 2);
    return c;
}

// A straight chain of four points from (ax, ay) to (bx, by).
std::vector<double> straight(double ax, double ay, double bx, double by) {
    std::vector<double> p;
    for (int i = 0; i < 4; i++)
        p.push_back(ax + (bx - ax) * i / 3), p.push_back(ay + (by - ay) * i / 3);
    return p;
}

// The renderer's steps read plainly: whole canvases, the image module's blur, no shortcuts.
struct Reference {
    std::vector<uint16_t> codes;
    std::vector<uint8_t> shadow;
    int w = 0, h = 0, sw = 0, sh = 0, px = 0, py = 0, sx = 0, sy = 0;
};

Reference reference_render(const PieceOutline& o, int size) {
    const ShapeConstants* k = shape_constants();
    const int cw = 4 * size, ox = k->originX, oy = k->originY;
    Image* c1 = img_create(cw, cw, IMG_8BIT);
    Image* c2 = img_create(cw, cw, IMG_8BIT);
    img_fill(c1, 255);
    img_fill(c2, 0);
    uint8_t* a = bytes_of(c1);
    ImageView v;
    img_view(&v, c1, 0, 0);
    for (int i = 0; i < 4; i++) {
        const int j = (i + 1) % 4;
        int n;
        const CurvePoint* pts = curve_get(o.types[i] & 255, &n);
        std::vector<CurvePoint> m(pts, pts + n);
        curve_map(m.data(), n, o.corners[2 * i] + ox, o.corners[2 * i + 1] + oy, o.corners[2 * j] + ox,
                  o.corners[2 * j + 1] + oy);
        trace_view(&v, (const double*)m.data(), n);
    }
    std::vector<int> stack;
    if (a[0] == 255) stack.push_back(0), a[0] = 0;
    while (!stack.empty()) {
        const int p = stack.back();
        stack.pop_back();
        const int x = p % cw, y = p / cw;
        const int nb[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (auto& q : nb)
            if (q[0] >= 0 && q[1] >= 0 && q[0] < cw && q[1] < cw && a[q[1] * cw + q[0]] == 255)
                a[q[1] * cw + q[0]] = 0, stack.push_back(q[1] * cw + q[0]);
    }
    for (int i = 0; i < 4; i++) {
        if ((o.types[i] & 127) != 0) continue;
        const int j = (i + 1) % 4;
        const int ax = o.corners[2 * i] + ox, ay = o.corners[2 * i + 1] + oy;
        const int bx = o.corners[2 * j] + ox, by = o.corners[2 * j + 1] + oy;
        for (int y = 0; y < cw; y++)
            for (int x = 0; x < cw; x++) {
                bool clear = false;
                if (ay == by)
                    clear = i == 2 ? y >= ay : y < ay;
                else if (ax == bx)
                    clear = i == 1 ? x >= ax : x < ax;
                if (clear) a[y * cw + x] = 0;
            }
    }
    auto crop = [cw](const uint8_t* p, int* l, int* t, int* r, int* b) {
        *l = cw, *t = cw, *r = -1, *b = -1;
        for (int y = 0; y < cw; y++)
            for (int x = 0; x < cw; x++)
                if (p[y * cw + x])
                    *l = std::min(*l, x), *r = std::max(*r, x), *t = std::min(*t, y), *b = std::max(*b, y);
        return *r >= 0;
    };
    Reference ref;
    int l, t, r, b;
    EXPECT_TRUE(crop(a, &l, &t, &r, &b));
    ref.w = r - l + 1, ref.h = b - t + 1, ref.px = l - ox, ref.py = t - oy;

    img_blur_radius(k->shadowSigma);
    img_blur_copy(c2, c1);
    img_scale_values(c2, 191);
    int sl, st, sr, sb;
    if (crop(bytes_of(c2), &sl, &st, &sr, &sb)) {
        ref.sw = sr - sl + 1, ref.sh = sb - st + 1, ref.sx = sl - ox - ref.px, ref.sy = st - oy - ref.py;
        for (int y = st; y <= sb; y++)
            for (int x = sl; x <= sr; x++)
                ref.shadow.push_back(bytes_of(c2)[y * cw + x]);
    }

    img_fill(c2, 0);
    img_blur_radius(k->reliefSigma);
    img_blur_copy(c2, c1);
    const uint8_t* R = bytes_of(c2);
    auto H = [&](int x, int y) { return (int)R[std::clamp(y, 0, cw - 1) * cw + std::clamp(x, 0, cw - 1)]; };
    for (int y = t; y <= b; y++)
        for (int x = l; x <= r; x++) {
            const int m = a[y * cw + x];
            const int C = H(x, y), L = H(x - 1, y), U = H(x, y - 1), Rt = H(x + 1, y), D = H(x, y + 1);
            int n = 0;
            if (L - C != 0 || C - U != 0) {
                const double kd = k->reliefDepth;
                const double nx = (kd * (L - C) / 127 + kd * (C - Rt) / 127) / 2;
                const double ny = (kd * (C - U) / 127 + kd * (D - C) / 127) / 2;
                n = normal_encode(nx, ny, 1.0);
            }
            ref.codes.push_back((uint16_t)(m == 0 ? 0 : (m == 255 && n == 0 ? 0x8000 : n * 32 + m / 8)));
        }
    io_mem_free(c1);
    io_mem_free(c2);
    return ref;
}

void expect_same_as_reference(const PieceShape& s, const Reference& ref, int index) {
    ASSERT_EQ(s.piece->width, ref.w) << index;
    ASSERT_EQ(s.piece->height, ref.h) << index;
    EXPECT_EQ(s.pieceX, ref.px) << index;
    EXPECT_EQ(s.pieceY, ref.py) << index;
    EXPECT_EQ(std::memcmp(codes_of(s.piece), ref.codes.data(), ref.codes.size() * 2), 0) << index;
    ASSERT_NE(s.shadow, nullptr);
    ASSERT_EQ(s.shadow->width, ref.sw) << index;
    ASSERT_EQ(s.shadow->height, ref.sh) << index;
    EXPECT_EQ(s.shadowX, ref.sx) << index;
    EXPECT_EQ(s.shadowY, ref.sy) << index;
    EXPECT_EQ(std::memcmp(bytes_of(s.shadow), ref.shadow.data(), ref.shadow.size()), 0) << index;
}

BoxRecord settings(int w, int h, int size, int irregularity, int style) {
    BoxRecord b{};
    b.width = w, b.height = h, b.pieceSize = size, b.irregularity = irregularity, b.edgeStyle = style;
    return b;
}

// A hand-made shape of one row of codes (and an optional one-row shadow).
struct HandShape {
    PieceShape s{};
    HandShape(std::vector<uint16_t> codes, std::vector<uint8_t> shadow = {}) {
        s.piece = img_create((int)codes.size(), 1, IMG_16BIT);
        std::memcpy(codes_of(s.piece), codes.data(), codes.size() * 2);
        if (!shadow.empty()) {
            s.shadow = img_create((int)shadow.size(), 1, IMG_8BIT);
            std::memcpy(bytes_of(s.shadow), shadow.data(), shadow.size());
        }
    }
    ~HandShape() {
        io_mem_free(s.piece);
        io_mem_free(s.shadow);
    }
};

// Draws a hand shape with its texel (0, 0) at screen (x, y) and home (0, 0) of the picture.
void draw(const PieceShape& s, int x, int y, int angle, int selected, int shadow = 0, int lift = 0) {
    PieceQuad q;
    piece_quad(&s, x, y, angle, lift, shadow, &q);
    piece_draw(&q, &s, 0, 0, angle, selected, shadow);
}

struct Bgr {
    int b, g, r;
};
Bgr px(int x, int y) {
    const uint8_t* p = Frame::at(x, y);
    return {p[0], p[1], p[2]};
}

}  // namespace

TEST(LightTables, values_by_hand) {
    light_tables_build();
    const uint8_t* A = light_table_a();
    const uint8_t* B = light_table_b();
    const uint16_t* C = light_table_c();
    EXPECT_EQ(A[200 * 256 + 0], 200);
    EXPECT_EQ(A[200 * 256 + 31], 0);
    EXPECT_EQ(A[200 * 256 + 15], 103);       // 200 x 16 / 31 = 103.2
    EXPECT_EQ(A[200 * 256 + 15 + 32], 103);  // the upper bits of the index byte are ignored
    // Step 16: lambda = 132 lightens: (123 p + 4 x 255) / 127; p = 100 gives 104, p = 0 gives 8.
    EXPECT_EQ(B[16 * 8192 + 31 * 256 + 100], 104);
    EXPECT_EQ(B[16 * 8192 + 31 * 256 + 0], 8);
    EXPECT_EQ(B[16 * 8192 + 15 * 256 + 100], 50);  // 104 x 15 / 31 = 50.3
    // Step 10: lambda = 82 darkens: 82 x 200 >> 7 = 128; at coverage 15, 61.9 rounds to 62.
    EXPECT_EQ(B[10 * 8192 + 31 * 256 + 200], 128);
    EXPECT_EQ(B[10 * 8192 + 15 * 256 + 200], 62);
    EXPECT_EQ(B[31 * 8192 + 31 * 256 + 0], 255);  // full light: white
    EXPECT_EQ(B[5 * 8192 + 0 * 256 + 200], 0);    // no coverage
    // The flat normal lights with brightness 128: step 16.
    EXPECT_EQ(normal_brightness(0), 128);
    EXPECT_EQ(C[31], (16 * 32 + 31) * 64);
    EXPECT_EQ(C[31 + 32768], C[31]);
    for (int v = 0; v < 32768; v += 97)
        EXPECT_EQ(C[v + 32768], C[v]);
}

TEST(NormalCodes, encode_decode_and_light) {
    // (-1, 1, 1): azimuth 135 (index 24), elevation 35.26 flattened to 61.87 (index 10).
    EXPECT_EQ(normal_encode(-1, 1, 1), 24 * 16 + (10 ^ 15));
    EXPECT_EQ(normal_encode(0, 0, 1), 0);                        // straight up: flat
    EXPECT_EQ(normal_encode(1, -0.0001, 0.2), 0 * 16 + 15 - 7);  // azimuth near 360 wraps to 0
    double n[3];
    normal_decode(24 * 16 + 5, n);  // azimuth 135, elevation 60
    EXPECT_NEAR(n[0], std::cos(135 * M_PI / 180) * 0.5, 1e-12);
    EXPECT_NEAR(n[1], std::sin(135 * M_PI / 180) * 0.5, 1e-12);
    EXPECT_NEAR(n[2], std::sqrt(3.0) / 2, 1e-12);
    // Facing the light (up and left on the screen) is brighter than facing away from it.
    EXPECT_GT(normal_brightness(24 * 16 + 5), 128);
    EXPECT_LT(normal_brightness(56 * 16 + 5), 128);
}

TEST(ShapeTrace, emit_rule_coverage) {
    // Top side at 0.5 to the bottom side at 0.5: half the pixel, 127.
    std::vector<uint8_t> c = traced(20, 20, straight(10.5, 5, 10.5, 6));
    EXPECT_EQ(c[5 * 20 + 10], 127);
    int written = 0;
    for (uint8_t v : c)
        written += v != 255;
    EXPECT_EQ(written, 1);

    // A straight edge on pixel boundaries: runs of 254 on the inside (right of travel) only.
    c = traced(20, 20, straight(2, 3, 8, 3));  // rightwards: inside below, row 3
    for (int x = 0; x < 20; x++) {
        EXPECT_EQ(c[3 * 20 + x], x >= 2 && x <= 7 ? 254 : 255) << x;
        EXPECT_EQ(c[2 * 20 + x], 255) << x;
    }
    c = traced(20, 20, straight(8, 3, 2, 3));  // leftwards: inside above, row 2
    for (int x = 0; x < 20; x++) {
        EXPECT_EQ(c[2 * 20 + x], x >= 2 && x <= 7 ? 254 : 255) << x;
        EXPECT_EQ(c[3 * 20 + x], 255) << x;
    }
    c = traced(20, 20, straight(4, 2, 4, 9));  // downwards: inside to the left, column 3
    for (int y = 0; y < 20; y++)
        EXPECT_EQ(c[y * 20 + 3], y >= 2 && y <= 8 ? 254 : 255) << y;
    c = traced(20, 20, straight(4, 9, 4, 2));  // upwards: inside to the right, column 4
    for (int y = 0; y < 20; y++)
        EXPECT_EQ(c[y * 20 + 4], y >= 2 && y <= 8 ? 254 : 255) << y;

    // A diagonal through pixel (5, 5) from its top-left to its bottom-right corner: the part
    // left of travel is outside, half of it covered. Entering at the top side (x0 = 0) and
    // leaving at the bottom (x1 ~ 1): (0 + 1) / 2.
    c = traced(20, 20, straight(5, 5, 6.999, 7));
    EXPECT_GE(c[5 * 20 + 5], 126);
    EXPECT_LE(c[5 * 20 + 5], 127);
}

TEST(ShapeTrace, joints_and_dips_leave_no_gap) {
    // Two straight segments whose joint lies on the boundary between rows 4 and 5 of column 6:
    // the pixel holding the joint must be written, or the fill would leak through it.
    std::vector<double> p = {6.5, 8.0, 6.5, 7.0, 6.5, 6.0, 6.5, 5.0, 6.5, 4.0, 6.5, 3.0, 6.5, 2.0};
    std::vector<uint8_t> c = traced(20, 20, p);
    for (int y = 2; y <= 7; y++)
        EXPECT_NE(c[y * 20 + 6], 255) << y;
    // A short segment that dips into pixel (5, 5) through its top side and back out of it,
    // travelling right: the inside lies below, so the pixel is covered, not cleared.
    std::vector<double> dip = {0.5, 4.9, 2.0, 4.9, 3.5, 4.9, 5.1, 4.9,  // along row 4
                               5.3, 5.6, 5.7, 5.6, 5.9, 4.9,            // down to y = 5.43 and back
                               7.0, 4.9, 8.0, 4.9, 9.5, 4.9};
    c = traced(20, 20, dip);
    EXPECT_EQ(c[5 * 20 + 5], 254);
    std::vector<double> back(dip.size());
    for (size_t i = 0; i < dip.size(); i += 2)
        back[dip.size() - 2 - i] = dip[i], back[dip.size() - 1 - i] = dip[i + 1];
    c = traced(20, 20, back);  // travelling left: the inside is above, the dip lies outside
    EXPECT_TRUE(c[5 * 20 + 5] == 0 || c[5 * 20 + 5] == 255) << (int)c[5 * 20 + 5];  // never covered
    EXPECT_GE(c[4 * 20 + 5], 250);
}

TEST(ShapeRender, square_piece_by_hand) {
    CurvePack pack;
    curves_load();
    BoxRecord b = settings(20, 20, 20, 0, 1);  // one piece, four straight edges
    CutPiece* p = pieces_cut(&b);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(shapes_count(), 1);
    const PieceShape& s = shapes_table()[0];
    EXPECT_EQ(s.pieceX, 0);
    EXPECT_EQ(s.pieceY, 0);
    ASSERT_EQ(s.piece->width, 20);
    ASSERT_EQ(s.piece->height, 20);
    const uint16_t* codes = codes_of(s.piece);
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 20; x++) {
            const int q = codes[y * 20 + x];
            if (x == 0 || y == 0 || x == 19 || y == 19) {
                EXPECT_EQ(q & 31, 31) << x << "," << y;  // 254 on the rim
                EXPECT_NE(q, PIECE_CODE_FLAT);
            } else if (x >= 4 && x <= 15 && y >= 4 && y <= 15) {
                EXPECT_EQ(q, PIECE_CODE_FLAT) << x << "," << y;
            }
        }
    // Sigma 1.0 (radius 4): at 75 percent, rounded down, two pixels on every side stay non-zero.
    EXPECT_EQ(s.shadow->width, 24);
    EXPECT_EQ(s.shadowX, -2);
    EXPECT_EQ(s.shadowY, -2);
    EXPECT_EQ(bytes_of(s.shadow)[12 * 24 + 12], 191);
    EXPECT_EQ(shape_constants()->liftHeight, 1);
    io_mem_free(p);
    shapes_free();
}

TEST(ShapeRender, same_as_the_plain_reading_of_every_step) {
    CurvePack pack;
    curves_load();
    for (int size : {24, 50}) {
        BoxRecord b = settings(size * 5, size * 4, size, 35, 2);
        grid_build(&b);
        std::vector<PieceOutline> outlines(b.pieceCount);
        std::vector<int32_t> shapeOf(b.pieceCount);
        const int count = grid_outlines(outlines.data(), shapeOf.data());
        grid_free();
        shapes_alloc(count);
        shape_canvas_prepare(size, size);
        for (int i = 0; i < count; i++)
            shape_render(outlines[i].corners, outlines[i].types, 4);
        for (int i = 0; i < count; i++)
            expect_same_as_reference(shapes_table()[i], reference_render(outlines[i], size), i);
        shape_canvas_free();
        shapes_free();
    }
}

TEST(ShapeRender, worker_threads_give_the_same_table) {
    CurvePack pack;
    curves_load();
    BoxRecord b = settings(400, 300, 40, 30, 3);
    grid_build(&b);
    std::vector<PieceOutline> outlines(b.pieceCount);
    std::vector<int32_t> shapeOf(b.pieceCount);
    const int count = grid_outlines(outlines.data(), shapeOf.data());
    grid_free();
    ASSERT_GT(count, 50);
    shape_canvas_prepare(40, 40);
    shapes_alloc(count);
    for (int i = 0; i < count; i++)
        shape_render(outlines[i].corners, outlines[i].types, 4);
    std::vector<std::vector<uint8_t>> one;
    for (int i = 0; i < count; i++) {
        const PieceShape& s = shapes_table()[i];
        std::vector<uint8_t> bytes((uint8_t*)&s.pieceX, (uint8_t*)&s.pieceX + 16);
        bytes.insert(bytes.end(), (uint8_t*)s.piece, (uint8_t*)s.piece + io_mem_size(s.piece));
        bytes.insert(bytes.end(), (uint8_t*)s.shadow, (uint8_t*)s.shadow + io_mem_size(s.shadow));
        one.push_back(bytes);
    }
    for (int threads : {2, 3}) {
        shapes_alloc(count);
        std::vector<int> steps;
        static std::vector<int>* seen;
        seen = &steps;
        shape_render_many((const int32_t*)outlines.data(), count, threads,
                          [](int done) { seen->push_back(done); });
        EXPECT_EQ(shapes_rendered(), count);
        for (int i = 0; i < count; i++) {
            const PieceShape& s = shapes_table()[i];
            std::vector<uint8_t> bytes((uint8_t*)&s.pieceX, (uint8_t*)&s.pieceX + 16);
            bytes.insert(bytes.end(), (uint8_t*)s.piece, (uint8_t*)s.piece + io_mem_size(s.piece));
            bytes.insert(bytes.end(), (uint8_t*)s.shadow, (uint8_t*)s.shadow + io_mem_size(s.shadow));
            EXPECT_EQ(bytes, one[i]) << i;
        }
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back(), count);
        for (size_t k = 1; k < steps.size(); k++)
            EXPECT_LE(steps[k - 1], steps[k]);
    }
    shape_canvas_free();
    shapes_free();

    // A bad curve type is refused before any thread starts.
    shapes_alloc(1);
    shape_canvas_prepare(40, 40);
    PieceOutline bad = outlines[0];
    bad.types[2] = 9;
    EXPECT_EQ(fatal_message_of([&] { shape_render_many((const int32_t*)&bad, 1, 2, nullptr); }),
              "curve_get: type out of range(9)\n");
    EXPECT_EQ(fatal_message_of([&] { shape_render(bad.corners, outlines[0].types, 4); }), "");
    EXPECT_EQ(fatal_message_of([&] { shape_render(bad.corners, outlines[0].types, 4); }),
              "shape_render: the shape table is full\n");
    shape_canvas_free();
    shapes_free();
}

TEST(PieceQuad, corners_rectangles_and_shadow) {
    HandShape h(std::vector<uint16_t>(5, 0x8000));
    io_mem_free(h.s.piece);
    h.s.piece = img_create(5, 3, IMG_16BIT);
    h.s.shadow = img_create(9, 7, IMG_8BIT);
    h.s.shadowX = -2, h.s.shadowY = -1;
    PieceQuad q;
    piece_quad(&h.s, 10, 20, 0, 0, 0, &q);
    EXPECT_EQ(q.corner[2][0], 14);
    EXPECT_EQ(q.corner[2][1], 22);
    EXPECT_EQ(q.left, 10);
    EXPECT_EQ(q.top, 20);
    EXPECT_EQ(q.right, 14);
    EXPECT_EQ(q.bottom, 22);
    piece_quad(&h.s, 10, 20, 90, 0, 0, &q);  // a quarter turn: height by width, above the point
    EXPECT_EQ(q.corner[1][0], 10);
    EXPECT_EQ(q.corner[1][1], 16);
    EXPECT_EQ(q.right - q.left + 1, 3);
    EXPECT_EQ(q.bottom - q.top + 1, 5);
    EXPECT_EQ(q.bottom, 20);
    piece_quad(&h.s, 10, 20, 45, 0, 0, &q);  // (4, 0) turns to (2.83, -2.83): rounded to (13, 17)
    EXPECT_EQ(q.corner[1][0], 13);
    EXPECT_EQ(q.corner[1][1], 17);
    piece_quad(&h.s, 10, 20, 0, 4, 1, &q);  // shadow: offset plus the lift on both axes
    EXPECT_EQ(q.left, 12);
    EXPECT_EQ(q.top, 23);
    EXPECT_EQ(q.right, 20);
    EXPECT_EQ(q.bottom, 29);
}

TEST(PieceDraw, pixel_rules) {
    light_tables_build();
    img_shadow_table_init();
    Frame frame(64, 48);
    Image* pic = img_create(4, 1, IMG_24BIT);
    const uint8_t pix[12] = {100, 150, 200, 10, 20, 30, 100, 100, 100, 100, 100, 100};
    std::memcpy(bytes_of(pic), pix, 12);
    piece_set_picture(pic);
    // Flat copy, transparent, flat normal at coverage 31 and at coverage 15.
    HandShape h({PIECE_CODE_FLAT, 0, 31, 15});
    Frame::fill(0xC8C8C8);  // 200 everywhere
    draw(h.s, 10, 5, 0, 0);
    EXPECT_EQ(px(10, 5).b, 100);
    EXPECT_EQ(px(10, 5).g, 150);
    EXPECT_EQ(px(10, 5).r, 200);
    EXPECT_EQ(px(11, 5).b, 200);  // code 0 leaves the desk
    EXPECT_EQ(px(12, 5).b, 104);  // lit by the flat normal, nothing of the desk
    EXPECT_EQ(px(13, 5).b, 103 + 50);
    EXPECT_EQ(px(9, 5).b, 200);
    EXPECT_EQ(px(14, 5).b, 200);
    // Selected: the red byte of the picture is 255, also for the flat copy.
    Frame::fill(0xC8C8C8);
    draw(h.s, 10, 5, 0, 1);
    EXPECT_EQ(px(10, 5).b, 100);
    EXPECT_EQ(px(10, 5).r, 255);
    EXPECT_EQ(px(12, 5).b, 104);
    EXPECT_EQ(px(12, 5).r, 255);

    // Turned a quarter: the azimuth moves by 16 so the light stays put on the screen; a three
    // quarter turn of azimuth 60 wraps to 44.
    const int n1 = 8 * 16 + 5, n2 = 24 * 16 + 5, n3 = 60 * 16 + 5, n4 = (44 - 48 + 64) % 64 * 16 + 5;
    HandShape a({(uint16_t)(n1 * 32 + 20)}), b({(uint16_t)(n2 * 32 + 20)});
    HandShape c({(uint16_t)(n3 * 32 + 20)}), d({(uint16_t)(((60 + 48) % 64) * 16 * 32 + 5 * 32 + 20)});
    (void)n4;
    Frame::fill(0xC8C8C8);
    draw(a.s, 20, 20, 90, 0);
    draw(b.s, 21, 20, 0, 0);
    EXPECT_EQ(px(20, 20).b, px(21, 20).b);
    EXPECT_EQ(px(20, 20).r, px(21, 20).r);
    EXPECT_NE(normal_brightness(n1), normal_brightness(n2));
    draw(c.s, 22, 20, 270, 0);
    draw(d.s, 23, 20, 0, 0);
    EXPECT_EQ(px(22, 20).g, px(23, 20).g);

    // Shadow: strength 128 of 200 gives 100, at the lift on both axes; 0 leaves the desk.
    HandShape s({PIECE_CODE_FLAT}, {128, 0});
    Frame::fill(0xC8C8C8);
    draw(s.s, 30, 30, 0, 0, 1, 3);
    EXPECT_EQ(px(33, 33).b, 100);
    EXPECT_EQ(px(34, 33).b, 200);
    EXPECT_EQ(px(30, 30).b, 200);

    // Outside the dirty region nothing is drawn; a piece half in a dirty cell draws that half.
    screen_flush();
    screen_invalidate(0, 0, 32, 24);
    Frame::fill(0xC8C8C8);
    draw(h.s, 40, 30, 0, 0);
    EXPECT_EQ(px(40, 30).b, 200);
    draw(h.s, 30, 10, 0, 0);
    EXPECT_EQ(px(30, 10).b, 100);
    EXPECT_EQ(px(31, 10).b, 200);
    EXPECT_EQ(px(32, 10).b, 200);  // dirty cells end at x = 32
    screen_invalidate_all();

    // A home that would read beyond the picture draws nothing.
    Frame::fill(0xC8C8C8);
    PieceQuad q;
    piece_quad(&h.s, 10, 5, 0, 0, 0, &q);
    piece_draw(&q, &h.s, 1, 0, 0, 0, 0);
    EXPECT_EQ(px(10, 5).b, 200);
    piece_set_picture(nullptr);
    io_mem_free(pic);
}

TEST(PieceDraw, every_code_and_quarter_turn_follows_the_light_tables) {
    light_tables_build();
    const uint8_t* A = light_table_a();
    const uint8_t* B = light_table_b();
    const uint16_t* C = light_table_c();
    Frame frame(300, 300);
    Image* pic = img_create(256, 1, IMG_24BIT);
    for (int u = 0; u < 256; u++)
        for (int c = 0; c < 3; c++)
            bytes_of(pic)[u * 3 + c] = (uint8_t)(u * 3 + c * 85 + 7);
    piece_set_picture(pic);
    HandShape h(std::vector<uint16_t>(256, 0));
    auto desk = [](int x, int y, int c) { return (uint8_t)(x * 7 + y * 13 + c * 50); };
    for (int angle : {0, 90, 180, 270})
        for (int selected = 0; selected < 2; selected++)
            for (int chunk = 0; chunk < 128; chunk += 5) {
                for (int u = 0; u < 256; u++)
                    codes_of(h.s.piece)[u] = (uint16_t)std::max(1, chunk * 256 + u);
                for (int y = 0; y < 300; y++)
                    for (int x = 0; x < 300; x++)
                        for (int c = 0; c < 3; c++)
                            Frame::at(x, y)[c] = desk(x, y, c);
                const int X = angle == 180 ? 280 : 20, Y = angle == 90 ? 280 : 10;
                draw(h.s, X, Y, angle, selected);
                const int rot = angle * 64 / 360 * 512;
                for (int u = 0; u < 256; u++) {
                    // Texel (u, 0) turned about the top-left pixel: right, up, left, down.
                    const int x = angle == 0 ? X + u : (angle == 180 ? X - u : X);
                    const int y = angle == 90 ? Y - u : (angle == 270 ? Y + u : Y);
                    const int q = codes_of(h.s.piece)[u];
                    for (int c = 0; c < 3; c++) {
                        const int p = selected && c == 2 ? 255 : bytes_of(pic)[u * 3 + c];
                        ASSERT_EQ(Frame::at(x, y)[c],
                                  (uint8_t)(A[desk(x, y, c) * 256 + (q & 255)] + B[C[q + rot] * 4 + p]))
                            << "angle " << angle << " code " << q << " byte " << c;
                    }
                }
            }
    piece_set_picture(nullptr);
    io_mem_free(pic);
}

TEST(PieceDraw, turned_pieces_stay_inside_their_quad) {
    light_tables_build();
    Frame frame(96, 96);
    Image* pic = cut_support::test_picture(30, 20);
    piece_set_picture(pic);
    HandShape h(std::vector<uint16_t>(30, PIECE_CODE_FLAT));
    io_mem_free(h.s.piece);
    h.s.piece = img_create(30, 20, IMG_16BIT);
    for (int i = 0; i < 600; i++)
        codes_of(h.s.piece)[i] = PIECE_CODE_FLAT;
    for (int angle : {0, 17, 90, 135, 180, 250, 270, 359}) {
        Frame::fill(0xFF00FF);
        PieceQuad q;
        piece_quad(&h.s, 48, 48, angle, 0, 0, &q);
        piece_draw(&q, &h.s, 0, 0, angle, 0, 0);
        int drawn = 0;
        for (int y = 0; y < 96; y++)
            for (int x = 0; x < 96; x++) {
                const Bgr p = px(x, y);
                if (p.b == 255 && p.g == 0 && p.r == 255) continue;
                drawn++;
                EXPECT_TRUE(x >= q.left && x <= q.right && y >= q.top && y <= q.bottom) << angle;
            }
        if (angle % 90 == 0)
            EXPECT_EQ(drawn, 600) << angle;
        else
            EXPECT_NEAR(drawn, 600, 60) << angle;
    }
    // Axis-aligned turns map texels exactly: a quarter turn puts texel (u, v) at (x + v, y - u).
    Frame::fill(0);
    PieceQuad q;
    piece_quad(&h.s, 48, 48, 90, 0, 0, &q);
    piece_draw(&q, &h.s, 0, 0, 90, 0, 0);
    const uint8_t* t = bytes_of(pic) + 7 * pic->colourPitch + 12 * 3;  // texel (12, 7)
    EXPECT_EQ(px(48 + 7, 48 - 12).b, t[0]);
    EXPECT_EQ(px(48 + 7, 48 - 12).r, t[2]);
    piece_set_picture(nullptr);
    io_mem_free(pic);
}

TEST(PieceDraw, reassembled_picture_is_exact_and_seams_are_covered) {
    CurvePack pack;
    curves_load();
    light_tables_build();
    const int W = 410, H = 305;
    Image* pic = cut_support::test_picture(W, H);
    BoxRecord b = settings(W, H, 50, 30, 1);
    CutPiece* pieces = pieces_cut(&b);
    ASSERT_EQ(b.pieceCount, 48);
    piece_set_picture(pic);
    Frame frame(W, H + 3);
    std::vector<uint8_t> flat((size_t)W * H, 0);
    auto draw_all = [&](uint32_t desk) {
        Frame::fill(desk);
        for (int i = 0; i < b.pieceCount; i++) {
            const PieceShape& s = shapes_table()[pieces[i].shape];
            const int hx = pieces[i].homeX + s.pieceX, hy = pieces[i].homeY + s.pieceY;
            PieceQuad q;
            piece_quad(&s, hx, hy, 0, 0, 0, &q);
            piece_draw(&q, &s, hx, hy, 0, 0, 0);
            for (int v = 0; v < s.piece->height; v++)
                for (int u = 0; u < s.piece->width; u++)
                    if (codes_of(s.piece)[v * s.piece->width + u] == PIECE_CODE_FLAT)
                        flat[(hy + v) * W + hx + u] = 1;
        }
    };
    draw_all(0x000000);
    std::vector<uint8_t> black;
    for (int y = 0; y < H; y++)
        black.insert(black.end(), Frame::at(0, y), Frame::at(0, y) + W * 3);
    draw_all(0xFFFFFF);
    const GridInfo g = {50, 8, 6, 5, 2, nullptr};
    int exact = 0, worst = 0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            const uint8_t* white = Frame::at(x, y);
            const uint8_t* dark = &black[(y * W + x) * 3];
            const uint8_t* p = bytes_of(pic) + y * pic->colourPitch + x * 3;
            const bool inside =
                x >= g.marginX && x < g.marginX + 400 && y >= g.marginY && y < g.marginY + 300;
            if (flat[y * W + x]) {
                exact++;
                ASSERT_TRUE(dark[0] == p[0] && dark[1] == p[1] && dark[2] == p[2]) << x << "," << y;
                ASSERT_TRUE(white[0] == p[0] && white[1] == p[1] && white[2] == p[2]) << x << "," << y;
            }
            // How much of the desk shows: the difference between the two desks.
            const int weight = std::max({white[0] - dark[0], white[1] - dark[1], white[2] - dark[2]});
            if (inside)
                worst = std::max(worst, weight);
            else
                EXPECT_EQ(weight, 255) << x << "," << y;  // the margins are never part of a piece
        }
    EXPECT_GT(exact, W * H / 2);
    EXPECT_LE(worst, 100);  // seams blend two coverages: at most a quarter of the desk shows
    io_mem_free(pieces);
    shapes_free();
    piece_set_picture(nullptr);
    io_mem_free(pic);
}
