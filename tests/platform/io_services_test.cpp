// INI files, counted memory, texts built from times and names, pens.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/io_debug.h"
#include "platform/io_desktop.h"
#include "platform/io_file.h"
#include "platform/io_gdi.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "support/fatal_trap.h"

namespace {

struct IniFixture : ::testing::Test {
    std::string dir, file;
    void SetUp() override {
        char tmpl[] = "/tmp/lumavex-ini-XXXXXX";
        dir = mkdtemp(tmpl);
        io_set_start_folder(dir.c_str());
        file = "config.ini";
    }
    void TearDown() override {
        std::system(("rm -rf " + dir).c_str());
        io_set_start_folder("");
    }
    std::string contents() {
        std::ifstream in(dir + "/" + file);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void write(const std::string& text) {
        std::ofstream(dir + "/" + file) << text;
        static int seed;
        std::string name = "case-" + std::to_string(seed++);
        write_fuzz_seed("fuzz_ini", name.c_str(), text.data(), text.size());
    }
};

TEST_F(IniFixture, missing_file_and_keys_read_empty) {
    char v[64] = "junk";
    EXPECT_EQ(io_ini_read(file.c_str(), "MAIN", "Nothing", v, sizeof v), 0);
    EXPECT_STREQ(v, "");
    int i = 5;
    EXPECT_FALSE(io_ini_read_int(file.c_str(), "MAIN", "Nothing", &i));
    EXPECT_EQ(i, 5);
}

TEST_F(IniFixture, names_ignore_case_and_values_are_trimmed) {
    write("; settings\r\n[Main]\r\n  Size = 10 20 \r\nName=\"  quoted  \"\r\n[Other]\r\nSize=1 2\r\n");
    int a, b;
    ASSERT_TRUE(io_ini_read_pair(file.c_str(), "MAIN", "size", &a, &b));
    EXPECT_EQ(a, 10);
    EXPECT_EQ(b, 20);
    char v[64];
    io_ini_read(file.c_str(), "main", "NAME", v, sizeof v);
    EXPECT_STREQ(v, "  quoted  ");
    ASSERT_TRUE(io_ini_read_pair(file.c_str(), "other", "Size", &a, &b));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(io_ini_read(file.c_str(), "main", "NAME", v, 5), 4);  // cut to the buffer
    EXPECT_STREQ(v, "  qu");
}

TEST_F(IniFixture, writes_create_and_replace_in_place) {
    ASSERT_TRUE(io_ini_write_pair(file.c_str(), "MAIN", "OldScreenSize", 800, 600));
    ASSERT_TRUE(io_ini_write_int(file.c_str(), "MAIN", "Count", 3));
    ASSERT_TRUE(io_ini_write_bool(file.c_str(), "ROOM", "Shown", 1));
    ASSERT_TRUE(io_ini_write(file.c_str(), "main", "oldscreensize", "1024 768"));
    EXPECT_EQ(contents(), "[MAIN]\nOldScreenSize=1024 768\nCount=3\n[ROOM]\nShown=1\n");
    ASSERT_TRUE(io_ini_write(file.c_str(), "MAIN", "Text", "two\nlines"));  // never breaks the file
    char v[64];
    io_ini_read(file.c_str(), "MAIN", "Text", v, sizeof v);
    EXPECT_STREQ(v, "two lines");
    ASSERT_TRUE(io_ini_delete_key(file.c_str(), "MAIN", "Text"));
    EXPECT_EQ(io_ini_read(file.c_str(), "MAIN", "Text", v, sizeof v), 0);
    // Long values are kept up to 2047 characters.
    std::string longest(3000, 'x');
    io_ini_write(file.c_str(), "MAIN", "Long", longest.c_str());
    char big[4096];
    EXPECT_EQ(io_ini_read(file.c_str(), "MAIN", "Long", big, sizeof big), 2047);
}

TEST_F(IniFixture, a_failed_write_keeps_the_old_file) {
    io_ini_write(file.c_str(), "MAIN", "Keep", "1");
    std::string before = contents();
    std::string sub = dir + "/ro";
    mkdir(sub.c_str(), 0755);
    // A folder in the way of the temporary file makes the write fail; the old file stays whole.
    std::string tmp = dir + "/" + file + "." + std::to_string(getpid()) + ".new";
    mkdir(tmp.c_str(), 0755);
    EXPECT_FALSE(io_ini_write(file.c_str(), "MAIN", "Other", "2"));
    rmdir(tmp.c_str());
    EXPECT_EQ(contents(), before);
}

TEST_F(IniFixture, typed_readers) {
    write(
        "[S]\nTriple=10 20 30\nColour=255 128 0\nNone=transparent\nReal=2.5\nYes=Yes\nBad=maybe\nHex=0x10\n");
    int a, b, c;
    ASSERT_TRUE(io_ini_read_triple(file.c_str(), "S", "Triple", &a, &b, &c));
    EXPECT_EQ(a, 10);
    EXPECT_EQ(b, 30);
    EXPECT_EQ(c, 20);
    int colour;
    ASSERT_TRUE(io_ini_read_colour(file.c_str(), "S", "Colour", &colour));
    EXPECT_EQ(colour, 0xFF8000);
    ASSERT_TRUE(io_ini_read_colour(file.c_str(), "S", "None", &colour));
    EXPECT_EQ(colour, -1);
    double r;
    ASSERT_TRUE(io_ini_read_real(file.c_str(), "S", "Real", &r));
    EXPECT_EQ(r, 2.5);
    ASSERT_TRUE(io_ini_read_bool(file.c_str(), "S", "Yes", &a));
    EXPECT_EQ(a, 1);
    EXPECT_FALSE(io_ini_read_bool(file.c_str(), "S", "Bad", &a));
    ASSERT_TRUE(io_ini_read_int(file.c_str(), "S", "Hex", &a));
    EXPECT_EQ(a, 16);
}

// Counted memory ---------------------------------------------------------------------------

int g_releases;
int release_one() { return g_releases-- > 0; }
int g_failures;
int fail_some(size_t) { return g_failures-- > 0; }

TEST(io_file, path_join_and_file_exists) {
    char path[16] = "puzzles";
    ASSERT_EQ(io_path_join(path, sizeof path, "a.pzl"), 1);
    EXPECT_STREQ(path, "puzzles/a.pzl");
    for (const char* folder : {"puzzles/", "puzzles\\", ""}) {  // no second separator, none for ""
        std::strcpy(path, folder);
        ASSERT_EQ(io_path_join(path, sizeof path, "a.pzl"), 1);
        EXPECT_EQ(std::string(path), std::string(folder) + "a.pzl");
    }
    std::strcpy(path, "puzzles");
    ASSERT_EQ(io_path_join(path, sizeof path, "12345678"), 0);  // needs 17 bytes
    EXPECT_STREQ(path, "puzzles");
    ASSERT_EQ(io_path_join(path, sizeof path, "1234567"), 1);  // exactly 16
    EXPECT_STREQ(path, "puzzles/1234567");

    char folder[] = "/tmp/lumavex-exists-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string file = std::string(folder) + "/f.bin";
    EXPECT_EQ(io_file_exists(file.c_str()), 0);
    std::ofstream(file) << "x";
    EXPECT_EQ(io_file_exists(file.c_str()), 1);
    EXPECT_EQ(io_file_exists(folder), 0);  // a folder is not a file
    std::remove(file.c_str());
    rmdir(folder);
}

TEST(io_mem, counts_blocks_and_sizes) {
    io_mem_reset();
    EXPECT_EQ(io_mem_alloc(0), nullptr);
    void* a = io_mem_alloc(10);
    char* s = io_mem_strdup("hello");
    EXPECT_EQ(io_mem_size(a), 10u);
    EXPECT_EQ(io_mem_size(nullptr), 0u);
    a = io_mem_realloc(a, 100000);
    EXPECT_EQ(io_mem_size(a), 100000u);
    char* same = io_mem_strreplace(s, "hi");  // fits: the old block is kept
    EXPECT_EQ(same, s);
    char* bigger = io_mem_strreplace(same, "a longer text");
    EXPECT_STREQ(bigger, "a longer text");
    char* empty = io_mem_strdup(nullptr);
    EXPECT_STREQ(empty, "");
    io_mem_free(nullptr);
    io_mem_free(a);
    io_mem_free(bigger);
    io_mem_free(empty);
    EXPECT_EQ(io_mem_allocated_count(), 4);
    EXPECT_EQ(io_mem_freed_count(), 4);
}

TEST(io_mem, exhaustion_asks_the_cache_then_fails) {
    io_mem_set_fail_hook(fail_some);
    io_mem_set_release_hook(release_one);
    g_failures = 2;
    g_releases = 5;
    void* p = io_mem_alloc(64);  // two failures, two releases, then success
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(g_releases, 3);
    io_mem_free(p);
    g_failures = 100;
    g_releases = 1;
    EXPECT_EQ(fatal_message_of([] { (void)io_mem_alloc(1234); }), "io_mem_alloc: no memory (1234)\n");
    g_failures = 100;
    g_releases = 0;
    io_mem_set_fail_hook(fail_some);
    void* r = nullptr;
    EXPECT_EQ(fatal_message_of([&] { r = io_mem_realloc(r, 77); }), "io_mem_alloc: no memory (77)\n");
    io_mem_set_fail_hook(nullptr);
    r = io_mem_alloc(4);
    io_mem_set_fail_hook(fail_some);
    g_failures = 100;
    EXPECT_EQ(fatal_message_of([&] { r = io_mem_realloc(r, 99); }), "io_mem_realloc: no memory (99)\n");
    io_mem_set_fail_hook(nullptr);
    io_mem_set_release_hook(nullptr);
    io_mem_free(r);
}

// Texts -------------------------------------------------------------------------------------

TEST(io_desktop, duration_and_clean_names) {
    char t[32];
    io_duration_text(3725, t, sizeof t);
    EXPECT_STREQ(t, "1:2:05");
    io_duration_text(125, t, sizeof t);
    EXPECT_STREQ(t, "2:05");
    io_duration_text(3600, t, sizeof t);
    EXPECT_STREQ(t, "1:0:00");
    io_duration_text(59, t, sizeof t);
    EXPECT_STREQ(t, "0:59");

    char n[64];
    EXPECT_TRUE(io_clean_file_name("  my*box?.pzl  ", n, sizeof n));
    EXPECT_STREQ(n, "mybox.pzl");
    EXPECT_TRUE(io_clean_file_name("PRN", n, sizeof n));
    EXPECT_STREQ(n, "PRN1");
    EXPECT_FALSE(io_clean_file_name("***", n, sizeof n));
    EXPECT_FALSE(io_clean_file_name("    ", n, sizeof n));
    EXPECT_TRUE(io_clean_file_name("../etc/passwd", n, sizeof n));  // no folder survives
    EXPECT_STREQ(n, "..etcpasswd");
    EXPECT_TRUE(io_clean_file_name("caf\xe9 [1] (x)", n, sizeof n));
    EXPECT_STREQ(n, "caf\xe9 [1] (x)");
    char d[65];
    io_date_text(d, sizeof d);
    EXPECT_GT(std::strlen(d), 8u);
}

TEST(io_desktop, help_address) {
    char url[600];
    io_set_start_folder("/games/lv");
    io_help_address(0, url, sizeof url);
    EXPECT_STREQ(url, "file:///games/lv/help/index.html");
    io_help_address(HELP_SECOND_WINDOW | 12, url, sizeof url);
    EXPECT_STREQ(url, "file:///games/lv/help/index.html#topic-12");
    io_set_start_folder("");
}

// Pens --------------------------------------------------------------------------------------

struct PenFixture : ::testing::Test {
    void SetUp() override { io_video_create_frame(64, 32, 24); }
    void TearDown() override {
        io_gdi_reset_pen();
        io_video_close();
    }
    static int pixel(int x, int y) {
        const uint8_t* p = screen_top_row() + (ptrdiff_t)y * screen.pitch + x * 3;
        return p[2] << 16 | p[1] << 8 | p[0];
    }
    static int lit_in_row(int y) {
        int n = 0;
        for (int x = 0; x < screen.width; x++)
            n += pixel(x, y) != 0;
        return n;
    }
};

TEST_F(PenFixture, lines_rectangles_and_styles) {
    io_gdi_set_pen(0, 0x123456);
    io_gdi_line(2, 3, 10, 3);
    EXPECT_EQ(pixel(2, 3), 0x123456);
    EXPECT_EQ(pixel(10, 3), 0x123456);  // the end point is drawn
    EXPECT_EQ(lit_in_row(3), 9);
    io_gdi_rectangle(20, 10, 5, 4);  // outline of 20..24 x 10..13
    EXPECT_EQ(pixel(20, 10), 0x123456);
    EXPECT_EQ(pixel(24, 13), 0x123456);
    EXPECT_EQ(pixel(22, 11), 0);  // hollow
    EXPECT_EQ(pixel(25, 10), 0);
    io_gdi_set_pen(2, 0xFFFFFF);  // dotted: three on, three off
    io_gdi_line(0, 20, 11, 20);
    EXPECT_EQ(lit_in_row(20), 6);
    io_gdi_set_pen(0, -1);  // the null pen draws nothing
    io_gdi_line(0, 25, 60, 25);
    EXPECT_EQ(lit_in_row(25), 0);
    io_gdi_set_pen(0, 0xFF0000);
    io_gdi_line(-100, 30, 1000, 30);  // clipped to the buffer
    EXPECT_EQ(lit_in_row(30), 64);
    EXPECT_EQ(fatal_message_of([] { io_gdi_set_pen(3, 0); }), "io_gdi_set_pen: invalid pen style\n");
}

TEST_F(PenFixture, bezier_passes_through_its_end_points) {
    io_gdi_set_pen(0, 0x00FF00);
    GdiPoint pts[] = {{2, 30}, {10, 0}, {50, 0}, {60, 30}};
    io_gdi_bezier(pts, 4);
    EXPECT_EQ(pixel(2, 30 - 0), 0x00FF00);
    EXPECT_EQ(pixel(60, 30), 0x00FF00);
    int top_x = -1;  // the curve's top, at t = 0.5, is (30.25, 7.5)
    for (int x = 27; x <= 34; x++)
        if (pixel(x, 7) || pixel(x, 8)) top_x = x;
    EXPECT_NE(top_x, -1);
    EXPECT_EQ(lit_in_row(4), 0);  // and it never goes above it
}

}  // namespace
