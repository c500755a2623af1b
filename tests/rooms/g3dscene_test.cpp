// tests/rooms/g3dscene_test.cpp -- the gallery view: view sizes, rays and the nearest wall,
// walking into walls, the turn speed running down, and what the target point lands on.
#include "rooms/g3dscene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "image/img.h"
#include "platform/io_mem.h"

namespace {

Image* g_picture = nullptr;
const Image* every_place(int) { return g_picture; }

// Renders the view at zoom 0 (148 x 74) from a camera and reports the target at (x, y).
struct Target {
    int place, onPicture;
    bool operator==(const Target&) const = default;
};
Target target_at(double cx, double cy, int heading, int x, int y) {
    g3dscene_set_zoom(0);
    g3dscene_set_camera(cx, cy, heading);
    int w, h;
    g3dscene_view_size(&w, &h);
    Image* frame = img_create(w, h, IMG_24BIT);
    ImageView view;
    img_view(&view, frame, 0, 0);
    g3dscene_set_target_point(x, y);
    g3dscene_render(&view, 0, 0, w, h);
    io_mem_free(frame);
    Target t;
    g3dscene_target(&t.place, &t.onPicture);
    return t;
}

TEST(g3dscene, view_sizes_for_every_zoom_and_the_focal_length) {
    const int small[] = {148, 300, 456, 608, 764}, large[] = {148, 580, 1016, 1448, 1884};
    for (int z = 0; z <= G3D_ZOOM_MAX; z++) {
        EXPECT_EQ(g3d_view_width(800, z), small[z]) << z;
        EXPECT_EQ(g3d_view_width(1920, z), large[z]) << z;
        EXPECT_EQ(g3d_view_width(1920, z) % 4, 0);
    }
    EXPECT_EQ(g3d_view_width(5000, 4), G3D_VIEW_MAX);
    EXPECT_EQ(g3d_view_width(1920, 9), 1884);  // zoom clamped
    g3dscene_set_zoom(-3);
    EXPECT_EQ(g3dscene_zoom(), 0);
    int w, h;
    g3dscene_view_size(&w, &h);
    EXPECT_EQ(w, 148);
    EXPECT_EQ(h, 74);
    // Half the width covers 40 degrees.
    EXPECT_NEAR(g3d_focal_length(148), 74 / std::tan(40 * M_PI / 180), 1e-9);
    EXPECT_NEAR(g3d_focal_length(1016) / g3d_focal_length(148), 1016.0 / 148.0, 1e-12);
}

TEST(g3dscene, rays_hit_the_nearest_wall_on_the_side_they_see) {
    g3dscene_set_pictures(nullptr);
    // Inside, 30 units from the first wall: its column fills the view; the centre column lies
    // right of the wall's middle (heading 270 has -x on its right), so it shows place 0.
    EXPECT_EQ(target_at(128, 31, 270, 74, 37).place, 0);
    EXPECT_EQ(target_at(128, 31, 270, 73, 37).place, 1);
    EXPECT_EQ(target_at(128, 31, 270, 74, 0).place, 0);
    // Outside beyond the far wall (slots 18, 19): the ray crosses it 356 units away and the
    // first wall 799 away. The near one wins (16 rows high, not 6) and shows its other side.
    EXPECT_EQ(target_at(128, 800, 270, 74, 30).place, 1);
    EXPECT_EQ(target_at(128, 800, 270, 74, 28).place, -1);
    EXPECT_EQ(target_at(128, 800, 270, 74, 44).place, 1);
    EXPECT_EQ(target_at(128, 800, 270, 74, 45).place, -1);
    // Wall distance: the perpendicular foot inside the segment, the nearer end outside it.
    const G3dWall& first = g3d_walls()[0];  // (64, 1) to (192, 1)
    EXPECT_DOUBLE_EQ(first.length, 128.0);
    EXPECT_DOUBLE_EQ(g3d_wall_distance(first, 100, 31), 30.0);
    EXPECT_DOUBLE_EQ(g3d_wall_distance(first, 195, 5), 5.0);
}

TEST(g3dscene, rendering_writes_only_inside_the_clip_rectangle) {
    g3dscene_set_zoom(0);
    g3dscene_set_camera(128, 200, 270);
    Image* frame = img_create(148, 74, IMG_24BIT);
    img_fill(frame, 0x00FF00FF);
    ImageView view;
    img_view(&view, frame, 0, 0);
    g3dscene_render(&view, 10, 30, 20, 12);  // wall, floor and ceiling rows inside
    int changed = 0;
    for (int y = 0; y < 74; y++)
        for (int x = 0; x < 148; x++) {
            const uint8_t* p = view.pixels + (ptrdiff_t)y * view.pitch + x * 3;
            const bool magenta = p[0] == 0xFF && p[1] == 0 && p[2] == 0xFF;
            const bool inside = x >= 10 && x < 30 && y >= 30 && y < 42;
            if (!inside) {
                ASSERT_TRUE(magenta) << x << "," << y;
            }
            changed += !magenta;
        }
    EXPECT_EQ(changed, 20 * 12);
    io_mem_free(frame);
}

TEST(g3dscene, walking_stops_short_of_walls_and_slides_along_them) {
    g3dscene_reset();
    // Straight at the wall: stops 10 units short and the slide has no speed.
    g3dscene_set_camera(128, 31, 270);
    g3dscene_move(0, 40);
    const G3dCamera* cam = g3dscene_camera();
    EXPECT_NEAR(cam->y, 11.0, 1e-9);
    EXPECT_NEAR(cam->x, 128.0, 1e-9);
    // A turn on the spot changes only the heading.
    g3dscene_move(-100, 0);
    EXPECT_EQ(cam->heading, 170);
    EXPECT_NEAR(cam->y, 11.0, 1e-9);
    // At 45 degrees: reaches the wall, then keeps going along it.
    g3dscene_set_camera(150, 31, 225);
    g3dscene_move(0, 60);
    EXPECT_GE(g3d_wall_distance(g3d_walls()[0], cam->x, cam->y), 10.0);
    EXPECT_LT(cam->y, 11.5);
    EXPECT_LT(cam->x, 150 - 20 - 10);
    // Backwards into the wall behind.
    g3dscene_set_camera(128, 31, 90);
    g3dscene_move(0, -50);
    EXPECT_NEAR(cam->y, 11.0, 1e-9);
    // Mouse look: the pointer's offset from the view centre turns and walks.
    g3dscene_set_zoom(0);  // centre (74, 37)
    g3dscene_set_camera(128, 100, 90);
    EXPECT_EQ(g3dscene_mouse_look_move(64, 34), 0);  // not in mouse look
    g3dscene_mouse_look(1);
    EXPECT_EQ(g3dscene_mouse_look_move(64, 34), 1);
    EXPECT_EQ(cam->heading, 95);
    EXPECT_NEAR(cam->x, 128 + 3 * std::cos(95 * M_PI / 180), 1e-9);
    EXPECT_NEAR(cam->y, 100 + 3 * std::sin(95 * M_PI / 180), 1e-9);
    g3dscene_mouse_look(0);
}

TEST(g3dscene, turn_speed_builds_up_to_ten_and_falls_by_halves) {
    g3dscene_set_camera(128, 31, 90);
    g3dscene_reset();
    std::vector<int> turns;
    auto tick = [&] {
        const int before = g3dscene_camera()->heading;
        const int moved = g3dscene_tick();
        const int turn = (g3dscene_camera()->heading - before + 360) % 360;
        EXPECT_EQ(moved, turn != 0);
        turns.push_back(turn);
    };
    g3dscene_key(0, 1);
    for (int i = 0; i < 12; i++)
        tick();
    g3dscene_key(0, 0);
    for (int i = 0; i < 5; i++)
        tick();
    EXPECT_EQ(turns, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10, 10, 5, 2, 1, 0, 0}));
    EXPECT_DOUBLE_EQ(g3dscene_camera()->x, 128.0);  // no walking
    // Both turn keys held cancel out like none.
    g3dscene_key(0, 1);
    g3dscene_key(1, 1);
    EXPECT_EQ(g3dscene_tick(), 0);
    g3dscene_reset();
}

