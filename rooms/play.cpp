// rooms/play.cpp -- the play room: starting and leaving a game with what goes with it (the
// picture window, the tune, the room shown, the cut's progress window), the desk window
// (background, title line with the box's name, the percent joined and the playing time, the two
// layers of pieces, the mouse handed to the desk input), what the player sees and hears of a drop
// (the join sparkle on the transparent overlay, the click, the force-feedback pop; for the last
// join the applause, the finished picture gliding into view and losing its seams under a wave of
// sparkles, then the completion message), the control panel, and the picture window with its
// five size steps, kept on the screen beside the panel. Placements, the faint picture and the
// default size step are kept in the configuration file between runs, a box's own step with its
// saved game. On a table larger than the screen: the view's zoom and pan by the wheel, the keys,
// a right drag on the free table and a carried piece held at the screen's edge, and the picture
// window as a map of the view.
//
// Sections: the picture window; the picture window as a map of a large table; toggles; the view
// of the desk; the view of a large table; starting and ending a game, and what a drop is seen and
// heard as; the finish; the title line and the cut's progress; the desk and its overlay;
// creating the room.
#include "rooms/play.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "gui/button.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/lt.h"
#include "gui/msgbox.h"
#include "gui/window.h"
#include "image/img.h"
#include "image/img_scale.h"
#include "platform/io_debug.h"
#include "platform/io_desktop.h"
#include "platform/io_ff.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "platform/io_sound.h"
#include "platform/screen.h"
#include "platform/sys.h"
#include "puzzle/box.h"
#include "puzzle/deskspace.h"
#include "puzzle/drag.h"
#include "puzzle/finish.h"
#include "puzzle/game.h"
#include "puzzle/grid.h"
#include "puzzle/light.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/playinfo.h"
#include "resources/cache.h"
#include "resources/sound.h"
#include "rooms/play_rules.h"
#include "rooms/sparkle.h"
#include "rooms/store.h"

