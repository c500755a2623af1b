// tests/gui/lt_test.cpp -- the language file: line breaks, the numbered range, the fatal paths.
#include "gui/lt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/fatal_trap.h"
#include "support/files.h"

namespace {

std::string write_lang(const TempDir& dir, const std::string& body) {
    const std::string path = dir / "lang.ini";
    write_file(path, text_bytes(body));
    return path;
}

TEST(LanguageTexts, line_breaks_range_and_kept_backslashes) {
    TempDir dir;
    const std::string body =
        "[MAIN]\r\nVersion=1\r\nCharSet=238\r\n[TEXTS]\r\n0=one\\ntwo\\n\r\n5=tab\\tkept \\\\n\r\n"
        "7=\r\n699=last\r\n700=beyond\r\n";
    write_fuzz_seed("fuzz_lang", "texts", body.data(), body.size());
    const std::string path = write_lang(dir, body);
    FatalTrap trap;
    ASSERT_EQ(lt_init(path.c_str()), 1);
    EXPECT_EQ(lt_charset(), 238);
    EXPECT_STREQ(lt_get(0), "one\ntwo\n");
    EXPECT_STREQ(lt_get(5), "tab\\tkept \\\n");
    EXPECT_STREQ(lt_get(699), "last");
    EXPECT_EQ(fatal_message_of([] { lt_get(7); }), "lt_get: lti 7 is NULL\n");  // empty value
    EXPECT_EQ(fatal_message_of([] { lt_get(700); }), "lt_get: lti 700 is NULL\n");
    lt_done();
    EXPECT_EQ(fatal_message_of([] { lt_get(0); }), "lt_get: lti 0 is NULL\n");
}

// A value (a file name typed by the player) goes in as it is, never read as a format; a
// translation that lost its "%s" still shows the value.
TEST(LanguageTexts, a_value_fills_the_texts_place_or_follows_it) {
    TempDir dir;
    const std::string path =
        write_lang(dir, "[MAIN]\r\nVersion=1\r\nCharSet=0\r\n[TEXTS]\r\n1=Saved as %s here.\r\n2=Saved.\r\n");
    ASSERT_EQ(lt_init(path.c_str()), 1);
    char out[64];
    lt_with_value(1, "100%s %n.exe", out, sizeof out);
    EXPECT_STREQ(out, "Saved as 100%s %n.exe here.");
    lt_with_value(2, "gift.exe", out, sizeof out);
    EXPECT_STREQ(out, "Saved.\ngift.exe");
    lt_with_value(1, std::string(100, 'x').c_str(), out, 16);
    EXPECT_EQ(std::strlen(out), 15u) << "cut to the buffer";
    lt_done();
}

TEST(LanguageTexts, damaged_headers_are_fatal) {
    TempDir dir;
    const struct {
        const char* body;
        const char* message;
    } cases[] = {
        {"[MAIN]\nVersion=0\nCharSet=0\n", "lt_init: old version of texts"},
        {"[MAIN]\nVersion=x1\nCharSet=0\n", "lt_init: version not found"},
        {"[MAIN]\nVersion=2\n[TEXTS]\n1=%s %i %\n", "lt_init: charset not found"},
        {"[TEXTS]\nVersion=1\nCharSet=0\n", "lt_init: version not found"},
    };
    int seed = 0;
    for (const auto& c : cases) {
        const std::string path = write_lang(dir, c.body);
        write_fuzz_seed("fuzz_lang", ("damaged-" + std::to_string(seed++)).c_str(), c.body,
                        std::strlen(c.body));
        EXPECT_EQ(fatal_message_of([&] { lt_init(path.c_str()); }),
                  std::string(c.message) + " (" + path + ")")
            << c.body;
    }
    const std::string high =
        "[MAIN]\nVersion=1\nCharSet=0\n[TEXTS]\n3=\xE9t\xE9 \xFF" + std::string(3000, 'x') + "\n";
    write_fuzz_seed("fuzz_lang", "long-and-high", high.data(), high.size());
    lt_done();
}

}  // namespace
