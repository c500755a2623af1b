// puzzle/vec.cpp -- turning a vector: exact quarter turns, sine and cosine for other angles.
#include "puzzle/vec.h"

#include <cmath>

void vec_rotate(double* v, int degrees) {
    const int a = degrees % 360;  // keeps the sign: -90 stays -90
    double s, c;
    switch (a) {
        case 0:
            s = 0.0, c = 1.0;
            break;
        case 90:
            s = 1.0, c = 0.0;
            break;
        case 180:
            s = 0.0, c = -1.0;
            break;
        case 270:
            s = -1.0, c = 0.0;
            break;
        default: {
            const double r = a * 0.017453292519943295;
            s = std::sin(r);
            c = std::cos(r);
        }
    }
    const double x = v[0], y = v[1];
    v[0] = x * c + y * s;
    v[1] = y * c - x * s;
}

void vec_turn(int dx, int dy, int degrees, int* ox, int* oy) {
    double v[2] = {(double)dx, (double)dy};
    vec_rotate(v, degrees);
    *ox = (int)std::lround(v[0]);
    *oy = (int)std::lround(v[1]);
}

int angle_normal(int degrees) { return ((degrees % 360) + 360) % 360; }
