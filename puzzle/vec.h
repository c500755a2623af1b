// puzzle/vec.h -- turning a vector by whole degrees.
#pragma once

// Rotates (x, y) by whole degrees (positive turns counter-clockwise on the screen); exact for
// 0, 90, 180 and 270 after the angle is taken modulo 360 (remainder keeps the input's sign).
void vec_rotate(double* v, int degrees);
// (dx, dy) turned by whole degrees, each coordinate rounded half away from zero.
void vec_turn(int dx, int dy, int degrees, int* ox, int* oy);
int angle_normal(int degrees);  // the same angle in 0..359
