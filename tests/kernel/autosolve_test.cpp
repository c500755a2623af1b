// The autosolver on a small open game made by hand: the phases of its moves tick by tick, as the
// mouse input it sends reaches a stand-in for the play room's desk, and the lines after it,
// which wait for its end.
#include "kernel/autosolve.h"

#include <gtest/gtest.h>

#include <string>

#include "gui/window.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "platform/script.h"
#include "platform/sys.h"
#include "puzzle/drag.h"
#include "puzzle/play_samples.h"
#include "puzzle/stack.h"

using play_samples::HandGame;
using play_samples::P;

namespace {

// What the play room does with the desk's input (mouse capture included), reduced to the desk,
// and the messages seen, one word each: m move, p press, r release (R for the right button), k
// key; x,y after the mouse's.
struct Desk {
    int captured;
    int x, y;      // the pointer's last position
    uint32_t now;  // ms
    std::string seen;
};
Desk g_desk;

void act(int action) {
    if (action == DESK_CAPTURE) g_desk.captured = 1;
    if (action != DESK_END_CAPTURE) return;
    g_desk.captured = 0;
    pieces_drop();
}

void desk_message(const PlatformMessage& m) {
    Desk& d = g_desk;
    const int flags = m.button | ((m.held & 4) ? MOUSE_CTRL : 0) | (d.captured ? MOUSE_CAPTURED : 0);
    const char* right = m.button == 2 ? "R" : "";
    switch (m.kind) {
        case PM_BUTTON_DOWN:
            d.seen += std::string("p") + right + " ";
            act(desk_button_down(m.x, m.y, flags, d.now));
            break;
        case PM_BUTTON_UP:
            d.seen += std::string("r") + right + " ";
            act(desk_button_up(m.x, m.y, flags, d.now));
            break;
        case PM_MOUSE_MOVE:
            d.seen += "m" + std::to_string(m.x) + "," + std::to_string(m.y) + " ";
            if (d.captured) desk_drag_motion(m.x - d.x, m.y - d.y);
            desk_mouse_at(m.x, m.y);
            d.x = m.x, d.y = m.y;
            break;
        case PM_KEY_DOWN:
            d.seen += "k ";
            if (m.key == 'R') gather_loose();
            break;
        default:
            break;
    }
}

// A row of 100 x 100 pieces on a 1024 x 768 desk; window_at finds no window, as on a bare desk.
struct SolveRun : HandGame {
    explicit SolveRun(int count) : HandGame(count, 100, 100) {
        play_samples::grid_neighbours(count, 1);
        for (int i = 0; i < count; i++)
            P(i).homeX = i * 100, P(i).homeY = 0;
        play_state.record.width = count * 100, play_state.record.height = 100;
        play_state.open = 1;
        io_video_create_frame(1024, 768, 24);  // pointer destinations are kept on the screen
        screen_grid_create();
        window_init();
        g_desk = {};
        SysOptions headless = {};
        headless.headless = 1;
        EXPECT_TRUE(sys_init(headless));  // frame pixels are window pixels
        sys_set_message_handler(desk_message);
        autosolve_register();
    }
    ~SolveRun() {
        sys_set_message_handler(nullptr);
        sys_done();
        script_set_close(nullptr, 0);
        script_forget_commands();
        script_free();
        window_done();
        screen_grid_free();
        io_video_close();
        play_state.open = 0;
    }
    void settle() {
        stack_reset();
        pieces_settle();
    }
    // The script run tick by tick: its input, then the tick of the pieces; "#" after each tick.
    static std::string run(const char* script, int ticks) {
        char error[128];
        EXPECT_TRUE(script_parse_text(script, error, sizeof error)) << error;
        script_set_close([] { g_desk.seen += "close "; }, 0);
        std::string out;
        for (int t = 0; t < ticks; t++, g_desk.now += 33) {
            g_desk.seen.clear();
            script_before_tick(t);
            pieces_tick();
            script_after_tick(t);
            out += g_desk.seen + "# ";
        }
        return out;
    }
};

TEST(Autosolve, one_move_walks_plan_turn_carry_release_check_and_drop) {
    SolveRun game(2);
    P(0).x = 200, P(0).y = 100;
    P(1).x = 600, P(1).y = 400;
    game.settle();
    // Tick 0 plans: piece 1 on top is taken at its centre (its rectangle is 600..699 across) and
    // must go beside piece 0, 300 left and 300 up. Tick 1 finds no turn to make; ticks 2-4 carry in three
    // steps; tick 5 releases after 165 ms, too short a hold, so tick 6 presses to drop and tick 7 releases;
    // tick 8 finds the puzzle finished, and the key waiting for the end goes at once.
    EXPECT_EQ(SolveRun::run("0 autosolve 3\n+0 key a\n", 10),
              "m649,449 p # # m549,349 # m449,249 # m349,149 # r # p # r # k # # ");
    EXPECT_EQ((std::vector<int>{P(1).x, P(1).y, P(0).group, P(1).group, play_state.info.percent}),
              (std::vector<int>{300, 100, P(1).group, P(0).group, 100}));
    EXPECT_NE(P(0).group, -1);
}

TEST(Autosolve, stops_after_its_moves_and_closes_the_game_when_none_opens) {
    SolveRun game(3);
    P(0).x = 100, P(0).y = 100;
    P(1).x = 500, P(1).y = 400;
    P(2).x = 800, P(2).y = 100;
    game.settle();
    // One move, nine ticks as above: piece 2, on top, goes beside piece 1 at (600, 400), 200 left
    // and 300 down; one join of two makes 50 percent. The quit counts from the move's end.
    const std::string one = SolveRun::run("0 autosolve 3 1\n+1 quit\n", 11);
    EXPECT_EQ(one, "m849,149 p # # m783,249 # m716,349 # m649,449 # r # p # r # # close # # ");
    EXPECT_EQ((std::vector<int>{P(2).group == P(1).group, P(0).group, play_state.info.percent}),
              (std::vector<int>{1, -1, 50}));

    // No game opens: a thousand ticks of waiting, then the game closes; the quit still follows.
    play_state.open = 0;
    const std::string none = SolveRun::run("0 autosolve\n+1 quit\n", 1003);
    EXPECT_EQ(none.substr(0, 2), "# ");
    EXPECT_EQ(none.find("close"), 1000 * 2);
    EXPECT_EQ(none.substr(1000 * 2), "close # close # # ");
}

}  // namespace
