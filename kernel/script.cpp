// kernel/script.cpp -- the automation harness. Scripted input is turned into SDL events and
// handed to the same dispatch as real input, so it travels the whole translation path.
#include "kernel/script.h"

#include <SDL.h>
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gui/window.h"
#include "kernel/events.h"
#include "platform/screen.h"
#include "platform/sys.h"
#include "puzzle/solve.h"
#include "rooms/play.h"

namespace {

constexpr int DRAG_TICKS_MAX = 100000;     // one drag lasts at most this many ticks
constexpr size_t COMMANDS_MAX = 1000000;   // commands of one script, drags expanded
constexpr int SOLVE_TICKS_DEFAULT = 6;     // ticks an autosolve move carries its pieces
constexpr int SOLVE_WAIT_MAX = 1000;       // ticks autosolve waits for a game to open
constexpr int SOLVE_TURN_WAIT_MAX = 200;   // ticks one move waits for its turns to end
constexpr int SOLVE_ROUNDS_MAX = 3;        // rounds of passed-over moves before giving up
constexpr int SOLVE_WINDOW_MOVES_MAX = 8;  // windows dragged aside in one solve

enum CommandKind {
    CMD_MOVE,
    CMD_PRESS,
    CMD_RELEASE,
    CMD_KEYDOWN,
    CMD_KEYUP,
    CMD_TYPE,
    CMD_WHEEL,
    CMD_SNAP,
    CMD_QUIT,
    CMD_AUTOSOLVE
};

struct Command {
    int tick;
    int kind;
    int x, y;
    int button;  // SDL_BUTTON_LEFT or SDL_BUTTON_RIGHT
    int key;     // SDL keycode
    int ctrl;
    int shift;
    int steps;         // wheel steps, positive away from the user; an autosolve's carrying ticks
    int moves;         // an autosolve stops after this many moves (0: at the end)
    std::string text;  // typed text or snapshot path
    bool done;         // input already delivered
};

struct Script {
    std::vector<Command> commands;  // in the order they run
    size_t next;                    // first command not run yet
    int held;                       // SDL button mask held by scripted presses
    int active;
};
Script g_script;

struct KeyName {
    const char* name;
    int key;
};
constexpr KeyName KEY_NAMES[] = {
    {"left", SDLK_LEFT},
    {"right", SDLK_RIGHT},
    {"up", SDLK_UP},
    {"down", SDLK_DOWN},
    {"pageup", SDLK_PAGEUP},
    {"pagedown", SDLK_PAGEDOWN},
    {"backspace", SDLK_BACKSPACE},
    {"escape", SDLK_ESCAPE},
    {"enter", SDLK_RETURN},
    {"tab", SDLK_TAB},
    {"delete", SDLK_DELETE},
    {"space", SDLK_SPACE},
    {"printscreen", SDLK_PRINTSCREEN},
    {"kpplus", SDLK_KP_PLUS},
    {"kpminus", SDLK_KP_MINUS},
    {"home", SDLK_HOME},
    {"end", SDLK_END},
};

int key_from_name(const std::string& name) {
    if (name.size() == 1 && std::isalpha((unsigned char)name[0]))
        return SDLK_a + (std::tolower(name[0]) - 'a');
    if (name.size() == 1 && std::isdigit((unsigned char)name[0])) return SDLK_0 + (name[0] - '0');
    if (name.size() == 3 && name.compare(0, 2, "kp") == 0 && std::isdigit((unsigned char)name[2]))
        return name[2] == '0' ? SDLK_KP_0 : SDLK_KP_1 + (name[2] - '1');
    if (name.size() >= 2 && name[0] == 'f' && std::isdigit((unsigned char)name[1])) {
        int n = std::atoi(name.c_str() + 1);
        if (n >= 1 && n <= 12 && name.find_first_not_of("0123456789", 1) == std::string::npos)
            return SDLK_F1 + n - 1;
    }
    for (const KeyName& k : KEY_NAMES)
        if (name == k.name) return k.key;
    return 0;
}

int button_from_name(const std::string& name) {
    if (name == "left") return SDL_BUTTON_LEFT;
    if (name == "right") return SDL_BUTTON_RIGHT;
    return 0;
}

std::vector<std::string> split_words(const std::string& s) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && std::isspace((unsigned char)s[i]))
            i++;
        size_t start = i;
        while (i < s.size() && !std::isspace((unsigned char)s[i]))
            i++;
        if (i > start) words.push_back(s.substr(start, i - start));
    }
    return words;
}

