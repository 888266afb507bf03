// zvOsFileStamp.h - what tells a reader that a file changed since it last
// read it. Included by zvOs.h.
#pragma once

#include <cstdint>

namespace zv::os {

/// A file's identity (the device and inode; the volume and file id on
/// Windows), size and times of its last modification and of its last
/// status change, each to the finest resolution the system keeps (opaque
/// values, only for comparing). Rewriting a file, renaming another over it
/// or setting its times back changes its stamp, also within one second.
struct fileStamp {
    bool exists = false;
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
    long long modification = 0;
    long long change = 0;

    bool operator==(const fileStamp&) const = default;
};

/// The stamp of the file at `name`; false, with an empty stamp (`exists`
/// false), when nothing can be found there.
bool readFileStamp(const wchar_t* name, fileStamp& stamp);

} // namespace zv::os
