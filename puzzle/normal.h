// puzzle/normal.h -- normal codes: the surface normal of a piece pixel in 10 bits.
//
// A normal code: bits 0..3 = 15 - elevation index (6 degrees a step), bits 4..9 azimuth index
// (64 steps a turn); 0 is the flat normal (0, 0, 1).
#pragma once

int normal_encode(double nx, double ny, double nz);  // 10-bit code of a (not flat) normal
void normal_decode(int code, double* n);             // unit normal; code 0 is (0, 0, 1)
int normal_brightness(int code);                     // the brightness byte of the lit normal
