// puzzle/light.cpp -- the light and blend tables piece drawing reads.
#include "puzzle/light.h"

#include "puzzle/normal.h"

uint8_t light_step[1024];
uint8_t light_lit[32 * 256];
uint8_t light_cover[32 * 256];
uint8_t light_blend[32 * 256];

void light_tables_build() {
    for (int c = 0; c < 32; c++)
        for (int v = 0; v < 256; v++) {
            light_blend[c * 256 + v] = (uint8_t)(int)(v * (31 - c) / 31.0 + 0.5);
            light_cover[c * 256 + v] = (uint8_t)(int)(v * c / 31.0 + 0.5);
        }
    for (int l = 0; l < 32; l++) {
        const int lambda = (int)(l * 255 / 31.0 + 0.5);
        for (int p = 0; p < 256; p++)
            light_lit[l * 256 + p] =
                (uint8_t)(lambda > 128 ? ((255 - lambda) * p + (lambda - 128) * 255) / 127
                                       : (lambda * p) >> 7);
    }
    for (int code = 0; code < 1024; code++)
        light_step[code] = (uint8_t)(normal_brightness(code) / 8);
}
