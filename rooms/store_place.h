// rooms/store_place.h -- where the store room puts a box that the shelf placed at random (one new
// to the shelf, or not in the saved arrangement): off the room's panels and, where it can, off
// the other boxes; and the saved arrangement as the room reads it at start-up.
#pragma once

struct ShelfBox;

// A box under the top bar, one of the visible windows (with room for their shadows) or another
// box tries other random places: free of both if it can, else off the windows alone; else it
// stays where it was. Clamped onto the screen either way.
void store_place_box(ShelfBox* box, const int* windows, int count);
// 1 when the saved arrangement places the box (read up to the first missing key, as the shelf
// reads it).
int store_place_arranged(const char* name);
// The screen size the saved positions were taken on: the previous run's, else this one.
void store_place_old_screen_size(int* width, int* height);
