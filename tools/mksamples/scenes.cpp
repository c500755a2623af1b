// tools/mksamples/scenes.cpp -- nine pictures painted from code: landscapes, scenes and
// patterns with plenty of detail everywhere, so that every piece has something to recognise.
// Each painter seeds its own generator, so the pictures are the same on every build.
#include "tools/mksamples/scenes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr float PI = 3.14159265f;

using Points = std::vector<std::pair<float, float>>;

float clamp01(float v) { return std::clamp(v, 0.f, 1.f); }
float smoothstep(float a, float b, float v) {
    const float t = clamp01((v - a) / (b - a));
    return t * t * (3 - 2 * t);
}

// Soft clouds: fbm above a threshold, lit from above.
void clouds(Canvas& c, int y0, int y1, float sx, float sy, uint32_t seed, Rgb light, Rgb shade,
            float amount) {
    for (int y = std::max(0, y0); y < std::min(c.h, y1); y++) {
        const float fade =
            smoothstep((float)y0, y0 + 30.f, (float)y) * (1 - smoothstep(y1 - 40.f, (float)y1, (float)y));
        for (int x = 0; x < c.w; x++) {
            const float n = fbm(x / sx, y / sy, seed, 5);
            const float a = clamp01((n - (1 - amount)) * 3.5f) * fade;
            if (a <= 0) continue;
            const float lit = clamp01(fbm(x / sx, (y - 6) / sy, seed, 5) - n + 0.6f);
            c.blend(x, y, mix(shade, light, lit), a * 0.9f);
        }
    }
}

// A conifer: stacked triangles on a short trunk.
void pine(Canvas& c, float x, float base, float height, Rgb colour) {
    c.fill_rect(x - height * 0.03f, base - height * 0.15f, x + height * 0.03f, base, scale(colour, 0.7f));
    for (int i = 0; i < 4; i++) {
        const float top = base - height * (0.35f + 0.2f * i) - height * 0.05f;
        const float bottom = base - height * (0.1f + 0.2f * i);
        const float half = height * (0.28f - 0.05f * i);
        c.fill_polygon({{x, top}, {x + half, bottom}, {x - half, bottom}}, colour);
    }
}

}  // namespace

// --- Sunset over a mountain lake --------------------------------------------------------------

Canvas paint_sunset_lake(int w, int h) {
    Canvas c(w, h);
    Random rnd(11);
    const int horizon = h * 62 / 100;
    c.vertical_gradient(
        {{0.f, rgb(0x18245A)}, {0.4f, rgb(0x5E3B8E)}, {0.72f, rgb(0xEE6A6E)}, {1.f, rgb(0xFFCB70)}}, 0,
        horizon);
    const float sun_x = w * 0.66f, sun_y = horizon - h * 0.24f;
    c.glow(sun_x, sun_y, h * 0.55f, rgb(0xFFB25E), 0.55f);
    c.fill_circle(sun_x, sun_y, h * 0.07f, rgb(0xFFF1B8));
    clouds(c, 0, (int)(horizon * 0.7f), 140, 38, 5, rgb(0xFFB3A7), rgb(0x8B4F8F), 0.45f);
    // Three ranges of mountains, hazier with distance.
    const Rgb ranges[3] = {rgb(0x8C6AA8), rgb(0x4E3C7D), rgb(0x2B2456)};
    for (int k = 0; k < 3; k++) {
        const float base = horizon - h * (0.17f - 0.05f * k), amp = h * (0.18f - 0.04f * k);
        c.fill_below(
            [&](float x) {
                return base + amp * (0.5f - fbm(x / (260.f - 60 * k), 3.f * k, 20 + k, 5)) * 1.6f;
            },
            [&](int x, int y) {
                const float snow = k == 0 ? 0 : smoothstep(0.62f, 0.7f, fbm(x / 40.f, y / 40.f, 31 + k, 3));
                const float rock = fbm(x / 18.f, y / 18.f, 40 + k, 4);
                Rgb col = mix(ranges[k], scale(ranges[k], 0.75f + 0.5f * rock), 0.6f);
                col = mix(col, rgb(0xF4C9D6), snow * 0.15f * clamp01(1 - (y - base) / amp));
                return mix(col, rgb(0xEE8A7E),
                           0.18f * (2 - k) * (1 - clamp01((y - base) / (horizon - base))));
            });
    }
    // Far shore with a row of pines.
    for (float x = 0; x < w; x += rnd.range(5, 11))
        pine(c, x, horizon + 2, rnd.range(14, 30), rgb(0x1B2038));
    // The lake mirrors what lies above it, broken by ripples.
    std::vector<Rgb> above(c.px);
    for (int y = horizon + 2; y < h; y++) {
        const float depth = (float)(y - horizon) / (h - horizon);
        for (int x = 0; x < w; x++) {
            const float ripple = std::sin(y * 0.9f + 6 * noise2(x / 60.f, y / 6.f, 3)) * (1.5f + 6 * depth);
            int sy = 2 * horizon - y + (int)ripple;
            sy = std::clamp(sy, 0, horizon);
            const int sx = std::clamp(x + (int)(ripple * 0.5f), 0, w - 1);
            Rgb col = mix(above[(size_t)sy * w + sx], rgb(0x1C2F66), 0.25f + 0.45f * depth);
            c.at(x, y) = col;
        }
    }
    // Glitter under the sun.
    for (int i = 0; i < 900; i++) {
        const float y = horizon + 4 + std::pow(rnd.unit(), 1.6f) * (h - horizon - 4);
        const float spread = 8 + (y - horizon) * 0.9f;
        const float x = sun_x + rnd.range(-1, 1) * spread;
        c.fill_rect(x, y, x + rnd.range(2, 6 + (y - horizon) * 0.08f), y + 1, rgb(0xFFE6A0),
                    rnd.range(0.3f, 0.9f));
    }
    // Near shore on the left with tall pines and reeds.
    c.fill_below(
        [&](float x) {
            return h * 0.8f + x * 0.35f + 14 * fbm(x / 30.f, 0, 77, 4) + (x > w * 0.45f ? 1e4f : 0);
        },
        [&](int x, int y) { return mix(rgb(0x0F1A1C), rgb(0x23302A), fbm(x / 9.f, y / 9.f, 78, 3)); });
    for (int i = 0; i < 9; i++) {
        const float x = rnd.range(0, w * 0.4f);
        pine(c, x, h * 0.82f + x * 0.35f, rnd.range(h * 0.25f, h * 0.5f), rgb(0x0C1416));
    }
    for (int i = 0; i < 70; i++) {
        const float x = rnd.range(w * 0.25f, w * 0.55f), y = h * 0.8f + x * 0.35f + 6;
        c.line(x, y, x + rnd.range(-6, 6), y - rnd.range(10, 34), 1.4f, rgb(0x1A2420));
    }
    // A few birds.
    for (int i = 0; i < 7; i++) {
        const float x = w * 0.25f + rnd.range(0, w * 0.3f), y = h * 0.15f + rnd.range(0, h * 0.15f),
                    s = rnd.range(4, 8);
        c.line(x - s, y - s * 0.4f, x, y, 1.3f, rgb(0x221A33));
        c.line(x, y, x + s, y - s * 0.5f, 1.3f, rgb(0x221A33));
    }
    return c;
}

// --- Tulip fields with a windmill --------------------------------------------------------------

