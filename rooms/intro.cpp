// rooms/intro.cpp -- the splash and the about screen: one layout for both, the intro picture at
// (3, 3) of the window's body, a frame of three nested rectangles, the status line, the
// version, the web address and the copyright line; the about screen adds the credits below.
//
// Sections: the credits text; the picture; layout and drawing; the splash; the about screen.
#include "rooms/intro.h"

#include <cstdio>
#include <cstring>

#include "base/version.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/lt.h"
#include "gui/window.h"
#include "image/gformat.h"
#include "image/img.h"
#include "image/pic.h"
#include "platform/io_debug.h"
#include "platform/io_desktop.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "platform/sys.h"
#include "resources/dp.h"

// The credits text ------------------------------------------------------------------------------

namespace {

// Whom the game owes: its makers, its publisher, and the libraries, fonts and sounds it is built
// with, each with its licence. Plain ASCII, so every font of the game can draw it.
constexpr char CREDITS[] =
    "Lumavex\n"
    "A jigsaw-puzzle game for the Linux desktop\n"
    "\n"
    "Developed by the Lumavex team\n"
    "www.lumavex.example\n"
    "\n"
    "Program code: the Lumavex team\n"
    "Graphics: the Lumavex team\n"
    "\n"
    "Published by Dremwick\n"
    "www.dremwick.example\n"
    "\n"
    "Lumavex is built with the following libraries, fonts and sounds. Our thanks go to their "
    "authors. The full licence texts come with each of them.\n"
    "\n"
    "SDL2 - Simple DirectMedia Layer\n"
    "Copyright (c) 1997-2023 Sam Lantinga\n"
    "zlib licence - www.libsdl.org\n"
    "\n"
    "SDL2_mixer\n"
    "Copyright (c) 1997-2022 Sam Lantinga\n"
    "zlib licence\n"
    "\n"
    "FluidSynth, which plays the tunes\n"
    "Copyright (c) 2000-2021 Peter Hanappe and others\n"
    "GNU Lesser General Public License, version 2.1 or later - www.fluidsynth.org\n"
    "\n"
    "libjpeg-turbo\n"
    "Copyright (c) 2009-2023 D. R. Commander; (c) 1991-2020 Thomas G. Lane, Guido Vollbeding\n"
    "This software is based in part on the work of the Independent JPEG Group.\n"
    "IJG licence and BSD-style licence\n"
    "\n"
    "libtiff\n"
    "Copyright (c) 1988-1997 Sam Leffler; (c) 1991-1997 Silicon Graphics, Inc.\n"
    "libtiff licence (BSD-style)\n"
    "\n"
    "FreeType\n"
    "Portions of this software are copyright (c) 1996-2022 The FreeType Project "
    "(www.freetype.org). All rights reserved.\n"
    "FreeType Project Licence\n"
    "\n"
    "fontconfig\n"
    "Copyright (c) 2001, 2003 Keith Packard\n"
    "MIT-style licence\n"
    "\n"
    "libpng\n"
    "Copyright (c) 1995-2022 The PNG Reference Library Authors\n"
    "libpng licence\n"
    "\n"
    "libwebp\n"
    "Copyright (c) 2010 Google Inc.\n"
    "BSD-style licence - the WebP pictures\n"
    "\n"
    "zlib\n"
    "Copyright (c) 1995-2013 Jean-loup Gailly and Mark Adler\n"
    "zlib licence\n"
    "\n"
    "DejaVu fonts: DejaVu Sans Bold and DejaVu Serif, from which the game's lettering is drawn\n"
    "Copyright (c) 2003 Bitstream, Inc.; the DejaVu changes are in the public domain\n"
    "Bitstream Vera font licence\n"
    "\n"
    "TimGM6mb General MIDI soundfont\n"
    "Copyright (c) 2004 Tim Brechbill; (c) 2010 David Bolton\n"
    "GNU General Public License, version 2\n"
    "\n"
    "Let op: de afbeeldingen die bij dit spel worden meegeleverd, mogen niet worden gedownload, "
    "afgedrukt, gebruikt, gekopieerd of gemaild in een andere toepassing.\n";
static_assert(sizeof CREDITS <= INTRO_CREDITS_MAX, "the credits fit their buffer");

}  // namespace

