// installer/prsetup.cpp -- the game's installer, shipped as "sfiles/present.bin" and carried in
// every gift. The game's files are appended to this program (installer/prpack.h).
//   prsetup [/VERYSILENT]
// It checks that the shared libraries the game needs can be loaded (when some cannot, it names
// the Debian packages to install and installs nothing), then installs for the user who runs it:
//   $XDG_DATA_HOME/lumavex/      the game folder: program, pack, help, sfiles/loader.dat, a copy
//                                of this file as sfiles/present.bin, sample boxes in puzzles/
//   $XDG_DATA_HOME/applications/lumavex.desktop, icons/hicolor/..., mime/packages/lumavex.xml
//   $XDG_CONFIG_HOME/Dremwick/Lumavex.ini   "InstallPath" and "Version", written last
// Every file is written under a temporary name beside its place first; only when all of them
// are whole are they renamed into place, the program last, so a failure leaves the older
// install or none. A file of the player's in puzzles/ is never replaced. Without /VERYSILENT
// each step is told on standard output; errors always go to standard error.
// Exit 0 when installed, 1 when a file could not be written, 2 for a bad command line or a
// damaged installer, 3 when libraries are missing.
//
// Linked with libstdc++ and libgcc built in, so it needs only the C library and zlib.
#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/version.h"
#include "installer/prpack.h"

extern char** environ;

