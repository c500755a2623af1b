// tools/mkpack/fonts.cpp -- "img/font12.img", "img/font15.img" and "img/font20.img": the sheets
// the font generator rendered in the same run as the glyph tables the game compiles in.
#include "tools/mkpack/fonts.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/le.h"
#include "font_glyphs.h"
#include "image/img.h"
#include "tools/mkpack/contact.h"

#ifndef LUMAVEX_GENERATED_DIR
#error "LUMAVEX_GENERATED_DIR names the folder of the generated font sheets"
#endif

namespace {

// The nine numbers of an IMG header: magic, width, height, kind, colour offset and pitch, alpha
// offset and pitch, reserved. Zeros where the bytes end early.
std::array<uint32_t, 9> header_of(const std::string& b) {
    LeCursor c = le_cursor(b.data(), b.size());
    std::array<uint32_t, 9> h;
    for (uint32_t& field : h)
        field = le_u32(&c);
    return h;
}

std::string sheet_path(int font) {
    const char* picture = font_sheets[font].picture;  // "img/fontNN.img"
    return std::string(LUMAVEX_GENERATED_DIR) + "/" + (std::strrchr(picture, '/') + 1);
}

bool read_file(const std::string& path, std::string* bytes) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes->clear();
    char buffer[8192];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes->append(buffer, n);
    std::fclose(f);
    return true;
}

bool sheet_fault(const std::string& file, const char* what) {
    std::fprintf(stderr, "mkpack: %s:0: %s\n", file.c_str(), what);
    return false;
}

// The sheets once read, for lettering the contact sheet.
struct LoadedSheet {
    bool tried = false, ok = false;
    int width = 0, height = 0;
    std::string bytes;
};
LoadedSheet loaded[3];

const LoadedSheet* sheet_of(int font) {
    LoadedSheet& s = loaded[font];
    if (!s.tried) {
        s.tried = true;
        s.ok = read_file(sheet_path(font), &s.bytes) && fonts_check_sheet(sheet_path(font), font, s.bytes);
        if (s.ok) {
            s.width = (int)header_of(s.bytes)[1];
            s.height = (int)header_of(s.bytes)[2];
        }
    }
    return s.ok ? &s : nullptr;
}

const char* PANGRAMS =
    "The quick brown fox jumps over the lazy dog.\n"
    "PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS!\n"
    "0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";

const char* FONT_NAMES[3] = {"small: bold sans, em 11, line 14, spacing 0",
                             "medium: bold sans, em 15, line 18, spacing 1",
                             "large: serif, em 19, line 24, spacing 1"};

// The pangrams dark on a light panel and light on a dark one, and the sheet itself.
void add_specimens(int font, std::vector<SheetPicture>* sheet) {
    const FontSheet& f = font_sheets[font];
    int width = 0;
    for (const char* line :
         {"The quick brown fox jumps over the lazy dog.", "PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS!",
          "0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"})
        width = std::max(width, fonts_text_width(font, line));
    int h = 3 * f.lineAdvance + 12;
    SheetPicture light =
        sheet_picture(std::string(f.picture) + " (" + FONT_NAMES[font] + ")", width + 16, 2 * h, 0xEEE5D4);
    sheet_fill_rect(&light, 0, h, width + 16, h, 0x1F4A51);
    fonts_draw_text(&light, font, 8, 6, PANGRAMS, 0x2B241F);
    fonts_draw_text(&light, font, 8, h + 6, PANGRAMS, 0xFFF6E4);
    sheet->push_back(std::move(light));

    const LoadedSheet* s = sheet_of(font);
    SheetPicture raw = sheet_picture(std::string(f.picture) + ": the glyph sheet", s->width, s->height, 0);
    for (int y = 0; y < s->height; y++)
        for (int x = 0; x < s->width; x++) {
            uint8_t v = (uint8_t)s->bytes[IMG_HEADER_SIZE + (size_t)y * s->width + x];
            uint8_t* p = &raw.bgr[((size_t)y * raw.width + x) * 3];
            p[0] = p[1] = p[2] = v;
        }
    sheet->push_back(std::move(raw));
}

}  // namespace

