// loader/ldcore.cpp -- the extractor's work: the private work folder and the gift's records in
// it, the gift's texts, finding or installing the game, delivering the boxes into its puzzles
// folder, starting it, and removing the work folder again.
//
// Every byte of a gift comes from a stranger. Record names are reduced to plain file names and
// created only inside the work folder, never over an existing file; lengths are checked against
// the file's real size by the gift reader before anything is copied, so unpacking never writes
// more than the gift holds; only the "present.bin" record is ever made executable and run; a
// box is read with the game's box reader before it is copied, and it is copied to a temporary
// name and linked into place without replacing anything, so a player's file is never touched.
//
// Sections: the work folder; unpacking; texts; finding and installing the game; delivering the
// boxes; starting the game.
#include "loader/ldcore.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/str.h"
#include "gift/giftfile.h"
#include "platform/io_ini.h"
#include "puzzle/box.h"

LdOptions ld_options;

namespace {

constexpr int RECORD_MAX = 4096;        // records unpacked from one gift; the rest are skipped
constexpr int PIECE = 1024;             // bytes copied at a time
constexpr int NAME_READ_MAX = 1024;     // record names read whole up to this size (for the notes)
constexpr int TITLE_MAX = 259;          // bytes of the dialog title
constexpr int DEDICATION_MAX = 16383;   // bytes of the dedication shown
constexpr int VALUE_MAX = 259;          // bytes of an "InstallPath" or "Version" value
constexpr int GAME_VERSION_MIN = 126;   // the first game that takes boxes from gifts
constexpr int TARGET_NUMBER_MAX = 999;  // "B 1" .. "B 999" before a box gives up
constexpr int OUTPUT_SHOWN_MAX = 6000;  // bytes of the installer's output shown
constexpr int WORK_NUMBER_MAX = 100000;

constexpr const char* WORK_PREFIX = "kvldrl666";
constexpr const char* WORK_BOX_FOLDER = "sfiles";  // where the box reader leaves working files
constexpr const char* INSTALLER_RECORD = "present.bin";
constexpr const char* INSTALLER = "prsetup";
constexpr const char* INSTALLER_OUTPUT = "prsetup.txt";
constexpr const char* GAME_CLASS = "KVLUMAVEXCLASS";
constexpr const char* GAME_PROGRAM = "tesselo";
constexpr const char* INI_SECTION = "Lumavex";

constexpr const char* DASHES = "---------------------------------\r\n";
constexpr const char* NOTE =
    "OPMERKING: De volgende keer kunt u het programma Gift uitvoeren, door het icoontje "
    "Dremwick/Lumavex te klikken. Dit icoontje treft u aan als u op Startmenu klikt en vervolgens "
    "op Programma's.\r\n\r\n";
constexpr const char* DELIVERED = "Uitgepakt";
constexpr const char* ALREADY = "Dit heeft u reeds";
constexpr const char* FAILED = "Fout";

void log_to_stderr(const char* text) { std::fputs(text, stderr); }
LdAppend g_log = log_to_stderr;

// What the signal handler needs, kept where it can read it without allocating.
char g_work_path[PATH_MAX];
char g_work_boxes[PATH_MAX];  // the box reader's working folder inside it
volatile sig_atomic_t g_work_known = 0;
volatile sig_atomic_t g_installer_pid = 0;

// Deletes everything in the open folder dir, subfolders (to a depth of 16) included, with
// async-signal-safe calls only. A listing is read again after a pass that deleted something, as
// deleting while listing may hide entries.
void remove_below(int dir, int depth) {
    for (int pass = 0; pass < 64; pass++) {
        if (lseek(dir, 0, SEEK_SET) != 0) return;
        alignas(8) char entries[4096];
        int deleted = 0;
        ssize_t n;
        while ((n = getdents64(dir, entries, sizeof entries)) > 0)
            for (ssize_t at = 0; at < n;) {
                const dirent64* e = (const dirent64*)(entries + at);
                at += e->d_reclen;
                const char* name = e->d_name;
                if (name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]))) continue;
                if (unlinkat(dir, name, 0) == 0) {
                    deleted = 1;
                    continue;
                }
                if (errno != EISDIR || depth >= 16) continue;
                const int sub = openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (sub >= 0) {
                    remove_below(sub, depth + 1);
                    close(sub);
                }
                if (unlinkat(dir, name, AT_REMOVEDIR) == 0) deleted = 1;
            }
        if (!deleted) break;
    }
}

