// puzzle/game.cpp -- starting a game (box, picture, cut or cut cache, quick save or scatter,
// the ghost desk) and ending it (turns finished, carried pieces dropped, time added, saved).
#include "puzzle/game.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "image/pic.h"
#include "platform/io_debug.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "puzzle/drag.h"
#include "puzzle/finish.h"
#include "puzzle/grid.h"
#include "puzzle/piece.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/stack.h"
#include "puzzle/vec.h"
#include "puzzle/view.h"

namespace {

constexpr int GHOST_ALPHA = 128;  // strength of the picture on the ghost desk

const char* g_cut_how = "";  // how the open game's cut came about, for the log

void set_textures(PlayPiece* p) {
    const PieceShape& s = play_state.shapes[p->shape];
    const double pw = s.piece ? s.piece->width - 1 : 0, ph = s.piece ? s.piece->height - 1 : 0;
    const double sw = s.shadow ? s.shadow->width - 1 : 0, sh = s.shadow ? s.shadow->height - 1 : 0;
    const double piece[4][2] = {{0, 0}, {pw, 0}, {pw, ph}, {0, ph}};
    const double shadow[4][2] = {{0, 0}, {sw, 0}, {sw, sh}, {0, sh}};
    std::memcpy(p->pieceTexture, piece, sizeof piece);
    std::memcpy(p->shadowTexture, shadow, sizeof shadow);
}

// The view the ghost desk of a large table was made for.
TableView g_ghost_view;

// The ghost desk of a large table: the desk background with the grid region of the picture at
// half strength where it lies on the table, the middle of the table, as the view shows it (from
// the picture's level nearest to a texel a pixel).
void ghost_table_build() {
    const TableView& v = play_state.view;
    g_ghost_view = v;
    const int size = play_state.record.pieceSize;
    const int gw = (play_state.record.width / size) * size, gh = (play_state.record.height / size) * size;
    const int mx = (play_state.record.width - gw) / 2, my = (play_state.record.height - gh) / 2;
    const int ox = (v.tableWidth - gw) / 2, oy = (v.tableHeight - gh) / 2;
    int level = 0;
    while (level < SHAPE_LEVELS && v.zoom * (1 << (level + 1)) <= 1.0 / 0.7)
        level++;
    const Image* pic = piece_picture_level(level);
    if (!pic) return;
    const uint8_t* pixels = (const uint8_t*)pic + pic->colourOffset;
    uint8_t* desk = (uint8_t*)play_state.ghostDesk + play_state.ghostDesk->colourOffset;
    double x0, y0, x1, y1;
    view_to_screen(v, ox, oy, &x0, &y0);
    view_to_screen(v, ox + gw, oy + gh, &x1, &y1);
    const int left = std::max(0, (int)std::ceil(x0)),
              right = std::min(play_state.deskWidth, (int)std::ceil(x1));
    const int top = std::max(0, (int)std::ceil(y0)),
              bottom = std::min(play_state.deskHeight, (int)std::ceil(y1));
    const double step = 1.0 / (v.zoom * (1 << level));  // level texels a screen pixel
    for (int y = top; y < bottom; y++) {
        const int ty = std::min(pic->height - 1, (int)(((y - v.y) / v.zoom - oy + my) / (1 << level)));
        const uint8_t* src = pixels + (ptrdiff_t)ty * pic->colourPitch;
        uint8_t* dst = desk + (ptrdiff_t)y * play_state.ghostDesk->colourPitch;
        const double tx0 = ((left - v.x) / v.zoom - ox + mx) / (1 << level);
        for (int x = left; x < right; x++) {
            const int tx = std::min(pic->width - 1, (int)(tx0 + (x - left) * step));
            for (int c = 0; c < 3; c++) {
                uint8_t& d = dst[x * 3 + c];
                d = (uint8_t)((src[tx * 3 + c] * GHOST_ALPHA + d * (256 - GHOST_ALPHA)) >> 8);
            }
        }
    }
}

// The ghost desk: the desk background with the grid region of the picture at half strength,
// centred on the desk (on a large table, where the view shows the middle of the table).
void ghost_desk_build() {
    io_mem_free(play_state.ghostDesk);
    play_state.ghostDesk = img_create(play_state.deskWidth, play_state.deskHeight, IMG_24BIT);
    img_fill(play_state.ghostDesk, 0x404040);
    if (play_hooks.deskBackground) play_hooks.deskBackground(play_state.ghostDesk);
    if (play_state.bigTable) {
        ghost_table_build();
        return;
    }
    const int size = play_state.record.pieceSize;
    const int gw = (play_state.record.width / size) * size, gh = (play_state.record.height / size) * size;
    const int mx = (play_state.record.width - gw) / 2, my = (play_state.record.height - gh) / 2;
    const int ox = (play_state.deskWidth - gw) / 2, oy = (play_state.deskHeight - gh) / 2;
    uint8_t* desk = (uint8_t*)play_state.ghostDesk + play_state.ghostDesk->colourOffset;
    for (int y = 0; y < gh; y++) {
        const int dy = oy + y;
        if (dy < 0 || dy >= play_state.deskHeight) continue;
        const uint8_t* src = play_state.pixels + (ptrdiff_t)(my + y) * play_state.pitch + (ptrdiff_t)mx * 3;
        uint8_t* dst = desk + (ptrdiff_t)dy * play_state.ghostDesk->colourPitch;
        for (int x = 0; x < gw; x++) {
            const int dx = ox + x;
            if (dx < 0 || dx >= play_state.deskWidth) continue;
            for (int c = 0; c < 3; c++) {
                uint8_t& d = dst[dx * 3 + c];
                d = (uint8_t)((src[x * 3 + c] * GHOST_ALPHA + d * (256 - GHOST_ALPHA)) >> 8);
            }
        }
    }
}

// The cut's pieces into a fresh piece table.
void fill_from_cut(const CutPiece* cut, int count) {
    pieces_alloc(count);
    for (int i = 0; i < count; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.homeX = cut[i].homeX;
        p.homeY = cut[i].homeY;
        p.shape = cut[i].shape;
        p.neighbourCount = cut[i].neighbourCount;
        std::memcpy(p.neighbours, cut[i].neighbours, sizeof p.neighbours);
    }
}

// A fresh cut of the picture; 0 when it gives no pieces.
int cut_afresh() {
    CutPiece* cut = pieces_cut(&play_state.record);
    if (!cut) return 0;
    fill_from_cut(cut, play_state.record.pieceCount);
    io_mem_free(cut);
    play_state.shapes = shapes_table();
    play_state.shapeCount = shapes_count();
    play_state.liftHeight = shape_constants()->liftHeight;
    return play_state.pieceCount > 0 && play_state.shapeCount > 0;
}

// Everything a game holds, released; the state is closed afterwards.
void game_release() {
    finish_stop();
    pieces_free();
    shapes_free();
    play_state.shapes = nullptr;
    play_state.shapeCount = 0;
    piece_set_picture(nullptr);
    io_mem_free(play_state.picture);
    play_state.picture = nullptr;
    play_state.pixels = nullptr;
    io_mem_free(play_state.ghostDesk);
    play_state.ghostDesk = nullptr;
    play_state.bigTable = 0;
    play_state.open = 0;
}

// Settings a cut can be made from: a piece size of at least 1 that leaves at least one piece.
int record_playable(const BoxRecord& r) {
    return !r.isLink && r.pieceSize > 0 && r.width / r.pieceSize > 0 && r.height / r.pieceSize > 0;
}

// The picture's pixel address and pitch for drawing, and the piece count from the cut.
void take_cut() {
    play_state.pixels = (uint8_t*)play_state.picture + play_state.picture->colourOffset;
    play_state.pitch = play_state.picture->colourPitch;
    play_state.shapes = shapes_table();
    play_state.shapeCount = shapes_count();
    play_state.record.pieceCount = play_state.pieceCount;
}

// The table for the cut: the desk when the cut fits the play area, else a larger one with the
// view showing it whole.
void make_table() {
    const BoxRecord& r = play_state.record;
    const int size = r.pieceSize;
    int tw, th;
    play_state.bigTable = view_table_size((r.width / size) * size, (r.height / size) * size, size,
                                          play_state.deskWidth, play_state.deskHeight, &tw, &th);
    play_state.view = view_make(tw, th, play_state.deskWidth, play_state.deskHeight);
}

// The puzzle's load steps after the box was read; 0 when it cannot be played. The picture is cut
// at the box's own size, whatever the desk: a cut larger than the play area gets a larger table.
int game_load() {
    play_state.firstLifted = -1;
    play_state.picture = pic_load_jpeg_image(BOX_PICTURE_FILE);
    if (!play_state.picture || (play_state.picture->kind & 15) != IMG_24BIT) return 0;
    // The picture decides the size, whatever a hand-made box claims.
    play_state.record.width = play_state.picture->width;
    play_state.record.height = play_state.picture->height;
    if (!record_playable(play_state.record)) return 0;
    const long long need =
        game_memory_estimate(play_state.record, play_state.deskWidth, play_state.deskHeight);
    if (need > GAME_MEMORY_MAX) {
        io_log("game: %s would need about %lld MiB; it is not opened\n", play_state.name, need >> 20);
        return 0;
    }
    box_clear_work_files(BOX_ALL & ~BOX_TUNE);
    g_cut_how = "from the cut cache";
    if (!cutcache_read(play_state.name, &play_state.stamp)) {
        g_cut_how = "afresh";
        if (!cut_afresh()) return 0;
        (void)cutcache_write(play_state.name, &play_state.stamp);
    }
    take_cut();
    make_table();
    return 1;
}

// The saved game to take up, and where this game is kept: in the box's quick save, unless that
// holds the game of another cut (an older game of the picture shrunk to a desk) or cannot be
// read; then beside it, in "full", so neither is ever written over. 1 when a game was restored.
int take_up_save() {
    char base[PATH_MAX_GAME], own[PATH_MAX_GAME];
    const int named = quicksave_path(base, sizeof base, play_state.name) &&
                      quicksave_full_path(own, sizeof own, play_state.name);
    play_state.saveProblem = GAME_SAVE_OK;
    play_state.savePath[0] = 0;
    if (!named) return 0;
    const FileStamp* stamp = &play_state.stamp;
    const int found = quicksave_probe(base, stamp);
    if (found == QS_FITS) {
        std::snprintf(play_state.savePath, sizeof play_state.savePath, "%s", base);
        return quicksave_read_at(base, stamp, &play_state.info);
    }
    if (found == QS_UNREADABLE) {
        io_log("game: the saved game %s cannot be read; it is left as it is\n", base);
        play_state.saveProblem = GAME_SAVE_UNREADABLE;
    }
    const int beside = found == QS_OTHER_CUT || found == QS_UNREADABLE;
    const int own_fits = quicksave_probe(own, stamp) == QS_FITS;
    // The base is free (missing or damaged) unless a game of this cut is already kept beside it.
    std::snprintf(play_state.savePath, sizeof play_state.savePath, "%s", beside || own_fits ? own : base);
    if (beside) io_log("game: this cut's game is kept as %s\n", own);
    return own_fits && quicksave_read_at(own, stamp, &play_state.info);
}

// A game saved when the picture was shrunk to fit a smaller desk has as many pieces as the cut at
// the box's own size and lies where it lay, relative to the middle: each group is laid anew around
// its named member as the picture has its pieces at this size, so joined pieces fit again (a group
// laid out at this size already stays exactly as it is). Homes do not hold the shape offsets yet.
void relay_groups() {
    const PlayPiece* pieces = play_state.pieces;
    auto home = [&](int i, int* x, int* y) {
        const PieceShape& s = play_state.shapes[pieces[i].shape];
        *x = pieces[i].homeX + s.pieceX, *y = pieces[i].homeY + s.pieceY;
    };
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& m = play_state.pieces[i];
        if (m.group == -1 || m.group == i) continue;
        const PlayPiece& g = pieces[m.group];
        int mx, my, gx, gy;
        home(i, &mx, &my);
        home(m.group, &gx, &gy);
        const int angle = angle_normal(g.angle / 90 * 90);  // as the settling will leave it
        vec_turn(mx - gx, my - gy, angle, &m.x, &m.y);
        m.x += g.x, m.y += g.y;
        m.angle = angle;
    }
}

