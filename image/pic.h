// image/pic.h -- picture import and export: picture buffers, the working picture, and the JPEG
// loader of the memory file cache.
//
// The working picture is the one picture buffer held between the calls of one import or save
// operation. Loading a new one releases the previous one; callers release it with pic_free when
// done. Results: 1 success, 0 failure.
#pragma once
#include <cstddef>

#include "image/gformat.h"
#include "image/img.h"

// --- The codecs' memory hooks ---
// Picture buffers and the codecs' own work buffers are taken through these. Start-up hands the
// counted allocator to them (io_mem_alloc, io_mem_free); until then they are the same two
// functions.
using PicAllocHook = void* (*)(size_t size);
using PicFreeHook = void (*)(void* block);
void pic_install_memory_hooks(PicAllocHook alloc, PicFreeHook release);
[[nodiscard]] void* pic_mem_alloc(size_t size);
void pic_mem_free(void* block);

// --- Picture buffers ---
// Null when (kind & 15) is 0, a side is not positive, or the picture exceeds the limits of
// base/limits.h. Pixels are undefined.
[[nodiscard]] PictureBuffer* pic_create(int width, int height, int kind);
void pic_release(PictureBuffer* buffer);  // null ignored
// True when width x height pixels of kind fit the picture limits (no overflow on the way).
bool pic_size_ok(long long width, long long height, int kind);

// --- The working picture ---
// Decodes the file with the codec its first bytes name (JPEG, PNG, WebP, BMP, TIFF or IMG; the
// name's extension plays no part), turns a JPEG photo upright by its EXIF orientation and
// converts the picture to kind 3. 0 for a file no codec of the game reads. pic_import_fit
// without a box.
int pic_import(const char* path);
int pic_size(int* width, int* height);                // 0 (and 0 x 0) without a working picture
int pic_resample(int width, int height, int smooth);  // smooth: filtered, else nearest
[[nodiscard]] Image* pic_to_image();                  // screen kind; the working picture stays
void pic_free();
PictureBuffer* pic_working();                                // null when none is held
int pic_load_jpeg(const char* path);                         // kind 1 or 3, not converted
[[nodiscard]] Image* pic_load_jpeg_image(const char* path);  // null on failure
int pic_save_jpeg(const char* path, int quality);            // the box picture uses quality 80
int pic_save_bmp(const char* path);                          // 24-bit, bottom-up

// --- Import for the create room ---
// As pic_import. A JPEG at least twice as large as the picture fitted to the fitWidth x
// fitHeight box it will be shown in is decoded at a reduced scale (a half, a quarter or an
// eighth), never below that fitted size (0 x 0: always the full size). *fullWidth and
// *fullHeight get the upright size the file holds (the working picture may be smaller, with the
// same proportions; both 0 on failure).
int pic_import_fit(const char* path, int fitWidth, int fitHeight, int* fullWidth, int* fullHeight);
// An import reports step(done, total) now and then while it decodes and turns the picture (the
// total stays the same through one import, done rises to it); null reports nothing. The hook
// stays until it is replaced.
using PicProgress = void (*)(int done, int total);
void pic_set_progress(PicProgress step);
// The codecs' and the turning's report: done of total rows of the step at hand. Nothing happens
// outside an import.
void pic_progress(int done, int total);
// --- Thumbnails (the file chooser) ---
// The pixels of the picture in a file, from its head alone (-1 when no codec of the game reads
// it); *isJpeg is 1 for a JPEG, which decodes at an eighth of its size.
long long pic_thumbnail_pixels(const char* path, int* isJpeg);
// The picture fitted into side x side (never enlarged) as a screen-kind Image (io_mem), decoded
// at a reduced scale where the format allows; the working picture and the progress hook are left
// as they were. Null when it cannot be read, or when it holds more pixels than the budget of its
// kind (jpegPixels for a JPEG, otherPixels for any other format), so that one thumbnail never
// takes long.
[[nodiscard]] Image* pic_thumbnail(const char* path, int side, long long jpegPixels, long long otherPixels);
// The same over several steps, so that none takes long: a JPEG is decoded a slice at a time, at
// most `bytes` of its file a step, whatever its size (when it holds at most jpegPixels); any other
// format at once in the first step (when it holds at most otherPixels). A step gives 1 when the job is done,
// with the thumbnail in *out (null when the picture gives none), else 0.
struct PicThumbJob;
[[nodiscard]] PicThumbJob* pic_thumbnail_begin(const char* path, int side, long long jpegPixels,
                                               long long otherPixels);
int pic_thumbnail_step(PicThumbJob* job, long bytes, Image** out);
void pic_thumbnail_end(PicThumbJob* job);  // at any point; null ignored
// The "All Formats" pattern of picture_filter, as the file chooser takes it.
const char* picture_filter_all();
// Taking the working picture out of the module (the caller releases it with pic_release), and
// handing a buffer in as the working picture (the module releases it from then on).
[[nodiscard]] PictureBuffer* pic_take();
void pic_put(PictureBuffer* buffer);

// The memory file cache's loader of ".jpg" resources: an Image of the screen's kind in a new
// io_mem block. A resource that does not decode is fatal ("jpg_loader: gformat_jpg_read %s").
[[nodiscard]] void* jpg_loader(int file_index);
