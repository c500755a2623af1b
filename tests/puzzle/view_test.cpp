// tests/puzzle/view_test.cpp -- the table's size and the view onto it: transforms both ways, zoom
// steps, zooming about a point, pan limits, damaged views.
#include "puzzle/view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

TableView big(double zoom, int x, int y) { return {4000, 2500, 1280, 800, zoom, x, y}; }

}  // namespace

TEST(ViewTable, a_cut_that_fits_plays_on_the_desk_and_a_larger_one_on_a_table_shaped_like_it) {
    int w, h;
    // 1004 x 688 is the play area of a 1024 x 768 desk: the cut fits exactly.
    EXPECT_EQ(view_table_size(1004, 688, 4, 1024, 768, &w, &h), 0);
    EXPECT_TRUE(w == 1024 && h == 768);
    EXPECT_EQ(view_table_size(1005, 600, 5, 1024, 768, &w, &h), 1);

    // 31 x 31 pieces of 32: three times the cut's area, shaped 4:3.
    ASSERT_EQ(view_table_size(992, 992, 32, 1024, 768, &w, &h), 1);
    EXPECT_GE((double)w * h, 3.0 * 992 * 992);
    EXPECT_LE((double)w * h, 3.0 * 992 * 992 + 2.0 * (w + h));
    EXPECT_NEAR((double)w / h, 1024.0 / 768, 0.01);

    // A long thin picture still lies on its table with two pieces to spare on each side, and a
    // table is never smaller than the desk.
    ASSERT_EQ(view_table_size(4000, 100, 50, 1280, 800, &w, &h), 1);
    EXPECT_GE(w, 4000 + 4 * 50);
    EXPECT_GE(h, 800);
}

TEST(ViewTransform, screen_and_table_points_map_both_ways_at_every_zoom) {
    // By hand: zoom 0.5 with the table's corner at (10, -20): table (100, 200) is screen (60, 80).
    double sx, sy, tx, ty;
    view_to_screen(big(0.5, 10, -20), 100, 200, &sx, &sy);
    EXPECT_DOUBLE_EQ(sx, 60);
    EXPECT_DOUBLE_EQ(sy, 80);
    for (double zoom : {0.25, 1.0, 2.0})
        for (int x : {0, -1234, 37}) {
            const TableView v = big(zoom, x, x / 2);
            for (double p : {0.0, 17.5, 2999.0}) {
                view_to_screen(v, p, p / 3, &sx, &sy);
                view_to_table(v, sx, sy, &tx, &ty);
                EXPECT_NEAR(tx, p, 1e-9);
                EXPECT_NEAR(ty, p / 3, 1e-9);
            }
        }
    // At 100 % a table pixel is a screen pixel, moved by whole pixels.
    view_to_screen(big(1.0, -300, -41), 305, 50, &sx, &sy);
    EXPECT_TRUE(sx == 5 && sy == 9);
}

TEST(ViewZoom, steps_run_from_the_whole_table_through_100_percent_to_200) {
    const double fit = view_fit_zoom(big(1, 0, 0));
    EXPECT_DOUBLE_EQ(fit, 800.0 / 2500);  // the height decides: 0.32
    std::vector<double> steps = {fit};
    while (steps.back() < VIEW_ZOOM_MAX)
        steps.push_back(view_zoom_step(steps.back(), 1, fit));
    // 0.32, then 2^(-6/4) = 0.354, ... 1, 1.19, 1.41, 1.68, 2.
    EXPECT_NEAR(steps[1], std::exp2(-1.5), 1e-12);
    EXPECT_EQ(steps.size(), 12u);
    EXPECT_NE(std::find(steps.begin(), steps.end(), 1.0), steps.end()) << "100 % is a step";
    EXPECT_EQ(steps.back(), 2.0);
    EXPECT_EQ(view_zoom_step(2.0, 1, fit), 2.0);
    // Back down the same steps to the whole table, and no further.
    for (size_t i = steps.size() - 1; i > 0; i--)
        EXPECT_NEAR(view_zoom_step(steps[i], -1, fit), steps[i - 1], 1e-12) << i;
    EXPECT_EQ(view_zoom_step(fit, -1, fit), fit);
}

