// rooms/store_use.h -- the store room's "use picture" tool: a finished box's picture hung in the
// gallery or handed to the desktop as its wallpaper, chosen in a modal window.
#pragma once

struct ShelfBox;

void store_use_create();  // the choice window, hidden (start-up, with the store room)
// An unfinished box is refused with text 155. Otherwise the choice window asks, the gallery
// first: the gallery room takes the picture, or the desktop does (the player is told when it
// refuses); Cancel does nothing.
void store_use_picture(const ShelfBox* box);
