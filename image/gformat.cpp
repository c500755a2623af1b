// image/gformat.cpp -- the picture codecs: the error hook and the dialog's type list; BMP read and
// written here; JPEG through libjpeg, with the EXIF orientation; TIFF through libtiff. PNG and
// WebP are in gformat_png.cpp and gformat_webp.cpp.
//
// Every size read from a file is checked against the picture limits before anything is
// allocated for it, and pixel data that the file does not hold is refused rather than invented.
// libjpeg's fatal errors jump back to the decoding call; libtiff's messages come to our handlers.
#include "image/gformat.h"

#include <algorithm>
#include <csetjmp>
#include <cstdarg>
#include <cstdint>
#include <cstring>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
#include <tiffio.h>

#include "base/le.h"
#include "base/limits.h"
#include "image/pic.h"
#include "platform/io_debug.h"
#include "resources/dp.h"

const char picture_filter[] =
    "All Formats\0*.JPG;*.JPE;*.JIF;*.JPEG;*.JFIF;*.PNG;*.WEBP;*.TIF;*.TIFF;*.BMP;*.RLE;*.DIB\0"
    "BMP (*.BMP;*.RLE;*.DIB)\0*.BMP;*.RLE;*.DIB\0"
    "JPEG (*.JPG;*.JPE;*.JIF;*.JPEG;*.JFIF)\0*.JPG;*.JPE;*.JIF;*.JPEG;*.JFIF\0"
    "PNG (*.PNG)\0*.PNG\0"
    "TIFF (*.TIF;*.TIFF) uncompressed\0*.TIF;*.TIFF\0"
    "WebP (*.WEBP)\0*.WEBP\0";  // the literal's own zero ends the list

