// tests/e2e/gallery_test.cpp -- a finished sample box's picture carried from the store room into
// the gallery, hung, saved, and found on the same wall after a restart; cancel keeps the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/store_game.h"

namespace {

using namespace e2e;

// Store room: the Use tool, the Gallery button of the main panel. Gallery room (default places on
// 1024 x 768): the Take button of the holding window, Save and Cancel of the panel.
const std::string USE = at(507, 80), GALLERY = at(76, 151), TAKE = at(170, 554);
const std::string SAVE = at(914, 740), CANCEL = at(948, 740);

struct Hung {
    std::string name;
    int width, height;
};

// The slots of sfiles/gallery.dat that hold a picture: place -> name and picture size. An empty
// map for a file that is missing or not a gallery.
std::map<int, Hung> hung(StoreGame& g) {
    const std::string d = g.file("sfiles/gallery.dat");
    std::map<int, Hung> out;
    if (d.size() < 8 || d.compare(0, 4, "GALL") != 0) return out;
    size_t at = 8;
    for (int s = 0; s < 50 && at + 140 <= d.size(); s++) {
        uint32_t present;
        std::memcpy(&present, d.data() + at, 4);
        const std::string name = d.c_str() + at + 4;
        at += 140;
        if (!present) continue;
        int32_t head[9];
        if (at + sizeof head > d.size()) return {};
        std::memcpy(head, d.data() + at, sizeof head);
        out[s] = {name, head[1], head[2]};
        at += 36 + (size_t)head[5] * head[2];
    }
    return out;
}

// Sunset Lake alone on the shelf, finished, then Use -> the gallery (the first choice), hung with
// Space and saved. The game's exit code.
int hang_sunset_lake(StoreGame& g) {
    g.arrange({{"Sunset Lake", slot(0)}});
    const std::string box = at(slot(0).x + 40, slot(0).y + 40);
    return g.play("2 click " + box + " left\n+3 click " + box +
                  " left\n+5 autosolve\n+30 key enter\n+5 key escape\n+5 click " + box + " left\n+5 click " +
                  USE + " left\n+5 key enter\n+10 key space\n+5 click " + SAVE + " left\n+10 quit\n");
}

TEST(gallery, a_finished_picture_is_hung_saved_and_found_again_after_a_restart) {
    StoreGame g({"Sunset Lake"});
    ASSERT_EQ(hang_sunset_lake(g), 0) << g.file("stderr.txt");
    auto walls = hung(g);
    ASSERT_EQ(walls.size(), 1u) << g.file("stderr.txt");
    const int place = walls.begin()->first;
    EXPECT_EQ(walls[place].name, "Sunset Lake");
    EXPECT_EQ(walls[place].width, 248);  // fitted into 248 x 248, proportions kept
    EXPECT_LT(walls[place].height, 248);
    const std::string saved = g.file("sfiles/gallery.dat");

    // After a restart: taken and cancelled, the file stays as it was.
    ASSERT_EQ(g.play("2 click " + GALLERY + " left\n+10 click " + TAKE + " left\n+5 click " + CANCEL +
                     " left\n+5 quit\n"),
              0);
    EXPECT_EQ(g.file("sfiles/gallery.dat"), saved);
    // Take works only on a place that holds a picture: taken and saved while held (the question
    // answered yes), the wall is empty, so the picture was found where it hung.
    ASSERT_EQ(g.play("2 click " + GALLERY + " left\n+10 click " + TAKE + " left\n+5 click " + SAVE +
                     " left\n+5 key enter\n+5 quit\n"),
              0);
    EXPECT_TRUE(hung(g).empty());
    EXPECT_EQ(g.file("sfiles/gallery.dat").compare(0, 4, "GALL"), 0);
    EXPECT_EQ(g.file("sfiles/a.tmp"), "");
}

// Saving the gallery under every kind of failing call on its file and its temporary: the writer
// sees each failure, keeps the old gallery whole and says so.
TEST(gallery, a_save_that_fails_at_any_call_keeps_the_old_gallery_and_is_told) {
    StoreGame g({"Sunset Lake"});
    ASSERT_EQ(hang_sunset_lake(g), 0);
    const std::string hanging = g.file("sfiles/gallery.dat");
    ASSERT_EQ(hung(g).size(), 1u);
    // The picture taken down and the gallery saved, without a fault: the new file.
    const std::string take = "2 click " + GALLERY + " left\n+10 click " + TAKE + " left\n+5 click " + SAVE +
                             " left\n+5 key enter\n+5 quit\n";
    ASSERT_EQ(g.play(take), 0);
    ASSERT_TRUE(hung(g).empty());

    for (const char* call : {"write", "fwrite", "fflush", "fsync", "fclose", "rename"}) {
        g.write("sfiles/gallery.dat", hanging);
        std::filesystem::remove(g.dir + "/application.log");
        g.faults(call, "sfiles/a.tmp|sfiles/gallery.dat", 1, "after",
                 call == std::string("fsync") ? "EIO" : "ENOSPC");
        ASSERT_EQ(g.play("2 click " + GALLERY + " left\n+10 click " + TAKE + " left\n+5 click " + SAVE +
                             " left\n+5 key enter\n+5 key enter\n+5 quit\n",
                         {"-debug", "1"}),
                  0)
            << call << g.file("stderr.txt");
        g.env.clear();
        // Every one of these calls is seen by the writer: the save fails, the old file stays whole.
        EXPECT_EQ(g.file("sfiles/gallery.dat"), hanging) << "after a failing " << call;
        EXPECT_NE(g.file("application.log").find("could not be written"), std::string::npos)
            << "a failing " << call << " is told";
    }
}

}  // namespace
