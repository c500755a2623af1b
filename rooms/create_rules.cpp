// rooms/create_rules.cpp -- the create room's rules: sizes worked out from the screen and the
// picture, and the info window's text.
#include "rooms/create_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/str.h"
#include "gui/lt.h"

namespace {

constexpr int TEXT_INFO_NAME = 410, TEXT_INFO_PIECES = 411, TEXT_INFO_SIZE = 412, TEXT_INFO_SCREEN = 413;
constexpr int TEXT_INFO_LEFT_OUT = 414, TEXT_SIZE_LINE = 425, TEXT_PIECES_LINE = 444;
constexpr double FIT_STRETCH = 0.005;  // a fitted picture's proportions may change this much

// A language text used as a format of integer places: every conversion takes the next value as
// a decimal number whatever its letter, so a translated text cannot misread the arguments.
void format_ints(const char* format, const int* values, int count, char* out, int size) {
    if (size <= 0) return;
    int used = 0, next = 0;
    for (const char* p = format; *p && used < size - 1; p++) {
        if (*p != '%' || !p[1]) {
            out[used++] = *p;
            continue;
        }
        if (p[1] == '%') {
            out[used++] = '%';
            p++;
            continue;
        }
        while (p[1] && std::strchr("0123456789.-+ #l", p[1]))
            p++;
        if (!p[1]) break;
        p++;
        char number[16];
        std::snprintf(number, sizeof number, "%i", next < count ? values[next] : 0);
        next++;
        for (const char* n = number; *n && used < size - 1; n++)
            out[used++] = *n;
    }
    out[used] = 0;
}

// Columns x rows of the cut.
long long cut_count(int width, int height, int pieceSize) {
    return pieceSize > 0 ? (long long)(width / pieceSize) * (height / pieceSize) : 0;
}

// How far a fit lies from what the player chose: mostly the change of the piece count, then of
// the picture's size.
double fit_distance(long long count, long long fitCount, int width, int fitWidth) {
    return 2 * std::fabs(std::log((double)fitCount / (double)count)) +
           std::fabs(std::log((double)fitWidth / (double)width));
}

}  // namespace

int create_piece_steps(int width, int height, int* sizes, int max) {
    const int top = create_piece_size_max(width, height);
    int n = 0;
    // Ascending piece sizes give falling counts; of each run of equal counts the last (largest)
    // size is kept.
    for (int t = BOX_PIECE_SIZE_MIN; t <= top && max > 0; t++) {
        const bool last = t == top || cut_count(width, height, t + 1) != cut_count(width, height, t);
        if (!last || (t < top && cut_count(width, height, t) > CREATE_PIECES_MAX)) continue;
        if (n == max)
            sizes[n - 1] = t;  // more counts than room: the largest sizes win
        else
            sizes[n++] = t;
    }
    if (n == 0 && max > 0) sizes[n++] = BOX_PIECE_SIZE_MIN;
    return n;
}

int create_step_of(const int* sizes, int count, int width, int height, int pieceSize) {
    if (count <= 0) return 0;
    const long long want = cut_count(width, height, pieceSize);
    int best = 0;
    for (int i = 0; i < count; i++) {
        const long long have = cut_count(width, height, sizes[i]);
        if (have == want) return i;
        if (std::llabs(have - want) < std::llabs(cut_count(width, height, sizes[best]) - want)) best = i;
    }
    return best;
}

int create_default_step(const int* sizes, int count) {
    for (int i = 0; i < count; i++)
        if (sizes[i] >= CREATE_PIECE_COMFORT) return i;
    return count > 0 ? count - 1 : 0;
}

CreateMargins create_margins(int width, int height, int pieceSize) {
    CreateMargins m = {0, 0, 0, 0};
    if (pieceSize <= 0 || width <= 0 || height <= 0) return m;
    const int restX = width - width / pieceSize * pieceSize, restY = height - height / pieceSize * pieceSize;
    m.left = restX / 2, m.right = restX - restX / 2;  // as the cut centres the grid
    m.top = restY / 2, m.bottom = restY - restY / 2;
    return m;
}

int create_fit_grid(int importedWidth, int importedHeight, const CreateSizeSlider& slider, int width,
                    int height, int pieceSize, int canResize, CreateGridFit* out) {
    const CreateMargins m = create_margins(width, height, pieceSize);
    const long long count = cut_count(width, height, pieceSize);
    if (count <= 0 || (m.left + m.right + m.top + m.bottom) == 0) return 0;
    double best = -1;
    auto consider = [&](int t, int w, int h) {
        if (t < BOX_PIECE_SIZE_MIN || t > create_piece_size_max(w, h)) return;
        const double d = fit_distance(count, cut_count(w, h, t), width, w);
        if (best >= 0 && d >= best) return;
        best = d;
        *out = {t, w, h};
    };
    if (!canResize || importedWidth <= 0 || importedHeight <= 0) {
        for (int t = BOX_PIECE_SIZE_MIN; t <= create_piece_size_max(width, height); t++)
            if (width % t == 0 && height % t == 0) consider(t, width, height);
        return best >= 0;
    }
    // The slider's side is a whole number of pieces; the other side is as many pieces as come
    // closest to the picture's proportion, taken when that stretches it by at most FIT_STRETCH.
    const int lowest = std::max(BOX_PIECE_SIZE_MIN, pieceSize * 4 / 5), highest = pieceSize * 5 / 4 + 1;
    for (int t = lowest; t <= highest; t++) {
        for (int k = std::max(1, (slider.minimum + t - 1) / t); (long long)k * t <= slider.maximum; k++) {
            const int side = k * t;
            const double other = slider.tall ? (double)importedWidth * side / importedHeight
                                             : (double)importedHeight * side / importedWidth;
            const int pieces = (int)std::lround(other / t);
            if (pieces < 1 || std::fabs(pieces * t - other) > std::max(0.5, FIT_STRETCH * other)) continue;
            if (slider.tall)
                consider(t, pieces * t, side);
            else
                consider(t, side, pieces * t);
        }
    }
    return best >= 0;
}

