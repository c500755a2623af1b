// tests/tools/mkbox_test.cpp -- the box maker: command line, clamped settings, fitting, texts,
// the MIDI check, and refusals that leave no box.
#include "tools/mkbox/mkbox.h"

#include <gtest/gtest.h>

#include <sstream>

#include "puzzle/box.h"
#include "puzzle/box_samples.h"

using namespace box_samples;

namespace {

// Parses a command line of words without blanks in them.
int parse(const std::string& line, MkboxOptions* o, std::string* error) {
    std::istringstream in(line);
    std::vector<std::string> words = {"mkbox"};
    for (std::string w; in >> w;)
        words.push_back(w);
    std::vector<const char*> args;
    for (const std::string& w : words)
        args.push_back(w.c_str());
    return mkbox_parse((int)args.size(), args.data(), o, error);
}

// A 24-bit BMP of w x h, every pixel different.
void write_bmp(const std::string& path, int w, int h) {
    PictureBuffer* pic = pic_create(w, h, IMG_24BIT);
    for (int i = 0; i < w * h * 3; i++)
        pic->pixels[i] = (uint8_t)(i * 7);
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_EQ(gformat_bmp_write(f, pic), 1);
    std::fclose(f);
    pic_release(pic);
}

// A one-track MIDI file whose track claims the given length and holds track_bytes zeros.
Bytes midi(uint32_t track_length_claim, size_t track_bytes) {
    Bytes b = text_bytes(std::string("MThd\0\0\0\6\0\0\0\1\1\xE0MTrk", 18));
    for (int s = 24; s >= 0; s -= 8)
        b.push_back((uint8_t)(track_length_claim >> s));
    b.resize(b.size() + track_bytes);
    return b;
}

}  // namespace

TEST(Mkbox, command_line) {
    MkboxOptions o;
    std::string error;
    ASSERT_EQ(parse("pic.jpg MyBox", &o, &error), 1) << error;
    EXPECT_EQ(o.folder, "puzzles");
    EXPECT_EQ((std::vector<int>{o.pieceSize, o.irregularity, o.edgeStyle, o.rotation, o.hidden, o.repeat}),
              (std::vector<int>{32, 0, 1, 0, 0, 0}));

    MkboxOptions all;
    ASSERT_EQ(
        parse("--rotation pic.bmp --folder boxes --piece-size 50 --irregularity 40 --edge-style 7 --hidden "
              "--tune t.mid --repeat --description d --address a --screen 1024x768 --keep-size N",
              &all, &error),
        1)
        << error;
    EXPECT_EQ(
        (std::vector<std::string>{all.picture, all.name, all.folder, all.tune, all.description, all.address}),
        (std::vector<std::string>{"pic.bmp", "N", "boxes", "t.mid", "d", "a"}));
    EXPECT_EQ((std::vector<int>{all.pieceSize, all.irregularity, all.edgeStyle, all.rotation, all.hidden,
                                all.repeat, all.screenWidth, all.screenHeight, all.keepSize, o.keepSize}),
              (std::vector<int>{50, 40, 7, 1, 1, 1, 1024, 768, 1, 0}));

    for (const char* bad :
         {"only-one", "a b c", "p n --irregularity 41", "p n --edge-style 8", "p n --piece-size 12x",
          "p n --screen big", "p n --repeat", "p n --folder", "p n --colour red", "p ../n"}) {
        MkboxOptions x;
        std::string why;
        EXPECT_EQ(parse(bad, &x, &why), 0) << bad;
        EXPECT_TRUE(!why.empty() && why.find('\n') == std::string::npos) << "one line: " << why;
    }
}

