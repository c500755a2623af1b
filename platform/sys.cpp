// platform/sys.cpp -- the SDL window, input translation to platform messages, message boxes,
// cursors and processes; the single-instance claim is in sys_instance.cpp.
#include "platform/sys.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/event.h"
#include "base/str.h"
#include "platform/io_debug.h"
#include "platform/sys_instance.h"

namespace {

constexpr uint32_t DISPLAY_CHECK_MS = 2500;  // how often the desktop size is compared

struct SysState {
    int started;  // SDL video is running
    int sleeps;   // the video driver cannot wait for events (dummy): waiting is a plain sleep
    int headless;
    int scale;               // frame buffer pixels are scale x scale window pixels
    int window_w, window_h;  // requested frame buffer size, 0 for full screen
    SDL_Window* window;
    uint32_t virtual_ms;  // headless clock
    PlatformHandler handler;
    SysEventTaker taker;                   // the sound's, once it has started
    int held;                              // buttons held as the events told us: MOUSE_LEFT, MOUSE_RIGHT
    int forced_ctrl;                       // -1 keyboard, else the script's ctrl
    int forced_shift;                      // -1 keyboard, else the script's shift
    int mouse_x, mouse_y;                  // frame position of the last mouse event, where the wheel turns
    int own_clipboard;                     // the desktop refused the last copy: the game's own copy stands in
    SDL_Cursor* cursors[CURSOR_GAME + 1];  // by CURSOR_ kind
    int cursor_kind;
    int confined;
    int saved_x, saved_y;  // global cursor position before confinement
    int desktop_w, desktop_h;
    int fullscreen;    // the window covers the desktop
    int refullscreen;  // full screen was left to minimise: taken up again when restored
    uint32_t last_display_check;
    int display_change_told;
};
SysState g_sys = {.forced_ctrl = -1, .forced_shift = -1};
std::string g_clipboard;  // the game's own copy of the clipboard text

void deliver(const PlatformMessage& m) {
    if (g_sys.handler) g_sys.handler(m);
}

int ctrl_held() {
    if (g_sys.forced_ctrl >= 0) return g_sys.forced_ctrl;
    return g_sys.started && (SDL_GetModState() & KMOD_CTRL) ? 1 : 0;
}

int held_flags(int buttons) { return buttons | (ctrl_held() ? MOUSE_CTRL : 0); }

int to_frame(int v) { return g_sys.scale > 1 ? v / g_sys.scale : v; }

// The game's own cursor: an arrow with a dark rim and a warm fill, drawn from this mask.
constexpr const char* CURSOR_ART[] = {
    "X               ", "XX              ", "X.X             ", "X..X            ",
    "X...X           ", "X....X          ", "X.....X         ", "X......X        ",
    "X.......X       ", "X........X      ", "X.....XXXXX     ", "X..X..X         ",
    "X.X X..X        ", "XX  X..X        ", "X    X..X       ", "     XXXX       ",
};

SDL_Cursor* make_game_cursor() {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 16, 16, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return nullptr;
    uint32_t* px = (uint32_t*)s->pixels;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) {
            char c = CURSOR_ART[y][x];
            px[y * (s->pitch / 4) + x] = c == 'X' ? 0xFF2A1A10u : c == '.' ? 0xFFF3C26Bu : 0;
        }
    SDL_Cursor* cursor = SDL_CreateColorCursor(s, 0, 0);
    SDL_FreeSurface(s);
    return cursor;
}

void check_display_change() {
    if (g_sys.headless || !g_sys.window) return;
    uint32_t now = SDL_GetTicks();
    if (now - g_sys.last_display_check < DISPLAY_CHECK_MS) return;
    g_sys.last_display_check = now;
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }  // programs started without waiting for them
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return;
    if (mode.w == g_sys.desktop_w && mode.h == g_sys.desktop_h) {
        g_sys.display_change_told = 0;
        return;
    }
    if (g_sys.display_change_told) return;
    g_sys.display_change_told = 1;
    PlatformMessage m = {PM_DISPLAY_CHANGED};
    deliver(m);
}

// Instance socket ----------------------------------------------------------------------------

}  // namespace

// Message boxes --------------------------------------------------------------------------------

