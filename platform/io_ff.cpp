// platform/io_ff.cpp -- the force-feedback plug-in: finding "libfbmouse.so" and "libifc21.so",
// loading the first with dlopen, switching the feedback on and off, and forwarding the pulses,
// the boundary and the applause to its entry points.
//
// The library is opened by the full path the search found, so the one that was detected is the
// one that is loaded, whatever the dynamic loader's own search would pick. Each outcome is
// logged once, so a player can read in the log why the mouse gives no feedback.
#include "platform/io_ff.h"

#include <dlfcn.h>
#include <glob.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/io_debug.h"
#include "platform/io_file.h"
#include "platform/io_ini.h"

namespace {

constexpr const char* PLUGIN_LIBRARY = "libfbmouse.so";
constexpr const char* COMPANION_LIBRARY = "libifc21.so";

using InitFn = int (*)(void* instance, void* window);
using VoidFn = void (*)();
using PopFn = void (*)(int strength);
using BoundSetFn = void (*)(const int* rect, const int* screenSize);

// The forwarding calls, each logged the first time it is made.
enum Forward {
    FORWARD_POP,
    FORWARD_BOUND_SET,
    FORWARD_BOUND_START,
    FORWARD_BOUND_STOP,
    FORWARD_APPLAUSE,
    FORWARDS
};
constexpr const char* FORWARD_NAMES[FORWARDS] = {"fbmouse_pop_start", "fbmouse_bound_set",
                                                 "fbmouse_bound_start", "fbmouse_bound_stop",
                                                 "fbmouse_applause_start"};

struct FeedbackPlugin {
    void* library;  // dlopen handle, null when not loaded
    int state;      // 0 off; otherwise what the plug-in's start-up returned
    InitFn init;
    VoidFn done;
    PopFn popStart;
    VoidFn boundStart;
    BoundSetFn boundSet;
    VoidFn boundStop;
    VoidFn applauseStart;
    bool logged[FORWARDS];
};

FeedbackPlugin plugin;

bool is_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void add_folder(std::vector<std::string>* folders, std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty()) return;
    for (const std::string& f : *folders)
        if (f == folder) return;
    folders->push_back(folder);
}

// The folders of "ld.so.conf" files, following their "include" lines (one level of glob each).
void add_conf_folders(std::vector<std::string>* folders, const char* pattern, int depth) {
    glob_t found;
    if (depth > 4 || glob(pattern, 0, nullptr, &found) != 0) return;
    for (size_t i = 0; i < found.gl_pathc; i++) {
        FILE* f = std::fopen(found.gl_pathv[i], "r");
        if (!f) continue;
        char line[1024];
        while (std::fgets(line, sizeof line, f)) {
            char* p = line + std::strspn(line, " \t");
            p[std::strcspn(p, "#\r\n")] = 0;
            size_t n = std::strlen(p);
            while (n && (p[n - 1] == ' ' || p[n - 1] == '\t'))
                p[--n] = 0;
            if (!std::strncmp(p, "include", 7) && (p[7] == ' ' || p[7] == '\t')) {
                const char* inc = p + 7 + std::strspn(p + 7, " \t");
                add_conf_folders(folders, inc, depth + 1);
            } else if (p[0] == '/') {
                add_folder(folders, p);
            }
        }
        std::fclose(f);
    }
    globfree(&found);
}

