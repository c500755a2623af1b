// tools/mksamples/main.cpp -- paints the sample pictures the build turns into boxes, and the
// sample tune.
//   mksamples OUT_DIR [--preview DIR]
//   mksamples OUT_DIR --picture NAME WxH
// writes OUT_DIR/NAME.bmp for every picture and OUT_DIR/waltz.mid; with --preview also a JPEG
// of every picture into DIR for review; with --picture only the picture NAME, painted at W x H
// (the desktop benchmark makes its boxes from one such picture). Exit 0, or 1 with a message
// when a file cannot be written.
#include <cstdio>
#include <cstring>
#include <string>

#include "image/gformat.h"
#include "image/pic.h"
#include "platform/io_file.h"
#include "tools/mksamples/scenes.h"

namespace {

struct Sample {
    const char* name;
    Canvas (*paint)(int w, int h);
    int width, height;
};

const Sample SAMPLES[] = {
    {"sunset-lake", paint_sunset_lake, 600, 400},   {"tulip-fields", paint_tulip_fields, 960, 640},
    {"rose-window", paint_rose_window, 800, 800},   {"harbour-night", paint_harbour_night, 1024, 683},
    {"balloons", paint_balloons, 900, 600},         {"coral-reef", paint_coral_reef, 1200, 800},
    {"mandala", paint_mandala, 1000, 1000},         {"autumn-forest", paint_autumn_forest, 800, 600},
    {"market-town", paint_market_town, 3000, 2000},
};

int save_preview(const Canvas& c, const std::string& path) {
    PictureBuffer* pic = pic_create(c.w, c.h, IMG_24BIT);
    if (!pic) return 0;
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            const Rgb& p = c.px[(size_t)y * c.w + x];
            uint8_t* q = pic->pixels + y * pic->pitch + 3 * x;
            auto byte = [](float v) { return (uint8_t)(v <= 0 ? 0 : v >= 1 ? 255 : v * 255 + 0.5f); };
            q[0] = byte(p.b), q[1] = byte(p.g), q[2] = byte(p.r);
        }
    FILE* f = std::fopen(path.c_str(), "wb");
    int ok = f && gformat_jpg_write(f, pic, 90) == 1;
    if (f && std::fclose(f) != 0) ok = 0;
    pic_release(pic);
    return ok;
}

// One picture at a size of its own: OUT_DIR/NAME.bmp.
int paint_one(const std::string& out, const char* name, const char* size) {
    int w = 0, h = 0;
    if (std::sscanf(size, "%dx%d", &w, &h) != 2 || w < 40 || h < 40 || w > 16384 || h > 16384) {
        std::fprintf(stderr, "mksamples: %s is no size such as 2400x1600\n", size);
        return 2;
    }
    for (const Sample& s : SAMPLES) {
        if (std::strcmp(s.name, name) != 0) continue;
        io_make_folder(out.c_str());
        const std::string path = out + "/" + s.name + ".bmp";
        if (!s.paint(w, h).save_bmp(path)) {
            std::fprintf(stderr, "mksamples: cannot write %s\n", path.c_str());
            return 1;
        }
        return 0;
    }
    std::fprintf(stderr, "mksamples: no picture is called %s\n", name);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[2], "--picture") == 0) return paint_one(argv[1], argv[3], argv[4]);
    if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--preview") == 0)) {
        std::fprintf(stderr, "usage: mksamples OUT_DIR [--preview DIR | --picture NAME WxH]\n");
        return 2;
    }
    const std::string out = argv[1];
    io_make_folder(out.c_str());
    if (argc == 4) io_make_folder(argv[3]);
    for (const Sample& s : SAMPLES) {
        const Canvas c = s.paint(s.width, s.height);
        const std::string path = out + "/" + s.name + ".bmp";
        if (!c.save_bmp(path)) {
            std::fprintf(stderr, "mksamples: cannot write %s\n", path.c_str());
            return 1;
        }
        if (argc == 4 && !save_preview(c, std::string(argv[3]) + "/" + s.name + ".jpg")) {
            std::fprintf(stderr, "mksamples: cannot write the preview of %s\n", s.name);
            return 1;
        }
    }
    if (!write_sample_tune(out + "/waltz.mid")) {
        std::fprintf(stderr, "mksamples: cannot write %s/waltz.mid\n", out.c_str());
        return 1;
    }
    std::printf("mksamples: %zu pictures and a tune in %s\n", sizeof SAMPLES / sizeof SAMPLES[0],
                out.c_str());
    return 0;
}
