// rooms/options.h -- the options window: the interface language, the help pages, the background
// tint and the force-feedback switch, kept in the configuration file's section "MAIN".
//
// The window is a modal window of the toolkit. It runs from the store room's tools window and,
// with `-options yes`, before the game starts.
#pragma once
#include <cstdint>

#include "base/limits.h"

inline constexpr int OPTIONS_DEFAULT_HUE = 209, OPTIONS_DEFAULT_SATURATION = 42;
inline constexpr int OPTIONS_DEFAULT_BRIGHTNESS = 0;
// The colour field's picture: hue 2 degrees a pixel to the right, saturation falling downwards.
inline constexpr int OPTIONS_FIELD_WIDTH = 181, OPTIONS_FIELD_HEIGHT = 129;

struct OptionsSettings {
    char language[PATH_MAX_GAME];  // "UserInterface": a file of "sfiles/ml", "" for English
    char help[PATH_MAX_GAME];      // "HelpFile": likewise
    int hue;                       // 0..360
    int saturation;                // 0..100
    int brightness;                // -100..100
    int feedback;                  // the force-feedback switch
};

void options_defaults(OptionsSettings* out);
// The stored settings; a "BackGround" that is not three numbers in range gives the default tint,
// a language or help file that is not a plain name gives English.
void options_read(OptionsSettings* out);
// Writes the four keys and flushes the file; 1 when it is safely on disk.
int options_write(const OptionsSettings& settings);

// A press at (x, y) of the colour field: hue = 2x (0..360), saturation = (128 - y) * 100 / 128
// (1..99).
void options_field_colour(int x, int y, int* hue, int* saturation);
// The preview's colour 0x00RRGGBB: lightness (brightness + 100) / 200, from hue-lightness-saturation.
uint32_t options_preview_colour(int hue, int saturation, int brightness);

// A choice list: "English" (no file) first, then the files of a folder with one extension, by
// name. Entries beyond the capacity are left out.
inline constexpr int OPTIONS_LIST_MAX = 32;
struct OptionsList {
    int count;
    char files[OPTIONS_LIST_MAX][PATH_MAX_GAME];  // "" for English
    char shown[OPTIONS_LIST_MAX][PATH_MAX_GAME];  // the name without extension
};
// extension without the dot, e.g. "ini"
void options_list_files(const char* folder, const char* extension, OptionsList* out);
int options_list_find(const OptionsList& list, const char* file);  // 0 (English) when absent

// The window, modal: 1 when the player confirmed (the settings are written), 0 for Cancel.
int options_run();
// The same before the game: over the bare background, no room entered yet.
int options_run_first();
// After a confirmed run in the game: the background tint and the feedback switch at once.
void options_apply();