namespace {

constexpr const char* SECTION = "PLAYROOM";

constexpr int TEXT_TITLE = 200;            // the title line while playing
constexpr int TEXT_CUTTING = 201;          // the progress window while the pieces are cut
constexpr int TEXT_NO_PEEKING = 203;       // the picture stays a surprise
constexpr int TEXT_JOINED = 204;           // after the percent on the title line
constexpr int TEXT_PANEL = 210;            // 210..214: the control panel's buttons, top to bottom
constexpr int TEXT_PICTURE = 220;          // the picture window's title
constexpr int TEXT_FINISHED = 230;         // name, piece count, time
constexpr int TEXT_SAVE_DISK_FULL = 161;   // the game could not be saved: the disk is full
constexpr int TEXT_SAVE_FAILED = 162;      // the game could not be saved
constexpr int TEXT_SAVE_UNREADABLE = 163;  // the saved game cannot be read and is left alone
constexpr int TEXT_RETRY_SAVE = 164;       // make room, then OK writes it again
constexpr int HELP_TOPIC = 200;

constexpr int KEY_ZOOM_IN = 43;   // keypad +
constexpr int KEY_ZOOM_OUT = 45;  // keypad -
constexpr int KEY_PICTURE = 'P';
constexpr int KEY_WHOLE_TABLE = '0';  // a large table: the whole of it
constexpr int KEY_ACTUAL_SIZE = '1';  // a large table: 100 %
constexpr int PAN_KEY_PART = 8;       // an arrow key pans a large table by this part of the screen
constexpr int EDGE_ZONE = 24;         // a carried piece this near the screen's edge scrolls the view
constexpr int EDGE_SPEED = 12;        // screen pixels the view scrolls a tick
// The view's frame on the picture window's map: a dark line with a light one inside it.
constexpr int MAP_FRAME_DARK = 0x202020, MAP_FRAME_LIGHT = 0xFFFFFF;

constexpr int PANEL_X = 20, PANEL_Y = 50;
constexpr int PICTURE_X = 20, PICTURE_Y = 200;
constexpr int PICTURE_INITIAL = 100;  // the picture window's side before the first game
constexpr int PICTURE_MIN_WIDTH = 128;
// Around the picture: the title bar and a gap above, the frame at the sides, the strip below.
constexpr int PICTURE_LEFT = 5, PICTURE_TOP = 23;
constexpr int STRIP_HEIGHT = 18;
constexpr int PICTURE_PANEL = 89;     // skin element below the title bar
constexpr int JOIN_POP = 5000;        // force-feedback pulse of a join
constexpr int CUT_PROGRESS_MS = 500;  // a cut that takes longer shows its progress window
constexpr int KEEP_OUT_GAP = 4;       // pieces brought into view keep this far from the windows
// The room title's place on the top bar, and the pixels a glyph and its shadow may reach beyond
// its advance.
constexpr int TITLE_TEXT_X = 33, TITLE_TEXT_SLACK = 4;
constexpr int TITLE_RESERVE = 160;  // the right end of the top bar: the game's title and the corner

enum PanelButton { GATHER, GHOST, PICTURE, HELP, LEAVE, PANEL_BUTTONS };
constexpr int PANEL_KEYS[PANEL_BUTTONS] = {'R', 'G', 0, 0, KEY_ESCAPE};

struct PlayRoom {
    int room, overlay, panel, picture, strip;
    int panelButtons[PANEL_BUTTONS];
    int zoomButtons[PICTURE_ZOOM_MAX + 1];
    int zoom;                // the picture window's size step shown
    int defaultZoom;         // the step of a box with no step of its own ("PictureIZoom")
    Image* image;            // the picture window's contents, the screen's kind; null between games
    int ghostVisible;        // the desk shows the faint picture
    int pictureChosen;       // the player's last choice on an ordinary box: the picture window shows
    int ghostChosen;         // the same for the faint picture
    int sparkle;             // cache index of the sparkle strip
    int connectSound;        // cache index of the click of a join, -1 none
    int framePeriod;         // ms of play a tick stands for
    int saveProblemTold;     // a failed save was told during this game
    int showing;             // the finish plays: the desk takes no presses until its message
    int finishedSeconds;     // the playing time the finish's message tells
    int panelHidden;         // the panel stepped aside for the finished picture
    char title[256];         // the title line as last set
    char titleFull[256];     // the same before a long box name was cut
    uint32_t cutStart;       // ms when the cut began
    int cutTotal;            // shapes the cut renders
    int cutShown;            // the cut's progress window is open
    int carrying;            // the desk's capture carries pieces
    int panning;             // the desk's capture drags the view of a large table
    int pointerX, pointerY;  // the pointer on the screen, as last reported to the desk
};
PlayRoom g_room = {-1, -1, -1, -1, -1, {}, {}, 0, 0, nullptr, 0, 1, 0, -1, -1,
                   33, 0,  0,  0,  0,  "", "", 0, 0, 0,       0, 0, 0, 0};

int clamp_zoom(int z) { return z < 0 ? 0 : (z > PICTURE_ZOOM_MAX ? PICTURE_ZOOM_MAX : z); }

// --- The picture window ---

void picture_release() {
    io_mem_free(g_room.image);
    g_room.image = nullptr;
}

// The screen as the picture window sees it: the title line and the control panel, when shown.
PlayScreen play_screen() {
    PlayScreen s = {screen.width, screen.height, GE_TOP_BAR_HEIGHT, {0, 0, 0, 0}};
    if (g_room.panel >= 0 && window_visible(g_room.panel)) {
        window_screen_pos(g_room.panel, &s.panel.x, &s.panel.y);
        window_size(g_room.panel, &s.panel.w, &s.panel.h);
    }
    return s;
}

// The picture window's top-left where it may lie: on the screen below the title line and off the
// panel, as near to where it is as can be.
void picture_fitted_place(int* x, int* y) {
    int w, h;
    window_screen_pos(g_room.picture, x, y);
    window_size(g_room.picture, &w, &h);
    playroom_window_place(play_screen(), w, h, x, y);
}

// Builds the contents for the current step (the largest that fits beside the panel, when it does
// not) and fits the window around them; keepOnScreen moves a growing window up instead of letting
// it run off the bottom. Either way the window ends on the screen and off the panel.
void picture_build(int keepOnScreen) {
    picture_release();
    const Image* source;
    int x, y, pw, ph;
    if (!play_picture_region(&source, &x, &y, &pw, &ph)) return;
    g_room.zoom = playroom_picture_step(play_screen(), pw, ph, g_room.zoom);
    int w, h;
    playroom_picture_size(pw, ph, g_room.zoom, &w, &h);
    if (w <= 0 || h <= 0) return;
    g_room.image = img_create(w, h, IMG_KIND_SCREEN);
    ImageView src, dst;
    img_view(&src, source, x, y);
    src.width = pw;
    src.height = ph;
    img_view(&dst, g_room.image, 0, 0);
    if (!img_resample(&dst, &src, IMG_RESAMPLE_HERMITE)) img_fill(g_room.image, 0);
    int ww, wh;
    playroom_picture_window_size(pw, ph, g_room.zoom, &ww, &wh);
    if (keepOnScreen)
        window_resize_keep_bottom(g_room.picture, ww, wh);
    else
        window_resize(g_room.picture, ww, wh);
    int wx, wy;
    picture_fitted_place(&wx, &wy);
    window_move(g_room.picture, wx, wy);
    window_move(g_room.strip, 0, wh - STRIP_HEIGHT);
    window_resize(g_room.strip, ww, STRIP_HEIGHT);
    window_redraw(g_room.picture);
}

// The player's step: a step whose window would not fit beside the panel is skipped (the largest
// that fits below it is taken). It becomes the box's own step and the default of new boxes.
void picture_zoom(int zoom) {
    const Image* source;
    int x, y, pw, ph;
    zoom = clamp_zoom(zoom);
    if (play_picture_region(&source, &x, &y, &pw, &ph))
        zoom = playroom_picture_step(play_screen(), pw, ph, zoom);
    if (zoom == g_room.zoom) return;
    g_room.zoom = g_room.defaultZoom = zoom;
    play_set_picture_zoom(zoom);
    picture_build(1);
}

// --- The picture window as a map of a large table ---
//
// The picture stands for the finished picture's place in the middle of the table: the part of it
// the view shows is framed on it, and a press on the picture takes the view there.

// Picture pixels (of the window's image) per table pixel, and where the picture's place lies on
// the table; 0 when the table is the desk or there is no image.
int map_scale(double* sx, double* sy, int* px, int* py) {
    const Image* source;
    int x, y, pw, ph;
    if (!g_room.image || !play_table_picture_place(px, py) || !play_picture_region(&source, &x, &y, &pw, &ph))
        return 0;
    *sx = (double)g_room.image->width / pw, *sy = (double)g_room.image->height / ph;
    return 1;
}

// The frame of the view on the picture, in the window's pixels; 0 when it misses the picture.
int map_frame(Rect* frame) {
    double sx, sy, zoom;
    int px, py, vx, vy, tw, th;
    if (!map_scale(&sx, &sy, &px, &py)) return 0;
    play_view_get(&zoom, &vx, &vy, &tw, &th);
    const int w = g_room.image->width, h = g_room.image->height;
    const int x0 = std::max(0, (int)std::floor((-vx / zoom - px) * sx));
    const int y0 = std::max(0, (int)std::floor((-vy / zoom - py) * sy));
    const int x1 = std::min(w, (int)std::ceil(((screen.width - vx) / zoom - px) * sx));
    const int y1 = std::min(h, (int)std::ceil(((screen.height - vy) / zoom - py) * sy));
    if (x1 - x0 < 2 || y1 - y0 < 2) return 0;
    *frame = {PICTURE_LEFT + x0, PICTURE_TOP + y0, x1 - x0, y1 - y0};
    return 1;
}

void map_draw() {
    Rect f;
    if (!map_frame(&f)) return;
    int ox, oy;  // the pen draws in screen pixels
    ge_origin(&ox, &oy);
    f.x += ox, f.y += oy;
    ge_set_pen(PEN_SOLID, MAP_FRAME_DARK);
    ge_rectangle(f.x, f.y, f.w, f.h);
    if (f.w > 4 && f.h > 4) {
        ge_set_pen(PEN_SOLID, MAP_FRAME_LIGHT);
        ge_rectangle(f.x + 1, f.y + 1, f.w - 2, f.h - 2);
    }
}

int view_moved(int changed, const char* why = nullptr);

// A press on the picture (window pixels) takes the middle of the view to that place.
int map_press(int x, int y) {
    double sx, sy;
    int px, py;
    if (!map_scale(&sx, &sy, &px, &py) || g_room.showing) return 0;
    const int u = x - PICTURE_LEFT, v = y - PICTURE_TOP;
    if (u < 0 || v < 0 || u >= g_room.image->width || v >= g_room.image->height) return 0;
    view_moved(
        play_view_centre_on((int)std::lround(px + (u + 0.5) / sx), (int)std::lround(py + (v + 0.5) / sy)),
        "map");
    return 1;
}

int picture_handler(int window, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE: {
            const int w = (int)event->a, h = (int)event->b;
            ge_draw_element(PICTURE_PANEL, 0, TITLE_HEIGHT, w, h - TITLE_HEIGHT);
            if (g_room.image) {
                ge_bevel_box(PICTURE_LEFT - 1, PICTURE_TOP - 1, g_room.image->width + 2,
                             g_room.image->height + 2);
                window_draw_image(window, g_room.image, PICTURE_LEFT, PICTURE_TOP);
                map_draw();
            }
            return 0;
        }
        case KE_MOUSEDOWN:
            return (event->c & MOUSE_LEFT) && map_press((int)event->a, (int)event->b);
        case WE_BUTTON:
            for (int z = 0; z <= PICTURE_ZOOM_MAX; z++)
                if (event->a == g_room.zoomButtons[z]) {
                    picture_zoom(z);
                    return 1;
                }
            return 0;
        case WE_DESTROY:
            picture_release();
            io_ini_write_int(CONFIG_INI, SECTION, "PictureIZoom", g_room.defaultZoom);
            return 0;
        default:
            return 0;
    }
}