Canvas paint_tulip_fields(int w, int h) {
    Canvas c(w, h);
    Random rnd(22);
    const int horizon = h * 40 / 100;
    c.vertical_gradient({{0.f, rgb(0x3D8FE0)}, {1.f, rgb(0xCDE8FF)}}, 0, horizon);
    clouds(c, 0, horizon - 20, 170, 45, 9, rgb(0xFFFFFF), rgb(0x9CB8D8), 0.5f);
    // Tree line and farm on the horizon.
    c.fill_below(
        [&](float x) { return horizon - 8 - 22 * fbm(x / 25.f, 0, 12, 4); },
        [&](int x, int y) { return mix(rgb(0x2F5A2A), rgb(0x4F7F3A), fbm(x / 6.f, y / 6.f, 13, 3)); });
    const float fx = w * 0.18f;
    c.fill_rect(fx, horizon - 30, fx + 60, horizon, rgb(0xB44A33));
    c.fill_polygon({{fx - 6, horizon - 30.f}, {fx + 30, horizon - 52.f}, {fx + 66, horizon - 30.f}},
                   rgb(0x5B2A22));
    for (int i = 0; i < 3; i++)
        c.fill_rect(fx + 8 + 18 * i, horizon - 22, fx + 16 + 18 * i, horizon - 12, rgb(0xF3E3A0));
    // The fields: stripes of colour running to a vanishing point.
    const float vx = w * 0.45f, vy = horizon - 40.f;
    const Rgb colours[6] = {rgb(0xE8283C), rgb(0xFFD21F), rgb(0xFF6FB0),
                            rgb(0x8E3FD1), rgb(0xFF8A1F), rgb(0xF8F2FA)};
    for (int y = horizon; y < h; y++) {
        const float depth = (y - vy) / (h - vy);
        for (int x = 0; x < w; x++) {
            const float u = (x - vx) / (y - vy) * 3.2f + 20;
            const int stripe = (int)std::floor(u);
            const float f = u - stripe;
            const float green_row = smoothstep(0.78f, 0.84f, f) * (1 - smoothstep(0.96f, 1.f, f));
            const Rgb flower = colours[((stripe % 6) + 6) % 6];
            const float texture = noise2(u * 14, 120 / depth * 0.35f, 7 + stripe);
            const Rgb ground = mix(rgb(0x2E6B24), rgb(0x5C9A3A), noise2(x / 5.f, y / 3.f, 14));
            Rgb col = mix(scale(flower, 0.75f + 0.4f * texture), ground,
                          std::max(green_row, 0.25f * (1 - texture)));
            col = mix(col, rgb(0xB9CCE0), 0.35f * (1 - smoothstep(0.f, 0.25f, depth)));
            c.at(x, y) = col;
        }
    }
    // Single tulips in the front rows.
    for (int i = 0; i < 2600; i++) {
        const float y = horizon + 20 + std::pow(rnd.unit(), 0.6f) * (h - horizon - 10);
        const float depth = (y - vy) / (h - vy);
        const float x = rnd.range(0, (float)w);
        const float u = (x - vx) / (y - vy) * 3.2f + 20;
        const float f = u - std::floor(u);
        if (f > 0.76f || depth < 0.22f) continue;
        const Rgb flower = colours[(((int)std::floor(u) % 6) + 6) % 6];
        const float s = 9 * depth * depth;
        c.line(x, y, x + s * 0.1f, y + s * 2.2f, std::max(1.f, s * 0.22f), rgb(0x3C7A2A));
        c.fill_ellipse(x, y, s * 0.55f, s * 0.75f, scale(flower, 0.9f));
        c.fill_ellipse(x - s * 0.18f, y - s * 0.2f, s * 0.22f, s * 0.45f, mix(flower, rgb(0xFFFFFF), 0.35f),
                       0.8f);
    }
    // The windmill.
    const float mx = w * 0.78f, my = horizon - 4.f, mh = h * 0.34f;
    c.fill_polygon({{mx - mh * 0.16f, my},
                    {mx + mh * 0.16f, my},
                    {mx + mh * 0.09f, my - mh * 0.7f},
                    {mx - mh * 0.09f, my - mh * 0.7f}},
                   rgb(0x6B3E2E));
    for (int k = 0; k < 6; k++)
        c.fill_rect(mx - mh * 0.14f + k * 3, my - mh * 0.1f * k - 4, mx + mh * 0.14f - k * 3,
                    my - mh * 0.1f * k - 2, rgb(0x4E2C20));
    c.fill_polygon(
        {{mx - mh * 0.12f, my - mh * 0.7f}, {mx, my - mh * 0.86f}, {mx + mh * 0.12f, my - mh * 0.7f}},
        rgb(0x3B2A26));
    c.fill_rect(mx - 6, my - mh * 0.25f, mx + 6, my, rgb(0x2A1A14));
    const float hub_y = my - mh * 0.74f;
    for (int k = 0; k < 4; k++) {
        const float a = 0.35f + k * PI / 2, ca = std::cos(a), sa = std::sin(a);
        const float len = mh * 0.62f;
        const float ex = mx + ca * len, ey = hub_y + sa * len;
        c.line(mx, hub_y, ex, ey, 4, rgb(0x3A2A20));
        const float nx = -sa * mh * 0.09f, ny = ca * mh * 0.09f;
        const float sx0 = mx + ca * len * 0.2f, sy0 = hub_y + sa * len * 0.2f;
        c.fill_polygon({{sx0, sy0}, {ex, ey}, {ex + nx, ey + ny}, {sx0 + nx * 0.8f, sy0 + ny * 0.8f}},
                       rgb(0xEDE4D0), 0.92f);
        for (int j = 1; j < 6; j++) {
            const float t = 0.2f + 0.8f * j / 6;
            c.line(mx + ca * len * t, hub_y + sa * len * t, mx + ca * len * t + nx, hub_y + sa * len * t + ny,
                   1.2f, rgb(0x7A6A5A));
        }
    }
    c.fill_circle(mx, hub_y, 6, rgb(0x2A1A14));
    return c;
}

// --- A rose window of stained glass -------------------------------------------------------------

Canvas paint_rose_window(int w, int h) {
    Canvas c(w, h);
    Random rnd(33);
    // Cells: a jittered lattice, with rings of cells around the centre.
    struct Cell {
        float x, y;
        Rgb colour;
    };
    std::vector<Cell> cells;
    const float cx = w / 2.f, cy = h / 2.f;
    const Rgb glass[8] = {rgb(0xC81D25), rgb(0x1D4ED8), rgb(0xF2B705), rgb(0x0F9D58),
                          rgb(0x7E22CE), rgb(0xEA580C), rgb(0x0891B2), rgb(0xDB2777)};
    for (int ring = 0; ring < 9; ring++) {
        const int n = ring == 0 ? 1 : 6 + ring * 6;
        const float r = ring * std::min(w, h) * 0.06f;
        for (int k = 0; k < n; k++) {
            const float a = (k + (ring % 2) * 0.5f) * 2 * PI / n;
            cells.push_back(
                {cx + r * std::cos(a), cy + r * std::sin(a), glass[(ring * 3 + (k % 2) * 5) % 8]});
        }
    }
    for (float y = 20; y < h; y += 64)
        for (float x = 20; x < w; x += 64) {
            const float px = x + rnd.range(-22, 22), py = y + rnd.range(-22, 22);
            if (std::hypot(px - cx, py - cy) < std::min(w, h) * 0.5f) continue;
            cells.push_back({px, py, glass[rnd.below(8)]});
        }
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float d1 = 1e9f, d2 = 1e9f;
            int best = 0;
            for (int i = 0; i < (int)cells.size(); i++) {
                const float dx = x - cells[i].x, dy = y - cells[i].y, d = dx * dx + dy * dy;
                if (d < d1)
                    d2 = d1, d1 = d, best = i;
                else if (d < d2)
                    d2 = d;
            }
            const float edge = std::sqrt(d2) - std::sqrt(d1);
            const float shine = 0.7f + 0.5f * fbm(x / 30.f, y / 30.f, 34, 4) - 0.25f * std::sqrt(d1) / 60;
            Rgb col = scale(cells[best].colour, std::max(0.35f, shine));
            col = mix(col, rgb(0xFFFFFF), 0.25f * smoothstep(0.65f, 0.9f, noise2(x / 7.f, y / 7.f, best)));
            const float lead = 1 - smoothstep(2.5f, 4.5f, edge);
            c.at(x, y) = mix(col, rgb(0x1B1712), lead);
        }
    // Tracery: circles and spokes of stone over the glass.
    const float R = std::min(w, h) * 0.5f;
    for (float r : {R * 0.13f, R * 0.37f, R * 0.62f, R * 0.96f}) {
        for (int k = 0; k < 720; k++) {
            const float a0 = k * 2 * PI / 720, a1 = (k + 1) * 2 * PI / 720;
            c.line(cx + r * std::cos(a0), cy + r * std::sin(a0), cx + r * std::cos(a1), cy + r * std::sin(a1),
                   7, rgb(0x8A7F6E));
        }
    }
    for (int k = 0; k < 12; k++) {
        const float a = k * 2 * PI / 12;
        c.line(cx + R * 0.13f * std::cos(a), cy + R * 0.13f * std::sin(a), cx + R * 0.96f * std::cos(a),
               cy + R * 0.96f * std::sin(a), 6, rgb(0x8A7F6E));
        c.fill_circle(cx + R * 0.8f * std::cos(a + PI / 12), cy + R * 0.8f * std::sin(a + PI / 12), R * 0.07f,
                      rgb(0xF7D774), 0.85f);
    }
    // Stone around the window.
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const float d = std::hypot(x - cx, y - cy);
            if (d < R * 0.97f) continue;
            const float n = fbm(x / 12.f, y / 12.f, 35, 4);
            const float block =
                (((int)(y / 40.f) + (int)((x + ((int)(y / 40.f) % 2) * 30) / 60.f)) % 2) * 0.06f;
            Rgb stone = scale(rgb(0xB8AB94), 0.75f + 0.4f * n + block);
            if ((int)y % 40 < 2 || (int)(x + ((int)(y / 40.f) % 2) * 30) % 60 < 2) stone = scale(stone, 0.6f);
            c.at(x, y) = mix(c.at(x, y), stone, smoothstep(R * 0.97f, R * 0.99f, d));
        }
    return c;
}

