// base/version.h -- the game's version (whole part and hundredths, shown as "1.25") and the
// publisher's web site, which the store room and the create room open.
#pragma once

inline constexpr int GAME_VERSION = 125;
inline constexpr const char* PUBLISHER_ADDRESS = "https://www.dremwick.example/";
