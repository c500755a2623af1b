// tests/tools/pack_contents_test.cpp -- the data pack as mkpack builds it, and the curve lists' guards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "font_glyphs.h"
#include "image/gformat_img.h"
#include "image/img.h"
#include "platform/io_mem.h"
#include "puzzle/box_samples.h"
#include "puzzle/curve.h"
#include "resources/dp.h"
#include "tools/mkpack/collect.h"
#include "tools/mkpack/curves.h"

namespace {

using Bytes = std::vector<uint8_t>;

// What the game asks the pack for by name, besides the eight curves.
const char* const NAMES =
    "skin.ini english.ini img/active.img img/inactive.img img/background.jpg img/lttl_pzzl.img "
    "img/font12.img "
    "img/font15.img img/font20.img img/connected.img img/intro.jpg img/gallery/wall.jpg "
    "img/gallery/floor.jpg "
    "img/gallery/ceiling.jpg connect.wav";

using box_samples::read_file;
int32_t i32(const Bytes& b, size_t at) { return (int32_t)box_samples::get32(b, at); }

// The pack is built once for the whole suite, as the build step builds it.
class GamePack : public ::testing::Test {
   protected:
    static inline std::string dir;
    static inline std::vector<PackResource> resources;
    static inline bool built = false;

    static void SetUpTestSuite() {
        char name[] = "/tmp/pack_contents_XXXXXX";
        if (!mkdtemp(name)) return;
        dir = name;
        built = mkpack_collect(LUMAVEX_ASSETS_DIR, &resources, nullptr) &&
                mkpack_write(dir + "/data.pck", resources);
    }
    static void TearDownTestSuite() {
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }
    void SetUp() override {
        ASSERT_TRUE(built) << "mkpack's parts failed; see the messages above";
        dp_done();
        dp_open(dir + "/data.pck");
    }
    void TearDown() override { dp_done(); }
};

// --- Curve geometry, worked on the normalised chain sampled finely ---

struct Pt {
    double x, y;
};

// The chain of a curve as the game loads it, every cubic segment sampled at 64 steps.
std::vector<Pt> sampled(const EdgeCurve* c) {
    const CurvePoint* q = c->points;
    std::vector<Pt> line;
    for (int s = 0; s + 3 < c->count; s += 3)
        for (int i = s ? 1 : 0; i <= 64; i++) {
            double t = i / 64.0, u = 1 - t;
            double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, e = t * t * t;
            line.push_back({a * q[s].x + b * q[s + 1].x + d * q[s + 2].x + e * q[s + 3].x,
                            a * q[s].y + b * q[s + 1].y + d * q[s + 2].y + e * q[s + 3].y});
        }
    return line;
}

int crossings_at(const std::vector<Pt>& line, double x) {
    int n = 0;
    for (size_t i = 0; i + 1 < line.size(); i++)
        if ((line[i].x < x) != (line[i + 1].x < x)) n++;
    return n;
}

bool segments_cross(Pt a, Pt b, Pt c, Pt d) {
    auto side = [](Pt p, Pt q, Pt r) { return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x); };
    double d1 = side(c, d, a), d2 = side(c, d, b), d3 = side(a, b, c), d4 = side(a, b, d);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

}  // namespace

TEST_F(GamePack, builds_the_same_bytes_twice) {
    std::vector<PackResource> again;
    ASSERT_TRUE(mkpack_collect(LUMAVEX_ASSETS_DIR, &again, nullptr));
    ASSERT_TRUE(mkpack_write(dir + "/again.pck", again));
    Bytes first = read_file(dir + "/data.pck"), second = read_file(dir + "/again.pck");
    ASSERT_GT(first.size(), 16u);
    EXPECT_TRUE(first == second);
}

TEST_F(GamePack, every_resource_the_game_asks_for_is_found) {
    std::istringstream list(NAMES);
    std::vector<std::string> names(std::istream_iterator<std::string>(list), {});
    for (int i = 0; i < CURVE_FILE_COUNT; i++)
        names.push_back("curves/c_" + std::to_string(i) + ".crv");
    for (const std::string& name : names) {
        const int index = dp_get_index(name.c_str(), 0);
        EXPECT_TRUE(index >= 0 && dp_size(index) > 0) << name;
    }
}

