// tests/rooms/intro_test.cpp -- the texts of the splash and the about screen.
#include "rooms/intro.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "gui/lt.h"

namespace {

TEST(intro, version_line_and_web_address_from_the_language_texts) {
    ASSERT_EQ(lt_init(LUMAVEX_ASSETS_DIR "/english.ini"), 1);
    char line[64];
    intro_version_line(line, sizeof line);
    EXPECT_STREQ(line, "Version: 1.25");
    char address[64];
    ASSERT_TRUE(intro_web_address(lt_get(21), address, sizeof address));
    EXPECT_STREQ(address, "http://www.dremwick.example");
    lt_done();

    EXPECT_TRUE(intro_web_address("see https://x.example/a b", address, sizeof address));
    EXPECT_STREQ(address, "https://x.example/a");
    EXPECT_FALSE(intro_web_address("no address, www. alone", address, sizeof address));
    EXPECT_FALSE(intro_web_address("www.far-too-long.example", address, 16));  // never cut short
}

// Names the makers and the publisher with their addresses, every library, font and soundfont the
// game links or ships, the note about the pictures, and stays drawable by every font of the game.
TEST(intro, credits_name_makers_libraries_and_fit_their_buffer) {
    const std::string credits = intro_credits();
    EXPECT_LT(credits.size() + 1, (size_t)INTRO_CREDITS_MAX);
    std::istringstream musts(
        "Lumavex team|www.lumavex.example|Dremwick|www.dremwick.example|Program code:|Graphics:|SDL2|"
        "SDL2_mixer|FluidSynth|libjpeg-turbo|Independent JPEG Group|libtiff|FreeType|fontconfig|libpng|zlib|"
        "DejaVu|TimGM6mb|gedownload|afgedrukt|gebruikt|gekopieerd|gemaild");
    for (std::string must; std::getline(musts, must, '|');)
        EXPECT_NE(credits.find(must), std::string::npos) << must;
    for (unsigned char c : credits)
        EXPECT_TRUE(c == '\n' || (c >= 32 && c < 127)) << (int)c;
}

}  // namespace