// --- Toggles ---

// A box that keeps its picture a surprise refuses to show it before it is finished.
int refused() {
    PlaySummary s;
    play_summary(&s);
    if (!s.hiddenPicture || s.percent >= 100) return 0;
    msgbox_show_text(TEXT_NO_PEEKING, MSG_OK);
    return 1;
}

// Whether the player's toggles count as their choice for later boxes: not on a box that keeps its
// picture a surprise, finished or not.
int ordinary_box() {
    PlaySummary s;
    play_summary(&s);
    return !s.hiddenPicture;
}

void show_picture_window(int visible) {
    window_show(g_room.picture, visible);
    if (visible) window_raise(g_room.picture);
}

void toggle_picture() {
    if (refused()) return;
    const int visible = !window_visible(g_room.picture);
    show_picture_window(visible);
    if (ordinary_box()) g_room.pictureChosen = visible;
}

void toggle_ghost() {
    if (refused()) return;
    g_room.ghostVisible = !g_room.ghostVisible;
    if (ordinary_box()) g_room.ghostChosen = g_room.ghostVisible;
    window_redraw(g_room.room);
}

// --- The view of the desk ---

// The desk below the title line less the panel and the picture window where they show, each with
// a small gap: where gathered and scattered pieces are brought. whole: the whole of a large table
// (a fresh one is scattered over all of it), less the windows where the view shows them.
void set_desk_view(int whole = 0) {
    Rect keepOut[2];
    int count = 0;
    for (int w : {g_room.panel, g_room.picture}) {
        if (w < 0 || !window_visible(w)) continue;
        Rect& r = keepOut[count++];
        window_screen_pos(w, &r.x, &r.y);
        window_size(w, &r.w, &r.h);
        r.x -= KEEP_OUT_GAP, r.y -= KEEP_OUT_GAP, r.w += 2 * KEEP_OUT_GAP, r.h += 2 * KEEP_OUT_GAP;
    }
    if (whole)
        desk_set_whole_table(GE_TOP_BAR_HEIGHT, keepOut, count);
    else
        desk_set_view(GE_TOP_BAR_HEIGHT, keepOut, count);
}

