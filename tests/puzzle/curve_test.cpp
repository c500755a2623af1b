// tests/puzzle/curve_test.cpp -- edge curves: loading limits and normalisation from packs built
// here, mirroring and the fatal types, mapping onto segments, drawing, and vec_rotate.
// Ideas not yet written: a curve file that ends in the middle of a point inside a folder pack.
#include "puzzle/curve.h"

#include <gtest/gtest.h>

#include <cmath>

#include "puzzle/cut_support.h"
#include "puzzle/vec.h"
#include "support/fatal_trap.h"

using cut_support::Bytes;
using cut_support::curve_file;
using cut_support::CurvePack;

namespace {

// Eight copies of one file.
std::vector<Bytes> all_of(const Bytes& file) { return std::vector<Bytes>(CURVE_COUNT, file); }

// A chain of n points from (0, 0) to (n - 1, 0) with some y in between.
Bytes chain(int n) {
    std::vector<std::pair<int, int>> p;
    for (int i = 0; i < n; i++)
        p.push_back({i, i == 0 || i == n - 1 ? 0 : (i % 5) - 2});
    return curve_file(p);
}

}  // namespace

TEST(CurveLoad, point_counts_and_limits) {
    {
        CurvePack pack(all_of(chain(4)), "c4");
        ASSERT_TRUE(pack.ok);
        curves_load();
        EXPECT_EQ(curve_slot(0)->count, 4);
    }
    {
        Bytes b = chain(MAX_CONTROLPOINTS);
        b.insert(b.end(), {1, 2, 3});  // 1027 bytes: the tail is not a point
        ASSERT_EQ(b.size(), 1027u);
        CurvePack pack(all_of(b), "c1027");
        curves_load();
        EXPECT_EQ(curve_slot(7)->count, 128);
    }
    {
        CurvePack pack(all_of(chain(128)), "c1024");
        curves_load();
        EXPECT_EQ(curve_slot(3)->count, 128);
    }
    {
        std::vector<Bytes> files = all_of(chain(4));
        files[5] = chain(129);  // 1032 bytes
        CurvePack pack(files, "c1032");
        EXPECT_EQ(fatal_message_of([] { curves_load(); }), "curve->n>MAX_CONTROLPOINTS\n");
    }
    {
        std::vector<Bytes> files = all_of(chain(4));
        files[2] = curve_file({{5, 0}, {6, 1}, {6, 2}, {5, 0}});  // first and last x equal
        CurvePack pack(files, "cflat");
        EXPECT_EQ(fatal_message_of([] { curves_load(); }), "curves_load: curve 2 has no length\n");
    }
}

TEST(CurveLoad, normalised_from_the_first_point_in_units_of_the_edge) {
    std::vector<Bytes> files = all_of(chain(4));
    files[3] = curve_file({{100, 50}, {150, 90}, {250, 10}, {300, 50}});  // d = 200
    CurvePack pack(files, "cnorm");
    curves_load();
    int n;
    const CurvePoint* p = curve_get(3, &n);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(p[0].x, 0.0);
    EXPECT_EQ(p[0].y, 0.0);
    EXPECT_DOUBLE_EQ(p[1].x, 0.25);
    EXPECT_DOUBLE_EQ(p[1].y, 0.2);
    EXPECT_DOUBLE_EQ(p[2].x, 0.75);
    EXPECT_DOUBLE_EQ(p[2].y, -0.2);
    EXPECT_EQ(p[3].x, 1.0);
    EXPECT_EQ(p[3].y, 0.0);
}

TEST(CurveGet, mirroring_and_fatal_types) {
    std::vector<Bytes> files = all_of(chain(4));
    files[3] = curve_file({{0, 0}, {10, 30}, {20, -10}, {40, 0}});
    CurvePack pack(files, "cmirror");
    curves_load();
    int n;
    const CurvePoint* plain = curve_get(3, &n);
    std::vector<CurvePoint> a(plain, plain + n);
    const CurvePoint* mirrored = curve_get(131, &n);
    ASSERT_EQ(n, 4);
    for (int i = 0; i < n; i++) {
        EXPECT_EQ(mirrored[i].x, a[i].x);
        EXPECT_EQ(mirrored[i].y, -a[i].y);
    }
    EXPECT_EQ(a[1].y, 0.75);
    EXPECT_EQ(fatal_message_of([&] { curve_get(8, &n); }), "curve_get: type out of range(8)\n");
    EXPECT_EQ(fatal_message_of([&] { curve_get(256, &n); }), "curve_get: type out of range(256)\n");
    EXPECT_EQ(fatal_message_of([&] { curve_get(-1, &n); }), "curve_get: type out of range(-129)\n");
    EXPECT_EQ(fatal_message_of([&] { curve_get(135, &n); }), "");
}

