// puzzle/game.cpp -- starting a game (box, picture, cut or cut cache, quick save or scatter,
// the ghost desk) and ending it (turns finished, carried pieces dropped, time added, saved).
#include "puzzle/game.h"

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
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/stack.h"

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

// The ghost desk: the desk background with the grid region of the picture at half strength,
// centred on the desk.
void ghost_desk_build() {
    io_mem_free(play_state.ghostDesk);
    play_state.ghostDesk = img_create(play_state.deskWidth, play_state.deskHeight, IMG_24BIT);
    img_fill(play_state.ghostDesk, 0x404040);
    if (play_hooks.deskBackground) play_hooks.deskBackground(play_state.ghostDesk);
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

// A cut fitted to this desk before, read with its fitted picture: nothing to decode or fit.
int load_fitted_cut() {
    if (play_state.record.isLink) return 0;
    Image* picture = nullptr;
    if (!cutcache_read(play_state.name, &play_state.stamp, play_state.deskWidth, play_state.deskHeight,
                       &picture))
        return 0;
    play_state.picture = picture;
    play_state.cutFitted = 1;
    g_cut_how = "fitted, from the cut cache";
    box_clear_work_files(BOX_ALL & ~BOX_TUNE);
    take_cut();
    return 1;
}

// The puzzle's load steps after the box was read; 0 when it cannot be played.
int game_load() {
    play_state.firstLifted = -1;
    if (load_fitted_cut()) return 1;
    play_state.picture = pic_load_jpeg_image(BOX_PICTURE_FILE);
    if (!play_state.picture || (play_state.picture->kind & 15) != IMG_24BIT) return 0;
    // The picture decides the size, whatever a hand-made box claims.
    play_state.record.width = play_state.picture->width;
    play_state.record.height = play_state.picture->height;
    if (!record_playable(play_state.record)) return 0;
    play_state.cutFitted = grid_fit_picture(&play_state.record, &play_state.picture, play_state.deskWidth,
                                            play_state.deskHeight);
    box_clear_work_files(BOX_ALL & ~BOX_TUNE);
    // A fitted cut is kept for the desk size it was fitted to (its cache was tried above).
    g_cut_how = "from the cut cache";
    if (play_state.cutFitted || !cutcache_read(play_state.name, &play_state.stamp)) {
        g_cut_how = play_state.cutFitted ? "fitted, afresh" : "afresh";
        if (!cut_afresh()) return 0;
        if (play_state.cutFitted)
            (void)cutcache_write(play_state.name, &play_state.stamp, play_state.deskWidth,
                                 play_state.deskHeight);
        else
            (void)cutcache_write(play_state.name, &play_state.stamp);
    }
    take_cut();
    return 1;
}

// The saved game to take up, and where this game is kept: in the box's quick save, unless that
// holds the game of another cut (the box played on another desk) or cannot be read; then beside
// it, in the folder of this cut, so neither is ever written over. 1 when a game was restored.
int take_up_save() {
    const int fitted = play_state.cutFitted;
    char base[PATH_MAX_GAME], own[PATH_MAX_GAME];
    const int named = quicksave_path(base, sizeof base, play_state.name) &&
                      (fitted ? quicksave_path(own, sizeof own, play_state.name, play_state.deskWidth,
                                               play_state.deskHeight)
                              : quicksave_full_path(own, sizeof own, play_state.name));
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
    io_log("game: %s open: %d pieces on a %dx%d desk, cut %s; the top piece lies at %d %d\n", play_state.name,
           play_state.pieceCount, play_state.deskWidth, play_state.deskHeight, g_cut_how,
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
    play_state.scattered = !take_up_save();
    if (play_state.scattered) {
        pieces_scatter();
        saveinfo_clear(&play_state.info);
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

void game_desk_resized(int width, int height) {
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
