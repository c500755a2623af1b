// loader/ldcore.h -- what the gift extractor does, apart from its window: unpacking the gift
// into a private work folder, finding or installing the game, delivering the boxes, telling a
// running game and starting it. The window (ldui) and the unattended run (main) both drive it.
//
// Texts are Windows-1252 bytes with "\r\n" line ends, exactly as the dialog's text area shows
// them; the fixed texts are the extractor's own Dutch literals.
#pragma once
#include <string>
#include <vector>

#include "platform/sys.h"

// Where the extractor's lines go: the dialog's text area, or standard error when unattended.
using LdAppend = void (*)(const char* text);
// Called after each record is unpacked, so the progress bar steps and the windows redraw.
using LdProgress = void (*)(int done, int count);

inline constexpr const char* LD_TITLE = "Lumavex Gift";

// The game's harness switches as the extractor read them: the dialog runs headless and from a
// script with them; `--headless` without a script is the unattended run of main.
struct LdOptions {
    SysOptions sys;      // --headless, --window WxH, --scale N
    const char* script;  // --script FILE, or null
};
extern LdOptions ld_options;

enum LdUnpackResult {
    LD_UNPACKED,   // the work folder holds the gift's files
    LD_NO_MARKER,  // "Coupler not found."
    LD_EMPTY,      // "Error:body is empty."
    LD_NO_FOLDER,  // the work folder could not be made
    LD_NO_FILE,    // the gift's own file could not be read
};

struct LdGift {
    std::string work;                // the private work folder (mode 0700), empty until made
    std::string game;                // the game folder; empty until found or installed
    int records = 0;                 // whole records in the body
    int truncated = 0;               // the body ends in a damaged or cut-off record
    int skipped = 0;                 // records refused (unsafe name, too many) or not written
    int delivered = 0;               // boxes copied into the puzzles folder
    int already = 0;                 // boxes the receiver had already
    int failed = 0;                  // boxes that could not be read or copied
    int installer_ran = 0;           // the gift's installer was run
    std::vector<std::string> boxes;  // names (without ".pzl") of the boxes unpacked, in record order
};

// Makes the work folder in the user's temporary folder and unpacks the gift file `self` into it.
// LD_UNPACKED, or the failure with the work folder already removed again.
int ld_unpack(LdGift* gift, const char* self, LdProgress progress);
const char* ld_unpack_message(int result);  // the message box text of a failed unpack

// "Lumavex Gift", or "Lumavex Gift - <sender>" when the gift names its sender (shortened to fit).
std::string ld_title(const LdGift* gift);
// After unpacking: the dedication (as text, never interpreted) and the line asking to press
// Unpack.
void ld_show_texts(const LdGift* gift, LdAppend append);
// The Unpack button: finds the game (installing it from the gift when it is missing), copies
// the boxes without duplicates, tells a running game of each new box, and appends every line.
void ld_deliver(LdGift* gift, LdAppend append);
// The command that starts the game (program path first); empty when no game folder is known.
std::string ld_game_command(const LdGift* gift);
int ld_start_game(const LdGift* gift);  // detached, in the game folder; 1 when started
// Deletes the files of the work folder and the folder itself (when the dialog closes, always).
void ld_remove_work(LdGift* gift);
// From now on SIGINT and SIGTERM stop a running installer, remove the work folder and end the
// process as the signal would (the unattended run; the dialog hears them as a close request).
void ld_catch_signals();
// Where the extractor's own notes go (records refused while unpacking); standard error unless set.
void ld_set_log(LdAppend log);

// The dialog (ldui.cpp): shows the gift and runs until it closes; the process exit code.
int ld_ui_run(LdGift* gift, const char* self);
