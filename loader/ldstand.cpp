// loader/ldstand.cpp -- stand-ins for three libraries the static SDL2 calls directly but a
// receiver's desktop often lacks: the client-side window frames for Wayland, the X screensaver
// extension client and the sample-rate converter. Linked for real, each would be a library the
// extractor asks the system for, and without it the extractor would not start at all.
//
// Each stand-in answers with its library's own failure value (no handle, an error code, False),
// and SDL takes the road it already has for a system without that library:
// - frames: no frame object, so a Wayland window uses the plain shell (unframed where the
//   compositor draws no frames itself); SDL tries X11 first anyway, and under Xwayland the
//   extractor is an ordinary X11 client;
// - screensaver: the extension is reported missing, so the screensaver is not held off (the
//   extractor's dialog is short-lived);
// - sample rates: no converter state, so SDL resamples itself (the extractor plays no sound).
//
// Only SDL's calls inside this program reach these: they are hidden, so a library loaded later
// that brings the real one still gets the real one.
#include <cstdint>

namespace {

constexpr int SRC_FAILED = 1;  // any non-zero code is an error for the sample-rate converter

}  // namespace

#define LD_STAND extern "C" __attribute__((visibility("hidden")))

// --- client-side window frames ---------------------------------------------------------------
// Every frame call receives a frame only libdecor_decorate hands out, and it hands out none.
struct libdecor;
struct libdecor_frame;
struct libdecor_state;
struct libdecor_configuration;
struct wl_display;
struct wl_surface;
struct wl_seat;
struct wl_output;

LD_STAND libdecor* libdecor_new(wl_display*, void*) { return nullptr; }
LD_STAND void libdecor_unref(libdecor*) {}
LD_STAND int libdecor_dispatch(libdecor*, int) { return -1; }
LD_STAND libdecor_frame* libdecor_decorate(libdecor*, wl_surface*, void*, void*) { return nullptr; }
LD_STAND void libdecor_frame_unref(libdecor_frame*) {}
LD_STAND void libdecor_frame_set_parent(libdecor_frame*, libdecor_frame*) {}
LD_STAND void libdecor_frame_set_title(libdecor_frame*, const char*) {}
LD_STAND void libdecor_frame_set_app_id(libdecor_frame*, const char*) {}
LD_STAND void libdecor_frame_set_capabilities(libdecor_frame*, int) {}
LD_STAND void libdecor_frame_unset_capabilities(libdecor_frame*, int) {}
LD_STAND bool libdecor_frame_has_capability(libdecor_frame*, int) { return false; }
LD_STAND void libdecor_frame_set_visibility(libdecor_frame*, bool) {}
LD_STAND bool libdecor_frame_is_visible(libdecor_frame*) { return false; }
LD_STAND bool libdecor_frame_is_floating(libdecor_frame*) { return false; }
LD_STAND void libdecor_frame_move(libdecor_frame*, wl_seat*, uint32_t) {}
LD_STAND void libdecor_frame_resize(libdecor_frame*, wl_seat*, uint32_t, int) {}
LD_STAND void libdecor_frame_commit(libdecor_frame*, libdecor_state*, libdecor_configuration*) {}
LD_STAND void libdecor_frame_map(libdecor_frame*) {}
LD_STAND void libdecor_frame_set_minimized(libdecor_frame*) {}
LD_STAND void libdecor_frame_set_maximized(libdecor_frame*) {}
LD_STAND void libdecor_frame_unset_maximized(libdecor_frame*) {}
LD_STAND void libdecor_frame_set_fullscreen(libdecor_frame*, wl_output*) {}
LD_STAND void libdecor_frame_unset_fullscreen(libdecor_frame*) {}
LD_STAND void libdecor_frame_set_min_content_size(libdecor_frame*, int, int) {}
LD_STAND void libdecor_frame_set_max_content_size(libdecor_frame*, int, int) {}
LD_STAND void* libdecor_frame_get_xdg_surface(libdecor_frame*) { return nullptr; }
LD_STAND void* libdecor_frame_get_xdg_toplevel(libdecor_frame*) { return nullptr; }
LD_STAND libdecor_state* libdecor_state_new(int, int) { return nullptr; }
LD_STAND void libdecor_state_free(libdecor_state*) {}
LD_STAND bool libdecor_configuration_get_content_size(libdecor_configuration*, libdecor_frame*, int*, int*) {
    return false;
}
LD_STAND bool libdecor_configuration_get_window_state(libdecor_configuration*, int*) { return false; }

// --- X screensaver extension -------------------------------------------------------------------
// Bool and Status are ints in the X client library; 0 is False and a failed request.
struct XDisplay;

LD_STAND int XScreenSaverQueryExtension(XDisplay*, int*, int*) { return 0; }
LD_STAND int XScreenSaverQueryVersion(XDisplay*, int*, int*) { return 0; }
LD_STAND void XScreenSaverSuspend(XDisplay*, int) {}

// --- sample-rate converter ---------------------------------------------------------------------
struct SrcState;
struct SrcData;

LD_STAND SrcState* src_new(int, int, int* error) {
    if (error != nullptr) *error = SRC_FAILED;
    return nullptr;
}
LD_STAND SrcState* src_delete(SrcState*) { return nullptr; }
LD_STAND int src_process(SrcState*, SrcData*) { return SRC_FAILED; }
LD_STAND int src_reset(SrcState*) { return SRC_FAILED; }
LD_STAND int src_simple(SrcData*, int, int) { return SRC_FAILED; }
LD_STAND const char* src_strerror(int) { return "sample-rate conversion is not available"; }
