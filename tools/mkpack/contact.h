// tools/mkpack/contact.h -- the contact sheet: one PNG that shows every picture the parts
// offered for review, each with its caption, so the art can be judged at a glance. Also the few
// anti-aliased drawing helpers the text, font and curve parts use for their own review pictures.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/mkpack/mkpack.h"

struct SheetPoint {
    double x, y;  // pixels; (0, 0) is the top-left corner of the top-left pixel
};

SheetPicture sheet_picture(const std::string& caption, int width, int height, uint32_t rgb);
void sheet_fill_rect(SheetPicture* picture, int x, int y, int w, int h, uint32_t rgb);
// Fills a closed polygon (even-odd rule) with anti-aliased edges.
void sheet_fill_polygon(SheetPicture* picture, const std::vector<SheetPoint>& polygon, uint32_t rgb);
// Draws an open polyline width pixels wide with anti-aliased sides.
void sheet_stroke(SheetPicture* picture, const std::vector<SheetPoint>& line, double width, uint32_t rgb);

// Lays the pictures out in rows, in the given order, each with its caption below it, and writes
// them as one PNG. True on success; prints "mkpack: PATH: ..." otherwise.
bool contact_sheet_write(const std::string& path, const std::vector<SheetPicture>& pictures);
