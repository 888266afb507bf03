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

} // namespace zv::os::posix