TEST(Mkbox, makes_a_box_as_the_create_room_saves_one) {
    GameFolder game;
    write_bmp("picture.bmp", 60, 50);
    write_file("tune.mid", midi(4, 4));
    MkboxOptions o;
    o.picture = "picture.bmp";
    o.name = "Little one";
    o.pieceSize = 100;  // more than half the shorter side: clamped to 25
    o.irregularity = 20;
    o.tune = "tune.mid";
    o.repeat = 1;
    o.description =
        "Caf\xc3\xa9 \xe2\x82\xac"
        "5";
    std::string error;
    int pieces = 0;
    ASSERT_EQ(mkbox_make(o, &error, &pieces), 1) << error;
    EXPECT_EQ(pieces, 4);
    FileStamp stamp;
    BoxRecord r;
    ASSERT_EQ(box_read("Little one", &stamp, &r, BOX_ALL), 1);
    EXPECT_EQ((std::vector<int>{r.width, r.height, r.pieceSize, r.irregularity, r.edgeStyle, r.pieceCount,
                                r.hasTune, r.repeatTune, r.hasDescription, r.hasAddress, stamp.version}),
              (std::vector<int>{60, 50, 25, 20, 1, 4, 1, 1, 1, 0, 125}));
    EXPECT_TRUE(read_file(BOX_DESCRIPTION_FILE) == text_bytes("Caf\xe9 \x80"
                                                              "5"));
    EXPECT_TRUE(read_file(BOX_TUNE_FILE) == midi(4, 4));
    box_clear_work_files(BOX_ALL);

    // A picture larger than the play area of the screen is fitted, proportions kept.
    write_bmp("wide.bmp", 900, 300);
    MkboxOptions wide;
    wide.picture = "wide.bmp";
    wide.name = "wide";
    wide.folder = "more/boxes";
    wide.screenWidth = 640;
    wide.screenHeight = 480;
    ASSERT_EQ(mkbox_make(wide, &error, &pieces), 1) << error;
    box_set_folder("more/boxes");
    ASSERT_EQ(box_read("wide", &stamp, &r, 0), 1);
    box_set_folder(nullptr);
    EXPECT_EQ((std::vector<int>{r.width, r.height, r.pieceSize}), (std::vector<int>{620, 206, 32}));

    // Kept at its own size, it is a larger puzzle of the same piece size.
    wide.keepSize = 1;
    ASSERT_EQ(mkbox_make(wide, &error, &pieces), 1) << error;
    box_set_folder("more/boxes");
    ASSERT_EQ(box_read("wide", &stamp, &r, 0), 1);
    box_set_folder(nullptr);
    EXPECT_EQ((std::vector<int>{r.width, r.height, r.pieceSize, pieces}),
              (std::vector<int>{900, 300, 32, 28 * 9}));
}

TEST(Mkbox, refuses_what_it_cannot_use_and_writes_no_box) {
    GameFolder game;
    write_bmp("small.bmp", 39, 40);
    write_file("noise.jpg", text_bytes("not a picture at all"));
    write_file("short.mid", midi(100, 4));
    write_bmp("fine.bmp", 40, 40);
    struct Case {
        const char* picture;
        const char* tune;
    };
    for (const Case& c :
         {Case{"small.bmp", ""}, Case{"noise.jpg", ""}, Case{"missing.bmp", ""}, Case{"picture.gif", ""},
          Case{"fine.bmp", "short.mid"}, Case{"fine.bmp", "missing.mid"}}) {
        MkboxOptions o;
        o.picture = c.picture;
        o.name = "refused";
        o.tune = c.tune;
        std::string error;
        EXPECT_EQ(mkbox_make(o, &error, nullptr), 0) << c.picture << " " << c.tune;
        EXPECT_TRUE(!error.empty() && error.find('\n') == std::string::npos) << "one line: " << error;
    }
    EXPECT_TRUE(GameFolder::files_in("puzzles").empty());
    EXPECT_FALSE(exists(BOX_PICTURE_FILE));
}

TEST(Mkbox, texts_in_windows_1252_and_the_midi_check) {
    EXPECT_EQ(mkbox_text_1252("\xc3\xa9\xc3\xbf\xc2\xa0"), "\xe9\xff\xa0");
    EXPECT_EQ(mkbox_text_1252("\xe2\x80\x9cok\xe2\x80\x9d \xe2\x80\x94 \xc5\x93"), "\x93ok\x94 \x97 \x9c");
    EXPECT_EQ(mkbox_text_1252("\xf0\x9f\x8e\xb2!"), "?!") << "no such character in the code page";
    EXPECT_EQ(mkbox_text_1252("\xff\xc3"), "??") << "broken sequences";
    EXPECT_EQ(mkbox_text_1252("\xe2\x82"), "?");

    GameFolder game;
    write_file("good.mid", midi(3, 3));
    EXPECT_EQ(mkbox_midi_ok("good.mid"), 1);
    Bytes format3 = midi(3, 3), two_tracks = midi(3, 3);
    format3[9] = 3;
    two_tracks[11] = 2;
    for (const Bytes& bad : {midi(4, 3), format3, two_tracks}) {  // a track running past the end
        write_file("bad.mid", bad);
        EXPECT_EQ(mkbox_midi_ok("bad.mid"), 0);
    }
    EXPECT_EQ(mkbox_midi_ok("absent.mid"), 0);
}
