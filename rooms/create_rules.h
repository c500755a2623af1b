// rooms/create_rules.h -- the create room's rules, apart from its windows: the picture area,
// fitting and sizing the picture, the piece-size range, the recommended screen and the info text.
#pragma once
#include "base/rect.h"
#include "puzzle/box.h"

inline constexpr int CREATE_PICTURE_MIN = 40;  // a side below this is refused (text 431)

// The picture area for a screen: centred, 28 from the top, screen width - 20 by height - 80.
Rect create_picture_area(int screenWidth, int screenHeight);
// Where a width x height picture lies on that screen: centred in the area.
Rect create_picture_rect(int screenWidth, int screenHeight, int width, int height);
// width x height scaled down, proportions kept, to fit areaWidth x areaHeight; a picture that
// fits keeps its size.
void create_fit(int width, int height, int areaWidth, int areaHeight, int* fitWidth, int* fitHeight);
// The size slider: tall mode (the slider sets the height) when the picture is at most as wide as
// high, its range from imported height x 40 / imported width up to the largest height; wide mode
// sets the width, from imported width x 40 / imported height up to the largest width. The
// largest size is the picture's own (a picture larger than the screen is played on a larger
// table); the room starts at the size fitted to the screen.
struct CreateSizeSlider {
    int tall;  // 1: the slider sets the height
    int minimum, maximum;
};
CreateSizeSlider create_size_slider(int importedWidth, int importedHeight, int largestWidth,
                                    int largestHeight);
// The picture size for slider value v (integer division, as the slider's mode says).
void create_size_at(int importedWidth, int importedHeight, int tall, int value, int* width, int* height);
// The piece-size range's top: min(width, height) / 2, never below BOX_PIECE_SIZE_MIN.
int create_piece_size_max(int width, int height);
// --- Choosing the piece count ---
// The pieces slider walks the distinct cuts a picture allows rather than every pixel of piece
// size: one step for each piece count, from the most pieces to the fewest, each at the largest
// piece size that gives its count (that leaves the least of the picture out).
inline constexpr int CREATE_STEPS_MAX = 4096;
// Cuts of more pieces than this are not offered (a large picture plays on a table larger than the
// screen, but ten thousand pieces are as many as a player wants).
inline constexpr int CREATE_PIECES_MAX = 10000;
// A new picture starts with pieces at least this many pixels across, where it can.
inline constexpr int CREATE_PIECE_COMFORT = 40;
// The steps for a width x height picture, piece sizes ascending (counts descending, none above
// CREATE_PIECES_MAX unless even the largest pieces give more); their number (at least 1).
int create_piece_steps(int width, int height, int* sizes, int max);
// The step whose cut has the same columns and rows as pieceSize gives (the nearest one for a
// size outside the range).
int create_step_of(const int* sizes, int count, int width, int height, int pieceSize);
// The first step whose pieces are CREATE_PIECE_COMFORT pixels or more; the last when none is.
int create_default_step(const int* sizes, int count);

// --- What the grid leaves out ---
// The cut is centred: what is left over on each side, in pixels.
struct CreateMargins {
    int left, right, top, bottom;
};
CreateMargins create_margins(int width, int height, int pieceSize);
// The nearest settings at which the grid covers the whole picture: with canResize, a picture
// size from the size slider's range (the proportions kept to within half a percent) and a piece
// size near the current one; else only a piece size that divides both sides. 1 with them in
// *out (pieceSize, width, height); 0 when there are none (or the grid leaves nothing out).
struct CreateGridFit {
    int pieceSize, width, height;
};
int create_fit_grid(int importedWidth, int importedHeight, const CreateSizeSlider& slider, int width,
                    int height, int pieceSize, int canResize, CreateGridFit* out);

// --- Texts ---
// The pieces window's line: piece size, columns x rows and their product (text 444).
void create_pieces_text(int width, int height, int pieceSize, char* out, int size);
// The picture window's line: width x height in pixels (text 425).
void create_size_text(int width, int height, char* out, int size);

// The first of the six standard screens whose play area (width - 20, height - 80) holds the
// picture; 0 when none does.
int create_recommended_screen(int width, int height, int* screenWidth, int* screenHeight);
// The info window's text for a box name and its record; empty when there is no picture
// (record->width == 0). When the grid leaves part of the picture out, a line says how many
// pixels each side loses (text 414).
void create_info_text(const char* name, const BoxRecord* record, char* out, int size);
