// tools/mkpack/skin_textures.cpp -- the textures: the desk (tinted by the player's colour, so it
// carries grain and light rather than colour), the gallery's wall, floor and ceiling, and the
// sparkle strip shown when pieces join. Every texture repeats without a visible seam: its
// noise repeats with the picture's size and every pattern fits the size a whole number of times.
#include "tools/mkpack/skin_local.h"

namespace {

Rgba grey(float v) { return {v, v, v, 1}; }

// Wood grain along x: long growth rings gently bent by noise, soft dark late-wood lines and fine
// fibres. Returns about 0..1. u runs along the board in pixels (it does not repeat: a board's
// ends meet at a joint), v across it in pixels, over a board of the given height.
float wood_grain(float u, float v, float board, uint32_t seed, float ring_count) {
    const float t = v / board;
    // The rings' spacing changes slowly along the board, and they bend in long arcs.
    float spread = fbm_periodic(u / 340.0f, t * 0.8f + 3.1f, 64, 64, 2, seed + 3);
    float warp = fbm_periodic(u / 220.0f, t * 1.3f, 64, 64, 3, seed);
    float wobble = noise_periodic(u / 40.0f, v / 6.0f, 64, 64, seed + 7);
    float rings = ring_count * (t + 0.22f * spread) + 1.1f * warp + 0.07f * wobble;
    float s = 0.5f + 0.5f * std::sin(6.2831853f * rings);
    // Late-wood lines: thin, and darker in some stretches than in others.
    float late = std::pow(s, 7.0f) * (0.65f + 0.35f * noise_periodic(u / 90.0f, rings, 64, 64, seed + 21));
    float fibre = fbm_periodic(u / 70.0f, v / 0.9f, 64, 256, 2, seed + 13);
    return 0.5f * (1 - late) + 0.2f * s + 0.3f * (0.5f + 0.5f * fibre);
}

}  // namespace

Canvas draw_desk_texture() {
    // Boards 128 pixels wide lying along x, each row of boards with two joints, so a plank is
    // the stretch between two joints (the last one running over the tile's edge).
    const int W = DESK_W, H = DESK_H, BOARD = 128, ROWS = H / BOARD;
    Canvas c(W, H);
    Rng rng(0x4C554D41u);
    int joint[ROWS][2];
    float tone[ROWS][2];
    for (int b = 0; b < ROWS; b++) {
        joint[b][0] = (int)(rng.unit() * W);
        joint[b][1] = (joint[b][0] + 380 + (int)(rng.unit() * (W - 760))) % W;
        tone[b][0] = rng.range(-0.05f, 0.05f);
        tone[b][1] = rng.range(-0.05f, 0.05f);
    }
    for (int y = 0; y < H; y++) {
        const int b = y / BOARD;
        const float v = (float)(y % BOARD);
        const int j0 = joint[b][0], j1 = joint[b][1];
        for (int x = 0; x < W; x++) {
            // Which plank, and how far along it from its joint.
            int from0 = ((x - j0) % W + W) % W, length0 = ((j1 - j0) % W + W) % W;
            int plank = from0 < length0 ? 0 : 1;
            int along = plank == 0 ? from0 : ((x - j1) % W + W) % W;
            const float u = (float)along;
            uint32_t seed = 0xB0A4Du + 31u * (uint32_t)b + 7u * (uint32_t)plank;
            float g = wood_grain(u + 1733.0f * plank + 977.0f * b, v, (float)BOARD, seed, 6.0f);
            // Broad light and dark patches that repeat with the tile, and a fine speckle.
            float patch = fbm_periodic(x / 128.0f, y / 128.0f, W / 128, H / 128, 3, 0xDE5C);
            float speck = noise_periodic(x / 2.0f, y / 2.0f, W / 2, H / 2, 0x5EC);
            float L = 0.36f + tone[b][plank] + 0.12f * g + 0.03f * patch + 0.012f * speck;
            // Grooves between boards (top of each board) and at the joints, bevelled by the light.
            if (v < 1)
                L *= 0.45f;
            else if (v < 2)
                L *= 0.75f;
            else if (v < 3)
                L = L * 0.9f + 0.06f;
            else if (v > BOARD - 2)
                L *= 0.82f;
            int to_end = plank == 0 ? length0 - from0 : W - length0 - along;
            if (along < 1)
                L *= 0.5f;
            else if (along < 2)
                L = L * 0.9f + 0.05f;
            else if (to_end <= 1)
                L *= 0.8f;
            // A warm grey: the game tints it with the player's colour by its lightness alone.
            c.set(x, y, {L * 1.04f, L, L * 0.93f, 1});
        }
    }
    return c;
}

