#include "zvAtomicFile.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// Every name in the folder, so a temporary file left behind shows.
std::vector<std::string> entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// The old content stays until commit; discarded or destroyed writers leave
// the target alone, and no temporary file stays behind.
TEST(atomicFileWriter, OldContentStaysUntilCommitAndNothingIsLeftBehind) {
    zvtest::tempFolder tmp;
    const zv::file f = tmp.write(L"model.xml", "old");
    {
        zv::atomicFileWriter dropped(f);
        ASSERT_TRUE(dropped.open());
        EXPECT_TRUE(dropped.write("lost", 4));
    }
    zv::atomicFileWriter discarded(f);
    ASSERT_TRUE(discarded.open());
    ASSERT_TRUE(discarded.open()) << "opening again drops the first temporary file";
    discarded.discard();
    EXPECT_FALSE(discarded.write("x", 1) || discarded.commit());
    zv::atomicFileWriter out(f);
    ASSERT_TRUE(out.open());
    EXPECT_TRUE(out.write("new ", 4) && out.write("content", 7));
    EXPECT_EQ(zvtest::readAll(tmp.host() / "model.xml"), "old") << "not replaced before commit";
    EXPECT_TRUE(out.commit());
    EXPECT_FALSE(out.isOpen());
    EXPECT_FALSE(out.commit()) << "a writer commits once";
    EXPECT_EQ(zvtest::readAll(tmp.host() / "model.xml"), "new content");

    // A new file, an empty content, and the one-call form.
    EXPECT_TRUE(zv::replaceFileContent(zv::file(tmp.dir(), L"fresh.txt"), "abc", 3));
    EXPECT_EQ(zvtest::readAll(tmp.host() / "fresh.txt"), "abc");
    EXPECT_TRUE(zv::replaceFileContent(zv::file(tmp.dir(), L"fresh.txt"), nullptr, 0));
    EXPECT_EQ(fs::file_size(tmp.host() / "fresh.txt"), 0u);
    EXPECT_EQ(entries(tmp.host()), (std::vector<std::string>{"fresh.txt", "model.xml"}));
}

TEST(atomicFileWriter, RefusesWhatCannotBeReplaced) {
    zvtest::tempFolder tmp;
    const zv::file readOnly = tmp.write(L"ro.txt", "protected");
    ASSERT_TRUE(readOnly.allowWrite(false));
    tmp.mkdir(L"folder");
    const zv::string cases[] = {readOnly, zv::file(tmp.dir(), L"folder"),
                                zv::file(tmp.dir(), L"missing\\x.txt"), zv::string()};
    for (const auto& name : cases) {
        zv::atomicFileWriter out(name);
        EXPECT_FALSE(out.open()) << name.c_str();
        EXPECT_FALSE(zv::replaceFileContent(name, "x", 1));
    }
    EXPECT_EQ(zvtest::readAll(tmp.host() / "ro.txt"), "protected");
    EXPECT_TRUE(fs::is_directory(tmp.host() / "folder"));
    EXPECT_EQ(entries(tmp.host()), (std::vector<std::string>{"folder", "ro.txt"}));
}

TEST(atomicFileWriter, KeepsTheTargetsAttributes) {
    zvtest::tempFolder tmp;
    const zv::file f = tmp.write(L"hidden.cfg", "old");
    ASSERT_TRUE(f.setAttributes(0x02 | 0x20));
    unsigned before = 0;
    ASSERT_TRUE(f.getAttributes(before));
#ifndef _WIN32
    fs::permissions(tmp.host() / "hidden.cfg", fs::perms::owner_read | fs::perms::owner_write);
#endif
    ASSERT_TRUE(zv::replaceFileContent(f, "new", 3));
    unsigned after = 0;
    ASSERT_TRUE(zvtest::gives(f.getAttributes(after), after, true, before));
    EXPECT_EQ(zvtest::readAll(tmp.host() / "hidden.cfg"), "new");
#ifndef _WIN32
    EXPECT_EQ(fs::status(tmp.host() / "hidden.cfg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write)
        << "a private file stays private";
#endif
}

#ifndef _WIN32
TEST(atomicFileWriter, ALinkStaysALinkAndItsDestinationIsReplaced) {
    zvtest::tempFolder tmp;
    tmp.write(L"real.txt", "old");
    fs::create_symlink(tmp.host() / "real.txt", tmp.host() / "link.txt");
    ASSERT_TRUE(zv::replaceFileContent(zv::file(tmp.dir(), L"link.txt"), "new", 3));
    EXPECT_TRUE(fs::is_symlink(tmp.host() / "link.txt"));
    EXPECT_EQ(zvtest::readAll(tmp.host() / "real.txt"), "new");
    fs::create_symlink(tmp.host() / "nowhere", tmp.host() / "dangling");
    EXPECT_FALSE(zv::replaceFileContent(zv::file(tmp.dir(), L"dangling"), "x", 1));
}
#endif
