// rooms/create_rules.cpp -- the create room's rules: sizes worked out from the screen and the
// picture, and the info window's text.
#include "rooms/create_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/str.h"
#include "gui/lt.h"

namespace {

constexpr int TEXT_INFO_NAME = 410, TEXT_INFO_PIECES = 411, TEXT_INFO_SIZE = 412, TEXT_INFO_SCREEN = 413;

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

}  // namespace

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

CreateSizeSlider create_size_slider(int importedWidth, int importedHeight, int fitWidth, int fitHeight) {
    CreateSizeSlider s;
    s.tall = importedWidth <= importedHeight;
    if (importedWidth <= 0 || importedHeight <= 0) return {s.tall, 0, 0};
    if (s.tall) {
        s.minimum = (int)((long long)importedHeight * CREATE_PICTURE_MIN / importedWidth);
        s.maximum = fitHeight;
    } else {
        s.minimum = (int)((long long)importedWidth * CREATE_PICTURE_MIN / importedHeight);
        s.maximum = fitWidth;
    }
    // A picture so thin that its short side would go under 40 at the fitted size slides nowhere.
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
    int screenSize[2];
    if (!create_recommended_screen(record->width, record->height, &screenSize[0], &screenSize[1])) return;
    char line[256];
    format_ints(lt_get(TEXT_INFO_SCREEN), screenSize, 2, line, sizeof line);
    str_append(out, size, "\n");
    str_append(out, size, line);
}
