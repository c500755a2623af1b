// kernel/autosolve.cpp -- the autosolver: the phases of one move, tick by tick, sent as the
// script's mouse and key input.
//
// One move (each phase is set before its input is sent, because a drop that finishes the puzzle
// opens a message box whose modal loop runs the script further from inside):
//   plan     pointer to a visible point of the group to take, left press (pick-up)
//   turn     right click (Ctrl for counter-clockwise) until the angle matches; waits for turns
//   carry    the pointer moves to the destination in even steps over TICKS ticks
//   release  left release; a short hold leaves the pieces carried, so
//   check    a left press drops them, and
//   drop     its release ends the move; a move that joined nothing is passed over next time.
// When no move can start, the gather key brings loose pieces from under the groups, the windows
// and the desk's edges into view (they come selected: a move whose piece is selected first takes
// it out of the selection with a Ctrl-click, so that it carries that piece's group alone); when
// the only moves left start under a window (the control panel, the picture window), it is dragged
// by its title bar to the other side of the desk. A table larger than the desk is played seen
// whole: before planning, the key that shows the whole table is pressed when it is not.
#include "kernel/autosolve.h"

#include <cstdio>

#include "gui/window.h"
#include "platform/screen.h"
#include "platform/script.h"
#include "puzzle/solve.h"
#include "rooms/play.h"

