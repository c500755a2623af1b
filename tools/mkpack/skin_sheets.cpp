// tools/mkpack/skin_sheets.cpp -- the two sprite sheets, drawn by the layout the skin code cuts
// them by (gui/ge.h): the frame tiles (sheet A: raised buttons; sheet B: window bodies and panels), the
// title-bar pieces of sheet B, and previews that put frames and title bars together the way
// the game does.
#include "tools/mkpack/skin_local.h"

namespace {

// Which panel a frame tile is cut from: the joined sides and where the tile lies.
struct TileSource {
    int column;  // 0 left, 1 middle, 2 right
    int row;     // 0 top, 1 middle, 2 bottom
    bool left_joined, right_joined, top_joined, bottom_joined;
};

TileSource tile_source(int tile) {
    const int row = tile / 5, col = tile % 5;
    // Columns of a row: plain left, middle, joined right, joined left, plain right.
    static const int COLUMN[5] = {0, 1, 2, 0, 2};
    TileSource s{COLUMN[col], row == 0 || row == 1 ? 0 : (row == 2 ? 1 : 2), col == 3, col == 2, row == 1,
                 row == 3};
    return s;
}

// A panel of the given family drawn over the whole canvas. Sides that join a neighbour are
// straight and end in a one-pixel line that pairs with the neighbour's (a light line on the
// left and top of a part, a groove on its right and bottom), so joined parts read as one
// segmented control. Free corners are rounded.
void draw_panel(Canvas& c, bool buttons, bool lj, bool rj, bool tj, bool bj) {
    const float W = (float)c.w, H = (float)c.h, R = 6.0f;
    const float r_tl = (!lj && !tj) ? R : 0, r_tr = (!rj && !tj) ? R : 0;
    const float r_bl = (!lj && !bj) ? R : 0, r_br = (!rj && !bj) ? R : 0;
    // The outline runs along free sides only: extend joined sides past the canvas.
    const float x0 = lj ? -4.0f : 0.0f, x1 = rj ? W + 4 : W, y0 = tj ? -4.0f : 0.0f, y1 = bj ? H + 4 : H;
    auto sdf = [=](float px, float py) {
        float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
        float r = px < cx ? (py < cy ? r_tl : r_bl) : (py < cy ? r_tr : r_br);
        return sd_rect(px, py, x0, y0, x1, y1, r);
    };
    const float top_h = tj ? 6.0f : 12.0f, bottom_h = bj ? 6.0f : 12.0f;
    const Rgba face_top = rgb(pal::FACE_TOP), face = rgb(pal::FACE), face_bottom = rgb(pal::FACE_BOTTOM);
    const Rgba paper = rgb(pal::PAPER), outline = rgb(pal::OUTLINE), hi = rgb(pal::WHITE, 0.85f);
    const Rgba lo = rgb(pal::OUTLINE, 0.28f), divider = rgb(pal::DIVIDER);
    auto face_at = [&](float, float py) {
        if (!buttons) return paper;
        if (py < top_h) return mix(face_top, face, smooth(0, 1, py / top_h));
        if (py > H - bottom_h) return mix(face, face_bottom, (py - (H - bottom_h)) / bottom_h);
        return face;
    };
    fill_all(c, sdf, face_at);
    // Bevel just inside the outline: light where the edge faces the top left, shade elsewhere.
    auto bevel_sdf = [&](float px, float py) { return std::fabs(sdf(px, py) + 1.5f) - 0.5f; };
    fill_all(c, bevel_sdf, [&](float px, float py) {
        const float e = 0.25f;
        float nx = sdf(px + e, py) - sdf(px - e, py), ny = sdf(px, py + e) - sdf(px, py - e);
        float len = std::hypot(nx, ny);
        float lit = len > 0 ? -(nx + ny) / (len * 1.41421f) : 0;  // 1 facing the top left
        return lit > 0 ? with_alpha(hi, hi.a * lit) : with_alpha(lo, lo.a * -lit);
    });
    // The outer rim.
    auto rim_sdf = [&](float px, float py) { return std::fabs(sdf(px, py) + 0.5f) - 0.5f; };
    fill_all(c, rim_sdf, with_alpha(outline, buttons ? 0.9f : 0.8f));
    // Joined sides: a light first line on the left and top, a groove as the last on the right
    // and bottom.
    for (int y = 0; y < c.h; y++) {
        if (lj) c.over(0, y, hi, 1);
        if (rj) c.over(c.w - 1, y, divider, 1);
    }
    for (int x = 0; x < c.w; x++) {
        if (tj) c.over(x, 0, hi, 1);
        if (bj) c.over(x, c.h - 1, divider, 1);
    }
}

// The title bar's look across [0, width) of an 18-row strip at (x, 0) of c: the rounded top
// corners only at the ends asked for.
void draw_title_strip(Canvas& c, int x, int width, bool left_end, bool right_end) {
    Canvas bar(width, 18);
    const float W = (float)bar.w, R = 6.0f;
    const float xa = left_end ? 0.0f : -8.0f, xb = right_end ? W : W + 8;
    auto sdf = [=](float px, float py) { return sd_rect(px, py, xa, 0, xb, 26, R); };
    const Rgba top = rgb(pal::TEAL_LIGHT), mid = rgb(pal::TEAL), bottom = rgb(pal::TEAL_DEEP);
    fill_all(bar, sdf, [&](float, float py) {
        float t = py / 18.0f;
        return t < 0.5f ? mix(top, mid, t * 2) : mix(mid, bottom, (t - 0.5f) * 2);
    });
    // A light line under the top rim, a dark line along the bottom, the rim around.
    auto inner = [&](float px, float py) { return std::fabs(sdf(px, py) + 1.5f) - 0.5f; };
    fill_all(
        bar, [&](float px, float py) { return py < 8 ? inner(px, py) : 1.0f; },
        [](float, float py) { return rgb(pal::WHITE, 0.30f * (1 - py / 8)); });
    for (int i = 0; i < bar.w; i++)
        bar.over(i, 17, rgb(pal::TEAL_INK), 0.85f);
    fill_all(
        bar, [&](float px, float py) { return std::fabs(sdf(px, py) + 0.5f) - 0.5f; },
        rgb(pal::TEAL_INK, 0.95f));
    canvas_draw(c, bar, x, 0);
}

// Three pairs of small dimples: the grip of a window that can be dragged by its title.
void draw_grip(Canvas& c, int x) {
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 3; j++) {
            float cx = x + 4.5f + i * 3, cy = 5.5f + j * 3;
            fill_shape(
                c, cx - 2, cy - 2, cx + 3, cy + 3,
                [=](float px, float py) { return sd_circle(px, py, cx + 0.6f, cy + 0.6f, 0.9f); },
                rgb(pal::TEAL_INK, 0.7f));
            fill_shape(
                c, cx - 2, cy - 2, cx + 3, cy + 3,
                [=](float px, float py) { return sd_circle(px, py, cx, cy, 0.9f); }, rgb(pal::CREAM, 0.55f));
        }
}

