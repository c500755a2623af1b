// tools/mkbox/make.cpp -- the steps of making a box from a picture.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/gformat.h"
#include "image/pic.h"
#include "platform/io_file.h"
#include "puzzle/box.h"
#include "tools/mkbox/mkbox.h"

namespace {

constexpr int PICTURE_SIDE_MIN = 40;  // the create room refuses smaller pictures
constexpr int BOX_JPEG_QUALITY = 80;

int parse_int(const char* text, int low, int high, int* value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high) return 0;
    *value = (int)v;
    return 1;
}

int parse_size(const char* text, int* w, int* h) {
    int a = 0, b = 0;
    char tail;
    if (std::sscanf(text, "%dx%d%c", &a, &b, &tail) != 2 || a < 320 || b < 240 || a > 16384 || b > 16384)
        return 0;
    *w = a, *h = b;
    return 1;
}

// The Windows-1252 byte of a code point from 0x80 up, or 0 when there is none.
unsigned char cp1252_of(unsigned int c) {
    if (c >= 0xA0 && c <= 0xFF) return (unsigned char)c;
    static const unsigned short HIGH[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int i = 0; i < 32; i++)
        if (HIGH[i] && HIGH[i] == c) return (unsigned char)(0x80 + i);
    return 0;
}

int write_text(const char* path, const std::string& text) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return 0;
    int ok = text.empty() || std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0) ok = 0;
    return ok;
}

std::vector<unsigned char> read_all(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && bytes.size() < (64u << 20))
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

uint32_t be32(const unsigned char* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

}  // namespace

std::string mkbox_text_1252(const std::string& utf8) {
    std::string out;
    const unsigned char* p = (const unsigned char*)utf8.c_str();
    while (*p) {
        unsigned int c = *p;
        int extra = c < 0x80             ? 0
                    : (c & 0xE0) == 0xC0 ? 1
                    : (c & 0xF0) == 0xE0 ? 2
                    : (c & 0xF8) == 0xF0 ? 3
                                         : -1;
        if (extra < 0) {
            out += '?';
            p++;
            continue;
        }
        c = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        int k = 1;
        for (; k <= extra && (p[k] & 0xC0) == 0x80; k++)
            c = c << 6 | (p[k] & 0x3F);
        if (k <= extra) {  // a sequence cut short
            out += '?';
            p += k;
            continue;
        }
        p += k;
        if (c < 0x80)
            out += (char)c;
        else if (unsigned char b = cp1252_of(c))
            out += (char)b;
        else
            out += '?';
    }
    return out;
}

int mkbox_midi_ok(const std::string& path) {
    const std::vector<unsigned char> b = read_all(path);
    if (b.size() < 14 || std::memcmp(b.data(), "MThd", 4) != 0 || be32(&b[4]) != 6) return 0;
    const int format = b[8] << 8 | b[9], tracks = b[10] << 8 | b[11];
    if (format > 2 || tracks < 1) return 0;
    size_t at = 14;
    for (int t = 0; t < tracks; t++) {
        if (b.size() - at < 8 || std::memcmp(&b[at], "MTrk", 4) != 0) return 0;
        const uint32_t length = be32(&b[at + 4]);
        if (length > b.size() - at - 8) return 0;
        at += 8 + length;
    }
    return 1;
}

int mkbox_parse(int argc, const char* const* argv, MkboxOptions* o, std::string* error) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        auto value = [&]() { return argv[++i]; };
        if (arg == "--rotation")
            o->rotation = 1;
        else if (arg == "--hidden")
            o->hidden = 1;
        else if (arg == "--repeat")
            o->repeat = 1;
        else if (arg == "--keep-size")
            o->keepSize = 1;
        else if (arg == "--folder" && has_value)
            o->folder = value();
        else if (arg == "--tune" && has_value)
            o->tune = value();
        else if (arg == "--description" && has_value)
            o->description = value();
        else if (arg == "--address" && has_value)
            o->address = value();
        else if (arg == "--piece-size" && has_value) {
            if (!parse_int(value(), 1, 100000, &o->pieceSize))
                return *error = "--piece-size wants a whole number", 0;
        } else if (arg == "--irregularity" && has_value) {
            if (!parse_int(value(), 0, BOX_IRREGULARITY_MAX, &o->irregularity))
                return *error = "--irregularity wants a percentage from 0 to 40", 0;
        } else if (arg == "--edge-style" && has_value) {
            if (!parse_int(value(), 0, BOX_EDGE_STYLE_MAX, &o->edgeStyle))
                return *error = "--edge-style wants a style from 0 to 7", 0;
        } else if (arg == "--screen" && has_value) {
            if (!parse_size(value(), &o->screenWidth, &o->screenHeight))
                return *error = "--screen wants a size such as 1920x1080", 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return *error = "unknown or incomplete option " + arg, 0;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return *error = "usage: mkbox PICTURE NAME [options]", 0;
    o->picture = positional[0];
    o->name = positional[1];
    if (!box_name_ok(o->name.c_str()))
        return *error = "the box name must be a plain file name of 1 to 63 characters", 0;
    if (o->repeat && o->tune.empty()) return *error = "--repeat needs --tune", 0;
    return 1;
}

