// tests/gui/skin_pack.h -- a data pack with the skin, the font sheets, the texts and the edge
// curves as mkpack draws them (built once per run), opened with a fresh file cache, and an open frame.
#pragma once
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/img.h"
#include "image/pic.h"
#include "puzzle/cut_support.h"
#include "resources/cache.h"
#include "resources/dp.h"
#include "tools/mkpack/collect.h"

inline const std::string& skin_pack_path() {
    static const std::string path = [] {
        char dir[] = "/tmp/skin_pack_XXXXXX";
        if (!mkdtemp(dir)) return std::string();
        std::vector<PackResource> res;
        const std::string file = std::string(dir) + "/data.pck";
        bool ok = part_skin(LUMAVEX_ASSETS_DIR, &res, nullptr) &&
                  part_fonts(LUMAVEX_ASSETS_DIR, &res, nullptr) &&
                  part_curves(LUMAVEX_ASSETS_DIR, &res, nullptr) && mkpack_write(file, res);
        static std::string made = dir;
        std::atexit([] { std::filesystem::remove_all(made); });
        return ok ? file : std::string();
    }();
    return path;
}

// The pack open and the cache empty for the object's lifetime; a w x h frame, all cells dirty.
struct SkinFrame : cut_support::Frame {
    SkinFrame(int w, int h) : Frame(w, h) {
        dp_done();
        dp_open(skin_pack_path());
        cache_init();
        cache_set_picture_loader(jpg_loader);
        img_shadow_table_init();
    }
    ~SkinFrame() {
        cache_done();
        dp_done();
    }
    static ImageView view() {
        return {screen.width, screen.height, IMG_24BIT, at(0, 0), screen.pitch, nullptr, 0};
    }
};
