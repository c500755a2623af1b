// loader/main.cpp -- the gift extractor's entry: the game's harness switches, then the dialog,
// or with `--headless` (and no script for the dialog) the unattended run that tests use: the
// lines go to standard error, the game is not started but its command is printed, and the exit
// code says whether every box of the gift arrived.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/str.h"
#include "loader/ldcore.h"

namespace {

constexpr const char* SELF = "/proc/self/exe";  // the gift is this program's own file

// The switches the game takes, with the game's ranges; 0 after a message on a malformed one.
int read_options(int argc, char** argv, LdOptions* out) {
    *out = {};
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        int a = 0, b = 0;
        char end = 0;
        if (!std::strcmp(arg, "--headless")) {
            out->sys.headless = 1;
            continue;
        }
        if (!std::strcmp(arg, "--window")) {
            if (!value || std::sscanf(value, "%dx%d%c", &a, &b, &end) != 2 || a < 64 || b < 64 || a > 16384 ||
                b > 16384) {
                std::fprintf(stderr, "loader: --window needs WIDTHxHEIGHT, each 64 to 16384 (got \"%s\")\n",
                             value ? value : "");
                return 0;
            }
            out->sys.window_w = a;
            out->sys.window_h = b;
        } else if (!std::strcmp(arg, "--scale")) {
            if (!value || std::sscanf(value, "%d%c", &a, &end) != 1 || a < 1 || a > 8) {
                std::fprintf(stderr, "loader: --scale needs a whole number from 1 to 8 (got \"%s\")\n",
                             value ? value : "");
                return 0;
            }
            out->sys.scale = a;
        } else if (!std::strcmp(arg, "--script")) {
            if (!value || !value[0]) {
                std::fprintf(stderr, "loader: --script needs a file name\n");
                return 0;
            }
            out->script = value;
        } else {
            continue;  // anything else is not the extractor's, as in the game
        }
        i++;
    }
    return 1;
}

// A text area line on standard error: Windows-1252 turned into UTF-8, "\r\n" into "\n". Control
// bytes of a gift's texts and names are shown as '?', so they never reach a terminal as
// control sequences.
void append_stderr(const char* text) {
    static char plain[16384], utf8[3 * 16384 + 1];
    size_t n = 0;
    for (const char* p = text; *p && n + 1 < sizeof plain; p++) {
        const unsigned char c = (unsigned char)*p;
        const bool line_end = c == '\n' || (c == '\r' && p[1] == '\n');
        const bool control = (c < 32 && c != '\t' && !line_end) || c == 0x7F || c == 0x81 || c == 0x8D ||
                             c == 0x8F || c == 0x90 || c == 0x9D;
        plain[n++] = control ? '?' : (char)c;
    }
    plain[n] = 0;
    str_cp1252_to_utf8(plain, utf8, sizeof utf8);
    std::string out;
    for (const char* p = utf8; *p; p++)
        if (*p != '\r' || p[1] != '\n') out += *p;
    std::fputs(out.c_str(), stderr);
}

int run_unattended() {
    ld_catch_signals();
    LdGift gift;
    const int unpacked = ld_unpack(&gift, SELF, nullptr);
    if (unpacked != LD_UNPACKED) {
        std::fprintf(stderr, "%s\n", ld_unpack_message(unpacked));
        return 1;
    }
    append_stderr((ld_title(&gift) + "\r\n").c_str());
    ld_show_texts(&gift, append_stderr);
    ld_deliver(&gift, append_stderr);
    const std::string command = ld_game_command(&gift);
    if (!command.empty()) std::printf("%s\n", command.c_str());
    std::fflush(stdout);
    ld_remove_work(&gift);
    const bool whole = !gift.truncated && !gift.skipped && gift.failed == 0 && !gift.boxes.empty() &&
                       gift.delivered + gift.already == (int)gift.boxes.size();
    return whole ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);  // a game that goes away while told of a box must not end us
    if (!read_options(argc, argv, &ld_options)) return 2;
    if (!ld_options.sys.headless || ld_options.script) {
        LdGift gift;
        return ld_ui_run(&gift, SELF);
    }
    return run_unattended();
}
