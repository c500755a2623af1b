// platform/io_desktop.h -- desktop services: documents, help, wallpaper, special folders, and
// the small texts the game builds from times and typed names.
#pragma once
#include <cstddef>
#include <string>

// Opens a file or web address with the desktop's default program; on failure shows the error
// box naming the path. 1 when it was handed over.
int io_open_document(const char* path);

// Help pages: flag 0x1000 picks the second help window (ignored: one browser), the other bits a
// topic number; 0 opens the contents.
inline constexpr int HELP_SECOND_WINDOW = 0x1000;
int io_help(int flags);
// The page the help call would open; exposed for tests.
void io_help_address(int flags, char* out, int size);

// Copies the picture to the user's backgrounds folder as NAME.bmp and asks the desktop to show
// it. Best effort: 0 when no desktop tool took it.
int io_set_wallpaper(const char* picture, const char* name);

// Special folders by the numbers the game uses: 0 desktop, 5 documents, 13 music, 39 pictures,
// 26 application data; anything else is the home folder. 1 on success.
inline constexpr int FOLDER_DESKTOP = 0, FOLDER_DOCUMENTS = 5, FOLDER_MUSIC = 13;
inline constexpr int FOLDER_APPDATA = 26, FOLDER_PICTURES = 39;
int io_special_folder(int id, char* out, int size);
// The user folder XDG_<name>_DIR ("DESKTOP", "PICTURES", "DOCUMENTS", "DOWNLOAD", ...) as the
// user's user-dirs.dirs sets it; 0 (and empty) when it is not set, is the home folder itself, or
// is no folder that exists.
int io_user_folder(const char* name, char* out, int size);
// The value of XDG_<name>_DIR in the text of a user-dirs.dirs file (quotes taken off, "$HOME" at
// its start made home); 1 when the text sets it.
int io_user_dirs_value(const char* text, size_t size, const char* name, const char* home, std::string* value);

void io_duration_text(int seconds, char* out, int size);  // "m:ss" or "h:m:ss"
void io_date_text(char* out, int size);                   // today, the user's long form
// Trims blanks, keeps the characters a file name may hold; 0 when nothing is left.
int io_clean_file_name(const char* source, char* out, int size);
