// puzzle/save.cpp -- the quick save and the cut cache of the open game.
//
// Sections: summary; quick save; cut cache.
#include "puzzle/save.h"

#include <errno.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "base/le.h"
#include "image/gformat_img.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"
#include "puzzle/box.h"
#include "puzzle/grid.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/stack.h"

const FieldEntry saveinfo_fields[] = {
    {1, 4, offsetof(SaveInfo, elapsedSeconds)},
    {2, 64, offsetof(SaveInfo, date)},
    {3, 4, offsetof(SaveInfo, percent)},
    {4, 4, offsetof(SaveInfo, pieceCount)},
    {0, 0, 0},
};

namespace {

constexpr long BODY_OFFSET = 24;         // tag, stamp and version come first
constexpr int POSITION_LIMIT = 1 << 20;  // saved positions beyond this many pixels are damage
constexpr int LIFT_HEIGHT_MAX = 64;      // the renderer never lifts by more than a few pixels
constexpr int SHAPE_RECORD_SIZE = 24;    // two markers and four offsets
// Ten years of playing one box: a saved time beyond this (or below 0) is damage.
constexpr int32_t ELAPSED_MAX = 10 * 366 * 24 * 60 * 60;
// Caches up to this size are parsed from memory: the image reader seeks several times per image,
// and each seek of a file stream throws its buffer away.
constexpr long CUTCACHE_MEMORY_MAX = 64L << 20;

// One piece of the layout chunk, in file order.
struct LayoutEntry {
    int32_t x, y, lift, angle, group;
};
static_assert(sizeof(LayoutEntry) == 20, "a layout entry is five 32-bit numbers");

// Opens a tagged file of the box and checks tag and stamp; the stream is then at the version.
FILE* open_tagged(const char* path, uint32_t tag, const FileStamp* stamp) {
    FILE* file = io_fopen_read(path);
    if (file && (!file_check_tag(file, tag) || !file_check_stamp(file, stamp))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

// What a damaged summary may not carry into the game: the date is always ended, and a playing
// time below zero or beyond ELAPSED_MAX starts again from 0.
void info_sanitise(SaveInfo* info) {
    info->date[sizeof info->date - 1] = 0;
    if (info->elapsedSeconds < 0 || info->elapsedSeconds > ELAPSED_MAX) info->elapsedSeconds = 0;
}

// The summary chunks, read over a copy.
int read_info(FILE* file, SaveInfo* info) {
    uint32_t version;
    SaveInfo read = *info;
    if (!file_read_u32(file, &version) || !record_read(file, saveinfo_fields, &read)) return 0;
    info_sanitise(&read);
    *info = read;
    return 1;
}

// The rest of an open file as a stream over memory (*block owns the bytes), when the file is small
// enough; else the file itself. The stream is at the same position either way.
FILE* in_memory(FILE* file, void** block) {
    *block = nullptr;
    const long here = std::ftell(file), length = file_length(file);
    if (here < 0 || length <= here || length > CUTCACHE_MEMORY_MAX) return file;
    void* bytes = io_mem_alloc((size_t)length);
    FILE* memory = nullptr;
    if (std::fseek(file, 0, SEEK_SET) == 0 && file_read_bytes(file, bytes, (size_t)length))
        memory = fmemopen(bytes, (size_t)length, "rb");
    if (!memory || std::fseek(memory, here, SEEK_SET) != 0) {
        if (memory) std::fclose(memory);
        io_mem_free(bytes);
        std::fseek(file, here, SEEK_SET);
        return file;
    }
    std::fclose(file);
    *block = bytes;
    return memory;
}

// A block of `bytes` from the chunk `id` of the body, which must be exactly that long.
uint8_t* read_chunk(FILE* file, uint32_t id, size_t bytes) {
    uint32_t found, size;
    if (std::fseek(file, BODY_OFFSET, SEEK_SET) != 0 || !chunk_seek(file, id, &found, &size) || size != bytes)
        return nullptr;
    uint8_t* block = (uint8_t*)io_mem_alloc(bytes);
    if (!file_read_bytes(file, block, bytes)) {
        io_mem_free(block);
        return nullptr;
    }
    return block;
}

// The layout chunk of count pieces, decoded in place; null when it is missing or of another size.
LayoutEntry* read_layout(FILE* file, int count) {
    LayoutEntry* entries =
        (LayoutEntry*)read_chunk(file, QUICKSAVE_CHUNK_PIECES, (size_t)count * sizeof(LayoutEntry));
    for (int i = 0; entries && i < count; i++) {
        LeCursor c = le_cursor(&entries[i], sizeof(LayoutEntry));
        const int32_t x = le_i32(&c), y = le_i32(&c), lift = le_i32(&c), angle = le_i32(&c);
        entries[i] = {x, y, lift, angle, le_i32(&c)};
    }
    return entries;
}

// Layout entries fit the game: positions in a sane range, every group an existing piece that is
// in its own group.
int layout_ok(const LayoutEntry* entries, int count) {
    for (int i = 0; i < count; i++) {
        const LayoutEntry& e = entries[i];
        if (e.x < -POSITION_LIMIT || e.x > POSITION_LIMIT || e.y < -POSITION_LIMIT || e.y > POSITION_LIMIT)
            return 0;
        if (e.group == -1) continue;
        if (e.group < 0 || e.group >= count || entries[e.group].group != e.group) return 0;
    }
    return 1;
}

// The picture window's step, when the player chose one for this box.
int write_zoom(FILE* file) {
    const int32_t zoom = play_state.pictureZoom;
    if (!play_state.pictureZoomChosen || zoom < 0 || zoom > QUICKSAVE_ZOOM_MAX) return 1;
    uint8_t bytes[4];
    le_store_i32(bytes, zoom);
    return chunk_write_head(file, QUICKSAVE_CHUNK_ZOOM, 4) && file_write_bytes(file, bytes, 4);
}

// The step kept with the game; -1 when there is none or it is out of range.
int read_zoom(FILE* file) {
    uint8_t* bytes = read_chunk(file, QUICKSAVE_CHUNK_ZOOM, 4);
    if (!bytes) return -1;
    LeCursor c = le_cursor(bytes, 4);
    const int32_t zoom = le_i32(&c);
    io_mem_free(bytes);
    return zoom >= 0 && zoom <= QUICKSAVE_ZOOM_MAX ? zoom : -1;
}

// The view of a large table, kept by its middle.
int write_view(FILE* file) {
    if (!play_state.bigTable) return 1;
    const TableView& v = play_state.view;
    double cx, cy;
    view_to_table(v, v.screenWidth / 2.0, v.screenHeight / 2.0, &cx, &cy);
    uint8_t bytes[20];
    le_store_i32(bytes, v.tableWidth), le_store_i32(bytes + 4, v.tableHeight);
    le_store_i32(bytes + 8, (int32_t)std::lround(v.zoom * QUICKSAVE_ZOOM_UNIT));
    le_store_i32(bytes + 12, (int32_t)std::lround(cx)), le_store_i32(bytes + 16, (int32_t)std::lround(cy));
    return chunk_write_head(file, QUICKSAVE_CHUNK_VIEW, 20) && file_write_bytes(file, bytes, 20);
}

// The view kept with the game, into play_state.view (within the limits; damage shows the whole
// table); 0 when there is none for this table, and the view is left as it is.
int read_view(FILE* file) {
    if (!play_state.bigTable) return 0;
    uint8_t* bytes = read_chunk(file, QUICKSAVE_CHUNK_VIEW, 20);
    if (!bytes) return 0;
    LeCursor c = le_cursor(bytes, 20);
    const int32_t w = le_i32(&c), h = le_i32(&c), zoom = le_i32(&c), cx = le_i32(&c), cy = le_i32(&c);
    io_mem_free(bytes);
    TableView& v = play_state.view;
    if (w != v.tableWidth || h != v.tableHeight) return 0;
    v.zoom = (double)zoom / QUICKSAVE_ZOOM_UNIT;
    const double x = v.screenWidth / 2.0 - (double)cx * v.zoom,
                 y = v.screenHeight / 2.0 - (double)cy * v.zoom;
    // A middle far off the table is damage: view_limit shows the whole table for it.
    v.x = (int32_t)(std::fabs(x) < 1e9 ? std::lround(x) : 1 << 30);
    v.y = (int32_t)(std::fabs(y) < 1e9 ? std::lround(y) : 1 << 30);
    view_limit(&v);
    return 1;
}

void free_shapes(PieceShape* shapes, int count) {
    for (int i = 0; i < count; i++) {
        io_mem_free(shapes[i].piece);
        io_mem_free(shapes[i].shadow);
    }
    io_mem_free(shapes);
}

int read_image(FILE* file, Image** image, int kind) {
    *image = img_read(file);
    return *image && (*image)->kind == kind;
}

// The shape records and their images; null (nothing kept) on any fault.
PieceShape* read_shapes(FILE* file, int count) {
    PieceShape* shapes = (PieceShape*)io_mem_alloc((size_t)count * sizeof(PieceShape));
    std::memset(shapes, 0, (size_t)count * sizeof(PieceShape));
    for (int i = 0; i < count; i++) {
        uint8_t head[SHAPE_RECORD_SIZE];
        PieceShape& s = shapes[i];
        const int read = file_read_bytes(file, head, sizeof head);
        LeCursor c = le_cursor(head, sizeof head);
        const int32_t has_piece = le_i32(&c), has_shadow = le_i32(&c);
        // Every shape needs its piece image; the shadow is optional.
        const int ok = read && has_piece != 0 && read_image(file, &s.piece, IMG_16BIT) &&
                       (has_shadow == 0 || read_image(file, &s.shadow, IMG_8BIT));
        if (!ok) {
            free_shapes(shapes, count);
            return nullptr;
        }
        s.pieceX = le_i32(&c), s.pieceY = le_i32(&c);
        s.shadowX = le_i32(&c), s.shadowY = le_i32(&c);
    }
    return shapes;
}

// Cached pieces fit the shapes and the picture: shapes and neighbours in range, and every piece
// image inside the picture at its home position (so drawing never reads outside it).
int cut_ok(const CutPiece* pieces, int count, const PieceShape* shapes, int shape_count) {
    for (int i = 0; i < count; i++) {
        const CutPiece& p = pieces[i];
        if (p.shape < 0 || p.shape >= shape_count || p.neighbourCount < 0 || p.neighbourCount > 4) return 0;
        for (int k = 0; k < p.neighbourCount; k++)
            if (p.neighbours[k] < 0 || p.neighbours[k] >= count || p.neighbours[k] == i) return 0;
        const PieceShape& s = shapes[p.shape];
        const long long left = (long long)p.homeX + s.pieceX, top = (long long)p.homeY + s.pieceY;
        if (left < 0 || top < 0 || left + s.piece->width > play_state.record.width ||
            top + s.piece->height > play_state.record.height)
            return 0;
    }
    return 1;
}

}  // namespace

// Summary ----------------------------------------------------------------------------------------

void saveinfo_clear(SaveInfo* info) { std::memset(info, 0, sizeof *info); }

// Quick save -------------------------------------------------------------------------------------

int quicksave_path(char* path, int size, const char* name) {
    return box_file_path(path, size, QUICKSAVE_FOLDER, name, QUICKSAVE_EXTENSION);
}

int quicksave_full_path(char* path, int size, const char* name) {
    char folder[64];
    std::snprintf(folder, sizeof folder, "%s/full", QUICKSAVE_FOLDER);
    return box_file_path(path, size, folder, name, QUICKSAVE_EXTENSION);
}

int quicksave_probe(const char* path, const FileStamp* stamp) {
    FILE* file = io_fopen_read(path);
    if (!file) return errno == ENOENT || errno == ENOTDIR ? QS_MISSING : QS_UNREADABLE;
    SaveInfo read = {};
    const int ours =
        file_check_tag(file, QUICKSAVE_TAG) && file_check_stamp(file, stamp) && read_info(file, &read);
    const int failed = std::ferror(file);
    std::fclose(file);
    if (failed) return QS_UNREADABLE;
    if (!ours) return QS_REFUSED;
    return read.pieceCount == play_state.pieceCount ? QS_FITS : QS_OTHER_CUT;
}

int quicksave_write(const char* name, const FileStamp* stamp, SaveInfo* info) {
    char path[PATH_MAX_GAME];
    return quicksave_path(path, sizeof path, name) && quicksave_write_at(path, stamp, info);
}

int quicksave_write_at(const char* path, const FileStamp* stamp, SaveInfo* info) {
    if (!play_state.pieces) return 0;
    io_make_folder(QUICKSAVE_FOLDER);
    char folder[PATH_MAX_GAME];
    std::snprintf(folder, sizeof folder, "%s", path);
    if (char* slash = std::strrchr(folder, '/')) *slash = 0;
    io_make_folder(folder);
    const int n = play_state.pieceCount;
    info->pieceCount = n;
    // Chunks 100 and 101 are built in memory first.
    uint8_t* layout = (uint8_t*)io_mem_alloc((size_t)n * 24);
    uint8_t* stack = layout + (size_t)n * 20;
    const int hx = play_table_width() / 2, hy = play_table_height() / 2;
    for (int i = 0; i < n; i++) {
        const PlayPiece& p = play_state.pieces[i];
        uint8_t* e = layout + 20 * i;
        le_store_i32(e, p.x - hx), le_store_i32(e + 4, p.y - hy), le_store_i32(e + 8, p.lift);
        le_store_i32(e + 12, p.angle), le_store_i32(e + 16, p.group);
    }
    int stacked = 0;
    for (int i = play_state.bottom; i != -1 && stacked < n; i = play_state.pieces[i].next)
        le_store_i32(stack + 4 * stacked++, i);
    // A stacking list that misses pieces (a fault elsewhere) still saves the layout: the missing
    // entries are -1, which the reader skips, so those pieces come back at the bottom.
    for (; stacked < n; stacked++)
        le_store_i32(stack + 4 * stacked, -1);

    IoFileWrite out;
    FILE* file = io_write_begin(&out, path);
    int ok = 0;
    if (file) {
        ok = file_write_tag(file, 0) && file_write_stamp(file, stamp) &&
             file_write_u32(file, (uint32_t)QUICKSAVE_VERSION) && record_write(file, saveinfo_fields, info) &&
             chunk_write_head(file, QUICKSAVE_CHUNK_PIECES, (uint32_t)n * 20) &&
             file_write_bytes(file, layout, (size_t)n * 20) &&
             chunk_write_head(file, QUICKSAVE_CHUNK_STACK, (uint32_t)n * 4) &&
             file_write_bytes(file, stack, (size_t)n * 4) && write_zoom(file) && write_view(file) &&
             std::fseek(file, 0, SEEK_SET) == 0 && file_write_tag(file, QUICKSAVE_TAG);
        ok = io_write_end(&out, ok);
    }
    io_mem_free(layout);
    return ok;
}

int quicksave_read(const char* name, const FileStamp* stamp, SaveInfo* info) {
    char path[PATH_MAX_GAME];
    return quicksave_path(path, sizeof path, name) && quicksave_read_at(path, stamp, info);
}

int quicksave_read_at(const char* path, const FileStamp* stamp, SaveInfo* info) {
    const int n = play_state.pieceCount;
    FILE* file = n > 0 ? open_tagged(path, QUICKSAVE_TAG, stamp) : nullptr;
    if (!file) return 0;
    SaveInfo read = {};
    LayoutEntry* layout = nullptr;
    uint8_t* stack = nullptr;
    int ok = read_info(file, &read) && read.pieceCount == n && (layout = read_layout(file, n)) != nullptr &&
             (stack = read_chunk(file, QUICKSAVE_CHUNK_STACK, (size_t)n * 4)) != nullptr &&
             layout_ok(layout, n);
    const int zoom = ok ? read_zoom(file) : -1;
    play_state.viewRead = ok && read_view(file);
    std::fclose(file);
    if (ok) {
        play_state.pictureZoomChosen = zoom >= 0;
        play_state.pictureZoom = zoom >= 0 ? zoom : 0;
        const int hx = play_table_width() / 2, hy = play_table_height() / 2;
        for (int i = 0; i < n; i++) {
            PlayPiece& p = play_state.pieces[i];
            const LayoutEntry& e = layout[i];
            p.x = e.x + hx, p.y = e.y + hy, p.lift = e.lift, p.angle = e.angle, p.group = e.group;
        }
        // Pieces the list leaves out stay at the bottom in index order; the file's order goes on top.
        stack_reset();
        LeCursor order = le_cursor(stack, (size_t)n * 4);
        for (int k = 0; k < n; k++) {
            const int32_t index = le_i32(&order);
            if (index >= 0 && index < n) stack_raise(index);
        }
        *info = read;
    }
    io_mem_free(layout);
    io_mem_free(stack);
    return ok;
}

int quicksave_read_info(const char* name, const FileStamp* stamp, SaveInfo* info) {
    char path[PATH_MAX_GAME];
    return quicksave_path(path, sizeof path, name) && quicksave_read_info_at(path, stamp, info);
}

int quicksave_read_info_at(const char* path, const FileStamp* stamp, SaveInfo* info) {
    FILE* file = open_tagged(path, QUICKSAVE_TAG, stamp);
    if (!file) return 0;
    const int ok = read_info(file, info);
    std::fclose(file);
    return ok;
}

// Cut cache --------------------------------------------------------------------------------------

int cutcache_path(char* path, int size, const char* name) {
    return box_file_path(path, size, CUTCACHE_FOLDER, name, CUTCACHE_EXTENSION);
}

int cutcache_write(const char* name, const FileStamp* stamp) {
    char path[PATH_MAX_GAME];
    const PieceShape* shapes = shapes_table();
    const int n = play_state.pieceCount, count = shapes_count();
    if (!cutcache_path(path, sizeof path, name) || !play_state.pieces || n <= 0 || count <= 0) return 0;
    io_make_folder(CUTCACHE_FOLDER);
    IoFileWrite out;
    FILE* file = io_write_begin(&out, path);
    if (!file) return 0;
    int ok = file_write_tag(file, 0) && file_write_stamp(file, stamp) &&
             file_write_u32(file, (uint32_t)CUTCACHE_VERSION) && file_write_u32(file, (uint32_t)n);
    uint8_t entry[32];
    for (int i = 0; ok && i < n; i++) {
        const PlayPiece& p = play_state.pieces[i];
        le_store_i32(entry, p.homeX), le_store_i32(entry + 4, p.homeY), le_store_i32(entry + 8, p.shape);
        le_store_i32(entry + 12, p.neighbourCount);
        for (int k = 0; k < 4; k++)
            le_store_i32(entry + 16 + 4 * k, p.neighbours[k]);
        ok = file_write_bytes(file, entry, sizeof entry);
    }
    ok = ok && file_write_u32(file, (uint32_t)count);
    for (int i = 0; ok && i < count; i++) {
        const PieceShape& s = shapes[i];
        uint8_t head[SHAPE_RECORD_SIZE];
        le_store_i32(head, s.piece ? 1 : 0), le_store_i32(head + 4, s.shadow ? 1 : 0);
        le_store_i32(head + 8, s.pieceX), le_store_i32(head + 12, s.pieceY);
        le_store_i32(head + 16, s.shadowX), le_store_i32(head + 20, s.shadowY);
        ok = file_write_bytes(file, head, sizeof head) && (!s.piece || img_write_image(file, s.piece)) &&
             (!s.shadow || img_write_image(file, s.shadow));
    }
    ok = ok && file_write_u32(file, (uint32_t)play_state.liftHeight) && std::fseek(file, 0, SEEK_SET) == 0 &&
         file_write_tag(file, CUTCACHE_TAG);
    return io_write_end(&out, ok);
}

int cutcache_read(const char* name, const FileStamp* stamp) {
    char path[PATH_MAX_GAME];
    const BoxRecord& settings = play_state.record;
    if (settings.pieceSize <= 0 || !cutcache_path(path, sizeof path, name)) return 0;
    FILE* file = open_tagged(path, CUTCACHE_TAG, stamp);
    if (!file) return 0;
    void* block;
    file = in_memory(file, &block);
    uint32_t version = 0, count, shape_count = 0, lift = 0;
    int ok = file_read_u32(file, &version) && version == (uint32_t)CUTCACHE_VERSION;
    // The cut of these settings has exactly this many pieces.
    const long long expected = settings.pieceSize > 0 ? (long long)(settings.width / settings.pieceSize) *
                                                            (settings.height / settings.pieceSize)
                                                      : 0;
    const int n = (int)(expected > 0 && expected <= CUT_PIECES_MAX ? expected : 0);
    const long length = file_length(file);
    ok = ok && n > 0 && file_read_u32(file, &count) && count == (uint32_t)n &&
         length - std::ftell(file) >= (long)n * 32 + 4;
    CutPiece* cut = nullptr;
    PieceShape* shapes = nullptr;
    if (ok) {
        // Entries are eight little-endian numbers each; decoded in place.
        cut = (CutPiece*)io_mem_alloc((size_t)n * sizeof(CutPiece));
        ok = file_read_bytes(file, cut, (size_t)n * sizeof(CutPiece));
        for (int i = 0; ok && i < n; i++) {
            uint8_t raw[32];
            std::memcpy(raw, &cut[i], sizeof raw);
            LeCursor in = le_cursor(raw, sizeof raw);
            CutPiece& c = cut[i];
            c.homeX = le_i32(&in), c.homeY = le_i32(&in), c.shape = le_i32(&in);
            c.neighbourCount = le_i32(&in);
            for (int k = 0; k < 4; k++)
                c.neighbours[k] = le_i32(&in);
        }
        ok = ok && file_read_u32(file, &shape_count) && shape_count >= 1 && shape_count <= (uint32_t)n;
    }
    if (ok) ok = (shapes = read_shapes(file, (int)shape_count)) != nullptr;
    ok = ok && file_read_u32(file, &lift) && lift >= 1 && lift <= (uint32_t)LIFT_HEIGHT_MAX &&
         cut_ok(cut, n, shapes, (int)shape_count) && std::fgetc(file) == EOF;
    std::fclose(file);
    io_mem_free(block);
    if (!ok) {
        io_mem_free(cut);
        if (shapes) free_shapes(shapes, (int)shape_count);
        return 0;
    }
    pieces_alloc(n);
    for (int i = 0; i < n; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.homeX = cut[i].homeX, p.homeY = cut[i].homeY, p.shape = cut[i].shape;
        p.neighbourCount = cut[i].neighbourCount;
        for (int k = 0; k < 4; k++)
            p.neighbours[k] = cut[i].neighbours[k];
    }
    io_mem_free(cut);
    shapes_alloc((int)shape_count);
    std::memcpy(shapes_table(), shapes, shape_count * sizeof(PieceShape));
    io_mem_free(shapes);  // the images now belong to the shape table
    play_state.shapes = shapes_table();
    play_state.shapeCount = (int32_t)shape_count;
    play_state.liftHeight = (int32_t)lift;
    // Used now: the trimming of the temporary folder keeps the cache used last, and reading alone
    // does not always move a file's access time.
    (void)io_touch_file(path);
    return 1;
}
