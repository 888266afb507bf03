#include "zvSearchPath.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using zvtest::cwdGuard;
using zvtest::envGuard;

// The names of `entries` without the first `cut` characters, each followed by "|".
template <typename Entries>
std::wstring names(const Entries& entries, std::size_t cut = 0) {
    std::wstring out;
    for (const auto& e : entries)
        out += e.substr(cut) + L"|";
    return out;
}

} // namespace

TEST(searchPath, KeepsOrderAndSkipsEmptyPartsAndDuplicatesIgnoringCase) {
    zv::searchPath path;
    zv::searchPath::fromString(L"C:\\a ; ;c:\\A\\;D:\\b", path, L';');
    EXPECT_EQ(names(path.directories()), L"C:\\a\\|D:\\b\\|");
    // Entries already present stay first; tabs count as blanks.
    zv::searchPath::fromString(L"\tE:\\c\t|D:\\B||", path, L'|');
    path.appendDirectory(zv::directory(L"e:\\C\\"));
    EXPECT_EQ(names(path.directories()), L"C:\\a\\|D:\\b\\|E:\\c\\|");
    EXPECT_TRUE(path.containsDirectory(zv::directory(L"D:\\B")));
    path.removeDirectory(zv::directory(L"C:\\d"));
    path.removeDirectory(zv::directory(L"d:\\B"));
    EXPECT_EQ(names(path.directories()), L"C:\\a\\|E:\\c\\|");
    EXPECT_FALSE(path.containsDirectory(zv::directory(L"D:\\b")));
    zv::searchPath none;
    zv::searchPath::fromString(L" ;\t; ", none, L';');
    EXPECT_TRUE(none.empty());
}

TEST(searchPath, FindFileTakesTheFirstEntryAndSubfoldersOnlyWhenRecursive) {
    zvtest::tempFolder tmp;
    const zv::directory a = tmp.mkdir(L"a");
    const zv::directory b = tmp.mkdir(L"b");
    zv::searchPath path;
    path.appendDirectory(a);
    path.appendDirectory(b);
    zv::file found(L"C:\\untouched");
    // Left alone on failure.
    EXPECT_TRUE(
        zvtest::gives(path.findFile(L"x.cfg", found, true), found, false, zv::string(L"C:\\untouched")));

    tmp.write(L"a/sub/x.cfg");
    EXPECT_FALSE(path.findFile(L"x.cfg", found, false));
    ASSERT_TRUE(zvtest::gives(path.findFile(L"x.cfg", found, true), found, true,
                              zv::file(tmp.dir(), L"a\\sub\\x.cfg")));

    tmp.write(L"b/x.cfg");
    ASSERT_TRUE(zvtest::gives(path.findFile(L"x.cfg", found, false), found, true, zv::file(b, L"x.cfg")));
    // Recursive: the first entry's subfolders come before the second entry.
    ASSERT_TRUE(path.findFile(L"X.CFG", found, true));
    EXPECT_TRUE(found.isEqualTo(zv::file(tmp.dir(), L"a\\sub\\x.cfg"), false));

    tmp.write(L"a/x.cfg");
    zv::directory holder;
    ASSERT_TRUE(zvtest::gives(path.findContainingDir(L"x.cfg", holder, true), holder, true, a));

    // A folder of that name is not a file.
    tmp.mkdir(L"a/y.cfg");
    EXPECT_FALSE(path.findFile(L"y.cfg", found, true) || path.findFile(L"", found, true));
}

TEST(searchPath, RecursiveSearchIsDepthFirst) {
    zvtest::tempFolder tmp;
    const zv::directory top = tmp.mkdir(L"top");
    tmp.mkdir(L"top/s1");
    tmp.mkdir(L"top/s2");
    // The file system decides the order of the siblings: the first one gets
    // the file two levels down, the second one holds it directly. Depth
    // first finds the deep one; a level-by-level search would not.
    std::vector<zv::directory> order;
    for (zv::directoryIterator it(top, L"*.*", 0); it.positioned(); ++it)
        order.push_back(it.m_current);
    ASSERT_EQ(order.size(), 2u);
    const zv::directory deep(order[0], L"deep");
    ASSERT_TRUE(deep.create() && zv::file(deep, L"x.cfg").create() && zv::file(order[1], L"x.cfg").create());
    zv::searchPath path;
    path.appendDirectory(top);
    zv::directory holder;
    ASSERT_TRUE(zvtest::gives(path.findContainingDir(L"x.cfg", holder, true), holder, true, deep));
}

