// platform/io_file.cpp -- paths, files and folders over POSIX.
#include "platform/io_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

char g_start_folder[PATH_MAX_GAME];  // current folder at process start
int g_last_error;                    // errno of the last failing operation

// A failure's cause is kept only when the call left one (a short fwrite sets errno itself).
int failed(int fallback = EIO) {
    g_last_error = errno ? errno : fallback;
    return 0;
}

// Opens path without following it into a FIFO's wait; the descriptor of a regular file, or -1.
int open_regular(const char* path) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// The folder part of path ("." when there is none), for making a rename durable.
void sync_folder_of(const char* path) {
    std::string folder = path;
    const size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)fsync(fd);
    close(fd);
}

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

int io_touch_file(const char* path) { return utimensat(AT_FDCWD, path, nullptr, 0) == 0; }

int io_file_exists(const char* path) {
    const int fd = open_regular(path);
    if (fd < 0) return 0;
    close(fd);
    return 1;
}

long long io_file_size(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return (long long)st.st_size;
}

int io_folder_exists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int io_copy_file(const char* from, const char* to) {
    FILE* in = io_fopen_read(from);
    if (!in) return 0;
    IoFileWrite write;
    FILE* out = io_write_begin(&write, to);
    int ok = out != nullptr;
    char buf[65536];
    size_t n;
    while (ok && (n = std::fread(buf, 1, sizeof buf, in)) > 0)
        ok = std::fwrite(buf, 1, n, out) == n;
    if (std::ferror(in)) ok = 0;
    std::fclose(in);
    ok = io_write_end(&write, ok, 0);
    if (ok) chmod(to, 0644);  // the copy gets plain attributes
    return ok;
}

int io_move_file(const char* from, const char* to) {
    errno = 0;
    return std::rename(from, to) == 0 ? 1 : failed();
}

FILE* io_fopen(const char* path, const char* mode) { return std::fopen(path, mode); }

FILE* io_fopen_read(const char* path) {
    errno = 0;
    const int fd = open_regular(path);
    FILE* f = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (!f) {
        if (fd >= 0) close(fd);
        if (errno != ENOENT) failed();
    }
    return f;
}

int io_file_sync(FILE* file) {
    errno = 0;
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0 ? 1 : failed();
}

void io_sync_folder_of(const char* path) { sync_folder_of(path); }

int io_process_id() { return (int)getpid(); }

int io_last_error() { return g_last_error; }
void io_set_last_error(int error) { g_last_error = error; }
int io_error_is_disk_full(int error) { return error == ENOSPC || error == EDQUOT; }

int io_remove_stale_temps(const char* folder) {
    DIR* dir = opendir(folder);
    if (!dir) return 0;
    int removed = 0;
    while (dirent* d = readdir(dir)) {
        // "<name>.<pid>.new": the digits between the last two dots name the writer.
        const char* name = d->d_name;
        const size_t n = std::strlen(name);
        if (n < 6 || std::strcmp(name + n - 4, ".new") != 0) continue;
        const char* end = name + n - 4;
        const char* digits = end;
        while (digits > name && digits[-1] >= '0' && digits[-1] <= '9')
            digits--;
        if (digits == end || digits == name || digits[-1] != '.' || end - digits > 9) continue;
        const long pid = std::strtol(digits, nullptr, 10);
        if (pid <= 0 || pid == getpid()) continue;
        if (kill((pid_t)pid, 0) == 0 || errno != ESRCH) continue;  // its writer is still at work
        const std::string path = std::string(folder) + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(path.c_str()) == 0) removed++;
    }
    closedir(dir);
    return removed;
}

int io_make_executable(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) return 0;
    const mode_t mode = st.st_mode & 07777;
    return chmod(path, mode | (mode & 0444) >> 2) == 0;
}

int io_path_join(char* path, size_t size, const char* name) {
    const size_t used = std::strlen(path), add = std::strlen(name);
    const bool slash = used > 0 && path[used - 1] != '/' && path[used - 1] != '\\';
    if (used + slash + add + 1 > size) return 0;
    if (slash) path[used] = '/';
    std::memcpy(path + used + slash, name, add + 1);
    return 1;
}

