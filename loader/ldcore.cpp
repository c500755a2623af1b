// loader/ldcore.cpp -- the extractor's work (being written).
#include "loader/ldcore.h"
