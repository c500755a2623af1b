// tests/resources/dp_test.cpp -- the data pack against packs built by hand and by the writer.
#include "resources/dp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/io_mem.h"
#include "resources/packwriter.h"
#include "support/fatal_trap.h"
#include "support/files.h"

namespace {

struct RawEntry {
    std::string name;
    std::string data;
    uint32_t padding;  // zero bytes after the name's terminating zero
};

// A pack laid out by hand: head, data back to back, directory at the end.
Bytes raw_pack(const std::vector<RawEntry>& entries) {
    Bytes pack(16, 0), directory;
    for (const RawEntry& e : entries) {
        for (uint32_t v :
             {(uint32_t)(12 + e.name.size() + 1 + e.padding), (uint32_t)pack.size(), (uint32_t)e.data.size()})
            put32(&directory, v);
        directory.insert(directory.end(), e.name.begin(), e.name.end());
        directory.insert(directory.end(), 1 + e.padding, 0);
        pack.insert(pack.end(), e.data.begin(), e.data.end());
    }
    set32(&pack, 0, DP_MAGIC);
    set32(&pack, 4, (uint32_t)pack.size());
    set32(&pack, 8, (uint32_t)directory.size());
    set32(&pack, 12, (uint32_t)entries.size());
    pack.insert(pack.end(), directory.begin(), directory.end());
    return pack;
}

std::string loaded(int index) {
    char* block = (char*)dp_load(index);
    std::string out(block, block ? block + dp_size(index) : block);
    io_mem_free(block);
    return out;
}

class DataPack : public ::testing::Test {
   protected:
    TempDir dir;
    void SetUp() override { dp_done(); }
    void TearDown() override { dp_done(); }
    std::string path(const char* name) const { return dir / name; }
    void write(const char* name, const std::string& text) { write_file(dir / name, text_bytes(text)); }

