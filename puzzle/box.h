// puzzle/box.h -- box files: the picture, settings and attachments of one puzzle in the puzzles
// folder, the fixed working files their streams are exchanged through, and the shelf preview kept
// beside each box in "sfiles/temp".
//
// Boxes come from other people (gifts), so every reader here treats its file as hostile: sizes
// are checked before use, nothing is allocated from a size read from the file, and a broken file
// is refused with 0. Every writer goes through platform/io_file's writer and puts the tag in last,
// so a failed or interrupted write never costs the file that was there before.
// Results: 1 success, 0 failure.
#pragma once
#include <cstdint>
#include <cstdio>

#include "base/limits.h"
#include "image/img.h"
#include "resources/tagfile.h"

// Parts of a box, as mask bits of box_read and box_clear_work_files.
inline constexpr int BOX_PICTURE = 1;
inline constexpr int BOX_DESCRIPTION = 2;
inline constexpr int BOX_TUNE = 4;
inline constexpr int BOX_ADDRESS = 8;
inline constexpr int BOX_ALL = 15;

// The working files, one fixed set for the whole game (relative to the game folder).
inline constexpr char BOX_PICTURE_FILE[] = "sfiles/bimage.tmp";     // the picture as a JPEG
inline constexpr char BOX_DESCRIPTION_FILE[] = "sfiles/bdesc.tmp";  // Windows-1252 text
inline constexpr char BOX_TUNE_FILE[] = "sfiles/bmidi.mid";         // standard MIDI file
inline constexpr char BOX_ADDRESS_FILE[] = "sfiles/baddress.tmp";   // Windows-1252 text
inline constexpr char BOX_WORK_FOLDER[] = "sfiles";

// Stream chunk identifiers, written in this order after the fields.
inline constexpr uint32_t BOX_CHUNK_PICTURE = 20;
inline constexpr uint32_t BOX_CHUNK_TUNE = 21;
inline constexpr uint32_t BOX_CHUNK_DESCRIPTION = 22;
inline constexpr uint32_t BOX_CHUNK_ADDRESS = 23;

inline constexpr uint32_t BOX_TAG = file_tag("BOX1");
inline constexpr int32_t BOX_VERSION = 1;  // written, not checked
inline constexpr uint32_t BOX_PREVIEW_TAG = file_tag("PRVW");
inline constexpr int32_t BOX_PREVIEW_VERSION = 125;
inline constexpr char BOX_EXTENSION[] = "pzl";
inline constexpr char BOX_PREVIEW_FOLDER[] = "sfiles/temp";
inline constexpr char BOX_PREVIEW_EXTENSION[] = "prw";
inline constexpr int BOX_NAME_MAX = 64;  // bytes of a name field: at most 63 characters

// The ranges of the settings a box may hold (what the create room offers).
inline constexpr int BOX_PIECE_SIZE_MIN = 10;    // up to half the shorter picture side
inline constexpr int BOX_IRREGULARITY_MAX = 40;  // percent, from 0
inline constexpr int BOX_EDGE_STYLE_MAX = 7;     // edge curve family, from 0

// The fourteen settings of a box, in file order; each is a 4-byte chunk (ids 1..12, 14, 15).
struct BoxRecord {
    int32_t pieceSize;     // grid cell side in picture pixels
    int32_t irregularity;  // corner jitter in percent of pieceSize, 0..40
    int32_t edgeStyle;     // edge curve family 0..7
    int32_t width;         // picture pixels; never 0 in a readable box
    int32_t height;
    int32_t pieceCount;      // columns x rows, filled in when the box is saved
    int32_t rotation;        // 1: pieces start turned by multiples of 90 degrees
    int32_t hiddenPicture;   // 1: no reference picture until completed once
    int32_t hasTune;         // 1: stream 21 present
    int32_t hasDescription;  // 1: stream 22 present
    int32_t hasAddress;      // 1: stream 23 present
    int32_t isLink;          // 1: not a puzzle but a web link
    int32_t reserved;        // written 0
    int32_t repeatTune;      // 1: the tune starts again when it ends
};
static_assert(sizeof(BoxRecord) == 56, "BoxRecord is fourteen 32-bit fields");

