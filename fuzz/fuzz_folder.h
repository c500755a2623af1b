// fuzz/fuzz_folder.h -- runs each fuzz input inside a game folder of its own (made once); the
// caller's folder comes back afterwards, so relative corpus paths keep working.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

struct InGameFolder {
    int back;
    InGameFolder() {
        static char folder[] = "/tmp/lumavex_fuzz_XXXXXX";
        static bool made = false;
        if (!made) {
            if (!mkdtemp(folder)) std::abort();
            made = true;
            for (const char* sub : {"sfiles/qs", "sfiles/temp", "puzzles"})
                std::filesystem::create_directories(std::filesystem::path(folder) / sub);
            std::atexit([] { std::filesystem::remove_all(folder); });
        }
        back = open(".", O_RDONLY);
        if (back < 0 || chdir(folder) != 0) std::abort();
    }
    ~InGameFolder() {
        if (fchdir(back) != 0) std::abort();
        close(back);
    }
    // Writes the input as the file at path (relative to the game folder).
    static void put(const char* path, const uint8_t* data, size_t size) {
        FILE* f = std::fopen(path, "wb");
        if (!f) std::abort();
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
};
