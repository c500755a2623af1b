// puzzle/play.h -- one game in memory: the piece table, the stacking order, groups of joined
// pieces and the game-wide state; starting a game from a box, keeping every piece's screen
// rectangles current for redrawing, advancing carried and turning pieces each tick, the two
// drawing layers of the desk, and ending a game (which saves it).
//
// Positions are screen pixels of the desk: a piece's position is where the top-left pixel of its
// unrotated image lies; the image turns about that point (positive angles counter-clockwise on
// the screen). Pieces are referred to by index; -1 means none.
#pragma once
#include <cstdint>

#include "image/img.h"
#include "puzzle/box.h"
#include "puzzle/piece.h"
#include "puzzle/save.h"
#include "puzzle/shape.h"

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
    int32_t pivotX, pivotY;            // the screen point the turn goes about
    int32_t turnAnchorX, turnAnchorY;  // the anchor when the turn began
    int32_t turnRequest;               // +1, -1 or 0, taken up on the next tick
    int32_t group;                     // -1 loose, else the index of one of the group's pieces
    int32_t mark;                      // scratch of the group passes
    int32_t neighbourCount;            // 0..4
    int32_t neighbours[4];             // above, left, below, right where they exist
};

// The windows, sound and pointer around the desk, plugged in by the play room and the input
// handling; every hook may be null (nothing happens then).
struct PlayHooks {
    void (*pictureWindowBuild)();    // the picture window's image, shown at game start
    void (*pictureWindowHide)();     // hidden-picture boxes start without it
    void (*pictureWindowRelease)();  // game end releases its image
    void (*tunePlay)(const char* path, int repeat);
    void (*tuneStop)();
    void (*showRoom)();                   // title line text 200, the play room becomes current
    void (*dropCarried)();                // the drop with joining; null: carried pieces are just put down
    void (*deskBackground)(Image* desk);  // paints the desk background into the ghost desk
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
    int32_t cutFitted;              // the picture was fitted to the desk: no cut cache
    uint32_t startTick;             // ms at game start
    SaveInfo info;                  // elapsed seconds, date, percent, piece count
    int32_t pendingDx, pendingDy;   // mouse motion summed since the last tick
    int32_t mouseX, mouseY;         // pointer on the desk (turns go about it)
    int32_t deskWidth, deskHeight;  // the screen size; 0 until the play room sets them
    int32_t firstLifted;            // first lifted piece met by the resting layer, -1 none
    Image* ghostDesk;               // desk background with the faint picture, desk-sized
    int32_t ghostVisible;           // flag
};
extern PlayState play_state;

// --- The game's own copy of the C library generator (x = x * 214013 + 2531011; 0..32767),
// never seeded by the game: it starts from seed 1 in every run ---
int play_rand();
void play_rand_seed(uint32_t seed);

// --- Games ---
// Reads the box, loads and fits the picture, takes the cut from the cache or cuts afresh,
// restores the quick save or scatters, settles, and shows the play room. 1 when the game is open,
// 0 when the box could not be played (nothing stays open then).
int game_start(const char* name);
// Finishes turns, drops what is carried, adds the time played, saves, frees the game.
void game_end();

// --- The piece table and stacking order ---
void pieces_alloc(int count);  // all records zero, not stacked (prev, next -1), group -1
void pieces_free();
void stack_raise(int piece);  // to the top; appended when not in the list
void stack_unlink(int piece);
void stack_insert_above(int below, int piece);  // nothing when equal or already directly above
void stack_reset();                             // every piece stacked in index order (the last on top)
int group_size(int piece);                      // 1 for a loose piece

// --- Layout ---
void pieces_scatter();        // a fresh desk (game_start when there is no saved layout)
void pieces_settle();         // after a scatter or a restore
void piece_rects(int piece);  // screen and shadow rectangles for the current values
void progress_update();       // info.percent from the joined neighbour links
void pieces_keep_on_desk();   // pieces with moved set come back onto the desk

// --- Per paint and per tick ---
void pieces_refresh();  // marks changed pieces' old and new areas dirty
void pieces_tick();
void pieces_draw_resting();  // the desk layer, bottom to top, lifted pieces left out
void pieces_draw_carried();  // shadows, then the lifted pieces, above everything
