// Feeds arbitrary text to the date, time and timestamp parsers. Nothing may
// crash; whatever parses must read back unchanged from its own text (a time
// of 24:00:00 reads back as 00:00:00, the documented exception).
#include "zvDate.h"
#include "zvTime.h"
#include "zvTimeStamp.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Bytes below 0x80 are characters; 0x80 and above take the next byte to
    // form a 16-bit unit, so separators and digits stay likely.
    zv::string text;
    for (std::size_t i = 0; i < size;) {
        const std::uint8_t b = data[i++];
        if (b < 0x80)
            text += static_cast<wchar_t>(b);
        else if (i < size)
            text += static_cast<wchar_t>(((b & 0x7F) << 8) | data[i++]);
    }
    const wchar_t* const separators[] = {L"/", L"-", L":", L" ", L"--"};
    for (const wchar_t* sep : separators) {
        try {
            const zv::date d = zv::date::fromString(text, sep);
            if (zv::date::fromString(d.toString(), L"/") != d)
                std::abort();
            (void)d.dayOfWeek();
            (void)d.weekOfYear();
        } catch (bool) {
        }
        try {
            const zv::time t = zv::time::fromString(text, sep);
            if (t.hour() >= 24 || zv::time::fromString(t.toString(), L":") != t)
                std::abort();
        } catch (bool) {
        }
    }
    try {
        const zv::timestamp s = zv::timestamp::fromString(text, L" ", L"/", L":");
        if (zv::timestamp::fromString(s.toString(), L" ", L"/", L":") != s)
            std::abort();
    } catch (bool) {
    }
    zv::date d(2000, 1, 1);
    if (zv::dtconvert(d, text) && !(zv::date::fromString(d.toString(), L"/") == d))
        std::abort();
    zv::timestamp s;
    if (zv::dtconvert(s, text)) {
        zv::timestamp back;
        if (!zv::dtconvert(back, s.toString()) || (back - s).nallmseconds() != 0)
            std::abort();
    }
    return 0;
}
