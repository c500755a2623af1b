// loader/ldui.cpp -- the extractor's dialog (being written).
#include "loader/ldcore.h"

int ld_ui_run(LdGift*, const char*) { return 1; }
