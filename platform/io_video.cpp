// platform/io_video.cpp -- the frame buffer, the two video drivers, the choice between them and
// the frame cycle.
//
// The frame buffer is a 24-bit blue-green-red bitmap stored bottom row first, so the screen's
// pitch is negative. The renderer (driver 1) copies changed rectangles into a streaming texture
// and lets SDL's renderer put it on the window (scaled when a UI scale is in force); the
// framebuffer (any other driver) writes them into the window's own pixels and updates just those
// rectangles. Without a driver on the command line the renderer is taken only where it draws on
// the GPU: software GL would draw the whole window for every changed rectangle and hold a large
// context, so there the window's framebuffer is used and no GL context is ever made.
//
// Sections: copying pixels; the two presentations; the choice; the public operations.
#include "platform/io_video.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "platform/sys.h"

namespace {

constexpr int MERGE_MAX = 256;  // lists longer than this are presented as they are

struct Video {
    int selected;            // the driver asked for: VIDEO_CHOOSE, 1 or any other number
    int driver;              // VIDEO_RENDERER or VIDEO_FRAMEBUFFER once the frame exists
    uint8_t* bits;           // bitmap, bottom row first
    int stride;              // bytes per stored row, a multiple of 4
    SDL_Renderer* renderer;  // renderer
    SDL_Texture* texture;    // renderer: ARGB8888 at frame buffer size
    PresentList list;
    PresentRect merged[PRESENT_RECT_MAX];  // the list as the window gets it
};
Video g_video;

// --- Copying pixels ---

// Copies one rectangle of the frame buffer into 32-bit pixels (x, r, g, b little-endian),
// replicating each pixel scale x scale times; columns and rows beyond cols x rows (in frame
// pixels) are left out.
void copy_rect_32(const PresentRect& r, uint8_t* dst, int dst_pitch, int scale) {
    const int w = r.right - r.left;
    for (int y = r.top; y < r.bottom; y++) {
        const uint8_t* src = screen_top_row() - (ptrdiff_t)y * g_video.stride + r.left * 3;
        uint8_t* row = dst + (ptrdiff_t)(y - r.top) * scale * dst_pitch;
        uint32_t* out = (uint32_t*)row;
        if (scale == 1) {
            for (int x = 0; x < w; x++, src += 3)
                out[x] = 0xFF000000u | (uint32_t)src[2] << 16 | (uint32_t)src[1] << 8 | src[0];
        } else {
            for (int x = 0; x < w; x++, src += 3) {
                uint32_t v = 0xFF000000u | (uint32_t)src[2] << 16 | (uint32_t)src[1] << 8 | src[0];
                for (int k = 0; k < scale; k++)
                    out[x * scale + k] = v;
            }
            for (int k = 1; k < scale; k++)
                std::memcpy(row + (ptrdiff_t)k * dst_pitch, row, (size_t)w * scale * 4);
        }
    }
}

// The rectangle cut to what a window of w x h window pixels shows of the frame at this scale;
// false when nothing of it shows.
bool clip_to_window(PresentRect* r, int w, int h, int scale) {
    r->right = std::min(r->right, w / scale);
    r->bottom = std::min(r->bottom, h / scale);
    return r->right > r->left && r->bottom > r->top;
}

// --- The two presentations ---

void present_renderer(const PresentRect* rects, int count) {
    if (!g_video.renderer || !g_video.texture) return;
    for (int i = 0; i < count; i++) {
        const PresentRect& r = rects[i];
        SDL_Rect area = {r.left, r.top, r.right - r.left, r.bottom - r.top};
        void* pixels;
        int pitch;
        if (SDL_LockTexture(g_video.texture, &area, &pixels, &pitch) != 0) continue;
        copy_rect_32(r, (uint8_t*)pixels, pitch, 1);
        SDL_UnlockTexture(g_video.texture);
    }
    // The frame keeps its size in a window that is larger or smaller: shown 1:1 (times the
    // scale) from the top-left, never stretched.
    const int s = sys_scale();
    const SDL_Rect whole = {0, 0, screen.width * s, screen.height * s};
    SDL_SetRenderDrawColor(g_video.renderer, 0, 0, 0, 255);
    SDL_RenderClear(g_video.renderer);
    SDL_RenderCopy(g_video.renderer, g_video.texture, nullptr, &whole);
    SDL_RenderPresent(g_video.renderer);
}

void present_framebuffer(const PresentRect* rects, int count) {
    SDL_Window* window = sys_window();
    if (!window) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface) return;
    const int scale = sys_scale();
    const bool fast = surface->format->BytesPerPixel == 4 && surface->format->Rmask == 0x00FF0000 &&
                      surface->format->Gmask == 0x0000FF00 && surface->format->Bmask == 0x000000FF;
    static SDL_Rect updates[PRESENT_RECT_MAX];
    int n = 0;
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
    for (int i = 0; i < count; i++) {
        PresentRect r = rects[i];
        if (!clip_to_window(&r, surface->w, surface->h, scale)) continue;
        uint8_t* dst =
            (uint8_t*)surface->pixels + (ptrdiff_t)r.top * scale * surface->pitch + r.left * scale * 4;
        if (fast) {
            copy_rect_32(r, dst, surface->pitch, scale);
        } else {
            for (int y = r.top; y < r.bottom; y++)
                for (int x = r.left; x < r.right; x++) {
                    const uint8_t* p = screen_top_row() - (ptrdiff_t)y * g_video.stride + x * 3;
                    SDL_Rect px = {x * scale, y * scale, scale, scale};
                    SDL_FillRect(surface, &px, SDL_MapRGB(surface->format, p[2], p[1], p[0]));
                }
        }
        updates[n++] = {r.left * scale, r.top * scale, (r.right - r.left) * scale,
                        (r.bottom - r.top) * scale};
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (n > 0) SDL_UpdateWindowSurfaceRects(window, updates, n);
}

// --- The choice ---

// Whether a GPU render node can be opened here.
int render_node_usable() {
    for (int i = 128; i < 136; i++) {
        char path[32];
        std::snprintf(path, sizeof path, "/dev/dri/renderD%d", i);
        const int fd = open(path, O_RDWR | O_CLOEXEC);
        if (fd >= 0) {
            close(fd);
            return 1;
        }
    }
    return 0;
}

VideoFacts gather_facts() {
    VideoFacts f = {};
    f.sdlDriver = SDL_GetCurrentVideoDriver();
    f.renderDriver = std::getenv("SDL_RENDER_DRIVER");
    f.glSoftware = std::getenv("LIBGL_ALWAYS_SOFTWARE");
    f.gallium = std::getenv("GALLIUM_DRIVER");
    f.renderNode = render_node_usable();
    f.x11Direct = f.sdlDriver && !std::strcmp(f.sdlDriver, "x11") ? sys_x11_direct_rendering() : -1;
    return f;
}

bool is(const char* value, const char* word) { return value && !std::strcmp(value, word); }

void log_driver(int driver) {
    io_log(driver == VIDEO_RENDERER ? "video driver: DrawDib\n" : "video driver: Windows\n");
}

// The renderer and its texture; 0 (nothing kept) when either cannot be made.
int open_renderer(SDL_Window* window, int width, int height) {
    g_video.renderer = SDL_GetRenderer(window);
    if (!g_video.renderer) g_video.renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (!g_video.renderer) g_video.renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (g_video.renderer)
        g_video.texture = SDL_CreateTexture(g_video.renderer, SDL_PIXELFORMAT_ARGB8888,
                                            SDL_TEXTUREACCESS_STREAMING, width, height);
    if (g_video.texture) return 1;
    io_log("video: SDL's renderer cannot be used: %s\n", SDL_GetError());
    if (g_video.renderer) SDL_DestroyRenderer(g_video.renderer);
    g_video.renderer = nullptr;
    return 0;
}

// The window's own pixels; 0 when the window has none.
int open_framebuffer(SDL_Window* window) {
    // SDL would otherwise put the window's pixels into a texture of its renderer, which on
    // software GL is what this driver is here to avoid.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_GetWindowSurface(window)) return 1;
    io_log("video: the window's framebuffer cannot be used: %s\n", SDL_GetError());
    return 0;
}

void free_bits() {
    io_mem_free(g_video.bits);
    g_video.bits = nullptr;
    screen.buf = nullptr;
}

void make_bits(int width, int height, int bits) {
    screen.width = width;
    screen.height = height;
    screen.bits = bits;
    screen.bytesPerPixel = (bits + 4) / 8;
    g_video.stride = ((bits * width + 31) / 8) & ~3;
    size_t size = (size_t)g_video.stride * height;
    g_video.bits = (uint8_t*)io_mem_alloc(size ? size : 1);
    std::memset(g_video.bits, 0, size);  // black at creation
    screen.pitch = -g_video.stride;
    screen.buf = nullptr;
}

}  // namespace

