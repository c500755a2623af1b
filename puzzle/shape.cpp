// puzzle/shape.cpp -- the shape table and the shape renderer: the four edges traced into the
// first canvas, the outside flood-filled away, straight border edges cleared, the mask cropped,
// the shadow and the relief blurred from it with the image module's blur, and the normals merged
// with the coverage into piece codes; on worker threads when asked.
//
// The renderer keeps the first canvas at 255 between shapes and works only inside the window the
// traced outline touched (plus a one-pixel ring): outside that ring every pixel is connected to
// the canvas corner and ends up 0, so the result equals filling and clearing the whole canvas.
// Blurs run over the crop plus the blur radius for the same reason (zeros beyond blur to zeros).
#include "puzzle/shape.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "image/img_scale.h"
#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "puzzle/curve.h"
#include "puzzle/normal.h"
#include "puzzle/trace.h"

namespace {

PieceShape* g_shapes;
int g_shape_count;
int g_shape_filled;
ShapeConstants g_constants;
Image* g_canvas[2];     // the two render canvases of the calling thread
std::mutex g_mem_lock;  // counted allocations while worker threads run

}  // namespace

// --- The shape table ---

void shapes_alloc(int count) {
    shapes_free();
    IO_ASSERT(count >= 0);
    g_shape_count = count;
    g_shape_filled = 0;
    if (count == 0) return;
    g_shapes = (PieceShape*)io_mem_alloc(sizeof(PieceShape) * (size_t)count);
    std::memset(g_shapes, 0, sizeof(PieceShape) * (size_t)count);
}

void shapes_free() {
    for (int i = 0; i < g_shape_count; i++) {
        io_mem_free(g_shapes[i].piece);
        io_mem_free(g_shapes[i].shadow);
        for (int l = 0; l < SHAPE_LEVELS; l++) {
            io_mem_free(g_shapes[i].pieceLevels[l]);
            io_mem_free(g_shapes[i].shadowLevels[l]);
        }
    }
    io_mem_free(g_shapes);
    g_shapes = nullptr;
    g_shape_count = g_shape_filled = 0;
}

PieceShape* shapes_table() { return g_shapes; }
int shapes_count() { return g_shape_count; }
int shapes_rendered() { return g_shape_filled; }

// --- The renderer ---

