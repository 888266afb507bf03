#include "zvDirectory.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace fs = std::filesystem;

namespace {

using names = std::set<std::wstring>;

// The names a file (or folder) iteration over `dir` yields, relative to it.
template <typename Iterator = zv::fileIterator>
names listed(const zv::directory& dir, const wchar_t* pattern = L"*.*", int mask = 0) {
    names out;
    for (Iterator it(dir, pattern, mask); it.positioned(); ++it)
        out.insert(it.m_current.substr(dir.size()));
    return out;
}

std::vector<zv::string> walk(const zv::directory& dir) {
    std::vector<zv::string> out;
    for (zv::recursiveFileIterator it(dir, L"*.*", 0, L"*.*", 0); !it.finished(); ++it)
        out.push_back(static_cast<const zv::file&>(it));
    return out;
}

} // namespace

// "*." takes the names without an extension, as on Windows.
TEST(directoryIterator, FiltersByPatternAndAttributeMask) {
    zvtest::tempFolder tmp;
    for (const wchar_t* name : {L"a.txt", L"b.log", L"noext", L"c.tar.gz"})
        tmp.write(name);
    tmp.mkdir(L"sub1");
    tmp.mkdir(L"sub2.d");
    ASSERT_TRUE(zv::file(tmp.dir(), L"ro.txt").create(zv::file::accessRead));
    const std::tuple<const wchar_t*, int, names> cases[] = {
        {L"*.*", 0, {L"a.txt", L"b.log", L"noext", L"ro.txt", L"c.tar.gz"}},
        {L"*.TXT", 0, {L"a.txt", L"ro.txt"}},
        {L"?.*", 0, {L"a.txt", L"b.log", L"c.tar.gz"}},
        {L"*.*", 0x01, {L"a.txt", L"b.log", L"noext", L"c.tar.gz"}},
        {L"*.", 0, {L"noext"}},
    };
    for (const auto& [pattern, mask, expected] : cases)
        EXPECT_EQ(listed(tmp.dir(), pattern, mask), expected) << pattern;
    EXPECT_EQ(tmp.dir().numberOfFiles(L"*.*", 0), 5u);
    EXPECT_EQ(listed<zv::directoryIterator>(tmp.dir()), (names{L"sub1\\", L"sub2.d\\"}));
    zv::fileIterator done(tmp.dir(), L"*.zzz", 0);
    done.next(); // past the end
    EXPECT_TRUE(done.m_current.empty());
    EXPECT_FALSE(zv::fileIterator(zv::directory(tmp.dir(), L"missing"), L"*.*", 0).positioned());
}

TEST(directoryIterator, HiddenFilesAreSkippedByMaskAndLeaveAFolderEmpty) {
    zvtest::tempFolder tmp;
    const zv::file hidden = tmp.write(L"hidden.txt");
#ifndef _WIN32
    // Names starting with a dot count as hidden on Linux.
    tmp.write(L".dot");
    tmp.mkdir(L".git");
    EXPECT_TRUE(!zv::directoryIterator(tmp.dir(), L"*.*", 0x02).positioned() &&
                zv::directoryIterator(tmp.dir(), L"*.*", 0).positioned());
    EXPECT_EQ(listed(tmp.dir(), L"*.*", 0x02), (names{L"hidden.txt"}));
    fs::remove(tmp.host() / ".dot");
    fs::remove(tmp.host() / ".git");
#endif
    unsigned attributes = 0;
    if (!hidden.getAttributes(attributes) || !hidden.setAttributes(attributes | 0x02u))
        GTEST_SKIP() << "the temporary file system keeps no user extended attributes";
    EXPECT_TRUE(tmp.dir().isEmpty());
    tmp.write(L"plain.txt");
    EXPECT_EQ(listed(tmp.dir(), L"*.*", 0x02), (names{L"plain.txt"}));
    EXPECT_EQ(listed(tmp.dir()).size(), 2u);
    ASSERT_TRUE(hidden.setAttributes(attributes & ~0x02u));
    EXPECT_EQ(listed(tmp.dir(), L"*.*", 0x02).size(), 2u);
}

