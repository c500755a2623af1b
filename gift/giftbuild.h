// gift/giftbuild.h -- the gift builder: the gift dialog (sender name, dedication, pictures kept
// hidden until solved) and the gift program made from the selected boxes, saved where the player
// chooses or handed to the mail program.
#pragma once

inline constexpr int GIFT_SENDER_SIZE = 1024;                        // bytes: at most 1,023 characters
inline constexpr int GIFT_DEDICATION_SIZE = 4096;                    // bytes: at most 4,095 characters
inline constexpr char GIFT_STUB_FILE[] = "sfiles/loader.dat";        // the extractor, the gift's head
inline constexpr char GIFT_INSTALLER_FILE[] = "sfiles/present.bin";  // the game's installer
// Mailed gifts wait here for the mail program, which reads them only when the player sends the
// message; the next start-up after a day deletes them.
inline constexpr char GIFT_OUTBOX[] = "sfiles/outbox";
inline constexpr char GIFT_EXTENSION[] = ".run";

// What the gift dialog asked for. Texts are Windows-1252.
struct GiftSettings {
    char sender[GIFT_SENDER_SIZE];
    char dedication[GIFT_DEDICATION_SIZE];
    int hidePictures;  // 1: every box in the gift has its picture hidden until solved
};

// The store room's gift button: the names of the selected boxes, bottom-most first (at least
// one). Returns when the gift is saved, sent, or the player cancelled.
void gift_build(const char* const* boxes, int count);

// The gift file's default name with the extension: the sender name made a valid file name, else
// the first box's name, else "Present". Names are UTF-8, as on disk.
void gift_default_name(const char* sender, const char* firstBox, char* out, int size);

// Writes the gift at path: the extractor, the marker, "name.txt" and "devote.txt" when their
// texts are not empty, "present.bin" when the game has its installer, then the boxes in the
// order given; hidden pictures are set in copies, never in the player's files. The file appears
// whole and executable, or not at all: 0 leaves whatever was at path as it was.
int gift_write(const char* path, const GiftSettings* settings, const char* const* boxes, int count);

// Start-up: deletes the mailed gifts of the outbox that are more than a day old.
void gift_outbox_trim();
