// zvOsWin32File.h - helpers shared by the Win32 files of the OS layer that
// write files: whole writes and reads, and the temporary file beside a
// target that is replaced in one step.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace zv::os::win32 {
/// Writes all `size` bytes at the file pointer, or at `*offset` when it is
/// given, in pieces the API accepts; false on an error.
bool writeAll(HANDLE h, const void* data, std::size_t size, const std::uint64_t* offset = nullptr);
/// Reads exactly `size` bytes at `offset`; false on an error or a short read.
bool readAllAt(HANDLE h, std::uint64_t offset, void* buffer, std::size_t size);
/// True for the attributes of a target that may not be replaced by a new
/// file: a folder or a read-only file.
bool refusedTarget(DWORD attributes);
/// The attributes a replacement takes over from its target (hidden, system,
/// archive, not indexed); a new target gets "archive".
DWORD replacementAttributes(DWORD targetAttributes);
/// Creates a new hidden file beside `target` ("~" + its name + a unique
/// suffix) with the given access and sharing; its name in `temp`, or
/// INVALID_HANDLE_VALUE.
HANDLE createTempBeside(const std::wstring& target, DWORD access, DWORD share, std::wstring& temp);
/// Removes a temporary file, hidden or not.
void removeTemp(const std::wstring& temp);
} // namespace zv::os::win32
