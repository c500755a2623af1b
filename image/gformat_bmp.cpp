// image/gformat_bmp.cpp -- BMP, our own reader and writer: the core, common, long OS/2 and
// bit-field info headers; 8-bit palettes (also run-length coded), 16-bit, 24-bit and 32-bit
// rows, bottom-up or top-down. Written as 24-bit bottom-up files.
//
// Every size read from the file is checked against the picture limits and against what the
// file holds before anything is allocated for it.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/le.h"
#include "base/limits.h"
#include "image/gformat_local.h"
#include "image/pic.h"
#include "resources/tagfile.h"

namespace {

const char BMP_LOAD_ERROR[] = "BMP loader: unknown error";
const char BMP_SAVE_ERROR[] = "BMP saver: unknown error";

enum : uint32_t { BMP_RGB = 0, BMP_RLE8 = 1, BMP_BITFIELDS = 3 };

struct BmpHeader {
    int width, height;        // height made positive
    bool top_down;            // rows stored top row first
    int bits;                 // 8, 16, 24 or 32
    uint32_t compression;     // BMP_RGB, BMP_RLE8 or BMP_BITFIELDS
    long data_offset;         // pixel data, from the first byte of the file header
    uint32_t masks[3];        // red, green, blue
    uint8_t palette[256][3];  // blue, green, red; entries the file lacks stay black
};

// Info header sizes the reader takes: the core header, the common one, the long OS/2 one, and
// the two that carry their own bit-field masks (at offsets 40..51, the alpha mask at 52).
bool bmp_header_size_ok(uint32_t size) {
    return size == 12 || size == 40 || size == 64 || size == 108 || size == 124;
}

// Reads and checks the headers from the current position (the file header's first byte) and
// leaves the file after the palette and masks. 1 when the file is a BMP the reader can take.
int bmp_parse(FILE* file, BmpHeader* h) {
    std::memset(h, 0, sizeof *h);
    const long available = file_bytes_left(file);
    uint8_t head[14 + 124];
    if (std::fread(head, 1, 18, file) != 18 || head[0] != 'B' || head[1] != 'M') return 0;
    LeCursor c = le_cursor(head, 18);
    le_skip(&c, 10);  // magic, file size, reserved
    h->data_offset = le_u32(&c);
    const uint32_t size = le_u32(&c);
    if (!bmp_header_size_ok(size)) return 0;
    if (std::fread(head + 18, 1, size - 4, file) != size - 4) return 0;
    LeCursor info = le_cursor(head + 18, size - 4);
    int palette_count = 0, entry_size;
    int64_t height;
    bool masks_inside = false;  // the header holds the bit-field masks
    if (size == 12) {
        h->width = le_u16(&info);
        height = le_u16(&info);
        if (le_u16(&info) != 1) return 0;
        h->bits = le_u16(&info);
        if (h->bits != 8 && h->bits != 24) return 0;
        h->compression = BMP_RGB;
        entry_size = 3;
    } else {
        h->width = le_i32(&info);
        height = le_i32(&info);
        if (le_u16(&info) != 1) return 0;
        h->bits = le_u16(&info);
        if (h->bits != 8 && h->bits != 16 && h->bits != 24 && h->bits != 32) return 0;
        h->compression = le_u32(&info);
        le_skip(&info, 12);  // image size and resolution
        palette_count = (int)std::min<uint32_t>(le_u32(&info), 257);
        entry_size = 4;
        masks_inside = size >= 108;
    }
    if (h->bits == 8) {
        if (palette_count == 0) palette_count = 256;
        if (palette_count > 256) return 0;
        uint8_t entries[256 * 4];
        const size_t bytes = (size_t)palette_count * entry_size;
        if (std::fread(entries, 1, bytes, file) != bytes) return 0;
        for (int i = 0; i < palette_count; i++)
            std::memcpy(h->palette[i], entries + i * entry_size, 3);
    }
    if (h->compression == BMP_BITFIELDS) {
        // Red, green and blue masks after the header, or inside a long one after its count of
        // important colours; the alpha mask there is not used, the colour is taken as it stands.
        uint8_t follow[12];
        if (!masks_inside && std::fread(follow, 1, 12, file) != 12) return 0;
        LeCursor m = masks_inside ? info : le_cursor(follow, sizeof follow);
        if (masks_inside) le_skip(&m, 4);
        for (uint32_t& mask : h->masks)
            mask = le_u32(&m);
    } else {
        h->masks[0] = 0x7C00;
        h->masks[1] = 0x03E0;
        h->masks[2] = 0x001F;
    }
    h->top_down = height < 0;
    if (height < 0) height = -height;
    h->height = (int)std::min<int64_t>(height, INT32_MAX);
    if (h->compression != BMP_RGB && h->compression != BMP_RLE8 && h->compression != BMP_BITFIELDS) return 0;
    // Run-length data index the palette, which only 8-bit files have.
    if (h->compression == BMP_RLE8 && h->bits != 8) return 0;
    if (!pic_size_ok(h->width, h->height, h->bits == 16 ? IMG_16BIT : IMG_24BIT)) return 0;
    if (h->compression != BMP_RLE8) {
        // Every row must be in the file before the picture is allocated.
        const int64_t row_size = (((int64_t)h->width * h->bits + 31) / 32) * 4;
        if (available < 0 || h->data_offset + row_size * h->height > available) return 0;
    }
    return 1;
}

int bmp_kind(const BmpHeader* h) { return h->bits == 16 ? IMG_16BIT : IMG_24BIT; }

int lowest_bit(uint32_t mask) { return mask ? __builtin_ctz(mask) : 0; }

// The rows of an uncompressed or bit-field file; the file is at the first row. 1 when all were read.
int bmp_read_rows(PictureBuffer* buffer, FILE* file, const BmpHeader* h) {
    const int w = h->width;
    const size_t row_size = (((size_t)w * h->bits + 31) / 32) * 4;
    uint8_t* data = (uint8_t*)pic_mem_alloc(row_size);
    int shift[3], fmax[3];
    for (int c = 0; c < 3; c++) {
        shift[c] = lowest_bit(h->masks[c]);
        fmax[c] = (int)std::min<uint32_t>(h->masks[c] >> shift[c], 0x7FFFFFFF);
    }
    int ok = 1;
    for (int r = 0; r < h->height && ok; r++) {
        if ((r & 63) == 0) pic_progress(r, h->height);
        if (std::fread(data, 1, row_size, file) != row_size) {
            ok = 0;
            break;
        }
        uint8_t* out = gformat_row(buffer, h->top_down ? r : h->height - 1 - r);
        LeCursor in = le_cursor(data, row_size);
        switch (h->bits) {
            case 8:
                for (int x = 0; x < w; x++, out += 3)
                    std::memcpy(out, h->palette[data[x]], 3);
                break;
            case 16:
                for (int x = 0; x < w; x++) {
                    const uint32_t v = le_u16(&in);
                    uint32_t word = 0;
                    for (int c = 0; c < 3; c++) {
                        // Each field scaled to five bits, rounded: floor((f * 65536 * 31 / max + 32768) /
                        // 65536).
                        const uint64_t field = (v & h->masks[c]) >> shift[c];
                        uint64_t five =
                            fmax[c] ? (field * 65536 * 31 / (uint64_t)fmax[c] + 32768) / 65536 : 0;
                        if (five > 31) five = 31;
                        word |= (uint32_t)five << (10 - 5 * c);
                    }
                    le_store_u16(out + 2 * x, word);
                }
                break;
            case 24:
                std::memcpy(out, data, (size_t)w * 3);
                break;
            case 32:
                for (int x = 0; x < w; x++, out += 3) {
                    const uint32_t v = le_u32(&in);
                    if (h->compression == BMP_BITFIELDS) {
                        out[2] = (uint8_t)((v & h->masks[0]) >> shift[0]);
                        out[1] = (uint8_t)((v & h->masks[1]) >> shift[1]);
                        out[0] = (uint8_t)((v & h->masks[2]) >> shift[2]);
                    } else {  // blue, green, red and an unused byte
                        out[0] = (uint8_t)v, out[1] = (uint8_t)(v >> 8), out[2] = (uint8_t)(v >> 16);
                    }
                }
                break;
        }
    }
    pic_mem_free(data);
    return ok;
}

// Buffered bytes of a file for the run-length decoder; reads past the end give `ended`.
struct ByteReader {
    FILE* file;
    uint8_t data[4096];
    size_t pos, len;
    bool ended;
};

int next_byte(ByteReader* r) {
    if (r->pos == r->len) {
        r->len = r->ended ? 0 : std::fread(r->data, 1, sizeof r->data, r->file);
        r->pos = 0;
        if (r->len == 0) {
            r->ended = true;
            return 0;
        }
    }
    return r->data[r->pos++];
}

// RLE8: pixels that runs, deltas or row ends would place outside the picture are dropped, and
// pixels the data never reaches stay black. Decoding stops at the end mark or the file's end.
void bmp_read_rle8(PictureBuffer* buffer, FILE* file, const BmpHeader* h) {
    const int w = h->width, height = h->height;
    for (int y = 0; y < height; y++)
        std::memset(gformat_row(buffer, y), 0, (size_t)w * 3);
    ByteReader* r = (ByteReader*)pic_mem_alloc(sizeof(ByteReader));
    r->file = file;
    r->pos = r->len = 0;
    r->ended = false;
    int x = 0, y = 0;  // column, and row in the file's order
    auto put = [&](int index) {
        if (x < w)
            std::memcpy(gformat_row(buffer, h->top_down ? y : height - 1 - y) + 3 * x, h->palette[index], 3);
        if (x < w) x++;  // past the right edge further pixels of the row are dropped
    };
    while (y < height) {
        const int n = next_byte(r), v = next_byte(r);
        if (r->ended) break;
        if (n > 0) {
            for (int i = 0; i < n && x < w; i++)
                put(v);
        } else if (v == 0) {
            x = 0;
            y++;
            if ((y & 63) == 0) pic_progress(y, height);
        } else if (v == 1) {
            break;
        } else if (v == 2) {
            const int dx = next_byte(r), dy = next_byte(r);
            if (r->ended) break;
            x = std::min(x + dx, w);
            y += dy;
        } else {
            for (int i = 0; i < v; i++) {
                const int index = next_byte(r);
                if (r->ended) break;
                put(index);
            }
            if (v & 1) next_byte(r);
            if (r->ended) break;
        }
    }
    pic_mem_free(r);
}

}  // namespace