TEST(g3dscene, target_point_on_a_picture_beside_it_and_on_the_floor) {
    g_picture = img_create(248, 186, IMG_24BIT);
    g3dscene_set_pictures(every_place);
    g3dscene_mouse_look(0);
    // 199 units from the first wall: a column of 28 rows (23..50), pictures 20 rows high
    // (27..46); column 64 looks left of the middle, at place 1.
    EXPECT_EQ(target_at(128, 200, 270, 64, 37), (Target{1, 1}));
    EXPECT_EQ(target_at(128, 200, 270, 64, 24), (Target{1, 0}));  // above the picture, on the wall
    // 30 units away the centre column falls in the gap between the pictures of places 0 and 1.
    EXPECT_EQ(target_at(128, 31, 270, 74, 37), (Target{0, 0}));
    EXPECT_EQ(target_at(128, 31, 270, 68, 37).onPicture, 1);
    EXPECT_EQ(target_at(128, 200, 270, 64, 70), (Target{-1, 0}));  // the floor
    // Asking again without a change reports no change.
    int place, on;
    EXPECT_EQ(g3dscene_target(&place, &on), 0);
    // Mouse look aims at the centre whatever the pointer says; so does a pointer off the view.
    g3dscene_mouse_look(1);
    EXPECT_EQ(target_at(128, 200, 270, 64, 70).place, 0);
    g3dscene_reset();
    EXPECT_EQ(g3dscene_mouse_looking(), 0);
    EXPECT_EQ(target_at(128, 200, 270, -5, 37).place, 0);
    g3dscene_set_pictures(nullptr);
    io_mem_free(g_picture);
    g_picture = nullptr;
}

