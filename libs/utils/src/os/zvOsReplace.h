// zvOsReplace.h - the part of the OS layer that replaces a file in one step.
// Included by zvOs.h.
//
// The new content goes to a temporary file in the target's folder; `commit`
// flushes it to the disk and renames it over the target, so a reader (or a
// process that dies half-way) sees the old file or the new one, never a mix.
#pragma once

#include <cstddef>
#include <string>

namespace zv::os {

struct replaceHandle;

/// Starts replacing the file `target` (a library name): creates a new,
/// hidden temporary file beside it. Null when the target is a folder or
/// read-only, or the folder cannot take a new file.
replaceHandle* beginReplace(const wchar_t* target);
/// Appends to the temporary file; false on an error (disk full, ...).
bool writeReplace(replaceHandle* handle, const void* data, std::size_t size);
/// Flushes the temporary file to the disk, gives it the target's
/// permissions and attributes (a new target gets the folder's defaults) and
/// renames it over the target. Consumes the handle; on failure the
/// temporary file is removed and the target is as it was.
bool commitReplace(replaceHandle* handle);
/// The library name of the temporary file, for writers that open files by
/// name (zlib): it may be opened for reading and for appending meanwhile.
std::wstring replaceTempName(const replaceHandle* handle);
/// Removes the temporary file and consumes the handle (null is ignored).
void abortReplace(replaceHandle* handle);

} // namespace zv::os