TEST(recursiveFileIterator, SubfoldersFilesComeBeforeTheFolderOwn) {
    zvtest::tempFolder tmp;
    {
        zvtest::assertCapture capture;
        zv::recursiveFileIterator empty(tmp.mkdir(L"s3/empty"), L"*.*", 0, L"*.*", 0);
        EXPECT_TRUE(empty.finished());
        EXPECT_THROW((void)static_cast<const zv::file&>(empty), bool);
        EXPECT_EQ(capture.messages().size(), 1u);
    }
    for (const wchar_t* name :
         {L"top1.txt", L"top2.txt", L"s1/b.txt", L"s1/deep/c.txt", L"s1/deep/c2.txt", L"s4/d.txt"})
        tmp.write(name);
    tmp.mkdir(L"s2");
    // The folders of the files in walking order, a run of one folder once: every
    // folder's files stay together, after those of its subfolders.
    std::vector<std::wstring> folders;
    const std::vector<zv::string> seen = walk(tmp.dir());
    for (const std::wstring& f : seen)
        if (const auto folder = f.substr(tmp.dir().size(), f.rfind(L'\\') + 1 - tmp.dir().size());
            folders.empty() || folders.back() != folder)
            folders.push_back(folder);
    const std::set<std::vector<std::wstring>> postOrders = {{L"s1\\deep\\", L"s1\\", L"s4\\", L""},
                                                            {L"s4\\", L"s1\\deep\\", L"s1\\", L""}};
    EXPECT_TRUE(seen.size() == 6 && postOrders.count(folders)) << testing::PrintToString(folders);
}

TEST(directory, ClearAndRemoveKeepProtectedFiles) {
    zvtest::tempFolder tmp;
    for (const wchar_t* name : {L"a.txt", L"sub/b.txt", L"sub/deep/c.txt"})
        tmp.write(name);
    ASSERT_TRUE(zv::file(tmp.dir(), L"sub\\ro.txt").create(zv::file::accessRead));
    EXPECT_TRUE(tmp.dir().clear(true) && fs::is_directory(tmp.host() / "sub" / "deep"));
    for (const char* gone : {"a.txt", "sub/b.txt", "sub/deep/c.txt"})
        EXPECT_FALSE(fs::exists(tmp.host() / gone)) << gone;
    EXPECT_TRUE(tmp.dir().containsReadOnlyFiles(true) && !tmp.dir().containsReadOnlyFiles(false));

    const zv::directory sub(tmp.dir(), L"sub");
    EXPECT_FALSE(sub.remove(true)) << "the read-only file keeps the folder";
    EXPECT_TRUE(fs::exists(tmp.host() / "sub" / "ro.txt") && !fs::exists(tmp.host() / "sub" / "deep"));
    ASSERT_TRUE(zv::file(sub, L"ro.txt").change(zv::file::accessReadWrite));
    EXPECT_TRUE(sub.remove(true) && !sub.exists());
}

// What a folder link leads to lies outside the tree: walking, clearing and
// removing never descend into it, removing takes the link itself.
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
    EXPECT_EQ(walk(tree), std::vector<zv::string>{zv::file(tree, L"sub\\a.txt")});
    EXPECT_FALSE(tree.containsReadOnlyFiles(true)) << "a link to a parent must not make the walk endless";
    EXPECT_TRUE(tree.clear(true) && !fs::exists(tmp.host() / "tree" / "sub" / "a.txt"));
    EXPECT_TRUE(tree.remove(true) && !fs::exists(tmp.host() / "tree"));
    fs::create_directory_symlink(tmp.host() / "outside", tmp.host() / "top", ec);
    EXPECT_TRUE(zv::directory(tmp.dir(), L"top").remove(true) &&
                !fs::exists(fs::symlink_status(tmp.host() / "top")));
    EXPECT_TRUE(fs::exists(tmp.host() / "outside" / "keep.txt"));
}

