// tests/puzzle/curve_test.cpp -- edge curves: loading, normalisation, mirroring, fatal types, and which
// way knobs bulge. (Mapping and turning: through the approved shapes and the play tests.)
#include "puzzle/curve.h"

#include <gtest/gtest.h>

#include "puzzle/cut_support.h"
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

TEST(CurveLoad, point_counts_limits_normalisation_mirroring_and_fatal_types) {
    // A tail that is not a whole point is ignored; 128 points is the most a curve holds.
    Bytes tail = chain(MAX_CONTROLPOINTS);
    tail.insert(tail.end(), {1, 2, 3});  // 1027 bytes
    for (auto [file, count] : {std::pair{chain(4), 4}, {chain(128), 128}, {tail, 128}}) {
        CurvePack pack(all_of(file), "count");
        ASSERT_TRUE(pack.ok);
        curves_load();
        EXPECT_EQ(curve_slot(7)->count, count);
    }
    std::vector<Bytes> files = all_of(chain(4));
    files[5] = chain(129);  // 1032 bytes
    {
        CurvePack pack(files, "c1032");
        EXPECT_EQ(fatal_message_of([] { curves_load(); }), "curve->n>MAX_CONTROLPOINTS\n");
    }
    files[5] = chain(4);
    files[2] = curve_file({{5, 0}, {6, 1}, {6, 2}, {5, 0}});  // first and last x equal
    {
        CurvePack pack(files, "cflat");
        EXPECT_EQ(fatal_message_of([] { curves_load(); }), "curves_load: curve 2 has no length\n");
    }
    // From the first point, in units of the edge (d = 200); type 128 + k is k mirrored.
    files[2] = curve_file({{100, 50}, {150, 90}, {250, 10}, {300, 50}});
    CurvePack pack(files, "cnorm");
    curves_load();
    auto points = [](int type) {
        int n;
        const CurvePoint* p = curve_get(type, &n);
        std::vector<double> xy;
        for (int i = 0; i < n; i++)
            xy.insert(xy.end(), {p[i].x, p[i].y});
        return xy;
    };
    EXPECT_EQ(points(2), (std::vector<double>{0, 0, 0.25, 0.2, 0.75, -0.2, 1, 0}));
    EXPECT_EQ(points(2 | CURVE_MIRROR), (std::vector<double>{0, -0.0, 0.25, -0.2, 0.75, 0.2, 1, -0.0}));
    int n;
    EXPECT_EQ(fatal_message_of([&] { curve_get(8, &n); }), "curve_get: type out of range(8)\n");
    EXPECT_EQ(fatal_message_of([&] { curve_get(256, &n); }), "curve_get: type out of range(256)\n");
    EXPECT_EQ(fatal_message_of([&] { curve_get(-1, &n); }), "curve_get: type out of range(-129)\n");
    EXPECT_EQ(fatal_message_of([&] { curve_get(135, &n); }), "");
}

TEST(CurveDraw, knobs_bulge_right_of_travel_and_mirrored_ones_left) {
    std::vector<Bytes> files = cut_support::standard_curves();
    CurvePack pack(files, "cdraw");
    curves_load();
    cut_support::Frame frame(64, 48);
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
