// tests/e2e/ldui_test.cpp -- the gift extractor's dialog driven headless by scripts: the order
// of its buttons, the keys that press them, and what every way of closing leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "e2e/game_run.h"
#include "gift/giftfile.h"
#include "support/files.h"

namespace {

// A receiver with a home of its own (temporary, settings and data folders) and an installed
// game that its settings file names.
struct Receiver {
    TempDir home;
    std::string game = home / "game";

    Receiver() {
        for (const char* folder : {"tmp", "config/Dremwick", "data", "runtime", "game/puzzles"})
            std::filesystem::create_directories(home / folder);
        write_file(home / "config/Dremwick/Lumavex.ini",
                   text_bytes("[Lumavex]\nInstallPath=" + game + "\nVersion=126\n"));
        write_file(game + "/tesselo", text_bytes("#!/bin/sh\n"));
    }

    // The extractor, the marker and the records (file, record name) as one program.
    std::string gift(const std::vector<std::pair<std::string, std::string>>& records) {
        const std::string path = home / "gift.run";
        FILE* f = std::fopen(path.c_str(), "wb");
        const Bytes stub = read_file(std::string(LUMAVEX_TOOLS_DIR) + "/loader");
        std::fwrite(stub.data(), 1, stub.size(), f);
        gift_write_marker(f);
        for (const auto& [source, name] : records)
            gift_add_file(f, source.c_str(), name.c_str());
        std::fclose(f);
        chmod(path.c_str(), 0700);
        return path;
    }

    struct Run {
        int code;
        std::string out, err;
    };
    Run run(const std::string& gift, const std::string& script) {
        write_file(home / "script.txt", text_bytes(script));
        const std::string& h = home.path;
        const std::string command = "cd '" + h + "' && env HOME='" + h + "' TMPDIR='" + h +
                                    "/tmp' XDG_CONFIG_HOME='" + h + "/config' XDG_DATA_HOME='" + h +
                                    "/data' XDG_RUNTIME_DIR='" + h + "/runtime' '" + gift +
                                    "' --headless --script script.txt >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, e2e::read_all(home / "out.txt"),
                e2e::read_all(home / "err.txt")};
    }

    void write_file_text(const std::string& name, const std::string& text) {
        write_file(home / name, text_bytes(text));
    }
    bool work_left() { return !std::filesystem::is_empty(home / "tmp"); }
    bool delivered(const std::string& box) { return std::filesystem::exists(game + "/puzzles/" + box); }
};

const std::string SAMPLE = std::string(LUMAVEX_GAME_DIR) + "/puzzles/Tulip Fields.pzl";

// Button centres in the dialog.
constexpr const char* CLICK_RUN = "click 419 56 left";

TEST(LoaderDialog, RunOnlyAfterUnpackByMouseAndKeys) {
    Receiver r;
    r.write_file_text("devote.txt", "Veel plezier!");
    const std::string gift = r.gift({{r.home / "devote.txt", "devote.txt"}, {SAMPLE, "Tulip Fields.pzl"}});
    // Run cannot be pressed yet; Alt+O opens About, whose Enter only closes it; Enter then
    // presses the default Unpack, after which Run is the default and the mouse presses it.
    const std::string script = std::string("20 ") + CLICK_RUN +
                               "\n+3 key o alt\n+3 snap about.png\n+1 key enter\n+3 key enter\n"
                               "+3 snap delivered.png\n+1 " +
                               CLICK_RUN + "\n+5 quit\n";
    const Receiver::Run run = r.run(gift, script);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, r.game + "/tesselo\n");  // headless, the game is named, not started
    EXPECT_TRUE(r.delivered("Tulip Fields.pzl"));
    EXPECT_EQ(e2e::png_size(e2e::read_all(r.home / "about.png")), std::make_pair(480, 240));
    EXPECT_TRUE(std::filesystem::exists(r.home / "delivered.png"));
    EXPECT_FALSE(r.work_left());
}

TEST(LoaderDialog, EveryEndRemovesTheWorkFolder) {
    Receiver r;
    {
        SCOPED_TRACE("Escape after unpacking: nothing is delivered");
        const Receiver::Run run = r.run(r.gift({{SAMPLE, "Tulip Fields.pzl"}}), "20 key escape\n");
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(r.delivered("Tulip Fields.pzl"));
        EXPECT_FALSE(r.work_left());
    }
    {
        SCOPED_TRACE("a gift without records is told and ends with 1");
        const Receiver::Run run = r.run(r.gift({}), "5 key enter\n");
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.err.find("Error:body is empty."), std::string::npos) << run.err;
        EXPECT_FALSE(r.work_left());
    }
    {
        SCOPED_TRACE("a malformed script stops before anything is unpacked");
        const Receiver::Run run = r.run(r.gift({{SAMPLE, "Tulip Fields.pzl"}}), "5 snap a.png\n6 jump 1 2\n");
        EXPECT_EQ(run.code, 2);
        EXPECT_NE(run.err.find("line 2"), std::string::npos) << run.err;
        EXPECT_FALSE(r.work_left());
    }
}

}  // namespace
