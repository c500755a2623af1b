// The window manager driven with synthetic kernel events on a screen without video: routing and
// WE_OUTSIDE, focus, title drag, captures, roll up, placements and the posted-event ring.
// Not yet written: painting order and clip rectangles against a real frame.
#include "gui/window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gui/io_dialog.h"
#include "platform/io_file.h"
#include "platform/io_ini.h"
#include "platform/screen.h"
#include "support/fatal_trap.h"
#include "support/files.h"

namespace {

struct Seen {
    int window, type, a, b, c;
    bool operator==(const Seen&) const = default;
};
std::vector<Seen> g_seen;
int g_consume[WINDOW_MAX];  // what each window's handler answers
WindowBand g_band;          // the last band a band event carried

int record(int window, KernelEvent* e) {
    if (e->type == WE_BANDMOVE || e->type == WE_BANDEND) g_band = *(WindowBand*)e->c;
    int c = (int)e->c;
    if (e->type == WE_CAPTUREMOVE) c = ((int*)e->c)[0] * 1000 + ((int*)e->c)[1];
    if (e->type == WE_BANDMOVE || e->type == WE_BANDEND) c = 0;
    g_seen.push_back({window, e->type, (int)e->a, (int)e->b, c});
    return g_consume[window];
}

// The nested loop of a modal: looks at the modal state, then ends the modal.
int g_modal_seen;
std::string g_nested_fatal;
int run_modal(const int* done) {
    g_modal_seen = window_modal();
    g_nested_fatal = fatal_message_of([] { window_focus_modal(g_modal_seen, nullptr); });
    window_end_modal(7, 0);
    return *done;
}

struct Wm : ::testing::Test {
    void SetUp() override {
        screen_set_size_for_tests(800, 600);
        window_init();
        g_seen.clear();
        std::fill(std::begin(g_consume), std::end(g_consume), 0);
        room = window_register(-1, TW_SCREEN, 5, 5, 1, 1, record, nullptr);
        window_focus(room);
    }
    void TearDown() override { window_done(); }
    std::vector<Seen> send(int type, int a, int b = 0, int c = 0) {
        g_seen.clear();
        KernelEvent e{type, a, b, c};
        window_dispatch(&e);
        return g_seen;
    }
    int child(int parent, int style, int x, int y, int w, int h) {
        return window_register(parent, TW_CHILD | style, x, y, w, h, record, nullptr);
    }
    int room = -1;
};

TEST_F(Wm, overlap_outside_nocatch_and_floating_focus) {
    const int lower = child(room, TW_OUTSIDE, 100, 100, 100, 50);
    const int upper = child(room, 0, 150, 120, 100, 50);
    // The top-most takes the press in the overlap; the lower one only hears WE_OUTSIDE.
    EXPECT_EQ(send(KE_MOUSEDOWN, 160, 130, 1),
              (std::vector<Seen>{{upper, KE_MOUSEDOWN, 10, 10, 1}, {lower, WE_OUTSIDE, 160, 130, 1}}));
    EXPECT_EQ(send(KE_MOUSEUP, 110, 110, 1), (std::vector<Seen>{{lower, KE_MOUSEUP, 10, 10, 1}}));
    g_consume[upper] = 1;
    EXPECT_EQ(send(KE_WHEEL, 160, 130, -2), (std::vector<Seen>{{upper, KE_WHEEL, 10, 10, -2}}));

    const int glass = child(room, TW_NOCATCH, 0, 0, 800, 600);  // sees everything, claims nothing
    g_consume[upper] = 0;
    EXPECT_EQ(send(KE_MOUSEMOVE, 110, 110),
              (std::vector<Seen>{{glass, KE_MOUSEMOVE, 110, 110, 0}, {lower, KE_MOUSEMOVE, 10, 10, 0}}));
    window_show(glass, 0);

    const int popup = window_register(-1, TW_POPUP, 300, 300, 100, 100, record, nullptr);
    window_focus(popup);
    EXPECT_EQ(send(KE_MOUSEDOWN, 110, 110, 1), std::vector<Seen>{});  // the room behind hears nothing
    EXPECT_EQ(send(KE_KEYDOWN, 'A'), (std::vector<Seen>{{popup, KE_KEYDOWN, 'A', 0, 0}}));
    window_drop_focus();
    EXPECT_EQ(send(KE_KEYDOWN, 'A').back(), (Seen{room, KE_KEYDOWN, 'A', 0, 0}));  // children first
}

TEST_F(Wm, title_drag_raise_and_roll_up_keep_the_right_edge) {
    const int a = child(room, TW_RAISE | TW_TITLE, 100, 100, 400, 200);
    const int b = child(room, TW_RAISE | TW_TITLE, 120, 150, 100, 100);
    EXPECT_TRUE(window_style(a) & TW_SHADOW);
    // y 118 is below the title bar: a plain press, which raises the window and is consumed.
    EXPECT_EQ(send(KE_MOUSEDOWN, 300, 118, 1), (std::vector<Seen>{{a, KE_MOUSEDOWN, 200, 18, 1}}));
    EXPECT_EQ(window_capture_kind(), 0);
    EXPECT_EQ(send(KE_MOUSEDOWN, 130, 160, 1),
              (std::vector<Seen>{{a, KE_MOUSEDOWN, 30, 60, 1}}));  // a is on top now
    (void)b;

    send(KE_MOUSEDOWN, 300, 117, 1);
    EXPECT_TRUE(window_is_moved(a));
    send(KE_MOUSEMOVE, 310, 127);
    send(KE_MOUSEMOVE, 305, 127);
    int x, y;
    window_screen_pos(a, &x, &y);
    EXPECT_EQ(x * 1000 + y, 105110);
    EXPECT_EQ(send(KE_TEXTINPUT, 'x'), std::vector<Seen>{});  // swallowed while captured
    send(KE_KEYDOWN, 'A');
    EXPECT_EQ(window_capture_kind(), 0);

    window_move(a, 100, 100);
    window_roll_up(a, 1);
    window_screen_pos(a, &x, &y);
    EXPECT_EQ(std::vector<int>({x, window_rolled_up(a), window_parent(a)}), std::vector<int>({100, 1, room}));
    // A rolled-up bar offers input only to its title buttons (none here): the room gets it.
    EXPECT_EQ(send(KE_MOUSEDOWN, 370, 105, 1), (std::vector<Seen>{{room, KE_MOUSEDOWN, 370, 105, 1}}));
    window_move(a, 50, 100);  // the unrolled position
    window_roll_up(a, 0);
    int w, h;
    window_size(a, &w, &h);
    window_screen_pos(a, &x, &y);
    EXPECT_EQ(std::vector<int>({x, w, h}), std::vector<int>({50, 400, 200}));
}

TEST_F(Wm, capture_and_band_walks) {
    const int w = child(room, 0, 100, 100, 50, 50);
    // Mouse capture: moves clamped into the window, presses and releases with c | 8.
    send(KE_MOUSEMOVE, 110, 110);
    window_start_capture(w);
    EXPECT_EQ(send(KE_MOUSEMOVE, 300, 90), (std::vector<Seen>{{w, WE_CAPTUREMOVE, 39, -10, 49000}}));
    EXPECT_EQ(send(KE_MOUSEMOVE, 310, 80), std::vector<Seen>{});  // clamped to the same point
    EXPECT_EQ(send(KE_MOUSEUP, 300, 90, 1), (std::vector<Seen>{{w, KE_MOUSEUP, 300, 90, 9}}));
    // The wheel reaches the capturing window as it is, and the capture goes on.
    EXPECT_EQ(send(KE_WHEEL, 300, 90, -2), (std::vector<Seen>{{w, KE_WHEEL, 300, 90, -2}}));
    EXPECT_NE(window_capture_kind(), 0);
    EXPECT_EQ(send(KE_KEYDOWN, 'A'), (std::vector<Seen>{{w, WE_CAPTUREEND, 0, 0, 0}}));

    // Rubber band: normalised relative to the window while moving, in screen terms at the end.
    send(KE_MOUSEMOVE, 140, 140);
    window_start_band(w);
    EXPECT_EQ(send(KE_MOUSEMOVE, 120, 145, 4).size(), 1u);
    EXPECT_EQ(std::vector<int>({g_band.x, g_band.y, g_band.width, g_band.height, g_band.ctrl}),
              std::vector<int>({20, 40, 20, 5, 1}));
    EXPECT_EQ(send(KE_MOUSEDOWN, 120, 145, 1),
              (std::vector<Seen>{{w, KE_MOUSEDOWN, 20, 45, 1}}));  // delivered as usual
    EXPECT_EQ(send(KE_MOUSEUP, 120, 145, 1), (std::vector<Seen>{{w, WE_BANDEND, 0, 0, 0}}));
    EXPECT_EQ(std::vector<int>({g_band.x, g_band.y, g_band.width, g_band.height, g_band.ctrl}),
              std::vector<int>({120, 140, 20, 5, 0}));
    EXPECT_EQ(window_capture_kind(), 0);
}

TEST_F(Wm, placements_rescale_stay_reachable_and_survive_damage) {
    TempDir dir;
    io_set_start_folder(dir.path.c_str());
    std::filesystem::create_directory(dir / "sfiles");
    const int w = window_register(-1, TW_POPUP | TW_TITLE, 0, 0, 200, 100, record, nullptr);
    auto restore = [&](const char* text, int what) {
        io_ini_write(CONFIG_INI, "ROOM", "Win", text);
        window_restore_placement(w, "ROOM", "Win", what);
        int x, y, width, height;
        window_screen_pos(w, &x, &y);
        window_size(w, &width, &height);
        return std::vector<int>({x, y, width, height, window_visible(w), window_rolled_up(w)});
    };
    window_set_old_screen_size(1024, 768);
    EXPECT_EQ(restore("512 384 300 150 1 0", 15), std::vector<int>({400, 300, 300, 150, 1, 0}));
    window_set_old_screen_size(800, 600);
    // At x -500 no corner reaches the safe area: the right edge comes back to x 64.
    EXPECT_EQ(restore("-500 100 300 150 0 1", 15), std::vector<int>({-235, 100, 300, 150, 0, 1}));
    window_save_placement(w, "ROOM", "Copy");
    char text[64];
    io_ini_read(CONFIG_INI, "ROOM", "Copy", text, sizeof text);
    EXPECT_STREQ(text, "-235 100 300 150 0 1");
    EXPECT_EQ(restore("900 700 300 150 1 0", 15),
              std::vector<int>({768, 568, 300, 150, 1, 0}));  // top-left in

    // Damaged texts: too few numbers and foreign words change nothing; absurd values are
    // refused; negative sizes keep the size; oversized ones are cut to the screen.
    const std::vector<int> kept = {768, 568, 300, 150, 1, 0};
    for (const char* bad : {"1 2 3", "a b c d e f", "", "1 2 3 4 5 99999999999999999999", "7 7 7 7 7 1e9"})
        EXPECT_EQ(restore(bad, 15), kept) << bad;
    EXPECT_EQ(restore("100 100 -5 -7 1 0", 15), std::vector<int>({100, 100, 300, 150, 1, 0}));
    EXPECT_EQ(restore("-900000 100 5000 2 1 0", 15), std::vector<int>({-735, 100, 800, 18, 1, 0}));
    io_set_start_folder("");
}

TEST_F(Wm, posted_ring_and_fatal_messages) {
    const int w = child(room, 0, 0, 0, 10, 10);
    for (int i = 0; i < 63; i++) {
        KernelEvent e{WE_SLIDER, i, 0, 0};
        post_event(w, &e);
    }
    KernelEvent e{WE_SLIDER, 63, 0, 0};
    EXPECT_EQ(fatal_message_of([&] { post_event(w, &e); }), "twindow: post_event: fevents[] is full");
    const auto seen = send(KE_KEYUP, 'A');
    ASSERT_EQ(seen.size(), 65u);  // the key to the child and the room, then the 63 in order
    EXPECT_EQ(seen[2], (Seen{w, WE_SLIDER, 0, 0, 0}));
    EXPECT_EQ(seen[64], (Seen{w, WE_SLIDER, 62, 0, 0}));
    post_event(w, &e);  // room again after delivery

    const int plain = child(room, 0, 0, 0, 10, 10);
    const int modal = window_register(-1, TW_MODAL, 0, 0, 200, 100, record, nullptr);
    EXPECT_EQ(fatal_message_of([&] { window_focus(plain); }), "window_focus: invalid style");
    EXPECT_EQ(fatal_message_of([&] { window_focus_modal(plain, nullptr); }),
              "window_focus_modal: invalid style");
    io_dialog_set_runner(run_modal);
    g_modal_seen = -1;
    const int result = window_focus_modal(modal, nullptr);
    if (g_modal_seen >= 0) {  // the nested loop ran
        EXPECT_EQ(std::vector<int>({result, g_modal_seen}), std::vector<int>({7, modal}));
        EXPECT_EQ(g_nested_fatal, "window_focus_modal: only one modal");
    }
    io_dialog_set_runner(nullptr);
    EXPECT_EQ(window_modal(), -1);
    int x, y;
    window_screen_pos(modal, &x, &y);
    EXPECT_EQ(x * 1000 + y, 300250);  // centred
    EXPECT_EQ(fatal_message_of([&] {
                  for (;;)
                      window_register(-1, 0, 0, 0, 1, 1, nullptr, nullptr);
              }),
              "window_register: windows[] is full");
}

}  // namespace
