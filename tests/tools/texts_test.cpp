// tests/tools/texts_test.cpp -- the shipped english.ini through the game's reader, words that must
// fit their buttons, and one broken line per guard of the checker.
#include "tools/mkpack/texts.h"

#include <gtest/gtest.h>

#include <string>

#include "base/limits.h"
#include "font_glyphs.h"
#include "platform/io_ini.h"
#include "tools/mkpack/fonts.h"

namespace {

const std::string SOURCE = std::string(LUMAVEX_ASSETS_DIR) + "/english.ini";

// Text n as the game holds it: read through the INI reader, "\n" pairs turned into line breaks.
std::string text(int n) {
    char value[INI_VALUE_MAX + 1];
    io_ini_read_text(SOURCE.c_str(), "TEXTS", std::to_string(n).c_str(), value, sizeof value);
    std::string s = value;
    for (size_t at; (at = s.find("\\n")) != std::string::npos;)
        s.replace(at, 2, "\n");
    return s;
}

// Runs the checker over bytes and returns what it printed.
std::string check_output(const std::string& bytes, bool* ok) {
    testing::internal::CaptureStderr();
    *ok = texts_check("lang.ini", bytes);
    return testing::internal::GetCapturedStderr();
}

// A minimal valid file: every needed number with a harmless wording (formats filled in).
std::string valid_file() {
    std::string s = "[MAIN]\nVersion=1\nCharSet=0\n[TEXTS]\n";
    for (const NeededText& t : texts_needed()) {
        std::string value = "Text";
        if (t.format)
            for (const char* p = t.format; *p; p += 2)
                value += std::string(" ") + p[0] + p[1];
        s += std::to_string(t.number) + "=" + value + "\n";
    }
    return s;
}

}  // namespace

// mkpack checks the shipped file's numbers and formats; here it is read through the game's reader.
TEST(EnglishTexts, shipped_file_holds_every_number_through_the_ini_reader) {
    int version = 0, charset = -1;
    EXPECT_TRUE(io_ini_read_int(SOURCE.c_str(), "MAIN", "Version", &version) &&
                io_ini_read_int(SOURCE.c_str(), "MAIN", "CharSet", &charset));
    EXPECT_EQ(std::pair(version, charset), std::pair(1, 0));
    for (const NeededText& t : texts_needed())
        EXPECT_FALSE(text(t.number).empty()) << "text " << t.number;
    // The numbers the rooms name most often, listed by hand rather than taken from the table.
    for (int n : {15, 16, 19, 20, 21, 22, 25, 41, 43, 45, 100, 101, 201, 203, 230, 302, 413, 460, 500})
        EXPECT_FALSE(text(n).empty()) << "text " << n;
    EXPECT_TRUE(text(700).empty());
    // "\n" pairs stand for line breaks.
    EXPECT_NE(text(140).find('\n'), std::string::npos);
    EXPECT_EQ(text(140).find('\\'), std::string::npos);
}

TEST(EnglishTexts, words_fit_the_buttons_of_fixed_width) {
    auto medium = [](int n) { return fonts_text_width(FONT_MEDIUM, text(n).c_str()); };
    EXPECT_LE(medium(302), 100);  // the mouse-look button grows with its text, left of the panel
    for (int n : {127, 114})      // web site and options buttons of the tools window, 75 wide
        EXPECT_LE(medium(n), 75 - 2) << "text " << n;
    EXPECT_LE(medium(604), 250 - 30);  // the options window: feedback tick box, list-wide buttons
    EXPECT_LE(medium(606), 232 - 10);
    EXPECT_LE(medium(605), 110 - 10);  // defaults, in the button bar
    for (int n : {456, 457})           // play and stop tune, 60 wide
        EXPECT_LE(medium(n), 60 - 4) << "text " << n;
    for (int n : {452, 453, 454, 455})  // tick boxes in the 120-wide options window
        EXPECT_LE(medium(n), 120 - 40) << "text " << n;
    for (int n : {106, 107})  // radio choices in the 320-wide choice window
        EXPECT_LE(medium(n), 320 - 60) << "text " << n;
    for (int n : {41, 43, 45})  // text buttons of a bar, 90 wide
        EXPECT_LE(medium(n), 90 - 10) << "text " << n;
}

TEST(EnglishTexts, checker_accepts_a_minimal_file_and_names_the_line_of_each_fault) {
    bool ok = false;
    EXPECT_EQ(check_output(valid_file(), &ok), "");
    EXPECT_TRUE(ok);
    std::string crlf = "; a comment\r\n" + valid_file();  // CR LF lines and semicolon comments
    for (size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
        crlf.insert(at, "\r");
    EXPECT_EQ(check_output(crlf, &ok), "");
    EXPECT_TRUE(ok);

    struct Case {
        std::string from, to;  // one replacement in the valid file
        std::string message;   // expected part of the report
    };
    const Case cases[] = {
        {"Version=1", "Version=0", "Version must be 1 or more"},
        {"Version=1\n", "", "Version is missing"},
        {"CharSet=0", "CharSet=1", "CharSet must be 0"},
        {"CharSet=0", "CharSet=zero", "lang.ini:3: CharSet must be a whole number"},
        {"15=Text\n", "", "text 15 (title of the information windows) is missing"},
        {"15=Text\n", "15=\n", "lang.ini:5: text 15 is empty"},
        {"16=Text\n", "16=Text\n16=Again\n", "text 16 is given twice"},
        {"16=Text", "16=100% sure", "text 16 is not a format"},
        {"230=Text %s %i %s", "230=Text %i %s %s", "must hold the conversions %s%i%s"},
        {"413=Text %i %i", "413=Text %i", "must hold the conversions %i%i"},
        {"16=Text", "16=Tab\\there", "backslash that is not followed by n"},
        {"16=Text", "16=Caf\xe9", "outside plain ASCII"},
        {"16=Text", "16=\"Quoted\"", "enclosed in quotes"},
        {"16=Text", "700=Text", "\"700\" is not a text number"},
        {"16=Text", "sixteen=Text", "\"sixteen\" is not a text number"},
        {"[TEXTS]", "[TEXT]", "unknown section [TEXT]"},
        {"[TEXTS]\n", "[TEXTS]\nno equals sign\n", "lang.ini:5: expected \"key=value\""},
        {"[MAIN]\n", "Version=1\n[MAIN]\n", "lang.ini:1: \"Version\" stands before any section"}};
    for (const Case& c : cases) {
        std::string bytes = valid_file();
        size_t at = bytes.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        bytes.replace(at, c.from.size(), c.to);
        std::string report = check_output(bytes, &ok);
        EXPECT_FALSE(ok) << c.to;
        EXPECT_NE(report.find(c.message), std::string::npos) << "replacing " << c.from << "\n" << report;
        EXPECT_EQ(report.rfind("mkpack: lang.ini:", 0), 0u) << report;
    }
}
