// rooms/sparkle.cpp -- the join sparkle's animation. The frame's area is marked when the
// animation ends or stops too, so that no stale frame stays on the overlay.
#include "rooms/sparkle.h"

#include "platform/screen.h"

namespace {

struct Sparkle {
    int counter;  // -1 idle, else 0..SPARKLE_TICKS - 1 (the frame is counter / 2)
    int x, y;     // the frame's top-left on the screen
};
Sparkle sparkle = {-1, 0, 0};

// The wave: sparkle i shows from its start tick for SPARKLE_TICKS ticks.
struct Wave {
    int count;  // sparkles of the wave, 0 when none runs
    int tick;   // ticks since the wave began
    int end;    // the tick at which its last sparkle is over
    int x[SPARKLE_WAVE_MAX], y[SPARKLE_WAVE_MAX], start[SPARKLE_WAVE_MAX];
};
Wave wave = {};

int wave_counter(int i) { return wave.tick - wave.start[i]; }  // 0..SPARKLE_TICKS - 1 while showing

void wave_mark() {
    for (int i = 0; i < wave.count; i++)
        if (wave_counter(i) >= 0 && wave_counter(i) <= SPARKLE_TICKS)
            screen_invalidate(wave.x[i], wave.y[i], SPARKLE_SIZE, SPARKLE_SIZE);
}

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

void sparkle_start(int x, int y) {
    if (sparkle.counter != -1) screen_invalidate(sparkle.x, sparkle.y, SPARKLE_SIZE, SPARKLE_SIZE);
    sparkle.counter = 0;
    sparkle.x = x - SPARKLE_SIZE;
    sparkle.y = y - SPARKLE_SIZE;
}

void sparkle_stop() {
    if (sparkle.counter != -1) screen_invalidate(sparkle.x, sparkle.y, SPARKLE_SIZE, SPARKLE_SIZE);
    sparkle.counter = -1;
}

void sparkle_tick() {
    if (wave.count) {
        wave.tick++;
        wave_mark();
        if (wave.tick >= wave.end) wave.count = 0;
    }
    if (sparkle.counter == -1) return;
    if (++sparkle.counter >= SPARKLE_TICKS) sparkle.counter = -1;
    screen_invalidate(sparkle.x, sparkle.y, SPARKLE_SIZE, SPARKLE_SIZE);
}

int sparkle_frame(int* frame, int* x, int* y) {
    if (sparkle.counter == -1) return 0;
    *frame = sparkle.counter / 2;
    *x = sparkle.x;
    *y = sparkle.y;
    return 1;
}

void sparkle_wave(int x, int y, int width, int height) {
    wave_mark();
    wave = {};
    if (width <= 0 || height <= 0) return;
    // Cells of about 64 pixels, at most 12 across and 8 down; one sparkle a cell, a little off its
    // middle in a fixed pattern, starting as the wave's front passes the cell.
    const int columns = clamp(width / 64, 1, 12), rows = clamp(height / 64, 1, SPARKLE_WAVE_MAX / 12);
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < columns; c++) {
            const int i = wave.count++;
            const int jx = (i * 37) % 29 - 14, jy = (i * 53) % 23 - 11;
            wave.x[i] = x + (2 * c + 1) * width / (2 * columns) + jx - SPARKLE_SIZE / 2;
            wave.y[i] = y + (2 * r + 1) * height / (2 * rows) + jy - SPARKLE_SIZE / 2;
            wave.start[i] = (columns > 1 ? c * SPARKLE_WAVE_TICKS / (columns - 1) : 0) + (r % 2) * 2;
            if (wave.start[i] + SPARKLE_TICKS > wave.end) wave.end = wave.start[i] + SPARKLE_TICKS;
        }
}

int sparkle_wave_running() { return wave.count != 0; }

int sparkle_wave_frame(int i, int* frame, int* x, int* y) {
    if (i < 0 || i >= wave.count) return 0;
    const int counter = wave_counter(i);
    if (counter < 0 || counter >= SPARKLE_TICKS) return 0;
    *frame = counter / 2;
    *x = wave.x[i];
    *y = wave.y[i];
    return 1;
}
