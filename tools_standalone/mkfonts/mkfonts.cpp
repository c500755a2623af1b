// tools_standalone/mkfonts/mkfonts.cpp -- renders the game's three bitmap fonts.
//
//   mkfonts OUTDIR SANS_BOLD.ttf SERIF.ttf
//
// Writes OUTDIR/font12.img, font15.img and font20.img (8-bit coverage pictures, three rows of
// glyphs: 32-64, 65-96, 97-127, each row as high as the font) and OUTDIR/font_glyphs.h and
// font_glyphs.cpp with the 96-entry glyph table of each sheet. Sheets and tables come from one
// run, so they always agree. The game's core library compiles the tables in; the data-pack
// builder puts the sheets into the pack. This program links only FreeType: it runs before the
// game's library exists.
//
// A glyph's cell is its advance minus the font's spacing (the drawing adds the spacing back),
// widened where the ink overhangs, so every glyph keeps its designed advance.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int FIRST_CHAR = 32;
constexpr int GLYPH_COUNT = 96;
constexpr int CELL_GAP = 2;  // blank columns between cells, so one glyph never bleeds into the next

struct FontSpec {
    const char* table;    // name of the generated table
    const char* picture;  // name of the sheet in the pack
    const char* file;     // name of the sheet in OUTDIR
    int face;             // 0 bold sans-serif, 1 serif
    int height;           // row height (line height of the font)
    int em;               // nominal size in pixels
    int advance;          // distance from one line to the next
    int spacing;          // extra pixels after every glyph
};

const FontSpec FONTS[3] = {
    {"font_glyphs_small", "img/font12.img", "font12.img", 0, 14, 11, 14, 0},
    {"font_glyphs_medium", "img/font15.img", "font15.img", 0, 18, 15, 18, 1},
    {"font_glyphs_large", "img/font20.img", "font20.img", 1, 24, 19, 24, 1},
};

struct Glyph {
    int sx = 0, sy = 0, width = 0;
    int ink_x = 0;  // where the bitmap starts inside the cell
    int top = 0;    // bitmap rows above the baseline
    int bw = 0, bh = 0;
    std::vector<uint8_t> bits;  // bw * bh coverage
};

struct Sheet {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    Glyph glyphs[GLYPH_COUNT];
    int clipped = 0;  // ink pixels that fell outside their row
};

int row_of(int c) { return c <= 64 ? 0 : c <= 96 ? 1 : 2; }

bool render_glyph(FT_Face face, int c, const FontSpec& spec, Glyph* g) {
    if (c == 127) {  // no printable character: an empty cell that takes no room
        g->width = 0;
        return true;
    }
    if (FT_Load_Char(face, (FT_ULong)c, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL)) return false;
    FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.width > 0) return false;
    int advance = (int)((slot->advance.x + 32) >> 6);
    int cell = advance - spec.spacing;
    if (cell < 1) cell = 1;
    g->bw = (int)bm.width;
    g->bh = (int)bm.rows;
    g->top = slot->bitmap_top;
    int left = std::min(0, slot->bitmap_left);
    int right = std::max(cell, slot->bitmap_left + g->bw);
    g->ink_x = slot->bitmap_left - left;
    g->width = right - left;
    g->bits.assign((size_t)g->bw * g->bh, 0);
    for (int y = 0; y < g->bh; y++)
        std::memcpy(&g->bits[(size_t)y * g->bw], bm.buffer + (ptrdiff_t)y * bm.pitch, (size_t)g->bw);
    return true;
}

bool build_sheet(FT_Face face, const FontSpec& spec, Sheet* sheet) {
    if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)spec.em)) return false;
    // The baseline sits at the face's ascender; what lies below is room for descenders.
    int baseline = (int)((face->size->metrics.ascender + 63) >> 6);
    if (baseline >= spec.height) baseline = spec.height - 1;
    int row_x[3] = {0, 0, 0};
    for (int i = 0; i < GLYPH_COUNT; i++) {
        Glyph& g = sheet->glyphs[i];
        int c = FIRST_CHAR + i;
        if (!render_glyph(face, c, spec, &g)) {
            std::fprintf(stderr, "mkfonts: cannot render character %d of %s\n", c, spec.picture);
            return false;
        }
        int row = row_of(c);
        g.sx = row_x[row];
        g.sy = row * spec.height;
        row_x[row] += g.width + (g.width ? CELL_GAP : 0);
    }
    for (int x : row_x)
        sheet->width = std::max(sheet->width, x);
    sheet->height = 3 * spec.height;
    sheet->pixels.assign((size_t)sheet->width * sheet->height, 0);
    for (int i = 0; i < GLYPH_COUNT; i++) {
        const Glyph& g = sheet->glyphs[i];
        for (int y = 0; y < g.bh; y++) {
            int row_y = baseline - g.top + y;  // inside this glyph's row
            for (int x = 0; x < g.bw; x++) {
                uint8_t v = g.bits[(size_t)y * g.bw + x];
                if (!v) continue;
                int cx = g.ink_x + x;
                if (row_y < 0 || row_y >= spec.height || cx < 0 || cx >= g.width) {
                    sheet->clipped++;
                    continue;
                }
                sheet->pixels[(size_t)(g.sy + row_y) * sheet->width + g.sx + cx] = v;
            }
        }
    }
    return true;
}

void put32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; i++)
        out->push_back((uint8_t)(v >> (8 * i)));
}

