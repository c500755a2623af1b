// rooms/gallery.cpp -- the gallery's slots, its file and the pictures finished boxes give.
#include "rooms/gallery.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/le.h"
#include "base/str.h"
#include "gui/button.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/lt.h"
#include "gui/msgbox.h"
#include "gui/window.h"
#include "image/gformat_img.h"
#include "image/img_scale.h"
#include "image/pic.h"
#include "platform/io_debug.h"
#include "platform/io_desktop.h"
#include "platform/io_file.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "platform/sys.h"
#include "puzzle/box.h"
#include "puzzle/save.h"
#include "resources/tagfile.h"
#include "rooms/g3dscene.h"
#include "rooms/store.h"

namespace {

constexpr uint32_t GALLERY_TAG = file_tag("GALL");

// The slot as its 140 file bytes, numbers little-endian whatever the host.
void slot_store(uint8_t* bytes, const GallerySlot* slot, int present) {
    le_store_u32(bytes, present ? 1u : 0u);
    std::memcpy(bytes + 4, slot->name, sizeof slot->name);
    le_store_u32(bytes + 68, (uint32_t)slot->pieceCount);
    le_store_u32(bytes + 72, (uint32_t)slot->seconds);
    std::memcpy(bytes + 76, slot->date, sizeof slot->date);
}

void slot_load(GallerySlot* slot, const uint8_t* bytes) {
    LeCursor c = le_cursor(bytes, sizeof(GallerySlot));
    slot->present = le_u32(&c);
    std::memcpy(slot->name, le_take(&c, sizeof slot->name), sizeof slot->name);
    slot->pieceCount = le_i32(&c);
    slot->seconds = le_i32(&c);
    std::memcpy(slot->date, le_take(&c, sizeof slot->date), sizeof slot->date);
    // Texts from the file end inside their fields, whatever the file holds.
    slot->name[sizeof slot->name - 1] = 0;
    slot->date[sizeof slot->date - 1] = 0;
}

// The image at the file's position, when it is a 24-bit picture of at most 256 x 256.
Image* image_read(FILE* file) {
    int width = 0, height = 0, kind = 0;
    if (!gformat_img_info(file, &width, &height, &kind)) return nullptr;
    if (kind != IMG_24BIT || width < 1 || height < 1 || width > GALLERY_IMAGE_MAX ||
        height > GALLERY_IMAGE_MAX)
        return nullptr;
    Image* image = img_read(file);
    if (image && (image->width != width || image->height != height || image->kind != IMG_24BIT)) {
        io_mem_free(image);
        return nullptr;
    }
    return image;
}

void slot_empty(GallerySlot* slot, Image** picture) {
    io_mem_free(*picture);
    *picture = nullptr;
    std::memset(slot, 0, sizeof *slot);
}

int read_all(Gallery* gallery, FILE* file) {
    uint32_t version = 0;
    if (!file_check_tag(file, GALLERY_TAG) || !file_read_u32(file, &version)) return 0;
    for (int s = 0; s < GALLERY_SLOTS; s++) {
        uint8_t bytes[sizeof(GallerySlot)];
        if (!file_read_bytes(file, bytes, sizeof bytes)) return 0;
        slot_load(&gallery->slots[s], bytes);
        if (gallery->slots[s].present) {
            gallery->pictures[s] = image_read(file);
            if (!gallery->pictures[s]) return 0;
            gallery->slots[s].present = 1;
        }
    }
    return 1;
}

}  // namespace

void gallery_clear(Gallery* gallery) {
    for (int s = 0; s < GALLERY_SLOTS; s++) {
        slot_empty(&gallery->slots[s], &gallery->pictures[s]);
    }
    slot_empty(&gallery->held, &gallery->heldPicture);
}

namespace {
int g_unreadable;  // the gallery file is there but could not be read: never replaced
}  // namespace

int gallery_read(Gallery* gallery, const char* path) {
    gallery_clear(gallery);
    g_unreadable = 0;
    FILE* file = io_fopen_read(path);
    if (!file) {
        g_unreadable = errno != ENOENT && errno != ENOTDIR;
        return 0;
    }
    const int ok = read_all(gallery, file);
    if (std::ferror(file)) g_unreadable = 1;
    std::fclose(file);
    if (!ok) gallery_clear(gallery);  // a partly read file is not used
    return ok;
}

int gallery_file_unreadable() { return g_unreadable; }

