// image/pic.cpp -- picture buffers, the working picture (import, resample, export) and the JPEG
// loader of the memory file cache.
//
// The working picture is one module-wide slot. The cache's JPEG loader and pic_load_jpeg_image
// decode into buffers of their own, so a picture held by a room survives a cache load.
// An import turns a JPEG photo upright by its EXIF orientation, and may decode a large one at a
// reduced scale when the caller says how large it will be shown.
#include "image/pic.h"

#include <algorithm>
#include <cstring>

#include "base/le.h"
#include "base/limits.h"
#include "image/gformat_img.h"
#include "image/img_scale.h"
#include "platform/io_debug.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"
#include "resources/dp.h"

namespace {

struct PicState {
    PicAllocHook alloc;  // picture buffers and codec work buffers
    PicFreeHook release;
    PictureBuffer* working;  // the working picture, or null
    PicProgress progress;    // the import's progress hook, or null
    bool importing;          // progress is reported only inside an import
    int stage_base;          // the current step's rows start here among the import's rows
    int stage_rows;          // rows of the current step
    int import_rows;         // rows of the whole import: the total reported
};
PicState g_pic = {io_mem_alloc, io_mem_free, nullptr, nullptr, false, 0, 0, 0};

// The pixels start this far into a buffer's block, aligned for any row access.
constexpr size_t PIC_HEADER_SIZE = (sizeof(PictureBuffer) + 15) & ~(size_t)15;

enum PictureFormat {
    FORMAT_UNKNOWN,
    FORMAT_JPEG,
    FORMAT_BMP,
    FORMAT_TIFF,
    FORMAT_IMG,
    FORMAT_PNG,
    FORMAT_WEBP
};

// What the first bytes of an open file say it holds; the file is back at its start. JPEG needs
// only its start-of-image marker, TIFF either byte order of the classic or the big header, PNG
// its whole signature, WebP the RIFF header naming it.
PictureFormat picture_format(FILE* file) {
    uint8_t head[12] = {};
    const size_t got = std::fread(head, 1, sizeof head, file);
    if (std::fseek(file, 0, SEEK_SET) != 0 || got < 2) return FORMAT_UNKNOWN;
    if (head[0] == 0xFF && head[1] == 0xD8) return FORMAT_JPEG;
    if (head[0] == 'B' && head[1] == 'M') return FORMAT_BMP;
    if (got >= 8 && std::memcmp(head, "\x89PNG\r\n\x1A\n", 8) == 0) return FORMAT_PNG;
    if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0)
        return FORMAT_WEBP;
    if (got < 4) return FORMAT_UNKNOWN;
    const bool intel = head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0;
    const bool motorola =
        head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43);
    if (intel || motorola) return FORMAT_TIFF;
    LeCursor magic = le_cursor(head, sizeof head);
    return le_u32(&magic) == IMG_MAGIC ? FORMAT_IMG : FORMAT_UNKNOWN;
}

// A kind 3 copy of buffer (grey replicated, 5-5-5 expanded, alpha dropped); buffer is released.
PictureBuffer* to_colour(PictureBuffer* buffer) {
    if (buffer->kind == IMG_24BIT) return buffer;
    PictureBuffer* colour = pic_create(buffer->width, buffer->height, IMG_24BIT);
    if (colour) img_view_convert(colour, buffer);
    pic_release(buffer);
    return colour;
}

// A new Image of the screen's kind holding the buffer's pixels.
Image* image_of(const PictureBuffer* buffer) {
    Image* image = img_create(buffer->width, buffer->height, IMG_KIND_SCREEN);
    ImageView view;
    img_view(&view, image, 0, 0);
    img_view_convert(&view, buffer);
    return image;
}

// The rows of the import's next step: step reports of done of total map into them.
void progress_stage(int base, int rows, int whole) {
    g_pic.stage_base = base;
    g_pic.stage_rows = rows;
    g_pic.import_rows = whole;
}

// Decodes an open file with one codec's info and read calls into a new buffer, or null.
PictureBuffer* decode_file(FILE* file, int (*info)(FILE*, int*, int*, int*),
                           int (*read)(PictureBuffer*, FILE*)) {
    int width = 0, height = 0, kind = 0;
    PictureBuffer* buffer = info(file, &width, &height, &kind) ? pic_create(width, height, kind) : nullptr;
    progress_stage(0, height, height);
    if (buffer && !read(buffer, file)) {
        pic_release(buffer);
        buffer = nullptr;
    }
    return buffer;
}