int gformat_bmp_info(FILE* file, int* width, int* height, int* kind) {
    *width = *height = *kind = 0;
    const long pos = file ? std::ftell(file) : -1;
    BmpHeader* h = (BmpHeader*)pic_mem_alloc(sizeof(BmpHeader));
    const int ok = pos >= 0 && bmp_parse(file, h);
    if (ok) {
        *width = h->width;
        *height = h->height;
        *kind = bmp_kind(h);
    }
    if (pos >= 0) std::fseek(file, pos, SEEK_SET);
    pic_mem_free(h);
    if (!ok) gformat_error(BMP_LOAD_ERROR);
    return ok;
}

int gformat_bmp_read(PictureBuffer* buffer, FILE* file) {
    const long pos = file ? std::ftell(file) : -1;
    BmpHeader* h = (BmpHeader*)pic_mem_alloc(sizeof(BmpHeader));
    int ok = pos >= 0 && bmp_parse(file, h) &&
             gformat_buffer_matches(buffer, h->width, h->height, bmp_kind(h)) &&
             std::fseek(file, pos + h->data_offset, SEEK_SET) == 0;
    if (ok) {
        if (h->compression == BMP_RLE8)
            bmp_read_rle8(buffer, file, h);
        else
            ok = bmp_read_rows(buffer, file, h);
    }
    pic_mem_free(h);
    if (!ok) gformat_error(BMP_LOAD_ERROR);
    return ok;
}

