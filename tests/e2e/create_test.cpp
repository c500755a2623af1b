// tests/e2e/create_test.cpp -- the create room in the headless game: a new box from a picture
// chosen in the file chooser, with its settings changed, saved under a name and played to the
// end; an existing box's settings changed and saved again in its place; pictures that cannot be
// used refused, and cancel leaving nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/store_game.h"
#include "image/pic_samples.h"
#include "puzzle/box.h"

namespace {

using e2e::at;
using e2e::percent;
using e2e::slot;
using e2e::StoreGame;

// The store room's buttons and the create room's controls at their default places (1024 x 768).
const std::string NEW_BOX = at(78, 104), EDIT = at(357, 80), PLAY = at(76, 80);
const std::string IMPORT = at(110, 80), SIZE_LEFT = at(36, 132);
const std::string PIECE_MORE = at(414, 108), IRREGULAR_MORE = at(414, 140), ROTATION = at(530, 81);
const std::string SAVE = at(915, 740), CANCEL = at(949, 740);
std::string edge_style(int k) { return at(295 + 90 * (k % 2), 168 + 24 * (k / 2)); }

const std::string PICTURE = std::string(LUMAVEX_GAME_DIR) + "/../samples/coral-reef.bmp";

// Clicks the import button and picks `path` in the chooser.
std::string import(const std::string& path) {
    return "+5 click " + IMPORT + " left\n+3 type " + path + "\n+1 key enter\n+10 snap imported.png\n";
}

struct Box {
    bool ok;
    FileStamp stamp;
    BoxRecord record;
};

Box read_box(StoreGame& g, const char* name) {
    Box b{};
    box_set_folder((g.dir + "/puzzles").c_str());
    b.ok = box_read(name, &b.stamp, &b.record, 0) == 1;
    box_set_folder(nullptr);
    return b;
}

std::vector<std::string> files(StoreGame& g, const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(g.dir + "/" + folder))
        if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// An 800 x 500 PNG with an alpha channel: colour bands fading out towards the bottom.
std::string write_png(StoreGame& g, const std::string& name) {
    pic_samples::PngSpec spec;
    spec.width = 800, spec.height = 500, spec.colour_type = PNG_COLOR_TYPE_RGBA;
    for (int y = 0; y < spec.height; y++)
        for (int x = 0; x < spec.width; x++)
            for (int v : {x * 255 / 800, (x / 100 % 2) * 200, y * 255 / 500, 255 - y / 4})
                spec.rows.push_back((uint8_t)v);
    const Bytes png = pic_samples::encode_png(spec);
    g.write(name, std::string(png.begin(), png.end()));
    return g.dir + "/" + name;
}

}  // namespace

TEST(create, a_new_box_from_a_chosen_picture_lands_on_the_shelf_and_plays_to_the_end) {
    StoreGame g({"Sunset Lake"});
    g.arrange({{"Sunset Lake", slot(0)}});
    const std::string script =
        "2 click " + NEW_BOX + " left\n+5 snap empty.png\n" + import(write_png(g, "bands.png")) +
        "+1 click " + PIECE_MORE + " left\n+3 click " + IRREGULAR_MORE + " left\n+3 click " + edge_style(3) +
        " left\n+3 click " + ROTATION + " left\n+3 snap settings.png\n" + "+1 click " + SAVE +
        " left\n+5 key a ctrl\n+1 type Reef\n+1 key enter\n" + "+10 snap shelf.png\n+1 click " + PLAY +
        " left\n+5 autosolve\n+30 key enter\n" + "+5 key escape\n+5 snap finished.png\n+1 quit\n";
    ASSERT_EQ(g.play(script), 0) << g.file("stderr.txt");
    const Box b = read_box(g, "Reef");
    ASSERT_TRUE(b.ok) << g.file("stderr.txt");
    // The picture fits the 1004 x 688 picture area as it is; one step up from piece size 32.
    EXPECT_EQ(b.record.width * 10000 + b.record.height, 8000500);
    EXPECT_EQ(b.record.pieceSize, 33);
    EXPECT_EQ(b.record.pieceCount, (800 / 33) * (500 / 33));
    EXPECT_EQ(b.record.irregularity, 1);
    EXPECT_EQ(b.record.edgeStyle, 3);
    EXPECT_EQ(b.record.rotation * 10 + b.record.hiddenPicture, 10);
    EXPECT_EQ(percent(g, "Reef"), 100) << "the play button took the newly selected box";
    EXPECT_EQ(g.shelf().size(), 2u);
}

