// tools/mkpack/skin_preview.cpp -- the skin's pages of the contact sheet: every sheet picture
// with its number, the sheets themselves, frame elements at a few sizes, a mock-up of rooms
// and windows put together from the sheets the way the game cuts them, and the textures and
// pictures (the desk and the walls tinted as the game tints them).
#include "image/img.h"
#include "image/img_scale.h"
#include "platform/io_mem.h"
#include "tools/mkpack/skin_local.h"

namespace {

Canvas scaled(const Canvas& c, int k) {
    Canvas s(c.w * k, c.h * k);
    for (int y = 0; y < s.h; y++)
        for (int x = 0; x < s.w; x++)
            std::copy_n(c.at(x / k, y / k), 4, s.at(x, y));
    return s;
}

Canvas cut(const Canvas& c, int x, int y, int w, int h) {
    Canvas part(w, h);
    canvas_copy(part, 0, 0, c, x, y, w, h);
    return part;
}

// Lettering as the game's fonts look: small and medium bold sans, large serif; a shadow one
// pixel down and right.
void text(Canvas& c, const char* face, float size, const std::string& s, int x, int baseline, uint32_t colour,
          int shadow = -1) {
    Mask m;
    if (!text_mask(face, size, s, 0, &m)) return;
    if (shadow >= 0) draw_mask(c, m, x + 1, baseline + 1, rgb((uint32_t)shadow));
    draw_mask(c, m, x, baseline, rgb(colour));
}
int text_width(const char* face, float size, const std::string& s) {
    Mask m;
    return text_mask(face, size, s, 0, &m) ? m.w - 2 : 0;
}

struct Scene {
    Canvas& c;
    const Canvas& a;
    const Canvas& b;
    void frame(int e, int x, int y, int w, int h) { preview_frame(c, a, b, e, x, y, w, h); }
    void picture(int n, int x, int y) {
        Rect r = ge_picture_rect(n);
        canvas_draw(c, cut(a, r.x, r.y, r.w, r.h), x, y);
    }
    // The soft shadow the window manager casts under a window (element 0's shape).
    void shadow(int x, int y, int w, int h, float sigma, int offset) {
        Canvas shape(c.w, c.h);
        preview_frame(shape, a, b, 0, x, y, w, h);
        canvas_draw(c, canvas_shadow_of(shape, sigma * 1.7f, offset, offset, rgb(0x000000, 145.0f / 255.0f)),
                    0, 0);
    }
    void window(int x, int y, int w, int h, const char* title, bool raisable, bool rollup, bool close) {
        shadow(x, y, w, h, 2.0f, 2);
        preview_title_bar(c, a, b, x, y, w, raisable, rollup, close);
        text(c, FACE_SANS_BOLD, 11, title, x + 24, y + 13, skin_colour(14), (int)skin_colour(15));
    }
    void button_text(int x, int y, int w, int h, const char* s, int colour) {
        int tw = text_width(FACE_SANS_BOLD, 13, s);
        text(c, FACE_SANS_BOLD, 13, s, x + (w - tw) / 2, y + h / 2 + 5, skin_colour(colour),
             (int)skin_colour(11));
    }
    void sunken(int x, int y, int w, int h) {  // the bevelled box of colours 0..7
        for (int i = 1; i < w - 1; i++) {
            c.over(x + i, y, rgb(skin_colour(1)), 1);
            c.over(x + i, y + h - 1, rgb(skin_colour(6)), 1);
        }
        for (int j = 1; j < h - 1; j++) {
            c.over(x, y + j, rgb(skin_colour(3)), 1);
            c.over(x + w - 1, y + j, rgb(skin_colour(4)), 1);
        }
        c.over(x, y, rgb(skin_colour(0)), 1);
        c.over(x + w - 1, y, rgb(skin_colour(2)), 1);
        c.over(x, y + h - 1, rgb(skin_colour(5)), 1);
        c.over(x + w - 1, y + h - 1, rgb(skin_colour(7)), 1);
    }
};

void tile_over(Canvas& dst, const Canvas& tile) {
    for (int y = 0; y < dst.h; y += tile.h)
        for (int x = 0; x < dst.w; x += tile.w)
            canvas_draw(dst, tile, x, y);
}

// The desk as the game builds it: tinted, then darkened towards the bottom by the gamma ramp.
Canvas built_desk(const Canvas& desk, int w, int h) {
    Canvas tinted = canvas_colourise(desk, DESK_HUE, DESK_BRIGHTNESS, DESK_SATURATION);
    Canvas c(w, h);
    tile_over(c, tinted);
    const double top = 0.92, bottom = 1.22;
    for (int y = 0; y < h; y++) {
        double e = top + (bottom - top) / h * y;
        for (int x = 0; x < w; x++) {
            float* p = c.at(x, y);
            for (int k = 0; k < 3; k++)
                p[k] = (float)std::pow(p[k], e);
        }
    }
    return c;
}

// A thumbnail of a box on the shelf, cut from the intro's landscape.
void shelf_box(Scene& s, const Canvas& intro, int x, int y, int w, int h, bool selected, int badge,
               int pieces, bool rotation, bool hidden, int sx, int sy) {
    Canvas& c = s.c;
    // Drop shadow, picture, frame.
    Canvas shape(c.w, c.h);
    fill_all(
        shape,
        [=](float px, float py) {
            return sd_rect(px, py, (float)x, (float)y, (float)(x + w), (float)(y + h));
        },
        rgb(0, 1));
    canvas_draw(c, canvas_shadow_of(shape, 3, 3, 3, rgb(0x000000, 0.5f)), 0, 0);
    if (hidden) {
        fill_all(
            c,
            [=](float px, float py) {
                return sd_rect(px, py, (float)x, (float)y, (float)(x + w), (float)(y + h));
            },
            rgb(skin_colour(26)));
        s.picture(GE_PICTURE_HIDDEN, x + (w - 48) / 2, y + (h - 48) / 2);
    } else {
        Canvas thumb(w, h);
        for (int yy = 0; yy < h; yy++)
            for (int xx = 0; xx < w; xx++)
                std::copy_n(intro.at(sx + xx * 2, sy + yy * 2), 4, thumb.at(xx, yy));
        canvas_draw(c, thumb, x, y);
    }
    Rgba outline = rgb(skin_colour(selected ? 20 : 21));
    for (int i = -1; i <= w; i++) {
        c.over(x + i, y - 1, outline, 1);
        c.over(x + i, y + h, outline, 1);
    }
    for (int j = -1; j <= h; j++) {
        c.over(x - 1, y + j, outline, 1);
        c.over(x + w, y + j, outline, 1);
    }
    if (badge) s.picture(badge, x - 15, y - 15);
    int px = x + w - 18, py = y + h - 18;
    s.picture(GE_PICTURE_ROTATION + (rotation ? 1 : 0), px, py);
    std::string n = std::to_string(pieces);
    int tw = text_width(FACE_SANS_BOLD, 11, n);
    text(c, FACE_SANS_BOLD, 11, n, px - tw, py + 13, skin_colour(22), (int)skin_colour(23));
}

Canvas mockup(const Canvas& a, const Canvas& b, const Canvas& desk, const Canvas& logo, const Canvas& intro,
              const Canvas& sparkle) {
    const int W = 900, H = 600;
    Canvas c = built_desk(desk, W, H);
    Scene s{c, a, b};
    // The room's top bar.
    fill_all(
        c, [](float px, float py) { return sd_rect(px, py, 0, 0, 900, 20); }, rgb(skin_colour(27)));
    for (int y = 20; y < 26; y++)
        for (int x = 0; x < W; x++)
            c.over(x, y, rgb(0, 1), 0.35f * (1 - (y - 20) / 6.0f));
    canvas_draw(c, logo, 1, 0);
    text(c, FACE_SERIF_BOLD, 17, "Store Room", 33, 16, skin_colour(28), (int)skin_colour(29));
    int gw = text_width(FACE_SERIF_BOLD, 17, "Lumavex");
    text(c, FACE_SERIF_BOLD, 17, "Lumavex", W - gw - 20, 16, skin_colour(28), (int)skin_colour(29));
    s.picture(GE_PICTURE_CORNER, W - 20, 0);
    {
        int tw = text_width(FACE_SANS_BOLD, 11, "Double-click a box to play it");
        text(c, FACE_SANS_BOLD, 11, "Double-click a box to play it", 450 - tw / 2, 36, 0xFFFFFF, 0x000000);
    }

    // Main panel: a titled menu of text buttons.
    {
        const char* items[] = {"Play", "New box", "Gift", "Gallery", "Help", "Quit"};
        int x = 20, y = 50, w = 120, n = 6;
        s.window(x, y, w, 18 + 24 * n, "Lumavex", true, false, false);
        for (int i = 0; i < n; i++) {
            s.frame(i == n - 1 ? 8 : 24, x, y + 18 + 24 * i, w, 24);
            s.button_text(x, y + 18 + 24 * i, w, 24, items[i], i == 1 ? 10 : 8);
        }
    }
    // Tools window: a grid of joined buttons.
    {
        int x = 320, y = 50;
        s.window(x, y, 300, 66, "Tools", true, true, true);
        const int row1[4] = {28, 30, 30, 26}, row2[3] = {12, 14, 10};
        const char* t1[4] = {"Edit", "Delete", "Use", "Reset"};
        const char* t2[3] = {"Rename", "About", "Web site"};
        for (int i = 0; i < 4; i++) {
            s.frame(row1[i], x + 75 * i, y + 18, 75, 24);
            s.button_text(x + 75 * i, y + 18, 75, 24, t1[i], i == 3 ? 9 : 8);
        }
        for (int i = 0; i < 3; i++) {
            s.frame(row2[i], x + 75 * i, y + 42, i == 2 ? 150 : 75, 24);
            s.button_text(x + 75 * i, y + 42, i == 2 ? 150 : 75, 24, t2[i], 8);
        }
    }
    // Message box: body, text, a bar with OK and Cancel.
    {
        int x = 200, y = 250, w = 320, h = 150;
        s.window(x, y, w, h, "Lumavex", false, false, false);
        s.frame(25, x, y + 18, w, h - 42);
        text(c, FACE_SANS_BOLD, 11, "Do you really want to delete this box?", x + 10, y + 40, skin_colour(18),
             (int)skin_colour(19));
        text(c, FACE_SANS_BOLD, 11, "Its saved game goes with it.", x + 10, y + 56, skin_colour(18),
             (int)skin_colour(19));
        int by = y + h - 24, cancel_x = x + w - 24 - 90, ok_x = cancel_x - 90;
        s.frame(13, x, by, ok_x - x, 24);
        s.frame(14, ok_x, by, 90, 24);
        s.picture(GE_PICTURE_OK + 1, ok_x + 29, by - 4);
        s.frame(14, cancel_x, by, 90, 24);
        s.picture(GE_PICTURE_CANCEL, cancel_x + 29, by - 4);
        s.frame(11, x + w - 24, by, 24, 24);
    }
    // Progress window.
    {
        int x = 480, y = 140, w = 380;
        s.window(x, y, w, 81, "Making the gift", false, false, false);
        s.frame(9, x, y + 18, w, 63);
        text(c, FACE_SANS_BOLD, 11, "Packing \"Lighthouse at dusk\"...", x + 10, y + 40, skin_colour(18),
             (int)skin_colour(19));
        s.sunken(x + 9, y + 52, 362, 20);
        for (int i = 0; i < 36; i++)
            s.picture(GE_PICTURE_PROGRESS_BLOCK, x + 10 + 6 * i, y + 53);
    }
    // A slider in a small window, and option ticks.
    {
        int x = 650, y = 250, w = 220, h = 148;
        s.window(x, y, w, h, "Options", true, true, false);
        s.frame(9, x, y + 18, w, h - 18);
        int sx = x + 10, sy = y + 26, sw = 200;
        s.frame(4, sx, sy, 32, 32);
        s.frame(33, sx + 32, sy, sw - 64, 32);
        s.frame(2, sx + sw - 32, sy, 32, 32);
        s.picture(GE_PICTURE_SLIDER_LEFT, sx + 4, sy + 4);
        s.picture(GE_PICTURE_SLIDER_RIGHT + 1, sx + sw - 28, sy + 4);
        s.picture(GE_PICTURE_TRACK_START, sx + 32, sy + 8);
        for (int px = sx + 44; px < sx + sw - 44; px += 12)
            s.picture(GE_PICTURE_TRACK, px, sy + 8);
        s.picture(GE_PICTURE_TRACK_END, sx + sw - 44, sy + 8);
        s.picture(GE_PICTURE_SLIDER_THUMB, sx + 80 - 9, sy + 8);
        int tw = text_width(FACE_SANS_BOLD, 11, "Piece size");
        text(c, FACE_SANS_BOLD, 11, "Piece size", sx + sw / 2 - tw / 2, sy + 11, skin_colour(12),
             (int)skin_colour(13));
        const char* opts[] = {"Rotation", "Hidden picture", "Tune"};
        for (int i = 0; i < 3; i++) {
            s.picture(GE_PICTURE_TICK + (i == 1 ? 0 : 1), x + 10 + 5, y + 68 + 22 * i);
            text(c, FACE_SANS_BOLD, 13, opts[i], x + 43, y + 82 + 22 * i, skin_colour(8),
                 (int)skin_colour(11));
        }
        s.picture(GE_PICTURE_RADIO + 1, x + 150, y + 68);
        s.picture(GE_PICTURE_RADIO, x + 150, y + 90);
    }
    // The picture window: panel 89, a sunken frame with the picture, the icon strip.
    {
        int x = 20, y = 260, pw = 128, ph = 80, w = pw + 10, h = ph + 46;
        s.window(x, y, w, h, "Picture", false, false, true);
        s.frame(89, x, y + 18, w, h - 18 - 18);
        s.sunken(x + 4, y + 22, pw + 2, ph + 2);
        Canvas pic(pw, ph);
        for (int yy = 0; yy < ph; yy++)
            for (int xx = 0; xx < pw; xx++)
                std::copy_n(intro.at(xx * 480 / pw, yy * 300 / ph), 4, pic.at(xx, yy));
        canvas_draw(c, pic, x + 5, y + 23);
        int strip_y = y + h - 18;
        s.frame(13, x, strip_y, 24, 18);
        for (int i = 0; i < 5; i++)
            s.picture(GE_PICTURE_ZOOM + 2 * i + (i == 2 ? 1 : 0), x + 24 + 18 * i, strip_y);
        s.frame(11, x + 24 + 90, strip_y, w - 24 - 90, 18);
    }
    // Boxes on the shelf, a join sparkle, a rubber band.
    shelf_box(s, intro, 200, 470, 80, 50, true, GE_PICTURE_FINISHED, 96, true, false, 200, 60);
    shelf_box(s, intro, 320, 470, 80, 60, false, GE_PICTURE_STARTED, 150, false, false, 20, 100);
    shelf_box(s, intro, 440, 470, 80, 60, false, 0, 48, true, true, 0, 0);
    shelf_box(s, intro, 560, 480, 60, 80, false, 0, 24, false, false, 300, 20);
    canvas_draw(c, cut(sparkle, 3 * 32, 0, 32, 32), 700, 480);
    for (int i = 0; i < 120; i += 2) {
        c.over(180 + i, 450, rgb(skin_colour(30)), 1);
        c.over(180 + i, 545, rgb(skin_colour(30)), 1);
    }
    canvas_flatten(c, rgb(0));
    return c;
}

// Every sheet picture twice its size with its number, on a checker that shows transparency.
Canvas picture_table(const Canvas& a) {
    const int CELL = 104, COLS = 7;
    Canvas c(CELL * COLS, CELL * ((GE_PICTURE_COUNT + COLS - 1) / COLS));
    for (int n = 0; n < GE_PICTURE_COUNT; n++) {
        Rect r = ge_picture_rect(n);
        int k = r.w <= 24 && r.h <= 24 ? 3 : 2;
        Canvas big = scaled(cut(a, r.x, r.y, r.w, r.h), k);
        int cx = (n % COLS) * CELL, cy = (n / COLS) * CELL;
        canvas_draw(c, big, cx + (CELL - big.w) / 2, cy + 4 + (84 - big.h) / 2);
        draw_number(c, cx + 4, cy + CELL - 16, n, 2, rgb(0x102020));
        for (int i = 0; i < CELL; i++) {
            c.over(cx + i, cy, rgb(0x404040), 0.5f);
            c.over(cx, cy + i, rgb(0x404040), 0.5f);
        }
    }
    return c;
}

// Frame elements in use, each at three sizes, numbered.
Canvas element_table(const Canvas& a, const Canvas& b, const Canvas& desk) {
    const int elements[] = {0, 2, 4, 6, 8, 9, 10, 11, 12, 13, 14, 16, 24, 25, 26, 28, 30, 33, 89};
    const int n = (int)(sizeof elements / sizeof elements[0]);
    const int ROW = 70;
    Canvas c = built_desk(desk, 420, ROW * n);
    for (int i = 0; i < n; i++) {
        int y = i * ROW + 10;
        draw_number(c, 6, y + 14, elements[i], 3, rgb(0xFFFFFF));
        preview_frame(c, a, b, elements[i], 60, y, 24, 24);
        preview_frame(c, a, b, elements[i], 100, y, 90, 32);
        preview_frame(c, a, b, elements[i], 210, y, 200, 50);
    }
    canvas_flatten(c, rgb(0));
    return c;
}

}  // namespace

