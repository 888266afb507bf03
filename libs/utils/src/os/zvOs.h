// zvOs.h - the library's only door to the operating system.
//
// Domain code includes this header instead of any system header. Each
// function is implemented once in posix/ and once in win32/; CMake picks the
// set for the target. The contract is named after what callers need, not
// after a system call, and reports failures as values.
#pragma once

namespace zv::os {

// ---- diagnostics -------------------------------------------------------

/// Writes an assertion text to standard error (UTF-8, followed by a line
/// break) and, where the platform has one, to the debugger output.
void reportAssertion(const wchar_t* text);

// ---- mutexes -----------------------------------------------------------

struct mutexHandle;

/// An unnamed, recursive mutex that no thread owns; null when the system
/// refuses one.
mutexHandle* createMutex();
void destroyMutex(mutexHandle* handle);

/// Waits for the mutex at most `timeoutMs` milliseconds (`waitForever`
/// waits without limit; 0 only tries). A mutex whose owner ended while
/// holding it counts as obtained.
constexpr unsigned int waitForever = 0xFFFFFFFFu;
bool lockMutex(mutexHandle* handle, unsigned int timeoutMs);
void releaseMutex(mutexHandle* handle);

} // namespace zv::os
