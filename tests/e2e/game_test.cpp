// The real game, headless, driven by scripts: start-up and shutdown, logging, snapshots,
// the second copy, texts from other programs and the orderly end on signals.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "platform/io_ini.h"
#include "platform/sys.h"
#include "resources/packwriter.h"
#include "tests/e2e/game_run.h"

namespace {

using namespace e2e;

TEST(game, starts_snaps_and_quits_cleanly) {
    Game g;
    g.write("s.txt",
            "0 snap first.png\n+3 move 100 100\n+1 click 100 100 left\n+2 snap later.png\n+1 quit\n");
    ASSERT_EQ(g.run({"--headless", "--window", "800x600", "--script", "s.txt", "-debug", "1"}), 0)
        << g.file("stderr.txt");
    std::string log = g.file("application.log");
    for (const char* line : {"Lumavex\n", "Version: 1.25\n",
                             "video driver: ", "io_mem_done: ngetmem = ", "io_mem_done: nfreemem = "})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
    EXPECT_EQ(log.find("ngetmem!=nfreemem"), std::string::npos);
    EXPECT_EQ(png_size(g.file("first.png")), std::pair(800, 600));
    EXPECT_FALSE(g.file("later.png").empty());
    EXPECT_NE(g.file(CONFIG_INI).find("OldScreenSize=800 600"), std::string::npos);
    for (const char* folder : {"sfiles/temp", "sfiles/qs", "puzzles"})
        EXPECT_TRUE(g.has(folder)) << folder;
}

TEST(game, second_driver_path_and_log_levels) {
    Game g;
    g.write("s.txt", "2 snap a.png\n3 quit\n");
    g.write(CONFIG_INI, "");  // folder missing: the write above fails, start-up makes it
    ASSERT_EQ(g.run({"--headless", "--window", "640x480", "--script", "s.txt", "-videodriver", "2", "-debug",
                     "1", "-path", "my\\boxes", "--unknown-switch"}),
              0)
        << g.file("stderr.txt");
    EXPECT_NE(g.file("application.log").find("video driver: Windows\n"), std::string::npos);
    EXPECT_TRUE(g.has("my/boxes"));
    EXPECT_EQ(png_size(g.file("a.png")), std::pair(640, 480));

    Game quiet;  // level 0 writes nothing anywhere
    quiet.write("s.txt", "1 quit\n");
    ASSERT_EQ(quiet.run({"--headless", "--script", "s.txt"}), 0);
    EXPECT_FALSE(quiet.has("application.log"));
    EXPECT_NE(quiet.file(CONFIG_INI).find("OldScreenSize=1024 768"), std::string::npos);
}

TEST(game, second_copy_texts_and_signals) {
    Game g;
    g.start({"--headless", "--window", "320x240", "-debug", "1"});
    ASSERT_TRUE(g.wait_for_file("lumavex/KVLUMAVEXCLASS"));
    ASSERT_TRUE(g.wait_for_file("sfiles/qs"));  // the kernel is up

    Game second;  // shares the first copy's runtime folder
    second.start({"--headless", "-debug", "1"}, g.dir);
    EXPECT_EQ(second.wait(), 0);
    EXPECT_FALSE(second.has("sfiles")) << "it never started the game";

    setenv("XDG_RUNTIME_DIR", g.dir.c_str(), 1);
    EXPECT_TRUE(sys_instance_send_text("KVLUMAVEXCLASS", 0, "garden.pzl"));
    EXPECT_TRUE(sys_instance_send_text("KVLUMAVEXCLASS", 3, "ignored"));
    unsetenv("XDG_RUNTIME_DIR");

    poll([&] { return g.file("application.log").find("program: ignored") != std::string::npos; }, 5);
    kill(g.pid, SIGTERM);
    ASSERT_EQ(g.wait(), 0);
    std::string log = g.file("application.log");
    EXPECT_NE(log.find("another copy asked this one to come forward"), std::string::npos) << log;
    EXPECT_NE(log.find("kernel: text 0 from another program: garden.pzl\n"), std::string::npos) << log;
    EXPECT_NE(log.find("kernel: text 3 from another program: ignored\n"), std::string::npos);
    EXPECT_NE(log.find("io_mem_done: nfreemem"), std::string::npos);  // the orderly shutdown ran
    EXPECT_EQ(log.find("ngetmem!=nfreemem"), std::string::npos);
    EXPECT_NE(g.file(CONFIG_INI).find("OldScreenSize=320 240"), std::string::npos);
}

TEST(game, a_malformed_script_or_a_broken_or_missing_pack_stops_with_its_message) {
    Game bad;
    bad.write("s.txt", "0 snap a.png\n1 wobble\n");
    EXPECT_NE(bad.run({"--headless", "--script", "s.txt"}), 0);
    EXPECT_NE(bad.file("stderr.txt").find("line 2"), std::string::npos) << bad.file("stderr.txt");

    Game g;
    unlink((g.dir + "/data.pck").c_str());
    g.write("s.txt", "1 quit\n");
    EXPECT_EQ(g.run({"--headless", "--script", "s.txt", "-debug", "1"}), 1);
    EXPECT_NE(g.file("application.log").find("dp_open: not found (data.pck)"), std::string::npos)
        << g.file("application.log");

    const char lang[] = "[MAIN]\nVersion=1\nCharSet=0\n";
    PackItem only_lang[] = {{"english.ini", lang, sizeof lang - 1, nullptr}};
    ASSERT_TRUE(packwriter_write((g.dir + "/data.pck").c_str(), only_lang, 1));
    EXPECT_EQ(g.run({"--headless", "--script", "s.txt", "-debug", "1"}), 1);
    EXPECT_NE(g.file("application.log").find("kernel_init: invalid copy of sfiles/skin.ini"),
              std::string::npos)
        << g.file("application.log");
    EXPECT_NE(g.file("stderr.txt").find("kernel_init: invalid copy of sfiles/skin.ini"), std::string::npos);
}

}  // namespace
