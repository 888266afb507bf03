// Feeds arbitrary text to every text-to-number conversion and checks what
// must hold: a number read back from its own text is the same number
// (integers exactly, doubles from their 17-digit form), a failed read leaves
// the target alone, and the registry agrees with the direct calls.
#include "zvDtConvert.h"
#include "zvTypeConvert.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

using zv::dtconvert;
using zv::string;

void check(bool condition) {
    if (!condition)
        std::abort();
}

template <typename T>
void integerRoundTrip(const string& text) {
    T value = T(7);
    const bool ok = dtconvert(value, text);
    if (!ok) {
        check(value == T(7));
        return;
    }
    T viaRegistry = T(7);
    check(zv::typeconvert::typeConversionManager::instance().convert(viaRegistry, text));
    check(viaRegistry == value);
    string printed;
    check(dtconvert(printed, value));
    T back = T(3);
    check(dtconvert(back, printed));
    check(back == value);
    // Hexadecimal and zero filling never lose the value's digits.
    check(dtconvert(printed, value, zv::dtCount, 12));
    check(dtconvert(back, printed) && back == value);
    check(dtconvert(printed, value, zv::dtFormat, zv::dtHexUpper));
    check(!printed.empty() && printed.size() <= 2 * sizeof(T));
}

template <typename F>
void floatingRoundTrip(const string& text) {
    F value = F(7);
    const bool ok = dtconvert(value, text);
    if (!ok) {
        // Either nothing was read, or it was saturated to a finite bound.
        check(value == F(7) || value == std::numeric_limits<F>::max() ||
              value == std::numeric_limits<F>::lowest());
        return;
    }
    F viaRegistry = F(7);
    check(zv::typeconvert::typeConversionManager::instance().convert(viaRegistry, text));
    check((std::isnan(value) && std::isnan(viaRegistry)) || viaRegistry == value);
    string printed;
    check(dtconvert(printed, value));
    check(!printed.empty());
    if (!std::isfinite(value)) {
        F back = F(0);
        check(dtconvert(back, printed));
        check(std::isnan(value) ? std::isnan(back) : back == value);
        return;
    }
    // Ten decimals read back to within their rounding.
    check(dtconvert(printed, value, zv::dtCount, 10));
    double back = 0;
    check(dtconvert(back, printed));
    check(std::fabs(back - static_cast<double>(value)) <=
          0.5e-10 + std::fabs(static_cast<double>(value)) * 1e-15);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The bytes as wide text, two bytes per unit so any code unit can occur.
    string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    // And the same bytes as plain ASCII-range units, where numbers are likely.
    string plain;
    for (std::size_t i = 0; i < size; ++i)
        plain.push_back(static_cast<wchar_t>(data[i]));

    for (const string* t : {&text, &plain}) {
        integerRoundTrip<short>(*t);
        integerRoundTrip<unsigned short>(*t);
        integerRoundTrip<int>(*t);
        integerRoundTrip<unsigned int>(*t);
        integerRoundTrip<long>(*t);
        integerRoundTrip<unsigned long>(*t);
        floatingRoundTrip<float>(*t);
        floatingRoundTrip<double>(*t);

        bool flag = true;
        if (!dtconvert(flag, *t))
            check(flag);

        // A double read from its shortest exact 17-digit form is the same double.
        double d = 0;
        if (dtconvert(d, *t) && std::isfinite(d)) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.17g", d);
            double back = 0;
            check(dtconvert(back, string(buffer, buffer + std::strlen(buffer))));
            check(back == d);
        }

        // Two steps through text, and the user-interface parser.
        short small = 0;
        zv::typeconvert::typeConversionManager::instance().convert(small, *t);
        double typed = 0;
        zv::uiStringToDouble(typed, *t);
        string reformatted = *t;
        zv::formatUiDoubleString(reformatted, static_cast<int>(size % 13) - 1);
    }
    return 0;
}
