// rooms/create.cpp -- the create room: the room window, the info window, the picture window
// (import, size), the pieces window (piece size, irregularity, edge style), the options window
// (rotation, hidden picture, tune) and the save / cancel / help panel; a new box from an imported
// picture, or new settings for a box of the shelf. Its rules are in create_rules, what it draws
// itself in create_paint, its work on the box files in create_save.
//
// Sections: state and constants -- the shown picture -- recompute -- the windows' states --
// import and size -- pieces -- options and tune -- save and leave -- the windows' handlers --
// building the windows -- public.
#include "rooms/create.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/str.h"
#include "gui/button.h"
#include "gui/chooser.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/lt.h"
#include "gui/msgbox.h"
#include "gui/window.h"
#include "image/img_scale.h"
#include "image/pic.h"
#include "platform/io_debug.h"
#include "platform/io_desktop.h"
#include "platform/io_file.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "platform/io_sound.h"
#include "platform/screen.h"
#include "puzzle/grid.h"
#include "resources/tagfile.h"
#include "rooms/create_paint.h"
#include "rooms/create_rules.h"
#include "rooms/create_save.h"
#include "rooms/store.h"

namespace {

// --- State and constants ---

constexpr const char* SECTION = "CREATEROOM";
constexpr const char* TUNE_FILTER = "*.mid";

constexpr int TEXT_NEW_TITLE = 400;
constexpr int TEXT_PICTURE_TITLE = 420, TEXT_IMPORT = 421, TEXT_FIND = 422, TEXT_SIZE = 423,
              TEXT_LARGEST = 424;
constexpr int TEXT_NOT_LOADED = 430, TEXT_TOO_SMALL = 431, TEXT_READING = 432;
constexpr int TEXT_PIECES_TITLE = 440, TEXT_RANDOM = 441, TEXT_PIECE_SIZE = 442, TEXT_IRREGULARITY = 443;
constexpr int TEXT_FIT = 445;
constexpr int TEXT_OPTIONS_TITLE = 450, TEXT_ROTATION = 452, TEXT_HIDDEN = 453, TEXT_TUNE = 454;
constexpr int TEXT_REPEAT = 455, TEXT_PLAY = 456, TEXT_STOP = 457, TEXT_BAD_TUNE = 460;
constexpr int TEXT_EDIT_TITLE = 500;

constexpr int HELP_NEW = 400, HELP_EDIT = 500;
constexpr int HELP_PICTURE = 4497, HELP_PIECES = 4498, HELP_OPTIONS = 4499;

// Frame elements.
constexpr int ELEMENT_BODY = 9, ELEMENT_BUTTON = 24, ELEMENT_LONE = 0, SLIDER_FRAME = 9;

// Default places (screen coordinates) and the windows' insides (window-relative). Under the size
// slider and under the pieces slider a line says what they give.
constexpr int ROW = 24, SLIDER_H = 32, STRIP_H = 18, LINE_H = 16;
constexpr int INFO_X = 20, INFO_Y = 300, INFO_WIDTH = 200, INFO_LINES = 3;
constexpr int PICTURE_X = 20, PICTURE_Y = 50, PICTURE_W = 200, PICTURE_H_EMPTY = 84;
constexpr int SIZE_Y = TITLE_HEIGHT + 2 * ROW, SIZE_LINE_Y = SIZE_Y + SLIDER_H,
              LARGEST_Y = SIZE_LINE_Y + LINE_H;
constexpr int PICTURE_H = LARGEST_Y + ROW + STRIP_H;
constexpr int PIECES_X = 250, PIECES_Y = 50, PIECES_W = 240;
constexpr int PIECE_Y = TITLE_HEIGHT + ROW, PIECE_LINE_Y = PIECE_Y + SLIDER_H,
              IRREGULAR_Y = PIECE_LINE_Y + LINE_H;
constexpr int FIT_Y = IRREGULAR_Y + SLIDER_H, EDGE_Y = FIT_Y + ROW, EDGE_W = PIECES_W / 2, EDGE_COUNT = 8;
constexpr int PIECES_H = EDGE_Y + EDGE_COUNT / 2 * ROW + STRIP_H;
constexpr int OPTIONS_X = 500, OPTIONS_Y = 50, OPTIONS_W = 120, OPTIONS_H = 180;
constexpr int PANEL_RIGHT = 150, PANEL_BOTTOM = 40, PANEL_W = 150, PANEL_BUTTON_W = 34;
constexpr int TICK_X = 8, TICK_Y = 22, TUNE_BUTTON_Y = 126, TUNE_BUTTON_W = 60;
// Skin colours of the lines under the sliders (the sliders' captions').
constexpr int COLOUR_LINE = 12, COLOUR_LINE_SHADOW = 13;
// The size slider's arrows step a fiftieth of its range.
constexpr int SIZE_ARROW_STEPS = 50;

constexpr int EDGE_STYLE_DEFAULT = 1;

struct Room {
    // Windows.
    int room, info, picture, pieces, options, panel;
    int pictureStrip, piecesStrip, optionsStrip;
    int controls[CREATE_CONTROLS];
    int pictureHelp, piecesHelp, optionsHelp;
    // The box being made or changed.
    BoxRecord record;  // all zero while empty
    char name[BOX_NAME_MAX];
    int editing;                        // 1: an existing box's settings
    char source[PATH_MAX_GAME];         // the imported picture file
    int importedWidth, importedHeight;  // the full size of the picture (a box's own size when editing)
    int tall;                           // the size slider sets the height
    PictureBuffer* loaded;              // kind 3; may be smaller than the imported size
    Image* shown;                       // the picture at record width x height, screen kind
    int shownStale;                     // remade before the next paint
    CreateFiles kept;                   // an edited box's working files; the tune also the one chosen
    double curveReach;                  // how far any curve strays from its edge, in edge lengths
    CreateSizeSlider size;              // the size slider's mode and range
    int steps[CREATE_STEPS_MAX];        // the pieces slider's piece sizes (create_piece_steps)
    int stepCount;
    int stepsWidth, stepsHeight;  // the picture size the steps were worked out for
    CreateGridFit fit;            // where "fit the grid" goes
    int fitFound;
};
Room g = {};
int g_created = 0;

int control(int which) { return g_created ? g.controls[which] : -1; }

int clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

Rect area() { return create_picture_area(screen.width, screen.height); }

// The size the picture is shown at: the record's, fitted to the area (a picture larger than the
// screen is shown smaller, its grid with it).
void shown_size(int* w, int* h) {
    const Rect a = area();
    create_fit(g.record.width, g.record.height, a.w, a.h, w, h);
}

// Where the shown picture lies.
Rect picture_rect() {
    int w, h;
    shown_size(&w, &h);
    return create_picture_rect(screen.width, screen.height, w, h);
}

void redraw(const Rect& r) {
    if (r.w > 0 && r.h > 0) window_redraw_part(g.room, r.x, r.y, r.w, r.h);
}

// The area with its frame.
void redraw_area() {
    const Rect a = area();
    redraw({a.x - 1, a.y - 1, a.w + 2, a.h + 2});
}

// --- The shown picture ---

// A kind-3 buffer of the picture (grey replicated); the argument is released.
PictureBuffer* as_colour(PictureBuffer* buffer) {
    if (!buffer || buffer->kind == IMG_24BIT) return buffer;
    PictureBuffer* colour = pic_create(buffer->width, buffer->height, IMG_24BIT);
    if (colour) img_view_convert(colour, buffer);
    pic_release(buffer);
    return colour;
}

// The loaded picture resampled (smooth) to the size it is shown at.
void remake_shown() {
    g.shownStale = 0;
    io_mem_free(g.shown);
    g.shown = nullptr;
    int w, h;
    shown_size(&w, &h);
    if (!g.loaded || g.record.width <= 0 || g.record.height <= 0 || w <= 0 || h <= 0) return;
    g.shown = img_create(w, h, IMG_KIND_SCREEN);
    ImageView view;
    img_view(&view, g.shown, 0, 0);
    if (g.loaded->width == w && g.loaded->height == h)
        img_view_blit(&view, g.loaded);
    else if (!img_resample(&view, g.loaded, IMG_RESAMPLE_HERMITE))
        img_fill(g.shown, 0);
}

// --- Recompute ---

void show_info() {
    char text[512];
    create_info_text(g.name, &g.record, text, sizeof text);
    text_window_set_text(g.info, text);
}

// After every change of the settings: pieceSize clamped with its slider's range, the grid cut
// again, the info text, the picture redrawn.
// The pieces slider's steps for the picture's size (worked out again when the size changed) and
// its thumb on the step of the current piece size.
void place_piece_slider() {
    const BoxRecord& r = g.record;
    if (r.width != g.stepsWidth || r.height != g.stepsHeight) {
        g.stepCount = create_piece_steps(r.width, r.height, g.steps, CREATE_STEPS_MAX);
        g.stepsWidth = r.width;
        g.stepsHeight = r.height;
        slider_set_range(g.controls[CREATE_PIECE_SIZE], 0, g.stepCount - 1);
    }
    slider_set_value(g.controls[CREATE_PIECE_SIZE],
                     create_step_of(g.steps, g.stepCount, r.width, r.height, r.pieceSize));
}

// After every change of the settings: pieceSize clamped with its slider's range, the grid cut
// again, the lines under the sliders, the info text, the fit button, the picture redrawn.
void recompute() {
    BoxRecord& r = g.record;
    if (!g.loaded || r.width <= 0 || r.height <= 0) return;
    const int top = create_piece_size_max(r.width, r.height);
    r.pieceSize = clamp(r.pieceSize, BOX_PIECE_SIZE_MIN, top);
    r.irregularity = clamp(r.irregularity, 0, BOX_IRREGULARITY_MAX);
    place_piece_slider();
    if (g.stepCount > 0 && r.pieceSize < g.steps[0]) {  // no more pieces than the slider offers
        r.pieceSize = g.steps[0];
        place_piece_slider();
    }
    grid_build(&r);
    g.fitFound = create_fit_grid(g.importedWidth, g.importedHeight, g.size, r.width, r.height, r.pieceSize,
                                 !g.editing, &g.fit);
    button_enable(g.controls[CREATE_FIT], g.fitFound);
    window_redraw_part(g.pieces, 0, PIECE_LINE_Y, PIECES_W, LINE_H);
    window_redraw_part(g.picture, 0, SIZE_LINE_Y, PICTURE_W, LINE_H);
    io_log("create: %i x %i, piece size %i, %i pieces\n", (int)r.width, (int)r.height, (int)r.pieceSize,
           (int)r.pieceCount);
    show_info();
    redraw(picture_rect());
}

// --- The windows' states ---

void enable(int which, int on) { button_enable(g.controls[which], on); }

void layout_picture_window(int full) {
    const int h = full ? PICTURE_H : PICTURE_H_EMPTY;
    window_redraw(g.picture);
    window_show(g.controls[CREATE_SIZE], full);
    window_show(g.controls[CREATE_LARGEST], full);
    window_resize(g.picture, PICTURE_W, h);
    window_move(g.pictureStrip, 0, h - STRIP_H);
    window_resize(g.pictureStrip, PICTURE_W, STRIP_H);
}

// Empty: the picture window alone, with import and web site. A picture: everything. Editing:
// the picture window disabled and without its size controls.
void show_state() {
    const int loaded = g.loaded != nullptr;
    layout_picture_window(loaded && !g.editing);
    enable(CREATE_IMPORT, !g.editing);
    enable(CREATE_FIND, !g.editing);
    button_enable(g.pictureHelp, !g.editing);
    enable(CREATE_RANDOM, loaded);
    enable(CREATE_FIT, loaded && g.fitFound);
    for (int k = 0; k < EDGE_COUNT; k++)
        enable(CREATE_EDGE_FIRST + k, loaded);
    button_enable(g.piecesHelp, loaded);
    slider_enable(g.controls[CREATE_PIECE_SIZE], loaded);
    slider_enable(g.controls[CREATE_IRREGULARITY], loaded);
    const int tune = loaded && button_state(g.controls[CREATE_TUNE]);
    for (int which : {CREATE_ROTATION, CREATE_HIDDEN, CREATE_TUNE})
        enable(which, loaded);
    for (int which : {CREATE_REPEAT, CREATE_PLAY, CREATE_STOP})
        enable(which, tune);
    button_enable(g.optionsHelp, loaded);
}

void set_ticks(const BoxRecord& r) {
    button_set_state(g.controls[CREATE_ROTATION], r.rotation != 0);
    button_set_state(g.controls[CREATE_HIDDEN], r.hiddenPicture != 0);
    button_set_state(g.controls[CREATE_TUNE], r.hasTune != 0);
    button_set_state(g.controls[CREATE_REPEAT], r.repeatTune != 0);
}

void set_piece_controls() {
    slider_set_range(g.controls[CREATE_IRREGULARITY], 0, BOX_IRREGULARITY_MAX);
    slider_set_value(g.controls[CREATE_IRREGULARITY], g.record.irregularity);
    button_select_in_group(g.controls[CREATE_EDGE_FIRST], clamp(g.record.edgeStyle, 0, EDGE_COUNT - 1));
}

// Frees what the room holds and zeroes the record; the windows are left as they are.
void release() {
    pic_release(g.loaded);
    g.loaded = nullptr;
    io_mem_free(g.shown);
    g.shown = nullptr;
    g.shownStale = 0;
    create_files_free(&g.kept);
    grid_free();
    g.record = {};
    g.name[0] = 0;
    g.source[0] = 0;
    g.editing = 0;
    g.importedWidth = g.importedHeight = 0;
    g.size = {};
    g.stepCount = 0;
    g.stepsWidth = g.stepsHeight = 0;
    g.fitFound = 0;
}

// The room empty: the tune stopped, the picture gone, the options cleared.
void clear_room() {
    midi_stop();
    release();
    set_ticks(g.record);
    show_state();
    show_info();
    redraw_area();
}

void enter() {
    ge_set_room_title(lt_get(g.editing ? TEXT_EDIT_TITLE : TEXT_NEW_TITLE));
    window_redraw(g.room);
    window_focus(g.room);
}

// --- Import and size ---

// The folder a chooser starts in: the last one used (unless the desktop's own folder of that
// kind is asked for), else the desktop's folder of that kind, else the home folder.
void start_folder(const char* key, int kind, char* folder, int size, int own = 0) {
    if (!own && io_ini_read(CONFIG_INI, SECTION, key, folder, size) > 0 && io_folder_exists(folder)) return;
    if (io_special_folder(kind, folder, size) && io_folder_exists(folder)) return;
    if (!io_special_folder(-1, folder, size)) folder[0] = 0;
}

// The picture file's name without its folder and extension, as a box name (Windows-1252).
void name_from_path(const char* path, char* out, int size) {
    const char* base = std::strrchr(path, '/');
    base = base ? base + 1 : path;
    char name[PATH_MAX_GAME];
    str_copy_bounded(name, base, sizeof name);
    if (char* dot = std::strrchr(name, '.'); dot && dot != name) *dot = 0;
    str_utf8_to_cp1252(name, out, size);
}

void set_size(int width, int height) {
    if (width == g.record.width && height == g.record.height) return;
    redraw(picture_rect());
    g.record.width = width;
    g.record.height = height;
    g.shownStale = 1;
    recompute();
}

// The picture's own size: the size slider's top.
void largest_size() {
    if (!g.loaded || g.editing) return;
    int w, h;
    create_size_at(g.importedWidth, g.importedHeight, g.tall, g.size.maximum, &w, &h);
    slider_set_value(g.controls[CREATE_SIZE], g.size.maximum);
    set_size(w, h);
}

// "Fit the grid to the whole picture": the nearest piece size (and, for a new picture, size)
// at which the grid leaves nothing out.
void fit_grid() {
    if (!g.loaded || !g.fitFound) return;
    const CreateGridFit fit = g.fit;
    g.record.pieceSize = fit.pieceSize;
    if (fit.width != g.record.width || fit.height != g.record.height) {
        slider_set_value(g.controls[CREATE_SIZE], g.tall ? fit.height : fit.width);
        set_size(fit.width, fit.height);
    }
    recompute();
}

// A step of the pieces slider (by the keys): one step, a page, or to an end.
void step_pieces(int delta) {
    if (!g.loaded || g.stepCount <= 0) return;
    const int slider = g.controls[CREATE_PIECE_SIZE];
    const int value = clamp(slider_value(slider) + delta, 0, g.stepCount - 1);
    slider_set_value(slider, value);
    g.record.pieceSize = g.steps[value];
    recompute();
}

void size_moved(int value) {
    if (!g.loaded || g.editing) return;
    int w, h;
    create_size_at(g.importedWidth, g.importedHeight, g.tall, value, &w, &h);
    set_size(w, h);
}

// The picture as a new box: fitted, the size slider for its shape, the piece and option defaults.
void take_picture(PictureBuffer* picture, int fullWidth, int fullHeight, const char* path) {
    g.loaded = picture;
    g.importedWidth = fullWidth;
    g.importedHeight = fullHeight;
    str_copy_bounded(g.source, path, sizeof g.source);
    const Rect a = area();
    int w, h;
    create_fit(fullWidth, fullHeight, a.w, a.h, &w, &h);
    const CreateSizeSlider s = create_size_slider(fullWidth, fullHeight, fullWidth, fullHeight);
    g.tall = s.tall;
    g.size = s;
    slider_set_range(g.controls[CREATE_SIZE], s.minimum, s.maximum);
    slider_set_step(g.controls[CREATE_SIZE], std::max(1, (s.maximum - s.minimum) / SIZE_ARROW_STEPS));
    slider_set_value(g.controls[CREATE_SIZE], s.tall ? h : w);
    name_from_path(path, g.name, sizeof g.name);
    g.record = {};
    g.record.edgeStyle = EDGE_STYLE_DEFAULT;
    g.record.width = w;
    g.record.height = h;
    // A comfortable count for this screen rather than the most pieces the picture allows.
    g.stepCount = create_piece_steps(w, h, g.steps, CREATE_STEPS_MAX);
    g.record.pieceSize = g.steps[create_default_step(g.steps, g.stepCount)];
    g.stepsWidth = g.stepsHeight = 0;
    g.shownStale = 1;
    set_ticks(g.record);
    set_piece_controls();
    show_state();
    redraw_area();
    recompute();
}

// The chooser for pictures, in the folder last used, or with `own` in the player's pictures
// folder (the find-pictures button).
void import_chosen(int own) {
    char folder[PATH_MAX_GAME], file[PATH_MAX_GAME] = "";
    start_folder("PictureFolder", FOLDER_PICTURES, folder, sizeof folder, own);
    if (!chooser_open_pictures(file, folder, picture_filter_all())) return;
    io_ini_write(CONFIG_INI, SECTION, "PictureFolder", folder);
    createroom_import(file);
}

// --- Pieces ---

void random_pieces() {
    if (!g.loaded) return;
    BoxRecord& r = g.record;
    place_piece_slider();
    r.pieceSize = g.steps[std::rand() % std::max(1, g.stepCount)];
    r.irregularity = std::rand() % (BOX_IRREGULARITY_MAX + 1);
    r.edgeStyle = std::rand() % EDGE_COUNT;
    set_piece_controls();
    recompute();
}

// An edge-style button's face.
void draw_edge_button(int button, int width, int height) {
    create_paint_edge_button(button, button - g.controls[CREATE_EDGE_FIRST], width, height);
}

// --- Options and tune ---

void tune_controls(int on) {
    for (int which : {CREATE_REPEAT, CREATE_PLAY, CREATE_STOP})
        enable(which, on);
}

// The tune tick box was ticked or unticked.
void tune_ticked(int on) {
    const int tick = g.controls[CREATE_TUNE];
    midi_stop();
    if (!on) {
        tune_controls(0);
        return;
    }
    char folder[PATH_MAX_GAME], file[PATH_MAX_GAME] = "";
    start_folder("TuneFolder", FOLDER_MUSIC, folder, sizeof folder);
    if (!chooser_open(file, folder, TUNE_FILTER)) {
        button_set_state(tick, 0);
        tune_controls(0);
        return;
    }
    io_ini_write(CONFIG_INI, SECTION, "TuneFolder", folder);
    if (!test_midi(file) || !io_copy_file(file, BOX_TUNE_FILE) ||
        !create_kept_read(BOX_TUNE_FILE, &g.kept.tune) || !g.kept.tune.present) {
        create_kept_free(&g.kept.tune);
        button_set_state(tick, 0);
        tune_controls(0);
        msgbox_show_text(TEXT_BAD_TUNE, MSG_OK);
        return;
    }
    tune_controls(1);
}

void play_tune() {
    if (g.kept.tune.present) create_kept_write(BOX_TUNE_FILE, g.kept.tune);
    (void)play_midi(BOX_TUNE_FILE, button_state(g.controls[CREATE_REPEAT]));
}

// --- Save and leave ---

// Back to the store room, with the box saved under `name` (null: nothing saved).
void leave(const char* name) {
    char saved[BOX_NAME_MAX] = "";
    if (name) str_copy_bounded(saved, name, sizeof saved);
    clear_room();
    store_created(name ? saved : nullptr);
}

void read_ticks() {
    BoxRecord& r = g.record;
    r.rotation = button_state(g.controls[CREATE_ROTATION]);
    r.hiddenPicture = button_state(g.controls[CREATE_HIDDEN]);
    r.hasTune = button_state(g.controls[CREATE_TUNE]);
    r.repeatTune = button_state(g.controls[CREATE_REPEAT]);
}

void save() {
    if (!g.loaded) {
        leave(nullptr);
        return;
    }
    read_ticks();
    grid_build(&g.record);  // the piece count of the settings saved
    if (g.editing) {
        leave(create_save_edited(g.name, g.record, g.kept) ? g.name : nullptr);
        return;
    }
    char name[BOX_NAME_MAX];
    // A picture kept larger than it was loaded for the screen is read again at its size.
    PictureBuffer* full = nullptr;
    if (g.record.width > g.loaded->width || g.record.height > g.loaded->height) {
        create_slow_begin(TEXT_READING);
        pic_set_progress(create_slow_step);
        int fw, fh;
        if (pic_import_fit(g.source, g.record.width, g.record.height, &fw, &fh)) full = as_colour(pic_take());
        pic_free();
        pic_set_progress(nullptr);
        create_slow_end();
        if (!full)
            io_log("create: %s could not be read again at %i x %i\n", g.source, g.record.width,
                   g.record.height);
    }
    const int result =
        create_save_new(g.name, &g.record, full ? full : g.loaded, g.kept.tune, name, sizeof name);
    pic_release(full);
    if (result != CREATE_SAVE_CANCELLED) leave(result == CREATE_SAVE_DONE ? name : nullptr);
}

// --- The windows' handlers ---

void help_pressed(int button) {
    if (button == g.pictureHelp)
        io_help(HELP_PICTURE);
    else if (button == g.piecesHelp)
        io_help(HELP_PIECES);
    else if (button == g.optionsHelp)
        io_help(HELP_OPTIONS);
}

void button_pressed(int button, int state) {
    int which = 0;
    while (which < CREATE_CONTROLS && g.controls[which] != button)
        which++;
    if (which >= CREATE_EDGE_FIRST && which < CREATE_EDGE_FIRST + EDGE_COUNT) {
        if (!g.loaded) return;
        g.record.edgeStyle = which - CREATE_EDGE_FIRST;
        recompute();
        return;
    }
    switch (which) {
        case CREATE_IMPORT:
            import_chosen(0);
            break;
        case CREATE_FIND:
            import_chosen(1);
            break;
        case CREATE_FIT:
            fit_grid();
            break;
        case CREATE_LARGEST:
            largest_size();
            break;
        case CREATE_RANDOM:
            random_pieces();
            break;
        case CREATE_TUNE:
            tune_ticked(state);
            break;
        case CREATE_REPEAT:
            midi_set_repeat(state);
            break;
        case CREATE_PLAY:
            play_tune();
            break;
        case CREATE_STOP:
            midi_stop();
            break;
        case CREATE_SAVE:
            save();
            break;
        case CREATE_CANCEL:
            leave(nullptr);
            break;
        case CREATE_HELP:
            io_help(g.editing ? HELP_EDIT : HELP_NEW);
            break;
        case CREATE_CONTROLS:
            help_pressed(button);
            break;
        default:  // rotation and hidden picture are read when saving
            break;
    }
}

void slider_moved(int slider, int value) {
    if (!g.loaded) return;
    if (slider == g.controls[CREATE_SIZE]) {
        size_moved(value);
    } else if (slider == g.controls[CREATE_PIECE_SIZE]) {
        if (value < 0 || value >= g.stepCount) return;
        g.record.pieceSize = g.steps[value];
        recompute();
    } else if (slider == g.controls[CREATE_IRREGULARITY]) {
        g.record.irregularity = value;
        recompute();
    }
}

// Keys on the pieces slider: the arrows a step, Page Up and Page Down a page, Home and End to the
// ends (towards the right end, larger pieces); 1 when taken.
int piece_key(int key) {
    if (!g.loaded) return 0;
    const int page = slider_page(0, std::max(1, g.stepCount - 1));
    switch (key) {
        case KEY_RIGHT:
            step_pieces(1);
            return 1;
        case KEY_LEFT:
            step_pieces(-1);
            return 1;
        case KEY_PAGEUP:
            step_pieces(page);
            return 1;
        case KEY_PAGEDOWN:
            step_pieces(-page);
            return 1;
        case KEY_END:
            step_pieces(g.stepCount);
            return 1;
        case KEY_HOME:
            step_pieces(-g.stepCount);
            return 1;
        default:
            return 0;
    }
}

// The line under a slider, centred.
void draw_line(int window, int y, int width, const char* text) {
    font_set_style(FONT_SMALL, ge_colour(COLOUR_LINE), ge_colour(COLOUR_LINE_SHADOW));
    int w = 0, h = 0;
    font_measure(text, &w, &h);
    window_draw_text(window, text, (width - w) / 2, y + (LINE_H - h) / 2);
}

void draw_lines(int window) {
    if (!g.loaded) return;
    char text[128];
    if (window == g.pieces) {
        create_pieces_text(g.record.width, g.record.height, g.record.pieceSize, text, sizeof text);
        draw_line(window, PIECE_LINE_Y, PIECES_W, text);
    } else if (window == g.picture && !g.editing) {
        create_size_text(g.record.width, g.record.height, text, sizeof text);
        draw_line(window, SIZE_LINE_Y, PICTURE_W, text);
    }
}

void save_places() {
    window_save_placement(g.info, SECTION, "InfoWin");
    window_save_placement(g.picture, SECTION, "ImageWin");
    window_save_placement(g.pieces, SECTION, "PieceWin");
    window_save_placement(g.options, SECTION, "MiscWin");
}

int room_handler(int /*window*/, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            if (g.shownStale) remake_shown();
            create_paint_room(g.shown, g.record.irregularity, g.curveReach,
                              g.shown && g.record.width > 0 ? (double)g.shown->width / g.record.width : 1.0);
            return 0;
        case WE_BUTTON:
            button_pressed((int)event->a, (int)event->b);
            return 1;
        case WE_SCREENSIZE:  // the panel keeps to the bottom-right corner
            window_move(g.panel, screen.width - PANEL_RIGHT, screen.height - PANEL_BOTTOM);
            return 1;
        case KE_KEYDOWN:
            return piece_key((int)event->a);
        case WE_DESTROY:
            save_places();
            midi_stop();
            release();
            create_paint_free();
            return 0;
        default:
            return 0;
    }
}

