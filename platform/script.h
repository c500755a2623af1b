// platform/script.h -- the automation harness of both programs, the game and the gift extractor:
// a script of timed input, snapshots and quit, read whole at start. Its input becomes SDL events
// handed to `sys_dispatch_sdl_event`, so it travels the whole translation path of real input.
//
// One command a line; '#' starts a comment (after `type` it is typed text). Each line begins with
// a tick: a number is a tick counted from 0 when the program is ready, +N is N ticks after the
// previous line. The commands of every program:
//   move X Y                       press, release, click X Y BUTTON [MODS]
//   drag X0 Y0 X1 Y1 TICKS         wheel X Y STEPS
//   keydown, keyup, key KEY [MODS] type TEXT
//   snap PATH                      quit
// BUTTON is left or right; MODS are ctrl, shift and alt, each at most once, in any order. A
// program adds commands of its own (the game's autosolve); a line naming a command that the
// program has not added is refused like any unknown command.
#pragma once
#include <string>
#include <vector>

// --- Reading ---
// The whole script; 0 with "script: line N: PROBLEM" (or "script: cannot read PATH") in error.
int script_load(const char* path, char* error, int error_size);
int script_parse_text(const char* text, char* error, int error_size);  // the same, from memory
void script_free();                                                    // the added commands stay
int script_active();
int script_finished();  // every line has run

inline constexpr int SCRIPT_DRAG_TICKS_MAX = 100000;  // one carry of the pointer lasts at most this long

// --- Commands a program adds ---
// A command that runs over several ticks: from its line's tick on, its step runs once a tick,
// before that tick's other input, and every later line waits until it has ended; those lines then
// count their ticks from the tick it ended on.
inline constexpr int SCRIPT_CALL_ARGS = 4;
struct ScriptCall {
    int tick;                    // the tick its line gives
    int steps_done;              // steps run before this one: 0 on its first tick
    int args[SCRIPT_CALL_ARGS];  // what its parser read
};
enum ScriptStepResult {
    SCRIPT_GOING,   // it goes on next tick
    SCRIPT_ENDED,   // it has ended
    SCRIPT_FAILED,  // it has ended, and the program closes
};
// Reads the words after the command's name into call->args: "" or the problem ("expected ...").
using ScriptParse = std::string (*)(const std::vector<std::string>& args, ScriptCall* call);
using ScriptStep = int (*)(const ScriptCall& call, int tick);  // a ScriptStepResult
void script_add_command(const char* name, ScriptParse parse, ScriptStep step);
void script_forget_commands();  // back to the commands of every program

// The program's close (the game's close request, the extractor's Cancel), for `quit` and a
// command that failed; with close_at_end also once the last line has run (the extractor, headless).
void script_set_close(void (*close)(), int close_at_end);

// --- Running: the loop calls these around each pass that raises the tick `tick` ---
void script_before_tick(int tick);  // that tick's input, before the tick and its frame
void script_after_tick(int tick);   // that tick's snapshots and quit, after its frame

// --- Input as a line sends it ---
enum ScriptInputKind {
    SCRIPT_MOVE,
    SCRIPT_PRESS,
    SCRIPT_RELEASE,
    SCRIPT_KEYDOWN,
    SCRIPT_KEYUP,
    SCRIPT_WHEEL
};
inline constexpr int SCRIPT_LEFT = 1;  // buttons
inline constexpr int SCRIPT_RIGHT = 2;
struct ScriptInput {
    int kind;
    int x, y;    // frame pixels (mouse kinds)
    int button;  // SCRIPT_LEFT or SCRIPT_RIGHT (press and release)
    int key;     // script_key_code (key kinds)
    int steps;   // wheel steps, positive away from the user
    int ctrl, shift, alt;
};
void script_send(const ScriptInput& input);
int script_key_code(const std::string& name);           // the key a script names; 0 for no key
bool script_number(const std::string& word, int* out);  // a whole number as a script writes it

// Writes the whole frame buffer as a PNG, right way up; 1 on success.
int script_write_png(const char* path);
