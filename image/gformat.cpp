// image/gformat.cpp -- what the picture codecs share: the error hook and the open-file dialog's
// list of picture types. The codecs themselves are gformat_bmp.cpp, gformat_jpeg.cpp,
// gformat_png.cpp, gformat_tiff.cpp and gformat_webp.cpp.
#include "image/gformat.h"

#include <cstdio>

#include "base/limits.h"
#include "platform/io_debug.h"

const char picture_filter[] =
    "All Formats\0*.JPG;*.JPE;*.JIF;*.JPEG;*.JFIF;*.PNG;*.WEBP;*.TIF;*.TIFF;*.BMP;*.RLE;*.DIB\0"
    "BMP (*.BMP;*.RLE;*.DIB)\0*.BMP;*.RLE;*.DIB\0"
    "JPEG (*.JPG;*.JPE;*.JIF;*.JPEG;*.JFIF)\0*.JPG;*.JPE;*.JIF;*.JPEG;*.JFIF\0"
    "PNG (*.PNG)\0*.PNG\0"
    "TIFF (*.TIF;*.TIFF) uncompressed\0*.TIF;*.TIFF\0"
    "WebP (*.WEBP)\0*.WEBP\0";  // the literal's own zero ends the list

namespace {

char g_last_error[LOG_LINE_MAX];  // latest text passed to gformat_error

}  // namespace

void gformat_error(const char* text) {
    std::snprintf(g_last_error, sizeof g_last_error, "%s", text ? text : "");
    io_log("%s\n", g_last_error);
}

const char* gformat_last_error() { return g_last_error; }
