// gui/ge.cpp -- the skin: colours, frame elements, title bars, skin pictures, bevels, colour
// primitives, the tinted background and the top bar.
//
// Every screen draw goes through the dirty cells (and so the clip rectangle). A sheet is locked
// once for everything one call draws; tiled areas are cut per dirty span, not per tile.
#include "gui/ge.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/limits.h"
#include "base/str.h"
#include "gui/font.h"
#include "gui/window.h"
#include "image/img_scale.h"
#include "platform/io_debug.h"
#include "platform/io_gdi.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "platform/sys.h"
#include "resources/cache.h"

namespace {

const char* const COLOUR_KEYS[GE_COLOUR_COUNT] = {
    "Bevel_LT",
    "Bevel_T",
    "Bevel_RT",
    "Bevel_L",
    "Bevel_R",
    "Bevel_LB",
    "Bevel_B",
    "Bevel_RB",
    "ButtonTextActive",
    "ButtonTextInactive",
    "ButtonTextHover",
    "ButtonTextShadow",
    "TrackbarText",
    "TrackbarTextShadow",
    "WindowTitleText",
    "WindowTitleTextShadow",
    "EditBoxText",
    "EditBoxBackground",
    "MsgBoxText",
    "MsgBoxTextShadow",
    "PreviewOutlineActive",
    "PreviewOutlineInactive",
    "PreviewNumberOfPiecesText",
    "PreviewNumberOfPiecesTextShadow",
    "PreviewBottomText",
    "PreviewBottomTextShadow",
    "PreviewSurprise",
    "RoomTitleBar",
    "RoomTitleBarText",
    "RoomTitleBarTextShadow",
    "Selection",
    "CreateDesk",
    "CreateDeskOutline",
    "CreateDeskPresentSize",
    "CreateCurvePreview",
    "GalleryOutline",
};

// The sheets' layout: skin pictures of sheet A, title-bar pieces of sheet B by piece number.
const Rect PICTURES[GE_PICTURE_COUNT] = {
    {60, 0, 18, 18},    {60, 18, 18, 18},   {78, 0, 18, 18},   {78, 18, 18, 18},   // 0-3
    {60, 58, 18, 18},   {60, 76, 18, 18},   {78, 58, 18, 18},  {78, 76, 18, 18},   // 4-7
    {96, 58, 18, 18},   {96, 76, 18, 18},   {114, 58, 18, 18}, {114, 76, 18, 18},  // 8-11
    {132, 58, 18, 18},  {132, 76, 18, 18},  {150, 58, 18, 18}, {150, 76, 18, 18},  // 12-15
    {168, 58, 18, 18},  {168, 76, 18, 18},                                         // 16-17
    {96, 0, 18, 18},    {96, 18, 18, 18},   {114, 0, 18, 18},  {114, 18, 18, 18},  // 18-21
    {132, 0, 18, 18},   {132, 18, 18, 18},                                         // 22-23
    {0, 112, 24, 24},   {0, 136, 24, 24},   {84, 112, 24, 24}, {84, 136, 24, 24},  // 24-27
    {114, 112, 18, 24}, {114, 136, 18, 24},                                        // 28-29
    {0, 76, 6, 18},                                                                // 30
    {24, 112, 12, 24},  {36, 112, 12, 24},  {48, 112, 12, 24}, {60, 112, 12, 24},  // 31-34
    {78, 94, 18, 18},   {60, 94, 18, 18},                                          // 35-36
    {0, 160, 48, 48},   {48, 160, 48, 48},  {96, 160, 48, 48},                     // 37-39
    {132, 112, 32, 32},                                                            // 40
    {0, 208, 32, 32},   {0, 240, 32, 32},   {32, 208, 32, 32}, {32, 240, 32, 32},  // 41-44
    {64, 208, 32, 32},  {64, 240, 32, 32},                                         // 45-46
    {150, 0, 20, 20},   {150, 20, 20, 20},                                         // 47-48
};
const Rect TITLE_PIECES[GE_TITLE_PIECE_COUNT] = {
    {0, 0, 12, 18}, {12, 0, 12, 18},  {24, 0, 12, 18},  {36, 0, 12, 18},  {48, 0, 12, 18},
    {0, 58, 6, 18}, {12, 58, 12, 18}, {24, 58, 12, 18}, {36, 58, 12, 18}, {48, 58, 12, 18},
};

constexpr int TOP_BAR_HEIGHT = GE_TOP_BAR_HEIGHT;
constexpr int TITLE_MAX = 256;
constexpr double BAR_SHADOW_SIGMA = 2.0;
constexpr int BAR_SHADOW_STRENGTH = 145;
constexpr int BAR_SHADOW_OFFSET = 2;
constexpr int BAR_SHADOW_ROWS_MAX = 16;

struct Skin {
    char file[PATH_MAX_GAME];
    int sheetA, sheetB;  // cache indices
    int colours[GE_COLOUR_COUNT];
    int ox, oy;  // drawing origin
    int fill;
    int penStyle, penColour, penKnown;
    int background, logo;  // cache indices (registered by the background build)
    Image* built;          // the tinted, shaded background: picture width x screen height
    Image* barShadow;      // 8-bit strength strip under the top bar
    Rect corner;
    int hover;
    char roomTitle[TITLE_MAX];
    char gameTitle[TITLE_MAX];
};
Skin g_skin;

// --- Areas on the screen, cut by the dirty spans ------------------------------------------------

struct Area {
    int x0, y0, x1, y1;  // exclusive ends
};

// The part of a dirty span inside an area; false when they do not meet.
bool cut(const Area& a, int sx, int sy, int sw, int sh, Area* out) {
    out->x0 = sx > a.x0 ? sx : a.x0;
    out->y0 = sy > a.y0 ? sy : a.y0;
    out->x1 = sx + sw < a.x1 ? sx + sw : a.x1;
    out->y1 = sy + sh < a.y1 ? sy + sh : a.y1;
    return out->x0 < out->x1 && out->y0 < out->y1;
}

uint8_t* screen_at(int x, int y) { return screen.buf + (ptrdiff_t)y * screen.pitch + x * 3; }

// A rectangle of a picture repeated from (x0, y0) over the area, the last copies cut.
struct TileJob {
    Area area;
    const Image* image;
    Rect src;
};

void tile_span(void* ctx, int sx, int sy, int sw, int sh) {
    const TileJob* j = (const TileJob*)ctx;
    Area c;
    if (!cut(j->area, sx, sy, sw, sh, &c)) return;
    const int w = j->src.w, h = j->src.h;
    const int firstX = j->area.x0 + (c.x0 - j->area.x0) / w * w;
    for (int ty = j->area.y0 + (c.y0 - j->area.y0) / h * h; ty < c.y1; ty += h) {
        const int y0 = ty > c.y0 ? ty : c.y0, y1 = ty + h < c.y1 ? ty + h : c.y1;
        for (int tx = firstX; tx < c.x1; tx += w) {
            const int x0 = tx > c.x0 ? tx : c.x0, x1 = tx + w < c.x1 ? tx + w : c.x1;
            ImageView s, d;
            img_view(&s, j->image, j->src.x + (x0 - tx), j->src.y + (y0 - ty));
            s.width = x1 - x0;
            s.height = y1 - y0;
            img_screen_view(&d, x0, y0);
            img_view_blit(&d, &s);
        }
    }
}

// Screen coordinates; the picture must be locked by the caller.
void tile_area(const Image* image, const Rect& src, int x0, int y0, int x1, int y1) {
    if (!screen.buf || x1 <= x0 || y1 <= y0 || src.w <= 0 || src.h <= 0) return;
    TileJob j{{x0, y0, x1, y1}, image, src};
    screen_for_each_dirty_span(x0, y0, x1 - x0, y1 - y0, tile_span, &j);
}

struct FillJob {
    Area area;
    uint8_t bgr[3];
};

void fill_span(void* ctx, int sx, int sy, int sw, int sh) {
    const FillJob* j = (const FillJob*)ctx;
    Area c;
    if (!cut(j->area, sx, sy, sw, sh, &c)) return;
    uint8_t* first = screen_at(c.x0, c.y0);
    for (int x = 0; x < c.x1 - c.x0; x++)
        std::memcpy(first + 3 * x, j->bgr, 3);
    for (int y = c.y0 + 1; y < c.y1; y++)
        std::memcpy(screen_at(c.x0, y), first, (size_t)(c.x1 - c.x0) * 3);
}

void fill_area(int colour, int x, int y, int w, int h) {
    if (colour == -1 || !screen.buf || w <= 0 || h <= 0) return;
    FillJob j{{x, y, x + w, y + h}, {(uint8_t)colour, (uint8_t)(colour >> 8), (uint8_t)(colour >> 16)}};
    screen_for_each_dirty_span(x, y, w, h, fill_span, &j);
}

// --- Frame elements, laid out once for the screen and for shape masks ---------------------------

// Calls put(tile, x0, y0, x1, y1) for every tiled part of element e over (x, y, w, h).
template <class Put>
void layout_element(int e, int x, int y, int w, int h, Put put) {
    GeElementTiles t;
    ge_element_tiles(e, &t);
    if (t.centreOnly) {
        put(11, x, y, x + w, y + h);
        return;
    }
    const Rect tl = ge_frame_tile_rect(t.topLeft), tr = ge_frame_tile_rect(t.topRight),
               bl = ge_frame_tile_rect(t.bottomLeft);
    const Rect br = ge_frame_tile_rect(t.bottomRight), top = ge_frame_tile_rect(t.top),
               bottom = ge_frame_tile_rect(t.bottom);
    const Rect left = ge_frame_tile_rect(t.left), right = ge_frame_tile_rect(t.right);
    const int rightX = x + w - tr.w, bottomY = y + h - bl.h;
    if (t.centre >= 0 && rightX > x + tl.w && bottomY > y + tl.h)
        put(t.centre, x + tl.w, y + tl.h, rightX, bottomY);
    if (rightX > x + tl.w) put(t.top, x + tl.w, y, rightX, y + top.h);
    if (rightX > x + bl.w) put(t.bottom, x + bl.w, y + h - bottom.h, rightX, y + h);
    if (bottomY > y + tl.h) put(t.left, x, y + tl.h, x + left.w, bottomY);
    if (bottomY > y + tr.h) put(t.right, x + w - right.w, y + tr.h, x + w, bottomY);
    put(t.topLeft, x, y, x + tl.w, y + tl.h);
    put(t.topRight, rightX, y, rightX + tr.w, y + tr.h);
    put(t.bottomLeft, x, bottomY, x + bl.w, bottomY + bl.h);
    put(t.bottomRight, rightX, bottomY, rightX + br.w, bottomY + br.h);
}

const Image* lock_sheet(int sheetB) {
    return (const Image*)cache_lock(sheetB ? g_skin.sheetB : g_skin.sheetA);
}
void unlock_sheet(int sheetB) { cache_unlock(sheetB ? g_skin.sheetB : g_skin.sheetA); }

// --- The background -----------------------------------------------------------------------------

void read_tint(int* hue, int* brightness, int* saturation) {
    if (io_ini_read_triple(CONFIG_INI, "MAIN", "BackGround", hue, brightness, saturation)) return;
    if (io_ini_read_triple(g_skin.file, "BACKGROUND", "Color", hue, brightness, saturation)) return;
    io_fatal("[BACKGROUND]color not found in INI file");
}

// The top bar's soft edge: a shadow of the bar moved down by the offset and blurred, as strength
// per row from y = TOP_BAR_HEIGHT down, as wide as the screen.
Image* make_bar_shadow() {
    int32_t weights[BAR_SHADOW_ROWS_MAX];
    const int radius = img_blur_kernel(BAR_SHADOW_SIGMA, weights, BAR_SHADOW_ROWS_MAX);
    const int r = radius < BAR_SHADOW_ROWS_MAX - 1 ? radius : BAR_SHADOW_ROWS_MAX - 1;
    long long total = weights[0];
    for (int k = 1; k <= r; k++)
        total += 2LL * weights[k];
    const int edge = TOP_BAR_HEIGHT + BAR_SHADOW_OFFSET;  // first row the moved bar leaves free
    const int rows = edge + r - TOP_BAR_HEIGHT;
    if (rows <= 0 || total <= 0 || screen.width <= 0) return nullptr;
    Image* strip = img_create(screen.width, rows, IMG_8BIT);
    ImageView v;
    img_view(&v, strip, 0, 0);
    for (int i = 0; i < rows; i++) {
        long long covered = 0;  // kernel weight over the rows of the moved bar (row < edge)
        for (int k = -r; k <= r; k++)
            if (TOP_BAR_HEIGHT + i - k < edge) covered += weights[k < 0 ? -k : k];
        const int strength = (int)((covered * BAR_SHADOW_STRENGTH + total / 2) / total);
        std::memset(v.pixels + (ptrdiff_t)i * v.pitch, strength, (size_t)screen.width);
    }
    return strip;
}

// The background repeated left to right, whole rows copied per dirty span.
struct RowsJob {
    Area area;
    const Image* image;
};

void rows_span(void* ctx, int sx, int sy, int sw, int sh) {
    const RowsJob* j = (const RowsJob*)ctx;
    Area c;
    if (!cut(j->area, sx, sy, sw, sh, &c)) return;
    const Image* im = j->image;
    const uint8_t* base = (const uint8_t*)im + im->colourOffset;
    for (int y = c.y0; y < c.y1 && y < im->height; y++) {
        const uint8_t* src = base + (ptrdiff_t)y * im->colourPitch;
        uint8_t* d = screen_at(c.x0, y);
        for (int x = c.x0; x < c.x1;) {
            const int at = x % im->width;
            const int n = im->width - at < c.x1 - x ? im->width - at : c.x1 - x;
            std::memcpy(d, src + at * 3, (size_t)n * 3);
            d += n * 3;
            x += n;
        }
    }
}

void place_corner() {
    const Rect& r = PICTURES[GE_PICTURE_CORNER];
    g_skin.corner = {screen.width - r.w, 0, r.w, r.h};
    g_skin.hover = 0;
}

}  // namespace

