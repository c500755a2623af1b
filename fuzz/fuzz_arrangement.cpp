// fuzz/fuzz_arrangement.cpp -- arbitrary bytes as the configuration file the shelf reads its
// arrangement from ("BOXNAMES" and "BOXPOSS", each read in one pass) and writes it back to.
#include "fuzz/fuzz_folder.h"
#include "platform/io_ini.h"
#include "rooms/shelf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InGameFolder in_folder;
    InGameFolder::put(CONFIG_INI, data, size);
    shelf_init(800, 600);
    shelf_load_all(1024, 768);
    shelf_save_layout();
    shelf_free();
    return 0;
}
