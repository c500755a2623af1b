// tools/mksamples/canvas.h -- a small floating-point painter for the sample pictures: blended
// anti-aliased shapes, gradients, value noise, and a seeded generator so every picture comes out
// the same on every build.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    float r, g, b;
};
Rgb rgb(uint32_t hex);           // 0xRRGGBB
Rgb mix(Rgb a, Rgb b, float t);  // a + (b - a) t
Rgb scale(Rgb c, float k);

// Deterministic generator (xorshift); a picture seeds its own.
struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next();
    float unit();  // 0..1
    float range(float low, float high);
    int below(int n);
};

// Smooth value noise in 0..1 with period-free lattice hashing, and its fractal sum.
float noise2(float x, float y, uint32_t seed);
float fbm(float x, float y, uint32_t seed, int octaves);

struct Canvas {
    int w, h;
    std::vector<Rgb> px;
    Canvas(int width, int height) : w(width), h(height), px((size_t)width * height, Rgb{0, 0, 0}) {}
    Rgb& at(int x, int y) { return px[(size_t)y * w + x]; }
    void blend(int x, int y, Rgb c, float alpha);  // clipped; alpha 0..1

    void vertical_gradient(const std::vector<std::pair<float, Rgb>>& stops, int y0, int y1);
    void fill_rect(float x0, float y0, float x1, float y1, Rgb c, float alpha = 1);
    // Anti-aliased discs and ellipses (coverage from the distance to the edge).
    void fill_ellipse(float cx, float cy, float rx, float ry, Rgb c, float alpha = 1);
    void fill_circle(float cx, float cy, float r, Rgb c, float alpha = 1) {
        fill_ellipse(cx, cy, r, r, c, alpha);
    }
    // A soft glow: alpha falls from `alpha` at the centre to 0 at radius r.
    void glow(float cx, float cy, float r, Rgb c, float alpha);
    // Polygon with 4 x 4 supersampled coverage (non-zero winding).
    void fill_polygon(const std::vector<std::pair<float, float>>& points, Rgb c, float alpha = 1);
    // A thick anti-aliased segment with round ends.
    void line(float x0, float y0, float x1, float y1, float width, Rgb c, float alpha = 1);
    // Everything below the curve y(x) (per column), coloured per pixel by the callback.
    template <class Curve, class Shade>
    void fill_below(Curve curve, Shade shade) {
        for (int x = 0; x < w; x++) {
            const float top = curve((float)x);
            for (int y = top < 0 ? 0 : (int)top; y < h; y++) {
                const float cover = y + 1 - top < 1 ? y + 1 - top : 1;
                if (cover > 0) blend(x, y, shade(x, y), cover);
            }
        }
    }

    // 24-bit BMP, rows bottom-up; 1 on success.
    int save_bmp(const std::string& path) const;
};
