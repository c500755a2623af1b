// tests/resources/dp_test.cpp -- the data pack against packs built by hand and by the writer:
// lookups, reading through the one current file, folder packs, every fatal message, and one
// lie per directory guard.
// Not yet written: a folder resource deleted between lookup and reading.
#include "resources/dp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/le.h"
#include "platform/io_mem.h"
#include "resources/packwriter.h"
#include "resources/tagfile.h"
#include "support/fatal_trap.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes* b, uint32_t v) {
    for (int i = 0; i < 4; i++)
        b->push_back((uint8_t)(v >> (8 * i)));
}

void set32(Bytes* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++)
        (*b)[at + i] = (uint8_t)(v >> (8 * i));
}

struct RawEntry {
    std::string name;
    Bytes data;
    uint32_t padding;  // zero bytes after the name's terminating zero
};

// A pack laid out by hand: head, data back to back, directory at the end.
Bytes raw_pack(const std::vector<RawEntry>& entries) {
    Bytes pack(16, 0);
    std::vector<uint32_t> offsets;
    for (const RawEntry& e : entries) {
        offsets.push_back((uint32_t)pack.size());
        pack.insert(pack.end(), e.data.begin(), e.data.end());
    }
    uint32_t dir_offset = (uint32_t)pack.size();
    for (size_t i = 0; i < entries.size(); i++) {
        const RawEntry& e = entries[i];
        put32(&pack, (uint32_t)(12 + e.name.size() + 1 + e.padding));
        put32(&pack, offsets[i]);
        put32(&pack, (uint32_t)e.data.size());
        pack.insert(pack.end(), e.name.begin(), e.name.end());
        pack.insert(pack.end(), 1 + e.padding, 0);
    }
    set32(&pack, 0, DP_MAGIC);
    set32(&pack, 4, dir_offset);
    set32(&pack, 8, (uint32_t)(pack.size() - dir_offset));
    set32(&pack, 12, (uint32_t)entries.size());
    return pack;
}

Bytes text(const char* s) { return Bytes(s, s + std::strlen(s)); }

void write_file(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

Bytes read_file(const std::string& path) {
    Bytes out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        out.push_back((uint8_t)c);
    std::fclose(f);
    return out;
}

Bytes loaded(int index) {
    uint8_t* block = (uint8_t*)dp_load(index);
    Bytes out(block, block ? block + dp_size(index) : block);
    io_mem_free(block);
    return out;
}

class DataPack : public ::testing::Test {
   protected:
    std::string dir;

    void SetUp() override {
        char name[] = "/tmp/dp_test_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        dp_done();
    }
    void TearDown() override {
        dp_done();
        std::filesystem::remove_all(dir);
    }
    std::string path(const char* name) const { return dir + "/" + name; }

    // The three resources most tests use, with the directory entries padded differently.
    std::string standard_pack() {
        std::string p = path("data.pck");
        Bytes pack = raw_pack({{"img/intro.jpg", text("JPEGDATA"), 0},
                               {"skin.ini", text("[COLOURS]\n"), 3},
                               {"curves/c_1.crv", text("0123456789"), 6}});
        write_file(p, pack);
        write_fuzz_seed("fuzz_pack", "padded", pack.data(), pack.size());
        return p;
    }
};

}  // namespace

TEST_F(DataPack, lookup_registers_once_and_is_case_sensitive) {
    dp_open(standard_pack());
    int skin = dp_get_index("skin.ini", 1);
    int intro = dp_get_index("img/intro.jpg", 1);
    EXPECT_EQ(skin, 0);
    EXPECT_EQ(intro, 1);
    EXPECT_EQ(dp_get_index("skin.ini", 1), skin);
    EXPECT_EQ(dp_get_index("IMG/INTRO.JPG", 0), -1);
    EXPECT_EQ(dp_get_index("img/intro.jp", 0), -1);  // a prefix is not the name
    EXPECT_EQ(dp_get_index("img/intro.jpgx", 0), -1);
    EXPECT_EQ(dp_get_index(std::string_view("skin.ini\0", 9), 0), -1);
    EXPECT_EQ(dp_get_index("curves/c_1.crv", 1), 2);  // nothing registered by the misses
    EXPECT_STREQ(dp_name(intro), "img/intro.jpg");

    // A miss searches again next time: a later pack may hold the name.
    EXPECT_EQ(dp_get_index("extra.wav", 0), -1);
    std::filesystem::create_directory(path("more"));
    write_file(path("more/extra.wav"), text("RIFF"));
    dp_open(path("more@"));
    EXPECT_EQ(dp_get_index("extra.wav", 0), 3);
    EXPECT_EQ(dp_pack_count(), 2);

    dp_done();
    EXPECT_EQ(dp_pack_count(), 0);
    dp_open(path("data.pck"));
    EXPECT_EQ(dp_get_index("curves/c_1.crv", 1), 0);  // indexes start again after dp_done
}

