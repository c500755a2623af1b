// rooms/shelf.cpp -- the shelf of boxes (being written).
#include "rooms/shelf.h"
