// tests/e2e/table_test.cpp -- a box whose cut is larger than the desk, played headless on a table
// larger than the screen: the cut at the box's own size, the wheel zooming about the pointer, the
// whole table, a carried piece scrolling the view at the screen's edge.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "e2e/cut_cache.h"
#include "e2e/game_run.h"
#include "image/gformat_img.h"
#include "platform/io_mem.h"

namespace {

using namespace e2e;

// One "play: view" line of the log.
struct View {
    std::string why;
    double zoom = 0;
    int tableW = 0, tableH = 0, x = 0, y = 0;
    // The table point under the screen point.
    double tx(int sx) const { return (sx - x) / zoom; }
    double ty(int sy) const { return (sy - y) / zoom; }
};

std::vector<View> views(const std::string& log) {
    std::vector<View> out;
    for (size_t at = log.find("play: view "); at != std::string::npos; at = log.find("play: view ", at + 1)) {
        const size_t colon = log.find(": zoom", at + 11);
        View v;
        v.why = log.substr(at + 11, colon - at - 11);
        if (std::sscanf(log.c_str() + colon, ": zoom %lf, the %dx%d table's corner at %d %d", &v.zoom,
                        &v.tableW, &v.tableH, &v.x, &v.y) == 5)
            out.push_back(v);
    }
    return out;
}

// The cut cache's pieces: each piece's shape, and of every shape a pixel of the body.
struct Shapes {
    std::vector<int32_t> of;                 // per piece
    std::vector<std::pair<int, int>> point;  // per shape: a flat, fully covered pixel near the middle
    explicit Shapes(const std::string& cache) {
        read_cut_cache(cache, &of, [&](const Image* piece) { point.push_back(middle(piece)); });
    }
    static std::pair<int, int> middle(const Image* im) {
        const uint8_t* codes = (const uint8_t*)im + im->colourOffset;
        std::pair<int, int> best = {-1, -1};
        long bestLength = -1;
        for (int v = 0; v < im->height; v++)
            for (int u = 0; u < im->width; u++) {
                uint16_t c;
                std::memcpy(&c, codes + (size_t)v * im->colourPitch + 2 * u, 2);
                const long dx = 2 * u - im->width, dy = 2 * v - im->height, length = dx * dx + dy * dy;
                if ((c & 0x8000) && (bestLength < 0 || length < bestLength))
                    bestLength = length, best = {u, v};
            }
        return best;
    }
    bool body(int piece, int* u, int* v) const {
        if (piece < 0 || piece >= (int)of.size() || of[piece] < 0 || of[piece] >= (int)point.size())
            return false;
        *u = point[of[piece]].first, *v = point[of[piece]].second;
        return *u >= 0;
    }
};

struct TableGame : Game {
    TableGame() { copy_boxes({"Mandala"}); }
    int play(const std::string& script) {
        write("script.txt", script);
        return run({"--headless", "--window", "1024x768", "--script", "script.txt", "-debug", "2",
                    "puzzles/Mandala.pzl"});
    }
    int32_t layout(int piece, int k) {
        const std::string c = chunk(file("sfiles/qs/Mandala.qsv"), 100);
        int32_t v = 0;
        if (c.size() >= (size_t)(piece + 1) * 20) std::memcpy(&v, c.data() + 20 * piece + 4 * k, 4);
        return v;
    }
};

}  // namespace

