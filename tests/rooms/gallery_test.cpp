// tests/rooms/gallery_test.cpp -- the gallery file, its refusals and mending, swaps, framed pictures.
#include "rooms/gallery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/io_mem.h"
#include "puzzle/box_samples.h"
#include "rooms/g3dscene.h"
#include "support/fatal_trap.h"
#include "support/files.h"

namespace {

// A 24-bit picture whose every pixel differs from its neighbours.
Image* pattern(int width, int height, int kind = IMG_24BIT) {
    Image* image = img_create(width, height, kind);
    uint8_t* p = (uint8_t*)image + image->colourOffset;
    for (int i = 0; i < image->colourPitch * height; i++)
        p[i] = (uint8_t)(i * 7 + 3);
    return image;
}

void fill_slot(Gallery* g, int s, const char* name, int pieces, int seconds, Image* picture) {
    std::strcpy(g->slots[s].name, name);
    g->slots[s].pieceCount = pieces;
    g->slots[s].seconds = seconds;
    std::strcpy(g->slots[s].date, "2026-12-08");
    g->pictures[s] = picture;
}

uint32_t pixel(const Image* image, int x, int y) {
    const uint8_t* p = (const uint8_t*)image + image->colourOffset + y * image->colourPitch + x * 3;
    return p[0] | p[1] << 8 | p[2] << 16;
}

struct GalleryFile : ::testing::Test {
    box_samples::GameFolder folder;
    Gallery g{};
    void SetUp() override {
        fill_slot(&g, 0, "Harbour", 96, 3725, pattern(248, 124));
        fill_slot(&g, 7, "No picture here", 12, 59, nullptr);  // details without a picture
        fill_slot(&g, 49, "Last place", 500, 0, pattern(1, 256));
    }
    void TearDown() override { gallery_clear(&g); }
    Bytes written() {
        EXPECT_EQ(gallery_write(&g, "sfiles/gallery.dat"), 1);
        return read_file("sfiles/gallery.dat");
    }
};

TEST_F(GalleryFile, WrittenReadAndWrittenAgainByteForByte) {
    const Bytes first = written();
    ASSERT_EQ(first.size(), 8u + 50 * 140 + (36 + 248 * 124 * 3) + (36 + 256 * 3));
    EXPECT_EQ(std::string(first.begin(), first.begin() + 4), "GALL");
    EXPECT_EQ(first[4], 1);
    // Slot 0's fields at their offsets, then its image's magic right behind the 140 bytes.
    EXPECT_EQ(first[8], 1);
    EXPECT_STREQ((const char*)&first[8 + 4], "Harbour");
    EXPECT_EQ(first[8 + 68], 96);
    EXPECT_EQ(first[8 + 72] | first[8 + 73] << 8, 3725);
    EXPECT_STREQ((const char*)&first[8 + 76], "2026-12-08");
    EXPECT_EQ(std::string(first.begin() + 148, first.begin() + 151), "IMG");
    write_fuzz_seed("fuzz_gallery", "three-slots", first.data(), first.size());

    Gallery back{};
    ASSERT_EQ(gallery_read(&back, "sfiles/gallery.dat"), 1);
    EXPECT_STREQ(back.slots[7].name, "No picture here");
    EXPECT_EQ(back.pictures[7], nullptr);
    ASSERT_NE(back.pictures[49], nullptr);
    EXPECT_EQ(back.pictures[49]->height, 256);
    ASSERT_EQ(gallery_write(&back, "sfiles/again.dat"), 1);
    EXPECT_EQ(read_file("sfiles/again.dat"), first);
    gallery_clear(&back);
}

// A whole file whose one picture is refused: too large, or not 24-bit.
Bytes with_picture_in_slot_5(Image* picture) {
    Gallery one{};
    one.pictures[5] = picture;
    EXPECT_EQ(gallery_write(&one, "sfiles/one.dat"), 1);
    gallery_clear(&one);
    return read_file("sfiles/one.dat");
}

TEST_F(GalleryFile, DamagedFilesOpenEmpty) {
    const Bytes good = written();
    Bytes wrong_tag = good;
    wrong_tag[0] = 'X';
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"wrong-tag", wrong_tag},
        {"too-wide", with_picture_in_slot_5(pattern(257, 1))},
        {"too-high", with_picture_in_slot_5(pattern(1, 257))},
        {"grey", with_picture_in_slot_5(pattern(4, 4, IMG_8BIT))},
        {"empty", Bytes()},
        {"cut-in-head", Bytes(good.begin(), good.begin() + 6)},
        {"cut-in-slot", Bytes(good.begin(), good.begin() + 100)},
        {"cut-in-image", Bytes(good.begin(), good.begin() + 148 + 36 + 500)},
        {"cut-in-last-slot", Bytes(good.begin(), good.end() - (36 + 256 * 3) - 70)},
        {"cut-at-end", Bytes(good.begin(), good.end() - 1)},
    };
    for (const Case& c : cases) {
        write_file("sfiles/gallery.dat", c.bytes);
        write_fuzz_seed("fuzz_gallery", c.name, c.bytes.data(), c.bytes.size());
        Gallery back{};
        fill_slot(&back, 3, "stale", 1, 1, pattern(4, 4));
        EXPECT_EQ(gallery_read(&back, "sfiles/gallery.dat"), 0) << c.name;
        for (int s = 0; s < GALLERY_SLOTS; s++) {
            EXPECT_EQ(back.pictures[s], nullptr) << c.name << " slot " << s;
            EXPECT_EQ(back.slots[s].name[0], 0) << c.name << " slot " << s;
        }
    }
}

