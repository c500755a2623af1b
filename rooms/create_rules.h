// rooms/create_rules.h -- the create room's rules, apart from its windows: the picture area,
// fitting and sizing the picture, the piece-size range, the recommended screen and the info text.
#pragma once
#include "base/rect.h"
#include "puzzle/box.h"

inline constexpr int CREATE_PICTURE_MIN = 40;  // a side below this is refused (text 431)

// The picture area for a screen: centred, 28 from the top, screen width - 20 by height - 80.
Rect create_picture_area(int screenWidth, int screenHeight);
// Where a width x height picture lies on that screen: centred in the area.
Rect create_picture_rect(int screenWidth, int screenHeight, int width, int height);
// width x height scaled down, proportions kept, to fit areaWidth x areaHeight; a picture that
// fits keeps its size.
void create_fit(int width, int height, int areaWidth, int areaHeight, int* fitWidth, int* fitHeight);
// The size slider: tall mode (the slider sets the height) when the picture is at most as wide as
// high, its range from imported height x 40 / imported width up to the fitted height; wide mode
// sets the width, from imported width x 40 / imported height up to the fitted width.
struct CreateSizeSlider {
    int tall;  // 1: the slider sets the height
    int minimum, maximum;
};
CreateSizeSlider create_size_slider(int importedWidth, int importedHeight, int fitWidth, int fitHeight);
// The picture size for slider value v (integer division, as the slider's mode says).
void create_size_at(int importedWidth, int importedHeight, int tall, int value, int* width, int* height);
// The piece-size range's top: min(width, height) / 2, never below BOX_PIECE_SIZE_MIN.
int create_piece_size_max(int width, int height);
// The first of the six standard screens whose play area (width - 20, height - 80) holds the
// picture; 0 when none does.
int create_recommended_screen(int width, int height, int* screenWidth, int* screenHeight);
// The info window's text for a box name and its record; empty when there is no picture
// (record->width == 0).
void create_info_text(const char* name, const BoxRecord* record, char* out, int size);
