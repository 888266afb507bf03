#include "zvDirectory.h"
#include "zvEnvironment.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::wstring> relativeNames(const zv::directory& base, const std::vector<zv::string>& names) {
    std::vector<std::wstring> out;
    for (const zv::string& n : names)
        out.push_back(n.substr(base.size()));
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<zv::string> filesOf(const zv::directory& dir, const wchar_t* pattern, int mask) {
    std::vector<zv::string> out;
    for (zv::fileIterator it(dir, pattern, mask); it.positioned(); ++it)
        out.push_back(it.m_current);
    return out;
}

std::vector<zv::string> walk(const zv::directory& dir, int fileMask = 0) {
    std::vector<zv::string> out;
    for (zv::recursiveFileIterator it(dir, L"*.*", fileMask, L"*.*", 0); !it.finished(); ++it)
        out.push_back(static_cast<const zv::file&>(it));
    return out;
}

// Marks a file hidden through the attribute; false where the file system
// keeps no such attribute (Linux without user extended attributes).
bool makeHidden(const zv::file& f) {
    unsigned attributes = 0;
    return f.getAttributes(attributes) && f.setAttributes(attributes | 0x02u);
}

} // namespace

TEST(directoryIterator, FiltersByPatternAndAttributeMask) {
    zvtest::tempFolder tmp;
    tmp.write(L"a.txt");
    tmp.write(L"b.log");
    tmp.write(L"noext");
    ASSERT_TRUE(zv::file(tmp.dir(), L"ro.txt").create(zv::file::accessRead));
    tmp.mkdir(L"sub1");
    tmp.mkdir(L"sub2.d");
    const struct {
        const wchar_t* pattern;
        int mask;
        std::vector<std::wstring> names;
    } cases[] = {
        {L"*.*", 0, {L"a.txt", L"b.log", L"noext", L"ro.txt"}},
        {L"*.TXT", 0, {L"a.txt", L"ro.txt"}},
        {L"?.*", 0, {L"a.txt", L"b.log"}},
        {L"*.*", 0x01, {L"a.txt", L"b.log", L"noext"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(relativeNames(tmp.dir(), filesOf(tmp.dir(), c.pattern, c.mask)), c.names) << c.pattern;
    EXPECT_EQ(tmp.dir().numberOfFiles(L"*.*", 0), 4u);

    std::vector<zv::string> dirs;
    for (zv::directoryIterator it(tmp.dir(), L"*.*", 0); it.positioned(); ++it)
        dirs.push_back(it.m_current);
    EXPECT_EQ(relativeNames(tmp.dir(), dirs), (std::vector<std::wstring>{L"sub1\\", L"sub2.d\\"}));

    zv::fileIterator done(tmp.dir(), L"*.zzz", 0);
    EXPECT_FALSE(done.positioned());
    done.next();
    EXPECT_TRUE(done.m_current.empty());
    EXPECT_FALSE(zv::fileIterator(zv::directory(tmp.dir(), L"missing"), L"*.*", 0).positioned());
}

TEST(directoryIterator, HiddenFilesAreSkippedByMaskAndLeaveAFolderEmpty) {
    zvtest::tempFolder tmp;
    EXPECT_TRUE(tmp.dir().isEmpty());
    const zv::file hidden = tmp.write(L"hidden.txt");
    if (!makeHidden(hidden))
        GTEST_SKIP() << "the temporary file system keeps no user extended attributes";
    EXPECT_TRUE(tmp.dir().isEmpty());
    tmp.write(L"plain.txt");
    EXPECT_EQ(relativeNames(tmp.dir(), filesOf(tmp.dir(), L"*.*", 0x02)),
              (std::vector<std::wstring>{L"plain.txt"}));
    EXPECT_EQ(filesOf(tmp.dir(), L"*.*", 0).size(), 2u);
    unsigned attributes = 0;
    ASSERT_TRUE(hidden.getAttributes(attributes));
    EXPECT_TRUE(attributes & 0x02u);
    ASSERT_TRUE(hidden.setAttributes(attributes & ~0x02u));
    EXPECT_EQ(filesOf(tmp.dir(), L"*.*", 0x02).size(), 2u);
}

TEST(directoryIterator, DotNamesCountAsHidden) {
#ifdef _WIN32
    GTEST_SKIP() << "only Linux treats names starting with a dot as hidden";
#else
    zvtest::tempFolder tmp;
    tmp.write(L"plain.txt");
    tmp.write(L".dot");
    tmp.mkdir(L".git");
    EXPECT_EQ(relativeNames(tmp.dir(), filesOf(tmp.dir(), L"*.*", 0x02)),
              (std::vector<std::wstring>{L"plain.txt"}));
    EXPECT_FALSE(zv::directoryIterator(tmp.dir(), L"*.*", 0x02).positioned());
    EXPECT_TRUE(zv::directoryIterator(tmp.dir(), L"*.*", 0).positioned());
#endif
}

TEST(recursiveFileIterator, SubfoldersFilesComeBeforeTheFolderOwn) {
    zvtest::tempFolder tmp;
    tmp.write(L"top1.txt");
    tmp.write(L"top2.txt");
    tmp.write(L"s1/b.txt");
    tmp.write(L"s1/deep/c.txt");
    tmp.write(L"s1/deep/c2.txt");
    tmp.mkdir(L"s2");
    tmp.mkdir(L"s3/empty");
    tmp.write(L"s4/d.txt");

    const std::vector<zv::string> seen = walk(tmp.dir());
    ASSERT_EQ(seen.size(), 6u);
    auto index = [&](const wchar_t* rel) {
        const zv::string full = zv::file(tmp.dir(), rel);
        const auto it = std::find(seen.begin(), seen.end(), full);
        EXPECT_NE(it, seen.end()) << rel;
        return it - seen.begin();
    };
    for (const wchar_t* own : {L"top1.txt", L"top2.txt"})
        for (const wchar_t* sub : {L"s1\\b.txt", L"s1\\deep\\c.txt", L"s1\\deep\\c2.txt", L"s4\\d.txt"})
            EXPECT_GT(index(own), index(sub)) << own;
    EXPECT_LT(index(L"s1\\deep\\c.txt"), index(L"s1\\b.txt"));
    EXPECT_LT(index(L"s1\\deep\\c2.txt"), index(L"s1\\b.txt"));
    // One subfolder's files stay together.
    const auto s1 = {index(L"s1\\b.txt"), index(L"s1\\deep\\c.txt"), index(L"s1\\deep\\c2.txt")};
    EXPECT_EQ(std::max(s1) - std::min(s1), 2);
}

TEST(recursiveFileIterator, EmptyTreesAndTheEnd) {
    zvtest::tempFolder tmp;
    tmp.mkdir(L"a/b/c");
    tmp.mkdir(L"d");
    {
        zv::recursiveFileIterator it(tmp.dir(), L"*.*", 0, L"*.*", 0);
        EXPECT_TRUE(it.finished());
        zvtest::assertCapture capture;
        EXPECT_THROW((void)static_cast<const zv::file&>(it), bool);
        EXPECT_EQ(capture.messages().size(), 1u);
    }
    tmp.write(L"only.txt");
    EXPECT_EQ(relativeNames(tmp.dir(), walk(tmp.dir())), (std::vector<std::wstring>{L"only.txt"}));
}

TEST(recursiveFileIterator, DoesNotFollowLinkedFolders) {
    zvtest::tempFolder tmp;
    tmp.write(L"a/x.txt");
    std::error_code ec;
    fs::create_directory_symlink(tmp.host(), tmp.host() / "a" / "loop", ec);
    if (ec)
        GTEST_SKIP() << "folder links cannot be made here: " << ec.message();
    EXPECT_EQ(relativeNames(tmp.dir(), walk(tmp.dir())), (std::vector<std::wstring>{L"a\\x.txt"}));
}

TEST(directory, ClearAndRemoveKeepProtectedFiles) {
    zvtest::tempFolder tmp;
    tmp.write(L"a.txt");
    tmp.write(L"sub/b.txt");
    tmp.write(L"sub/deep/c.txt");
    ASSERT_TRUE(zv::file(tmp.dir(), L"sub\\ro.txt").create(zv::file::accessRead));

    EXPECT_TRUE(tmp.dir().clear(true));
    EXPECT_TRUE(fs::is_directory(tmp.host() / "sub" / "deep"));
    for (const char* gone : {"a.txt", "sub/b.txt", "sub/deep/c.txt"})
        EXPECT_FALSE(fs::exists(tmp.host() / gone)) << gone;
    EXPECT_TRUE(fs::exists(tmp.host() / "sub" / "ro.txt"));
    EXPECT_TRUE(tmp.dir().containsReadOnlyFiles(true));
    EXPECT_FALSE(tmp.dir().containsReadOnlyFiles(false));

    const zv::directory sub(tmp.dir(), L"sub");
    EXPECT_FALSE(sub.remove(true)) << "the read-only file keeps the folder";
    EXPECT_TRUE(fs::exists(tmp.host() / "sub" / "ro.txt"));
    EXPECT_FALSE(fs::exists(tmp.host() / "sub" / "deep"));
    ASSERT_TRUE(zv::file(sub, L"ro.txt").change(zv::file::accessReadWrite));
    EXPECT_TRUE(sub.remove(true));
    EXPECT_FALSE(sub.exists());
}

TEST(directory, CreateRenameAndRoots) {
    zvtest::tempFolder tmp;
    const zv::directory nested(tmp.dir(), L"a\\b\\c");
    EXPECT_FALSE(nested.create(false));
    EXPECT_TRUE(nested.create(true));
    EXPECT_TRUE(fs::is_directory(tmp.host() / "a" / "b" / "c"));
    EXPECT_TRUE(nested.create(true)) << "exists already";
    EXPECT_FALSE(zv::directory().create(true));

    zv::directory b(tmp.dir(), L"a\\b");
    tmp.mkdir(L"a/taken");
    EXPECT_FALSE(b.rename(L"taken"));
    EXPECT_TRUE(b.rename(L"bee"));
    EXPECT_EQ(b, zv::directory(tmp.dir(), L"a\\bee"));
    EXPECT_TRUE(fs::is_directory(tmp.host() / "a" / "bee" / "c"));

    for (const auto& [name, root] : {std::pair{L"C:\\", true}, {L"\\\\server", true}, {L"C:\\x", false}})
        EXPECT_EQ(zv::directory(name).isRoot(), root) << name;
    EXPECT_FALSE(zv::directory().isRoot());
}

TEST(directory, MakeCurrentSwitchesTheWorkingDirectory) {
    zvtest::tempFolder tmp;
    const zv::directory before(L".");
    ASSERT_TRUE(before.isCurrent());
    EXPECT_TRUE(tmp.dir().makeCurrent());
    EXPECT_TRUE(tmp.dir().isCurrent());
    EXPECT_EQ(zv::fsEntryName(L"x.txt"), zv::file(tmp.dir(), L"x.txt"));
    EXPECT_FALSE(zv::directory(tmp.dir(), L"missing").makeCurrent());
    EXPECT_TRUE(tmp.dir().isCurrent());
    ASSERT_TRUE(before.makeCurrent());
    EXPECT_TRUE(before.isCurrent());
}

TEST(directory, DiskSpaceIsCappedAt32Bits) {
    zvtest::tempFolder tmp;
    unsigned long long bytes = 0, mbytes = 0;
    ASSERT_TRUE(tmp.dir().getDiskSpace(zv::directory::dsTotal, zv::directory::dsBytes, &bytes));
    ASSERT_TRUE(tmp.dir().getDiskSpace(zv::directory::dsTotal, zv::directory::dsMBytes, &mbytes));
    EXPECT_GT(bytes, 0u);
    EXPECT_EQ(mbytes, bytes >> 20);
    unsigned long narrow = 0;
    ASSERT_TRUE(zvtest::gives(tmp.dir().getDiskSpace(zv::directory::dsTotal, zv::directory::dsBytes, &narrow),
                              narrow, true,
                              bytes > 0xFFFFFFFFull ? 0xFFFFFFFFul : static_cast<unsigned long>(bytes)));
    ASSERT_TRUE(
        tmp.dir().getDiskSpace(static_cast<zv::directory::eDSType>(9), zv::directory::dsBytes, &narrow));
    EXPECT_EQ(narrow, 0u);
    EXPECT_FALSE(zv::directory(tmp.dir(), L"missing")
                     .getDiskSpace(zv::directory::dsFree, zv::directory::dsBytes, &narrow));
}

TEST(directory, TemporaryFolderAndRandomFolders) {
    zvtest::tempFolder tmp;
    zv::directory::overwriteSystemTempDir(tmp.dir());
    EXPECT_EQ(zv::directory::systemTempDir(), tmp.dir());
    const zv::directory r1 = zv::directory::generateRandomDirectory(zv::directory());
    const zv::directory r2 = zv::directory::generateRandomDirectory(tmp.dir());
    EXPECT_TRUE(r1.exists());
    EXPECT_TRUE(r2.exists());
    EXPECT_NE(r1, r2);
    EXPECT_EQ(r1.path(0), tmp.dir());
    const zv::file f = zv::file::generateRandomFile(zv::directory(), L"t");
    EXPECT_EQ(f.path(0), tmp.dir());
    zv::directory::overwriteSystemTempDir(zv::directory());

    zv::string oldTmp;
    const bool hadTmp = zv::getEnvironmentVariable(L"TMP", oldTmp);
    const zv::directory sub = tmp.mkdir(L"viaenv");
    ASSERT_TRUE(zv::setEnvironmentVariable(L"TMP", sub.hostPath().c_str()));
    EXPECT_EQ(zv::directory::systemTempDir(), sub);
    zv::setEnvironmentVariable(L"TMP", hadTmp ? oldTmp.c_str() : L"");
}

TEST(directory, WellKnownFoldersAreNamed) {
    for (const zv::directory& d :
         {zv::directory::userHomeDir(), zv::directory::userAppdataDir(), zv::directory::userLocalAppdataDir(),
          zv::directory::allUserAppdataDir(), zv::directory::commonDocumentsDir(),
          zv::directory::userDocumentsDir(), zv::directory::desktopDir()}) {
        EXPECT_FALSE(d.empty());
        EXPECT_EQ(d.back(), L'\\');
    }
    EXPECT_EQ(zv::directory::userAppdataDir(L"vendor\\app"),
              zv::directory(zv::directory::userAppdataDir(), L"vendor\\app"));
}

// What a folder link leads to lies outside the tree: clearing and removing
// never descend into it, removing takes the link itself.
TEST(directory, ClearAndRemoveNeverFollowFolderLinks) {
    zvtest::tempFolder tmp;
    tmp.write(L"outside/keep.txt");
    tmp.write(L"tree/sub/a.txt");
    std::error_code ec;
    fs::create_directory_symlink(tmp.host() / "outside", tmp.host() / "tree" / "link", ec);
    if (ec)
        GTEST_SKIP() << "folder links cannot be made here: " << ec.message();
    fs::create_directory_symlink(tmp.host() / "outside", tmp.host() / "tree" / "sub" / "deeplink", ec);
    fs::create_directory_symlink(tmp.host() / "tree", tmp.host() / "tree" / "sub" / "loop", ec);
    const zv::directory tree(tmp.dir(), L"tree");
    EXPECT_FALSE(tree.containsReadOnlyFiles(true)) << "a link to a parent must not make the walk endless";
    EXPECT_TRUE(tree.clear(true));
    EXPECT_FALSE(fs::exists(tmp.host() / "tree" / "sub" / "a.txt"));
    EXPECT_TRUE(fs::exists(tmp.host() / "outside" / "keep.txt"));
    EXPECT_TRUE(tree.remove(true));
    EXPECT_FALSE(fs::exists(tmp.host() / "tree"));
    EXPECT_TRUE(fs::exists(tmp.host() / "outside" / "keep.txt"));
    // A link named itself goes alone, too.
    fs::create_directory_symlink(tmp.host() / "outside", tmp.host() / "top", ec);
    ASSERT_FALSE(ec);
    EXPECT_TRUE(zv::directory(tmp.dir(), L"top").remove(true));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tmp.host() / "top")));
    EXPECT_TRUE(fs::exists(tmp.host() / "outside" / "keep.txt"));
}

