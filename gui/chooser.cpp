#pragma GCC diagnostic ignored "-Wunused-parameter"
// placeholder: replaced by the module's implementation
#include "gui/chooser.h"

int chooser_open(char* file, char* folder, const char* filter) { return 0; }
int chooser_save(char* file, char* folder, const char* filter) { return 0; }
void chooser_init() {}