// --- A harbour at night ---------------------------------------------------------------------

Canvas paint_harbour_night(int w, int h) {
    Canvas c(w, h);
    Random rnd(44);
    const int horizon = h * 56 / 100;
    c.vertical_gradient({{0.f, rgb(0x04061A)}, {0.7f, rgb(0x152052)}, {1.f, rgb(0x3A3468)}}, 0, horizon);
    for (int i = 0; i < 700; i++) {
        const float x = rnd.range(0, (float)w), y = std::pow(rnd.unit(), 1.3f) * horizon * 0.9f;
        const float b = rnd.range(0.3f, 1);
        c.fill_circle(x, y, rnd.range(0.4f, 1.3f), mix(rgb(0xFFFFFF), rgb(0xBFD4FF), rnd.unit()), b);
        if (b > 0.93f) c.glow(x, y, 6, rgb(0xCFE0FF), 0.5f);
    }
    const float moon_x = w * 0.8f, moon_y = h * 0.17f, moon_r = h * 0.06f;
    c.glow(moon_x, moon_y, moon_r * 6, rgb(0x6E7FB8), 0.5f);
    c.fill_circle(moon_x, moon_y, moon_r, rgb(0xF6F1D5));
    for (int i = 0; i < 12; i++)
        c.fill_circle(moon_x + rnd.range(-0.6f, 0.6f) * moon_r, moon_y + rnd.range(-0.6f, 0.6f) * moon_r,
                      rnd.range(0.06f, 0.18f) * moon_r, rgb(0xD8D2B4), 0.6f);
    // The town along the far quay, with lit windows.
    struct Light {
        float x, y;
        Rgb colour;
    };
    std::vector<Light> lights;
    for (float x = 0; x < w;) {
        const float bw = rnd.range(26, 70), bh = rnd.range(30, 140) * (1 - std::abs(x - w * 0.45f) / w);
        const Rgb wall = mix(rgb(0x0C1030), rgb(0x1A1C44), rnd.unit());
        c.fill_rect(x, horizon - bh, x + bw, horizon, wall);
        if (rnd.unit() < 0.4f)
            c.fill_polygon(
                {{x - 2, horizon - bh}, {x + bw / 2, horizon - bh - bw * 0.45f}, {x + bw + 2, horizon - bh}},
                wall);
        for (float wy = horizon - bh + 8; wy < horizon - 8; wy += 14)
            for (float wx = x + 5; wx < x + bw - 8; wx += 12)
                if (rnd.unit() < 0.45f) {
                    const Rgb lamp = mix(rgb(0xFFD27A), rgb(0xFF9E4A), rnd.unit());
                    c.fill_rect(wx, wy, wx + 6, wy + 8, lamp);
                    lights.push_back({wx + 3, wy + 4, lamp});
                }
        x += bw + rnd.range(0, 6);
    }
    // A lighthouse on the right with its beam.
    const float lx = w * 0.93f;
    c.fill_polygon({{lx - 14, horizon + 0.f},
                    {lx + 14, horizon + 0.f},
                    {lx + 8, horizon - 150.f},
                    {lx - 8, horizon - 150.f}},
                   rgb(0xD9D4CC));
    for (int k = 0; k < 4; k++)
        c.fill_rect(lx - 13 + k * 1.5f, horizon - 30 - 36 * k, lx + 13 - k * 1.5f, horizon - 14 - 36 * k,
                    rgb(0xB3261E));
    c.fill_polygon(
        {{lx - 4, horizon - 160.f}, {lx - w * 0.45f, horizon - 210.f}, {lx - w * 0.45f, horizon - 130.f}},
        rgb(0xFFF3C4), 0.12f);
    c.glow(lx, horizon - 158, 40, rgb(0xFFF0B0), 0.9f);
    lights.push_back({lx, horizon - 158.f, rgb(0xFFF0B0)});
    // Water with the reflections of every light.
    for (int y = horizon; y < h; y++) {
        const float depth = (float)(y - horizon) / (h - horizon);
        for (int x = 0; x < w; x++) {
            const float wave = noise2(x / 40.f, y / (3 + 10 * depth), 45);
            c.at(x, y) = mix(rgb(0x0D1A3E), rgb(0x050914), depth * 0.8f + wave * 0.2f);
        }
    }
    lights.push_back({moon_x, moon_y, rgb(0xF6F1D5)});
    for (const Light& l : lights) {
        const bool moon = l.y < horizon * 0.5f;
        for (int y = horizon + 1; y < h; y++) {
            const float mirror = 2 * horizon - l.y;
            const float reach = moon ? h : mirror + 80;
            if (y > reach) break;
            const float fade = moon ? 0.5f * (1 - (float)(y - horizon) / (h - horizon))
                                    : 0.7f * (1 - std::abs(y - mirror) / 80);
            if (fade <= 0) continue;
            const float wobble = (noise2(l.x / 20.f, y / 2.5f, 46) - 0.5f) * (moon ? 60 : 14);
            const float width = moon ? 10 + (y - horizon) * 0.15f : 2.5f;
            if (noise2(l.x, y / 1.7f, 47) < 0.45f) continue;
            c.fill_rect(l.x + wobble - width, (float)y, l.x + wobble + width, y + 1.f, l.colour, fade);
        }
    }
    // Sailing boats at anchor.
    const float boats[4][3] = {
        {0.18f, 0.7f, 1.f}, {0.42f, 0.64f, 0.7f}, {0.62f, 0.78f, 1.25f}, {0.3f, 0.86f, 1.5f}};
    const Rgb hulls[4] = {rgb(0x7A1F1F), rgb(0x1F3B7A), rgb(0xE8E2D0), rgb(0x2A5A3A)};
    for (int b = 0; b < 4; b++) {
        const float bx = w * boats[b][0], by = h * boats[b][1], s = boats[b][2] * h * 0.1f;
        c.fill_polygon({{bx - s * 1.4f, by - s * 0.3f},
                        {bx + s * 1.6f, by - s * 0.3f},
                        {bx + s * 1.1f, by + s * 0.15f},
                        {bx - s * 1.1f, by + s * 0.15f}},
                       hulls[b]);
        c.fill_rect(bx - s * 1.4f, by - s * 0.3f, bx + s * 1.6f, by - s * 0.22f, rgb(0xC9B27A));
        c.line(bx, by - s * 0.3f, bx, by - s * 2.6f, std::max(1.5f, s * 0.06f), rgb(0x2A2320));
        c.fill_polygon({{bx + s * 0.08f, by - s * 2.5f},
                        {bx + s * 1.3f, by - s * 0.45f},
                        {bx + s * 0.08f, by - s * 0.45f}},
                       rgb(0xC3C6D6), 0.92f);
        c.fill_polygon({{bx - s * 0.08f, by - s * 2.2f},
                        {bx - s * 0.9f, by - s * 0.5f},
                        {bx - s * 0.08f, by - s * 0.5f}},
                       rgb(0xA2A6BC), 0.92f);
        c.glow(bx + s * 1.2f, by - s * 0.6f, s * 0.6f, rgb(0xFFC76B), 0.9f);
        c.fill_circle(bx + s * 1.2f, by - s * 0.6f, s * 0.07f, rgb(0xFFF0C0));
        for (int y = (int)(by + s * 0.15f); y < by + s * 1.2f && y < h; y++)
            c.fill_rect(bx - s * 1.1f + (noise2(b * 5.f, y / 2.f, 48) - 0.5f) * s * 0.5f, (float)y,
                        bx + s * 1.1f + (noise2(b * 5.f + 2, y / 2.f, 48) - 0.5f) * s * 0.5f, y + 1.f,
                        scale(hulls[b], 0.5f), 0.45f * (1 - (y - by) / (s * 1.2f)));
    }
    // The pier in front.
    for (int k = 0; k < 7; k++) {
        const float px = w * 0.02f + k * w * 0.055f, top = h * 0.84f + k * 4;
        c.fill_rect(px, top, px + 14, h, rgb(0x2A1E16));
        c.fill_rect(px + 2, top, px + 5, h, rgb(0x4A3626));
    }
    c.fill_polygon({{0, h * 0.82f}, {w * 0.42f, h * 0.86f}, {w * 0.42f, h * 0.88f}, {0, h * 0.85f}},
                   rgb(0x3B2A1E));
    return c;
}

