// rooms/store.h -- the store room: the game's home screen. For now its room window: the desk
// background and the top bar under the room's title.
#pragma once
#include "base/event.h"

void store_init();   // registers the room's windows (after the toolkit)
void store_enter();  // sets the room title and takes the focus
int store_room_window();
// Texts sent by other programs (box names from a gift); 1 when taken.
int store_text(KernelEvent* event);
