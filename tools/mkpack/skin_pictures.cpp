// tools/mkpack/skin_pictures.cpp -- the pictures around the game: the intro picture (a dusk
// landscape laid as a nearly finished puzzle under the product name), the options dialog's
// colour field and logo, the window icon and the game's own cursor.
#include "image/img_scale.h"
#include "tools/mkpack/skin_local.h"

namespace {

// The landscape of the intro: a dusk sky, a low sun, two ranges of hills and a lake.
Rgba landscape(float x, float y) {
    const float horizon = 196;
    Rgba sky;
    if (y < horizon) {
        float t = y / horizon;
        sky = t < 0.55f ? mix(rgb(0x27406B), rgb(0x8A5A7A), t / 0.55f)
                        : mix(rgb(0x8A5A7A), rgb(0xF29A5C), (t - 0.55f) / 0.45f);
        float sun = std::hypot(x - 332, y - 178);
        sky = mix(sky, rgb(0xFFD98A), 0.55f * std::exp(-sun / 55.0f));
        if (sun < 24) sky = mix(sky, rgb(0xFFF1C4), smooth(24, 22, sun));
        // Thin clouds lit from below.
        float cl = fbm_periodic(x / 90.0f, y / 14.0f, 64, 64, 4, 0xC10D);
        if (y > 60 && y < 160)
            sky = mix(sky, rgb(0xFFC08A),
                      0.35f * smooth(0.15f, 0.55f, cl) * smooth(60, 100, y) * smooth(160, 120, y));
    }
    float far_ridge = 168 + 14 * fbm_periodic(x / 120.0f, 0.5f, 64, 64, 4, 0x41) + 6 * std::sin(x / 70.0f);
    float near_ridge = 186 + 20 * fbm_periodic(x / 80.0f, 3.5f, 64, 64, 4, 0x42) -
                       18 * std::exp(-((x - 90) * (x - 90)) / 5000.0f);
    if (y >= horizon) {
        // The lake mirrors the sky with ripples and a golden path under the sun.
        float my = 2 * horizon - y;
        Rgba refl = landscape(x, std::max(0.0f, my - 1));
        float ripple = noise_periodic(x / 18.0f, y / 2.0f, 64, 64, 0x1A);
        refl = shade(refl, 0.72f + 0.06f * ripple);
        float path = std::exp(-std::fabs(x - 332) / (10 + 0.5f * (y - horizon))) * (0.5f + 0.5f * ripple);
        refl = mix(refl, rgb(0xFFD98A), 0.5f * path);
        if (y > 262) refl = mix(refl, rgb(0x1B2A2E), smooth(262, 300, y) * 0.8f);
        return refl;
    }
    if (y > near_ridge) return mix(rgb(0x2B3347), rgb(0x1E2233), clamp01((y - near_ridge) / 20));
    if (y > far_ridge) return mix(sky, rgb(0x5A4F6E), 0.75f);
    return sky;
}

// Which way the tab between two neighbouring intro pieces points.
int tab_sign(int i, int j, int k) { return ((i * 7 + j * 13 + k * 5) % 3) ? 1 : -1; }

void draw_piece_shape(Canvas& c, float cx, float cy, float s, const int knobs[4], float angle, float src_cx,
                      float src_cy, float lift) {
    const float ca = std::cos(angle), sa = std::sin(angle);
    auto local = [=](float px, float py, float* lx, float* ly) {
        float dx = px - cx, dy = py - cy;
        *lx = ca * dx + sa * dy;
        *ly = -sa * dx + ca * dy;
    };
    auto sdf = [&](float px, float py) {
        float lx, ly;
        local(px, py, &lx, &ly);
        return sd_piece(lx, ly, 0, 0, s, knobs) + 0.6f;
    };
    const float reach = s * 0.95f;
    Canvas art(c.w, c.h);
    fill_shape(art, cx - reach, cy - reach, cx + reach, cy + reach, sdf, [&](float px, float py) {
        float lx, ly;
        local(px, py, &lx, &ly);
        Rgba col = landscape(src_cx + lx, src_cy + ly);
        // A lit bevel along the cut: light from the top left in the piece's own turn.
        float d = sdf(px, py);
        if (d > -3) {
            const float e = 0.3f;
            float nx = sdf(px + e, py) - sdf(px - e, py), ny = sdf(px, py + e) - sdf(px, py - e);
            float len = std::hypot(nx, ny);
            float lit = len > 0 ? -(nx + ny) / (len * 1.41421f) : 0;
            float k = (3 + d) / 3;
            col = lit > 0 ? lighten(col, 0.45f * lit * k) : shade(col, 1 + 0.45f * lit * k);
        }
        return col;
    });
    if (lift > 0) canvas_drop_shadow(art, lift, (int)(lift * 0.6f), (int)lift, rgb(0x000000, 0.55f));
    canvas_draw(c, art, 0, 0);
}

}  // namespace

