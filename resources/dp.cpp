// resources/dp.cpp -- the data pack. Owns the open packs (`datapacks`), the registered resources
// (`fileinfos`) and the one current file. A pack file's directory is read whole at opening and
// checked entry by entry, so lookups and reads later never step outside it or the file.
#include "resources/dp.h"

#include <cstring>

#include "base/le.h"
#include "platform/io_debug.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"
#include "resources/tagfile.h"

namespace {

struct DataPack {
    FILE* file;                // null for a folder pack
    char path[PATH_MAX_GAME];  // pack file, or the folder of a folder pack
    uint8_t* directory;        // the directory block, checked at opening
    uint32_t* used;            // one flag per entry, set when a lookup found it
    const uint8_t** entries;   // start of each directory entry inside `directory`
    int count;                 // directory entries
};

struct FileInfo {
    int pack;              // slot in datapacks
    const uint8_t* entry;  // directory entry, null for a folder resource
    char* name;            // folder resource only: private copy of the name
};

struct CurrentFile {
    int index;   // file index being read, -1 when none
    FILE* file;  // the pack's stream, or a stream of its own for a folder resource
    long start;  // stream offset of the resource's first byte
    long size;   // bytes of the resource
};

DataPack datapacks[DP_PACK_MAX];
int datapack_count;
FileInfo fileinfos[DP_RESOURCE_MAX];
int fileinfo_count;
CurrentFile current = {-1, nullptr, 0, 0};

// The three numbers of an entry's head: length, data offset, data size.
uint32_t entry_field(const uint8_t* e, int field) {
    LeCursor c = le_cursor(e + 4 * field, 4);
    return le_u32(&c);
}
uint32_t entry_length(const uint8_t* e) { return entry_field(e, 0); }
uint32_t entry_offset(const uint8_t* e) { return entry_field(e, 1); }
uint32_t entry_size(const uint8_t* e) { return entry_field(e, 2); }
const char* entry_name(const uint8_t* e) { return (const char*)e + DP_ENTRY_HEAD_SIZE; }

void check_index(const char* function, int index) {
    if ((unsigned)index >= (unsigned)fileinfo_count) io_fatal("%s: bad file index %i\n", function, index);
}

// "%s/%s" of a folder pack and a name; 0 when it does not fit.
int folder_path(char* out, size_t size, const char* folder, std::string_view name) {
    int n = std::snprintf(out, size, "%s/%.*s", folder, (int)name.size(), name.data());
    return n >= 0 && (size_t)n < size;
}

void free_pack(DataPack* pack) {
    io_mem_free(pack->directory);
    io_mem_free(pack->used);
    io_mem_free(pack->entries);
    if (pack->file) std::fclose(pack->file);
    *pack = {};
}

// Reads and checks the directory of a pack file whose head has been read. Every entry must lie
// inside the directory, name a zero-terminated string inside itself, and point at data inside
// the file; anything else would make later lookups or reads step outside. Fatal on failure.
void read_directory(DataPack* pack, LeCursor* head) {
    const uint32_t dir_offset = le_u32(head);
    const uint32_t dir_size = le_u32(head);
    const uint32_t count = le_u32(head);
    long file_size = file_length(pack->file);
    bool fits = file_size >= 0 && dir_size <= DP_DIRECTORY_MAX &&
                (uint64_t)dir_offset + dir_size <= (uint64_t)file_size &&
                (uint64_t)count * (DP_ENTRY_HEAD_SIZE + 1) <= dir_size;
    if (fits && dir_size > 0) {
        pack->directory = (uint8_t*)io_mem_alloc(dir_size);
        fits = std::fseek(pack->file, (long)dir_offset, SEEK_SET) == 0 &&
               file_read_bytes(pack->file, pack->directory, dir_size);
    }
    if (fits && count > 0) {
        pack->entries = (const uint8_t**)io_mem_alloc(count * sizeof(const uint8_t*));
        uint32_t at = 0;
        for (uint32_t i = 0; fits && i < count; i++) {
            const uint8_t* e = pack->directory + at;
            uint32_t left = dir_size - at;
            uint32_t length = left >= DP_ENTRY_HEAD_SIZE ? entry_length(e) : 0;
            fits = length > DP_ENTRY_HEAD_SIZE && length <= left &&
                   std::memchr(e + DP_ENTRY_HEAD_SIZE, 0, length - DP_ENTRY_HEAD_SIZE) != nullptr &&
                   (uint64_t)entry_offset(e) + entry_size(e) <= (uint64_t)file_size;
            pack->entries[i] = e;
            at += length;
        }
    }
    if (!fits) {
        char path[PATH_MAX_GAME];
        std::memcpy(path, pack->path, sizeof path);
        free_pack(pack);
        io_fatal("dp_open: fread packfiles (%s)\n", path);
    }
    pack->count = (int)count;
    if (count > 0) pack->used = (uint32_t*)io_mem_alloc(count * sizeof(uint32_t));
    if (pack->used) std::memset(pack->used, 0, count * sizeof(uint32_t));
}

void open_pack_file(DataPack* pack) {
    pack->file = std::fopen(pack->path, "rb");
    if (!pack->file) io_fatal("dp_open: not found (%s)\n", pack->path);
    uint8_t head[DP_HEAD_SIZE];
    const int unread = !file_read_bytes(pack->file, head, sizeof head);
    LeCursor c = le_cursor(head, sizeof head);
    if (unread || le_u32(&c) != DP_MAGIC) {
        std::fclose(pack->file);
        pack->file = nullptr;
        if (unread) io_fatal("dp_open: fread of packhead (%s)\n", pack->path);
        io_fatal("dp_open: invalid magic (%s)\n", pack->path);
    }
    read_directory(pack, &c);
}

// Finds name in pack `p`; fills *entry (null for a folder pack). 1 when found.
int find_in_pack(int p, std::string_view name, const uint8_t** entry) {
    DataPack* pack = &datapacks[p];
    if (!pack->file) {
        char path[2 * PATH_MAX_GAME];
        *entry = nullptr;
        return folder_path(path, sizeof path, pack->path, name) && io_file_exists(path);
    }
    for (int i = 0; i < pack->count; i++) {
        const char* entry_text = entry_name(pack->entries[i]);
        if (std::strlen(entry_text) == name.size() &&
            std::memcmp(entry_text, name.data(), name.size()) == 0) {
            pack->used[i] = 1;
            *entry = pack->entries[i];
            return 1;
        }
    }
    return 0;
}

// Opens a folder resource's own stream, or null.
FILE* open_folder_resource(const FileInfo* info) {
    char path[2 * PATH_MAX_GAME];
    if (!folder_path(path, sizeof path, datapacks[info->pack].path, info->name)) return nullptr;
    return std::fopen(path, "rb");
}

// Makes index current without going fatal when a folder resource does not open.
FILE* begin_current(int index) {
    if (current.index >= 0) io_fatal("dp_fopen: next open\n");
    const FileInfo* info = &fileinfos[index];
    if (info->entry) {
        current = {index, datapacks[info->pack].file, (long)entry_offset(info->entry),
                   (long)entry_size(info->entry)};
    } else {
        FILE* file = open_folder_resource(info);
        long size = file ? file_length(file) : -1;
        if (size < 0) {
            if (file) std::fclose(file);
            return nullptr;
        }
        current = {index, file, 0, size};
    }
    dp_fseek(0);
    return current.file;
}

// Bytes of the current resource after the stream's position, -1 when it stands outside.
long current_left() {
    long at = std::ftell(current.file) - current.start;
    return at < 0 || at > current.size ? -1 : current.size - at;
}

}  // namespace

