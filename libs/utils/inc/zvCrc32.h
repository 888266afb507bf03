// zvCrc32.h - the standard CRC-32 (IEEE 802.3, reflected polynomial
// 0xEDB88320), as used by zip, gzip and PNG.
//
//     zv::calcCrc32 c;
//     c.crc("ab", 2);
//     c.crc("c", 1);
//     c.value();        // 0x352441C2, the same as feeding "abc" at once
//
// Large inputs run through carry-less multiplication where the processor
// has it and through slicing-by-8 tables elsewhere; both give the same bits.
#pragma once

#include "zvDefs.h"

#include <cstddef>
#include <cstdint>

namespace zv {

/// A running CRC-32: the register starts at 0xFFFFFFFF, each `crc` call feeds
/// bytes into it, and the finished CRC is the register with all bits inverted.
/// One object is used by one thread at a time; any number of objects may run
/// concurrently.
class ZV_API calcCrc32 {
public:
    calcCrc32() = default;

    /// Feeds `size` bytes at `data` into the register (nothing when `size` is 0).
    void crc(void const* data, unsigned long size);

    /// The running register, before the final inversion.
    std::uint32_t getRegister() const { return m_register; }
    /// The finished CRC-32 of everything fed so far.
    std::uint32_t value() const { return ~m_register; }
    /// Starts over, as a new object.
    void reset() { m_register = 0xFFFFFFFFu; }

private:
    std::uint32_t m_register = 0xFFFFFFFFu;
};

namespace detail {

/// The ways to compute the CRC; `automatic` picks the fastest the processor offers.
enum class eCrc32Kernel { automatic, portable, carryless };

/// Feeds `size` bytes into `reg` with the chosen kernel and returns the new
/// register. Exposed so tests and benchmarks can pin a kernel; a `carryless`
/// request on a processor without it falls back to `portable`.
ZV_API std::uint32_t crc32Update(std::uint32_t reg, void const* data, std::size_t size, eCrc32Kernel kernel);

/// True when the processor offers carry-less multiplication.
ZV_API bool crc32HasCarryless();

} // namespace detail

} // namespace zv
