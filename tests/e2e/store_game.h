// tests/e2e/store_game.h -- a headless game whose puzzles folder holds some of the sample boxes,
// laid on the shelf where a test says, with the arrangement it kept read back.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "e2e/game_run.h"

namespace e2e {

struct Place {
    int x, y;
    bool operator==(const Place&) const = default;
};

// The game's folder with some sample boxes, laid on the shelf where the test says.
struct StoreGame : e2e::Game {
    explicit StoreGame(std::vector<std::string> boxes) {
        std::system(("mkdir -p '" + dir + "/puzzles' '" + dir + "/sfiles'").c_str());
        for (const std::string& name : boxes)
            std::system(
                ("cp '" LUMAVEX_GAME_DIR "/puzzles/" + name + ".pzl' '" + dir + "/puzzles/'").c_str());
    }
    // Bottom-most first, as the game writes them; the screen is the tests' 1024 x 768.
    void arrange(const std::vector<std::pair<std::string, Place>>& layout) {
        std::string names = "[BOXNAMES]\n", places = "[BOXPOSS]\n";
        for (size_t i = 0; i < layout.size(); i++) {
            names += std::to_string(i) + "=" + layout[i].first + "\n";
            places += std::to_string(i) + "=" + std::to_string(layout[i].second.x) + " " +
                      std::to_string(layout[i].second.y) + "\n";
        }
        write("sfiles/config.ini", "[MAIN]\nOldScreenSize=1024 768\n" + names + places);
    }
    int play(const std::string& script, std::vector<std::string> extra = {}) {
        write("script.txt", script);
        std::vector<std::string> args = {"--headless", "--window", "1024x768", "--script", "script.txt"};
        args.insert(args.end(), extra.begin(), extra.end());
        start(args);
        return wait(120);
    }
    // The arrangement the game kept: name -> place.
    std::map<std::string, Place> shelf() {
        std::map<std::string, Place> out;
        const std::string ini = file("sfiles/config.ini");
        auto section = [&](const std::string& name) {
            std::map<std::string, std::string> keys;
            size_t at = ini.find("[" + name + "]");
            if (at == std::string::npos) return keys;
            for (at = ini.find('\n', at);
                 at != std::string::npos && at + 1 < ini.size() && ini[at + 1] != '[';) {
                const size_t end = ini.find('\n', at + 1);
                const std::string line = ini.substr(at + 1, end - at - 1);
                const size_t eq = line.find('=');
                if (eq != std::string::npos) keys[line.substr(0, eq)] = line.substr(eq + 1);
                at = end;
            }
            return keys;
        };
        auto names = section("BOXNAMES"), places = section("BOXPOSS");
        for (const auto& [key, name] : names) {
            Place p{-1, -1};
            if (places.count(key)) std::sscanf(places[key].c_str(), "%d %d", &p.x, &p.y);
            out[name] = p;
        }
        return out;
    }
};

inline std::string at(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }

// Where the tests lay the boxes: a row at a time from (480, 220), clear of the panels.
inline Place slot(int i) { return {480 + (i % 4) * 130, 220 + (i / 4) * 140}; }

// Percent joined from a quick save, -1 without one.
inline int percent(StoreGame& g, const std::string& box) {
    const std::string q = g.file("sfiles/qs/" + box + ".qsv");
    for (size_t at = 24; at + 12 <= q.size();) {
        uint32_t id, size;
        std::memcpy(&id, q.data() + at, 4);
        std::memcpy(&size, q.data() + at + 4, 4);
        if (id == 3 && size == 4) {
            int32_t v;
            std::memcpy(&v, q.data() + at + 8, 4);
            return v;
        }
        at += 8 + size;
    }
    return -1;
}

}  // namespace e2e