// Packs ----------------------------------------------------------------------------------------

int dp_open(std::string_view path) {
    if (datapack_count >= DP_PACK_MAX) io_fatal("dp_open: datapacks id full\n");
    DataPack* pack = &datapacks[datapack_count];
    *pack = {};
    size_t at = path.find('@');
    std::string_view used_path = at == std::string_view::npos ? path : path.substr(0, at);
    if (at != std::string_view::npos && used_path.empty()) used_path = ".";  // never the root
    if (used_path.size() >= sizeof pack->path || used_path.find('\0') != std::string_view::npos)
        io_fatal("dp_open: not found (%.*s)\n", (int)path.size(), path.data());
    std::memcpy(pack->path, used_path.data(), used_path.size());
    if (at == std::string_view::npos) open_pack_file(pack);
    datapack_count++;
    return 1;
}

void dp_done() {
    if (current.index >= 0 && !fileinfos[current.index].entry) std::fclose(current.file);
    current = {-1, nullptr, 0, 0};
    for (int i = 0; i < fileinfo_count; i++)
        io_mem_free(fileinfos[i].name);
    fileinfo_count = 0;
    for (int p = 0; p < datapack_count; p++)
        free_pack(&datapacks[p]);
    datapack_count = 0;
}

int dp_pack_count() { return datapack_count; }