namespace {

enum Result { RESULT_INSTALLED = 0, RESULT_WRITE_FAILED = 1, RESULT_DAMAGED = 2, RESULT_MISSING = 3 };

constexpr size_t CHUNK = 65536;
constexpr uint32_t TEXT_MAX = 65536;  // the desktop entry and a package name are read into memory

struct Entry {
    uint32_t kind, size, stored, crc;
    uint64_t data;  // where the zlib stream starts in the file
    std::string name;
};

struct Payload {
    int fd = -1;
    uint64_t file_size = 0;
    std::vector<Entry> entries;
};

// A file written under a temporary name, waiting to be renamed into place.
struct Staged {
    std::string temp, target;
    bool keep_existing;  // a sample box: a file already there wins
};

struct State {
    bool silent = false;
    mode_t umask = 022;
    std::vector<Staged> staged;  // in the order they are renamed
} g;

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...) {
    if (g.silent) return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

bool read_at(int fd, void* buffer, size_t size, uint64_t at) {
    auto* out = (unsigned char*)buffer;
    while (size > 0) {
        const ssize_t n = pread(fd, out, size, (off_t)at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n, size -= (size_t)n, at += (uint64_t)n;
    }
    return true;
}

bool write_all(int fd, const void* buffer, size_t size) {
    auto* in = (const unsigned char*)buffer;
    while (size > 0) {
        const ssize_t n = write(fd, in, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        in += n, size -= (size_t)n;
    }
    return true;
}

// --- The payload ---------------------------------------------------------------------------------

// Reads the index of the payload; an error text when the file holds no whole payload.
const char* read_payload(Payload* payload) {
    struct stat info;
    if (fstat(payload->fd, &info) != 0) return "cannot read its own file";
    payload->file_size = (uint64_t)info.st_size;
    unsigned char trailer[PR_TRAILER_SIZE];
    if (payload->file_size < (uint64_t)PR_TRAILER_SIZE ||
        !read_at(payload->fd, trailer, sizeof trailer, payload->file_size - PR_TRAILER_SIZE) ||
        pr_get32(trailer + 12) != PR_MAGIC)
        return "the game's files are not in it";
    const uint64_t end = payload->file_size - PR_TRAILER_SIZE;
    uint64_t at = pr_get64(trailer);
    const uint32_t count = pr_get32(trailer + 8);
    if (at > end || count > (uint32_t)PR_ENTRY_MAX) return "its index is damaged";
    for (uint32_t i = 0; i < count; i++) {
        unsigned char head[PR_HEAD_SIZE];
        if (end - at < (uint64_t)PR_HEAD_SIZE || !read_at(payload->fd, head, sizeof head, at))
            return "it is cut short";
        Entry entry{pr_get32(head), pr_get32(head + 8), pr_get32(head + 12), pr_get32(head + 16), 0, ""};
        const uint32_t name_length = pr_get32(head + 4);
        at += PR_HEAD_SIZE;
        if (entry.kind < PR_GAME || entry.kind > PR_NEED || name_length > (uint32_t)PR_NAME_MAX ||
            end - at < name_length)
            return "an entry is damaged";
        entry.name.resize(name_length);
        if (!read_at(payload->fd, entry.name.data(), name_length, at) || !pr_plain_path(entry.name))
            return "an entry has a name it may not use";
        at += name_length;
        if (end - at < entry.stored) return "it is cut short";
        entry.data = at;
        at += entry.stored;
        payload->entries.push_back(std::move(entry));
    }
    return at == end ? nullptr : "its index is damaged";
}

// Inflates an entry into the file `fd`, or, when fd is -1, into `text`. False when the stream
// is damaged or its size or checksum differs from the entry's head.
bool unpack(const Payload& payload, const Entry& entry, int fd, std::string* text) {
    if (fd < 0 && entry.size > TEXT_MAX) return false;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    std::vector<unsigned char> in(CHUNK), out(CHUNK);
    uint64_t read = 0, written = 0;
    uLong crc = crc32(0, nullptr, 0);
    int status = Z_OK;
    bool ok = true;
    while (ok && status != Z_STREAM_END) {
        if (z.avail_in == 0) {
            const size_t n = (size_t)std::min<uint64_t>(CHUNK, entry.stored - read);
            if (n == 0 || !read_at(payload.fd, in.data(), n, entry.data + read)) break;
            read += n;
            z.next_in = in.data();
            z.avail_in = (uInt)n;
        }
        z.next_out = out.data();
        z.avail_out = (uInt)out.size();
        status = inflate(&z, Z_NO_FLUSH);
        const size_t made = out.size() - z.avail_out;
        ok = (status == Z_OK || status == Z_STREAM_END) && made <= entry.size - written;
        if (!ok) break;
        crc = crc32(crc, out.data(), (uInt)made);
        written += made;
        if (fd >= 0)
            ok = write_all(fd, out.data(), made);
        else
            text->append((const char*)out.data(), made);
    }
    const bool rest = z.avail_in == 0;
    inflateEnd(&z);
    return ok && status == Z_STREAM_END && rest && written == entry.size && read == entry.stored &&
           crc == entry.crc;
}

// --- The libraries -------------------------------------------------------------------------------

// True when every library the game needs loads; otherwise tells which packages to install.
bool libraries_present(const Payload& payload) {
    std::vector<std::string> missing, packages;
    int checked = 0;
    for (const Entry& entry : payload.entries) {
        if (entry.kind != PR_NEED) continue;
        checked++;
        if (void* handle = dlopen(entry.name.c_str(), RTLD_LAZY | RTLD_LOCAL)) {
            dlclose(handle);
            continue;
        }
        std::string package;
        if (!unpack(payload, entry, -1, &package)) package.clear();
        missing.push_back(entry.name + (package.empty() ? "" : " (" + package + ")"));
        bool listed = package.empty();
        for (const std::string& p : packages)
            listed |= p == package;
        if (!listed) packages.push_back(package);
    }
    say("Checked the %d libraries the game needs\n", checked);
    if (missing.empty()) return true;
    std::fprintf(stderr, "Lumavex cannot be installed: libraries it needs are missing:\n");
    for (const std::string& line : missing)
        std::fprintf(stderr, "  %s\n", line.c_str());
    if (!packages.empty()) {
        std::string command = "sudo apt install";
        for (const std::string& p : packages)
            command += " " + p;
        std::fprintf(stderr, "Install them with:\n  %s\nand run this again. Nothing was installed.\n",
                     command.c_str());
    }
    return false;
}

// --- Folders and staged files ------------------------------------------------------------------

std::string home_folder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

// An XDG base folder: the variable when it holds an absolute path, else HOME + fallback.
std::string base_folder(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return value;
    const std::string home = home_folder();
    return home.empty() ? "" : home + fallback;
}

bool make_folders(const std::string& path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        if (mkdir(path.substr(0, at).c_str(), 0777) != 0 && errno != EEXIST) return false;
    struct stat info;
    if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return false;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// Writes a file under a temporary name beside `target` through `fill` (which writes into the
// open file) and queues it for the rename. False, with the temporary removed, when it fails.
template <typename Fill>
bool stage(const std::string& target, mode_t mode, bool keep_existing, Fill fill) {
    const size_t slash = target.rfind('/');
    const std::string folder = target.substr(0, slash);
    std::string temp = folder + "/." + target.substr(slash + 1) + ".XXXXXX";
    if (!make_folders(folder)) {
        std::fprintf(stderr, "prsetup: cannot make the folder %s: %s\n", folder.c_str(),
                     std::strerror(errno));
        return false;
    }
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        std::fprintf(stderr, "prsetup: cannot write in %s: %s\n", folder.c_str(), std::strerror(errno));
        return false;
    }
    errno = 0;  // stays 0 when the file's data in the installer is damaged
    bool ok = fill(fd) && fchmod(fd, mode & ~g.umask) == 0 && fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (close(fd) != 0 && ok) ok = false, error = errno;
    if (!ok) {
        std::fprintf(stderr, "prsetup: cannot write %s: %s\n", target.c_str(),
                     error ? std::strerror(error) : "its data in this installer is damaged");
        unlink(temp.c_str());
        return false;
    }
    g.staged.push_back({temp, target, keep_existing});
    return true;
}

void discard_staged() {
    for (const Staged& file : g.staged)
        unlink(file.temp.c_str());
    g.staged.clear();
}

// Puts a sample box in place unless a file of that name appeared meanwhile.
bool place_new(const Staged& file) {
    if (renameat2(AT_FDCWD, file.temp.c_str(), AT_FDCWD, file.target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST) {
        unlink(file.temp.c_str());
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (link(file.temp.c_str(), file.target.c_str()) == 0 || errno == EEXIST) {
        unlink(file.temp.c_str());
        return true;
    }
    return !exists(file.target) ? rename(file.temp.c_str(), file.target.c_str()) == 0
                                : unlink(file.temp.c_str()) == 0;
}

// Renames every staged file into place, in order. On a failure the rest are removed.
bool commit_staged() {
    for (size_t i = 0; i < g.staged.size(); i++) {
        const Staged& file = g.staged[i];
        const bool ok =
            file.keep_existing ? place_new(file) : rename(file.temp.c_str(), file.target.c_str()) == 0;
        if (!ok) {
            std::fprintf(stderr, "prsetup: cannot put %s in place: %s\n", file.target.c_str(),
                         std::strerror(errno));
            g.staged.erase(g.staged.begin(), g.staged.begin() + (long)i);
            discard_staged();
            return false;
        }
    }
    g.staged.clear();
    return true;
}

// --- The desktop entry ---------------------------------------------------------------------------

// A string value of a desktop entry.
std::string desktop_string(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

// One argument of an Exec line: quoted when it holds a reserved character, '%' doubled.
std::string exec_argument(const std::string& text) {
    bool quote = false;
    std::string inner;
    for (char c : text) {
        quote |= std::strchr(" \t\n\"'\\><~|&;$*?#()`", c) != nullptr;
        if (c == '"' || c == '`' || c == '$' || c == '\\') inner += '\\';
        inner += c == '%' ? std::string("%%") : std::string(1, c);
    }
    if (!quote) return inner;
    return '"' + inner + '"';
}

// The shipped entry with Exec and TryExec naming the installed program and Path its folder.
std::string desktop_entry(const std::string& shipped, const std::string& game) {
    const std::string program = game + "/tesselo";
    std::string out;
    size_t start = 0;
    while (start < shipped.size()) {
        size_t end = shipped.find('\n', start);
        if (end == std::string::npos) end = shipped.size();
        const std::string line = shipped.substr(start, end - start);
        start = end + 1;
        if (line.rfind("Exec=", 0) == 0) {
            const size_t space = line.find(' ');
            const std::string arguments = space == std::string::npos ? "" : line.substr(space);
            out += "Exec=" + desktop_string(exec_argument(program)) + arguments + "\n";
            out += "Path=" + desktop_string(game) + "\n";
        } else if (line.rfind("TryExec=", 0) == 0) {
            out += "TryExec=" + desktop_string(program) + "\n";
        } else if (line.rfind("Path=", 0) != 0) {
            out += line + "\n";
        }
    }
    return out;
}

// Runs a desktop tool, quietly; a missing or failing tool is not the installer's failure.
void refresh(const char* tool, std::vector<std::string> arguments) {
    std::vector<char*> argv{(char*)tool};
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    if (posix_spawnp(&pid, tool, &actions, nullptr, argv.data(), environ) == 0) {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        say("Ran %s\n", tool);
    }
    posix_spawn_file_actions_destroy(&actions);
}

// --- Installing ----------------------------------------------------------------------------------

bool copy_self(const Payload& payload, int fd) {
    std::vector<unsigned char> buffer(CHUNK);
    for (uint64_t at = 0; at < payload.file_size;) {
        const size_t n = (size_t)std::min<uint64_t>(CHUNK, payload.file_size - at);
        if (!read_at(payload.fd, buffer.data(), n, at) || !write_all(fd, buffer.data(), n)) return false;
        at += n;
    }
    return true;
}

struct Counts {
    int files = 0, samples = 0, kept = 0, share = 0;
};

// Writes every file under its temporary name, in the order they are to be renamed: the game's
// files, the program last of them, then the desktop's files.
bool stage_all(const Payload& payload, const std::string& game, const std::string& data, Counts* counts) {
    const uint32_t order[] = {PR_GAME, PR_SAMPLE, PR_PROGRAM, PR_SHARE, PR_DESKTOP};
    for (uint32_t kind : order) {
        if (kind == PR_PROGRAM &&
            !stage(game + "/sfiles/present.bin", 0755, false, [&](int fd) { return copy_self(payload, fd); }))
            return false;
        for (const Entry& entry : payload.entries) {
            if (entry.kind != kind) continue;
            const bool in_game = kind == PR_GAME || kind == PR_SAMPLE || kind == PR_PROGRAM;
            const std::string target = (in_game ? game : data) + "/" + entry.name;
            if (kind == PR_SAMPLE && exists(target)) {
                counts->kept++;
                continue;
            }
            bool ok;
            if (kind == PR_DESKTOP) {
                std::string shipped;
                ok = unpack(payload, entry, -1, &shipped);
                const std::string text = desktop_entry(shipped, game);
                ok = ok && stage(target, 0644, false,
                                 [&](int fd) { return write_all(fd, text.data(), text.size()); });
            } else {
                ok = stage(target, kind == PR_PROGRAM ? 0755 : 0644, kind == PR_SAMPLE,
                           [&](int fd) { return unpack(payload, entry, fd, nullptr); });
            }
            if (!ok) return false;
            (kind == PR_SAMPLE ? counts->samples : in_game ? counts->files : counts->share)++;
        }
    }
    return true;
}

int install(const Payload& payload) {
    const std::string data = base_folder("XDG_DATA_HOME", "/.local/share");
    const std::string config = base_folder("XDG_CONFIG_HOME", "/.config");
    if (data.empty() || config.empty()) {
        std::fprintf(stderr, "prsetup: no home folder is known (HOME is not set)\n");
        return RESULT_WRITE_FAILED;
    }
    const std::string game = data + "/lumavex";
    for (char c : game + config)
        if ((unsigned char)c < 0x20) {
            std::fprintf(stderr,
                         "prsetup: cannot install into a folder whose name holds control characters\n");
            return RESULT_WRITE_FAILED;
        }
    say("Installing Lumavex into %s\n", game.c_str());
    Counts counts;
    if (!stage_all(payload, game, data, &counts) || !commit_staged()) {
        discard_staged();
        std::fprintf(stderr, "prsetup: the installation stopped; nothing of it is used\n");
        return RESULT_WRITE_FAILED;
    }
    say("Installed %d files of the game and %d sample boxes\n", counts.files, counts.samples);
    if (counts.kept) say("Kept %d boxes in puzzles/ that have a sample box's name\n", counts.kept);
    say("Installed the menu entry, icons and box file type in %s (%d files)\n", data.c_str(), counts.share);
    refresh("update-mime-database", {data + "/mime"});
    refresh("update-desktop-database", {"-q", data + "/applications"});

    const std::string ini = config + "/Dremwick/Lumavex.ini";
    const std::string text =
        "[Lumavex]\nInstallPath=" + game + "\nVersion=" + std::to_string(INSTALL_VERSION) + "\n";
    if (!stage(ini, 0644, false, [&](int fd) { return write_all(fd, text.data(), text.size()); }) ||
        !commit_staged()) {
        discard_staged();
        return RESULT_WRITE_FAILED;
    }
    say("Recorded the game in %s\nLumavex is installed: start it from the Games menu.\n", ini.c_str());
    return RESULT_INSTALLED;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        if (strcasecmp(argv[i], "/VERYSILENT") == 0) {
            g.silent = true;
        } else {
            std::fprintf(stderr, "usage: %s [/VERYSILENT]\n", argv[0]);
            return RESULT_DAMAGED;
        }
    }
    g.umask = umask(0);
    umask(g.umask);

    Payload payload;
    payload.fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (payload.fd < 0 && std::strchr(argv[0], '/')) payload.fd = open(argv[0], O_RDONLY | O_CLOEXEC);
    const char* error = payload.fd < 0 ? "cannot read its own file" : read_payload(&payload);
    if (error) {
        std::fprintf(stderr, "prsetup: this installer is damaged: %s\n", error);
        return RESULT_DAMAGED;
    }
    if (!libraries_present(payload)) return RESULT_MISSING;
    const int result = install(payload);
    close(payload.fd);
    return result;
}
