// The file chooser's listing: filter, order, hidden entries, names that are not UTF-8, going up,
// and names shortened to a width.
#include "gui/chooser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/io_file.h"
#include "support/files.h"

namespace {

std::vector<std::string> names(const ChooserList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.count; i++)
        out.push_back(std::string(list.entries[i].isFolder ? "/" : "") + list.entries[i].name);
    return out;
}

std::string shown(const char* name) {
    char out[64];
    chooser_shown_name(name, out, sizeof out);
    return out;
}

TEST(Chooser, ListsFoldersFirstThenMatchingFilesIgnoringCase) {
    TempDir dir;
    for (const char* f : {"b.jpg", "A.JPG", "c.txt", ".hidden.jpg", "\xE9t\xE9.bmp", "d.jpeg"})
        write_file(dir / f, text_bytes("x"));
    for (const char* d : {"Zed", "alpha", ".git", "pics.jpg"})
        io_make_folder((dir / d).c_str());
    auto list = std::make_unique<ChooserList>();
    ASSERT_EQ(1, chooser_list(dir.path.c_str(), "*.jpg;*.BMP", list.get()));
    EXPECT_EQ((std::vector<std::string>{"/alpha", "/pics.jpg", "/Zed", "A.JPG", "b.jpg", "\xE9t\xE9.bmp"}),
              names(*list));
    EXPECT_EQ(0, list->cut);
    ASSERT_EQ(1, chooser_list(dir.path.c_str(), "*", list.get()));
    EXPECT_EQ(8, list->count);
    EXPECT_EQ(0, chooser_list((dir / "missing").c_str(), "", list.get()));
    EXPECT_EQ(0, list->count);

    for (int i = 0; i <= FOLDER_ENTRY_MAX; i++)
        write_file(dir / ("many" + std::to_string(i) + ".dat"), text_bytes(""));
    chooser_list(dir.path.c_str(), "*.dat", list.get());
    EXPECT_EQ(FOLDER_ENTRY_MAX, list->count);
    EXPECT_EQ(1, list->cut);

    EXPECT_EQ(1, chooser_filter_match("abc", "a?c"));
    EXPECT_EQ(0, chooser_filter_match("abc.jpgx", "*.jpg"));
}

TEST(Chooser, NamesPathsAndShortening) {
    EXPECT_EQ("\xE9t\xE9", shown("\xC3\xA9t\xC3\xA9"));  // UTF-8 shown in Windows-1252
    EXPECT_EQ("?t?.bmp", shown("\xE9t\xE9.bmp"));        // not UTF-8
    EXPECT_EQ("?.jpg \x80", shown("\xE4\xB8\xAD.jpg \xE2\x82\xAC"));

    char path[PATH_MAX_GAME];
    ASSERT_EQ(1, chooser_normalise("../x/./y//", "/a/b", path, sizeof path));
    EXPECT_STREQ("/a/x/y", path);
    ASSERT_EQ(1, chooser_up(path));
    EXPECT_STREQ("/a/x", path);
    chooser_normalise("/a", "", path, sizeof path);
    ASSERT_EQ(1, chooser_up(path));
    EXPECT_STREQ("/", path);
    EXPECT_EQ(0, chooser_up(path));

    auto pitch10 = [](const char* t) { return 10 * (int)std::strlen(t); };
    char out[32];
    chooser_shorten("abcdefghij", 60, pitch10, 0, out, sizeof out);
    EXPECT_STREQ("abc...", out);
    chooser_shorten("abcdefghij", 60, pitch10, 1, out, sizeof out);
    EXPECT_STREQ("...hij", out);
    chooser_shorten("abc", 60, pitch10, 0, out, sizeof out);
    EXPECT_STREQ("abc", out);
}

}  // namespace
