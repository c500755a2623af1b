// The video drivers on SDL's dummy display: what each puts in the window (both the same pixels,
// only the dirty rows, clipped to a window smaller than the frame), the frame's new size, the
// choice between them from what the display offers, the rows merged for the window, the UI scale
// and the frame a window size gives.
#include "platform/io_video.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/screen.h"
#include "platform/sys.h"

namespace {

using V = std::vector<int>;

// A frame of w x h in a dummy window of its own (scale 1), with the driver given.
struct Window {
    Window(int driver, int w, int h) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        SysOptions o = {};
        o.headless = 1, o.window_w = w, o.window_h = h, o.scale = 1;
        ok = sys_init(o);
        int fw, fh;
        ok = ok && sys_create_window("video test", &fw, &fh);
        io_video_select(driver);
        ok = ok && io_video_create_frame(fw, fh, 24);
        screen_grid_create();
    }
    ~Window() {
        screen_grid_free();
        io_video_close();
        sys_destroy_window();
        sys_done();
    }
    // Every pixel of the frame a colour of its place, then the dirty cells presented.
    static void paint(int seed) {
        io_video_begin_paint();
        for (int y = 0; y < screen.height; y++)
            for (int x = 0; x < screen.width; x++) {
                uint8_t* p = screen.buf + (ptrdiff_t)y * screen.pitch + x * 3;
                p[0] = (uint8_t)(x + seed), p[1] = (uint8_t)(y * 3), p[2] = (uint8_t)(x ^ y);
            }
        screen_flush();
        io_video_end_paint();
    }
    static unsigned frame_at(int x, int y) {
        const uint8_t* p = screen_top_row() + (ptrdiff_t)y * screen.pitch + x * 3;
        return (unsigned)p[2] << 16 | (unsigned)p[1] << 8 | p[0];
    }
    bool ok;
};

// The window's pixels that differ from the frame's, within w x h.
int differing(int w, int h) {
    std::vector<unsigned> shown((size_t)w * h);
    if (!io_video_read_window(shown.data(), w, h)) return -1;
    int n = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            n += shown[(size_t)y * w + x] != Window::frame_at(x, y);
    return n;
}

TEST(VideoDrivers, both_show_the_frame_present_only_dirty_cells_and_follow_a_new_size) {
    for (int driver : {VIDEO_RENDERER, VIDEO_FRAMEBUFFER}) {
        Window window(driver, 320, 240);
        ASSERT_TRUE(window.ok) << driver;
        EXPECT_EQ(io_video_driver(), driver);
        Window::paint(0);
        EXPECT_EQ(differing(320, 240), 0) << driver << ": the first frame is presented whole";

        // Only what is dirty reaches the window: one cell's change shows, the rest stays old.
        Window::paint(7);  // every pixel changed, nothing dirty
        EXPECT_EQ(differing(320, 240), 320 * 240) << driver;
        screen_invalidate(40, 40, 1, 1);
        Window::paint(7);
        const int cell = screen_grid_cell_width() * screen_grid_cell_height();
        EXPECT_EQ(differing(320, 240), 320 * 240 - cell) << driver;

        // A new frame size: black, all of it presented at the next frame.
        io_video_resize_frame(640, 480);
        EXPECT_EQ((V{screen.width, screen.height, screen.pitch}), (V{640, 480, -1920}));
        screen_grid_create();
        sys_set_window_size(640, 480);
        Window::paint(3);
        EXPECT_EQ(differing(640, 480), 0) << driver;
    }
}

TEST(VideoDrivers, a_window_smaller_than_the_frame_shows_its_top_left_part) {
    Window window(VIDEO_FRAMEBUFFER, 640, 480);
    ASSERT_TRUE(window.ok);
    sys_set_window_size(200, 150);
    Window::paint(1);  // the whole frame is dirty: the rectangles are cut to the window
    EXPECT_EQ(differing(200, 150), 0);
}

