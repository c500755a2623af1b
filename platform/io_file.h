// platform/io_file.h -- paths, files and folders. Paths use '/' and are relative to the start
// folder unless absolute.
#pragma once
#include <cstdint>
#include <cstdio>

#include "base/limits.h"

void io_set_start_folder(const char* folder);  // remembered at process entry
const char* io_start_folder();

int io_make_folder(const char* path);                // 1, also when it exists already
int io_delete_file(const char* path);                // 1 when the file is gone
int io_file_exists(const char* path);                // 1 when it opens for reading
int io_copy_file(const char* from, const char* to);  // overwrites; 1 on success
int io_move_file(const char* from, const char* to);  // deletes the target first
FILE* io_fopen(const char* path, const char* mode);
int io_path_join(char* out, int out_size, const char* folder, const char* name);  // '/' between

// Writes a whole file through a temporary name beside it and renames it over the old one,
// so a crash leaves either the old or the new file, never half of one. With durable set the data
// reaches the disk before the rename (saves); settings files skip that wait.
int io_write_file_atomic(const char* path, const void* data, size_t size, int durable = 1);

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