TEST(ViewZoom, the_table_point_under_the_pointer_stays_under_it) {
    TableView v = view_make(4000, 2500, 1280, 800);
    const double fit = v.zoom;
    struct Step {
        double zoom;
        int px, py;
    };
    for (const Step& s :
         {Step{1.0, 640, 400}, Step{2.0, 100, 700}, Step{0.5, 640, 400}, Step{0.6, 333, 444}}) {
        double before[2], after[2];
        view_to_table(v, s.px, s.py, &before[0], &before[1]);
        EXPECT_EQ(view_zoom_at(&v, s.zoom, s.px, s.py), 1);
        EXPECT_DOUBLE_EQ(v.zoom, s.zoom);
        view_to_table(v, s.px, s.py, &after[0], &after[1]);
        // Within half a screen pixel: the offset is whole pixels.
        EXPECT_LE(std::fabs(after[0] - before[0]) * s.zoom, 0.5) << s.zoom;
        EXPECT_LE(std::fabs(after[1] - before[1]) * s.zoom, 0.5) << s.zoom;
    }
    // Zooming beyond the limits stops at them; back out to the whole table, it lies centred.
    view_zoom_at(&v, 5.0, 10, 10);
    EXPECT_EQ(v.zoom, VIEW_ZOOM_MAX);
    view_zoom_at(&v, 0.01, 10, 10);
    EXPECT_EQ(v.zoom, fit);
    EXPECT_EQ(v.y, 0);
    EXPECT_EQ(v.x, (1280 - 1280) / 2);  // 4000 x 0.32 = 1280: it just fills the width
}

TEST(ViewPan, the_table_covers_the_screen_or_lies_centred_and_damage_shows_it_whole) {
    TableView v = big(1.0, 0, 0);
    EXPECT_EQ(view_pan(&v, 50, 50), 0) << "no bare edge beyond the table's corner";
    EXPECT_EQ(view_pan(&v, -100000, -100000), 1);
    EXPECT_TRUE(v.x == 1280 - 4000 && v.y == 800 - 2500);
    int l, t, r, b;
    view_visible(v, &l, &t, &r, &b);
    EXPECT_TRUE(l == 2720 && t == 1700 && r == 3999 && b == 2499);

    // At 0.4 the table is 1600 x 1000 on the screen: pans within -320..0 and -200..0.
    v = big(0.4, -500, 30);
    view_limit(&v);
    EXPECT_TRUE(v.x == -320 && v.y == 0);

    // A table narrower than the screen at this zoom lies centred on that axis.
    v = {1000, 3000, 1280, 800, 0.5, -100, -100};
    view_limit(&v);
    EXPECT_EQ(v.x, (1280 - 500) / 2);
    EXPECT_EQ(v.y, -100);

    // Damage: a zero, negative, endless or too large zoom, or a view far off the table, shows the
    // whole table.
    const TableView whole = view_make(4000, 2500, 1280, 800);
    for (TableView bad : {big(0, 0, 0), big(-1, 0, 0), big(std::numeric_limits<double>::quiet_NaN(), 0, 0),
                          big(1e9, 0, 0), big(1.0, 100000, 0), big(1.0, 0, -900000)}) {
        view_limit(&bad);
        EXPECT_TRUE(bad.zoom == whole.zoom && bad.x == whole.x && bad.y == whole.y);
    }
    // The table that is the desk never moves.
    TableView desk = {1024, 768, 1024, 768, 1.0, 0, 0};
    EXPECT_EQ(view_pan(&desk, -10, 0), 0);
    EXPECT_EQ(view_zoom_at(&desk, 2.0, 10, 10), 0);
    EXPECT_TRUE(desk.zoom == 1.0 && desk.x == 0 && desk.y == 0);
}
