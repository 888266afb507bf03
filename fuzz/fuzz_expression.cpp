// Evaluates arbitrary wide text: bytes below 0x80 are characters as they
// are, 0x80-0xFE take the next byte to form a 16-bit unit, and 0xFF takes
// the next four for any value a wchar_t holds. Checks that nothing crashes,
// that valid results are finite and that every error code is a known one.
#include "zvExpression.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

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
    const zv::expression e(text.c_str());
    if (e.error() < 0 || e.error() > 9)
        std::abort();
    if (e.isValid() ? !std::isfinite(e.result()) : e.result() != 0.0)
        std::abort();
    if (e.error() >= 2 && e.error() <= 6) // no text leads there
        std::abort();
    const zv::expression copy(e);
    if (copy.error() != e.error() || !(copy.result() == e.result() || std::isnan(e.result())))
        std::abort();
    return 0;
}