int mkbox_make(const MkboxOptions& o, std::string* error, int* pieces) {
    if (!box_name_ok(o.name.c_str())) return *error = "the box name must be a plain file name", 0;
    if (!o.tune.empty() && !mkbox_midi_ok(o.tune)) return *error = o.tune + ": not a standard MIDI file", 0;
    if (!pic_import(o.picture.c_str())) {
        const char* why = gformat_last_error();
        *error = o.picture + ": cannot use this picture" + (why && *why ? std::string(" (") + why + ")" : "");
        return 0;
    }
    int width = 0, height = 0;
    pic_size(&width, &height);
    if (width < PICTURE_SIDE_MIN || height < PICTURE_SIDE_MIN) {
        pic_free();
        return *error = o.picture + ": the picture is smaller than 40 x 40 pixels", 0;
    }
    // Fitted to the play area as the create room shows it; a picture that fits keeps its size, and
    // so does any picture with --keep-size (its pieces keep their size on a table larger than the
    // screen).
    const int area_w = o.screenWidth - 20, area_h = o.screenHeight - 80;
    if (!o.keepSize && (width > area_w || height > area_h)) {
        // The side that limits takes the whole area; the other keeps the proportions.
        const bool wide = (long long)width * area_h > (long long)height * area_w;
        const int fw = wide ? area_w : (int)((long long)width * area_h / height);
        const int fh = wide ? (int)((long long)height * area_w / width) : area_h;
        const int w = std::max(PICTURE_SIDE_MIN, fw), h = std::max(PICTURE_SIDE_MIN, fh);
        if (!pic_resample(w, h, 1)) {
            pic_free();
            return *error = o.picture + ": the picture cannot be scaled", 0;
        }
        width = w, height = h;
    }

    BoxRecord r = {};
    r.width = width;
    r.height = height;
    const int size_max = std::max(BOX_PIECE_SIZE_MIN, std::min(width, height) / 2);
    r.pieceSize = std::clamp(o.pieceSize, BOX_PIECE_SIZE_MIN, size_max);
    r.irregularity = std::clamp(o.irregularity, 0, BOX_IRREGULARITY_MAX);
    r.edgeStyle = std::clamp(o.edgeStyle, 0, BOX_EDGE_STYLE_MAX);
    r.pieceCount = (width / r.pieceSize) * (height / r.pieceSize);
    r.rotation = o.rotation;
    r.hiddenPicture = o.hidden;
    r.hasTune = !o.tune.empty();
    r.repeatTune = r.hasTune && o.repeat;
    const std::string description = mkbox_text_1252(o.description), address = mkbox_text_1252(o.address);
    r.hasDescription = !description.empty();
    r.hasAddress = !address.empty();

    io_make_folder(BOX_WORK_FOLDER);
    box_clear_work_files(BOX_ALL);
    int ok = io_make_folder(o.folder.c_str());
    if (!ok) *error = o.folder + ": cannot make the folder";
    if (ok && !pic_save_jpeg(BOX_PICTURE_FILE, BOX_JPEG_QUALITY))
        ok = 0, *error = "cannot write " + std::string(BOX_PICTURE_FILE);
    pic_free();
    if (ok && r.hasTune && !io_copy_file(o.tune.c_str(), BOX_TUNE_FILE))
        ok = 0, *error = o.tune + ": cannot copy the tune";
    if (ok && r.hasDescription && !write_text(BOX_DESCRIPTION_FILE, description))
        ok = 0, *error = "cannot write the description";
    if (ok && r.hasAddress && !write_text(BOX_ADDRESS_FILE, address))
        ok = 0, *error = "cannot write the address";
    if (ok) {
        FileStamp stamp;
        stamp_make(&stamp);
        box_set_folder(o.folder.c_str());
        ok = box_write(o.name.c_str(), &stamp, &r);
        box_set_folder(nullptr);
        if (!ok) *error = o.folder + "/" + o.name + ".pzl: cannot write the box";
    }
    box_clear_work_files(BOX_ALL);
    if (pieces) *pieces = r.pieceCount;
    return ok;
}
