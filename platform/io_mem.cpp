// platform/io_mem.cpp -- the counted allocator. Each block carries a small header with its
// requested size, so the game can ask for a block's size and the counters stay exact.
#include "platform/io_mem.h"

#include <cstdlib>
#include <cstring>

#include "platform/io_debug.h"

namespace {

struct alignas(16) BlockHead {
    size_t size;   // bytes requested by the caller
    size_t magic;  // catches frees of foreign pointers
};
constexpr size_t BLOCK_MAGIC = 0x4C554D41u;

struct MemState {
    int ngetmem;                      // blocks handed out
    int nfreemem;                     // blocks freed
    MemReleaseHook release;           // the file cache drops a block
    int (*should_fail)(size_t size);  // tests only
};
MemState g_mem;

BlockHead* head_of(const void* block) {
    BlockHead* head = (BlockHead*)block - 1;
    if (head->magic != BLOCK_MAGIC) io_fatal("io_mem: foreign or damaged block\n");
    return head;
}

void* try_alloc(void* old_head, size_t size) {
    if (g_mem.should_fail && g_mem.should_fail(size)) return nullptr;
    if (size > (size_t)-1 - sizeof(BlockHead)) return nullptr;
    return old_head ? std::realloc(old_head, sizeof(BlockHead) + size)
                    : std::malloc(sizeof(BlockHead) + size);
}

}  // namespace

void* io_mem_alloc(size_t size) {
    if (size == 0) return nullptr;
    void* raw;
    while (!(raw = try_alloc(nullptr, size))) {
        if (!g_mem.release || !g_mem.release()) io_fatal("io_mem_alloc: no memory (%li)\n", (long)size);
    }
    BlockHead* head = (BlockHead*)raw;
    head->size = size;
    head->magic = BLOCK_MAGIC;
    g_mem.ngetmem++;
    return head + 1;
}

void* io_mem_realloc(void* block, size_t size) {
    if (!block) {
        void* fresh = io_mem_alloc(size);
        return fresh;
    }
    if (size == 0) size = 1;  // keep the block alive; the counters stay balanced
    BlockHead* old_head = head_of(block);
    void* raw;
    while (!(raw = try_alloc(old_head, size))) {
        if (!g_mem.release || !g_mem.release()) io_fatal("io_mem_realloc: no memory (%li)\n", (long)size);
    }
    BlockHead* head = (BlockHead*)raw;
    head->size = size;
    return head + 1;
}

void io_mem_free(void* block) {
    if (!block) return;
    BlockHead* head = head_of(block);
    head->magic = 0;
    std::free(head);
    g_mem.nfreemem++;
}

size_t io_mem_size(const void* block) { return block ? head_of(block)->size : 0; }

char* io_mem_strdup(const char* text) {
    if (!text) text = "";
    size_t n = std::strlen(text) + 1;
    char* copy = (char*)io_mem_alloc(n);
    std::memcpy(copy, text, n);
    return copy;
}

char* io_mem_strreplace(char* old_block, const char* text) {
    if (!text) text = "";
    size_t n = std::strlen(text) + 1;
    if (old_block && io_mem_size(old_block) >= n) {
        std::memmove(old_block, text, n);
        return old_block;
    }
    char* copy = io_mem_strdup(text);
    io_mem_free(old_block);
    return copy;
}

void io_mem_set_release_hook(MemReleaseHook hook) { g_mem.release = hook; }
void io_mem_set_fail_hook(int (*should_fail)(size_t)) { g_mem.should_fail = should_fail; }

void io_mem_reset() {
    g_mem.ngetmem = 0;
    g_mem.nfreemem = 0;
}

void io_mem_done() {
    io_log("io_mem_done: ngetmem = %i\n", g_mem.ngetmem);
    io_log("io_mem_done: nfreemem = %i\n", g_mem.nfreemem);
    if (g_mem.ngetmem != g_mem.nfreemem) io_log("io_mem_done: ngetmem!=nfreemem\n");
}

int io_mem_allocated_count() { return g_mem.ngetmem; }
int io_mem_freed_count() { return g_mem.nfreemem; }
