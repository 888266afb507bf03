// zvPeVersion.h - reads the fixed version block of a Windows executable or
// library (a PE image) without the Windows loader, so that versions of
// Windows binaries can be had on every platform.
//
// The reader is handed a function that reads bytes at an offset; every
// offset and size taken from the image is checked against the image size
// before it is used, so any input is safe.
#pragma once

#include "zvDefs.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace zv::pe {

/// The version numbers of the fixed version block.
struct fixedVersion {
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
};

/// Reads `size` bytes at `offset` into `buffer`; false when it cannot.
using byteReader = std::function<bool(std::uint64_t offset, void* buffer, std::size_t size)>;

/// Finds the version resource of the image of `imageSize` bytes and reads
/// its fixed block; false when the image is no PE image or has none.
ZV_API bool readFixedVersion(const byteReader& read, std::uint64_t imageSize, fixedVersion& out);

/// The same over an image in memory.
ZV_API bool readFixedVersion(const void* image, std::size_t size, fixedVersion& out);

} // namespace zv::pe
