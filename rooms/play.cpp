// rooms/play.cpp -- the play room: starting and leaving a game with what goes with it (the
// picture window, the tune, the room shown), the desk window (background, title line, the two
// layers of pieces, the mouse handed to the desk input), what the player sees and hears of a
// drop (the join sparkle on the transparent overlay, the click, the force-feedback pop, the
// applause and the completion message), the control panel, and the picture window with its five
// size steps. Placements, the faint picture and the picture's size step are kept in the configuration file
// between runs.
//
// Sections: the picture window; toggles; starting and ending a game, and what a drop is seen and
// heard as; the desk and its overlay; creating the room.
#include "rooms/play.h"

#include <cstdio>
#include <cstring>

#include "gui/button.h"
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
#include "puzzle/drag.h"
#include "puzzle/game.h"
#include "puzzle/light.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/playinfo.h"
#include "resources/cache.h"
#include "resources/sound.h"
#include "rooms/sparkle.h"
#include "rooms/store.h"

namespace {

constexpr const char* SECTION = "PLAYROOM";

constexpr int TEXT_TITLE = 200;            // the title line while playing
constexpr int TEXT_NO_PEEKING = 203;       // the picture stays a surprise
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

constexpr int PANEL_X = 20, PANEL_Y = 50;
constexpr int PICTURE_X = 20, PICTURE_Y = 200;
constexpr int PICTURE_INITIAL = 100;  // the picture window's side before the first game
constexpr int PICTURE_MIN_WIDTH = 128;
// Around the picture: the title bar and a gap above, the frame at the sides, the strip below.
constexpr int PICTURE_LEFT = 5, PICTURE_TOP = 23, PICTURE_EXTRA_W = 10, PICTURE_EXTRA_H = 46;
constexpr int STRIP_HEIGHT = 18;
constexpr int PICTURE_PANEL = 89;  // skin element below the title bar
constexpr int JOIN_POP = 5000;     // force-feedback pulse of a join

enum PanelButton { GATHER, GHOST, PICTURE, HELP, LEAVE, PANEL_BUTTONS };
constexpr int PANEL_KEYS[PANEL_BUTTONS] = {'R', 'G', 0, 0, KEY_ESCAPE};

struct PlayRoom {
    int room, overlay, panel, picture, strip;
    int panelButtons[PANEL_BUTTONS];
    int zoomButtons[PICTURE_ZOOM_MAX + 1];
    int zoom;             // the picture window's size step
    Image* image;         // the picture window's contents, the screen's kind; null between games
    int ghostVisible;     // the desk shows the faint picture
    int sparkle;          // cache index of the sparkle strip
    int connectSound;     // cache index of the click of a join, -1 none
    int framePeriod;      // ms of play a tick stands for
    int saveProblemTold;  // a failed save was told during this game
};
PlayRoom g_room = {-1, -1, -1, -1, -1, {}, {}, 0, nullptr, 0, -1, -1, 33, 0};

int clamp_zoom(int z) { return z < 0 ? 0 : (z > PICTURE_ZOOM_MAX ? PICTURE_ZOOM_MAX : z); }

// --- The picture window ---

void picture_release() {
    io_mem_free(g_room.image);
    g_room.image = nullptr;
}

// Builds the contents for the current step and fits the window around them; keepOnScreen moves
// a growing window up instead of letting it run off the bottom.
void picture_build(int keepOnScreen) {
    picture_release();
    const Image* source;
    int x, y, pw, ph;
    if (!play_picture_region(&source, &x, &y, &pw, &ph)) return;
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
    const int ww = w + PICTURE_EXTRA_W, wh = h + PICTURE_EXTRA_H;
    if (keepOnScreen)
        window_resize_keep_bottom(g_room.picture, ww, wh);
    else
        window_resize(g_room.picture, ww, wh);
    window_move(g_room.strip, 0, wh - STRIP_HEIGHT);
    window_resize(g_room.strip, ww, STRIP_HEIGHT);
    window_redraw(g_room.picture);
}

void picture_zoom(int zoom) {
    zoom = clamp_zoom(zoom);
    if (zoom == g_room.zoom) return;
    g_room.zoom = zoom;
    picture_build(1);
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
            }
            return 0;
        }
        case WE_BUTTON:
            for (int z = 0; z <= PICTURE_ZOOM_MAX; z++)
                if (event->a == g_room.zoomButtons[z]) {
                    picture_zoom(z);
                    return 1;
                }
            return 0;
        case WE_DESTROY:
            picture_release();
            io_ini_write_int(CONFIG_INI, SECTION, "PictureIZoom", g_room.zoom);
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

