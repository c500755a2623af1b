// The file chooser's listing: filter, order, hidden entries, names that are not UTF-8, going up,
// and names shortened to a width.
#include "gui/chooser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/button.h"
#include "gui/io_dialog.h"
#include "gui/lt.h"
#include "gui/window.h"
#include "platform/io_file.h"
#include "platform/screen.h"
#include "support/files.h"
#include "support/toolkit.h"

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

// The chooser in the real window manager: each nested loop takes its steps from one queue; an
// empty queue is a game that closes.
std::deque<std::function<void()>> g_steps;
int run_queue(const int* done) {
    while (!*done && !g_steps.empty()) {
        auto step = g_steps.front();
        g_steps.pop_front();
        step();
    }
    return *done;
}

void send(int type, intptr_t a, intptr_t b = 0, intptr_t c = 0) {
    KernelEvent e{type, a, b, c};
    window_dispatch(&e);
}
void key(int k) { send(KE_KEYDOWN, k); }
void type(const char* text) {
    for (const char* p = text; *p; p++)
        send(KE_TEXTINPUT, (unsigned char)*p);
}
// A press on row r of the list (right of the places) at game time t.
void press_row(int r, int t) {
    int x, y;
    window_screen_pos(window_modal(), &x, &y);
    send(KE_TICK, t);
    send(KE_MOUSEDOWN, x + 170, y + 48 + 18 * r + 5, 1);
    send(KE_MOUSEUP, x + 170, y + 48 + 18 * r + 5, 1);
}

struct ChooserWindow : ::testing::Test {
    void SetUp() override {
        chooser_init();
        io_make_folder((dir / "sub").c_str());
        write_file(dir / "keep.pzl", text_bytes("x"));
    }
    void TearDown() override { g_steps.clear(); }
    ModalToolkit toolkit{run_queue};
    TempDir dir;
    char file[PATH_MAX_GAME] = "", folder[PATH_MAX_GAME] = "";
};

TEST_F(ChooserWindow, SaveAsksBeforeOverwritingAndAddsTheExtension) {
    std::strcpy(folder, dir.path.c_str());
    g_steps = {[] { type("keep"); }, [] { key(KEY_ENTER); },  // exists: the question
               [] { key(KEY_ESCAPE); },                       // no: back to the chooser
               [] { key(KEY_ENTER); }, [] { key(KEY_ENTER); }};
    ASSERT_EQ(1, chooser_save(file, folder, "*.pzl"));
    EXPECT_EQ(dir / "keep.pzl", file);
    EXPECT_EQ(dir.path, folder);

    // The name line starts with the last file's name; a new file is saved without a question.
    g_steps = {[] { key('A' | KEY_CTRL); }, [] { type("sub/new"); }, [] { key(KEY_ENTER); }};
    ASSERT_EQ(1, chooser_save(file, folder, "*.pzl"));
    EXPECT_EQ(dir / "sub/new.pzl", file);
    EXPECT_EQ(dir / "sub", folder);
}

TEST_F(ChooserWindow, DoubleClicksUpAndCancel) {
    std::strcpy(folder, dir.path.c_str());
    g_steps = {[] { press_row(0, 1000); }, [] { press_row(0, 1300); },  // opens "sub"
               [] { key(KEY_BACKSPACE); },          // and back up
               [] { press_row(1, 2000); }, [] { press_row(1, 2500); },  // too slow: one click each
               [] { key(KEY_ENTER); }};
    ASSERT_EQ(1, chooser_open(file, folder, "*.pzl"));
    EXPECT_EQ(dir / "keep.pzl", file);

    std::strcpy(file, "unchanged");
    g_steps = {[] { key(KEY_ESCAPE); }};
    EXPECT_EQ(0, chooser_open(file, folder, "*.pzl"));
    g_steps = {[] { type("missing.pzl"); }};  // the game closes meanwhile
    EXPECT_EQ(0, chooser_open(file, folder, "*.pzl"));
    EXPECT_STREQ("unchanged", file);
}

TEST_F(ChooserWindow, PlacesLeadToTheDesktopsFoldersAndAnUnreadableFolderLeavesAWayOut) {
    // A home with a desktop folder the settings name, and a pictures folder they name but that is
    // missing: Home, Desktop (and no Pictures) are the places.
    const std::string home = dir / "home";
    io_make_folder((dir / "home").c_str());
    io_make_folder((dir / "home/Desktop").c_str());
    io_make_folder((dir / "home/.config").c_str());
    write_file(dir / "home/Desktop/card.pzl", text_bytes("x"));
    write_file(dir / "home/.config/user-dirs.dirs",
               text_bytes("XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Pictures\"\n"));
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    // It opens in a folder that cannot be read; the second place is the desktop.
    std::strcpy(folder, (dir / "missing").c_str());
    g_steps = {[] {
                   int x, y;
                   window_screen_pos(window_modal(), &x, &y);
                   send(KE_MOUSEDOWN, x + 40, y + 48 + 20 + 5, 1);
                   send(KE_MOUSEUP, x + 40, y + 48 + 20 + 5, 1);
               },
               [] { key(KEY_DOWN); }, [] { key(KEY_ENTER); }};
    const int chosen = chooser_open(file, folder, "*.pzl");
    setenv("HOME", oldHome.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(chosen, 1);
    EXPECT_EQ(home + "/Desktop/card.pzl", file);
}

}  // namespace
