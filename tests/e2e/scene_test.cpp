// The toolkit in the real game: every window and control of the scene program driven by a script,
// with snapshots of each look.
#include "tests/e2e/scene.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/game_run.h"

namespace {

using namespace e2e;
using namespace scene;

TEST(scene, every_control_driven_by_a_script) {
    Game g;
    g.exe = LUMAVEX_SCENE_EXE;
    std::system(("mkdir -p " + g.dir + "/puzzles/older").c_str());
    for (const char* box : {"puzzles/autumn.pzl", "puzzles/Beach.pzl"})
        g.write(box, "not a real box");
    g.write("puzzles/notes.txt", "not listed");

    // The controls window moves by (60, 40) when its title bar is dragged.
    const int dx = 60, dy = 40, cx = CONTROLS_X + dx, cy = CONTROLS_Y + dy;
    auto open_button = [&](int i) { return at(cx + OPEN_X[i] + OPEN_W / 2, cy + OPEN_Y + 14); };
    const int rolled_x = cx + CONTROLS_W - 138;
    const std::string script =
        "2 move " + at(CONTROLS_X + PUSH_X[1] + 30, CONTROLS_Y + PUSH_Y + 10) +
        "\n+2 snap scene.png\n+1 drag " + at(CONTROLS_X + 200, CONTROLS_Y + 9) + " " +
        at(CONTROLS_X + 200 + dx, CONTROLS_Y + 9 + dy) + " 6\n+8 click " + open_button(0) +
        " left\n+3 snap message.png\n+1 key enter\n+2 click " + open_button(1) +
        " left\n+2 type Hello\n+1 key tab\n+1 type ab\n+2 snap input.png\n+1 key enter\n+2 click " +
        open_button(2) + " left\n+2 snap progress.png\n+30 click " + open_button(3) +
        " left\n+3 snap chooser.png\n+1 key down\n+1 key down\n+1 key enter\n+2 click " +
        at(cx + ABOUT_X + OPEN_W / 2, cy + ABOUT_Y + 14) + " left\n+3 snap about.png\n+1 click " +
        at(FRAME_W / 2, FRAME_H / 2) + " left\n+2 click " + at(cx + CONTROLS_W - 36 + 9, cy + 9) +
        " left\n+2 snap rolled.png\n+1 click " + at(rolled_x + 138 - 36 + 9, cy + 9) + " left\n+2 click " +
        at(cx + CONTROLS_W - 18 + 9, cy + 9) + " left\n+2 snap closed.png\n+1 quit\n";
    g.write("s.txt", script);
    ASSERT_EQ(g.run({"--headless", "--script", "s.txt", "-debug", "1"}), 0) << g.file("stderr.txt");
    std::string log = g.file("application.log");
    const std::string chosen = "scene: open 1 [" + g.dir + "/puzzles/autumn.pzl] [" + g.dir + "/puzzles]\n";
    for (const std::string& line :
         {std::string("scene: message 1\n"), std::string("scene: input 1 [Hello] [AB]\n"), chosen,
          std::string("scene: about closed\n"),
          std::string("scene: controls visible 1 rolled 1\nscene: controls visible 1 rolled 0\n"
                      "scene: controls visible 0 rolled 0\n")})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
    EXPECT_EQ(log.find("ngetmem!=nfreemem"), std::string::npos) << log;
    for (const char* png : {"scene.png", "message.png", "input.png", "progress.png", "chooser.png",
                            "about.png", "rolled.png", "closed.png"})
        EXPECT_EQ(png_size(g.file(png)), std::pair(FRAME_W, FRAME_H)) << png;
    if (const char* keep = std::getenv("LUMAVEX_SCENE_KEEP"))
        std::system(("cp " + g.dir + "/*.png " + keep).c_str());
}

}  // namespace
