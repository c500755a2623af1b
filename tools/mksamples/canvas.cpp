// tools/mksamples/canvas.cpp -- the sample pictures' painter.
#include "tools/mksamples/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

Rgb rgb(uint32_t hex) {
    return {(float)((hex >> 16) & 255) / 255.f, (float)((hex >> 8) & 255) / 255.f,
            (float)(hex & 255) / 255.f};
}
Rgb mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb scale(Rgb c, float k) { return {c.r * k, c.g * k, c.b * k}; }

uint32_t Random::next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return (uint32_t)(state >> 16);
}
float Random::unit() { return (float)(next() & 0xFFFFFF) / (float)0x1000000; }
float Random::range(float low, float high) { return low + (high - low) * unit(); }
int Random::below(int n) { return n > 0 ? (int)(next() % (uint32_t)n) : 0; }

namespace {

float lattice(int x, int y, uint32_t seed) {
    uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return (float)((h ^ (h >> 16)) & 0xFFFF) / 65535.f;
}

float smooth(float t) { return t * t * (3 - 2 * t); }

}  // namespace

float noise2(float x, float y, uint32_t seed) {
    const int xi = (int)std::floor(x), yi = (int)std::floor(y);
    const float fx = smooth(x - xi), fy = smooth(y - yi);
    const float a = lattice(xi, yi, seed), b = lattice(xi + 1, yi, seed);
    const float c = lattice(xi, yi + 1, seed), d = lattice(xi + 1, yi + 1, seed);
    return a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
}

float fbm(float x, float y, uint32_t seed, int octaves) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; i++) {
        sum += amp * noise2(x, y, seed + (uint32_t)i * 101);
        norm += amp;
        x *= 2.03f, y *= 2.03f, amp *= 0.5f;
    }
    return sum / norm;
}

void Canvas::blend(int x, int y, Rgb c, float alpha) {
    if (x < 0 || y < 0 || x >= w || y >= h || alpha <= 0) return;
    if (alpha > 1) alpha = 1;
    Rgb& d = at(x, y);
    d = mix(d, c, alpha);
}

void Canvas::vertical_gradient(const std::vector<std::pair<float, Rgb>>& stops, int y0, int y1) {
    for (int y = std::max(0, y0); y < std::min(h, y1); y++) {
        const float t = (float)(y - y0) / (float)std::max(1, y1 - y0 - 1);
        Rgb c = stops.front().second;
        for (size_t i = 1; i < stops.size(); i++)
            if (t <= stops[i].first) {
                const float span = stops[i].first - stops[i - 1].first;
                c = mix(stops[i - 1].second, stops[i].second, span > 0 ? (t - stops[i - 1].first) / span : 1);
                break;
            } else {
                c = stops[i].second;
            }
        for (int x = 0; x < w; x++)
            at(x, y) = c;
    }
}

void Canvas::fill_rect(float x0, float y0, float x1, float y1, Rgb c, float alpha) {
    for (int y = std::max(0, (int)std::floor(y0)); y < std::min(h, (int)std::ceil(y1)); y++) {
        const float cy = std::min(y + 1.f, y1) - std::max((float)y, y0);
        for (int x = std::max(0, (int)std::floor(x0)); x < std::min(w, (int)std::ceil(x1)); x++) {
            const float cx = std::min(x + 1.f, x1) - std::max((float)x, x0);
            blend(x, y, c, alpha * cx * cy);
        }
    }
}

void Canvas::fill_ellipse(float cx, float cy, float rx, float ry, Rgb c, float alpha) {
    if (rx <= 0 || ry <= 0) return;
    const int x0 = (int)std::floor(cx - rx - 1), x1 = (int)std::ceil(cx + rx + 1);
    const int y0 = (int)std::floor(cy - ry - 1), y1 = (int)std::ceil(cy + ry + 1);
    const float rmin = std::min(rx, ry);
    for (int y = std::max(0, y0); y <= std::min(h - 1, y1); y++)
        for (int x = std::max(0, x0); x <= std::min(w - 1, x1); x++) {
            const float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
            const float d = (std::sqrt(dx * dx + dy * dy) - 1) * rmin;  // approximate pixels outside
            const float cover = std::clamp(0.5f - d, 0.f, 1.f);
            if (cover > 0) blend(x, y, c, alpha * cover);
        }
}

void Canvas::glow(float cx, float cy, float r, Rgb c, float alpha) {
    for (int y = std::max(0, (int)(cy - r)); y <= std::min(h - 1, (int)(cy + r)); y++)
        for (int x = std::max(0, (int)(cx - r)); x <= std::min(w - 1, (int)(cx + r)); x++) {
            const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / r;
            if (d < 1) blend(x, y, c, alpha * (1 - d) * (1 - d));
        }
}

