// image/gformat_jpeg.cpp -- JPEG through libjpeg: reading from a file or from the data pack,
// scaled while decoding, the EXIF orientation, and writing.
//
// The header's size is checked against the picture limits before anything is allocated for the
// picture; libjpeg's own memory is capped and comes through the codecs' hooks. libjpeg's fatal
// errors jump back to the call that started the decoding.
#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "base/le.h"
#include "base/limits.h"
#include "image/gformat_local.h"
#include "image/pic.h"
#include "platform/io_file.h"
#include "resources/dp.h"

namespace {

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
    else if (into && !gformat_buffer_matches(into, width, height, info->kind))
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
        JSAMPROW row = gformat_row(target, (int)cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) ERREXIT(&cinfo, JERR_INPUT_EOF);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (made) *made = created;
    return 1;
}

}  // namespace

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

// --- Decoding in slices ---
//
// libjpeg's suspension: the source never reads inside the library. When its buffer runs dry it
// suspends the decoding (the library backs up to the start of the unit it was in and leaves its
// position there); between two calls the step keeps the bytes from that position on, adds the
// step's new bytes behind them and calls again. Skipping (unknown markers) beyond the buffer is
// done on the file at the next refill. Once the file has ended, an end marker is supplied.

namespace {

struct SliceSource {
    jpeg_source_mgr pub;
    FILE* file;
    long skip;   // bytes to skip in the file before the next read
    bool ended;  // the file has no more bytes
    JOCTET* data;
    size_t capacity;
};

const JOCTET SLICE_END[2] = {0xFF, JPEG_EOI};

boolean slice_fill(j_decompress_ptr cinfo) {
    SliceSource* src = (SliceSource*)cinfo->src;
    if (!src->ended) return FALSE;  // suspended until the next step brings bytes
    src->pub.next_input_byte = SLICE_END;
    src->pub.bytes_in_buffer = sizeof SLICE_END;
    return TRUE;
}

void slice_skip(j_decompress_ptr cinfo, long count) {
    SliceSource* src = (SliceSource*)cinfo->src;
    if (count <= 0) return;
    if ((size_t)count <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= (size_t)count;
        return;
    }
    src->skip += count - (long)src->pub.bytes_in_buffer;
    src->pub.next_input_byte += src->pub.bytes_in_buffer;
    src->pub.bytes_in_buffer = 0;
}

// Between two calls: the bytes from the library's position on stay, up to `bytes` new ones are
// added behind them. 0 when memory runs out.
int slice_refill(SliceSource* src, long bytes) {
    if (src->ended || bytes <= 0) return 1;
    if (src->skip > 0) {
        if (std::fseek(src->file, src->skip, SEEK_CUR) != 0) src->ended = true;
        src->skip = 0;
    }
    const size_t kept = src->pub.bytes_in_buffer, want = (size_t)bytes;
    if (kept + want > src->capacity) {
        JOCTET* grown = (JOCTET*)pic_mem_alloc(kept + want);
        if (!grown) return 0;
        if (kept) std::memcpy(grown, src->pub.next_input_byte, kept);
        pic_mem_free(src->data);
        src->data = grown;
        src->capacity = kept + want;
    } else if (kept && src->pub.next_input_byte != src->data) {
        std::memmove(src->data, src->pub.next_input_byte, kept);
    }
    const size_t got = src->ended ? 0 : std::fread(src->data + kept, 1, want, src->file);
    if (got < want) src->ended = true;
    src->pub.next_input_byte = src->data;
    src->pub.bytes_in_buffer = kept + got;
    return 1;
}

}  // namespace

struct GformatJpgSlices {
    jpeg_decompress_struct cinfo;
    JpgError err;
    SliceSource src;
    int stage;  // 0 header, 1 starting, 2 rows, 3 done, -1 failed
    int fitWidth, fitHeight, scale, orientation, kind;
    PictureBuffer* picture;
};

