// zvDefs.h - export macro, library version and the assertion convention.
//
// Every public declaration of the library is marked `ZV_API`; the library is
// built with hidden visibility, so whatever is not marked stays private.
//
// Broken invariants and invalid arguments are reported in one way throughout:
// the failed condition, the source file and the line are formatted into
// "Assertion failed:\n%s\n\nFile: %s\nLine: %d", handed to `zv::assertMsg`,
// and a plain `bool` false is thrown. Callers that must survive catch `bool`:
//
//     try { ZV_ASSERT(index < size()); } catch (bool) { /* recovered */ }
#pragma once

#if defined(_WIN32)
#if defined(ZV_BUILDING_UTILS)
#define ZV_API __declspec(dllexport)
#else
#define ZV_API __declspec(dllimport)
#endif
#else
#define ZV_API __attribute__((visibility("default")))
#endif

namespace zv {

/// The library's version as "major.minor.patch".
ZV_API const char* libraryVersion();

/// Receives every assertion message; installed with `setAssertHandler`.
using assertHandler = void (*)(const wchar_t* message);

/// Reports an assertion message through the installed handler. Without one,
/// the text goes to standard error (and, on Windows, to the debugger output).
ZV_API void assertMsg(const wchar_t* message);

/// Installs `handler` for every later `assertMsg` (null restores the default)
/// and returns the previous one. Safe to call from any thread.
ZV_API assertHandler setAssertHandler(assertHandler handler);

/// Formats the assertion text for `expression` at `file`:`line`, reports it
/// through `assertMsg` and throws `false`. Used through `ZV_ASSERT`.
[[noreturn]] ZV_API void assertFailed(const char* expression, const char* file, int line);

} // namespace zv

/// Checks an invariant; on failure reports it and throws `bool` false.
#define ZV_ASSERT(expr)                                                                                      \
    do {                                                                                                     \
        if (!(expr))                                                                                         \
            ::zv::assertFailed(#expr, __FILE__, __LINE__);                                                   \
    } while (false)