// Where the libraries are looked for: the game folder, then the library path (the folders of
// LD_LIBRARY_PATH, those the system's loader configuration names, the standard ones).
std::vector<std::string> search_folders() {
    std::vector<std::string> folders;
    add_folder(&folders, io_start_folder());
    if (const char* env = std::getenv("LD_LIBRARY_PATH")) {
        std::string list = env;
        size_t start = 0;
        for (;;) {
            size_t end = list.find(':', start);
            add_folder(&folders, list.substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    add_conf_folders(&folders, "/etc/ld.so.conf", 0);
    for (const char* f : {"/lib", "/usr/lib", "/lib64", "/usr/lib64", "/usr/local/lib"})
        add_folder(&folders, f);
    return folders;
}

// The full path of a library in the search folders; "" when it is nowhere.
std::string find_library(const char* name) {
    for (const std::string& folder : search_folders()) {
        std::string path = folder + "/" + name;
        if (is_file(path)) return path;
    }
    return "";
}

template <typename Fn>
Fn entry(void* library, const char* name) {
    return reinterpret_cast<Fn>(dlsym(library, name));
}

// The first forwarding of each kind says whether it reaches the plug-in.
void log_forward(Forward which, bool exists) {
    if (plugin.logged[which]) return;
    plugin.logged[which] = true;
    if (plugin.state && exists)
        io_log("io_ff: %s forwarded to the plug-in\n", FORWARD_NAMES[which]);
    else if (!plugin.library)
        io_log("io_ff: %s: no feedback, the plug-in is not loaded\n", FORWARD_NAMES[which]);
    else if (!plugin.state)
        io_log("io_ff: %s: no feedback, switched off\n", FORWARD_NAMES[which]);
    else
        io_log("io_ff: %s: no feedback, the plug-in lacks it\n", FORWARD_NAMES[which]);
}

}  // namespace

int io_ff_detect() {
    std::string fbmouse = find_library(PLUGIN_LIBRARY);
    std::string ifc = find_library(COMPANION_LIBRARY);
    if (fbmouse.empty() || ifc.empty()) {
        io_log("io_ff: no force-feedback mouse: %s %s, %s %s\n", PLUGIN_LIBRARY,
               fbmouse.empty() ? "missing" : "found", COMPANION_LIBRARY, ifc.empty() ? "missing" : "found");
        return 0;
    }
    io_log("io_ff: force-feedback mouse found: %s, %s\n", fbmouse.c_str(), ifc.c_str());
    return 1;
}

int io_ff_load() {
    if (plugin.library) return 1;
    // The plug-in needs its companion: without it, it is not loaded at all.
    std::string path = find_library(PLUGIN_LIBRARY);
    if (path.empty() || find_library(COMPANION_LIBRARY).empty()) {
        io_log("io_ff: %s not loaded: it or %s is missing\n", PLUGIN_LIBRARY, COMPANION_LIBRARY);
        return 0;
    }
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        io_log("io_ff: %s not loaded: %s\n", path.c_str(), why ? why : "unknown error");
        return 0;
    }
    InitFn init = entry<InitFn>(library, "fbmouse_init");
    if (!init) {
        io_log("io_ff: %s lacks fbmouse_init, unloaded again\n", path.c_str());
        dlclose(library);
        return 0;
    }
    plugin = {};
    plugin.library = library;
    plugin.init = init;
    plugin.done = entry<VoidFn>(library, "fbmouse_done");
    plugin.popStart = entry<PopFn>(library, "fbmouse_pop_start");
    plugin.boundStart = entry<VoidFn>(library, "fbmouse_bound_start");
    plugin.boundSet = entry<BoundSetFn>(library, "fbmouse_bound_set");
    plugin.boundStop = entry<VoidFn>(library, "fbmouse_bound_stop");
    plugin.applauseStart = entry<VoidFn>(library, "fbmouse_applause_start");
    io_log("io_ff: %s loaded\n", path.c_str());
    return 1;
}

void io_ff_switch(int on) {
    if (!plugin.library) {
        io_log("io_ff: switch %s ignored, the plug-in is not loaded\n", on ? "on" : "off");
        return;
    }
    if ((on != 0) == (plugin.state != 0)) return;
    if (on) {
        // This platform has no instance handle, and the plug-in drives the mouse device itself
        // rather than through a window of ours: both arguments are null.
        plugin.state = plugin.init(nullptr, nullptr);
        io_log(plugin.state ? "io_ff: feedback on (state %i)\n"
                            : "io_ff: feedback refused by the plug-in (%i)\n",
               plugin.state);
    } else {
        if (plugin.done) plugin.done();
        plugin.state = 0;
        io_log("io_ff: feedback off\n");
    }
}

int io_ff_state() { return plugin.state; }

void io_ff_unload() {
    if (!plugin.library) return;
    if (plugin.done) io_ff_switch(0);
    dlclose(plugin.library);
    plugin = {};
    io_log("io_ff: plug-in unloaded\n");
}

int io_ff_wanted(const char* ini) {
    char value[64];
    io_ini_read(ini, "MAIN", "FeedBackSupport", value, sizeof value);
    return std::strcmp(value, "0") != 0;
}

void io_ff_pop(int strength) {
    log_forward(FORWARD_POP, plugin.popStart);
    if (plugin.state && plugin.popStart) plugin.popStart(strength);
}

void io_ff_bound_set(const int rect[4], const int screenSize[2]) {
    log_forward(FORWARD_BOUND_SET, plugin.boundSet);
    if (plugin.state && plugin.boundSet) plugin.boundSet(rect, screenSize);
}

void io_ff_bound_start() {
    log_forward(FORWARD_BOUND_START, plugin.boundStart);
    if (plugin.state && plugin.boundStart) plugin.boundStart();
}

void io_ff_bound_stop() {
    log_forward(FORWARD_BOUND_STOP, plugin.boundStop);
    if (plugin.state && plugin.boundStop) plugin.boundStop();
}

void io_ff_applause() {
    log_forward(FORWARD_APPLAUSE, plugin.applauseStart);
    if (plugin.state && plugin.applauseStart) plugin.applauseStart();
}
