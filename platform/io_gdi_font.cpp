// platform/io_gdi_font.cpp -- platform fonts: fontconfig picks a face of the asked family (any
// face when the family is missing), FreeType renders each byte's glyph once per font, and the
// coverage is blended into the frame buffer through the dirty cells.
#include "platform/io_gdi_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <cstring>

#include "base/limits.h"
#include "base/str.h"
#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"

namespace {

constexpr int FAMILY_COUNT = 5;
// Style bits 8..128 in order, and the fontconfig family each stands for.
const char* const FAMILY_NAMES[FAMILY_COUNT] = {"fantasy", "monospace", "serif", "cursive", "sans-serif"};

struct Glyph {
    uint8_t* coverage;  // rows x width bytes, null for an empty glyph
    int16_t width, rows;
    int16_t left, top;  // offset of the bitmap from the pen position and the base line
    uint8_t ready;
};

struct GdiFont {
    int used;
    FT_Face face;  // shared with the other fonts of the same family and look; null: draws nothing
    int pixelSize;
    int bold, italic, underline;
    int ascent, descent, internalLeading, externalLeading;
    int underlineY, underlineThickness;  // below the base line
    int advances[256];                   // valid where the glyph is ready
    Glyph glyphs[256];
};

struct State {
    FT_Library library;
    int libraryTried;
    FT_Face faces[FAMILY_COUNT][2][2];  // family, bold, italic
    uint8_t faceTried[FAMILY_COUNT][2][2];
    int warned;  // "no face" is logged once
    GdiFont fonts[GDI_FONT_MAX];
};
State g;

FT_Face open_match(FcPattern* pattern) {
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FT_Face face = nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        if (FT_New_Face(g.library, (const char*)file, index, &face)) face = nullptr;
        if (face && !FT_IS_SCALABLE(face)) {
            FT_Done_Face(face);
            face = nullptr;
        }
    }
    if (match) FcPatternDestroy(match);
    return face;
}

// The face of a family and look, loaded once; falls back to any face fontconfig offers.
FT_Face face_for(int family, int bold, int italic) {
    if (!g.libraryTried) {
        g.libraryTried = 1;
        if (FT_Init_FreeType(&g.library)) g.library = nullptr;
        if (g.library && !FcInit()) {
            FT_Done_FreeType(g.library);
            g.library = nullptr;
        }
    }
    if (!g.library) return nullptr;
    if (g.faceTried[family][bold][italic]) return g.faces[family][bold][italic];
    g.faceTried[family][bold][italic] = 1;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, (const FcChar8*)FAMILY_NAMES[family]);
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FT_Face face = open_match(pattern);
    FcPatternDestroy(pattern);
    if (!face) {
        pattern = FcPatternCreate();
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        face = open_match(pattern);
        FcPatternDestroy(pattern);
    }
    g.faces[family][bold][italic] = face;
    return face;
}

GdiFont* font_of(int handle) {
    if (handle < 1 || handle > GDI_FONT_MAX || !g.fonts[handle - 1].used) return nullptr;
    return &g.fonts[handle - 1];
}

void measure_face(GdiFont* f, int height) {
    FT_Face face = f->face;
    if (height > 0) {  // a cell height: the em size whose ascent plus descent fills it
        const int span = face->ascender - face->descender;
        f->pixelSize = span > 0 ? (height * face->units_per_EM + span / 2) / span : height;
    }
    if (f->pixelSize < 1) f->pixelSize = 1;
    FT_Set_Pixel_Sizes(face, 0, (FT_UInt)f->pixelSize);
    const FT_Size_Metrics& m = face->size->metrics;
    f->ascent = (int)((m.ascender + 63) >> 6);
    f->descent = (int)((-m.descender + 63) >> 6);
    const int cell = f->ascent + f->descent;
    f->internalLeading = cell > f->pixelSize ? cell - f->pixelSize : 0;
    const int lineHeight = (int)((m.height + 32) >> 6);
    f->externalLeading = lineHeight > cell ? lineHeight - cell : 0;
    const long scale = m.y_scale;
    f->underlineY = (int)((FT_MulFix(-face->underline_position, scale) + 32) >> 6);
    f->underlineThickness = (int)((FT_MulFix(face->underline_thickness, scale) + 32) >> 6);
    if (f->underlineY < 1) f->underlineY = 1;
    if (f->underlineThickness < 1) f->underlineThickness = 1;
}

