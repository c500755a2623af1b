// rooms/g3dscene.cpp -- the gallery's first-person view: floor plan, walking, ray-cast renderer
// and the target point.
//
// Textures are kept as 32-bit texels (blue, green, red, 0): the wall variants column by column so
// a wall column walks one contiguous run, floor and ceiling row by row (256 x 256, repeating).
// Per-column ray tables depend only on the view size and are rebuilt when the zoom changes.
#include "rooms/g3dscene.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "image/img.h"
#include "image/img_scale.h"
#include "platform/io_debug.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "resources/cache.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double DEG = PI / 180.0;
constexpr int WALL_HEIGHT = 64;
constexpr int PLACE_UNITS = 64;
constexpr double COLLISION = 10.0;
constexpr double NO_HIT = 100000.0;
constexpr int TEX = 256;  // floor and ceiling size, wall texture width
constexpr int BAND = 3;   // rows at the top and bottom of a wall variant left untinted
constexpr const char* SECTION = "GALLERYROOM";

constexpr int POINTS[G3D_POINTS][2] = {
    {64, 1},    {192, 1},   {256, -109}, {384, -109}, {448, 1},     {384, 112},
    {256, 112}, {192, 223}, {256, 334},  {192, 444},  {64, 444},    {0, 334},
    {64, 223},  {0, 112},   {-128, 112}, {-192, 1},   {-128, -110}, {0, -110},
};

int wall_group(int wall) {
    if (wall % 6 == 0) return 0;
    return 1 + wall / 6;
}

// A texture as 32-bit texels: `columns` holds width runs of height texels (walls), otherwise
// height rows of width texels.
struct Texture {
    uint32_t* texels = nullptr;
    int width = 0, height = 0;
};

struct Column {
    int height;     // even; 0 when the ray hits nothing
    int texel;      // wall texture column
    int place;      // wall place, or -1 without a hit
    int group;      // texture group of the wall hit
    int picColumn;  // column of the place's picture, or -1
};

struct Scene {
    G3dWall walls[G3D_WALLS];
    G3dCamera camera;
    double camPoints[G3D_POINTS][2];  // (forward, sideways-left) of every corner point
    int keys[4];
    int mouseLook;
    int zoom = G3D_ZOOM_DEFAULT;
    int screenWidth = 800;
    int viewWidth = 0, viewHeight = 0;
    double focal = 1.0;
    Texture wall[4], floor, ceiling;
    G3dPlacePicture pictures = nullptr;
    char configIni[256];
    // Per-column ray tables for the current view width.
    double* rayCos = nullptr;  // cos a
    double* raySin = nullptr;  // sin a (positive to the right)
    Column* columns = nullptr;
    int tableWidth = 0;
    // Target point.
    int targetX = -1, targetY = -1;
    int targetPlace = -1, targetOnPicture = 0;
    int reportedPlace = -2, reportedOnPicture = 0;
};

Scene g_scene;

void camera_space() {
    const double c = std::cos(g_scene.camera.heading * DEG), s = std::sin(g_scene.camera.heading * DEG);
    for (int i = 0; i < G3D_POINTS; i++) {
        const double dx = POINTS[i][0] - g_scene.camera.x, dy = POINTS[i][1] - g_scene.camera.y;
        g_scene.camPoints[i][0] = dx * c + dy * s;
        g_scene.camPoints[i][1] = -dx * s + dy * c;
    }
}

void build_walls() {
    for (int i = 0; i < G3D_WALLS; i++) {
        G3dWall& w = g_scene.walls[i];
        w.first = i;
        w.second = (i + 1) % G3D_POINTS;
        w.slot = 2 * i;
        w.backSlot = 0;
        w.group = wall_group(i);
        w.length =
            std::hypot(POINTS[w.second][0] - POINTS[w.first][0], POINTS[w.second][1] - POINTS[w.first][1]);
    }
}

void free_texture(Texture* t) {
    io_mem_free(t->texels);
    *t = Texture{};
}

