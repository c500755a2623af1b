// rooms/gallery.h -- the gallery: fifty wall places for the pictures of finished puzzles, their
// file "sfiles/gallery.dat", the picture a finished box gives, and the room around the 3-D view.
//
// The file is the tag "GALL", the version, then for each of the 50 slots the 140-byte
// `GallerySlot`, followed by the picture as an IMG image when the slot's first field is not 0.
#pragma once
#include <cstdint>

#include "base/rect.h"
#include "image/img.h"

inline constexpr int GALLERY_SLOTS = 50;
inline constexpr int GALLERY_PICTURE_SIDE = 248;  // pictures are fitted into 248 x 248
inline constexpr int GALLERY_IMAGE_MAX = 256;     // larger images in the file are refused
inline constexpr int GALLERY_FRAME_COLOUR = 35;   // skin colour of the picture's frame
inline constexpr uint32_t GALLERY_VERSION = 1;
inline constexpr char GALLERY_FILE[] = "sfiles/gallery.dat";
inline constexpr char GALLERY_TEMP_FILE[] = "sfiles/a.tmp";
inline constexpr char GALLERY_BAD_FILE[] = "sfiles/gallery.dat.bad";

// One slot, the same in memory and in the file (numbers little-endian).
struct GallerySlot {
    uint32_t present;    // in the file: non-zero when an IMG image follows
    char name[64];       // box name, zero-terminated
    int32_t pieceCount;  // of the box
    int32_t seconds;     // playing time
    char date[64];       // completion date text, zero-terminated
};
static_assert(sizeof(GallerySlot) == 140, "GallerySlot is a file layout");

// The arrangement: the slots, their pictures (owned; null for an empty place) and the holding
// slot, the picture in the player's hand, which is never stored.
struct Gallery {
    GallerySlot slots[GALLERY_SLOTS];
    Image* pictures[GALLERY_SLOTS];
    GallerySlot held;
    Image* heldPicture;
};

// --- The file ---
// A Gallery starts zeroed ({}); this frees every picture and empties every slot.
void gallery_clear(Gallery* gallery);
// Reads the file at path into gallery (cleared first). 1 when the whole file was valid; 0 leaves
// the gallery empty: missing file, another tag, a short file, an image that is not 24-bit or is
// larger than 256 x 256.
int gallery_read(Gallery* gallery, const char* path);
// Writes tag 0, version, slots and images, then the tag, to path; 1 when all of it was written.
int gallery_write(const Gallery* gallery, const char* path);
// The room's reading: "sfiles/gallery.dat"; when it is damaged it is copied to
// "sfiles/gallery.dat.bad" first (so a later save does not destroy it) and the gallery opens empty.
// A file that is there but cannot be read at all (a failing disk) is left as it is, and no save
// replaces it in this run.
int gallery_load(Gallery* gallery);
int gallery_file_unreadable();  // the last load met such a file
// The room's saving: through "sfiles/a.tmp", on the disk before it is renamed over
// "sfiles/gallery.dat"; on failure the temporary file is deleted and the old file stays.
int gallery_save(const Gallery* gallery);

// --- Slots ---
// Swaps the holding slot with place (0..49); 0 for a place outside the table.
int gallery_swap(Gallery* gallery, int place);
void gallery_discard_held(Gallery* gallery);
// The picture a finished box gives: picture (8- or 24-bit) fitted to 248 x 248 keeping its
// proportions (small pictures enlarged), as 24-bit with a one-pixel frame of colour 0x00RRGGBB.
[[nodiscard]] Image* gallery_picture_make(const Image* picture, uint32_t frameColour);
// Info text of a slot for the info window (one line of name and pieces, one of time and date).
void gallery_info_text(char* text, int size, const GallerySlot* slot);
// The holding window's text (name, pieces, time and date on lines of their own).
void gallery_held_text(char* text, int size, const GallerySlot* slot);
// Playing time as "m:ss" or "h:mm:ss".
void gallery_time_text(char* text, int size, int seconds);

// --- The room's windows ---
// Where the view, the holding window and the info window go so that neither of the two covers the
// view or its zoom strip: the largest view step up to `zoom` that leaves them room. Windows that
// already lie clear of the view (and on the screen) stay where they are; otherwise both go below
// the view, else beside it (right, then left). Everything stays below the title line and above
// the row of buttons along the bottom edge. Sizes are whole windows.
struct GalleryLayout {
    int zoom;
    Rect view, hand, info;
};
GalleryLayout gallery_layout(int screenWidth, int screenHeight, int zoom, Rect view, Rect hand, Rect info);

// --- The room ---
// Creates the room's windows and the view (start-up, after the create room); window places
// from "GALLERYROOM". At program end the pictures are freed and the places and zoom saved.
void galleryroom_create();
// The store room's gallery button: the hand empty, the arrangement read (empty when it cannot be
// read), the view reset, the room shown.
void galleryroom_enter();
// The store room's "use picture" into the gallery: the box's picture, fitted and framed, with its
// name, pieces, time and date from the quick-save summary, goes into the hand and the gallery
// opens. 0 when the box or its summary cannot be read (nothing happens).
int galleryroom_add_box(const char* name);
// The slot and picture a box gives; 0 (nothing allocated) without a picture or a summary.
int gallery_slot_from_box(const char* name, GallerySlot* slot, Image** picture);