// The field table of the box file: {id, 4, offset} for every field, ended by id 0.
extern const FieldEntry box_fields[];

// The thumbnail's drop-shadow record of the preview file (40 bytes, file order).
struct BoxShadow {
    int32_t flags;  // 4: small shadow wanted, 8: large shadow wanted
    int32_t width;  // the shadowed size
    int32_t height;
    int32_t frame;         // frame element of the outline
    int32_t largePresent;  // non-zero when the large mask follows
    int32_t largeOffset;   // 6
    int32_t largeRadius;   // blur radius
    int32_t smallPresent;  // non-zero when the small mask follows
    int32_t smallOffset;   // 2
    int32_t smallRadius;
};
static_assert(sizeof(BoxShadow) == 40, "the shadow record is a file layout");

// What the shelf keeps of a box for its preview file. The images belong to the caller;
// box_preview_read replaces the three pointers with new images (io_mem blocks) on success.
struct BoxPreview {
    char name[BOX_NAME_MAX];  // box name
    FileStamp stamp;          // the stamp of the box file
    Image* thumbnail;         // the shelf picture
    BoxShadow shadow;
    Image* largeMask;  // IMG_8BIT or null
    Image* smallMask;  // IMG_8BIT or null
};

// --- Names ---
// The puzzles folder boxes are read from and written to: the one set here, else the game's
// ("-path"), else "puzzles". Tools set their own; null goes back to the game's.
void box_set_folder(const char* folder);
const char* box_folder();
// A box name is a plain file name: 1..63 characters, no '/', '\\' or control characters, not
// "." or "..". Names from outside are checked before they become paths.
int box_name_ok(const char* name);
// "%s/%s.%s" of folder, name and extension into path; 0 when the name is not a box name or the
// result does not fit.
int box_file_path(char* path, int size, const char* folder, const char* name, const char* extension);

// --- Box files ---
// Reads head and settings of box `name` and copies the streams of the mask's parts into their
// working files. A picture that is asked for must exist and parse as a JPEG; missing optional
// streams are fine (their working files are then absent). Settings outside their ranges refuse
// the box: the picture 1..PICTURE_SIDE_MAX a side and at most PICTURE_PIXELS_MAX pixels, piece
// size BOX_PIECE_SIZE_MIN up to half the shorter side (at least BOX_PIECE_SIZE_MIN), irregularity
// 0..BOX_IRREGULARITY_MAX, edge style 0..BOX_EDGE_STYLE_MAX, the flags 0 or 1, and the piece
// count (width / pieceSize) x (height / pieceSize). Failure clears every working file.
int box_read(const char* name, FileStamp* stamp, BoxRecord* record, int mask);
// Why the last box_read failed when the box itself was not at fault: the errno of the working
// file that could not be written (ENOSPC for a full disk), or 0.
int box_read_write_error();
// Head and settings only, checked as box_read checks them; no stream is copied or looked at.
int box_read_settings(const char* name, FileStamp* stamp, BoxRecord* record);
// The same, leaving the file open after the settings for reading its streams (nullptr on failure).
FILE* box_open_settings(const char* name, FileStamp* stamp, BoxRecord* record);
// Writes box `name` from the record and the working files its flags name (the picture always).
int box_write(const char* name, const FileStamp* stamp, const BoxRecord* record);
// Overwrites the value of field chunk `id` of an existing box file, only when its size is 4.
int box_patch_field(const char* path, uint32_t id, int32_t value);
// Deletes the working files of the mask's parts (the picture is emptied first).
void box_clear_work_files(int mask);

// --- Shelf previews ("sfiles/temp/NAME.prw") ---
int box_preview_read(BoxPreview* box);  // tag, stamp of the box, version 125, images
int box_preview_write(const BoxPreview* box);
int box_preview_valid(const BoxPreview* box);  // opens with tag "PRVW" and the box's stamp
