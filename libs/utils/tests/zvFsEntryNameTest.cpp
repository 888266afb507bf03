#include "zvFsEntryName.h"
#include "zvEnvironment.h"
#include "zvFile.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <filesystem>

namespace {

// The current drive as normalisation completes "\x" with it.
std::wstring currentDrive() {
    const zv::fsEntryName cwd(L".");
    return std::wstring(1, static_cast<wchar_t>(std::towupper(cwd[0]))) + L":";
}

} // namespace

TEST(fsEntryName, NormalisesDelimitersDotsAndDoubledBackslashes) {
    EXPECT_EQ(zv::fsEntryName(L"c:/Data//x/./y/../z.txt"), L"c:\\Data\\x\\z.txt");
    EXPECT_EQ(zv::fsEntryName(L"C:\\..\\x"), L"C:\\x");
    EXPECT_EQ(zv::fsEntryName(L"C:\\a\\..\\..\\b"), L"C:\\b");
    EXPECT_EQ(zv::fsEntryName(L"/:\\..\\x"), L"\\:\\x"); // whatever stands before the colon
    EXPECT_EQ(zv::fsEntryName(L"C:\\dir\\\\\\"), L"C:\\dir");
    EXPECT_EQ(zv::fsEntryName(L"C:\\"), L"C:");
    // ".." runs before ".", so a "." component is the one ".." removes.
    EXPECT_EQ(zv::fsEntryName(L"C:\\a\\.\\..\\b"), L"C:\\a\\b");
    EXPECT_EQ(zv::fsEntryName(L"C:dir"), L"C:dir"); // drive-relative: kept as it is
}

TEST(fsEntryName, CompletesRelativeAndRootedNames) {
    EXPECT_EQ(zv::fsEntryName(L"\\temp\\a"), currentDrive() + L"\\temp\\a");
    const zv::fsEntryName cwd(L".");
    ASSERT_FALSE(cwd.empty());
    EXPECT_EQ(zv::fsEntryName(L"a/b"), cwd + L"\\a\\b");
    EXPECT_EQ(zv::fsEntryName(L".."), zv::fsEntryName(cwd.path(0)));
    zv::fsEntryName withDelimiter;
    withDelimiter.setName(L"C:/x", true);
    EXPECT_EQ(withDelimiter, L"C:\\x\\");
    withDelimiter.setName(L"", true);
    EXPECT_TRUE(withDelimiter.empty());
}

TEST(fsEntryName, KeepsUncPrefixAndSplitsIt) {
    const zv::fsEntryName n(L"\\\\server\\share\\\\dir\\");
    EXPECT_EQ(n, L"\\\\server\\share\\dir");
    EXPECT_EQ(n.drive(), L"\\\\server");
    EXPECT_EQ(n.path(16), L"\\share\\");
    EXPECT_EQ(n.name(0), L"dir");
    EXPECT_EQ(n.driveLetter(), L' ');
    EXPECT_TRUE(zv::file(n).isRemote());
    EXPECT_EQ(zv::fsEntryName(L"//server/share/a"), L"\\\\server\\share\\a");
    // ".." stops at the server as it stops at a drive's root.
    EXPECT_EQ(zv::fsEntryName(L"\\\\srv\\..\\..\\x"), L"\\\\srv\\x");
}

TEST(fsEntryName, StripsQuotesAndWhatFollowsThem) {
    EXPECT_EQ(zv::fsEntryName(L"\"C:\\Program Files\\x\" -y"), L"C:\\Program Files\\x");
    EXPECT_EQ(zv::fsEntryName(L"\"C:\\open"), L"C:\\open");
}

TEST(fsEntryName, ExpandsOnlyTheFirstEnvironmentReference) {
    ASSERT_TRUE(zv::setEnvironmentVariable(L"ZV_FS_T", L"C:\\T"));
    ASSERT_TRUE(zv::setEnvironmentVariable(L"ZV_FS_U", L"u"));
    EXPECT_EQ(zv::fsEntryName(L"%ZV_FS_T%\\a.txt"), L"C:\\T\\a.txt");
    EXPECT_EQ(zv::fsEntryName(L"%ZV_FS_T%\\%ZV_FS_T%"), L"C:\\T\\C:\\T");
    EXPECT_EQ(zv::fsEntryName(L"%ZV_FS_T%\\%ZV_FS_U%"), L"C:\\T\\%ZV_FS_U%");
    zv::setEnvironmentVariable(L"ZV_FS_T", L"");
    zv::setEnvironmentVariable(L"ZV_FS_U", L"");
    // Unknown: the text stays and is taken relative to the working directory.
    EXPECT_EQ(zv::fsEntryName(L"%ZV_FS_T%\\a.txt"), zv::fsEntryName(L".") + L"\\%ZV_FS_T%\\a.txt");
}

