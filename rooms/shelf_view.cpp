// rooms/shelf_view.cpp -- the shelf on the screen: the progress wedge, drawing the boxes with
// their shadows, badges and labels into the dirty cells, and the pointer (selecting, dragging,
// the rubber band, the double click).
//
// Sections: drawing; the wedge; the pointer.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/str.h"
#include "gui/chooser.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/lt.h"
#include "image/img.h"
#include "platform/screen.h"
#include "rooms/shelf_local.h"

namespace {

// Skin colours and texts of a box.
constexpr int COLOUR_SELECTED = 20, COLOUR_UNSELECTED = 21;
constexpr int COLOUR_COUNT_TEXT = 22, COLOUR_COUNT_SHADOW = 23;
constexpr int COLOUR_NEW_TEXT = 24, COLOUR_NEW_SHADOW = 25;
constexpr int COLOUR_PLACEHOLDER = 26;
constexpr int BADGE_OFFSET = 15;  // the badge sits this far up and left of the box's corner
constexpr int TEXT_NEW_BOX = 101;

constexpr int WEDGE_EDGE = 90;     // inside the wedge
constexpr int WEDGE_BORDER = 255;  // its two straight sides
// The wedge's straight sides are also drawn as a light line beside a dark one, so that they show
// on dark thumbnails and on light ones.
constexpr int WEDGE_LIGHT = 0xFFF4D8, WEDGE_DARK = 0x1A1410;

// The hover label: the box's name and piece count on a small card beside the box.
constexpr int COLOUR_LABEL_TEXT = 16, COLOUR_LABEL_FILL = 17, COLOUR_LABEL_FRAME = 21;
constexpr int LABEL_GAP = 8, LABEL_PAD = 4;
constexpr int TEXT_PIECES = 136;  // "%i pieces"

int revealed(const ShelfBox* box) { return !box->record.hiddenPicture || box->record.isLink; }

// --- Drawing -------------------------------------------------------------------------------------

void label_size(int* w, int* h) {
    *w = g_shelf.labelWidth ? g_shelf.labelWidth : 96;
    *h = g_shelf.labelHeight ? g_shelf.labelHeight : 16;
}

// The rectangle covered when the box is drawn at (x, y) in the given dragging state.
void extent_at(const ShelfBox* box, int x, int y, int dragging, int* ex, int* ey, int* ew, int* eh) {
    shelf_shadow_radii();
    const int radius = dragging ? g_shelf.largeRadius : g_shelf.smallRadius;
    const int offset = dragging ? SHELF_SHADOW_LARGE_OFFSET : SHELF_SHADOW_SMALL_OFFSET;
    int x0 = std::min(x, x + offset - radius), y0 = std::min(y, y + offset - radius);
    int x1 = x + box->width + offset + radius, y1 = y + box->height + offset + radius;
    if (!box->record.isLink) {
        int bw, bh;
        ge_picture_size(GE_PICTURE_FINISHED, &bw, &bh);
        x0 = std::min(x0, x - BADGE_OFFSET);
        y0 = std::min(y0, y - BADGE_OFFSET);
        x1 = std::max(x1, x - BADGE_OFFSET + bw);
        y1 = std::max(y1, y - BADGE_OFFSET + bh);
    }
    if (box->isNew) {
        int lw, lh;
        label_size(&lw, &lh);
        x1 = std::max(x1, x + lw);
        y1 = std::max(y1, y + box->height + lh);
    }
    *ex = x0;
    *ey = y0;
    *ew = x1 - x0;
    *eh = y1 - y0;
}

void draw_text(const char* text, int x, int y, int colour, int shadow) {
    font_set_style(FONT_SMALL, ge_colour(colour), ge_colour(shadow));
    font_draw(text, x, y);
}

// The wedge's two straight sides, from the centre to the top edge's middle and to its end: a
// dark line one pixel down and right of a light one.
void draw_wedge_sides(const ShelfBox* box) {
    int ex, ey;
    if (!shelf_wedge_end(box->width, box->height, box->summary.percent, &ex, &ey)) return;
    const int cx = box->x + box->width / 2, cy = box->y + box->height / 2;
    const int ends[2][2] = {{box->x + box->width / 2, box->y}, {box->x + ex, box->y + ey}};
    for (int pass = 0; pass < 2; pass++) {
        const int d = pass == 0 ? 1 : 0;
        ge_set_pen(PEN_SOLID, pass == 0 ? WEDGE_DARK : WEDGE_LIGHT);
        for (const auto& e : ends) {
            const int x1 = std::clamp(e[0] + d, box->x, box->x + box->width - 1);
            const int y1 = std::clamp(e[1] + d, box->y, box->y + box->height - 1);
            ge_line(cx + d, cy + d, x1, y1);
        }
    }
}

void draw_box(const ShelfBox* box) {
    const int x = box->x, y = box->y, w = box->width, h = box->height;
    const Image* mask = box->dragging ? box->largeMask : box->smallMask;
    const int offset = box->dragging ? SHELF_SHADOW_LARGE_OFFSET : SHELF_SHADOW_SMALL_OFFSET;
    if (mask)
        img_draw_shadow_all(mask, x + offset - (mask->width - w) / 2, y + offset - (mask->height - h) / 2);
    if (!revealed(box)) {
        int pw, ph;
        ge_picture_size(GE_PICTURE_HIDDEN, &pw, &ph);
        ge_set_fill(ge_colour(COLOUR_PLACEHOLDER));
        ge_fill_rect(x, y, w, h);
        ge_draw_picture(GE_PICTURE_HIDDEN, x + (w - pw) / 2, y + (h - ph) / 2);
    } else if (box->thumbnail) {
        img_draw(box->thumbnail, x, y, 0, 0, std::min(w, box->thumbnail->width),
                 std::min(h, box->thumbnail->height));
    }
    if (box->progressOverlay) {
        img_draw_shadow_all(box->progressOverlay, x, y);
        draw_wedge_sides(box);
    }
    if (box->selected) {
        ge_set_pen(PEN_SOLID, ge_colour(COLOUR_SELECTED));
        ge_rectangle(x, y, w, h);
        ge_rectangle(x + 1, y + 1, w - 2, h - 2);
    } else {
        ge_set_pen(PEN_SOLID, ge_colour(COLOUR_UNSELECTED));
        ge_rectangle(x, y, w, h);
    }
    if (!box->record.isLink) {
        if (box->summary.percent >= 100)
            ge_draw_picture(GE_PICTURE_FINISHED, x - BADGE_OFFSET, y - BADGE_OFFSET);
        else if (box->summary.percent >= 1)
            ge_draw_picture(GE_PICTURE_STARTED, x - BADGE_OFFSET, y - BADGE_OFFSET);
        const int picture = GE_PICTURE_ROTATION + (box->record.rotation ? 1 : 0);
        int pw, ph, tw, th;
        ge_picture_size(picture, &pw, &ph);
        char count[16];
        std::snprintf(count, sizeof count, "%i", (int)box->record.pieceCount);
        font_set_style(FONT_SMALL, ge_colour(COLOUR_COUNT_TEXT), ge_colour(COLOUR_COUNT_SHADOW));
        font_measure(count, &tw, &th);
        const int px = x + w - pw, py = y + h - ph;
        font_draw(count, px - tw, py);
        ge_draw_picture(picture, px, py);
    }
    if (box->isNew) draw_text(lt_get(TEXT_NEW_BOX), x, y + h, COLOUR_NEW_TEXT, COLOUR_NEW_SHADOW);
}

// Where the hover label of a box goes: beside its right edge, or beside its left edge when it
// would leave the screen there; below the top bar.
Rect label_rect(const ShelfBox* box) {
    char text[2 * BOX_NAME_MAX + 32];
    shelf_label_text(box, text, sizeof text);
    font_set_style(FONT_SMALL, ge_colour(COLOUR_LABEL_TEXT), -1);
    int tw = 0, th = 0;
    font_measure(text, &tw, &th);
    Rect r = {box->x + box->width + LABEL_GAP, box->y, tw + 2 * LABEL_PAD, th + 2 * LABEL_PAD};
    if (r.x + r.w > g_shelf.screenWidth) r.x = box->x - LABEL_GAP - r.w;
    r.x = std::max(0, r.x);
    r.y = std::clamp(r.y, 0, std::max(0, g_shelf.screenHeight - r.h));
    return r;
}

void draw_label(const ShelfBox* box, const Rect& r) {
    if (!screen_is_dirty(r.x, r.y, r.w, r.h)) return;
    char text[2 * BOX_NAME_MAX + 32];
    shelf_label_text(box, text, sizeof text);
    ge_set_fill(ge_colour(COLOUR_LABEL_FILL));
    ge_fill_rect(r.x, r.y, r.w, r.h);
    ge_set_pen(PEN_SOLID, ge_colour(COLOUR_LABEL_FRAME));
    ge_rectangle(r.x, r.y, r.w, r.h);
    font_set_style(FONT_SMALL, ge_colour(COLOUR_LABEL_TEXT), -1);
    font_draw(text, r.x + LABEL_PAD, r.y + LABEL_PAD);
}

void invalidate_label() {
    const Rect& r = g_shelf.labelDrawn;
    if (r.w > 0) screen_invalidate(r.x, r.y, r.w, r.h);
    g_shelf.labelDrawn = {0, 0, 0, 0};
    if (!g_shelf.hover) return;
    g_shelf.labelDrawn = label_rect(g_shelf.hover);
    screen_invalidate(g_shelf.labelDrawn.x, g_shelf.labelDrawn.y, g_shelf.labelDrawn.w, g_shelf.labelDrawn.h);
}

void draw_if_dirty(const ShelfBox* box) {
    int ex, ey, ew, eh;
    extent_at(box, box->x, box->y, box->dragging, &ex, &ey, &ew, &eh);
    if (screen_is_dirty(ex, ey, ew, eh)) draw_box(box);
}

// --- The pointer ---------------------------------------------------------------------------------

void start_drag() {
    for (ShelfBox* b = g_shelf.head; b; b = b->next)
        if (b->selected) {
            b->dragging = 1;
            b->dragX = b->x;
            b->dragY = b->y;
        }
}

int centre_inside(const ShelfBox* b, int x, int y, int w, int h) {
    const int cx = b->x + b->width / 2, cy = b->y + b->height / 2;
    return cx >= x && cx < x + w && cy >= y && cy < y + h;
}

}  // namespace

