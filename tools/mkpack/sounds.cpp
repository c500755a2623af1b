// tools/mkpack/sounds.cpp -- "connect.wav": the soft wooden click of two pieces joining,
// synthesised as a few quickly dying resonances of a small block of wood struck by a soft
// tap, written as 16-bit mono PCM. The noise comes from a fixed generator, so every build gives
// the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/mkpack/contact.h"
#include "tools/mkpack/mkpack.h"

namespace {

constexpr int RATE = 22050;        // samples a second
constexpr double LENGTH = 0.110;   // seconds
constexpr double PEAK = 0.42;      // of full scale: a soft click, never a crack
constexpr double ATTACK = 0.0007;  // seconds of raised-cosine fade-in
constexpr double RELEASE = 0.012;  // seconds of fade-out at the end

struct Mode {
    double hz, decay, level;  // frequency, seconds to fall to 1/e, relative level
};

// The body of a small hardwood block: a low knock, the main "tock" and two short overtones.
const Mode MODES[] = {
    {540.0, 0.024, 0.30},
    {1210.0, 0.015, 1.00},
    {2470.0, 0.0065, 0.38},
    {3930.0, 0.0028, 0.12},
};

void put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back((uint8_t)v);
    out->push_back((uint8_t)(v >> 8));
}
void put32(std::vector<uint8_t>* out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void put_tag(std::vector<uint8_t>* out, const char* tag) {
    for (int i = 0; i < 4; i++)
        out->push_back((uint8_t)tag[i]);
}

std::vector<double> synthesise() {
    int count = (int)(RATE * LENGTH);
    std::vector<double> s(count);
    uint32_t noise_state = 0x2545F491;
    double tap = 0;  // the tap: a short burst of noise through a gentle low-pass
    for (int i = 0; i < count; i++) {
        double t = (double)i / RATE;
        double v = 0;
        for (const Mode& m : MODES)
            v += m.level * std::exp(-t / m.decay) * std::sin(2 * M_PI * m.hz * t);
        noise_state = noise_state * 1664525u + 1013904223u;
        double white = ((noise_state >> 8) & 0xFFFF) / 32768.0 - 1.0;
        tap += 0.35 * (white * std::exp(-t / 0.0009) - tap);
        v += 0.9 * tap;
        if (t < ATTACK) v *= 0.5 - 0.5 * std::cos(M_PI * t / ATTACK);
        double left = LENGTH - t;
        if (left < RELEASE) v *= left / RELEASE;
        s[i] = v;
    }
    double top = 0;
    for (double v : s)
        top = std::max(top, std::fabs(v));
    for (double& v : s)
        v *= PEAK / top;
    return s;
}

std::vector<uint8_t> wav_of(const std::vector<double>& s) {
    std::vector<uint8_t> out;
    uint32_t data = (uint32_t)s.size() * 2;
    put_tag(&out, "RIFF");
    put32(&out, 36 + data);
    put_tag(&out, "WAVE");
    put_tag(&out, "fmt ");
    put32(&out, 16);
    put16(&out, 1);  // PCM
    put16(&out, 1);  // mono
    put32(&out, RATE);
    put32(&out, RATE * 2);  // bytes a second
    put16(&out, 2);         // bytes a frame
    put16(&out, 16);        // bits a sample
    put_tag(&out, "data");
    put32(&out, data);
    for (double v : s)
        put16(&out, (uint16_t)(int16_t)std::lround(std::clamp(v, -1.0, 1.0) * 32767));
    return out;
}

SheetPicture waveform(const std::vector<double>& s) {
    const int w = 440, h = 120, mid = h / 2;
    SheetPicture p = sheet_picture("connect.wav: " + std::to_string(s.size()) + " samples at " +
                                       std::to_string(RATE) + " Hz, 16-bit mono",
                                   w, h, 0x1F2A30);
    sheet_fill_rect(&p, 0, mid, w, 1, 0x3C4E58);
    for (int x = 0; x < w; x++) {
        size_t a = (size_t)x * s.size() / w, b = std::max(a + 1, (size_t)(x + 1) * s.size() / w);
        double lo = 0, hi = 0;
        for (size_t i = a; i < b && i < s.size(); i++)
            lo = std::min(lo, s[i]), hi = std::max(hi, s[i]);
        int y0 = mid - (int)std::lround(hi * (h / 2 - 4)), y1 = mid - (int)std::lround(lo * (h / 2 - 4));
        sheet_fill_rect(&p, x, y0, 1, y1 - y0 + 1, 0xF0A93B);
    }
    return p;
}

}  // namespace

bool part_sounds(const std::string&, std::vector<PackResource>* out, std::vector<SheetPicture>* sheet) {
    std::vector<double> click = synthesise();
    out->push_back({"connect.wav", wav_of(click)});
    if (sheet) sheet->push_back(waveform(click));
    return true;
}
