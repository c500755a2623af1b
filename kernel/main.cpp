// kernel/main.cpp -- process entry of the game.
#include "kernel/kernel.h"

int main(int argc, char** argv) { return kernel_main(argc, argv); }