// Drawing -----------------------------------------------------------------------------------------

void shelf_invalidate_at(const ShelfBox* box, int x, int y, int dragging) {
    int ex, ey, ew, eh;
    extent_at(box, x, y, dragging, &ex, &ey, &ew, &eh);
    screen_invalidate(ex, ey, ew, eh);
}

void shelf_invalidate_changes() {
    if (g_shelf.hoverChanged || (g_shelf.hover && (g_shelf.hover->x != g_shelf.hover->drawnX ||
                                                   g_shelf.hover->y != g_shelf.hover->drawnY))) {
        g_shelf.hoverChanged = 0;
        invalidate_label();
    }
    for (ShelfBox* b = g_shelf.head; b; b = b->next) {
        if (b->dragging) {
            b->x = b->dragX;
            b->y = b->dragY;
        }
        if (!b->dirty && b->x == b->drawnX && b->y == b->drawnY && b->selected == b->drawnSelected &&
            b->dragging == b->drawnDragging)
            continue;
        shelf_invalidate_at(b, b->drawnX, b->drawnY, b->drawnDragging);
        shelf_invalidate_at(b, b->x, b->y, b->dragging);
        shelf_mark_drawn(b);
        b->dirty = 0;
    }
}

void shelf_paint() {
    if (!g_shelf.labelWidth && g_shelf.head) {
        font_set_style(FONT_SMALL, ge_colour(COLOUR_NEW_TEXT), ge_colour(COLOUR_NEW_SHADOW));
        font_measure(lt_get(TEXT_NEW_BOX), &g_shelf.labelWidth, &g_shelf.labelHeight);
    }
    int ox, oy;
    ge_origin(&ox, &oy);
    ge_set_origin(0, 0);
    if (str_icompare(box_folder(), "puzzles") != 0) {
        font_set_style(FONT_SMALL, 0xFFFFFF, -1);
        font_draw(box_folder(), 5, 25);
    }
    for (const ShelfBox* b = g_shelf.tail; b; b = b->previous)
        if (!b->dragging) draw_if_dirty(b);
    for (const ShelfBox* b = g_shelf.tail; b; b = b->previous)
        if (b->dragging) draw_if_dirty(b);
    if (g_shelf.hover && g_shelf.labelDrawn.w > 0) draw_label(g_shelf.hover, g_shelf.labelDrawn);
    ge_set_origin(ox, oy);
}