TEST(CurveMap, the_two_worked_examples) {
    CurvePoint p[2] = {{0.5, 0.2}, {1.0, 0.0}};
    curve_map(p, 2, 10, 20, 110, 20);
    EXPECT_DOUBLE_EQ(p[0].x, 60.0);
    EXPECT_DOUBLE_EQ(p[0].y, 40.0);
    EXPECT_DOUBLE_EQ(p[1].x, 110.0);
    EXPECT_DOUBLE_EQ(p[1].y, 20.0);

    CurvePoint q[2] = {{0.5, 0.2}, {1.0, 0.0}};
    curve_map(q, 2, 10, 20, 10, 120);  // downward: positive y lies to the left on the screen
    EXPECT_NEAR(q[0].x, -10.0, 1e-12);
    EXPECT_NEAR(q[0].y, 70.0, 1e-12);
    EXPECT_NEAR(q[1].x, 10.0, 1e-12);
    EXPECT_NEAR(q[1].y, 120.0, 1e-12);
}

TEST(VecRotate, table_angles_and_the_sign_of_the_modulo) {
    double v[2] = {1, 0};
    vec_rotate(v, 90);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[1], -1.0);
    double w[2] = {1, 0};
    vec_rotate(w, 450);
    EXPECT_EQ(w[0], 0.0);
    EXPECT_EQ(w[1], -1.0);
    double m[2] = {1, 0};
    vec_rotate(m, -90);  // stays -90: from sine and cosine, not the table
    EXPECT_NE(m[0], 0.0);
    EXPECT_NEAR(m[0], 0.0, 1e-15);
    EXPECT_NEAR(m[1], 1.0, 1e-15);
    double h[2] = {3, 4};
    vec_rotate(h, 180);
    EXPECT_EQ(h[0], -3.0);
    EXPECT_EQ(h[1], -4.0);
    double t[2] = {3, 4};
    vec_rotate(t, 270);
    EXPECT_EQ(t[0], -4.0);
    EXPECT_EQ(t[1], 3.0);
    double z[2] = {3, 4};
    vec_rotate(z, 720);
    EXPECT_EQ(z[0], 3.0);
    EXPECT_EQ(z[1], 4.0);
    double s[2] = {2, 0};
    vec_rotate(s, 30);  // counter-clockwise on the screen: up and to the right
    EXPECT_NEAR(s[0], std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(s[1], -1.0, 1e-12);
}

TEST(CurveDraw, straight_and_mirrored_chains_with_the_pen) {
    std::vector<Bytes> files = cut_support::standard_curves();
    CurvePack pack(files, "cdraw");
    curves_load();
    cut_support::Frame frame(64, 48);
    cut_support::Frame::fill(0xFFFFFF);
    curve_draw(0, 4, 10, 40, 10);
    for (int x = 4; x <= 40; x++)
        EXPECT_EQ(cut_support::Frame::at(x, 10)[0], 0) << x;
    EXPECT_EQ(cut_support::Frame::at(4, 9)[0], 255);
    EXPECT_EQ(cut_support::Frame::at(41, 10)[0], 255);

    // A knob drawn left to right bulges below the line (positive y, right of travel); mirrored above.
    auto dark_rows = [](int x0, int x1, int* top, int* bottom) {
        *top = 48, *bottom = -1;
        for (int y = 0; y < 48; y++)
            for (int x = x0; x <= x1; x++)
                if (cut_support::Frame::at(x, y)[0] == 0)
                    *top = std::min(*top, y), *bottom = std::max(*bottom, y);
    };
    cut_support::Frame::fill(0xFFFFFF);
    curve_draw(1, 4, 20, 44, 20);
    int top, bottom;
    dark_rows(4, 44, &top, &bottom);
    EXPECT_GE(top, 19);  // the shoulders dip less than a pixel the other way
    EXPECT_GE(bottom, 28);
    cut_support::Frame::fill(0xFFFFFF);
    curve_draw(1 | CURVE_MIRROR, 4, 20, 44, 20);
    dark_rows(4, 44, &top, &bottom);
    EXPECT_LE(top, 12);
    EXPECT_LE(bottom, 21);
}
