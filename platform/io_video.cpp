// platform/io_video.cpp -- the frame buffer, the two video drivers and the frame cycle.
//
// The frame buffer is a 24-bit blue-green-red bitmap stored bottom row first, so the screen's
// pitch is negative. Driver 1 copies changed rectangles into a streaming texture and lets the
// renderer put it on the window (scaled when a UI scale is in force); the other driver writes
// them into the window surface and updates just those rectangles.
#include "platform/io_video.h"

#include <SDL.h>

#include <cstring>

#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "platform/sys.h"

namespace {

struct Video {
    int driver;              // 1 renderer, anything else window surface
    uint8_t* bits;           // bitmap, bottom row first
    int stride;              // bytes per stored row, a multiple of 4
    SDL_Renderer* renderer;  // driver 1
    SDL_Texture* texture;    // driver 1, ARGB8888 at frame buffer size
    PresentList list;
};
Video g_video;

// Copies one rectangle of the frame buffer into 32-bit pixels (x, r, g, b little-endian),
// replicating each pixel scale x scale times.
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

void present_renderer(const PresentList& list) {
    if (!g_video.renderer || !g_video.texture) return;
    for (int i = 0; i < list.count; i++) {
        const PresentRect& r = list.rects[i];
        SDL_Rect area = {r.left, r.top, r.right - r.left, r.bottom - r.top};
        void* pixels;
        int pitch;
        if (SDL_LockTexture(g_video.texture, &area, &pixels, &pitch) != 0) continue;
        copy_rect_32(r, (uint8_t*)pixels, pitch, 1);
        SDL_UnlockTexture(g_video.texture);
    }
    SDL_RenderCopy(g_video.renderer, g_video.texture, nullptr, nullptr);
    SDL_RenderPresent(g_video.renderer);
}

void present_surface(const PresentList& list) {
    SDL_Window* window = sys_window();
    if (!window) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface) return;
    const int scale = sys_scale();
    const bool fast = surface->format->BytesPerPixel == 4 && surface->format->Rmask == 0x00FF0000 &&
                      surface->format->Gmask == 0x0000FF00 && surface->format->Bmask == 0x000000FF;
    SDL_Rect rects[PRESENT_RECT_MAX];
    int n = 0;
    SDL_LockSurface(surface);
    for (int i = 0; i < list.count; i++) {
        PresentRect r = list.rects[i];
        if (r.right * scale > surface->w || r.bottom * scale > surface->h) continue;
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
        rects[n++] = {r.left * scale, r.top * scale, (r.right - r.left) * scale, (r.bottom - r.top) * scale};
    }
    SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurfaceRects(window, rects, n);
}

}  // namespace

uint8_t* screen_top_row() {
    return g_video.bits ? g_video.bits + (ptrdiff_t)(screen.height - 1) * g_video.stride : nullptr;
}

void io_video_select(int driver) {
    g_video.driver = driver;
    io_log(driver == 1 ? "video driver: DrawDib\n" : "video driver: Windows\n");
}

int io_video_check_display(int depth, int (*warning)()) {
    if (depth >= 15) return 1;
    return warning ? warning() : 0;
}

void io_video_create_frame(int width, int height, int bits) {
    io_video_close();
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
    SDL_Window* window = sys_window();
    if (!window) return;
    if (g_video.driver == 1) {
        g_video.renderer = SDL_GetRenderer(window);
        if (!g_video.renderer) g_video.renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
        if (!g_video.renderer) g_video.renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (g_video.renderer)
            g_video.texture = SDL_CreateTexture(g_video.renderer, SDL_PIXELFORMAT_ARGB8888,
                                                SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!g_video.texture) io_fatal("io_video_create_frame: %s\n", SDL_GetError());
    }
}

void io_video_close() {
    if (g_video.texture) SDL_DestroyTexture(g_video.texture);
    if (g_video.renderer) SDL_DestroyRenderer(g_video.renderer);
    g_video.texture = nullptr;
    g_video.renderer = nullptr;
    io_mem_free(g_video.bits);
    g_video.bits = nullptr;
    screen.buf = nullptr;
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
        if (g_video.driver == 1)
            present_renderer(g_video.list);
        else
            present_surface(g_video.list);
    }
    screen.buf = nullptr;
}

void io_video_add_rect(int x, int y, int w, int h) {
    if (g_video.list.count >= PRESENT_RECT_MAX) return;
    g_video.list.rects[g_video.list.count++] = {x, y, x + w, y + h};
}

const PresentList& io_video_present_list() { return g_video.list; }

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
