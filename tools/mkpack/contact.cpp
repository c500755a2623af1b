// tools/mkpack/contact.cpp -- lays the review pictures out into one PNG and draws the few shapes
// the parts' own review pictures need.
#include "tools/mkpack/contact.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>

#include "tools/mkpack/fonts.h"

namespace {

constexpr int SHEET_MIN_WIDTH = 1600;
constexpr int GAP = 18;  // between pictures and around the sheet
constexpr uint32_t BACKDROP = 0x505459;
constexpr uint32_t CAPTION = 0xF2EEE6;

// Blends rgb over the pixel with coverage a (0..1).
void blend(SheetPicture* p, int x, int y, uint32_t rgb, double a) {
    if (x < 0 || y < 0 || x >= p->width || y >= p->height || a <= 0) return;
    if (a > 1) a = 1;
    uint8_t* d = &p->bgr[((size_t)y * p->width + x) * 3];
    const double c[3] = {(double)(rgb & 255), (double)((rgb >> 8) & 255), (double)((rgb >> 16) & 255)};
    for (int k = 0; k < 3; k++)
        d[k] = (uint8_t)std::lround(d[k] + (c[k] - d[k]) * a);
}

int caption_lines(const std::string& caption) {
    return caption.empty() ? 0 : 1 + (int)std::count(caption.begin(), caption.end(), '\n');
}

int caption_width(const std::string& caption) {
    int width = 0;
    size_t start = 0;
    while (start <= caption.size()) {
        width = std::max(width, fonts_text_width(FONT_SMALL, caption.c_str() + start));
        size_t nl = caption.find('\n', start);
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return width;
}

struct Placed {
    int x, y;
};

bool write_png(const std::string& path, const SheetPicture& sheet) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "mkpack: %s: cannot create the contact sheet\n", path.c_str());
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> row((size_t)sheet.width * 3);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        std::fprintf(stderr, "mkpack: %s: cannot write the contact sheet\n", path.c_str());
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, (png_uint_32)sheet.width, (png_uint_32)sheet.height, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < sheet.height; y++) {
        const uint8_t* s = &sheet.bgr[(size_t)y * sheet.width * 3];
        for (int x = 0; x < sheet.width; x++) {
            row[x * 3] = s[x * 3 + 2];
            row[x * 3 + 1] = s[x * 3 + 1];
            row[x * 3 + 2] = s[x * 3];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

}  // namespace

SheetPicture sheet_picture(const std::string& caption, int width, int height, uint32_t rgb) {
    SheetPicture p;
    p.caption = caption;
    p.width = width;
    p.height = height;
    p.bgr.resize((size_t)width * height * 3);
    sheet_fill_rect(&p, 0, 0, width, height, rgb);
    return p;
}

void sheet_fill_rect(SheetPicture* p, int x, int y, int w, int h, uint32_t rgb) {
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min(x + w, p->width), y1 = std::min(y + h, p->height);
    for (int py = y0; py < y1; py++)
        for (int px = x0; px < x1; px++) {
            uint8_t* d = &p->bgr[((size_t)py * p->width + px) * 3];
            d[0] = (uint8_t)rgb;
            d[1] = (uint8_t)(rgb >> 8);
            d[2] = (uint8_t)(rgb >> 16);
        }
}

void sheet_fill_polygon(SheetPicture* p, const std::vector<SheetPoint>& poly, uint32_t rgb) {
    constexpr int SUB = 4;  // sub-rows per pixel row; horizontal coverage is exact per span
    std::vector<double> cover((size_t)p->width + 1);
    std::vector<double> xs;
    size_t n = poly.size();
    for (int y = 0; y < p->height; y++) {
        std::fill(cover.begin(), cover.end(), 0.0);
        bool any = false;
        for (int s = 0; s < SUB; s++) {
            double sy = y + (s + 0.5) / SUB;
            xs.clear();
            for (size_t i = 0; i < n; i++) {
                const SheetPoint& a = poly[i];
                const SheetPoint& b = poly[(i + 1) % n];
                if ((a.y <= sy) == (b.y <= sy)) continue;
                xs.push_back(a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y));
            }
            std::sort(xs.begin(), xs.end());
            for (size_t i = 0; i + 1 < xs.size(); i += 2) {
                double x0 = std::clamp(xs[i], 0.0, (double)p->width);
                double x1 = std::clamp(xs[i + 1], 0.0, (double)p->width);
                if (x1 <= x0) continue;
                any = true;
                int c0 = (int)x0, c1 = (int)x1;
                if (c0 == c1) {
                    cover[c0] += (x1 - x0) / SUB;
                    continue;
                }
                cover[c0] += (c0 + 1 - x0) / SUB;
                for (int c = c0 + 1; c < c1; c++)
                    cover[c] += 1.0 / SUB;
                cover[c1] += (x1 - c1) / SUB;
            }
        }
        if (!any) continue;
        for (int x = 0; x < p->width; x++)
            blend(p, x, y, rgb, cover[x]);
    }
}