Canvas canvas_colourise(const Canvas& c, int hue, int brightness, int saturation) {
    Image* src = img_create(c.w, c.h, IMG_24BIT);
    Image* dst = img_create(c.w, c.h, IMG_24BIT);
    ImageView vs, vd;
    img_view(&vs, src, 0, 0);
    img_view(&vd, dst, 0, 0);
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            const float* p = c.at(x, y);
            uint8_t* d = vs.pixels + (ptrdiff_t)y * vs.pitch + 3 * x;
            for (int k = 0; k < 3; k++)
                d[k] = (uint8_t)std::lround(clamp01(p[2 - k]) * 255);
        }
    img_colourise(&vd, &vs, hue, brightness, saturation);
    Canvas out(c.w, c.h);
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            const uint8_t* s = vd.pixels + (ptrdiff_t)y * vd.pitch + 3 * x;
            out.set(x, y, {s[2] / 255.0f, s[1] / 255.0f, s[0] / 255.0f, 1});
        }
    io_mem_free(src);
    io_mem_free(dst);
    return out;
}

void skin_contact_sheet(const Canvas& active, const Canvas& inactive, const Canvas& logo,
                        const Canvas& sparkle, const Canvas& desk, const Canvas& wall, const Canvas& floor,
                        const Canvas& ceiling, const Canvas& intro, const Canvas& icon, const Canvas& cursor,
                        const Canvas& tint, const Canvas& options_logo, std::vector<SheetPicture>* sheet) {
    Canvas scene = mockup(active, inactive, desk, logo, intro, sparkle);
    sheet->push_back(canvas_to_sheet(scene, "skin: rooms and windows put together", 1));
    sheet->push_back(
        canvas_to_sheet(scaled(cut(scene, 0, 0, 450, 230), 2), "the same, top left, twice the size", 1));
    sheet->push_back(
        canvas_to_sheet(scaled(cut(scene, 440, 130, 450, 300), 2), "the same, right, twice the size", 1));
    sheet->push_back(canvas_to_sheet(picture_table(active), "skin pictures 0-48 (img/active.img)", 1));
    sheet->push_back(
        canvas_to_sheet(element_table(active, inactive, desk), "frame elements at three sizes", 1));
    sheet->push_back(canvas_to_sheet(active, "img/active.img x3", 3));
    sheet->push_back(canvas_to_sheet(inactive, "img/inactive.img x4", 4));
    sheet->push_back(canvas_to_sheet(intro, "img/intro.jpg", 1));
    sheet->push_back(canvas_to_sheet(built_desk(desk, 1300, 720),
                                     "img/background.jpg tinted with the skin's colour over 1300 x 720", 1));
    sheet->push_back(canvas_to_sheet(desk, "img/background.jpg as stored", 1));
    Canvas walls(4 * GALLERY_SIZE, GALLERY_SIZE);
    for (int i = 0; i < 4; i++) {
        int hue, sat, bright;
        gallery_tint(i, &hue, &sat, &bright);
        Canvas t = canvas_colourise(wall, hue, bright, sat);
        canvas_copy(t, 0, 0, wall, 0, 0, GALLERY_SIZE, 3);
        canvas_copy(t, 0, GALLERY_SIZE - 3, wall, 0, GALLERY_SIZE - 3, GALLERY_SIZE, 3);
        canvas_draw(walls, t, i * GALLERY_SIZE, 0);
    }
    sheet->push_back(canvas_to_sheet(walls, "img/gallery/wall.jpg in the four wall tints", 1));
    Canvas fc(4 * GALLERY_SIZE, 2 * GALLERY_SIZE);
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++) {
            canvas_draw(fc, floor, i * GALLERY_SIZE, j * GALLERY_SIZE);
            canvas_draw(fc, ceiling, 2 * GALLERY_SIZE + i * GALLERY_SIZE, j * GALLERY_SIZE);
        }
    sheet->push_back(canvas_to_sheet(fc, "img/gallery/floor.jpg and ceiling.jpg, 2 x 2 tiles each", 1));
    sheet->push_back(canvas_to_sheet(sparkle, "img/connected.img x3", 3));
    sheet->push_back(canvas_to_sheet(logo, "img/lttl_pzzl.img x4", 4));
    sheet->push_back(canvas_to_sheet(icon, "img/icon.img x2", 2));
    sheet->push_back(canvas_to_sheet(cursor, "img/cursor.img x3", 3));
    sheet->push_back(canvas_to_sheet(tint, "img/options_tint.img", 1));
    sheet->push_back(canvas_to_sheet(options_logo, "img/options_logo.img", 1));
}
