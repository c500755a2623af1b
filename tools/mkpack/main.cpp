// tools/mkpack.cpp -- builds a data pack.
//   mkpack --folder DIR OUT.pck   every file under DIR, named relative to it with '/', sorted
// The output is the same byte for byte between runs and replaces OUT.pck only when complete.
#include <cstdio>
#include <cstring>

#include "resources/packwriter.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: mkpack --folder DIR OUT.pck\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || std::strcmp(argv[1], "--folder") != 0) return usage();
    PackFolder folder;
    if (!packwriter_scan_folder(argv[2], &folder)) {
        std::fprintf(stderr, "mkpack: cannot read folder %s\n", argv[2]);
        return 1;
    }
    if (!packwriter_write(argv[3], folder.items.data(), (int)folder.items.size())) {
        std::fprintf(stderr, "mkpack: cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("mkpack: %s: %zu resources\n", argv[3], folder.items.size());
    return 0;
}
