// Command line, idle-step timing, event translation and the temporary-folder trimming.
#include "kernel/kernel.h"

#include <SDL.h>
#include <gtest/gtest.h>
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
#include "platform/script.h"
#include "platform/sys.h"
#include "support/files.h"

namespace {

TEST(cmdline, switch_search_rules_and_words) {
    int v = -1;
    EXPECT_FALSE(cmdline_int("-debugger 2", "-debug", &v));  // no blank after the switch
    EXPECT_TRUE(cmdline_int("x-debug 2", "-debug", &v));     // plain substring search
    EXPECT_EQ(v, 2);
    EXPECT_TRUE(cmdline_int("-videodriver   0x2 -debug 1", "-videodriver", &v));
    EXPECT_EQ(v, 2);
    for (const char* absent : {"-debug", "-debug ", "-debug abc"})  // nothing, or no number, after it
        EXPECT_FALSE(cmdline_int(absent, "-debug", &v)) << absent;

    const std::pair<const char*, int> words[] = {{"true", 1},  {"1", 1}, {"yes", 1}, {"Hi", 1}, {"TRUE", 1},
                                                 {"false", 0}, {"0", 0}, {"No", 0},  {"lo", 0}};
    for (auto [word, value] : words) {
        v = -1;
        EXPECT_TRUE(cmdline_bool(("-options " + std::string(word)).c_str(), "-options", &v)) << word;
        EXPECT_EQ(v, value) << word;
    }
    EXPECT_FALSE(cmdline_bool("-options maybe", "-options", &v));
    EXPECT_FALSE(str_parse_bool("yess", &v));
    EXPECT_FALSE(str_parse_bool((std::string(31, ' ') + "yes").c_str(), &v));  // cut to 31

    char path[PUZZLE_PATH_MAX + 1] = "puzzles";
    EXPECT_FALSE(cmdline_path("-debug 1 -path", path, sizeof path));
    EXPECT_STREQ(path, "puzzles");
    EXPECT_TRUE(cmdline_path(("-path " + std::string(300, 'a')).c_str(), path, sizeof path));
    EXPECT_EQ(std::string(path).size(), 259u);
}

// A kernel with a frame buffer and grid but no window; events are recorded by a fake window
// manager.
std::vector<KernelEvent> g_events;

struct KernelFixture : ::testing::Test {
    void SetUp() override {
        app_config_defaults(&app_config);
        io_video_create_frame(800, 600, 24);
        screen_grid_create();
        kernel_set_window_manager([](KernelEvent* e) { return g_events.push_back(*e), 1; });
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
    // The events since the last call, as type and first argument.
    static std::vector<std::pair<int, intptr_t>> taken() {
        std::vector<std::pair<int, intptr_t>> t;
        for (const KernelEvent& e : g_events)
            t.emplace_back(e.type, e.a);
        g_events.clear();
        return t;
    }
    using Events = std::vector<std::pair<int, intptr_t>>;
};

TEST_F(KernelFixture, idle_step_catches_up_ticks_before_drawing) {
    kernel_restart_clock(0);
    kernel_idle_step(100);  // three periods behind: a tick only
    kernel_idle_step(100);
    kernel_idle_step(100);  // caught up: the third tick is followed by an idle event
    kernel_idle_step(100);  // nothing due: idle only
    EXPECT_EQ(taken(), (Events{{KE_TICK, 33}, {KE_TICK, 66}, {KE_TICK, 99}, {KE_IDLE, 0}, {KE_IDLE, 0}}));

    app_config.framePeriod = 0;  // no period: idle only, and the game time is held at 0
    kernel_clock().game_time = 500;
    kernel_idle_step(1000);
    EXPECT_EQ(taken(), (Events{{KE_IDLE, 0}}));
    EXPECT_EQ(kernel_clock().game_time, 0);
    app_config.framePeriod = 33;
    kernel_clock().game_time = 330;
    kernel_restart_clock(5000);  // game time keeps its value
    kernel_idle_step(5033);
    EXPECT_EQ(taken(), (Events{{KE_TICK, 363}, {KE_IDLE, 0}}));

    kernel_clock().ready = 0;  // nothing before the kernel is ready
    kernel_event(KE_TICK, 1, 0, 0);
    kernel_idle_step(9000);
    EXPECT_EQ(taken(), Events{});
}

TEST_F(KernelFixture, idle_event_flushes_dirty_cells_into_the_presentation_list) {
    kernel_event(KE_IDLE, 0, 0, 0);  // all cells start dirty: the whole screen, one rect a row
    EXPECT_EQ(io_video_present_list().count, 25);
    kernel_event(KE_IDLE, 0, 0, 0);
    EXPECT_EQ(io_video_present_list().count, 0);
    Rect r = {30, 20, 4, 8};
    kernel_event(KE_PAINT, (intptr_t)&r, 0, 0);  // paint only marks cells; the manager never sees it
    kernel_event(KE_IDLE, 0, 0, 0);
    ASSERT_EQ(io_video_present_list().count, 2);
    const PresentRect p = io_video_present_list().rects[0];
    EXPECT_EQ((std::vector<int>{p.left, p.top, p.right, p.bottom}), (std::vector<int>{0, 0, 64, 24}));
    EXPECT_EQ(taken(), (Events{{KE_IDLE, 0}, {KE_IDLE, 0}, {KE_IDLE, 0}}));
}

PlatformMessage msg(int kind, int x = 0, int y = 0, int button = 0, int held = 0) {
    PlatformMessage m = {};
    m.kind = kind;
    m.x = x, m.y = y, m.button = button, m.held = held;
    return m;
}

TEST_F(KernelFixture, buttons_carry_ctrl_clamp_positions_and_report_lost_releases) {
    kernel_translate(msg(PM_BUTTON_DOWN, 10, 20, 1, 1 | 4));
    kernel_translate(msg(PM_BUTTON_UP, 10, 20, 2, 4));
    ASSERT_EQ(g_events.size(), 2u);
    EXPECT_EQ(g_events[0].c, 5);
    EXPECT_EQ(g_events[1].c, 6);
    EXPECT_EQ(kernel_mouse_buttons(), 4);
    kernel_translate(msg(PM_MOUSE_MOVE, 900, 70000));  // 70000 as 16 bits is 4464: lowered too
    EXPECT_EQ(kernel_mouse_x() * 1000 + kernel_mouse_y(), 799599);
    kernel_translate(msg(PM_MOUSE_MOVE, -1, 65536 + 5));  // -1 is 65535 unsigned; 65541 wraps to 5
    EXPECT_EQ(kernel_mouse_x() * 1000 + kernel_mouse_y(), 799005);
    taken();

    kernel_translate(msg(PM_BUTTON_DOWN, 5, 5, 1, 1));
    kernel_translate(msg(PM_MOUSE_MOVE, 6, 6, 0, 1));  // still held: plain move
    kernel_translate(msg(PM_MOUSE_MOVE, 7, 7, 0, 0));  // released outside: up before the move
    kernel_translate(msg(PM_MOUSE_MOVE, 8, 8, 0, 0));  // the mark is gone: no second up
    // The mark is set even when presses are masked out, and the release mask gates the up.
    app_config.inputMask &= ~INPUT_RIGHT_DOWN;
    kernel_translate(msg(PM_BUTTON_DOWN, 5, 5, 2, 2));
    kernel_translate(msg(PM_MOUSE_MOVE, 6, 6, 0, 0));
    std::vector<std::pair<int, int>> got;
    for (const KernelEvent& e : g_events)
        got.emplace_back(e.type, e.type == KE_MOUSEUP ? (int)e.c : 0);
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{KE_MOUSEDOWN, 0},
                                                     {KE_MOUSEMOVE, 0},
                                                     {KE_MOUSEUP, 1},
                                                     {KE_MOUSEMOVE, 0},
                                                     {KE_MOUSEMOVE, 0},
                                                     {KE_MOUSEUP, 2},
                                                     {KE_MOUSEMOVE, 0}}));
}

