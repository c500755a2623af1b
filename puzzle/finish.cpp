// puzzle/finish.cpp -- the finished puzzle's glide to its place, the fade of its seams, and the
// clean picture drawn over the desk in place of its pieces.
//
// Sections: helpers; the glide; the fade and the clean picture; the phases.
//
// The glide turns the picture about its middle while the middle moves, eased in and out; every
// piece keeps its place in the picture, so the puzzle stays whole at every step. The fade needs
// what the pieces look like with their seams: once the picture rests in place, its whole area is
// marked dirty, the next paint draws the pieces there as usual and keeps a copy of the result.
// From then on the area is drawn from that copy, with the clean picture blended over the grid
// region, and no piece is drawn: a fade frame costs two passes over the picture's pixels.
#include "puzzle/finish.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/img.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "puzzle/piece.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/vec.h"

namespace {

struct Finish {
    int phase;
    int tick;             // ticks into the glide or the fade
    int toX, toY;         // where the grid region's top-left goes
    double fromX, fromY;  // the picture's middle on the desk when the glide began
    int fromAngle, turn;  // the angle then, and the turn (degrees, -180..180) to upright
    Rect area;            // the pieces' rectangles united, the picture at its place
    Rect grid;            // the grid region at its place
    Image* seamed;        // the area as the pieces drew it, once captured
    int capture;          // the next paint keeps the area after drawing the pieces
    int level;            // 0..256: how much the clean picture covers the seams
    int repaint;          // the grid region is marked dirty at the next tick
};
Finish g_finish = {FINISH_NONE, 0, 0, 0, 0, 0, 0, 0, {}, {}, nullptr, 0, 0, 0};

PlayPiece& piece(int i) { return play_state.pieces[i]; }

// The grid region of the picture (columns x size by rows x size from the margins).
bool grid_region(int* mx, int* my, int* gw, int* gh) {
    const BoxRecord& r = play_state.record;
    if (!play_state.pieces || play_state.pieceCount <= 0 || r.pieceSize <= 0) return false;
    *gw = r.width / r.pieceSize * r.pieceSize, *gh = r.height / r.pieceSize * r.pieceSize;
    *mx = (r.width - *gw) / 2, *my = (r.height - *gh) / 2;
    return *gw > 0 && *gh > 0;
}

// Every piece in one group, none carried or turning.
bool whole_and_resting() {
    const int g = piece(0).group;
    if (play_state.pieceCount > 1 && g == -1) return false;
    for (int i = 0; i < play_state.pieceCount; i++) {
        const PlayPiece& p = piece(i);
        if (p.group != g || p.lift != 0 || p.carried || p.turning) return false;
    }
    return true;
}

int round_half(double v) { return (int)(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5)); }

// The area and grid region once the grid region's top-left lies at (x, y).
bool place_at(int x, int y) {
    int mx, my, gw, gh;
    Rect extent;
    if (!grid_region(&mx, &my, &gw, &gh) || !finish_extent(&extent)) return false;
    g_finish.toX = x, g_finish.toY = y;
    g_finish.area = {extent.x + x, extent.y + y, extent.w, extent.h};
    g_finish.grid = {x, y, gw, gh};
    return true;
}

void drop_copy() {
    io_mem_free(g_finish.seamed);
    g_finish.seamed = nullptr;
}

// --- The glide ---

// Every piece around the picture's middle at (cx, cy), turned by angle.
void lay_out(double cx, double cy, int angle) {
    int mx, my, gw, gh;
    if (!grid_region(&mx, &my, &gw, &gh)) return;
    const double midX = mx + gw / 2.0, midY = my + gh / 2.0;
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = piece(i);
        double v[2] = {p.homeX - midX, p.homeY - midY};
        vec_rotate(v, angle);
        p.x = p.anchorX = round_half(cx + v[0]);
        p.y = p.anchorY = round_half(cy + v[1]);
        p.angle = angle_normal(angle);
    }
    play_state.changed = 1;
    pieces_touch();  // every piece moved outside the tick's own carrying and turning
}

// The glide's last step: upright, the grid region's top-left exactly at its place.
void lay_out_final() {
    int mx, my, gw, gh;
    if (!grid_region(&mx, &my, &gw, &gh)) return;
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = piece(i);
        p.x = p.anchorX = g_finish.toX + p.homeX - mx;
        p.y = p.anchorY = g_finish.toY + p.homeY - my;
        p.angle = 0;
    }
    play_state.changed = 1;
    pieces_touch();
}

