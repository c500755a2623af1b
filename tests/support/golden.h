// tests/support/golden.h -- approved pictures pinned by the hash of their pixels.
//
// To approve a changed output: run the test with LUMAVEX_GOLDEN set to a folder; every picture
// that passes through golden_hash is also written there as <name>.png. Look at them, and when
// they are right, copy the hashes the failing expectations print into the test.
#pragma once
#include <cstddef>
#include <cstdint>

#include "image/img.h"

uint64_t hash_bytes(const void* data, size_t size, uint64_t hash = 0xCBF29CE484222325ull);  // FNV-1a
// The hash of the view's colour bytes, row by row (1- or 3-byte pixels); written as <name>.png
// too when LUMAVEX_GOLDEN names a folder (the name is a printf format and its arguments).
uint64_t golden_hash(const ImageView& view, const char* name, ...) __attribute__((format(printf, 2, 3)));