void shelf_set_hover(ShelfBox* box) {
    if (box == g_shelf.hover) return;
    g_shelf.hover = box;
    g_shelf.hoverChanged = 1;
}

ShelfBox* shelf_hover() { return g_shelf.hover; }

void shelf_label_text(const ShelfBox* box, char* out, int size) {
    if (size <= 0) return;
    out[0] = 0;
    if (!box) return;
    chooser_shown_name(box->name, out, size);
    if (box->record.isLink) return;
    char count[64];
    const char* form = lt_get(TEXT_PIECES);
    const char* at = std::strstr(form, "%i");
    if (at)
        std::snprintf(count, sizeof count, "\n%.*s%i%s", (int)(at - form), form, (int)box->record.pieceCount,
                      at + 2);
    else
        std::snprintf(count, sizeof count, "\n%i %s", (int)box->record.pieceCount, form);
    str_append(out, size, count);
}

void shelf_box_extent(const ShelfBox* box, int* x, int* y, int* width, int* height) {
    extent_at(box, box->x, box->y, box->dragging, x, y, width, height);
}

// The wedge --------------------------------------------------------------------------------------

int shelf_wedge_end(int width, int height, int percent, int* endX, int* endY) {
    if (percent < 1 || percent > 99 || width < 1 || height < 1) return 0;
    const double p = percent;
    const int w = width, h = height;
    double ex, ey;
    if (p < 12.5) {
        ex = (w - 1 - w / 2) * p * 0.08 + w / 2;
        ey = 0;
    } else if (p < 37.5) {
        ex = w - 1;
        ey = (p - 12.5) * (h - 1) * 0.04;
    } else if (p < 62.5) {
        ex = (w - 1) - (p - 37.5) * (w - 1) * 0.04;
        ey = h - 1;
    } else if (p < 87.5) {
        ex = 0;
        ey = (h - 1) - (p - 62.5) * (h - 1) * 0.04;
    } else {
        ex = (p - 87.5) * (w / 2) * 0.08;
        ey = 0;
    }
    *endX = (int)(ex + 0.5);
    *endY = (int)(ey + 0.5);
    return *endX >= 0 && *endX < w && *endY >= 0 && *endY < h;
}

