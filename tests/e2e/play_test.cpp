// tests/e2e/play_test.cpp -- playing a box in the headless game: moves kept, the autosave, signals,
// and the autosolver through the real mouse.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "e2e/cut_cache.h"
#include "e2e/game_run.h"
#include "image/gformat_img.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"

namespace {

using namespace e2e;

constexpr int DESK_W = 1024, DESK_H = 768;

// The parts of a quick save these tests look at.
struct Save {
    bool ok = false;
    int elapsed = 0, percent = 0, count = 0;
    std::string layout;  // 20 bytes a piece: x, y (from the desk centre), lift, angle, group
    std::string stack;   // 4 bytes a piece, bottom first
    explicit Save(const std::string& file = "") {
        elapsed = chunk_i32(file, 1), percent = chunk_i32(file, 3), count = chunk_i32(file, 4);
        layout = chunk(file, 100), stack = chunk(file, 101);
        ok = count > 0 && layout.size() == (size_t)count * 20 && stack.size() == (size_t)count * 4;
    }
    int32_t field(int piece, int k) const {
        int32_t v;
        std::memcpy(&v, layout.data() + 20 * piece + 4 * k, 4);
        return v;
    }
};

struct Rect {
    int x, y, w, h;
};

// A window's placement in config.ini ("x y width height visible rolled").
Rect placement(const std::string& ini, const std::string& key) {
    Rect r{0, 0, 0, 0};
    std::sscanf(ini_value(ini, key).c_str(), "%d %d %d %d", &r.x, &r.y, &r.w, &r.h);
    return r;
}

// The pieces' image sizes from the cut cache: every piece's width and height at rest, unturned.
struct Pieces {
    std::vector<std::pair<int, int>> sizes;
    explicit Pieces(const std::string& cache) {
        std::vector<int32_t> shapeOf;
        std::vector<std::pair<int, int>> shapes;
        read_cut_cache(cache, &shapeOf, [&](const Image* piece) {
            shapes.push_back({piece->width, piece->height});
        });
        for (int32_t s : shapeOf)
            sizes.push_back(s >= 0 && s < (int)shapes.size() ? shapes[s] : std::pair(0, 0));
    }
    int count() const { return (int)sizes.size(); }
    // Piece i of the save lies wholly on the desk below the title line and meets no window.
    bool in_view(const Save& s, int i, std::initializer_list<Rect> windows, int deskW = DESK_W,
                 int deskH = DESK_H) const {
        const int x = deskW / 2 + s.field(i, 0), y = deskH / 2 + s.field(i, 1);
        const int w = sizes[i].first, h = sizes[i].second;
        if (w <= 0 || x < 0 || y < 20 || x + w > deskW || y + h > deskH) return false;
        for (const Rect& r : windows)
            if (x < r.x + r.w && x + w > r.x && y < r.y + r.h && y + h > r.y) return false;
        return true;
    }
};

// A point on the body of the topmost piece of a 100-pixel puzzle, and the piece: the piece image
// starts at most a third of a piece left of and above its cell.
int top_piece_point(const Save& s, int* x, int* y) {
    int32_t top;
    std::memcpy(&top, s.stack.data() + 4 * (s.count - 1), 4);
    *x = DESK_W / 2 + s.field(top, 0) + 65;
    *y = DESK_H / 2 + s.field(top, 1) + 65;
    return top;
}

struct PlayGame : Game {
    std::string box;
    explicit PlayGame(const std::string& name) : box(name) { copy_boxes({name}); }
    void play(const std::string& script, const std::string& window = "1024x768") {
        write("script.txt", script);
        start({"--headless", "--window", window, "--script", "script.txt", "puzzles/" + box + ".pzl"});
    }
    Save save() { return Save(file("sfiles/qs/" + box + ".qsv")); }
    // The fresh desk, as the game saves it after a start and a quit.
    Save fresh_desk() {
        play("5 quit\n");
        return wait() == 0 ? save() : Save();
    }
};

// A script line that carries the topmost piece of the desk by (dx, dy) over ten ticks.
std::string drag_top(const Save& s, int dx, int dy, const std::string& tick = "5") {
    int x, y;
    top_piece_point(s, &x, &y);
    return tick + " drag " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(x + dx) +
           " " + std::to_string(y + dy) + " 10\n";
}

TEST(play, a_move_survives_leaving_and_reopening) {
    PlayGame g("Sunset Lake");
    const Save fresh = g.fresh_desk();
    ASSERT_TRUE(fresh.ok);
    ASSERT_EQ(fresh.count, 24);
    int x, y;
    const int top = top_piece_point(fresh, &x, &y);

    // Press, carry for ten ticks, release: the piece goes down where it was carried.
    g.play(drag_top(fresh, -120, 60) + "+15 move 1010 750\n+5 snap moved.png\n+1 key escape\n+5 quit\n");
    ASSERT_EQ(g.wait(), 0);
    const Save moved = g.save();
    ASSERT_TRUE(moved.ok);
    EXPECT_NE(moved.layout, fresh.layout);
    EXPECT_NE(moved.field(top, 0), fresh.field(top, 0));

    g.play("5 move 1010 750\n+5 snap reopened.png\n+1 quit\n");
    ASSERT_EQ(g.wait(), 0);
    EXPECT_EQ(g.save().layout, moved.layout);
    EXPECT_EQ(g.file("reopened.png"), g.file("moved.png"));
}

TEST(play, a_rubber_band_selects_every_piece_and_they_are_carried_together_as_one_set) {
    PlayGame g("Sunset Lake");
    const Save fresh = g.fresh_desk();
    const Pieces images(g.file("sfiles/temp/Sunset Lake.tmp"));
    ASSERT_EQ(images.count(), 24);
    // From an empty corner of the desk over everything; then the selection goes where one of its
    // pieces is carried: a little to the left, then far beyond the bottom-right corner, where the
    // whole set stops at the edges as one.
    for (const auto& [dx, dy] : {std::pair(-30, 0), std::pair(900, 700)}) {
        SCOPED_TRACE(dx);
        g.play("5 drag 1020 25 0 767 10\n" + drag_top(fresh, dx, dy, "+15") + "+15 quit\n");
        ASSERT_EQ(g.wait(), 0);
        const Save moved = g.save();
        ASSERT_TRUE(moved.ok);
        const int mx = moved.field(0, 0) - fresh.field(0, 0), my = moved.field(0, 1) - fresh.field(0, 1);
        for (int i = 0; i < 24; i++) {
            EXPECT_EQ(moved.field(i, 0) - fresh.field(i, 0), mx) << i;
            EXPECT_EQ(moved.field(i, 1) - fresh.field(i, 1), my) << i;
            EXPECT_TRUE(images.in_view(moved, i, {})) << i;
        }
        if (dx < 0) {
            EXPECT_EQ((std::pair(mx, my)), std::pair(-30, 0));
        } else {
            EXPECT_TRUE(mx > 0 && my >= 0 && mx < 900) << mx << " " << my;
        }
        std::system(("rm -f '" + g.dir + "/sfiles/qs/Sunset Lake.qsv'").c_str());
    }
}

// A fresh desk on either screen: every piece wholly on the desk below the title line, none under
// the control panel or the picture window, and on the large desk with room to spare none over
// another.
TEST(play, a_fresh_scatter_leaves_every_piece_in_view_on_two_desks) {
    struct Desk {
        const char* box;
        int w, h;
    };
    for (const Desk& d : {Desk{"Sunset Lake", 1024, 768}, Desk{"Tulip Fields", 1920, 1080}}) {
        SCOPED_TRACE(d.box);
        PlayGame g(d.box);
        g.write("script.txt", "5 quit\n");
        g.start({"--headless", "--window", std::to_string(d.w) + "x" + std::to_string(d.h), "--script",
                 "script.txt", std::string("puzzles/") + d.box + ".pzl"});
        ASSERT_EQ(g.wait(), 0);
        const Save fresh = g.save();
        ASSERT_TRUE(fresh.ok);
        const Pieces images(g.file(std::string("sfiles/temp/") + d.box + ".tmp"));
        ASSERT_EQ(images.count(), fresh.count);
        const std::string ini = g.file(CONFIG_INI);
        const Rect panel = placement(ini, "CPanelWin"), picture = placement(ini, "PictureWin");
        ASSERT_TRUE(panel.w > 0 && picture.w > 0);
        int over = 0;
        for (int i = 0; i < fresh.count; i++) {
            EXPECT_TRUE(images.in_view(fresh, i, {panel, picture}, d.w, d.h)) << i;
            const Rect a = {fresh.field(i, 0), fresh.field(i, 1), images.sizes[i].first,
                            images.sizes[i].second};
            for (int j = 0; j < i; j++) {
                const Rect b = {fresh.field(j, 0), fresh.field(j, 1), images.sizes[j].first,
                                images.sizes[j].second};
                // More than a tab's worth: a quarter of the smaller side each way.
                over += a.x + a.w - b.x > a.w / 4 && b.x + b.w - a.x > a.w / 4 && a.y + a.h - b.y > a.h / 4 &&
                        b.y + b.h - a.y > a.h / 4;
            }
        }
        if (d.w == 1920) {
            EXPECT_EQ(over, 0) << "the large desk has room for every piece apart";
        }
    }
}

TEST(play, gather_brings_pieces_under_the_windows_and_off_the_desk_into_view) {
    PlayGame g("Sunset Lake");
    Save fresh = g.fresh_desk();
    const Pieces images(g.file("sfiles/temp/Sunset Lake.tmp"));
    const std::string ini = g.file(CONFIG_INI);
    const Rect panel = placement(ini, "CPanelWin"), picture = placement(ini, "PictureWin");
    // Eight pieces put under the panel and the picture window, two half off the desk, one under
    // the title line.
    const int places[11][2] = {{25, 55},  {60, 90},  {30, 120},  {80, 60},   {25, 210}, {60, 260},
                               {30, 300}, {90, 230}, {-60, 400}, {980, 500}, {500, 0}};
    std::string layout = fresh.layout;
    for (int i = 0; i < 11; i++)
        for (int k = 0; k < 2; k++) {
            const int32_t v = places[i][k] - (k ? DESK_H : DESK_W) / 2;
            std::memcpy(&layout[20 * i + 4 * k], &v, 4);
        }
    std::string file = g.file("sfiles/qs/Sunset Lake.qsv");
    file.replace(file.find(fresh.layout), layout.size(), layout);
    g.write_bytes("sfiles/qs/Sunset Lake.qsv", file);
    g.play("5 key r\n+5 quit\n");
    ASSERT_EQ(g.wait(), 0);
    const Save gathered = g.save();
    ASSERT_TRUE(gathered.ok);
    for (int i = 0; i < 24; i++) {
        EXPECT_TRUE(images.in_view(gathered, i, {panel, picture})) << i;
        if (i >= 11) {
            EXPECT_EQ(gathered.field(i, 0), fresh.field(i, 0)) << "a piece in view stays " << i;
        }
    }
}

TEST(play, the_autosave_survives_sigkill_and_sigterm_saves) {
    PlayGame g("Sunset Lake");
    const Save fresh = g.fresh_desk();
    const std::string move = drag_top(fresh, 90, -40);

    // 30 seconds of play are 910 ticks: the autosave is written by then; the kill comes later.
    g.play(move + "1000 snap saved.png\n1000000 quit\n");
    ASSERT_TRUE(g.wait_for_file("saved.png"));
    kill(g.pid, SIGKILL);
    g.wait();
    const Save autosaved = g.save();
    ASSERT_TRUE(autosaved.ok);
    EXPECT_NE(autosaved.layout, fresh.layout);
    EXPECT_GE(autosaved.elapsed, 30);

    g.play("5 quit\n");
    ASSERT_EQ(g.wait(), 0);
    EXPECT_EQ(g.save().layout, autosaved.layout);
    EXPECT_GE(g.save().elapsed, autosaved.elapsed);

    // SIGTERM runs the normal shutdown, which saves the move made a moment before.
    std::system(("rm -f '" + g.dir + "/sfiles/qs/Sunset Lake.qsv'").c_str());
    g.play(move + "30 snap moved.png\n1000000 quit\n");
    ASSERT_TRUE(g.wait_for_file("moved.png"));
    kill(g.pid, SIGTERM);
    EXPECT_EQ(g.wait(), 0);
    const Save terminated = g.save();
    ASSERT_TRUE(terminated.ok);
    EXPECT_NE(terminated.layout, fresh.layout);
}

TEST(play, autosolve_finishes_the_24_and_150_piece_boxes_and_one_with_turned_pieces) {
    for (const char* name : {"Sunset Lake", "Tulip Fields", "Rose Window"}) {
        SCOPED_TRACE(name);
        PlayGame g(name);
        // Rose Window's cut is larger than a 1024 x 768 desk: it is played where the table is the desk.
        g.play("0 autosolve\n+20 snap done.png\n+1 key enter\n+5 quit\n",
               std::string(name) == "Rose Window" ? "1280x1024" : "1024x768");
        ASSERT_EQ(g.wait(120), 0);
        EXPECT_NE(g.file("stderr.txt").find("autosolve: finished"), std::string::npos)
            << g.file("stderr.txt");
        const Save s = g.save();
        ASSERT_TRUE(s.ok);
        EXPECT_EQ(s.percent, 100);
        for (int i = 0; i < s.count; i++)
            ASSERT_EQ(s.field(i, 4), s.field(0, 4)) << "piece " << i << " is not in the one group";
        // The finished picture lies upright and whole on the desk below the title line (the quit
        // came while it was still shown off: it was put at its place at once).
        const Pieces images(g.file(std::string("sfiles/temp/") + name + ".tmp"));
        for (int i = 0; i < s.count; i++) {
            EXPECT_EQ(s.field(i, 3), 0) << "piece " << i << " is not upright";
            if (images.count() == s.count) {
                const bool rose = std::string(name) == "Rose Window";
                EXPECT_TRUE(images.in_view(s, i, {}, rose ? 1280 : DESK_W, rose ? 1024 : DESK_H))
                    << "piece " << i;
            }
        }
        if (const char* keep = std::getenv("LUMAVEX_SCENE_KEEP"))
            std::system(("cp '" + g.dir + "/done.png' '" + keep + "/solved-" + name + ".png'").c_str());
    }
}

}  // namespace