// The tool windows and the panel: a body under the title bar; their buttons and sliders report
// here.
int tool_handler(int window, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            ge_draw_element(ELEMENT_BODY, 0, TITLE_HEIGHT, (int)event->a, (int)event->b - TITLE_HEIGHT);
            draw_lines(window);
            return 0;
        case KE_KEYDOWN:
            return piece_key((int)event->a);
        case WE_BUTTON:
            button_pressed((int)event->a, (int)event->b);
            return 1;
        case WE_SLIDER:
            slider_moved((int)event->a, (int)event->b);
            return 1;
        default:
            return 0;
    }
}

int panel_handler(int /*window*/, KernelEvent* event) {
    if (event->type != WE_BUTTON) return 0;
    button_pressed((int)event->a, (int)event->b);
    return 1;
}

// --- Building the windows ---

int tool_window(int x, int y, int w, int h, int title) {
    const int window =
        window_register(g.room, TW_CHILD | TW_RAISE | TW_TITLE, x, y, w, h, tool_handler, nullptr);
    window_set_title(window, lt_get(title));
    return window;
}

int text_button(int parent, int x, int y, int w, int text, int frame) {
    return button_register(parent, BS_PUSH | BS_TEXT | BS_FRAME, x, y, w, ROW, 0, lt_get(text), frame, 0);
}

