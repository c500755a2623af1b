// resources/packwriter.h -- writes data packs: the build-time side of the pack format read by
// resources/dp.h. Used by the pack builder tool and by tests that need packs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PackItem {
    const char* name;    // resource name, '/' between folders
    const void* data;    // bytes in memory, or null to copy the file `source`
    uint32_t size;       // bytes at data (ignored for a source file)
    const char* source;  // file on disk when data is null
};

// Writes the items, in the given order, as a pack at path: head, the data back to back, then
// the directory (entries padded to 4 bytes). Written through a temporary name and renamed over
// path, the magic last. 1, or 0 when a source does not read, a name repeats, or the pack would
// exceed the format's 32-bit offsets or the directory limit.
int packwriter_write(const char* path, const PackItem* items, int count);

// Every regular file under folder, recursively (symbolic links to folders are not followed),
// named relative to it with '/' and sorted by name byte by byte, so a pack of it is the same
// byte for byte between runs. `items` points into `names` and `sources`.
struct PackFolder {
    std::vector<std::string> names;
    std::vector<std::string> sources;
    std::vector<PackItem> items;
};
int packwriter_scan_folder(const char* folder, PackFolder* out);  // 1, or 0 when unreadable