int gallery_write(const Gallery* gallery, const char* path) {
    FILE* file = io_fopen(path, "wb");
    if (!file) return 0;
    int ok = file_write_tag(file, 0) && file_write_u32(file, GALLERY_VERSION);
    for (int s = 0; ok && s < GALLERY_SLOTS; s++) {
        uint8_t bytes[sizeof(GallerySlot)];
        const Image* picture = gallery->pictures[s];
        slot_store(bytes, &gallery->slots[s], picture != nullptr);
        ok = file_write_bytes(file, bytes, sizeof bytes) && (!picture || img_write_image(file, picture));
    }
    ok = ok && std::fseek(file, 0, SEEK_SET) == 0 && file_write_tag(file, GALLERY_TAG) && io_file_sync(file);
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

int gallery_load(Gallery* gallery) {
    if (gallery_read(gallery, GALLERY_FILE)) return 1;
    if (g_unreadable)
        io_log("gallery: %s cannot be read; it is left as it is\n", GALLERY_FILE);
    else if (io_file_exists(GALLERY_FILE))
        io_copy_file(GALLERY_FILE, GALLERY_BAD_FILE);
    return 0;
}

int gallery_save(const Gallery* gallery) {
    if (g_unreadable) return 0;  // what could not be read is never written over
    if (!gallery_write(gallery, GALLERY_TEMP_FILE) || !io_move_file(GALLERY_TEMP_FILE, GALLERY_FILE)) {
        io_delete_file(GALLERY_TEMP_FILE);
        return 0;
    }
    io_sync_folder_of(GALLERY_FILE);
    return 1;
}

int gallery_swap(Gallery* gallery, int place) {
    if (place < 0 || place >= GALLERY_SLOTS) return 0;
    std::swap(gallery->held, gallery->slots[place]);
    std::swap(gallery->heldPicture, gallery->pictures[place]);
    return 1;
}

void gallery_discard_held(Gallery* gallery) { slot_empty(&gallery->held, &gallery->heldPicture); }

Image* gallery_picture_make(const Image* picture, uint32_t frameColour) {
    if (!picture || picture->width < 1 || picture->height < 1) return nullptr;
    Image* colour = nullptr;  // an 8-bit picture is made 24-bit first
    if (picture->kind != IMG_24BIT) {
        colour = img_create(picture->width, picture->height, IMG_24BIT);
        img_convert(colour, picture);
        picture = colour;
    }
    // Fitted keeping the proportions: the longer side becomes 248.
    int width = GALLERY_PICTURE_SIDE, height = GALLERY_PICTURE_SIDE;
    if (picture->width >= picture->height)
        height = std::max(1, (int)((int64_t)picture->height * GALLERY_PICTURE_SIDE / picture->width));
    else
        width = std::max(1, (int)((int64_t)picture->width * GALLERY_PICTURE_SIDE / picture->height));
    Image* framed = img_create(width, height, IMG_24BIT);
    img_resample_images(framed, picture, 1);
    io_mem_free(colour);
    img_fill_rect(framed, frameColour, 0, 0, width, 1);
    img_fill_rect(framed, frameColour, 0, height - 1, width, 1);
    img_fill_rect(framed, frameColour, 0, 0, 1, height);
    img_fill_rect(framed, frameColour, width - 1, 0, 1, height);
    return framed;
}

void gallery_time_text(char* text, int size, int seconds) {
    seconds = std::max(0, seconds);
    const int hours = seconds / 3600, minutes = seconds / 60 % 60;
    if (hours > 0)
        std::snprintf(text, (size_t)size, "%i:%i:%02i", hours, minutes, seconds % 60);
    else
        std::snprintf(text, (size_t)size, "%i:%02i", minutes, seconds % 60);
}

void gallery_info_text(char* text, int size, const GallerySlot* slot) {
    char time[32];
    gallery_time_text(time, sizeof time, slot->seconds);
    std::snprintf(text, (size_t)size, "%s: %s\n%s: %i\n%s: %s %s: %s", lt_get(311), slot->name, lt_get(312),
                  slot->pieceCount, lt_get(313), time, lt_get(314), slot->date);
}

void gallery_held_text(char* text, int size, const GallerySlot* slot) {
    char time[32];
    gallery_time_text(time, sizeof time, slot->seconds);
    std::snprintf(text, (size_t)size, "%s: %s\n\n%s: %i\n%s: %s\n%s: %s", lt_get(311), slot->name,
                  lt_get(312), slot->pieceCount, lt_get(313), time, lt_get(314), slot->date);
}

// --- The room ---

namespace {

constexpr const char* SECTION = "GALLERYROOM";

constexpr int TEXT_TITLE = 300, TEXT_SAVE_HOLDING = 301, TEXT_LOOK = 302, TEXT_NOTHING_HELD = 303;
constexpr int TEXT_NOT_SAVED = 306, TEXT_EMPTY_PLACE = 310;
constexpr int TEXT_LOOK_HINT = 304;  // what the mouse-look button does and how to stop it
constexpr int TEXT_WALK_HINT = 305;  // how to walk, when the info window has nothing else to say
constexpr int TEXT_VIEW_TITLE = 320, TEXT_HAND_TITLE = 330, TEXT_HANG = 331, TEXT_TAKE = 332,
              TEXT_DISCARD = 333;
constexpr int HELP_ROOM = 300, HELP_HAND = 4398, HELP_VIEW = 4397;

constexpr int KEY_ZOOM_IN = 43, KEY_ZOOM_OUT = 45;  // keypad + and -
constexpr int KEY_LOOK = 'G';

// Default places (screen coordinates) and the windows' insides (window-relative).
constexpr int VIEW_X = 20, VIEW_Y = 50;
constexpr int VIEW_LEFT = 5, VIEW_TOP = 23, VIEW_EXTRA_W = 10, VIEW_EXTRA_H = 46, STRIP_HEIGHT = 18;
constexpr int HAND_X = 20, HAND_Y = 300, HAND_W = 300, HAND_H = 198;
constexpr int HAND_SIDE = 128, HAND_PICTURE_X = 8, HAND_PICTURE_Y = 22, HAND_TEXT_X = 144;
constexpr int ROW = 24, HAND_BUTTON_Y = HAND_H - STRIP_HEIGHT - ROW - 2, HAND_BUTTON_W = HAND_W / 3;
constexpr int INFO_X = 400, INFO_WIDTH = 200, INFO_LINES = 3;
constexpr int WINDOW_GAP = 8;
// The mouse-look button ends 10 pixels left of the panel, at least 40 wide and as wide as its text.
constexpr int LOOK_GAP = 10, LOOK_BOTTOM = 40, LOOK_W = 40, LOOK_H = 32;
constexpr int PANEL_RIGHT = 150, PANEL_BOTTOM = 40, PANEL_W = 150, PANEL_BUTTON_W = 34;

constexpr int ELEMENT_BODY = 9, ELEMENT_BUTTON = 24, VIEW_PANEL = 89;

// The room's buttons.
enum GalleryControl {
    GALLERY_HANG,
    GALLERY_TAKE,
    GALLERY_DISCARD,
    GALLERY_LOOK,
    GALLERY_SAVE,
    GALLERY_CANCEL,
    GALLERY_HELP,
    GALLERY_CONTROLS
};

struct Room {
    int room, view, viewStrip, hand, handStrip, info, panel;
    int controls[GALLERY_CONTROLS];
    int zoomButtons[G3D_ZOOM_MAX + 1];
    int viewHelp, handHelp;
    Gallery gallery;
    Image* view24;     // the rendered view, 24-bit
    Image* handShown;  // the held picture fitted to 128 x 128
    int open;          // the room is shown: the arrangement is in memory
    int lookHovered;   // the pointer rests on the mouse-look button
};
Room g = {};
int g_created = 0;

const Image* place_picture(int place) {
    return place >= 0 && place < GALLERY_SLOTS ? g.gallery.pictures[place] : nullptr;
}

void view_changed();

Rect window_rect(int window) {
    Rect r;
    window_screen_pos(window, &r.x, &r.y);
    window_size(window, &r.w, &r.h);
    return r;
}

// The view's step and the three windows' places so that the holding and info windows leave the
// view free (the view's window is sized for the step asked for first).
void lay_out_windows() {
    if (g.hand < 0 || g.info < 0) return;
    const GalleryLayout l = gallery_layout(screen.width, screen.height, g3dscene_zoom(), window_rect(g.view),
                                           window_rect(g.hand), window_rect(g.info));
    if (l.zoom != g3dscene_zoom()) g3dscene_set_zoom(l.zoom);
    window_move(g.view, l.view.x, l.view.y);
    window_move(g.hand, l.hand.x, l.hand.y);
    window_move(g.info, l.info.x, l.info.y);
}

// The view window fitted around the view at the current zoom, the other windows clear of it.
void view_build() {
    int vw, vh;
    g3dscene_view_size(&vw, &vh);
    window_resize(g.view, vw + VIEW_EXTRA_W, vh + VIEW_EXTRA_H);
    lay_out_windows();
    int w, h;
    g3dscene_view_size(&w, &h);
    if (!g.view24 || g.view24->width != w || g.view24->height != h) {
        io_mem_free(g.view24);
        g.view24 = img_create(w, h, IMG_24BIT);
        img_fill(g.view24, 0);
    }
    const int ww = w + VIEW_EXTRA_W, wh = h + VIEW_EXTRA_H;
    window_resize(g.view, ww, wh);
    window_move(g.viewStrip, 0, wh - STRIP_HEIGHT);
    window_resize(g.viewStrip, ww, STRIP_HEIGHT);
    window_redraw(g.view);
    view_changed();
}

void view_zoom(int zoom) {
    g3dscene_set_zoom(zoom);
    view_build();
}

// The info window after the target point moved: the empty-place text or the picture's details;
// off a place or beside the picture, how to walk (or, in mouse look, how to stop it). While the
// pointer rests on the mouse-look button, what the button does.
void show_target() {
    if (g.info < 0) return;
    int place = -1, onPicture = 0;
    g3dscene_target(&place, &onPicture);
    char text[512] = "";
    if (g.lookHovered) {
        str_copy_bounded(text, lt_get(TEXT_LOOK_HINT), sizeof text);
    } else if (place >= 0 && place < GALLERY_SLOTS && !g.gallery.pictures[place]) {
        str_copy_bounded(text, lt_get(TEXT_EMPTY_PLACE), sizeof text);
    } else if (place >= 0 && place < GALLERY_SLOTS && onPicture) {
        gallery_info_text(text, sizeof text, &g.gallery.slots[place]);
    } else {
        str_copy_bounded(text, lt_get(g3dscene_mouse_looking() ? TEXT_LOOK_HINT : TEXT_WALK_HINT),
                         sizeof text);
    }
    text_window_set_text(g.info, text);
}

// The mouse-look button tells what it does in the info window while the pointer rests on it.
void look_hover() {
    int x, y;
    window_mouse(&x, &y);
    const int hovered = g.open && window_at(x, y) == g.controls[GALLERY_LOOK];
    if (hovered == g.lookHovered) return;
    g.lookHovered = hovered;
    show_target();
}

// Renders the view now (the target point follows the render) and redraws it.
void view_changed() {
    if (!g.open) return;
    ImageView v;
    img_view(&v, g.view24, 0, 0);
    g3dscene_render(&v, 0, 0, g.view24->width, g.view24->height);
    int place, onPicture;
    if (g3dscene_target(&place, &onPicture)) show_target();
    window_redraw_part(g.view, VIEW_LEFT, VIEW_TOP, g.view24->width, g.view24->height);
}

// The pointer moved in the view: the rays are cast again for the target, nothing is drawn.
void target_moved(int x, int y) {
    g3dscene_set_target_point(x, y);
    if (!g.open) return;
    ImageView v;
    img_view(&v, g.view24, 0, 0);
    g3dscene_render(&v, 0, 0, 0, 0);
    int place, onPicture;
    if (g3dscene_target(&place, &onPicture)) show_target();
}

void hand_changed() {
    io_mem_free(g.handShown);
    g.handShown = nullptr;
    const Image* held = g.gallery.heldPicture;
    if (held) {
        int w = HAND_SIDE, h = HAND_SIDE;
        if (held->width >= held->height)
            h = std::max(1, held->height * HAND_SIDE / held->width);
        else
            w = std::max(1, held->width * HAND_SIDE / held->height);
        g.handShown = img_create(w, h, IMG_24BIT);
        img_resample_images(g.handShown, held, 1);
    }
    window_redraw(g.hand);
}

void arrangement_changed() {
    hand_changed();
    view_changed();
    show_target();  // the place's contents changed even where the target did not
}

// --- Swaps ---

int target_place() {
    int place = -1, onPicture = 0;
    g3dscene_target(&place, &onPicture);
    return place;
}

void hang() {
    if (!g.gallery.heldPicture) {
        msgbox_show_text(TEXT_NOTHING_HELD, MSG_OK);
        return;
    }
    if (gallery_swap(&g.gallery, target_place())) arrangement_changed();
}

void take() {
    const int place = target_place();
    if (place >= 0 && place < GALLERY_SLOTS && g.gallery.pictures[place] && gallery_swap(&g.gallery, place))
        arrangement_changed();
}

// Space and a left press in the view: swap when either side holds a picture.
void swap_target() {
    const int place = target_place();
    if (place < 0 || place >= GALLERY_SLOTS) return;
    if (!g.gallery.heldPicture && !g.gallery.pictures[place]) return;
    if (gallery_swap(&g.gallery, place)) arrangement_changed();
}

void discard() {
    if (!g.gallery.heldPicture) return;
    gallery_discard_held(&g.gallery);
    arrangement_changed();
}

// --- Mouse look ---

void view_centre(int* x, int* y) {
    int sx, sy;
    window_screen_pos(g.view, &sx, &sy);
    *x = sx + VIEW_LEFT + g.view24->width / 2;
    *y = sy + VIEW_TOP + g.view24->height / 2;
}

void look_start() {
    if (g3dscene_mouse_looking()) return;
    g3dscene_mouse_look(1);
    int sx, sy, cx, cy;
    window_screen_pos(g.view, &sx, &sy);
    sys_confine_mouse(sx + VIEW_LEFT, sy + VIEW_TOP, g.view24->width, g.view24->height);
    view_centre(&cx, &cy);
    sys_move_mouse(cx, cy);
    view_changed();
    show_target();
}

void look_end() {
    if (!g3dscene_mouse_looking()) return;
    g3dscene_mouse_look(0);
    sys_release_mouse();
    view_changed();
    show_target();
}

// A pointer move in mouse look turns and walks from the view's centre; the pointer goes back to
// the centre.
void look_move(int x, int y) {
    if (!g3dscene_mouse_look_move(x, y)) return;
    int cx, cy;
    view_centre(&cx, &cy);
    sys_move_mouse(cx, cy);
    view_changed();
}

// --- Leaving ---

void leave() {
    look_end();
    gallery_clear(&g.gallery);
    hand_changed();
    g.open = 0;
    store_enter();
}

void save() {
    if (g.gallery.heldPicture && !msgbox_show_text(TEXT_SAVE_HOLDING, MSG_OK_CANCEL)) return;
    const int cursor = sys_cursor();
    sys_set_cursor(CURSOR_WAIT);
    const int ok = gallery_save(&g.gallery);
    sys_set_cursor(cursor);
    if (!ok) {
        io_log("gallery: %s could not be written\n", GALLERY_FILE);
        msgbox_show_text(TEXT_NOT_SAVED, MSG_OK);
        return;
    }
    leave();
}

void enter_with(const GallerySlot* held, Image* picture) {
    if (!g_created) {  // no room to show it in: the picture is not kept
        io_mem_free(picture);
        return;
    }
    ge_set_room_title(lt_get(TEXT_TITLE));
    const int cursor = sys_cursor();
    sys_set_cursor(CURSOR_WAIT);
    gallery_load(&g.gallery);
    sys_set_cursor(cursor == CURSOR_WAIT ? CURSOR_ARROW : cursor);
    if (picture) {
        g.gallery.held = *held;
        g.gallery.held.present = 1;
        g.gallery.heldPicture = picture;
    }
    g.open = 1;
    g3dscene_reset();
    hand_changed();
    view_build();
    window_focus(g.room);
    window_redraw(g.room);
}

// --- The windows' handlers ---

void button_pressed(int button) {
    int which = 0;
    while (which < GALLERY_CONTROLS && g.controls[which] != button)
        which++;
    switch (which) {
        case GALLERY_HANG:
            hang();
            break;
        case GALLERY_TAKE:
            take();
            break;
        case GALLERY_DISCARD:
            discard();
            break;
        case GALLERY_LOOK:
            look_start();
            break;
        case GALLERY_SAVE:
            save();
            break;
        case GALLERY_CANCEL:
            leave();
            break;
        case GALLERY_HELP:
            io_help(HELP_ROOM);
            break;
        default:
            if (button == g.handHelp) io_help(HELP_HAND);
            if (button == g.viewHelp) io_help(HELP_VIEW);
            for (int z = 0; z <= G3D_ZOOM_MAX; z++)
                if (button == g.zoomButtons[z]) view_zoom(z);
            break;
    }
}

int arrow_key(int key) {
    switch (key) {
        case KEY_LEFT:
            return 0;
        case KEY_RIGHT:
            return 1;
        case KEY_UP:
            return 2;
        case KEY_DOWN:
            return 3;
        default:
            return -1;
    }
}

int key_down(int key) {
    if (arrow_key(key) >= 0) {
        g3dscene_key(arrow_key(key), 1);
        return 1;
    }
    switch (key) {
        case KEY_LOOK:
            look_start();
            return 1;
        case KEY_SPACE:
            swap_target();
            return 1;
        case KEY_DELETE:
            discard();
            return 1;
        case KEY_ESCAPE:
            look_end();
            return 1;
        case KEY_ZOOM_IN:
        case KEY_ZOOM_OUT:
            view_zoom(g3dscene_zoom() + (key == KEY_ZOOM_IN ? 1 : -1));
            return 1;
        default:
            return 0;
    }
}

void save_places() {
    window_save_placement(g.view, SECTION, "ViewWin");
    window_save_placement(g.hand, SECTION, "TempWin");
    window_save_placement(g.info, SECTION, "InfoWin");
}

// The screen took a new size: the view follows the screen's width as at a start, the Look button
// and the panel keep to the bottom-right corner, and the windows stay within reach.
void screen_resized() {
    look_end();
    g3dscene_set_screen_width(screen.width);
    view_build();
    window_keep_reachable(g.view);
    int lookW = 0, lookH = 0;
    window_size(g.controls[GALLERY_LOOK], &lookW, &lookH);
    window_move(g.controls[GALLERY_LOOK], screen.width - PANEL_RIGHT - LOOK_GAP - lookW,
                screen.height - LOOK_BOTTOM);
    window_move(g.panel, screen.width - PANEL_RIGHT, screen.height - PANEL_BOTTOM);
}

int room_handler(int /*window*/, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            ge_background_draw();
            ge_draw_top_bar();
            return 0;
        case KE_TICK:
            if (g.open && g3dscene_tick()) view_changed();
            look_hover();
            return 0;
        case KE_KEYDOWN:
            return key_down((int)event->a);
        case KE_KEYUP:
            if (arrow_key((int)event->a) < 0) return 0;
            g3dscene_key(arrow_key((int)event->a), 0);
            return 1;
        case KE_RESETKEYS:
            for (int k = 0; k < 4; k++)
                g3dscene_key(k, 0);
            return 0;
        case WE_BUTTON:
            button_pressed((int)event->a);
            return 1;
        case WE_DESTROY:
            look_end();
            save_places();
            gallery_clear(&g.gallery);
            io_mem_free(g.view24);
            io_mem_free(g.handShown);
            g.view24 = g.handShown = nullptr;
            g3dscene_done();
            return 0;
        case WE_SCREENSIZE:
            screen_resized();
            return 1;
        default:
            return 0;
    }
}

void view_paint(int window, int w, int h) {
    ge_draw_element(VIEW_PANEL, 0, TITLE_HEIGHT, w, h - TITLE_HEIGHT);
    if (!g.view24) return;
    ge_bevel_box(VIEW_LEFT - 1, VIEW_TOP - 1, g.view24->width + 2, g.view24->height + 2);
    window_draw_image(window, g.view24, VIEW_LEFT, VIEW_TOP);
    if (g3dscene_mouse_looking()) {
        int pw, ph;
        ge_picture_size(GE_PICTURE_LOOK_MARK, &pw, &ph);
        ge_draw_picture(GE_PICTURE_LOOK_MARK, VIEW_LEFT + (g.view24->width - pw) / 2,
                        VIEW_TOP + (g.view24->height - ph) / 2);
    }
}

int view_handler(int window, KernelEvent* event) {
    const int x = (int)event->a - VIEW_LEFT, y = (int)event->b - VIEW_TOP;
    switch (event->type) {
        case KE_IDLE:
            view_paint(window, (int)event->a, (int)event->b);
            return 0;
        case KE_MOUSEMOVE:
            if (g3dscene_mouse_looking()) {
                look_move(x, y);
                return 1;
            }
            // Outside the picture of the view the target falls back to the view's centre.
            target_moved(x, y);
            return g.view24 && y >= 0 && y < g.view24->height;
        case WE_OUTSIDE:
            if (!g3dscene_mouse_looking()) target_moved(-1, -1);
            return 0;
        case KE_MOUSEDOWN:
            if (y < 0 || !g.view24 || y >= g.view24->height) return 0;
            if (((int)event->c & (MOUSE_LEFT | MOUSE_RIGHT)) == MOUSE_RIGHT) {
                look_end();
                return 1;
            }
            if (((int)event->c & (MOUSE_LEFT | MOUSE_RIGHT)) == MOUSE_LEFT) {
                swap_target();
                return 1;
            }
            return 0;
        case WE_BUTTON:
            button_pressed((int)event->a);
            return 1;
        default:
            return 0;
    }
}

void hand_paint(int window, int w, int h) {
    ge_draw_element(ELEMENT_BODY, 0, TITLE_HEIGHT, w, h - TITLE_HEIGHT);
    if (!g.handShown) return;
    const int px = HAND_PICTURE_X + (HAND_SIDE - g.handShown->width) / 2;
    const int py = HAND_PICTURE_Y + (HAND_SIDE - g.handShown->height) / 2;
    window_draw_image(window, g.handShown, px, py);
    char text[512];
    gallery_held_text(text, sizeof text, &g.gallery.held);
    font_set_style(FONT_SYSTEM, ge_colour(GE_MSGBOX_TEXT), ge_colour(GE_MSGBOX_TEXT_SHADOW));
    font_set_layout(0, HAND_W - HAND_TEXT_X - HAND_PICTURE_X);
    window_draw_text(window, text, HAND_TEXT_X, HAND_PICTURE_Y);
}

int hand_handler(int window, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            hand_paint(window, (int)event->a, (int)event->b);
            return 0;
        case WE_BUTTON:
            button_pressed((int)event->a);
            return 1;
        default:
            return 0;
    }
}