int slider(int parent, int y, int text) {
    const int s = slider_register(parent, SLIDER_NOTIFY | SLIDER_ARROWS, 0, y,
                                  parent == g.picture ? PICTURE_W : PIECES_W, SLIDER_FRAME);
    window_set_title(s, lt_get(text));
    return s;
}

int help_strip(int parent, int* strip) {
    *strip = icon_strip_create(parent);
    return icon_strip_add(*strip, GE_PICTURE_HELP, 0);
}

void build_picture_window() {
    g.picture = tool_window(PICTURE_X, PICTURE_Y, PICTURE_W, PICTURE_H, TEXT_PICTURE_TITLE);
    int* c = g.controls;
    c[CREATE_IMPORT] = text_button(g.picture, 0, TITLE_HEIGHT, PICTURE_W, TEXT_IMPORT, ELEMENT_BUTTON);
    c[CREATE_FIND] = text_button(g.picture, 0, TITLE_HEIGHT + ROW, PICTURE_W, TEXT_FIND, ELEMENT_BUTTON);
    c[CREATE_SIZE] = slider(g.picture, SIZE_Y, TEXT_SIZE);
    c[CREATE_LARGEST] = text_button(g.picture, 0, LARGEST_Y, PICTURE_W, TEXT_LARGEST, ELEMENT_BUTTON);
    g.pictureHelp = help_strip(g.picture, &g.pictureStrip);
    window_restore_placement(g.picture, SECTION, "ImageWin", PLACE_POSITION);
}