namespace {

char g_last_error[LOG_LINE_MAX];  // latest text passed to gformat_error

const char BMP_LOAD_ERROR[] = "BMP loader: unknown error";
const char BMP_SAVE_ERROR[] = "BMP saver: unknown error";

bool buffer_matches(const PictureBuffer* buffer, int width, int height, int kind) {
    return buffer && buffer->width == width && buffer->height == height && buffer->kind == kind;
}

uint8_t* row_of(const PictureBuffer* buffer, int y) { return buffer->pixels + (ptrdiff_t)y * buffer->pitch; }

// Bytes from the current position to the end of the file, the position unchanged; -1 unknown.
long bytes_left(FILE* file) {
    const long pos = std::ftell(file);
    if (pos < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    if (std::fseek(file, pos, SEEK_SET) != 0 || end < pos) return -1;
    return end - pos;
}

// ============================================================================================
// BMP
// ============================================================================================

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
    const long available = bytes_left(file);
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
        uint8_t* out = row_of(buffer, h->top_down ? r : h->height - 1 - r);
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
        std::memset(row_of(buffer, y), 0, (size_t)w * 3);
    ByteReader* r = (ByteReader*)pic_mem_alloc(sizeof(ByteReader));
    r->file = file;
    r->pos = r->len = 0;
    r->ended = false;
    int x = 0, y = 0;  // column, and row in the file's order
    auto put = [&](int index) {
        if (x < w)
            std::memcpy(row_of(buffer, h->top_down ? y : height - 1 - y) + 3 * x, h->palette[index], 3);
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

// ============================================================================================
// JPEG
// ============================================================================================

// A picture made of more scans than this is refused: each scan walks the whole picture again.
constexpr int JPG_SCAN_MAX = 500;
// libjpeg's own work memory for one picture (the largest picture needs about 600 MB).
constexpr long JPG_MEMORY_MAX = 1024L * 1024 * 1024;

struct JpgError {
    jpeg_error_mgr pub;
    jmp_buf jump;  // back into the call that runs the library
    int scans;
};

// Reads from a standard file, or from the data pack's current file, never beyond `remaining`.
// At the end of the data an end marker is supplied; a scan that still needs data then stops
// the decoding (see jpg_emit_message).
struct JpgSource {
    jpeg_source_mgr pub;
    FILE* file;      // null: the current data-pack file through dp_fread
    long remaining;  // bytes left to read, -1 without limit
    bool dry;        // the data has ended; only the supplied end marker is left
    JOCTET data[4096];
};

void jpg_output_message(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    char text[JMSG_LENGTH_MAX + 8];
    std::snprintf(text, sizeof text, "JPG: %s", message);
    gformat_error(text);
}

[[noreturn]] void jpg_error_exit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(((JpgError*)cinfo->err)->jump, 1);
}

// Warnings and traces are not reported (damaged files would flood the log), but pixel data
// that ends before the picture does is refused like any other error.
void jpg_emit_message(j_common_ptr cinfo, int level) {
    JpgError* err = (JpgError*)cinfo->err;
    if (level < 0 && (err->pub.msg_code == JWRN_HIT_MARKER || err->pub.msg_code == JWRN_JPEG_EOF))
        jpg_error_exit(cinfo);
    if (level == 1 && err->pub.msg_code == JTRC_SOS && ++err->scans > JPG_SCAN_MAX) {
        gformat_error("JPG: too many scans");
        std::longjmp(err->jump, 1);
    }
}

void jpg_setup_errors(JpgError* err) {
    jpeg_std_error(&err->pub);
    err->pub.error_exit = jpg_error_exit;
    err->pub.output_message = jpg_output_message;
    err->pub.emit_message = jpg_emit_message;
    err->scans = 0;
}

void jpg_init_source(j_decompress_ptr) {}
void jpg_term_source(j_decompress_ptr) {}

boolean jpg_fill_input(j_decompress_ptr cinfo) {
    JpgSource* src = (JpgSource*)cinfo->src;
    size_t want = sizeof src->data;
    if (src->remaining >= 0 && (long)want > src->remaining) want = (size_t)src->remaining;
    size_t got = 0;
    if (want > 0) {
        if (src->file) {
            got = std::fread(src->data, 1, want, src->file);
        } else {
            dp_fread(src->data, want);
            got = want;
        }
    }
    if (src->remaining >= 0) src->remaining -= (long)got;
    if (got == 0) {
        if (src->pub.next_input_byte == nullptr) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        src->dry = true;
        src->data[0] = 0xFF;
        src->data[1] = JPEG_EOI;
        got = 2;
    }
    src->pub.next_input_byte = src->data;
    src->pub.bytes_in_buffer = got;
    return TRUE;
}

void jpg_skip_input(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr* src = cinfo->src;
    while (count > (long)src->bytes_in_buffer) {
        count -= (long)src->bytes_in_buffer;
        jpg_fill_input(cinfo);
        if (((JpgSource*)src)->dry) return;  // nothing left to skip but the end marker
    }
    if (count > 0) {
        src->next_input_byte += count;
        src->bytes_in_buffer -= (size_t)count;
    }
}

void jpg_source_init(JpgSource* src, FILE* file, long limit) {
    src->pub.init_source = jpg_init_source;
    src->pub.fill_input_buffer = jpg_fill_input;
    src->pub.skip_input_data = jpg_skip_input;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = jpg_term_source;
    src->pub.next_input_byte = nullptr;
    src->pub.bytes_in_buffer = 0;
    src->file = file;
    src->remaining = limit;
    src->dry = false;
}

struct JpgInfo {
    int width, height, kind;  // the picture the file holds
    int orientation;          // its EXIF orientation, 1..8
};

// The APP1 blocks kept with the header: EXIF blocks are at most one marker long.
constexpr unsigned JPG_APP1_MAX = 0xFFFF;

int jpg_orientation(const jpeg_decompress_struct* cinfo) {
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0)
            return gformat_exif_orientation(m->data, m->data_length);
    return 1;
}

// Reads the header into *info and, unless `into` and `made` are both null, the pixels scaled
// down by `scale` (1, 2, 4 or 8): into `into`, which must match the scaled size and the kind, or
// into a new buffer returned in *made. 1 on success.
int jpg_decode(JpgSource* src, JpgInfo* info, int scale, PictureBuffer* into, PictureBuffer** made) {
    jpeg_decompress_struct cinfo;
    JpgError err;
    PictureBuffer* volatile created = nullptr;
    cinfo.err = &err.pub;
    jpg_setup_errors(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        pic_release(created);
        return 0;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = JPG_MEMORY_MAX;
    cinfo.src = &src->pub;
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, JPG_APP1_MAX);
    jpeg_read_header(&cinfo, TRUE);
    info->width = (int)cinfo.image_width;
    info->height = (int)cinfo.image_height;
    info->kind = cinfo.out_color_space == JCS_GRAYSCALE ? IMG_8BIT
                 : cinfo.out_color_space == JCS_UNKNOWN ? 0
                                                        : IMG_24BIT;
    info->orientation = jpg_orientation(&cinfo);
    const int width = gformat_jpg_scaled(info->width, scale),
              height = gformat_jpg_scaled(info->height, scale);
    const char* refusal = nullptr;
    if (info->kind == 0)
        refusal = "JPG: unknown colour space";
    else if (!pic_size_ok(cinfo.image_width, cinfo.image_height, info->kind))
        refusal = "JPG: picture too large";
    else if (into && !buffer_matches(into, width, height, info->kind))
        refusal = "JPG: picture does not match the buffer";
    if (refusal || (!into && !made)) {
        if (refusal) gformat_error(refusal);
        jpeg_destroy_decompress(&cinfo);
        return refusal ? 0 : 1;
    }
    PictureBuffer* target = into;
    if (!target) {
        target = pic_create(width, height, info->kind);
        created = target;
    }
    if (info->kind == IMG_24BIT) cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.dct_method = JDCT_FLOAT;
    cinfo.scale_num = 1;
    cinfo.scale_denom = (unsigned)scale;
    jpeg_start_decompress(&cinfo);
    if ((int)cinfo.output_width != width || (int)cinfo.output_height != height ||
        cinfo.output_components != (target->kind & 15))
        ERREXIT(&cinfo, JERR_BAD_IN_COLORSPACE);
    while (cinfo.output_scanline < cinfo.output_height) {
        if ((cinfo.output_scanline & 63) == 0) pic_progress((int)cinfo.output_scanline, height);
        JSAMPROW row = row_of(target, (int)cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) ERREXIT(&cinfo, JERR_INPUT_EOF);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (made) *made = created;
    return 1;
}

// ============================================================================================
// TIFF
// ============================================================================================

// libtiff's largest single allocation for one file (strips of compressed data).
constexpr tmsize_t TIF_ALLOC_MAX = 256 * 1024 * 1024;
// Longest scanline accepted: a full-width row of 16 samples of 8 bits.
constexpr uint64_t TIF_SCANLINE_MAX = (uint64_t)PICTURE_SIDE_MAX * 16;
// Warnings logged per file; damaged files can carry thousands of them.
constexpr int TIF_WARNING_MAX = 8;
int g_tif_warnings;

void tif_report(const char* module, const char* fmt, va_list ap) {
    char message[LOG_LINE_MAX];
    std::vsnprintf(message, sizeof message, fmt, ap);
    char text[LOG_LINE_MAX];
    std::snprintf(text, sizeof text, "%s %.*s.", module ? module : "TIFFLIB", LOG_LINE_MAX - 64, message);
    gformat_error(text);
}

void tif_error_handler(const char* module, const char* fmt, va_list ap) { tif_report(module, fmt, ap); }

void tif_warning_handler(const char* module, const char* fmt, va_list ap) {
    if (g_tif_warnings++ >= TIF_WARNING_MAX) return;
    char message[LOG_LINE_MAX];
    std::vsnprintf(message, sizeof message, fmt, ap);
    io_log("TIFF warning: %s %.*s\n", module ? module : "TIFFLIB", LOG_LINE_MAX - 64, message);
}

// Our own texts go the same way as the library's messages.
void tif_fail(const char* text, ...) __attribute__((format(printf, 1, 2)));
void tif_fail(const char* text, ...) {
    va_list ap;
    va_start(ap, text);
    tif_report("TIF:", text, ap);
    va_end(ap);
}

TIFF* tif_open(const char* path) {
    TIFFSetErrorHandler(tif_error_handler);
    TIFFSetWarningHandler(tif_warning_handler);
    g_tif_warnings = 0;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, TIF_ALLOC_MAX);
    TIFF* tif = TIFFOpenExt(path, "r", options);
    TIFFOpenOptionsFree(options);
    if (!tif) tif_fail("cannot open file");
    return tif;
}

struct TifLayout {
    int width, height, kind;
    uint16_t bits, samples, photometric;
    bool grey_palette;
    uint8_t red[256], green[256], blue[256];  // palette, high bytes of 16-bit maps
};

// Checks the first directory of an open file; 1 and *out filled, or 0 after reporting.
int tif_examine(TIFF* tif, TifLayout* out) {
    std::memset(out, 0, sizeof *out);
    uint32_t width = 0, height = 0;
    uint16_t orientation = 0, bits = 0, samples = 0, compression = 0, photometric = 0, planar = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height)) {
        tif_fail("unknown error");
        return 0;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    if (orientation != ORIENTATION_TOPLEFT) {
        tif_fail("wrong orientation");
        return 0;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    if (bits != 1 && bits != 4 && bits != 8) {
        tif_fail("only 1, 4 or 8 bits per channel allowed");
        return 0;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (compression != COMPRESSION_NONE && compression != COMPRESSION_LZW &&
        compression != COMPRESSION_JPEG && compression != COMPRESSION_PACKBITS) {
        tif_fail("unsupported compression method");
        return 0;
    }
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) || photometric > PHOTOMETRIC_PALETTE) {
        tif_fail("invalid photometric");
        return 0;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    if (planar != PLANARCONFIG_CONTIG) {
        tif_fail("invalid planar configuration");
        return 0;
    }
    out->grey_palette = true;
    if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) {
            tif_fail("unknown error");
            return 0;
        }
        const int entries = 1 << bits;
        bool wide = false;
        for (int i = 0; i < entries; i++)
            wide |= red[i] > 255 || green[i] > 255 || blue[i] > 255;
        const int shift = wide ? 8 : 0;
        for (int i = 0; i < entries; i++) {
            out->red[i] = (uint8_t)(red[i] >> shift);
            out->green[i] = (uint8_t)(green[i] >> shift);
            out->blue[i] = (uint8_t)(blue[i] >> shift);
            if (out->red[i] != out->green[i] || out->red[i] != out->blue[i]) out->grey_palette = false;
        }
    }
    int kind = 0;
    if (samples >= 1 && (bits == 8 || samples == 1)) {
        if (photometric <= PHOTOMETRIC_MINISBLACK) kind = IMG_8BIT;
        // Colour needs three samples of eight bits to take them from.
        else if (photometric == PHOTOMETRIC_RGB && bits == 8 && samples >= 3)
            kind = samples == 3 ? IMG_24BIT : IMG_24BIT | IMG_ALPHA;
        else if (photometric == PHOTOMETRIC_PALETTE)
            kind = out->grey_palette ? IMG_8BIT : bits >= 4 ? IMG_24BIT : 0;
    }
    const uint64_t row_bytes = ((uint64_t)width * samples * bits + 7) / 8;
    const uint64_t scanline = TIFFScanlineSize64(tif);
    if (kind == 0 || scanline < row_bytes || scanline > TIF_SCANLINE_MAX) {
        tif_fail("unknown error");
        return 0;
    }
    if (!pic_size_ok(width, height, kind)) {
        tif_fail("invalid picture size %ux%u", width, height);
        return 0;
    }
    out->width = (int)width;
    out->height = (int)height;
    out->kind = kind;
    out->bits = bits;
    out->samples = samples;
    out->photometric = photometric;
    return 1;
}

