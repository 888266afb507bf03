#include "zvCliTestSupport.h"

#include "zvFsEntryName.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using zvclitest::cliResult;
using zvclitest::readAll;
using zvclitest::run;
using zvclitest::tempFolder;

namespace fs = std::filesystem;

bool mentions(const cliResult& r, const std::string& text) {
    return r.err.find(text) != std::string::npos;
}

// The library's name of a host path ("C:\tmp\x" for "/tmp/x" on Linux), in 8 bits.
std::string libraryNameOf(const fs::path& p) {
    const std::wstring wide = zv::fsEntryName::fromHostPath(p.wstring());
    return std::string(wide.begin(), wide.end()); // the test folders are ASCII
}

TEST(zvutilFiles, FolderCommandsSayWhatIsWrongWithTheirFolder) {
    tempFolder tmp;
    const fs::path file = tmp.write("plain.txt", "x");
    for (const char* command : {"ls", "dirs"}) {
        EXPECT_TRUE(zvclitest::failsWith(run({command, file.string()}), 1, "is a file, not a folder"))
            << command;
        EXPECT_TRUE(zvclitest::failsWith(run({command, (tmp.path() / "missing").string()}), 1, "no folder"))
            << command;
    }
    fs::create_directory(tmp.path() / "locked");
    std::error_code ec;
    fs::permissions(tmp.path() / "locked", fs::perms::none, ec);
    fs::directory_iterator probe(tmp.path() / "locked", ec);
    if (!ec) {
        fs::permissions(tmp.path() / "locked", fs::perms::owner_all, ec);
        GTEST_SKIP() << "this user reads folders without permission";
    }
    for (const char* command : {"ls", "dirs"}) {
        const cliResult locked = run({command, (tmp.path() / "locked").string()});
        EXPECT_EQ(locked.rc, 1) << command;
        EXPECT_EQ(locked.out, "") << command;
        EXPECT_TRUE(mentions(locked, "cannot read the folder")) << command << ": " << locked.err;
    }
    fs::permissions(tmp.path() / "locked", fs::perms::owner_all, ec);
}

#ifndef _WIN32
// A reader of a pipe would wait for a writer for ever.
TEST(zvutilFiles, PipesAreRefusedNotRead) {
    tempFolder tmp;
    const fs::path fifo = tmp.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::vector<std::string>> commands = {
        {"fileinfo", fifo.string()},
        {"crc32", fifo.string()},
        {"gzip", fifo.string(), "-o", (tmp.path() / "out.gz").string()},
        {"gunzip", fifo.string(), "-o", (tmp.path() / "out.txt").string()},
    };
    for (const auto& args : commands)
        EXPECT_TRUE(zvclitest::failsWith(run(args), 1, "is not a regular file")) << args[0];
}
#endif

// crc32 names files as every other command does: library names, any case.
TEST(zvutilFiles, Crc32TakesLibraryNames) {
    tempFolder tmp;
    const fs::path abc = tmp.write("abc.txt", "abc");
    std::string upper = libraryNameOf(abc);
    std::transform(upper.end() - 7, upper.end(), upper.end() - 7,
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const std::string& name : {libraryNameOf(abc), upper}) {
        const cliResult r = run({"crc32", name});
        EXPECT_EQ(r.rc, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out, "352441c2  " + name + "\n");
    }
}

// A library name holds a colon of its own: such a list splits at ";".
TEST(zvutilFiles, WhichSplitsLibraryNamesAtSemicolons) {
    tempFolder tmp;
    fs::create_directories(tmp.path() / "a");
    fs::create_directories(tmp.path() / "b");
    tmp.write("b/tool.cfg", "b");
    const std::string a = libraryNameOf(tmp.path() / "a"), b = libraryNameOf(tmp.path() / "b");
    for (const std::string& list : {b, a + ";" + b, " " + a + " ; " + b}) {
        const cliResult r = run({"which", "tool.cfg", "--path", list});
        EXPECT_EQ(r.rc, 0) << list << ": " << r.err;
        EXPECT_NE(r.out.find("tool.cfg"), std::string::npos) << list;
    }
}

TEST(zvutilFiles, GzipNeverWritesOverItsSourceAndBlamesTheRightFile) {
    tempFolder tmp;
    const std::string text = "some text to keep\n";
    const fs::path src = tmp.write("src.txt", text);
    std::error_code ec;
    fs::create_hard_link(src, tmp.path() / "hard.txt", ec);
    const bool hard = !ec;
    fs::create_symlink(src, tmp.path() / "soft.txt", ec);
    const bool soft = !ec;
    for (const char* alias : {"hard.txt", "soft.txt"}) {
        if ((alias[0] == 'h' && !hard) || (alias[0] == 's' && !soft))
            continue;
        for (const char* command : {"gzip", "gunzip"}) {
            const cliResult r = run({command, src.string(), "-o", (tmp.path() / alias).string(), "--force"});
            EXPECT_NE(r.rc, 0) << command << " onto " << alias;
            EXPECT_TRUE(mentions(r, "the same file")) << command << " onto " << alias << ": " << r.err;
            EXPECT_EQ(readAll(src), text) << command << " onto " << alias;
        }
    }

    // A write-protected output is named as the culprit, not the input.
    ASSERT_EQ(run({"gzip", "-q", src.string()}).rc, 0);
    const fs::path readOnly = tmp.write("readonly.txt", "old");
    fs::permissions(readOnly, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const cliResult r =
        run({"gunzip", (tmp.path() / "src.txt.gz").string(), "-o", readOnly.string(), "--force"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(mentions(r, "cannot write '" + readOnly.string() + "'")) << r.err;
    EXPECT_FALSE(mentions(r, "damaged")) << r.err;
    EXPECT_EQ(readAll(readOnly), "old");
    fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::add);
}

} // namespace
