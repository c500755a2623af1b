// platform/io_video.h -- the two video drivers, the frame cycle and the presentation list.
#pragma once
#include "base/limits.h"

struct PresentRect {
    int left, top, right, bottom;  // right and bottom exclusive
};

struct PresentList {
    int count;
    PresentRect rects[PRESENT_RECT_MAX];
};

// How a frame reaches the window. The renderer streams the changed rectangles into a texture and
// lets SDL's renderer put it on the window (driver 1); the framebuffer writes them into the
// window's own pixels (on X11 a shared-memory image) and updates just those rectangles (any other
// driver number).
enum VideoDriver { VIDEO_RENDERER = 1, VIDEO_FRAMEBUFFER = 2 };
inline constexpr int VIDEO_CHOOSE = 0;  // io_video_select: decided when the frame is created

// A driver number given on the command line forces that driver (1 the renderer, any other the
// framebuffer) and logs the driver line at once; VIDEO_CHOOSE leaves the choice to
// io_video_create_frame, which takes the renderer only where it draws on the GPU.
void io_video_select(int driver);
int io_video_driver();  // VIDEO_RENDERER or VIDEO_FRAMEBUFFER once the frame exists, else 0

// What the choice is made from; io_video_create_frame gathers them from SDL, the environment and
// the display.
struct VideoFacts {
    const char* sdlDriver;     // SDL's video driver ("x11", "wayland", "dummy", ...), or null
    const char* renderDriver;  // SDL_RENDER_DRIVER, or null
    const char* glSoftware;    // LIBGL_ALWAYS_SOFTWARE, or null
    const char* gallium;       // GALLIUM_DRIVER, or null
    int renderNode;            // a GPU render node (/dev/dri/renderD*) can be opened
    int x11Direct;  // X11: 1 the server offers direct rendering (DRI3, DRI2 or NV-GLX), 0 not, -1 unknown
};
// 1 when SDL's renderer would draw on the GPU; *why tells why or why not (for the log). The
// renderer is software GL (llvmpipe, softpipe) or SDL's own software renderer everywhere else.
int io_video_renderer_on_gpu(const VideoFacts& facts, const char** why);
// The driver the choice gives, with the reason.
int io_video_choose(const VideoFacts& facts, const char** why);

// Display depth of 15 bits or more is accepted; below that the 256-colour warning decides.
// The question callback is the warning dialog (tests pass their own).
int io_video_check_display(int depth, int (*warning)());
int io_video_warning_dialog();  // 1 continue, 0 refuse
// The frame buffer (black), and the presentation of the driver selected (or chosen now); a driver
// that cannot be used on this display gives way to the other. 0 when neither can be used.
int io_video_create_frame(int width, int height, int bits);
// A new size for the frame buffer (the window was resized): black again, the driver kept.
void io_video_resize_frame(int width, int height);
void io_video_close();

void io_video_begin_paint();                         // fatal when a frame is already open
void io_video_end_paint();                           // fatal when no frame is open; presents the list
void io_video_add_rect(int x, int y, int w, int h);  // dropped when the list is full
const PresentList& io_video_present_list();
// Rectangles of one cell row that continue the same columns of the row above become one taller
// rectangle (what the drivers hand to the window). Returns the new count; rects is rewritten.
int io_video_merge_rows(PresentRect* rects, int count);

// Test support: the window's pixels as the last presentation left them, as 0x00RRGGBB values
// (right way up, window size); 1 when read. The renderer's are read back from its target.
int io_video_read_window(unsigned* out, int width, int height);