bool draw_intro(Canvas* out) {
    const int W = INTRO_W, H = INTRO_H, S = 60, COLS = W / S, ROWS = H / S;
    Canvas c(W, H);
    // The table under the puzzle: the game's deep teal with a little texture.
    fill_all(
        c, [](float, float) { return -1.0f; },
        [](float x, float y) {
            float n = fbm_periodic(x / 40.0f, y / 40.0f, 64, 64, 3, 0x7AB1E);
            return mix(rgb(0x163A40), rgb(0x0E2629), 0.5f + 0.5f * n);
        });
    // The puzzle, laid but for a few pieces at the bottom right.
    auto missing = [](int i, int j) {
        return (i == 6 && j == 3) || (i == 7 && j == 3) || (i == 7 && j == 4) || (i == 5 && j == 4);
    };
    for (int j = 0; j < ROWS; j++)
        for (int i = 0; i < COLS; i++) {
            if (missing(i, j)) continue;
            int knobs[4] = {j > 0 ? -tab_sign(i, j - 1, 1) : 0, i < COLS - 1 ? tab_sign(i, j, 0) : 0,
                            j < ROWS - 1 ? tab_sign(i, j, 1) : 0, i > 0 ? -tab_sign(i - 1, j, 0) : 0};
            float cx = i * S + S / 2.0f, cy = j * S + S / 2.0f;
            draw_piece_shape(c, cx, cy, (float)S, knobs, 0, cx, cy, 0);
        }
    // Two loose pieces waiting to be placed.
    {
        int i = 6, j = 3;
        int knobs[4] = {-tab_sign(i, j - 1, 1), tab_sign(i, j, 0), tab_sign(i, j, 1), -tab_sign(i - 1, j, 0)};
        draw_piece_shape(c, 372, 262, (float)S, knobs, -0.32f, i * S + S / 2.0f, j * S + S / 2.0f, 4);
        i = 7;
        j = 4;
        int knobs2[4] = {-tab_sign(i, j - 1, 1), 0, 0, -tab_sign(i - 1, j, 0)};
        draw_piece_shape(c, 440, 222, (float)S, knobs2, 0.22f, i * S + S / 2.0f, j * S + S / 2.0f, 5);
    }
    // A soft dark veil behind the name, then the name itself, large.
    fill_all(
        c, [](float, float) { return -1.0f; },
        [](float x, float y) {
            float d = std::hypot((x - 240) / 240.0f, (y - 96) / 66.0f);
            return rgb(0x0B1A1C, 0.62f * smooth(1.0f, 0.2f, d));
        });
    Mask name, sub;
    if (!text_mask(FACE_SERIF_BOLD, 72, "Lumavex", 0.0f, &name) ||
        !text_mask(FACE_SANS_BOLD, 15, "JIGSAW  PUZZLES", 3.0f, &sub))
        return false;
    const int nx = 240 - name.w / 2, ny = 116;
    Mask glow = name;
    mask_blur(glow, 4);
    draw_mask(c, glow, nx + 2 - 12, ny + 4, rgb(0x000000, 0.85f));
    draw_mask(c, name, nx + 2, ny + 3, rgb(0x1A0E06, 0.9f));
    draw_mask(c, name, nx, ny, [ny](float, float y) {
        float t = clamp01((y - (ny - 54)) / 58.0f);
        return t < 0.5f ? mix(rgb(0xFFF6DC), rgb(0xFFD681), t * 2)
                        : mix(rgb(0xFFD681), rgb(0xE6962E), (t - 0.5f) * 2);
    });
    const int sx = 240 - sub.w / 2, sy = 146;
    draw_mask(c, sub, sx + 1, sy + 1, rgb(0x000000, 0.7f));
    draw_mask(c, sub, sx, sy, rgb(pal::CREAM, 0.92f));
    // Thin rules either side of the line beneath the name.
    for (int x = 0; x < 46; x++) {
        float a = smooth(0, 12, (float)x) * smooth(46, 34, (float)x);
        c.over(sx - 56 + x, sy - 5, rgb(pal::AMBER_LIGHT), 0.8f * a);
        c.over(sx + sub.w + 8 + x, sy - 5, rgb(pal::AMBER_LIGHT), 0.8f * a);
    }
    *out = std::move(c);
    return true;
}

