// tests/plugin/fbmouse_stub.cpp -- a stand-in force-feedback plug-in for the tests. Every call it
// gets, with its arguments, becomes one line appended to the file named by LUMAVEX_FF_LOG, and so
// do its loading and unloading. LUMAVEX_FF_INIT_RESULT sets what its start-up returns (1 when
// unset). Built three ways: the full plug-in, the same without "fbmouse_init"
// (FBMOUSE_STUB_NO_INIT), and the empty companion library (FBMOUSE_STUB_EMPTY).
#ifndef FBMOUSE_STUB_EMPTY
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

void record(const char* fmt, ...) {
    const char* path = std::getenv("LUMAVEX_FF_LOG");
    if (!path || !*path) return;
    FILE* f = std::fopen(path, "a");
    if (!f) return;
    va_list args;
    va_start(args, fmt);
    std::vfprintf(f, fmt, args);
    va_end(args);
    std::fputc('\n', f);
    std::fclose(f);
}

__attribute__((constructor)) void loaded() { record("loaded"); }
__attribute__((destructor)) void unloaded() { record("unloaded"); }

}  // namespace

extern "C" {

#ifndef FBMOUSE_STUB_NO_INIT
__attribute__((visibility("default"))) int fbmouse_init(void* instance, void* window) {
    const char* result = std::getenv("LUMAVEX_FF_INIT_RESULT");
    const int state = result ? std::atoi(result) : 1;
    record("fbmouse_init %d %d -> %d", instance != nullptr, window != nullptr, state);
    return state;
}
#endif

__attribute__((visibility("default"))) void fbmouse_done() { record("fbmouse_done"); }

__attribute__((visibility("default"))) void fbmouse_pop_start(int strength) {
    record("fbmouse_pop_start %d", strength);
}

__attribute__((visibility("default"))) void fbmouse_bound_start() { record("fbmouse_bound_start"); }

__attribute__((visibility("default"))) void fbmouse_bound_set(const int* rect, const int* screenSize) {
    record("fbmouse_bound_set %d %d %d %d %d %d", rect[0], rect[1], rect[2], rect[3], screenSize[0],
           screenSize[1]);
}

__attribute__((visibility("default"))) void fbmouse_bound_stop() { record("fbmouse_bound_stop"); }

__attribute__((visibility("default"))) void fbmouse_applause_start() { record("fbmouse_applause_start"); }

}  // extern "C"
#endif