void create_pieces_text(int width, int height, int pieceSize, char* out, int size) {
    if (size <= 0) return;
    out[0] = 0;
    if (width <= 0 || height <= 0 || pieceSize <= 0) return;
    const int columns = width / pieceSize, rows = height / pieceSize;
    const int values[4] = {pieceSize, columns, rows, columns * rows};
    format_ints(lt_get(TEXT_PIECES_LINE), values, 4, out, size);
}

void create_size_text(int width, int height, char* out, int size) {
    if (size <= 0) return;
    out[0] = 0;
    if (width <= 0 || height <= 0) return;
    const int values[2] = {width, height};
    format_ints(lt_get(TEXT_SIZE_LINE), values, 2, out, size);
}

Rect create_picture_area(int screenWidth, int screenHeight) {
    const int width = screenWidth - 20, height = screenHeight - 80;
    return {(screenWidth - width) / 2, 28, width, height};
}

Rect create_picture_rect(int screenWidth, int screenHeight, int width, int height) {
    const Rect a = create_picture_area(screenWidth, screenHeight);
    return {a.x + (a.w - width) / 2, a.y + (a.h - height) / 2, width, height};
}

void create_fit(int width, int height, int areaWidth, int areaHeight, int* fitWidth, int* fitHeight) {
    if (width <= areaWidth && height <= areaHeight) {
        *fitWidth = width;
        *fitHeight = height;
        return;
    }
    // The side that meets the area's edge first takes the area's size; the other keeps the
    // proportion, rounded down.
    if ((long long)width * areaHeight >= (long long)height * areaWidth) {
        *fitWidth = areaWidth;
        *fitHeight = (int)((long long)height * areaWidth / width);
    } else {
        *fitHeight = areaHeight;
        *fitWidth = (int)((long long)width * areaHeight / height);
    }
    *fitWidth = std::max(*fitWidth, 1);
    *fitHeight = std::max(*fitHeight, 1);
}

CreateSizeSlider create_size_slider(int importedWidth, int importedHeight, int largestWidth,
                                    int largestHeight) {
    CreateSizeSlider s;
    s.tall = importedWidth <= importedHeight;
    if (importedWidth <= 0 || importedHeight <= 0) return {s.tall, 0, 0};
    if (s.tall) {
        s.minimum = (int)((long long)importedHeight * CREATE_PICTURE_MIN / importedWidth);
        s.maximum = largestHeight;
    } else {
        s.minimum = (int)((long long)importedWidth * CREATE_PICTURE_MIN / importedHeight);
        s.maximum = largestWidth;
    }
    // A picture so thin that its short side would go under 40 at the largest size slides nowhere.
    s.minimum = std::min(s.minimum, s.maximum);
    return s;
}

void create_size_at(int importedWidth, int importedHeight, int tall, int value, int* width, int* height) {
    if (importedWidth <= 0 || importedHeight <= 0) {
        *width = *height = 0;
        return;
    }
    if (tall) {
        *height = value;
        *width = (int)((long long)importedWidth * value / importedHeight);
    } else {
        *width = value;
        *height = (int)((long long)importedHeight * value / importedWidth);
    }
    *width = std::max(*width, 1);
    *height = std::max(*height, 1);
}

int create_piece_size_max(int width, int height) {
    return std::max(std::min(width, height) / 2, BOX_PIECE_SIZE_MIN);
}

int create_recommended_screen(int width, int height, int* screenWidth, int* screenHeight) {
    static const int SCREENS[6][2] = {{640, 480},  {800, 600},   {1024, 768},
                                      {1152, 864}, {1280, 1024}, {1600, 1200}};
    for (const auto& s : SCREENS) {
        if (width <= s[0] - 20 && height <= s[1] - 80) {
            *screenWidth = s[0];
            *screenHeight = s[1];
            return 1;
        }
    }
    *screenWidth = *screenHeight = 0;
    return 0;
}

void create_info_text(const char* name, const BoxRecord* record, char* out, int size) {
    if (size <= 0) return;
    out[0] = 0;
    if (!record || record->width <= 0) return;
    std::snprintf(out, (size_t)size, "%s: %s\n%s: %i, %s: %ix%i", lt_get(TEXT_INFO_NAME), name ? name : "",
                  lt_get(TEXT_INFO_PIECES), (int)record->pieceCount, lt_get(TEXT_INFO_SIZE),
                  (int)record->width, (int)record->height);
    char line[256];
    const CreateMargins m = create_margins(record->width, record->height, record->pieceSize);
    if (m.left + m.right + m.top + m.bottom > 0) {
        const int lost[4] = {m.left, m.right, m.top, m.bottom};
        format_ints(lt_get(TEXT_INFO_LEFT_OUT), lost, 4, line, sizeof line);
        str_append(out, size, "\n");
        str_append(out, size, line);
    }
    int screenSize[2];
    if (!create_recommended_screen(record->width, record->height, &screenSize[0], &screenSize[1])) return;
    format_ints(lt_get(TEXT_INFO_SCREEN), screenSize, 2, line, sizeof line);
    str_append(out, size, "\n");
    str_append(out, size, line);
}
