// tools/mkpack/skin_local.h -- what the skin drawing files share: the palette, a floating-point
// canvas with anti-aliased shapes drawn from distance functions, lettering with FreeType,
// tileable noise, a seeded generator, and the conversions to IMG, JPEG and contact-sheet
// pictures. Every picture is drawn in code; nothing depends on the time or the machine.
//
// Light comes from the top left everywhere: raised things are lit on their top and left edges
// and shaded on the bottom and right; sunken things the other way round.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "base/rect.h"
#include "gui/ge.h"
#include "tools/mkpack/mkpack.h"

// --- Colours ---------------------------------------------------------------------------------

// A colour with straight (not premultiplied) channels and alpha, each 0..1.
struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

inline Rgba rgb(uint32_t value, float alpha = 1.0f) {
    return {((value >> 16) & 255) / 255.0f, ((value >> 8) & 255) / 255.0f, (value & 255) / 255.0f, alpha};
}
inline Rgba with_alpha(Rgba c, float alpha) { return {c.r, c.g, c.b, alpha}; }
inline Rgba mix(Rgba a, Rgba b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}
inline Rgba shade(Rgba c, float f) { return {c.r * f, c.g * f, c.b * f, c.a}; }  // f < 1 darkens
inline Rgba lighten(Rgba c, float t) { return mix(c, {1, 1, 1, c.a}, t); }
inline uint32_t to_rgb(Rgba c) {
    auto ch = [](float v) { return (uint32_t)std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f); };
    return (ch(c.r) << 16) | (ch(c.g) << 8) | ch(c.b);
}
inline float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline float smooth(float e0, float e1, float x) {
    float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// The one palette of the interface (0xRRGGBB). skin.ini is written from these same values.
namespace pal {
inline constexpr uint32_t INK = 0x2B241F;          // text on light faces
inline constexpr uint32_t INK_SOFT = 0x6B5E50;     // secondary text, disabled glyph rims
inline constexpr uint32_t GREY_TEXT = 0x9C9083;    // disabled text
inline constexpr uint32_t PAPER = 0xEEE5D4;        // panel face (window bodies)
inline constexpr uint32_t PAPER_DEEP = 0xE2D6C1;   // panel shading
inline constexpr uint32_t FACE_TOP = 0xFFFCF6;     // button face, top
inline constexpr uint32_t FACE = 0xF6EFE2;         // button face, middle
inline constexpr uint32_t FACE_BOTTOM = 0xE4D8C3;  // button face, bottom
inline constexpr uint32_t OUTLINE = 0x5E4E3E;      // outer rim of frames
inline constexpr uint32_t DIVIDER = 0xB5A58C;      // groove between joined parts
inline constexpr uint32_t WHITE = 0xFFFFFF;
inline constexpr uint32_t TEAL_LIGHT = 0x4A8790;  // title bars, top
inline constexpr uint32_t TEAL = 0x2F6770;        // title bars, middle
inline constexpr uint32_t TEAL_DEEP = 0x1F4A51;   // title bars, bottom; room top bar
inline constexpr uint32_t TEAL_INK = 0x12302F;    // rim of title bars, shadows of light text
inline constexpr uint32_t CREAM = 0xFFF6E4;       // light text on teal
inline constexpr uint32_t AMBER = 0xF0A93B;       // accent: hover, checked, progress
inline constexpr uint32_t AMBER_LIGHT = 0xFFD681;
inline constexpr uint32_t AMBER_DEEP = 0xC8781C;
inline constexpr uint32_t RUST = 0xC2532F;   // cancel, close on hover
inline constexpr uint32_t GREEN = 0x3E8E5A;  // OK
inline constexpr uint32_t GREEN_LIGHT = 0x5DB37A;
inline constexpr uint32_t GOLD = 0xD9A637;    // finished badge, gallery frames
inline constexpr uint32_t WALNUT = 0x3B2A1E;  // dark wood
}  // namespace pal

// --- The canvas -----------------------------------------------------------------------------

// Premultiplied red, green, blue, alpha per pixel, 0..1; rows top to bottom.
struct Canvas {
    int w = 0, h = 0;
    std::vector<float> p;
    Canvas() = default;
    Canvas(int width, int height) : w(width), h(height), p((size_t)width * height * 4, 0.0f) {}
    float* at(int x, int y) { return &p[((size_t)y * w + x) * 4]; }
    const float* at(int x, int y) const { return &p[((size_t)y * w + x) * 4]; }
    // Composites colour c with the given coverage over the pixel (source over).
    void over(int x, int y, Rgba c, float coverage) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        float a = c.a * coverage;
        if (a <= 0) return;
        float* d = at(x, y);
        d[0] = c.r * a + d[0] * (1 - a);
        d[1] = c.g * a + d[1] * (1 - a);
        d[2] = c.b * a + d[2] * (1 - a);
        d[3] = a + d[3] * (1 - a);
    }
    void set(int x, int y, Rgba c) {
        float* d = at(x, y);
        d[0] = c.r * c.a;
        d[1] = c.g * c.a;
        d[2] = c.b * c.a;
        d[3] = c.a;
    }
    Rgba get(int x, int y) const {  // straight colour
        const float* s = at(x, y);
        if (s[3] <= 0) return {0, 0, 0, 0};
        return {s[0] / s[3], s[1] / s[3], s[2] / s[3], s[3]};
    }
};