// --- A balloon festival over green hills -----------------------------------------------------

Canvas paint_balloons(int w, int h) {
    Canvas c(w, h);
    Random rnd(55);
    c.vertical_gradient({{0.f, rgb(0x2F80D8)}, {0.7f, rgb(0x9CD0FF)}, {1.f, rgb(0xE6F4FF)}}, 0, h);
    clouds(c, 0, h * 7 / 10, 180, 60, 56, rgb(0xFFFFFF), rgb(0xA9C4E4), 0.48f);
    const Rgb hills[3] = {rgb(0x7FB86A), rgb(0x4E9A45), rgb(0x2F7A33)};
    for (int k = 0; k < 3; k++) {
        const float base = h * (0.7f + 0.09f * k);
        c.fill_below(
            [&](float x) { return base - h * 0.12f * fbm(x / (300.f - 70 * k), 1.f * k, 57 + k, 4); },
            [&](int x, int y) {
                // A patchwork of fields: each patch its own crop and furrow direction.
                const float px = x / (140.f - 30 * k), py = y / (45.f - 8 * k);
                const int patch = (int)std::floor(px + 0.4f * noise2(px, py, 61)) * 7 + (int)std::floor(py);
                const Rgb crops[4] = {hills[k], rgb(0xC9C25A), rgb(0x9DBF5A), rgb(0x6E9E3A)};
                const Rgb crop = crops[((patch % 4) + 4) % 4];
                const float furrow =
                    0.5f + 0.5f * std::sin((patch % 2 ? x * 0.35f : x * 0.12f + y * 0.6f) * (1 + 0.5f * k));
                Rgb col =
                    mix(crop, scale(crop, 1.15f), 0.25f * furrow + 0.35f * fbm(x / 8.f, y / 8.f, 60 + k, 3));
                return mix(col, rgb(0xBFDDF5), 0.3f * (2 - k) / 2);
            });
        for (int t = 0; t < 30 + 20 * k; t++) {
            const float x = rnd.range(0, (float)w),
                        y = base - h * 0.12f * fbm(x / (300.f - 70 * k), 1.f * k, 57 + k, 4) +
                            rnd.range(4, 30);
            const float s = 3 + 3 * k;
            c.fill_rect(x - 0.5f, y, x + 0.5f + k * 0.5f, y + s, rgb(0x4A3020));
            c.fill_circle(x, y - s * 0.3f, s, mix(rgb(0x1F5A24), rgb(0x3C7F2C), rnd.unit()));
        }
    }
    // Balloons, far ones first.
    struct Balloon {
        float x, y, r;
        int palette;
    };
    std::vector<Balloon> balloons;
    for (int i = 0; i < 16; i++)
        balloons.push_back(
            {rnd.range(0.05f, 0.95f) * w, rnd.range(0.12f, 0.62f) * h, rnd.range(12, 60), i % 6});
    std::sort(balloons.begin(), balloons.end(), [](const Balloon& a, const Balloon& b) { return a.r < b.r; });
    const Rgb palettes[6][3] = {
        {rgb(0xE63946), rgb(0xFFD166), rgb(0x1D3557)}, {rgb(0x06D6A0), rgb(0xFFFFFF), rgb(0x118AB2)},
        {rgb(0xF77F00), rgb(0xFCBF49), rgb(0xD62828)}, {rgb(0x9B5DE5), rgb(0xF15BB5), rgb(0xFEE440)},
        {rgb(0x00BBF9), rgb(0x00F5D4), rgb(0xF15BB5)}, {rgb(0x2A9D8F), rgb(0xE9C46A), rgb(0xE76F51)}};
    for (const Balloon& b : balloons) {
        const float haze = 1 - smoothstep(12, 60, b.r);
        // Envelope: round above the equator, tapering to the mouth below it.
        for (int y = (int)(b.y - b.r - 2); y <= (int)(b.y + b.r * 1.35f + 2); y++)
            for (int x = (int)(b.x - b.r - 2); x <= (int)(b.x + b.r + 2); x++) {
                float cover = 0;
                float shade = 0;
                int gore = 0;
                for (int s = 0; s < 4; s++) {
                    const float px = x + 0.25f + 0.5f * (s % 2), py = y + 0.25f + 0.5f * (s / 2);
                    const float dy = (py - b.y) / b.r;
                    const float half =
                        dy < 0 ? std::sqrt(std::max(0.f, 1 - dy * dy))
                               : std::max(0.f, 1 - std::pow(dy / 1.35f, 1.7f)) * (1 - 0.72f * dy / 1.35f);
                    const float u = (px - b.x) / b.r;
                    if (dy >= -1 && dy <= 1.35f && std::abs(u) < half) {
                        cover += 0.25f;
                        const float a = std::asin(std::clamp(u / std::max(half, 1e-3f), -1.f, 1.f));
                        gore = (int)std::floor((a + PI / 2) / PI * 8);
                        shade += 0.25f * (0.55f + 0.45f * std::cos(a - 0.5f)) * (dy < 0 ? 1 : 1 - 0.3f * dy);
                    }
                }
                if (cover <= 0) continue;
                Rgb col = scale(palettes[b.palette][gore % 3], shade / cover * 1.1f);
                const float band = (y - b.y) / b.r;
                if (band > 0.2f && band < 0.32f)
                    col = scale(palettes[b.palette][(gore + 1) % 3], shade / cover);
                c.blend(x, y, mix(col, rgb(0xB8D8F5), haze * 0.45f), cover);
            }
        const float mouth = b.y + b.r * 1.35f, basket = mouth + b.r * 0.35f;
        for (float side : {-1.f, 1.f})
            c.line(b.x + side * b.r * 0.28f, mouth - 1, b.x + side * b.r * 0.16f, basket,
                   std::max(0.6f, b.r * 0.03f), rgb(0x5A4632));
        c.fill_rect(b.x - b.r * 0.18f, basket, b.x + b.r * 0.18f, basket + b.r * 0.22f,
                    mix(rgb(0x8B5A2B), rgb(0xB8D8F5), haze * 0.4f));
        if (b.r > 40) c.glow(b.x, mouth - b.r * 0.05f, b.r * 0.25f, rgb(0xFFB347), 0.7f);
    }
    return c;
}