TEST(create, an_edited_box_is_saved_again_in_its_place_and_starts_anew) {
    StoreGame g({"Sunset Lake", "Tulip Fields"});
    g.arrange({{"Sunset Lake", slot(0)}, {"Tulip Fields", slot(1)}});
    const Box before = read_box(g, "Tulip Fields");
    ASSERT_TRUE(before.ok);
    const std::string box = at(slot(1).x + 40, slot(1).y + 40);
    // A few moves first, so the box has progress to lose.
    ASSERT_EQ(g.play("2 click " + box + " left\n+3 click " + box +
                     " left\n+5 autosolve 6 2\n+5 key escape\n+5 quit\n"),
              0);
    ASSERT_GT(percent(g, "Tulip Fields"), 0);

    ASSERT_EQ(g.play("2 click " + box + " left\n+20 click " + EDIT + " left\n+5 snap edit.png\n+1 click " +
                     PIECE_MORE + " left\n+3 click " + PIECE_MORE + " left\n+3 click " + SAVE +
                     " left\n+10 snap saved.png\n+1 quit\n"),
              0)
        << g.file("stderr.txt");
    const Box after = read_box(g, "Tulip Fields");
    ASSERT_TRUE(after.ok);
    EXPECT_EQ(after.record.pieceSize, before.record.pieceSize + 2);
    EXPECT_EQ(after.record.width * 10000 + after.record.height,
              before.record.width * 10000 + before.record.height);
    EXPECT_NE(std::memcmp(&after.stamp, &before.stamp, sizeof after.stamp), 0);
    EXPECT_EQ(percent(g, "Tulip Fields"), -1) << "the progress went with the old box";
    EXPECT_EQ(g.shelf()["Tulip Fields"], slot(1));
    EXPECT_EQ(files(g, "puzzles"), (std::vector<std::string>{"Sunset Lake.pzl", "Tulip Fields.pzl"}));
}

TEST(create, pictures_it_cannot_use_are_refused_and_cancel_leaves_nothing_behind) {
    StoreGame g({"Sunset Lake"});
    g.arrange({{"Sunset Lake", slot(0)}});
    g.write("junk.png", "this is no picture");
    {
        // A 39 x 40 BMP, below the 40 x 40 a puzzle needs: 24-bit, rows of 120 bytes.
        std::string bmp(54 + 120 * 40, '\0');
        auto put = [&](size_t at_, uint32_t v) { std::memcpy(&bmp[at_], &v, 4); };
        bmp[0] = 'B', bmp[1] = 'M';
        put(2, (uint32_t)bmp.size()), put(10, 54), put(14, 40), put(18, 39), put(22, 40);
        bmp[26] = 1, bmp[28] = 24;
        g.write("tiny.bmp", bmp);
    }
    ASSERT_EQ(g.play("2 click " + NEW_BOX + " left\n" + import(g.dir + "/junk.png") +
                         "+1 snap refused.png\n+1 key enter\n" + import(g.dir + "/tiny.bmp") +
                         "+1 snap small.png\n+1 key enter\n" + import(PICTURE) + "+1 click " + SIZE_LEFT +
                         " left\n+3 click " + CANCEL + " left\n+10 snap back.png\n+1 quit\n",
                     {"-debug", "2"}),
              0)
        << g.file("stderr.txt");
    const std::string log = g.file("stderr.txt");
    EXPECT_NE(log.find("create: " + g.dir + "/junk.png: "), std::string::npos) << log;
    EXPECT_NE(log.find("tiny.bmp is only 39 x 40,"), std::string::npos) << log;
    EXPECT_EQ(files(g, "puzzles"), (std::vector<std::string>{"Sunset Lake.pzl"}));
    EXPECT_EQ(files(g, "sfiles/temp"), (std::vector<std::string>{"Sunset Lake.prw"}));
    for (const char* work :
         {"sfiles/bimage.tmp", "sfiles/bdesc.tmp", "sfiles/baddress.tmp", "sfiles/bmidi.mid"})
        EXPECT_FALSE(g.has(work)) << work;
}
