// gui/font.cpp -- the four fonts, the current text style, and the layout of bitmap texts.
//
// Bitmap and platform fonts break lines by the same rule (io_gdi_next_line); a bitmap font's
// advance table holds glyph width + spacing for 32..127 and 0 for every byte without a glyph.
#include "gui/font.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "font_glyphs.h"
#include "image/img.h"
#include "platform/io_gdi_font.h"
#include "resources/cache.h"

namespace {

struct Style {
    int font, colour, shadow, alignment, wrap;
};

struct Fonts {
    Font fonts[FONT_COUNT];
    int advances[FONT_COUNT][256];                  // bitmap fonts only
    int inkTop[FONT_COUNT], inkBottom[FONT_COUNT];  // rows of a line that hold ink; -1 until found
    Style style;
};
Fonts g_fonts;

// Which of the compiled sheets a bitmap font uses.
int sheet_of(int font) { return font == FONT_SMALL ? 0 : font == FONT_MEDIUM ? 1 : 2; }

void make_bitmap(int id) {
    const FontSheet& sheet = font_sheets[sheet_of(id)];
    Font& f = g_fonts.fonts[id];
    f = {};
    f.kind = 0;
    f.height = sheet.height;
    f.emHeight = sheet.emHeight;
    f.lineAdvance = sheet.lineAdvance;
    f.shadowOffset = 1;
    f.picture = cache_register_raw(sheet.picture);
    f.spacing = sheet.spacing;
    f.firstChar = FONT_GLYPH_FIRST;
    f.lastChar = FONT_GLYPH_FIRST + FONT_GLYPH_COUNT - 1;
    f.glyphs = sheet.glyphs;
    int* adv = g_fonts.advances[id];
    for (int c = 0; c < 256; c++)
        adv[c] = c >= f.firstChar && c <= f.lastChar ? f.glyphs[c - f.firstChar].width + f.spacing : 0;
}

void make_platform(int id, int size, int style, int charset) {
    Font& f = g_fonts.fonts[id];
    f = {};
    f.kind = 1;
    f.platformFont = io_gdi_create_font(size, style, charset);
    GdiFontMetrics m;
    io_gdi_font_metrics(f.platformFont, &m);
    f.height = m.height;
    f.emHeight = m.height - m.internalLeading;
    f.lineAdvance = m.height + m.externalLeading;
    f.shadowOffset = 1;
}

// Draws (or with colour -1 only lays out) a bitmap text; returns the total of the advances.
int bitmap_lines(int id, const char* text, int x, int y, int colour) {
    const Font& f = g_fonts.fonts[id];
    const Style& s = g_fonts.style;
    const int* adv = g_fonts.advances[id];
    const Image* sheet = colour != -1 ? (const Image*)cache_lock(f.picture) : nullptr;
    int top = y;
    for (const char* p = text; *p;) {
        const char* end;
        int width;
        const char* next = io_gdi_next_line(p, s.wrap, adv, &end, &width);
        if (sheet) {
            int pen = s.alignment == 1 ? x + (s.wrap - width) / 2 : s.alignment == 2 ? x + s.wrap - width : x;
            for (const char* q = p; q < end; q++) {
                const int c = (unsigned char)*q;
                if (c < f.firstChar || c > f.lastChar) continue;
                const FontGlyph& g = f.glyphs[c - f.firstChar];
                img_draw_tinted(pen, top, (uint32_t)colour, sheet, g.sx, g.sy, g.width, f.height);
                pen += adv[c];
            }
        }
        top += f.lineAdvance;
        p = next;
    }
    if (sheet) cache_unlock(f.picture);
    return top - y;
}

int draw_once(const char* text, int x, int y, int colour) {
    const Style& s = g_fonts.style;
    const Font& f = g_fonts.fonts[s.font];
    if (f.kind == 0) return bitmap_lines(s.font, text, x, y, colour);
    if (colour == -1) {
        int w, h;
        io_gdi_measure_text(f.platformFont, text, s.alignment, s.wrap, &w, &h);
        return h;
    }
    return io_gdi_draw_text(f.platformFont, text, x, y, (uint32_t)colour, s.alignment, s.wrap);
}

}  // namespace

