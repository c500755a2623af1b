// bench/bench_window.h -- driving the window manager in a benchmark: one painted frame, and an
// event handed to the windows.
#pragma once
#include "base/event.h"
#include "gui/window.h"
#include "platform/io_video.h"
#include "platform/screen.h"

// One frame: the window manager paints the dirty cells, which are then presented (here: counted
// and cleaned; the frame is closed without copying to a window). Returns the presented area.
inline long bench_frame() {
    io_video_begin_paint();
    KernelEvent idle{KE_IDLE, 0, 0, 0};
    window_dispatch(&idle);
    screen_flush();
    screen.buf = nullptr;
    long area = 0;
    const PresentList& list = io_video_present_list();
    for (int i = 0; i < list.count; i++)
        area += (long)(list.rects[i].right - list.rects[i].left) * (list.rects[i].bottom - list.rects[i].top);
    return area;
}

inline void bench_send(int type, int x, int y, int c) {
    KernelEvent e{type, x, y, c};
    window_dispatch(&e);
}