// Index x of a row of 1-, 4- or 8-bit values (8-bit values step by the samples per pixel).
inline int tif_value(const uint8_t* row, int x, int bits, int samples) {
    if (bits == 8) return row[(size_t)x * samples];
    if (bits == 4) return (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

void tif_convert_row(const TifLayout* t, const uint8_t* in, PictureBuffer* buffer, int y) {
    uint8_t* out = row_of(buffer, y);
    const int w = t->width, spp = t->samples, bits = t->bits;
    if (t->photometric <= PHOTOMETRIC_MINISBLACK) {
        const uint8_t invert = t->photometric == PHOTOMETRIC_MINISWHITE ? 255 : 0;
        for (int x = 0; x < w; x++) {
            const int v = tif_value(in, x, bits, spp);
            const int grey = bits == 1 ? v * 255 : bits == 4 ? v * 255 / 15 : v;
            out[x] = (uint8_t)grey ^ invert;
        }
    } else if (t->photometric == PHOTOMETRIC_RGB) {
        uint8_t* alpha = buffer->alpha ? buffer->alpha + (ptrdiff_t)y * buffer->alphaPitch : nullptr;
        for (int x = 0; x < w; x++, in += spp, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (alpha) alpha[x] = in[3];
        }
    } else if (t->grey_palette) {
        for (int x = 0; x < w; x++)
            out[x] = t->red[tif_value(in, x, bits, spp)];
    } else {
        for (int x = 0; x < w; x++, out += 3) {
            const int i = tif_value(in, x, bits, spp);
            out[0] = t->blue[i];
            out[1] = t->green[i];
            out[2] = t->red[i];
        }
    }
}

}  // namespace

// ============================================================================================
// Public
// ============================================================================================

void gformat_error(const char* text) {
    std::snprintf(g_last_error, sizeof g_last_error, "%s", text ? text : "");
    io_log("%s\n", g_last_error);
}

const char* gformat_last_error() { return g_last_error; }

int gformat_jpg_info(FILE* file, int* width, int* height, int* kind) {
    int orientation;
    return gformat_jpg_info_exif(file, width, height, kind, &orientation);
}

int gformat_jpg_info_exif(FILE* file, int* width, int* height, int* kind, int* orientation) {
    *orientation = 1;
    const long pos = file ? std::ftell(file) : -1;
    if (pos < 0) {
        gformat_error("JPG: cannot read the file");
        return 0;
    }
    JpgSource src;
    jpg_source_init(&src, file, -1);
    JpgInfo info = {0, 0, 0, 1};
    const int ok = jpg_decode(&src, &info, 1, nullptr, nullptr);
    std::fseek(file, pos, SEEK_SET);
    *width = info.width;
    *height = info.height;
    *kind = ok ? info.kind : 0;
    if (ok) *orientation = info.orientation;
    return ok;
}

int gformat_jpg_read(PictureBuffer* buffer, FILE* file) { return gformat_jpg_read_scaled(buffer, file, 1); }

int gformat_jpg_read_scaled(PictureBuffer* buffer, FILE* file, int scale) {
    if (!buffer || !file || (scale != 1 && scale != 2 && scale != 4 && scale != 8)) {
        gformat_error("JPG: picture does not match the buffer");
        return 0;
    }
    JpgSource src;
    jpg_source_init(&src, file, -1);
    JpgInfo info;
    return jpg_decode(&src, &info, scale, buffer, nullptr);
}

int gformat_jpg_read_pack(long size, PictureBuffer** buffer) {
    *buffer = nullptr;
    JpgSource src;
    jpg_source_init(&src, nullptr, size < 0 ? 0 : size);
    JpgInfo info;
    return jpg_decode(&src, &info, 1, nullptr, buffer);
}

int gformat_jpg_write(FILE* file, const PictureBuffer* buffer, int quality) {
    if (!file || !buffer ||
        (buffer->kind != IMG_8BIT && buffer->kind != IMG_24BIT && buffer->kind != (IMG_24BIT | IMG_ALPHA)) ||
        buffer->width <= 0 || buffer->height <= 0) {
        gformat_error("JPG: ");
        return 0;
    }
    jpeg_compress_struct cinfo;
    JpgError err;
    cinfo.err = &err.pub;
    jpg_setup_errors(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return 0;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    const bool grey = buffer->kind == IMG_8BIT;
    cinfo.image_width = (JDIMENSION)buffer->width;
    cinfo.image_height = (JDIMENSION)buffer->height;
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = TRUE;
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = row_of(buffer, (int)cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 1;
}

int gformat_exif_orientation(const uint8_t* data, size_t size) {
    // "Exif", two zero bytes, then a TIFF header: byte order, 42, the first directory's offset.
    if (!data || size < 6 + 8 || std::memcmp(data, "Exif\0\0", 6) != 0) return 1;
    const uint8_t* tiff = data + 6;
    const size_t n = size - 6;
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!big && !(tiff[0] == 'I' && tiff[1] == 'I')) return 1;
    auto u16 = [&](size_t at) { return big ? tiff[at] << 8 | tiff[at + 1] : tiff[at] | tiff[at + 1] << 8; };
    auto u32 = [&](size_t at) {
        return (uint32_t)u16(big ? at : at + 2) << 16 | (uint32_t)u16(big ? at + 2 : at);
    };
    if (u16(2) != 42) return 1;
    const uint32_t directory = u32(4);
    if (directory < 8 || directory > n - 2) return 1;
    // Every entry of the directory must lie inside the block: 12 bytes each after the count.
    const size_t count = (size_t)u16(directory);
    if (count > (n - directory - 2) / 12) return 1;
    for (size_t i = 0; i < count; i++) {
        const size_t entry = directory + 2 + 12 * i;
        if (u16(entry) != 0x0112) continue;
        // One SHORT, held in the first two bytes of the value field.
        if (u16(entry + 2) != 3 || u32(entry + 4) != 1) return 1;
        const int orientation = u16(entry + 8);
        return orientation >= 1 && orientation <= 8 ? orientation : 1;
    }
    return 1;
}

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
    int ok = pos >= 0 && bmp_parse(file, h) && buffer_matches(buffer, h->width, h->height, bmp_kind(h)) &&
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
        std::memcpy(row, row_of(buffer, y), (size_t)w * 3);
        ok = std::fwrite(row, 1, row_size, file) == row_size;
    }
    pic_mem_free(row);
    if (!ok) gformat_error(BMP_SAVE_ERROR);
    return ok;
}