// A rectangle of the table (the desk's own pixels while the table is the desk) marked dirty
// where the screen shows it.
void invalidate_on_screen(const Rect& r) {
    if (!play_state.bigTable) {
        screen_invalidate(r.x, r.y, r.w, r.h);
        return;
    }
    double l, t, rr, b;
    view_to_screen(play_state.view, r.x, r.y, &l, &t);
    view_to_screen(play_state.view, r.x + r.w, r.y + r.h, &rr, &b);
    const int x = (int)std::floor(l), y = (int)std::floor(t);
    screen_invalidate(x, y, (int)std::ceil(rr) - x + 1, (int)std::ceil(b) - y + 1);
}

// The picture rests in place: the next paint draws its pieces and keeps them for the fade. On a
// large table the view may change under the fade, so nothing is kept: every paint draws the
// pieces and blends the clean picture over them (finish_overlay).
void begin_fade(int phase, int level) {
    g_finish.phase = phase;
    g_finish.tick = 0;
    g_finish.level = level;
    drop_copy();
    g_finish.capture = !play_state.bigTable;
    invalidate_on_screen(g_finish.area);
}

void glide_step() {
    g_finish.tick++;
    if (g_finish.tick >= FINISH_MOVE_TICKS) {
        lay_out_final();
        begin_fade(FINISH_FADING, 0);
        return;
    }
    const double t = (double)g_finish.tick / FINISH_MOVE_TICKS, eased = t * t * (3 - 2 * t);
    int mx, my, gw, gh;
    if (!grid_region(&mx, &my, &gw, &gh)) return;
    const double toMidX = g_finish.toX + gw / 2.0, toMidY = g_finish.toY + gh / 2.0;
    lay_out(g_finish.fromX + (toMidX - g_finish.fromX) * eased,
            g_finish.fromY + (toMidY - g_finish.fromY) * eased,
            g_finish.fromAngle + round_half(g_finish.turn * eased));
}

// --- The fade and the clean picture ---

inline uint8_t* screen_at(int x, int y) {
    return screen.buf + (ptrdiff_t)y * screen.pitch + (ptrdiff_t)x * 3;
}

// n bytes: kept * (256 - level) + clean * level, over 256.
void blend(uint8_t* d, const uint8_t* kept, const uint8_t* clean, int n, int level) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), a = _mm_set1_epi16((short)level),
                  b = _mm_set1_epi16((short)(256 - level));
    for (; i + 16 <= n; i += 16) {
        const __m128i k = _mm_loadu_si128((const __m128i*)(kept + i));
        const __m128i c = _mm_loadu_si128((const __m128i*)(clean + i));
        const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(k, zero), b),
                                         _mm_mullo_epi16(_mm_unpacklo_epi8(c, zero), a));
        const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(k, zero), b),
                                         _mm_mullo_epi16(_mm_unpackhi_epi8(c, zero), a));
        _mm_storeu_si128((__m128i*)(d + i), _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
    }
#endif
    for (; i < n; i++)
        d[i] = (uint8_t)((kept[i] * (256 - level) + clean[i] * level) >> 8);
}

// One dirty run, cut to the area: the kept pieces, with the clean picture blended over the grid
// region.
void draw_run(void*, int rx, int ry, int rw, int rh) {
    const Rect& a = g_finish.area;
    const Rect& g = g_finish.grid;
    const Rect run = rect_intersect({rx, ry, rw, rh}, a);
    const int x = run.x, y = run.y, w = run.w, h = run.h;
    if (w <= 0 || h <= 0) return;
    const Image* s = g_finish.seamed;
    const uint8_t* kept = (const uint8_t*)s + s->colourOffset;
    const int level = g_finish.level;
    const int gx0 = x > g.x ? x : g.x, gx1 = x + w < g.x + g.w ? x + w : g.x + g.w;  // exclusive end
    int mx, my, gw, gh;
    if (!grid_region(&mx, &my, &gw, &gh)) return;
    for (int row = y; row < y + h; row++) {
        uint8_t* d = screen_at(x, row);
        const uint8_t* k = kept + (ptrdiff_t)(row - a.y) * s->colourPitch + (ptrdiff_t)(x - a.x) * 3;
        if (row < g.y || row >= g.y + g.h || gx0 >= gx1) {
            std::memcpy(d, k, (size_t)w * 3);
            continue;
        }
        std::memcpy(d, k, (size_t)(gx0 - x) * 3);
        const uint8_t* c = play_state.pixels + (ptrdiff_t)(my + row - g.y) * play_state.pitch +
                           (ptrdiff_t)(mx + gx0 - g.x) * 3;
        uint8_t* dg = d + (gx0 - x) * 3;
        const uint8_t* kg = k + (gx0 - x) * 3;
        const int n = (gx1 - gx0) * 3;
        if (level >= 256)
            std::memcpy(dg, c, (size_t)n);
        else
            blend(dg, kg, c, n, level);
        std::memcpy(d + (gx1 - x) * 3, k + (gx1 - x) * 3, (size_t)(x + w - gx1) * 3);
    }
}

}  // namespace

