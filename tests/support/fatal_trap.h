// tests/support/fatal_trap.h -- turns the game's fatal path into a catchable error in tests.
#pragma once
#include <string>

struct FatalError {
    std::string message;
};

// Installs the sink for the lifetime of the object: io_fatal throws FatalError.
struct FatalTrap {
    FatalTrap();
    ~FatalTrap();
};

// Runs f and returns the fatal message it raised, or "" when it returned normally.
template <class F>
std::string fatal_message_of(F&& f) {
    FatalTrap trap;
    try {
        f();
    } catch (const FatalError& e) {
        return e.message;
    }
    return "";
}

// Writes a fuzz seed file into the seeds folder of the named target (created on demand).
void write_fuzz_seed(const char* target, const char* name, const void* data, size_t size);