// The TIFF codec opens the file itself.
PictureBuffer* decode_tiff(const char* path) {
    int width = 0, height = 0, kind = 0;
    PictureBuffer* buffer =
        gformat_tif_info(path, &width, &height, &kind) ? pic_create(width, height, kind) : nullptr;
    progress_stage(0, height, height);
    if (buffer && !gformat_tif_read(buffer, path)) {
        pic_release(buffer);
        buffer = nullptr;
    }
    return buffer;
}

// An IMG file as a colour buffer, or null.
PictureBuffer* decode_img(FILE* file) {
    Image* image = img_read(file);
    if (!image) return nullptr;
    PictureBuffer* colour = pic_create(image->width, image->height, IMG_24BIT);
    if (colour) {
        ImageView view;
        img_view(&view, image, 0, 0);
        img_view_convert(colour, &view);
    }
    io_mem_free(image);
    return colour;
}

// Decodes a JPEG file into a new buffer (kind 1 or 3), or null.
PictureBuffer* load_jpeg(const char* path) {
    FILE* file = io_fopen_read(path);
    if (!file) return nullptr;
    PictureBuffer* buffer = decode_file(file, gformat_jpg_info, gformat_jpg_read);
    std::fclose(file);
    return buffer;
}

// Copies the pixels of `in` to `out` along the source steps of one output column and one output
// row, in tiles so that a turn by a quarter reads the source in cache-sized pieces.
template <int BYTES>
void turn_pixels(PictureBuffer* out, const uint8_t* origin, ptrdiff_t step_x, ptrdiff_t step_y) {
    constexpr int TILE = 64;
    for (int ty = 0; ty < out->height; ty += TILE) {
        pic_progress(ty, out->height);
        const int y_end = std::min(ty + TILE, out->height);
        for (int tx = 0; tx < out->width; tx += TILE) {
            const int x_end = std::min(tx + TILE, out->width);
            for (int y = ty; y < y_end; y++) {
                const uint8_t* src = origin + y * step_y + tx * step_x;
                uint8_t* dst = out->pixels + (ptrdiff_t)y * out->pitch + tx * BYTES;
                for (int x = tx; x < x_end; x++, src += step_x, dst += BYTES)
                    for (int b = 0; b < BYTES; b++)
                        dst[b] = src[b];
            }
        }
    }
}

// A new buffer with the picture turned or mirrored upright by an EXIF orientation: 2 mirrors
// left to right, 3 turns by a half, 4 mirrors top to bottom, 5 mirrors about the main diagonal,
// 6 turns a quarter clockwise, 7 mirrors about the other diagonal, 8 turns a quarter
// anticlockwise. Null when the buffer cannot be made; kinds 1 and 3.
PictureBuffer* turn_upright(const PictureBuffer* in, int orientation) {
    const int bytes = in->kind & 15;
    const bool across = orientation >= 5;  // columns become rows
    PictureBuffer* out =
        pic_create(across ? in->height : in->width, across ? in->width : in->height, in->kind);
    if (!out) return nullptr;
    // Where out (0, 0) is taken from, and the source steps of one column and one row of out.
    const ptrdiff_t right = in->width - 1, bottom = in->height - 1, px = bytes, row = in->pitch;
    ptrdiff_t x0 = 0, y0 = 0, step_x = px, step_y = row;
    switch (orientation) {
        case 2:
            x0 = right, step_x = -px;
            break;
        case 3:
            x0 = right, y0 = bottom, step_x = -px, step_y = -row;
            break;
        case 4:
            y0 = bottom, step_y = -row;
            break;
        case 5:
            step_x = row, step_y = px;
            break;
        case 6:
            y0 = bottom, step_x = -row, step_y = px;
            break;
        case 7:
            x0 = right, y0 = bottom, step_x = -row, step_y = -px;
            break;
        case 8:
            x0 = right, step_x = row, step_y = -px;
            break;
        default:
            break;
    }
    const uint8_t* origin = in->pixels + y0 * row + x0 * px;
    if (bytes == 3)
        turn_pixels<3>(out, origin, step_x, step_y);
    else
        turn_pixels<1>(out, origin, step_x, step_y);
    return out;
}

