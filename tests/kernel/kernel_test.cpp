// Command line, idle-step timing, event translation and the temporary-folder trimming.
#include "kernel/kernel.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/str.h"
#include "kernel/app_config.h"
#include "kernel/cmdline.h"
#include "kernel/events.h"
#include "platform/io_ini.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "platform/sys.h"
#include "support/fatal_trap.h"

namespace {

TEST(cmdline, switch_search_rules) {
    int v = -1;
    EXPECT_FALSE(cmdline_int("-debugger 2", "-debug", &v));  // no blank after the switch
    EXPECT_TRUE(cmdline_int("x-debug 2", "-debug", &v));     // plain substring search
    EXPECT_EQ(v, 2);
    EXPECT_TRUE(cmdline_int("-videodriver   0x2 -debug 1", "-videodriver", &v));
    EXPECT_EQ(v, 2);
    EXPECT_FALSE(cmdline_int("-debug", "-debug", &v));   // nothing after it
    EXPECT_FALSE(cmdline_int("-debug ", "-debug", &v));  // a switch without a word is absent
    EXPECT_FALSE(cmdline_int("-debug abc", "-debug", &v));

    EXPECT_TRUE(cmdline_bool("-options YES", "-options", &v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(cmdline_bool("-options lo", "-options", &v));
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(cmdline_bool("-options maybe", "-options", &v));

    char path[PUZZLE_PATH_MAX + 1] = "puzzles";
    EXPECT_FALSE(cmdline_path("-debug 1 -path", path, sizeof path));
    EXPECT_STREQ(path, "puzzles");
    EXPECT_TRUE(cmdline_path("-path  my\\box -debug 1", path, sizeof path));
    EXPECT_STREQ(path, "my/box");
    std::string longest = "-path " + std::string(300, 'a');
    EXPECT_TRUE(cmdline_path(longest.c_str(), path, sizeof path));
    EXPECT_EQ(std::string(path).size(), 259u);
}

TEST(cmdline, bool_words) {
    int v;
    for (const char* w : {"true", "1", "yes", "hi", "TRUE", "Hi"}) {
        EXPECT_TRUE(str_parse_bool(w, &v)) << w;
        EXPECT_EQ(v, 1);
    }
    for (const char* w : {"false", "0", "no", "lo", "No"}) {
        EXPECT_TRUE(str_parse_bool(w, &v)) << w;
        EXPECT_EQ(v, 0);
    }
    EXPECT_FALSE(str_parse_bool("yess", &v));
    EXPECT_FALSE(str_parse_bool((std::string(31, ' ') + "yes").c_str(), &v));  // cut to 31
}

// A kernel with a frame buffer and grid but no window; events are recorded by a fake window
// manager.
std::vector<KernelEvent> g_events;
int record(KernelEvent* e) {
    g_events.push_back(*e);
    return 1;
}

struct KernelFixture : ::testing::Test {
    void SetUp() override {
        app_config_defaults(&app_config);
        io_video_create_frame(800, 600, 24);
        screen_grid_create();
        kernel_set_window_manager(record);
        kernel_reset_input();
        KernelClock& c = kernel_clock();
        c = {};
        c.ready = 1;
        c.active = 1;
        g_events.clear();
    }
    void TearDown() override {
        kernel_clock().ready = 0;
        kernel_set_window_manager(nullptr);
        screen_grid_free();
        io_video_close();
    }
    static std::vector<int> types() {
        std::vector<int> t;
        for (const KernelEvent& e : g_events)
            t.push_back(e.type);
        return t;
    }
};

TEST_F(KernelFixture, idle_step_catches_up_ticks_before_drawing) {
    kernel_restart_clock(0);
    kernel_idle_step(100);  // three periods behind: a tick only
    ASSERT_EQ(types(), std::vector<int>({KE_TICK}));
    EXPECT_EQ(g_events[0].a, 33);
    kernel_idle_step(100);
    kernel_idle_step(100);  // caught up: the third tick is followed by an idle event
    ASSERT_EQ(types(), std::vector<int>({KE_TICK, KE_TICK, KE_TICK, KE_IDLE}));
    EXPECT_EQ(g_events[1].a, 66);
    EXPECT_EQ(g_events[2].a, 99);
    g_events.clear();
    kernel_idle_step(100);  // nothing due: idle only
    EXPECT_EQ(types(), std::vector<int>({KE_IDLE}));
}

TEST_F(KernelFixture, idle_step_with_period_zero_and_clock_restart) {
    app_config.framePeriod = 0;
    kernel_clock().game_time = 500;
    kernel_idle_step(1000);
    EXPECT_EQ(types(), std::vector<int>({KE_IDLE}));
    EXPECT_EQ(kernel_clock().game_time, 0);
    app_config.framePeriod = 33;
    kernel_clock().game_time = 330;
    kernel_restart_clock(5000);  // game time keeps its value
    g_events.clear();
    kernel_idle_step(5033);
    ASSERT_EQ(types(), std::vector<int>({KE_TICK, KE_IDLE}));
    EXPECT_EQ(g_events[0].a, 363);
}

TEST_F(KernelFixture, events_before_ready_are_dropped) {
    kernel_clock().ready = 0;
    kernel_event(KE_TICK, 1, 0, 0);
    kernel_idle_step(1000);
    EXPECT_TRUE(g_events.empty());
}

TEST_F(KernelFixture, idle_event_flushes_dirty_cells_into_the_presentation_list) {
    kernel_event(KE_IDLE, 0, 0, 0);  // all cells start dirty: the whole screen, one rect a row
    EXPECT_EQ(io_video_present_list().count, 25);
    kernel_event(KE_IDLE, 0, 0, 0);
    EXPECT_EQ(io_video_present_list().count, 0);
    ScreenRect r = {30, 20, 4, 8};
    kernel_event(KE_PAINT, (intptr_t)&r, 0, 0);  // paint only marks cells; the manager never sees it
    kernel_event(KE_IDLE, 0, 0, 0);
    ASSERT_EQ(io_video_present_list().count, 2);
    PresentRect p = io_video_present_list().rects[0];
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.top, 0);
    EXPECT_EQ(p.right, 64);
    EXPECT_EQ(p.bottom, 24);
    EXPECT_EQ(types(), std::vector<int>({KE_IDLE, KE_IDLE, KE_IDLE}));
}

PlatformMessage msg(int kind, int x = 0, int y = 0, int button = 0, int held = 0) {
    PlatformMessage m = {};
    m.kind = kind;
    m.x = x, m.y = y, m.button = button, m.held = held;
    return m;
}

TEST_F(KernelFixture, buttons_carry_ctrl_and_clamp_positions) {
    kernel_translate(msg(PM_BUTTON_DOWN, 10, 20, 1, 1 | 4));
    kernel_translate(msg(PM_BUTTON_UP, 10, 20, 2, 4));
    ASSERT_EQ(g_events.size(), 2u);
    EXPECT_EQ(g_events[0].type, KE_MOUSEDOWN);
    EXPECT_EQ(g_events[0].c, 5);
    EXPECT_EQ(g_events[1].type, KE_MOUSEUP);
    EXPECT_EQ(g_events[1].c, 6);
    EXPECT_EQ(kernel_mouse_buttons(), 4);

    kernel_translate(msg(PM_MOUSE_MOVE, 900, 70000));  // 70000 as 16 bits is 4464: lowered too
    EXPECT_EQ(kernel_mouse_x(), 799);
    EXPECT_EQ(kernel_mouse_y(), 599);
    kernel_translate(msg(PM_MOUSE_MOVE, -1, 65536 + 5));  // -1 is 65535 unsigned; 65541 wraps to 5
    EXPECT_EQ(kernel_mouse_x(), 799);
    EXPECT_EQ(kernel_mouse_y(), 5);
}

TEST_F(KernelFixture, move_without_button_reports_the_lost_release_first) {
    kernel_translate(msg(PM_BUTTON_DOWN, 5, 5, 1, 1));
    kernel_translate(msg(PM_MOUSE_MOVE, 6, 6, 0, 1));  // still held: plain move
    kernel_translate(msg(PM_MOUSE_MOVE, 7, 7, 0, 0));  // released outside: up before the move
    kernel_translate(msg(PM_MOUSE_MOVE, 8, 8, 0, 0));  // the mark is gone: no second up
    EXPECT_EQ(types(),
              std::vector<int>({KE_MOUSEDOWN, KE_MOUSEMOVE, KE_MOUSEUP, KE_MOUSEMOVE, KE_MOUSEMOVE}));
    EXPECT_EQ(g_events[2].c, 1);

    // The mark is set even when presses are masked out, and the release mask gates the up.
    g_events.clear();
    app_config.inputMask &= ~INPUT_RIGHT_DOWN;
    kernel_translate(msg(PM_BUTTON_DOWN, 5, 5, 2, 2));
    kernel_translate(msg(PM_MOUSE_MOVE, 6, 6, 0, 0));
    EXPECT_EQ(types(), std::vector<int>({KE_MOUSEUP, KE_MOUSEMOVE}));
    EXPECT_EQ(g_events[0].c, 2);
}

TEST_F(KernelFixture, keys_and_characters_follow_the_mask) {
    PlatformMessage k = msg(PM_KEY_DOWN);
    k.key = sys_translate_key(SDLK_F5);
    k.held = 4;
    kernel_translate(k);
    k.kind = PM_KEY_UP;
    k.key = sys_translate_key(SDLK_HOME);  // raises nothing
    kernel_translate(k);
    PlatformMessage c = msg(PM_CHAR);
    c.ch = 'a';
    kernel_translate(c);  // character input is off by default
    app_config.inputMask |= INPUT_CHAR;
    kernel_translate(c);
    c.ch = 31;
    kernel_translate(c);
    kernel_translate(msg(PM_SYSKEY_DOWN));
    ASSERT_EQ(types(), std::vector<int>({KE_KEYDOWN, KE_CHAR, KE_RESETKEYS}));
    EXPECT_EQ(g_events[0].a, 144 | KEY_CTRL);
    EXPECT_EQ(g_events[1].a, 'a');
}

TEST(config, old_screen_size_comes_only_from_a_real_screen) {
    const std::string ini =
        (std::filesystem::temp_directory_path() / ("lumavex_old_" + std::to_string(getpid()) + ".ini"))
            .string();
    int w = 0, h = 0;
    kernel_read_old_screen_size(ini.c_str(), 1024, 768, &w, &h);  // no key yet
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    const struct {
        const char* text;
        int kept;
    } cases[] = {{"640 480", 1},   {"16384 16384", 1},    {"639 480", 0},        {"640 479", 0},
                 {"16385 600", 0}, {"800 16385", 0},      {"-800 600", 0},       {"0 0", 0},
                 {"800", 0},       {"2147483647 600", 0}, {"800 -2147483648", 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(io_ini_write(ini.c_str(), "MAIN", "OldScreenSize", c.text));
        kernel_read_old_screen_size(ini.c_str(), 1024, 768, &w, &h);
        int want_w = 1024, want_h = 768;
        if (c.kept) std::sscanf(c.text, "%d %d", &want_w, &want_h);
        EXPECT_EQ(w, want_w) << c.text;
        EXPECT_EQ(h, want_h) << c.text;
    }
    std::remove(ini.c_str());
}

TEST(keys, translation_table) {
    EXPECT_EQ(sys_translate_key(SDLK_F1), 140);
    EXPECT_EQ(sys_translate_key(SDLK_F12), 151);
    EXPECT_EQ(sys_translate_key(SDLK_KP_7), 55);
    EXPECT_EQ(sys_translate_key(SDLK_KP_0), 48);
    EXPECT_EQ(sys_translate_key(SDLK_KP_PLUS), 43);
    EXPECT_EQ(sys_translate_key(SDLK_KP_MINUS), 45);
    EXPECT_EQ(sys_translate_key(SDLK_q), 'Q');
    EXPECT_EQ(sys_translate_key(SDLK_9), '9');
    EXPECT_EQ(sys_translate_key(SDLK_PRINTSCREEN), 44);
    EXPECT_EQ(sys_translate_key(SDLK_RETURN), 136);
    EXPECT_EQ(sys_translate_key(SDLK_DELETE), 138);
    EXPECT_EQ(sys_translate_key(SDLK_HOME), -1);
    EXPECT_EQ(sys_translate_key(SDLK_LSHIFT), -1);
}

TEST_F(KernelFixture, texts_reach_the_store_room_only_from_the_extractor) {
    static std::vector<std::string> texts;
    texts.clear();
    kernel_set_text_handler([](KernelEvent* e) {
        texts.push_back((const char*)e->b);
        return 1;
    });
    PlatformMessage m = msg(PM_SET_TEXT);
    m.text = "garden.pzl";
    kernel_translate(m);
    m.word = 7;
    m.text = "other";
    kernel_translate(m);
    kernel_set_text_handler(nullptr);
    EXPECT_EQ(texts, std::vector<std::string>({"garden.pzl"}));
    EXPECT_TRUE(g_events.empty());  // texts never go to the window manager
}

// Temporary folder trimming ------------------------------------------------------------------

struct TrimFixture : ::testing::Test {
    std::string dir;
    void SetUp() override {
        char tmpl[] = "/tmp/lumavex-trim-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }
    void make(const char* name, long size, time_t atime) {
        std::string p = dir + "/" + name;
        FILE* f = std::fopen(p.c_str(), "wb");
        std::fseek(f, size - 1, SEEK_SET);
        std::fputc(0, f);
        std::fclose(f);
        utimbuf t = {atime, atime};
        utime(p.c_str(), &t);
    }
    bool exists(const char* name) {
        struct stat st;
        return stat((dir + "/" + name).c_str(), &st) == 0;
    }
};

TEST_F(TrimFixture, keeps_files_within_the_limit) {
    make("a.tmp", 10000000, 100);
    make("b.tmp", 10000000, 200);
    make("c.tmp", 9000000, 300);
    kernel_trim_folder(dir.c_str(), "*.tmp", 30000000);
    EXPECT_TRUE(exists("a.tmp") && exists("b.tmp") && exists("c.tmp"));
}

TEST_F(TrimFixture, deletes_least_recently_accessed_until_within_the_limit) {
    make("new.tmp", 10000000, 300);
    make("old.tmp", 10000000, 100);
    make("mid.tmp", 10000000, 200);
    make("tiny.tmp", 1000000, 400);
    make("other.prw", 20000000, 1);                      // not a temporary file: neither counted nor deleted
    kernel_trim_folder(dir.c_str(), "*.tmp", 30000000);  // 31,000,000 bytes: one must go
    EXPECT_FALSE(exists("old.tmp"));
    EXPECT_TRUE(exists("mid.tmp") && exists("new.tmp") && exists("tiny.tmp") && exists("other.prw"));
    kernel_trim_folder(dir.c_str(), "*.tmp", 10500000);
    EXPECT_FALSE(exists("mid.tmp"));
    EXPECT_FALSE(exists("new.tmp"));
    EXPECT_TRUE(exists("tiny.tmp"));
}

TEST_F(TrimFixture, ends_when_a_file_cannot_be_deleted) {
    make("a.tmp", 20000000, 100);
    make("b.tmp", 20000000, 200);
    static int attempts;
    attempts = 0;
    kernel_trim_folder(dir.c_str(), "*.tmp", 1000, [](const char*) {
        attempts++;
        return 0;
    });
    EXPECT_EQ(attempts, 2);  // each file is tried once, then the trimming gives up
    // When only the oldest is stuck, the next oldest goes instead.
    kernel_trim_folder(dir.c_str(), "*.tmp", 30000000, [](const char* path) {
        return std::string(path).find("a.tmp") == std::string::npos && std::remove(path) == 0 ? 1 : 0;
    });
    EXPECT_TRUE(exists("a.tmp"));
    EXPECT_FALSE(exists("b.tmp"));
}

}  // namespace