void font_init(int charset) {
    font_done();
    if (charset == 0) {
        make_bitmap(FONT_SMALL);
        make_bitmap(FONT_MEDIUM);
        make_bitmap(FONT_LARGE);
    } else {
        make_platform(FONT_SMALL, -11, 130, charset);
        make_platform(FONT_MEDIUM, -13, 130, charset);
        make_platform(FONT_LARGE, -19, 32, charset);
    }
    make_platform(FONT_SYSTEM, -11, 128, 0);
    g_fonts.style = {FONT_MEDIUM, 0, -1, 0, 0};
    for (int i = 0; i < FONT_COUNT; i++)
        g_fonts.inkTop[i] = g_fonts.inkBottom[i] = -1;
}

void font_ink_rows(int font, int* top, int* bottom) {
    const Font& f = g_fonts.fonts[font];
    if (g_fonts.inkTop[font] < 0) {
        // A platform font may draw anywhere in its line; a bitmap font's glyph rows are scanned
        // once, every glyph of the sheet at once.
        int first = 0, last = f.height - 1;
        if (f.kind == 0 && f.height > 0) {
            const Image* sheet = (const Image*)cache_lock(f.picture);
            const uint8_t* pixels = (const uint8_t*)sheet + sheet->colourOffset;
            first = f.height, last = -1;
            for (int y = 0; y < sheet->height; y++) {
                const uint8_t* row = pixels + (ptrdiff_t)y * sheet->colourPitch;
                int ink = 0;
                for (int x = 0; x < sheet->width && !ink; x++)
                    ink = row[x] != 0;
                if (!ink) continue;
                first = std::min(first, y % f.height);
                last = std::max(last, y % f.height);
            }
            cache_unlock(f.picture);
            if (last < first) first = 0, last = f.height - 1;
        }
        g_fonts.inkTop[font] = first;
        g_fonts.inkBottom[font] = last;
    }
    *top = g_fonts.inkTop[font];
    *bottom = g_fonts.inkBottom[font];
}

void font_done() {
    for (Font& f : g_fonts.fonts) {
        if (f.kind == 1) io_gdi_delete_font(f.platformFont);
        f = {};
    }
    io_gdi_font_done();
}

const Font* font_get(int font) { return font >= 0 && font < FONT_COUNT ? &g_fonts.fonts[font] : nullptr; }

void font_set_style(int font, int colour, int shadow) {
    g_fonts.style = {font >= 0 && font < FONT_COUNT ? font : FONT_MEDIUM, colour, shadow, 0, 0};
}

void font_set_layout(int alignment, int wrapWidth) {
    g_fonts.style.wrap = wrapWidth > 0 ? wrapWidth : 0;
    g_fonts.style.alignment = g_fonts.style.wrap ? alignment : 0;
}

int font_draw(const char* text, int x, int y) {
    if (!text || !*text) return 0;
    const Style& s = g_fonts.style;
    const int offset = g_fonts.fonts[s.font].shadowOffset;
    int height = 0;
    if (s.shadow != -1) height = draw_once(text, x + offset, y + offset, s.shadow) + offset;
    if (s.colour != -1 || s.shadow == -1) {
        const int h = draw_once(text, x, y, s.colour);
        if (s.shadow == -1) height = h;
    }
    return height;
}

void font_measure(const char* text, int* width, int* height) {
    *width = *height = 0;
    if (!text || !*text) return;
    const Style& s = g_fonts.style;
    const Font& f = g_fonts.fonts[s.font];
    if (f.kind == 0) {
        for (const char* p = text; *p;) {
            const char* end;
            int w;
            p = io_gdi_next_line(p, s.wrap, g_fonts.advances[s.font], &end, &w);
            if (w > *width) *width = w;
            *height += f.lineAdvance;
        }
    } else {
        io_gdi_measure_text(f.platformFont, text, s.alignment, s.wrap, width, height);
    }
    if (s.shadow != -1) *width += f.shadowOffset, *height += f.shadowOffset;
}

int font_text_width(int font, const char* text, int length) {
    if (!text || font < 0 || font >= FONT_COUNT) return 0;
    const Font& f = g_fonts.fonts[font];
    if (f.kind == 1) return io_gdi_text_width(f.platformFont, text, length);
    int w = 0;
    for (int i = 0; i < length && text[i]; i++)
        w += g_fonts.advances[font][(unsigned char)text[i]];
    return w;
}
