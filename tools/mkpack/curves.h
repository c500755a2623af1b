// tools/mkpack/curves.h -- the eight edge curves: readable point lists in assets/curves/c_N.txt
// turned into "curves/c_N.crv" (8 bytes a point: x, then y, little-endian signed 32-bit).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int CURVE_FILE_COUNT = 8;
inline constexpr int CURVE_POINTS_MAX = 128;

struct CurveFilePoint {
    int32_t x, y;
};

// Reads a point list: one "x y" pair of whole numbers a line; blank lines and text after '#'
// are ignored. A valid list holds 3k + 1 points (k at least 1, at most 128 points), runs left to
// right (last x greater than first x) and ends on the first point's y; list 0 must be straight
// (every y equal). The neighbouring piece draws its side of an edge by walking the list from
// the other end with y mirrored, so a list must be symmetric: point n-1-i is point i with x
// reflected about the middle of the edge, within 1/500 of the edge's length. Prints
// "mkpack: FILE:LINE: what is wrong" for every fault; true when none.
bool curves_parse(const std::string& file, const std::string& text, int index,
                  std::vector<CurveFilePoint>* points);

std::vector<uint8_t> curves_encode(const std::vector<CurveFilePoint>& points);
