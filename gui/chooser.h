// gui/chooser.h -- the open and save dialogs: a modal file chooser made of the game's own
// windows (folders first, then the files that match the filter; a path line, a name line).
//
// Paths use '/'. Names on disk are UTF-8; names that Windows-1252 cannot show are shown with
// '?' and still chosen correctly.
#pragma once

// file: a buffer of PATH_MAX_GAME bytes that receives the chosen path; folder: the initial
// folder and, on success, the folder part of the chosen path (or null); filter: a pattern such
// as "*.jpg;*.bmp" ("*" or empty: every file). Returns 1 when a file was chosen, 0 when cancelled.
int chooser_open(char* file, char* folder, const char* filter);
// As chooser_open, but the file need not exist; an existing file is only chosen after the
// overwrite question; a name typed without extension gets the filter's extension.
int chooser_save(char* file, char* folder, const char* filter);
void chooser_init();  // registers the chooser's windows (after the window manager)
