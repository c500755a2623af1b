// loader/main.cpp -- the gift extractor's entry (being written).
#include "loader/ldcore.h"

int main() { return 1; }
