// zvAngle.h - an angle in radians with normalisation and tolerant comparison.
//
//     zv::angle a = zv::angle::fromDegree(270);
//     a.degreeBetweenMinusPiAndPi();          // -90
//     a.degreeBetweenZeroAndTwoPi();          // 270
//     a == zv::angle::fromDegree(-90);        // true (within 1e-6 radians)
//     zv::angle::fromDegree(0).isBetween(zv::angle::fromDegree(350), zv::angle::fromDegree(10), 0);  // true
//
// Normalising takes the remainder of the division by 2 pi (with the sign of
// the angle) into [-pi, pi]; the [0, 2 pi) forms add 2 pi to a negative
// result and never answer 2 pi (or 360) itself. Both ends of [-pi, pi] are
// kept apart: 180 and -180 degrees are not equal, and neither is smaller.
#pragma once

#include "zvDefs.h"

namespace zv {

/// A plane angle, stored in radians as set; normalised forms on request.
class ZV_API angle {
public:
    /// pi.
    static constexpr double kPi = 3.14159265358979323846;
    /// pi / 180 and 180 / pi.
    static constexpr double degreeToRadians() { return 0.017453292519943295; }
    /// 180 / pi.
    static constexpr double radiansToDegree() { return 57.29577951308232; }

    /// Zero.
    angle() = default;
    /// An angle of `radians`.
    static angle fromRadians(double radians) { return angle().setValue(radians); }
    /// An angle of `degree` degrees.
    static angle fromDegree(double degree) { return angle().setValue(degree * degreeToRadians()); }

    /// The stored value, as it was set.
    double radians() const { return m_radians; }
    /// The stored value in degrees.
    double degree() const { return m_radians * radiansToDegree(); }

    /// Replaces the stored value by its form in [-pi, pi].
    angle& normIt();
    /// The value in [-pi, pi] (radians).
    double radiansBetweenMinusPiAndPi() const;
    /// The value in [-180, 180] (degrees).
    double degreeBetweenMinusPiAndPi() const;
    /// In [0, 2 pi) and [0, 360).
    double radiansBetweenZeroAndTwoPi() const;
    /// The value in [0, 360) (degrees).
    double degreeBetweenZeroAndTwoPi() const;

    /// abs(a - b) < tolerance, on the stored values when `raw`, else on the
    /// values normalised to [-pi, pi].
    bool isEqualTo(const angle& other, double tolerance, bool raw) const;
    /// Normalised values within 1e-6.
    bool operator==(const angle& other) const { return isEqualTo(other, 1e-6, false); }
    /// Not `operator==`.
    bool operator!=(const angle& other) const { return !(*this == other); }
    /// Compares the [0, 360) forms.
    bool operator<(const angle& other) const;
    /// Whether this angle lies on the arc from `a` counter-clockwise to `b`,
    /// both ends included; the arc wraps through 0 when a > b. The third
    /// argument is not used.
    bool isBetween(const angle& a, const angle& b, double unused) const;

    /// Adds `other`.
    angle& operator+=(const angle& other) { return setValue(m_radians + other.m_radians); }
    /// Subtracts `other`.
    angle& operator-=(const angle& other) { return setValue(m_radians - other.m_radians); }
    /// Multiplies by `factor`.
    angle& operator*=(double factor) { return setValue(m_radians * factor); }
    /// Throws zv::divisionByZeryException when abs(d) < 1e-12.
    angle& operator/=(double d);
    /// The sum.
    angle operator+(const angle& other) const { return angle(*this) += other; }
    /// The difference.
    angle operator-(const angle& other) const { return angle(*this) -= other; }
    /// The negated angle.
    angle operator-() const { return fromRadians(-m_radians); }

private:
    angle& setValue(double radians) {
        m_radians = radians;
        return *this;
    }

    double m_radians = 0.0;
};

} // namespace zv
