// tests/loader/ldcore_test.cpp -- the extractor on hand-made gifts in a scratch home: the seam,
// damaged and hostile bodies, and delivery (no game, an old game installed again, the player's
// own files of the same names, a running game told, a second run).
#include "loader/ldcore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gift/giftfile.h"
#include "puzzle/box_samples.h"
#include "support/fatal_trap.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

std::string g_lines;  // what the extractor appended
void collect(const char* text) { g_lines += text; }

Bytes marker() {
    char m[GIFT_MARKER_LENGTH + 1];
    gift_marker(m);
    return Bytes(m, m + GIFT_MARKER_LENGTH);
}
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes record(const std::string& name, const Bytes& data) {
    Bytes b;
    put32(&b, GIFT_RECORD_TAG);
    put32(&b, (uint32_t)name.size());
    b.insert(b.end(), name.begin(), name.end());
    put32(&b, (uint32_t)data.size());
    return b + data;
}
Names files_in(const std::string& folder) { return box_samples::GameFolder::files_in(folder.c_str()); }

// A home of its own: the temporary, configuration, data and runtime folders all inside it.
struct Home : ::testing::Test {
    static constexpr const char* PLACES[4][2] = {{"TMPDIR", "tmp"},
                                                 {"XDG_CONFIG_HOME", "config"},
                                                 {"XDG_DATA_HOME", "data"},
                                                 {"XDG_RUNTIME_DIR", "run"}};
    TempDir home;
    std::string saved[4];
    void SetUp() override {
        for (int i = 0; i < 4; i++) {
            const char* old = std::getenv(PLACES[i][0]);
            saved[i] = old ? old : "";
            fs::create_directories(home / PLACES[i][1]);
            setenv(PLACES[i][0], (home / PLACES[i][1]).c_str(), 1);
        }
        fs::create_directories(home / "config/Dremwick");
        g_lines.clear();
        ld_set_log(collect);
    }
    void TearDown() override {
        ld_set_log(nullptr);
        for (int i = 0; i < 4; i++)
            saved[i].empty() ? unsetenv(PLACES[i][0]) : setenv(PLACES[i][0], saved[i].c_str(), 1);
    }
    int unpack(LdGift* gift, const Bytes& bytes, const char* seed = nullptr) {
        write_file(home / "gift.run", bytes);
        if (seed) write_fuzz_seed("fuzz_gift", seed, bytes.data(), bytes.size());
        return ld_unpack(gift, (home / "gift.run").c_str(), nullptr);
    }
};

using Unpack = Home;

TEST_F(Unpack, the_first_whole_marker_is_the_seam_and_a_damaged_tail_is_left_out) {
    const Bytes body = record("empty.txt", {}) + record("b.txt", marker());  // the marker a second time
    Bytes beyond = record("long.txt", text_bytes("12345"));
    set32(&beyond, beyond.size() - 9, 6);  // one byte more than the file holds
    struct Case {
        const char* seed;
        std::string stub;
        Bytes body;
        int result, truncated;
    } cases[] = {
        {"false-starts", "MZ COUPLEC COUPLER<3141 ", body, LD_UNPACKED, 0},  // each resets the count
        {"cut-head", std::string(4096 - 13, 'Z'), body + Bytes{'L', 'M', 'P', 'F', 3}, LD_UNPACKED, 1},
        {"beyond-end", std::string(8192 - 13, 'Z'), body + beyond, LD_UNPACKED, 1},  // seams across reads
        // Its C breaks the marker's own C: the seam is the marker inside "b.txt", and no record follows.
        {"stub-ending-in-C", "MZ C", body, LD_EMPTY, 0},
        {"empty", "MZ", {}, LD_EMPTY, 0},
        {"only-beyond", "MZ", beyond, LD_EMPTY, 1},
    };
    for (const Case& c : cases) {
        LdGift gift;
        ASSERT_EQ(unpack(&gift, text_bytes(c.stub) + marker() + c.body, c.seed), c.result) << c.seed;
        EXPECT_EQ(gift.truncated, c.truncated) << c.seed;
        if (c.result != LD_UNPACKED) continue;
        EXPECT_EQ(gift.records, 2);
        EXPECT_EQ(files_in(gift.work), (Names{"b.txt", "empty.txt", "loader.dat"})) << c.seed;
        EXPECT_EQ(read_file(gift.work + "/loader.dat"), text_bytes(c.stub));
        EXPECT_EQ(read_file(gift.work + "/b.txt"), marker());
        ld_remove_work(&gift);
    }
    EXPECT_STREQ(ld_unpack_message(LD_EMPTY), "Error:body is empty.");
    EXPECT_TRUE(fs::is_empty(home / "tmp"));  // a failed unpack removes its folder too
}