// --- A coral reef ------------------------------------------------------------------------------

namespace {

void coral_branch(Canvas& c, Random& rnd, float x, float y, float angle, float length, float width,
                  Rgb colour, int depth) {
    const float ex = x + std::cos(angle) * length, ey = y + std::sin(angle) * length;
    c.line(x, y, ex, ey, width, colour);
    c.line(x - width * 0.15f, y, ex - width * 0.15f, ey, width * 0.35f, mix(colour, rgb(0xFFFFFF), 0.3f),
           0.6f);
    if (depth == 0) {
        c.fill_circle(ex, ey, width * 0.7f, mix(colour, rgb(0xFFF0E0), 0.4f));
        return;
    }
    const int children = 2 + rnd.below(2);
    for (int i = 0; i < children; i++)
        coral_branch(c, rnd, ex, ey, angle + rnd.range(-0.7f, 0.7f), length * rnd.range(0.6f, 0.85f),
                     width * 0.72f, colour, depth - 1);
}

void fish(Canvas& c, float x, float y, float s, bool left, int kind) {
    const float d = left ? -1 : 1;
    const Rgb body[4] = {rgb(0xFF7F11), rgb(0x1E63D6), rgb(0xFFD60A), rgb(0xE5446D)};
    const Rgb fin[4] = {rgb(0x111111), rgb(0x0A2A6B), rgb(0x0E6E5C), rgb(0x7A1C3A)};
    c.fill_polygon({{x - d * s * 0.8f, y},
                    {x - d * s * 1.45f, y - s * 0.55f},
                    {x - d * s * 1.35f, y},
                    {x - d * s * 1.45f, y + s * 0.55f}},
                   fin[kind]);
    c.fill_polygon({{x - d * s * 0.2f, y - s * 0.45f},
                    {x + d * s * 0.3f, y - s * 0.8f},
                    {x + d * s * 0.4f, y - s * 0.4f}},
                   fin[kind]);
    c.fill_ellipse(x, y, s, s * 0.52f, body[kind]);
    if (kind == 0)
        for (float t : {-0.45f, 0.1f, 0.6f})
            c.fill_ellipse(x + d * s * t, y, s * 0.1f, s * 0.47f, rgb(0xFFFFFF));
    if (kind == 1) c.fill_ellipse(x - d * s * 0.1f, y - s * 0.12f, s * 0.55f, s * 0.16f, rgb(0x0B1E4A));
    if (kind == 2) c.fill_ellipse(x - d * s * 0.35f, y, s * 0.12f, s * 0.42f, rgb(0x0E6E5C), 0.7f);
    if (kind == 3)
        for (float t : {-0.3f, 0.2f})
            c.fill_ellipse(x + d * s * t, y + s * 0.1f, s * 0.14f, s * 0.1f, rgb(0xFFE0E8), 0.9f);
    c.fill_ellipse(x, y + s * 0.18f, s * 0.75f, s * 0.2f, rgb(0xFFFFFF), 0.18f);
    c.fill_circle(x + d * s * 0.62f, y - s * 0.12f, s * 0.13f, rgb(0xFFFFFF));
    c.fill_circle(x + d * s * 0.65f, y - s * 0.12f, s * 0.07f, rgb(0x000000));
}

}  // namespace

Canvas paint_coral_reef(int w, int h) {
    Canvas c(w, h);
    Random rnd(66);
    c.vertical_gradient({{0.f, rgb(0x53D3E6)}, {0.45f, rgb(0x1C8CC4)}, {1.f, rgb(0x0A3A78)}}, 0, h);
    // Sun rays and the rippled light of the surface.
    for (int k = 0; k < 9; k++) {
        const float x = rnd.range(-0.1f, 1.1f) * w, spread = rnd.range(30, 90);
        c.fill_polygon({{x - 20, 0}, {x + 20, 0}, {x + spread + 160, (float)h}, {x - spread + 160, (float)h}},
                       rgb(0xE8FFFF), 0.06f);
    }
    for (int y = 0; y < h / 8; y++)
        for (int x = 0; x < w; x++) {
            const float n = noise2(x / 25.f, y / 8.f, 67);
            if (n > 0.62f) c.blend(x, y, rgb(0xEFFFFF), (n - 0.62f) * 2 * (1 - y / (h / 8.f)));
        }
    // Sand.
    c.fill_below([&](float x) { return h * 0.78f - h * 0.08f * fbm(x / 200.f, 0, 68, 4); },
                 [&](int x, int y) {
                     const float ripple =
                         0.5f + 0.5f * std::sin(x * 0.05f + y * 0.3f + 5 * noise2(x / 50.f, y / 20.f, 69));
                     return mix(rgb(0xD9C089), rgb(0xF1E2B8),
                                0.5f * ripple + 0.3f * noise2(x / 2.f, y / 2.f, 70));
                 });
    // Rocks with brain corals and sea fans.
    for (int i = 0; i < 7; i++) {
        const float x = rnd.range(0, (float)w), y = h * rnd.range(0.8f, 0.92f), r = rnd.range(50, 110);
        c.fill_ellipse(x, y, r, r * 0.55f, rgb(0x5B5147));
        c.fill_ellipse(x - r * 0.2f, y - r * 0.18f, r * 0.6f, r * 0.3f, rgb(0x7C6F60), 0.7f);
        const float bx = x + rnd.range(-r * 0.4f, r * 0.4f), by = y - r * 0.4f, br = r * 0.45f;
        for (int yy = (int)(by - br); yy <= (int)(by + br); yy++)
            for (int xx = (int)(bx - br); xx <= (int)(bx + br); xx++) {
                const float d = std::hypot((xx - bx) / br, (yy - by) / (br * 0.75f));
                if (d > 1) continue;
                const float grooves = 0.5f + 0.5f * std::sin(40 * fbm(xx / 30.f, yy / 30.f, 71 + i, 3));
                c.blend(xx, yy, mix(rgb(0xB5651D), rgb(0xF2C14E), grooves), clamp01((1 - d) * br * 0.5f));
            }
    }
    const Rgb coral_colours[5] = {rgb(0xFF6F61), rgb(0xFF9F1C), rgb(0xC86BFA), rgb(0xF72585), rgb(0xFFD166)};
    for (int i = 0; i < 14; i++) {
        const float x = rnd.range(0.02f, 0.98f) * w, y = h * rnd.range(0.74f, 0.95f);
        coral_branch(c, rnd, x, y, -PI / 2 + rnd.range(-0.3f, 0.3f), rnd.range(30, 70), rnd.range(8, 14),
                     coral_colours[i % 5], 4);
    }
    // Swaying weed.
    for (int i = 0; i < 26; i++) {
        const float x0 = rnd.range(0, (float)w), y0 = h * rnd.range(0.8f, 1.f), len = rnd.range(80, 260);
        const Rgb green = mix(rgb(0x1F7A3A), rgb(0x7BC96F), rnd.unit());
        float px = x0, py = y0;
        for (int s = 1; s <= 30; s++) {
            const float t = s / 30.f;
            const float nx = x0 + std::sin(t * 5 + i) * 18 * t, ny = y0 - len * t;
            c.line(px, py, nx, ny, 7 * (1 - t) + 2, green);
            px = nx, py = ny;
        }
    }
    // A school of fish and some bigger ones.
    for (int i = 0; i < 22; i++) {
        const float x = w * rnd.range(0.55f, 0.95f) + rnd.range(-40, 40), y = h * rnd.range(0.12f, 0.35f);
        fish(c, x, y, rnd.range(9, 13), true, 2);
    }
    for (int i = 0; i < 18; i++) {
        const float x = w * rnd.range(0.05f, 0.3f) + rnd.range(-30, 30), y = h * rnd.range(0.08f, 0.3f);
        fish(c, x, y, rnd.range(8, 11), false, 1);
    }
    // A sea turtle gliding over the reef.
    {
        const float tx = w * 0.3f, ty = h * 0.42f, tr = h * 0.075f;
        const Rgb skin = rgb(0x6B8E4E), shell = rgb(0x7A5230);
        for (float side : {-1.f, 1.f}) {
            c.fill_polygon({{tx + tr * 0.3f, ty + side * tr * 0.4f},
                            {tx + tr * 0.9f, ty + side * tr * 1.5f},
                            {tx + tr * 1.2f, ty + side * tr * 1.3f},
                            {tx + tr * 0.7f, ty + side * tr * 0.3f}},
                           skin);
            c.fill_polygon({{tx - tr * 0.7f, ty + side * tr * 0.4f},
                            {tx - tr * 1.2f, ty + side * tr * 0.9f},
                            {tx - tr * 0.9f, ty + side * tr * 0.3f}},
                           skin);
        }
        c.fill_ellipse(tx + tr * 1.35f, ty, tr * 0.4f, tr * 0.3f, skin);
        c.fill_circle(tx + tr * 1.55f, ty - tr * 0.1f, tr * 0.06f, rgb(0x111111));
        c.fill_ellipse(tx, ty, tr * 1.1f, tr * 0.8f, shell);
        for (int k = 0; k < 7; k++) {
            const float a = k * 2 * PI / 6, px = k == 6 ? tx : tx + std::cos(a) * tr * 0.62f,
                        py = k == 6 ? ty : ty + std::sin(a) * tr * 0.45f;
            c.fill_ellipse(px, py, tr * 0.3f, tr * 0.22f, rgb(0xA8783F));
            c.fill_ellipse(px - tr * 0.05f, py - tr * 0.05f, tr * 0.18f, tr * 0.12f, rgb(0xC99A55), 0.7f);
        }
    }
    for (int i = 0; i < 12; i++)
        fish(c, rnd.range(0.05f, 0.9f) * w, rnd.range(0.35f, 0.7f) * h, rnd.range(18, 38), rnd.unit() < 0.5f,
             i % 4);
    // Bubbles.
    for (int i = 0; i < 90; i++) {
        const float x = rnd.range(0, (float)w), y = rnd.range(0, (float)h * 0.9f), r = rnd.range(2, 8);
        c.fill_circle(x, y, r, rgb(0xDFFBFF), 0.25f);
        c.fill_circle(x - r * 0.35f, y - r * 0.35f, r * 0.3f, rgb(0xFFFFFF), 0.8f);
    }
    return c;
}

