// zvVersion.h - four-part version numbers, as in the version resources of
// files.
//
//     zv::version v;
//     v.parse(L"1.2");        // true: 1.2.0.0
//     v.asString();           // "1.2.0.0"
//     v < zv::version(1, 3, 0, 0);
//
// Text conversions are registered with the conversion registry
// (zvTypeConvert.h) in both directions.
#pragma once

#include "zvDefs.h"
#include "zvDtConvert.h"
#include "zvString.h"
#include "zvTypeConvert.h"

namespace zv {

/// A four-part version number, as in the version resources of files.
class ZV_API version {
public:
    version() = default;
    /// The version a.b.c.d.
    version(unsigned a, unsigned b, unsigned c, unsigned d) : m_parts{a, b, c, d} {}

    /// 0.0.0.0, the least version.
    static version minVersion();
    /// 999999.999999.999999.999999, the greatest version.
    static version maxVersion();

    /// Part 0 (most significant) to 3.
    unsigned part(unsigned index) const;
    /// Sets part `index` (0 to 3) to `value`.
    void setPart(unsigned index, unsigned value);

    /// The four numbers in decimal, separated by ".".
    zv::string asString() const;
    /// One to four parts separated by "."; missing trailing parts are 0. On
    /// false (no part, more than four, a part that is no number) the
    /// version is unchanged.
    bool parse(const wchar_t* text);

    /// All four parts equal.
    bool operator==(const version& other) const;
    /// Not `operator==`.
    bool operator!=(const version& other) const { return !(*this == other); }
    /// Compares part by part, the first part first.
    bool operator<(const version& other) const;
    /// Ordering by `operator<`.
    bool operator>(const version& other) const { return other < *this; }
    /// Ordering by `operator<`.
    bool operator<=(const version& other) const { return !(other < *this); }
    /// Ordering by `operator<`.
    bool operator>=(const version& other) const { return !(*this < other); }

private:
    unsigned m_parts[4] = {0, 0, 0, 0};
};

/// Text conversions through `asString` and `parse`.
ZV_API bool dtconvert(string& target, const version& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(string& target, const version& source, int flags = 0, ...);
ZV_API bool dtconvert(version& target, const string& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(version& target, const string& source, int flags = 0, ...);

} // namespace zv

ZV_TYPECONVERT_NAME(zv::version, "zv::version")