void sheet_stroke(SheetPicture* p, const std::vector<SheetPoint>& line, double width, uint32_t rgb) {
    std::vector<double> cover((size_t)p->width * p->height, 0.0);
    double r = width / 2;
    for (size_t i = 0; i + 1 < line.size(); i++) {
        SheetPoint a = line[i], b = line[i + 1];
        int x0 = std::max(0, (int)std::floor(std::min(a.x, b.x) - r - 1));
        int x1 = std::min(p->width - 1, (int)std::ceil(std::max(a.x, b.x) + r + 1));
        int y0 = std::max(0, (int)std::floor(std::min(a.y, b.y) - r - 1));
        int y1 = std::min(p->height - 1, (int)std::ceil(std::max(a.y, b.y) + r + 1));
        double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++) {
                double px = x + 0.5 - a.x, py = y + 0.5 - a.y;
                double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
                double d = std::hypot(px - t * dx, py - t * dy);
                double c = std::clamp(r + 0.5 - d, 0.0, 1.0);
                double& cell = cover[(size_t)y * p->width + x];
                cell = std::max(cell, c);
            }
    }
    for (int y = 0; y < p->height; y++)
        for (int x = 0; x < p->width; x++)
            blend(p, x, y, rgb, cover[(size_t)y * p->width + x]);
}

bool contact_sheet_write(const std::string& path, const std::vector<SheetPicture>& pictures) {
    const int caption_step = 14;  // the small font's line advance
    int sheet_width = SHEET_MIN_WIDTH;
    for (const SheetPicture& p : pictures)
        sheet_width = std::max(sheet_width, std::max(p.width, caption_width(p.caption)) + 2 * GAP);
    // Shelf layout: left to right, a new row when the next picture does not fit.
    const int title_height = 24 + GAP;
    std::vector<Placed> at;
    int x = GAP, y = GAP + title_height, row_height = 0;
    for (const SheetPicture& p : pictures) {
        int cell_w = std::max(p.width, caption_width(p.caption));
        int cell_h = p.height + 4 + caption_lines(p.caption) * caption_step;
        if (x > GAP && x + cell_w > sheet_width - GAP) {
            x = GAP;
            y += row_height + GAP;
            row_height = 0;
        }
        at.push_back({x, y});
        x += cell_w + GAP;
        row_height = std::max(row_height, cell_h);
    }
    int sheet_height = y + row_height + GAP;
    SheetPicture sheet = sheet_picture("", sheet_width, sheet_height, BACKDROP);
    fonts_draw_text(&sheet, FONT_LARGE, GAP, GAP, "Lumavex: the data pack at a glance", CAPTION);
    for (size_t i = 0; i < pictures.size(); i++) {
        const SheetPicture& p = pictures[i];
        if (p.bgr.size() != (size_t)p.width * p.height * 3) {
            std::fprintf(stderr, "mkpack: %s: the picture \"%s\" has %zu bytes, not %d x %d x 3\n",
                         path.c_str(), p.caption.c_str(), p.bgr.size(), p.width, p.height);
            return false;
        }
        for (int py = 0; py < p.height; py++)
            std::copy_n(&p.bgr[(size_t)py * p.width * 3], (size_t)p.width * 3,
                        &sheet.bgr[((size_t)(at[i].y + py) * sheet.width + at[i].x) * 3]);
        fonts_draw_text(&sheet, FONT_SMALL, at[i].x, at[i].y + p.height + 4, p.caption.c_str(), CAPTION);
    }
    return write_png(path, sheet);
}