// --- A mandala -----------------------------------------------------------------------------

Canvas paint_mandala(int w, int h) {
    Canvas c(w, h);
    const float cx = w / 2.f, cy = h / 2.f, R = std::min(w, h) * 0.48f;
    const Rgb palette[7] = {rgb(0xF94144), rgb(0xF3722C), rgb(0xF9C74F), rgb(0x90BE6D),
                            rgb(0x43AA8B), rgb(0x577590), rgb(0x9B5DE5)};
    // Rings: sector count and a petal shape each.
    const int sectors[9] = {6, 8, 12, 12, 16, 20, 24, 32, 36};
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            Rgb sum = {0, 0, 0};
            for (int s = 0; s < 4; s++) {
                const float px = x + 0.25f + 0.5f * (s % 2) - cx, py = y + 0.25f + 0.5f * (s / 2) - cy;
                const float r = std::hypot(px, py) / R, a = std::atan2(py, px);
                Rgb col;
                if (r > 1) {
                    // Background: a quiet tiled pattern of dots.
                    const float gx = std::fmod(std::abs(px + 2000), 40.f) - 20,
                                gy = std::fmod(std::abs(py + 2000), 40.f) - 20;
                    col = mix(rgb(0x1B1340), rgb(0x2D1E5F), 0.5f + 0.5f * std::sin(r * 12));
                    if (gx * gx + gy * gy < 16) col = mix(col, rgb(0xF9C74F), 0.5f);
                } else {
                    const int ring = std::min(8, (int)(r * 9));
                    const float f = r * 9 - ring;  // position inside the ring
                    const int k = sectors[ring];
                    const float phase = a * k / (2 * PI) + (ring % 2) * 0.5f;
                    const float petal_f = phase - std::floor(phase);
                    const float petal = std::abs(petal_f - 0.5f) * 2;  // 0 at the petal's middle
                    const bool in_petal = f < 0.92f - 0.8f * petal * petal;
                    const Rgb base = palette[ring % 7], other = palette[(ring + 3) % 7];
                    col = in_petal ? mix(base, rgb(0xFFFFFF), 0.35f * (1 - f))
                                   : mix(other, scale(other, 0.5f), f);
                    if (in_petal && std::abs(petal_f - 0.5f) < 0.04f && f > 0.2f) col = scale(base, 0.55f);
                    const float dot = std::hypot(petal_f - 0.5f, (f - 0.45f) * 0.9f);
                    if (in_petal && dot < 0.09f) col = palette[(ring + 5) % 7];
                    if (f > 0.93f) col = rgb(0x241A3A);
                    if (!in_petal && f > 0.55f && f < 0.75f && petal < 0.2f) col = rgb(0xFFF3D6);
                }
                sum.r += col.r / 4, sum.g += col.g / 4, sum.b += col.b / 4;
            }
            c.at(x, y) = sum;
        }
    c.fill_circle(cx, cy, R * 0.05f, rgb(0xFFF3D6));
    c.fill_circle(cx, cy, R * 0.025f, rgb(0xF94144));
    return c;
}

// --- An autumn forest with a path -------------------------------------------------------------

namespace {

// A broad-leaved tree: a trunk with two boughs and a crown of many small leaf clusters, the
// shaded ones first and the sunlit ones on top.
void leafy_tree(Canvas& c, Random& rnd, float x, float ground, float size, float haze, const Rgb* leaves) {
    const float height = size * 4.2f;
    const Rgb bark = mix(rgb(0x3B2A22), rgb(0xF2D3A8), haze);
    c.fill_polygon({{x - size * 0.12f, ground},
                    {x + size * 0.12f, ground},
                    {x + size * 0.06f, ground - height * 0.7f},
                    {x - size * 0.06f, ground - height * 0.7f}},
                   bark);
    c.line(x, ground - height * 0.45f, x + size * 0.55f, ground - height * 0.72f, size * 0.07f, bark);
    c.line(x, ground - height * 0.4f, x - size * 0.5f, ground - height * 0.68f, size * 0.07f, bark);
    const Rgb crown = leaves[rnd.below(6)];
    const float cy = ground - height * 0.74f, rx = size * 1.05f, ry = height * 0.3f;
    for (int pass = 0; pass < 2; pass++)
        for (int b = 0; b < 34; b++) {
            const float a = rnd.range(0, 2 * PI), d = std::sqrt(rnd.unit());
            const float bx = x + std::cos(a) * d * rx, by = cy + std::sin(a) * d * ry;
            if (pass == 1 && by > cy + ry * 0.3f) continue;
            const float br = size * rnd.range(0.16f, 0.3f);
            Rgb tone = mix(crown, leaves[rnd.below(6)], 0.25f);
            tone = scale(tone, pass == 0 ? rnd.range(0.55f, 0.8f) : rnd.range(0.95f, 1.2f));
            c.fill_circle(bx, by, br, mix(tone, rgb(0xF6DDB0), haze));
            if (pass == 1)
                c.fill_circle(bx - br * 0.3f, by - br * 0.35f, br * 0.4f,
                              mix(scale(tone, 1.2f), rgb(0xFFF1C8), 0.3f + haze * 0.5f), 0.6f);
        }
}

}  // namespace

