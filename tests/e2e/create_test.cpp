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
const std::string IMPORT = at(110, 80), SIZE_LEFT = at(36, 132), LARGEST = at(120, 176);
// The pieces slider's arrows: one distinct piece count a click, larger pieces to the right.
const std::string PIECE_LESS = at(266, 108), PIECE_MORE = at(474, 108), IRREGULAR_MORE = at(474, 156);
const std::string FIT = at(370, 184), ROTATION = at(530, 81);
const std::string EDGE_STYLE_3 = at(430, 232), SAVE = at(915, 740), CANCEL = at(949, 740);

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
    // The picture fits the 1004 x 688 picture area as it is. It starts at 40-pixel pieces (20 x 12);
    // one step up is the next count, 19 x 12 at 41 pixels.
    EXPECT_EQ((std::vector<int>{r.width, r.height, r.pieceSize, r.pieceCount, r.irregularity, r.edgeStyle,
                                r.rotation, r.hiddenPicture}),
              (std::vector<int>{800, 500, 41, 19 * 12, 1, 3, 1, 0}));
    EXPECT_EQ(percent(g, "Reef"), 100) << "the play button took the newly selected box";
    EXPECT_EQ(g.shelf().size(), 2u);
}

// A new box saved under a failing write, flush, sync, close or rename of its file: no box and no
// part of one is left in the puzzles folder, the player is told, and the shelf is as it was.
TEST(create, a_new_box_that_cannot_be_written_whole_leaves_no_part_of_a_box_and_is_told) {
    StoreGame g({"Sunset Lake"});
    g.arrange({{"Sunset Lake", slot(0)}});
    const std::string lake = g.file("puzzles/Sunset Lake.pzl");
    const std::string script =
        "2 click " + NEW_BOX + " left\n" + import(PICTURE) + "+1 click " + SAVE +
        " left\n+5 key a ctrl\n+1 type Reef\n+1 key enter\n+20 key enter\n+5 key escape\n" + "+10 quit\n";
    for (const char* call : {"write", "fwrite", "fflush", "fsync", "fclose", "rename"}) {
        g.faults(call, "puzzles/Reef.pzl", 1, "after", call == std::string("fsync") ? "EIO" : "ENOSPC");
        ASSERT_EQ(g.play(script, {"-debug", "2"}), 0) << call << g.file("stderr.txt");
        g.env.clear();
        EXPECT_EQ(files(g, "puzzles"), (std::vector<std::string>{"Sunset Lake.pzl"})) << "a failing " << call;
        EXPECT_EQ(g.file("puzzles/Sunset Lake.pzl"), lake);
        EXPECT_NE(g.file("stderr.txt").find("create: the box Reef could not be written"), std::string::npos)
            << "a failing " << call << " is told\n"
            << g.file("stderr.txt");
        EXPECT_EQ(g.shelf().size(), 1u);
    }
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
    // 960 x 640 at 64 pixels is 15 x 10; the next counts are 14 x 9 (at most 68 pixels) and
    // 13 x 9 (at most 71).
    EXPECT_EQ((std::vector<int>{r0.pieceSize, r.pieceSize, r.pieceCount, r.width, r.height}),
              (std::vector<int>{64, 71, 13 * 9, r0.width, r0.height}));
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

namespace {

// The counts the create room reported ("create: W x H, piece size S, N pieces"), in order.
std::vector<int> logged_counts(const std::string& log, std::vector<int>* sizes = nullptr) {
    std::vector<int> counts;
    for (size_t at = log.find("create: "); at != std::string::npos; at = log.find("create: ", at + 1)) {
        int w, h, size, count;
        if (std::sscanf(log.c_str() + at, "create: %d x %d, piece size %d, %d pieces", &w, &h, &size,
                        &count) != 4)
            continue;
        counts.push_back(count);
        if (sizes) sizes->push_back(size);
    }
    return counts;
}

std::string repeat(const std::string& line, int times) {
    std::string out;
    for (int i = 0; i < times; i++)
        out += line;
    return out;
}

}  // namespace

TEST(create, the_piece_count_walks_every_count_from_end_to_end_and_is_saved_as_shown) {
    StoreGame g({});
    // A 1600 x 1200 picture: 917 x 688 on this screen, which allows 59 distinct counts.
    Bytes rows;
    for (int y = 0; y < 1200; y++)
        for (int x = 0; x < 1600; x++)
            for (int v : {x * 255 / 1600, y * 255 / 1200, (x / 80 + y / 80) % 2 * 200})
                rows.push_back((uint8_t)v);
    const std::string path =
        write(g, "wide.bmp", pic_samples::BmpSpec{.width = 1600, .height = 1200, .data = rows}.build());
    const std::string script =
        "2 click " + NEW_BOX + " left\n" + import(path) + "+1 snap counts.png\n+2 key home\n" +
        repeat("+2 click " + PIECE_MORE + " left\n", 62) + "+2 snap fewest.png\n" +
        repeat("+2 click " + PIECE_LESS + " left\n", 62) + "+2 key end\n" +
        repeat("+2 click " + PIECE_LESS + " left\n", 14) + "+2 snap hundred.png\n+1 click " + SAVE +
        " left\n+5 key a ctrl\n+1 type Hundred\n+1 key enter\n+10 quit\n";
    ASSERT_EQ(g.play(script, {"-debug", "2"}), 0) << g.file("stderr.txt");
    std::vector<int> sizes;
    const std::vector<int> counts = logged_counts(g.file("stderr.txt"), &sizes);
    // The import's count (40-pixel pieces), Home, 58 steps right, 58 back, End, 14 steps left.
    ASSERT_EQ(counts.size(), 1u + 1 + 58 + 58 + 1 + 14) << g.file("stderr.txt");
    EXPECT_EQ((std::vector<int>{counts[0], sizes[0]}), (std::vector<int>{22 * 17, 40}));
    const auto most = counts.begin() + 1, fewest = most + 58, back = fewest + 58;
    EXPECT_EQ(*most, (917 / 10) * (688 / 10)) << "Home: the smallest pieces";
    EXPECT_EQ(*fewest, 2 * 2) << "the right end: the largest pieces";
    for (auto c = most; c < fewest; c++)
        EXPECT_GT(c[0], c[1]) << "every click right gives fewer pieces";
    for (auto c = fewest; c < back; c++)
        EXPECT_LT(c[0], c[1]) << "every click left gives more pieces";
    EXPECT_EQ(back[1], 4) << "End";
    // Fourteen counts up from the end: 6, 12, 15, 20, 24, 30, 35, 48, 54, 63, 70, 80, 88, 108.
    EXPECT_EQ(counts.back(), 108);
    BoxRecord r;
    ASSERT_TRUE(g.record("Hundred", &r)) << g.file("stderr.txt");
    EXPECT_EQ((std::vector<int>{r.width, r.height, r.pieceSize, r.pieceCount}),
              (std::vector<int>{917, 688, sizes.back(), 108}));
    EXPECT_EQ(r.pieceCount, (r.width / r.pieceSize) * (r.height / r.pieceSize));
}

TEST(create, the_margins_the_grid_leaves_out_are_dimmed_and_fitting_the_grid_removes_them) {
    StoreGame g({});
    // The reef fills 1004 x 669; its 40-pixel grid of 25 x 16 leaves 2 + 2 columns and 14 + 15 rows.
    ASSERT_EQ(g.play("2 click " + NEW_BOX + " left\n" + import(PICTURE) + "+1 snap margins.png\n+1 click " +
                         FIT + " left\n+3 snap fitted.png\n+1 click " + SAVE +
                         " left\n+5 key a ctrl\n+1 type Reef\n+1 key enter\n+10 quit\n",
                     {"-debug", "2"}),
              0)
        << g.file("stderr.txt");
    std::vector<int> sizes;
    const std::vector<int> counts = logged_counts(g.file("stderr.txt"), &sizes);
    ASSERT_GE(counts.size(), 2u);
    EXPECT_EQ((std::vector<int>{counts[0], sizes[0]}), (std::vector<int>{25 * 16, 40}));
    BoxRecord r;
    ASSERT_TRUE(g.record("Reef", &r)) << g.file("stderr.txt");
    EXPECT_EQ((std::vector<int>{r.width % r.pieceSize, r.height % r.pieceSize}), (std::vector<int>{0, 0}))
        << r.width << " x " << r.height << " at " << r.pieceSize;
    EXPECT_EQ(r.pieceCount, (r.width / r.pieceSize) * (r.height / r.pieceSize));
    // The nearest fit keeps close to the count and the size: within a fifth, and the proportions
    // within half a percent of the picture's.
    EXPECT_NEAR(r.pieceCount, 400, 80);
    EXPECT_NEAR((double)r.width / r.height, 1004.0 / 669, 1004.0 / 669 * 0.006);
}

TEST(create, a_picture_larger_than_the_screen_can_keep_its_own_size) {
    StoreGame g({});
    // The 3000 x 2000 town starts fitted to the screen (1004 x 669, 40-pixel pieces); "Largest
    // size" keeps it whole: a large puzzle of the same piece size, shown smaller with its grid.
    const std::string town = std::string(LUMAVEX_GAME_DIR) + "/../samples/market-town.bmp";
    ASSERT_EQ(g.play("2 click " + NEW_BOX + " left\n" + import(town) + "+1 click " + LARGEST +
                         " left\n+3 snap large.png\n+1 click " + SAVE +
                         " left\n+5 key a ctrl\n+1 type Town\n+1 key enter\n+10 quit\n",
                     {"-debug", "2"}),
              0)
        << g.file("stderr.txt");
    std::vector<int> sizes;
    const std::vector<int> counts = logged_counts(g.file("stderr.txt"), &sizes);
    ASSERT_GE(counts.size(), 2u);
    EXPECT_EQ((std::vector<int>{counts[0], sizes[0]}), (std::vector<int>{25 * 16, 40})) << "fitted at first";
    BoxRecord r;
    ASSERT_TRUE(g.record("Town", &r)) << g.file("stderr.txt");
    EXPECT_EQ((std::vector<int>{r.width, r.height, r.pieceSize, r.pieceCount}),
              (std::vector<int>{3000, 2000, 40, 75 * 50}));
}

TEST(create, the_chooser_offers_the_desktops_folders_and_thumbnails_of_pictures) {
    StoreGame g({});
    const std::string home = g.dir + "/home";
    // Desktop and pictures exist; the documents folder named is missing; downloads is not set;
    // the music folder is the home folder itself.
    g.write_bytes("home/.config/user-dirs.dirs",
                  "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Pictures\"\n"
                  "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\nXDG_MUSIC_DIR=\"$HOME/\"\n");
    std::system(("mkdir -p '" + home + "/Desktop' '" + home + "/Pictures/many'").c_str());
    const Bytes small =
        pic_samples::BmpSpec{.width = 64, .height = 48, .data = Bytes(64 * 3 * 48, 90)}.build();
    for (int i = 0; i < 500; i++) {
        char name[64];
        std::snprintf(name, sizeof name, "home/Pictures/many/p%03d.bmp", i);
        g.write_bytes(name, std::string(small.begin(), small.end()));
    }
    g.write_bytes("home/Pictures/many/p100.bmp", "not a picture");
    g.env = {{"HOME", home}, {"XDG_CONFIG_HOME", home + "/.config"}};
    // Find pictures opens the pictures folder; "many" is its first row (window at 192, 184).
    const std::string FIND = at(110, 104), MANY = at(360, 241), ROW = at(360, 259);
    ASSERT_EQ(
        g.play("2 click " + NEW_BOX + " left\n+5 click " + FIND + " left\n+5 snap places.png\n+1 click " +
                   MANY + " left\n+1 click " + MANY + " left\n+5 move " + ROW + "\n+5 snap thumbnail.png\n" +
                   repeat("+1 wheel " + ROW + " -3\n", 40) + "+5 snap scrolled.png\n+1 key escape\n+5 quit\n",
               {"-debug", "2"}),
        0)
        << g.file("stderr.txt");
    const std::string log = g.file("stderr.txt");
    const size_t places = log.find("chooser: places: ");
    ASSERT_NE(places, std::string::npos) << log;
    EXPECT_EQ(log.substr(places, log.find('\n', places) - places),
              "chooser: places: Home " + home + ", Desktop " + home + "/Desktop, Pictures " + home +
                  "/Pictures, Puzzles " + g.dir + "/puzzles");
    // One thumbnail a tick at most, for the rows under the pointer as the list scrolls by.
    int made = 0;
    for (size_t at = log.find(" made in "); at != std::string::npos; at = log.find(" made in ", at + 1))
        made++;
    EXPECT_GE(made, 20);
    EXPECT_NE(log.find("thumbnail of " + home + "/Pictures/many/p100.bmp refused"), std::string::npos) << log;
}
