// rooms/store_place.h -- where the store room puts a box that the shelf placed at random (one new
// to the shelf, or not in the saved arrangement): off the room's panels and, where it can, off
// the other boxes; and the screen size the saved arrangement was taken on.
#pragma once

struct ShelfBox;

// A box under the top bar, one of the visible windows (with room for their shadows) or another
// box tries other random places: free of both if it can, else off the windows alone; else it
// stays where it was. Clamped onto the screen either way.
void store_place_box(ShelfBox* box, const int* windows, int count);
// A box whose drawing meets the top bar or one of the visible windows (a rolled-up window by its
// title bar alone) moves out by the shortest way to a place free of them, else to a random one;
// clamped onto the screen either way. 1 when it moved.
int store_place_clear(ShelfBox* box, const int* windows, int count);
// Changes whenever the screen size or a window's place, size, visibility or rolling changes.
unsigned store_place_signature(const int* windows, int count);
// The screen size the saved positions were taken on: the previous run's, else this one.
void store_place_old_screen_size(int* width, int* height);
