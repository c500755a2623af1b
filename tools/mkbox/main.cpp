// tools/mkbox/main.cpp -- makes a box from a picture, run in a game folder.
//   mkbox PICTURE NAME [--folder DIR] [--piece-size N] [--irregularity P] [--edge-style S]
//         [--rotation] [--hidden] [--tune FILE.mid] [--repeat] [--description TEXT]
//         [--address TEXT] [--screen WxH] [--keep-size]
// The folder defaults to "puzzles" and the settings to the create room's (piece size 32,
// irregularity 0, edge style 1); the picture is fitted to the play area of a 1920 x 1080 screen
// unless --screen names another, or kept at its own size with --keep-size. Exit 0 on success; anything it
// cannot use gives one line on standard error and exit 1 (2 for a bad command line).
#include <cstdio>
#include <string>

#include "tools/mkbox/mkbox.h"

int main(int argc, char** argv) {
    MkboxOptions options;
    std::string error;
    if (!mkbox_parse(argc, argv, &options, &error)) {
        std::fprintf(stderr, "mkbox: %s\n", error.c_str());
        return 2;
    }
    int pieces = 0;
    if (!mkbox_make(options, &error, &pieces)) {
        std::fprintf(stderr, "mkbox: %s\n", error.c_str());
        return 1;
    }
    std::printf("mkbox: %s/%s.pzl: %d pieces\n", options.folder.c_str(), options.name.c_str(), pieces);
    return 0;
}