bool write_file(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "mkfonts: cannot write %s\n", path.c_str());
    return ok;
}

// An IMG file: the 36-byte header (magic "IMG\0", width, height, kind 1, colour offset 36,
// colour pitch, no alpha plane, reserved) and the rows top to bottom.
bool write_img(const std::string& path, const Sheet& sheet) {
    std::vector<uint8_t> out;
    put32(&out, 0x00474D49);
    put32(&out, (uint32_t)sheet.width);
    put32(&out, (uint32_t)sheet.height);
    put32(&out, 1);
    put32(&out, 36);
    put32(&out, (uint32_t)sheet.width);
    put32(&out, 0);
    put32(&out, 0);
    put32(&out, 0);
    out.insert(out.end(), sheet.pixels.begin(), sheet.pixels.end());
    return write_file(path, out.data(), out.size());
}

const char* HEADER =
    "// font_glyphs.h -- generated by mkfonts together with the font sheets; do not edit.\n"
    "// The glyph tables of the three bitmap fonts: one 6-byte entry per character 32 to 127.\n"
    "#pragma once\n"
    "#include <cstdint>\n"
    "\n"
    "struct FontGlyph {\n"
    "    int16_t sx;     // left edge of the glyph's cell in the sheet\n"
    "    int16_t sy;     // top edge: 0, height or 2 * height\n"
    "    uint8_t width;  // cell width; the pen advances by width + spacing\n"
    "    uint8_t zero;\n"
    "};\n"
    "static_assert(sizeof(FontGlyph) == 6, \"a glyph entry is 6 bytes\");\n"
    "\n"
    "inline constexpr int FONT_GLYPH_FIRST = 32;\n"
    "inline constexpr int FONT_GLYPH_COUNT = 96;\n"
    "\n"
    "// A bitmap font: its sheet in the data pack, its metrics and its glyph table.\n"
    "struct FontSheet {\n"
    "    const char* picture;     // 8-bit coverage picture in the data pack\n"
    "    int height;              // row height in the sheet and line height\n"
    "    int emHeight;            // nominal size\n"
    "    int lineAdvance;         // distance from one line to the next\n"
    "    int spacing;             // extra pixels after every glyph\n"
    "    const FontGlyph* glyphs;\n"
    "};\n"
    "\n"
    "extern const FontGlyph font_glyphs_small[FONT_GLYPH_COUNT];   // img/font12.img\n"
    "extern const FontGlyph font_glyphs_medium[FONT_GLYPH_COUNT];  // img/font15.img\n"
    "extern const FontGlyph font_glyphs_large[FONT_GLYPH_COUNT];   // img/font20.img\n"
    "extern const FontSheet font_sheets[3];                         // small, medium, large\n";

std::string table_source(const FontSpec& spec, const Sheet& sheet) {
    std::string s = "const FontGlyph " + std::string(spec.table) + "[FONT_GLYPH_COUNT] = {\n";
    char line[96];
    for (int i = 0; i < GLYPH_COUNT; i++) {
        const Glyph& g = sheet.glyphs[i];
        int c = FIRST_CHAR + i;
        char shown[16];
        if (c == 0x5C)
            std::snprintf(shown, sizeof shown,
                          "backslash");  // a trailing backslash would continue the comment
        else if (c == 127)
            std::snprintf(shown, sizeof shown, "DEL");
        else
            std::snprintf(shown, sizeof shown, "%c", c);
        std::snprintf(line, sizeof line, "    {%d, %d, %d, 0},  // %d %s\n", g.sx, g.sy, g.width, c, shown);
        s += line;
    }
    return s + "};\n\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: mkfonts OUTDIR SANS_BOLD.ttf SERIF.ttf\n");
        return 2;
    }
    std::string out = argv[1];
    FT_Library library;
    if (FT_Init_FreeType(&library)) {
        std::fprintf(stderr, "mkfonts: FreeType does not start\n");
        return 1;
    }
    FT_Face faces[2];
    for (int i = 0; i < 2; i++) {
        if (FT_New_Face(library, argv[2 + i], 0, &faces[i])) {
            std::fprintf(stderr, "mkfonts: cannot open the face %s\n", argv[2 + i]);
            return 1;
        }
    }
    std::string source =
        "// font_glyphs.cpp -- generated by mkfonts together with the font sheets; do not edit.\n"
        "#include \"font_glyphs.h\"\n\n";
    for (const FontSpec& spec : FONTS) {
        Sheet sheet;
        if (!build_sheet(faces[spec.face], spec, &sheet)) return 1;
        if (sheet.clipped)
            std::printf("mkfonts: %s: %d ink pixels outside their row\n", spec.file, sheet.clipped);
        if (!write_img(out + "/" + spec.file, sheet)) return 1;
        source += table_source(spec, sheet);
    }
    source += "const FontSheet font_sheets[3] = {\n";
    char line[160];
    for (const FontSpec& spec : FONTS) {
        std::snprintf(line, sizeof line, "    {\"%s\", %d, %d, %d, %d, %s},\n", spec.picture, spec.height,
                      spec.em, spec.advance, spec.spacing, spec.table);
        source += line;
    }
    source += "};\n";
    if (!write_file(out + "/font_glyphs.h", HEADER, std::strlen(HEADER))) return 1;
    if (!write_file(out + "/font_glyphs.cpp", source.data(), source.size())) return 1;
    for (FT_Face face : faces)
        FT_Done_Face(face);
    FT_Done_FreeType(library);
    return 0;
}