bool to_int(const std::string& s, int* out) {
    if (s.empty()) return false;
    char* end;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end || v < -1000000 || v > 100000000) return false;
    *out = (int)v;
    return true;
}

// The optional trailing modifier words "ctrl" and "shift", in any order, each at most once;
// false when the words do not fit the expected count.
bool take_modifiers(std::vector<std::string>& args, size_t count, Command* c) {
    c->ctrl = c->shift = 0;
    while (args.size() > count) {
        int* flag = args.back() == "ctrl" ? &c->ctrl : args.back() == "shift" ? &c->shift : nullptr;
        if (!flag || *flag) return false;
        *flag = 1;
        args.pop_back();
    }
    return args.size() == count;
}

// Parses one line after its tick into commands; returns an error text or "".
std::string parse_command(int tick, const std::string& rest, std::vector<Command>* out) {
    std::vector<std::string> words = split_words(rest);
    if (words.empty()) return "a command is missing";
    std::string verb = words[0];
    std::vector<std::string> args(words.begin() + 1, words.end());
    Command c = {};
    c.tick = tick;
    if (verb == "move" || verb == "press" || verb == "release" || verb == "click") {
        size_t want = verb == "move" ? 2 : 3;
        if (!take_modifiers(args, want, &c) || !to_int(args[0], &c.x) || !to_int(args[1], &c.y))
            return "expected " + verb + (want == 2 ? " X Y" : " X Y BUTTON [ctrl] [shift]");
        if (verb == "move") {
            c.kind = CMD_MOVE;
            out->push_back(c);
            return "";
        }
        if (!(c.button = button_from_name(args[2]))) return "the button must be left or right";
        c.kind = verb == "release" ? CMD_RELEASE : CMD_PRESS;
        out->push_back(c);
        if (verb == "click") {
            c.kind = CMD_RELEASE;
            c.tick = tick + 1;
            out->push_back(c);
        }
        return "";
    }
    if (verb == "drag") {
        int x0, y0, x1, y1, ticks;
        if (args.size() != 5 || !to_int(args[0], &x0) || !to_int(args[1], &y0) || !to_int(args[2], &x1) ||
            !to_int(args[3], &y1) || !to_int(args[4], &ticks) || ticks < 1 || ticks > DRAG_TICKS_MAX)
            return "expected drag X0 Y0 X1 Y1 TICKS";
        c.button = SDL_BUTTON_LEFT;
        c.kind = CMD_PRESS;
        c.x = x0, c.y = y0;
        out->push_back(c);
        for (int k = 1; k <= ticks; k++) {
            c.kind = CMD_MOVE;
            c.tick = tick + k;
            c.x = x0 + (x1 - x0) * k / ticks;
            c.y = y0 + (y1 - y0) * k / ticks;
            out->push_back(c);
        }
        c.kind = CMD_RELEASE;
        out->push_back(c);
        return "";
    }
    if (verb == "keydown" || verb == "keyup" || verb == "key") {
        if (!take_modifiers(args, 1, &c)) return "expected " + verb + " KEY [ctrl] [shift]";
        if (!(c.key = key_from_name(args[0]))) return "unknown key " + args[0];
        c.kind = verb == "keyup" ? CMD_KEYUP : CMD_KEYDOWN;
        out->push_back(c);
        if (verb == "key") {
            c.kind = CMD_KEYUP;
            c.tick = tick + 1;
            out->push_back(c);
        }
        return "";
    }
    if (verb == "wheel") {
        if (args.size() != 3 || !to_int(args[0], &c.x) || !to_int(args[1], &c.y) ||
            !to_int(args[2], &c.steps) || c.steps == 0)
            return "expected wheel X Y STEPS";
        c.kind = CMD_MOVE;  // the mouse goes there first
        out->push_back(c);
        c.kind = CMD_WHEEL;
        out->push_back(c);
        return "";
    }
    if (verb == "type") {
        size_t at = rest.find("type") + 4;
        if (at < rest.size() && rest[at] == ' ') at++;
        c.kind = CMD_TYPE;
        c.text = rest.substr(at);
        out->push_back(c);
        return "";
    }
    if (verb == "snap") {
        if (args.size() != 1) return "expected snap PATH";
        c.kind = CMD_SNAP;
        c.text = args[0];
        out->push_back(c);
        return "";
    }
    if (verb == "autosolve") {
        c.steps = SOLVE_TICKS_DEFAULT;
        if (args.size() > 2 ||
            (args.size() >= 1 && (!to_int(args[0], &c.steps) || c.steps < 1 || c.steps > DRAG_TICKS_MAX)) ||
            (args.size() == 2 && (!to_int(args[1], &c.moves) || c.moves < 1)))
            return "expected autosolve [TICKS [MOVES]]";
        c.kind = CMD_AUTOSOLVE;
        out->push_back(c);
        return "";
    }
    if (verb == "quit") {
        if (!args.empty()) return "quit takes nothing";
        c.kind = CMD_QUIT;
        out->push_back(c);
        return "";
    }
    return "unknown command " + verb;
}

