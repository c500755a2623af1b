// gui/ge.h -- the skin: the 36 colours, frames, title bars, skin pictures, bevels, the colour
// primitives, the tinted background and every room's top bar.
//
// Frame elements, title bars, skin pictures and bevelled boxes are drawn relative to the drawing
// origin, which the window manager sets to the window being drawn; the colour primitives take
// screen coordinates. Everything draws through the dirty cells and the clip rectangle.
#pragma once
#include <cstdint>

#include "base/event.h"
#include "image/img.h"
#include "platform/io_gdi.h"

inline constexpr int GE_COLOUR_COUNT = 36;
inline constexpr int GE_PICTURE_COUNT = 49;
inline constexpr int GE_FRAME_TILE_COUNT = 25;   // the same on both sheets
inline constexpr int GE_TITLE_PIECE_COUNT = 10;  // on sheet B

// Skin pictures of sheet A. Where a picture has a second look (lit under the pointer, pressed,
// ticked or chosen) it is the next number.
inline constexpr int GE_PICTURE_TICK = 0;   // tick box
inline constexpr int GE_PICTURE_RADIO = 2;  // radio button
inline constexpr int GE_PICTURE_ZOOM = 4;   // icon strips: zoom step s (0..4) is GE_PICTURE_ZOOM + 2 s
inline constexpr int GE_PICTURE_HELP = 14;  // icon strips: help
inline constexpr int GE_PICTURE_EYE = 16;   // icon strips: the ghost desk
inline constexpr int GE_PICTURE_UNROLL = 18, GE_PICTURE_ROLL_UP = 20, GE_PICTURE_CLOSE = 22;  // title bars
inline constexpr int GE_PICTURE_SLIDER_LEFT = 24, GE_PICTURE_SLIDER_RIGHT = 26, GE_PICTURE_SLIDER_THUMB = 28;
inline constexpr int GE_PICTURE_PROGRESS_BLOCK = 30;
// The slider track: its left end, its middle (33 the lit middle) and its right end.
inline constexpr int GE_PICTURE_TRACK_START = 31, GE_PICTURE_TRACK = 32, GE_PICTURE_TRACK_END = 34;
inline constexpr int GE_PICTURE_ROTATION = 35;  // a shelf box's rotation mark; 36 rotation on
inline constexpr int GE_PICTURE_FINISHED = 37, GE_PICTURE_STARTED = 38;  // shelf badges
inline constexpr int GE_PICTURE_HIDDEN = 39;     // the shelf's placeholder of a hidden picture
inline constexpr int GE_PICTURE_LOOK_MARK = 40;  // the gallery view's centre in mouse look
// The round buttons of the rooms' panels and the shared boxes; OK and save are one picture.
inline constexpr int GE_PICTURE_ROOM_HELP = 41, GE_PICTURE_CANCEL = 43;
inline constexpr int GE_PICTURE_OK = 45, GE_PICTURE_SAVE = 45;
inline constexpr int GE_PICTURE_CORNER = 47;  // the top bar's minimise corner

// Skin colour numbers used across the toolkit.
inline constexpr int GE_BUTTON_TEXT = 8, GE_BUTTON_TEXT_INACTIVE = 9, GE_BUTTON_TEXT_HOVER = 10;
inline constexpr int GE_BUTTON_TEXT_SHADOW = 11, GE_TRACKBAR_TEXT = 12, GE_TRACKBAR_TEXT_SHADOW = 13;
inline constexpr int GE_TITLE_TEXT = 14, GE_TITLE_TEXT_SHADOW = 15, GE_EDIT_TEXT = 16;
inline constexpr int GE_EDIT_BACKGROUND = 17, GE_MSGBOX_TEXT = 18, GE_MSGBOX_TEXT_SHADOW = 19;
inline constexpr int GE_ROOM_TITLE_BAR = 27, GE_SELECTION = 30;