void build_pieces_window() {
    g.pieces = tool_window(PIECES_X, PIECES_Y, PIECES_W, PIECES_H, TEXT_PIECES_TITLE);
    int* c = g.controls;
    c[CREATE_RANDOM] = text_button(g.pieces, 0, TITLE_HEIGHT, PIECES_W, TEXT_RANDOM, ELEMENT_BUTTON);
    c[CREATE_PIECE_SIZE] = slider(g.pieces, PIECE_Y, TEXT_PIECE_SIZE);
    c[CREATE_IRREGULARITY] = slider(g.pieces, IRREGULAR_Y, TEXT_IRREGULARITY);
    c[CREATE_FIT] = text_button(g.pieces, 0, FIT_Y, PIECES_W, TEXT_FIT, ELEMENT_BUTTON);
    for (int k = 0; k < EDGE_COUNT; k++) {
        int style = BS_RADIO | BS_NOTIFY | BS_FRAME;
        if (k == 0) style |= BS_RGFIRST;
        if (k == EDGE_COUNT - 1) style |= BS_RGLAST;
        c[CREATE_EDGE_FIRST + k] =
            button_register_drawn(g.pieces, style, (k % 2) * EDGE_W, EDGE_Y + (k / 2) * ROW, EDGE_W, ROW,
                                  draw_edge_button, ELEMENT_BUTTON, 0);
    }
    g.piecesHelp = help_strip(g.pieces, &g.piecesStrip);
    window_restore_placement(g.pieces, SECTION, "PieceWin", PLACE_POSITION);
}