// Texels of a 24-bit view, by rows or (transposed) by columns.
Texture texture_of(const ImageView& v, bool byColumns) {
    Texture t;
    t.width = v.width;
    t.height = v.height;
    t.texels = (uint32_t*)io_mem_alloc((size_t)v.width * v.height * sizeof(uint32_t));
    for (int y = 0; y < v.height; y++) {
        const uint8_t* p = v.pixels + (ptrdiff_t)y * v.pitch;
        for (int x = 0; x < v.width; x++, p += 3) {
            const uint32_t texel = p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
            t.texels[byColumns ? (size_t)x * v.height + y : (size_t)y * v.width + x] = texel;
        }
    }
    return t;
}

// A plain texture for a picture the pack lacks, so the view still draws.
Texture flat_texture(uint32_t colour, int height, bool byColumns) {
    Image* im = img_create(TEX, height, IMG_24BIT);
    img_fill(im, colour);
    ImageView v;
    img_view(&v, im, 0, 0);
    Texture t = texture_of(v, byColumns);
    io_mem_free(im);
    return t;
}

// The pack picture at TEX pixels wide (and TEX high unless keepHeight), as a new 24-bit image;
// null when the pack lacks it.
Image* load_picture(const char* name, bool keepHeight) {
    const int previous = cache_set_fatal_if_missing(0);
    const int index = cache_register_picture(name);
    cache_set_fatal_if_missing(previous);
    if (index < 0) return nullptr;
    const Image* src = (const Image*)cache_lock(index);
    Image* out = nullptr;
    if (src && src->kind == IMG_24BIT && src->width > 0 && src->height > 0) {
        const int h = keepHeight ? src->height : TEX;
        out = img_create(TEX, h, IMG_24BIT);
        if (src->width == TEX && src->height == h)
            img_blit(out, 0, 0, src);
        else
            img_resample_images(out, src, 1);
    }
    cache_unlock(index);
    return out;
}

int load_textures(const char* skinIni) {
    int ok = 1;
    for (Texture& t : g_scene.wall)
        free_texture(&t);
    free_texture(&g_scene.floor);
    free_texture(&g_scene.ceiling);

    Image* wall = load_picture("img/gallery/wall.jpg", true);
    if (wall) {
        ImageView src;
        img_view(&src, wall, 0, 0);
        Image* tinted = img_create(wall->width, wall->height, IMG_24BIT);
        for (int g = 0; g < 4; g++) {
            char key[16];
            std::snprintf(key, sizeof key, "Texture%i", g);
            int hue = 0, saturation = 0, brightness = 0;
            // "hue saturation brightness"; the reader swaps the second and third values.
            if (!io_ini_read_triple(skinIni, "GALLERY", key, &hue, &brightness, &saturation)) {
                io_log("g3dscene_init: %s not found in [GALLERY] in INI file\n", key);
                g_scene.wall[g] = texture_of(src, true);
                continue;
            }
            ImageView dst;
            img_view(&dst, tinted, 0, 0);
            img_colourise(&dst, &src, hue, brightness, saturation);
            const int band = wall->height < 2 * BAND ? wall->height : BAND;
            img_blit_part(tinted, 0, 0, wall, 0, 0, wall->width, band);
            img_blit_part(tinted, 0, wall->height - band, wall, 0, wall->height - band, wall->width, band);
            g_scene.wall[g] = texture_of(dst, true);
        }
        io_mem_free(tinted);
        io_mem_free(wall);
    } else {
        ok = 0;
        for (Texture& t : g_scene.wall)
            t = flat_texture(0x00B8B0A0, TEX, true);
    }

    struct {
        const char* name;
        Texture* texture;
        uint32_t fallback;
    } const flats[] = {{"img/gallery/floor.jpg", &g_scene.floor, 0x00584838},
                       {"img/gallery/ceiling.jpg", &g_scene.ceiling, 0x00E8E4DC}};
    for (const auto& f : flats) {
        Image* im = load_picture(f.name, false);
        if (!im) {
            ok = 0;
            *f.texture = flat_texture(f.fallback, TEX, false);
            continue;
        }
        ImageView v;
        img_view(&v, im, 0, 0);
        *f.texture = texture_of(v, false);
        io_mem_free(im);
    }
    return ok;
}

