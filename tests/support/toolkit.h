// tests/support/toolkit.h -- the toolkit as the tests of modal dialogs use it, without a skin or
// fonts: the dirty-cell grid of an 800 x 600 screen, the English texts, the window manager with
// the message box, and the test's own runner of the modal loop. All of it goes with the object.
#pragma once
#include "gui/io_dialog.h"
#include "gui/lt.h"
#include "gui/msgbox.h"
#include "gui/window.h"
#include "platform/screen.h"

struct ModalToolkit {
    explicit ModalToolkit(ModalRunner runner) {
        screen_set_size_for_tests(800, 600);
        screen_grid_create();
        lt_init(LUMAVEX_ASSETS_DIR "/english.ini");
        window_init();
        msgbox_create("Lumavex");
        io_dialog_set_runner(runner);
    }
    ~ModalToolkit() {
        io_dialog_set_runner(nullptr);
        window_done();
        lt_done();
        screen_grid_free();
    }
};