// --- Start and end --------------------------------------------------------------------------------

const char* ge_skin_file() { return g_skin.file; }

void ge_init(const char* skinFile) {
    str_copy_bounded(g_skin.file, skinFile, sizeof g_skin.file);
    g_skin.sheetB = cache_register_raw("img/inactive.img");
    g_skin.sheetA = cache_register_raw("img/active.img");
    for (int n = 0; n < GE_COLOUR_COUNT; n++)
        if (!io_ini_read_colour(skinFile, "COLORS", COLOUR_KEYS[n], &g_skin.colours[n]))
            io_fatal("ge_init: color %s not found\n", COLOUR_KEYS[n]);
    g_skin.ox = g_skin.oy = 0;
    g_skin.fill = -1;
    g_skin.penKnown = 0;
    place_corner();
}

void ge_done() {
    ge_background_free();
    g_skin.penKnown = 0;
}

int ge_colour(int n) { return n >= 0 && n < GE_COLOUR_COUNT ? g_skin.colours[n] : -1; }

void ge_set_origin(int x, int y) { g_skin.ox = x, g_skin.oy = y; }

void ge_origin(int* x, int* y) { *x = g_skin.ox, *y = g_skin.oy; }

// --- Frames, title bars, pictures ---------------------------------------------------------------