// A file where the folder should be, and a folder that cannot be read, are
// reported as what they are.
TEST(directory, CreateAndIsEmptyTellTheTruth) {
    zvtest::tempFolder tmp;
    tmp.write(L"blocker", "x");
    const struct {
        const wchar_t* name;
        bool recursive;
    } blocked[] = {{L"blocker", false}, {L"blocker", true}, {L"blocker\\sub", true}};
    for (const auto& c : blocked) {
        EXPECT_FALSE(zv::directory(tmp.dir(), c.name).create(c.recursive)) << c.name;
        EXPECT_FALSE(zv::directory(tmp.dir(), c.name).canList()) << c.name;
    }
    EXPECT_TRUE(zv::directory(tmp.dir(), L"new\\deep").create(true));
    EXPECT_TRUE(zv::directory(tmp.dir(), L"new\\deep").create(false)) << "exists already";
    EXPECT_TRUE(zv::directory(tmp.dir(), L"new\\deep").isEmpty());
    EXPECT_FALSE(zv::directory(tmp.dir(), L"missing").isEmpty());
    EXPECT_FALSE(zv::directory(tmp.dir(), L"blocker").isEmpty());

    const zv::directory locked = tmp.mkdir(L"locked");
    tmp.write(L"locked/inside.txt");
    const fs::path host = tmp.host() / "locked";
    std::error_code ec;
    fs::permissions(host, fs::perms::none, ec);
    fs::directory_iterator probe(host, ec);
    if (!ec) {
        fs::permissions(host, fs::perms::owner_all, ec);
        GTEST_SKIP() << "this user reads folders without permission";
    }
    EXPECT_FALSE(locked.canList());
    EXPECT_FALSE(locked.isEmpty());
    fs::permissions(host, fs::perms::owner_all, ec);
}