// Fills every pixel of the box [x0, x1) x [y0, y1) (clipped to the canvas) whose centre has a
// signed distance d (negative inside) from the shape, with coverage 0.5 - d: one pixel of
// anti-aliasing along every edge. paint(x, y) gives the colour at a pixel centre.
template <class Sdf, class Paint>
void fill_shape(Canvas& c, float x0, float y0, float x1, float y1, Sdf sdf, Paint paint) {
    int ix0 = std::max(0, (int)std::floor(x0) - 1), iy0 = std::max(0, (int)std::floor(y0) - 1);
    int ix1 = std::min(c.w, (int)std::ceil(x1) + 1), iy1 = std::min(c.h, (int)std::ceil(y1) + 1);
    for (int y = iy0; y < iy1; y++)
        for (int x = ix0; x < ix1; x++) {
            float px = x + 0.5f, py = y + 0.5f;
            float cov = clamp01(0.5f - sdf(px, py));
            if (cov > 0) c.over(x, y, paint(px, py), cov);
        }
}
template <class Sdf>
void fill_shape(Canvas& c, float x0, float y0, float x1, float y1, Sdf sdf, Rgba colour) {
    fill_shape(c, x0, y0, x1, y1, sdf, [colour](float, float) { return colour; });
}
// Whole-canvas form.
template <class Sdf, class Paint>
void fill_all(Canvas& c, Sdf sdf, Paint paint) {
    fill_shape(c, 0, 0, (float)c.w, (float)c.h, sdf, paint);
}

