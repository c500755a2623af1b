// rooms/intro.h -- the small window with the intro picture and the game's version, shown twice:
// as the splash while the game starts (with a status line that start-up writes its steps on),
// and as the about screen with the credits (modal; a click, Enter or Escape closes it).
//
// The picture comes from the data pack; when it cannot be read or decoded the window is not
// shown (the splash is skipped, the about button does nothing).
#pragma once

// Splash: shows it at once (drawn and presented before returning); 0 when not shown.
int intro_splash_show();
// Replaces the status line and shows it at once; nothing when no splash is open.
void intro_splash_status(const char* text);
void intro_splash_close();  // destroys the splash and frees the picture
int intro_splash_open();

// The about screen with the credits, modal; returns when the player closed it.
void intro_about();

// The version line, "Version: 1.25" with the language's word.
void intro_version_line(char* out, int size);
// The credits text (Windows-1252, lines separated by "\n").
const char* intro_credits();
