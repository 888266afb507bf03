#include "zvFsEntryName.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <cwctype>

TEST(fsEntryName, NormalisesCompletesAndStripsQuotes) {
    const zv::fsEntryName cwd(L".");
    ASSERT_FALSE(cwd.empty());
    const std::wstring drive = std::wstring(1, static_cast<wchar_t>(std::towupper(cwd[0]))) + L":";
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"c:/Data//x/./y/../z.txt", L"c:\\Data\\x\\z.txt"},
        {L"C:\\a\\..\\..\\b", L"C:\\b"},
        {L"/:\\..\\x", L"\\:\\x"}, // whatever stands before the colon
        {L"C:\\dir\\\\\\", L"C:\\dir"},
        {L"C:\\", L"C:"},
        {L"C:\\a\\.\\..\\b", L"C:\\a\\b"}, // ".." runs before ".", so "." is the one ".." removes
        {L"C:dir", L"C:dir"},              // drive-relative: kept as it is
        {L"\\temp\\a", drive + L"\\temp\\a"},
        {L"a/b", cwd + L"\\a\\b"},
        {L"..", zv::fsEntryName(cwd.path(0))},
        {L"//server/share\\\\dir/", L"\\\\server\\share\\dir"},
        {L"\\\\srv\\..\\..\\x", L"\\\\srv\\x"}, // ".." stops at the server as at a drive's root
        {L"\"C:\\Program Files\\x\" -y", L"C:\\Program Files\\x"},
        {L"\"C:\\open", L"C:\\open"},
    };
    for (const auto& [in, expected] : cases)
        EXPECT_EQ(zv::fsEntryName(in), expected) << in;
    // A bool second argument asks for the trailing backslash; it is never
    // taken for a name to join ("\x01").
    EXPECT_EQ(zv::fsEntryName(L"C:/x", true), L"C:\\x\\");
    EXPECT_EQ(zv::fsEntryName(zv::string(L"C:\\Data"), false), L"C:\\Data");
    EXPECT_EQ(zv::fsEntryName(zv::string(L"C:\\Data"), zv::string(L"x"), true), L"C:\\Data\\x\\");
    EXPECT_EQ(zv::fsEntryName(L"C:\\a\\", L"b\\c.txt"), L"C:\\a\\b\\c.txt");
    EXPECT_TRUE(zv::fsEntryName(zv::string(), L"name.txt").empty()) << "joining needs a directory";
    EXPECT_TRUE(zv::fsEntryName(L"", true).empty());
}

TEST(fsEntryName, ExpandsOnlyTheFirstEnvironmentReference) {
    {
        zvtest::envGuard t(L"ZV_FS_T", L"C:\\T"), u(L"ZV_FS_U", L"u");
        EXPECT_EQ(zv::fsEntryName(L"%ZV_FS_T%\\%ZV_FS_T%"), L"C:\\T\\C:\\T");
        EXPECT_EQ(zv::fsEntryName(L"%ZV_FS_T%\\%ZV_FS_U%"), L"C:\\T\\%ZV_FS_U%");
    }
    // Unknown: the text stays and is taken relative to the working directory.
    EXPECT_EQ(zv::fsEntryName(L"%ZV_FS_T%\\a.txt"), zv::fsEntryName(L".") + L"\\%ZV_FS_T%\\a.txt");
}

TEST(fsEntryName, ComposesAndEditsComponentsByFlags) {
    const zv::fsEntryName n(L"C:\\d\\a.tar.gz");
    const std::pair<zv::string, const wchar_t*> cases[] = {
        {n.name(0), L"a.tar.gz"},
        {n.name(2), L"a.tar"},
        {n.name(6), L"a"},
        {n.name(2 | 64), L"a.tar.gz"},
        {n.name(16), L"\\d\\a.tar.gz"},
        {n.name(8), L"a.tar.gz"}, // the drive only with the path
        {n.name(24), L"C:\\d\\a.tar.gz"},
        {n.extension(0), L"gz"},
        {n.extension(4), L"tar.gz"},
        {n.extension(32), L"a.tar.gz"},
        {n.extension(56), L"C:\\d\\a.tar.gz"},
        {n.path(0), L"C:\\d\\"},
        {n.path(16), L"\\d\\"},
        {n.path(32), L"\\d\\a.tar"},
        {n.path(40), L"C:\\d\\a.tar"},
        {n.path(104), L"C:\\d\\a.tar.gz"},
        {zv::fsEntryName(L"c:\\x").drive(), L"C:"},
        {zv::fsEntryName(L"\\\\server\\share\\dir").drive(), L"\\\\server"},
    };
    for (const auto& [got, expected] : cases)
        EXPECT_EQ(got, expected);
    EXPECT_EQ(zv::fsEntryName(L"c:\\x").driveLetter(), L'C');
    EXPECT_EQ(zv::fsEntryName(L"\\\\server\\x").driveLetter(), L' ');
    EXPECT_TRUE(zv::file(L"\\\\server\\share\\dir").isRemote());
    zv::string d, p, name, e;
    zv::fsEntryName(L"C:\\noext").getComponents(d, p, name, e, true);
    EXPECT_EQ(name + L"|" + e, L"noext|");
    zv::fsEntryName().getComponents(d, p, name, e, true);
    EXPECT_TRUE(d.empty() && p.empty() && name.empty() && e.empty());

    zv::fsEntryName edited(n);
    edited.removeExtension(0);
    EXPECT_EQ(edited, L"C:\\d\\a.tar");
    edited.removeExtension(zv::fsEntryName::firstDot);
    edited.appendExtension(L"bak");
    EXPECT_EQ(edited, L"C:\\d\\a.bak");
    zv::fsEntryName raw;
    raw.assign(L"C:\\x\\\\");
    raw.appendDelimiter();
    EXPECT_EQ(raw, L"C:\\x\\");
    raw.assign(L"\\\\\\");
    raw.appendDelimiter();
    raw.appendExtension(L"x");
    EXPECT_TRUE(raw.empty());
}