void ge_init(const char* skinFile);  // caches the sheets, reads the colours (missing: fatal)
const char* ge_skin_file();          // the skin file given to ge_init (its other sections' readers)
void ge_done();
int ge_colour(int n);  // 0x00RRGGBB or -1 (transparent)

void ge_set_origin(int x, int y);
void ge_origin(int* x, int* y);

// Frame element e over (x, y, w, h): bit 1 sheet B, bits 2/4/8/16 the corner choice, 32 the
// centre tile only, 64 no centre.
void ge_draw_element(int element, int x, int y, int width, int height);
// The tiles an element is cut from (frame tile numbers 0..24, -1 when not drawn).
struct GeElementTiles {
    int sheetB;      // 1: sheet B, 0: sheet A
    int centreOnly;  // bit 32: the centre tile over everything, nothing else
    int topLeft, topRight, bottomLeft, bottomRight;
    int top, bottom, left, right;
    int centre;  // 11, or -1 with bit 64
};
void ge_element_tiles(int element, GeElementTiles* out);
void ge_draw_title_bar(int x, int y, int width, int raisable, int rollUp, int close);
// A title bar's pieces left to right: piece number (sheet B) and the span x .. xEnd it covers
// (the middle piece is tiled over its span). Returns the count (at most GE_TITLE_PIECES_MAX).
inline constexpr int GE_TITLE_PIECES_MAX = 8;
struct GeTitlePiece {
    int piece, x, xEnd;
};
int ge_title_bar_layout(int x, int width, int raisable, int rollUp, int close, GeTitlePiece* out);
void ge_draw_picture(int n, int x, int y);  // skin picture n of sheet A
void ge_picture_size(int n, int* width, int* height);
// The sheets' layout, which the pack builder draws them by: skin picture n on sheet A, frame tile
// t on either sheet, title-bar piece p on sheet B; empty at 0, 0 for a number out of range.
Rect ge_picture_rect(int n);
Rect ge_frame_tile_rect(int tile);
Rect ge_title_piece_rect(int piece);
void ge_draw_slider_track(int x, int y, int width);
void ge_bevel_box(int x, int y, int width, int height);  // one-pixel sunken outline
// Frame element e drawn as coverage (the sheet's alpha) into an 8-bit image, for shadows.
void ge_shape_mask(Image* mask, int element, int x, int y, int width, int height);

// Colour primitives, screen coordinates; a colour of -1 draws nothing.
void ge_set_fill(int colour);
void ge_fill_rect(int x, int y, int width, int height);
void ge_set_pen(int style, int colour);  // a GdiPenStyle (platform/io_gdi.h)
void ge_line(int x0, int y0, int x1, int y1);
void ge_rectangle(int x, int y, int width, int height);

// The background: the tinted picture repeated over the screen, shaded top to bottom.
void ge_background_build();  // "BackGround" of config.ini, else the skin's "Color" (fatal if neither)
void ge_background_draw();
void ge_background_free();
// The background into an image of the screen's kind from its top-left, as the screen shows it;
// rows or columns beyond the background stay unchanged.
void ge_background_copy(Image* image);
// The gamma ramp of row y of `rows`: table[v] is the integer part of (v / 255)^e * 255 with
// e = top + (bottom - top) / rows * y; an exponent of exactly 1 leaves every value.
void ge_gradient_table(double top, double bottom, int rows, int y, uint8_t table[256]);

// The top bar of every room: title bar colour, logo, room title, game title, minimise corner.
inline constexpr int GE_TOP_BAR_HEIGHT = 20;  // pixels, along the screen's top edge
void ge_set_game_title(const char* text);     // drawn at the right end (the product title)
void ge_set_room_title(const char* text);
void ge_draw_top_bar();
// The kernel hands it every event that no window consumed: hover and press of the corner.
int ge_corner_event(KernelEvent* event);
// Small white text with a black shadow at y 22, centred on centreX; empty draws nothing.
void ge_draw_status(const char* text, int centreX);