int panel_handler(int /*window*/, KernelEvent* event) {
    if (event->type != WE_BUTTON) return 0;
    button_pressed((int)event->a);
    return 1;
}

// --- Building the windows ---

int text_button(int parent, int x, int y, int w, int h, int text) {
    return button_register(parent, BS_PUSH | BS_TEXT | BS_FRAME, x, y, w, h, 0, lt_get(text), ELEMENT_BUTTON,
                           0);
}

void build_view_window() {
    g.view = window_register(g.room, TW_CHILD | TW_RAISE | TW_TITLE | TW_OUTSIDE, VIEW_X, VIEW_Y, 100, 100,
                             view_handler, nullptr);
    window_set_title(g.view, lt_get(TEXT_VIEW_TITLE));
    g.viewStrip = icon_strip_create(g.view);
    for (int z = 0; z <= G3D_ZOOM_MAX; z++)
        g.zoomButtons[z] = icon_strip_add(g.viewStrip, GE_PICTURE_ZOOM + 2 * z, 0);
    g.viewHelp = icon_strip_add(g.viewStrip, GE_PICTURE_HELP, 0);
    view_build();
    window_restore_placement(g.view, SECTION, "ViewWin", PLACE_POSITION);
}

void build_hand_window(int y) {
    g.hand = window_register(g.room, TW_CHILD | TW_RAISE | TW_TITLE, HAND_X, y, HAND_W, HAND_H, hand_handler,
                             nullptr);
    window_set_title(g.hand, lt_get(TEXT_HAND_TITLE));
    const int texts[3] = {TEXT_HANG, TEXT_TAKE, TEXT_DISCARD};
    for (int i = 0; i < 3; i++)
        g.controls[GALLERY_HANG + i] =
            text_button(g.hand, i * HAND_BUTTON_W, HAND_BUTTON_Y, HAND_BUTTON_W, ROW, texts[i]);
    g.handStrip = icon_strip_create(g.hand);
    g.handHelp = icon_strip_add(g.handStrip, GE_PICTURE_HELP, 0);
    window_restore_placement(g.hand, SECTION, "TempWin", PLACE_POSITION);
}

