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

// Driver 1 streams the changed rectangles into a texture and lets the renderer scale it;
// any other number writes them into the window surface. Logs the driver line.
void io_video_select(int driver);
// Display depth of 15 bits or more is accepted; below that the 256-colour warning decides.
// The question callback is the warning dialog (tests pass their own).
int io_video_check_display(int depth, int (*warning)());
int io_video_warning_dialog();  // 1 continue, 0 refuse
void io_video_create_frame(int width, int height, int bits);
void io_video_close();

void io_video_begin_paint();                         // fatal when a frame is already open
void io_video_end_paint();                           // fatal when no frame is open; presents the list
void io_video_add_rect(int x, int y, int w, int h);  // dropped when the list is full
const PresentList& io_video_present_list();