void toggle_picture() {
    if (refused()) return;
    if (window_visible(g_room.picture)) {
        window_show(g_room.picture, 0);
    } else {
        window_show(g_room.picture, 1);
        window_raise(g_room.picture);
    }
}

void toggle_ghost() {
    if (refused()) return;
    g_room.ghostVisible = !g_room.ghostVisible;
    window_redraw(g_room.room);
}

void panel_button(int button) {
    if (button == g_room.panelButtons[GATHER]) {
        if (game_open()) gather_loose();
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

// What the player sees and hears of a drop: a join sparkles at the pointer, clicks and pops the
// force-feedback mouse; the drop that finishes the puzzle ends the sparkle, applauds and says so.
void drop_feedback(const DropResult& drop) {
    if (!drop.joined) return;
    sparkle_start(drop.x, drop.y);
    sound_play(g_room.connectSound);
    io_ff_pop(JOIN_POP);
    if (!drop.completed) return;
    sparkle_stop();
    io_ff_applause();
    show_finished(drop.elapsedSeconds);
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

// The open game ended (it is saved) with what went with it: the tune stops, the picture
// window's image goes. closing: the whole game is closing.
void end_game(int closing = 0) {
    PlaySummary s;
    play_summary(&s);
    if (s.hasTune) midi_stop();
    if (!game_end(closing ? ask_retry_save_closing : ask_retry_save))
        io_log("play: the game of %s was not saved (%d)\n", s.name ? s.name : "", game_save_problem());
    picture_release();
}

// --- The desk and its overlay ---

// What the desk input asked for after a button event.
void desk_action(int action) {
    if (action == DESK_CAPTURE)
        window_start_capture(g_room.room);
    else if (action == DESK_END_CAPTURE)
        window_end_capture();
    else if (action == DESK_BAND)
        window_start_band(g_room.room);
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
    ge_draw_top_bar();
    pieces_draw_resting();
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
    window_save_placement(g_room.panel, SECTION, "CPanelWin");
    window_save_placement(g_room.picture, SECTION, "PictureWin");
    io_ini_write_int(CONFIG_INI, SECTION, "GhostVisible", g_room.ghostVisible);
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
            if (game_tick(g_room.framePeriod)) tell_save_problem();
            return 0;
        case KE_MOUSEDOWN:
            if (game_open()) desk_action(desk_button_down(x, y, flags, sys_millis()));
            return 1;
        case KE_MOUSEUP:
            if (game_open()) desk_action(desk_button_up(x, y, flags, sys_millis()));
            return 1;
        case KE_MOUSEMOVE:
            desk_mouse_at(x, y);
            return 1;
        case WE_CAPTUREMOVE: {
            desk_drag_motion(x, y);
            const int* at = (const int*)event->c;
            if (at) desk_mouse_at(at[0], at[1]);
            return 1;
        }
        case WE_CAPTUREEND:
            if (game_open()) drop_feedback(pieces_drop());
            return 1;
        case WE_BANDEND: {
            const WindowBand* band = (const WindowBand*)event->c;
            if (band && game_open()) select_in_rect(band->x, band->y, band->width, band->height);
            return 1;
        }
        case KE_KEYDOWN:
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

// The sparkle where pieces joined, above the desk and below the tool windows.
int overlay_handler(int /*window*/, KernelEvent* event) {
    if (event->type == KE_TICK) {
        sparkle_tick();
    } else if (event->type == KE_IDLE) {
        int frame, x, y;
        if (sparkle_frame(&frame, &x, &y))
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
    g_room.zoom = clamp_zoom(zoom);
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
    int ghost = 0;
    io_ini_read_int(CONFIG_INI, SECTION, "GhostVisible", &ghost);
    g_room.ghostVisible = ghost != 0;
    play_hooks.deskBackground = hook_desk_background;
}

int playroom_room_window() { return g_room.room; }

int play_box(const char* name) {
    if (game_open()) end_game();
    const int cursor = sys_cursor();
    sys_set_cursor(CURSOR_WAIT);  // the wait cursor while the box is read, cut and laid out
    if (!game_start(name)) {
        sys_set_cursor(cursor);
        return 0;
    }
    PlaySummary s;
    play_summary(&s);
    picture_build(0);
    if (s.hasTune) (void)play_midi(BOX_TUNE_FILE, s.repeatTune);
    if (s.hiddenPicture) {  // neither picture shows before the puzzle is finished
        window_show(g_room.picture, 0);
        g_room.ghostVisible = 0;
    }
    sys_set_cursor(cursor);
    ge_set_room_title(lt_get(TEXT_TITLE));
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
