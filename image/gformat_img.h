// image/gformat_img.h -- the game's own uncompressed picture format, IMG.
//
// An IMG file is byte for byte an Image record: the 36-byte header, the colour plane and the
// optional alpha plane. Header offsets count from the header's first byte, so IMG data may sit
// anywhere inside a larger file; every call works from the file's current position.
// Results: 1 success, 0 failure (failures are also passed to gformat_error).
#pragma once
#include <cstdio>

#include "image/img.h"

// Reads the header at the current position and seeks back to it.
int gformat_img_info(FILE* file, int* width, int* height, int* kind);
// Reads the planes into view, whose width, height and kind must equal the header's. Rows
// stored longer than needed have their surplus skipped.
int gformat_img_read(ImageView* view, FILE* file);
// A new Image holding the IMG data at the current position, or null (nothing left allocated).
// Sizes beyond the picture limits and kinds other than 1, 2, 3, 0x13 are refused.
[[nodiscard]] Image* img_read(FILE* file);

int gformat_img_write(FILE* file, const ImageView* view);
int img_write_image(FILE* file, const Image* image);
