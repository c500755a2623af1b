// tests/e2e/giftbuild_test.cpp -- gifts from boxes selected on the headless game's shelf, saved
// through the save dialog or mailed through a stand-in xdg-email (the real one never runs here).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "e2e/store_game.h"
#include "puzzle/box.h"

namespace {

using e2e::at;
using e2e::slot;
using e2e::StoreGame;

const std::string GIFT_BUTTON = at(76, 128), SAVE = at(597, 464), MAIL = at(425, 464);
const std::string LAKE = at(slot(0).x + 40, slot(0).y + 40), TULIPS = at(slot(1).x + 40, slot(1).y + 40);

// One record of a gift body: the tag, the name's length and bytes, the data's length and bytes.
std::string record(const std::string& name, const std::string& data) {
    std::string out = "LMPF";
    for (const std::string* part : {&name, &data}) {
        const uint32_t length = (uint32_t)part->size();
        out += std::string((const char*)&length, 4) + *part;
    }
    return out;
}

// The stand-in mail tool: writes down its arguments and whether the last one is a file, and
// exits with the code in bin/code.
constexpr const char* FAKE_MAIL = R"(#!/bin/sh
printf '%s\n' "$@" > "$0.args"
for a; do f=$a; done
[ -f "$f" ] && echo attached >> "$0.args"
read code < "${0%/*}/code"
exit $code
)";

// A game with the two boxes side by side, the built extractor (and installer, when the build has
// one), the desktop folder in the game's folder and the stand-in mail tool first on the PATH.
struct GiftGame : StoreGame {
    std::string path = std::getenv("PATH");
    GiftGame() : StoreGame({"Sunset Lake", "Tulip Fields"}) {
        arrange({{"Sunset Lake", slot(0)}, {"Tulip Fields", slot(1)}});
        std::system(("cd '" + dir +
                     "' && mkdir -p bin docs config sfiles/outbox && cd sfiles && cp '" LUMAVEX_GAME_DIR
                     "/sfiles/loader.dat' . && (cp '" LUMAVEX_GAME_DIR
                     "/sfiles/present.bin' . 2>/dev/null || true)")
                        .c_str());
        write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + dir + "/docs\"\n");
        write("bin/xdg-email", FAKE_MAIL);
        chmod((dir + "/bin/xdg-email").c_str(), 0755);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        setenv("PATH", (dir + "/bin:" + path).c_str(), 1);
    }
    ~GiftGame() {
        setenv("PATH", path.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }
};

TEST(giftbuild, a_gift_saved_as_a_file_holds_the_extractor_the_texts_and_the_boxes_bottom_most_first) {
    GiftGame g;
    const std::string lake = g.file("puzzles/Sunset Lake.pzl"), tulips = g.file("puzzles/Tulip Fields.pzl");
    // The tulips are selected first, so the lake lies on top of them.
    ASSERT_EQ(
        g.play("2 click " + TULIPS + " left\n+20 click " + LAKE + " left ctrl\n+20 click " + GIFT_BUTTON +
                   " left\n+10 type Alice\n+1 key tab\n+1 type Enjoy!\n+1 snap dialog.png\n+1 click " + SAVE +
                   " left\n+10 snap save.png\n+1 key enter\n+10 snap saved.png\n+1 key enter\n+10 quit\n",
               {"-debug", "2"}),
        0)
        << g.file("stderr.txt");
    // The game says where the gift went.
    EXPECT_NE(g.file("stderr.txt").find("gift: saved as " + g.dir + "/docs/Alice.run\n"), std::string::npos)
        << g.file("stderr.txt");

    // The default name in the desktop folder; readable means runnable.
    struct stat st;
    ASSERT_EQ(stat((g.dir + "/docs/Alice.run").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, (st.st_mode & 0444) >> 2);
    // The extractor, the marker, the texts, the installer when there is one, then the boxes
    // bottom-most first, with hidden pictures set in the gift's copies only.
    std::string expected = g.file("sfiles/loader.dat") + "COUPLER<3141592-103672536>" +
                           record("name.txt", "Alice") + record("devote.txt", "Enjoy!");
    if (g.has("sfiles/present.bin")) expected += record("present.bin", g.file("sfiles/present.bin"));
    for (const std::string name : {"Tulip Fields", "Sunset Lake"}) {
        std::system(("cp '" + g.dir + "/puzzles/" + name + ".pzl' '" + g.dir + "/copy'").c_str());
        ASSERT_TRUE(box_patch_field((g.dir + "/copy").c_str(), 8, 1));
        expected += record(name + ".pzl", g.file("copy"));
    }
    const std::string gift = g.file("docs/Alice.run");
    EXPECT_TRUE(gift == expected) << gift.size() << " bytes, " << expected.size() << " expected";
    EXPECT_EQ(g.file("puzzles/Sunset Lake.pzl"), lake);
    EXPECT_EQ(g.file("puzzles/Tulip Fields.pzl"), tulips);
}

TEST(giftbuild, a_mailed_gift_waits_in_the_outbox_and_a_refused_one_goes_with_the_message) {
    GiftGame g;
    std::system(
        ("cd '" + g.dir + "/sfiles/outbox' && touch -d '2 days ago' Old.run && touch Recent.run").c_str());
    const std::string mail = "2 click " + LAKE + " left\n+20 click " + GIFT_BUTTON + " left\n+10 type ";
    g.write("bin/code", "0\n");
    ASSERT_EQ(g.play(mail + "Bob\n+1 click " + MAIL + " left\n+10 quit\n", {"-debug", "1"}), 0);
    EXPECT_NE(g.file("application.log").find("MAPI OK"), std::string::npos);
    EXPECT_EQ(g.file("bin/xdg-email.args"),
              "--subject\nBob\n--attach\n" + g.dir + "/sfiles/outbox/Bob.run\nattached\n");
    EXPECT_TRUE(g.has("sfiles/outbox/Bob.run") && g.has("sfiles/outbox/Recent.run"));
    EXPECT_FALSE(g.has("sfiles/outbox/Old.run"));

    // The mail program cannot read it: the message, and the gift is gone.
    g.write("bin/code", "5\n");
    ASSERT_EQ(
        g.play(mail + "Carol\n+1 click " + MAIL + " left\n+10 snap refused.png\n+1 key enter\n+5 quit\n",
               {"-debug", "1"}),
        0);
    EXPECT_NE(g.file("application.log").find("could not be opened. No message was sent.\nResult code:12"),
              std::string::npos);
    EXPECT_FALSE(g.has("sfiles/outbox/Carol.run"));
}

}  // namespace