void draw_frame_tiles(Canvas& sheet, bool buttons) {
    for (int tile = 0; tile < GE_FRAME_TILE_COUNT; tile++) {
        TileSource s = tile_source(tile);
        Canvas panel(48, 48);
        draw_panel(panel, buttons, s.left_joined, s.right_joined, s.top_joined, s.bottom_joined);
        Rect r = ge_frame_tile_rect(tile);
        int sx = s.column == 0 ? 0 : (s.column == 1 ? 18 : 48 - 12);
        int sy = s.row == 0 ? 0 : (s.row == 1 ? 22 : 48 - r.h);
        canvas_copy(sheet, r.x, r.y, panel, sx, sy, r.w, r.h);
    }
}

}  // namespace

Canvas draw_sheet_active() {
    Canvas sheet(SHEET_A_W, SHEET_A_H);
    draw_frame_tiles(sheet, true);
    for (int n = 0; n < GE_PICTURE_COUNT; n++)
        draw_skin_picture(sheet, n);
    return sheet;
}

Canvas draw_sheet_inactive() {
    Canvas sheet(SHEET_B_W, SHEET_B_H);
    draw_frame_tiles(sheet, false);
    // Title-bar pieces: each cut from a bar whose ends are rounded only where the piece is an end.
    for (int piece = 0; piece < GE_TITLE_PIECE_COUNT; piece++) {
        Rect r = ge_title_piece_rect(piece);
        Canvas part(r.w, 18);
        if (piece == 0)
            draw_title_strip(part, 0, 12, true, false);
        else if (piece == 4)
            draw_title_strip(part, 0, 12, false, true);
        else
            draw_title_strip(part, 0, r.w, false, false);
        if (piece == 1 || piece == 3) draw_grip(part, 1);
        if (piece == 9) {  // where the buttons begin: a groove across the bar
            for (int y = 3; y < 15; y++) {
                part.over(9, y, rgb(pal::TEAL_INK), 0.6f);
                part.over(10, y, rgb(pal::WHITE), 0.22f);
            }
        }
        canvas_copy(sheet, r.x, r.y, part, 0, 0, r.w, 18);
    }
    return sheet;
}

// Title-bar background for pictures drawn on the bar (the title buttons): the middle of a bar,
// with the rounded right end when asked.
void draw_title_button_background(Canvas& c, bool right_end) {
    draw_title_strip(c, 0, c.w, false, right_end);
}