int clamp_zoom(int zoom) { return zoom < 0 ? 0 : zoom > G3D_ZOOM_MAX ? G3D_ZOOM_MAX : zoom; }

void size_view() {
    g_scene.viewWidth = g3d_view_width(g_scene.screenWidth, g_scene.zoom);
    g_scene.viewHeight = g_scene.viewWidth / 2;
    g_scene.focal = g3d_focal_length(g_scene.viewWidth);
    const int w = g_scene.viewWidth;
    if (g_scene.tableWidth != w) {
        io_mem_free(g_scene.rayCos);
        io_mem_free(g_scene.raySin);
        io_mem_free(g_scene.columns);
        g_scene.rayCos = (double*)io_mem_alloc(sizeof(double) * w);
        g_scene.raySin = (double*)io_mem_alloc(sizeof(double) * w);
        g_scene.columns = (Column*)io_mem_alloc(sizeof(Column) * w);
        g_scene.tableWidth = w;
    }
    for (int c = 0; c < w; c++) {
        const double a = std::atan(((c - w / 2) + 0.5) / g_scene.focal);
        g_scene.rayCos[c] = std::cos(a);
        g_scene.raySin[c] = std::sin(a);
    }
}

double fold_angle(double a) {  // any angle in degrees to 0..180
    a = std::fmod(std::fabs(a), 360.0);
    return a > 180.0 ? 360.0 - a : a;
}