const char* intro_credits() { return CREDITS; }

void intro_version_line(char* out, int size) {
    char number[16];
    std::snprintf(number, sizeof number, "%i.%02i", GAME_VERSION / 100, GAME_VERSION % 100);
    std::snprintf(out, size, "%s: %s", lt_get(20), number);
}

int intro_web_address(const char* text, char* out, int size) {
    for (const char* word = text; *word;) {
        while (*word == ' ')
            word++;
        const char* end = word;
        while (*end && *end != ' ' && *end != '\n')
            end++;
        const int length = (int)(end - word);
        bool named = length > 4 && !std::strncmp(word, "www.", 4);
        for (const char* p = word; p + 3 <= end && !named; p++)
            named = !std::strncmp(p, "://", 3);
        if (named) {
            const bool scheme = !std::strncmp(word, "www.", 4);
            const int n = std::snprintf(out, size, "%s%.*s", scheme ? "http://" : "", length, word);
            return n > 0 && n < size;
        }
        word = *end ? end + 1 : end;
    }
    return 0;
}

// The picture ------------------------------------------------------------------------------------

namespace {

constexpr const char* INTRO_PICTURE = "img/intro.jpg";

// The picture of the pack as a 24-bit Image of its own size; null (logged) when it is missing or
// does not decode.
Image* load_picture() {
    const int index = dp_get_index(INTRO_PICTURE, 0);
    if (index < 0) {
        io_log("intro: %s is not in the data pack\n", INTRO_PICTURE);
        return nullptr;
    }
    dp_fopen(index);
    PictureBuffer* buffer = nullptr;
    const int ok = gformat_jpg_read_pack(dp_size(index), &buffer);
    dp_fclose();
    if (!ok || !buffer) {
        io_log("intro: %s does not decode\n", INTRO_PICTURE);
        pic_release(buffer);
        return nullptr;
    }
    Image* image = img_create(buffer->width, buffer->height, IMG_24BIT);
    ImageView view;
    img_view(&view, image, 0, 0);
    img_view_convert(&view, buffer);
    pic_release(buffer);
    return image;
}

}  // namespace

// Layout and drawing -----------------------------------------------------------------------------