TEST(fsEntryName, ComposesComponentsByFlags) {
    const zv::fsEntryName n(L"C:\\d\\a.tar.gz");
    EXPECT_EQ(n.name(0), L"a.tar.gz");
    EXPECT_EQ(n.name(2), L"a.tar");
    EXPECT_EQ(n.name(6), L"a");
    EXPECT_EQ(n.name(2 | 64), L"a.tar.gz");
    EXPECT_EQ(n.name(16), L"\\d\\a.tar.gz");
    EXPECT_EQ(n.name(8), L"a.tar.gz"); // the drive only with the path
    EXPECT_EQ(n.name(24), L"C:\\d\\a.tar.gz");
    EXPECT_EQ(n.extension(0), L"gz");
    EXPECT_EQ(n.extension(4), L"tar.gz");
    EXPECT_EQ(n.extension(32), L"a.tar.gz");
    EXPECT_EQ(n.extension(32 | 16 | 8), L"C:\\d\\a.tar.gz");
    EXPECT_EQ(n.path(0), L"C:\\d\\");
    EXPECT_EQ(n.path(16), L"\\d\\");
    EXPECT_EQ(n.path(32), L"\\d\\a.tar");
    EXPECT_EQ(n.path(40), L"C:\\d\\a.tar");
    EXPECT_EQ(n.path(104), L"C:\\d\\a.tar.gz");
    EXPECT_EQ(zv::fsEntryName(L"c:\\x").drive(), L"C:");
    EXPECT_EQ(zv::fsEntryName(L"c:\\x").driveLetter(), L'C');

    zv::string d, p, name, e;
    zv::fsEntryName(L"C:\\noext").getComponents(d, p, name, e, true);
    EXPECT_EQ(name, L"noext");
    EXPECT_TRUE(e.empty());
    zv::fsEntryName().getComponents(d, p, name, e, true);
    EXPECT_TRUE(d.empty() && p.empty() && name.empty() && e.empty());
}

TEST(fsEntryName, EditsExtensionAndDelimiter) {
    zv::fsEntryName n(L"C:\\d\\a.tar.gz");
    n.removeExtension(0);
    EXPECT_EQ(n, L"C:\\d\\a.tar");
    n.removeExtension(zv::fsEntryName::firstDot);
    EXPECT_EQ(n, L"C:\\d\\a");
    n.appendExtension(L"bak");
    EXPECT_EQ(n, L"C:\\d\\a.bak");

    zv::fsEntryName raw;
    raw.assign(L"C:\\x\\\\");
    raw.appendDelimiter();
    EXPECT_EQ(raw, L"C:\\x\\");
    raw.assign(L"\\\\\\");
    raw.appendDelimiter();
    EXPECT_TRUE(raw.empty());
    raw.appendExtension(L"x");
    EXPECT_TRUE(raw.empty());
}

TEST(fsEntryName, JoiningNeedsADirectory) {
    EXPECT_TRUE(zv::fsEntryName(zv::string(), L"name.txt").empty());
    EXPECT_EQ(zv::fsEntryName(L"C:\\a\\", L"b\\c.txt"), L"C:\\a\\b\\c.txt");
    EXPECT_EQ(zv::fsEntryName(L"C:\\a", zv::string(), true), L"C:\\a\\");
}

TEST(fsEntryName, RelativeNames) {
    const zv::fsEntryName target(L"C:\\a\\b\\c.txt");
    EXPECT_EQ(target.relativeNameTo(zv::fsEntryName(L"C:\\a", zv::string(), true)), L".\\b\\c.txt");
    EXPECT_EQ(target.relativeNameTo(zv::fsEntryName(L"C:\\a\\x", zv::string(), true)), L"..\\b\\c.txt");
    EXPECT_EQ(target.relativeNameTo(zv::fsEntryName(L"C:\\q\\r\\s", zv::string(), true)),
              L"..\\..\\..\\a\\b\\c.txt");
    EXPECT_EQ(target.relativeNameTo(zv::fsEntryName(L"D:\\a", zv::string(), true)), L"C:\\a\\b\\c.txt");
    // Case is ignored and the result is lower case.
    EXPECT_EQ(
        zv::fsEntryName(L"C:\\A\\B.TXT").relativeNameTo(zv::fsEntryName(L"c:\\a\\", zv::string(), true)),
        L".\\b.txt");
    // Without a trailing delimiter the base matches as a plain prefix.
    EXPECT_EQ(zv::fsEntryName(L"c:\\abc\\x").relativeNameTo(zv::fsEntryName(L"c:\\ab")), L".\\c\\x");
    // UNC names on the same server.
    EXPECT_EQ(zv::fsEntryName(L"\\\\srv\\share\\x")
                  .relativeNameTo(zv::fsEntryName(L"\\\\srv\\other\\", zv::string(), true)),
              L"..\\share\\x");
}