// Nearest wall to a point, and its distance.
int nearest_wall(double x, double y, double* distance) {
    int best = 0;
    double bestDistance = NO_HIT;
    for (int i = 0; i < G3D_WALLS; i++) {
        const double d = g3d_wall_distance(g_scene.walls[i], x, y);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    *distance = bestDistance;
    return best;
}

// One ray per column against every wall that is not wholly behind the camera.
int cast_columns() {
    const int w = g_scene.viewWidth;
    const double f = g_scene.focal;
    int smallest = 1 << 30;
    for (int c = 0; c < w; c++) {
        // Direction in camera space: forward cos a, sideways (left positive) -sin a.
        const double dx = g_scene.rayCos[c], dy = -g_scene.raySin[c];
        double nearest = NO_HIT, hitT = 0.0;
        int hitWall = -1;
        for (int i = 0; i < G3D_WALLS; i++) {
            const G3dWall& wall = g_scene.walls[i];
            const double* p1 = g_scene.camPoints[wall.first];
            const double* p2 = g_scene.camPoints[wall.second];
            if (p1[0] < 0.0 && p2[0] < 0.0) continue;
            const double ex = p2[0] - p1[0], ey = p2[1] - p1[1];
            const double denom = dx * ey - dy * ex;
            if (denom == 0.0) continue;
            const double s = (p1[0] * ey - p1[1] * ex) / denom;
            const double t = (p1[0] * dy - p1[1] * dx) / denom;
            if (t < 0.0 || t > 1.0 || s < 0.01 || s >= nearest) continue;
            nearest = s;
            hitT = t;
            hitWall = i;
        }
        Column& col = g_scene.columns[c];
        if (hitWall < 0) {
            col = Column{0, 0, -1, 0, -1};
            smallest = 0;
            continue;
        }
        const G3dWall& wall = g_scene.walls[hitWall];
        const double u = hitT * wall.length;
        int height = (int)(f * WALL_HEIGHT / (nearest * g_scene.rayCos[c]) + 0.5);
        height &= ~1;
        col.height = height;
        // The side of the wall the camera is on picks the slot run: the camera is the origin.
        const double* p1 = g_scene.camPoints[wall.first];
        const double* p2 = g_scene.camPoints[wall.second];
        const double side = (p2[0] - p1[0]) * (-p1[1]) - (p2[1] - p1[1]) * (-p1[0]);
        // Places count from the wall's first point; from the side where that point lies on the
        // viewer's right (side >= 0) the distance runs right to left across the view, so the
        // picture's and the texture's columns are taken mirrored to read left to right.
        const bool leftwards = side >= 0.0;
        const int texel = (int)(u * 4.0) & (TEX - 1);
        col.texel = leftwards ? TEX - 1 - texel : texel;
        col.group = wall.group;
        col.place = (side >= 0.0 ? wall.slot : wall.backSlot) + (int)std::floor(u / PLACE_UNITS);
        col.picColumn = -1;
        if (g_scene.pictures && col.place >= 0 && col.place < G3D_PLACES) {
            const Image* pic = g_scene.pictures(col.place);
            if (pic && pic->kind == IMG_24BIT) {
                int pc = (int)(std::fmod(u, (double)PLACE_UNITS) * 4.0) - (TEX - pic->width) / 2;
                if (leftwards) pc = pic->width - 1 - pc;
                if (pc >= 0 && pc < pic->width) col.picColumn = pc;
            }
        }
        if (height < smallest) smallest = height;
    }
    return smallest;
}

// Picture rows drawn in a column of the given height: [*top, *top + *rows).
void picture_rows(const Image* pic, int height, int horizon, int* top, int* rows) {
    *rows = (int)((int64_t)height * pic->height / TEX);
    *top = horizon - *rows / 2;
}

void update_target() {
    const int w = g_scene.viewWidth, h = g_scene.viewHeight;
    int x = g_scene.targetX, y = g_scene.targetY;
    if (g_scene.mouseLook || x < 0 || y < 0 || x >= w || y >= h) {
        x = w / 2;
        y = h / 2;
    }
    int place = -1, onPicture = 0;
    const Column& col = g_scene.columns[x];
    const int horizon = h / 2;
    if (col.height > 0 && y >= horizon - col.height / 2 && y < horizon + col.height / 2 && col.place >= 0 &&
        col.place < G3D_PLACES) {
        place = col.place;
        if (col.picColumn >= 0) {
            const Image* pic = g_scene.pictures(place);
            int top, rows;
            picture_rows(pic, col.height, horizon, &top, &rows);
            onPicture = y >= top && y < top + rows;
        }
    }
    g_scene.targetPlace = place;
    g_scene.targetOnPicture = onPicture;
}

inline void put_texel(uint8_t* d, uint32_t t) {
    d[0] = (uint8_t)t;
    d[1] = (uint8_t)(t >> 8);
    d[2] = (uint8_t)(t >> 16);
}

void draw_wall_column(const ImageView* view, int c, int y0, int y1) {
    const Column& col = g_scene.columns[c];
    if (col.height <= 0) return;
    const int horizon = g_scene.viewHeight / 2;
    const int top = horizon - col.height / 2;
    const int from = top > y0 ? top : y0;
    const int to = top + col.height < y1 ? top + col.height : y1;
    if (from >= to) return;
    const Texture& tex = g_scene.wall[col.group];
    const uint32_t* run = tex.texels + (size_t)col.texel * tex.height;
    const uint32_t step = (uint32_t)(((int64_t)tex.height << 16) / col.height);
    const ptrdiff_t pitch = view->pitch;
    uint8_t* d = view->pixels + (ptrdiff_t)from * pitch + (ptrdiff_t)c * 3;

    int picTop = to, picEnd = to;
    const uint8_t* picColumn = nullptr;
    uint32_t picStep = 0;
    int picPitch = 0;
    if (col.picColumn >= 0) {
        const Image* pic = g_scene.pictures(col.place);
        int rows;
        picture_rows(pic, col.height, horizon, &picTop, &rows);
        picEnd = picTop + rows;
        if (rows > 0) {
            uint8_t* pixels;
            int pw, ph;
            img_pixels(pic, &pixels, &picPitch, &pw, &ph);
            picColumn = pixels + (ptrdiff_t)col.picColumn * 3;
            picStep = (uint32_t)(((int64_t)ph << 16) / rows);
        } else {
            picTop = picEnd = to;
        }
    }
    for (int y = from; y < to; y++, d += pitch) {
        if (picColumn && y >= picTop && y < picEnd) {
            const uint8_t* s = picColumn + (ptrdiff_t)((uint32_t)(y - picTop) * picStep >> 16) * picPitch;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            continue;
        }
        put_texel(d, run[(uint32_t)(y - top) * step >> 16]);
    }
}

// Floor and ceiling rows for row offsets r: two edge rays meet the floor at distance D, and the
// texture walks linearly between the two points.
void draw_spans(const ImageView* view, int smallest, int x0, int x1, int y0, int y1) {
    const int w = g_scene.viewWidth, h = g_scene.viewHeight, horizon = h / 2;
    const double heading = g_scene.camera.heading * DEG, half = G3D_FOV_DEGREES / 2 * DEG;
    const double edge = g_scene.focal / std::cos(half);
    const double lx = std::cos(heading + half), ly = std::sin(heading + half);
    const double rx = std::cos(heading - half), ry = std::sin(heading - half);
    const Column* cols = g_scene.columns;
    for (int r = smallest / 2; r < h / 2; r++) {
        const int floorRow = horizon + r, ceilingRow = horizon - r - 1;
        const bool floorIn = floorRow >= y0 && floorRow < y1, ceilingIn = ceilingRow >= y0 && ceilingRow < y1;
        if (!floorIn && !ceilingIn) continue;
        const double dist = edge * WALL_HEIGHT / (2 * r + 1);
        const double ux = g_scene.camera.x + dist * lx, vy = -(g_scene.camera.y + dist * ly);
        const double ux1 = g_scene.camera.x + dist * rx, vy1 = -(g_scene.camera.y + dist * ry);
        const int32_t du = (int32_t)std::lround((ux1 - ux) * 65536.0 / w);
        const int32_t dv = (int32_t)std::lround((vy1 - vy) * 65536.0 / w);
        // Start reduced to one texture period so the 16.16 values stay small; wraps are harmless.
        uint32_t u = (uint32_t)(int64_t)std::floor((ux - 256.0 * std::floor(ux / 256.0)) * 65536.0);
        uint32_t v = (uint32_t)(int64_t)std::floor((vy - 256.0 * std::floor(vy / 256.0)) * 65536.0);
        u += (uint32_t)du * (uint32_t)x0;
        v += (uint32_t)dv * (uint32_t)x0;
        uint8_t* fd = view->pixels + (ptrdiff_t)floorRow * view->pitch + (ptrdiff_t)x0 * 3;
        uint8_t* cd = view->pixels + (ptrdiff_t)ceilingRow * view->pitch + (ptrdiff_t)x0 * 3;
        const uint32_t* ft = g_scene.floor.texels;
        const uint32_t* ct = g_scene.ceiling.texels;
        const int limit = 2 * r;
        for (int c = x0; c < x1; c++, fd += 3, cd += 3, u += (uint32_t)du, v += (uint32_t)dv) {
            if (cols[c].height > limit) continue;
            const uint32_t texel = ((v >> 16) & 255) * TEX + ((u >> 16) & 255);
            if (floorIn) put_texel(fd, ft[texel]);
            if (ceilingIn) put_texel(cd, ct[texel]);
        }
    }
}

}  // namespace