uint8_t* screen_top_row() {
    return g_video.bits ? g_video.bits + (ptrdiff_t)(screen.height - 1) * g_video.stride : nullptr;
}

void io_video_select(int driver) {
    g_video.selected = driver;
    if (driver != VIDEO_CHOOSE) log_driver(driver == 1 ? VIDEO_RENDERER : VIDEO_FRAMEBUFFER);
}

int io_video_driver() { return g_video.driver; }

int io_video_renderer_on_gpu(const VideoFacts& f, const char** why) {
    const char* sdl = f.sdlDriver ? f.sdlDriver : "";
    if (!std::strcmp(sdl, "dummy") || !std::strcmp(sdl, "offscreen"))
        return *why = "the video driver has no display", 0;
    if (is(f.renderDriver, "software")) return *why = "SDL_RENDER_DRIVER asks for the software renderer", 0;
    if (f.glSoftware && std::strcmp(f.glSoftware, "0") && std::strcmp(f.glSoftware, "false"))
        return *why = "LIBGL_ALWAYS_SOFTWARE asks for software GL", 0;
    if (is(f.gallium, "llvmpipe") || is(f.gallium, "softpipe") || is(f.gallium, "swr"))
        return *why = "GALLIUM_DRIVER asks for software GL", 0;
    if (!std::strcmp(sdl, "x11") && f.x11Direct == 0)
        return *why = "the X server offers no direct rendering (no DRI3, DRI2 or NV-GLX)", 0;
    if (!f.renderNode && !(!std::strcmp(sdl, "x11") && f.x11Direct == 1))
        return *why = "no GPU render node can be opened (/dev/dri/renderD*)", 0;
    return *why = "the display renders on the GPU", 1;
}

