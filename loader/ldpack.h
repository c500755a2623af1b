// loader/ldpack.h -- the toolkit's resources the extractor carries inside itself: the skin
// sheets, the bitmap fonts, the skin colours and the window icon, picked from the game's data
// pack at build time and kept compressed in the program, since the receiver has no game yet.
#pragma once

// The names the dialog needs from the game's data pack; the build copies exactly these.
inline constexpr const char* LDPACK_NAMES[] = {"img/active.img", "img/inactive.img", "img/font12.img",
                                               "img/font15.img", "img/font20.img",   "img/icon.img",
                                               "skin.ini"};
inline constexpr const char* LDPACK_SKIN = "skin.ini";

// Unpacks the carried pack into an anonymous file and opens it as the data pack; the skin
// colours go into a second one, whose path is written to skinPath (for ge_init). No file is
// left anywhere: both are gone once closed. 1, or 0 when memory or a file could not be had.
int ldpack_open(char* skinPath, int size);
void ldpack_close();  // the skin file; the pack stays open until dp_done
