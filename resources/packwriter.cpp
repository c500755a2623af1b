// resources/packwriter.cpp -- writes data packs (head, data, directory) and lists folders for
// them. Build-time code: the game itself only reads packs.
#include "resources/packwriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/le.h"
#include "platform/io_file.h"
#include "resources/dp.h"
#include "resources/tagfile.h"

namespace {

void append_u32(std::vector<uint8_t>* out, uint32_t v) {
    uint8_t b[4];
    le_store_u32(b, v);
    out->insert(out->end(), b, b + 4);
}

int names_unique(const PackItem* items, int count) {
    std::vector<std::string_view> names;
    for (int i = 0; i < count; i++) {
        if (!items[i].name || !items[i].name[0]) return 0;
        names.push_back(items[i].name);
    }
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) == names.end();
}

// Appends one item's bytes at the stream's position; fills its size. 1 on success.
int write_item(FILE* out, const PackItem* item, uint64_t offset, uint32_t* size) {
    if (!item->data && !item->source && item->size > 0) return 0;
    if (item->data || !item->source) {
        *size = item->size;
        return offset + item->size <= UINT32_MAX && file_write_bytes(out, item->data, item->size);
    }
    FILE* in = std::fopen(item->source, "rb");
    if (!in) return 0;
    long length = file_length(in);
    int ok =
        length >= 0 && offset + (uint64_t)length <= UINT32_MAX && file_copy_bytes(out, in, (size_t)length);
    std::fclose(in);
    *size = (uint32_t)length;
    return ok;
}

int write_pack(FILE* out, const PackItem* items, int count) {
    uint8_t zero_head[DP_HEAD_SIZE] = {};
    if (!file_write_bytes(out, zero_head, sizeof zero_head)) return 0;
    std::vector<uint8_t> directory;
    uint64_t offset = DP_HEAD_SIZE;
    for (int i = 0; i < count; i++) {
        uint32_t size;
        if (!write_item(out, &items[i], offset, &size)) return 0;
        size_t name_bytes = std::strlen(items[i].name) + 1;
        uint32_t length = (uint32_t)((DP_ENTRY_HEAD_SIZE + name_bytes + 3) & ~size_t{3});
        append_u32(&directory, length);
        append_u32(&directory, (uint32_t)offset);
        append_u32(&directory, size);
        directory.insert(directory.end(), items[i].name, items[i].name + name_bytes);
        directory.resize(directory.size() + length - DP_ENTRY_HEAD_SIZE - name_bytes, 0);
        offset += size;
        if (directory.size() > DP_DIRECTORY_MAX) return 0;
    }
    if (offset + directory.size() > UINT32_MAX) return 0;
    if (!file_write_bytes(out, directory.data(), directory.size())) return 0;
    // The magic goes in last: an interrupted pack is never taken for one.
    return std::fseek(out, 4, SEEK_SET) == 0 && file_write_u32(out, (uint32_t)offset) &&
           file_write_u32(out, (uint32_t)directory.size()) && file_write_u32(out, (uint32_t)count) &&
           std::fseek(out, 0, SEEK_SET) == 0 && file_write_u32(out, DP_MAGIC);
}

void add_found(const char* name, const char* path, void* user) {
    PackFolder* out = (PackFolder*)user;
    out->names.push_back(name);
    out->sources.push_back(path);
}

}  // namespace

int packwriter_write(const char* path, const PackItem* items, int count) {
    if (count < 0 || !names_unique(items, count)) return 0;
    IoFileWrite write;
    FILE* out = io_write_begin(&write, path);
    return out && io_write_end(&write, write_pack(out, items, count), 0);
}

int packwriter_scan_folder(const char* folder, PackFolder* out) {
    *out = {};
    if (!io_walk_files(folder, add_found, out)) return 0;
    std::vector<size_t> order(out->names.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return out->names[a] < out->names[b]; });
    std::vector<std::string> names, sources;
    for (size_t i : order) {
        names.push_back(std::move(out->names[i]));
        sources.push_back(std::move(out->sources[i]));
    }
    out->names = std::move(names);
    out->sources = std::move(sources);
    for (size_t i = 0; i < out->names.size(); i++)
        out->items.push_back({out->names[i].c_str(), nullptr, 0, out->sources[i].c_str()});
    return 1;
}