int finish_extent(Rect* extent) {
    int mx, my, gw, gh;
    if (!grid_region(&mx, &my, &gw, &gh) || !whole_and_resting()) return 0;
    int l = 0, t = 0, r = -1, b = -1;
    for (int i = 0; i < play_state.pieceCount; i++) {
        const PlayPiece& p = piece(i);
        PieceQuad q;
        piece_quad(&play_state.shapes[p.shape], p.homeX - mx, p.homeY - my, 0, 0, 0, &q);
        if (r < l || q.left < l) l = q.left;
        if (b < t || q.top < t) t = q.top;
        if (q.right > r) r = q.right;
        if (q.bottom > b) b = q.bottom;
    }
    *extent = {l, t, r - l + 1, b - t + 1};
    return 1;
}

int finish_start(int x, int y) {
    finish_stop();
    int mx, my, gw, gh;
    if (!grid_region(&mx, &my, &gw, &gh) || !place_at(x, y)) return 0;
    // Where the picture's middle lies now, seen through piece 0.
    const PlayPiece& p = piece(0);
    double v[2] = {mx + gw / 2.0 - p.homeX, my + gh / 2.0 - p.homeY};
    vec_rotate(v, p.angle);
    g_finish.fromX = p.x + v[0], g_finish.fromY = p.y + v[1];
    g_finish.fromAngle = angle_normal(p.angle);
    g_finish.turn = g_finish.fromAngle <= 180 ? -g_finish.fromAngle : 360 - g_finish.fromAngle;
    g_finish.phase = FINISH_MOVING;
    g_finish.tick = 0;
    return 1;
}

int finish_show() {
    finish_stop();
    int mx, my, gw, gh;
    if (!grid_region(&mx, &my, &gw, &gh) || !whole_and_resting() || piece(0).angle != 0) return 0;
    const PlayPiece& p = piece(0);
    if (!place_at(p.x - p.homeX + mx, p.y - p.homeY + my)) return 0;
    begin_fade(FINISH_SHOWN, 256);
    return 1;
}

void finish_skip() {
    if (g_finish.phase == FINISH_MOVING) {
        g_finish.tick = FINISH_MOVE_TICKS - 1;
        glide_step();
    }
    if (g_finish.phase == FINISH_FADING) {
        g_finish.phase = FINISH_SHOWN;
        g_finish.level = 256;
        g_finish.repaint = 1;
    }
}

void finish_stop() {
    if (g_finish.phase != FINISH_NONE) invalidate_on_screen(g_finish.area);
    drop_copy();
    g_finish.phase = FINISH_NONE;
    g_finish.capture = g_finish.repaint = 0;
}

int finish_tick() {
    switch (g_finish.phase) {
        case FINISH_MOVING:
            glide_step();
            break;
        case FINISH_FADING:
            if (g_finish.capture) break;  // the seams are not kept yet: no paint since the glide
            g_finish.tick++;
            g_finish.level = g_finish.tick * 256 / FINISH_FADE_TICKS;
            if (g_finish.tick >= FINISH_FADE_TICKS) g_finish.phase = FINISH_SHOWN, g_finish.level = 256;
            invalidate_on_screen(g_finish.grid);
            break;
        case FINISH_SHOWN:
            if (g_finish.repaint && !g_finish.capture) {
                g_finish.repaint = 0;
                invalidate_on_screen(g_finish.grid);
            }
            break;
        default:
            break;
    }
    return g_finish.phase;
}

int finish_phase() { return g_finish.phase; }

int finish_picture_rect(Rect* rect) {
    if (g_finish.phase == FINISH_NONE) return 0;
    *rect = g_finish.grid;
    return 1;
}

int finish_draw() {
    if ((g_finish.phase != FINISH_FADING && g_finish.phase != FINISH_SHOWN) || !g_finish.seamed ||
        !screen.buf)
        return 0;
    play_state.firstLifted = -1;
    const Rect& a = g_finish.area;
    screen_for_each_dirty_span(a.x, a.y, a.w, a.h, draw_run, nullptr);
    return 1;
}

