// zvRgbColor.h - a colour of three 8-bit channels, red, green and blue.
//
//     zv::rgbColor c(0x00FF8040);      // the Windows COLORREF layout: red in the low byte
//     c.colorValue();                  // 0x00FF8040
//     zv::string text;
//     zv::dtconvert(text, c);          // "64,128,255"
//     zv::dtconvert(c, zv::string(L"1,2,256"));   // false, c unchanged
//
// The text form is the three channels in decimal, separated by "," without
// blanks. Reading it needs exactly three parts, each a number the library
// reads as `unsigned int` (zvDtConvert.h: blanks before it and text after
// it are allowed) that is below 256 and carries no minus sign. Both
// conversions are registered with the conversion registry, so a
// `zv::genericValue` holding a colour reads and writes it as text.
#pragma once

#include "zvDefs.h"
#include "zvDtConvert.h"
#include "zvGenericValue.h"
#include "zvString.h"
#include "zvTypeConvert.h"

namespace zv {

/// A colour of 8-bit red, green and blue components.
class ZV_API rgbColor {
public:
    /// White.
    rgbColor() = default;
    /// Red from bits 0-7, green from 8-15, blue from 16-23.
    rgbColor(unsigned int value)
        : m_red(static_cast<unsigned char>(value)), m_green(static_cast<unsigned char>(value >> 8)),
          m_blue(static_cast<unsigned char>(value >> 16)) {}

    /// blue << 16 | green << 8 | red.
    unsigned int colorValue() const {
        return static_cast<unsigned>(m_blue) << 16 | static_cast<unsigned>(m_green) << 8 | m_red;
    }
    /// The red component.
    unsigned char red() const { return m_red; }
    /// The green component.
    unsigned char green() const { return m_green; }
    /// The blue component.
    unsigned char blue() const { return m_blue; }

    /// Same components.
    bool operator==(const rgbColor& other) const {
        return m_red == other.m_red && m_green == other.m_green && m_blue == other.m_blue;
    }
    /// Not `operator==`.
    bool operator!=(const rgbColor& other) const { return !(*this == other); }

    /// Sets all three components.
    void setRGB(unsigned char r, unsigned char g, unsigned char b) {
        m_red = r;
        m_green = g;
        m_blue = b;
    }
    /// out[0] = red, out[1] = green, out[2] = blue.
    void asRgbTriple(unsigned char* out) const {
        out[0] = m_red;
        out[1] = m_green;
        out[2] = m_blue;
    }

private:
    unsigned char m_red = 255;
    unsigned char m_green = 255;
    unsigned char m_blue = 255;
};

/// "R,G,B" in decimal; always true.
ZV_API bool dtconvert(string& target, const rgbColor& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(string& target, const rgbColor& source, int flags = 0, ...);
/// Reads "R,G,B" (see above); false leaves `target` unchanged.
ZV_API bool dtconvert(rgbColor& target, const string& source, int flags, const dtArgs& args);
ZV_API bool dtconvert(rgbColor& target, const string& source, int flags = 0, ...);

} // namespace zv

ZV_TYPECONVERT_NAME(zv::rgbColor, "zv::rgbColor")
ZV_GENERIC_VALUE_TYPE(zv::rgbColor)