int g3dscene_init(const char* skinIni, const char* configIni, int screenWidth, int screenHeight) {
    (void)screenHeight;
    build_walls();
    std::snprintf(g_scene.configIni, sizeof g_scene.configIni, "%s", configIni);
    g_scene.screenWidth = screenWidth;
    int zoom = G3D_ZOOM_DEFAULT;
    io_ini_read_int(configIni, SECTION, "ViewIZoom", &zoom);
    g_scene.zoom = clamp_zoom(zoom);
    size_view();
    g3dscene_set_camera(128.0, 31.0, 90);
    g3dscene_reset();
    return load_textures(skinIni);
}

void g3dscene_done() {
    for (Texture& t : g_scene.wall)
        free_texture(&t);
    free_texture(&g_scene.floor);
    free_texture(&g_scene.ceiling);
    io_mem_free(g_scene.rayCos);
    io_mem_free(g_scene.raySin);
    io_mem_free(g_scene.columns);
    g_scene.rayCos = g_scene.raySin = nullptr;
    g_scene.columns = nullptr;
    g_scene.tableWidth = 0;
    if (g_scene.configIni[0]) io_ini_write_int(g_scene.configIni, SECTION, "ViewIZoom", g_scene.zoom);
}

void g3dscene_set_pictures(G3dPlacePicture pictures) { g_scene.pictures = pictures; }

