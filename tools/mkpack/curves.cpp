// tools/mkpack/curves.cpp -- "curves/c_0.crv" to "curves/c_7.crv" from assets/curves/c_N.txt,
// and a review picture of each: two pieces locked along the edge.
#include "tools/mkpack/curves.h"

#include <cstdio>
#include <cstdlib>

#include "tools/mkpack/contact.h"
#include "tools/mkpack/mkpack.h"

namespace {

constexpr long COORDINATE_MAX = 1000000;  // keeps every difference far inside 32 bits
constexpr long SYMMETRY_SLACK = 500;      // a mirrored point may stray by 1/500 of the edge

bool read_text(const std::string& path, std::string* text) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text->append(buffer, n);
    std::fclose(f);
    return true;
}

// Parses "x y" with optional blanks around; false when anything else stands on the line.
bool parse_pair(const std::string& line, long* x, long* y) {
    const char* p = line.c_str();
    char* end;
    *x = std::strtol(p, &end, 10);
    if (end == p) return false;
    p = end;
    *y = std::strtol(p, &end, 10);
    if (end == p) return false;
    for (p = end; *p; p++)
        if (*p != ' ' && *p != '\t' && *p != '\r') return false;
    return true;
}

SheetPoint bezier(const SheetPoint* q, double t) {
    double u = 1 - t;
    double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    return {a * q[0].x + b * q[1].x + c * q[2].x + d * q[3].x,
            a * q[0].y + b * q[1].y + c * q[2].y + d * q[3].y};
}

// Two pieces meeting along the curve: the one below carries the tab, the one above the hollow.
SheetPicture review_picture(int index, const std::vector<CurveFilePoint>& points) {
    const int w = 260, h = 170, margin = 20, base = 112;
    SheetPicture p = sheet_picture(
        "curves/c_" + std::to_string(index) + ".crv: " + std::to_string(points.size()) + " points", w, h,
        0x2F4858);
    double d = points.back().x - points.front().x;
    double scale = (w - 2 * margin) / d;
    std::vector<SheetPoint> q;
    for (const CurveFilePoint& c : points)
        q.push_back({margin + (c.x - points.front().x) * scale, base - (c.y - points.front().y) * scale});
    std::vector<SheetPoint> line;
    for (size_t s = 0; s + 3 < q.size(); s += 3)
        for (int i = (s ? 1 : 0); i <= 24; i++)
            line.push_back(bezier(&q[s], i / 24.0));
    std::vector<SheetPoint> lower = line, upper = line;
    lower.push_back({(double)w - margin, (double)h - 8});
    lower.push_back({(double)margin, (double)h - 8});
    upper.push_back({(double)w - margin, 8});
    upper.push_back({(double)margin, 8});
    sheet_fill_polygon(&p, upper, 0x7FA7B8);
    sheet_fill_polygon(&p, lower, 0xE0AE6A);
    sheet_stroke(&p, line, 1.6, 0x2B241F);
    return p;
}

}  // namespace