// The middle row of the view at zoom 4 from a camera, as one letter a column: r and b for the
// picture's two halves, . for anything else.
std::string middle_row(double cx, double cy, int heading) {
    g3dscene_set_zoom(G3D_ZOOM_MAX);
    g3dscene_set_camera(cx, cy, heading);
    int w, h;
    g3dscene_view_size(&w, &h);
    Image* frame = img_create(w, h, IMG_24BIT);
    ImageView view;
    img_view(&view, frame, 0, 0);
    g3dscene_render(&view, 0, 0, w, h);
    std::string row;
    for (int x = 0; x < w; x++) {
        const uint8_t* p = view.pixels + (ptrdiff_t)(h / 2) * view.pitch + x * 3;
        row += p[2] == 0xFF && p[0] == 0 ? 'r' : p[0] == 0xFF && p[2] == 0 ? 'b' : '.';
    }
    io_mem_free(frame);
    return row;
}

TEST(g3dscene, pictures_read_left_to_right_from_either_side_of_a_wall) {
    // A picture red on its left half and blue on its right, hung on every place.
    g_picture = img_create(200, 100, IMG_24BIT);
    img_fill(g_picture, 0x000000FF);
    img_fill_rect(g_picture, 0x00FF0000, 0, 0, 100, 100);
    g3dscene_set_pictures(every_place);
    // The first wall runs from (64, 1) to (192, 1): from inside the room (looking towards -y) its
    // first point is on the viewer's right, from outside (looking towards +y) on the left. Either
    // way both of its pictures show red left of blue, with wall between them.
    for (int heading : {270, 90}) {
        const std::string row = heading == 270 ? middle_row(128, 60, 270) : middle_row(128, -40, 90);
        SCOPED_TRACE(row);
        EXPECT_EQ(row.find("br"), std::string::npos);
        EXPECT_NE(row.find("rb"), std::string::npos);
        const size_t first = row.find_first_not_of('.'), last = row.find_last_not_of('.');
        ASSERT_NE(first, std::string::npos);
        EXPECT_EQ(row[first], 'r');
        EXPECT_EQ(row[last], 'b');
        EXPECT_NE(row.find("b.", first), std::string::npos) << "two pictures, wall between them";
    }
    g3dscene_set_pictures(nullptr);
    io_mem_free(g_picture);
    g_picture = nullptr;
}

}  // namespace