void ge_element_tiles(int e, GeElementTiles* t) {
    t->sheetB = (e & 1) != 0;
    t->centreOnly = (e & 32) != 0;
    static const int TL[4] = {0, 3, 5, 8};      // by bits 2 and 8
    static const int TR[4] = {4, 2, 9, 7};      // by bits 4 and 8
    static const int BL[4] = {20, 23, 15, 18};  // by bits 2 and 16
    static const int BR[4] = {24, 22, 19, 17};  // by bits 4 and 16
    const int b2 = (e >> 1) & 1, b4 = (e >> 2) & 1, b8 = (e >> 3) & 1, b16 = (e >> 4) & 1;
    t->topLeft = TL[b2 | b8 << 1];
    t->topRight = TR[b4 | b8 << 1];
    t->bottomLeft = BL[b2 | b16 << 1];
    t->bottomRight = BR[b4 | b16 << 1];
    t->top = b8 ? 6 : 1;
    t->bottom = b16 ? 16 : 21;
    t->left = b2 ? 13 : 10;
    t->right = b4 ? 12 : 14;
    t->centre = (e & 64) ? -1 : 11;
}

void ge_draw_element(int element, int x, int y, int width, int height) {
    if (!screen.buf) return;
    const int sheetB = element & 1;
    const Image* sheet = lock_sheet(sheetB);
    layout_element(element, x + g_skin.ox, y + g_skin.oy, width, height,
                   [&](int t, int x0, int y0, int x1, int y1) {
                       tile_area(sheet, ge_frame_tile_rect(t), x0, y0, x1, y1);
                   });
    unlock_sheet(sheetB);
}

