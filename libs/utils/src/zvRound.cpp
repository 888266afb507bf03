// Decimal rounding and cutting. The arithmetic is done in doubles
// throughout: for magnitudes below 2^32 and up to 9 decimals this gives
// exactly what the classic formulation with 32-bit integer parts gives, and
// beyond that it stays correct instead of wrapping around.
#include "zvRound.h"

#include <cmath>

namespace zv {

namespace {

constexpr int kMaxDecimals = 308; // 10^308 is the largest finite power of ten

// 10^n for 0 <= n <= 308; exact up to 10^22.
double powerOfTen(int n) {
    static constexpr double exact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return n < 23 ? exact[n] : std::pow(10.0, n);
}

// Rounds a non-negative finite value to `decimals` >= 0 decimals.
double roundMagnitude(double a, int decimals) {
    const double scale = powerOfTen(decimals);
    const double integer = std::trunc(a);
    double f = scale * (a - integer); // a - integer is exact
    if (f - std::floor(f) >= 0.5)
        f += 1.0;
    f = std::floor(f);
    return f / scale + integer;
}

} // namespace

double roundImp(double value, int decimals) {
    if (!std::isfinite(value) || decimals > kMaxDecimals)
        return value;
    const double a = std::fabs(value);
    double r;
    if (decimals >= 0) {
        r = roundMagnitude(a, decimals);
    } else if (decimals < -kMaxDecimals) {
        r = 0.0;
    } else {
        // To tens, hundreds, ...: round the quotient to an integer.
        const double unit = powerOfTen(-decimals);
        r = roundMagnitude(a / unit, 0) * unit;
        if (!std::isfinite(r)) // rounded up past the largest double
            r = a;
    }
    return value < 0 ? -r : r;
}

double cutOffImp(double value, int decimals) {
    if (!std::isfinite(value) || decimals > kMaxDecimals)
        return value;
    if (decimals < 0) {
        if (decimals < -kMaxDecimals)
            return 0.0;
        const double unit = powerOfTen(-decimals);
        return (std::trunc(value / unit) + 0.0) * unit;
    }
    const double scale = powerOfTen(decimals);
    const double product = value * scale;
    if (!std::isfinite(product)) // so large that it has no decimals to cut
        return value;
    // + 0.0: a value cut to nothing is +0, as an integer zero would be.
    return (std::trunc(product) + 0.0) / scale;
}

} // namespace zv