// "*." takes the names without an extension, as on Windows.
TEST(directoryIterator, ADotAtThePatternEndMeansNoExtension) {
    zvtest::tempFolder tmp;
    for (const wchar_t* name : {L"noext", L"a.txt", L"b.tar.gz", L"README"})
        tmp.write(name);
    tmp.mkdir(L"folder");
    const struct {
        const wchar_t* pattern;
        std::set<std::wstring> names;
    } cases[] = {
        {L"*.", {L"noext", L"README"}},
        {L"n*.", {L"noext"}},
        {L"*.*", {L"noext", L"README", L"a.txt", L"b.tar.gz"}},
        {L"*.txt", {L"a.txt"}},
    };
    for (const auto& c : cases) {
        std::set<std::wstring> found;
        for (zv::fileIterator it(tmp.dir(), c.pattern, 0); it.positioned(); ++it)
            found.insert(it.m_current.name(0));
        EXPECT_EQ(found, c.names) << c.pattern;
    }
}

#ifndef _WIN32
// A name that holds a backslash would name another entry once joined to its
// folder ("a\b" is "b" in "a"), and bytes that are not UTF-8 would not lead
// back: such entries are left out, never mistaken for others.
TEST(directory, EntriesTheLibraryCannotNameAreLeftAlone) {
    zvtest::tempFolder tmp;
    tmp.write(L"a/b", "victim");
    std::ofstream(tmp.host() / "a\\b") << "odd";
    std::ofstream(tmp.host() / "bad\xff.txt") << "odd";
    tmp.write(L"plain.txt");
    std::set<std::wstring> listed;
    for (zv::fileIterator it(tmp.dir(), L"*.*", 0); it.positioned(); ++it)
        listed.insert(it.m_current.name(0));
    EXPECT_EQ(listed, (std::set<std::wstring>{L"plain.txt"}));
    EXPECT_TRUE(tmp.dir().clear(false));
    EXPECT_EQ(zvtest::readAll(tmp.host() / "a" / "b"), "victim");
    EXPECT_TRUE(fs::exists(tmp.host() / "a\\b"));
    EXPECT_FALSE(fs::exists(tmp.host() / "plain.txt"));
}
#endif