// Deletes a folder with everything in it.
void remove_folder(const char* path) {
    const int dir = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return;
    remove_below(dir, 0);
    close(dir);
    rmdir(path);
}

void remember_work(const std::string& work) {
    g_work_known = 0;
    std::snprintf(g_work_path, sizeof g_work_path, "%s", work.c_str());
    std::snprintf(g_work_boxes, sizeof g_work_boxes, "%s/%s", work.c_str(), WORK_BOX_FOLDER);
    g_work_known = !work.empty();
}

void on_signal(int sig) {
    if (g_installer_pid > 0) kill(-(pid_t)g_installer_pid, SIGTERM);
    if (g_work_known) {
        remove_folder(g_work_boxes);
        remove_folder(g_work_path);
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

// "name" shown in a note: at most 80 bytes, anything but printable ASCII as \xNN.
std::string shown_name(const char* name, size_t length) {
    std::string out;
    for (size_t i = 0; i < length && i < 80; i++) {
        const unsigned char c = (unsigned char)name[i];
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c >= 32 && c < 127 && c != '\\' ? std::string(1, (char)c) : std::string(hex);
    }
    return length > 80 ? out + "..." : out;
}

void note(const std::string& name, const char* why) {
    char line[512];
    std::snprintf(line, sizeof line, "loader: record \"%s\" skipped: %s\n", name.c_str(), why);
    g_log(line);
}

bool ends_with(const std::string& text, const char* tail) {
    const size_t n = std::strlen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

int open_work(const LdGift* gift) { return open(gift->work.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

// Writes all of data; 0 on a failed write.
int write_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        data += n;
        size -= (size_t)n;
    }
    return 1;
}

// Copies length bytes from the gift's current position into fd.
int copy_from_gift(int fd, FILE* gift, long length) {
    char piece[PIECE];
    while (length > 0) {
        const size_t want = length < PIECE ? (size_t)length : (size_t)PIECE;
        if (std::fread(piece, 1, want, gift) != want || !write_all(fd, piece, want)) return 0;
        length -= (long)want;
    }
    return 1;
}

// Copies the whole of one open file into another.
int copy_fd(int to, int from) {
    char piece[PIECE];
    for (;;) {
        const ssize_t n = read(from, piece, sizeof piece);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return 0;
        if (n == 0) return 1;
        if (!write_all(to, piece, (size_t)n)) return 0;
    }
}

// A new file of the work folder (never an existing one, never through a link) filled with
// length bytes of the gift; nothing stays of it when that fails.
int write_record(int dir, const char* name, FILE* gift, long length) {
    const int fd = openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return 0;
    int ok = copy_from_gift(fd, gift, length);
    if (close(fd) != 0) ok = 0;
    if (!ok) unlinkat(dir, name, 0);
    return ok;
}

// At most max bytes of a work file up to its first zero byte; empty when it is missing.
std::string read_work_text(const LdGift* gift, const char* name, size_t max) {
    std::string text;
    const int dir = open_work(gift);
    const int fd = dir < 0 ? -1 : openat(dir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (dir >= 0) close(dir);
    if (fd < 0) return text;
    text.resize(max);
    size_t got = 0;
    for (ssize_t n; got < max && (n = read(fd, &text[got], max - got)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        got += (size_t)n;
    }
    close(fd);
    text.resize(std::strlen(text.c_str()));  // the bytes after `got` are still zero
    return text;
}

// The work folder: "<tmp>/kvldrl666<n>" for the first n that can be made, so nothing that
// exists there (a folder, a file or a link someone else put there) is ever used.
int make_work(LdGift* gift) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && tmp[0] == '/' ? tmp : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    for (int n = 0; n < WORK_NUMBER_MAX; n++) {
        std::string path = folder + "/" + WORK_PREFIX + std::to_string(n);
        if (path.size() >= sizeof g_work_boxes - 8) return 0;
        if (mkdir(path.c_str(), 0700) == 0) {
            gift->work = path;
            remember_work(path);
            return 1;
        }
        if (errno != EEXIST) return 0;
    }
    return 0;
}

// The body after the marker: every record into the work folder, the boxes noted in order.
int unpack_body(LdGift* gift, FILE* file, int dir, LdProgress progress) {
    long end = 0;
    const int count = gift_count_records(file, &end);
    long size = -1;
    const long start = std::ftell(file);
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (std::fseek(file, start, SEEK_SET) != 0) return LD_NO_FILE;
    gift->truncated = end != size;
    if (count == 0) return LD_EMPTY;
    gift->records = count;
    for (int i = 0; i < count; i++) {
        if (i == RECORD_MAX) {
            gift->skipped += count - i;
            char line[128];
            std::snprintf(line, sizeof line, "loader: %d records beyond the first %d skipped\n", count - i,
                          i);
            g_log(line);
            break;
        }
        const long head = std::ftell(file);
        char raw[NAME_READ_MAX];
        uint32_t length;
        if (!gift_next_record(file, raw, sizeof raw, &length)) {  // the file changed under us
            gift->skipped += count - i;
            gift->truncated = 1;
            break;
        }
        const long data = std::ftell(file);
        const size_t rawLength = (size_t)(data - head - 12);
        char name[GIFT_NAME_MAX + 1];
        if (rawLength >= sizeof raw || !gift_plain_name(raw, rawLength, name)) {
            gift->skipped++;
            note(rawLength >= sizeof raw ? std::string("(a long name)") : shown_name(raw, rawLength),
                 "not a plain file name");
        } else if (!write_record(dir, name, file, (long)length)) {
            gift->skipped++;
            note(shown_name(name, std::strlen(name)),
                 errno == EEXIST ? "the name came before" : std::strerror(errno));
        } else if (ends_with(name, ".pzl")) {
            gift->boxes.emplace_back(name, std::strlen(name) - 4);
        }
        if (std::fseek(file, data + (long)length, SEEK_SET) != 0) return LD_NO_FILE;
        if (progress) progress(i + 1, count);
    }
    return LD_UNPACKED;
}

int unpack_file(LdGift* gift, FILE* file, LdProgress progress) {
    if (!gift_find_marker(file)) return LD_NO_MARKER;
    const long stub = std::ftell(file);
    const int dir = open_work(gift);
    if (dir < 0 || stub < 0) {
        if (dir >= 0) close(dir);
        return LD_NO_FOLDER;
    }
    std::rewind(file);
    if (!write_record(dir, "loader.dat", file, stub)) note("loader.dat", std::strerror(errno));
    int result = LD_NO_FILE;
    if (std::fseek(file, stub + GIFT_MARKER_LENGTH, SEEK_SET) == 0)
        result = unpack_body(gift, file, dir, progress);
    close(dir);
    return result;
}

}  // namespace

// The work folder -----------------------------------------------------------------------------

void ld_remove_work(LdGift* gift) {
    if (gift->work.empty()) return;
    remember_work(gift->work);
    remove_folder(g_work_boxes);
    remove_folder(g_work_path);
    g_work_known = 0;
    gift->work.clear();
}

void ld_catch_signals() {
    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void ld_set_log(LdAppend log) { g_log = log ? log : log_to_stderr; }

// Unpacking -----------------------------------------------------------------------------------

int ld_unpack(LdGift* gift, const char* self, LdProgress progress) {
    gift->records = gift->truncated = gift->skipped = 0;
    gift->boxes.clear();
    FILE* file = std::fopen(self, "rb");
    if (!file) return LD_NO_FILE;
    int result = make_work(gift) ? unpack_file(gift, file, progress) : LD_NO_FOLDER;
    std::fclose(file);
    if (result != LD_UNPACKED) ld_remove_work(gift);
    return result;
}

const char* ld_unpack_message(int result) {
    switch (result) {
        case LD_NO_MARKER:
            return "Coupler not found.";
        case LD_EMPTY:
            return "Error:body is empty.";
        case LD_NO_FOLDER:
            return "Er kon geen werkmap worden gemaakt in de map voor tijdelijke bestanden.";
        case LD_NO_FILE:
            return "Het geschenk kon niet worden gelezen.";
        default:
            return "";
    }
}

// Texts ---------------------------------------------------------------------------------------

std::string ld_title(const LdGift* gift) {
    const std::string name = read_work_text(gift, "name.txt", TITLE_MAX);
    if (name.empty()) return LD_TITLE;
    std::string title = std::string(LD_TITLE) + " - " + name;
    if (title.size() > (size_t)TITLE_MAX) title.resize(TITLE_MAX);
    for (char& c : title)
        if ((unsigned char)c < 32 || c == 127) c = ' ';  // a title is one line
    return title;
}

void ld_show_texts(const LdGift* gift, LdAppend append) {
    const std::string dedication = read_work_text(gift, "devote.txt", DEDICATION_MAX);
    if (!dedication.empty()) {
        append(dedication.c_str());
        append("\r\n\r\n");
    }
    if (gift->truncated || gift->skipped)
        append("Let op: dit geschenk is beschadigd; niet alles kon worden uitgepakt.\r\n");
    append("Druk op de knop Uitpakken.\r\n");
}

// Finding and installing the game ---------------------------------------------------------------

namespace {

// "$XDG_CONFIG_HOME/Dremwick/Lumavex.ini", ~/.config standing in for a missing or relative one.
std::string config_file() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string folder;
    if (config && config[0] == '/')
        folder = config;
    else if (home && home[0])
        folder = std::string(home) + "/.config";
    else
        return "";
    return folder + "/Dremwick/Lumavex.ini";
}

// A value of at most VALUE_MAX bytes; a longer one counts as unreadable rather than cut short.
bool read_value(const char* key, std::string* value) {
    const std::string file = config_file();
    char text[VALUE_MAX + 2];
    const int n = file.empty() ? 0 : io_ini_read(file.c_str(), INI_SECTION, key, text, sizeof text);
    if (n <= 0 || n > VALUE_MAX) return false;
    *value = text;
    return true;
}

// The game folder the configuration names, when it is an absolute path ('/' at the end dropped).
bool read_install_path(std::string* game) {
    std::string path;
    if (!read_value("InstallPath", &path) || path[0] != '/') return false;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    *game = path;
    return true;
}

// The game counts as installed when its folder is named, its program opens for reading and its
// version is a decimal number of at least 126.
bool find_game(std::string* game) {
    std::string path, version;
    if (!read_install_path(&path) || !read_value("Version", &version)) return false;
    FILE* program = std::fopen((path + "/" + GAME_PROGRAM).c_str(), "rb");
    if (!program) return false;
    std::fclose(program);
    if (std::strtol(version.c_str(), nullptr, 10) < GAME_VERSION_MIN) return false;
    *game = path;
    return true;
}

// A fresh file of the work folder (an older one of that name goes first).
int create_in_work(int dir, const char* name, mode_t mode) {
    unlinkat(dir, name, 0);
    return openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

// "present.bin" copied to "prsetup" (0700) beside it; 1 when the copy is whole.
int prepare_installer(int dir) {
    const int from = openat(dir, INSTALLER_RECORD, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (from < 0) return 0;
    const int to = create_in_work(dir, INSTALLER, 0700);
    int ok = to >= 0 && copy_fd(to, from);
    if (to >= 0 && close(to) != 0) ok = 0;
    close(from);
    if (!ok) unlinkat(dir, INSTALLER, 0);
    return ok;
}

// Runs "./prsetup /VERYSILENT" in the work folder and waits for it as long as it takes; its
// standard output and error go to "prsetup.txt" there. Its exit code, or -1 when it did not run.
int run_installer(const LdGift* gift, int dir) {
    const int output = create_in_work(dir, INSTALLER_OUTPUT, 0600);
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (output < 0 || input < 0) {
        if (output >= 0) close(output);
        if (input >= 0) close(input);
        return -1;
    }
    const char* work = gift->work.c_str();
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);  // a group of its own, so a stop reaches whatever it started
        if (chdir(work) != 0 || dup2(input, 0) < 0 || dup2(output, 1) < 0 || dup2(output, 2) < 0) _exit(127);
        close_range(3, ~0u, 0);
        execl("./prsetup", "./prsetup", "/VERYSILENT", (char*)nullptr);
        _exit(127);
    }
    close(output);
    close(input);
    if (pid < 0) return -1;
    setpgid(pid, pid);
    g_installer_pid = pid;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    g_installer_pid = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// The installer's own words (UTF-8 from the terminal world) as lines of the text area.
void append_installer_output(int dir, LdAppend append) {
    const int fd = openat(dir, INSTALLER_OUTPUT, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    std::string utf8(OUTPUT_SHOWN_MAX, '\0');
    const ssize_t n = read(fd, utf8.data(), utf8.size());
    close(fd);
    utf8.resize(n > 0 ? (size_t)n : 0);
    utf8.resize(std::strlen(utf8.c_str()));
    if (utf8.empty()) return;
    std::string text(utf8.size() + 1, '\0');
    str_utf8_to_cp1252(utf8.c_str(), text.data(), (int)text.size());
    text.resize(std::strlen(text.c_str()));
    std::string lines;
    for (char c : text)
        if (c == '\n')
            lines += "\r\n";
        else if (c != '\r')
            lines += c;
    if (lines.size() < 2 || lines.compare(lines.size() - 2, 2, "\r\n") != 0) lines += "\r\n";
    append("Het installatieprogramma meldt:\r\n");
    append(lines.c_str());
}

// Without an installer in the gift (or one that cannot start) the game folder is whatever the
// configuration names now, without the other two checks, as after an installer.
void install_game(LdGift* gift, LdAppend append) {
    const int dir = open_work(gift);
    if (dir < 0) return;
    int code = -1;
    if (prepare_installer(dir)) {
        gift->installer_ran = 1;
        code = run_installer(gift, dir);
    }
    std::string game;
    if (read_install_path(&game)) gift->game = game;
    if (gift->installer_ran && (code != 0 || gift->game.empty())) append_installer_output(dir, append);
    close(dir);
}

}  // namespace

// Delivering the boxes --------------------------------------------------------------------------

namespace {

bool same_stamp(const FileStamp& a, const FileStamp& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A copy of the gift box under a fresh hidden name in the puzzles folder, on disk; empty when
// it could not be made whole.
std::string copy_to_puzzles(const LdGift* gift, const std::string& box, const std::string& puzzles) {
    const int from = open((gift->work + "/" + box + ".pzl").c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (from < 0) return "";
    std::string temp;
    int to = -1;
    for (int n = 0; n < 100 && to < 0; n++) {
        temp = puzzles + "/.gift-" + std::to_string(getpid()) + "-" + std::to_string(n) + ".tmp";
        to = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (to < 0 && errno != EEXIST) break;
    }
    int ok = to >= 0 && copy_fd(to, from) && fsync(to) == 0;
    if (to >= 0 && close(to) != 0) ok = 0;
    close(from);
    if (to >= 0 && !ok) unlink(temp.c_str());
    return ok ? temp : "";
}

// Puts the copy at path unless something is there already: 0, EEXIST, or another error.
int place_copy(const std::string& temp, const char* path) {
    if (link(temp.c_str(), path) == 0) {
        unlink(temp.c_str());
        return 0;
    }
    if (errno == EEXIST) return EEXIST;
    // A file system without hard links may still rename without replacing.
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path, RENAME_NOREPLACE) == 0) return 0;
    return errno;
}

// One gift box into the game's puzzles folder: the result text, the name it has there in *name.
const char* deliver_box(const LdGift* gift, const std::string& box, std::string* name) {
    *name = box;
    FileStamp stamp, have;
    BoxRecord record;
    // Folders longer than the box reader's would be cut short and name some other folder.
    if (gift->work.size() > (size_t)PUZZLE_PATH_MAX) return FAILED;
    box_set_folder(gift->work.c_str());
    // Head and settings, every one range-checked; the picture is the game's to refuse when the
    // box is opened, so the extractor carries no picture decoder.
    const int readable = box_read_settings(box.c_str(), &stamp, &record);
    box_clear_work_files(BOX_ALL);
    const std::string puzzles = gift->game + "/puzzles";
    if (!readable || puzzles.size() > (size_t)PUZZLE_PATH_MAX) return FAILED;
    mkdir(puzzles.c_str(), 0755);
    box_set_folder(puzzles.c_str());
    std::string temp;
    const char* result = FAILED;
    for (int n = 0, looks = 0; n <= TARGET_NUMBER_MAX && looks < 2 * TARGET_NUMBER_MAX; n++, looks++) {
        const std::string target = n ? box + " " + std::to_string(n) : box;
        char path[PATH_MAX_GAME];
        if (!box_file_path(path, sizeof path, puzzles.c_str(), target.c_str(), BOX_EXTENSION)) continue;
        struct stat st;
        if (lstat(path, &st) == 0 || errno != ENOENT) {
            // Never overwritten: the same box means the player has it, anything else moves on.
            if (box_read_settings(target.c_str(), &have, &record) && same_stamp(stamp, have)) {
                *name = target;
                result = ALREADY;
                break;
            }
            continue;
        }
        if (temp.empty() && (temp = copy_to_puzzles(gift, box, puzzles)).empty()) break;
        const int placed = place_copy(temp, path);
        if (placed == EEXIST) {
            n--;  // it appeared just now: look at it again
            continue;
        }
        if (placed == 0) {
            *name = target;
            result = DELIVERED;
            temp.clear();
        }
        break;
    }
    if (!temp.empty()) unlink(temp.c_str());
    box_clear_work_files(BOX_ALL);
    return result;
}

void deliver_boxes(LdGift* gift, LdAppend append) {
    // The box reader keeps its working files under the current folder: the work folder's.
    const int back = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (chdir(gift->work.c_str()) != 0) {
        if (back >= 0) close(back);
        return;
    }
    for (const std::string& box : gift->boxes) {
        std::string name;
        const char* result = gift->game.empty() ? FAILED : deliver_box(gift, box, &name);
        if (gift->game.empty()) name = box;
        (result == DELIVERED ? gift->delivered : result == ALREADY ? gift->already : gift->failed)++;
        append((name + " - " + result + "\r\n").c_str());
        if (result == DELIVERED) sys_instance_send_text(GAME_CLASS, 0, name.c_str());
    }
    box_set_folder(nullptr);
    rmdir(WORK_BOX_FOLDER);
    if (back >= 0) {
        const int restored = fchdir(back);  // nothing else to try when the old folder is gone
        (void)restored;
        close(back);
    }
}

}  // namespace

void ld_deliver(LdGift* gift, LdAppend append) {
    gift->delivered = gift->already = gift->failed = 0;
    append(DASHES);
    gift->game.clear();
    if (!find_game(&gift->game)) {
        append(".\r\n");
        install_game(gift, append);
        // Without a game folder the boxes would go to the work folder, which is deleted: the
        // player is told instead, and every box reports its failure.
        if (gift->game.empty()) append("Het spel kon niet worden ge\xEFnstalleerd.\r\n");
    }
    deliver_boxes(gift, append);
    append(DASHES);
    append(NOTE);
    append("Klik op de knop Uitvoeren\r\n");
}

// Starting the game ------------------------------------------------------------------------------

std::string ld_game_command(const LdGift* gift) {
    return gift->game.empty() ? std::string() : gift->game + "/" + GAME_PROGRAM;
}

// The game runs in a session of its own, as a grandchild, so it outlives the extractor and
// leaves no child behind; a pipe closed by the exec tells that it started.
int ld_start_game(const LdGift* gift) {
    const std::string program = ld_game_command(gift);
    int pipe_fds[2];
    if (program.empty() || pipe2(pipe_fds, O_CLOEXEC) != 0) return 0;
    const char* folder = gift->game.c_str();
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const pid_t game = fork();
        if (game != 0) _exit(game < 0 ? 1 : 0);
        close(pipe_fds[0]);
        close_range(3, ~0u, CLOSE_RANGE_CLOEXEC);
        if (chdir(folder) == 0) execl(program.c_str(), program.c_str(), (char*)nullptr);
        const char failed = 1;
        if (write(pipe_fds[1], &failed, 1) < 0) _exit(127);
        _exit(127);
    }
    close(pipe_fds[1]);
    int status = 0;
    if (pid > 0)
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    char failed = 0;
    ssize_t n;
    while ((n = read(pipe_fds[0], &failed, 1)) < 0 && errno == EINTR) {
    }
    close(pipe_fds[0]);
    return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}
