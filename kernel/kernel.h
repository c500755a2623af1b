// kernel/kernel.h -- start-up, shutdown, the game's folders and the trimming of the temporary
// folder.
#pragma once
#include <cstdint>

#include "base/event.h"
#include "base/version.h"  // GAME_VERSION

int kernel_main(int argc, char** argv);
void kernel_init();
void kernel_done();

const char* kernel_puzzles_folder();

// Opens a box file from anywhere: boxarg_import brings it into `folder` (the puzzles folder), then
// `open` (the store room's store_open_box) takes its name. A copy the import made is deleted again when
// it cannot be opened; a file that already lay in the folder is never touched. 1 when opened.
using BoxOpener = int (*)(const char* name);
int kernel_open_box_file(const char* path, const char* folder, BoxOpener open);
// Texts from other programs: word 0, a box name from the gift extractor, goes to the store room;
// word 1, a box file's path from a second copy of the game, is opened as above in the next pass
// of the main loop, outside any modal window (the player is told when it cannot be). 1 when taken.
int kernel_text(KernelEvent* event);

// Runs once at the end of start-up, after the rooms exist: programs built on the game (the
// toolkit's scene test) add their own windows there.
using KernelStartHook = void (*)();
void kernel_set_start_hook(KernelStartHook hook);

// Deletes the least recently accessed files matching folder/pattern until their total is at
// most limit bytes. Files that cannot be deleted are passed over, so it always ends.
using RemoveFile = int (*)(const char* path);  // 1 when the file is gone
void kernel_trim_folder(const char* folder, const char* pattern, uint32_t limit, RemoveFile remove = nullptr);

// Reads "OldScreenSize" from section "MAIN" of ini: a missing key, a side under 640 x 480 or one
// beyond any real screen gives the fallback size instead.
void kernel_read_old_screen_size(const char* ini, int fallbackWidth, int fallbackHeight, int* width,
                                 int* height);

// Closing: the drawing window goes first (kernel_done runs there), then the main window.
void kernel_destroy_windows();
int kernel_windows_gone();
