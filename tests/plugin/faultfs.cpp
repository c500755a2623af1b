// tests/plugin/faultfs.cpp -- a preloaded library that makes the file system fail under the game,
// for the durability tests. It stands between the game and the C library's file calls and, on
// the Nth call of a chosen kind whose path holds a chosen text, fails it (or kills the process).
//
// Settings, from the environment:
//   FAULTFS_OP     the kind of call: fopen, open, fwrite, fflush, fsync, fclose, rename, unlink,
//                  read (an open for reading), write (an open or fopen for writing), or any
//   FAULTFS_PATH   only calls on a path holding this text count ("" or unset: every path); several
//                  texts may be given, separated by '|'
//   FAULTFS_NTH    the matching call that fails, counted from 1 (0 or unset: none fails)
//   FAULTFS_MODE   once (only that call fails), after (it and every later one), kill (SIGKILL
//                  at that call, before it runs)
//   FAULTFS_ERRNO  the error of a failed call: ENOSPC (default), EIO, EACCES, EROFS
//   FAULTFS_LOG    a file that gets one line "op read|write|- path" per matching call
//
// Calls on a FILE or a descriptor (fwrite, fflush, fclose, fsync) find their path in a table
// filled when the file was opened. A failed fwrite also sets the stream's error flag, as a real
// failing write does.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdarg.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int TRACKED_MAX = 1024;  // open files followed at once
constexpr int PATH_KEEP = 512;

struct Tracked {
    const void* key;  // FILE* or (descriptor + 1) as a pointer
    char path[PATH_KEEP];
};

struct State {
    int ready;
    char op[16];
    char path[PATH_KEEP];
    long nth;
    int mode;  // 0 once, 1 after, 2 kill
    int error;
    char log[PATH_KEEP];
    long seen;  // matching calls so far
    Tracked tracked[TRACKED_MAX];
};
State g;
pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
__thread int t_inside;  // a call made by this library itself is never counted

template <class F>
F real(const char* name) {
    return (F)dlsym(RTLD_NEXT, name);
}

void setup() {
    if (g.ready) return;
    g.ready = 1;
    const char* v;
    std::snprintf(g.op, sizeof g.op, "%s", (v = getenv("FAULTFS_OP")) ? v : "");
    std::snprintf(g.path, sizeof g.path, "%s", (v = getenv("FAULTFS_PATH")) ? v : "");
    std::snprintf(g.log, sizeof g.log, "%s", (v = getenv("FAULTFS_LOG")) ? v : "");
    g.nth = (v = getenv("FAULTFS_NTH")) ? std::atol(v) : 0;
    v = getenv("FAULTFS_MODE");
    g.mode = v && !std::strcmp(v, "after") ? 1 : v && !std::strcmp(v, "kill") ? 2 : 0;
    v = getenv("FAULTFS_ERRNO");
    g.error = !v                          ? ENOSPC
              : !std::strcmp(v, "EIO")    ? EIO
              : !std::strcmp(v, "EACCES") ? EACCES
              : !std::strcmp(v, "EROFS")  ? EROFS
                                          : ENOSPC;
}

void track(const void* key, const char* path) {
    if (!key || !path) return;
    pthread_mutex_lock(&g_lock);
    // A key seen before (a descriptor number used again) keeps its one entry; else a free one.
    Tracked* slot = nullptr;
    for (Tracked& t : g.tracked) {
        if (t.key == key) {
            slot = &t;
            break;
        }
        if (!t.key && !slot) slot = &t;
    }
    if (slot) {
        slot->key = key;
        std::snprintf(slot->path, sizeof slot->path, "%s", path);
    }
    pthread_mutex_unlock(&g_lock);
}

void untrack(const void* key) {
    pthread_mutex_lock(&g_lock);
    for (Tracked& t : g.tracked)
        if (t.key == key) t.key = nullptr;
    pthread_mutex_unlock(&g_lock);
}

// The path a FILE or descriptor was opened with, copied into out ("" when unknown).
void path_of(const void* key, char* out) {
    out[0] = 0;
    pthread_mutex_lock(&g_lock);
    for (const Tracked& t : g.tracked)
        if (t.key == key) std::snprintf(out, PATH_KEEP, "%s", t.path);
    pthread_mutex_unlock(&g_lock);
}

const void* fd_key(int fd) { return (const void*)(intptr_t)(fd + 1); }

// Whether this call fails: 1 fail, 0 go on. kind is the call's own name, also_kind a second
// name it answers to ("read" or "write" for opens).
// Whether path holds one of the '|'-separated texts of FAULTFS_PATH (any path when there is none).
bool path_matches(const char* path) {
    if (!g.path[0]) return true;
    if (!path) return false;
    const size_t length = std::strlen(path);
    for (const char* part = g.path;;) {
        const char* end = std::strchr(part, '|');
        const size_t n = end ? (size_t)(end - part) : std::strlen(part);
        for (size_t at = 0; n && at + n <= length; at++)
            if (!std::strncmp(path + at, part, n)) return true;
        if (!end) return false;
        part = end + 1;
    }
}

