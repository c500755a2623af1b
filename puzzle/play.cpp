// puzzle/play.cpp -- the open game: starting and ending it, the piece table and stacking order,
// scatter, settling, rectangles, refresh, ticks, keeping pieces on the desk, the percent joined
// and the two drawing layers.
//
// Sections: generator; piece table and stacking; rectangles and layout; games; per paint and
// per tick.
#include "puzzle/play.h"

#include <cmath>
#include <cstring>

#include "image/pic.h"
#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "platform/sys.h"
#include "puzzle/curve.h"
#include "puzzle/grid.h"

PlayHooks play_hooks;
PlayState play_state;

namespace {

constexpr int SCATTER_TOP = 20;   // no piece starts above this line (the title line)
constexpr int TURN_STEP = 9;      // degrees per tick of a turn
constexpr int GHOST_ALPHA = 128;  // strength of the picture on the ghost desk

uint32_t g_rand_state = 1;  // the C library's default seed

PlayState& S = play_state;

int round_away(double v) { return (int)std::lround(v); }

// (x, y) turned about (px, py) by degrees, rounded half away from zero.
void turn_about(int x, int y, int px, int py, int degrees, int* ox, int* oy) {
    double v[2] = {(double)(x - px), (double)(y - py)};
    vec_rotate(v, degrees);
    *ox = px + round_away(v[0]);
    *oy = py + round_away(v[1]);
}

int normal_angle(int a) { return ((a % 360) + 360) % 360; }

// The quad's rectangle made relative to the desk: off the desk marks it (right -1), else it is
// clamped to the desk.
void clamp_to_desk(PieceQuad* q) {
    if (q->bottom < 0 || q->top >= S.deskHeight || q->right < 0 || q->left >= S.deskWidth) {
        q->right = -1;
        return;
    }
    if (q->left < 0) q->left = 0;
    if (q->top < 0) q->top = 0;
    if (q->right >= S.deskWidth) q->right = S.deskWidth - 1;
    if (q->bottom >= S.deskHeight) q->bottom = S.deskHeight - 1;
}

// The piece's area on the screen: its rectangle joined with its shadow's, when shown.
void invalidate_area(const PlayPiece& p) {
    const PieceQuad& a = p.screenQuad;
    const PieceQuad& b = p.shadowQuad;
    int l, t, r, bt;
    if (a.right != -1) {
        l = a.left, t = a.top, r = a.right, bt = a.bottom;
        if (b.right != -1) {
            l = l < b.left ? l : b.left;
            t = t < b.top ? t : b.top;
            r = r > b.right ? r : b.right;
            bt = bt > b.bottom ? bt : b.bottom;
        }
    } else if (b.right != -1) {
        l = b.left, t = b.top, r = b.right, bt = b.bottom;
    } else {
        return;
    }
    screen_invalidate(l, t, r - l + 1, bt - t + 1);
}

// The push that brings the centre of the piece's unclamped rectangle onto the desk.
void desk_push(const PlayPiece& p, int* dx, int* dy) {
    PieceQuad q;
    piece_quad(&S.shapes[p.shape], p.x, p.y, p.angle, 0, 0, &q);
    const int cx = (q.left + q.right) / 2, cy = (q.top + q.bottom) / 2;
    *dx = cx < 0 ? -cx : cx > S.deskWidth ? S.deskWidth - cx : 0;
    *dy = cy < 0 ? -cy : cy > S.deskHeight ? S.deskHeight - cy : 0;
}

void set_textures(PlayPiece* p) {
    const PieceShape& s = S.shapes[p->shape];
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
    io_mem_free(S.ghostDesk);
    S.ghostDesk = img_create(S.deskWidth, S.deskHeight, IMG_24BIT);
    img_fill(S.ghostDesk, 0x404040);
    if (play_hooks.deskBackground) play_hooks.deskBackground(S.ghostDesk);
    const int size = S.record.pieceSize;
    const int gw = (S.record.width / size) * size, gh = (S.record.height / size) * size;
    const int mx = (S.record.width - gw) / 2, my = (S.record.height - gh) / 2;
    const int ox = (S.deskWidth - gw) / 2, oy = (S.deskHeight - gh) / 2;
    uint8_t* desk = (uint8_t*)S.ghostDesk + S.ghostDesk->colourOffset;
    for (int y = 0; y < gh; y++) {
        const int dy = oy + y;
        if (dy < 0 || dy >= S.deskHeight) continue;
        const uint8_t* src = S.pixels + (ptrdiff_t)(my + y) * S.pitch + (ptrdiff_t)mx * 3;
        uint8_t* dst = desk + (ptrdiff_t)dy * S.ghostDesk->colourPitch;
        for (int x = 0; x < gw; x++) {
            const int dx = ox + x;
            if (dx < 0 || dx >= S.deskWidth) continue;
            for (int c = 0; c < 3; c++) {
                uint8_t& d = dst[dx * 3 + c];
                d = (uint8_t)((src[x * 3 + c] * GHOST_ALPHA + d * (256 - GHOST_ALPHA)) >> 8);
            }
        }
    }
}

// The cut's pieces into a fresh piece table.
void pieces_from_cut(const CutPiece* cut, int count) {
    pieces_alloc(count);
    for (int i = 0; i < count; i++) {
        PlayPiece& p = S.pieces[i];
        p.homeX = cut[i].homeX;
        p.homeY = cut[i].homeY;
        p.shape = cut[i].shape;
        p.neighbourCount = cut[i].neighbourCount;
        std::memcpy(p.neighbours, cut[i].neighbours, sizeof p.neighbours);
    }
}

// A fresh cut of the picture; 0 when it gives no pieces.
int cut_afresh() {
    CutPiece* cut = pieces_cut(&S.record);
    if (!cut) return 0;
    pieces_from_cut(cut, S.record.pieceCount);
    io_mem_free(cut);
    S.shapes = shapes_table();
    S.shapeCount = shapes_count();
    S.liftHeight = shape_constants()->liftHeight;
    return S.pieceCount > 0 && S.shapeCount > 0;
}

// Everything a game holds, released; the state is closed afterwards.
void game_release() {
    pieces_free();
    shapes_free();
    S.shapes = nullptr;
    S.shapeCount = 0;
    piece_set_picture(nullptr);
    io_mem_free(S.picture);
    S.picture = nullptr;
    S.pixels = nullptr;
    io_mem_free(S.ghostDesk);
    S.ghostDesk = nullptr;
    S.open = 0;
}

// Settings a cut can be made from: a piece size of at least 1 that leaves at least one piece.
int record_playable(const BoxRecord& r) {
    return !r.isLink && r.pieceSize > 0 && r.width / r.pieceSize > 0 && r.height / r.pieceSize > 0;
}

// The puzzle's load steps after the box was read; 0 when it cannot be played.
int game_load() {
    S.firstLifted = -1;
    S.picture = pic_load_jpeg_image(BOX_PICTURE_FILE);
    if (!S.picture || (S.picture->kind & 15) != IMG_24BIT) return 0;
    // The picture decides the size, whatever a hand-made box claims.
    S.record.width = S.picture->width;
    S.record.height = S.picture->height;
    if (!record_playable(S.record)) return 0;
    S.cutFitted = grid_fit_picture(&S.record, &S.picture, S.deskWidth, S.deskHeight);
    S.pixels = (uint8_t*)S.picture + S.picture->colourOffset;
    S.pitch = S.picture->colourPitch;
    box_clear_work_files(BOX_ALL & ~BOX_TUNE);
    if (S.cutFitted || !cutcache_read(S.name, &S.stamp)) {
        if (!cut_afresh()) return 0;
        if (!S.cutFitted) (void)cutcache_write(S.name, &S.stamp);
    }
    S.shapes = shapes_table();
    S.shapeCount = shapes_count();
    S.record.pieceCount = S.pieceCount;
    return 1;
}

}  // namespace