int sys_choice_box(int kind, const char* title, const char* text, const char* const* buttons, int count,
                   int default_index, int cancel_index) {
    // Headless, the text goes to standard error and the default answer is taken. Before the
    // window exists the box still shows (the desktop can show one without it), and the text goes
    // to standard error as well for whoever started the game from a terminal.
    if (g_sys.headless || !g_sys.started) {
        std::fprintf(stderr, "%s%s%s\n", title ? title : "", title ? ": " : "", text);
        if (g_sys.headless) return default_index;
    }
    SDL_MessageBoxButtonData data[8];
    if (count > 8) count = 8;
    for (int i = 0; i < count; i++) {
        data[i] = {};
        data[i].buttonid = i;
        data[i].text = buttons[i];
        if (i == default_index) data[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (i == cancel_index) data[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    }
    // Texts keep their "\r\n" line breaks in the game; the desktop wants "\n".
    char shown[4096];
    int n = 0;
    for (const char* p = text; *p && n < (int)sizeof shown - 1; p++)
        if (*p != '\r') shown[n++] = *p;
    shown[n] = 0;
    SDL_MessageBoxData box = {};
    box.flags = kind == SYS_BOX_STOP   ? SDL_MESSAGEBOX_ERROR
                : kind == SYS_BOX_INFO ? SDL_MESSAGEBOX_INFORMATION
                                       : SDL_MESSAGEBOX_WARNING;
    box.window = g_sys.window;
    box.title = title ? title : "";
    box.message = shown;
    box.numbuttons = count;
    box.buttons = data;
    int chosen = -1;
    if (SDL_ShowMessageBox(&box, &chosen) != 0) {
        std::fprintf(stderr, "%s\n", text);
        return count > 1 ? cancel_index : default_index;
    }
    return chosen < 0 ? cancel_index : chosen;
}

void sys_message_box(int kind, const char* title, const char* text) {
    const char* ok[] = {"OK"};
    sys_choice_box(kind, title, text, ok, 1, 0, 0);
}

int sys_question_box(const char* title, const char* text, int default_yes) {
    const char* yes_no[] = {"Yes", "No"};
    return sys_choice_box(SYS_BOX_QUESTION, title, text, yes_no, 2, default_yes ? 0 : 1, 1) == 0;
}

// Start and windows --------------------------------------------------------------------------

int sys_init(const SysOptions& options) {
    g_sys.headless = options.headless;
    g_sys.window_w = options.window_w;
    g_sys.window_h = options.window_h;
    if (g_sys.headless) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!g_sys.window_w) g_sys.window_w = 1024, g_sys.window_h = 768;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 0;
    }
    g_sys.started = 1;
    const char* driver = SDL_GetCurrentVideoDriver();
    g_sys.sleeps = driver && (!std::strcmp(driver, "dummy") || !std::strcmp(driver, "offscreen"));
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        g_sys.desktop_w = mode.w;
        g_sys.desktop_h = mode.h;
    }
    g_sys.scale = options.scale > 0 ? options.scale : 1;
    if (options.scale <= 0 && !g_sys.headless) {
        float dpi = 0;
        if (SDL_GetDisplayDPI(0, nullptr, &dpi, nullptr) != 0) dpi = 0;
        g_sys.scale = sys_choose_scale(g_sys.desktop_w, g_sys.desktop_h, dpi);
        io_log("sys: UI scale %d (a desktop of %d x %d at %.0f dots per inch)\n", g_sys.scale,
               g_sys.desktop_w, g_sys.desktop_h, dpi);
    }
    SDL_StartTextInput();
    return 1;
}

int sys_choose_scale(int desktopWidth, int desktopHeight, float dpi) {
    int scale = dpi > 0 ? (int)((dpi + 24.0f) / 96.0f) : 1;
    if (desktopWidth > 2560 && scale < 2) scale = 2;
    while (scale > 1 && (desktopWidth / scale < FRAME_MIN_W || desktopHeight / scale < FRAME_MIN_H))
        scale--;
    return scale < 1 ? 1 : scale;
}

