// The automation harness both programs share: the script format (ticks, relative ticks, every
// command, errors naming their line) under the game's command set and the extractor's, the order
// in which a run sends input, takes snapshots and quits around the ticks, a command that runs over
// several ticks, and snapshots, which come out right way up and in true colours.
#include "platform/script.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kernel/autosolve.h"
#include "platform/io_gdi.h"
#include "platform/io_video.h"
#include "platform/sys.h"
#include "support/fatal_trap.h"

namespace {

std::string error_of(const char* text) {
    static int seed;
    write_fuzz_seed("fuzz_script", ("case-" + std::to_string(seed++)).c_str(), text, std::strlen(text));
    char error[256] = "";
    return script_parse_text(text, error, sizeof error) ? "" : error;
}

// The game adds autosolve; the extractor adds nothing.
struct GameCommands {
    GameCommands() { autosolve_register(); }
    ~GameCommands() {
        script_forget_commands();
        script_free();
    }
};

TEST(script, accepts_every_command_and_names_the_line_of_an_error) {
    GameCommands game;
    EXPECT_EQ(error_of("# a comment\n"
                       "0 move 10 20\n"
                       "+1 press 10 20 left\n"
                       "+1 release 10 20 left ctrl   # trailing comment\n"
                       "5 click 1 2 right alt\n"
                       "+2 drag 0 0 100 100 10\n"
                       "20 key f5\n"
                       "20 keydown a ctrl\n"
                       "21 keyup kp7\n"
                       "22 type Hello # world\n"
                       "24 key end shift ctrl\n"
                       "24 key o alt shift\n"
                       "25 wheel 5 6 -2\n"
                       "\n"
                       "30 snap out.png\n"
                       "30 autosolve\n"
                       "+1 autosolve 4 20\n"
                       "31 quit\n"),
              "");
    EXPECT_TRUE(script_active());
    EXPECT_FALSE(script_finished());

    const char* const tick = "the line must start with a tick";
    const char* const drag = "expected drag X0 Y0 X1 Y1 TICKS";
    const char* const solve = "expected autosolve [TICKS [MOVES]]";
    const std::pair<const char*, std::string> errors[] = {
        {"0 move 1 2\nmove 1 2\n", std::string("line 2: ") + tick},
        {"0 jump\n", "line 1: unknown command jump"},
        {"\n\n0 press 1 2 middle\n", "line 3: the button must be left or right"},
        {"0 key home2\n", "line 1: unknown key home2"},
        {"0 key f13\n", "line 1: unknown key f13"},
        {"0 move 1\n", "line 1: expected move X Y"},
        {"0 press 1 2 left ctrl ctrl\n", "line 1: expected press X Y BUTTON [ctrl] [shift] [alt]"},
        {"0 drag 1 2 3 4 0\n", std::string("line 1: ") + drag},
        {"0 drag 1 2 3 4 100001\n", std::string("line 1: ") + drag},
        {"-3 quit\n", std::string("line 1: ") + tick},
        {"0 quit now\n", "line 1: quit takes nothing"},
        {"0 wheel 1 2\n", "line 1: expected wheel X Y STEPS"},
        {"0 wheel 1 2 0\n", "line 1: expected wheel X Y STEPS"},
        {"0 key a shift shift\n", "line 1: expected key KEY [ctrl] [shift] [alt]"},
        {"0 snap\n", "line 1: expected snap PATH"},
        {"0\n", "line 1: a command is missing"},
        {"0 autosolve 0\n", std::string("line 1: ") + solve},
        {"0 autosolve 6 0\n", std::string("line 1: ") + solve},
        {"0 autosolve 6 1 2\n", std::string("line 1: ") + solve},
        {"+x snap a.png\n", std::string("line 1: ") + tick}};
    for (const auto& [text, error] : errors)
        EXPECT_EQ(error_of(text), "script: " + error) << text;
    // Ticks that add up beyond any run, and a drag across the widest numbers: told, or exact.
    std::string late;
    for (int i = 0; i < 11; i++)
        late += "+100000000 move 1 1\n";
    EXPECT_EQ(error_of(late.c_str()), "script: line 11: the tick is later than 1000000000");
    EXPECT_FALSE(script_active());
    EXPECT_EQ(error_of("0 drag -1000000 0 100000000 0 100000\n"), "");
    script_free();
    // A script file is a regular file: a device that never ends or a missing file stop the
    // program at start with the path named, never a wait.
    char error[256];
    for (const char* path : {"/dev/zero", "/nonexistent/s.txt"}) {
        EXPECT_EQ(script_load(path, error, sizeof error), 0) << path;
        EXPECT_EQ(std::string(error), std::string("script: cannot read ") + path);
    }
}

TEST(script, a_command_only_one_program_adds_is_unknown_to_the_other) {
    const char* const text = "0 key enter\n+1 autosolve 6\n+1 quit\n";
    {
        GameCommands game;
        EXPECT_EQ(error_of(text), "");
    }
    EXPECT_EQ(error_of(text), "script: line 2: unknown command autosolve");
}

// A run without a window: the platform messages the scripted input raises, tick by tick.
std::vector<std::string> g_seen;
void record(const PlatformMessage& m) {
    char text[64];
    std::snprintf(text, sizeof text, "%d:%d,%d,%d,%d,%d", m.kind, m.x, m.y, m.button, m.key, m.held);
    g_seen.push_back(text);
}

// `wait N`: runs for N ticks (N steps, the last of which ends it); `fail`: fails at once.
std::string parse_wait(const std::vector<std::string>& args, ScriptCall* call) {
    if (args.size() != 1 || !script_number(args[0], &call->args[0]) || call->args[0] < 1)
        return "expected wait N";
    return "";
}
int step_wait(const ScriptCall& call, int tick) {
    g_seen.push_back("wait " + std::to_string(tick) + " " + std::to_string(call.steps_done));
    return call.steps_done + 1 >= call.args[0] ? SCRIPT_ENDED : SCRIPT_GOING;
}
std::string parse_fail(const std::vector<std::string>&, ScriptCall*) { return ""; }
int step_fail(const ScriptCall&, int) { return SCRIPT_FAILED; }

struct ScriptRun {
    ScriptRun() {
        SysOptions headless = {};
        headless.headless = 1;
        EXPECT_TRUE(sys_init(headless));  // frame pixels are window pixels
        sys_set_message_handler(record);
        script_add_command("wait", parse_wait, step_wait);
        script_add_command("fail", parse_fail, step_fail);
    }
    ~ScriptRun() {
        sys_set_message_handler(nullptr);
        sys_done();
        script_set_close(nullptr, 0);
        script_forget_commands();
        script_free();
    }
    // Runs the script over `count` ticks: what each tick sent, "|" between its input and its
    // end, "#" after it.
    static std::string ticks(const char* text, int count, int close_at_end = 0) {
        char error[128];
        EXPECT_TRUE(script_parse_text(text, error, sizeof error)) << error;
        script_set_close([] { g_seen.push_back("close"); }, close_at_end);
        std::string out;
        for (int t = 0; t < count; t++) {
            g_seen.clear();
            script_before_tick(t);
            g_seen.push_back("|");
            script_after_tick(t);
            for (const std::string& s : g_seen)
                out += s + " ";
            out += "# ";
        }
        return out;
    }
};

std::string msg(int kind, int x = 0, int y = 0, int button = 0, int key = 0, int held = 0) {
    char text[64];
    std::snprintf(text, sizeof text, "%d:%d,%d,%d,%d,%d", kind, x, y, button, key, held);
    return text;
}

TEST(script, input_comes_before_its_tick_and_a_long_command_holds_the_lines_after_it) {
    ScriptRun run;
    const std::string down = msg(PM_BUTTON_DOWN, 10, 20, 2, 0, 2 | 4),
                      up = msg(PM_BUTTON_UP, 10, 20, 2, 0, 4);
    const std::string alt = msg(PM_SYSKEY_DOWN), move = msg(PM_MOUSE_MOVE, 1, 1);
    // The wait runs at ticks 1, 2 and 3; the lines after it, due at tick 3, move to tick 5. The
    // quit of tick 5 comes after that tick's input; the Alt key's release raises nothing.
    EXPECT_EQ(ScriptRun::ticks("0 click 10 20 right ctrl\n"
                               "1 wait 3\n"
                               "+2 key a alt\n"
                               "+0 quit\n"
                               "+0 move 1 1\n",
                               7),
              down + " | # " + up + " wait 1 0 | # wait 2 1 | # wait 3 2 | # | # " + alt + " " + move +
                  " | close # | # ");
    EXPECT_TRUE(script_finished());

    // A command that fails closes the program at once; the lines after it still run.
    EXPECT_EQ(ScriptRun::ticks("2 fail\n+1 move 1 1\n", 4), "| # | # close | # " + move + " | # ");
    // The extractor, headless, closes once the last line has run, and never before.
    EXPECT_EQ(ScriptRun::ticks("0 move 1 1\n+1 quit\n", 1, 1), move + " | # ");
    EXPECT_EQ(ScriptRun::ticks("0 move 1 1\n+1 key a\n", 3, 1),
              move + " | # " + msg(PM_KEY_DOWN, 0, 0, 0, 'A') + " | # " + msg(PM_KEY_UP, 0, 0, 0, 'A') +
                  " | close # ");
}

}  // namespace

TEST(snap, right_way_up_in_true_colours) {
    io_video_create_frame(5, 3, 24);
    io_gdi_set_pen(PEN_SOLID, 0xFF0000);
    io_gdi_line(0, 0, 0, 0);  // top left red
    io_gdi_set_pen(PEN_SOLID, 0x0000FF);
    io_gdi_line(4, 2, 4, 2);  // bottom right blue
    io_gdi_reset_pen();
    const char* path = "/tmp/lumavex-snap-test.png";
    ASSERT_TRUE(script_write_png(path));
    io_video_close();

    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path));
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    std::remove(path);
    ASSERT_EQ(image.width * 10 + image.height, 53u);
    std::vector<uint8_t> want(5 * 3 * 3, 0);
    want[0] = 255, want[(2 * 5 + 4) * 3 + 2] = 255;  // red first; nothing else drawn
    EXPECT_EQ(rgb, want);
}