// Writes the game where it is kept.
int save_game() {
    if (play_state.savePath[0] &&
        quicksave_write_at(play_state.savePath, &play_state.stamp, &play_state.info)) {
        play_state.saveProblem = GAME_SAVE_OK;
        return 1;
    }
    play_state.saveProblem = io_error_is_disk_full(io_last_error()) ? GAME_SAVE_DISK_FULL : GAME_SAVE_FAILED;
    io_log("game: the game could not be saved in %s (error %d)\n", play_state.savePath, io_last_error());
    return 0;
}

// What was opened and how, and where the piece on top lies (the desktop benchmark carries it).
void log_opened() {
    const PlayPiece& top = play_state.pieces[play_state.top];
    io_log("game: %s open: %d pieces on a %dx%d table, cut %s; the top piece lies at %d %d\n",
           play_state.name, play_state.pieceCount, play_table_width(), play_table_height(), g_cut_how,
           (top.screenQuad.left + top.screenQuad.right) / 2,
           (top.screenQuad.top + top.screenQuad.bottom) / 2);
}

}  // namespace

int game_save_problem() { return play_state.saveProblem; }

int game_start(const char* name) {
    if (play_state.open) game_end();
    std::snprintf(play_state.name, sizeof play_state.name, "%s", name ? name : "");
    if (play_state.deskWidth <= 0 || play_state.deskHeight <= 0) {
        play_state.deskWidth = screen.width;
        play_state.deskHeight = screen.height;
    }
    if (!box_read(play_state.name, &play_state.stamp, &play_state.record, BOX_ALL)) return 0;
    if (!game_load()) {
        box_clear_work_files(BOX_ALL & ~BOX_TUNE);  // the tune stays as after any load, until shutdown
        game_release();
        return 0;
    }

    play_state.pictureZoom = play_state.pictureZoomChosen = 0;
    play_state.viewRead = 0;
    play_state.scattered = !take_up_save();
    if (play_state.scattered) {
        pieces_scatter();
        saveinfo_clear(&play_state.info);
    } else if (play_state.bigTable && !play_state.viewRead) {
        relay_groups();  // a game saved before this table existed, perhaps of a shrunk picture
    }
    pieces_settle();
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.homeX += play_state.shapes[p.shape].pieceX;
        p.homeY += play_state.shapes[p.shape].pieceY;
        set_textures(&p);
    }
    piece_set_picture(play_state.picture);
    play_state.open = 1;

    log_opened();
    play_state.sessionMs = 0;
    play_state.carryRigid = 0;
    play_state.changed = 0;
    play_state.playedMs = 0;
    return 1;
}

