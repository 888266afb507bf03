#include "zvRgbColor.h"

#include "zvDtConvertDetail.h"

#include <cwctype>

namespace zv {

bool dtconvert(string& target, const rgbColor& source, int, const dtArgs&) {
    target = string::sformat(L"%u,%u,%u", static_cast<unsigned>(source.red()),
                             static_cast<unsigned>(source.green()), static_cast<unsigned>(source.blue()));
    return true;
}

ZV_DTCONVERT_VARIADIC(string, rgbColor)

namespace {

// One channel: an unsigned int below 256. A minus sign is refused, since
// reading "-4294967295" as unsigned would wrap it to 1.
bool readChannel(const string& part, unsigned char& channel) {
    for (wchar_t c : part) {
        if (c == L'-')
            return false;
        if (!std::iswspace(c))
            break;
    }
    unsigned int value = 0;
    if (!dtconvert(value, part, 0, dtArgs{}) || value > 255)
        return false;
    channel = static_cast<unsigned char>(value);
    return true;
}

} // namespace

bool dtconvert(rgbColor& target, const string& source, int, const dtArgs&) {
    std::vector<string> parts;
    source.splitAt(L",", parts, false);
    unsigned char rgb[3];
    if (parts.size() != 3 || !readChannel(parts[0], rgb[0]) || !readChannel(parts[1], rgb[1]) ||
        !readChannel(parts[2], rgb[2]))
        return false;
    target.setRGB(rgb[0], rgb[1], rgb[2]);
    return true;
}

ZV_DTCONVERT_VARIADIC(rgbColor, string)

namespace {

bool colorToText(string& target, const rgbColor& source, int flags, const dtArgs& args) {
    return dtconvert(target, source, flags, args);
}

bool textToColor(rgbColor& target, const string& source, int flags, const dtArgs& args) {
    return dtconvert(target, source, flags, args);
}

const typeconvert::registerConversion<rgbColor, string> s_colorToText(&colorToText);
const typeconvert::registerConversion<string, rgbColor> s_textToColor(&textToColor);

} // namespace

} // namespace zv
