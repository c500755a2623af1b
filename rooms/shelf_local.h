// rooms/shelf_local.h -- what the shelf's two files share (shelf.cpp: the boxes and their files;
// shelf_view.cpp: the shelf on the screen and the pointer). Nothing else includes it.
#pragma once
#include <cstdint>

#include "rooms/shelf.h"

// A box's drop shadow lies this far down and right: resting, and lifted while dragged.
inline constexpr int SHELF_SHADOW_SMALL_OFFSET = 2;
inline constexpr int SHELF_SHADOW_LARGE_OFFSET = 6;

struct ShelfClick {
    uint32_t time;  // ms
    int x, y;
    int valid;  // a press to pair with
};

struct ShelfState {
    int screenWidth, screenHeight;
    ShelfBox* head;  // top-most
    ShelfBox* tail;  // bottom-most
    int count;
    ShelfClick click;              // the last press that can begin a double click
    int smallRadius, largeRadius;  // blur radii of the two shadows, 0 until computed
    int labelWidth, labelHeight;   // the new-box label as drawn, once measured
    ShelfBox* hover;               // the box whose name label is shown, or null
    int hoverChanged;              // the label must be drawn anew
    Rect labelDrawn;               // where the label was last drawn (w 0: nowhere)
    int unusable;                  // box files left off: their names could not be made usable
    char unusableName[BOX_NAME_MAX];
};
extern ShelfState g_shelf;

void shelf_shadow_radii();             // the two blur radii, worked out on first use
void shelf_mark_drawn(ShelfBox* box);  // its state now is the state last drawn
// The area a box covers drawn at (x, y) in that dragging state becomes dirty.
void shelf_invalidate_at(const ShelfBox* box, int x, int y, int dragging);