int ge_title_bar_layout(int x, int width, int raisable, int rollUp, int close, GeTitlePiece* out) {
    int n = 0;
    auto piece = [&](int p, int x0, int x1) {
        if (x1 > x0) out[n++] = {p, x0, x1};
    };
    const int limit = x + width - (rollUp ? 48 : close ? 30 : 12);
    piece(0, x, x + 12);
    piece(raisable ? 1 : 6, x + 12, x + 24);
    piece(raisable ? 2 : 7, x + 24, limit - 12);
    piece(raisable ? 3 : 8, limit - 12, limit);
    int at = limit;
    if (rollUp || close) {
        piece(9, at, at + 12);
        at += 12;
    }
    if (rollUp) {
        at += 18;
        if (!close) piece(5, at, at + 6);
    }
    if (!close) piece(4, x + width - 12, x + width);
    return n;
}

void ge_draw_title_bar(int x, int y, int width, int raisable, int rollUp, int close) {
    if (!screen.buf) return;
    GeTitlePiece pieces[GE_TITLE_PIECES_MAX];
    const int count = ge_title_bar_layout(x + g_skin.ox, width, raisable, rollUp, close, pieces);
    const Image* sheet = lock_sheet(1);
    const int top = y + g_skin.oy;
    for (int i = 0; i < count; i++) {
        const Rect& r = TITLE_PIECES[pieces[i].piece];
        tile_area(sheet, r, pieces[i].x, top, pieces[i].xEnd, top + r.h);
    }
    unlock_sheet(1);
}

