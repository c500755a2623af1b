// tests/resources/cache_test.cpp -- the memory file cache over a folder pack: registration,
// precaching, lock stamps, eviction order and the allocator's release-and-retry path.
#include "resources/cache.h"

#include <gtest/gtest.h>

#include <string>

#include "image/img.h"
#include "image/pic.h"
#include "image/pic_samples.h"
#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "resources/dp.h"
#include "support/fatal_trap.h"
#include "support/files.h"

namespace {

// A folder pack holding a.raw, b.raw, c.raw, d.raw and e.img, each containing its own name.
class Cache : public ::testing::Test {
   protected:
    TempDir dir;
    void SetUp() override {
        for (const char* file : {"a.raw", "b.raw", "c.raw", "d.raw", "e.img"})
            write_file(dir / file, text_bytes(file));
        dp_done();
        dp_open(dir.path + "@");
        cache_init();
        cache_set_picture_loader(jpg_loader);
    }
    void TearDown() override {
        cache_done();
        dp_done();
        io_mem_set_fail_hook(nullptr);
    }
    static std::string text_of(const void* block) { return std::string((const char*)block, 5); }
};

TEST_F(Cache, registration_and_precache) {
    const int a = cache_register_raw("a.raw");
    EXPECT_EQ(cache_register_picture("a.raw"), a);
    EXPECT_EQ(cache_count(), 1);
    EXPECT_FALSE(cache_is_loaded(a)) << "loaded at the first lock while precaching is off";

    EXPECT_EQ(fatal_message_of([] { cache_register_raw("missing.raw"); }),
              "dp_get_hfile: file not found (missing.raw)\n");
    EXPECT_EQ(cache_set_fatal_if_missing(0), 1);
    EXPECT_EQ(cache_register_raw("missing.raw"), -1);
    EXPECT_EQ(cache_register_raw("A.RAW"), -1) << "names are case-sensitive";
    EXPECT_EQ(cache_set_fatal_if_missing(1), 0);
    EXPECT_EQ(cache_count(), 1);

    cache_set_precache(1);
    const int e = cache_register_picture("e.img");  // not "jpg": the raw loader
    EXPECT_TRUE(cache_is_loaded(e));
    EXPECT_EQ(cache_lock_count(e), 0);
    EXPECT_EQ(text_of(cache_lock(e)), "e.img");
    cache_unlock(e);
    EXPECT_EQ(text_of(cache_lock(a)), "a.raw");
    cache_unlock(a);
    EXPECT_EQ(fatal_message_of([] { cache_lock(2); }), "cache_lock: bad cache index 2\n");
}

TEST_F(Cache, eviction_takes_the_least_recently_locked) {
    const int a = cache_register_raw("a.raw"), b = cache_register_raw("b.raw");
    const int c = cache_register_raw("c.raw"), d = cache_register_raw("d.raw");
    // Stamps 0..9: a a b a d a d d d c; d keeps one lock, so a = 5, b = 2, c = 9 are unlocked.
    for (int index : {a, a, b, a, d, a, d, d, d, c})
        cache_lock(index);
    for (int index : {a, a, b, a, d, a, d, d, c})
        cache_unlock(index);
    EXPECT_EQ(cache_lock_count(d), 1);

    for (int gone : {b, a, c}) {
        EXPECT_EQ(cache_evict_one(), 1);
        EXPECT_FALSE(cache_is_loaded(gone)) << gone;
    }
    EXPECT_EQ(cache_evict_one(), 0) << "d is still locked";
    EXPECT_TRUE(cache_is_loaded(d));

    // Relocking an evicted entry reloads it and counts the lock from zero.
    EXPECT_EQ(text_of(cache_lock(b)), "b.raw");
    EXPECT_EQ(cache_lock_count(b), 1);
    EXPECT_EQ(cache_evict_one(), 0);
    cache_unlock(b);
    EXPECT_EQ(cache_evict_one(), 1);
    EXPECT_FALSE(cache_is_loaded(b));
    cache_unlock(d);
}

int g_failures_left;
int fail_big(size_t size) {
    if (size != 123456 || g_failures_left == 0) return 0;
    g_failures_left--;
    return 1;
}

TEST_F(Cache, allocator_releases_blocks_then_gives_up) {
    const int a = cache_register_raw("a.raw"), b = cache_register_raw("b.raw");
    cache_lock(b);
    cache_unlock(b);
    cache_lock(a);
    cache_unlock(a);
    io_mem_set_fail_hook(fail_big);
    g_failures_left = 1;
    void* block = io_mem_alloc(123456);
    EXPECT_NE(block, nullptr);
    EXPECT_FALSE(cache_is_loaded(b)) << "the older block went first";
    EXPECT_TRUE(cache_is_loaded(a));
    io_mem_free(block);

    g_failures_left = 1000;
    cache_lock(b);  // held: cannot be released
    EXPECT_EQ(fatal_message_of([] { (void)io_mem_alloc(123456); }), "io_mem_alloc: no memory (123456)\n");
    EXPECT_FALSE(cache_is_loaded(a));
    EXPECT_TRUE(cache_is_loaded(b));
    cache_unlock(b);
}

TEST_F(Cache, done_reports_held_locks) {
    const int a = cache_register_raw("a.raw"), c = cache_register_raw("c.raw");
    cache_lock(a);
    cache_lock(c);
    cache_lock(c);
    cache_unlock(a);
    const int freedBefore = io_mem_freed_count();
    io_debug_init(2);
    testing::internal::CaptureStderr();
    cache_done();
    const std::string log = testing::internal::GetCapturedStderr();
    io_debug_init(0);
    EXPECT_EQ(log, "cache_done: filename:c.raw lock:2\n");
    EXPECT_EQ(io_mem_freed_count() - freedBefore, 2);
}

TEST_F(Cache, jpg_extension_decodes_into_an_image) {
    const Bytes jpg = pic_samples::encode_jpg(pic_samples::sample_picture(8, 4), 90);
    write_file(dir / "p.JPG", jpg);
    write_file(dir / "p.jpeg", jpg);
    screen_set_size_for_tests(64, 48);
    const int decoded = cache_register_picture("p.JPG");
    const Image* im = (const Image*)cache_lock(decoded);
    EXPECT_EQ(im->width * 100 + im->height * 10 + im->kind, 843);
    cache_unlock(decoded);
    const int raw = cache_register_picture("p.jpeg");  // only "jpg" selects the decoder
    const uint8_t* bytes = (const uint8_t*)cache_lock(raw);
    EXPECT_EQ(bytes[0] * 256 + bytes[1], 0xFFD8);
    cache_unlock(raw);
}

TEST_F(Cache, table_capacity) {
    cache_set_fatal_if_missing(0);
    for (int i = 0; i < CACHE_MAX; i++) {
        std::string name = "f" + std::to_string(i);
        write_file(dir / name, {'x'});
        ASSERT_EQ(cache_register_raw(name.c_str()), i);
    }
    EXPECT_EQ(fatal_message_of([] { cache_register_raw("one_more"); }), "precache_file: memfiles[] is full");
    EXPECT_EQ(cache_register_raw("f511"), 511) << "a known name is still found";
}

}  // namespace
