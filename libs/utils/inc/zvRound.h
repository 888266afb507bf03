// zvRound.h - decimal rounding and cutting of doubles.
//
//     zv::round2(2.675);     // 2.67: the stored value lies just below 2.675
//     zv::round0(-0.5);      // -1: halves go away from zero
//     zv::cutOff1(-2.789);   // -2.7: cutting goes toward zero
//
// Rounding splits |value| into its integer part i and the rest, scales the
// rest by 10^decimals, rounds that up when its own fraction is at least 0.5,
// truncates it and adds it back to i, keeping the input's sign. Cutting
// truncates value * 10^decimals toward zero and divides again.
//
// The whole range of doubles is handled: values of any magnitude, any count
// of decimals (a negative count rounds or cuts to tens, hundreds, ...; counts
// beyond 308 leave the value as it is), and NaN and infinities come back
// unchanged.
#pragma once

#include "zvDefs.h"

namespace zv {

/// `value` rounded to `decimals` decimals, halves away from zero.
ZV_API double roundImp(double value, int decimals);
/// `value` cut (truncated toward zero) to `decimals` decimals.
ZV_API double cutOffImp(double value, int decimals);

inline double round0(double value) {
    return roundImp(value, 0);
}
inline double round1(double value) {
    return roundImp(value, 1);
}
inline double round2(double value) {
    return roundImp(value, 2);
}
inline double round3(double value) {
    return roundImp(value, 3);
}
inline double round4(double value) {
    return roundImp(value, 4);
}
inline double round5(double value) {
    return roundImp(value, 5);
}
inline double round6(double value) {
    return roundImp(value, 6);
}
inline double round7(double value) {
    return roundImp(value, 7);
}
inline double round8(double value) {
    return roundImp(value, 8);
}

inline double cutOff0(double value) {
    return cutOffImp(value, 0);
}
inline double cutOff1(double value) {
    return cutOffImp(value, 1);
}
inline double cutOff2(double value) {
    return cutOffImp(value, 2);
}
inline double cutOff3(double value) {
    return cutOffImp(value, 3);
}
inline double cutOff4(double value) {
    return cutOffImp(value, 4);
}
inline double cutOff5(double value) {
    return cutOffImp(value, 5);
}
inline double cutOff6(double value) {
    return cutOffImp(value, 6);
}
inline double cutOff7(double value) {
    return cutOffImp(value, 7);
}
inline double cutOff8(double value) {
    return cutOffImp(value, 8);
}

} // namespace zv
