// zvOsPosixProcess.h - process handles for children this library started,
// shared by the POSIX files of the OS layer.
#pragma once

namespace zv::os::posix {

/// A process handle (as `openProcess` gives) for a child started by this
/// process. Closing it before the child has been waited for hands the child
/// to a reaper, so that it does not stay behind as a zombie when it ends.
void* adoptChild(int pid);
/// Waits at most `timeoutMs` for the process behind `handle` to end; true
/// once it has (for a child: once it has been reaped and its code kept).
bool waitEnded(void* handle, unsigned int timeoutMs);

} // namespace zv::os::posix
