// The screensaver's arithmetic beyond the four operations: sine and cosine
// (exact to a unit or so in the last place for any angle an animation of up
// to 49 days reaches, millions of radians), square root and rounding. Its
// own, so that the program needs no C library.
#pragma once

namespace Velmora {

double Sine(double Angle);
double Cosine(double Angle);

// The processor's square root instruction (the code is built with
// -fno-math-errno, so no library call is made for negative values).
inline double SquareRoot(double Value) {
    return __builtin_sqrt(Value);
}

// Puts the x87 unit, which the i686 build computes its doubles in, as a C
// runtime's start-up leaves it (64-bit precision, every exception masked):
// the pictures are those of builds that had one. The entry point's first step.
inline void ResetFloatingPoint() {
    __asm__ volatile("fninit");
}

inline int RoundToInt(double Value) {
    return static_cast<int>(Value < 0 ? Value - 0.5 : Value + 0.5);
}

} // namespace Velmora
