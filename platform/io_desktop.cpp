// platform/io_desktop.cpp -- desktop services through the freedesktop tools (xdg-open,
// xdg-user-dir conventions, gsettings and friends).
#include "platform/io_desktop.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "base/limits.h"
#include "platform/io_debug.h"
#include "platform/io_file.h"
#include "platform/io_ini.h"
#include "platform/sys.h"

namespace {

constexpr int OPEN_WAIT_MS = 3000;  // how long xdg-open may take before we call it handed over

std::string home_folder() {
    const char* home = std::getenv("HOME");
    return home && home[0] ? home : "/tmp";
}

std::string absolute(const char* path) {
    if (path[0] == '/' || std::strstr(path, "://") || !std::strncmp(path, "mailto:", 7)) return path;
    return std::string(io_start_folder()) + "/" + path;
}

constexpr long long USER_DIRS_MAX = 64 * 1024;  // a larger user-dirs.dirs is not the desktop's

// XDG_<NAME>_DIR from the user's user-dirs.dirs, with $HOME expanded; fallback (under the home
// folder) when the file or the line is missing, or null for an empty answer then. Only a regular
// file of a sensible size is read.
std::string user_dir(const char* name, const char* fallback) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string file =
        (config && config[0] ? std::string(config) : home_folder() + "/.config") + "/user-dirs.dirs";
    std::string text, value;
    if (FILE* f = io_fopen_read(file.c_str())) {
        char chunk[4096];
        size_t n;
        while ((long long)text.size() <= USER_DIRS_MAX && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            text.append(chunk, n);
        std::fclose(f);
    }
    if ((long long)text.size() <= USER_DIRS_MAX &&
        io_user_dirs_value(text.data(), text.size(), name, home_folder().c_str(), &value))
        return value;
    return fallback ? home_folder() + "/" + fallback : std::string();
}

}  // namespace

int io_open_document(const char* path) {
    std::string target = absolute(path);
    if (sys_headless()) {
        io_log("open document: %s\n", target.c_str());
        return 1;
    }
    const char* argv[] = {"xdg-open", target.c_str(), nullptr};
    int code = sys_run(argv, OPEN_WAIT_MS);
    if (code == 0 || code == -2) return 1;  // done, or still busy handing it over
    char text[LOG_LINE_MAX];
    std::snprintf(text, sizeof text,
                  "%s\r\n\r\nProbable causes of this error:\r\nThe specified file was not found.\r\n"
                  "There is no application associated with the given filename extension.\r\n"
                  "The operating system is out of memory or resources.",
                  path);
    sys_message_box(SYS_BOX_STOP, nullptr, text);
    return 0;
}

void io_help_address(int flags, char* out, int size) {
    char file[3 * PATH_MAX_GAME] = "help/index.html";
    char name[PATH_MAX_GAME];
    if (io_ini_read(CONFIG_INI, "MAIN", "HelpFile", name, sizeof name) > 0) {
        char candidate[3 * PATH_MAX_GAME];
        std::snprintf(candidate, sizeof candidate, "sfiles/ml/%s", name);
        if (!std::strchr(name, '/') && io_file_exists(candidate))
            std::snprintf(file, sizeof file, "%s", candidate);
    }
    int topic = flags & ~HELP_SECOND_WINDOW;
    std::string url = "file://" + absolute(file);
    if (topic) url += "#topic-" + std::to_string(topic);
    std::snprintf(out, size, "%s", url.c_str());
}

int io_help(int flags) {
    char url[2 * PATH_MAX_GAME + 64];
    io_help_address(flags, url, sizeof url);
    return io_open_document(url);
}

int io_set_wallpaper(const char* picture, const char* name) {
    std::string folder = home_folder() + "/.local/share/backgrounds";
    io_make_folder((home_folder() + "/.local").c_str());
    io_make_folder((home_folder() + "/.local/share").c_str());
    io_make_folder(folder.c_str());
    std::string clean = name;
    for (char& c : clean)
        if (c == '/' || c == '\'') c = '_';
    std::string target = folder + "/" + clean + ".bmp";
    if (!io_copy_file(picture, target.c_str())) return 0;
    std::string uri = "file://" + target;
    const char* gnome[] = {"gsettings",   "set",       "org.gnome.desktop.background",
                           "picture-uri", uri.c_str(), nullptr};
    const char* gnome_dark[] = {"gsettings",        "set",       "org.gnome.desktop.background",
                                "picture-uri-dark", uri.c_str(), nullptr};
    const char* plasma[] = {"plasma-apply-wallpaperimage", target.c_str(), nullptr};
    const char* xfce[] = {"xfconf-query",
                          "-c",
                          "xfce4-desktop",
                          "-p",
                          "/backdrop/screen0/monitor0/workspace0/last-image",
                          "-s",
                          target.c_str(),
                          nullptr};
    int ok = 0;
    if (sys_run(gnome, 3000) == 0) {
        ok = 1;
        sys_run(gnome_dark, 3000);
    }
    if (sys_run(plasma, 5000) == 0) ok = 1;
    if (sys_run(xfce, 3000) == 0) ok = 1;
    return ok;
}

