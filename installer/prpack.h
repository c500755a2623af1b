// installer/prpack.h -- the payload of the installer: the game's files appended to the prsetup
// program, written by tools/mkpresent and read by installer/prsetup.cpp.
//
//   [prsetup program][entry]...[entry][trailer]
//   entry:   head (PR_HEAD_SIZE bytes), name (name_length bytes), zlib stream (stored bytes)
//   head:    kind, name_length, size (bytes once inflated), stored, crc32 of the inflated bytes
//   trailer: offset of the first entry (64 bits), entry count, PR_MAGIC
// Every field is little-endian; the entries run without gaps from the offset to the trailer.
#pragma once
#include <cstdint>
#include <string_view>

inline constexpr uint32_t PR_MAGIC = 0x31535250;  // "PRS1"
inline constexpr int PR_HEAD_SIZE = 20;
inline constexpr int PR_TRAILER_SIZE = 16;
inline constexpr int PR_ENTRY_MAX = 4096;  // more entries mean a damaged file
inline constexpr int PR_NAME_MAX = 1024;   // a relative path, '/' between folders

// What an entry is and where it goes. Names of files are relative to their folder.
enum PrKind : uint32_t {
    PR_GAME = 1,     // a file of the game folder, mode 0644
    PR_PROGRAM = 2,  // an executable of the game folder, mode 0755
    PR_SAMPLE = 3,   // a sample box of the game folder, put there only when no such file exists
    PR_SHARE = 4,    // a desktop file under the data home (icons, the box file type)
    PR_DESKTOP = 5,  // the desktop entry; Exec, TryExec and Path are filled in when installed
    PR_NEED = 6,     // a shared library the game needs: name = soname, data = its Debian package
};

inline uint32_t pr_get32(const unsigned char* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
inline uint64_t pr_get64(const unsigned char* p) { return pr_get32(p) | (uint64_t)pr_get32(p + 4) << 32; }
inline void pr_put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; i++)
        p[i] = (unsigned char)(v >> (8 * i));
}
inline void pr_put64(unsigned char* p, uint64_t v) {
    pr_put32(p, (uint32_t)v);
    pr_put32(p + 4, (uint32_t)(v >> 32));
}

// A name the installer accepts: relative, at most PR_NAME_MAX bytes, no control bytes, '/'
// between parts that are neither empty nor start with a dot (so never "." or "..").
inline bool pr_plain_path(std::string_view name) {
    if (name.empty() || name.size() > (size_t)PR_NAME_MAX) return false;
    char before = '/';
    for (char c : name) {
        const unsigned char u = (unsigned char)c;
        if (u < 0x20 || u == 0x7f || (before == '/' && (c == '/' || c == '.'))) return false;
        before = c;
    }
    return before != '/';
}