TEST_F(GalleryFile, DamagedFileIsKeptBesideAndSurvivesTheNextSave) {
    Bytes damaged = written();
    damaged.resize(damaged.size() / 2);
    write_file("sfiles/gallery.dat", damaged);
    Gallery room{};
    EXPECT_EQ(gallery_load(&room), 0);
    EXPECT_EQ(read_file("sfiles/gallery.dat.bad"), damaged);
    room.heldPicture = pattern(8, 8);
    std::strcpy(room.held.name, "New");
    ASSERT_EQ(gallery_swap(&room, 12), 1);
    ASSERT_EQ(gallery_save(&room), 1);
    EXPECT_FALSE(std::filesystem::exists("sfiles/a.tmp"));
    EXPECT_EQ(read_file("sfiles/gallery.dat.bad"), damaged);
    Gallery back{};
    ASSERT_EQ(gallery_load(&back), 1);
    EXPECT_STREQ(back.slots[12].name, "New");
    gallery_clear(&back);
    gallery_clear(&room);
}

TEST_F(GalleryFile, AFileThatCannotBeReadIsNeverWrittenOver) {
    // A FIFO stands for a file the disk cannot give back: it is neither damaged (no copy aside)
    // nor replaced by the next save.
    std::filesystem::remove("sfiles/gallery.dat");
    ASSERT_EQ(mkfifo("sfiles/gallery.dat", 0600), 0);
    Gallery room{};
    EXPECT_EQ(gallery_load(&room), 0);
    EXPECT_TRUE(gallery_file_unreadable());
    EXPECT_FALSE(std::filesystem::exists("sfiles/gallery.dat.bad"));
    EXPECT_EQ(gallery_save(&room), 0);
    EXPECT_TRUE(std::filesystem::is_fifo("sfiles/gallery.dat"));
    std::filesystem::remove("sfiles/gallery.dat");
    EXPECT_EQ(gallery_load(&room), 0);  // missing: an empty gallery that saves
    EXPECT_FALSE(gallery_file_unreadable());
    EXPECT_EQ(gallery_save(&room), 1);
}

TEST_F(GalleryFile, FailedSaveKeepsThePreviousFile) {
    const Bytes before = written();
    std::filesystem::create_directory("sfiles/a.tmp");  // the temporary file cannot be opened
    gallery_discard_held(&g);
    EXPECT_EQ(gallery_save(&g), 0);
    EXPECT_EQ(read_file("sfiles/gallery.dat"), before);
}