// Signed distances (negative inside).
inline float sd_circle(float px, float py, float cx, float cy, float r) {
    return std::hypot(px - cx, py - cy) - r;
}
// Box centred at (cx, cy) with half sizes hw, hh and corner radius r.
inline float sd_round_box(float px, float py, float cx, float cy, float hw, float hh, float r) {
    float qx = std::fabs(px - cx) - hw + r, qy = std::fabs(py - cy) - hh + r;
    float ox = std::fmax(qx, 0.0f), oy = std::fmax(qy, 0.0f);
    return std::hypot(ox, oy) + std::fmin(std::fmax(qx, qy), 0.0f) - r;
}
// Box by its edges (x0, y0)-(x1, y1) and radius.
inline float sd_rect(float px, float py, float x0, float y0, float x1, float y1, float r = 0) {
    return sd_round_box(px, py, (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2, r);
}
// A line from a to b with half width hw and round caps.
inline float sd_segment(float px, float py, float ax, float ay, float bx, float by, float hw) {
    float vx = bx - ax, vy = by - ay, wx = px - ax, wy = py - ay;
    float l2 = vx * vx + vy * vy;
    float t = l2 > 0 ? clamp01((wx * vx + wy * vy) / l2) : 0;
    return std::hypot(wx - vx * t, wy - vy * t) - hw;
}
// A closed polygon given as x, y pairs.
float sd_polygon(float px, float py, const std::vector<float>& xy);
// A polyline with round joins and caps.
float sd_polyline(float px, float py, const std::vector<float>& xy, float hw);
// A jigsaw piece: square of side s at (cx, cy) with knobs (+1 out, -1 in, 0 flat) on the
// top, right, bottom and left sides.
float sd_piece(float px, float py, float cx, float cy, float s, const int knobs[4]);

// Composites src over dst with its top-left at (dx, dy).
void canvas_draw(Canvas& dst, const Canvas& src, int dx, int dy);
// Copies a rectangle of src into dst unchanged (alpha included).
void canvas_copy(Canvas& dst, int dx, int dy, const Canvas& src, int sx, int sy, int w, int h);
// A soft shadow of the canvas' alpha: blurred by a box blur run three times, offset and tinted.
void canvas_drop_shadow(Canvas& c, float radius, int ox, int oy, Rgba colour);
// The same shadow alone, on a new canvas of the same size.
Canvas canvas_shadow_of(const Canvas& c, float radius, int ox, int oy, Rgba colour);
// Flattens onto an opaque colour.
void canvas_flatten(Canvas& c, Rgba background);

// --- Lettering ------------------------------------------------------------------------------

// A coverage mask, 0..1, with its origin's offset: the pen starts at (0, baseline).
struct Mask {
    int w = 0, h = 0;
    int baseline = 0;
    std::vector<float> v;
    float at(int x, int y) const {
        return (x < 0 || y < 0 || x >= w || y >= h) ? 0.0f : v[(size_t)y * w + x];
    }
};
// The DejaVu face files used for lettering.
inline constexpr const char* FACE_SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
inline constexpr const char* FACE_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline constexpr const char* FACE_SERIF_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";
// Renders text at a pixel size with extra letter spacing; false (with a message) when the face
// does not load.
bool text_mask(const char* face, float pixel_size, const std::string& text, float spacing, Mask* out);
// Draws the mask with its pen origin at (x, baseline y).
template <class Paint>
void draw_mask(Canvas& c, const Mask& m, int x, int y, Paint paint) {
    for (int j = 0; j < m.h; j++)
        for (int i = 0; i < m.w; i++) {
            float cov = m.v[(size_t)j * m.w + i];
            int px = x + i, py = y - m.baseline + j;
            if (cov > 0) c.over(px, py, paint(px + 0.5f, py + 0.5f), cov);
        }
}
inline void draw_mask(Canvas& c, const Mask& m, int x, int y, Rgba colour) {
    draw_mask(c, m, x, y, [colour](float, float) { return colour; });
}
void mask_blur(Mask& m, int radius);  // box blur run three times, in place (grows the mask)

// A tiny built-in digit font for contact-sheet labels: 3 x 5 pixels a digit, scaled.
void draw_number(Canvas& c, int x, int y, int number, int scale, Rgba colour);

// --- Noise and randomness -------------------------------------------------------------------

// A seeded generator (splitmix64): the same seed gives the same numbers on every machine.
struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed) {}
    uint32_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return (uint32_t)((z ^ (z >> 31)) >> 32);
    }
    float unit() { return (next() >> 8) * (1.0f / 16777216.0f); }  // 0 <= u < 1
    float range(float a, float b) { return a + (b - a) * unit(); }
};
// Gradient noise that repeats every period_x, period_y lattice cells; about -1..1.
float noise_periodic(float x, float y, int period_x, int period_y, uint32_t seed);
// Sum of octaves of noise_periodic, each octave doubling the frequency and the period.
float fbm_periodic(float x, float y, int period_x, int period_y, int octaves, uint32_t seed);

// --- Outputs --------------------------------------------------------------------------------