void ge_draw_picture(int n, int x, int y) {
    if (n < 0 || n >= GE_PICTURE_COUNT) io_fatal("ge_draw_picture: picture %i not found\n", n);
    if (!screen.buf) return;
    const Rect& r = PICTURES[n];
    const Image* sheet = lock_sheet(0);
    img_draw(sheet, x + g_skin.ox, y + g_skin.oy, r.x, r.y, r.w, r.h);
    unlock_sheet(0);
}

void ge_picture_size(int n, int* width, int* height) {
    const Rect r = ge_picture_rect(n);
    *width = r.w;
    *height = r.h;
}

Rect ge_picture_rect(int n) { return n >= 0 && n < GE_PICTURE_COUNT ? PICTURES[n] : Rect{}; }

// Five rows of five tiles, each 12 wide, under the title-bar pieces.
Rect ge_frame_tile_rect(int tile) {
    static const int ROW_Y[5] = {18, 30, 36, 40, 46}, ROW_H[5] = {12, 6, 4, 6, 12};
    if (tile < 0 || tile >= GE_FRAME_TILE_COUNT) return {};
    return {12 * (tile % 5), ROW_Y[tile / 5], 12, ROW_H[tile / 5]};
}

Rect ge_title_piece_rect(int piece) {
    return piece >= 0 && piece < GE_TITLE_PIECE_COUNT ? TITLE_PIECES[piece] : Rect{};
}