int gformat_tif_info(const char* path, int* width, int* height, int* kind) {
    *width = *height = *kind = 0;
    TIFF* tif = tif_open(path);
    if (!tif) return 0;
    TifLayout* t = (TifLayout*)pic_mem_alloc(sizeof(TifLayout));
    const int ok = tif_examine(tif, t);
    TIFFClose(tif);
    if (ok) {
        *width = t->width;
        *height = t->height;
        *kind = t->kind;
    }
    pic_mem_free(t);
    return ok;
}

// The file is examined again on the handle that reads it, so it cannot change in between.
int gformat_tif_read(PictureBuffer* buffer, const char* path) {
    TIFF* tif = tif_open(path);
    if (!tif) return 0;
    TifLayout* t = (TifLayout*)pic_mem_alloc(sizeof(TifLayout));
    int ok = tif_examine(tif, t);
    if (ok && !buffer_matches(buffer, t->width, t->height, t->kind)) {
        tif_fail("unknown error");
        ok = 0;
    }
    uint8_t* scanline = ok ? (uint8_t*)pic_mem_alloc((size_t)TIFFScanlineSize64(tif)) : nullptr;
    for (int y = 0; ok && y < t->height; y++) {
        if ((y & 63) == 0) pic_progress(y, t->height);
        if (TIFFReadScanline(tif, scanline, (uint32_t)y, 0) < 0)
            ok = 0;  // the library reported it
        else
            tif_convert_row(t, scanline, buffer, y);
    }
    TIFFClose(tif);
    pic_mem_free(scanline);
    pic_mem_free(t);
    return ok;
}
