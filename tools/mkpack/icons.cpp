// tools/mkpack/icons.cpp -- the desktop icon files, drawn by the same code as the window icon in
// the pack so the menu, the file manager and the running game show one picture.
#include "tools/mkpack/icons.h"

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "tools/mkpack/skin_local.h"

namespace {

// Straight (not premultiplied) 8-bit red, green, blue, alpha rows, top to bottom.
std::vector<uint8_t> canvas_rgba(const Canvas& c) {
    std::vector<uint8_t> out((size_t)c.w * c.h * 4);
    auto byte = [](float v) { return (uint8_t)std::lround(clamp01(v) * 255.0f); };
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            const Rgba s = c.get(x, y);
            uint8_t* d = &out[((size_t)y * c.w + x) * 4];
            d[0] = byte(s.r);
            d[1] = byte(s.g);
            d[2] = byte(s.b);
            d[3] = byte(s.a);
        }
    return out;
}

bool write_rgba_png(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, (png_uint_32)w, (png_uint_32)h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; y++)
        png_write_row(png, &rgba[(size_t)y * w * 4]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

}  // namespace

bool write_app_icons(const std::string& folder, const std::string& name, const std::vector<int>& sizes) {
    for (int size : sizes) {
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "mkpack: %d: not an icon size\n", size);
            return false;
        }
        const std::string dir = folder + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        const std::string path = dir + "/" + name + ".png";
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        const Canvas icon = draw_window_icon(size);
        if (error || !write_rgba_png(path, icon.w, icon.h, canvas_rgba(icon))) {
            std::fprintf(stderr, "mkpack: %s: cannot write the icon\n", path.c_str());
            return false;
        }
    }
    return true;
}
