// platform/io_file.h -- paths, files and folders. Paths use '/' and are relative to the start
// folder unless absolute.
#pragma once
#include <cstdint>
#include <cstdio>

#include "base/limits.h"

void io_set_start_folder(const char* folder);  // remembered at process entry
const char* io_start_folder();

int io_make_folder(const char* path);  // 1, also when it exists already
int io_delete_file(const char* path);  // 1 when the file is gone
// The file's access and modification times become now (a file the trimming of a folder should
// count as used last); 1 when they did.
int io_touch_file(const char* path);
int io_file_exists(const char* path);    // 1 when path is a file (not a folder) that opens for reading
int io_folder_exists(const char* path);  // 1 when path is a folder (or a link to one)
int io_copy_file(const char* from, const char* to);  // overwrites; 1 on success
// Renames over the target in one step: the target is never removed first, so a failure leaves
// both files as they were. 1 on success.
int io_move_file(const char* from, const char* to);
FILE* io_fopen(const char* path, const char* mode);
// Opens a regular file for reading; null when it is missing, cannot be read, or is no regular
// file (a FIFO, a device or a folder is never opened, so it can neither block nor be read).
FILE* io_fopen_read(const char* path);
// Writes what the stream buffers and waits until the disk has it; 1 when both worked (the
// failure's cause is kept, see io_last_error).
int io_file_sync(FILE* file);
// Makes a rename or a new entry in path's folder durable.
void io_sync_folder_of(const char* path);
// Size in bytes of a regular file, or -1 when path is missing or no regular file.
long long io_file_size(const char* path);

int io_process_id();  // this process's number, for names of temporary files

// --- Why a file operation failed ---
// The errno of the last failing write, rename or read of this module (0 until one fails). A
// caller reports a full disk as such, never as damaged data.
int io_last_error();
void io_set_last_error(int error);     // for readers outside this module (a short read's cause)
int io_error_is_disk_full(int error);  // ENOSPC or EDQUOT

// Removes the temporary files ("<name>.<pid>.new") that writers killed before their rename left
// in folder, where no process of that number is alive any more; the count removed.
int io_remove_stale_temps(const char* folder);
// Lets whoever may read the file also run it (x added where r is set); 1 on success.
int io_make_executable(const char* path);
// Appends name to the folder in path (size bytes), with one '/' between them unless path is
// empty or already ends in '/' or '\\'. 1, or 0 with path unchanged when the result would not fit.
int io_path_join(char* path, size_t size, const char* name);

// --- Writing a file whole or not at all ---
// Every file the game writes goes to a temporary name beside its target ("<path>.<pid>.new") and
// is renamed over the old file only when all of it was written, so a crash or a failed write
// leaves either the old or the new file, never half of one. With durable set the data reaches the
// disk before the rename and the folder's entry after it (boxes, previews, saves, caches);
// settings files and build products skip that wait.
struct IoFileWrite {
    FILE* file;                           // the temporary file while open
    char path[FILE_WRITE_PATH_MAX];       // the target
    char temp[FILE_WRITE_PATH_MAX + 32];  // beside it
};
// Opens the temporary file for writing; null (nothing created) when it cannot be opened or the
// path is too long.
FILE* io_write_begin(IoFileWrite* write, const char* path);
// Closes the temporary file. When ok and every byte was written it replaces the target; otherwise
// it is deleted and the target stays as it was. Returns the final result.
int io_write_end(IoFileWrite* write, int ok, int durable = 1);
// The whole of data as the file at path, through io_write_begin and io_write_end.
int io_write_file_atomic(const char* path, const void* data, size_t size, int durable = 1);

// Calls found with the name relative to folder ('/' between folders) and the path of every
// regular file under folder, recursively, in the order the system lists them; symbolic links to
// folders are not followed. 1, or 0 when a folder or an entry cannot be read.
using IoFileFound = void (*)(const char* name, const char* path, void* user);
int io_walk_files(const char* folder, IoFileFound found, void* user);

// Folder enumeration over a pattern such as "sfiles/temp/*.tmp" (wildcards in the last part).
struct IoFindEntry {
    char name[PATH_MAX_GAME];  // file name without folder
    uint32_t size;             // low 32 bits of the size
    int64_t access_time;       // seconds
    int64_t write_time;        // seconds
    int is_folder;
};
struct IoFind {
    void* dir;  // open folder handle
    char folder[PATH_MAX_GAME];
    char pattern[PATH_MAX_GAME];
    int want_folders;  // 1 folders only, 0 files only
};
int io_find_first(IoFind* find, const char* pattern, int want_folders, IoFindEntry* entry);
int io_find_next(IoFind* find, IoFindEntry* entry);
void io_find_close(IoFind* find);
