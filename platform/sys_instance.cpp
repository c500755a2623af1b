// platform/sys_instance.cpp -- one copy of the game at a time: the claim (a lock file and a
// listening socket in a private runtime folder), requests from later copies, the lock on the
// game's folder, and the close signals that the pump turns into a close request.
#include "platform/sys_instance.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/io_debug.h"
#include "platform/sys.h"

namespace {

constexpr int INSTANCE_TEXT_MAX = 4096;  // bytes of one text sent by another program
constexpr int INSTANCE_WAIT_MS = 3000;   // a first copy that holds its claim listens by then
constexpr int INSTANCE_RETRY_MS = 50;

volatile sig_atomic_t g_close_signal;  // a close signal arrived; the pump turns it into PM_CLOSE

struct InstanceState {
    int listen_fd;  // instance socket, -1 when none
    int lock_fd;    // the held instance lock, -1 when none
    int folder_fd;  // the held lock on the game's folder, -1 when none
    char socket_path[108];
    char text[INSTANCE_TEXT_MAX + 1];  // the last text another program sent
};
InstanceState g_instance = {.listen_fd = -1, .lock_fd = -1, .folder_fd = -1};

// A private folder (ours, mode 0700) made or found at folder; 1 when usable.
int private_folder(const char* folder) {
    mkdir(folder, 0700);
    struct stat st;
    if (lstat(folder, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return 0;
    if ((st.st_mode & 0077) && chmod(folder, 0700) != 0) return 0;
    return access(folder, W_OK | X_OK) == 0;
}

// "$XDG_RUNTIME_DIR/lumavex", or "/tmp/lumavex-UID" when there is no runtime folder or it
// cannot be used; every program of the game makes the same choice, so they find each other.
int instance_folder(char* out, size_t size) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    char folder[256];
    if (runtime && runtime[0] &&
        std::snprintf(folder, sizeof folder, "%s/lumavex", runtime) < (int)sizeof folder &&
        private_folder(folder))
        return std::snprintf(out, size, "%s", folder) < (int)size;
    std::snprintf(folder, sizeof folder, "/tmp/lumavex-%u", (unsigned)getuid());
    return private_folder(folder) && std::snprintf(out, size, "%s", folder) < (int)size;
}

// 1 when a live copy holds the instance lock of class_name (the lock file exists and is locked).
int instance_lock_held(const char* class_name) {
    char folder[256], path[320];
    if (!instance_folder(folder, sizeof folder)) return 0;
    std::snprintf(path, sizeof path, "%s/%s.lock", folder, class_name);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const int held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

void on_close_signal(int) { g_close_signal = 1; }

int instance_address(const char* class_name, sockaddr_un* addr) {
    char folder[256];
    if (!instance_folder(folder, sizeof folder)) return 0;
    *addr = {};
    addr->sun_family = AF_UNIX;
    int n = std::snprintf(addr->sun_path, sizeof addr->sun_path, "%s/%s", folder, class_name);
    return n > 0 && n < (int)sizeof addr->sun_path;
}

int send_once(const char* class_name, const void* data, size_t size) {
    sockaddr_un addr;
    if (!instance_address(class_name, &addr)) return 0;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    int ok = connect(fd, (sockaddr*)&addr, sizeof addr) == 0;
    const char* p = (const char*)data;
    while (ok && size > 0) {
        // A first copy that closes mid-request must not end the sender with SIGPIPE.
        ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n <= 0)
            ok = 0;
        else
            p += n, size -= (size_t)n;
    }
    close(fd);
    return ok;
}

// Sends a request to the first copy; while a live copy holds the claim but is not listening yet
// (it is between its lock and its socket), tries again for a while.
int send_request(const char* class_name, const void* data, size_t size) {
    for (int waited = 0;; waited += INSTANCE_RETRY_MS) {
        if (send_once(class_name, data, size)) return 1;
        if (waited >= INSTANCE_WAIT_MS || !instance_lock_held(class_name)) return 0;
        usleep(INSTANCE_RETRY_MS * 1000);
    }
}

}  // namespace

int instance_serve(PlatformMessage* out) {
    if (g_instance.listen_fd < 0) return 0;
    pollfd ready = {g_instance.listen_fd, POLLIN, 0};
    if (poll(&ready, 1, 0) <= 0) return 0;
    int fd = accept4(g_instance.listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return 1;
    static char buf[INSTANCE_TEXT_MAX + 8];
    size_t got = 0;
    while (got < sizeof buf) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 500) <= 0) break;  // a silent client cannot hold the game up
        ssize_t n = read(fd, buf + got, sizeof buf - got);
        if (n <= 0) break;
        got += (size_t)n;
    }
    close(fd);
    if (got >= 1 && buf[0] == 'R') {
        io_log("sys: another copy asked this one to come forward\n");
        sys_raise_window();
        return 1;
    }
    if (got < 5 || buf[0] != 'T') return 1;
    int32_t word;
    std::memcpy(&word, buf + 1, 4);
    size_t len = got - 5;
    if (len > INSTANCE_TEXT_MAX) len = INSTANCE_TEXT_MAX;
    std::memcpy(g_instance.text, buf + 5, len);
    g_instance.text[len] = 0;
    *out = {PM_SET_TEXT};
    out->word = word;
    out->text = g_instance.text;
    return 2;
}