void sys_frame_for_window(int w, int h, int scale, int* frameW, int* frameH) {
    if (scale < 1) scale = 1;
    *frameW = std::max(FRAME_MIN_W, w / scale / 8 * 8);
    *frameH = std::max(FRAME_MIN_H, h / scale / 8 * 8);
}

void sys_done() {
    sys_instance_release();
    for (SDL_Cursor*& c : g_sys.cursors) {
        if (c) SDL_FreeCursor(c);
        c = nullptr;
    }
    if (g_sys.started) SDL_Quit();
    g_sys.started = 0;
}

int sys_headless() { return g_sys.headless; }
int sys_scale() { return g_sys.scale; }

int sys_display_depth() {
    SDL_DisplayMode mode;
    if (!g_sys.started || SDL_GetDesktopDisplayMode(0, &mode) != 0) return 24;
    int bits = SDL_BITSPERPIXEL(mode.format);
    return bits ? bits : 24;
}

int sys_create_window(const char* title, int* width, int* height) {
    int fw = g_sys.window_w, fh = g_sys.window_h;
    // A window can be resized and maximised like any other; full screen is the default.
    uint32_t flags = SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE;
    if (!fw || !fh) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        fw = (g_sys.desktop_w > 0 ? g_sys.desktop_w : 1024) / g_sys.scale;
        fh = (g_sys.desktop_h > 0 ? g_sys.desktop_h : 768) / g_sys.scale;
    }
    g_sys.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, fw * g_sys.scale,
                                    fh * g_sys.scale, flags);
    if (!g_sys.window) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 0;
    }
    g_sys.fullscreen = (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    SDL_SetWindowMinimumSize(g_sys.window, std::min(fw, FRAME_MIN_W) * g_sys.scale,
                             std::min(fh, FRAME_MIN_H) * g_sys.scale);
    *width = fw;
    *height = fh;
    g_sys.cursors[CURSOR_ARROW] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    g_sys.cursors[CURSOR_WAIT] = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
    g_sys.cursors[CURSOR_GAME] = make_game_cursor();
    sys_set_cursor(g_sys.cursor_kind);
    g_sys.last_display_check = SDL_GetTicks();
    return 1;
}

void sys_destroy_window() {
    if (g_sys.confined) sys_release_mouse();
    if (g_sys.window) SDL_DestroyWindow(g_sys.window);
    g_sys.window = nullptr;
}

void sys_minimise_window(int closing) {
    if (!closing) io_log("sys: the window is minimised\n");
    if (!g_sys.window || g_sys.headless) return;
    if (g_sys.fullscreen && !closing) {
        SDL_SetWindowFullscreen(g_sys.window, 0);
        g_sys.fullscreen = 0;
        g_sys.refullscreen = 1;
    }
    SDL_MinimizeWindow(g_sys.window);
}

int sys_fullscreen() { return g_sys.fullscreen; }

void sys_set_window_size(int w, int h) {
    if (!g_sys.window || w < 1 || h < 1) return;
    // A window manager may give any size; so does this, below the minimum too.
    int minW, minH;
    SDL_GetWindowMinimumSize(g_sys.window, &minW, &minH);
    SDL_SetWindowMinimumSize(g_sys.window, 1, 1);
    SDL_SetWindowSize(g_sys.window, w, h);
    SDL_SetWindowMinimumSize(g_sys.window, minW, minH);
}

void sys_raise_window() {
    if (!g_sys.window) return;
    SDL_RestoreWindow(g_sys.window);
    SDL_RaiseWindow(g_sys.window);
}

SDL_Window* sys_window() { return g_sys.window; }

uint32_t sys_millis() { return g_sys.headless ? g_sys.virtual_ms : SDL_GetTicks(); }
void sys_advance_virtual_clock(uint32_t ms) { g_sys.virtual_ms += ms; }

// Input --------------------------------------------------------------------------------------

void sys_set_message_handler(PlatformHandler handler) { g_sys.handler = handler; }
void sys_force_ctrl(int ctrl) { g_sys.forced_ctrl = ctrl; }
void sys_force_shift(int shift) { g_sys.forced_shift = shift; }

int sys_shift_held() {
    if (g_sys.forced_shift >= 0) return g_sys.forced_shift;
    return g_sys.started && (SDL_GetModState() & KMOD_SHIFT) ? 1 : 0;
}

