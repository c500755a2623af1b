// base/version.h -- the game's version (whole part and hundredths, shown as "1.25") and the
// publisher's web site, which the store room and the create room open.
#pragma once

inline constexpr int GAME_VERSION = 125;
inline constexpr const char* PUBLISHER_ADDRESS = "https://www.dremwick.example/";

// The number written as "Version" beside "InstallPath" in the player's Lumavex.ini by the
// installer and the launcher. A gift installs the game again over an older number: 126 is the
// first game that takes boxes from gifts.
inline constexpr int INSTALL_VERSION = 126;