int instance_close_signal_taken() {
    if (!g_close_signal) return 0;
    g_close_signal = 0;
    return 1;
}

namespace {

// One try at the claim: 1 claimed, 0 a live first copy answered (or holds the claim), -1 the
// claim was held but its holder has gone meanwhile.
int claim_once(const char* class_name) {
    char folder[256], lock_path[320];
    sockaddr_un addr;
    // Without a private folder there is no claim to make here; the lock on the game's folder
    // still keeps a second copy from its files.
    if (!instance_folder(folder, sizeof folder) || !instance_address(class_name, &addr)) return 1;
    std::snprintf(lock_path, sizeof lock_path, "%s/%s.lock", folder, class_name);
    const int lock = open(lock_path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0) return 1;
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        close(lock);
        const char raise = 'R';
        if (send_request(class_name, &raise, 1)) return 0;
        if (instance_lock_held(class_name)) {
            io_log("sys: the running copy did not answer\n");
            return 0;
        }
        return -1;
    }
    // The lock is ours, so a socket left there belongs to a copy that has gone.
    g_instance.lock_fd = lock;
    unlink(addr.sun_path);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return 1;
    if (bind(fd, (sockaddr*)&addr, sizeof addr) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return 1;
    }
    g_instance.listen_fd = fd;
    std::snprintf(g_instance.socket_path, sizeof g_instance.socket_path, "%s", addr.sun_path);
    return 1;
}

}  // namespace

int sys_instance_claim(const char* class_name) {
    // A first copy that ends while this one knocks leaves the claim free: take it then.
    for (int tries = 0;; tries++) {
        const int claimed = claim_once(class_name);
        if (claimed >= 0) return claimed;
        if (tries >= 2) return 0;
    }
}

int sys_private_folder(char* out, int size) { return size > 0 && instance_folder(out, (size_t)size); }

int sys_folder_claim(const char* folder) {
    if (g_instance.folder_fd >= 0) return 1;
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int busy = errno == EWOULDBLOCK;
        close(fd);
        return busy ? 0 : 1;
    }
    g_instance.folder_fd = fd;
    return 1;
}

void sys_catch_close_signals() {
    struct sigaction sa = {};
    sa.sa_handler = on_close_signal;
    sigemptyset(&sa.sa_mask);
    const int signals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
    for (int signal : signals)
        sigaction(signal, &sa, nullptr);
}

int sys_instance_send_text(const char* class_name, int word, const char* text) {
    char buf[INSTANCE_TEXT_MAX + 8];
    size_t len = std::strlen(text);
    if (len > INSTANCE_TEXT_MAX) len = INSTANCE_TEXT_MAX;
    buf[0] = 'T';
    int32_t w = word;
    std::memcpy(buf + 1, &w, 4);
    std::memcpy(buf + 5, text, len);
    return send_request(class_name, buf, len + 5);
}

void sys_instance_release() {
    // The socket goes while the lock is still held, so it is never another copy's.
    if (g_instance.listen_fd >= 0) {
        close(g_instance.listen_fd);
        unlink(g_instance.socket_path);
        g_instance.listen_fd = -1;
    }
    if (g_instance.lock_fd >= 0) close(g_instance.lock_fd);
    if (g_instance.folder_fd >= 0) close(g_instance.folder_fd);
    g_instance.lock_fd = g_instance.folder_fd = -1;
}
