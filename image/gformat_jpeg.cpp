// image/gformat_jpeg.cpp -- JPEG through libjpeg: reading from a file or from the data pack,
// scaled while decoding, the EXIF orientation, and writing.
//
// The header's size is checked against the picture limits before anything is allocated for the
// picture; libjpeg's own memory is capped and comes through the codecs' hooks. libjpeg's fatal
// errors jump back to the call that started the decoding.
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