// Renders byte c of font f (Windows-1252) once; its advance is known afterwards.
const Glyph& glyph(GdiFont* f, unsigned char c) {
    Glyph& gl = f->glyphs[c];
    if (gl.ready) return gl;
    gl.ready = 1;
    f->advances[c] = 0;
    if (!f->face || c < 32) return gl;
    FT_Face face = f->face;
    FT_Set_Pixel_Sizes(face, 0, (FT_UInt)f->pixelSize);
    if (FT_Load_Char(face, str_cp1252_to_unicode(c), FT_LOAD_TARGET_LIGHT)) return gl;
    FT_GlyphSlot slot = face->glyph;
    if (f->bold && !(face->style_flags & FT_STYLE_FLAG_BOLD)) FT_GlyphSlot_Embolden(slot);
    if (f->italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC)) FT_GlyphSlot_Oblique(slot);
    f->advances[c] = (int)((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL)) return gl;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.width == 0 || bm.rows == 0 || bm.pixel_mode != FT_PIXEL_MODE_GRAY) return gl;
    gl.width = (int16_t)bm.width;
    gl.rows = (int16_t)bm.rows;
    gl.left = (int16_t)slot->bitmap_left;
    gl.top = (int16_t)slot->bitmap_top;
    gl.coverage = (uint8_t*)io_mem_alloc((size_t)bm.width * bm.rows);
    for (unsigned y = 0; y < bm.rows; y++)
        std::memcpy(gl.coverage + (size_t)y * bm.width, bm.buffer + (ptrdiff_t)y * bm.pitch, bm.width);
    return gl;
}

// Every byte of the text gets its glyph, so the advance table holds the whole text.
void prepare(GdiFont* f, const char* text) {
    for (const unsigned char* p = (const unsigned char*)text; *p; p++)
        if (!f->glyphs[*p].ready) glyph(f, *p);
}

int line_height(const GdiFont* f) { return f->ascent + f->descent; }

// A coverage rectangle blended in one colour into the dirty spans it touches.
struct Blend {
    const uint8_t* coverage;  // null: solid
    int x, y, w, h, pitch;
    uint8_t b, gr, r;
};

inline uint8_t mix(uint8_t d, uint8_t s, unsigned a) {
    return (uint8_t)(d + (((int)s - (int)d) * (int)(a * 257 + 128) >> 16));
}

void blend_span(void* ctx, int sx, int sy, int sw, int sh) {
    const Blend* bl = (const Blend*)ctx;
    const int x0 = sx > bl->x ? sx : bl->x, x1 = sx + sw < bl->x + bl->w ? sx + sw : bl->x + bl->w;
    const int y0 = sy > bl->y ? sy : bl->y, y1 = sy + sh < bl->y + bl->h ? sy + sh : bl->y + bl->h;
    for (int y = y0; y < y1; y++) {
        uint8_t* d = screen.buf + (ptrdiff_t)y * screen.pitch + x0 * 3;
        const uint8_t* c =
            bl->coverage ? bl->coverage + (ptrdiff_t)(y - bl->y) * bl->pitch + (x0 - bl->x) : nullptr;
        for (int x = x0; x < x1; x++, d += 3) {
            const unsigned a = c ? *c++ : 255;
            if (a == 0) continue;
            if (a == 255) {
                d[0] = bl->b, d[1] = bl->gr, d[2] = bl->r;
            } else {
                d[0] = mix(d[0], bl->b, a), d[1] = mix(d[1], bl->gr, a), d[2] = mix(d[2], bl->r, a);
            }
        }
    }
}

void blend(Blend* bl) {
    if (bl->w > 0 && bl->h > 0) screen_for_each_dirty_span(bl->x, bl->y, bl->w, bl->h, blend_span, bl);
}

}  // namespace

const char* io_gdi_next_line(const char* text, int wrapWidth, const int advances[256], const char** end,
                             int* width) {
    const char* p = text;
    int w = 0;
    if (wrapWidth <= 0) {
        while (*p && *p != '\n')
            w += advances[(unsigned char)*p++];
        *end = p;
        *width = w;
        return *p == '\n' ? p + 1 : p;
    }
    while (*p && *p != '\n') {
        const char* q = p;
        int word = 0;
        while (*q && *q != '\n') {
            word += advances[(unsigned char)*q];
            if (*q++ == ' ') break;
        }
        if (p != text && w + word > wrapWidth) break;
        w += word;
        p = q;
    }
    *end = p;
    *width = w;
    return *p == '\n' ? p + 1 : p;
}