TEST(fsEntryName, RelativeNameEndsWhenNoCommonRootExists) {
    // A drive-relative name shares its drive with the base but no root.
    zv::fsEntryName odd;
    odd.assign(L"c:x");
    EXPECT_EQ(odd.relativeNameTo(zv::fsEntryName(L"C:\\y", zv::string(), true)), L"");
}

TEST(fsEntryName, StaticHelpers) {
    int levels = 7;
    EXPECT_TRUE(zvtest::gives(zv::fsEntryName::isARelativePath(L"a\\b", &levels), levels, true, 0));
    EXPECT_TRUE(zv::fsEntryName::isARelativePath(L"\\"));
    EXPECT_FALSE(zv::fsEntryName::isARelativePath(L"\\x"));
    EXPECT_FALSE(zv::fsEntryName::isARelativePath(L"/x"));
    EXPECT_FALSE(zv::fsEntryName::isARelativePath(L"c:"));

    EXPECT_TRUE(zv::fsEntryName::containsInvalidChars(L"a#b"));
    EXPECT_TRUE(zv::fsEntryName::containsInvalidChars(L"a\\b"));
    EXPECT_FALSE(zv::fsEntryName::containsInvalidChars(L"a b.txt"));

    EXPECT_EQ(zv::fsEntryName::replaceInvalidChars(L"  a:b?c ", L'_'), L"a_b_c");
    EXPECT_EQ(zv::fsEntryName::replaceInvalidChars(L"  a:b?c ", L'*'), L"a b c");
    // Characters the ANSI code page cannot hold become "?" and are replaced.
    EXPECT_EQ(zv::fsEntryName::replaceInvalidChars(L"x\u65e5y", L'-'), L"x-y");
}

TEST(fsEntryName, OutputsKeepTheInvariants) {
    const wchar_t* inputs[] = {L"\\\\",
                               L"\\\\..\\x",
                               L"C:\\..\\..\\..",
                               L"C:/./././",
                               L"\\..\\..",
                               L"a\\..\\..\\..\\b",
                               L"C:\\.\\..\\.\\..",
                               L"\"\"",
                               L"\"",
                               L"%",
                               L"%%",
                               L"C:\\a\\\\\\..\\.\\b\\",
                               L"//x/../../y",
                               L"C:\\...\\..\\x",
                               L"C:.."};
    for (const wchar_t* in : inputs) {
        const zv::fsEntryName n(in);
        EXPECT_EQ(n.find(L'/'), std::wstring::npos) << in;
        EXPECT_EQ(n.find(L"\\\\", 1), std::wstring::npos) << in;
        EXPECT_EQ((n + L"\\").find(L"\\.\\"), std::wstring::npos) << in;
        EXPECT_EQ((n + L"\\").find(L"\\..\\"), std::wstring::npos) << in;
        EXPECT_TRUE(n.empty() || n.back() != L'\\') << in;
        EXPECT_EQ(zv::fsEntryName(zv::string(n)), n) << in; // idempotent
        EXPECT_TRUE(n.empty() || (n.size() >= 2 && (n[1] == L':' || n.compare(0, 2, L"\\\\") == 0))) << in;
    }
}

// ---- the Linux mapping of names to host paths ---------------------------

#ifndef _WIN32
namespace {

class scopedEnv {
public:
    scopedEnv(const wchar_t* name, const std::wstring& value) : m_name(name) {
        m_had = zv::getEnvironmentVariable(name, m_old);
        zv::setEnvironmentVariable(name, value.c_str());
    }
    ~scopedEnv() { zv::setEnvironmentVariable(m_name, m_had ? m_old.c_str() : L""); }

private:
    const wchar_t* m_name;
    zv::string m_old;
    bool m_had;
};

} // namespace

