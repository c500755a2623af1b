// base/version.h -- the game's version: whole part and hundredths, shown as "1.25".
#pragma once

inline constexpr int GAME_VERSION = 125;