// The scale (1, 2, 4 or 8) a JPEG whose upright picture is width x height is decoded at to be
// shown in a box: the smallest that still covers the picture fitted to the box (the side that
// limits fills the box, the other keeps the proportions, rounded up), 1 without a box or when the
// picture fits as it is.
int jpeg_scale(int width, int height, int fitWidth, int fitHeight) {
    if (fitWidth <= 0 || fitHeight <= 0 || (width <= fitWidth && height <= fitHeight)) return 1;
    const long long w = width, h = height;
    const bool wide = w * fitHeight > h * fitWidth;
    const long long fw = wide ? fitWidth : (w * fitHeight + h - 1) / h;
    const long long fh = wide ? (h * fitWidth + w - 1) / w : fitHeight;
    for (int scale = 8; scale > 1; scale /= 2)
        if (gformat_jpg_scaled(width, scale) >= fw && gformat_jpg_scaled(height, scale) >= fh) return scale;
    return 1;
}

// A JPEG file decoded at the scale the box asks for and turned upright; *width x *height gets
// the upright size the file holds. Null on failure.
PictureBuffer* decode_jpeg_upright(FILE* file, int fitWidth, int fitHeight, int* width, int* height) {
    int w, h, kind, orientation;
    if (!gformat_jpg_info_exif(file, &w, &h, &kind, &orientation)) return nullptr;
    const bool across = orientation >= 5;
    *width = across ? h : w;
    *height = across ? w : h;
    const int scale = jpeg_scale(*width, *height, fitWidth, fitHeight);
    const int dw = gformat_jpg_scaled(w, scale), dh = gformat_jpg_scaled(h, scale);
    const int turn_rows = orientation == 1 ? 0 : across ? dw : dh;
    progress_stage(0, dh, dh + turn_rows);
    PictureBuffer* buffer = pic_create(dw, dh, kind);
    if (buffer && !gformat_jpg_read_scaled(buffer, file, scale)) {
        pic_release(buffer);
        return nullptr;
    }
    if (buffer && orientation != 1) {
        progress_stage(dh, turn_rows, dh + turn_rows);
        PictureBuffer* upright = turn_upright(buffer, orientation);
        pic_release(buffer);
        buffer = upright;
    }
    return buffer;
}

void set_working(PictureBuffer* buffer) {
    if (g_pic.working != buffer) pic_release(g_pic.working);
    g_pic.working = buffer;
}

}  // namespace

// --- Memory hooks ---

void pic_install_memory_hooks(PicAllocHook alloc, PicFreeHook release) {
    IO_ASSERT(alloc && release);
    g_pic.alloc = alloc;
    g_pic.release = release;
}

void* pic_mem_alloc(size_t size) { return g_pic.alloc(size); }
void pic_mem_free(void* block) {
    if (block) g_pic.release(block);
}

// --- Picture buffers ---

bool pic_size_ok(long long width, long long height, int kind) {
    const long long bytes = (kind & 15) + ((kind >> 4) & 15);
    long long pixels, total;
    return width > 0 && height > 0 && width <= PICTURE_SIDE_MAX && height <= PICTURE_SIDE_MAX && bytes > 0 &&
           !__builtin_mul_overflow(width, height, &pixels) && pixels <= PICTURE_PIXELS_MAX &&
           !__builtin_mul_overflow(pixels, bytes, &total) && total <= (long long)(SIZE_MAX / 2);
}

PictureBuffer* pic_create(int width, int height, int kind) {
    const int colour = kind & 15, alpha = (kind >> 4) & 15;
    if (colour == 0 || !pic_size_ok(width, height, kind)) return nullptr;
    const size_t pixels = (size_t)width * (size_t)height;
    uint8_t* block = (uint8_t*)pic_mem_alloc(PIC_HEADER_SIZE + pixels * (size_t)(colour + alpha));
    if (!block) return nullptr;
    PictureBuffer* buffer = (PictureBuffer*)block;
    buffer->width = width;
    buffer->height = height;
    buffer->kind = kind;
    buffer->pixels = block + PIC_HEADER_SIZE;
    buffer->pitch = colour * width;
    buffer->alpha = alpha ? buffer->pixels + pixels * colour : nullptr;
    buffer->alphaPitch = alpha * width;
    return buffer;
}

void pic_release(PictureBuffer* buffer) { pic_mem_free(buffer); }

// --- The working picture ---

int pic_import(const char* path) {
    int width, height;
    return pic_import_fit(path, 0, 0, &width, &height);
}

