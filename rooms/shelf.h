// rooms/shelf.h -- the shelf of boxes: every box of the puzzles folder as a small framed picture
// with its drop shadow on the store room's free-form area. The list of boxes, loading a box (from
// its shelf preview, else from its picture, writing the preview), the arrangement kept in
// config.ini between runs, drawing with badges and the progress wedge (only what changed is
// redrawn), and the pointer: select, Ctrl-toggle, drag, rubber band, double click.
//
// Every box comes from outside: a box that cannot be read is left off the shelf; a damaged
// preview is made again from the picture; a damaged quick save shows the box without progress.
#pragma once
#include <cstdint>

#include "image/img.h"
#include "puzzle/box.h"
#include "puzzle/save.h"

inline constexpr int SHELF_THUMBNAIL_SIDE = 80;  // thumbnails fit 80 x 80, keeping proportions
inline constexpr int SHELF_DOUBLE_CLICK_MS = 500;
inline constexpr int SHELF_DOUBLE_CLICK_SLACK = 2;  // pixels in x and in y

// One box on the shelf; owned by the shelf list, freed when it leaves the shelf.
struct ShelfBox {
    char name[BOX_NAME_MAX];  // the box file's name without ".pzl"
    FileStamp stamp;          // read from the box file
    SaveInfo summary;         // the quick save's summary; all zero without a quick save
    BoxRecord record;
    int isNew;          // the box had no valid preview when loaded: the new-box label
    int width, height;  // size on the shelf
    Image* thumbnail;   // the picture fitted into 80 x 80 (a link box: its own size, fitted to the screen)
    BoxShadow shadow;   // the preview file's shadow record
    Image* largeMask;   // drop shadow at distance 6 (while dragged), IMG_8BIT
    Image* smallMask;   // drop shadow at distance 2 (resting), IMG_8BIT
    Image* progressOverlay;  // the wedge while 1..99 percent joined, else null
    int x, y;                // top-left corner on the screen
    int selected;
    int dragging;
    int drawnX, drawnY, drawnSelected, drawnDragging;  // the state last drawn
    int dragX, dragY;                                  // position while dragging
    int dirty;                                         // redraw even if nothing above changed
    int arranged;                                      // placed by the saved arrangement
    char* description;                                 // Windows-1252 text or null
    char* address;                                     // Windows-1252 text or null
    ShelfBox* next;                                    // the box below (towards the tail)
    ShelfBox* previous;                                // the box above (towards the head)
};

// --- The list ---
// The screen the shelf covers; before anything is loaded (a shelf loaded before is freed).
void shelf_init(int screenWidth, int screenHeight);
// Start-up: the boxes of "BOXNAMES"/"BOXPOSS" in key order (positions scaled from the previous
// run's screen size and clamped; a box that cannot be read is skipped; the first key missing in
// either section ends the list), then every other box of the puzzles folder at a random place.
void shelf_load_all(int oldWidth, int oldHeight);
// Loads box `name` onto the head at a random place; null when it cannot be read (nothing is
// added). A name already on the shelf gives that box.
ShelfBox* shelf_load(const char* name);
ShelfBox* shelf_find(const char* name);  // letters a..z compared ignoring case; null when none
ShelfBox* shelf_head();                  // top-most, null when the shelf is empty
ShelfBox* shelf_tail();                  // bottom-most
int shelf_count();
// Selected boxes over the whole shelf; *single gets the one when exactly one is selected.
int shelf_selected_count(ShelfBox** single);
void shelf_select(ShelfBox* box, int selected);  // marks it dirty; a newly selected box goes to the head
void shelf_deselect_all();