TEST_F(GamePack, font_sheets_agree_with_the_compiled_glyph_tables) {
    for (int font = 0; font < 3; font++) {
        const FontSheet& f = font_sheets[font];
        Image* sheet = img_read(dp_fopen(dp_get_index(f.picture, 1)));
        dp_fclose();
        ASSERT_NE(sheet, nullptr);
        const uint8_t* px = (const uint8_t*)sheet + sheet->colourOffset;
        std::vector<int> owner((size_t)sheet->width * 3, -1);  // which glyph's cell covers a column of a row
        for (int i = 0; i < FONT_GLYPH_COUNT; i++) {
            const FontGlyph& g = f.glyphs[i];
            int c = FONT_GLYPH_FIRST + i, row = c <= 64 ? 0 : c <= 96 ? 1 : 2;
            ASSERT_EQ(g.sy, row * f.height) << "character " << c;
            ASSERT_LE(g.sx + g.width, sheet->width) << "character " << c;
            long ink = 0;
            for (int y = 0; y < f.height; y++)
                for (int x = 0; x < g.width; x++)
                    ink += px[(size_t)(g.sy + y) * sheet->colourPitch + g.sx + x];
            if (c == ' ' || c == 127)
                EXPECT_EQ(ink, 0) << "character " << c;
            else
                EXPECT_GT(ink, 255 * 2) << "character " << c << " has no ink in its cell";
            for (int x = g.sx; x < g.sx + g.width; x++) {
                EXPECT_EQ(owner[(size_t)row * sheet->width + x], -1) << "cells overlap at character " << c;
                owner[(size_t)row * sheet->width + x] = c;
            }
        }
        // Nothing outside the cells: ink there would never be drawn, or bleed into a neighbour.
        for (int y = 0; y < sheet->height; y++)
            for (int x = 0; x < sheet->width; x++)
                if (owner[(size_t)(y / f.height) * sheet->width + x] < 0) {
                    ASSERT_EQ(px[(size_t)y * sheet->colourPitch + x], 0)
                        << f.picture << " at " << x << ", " << y;
                }
        io_mem_free(sheet);
    }
    // The small font's space and "A" by hand: 4 wide at the row start, 9 wide at the start of row 1.
    EXPECT_EQ((std::vector<int>{font_glyphs_small[0].sx, font_glyphs_small[0].width,
                                font_glyphs_small['A' - 32].sy}),
              (std::vector<int>{0, 4, 14}));
}

// The lists were checked by mkpack (point counts, ends on their line, symmetry); what is left
// is the shape of the tabs, on the chains as the game loads them from the pack.
TEST_F(GamePack, curves_load_and_their_tabs_interlock) {
    curves_load();
    for (int i = 0; i < CURVE_FILE_COUNT; i++) {
        const std::string name = "curve " + std::to_string(i);
        std::vector<Pt> line = sampled(curve_slot(i));
        double top = 0, bottom = 0, left = 1, right = 0, top_x = 0;
        for (const Pt& p : line) {
            if (p.y > top) top = p.y, top_x = p.x;
            bottom = std::min(bottom, p.y);
            left = std::min(left, p.x);
            right = std::max(right, p.x);
        }
        if (i == 0) continue;
        EXPECT_TRUE(top >= 0.18 && top <= 0.27) << name << ": tab height " << top;
        EXPECT_GE(bottom, -0.10) << name;
        EXPECT_TRUE(left >= 0.0 && right <= 1.0) << name << " reaches past its corners";
        // Interlocking: on both sides of the tab's top, vertical lines that cross the edge three
        // times (tab, hollow, tab again), over at least 2% of the edge each: the head overhangs
        // the neck, so the pieces cannot be pulled apart straight.
        double overhang_left = 0, overhang_right = 0;
        for (int k = 1; k < 1000; k++) {
            double x = k / 1000.0;
            if (crossings_at(line, x) >= 3) (x < top_x ? overhang_left : overhang_right) += 0.001;
        }
        EXPECT_GE(overhang_left, 0.02) << name << ": no overhang before the top";
        EXPECT_GE(overhang_right, 0.02) << name << ": no overhang after the top";
        for (size_t a = 0; a + 1 < line.size(); a++)
            for (size_t b = a + 2; b + 1 < line.size(); b++)
                ASSERT_FALSE(segments_cross(line[a], line[a + 1], line[b], line[b + 1]))
                    << name << " crosses itself";
    }
    curves_free();
}