namespace {

constexpr int TEXT_ABOUT_TITLE = 19, TEXT_WEB = 21, TEXT_COPYRIGHT = 22;
// Skin colours: the body, the three frame lines, the texts.
constexpr int COLOUR_BODY = 27, COLOUR_FRAME_OUTER = 21, COLOUR_FRAME_MIDDLE = 35, COLOUR_FRAME_INNER = 29;
constexpr int COLOUR_TEXT = 28, COLOUR_TEXT_SHADOW = 29, COLOUR_LINK = 24;
// Inside the body: the picture, the status line, the other lines under it.
constexpr int PICTURE_X = 3, PICTURE_Y = 3;
constexpr int STATUS_X = 11, STATUS_Y = 307;
constexpr int LINE_HEIGHT = 17;  // one line of the texts under the picture, with its shadow
constexpr int MARGIN = 11;       // left and right of the texts
constexpr int CREDITS_GAP = 12;  // between the copyright line and the credits
constexpr int SCREEN_MARGIN = 12;
// The credits roll when they are taller than their area: a pause at the top and at the bottom,
// then one pixel every other tick.
constexpr int ROLL_PAUSE_TICKS = 90, ROLL_STEP_TICKS = 2;
constexpr int WHEEL_PIXELS = 3 * 14;

enum Mode { MODE_SPLASH, MODE_ABOUT };

struct IntroWindow {
    int window = -1;            // registered once, shown while the mode runs
    int about = 0;              // 1: the about screen, 0: the splash
    Image* picture = nullptr;   // while shown
    int top = 0;                // height of the title bar above the body
    int width = 0, height = 0;  // the whole window
    char status[128] = "";      // splash
    char version[64] = "";      // "Version: 1.25"
    char* credits = nullptr;    // about: a copy in a buffer of INTRO_CREDITS_MAX bytes
    int linkX = 0, linkY = 0;   // the web address's line, body coordinates
    int linkW = 0, linkH = 0;
    int hover = 0;        // the pointer is over the web address
    int cursor = 0;       // the pointer's kind before it changed
    int pressed = 0;      // a press inside the window, waiting for its release
    int creditsY = 0;     // the credits' area, body coordinates
    int creditsH = 0;     // visible height of the area
    int creditsText = 0;  // height of the whole wrapped text
    int scroll = 0, rollTicks = 0;
};

IntroWindow g_splash, g_about;
void (*g_refresh)() = nullptr;

// The lines under the picture: the status line (splash only) with the version at its right end,
// then the web address and the copyright line. The about screen has no status, so the web
// address takes the status line's place.
int web_y(const IntroWindow& s) { return STATUS_Y + (s.about ? 0 : LINE_HEIGHT); }
int copyright_y(const IntroWindow& s) { return web_y(s) + LINE_HEIGHT; }
int texts_bottom(const IntroWindow& s) { return copyright_y(s) + LINE_HEIGHT; }

void text_style(int colour, int alignment, int wrap) {
    font_set_style(FONT_SYSTEM, ge_colour(colour), ge_colour(COLOUR_TEXT_SHADOW));
    font_set_layout(alignment, wrap);
}

// Sizes of the window for its picture (and, for the about screen, the credits).
void layout(IntroWindow* s, int pictureW, int pictureH, Mode mode) {
    s->about = mode == MODE_ABOUT;
    s->top = mode == MODE_ABOUT ? TITLE_HEIGHT : 0;
    s->width = PICTURE_X + pictureW + PICTURE_X;
    const int texts = texts_bottom(*s);
    int body = (texts > PICTURE_Y + pictureH ? texts : PICTURE_Y + pictureH) + 4;
    text_style(COLOUR_TEXT, 0, 0);
    int w = 0, h = 0;
    font_measure(lt_get(TEXT_WEB), &w, &h);
    s->linkX = MARGIN;
    s->linkY = web_y(*s);
    s->linkW = w;
    s->linkH = h;
    if (mode == MODE_ABOUT) {
        text_style(COLOUR_TEXT, 1, s->width - 2 * MARGIN);
        font_measure(s->credits, &w, &s->creditsText);
        s->creditsY = body + CREDITS_GAP;
        const int room = screen.height - 2 * SCREEN_MARGIN - s->top - s->creditsY - MARGIN;
        const int line = font_get(FONT_SYSTEM)->lineAdvance;
        s->creditsH = s->creditsText;
        if (s->creditsH > room) s->creditsH = room > line ? room - room % line : (room > 0 ? room : 0);
        body = s->creditsY + s->creditsH + MARGIN;
    }
    s->height = s->top + body;
}

// Screen coordinates of a point of the body.
void body_origin(const IntroWindow& s, int* x, int* y) {
    window_screen_pos(s.window, x, y);
    *y += s.top;
}

void draw_frame(const IntroWindow& s) {
    int x, y;
    body_origin(s, &x, &y);
    const int h = s.height - s.top;
    ge_set_fill(ge_colour(COLOUR_BODY));
    ge_fill_rect(x, y, s.width, h);
    const int colours[3] = {COLOUR_FRAME_OUTER, COLOUR_FRAME_MIDDLE, COLOUR_FRAME_INNER};
    for (int i = 0; i < 3; i++) {
        ge_set_pen(PEN_SOLID, ge_colour(colours[i]));
        ge_rectangle(x + i, y + i, s.width - 2 * i, h - 2 * i);
    }
}

void draw_credits(const IntroWindow& s, int x, int y) {
    if (!s.credits || s.creditsH <= 0) return;
    ge_set_pen(PEN_SOLID, ge_colour(COLOUR_FRAME_MIDDLE));
    const int rule = y + s.creditsY - CREDITS_GAP / 2;
    ge_line(x + s.width / 4, rule, x + s.width - s.width / 4, rule);
    const Rect clip = screen_clip();
    const int top = y + s.creditsY, bottom = top + s.creditsH;
    const int clipTop = clip.y > top ? clip.y : top;
    const int clipBottom = clip.y + clip.h < bottom ? clip.y + clip.h : bottom;
    if (clipBottom <= clipTop) return;
    screen_set_clip(clip.x, clipTop, clip.w, clipBottom - clipTop);
    text_style(COLOUR_TEXT, 1, s.width - 2 * MARGIN);
    font_draw(s.credits, x + MARGIN, top - s.scroll);
    screen_set_clip(clip.x, clip.y, clip.w, clip.h);
}

void draw(const IntroWindow& s) {
    draw_frame(s);
    int x, y;
    body_origin(s, &x, &y);
    if (s.picture) img_draw_all(s.picture, x + PICTURE_X, y + PICTURE_Y);
    text_style(COLOUR_TEXT, 0, 0);
    font_draw(s.status, x + STATUS_X, y + STATUS_Y);
    text_style(COLOUR_TEXT, 2, s.width - 2 * MARGIN);
    font_draw(s.version, x + MARGIN, y + STATUS_Y);
    text_style(s.hover ? COLOUR_TEXT : COLOUR_LINK, 0, 0);
    font_draw(lt_get(TEXT_WEB), x + s.linkX, y + s.linkY);
    if (s.hover) {
        ge_set_pen(PEN_SOLID, ge_colour(COLOUR_TEXT));
        ge_line(x + s.linkX, y + s.linkY + s.linkH - 2, x + s.linkX + s.linkW - 2, y + s.linkY + s.linkH - 2);
    }
    text_style(COLOUR_TEXT, 0, 0);
    font_draw(lt_get(TEXT_COPYRIGHT), x + MARGIN, y + copyright_y(s));
    draw_credits(s, x, y);
}

// Opens the window of a mode: picture, texts, size, place. 0 when the picture cannot be read.
int open_screen(IntroWindow* s, Mode mode, WindowHandler handler) {
    s->picture = load_picture();
    if (!s->picture) return 0;
    intro_version_line(s->version, sizeof s->version);
    s->status[0] = 0;
    s->hover = s->pressed = s->scroll = s->rollTicks = 0;
    int w, h;
    img_size(s->picture, &w, &h);
    layout(s, w, h, mode);
    if (s->window < 0) {
        const int style = mode == MODE_ABOUT ? TW_MODAL | TW_TITLE | TW_OUTSIDE : TW_POPUP | TW_SHADOW;
        s->window = window_register(-1, style, 0, 0, s->width, s->height, handler, nullptr);
    }
    window_resize(s->window, s->width, s->height);
    window_move(s->window, (screen.width - s->width) / 2, (screen.height - s->height) / 2);
    window_set_title(s->window, mode == MODE_ABOUT ? lt_get(TEXT_ABOUT_TITLE) : "");
    window_show(s->window, 1);
    return 1;
}

void close_screen(IntroWindow* s) {
    if (s->window >= 0) {
        window_redraw(s->window);
        window_show(s->window, 0);
    }
    io_mem_free(s->picture);
    s->picture = nullptr;
    io_mem_free(s->credits);
    s->credits = nullptr;
}

}  // namespace

