// puzzle/curve.h -- the eight edge curves: loading them from the data pack, handing out copies
// (optionally mirrored), mapping a copy onto a segment, and drawing it with the software pen.
//
// A curve is a chain of cubic Bezier segments in a unit frame: it starts at (0, 0) and ends at
// (1, y) with y in units of the edge's length. A curve type selects a curve with bits 0..6
// (0 is the straight border edge) and mirrors it with bit 7.
#pragma once
#include <cstdint>

inline constexpr int CURVE_COUNT = 8;          // files "curves/c_0.crv" .. "curves/c_7.crv"
inline constexpr int MAX_CONTROLPOINTS = 128;  // the most points one curve may hold
inline constexpr int CURVE_MIRROR = 128;       // type bit: every y negated

struct CurvePoint {
    double x, y;
};

struct EdgeCurve {
    int32_t count;       // points
    CurvePoint* points;  // owned, from io_mem_alloc
};

// --- Loading ---
void curves_load();  // all eight from the open data packs; fatal when one is missing or too long
void curves_free();  // releases the eight point arrays
const EdgeCurve* curve_slot(int index);  // the stored normalised curve 0..7

// --- Evaluation (pure) ---
// Copies curve (type & ~128) into a shared buffer, y negated when bit 7 is set. The buffer
// stays valid until the next call; fatal for any other bit pattern above 7.
const CurvePoint* curve_get(int type, int* count);
// The same into a buffer of the caller (MAX_CONTROLPOINTS entries); safe beside other threads
// once the curves are loaded.
int curve_get_into(int type, CurvePoint* out);
// Maps points in place from the unit frame onto the screen segment a -> b (y growing downward):
// (1, 0) lands on b; a positive y lies right of the direction of travel.
void curve_map(CurvePoint* points, int count, int ax, int ay, int bx, int by);

// --- Drawing ---
// Maps curve type onto a -> b, truncates to whole pixels and draws it with the current pen.
void curve_draw(int type, int ax, int ay, int bx, int by);