Image* shelf_progress_overlay(int width, int height, int percent) {
    int endX, endY;
    if (!shelf_wedge_end(width, height, percent, &endX, &endY)) return nullptr;
    const int w = width, h = height;
    Image* overlay = img_create(w, h, IMG_8BIT);
    if (!overlay) return nullptr;
    img_fill(overlay, 0);
    ImageView view;
    img_view(&view, overlay, 0, 0);
    const int cx = w / 2, cy = h / 2;
    const uint8_t inside = WEDGE_EDGE, border = WEDGE_BORDER;
    // The border clockwise from the top edge's middle; every point before the end gets a line
    // from the centre. Runs: {first x, first y, step x, step y, points}.
    const int runs[5][5] = {
        {w / 2, 0, 1, 0, w - w / 2},   // top edge, right half
        {w - 1, 1, 0, 1, h - 1},       // right edge
        {w - 2, h - 1, -1, 0, w - 1},  // bottom edge
        {0, h - 2, 0, -1, h - 1},      // left edge
        {1, 0, 1, 0, w / 2 - 1},       // top edge, left half
    };
    bool reached = false;
    for (const auto& run : runs)
        for (int i = 0; i < run[4] && !reached; i++) {
            const int x = run[0] + i * run[2], y = run[1] + i * run[3];
            reached = x == endX && y == endY;
            if (!reached) img_line(&view, cx, cy, x, y, &inside);
        }
    img_line(&view, cx, cy, endX, endY, &border);
    img_line(&view, cx, cy, w / 2, 0, &border);
    return overlay;
}