TEST(searchPath, RecursiveSearchSkipsHiddenFoldersAndLinks) {
#ifdef _WIN32
    GTEST_SKIP() << "folder links and dot-named hidden folders are Linux matters";
#else
    zvtest::tempFolder tmp;
    const zv::directory top = tmp.mkdir(L"top");
    tmp.write(L"top/.hidden/x.cfg");
    tmp.mkdir(L"top/sub");
    // A link back up the tree must not make the search endless.
    std::filesystem::create_directory_symlink(tmp.host() / "top", tmp.host() / "top" / "sub" / "loop");
    zv::searchPath path;
    path.appendDirectory(top);
    zv::directory holder;
    EXPECT_FALSE(path.findContainingDir(L"x.cfg", holder, true));
    std::vector<zv::file> files;
    path.findFiles(L"*.cfg", files, true);
    EXPECT_TRUE(files.empty());
#endif
}

TEST(searchPath, FindFilesListsEntriesInOrderOwnFilesFirst) {
    zvtest::tempFolder tmp;
    const zv::directory a = tmp.mkdir(L"a");
    const zv::directory b = tmp.mkdir(L"b");
    tmp.write(L"a/one.txt");
    tmp.write(L"a/skip.log");
    tmp.write(L"a/sub/two.txt");
    tmp.write(L"a/sub/deeper/three.txt");
    tmp.write(L"b/four.txt");
    zv::searchPath path;
    path.appendDirectory(b);
    path.appendDirectory(a);
    std::vector<zv::file> files;
    path.findFiles(L"*.txt", files, false);
    EXPECT_EQ(names(files, tmp.dir().size()), L"b\\four.txt|a\\one.txt|");

    files.assign(1, zv::file(tmp.dir(), L"kept")); // appended to, not replaced
    path.findFiles(L"*.txt", files, true);
    EXPECT_EQ(names(files, tmp.dir().size()),
              L"kept|b\\four.txt|a\\one.txt|a\\sub\\two.txt|a\\sub\\deeper\\three.txt|");

    files.clear();
    path.findFiles(zv::directory(tmp.dir(), L"missing"), L"*.*", files, true);
    EXPECT_TRUE(files.empty());
}

TEST(searchPath, FromStringWithBaseTakesDotPartsFromTheBaseAndOnlyExistingFolders) {
    zvtest::tempFolder tmp;
    const zv::directory base = tmp.mkdir(L"proj");
    const zv::directory work = tmp.mkdir(L"work");
    for (const wchar_t* folder : {L"proj/lib", L"work/lib", L"shared"})
        tmp.mkdir(folder);
    cwdGuard cwd(work);
    ASSERT_TRUE(cwd.ok);

    zv::searchPath path;
    const std::wstring text = L".\\lib; .\\missing ;lib;..\\shared;" + std::wstring(tmp.dir()) + L"nowhere";
    zv::searchPath::fromString(text, path, base, L';');
    // "..\shared" begins with a dot too, so it is taken from the base as well.
    EXPECT_EQ(names(path.directories(), tmp.dir().size()), L"proj\\lib\\|work\\lib\\|shared\\|");

    // The form without a base keeps folders that do not exist.
    zv::searchPath plain;
    zv::searchPath::fromString(L".\\lib;.\\missing", plain, L';');
    EXPECT_EQ(names(plain.directories(), tmp.dir().size()), L"work\\lib\\|work\\missing\\|");
}

// PATH holds host names; on Linux they are found also when the working
// directory is on another drive ("/..." read as a name on the current drive
// would land below Q:).
TEST(searchPath, FromDollarPathReadsHostNamesWithThePlatformSeparator) {
    zvtest::tempFolder tmp;
    tmp.write(L"one/tool.bin");
    tmp.write(L"two/tool.bin");
    tmp.write(L"two/other.bin");
    const std::wstring one = (tmp.host() / "one").wstring(), two = (tmp.host() / "two").wstring();
    const std::wstring sep(1, zv::searchPath::pathSeparator);
    envGuard pathVar(L"PATH", one + sep + sep + two + sep + one);
#ifndef _WIN32
    envGuard drive(L"ZV_DRIVE_Q", (tmp.host() / "q").wstring());
    cwdGuard cwd(tmp.mkdir(L"q"));
    ASSERT_TRUE(cwd.ok);
#endif
    zv::searchPath path;
    zv::searchPath::fromDollarPath(path);
    ASSERT_EQ(path.size(), 2u);
    zv::file found;
    ASSERT_TRUE(path.findFile(L"tool.bin", found, false));
    EXPECT_EQ(found.hostPath(), zv::file(tmp.dir(), L"one\\tool.bin").hostPath());
    ASSERT_TRUE(path.findFile(L"other.bin", found, false));
    EXPECT_EQ(found.hostPath(), zv::file(tmp.dir(), L"two\\other.bin").hostPath());
}
