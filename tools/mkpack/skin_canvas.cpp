// tools/mkpack/skin_canvas.cpp -- the drawing kit of the skin: shapes, compositing, lettering,
// tileable noise and the conversions of a canvas to IMG, JPEG and contact-sheet pictures.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstring>

#include "image/gformat.h"
#include "image/img.h"
#include "image/pic.h"
#include "platform/io_mem.h"
#include "tools/mkpack/skin_local.h"

// --- Shapes ---------------------------------------------------------------------------------

float sd_polygon(float px, float py, const std::vector<float>& xy) {
    const size_t n = xy.size() / 2;
    float d = 1e30f;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        float ax = xy[2 * j], ay = xy[2 * j + 1], bx = xy[2 * i], by = xy[2 * i + 1];
        d = std::fmin(d, sd_segment(px, py, ax, ay, bx, by, 0));
        if (((by > py) != (ay > py)) && px < (ax - bx) * (py - by) / (ay - by) + bx) inside = !inside;
    }
    return inside ? -d : d;
}

float sd_polyline(float px, float py, const std::vector<float>& xy, float hw) {
    float d = 1e30f;
    for (size_t i = 2; i + 1 < xy.size(); i += 2)
        d = std::fmin(d, sd_segment(px, py, xy[i - 2], xy[i - 1], xy[i], xy[i + 1], hw));
    return d;
}

float sd_piece(float px, float py, float cx, float cy, float s, const int knobs[4]) {
    const float h = s / 2, r = s * 0.17f, neck = s * 0.13f;
    float d = sd_round_box(px, py, cx, cy, h, h, s * 0.04f);
    // Side k: outward normal (nx, ny); the knob's centre sits beyond the edge, its neck on it.
    const float nx[4] = {0, 1, 0, -1}, ny[4] = {-1, 0, 1, 0};
    for (int k = 0; k < 4; k++) {
        if (!knobs[k]) continue;
        float ex = cx + nx[k] * h, ey = cy + ny[k] * h;
        float kx = ex + nx[k] * r * 1.05f * knobs[k], ky = ey + ny[k] * r * 1.05f * knobs[k];
        float knob = std::fmin(sd_circle(px, py, kx, ky, r),
                               sd_segment(px, py, ex, ey, (ex + kx) / 2, (ey + ky) / 2, neck));
        d = knobs[k] > 0 ? std::fmin(d, knob) : std::fmax(d, -knob);
    }
    return d;
}

// --- Compositing ----------------------------------------------------------------------------

void canvas_draw(Canvas& dst, const Canvas& src, int dx, int dy) {
    for (int y = 0; y < src.h; y++)
        for (int x = 0; x < src.w; x++) {
            int tx = x + dx, ty = y + dy;
            if (tx < 0 || ty < 0 || tx >= dst.w || ty >= dst.h) continue;
            const float* s = src.at(x, y);
            float* d = dst.at(tx, ty);
            for (int k = 0; k < 4; k++)
                d[k] = s[k] + d[k] * (1 - s[3]);
        }
}

void canvas_copy(Canvas& dst, int dx, int dy, const Canvas& src, int sx, int sy, int w, int h) {
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int tx = dx + x, ty = dy + y, fx = sx + x, fy = sy + y;
            if (tx < 0 || ty < 0 || tx >= dst.w || ty >= dst.h || fx < 0 || fy < 0 || fx >= src.w ||
                fy >= src.h)
                continue;
            std::memcpy(dst.at(tx, ty), src.at(fx, fy), 4 * sizeof(float));
        }
}