int pic_import_fit(const char* path, int fitWidth, int fitHeight, int* fullWidth, int* fullHeight) {
    set_working(nullptr);
    *fullWidth = *fullHeight = 0;
    FILE* file = path ? io_fopen_read(path) : nullptr;
    if (!file) return 0;
    g_pic.importing = true;
    progress_stage(0, 0, 0);
    PictureBuffer* buffer = nullptr;
    int width = 0, height = 0;  // the upright size the file holds, when the codec turns it
    switch (picture_format(file)) {
        case FORMAT_JPEG:
            buffer = decode_jpeg_upright(file, fitWidth, fitHeight, &width, &height);
            break;
        case FORMAT_PNG:
            buffer = decode_file(file, gformat_png_info, gformat_png_read);
            break;
        case FORMAT_WEBP:
            buffer = decode_file(file, gformat_webp_info, gformat_webp_read);
            break;
        case FORMAT_BMP:
            buffer = decode_file(file, gformat_bmp_info, gformat_bmp_read);
            break;
        case FORMAT_TIFF:
            buffer = decode_tiff(path);
            break;
        case FORMAT_IMG:
            buffer = decode_img(file);
            break;
        case FORMAT_UNKNOWN:
            break;  // no codec of the game reads it
    }
    std::fclose(file);
    if (buffer) buffer = to_colour(buffer);
    if (buffer && g_pic.progress && g_pic.import_rows > 0)
        g_pic.progress(g_pic.import_rows, g_pic.import_rows);
    g_pic.importing = false;
    if (!buffer) return 0;
    *fullWidth = width ? width : buffer->width;
    *fullHeight = height ? height : buffer->height;
    set_working(buffer);
    return 1;
}

long long pic_thumbnail_pixels(const char* path, int* isJpeg) {
    *isJpeg = 0;
    FILE* file = path ? io_fopen_read(path) : nullptr;
    if (!file) return -1;
    int w = 0, h = 0, kind = 0, ok = 0;
    switch (picture_format(file)) {
        case FORMAT_JPEG:
            *isJpeg = 1;
            ok = gformat_jpg_info(file, &w, &h, &kind);
            break;
        case FORMAT_PNG:
            ok = gformat_png_info(file, &w, &h, &kind);
            break;
        case FORMAT_WEBP:
            ok = gformat_webp_info(file, &w, &h, &kind);
            break;
        case FORMAT_BMP:
            ok = gformat_bmp_info(file, &w, &h, &kind);
            break;
        case FORMAT_TIFF:
            ok = gformat_tif_info(path, &w, &h, &kind);
            break;
        case FORMAT_IMG:
            ok = gformat_img_info(file, &w, &h, &kind);
            break;
        case FORMAT_UNKNOWN:
            break;
    }
    std::fclose(file);
    return ok && w > 0 && h > 0 ? (long long)w * h : -1;
}

namespace {

// The picture fitted into side x side (never enlarged) as a screen-kind Image; null on failure.
Image* thumbnail_of(const PictureBuffer* picture, int side) {
    int w = picture->width, h = picture->height;
    if (w > side || h > side) {
        if (w >= h) {
            h = std::max(1, (int)((long long)h * side / w));
            w = side;
        } else {
            w = std::max(1, (int)((long long)w * side / h));
            h = side;
        }
    }
    Image* thumbnail = img_create(w, h, IMG_KIND_SCREEN);
    if (!thumbnail) return nullptr;
    ImageView view;
    img_view(&view, thumbnail, 0, 0);
    if (picture->kind == IMG_24BIT && img_resample(&view, picture, IMG_RESAMPLE_HERMITE)) return thumbnail;
    io_mem_free(thumbnail);
    return nullptr;
}

}  // namespace

struct PicThumbJob {
    char path[PATH_MAX_GAME];
    int side;
    long long jpegPixels, otherPixels;
    GformatJpgSlices* jpeg;  // a JPEG decoded slice by slice; null for any other format
};

PicThumbJob* pic_thumbnail_begin(const char* path, int side, long long jpegPixels, long long otherPixels) {
    if (!path || side <= 0) return nullptr;
    auto* job = (PicThumbJob*)io_mem_alloc(sizeof(PicThumbJob));
    *job = PicThumbJob{};
    std::snprintf(job->path, sizeof job->path, "%s", path);
    job->side = side;
    job->jpegPixels = jpegPixels;
    job->otherPixels = otherPixels;
    int isJpeg = 0;
    const long long pixels = pic_thumbnail_pixels(path, &isJpeg);
    if (pixels > 0 && isJpeg && pixels <= jpegPixels) job->jpeg = gformat_jpg_slices_begin(path, side, side);
    return job;
}

