#include "zvAngle.h"

#include "zvException.h"

#include <cmath>

namespace zv {

namespace {

constexpr double kTwoPi = 2 * angle::kPi;

double minusPiToPi(double r) {
    r = std::fmod(r, kTwoPi);
    if (r > angle::kPi)
        r -= kTwoPi;
    if (r < -angle::kPi)
        r += kTwoPi;
    return r;
}

double zeroToTwoPi(double r) {
    r = minusPiToPi(r);
    if (r < 0) {
        r += kTwoPi;
        // A tiny negative value rounds up to 2 pi itself, which belongs to 0.
        if (r >= kTwoPi)
            r = 0;
    }
    return r;
}

} // namespace

angle& angle::normIt() {
    return setValue(minusPiToPi(m_radians));
}

double angle::radiansBetweenMinusPiAndPi() const {
    return minusPiToPi(m_radians);
}

double angle::degreeBetweenMinusPiAndPi() const {
    return minusPiToPi(m_radians) * radiansToDegree();
}

double angle::radiansBetweenZeroAndTwoPi() const {
    return zeroToTwoPi(m_radians);
}

double angle::degreeBetweenZeroAndTwoPi() const {
    const double d = zeroToTwoPi(m_radians) * radiansToDegree();
    return d >= 360 ? 0 : d; // the same rounding at the scale of degrees
}

bool angle::isEqualTo(const angle& other, double tolerance, bool raw) const {
    if (raw)
        return std::fabs(m_radians - other.m_radians) < tolerance;
    return std::fabs(minusPiToPi(m_radians) - minusPiToPi(other.m_radians)) < tolerance;
}

bool angle::operator<(const angle& other) const {
    return degreeBetweenZeroAndTwoPi() < other.degreeBetweenZeroAndTwoPi();
}

bool angle::isBetween(const angle& a, const angle& b, double) const {
    const double v = degreeBetweenZeroAndTwoPi();
    const double from = a.degreeBetweenZeroAndTwoPi();
    const double to = b.degreeBetweenZeroAndTwoPi();
    if (from <= to)
        return from <= v && v <= to;
    return v >= from || v <= to;
}

angle& angle::operator/=(double d) {
    if (std::fabs(d) < 1e-12)
        throw divisionByZeryException();
    return setValue(m_radians / d);
}

} // namespace zv
