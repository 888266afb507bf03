// zvOsPosixPath.h - helpers shared by the POSIX files of the OS layer:
// UTF-8 conversion and the mapping of library names to host paths.
#pragma once

#include <string>

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

} // namespace zv::os::posix