void build_options_window() {
    g.options = tool_window(OPTIONS_X, OPTIONS_Y, OPTIONS_W, OPTIONS_H, TEXT_OPTIONS_TITLE);
    int* c = g.controls;
    const int ticks[4][2] = {{CREATE_ROTATION, TEXT_ROTATION},
                             {CREATE_HIDDEN, TEXT_HIDDEN},
                             {CREATE_TUNE, TEXT_TUNE},
                             {CREATE_REPEAT, TEXT_REPEAT}};
    for (int i = 0; i < 4; i++)
        c[ticks[i][0]] = button_register(g.options, BS_TOGGLE | BS_PICTURE | BS_TEXT | BS_NOTIFY, TICK_X,
                                         TICK_Y + i * ROW, 0, 0, GE_PICTURE_TICK, lt_get(ticks[i][1]), 0, 0);
    c[CREATE_PLAY] = text_button(g.options, 0, TUNE_BUTTON_Y, TUNE_BUTTON_W, TEXT_PLAY, ELEMENT_LONE);
    c[CREATE_STOP] =
        text_button(g.options, TUNE_BUTTON_W, TUNE_BUTTON_Y, TUNE_BUTTON_W, TEXT_STOP, ELEMENT_LONE);
    g.optionsHelp = help_strip(g.options, &g.optionsStrip);
    window_restore_placement(g.options, SECTION, "MiscWin", PLACE_POSITION);
}