Canvas draw_gallery_wall() {
    const int N = GALLERY_SIZE;
    Canvas c(N, N);
    for (int y = 0; y < N; y++)
        for (int x = 0; x < N; x++) {
            // Plaster: soft mottling and a fine trowel grain, repeating every 256 pixels.
            float m = fbm_periodic(x / 64.0f, y / 64.0f, 4, 4, 4, 0x3A11);
            float fine = noise_periodic(x / 4.0f, y / 4.0f, 64, 64, 0x3A12);
            float L = 0.80f + 0.035f * m + 0.012f * fine;
            // Cornice under the ceiling and a skirting board above the floor; the game tints
            // them with the wall, so they are told apart by light alone.
            if (y >= 3 && y < 12)
                L = 0.90f - 0.02f * (y - 3);
            else if (y >= 12 && y < 14)
                L = 0.55f;
            else if (y >= 230 && y < 232)
                L = 0.62f;  // shadow above the skirting's lip
            else if (y >= 232 && y < 235)
                L = 0.86f;  // lit top edge of the skirting
            else if (y >= 235 && y < N - 3)
                L = 0.62f - 0.004f * (y - 235) + 0.015f * fine;
            Rgba colour = grey(L);
            // The outermost three rows keep their own colour: dark walnut mouldings.
            if (y < 3 || y >= N - 3) {
                float g = wood_grain((float)x, (float)(y < 3 ? y : y - (N - 3)), 3.0f, 0x77AA, 0.5f);
                colour =
                    mix(rgb(pal::WALNUT), rgb(0x6A4B33), 0.35f * g + (y == 0 || y == N - 1 ? 0.0f : 0.25f));
            }
            c.set(x, y, colour);
        }
    return c;
}

Canvas draw_gallery_floor() {
    // Basket-weave oak parquet: 64-pixel squares of four 16-pixel strips, turning by a quarter
    // from square to square.
    const int N = GALLERY_SIZE, SQUARE = 64, STRIP = 16;
    Canvas c(N, N);
    Rng rng(0xF100Du);
    float tone[N / STRIP][N / STRIP / 4 * 4];
    for (auto& row : tone)
        for (float& t : row)
            t = rng.range(-0.08f, 0.08f);
    for (int y = 0; y < N; y++)
        for (int x = 0; x < N; x++) {
            int sx = x / SQUARE, sy = y / SQUARE;
            bool along_x = ((sx + sy) & 1) == 0;
            int lx = x % SQUARE, ly = y % SQUARE;
            int strip = along_x ? ly / STRIP : lx / STRIP;
            float u = (float)(along_x ? lx : ly), v = (float)(along_x ? ly % STRIP : lx % STRIP);
            uint32_t seed = 0xAB00u + (uint32_t)(sy * 4 + sx) * 8u + (uint32_t)strip;
            float g = wood_grain(u + 300.0f * strip, v, (float)STRIP, seed, 1.4f);
            float t = tone[sy * 4 + strip][sx];
            Rgba oak = mix(rgb(0x8A5A32), rgb(0xC99560), clamp01(0.35f + 0.75f * g * (1 + t) + t));
            // Joints between strips, the light falling from the top left.
            float edge_a = along_x ? v : (float)lx - strip * STRIP;
            float end_a = along_x ? (float)lx : (float)ly;
            if (edge_a < 1 || end_a < 1)
                oak = shade(oak, 0.55f);
            else if (edge_a < 2 || end_a < 2)
                oak = lighten(oak, 0.10f);
            c.set(x, y, oak);
        }
    return c;
}

