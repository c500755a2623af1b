// puzzle/save.h -- the two files that carry a game from one run to the next: the quick save
// ("sfiles/qs/NAME.qsv", tag "QICK": the desk layout and a summary the shelf shows) and the cut
// cache ("sfiles/temp/NAME.tmp", tag "TEMP": piece definitions and rendered shapes, so reopening a
// box skips cutting). Both carry the box's stamp; a file of another stamp is foreign.
//
// Both are read as outside data: every count, index and size is checked before it is used, and
// a file that fails any check is refused as a whole (the game then scatters or cuts afresh).
// Both are written through a temporary name and renamed over the old file, tag last.
// Results: 1 success, 0 failure.
#pragma once
#include <cstdint>

#include "image/img.h"
#include "resources/tagfile.h"

inline constexpr uint32_t QUICKSAVE_TAG = file_tag("QICK");
inline constexpr int32_t QUICKSAVE_VERSION = 1;  // written; read but not checked
inline constexpr uint32_t CUTCACHE_TAG = file_tag("TEMP");
inline constexpr int32_t CUTCACHE_VERSION = 125;  // must match when read
inline constexpr char QUICKSAVE_FOLDER[] = "sfiles/qs";
inline constexpr char QUICKSAVE_EXTENSION[] = "qsv";
inline constexpr char CUTCACHE_FOLDER[] = "sfiles/temp";
inline constexpr char CUTCACHE_EXTENSION[] = "tmp";
inline constexpr uint32_t QUICKSAVE_CHUNK_PIECES = 100;  // 20 bytes a piece
inline constexpr uint32_t QUICKSAVE_CHUNK_STACK = 101;   // 4 bytes a piece, bottom first
// 4 bytes: the picture window's size step for this box (0..QUICKSAVE_ZOOM_MAX), written once the
// player chose one. Readers that do not know the chunk skip it; a missing or damaged one reads as
// -1 (the room's default).
inline constexpr uint32_t QUICKSAVE_CHUNK_ZOOM = 102;
inline constexpr int32_t QUICKSAVE_ZOOM_MAX = 4;
// 20 bytes: the view of a large table (puzzle/view.h): the table's width and height, the zoom in
// millionths, and the table point in the middle of the screen (so another screen size shows the
// same place). Written only for a large table. A missing chunk, one of another table, or a view
// that shows nothing sensible reads as the whole table.
inline constexpr uint32_t QUICKSAVE_CHUNK_VIEW = 103;
inline constexpr int32_t QUICKSAVE_ZOOM_UNIT = 1000000;

// A quick save's summary (chunks 1..4), kept in the play state and shown on the shelf.
struct SaveInfo {
    int32_t elapsedSeconds;  // playing time over every game of this box
    char date[64];           // completion date text, zero-terminated; empty until completed
    int32_t percent;         // 0..100 joined
    int32_t pieceCount;
};
static_assert(sizeof(SaveInfo) == 76, "SaveInfo is a 76-byte record");

extern const FieldEntry saveinfo_fields[];  // {1, 4}, {2, 64}, {3, 4}, {4, 4}

void saveinfo_clear(SaveInfo* info);  // all 76 bytes zero

// --- Quick save (the open game of puzzle/play.h) ---
// Where a box's game is kept: "sfiles/qs/NAME.qsv", unless that file holds the game of another cut
// of the box (older games kept a picture shrunk to the desk, "sfiles/qs/WxH/NAME.qsv" for a desk of
// W x H) or cannot be read: then the game is kept beside it, in "sfiles/qs/full/NAME.qsv", so it is
// never written over.
int quicksave_path(char* path, int size, const char* name);
int quicksave_full_path(char* path, int size, const char* name);  // "sfiles/qs/full/NAME.qsv"
// What a quick save holds for the open game, without changing anything.
enum QuicksaveProbe {
    QS_MISSING,     // no such file
    QS_FITS,        // a save of this box whose piece count is the open game's
    QS_OTHER_CUT,   // a save of this box made for another cut (another desk): never written over
    QS_REFUSED,     // not a save of this box, or damaged: replaced by the next save
    QS_UNREADABLE,  // there, but it cannot be read: never written over
};
int quicksave_probe(const char* path, const FileStamp* stamp);
// The same reads and writes at a given path (the game's choice of the paths above).
int quicksave_write_at(const char* path, const FileStamp* stamp, SaveInfo* info);
int quicksave_read_at(const char* path, const FileStamp* stamp, SaveInfo* info);
int quicksave_read_info_at(const char* path, const FileStamp* stamp, SaveInfo* info);
// Writes the layout of every piece and the stacking order; info's piece count is set first.
int quicksave_write(const char* name, const FileStamp* stamp, SaveInfo* info);
// Restores the view of a large table from its chunk (play_state.viewRead tells whether it did),
// positions (kept relative to the table's centre, so they move by the difference of the table sizes'
// halves), lifts, angles, groups, the stacking order and the picture window's step (play_state.pictureZoom
// and its flag) into the open game, and the summary into info. On failure the pieces may be half restored
// (the caller scatters them) and info is unchanged.
int quicksave_read(const char* name, const FileStamp* stamp, SaveInfo* info);
// Tag, stamp and the summary only (the shelf). info is unchanged on failure.
int quicksave_read_info(const char* name, const FileStamp* stamp, SaveInfo* info);

// --- Cut cache (the open game's piece table before the shape offsets are added, its shape
// table and the lift height) ---
// The cut of the box at its own size, kept in "sfiles/temp/NAME.tmp" whatever the desk.
int cutcache_path(char* path, int size, const char* name);
int cutcache_write(const char* name, const FileStamp* stamp);
// Replaces the open game's piece table and shape table with the cached ones, after checking
// them against the game's settings (play_state.record); nothing changes on failure. A cache read
// counts as used now (its times are touched).
int cutcache_read(const char* name, const FileStamp* stamp);