void intro_set_refresh(void (*refresh)()) { g_refresh = refresh; }

// The splash ---------------------------------------------------------------------------------------

namespace {

int splash_handler(int /*window*/, KernelEvent* event) {
    if (event->type == KE_IDLE) draw(g_splash);
    return 0;
}

}  // namespace

int intro_splash_show() {
    if (g_splash.picture) return 1;
    if (!open_screen(&g_splash, MODE_SPLASH, splash_handler)) return 0;
    window_focus(g_splash.window);
    if (g_refresh) g_refresh();
    return 1;
}

void intro_splash_status(const char* text) {
    if (!g_splash.picture) return;
    std::snprintf(g_splash.status, sizeof g_splash.status, "%s", text ? text : "");
    // The line left of the version, the only part that changes.
    text_style(COLOUR_TEXT, 0, 0);
    int w = 0, h = 0;
    font_measure(g_splash.version, &w, &h);
    window_redraw_part(g_splash.window, PICTURE_X, g_splash.top + STATUS_Y,
                       g_splash.width - 2 * PICTURE_X - MARGIN - w, LINE_HEIGHT);
    if (g_refresh) g_refresh();
}

void intro_splash_close() {
    if (!g_splash.picture) return;
    if (window_floating() == g_splash.window) window_drop_focus();
    close_screen(&g_splash);
}

// The about screen ---------------------------------------------------------------------------------