void gather() {
    if (!game_open() || g_room.showing) return;
    set_desk_view();
    gather_loose();
}

void panel_button(int button) {
    if (button == g_room.panelButtons[GATHER]) {
        gather();
    } else if (button == g_room.panelButtons[GHOST]) {
        toggle_ghost();
    } else if (button == g_room.panelButtons[PICTURE]) {
        toggle_picture();
    } else if (button == g_room.panelButtons[HELP]) {
        io_help(HELP_TOPIC);
    } else if (button == g_room.panelButtons[LEAVE]) {
        playroom_leave();
    }
}

// --- The view of a large table ---
//
// The wheel zooms about the pointer, keypad + and - about the screen's middle, 0 shows the whole
// table and 1 shows it at 100 %; the arrow keys pan, so does dragging the free table with the
// right button, and a carried piece held near the screen's edge scrolls the view. On a table that
// is the desk none of this does anything, and the keys keep their meaning for the picture window.

// The view as the log tells it (the scripted checks read it).
void log_view(const char* why) {
    double zoom;
    int x, y, w, h;
    play_view_get(&zoom, &x, &y, &w, &h);
    io_log("play: view %s: zoom %.6f, the %dx%d table's corner at %d %d\n", why, zoom, w, h, x, y);
}

// After the view changed: the carried pieces stay under the pointer, the map shows the new view.
int view_moved(int changed, const char* why) {
    if (changed) {
        desk_view_changed();
        window_redraw(g_room.picture);
    }
    if (changed && why) log_view(why);
    return changed;
}

int view_key(int key) {
    if (!play_big_table() || g_room.showing) return 0;
    const int mx = screen.width / 2, my = screen.height / 2;
    const int px = screen.width / PAN_KEY_PART, py = screen.height / PAN_KEY_PART;
    switch (key) {
        case KEY_ZOOM_IN:
        case KEY_ZOOM_OUT:
            view_moved(play_view_zoom_step(key == KEY_ZOOM_IN ? 1 : -1, mx, my), "key");
            return 1;
        case KEY_WHOLE_TABLE:
            view_moved(play_view_zoom_to(0, mx, my), "whole");
            return 1;
        case KEY_ACTUAL_SIZE:
            view_moved(play_view_zoom_to(1.0, mx, my), "100 %");
            return 1;
        case KEY_LEFT:
        case KEY_RIGHT:
            view_moved(play_view_pan(key == KEY_LEFT ? px : -px, 0), "key");
            return 1;
        case KEY_UP:
        case KEY_DOWN:
            view_moved(play_view_pan(0, key == KEY_UP ? py : -py), "key");
            return 1;
        default:
            return 0;
    }
}

void view_wheel(int x, int y, int steps) {
    if (!play_big_table() || g_room.showing) return;
    for (int k = 0; k < (steps > 0 ? steps : -steps); k++)
        view_moved(play_view_zoom_step(steps > 0 ? 1 : -1, x, y), "wheel");
}

// Per tick while pieces are carried: the pointer near an edge of the screen scrolls the view that
// way (the table moves the other way under it).
void view_edge_scroll() {
    if (!g_room.carrying || !play_big_table()) return;
    const int x = g_room.pointerX, y = g_room.pointerY;
    const int dx = x < EDGE_ZONE ? EDGE_SPEED : x >= screen.width - EDGE_ZONE ? -EDGE_SPEED : 0;
    const int dy = y < EDGE_ZONE ? EDGE_SPEED : y >= screen.height - EDGE_ZONE ? -EDGE_SPEED : 0;
    if (dx || dy) view_moved(play_view_pan(dx, dy));
}

// A right press on the free table of a large table drags the view (a right press while pieces are
// carried turns them, as ever).
int view_drag_start(int x, int y, int flags) {
    if (!play_big_table() || !(flags & MOUSE_RIGHT) || (flags & MOUSE_CAPTURED) || piece_at(x, y) != -1)
        return 0;
    g_room.panning = 1;
    window_start_capture(g_room.room);
    return 1;
}

// --- Starting and ending a game, and what a drop is seen and heard as ---

// Text 230 holds three conversions that take the box name, the piece count and the time in that
// order; each is written out as text whatever its letter, so a translated text cannot misread
// the arguments.
void format_finished(const char* format, const char* name, int count, const char* time, char* out, int size) {
    char number[16];
    std::snprintf(number, sizeof number, "%i", count);
    const char* args[3] = {name, number, time};
    int used = 0, next = 0;
    for (const char* p = format; *p && used < size - 1; p++) {
        const char* piece = nullptr;
        if (*p == '%' && p[1] == '%') {
            p++;
        } else if (*p == '%' && p[1]) {
            while (p[1] && std::strchr("0123456789.-+ #l", p[1]))
                p++;
            if (!p[1]) break;
            p++;
            piece = next < 3 ? args[next++] : "";
        }
        if (!piece) {
            out[used++] = *p;
            continue;
        }
        for (; *piece && used < size - 1; piece++)
            out[used++] = *piece;
    }
    out[used] = 0;
}

