// bench/bench_pack.h -- where a benchmark finds the game's data pack: $LUMAVEX_PACK, else the
// assembled game folder beside the benchmark programs (build/bench/../game/data.pck).
#pragma once
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "image/pic.h"
#include "resources/cache.h"
#include "resources/dp.h"

inline std::string bench_pack_path() {
    if (const char* env = std::getenv("LUMAVEX_PACK")) return env;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    self[n] = 0;
    std::string dir(self);
    return dir.substr(0, dir.rfind('/')) + "/../game/data.pck";
}

// A scratch game folder in /tmp (removed at exit) made the current folder, with the data pack
// open, the file cache loading its JPEGs and the skin file extracted to "sfiles/skin.ini".
inline void bench_game_folder(const char* name) {
    std::string pattern = std::string("/tmp/") + name + "_XXXXXX";
    if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0) std::abort();
    static std::string s_folder;
    s_folder = pattern;
    std::atexit([] { std::filesystem::remove_all(s_folder); });
    std::filesystem::create_directories("sfiles");
    dp_open(bench_pack_path());
    cache_init();
    cache_set_picture_loader(jpg_loader);
    if (!dp_extract(dp_get_index("skin.ini", 1), "sfiles/skin.ini")) std::abort();
}