TEST(table, a_large_cut_keeps_its_size_and_the_view_zooms_pans_and_scrolls_under_a_carried_piece) {
    TableGame g;
    // At 100 % about the screen's middle, then learn where the top piece lies.
    ASSERT_EQ(g.play("5 key 1\n+2 quit\n"), 0) << g.file("stderr.txt");
    const std::string first = g.file("stderr.txt");
    EXPECT_NE(first.find("game: Mandala open: 961 pieces on a 1984x1488 table, cut afresh"),
              std::string::npos)
        << first;
    EXPECT_TRUE(g.has("sfiles/temp/Mandala.tmp")) << "the cut of the box's own size is cached";
    EXPECT_FALSE(g.has("sfiles/temp/1024x768"));
    std::vector<View> v = views(first);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].zoom, 1.0);
    // A point on the body of the piece nearest to the screen point (400, 400) at 100 %: a flat,
    // fully covered pixel of its image, as near to the image's middle as there is one.
    const Shapes shapes(g.file("sfiles/temp/Mandala.tmp"));
    ASSERT_EQ(shapes.of.size(), 961u);
    int piece = -1, tx = 0, ty = 0;
    double best = 1e18;
    for (int i = 0; i < 961; i++) {
        const double dx = 992 + g.layout(i, 0) + v[0].x - 400, dy = 744 + g.layout(i, 1) + v[0].y - 400;
        if (dx * dx + dy * dy < best) best = dx * dx + dy * dy, piece = i;
    }
    int u, w;
    ASSERT_TRUE(shapes.body(piece, &u, &w));
    tx = 992 + g.layout(piece, 0) + u, ty = 744 + g.layout(piece, 1) + w;
    const int sx = tx + v[0].x, sy = ty + v[0].y;
    ASSERT_TRUE(sx > 300 && sx < 500 && sy > 300 && sy < 500) << sx << " " << sy;

    // Carried to the right edge and held there, the view scrolls; the piece stays under the
    // pointer. Then the wheel zooms out about a point, and 0 shows the whole table.
    const std::string script = "5 key 1\n+2 press " + std::to_string(sx) + " " + std::to_string(sy) +
                               " left\n+1 move " + std::to_string(sx + 50) + " " + std::to_string(sy) +
                               "\n+1 move 1015 " + std::to_string(sy) + "\n+15 release 1015 " +
                               std::to_string(sy) + " left\n+3 wheel 300 250 -1\n+2 wheel 700 500 -1\n" +
                               "+2 key 0\n+2 quit\n";
    ASSERT_EQ(g.play(script), 0) << g.file("stderr.txt");
    // The game was left at 100 %: it opens there again (the key changes nothing).
    const View before = v[0];
    v = views(g.file("stderr.txt"));
    v.insert(v.begin(), before);
    ASSERT_EQ(v.size(), 5u) << g.file("stderr.txt");
    EXPECT_EQ(v[1].why, "after a carry");
    EXPECT_LT(v[1].x, v[0].x - 100) << "the view scrolled right";
    EXPECT_EQ(v[1].y, v[0].y);
    // The piece went down under the pointer: where it was picked, moved with the pointer's table
    // point.
    EXPECT_NEAR(992 + g.layout(piece, 0) + u, v[1].tx(1015), 2);
    EXPECT_NEAR(744 + g.layout(piece, 1) + w, v[1].ty(sy), 2);
    // Each wheel step keeps the table point under the pointer within a screen pixel.
    for (int k : {2, 3}) {
        const int px = k == 2 ? 300 : 700, py = k == 2 ? 250 : 500;
        EXPECT_EQ(v[k].why, "wheel");
        EXPECT_LT(v[k].zoom, v[k - 1].zoom);
        EXPECT_LE(std::fabs(v[k].tx(px) - v[k - 1].tx(px)) * v[k].zoom, 1.0);
        EXPECT_LE(std::fabs(v[k].ty(py) - v[k - 1].ty(py)) * v[k].zoom, 1.0);
    }
    EXPECT_EQ(v[4].why, "whole");
    EXPECT_LE(v[4].zoom * 1984, 1024.5);
    EXPECT_LE(v[4].zoom * 1488, 768.5);
    EXPECT_TRUE(v[4].x >= 0 && v[4].y >= 0 && v[4].x + v[4].zoom * 1984 <= 1024.5 &&
                v[4].y + v[4].zoom * 1488 <= 768.5)
        << "the whole table on the screen";

    // Leaving and reopening restores the zoom and the place: the table point in the screen's middle.
    ASSERT_EQ(g.play("5 key 1\n+2 key right\n+2 quit\n"), 0);
    const std::string kept = chunk(g.file("sfiles/qs/Mandala.qsv"), 103);
    ASSERT_EQ(kept.size(), 20u);
    int32_t view[5];
    std::memcpy(view, kept.data(), 20);
    EXPECT_EQ((std::vector<int32_t>{view[0], view[1], view[2]}), (std::vector<int32_t>{1984, 1488, 1000000}));
    ASSERT_EQ(g.play("5 key kpminus\n+2 quit\n"), 0);
    v = views(g.file("stderr.txt"));
    ASSERT_EQ(v.size(), 1u);
    EXPECT_NEAR(v[0].zoom, 0.840896, 1e-6) << "one step out from 100 %";
    EXPECT_NEAR(v[0].tx(512), view[3], 1.5);
    EXPECT_NEAR(v[0].ty(384), view[4], 1.5);
}