TEST_F(Unpack, names_become_plain_files_of_a_new_private_folder_or_are_skipped) {
    // Someone else's link and file hold numbers 0 and 2; two gifts at once get 1 and 3.
    fs::create_symlink(home / "data", home / "tmp/kvldrl6660");
    write_file(home / "tmp/kvldrl6662", text_bytes("not ours"));
    const std::string longest(GIFT_NAME_MAX, 'n');
    const Bytes body = record("../up.pzl", text_bytes("1")) + record("/etc/passwd", text_bytes("2")) +
                       record(".hidden", text_bytes("3")) + record("bell\a.txt", text_bytes("4")) +
                       record(longest + "n", text_bytes("5")) + record(longest, text_bytes("6")) +
                       record("loader.dat", text_bytes("7")) + record("up.pzl", text_bytes("8")) +
                       record(std::string("nul\0.txt", 8), text_bytes("9"));
    LdGift gift, other;
    ASSERT_EQ(unpack(&gift, text_bytes("stub") + marker() + body, "names"), LD_UNPACKED);
    ASSERT_EQ(unpack(&other, marker() + body), LD_UNPACKED);
    EXPECT_EQ(gift.work, home / "tmp/kvldrl6661");
    EXPECT_EQ(other.work, home / "tmp/kvldrl6663");
    struct stat st;
    ASSERT_EQ(stat(gift.work.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(files_in(gift.work), (Names{"loader.dat", longest, "passwd", "up.pzl"}));
    EXPECT_EQ(read_file(gift.work + "/up.pzl"), text_bytes("1"));  // the first of a name wins
    EXPECT_EQ(read_file(gift.work + "/loader.dat"), text_bytes("stub"));
    EXPECT_EQ(gift.skipped, 6);
    EXPECT_EQ(gift.boxes, Names{"up"});
    EXPECT_NE(g_lines.find("bell\\x07.txt"), std::string::npos);  // logged, made printable
    // Whatever appears in a work folder (an installer's subfolders) goes with it.
    fs::create_directories(other.work + "/sub/deeper");
    write_file(other.work + "/sub/deeper/left.txt", text_bytes("x"));
    ld_remove_work(&gift);
    ld_remove_work(&other);
    EXPECT_FALSE(fs::exists(home / "tmp/kvldrl6663"));
    EXPECT_EQ(files_in(home / "tmp"), Names{"kvldrl6662"});
    EXPECT_TRUE(fs::is_symlink(home / "tmp/kvldrl6660"));
    EXPECT_TRUE(fs::is_empty(home / "data"));
}

// Real boxes A, B (and a broken C), a gift of them, and the gift's installer as a small script.
struct Deliver : Home {
    box_samples::GameFolder maker;  // where the boxes are made
    Bytes gift_bytes(bool installer) {
        write_file(BOX_PICTURE_FILE, box_samples::sample_jpeg());
        const BoxRecord r = {10, 0, 0, 48, 32, 12};
        for (int i = 0; i < 3; i++) {
            const FileStamp stamp = box_samples::sample_stamp(i + 1);
            EXPECT_EQ(box_write(std::string(1, (char)('A' + i)).c_str(), &stamp, &r), 1);
        }
        write_file("name.txt", text_bytes("Jan"));
        write_file("devote.txt", text_bytes("Voor jou, 100%s"));
        write_file("present.bin",
                   text_bytes("#!/bin/sh\nG=\"$XDG_DATA_HOME/lumavex\"\nmkdir -p \"$G/puzzles\"\n"
                              ": > \"$G/tesselo\"\nprintf '[Lumavex]\\nInstallPath=%s\\nVersion=126\\n' "
                              "\"$G\" > \"$XDG_CONFIG_HOME/Dremwick/Lumavex.ini\"\n"));
        write_file("C.pzl", text_bytes("BOX1 but not a box"));
        FILE* f = std::tmpfile();
        gift_write_marker(f);
        for (const char* source : {"name.txt", "devote.txt", installer ? "present.bin" : "none",
                                   "puzzles/A.pzl", "puzzles/B.pzl", "C.pzl"})
            gift_add_file(f, source, nullptr);
        return text_bytes("stub") + file_bytes(f);
    }
    LdGift run(const Bytes& bytes) {
        LdGift gift;
        g_lines.clear();
        EXPECT_EQ(unpack(&gift, bytes, "boxes"), LD_UNPACKED);
        ld_show_texts(&gift, collect);
        ld_deliver(&gift, collect);
        ld_remove_work(&gift);
        return gift;
    }
    bool said(const std::string& line) { return g_lines.find(line + "\r\n") != std::string::npos; }
};

TEST_F(Deliver, boxes_reach_the_game_once_without_replacing_a_players_file) {
    // No game and no installer: every box fails, and none is copied where it would be lost.
    LdGift gift = run(gift_bytes(false));
    EXPECT_TRUE(said("A - Fout") && said("B - Fout") && said("Het spel kon niet worden ge\xEFnstalleerd."))
        << g_lines;
    EXPECT_EQ(gift.failed, 3);
    EXPECT_EQ(files_in("puzzles"), (Names{"A.pzl", "B.pzl", "C.pzl"}));

    // A game of version 125 counts as missing: the installer puts a new one in the data folder,
    // where the player's own "A" (another box) and a damaged "B" stay as they are.
    const fs::path game = home / "data/lumavex";
    write_file(home / "tmp/tesselo", {});
    write_file(home / "config/Dremwick/Lumavex.ini",
               text_bytes("[Lumavex]\nInstallPath=" + home / "tmp" + "\nVersion=125\n"));
    fs::create_directories(game / "puzzles");
    fs::copy_file("puzzles/C.pzl", game / "puzzles/A.pzl");
    write_file(game / "puzzles/B.pzl", text_bytes("damaged"));
    ASSERT_EQ(sys_instance_claim("KVLUMAVEXCLASS"), 1);  // a running game hears of the new boxes
    static std::string heard;
    sys_set_message_handler([](const PlatformMessage& m) { heard += std::to_string(m.word) + m.text + ";"; });
    const Bytes bytes = gift_bytes(true);
    gift = run(bytes);
    EXPECT_EQ(gift.installer_ran, 1);
    EXPECT_EQ(ld_game_command(&gift), game / "tesselo");
    EXPECT_TRUE(said("Voor jou, 100%s\r\n") && said("A 1 - Uitgepakt") && said("B 1 - Uitgepakt") &&
                said("C - Fout"))
        << g_lines;
    EXPECT_EQ(files_in(game / "puzzles"), (Names{"A 1.pzl", "A.pzl", "B 1.pzl", "B.pzl"}));
    EXPECT_EQ(read_file(game / "puzzles/A 1.pzl"), read_file("puzzles/A.pzl"));
    EXPECT_EQ(read_file(game / "puzzles/A.pzl"), read_file("puzzles/C.pzl"));
    while (sys_pump_one()) {
    }
    sys_set_message_handler(nullptr);
    EXPECT_EQ(heard, "0A 1;0B 1;");

    gift = run(bytes);  // the second time: the game is found and has them all
    sys_instance_release();
    EXPECT_EQ(gift.installer_ran, 0);
    EXPECT_TRUE(said("A 1 - Dit heeft u reeds") && said("B 1 - Dit heeft u reeds")) << g_lines;
    EXPECT_EQ(files_in(game / "puzzles").size(), 4u);
    EXPECT_EQ(files_in(home / "tmp"), Names{"tesselo"});

    // A FIFO named like a box is no box: it is passed over, never opened (which would wait for a
    // writer for ever) nor replaced.
    fs::remove(game / "puzzles/A 1.pzl");
    ASSERT_EQ(mkfifo((game / "puzzles/A 1.pzl").c_str(), 0600), 0);
    gift = run(bytes);
    EXPECT_TRUE(said("A 2 - Uitgepakt")) << g_lines;
    EXPECT_TRUE(fs::is_fifo(game / "puzzles/A 1.pzl"));
}

}  // namespace