// Generator --------------------------------------------------------------------------------------

int play_rand() {
    g_rand_state = g_rand_state * 214013u + 2531011u;
    return (int)((g_rand_state >> 16) & 0x7FFF);
}

void play_rand_seed(uint32_t seed) { g_rand_state = seed; }

// Piece table and stacking -----------------------------------------------------------------------

void pieces_alloc(int count) {
    pieces_free();
    IO_ASSERT(count > 0 && count <= CUT_PIECES_MAX);
    S.pieces = (PlayPiece*)io_mem_alloc((size_t)count * sizeof(PlayPiece));
    std::memset(S.pieces, 0, (size_t)count * sizeof(PlayPiece));
    S.pieceCount = count;
    for (int i = 0; i < count; i++) {
        PlayPiece& p = S.pieces[i];
        p.prev = p.next = -1;
        p.group = -1;
        p.screenQuad.right = p.shadowQuad.right = -1;
    }
    S.bottom = S.top = -1;
}

void pieces_free() {
    io_mem_free(S.pieces);
    S.pieces = nullptr;
    S.pieceCount = 0;
    S.bottom = S.top = -1;
}

void stack_unlink(int piece) {
    PlayPiece& p = S.pieces[piece];
    if (p.prev != -1)
        S.pieces[p.prev].next = p.next;
    else if (S.bottom == piece)
        S.bottom = p.next;
    if (p.next != -1)
        S.pieces[p.next].prev = p.prev;
    else if (S.top == piece)
        S.top = p.prev;
    p.prev = p.next = -1;
}

