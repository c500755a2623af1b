// Fuzz target: the MIDI file check over arbitrary bytes.
#include <cstdint>

#include "platform/io_sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char why[128];
    if (!midi_check(data, size, why, sizeof why) && !why[0]) __builtin_trap();  // a refusal names its reason
    return 0;
}