// The message of the finished puzzle, with the time played as "m:ss".
void show_finished(int elapsedSeconds) {
    PlaySummary s;
    play_summary(&s);
    char time[32];
    io_duration_text(elapsedSeconds, time, (int)sizeof time);
    char text[512];
    format_finished(lt_get(TEXT_FINISHED), s.name, s.pieceCount, time, text, sizeof text);
    msgbox_show(text, MSG_OK | MSG_CENTRED);
}

void finish_begin(int elapsedSeconds);

// Whether the open puzzle is finished.
int finished() {
    PlaySummary s;
    play_summary(&s);
    return s.pieceCount > 0 && s.percent >= 100;
}

// What the player sees and hears of a drop: a join sparkles at the pointer, clicks and pops the
// force-feedback mouse; the drop that finishes the puzzle ends the sparkle, applauds and shows the
// finished picture off before saying so. A finished picture put down upright shows clean at once.
void drop_feedback(const DropResult& drop) {
    if (!drop.joined) {
        if (finished()) (void)finish_show();
        return;
    }
    sparkle_start(drop.x, drop.y);
    sound_play(g_room.connectSound);
    io_ff_pop(JOIN_POP);
    if (!drop.completed) return;
    sparkle_stop();
    io_ff_applause();
    finish_begin(drop.elapsedSeconds);
}

// A save that failed is told once a game (the autosave tries again every period by itself).
void tell_save_problem() {
    if (g_room.saveProblemTold) return;
    g_room.saveProblemTold = 1;
    msgbox_show_text(game_save_problem() == GAME_SAVE_DISK_FULL ? TEXT_SAVE_DISK_FULL : TEXT_SAVE_FAILED,
                     MSG_OK);
}

// The game's last save failed: the player may make room on the disk and have it written again.
int ask_retry_save() { return msgbox_show_text(TEXT_RETRY_SAVE, MSG_OK_CANCEL); }
// The same while the game closes, when no window of the game can ask any more.
int ask_retry_save_closing() { return sys_question_box(nullptr, lt_get(TEXT_RETRY_SAVE), 0); }

void finish_end();

// The open game ended (it is saved) with what went with it: a finish still playing ends, the tune
// stops, the picture window's image goes. closing: the whole game is closing.
void end_game(int closing = 0) {
    PlaySummary s;
    play_summary(&s);
    finish_end();
    if (s.hasTune) midi_stop();
    if (!game_end(closing ? ask_retry_save_closing : ask_retry_save))
        io_log("play: the game of %s was not saved (%d)\n", s.name ? s.name : "", game_save_problem());
    picture_release();
}

// --- The finish ---
//
// The last join: the picture window steps aside when the picture needs its room (hidden; the
// player's choice is kept), and the control panel too when even that is not enough; the picture
// glides whole onto the desk below the title line, its seams fade under a wave of sparkles, and
// then the message tells the time. The panel comes back with the message.

// Where the finished picture goes: the grid region's top-left, clear of the title line and of the
// windows still shown.
int finish_place(const Rect& extent, int* x, int* y) {
    set_desk_view();
    if (!desk_place(extent.w, extent.h, x, y)) return 0;
    *x -= extent.x, *y -= extent.y;
    return 1;
}

void finish_begin(int elapsedSeconds) {
    g_room.finishedSeconds = elapsedSeconds;
    Rect extent;
    int x = 0, y = 0;
    if (!finish_extent(&extent)) {
        show_finished(elapsedSeconds);
        return;
    }
    // A large table: the picture goes to the middle of the table, and the view shows it whole
    // with the windows stepped aside (the panel comes back with the message).
    if (play_table_picture_place(&x, &y)) {
        if (window_visible(g_room.picture)) window_show(g_room.picture, 0);
        if (window_visible(g_room.panel)) {
            window_show(g_room.panel, 0);
            g_room.panelHidden = 1;
        }
        view_moved(play_view_show(x + extent.x, y + extent.y, extent.w, extent.h), "finished");
        g_room.showing = finish_start(x, y);
        if (!g_room.showing) show_finished(elapsedSeconds);
        return;
    }
    int placed = finish_place(extent, &x, &y);
    if (!placed && window_visible(g_room.picture)) {
        window_show(g_room.picture, 0);
        placed = finish_place(extent, &x, &y);
    }
    if (!placed && window_visible(g_room.panel)) {
        window_show(g_room.panel, 0);
        g_room.panelHidden = 1;
        placed = finish_place(extent, &x, &y);
    }
    if (!placed) {  // a desk smaller than the picture: its middle on the desk's middle
        x = (screen.width - extent.w) / 2 - extent.x;
        y = (screen.height - extent.h) / 2 - extent.y;
    }
    g_room.showing = finish_start(x, y);
    if (!g_room.showing) show_finished(elapsedSeconds);
}

