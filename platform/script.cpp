// platform/script.cpp -- the automation harness: reading a script into commands ordered by tick,
// the commands programs add, running them around the ticks, scripted input as SDL events, and
// the frame as a PNG.
//
// Sections: commands and state -- reading a line -- reading a script -- input -- running --
// the snapshot.
#include "platform/script.h"

#include <SDL.h>
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/limits.h"
#include "platform/io_debug.h"
#include "platform/io_file.h"
#include "platform/screen.h"
#include "platform/sys.h"

// Commands and state ----------------------------------------------------------------------------

namespace {

constexpr size_t COMMANDS_MAX = 1000000;       // commands of one script, drags expanded
constexpr size_t SCRIPT_FILE_MAX = 16u << 20;  // bytes of a script file
constexpr int NUMBER_MIN = -1000000, NUMBER_MAX = 100000000;
// The latest tick a line may name, with room for the longest drag after it.
constexpr int SCRIPT_TICK_MAX = 1000000000;

enum CommandKind { CMD_INPUT, CMD_TYPE, CMD_SNAP, CMD_QUIT, CMD_CALL };

struct Command {
    int tick;
    int kind;
    ScriptInput input;  // CMD_INPUT
    std::string text;   // CMD_TYPE: the typed text; CMD_SNAP: the path
    int added;          // CMD_CALL: which added command
    ScriptCall call;    // CMD_CALL
    bool done;          // input sent, or the added command has ended
};

struct Script {
    std::vector<Command> commands;  // in the order they run
    size_t next;                    // first command whose snapshot or quit has not run
    int held;                       // SDL button mask held by scripted presses
    int active;
};
Script g_script;

struct Added {
    const char* name;
    ScriptParse parse;
    ScriptStep step;
};

struct Harness {
    Added added[SCRIPT_COMMAND_MAX];  // the commands the program added
    int addedCount;
    void (*close)();  // the program's close
    int closeAtEnd;   // the program closes once the last line has run
};
Harness g_harness;

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
    {"plus", SDLK_PLUS},
    {"minus", SDLK_MINUS},
    {"home", SDLK_HOME},
    {"end", SDLK_END},
};

}  // namespace