void sys_clipboard_set(const char* utf8) {
    g_clipboard = utf8;
    g_sys.own_clipboard = !g_sys.started || SDL_SetClipboardText(utf8) != 0;
}

int sys_clipboard_get(char* out, int size) {
    if (size <= 0) return 0;
    std::string text = g_clipboard;
    if (g_sys.started && !g_sys.own_clipboard) {
        char* desktop = SDL_GetClipboardText();
        text = desktop ? desktop : "";
        SDL_free(desktop);
    }
    size_t n = text.size();
    if (n > (size_t)size - 1) {
        n = (size_t)size - 1;
        while (n > 0 && ((unsigned char)text[n] & 0xC0) == 0x80)  // never half a character
            n--;
    }
    std::memcpy(out, text.data(), n);
    out[n] = 0;
    return (int)n;
}

int sys_translate_key(int k) {
    if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return k;
    if (k >= SDLK_F1 && k <= SDLK_F12) return 140 + (k - SDLK_F1);
    switch (k) {
        case SDLK_LEFT:
            return 128;
        case SDLK_RIGHT:
            return 129;
        case SDLK_UP:
            return 130;
        case SDLK_DOWN:
            return 131;
        case SDLK_PAGEUP:
            return 132;
        case SDLK_PAGEDOWN:
            return 133;
        case SDLK_BACKSPACE:
            return 134;
        case SDLK_ESCAPE:
            return 135;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return 136;
        case SDLK_TAB:
            return 137;
        case SDLK_DELETE:
            return 138;
        case SDLK_HOME:
            return 152;
        case SDLK_END:
            return 153;
        case SDLK_SPACE:
            return 32;
        case SDLK_PRINTSCREEN:
            return 44;
        case SDLK_KP_0:
            return '0';
        // Plus and minus of the keypad and of the main keys alike ("=" is where most layouts
        // put "+").
        case SDLK_KP_PLUS:
        case SDLK_PLUS:
        case SDLK_EQUALS:
            return 43;
        case SDLK_KP_MINUS:
        case SDLK_MINUS:
            return 45;
        default:
            break;
    }
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return '1' + (k - SDLK_KP_1);
    return -1;
}

void sys_set_event_taker(SysEventTaker taker) { g_sys.taker = taker; }