// --- Files (the four files of a box: box file, cut cache, quick save, preview) ---
// Renames every file of the box and takes the new name; 1 done. 0 when the box file could not be
// renamed (nothing changed) or a later file failed (the renamed ones are put back).
int shelf_rename(ShelfBox* box, const char* newName);
// Deletes the quick save, cut cache, preview and box file, then removes the box from the shelf and
// frees it; 1 done. 0 when the box file could not be deleted: the box stays on the shelf.
int shelf_delete(ShelfBox* box);
// Writes the box anew under its own name from the record and the working files, with a new stamp;
// its quick save, cut cache and preview go (play starts anew). The entry is read again in the
// same place and selection, without the new-box label; the old pointer is gone. Null when the
// write failed, or the new box could not be read back and the old one was put back: the box, its
// files and the entry stay as they were. (Where the old box could not be put back either, the new
// one stays on disk under the old entry, which is returned.)
ShelfBox* shelf_resave(ShelfBox* box, const BoxRecord* record);
// After a game: reads the summary again and remakes the wedge; a box finished for the first time
// with a hidden picture clears the flag in memory and in its file and shows its thumbnail.
void shelf_refresh(ShelfBox* box);
// Deletes the quick save, zeroes the summary, remakes the wedge, redraws (not for a link box).
void shelf_reset(ShelfBox* box);
// Program end: the arrangement into config.ini, bottom-most first under "0", "1", ...
void shelf_save_layout();
void shelf_free();  // every box
// The arrangement's two sections for a puzzles folder: "BOXNAMES" and "BOXPOSS" for the game's
// own "puzzles" (letters a..z in any case, also as "./puzzles/" or inside `start`); any other
// folder has sections of its own, "BOXNAMES <folder>" and "BOXPOSS <folder>", so a start with
// -path never touches the player's arrangement.
inline constexpr int LAYOUT_SECTION_MAX = PATH_MAX_GAME + 16;
void shelf_layout_sections(const char* folder, const char* start, char* names, char* places, int size);
// A box file's name the shelf cannot use, made usable: control characters, '\' and '/' become '_',
// cut to whole UTF-8 characters within BOX_NAME_MAX - 1 bytes; an empty name becomes "Box".
void shelf_usable_name(const char* name, char* out, int size);
// Box files whose names could not be made usable (the puzzles folder cannot be changed): their
// number, and the last one's name as it would be shown; for the store room to tell the player.
int shelf_unusable_files(const char** lastName);

// --- Geometry ---
void shelf_clamp(ShelfBox* box);  // fully on the screen
// The screen took a new size: every box's place is rescaled from the old size, as a start on a new
// screen size rescales the saved arrangement, and clamped.
void shelf_screen_resized(int oldWidth, int oldHeight, int width, int height);
// Where the wedge for p percent ends on the border of a w x h thumbnail (clockwise from the top
// edge's middle); 0 for p outside 1..99 or an end outside the thumbnail.
int shelf_wedge_end(int width, int height, int percent, int* endX, int* endY);
// The progress wedge for p percent over a w x h thumbnail (IMG_8BIT, io_mem); null for p outside
// 1..99 or when the wedge's end falls outside the image.
Image* shelf_progress_overlay(int width, int height, int percent);

// --- Drawing (called from the store room's window) ---
// Before painting: dragged boxes take their drag positions; the old and the new rectangle of
// every box whose position, selection or dragging changed, or that is dirty, are invalidated.
void shelf_invalidate_changes();
// Draws the folder path when the folder is not "puzzles", the resting boxes tail to head, then
// the dragged ones; only the dirty cells are written. The room draws the background first.
void shelf_paint();
// The screen rectangle a box's drawing covers (shadow, badge, label included).
void shelf_box_extent(const ShelfBox* box, int* x, int* y, int* width, int* height);

// --- The hover label: the name and piece count of the box under the pointer, beside it ---
void shelf_set_hover(ShelfBox* box);  // null: none; drawn anew on the next paint
ShelfBox* shelf_hover();
// The label's text: the name as the screen shows it (Windows-1252, odd characters as '?') and,
// for a puzzle, text 136 with its piece count on a second line.
void shelf_label_text(const ShelfBox* box, char* out, int size);

// --- Pointer ---
enum ShelfAction {
    SHELF_NONE,   // nothing more to do
    SHELF_DRAG,   // the selected boxes are being dragged: capture the mouse
    SHELF_BAND,   // begin a rubber band
    SHELF_START,  // double click on a box: start it (the box is *hit)
};
// A left press at (x, y); ctrl when the event's Ctrl bit is set; now in ms. *hit gets the
// top-most box under the pointer (null on empty space), for the info window.
int shelf_button_down(int x, int y, int ctrl, uint32_t now, ShelfBox** hit);
void shelf_drag_motion(int dx, int dy);  // adds the pointer's movement to every dragged box
void shelf_drag_end();                   // the drag positions become the positions, clamped
// The band ended with this screen rectangle: deselect all unless Ctrl, then toggle every box
// whose centre lies inside (left and top edges inside, right and bottom outside).
void shelf_band_end(int x, int y, int width, int height, int ctrl);
ShelfBox* shelf_box_at(int x, int y);  // top-most box under the point, or null
void shelf_forget_click();             // the next press is never a double click
