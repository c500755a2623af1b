// platform/io_mem.h -- the counted allocator every module uses for its blocks.
#pragma once
#include <cstddef>

// A size of 0 gives null. When memory runs out the release hook (the file cache) is asked to
// drop a block and the allocation is tried again; when nothing can be released it is fatal.
[[nodiscard]] void* io_mem_alloc(size_t size);
[[nodiscard]] void* io_mem_realloc(void* block, size_t size);              // counters unchanged
void io_mem_free(void* block);                                             // null ignored
size_t io_mem_size(const void* block);                                     // requested bytes, 0 for null
[[nodiscard]] char* io_mem_strdup(const char* text);                       // null counts as ""
[[nodiscard]] char* io_mem_strreplace(char* old_block, const char* text);  // reuses when it fits

// Returns 1 when it released a block, 0 when it has nothing left to release.
using MemReleaseHook = int (*)();
void io_mem_set_release_hook(MemReleaseHook hook);

void io_mem_reset();           // counters to zero (main window creation)
void io_mem_done();            // logs the counts, and a warning line when they differ
int io_mem_allocated_count();  // ngetmem
int io_mem_freed_count();      // nfreemem

// Tests make allocations fail to walk the release-and-retry path.
void io_mem_set_fail_hook(int (*should_fail)(size_t size));