namespace {

constexpr int SOLVE_TICKS_DEFAULT = 6;     // ticks an autosolve move carries its pieces
constexpr int SOLVE_WAIT_MAX = 1000;       // ticks autosolve waits for a game to open
constexpr int SOLVE_TURN_WAIT_MAX = 200;   // ticks one move waits for its turns to end
constexpr int SOLVE_ROUNDS_MAX = 3;        // rounds of passed-over moves before giving up
constexpr int SOLVE_WINDOW_MOVES_MAX = 8;  // windows dragged aside in one solve
constexpr int SOLVE_VIEW_KEYS_MAX = 16;    // presses of the whole-table key in one solve

enum CallArg { ARG_TICKS, ARG_MOVES };  // the command's words, in the call's args

enum SolvePhase {
    SOLVE_WAIT,
    SOLVE_PLAN,
    SOLVE_TURN,
    SOLVE_CARRY,
    SOLVE_RELEASE,
    SOLVE_CHECK,
    SOLVE_DROP,
    SOLVE_WINDOW,
    SOLVE_WINDOW_RELEASE
};

struct Solver {
    int phase;
    int waited;        // ticks waited for a game (SOLVE_WAIT) or for a turn (SOLVE_TURN)
    SolveMove move;    // the move under way
    int x, y;          // where the solver's pointer is
    int fromX, fromY;  // carry: start and destination of the pointer
    int toX, toY;
    int step;         // carry steps done
    int skip;         // moves passed over because they joined nothing
    int moves;        // moves made
    int rounds;       // times every move was passed over
    int windowMoves;  // windows dragged aside
    int gathered;     // the gather key was pressed since the last move that joined
    int viewKeys;     // times the whole-table key was pressed
};
Solver g_solver;

void solver_input(int kind, int x, int y, int button, int ctrl) {
    ScriptInput in = {};
    in.kind = kind, in.x = x, in.y = y, in.button = button, in.ctrl = ctrl;
    g_solver.x = x, g_solver.y = y;
    script_send(in);
}

void press_key(const char* name) {
    ScriptInput key = {SCRIPT_KEYDOWN};
    key.key = script_key_code(name);
    script_send(key);
    key.kind = SCRIPT_KEYUP;
    script_send(key);
}

void press_gather_key() { press_key("r"); }

int clamp_to(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

int desk_point_free(int x, int y) { return window_at(x, y) == playroom_room_window(); }

// Finds a move that only a window keeps from starting and drags that window's title bar so the
// window lands on the far side of the desk; 0 when there is none.
int move_covering_window() {
    Solver& s = g_solver;
    SolveMove hidden;
    if (!solve_next_move(&hidden, 0, nullptr)) return 0;
    int w = window_at(hidden.grabX, hidden.grabY);
    while (w >= 0 && window_parent(w) >= 0 && window_parent(w) != playroom_room_window())
        w = window_parent(w);
    if (w < 0 || w == playroom_room_window() || !(window_style(w) & TW_TITLE)) return 0;
    int wx, wy, ww, wh;
    window_screen_pos(w, &wx, &wy);
    window_size(w, &ww, &wh);
    const int left = hidden.grabX < screen.width / 2 ? screen.width - ww - 20 : 20;
    const int top = hidden.grabY < screen.height / 2 ? screen.height - wh - 20 : 40;
    s.fromX = wx + ww / 2, s.fromY = wy + TITLE_HEIGHT / 2;
    s.toX = clamp_to(s.fromX + left - wx, 0, screen.width - 1);
    s.toY = clamp_to(s.fromY + top - wy, 0, screen.height - 1);
    s.step = 0;
    s.windowMoves++;
    s.phase = SOLVE_WINDOW;
    solver_input(SCRIPT_MOVE, s.fromX, s.fromY, 0, 0);
    solver_input(SCRIPT_PRESS, s.fromX, s.fromY, SCRIPT_LEFT, 0);
    return 1;
}

void solver_judge() {
    g_solver.skip = solve_joined(&g_solver.move) ? 0 : g_solver.skip + 1;
    if (!g_solver.skip) g_solver.rounds = g_solver.gathered = 0;
    g_solver.phase = SOLVE_PLAN;
}

// No move can start now: every move again after a round of passed-over ones, else the gather
// key once, else a covering window dragged aside; SCRIPT_ENDED when nothing is left to try.
int no_move_found() {
    Solver& s = g_solver;
    if (s.skip && s.rounds++ < SOLVE_ROUNDS_MAX) {
        s.skip = 0;
        return SCRIPT_GOING;
    }
    if (s.skip == 0 && !s.gathered) {
        s.gathered = 1;
        press_gather_key();
        return SCRIPT_GOING;
    }
    if (s.skip == 0 && s.windowMoves < SOLVE_WINDOW_MOVES_MAX && move_covering_window()) return SCRIPT_GOING;
    std::fprintf(stderr, "script: autosolve: no move is left after %d moves\n", s.moves);
    return SCRIPT_ENDED;
}

int plan(const ScriptCall& c, int tick) {
    Solver& s = g_solver;
    if (solve_complete()) {
        std::fprintf(stderr, "script: autosolve: finished in %d moves, %d ticks\n", s.moves, tick - c.tick);
        return SCRIPT_ENDED;
    }
    if (c.args[ARG_MOVES] && s.moves >= c.args[ARG_MOVES] && !solve_carrying()) {
        std::fprintf(stderr, "script: autosolve: stopped after %d moves, %d ticks\n", s.moves, tick - c.tick);
        return SCRIPT_ENDED;
    }
    if (solve_carrying()) {  // pieces were left on the pointer: put them down first
        s.phase = SOLVE_DROP;
        solver_input(SCRIPT_PRESS, s.x, s.y, SCRIPT_LEFT, 0);
        return SCRIPT_GOING;
    }
    if (!solve_whole_table_shown() &&
        s.viewKeys++ < SOLVE_VIEW_KEYS_MAX) {  // a large table is played seen whole: its key asks for that
        press_key("0");
        return SCRIPT_GOING;
    }
    if (!solve_next_move(&s.move, s.skip, desk_point_free)) return no_move_found();
    s.moves++;
    s.waited = 0;
    s.phase = SOLVE_TURN;
    solver_input(SCRIPT_MOVE, s.move.grabX, s.move.grabY, 0, 0);
    if (solve_grab_selected(&s.move)) {  // Ctrl with a click takes its group out of the selection
        solver_input(SCRIPT_PRESS, s.move.grabX, s.move.grabY, SCRIPT_LEFT, 1);
        solver_input(SCRIPT_RELEASE, s.move.grabX, s.move.grabY, SCRIPT_LEFT, 1);
    }
    solver_input(SCRIPT_PRESS, s.move.grabX, s.move.grabY, SCRIPT_LEFT, 0);
    return SCRIPT_GOING;
}

void turn() {
    Solver& s = g_solver;
    if (!solve_carrying()) {  // nothing was picked up
        s.skip++;
        s.phase = SOLVE_PLAN;
        solver_input(SCRIPT_RELEASE, s.x, s.y, SCRIPT_LEFT, 0);
        return;
    }
    const int turns = solve_turns_left(&s.move);
    if (turns < 0 && ++s.waited <= SOLVE_TURN_WAIT_MAX) return;
    if (turns > 0) {
        const int ctrl = turns == 3;  // one counter-clockwise turn instead of three
        solver_input(SCRIPT_PRESS, s.x, s.y, SCRIPT_RIGHT, ctrl);
        solver_input(SCRIPT_RELEASE, s.x, s.y, SCRIPT_RIGHT, ctrl);
        return;
    }
    int dx, dy;
    solve_offset(&s.move, &dx, &dy);
    s.fromX = s.x, s.fromY = s.y;
    s.toX = clamp_to(s.x + dx, 0, screen.width - 1);
    s.toY = clamp_to(s.y + dy, 0, screen.height - 1);
    s.step = 0;
    s.phase = SOLVE_CARRY;
}

// The pointer a step further towards its destination, carrying pieces or a window's title bar.
void carry(int ticks) {
    Solver& s = g_solver;
    s.step++;
    if (s.step >= ticks) s.phase = s.phase == SOLVE_WINDOW ? SOLVE_WINDOW_RELEASE : SOLVE_RELEASE;
    solver_input(SCRIPT_MOVE, s.fromX + (s.toX - s.fromX) * s.step / ticks,
                 s.fromY + (s.toY - s.fromY) * s.step / ticks, 0, 0);
}

// The button phases after the carry: each sets the next phase, then presses or releases.
void finish_move() {
    Solver& s = g_solver;
    switch (s.phase) {
        case SOLVE_WINDOW_RELEASE:
            s.phase = SOLVE_PLAN;
            solver_input(SCRIPT_RELEASE, s.x, s.y, SCRIPT_LEFT, 0);
            break;
        case SOLVE_RELEASE:
            s.phase = SOLVE_CHECK;
            solver_input(SCRIPT_RELEASE, s.x, s.y, SCRIPT_LEFT, 0);
            break;
        case SOLVE_CHECK:
            if (!solve_carrying()) {
                solver_judge();
                break;
            }
            s.phase = SOLVE_DROP;
            solver_input(SCRIPT_PRESS, s.x, s.y, SCRIPT_LEFT, 0);
            break;
        default:  // SOLVE_DROP
            solver_judge();
            solver_input(SCRIPT_RELEASE, s.x, s.y, SCRIPT_LEFT, 0);
            break;
    }
}

// One tick of the solver.
int solver_step(const ScriptCall& c, int tick) {
    Solver& s = g_solver;
    if (c.steps_done == 0) s = {};
    if (s.phase == SOLVE_WAIT) {
        if (!solve_game_open()) {
            if (++s.waited <= SOLVE_WAIT_MAX) return SCRIPT_GOING;
            std::fprintf(stderr, "script: autosolve: no game was opened within %d ticks\n", SOLVE_WAIT_MAX);
            return SCRIPT_FAILED;
        }
        s.phase = SOLVE_PLAN;
    }
    if (!solve_game_open()) return SCRIPT_ENDED;
    switch (s.phase) {
        case SOLVE_PLAN:
            return plan(c, tick);
        case SOLVE_TURN:
            turn();
            break;
        case SOLVE_CARRY:
        case SOLVE_WINDOW:
            carry(c.args[ARG_TICKS]);
            break;
        default:
            finish_move();
            break;
    }
    return SCRIPT_GOING;
}

std::string parse(const std::vector<std::string>& args, ScriptCall* call) {
    int& ticks = call->args[ARG_TICKS];
    int& moves = call->args[ARG_MOVES];
    ticks = SOLVE_TICKS_DEFAULT;
    if (args.size() > 2 ||
        (args.size() >= 1 &&
         (!script_number(args[0], &ticks) || ticks < 1 || ticks > SCRIPT_DRAG_TICKS_MAX)) ||
        (args.size() == 2 && (!script_number(args[1], &moves) || moves < 1)))
        return "expected autosolve [TICKS [MOVES]]";
    return "";
}

}  // namespace

void autosolve_register() { script_add_command("autosolve", parse, solver_step); }