int game_end(int (*retry)()) {
    if (!play_state.open) return 1;
    finish_skip();  // a finished picture still gliding is saved at its place
    pieces_finish_turns();
    (void)pieces_drop();
    for (int i = 0; i < play_state.pieceCount; i++)
        play_state.pieces[i].selected = 0;
    if (play_state.info.percent < 100) play_state.info.elapsedSeconds += play_state.sessionMs / 1000;
    int saved = save_game();
    while (!saved && retry && retry())
        saved = save_game();
    game_release();
    return saved;
}

int game_open() { return play_state.open; }

long long game_memory_estimate(const BoxRecord& r, int deskWidth, int deskHeight) {
    if (r.pieceSize <= 0 || r.width <= 0 || r.height <= 0) return 0;
    const long long size = r.pieceSize, columns = r.width / size, rows = r.height / size;
    // The picture, 3 bytes a pixel, and its halved levels (a third more).
    const long long picture = (long long)r.width * r.height * 3 * 4 / 3;
    // A shape's images reach a quarter of a piece beyond its cell (knobs, bevel, shadow): 2 bytes
    // of code and 1 of shadow a pixel, a quarter more for their levels.
    const long long side = size * 3 / 2;
    const long long pieces = columns * rows * (side * side * 3 * 5 / 4 + (long long)sizeof(PlayPiece) + 64);
    // The free-room grids span the table in cells of up to 8 pixels: a byte and a sum each, two of them.
    int tw = 0, th = 0;
    view_table_size((int)(columns * size), (int)(rows * size), (int)size, deskWidth, deskHeight, &tw, &th);
    const long long cell = std::clamp(side * 3 / 4 / 8, 2LL, 8LL);
    const long long grids = (long long)tw * th / (cell * cell) * 5 * 2;
    return picture + pieces + grids;
}