TEST_F(GalleryFile, SwapsWithTheHandAndRefusesPlacesOutsideTheTable) {
    Image* harbour = g.pictures[0];
    g.heldPicture = pattern(3, 3);
    Image* held = g.heldPicture;
    EXPECT_EQ(gallery_swap(&g, -1), 0);
    EXPECT_EQ(gallery_swap(&g, GALLERY_SLOTS), 0);
    EXPECT_EQ(g.heldPicture, held);
    // Hanging where a picture hangs brings that one into the hand.
    ASSERT_EQ(gallery_swap(&g, 0), 1);
    EXPECT_EQ(g.pictures[0], held);
    EXPECT_EQ(g.heldPicture, harbour);
    EXPECT_STREQ(g.held.name, "Harbour");
    gallery_discard_held(&g);
    EXPECT_EQ(g.heldPicture, nullptr);
    EXPECT_EQ(g.held.name[0], 0);
}

TEST(GalleryPicture, FittedInto248KeepingProportionsWithAFrame) {
    struct Case {
        int width, height, kind, wantWidth, wantHeight;
    } cases[] = {
        {1000, 500, IMG_24BIT, 248, 124},
        {31, 62, IMG_24BIT, 124, 248},  // small pictures are enlarged
        {300, 300, IMG_8BIT, 248, 248},
    };
    for (const Case& c : cases) {
        Image* source = pattern(c.width, c.height, c.kind);
        Image* made = gallery_picture_make(source, 0x123456);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->kind, IMG_24BIT);
        EXPECT_EQ(made->width, c.wantWidth);
        EXPECT_EQ(made->height, c.wantHeight);
        for (int x = 0; x < made->width; x++) {
            EXPECT_EQ(pixel(made, x, 0), 0x123456u);
            EXPECT_EQ(pixel(made, x, made->height - 1), 0x123456u);
        }
        for (int y = 0; y < made->height; y++) {
            EXPECT_EQ(pixel(made, 0, y), 0x123456u);
            EXPECT_EQ(pixel(made, made->width - 1, y), 0x123456u);
        }
        EXPECT_NE(pixel(made, 1, 1), 0x123456u);  // one pixel wide
        io_mem_free(made);
        io_mem_free(source);
    }
}

}  // namespace

// The holding and info windows never cover the view or its zoom strip: on each screen the view
// takes the largest step that leaves them room below or beside it, below the title line and above
// the row of buttons along the bottom.
TEST(GalleryLayout, windows_leave_the_view_free_at_every_step_on_three_screens) {
    struct Screen {
        int w, h, largest;  // the largest step that leaves room at the default places
    };
    const Rect hand = {20, 300, 300, 198}, info = {400, 300, 220, 80}, view = {20, 50, 100, 100};
    for (const Screen& s : {Screen{800, 600, 2}, Screen{1024, 768, 3}, Screen{1920, 1080, 3}}) {
        for (int zoom = 0; zoom <= G3D_ZOOM_MAX; zoom++) {
            SCOPED_TRACE(std::to_string(s.w) + " zoom " + std::to_string(zoom));
            const GalleryLayout l = gallery_layout(s.w, s.h, zoom, view, hand, info);
            EXPECT_EQ(l.zoom, std::min(zoom, s.largest));
            const int vw = g3d_view_width(s.w, l.zoom);
            EXPECT_EQ((std::pair(l.view.w, l.view.h)), std::pair(vw + 10, vw / 2 + 46));
            for (const Rect& r : {l.view, l.hand, l.info}) {
                EXPECT_TRUE(r.x >= 0 && r.y >= 20 && r.x + r.w <= s.w && r.y + r.h <= s.h - 40)
                    << r.x << "," << r.y << " " << r.w << "x" << r.h;
            }
            auto apart = [](const Rect& a, const Rect& b) {
                const Rect both = rect_intersect(a, b);
                return both.w == 0 || both.h == 0;
            };
            EXPECT_TRUE(apart(l.view, l.hand));
            EXPECT_TRUE(apart(l.view, l.info));
            EXPECT_TRUE(apart(l.hand, l.info));
        }
    }
    // Windows the player put clear of the view stay where they are; the view is not shrunk.
    const Rect aside = {700, 420, 300, 198}, aside2 = {400, 420, 220, 80};
    const GalleryLayout kept = gallery_layout(1024, 768, 2, view, aside, aside2);
    EXPECT_EQ(kept.zoom, 2);
    EXPECT_EQ((std::pair(kept.hand.x, kept.hand.y)), std::pair(700, 420));
    EXPECT_EQ((std::pair(kept.info.x, kept.info.y)), std::pair(400, 420));
}