void build_panel() {
    g.controls[GALLERY_LOOK] = text_button(g.room, 0, screen.height - LOOK_BOTTOM, 0, LOOK_H, TEXT_LOOK);
    int w, h;
    window_size(g.controls[GALLERY_LOOK], &w, &h);
    w = std::max(w, LOOK_W);
    window_resize(g.controls[GALLERY_LOOK], w, LOOK_H);
    window_move(g.controls[GALLERY_LOOK], screen.width - PANEL_RIGHT - LOOK_GAP - w,
                screen.height - LOOK_BOTTOM);
    g.panel = window_register(g.room, TW_CHILD | TW_SHADOW, screen.width - PANEL_RIGHT,
                              screen.height - PANEL_BOTTOM, PANEL_W, ROW, panel_handler, nullptr);
    const int bar = button_bar_create(g.panel);
    g.controls[GALLERY_SAVE] = button_bar_add(bar, 2, 0, nullptr, GE_PICTURE_SAVE, 0, PANEL_BUTTON_W);
    g.controls[GALLERY_CANCEL] = button_bar_add(bar, 1, 0, nullptr, GE_PICTURE_CANCEL, 0, PANEL_BUTTON_W);
    g.controls[GALLERY_HELP] = button_bar_add(bar, 0, 0, nullptr, GE_PICTURE_ROOM_HELP, 0, PANEL_BUTTON_W);
    button_bar_layout(bar);
}

}  // namespace