bool draw_options_logo(Canvas* out) {
    Canvas c(OPTIONS_LOGO_W, 64);
    fill_all(
        c, [](float, float) { return -1.0f; },
        [](float, float y) { return mix(rgb(pal::TEAL_LIGHT), rgb(pal::TEAL_DEEP), y / 64); });
    draw_logo_pieces(c, 8, 12, 2.2f);
    Mask name;
    if (!text_mask(FACE_SERIF_BOLD, 30, "Lumavex", 0, &name)) return false;
    draw_mask(c, name, 77, 43, rgb(0x000000, 0.5f));
    draw_mask(c, name, 76, 42, rgb(pal::CREAM));
    *out = std::move(c);
    return true;
}

Canvas draw_options_tint_field() {
    // Hue along x (two degrees a pixel), saturation falling from the top row (99 %) to the
    // bottom (0 %), at the middle lightness the dialog's preview uses.
    Canvas c(TINT_W, TINT_H);
    for (int y = 0; y < TINT_H; y++)
        for (int x = 0; x < TINT_W; x++) {
            float saturation = clamp01((128 - y) / 128.0f);
            c.set(x, y, rgb(hls_to_rgb((float)std::min(360, 2 * x), 0.5f, saturation)));
        }
    return c;
}

Canvas draw_window_icon(int size) {
    Canvas c(size, size);
    const float k = size / 64.0f;
    auto tile = [=](float px, float py) { return sd_rect(px, py, 3 * k, 3 * k, 61 * k, 61 * k, 13 * k); };
    fill_all(c, tile,
             [=](float, float py) { return mix(rgb(pal::TEAL_LIGHT), rgb(pal::TEAL_DEEP), py / size); });
    fill_all(
        c, [&](float px, float py) { return std::fabs(tile(px, py) + 0.5f * k) - 0.5f * k; },
        rgb(pal::TEAL_INK, 0.9f));
    draw_logo_pieces(c, 3 * k, 13 * k, 2.0f * k);
    return c;
}

Canvas draw_cursor() {
    // An arrow with its tip on pixel (1, 1): warm cream fill, dark rim, a soft shadow.
    Canvas c(CURSOR_SIZE, CURSOR_SIZE);
    const std::vector<float> arrow = {1.2f,  1.2f,  1.2f,  19.5f, 5.8f,  15.4f, 9.2f,
                                      22.6f, 12.6f, 21.0f, 9.4f,  14.2f, 15.4f, 14.0f};
    Canvas art(CURSOR_SIZE, CURSOR_SIZE);
    fill_all(
        art, [&](float px, float py) { return sd_polygon(px, py, arrow) - 0.9f; }, rgb(pal::TEAL_INK));
    fill_all(
        art, [&](float px, float py) { return sd_polygon(px, py, arrow) + 0.4f; },
        [](float, float py) { return mix(rgb(pal::WHITE), rgb(pal::AMBER_LIGHT), clamp01(py / 22)); });
    canvas_drop_shadow(art, 1.6f, 1, 2, rgb(0x000000, 0.45f));
    canvas_draw(c, art, 0, 0);
    return c;
}