// A file where the folder should be, and a folder that cannot be read, are
// reported as what they are.
TEST(directory, CreateRenameAndIsEmptyTellTheTruth) {
    zvtest::tempFolder tmp;
    const zv::directory nested(tmp.dir(), L"a\\b\\c");
    EXPECT_FALSE(nested.create(false) || zv::directory().create(true));
    EXPECT_TRUE(nested.create(true) && nested.create(false) && nested.isEmpty()) << "exists already";
    tmp.write(L"blocker", "x");
    for (const auto& [name, recursive] :
         {std::pair{L"blocker", false}, {L"blocker", true}, {L"blocker\\s", true}}) {
        const zv::directory d(tmp.dir(), name);
        EXPECT_FALSE(d.create(recursive) || d.canList() || d.isEmpty()) << name;
    }
    EXPECT_FALSE(zv::directory(tmp.dir(), L"missing").isEmpty());

    zv::directory b(tmp.dir(), L"a\\b");
    tmp.mkdir(L"a/taken");
    EXPECT_TRUE(!b.rename(L"taken") && b.rename(L"bee") && fs::is_directory(tmp.host() / "a" / "bee" / "c"));
    for (const auto& [name, root] : {std::pair{L"C:\\", true}, {L"\\\\server", true}, {L"C:\\x", false}})
        EXPECT_EQ(zv::directory(name).isRoot(), root) << name;

    const zv::directory locked = tmp.mkdir(L"locked");
    tmp.write(L"locked/inside.txt");
    std::error_code ec;
    fs::permissions(tmp.host() / "locked", fs::perms::none, ec);
    fs::directory_iterator probe(tmp.host() / "locked", ec);
    EXPECT_TRUE(!ec || !(locked.canList() || locked.isEmpty())); // (root reads folders without permission)
    fs::permissions(tmp.host() / "locked", fs::perms::owner_all, ec);
}

TEST(directory, WorkingDiskSpaceAndTemporaryFolders) {
    zvtest::tempFolder tmp;
    {
        zvtest::cwdGuard cwd(tmp.dir());
        EXPECT_EQ(zv::fsEntryName(L"x.txt"), zv::file(tmp.dir(), L"x.txt"));
        EXPECT_FALSE(zv::directory(tmp.dir(), L"missing").makeCurrent());
        EXPECT_TRUE(cwd.ok && tmp.dir().isCurrent());
    }

    // Sizes in bytes are capped at 32 bits for an unsigned long.
    using D = zv::directory;
    unsigned long long bytes = 0, mbytes = 0;
    unsigned long narrow = 0;
    ASSERT_TRUE(tmp.dir().getDiskSpace(D::dsTotal, D::dsBytes, &bytes) &&
                tmp.dir().getDiskSpace(D::dsTotal, D::dsMBytes, &mbytes) && mbytes == bytes >> 20);
    EXPECT_TRUE(zvtest::gives(tmp.dir().getDiskSpace(D::dsTotal, D::dsBytes, &narrow), narrow, true,
                              static_cast<unsigned long>(std::min(bytes, 0xFFFFFFFFull))));
    EXPECT_TRUE(zvtest::gives(tmp.dir().getDiskSpace(static_cast<D::eDSType>(9), D::dsBytes, &narrow), narrow,
                              true, 0ul));
    EXPECT_FALSE(D(tmp.dir(), L"missing").getDiskSpace(D::dsFree, D::dsBytes, &narrow));

    zv::directory::overwriteSystemTempDir(tmp.dir());
    const zv::directory r1 = zv::directory::generateRandomDirectory(zv::directory());
    EXPECT_TRUE(r1.exists() && r1.path(0) == tmp.dir());
    EXPECT_NE(r1, zv::directory::generateRandomDirectory(tmp.dir()));
    EXPECT_EQ(zv::file::generateRandomFile(zv::directory(), L"t").path(0), tmp.dir());
    zv::directory::overwriteSystemTempDir(zv::directory());
    zvtest::envGuard viaEnv(L"TMP", tmp.mkdir(L"viaenv").hostPath());
    EXPECT_EQ(zv::directory::systemTempDir(), zv::directory(tmp.dir(), L"viaenv"));

    EXPECT_EQ(zv::directory::userAppdataDir(L"vendor\\app"),
              zv::directory(zv::directory::userAppdataDir(), L"vendor\\app"));
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
    EXPECT_EQ(listed(tmp.dir()), (names{L"plain.txt"}));
    EXPECT_TRUE(tmp.dir().clear(false));
    EXPECT_EQ(zvtest::readAll(tmp.host() / "a" / "b"), "victim");
    EXPECT_TRUE(fs::exists(tmp.host() / "a\\b"));
    EXPECT_FALSE(fs::exists(tmp.host() / "plain.txt"));
}
#endif