void g3dscene_reset() {
    g_scene.camera.turnSpeed = g_scene.camera.walkSpeed = 0.0;
    std::memset(g_scene.keys, 0, sizeof g_scene.keys);
    g_scene.mouseLook = 0;
    g_scene.reportedPlace = -2;  // the next question reports the target afresh
}

int g3d_view_width(int screenWidth, int zoom) {
    zoom = clamp_zoom(zoom);
    const int w = ((((screenWidth - 186) * zoom) / 4 + 146) | 3) + 1;
    return w > G3D_VIEW_MAX ? G3D_VIEW_MAX : w;
}

void g3dscene_set_zoom(int zoom) {
    g_scene.zoom = clamp_zoom(zoom);
    size_view();
}

int g3dscene_zoom() { return g_scene.zoom; }

void g3dscene_set_screen_width(int screenWidth) {
    g_scene.screenWidth = screenWidth;
    size_view();
}

void g3dscene_view_size(int* width, int* height) {
    *width = g_scene.viewWidth;
    *height = g_scene.viewHeight;
}

double g3d_focal_length(int viewWidth) { return (viewWidth / 2.0) / std::tan(G3D_FOV_DEGREES / 2 * DEG); }

void g3dscene_render(ImageView* view, int clipX, int clipY, int clipWidth, int clipHeight) {
    if (g_scene.tableWidth != g_scene.viewWidth) size_view();
    if (!g_scene.floor.texels) {  // never initialised (tests, benchmarks): plain textures
        for (Texture& t : g_scene.wall)
            t = flat_texture(0x00B8B0A0, TEX, true);
        g_scene.floor = flat_texture(0x00584838, TEX, false);
        g_scene.ceiling = flat_texture(0x00E8E4DC, TEX, false);
    }
    const int w = g_scene.viewWidth, h = g_scene.viewHeight;
    const int x0 = clipX < 0 ? 0 : clipX, y0 = clipY < 0 ? 0 : clipY;
    int x1 = clipX + clipWidth, y1 = clipY + clipHeight;
    if (x1 > w) x1 = w;
    if (y1 > h) y1 = h;
    if (x1 > view->width) x1 = view->width;
    if (y1 > view->height) y1 = view->height;
    camera_space();
    const int smallest = cast_columns();
    update_target();
    if (view->kind != IMG_24BIT || x0 >= x1 || y0 >= y1) return;
    for (int c = x0; c < x1; c++)
        draw_wall_column(view, c, y0, y1);
    draw_spans(view, smallest, x0, x1, y0, y1);
}

void g3dscene_key(int key, int down) {
    if (key >= 0 && key < 4) g_scene.keys[key] = down ? 1 : 0;
}

namespace {

double next_speed(double speed, int plus, int minus) {
    if (plus != minus)
        speed += plus ? 1.0 : -1.0;
    else
        speed /= 2.0;
    return speed < -10.0 ? -10.0 : speed > 10.0 ? 10.0 : speed;
}

}  // namespace

