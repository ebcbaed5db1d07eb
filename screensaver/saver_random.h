// Small, repeatable random numbers for placing the picture's details: the
// same seed gives the same sky on every run and every build.
#pragma once

#include <cstdint>

namespace Velmora {

// Next number in [0, 1) from a linear congruential sequence.
inline double NextRandom(uint32_t& State) {
    State = State * 1664525u + 1013904223u;
    return static_cast<double>(State >> 8) / 16777216.0;
}

// Scrambles a number into an unrelated one: a seed for a numbered event.
inline uint32_t ScrambleNumber(uint32_t Value) {
    Value ^= Value >> 16;
    Value *= 0x7FEB352Du;
    Value ^= Value >> 15;
    Value *= 0x846CA68Bu;
    Value ^= Value >> 16;
    return Value;
}

} // namespace Velmora