void finish_capture() {
    if (!g_finish.capture || !screen.buf) return;
    const Rect a = g_finish.area;
    drop_copy();
    g_finish.seamed = img_create(a.w, a.h, IMG_24BIT);
    img_fill(g_finish.seamed, 0);
    uint8_t* kept = (uint8_t*)g_finish.seamed + g_finish.seamed->colourOffset;
    const Rect on = rect_intersect(a, {0, 0, screen.width, screen.height});
    for (int row = on.y; row < on.y + on.h; row++)
        std::memcpy(
            kept + (ptrdiff_t)(row - a.y) * g_finish.seamed->colourPitch + (ptrdiff_t)(on.x - a.x) * 3,
            screen_at(on.x, row), (size_t)on.w * 3);
    g_finish.capture = 0;
    if (g_finish.phase == FINISH_SHOWN) g_finish.repaint = 1;  // the clean picture at the next tick
}

// --- The clean picture over the pieces of a large table ---

namespace {

struct Overlay {
    const Image* pic;  // the picture's level drawn from
    int shift;         // its level: picture pixels are 1 << shift of its texels
    int mx, my;        // the grid region's top-left in the picture
    Rect grid;         // the grid region on the screen
    double x0, y0;     // the screen point of the region's top-left
};

// One dirty run within the grid region: the clean picture (nearest texel of the level) blended
// over what the pieces drew, by the fade's level.
void overlay_run(void* ctx, int rx, int ry, int rw, int rh) {
    const Overlay& o = *(const Overlay*)ctx;
    const Rect run = rect_intersect({rx, ry, rw, rh}, o.grid);
    if (run.w <= 0 || run.h <= 0) return;
    const TableView& v = play_state.view;
    const uint8_t* pixels = (const uint8_t*)o.pic + o.pic->colourOffset;
    const double step = 1.0 / (v.zoom * (1 << o.shift));  // level texels a screen pixel
    uint8_t clean[3 * 4096];
    for (int row = run.y; row < run.y + run.h; row++) {
        const int ty = std::min(o.pic->height - 1, (int)(((row - o.y0) / v.zoom + o.my) / (1 << o.shift)));
        const uint8_t* src = pixels + (ptrdiff_t)ty * o.pic->colourPitch;
        for (int x = run.x; x < run.x + run.w; x += 4096) {
            const int n = std::min(4096, run.x + run.w - x);
            const double u0 = ((x - o.x0) / v.zoom + o.mx) / (1 << o.shift);
            for (int i = 0; i < n; i++) {
                const int tx = std::min(o.pic->width - 1, (int)(u0 + i * step));
                std::memcpy(clean + 3 * i, src + 3 * tx, 3);
            }
            uint8_t* d = screen_at(x, row);
            if (g_finish.level >= 256)
                std::memcpy(d, clean, (size_t)n * 3);
            else
                blend(d, d, clean, n * 3, g_finish.level);
        }
    }
}

}  // namespace

void finish_overlay() {
    if (!play_state.bigTable || (g_finish.phase != FINISH_FADING && g_finish.phase != FINISH_SHOWN) ||
        !screen.buf)
        return;
    int mx, my, gw, gh;
    if (!grid_region(&mx, &my, &gw, &gh)) return;
    const TableView& v = play_state.view;
    Overlay o;
    o.shift = 0;
    while (o.shift < SHAPE_LEVELS && v.zoom * (1 << (o.shift + 1)) <= 1.0 / 0.7)
        o.shift++;
    o.pic = piece_picture_level(o.shift);
    if (!o.pic) return;
    o.mx = mx, o.my = my;
    double x1, y1;
    view_to_screen(v, g_finish.grid.x, g_finish.grid.y, &o.x0, &o.y0);
    view_to_screen(v, g_finish.grid.x + gw, g_finish.grid.y + gh, &x1, &y1);
    const int left = (int)std::ceil(o.x0), top = (int)std::ceil(o.y0);
    o.grid = rect_intersect({left, top, (int)std::ceil(x1) - left, (int)std::ceil(y1) - top},
                            {0, 0, screen.width, screen.height});
    if (o.grid.w <= 0 || o.grid.h <= 0) return;
    screen_for_each_dirty_span(o.grid.x, o.grid.y, o.grid.w, o.grid.h, overlay_run, &o);
}
