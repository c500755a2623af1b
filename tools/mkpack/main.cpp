// tools/mkpack/main.cpp -- builds a data pack.
//   mkpack ASSETS_DIR OUT.pck [--contact-sheet PATH]
//       the game's pack: every resource drawn or converted from the sources in ASSETS_DIR; with
//       --contact-sheet, also one PNG showing every picture for review
//   mkpack --contact-sheet PATH ASSETS_DIR
//       only the contact sheet
//   mkpack --folder DIR OUT.pck
//       every file under DIR, named relative to it with '/', sorted
//   mkpack --icons DIR NAME SIZE...
//       the window icon at each size, as DIR/NxN/apps/NAME.png (the icon theme's layout)
// The output is the same byte for byte between runs and replaces OUT.pck only when complete. A
// missing or broken source stops the build with "mkpack: FILE:LINE: what is wrong".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "resources/packwriter.h"
#include "tools/mkpack/collect.h"
#include "tools/mkpack/contact.h"
#include "tools/mkpack/icons.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: mkpack ASSETS_DIR OUT.pck [--contact-sheet PATH]\n"
                 "       mkpack --contact-sheet PATH ASSETS_DIR\n"
                 "       mkpack --folder DIR OUT.pck\n"
                 "       mkpack --icons DIR NAME SIZE...\n");
    return 2;
}

int pack_folder(const char* folder_path, const char* out) {
    PackFolder folder;
    if (!packwriter_scan_folder(folder_path, &folder)) {
        std::fprintf(stderr, "mkpack: cannot read folder %s\n", folder_path);
        return 1;
    }
    if (!packwriter_write(out, folder.items.data(), (int)folder.items.size())) {
        std::fprintf(stderr, "mkpack: cannot write %s\n", out);
        return 1;
    }
    std::printf("mkpack: %s: %zu resources\n", out, folder.items.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--folder") == 0) return pack_folder(argv[2], argv[3]);
    if (argc >= 5 && std::strcmp(argv[1], "--icons") == 0) {
        std::vector<int> sizes;
        for (int i = 4; i < argc; i++)
            sizes.push_back(std::atoi(argv[i]));
        return write_app_icons(argv[2], argv[3], sizes) ? 0 : 1;
    }
    std::vector<std::string> positional;
    std::string contact;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--contact-sheet") == 0 && i + 1 < argc)
            contact = argv[++i];
        else if (argv[i][0] == '-' && argv[i][1] == '-')
            return usage();
        else
            positional.push_back(argv[i]);
    }
    if (positional.empty() || positional.size() > 2 || (positional.size() == 1 && contact.empty()))
        return usage();
    const std::string& assets = positional[0];

    std::vector<PackResource> resources;
    std::vector<SheetPicture> sheet;
    if (!mkpack_collect(assets, &resources, contact.empty() ? nullptr : &sheet)) {
        std::fprintf(stderr, "mkpack: the data pack was not written\n");
        return 1;
    }
    if (positional.size() == 2) {
        if (!mkpack_write(positional[1], resources)) return 1;
        size_t bytes = 0;
        for (const PackResource& r : resources)
            bytes += r.bytes.size();
        std::printf("mkpack: %s: %zu resources, %zu bytes of data\n", positional[1].c_str(), resources.size(),
                    bytes);
    }
    if (!contact.empty()) {
        if (!contact_sheet_write(contact, sheet)) return 1;
        std::printf("mkpack: %s: %zu pictures\n", contact.c_str(), sheet.size());
    }
    return 0;
}
