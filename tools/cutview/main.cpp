// tools/cutview/main.cpp -- cuts a box of the puzzles folder with the engine and writes pictures
// of the result for review: the picture put together from every piece at its home, a desk of
// scattered pieces (turned by quarters and by odd angles, selected, lifted with their shadows),
// and one large piece with its shadow, also enlarged.
//
// Run in a game folder: cutview NAME OUT_DIR [--desk WxH]
// Exit codes: 0 written; 1 usage or setup; 2 the box cannot be read; 3 it cannot be cut;
// 4 a picture cannot be written.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/img.h"
#include "image/img_scale.h"
#include "image/pic.h"
#include "platform/io_debug.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "platform/script.h"
#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/grid.h"
#include "puzzle/light.h"
#include "puzzle/piece.h"
#include "puzzle/shape.h"
#include "resources/dp.h"

namespace {

constexpr uint32_t DESK_COLOUR = 0x2E5A3A;  // a green baize

[[gnu::format(printf, 2, 3)]] int fail(int code, const char* fmt, ...) {
    std::fprintf(stderr, "cutview: ");
    va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
    std::fputc('\n', stderr);
    return code;
}

// A frame buffer of w x h filled with one colour, open for drawing with every cell dirty.
void frame_open(int w, int h, uint32_t colour) {
    io_video_create_frame(w, h, 24);
    screen_grid_create();
    io_video_begin_paint();
    for (int y = 0; y < h; y++) {
        uint8_t* p = screen.buf + (ptrdiff_t)y * screen.pitch;
        for (int x = 0; x < w; x++, p += 3)
            p[0] = (uint8_t)colour, p[1] = (uint8_t)(colour >> 8), p[2] = (uint8_t)(colour >> 16);
    }
}

// Writes the frame as OUT_DIR/name and closes it.
bool frame_write(const std::string& dir, const char* name) {
    const std::string path = dir + "/" + name;
    io_video_end_paint();
    const bool ok = script_write_png(path.c_str()) == 1;
    screen_grid_free();
    io_video_close();
    if (ok) std::printf("wrote %s\n", path.c_str());
    return ok;
}

struct Cut {
    CutPiece* pieces;
    int count;
};

void draw_piece(const Cut& cut, int i, int x, int y, int angle, int lift, int selected, int shadow) {
    const PieceShape& s = shapes_table()[cut.pieces[i].shape];
    PieceQuad q;
    piece_quad(&s, x, y, angle, lift, shadow, &q);
    if (q.bottom < 0 || q.top >= screen.height || q.right < 0 || q.left >= screen.width) return;
    q.left = q.left < 0 ? 0 : q.left, q.top = q.top < 0 ? 0 : q.top;
    q.right = q.right >= screen.width ? screen.width - 1 : q.right;
    q.bottom = q.bottom >= screen.height ? screen.height - 1 : q.bottom;
    piece_draw(&q, &s, cut.pieces[i].homeX + s.pieceX, cut.pieces[i].homeY + s.pieceY, angle, selected,
               shadow);
}

void frame_close() {
    io_video_end_paint();
    screen_grid_free();
    io_video_close();
}

void draw_all_at_home(const Cut& cut) {
    for (int i = 0; i < cut.count; i++) {
        const PieceShape& s = shapes_table()[cut.pieces[i].shape];
        draw_piece(cut, i, cut.pieces[i].homeX + s.pieceX, cut.pieces[i].homeY + s.pieceY, 0, 0, 0, 0);
    }
}

// Every piece at its home, on the desk colour. Drawn once over black and once over white first,
// to report how much of the desk shows inside the grid: along the seams two coverages blend, and
// a pixel that neither neighbour covers shows the desk whole.
bool write_reassembled(const std::string& dir, const Cut& cut, const BoxRecord& record) {
    const int w = record.width, h = record.height, size = record.pieceSize;
    const int gx = (w - w / size * size) / 2, gy = (h - h / size * size) / 2;
    const int gw = w / size * size, gh = h / size * size;
    uint8_t* dark = (uint8_t*)io_mem_alloc((size_t)w * h);
    long long seams = 0, open = 0, worst = 0;
    for (int pass = 0; pass < 2; pass++) {
        frame_open(w, h, pass ? 0xFFFFFF : 0);
        draw_all_at_home(cut);
        for (int y = gy; y < gy + gh; y++)
            for (int x = gx; x < gx + gw; x++) {
                const uint8_t green = screen.buf[(ptrdiff_t)y * screen.pitch + x * 3 + 1];
                if (!pass) {
                    dark[(size_t)y * w + x] = green;
                    continue;
                }
                const int shows = green - dark[(size_t)y * w + x];
                seams += shows > 0;
                open += shows == 255;
                worst = shows > worst ? shows : worst;
            }
        frame_close();
    }
    io_mem_free(dark);
    std::printf("reassembled: %lld seam pixels show the desk, at most %lld/255; %lld grid pixels uncovered\n",
                seams, worst, open);
    frame_open(w, h, DESK_COLOUR);
    draw_all_at_home(cut);
    return frame_write(dir, "reassembled.png");
}

// The game's own kind of generator, so the desk is the same every run.
struct Random {
    uint32_t x = 1;
    int next() { return (int)(((x = x * 214013u + 2531011u) >> 16) & 0x7FFF); }
};

bool write_desk(const std::string& dir, const Cut& cut, int deskW, int deskH, int size, int lift) {
    frame_open(deskW, deskH, DESK_COLOUR);
    Random rng;
    struct Placed {
        int x, y, angle, lifted, selected;
    };
    Placed* placed = (Placed*)io_mem_alloc(sizeof(Placed) * (size_t)cut.count);
    const int spanW = deskW - size > 1 ? deskW - size : 1,
              spanH = deskH - size - 20 > 1 ? deskH - size - 20 : 1;
    for (int i = 0; i < cut.count; i++) {
        Placed& p = placed[i];
        p.x = rng.next() % spanW;
        p.y = rng.next() % spanH + 20;
        const int kind = i % 6;  // unturned, quarter turns, odd angles
        p.angle = kind < 2 ? 0 : kind < 4 ? 90 * (rng.next() % 4) : 1 + rng.next() % 359;
        if (kind >= 4 && p.angle % 90 == 0) p.angle += 7;
        p.selected = i % 7 == 3;
        p.lifted = i % 9 == 4;
    }
    // Resting pieces, then the shadows of the lifted ones, then the lifted pieces.
    for (int i = 0; i < cut.count; i++)
        if (!placed[i].lifted)
            draw_piece(cut, i, placed[i].x, placed[i].y, placed[i].angle, 0, placed[i].selected, 0);
    for (int i = 0; i < cut.count; i++)
        if (placed[i].lifted) draw_piece(cut, i, placed[i].x, placed[i].y, placed[i].angle, lift, 0, 1);
    for (int i = 0; i < cut.count; i++)
        if (placed[i].lifted)
            draw_piece(cut, i, placed[i].x, placed[i].y, placed[i].angle, lift, placed[i].selected, 0);
    io_mem_free(placed);
    return frame_write(dir, "desk.png");
}

// One piece of a cut at a large piece size, lifted with its shadow; and the same four times larger.
bool write_large_shape(const std::string& dir, BoxRecord record) {
    const int shorter = record.width < record.height ? record.width : record.height;
    record.pieceSize = shorter / 3 < 150 ? shorter / 3 : 150;
    if (record.pieceSize < 10) return true;  // too small a picture for a large piece
    CutPiece* pieces = pieces_cut(&record);
    if (!pieces) return true;
    const int columns = record.width / record.pieceSize;
    const int index = columns + 1;  // row 1, column 1: an inner piece
    const PieceShape& s = shapes_table()[pieces[index].shape];
    const int lift = shape_constants()->liftHeight;
    const int margin = 20;
    const int w = s.shadow ? s.shadow->width + 2 * margin + lift : s.piece->width + 2 * margin;
    const int h = s.shadow ? s.shadow->height + 2 * margin + lift : s.piece->height + 2 * margin;
    const int x = margin - (s.shadow && s.shadowX < 0 ? s.shadowX : 0);
    const int y = margin - (s.shadow && s.shadowY < 0 ? s.shadowY : 0);
    frame_open(w, h, DESK_COLOUR);
    Cut cut = {pieces, record.pieceCount};
    draw_piece(cut, index, x, y, 0, lift, 0, 1);
    draw_piece(cut, index, x, y, 0, lift, 0, 0);
    // Keep a copy of the frame for the enlarged picture.
    Image* small = img_create(w, h, IMG_24BIT);
    for (int r = 0; r < h; r++)
        std::memcpy((uint8_t*)small + small->colourOffset + (size_t)r * small->colourPitch,
                    screen.buf + (ptrdiff_t)r * screen.pitch, (size_t)w * 3);
    bool ok = frame_write(dir, "shape.png");
    frame_open(w * 4, h * 4, 0);
    ImageView dst, src;
    img_screen_view(&dst, 0, 0);
    img_view(&src, small, 0, 0);
    img_resample(&dst, &src, IMG_RESAMPLE_NEAREST);
    ok = frame_write(dir, "shape_x4.png") && ok;
    std::printf("large shape: piece size %d, image %d x %d, shadow %d x %d at (%d, %d), lift %d\n",
                record.pieceSize, s.piece->width, s.piece->height, s.shadow ? s.shadow->width : 0,
                s.shadow ? s.shadow->height : 0, s.shadowX, s.shadowY, lift);
    io_mem_free(small);
    io_mem_free(pieces);
    shapes_free();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return fail(1, "usage: cutview NAME OUT_DIR [--desk WxH]%s", "");
    const char* name = argv[1];
    const std::string out = argv[2];
    int deskW = 1920, deskH = 1080;
    for (int i = 3; i < argc; i++) {
        if (std::strcmp(argv[i], "--desk") == 0 && i + 1 < argc &&
            std::sscanf(argv[i + 1], "%dx%d", &deskW, &deskH) == 2 && deskW >= 200 && deskH >= 200 &&
            deskW <= 8192 && deskH <= 8192) {
            i++;
        } else {
            return fail(1, "unknown or bad argument: %s", argv[i]);
        }
    }
    if (!box_name_ok(name)) return fail(2, "not a box name: %s", name);
    if (!io_file_exists("data.pck")) return fail(1, "no data.pck here: run me in a game folder%s", "");
    if (!io_make_folder(out.c_str())) return fail(1, "cannot make the folder %s", out.c_str());
    io_make_folder(BOX_WORK_FOLDER);

    dp_open("data.pck");
    curves_load();
    img_shadow_table_init();
    light_tables_build();
    pic_install_memory_hooks(io_mem_alloc, io_mem_free);

    FileStamp stamp;
    BoxRecord record;
    if (!box_read(name, &stamp, &record, BOX_PICTURE)) return fail(2, "cannot read the box %s", name);
    Image* picture = pic_load_jpeg_image(BOX_PICTURE_FILE);
    box_clear_work_files(BOX_ALL);
    if (!picture || (picture->kind & 15) != IMG_24BIT) {
        io_mem_free(picture);
        return fail(2, "the picture of the box %s does not decode", name);
    }
    record.width = picture->width;  // the picture decides, whatever the box claims
    record.height = picture->height;
    if (record.isLink || record.pieceSize <= 0) {
        io_mem_free(picture);
        return fail(3, "the box %s is not a puzzle", name);
    }
    if (grid_fit_picture(&record, &picture, deskW, deskH))
        std::printf("fitted to a %d x %d desk: picture %d x %d, piece size %d\n", deskW, deskH, record.width,
                    record.height, record.pieceSize);
    CutPiece* pieces = pieces_cut(&record);
    if (!pieces) {
        io_mem_free(picture);
        return fail(3, "the box %s cuts into no pieces", name);
    }
    std::printf("%s: %d x %d, piece size %d, irregularity %d, edge style %d: %d pieces, %d shapes\n", name,
                record.width, record.height, record.pieceSize, record.irregularity, record.edgeStyle,
                record.pieceCount, shapes_count());
    piece_set_picture(picture);
    const Cut cut = {pieces, record.pieceCount};
    bool ok = write_reassembled(out, cut, record);
    ok = write_desk(out, cut, deskW, deskH, record.pieceSize, shape_constants()->liftHeight) && ok;
    io_mem_free(pieces);
    shapes_free();
    ok = write_large_shape(out, record) && ok;
    piece_set_picture(nullptr);
    io_mem_free(picture);
    curves_free();
    dp_done();
    if (!ok) return fail(4, "could not write every picture into %s", out.c_str());
    return 0;
}