void game_desk_resized(int width, int height) {
    if (play_state.open && play_state.bigTable) {
        // The table stays; the view shows as much of it as before, within the new limits.
        play_state.deskWidth = width;
        play_state.deskHeight = height;
        play_state.view.screenWidth = width;
        play_state.view.screenHeight = height;
        view_limit(&play_state.view);
        pieces_view_changed();
        io_mem_free(play_state.ghostDesk);
        play_state.ghostDesk = nullptr;
        return;
    }
    const int dx = width / 2 - play_state.deskWidth / 2, dy = height / 2 - play_state.deskHeight / 2;
    play_state.deskWidth = width;
    play_state.deskHeight = height;
    if (!play_state.open) return;
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.x += dx, p.y += dy, p.anchorX += dx, p.anchorY += dy;
        p.pivotX += dx, p.pivotY += dy, p.turnAnchorX += dx, p.turnAnchorY += dy;
        p.moved = 1;
    }
    play_state.mouseX += dx, play_state.mouseY += dy;
    pieces_keep_on_desk();
    // Every rectangle anew: a piece that did not move may still have been cut off by the old edge.
    pieces_rects_all();
    pieces_touch();
    io_mem_free(play_state.ghostDesk);  // made again at the new size when next shown
    play_state.ghostDesk = nullptr;
    play_state.changed = 1;
}