int io_video_choose(const VideoFacts& facts, const char** why) {
    return io_video_renderer_on_gpu(facts, why) ? VIDEO_RENDERER : VIDEO_FRAMEBUFFER;
}

int io_video_check_display(int depth, int (*warning)()) {
    if (depth >= 15) return 1;
    return warning ? warning() : 0;
}

int io_video_create_frame(int width, int height, int bits) {
    io_video_close();
    make_bits(width, height, bits);
    SDL_Window* window = sys_window();
    if (!window) return 1;
    int driver = g_video.selected == 1 ? VIDEO_RENDERER : VIDEO_FRAMEBUFFER;
    if (g_video.selected == VIDEO_CHOOSE) {
        const char* why = "";
        driver = io_video_choose(gather_facts(), &why);
        io_log("video: %s (%s)\n",
               driver == VIDEO_RENDERER ? "SDL's renderer" : "the window's framebuffer, no GL context", why);
        log_driver(driver);
    }
    // The driver that cannot be used gives way to the other one.
    int ok = driver == VIDEO_RENDERER ? open_renderer(window, width, height) : open_framebuffer(window);
    if (!ok) {
        driver = driver == VIDEO_RENDERER ? VIDEO_FRAMEBUFFER : VIDEO_RENDERER;
        ok = driver == VIDEO_RENDERER ? open_renderer(window, width, height) : open_framebuffer(window);
        if (ok) log_driver(driver);
    }
    g_video.driver = ok ? driver : 0;
    return ok;
}

void io_video_resize_frame(int width, int height) {
    const int bits = screen.bits ? screen.bits : 24;
    free_bits();
    make_bits(width, height, bits);
    if (g_video.driver == VIDEO_RENDERER && g_video.renderer) {
        if (g_video.texture) SDL_DestroyTexture(g_video.texture);
        g_video.texture = SDL_CreateTexture(g_video.renderer, SDL_PIXELFORMAT_ARGB8888,
                                            SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!g_video.texture) io_fatal("io_video_resize_frame: %s\n", SDL_GetError());
    } else if (SDL_Window* window = sys_window()) {
        // The window's pixels beside a frame that no longer covers them are black.
        if (SDL_Surface* surface = SDL_GetWindowSurface(window)) {
            SDL_FillRect(surface, nullptr, 0);
            SDL_UpdateWindowSurface(window);
        }
    }
}

