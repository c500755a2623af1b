// rooms/intro.cpp -- the splash and the about screen (being written).
#include "rooms/intro.h"
