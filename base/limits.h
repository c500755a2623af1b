// base/limits.h -- every fixed capacity of the game in one place.
// Tables are never grown: running out of one is an internal error and goes to the fatal path.
#pragma once

inline constexpr int FRAME_PERIOD_MS = 33;     // ms between kernel ticks
inline constexpr int WINDOW_MAX = 200;         // twindow records
inline constexpr int POSTED_EVENT_MAX = 64;    // window events posted between windows
inline constexpr int TEXT_MAX = 700;           // numbered language texts
inline constexpr int EDIT_FIELD_MAX = 8;       // edit fields of one modal dialog
inline constexpr int EDIT_TEXT_MAX = 4096;     // bytes of one edit field's working text
inline constexpr int FOLDER_ENTRY_MAX = 2000;  // entries one file-chooser listing keeps
inline constexpr int GDI_FONT_MAX = 16;        // platform fonts alive at once
inline constexpr int DP_PACK_MAX = 32;         // open data packs
inline constexpr int DP_RESOURCE_MAX = 512;    // registered pack resources (file indexes)
inline constexpr int CACHE_MAX = 512;          // memory file cache entries
inline constexpr int PRESENT_RECT_MAX = 2048;  // presentation rectangles of one frame
inline constexpr int LOG_LINE_MAX = 2048;      // characters of one formatted log or message text
inline constexpr int INI_VALUE_MAX = 2047;     // characters of one configuration value
inline constexpr int PATH_MAX_GAME = 260;      // path buffers as the game's files store them
inline constexpr int PUZZLE_PATH_MAX = 259;    // characters of the puzzles folder path
inline constexpr int FILE_WRITE_PATH_MAX =
    4096;  // path buffers of the file writer (tools write deep in build folders)
inline constexpr int SCRIPT_COMMAND_MAX = 4;       // commands a program adds to the automation script
inline constexpr int TEXTVIEW_TEXT_MAX = 1 << 18;  // bytes one text view keeps; more is dropped

// Outside pictures larger than this are refused as unreadable.
inline constexpr int PICTURE_SIDE_MAX = 16384;
inline constexpr long long PICTURE_PIXELS_MAX = 100LL * 1000 * 1000;
// A box file beyond this is refused before it is read: its picture is a JPEG within the limits
// above, and its tune, texts and settings are small.
inline constexpr long long BOX_FILE_MAX = 256LL << 20;

inline constexpr int BUTTON_BAR_SLOTS = 8;  // places in each row of a button bar
inline constexpr int ICON_STRIP_MAX = 16;   // buttons of one icon strip
inline constexpr int BUTTON_ROW_MAX = 16;   // buttons of one button row
inline constexpr int BUTTON_MENU_MAX = 24;  // buttons of one button menu
