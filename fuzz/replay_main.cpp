// fuzz/replay_main.cpp -- runs a fuzz target over files or folders of inputs, so every target
// also builds as a plain program that replays its seed corpus or a crasher.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int replay_file(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    std::vector<uint8_t> bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}

static int replay(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return 0;
    if (!S_ISDIR(st.st_mode)) return replay_file(path);
    int count = 0;
    DIR* dir = opendir(path.c_str());
    if (!dir) return 0;
    while (dirent* d = readdir(dir)) {
        if (d->d_name[0] == '.') continue;
        count += replay(path + "/" + d->d_name);
    }
    closedir(dir);
    return count;
}

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; i++)
        count += replay(argv[i]);
    std::printf("replayed %d inputs\n", count);
    return 0;
}
