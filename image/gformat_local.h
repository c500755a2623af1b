// image/gformat_local.h -- what the codec files (gformat_*.cpp) share among themselves.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "image/gformat.h"

// 1 when the buffer is there with exactly this size and kind.
inline bool gformat_buffer_matches(const PictureBuffer* buffer, int width, int height, int kind) {
    return buffer && buffer->width == width && buffer->height == height && buffer->kind == kind;
}

inline uint8_t* gformat_row(const PictureBuffer* buffer, int y) {
    return buffer->pixels + (ptrdiff_t)y * buffer->pitch;
}
