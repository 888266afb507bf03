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
    for (const char* command : {"ls", "dirs"})
        expectCases({command}, {{{file}, 1, "", "is a file, not a folder"},
                                {{tmp.at("missing")}, 1, "", "no folder"},
                                {{locked}, canLock ? 1 : 0, "", canLock ? "cannot read the folder" : ""}});
    fs::permissions(locked, fs::perms::owner_all, ec);
}

#ifndef _WIN32
// A reader of a pipe would wait for a writer for ever.
TEST(zvutilFiles, PipesAreRefusedNotRead) {
    tempFolder tmp;
    const std::string fifo = tmp.at("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const args& a : {args{"fileinfo", fifo}, {"crc32", fifo}, {"gunzip", fifo, "-o", tmp.at("out")}})
        expectCases({{a, 1, "", "is not a regular file"}});
}
#endif

// Library names hold a colon of their own: crc32 takes them in any case, and a
// list of them splits at ";".
TEST(zvutilFiles, CommandsTakeLibraryNames) {
    tempFolder tmp;
    const std::string abc = libraryNameOf(tmp.write("abc.txt", "abc"));
    const std::string upper = abc.substr(0, abc.size() - 7) + "ABC.TXT";
    EXPECT_EQ(run({"crc32", upper}).out, "352441c2  " + upper + "\n");
    fs::create_directories(tmp.path() / "a");
    tmp.write("tool.cfg", "t");
    const std::string list = " " + libraryNameOf(tmp.path() / "a") + " ; " + libraryNameOf(tmp.path());
    const cliResult r = run({"which", "tool.cfg", "--path", list});
    EXPECT_TRUE(r.rc == 0 && r.out.find("tool.cfg") != std::string::npos) << r.out << r.err;
}

// The end-to-end script covers a hard link; a symbolic link is refused the same way.
TEST(zvutilFiles, GzipNeverWritesOverItsSourceUnderAnotherName) {
    tempFolder tmp;
    const std::string src = tmp.write("src.txt", "keep"), alias = tmp.at("soft.txt");
    std::error_code ec;
    fs::create_symlink(src, alias, ec);
    if (ec)
        GTEST_SKIP() << "symbolic links cannot be made here: " << ec.message();
    for (const char* command : {"gzip", "gunzip"})
        expectCases({command}, {{{src, "-o", alias, "--force"}, 2, "", "the same file"}});
    EXPECT_EQ(readAll(src), "keep");
}

// Round trips with the system's gzip and the plain failures are in the end-to-end script.
TEST(cliGzip, RefusesBadArgumentsAndDamagedInputWithoutTouchingFiles) {
    tempFolder tmp;
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "record " + std::to_string(i * 37 % 1009) + ";\n";
    const std::string plain = tmp.write("a.txt", text), missing = tmp.at("none"), out = tmp.at("out");
    const cliResult packed = run({"gzip", plain});
    ASSERT_EQ(packed.rc, 0) << packed.err;
    EXPECT_NE(packed.out.find(std::to_string(text.size()) + " -> "), std::string::npos);
    const std::string gz = readAll(plain + ".gz");
    const std::string cut = tmp.write("cut.gz", gz.substr(0, gz.size() / 2));
    const std::string foreign = tmp.write("text.gz", "plain text, not gzip");
    expectCases({
        {{"gzip", plain, "-o"}, 2, ""},
        {{"gzip", plain, "--level", "9"}, 2, ""},
        {{"gzip", plain, "-o", plain}, 2, ""},
        {{"gzip", plain}, 1, "", "--force"},
        {{"gunzip", cut, "-o", out}, 1, "", "cannot uncompress"},
        {{"gunzip", foreign, "-o", out}, 1, "", "not in gzip format"},
        {{"scramble", "--key", "", plain, out}, 2, ""},
        {{"scramble", "--key", "k", missing, out}, 1, ""},
    });
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(readAll(plain), text);
    EXPECT_EQ(readAll(plain + ".gz"), gz);
    EXPECT_EQ(run({"gzip", "-q", "--force", plain}).rc, 0);
}

TEST(cliScramble, XorKeepsItsKeyXxorTurnsItAndBothRestore) {
    tempFolder tmp;
    const std::string text = "The quick brown fox jumps over the lazy dog", key = "secret";
    const std::string plain = tmp.write("p.txt", text), x = tmp.at("x.bin"), xx = tmp.at("xx.bin");
    ASSERT_EQ(run({"scramble", "--key", key, "--xor", plain, x}).rc, 0);
    ASSERT_EQ(run({"scramble", "--key", key, plain, xx}).rc, 0);
    std::string xored = text;
    for (std::size_t i = 0; i < xored.size(); ++i)
        xored[i] = static_cast<char>(xored[i] ^ key[i % key.size()]);
    EXPECT_EQ(readAll(x), xored);
    EXPECT_EQ(readAll(xx).substr(0, 6), xored.substr(0, 6)); // the key's first round is the same
    EXPECT_NE(readAll(xx), xored);                           // later rounds turn the key
    ASSERT_EQ(run({"scramble", "--xxor", "--key", key, xx, xx}).rc, 0);
    EXPECT_EQ(readAll(xx), text);
}

} // namespace
