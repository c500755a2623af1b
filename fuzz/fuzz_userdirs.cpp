// Fuzz target: the desktop's user-dirs.dirs file, read for the folders the file chooser offers.
#include <cstdint>
#include <string>

#include "platform/io_desktop.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = (const char*)data;
    for (const char* name : {"DESKTOP", "PICTURES", "DOCUMENTS", "DOWNLOAD", ""}) {
        std::string value;
        if (io_user_dirs_value(text, size, name, "/home/player", &value) && value.size() > size + 12)
            __builtin_trap();
    }
    return 0;
}