namespace {

// Each of these fills the message of one kind of SDL event; 0 when the event raises none.
int window_message(const SDL_WindowEvent& w, PlatformMessage* m) {
    switch (w.event) {
        case SDL_WINDOWEVENT_EXPOSED:
            m->kind = PM_PAINT;
            m->w = 1 << 20;  // the whole drawing window; the grid clips it
            m->h = 1 << 20;
            return 1;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            m->kind = PM_ACTIVATE;
            return 1;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            m->kind = PM_DEACTIVATE;
            return 1;
        case SDL_WINDOWEVENT_CLOSE:
            m->kind = PM_CLOSE;
            return 1;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            m->kind = PM_RESIZE;
            m->w = w.data1;
            m->h = w.data2;
            return 1;
        case SDL_WINDOWEVENT_RESTORED:
            // Back from the minimise corner: full screen again, as it was.
            if (g_sys.refullscreen && g_sys.window) {
                g_sys.refullscreen = 0;
                g_sys.fullscreen = SDL_SetWindowFullscreen(g_sys.window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
            }
            return 0;
        default:
            return 0;
    }
}

int button_message(const SDL_MouseButtonEvent& b, PlatformMessage* m) {
    int bit = b.button == SDL_BUTTON_LEFT ? 1 : b.button == SDL_BUTTON_RIGHT ? 2 : 0;
    if (!bit) return 0;
    bool down = b.type == SDL_MOUSEBUTTONDOWN;
    g_sys.held = down ? (g_sys.held | bit) : (g_sys.held & ~bit);
    m->kind = down ? PM_BUTTON_DOWN : PM_BUTTON_UP;
    m->x = g_sys.mouse_x = to_frame(b.x);
    m->y = g_sys.mouse_y = to_frame(b.y);
    m->button = bit;
    m->held = held_flags(g_sys.held);
    return 1;
}

void motion_message(const SDL_MouseMotionEvent& motion, PlatformMessage* m) {
    int buttons = (motion.state & SDL_BUTTON_LMASK ? 1 : 0) | (motion.state & SDL_BUTTON_RMASK ? 2 : 0);
    m->kind = PM_MOUSE_MOVE;
    m->x = g_sys.mouse_x = to_frame(motion.x);
    m->y = g_sys.mouse_y = to_frame(motion.y);
    m->held = held_flags(buttons);
}

// Alt combinations and F10 are system keys: their presses raise PM_SYSKEY_DOWN without the key,
// their releases nothing.
int key_message(const SDL_KeyboardEvent& k, PlatformMessage* m) {
    int sym = k.keysym.sym;
    bool alt = (k.keysym.mod & KMOD_ALT) || sym == SDLK_LALT || sym == SDLK_RALT;
    bool ctrl = g_sys.forced_ctrl >= 0 ? g_sys.forced_ctrl : (k.keysym.mod & KMOD_CTRL) != 0;
    if (k.type == SDL_KEYDOWN && (alt || sym == SDLK_F10)) {
        m->kind = PM_SYSKEY_DOWN;
        return 1;
    }
    if (alt || sym == SDLK_F10) return 0;
    m->kind = k.type == SDL_KEYDOWN ? PM_KEY_DOWN : PM_KEY_UP;
    m->key = sys_translate_key(sym);
    m->held = ctrl ? 4 : 0;
    return 1;
}

int wheel_message(const SDL_MouseWheelEvent& w, PlatformMessage* m) {
    int steps = w.y;
    if (w.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
    if (!steps) return 0;  // a sideways turn
    m->kind = PM_WHEEL;
    m->x = g_sys.mouse_x;
    m->y = g_sys.mouse_y;
    m->steps = steps;
    return 1;
}

// Characters arrive as UTF-8. The plain ASCII range goes on as characters; every character that
// Windows-1252 holds also goes on as typed text in that encoding.
void deliver_text(const char* p) {
    while (uint32_t cp = str_utf8_decode(&p)) {
        if (cp >= 32 && cp <= 127) {
            PlatformMessage ch = {PM_CHAR};
            ch.ch = (int)cp;
            deliver(ch);
        }
        int byte = str_cp1252_from_unicode(cp);
        if (byte >= 32) {
            PlatformMessage typed = {PM_TEXT_INPUT};
            typed.ch = byte;
            deliver(typed);
        }
    }
}

}  // namespace

void sys_dispatch_sdl_event(const SDL_Event& e) {
    if (g_sys.taker && g_sys.taker(e)) return;  // e.g. a tune ended: handled here, on the main thread
    PlatformMessage m = {};
    int raised = 1;
    switch (e.type) {
        case SDL_QUIT:
            m.kind = PM_CLOSE;
            break;
        case SDL_WINDOWEVENT:
            raised = window_message(e.window, &m);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            raised = button_message(e.button, &m);
            break;
        case SDL_MOUSEMOTION:
            motion_message(e.motion, &m);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            raised = key_message(e.key, &m);
            break;
        case SDL_MOUSEWHEEL:
            raised = wheel_message(e.wheel, &m);
            break;
        case SDL_TEXTINPUT:
            deliver_text(e.text.text);
            return;
        default:
            return;
    }
    if (raised) deliver(m);
}

int sys_pump_one() {
    // A request of another copy (a box handed over) is taken before a close signal that follows it.
    PlatformMessage request;
    if (const int served = instance_serve(&request)) {
        if (served == 2) deliver(request);
        return 1;
    }
    if (instance_close_signal_taken()) {
        PlatformMessage m = {PM_CLOSE};
        deliver(m);
        return 1;
    }
    check_display_change();
    if (!g_sys.started) return 0;
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return 0;
    sys_dispatch_sdl_event(e);
    return 1;
}

// A driver that cannot wait for events would make SDL poll every millisecond; nothing can
// arrive through it anyway, so it sleeps the whole time instead.
void sys_wait(uint32_t ms) {
    if (!g_sys.started) return;
    if (g_sys.sleeps)
        SDL_Delay(ms);
    else
        SDL_WaitEventTimeout(nullptr, (int)ms);
}

// Cursors and confinement --------------------------------------------------------------------

void sys_set_cursor(int kind) {
    if (kind < 0 || kind > 2) kind = 0;
    g_sys.cursor_kind = kind;
    if (g_sys.cursors[kind]) SDL_SetCursor(g_sys.cursors[kind]);
}

int sys_cursor() { return g_sys.cursor_kind; }

void sys_confine_mouse(int x, int y, int w, int h) {
    if (!g_sys.window) return;
    SDL_GetGlobalMouseState(&g_sys.saved_x, &g_sys.saved_y);
    int s = g_sys.scale;
    SDL_Rect r = {x * s, y * s, w * s, h * s};
    SDL_ShowCursor(SDL_DISABLE);
    SDL_SetWindowMouseRect(g_sys.window, &r);
    SDL_WarpMouseInWindow(g_sys.window, r.x + r.w / 2, r.y + r.h / 2);
    g_sys.confined = 1;
}

void sys_release_mouse() {
    if (!g_sys.window || !g_sys.confined) return;
    SDL_SetWindowMouseRect(g_sys.window, nullptr);
    SDL_WarpMouseGlobal(g_sys.saved_x, g_sys.saved_y);
    SDL_ShowCursor(SDL_ENABLE);
    g_sys.confined = 0;
}

void sys_move_mouse(int x, int y) {
    if (g_sys.window) SDL_WarpMouseInWindow(g_sys.window, x * g_sys.scale, y * g_sys.scale);
}

// Processes -----------------------------------------------------------------------------------

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

int sys_spawn_detached(const char* const* argv) {
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, (char* const*)argv, environ) != 0) return 0;
    return 1;  // reaped later by the periodic check
}