Canvas paint_autumn_forest(int w, int h) {
    Canvas c(w, h);
    Random rnd(88);
    c.vertical_gradient({{0.f, rgb(0x8DB8DC)}, {0.45f, rgb(0xE9E2CF)}, {1.f, rgb(0xF6C983)}}, 0, h * 6 / 10);
    clouds(c, 0, h * 3 / 10, 150, 40, 87, rgb(0xFFFFFF), rgb(0xD9C3B0), 0.4f);
    // Far blue hills, then the forest in rows from the back to the front.
    const Rgb hills[2] = {rgb(0xA7A6C4), rgb(0x8C84A8)};
    for (int k = 0; k < 2; k++) {
        const float base = h * (0.36f + 0.06f * k);
        c.fill_below([&](float x) { return base - h * 0.1f * fbm(x / 160.f, 2.f * k, 86 + k, 5); },
                     [&](int x, int y) {
                         return mix(hills[k], scale(hills[k], 0.85f), fbm(x / 12.f, y / 12.f, 85, 3));
                     });
    }
    const Rgb leaves[6] = {rgb(0xD1495B), rgb(0xEDAE49), rgb(0xF26419),
                           rgb(0xB23A48), rgb(0xF6AE2D), rgb(0x8E9B43)};
    for (int row = 0; row < 6; row++) {
        const float depth = row / 5.f;
        const float ground = h * (0.5f + 0.085f * row);
        const float size = 12 + 46 * depth * depth;
        const float haze = 0.7f * (1 - depth);
        for (float x = rnd.range(-30, 0); x < w + 60; x += size * rnd.range(0.9f, 1.6f)) {
            const float path_x = w * 0.5f + std::sin(((ground - h * 0.56f) / (h * 0.46f)) * 3.2f) * w *
                                                0.08f * ((ground - h * 0.56f) / (h * 0.46f));
            if (row > 1 && std::abs(x - path_x) < size * 1.2f + depth * w * 0.12f)
                continue;  // the path's clearing
            leafy_tree(c, rnd, x, ground, size, haze, leaves);
        }
        c.fill_below([&](float x) { return ground - 2 + 5 * noise2(x / 40.f, (float)row, 89); },
                     [&](int x, int y) {
                         const Rgb soil =
                             mix(rgb(0x9C5A2E), rgb(0xD98C3F), fbm(x / 6.f, y / 4.f, 90 + row, 3));
                         return mix(soil, rgb(0xF0C890), haze * 0.7f);
                     });
    }
    // The path winding towards the light.
    Points left, right;
    for (int k = 0; k <= 40; k++) {
        const float t = k / 40.f;
        const float y = h * 0.56f + t * h * 0.46f;
        const float centre = w * 0.5f + std::sin(t * 3.2f) * w * 0.08f * t;
        const float half = 6 + t * t * w * 0.2f;
        left.push_back({centre - half, y});
        right.push_back({centre + half, y});
    }
    Points path(left.begin(), left.end());
    path.insert(path.end(), right.rbegin(), right.rend());
    c.fill_polygon(path, rgb(0xE2C08E));
    // Fallen leaves, fewer on the path.
    for (int i = 0; i < 3200; i++) {
        const float y = h * 0.58f + std::pow(rnd.unit(), 0.7f) * h * 0.44f;
        const float x = rnd.range(0, (float)w);
        const float t = (y - h * 0.56f) / (h * 0.46f);
        const float centre = w * 0.5f + std::sin(t * 3.2f) * w * 0.08f * t, half = 6 + t * t * w * 0.2f;
        if (std::abs(x - centre) < half && rnd.unit() < 0.75f) continue;
        const float s = 1.5f + t * 5;
        const float a = rnd.range(0, PI);
        const Rgb col = scale(leaves[rnd.below(6)], rnd.range(0.7f, 1.1f));
        c.fill_polygon({{x + std::cos(a) * s * 1.6f, y + std::sin(a) * s * 0.7f},
                        {x - std::sin(a) * s * 0.6f, y + std::cos(a) * s * 0.5f},
                        {x - std::cos(a) * s * 1.6f, y - std::sin(a) * s * 0.7f},
                        {x + std::sin(a) * s * 0.6f, y - std::cos(a) * s * 0.5f}},
                       col);
    }
    // Two big trees framing the view, their crowns over the top edge.
    leafy_tree(c, rnd, w * 0.06f, h * 1.02f, 95, 0, leaves);
    leafy_tree(c, rnd, w * 0.95f, h * 1.04f, 85, 0, leaves);
    // Rays of light through the trees, and a few birds.
    for (int k = 0; k < 6; k++) {
        const float x = w * (0.3f + 0.08f * k);
        c.fill_polygon({{x, 0}, {x + 30, 0}, {x + 160 + 40.f * k, (float)h}, {x + 90 + 30.f * k, (float)h}},
                       rgb(0xFFF4D6), 0.08f);
    }
    for (int i = 0; i < 6; i++) {
        const float x = w * rnd.range(0.3f, 0.7f), y = h * rnd.range(0.08f, 0.25f), s = rnd.range(3, 6);
        c.line(x - s, y - s * 0.4f, x, y, 1.2f, rgb(0x4A3A3A));
        c.line(x, y, x + s, y - s * 0.5f, 1.2f, rgb(0x4A3A3A));
    }
    return c;
}

// --- A market town on a hill above a river ---------------------------------------------------
// Made for a large puzzle: rows of houses, each with its own colours, windows and roof, climb the
// hill; every part of the picture holds something to recognise.

