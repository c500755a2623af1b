// fuzz/fuzz_lang.cpp -- arbitrary bytes as the language file. A refused file leaves through the
// fatal path (an exception here); from an accepted one every text is whole, at most 2047
// characters, and holds no backslash-n pair any more.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/limits.h"
#include "fuzz/fuzz_folder.h"
#include "gui/lt.h"
#include "platform/io_debug.h"

namespace {

struct Refused {};

[[noreturn]] void refuse(const char*) { throw Refused{}; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InGameFolder folder;
    InGameFolder::put("sfiles/lang.ini", data, size);
    io_fatal_set_sink(refuse);
    bool accepted = false;
    try {
        lt_init("sfiles/lang.ini");
        accepted = true;
    } catch (const Refused&) {
    }
    for (int n = 0; accepted && n < TEXT_MAX; n++) {
        try {
            const char* text = lt_get(n);
            if (std::strlen(text) > (size_t)INI_VALUE_MAX || std::strstr(text, "\\n")) std::abort();
        } catch (const Refused&) {  // an empty entry
        }
    }
    lt_done();
    io_fatal_set_sink(nullptr);
    return 0;
}