void stack_raise(int piece) {
    if (S.top == piece) return;
    stack_unlink(piece);
    PlayPiece& p = S.pieces[piece];
    p.prev = S.top;
    if (S.top != -1)
        S.pieces[S.top].next = piece;
    else
        S.bottom = piece;
    S.top = piece;
}

void stack_insert_above(int below, int piece) {
    if (below == piece || S.pieces[below].next == piece) return;
    stack_unlink(piece);
    PlayPiece& b = S.pieces[below];
    PlayPiece& p = S.pieces[piece];
    p.prev = below;
    p.next = b.next;
    if (b.next != -1)
        S.pieces[b.next].prev = piece;
    else
        S.top = piece;
    b.next = piece;
}

void stack_reset() {
    S.bottom = S.top = -1;
    for (int i = 0; i < S.pieceCount; i++)
        S.pieces[i].prev = S.pieces[i].next = -1;
    for (int i = 0; i < S.pieceCount; i++)
        stack_raise(i);
}

int group_size(int piece) {
    const int g = S.pieces[piece].group;
    if (g == -1) return 1;
    int n = 0;
    for (int i = 0; i < S.pieceCount; i++)
        n += S.pieces[i].group == g;
    return n;
}

// Rectangles and layout --------------------------------------------------------------------------

void piece_rects(int piece) {
    PlayPiece& p = S.pieces[piece];
    const PieceShape* shape = &S.shapes[p.shape];
    piece_quad(shape, p.x, p.y, p.angle, p.lift, 0, &p.screenQuad);
    clamp_to_desk(&p.screenQuad);
    if (p.lift != 0 && shape->shadow) {
        piece_quad(shape, p.x, p.y, p.angle, p.lift, 1, &p.shadowQuad);
        clamp_to_desk(&p.shadowQuad);
    } else {
        p.shadowQuad.right = -1;
    }
}

void pieces_scatter() {
    const int size = S.record.pieceSize;
    const int top = S.record.rotation ? size + SCATTER_TOP : SCATTER_TOP;
    // A desk smaller than a piece still gets a valid (if crowded) scatter.
    const int wide = S.deskWidth - size > 0 ? S.deskWidth - size : 1;
    const int high = S.deskHeight - size - top > 0 ? S.deskHeight - size - top : 1;
    for (int i = 0; i < S.pieceCount; i++) {
        PlayPiece& p = S.pieces[i];
        p.group = -1;
        p.x = play_rand() % wide;
        p.y = play_rand() % high + top;
        p.lift = 0;
        p.angle = S.record.rotation ? (play_rand() % 4) * 90 : 0;
        stack_raise(i);
    }
    for (int k = 0; k < 2 * S.pieceCount; k++)
        stack_raise(play_rand() % S.pieceCount);
}

void pieces_settle() {
    for (int i = 0; i < S.pieceCount; i++) {
        PlayPiece& p = S.pieces[i];
        p.angle = normal_angle(p.angle / 90 * 90);
        p.needsRedraw = p.selected = p.carried = p.turning = p.turnRequest = 0;
        p.lift = 0;  // nothing is carried, so nothing is lifted
        p.moved = 1;
    }
    pieces_keep_on_desk();
    for (int i = 0; i < S.pieceCount; i++) {
        PlayPiece& p = S.pieces[i];
        piece_rects(i);
        p.drawnX = p.x, p.drawnY = p.y, p.drawnLift = p.lift, p.drawnAngle = p.angle;
    }
    progress_update();
    S.pendingDx = S.pendingDy = 0;
}