void ge_draw_slider_track(int x, int y, int width) {
    if (!screen.buf) return;
    const Image* sheet = lock_sheet(0);
    x += g_skin.ox;
    y += g_skin.oy;
    const Rect &start = PICTURES[GE_PICTURE_TRACK_START], &middle = PICTURES[GE_PICTURE_TRACK];
    const Rect& end = PICTURES[GE_PICTURE_TRACK_END];
    tile_area(sheet, start, x + 32, y, x + 32 + start.w, y + start.h);
    tile_area(sheet, middle, x + 44, y, x + width - 44, y + middle.h);
    tile_area(sheet, end, x + width - 44, y, x + width - 44 + end.w, y + end.h);
    unlock_sheet(0);
}

void ge_bevel_box(int x, int y, int width, int height) {
    x += g_skin.ox;
    y += g_skin.oy;
    const int* c = g_skin.colours;
    const int right = x + width - 1, bottom = y + height - 1;
    fill_area(c[1], x + 1, y, width - 2, 1);
    fill_area(c[6], x + 1, bottom, width - 2, 1);
    fill_area(c[3], x, y + 1, 1, height - 2);
    fill_area(c[4], right, y + 1, 1, height - 2);
    fill_area(c[0], x, y, 1, 1);
    fill_area(c[2], right, y, 1, 1);
    fill_area(c[5], x, bottom, 1, 1);
    fill_area(c[7], right, bottom, 1, 1);
}

void ge_shape_mask(Image* mask, int element, int x, int y, int width, int height) {
    if (!mask || mask->kind != IMG_8BIT) return;
    const int sheetB = element & 1;
    const Image* sheet = lock_sheet(sheetB);
    ImageView sv, mv;
    img_view(&sv, sheet, 0, 0);
    img_view(&mv, mask, 0, 0);
    layout_element(element, x, y, width, height, [&](int t, int x0, int y0, int x1, int y1) {
        const Rect r = ge_frame_tile_rect(t);
        for (int my = y0 > 0 ? y0 : 0; my < y1 && my < mask->height; my++) {
            const int sy = r.y + (my - y0) % r.h;
            for (int mx = x0 > 0 ? x0 : 0; mx < x1 && mx < mask->width; mx++) {
                const int sx = r.x + (mx - x0) % r.w;
                mv.pixels[(ptrdiff_t)my * mv.pitch + mx] =
                    sv.alpha ? sv.alpha[(ptrdiff_t)sy * sv.alphaPitch + sx] : 255;
            }
        }
    });
    unlock_sheet(sheetB);
}

// --- Colour primitives --------------------------------------------------------------------------

void ge_set_fill(int colour) { g_skin.fill = colour; }

void ge_fill_rect(int x, int y, int width, int height) { fill_area(g_skin.fill, x, y, width, height); }

void ge_set_pen(int style, int colour) {
    if (g_skin.penKnown && style == g_skin.penStyle && colour == g_skin.penColour) return;
    io_gdi_set_pen(style, colour);
    g_skin.penStyle = style;
    g_skin.penColour = colour;
    g_skin.penKnown = 1;
}