TEST(VideoChoice, the_renderer_only_where_it_draws_on_the_gpu) {
    struct Case {
        VideoFacts facts;
        int gpu;
    };
    const Case cases[] = {
        {{"x11", nullptr, nullptr, nullptr, 1, 1}, 1},       // DRI3 and a render node
        {{"x11", nullptr, nullptr, nullptr, 0, 0}, 0},       // Xvfb: no direct rendering
        {{"x11", nullptr, nullptr, nullptr, 1, 0}, 0},       // a remote or virtual X server
        {{"x11", nullptr, nullptr, nullptr, 0, 1}, 1},       // NV-GLX without a render node
        {{"x11", nullptr, nullptr, nullptr, 0, -1}, 0},      // cannot ask, no render node
        {{"x11", nullptr, nullptr, nullptr, 1, -1}, 1},      // cannot ask, a render node
        {{"x11", "software", nullptr, nullptr, 1, 1}, 0},    // SDL's software renderer asked for
        {{"x11", nullptr, "1", nullptr, 1, 1}, 0},           // software GL asked for
        {{"x11", nullptr, "0", nullptr, 1, 1}, 1},           // ... and not
        {{"x11", nullptr, nullptr, "llvmpipe", 1, 1}, 0},    // the software rasteriser named
        {{"wayland", nullptr, nullptr, nullptr, 1, -1}, 1},  // a render node
        {{"wayland", nullptr, nullptr, nullptr, 0, -1}, 0},  // none
        {{"dummy", nullptr, nullptr, nullptr, 1, 1}, 0},     // no display at all
        {{nullptr, nullptr, nullptr, nullptr, 0, -1}, 0},    // nothing known
    };
    for (const Case& c : cases) {
        const char* why = nullptr;
        EXPECT_EQ(io_video_renderer_on_gpu(c.facts, &why), c.gpu)
            << (c.facts.sdlDriver ? c.facts.sdlDriver : "(none)") << " " << (why ? why : "");
        EXPECT_TRUE(why && *why);
        EXPECT_EQ(io_video_choose(c.facts, &why), c.gpu ? VIDEO_RENDERER : VIDEO_FRAMEBUFFER);
    }
}

TEST(VideoPresent, runs_of_one_cell_row_that_continue_the_row_above_become_one_rectangle) {
    // Rows of 24: [0,64) on rows 0-2, [96,128) on row 0 only, [0,64) again after a gap at row 4,
    // and [64,96) beside the first run on row 1.
    PresentRect r[] = {{0, 0, 64, 24},   {96, 0, 128, 24}, {0, 24, 64, 48},
                       {64, 24, 96, 48}, {0, 48, 64, 72},  {0, 96, 64, 120}};
    const int n = io_video_merge_rows(r, 6);
    std::vector<V> got;
    for (int i = 0; i < n; i++)
        got.push_back({r[i].left, r[i].top, r[i].right, r[i].bottom});
    EXPECT_EQ(got, (std::vector<V>{{0, 0, 64, 72}, {96, 0, 128, 24}, {64, 24, 96, 48}, {0, 96, 64, 120}}));
}

TEST(WindowSize, ui_scale_from_dots_per_inch_and_the_frame_a_window_gives) {
    // {width, height, dpi, scale}
    const int cases[][4] = {{1920, 1080, 96, 1},  {1920, 1080, 0, 1},   {2560, 1600, 227, 2},
                            {3840, 2160, 163, 2}, {3840, 2160, 282, 3}, {1366, 768, 144, 1},
                            {1280, 800, 192, 1},  {1024, 768, 192, 1},  {5120, 2880, 0, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(sys_choose_scale(c[0], c[1], (float)c[2]), c[3]) << c[0] << "x" << c[1] << " " << c[2];
    int w, h;
    sys_frame_for_window(1597, 873, 1, &w, &h);
    EXPECT_EQ((V{w, h}), (V{1592, 872})) << "whole multiples of 8";
    sys_frame_for_window(200, 150, 1, &w, &h);
    EXPECT_EQ((V{w, h}), (V{640, 480})) << "never below 640 x 480";
    sys_frame_for_window(2560, 1440, 2, &w, &h);
    EXPECT_EQ((V{w, h}), (V{1280, 720}));
}

}  // namespace