void panel_back() {
    if (!g_room.panelHidden) return;
    g_room.panelHidden = 0;
    window_show(g_room.panel, 1);
}

// Per tick: the glide and the fade step on; the wave starts with the fade; the message comes when
// both are over. The message box's own loop ticks the room too: the show is over by then.
void finish_room_tick() {
    const int before = finish_phase(), phase = finish_tick();
    Rect r;
    if (before == FINISH_MOVING && phase == FINISH_FADING && finish_picture_rect(&r)) {
        play_view_rect(&r.x, &r.y, &r.w, &r.h);
        sparkle_wave(r.x, r.y, r.w, r.h);
    }
    if (!g_room.showing || phase != FINISH_SHOWN || sparkle_wave_running()) return;
    g_room.showing = 0;
    show_finished(g_room.finishedSeconds);
    panel_back();
}

// A game that ends during its finish ends it at once (the picture is saved at its place).
void finish_end() {
    g_room.showing = 0;
    panel_back();
}

// --- The title line and the cut's progress ---

// The title line while a game is open: the room, the box, the percent joined and the playing time,
// set again whenever any of them changed.
void title_update() {
    char text[sizeof g_room.title];
    if (game_open()) {
        PlaySummary s;
        play_summary(&s);
        // Nothing to do while the box, the percent and the time stay the same.
        char full[sizeof g_room.title];
        playroom_title_text(full, sizeof full, lt_get(TEXT_TITLE), s.name, s.percent, lt_get(TEXT_JOINED),
                            s.seconds);
        if (std::strcmp(full, g_room.titleFull) == 0) return;
        std::snprintf(g_room.titleFull, sizeof g_room.titleFull, "%s", full);
        // A long box name is cut (with "...") so that the line ends before the game's title.
        char name[BOX_NAME_MAX + 4];
        std::snprintf(name, sizeof name, "%s", s.name ? s.name : "");
        for (int length = (int)std::strlen(name);; length--) {
            playroom_title_text(text, sizeof text, lt_get(TEXT_TITLE), name, s.percent, lt_get(TEXT_JOINED),
                                s.seconds);
            if (length <= 1 || TITLE_TEXT_X + font_text_width(FONT_LARGE, text, (int)std::strlen(text)) <=
                                   screen.width - TITLE_RESERVE)
                break;
            std::snprintf(name + length - 1, sizeof name - (size_t)(length - 1), "...");
        }
    } else {
        std::snprintf(text, sizeof text, "%s", lt_get(TEXT_TITLE));
    }
    if (std::strcmp(text, g_room.title) == 0) return;
    // Only the part of the line that changed is drawn again: from the first character that
    // differs to the end of the longer text (the clock's seconds, most of the time).
    int same = 0;
    while (text[same] && text[same] == g_room.title[same])
        same++;
    const int from = font_text_width(FONT_LARGE, text, same);
    const int wide = std::max(font_text_width(FONT_LARGE, text, (int)std::strlen(text)),
                              font_text_width(FONT_LARGE, g_room.title, (int)std::strlen(g_room.title)));
    std::snprintf(g_room.title, sizeof g_room.title, "%s", text);
    ge_set_room_title(g_room.title);
    screen_invalidate(TITLE_TEXT_X + from - TITLE_TEXT_SLACK, 0, wide - from + 2 * TITLE_TEXT_SLACK,
                      GE_TOP_BAR_HEIGHT);
}

// The cut shows the progress window once it has taken longer than half a second.
void cut_begin(int total) {
    g_room.cutStart = sys_millis();
    g_room.cutTotal = total;
    g_room.cutShown = 0;
}

void cut_step(int done) {
    if (!g_room.cutShown) {
        if (sys_millis() - g_room.cutStart <= (uint32_t)CUT_PROGRESS_MS) return;
        progress_open(g_room.cutTotal);
        g_room.cutShown = 1;
    }
    progress_set(lt_get(TEXT_CUTTING), done);
}

void cut_end() {
    if (g_room.cutShown) progress_close();
    g_room.cutShown = 0;
}

// --- The desk and its overlay ---

// What the desk input asked for after a button event.
void desk_action(int action) {
    if (action == DESK_CAPTURE) {
        finish_stop();  // the finished picture is picked up: its pieces are drawn again
        g_room.carrying = 1;
        window_start_capture(g_room.room);
    } else if (action == DESK_END_CAPTURE) {
        window_end_capture();
    } else if (action == DESK_BAND) {
        window_start_band(g_room.room);
    }
}

void desk_paint() {
    if (!game_open()) {
        ge_background_draw();
        ge_draw_top_bar();
        return;
    }
    pieces_refresh();
    const Image* ghost = g_room.ghostVisible ? play_ghost_desk() : nullptr;
    if (ghost)
        img_draw(ghost, 0, 0, 0, 0, ghost->width, ghost->height);
    else
        ge_background_draw();
    // Pieces of a large table pass under the title line: it is drawn over them.
    const int big = play_big_table();
    if (!big) ge_draw_top_bar();
    if (!finish_draw()) {
        pieces_draw_resting();
        finish_capture();
        finish_overlay();
    }
    if (big) ge_draw_top_bar();
}