void build_panel() {
    g.panel = window_register(g.room, TW_CHILD | TW_SHADOW, screen.width - PANEL_RIGHT,
                              screen.height - PANEL_BOTTOM, PANEL_W, ROW, panel_handler, nullptr);
    const int bar = button_bar_create(g.panel);
    g.controls[CREATE_SAVE] = button_bar_add(bar, 2, 0, nullptr, GE_PICTURE_SAVE, 0, PANEL_BUTTON_W);
    g.controls[CREATE_CANCEL] =
        button_bar_add(bar, 1, 0, nullptr, GE_PICTURE_CANCEL, KEY_ESCAPE, PANEL_BUTTON_W);
    g.controls[CREATE_HELP] = button_bar_add(bar, 0, 0, nullptr, GE_PICTURE_ROOM_HELP, 0, PANEL_BUTTON_W);
    button_bar_layout(bar);
}

}  // namespace

// --- Public ---

void createroom_create() {
    g = {};
    g.room = window_register(-1, TW_SCREEN, 0, 0, 0, 0, room_handler, nullptr);
    g.info = text_window_create(g.room, INFO_WIDTH, INFO_LINES);
    window_move(g.info, INFO_X, INFO_Y);
    window_restore_placement(g.info, SECTION, "InfoWin", PLACE_POSITION | PLACE_ROLLED_UP);
    build_picture_window();
    build_pieces_window();
    build_options_window();
    build_panel();
    g.curveReach = create_curve_reach();
    g_created = 1;
    set_piece_controls();
    show_state();
}

