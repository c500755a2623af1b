// tests/e2e/scene.h -- where the toolkit scene puts its windows and controls, shared by the
// scene program and the test that drives it with scripts. Frame size 1024 x 768.
#pragma once

namespace scene {

inline constexpr int FRAME_W = 1024, FRAME_H = 768;

// The controls window: titled, raisable, rolls up, closes.
inline constexpr int CONTROLS_X = 40, CONTROLS_Y = 60, CONTROLS_W = 460, CONTROLS_H = 360;
// Push buttons with text in their three looks, a row down from the title.
inline constexpr int PUSH_Y = 30, PUSH_W = 120, PUSH_H = 28;
inline constexpr int PUSH_X[3] = {16, 160, 304};  // normal, hovered, disabled
// Buttons that open the modal boxes, the progress window and the chooser.
inline constexpr int OPEN_Y = 250, OPEN_W = 100;
inline constexpr int OPEN_X[4] = {16, 124, 232, 340};  // message, input, progress, open file
inline constexpr int ABOUT_X = 16, ABOUT_Y = 290;      // the about screen
// Toggles and radios.
inline constexpr int CHECK_Y = 76, RADIO_Y = 106;
// The slider and the button row.
inline constexpr int SLIDER_X = 16, SLIDER_Y = 140, SLIDER_W = 300;
inline constexpr int ROW_X = 16, ROW_Y = 192;

// The menu, the text window and the rolled-up bar.
inline constexpr int MENU_X = 600, MENU_Y = 60;
inline constexpr int TEXT_X = 600, TEXT_Y = 200;
inline constexpr int ROLLED_X = 760, ROLLED_Y = 60, ROLLED_W = 220, ROLLED_H = 160;

}  // namespace scene