Canvas draw_gallery_ceiling() {
    // Coffered plaster: four recessed squares per tile.
    const int N = GALLERY_SIZE, CELL = 128;
    Canvas c(N, N);
    for (int y = 0; y < N; y++)
        for (int x = 0; x < N; x++) {
            int lx = x % CELL, ly = y % CELL;
            float m = fbm_periodic(x / 64.0f, y / 64.0f, 4, 4, 3, 0xCE11);
            Rgba plaster = mix(rgb(0xE8E1D4), rgb(0xF6F1E7), 0.5f + 0.5f * m);
            // Distance into the cell from its nearest edge: a beam (0..10), a sloped rim, the
            // recessed panel.
            int d = std::min(std::min(lx, CELL - 1 - lx), std::min(ly, CELL - 1 - ly));
            Rgba col = plaster;
            if (d < 10)
                col = shade(plaster, 0.97f);
            else if (d < 18) {
                // The slope: lit on the sides facing the light (right and bottom of a recess
                // face back towards the top left).
                bool lit_side = (d == CELL - 1 - lx) || (d == CELL - 1 - ly);
                col = lit_side ? lighten(plaster, 0.25f) : shade(plaster, 0.80f + 0.012f * (d - 10));
            } else
                col = shade(plaster, 0.93f);
            if (d == 10) col = shade(col, 0.85f);
            c.set(x, y, col);
        }
    return c;
}

Canvas draw_sparkle_strip() {
    Canvas c(8 * 32, 32);
    Rng rng(0x5BA4C1Eu);
    float spark_angle[7], spark_speed[7];
    for (int i = 0; i < 7; i++) {
        spark_angle[i] = 6.2831853f * (i + rng.range(-0.25f, 0.25f)) / 7;
        spark_speed[i] = rng.range(0.75f, 1.0f);
    }
    for (int f = 0; f < 8; f++) {
        Canvas frame(32, 32);
        const float t = f / 8.0f, cx = 16, cy = 16, fade = 1 - t * t;
        // A burst of light: a glowing core, a widening ring, four long rays and sparks.
        Canvas halo(32, 32);
        fill_all(
            halo, [=](float px, float py) { return sd_circle(px, py, cx, cy, 3.5f + 5.0f * t); },
            rgb(pal::AMBER_LIGHT));
        canvas_draw(frame, canvas_shadow_of(halo, 3.0f, 0, 0, rgb(pal::AMBER, 0.45f * fade)), 0, 0);
        fill_all(
            frame, [=](float px, float py) { return sd_circle(px, py, cx, cy, 3.0f + 3.5f * t); },
            [=](float px, float py) {
                float r = std::hypot(px - cx, py - cy) / (3.0f + 3.5f * t);
                return mix(rgb(pal::WHITE, 0.95f * fade), rgb(pal::AMBER_LIGHT, 0.5f * fade * fade),
                           clamp01(r));
            });
        fill_all(
            frame,
            [=](float px, float py) {
                return std::fabs(sd_circle(px, py, cx, cy, 4 + 10.5f * t)) - (1.2f - 0.5f * t);
            },
            rgb(pal::AMBER_LIGHT, 0.85f * fade));
        const float len = 5 + 9 * std::sin(3.14159f * std::min(1.0f, t * 1.4f + 0.15f)), turn = 0.35f * t;
        for (int k = 0; k < 8; k++) {
            float a = turn + k * 0.785398f, l = (k & 1) ? len * 0.55f : len;
            float ex = cx + std::cos(a) * l, ey = cy + std::sin(a) * l;
            fill_all(
                frame,
                [=](float px, float py) {
                    float d = sd_segment(px, py, cx, cy, ex, ey, 0.0f);
                    float along = clamp01(((px - cx) * std::cos(a) + (py - cy) * std::sin(a)) / l);
                    return d - (1.5f * (1 - along) + 0.15f);
                },
                rgb((k & 1) ? pal::AMBER_LIGHT : pal::WHITE, 0.9f * fade));
        }
        for (int i = 0; i < 7; i++) {
            float r = (3 + 12 * spark_speed[i]) * std::sqrt(t + 0.05f);
            float sx = cx + std::cos(spark_angle[i]) * r, sy = cy + std::sin(spark_angle[i]) * r;
            float size = 1.4f * (1 - 0.6f * t);
            fill_all(
                frame,
                [=](float px, float py) {
                    float dx = std::fabs(px - sx), dy = std::fabs(py - sy);
                    return std::fmin(std::fmax(dx - size * 1.8f, dy - 0.35f),
                                     std::fmax(dy - size * 1.8f, dx - 0.35f));
                },
                rgb(pal::WHITE, fade));
            fill_all(
                frame, [=](float px, float py) { return sd_circle(px, py, sx, sy, size * 0.8f); },
                rgb(pal::AMBER_LIGHT, fade));
        }
        canvas_copy(c, f * 32, 0, frame, 0, 0, 32, 32);
    }
    return c;
}
