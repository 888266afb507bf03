// The classes' self-tests: quick checks of the library on the running
// system, reported through the self-test protocol. They complement the unit
// tests by running where the application runs (its code page, its temporary
// folder, its file system).
#include "zvCodePage.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvString.h"
#include "zvTestEnv.h"

#include <vector>

namespace zv {

namespace {

// Reports a failed check as an error line; answers whether it held.
bool expect(testEnv& env, bool held, int line, const wchar_t* what) {
    if (!held)
        env.protocol(testEnv::error, ZV_TEST_SOURCE, line, L"%s", what);
    return held;
}

} // namespace

bool string::test(testEnv& env) {
    env.protocol(testEnv::classStart, ZV_TEST_SOURCE, __LINE__, L"%s", L"zv::string");
    bool ok = true;
    ok &= expect(env, sformat(L"%s=%04d|%-3c|%.2f", L"id", 42, L'x', 2.5) == L"id=0042|x  |2.50", __LINE__,
                 L"formatting of texts, integers, characters and decimals");
    const char* narrow = "narrow"; // a variable: a literal would pick the va_list overload on Windows
    ok &= expect(env, sformat(L"%S", narrow) == L"narrow", __LINE__, L"formatting of narrow texts");
    ok &= expect(env,
                 string(L"Hello").isEqualTo(L"hELLO", false) && !string(L"Hello").isEqualTo(L"hELLO", true),
                 __LINE__, L"comparison with and without case");
    ok &= expect(env, string(L"report.txt").matches(L"r*.t?t") && !string(L"report.txt").matches(L"*.doc"),
                 __LINE__, L"wildcard matching");
    string replaced(L"aaa");
    replaced.replace(string(L"a"), string(L"aa"));
    ok &= expect(env, replaced == L"aaaaaa", __LINE__, L"replacement never searches inserted text");
    std::vector<string> parts;
    ok &= expect(env, string(L"a;;c").splitAt(L";", parts, false) && parts.size() == 3 && parts[1].empty(),
                 __LINE__, L"splitting keeps empty parts");

    const unsigned page = ansiCodePage();
    env.protocol(testEnv::message, ZV_TEST_SOURCE, __LINE__, L"ANSI code page %u", page);
    const string ascii(L"Plain ASCII 0123");
    ok &= expect(env, makeMBCS(ascii) == ascii, __LINE__, L"ASCII survives the ANSI code page");
    const string accented(L"caf\u00e9");
    if (makeMBCS(accented) != accented)
        env.protocol(testEnv::warning, ZV_TEST_SOURCE, __LINE__, L"code page %u cannot hold \"%s\"", page,
                     accented.c_str());

    env.protocol(testEnv::classEnd, ZV_TEST_SOURCE, __LINE__, L"%s", L"zv::string");
    return ok;
}

bool directory::test(testEnv& env) {
    env.protocol(testEnv::classStart, ZV_TEST_SOURCE, __LINE__, L"%s", L"zv::directory");
    bool ok = true;
    const directory temp = systemTempDir();
    env.protocol(testEnv::message, ZV_TEST_SOURCE, __LINE__, L"temporary folder %s", temp.c_str());
    unsigned long long available = 0;
    if (temp.getDiskSpace(dsAvailable, dsMBytes, &available))
        env.protocol(testEnv::message, ZV_TEST_SOURCE, __LINE__, L"%llu MiB available there", available);

    const directory work = generateRandomDirectory(temp);
    if (!expect(env, !work.empty() && work.exists(), __LINE__, L"a new folder in the temporary folder")) {
        env.protocol(testEnv::classEnd, ZV_TEST_SOURCE, __LINE__, L"%s", L"zv::directory");
        return false;
    }
    const directory sub(work, L"Sub");
    ok &= expect(env, directory(work, L"Sub\\Deeper").create(true) && sub.exists(), __LINE__,
                 L"creating nested folders");
    ok &= expect(env, file(work, L"a.txt").create() && file(sub, L"b.txt").create(), __LINE__,
                 L"creating files");
    ok &= expect(env, work.numberOfFiles() == 1 && work.numberOfFiles(L"*.doc") == 0, __LINE__,
                 L"counting files by pattern");
    ok &= expect(env, directory(work, L"SUB").exists(), __LINE__, L"names found regardless of case");
    ok &= expect(env, !work.isEmpty(), __LINE__, L"a folder with files is not empty");
    ok &= expect(env, work.clear(true) && work.numberOfFiles() == 0 && sub.exists(), __LINE__,
                 L"clearing keeps the folders");
    ok &= expect(env, work.remove(true) && !work.exists(), __LINE__, L"removing the whole tree");
    if (work.exists())
        work.remove(true);

    env.protocol(testEnv::classEnd, ZV_TEST_SOURCE, __LINE__, L"%s", L"zv::directory");
    return ok;
}

} // namespace zv
