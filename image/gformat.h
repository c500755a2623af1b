// image/gformat.h -- the picture codecs: BMP (our own reader and writer), JPEG over libjpeg,
// TIFF over libtiff, PNG over libpng and WebP over libwebp, working on picture buffers.
//
// Results: 1 success, 0 failure. Every failure first passes a text to gformat_error.
// The "info" calls leave an open file where they found it; every "read" call first checks that
// the buffer's width, height and kind equal what the file holds. Pictures larger than the limits
// of base/limits.h, empty ones, and files whose pixel data end early are refused.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "image/img.h"

// The codec-side raster: one block holding this view header followed by the colour plane and,
// for kinds with an alpha plane, the alpha plane. The view's pointers point into the same block;
// pitch = (kind & 15) * width, alpha pitch = ((kind >> 4) & 15) * width, rows top to bottom.
// Made by pic_create (image/pic.h) and released by pic_release.
using PictureBuffer = ImageView;

// --- JPEG, on an open file (kinds 1 and 3; writing takes 1, 3 and 0x13, alpha ignored) ---
int gformat_jpg_info(FILE* file, int* width, int* height, int* kind);
int gformat_jpg_read(PictureBuffer* buffer, FILE* file);
// Decodes the JPEG of `size` bytes at the data pack's current file (resources/dp.h) into a new
// buffer in *buffer, never reading past those bytes.
int gformat_jpg_read_pack(long size, PictureBuffer** buffer);
int gformat_jpg_write(FILE* file, const PictureBuffer* buffer, int quality);  // quality 1..100
// gformat_jpg_info, and the EXIF orientation the file gives its picture (1..8; 1 when it gives
// none or its EXIF block cannot be trusted).
int gformat_jpg_info_exif(FILE* file, int* width, int* height, int* kind, int* orientation);
// gformat_jpg_read with the picture scaled down while it is decoded, by 1, 2, 4 or 8: the buffer
// must be gformat_jpg_scaled(width, scale) x gformat_jpg_scaled(height, scale).
int gformat_jpg_read_scaled(PictureBuffer* buffer, FILE* file, int scale);
inline int gformat_jpg_scaled(int side, int scale) { return (side + scale - 1) / scale; }
// A JPEG decoded a slice at a time, so that no step takes long whatever the picture's size (the
// file chooser's thumbnails): each step reads at most `bytes` more of the file. The picture comes
// out scaled down by 2, 4 or 8 as far as it still covers fitWidth x fitHeight once upright.
struct GformatJpgSlices;
[[nodiscard]] GformatJpgSlices* gformat_jpg_slices_begin(const char* path, int fitWidth, int fitHeight);
int gformat_jpg_slices_step(GformatJpgSlices* slices, long bytes);  // 1 complete, 0 more to do, -1 failed
// The complete picture (kind 1 or 3, not yet turned: *orientation is its EXIF orientation), once;
// the caller releases it. Null before it is complete.
[[nodiscard]] PictureBuffer* gformat_jpg_slices_take(GformatJpgSlices* slices, int* orientation);
void gformat_jpg_slices_end(GformatJpgSlices* slices);  // at any point; null ignored
// The orientation an APP1 block of `size` bytes gives ("Exif\0\0", then a TIFF header and the
// first directory's tag 0x0112): 1..8, and 1 for anything missing, broken or out of bounds.
int gformat_exif_orientation(const uint8_t* data, size_t size);

// --- BMP, on an open file (reads give kind 3, or kind 2 for 16-bit files; writes kind 3) ---
// Info headers of 12, 40, 64, 108 and 124 bytes; the longer two carry their bit-field masks.
int gformat_bmp_info(FILE* file, int* width, int* height, int* kind);
int gformat_bmp_read(PictureBuffer* buffer, FILE* file);
int gformat_bmp_write(FILE* file, const PictureBuffer* buffer);

// --- TIFF, on a path: the library opens the file itself (kinds 1, 3 and 0x13) ---
int gformat_tif_info(const char* path, int* width, int* height, int* kind);
int gformat_tif_read(PictureBuffer* buffer, const char* path);

// --- PNG and WebP, on an open file: every layout the formats allow, read as kind 3 with any
// transparency composited over white. Animated WebP files are refused. ---
int gformat_png_info(FILE* file, int* width, int* height, int* kind);
int gformat_png_read(PictureBuffer* buffer, FILE* file);
int gformat_webp_info(FILE* file, int* width, int* height, int* kind);
int gformat_webp_read(PictureBuffer* buffer, FILE* file);

// The codecs' error hook: keeps the text for gformat_last_error and writes it to the log.
// The game shows nothing by itself; callers tell the player their own way.
void gformat_error(const char* text);
const char* gformat_last_error();  // the latest text, "" before the first

// The open-file dialog's list of picture types: description and pattern pairs, each
// zero-terminated, ended by an empty string.
extern const char picture_filter[];
