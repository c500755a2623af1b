// puzzle/grid.cpp -- the cutting grid (reproducible jitter, edge types), the cut preview, the
// piece outlines with their sharing of shapes, the piece records, and fitting a cut to the desk.
#include "puzzle/grid.h"

#include <cstring>
#include <unordered_map>

#include "base/limits.h"
#include "image/img_scale.h"
#include "platform/io_debug.h"
#include "platform/io_gdi.h"
#include "platform/io_mem.h"
#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/shape.h"

namespace {

GridInfo g_grid;         // the node table of the last grid_build
CutProgress g_progress;  // all null: no progress shown

// The cut's own generator, so a cut comes out the same every time for the same settings.
struct CutRandom {
    uint32_t x;
    int below(int n) {
        if (n <= 0) return 0;
        x = x * 1103515245u + 12345u;
        return (int)((x >> 16) % (uint32_t)n);
    }
};

GridNode& node(int i, int j) { return g_grid.nodes[j * (g_grid.columns + 1) + i]; }

// The outline of the cell at column i, row j.
PieceOutline outline_of(int i, int j) {
    const GridNode* c[4] = {&node(i, j), &node(i + 1, j), &node(i + 1, j + 1), &node(i, j + 1)};
    PieceOutline o;
    for (int k = 0; k < 4; k++) {
        o.corners[2 * k] = c[k]->x - c[0]->x;
        o.corners[2 * k + 1] = c[k]->y - c[0]->y;
    }
    // Bottom and left are walked against their stored direction: mirrored to still match.
    o.types[0] = c[0]->right;
    o.types[1] = c[1]->down;
    o.types[2] = c[3]->right ^ CURVE_MIRROR;
    o.types[3] = c[0]->down ^ CURVE_MIRROR;
    return o;
}

struct OutlineHash {
    size_t operator()(const PieceOutline& o) const {
        uint64_t h = 1469598103934665603ull;
        const uint8_t* p = (const uint8_t*)&o;
        for (size_t i = 0; i < sizeof o; i++)
            h = (h ^ p[i]) * 1099511628211ull;
        return (size_t)h;
    }
};
struct OutlineEqual {
    bool operator()(const PieceOutline& a, const PieceOutline& b) const {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
};

// Settings whatever their source: the node table, the jitter arithmetic and the outlines the
// tracer walks stay in proportion to the picture and the piece count only within these bounds.
bool cut_settings_ok(const BoxRecord& r) {
    // An edge style the curves do not have would reach the fatal path of curve_get.
    const int style = r.edgeStyle & ~CURVE_MIRROR;
    if (style < 0 || style >= CURVE_COUNT) return false;
    // Beyond the picture limits the node table would outgrow any picture the game can hold.
    if (r.width < 1 || r.height < 1 || r.width > PICTURE_SIDE_MAX || r.height > PICTURE_SIDE_MAX ||
        (long long)r.width * r.height > PICTURE_PIXELS_MAX)
        return false;
    // Wider jitter moves corners out of the render canvas and overflows the jitter arithmetic.
    return r.pieceSize > 0 && r.pieceSize <= CUT_SIZE_MAX && r.irregularity >= 0 &&
           r.irregularity <= BOX_IRREGULARITY_MAX;
}

void progress_step(int done) {
    if (g_progress.step) g_progress.step(done);
}

}  // namespace

void grid_set_progress(const CutProgress* progress) { g_progress = progress ? *progress : CutProgress{}; }

// --- The grid ---

void grid_build(BoxRecord* settings) {
    grid_free();
    const int size = settings->pieceSize;
    int columns = 0, rows = 0;
    if (cut_settings_ok(*settings)) {
        columns = settings->width / size;
        rows = settings->height / size;
    }
    if ((long long)columns * rows > CUT_PIECES_MAX) columns = rows = 0;
    g_grid.size = size;
    g_grid.columns = columns;
    g_grid.rows = rows;
    g_grid.marginX = columns ? (settings->width - size * columns) / 2 : 0;
    g_grid.marginY = rows ? (settings->height - size * rows) / 2 : 0;
    settings->pieceCount = columns * rows;

    g_grid.nodes = (GridNode*)io_mem_alloc(sizeof(GridNode) * (size_t)(columns + 1) * (rows + 1));
    CutRandom rng{0xABCD1234u};
    // Refused settings never reach the jitter arithmetic (with columns 0 every node is a border).
    const int d = columns ? settings->irregularity * size / 100 : 0;
    for (int j = 0; j <= rows; j++) {
        for (int i = 0; i <= columns; i++) {
            GridNode& n = node(i, j);
            n.x = size * i;
            n.y = size * j;
            if (d != 0 && i != 0 && i != columns && j != 0 && j != rows) {
                n.x += rng.below(100) * d * 2 / 100 - d;
                n.y += rng.below(100) * d * 2 / 100 - d;
            }
            n.right = n.down = settings->edgeStyle;
            if ((i & 1) != (j & 1)) {  // tabs alternate in a checkerboard
                n.right |= CURVE_MIRROR;
                n.down |= CURVE_MIRROR;
            }
            if (i == 0 || i == columns) n.down = 0;
            if (j == 0 || j == rows) n.right = 0;
        }
    }
}

void grid_free() {
    io_mem_free(g_grid.nodes);
    g_grid = {};
}

const GridInfo* grid_info() { return &g_grid; }

void grid_draw_preview(int x, int y) {
    if (!g_grid.nodes) return;
    io_gdi_set_pen(PEN_SOLID, 0);
    for (int j = 0; j <= g_grid.rows; j++) {
        for (int i = 0; i <= g_grid.columns; i++) {
            const GridNode& n = node(i, j);
            const int ox = x + g_grid.marginX - (i != 0 ? 1 : 0);
            const int oy = y + g_grid.marginY - (j != 0 ? 1 : 0);
            if (i < g_grid.columns) {
                const GridNode& r = node(i + 1, j);
                curve_draw(n.right, n.x + ox, n.y + oy, r.x + ox, r.y + oy);
            }
            if (j < g_grid.rows) {
                const GridNode& b = node(i, j + 1);
                curve_draw(n.down, n.x + ox, n.y + oy, b.x + ox, b.y + oy);
            }
        }
    }
}

// --- The cut ---

int grid_outlines(PieceOutline* outlines, int32_t* shapeOf) {
    IO_ASSERT(g_grid.nodes != nullptr);
    std::unordered_map<PieceOutline, int32_t, OutlineHash, OutlineEqual> index;
    int count = 0;
    for (int j = 0; j < g_grid.rows; j++) {
        for (int i = 0; i < g_grid.columns; i++) {
            const PieceOutline o = outline_of(i, j);
            auto found = index.find(o);
            int32_t shape;
            if (found != index.end()) {
                shape = found->second;
            } else {
                shape = count;
                outlines[count++] = o;
                index.emplace(o, shape);
            }
            shapeOf[j * g_grid.columns + i] = shape;
        }
    }
    return count;
}

CutPiece* pieces_cut(BoxRecord* settings) {
    grid_build(settings);  // never a grid left from other settings (the create room's preview)
    const int columns = g_grid.columns, rows = g_grid.rows, count = columns * rows;
    settings->pieceCount = count;
    shapes_free();
    if (count == 0) {
        grid_free();
        return nullptr;
    }

    PieceOutline* outlines = (PieceOutline*)io_mem_alloc(sizeof(PieceOutline) * (size_t)count);
    int32_t* shapeOf = (int32_t*)io_mem_alloc(sizeof(int32_t) * (size_t)count);
    const int shapes = grid_outlines(outlines, shapeOf);

    shapes_alloc(shapes);
    shape_canvas_prepare(g_grid.size, g_grid.size);
    if (g_progress.begin) g_progress.begin(shapes);
    shape_render_many((const int32_t*)outlines, shapes, 0, progress_step);
    if (g_progress.end) g_progress.end();
    shape_canvas_free();
    io_mem_free(outlines);

    CutPiece* pieces = (CutPiece*)io_mem_alloc(sizeof(CutPiece) * (size_t)count);
    std::memset(pieces, 0, sizeof(CutPiece) * (size_t)count);
    for (int j = 0; j < rows; j++) {
        for (int i = 0; i < columns; i++) {
            CutPiece& p = pieces[j * columns + i];
            p.homeX = node(i, j).x + g_grid.marginX;
            p.homeY = node(i, j).y + g_grid.marginY;
            p.shape = shapeOf[j * columns + i];
            int n = 0;
            if (j > 0) p.neighbours[n++] = (j - 1) * columns + i;
            if (i > 0) p.neighbours[n++] = j * columns + i - 1;
            if (j < rows - 1) p.neighbours[n++] = (j + 1) * columns + i;
            if (i < columns - 1) p.neighbours[n++] = j * columns + i + 1;
            p.neighbourCount = n;
        }
    }
    io_mem_free(shapeOf);
    grid_free();
    return pieces;
}

// --- Fitting the cut to the play area ---

int grid_fit_picture(BoxRecord* settings, Image** picture, int deskWidth, int deskHeight) {
    const int size = settings->pieceSize;
    const int pw = settings->width, ph = settings->height;
    if (size <= 0 || pw <= 0 || ph <= 0) return 0;
    const int areaW = deskWidth - 20, areaH = deskHeight - 80;
    // A desk below 21 x 81 has no play area: a scale factor of 0 or less would leave no picture.
    if (areaW <= 0 || areaH <= 0) return 0;
    if ((pw / size) * size <= areaW && (ph / size) * size <= areaH) return 0;

    const double fx = (double)areaW / pw, fy = (double)areaH / ph;
    const double factor = fx < fy ? fx : fy;
    int nw = (int)(pw * factor), nh = (int)(ph * factor);
    // A very long, thin picture would truncate to no pixels on its short side; one is kept.
    if (nw < 1) nw = 1;
    if (nh < 1) nh = 1;
    int nsize = (int)((long long)size * nw / pw);
    if (nsize < 10) nsize = 10;

    Image* scaled = img_create(nw, nh, IMG_24BIT);
    if (!img_resample_images(scaled, *picture, 1)) {
        io_mem_free(scaled);
        return 0;
    }
    io_mem_free(*picture);
    *picture = scaled;
    settings->pieceSize = nsize;
    settings->width = nw;
    settings->height = nh;
    return 1;
}
