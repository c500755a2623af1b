// tests/e2e/store_game.h -- a headless game whose puzzles folder holds some of the sample boxes,
// laid on the shelf where a test says, with the arrangement it kept read back.
#pragma once
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "e2e/game_run.h"
#include "platform/io_ini.h"
#include "puzzle/box.h"

namespace e2e {

struct Place {
    int x, y;
    bool operator==(const Place&) const = default;
};

// The game's folder with some sample boxes, laid on the shelf where the test says.
struct StoreGame : e2e::Game {
    explicit StoreGame(const std::vector<std::string>& boxes) { copy_boxes(boxes); }
    // Bottom-most first, as the game writes them; the screen is the tests' 1024 x 768.
    void arrange(const std::vector<std::pair<std::string, Place>>& layout) {
        std::string names = "[BOXNAMES]\n", places = "[BOXPOSS]\n";
        for (size_t i = 0; i < layout.size(); i++) {
            names += std::to_string(i) + "=" + layout[i].first + "\n";
            places += std::to_string(i) + "=" + std::to_string(layout[i].second.x) + " " +
                      std::to_string(layout[i].second.y) + "\n";
        }
        write(CONFIG_INI, "[MAIN]\nOldScreenSize=1024 768\n" + names + places);
    }
    int play(const std::string& script, std::vector<std::string> extra = {}) {
        write("script.txt", script);
        std::vector<std::string> args = {"--headless", "--window", "1024x768", "--script", "script.txt"};
        args.insert(args.end(), extra.begin(), extra.end());
        start(args);
        return wait(120);
    }
    // The record of a box in the game's puzzles folder; false when it cannot be read.
    bool record(const char* name, BoxRecord* r) {
        FileStamp stamp;
        box_set_folder((dir + "/puzzles").c_str());
        const bool ok = box_read(name, &stamp, r, 0) == 1;
        box_set_folder(nullptr);
        return ok;
    }
    // The arrangement the game kept: name -> place.
    std::map<std::string, Place> shelf() {
        const std::string ini = file(CONFIG_INI);
        auto section = [&](const std::string& name) {
            const size_t at = ini.find("[" + name + "]");
            return at == std::string::npos ? std::string() : ini.substr(at, ini.find("\n[", at) - at) + "\n";
        };
        const std::string names = section("BOXNAMES"), places = section("BOXPOSS");
        std::map<std::string, Place> out;
        for (int i = 0; ini_value(names, std::to_string(i)) != "(none)"; i++) {
            Place p{-1, -1};
            std::sscanf(ini_value(places, std::to_string(i)).c_str(), "%d %d", &p.x, &p.y);
            out[ini_value(names, std::to_string(i))] = p;
        }
        return out;
    }
};

// Where the tests lay the boxes: a row at a time from (480, 220), clear of the panels.
inline Place slot(int i) { return {480 + (i % 4) * 130, 220 + (i / 4) * 140}; }

// Percent joined from a quick save, -1 without one.
inline int percent(StoreGame& g, const std::string& box) {
    return chunk_i32(g.file("sfiles/qs/" + box + ".qsv"), 3, -1);
}

}  // namespace e2e
