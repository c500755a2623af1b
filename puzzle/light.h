// puzzle/light.h -- the light and blend tables that piece drawing reads, built once when the
// play room is created, before any piece is drawn.
//
// The drawing rule (screen byte d, coverage c, picture byte p, piece code q plus the rotation
// term) gives byte = blend[c][d] + cover[c][lit[step][p]] with step = light_step[q / 32]; the
// tables are this small so that they stay inside the first-level cache.
#pragma once
#include <cstdint>

void light_tables_build();

// The tables, filled by light_tables_build and only read elsewhere.
extern uint8_t light_step[1024];       // normal code to light step (brightness / 8)
extern uint8_t light_lit[32 * 256];    // [step][p]: the lit picture byte
extern uint8_t light_cover[32 * 256];  // [c][lit]: round(lit * c / 31)
extern uint8_t light_blend[32 * 256];  // [c][d]: round(d * (31 - c) / 31)
