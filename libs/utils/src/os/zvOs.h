// zvOs.h - the library's only door to the operating system.
//
// Domain code includes this header instead of any system header. Each
// function is implemented once in posix/ and once in win32/; CMake picks the
// set for the target. The contract is named after what callers need, not
// after a system call, and reports failures as values.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

#include "zvOsFileStamp.h"
#include "zvOsFileSystem.h"
#include "zvOsProcess.h"
#include "zvOsReplace.h"
#include "zvOsThread.h"

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

// ---- code pages --------------------------------------------------------

/// The process's ANSI code page: the system's on Windows; elsewhere the
/// value of ZV_ANSI_CODEPAGE read once, else 1252.
unsigned int ansiCodePage();

/// True where the system's own converters define every code page (Windows);
/// false where the library's built-in 1252 and UTF-8 tables come first and
/// the system converts only the other pages.
bool systemDefinesCodePages();

/// Wide text to `codePage`; characters the page cannot hold become its
/// default character. Appends to `out`; false when the system does not know
/// the page (nothing appended then).
bool wideToCodePage(unsigned int codePage, const wchar_t* text, std::size_t length, std::string& out);

/// Bytes in `codePage` to wide text, appended to `out`; bytes that do not
/// form a character become the page's default character. False when the
/// system does not know the page.
bool codePageToWide(unsigned int codePage, const char* text, std::size_t length, std::wstring& out);

// ---- locale ------------------------------------------------------------

/// The decimal separator of the user's locale ("." when there is none): on
/// Windows the user-default locale's setting, read on every call; elsewhere
/// the numeric locale of the environment, read once.
std::wstring userDecimalSeparator();

// ---- clock and time zone -----------------------------------------------

/// The current moment: whole seconds since 1970-01-01 UTC and the millisecond.
void currentTime(long long& seconds, unsigned int& msecond);
/// The local (`localTime`) or UTC (`utcTime`) calendar fields of `seconds`
/// since 1970, in the thread-safe forms; false when the system cannot convert.
bool localTime(long long seconds, std::tm& out);
bool utcTime(long long seconds, std::tm& out);
/// Local calendar fields to seconds since 1970 (`tm_isdst` as given, -1 lets
/// the system decide); `fields` is normalised. False when the system cannot convert.
bool makeLocalTime(std::tm& fields, long long& seconds);
/// Reads the time-zone setting of the environment again (`TZ`).
void resetTimeZone();
/// The processor clock in milliseconds: elapsed wall-clock time on Windows,
/// as its runtime defines `clock()`; a monotonic clock elsewhere.
long long processClockMs();

// ---- timers and the message loop --------------------------------------

/// Called on the creating thread, from `pumpMessages`, for each timer event.
using timerProcedure = void (*)(unsigned int id);

/// Starts a periodic timer owned by the calling thread. `id` is the
/// caller's proposal; the result is the identifier the procedure will
/// receive (the system may choose another), 0 on failure.
unsigned int startTimer(unsigned int id, unsigned int intervalMs, timerProcedure procedure);
/// Stops the timer; events already taken from the system are the caller's affair.
void stopTimer(unsigned int id);
/// Runs the calling thread's message loop for `timeoutMs` milliseconds:
/// due timers of this thread call their procedure.
void pumpMessages(unsigned int timeoutMs);

// ---- unique identifiers ------------------------------------------------

/// The 16 bytes of an identity in the Windows GUID field order: `data1`,
/// `data2`, `data3` as numbers, then the 8 bytes of `data4`.
struct guidFields {
    unsigned int data1;
    unsigned short data2;
    unsigned short data3;
    unsigned char data4[8];
};

/// A new time-based identity; false when the system cannot make one (an
/// identity that is only locally unique counts as made).
bool createSequentialGuid(guidFields& out);
/// A new random identity; false when the system cannot make one.
bool createRandomGuid(guidFields& out);
/// The system's text of `id`: 36 characters, 8-4-4-4-12 lower-case
/// hexadecimal groups; false on failure.
bool guidToString(const guidFields& id, std::wstring& text);

} // namespace zv::os
