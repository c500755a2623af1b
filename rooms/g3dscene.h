// rooms/g3dscene.h -- the gallery's first-person view: the fixed floor plan of one closed room
// with a central hall and three alcoves, a camera that walks and turns and slides along walls,
// a software renderer casting one ray per view column (wall columns and floor / ceiling spans in
// 16.16 fixed point), and the target point: the wall place the player points at.
//
// World units: walls are 64 high; heading 0 points along +x, heading 90 along +y.
#pragma once
#include <cstdint>

#include "image/img.h"

inline constexpr int G3D_POINTS = 18, G3D_WALLS = 18;
inline constexpr int G3D_PLACES = 50;  // wall places (gallery slots) 0..49; walls reach 0..35
inline constexpr int G3D_ZOOM_MAX = 4, G3D_ZOOM_DEFAULT = 2;
inline constexpr int G3D_VIEW_MAX = 2048;
inline constexpr int G3D_FOV_DEGREES = 80;

struct G3dWall {
    int first, second;  // point indices
    int slot;           // first place of the wall (2 x i)
    int backSlot;       // first place seen from the other side (0 for every wall)
    int group;          // texture group 0..3
    double length;
};

struct G3dCamera {
    double x, y;
    int heading;  // whole degrees 0..359
    double turnSpeed, walkSpeed;
};

// What the renderer hangs on a place: the picture of a gallery slot, or null for an empty place.
// The picture is at most 256 x 256 (gallery pictures fit 248 x 248).
using G3dPlacePicture = const Image* (*)(int place);

// --- Set-up ---
// Wall lengths, the camera at its start, the three textures from the data pack and the four
// tinted wall variants ("Texture0".."Texture3" of "GALLERY" in the skin file), the zoom level
// ("ViewIZoom" of "GALLERYROOM" in config.ini, clamped). 0 when a texture is missing.
int g3dscene_init(const char* skinIni, const char* configIni, int screenWidth, int screenHeight);
void g3dscene_done();  // textures freed; the zoom level saved
void g3dscene_set_pictures(G3dPlacePicture pictures);
// Entering the gallery: speeds and held keys 0, mouse look off, the target recomputed.
void g3dscene_reset();

// --- The view ---
// View width for a zoom level on a screen: ((((screen width - 186) x z) / 4 + 146) | 3) + 1, at
// most G3D_VIEW_MAX; the height is half the width.
int g3d_view_width(int screenWidth, int zoom);
// The screen took a new width (the window was resized): the view is sized for it as at a start.
void g3dscene_set_screen_width(int screenWidth);
void g3dscene_set_zoom(int zoom);  // clamped to 0..G3D_ZOOM_MAX
int g3dscene_zoom();
void g3dscene_view_size(int* width, int* height);
double g3d_focal_length(int viewWidth);  // (width / 2) / tan(40 degrees)
// Renders the view into a 24-bit picture of the view's size (rows top to bottom); only rows and
// columns inside the clip rectangle (view coordinates) are written.
void g3dscene_render(ImageView* view, int clipX, int clipY, int clipWidth, int clipHeight);

// --- Movement ---
// Held keys: 0 left, 1 right, 2 up, 3 down.
void g3dscene_key(int key, int down);
// One kernel tick: speeds from the held keys, then a move; 1 when the camera moved (redraw).
int g3dscene_tick();
// Turns by t degrees and walks d units, in steps of at most one unit, sliding along walls that
// come within 10 units.
void g3dscene_move(int turn, double distance);
const G3dCamera* g3dscene_camera();
void g3dscene_set_camera(double x, double y, int heading);  // tests and benchmarks
const G3dWall* g3d_walls();
// Distance from a point to the wall segment (the perpendicular foot, or the nearer end).
double g3d_wall_distance(const G3dWall& wall, double x, double y);

// --- Target point ---
// The point the player aims at, in view coordinates (the pointer in the view, or its centre in
// mouse look). After a render: the wall place under it (-1 on floor, ceiling, or a place outside
// 0..49) and whether it lies on that place's picture. 1 when either changed since last asked.
void g3dscene_set_target_point(int x, int y);
int g3dscene_target(int* place, int* onPicture);
// Mouse look: the room starts it; Esc and the right button end it.
void g3dscene_mouse_look(int on);
int g3dscene_mouse_looking();
// A pointer move in mouse look, at (x, y) in view coordinates: turns by (centre x - x) / 2
// degrees and walks centre y - y units. The room then puts the pointer back to the centre.
// 1 when the camera moved; nothing happens outside mouse look.
int g3dscene_mouse_look_move(int x, int y);