void dispatch_with_modifiers(const Command& c, const SDL_Event& e) {
    sys_force_ctrl(c.ctrl);
    sys_force_shift(c.shift);
    sys_dispatch_sdl_event(e);
    sys_force_ctrl(-1);
    sys_force_shift(-1);
}

void dispatch_mouse(const Command& c, int type) {
    SDL_Event e = {};
    int s = sys_scale();
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = c.x * s;
        e.motion.y = c.y * s;
        e.motion.state = g_script.held;
    } else {
        e.button.button = c.button;
        e.button.x = c.x * s;
        e.button.y = c.y * s;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
    }
    dispatch_with_modifiers(c, e);
}

void run_input(const Command& c) {
    SDL_Event e = {};
    switch (c.kind) {
        case CMD_MOVE:
            dispatch_mouse(c, SDL_MOUSEMOTION);
            break;
        case CMD_PRESS:
            g_script.held |= SDL_BUTTON(c.button);
            dispatch_mouse(c, SDL_MOUSEBUTTONDOWN);
            break;
        case CMD_RELEASE:
            g_script.held &= ~SDL_BUTTON(c.button);
            dispatch_mouse(c, SDL_MOUSEBUTTONUP);
            break;
        case CMD_KEYDOWN:
        case CMD_KEYUP:
            e.type = c.kind == CMD_KEYDOWN ? SDL_KEYDOWN : SDL_KEYUP;
            e.key.keysym.sym = c.key;
            e.key.keysym.mod = (c.ctrl ? KMOD_LCTRL : KMOD_NONE) | (c.shift ? KMOD_LSHIFT : KMOD_NONE);
            dispatch_with_modifiers(c, e);
            break;
        case CMD_WHEEL:
            e.type = SDL_MOUSEWHEEL;
            e.wheel.y = c.steps;
            e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
            sys_dispatch_sdl_event(e);
            break;
        case CMD_TYPE:
            // In pieces that fit one text event, each ending on a whole UTF-8 character.
            for (size_t at = 0, n; at < c.text.size(); at += n) {
                n = std::min(c.text.size() - at, sizeof e.text.text - 1);
                while (at + n < c.text.size() && n > 1 && ((unsigned char)c.text[at + n] & 0xC0) == 0x80)
                    n--;
                e = {};
                e.type = SDL_TEXTINPUT;
                std::memcpy(e.text.text, c.text.data() + at, n);
                sys_dispatch_sdl_event(e);
            }
            break;
        default:
            break;
    }
}