namespace {

void set_hover(int hover) {
    if (hover == g_about.hover) return;
    g_about.hover = hover;
    if (hover) {
        g_about.cursor = sys_cursor();
        sys_set_cursor(CURSOR_GAME);
    } else {
        sys_set_cursor(g_about.cursor);
    }
    window_redraw_part(g_about.window, g_about.linkX, g_about.top + g_about.linkY, g_about.linkW,
                       g_about.linkH);
}

int over_link(int x, int y) {
    const IntroWindow& s = g_about;
    y -= s.top;
    return x >= s.linkX && x < s.linkX + s.linkW && y >= s.linkY && y < s.linkY + s.linkH;
}

void scroll_credits(int to) {
    IntroWindow& s = g_about;
    const int last = s.creditsText - s.creditsH;
    if (last <= 0) return;
    to = to < 0 ? 0 : (to > last ? last : to);
    if (to == s.scroll) return;
    s.scroll = to;
    window_redraw_part(s.window, PICTURE_X, s.top + s.creditsY, s.width - 2 * PICTURE_X, s.creditsH);
}

// Rolling: pause at the top, roll to the bottom, pause, start again at the top.
void roll_tick() {
    IntroWindow& s = g_about;
    const int last = s.creditsText - s.creditsH;
    if (last <= 0) return;
    s.rollTicks++;
    if (s.scroll >= last) {
        if (s.rollTicks >= ROLL_PAUSE_TICKS) {
            s.rollTicks = 0;
            scroll_credits(0);
        }
    } else if (s.rollTicks >= ROLL_PAUSE_TICKS + ROLL_STEP_TICKS) {
        s.rollTicks = ROLL_PAUSE_TICKS;
        scroll_credits(s.scroll + 1);
        if (s.scroll >= last) s.rollTicks = 0;
    }
}

// The player scrolled: the roll waits again before it goes on.
void scroll_by(int pixels) {
    scroll_credits(g_about.scroll + pixels);
    g_about.rollTicks = 0;
}

void open_link() {
    char address[256];
    if (intro_web_address(lt_get(TEXT_WEB), address, sizeof address)) io_open_document(address);
}

int about_key(int key) {
    const int page = g_about.creditsH > 28 ? g_about.creditsH - 14 : 14;
    switch (key) {
        case KEY_ENTER:
        case KEY_ESCAPE:
            window_end_modal(1, 0);
            return 1;
        case KEY_UP:
            scroll_by(-14);
            return 1;
        case KEY_DOWN:
            scroll_by(14);
            return 1;
        case KEY_PAGEUP:
            scroll_by(-page);
            return 1;
        case KEY_PAGEDOWN:
            scroll_by(page);
            return 1;
        case KEY_HOME:
            scroll_by(-g_about.creditsText);
            return 1;
        case KEY_END:
            scroll_by(g_about.creditsText);
            return 1;
        default:
            return 0;
    }
}

int about_handler(int /*window*/, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            draw(g_about);
            return 0;
        case KE_TICK:
            roll_tick();
            return 0;
        case KE_MOUSEMOVE:
            set_hover(over_link((int)event->a, (int)event->b));
            return 1;
        case WE_OUTSIDE:
            set_hover(0);
            return 0;
        case KE_MOUSEDOWN:
            g_about.pressed = 1;
            return 1;
        case KE_MOUSEUP:
            if (!g_about.pressed) return 1;
            g_about.pressed = 0;
            if (over_link((int)event->a, (int)event->b))
                open_link();
            else
                window_end_modal(1, 0);
            return 1;
        case KE_WHEEL:
            scroll_by(-(int)event->c * WHEEL_PIXELS);
            return 1;
        case KE_KEYDOWN:
            return about_key((int)event->a);
        default:
            return 0;
    }
}

}  // namespace

void intro_about() {
    if (window_has_modal()) return;
    g_about.credits = static_cast<char*>(io_mem_alloc(INTRO_CREDITS_MAX));
    std::snprintf(g_about.credits, INTRO_CREDITS_MAX, "%s", CREDITS);
    if (!open_screen(&g_about, MODE_ABOUT, about_handler)) {
        io_mem_free(g_about.credits);
        g_about.credits = nullptr;
        return;
    }
    window_focus_modal(g_about.window, nullptr);
    set_hover(0);
    close_screen(&g_about);
}
