#include "zvCliTestSupport.h"

#include "zvFsEntryName.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using namespace zvclitest;

// The library's name of a host path ("C:\tmp\x" for "/tmp/x" on Linux), in 8 bits.
std::string libraryNameOf(const fs::path& p) {
    const std::wstring wide = zv::fsEntryName::fromHostPath(p.wstring());
    return std::string(wide.begin(), wide.end()); // the test folders are ASCII
}

TEST(zvutilFiles, FolderCommandsSayWhatIsWrongWithTheirFolder) {
    tempFolder tmp;
    const std::string file = tmp.write("plain.txt", "x"), locked = tmp.at("locked");
    fs::create_directory(locked);
    std::error_code ec;
    fs::permissions(locked, fs::perms::none, ec);
    fs::directory_iterator probe(locked, ec);
    const bool canLock = bool(ec); // root reads folders without permission
    for (const char* command : {"ls", "dirs"}) {
        EXPECT_TRUE(failsWith(run({command, file}), 1, "is a file, not a folder")) << command;
        EXPECT_TRUE(failsWith(run({command, tmp.at("missing")}), 1, "no folder")) << command;
        const cliResult r = run({command, locked});
        EXPECT_TRUE(!canLock || (failsWith(r, 1, "cannot read the folder") && r.out.empty())) << command;
    }
    fs::permissions(locked, fs::perms::owner_all, ec);
}

#ifndef _WIN32
// A reader of a pipe would wait for a writer for ever.
TEST(zvutilFiles, PipesAreRefusedNotRead) {
    tempFolder tmp;
    const std::string fifo = tmp.at("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const args& a : {args{"fileinfo", fifo}, {"crc32", fifo}, {"gunzip", fifo, "-o", tmp.at("out")}})
        EXPECT_TRUE(failsWith(run(a), 1, "is not a regular file")) << a[0];
}
#endif

// Library names hold a colon of their own: crc32 takes them in any case, and a
// list of them splits at ";".
TEST(zvutilFiles, CommandsTakeLibraryNames) {
    tempFolder tmp;
    const std::string abc = libraryNameOf(tmp.write("abc.txt", "abc"));
    const std::string upper = abc.substr(0, abc.size() - 7) + "ABC.TXT";
    for (const std::string& name : {abc, upper})
        EXPECT_EQ(run({"crc32", name}).out, "352441c2  " + name + "\n");
    fs::create_directories(tmp.path() / "a");
    fs::create_directories(tmp.path() / "b");
    tmp.write("b/tool.cfg", "b");
    const std::string a = libraryNameOf(tmp.path() / "a"), b = libraryNameOf(tmp.path() / "b");
    for (const std::string& list : {a + ";" + b, " " + a + " ; " + b}) {
        const cliResult r = run({"which", "tool.cfg", "--path", list});
        EXPECT_EQ(r.rc, 0) << list << ": " << r.err;
        EXPECT_NE(r.out.find("tool.cfg"), std::string::npos) << list;
    }
}

// The end-to-end script covers a hard link; a symbolic link is refused the same way.
TEST(zvutilFiles, GzipNeverWritesOverItsSourceUnderAnotherName) {
    tempFolder tmp;
    const std::string src = tmp.write("src.txt", "keep"), alias = tmp.at("soft.txt");
    std::error_code ec;
    fs::create_symlink(src, alias, ec);
    if (ec)
        GTEST_SKIP() << "symbolic links cannot be made here: " << ec.message();
    for (const char* command : {"gzip", "gunzip"}) {
        EXPECT_TRUE(failsWith(run({command, src, "-o", alias, "--force"}), 2, "the same file")) << command;
        EXPECT_EQ(readAll(src), "keep") << command;
    }
}

} // namespace