Canvas paint_market_town(int w, int h) {
    Canvas c(w, h);
    Random rnd(99);
    const float u = h / 1000.f;  // the picture's unit: everything scales with its height
    const int sky = h * 30 / 100, river = h * 84 / 100;
    c.vertical_gradient({{0.f, rgb(0x4A86C8)}, {0.7f, rgb(0x9CC6EA)}, {1.f, rgb(0xE6EEF0)}}, 0, sky + 40);
    clouds(c, 0, sky - 10, 200 * u, 55 * u, 41, rgb(0xFFFFFF), rgb(0xA9B9D0), 0.5f);
    // Hills behind the town, then the slope it climbs.
    c.fill_below([&](float x) { return sky - 30 * u - 60 * u * fbm(x / (300 * u), 0, 42, 4); },
                 [&](int x, int y) {
                     return mix(rgb(0x6E8F6A), rgb(0x8DAA7A), fbm(x / (9 * u), y / (9 * u), 43, 3));
                 });
    c.fill_below([&](float x) { return sky + 20 * u + 25 * u * std::sin(x / (380 * u)); },
                 [&](int x, int y) {
                     return mix(rgb(0x557A3C), rgb(0x7C9C48), fbm(x / (6 * u), y / (6 * u), 44, 3));
                 });
    const Rgb walls[8] = {rgb(0xE9C46A), rgb(0xF4A261), rgb(0xE76F51), rgb(0xF1E3C6),
                          rgb(0x9AC1D9), rgb(0xD8A7B1), rgb(0xB5C99A), rgb(0xFFFFFF)};
    const Rgb roofs[4] = {rgb(0xA23E1F), rgb(0x7A2E1A), rgb(0x4B4F5C), rgb(0xC0622F)};
    // Rows from the back (small, high) to the front (large, low), trees between them.
    const int rows = 9;
    for (int r = 0; r < rows; r++) {
        const float base = sky + 50 * u + (river - sky - 40 * u) * (r + 1) / rows;
        const float tall = (26 + 9 * r) * u;
        for (float x = rnd.range(-tall, 0); x < w; x += rnd.range(2, 9) * u) {
            const float th = rnd.range(0.5f, 1.f) * tall * 0.6f;
            c.fill_circle(x, base - tall * 0.95f - th * 0.3f, th * 0.45f,
                          mix(rgb(0x2F5D2A), rgb(0x5E8B3A), rnd.unit()));
            x += rnd.range(0.3f, 2.5f) * th;
        }
        for (float x = rnd.range(-tall, 0); x < w;) {
            const float hw = rnd.range(0.8f, 1.6f) * tall, hh = rnd.range(0.75f, 1.1f) * tall;
            const Rgb wall = scale(walls[rnd.below(8)], rnd.range(0.85f, 1.05f));
            const Rgb roof = roofs[rnd.below(4)];
            const float top = base - hh;
            c.fill_rect(x, top, x + hw, base, wall);
            c.fill_rect(x, top, x + 2 * u, base, scale(wall, 0.8f));  // the shaded corner
            if (rnd.below(5) == 0) {                                  // a stepped gable
                const float step = hw / 6;
                Points gable = {{x, top}};
                for (int k = 0; k < 3; k++)
                    gable.insert(gable.end(), {{x + step * k, top - step * (k + 1) * 0.8f},
                                               {x + step * (k + 1), top - step * (k + 1) * 0.8f}});
                gable.insert(gable.end(), {{x + hw - step * 3, top - step * 2.4f},
                                           {x + hw - step * 2, top - step * 2.4f},
                                           {x + hw - step * 2, top - step * 1.6f},
                                           {x + hw - step, top - step * 1.6f},
                                           {x + hw - step, top - step * 0.8f},
                                           {x + hw, top - step * 0.8f},
                                           {x + hw, top}});
                c.fill_polygon(gable, wall);
            } else {
                const float peak = rnd.range(0.35f, 0.6f) * hw;
                c.fill_polygon({{x - 3 * u, top + u}, {x + hw / 2, top - peak}, {x + hw + 3 * u, top + u}},
                               roof);
                for (float t = 0.2f; t < 1; t += 0.2f)  // rows of tiles
                    c.line(x + hw / 2 - (hw / 2 + 3 * u) * t, top - peak * (1 - t),
                           x + hw / 2 + (hw / 2 + 3 * u) * t, top - peak * (1 - t), 0.7f * u,
                           scale(roof, 0.75f), 0.8f);
                if (rnd.below(2)) {
                    const float cx = x + hw * rnd.range(0.6f, 0.8f);
                    c.fill_rect(cx, top - peak * 0.8f, cx + 4 * u, top - peak * 0.3f, scale(roof, 0.6f));
                }
            }
            // Windows in floors, a door on the ground.
            const int floors = std::max(1, (int)(hh / (13 * u))), columns = std::max(1, (int)(hw / (11 * u)));
            for (int f = 0; f < floors; f++)
                for (int k = 0; k < columns; k++) {
                    const float wx = x + hw * (k + 0.3f) / columns,
                                wy = top + hh * (f + 0.25f) / (floors + 0.6f);
                    const Rgb glass = rnd.below(6) ? rgb(0x39506B) : rgb(0xFFD66E);
                    c.fill_rect(wx, wy, wx + hw * 0.4f / columns, wy + hh * 0.35f / (floors + 0.6f), glass);
                    c.fill_rect(wx - u, wy - u, wx + hw * 0.4f / columns + u, wy, rgb(0xF7F3EA), 0.8f);
                }
            const float dx = x + hw * rnd.range(0.2f, 0.6f);
            c.fill_rect(dx, base - hh * 0.3f, dx + hw * 0.18f, base, rgb(0x5A3A22));
            x += hw + rnd.range(0, 6) * u;
        }
    }
    // The church on the top row.
    const float cx = w * 0.62f, cb = sky + 50 * u + (river - sky - 40 * u) / rows;
    c.fill_rect(cx, cb - 190 * u, cx + 46 * u, cb, rgb(0xD9CDB2));
    c.fill_polygon({{cx - 4 * u, cb - 190 * u}, {cx + 23 * u, cb - 290 * u}, {cx + 50 * u, cb - 190 * u}},
                   rgb(0x3E5A4C));
    c.fill_circle(cx + 23 * u, cb - 160 * u, 13 * u, rgb(0xFAF7EE));
    c.line(cx + 23 * u, cb - 160 * u, cx + 23 * u, cb - 170 * u, 2 * u, rgb(0x222222));
    c.line(cx + 23 * u, cb - 160 * u, cx + 30 * u, cb - 160 * u, 2 * u, rgb(0x222222));
    // The river with the town's colours broken in it, a quay and boats.
    c.fill_rect(0, river - 8 * u, (float)w, (float)river, rgb(0x8C8479));
    std::vector<Rgb> above(c.px);
    for (int y = river; y < h; y++)
        for (int x = 0; x < w; x++) {
            const float ripple = 5 * u * std::sin(y / (3 * u) + 5 * noise2(x / (50 * u), y / (8 * u), 45));
            const int sy = std::clamp(2 * river - y + (int)ripple, 0, river - 1);
            const int sx = std::clamp(x + (int)ripple, 0, w - 1);
            c.at(x, y) =
                mix(above[(size_t)sy * w + sx], rgb(0x2D5C7C), 0.45f + 0.3f * (y - river) / (h - river));
        }
    for (int i = 0; i < 14; i++) {
        const float bx = rnd.range(0, (float)w), by = river + rnd.range(20, 130) * u,
                    bl = rnd.range(40, 90) * u;
        c.fill_polygon(
            {{bx, by}, {bx + bl, by}, {bx + bl * 0.85f, by + 10 * u}, {bx + bl * 0.15f, by + 10 * u}},
            walls[rnd.below(8)]);
        if (rnd.below(2)) {
            c.line(bx + bl / 2, by, bx + bl / 2, by - bl * 0.8f, 1.5f * u, rgb(0x3B2A1E));
            c.fill_polygon({{bx + bl / 2 + 2 * u, by - bl * 0.75f},
                            {bx + bl * 0.95f, by - 4 * u},
                            {bx + bl / 2 + 2 * u, by - 4 * u}},
                           rgb(0xF5F0E6));
        }
    }
    return c;
}

// --- The tune ------------------------------------------------------------------------------

int write_sample_tune(const std::string& path) {
    // A slow waltz in C major: (note, length in eighths), 0 is a rest.
    const int melody[][2] = {{67, 2}, {72, 2}, {76, 2}, {74, 3}, {72, 1}, {69, 2}, {67, 4},
                             {64, 2}, {65, 2}, {69, 2}, {72, 2}, {71, 4}, {67, 2}, {69, 2},
                             {71, 2}, {72, 2}, {74, 3}, {76, 1}, {74, 2}, {72, 6}, {0, 2}};
    const int chords[][3] = {{48, 52, 55}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}, {48, 52, 55}};
    std::vector<uint8_t> track;
    auto varlen = [&](uint32_t v) {
        uint8_t bytes[4];
        int n = 0;
        do
            bytes[n++] = (uint8_t)(v & 0x7F), v >>= 7;
        while (v);
        while (n--)
            track.push_back((uint8_t)(bytes[n] | (n ? 0x80 : 0)));
    };
    auto event = [&](uint32_t delta, std::initializer_list<uint8_t> bytes) {
        varlen(delta);
        track.insert(track.end(), bytes);
    };
    const int eighth = 240;                          // ticks; 480 per quarter note
    event(0, {0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0});  // 600000 us a quarter: 100 beats a minute
    event(0, {0xC0, 46});                            // harp
    event(0, {0xC1, 48});                            // strings
    uint32_t pending = 0;
    int bar = 0, eighths_in_bar = 0;
    for (const auto& note : melody) {
        const int length = note[1] * eighth;
        if (eighths_in_bar == 0) {
            for (int k : chords[bar % 5])
                event(pending, {0x91, (uint8_t)k, 44}), pending = 0;
        }
        if (note[0]) {
            event(pending, {0x90, (uint8_t)note[0], 80});
            event((uint32_t)length, {0x80, (uint8_t)note[0], 0});
            pending = 0;
        } else {
            pending += (uint32_t)length;  // a rest
        }
        eighths_in_bar += note[1];
        if (eighths_in_bar >= 6) {
            for (int k : chords[bar % 5])
                event(pending, {0x81, (uint8_t)k, 0}), pending = 0;
            eighths_in_bar -= 6;
            bar++;
        }
    }
    if (eighths_in_bar > 0)
        for (int k : chords[bar % 5])
            event(pending, {0x81, (uint8_t)k, 0}), pending = 0;
    event(pending, {0xFF, 0x2F, 0x00});

    std::vector<uint8_t> file = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, (uint8_t)(480 >> 8), (uint8_t)(480 & 255),
        'M', 'T', 'r', 'k'};
    const uint32_t n = (uint32_t)track.size();
    for (int s = 24; s >= 0; s -= 8)
        file.push_back((uint8_t)(n >> s));
    file.insert(file.end(), track.begin(), track.end());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    int ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    if (std::fclose(f) != 0) ok = 0;
    return ok;
}