bool curves_parse(const std::string& file, const std::string& text, int index,
                  std::vector<CurveFilePoint>* points) {
    points->clear();
    std::vector<int> lines;  // the line of every point, for the messages
    int faults = 0, last_line = 1;
    auto fault = [&](int line, const std::string& what) {
        std::fprintf(stderr, "mkpack: %s:%d: %s\n", file.c_str(), line, what.c_str());
        faults++;
    };
    size_t pos = 0;
    for (int line = 1; pos < text.size(); line++) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string content = text.substr(pos, end - pos);
        pos = end + 1;
        size_t hash = content.find('#');
        if (hash != std::string::npos) content.resize(hash);
        if (content.find_first_not_of(" \t\r") == std::string::npos) continue;
        long x, y;
        if (!parse_pair(content, &x, &y)) {
            fault(line, "expected a point \"x y\" of two whole numbers");
            continue;
        }
        if (x < -COORDINATE_MAX || x > COORDINATE_MAX || y < -COORDINATE_MAX || y > COORDINATE_MAX) {
            fault(line, "a coordinate lies beyond +-" + std::to_string(COORDINATE_MAX));
            continue;
        }
        points->push_back({(int32_t)x, (int32_t)y});
        lines.push_back(line);
        last_line = line;
    }
    int n = (int)points->size();
    if (n > CURVE_POINTS_MAX)
        fault(last_line,
              std::to_string(n) + " points: a curve holds at most " + std::to_string(CURVE_POINTS_MAX));
    if (n < 4 || (n - 1) % 3 != 0)
        fault(last_line,
              std::to_string(n) + " points: a chain of cubic segments holds 3k + 1 points (4, 7, 10, ...)");
    if (n >= 2) {
        const CurveFilePoint& first = points->front();
        const CurveFilePoint& last = points->back();
        if (last.y != first.y)
            fault(last_line, "the last point (y " + std::to_string(last.y) +
                                 ") must end on the first point's line (y " + std::to_string(first.y) + ")");
        if (last.x <= first.x)
            fault(last_line, "the curve must run left to right: the last x must exceed the first");
        if (index == 0)
            for (const CurveFilePoint& c : *points)
                if (c.y != first.y) {
                    fault(last_line, "curve 0 is the straight border edge: every y must equal the first");
                    break;
                }
        // The neighbouring piece walks the same list from the other end, mirrored: the chain
        // must read the same backwards with every x reflected about the middle of the edge.
        const long span = (long)last.x - first.x, ends = (long)first.x + last.x;
        for (int i = 0, j = n - 1; span > 0 && i <= j; i++, j--) {
            const CurveFilePoint& a = (*points)[i];
            const CurveFilePoint& b = (*points)[j];
            const long off_x = ends - a.x - b.x, off_y = (long)a.y - b.y;
            if (std::labs(off_x) * SYMMETRY_SLACK <= span && std::labs(off_y) * SYMMETRY_SLACK <= span)
                continue;
            const std::string what = "the curve is not symmetric about the middle of the edge: ";
            if (i == j) {
                char middle[32];
                std::snprintf(middle, sizeof middle, "%.8g", ends / 2.0);
                fault(lines[j], what + "the middle point must stand at x " + middle);
            } else {
                fault(lines[j], what + "this point should be (" + std::to_string(ends - a.x) + " " +
                                    std::to_string(a.y) + "), the mirror of line " +
                                    std::to_string(lines[i]) + "'s (" + std::to_string(a.x) + " " +
                                    std::to_string(a.y) + ")");
            }
            break;
        }
    }
    return faults == 0;
}

std::vector<uint8_t> curves_encode(const std::vector<CurveFilePoint>& points) {
    std::vector<uint8_t> out;
    for (const CurveFilePoint& c : points)
        for (int32_t v : {c.x, c.y})
            for (int i = 0; i < 4; i++)
                out.push_back((uint8_t)((uint32_t)v >> (8 * i)));
    return out;
}

bool part_curves(const std::string& assets, std::vector<PackResource>* out,
                 std::vector<SheetPicture>* sheet) {
    bool ok = true;
    for (int i = 0; i < CURVE_FILE_COUNT; i++) {
        std::string path = assets + "/curves/c_" + std::to_string(i) + ".txt";
        std::string text;
        if (!read_text(path, &text)) {
            std::fprintf(stderr, "mkpack: %s:0: the point list is missing\n", path.c_str());
            ok = false;
            continue;
        }
        std::vector<CurveFilePoint> points;
        if (!curves_parse(path, text, i, &points)) {
            ok = false;
            continue;
        }
        out->push_back({"curves/c_" + std::to_string(i) + ".crv", curves_encode(points)});
        if (sheet) sheet->push_back(review_picture(i, points));
    }
    return ok;
}
