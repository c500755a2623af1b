// kernel/resize.cpp -- the frame following the main window's size, and the `resize` command.
#include "kernel/resize.h"

#include "gui/ge.h"
#include "gui/window.h"
#include "kernel/events.h"
#include "platform/io_debug.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "platform/script.h"
#include "platform/sys.h"

namespace {

constexpr int WINDOW_SIDE_MAX = 16384;  // a resize command beyond any real screen is refused

struct Waiting {
    int set;            // a size waits for the modal loop to end
    int width, height;  // frame pixels
};
Waiting g_waiting;

int resize_step(const ScriptCall& call, int) {
    sys_set_window_size(call.args[0], call.args[1]);
    return SCRIPT_ENDED;
}

std::string resize_parse(const std::vector<std::string>& args, ScriptCall* call) {
    int& w = call->args[0];
    int& h = call->args[1];
    if (args.size() != 2 || !script_number(args[0], &w) || !script_number(args[1], &h) || w < 1 || h < 1 ||
        w > WINDOW_SIDE_MAX || h > WINDOW_SIDE_MAX)
        return "expected resize W H (1 to 16384 pixels each)";
    return "";
}

}  // namespace

void kernel_window_resized(int w, int h) {
    const int scale = sys_scale();
    if (w == screen.width * scale && h == screen.height * scale) return;
    int fw, fh;
    sys_frame_for_window(w, h, scale, &fw, &fh);
    if (kernel_nested_depth() > 0 || !kernel_clock().ready) {
        // The modal window and its edit fields stay where they are until it ends; the rooms are
        // laid out once start-up has made them.
        g_waiting = {1, fw, fh};
        return;
    }
    g_waiting.set = 0;
    kernel_resize_frame(fw, fh);
}

int kernel_resize_waiting() {
    if (!g_waiting.set || kernel_nested_depth() > 0 || !kernel_clock().ready) return 0;
    g_waiting.set = 0;
    kernel_resize_frame(g_waiting.width, g_waiting.height);
    return 1;
}

void kernel_resize_frame(int width, int height) {
    if (screen.buf || (width == screen.width && height == screen.height)) return;
    const int oldWidth = screen.width, oldHeight = screen.height;
    io_log("kernel: the frame is now %d x %d (it was %d x %d)\n", width, height, oldWidth, oldHeight);
    io_video_resize_frame(width, height);
    screen_grid_create();  // every cell dirty: the next frame draws everything
    ge_background_build();
    window_screen_resized(oldWidth, oldHeight);
}

void resize_register() { script_add_command("resize", resize_parse, resize_step); }