int pic_thumbnail_step(PicThumbJob* job, long bytes, Image** out) {
    *out = nullptr;
    if (!job) return 1;
    if (job->jpeg) {
        const int state = gformat_jpg_slices_step(job->jpeg, bytes);
        if (state == 0) return 0;
        int orientation = 1;
        PictureBuffer* picture = state == 1 ? gformat_jpg_slices_take(job->jpeg, &orientation) : nullptr;
        if (picture && picture->kind != IMG_24BIT) picture = to_colour(picture);
        if (picture && orientation != 1) {
            PictureBuffer* upright = turn_upright(picture, orientation);
            pic_release(picture);
            picture = upright;
        }
        if (picture) *out = thumbnail_of(picture, job->side);
        pic_release(picture);
        return 1;
    }
    // Any other format in one go, when it is small enough for that.
    int isJpeg;
    const long long pixels = pic_thumbnail_pixels(job->path, &isJpeg);
    if (pixels <= 0 || isJpeg || pixels > job->otherPixels) return 1;
    PictureBuffer* keep = g_pic.working;  // the import's working picture is left alone
    g_pic.working = nullptr;
    const PicProgress progress = g_pic.progress;
    g_pic.progress = nullptr;
    int fullWidth, fullHeight;
    if (pic_import_fit(job->path, job->side, job->side, &fullWidth, &fullHeight))
        *out = thumbnail_of(g_pic.working, job->side);
    set_working(keep);
    g_pic.progress = progress;
    return 1;
}

void pic_thumbnail_end(PicThumbJob* job) {
    if (!job) return;
    gformat_jpg_slices_end(job->jpeg);
    io_mem_free(job);
}

Image* pic_thumbnail(const char* path, int side, long long jpegPixels, long long otherPixels) {
    PicThumbJob* job = pic_thumbnail_begin(path, side, jpegPixels, otherPixels);
    Image* thumbnail = nullptr;
    while (!pic_thumbnail_step(job, 1L << 30, &thumbnail)) {
    }
    pic_thumbnail_end(job);
    return thumbnail;
}

int pic_size(int* width, int* height) {
    const PictureBuffer* buffer = g_pic.working;
    *width = buffer ? buffer->width : 0;
    *height = buffer ? buffer->height : 0;
    return buffer != nullptr;
}

int pic_resample(int width, int height, int smooth) {
    PictureBuffer* old = g_pic.working;
    if (!old) return 0;
    PictureBuffer* fresh = pic_create(width, height, old->kind);
    if (!fresh) return 0;
    if (!img_resample(fresh, old, smooth ? IMG_RESAMPLE_HERMITE : IMG_RESAMPLE_NEAREST)) {
        pic_release(fresh);
        return 0;
    }
    set_working(fresh);
    return 1;
}

Image* pic_to_image() { return g_pic.working ? image_of(g_pic.working) : nullptr; }

void pic_free() { set_working(nullptr); }

PictureBuffer* pic_working() { return g_pic.working; }

PictureBuffer* pic_take() {
    PictureBuffer* buffer = g_pic.working;
    g_pic.working = nullptr;
    return buffer;
}

void pic_put(PictureBuffer* buffer) { set_working(buffer); }

void pic_set_progress(PicProgress step) { g_pic.progress = step; }

void pic_progress(int done, int total) {
    if (!g_pic.progress || !g_pic.importing || total <= 0) return;
    g_pic.progress(g_pic.stage_base + (int)((long long)done * g_pic.stage_rows / total), g_pic.import_rows);
}

const char* picture_filter_all() { return picture_filter + std::strlen(picture_filter) + 1; }

int pic_load_jpeg(const char* path) {
    set_working(path ? load_jpeg(path) : nullptr);
    return g_pic.working != nullptr;
}

Image* pic_load_jpeg_image(const char* path) {
    PictureBuffer* buffer = path ? load_jpeg(path) : nullptr;
    if (!buffer) return nullptr;
    Image* image = image_of(buffer);
    pic_release(buffer);
    return image;
}

int pic_save_jpeg(const char* path, int quality) {
    if (!g_pic.working || !path) return 0;
    FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    int ok = gformat_jpg_write(file, g_pic.working, quality);
    if (std::fclose(file) != 0) ok = 0;
    return ok;
}

int pic_save_bmp(const char* path) {
    if (!g_pic.working || !path) return 0;
    FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    int ok = gformat_bmp_write(file, g_pic.working);
    if (std::fclose(file) != 0) ok = 0;
    return ok;
}

void* jpg_loader(int file_index) {
    const long size = dp_size(file_index);
    dp_fopen(file_index);
    PictureBuffer* buffer = nullptr;
    const int ok = gformat_jpg_read_pack(size, &buffer);
    dp_fclose();
    if (!ok) io_fatal("jpg_loader: gformat_jpg_read %s", dp_name(file_index));
    Image* image = image_of(buffer);
    pic_release(buffer);
    return image;
}