TEST(fsEntryName, RelativeNames) {
    auto dir = [](const wchar_t* name) { return zv::fsEntryName(name, true); };
    const zv::fsEntryName target(L"C:\\a\\b\\c.txt");
    zv::fsEntryName driveRelative;
    driveRelative.assign(L"c:x");
    const std::pair<zv::string, const wchar_t*> cases[] = {
        {target.relativeNameTo(dir(L"C:\\a")), L".\\b\\c.txt"},
        {target.relativeNameTo(dir(L"C:\\a\\x")), L"..\\b\\c.txt"},
        {target.relativeNameTo(dir(L"C:\\q\\r\\s")), L"..\\..\\..\\a\\b\\c.txt"},
        {target.relativeNameTo(dir(L"D:\\a")), L"C:\\a\\b\\c.txt"},
        {zv::fsEntryName(L"C:\\A\\B.TXT").relativeNameTo(dir(L"c:\\a\\")), L".\\b.txt"}, // lower case
        // Without a trailing delimiter the base matches as a plain prefix.
        {zv::fsEntryName(L"c:\\abc\\x").relativeNameTo(zv::fsEntryName(L"c:\\ab")), L".\\c\\x"},
        {zv::fsEntryName(L"\\\\srv\\share\\x").relativeNameTo(dir(L"\\\\srv\\other\\")), L"..\\share\\x"},
        // A drive-relative name shares its drive with the base but no root.
        {driveRelative.relativeNameTo(dir(L"C:\\y")), L""},
    };
    for (const auto& [got, expected] : cases)
        EXPECT_EQ(got, expected);
}

TEST(fsEntryName, StaticHelpers) {
    int levels = 7;
    EXPECT_TRUE(zvtest::gives(zv::fsEntryName::isARelativePath(L"a\\b", &levels), levels, true, 0));
    EXPECT_TRUE(zv::fsEntryName::isARelativePath(L"\\"));
    for (const wchar_t* absolute : {L"\\x", L"/x", L"c:"})
        EXPECT_FALSE(zv::fsEntryName::isARelativePath(absolute)) << absolute;
    for (const auto& [name, invalid] : {std::pair{L"a#b", true}, {L"a\\b", true}, {L"a b.txt", false}})
        EXPECT_EQ(zv::fsEntryName::containsInvalidChars(name), invalid) << name;
    EXPECT_EQ(zv::fsEntryName::replaceInvalidChars(L"  a:b?c ", L'_'), L"a_b_c");
    EXPECT_EQ(zv::fsEntryName::replaceInvalidChars(L"  a:b?c ", L'*'), L"a b c");
    // Characters the ANSI code page cannot hold become "?" and are replaced.
    EXPECT_EQ(zv::fsEntryName::replaceInvalidChars(L"x\u65e5y", L'-'), L"x-y");
}

// ---- the Linux mapping of names to host paths ---------------------------

#ifndef _WIN32
// Drives and UNC roots map to configured folders; ".." never climbs above
// such a folder, and misses are resolved ignoring case.
TEST(hostMapping, DrivesAndUncRootsMapToConfiguredFolders) {
    zvtest::tempFolder tmp;
    tmp.write(L"secret.txt", "outside");
    tmp.write(L"d/Sub/File.TXT", "abc");
    const std::wstring host = tmp.host().wstring(), root = host + L"/d";
    zvtest::envGuard drive(L"ZV_DRIVE_Q", root), unc(L"ZV_UNC_ROOT", host);
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"Q:\\sub\\f.txt", root + L"/Sub/f.txt"}, // a new name keeps its own spelling
        {L"q:\\", root},
        {L"\\\\srv\\share\\x", host + L"/srv/share/x"},
        {L"C:\\tmp\\x", L"/tmp/x"},
        {L"R:\\x", L""}, // an unmapped drive does not exist
        {L"Q:\\sub\\file.txt", root + L"/Sub/File.TXT"},
        {L"Q:..\\secret.txt", root + L"/secret.txt"},
        {L"Q:..\\..\\..\\secret.txt", root + L"/secret.txt"},
        {L"Q:..\\a\\..\\..\\Sub", root + L"/Sub"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(zv::fsEntryName(name).hostPath(), expected) << name;
    EXPECT_EQ(zv::file(L"Q:\\SUB\\FILE.txt").size(), 3u);
    EXPECT_FALSE(zv::file(L"R:\\x").exists() || zv::file(L"Q:..\\secret.txt").remove());
    EXPECT_EQ(zvtest::readAll(tmp.host() / "secret.txt"), "outside");
    // The closest mapped root names a host path.
    EXPECT_EQ(zv::fsEntryName::fromHostPath(root + L"/a/b"), L"Q:\\a\\b");
    EXPECT_EQ(zv::fsEntryName::fromHostPath(L"/"), L"C:");
    zvtest::envGuard rootDrive(L"ZV_ROOT_DRIVE", L"D");
    EXPECT_EQ(zv::fsEntryName(L"D:\\etc").hostPath(), L"/etc");
    EXPECT_TRUE(zv::fsEntryName(L"C:\\etc").hostPath().empty());
    EXPECT_EQ(zv::fsEntryName::fromHostPath(L"/etc"), L"D:\\etc");
}
#endif
