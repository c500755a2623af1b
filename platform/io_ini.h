// platform/io_ini.h -- the game's INI files: sections and keys compared without case, a missing
// file or key reads as empty, writing creates the file, section and key. File names are taken
// relative to the start folder. Every write replaces the file through a temporary name.
//
// A file that exists but cannot be read (a failing disk, a lost permission) is never taken for an
// empty one: for the rest of the run its keys read as missing and nothing is written to it, so
// the settings in it survive; the game is told once through the hook below.
#pragma once

// The game's configuration file: window places, the shelf's arrangement, the options and what
// each room remembers between runs.
inline constexpr const char* CONFIG_INI = "sfiles/config.ini";

int io_ini_read(const char* file, const char* section, const char* key, char* out, int size);  // chars kept
int io_ini_write(const char* file, const char* section, const char* key, const char* text);    // 1 written
int io_ini_delete_key(const char* file, const char* section, const char* key);                 // 1 written
int io_ini_flush(const char* file);  // 1 when the file is safely on disk

// --- A whole section at once (large sections: one read, one write) ---
// Hands every key of the section to `entry` in file order, as io_ini_read would read it (only the
// first section of the name counts, and in it the first line of a key); the number of keys.
using IoIniEntry = void (*)(void* context, const char* key, const char* value);
int io_ini_read_section(const char* file, const char* section, IoIniEntry entry, void* context);
// Replaces the section's keys with these, in this order, in one write of the file (the section is
// added at the end when missing; no keys remove it). Nothing is written when the file already
// holds exactly that. 1 when the file holds the keys; 0 when it could not be read or written.
int io_ini_write_section(const char* file, const char* section, const char* const* keys,
                         const char* const* values, int count);

// Called once per file the first time it cannot be read (path as resolved); may be null.
using IoIniUnreadable = void (*)(const char* path);
void io_ini_set_unreadable_hook(IoIniUnreadable hook);
int io_ini_unreadable(const char* file);  // 1 when the file was found unreadable in this run

int io_ini_read_text(const char* file, const char* section, const char* key, char* out, int size);
int io_ini_read_int(const char* file, const char* section, const char* key, int* value);       // 1 ok
int io_ini_read_bool(const char* file, const char* section, const char* key, int* value);      // 1 ok
int io_ini_read_pair(const char* file, const char* section, const char* key, int* a, int* b);  // 1 ok
// "%i %i %i" as red green blue gives 0x00RRGGBB; "transparent" gives -1.
int io_ini_read_colour(const char* file, const char* section, const char* key, int* colour);
int io_ini_read_real(const char* file, const char* section, const char* key, double* value);
// The first value goes to the first output, the second to the third, the third to the second.
int io_ini_read_triple(const char* file, const char* section, const char* key, int* a, int* b, int* c);
int io_ini_write_int(const char* file, const char* section, const char* key, int value);
int io_ini_write_bool(const char* file, const char* section, const char* key, int value);
int io_ini_write_pair(const char* file, const char* section, const char* key, int a, int b);
