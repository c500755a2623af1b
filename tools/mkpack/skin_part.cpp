// tools/mkpack/skin_part.cpp -- the skin's part of the data pack: "skin.ini" written from the
// palette, the two sprite sheets, the little logo, the desk, the sparkle strip, the intro
// picture, the gallery textures, the window icon, the cursor and the options dialog's two
// pictures; and their pages of the contact sheet.
#include <cstdio>

#include "tools/mkpack/skin_local.h"

namespace {

struct NamedColour {
    const char* key;
    uint32_t value;
};

// The 36 interface colours in the order the game numbers them.
constexpr NamedColour SKIN_COLOURS[36] = {
    {"Bevel_LT", 0x8A7B68},
    {"Bevel_T", 0x9E8F7B},
    {"Bevel_RT", 0xD8CCB8},
    {"Bevel_L", 0x9E8F7B},
    {"Bevel_R", 0xFFFDF8},
    {"Bevel_LB", 0xD8CCB8},
    {"Bevel_B", 0xFFFDF8},
    {"Bevel_RB", pal::WHITE},
    {"ButtonTextActive", pal::INK},
    {"ButtonTextInactive", pal::GREY_TEXT},
    {"ButtonTextHover", 0xA8501A},
    {"ButtonTextShadow", pal::WHITE},
    {"TrackbarText", pal::INK},
    {"TrackbarTextShadow", pal::WHITE},
    {"WindowTitleText", pal::CREAM},
    {"WindowTitleTextShadow", pal::TEAL_INK},
    {"EditBoxText", pal::INK},
    {"EditBoxBackground", 0xFFFDF7},
    {"MsgBoxText", pal::INK},
    {"MsgBoxTextShadow", pal::WHITE},
    {"PreviewOutlineActive", pal::AMBER},
    {"PreviewOutlineInactive", 0x2A211B},
    {"PreviewNumberOfPiecesText", pal::WHITE},
    {"PreviewNumberOfPiecesTextShadow", 0x1A1410},
    {"PreviewBottomText", pal::AMBER_LIGHT},
    {"PreviewBottomTextShadow", 0x1A1410},
    {"PreviewSurprise", pal::TEAL},
    {"RoomTitleBar", pal::TEAL_DEEP},
    {"RoomTitleBarText", pal::CREAM},
    {"RoomTitleBarTextShadow", 0x0C201F},
    {"Selection", pal::AMBER_LIGHT},
    {"CreateDesk", 0x2C2824},
    {"CreateDeskOutline", 0x8C7B66},
    {"CreateDeskPresentSize", pal::AMBER},
    {"CreateCurvePreview", pal::TEAL},
    {"GalleryOutline", pal::GOLD},
};

// The four wall tints of the gallery: hue, saturation %, brightness %.
constexpr int GALLERY_TINTS[4][3] = {{38, 22, 12}, {96, 16, 6}, {205, 18, 4}, {14, 26, 2}};

void add(std::vector<PackResource>* out, const char* name, std::vector<uint8_t> bytes) {
    out->push_back({name, std::move(bytes)});
}

bool add_jpeg(std::vector<PackResource>* out, const char* name, const Canvas& c, int quality) {
    std::vector<uint8_t> bytes;
    if (!canvas_to_jpeg(c, quality, &bytes)) {
        std::fprintf(stderr, "mkpack: %s: the JPEG writer failed\n", name);
        return false;
    }
    add(out, name, std::move(bytes));
    return true;
}

}  // namespace

std::string skin_ini_text() {
    std::string s =
        "; Lumavex skin: the interface colours (red green blue), the desk and the gallery.\r\n[COLORS]\r\n";
    char line[128];
    for (const NamedColour& c : SKIN_COLOURS) {
        std::snprintf(line, sizeof line, "%s=%u %u %u\r\n", c.key, (c.value >> 16) & 255,
                      (c.value >> 8) & 255, c.value & 255);
        s += line;
    }
    s += "\r\n; The desk: hue (degrees), saturation (0..100), brightness (-100..100); the light falls\r\n"
         "; off gently towards the bottom of the screen.\r\n[BACKGROUND]\r\n";
    std::snprintf(line, sizeof line, "Color=%d %d %d\r\nGradientTop=0.92\r\nGradientBottom=1.22\r\n",
                  DESK_HUE, DESK_SATURATION, DESK_BRIGHTNESS);
    s += line;
    s += "\r\n; The gallery's four wall colours: hue, saturation %, brightness %.\r\n[GALLERY]\r\n";
    for (int i = 0; i < 4; i++) {
        std::snprintf(line, sizeof line, "Texture%d=%d %d %d\r\n", i, GALLERY_TINTS[i][0],
                      GALLERY_TINTS[i][1], GALLERY_TINTS[i][2]);
        s += line;
    }
    return s;
}

uint32_t skin_colour(int n) { return SKIN_COLOURS[n].value; }
void gallery_tint(int n, int* hue, int* saturation, int* brightness) {
    *hue = GALLERY_TINTS[n][0];
    *saturation = GALLERY_TINTS[n][1];
    *brightness = GALLERY_TINTS[n][2];
}

bool part_skin(const std::string& assets, std::vector<PackResource>* out, std::vector<SheetPicture>* sheet) {
    (void)assets;  // everything of the skin is drawn in code
    const std::string ini = skin_ini_text();
    add(out, "skin.ini", std::vector<uint8_t>(ini.begin(), ini.end()));

    Canvas active = draw_sheet_active(), inactive = draw_sheet_inactive(), logo = draw_little_logo();
    add(out, "img/active.img", canvas_to_img(active, true));
    add(out, "img/inactive.img", canvas_to_img(inactive, true));
    add(out, "img/lttl_pzzl.img", canvas_to_img(logo, true));
    Canvas sparkle = draw_sparkle_strip();
    add(out, "img/connected.img", canvas_to_img(sparkle, true));

    Canvas desk = draw_desk_texture(), wall = draw_gallery_wall(), floor = draw_gallery_floor(),
           ceiling = draw_gallery_ceiling();
    Canvas intro, options_logo;
    if (!draw_intro(&intro) || !draw_options_logo(&options_logo)) return false;
    if (!add_jpeg(out, "img/background.jpg", desk, 92) || !add_jpeg(out, "img/intro.jpg", intro, 92) ||
        !add_jpeg(out, "img/gallery/wall.jpg", wall, 92) ||
        !add_jpeg(out, "img/gallery/floor.jpg", floor, 90) ||
        !add_jpeg(out, "img/gallery/ceiling.jpg", ceiling, 90))
        return false;

    Canvas icon = draw_window_icon(64), cursor = draw_cursor(), tint = draw_options_tint_field();
    add(out, "img/icon.img", canvas_to_img(icon, true));
    add(out, "img/cursor.img", canvas_to_img(cursor, true));
    add(out, "img/options_tint.img", canvas_to_img(tint, false));
    add(out, "img/options_logo.img", canvas_to_img(options_logo, false));

    if (sheet)
        skin_contact_sheet(active, inactive, logo, sparkle, desk, wall, floor, ceiling, intro, icon, cursor,
                           tint, options_logo, sheet);
    return true;
}