void progress_update() {
    long long links = 0, joined = 0;
    for (int i = 0; i < S.pieceCount; i++) {
        const PlayPiece& p = S.pieces[i];
        links += p.neighbourCount;
        for (int k = 0; k < p.neighbourCount; k++)
            joined += p.group != -1 && S.pieces[p.neighbours[k]].group == p.group;
    }
    // A puzzle without links (a single piece) is whole from the start.
    int percent = links ? (int)(joined * 100 / links) : 100;
    if (percent == 0 && joined != 0) percent = 1;
    S.info.percent = percent;
}

void pieces_keep_on_desk() {
    const int n = S.pieceCount;
    // Per group (indexed by its identifier): whether a member moved, and the deciding push.
    struct GroupPush {
        int moved, decided, dx, dy;
        long long length;  // squared push length, -1 before the first member
    };
    GroupPush* groups = (GroupPush*)io_mem_alloc((size_t)n * sizeof(GroupPush));
    for (int g = 0; g < n; g++)
        groups[g] = {0, 0, 0, 0, -1};
    for (int i = 0; i < n; i++) {
        PlayPiece& p = S.pieces[i];
        if (p.group == -1) {
            if (!p.moved) continue;
            int dx, dy;
            desk_push(p, &dx, &dy);
            p.x += dx, p.y += dy;
            p.moved = 0;
        } else if (p.moved) {
            groups[p.group].moved = 1;
        }
    }
    // The member with the smallest push decides (the first on equal lengths; 0 ends the search).
    for (int i = 0; i < n; i++) {
        const PlayPiece& p = S.pieces[i];
        if (p.group == -1) continue;
        GroupPush& g = groups[p.group];
        if (!g.moved || g.decided) continue;
        int dx, dy;
        desk_push(p, &dx, &dy);
        const long long length = (long long)dx * dx + (long long)dy * dy;
        if (g.length < 0 || length < g.length) g.length = length, g.dx = dx, g.dy = dy;
        if (length == 0) g.decided = 1;
    }
    for (int i = 0; i < n; i++) {
        PlayPiece& p = S.pieces[i];
        if (p.group == -1 || !groups[p.group].moved) continue;
        p.x += groups[p.group].dx;
        p.y += groups[p.group].dy;
        p.moved = 0;
    }
    io_mem_free(groups);
}

// Games ------------------------------------------------------------------------------------------

int game_start(const char* name) {
    if (S.open) game_end();
    const int cursor = sys_cursor();
    sys_set_cursor(1);
    std::snprintf(S.name, sizeof S.name, "%s", name ? name : "");
    if (S.deskWidth <= 0 || S.deskHeight <= 0) {
        S.deskWidth = screen.width;
        S.deskHeight = screen.height;
    }
    if (!box_read(S.name, &S.stamp, &S.record, BOX_ALL)) {
        sys_set_cursor(cursor);
        return 0;
    }
    if (!game_load()) {
        box_clear_work_files(BOX_ALL & ~BOX_TUNE);  // the tune stays as after any load, until shutdown
        game_release();
        sys_set_cursor(cursor);
        return 0;
    }

    if (!quicksave_read(S.name, &S.stamp, &S.info)) {
        pieces_scatter();
        saveinfo_clear(&S.info);
    }
    pieces_settle();
    for (int i = 0; i < S.pieceCount; i++) {
        PlayPiece& p = S.pieces[i];
        p.homeX += S.shapes[p.shape].pieceX;
        p.homeY += S.shapes[p.shape].pieceY;
        set_textures(&p);
    }
    piece_set_picture(S.picture);
    S.open = 1;

    if (play_hooks.pictureWindowBuild) play_hooks.pictureWindowBuild();
    ghost_desk_build();
    S.startTick = sys_millis();
    if (S.record.hasTune && play_hooks.tunePlay) play_hooks.tunePlay(BOX_TUNE_FILE, S.record.repeatTune);
    if (S.record.hiddenPicture) {
        if (play_hooks.pictureWindowHide) play_hooks.pictureWindowHide();
        S.ghostVisible = 0;
    }
    sys_set_cursor(cursor);
    if (play_hooks.showRoom) play_hooks.showRoom();
    return 1;
}