// The canvas as an IMG file: kind 0x13 (colour premultiplied, with the alpha plane) or kind 3
// (flattened onto black; callers flatten first when they mean another colour).
std::vector<uint8_t> canvas_to_img(const Canvas& c, bool with_alpha);
// The canvas as a JPEG of the given quality (flattened onto black first).
bool canvas_to_jpeg(const Canvas& c, int quality, std::vector<uint8_t>* out);
// A contact-sheet picture of the canvas, composited over a light and dark checker so that
// transparency shows; scale enlarges it by pixel repetition.
SheetPicture canvas_to_sheet(const Canvas& c, const std::string& caption, int scale);

// --- The drawing files ----------------------------------------------------------------------

// Skin pictures and sheets (skin_sheets.cpp, skin_icons.cpp).
Canvas draw_sheet_active();
Canvas draw_sheet_inactive();
void draw_skin_picture(Canvas& sheet, int n);  // one of the 49 pictures in place on sheet A
Canvas draw_little_logo();
// The logo's two locked pieces at (x, y), k times the little logo's size (30 x 20 at k = 1).
void draw_logo_pieces(Canvas& c, float x, float y, float k);
// The middle of a title bar under a picture drawn on it (rounded at the right end when asked).
void draw_title_button_background(Canvas& c, bool right_end);
// The 18-row look of a panel strip (the icon strip under the picture window) under a picture.
void draw_strip_background(Canvas& c);
// Textures and pictures (skin_textures.cpp, skin_pictures.cpp).
Canvas draw_desk_texture();
Canvas draw_gallery_wall();
Canvas draw_gallery_floor();
Canvas draw_gallery_ceiling();
Canvas draw_sparkle_strip();
bool draw_intro(Canvas* out);
bool draw_options_logo(Canvas* out);
Canvas draw_options_tint_field();
Canvas draw_window_icon(int size);
Canvas draw_cursor();

// The sheets are drawn by the skin's own layout (gui/ge.h: ge_picture_rect, ge_frame_tile_rect,
// ge_title_piece_rect); their sizes:
inline constexpr int SHEET_A_W = 192, SHEET_A_H = 272;
inline constexpr int SHEET_B_W = 60, SHEET_B_H = 76;
inline constexpr int LOGO_W = 30, LOGO_H = 20;
inline constexpr int INTRO_W = 480, INTRO_H = 300;
inline constexpr int DESK_W = 1024, DESK_H = 512;
inline constexpr int GALLERY_SIZE = 256;
inline constexpr int CURSOR_SIZE = 32;
inline constexpr int TINT_W = 181, TINT_H = 129;
inline constexpr int OPTIONS_LOGO_W = 232;

// The default background tint of skin.ini: hue, saturation, brightness.
inline constexpr int DESK_HUE = 30, DESK_SATURATION = 32, DESK_BRIGHTNESS = 0;
std::string skin_ini_text();
uint32_t skin_colour(int n);  // skin colour n (0..35) as written to skin.ini
void gallery_tint(int n, int* hue, int* saturation, int* brightness);  // wall tint n (0..3)

// The skin's pages of the contact sheet (skin_preview.cpp).
void skin_contact_sheet(const Canvas& active, const Canvas& inactive, const Canvas& logo,
                        const Canvas& sparkle, const Canvas& desk, const Canvas& wall, const Canvas& floor,
                        const Canvas& ceiling, const Canvas& intro, const Canvas& icon, const Canvas& cursor,
                        const Canvas& tint, const Canvas& options_logo, std::vector<SheetPicture>* sheet);
// A tinted copy of a picture, the way the game colourises the desk and the gallery walls.
Canvas canvas_colourise(const Canvas& c, int hue, int brightness, int saturation);

// Draws a frame element as the game's skin does (tiles cut from the sheets, never scaled) and
// a title bar: used for the contact sheet and by the tests.
void preview_frame(Canvas& dst, const Canvas& sheet_a, const Canvas& sheet_b, int element, int x, int y,
                   int w, int h);
void preview_title_bar(Canvas& dst, const Canvas& sheet_a, const Canvas& sheet_b, int x, int y, int w,
                       bool raisable, bool rollup, bool close);
