// Text conversion between the game's Windows-1252 bytes and the desktop's UTF-8.
#include "base/str.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(str_cp1252, characters_map_both_ways_and_the_missing_ones_are_refused) {
    const std::pair<const char*, int> table[] = {
        {"\xC3\xA9", 0xE9}, {"\xE2\x82\xAC", 0x80},
        {"\xC5\xB8", 0x9F}, {"\xE2\x84\xA2", 0x99},
        {"\xC2\xA0", 0xA0}, {"\t", '\t'},
        {"~", '~'},         {"\xE4\xB8\xAD", -1},  // a Chinese character
        {"\xC2\x81", -1},   {"\x7F", -1},
        {"\r", -1},         {"\xF0\x9F\x98\x80", -1}};
    for (const auto& [utf8, byte] : table) {
        const char* p = utf8;
        uint32_t cp = str_utf8_decode(&p);
        EXPECT_EQ(*p, 0) << utf8;
        EXPECT_EQ(str_cp1252_from_unicode(cp), byte) << utf8;
        char back[5] = {};
        if (byte >= 0) {
            EXPECT_EQ(std::string(back, str_utf8_encode(str_cp1252_to_unicode(byte), back)), utf8);
        }
    }
    for (int unused : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(str_cp1252_to_unicode((unsigned char)unused), 0xFFFDu);
}

TEST(str_utf8, malformed_bytes_become_replacements_one_byte_at_a_time) {
    // A stray continuation, an overlong '/', a surrogate, a sequence cut by the end.
    const char* p =
        "\x80"
        "\xC0\xAF"
        "\xED\xA0\x80"
        "a\xE2\x82";
    std::u32string got;
    while (uint32_t cp = str_utf8_decode(&p))
        got += (char32_t)cp;
    EXPECT_EQ(got, std::u32string(U"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDa\uFFFD\uFFFD"));
    EXPECT_EQ(str_utf8_decode(&p), 0u);  // stays at the end
}

TEST(str_utf8, conversions_count_what_they_drop_and_never_split_a_character) {
    char out[8];
    EXPECT_EQ(str_utf8_to_cp1252("d\xC3\xA9j\xE4\xB8\xAD\xE2\x82\xAC\r\n", out, sizeof out), 2);
    EXPECT_STREQ(out, "d\xE9j\x80\n");
    EXPECT_EQ(str_utf8_to_cp1252("abcdef", out, 4), 0);  // what fits, terminated
    EXPECT_STREQ(out, "abc");

    char utf8[6];
    str_cp1252_to_utf8("a\x80\xE9", utf8, sizeof utf8);  // a, 3 bytes of euro, then no room for 2
    EXPECT_STREQ(utf8, "a\xE2\x82\xAC");
    str_cp1252_to_utf8("\x81z", utf8, sizeof utf8);
    EXPECT_STREQ(utf8, "\xEF\xBF\xBDz");
}

}  // namespace