GformatJpgSlices* gformat_jpg_slices_begin(const char* path, int fitWidth, int fitHeight) {
    FILE* file = path ? io_fopen_read(path) : nullptr;
    if (!file) return nullptr;
    auto* s = (GformatJpgSlices*)pic_mem_alloc(sizeof(GformatJpgSlices));
    if (!s) {
        std::fclose(file);
        return nullptr;
    }
    std::memset((void*)s, 0, sizeof *s);
    s->fitWidth = fitWidth;
    s->fitHeight = fitHeight;
    s->orientation = 1;
    s->cinfo.err = &s->err.pub;
    jpg_setup_errors(&s->err);
    if (setjmp(s->err.jump)) {
        jpeg_destroy_decompress(&s->cinfo);
        std::fclose(file);
        pic_mem_free(s);
        return nullptr;
    }
    jpeg_create_decompress(&s->cinfo);
    s->cinfo.mem->max_memory_to_use = JPG_MEMORY_MAX;
    s->src.pub.init_source = jpg_init_source;
    s->src.pub.fill_input_buffer = slice_fill;
    s->src.pub.skip_input_data = slice_skip;
    s->src.pub.resync_to_restart = jpeg_resync_to_restart;
    s->src.pub.term_source = jpg_term_source;
    s->src.file = file;
    s->cinfo.src = &s->src.pub;
    jpeg_save_markers(&s->cinfo, JPEG_APP0 + 1, JPG_APP1_MAX);
    return s;
}

// What the header says: the scale that still covers the box, the buffer, the output set up.
static int slices_after_header(GformatJpgSlices* s) {
    jpeg_decompress_struct& c = s->cinfo;
    s->kind = c.out_color_space == JCS_GRAYSCALE ? IMG_8BIT
              : c.out_color_space == JCS_UNKNOWN ? 0
                                                 : IMG_24BIT;
    s->orientation = jpg_orientation(&c);
    if (s->kind == 0 || !pic_size_ok(c.image_width, c.image_height, s->kind)) {
        gformat_error(s->kind ? "JPG: picture too large" : "JPG: unknown colour space");
        return 0;
    }
    const bool across = s->orientation >= 5;
    const long long w = across ? c.image_height : c.image_width, h = across ? c.image_width : c.image_height;
    s->scale = 1;
    for (int scale = 8; scale > 1 && s->scale == 1; scale /= 2)
        if ((long long)gformat_jpg_scaled((int)w, scale) >= std::min<long long>(w, s->fitWidth) &&
            (long long)gformat_jpg_scaled((int)h, scale) >= std::min<long long>(h, s->fitHeight))
            s->scale = scale;
    if (s->kind == IMG_24BIT) c.out_color_space = JCS_EXT_BGR;
    c.dct_method = JDCT_FLOAT;  // as the whole decode: the same pixels
    c.scale_num = 1;
    c.scale_denom = (unsigned)s->scale;
    s->picture = pic_create(gformat_jpg_scaled((int)c.image_width, s->scale),
                            gformat_jpg_scaled((int)c.image_height, s->scale), s->kind);
    return s->picture != nullptr;
}

int gformat_jpg_slices_step(GformatJpgSlices* s, long bytes) {
    if (!s || s->stage < 0) return -1;
    if (s->stage == 3) return 1;
    if (!slice_refill(&s->src, bytes)) {
        gformat_error("JPG: out of memory");
        s->stage = -1;
        return -1;
    }
    jpeg_decompress_struct& c = s->cinfo;
    if (setjmp(s->err.jump)) {
        s->stage = -1;
        return -1;
    }
    if (s->stage == 0) {
        if (jpeg_read_header(&c, TRUE) == JPEG_SUSPENDED) return 0;
        if (!slices_after_header(s)) {
            s->stage = -1;
            return -1;
        }
        s->stage = 1;
    }
    if (s->stage == 1) {
        if (!jpeg_start_decompress(&c)) return 0;
        if ((int)c.output_width != s->picture->width || (int)c.output_height != s->picture->height ||
            c.output_components != (s->kind & 15))
            ERREXIT(&c, JERR_BAD_IN_COLORSPACE);
        s->stage = 2;
    }
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = gformat_row(s->picture, (int)c.output_scanline);
        if (jpeg_read_scanlines(&c, &row, 1) != 1) return 0;  // suspended mid-way
    }
    s->stage = 3;  // the rest of the file (its end marker) is not needed
    return 1;
}

PictureBuffer* gformat_jpg_slices_take(GformatJpgSlices* s, int* orientation) {
    if (!s || s->stage != 3) return nullptr;
    *orientation = s->orientation;
    PictureBuffer* picture = s->picture;
    s->picture = nullptr;
    return picture;
}

void gformat_jpg_slices_end(GformatJpgSlices* s) {
    if (!s) return;
    jpeg_destroy_decompress(&s->cinfo);
    std::fclose(s->src.file);
    pic_mem_free(s->src.data);
    pic_release(s->picture);
    pic_mem_free(s);
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
        JSAMPROW row = gformat_row(buffer, (int)cinfo.next_scanline);
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