// A rename counts once, on whichever of its two paths matches (path2).
int should_fail(const char* kind, const char* also_kind, const char* path, const char* path2 = nullptr) {
    if (t_inside) return 0;
    pthread_mutex_lock(&g_lock);
    setup();
    const bool kind_matches = g.op[0] && (!std::strcmp(g.op, "any") || !std::strcmp(g.op, kind) ||
                                          (also_kind && !std::strcmp(g.op, also_kind)));
    if (path2 && !path_matches(path)) path = path2;
    const bool path_matches_now = path_matches(path);
    int fail = 0;
    const bool matched = kind_matches && path_matches_now;
    if (matched) {
        g.seen++;
        if (g.nth > 0 && (g.seen == g.nth || (g.mode == 1 && g.seen > g.nth))) fail = 1;
    }
    const int mode = g.mode, error = g.error;
    pthread_mutex_unlock(&g_lock);
    if (matched && g.log[0]) {  // written outside the lock: the log's own calls come back here
        t_inside = 1;
        if (FILE* f = real<FILE* (*)(const char*, const char*)>("fopen")(g.log, "a")) {
            std::fprintf(f, "%s %s %s\n", kind, also_kind ? also_kind : "-", path ? path : "");
            real<int (*)(FILE*)>("fclose")(f);
        }
        t_inside = 0;
    }
    if (fail && mode == 2) raise(SIGKILL);
    if (fail) errno = error;
    return fail;
}

bool writes(const char* mode) { return std::strpbrk(mode, "wa+") != nullptr; }
bool writes(int flags) { return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC)); }

}  // namespace

extern "C" {

FILE* fopen(const char* path, const char* mode) {
    if (should_fail("fopen", writes(mode) ? "write" : "read", path)) return nullptr;
    FILE* f = real<FILE* (*)(const char*, const char*)>("fopen")(path, mode);
    track(f, path);
    if (f) track(fd_key(fileno(f)), path);  // fsync(fileno(f)) finds it too
    return f;
}
FILE* fopen64(const char* path, const char* mode) { return fopen(path, mode); }

static int open_common(const char* name, const char* path, int flags, mode_t mode) {
    if (should_fail("open", writes(flags) ? "write" : "read", path)) return -1;
    const int fd = real<int (*)(const char*, int, ...)>(name)(path, flags, mode);
    if (fd >= 0) track(fd_key(fd), path);
    return fd;
}

// The mode argument of an open that creates a file (the C library passes it as an int).
#define FAULTFS_MODE_ARG(flags)            \
    mode_t mode = 0;                       \
    if ((flags) & (O_CREAT | O_TMPFILE)) { \
        va_list ap;                        \
        va_start(ap, flags);               \
        mode = (mode_t)va_arg(ap, int);    \
        va_end(ap);                        \
    }

int open(const char* path, int flags, ...) {
    FAULTFS_MODE_ARG(flags)
    return open_common("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    FAULTFS_MODE_ARG(flags)
    return open_common("open64", path, flags, mode);
}

FILE* fdopen(int fd, const char* mode) {
    FILE* f = real<FILE* (*)(int, const char*)>("fdopen")(fd, mode);
    if (f) {
        char path[PATH_KEEP];
        path_of(fd_key(fd), path);
        if (path[0]) track(f, path);
    }
    return f;
}

size_t fwrite(const void* data, size_t size, size_t count, FILE* f) {
    char path[PATH_KEEP];
    path_of(f, path);
    if (size && count && should_fail("fwrite", nullptr, path)) {
        f->_flags |= 0x20;  // the stream's error flag, as a failing write leaves it
        return 0;
    }
    return real<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite")(data, size, count, f);
}

int fflush(FILE* f) {
    char path[PATH_KEEP];
    if (f) path_of(f, path);
    if (f && should_fail("fflush", nullptr, path)) return EOF;
    return real<int (*)(FILE*)>("fflush")(f);
}

int fclose(FILE* f) {
    char path[PATH_KEEP];
    path_of(f, path);
    untrack(f);
    const int fail = should_fail("fclose", nullptr, path);
    const int result = real<int (*)(FILE*)>("fclose")(f);
    if (fail) return EOF;  // closed all the same, as a close that reports a late write error
    return result;
}

int close(int fd) {
    untrack(fd_key(fd));
    return real<int (*)(int)>("close")(fd);
}

int fsync(int fd) {
    char path[PATH_KEEP];
    path_of(fd_key(fd), path);
    if (should_fail("fsync", nullptr, path)) return -1;
    return real<int (*)(int)>("fsync")(fd);
}

int rename(const char* from, const char* to) {
    if (should_fail("rename", nullptr, to, from)) return -1;
    return real<int (*)(const char*, const char*)>("rename")(from, to);
}

int unlink(const char* path) {
    if (should_fail("unlink", nullptr, path)) return -1;
    return real<int (*)(const char*)>("unlink")(path);
}

int remove(const char* path) {
    if (should_fail("unlink", nullptr, path)) return -1;
    return real<int (*)(const char*)>("remove")(path);
}

}  // extern "C"