int g3dscene_tick() {
    G3dCamera& cam = g_scene.camera;
    cam.turnSpeed = next_speed(cam.turnSpeed, g_scene.keys[0], g_scene.keys[1]);
    cam.walkSpeed = next_speed(cam.walkSpeed, g_scene.keys[2], g_scene.keys[3]);
    const int turn = (int)cam.turnSpeed, walk = (int)cam.walkSpeed;
    if (turn == 0 && walk == 0) return 0;
    g3dscene_move(turn, walk);
    return 1;
}

void g3dscene_move(int turn, double distance) {
    G3dCamera& cam = g_scene.camera;
    cam.heading = ((cam.heading + turn) % 360 + 3600) % 360;
    double direction = cam.heading, factor = 1.0;
    const double sign = distance < 0.0 ? -1.0 : 1.0;
    double left = std::fabs(distance);
    while (left > 0.0) {
        const double step = left < 1.0 ? left : 1.0;
        left -= step;
        const double nx = cam.x + std::cos(direction * DEG) * step * sign * factor;
        const double ny = cam.y + std::sin(direction * DEG) * step * sign * factor;
        double nearest;
        const int wall = nearest_wall(nx, ny, &nearest);
        if (nearest >= COLLISION) {
            cam.x = nx;
            cam.y = ny;
            direction = cam.heading;
            factor = 1.0;
            continue;
        }
        const G3dWall& w = g_scene.walls[wall];
        direction =
            std::atan2(POINTS[w.second][1] - POINTS[w.first][1], POINTS[w.second][0] - POINTS[w.first][0]) /
            DEG;
        double difference = fold_angle(direction - cam.heading);
        if (difference > 90.0) {
            direction += 180.0;
            difference = fold_angle(direction - cam.heading);
        }
        factor = (90.0 - difference) / 45.0;
    }
    camera_space();
}

const G3dCamera* g3dscene_camera() { return &g_scene.camera; }

void g3dscene_set_camera(double x, double y, int heading) {
    if (g_scene.walls[0].length == 0.0) build_walls();
    g_scene.camera.x = x;
    g_scene.camera.y = y;
    g_scene.camera.heading = ((heading % 360) + 360) % 360;
    camera_space();
}

const G3dWall* g3d_walls() {
    if (g_scene.walls[0].length == 0.0) build_walls();
    return g_scene.walls;
}

double g3d_wall_distance(const G3dWall& wall, double x, double y) {
    const double ax = POINTS[wall.first][0], ay = POINTS[wall.first][1];
    const double ex = POINTS[wall.second][0] - ax, ey = POINTS[wall.second][1] - ay;
    const double px = x - ax, py = y - ay;
    const double len2 = ex * ex + ey * ey;
    const double t = len2 > 0.0 ? (px * ex + py * ey) / len2 : 0.0;
    if (t <= 0.0) return std::hypot(px, py);
    if (t >= 1.0) return std::hypot(x - POINTS[wall.second][0], y - POINTS[wall.second][1]);
    return std::fabs(px * ey - py * ex) / std::sqrt(len2);
}

void g3dscene_set_target_point(int x, int y) {
    g_scene.targetX = x;
    g_scene.targetY = y;
}

int g3dscene_target(int* place, int* onPicture) {
    *place = g_scene.targetPlace;
    *onPicture = g_scene.targetOnPicture;
    const int changed =
        g_scene.targetPlace != g_scene.reportedPlace || g_scene.targetOnPicture != g_scene.reportedOnPicture;
    g_scene.reportedPlace = g_scene.targetPlace;
    g_scene.reportedOnPicture = g_scene.targetOnPicture;
    return changed;
}

void g3dscene_mouse_look(int on) { g_scene.mouseLook = on ? 1 : 0; }

int g3dscene_mouse_looking() { return g_scene.mouseLook; }

int g3dscene_mouse_look_move(int x, int y) {
    if (!g_scene.mouseLook) return 0;
    const int turn = (g_scene.viewWidth / 2 - x) / 2, distance = g_scene.viewHeight / 2 - y;
    if (turn == 0 && distance == 0) return 0;
    g3dscene_move(turn, distance);
    return 1;
}