int dp_entry_count(int pack) {
    if ((unsigned)pack >= (unsigned)datapack_count) io_fatal("dp_entry_count: bad pack %i\n", pack);
    return datapacks[pack].count;
}

const char* dp_entry_name(int pack, int entry) {
    if ((unsigned)entry >= (unsigned)dp_entry_count(pack)) io_fatal("dp_entry_name: bad entry %i\n", entry);
    return entry_name(datapacks[pack].entries[entry]);
}

// Resources ------------------------------------------------------------------------------------

int dp_get_index(std::string_view name, int fatal_if_missing) {
    for (int i = 0; i < fileinfo_count; i++) {
        const char* known = dp_name(i);
        if (std::strlen(known) == name.size() && std::memcmp(known, name.data(), name.size()) == 0) return i;
    }
    if (fileinfo_count >= DP_RESOURCE_MAX) io_fatal("dp_get_index: fileinfos is full\n");
    bool plain = name.find('\0') == std::string_view::npos;
    for (int p = 0; plain && p < datapack_count; p++) {
        const uint8_t* entry;
        if (!find_in_pack(p, name, &entry)) continue;
        FileInfo* info = &fileinfos[fileinfo_count];
        *info = {p, entry, nullptr};
        if (!entry) {
            info->name = (char*)io_mem_alloc(name.size() + 1);
            std::memcpy(info->name, name.data(), name.size());
            info->name[name.size()] = 0;
        }
        return fileinfo_count++;
    }
    if (fatal_if_missing) io_fatal("dp_get_hfile: file not found (%.*s)\n", (int)name.size(), name.data());
    return -1;
}

long dp_size(int index) {
    check_index("dp_size", index);
    const FileInfo* info = &fileinfos[index];
    if (info->entry) return (long)entry_size(info->entry);
    // Measured on a stream of its own, so asking for a size never disturbs the current file.
    FILE* file = open_folder_resource(info);
    if (!file) io_fatal("dp_size: cannot open (%s)\n", info->name);
    long size = file_length(file);
    std::fclose(file);
    if (size < 0) io_fatal("dp_size: cannot open (%s)\n", info->name);
    return size;
}

const char* dp_name(int index) {
    check_index("dp_name", index);
    const FileInfo* info = &fileinfos[index];
    return info->entry ? entry_name(info->entry) : info->name;
}

void* dp_load(int index) {
    check_index("dp_load", index);
    dp_fopen(index);
    long size = current.size;
    void* block = io_mem_alloc((size_t)size);
    if (current_left() != size || !file_read_bytes(current.file, block, (size_t)size)) {
        io_mem_free(block);
        io_fatal("dp_fread: %s\n", dp_name(index));
    }
    dp_fclose();
    return block;
}

int dp_extract(int index, const char* path) {
    check_index("dp_extract", index);
    FILE* from = begin_current(index);
    if (!from) return 0;
    const long size = current.size;
    IoFileWrite write;
    FILE* to = io_write_begin(&write, path);
    int ok = to && current_left() == size && file_copy_bytes(to, from, (size_t)size);
    dp_fclose();
    return to && io_write_end(&write, ok, 0);
}

// The current file -----------------------------------------------------------------------------

FILE* dp_fopen(int index) {
    check_index("dp_fopen", index);
    FILE* file = begin_current(index);
    if (!file) io_fatal("dp_fopen: cannot open (%s)\n", dp_name(index));
    return file;
}

void dp_fclose() {
    if (current.index < 0) io_fatal("dp_fopen: next open\n");
    if (!fileinfos[current.index].entry) std::fclose(current.file);
    current = {-1, nullptr, 0, 0};
}

int dp_fseek(long position) {
    if (current.index < 0) io_fatal("dp_fseek: file is not open\n");
    if (position < 0 || position > current.size) return 0;  // never into a neighbour
    return std::fseek(current.file, current.start + position, SEEK_SET) == 0;
}

void dp_fread(void* buffer, size_t n) {
    if (current.index < 0) io_fatal("dp_fread: file is not open\n");
    long left = current_left();
    if (left < 0 || (uint64_t)n > (uint64_t)left || !file_read_bytes(current.file, buffer, n))
        io_fatal("dp_fread: %s\n", dp_name(current.index));
}
