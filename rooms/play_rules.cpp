// rooms/play_rules.cpp -- the picture window's steps and places beside the control panel, and
// the title line's text.
#include "rooms/play_rules.h"

#include <cstdio>

#include "rooms/play.h"

namespace {

constexpr int PICTURE_EXTRA_W = 10, PICTURE_EXTRA_H = 46;  // frame, title bar and button strip

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// The ranges of top-left corners where the window lies on the screen below the title line, on
// one side of the panel each: right, left, below, above. A range with lo > hi is empty.
struct Range {
    int x0, x1, y0, y1;
};
int free_ranges(const PlayScreen& s, int w, int h, Range out[4]) {
    const int xMax = s.width - w, yMin = s.top, yMax = s.height - h;
    if (s.panel.w <= 0 || s.panel.h <= 0) {
        out[0] = {0, xMax, yMin, yMax};
        return 1;
    }
    const Rect& p = s.panel;
    const int g = PICTURE_WINDOW_GAP;
    out[0] = {p.x + p.w + g, xMax, yMin, yMax};
    out[1] = {0, p.x - g - w, yMin, yMax};
    out[2] = {0, xMax, p.y + p.h + g, yMax};
    out[3] = {0, xMax, yMin, p.y - g - h};
    return 4;
}

bool usable(const Range& r) { return r.x0 <= r.x1 && r.y0 <= r.y1; }

}  // namespace

void playroom_picture_window_size(int pw, int ph, int zoom, int* width, int* height) {
    int w, h;
    playroom_picture_size(pw, ph, zoom, &w, &h);
    *width = w + PICTURE_EXTRA_W;
    *height = h + PICTURE_EXTRA_H;
}

int playroom_window_fits(const PlayScreen& s, int width, int height) {
    Range ranges[4];
    const int n = free_ranges(s, width, height, ranges);
    for (int i = 0; i < n; i++)
        if (usable(ranges[i])) return 1;
    return 0;
}

int playroom_picture_step(const PlayScreen& s, int pw, int ph, int zoom) {
    for (int z = clamp(zoom, 0, PICTURE_ZOOM_MAX); z > 0; z--) {
        int w, h;
        playroom_picture_window_size(pw, ph, z, &w, &h);
        if (playroom_window_fits(s, w, h)) return z;
    }
    return 0;
}

void playroom_window_place(const PlayScreen& s, int width, int height, int* x, int* y) {
    Range ranges[4];
    const int n = free_ranges(s, width, height, ranges);
    long long best = -1;
    int bx = *x, by = *y;
    for (int i = 0; i < n; i++) {
        if (!usable(ranges[i])) continue;
        const int cx = clamp(*x, ranges[i].x0, ranges[i].x1), cy = clamp(*y, ranges[i].y0, ranges[i].y1);
        const long long dx = cx - *x, dy = cy - *y, length = dx * dx + dy * dy;
        if (best < 0 || length < best) best = length, bx = cx, by = cy;
    }
    if (best < 0) {  // nowhere beside the panel: on the screen, below the title line if it can be
        bx = clamp(*x, 0, s.width - width > 0 ? s.width - width : 0);
        by = clamp(*y, 0, s.height - height > 0 ? s.height - height : 0);
        if (by < s.top && s.top + height <= s.height) by = s.top;
    }
    *x = bx, *y = by;
}

void playroom_title_text(char* out, int size, const char* room, const char* box, int percent,
                         const char* joined, int seconds) {
    if (seconds < 0) seconds = 0;
    char time[32];
    if (seconds >= 3600)
        std::snprintf(time, sizeof time, "%i:%02i:%02i", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(time, sizeof time, "%i:%02i", seconds / 60, seconds % 60);
    std::snprintf(out, (size_t)size, "%s - %s - %i%% %s - %s", room ? room : "", box ? box : "", percent,
                  joined ? joined : "", time);
}
