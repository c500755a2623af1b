// Text conversion between the game's Windows-1252 bytes and the desktop's UTF-8.
#include "base/str.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(str, windows_1252_and_utf8_both_ways) {
    // e acute, euro, Y diaeresis, a tab; a Chinese character, U+0081, DEL, CR and an emoji have no byte.
    const std::pair<const char*, int> table[] = {
        {"\xC3\xA9", 0xE9},      {"\xE2\x82\xAC", 0x80}, {"\xC5\xB8", 0x9F}, {"\t", '\t'},
        {"\xE4\xB8\xAD", -1},    {"\xC2\x81", -1},       {"\x7F", -1},       {"\r", -1},
        {"\xF0\x9F\x98\x80", -1}};
    for (const auto& [utf8, byte] : table) {
        const char* p = utf8;
        const uint32_t cp = str_utf8_decode(&p);
        EXPECT_EQ(str_cp1252_from_unicode(cp), byte) << utf8;
        EXPECT_EQ(byte < 0 ? cp : str_cp1252_to_unicode((unsigned char)byte), cp) << utf8;  // and back
        EXPECT_EQ(*p, 0) << utf8;
    }
    // A stray continuation, an overlong '/', a surrogate, a sequence cut by the end: one byte each.
    const char* p = "\x80\xC0\xAF\xED\xA0\x80\x61\xE2\x82";  // \x61 is 'a'
    std::u32string got;
    while (uint32_t cp = str_utf8_decode(&p))
        got += (char32_t)cp;
    EXPECT_EQ(got, std::u32string(6, 0xFFFD) + U"a" + std::u32string(2, 0xFFFD));

    char out[8];
    EXPECT_EQ(str_utf8_to_cp1252("d\xC3\xA9j\xE4\xB8\xAD\xE2\x82\xAC\r\n", out, sizeof out), 2);
    EXPECT_STREQ(out, "d\xE9j\x80\n");
    EXPECT_EQ(str_utf8_to_cp1252("abcdef", out, 4), 0);  // what fits, terminated
    EXPECT_STREQ(out, "abc");
    str_cp1252_to_utf8("a\x80\xE9", out, 6);  // a and the euro's 3 bytes; no room for 2 more
    EXPECT_STREQ(out, "a\xE2\x82\xAC");
    str_cp1252_to_utf8("\x81z", out, sizeof out);  // an unused byte
    EXPECT_STREQ(out, "\xEF\xBF\xBDz");
}

TEST(str, bounded_copy_and_append_cut_at_the_buffer_and_stay_ended) {
    char out[8];
    str_copy_bounded(out, "abcdefghij", sizeof out);
    EXPECT_STREQ(out, "abcdefg");
    str_copy_bounded(out, "ab", sizeof out);
    str_append(out, sizeof out, "cd");
    EXPECT_STREQ(out, "abcd");
    str_append(out, sizeof out, "efghij");  // what fits of it
    EXPECT_STREQ(out, "abcdefg");
    str_append(out, sizeof out, "x");  // a full buffer stays as it is
    EXPECT_STREQ(out, "abcdefg");
}

}  // namespace
