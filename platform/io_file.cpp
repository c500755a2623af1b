// platform/io_file.cpp -- paths, files and folders over POSIX.
#include "platform/io_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

char g_start_folder[PATH_MAX_GAME];  // current folder at process start

void copy_bounded(char* out, int size, const char* text) { std::snprintf(out, size, "%s", text); }

}  // namespace

void io_set_start_folder(const char* folder) { copy_bounded(g_start_folder, sizeof g_start_folder, folder); }
const char* io_start_folder() { return g_start_folder; }

int io_make_folder(const char* path) {
    if (mkdir(path, 0755) == 0) return 1;
    if (errno == ENOENT) {
        // Make the missing parents first ("my/boxes" for a new puzzles folder).
        char parent[PATH_MAX_GAME];
        std::snprintf(parent, sizeof parent, "%s", path);
        char* slash = std::strrchr(parent, '/');
        if (slash && slash != parent) {
            *slash = 0;
            if (io_make_folder(parent) && mkdir(path, 0755) == 0) return 1;
        }
    }
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int io_delete_file(const char* path) { return unlink(path) == 0 || access(path, F_OK) != 0; }

int io_file_exists(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    std::fclose(f);
    return 1;
}

int io_copy_file(const char* from, const char* to) {
    FILE* in = std::fopen(from, "rb");
    if (!in) return 0;
    char tmp[PATH_MAX_GAME + 16];
    std::snprintf(tmp, sizeof tmp, "%s.part", to);
    FILE* out = std::fopen(tmp, "wb");
    if (!out) {
        std::fclose(in);
        return 0;
    }
    char buf[65536];
    size_t n;
    int ok = 1;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) {
        if (std::fwrite(buf, 1, n, out) != n) {
            ok = 0;
            break;
        }
    }
    if (std::ferror(in)) ok = 0;
    std::fclose(in);
    if (std::fclose(out) != 0) ok = 0;
    if (ok) ok = std::rename(tmp, to) == 0;
    if (!ok) std::remove(tmp);
    if (ok) chmod(to, 0644);  // the copy gets plain attributes
    return ok;
}

int io_move_file(const char* from, const char* to) {
    std::remove(to);
    return std::rename(from, to) == 0;
}

FILE* io_fopen(const char* path, const char* mode) { return std::fopen(path, mode); }

int io_path_join(char* out, int out_size, const char* folder, const char* name) {
    int n = std::snprintf(out, out_size, "%s/%s", folder, name);
    return n >= 0 && n < out_size;
}

int io_write_file_atomic(const char* path, const void* data, size_t size, int durable) {
    char tmp[PATH_MAX_GAME + 32];
    std::snprintf(tmp, sizeof tmp, "%s.%d.new", path, (int)getpid());
    int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return 0;
    const char* p = (const char*)data;
    size_t left = size;
    int ok = 1;
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n <= 0) {
            ok = 0;
            break;
        }
        p += n;
        left -= (size_t)n;
    }
    if (ok && durable && fsync(fd) != 0) ok = 0;
    if (close(fd) != 0) ok = 0;
    if (ok && std::rename(tmp, path) != 0) ok = 0;
    if (!ok) unlink(tmp);
    return ok;
}

// Folder enumeration ------------------------------------------------------------------------

namespace {

int read_matching(IoFind* find, IoFindEntry* entry) {
    DIR* dir = (DIR*)find->dir;
    while (dirent* d = readdir(dir)) {
        if (!std::strcmp(d->d_name, ".") || !std::strcmp(d->d_name, "..")) continue;
        if (fnmatch(find->pattern, d->d_name, 0) != 0) continue;
        char path[2 * PATH_MAX_GAME];
        std::snprintf(path, sizeof path, "%s/%s", find->folder, d->d_name);
        struct stat st;
        if (stat(path, &st) != 0) continue;
        int is_folder = S_ISDIR(st.st_mode) ? 1 : 0;
        if (is_folder != find->want_folders) continue;
        copy_bounded(entry->name, sizeof entry->name, d->d_name);
        entry->size = (uint32_t)st.st_size;
        entry->access_time = st.st_atime;
        entry->write_time = st.st_mtime;
        entry->is_folder = is_folder;
        return 1;
    }
    return 0;
}

}  // namespace

int io_find_first(IoFind* find, const char* pattern, int want_folders, IoFindEntry* entry) {
    *find = {};
    const char* slash = std::strrchr(pattern, '/');
    if (slash) {
        int n = (int)(slash - pattern);
        if (n >= (int)sizeof find->folder) return 0;
        std::memcpy(find->folder, pattern, n);
        find->folder[n] = 0;
        copy_bounded(find->pattern, sizeof find->pattern, slash + 1);
    } else {
        copy_bounded(find->folder, sizeof find->folder, ".");
        copy_bounded(find->pattern, sizeof find->pattern, pattern);
    }
    find->want_folders = want_folders;
    find->dir = opendir(find->folder);
    if (!find->dir) return 0;
    if (read_matching(find, entry)) return 1;
    io_find_close(find);
    return 0;
}

int io_find_next(IoFind* find, IoFindEntry* entry) { return find->dir && read_matching(find, entry); }

void io_find_close(IoFind* find) {
    if (find->dir) closedir((DIR*)find->dir);
    find->dir = nullptr;
}