namespace {

// One pass of a box blur of radius r over a row-major plane, horizontally or vertically.
void box_pass(std::vector<float>& v, int w, int h, int r, bool horizontal) {
    std::vector<float> line(horizontal ? w : h), out(line.size());
    const int n = (int)line.size(), lines = horizontal ? h : w;
    for (int l = 0; l < lines; l++) {
        for (int i = 0; i < n; i++)
            line[i] = horizontal ? v[(size_t)l * w + i] : v[(size_t)i * w + l];
        float sum = 0;
        for (int i = -r; i <= r; i++)
            sum += (i >= 0 && i < n) ? line[i] : 0;
        for (int i = 0; i < n; i++) {
            out[i] = sum / (2 * r + 1);
            int add = i + r + 1, sub = i - r;
            sum += (add < n ? line[add] : 0) - (sub >= 0 ? line[sub] : 0);
        }
        for (int i = 0; i < n; i++)
            (horizontal ? v[(size_t)l * w + i] : v[(size_t)i * w + l]) = out[i];
    }
}

void blur_plane(std::vector<float>& v, int w, int h, int r) {
    if (r <= 0) return;
    for (int k = 0; k < 3; k++) {
        box_pass(v, w, h, r, true);
        box_pass(v, w, h, r, false);
    }
}

}  // namespace

Canvas canvas_shadow_of(const Canvas& c, float radius, int ox, int oy, Rgba colour) {
    std::vector<float> a((size_t)c.w * c.h);
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            int sx = x - ox, sy = y - oy;
            a[(size_t)y * c.w + x] = (sx >= 0 && sy >= 0 && sx < c.w && sy < c.h) ? c.at(sx, sy)[3] : 0;
        }
    blur_plane(a, c.w, c.h, (int)std::lround(radius / 1.7f));
    Canvas s(c.w, c.h);
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++)
            s.set(x, y, with_alpha(colour, colour.a * a[(size_t)y * c.w + x]));
    return s;
}

void canvas_drop_shadow(Canvas& c, float radius, int ox, int oy, Rgba colour) {
    Canvas s = canvas_shadow_of(c, radius, ox, oy, colour);
    canvas_draw(s, c, 0, 0);  // the shadow goes under the existing pixels
    c = std::move(s);
}

void canvas_flatten(Canvas& c, Rgba background) {
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            float* d = c.at(x, y);
            float k = 1 - d[3];
            d[0] += background.r * k;
            d[1] += background.g * k;
            d[2] += background.b * k;
            d[3] = 1;
        }
}

// --- Lettering ------------------------------------------------------------------------------

bool text_mask(const char* face_path, float pixel_size, const std::string& text, float spacing, Mask* out) {
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) {
        std::fprintf(stderr, "mkpack: FreeType does not start\n");
        return false;
    }
    FT_Face face;
    if (FT_New_Face(lib, face_path, 0, &face)) {
        std::fprintf(stderr, "mkpack: %s:1: the face does not load (install fonts-dejavu-core)\n", face_path);
        FT_Done_FreeType(lib);
        return false;
    }
    FT_Set_Char_Size(face, 0, (FT_F26Dot6)std::lround(pixel_size * 64), 72, 72);
    const int ascent = (int)std::ceil(face->size->metrics.ascender / 64.0);
    const int descent = (int)std::ceil(-face->size->metrics.descender / 64.0);
    // First pass measures, second pass draws.
    struct Glyph {
        int x, top, w, h;
        std::vector<uint8_t> bits;
    };
    std::vector<Glyph> glyphs;
    float pen = 0;
    FT_UInt previous = 0;
    int right = 0;
    for (unsigned char ch : text) {
        FT_UInt index = FT_Get_Char_Index(face, ch);
        if (previous && index) {
            FT_Vector k;
            FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &k);
            pen += k.x / 64.0f;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) ||
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL))
            continue;
        FT_GlyphSlot g = face->glyph;
        Glyph gl{(int)std::lround(pen) + g->bitmap_left,
                 ascent - g->bitmap_top,
                 (int)g->bitmap.width,
                 (int)g->bitmap.rows,
                 {}};
        for (int r = 0; r < gl.h; r++)
            gl.bits.insert(gl.bits.end(), g->bitmap.buffer + (ptrdiff_t)r * g->bitmap.pitch,
                           g->bitmap.buffer + (ptrdiff_t)r * g->bitmap.pitch + gl.w);
        right = std::max(right, gl.x + gl.w);
        glyphs.push_back(std::move(gl));
        pen += g->advance.x / 64.0f + spacing;
        previous = index;
    }
    out->w = std::max(right, (int)std::lround(pen)) + 2;
    out->h = ascent + descent + 2;
    out->baseline = ascent;
    out->v.assign((size_t)out->w * out->h, 0.0f);
    for (const Glyph& gl : glyphs)
        for (int r = 0; r < gl.h; r++)
            for (int c = 0; c < gl.w; c++) {
                int x = gl.x + c, y = gl.top + r;
                if (x < 0 || y < 0 || x >= out->w || y >= out->h) continue;
                float& v = out->v[(size_t)y * out->w + x];
                v = std::fmin(1.0f, v + gl.bits[(size_t)r * gl.w + c] / 255.0f);
            }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return true;
}