void io_video_close() {
    if (g_video.texture) SDL_DestroyTexture(g_video.texture);
    if (g_video.renderer) SDL_DestroyRenderer(g_video.renderer);
    g_video.texture = nullptr;
    g_video.renderer = nullptr;
    g_video.driver = 0;
    free_bits();
}

void io_video_begin_paint() {
    if (screen.buf) io_fatal("io_video_begin_paint: screen.buf is not NULL\n");
    screen.buf = screen_top_row();
    screen.pitch = -g_video.stride;
    g_video.list.count = 0;
}

void io_video_end_paint() {
    if (!screen.buf) io_fatal("io_video_end_paint: screen.buf is NULL\n");
    if (g_video.list.count > 0) {
        std::memcpy(g_video.merged, g_video.list.rects, (size_t)g_video.list.count * sizeof(PresentRect));
        const int n = io_video_merge_rows(g_video.merged, g_video.list.count);
        if (g_video.driver == VIDEO_RENDERER)
            present_renderer(g_video.merged, n);
        else if (g_video.driver == VIDEO_FRAMEBUFFER)
            present_framebuffer(g_video.merged, n);
    }
    screen.buf = nullptr;
}

void io_video_add_rect(int x, int y, int w, int h) {
    if (g_video.list.count >= PRESENT_RECT_MAX) return;
    g_video.list.rects[g_video.list.count++] = {x, y, x + w, y + h};
}

const PresentList& io_video_present_list() { return g_video.list; }

int io_video_merge_rows(PresentRect* rects, int count) {
    if (count > MERGE_MAX) return count;
    int n = 0;
    for (int i = 0; i < count; i++) {
        const PresentRect& r = rects[i];
        int k = 0;
        while (k < n && !(rects[k].left == r.left && rects[k].right == r.right && rects[k].bottom == r.top))
            k++;
        if (k < n)
            rects[k].bottom = r.bottom;
        else
            rects[n++] = r;
    }
    return n;
}

int io_video_read_window(unsigned* out, int width, int height) {
    SDL_Window* window = sys_window();
    if (!window) return 0;
    if (g_video.driver == VIDEO_RENDERER) {
        const SDL_Rect area = {0, 0, width, height};
        if (!g_video.renderer ||
            SDL_RenderReadPixels(g_video.renderer, &area, SDL_PIXELFORMAT_ARGB8888, out, width * 4) != 0)
            return 0;
        for (size_t i = 0; i < (size_t)width * height; i++)
            out[i] &= 0xFFFFFFu;
        return 1;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface || surface->w < width || surface->h < height) return 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const uint8_t* p = (const uint8_t*)surface->pixels + (ptrdiff_t)y * surface->pitch +
                               (ptrdiff_t)x * surface->format->BytesPerPixel;
            uint32_t v = 0;
            std::memcpy(&v, p, surface->format->BytesPerPixel);
            uint8_t r, g, b;
            SDL_GetRGB(v, surface->format, &r, &g, &b);
            out[(size_t)y * width + x] = (unsigned)r << 16 | (unsigned)g << 8 | b;
        }
    return 1;
}

int io_video_warning_dialog() {
    static const char* const buttons[] = {"Wijzigen...", "Verdergaan", "Annuleren"};
    const char* text =
        "Dit spel werkt het best als u de kleurdiepte van uw monitor instelt op 256 kleuren.\r\n\r\n"
        "We raden u aan via het tabblad Instellingen van het dialoogvenster Eigenschappen voor Beeldscherm "
        "aan te passen en het spel opnieuw op te starten.";
    int chosen = sys_choice_box(SYS_BOX_WARNING, "Warning", text, buttons, 3, 1, 2);
    if (chosen == 0) {
        const char* settings[] = {"gnome-control-center", "display", nullptr};
        sys_spawn_detached(settings);  // the desktop's display settings, where there are any
        return 0;
    }
    return chosen == 1;
}
