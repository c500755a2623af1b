// puzzle/light.cpp -- the light and blend tables A, B and C, and the split copies drawing reads.
#include "puzzle/light.h"

#include "puzzle/normal.h"

uint8_t light_step[1024];
uint8_t light_lit[32 * 256];
uint8_t light_cover[32 * 256];
uint8_t light_blend[32 * 256];

namespace {

uint8_t g_table_a[65536];   // blend: screen byte under coverage
uint8_t g_table_b[262144];  // lit picture byte under coverage
uint16_t g_table_c[65536];  // piece code (plus rotation term) to B row / 4

}  // namespace

void light_tables_build() {
    for (int d = 0; d < 256; d++)
        for (int c = 0; c < 256; c++)
            g_table_a[d * 256 + c] = (uint8_t)(int)(d * (31 - (c & 31)) / 31.0 + 0.5);
    for (int c = 0; c < 32; c++)
        for (int v = 0; v < 256; v++) {
            light_blend[c * 256 + v] = g_table_a[v * 256 + c];
            light_cover[c * 256 + v] = (uint8_t)(int)(v * c / 31.0 + 0.5);
        }
    for (int l = 0; l < 32; l++) {
        const int lambda = (int)(l * 255 / 31.0 + 0.5);
        for (int p = 0; p < 256; p++) {
            const int lit =
                lambda > 128 ? ((255 - lambda) * p + (lambda - 128) * 255) / 127 : (lambda * p) >> 7;
            light_lit[l * 256 + p] = (uint8_t)lit;
            for (int c = 0; c < 32; c++)
                g_table_b[l * 8192 + c * 256 + p] = light_cover[c * 256 + lit];
        }
    }
    for (int code = 0; code < 1024; code++)
        light_step[code] = (uint8_t)(normal_brightness(code) / 8);
    for (int v = 0; v < 32768; v++)
        g_table_c[v] = g_table_c[v + 32768] = (uint16_t)((light_step[v / 32] * 32 + v % 32) * 64);
}

const uint8_t* light_table_a() { return g_table_a; }
const uint8_t* light_table_b() { return g_table_b; }
const uint16_t* light_table_c() { return g_table_c; }