namespace {

// A box of pixels by its corners.
struct PixelBox {
    int x0, y0, x1, y1;  // inclusive
};

// One thread's working memory. c1 is the first canvas (255 between shapes); c2 holds the blur
// regions; all from the counted allocator, made and released on the main thread.
struct Renderer {
    uint8_t* c1;
    uint8_t* c2;
    int cw, ch;
    TraceCanvas traced;  // c1 as the tracer sees it, with the box of the traced pixels
    void* blur;          // the blur's working memory, grown on demand
    size_t blur_size;
    int32_t* stack;   // flood fill seeds (x, y pairs)
    int stack_cap;    // pairs
    std::mutex* mem;  // held around every counted allocation off the main thread
};

// --- Flood fill: every 255 pixel 4-connected to the seed becomes 0 ---

void stack_push(Renderer* r, int* n, int x, int y) {
    if (*n == r->stack_cap) {
        std::lock_guard<std::mutex> lock(*r->mem);
        r->stack_cap *= 2;
        r->stack = (int32_t*)io_mem_realloc(r->stack, sizeof(int32_t) * 2 * (size_t)r->stack_cap);
    }
    r->stack[2 * *n] = x;
    r->stack[2 * *n + 1] = y;
    (*n)++;
}

void flood_clear(Renderer* r, int x0, int y0, int x1, int y1, int sx, int sy) {
    uint8_t* c = r->c1;
    const int w = r->cw;
    int n = 0;
    stack_push(r, &n, sx, sy);
    while (n > 0) {
        n--;
        const int x = r->stack[2 * n], y = r->stack[2 * n + 1];
        uint8_t* row = c + y * w;
        if (row[x] != 255) continue;
        int l = x, rr = x;
        while (l > x0 && row[l - 1] == 255)
            l--;
        while (rr < x1 && row[rr + 1] == 255)
            rr++;
        std::memset(row + l, 0, (size_t)(rr - l + 1));
        for (int ny = y - 1; ny <= y + 1; ny += 2) {
            if (ny < y0 || ny > y1) continue;
            const uint8_t* nrow = c + ny * w;
            for (int i = l; i <= rr; i++) {
                if (nrow[i] != 255) continue;
                stack_push(r, &n, i, ny);
                while (i <= rr && nrow[i] == 255)
                    i++;
            }
        }
    }
}

// --- Regions and images ---

// The smallest rectangle of non-zero bytes of a w-wide buffer inside `in`; false when none.
bool nonzero_box(const uint8_t* p, int w, PixelBox in, PixelBox* out) {
    PixelBox b = {in.x1 + 1, in.y1 + 1, in.x0 - 1, in.y0 - 1};
    for (int y = in.y0; y <= in.y1; y++) {
        const uint8_t* row = p + y * w;
        int x = in.x0;
        while (x <= in.x1 && !row[x])
            x++;
        if (x > in.x1) continue;
        int e = in.x1;
        while (!row[e])
            e--;
        if (x < b.x0) b.x0 = x;
        if (e > b.x1) b.x1 = e;
        if (y < b.y0) b.y0 = y;
        b.y1 = y;
    }
    *out = b;
    return b.x1 >= b.x0;
}

PixelBox grow(PixelBox a, int by, int w, int h) {
    PixelBox g = {a.x0 - by, a.y0 - by, a.x1 + by, a.y1 + by};
    if (g.x0 < 0) g.x0 = 0;
    if (g.y0 < 0) g.y0 = 0;
    if (g.x1 > w - 1) g.x1 = w - 1;
    if (g.y1 > h - 1) g.y1 = h - 1;
    return g;
}

Image* new_image(Renderer* r, int w, int h, int kind) {
    std::lock_guard<std::mutex> lock(*r->mem);
    return img_create(w, h, kind);
}

// The blur radius of sigma (the kernel alone, leaving the sigma img_blur_copy uses alone).
int blur_reach(double sigma) { return img_blur_kernel(sigma, nullptr, 0); }

// Copies the canvas rectangle `src` (of c1) into c2 as a buffer of region `reg` (zeros beyond
// src) and blurs it. Returns the region's width.
int blur_from_canvas(Renderer* r, PixelBox src, PixelBox reg, double sigma) {
    const int rw = reg.x1 - reg.x0 + 1, rh = reg.y1 - reg.y0 + 1;
    uint8_t* out = r->c2;
    std::memset(out, 0, (size_t)rw * rh);
    for (int y = src.y0; y <= src.y1; y++)
        std::memcpy(out + (y - reg.y0) * rw + (src.x0 - reg.x0), r->c1 + y * r->cw + src.x0,
                    (size_t)(src.x1 - src.x0 + 1));
    ImageView view{};
    view.width = rw, view.height = rh, view.kind = IMG_8BIT, view.pixels = out, view.pitch = rw;
    const size_t need = img_blur_scratch_size(&view, sigma);
    if (r->blur_size < need) {
        std::lock_guard<std::mutex> lock(*r->mem);
        io_mem_free(r->blur);
        r->blur = io_mem_alloc(need);
        r->blur_size = need;
    }
    img_blur_in(&view, sigma, r->blur);
    return rw;
}

// --- The steps of one shape ---

// Traces the four edges clockwise into c1.
void trace_edges(Renderer* r, const int32_t* corners, const int32_t* types) {
    const int ox = g_constants.originX, oy = g_constants.originY;
    trace_begin(&r->traced, r->c1, r->cw, r->ch);
    CurvePoint pts[MAX_CONTROLPOINTS];
    for (int i = 0; i < 4; i++) {
        const int j = (i + 1) % 4;
        const int n = curve_get_into(types[i] & 255, pts);
        curve_map(pts, n, corners[2 * i] + ox, corners[2 * i + 1] + oy, corners[2 * j] + ox,
                  corners[2 * j + 1] + oy);
        trace_chain(&r->traced, (const double*)pts, n);
    }
}

// Clears the outside; returns the window worked in: the traced box plus a ring that nothing
// touched, or the whole canvas when the box reaches its border.
PixelBox clear_outside(Renderer* r) {
    const TraceCanvas& t = r->traced;
    const int cw = r->cw, ch = r->ch;
    if (t.right >= 0 && t.left >= 1 && t.top >= 1 && t.right <= cw - 2 && t.bottom <= ch - 2) {
        const PixelBox win = {t.left - 1, t.top - 1, t.right + 1, t.bottom + 1};
        flood_clear(r, win.x0, win.y0, win.x1, win.y1, win.x0, win.y0);
        return win;
    }
    flood_clear(r, 0, 0, cw - 1, ch - 1, 0, 0);
    return {0, 0, cw - 1, ch - 1};
}

// Straight border edges end the piece exactly on the grid line.
void clear_beyond_straight_edges(Renderer* r, const int32_t* corners, const int32_t* types, PixelBox win) {
    const int ox = g_constants.originX, oy = g_constants.originY;
    for (int i = 0; i < 4; i++) {
        if ((types[i] & 127) != 0) continue;
        const int j = (i + 1) % 4;
        const int ax = corners[2 * i] + ox, ay = corners[2 * i + 1] + oy;
        const int bx = corners[2 * j] + ox, by = corners[2 * j + 1] + oy;
        PixelBox clear = win;
        if (ay == by) {
            if (i == 2)
                clear.y0 = ay > clear.y0 ? ay : clear.y0;
            else
                clear.y1 = ay - 1 < clear.y1 ? ay - 1 : clear.y1;
        } else if (ax == bx) {
            if (i == 1)
                clear.x0 = ax > clear.x0 ? ax : clear.x0;
            else
                clear.x1 = ax - 1 < clear.x1 ? ax - 1 : clear.x1;
        } else {
            continue;
        }
        for (int y = clear.y0; y <= clear.y1; y++)
            if (clear.x1 >= clear.x0)
                std::memset(r->c1 + y * r->cw + clear.x0, 0, (size_t)(clear.x1 - clear.x0 + 1));
    }
}

// The mask's rectangle; a shape with no pixel left takes the whole canvas, filled with 255, and
// the window grows to it.
PixelBox crop_mask(Renderer* r, PixelBox* win) {
    PixelBox m;
    if (!nonzero_box(r->c1, r->cw, *win, &m)) {
        *win = {0, 0, r->cw - 1, r->ch - 1};
        std::memset(r->c1, 255, (size_t)r->cw * r->ch);
        m = *win;
    }
    return m;
}

// The shadow: the mask blurred, at 75 percent, cropped into out->shadow (none when nothing is
// left of it).
void render_shadow(Renderer* r, PixelBox m, PieceShape* out) {
    const double sigma = g_constants.shadowSigma;
    const PixelBox reg = grow(m, blur_reach(sigma), r->cw, r->ch);
    const int rw = blur_from_canvas(r, m, reg, sigma);
    const int rh = reg.y1 - reg.y0 + 1;
    for (int i = 0; i < rw * rh; i++)
        r->c2[i] = (uint8_t)(r->c2[i] * SHADOW_SCALE / 255);
    PixelBox s;
    if (!nonzero_box(r->c2, rw, {0, 0, rw - 1, rh - 1}, &s)) return;
    const int sw = s.x1 - s.x0 + 1, sh = s.y1 - s.y0 + 1;
    Image* shadow = new_image(r, sw, sh, IMG_8BIT);
    uint8_t* dst = (uint8_t*)shadow + shadow->colourOffset;
    for (int y = 0; y < sh; y++)
        std::memcpy(dst + y * sw, r->c2 + (s.y0 + y) * rw + s.x0, (size_t)sw);
    out->shadow = shadow;
    out->shadowX = s.x0 + reg.x0 - g_constants.originX - out->pieceX;
    out->shadowY = s.y0 + reg.y0 - g_constants.originY - out->pieceY;
}

// The normal code of canvas pixel (x, y) from the blurred heights around it (height(x, y)).
template <class Height>
int relief_normal(const Height& height, int x, int y, double depth) {
    const int C = height(x, y), L = height(x - 1, y), U = height(x, y - 1);
    if (L - C == 0 && C - U == 0) return 0;
    const int Rt = height(x + 1, y), D = height(x, y + 1);
    const double n1x = depth * (L - C) / 127, n1y = depth * (C - U) / 127;
    const double n2x = depth * (C - Rt) / 127, n2y = depth * (D - C) / 127;
    return normal_encode((n1x + n2x) / 2, (n1y + n2y) / 2, (1.0 + 1.0) / 2);
}

// The piece image: the relief from the blurred heights merged with the coverage of the mask.
Image* render_relief(Renderer* r, PixelBox m) {
    const int mw = m.x1 - m.x0 + 1, mh = m.y1 - m.y0 + 1;
    Image* piece = new_image(r, mw, mh, IMG_16BIT);
    uint16_t* codes = (uint16_t*)((uint8_t*)piece + piece->colourOffset);
    const double sigma = g_constants.reliefSigma;
    const int reach = blur_reach(sigma);
    const PixelBox reg = grow(m, reach > 1 ? reach : 1, r->cw, r->ch);
    const int rw = blur_from_canvas(r, m, reg, sigma);
    const int rh = reg.y1 - reg.y0 + 1;
    auto height = [&](int x, int y) -> int {
        x -= reg.x0, y -= reg.y0;
        x = x < 0 ? 0 : (x >= rw ? rw - 1 : x);
        y = y < 0 ? 0 : (y >= rh ? rh - 1 : y);
        return r->c2[y * rw + x];
    };
    for (int v = 0; v < mh; v++) {
        const uint8_t* mask = r->c1 + (m.y0 + v) * r->cw + m.x0;
        uint16_t* row = codes + v * mw;
        for (int u = 0; u < mw; u++) {
            const int mv = mask[u];
            if (mv == 0) {
                row[u] = 0;
                continue;
            }
            const int n = relief_normal(height, m.x0 + u, m.y0 + v, g_constants.reliefDepth);
            row[u] = (uint16_t)(mv == 255 && n == 0 ? PIECE_CODE_FLAT : n * 32 + mv / 8);
        }
    }
    return piece;
}

// Renders one outline into *out (whose images must be none).
void render_outline(Renderer* r, const int32_t* corners, const int32_t* types, PieceShape* out) {
    *out = {};
    trace_edges(r, corners, types);
    PixelBox win = clear_outside(r);
    clear_beyond_straight_edges(r, corners, types, win);
    const PixelBox m = crop_mask(r, &win);
    out->pieceX = m.x0 - g_constants.originX;
    out->pieceY = m.y0 - g_constants.originY;
    render_shadow(r, m, out);
    out->piece = render_relief(r, m);
    // Back to 255 for the next shape.
    for (int y = win.y0; y <= win.y1; y++)
        std::memset(r->c1 + y * r->cw + win.x0, 255, (size_t)(win.x1 - win.x0 + 1));
}

// --- Renderers and threads ---

Renderer renderer_for(uint8_t* c1, uint8_t* c2) {
    Renderer r{};
    r.c1 = c1;
    r.c2 = c2;
    r.cw = g_constants.canvasWidth;
    r.ch = g_constants.canvasHeight;
    r.stack_cap = 1024;
    r.stack = (int32_t*)io_mem_alloc(sizeof(int32_t) * 2 * (size_t)r.stack_cap);
    r.mem = &g_mem_lock;
    return r;
}

void renderer_release(Renderer* r) {
    io_mem_free(r->blur);
    io_mem_free(r->stack);
}

void check_types(const int32_t* types) {
    int count;
    for (int i = 0; i < 4; i++)
        (void)curve_get(types[i] & 255, &count);  // fatal when out of range
}

int thread_count(int threads, int count) {
    if (threads <= 0) threads = (int)std::thread::hardware_concurrency();
    if (threads > 8) threads = 8;
    if (threads > count) threads = count;
    return threads < 1 ? 1 : threads;
}

// Renders outlines[0..count) into first[0..count) on the renderers' threads (renderer 0 is this
// thread's), telling step how many are done, in order, on this thread.
void render_on_threads(Renderer* rs, int threads, const int32_t* outlines48, int count, PieceShape* first,
                       void (*step)(int done)) {
    std::atomic<int> next{0};
    std::atomic<uint8_t>* done = new std::atomic<uint8_t>[count];
    for (int i = 0; i < count; i++)
        done[i].store(0, std::memory_order_relaxed);
    auto work = [&](Renderer* r, bool report) {
        int reported = 0;
        for (;;) {
            const int i = next.fetch_add(1);
            if (i >= count) break;
            const int32_t* o = outlines48 + 12 * i;
            render_outline(r, o, o + 8, &first[i]);
            done[i].store(1, std::memory_order_release);
            if (report && step) {  // progress in order, on this thread
                while (reported < count && done[reported].load(std::memory_order_acquire))
                    reported++;
                std::lock_guard<std::mutex> lock(g_mem_lock);
                step(reported);
            }
        }
    };
    std::thread pool[8];
    for (int t = 1; t < threads; t++)
        pool[t] = std::thread(work, &rs[t], false);
    work(&rs[0], true);
    for (int t = 1; t < threads; t++)
        pool[t].join();
    delete[] done;
}

}  // namespace