// Pointer -----------------------------------------------------------------------------------------
//
//   press on            | without Ctrl                          | with Ctrl
//   --------------------+---------------------------------------+--------------------------
//   an unselected box   | it alone is selected, the drag begins | it joins the selection
//   a selected box      | the drag of every selected box begins | it leaves the selection
//   empty space         | nothing selected, a band begins       | a band begins
//   the same place      | a box starts; on empty space a band begins (nothing selected
//   within 500 ms       | unless Ctrl); the click is forgotten

int shelf_button_down(int x, int y, int ctrl, uint32_t now, ShelfBox** hit) {
    ShelfBox* box = shelf_box_at(x, y);
    if (hit) *hit = box;
    const ShelfClick& last = g_shelf.click;
    if (last.valid && now - last.time < (uint32_t)SHELF_DOUBLE_CLICK_MS &&
        std::abs(x - last.x) <= SHELF_DOUBLE_CLICK_SLACK &&
        std::abs(y - last.y) <= SHELF_DOUBLE_CLICK_SLACK) {
        g_shelf.click.valid = 0;
        if (box) return SHELF_START;
        if (!ctrl) shelf_deselect_all();
        return SHELF_BAND;
    }
    g_shelf.click = {now, x, y, 1};
    if (!box) {
        if (!ctrl) shelf_deselect_all();
        return SHELF_BAND;
    }
    if (ctrl) {
        shelf_select(box, !box->selected);
        return SHELF_NONE;
    }
    if (!box->selected) {
        shelf_deselect_all();
        shelf_select(box, 1);
    }
    start_drag();
    return SHELF_DRAG;
}

void shelf_drag_motion(int dx, int dy) {
    for (ShelfBox* b = g_shelf.head; b; b = b->next)
        if (b->dragging) {
            b->dragX += dx;
            b->dragY += dy;
        }
}

void shelf_drag_end() {
    for (ShelfBox* b = g_shelf.head; b; b = b->next)
        if (b->dragging) {
            b->x = b->dragX;
            b->y = b->dragY;
            b->dragging = 0;
            shelf_clamp(b);
        }
}

void shelf_band_end(int x, int y, int width, int height, int ctrl) {
    if (!ctrl) shelf_deselect_all();
    // A box that becomes selected moves to the head, which this walk has passed already.
    for (ShelfBox *b = g_shelf.head, *next; b; b = next) {
        next = b->next;
        if (centre_inside(b, x, y, width, height)) shelf_select(b, !b->selected);
    }
}

ShelfBox* shelf_box_at(int x, int y) {
    for (ShelfBox* b = g_shelf.head; b; b = b->next)
        if (x >= b->x && x < b->x + b->width && y >= b->y && y < b->y + b->height) return b;
    return nullptr;
}

void shelf_forget_click() { g_shelf.click.valid = 0; }
