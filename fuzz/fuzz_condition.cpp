// Parses arbitrary wide text as a condition (bytes below 0x80 are characters
// as they are, 0x80-0xFE take the next byte to form a 16-bit unit, 0xFF the
// next four for any value a wchar_t holds). Checks that only the documented
// exceptions leave the parser, and that a parsed condition's normal form
// reads back to the same normal form with the same answers.
#include "zvCondition.h"
#include "zvException.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using zv::conditions::condition;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i < size;) {
        const std::uint8_t b = data[i++];
        if (b < 0x80) {
            text += static_cast<wchar_t>(b);
        } else if (b < 0xFF && i < size) {
            text += static_cast<wchar_t>(((b & 0x7F) << 8) | data[i++]);
        } else if (b == 0xFF && i + 4 <= size) {
            std::uint32_t v;
            std::memcpy(&v, data + i, 4);
            i += 4;
            text += static_cast<wchar_t>(v);
        }
    }
    std::unique_ptr<condition> c;
    try {
        c.reset(condition::parse(text));
    } catch (const zv::unexpectedErrorException&) {
        return 0;
    }
    if (!c)
        return 0;
    const zv::string normal = c->text();
    std::unique_ptr<condition> again;
    try {
        again.reset(condition::parse(normal));
    } catch (const zv::exception&) {
        std::abort();
    }
    if (!again || again->text() != normal)
        std::abort();
    const std::unique_ptr<condition> copy(c->clone());
    const zv::genericValue probes[] = {zv::genericValue(), zv::genericValue(5), zv::genericValue(-1.5),
                                       zv::genericValue(L"a"), zv::genericValue(true)};
    for (const zv::genericValue& v : probes) {
        const bool r = c->isTrueGeneric(v);
        if (again->isTrueGeneric(v) != r || copy->isTrueGeneric(v) != r)
            std::abort();
    }
    return 0;
}
