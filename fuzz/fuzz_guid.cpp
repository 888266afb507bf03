// Reads arbitrary text as a guid: never crashes, and every accepted text
// prints as its own lower-case form (or "0" for a guid that is not
// initialized) and reads back as the same guid.
#include "zvGuid.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Two bytes per character, so every wide character can occur.
    zv::string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

    zv::guid id;
    if (!zv::guid::tryFromString(text, id)) {
        try {
            zv::guid::fromString(text);
            std::abort(); // the two forms must agree
        } catch (bool) {
        }
        return 0;
    }
    const zv::string printed = id.toString();
    if (id.isInitialized()) {
        zv::string lower = text;
        for (wchar_t& c : lower)
            if (c >= L'A' && c <= L'F')
                c = static_cast<wchar_t>(c - L'A' + L'a');
        if (printed != lower)
            std::abort();
    } else if (printed != L"0") {
        std::abort();
    }
    if (id.isInitialized() && !(zv::guid::fromString(printed) == id))
        std::abort();
    return 0;
}