// Writing a file whole or not at all ----------------------------------------------------------

FILE* io_write_begin(IoFileWrite* write, const char* path) {
    write->file = nullptr;
    const int n = std::snprintf(write->path, sizeof write->path, "%s", path);
    const int t = std::snprintf(write->temp, sizeof write->temp, "%s.%d.new", path, (int)getpid());
    if (n <= 0 || n >= (int)sizeof write->path || t <= 0 || t >= (int)sizeof write->temp) return nullptr;
    errno = 0;
    write->file = std::fopen(write->temp, "wb");
    if (!write->file) failed();
    return write->file;
}

int io_write_end(IoFileWrite* write, int ok, int durable) {
    if (!write->file) return 0;
    // The first failing step names the cause; a write refused earlier left its errno behind.
    int error = ok ? 0 : (errno ? errno : EIO);
    auto step = [&](bool good) {
        if (!good && ok) error = errno ? errno : EIO;
        ok = ok && good;
    };
    errno = 0;
    step(std::fflush(write->file) == 0 && !std::ferror(write->file));
    if (durable) step(!ok || fsync(fileno(write->file)) == 0);
    step(std::fclose(write->file) == 0);
    write->file = nullptr;
    if (ok) step(std::rename(write->temp, write->path) == 0);
    if (!ok) {
        std::remove(write->temp);
        g_last_error = error ? error : EIO;
        return 0;
    }
    if (durable) sync_folder_of(write->path);
    return 1;
}

int io_write_file_atomic(const char* path, const void* data, size_t size, int durable) {
    IoFileWrite write;
    FILE* file = io_write_begin(&write, path);
    return file && io_write_end(&write, size == 0 || std::fwrite(data, 1, size, file) == size, durable);
}

// Folder enumeration ------------------------------------------------------------------------

namespace {

// The next name of an open folder other than "." and "..", or null at its end.
const char* next_name(DIR* dir) {
    while (dirent* d = readdir(dir))
        if (std::strcmp(d->d_name, ".") && std::strcmp(d->d_name, "..")) return d->d_name;
    return nullptr;
}

int read_matching(IoFind* find, IoFindEntry* entry) {
    DIR* dir = (DIR*)find->dir;
    while (const char* name = next_name(dir)) {
        if (fnmatch(find->pattern, name, 0) != 0) continue;
        char path[2 * PATH_MAX_GAME];
        std::snprintf(path, sizeof path, "%s/%s", find->folder, name);
        struct stat st;
        if (stat(path, &st) != 0) continue;
        int is_folder = S_ISDIR(st.st_mode) ? 1 : 0;
        if (is_folder != find->want_folders) continue;
        copy_bounded(entry->name, sizeof entry->name, name);
        entry->size = (uint32_t)st.st_size;
        entry->access_time = st.st_atime;
        entry->write_time = st.st_mtime;
        entry->is_folder = is_folder;
        return 1;
    }
    return 0;
}

int walk(const std::string& folder, const std::string& prefix, IoFileFound found, void* user) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return 0;
    int ok = 1;
    while (const char* entry = next_name(dir)) {
        const std::string path = folder + "/" + entry, name = prefix + entry;
        struct stat st, lst;
        if (stat(path.c_str(), &st) != 0 || lstat(path.c_str(), &lst) != 0) {
            ok = 0;
            break;
        }
        if (S_ISDIR(st.st_mode)) {
            if (!S_ISLNK(lst.st_mode) && !walk(path, name + "/", found, user)) {
                ok = 0;
                break;
            }
        } else if (S_ISREG(st.st_mode)) {
            found(name.c_str(), path.c_str(), user);
        }
    }
    closedir(dir);
    return ok;
}

}  // namespace

int io_walk_files(const char* folder, IoFileFound found, void* user) { return walk(folder, "", found, user); }

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
