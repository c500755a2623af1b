// puzzle/normal.cpp -- normal codes: encoding a normal, decoding a code, and the brightness of a
// code under the fixed light.
#include "puzzle/normal.h"

#include <cmath>

namespace {

constexpr double LIGHT[3] = {-0.57735026918963, 0.57735026918963, 0.57735026918963};
constexpr double DEG = 0.017453292519943295;  // radians per degree

}  // namespace

int normal_encode(double nx, double ny, double nz) {
    double az = std::atan2(ny, nx) * 57.29577951308232;
    double el = std::atan2(nz, std::sqrt(nx * nx + ny * ny)) * 57.29577951308232;
    if (az < 0) az += 360.0;
    if (el < 0) el += 360.0;
    if (!(az >= 0.0 && az <= 360.0)) az = 0.0;
    double flat = 90.0 * std::pow(el / 90.0, 0.4);  // steep slopes stay visible as a narrow bevel
    if (!(flat >= 0.0 && flat <= 90.0)) flat = 0.0;
    int azimuth = (int)(az * 64.0 / 360.0 + 0.5);
    if (azimuth == 64) azimuth = 0;
    const int e = (int)(flat / 6.0 + 0.5);
    return azimuth * 16 + (e ^ 15);
}

void normal_decode(int code, double* n) {
    if (code == 0) {
        n[0] = 0.0, n[1] = 0.0, n[2] = 1.0;
        return;
    }
    const int az = ((code >> 4) & 63) * 360 / 64;
    const int el = (15 - (code & 15)) * 6;
    const double ca = std::cos(az * DEG), sa = std::sin(az * DEG);
    const double ce = std::cos(el * DEG), se = std::sin(el * DEG);
    double x = ca * ce, y = sa * ce, z = se;
    const double len = std::sqrt(x * x + y * y + z * z);
    n[0] = x / len, n[1] = y / len, n[2] = z / len;
}

int normal_brightness(int code) {
    double n[3];
    normal_decode(code, n);
    const double d = n[0] * LIGHT[0] + n[1] * LIGHT[1] + n[2] * LIGHT[2];
    const double diffuse = d > 0 ? 0.0655 * d : 0.0;
    const double s = 2.0 * d * n[2] - LIGHT[2];  // the reflected light along the view (0, 0, 1)
    const double brightness = 0.2 + diffuse + (s > 0 ? 0.4585 * s : 0.0);
    return (int)(brightness * 255.0 + 0.5);
}