// The picture window's placement with the player's own choice of showing it (not what a box that
// keeps its picture a surprise, or the finish, made of it), at a place on the screen off the panel.
void save_picture_placement() {
    int x, y, w, h;
    picture_fitted_place(&x, &y);
    window_size(g_room.picture, &w, &h);
    char text[96];
    std::snprintf(text, sizeof text, "%i %i %i %i %i %i", x, y, w, h, g_room.pictureChosen,
                  window_rolled_up(g_room.picture));
    io_ini_write(CONFIG_INI, SECTION, "PictureWin", text);
}

// The screen took a new size: the desk follows it with the game on it (puzzle/game.h), and the
// picture window stays within reach.
void desk_resized() {
    game_desk_resized(screen.width, screen.height);
    window_keep_reachable(g_room.picture);
    window_keep_reachable(g_room.panel);
    window_redraw(g_room.room);
}

void save_placements() {
    panel_back();
    window_save_placement(g_room.panel, SECTION, "CPanelWin");
    save_picture_placement();
    io_ini_write_int(CONFIG_INI, SECTION, "GhostVisible", g_room.ghostChosen);
}

// Painting, ticks and the pointer's motion leave the pieces to the tick; every other event of the
// desk may change any piece (a press, a drop, a band, a panel button), so the next refresh and
// tick look at them all.
void note_desk_event(int type) {
    if (type != KE_IDLE && type != KE_TICK && type != WE_CAPTUREDRAW && type != KE_MOUSEMOVE &&
        type != WE_CAPTUREMOVE && type != WE_BANDMOVE)
        pieces_touch();
}

int room_handler(int /*window*/, KernelEvent* event) {
    note_desk_event(event->type);
    const int x = (int)event->a, y = (int)event->b, flags = (int)event->c;
    switch (event->type) {
        case KE_IDLE:
            desk_paint();
            return 0;
        case WE_CAPTUREDRAW:
            pieces_draw_carried();
            return 1;
        case KE_TICK:
            view_edge_scroll();
            if (game_tick(g_room.framePeriod)) tell_save_problem();
            finish_room_tick();
            title_update();
            return 0;
        case KE_MOUSEDOWN:
            g_room.pointerX = x, g_room.pointerY = y;
            if (game_open() && !g_room.showing) {
                desk_action(desk_button_down(x, y, flags, sys_millis()));
                if (!g_room.carrying) view_drag_start(x, y, flags);
            }
            return 1;
        case KE_MOUSEUP:
            if (g_room.panning) {
                if (flags & MOUSE_RIGHT) window_end_capture();
                return 1;
            }
            if (game_open() && !g_room.showing) desk_action(desk_button_up(x, y, flags, sys_millis()));
            return 1;
        case KE_MOUSEMOVE:
            g_room.pointerX = x, g_room.pointerY = y;
            desk_mouse_at(x, y);
            return 1;
        case KE_WHEEL:
            view_wheel(x, y, flags);
            return 1;
        case WE_CAPTUREMOVE: {
            const int* at = (const int*)event->c;
            if (at) g_room.pointerX = at[0], g_room.pointerY = at[1];
            if (g_room.panning) {
                view_moved(play_view_pan(x, y));
                return 1;
            }
            desk_drag_motion(x, y);
            if (at) desk_mouse_at(at[0], at[1]);
            return 1;
        }
        case WE_CAPTUREEND:
            if (play_big_table()) log_view(g_room.panning ? "dragged" : "after a carry");
            g_room.carrying = 0;
            if (g_room.panning) {
                g_room.panning = 0;
                return 1;
            }
            if (game_open()) drop_feedback(pieces_drop());
            return 1;
        case WE_BANDEND: {
            const WindowBand* band = (const WindowBand*)event->c;
            if (band && game_open()) select_in_rect(band->x, band->y, band->width, band->height);
            return 1;
        }
        case KE_KEYDOWN:
            if (view_key((int)event->a)) return 1;
            if (event->a == KEY_ZOOM_IN || event->a == KEY_ZOOM_OUT) {
                if (window_visible(g_room.picture))
                    picture_zoom(g_room.zoom + (event->a == KEY_ZOOM_IN ? 1 : -1));
                return 1;
            }
            if (event->a == KEY_PICTURE || event->a == KEY_TAB) {
                toggle_picture();
                return 1;
            }
            return 0;
        case WE_BUTTON:
            panel_button((int)event->a);
            return 1;
        case WE_DESTROY:
            if (game_open()) end_game(1);
            save_placements();
            return 0;
        case WE_SCREENSIZE:
            desk_resized();
            return 1;
        default:
            return 0;
    }
}

// The sparkles where pieces joined and over a finished picture, above the desk and below the tool
// windows.
int overlay_handler(int /*window*/, KernelEvent* event) {
    if (event->type == KE_TICK) {
        sparkle_tick();
    } else if (event->type == KE_IDLE) {
        int frame, x, y;
        if (sparkle_frame(&frame, &x, &y))
            img_draw_cached(g_room.sparkle, x, y, frame * SPARKLE_SIZE, 0, SPARKLE_SIZE, SPARKLE_SIZE);
        for (int i = 0; i < SPARKLE_WAVE_MAX; i++)
            if (sparkle_wave_frame(i, &frame, &x, &y))
                img_draw_cached(g_room.sparkle, x, y, frame * SPARKLE_SIZE, 0, SPARKLE_SIZE, SPARKLE_SIZE);
    }
    return 0;
}