// --- Rendering ---

void shape_canvas_prepare(int width, int height) {
    shape_canvas_free();
    if (width < 1 || height < 1 || width > 4096 || height > 4096)
        io_fatal("shape_canvas_prepare: size out of range (%i x %i)\n", width, height);
    const double s = width < 150 ? width : 150;
    g_constants.shadowSigma = s * 0.05;
    g_constants.liftHeight = (int)(s * 0.047619047619047616 + 0.5);
    if (g_constants.liftHeight < 1) g_constants.liftHeight = 1;
    g_constants.reliefSigma = (s / 30) / 3;
    if (g_constants.reliefSigma < 0.5) g_constants.reliefSigma = 0.5;
    g_constants.reliefDepth = s < 100 ? s / 30 : s * (s / 30) / 75;
    g_constants.canvasWidth = 4 * width;
    g_constants.canvasHeight = 4 * height;
    g_constants.originX = (4 * width - width) / 2;
    g_constants.originY = (4 * height - height) / 2;
    g_canvas[0] = img_create(g_constants.canvasWidth, g_constants.canvasHeight, IMG_8BIT);
    g_canvas[1] = img_create(g_constants.canvasWidth, g_constants.canvasHeight, IMG_8BIT);
    img_fill(g_canvas[0], 255);
    img_fill(g_canvas[1], 0);
}

