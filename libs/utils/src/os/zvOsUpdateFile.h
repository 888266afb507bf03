// zvOsUpdateFile.h - the part of the OS layer for files that are built in a
// temporary file beside their target, put in the target's place while they
// stay open, and then written on in place (compound documents).
//
// Names are in the library's form (see zvOsFileSystem.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zv::os {

struct updateHandle;

/// Creates a new, hidden temporary file beside `target`, open for writing at
/// any offset. Null when the target is a folder or read-only, or the folder
/// cannot take a new file.
updateHandle* beginUpdate(const wchar_t* target);
/// Writes all `size` bytes at `offset`; false on an error.
bool writeUpdateAt(updateHandle* handle, std::uint64_t offset, const void* data, std::size_t size);
/// Cuts or extends the file to `size` bytes.
bool setUpdateSize(updateHandle* handle, std::uint64_t size);
/// Flushes the file to the disk.
bool syncUpdate(updateHandle* handle);
/// Flushes the temporary file to the disk, gives it the target's
/// permissions and attributes (a new target those of a new file) and
/// renames it over the target. The file stays open and is the target from
/// then on. False, with the temporary file still open, when that fails.
bool placeUpdate(updateHandle* handle);
/// Closes the file and consumes the handle (null is ignored); a temporary
/// file that was never placed is removed. False when the system reported an
/// error while closing.
bool endUpdate(updateHandle* handle);

/// A reader of such a file: it shares the file with a writer that goes on
/// writing it (and with its replacement). Null when it cannot be opened or
/// is a folder.
struct sharedReadHandle;
sharedReadHandle* openSharedRead(const wchar_t* name);
/// Reads exactly `size` bytes at `offset`; false on an error or a short read.
bool readSharedAt(sharedReadHandle* handle, std::uint64_t offset, void* buffer, std::size_t size);
/// The file's present size.
bool sharedReadSize(sharedReadHandle* handle, std::uint64_t& size);
void closeSharedRead(sharedReadHandle* handle);

} // namespace zv::os