TEST_F(KernelFixture, keys_and_characters_follow_the_mask) {
    PlatformMessage k = msg(PM_KEY_DOWN);
    k.key = sys_translate_key(SDLK_F5);
    k.held = 4;
    kernel_translate(k);
    k.kind = PM_KEY_UP;
    k.key = sys_translate_key(SDLK_LSHIFT);  // raises nothing
    kernel_translate(k);
    PlatformMessage c = msg(PM_CHAR);
    c.ch = 'a';
    kernel_translate(c);  // character input is off by default
    app_config.inputMask |= INPUT_CHAR;
    kernel_translate(c);
    c.ch = 31;
    kernel_translate(c);
    kernel_translate(msg(PM_SYSKEY_DOWN));
    EXPECT_EQ(taken(), (Events{{KE_KEYDOWN, 144 | KEY_CTRL}, {KE_CHAR, 'a'}, {KE_RESETKEYS, 0}}));

    const std::pair<SDL_Keycode, int> keys[] = {
        {SDLK_F1, 140},      {SDLK_F12, 151},  {SDLK_KP_7, 55}, {SDLK_KP_0, 48},    {SDLK_KP_PLUS, 43},
        {SDLK_KP_MINUS, 45}, {SDLK_q, 'Q'},    {SDLK_9, '9'},   {SDLK_RETURN, 136}, {SDLK_PRINTSCREEN, 44},
        {SDLK_DELETE, 138},  {SDLK_HOME, 152}, {SDLK_END, 153}, {SDLK_LSHIFT, -1},  {SDLK_EQUALS, 43},
        {SDLK_PLUS, 43},     {SDLK_MINUS, 45}};
    for (auto [key, code] : keys)
        EXPECT_EQ(sys_translate_key(key), code) << SDL_GetKeyName(key);
}