namespace {

// A pen figure is drawn only into the dirty cells, as everything else is: once for every dirty
// span of its bounds, clipped to that span. The dash pattern runs on over clipped points, so
// the pieces join up exactly as one figure drawn whole.
struct PenFigure {
    int kind;  // 0 line, 1 rectangle
    int x, y, width, height;
};

void pen_span(void* ctx, int x, int y, int w, int h) {
    const PenFigure& f = *(const PenFigure*)ctx;
    screen_set_clip(x, y, w, h);
    if (f.kind == 0)
        io_gdi_line(f.x, f.y, f.width, f.height);
    else
        io_gdi_rectangle(f.x, f.y, f.width, f.height);
}

void pen_draw(const PenFigure& figure, int x0, int y0, int x1, int y1) {
    if (!g_skin.penKnown || g_skin.penColour == -1) return;
    const Rect clip = screen_clip();
    screen_for_each_dirty_span(x0, y0, x1 - x0 + 1, y1 - y0 + 1, pen_span, (void*)&figure);
    screen_set_clip(clip.x, clip.y, clip.w, clip.h);
}

}  // namespace

void ge_line(int x0, int y0, int x1, int y1) {
    pen_draw({0, x0, y0, x1, y1}, std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1));
}

void ge_rectangle(int x, int y, int width, int height) {
    if (width > 0 && height > 0) pen_draw({1, x, y, width, height}, x, y, x + width - 1, y + height - 1);
}

// --- The background -------------------------------------------------------------------------------

void ge_gradient_table(double top, double bottom, int rows, int y, uint8_t table[256]) {
    const double e = rows > 0 ? top + (bottom - top) / rows * y : top;
    for (int v = 0; v < 256; v++)
        table[v] = e == 1.0 ? (uint8_t)v : (uint8_t)(std::pow(v / 255.0, e) * 255.0);
}

void ge_background_build() {
    ge_background_free();
    g_skin.background = cache_register_picture("img/background.jpg");
    g_skin.logo = cache_register_raw("img/lttl_pzzl.img");
    int hue, brightness, saturation;
    read_tint(&hue, &brightness, &saturation);

    const Image* picture = (const Image*)cache_lock(g_skin.background);
    Image* own = img_create(picture->width, picture->height, IMG_KIND_SCREEN);
    img_convert(own, picture);
    cache_unlock(g_skin.background);
    Image* tinted = img_create(own->width, own->height, IMG_KIND_SCREEN);
    ImageView src, dst;
    img_view(&src, own, 0, 0);
    img_view(&dst, tinted, 0, 0);
    img_colourise(&dst, &src, hue, brightness, saturation);
    io_mem_free(own);

    double top = 1.0, bottom = 1.0;
    io_ini_read_real(g_skin.file, "BACKGROUND", "GradientTop", &top);
    io_ini_read_real(g_skin.file, "BACKGROUND", "GradientBottom", &bottom);
    const int rows = screen.height;
    Image* built = img_create(tinted->width, rows, IMG_KIND_SCREEN);
    const size_t rowBytes = (size_t)built->colourPitch;
    uint8_t table[256];
    for (int y = 0; y < rows; y++) {
        uint8_t* d = (uint8_t*)built + built->colourOffset + (ptrdiff_t)y * built->colourPitch;
        const uint8_t* s = (const uint8_t*)tinted + tinted->colourOffset +
                           (ptrdiff_t)(y % tinted->height) * tinted->colourPitch;
        ge_gradient_table(top, bottom, rows, y, table);
        for (size_t i = 0; i < rowBytes; i++)
            d[i] = table[s[i]];
    }
    io_mem_free(tinted);
    g_skin.built = built;
    g_skin.barShadow = make_bar_shadow();
    place_corner();
}

void ge_background_draw() {
    const Image* image = g_skin.built;
    if (!image || !screen.buf) return;
    RowsJob j{{0, 0, screen.width, screen.height < image->height ? screen.height : image->height}, image};
    screen_for_each_dirty_span(0, 0, screen.width, screen.height, rows_span, &j);
}