// --- The autosolver ---
//
// One move, tick by tick (each phase is set before its input is sent, because a drop that
// finishes the puzzle opens a message box whose modal loop runs the script further from inside):
//   plan     pointer to a visible point of the group to take, left press (pick-up)
//   turn     right click (Ctrl for counter-clockwise) until the angle matches; waits for turns
//   carry    the pointer moves to the destination in even steps over TICKS ticks
//   release  left release; a short hold leaves the pieces carried, so
//   check    a left press drops them, and
//   drop     its release ends the move; a move that joined nothing is passed over next time.
// When no move can start, the gather key brings loose pieces from under the groups to the top
// (they come selected, so the next move carries them all); when the only moves left start under
// a window (the control panel, the picture window), it is dragged by its title bar to the other
// side of the desk.
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
};
Solver g_solver;

void solver_input(int kind, int x, int y, int button, int ctrl) {
    Command c = {};
    c.kind = kind, c.x = x, c.y = y, c.button = button, c.ctrl = ctrl;
    g_solver.x = x, g_solver.y = y;
    run_input(c);
}

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
    solver_input(CMD_MOVE, s.fromX, s.fromY, 0, 0);
    solver_input(CMD_PRESS, s.fromX, s.fromY, SDL_BUTTON_LEFT, 0);
    return 1;
}

void solver_judge() {
    g_solver.skip = solve_joined(&g_solver.move) ? 0 : g_solver.skip + 1;
    if (!g_solver.skip) g_solver.rounds = g_solver.gathered = 0;
    g_solver.phase = SOLVE_PLAN;
}