void mask_blur(Mask& m, int radius) {
    const int pad = radius * 3;
    Mask g;
    g.w = m.w + 2 * pad;
    g.h = m.h + 2 * pad;
    g.baseline = m.baseline + pad;
    g.v.assign((size_t)g.w * g.h, 0.0f);
    for (int y = 0; y < m.h; y++)
        for (int x = 0; x < m.w; x++)
            g.v[(size_t)(y + pad) * g.w + x + pad] = m.v[(size_t)y * m.w + x];
    blur_plane(g.v, g.w, g.h, radius);
    m = std::move(g);
}

void draw_number(Canvas& c, int x, int y, int number, int scale, Rgba colour) {
    static const char* const DIGITS[10] = {
        "111101101101111", "010110010010111", "111001111100111", "111001111001111", "101101111001001",
        "111100111001111", "111100111101111", "111001001010010", "111101111101111", "111101111001111"};
    std::string s = std::to_string(number);
    for (size_t i = 0; i < s.size(); i++) {
        const char* d = DIGITS[s[i] - '0'];
        for (int r = 0; r < 5; r++)
            for (int k = 0; k < 3; k++)
                if (d[r * 3 + k] == '1')
                    for (int a = 0; a < scale; a++)
                        for (int b = 0; b < scale; b++)
                            c.over(x + (int)i * 4 * scale + k * scale + b, y + r * scale + a, colour, 1);
    }
}

// --- Noise ----------------------------------------------------------------------------------

namespace {

uint32_t hash3(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

// 256 unit gradients around the circle, made once.
struct Gradients {
    float x[256], y[256];
    Gradients() {
        for (int i = 0; i < 256; i++) {
            x[i] = (float)std::cos(i * 6.283185307179586 / 256);
            y[i] = (float)std::sin(i * 6.283185307179586 / 256);
        }
    }
};

float grad(int ix, int iy, int px, int py, uint32_t seed, float dx, float dy) {
    static const Gradients g;
    ix = ((ix % px) + px) % px;
    iy = ((iy % py) + py) % py;
    uint32_t k = hash3((uint32_t)ix, (uint32_t)iy, seed) & 255;
    return g.x[k] * dx + g.y[k] * dy;
}

}  // namespace

float noise_periodic(float x, float y, int period_x, int period_y, uint32_t seed) {
    int ix = (int)std::floor(x), iy = (int)std::floor(y);
    float fx = x - ix, fy = y - iy;
    float ux = fx * fx * fx * (fx * (fx * 6 - 15) + 10), uy = fy * fy * fy * (fy * (fy * 6 - 15) + 10);
    float a = grad(ix, iy, period_x, period_y, seed, fx, fy);
    float b = grad(ix + 1, iy, period_x, period_y, seed, fx - 1, fy);
    float c = grad(ix, iy + 1, period_x, period_y, seed, fx, fy - 1);
    float d = grad(ix + 1, iy + 1, period_x, period_y, seed, fx - 1, fy - 1);
    return 1.41f * ((a + (b - a) * ux) + ((c + (d - c) * ux) - (a + (b - a) * ux)) * uy);
}

float fbm_periodic(float x, float y, int period_x, int period_y, int octaves, uint32_t seed) {
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; o++) {
        sum += amp * noise_periodic(x, y, period_x, period_y, seed + (uint32_t)o * 101u);
        norm += amp;
        amp *= 0.5f;
        x *= 2;
        y *= 2;
        period_x *= 2;
        period_y *= 2;
    }
    return sum / norm;
}