    // The three resources most tests use, with the directory entries padded differently.
    std::string standard_pack() {
        const Bytes pack = raw_pack({{"img/intro.jpg", "JPEGDATA", 0},
                                     {"skin.ini", "[COLOURS]\n", 3},
                                     {"curves/c_1.crv", "0123456789", 6}});
        write_file(path("data.pck"), pack);
        write_fuzz_seed("fuzz_pack", "padded", pack.data(), pack.size());
        return path("data.pck");
    }
};

TEST_F(DataPack, lookup_registers_once_walks_padded_entries_and_is_case_sensitive) {
    dp_open(standard_pack());
    EXPECT_EQ(dp_entry_count(0), 3);
    EXPECT_STREQ(dp_entry_name(0, 2), "curves/c_1.crv");
    const int skin = dp_get_index("skin.ini", 1), intro = dp_get_index("img/intro.jpg", 1);
    EXPECT_EQ(skin * 10 + intro, 1);
    EXPECT_EQ(dp_get_index("skin.ini", 1), skin);
    // Another case, a prefix, a longer name, a name with a zero inside: misses.
    using namespace std::literals;
    for (std::string_view miss : {"IMG/INTRO.JPG"sv, "img/intro.jp"sv, "img/intro.jpgx"sv, "skin.ini\0"sv})
        EXPECT_EQ(dp_get_index(miss, 0), -1) << miss;
    const int curve = dp_get_index("curves/c_1.crv", 1);
    EXPECT_EQ(curve, 2);  // nothing registered by the misses
    EXPECT_STREQ(dp_name(intro), "img/intro.jpg");
    EXPECT_EQ(dp_size(curve) * 100 + dp_size(skin), 1010);
    EXPECT_EQ(loaded(curve), "0123456789");
    EXPECT_EQ(loaded(skin), "[COLOURS]\n");

    // A miss searches again next time: a later pack may hold the name.
    EXPECT_EQ(dp_get_index("extra.wav", 0), -1);
    std::filesystem::create_directory(path("more"));
    write("more/extra.wav", "RIFF");
    dp_open(path("more@"));
    EXPECT_EQ(dp_get_index("extra.wav", 0), 3);
    dp_done();
    dp_open(path("data.pck"));
    EXPECT_EQ(dp_get_index("curves/c_1.crv", 1), 0);  // indexes start again after dp_done
}

TEST_F(DataPack, reading_starts_at_the_resource_and_stays_inside_it) {
    dp_open(standard_pack());
    const int intro = dp_get_index("img/intro.jpg", 1), curve = dp_get_index("curves/c_1.crv", 1);
    std::fseek(dp_fopen(intro), 0, SEEK_END);  // a direct reader leaves the pack stream elsewhere
    dp_fclose();

    char buf[9] = {};
    dp_fopen(curve);
    dp_fread(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "012");
    EXPECT_EQ(dp_fseek(7), 1);
    dp_fread(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "789");
    // Never into the resource before nor the one after; the end itself is a place to stand.
    EXPECT_EQ((std::vector<int>{dp_fseek(-1), dp_fseek(11), dp_fseek(10), dp_fseek(8)}),
              (std::vector<int>{0, 0, 1, 1}));
    // Two bytes left; the next resource's bytes must not be delivered.
    EXPECT_EQ(fatal_message_of([&] { dp_fread(buf, 3); }), "dp_fread: curves/c_1.crv\n");
    dp_fclose();
    dp_fopen(intro);
    dp_fread(buf, 8);
    EXPECT_STREQ(buf, "JPEGDATA");
    dp_fclose();
}

TEST_F(DataPack, folder_pack_through_at_sign) {
    std::filesystem::create_directories(path("data/img"));
    write("data/img/x.bin", "folder bytes");
    write("data/empty.txt", "");
    ASSERT_EQ(dp_open(path("data@ignored")), 1);
    EXPECT_EQ(dp_entry_count(0), 0);
    EXPECT_EQ(dp_get_index("img/y.bin", 0), -1);
    EXPECT_EQ(dp_get_index("img", 0), -1);  // a folder is no resource
    const int x = dp_get_index("img/x.bin", 1), empty = dp_get_index("empty.txt", 1);
    EXPECT_STREQ(dp_name(x), "img/x.bin");
    EXPECT_EQ(loaded(x), "folder bytes");
    EXPECT_EQ(dp_load(empty), nullptr);

    char buf[6];
    dp_fopen(x);
    EXPECT_EQ(dp_size(empty) * 100 + dp_size(x), 12);  // sizes can be asked while a file is current
    EXPECT_EQ(dp_fseek(7), 1);
    dp_fread(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "bytes");
    EXPECT_EQ(fatal_message_of([&] { dp_fread(buf, 1); }), "dp_fread: img/x.bin\n");
    dp_fclose();
}

TEST_F(DataPack, fatal_messages_of_the_tables_and_the_current_file) {
    std::filesystem::create_directory(path("f"));
    for (int i = 0; i < DP_PACK_MAX; i++)
        dp_open(path("f@"));
    EXPECT_EQ(fatal_message_of([] { dp_open("other@"); }), "dp_open: datapacks id full\n");
    dp_done();

    std::vector<std::string> names;
    std::vector<PackItem> items;
    for (int i = 0; i <= DP_RESOURCE_MAX; i++)
        names.push_back("r" + std::to_string(i));
    for (const std::string& n : names)
        items.push_back({n.c_str(), n.data(), (uint32_t)n.size(), nullptr});
    ASSERT_EQ(packwriter_write(path("big.pck").c_str(), items.data(), (int)items.size()), 1);
    dp_open(path("big.pck"));
    for (int i = 0; i < DP_RESOURCE_MAX; i++)
        ASSERT_EQ(dp_get_index(names[i], 1), i);
    EXPECT_EQ(dp_get_index("r7", 1), 7);  // known names are still found when full
    for (const char* name : {names[DP_RESOURCE_MAX].c_str(), "absent"})
        EXPECT_EQ(fatal_message_of([&] { (void)dp_get_index(name, 0); }),
                  "dp_get_index: fileinfos is full\n");
    EXPECT_EQ(loaded(511), "r511");
    dp_done();

    dp_open(standard_pack());
    EXPECT_EQ(fatal_message_of([] { (void)dp_get_index("sounds/none.wav", 1); }),
              "dp_get_hfile: file not found (sounds/none.wav)\n");
    const int skin = dp_get_index("skin.ini", 1);
    EXPECT_EQ(fatal_message_of([] { dp_fclose(); }), "dp_fopen: next open\n");
    EXPECT_EQ(fatal_message_of([] { dp_fseek(0); }), "dp_fseek: file is not open\n");
    dp_fopen(skin);
    EXPECT_EQ(fatal_message_of([&] { dp_fopen(skin); }), "dp_fopen: next open\n");
    EXPECT_EQ(fatal_message_of([&] { (void)dp_load(skin); }), "dp_fopen: next open\n");
    dp_fclose();
    EXPECT_NE(fatal_message_of([] { dp_fopen(99); }), "");  // an index never handed out
}

TEST_F(DataPack, broken_packs_are_refused_with_their_message) {
    const std::string p = path("t.pck"), missing = path("missing.pck");
    EXPECT_EQ(fatal_message_of([&] { dp_open(missing); }), "dp_open: not found (" + missing + ")\n");

    const Bytes good = raw_pack({{"a.txt", "alpha", 0}, {"b/c.txt", "beta!", 2}});
    write_fuzz_seed("fuzz_pack", "two", good.data(), good.size());
    const size_t directory = 16 + 10, second = directory + 18;  // second entry: 12 + "a.txt" + 0
    const std::string packfiles = "dp_open: fread packfiles (" + p + ")\n";
    const struct {
        const char* what;
        size_t at;
        uint32_t value;  // written over 4 bytes at `at`; `size` < good.size() truncates instead
        size_t size;
        std::string message;
    } lies[] = {{"short head", 0, 0, 15, "dp_open: fread of packhead (" + p + ")\n"},
                {"one magic byte", 0, 0x334B4350, 0, "dp_open: invalid magic (" + p + ")\n"},
                {"directory past the end", 4, (uint32_t)good.size(), 0, packfiles},
                {"directory size past the end", 8, 100, 0, packfiles},
                {"directory over the limit", 8, DP_DIRECTORY_MAX + 1, 0, packfiles},
                {"more entries than fit", 12, 3, 0, packfiles},
                {"huge entry count", 12, 0xFFFFFFFF, 0, packfiles},
                {"entry length 0", directory, 0, 0, packfiles},
                {"entry length without a name", directory, 12, 0, packfiles},
                {"entry past the directory", second, 40, 0, packfiles},
                {"data past the end", second + 8, 1000, 0, packfiles},
                {"offset past the end", second + 4, 0xFFFFFFF0, 0, packfiles},
                {"truncated directory", 0, 0, good.size() - 1, packfiles}};
    for (const auto& lie : lies) {
        Bytes bad = good;
        if (lie.size)
            bad.resize(lie.size);
        else
            set32(&bad, lie.at, lie.value);
        write_file(p, bad);
        EXPECT_EQ(fatal_message_of([&] { dp_open(p); }), lie.message) << lie.what;
        EXPECT_EQ(dp_pack_count(), 0) << lie.what;
    }
    Bytes unended = raw_pack({{"abc", "x", 0}});  // a name without its terminating zero
    unended.back() = 'd';
    write_file(p, unended);
    EXPECT_EQ(fatal_message_of([&] { dp_open(p); }), packfiles);
    write_file(p, good);  // the unchanged pack opens
    ASSERT_EQ(dp_open(p), 1);
    EXPECT_EQ(loaded(dp_get_index("b/c.txt", 1)), "beta!");
    write_file(path("empty.pck"), raw_pack({}));
    EXPECT_EQ(dp_open(path("empty.pck")), 1);
    EXPECT_EQ(dp_entry_count(1), 0);
}

TEST_F(DataPack, extract_copies_the_whole_resource) {
    dp_open(standard_pack());
    const int curve = dp_get_index("curves/c_1.crv", 1);
    write("c.crv", "old and longer contents");
    EXPECT_EQ(dp_extract(curve, path("c.crv").c_str()), 1);
    EXPECT_EQ(read_file(path("c.crv")), text_bytes("0123456789"));
    EXPECT_EQ(dp_extract(curve, path("no/such/folder/c.crv").c_str()), 0);
    dp_fopen(curve);  // neither call left a file current
    dp_fclose();

    std::filesystem::create_directory(path("folder"));
    write("folder/lang.ini", "[TEXTS]\n1=Hallo\n");
    dp_open(path("folder@"));
    const int lang = dp_get_index("lang.ini", 1);
    EXPECT_EQ(dp_extract(lang, path("lang.ini").c_str()), 1);
    EXPECT_EQ(read_file(path("lang.ini")), text_bytes("[TEXTS]\n1=Hallo\n"));
    std::filesystem::remove(path("folder/lang.ini"));
    EXPECT_EQ(dp_extract(lang, path("lang2.ini").c_str()), 0);  // gone since the lookup
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
        EXPECT_EQ(e.path().string().find(".new"), std::string::npos) << e.path();
}

TEST_F(DataPack, writer_packs_a_folder_sorted_with_the_head_by_hand) {
    std::filesystem::create_directories(path("src/img/sub"));
    std::filesystem::create_directories(path("src/curves"));
    write("src/skin.ini", "skin");
    write("src/img/sub/b.img", "bb");
    write("src/img/a.jpg", "a");
    write("src/curves/c_0.crv", "");
    write("src/Z.txt", "upper case sorts first");
    PackFolder folder;
    ASSERT_EQ(packwriter_scan_folder(path("src").c_str(), &folder), 1);
    EXPECT_EQ(folder.names, (std::vector<std::string>{"Z.txt", "curves/c_0.crv", "img/a.jpg", "img/sub/b.img",
                                                      "skin.ini"}));
    ASSERT_EQ(packwriter_write(path("one.pck").c_str(), folder.items.data(), (int)folder.items.size()), 1);
    const Bytes one = read_file(path("one.pck"));
    write_fuzz_seed("fuzz_pack", "folder", one.data(), one.size());

    // Head worked out by hand: data 22 + 0 + 1 + 2 + 4 = 29 bytes after the head; entries
    // padded to 4: 20, 28, 24, 28, 24.
    Bytes head = text_bytes("PCK2");
    for (uint32_t v : {16u + 29, 20u + 28 + 24 + 28 + 24, 5u})
        put32(&head, v);
    ASSERT_EQ(one.size(), 16u + 29 + 124);
    EXPECT_EQ(Bytes(one.begin(), one.begin() + 16), head);
    dp_open(path("one.pck"));
    EXPECT_EQ(loaded(dp_get_index("img/sub/b.img", 1)), "bb");
    EXPECT_EQ(loaded(dp_get_index("skin.ini", 1)), "skin");
    EXPECT_EQ(dp_size(dp_get_index("curves/c_0.crv", 1)), 0);

    PackItem twice[] = {{"x", "1", 1, nullptr}, {"x", "2", 1, nullptr}};
    PackItem unreadable[] = {{"x", nullptr, 0, "/nonexistent/file"}};
    PackItem no_bytes[] = {{"x", nullptr, 3, nullptr}};
    EXPECT_EQ(packwriter_write(path("dup.pck").c_str(), twice, 2), 0);
    EXPECT_EQ(packwriter_write(path("bad.pck").c_str(), unreadable, 1), 0);
    EXPECT_EQ(packwriter_write(path("none.pck").c_str(), no_bytes, 1), 0);
    EXPECT_FALSE(std::filesystem::exists(path("dup.pck")));
    EXPECT_FALSE(std::filesystem::exists(path("bad.pck")));
}

}  // namespace
