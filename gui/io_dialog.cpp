#pragma GCC diagnostic ignored "-Wunused-parameter"
// placeholder: replaced by the module's implementation
#include "gui/io_dialog.h"

int io_dialog_open(int x, int y, EditField* fields) { return 0; }
void io_dialog_end(int result, int keep) {}
void io_dialog_invalidate(int x, int y, int width, int height) {}
int io_dialog_is_open() { return 0; }
int io_dialog_event(KernelEvent* event) { return 0; }
void io_dialog_draw() {}
void io_dialog_set_colours(int text, int background) {}
void io_dialog_set_runner(ModalRunner runner) {}