TEST(table, the_autosolver_zooms_out_by_key_and_finishes_large_tables) {
    // 961 pieces, 256 turned ones, and the 2035 pieces of the large sample.
    const std::pair<const char*, const char*> boxes[] = {
        {"Mandala", "1024x768"}, {"Rose Window", "1024x768"}, {"Market Town", "1280x800"}};
    for (const auto& [name, window] : boxes) {
        SCOPED_TRACE(name);
        Game g;
        g.copy_boxes({name});
        g.write("script.txt", "5 key 1\n+1 autosolve\n+20 key enter\n+5 quit\n");
        ASSERT_EQ(g.run({"--headless", "--window", window, "--script", "script.txt", "-debug", "2",
                         std::string("puzzles/") + name + ".pzl"}),
                  0);
        const std::string log = g.file("stderr.txt");
        EXPECT_NE(log.find("autosolve: finished"), std::string::npos)
            << log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
        const std::vector<View> v = views(log);
        ASSERT_GE(v.size(), 2u);
        EXPECT_EQ(v[0].why, "100 %");
        EXPECT_EQ(v[1].why, "whole") << "the solver asked for the whole table with its key";
        const std::string save = g.file(std::string("sfiles/qs/") + name + ".qsv");
        EXPECT_EQ(chunk_i32(save, 3), 100);
        const std::string layout = chunk(save, 100);
        ASSERT_EQ(layout.size(), (size_t)chunk_i32(save, 4) * 20);
        int32_t group0, group;
        std::memcpy(&group0, layout.data() + 16, 4);
        for (size_t i = 0; i < layout.size() / 20; i++) {
            std::memcpy(&group, layout.data() + 20 * i + 16, 4);
            ASSERT_EQ(group, group0) << "piece " << i << " is not in the one group";
        }
    }
}

TEST(table, the_picture_window_frames_the_view_and_a_press_on_it_takes_the_view_there) {
    TableGame g;
    // The picture window's picture lies at (25, 223), 128 pixels for the 992 of the picture's
    // place in the middle of the 1984 x 1488 table, at (496, 248): the press at (40, 250) is
    // picture pixel (15, 27), the table point (496 + 15.5 x 992 / 128, 248 + 27.5 x 992 / 128).
    ASSERT_EQ(g.play("5 key 1\n+2 snap centre.png\n+1 click 40 250 left\n+3 snap map.png\n+1 quit\n"), 0)
        << g.file("stderr.txt");
    const std::vector<View> v = views(g.file("stderr.txt"));
    ASSERT_EQ(v.size(), 2u) << g.file("stderr.txt");
    EXPECT_EQ(v[1].why, "map");
    EXPECT_EQ(v[1].zoom, 1.0) << "the zoom stays";
    EXPECT_NEAR(v[1].tx(512), 496 + 15.5 * 992 / 128, 1);
    EXPECT_NEAR(v[1].ty(384), 248 + 27.5 * 992 / 128, 1);
}

TEST(table, the_wheel_zooms_under_a_carried_piece_and_it_stays_under_the_pointer) {
    TableGame g;
    ASSERT_EQ(g.play("5 key 1\n+2 quit\n"), 0);
    const View at100 = views(g.file("stderr.txt")).at(0);
    const Shapes shapes(g.file("sfiles/temp/Mandala.tmp"));
    // The piece nearest to the screen's middle at 100 %, pressed on its body, carried a little,
    // then two wheel steps out while it is held, and put down where the pointer is.
    int piece = -1, u = 0, w = 0;
    double best = 1e18;
    for (int i = 0; i < 961; i++) {
        const double dx = 992 + g.layout(i, 0) + at100.x - 512, dy = 744 + g.layout(i, 1) + at100.y - 384;
        if (dx * dx + dy * dy < best) best = dx * dx + dy * dy, piece = i;
    }
    ASSERT_TRUE(shapes.body(piece, &u, &w));
    const int sx = 992 + g.layout(piece, 0) + u + at100.x, sy = 744 + g.layout(piece, 1) + w + at100.y;
    const std::string s = std::to_string(sx) + " " + std::to_string(sy),
                      t = std::to_string(sx + 40) + " " + std::to_string(sy + 30);
    ASSERT_EQ(g.play("5 press " + s + " left\n+1 move " + t + "\n+2 wheel " + t + " -2\n+2 move " + t +
                     "\n+8 release " + t + " left\n+2 quit\n"),
              0)
        << g.file("stderr.txt");
    const std::vector<View> v = views(g.file("stderr.txt"));
    ASSERT_EQ(v.size(), 3u) << g.file("stderr.txt");
    EXPECT_EQ((std::vector<std::string>{v[0].why, v[1].why, v[2].why}),
              (std::vector<std::string>{"wheel", "wheel", "after a carry"}));
    EXPECT_LT(v[2].zoom, 1.0);
    // The body point that was pressed lies under the pointer, on the table of the new view.
    EXPECT_NEAR(992 + g.layout(piece, 0) + u, v[2].tx(sx + 40), 2.5);
    EXPECT_NEAR(744 + g.layout(piece, 1) + w, v[2].ty(sy + 30), 2.5);
}