int gformat_bmp_write(FILE* file, const PictureBuffer* buffer) {
    if (!file || !buffer || buffer->kind != IMG_24BIT || buffer->width <= 0 || buffer->height <= 0) {
        gformat_error(BMP_SAVE_ERROR);
        return 0;
    }
    const int w = buffer->width, h = buffer->height;
    const size_t row_size = ((size_t)w * 3 + 3) & ~(size_t)3;
    const uint64_t file_size = 54 + (uint64_t)row_size * h;
    if (file_size > UINT32_MAX) {
        gformat_error(BMP_SAVE_ERROR);
        return 0;
    }
    uint8_t head[54] = {'B', 'M'};
    le_store_u32(head + 2, (uint32_t)file_size);
    le_store_u32(head + 10, 54);
    le_store_u32(head + 14, 40);
    le_store_u32(head + 18, (uint32_t)w);
    le_store_u32(head + 22, (uint32_t)h);
    le_store_u16(head + 26, 1);
    le_store_u16(head + 28, 24);
    le_store_u32(head + 38, 2835);  // pixels per metre, 72 per inch
    le_store_u32(head + 42, 2835);
    int ok = std::fwrite(head, 1, sizeof head, file) == sizeof head;
    uint8_t* row = (uint8_t*)pic_mem_alloc(row_size);
    std::memset(row + (size_t)w * 3, 0, row_size - (size_t)w * 3);
    for (int y = h - 1; y >= 0 && ok; y--) {
        std::memcpy(row, gformat_row(buffer, y), (size_t)w * 3);
        ok = std::fwrite(row, 1, row_size, file) == row_size;
    }
    pic_mem_free(row);
    if (!ok) gformat_error(BMP_SAVE_ERROR);
    return ok;
}
