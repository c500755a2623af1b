// rooms/create_save.h -- the create room's work on box files, apart from its windows: the working
// files of an edited box kept in memory while the room has it, slow work shown by the wait cursor
// and the progress window, and saving a new box or an edited one without ever losing it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "image/gformat.h"
#include "puzzle/box.h"

// A working file's bytes, kept while the room is open: the shelf empties the working files when
// it reads another box meanwhile (a box sent by another program).
struct CreateKept {
    uint8_t* data;  // io_mem block, null for an empty file
    size_t size;
    int present;  // the file was there
};
void create_kept_free(CreateKept* kept);
// 1 when the file was read (or is absent: then nothing is kept and present is 0).
int create_kept_read(const char* path, CreateKept* kept);
int create_kept_write(const char* path, const CreateKept& kept);  // 0 when nothing is kept

// An edited box's working files, as the room opened it.
struct CreateFiles {
    CreateKept picture, description, address, tune;
};
void create_files_free(CreateFiles* files);

// Slow work: the wait cursor at once, and the progress window with language text `text` once the
// work has taken over half a second. create_slow_step serves as the picture import's progress hook.
void create_slow_begin(int text);
void create_slow_step(int done, int total);
void create_slow_end();  // the window closed, the cursor as it was

// A new box: its name is asked (the suggestion first) until it is free on the shelf and in the
// puzzles folder; the picture is written at the record's size, the tune from its kept bytes, then
// the box file. *record loses its description and address. On success the name is in `name`.
enum CreateSaveResult {
    CREATE_SAVE_CANCELLED,  // the player cancelled the name: nothing happened
    CREATE_SAVE_DONE,
    CREATE_SAVE_FAILED,  // the player was told; nothing is left under the name
};
int create_save_new(const char* suggested, BoxRecord* record, const PictureBuffer* picture,
                    const CreateKept& tune, char* name, int size);
// An edited box: its working files as they were when the room opened it, then the shelf's safe
// re-save. 1 saved; 0 when it failed (the player was told; the box stays as it was).
int create_save_edited(const char* name, const BoxRecord& record, const CreateFiles& files);