void game_end() {
    if (!S.open) return;
    if (S.record.hasTune && play_hooks.tuneStop) play_hooks.tuneStop();
    // A turn in progress is finished at once, about its pivot.
    for (int i = 0; i < S.pieceCount; i++) {
        PlayPiece& p = S.pieces[i];
        if (!p.turning) continue;
        const int turn = 90 * p.turning;
        p.angle = normal_angle(p.turnStartAngle + turn);
        turn_about(p.turnAnchorX, p.turnAnchorY, p.pivotX, p.pivotY, turn, &p.anchorX, &p.anchorY);
        p.x = p.anchorX, p.y = p.anchorY;
        p.turning = p.turnRequest = 0;
    }
    if (play_hooks.dropCarried) {
        play_hooks.dropCarried();
    } else {
        for (int i = 0; i < S.pieceCount; i++) {
            PlayPiece& p = S.pieces[i];
            p.moved = p.carried;
            if (p.carried) p.lift = 0, p.carried = 0, p.anchorX = p.x, p.anchorY = p.y;
        }
        pieces_keep_on_desk();
    }
    for (int i = 0; i < S.pieceCount; i++)
        S.pieces[i].selected = 0;
    if (play_hooks.pictureWindowRelease) play_hooks.pictureWindowRelease();
    if (S.info.percent < 100) S.info.elapsedSeconds += (int32_t)((sys_millis() - S.startTick) / 1000);
    (void)quicksave_write(S.name, &S.stamp, &S.info);
    game_release();
}

// Per paint and per tick -------------------------------------------------------------------------

void pieces_refresh() {
    for (int i = 0; i < S.pieceCount; i++) {
        PlayPiece& p = S.pieces[i];
        const bool added = p.needsRedraw != 0;
        if (added) invalidate_area(p);
        if (p.x != p.drawnX || p.y != p.drawnY || p.lift != p.drawnLift || p.angle != p.drawnAngle) {
            if (!added) invalidate_area(p);
            piece_rects(i);
            invalidate_area(p);
            p.drawnX = p.x, p.drawnY = p.y, p.drawnLift = p.lift, p.drawnAngle = p.angle;
        }
        p.needsRedraw = 0;
    }
}

void pieces_tick() {
    for (int i = 0; i < S.pieceCount; i++) {
        PlayPiece& p = S.pieces[i];
        if (p.turning) {
            p.angle += TURN_STEP * p.turning;
            if (p.angle % 90 == 0) p.turning = 0;
            p.angle = normal_angle(p.angle);
            turn_about(p.turnAnchorX, p.turnAnchorY, p.pivotX, p.pivotY, p.angle - p.turnStartAngle,
                       &p.anchorX, &p.anchorY);
            if (p.carried) {
                p.pivotX += S.pendingDx, p.pivotY += S.pendingDy;
                p.turnAnchorX += S.pendingDx, p.turnAnchorY += S.pendingDy;
            }
            p.x = p.anchorX, p.y = p.anchorY;
        }
        if (p.carried) {
            p.anchorX += S.pendingDx, p.anchorY += S.pendingDy;
            p.x = p.anchorX, p.y = p.anchorY;
        }
        if (!p.turning && p.turnRequest) {
            p.turning = p.turnRequest;
            p.turnRequest = 0;
            p.turnStartAngle = p.angle;
            p.pivotX = S.mouseX, p.pivotY = S.mouseY;
            p.turnAnchorX = p.anchorX, p.turnAnchorY = p.anchorY;
        }
    }
    S.pendingDx = S.pendingDy = 0;
}

void pieces_draw_resting() {
    S.firstLifted = -1;
    for (int i = S.bottom; i != -1; i = S.pieces[i].next) {
        const PlayPiece& p = S.pieces[i];
        if (p.lift != 0) {
            if (S.firstLifted == -1) S.firstLifted = i;
            continue;
        }
        piece_draw(&p.screenQuad, &S.shapes[p.shape], p.homeX, p.homeY, p.angle, p.selected, 0);
    }
}

void pieces_draw_carried() {
    if (S.firstLifted == -1 || !S.pieces) return;
    if (S.shapes[0].shadow)
        for (int i = S.firstLifted; i != -1; i = S.pieces[i].next) {
            const PlayPiece& p = S.pieces[i];
            if (p.lift != 0) piece_draw(&p.shadowQuad, &S.shapes[p.shape], p.homeX, p.homeY, p.angle, 0, 1);
        }
    // The lifted pieces are drawn even when the shapes carry no shadows.
    for (int i = S.firstLifted; i != -1; i = S.pieces[i].next) {
        const PlayPiece& p = S.pieces[i];
        if (p.lift != 0)
            piece_draw(&p.screenQuad, &S.shapes[p.shape], p.homeX, p.homeY, p.angle, p.selected, 0);
    }
}
