// gui/chooser.h -- the open and save dialogs: a modal file chooser made of the game's own
// windows (the places: home, the desktop's user folders that exist, the puzzles folder; folders
// first, then the files that match the filter; a path line, a name line; for pictures the
// thumbnail of the one under the pointer).
//
// Paths use '/'. Names on disk are UTF-8; names that Windows-1252 cannot show are shown with
// '?' and still chosen correctly.
#pragma once

// file: a buffer of PATH_MAX_GAME bytes that receives the chosen path; folder: the initial
// folder and, on success, the folder part of the chosen path (or null); filter: a pattern such
// as "*.jpg;*.bmp" ("*" or empty: every file). Returns 1 when a file was chosen, 0 when cancelled.
int chooser_open(char* file, char* folder, const char* filter);
// As chooser_open, with the thumbnail of the picture under the pointer (or the one selected)
// beside the list; a picture that gives none shows a plain icon.
int chooser_open_pictures(char* file, char* folder, const char* filter);
// As chooser_open, but the file need not exist; an existing file is only chosen after the
// overwrite question; a name typed without extension gets the filter's extension.
int chooser_save(char* file, char* folder, const char* filter);
void chooser_init();  // registers the chooser's windows (after the window manager)

// --- The listing behind the chooser (no windows) ---
#include "base/limits.h"

struct ChooserEntry {
    char name[PATH_MAX_GAME];  // the name's own bytes, as on disk
    int isFolder;
};
struct ChooserList {
    int count;
    int cut;  // 1 when the folder held more than FOLDER_ENTRY_MAX entries
    ChooserEntry entries[FOLDER_ENTRY_MAX];
};

// 1 when name matches one of the ';'-separated patterns ('*' and '?', ignoring ASCII case); an
// empty filter or "*" matches every name.
int chooser_filter_match(const char* name, const char* filter);
// Subfolders first, then the files that match the filter, each group sorted by name ignoring
// case; names starting with '.' are left out. 0 (and an empty list) when the folder cannot be read.
int chooser_list(const char* folder, const char* filter, ChooserList* list);
// A name from disk as Windows-1252 for the screen: '?' for bytes that are not UTF-8 and for
// characters Windows-1252 cannot show.
void chooser_shown_name(const char* name, char* out, int size);
// The text if it fits in width, else shortened with "..." (at the end, or with keepEnd at the
// start). measure gives a text's width in pixels.
using ChooserMeasure = int (*)(const char* text);
void chooser_shorten(const char* text, int width, ChooserMeasure measure, int keepEnd, char* out, int size);
// An absolute path without "." and ".." parts, doubled or trailing '/' ("/" for the root);
// relative paths are taken from base. 0 when the result does not fit.
int chooser_normalise(const char* path, const char* base, char* out, int size);
int chooser_up(char* folder);  // the parent folder of a normalised path; 0 at the root