int io_special_folder(int id, char* out, int size) {
    std::string path;
    switch (id) {
        case FOLDER_DESKTOP:
            path = user_dir("DESKTOP", "Desktop");
            break;
        case FOLDER_DOCUMENTS:
            path = user_dir("DOCUMENTS", "Documents");
            break;
        case FOLDER_MUSIC:
            path = user_dir("MUSIC", "Music");
            break;
        case FOLDER_PICTURES:
            path = user_dir("PICTURES", "Pictures");
            break;
        case FOLDER_APPDATA: {
            const char* config = std::getenv("XDG_CONFIG_HOME");
            path = config && config[0] ? config : home_folder() + "/.config";
            break;
        }
        default:
            path = home_folder();
            break;
    }
    return std::snprintf(out, size, "%s", path.c_str()) < size;
}

int io_user_dirs_value(const char* text, size_t size, const char* name, const char* home,
                       std::string* value) {
    const std::string key = std::string("XDG_") + name + "_DIR=";
    for (size_t at = 0; at < size;) {
        const char* end = (const char*)std::memchr(text + at, '\n', size - at);
        const size_t stop = end ? (size_t)(end - text) : size;
        std::string line(text + at, stop - at);
        at = stop + 1;
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string v = line.substr(key.size());
        while (!v.empty() && v.back() == '\r')
            v.pop_back();
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.compare(0, 5, "$HOME") == 0) v = home + v.substr(5);
        // A value is a path: one with a NUL byte in it names nothing.
        if (v.find('\0') != std::string::npos) v.clear();
        *value = v;
        return 1;
    }
    return 0;
}

int io_user_folder(const char* name, char* out, int size) {
    if (size <= 0) return 0;
    out[0] = 0;
    std::string path = user_dir(name, nullptr);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    std::string home = home_folder();
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    // Unset, set to the home folder itself (the desktop's way of switching one off), relative,
    // or naming a folder that is not there: no such place.
    if (path.empty() || path[0] != '/' || path == home || !io_folder_exists(path.c_str())) return 0;
    return std::snprintf(out, (size_t)size, "%s", path.c_str()) < size;
}

void io_duration_text(int seconds, char* out, int size) {
    if (seconds < 0) seconds = 0;
    int minutes = (seconds % 3600) / 60;
    if (seconds < 3600)
        std::snprintf(out, size, "%i:%02i", seconds / 60, seconds % 60);
    else
        std::snprintf(out, size, "%i:%i:%02i", seconds / 3600, minutes, seconds % 60);
}

void io_date_text(char* out, int size) {
    std::setlocale(LC_TIME, "");
    std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    char text[65];
    if (!std::strftime(text, sizeof text, "%A %-d %B %Y", &local)) text[0] = 0;
    std::snprintf(out, size, "%s", text);
}

int io_clean_file_name(const char* source, char* out, int size) {
    if (size <= 0) return 0;
    out[0] = 0;
    const char* start = source;
    while (*start == ' ')
        start++;
    int len = (int)std::strlen(start);
    while (len > 0 && start[len - 1] == ' ')
        len--;
    if (len == 0) return 0;
    std::string name(start, len);
    if (!strcasecmp(name.c_str(), "con") || !strcasecmp(name.c_str(), "prn") ||
        !strcasecmp(name.c_str(), "aux")) {
        std::snprintf(out, size, "%s1", name.c_str());
        return 1;
    }
    static const char KEPT[] = "$%'-_@ ~`!(){}^#&+,;=[].";
    std::string kept;
    for (char ch : name) {
        unsigned char c = (unsigned char)ch;
        if (std::isalnum(c) && c < 128)
            kept += ch;
        else if (c >= 128 || (c && std::strchr(KEPT, c)))
            kept += ch;
    }
    if (kept.empty()) return 0;
    std::snprintf(out, size, "%s", kept.c_str());
    return 1;
}
