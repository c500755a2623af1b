// INI files, counted memory, texts built from times and names, pens.
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/io_desktop.h"
#include "platform/io_file.h"
#include "platform/io_gdi.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "support/fatal_trap.h"
#include "support/files.h"

namespace {

// "config.ini" in a fresh start folder.
struct IniFixture : ::testing::Test {
    TempDir dir;
    const char* file = "config.ini";
    void SetUp() override { io_set_start_folder(dir.path.c_str()); }
    void TearDown() override { io_set_start_folder(""); }
    std::string contents() {
        const Bytes b = read_file(dir / file);
        return std::string(b.begin(), b.end());
    }
    void write(const std::string& text) {
        write_file(dir / file, text_bytes(text));
        static int seed;
        write_fuzz_seed("fuzz_ini", ("case-" + std::to_string(seed++)).c_str(), text.data(), text.size());
    }
};

TEST_F(IniFixture, names_ignore_case_values_are_trimmed_and_missing_keys_read_empty) {
    char v[64] = "junk";
    int a = 5, b, c;
    EXPECT_EQ(io_ini_read(file, "MAIN", "Nothing", v, sizeof v), 0);  // no file yet
    EXPECT_STREQ(v, "");
    EXPECT_FALSE(io_ini_read_int(file, "MAIN", "Nothing", &a));
    EXPECT_EQ(a, 5);

    write("; settings\r\n[Main]\r\n  Size = 10 20 \r\nName=\"  quoted  \"\r\n[Other]\r\nSize=1 2\r\n");
    ASSERT_TRUE(io_ini_read_pair(file, "MAIN", "size", &a, &b));
    EXPECT_EQ(a * 100 + b, 1020);
    io_ini_read(file, "main", "NAME", v, sizeof v);
    EXPECT_STREQ(v, "  quoted  ");
    ASSERT_TRUE(io_ini_read_pair(file, "other", "Size", &a, &b));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(io_ini_read(file, "main", "NAME", v, 5), 4);  // cut to the buffer
    EXPECT_STREQ(v, "  qu");

    write(
        "[S]\nTriple=10 20 30\nColour=255 128 0\nNone=transparent\nReal=2.5\nYes=Yes\nBad=maybe\nHex=0x10\n");
    ASSERT_TRUE(io_ini_read_triple(file, "S", "Triple", &a, &b, &c));
    EXPECT_EQ(a * 10000 + b * 100 + c, 103020);  // the second and third swap places
    ASSERT_TRUE(io_ini_read_colour(file, "S", "Colour", &a));
    EXPECT_EQ(a, 0xFF8000);
    ASSERT_TRUE(io_ini_read_colour(file, "S", "None", &a));
    EXPECT_EQ(a, -1);
    double r;
    ASSERT_TRUE(io_ini_read_real(file, "S", "Real", &r));
    EXPECT_EQ(r, 2.5);
    ASSERT_TRUE(io_ini_read_bool(file, "S", "Yes", &a));
    EXPECT_EQ(a, 1);
    EXPECT_FALSE(io_ini_read_bool(file, "S", "Bad", &a));
    ASSERT_TRUE(io_ini_read_int(file, "S", "Hex", &a));
    EXPECT_EQ(a, 16);
}

TEST_F(IniFixture, writes_create_and_replace_in_place_and_a_failed_write_keeps_the_old_file) {
    ASSERT_TRUE(io_ini_write_pair(file, "MAIN", "OldScreenSize", 800, 600));
    ASSERT_TRUE(io_ini_write_int(file, "MAIN", "Count", 3));
    ASSERT_TRUE(io_ini_write_bool(file, "ROOM", "Shown", 1));
    ASSERT_TRUE(io_ini_write(file, "main", "oldscreensize", "1024 768"));
    EXPECT_EQ(contents(), "[MAIN]\nOldScreenSize=1024 768\nCount=3\n[ROOM]\nShown=1\n");
    ASSERT_TRUE(io_ini_write(file, "MAIN", "Text", "two\nlines"));  // never breaks the file
    char v[64];
    io_ini_read(file, "MAIN", "Text", v, sizeof v);
    EXPECT_STREQ(v, "two lines");
    ASSERT_TRUE(io_ini_delete_key(file, "MAIN", "Text"));
    EXPECT_EQ(io_ini_read(file, "MAIN", "Text", v, sizeof v), 0);
    io_ini_write(file, "MAIN", "Long", std::string(3000, 'x').c_str());  // kept up to 2047 characters
    char big[4096];
    EXPECT_EQ(io_ini_read(file, "MAIN", "Long", big, sizeof big), 2047);

    // A folder in the way of the temporary file makes the write fail; the old file stays whole.
    const std::string before = contents();
    const std::string tmp = dir / (std::string(file) + "." + std::to_string(getpid()) + ".new");
    mkdir(tmp.c_str(), 0755);
    EXPECT_FALSE(io_ini_write(file, "MAIN", "Other", "2"));
    rmdir(tmp.c_str());
    EXPECT_EQ(contents(), before);
}

void collect(void* context, const char* key, const char* value) {
    *(std::string*)context += std::string(key) + "=" + value + ";";
}

TEST_F(IniFixture, a_section_is_read_in_one_pass_and_replaced_whole_in_one_write) {
    write("[MAIN]\nA=1\n[LIST]\n0=first\n; note\n1 = \"second\"\n0=again\n\n[Tail]\nB=2\n[list]\n9=late\n");
    std::string seen;
    EXPECT_EQ(io_ini_read_section(file, "list", collect, &seen), 2);
    EXPECT_EQ(seen, "0=first;1=second;") << "the first key of a name and the first section count";

    const char* keys[] = {"0", "1", "2"};
    const char* values[] = {"x", "two\nlines", "z"};
    ASSERT_TRUE(io_ini_write_section(file, "LIST", keys, values, 3));
    EXPECT_EQ(contents(), "[MAIN]\nA=1\n[LIST]\n0=x\n1=two lines\n2=z\n\n[Tail]\nB=2\n[list]\n9=late\n");
    // The same keys again leave the file untouched; fewer keys drop the others.
    struct stat before, after;
    ASSERT_EQ(stat((dir / file).c_str(), &before), 0);
    ASSERT_TRUE(io_ini_write_section(file, "LIST", keys, values, 3));
    ASSERT_EQ(stat((dir / file).c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "rewritten although nothing changed";
    ASSERT_TRUE(io_ini_write_section(file, "List", keys, values, 1));
    ASSERT_TRUE(io_ini_write_section(file, "NEW", keys + 2, values + 2, 1));
    ASSERT_TRUE(io_ini_write_section(file, "Tail", keys, values, 0));
    EXPECT_EQ(contents(), "[MAIN]\nA=1\n[LIST]\n0=x\n\n[list]\n9=late\n[NEW]\n2=z\n");

    // A file that cannot be read is never replaced.
    std::remove((dir / file).c_str());
    ASSERT_EQ(mkfifo((dir / file).c_str(), 0600), 0);
    EXPECT_FALSE(io_ini_write_section(file, "LIST", keys, values, 3));
    EXPECT_EQ(io_ini_read_section(file, "LIST", collect, &seen), 0);
}

std::string g_unreadable_told;
void note_unreadable(const char* path) { g_unreadable_told += std::string(path) + ";"; }

TEST_F(IniFixture, a_file_that_is_there_but_cannot_be_read_is_never_written_over) {
    // A FIFO in the file's place would block a plain open, and a folder cannot be read: either
    // reads as unreadable (not as empty), every key reads missing, and no write replaces it.
    io_ini_set_unreadable_hook(note_unreadable);
    g_unreadable_told.clear();
    ASSERT_EQ(mkfifo((dir / file).c_str(), 0600), 0);
    char v[16];
    EXPECT_EQ(io_ini_read(file, "MAIN", "Key", v, sizeof v), 0);
    EXPECT_FALSE(io_ini_write(file, "MAIN", "Key", "1"));
    EXPECT_FALSE(io_ini_delete_key(file, "MAIN", "Key"));
    EXPECT_TRUE(io_ini_unreadable(file));
    struct stat st;
    ASSERT_EQ(stat((dir / file).c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the file was replaced";
    EXPECT_EQ(g_unreadable_told, dir / file + ";") << "told once for the file";

    const char* other = "other.ini";  // a missing file is simply empty, and writes create it
    EXPECT_TRUE(io_ini_write(other, "MAIN", "Key", "1"));
    EXPECT_FALSE(io_ini_unreadable(other));
    io_ini_set_unreadable_hook(nullptr);
}

TEST(io_file, moves_never_remove_first_reads_open_only_regular_files_and_stale_temporaries_go) {
    TempDir dir;
    write_file(dir / "old", text_bytes("old"));
    write_file(dir / "new", text_bytes("new"));
    EXPECT_FALSE(io_move_file((dir / "missing").c_str(), (dir / "old").c_str()));
    EXPECT_EQ(read_file(dir / "old"), text_bytes("old")) << "a failed move leaves the target";
    EXPECT_TRUE(io_move_file((dir / "new").c_str(), (dir / "old").c_str()));
    EXPECT_EQ(read_file(dir / "old"), text_bytes("new"));

    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(io_fopen_read((dir / "fifo").c_str()), nullptr);  // returns at once, never blocks
    EXPECT_EQ(io_file_exists((dir / "fifo").c_str()), 0);
    EXPECT_EQ(io_fopen_read(dir.path.c_str()), nullptr);
    EXPECT_EQ(io_file_size((dir / "fifo").c_str()), -1);
    EXPECT_EQ(io_file_size((dir / "old").c_str()), 3);
    FILE* f = io_fopen_read((dir / "old").c_str());
    ASSERT_NE(f, nullptr);
    char got[4] = {};
    EXPECT_EQ(std::fread(got, 1, 3, f), 3u);
    std::fclose(f);
    EXPECT_STREQ(got, "new");

    // The temporary files of writers that have gone are removed; a live writer's stay, and so
    // does anything that only looks like one.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string dead = "box.pzl." + std::to_string(gone) + ".new";
    const std::string live = "box.pzl." + std::to_string(getpid()) + ".new";
    for (const std::string& name : {dead, live, std::string("plain.new"), std::string("x.12a.new")})
        write_file(dir / name, text_bytes("x"));
    EXPECT_EQ(io_remove_stale_temps(dir.path.c_str()), 1);
    EXPECT_FALSE(exists(dir / dead));
    EXPECT_TRUE(exists(dir / live));
    EXPECT_TRUE(exists(dir / "plain.new"));
    EXPECT_TRUE(exists(dir / "x.12a.new"));
}

TEST(io_file, a_failed_write_names_its_cause) {
    TempDir dir;
    // A folder in the temporary file's place: the open fails and says why.
    const std::string target = dir / "f.bin";
    mkdir((target + "." + std::to_string(getpid()) + ".new").c_str(), 0755);
    io_set_last_error(0);
    EXPECT_FALSE(io_write_file_atomic(target.c_str(), "x", 1));
    EXPECT_EQ(io_last_error(), EISDIR);
    EXPECT_FALSE(io_error_is_disk_full(io_last_error()));
    EXPECT_TRUE(io_error_is_disk_full(ENOSPC));
}

// Counted memory ---------------------------------------------------------------------------

int g_releases, g_failures;

TEST(io_file, path_join_puts_one_separator_and_file_exists_only_for_files) {
    const struct {
        const char* folder;
        const char* name;
        int result;
        const char* joined;
    } cases[] = {{"puzzles", "a.pzl", 1, "puzzles/a.pzl"},    {"puzzles/", "a.pzl", 1, "puzzles/a.pzl"},
                 {"puzzles\\", "a.pzl", 1, "puzzles\\a.pzl"}, {"", "a.pzl", 1, "a.pzl"},
                 {"puzzles", "12345678", 0, "puzzles"},          // needs 17 bytes
                 {"puzzles", "1234567", 1, "puzzles/1234567"}};  // exactly 16
    for (const auto& c : cases) {
        char path[16];
        std::strcpy(path, c.folder);
        EXPECT_EQ(io_path_join(path, sizeof path, c.name), c.result) << c.folder << " " << c.name;
        EXPECT_STREQ(path, c.joined);
    }

    TempDir dir;
    EXPECT_EQ(io_file_exists((dir / "f.bin").c_str()), 0);
    write_file(dir / "f.bin", {});
    EXPECT_EQ(io_file_exists((dir / "f.bin").c_str()), 1);
    EXPECT_EQ(io_file_exists(dir.path.c_str()), 0);  // a folder is not a file
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
    EXPECT_EQ(io_mem_strreplace(s, "hi"), s);  // fits: the old block is kept
    char* bigger = io_mem_strreplace(s, "a longer text");
    EXPECT_STREQ(bigger, "a longer text");
    char* empty = io_mem_strdup(nullptr);
    EXPECT_STREQ(empty, "");
    for (void* block : {(void*)nullptr, a, (void*)bigger, (void*)empty})
        io_mem_free(block);
    EXPECT_EQ(io_mem_allocated_count() * 10 + io_mem_freed_count(), 44);
}

TEST(io_mem, exhaustion_asks_the_cache_then_fails) {
    io_mem_set_fail_hook([](size_t) { return (int)(g_failures-- > 0); });
    io_mem_set_release_hook([] { return (int)(g_releases-- > 0); });
    g_failures = 2;
    g_releases = 5;
    void* p = io_mem_alloc(64);  // two failures, two releases, then success
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(g_releases, 3);
    io_mem_free(p);
    g_failures = 100;
    g_releases = 1;
    EXPECT_EQ(fatal_message_of([] { (void)io_mem_alloc(1234); }), "io_mem_alloc: no memory (1234)\n");
    g_releases = 0;
    void* r = nullptr;
    EXPECT_EQ(fatal_message_of([&] { r = io_mem_realloc(r, 77); }), "io_mem_alloc: no memory (77)\n");
    g_failures = 0;
    r = io_mem_alloc(4);
    g_failures = 100;
    EXPECT_EQ(fatal_message_of([&] { r = io_mem_realloc(r, 99); }), "io_mem_realloc: no memory (99)\n");
    io_mem_set_fail_hook(nullptr);
    io_mem_set_release_hook(nullptr);
    io_mem_free(r);
}

// Desktop folders -----------------------------------------------------------------------------

TEST(io_desktop, user_folders_are_the_ones_set_that_exist_apart_from_home) {
    TempDir dir;
    const std::string home = dir / "home";
    for (const char* sub : {"home", "home/Desktop", "home/Pictures", "config"})
        io_make_folder((dir / sub).c_str());
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    char path[PATH_MAX_GAME];
    EXPECT_EQ(io_user_folder("DESKTOP", path, sizeof path), 0) << "no settings: no places";
    write_file(dir / "config/user-dirs.dirs",
               text_bytes("# written by the desktop\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                          "XDG_PICTURES_DIR=\"" +
                          home +
                          "/Pictures/\"\nXDG_DOCUMENTS_DIR=\"$HOME/Gone\"\n"
                          "XDG_MUSIC_DIR=\"$HOME/\"\nXDG_VIDEOS_DIR=\"Videos\"\n"));
    ASSERT_EQ(io_user_folder("DESKTOP", path, sizeof path), 1);
    EXPECT_EQ(std::string(path), home + "/Desktop");
    ASSERT_EQ(io_user_folder("PICTURES", path, sizeof path), 1);
    EXPECT_EQ(std::string(path), home + "/Pictures");
    for (const char* none : {"DOCUMENTS", "MUSIC", "VIDEOS", "DOWNLOAD"})
        EXPECT_EQ(io_user_folder(none, path, sizeof path) * 10 + (int)std::strlen(path), 0) << none;
    EXPECT_EQ(io_user_folder("DESKTOP", path, 8), 0) << "too long for the buffer";
    const Bytes dirs = read_file(dir / "config/user-dirs.dirs");
    write_fuzz_seed("fuzz_userdirs", "desktop", dirs.data(), dirs.size());
    // No line end at the end, a carriage return, a line longer than any buffer before it.
    write_file(dir / "config/user-dirs.dirs", text_bytes("XDG_MUSIC_DIR=\"" + std::string(5000, 'x') +
                                                         "\"\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\r"));
    ASSERT_EQ(io_user_folder("DESKTOP", path, sizeof path), 1);
    EXPECT_EQ(std::string(path), home + "/Desktop");
    // A pipe in the file's place is never opened: no place, and no wait.
    std::filesystem::remove(dir / "config/user-dirs.dirs");
    ASSERT_EQ(mkfifo((dir / "config/user-dirs.dirs").c_str(), 0600), 0);
    EXPECT_EQ(io_user_folder("DESKTOP", path, sizeof path), 0);
    setenv("HOME", oldHome.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
}

// Texts -------------------------------------------------------------------------------------

TEST(io_desktop, durations_clean_names_and_the_help_address) {
    char t[600];
    for (auto [seconds, text] : {std::pair{3725, "1:2:05"}, {125, "2:05"}, {3600, "1:0:00"}, {59, "0:59"}}) {
        io_duration_text(seconds, t, sizeof t);
        EXPECT_STREQ(t, text);
    }
    const std::pair<const char*, const char*> names[] = {
        {"  my*box?.pzl  ", "mybox.pzl"},      {"PRN", "PRN1"}, {"***", nullptr}, {"    ", nullptr},
        {"../etc/passwd", "..etcpasswd"},  // no folder survives
        {"caf\xe9 [1] (x)", "caf\xe9 [1] (x)"}};
    for (auto [name, clean] : names) {
        EXPECT_EQ(io_clean_file_name(name, t, sizeof t), clean != nullptr) << name;
        EXPECT_STREQ(clean ? t : nullptr, clean);
    }

    io_set_start_folder("/games/lv");
    io_help_address(0, t, sizeof t);
    EXPECT_STREQ(t, "file:///games/lv/help/index.html");
    io_help_address(HELP_SECOND_WINDOW | 12, t, sizeof t);
    EXPECT_STREQ(t, "file:///games/lv/help/index.html#topic-12");
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

TEST_F(PenFixture, lines_rectangles_styles_and_curves) {
    io_gdi_set_pen(PEN_SOLID, 0x123456);  // solid lines with their end points are pinned by the grid preview
    io_gdi_rectangle(20, 10, 5, 4);       // outline of 20..24 x 10..13
    EXPECT_EQ(pixel(20, 10), 0x123456);
    EXPECT_EQ(pixel(24, 13), 0x123456);
    EXPECT_EQ(pixel(22, 11), 0);  // hollow
    EXPECT_EQ(pixel(25, 10), 0);
    io_gdi_set_pen(PEN_DOTTED, 0xFFFFFF);  // dotted: three on, three off
    io_gdi_line(0, 20, 11, 20);
    EXPECT_EQ(lit_in_row(20), 6);
    io_gdi_set_pen(PEN_SOLID, -1);  // the null pen draws nothing
    io_gdi_line(0, 25, 60, 25);
    EXPECT_EQ(lit_in_row(25), 0);
    io_gdi_set_pen(PEN_SOLID, 0xFF0000);
    io_gdi_line(-100, 30, 1000, 30);  // clipped to the buffer
    EXPECT_EQ(lit_in_row(30), 64);
    screen_set_clip(10, 0, 20, 32);  // and to the clip rectangle
    io_gdi_line(-100, 31, 1000, 31);
    screen_clip_reset();
    EXPECT_EQ(lit_in_row(31), 20);
    EXPECT_EQ(fatal_message_of([] { io_gdi_set_pen(3, 0); }), "io_gdi_set_pen: invalid pen style\n");

    // A curve passes through its end points; its top, at t = 0.5, is (30.25, 7).
    io_gdi_set_pen(PEN_SOLID, 0x00FF00);
    GdiPoint pts[] = {{2, 28}, {10, 0}, {50, 0}, {60, 28}};
    io_gdi_bezier(pts, 4);
    EXPECT_EQ(pixel(2, 28), 0x00FF00);
    EXPECT_EQ(pixel(60, 28), 0x00FF00);
    int top = 0;
    for (int x = 27; x <= 34; x++)
        top += pixel(x, 7) == 0x00FF00 || pixel(x, 8) == 0x00FF00;
    EXPECT_GT(top, 0);
    EXPECT_EQ(lit_in_row(4), 0);  // and it never goes above it
}

}  // namespace
