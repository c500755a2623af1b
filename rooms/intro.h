// rooms/intro.h -- the small window with the intro picture and the game's version, shown twice:
// as the splash while the game starts (with a status line that start-up writes its steps on),
// and as the about screen with the credits (modal; a click, Enter or Escape closes it).
//
// The picture comes from the data pack; when it cannot be read or decoded the window is not
// shown (the splash is skipped, the about button does nothing).
#pragma once

// How "show it at once" is done while the game starts and no frame runs yet (the kernel's
// drawing of the dirty cells); set before the splash is shown.
void intro_set_refresh(void (*refresh)());

// Splash: shows it at once (drawn and presented before returning); 0 when not shown.
int intro_splash_show();
// Replaces the status line and shows it at once; nothing when no splash is open.
void intro_splash_status(const char* text);
void intro_splash_close();  // hides the splash and frees the picture

// The about screen with the credits, modal; returns when the player closed it.
void intro_about();

// The version line, "Version: 1.25" with the language's word.
void intro_version_line(char* out, int size);
// The credits text (Windows-1252, paragraphs separated by "\n"), under INTRO_CREDITS_MAX bytes.
inline constexpr int INTRO_CREDITS_MAX = 10000;
const char* intro_credits();
// The web address in a text such as "More puzzles at www.example.com": the first word that
// starts with "www." or holds "://", with "http://" put in front when it names no scheme.
// 0 when the text has none.
int intro_web_address(const char* text, char* out, int size);