int io_gdi_create_font(int height, int style, int charset) {
    int family;
    switch (style & 0xF8) {
        case 8:
            family = 0;
            break;
        case 16:
            family = 1;
            break;
        case 32:
            family = 2;
            break;
        case 64:
            family = 3;
            break;
        case 128:
            family = 4;
            break;
        default:
            io_fatal("io_gdi_create_font: invalid font family\n");
    }
    if (charset == 1) charset = 0;  // the default set stands for the Western one
    int slot = 0;
    while (slot < GDI_FONT_MAX && g.fonts[slot].used)
        slot++;
    if (slot == GDI_FONT_MAX) io_fatal("io_gdi_create_font: fonts[] is full\n");
    GdiFont* f = &g.fonts[slot];
    std::memset(f, 0, sizeof *f);
    f->used = 1;
    f->italic = (style & 1) != 0;
    f->bold = (style & 2) != 0;
    f->underline = (style & 4) != 0;
    f->pixelSize = height < 0 ? -height : height;
    f->face = face_for(family, f->bold, f->italic);
    if (f->face) {
        measure_face(f, height);
    } else {
        if (!g.warned) io_log("io_gdi_create_font: no font face found; platform texts are not drawn\n");
        g.warned = 1;
        if (f->pixelSize < 1) f->pixelSize = 1;
        f->ascent = f->pixelSize - f->pixelSize / 5;
        f->descent = f->pixelSize / 5;
    }
    return slot + 1;
}

void io_gdi_delete_font(int font) {
    GdiFont* f = font_of(font);
    if (!f) return;
    for (Glyph& gl : f->glyphs)
        io_mem_free(gl.coverage);
    f->used = 0;
}

void io_gdi_font_done() {
    for (int i = 1; i <= GDI_FONT_MAX; i++)
        io_gdi_delete_font(i);
    for (auto& family : g.faces)
        for (auto& weight : family)
            for (FT_Face& face : weight)
                if (face) FT_Done_Face(face), face = nullptr;
    std::memset(g.faceTried, 0, sizeof g.faceTried);
    if (g.library) {
        FT_Done_FreeType(g.library);
        FcFini();
    }
    g.library = nullptr;
    g.libraryTried = 0;
}

void io_gdi_font_metrics(int font, GdiFontMetrics* out) {
    const GdiFont* f = font_of(font);
    *out = {};
    if (!f) return;
    out->height = f->ascent + f->descent;
    out->ascent = f->ascent;
    out->internalLeading = f->internalLeading;
    out->externalLeading = f->externalLeading;
}

int io_gdi_draw_text(int font, const char* text, int x, int y, uint32_t colour, int alignment,
                     int wrapWidth) {
    GdiFont* f = font_of(font);
    if (!f || !text || !*text) return 0;
    prepare(f, text);
    if (wrapWidth <= 0) alignment = 0;
    Blend bl{};
    bl.b = (uint8_t)colour, bl.gr = (uint8_t)(colour >> 8), bl.r = (uint8_t)(colour >> 16);
    const int step = line_height(f);
    int top = y;
    for (const char* p = text; *p;) {
        const char* end;
        int width;
        const char* next = io_gdi_next_line(p, wrapWidth, f->advances, &end, &width);
        int pen = alignment == 1 ? x + (wrapWidth - width) / 2 : alignment == 2 ? x + wrapWidth - width : x;
        if (screen.buf) {
            const int base = top + f->ascent;
            for (const char* q = p; q < end; q++) {
                const Glyph& gl = f->glyphs[(unsigned char)*q];
                if (gl.coverage) {
                    bl.coverage = gl.coverage;
                    bl.x = pen + gl.left, bl.y = base - gl.top, bl.w = gl.width, bl.h = gl.rows;
                    bl.pitch = gl.width;
                    blend(&bl);
                }
                pen += f->advances[(unsigned char)*q];
            }
            if (f->underline) {
                bl.coverage = nullptr;
                bl.x = pen - width, bl.y = base + f->underlineY, bl.w = width, bl.h = f->underlineThickness;
                blend(&bl);
            }
        }
        top += step;
        p = next;
    }
    return top - y;
}

void io_gdi_measure_text(int font, const char* text, int alignment, int wrapWidth, int* width, int* height) {
    (void)alignment;  // alignment moves lines, never their size
    *width = *height = 0;
    GdiFont* f = font_of(font);
    if (!f || !text || !*text) return;
    prepare(f, text);
    for (const char* p = text; *p;) {
        const char* end;
        int w;
        p = io_gdi_next_line(p, wrapWidth, f->advances, &end, &w);
        if (w > *width) *width = w;
        *height += line_height(f);
    }
}

int io_gdi_text_width(int font, const char* text, int length) {
    GdiFont* f = font_of(font);
    if (!f || !text) return 0;
    int w = 0;
    for (int i = 0; i < length && text[i]; i++) {
        const unsigned char c = (unsigned char)text[i];
        if (!f->glyphs[c].ready) glyph(f, c);
        w += f->advances[c];
    }
    return w;
}
