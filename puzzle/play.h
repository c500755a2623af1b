// puzzle/play.h -- one game in memory: the piece records, the game-wide state, the one hook the
// play room installs (the desk background), and the game's own random generator. Starting and ending a game
// is puzzle/game.h; the piece table, layout, ticks and drawing layers puzzle/pieces.h; the
// stacking order puzzle/stack.h; groups puzzle/group.h; the percent joined puzzle/progress.h.
//
// Positions are table pixels (puzzle/view.h): a piece's position is where the top-left pixel of its
// unrotated image lies; the image turns about that point (positive angles counter-clockwise on
// the screen). While the table is the desk (every cut that fits the play area) table pixels are
// the desk's screen pixels. Pieces are referred to by index; -1 means none.
#pragma once
#include <cstdint>

#include "image/img.h"
#include "puzzle/box.h"
#include "puzzle/piece.h"
#include "puzzle/save.h"
#include "puzzle/shape.h"
#include "puzzle/view.h"

struct PlayPiece {
    PieceQuad screenQuad;  // rectangle (inclusive, clamped to the desk) and corners; right -1: off the desk
    PieceQuad shadowQuad;  // the same for the shadow; right -1: no shadow shown
    double pieceTexture[4][2];   // (0, 0), (w - 1, 0), (w - 1, h - 1), (0, h - 1) of the piece image
    double shadowTexture[4][2];  // the same of the shadow image
    int32_t x, y;                // position
    int32_t lift;                // 0 resting, else the lift height while carried
    int32_t angle;               // degrees 0..359
    int32_t drawnX, drawnY, drawnLift, drawnAngle;  // what the rectangles were computed for
    int32_t homeX, homeY;                           // the piece image's top-left in the picture
    int32_t shape;                                  // index into the shape table
    int32_t selected;                               // flag
    int32_t needsRedraw;                            // flag
    int32_t prev, next;        // stacking order neighbours (below, above), -1 at the ends
    int32_t anchorX, anchorY;  // carried position before the turn is applied
    int32_t moved;             // flag: carried in the drag that just ended
    int32_t carried;           // flag
    int32_t turning;           // +1 counter-clockwise, -1 clockwise, 0 not turning
    int32_t turnStartAngle;
    int32_t pivotX, pivotY;            // the table point the turn goes about
    int32_t turnAnchorX, turnAnchorY;  // the anchor when the turn began
    int32_t turnRequest;               // +1, -1 or 0, taken up on the next tick
    int32_t group;                     // -1 loose, else the index of one of the group's pieces
    int32_t mark;                      // scratch of the group passes
    int32_t neighbourCount;            // 0..4
    int32_t neighbours[4];             // above, left, below, right where they exist
};

// What the engine cannot know of the layers above it, installed by the play room at start-up.
// A null hook does nothing.
struct PlayHooks {
    void (*deskBackground)(Image* desk);  // paints the skin's desk background into the ghost desk
};
extern PlayHooks play_hooks;

struct PlayState {
    int open;                 // a game is open (between game_start and game_end)
    char name[BOX_NAME_MAX];  // names the save files
    FileStamp stamp;          // of the box file
    BoxRecord record;         // settings (pieceSize, width, height as cut)
    Image* picture;           // 24-bit, the pieces' pixels
    uint8_t* pixels;          // picture's top-left pixel
    int32_t pitch;            // picture's bytes per row
    int32_t pieceCount;
    PlayPiece* pieces;  // pieceCount records
    int32_t shapeCount;
    PieceShape* shapes;             // the shape table (puzzle/shape.h)
    int32_t bottom, top;            // ends of the stacking order
    int32_t liftHeight;             // pixels a carried piece is lifted
    int32_t sessionMs;              // ms played since game start (the play room's ticks)
    SaveInfo info;                  // elapsed seconds, date, percent, piece count
    int32_t pendingDx, pendingDy;   // mouse motion summed since the last tick, table pixels
    int32_t mouseX, mouseY;         // pointer on the table (turns go about it)
    int32_t deskWidth, deskHeight;  // the screen size; 0 until the play room sets them
    int32_t firstLifted;            // first lifted piece met by the resting layer, -1 none
    Image* ghostDesk;               // desk background with the faint picture, desk-sized
    int32_t changed;                // the layout changed since the quick save was last written
    char savePath[PATH_MAX_GAME];   // where this game is kept
    int32_t saveProblem;            // GameSaveProblem of the last save, or of the saved game read
    int32_t playedMs;               // play since the last autosave check
    int32_t pictureZoom;            // the picture window's size step the player chose for this box
    int32_t pictureZoomChosen;      // flag: pictureZoom holds a choice (else the room's default)
    int32_t carryRigid;             // the carried pieces are a selection, moved as one rigid set
    int32_t scattered;              // this game started on a freshly scattered desk
    int32_t bigTable;               // the table is larger than the desk: `view` shows part of it
    TableView view;                 // the table and the view onto it, when bigTable
    int32_t viewRead;               // the saved game taken up kept the view of this large table
};
extern PlayState play_state;

// The table's size: the desk's while the table is the desk.
inline int play_table_width() {
    return play_state.bigTable ? play_state.view.tableWidth : play_state.deskWidth;
}
inline int play_table_height() {
    return play_state.bigTable ? play_state.view.tableHeight : play_state.deskHeight;
}

// --- The game's own copy of the C library generator (x = x * 214013 + 2531011; 0..32767),
// never seeded by the game: it starts from seed 1 in every run ---
int play_rand();
void play_rand_seed(uint32_t seed);
