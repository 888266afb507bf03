// Decodes arbitrary input as Base64 and encodes it as bytes: decoding never
// writes more than three bytes per four characters, and encoding then
// decoding gives the bytes back exactly.
#include "zvBase64.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string decoded = "prefix";
    zv::base64_decode(input, decoded);
    if (decoded.compare(0, 6, "prefix") != 0 || decoded.size() - 6 > size / 4 * 3 + 2)
        std::abort();

    std::string encoded;
    zv::base64_encode(data, static_cast<unsigned>(size), encoded);
    if (encoded.size() != (size + 2) / 3 * 4)
        std::abort();
    std::string back;
    zv::base64_decode(encoded, back);
    if (back != input)
        std::abort();

    // Decoding a valid encoding re-encodes to the same text.
    std::string again;
    zv::base64_encode(reinterpret_cast<const unsigned char*>(back.data()), static_cast<unsigned>(back.size()),
                      again);
    if (again != encoded)
        std::abort();
    return 0;
}
