// resources/cache.cpp -- the memory file cache: the table of registered resources, loading on
// lock, and the least-recently-used eviction that serves as the allocator's memory reserve.
#include "resources/cache.h"

#include <cctype>
#include <cstring>

#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "resources/dp.h"

namespace {

struct MemFile {
    int fileIndex;       // resource in the data pack
    void* block;         // loaded block, null when not loaded
    int32_t lockCount;   // balanced lock / unlock calls; only 0 may be evicted
    uint32_t stamp;      // use counter at the latest lock
    CacheLoader loader;  // makes a new block from the file index
    int32_t reserved;    // cleared when loaded
};

struct CacheState {
    MemFile memfiles[CACHE_MAX];
    int count;                  // entries registered, never shrinks until cache_done
    uint32_t useCounter;        // grows by one at every lock
    int precache;               // load new entries at registration
    int fatalIfMissing;         // handed to dp_get_index
    CacheLoader pictureLoader;  // decodes ".jpg" resources; installed by the image layer
};
CacheState g_cache = {.fatalIfMissing = 1};

int release_hook() { return cache_evict_one(); }

MemFile& entry(const char* function, int index) {
    if ((unsigned)index >= (unsigned)g_cache.count) io_fatal("%s: bad cache index %i\n", function, index);
    return g_cache.memfiles[index];
}

bool is_jpg(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (!dot) return false;
    const char* ext = dot + 1;
    return std::strlen(ext) == 3 && std::tolower((unsigned char)ext[0]) == 'j' &&
           std::tolower((unsigned char)ext[1]) == 'p' && std::tolower((unsigned char)ext[2]) == 'g';
}

}  // namespace

void cache_init() {
    cache_done();
    g_cache.precache = 0;
    g_cache.fatalIfMissing = 1;
    io_mem_set_release_hook(release_hook);
}

int cache_register(const char* name, CacheLoader loader) {
    for (int i = 0; i < g_cache.count; i++)
        if (std::strcmp(dp_name(g_cache.memfiles[i].fileIndex), name) == 0) return i;
    if (g_cache.count >= CACHE_MAX) io_fatal("precache_file: memfiles[] is full");
    const int fileIndex = dp_get_index(name, g_cache.fatalIfMissing);
    if (fileIndex < 0) return -1;
    const int index = g_cache.count++;
    g_cache.memfiles[index] = {fileIndex, nullptr, 0, 0, loader, 0};
    io_mem_set_release_hook(release_hook);  // registering makes the cache the allocator's reserve
    if (g_cache.precache) {
        cache_lock(index);
        cache_unlock(index);
    }
    return index;
}

void cache_set_picture_loader(CacheLoader loader) { g_cache.pictureLoader = loader; }

int cache_register_picture(const char* name) {
    if (!is_jpg(name)) return cache_register(name, dp_load);
    if (!g_cache.pictureLoader) io_fatal("cache_register_picture: no picture loader for %s", name);
    return cache_register(name, g_cache.pictureLoader);
}

int cache_register_raw(const char* name) { return cache_register(name, dp_load); }

void* cache_lock(int index) {
    MemFile& e = entry(__func__, index);
    if (!e.block) {
        e.block = e.loader(e.fileIndex);
        e.lockCount = 0;
        e.reserved = 0;
    }
    e.lockCount++;
    e.stamp = g_cache.useCounter++;
    return e.block;
}

void cache_unlock(int index) { entry(__func__, index).lockCount--; }

int cache_evict_one() {
    MemFile* victim = nullptr;
    for (int i = 0; i < g_cache.count; i++) {
        MemFile& e = g_cache.memfiles[i];
        if (e.block && e.lockCount == 0 && (!victim || e.stamp < victim->stamp)) victim = &e;
    }
    if (!victim) return 0;
    void* block = victim->block;
    victim->block = nullptr;
    io_mem_free(block);
    return 1;
}

void cache_done() {
    for (int i = 0; i < g_cache.count; i++) {
        MemFile& e = g_cache.memfiles[i];
        if (e.lockCount != 0) io_log("cache_done: filename:%s lock:%i\n", dp_name(e.fileIndex), e.lockCount);
        io_mem_free(e.block);
        e.block = nullptr;
    }
    g_cache.count = 0;
    g_cache.useCounter = 0;
}

void cache_set_precache(int on) { g_cache.precache = on; }

int cache_set_fatal_if_missing(int on) {
    const int previous = g_cache.fatalIfMissing;
    g_cache.fatalIfMissing = on;
    return previous;
}

int cache_count() { return g_cache.count; }
int cache_is_loaded(int index) { return entry(__func__, index).block != nullptr; }
int cache_lock_count(int index) { return entry(__func__, index).lockCount; }
