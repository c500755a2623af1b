// bench/bench_pack.h -- where a benchmark finds the game's data pack: $LUMAVEX_PACK, else the
// assembled game folder beside the benchmark programs (build/bench/../game/data.pck).
#pragma once
#include <unistd.h>

#include <cstdlib>
#include <string>

inline std::string bench_pack_path() {
    if (const char* env = std::getenv("LUMAVEX_PACK")) return env;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    self[n] = 0;
    std::string dir(self);
    return dir.substr(0, dir.rfind('/')) + "/../game/data.pck";
}