int sys_run(const char* const* argv, int timeout_ms, void (*waiting)()) {
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, (char* const*)argv, environ) != 0) return -1;
    for (int waited = 0;; waited += 10) {
        int status;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0) return -1;
        if (waited >= timeout_ms) return -2;
        if (waiting && waited % 100 == 0) waiting();
        SDL_Delay(10);
    }
}

// Pictures for the window ---------------------------------------------------------------------

namespace {

SDL_Surface* argb_surface(const uint32_t* argb, int width, int height) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return nullptr;
    for (int y = 0; y < height; y++)
        std::memcpy((uint8_t*)s->pixels + y * s->pitch, argb + y * width, width * 4);
    return s;
}

}  // namespace

void sys_set_window_icon(const uint32_t* argb, int width, int height) {
    if (!g_sys.window) return;
    if (SDL_Surface* s = argb_surface(argb, width, height)) {
        SDL_SetWindowIcon(g_sys.window, s);
        SDL_FreeSurface(s);
    }
}

void sys_set_game_cursor(const uint32_t* argb, int width, int height, int hot_x, int hot_y) {
    if (!g_sys.started) return;
    SDL_Surface* s = argb_surface(argb, width, height);
    if (!s) return;
    SDL_Cursor* cursor = SDL_CreateColorCursor(s, hot_x, hot_y);
    SDL_FreeSurface(s);
    if (!cursor) return;
    if (g_sys.cursors[CURSOR_GAME]) SDL_FreeCursor(g_sys.cursors[CURSOR_GAME]);
    g_sys.cursors[CURSOR_GAME] = cursor;
    sys_set_cursor(g_sys.cursor_kind);
}

// The display -----------------------------------------------------------------------------------

int sys_x11_direct_rendering() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!g_sys.window || !SDL_GetWindowWMInfo(g_sys.window, &info) || info.subsystem != SDL_SYSWM_X11)
        return -1;
    // The X library is reached through the copy SDL already loaded.
    void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (!x11) return -1;
    using QueryExtension = int (*)(void*, const char*, int*, int*, int*);
    auto query = (QueryExtension)dlsym(x11, "XQueryExtension");
    int found = -1;
    if (query) {
        int opcode, event, error;
        found = 0;
        for (const char* name : {"DRI3", "DRI2", "NV-GLX"})
            if (query(info.info.x11.display, name, &opcode, &event, &error)) found = 1;
    }
    dlclose(x11);
    return found;
}