TEST(hostMapping, DrivesAndUncRootsMapToConfiguredFolders) {
    zvtest::tempFolder tmp;
    const std::wstring host = tmp.host().wstring();
    scopedEnv drive(L"ZV_DRIVE_Q", host);
    scopedEnv unc(L"ZV_UNC_ROOT", host);
    EXPECT_EQ(zv::fsEntryName(L"Q:\\sub\\f.txt").hostPath(), host + L"/sub/f.txt");
    EXPECT_EQ(zv::fsEntryName(L"q:\\").hostPath(), host);
    EXPECT_EQ(zv::fsEntryName(L"\\\\srv\\share\\x").hostPath(), host + L"/srv/share/x");
    EXPECT_EQ(zv::fsEntryName(L"C:\\tmp\\x").hostPath(), L"/tmp/x");
    EXPECT_TRUE(zv::fsEntryName(L"R:\\x").hostPath().empty()) << "an unmapped drive does not exist";
    EXPECT_FALSE(zv::file(L"R:\\x").exists());
    // The closest mapped root names a host path.
    EXPECT_EQ(zv::fsEntryName::fromHostPath(host + L"/a/b"), L"Q:\\a\\b");
    EXPECT_EQ(zv::fsEntryName::fromHostPath(L"/"), L"C:");
}

TEST(hostMapping, RootDriveCanBeAnotherLetter) {
    scopedEnv root(L"ZV_ROOT_DRIVE", L"D");
    EXPECT_EQ(zv::fsEntryName(L"D:\\etc").hostPath(), L"/etc");
    EXPECT_TRUE(zv::fsEntryName(L"C:\\etc").hostPath().empty());
    EXPECT_EQ(zv::fsEntryName::fromHostPath(L"/etc"), L"D:\\etc");
}

TEST(hostMapping, MissesAreResolvedIgnoringCase) {
    zvtest::tempFolder tmp;
    tmp.write(L"Sub/File.TXT", "abc");
    scopedEnv drive(L"ZV_DRIVE_Q", tmp.host().wstring());
    const zv::file f(L"Q:\\sub\\file.txt");
    EXPECT_TRUE(f.exists());
    EXPECT_EQ(f.size(), 3u);
    EXPECT_EQ(f.hostPath(), tmp.host().wstring() + L"/Sub/File.TXT");
    // A new name below an existing folder keeps its own spelling.
    EXPECT_EQ(zv::fsEntryName(L"Q:\\SUB\\New.txt").hostPath(), tmp.host().wstring() + L"/Sub/New.txt");
}

// ".." never climbs above the folder a drive is mapped to.
TEST(hostMapping, DotDotStaysInsideTheMappedRoot) {
    zvtest::tempFolder tmp;
    tmp.write(L"secret.txt", "outside");
    tmp.write(L"d/x.txt", "inside");
    const std::wstring root = (tmp.host() / "d").wstring();
    scopedEnv drive(L"ZV_DRIVE_Q", root);
    const struct {
        const wchar_t* name;
        std::wstring host;
    } cases[] = {
        {L"Q:..\\secret.txt", root + L"/secret.txt"},
        {L"Q:..\\..\\..\\secret.txt", root + L"/secret.txt"},
        {L"Q:..\\a\\..\\..\\x.txt", root + L"/x.txt"},
        {L"Q:..\\x.txt", root + L"/x.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zv::fsEntryName(c.name).hostPath(), c.host) << c.name;
    EXPECT_FALSE(zv::file(L"Q:..\\secret.txt").exists());
    EXPECT_FALSE(zv::file(L"Q:..\\secret.txt").remove());
    EXPECT_EQ(zvtest::readAll(tmp.host() / "secret.txt"), "outside");
    EXPECT_EQ(zv::file(L"Q:..\\x.txt").size(), 6u);
}
#endif

// A bool second argument asks for the trailing backslash; it is never taken
// for a name to join ("\x01").
TEST(fsEntryName, ABoolSecondArgumentAppendsTheDelimiter) {
    EXPECT_EQ(zv::fsEntryName(L"C:\\Data", true), L"C:\\Data\\");
    EXPECT_EQ(zv::fsEntryName(zv::string(L"C:\\Data"), false), L"C:\\Data");
    EXPECT_EQ(zv::fsEntryName(L"C:\\Data", L"x"), L"C:\\Data\\x");
    EXPECT_EQ(zv::fsEntryName(zv::string(L"C:\\Data"), zv::string(L"x"), true), L"C:\\Data\\x\\");
    // The example of the header.
    const zv::fsEntryName n(L"c:/Data//x/./y/../z.txt");
    EXPECT_EQ(n, L"c:\\Data\\x\\z.txt");
    EXPECT_EQ(n.relativeNameTo(zv::fsEntryName(L"C:\\Data", true)), L".\\x\\z.txt");
}
