// resources/dp.h -- the data pack: packs, their resources, and the one file open for reading.
//
// Resources are addressed by a file index that stays valid for the whole run. At most one
// resource is open for reading at a time (dp_fopen ... dp_fclose). A broken pack and every
// misuse below go to the fatal path; a caller never continues after one.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "base/limits.h"  // DP_PACK_MAX, DP_RESOURCE_MAX; running out is fatal

inline constexpr uint32_t DP_MAGIC = 0x324B4350;         // "PCK2"
inline constexpr int DP_HEAD_SIZE = 16;                  // magic, dir offset, dir size, count
inline constexpr int DP_ENTRY_HEAD_SIZE = 12;            // length, data offset, data size
inline constexpr uint32_t DP_DIRECTORY_MAX = 16u << 20;  // bytes; a larger directory is refused

// Packs ----------------------------------------------------------------------------------------
// "name@" registers the folder "name" as a pack (nothing is opened); anything else is a pack file.
int dp_open(std::string_view path);  // 1; a missing or broken pack is fatal
void dp_done();                      // closes every pack and forgets every index (tests reuse it)
int dp_pack_count();
int dp_entry_count(int pack);                    // directory entries; 0 for a folder pack
const char* dp_entry_name(int pack, int entry);  // name of a directory entry

// Resources ------------------------------------------------------------------------------------
// Index of name (exact, case-sensitive), registered on first use; -1 when it does not exist and
// fatal_if_missing is 0.
[[nodiscard]] int dp_get_index(std::string_view name, int fatal_if_missing);
long dp_size(int index);         // bytes; never touches the current file
const char* dp_name(int index);  // valid for the whole run
// The whole resource in a block of dp_size bytes from io_mem_alloc; the caller frees it.
// An empty resource gives null.
[[nodiscard]] void* dp_load(int index);
// Copies the resource into a new file at path (through a temporary name); 1, or 0 when a file
// does not open or the copy fails.
int dp_extract(int index, const char* path);

// The current file -----------------------------------------------------------------------------
// Makes index current and returns the stream positioned at the resource's first byte. Readers
// may read and seek the stream directly but must stay inside the resource: the next resource
// follows in the pack.
FILE* dp_fopen(int index);
void dp_fclose();
int dp_fseek(long position);            // from the resource's first byte, 0..size; 1 on success
void dp_fread(void* buffer, size_t n);  // exactly n bytes inside the resource, else fatal