// --- Creating the room ---

void hook_desk_background(Image* desk) { ge_background_copy(desk); }

void build_panel() {
    g_room.panel = button_menu_create(g_room.room, PANEL_X, PANEL_Y, "");
    for (int i = 0; i < PANEL_BUTTONS; i++)
        g_room.panelButtons[i] = button_menu_add_text(g_room.panel, TEXT_PANEL + i, PANEL_KEYS[i]);
    button_menu_finish(g_room.panel);
    window_move(g_room.panel, PANEL_X, PANEL_Y);
    window_restore_placement(g_room.panel, SECTION, "CPanelWin", PLACE_POSITION);
}

void build_picture_window() {
    const int style = TW_CHILD | TW_RAISE | TW_TITLE | TW_CLOSE;
    g_room.picture =
        window_register(g_room.room, style, 0, 0, PICTURE_INITIAL, PICTURE_INITIAL, picture_handler, nullptr);
    window_set_title(g_room.picture, lt_get(TEXT_PICTURE));
    g_room.strip = icon_strip_create(g_room.picture);
    for (int z = 0; z <= PICTURE_ZOOM_MAX; z++)
        g_room.zoomButtons[z] = icon_strip_add(g_room.strip, GE_PICTURE_ZOOM + 2 * z, 0);
    int zoom = 0;
    io_ini_read_int(CONFIG_INI, SECTION, "PictureIZoom", &zoom);
    g_room.zoom = g_room.defaultZoom = clamp_zoom(zoom);
}

}  // namespace

void playroom_picture_size(int pw, int ph, int zoom, int* width, int* height) {
    zoom = clamp_zoom(zoom);
    const int w = pw >= PICTURE_MIN_WIDTH + 1
                      ? PICTURE_MIN_WIDTH + (pw - PICTURE_MIN_WIDTH) * zoom / PICTURE_ZOOM_MAX
                      : PICTURE_MIN_WIDTH;
    *width = w;
    *height = pw > 0 ? w * ph / pw : 0;
}

void playroom_set_frame_period(int ms) { g_room.framePeriod = ms; }

void playroom_create() {
    light_tables_build();
    g_room.connectSound = sound_precache("connect.wav");
    play_set_desk(screen.width, screen.height);

    g_room.room = window_register(-1, TW_SCREEN, 0, 0, 0, 0, room_handler, nullptr);
    g_room.overlay = window_register(g_room.room, TW_CHILD | TW_NOCATCH, 0, 0, screen.width, screen.height,
                                     overlay_handler, nullptr);
    g_room.sparkle = cache_register_raw("img/connected.img");
    build_picture_window();
    build_panel();
    window_move(g_room.picture, PICTURE_X, PICTURE_Y);
    window_restore_placement(g_room.picture, SECTION, "PictureWin",
                             PLACE_POSITION | PLACE_SIZE | PLACE_VISIBLE | PLACE_ROLLED_UP);
    g_room.pictureChosen = window_visible(g_room.picture);
    int ghost = 0;
    io_ini_read_int(CONFIG_INI, SECTION, "GhostVisible", &ghost);
    g_room.ghostVisible = g_room.ghostChosen = ghost != 0;
    play_hooks.deskBackground = hook_desk_background;
    static const CutProgress progress = {cut_begin, cut_step, cut_end};
    grid_set_progress(&progress);
}

int playroom_room_window() { return g_room.room; }

int play_box(const char* name) {
    if (game_open()) end_game();
    g_room.carrying = g_room.panning = 0;
    const int cursor = sys_cursor();
    sys_set_cursor(CURSOR_WAIT);  // the wait cursor while the box is read, cut and laid out
    if (!game_start(name)) {
        sys_set_cursor(cursor);
        return 0;
    }
    PlaySummary s;
    play_summary(&s);
    // The box's own step, else the default; a surprise shows neither picture before it is
    // finished, and leaves the player's choices for the next boxes as they were.
    const int own = play_picture_zoom();
    g_room.zoom = own >= 0 ? own : g_room.defaultZoom;
    const int hide = s.hiddenPicture && s.percent < 100;
    show_picture_window(!hide && g_room.pictureChosen);
    g_room.ghostVisible = !hide && g_room.ghostChosen;
    picture_build(0);
    if (s.hasTune) (void)play_midi(BOX_TUNE_FILE, s.repeatTune);
    if (play_fresh_desk()) {  // the scatter leaves every piece in view, apart where there is room
        set_desk_view(play_big_table());
        desk_tidy_scatter();
        pieces_settle();
    }
    if (s.percent >= 100) (void)finish_show();
    sys_set_cursor(cursor);
    g_room.title[0] = g_room.titleFull[0] = 0;
    title_update();
    window_focus(g_room.room);
    g_room.saveProblemTold = 0;
    if (game_save_problem() == GAME_SAVE_UNREADABLE) msgbox_show_text(TEXT_SAVE_UNREADABLE, MSG_OK);
    return 1;
}

void playroom_leave() {
    PlaySummary s;
    play_summary(&s);
    char name[BOX_NAME_MAX];
    std::snprintf(name, sizeof name, "%s", s.name ? s.name : "");
    end_game();
    store_return(name);
}