// A modal loop inside a tick handler: the game ticks on and takes scripted input (through SDL)
// inside it; a quit inside it ends the modal without closing anything, and the outer loop closes.
TEST_F(KernelFixture, modal_loops_run_inside_handlers_and_a_quit_closes_after_them) {
    SysOptions options = {};
    options.headless = 1;
    ASSERT_TRUE(sys_init(options));
    sys_set_message_handler(kernel_translate);
    kernel_restart_clock(sys_millis());
    sys_clipboard_set("d\xC3\xA9j\xC3\xA0");  // the dummy driver's clipboard
    char clip[8];
    EXPECT_EQ(sys_clipboard_get(clip, 3), 1);  // never half a character
    EXPECT_EQ(sys_clipboard_get(clip, sizeof clip), 6);
    static struct {
        int done, results[2], modals, ticks_inside, closed_inside;
        std::vector<intptr_t> seen;  // wheel, Shift with a key, typed text
    } s;
    s = {};
    kernel_set_window_manager([](KernelEvent* e) {
        s.ticks_inside += e->type == KE_TICK && kernel_nested_depth();
        if (e->type == KE_TICK && (e->a == 66 || e->a == 330) && !kernel_nested_depth()) {
            s.done = 0;
            int result = kernel_run_nested(&s.done);
            s.results[s.modals++] = result;
            s.closed_inside += kernel_windows_gone() + kernel_closing();
        }
        if (e->type == KE_WHEEL) s.seen.insert(s.seen.end(), {e->a, e->b, e->c});
        if (e->type == KE_KEYDOWN && e->a == KEY_LEFT) s.seen.push_back(sys_shift_held());
        if (e->type == KE_TEXTINPUT) s.seen.push_back(e->a);
        s.done |= e->type == KE_KEYDOWN && e->a == KEY_ENTER;
        return 1;
    });
    const int t = kernel_ticks();  // script ticks count from the kernel's first
    const std::string script =
        std::to_string(t + 4) +
        " key left shift\n+1 wheel 30 40 -3\n+0 type a\xC3\xA9\xE4\xB8\xAD\xE2\x82\xAC\n"
        "+1 key enter\n+6 quit\n";
    char error[128];
    ASSERT_TRUE(script_parse_text(script.c_str(), error, sizeof error));
    EXPECT_EQ(kernel_run_loop(), 0);
    script_free();
    sys_done();
    EXPECT_EQ((std::vector<int>{s.modals, s.results[0], s.results[1], s.closed_inside}),
              (std::vector<int>{2, 1, 0, 0}));
    EXPECT_EQ(s.ticks_inside, 5 + 3);  // ticks 3 to 7 in the first, 11 to 13 in the second
    EXPECT_EQ(s.seen,
              (std::vector<intptr_t>{1, 30, 40, -3, 'a', 0xE9, 0x80}));  // nothing for the Chinese one
    EXPECT_TRUE(kernel_windows_gone());
}