// One tick of the solver; 1 when it has ended.
int solver_step(const Command& c, int tick) {
    Solver& s = g_solver;
    if (s.phase == SOLVE_WAIT) {
        if (!solve_game_open()) {
            if (++s.waited <= SOLVE_WAIT_MAX) return 0;
            std::fprintf(stderr, "script: autosolve: no game was opened within %d ticks\n", SOLVE_WAIT_MAX);
            kernel_close_request();
            return 1;
        }
        s.phase = SOLVE_PLAN;
    }
    if (!solve_game_open()) return 1;
    switch (s.phase) {
        case SOLVE_PLAN: {
            if (solve_complete()) {
                std::fprintf(stderr, "script: autosolve: finished in %d moves, %d ticks\n", s.moves,
                             tick - c.tick);
                return 1;
            }
            if (c.moves && s.moves >= c.moves && !solve_carrying()) {
                std::fprintf(stderr, "script: autosolve: stopped after %d moves, %d ticks\n", s.moves,
                             tick - c.tick);
                return 1;
            }
            if (solve_carrying()) {  // pieces were left on the pointer: put them down first
                s.phase = SOLVE_DROP;
                solver_input(CMD_PRESS, s.x, s.y, SDL_BUTTON_LEFT, 0);
                return 0;
            }
            if (!solve_next_move(&s.move, s.skip, desk_point_free)) {
                if (s.skip && s.rounds++ < SOLVE_ROUNDS_MAX) {
                    s.skip = 0;  // every move was passed over: try them all again
                    return 0;
                }
                // Loose pieces may lie under a large group: the gather key brings them on top.
                // A window may cover the pieces that are left: it is dragged aside by its title.
                if (s.skip == 0 && !s.gathered) {
                    s.gathered = 1;
                    Command key = {};
                    key.key = SDLK_r;
                    key.kind = CMD_KEYDOWN;
                    run_input(key);
                    key.kind = CMD_KEYUP;
                    run_input(key);
                    return 0;
                }
                if (s.skip == 0 && s.windowMoves < SOLVE_WINDOW_MOVES_MAX && move_covering_window()) return 0;
                std::fprintf(stderr, "script: autosolve: no move is left after %d moves\n", s.moves);
                return 1;
            }
            s.moves++;
            s.waited = 0;
            s.phase = SOLVE_TURN;
            solver_input(CMD_MOVE, s.move.grabX, s.move.grabY, 0, 0);
            solver_input(CMD_PRESS, s.move.grabX, s.move.grabY, SDL_BUTTON_LEFT, 0);
            return 0;
        }
        case SOLVE_TURN: {
            if (!solve_carrying()) {  // nothing was picked up
                s.skip++;
                s.phase = SOLVE_PLAN;
                solver_input(CMD_RELEASE, s.x, s.y, SDL_BUTTON_LEFT, 0);
                return 0;
            }
            const int turns = solve_turns_left(&s.move);
            if (turns < 0 && ++s.waited <= SOLVE_TURN_WAIT_MAX) return 0;
            if (turns > 0) {
                const int ctrl = turns == 3;  // one counter-clockwise turn instead of three
                solver_input(CMD_PRESS, s.x, s.y, SDL_BUTTON_RIGHT, ctrl);
                solver_input(CMD_RELEASE, s.x, s.y, SDL_BUTTON_RIGHT, ctrl);
                return 0;
            }
            int dx, dy;
            solve_offset(&s.move, &dx, &dy);
            s.fromX = s.x, s.fromY = s.y;
            s.toX = clamp_to(s.x + dx, 0, screen.width - 1);
            s.toY = clamp_to(s.y + dy, 0, screen.height - 1);
            s.step = 0;
            s.phase = SOLVE_CARRY;
            return 0;
        }
        case SOLVE_CARRY:
        case SOLVE_WINDOW:
            s.step++;
            if (s.step >= c.steps) s.phase = s.phase == SOLVE_WINDOW ? SOLVE_WINDOW_RELEASE : SOLVE_RELEASE;
            solver_input(CMD_MOVE, s.fromX + (s.toX - s.fromX) * s.step / c.steps,
                         s.fromY + (s.toY - s.fromY) * s.step / c.steps, 0, 0);
            return 0;
        case SOLVE_WINDOW_RELEASE:
            s.phase = SOLVE_PLAN;
            solver_input(CMD_RELEASE, s.x, s.y, SDL_BUTTON_LEFT, 0);
            return 0;
        case SOLVE_RELEASE:
            s.phase = SOLVE_CHECK;
            solver_input(CMD_RELEASE, s.x, s.y, SDL_BUTTON_LEFT, 0);
            return 0;
        case SOLVE_CHECK:
            if (!solve_carrying()) {
                solver_judge();
                return 0;
            }
            s.phase = SOLVE_DROP;
            solver_input(CMD_PRESS, s.x, s.y, SDL_BUTTON_LEFT, 0);
            return 0;
        case SOLVE_DROP:
            solver_judge();
            solver_input(CMD_RELEASE, s.x, s.y, SDL_BUTTON_LEFT, 0);
            return 0;
        default:
            return 1;
    }
}

// The solver has ended at `tick`: the lines after it count from now.
void solver_finish(size_t index, int tick) {
    std::vector<Command>& commands = g_script.commands;
    const int shift = tick - commands[index].tick;
    for (size_t j = index + 1; j < commands.size(); j++)
        commands[j].tick += shift;
    commands[index].done = true;
    g_solver = {};
}

}  // namespace

