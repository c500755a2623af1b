// tools/mkbox/mkbox.h -- makes a box from a picture the way the create room saves a new one:
// import the picture, fit it to the play area of a screen (unless it keeps its own size), clamp the settings,
// write the picture working file as a JPEG of quality 80, make a new stamp and write the box.
#pragma once
#include <string>

struct MkboxOptions {
    std::string picture;             // BMP, JPEG or TIFF file
    std::string name;                // box name (a plain file name, at most 63 characters)
    std::string folder = "puzzles";  // where the box goes
    int pieceSize = 32;              // the create room's defaults
    int irregularity = 0;
    int edgeStyle = 1;
    int rotation = 0;
    int hidden = 0;
    std::string tune;  // standard MIDI file, or empty
    int repeat = 0;
    std::string description;  // UTF-8; stored as Windows-1252
    std::string address;
    int screenWidth = 1920;  // the picture is fitted to this screen's play area
    int screenHeight = 1080;
    int keepSize = 0;  // the picture keeps its own size (a large puzzle, played on a larger table)
};

// Parses the command line; 0 with a one-line message in *error for a bad one.
int mkbox_parse(int argc, const char* const* argv, MkboxOptions* options, std::string* error);
// Makes the box in the current game folder (working files in "sfiles"). 0 with a one-line
// message in *error when the picture, the tune or the box cannot be used or written.
int mkbox_make(const MkboxOptions& options, std::string* error, int* pieces);

// Windows-1252 bytes of a UTF-8 text; characters that code page lacks become '?'.
std::string mkbox_text_1252(const std::string& utf8);
// 1 when the file is a standard MIDI file: an "MThd" head of six bytes, format 0..2, and the
// announced number of "MTrk" chunks, each inside the file.
int mkbox_midi_ok(const std::string& path);