const Image* game_ghost_desk() {
    if (!play_state.open) return nullptr;
    const TableView& v = play_state.view;
    if (play_state.bigTable && play_state.ghostDesk &&
        (v.zoom != g_ghost_view.zoom || v.x != g_ghost_view.x || v.y != g_ghost_view.y))
        ghost_desk_build();  // the view moved
    if (!play_state.ghostDesk) ghost_desk_build();
    return play_state.ghostDesk;
}

int game_autosave() {
    if (!play_state.open) return 0;
    // The live pieces, stacking ends and summary are kept aside and put back afterwards, so the
    // player's turns and carried pieces go on as if nothing happened.
    const size_t bytes = (size_t)play_state.pieceCount * sizeof(PlayPiece);
    PlayPiece* live = (PlayPiece*)io_mem_alloc(bytes);
    std::memcpy(live, play_state.pieces, bytes);
    const int bottom = play_state.bottom, top = play_state.top;
    const SaveInfo info = play_state.info;
    const int pendingDx = play_state.pendingDx, pendingDy = play_state.pendingDy;

    pieces_finish_turns();
    (void)pieces_drop();
    if (play_state.info.percent < 100) play_state.info.elapsedSeconds += play_state.sessionMs / 1000;
    const int ok = save_game();

    std::memcpy(play_state.pieces, live, bytes);
    io_mem_free(live);
    play_state.bottom = bottom, play_state.top = top;
    stack_changed();
    play_state.info = info;
    play_state.pendingDx = pendingDx, play_state.pendingDy = pendingDy;
    if (ok) play_state.changed = 0;
    return ok;
}

int game_tick(int framePeriod) {
    if (!play_state.open) return 0;
    pieces_tick();
    play_state.playedMs += framePeriod > 0 ? framePeriod : 0;
    // Play time counts ticks: none come while the game's window is inactive or minimised.
    if (play_state.info.percent < 100) play_state.sessionMs += framePeriod > 0 ? framePeriod : 0;
    // While the finished picture glides its pieces lie turned part-way: saved at the next tick.
    if (play_state.playedMs < AUTOSAVE_MS || finish_phase() == FINISH_MOVING) return 0;
    play_state.playedMs = 0;
    // A save that failed leaves the layout changed, so the next period tries again.
    return play_state.changed && !game_autosave();
}