TEST(config, old_screen_size_comes_only_from_a_real_screen) {
    TempDir dir;
    const std::string ini = dir / "old.ini";
    int w = 0, h = 0;
    kernel_read_old_screen_size(ini.c_str(), 1024, 768, &w, &h);  // no key yet
    EXPECT_EQ(w * 10000 + h, 1024 * 10000 + 768);
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
        EXPECT_EQ(std::pair(w, h), std::pair(want_w, want_h)) << c.text;
    }
}

TEST_F(KernelFixture, texts_reach_the_text_handler_only_with_the_known_words) {
    static std::vector<std::pair<int, std::string>> texts;
    texts.clear();
    kernel_set_text_handler([](KernelEvent* e) {
        return texts.push_back({(int)e->a, (const char*)e->b}), 1;
    });
    PlatformMessage m = msg(PM_SET_TEXT);
    const std::pair<int, const char*> sent[] = {{0, "garden.pzl"}, {1, "/home/a/Lake.pzl"}, {7, "other"}};
    for (auto [word, text] : sent) {
        m.word = word;
        m.text = text;
        kernel_translate(m);
    }
    kernel_set_text_handler(nullptr);
    EXPECT_EQ(texts, (std::vector<std::pair<int, std::string>>{{0, "garden.pzl"}, {1, "/home/a/Lake.pzl"}}));
    EXPECT_TRUE(g_events.empty());  // texts never go to the window manager
}

// A box file from elsewhere is copied in under a free name (the same bytes again reuse it), and the
// copy goes again when it does not open; a file that already lay in the puzzles folder never does.
TEST(open_box_file, a_copy_that_does_not_open_is_deleted_again) {
    TempDir dir;
    const std::string puzzles = dir / "puzzles", away = dir / "away";
    std::filesystem::create_directories(puzzles);
    std::filesystem::create_directories(away);
    write_file(puzzles + "/Lake.pzl", text_bytes("the shelf's own lake"));
    write_file(away + "/Lake.pzl", text_bytes("no box at all"));
    write_file(away + "/Hill.pzl", text_bytes("a hill"));
    static std::vector<std::string> asked;
    asked.clear();
    auto refuse = [](const char* name) { return asked.push_back(name), 0; };
    auto take = [](const char* name) { return asked.push_back(name), 1; };

    EXPECT_FALSE(kernel_open_box_file((away + "/Lake.pzl").c_str(), puzzles.c_str(), refuse));
    EXPECT_FALSE(std::filesystem::exists(puzzles + "/Lake (2).pzl"));
    EXPECT_FALSE(kernel_open_box_file((puzzles + "/Lake.pzl").c_str(), puzzles.c_str(), refuse));
    EXPECT_EQ(read_file(puzzles + "/Lake.pzl"), text_bytes("the shelf's own lake"));
    // The same bytes already in the folder: reused, so kept when they do not open.
    write_file(puzzles + "/Hill.pzl", text_bytes("a hill"));
    EXPECT_FALSE(kernel_open_box_file((away + "/Hill.pzl").c_str(), puzzles.c_str(), refuse));
    EXPECT_TRUE(std::filesystem::exists(puzzles + "/Hill.pzl"));
    write_file(away + "/notes.txt", text_bytes("text"));
    for (const char* never_asked : {"/Gone.pzl", "/notes.txt"})
        EXPECT_FALSE(kernel_open_box_file((away + never_asked).c_str(), puzzles.c_str(), take));
    EXPECT_TRUE(kernel_open_box_file((away + "/Lake.pzl").c_str(), puzzles.c_str(), take));
    EXPECT_TRUE(kernel_open_box_file((away + "/Lake.pzl").c_str(), puzzles.c_str(), take));
    EXPECT_EQ(read_file(puzzles + "/Lake (2).pzl"), text_bytes("no box at all"));
    EXPECT_EQ(asked, (std::vector<std::string>{"Lake (2)", "Lake", "Hill", "Lake (2)", "Lake (2)"}));
}