TEST_F(DataPack, padded_entries_are_walked_by_their_lengths) {
    dp_open(standard_pack());
    EXPECT_EQ(dp_entry_count(0), 3);
    EXPECT_STREQ(dp_entry_name(0, 2), "curves/c_1.crv");
    int curve = dp_get_index("curves/c_1.crv", 1);
    int skin = dp_get_index("skin.ini", 1);
    EXPECT_EQ(dp_size(curve), 10);
    EXPECT_EQ(dp_size(skin), 10);
    EXPECT_EQ(loaded(curve), text("0123456789"));
    EXPECT_EQ(loaded(skin), text("[COLOURS]\n"));
}

TEST_F(DataPack, reading_starts_at_the_resource_and_stays_inside_it) {
    dp_open(standard_pack());
    int intro = dp_get_index("img/intro.jpg", 1);
    int curve = dp_get_index("curves/c_1.crv", 1);
    FILE* f = dp_fopen(intro);
    std::fseek(f, 0, SEEK_END);  // a direct reader leaves the pack stream elsewhere
    dp_fclose();

    uint8_t buf[8] = {};
    dp_fopen(curve);
    dp_fread(buf, 3);
    EXPECT_EQ(std::memcmp(buf, "012", 3), 0);
    EXPECT_EQ(dp_fseek(7), 1);
    dp_fread(buf, 3);
    EXPECT_EQ(std::memcmp(buf, "789", 3), 0);
    EXPECT_EQ(dp_fseek(-1), 0);  // never into the resource before
    EXPECT_EQ(dp_fseek(11), 0);  // nor the one after
    EXPECT_EQ(dp_fseek(10), 1);  // the end itself is a place to stand
    EXPECT_EQ(dp_fseek(8), 1);
    // Two bytes left; the next resource's bytes must not be delivered.
    EXPECT_EQ(fatal_message_of([&] { dp_fread(buf, 3); }), "dp_fread: curves/c_1.crv\n");
    dp_fclose();

    dp_fopen(intro);
    dp_fread(buf, 8);
    EXPECT_EQ(std::memcmp(buf, "JPEGDATA", 8), 0);
    dp_fclose();
}

TEST_F(DataPack, folder_pack_through_at_sign) {
    std::filesystem::create_directories(path("data/img"));
    write_file(path("data/img/x.bin"), text("folder bytes"));
    write_file(path("data/empty.txt"), Bytes{});
    ASSERT_EQ(dp_open(path("data@ignored")), 1);
    EXPECT_EQ(dp_entry_count(0), 0);
    EXPECT_EQ(dp_get_index("img/y.bin", 0), -1);
    EXPECT_EQ(dp_get_index("img", 0), -1);  // a folder is no resource
    int x = dp_get_index("img/x.bin", 1);
    int empty = dp_get_index("empty.txt", 1);
    EXPECT_STREQ(dp_name(x), "img/x.bin");
    EXPECT_EQ(dp_size(x), 12);
    EXPECT_EQ(loaded(x), text("folder bytes"));
    EXPECT_EQ(dp_size(empty), 0);
    EXPECT_EQ(dp_load(empty), nullptr);

    uint8_t buf[6];
    dp_fopen(x);
    EXPECT_EQ(dp_size(empty), 0);  // sizes can be asked while a file is current
    EXPECT_EQ(dp_fseek(7), 1);
    dp_fread(buf, 5);
    EXPECT_EQ(std::memcmp(buf, "bytes", 5), 0);
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
    EXPECT_EQ(fatal_message_of([&] { (void)dp_get_index(names[DP_RESOURCE_MAX], 1); }),
              "dp_get_index: fileinfos is full\n");
    EXPECT_EQ(fatal_message_of([&] { (void)dp_get_index("absent", 0); }),
              "dp_get_index: fileinfos is full\n");
    EXPECT_EQ(loaded(511), text("r511"));
    dp_done();

    dp_open(standard_pack());
    EXPECT_EQ(fatal_message_of([] { (void)dp_get_index("sounds/none.wav", 1); }),
              "dp_get_hfile: file not found (sounds/none.wav)\n");
    int skin = dp_get_index("skin.ini", 1);
    EXPECT_EQ(fatal_message_of([] { dp_fclose(); }), "dp_fopen: next open\n");
    EXPECT_EQ(fatal_message_of([] { dp_fseek(0); }), "dp_fseek: file is not open\n");
    dp_fopen(skin);
    EXPECT_EQ(fatal_message_of([&] { dp_fopen(skin); }), "dp_fopen: next open\n");
    EXPECT_EQ(fatal_message_of([&] { (void)dp_load(skin); }), "dp_fopen: next open\n");
    dp_fclose();
    EXPECT_NE(fatal_message_of([] { dp_fopen(99); }), "");  // an index never handed out
}