void ge_background_copy(Image* image) {
    const Image* bg = g_skin.built;
    if (!bg || !image || image->kind != bg->kind) return;
    const int rows = image->height < bg->height ? image->height : bg->height;
    for (int y = 0; y < rows; y++) {
        uint8_t* d = (uint8_t*)image + image->colourOffset + (ptrdiff_t)y * image->colourPitch;
        const uint8_t* s = (const uint8_t*)bg + bg->colourOffset + (ptrdiff_t)y * bg->colourPitch;
        for (int x = 0; x < image->width; x += bg->width) {
            const int n = bg->width < image->width - x ? bg->width : image->width - x;
            std::memcpy(d + x * 3, s, (size_t)n * 3);
        }
    }
}

void ge_background_free() {
    io_mem_free(g_skin.built);
    io_mem_free(g_skin.barShadow);
    g_skin.built = g_skin.barShadow = nullptr;
}

// --- The top bar ------------------------------------------------------------------------------------

void ge_set_game_title(const char* text) { str_copy_bounded(g_skin.gameTitle, text ? text : "", TITLE_MAX); }

void ge_set_room_title(const char* text) { str_copy_bounded(g_skin.roomTitle, text ? text : "", TITLE_MAX); }

void ge_draw_top_bar() {
    if (!screen.buf) return;
    fill_area(g_skin.colours[GE_ROOM_TITLE_BAR], 0, 0, screen.width, TOP_BAR_HEIGHT);
    if (g_skin.barShadow) img_draw_shadow_all(g_skin.barShadow, 0, TOP_BAR_HEIGHT);
    if (g_skin.built) {
        img_draw_all((const Image*)cache_lock(g_skin.logo), 1, 0);
        cache_unlock(g_skin.logo);
    }
    // The titles' ink, shadow and descenders included, centred in the bar.
    int inkTop, inkBottom;
    font_ink_rows(FONT_LARGE, &inkTop, &inkBottom);
    const Font* large = font_get(FONT_LARGE);
    const int inkHeight = inkBottom - inkTop + 1 + (large ? large->shadowOffset : 0);
    const int y = (TOP_BAR_HEIGHT - inkHeight) / 2 - inkTop;
    font_set_style(FONT_LARGE, g_skin.colours[28], g_skin.colours[29]);
    font_draw(g_skin.roomTitle, 33, y);
    int w, h;
    font_measure(g_skin.gameTitle, &w, &h);
    font_draw(g_skin.gameTitle, screen.width - w - 20, y);
    const Rect& r = PICTURES[GE_PICTURE_CORNER + (g_skin.hover ? 1 : 0)];
    const Image* sheet = lock_sheet(0);
    img_draw(sheet, g_skin.corner.x, g_skin.corner.y, r.x, r.y, r.w, r.h);
    unlock_sheet(0);
}

int ge_corner_event(KernelEvent* event) {
    // Not while a dialog is open or the mouse is captured (a piece or a window carried).
    if (window_has_modal() || window_capture_kind() != CAPTURE_NONE) return 0;
    if (event->type != KE_MOUSEMOVE && event->type != KE_MOUSEDOWN && event->type != KE_MOUSEUP) return 0;
    const Rect& r = g_skin.corner;
    const int x = (int)event->a, y = (int)event->b;
    const int hovered = x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
    if (hovered != g_skin.hover) {
        g_skin.hover = hovered;
        screen_invalidate(r.x, r.y, r.w, r.h);
    }
    if (event->type == KE_MOUSEDOWN && event->c == 1 && hovered) {
        sys_minimise_window();
        return 1;
    }
    return 0;
}

void ge_draw_status(const char* text, int centreX) {
    if (!text || !*text) return;
    font_set_style(FONT_SMALL, 0xFFFFFF, 0x000000);
    int w, h;
    font_measure(text, &w, &h);
    font_draw(text, centreX - w / 2, 22);
}
