// Fuzz target: the INI reader and writer over arbitrary file contents.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/io_file.h"
#include "platform/io_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string path = "/tmp/lumavex-fuzz-ini-" + std::to_string(getpid()) + ".ini";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    char text[4096];
    int a, b, c;
    double r;
    io_ini_read(path.c_str(), "MAIN", "OldScreenSize", text, sizeof text);
    io_ini_read_pair(path.c_str(), "main", "oldscreensize", &a, &b);
    io_ini_read_triple(path.c_str(), "S", "T", &a, &b, &c);
    io_ini_read_colour(path.c_str(), "S", "C", &a);
    io_ini_read_real(path.c_str(), "S", "R", &r);
    io_ini_read_bool(path.c_str(), "S", "B", &a);
    io_ini_write(path.c_str(), "MAIN", "Key", "value");
    io_ini_write(path.c_str(), "NEW", "Other", "1 2");
    io_ini_delete_key(path.c_str(), "MAIN", "Key");
    std::remove(path.c_str());
    return 0;
}
