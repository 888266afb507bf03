// zvOsLogFile.h - appending lines to a log file that other writers share.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zv::os {

struct sharedAppender;

/// True where a log file may stay open between lines: POSIX, where removing
/// or renaming an open file frees its name at once. On Windows an open file
/// that somebody deletes keeps its name until it is closed, so it is opened
/// for each line.
bool keepSharedAppendOpen();

/// Opens `name` for appending, creating it when missing, shared with other
/// readers, writers and deleters; null on failure and for anything that is
/// not an ordinary file (a pipe, a device).
sharedAppender* openSharedAppend(const wchar_t* name);
/// True when `name` still leads to the file `handle` has open (nobody removed,
/// renamed or replaced it); `size` is then its size as last seen by the
/// system plus what was appended through `handle` since. Meant for every
/// line: where the system reports changes to a path, this costs no walk
/// along it while nothing changed.
bool sharedAppendStillNames(sharedAppender* handle, const wchar_t* name, std::uint64_t& size);
/// Appends all `size` bytes at the current end of the file in one write, so
/// that lines of several writers never mix.
bool sharedAppend(sharedAppender* handle, const void* data, std::size_t size);
void closeSharedAppend(sharedAppender* handle);

} // namespace zv::os