void galleryroom_create() {
    g = {};
    g.hand = g.info = -1;  // laid out once they exist
    if (!g3dscene_init(ge_skin_file(), CONFIG_INI, screen.width, screen.height))
        io_log("gallery: the view's textures are missing\n");
    g3dscene_set_pictures(place_picture);
    g.room = window_register(-1, TW_SCREEN, 0, 0, 0, 0, room_handler, nullptr);
    build_view_window();
    // The holding and info windows start below the view when the view reaches down to them, so
    // that nothing covers the view or its zoom strip (a place the player chose is kept).
    int vx, vy, vw, vh;
    window_screen_pos(g.view, &vx, &vy);
    window_size(g.view, &vw, &vh);
    const int belowY =
        std::max(HAND_Y, std::min(vy + vh + WINDOW_GAP, screen.height - HAND_H - PANEL_BOTTOM - 8));
    build_hand_window(belowY);
    g.info = text_window_create(g.room, INFO_WIDTH, INFO_LINES);
    window_move(g.info, INFO_X, belowY);
    window_restore_placement(g.info, SECTION, "InfoWin", PLACE_POSITION | PLACE_ROLLED_UP);
    lay_out_windows();
    show_target();
    build_panel();
    g_created = 1;
}

GalleryLayout gallery_layout(int screenWidth, int screenHeight, int zoom, Rect view, Rect hand, Rect info) {
    const int top = GE_TOP_BAR_HEIGHT + WINDOW_GAP, bottom = screenHeight - LOOK_BOTTOM - WINDOW_GAP;
    auto clampi = [](int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; };
    auto inside = [&](const Rect& r) {
        return r.x >= 0 && r.y >= top && r.x + r.w <= screenWidth && r.y + r.h <= bottom;
    };
    auto meets = [](const Rect& a, const Rect& b) {
        const Rect both = rect_intersect(a, b);
        return both.w > 0 && both.h > 0;
    };
    GalleryLayout l = {0, view, hand, info};
    for (int z = zoom < 0 ? 0 : zoom > G3D_ZOOM_MAX ? G3D_ZOOM_MAX : zoom; z >= 0; z--) {
        const int vw = g3d_view_width(screenWidth, z);
        Rect v = {0, 0, vw + VIEW_EXTRA_W, vw / 2 + VIEW_EXTRA_H};
        v.x = clampi(view.x, 0, std::max(0, screenWidth - v.w));
        v.y = clampi(view.y, top, std::max(top, bottom - v.h));
        l = {z, v, hand, info};
        if (v.y + v.h > bottom && z > 0) continue;
        // Windows the player put clear of the view stay.
        if (inside(hand) && inside(info) && !meets(hand, v) && !meets(info, v) && !meets(hand, info))
            return l;
        const Rect guard = {v.x - WINDOW_GAP, v.y - WINDOW_GAP, v.w + 2 * WINDOW_GAP, v.h + 2 * WINDOW_GAP};
        // Below the view, side by side.
        const int below = v.y + v.h + WINDOW_GAP, pair = hand.w + WINDOW_GAP + info.w;
        if (below + std::max(hand.h, info.h) <= bottom && pair <= screenWidth) {
            l.hand.x = clampi(v.x, 0, screenWidth - pair), l.hand.y = below;
            l.info.x = l.hand.x + hand.w + WINDOW_GAP, l.info.y = below;
            return l;
        }
        // Beside it, one above the other: right, then left.
        const int column = std::max(hand.w, info.w), stack = hand.h + WINDOW_GAP + info.h;
        const int y0 = clampi(v.y, top, std::max(top, bottom - stack));
        for (int x : {v.x + v.w + WINDOW_GAP, v.x - WINDOW_GAP - column}) {
            const Rect side = {x, y0, column, stack};
            if (!inside(side) || meets(side, guard)) continue;
            l.hand.x = x, l.hand.y = y0;
            l.info.x = x, l.info.y = y0 + hand.h + WINDOW_GAP;
            return l;
        }
    }
    // Not even the smallest view leaves room: below it all the same, kept on the screen.
    l.hand.x = 0, l.hand.y = clampi(l.view.y + l.view.h + WINDOW_GAP, top, std::max(top, bottom - hand.h));
    l.info.x = hand.w + WINDOW_GAP, l.info.y = l.hand.y;
    return l;
}