TEST_F(DataPack, broken_packs_are_refused_with_their_message) {
    std::string p = path("t.pck");
    std::string missing = path("missing.pck");
    EXPECT_EQ(fatal_message_of([&] { dp_open(missing); }), "dp_open: not found (" + missing + ")\n");

    const Bytes good = raw_pack({{"a.txt", text("alpha"), 0}, {"b/c.txt", text("beta!"), 2}});
    write_fuzz_seed("fuzz_pack", "two", good.data(), good.size());
    const size_t directory = 16 + 10;      // directory offset
    const size_t second = directory + 18;  // second entry: 12 + "a.txt" + 0
    struct Lie {
        const char* what;
        size_t at;
        uint32_t value;  // written over 4 bytes at `at`; `size` < good.size() truncates instead
        size_t size;
        const char* message;
    };
    const Lie lies[] = {
        {"short head", 0, 0, 15, "dp_open: fread of packhead (%s)\n"},
        {"one magic byte", 0, 0x334B4350, 0, "dp_open: invalid magic (%s)\n"},
        {"directory past the end", 4, (uint32_t)good.size(), 0, "dp_open: fread packfiles (%s)\n"},
        {"directory size past the end", 8, 100, 0, "dp_open: fread packfiles (%s)\n"},
        {"directory over the limit", 8, DP_DIRECTORY_MAX + 1, 0, "dp_open: fread packfiles (%s)\n"},
        {"more entries than fit", 12, 3, 0, "dp_open: fread packfiles (%s)\n"},
        {"huge entry count", 12, 0xFFFFFFFF, 0, "dp_open: fread packfiles (%s)\n"},
        {"entry length 0", directory, 0, 0, "dp_open: fread packfiles (%s)\n"},
        {"entry length without a name", directory, 12, 0, "dp_open: fread packfiles (%s)\n"},
        {"entry past the directory", second, 40, 0, "dp_open: fread packfiles (%s)\n"},
        {"data past the end", second + 8, 1000, 0, "dp_open: fread packfiles (%s)\n"},
        {"offset past the end", second + 4, 0xFFFFFFF0, 0, "dp_open: fread packfiles (%s)\n"},
        {"truncated directory", 0, 0, good.size() - 1, "dp_open: fread packfiles (%s)\n"},
    };
    for (const Lie& lie : lies) {
        SCOPED_TRACE(lie.what);
        Bytes bad = good;
        if (lie.size)
            bad.resize(lie.size);
        else
            set32(&bad, lie.at, lie.value);
        write_file(p, bad);
        std::string want = lie.message;
        want.replace(want.find("%s"), 2, p);
        EXPECT_EQ(fatal_message_of([&] { dp_open(p); }), want);
        EXPECT_EQ(dp_pack_count(), 0);
    }
    {  // A name without its terminating zero inside the entry.
        Bytes bad = raw_pack({{"abc", text("x"), 0}});
        bad.back() = 'd';
        write_file(p, bad);
        EXPECT_EQ(fatal_message_of([&] { dp_open(p); }), "dp_open: fread packfiles (" + p + ")\n");
    }
    write_file(p, good);  // the unchanged pack opens
    ASSERT_EQ(dp_open(p), 1);
    EXPECT_EQ(loaded(dp_get_index("b/c.txt", 1)), text("beta!"));

    write_file(path("empty.pck"), raw_pack({}));
    EXPECT_EQ(dp_open(path("empty.pck")), 1);
    EXPECT_EQ(dp_entry_count(1), 0);
}

