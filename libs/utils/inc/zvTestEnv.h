// zvTestEnv.h - the self-test protocol.
//
// Classes with a static `test(zv::testEnv&)` (such as `zv::string::test` and
// `zv::directory::test`) check themselves on the running system and report
// what they find through a `testEnv`, which appends one line per event to a
// protocol file:
//
//     zv::file log(L"C:\\temp\\selftest.txt");
//     zv::testEnv env(log);
//     env.protocol(zv::testEnv::classStart, ZV_TEST_SOURCE, __LINE__, L"%s", L"zv::thing");
//     env.protocol(zv::testEnv::error, ZV_TEST_SOURCE, __LINE__, L"%d of %d failed", 1, 3);
//     // "     Error:       1 of 3 failed    (src\thing.cpp (42))"
//
// A line is the classification's 18-character prefix, the message, "    (",
// the source file, " (", the line number and "))". Lines are written in
// UTF-8 and end with CR LF on Windows, LF elsewhere. Each line goes to the
// file in one appending write, so several environments (or processes) on one
// protocol keep every line whole and in call order. A protocol that cannot be
// written is ignored: self-tests never fail for their protocol's sake.
#pragma once

#include "zvDefs.h"
#include "zvDirectory.h"
#include "zvFile.h"

#define ZV_TEST_WIDEN2(x) L##x
#define ZV_TEST_WIDEN(x) ZV_TEST_WIDEN2(x)
/// The calling source file as wide text, for `testEnv::protocol`.
#define ZV_TEST_SOURCE ZV_TEST_WIDEN(__FILE__)

namespace zv {

/// The environment the self-tests report to: counts errors and writes one protocol line per event.
class ZV_API testEnv {
public:
    /// What a line reports; any other value writes 18 blanks as the prefix.
    enum eClassification : int {
        moduleStart = 0,
        moduleEnd = 1,
        classStart = 2,
        classEnd = 3,
        message = 4,
        warning = 5,
        error = 6
    };

    /// Appends to `protocolFile` (created on the first line).
    explicit testEnv(const file& protocolFile);
    ~testEnv();
    testEnv(const testEnv&) = delete;
    testEnv& operator=(const testEnv&) = delete;

    /// The folder of the protocol file.
    directory testPath() const;
    /// The protocol file.
    const file& protocolFile() const;
    /// Appends one line: the prefix of `classification`, the message formatted
    /// from `format` by the library's wide printf rules, then the source file
    /// and line. Null texts are written as empty texts.
    void protocol(eClassification classification, const wchar_t* sourceFile, int line, const wchar_t* format,
                  ...);
    /// How many warnings and errors this environment reported so far.
    unsigned warnings() const;
    /// The number of errors reported so far.
    unsigned errors() const;

private:
    struct impl;
    impl* m_impl;
};

} // namespace zv