int script_key_code(const std::string& name) {
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

bool script_number(const std::string& word, int* out) {
    if (word.empty()) return false;
    char* end;
    long v = std::strtol(word.c_str(), &end, 10);
    if (*end || v < NUMBER_MIN || v > NUMBER_MAX) return false;
    *out = (int)v;
    return true;
}

// Reading a line ---------------------------------------------------------------------------------
//
// A line's command becomes one or more commands: a click is a press and, a tick later, a
// release; a drag a press, a move a tick for TICKS ticks, and a release.

namespace {

struct Line {
    int tick;
    std::string verb;
    std::vector<std::string> args;  // the words after the verb
    std::string rest;               // the line after its tick (typed text keeps its blanks)
};

using Commands = std::vector<Command>;

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

// The optional trailing modifier words, in any order, each at most once; false when the words
// left are not `count`.
bool take_modifiers(std::vector<std::string>& args, size_t count, ScriptInput* in) {
    in->ctrl = in->shift = in->alt = 0;
    while (args.size() > count) {
        const std::string& w = args.back();
        int* flag = w == "ctrl" ? &in->ctrl : w == "shift" ? &in->shift : w == "alt" ? &in->alt : nullptr;
        if (!flag || *flag) return false;
        *flag = 1;
        args.pop_back();
    }
    return args.size() == count;
}

Command input_command(int tick, const ScriptInput& in) {
    Command c = {};
    c.tick = tick;
    c.kind = CMD_INPUT;
    c.input = in;
    return c;
}

// The input at `tick` and, unless `release_kind` is -1, its release a tick later (click, key).
void push_input(int tick, ScriptInput in, int release_kind, Commands* out) {
    out->push_back(input_command(tick, in));
    if (release_kind < 0) return;
    in.kind = release_kind;
    out->push_back(input_command(tick + 1, in));
}

// move, press, release, click
std::string parse_pointer(Line& l, Commands* out) {
    const bool move = l.verb == "move";
    ScriptInput in = {};
    if (!take_modifiers(l.args, move ? 2 : 3, &in) || !script_number(l.args[0], &in.x) ||
        !script_number(l.args[1], &in.y))
        return "expected " + l.verb + (move ? " X Y" : " X Y BUTTON [ctrl] [shift] [alt]");
    if (move) {
        in.kind = SCRIPT_MOVE;
        push_input(l.tick, in, -1, out);
        return "";
    }
    in.button = l.args[2] == "left" ? SCRIPT_LEFT : l.args[2] == "right" ? SCRIPT_RIGHT : 0;
    if (!in.button) return "the button must be left or right";
    in.kind = l.verb == "release" ? SCRIPT_RELEASE : SCRIPT_PRESS;
    push_input(l.tick, in, l.verb == "click" ? SCRIPT_RELEASE : -1, out);
    return "";
}

std::string parse_drag(Line& l, Commands* out) {
    int x0, y0, x1, y1, ticks;
    const std::vector<std::string>& a = l.args;
    if (a.size() != 5 || !script_number(a[0], &x0) || !script_number(a[1], &y0) ||
        !script_number(a[2], &x1) || !script_number(a[3], &y1) || !script_number(a[4], &ticks) || ticks < 1 ||
        ticks > SCRIPT_DRAG_TICKS_MAX)
        return "expected drag X0 Y0 X1 Y1 TICKS";
    ScriptInput in = {SCRIPT_PRESS, x0, y0, SCRIPT_LEFT};
    out->push_back(input_command(l.tick, in));
    in.kind = SCRIPT_MOVE;
    for (int k = 1; k <= ticks; k++) {
        in.x = x0 + (int)((long long)(x1 - x0) * k / ticks);
        in.y = y0 + (int)((long long)(y1 - y0) * k / ticks);
        out->push_back(input_command(l.tick + k, in));
    }
    in.kind = SCRIPT_RELEASE;
    out->push_back(input_command(l.tick + ticks, in));
    return "";
}

// keydown, keyup, key
std::string parse_key(Line& l, Commands* out) {
    ScriptInput in = {};
    if (!take_modifiers(l.args, 1, &in)) return "expected " + l.verb + " KEY [ctrl] [shift] [alt]";
    if (!(in.key = script_key_code(l.args[0]))) return "unknown key " + l.args[0];
    in.kind = l.verb == "keyup" ? SCRIPT_KEYUP : SCRIPT_KEYDOWN;
    push_input(l.tick, in, l.verb == "key" ? SCRIPT_KEYUP : -1, out);
    return "";
}

std::string parse_wheel(Line& l, Commands* out) {
    ScriptInput in = {SCRIPT_MOVE};  // the pointer goes there first
    if (l.args.size() != 3 || !script_number(l.args[0], &in.x) || !script_number(l.args[1], &in.y) ||
        !script_number(l.args[2], &in.steps) || in.steps == 0)
        return "expected wheel X Y STEPS";
    out->push_back(input_command(l.tick, in));
    in.kind = SCRIPT_WHEEL;
    out->push_back(input_command(l.tick, in));
    return "";
}

Command text_command(int tick, int kind, const std::string& text) {
    Command c = {};
    c.tick = tick;
    c.kind = kind;
    c.text = text;
    return c;
}

std::string parse_type(Line& l, Commands* out) {
    size_t at = l.rest.find("type") + 4;
    if (at < l.rest.size() && l.rest[at] == ' ') at++;
    out->push_back(text_command(l.tick, CMD_TYPE, l.rest.substr(at)));
    return "";
}

std::string parse_snap(Line& l, Commands* out) {
    if (l.args.size() != 1) return "expected snap PATH";
    out->push_back(text_command(l.tick, CMD_SNAP, l.args[0]));
    return "";
}

std::string parse_quit(Line& l, Commands* out) {
    if (!l.args.empty()) return "quit takes nothing";
    out->push_back(text_command(l.tick, CMD_QUIT, ""));
    return "";
}

std::string parse_added(Line& l, int index, Commands* out) {
    Command c = {};
    c.tick = l.tick;
    c.kind = CMD_CALL;
    c.added = index;
    c.call.tick = l.tick;
    std::string problem = g_harness.added[index].parse(l.args, &c.call);
    if (problem.empty()) out->push_back(c);
    return problem;
}

using VerbParse = std::string (*)(Line& l, Commands* out);
struct Verb {
    const char* name;
    VerbParse parse;
};
constexpr Verb VERBS[] = {
    {"move", parse_pointer}, {"press", parse_pointer}, {"release", parse_pointer}, {"click", parse_pointer},
    {"drag", parse_drag},    {"keydown", parse_key},   {"keyup", parse_key},       {"key", parse_key},
    {"wheel", parse_wheel},  {"type", parse_type},     {"snap", parse_snap},       {"quit", parse_quit},
};

// One line after its tick into commands; "" or the problem.
std::string parse_command(int tick, const std::string& rest, Commands* out) {
    std::vector<std::string> words = split_words(rest);
    if (words.empty()) return "a command is missing";
    Line l = {tick, words[0], std::vector<std::string>(words.begin() + 1, words.end()), rest};
    for (const Verb& v : VERBS)
        if (l.verb == v.name) return v.parse(l, out);
    for (int i = 0; i < g_harness.addedCount; i++)
        if (l.verb == g_harness.added[i].name) return parse_added(l, i, out);
    return "unknown command " + l.verb;
}

}  // namespace

// Reading a script -------------------------------------------------------------------------------

int script_parse_text(const char* text, char* error, int error_size) {
    script_free();
    Commands commands;
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
        if (!script_number(relative ? words[0].substr(1) : words[0], &tick) || tick < 0) {
            std::snprintf(error, error_size, "script: line %d: the line must start with a tick", line_number);
            return 0;
        }
        if (relative && (long long)tick + previous > SCRIPT_TICK_MAX) {
            std::snprintf(error, error_size, "script: line %d: the tick is later than %d", line_number,
                          SCRIPT_TICK_MAX);
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
    // A regular file only (a pipe or a device would never end) and of a script's size.
    FILE* f = io_fopen_read(path);
    if (!f) {
        std::snprintf(error, error_size, "script: cannot read %s", path);
        return 0;
    }
    std::string text;
    char buf[4096];
    size_t n;
    while (text.size() <= SCRIPT_FILE_MAX && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    std::fclose(f);
    if (text.size() > SCRIPT_FILE_MAX) {
        std::snprintf(error, error_size, "script: %s is larger than %zu bytes", path, SCRIPT_FILE_MAX);
        return 0;
    }
    return script_parse_text(text.c_str(), error, error_size);
}

void script_free() { g_script = {}; }
int script_active() { return g_script.active; }
int script_finished() { return g_script.active && g_script.next == g_script.commands.size(); }

void script_add_command(const char* name, ScriptParse parse, ScriptStep step) {
    for (int i = 0; i < g_harness.addedCount; i++)
        if (!std::strcmp(g_harness.added[i].name, name)) return;
    if (g_harness.addedCount >= SCRIPT_COMMAND_MAX)
        io_fatal("script_add_command: more than %d commands\n", SCRIPT_COMMAND_MAX);
    g_harness.added[g_harness.addedCount++] = {name, parse, step};
}

void script_forget_commands() { g_harness.addedCount = 0; }

void script_set_close(void (*close)(), int close_at_end) {
    g_harness.close = close;
    g_harness.closeAtEnd = close_at_end;
}

// Input ------------------------------------------------------------------------------------------

namespace {

int sdl_button(int button) { return button == SCRIPT_RIGHT ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT; }

// Ctrl and Shift hold for the one event, whatever the keyboard says.
void dispatch_with_modifiers(const ScriptInput& in, const SDL_Event& e) {
    sys_force_ctrl(in.ctrl);
    sys_force_shift(in.shift);
    sys_dispatch_sdl_event(e);
    sys_force_ctrl(-1);
    sys_force_shift(-1);
}

void send_mouse(const ScriptInput& in, int type) {
    SDL_Event e = {};
    int s = sys_scale();
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = in.x * s;
        e.motion.y = in.y * s;
        e.motion.state = g_script.held;
    } else {
        e.button.button = (uint8_t)sdl_button(in.button);
        e.button.x = in.x * s;
        e.button.y = in.y * s;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
    }
    dispatch_with_modifiers(in, e);
}

// In pieces that fit one text event, each ending on a whole UTF-8 character.
void send_text(const std::string& text) {
    SDL_Event e;
    for (size_t at = 0, n; at < text.size(); at += n) {
        n = std::min(text.size() - at, sizeof e.text.text - 1);
        while (at + n < text.size() && n > 1 && ((unsigned char)text[at + n] & 0xC0) == 0x80)
            n--;
        e = {};
        e.type = SDL_TEXTINPUT;
        std::memcpy(e.text.text, text.data() + at, n);
        sys_dispatch_sdl_event(e);
    }
}

}  // namespace

void script_send(const ScriptInput& in) {
    SDL_Event e = {};
    switch (in.kind) {
        case SCRIPT_MOVE:
            send_mouse(in, SDL_MOUSEMOTION);
            break;
        case SCRIPT_PRESS:
            g_script.held |= SDL_BUTTON(sdl_button(in.button));
            send_mouse(in, SDL_MOUSEBUTTONDOWN);
            break;
        case SCRIPT_RELEASE:
            g_script.held &= ~SDL_BUTTON(sdl_button(in.button));
            send_mouse(in, SDL_MOUSEBUTTONUP);
            break;
        case SCRIPT_KEYDOWN:
        case SCRIPT_KEYUP:
            e.type = in.kind == SCRIPT_KEYDOWN ? SDL_KEYDOWN : SDL_KEYUP;
            e.key.keysym.sym = in.key;
            e.key.keysym.mod = (uint16_t)((in.ctrl ? KMOD_LCTRL : 0) | (in.shift ? KMOD_LSHIFT : 0) |
                                          (in.alt ? KMOD_LALT : 0));
            dispatch_with_modifiers(in, e);
            break;
        case SCRIPT_WHEEL:
            e.type = SDL_MOUSEWHEEL;
            e.wheel.y = in.steps;
            e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
            sys_dispatch_sdl_event(e);
            break;
        default:
            break;
    }
}

// Running ----------------------------------------------------------------------------------------

namespace {

void close_program() {
    if (g_harness.close) g_harness.close();
}

// The added command at `index` has ended at `tick`: the lines after it count from now.
void call_ended(size_t index, int tick) {
    Commands& commands = g_script.commands;
    const int shift = tick - commands[index].tick;
    for (size_t j = index + 1; j < commands.size(); j++)
        commands[j].tick += shift;
    commands[index].done = true;
}

void step_call(size_t index, int tick) {
    Command& c = g_script.commands[index];
    const ScriptCall call = c.call;
    c.call.steps_done++;  // first: a modal loop opened by the step runs the next steps
    const int result = g_harness.added[c.added].step(call, tick);
    if (result == SCRIPT_GOING || c.done) return;  // done: a modal loop inside the step ended it
    if (result == SCRIPT_FAILED) close_program();
    call_ended(index, tick);
}

}  // namespace

void script_before_tick(int tick) {
    if (!g_script.active) return;
    // Input of this tick (and any earlier tick not yet run) arrives now; snapshots and quit wait.
    // An added command holds every later line until it ends.
    for (size_t i = g_script.next; i < g_script.commands.size() && g_script.commands[i].tick <= tick; i++) {
        Command& c = g_script.commands[i];
        if (c.kind == CMD_CALL) {
            if (!c.done) step_call(i, tick);
            if (!c.done) break;  // a modal loop inside the step may have ended it already
            continue;
        }
        if (c.kind == CMD_SNAP || c.kind == CMD_QUIT || c.done) continue;
        c.done = true;  // first: a modal loop opened by this input must not send it again
        if (c.kind == CMD_TYPE)
            send_text(c.text);
        else
            script_send(c.input);
    }
}

void script_after_tick(int tick) {
    if (!g_script.active) return;
    while (g_script.next < g_script.commands.size() && g_script.commands[g_script.next].tick <= tick) {
        const Command& head = g_script.commands[g_script.next];
        if (head.kind == CMD_CALL && !head.done) return;
        g_script.next++;
        if (head.kind == CMD_SNAP) {
            if (!script_write_png(head.text.c_str()))
                std::fprintf(stderr, "script: cannot write %s\n", head.text.c_str());
        } else if (head.kind == CMD_QUIT) {
            // Said before the close, so a watcher can time the start-up up to this tick's frame.
            std::fprintf(stderr, "script: quit at tick %d\n", tick);
            std::fflush(stderr);
            close_program();
            return;
        }
    }
    if (g_harness.closeAtEnd && script_finished()) close_program();
}

// The snapshot ----------------------------------------------------------------------------------

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