TEST_F(DataPack, extract_copies_the_whole_resource) {
    dp_open(standard_pack());
    int curve = dp_get_index("curves/c_1.crv", 1);
    std::string out = path("c.crv");
    write_file(out, text("old and longer contents"));
    EXPECT_EQ(dp_extract(curve, out.c_str()), 1);
    EXPECT_EQ(read_file(out), text("0123456789"));
    EXPECT_EQ(dp_extract(curve, path("no/such/folder/c.crv").c_str()), 0);
    // Neither call left a file current.
    dp_fopen(curve);
    dp_fclose();

    std::filesystem::create_directory(path("folder"));
    write_file(path("folder/lang.ini"), text("[TEXTS]\n1=Hallo\n"));
    dp_open(path("folder@"));
    int lang = dp_get_index("lang.ini", 1);
    EXPECT_EQ(dp_extract(lang, path("lang.ini").c_str()), 1);
    EXPECT_EQ(read_file(path("lang.ini")), text("[TEXTS]\n1=Hallo\n"));
    std::filesystem::remove(path("folder/lang.ini"));
    EXPECT_EQ(dp_extract(lang, path("lang2.ini").c_str()), 0);  // gone since the lookup
    for (const auto& e : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
}

TEST_F(DataPack, writer_packs_a_folder_sorted_and_reproducibly) {
    std::filesystem::create_directories(path("src/img/sub"));
    std::filesystem::create_directories(path("src/curves"));
    write_file(path("src/skin.ini"), text("skin"));
    write_file(path("src/img/sub/b.img"), text("bb"));
    write_file(path("src/img/a.jpg"), text("a"));
    write_file(path("src/curves/c_0.crv"), Bytes{});
    write_file(path("src/Z.txt"), text("upper case sorts first"));
    PackFolder folder;
    ASSERT_EQ(packwriter_scan_folder(path("src").c_str(), &folder), 1);
    EXPECT_EQ(folder.names, (std::vector<std::string>{"Z.txt", "curves/c_0.crv", "img/a.jpg", "img/sub/b.img",
                                                      "skin.ini"}));
    ASSERT_EQ(packwriter_write(path("one.pck").c_str(), folder.items.data(), (int)folder.items.size()), 1);
    PackFolder again;
    ASSERT_EQ(packwriter_scan_folder(path("src").c_str(), &again), 1);
    ASSERT_EQ(packwriter_write(path("two.pck").c_str(), again.items.data(), (int)again.items.size()), 1);
    Bytes one = read_file(path("one.pck"));
    EXPECT_EQ(one, read_file(path("two.pck")));
    write_fuzz_seed("fuzz_pack", "folder", one.data(), one.size());

    // Head worked out by hand: data 22 + 0 + 1 + 2 + 4 = 29 bytes after the head; entries
    // padded to 4: 20, 28, 24, 28, 24.
    ASSERT_GE(one.size(), 16u);
    EXPECT_EQ(std::memcmp(one.data(), "PCK2", 4), 0);
    auto at = [&](size_t i) {
        LeCursor c = le_cursor(one.data() + i, 4);
        return le_u32(&c);
    };
    EXPECT_EQ(at(4), 16u + 29);
    EXPECT_EQ(at(8), 20u + 28 + 24 + 28 + 24);
    EXPECT_EQ(at(12), 5u);
    EXPECT_EQ(one.size(), 16u + 29 + 124);

    dp_open(path("one.pck"));
    EXPECT_EQ(loaded(dp_get_index("img/sub/b.img", 1)), text("bb"));
    EXPECT_EQ(loaded(dp_get_index("skin.ini", 1)), text("skin"));
    EXPECT_EQ(dp_size(dp_get_index("curves/c_0.crv", 1)), 0);

    PackItem twice[] = {{"x", "1", 1, nullptr}, {"x", "2", 1, nullptr}};
    EXPECT_EQ(packwriter_write(path("dup.pck").c_str(), twice, 2), 0);
    PackItem unreadable[] = {{"x", nullptr, 0, "/nonexistent/file"}};
    EXPECT_EQ(packwriter_write(path("bad.pck").c_str(), unreadable, 1), 0);
    PackItem no_bytes[] = {{"x", nullptr, 3, nullptr}};
    EXPECT_EQ(packwriter_write(path("none.pck").c_str(), no_bytes, 1), 0);
    EXPECT_FALSE(std::filesystem::exists(path("dup.pck")));
    EXPECT_FALSE(std::filesystem::exists(path("bad.pck")));
}
