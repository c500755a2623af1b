// tests/e2e/create_test.cpp -- the create room in the headless game: a new box made and played,
// an existing box saved again in its place, unusable pictures refused, cancel leaving nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/store_game.h"
#include "image/pic_samples.h"
#include "puzzle/box_samples.h"

namespace {

using namespace e2e;

// The store room's buttons and the create room's controls at their default places (1024 x 768).
const std::string NEW_BOX = at(78, 104), EDIT = at(357, 80), PLAY = at(76, 80);
const std::string IMPORT = at(110, 80), SIZE_LEFT = at(36, 132);
const std::string PIECE_MORE = at(414, 108), IRREGULAR_MORE = at(414, 140), ROTATION = at(530, 81);
const std::string EDGE_STYLE_3 = at(385, 192), SAVE = at(915, 740), CANCEL = at(949, 740);

const std::string PICTURE = std::string(LUMAVEX_GAME_DIR) + "/../samples/coral-reef.bmp";

// Clicks the import button and picks `path` in the chooser.
std::string import(const std::string& path) {
    return "+5 click " + IMPORT + " left\n+3 type " + path + "\n+1 key enter\n+10 snap imported.png\n";
}

std::vector<std::string> files(StoreGame& g, const std::string& folder) {
    return box_samples::GameFolder::files_in((g.dir + "/" + folder).c_str());
}

// Writes a picture file into the game's folder; its full path.
std::string write(StoreGame& g, const std::string& name, const Bytes& bytes) {
    g.write(name, std::string(bytes.begin(), bytes.end()));
    return g.dir + "/" + name;
}

}  // namespace

TEST(create, a_new_box_from_a_chosen_picture_lands_on_the_shelf_and_plays_to_the_end) {
    StoreGame g({"Sunset Lake"});
    g.arrange({{"Sunset Lake", slot(0)}});
    // An 800 x 500 PNG with an alpha channel: colour bands fading out towards the bottom.
    pic_samples::PngSpec png{.width = 800, .height = 500, .colour_type = PNG_COLOR_TYPE_RGBA};
    for (int i = 0; i < 800 * 500; i++)
        for (int v : {i % 800 * 255 / 800, (i % 800 / 100 % 2) * 200, i / 800 * 255 / 500, 255 - i / 800 / 4})
            png.rows.push_back((uint8_t)v);
    const std::string script =
        "2 click " + NEW_BOX + " left\n+5 snap empty.png\n" +
        import(write(g, "bands.png", pic_samples::encode_png(png))) + "+1 click " + PIECE_MORE +
        " left\n+3 click " + IRREGULAR_MORE + " left\n+3 click " + EDGE_STYLE_3 + " left\n+3 click " +
        ROTATION + " left\n+3 snap settings.png\n" + "+1 click " + SAVE +
        " left\n+5 key a ctrl\n+1 type Reef\n+1 key enter\n" + "+10 snap shelf.png\n+1 click " + PLAY +
        " left\n+5 autosolve\n+30 key enter\n" + "+5 key escape\n+5 snap finished.png\n+1 quit\n";
    ASSERT_EQ(g.play(script), 0) << g.file("stderr.txt");
    BoxRecord r;
    ASSERT_TRUE(g.record("Reef", &r)) << g.file("stderr.txt");
    // The picture fits the 1004 x 688 picture area as it is; one step up from piece size 32.
    EXPECT_EQ((std::vector<int>{r.width, r.height, r.pieceSize, r.pieceCount, r.irregularity, r.edgeStyle,
                                r.rotation, r.hiddenPicture}),
              (std::vector<int>{800, 500, 33, (800 / 33) * (500 / 33), 1, 3, 1, 0}));
    EXPECT_EQ(percent(g, "Reef"), 100) << "the play button took the newly selected box";
    EXPECT_EQ(g.shelf().size(), 2u);
}

TEST(create, an_edited_box_is_saved_again_in_its_place_and_a_cancelled_new_box_leaves_nothing) {
    StoreGame g({"Sunset Lake", "Tulip Fields"});
    g.arrange({{"Sunset Lake", slot(0)}, {"Tulip Fields", slot(1)}});
    BoxRecord r0, r;
    ASSERT_TRUE(g.record("Tulip Fields", &r0));
    const std::string box = at(slot(1).x + 40, slot(1).y + 40);
    // A few moves first, so the box has progress to lose.
    ASSERT_EQ(g.play("2 click " + box + " left\n+3 click " + box +
                     " left\n+5 autosolve 6 2\n+5 key escape\n+5 quit\n"),
              0);
    ASSERT_GT(percent(g, "Tulip Fields"), 0);

    // A 39 x 40 BMP is below the 40 x 40 a puzzle needs (24-bit rows of 120 bytes).
    const Bytes tiny = pic_samples::BmpSpec{.width = 39, .height = 40, .data = Bytes(120 * 40)}.build();
    ASSERT_EQ(g.play("2 click " + box + " left\n+20 click " + EDIT + " left\n+5 snap edit.png\n+1 click " +
                         PIECE_MORE + " left\n+3 click " + PIECE_MORE + " left\n+3 click " + SAVE +
                         " left\n+10 snap saved.png\n+1 click " + NEW_BOX + " left\n" +
                         import(write(g, "junk.png", text_bytes("this is no picture"))) +
                         "+1 snap refused.png\n+1 key enter\n" + import(write(g, "tiny.bmp", tiny)) +
                         "+1 snap small.png\n+1 key enter\n" + import(PICTURE) + "+1 click " + SIZE_LEFT +
                         " left\n+3 click " + CANCEL + " left\n+10 snap back.png\n+1 quit\n",
                     {"-debug", "2"}),
              0)
        << g.file("stderr.txt");
    ASSERT_TRUE(g.record("Tulip Fields", &r));
    EXPECT_EQ((std::vector<int>{r.pieceSize, r.width, r.height}),
              (std::vector<int>{r0.pieceSize + 2, r0.width, r0.height}));
    EXPECT_EQ(percent(g, "Tulip Fields"), -1) << "the progress went with the old box";
    EXPECT_EQ(g.shelf()["Tulip Fields"], slot(1));
    const std::string log = g.file("stderr.txt");
    EXPECT_NE(log.find("create: " + g.dir + "/junk.png: "), std::string::npos) << log;
    EXPECT_NE(log.find("tiny.bmp is only 39 x 40,"), std::string::npos) << log;
    EXPECT_EQ(files(g, "puzzles"), (std::vector<std::string>{"Sunset Lake.pzl", "Tulip Fields.pzl"}));
    EXPECT_EQ(files(g, "sfiles/temp"), (std::vector<std::string>{"Sunset Lake.prw", "Tulip Fields.prw"}));
    for (const char* work :
         {"sfiles/bimage.tmp", "sfiles/bdesc.tmp", "sfiles/baddress.tmp", "sfiles/bmidi.mid"})
        EXPECT_FALSE(g.has(work)) << work;
}
