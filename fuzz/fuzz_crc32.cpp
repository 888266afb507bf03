// Checks the CRC-32 kernels against a plain bytewise reference, fed whole and
// in two pieces split where the input's first byte says.
#include "zvCrc32.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

namespace {

std::uint32_t bytewise(std::uint32_t reg, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        reg ^= p[i];
        for (int b = 0; b < 8; ++b)
            reg = (reg >> 1) ^ ((reg & 1u) ? 0xEDB88320u : 0u);
    }
    return reg;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using zv::detail::eCrc32Kernel;
    const std::uint32_t expected = bytewise(0xFFFFFFFFu, data, size);
    for (auto kernel : {eCrc32Kernel::portable, eCrc32Kernel::carryless, eCrc32Kernel::automatic}) {
        if (zv::detail::crc32Update(0xFFFFFFFFu, data, size, kernel) != expected)
            std::abort();
    }
    const std::size_t cut = size ? data[0] % (size + 1) : 0;
    zv::calcCrc32 pieces;
    pieces.crc(data, static_cast<unsigned long>(cut));
    pieces.crc(data + cut, static_cast<unsigned long>(size - cut));
    if (pieces.getRegister() != expected)
        std::abort();
    return 0;
}
