#include "saver_maths.h"

#include <cstdint>

namespace Velmora {

// Pi / 2 as the sum of three doubles: the first two short enough that a
// multiple of them by any quarter-turn count below 2^25 is exact, the third
// the rest.
static const double HalfPiHigh = 0x1.921fb54p+0;
static const double HalfPiMiddle = 0x1.10b461p-30;
static const double HalfPiLow = 0x1.a62633145c06ep-58;
static const double QuarterTurnsPerRadian = 0x1.45f306dc9c883p-1; // 2 / Pi

// The Taylor series of sine (over R) and cosine in powers of R^2 after their
// first term, 1, as far as the first term left out is below half a unit in
// the last place for |R| <= Pi / 4.
static const double SineTerms[] = {
    -1.0 / 6,        1.0 / 120,        -1.0 / 5040,         1.0 / 362880,
    -1.0 / 39916800, 1.0 / 6227020800, -1.0 / 1307674368000};
static const double CosineTerms[] = {
    -1.0 / 2,       1.0 / 24,        -1.0 / 720,         1.0 / 40320,
    -1.0 / 3628800, 1.0 / 479001600, -1.0 / 87178291200, 1.0 / 20922789888000};

// The sum of Terms[i] x Square^(i + 1).
template <int Count> static double PowerSeries(const double (&Terms)[Count], double Square) {
    double sum = 0;
    for (int i = Count - 1; i >= 0; --i) {
        sum = (sum + Terms[i]) * Square;
    }
    return sum;
}

static double SineNearZero(double R) {
    return R + R * PowerSeries(SineTerms, R * R);
}

static double CosineNearZero(double R) {
    return 1 + PowerSeries(CosineTerms, R * R);
}

// The sine of Angle + Quarters x Pi / 2: Angle less the nearest whole number
// of quarter turns, whose remainder modulo 4 picks the series and its sign.
static double SineAfterQuarters(double Angle, uint64_t Quarters) {
    const double turns = Angle * QuarterTurnsPerRadian;
    const int64_t nearest = static_cast<int64_t>(turns < 0 ? turns - 0.5 : turns + 0.5);
    const double n = static_cast<double>(nearest);
    const double rest = ((Angle - n * HalfPiHigh) - n * HalfPiMiddle) - n * HalfPiLow;
    switch ((static_cast<uint64_t>(nearest) + Quarters) & 3) {
    case 0:
        return SineNearZero(rest);
    case 1:
        return CosineNearZero(rest);
    case 2:
        return -SineNearZero(rest);
    default:
        return -CosineNearZero(rest);
    }
}

double Sine(double Angle) {
    return SineAfterQuarters(Angle, 0);
}

double Cosine(double Angle) {
    return SineAfterQuarters(Angle, 1);
}

} // namespace Velmora