void galleryroom_enter() { enter_with(nullptr, nullptr); }

int gallery_slot_from_box(const char* name, GallerySlot* slot, Image** picture) {
    *picture = nullptr;
    FileStamp stamp;
    BoxRecord record;
    SaveInfo summary;
    saveinfo_clear(&summary);
    Image* full = nullptr;
    if (box_read(name, &stamp, &record, BOX_PICTURE) && quicksave_read_info(name, &stamp, &summary))
        full = pic_load_jpeg_image(BOX_PICTURE_FILE);
    box_clear_work_files(BOX_PICTURE);
    if (!full) return 0;
    const int frame = ge_colour(GALLERY_FRAME_COLOUR);
    *picture = gallery_picture_make(full, frame < 0 ? 0u : (uint32_t)frame);
    io_mem_free(full);
    if (!*picture) return 0;
    std::memset(slot, 0, sizeof *slot);
    slot->present = 1;
    str_copy_bounded(slot->name, name, sizeof slot->name);
    slot->pieceCount = summary.pieceCount;
    slot->seconds = summary.elapsedSeconds;
    std::memcpy(slot->date, summary.date, sizeof slot->date);
    slot->date[sizeof slot->date - 1] = 0;
    return 1;
}

int galleryroom_add_box(const char* name) {
    GallerySlot slot;
    Image* picture;
    if (!gallery_slot_from_box(name, &slot, &picture)) return 0;
    enter_with(&slot, picture);
    return 1;
}
