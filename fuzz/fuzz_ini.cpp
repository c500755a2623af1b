// Fuzz target: the INI reader and writer over arbitrary file contents.
#include <cstdio>
#include <string>

#include "fuzz/fuzz_folder.h"
#include "platform/io_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InGameFolder in_folder;
    const std::string path = "sfiles/fuzz.ini";
    InGameFolder::put(path.c_str(), data, size);
    char text[4096];
    int a, b, c;
    double r;
    io_ini_read(path.c_str(), "MAIN", "OldScreenSize", text, sizeof text);
    io_ini_read_pair(path.c_str(), "main", "oldscreensize", &a, &b);
    io_ini_read_triple(path.c_str(), "S", "T", &a, &b, &c);
    io_ini_read_colour(path.c_str(), "S", "C", &a);
    io_ini_read_real(path.c_str(), "S", "R", &r);
    io_ini_read_bool(path.c_str(), "S", "B", &a);
    int keys = 0;
    io_ini_read_section(
        path.c_str(), "BOXNAMES", [](void* n, const char*, const char*) { ++*(int*)n; }, &keys);
    const char* names[] = {"0", "1"};
    const char* values[] = {"a", "b c"};
    io_ini_write_section(path.c_str(), "BOXNAMES", names, values, 2);
    io_ini_write_section(path.c_str(), "S", names, values, 0);
    io_ini_write(path.c_str(), "MAIN", "Key", "value");
    io_ini_write(path.c_str(), "NEW", "Other", "1 2");
    io_ini_delete_key(path.c_str(), "MAIN", "Key");
    std::remove(path.c_str());
    return 0;
}
