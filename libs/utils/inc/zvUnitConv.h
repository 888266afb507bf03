// zvUnitConv.h - the length unit systems and the factors between them.
//
//     zv::unitconv f(zv::inch, zv::mm);
//     double mm = 2 * f.lengthFactor();    // 50.8
//     f.areaFactor();                      // 645.16 (square inches to square millimetres)
//     f.volumeFactor();                    // 16387.064
//     zv::unitSystemFromString(L"MM");     // zv::mm
//     zv::unitSystemString(zv::meter);     // "meter"
#pragma once

#include "zvDefs.h"
#include "zvString.h"

namespace zv {

/// The length unit systems.
enum eUnitSystem : int { mm = 0, inch = 1, meter = 2 };

/// The factors that convert lengths, areas and volumes from one unit system
/// into another. The same system, or a value outside the enumeration, gives 1.
class ZV_API unitconv {
public:
    /// Converts from unit system `from` to `to`.
    unitconv(eUnitSystem from, eUnitSystem to);

    /// The factor that converts a length.
    double lengthFactor() const { return m_length; }
    /// The length factor squared.
    double areaFactor() const { return m_area; }
    /// The length factor cubed.
    double volumeFactor() const { return m_volume; }

private:
    double m_length;
    double m_area;
    double m_volume;
};

/// "mm", "inch" or "meter" in any case; any other text throws
/// zv::unexpectedErrorException.
ZV_API eUnitSystem unitSystemFromString(const string& text);
/// "mm", "inch" or "meter"; any other value throws zv::unexpectedErrorException.
ZV_API string unitSystemString(eUnitSystem system);

} // namespace zv
