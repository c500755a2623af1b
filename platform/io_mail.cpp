// platform/io_mail.cpp -- mail through `xdg-email`: finding it on the PATH, running it for one
// message and turning its exit code into the mail result codes and their texts.
#include "platform/io_mail.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/limits.h"
#include "base/str.h"
#include "platform/io_debug.h"
#include "platform/io_file.h"
#include "platform/sys.h"

namespace {

constexpr const char* MAIL_TOOL = "xdg-email";
// The tool returns once the mail program has the message; a mail program that is not running
// yet may keep it longer, and the game waits no longer than this.
constexpr int MAIL_WAIT_MS = 30000;
constexpr const char* PENDING_TEXT =
    "The mail program is still busy with the message; it is sent from there.\nResult code:0";
constexpr int RESULT_TEXT_MAX = 512;

struct MailState {
    char tool[FILE_WRITE_PATH_MAX];  // full path of xdg-email; empty when mail is unavailable
    char result[RESULT_TEXT_MAX];    // the outcome of the last send
    int pending;                     // the last send timed out with the tool still running
    int waitMs;                      // how long a send waits, MAIL_WAIT_MS unless set
};
MailState g_mail;

struct CodeText {
    int code;
    const char* text;
};
constexpr CodeText CODE_TEXTS[] = {
    {0, "The call succeeded and the message was sent."},
    {1, "The user canceled one of the dialog boxes. No message was sent."},
    {2, "One or more unspecified errors occurred. No message was sent."},
    {3,
     "There was no default logon, and the user failed to log on successfully when the logon dialog "
     "box was displayed. No message was sent."},
    {5, "There was insufficient memory to proceed. No message was sent."},
    {9, "There were too many file attachments. No message was sent."},
    {10, "There were too many recipients. No message was sent."},
    {11, "The specified attachment was not found. No message was sent."},
    {12, "The specified attachment could not be opened. No message was sent."},
    {14, "A recipient did not appear in the address list. No message was sent."},
    {15, "The type of a recipient was not MAPI_TO, MAPI_CC, or MAPI_BCC. No message was sent."},
    {18, "The text in the message was too large. No message was sent."},
    {21,
     "A recipient matched more than one of the recipient descriptor structures and MAPI_DIALOG was "
     "not set. No message was sent."},
    {25, "One or more recipients were invalid or did not resolve to any address."},
};
constexpr const char* UNKNOWN_CODE_TEXT = "The unknown error code. No message was sent.";

// xdg-email's exit codes: 1 syntax error, 2 a file missing, 3 a required tool missing, 4 the
// action failed, 5 no permission to read a file.
int result_code(int exitCode) {
    switch (exitCode) {
        case 0:
            return 0;
        case 2:
            return 11;
        case 5:
            return 12;
        default:  // 1, 3, 4, unknown codes, not started, killed, timed out
            return 2;
    }
}

// The first executable file of that name in the folders of the PATH into out; 0 when none.
int find_on_path(const char* name, char* out, int size) {
    out[0] = 0;
    const char* path = std::getenv("PATH");
    for (const char* p = path; p;) {
        const char* end = std::strchr(p, ':');
        const int length = end ? (int)(end - p) : (int)std::strlen(p);
        // An empty entry is the current folder.
        const int n = length ? std::snprintf(out, (size_t)size, "%.*s/%s", length, p, name)
                             : std::snprintf(out, (size_t)size, "./%s", name);
        struct stat st;
        if (n > 0 && n < size && stat(out, &st) == 0 && S_ISREG(st.st_mode) && access(out, X_OK) == 0)
            return 1;
        p = end ? end + 1 : nullptr;
    }
    out[0] = 0;
    return 0;
}

// Windows-1252 text as the UTF-8 a command line of the desktop carries.
std::string utf8(const char* text) {
    std::string out(std::strlen(text) * 3 + 1, '\0');
    str_cp1252_to_utf8(text, out.data(), (int)out.size());
    out.resize(std::strlen(out.c_str()));
    return out;
}

}  // namespace

void io_mail_load() {
    find_on_path(MAIL_TOOL, g_mail.tool, sizeof g_mail.tool);
    g_mail.result[0] = 0;
    g_mail.pending = 0;
}

void io_mail_unload() { g_mail.tool[0] = 0; }

int io_mail_available() { return g_mail.tool[0] != 0; }

int io_mail_send(const char* subject, const char* note, const char* attachment, void (*waiting)()) {
    g_mail.result[0] = 0;
    g_mail.pending = 0;
    if (!io_mail_available()) return 0;
    const std::string subjectText = utf8(subject ? subject : ""), noteText = utf8(note ? note : "");
    // The mail program runs in a folder of its own: the attachment goes as a full path.
    char file[FILE_WRITE_PATH_MAX] = "";
    if (attachment && attachment[0] != '/')
        std::snprintf(file, sizeof file, "%s/%s", io_start_folder(), attachment);
    else if (attachment)
        std::snprintf(file, sizeof file, "%s", attachment);
    const char* argv[8];
    int n = 0;
    argv[n++] = g_mail.tool;
    argv[n++] = "--subject";
    argv[n++] = subjectText.c_str();
    if (!noteText.empty()) {
        argv[n++] = "--body";
        argv[n++] = noteText.c_str();
    }
    if (attachment) {
        argv[n++] = "--attach";
        argv[n++] = file;
    }
    argv[n] = nullptr;
    const int exitCode = sys_run(argv, g_mail.waitMs > 0 ? g_mail.waitMs : MAIL_WAIT_MS, waiting);
    g_mail.pending = exitCode == -2;
    if (g_mail.pending) {
        io_log("io_mail_send: %s is still running; the mail program has the message\n", MAIL_TOOL);
        std::snprintf(g_mail.result, sizeof g_mail.result, "%s", PENDING_TEXT);
        return 1;
    }
    const int code = result_code(exitCode);
    std::snprintf(g_mail.result, sizeof g_mail.result, "%s\nResult code:%i", io_mail_code_text(code), code);
    if (code != 0) io_log("io_mail_send: %s exited with %i\n", MAIL_TOOL, exitCode);
    return code == 0;
}

const char* io_mail_result_text() { return g_mail.result; }

int io_mail_pending() { return g_mail.pending; }

void io_mail_set_wait(int ms) { g_mail.waitMs = ms; }

const char* io_mail_code_text(int code) {
    for (const CodeText& c : CODE_TEXTS)
        if (c.code == code) return c.text;
    return UNKNOWN_CODE_TEXT;
}
