// zvZLib.h - the library's door to zlib: the gzip file functions of the
// zlib module, loaded at run time.
//
// The library does not link zlib. On first use it loads the zlib module
// ("zvzlib1.dll" on Windows, "libzvzlib1.so" on Linux): from the folder of
// the library's own module when the file is there, otherwise by bare name
// through the system's search. The module must export gzopen, gzwrite,
// gzread, gzclose and zvcompress, or it is rejected.
//
//     zv::zlibGuard use;                 // loads on first use, locks
//     if (use.acquired()) {
//         zv::gzFile gz = zv::gzopen(path, "wb");
//         ...
//     }                                  // unloaded after the last use
//
// Every use holds the process-wide zlib lock (a recursive `zv::mutex`), so
// the zlib functions run one at a time in the process and a thread may nest
// guards. The wrappers take a guard of their own; an open stream keeps the
// module loaded until it is closed, even between guards.
//
// gzopen takes an 8-bit path: on Windows the name in the ANSI code page (a
// name outside that page cannot be opened), on Linux the UTF-8 host path.
#pragma once

#include "zvDefs.h"
#include "zvString.h"

struct gzFile_s;

namespace zv {

class file;

/// An open gzip stream of the zlib module.
using gzFile = ::gzFile_s*;

/// One use of the zlib module. Acquiring loads the module if needed and
/// locks the zlib lock; a failed acquisition reports "Failed to find/init"
/// through `zv::assertMsg`, leaves nothing loaded or locked and the use
/// count at 0. Releasing (the destructor) unlocks and, after the last use,
/// unloads the module.
class ZV_API zlibGuard {
public:
    zlibGuard();
    ~zlibGuard();
    zlibGuard(const zlibGuard&) = delete;
    zlibGuard& operator=(const zlibGuard&) = delete;

    /// True when the module is loaded and the zlib lock held.
    bool acquired() const { return m_acquired; }

private:
    bool m_acquired;
};

/// zlib's gzip functions, each under a guard of its own. When the module
/// cannot be had: gzopen and gzwrite answer 0, gzread -1 and gzclose -2
/// (zlib's stream error), so a failure never reads as success.
ZV_API gzFile gzopen(const char* path, const char* mode);
ZV_API int gzwrite(gzFile file, const void* buffer, unsigned length);
ZV_API int gzread(gzFile file, void* buffer, unsigned length);
ZV_API int gzclose(gzFile file);

/// The 8-bit name gzopen takes for `f` (see above); false when there is
/// none (Windows: a character outside the ANSI code page).
ZV_API bool gzPathOf(const file& f, std::string& path);

} // namespace zv