TEST_F(GamePack, connect_sound_is_a_short_soft_pcm_click) {
    const int index = dp_get_index("connect.wav", 1);
    uint8_t* block = (uint8_t*)dp_load(index);
    const Bytes wav(block, block + dp_size(index));
    io_mem_free(block);
    ASSERT_GE(wav.size(), 44u);
    auto text = [&](int at, int n) { return std::string(wav.begin() + at, wav.begin() + at + n); };
    EXPECT_EQ(text(0, 4) + text(8, 8) + text(36, 4), "RIFFWAVEfmt data");
    EXPECT_EQ((size_t)i32(wav, 4), wav.size() - 8);
    // A format chunk of 16 bytes: PCM, mono, 2 bytes a frame of 16 bits.
    const int rate = i32(wav, 24);
    EXPECT_EQ((std::vector<int>{i32(wav, 16), i32(wav, 20), i32(wav, 28), i32(wav, 32)}),
              (std::vector<int>{16, 0x10001, rate * 2, 0x100002}));
    ASSERT_EQ((size_t)i32(wav, 40), wav.size() - 44);
    size_t count = (wav.size() - 44) / 2;
    double seconds = (double)count / rate;
    EXPECT_TRUE(seconds >= 0.04 && seconds <= 0.25) << seconds;
    int peak = 0;
    std::vector<int> s(count);
    for (size_t i = 0; i < count; i++) {
        s[i] = (int16_t)(wav[44 + 2 * i] | wav[45 + 2 * i] << 8);
        peak = std::max(peak, std::abs(s[i]));
    }
    EXPECT_TRUE(peak > 32767 / 8 && peak < 32767 * 6 / 10) << peak;     // audible, but well below full scale
    EXPECT_LT(std::max(std::abs(s.front()), std::abs(s.back())), 200);  // no step at the start or the end
}

// The shipped lists (comments, blank lines) are parsed and encoded by the pack's build above.
TEST(CurveLists, each_broken_rule_names_its_file_and_line_and_lists_must_mirror) {
    const std::string tab = "0 0\n100 50\n200 50\n300 0\n",
                      asymmetric = "the curve is not symmetric about the middle of the edge: ";
    std::string many;
    for (int i = 0; i < 130; i++)
        many += std::to_string(i) + " 0\n";
    const struct {
        std::string text;
        int index;
        std::string message;  // empty: the list is accepted
    } cases[] = {
        {tab, 1, ""},
        {"0 0\n100 50\n200 50\n300 0\n400 0\n", 1,
         "c.txt:5: 5 points: a chain of cubic segments holds 3k + 1"},
        {"0 0\n", 1, "c.txt:1: 1 points"},
        {many, 0, "c.txt:130: 130 points: a curve holds at most 128"},
        {"0 0\n100 50\n200 50\n300 1\n", 1,
         "c.txt:4: the last point (y 1) must end on the first point's line"},
        {"0 0\n100 50\nx 50\n300 0\n", 1, "c.txt:3: expected a point"},
        {"0 0\n100 50 7\n200 50\n300 0\n", 1, "c.txt:2: expected a point"},
        {"0 0\n100 5000000\n200 50\n300 0\n", 1, "c.txt:2: a coordinate lies beyond"},
        {"300 0\n200 50\n100 50\n0 0\n", 1, "c.txt:4: the curve must run left to right"},
        {tab, 0, "c.txt:4: curve 0 is the straight border edge"},
        // A head leaning forward: the second control point should be 300 - 100 = 200. The
        // comment and blank line shift the lines away from the point numbers.
        {"# lean\n0 0\n\n100 50\n220 60\n300 0\n", 1,
         "c.txt:5: " + asymmetric + "this point should be (200 50), the mirror of line 4's (100 50)"},
        // Heights must match too; the first pair that differs is named, the end pair being sound.
        {"0 0\n100 50\n200 40\n300 0\n", 1, "c.txt:3: " + asymmetric + "this point should be (200 50)"},
        // 7 points: the middle point stands alone and must sit on the middle, 500.5 here.
        {"0 0\n100 0\n150 60\n510 80\n851 60\n901 0\n1001 0\n", 1,
         "c.txt:4: " + asymmetric + "the middle point must stand at x 500.5"},
        // Slack of 1/500 of the edge: 2 units of 1000 pass, 3 do not.
        {"0 0\n300 200\n702 198\n1000 0\n", 1, ""},
        {"0 0\n300 200\n700 197\n1000 0\n", 1, "c.txt:3: " + asymmetric},
        // The mirror line is the middle of the list's own span, wherever it starts.
        {"100 10\n200 60\n300 60\n400 10\n", 1, ""},
        {"100 10\n150 60\n300 60\n400 10\n", 1, "c.txt:3: " + asymmetric + "this point should be (350 60)"}};
    for (const auto& c : cases) {
        std::vector<CurveFilePoint> points;
        testing::internal::CaptureStderr();
        const bool ok = curves_parse("c.txt", c.text, c.index, &points);
        const std::string report = testing::internal::GetCapturedStderr();
        EXPECT_EQ(ok, c.message.empty()) << c.text << report;
        if (c.message.empty()) continue;
        EXPECT_NE(report.find("mkpack: " + c.message), std::string::npos) << report;
        const bool one_message =
            c.message.find(asymmetric) == std::string::npos || report.find('\n') == report.size() - 1;
        EXPECT_TRUE(one_message) << "one message for one list: " << report;
    }
}
