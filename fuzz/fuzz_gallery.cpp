// fuzz/fuzz_gallery.cpp -- arbitrary bytes as "sfiles/gallery.dat": read as the room reads it
// (a damaged file kept beside), and when it was taken, saved again.
#include "fuzz/fuzz_folder.h"
#include "rooms/gallery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InGameFolder in_folder;
    InGameFolder::put(GALLERY_FILE, data, size);
    Gallery gallery{};
    if (gallery_load(&gallery)) gallery_save(&gallery);
    gallery_clear(&gallery);
    return 0;
}