// Temporary folder trimming ------------------------------------------------------------------

TEST(trim, deletes_least_recently_accessed_files_until_within_the_limit) {
    TempDir dir;
    const std::pair<const char*, long> files[] = {{"new.tmp", 10000000},
                                                  {"old.tmp", 10000000},
                                                  {"mid.tmp", 10000000},
                                                  {"tiny.tmp", 1000000},
                                                  {"other.prw", 20000000}};  // not counted, never deleted
    const time_t accessed[] = {300, 100, 200, 400, 1};
    for (int i = 0; i < 5; i++) {
        write_file(dir / files[i].first, {});
        std::filesystem::resize_file(dir / files[i].first, (uintmax_t)files[i].second);
        const utimbuf t = {accessed[i], accessed[i]};
        utime((dir / files[i].first).c_str(), &t);
    }
    kernel_trim_folder(dir.path.c_str(), "*.tmp", 31000000);  // exactly at the limit: all stay
    static int attempts;
    attempts = 0;
    kernel_trim_folder(dir.path.c_str(), "*.tmp", 1000, [](const char*) { return attempts++, 0; });
    EXPECT_EQ(attempts, 3);  // each file but the newest is tried once, then the trimming gives up
    // Oldest first until within the limit; a file that cannot be deleted is passed over.
    kernel_trim_folder(dir.path.c_str(), "*.tmp", 11000000, [](const char* path) {
        return std::string(path).find("old.tmp") == std::string::npos && std::remove(path) == 0 ? 1 : 0;
    });
    const bool kept[] = {false, true, false, true, true};
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(std::filesystem::exists(dir / files[i].first), kept[i]) << files[i].first;
}

TEST(trim, counts_and_evicts_the_files_of_the_folders_one_level_down) {
    TempDir dir;
    // Fitted cut caches lie in a folder per desk size; deeper folders are not looked into.
    std::filesystem::create_directories(dir / "800x600/deeper");
    const std::pair<const char*, time_t> files[] = {
        {"a.tmp", 300}, {"800x600/b.tmp", 100}, {"800x600/c.tmp", 400}, {"800x600/deeper/d.tmp", 1}};
    for (const auto& [name, accessed] : files) {
        write_file(dir / name, {});
        std::filesystem::resize_file(dir / name, 10000000);
        const utimbuf t = {accessed, accessed};
        utime((dir / name).c_str(), &t);
    }
    kernel_trim_folder(dir.path.c_str(), "*.tmp", 25000000);
    const bool kept[] = {true, false, true, true};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(std::filesystem::exists(dir / files[i].first), kept[i]) << files[i].first;
    kernel_trim_folder(dir.path.c_str(), "*.tmp", 15000000);
    EXPECT_FALSE(std::filesystem::exists(dir / "a.tmp"));
    EXPECT_TRUE(std::filesystem::exists(dir / "800x600/c.tmp"));
    // The file used last stays even when it alone passes the limit (a cut of thousands of pieces).
    kernel_trim_folder(dir.path.c_str(), "*.tmp", 1000);
    EXPECT_TRUE(std::filesystem::exists(dir / "800x600/c.tmp"));
    EXPECT_TRUE(std::filesystem::exists(dir / "800x600/deeper/d.tmp")) << "never looked into";
}

}  // namespace
