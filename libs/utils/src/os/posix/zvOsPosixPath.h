// zvOsPosixPath.h - helpers shared by the POSIX files of the OS layer:
// UTF-8 conversion and the mapping of library names to host paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace zv::os::posix {

std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);

/// The host path of a library name, resolved case-insensitively on a miss;
/// false when the drive or UNC root is not mapped.
bool mapToHost(const wchar_t* name, std::string& host);

/// The attribute bits of the entry at `host` whose status is known.
unsigned attributesOf(const std::string& host, bool isDirectory, unsigned mode);

/// The folder of a host path ("." without one, "/" for the root).
std::string folderOf(const std::string& path);
/// `path`, or the file a symbolic link there names, so that replacing it
/// keeps the link; false for a dangling link.
bool resolveLink(const std::string& path, std::string& resolved);
/// Creates a new hidden file beside `target` ("." + its name + a unique
/// suffix, within the name limit) opened with `flags`; its descriptor and
/// name, or -1.
int createTempBeside(const std::string& target, int flags, std::string& temp);

/// Reads the status of a file about to be replaced by a new one. False when
/// it may not be: a folder, a write-protected file, or a status that cannot
/// be read; `existed` tells whether there is a file at all.
bool replaceableTarget(const std::string& target, struct stat& status, bool& existed);
/// Gives the new file `fd` the owner, group and "user.DOSATTRIB" of the file
/// whose status is `status`, as far as the system allows (a caller who may
/// not give the file away, or a file system without extended attributes,
/// keeps its own), and its mode; false only when the mode does not take.
bool takeOverStatus(int fd, const std::string& target, const struct stat& status);
/// Flushes the entries of a folder, so a new name in it is on the disk too.
void syncFolder(const std::string& folder);
/// Writes all `size` bytes at the descriptor's position, going on after
/// interrupted and partial writes; false on an error.
bool writeAll(int fd, const void* data, std::size_t size);
/// Writes all `size` bytes at `offset`; false on an error or an offset
/// beyond the largest file.
bool writeAllAt(int fd, std::uint64_t offset, const void* data, std::size_t size);
/// Reads exactly `size` bytes at `offset`; false on an error or a short read.
bool readAllAt(int fd, std::uint64_t offset, void* buffer, std::size_t size);
} // namespace zv::os::posix