bool fonts_check_sheet(const std::string& file, int font, const std::string& bytes) {
    const FontSheet& f = font_sheets[font];
    if (bytes.size() < (size_t)IMG_HEADER_SIZE) return sheet_fault(file, "shorter than an IMG header");
    const std::array<uint32_t, 9> h = header_of(bytes);
    const uint32_t width = h[1], height = h[2];
    if (h[0] != IMG_MAGIC) return sheet_fault(file, "not an IMG picture");
    if (h[3] != (uint32_t)IMG_8BIT) return sheet_fault(file, "not an 8-bit coverage picture");
    if (width == 0 || width > 4096) return sheet_fault(file, "width out of range");
    if (height != (uint32_t)(3 * f.height)) return sheet_fault(file, "not three rows of the font's height");
    if (h[4] != (uint32_t)IMG_HEADER_SIZE || h[5] != width || h[6] != 0 || h[7] != 0 || h[8] != 0)
        return sheet_fault(file, "header offsets or pitches do not describe one 8-bit plane");
    if (bytes.size() != IMG_HEADER_SIZE + (size_t)width * height)
        return sheet_fault(file, "size does not match width x height");
    for (int i = 0; i < FONT_GLYPH_COUNT; i++) {
        const FontGlyph& g = f.glyphs[i];
        int c = FONT_GLYPH_FIRST + i;
        int row = c <= 64 ? 0 : c <= 96 ? 1 : 2;
        if (g.sy != row * f.height || g.sx < 0 || g.sx + g.width > (int)width || g.zero != 0)
            return sheet_fault(file, "a glyph of the table lies outside its row of the sheet");
    }
    return true;
}

int fonts_text_width(int font, const char* text) {
    const FontSheet& f = font_sheets[font];
    int width = 0;
    for (const char* p = text; *p && *p != '\n'; p++) {
        unsigned c = (unsigned char)*p;
        if (c < (unsigned)FONT_GLYPH_FIRST || c >= (unsigned)(FONT_GLYPH_FIRST + FONT_GLYPH_COUNT)) continue;
        width += f.glyphs[c - FONT_GLYPH_FIRST].width + f.spacing;
    }
    return width;
}

bool fonts_draw_text(SheetPicture* picture, int font, int x, int y, const char* text, uint32_t rgb) {
    const LoadedSheet* s = sheet_of(font);
    if (!s) return false;
    const FontSheet& f = font_sheets[font];
    const uint8_t ink[3] = {(uint8_t)rgb, (uint8_t)(rgb >> 8), (uint8_t)(rgb >> 16)};
    int pen = x;
    for (const char* p = text; *p; p++) {
        unsigned c = (unsigned char)*p;
        if (c == '\n') {
            pen = x;
            y += f.lineAdvance;
            continue;
        }
        if (c < (unsigned)FONT_GLYPH_FIRST || c >= (unsigned)(FONT_GLYPH_FIRST + FONT_GLYPH_COUNT)) continue;
        const FontGlyph& g = f.glyphs[c - FONT_GLYPH_FIRST];
        for (int gy = 0; gy < f.height; gy++)
            for (int gx = 0; gx < g.width; gx++) {
                int px = pen + gx, py = y + gy;
                if (px < 0 || py < 0 || px >= picture->width || py >= picture->height) continue;
                unsigned a = (uint8_t)s->bytes[IMG_HEADER_SIZE + (size_t)(g.sy + gy) * s->width + g.sx + gx];
                uint8_t* d = &picture->bgr[((size_t)py * picture->width + px) * 3];
                for (int k = 0; k < 3; k++)
                    d[k] = (uint8_t)((d[k] * (255 - a) + ink[k] * a + 127) / 255);
            }
        pen += g.width + f.spacing;
    }
    return true;
}

bool part_fonts(const std::string&, std::vector<PackResource>* out, std::vector<SheetPicture>* sheet) {
    for (int font = 0; font < 3; font++) {
        std::string path = sheet_path(font);
        std::string bytes;
        if (!read_file(path, &bytes)) {
            std::fprintf(stderr, "mkpack: %s:0: the font sheet is missing (run mkfonts)\n", path.c_str());
            return false;
        }
        if (!fonts_check_sheet(path, font, bytes)) return false;
        out->push_back({font_sheets[font].picture, std::vector<uint8_t>(bytes.begin(), bytes.end())});
        if (sheet) add_specimens(font, sheet);
    }
    return true;
}
