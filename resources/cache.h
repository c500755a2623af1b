// resources/cache.h -- the memory file cache: data-pack resources used by index, loaded on
// demand and dropped again when memory runs out.
//
// Register a name once and keep the index; lock the entry for exactly as long as its block is
// used. An unlocked block may be released during any allocation.
#pragma once
#include "base/limits.h"  // CACHE_MAX entries; a registration beyond it is fatal

// Takes a data-pack file index, returns a new io_mem block (the raw file or a decoded Image).
using CacheLoader = void* (*)(int file_index);

void cache_init();  // empties the table and installs the release hook of io_mem
// Index of name, registering it on first use; -1 when the pack lacks it and the fatal-when-
// missing switch is off. With precaching on, a new entry is loaded at once.
int cache_register(const char* name, CacheLoader loader);
// ".jpg" resources are decoded into an Image by the loader the image layer installs; other
// names are kept raw.
void cache_set_picture_loader(CacheLoader loader);
int cache_register_picture(const char* name);
int cache_register_raw(const char* name);

void* cache_lock(int index);  // the entry's block, loaded when it has none
void cache_unlock(int index);
int cache_evict_one();  // 1 when the least recently used unlocked block was released
void cache_done();      // releases every block; logs the locks still held

void cache_set_precache(int on);         // start-up turns it on once the users are ready
int cache_set_fatal_if_missing(int on);  // returns the previous setting (on at first)

// Inspection, for tests and diagnostics.
int cache_count();
int cache_is_loaded(int index);
int cache_lock_count(int index);
