// rooms/create_paint.h -- what the create room draws itself: the picture area and its frame with
// the background around them, the picture centred in the area with the cutting grid over it, and
// the edge-style buttons' sample edges. Everything draws into the dirty cells alone.
#pragma once
#include "image/img.h"

// How far any of the edge curves strays from its edge (across it, or beyond its ends), in edge
// lengths; taken once the curves are loaded.
double create_curve_reach();
// The room window's picture: the background around the area, the area (skin colour 31) and its
// frame (32), the shown picture (null: none) centred in it with the grid of grid_info() over it
// and the margins the grid leaves out darkened; scale is the shown picture's size over the
// cut's (below 1 for a picture larger than the area).
void create_paint_room(const Image* shown, int irregularity, double curveReach, double scale = 1.0);
// The face of the button of edge style k: the radio ring, then a sample edge of its curve fitted
// into the rest of the button; the pen's colour follows the button's state.
void create_paint_edge_button(int button, int k, int width, int height);
// Frees what the painting keeps between frames (the room's end).
void create_paint_free();