void createroom_open_new() {
    clear_room();
    enter();
}

int createroom_open_box(const char* name) {
    FileStamp stamp;
    BoxRecord record = {};
    if (!name || !box_read(name, &stamp, &record, BOX_ALL)) return 0;
    PictureBuffer* picture = pic_load_jpeg(BOX_PICTURE_FILE) ? as_colour(pic_take()) : nullptr;
    pic_free();
    CreateFiles kept = {};
    CreateKept* parts[4] = {&kept.picture, &kept.description, &kept.address, &kept.tune};
    const char* files[4] = {BOX_PICTURE_FILE, BOX_DESCRIPTION_FILE, BOX_ADDRESS_FILE, BOX_TUNE_FILE};
    int ok = picture != nullptr;
    for (int i = 0; i < 4 && ok; i++)
        ok = create_kept_read(files[i], parts[i]);
    ok = ok && kept.picture.present;
    if (!ok) {
        pic_release(picture);
        create_files_free(&kept);
        return 0;
    }
    clear_room();
    g.loaded = picture;
    g.kept = kept;
    g.record = record;
    // A part the box names but did not deliver is left out of the box saved.
    g.record.hasDescription = record.hasDescription && kept.description.present;
    g.record.hasAddress = record.hasAddress && kept.address.present;
    g.record.hasTune = record.hasTune && kept.tune.present;
    str_copy_bounded(g.name, name, sizeof g.name);
    g.editing = 1;
    g.importedWidth = record.width;
    g.importedHeight = record.height;
    g.size = create_size_slider(record.width, record.height, record.width, record.height);
    g.shownStale = 1;
    set_ticks(g.record);
    set_piece_controls();
    show_state();
    recompute();
    enter();
    return 1;
}

