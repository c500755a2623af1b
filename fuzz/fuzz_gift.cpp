// fuzz/fuzz_gift.cpp -- arbitrary bytes as a gift file: unpacked, its texts read, its boxes
// delivered into a scratch game that counts as installed (so no installer ever runs), the work
// folder removed; and the bytes as a record name made plain. A work folder or a half copy left
// behind, or a name that is not plain, aborts.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "gift/giftfile.h"
#include "loader/ldcore.h"

namespace fs = std::filesystem;

static void quiet(const char*) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fs::path root;
    if (root.empty()) {  // a runtime folder of its own, so no running game hears of the boxes
        char folder[] = "/tmp/lumavex_fuzz_gift_XXXXXX";
        if (!mkdtemp(folder)) std::abort();
        root = folder;
        for (const char* sub : {"tmp", "config/Dremwick", "run", "game/puzzles"})
            fs::create_directories(root / sub);
        std::ofstream(root / "config/Dremwick/Lumavex.ini")
            << "[Lumavex]\nInstallPath=" << (root / "game").string() << "\nVersion=126\n";
        std::ofstream(root / "game/tesselo") << "";
        for (const auto& [var, sub] :
             {std::pair{"TMPDIR", "tmp"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_RUNTIME_DIR", "run"}})
            setenv(var, (root / sub).c_str(), 1);
        ld_set_log(quiet);
        std::atexit([] { fs::remove_all(root); });
    }
    char plain[GIFT_NAME_MAX + 1];
    if (gift_plain_name((const char*)data, size, plain) && (std::strpbrk(plain, "/\\") || plain[0] == '.'))
        std::abort();
    std::ofstream(root / "gift.run", std::ios::binary).write((const char*)data, (std::streamsize)size);
    LdGift gift;
    if (ld_unpack(&gift, (root / "gift.run").c_str(), nullptr) == LD_UNPACKED) {
        (void)ld_title(&gift);
        ld_show_texts(&gift, quiet);
        ld_deliver(&gift, quiet);
        ld_remove_work(&gift);
    }
    if (gift.installer_ran || !fs::is_empty(root / "tmp")) std::abort();
    for (const auto& entry : fs::directory_iterator(root / "game/puzzles")) {  // the same shelf for all
        if (entry.path().filename().string()[0] == '.') std::abort();
        fs::remove(entry.path());
    }
    return 0;
}
