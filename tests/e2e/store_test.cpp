// tests/e2e/store_test.cpp -- the store room in the headless game: the shelf and its arrangement,
// playing from the shelf, the box tools, and box files from a second copy or the command line.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <string>
#include <vector>

#include "e2e/store_game.h"
#include "image/pic.h"

namespace {

using namespace e2e;

constexpr const char* SAMPLES[] = {"Sunset Lake",   "Tulip Fields",     "Rose Window", "Harbour Night",
                                   "Autumn Forest", "Balloon Festival", "Coral Reef",  "Mandala"};

TEST(store, the_shelf_shows_every_sample_and_keeps_its_arrangement) {
    std::vector<std::string> all(std::begin(SAMPLES), std::end(SAMPLES));
    StoreGame g(all);
    ASSERT_EQ(g.play("2 snap shelf.png\n+1 quit\n"), 0) << g.file("stderr.txt");
    auto first = g.shelf();
    ASSERT_EQ(first.size(), all.size());
    for (const std::string& name : all) {
        ASSERT_TRUE(first.count(name)) << name;
        const Place p = first[name];
        EXPECT_TRUE(p.x >= 0 && p.y >= 0 && p.x + 80 <= 1024 && p.y + 80 <= 768) << name;
        EXPECT_TRUE(g.has("sfiles/temp/" + name + ".prw")) << name;
    }

    // Two boxes selected (a click, then a Ctrl-click) are dragged together; a third stays.
    StoreGame h({all[0], all[1], all[2]});
    h.arrange({{all[0], slot(0)}, {all[1], slot(1)}, {all[2], slot(2)}});
    const Place a = slot(0), b = slot(1), c = slot(2);
    ASSERT_EQ(h.play("2 click " + at(a.x + 20, a.y + 20) + " left\n+20 click " + at(b.x + 20, b.y + 20) +
                     " left ctrl\n+20 drag " + at(b.x + 30, b.y + 30) + " " +
                     at(b.x + 30 - 200, b.y + 30 + 150) + " 10\n+20 snap dragged.png\n+1 quit\n"),
              0);
    auto dragged = h.shelf();
    EXPECT_EQ(dragged[all[0]], (Place{a.x - 200, a.y + 150}));
    EXPECT_EQ(dragged[all[1]], (Place{b.x - 200, b.y + 150}));
    EXPECT_EQ(dragged[all[2]], c);
    // The next run finds them where they were left.
    ASSERT_EQ(h.play("2 quit\n"), 0);
    auto again = h.shelf();
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(again[all[i]], dragged[all[i]]) << all[i];
}

// The tools window's buttons (its default place): first row, then second row.
const std::string RENAME = at(357, 104), RESET = at(582, 80), PLAY = at(76, 80);

TEST(store, a_double_click_plays_the_box_and_the_shelf_shows_its_progress_then_its_finish) {
    StoreGame g({"Sunset Lake"});
    g.arrange({{"Sunset Lake", slot(0)}});
    const std::string box = at(slot(0).x + 40, slot(0).y + 40);
    // A few moves, back to the shelf: the wedge.
    ASSERT_EQ(g.play("2 click " + box + " left\n+3 click " + box +
                     " left\n+5 autosolve 6 4\n+5 key escape\n+5 snap wedge.png\n+1 quit\n"),
              0)
        << g.file("stderr.txt");
    const int part = percent(g, "Sunset Lake");
    EXPECT_GT(part, 0);
    EXPECT_LT(part, 100);
    // The play button with the box selected, the rest of the puzzle, back: the finished badge.
    ASSERT_EQ(g.play("2 click " + box + " left\n+20 click " + PLAY +
                     " left\n+5 autosolve\n+30 key enter\n+5 key escape\n+5 snap finished.png\n+1 quit\n"),
              0)
        << g.file("stderr.txt");
    EXPECT_EQ(percent(g, "Sunset Lake"), 100);
    EXPECT_NE(g.file("stderr.txt").find("autosolve: finished"), std::string::npos);
    // Opened from the command line, the finished box asks before it starts again; Enter resets it.
    ASSERT_EQ(g.play("5 snap again.png\n+1 key enter\n+5 quit\n", {"puzzles/Sunset Lake.pzl"}), 0);
    EXPECT_EQ(percent(g, "Sunset Lake"), 0);
}

TEST(store, rename_reset_and_delete_ask_and_act_on_the_files) {
    StoreGame g({"Sunset Lake", "Tulip Fields"});
    g.arrange({{"Sunset Lake", slot(0)}, {"Tulip Fields", slot(1)}});
    const std::string lake = at(slot(0).x + 40, slot(0).y + 40), tulips = at(slot(1).x + 40, slot(1).y + 40);
    // A game of the lake to have every file of a box.
    ASSERT_EQ(g.play("2 click " + lake + " left\n+3 click " + lake +
                     " left\n+5 autosolve 6 2\n+5 key escape\n+5 quit\n"),
              0);
    ASSERT_GT(percent(g, "Sunset Lake"), 0);

    // Rename: the old name is proposed; Ctrl-A and a new one.
    ASSERT_EQ(g.play("2 click " + lake + " left\n+20 click " + RENAME +
                     " left\n+5 snap rename.png\n+1 key a ctrl\n+1 type Lakeside\n+1 key enter\n+5 quit\n"),
              0);
    for (const char* file : {"puzzles/Lakeside.pzl", "sfiles/qs/Lakeside.qsv", "sfiles/temp/Lakeside.prw",
                             "sfiles/temp/Lakeside.tmp"})
        EXPECT_TRUE(g.has(file)) << file;
    EXPECT_FALSE(g.has("puzzles/Sunset Lake.pzl"));
    EXPECT_EQ(g.shelf().count("Lakeside"), 1u);

    // Reset asks first: Escape keeps the game, Enter takes it away.
    ASSERT_EQ(g.play("2 click " + lake + " left\n+20 click " + RESET + " left\n+5 key escape\n+5 click " +
                     RESET + " left\n+5 snap reset.png\n+1 key enter\n+5 quit\n"),
              0);
    EXPECT_FALSE(g.has("sfiles/qs/Lakeside.qsv"));
    EXPECT_TRUE(g.has("puzzles/Lakeside.pzl"));

    // Delete with two boxes selected asks about several boxes; every file of both goes.
    ASSERT_EQ(g.play("2 click " + lake + " left\n+20 click " + tulips +
                     " left ctrl\n+5 key delete\n+5 snap delete.png\n+1 key enter\n+5 quit\n"),
              0);
    for (const char* file : {"puzzles/Lakeside.pzl", "sfiles/temp/Lakeside.prw", "sfiles/temp/Lakeside.tmp",
                             "puzzles/Tulip Fields.pzl", "sfiles/temp/Tulip Fields.prw"})
        EXPECT_FALSE(g.has(file)) << file;
    EXPECT_TRUE(g.shelf().empty());
}

TEST(store, box_files_from_elsewhere_reach_the_shelf_from_a_second_copy_or_the_command_line) {
    StoreGame g({});
    std::system(("mkdir -p '" + g.dir + "/elsewhere' && cp '" LUMAVEX_GAME_DIR "/puzzles/Sunset Lake.pzl' '" +
                 g.dir + "/elsewhere/Trip.pzl'")
                    .c_str());
    g.write("elsewhere/Junk.pzl", "not a box at all");
    g.start({"--headless", "--window", "1024x768", "-debug", "1"});
    ASSERT_TRUE(g.wait_for_file("lumavex/KVLUMAVEXCLASS"));
    ASSERT_TRUE(g.wait_for_file("sfiles/qs"));

    // The second copy hands the file to the first and ends; the first copies it in and starts it.
    StoreGame second({});
    second.start({"--headless", g.dir + "/elsewhere/Trip.pzl"}, g.dir);
    EXPECT_EQ(second.wait(), 0);
    ASSERT_TRUE(poll([&] { return g.has("puzzles/Trip.pzl"); }, 10));
    kill(g.pid, SIGTERM);
    ASSERT_EQ(g.wait(), 0);
    EXPECT_TRUE(g.has("sfiles/qs/Trip.qsv")) << "the game was started and saved";
    EXPECT_EQ(g.shelf().count("Trip"), 1u);

    // A file that is no box is refused with the message, and its copy does not stay behind.
    ASSERT_EQ(g.play("5 snap junk.png\n+1 key enter\n+5 quit\n", {"elsewhere/Junk.pzl", "-debug", "1"}), 0);
    EXPECT_NE(g.file("application.log").find("kernel: cannot open the box elsewhere/Junk.pzl"),
              std::string::npos);
    EXPECT_FALSE(g.has("puzzles/Junk.pzl"));
    EXPECT_EQ(g.shelf().size(), 1u);
}

// The text of one section of the configuration file, its header line included.
std::string section_text(const std::string& ini, const std::string& name) {
    const size_t at = ini.find("[" + name + "]\n");
    if (at == std::string::npos) return "";
    const size_t end = ini.find("\n[", at);
    return ini.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
}

TEST(store, another_puzzles_folder_never_touches_the_players_arrangement) {
    StoreGame g({"Sunset Lake", "Tulip Fields"});
    g.arrange({{"Sunset Lake", slot(0)}, {"Tulip Fields", slot(1)}});
    std::system(("mkdir -p '" + g.dir + "/elsewhere' && cp '" LUMAVEX_GAME_DIR "/puzzles/Mandala.pzl' '" +
                 g.dir + "/elsewhere/'")
                    .c_str());
    ASSERT_EQ(g.play("2 quit\n"), 0);
    const std::string names = section_text(g.file(CONFIG_INI), "BOXNAMES");
    const std::string places = section_text(g.file(CONFIG_INI), "BOXPOSS");
    ASSERT_NE(names.find("1=Tulip Fields\n"), std::string::npos) << names;

    // The other folder's box is dragged about; its arrangement goes to sections of its own.
    const std::string mandala = at(slot(2).x + 40, slot(2).y + 40);
    std::string ini = g.file(CONFIG_INI);
    g.write(CONFIG_INI, ini + "[BOXNAMES elsewhere]\n0=Mandala\n[BOXPOSS elsewhere]\n0=" +
                            std::to_string(slot(2).x) + " " + std::to_string(slot(2).y) + "\n");
    ASSERT_EQ(g.play("2 click " + mandala + " left\n+20 drag " + mandala + " " +
                         at(slot(2).x + 10, slot(2).y + 60) + " 10\n+15 quit\n",
                     {"-path", "elsewhere"}),
              0)
        << g.file("stderr.txt");
    ini = g.file(CONFIG_INI);
    EXPECT_EQ(section_text(ini, "BOXNAMES elsewhere"), "[BOXNAMES elsewhere]\n0=Mandala\n");
    EXPECT_EQ(section_text(ini, "BOXPOSS elsewhere"),
              "[BOXPOSS elsewhere]\n0=" + std::to_string(slot(2).x - 30) + " " +
                  std::to_string(slot(2).y + 20) + "\n");
    EXPECT_EQ(section_text(ini, "BOXNAMES"), names);
    EXPECT_EQ(section_text(ini, "BOXPOSS"), places);

    // Back without -path: the player's shelf as it was, byte for byte.
    ASSERT_EQ(g.play("2 quit\n"), 0);
    EXPECT_EQ(section_text(g.file(CONFIG_INI), "BOXNAMES"), names);
    EXPECT_EQ(section_text(g.file(CONFIG_INI), "BOXPOSS"), places);
}

TEST(store, no_box_lies_under_a_panel_and_the_room_says_what_to_do) {
    // At 1280 x 800 the saved places put one box under the box tools and one under the menu.
    StoreGame g({"Sunset Lake", "Tulip Fields", "Rose Window"});
    g.arrange({{"Sunset Lake", {400, 60}}, {"Tulip Fields", {30, 120}}, {"Rose Window", {700, 400}}});
    g.write(CONFIG_INI, g.file(CONFIG_INI) + "");
    std::string ini = g.file(CONFIG_INI);
    ini.replace(ini.find("OldScreenSize=1024 768"), 22, "OldScreenSize=1280 800");
    g.write(CONFIG_INI, ini);
    g.write("script.txt",
            "5 move 1270 790\n+2 snap first.png\n+1 move 740 440\n+3 snap hover.png\n+1 quit\n");
    g.start({"--headless", "--window", "1280x800", "--script", "script.txt"});
    ASSERT_EQ(g.wait(120), 0) << g.file("stderr.txt");
    auto shelf = g.shelf();
    // The tools window at (320, 50), 344 x 66; the menu at (20, 50), 116 x 162; room for shadows.
    const Place lake = shelf["Sunset Lake"], tulips = shelf["Tulip Fields"];
    EXPECT_TRUE(lake.x + 80 + 8 <= 320 || lake.x - 15 >= 320 + 344 + 6 || lake.y - 15 >= 50 + 66 + 6)
        << lake.x << " " << lake.y;
    EXPECT_TRUE(tulips.x - 15 >= 20 + 116 + 6 || tulips.y - 15 >= 50 + 162 + 6)
        << tulips.x << " " << tulips.y;
    EXPECT_EQ(shelf["Rose Window"], (Place{700, 400})) << "a box in the open stays where it was";

    // The first frame tells what to do; the box under the pointer gets its name beside it.
    PictureBuffer* first = nullptr;
    PictureBuffer* hover = nullptr;
    ASSERT_TRUE(pic_import((g.dir + "/first.png").c_str()));
    first = pic_take();
    ASSERT_TRUE(pic_import((g.dir + "/hover.png").c_str()));
    hover = pic_take();
    auto differs = [&](int x0, int y0, int w, int h) {
        int n = 0;
        for (int y = y0; y < y0 + h; y++)
            n += std::memcmp(first->pixels + y * first->pitch + 3 * x0,
                             hover->pixels + y * hover->pitch + 3 * x0, (size_t)w * 3) != 0;
        return n;
    };
    EXPECT_GT(differs(700 + 80 + 8, 400, 60, 24), 10) << "the label beside the hovered box";
    EXPECT_EQ(differs(20, 420, 200, 60), 0) << "nothing else changes";
    pic_release(first);
    pic_release(hover);
}

}  // namespace