// --- Outputs --------------------------------------------------------------------------------

namespace {

uint8_t byte_of(float v) { return (uint8_t)std::lround(clamp01(v) * 255.0f); }

}  // namespace

std::vector<uint8_t> canvas_to_img(const Canvas& c, bool with_alpha) {
    Image* image = img_create(c.w, c.h, with_alpha ? (IMG_24BIT | IMG_ALPHA) : IMG_24BIT);
    uint8_t* base = (uint8_t*)image;
    for (int y = 0; y < c.h; y++) {
        uint8_t* row = base + image->colourOffset + (size_t)y * image->colourPitch;
        uint8_t* alpha = with_alpha ? base + image->alphaOffset + (size_t)y * image->alphaPitch : nullptr;
        for (int x = 0; x < c.w; x++) {
            const float* s = c.at(x, y);
            // Premultiplied colour never exceeds its alpha, so the composite stays within 0..255.
            uint8_t a = byte_of(s[3]);
            uint8_t b = byte_of(s[2]), g = byte_of(s[1]), r = byte_of(s[0]);
            if (with_alpha) {
                b = std::min(b, a);
                g = std::min(g, a);
                r = std::min(r, a);
                alpha[x] = a;
            }
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = r;
        }
    }
    size_t size =
        (size_t)IMG_HEADER_SIZE + (size_t)image->colourPitch * c.h + (size_t)image->alphaPitch * c.h;
    std::vector<uint8_t> bytes(base, base + size);
    io_mem_free(image);
    return bytes;
}

bool canvas_to_jpeg(const Canvas& c, int quality, std::vector<uint8_t>* out) {
    PictureBuffer* buffer = pic_create(c.w, c.h, IMG_24BIT);
    if (!buffer) return false;
    for (int y = 0; y < c.h; y++) {
        uint8_t* row = buffer->pixels + (ptrdiff_t)y * buffer->pitch;
        for (int x = 0; x < c.w; x++) {
            const float* s = c.at(x, y);
            row[3 * x] = byte_of(s[2]);
            row[3 * x + 1] = byte_of(s[1]);
            row[3 * x + 2] = byte_of(s[0]);
        }
    }
    char* data = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&data, &size);
    bool ok = f && gformat_jpg_write(f, buffer, quality) == 1;
    if (f) std::fclose(f);
    if (ok) out->assign((uint8_t*)data, (uint8_t*)data + size);
    std::free(data);
    pic_release(buffer);
    return ok && !out->empty();
}

SheetPicture canvas_to_sheet(const Canvas& c, const std::string& caption, int scale) {
    SheetPicture s;
    s.caption = caption;
    s.width = c.w * scale;
    s.height = c.h * scale;
    s.bgr.resize((size_t)s.width * s.height * 3);
    for (int y = 0; y < s.height; y++)
        for (int x = 0; x < s.width; x++) {
            const float* p = c.at(x / scale, y / scale);
            float check = (((x / 6) + (y / 6)) & 1) ? 0.80f : 0.62f;
            uint8_t* d = &s.bgr[((size_t)y * s.width + x) * 3];
            d[0] = byte_of(p[2] + check * (1 - p[3]));
            d[1] = byte_of(p[1] + check * (1 - p[3]));
            d[2] = byte_of(p[0] + check * (1 - p[3]));
        }
    return s;
}