void shape_canvas_free() {
    io_mem_free(g_canvas[0]);
    io_mem_free(g_canvas[1]);
    g_canvas[0] = g_canvas[1] = nullptr;
}

const ShapeConstants* shape_constants() { return &g_constants; }

void shape_render(const int32_t* corners, const int32_t* types, int count) {
    IO_ASSERT(count == 4);
    IO_ASSERT(g_canvas[0] != nullptr);
    if (g_shape_filled >= g_shape_count) io_fatal("shape_render: the shape table is full\n");
    check_types(types);
    Renderer r =
        renderer_for((uint8_t*)g_canvas[0] + IMG_HEADER_SIZE, (uint8_t*)g_canvas[1] + IMG_HEADER_SIZE);
    render_outline(&r, corners, types, &g_shapes[g_shape_filled]);
    renderer_release(&r);
    g_shape_filled++;
}

void shape_render_many(const int32_t* outlines48, int count, int threads, void (*step)(int done)) {
    IO_ASSERT(g_canvas[0] != nullptr);
    if (count <= 0) return;
    if (g_shape_filled + count > g_shape_count) io_fatal("shape_render: the shape table is full\n");
    for (int i = 0; i < count; i++)
        check_types(outlines48 + 12 * i + 8);
    threads = thread_count(threads, count);

    // Renderer 0 works in the two canvases; every other thread gets a pair of its own.
    const size_t canvas = (size_t)g_constants.canvasWidth * g_constants.canvasHeight;
    Renderer rs[8];
    uint8_t* scratch[8] = {};
    rs[0] = renderer_for((uint8_t*)g_canvas[0] + IMG_HEADER_SIZE, (uint8_t*)g_canvas[1] + IMG_HEADER_SIZE);
    for (int t = 1; t < threads; t++) {
        scratch[t] = (uint8_t*)io_mem_alloc(2 * canvas);
        std::memset(scratch[t], 255, canvas);
        rs[t] = renderer_for(scratch[t], scratch[t] + canvas);
    }
    render_on_threads(rs, threads, outlines48, count, g_shapes + g_shape_filled, step);
    if (step) step(count);

    for (int t = 0; t < threads; t++)
        renderer_release(&rs[t]);
    for (int t = 1; t < threads; t++)
        io_mem_free(scratch[t]);
    g_shape_filled += count;
}