void Canvas::fill_polygon(const std::vector<std::pair<float, float>>& pts, Rgb c, float alpha) {
    if (pts.size() < 3) return;
    float ymin = 1e9f, ymax = -1e9f;
    for (auto [x, y] : pts)
        ymin = std::min(ymin, y), ymax = std::max(ymax, y);
    const int row0 = std::max(0, (int)std::floor(ymin)), row1 = std::min(h - 1, (int)std::ceil(ymax));
    std::vector<float> cover((size_t)w);
    std::vector<std::pair<float, int>> xs;
    for (int y = row0; y <= row1; y++) {
        std::fill(cover.begin(), cover.end(), 0.f);
        int xmin = w, xmax = -1;
        for (int s = 0; s < 4; s++) {
            const float sy = y + (s + 0.5f) / 4;
            xs.clear();
            for (size_t i = 0; i < pts.size(); i++) {
                auto [ax, ay] = pts[i];
                auto [bx, by] = pts[(i + 1) % pts.size()];
                if ((ay <= sy && by > sy) || (by <= sy && ay > sy))
                    xs.push_back({ax + (sy - ay) / (by - ay) * (bx - ax), ay < by ? 1 : -1});
            }
            std::sort(xs.begin(), xs.end());
            int winding = 0;
            for (size_t i = 0; i + 1 < xs.size(); i++) {
                winding += xs[i].second;
                if (!winding) continue;
                const float a = xs[i].first, b = xs[i + 1].first;
                const int p0 = std::max(0, (int)std::floor(a)), p1 = std::min(w - 1, (int)std::ceil(b));
                for (int p = p0; p <= p1; p++)
                    for (int sx = 0; sx < 4; sx++) {
                        const float at = p + (sx + 0.5f) / 4;
                        if (at >= a && at < b)
                            cover[p] += 1.f / 16, xmin = std::min(xmin, p), xmax = std::max(xmax, p);
                    }
            }
        }
        for (int x = std::max(0, xmin); x <= xmax; x++)
            blend(x, y, c, alpha * cover[x]);
    }
}

void Canvas::line(float x0, float y0, float x1, float y1, float width, Rgb c, float alpha) {
    const float r = width / 2;
    const int bx0 = std::max(0, (int)std::floor(std::min(x0, x1) - r - 1));
    const int bx1 = std::min(w - 1, (int)std::ceil(std::max(x0, x1) + r + 1));
    const int by0 = std::max(0, (int)std::floor(std::min(y0, y1) - r - 1));
    const int by1 = std::min(h - 1, (int)std::ceil(std::max(y0, y1) + r + 1));
    const float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    for (int y = by0; y <= by1; y++)
        for (int x = bx0; x <= bx1; x++) {
            const float ax = x + 0.5f - x0, ay = y + 0.5f - y0;
            float t = len2 > 0 ? (ax * dx + ay * dy) / len2 : 0;
            t = std::clamp(t, 0.f, 1.f);
            const float d = std::hypot(ax - t * dx, ay - t * dy) - r;
            const float cover = std::clamp(0.5f - d, 0.f, 1.f);
            if (cover > 0) blend(x, y, c, alpha * cover);
        }
}

int Canvas::save_bmp(const std::string& path) const {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    const int row = (3 * w + 3) & ~3;
    const uint32_t size = 54 + (uint32_t)row * (uint32_t)h;
    uint8_t head[54] = {'B', 'M'};
    auto put = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            head[at + i] = (uint8_t)(v >> (8 * i));
    };
    put(2, size), put(10, 54), put(14, 40), put(18, (uint32_t)w), put(22, (uint32_t)h);
    head[26] = 1, head[28] = 24;
    put(38, 2835), put(42, 2835);
    int ok = std::fwrite(head, 1, 54, f) == 54;
    std::vector<uint8_t> line((size_t)row, 0);
    for (int y = h - 1; ok && y >= 0; y--) {
        for (int x = 0; x < w; x++) {
            const Rgb& c = px[(size_t)y * w + x];
            auto byte = [](float v) { return (uint8_t)std::lround(std::clamp(v, 0.f, 1.f) * 255); };
            line[3 * x] = byte(c.b), line[3 * x + 1] = byte(c.g), line[3 * x + 2] = byte(c.r);
        }
        ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    }
    if (std::fclose(f) != 0) ok = 0;
    return ok;
}
