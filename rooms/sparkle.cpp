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