int script_parse_text(const char* text, char* error, int error_size) {
    script_free();
    std::vector<Command> commands;
    int previous = 0;
    int line_number = 0;
    const char* p = text;
    while (*p) {
        const char* end = std::strchr(p, '\n');
        std::string line = end ? std::string(p, end) : std::string(p);
        p = end ? end + 1 : p + line.size();
        line_number++;
        // '#' starts a comment; typed text keeps every character after "type".
        size_t hash = line.find('#');
        size_t type_at = line.find(" type");
        if (hash != std::string::npos && (type_at == std::string::npos || hash < type_at)) line.resize(hash);
        std::vector<std::string> words = split_words(line);
        if (words.empty()) continue;
        int tick;
        bool relative = words[0][0] == '+';
        if (!to_int(relative ? words[0].substr(1) : words[0], &tick) || tick < 0) {
            std::snprintf(error, error_size, "script: line %d: the line must start with a tick", line_number);
            return 0;
        }
        if (relative) tick += previous;
        previous = tick;
        std::string rest = line.substr(line.find(words[0]) + words[0].size());
        std::string problem = parse_command(tick, rest, &commands);
        if (problem.empty() && commands.size() > COMMANDS_MAX) problem = "the script is too long";
        if (!problem.empty()) {
            std::snprintf(error, error_size, "script: line %d: %s", line_number, problem.c_str());
            return 0;
        }
    }
    // Commands run by tick; lines of one tick keep their order.
    std::stable_sort(commands.begin(), commands.end(),
                     [](const Command& a, const Command& b) { return a.tick < b.tick; });
    g_script.commands = std::move(commands);
    g_script.next = 0;
    g_script.active = 1;
    return 1;
}

int script_load(const char* path, char* error, int error_size) {
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::snprintf(error, error_size, "script: cannot read %s", path);
        return 0;
    }
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    std::fclose(f);
    return script_parse_text(text.c_str(), error, error_size);
}

void script_free() {
    g_script = {};
    g_solver = {};
}
int script_active() { return g_script.active; }

void script_before_tick(int tick) {
    if (!g_script.active) return;
    // Input of this tick (and any earlier tick not yet run) arrives now; snapshots and quit wait.
    // An autosolve holds every later line until it ends.
    for (size_t i = g_script.next; i < g_script.commands.size() && g_script.commands[i].tick <= tick; i++) {
        Command& c = g_script.commands[i];
        if (c.kind == CMD_AUTOSOLVE) {
            if (!c.done && solver_step(c, tick)) solver_finish(i, tick);
            if (!c.done) break;  // a modal loop inside the step may have finished it already
            continue;
        }
        if (c.kind == CMD_SNAP || c.kind == CMD_QUIT || c.done) continue;
        c.done = true;  // first: a modal loop opened by this input must not run it again
        run_input(c);
    }
}

void script_after_tick(int tick) {
    if (!g_script.active) return;
    while (g_script.next < g_script.commands.size() && g_script.commands[g_script.next].tick <= tick) {
        const Command& head = g_script.commands[g_script.next];
        if (head.kind == CMD_AUTOSOLVE && !head.done) return;
        Command c = g_script.commands[g_script.next++];
        if (c.kind == CMD_SNAP) {
            if (!script_write_png(c.text.c_str()))
                std::fprintf(stderr, "script: cannot write %s\n", c.text.c_str());
        } else if (c.kind == CMD_QUIT) {
            // Said before the close, so a watcher can time the start-up up to this tick's frame.
            std::fprintf(stderr, "script: quit at tick %d\n", tick);
            std::fflush(stderr);
            kernel_close_request();
            return;
        }
    }
}

int script_write_png(const char* path) {
    const uint8_t* top = screen_top_row();
    if (!top) return 0;
    FILE* f = std::fopen(path, "wb");
    if (!f) return 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        std::remove(path);
        return 0;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, screen.width, screen.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bgr(png);  // the frame buffer holds blue, green, red
    png_write_info(png, info);
    const int stride = ((screen.bits * screen.width + 31) / 8) & ~3;
    for (int y = 0; y < screen.height; y++)
        png_write_row(png, (png_const_bytep)(top - (ptrdiff_t)y * stride));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}