void draw_strip_background(Canvas& c) {
    Canvas strip(48, c.h);
    draw_panel(strip, false, true, true, true, false);
    Canvas part(c.w, c.h);
    canvas_copy(part, 0, 0, strip, 15, 0, c.w, c.h);
    canvas_draw(c, part, 0, 0);
}

void preview_frame(Canvas& dst, const Canvas& a, const Canvas& b, int e, int x, int y, int w, int h) {
    const Canvas& sheet = (e & 1) ? b : a;
    auto tile = [&](int t, int tx, int ty, int x_end, int y_end) {
        Rect r = ge_frame_tile_rect(t);
        for (int yy = ty; yy < y_end; yy += r.h)
            for (int xx = tx; xx < x_end; xx += r.w) {
                Canvas piece(std::min(r.w, x_end - xx), std::min(r.h, y_end - yy));
                canvas_copy(piece, 0, 0, sheet, r.x, r.y, piece.w, piece.h);
                canvas_draw(dst, piece, xx, yy);
            }
    };
    if (e & 32) {
        tile(11, x, y, x + w, y + h);
        return;
    }
    static const int TL[4] = {0, 3, 5, 8}, TR[4] = {4, 2, 9, 7}, BL[4] = {20, 23, 15, 18},
                     BR[4] = {24, 22, 19, 17};
    int tl = TL[((e >> 1) & 1) | ((e >> 2) & 2)], tr = TR[((e >> 2) & 1) | ((e >> 2) & 2)];
    int bl = BL[((e >> 1) & 1) | ((e >> 3) & 2)], br = BR[((e >> 2) & 1) | ((e >> 3) & 2)];
    Rect rtl = ge_frame_tile_rect(tl), rtr = ge_frame_tile_rect(tr), rbl = ge_frame_tile_rect(bl),
         rbr = ge_frame_tile_rect(br);
    if (!(e & 64) && w - rtl.w - rtr.w > 0 && h - rtl.h - rbl.h > 0)
        tile(11, x + rtl.w, y + rtl.h, x + w - rtr.w, y + h - rbl.h);
    tile(tl, x, y, x + rtl.w, y + rtl.h);
    tile(tr, x + w - rtr.w, y, x + w, y + rtr.h);
    tile(bl, x, y + h - rbl.h, x + rbl.w, y + h);
    tile(br, x + w - rtr.w, y + h - rbl.h, x + w, y + h);
    if (w - rtl.w - rtr.w > 0) {
        tile((e & 8) ? 6 : 1, x + rtl.w, y, x + w - rtr.w, y + ge_frame_tile_rect((e & 8) ? 6 : 1).h);
        int bh = ge_frame_tile_rect((e & 16) ? 16 : 21).h;
        tile((e & 16) ? 16 : 21, x + rbl.w, y + h - bh, x + w - rbr.w, y + h);
    }
    if (h - rtl.h - rbl.h > 0) {
        tile((e & 2) ? 13 : 10, x, y + rtl.h, x + 12, y + h - rbl.h);
        tile((e & 4) ? 12 : 14, x + w - 12, y + rtr.h, x + w, y + h - rbr.h);
    }
}

void preview_title_bar(Canvas& dst, const Canvas& a, const Canvas& b, int x, int y, int w, bool raisable,
                       bool rollup, bool close) {
    auto piece = [&](int p, int px) {
        Rect r = ge_title_piece_rect(p);
        Canvas part(r.w, r.h);
        canvas_copy(part, 0, 0, b, r.x, r.y, r.w, r.h);
        canvas_draw(dst, part, px, y);
    };
    auto picture = [&](int n, int px) {
        Rect r = ge_picture_rect(n);
        Canvas part(r.w, r.h);
        canvas_copy(part, 0, 0, a, r.x, r.y, r.w, r.h);
        canvas_draw(dst, part, px, y);
    };
    piece(0, x);
    piece(raisable ? 1 : 6, x + 12);
    int limit = x + w - (rollup ? 48 : (close ? 30 : 12));
    for (int px = x + 24; px < limit - 12; px += 12) {
        Rect r = ge_title_piece_rect(raisable ? 2 : 7);
        Canvas part(std::min(12, limit - 12 - px), 18);
        canvas_copy(part, 0, 0, b, r.x, r.y, part.w, 18);
        canvas_draw(dst, part, px, y);
    }
    piece(raisable ? 3 : 8, limit - 12);
    int px = limit;
    if (rollup || close) {
        piece(9, px);
        px += 12;
    }
    if (rollup) {
        picture(20, px);
        px += 18;
        if (!close) {
            piece(5, px);
            px += 6;
        }
    }
    if (close)
        picture(22, x + w - 18);
    else
        piece(4, px);
}