int createroom_import(const char* path) {
    clear_room();
    const Rect a = area();
    create_slow_begin(TEXT_READING);
    pic_set_progress(create_slow_step);
    int fullWidth = 0, fullHeight = 0;
    const int ok = path && pic_import_fit(path, a.w, a.h, &fullWidth, &fullHeight);
    pic_set_progress(nullptr);
    PictureBuffer* picture = ok ? as_colour(pic_take()) : nullptr;
    pic_free();
    create_slow_end();
    if (!picture) {
        io_log("create: %s: %s\n", path ? path : "", gformat_last_error());
        msgbox_show_text(TEXT_NOT_LOADED, MSG_OK);
        return 0;
    }
    // A very long, thin picture can be large enough and still too thin once fitted to the screen.
    int fitWidth, fitHeight;
    create_fit(fullWidth, fullHeight, a.w, a.h, &fitWidth, &fitHeight);
    if (fullWidth < CREATE_PICTURE_MIN || fullHeight < CREATE_PICTURE_MIN || fitWidth < CREATE_PICTURE_MIN ||
        fitHeight < CREATE_PICTURE_MIN) {
        io_log("create: %s is only %i x %i, %i x %i on this screen\n", path, fullWidth, fullHeight, fitWidth,
               fitHeight);
        pic_release(picture);
        msgbox_show_text(TEXT_TOO_SMALL, MSG_OK);
        return 0;
    }
    take_picture(picture, fullWidth, fullHeight, path);
    return 1;
}

const BoxRecord* createroom_record() { return &g.record; }

int createroom_control(int which) { return which >= 0 && which < CREATE_CONTROLS ? control(which) : -1; }
