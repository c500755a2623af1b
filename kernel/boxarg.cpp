// kernel/boxarg.cpp -- a box file named on the command line.
#include "kernel/boxarg.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/limits.h"
#include "platform/io_file.h"
#include "puzzle/box.h"

namespace {

constexpr int FREE_NAME_TRIES = 999;  // "Name (2)" .. "Name (999)"

// Switches whose next argument is their value, never a box.
constexpr const char* VALUE_SWITCHES[] = {"--window", "--scale", "--script",
                                          "-path",    "-debug",  "-videodriver"};

bool ends_with(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    return s.size() > n && s.compare(s.size() - n, n, tail) == 0;
}

// The whole of a regular file no larger than any box could be; empty otherwise.
std::string read_bytes(const char* path) {
    std::string bytes;
    const long long size = io_file_size(path);
    if (size <= 0 || size > BOX_FILE_MAX) return bytes;
    FILE* f = io_fopen_read(path);
    if (!f) return bytes;
    char buf[65536];
    size_t n;
    while ((long long)bytes.size() <= BOX_FILE_MAX && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    std::fclose(f);
    if ((long long)bytes.size() > BOX_FILE_MAX) bytes.clear();  // it grew while read
    return bytes;
}

std::string real_folder(const char* path) {
    char resolved[PATH_MAX];
    return realpath(path, resolved) ? std::string(resolved) : std::string();
}

}  // namespace

int boxarg_find(int argc, char** argv, char* path, int size) {
    for (int i = 1; i < argc; i++) {
        bool is_switch = false;
        for (const char* s : VALUE_SWITCHES)
            is_switch |= std::strcmp(argv[i], s) == 0;
        if (is_switch) {
            i++;
            continue;
        }
        if (argv[i][0] != '-' && ends_with(argv[i], ".pzl")) {
            std::snprintf(path, size, "%s", argv[i]);
            return (int)std::strlen(argv[i]) < size;
        }
    }
    return 0;
}

int boxarg_import(const char* path, const char* folder, char* name, int size, int* copied) {
    int made = 0;
    if (!copied) copied = &made;
    *copied = 0;
    std::string file = path;
    const size_t slash = file.rfind('/');
    std::string base = file.substr(slash == std::string::npos ? 0 : slash + 1);
    std::string stem = base.substr(0, base.size() - 4);
    if (!ends_with(base, ".pzl") || !io_file_exists(path)) return 0;
    const std::string dir = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    if (!real_folder(dir.c_str()).empty() && real_folder(dir.c_str()) == real_folder(folder)) {
        if (!box_name_ok(stem.c_str())) return 0;
        std::snprintf(name, size, "%s", stem.c_str());
        return (int)stem.size() < size;
    }
    const std::string bytes = read_bytes(path);
    if (bytes.empty()) return 0;
    for (int k = 1; k <= FREE_NAME_TRIES; k++) {
        std::string candidate = k == 1 ? stem : stem + " (" + std::to_string(k) + ")";
        if (!box_name_ok(candidate.c_str()) || (int)candidate.size() >= size) continue;
        char target[PATH_MAX];
        if (!box_file_path(target, sizeof target, folder, candidate.c_str(), BOX_EXTENSION)) continue;
        if (io_file_exists(target)) {
            if (read_bytes(target) != bytes) continue;
        } else if (!io_write_file_atomic(target, bytes.data(), bytes.size())) {
            return 0;
        } else {
            *copied = 1;
        }
        std::snprintf(name, size, "%s", candidate.c_str());
        return 1;
    }
    return 0;
}
