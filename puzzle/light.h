// puzzle/light.h -- the light and blend tables that piece drawing reads, built once when the
// play room is created, before any piece is drawn.
//
// A, B and C are the tables of the drawing rule (screen byte d, coverage c, picture byte p, piece
// code q plus the rotation term): byte = A[d * 256 + c] + B[C[q] * 4 + p]. Drawing reads the same
// values split so that they stay inside the first-level cache: B[step][c][p] is
// light_cover[c][light_lit[step][p]], and light_step names the step of a normal code.
#pragma once
#include <cstdint>

void light_tables_build();
const uint8_t* light_table_a();   // blend: [d * 256 + c] = round(d * (31 - c) / 31)
const uint8_t* light_table_b();   // light: [step * 8192 + c * 256 + p]
const uint16_t* light_table_c();  // code to B row / 4, 65536 entries (second half repeats)

// The split tables, filled by light_tables_build and only read elsewhere.
extern uint8_t light_step[1024];       // normal code to light step (brightness / 8)
extern uint8_t light_lit[32 * 256];    // [step][p]: the lit picture byte
extern uint8_t light_cover[32 * 256];  // [c][lit]: round(lit * c / 31)
extern uint8_t light_blend[32 * 256];  // [c][d]: round(d * (31 - c) / 31)
