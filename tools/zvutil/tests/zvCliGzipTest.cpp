#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using zvclitest::cliResult;
using zvclitest::readAll;
using zvclitest::run;
using zvclitest::tempFolder;

namespace fs = std::filesystem;

std::string sample() {
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "record " + std::to_string(i * 37 % 1009) + ";\n";
    return text;
}

TEST(cliGzip, CompressesAndUncompressesWithDefaultNames) {
    tempFolder tmp;
    const std::string text = sample();
    const fs::path plain = tmp.write("data.txt", text);
    const cliResult packed = run({"gzip", plain.string()});
    ASSERT_EQ(packed.rc, 0) << packed.err;
    EXPECT_NE(packed.out.find(std::to_string(text.size()) + " -> "), std::string::npos);
    const std::string gz = readAll(tmp.path() / "data.txt.gz");
    ASSERT_GT(gz.size(), 10u);
    EXPECT_EQ(gz.substr(0, 2), "\x1f\x8b");
    EXPECT_EQ(readAll(plain), text); // the source stays

    fs::remove(plain);
    const cliResult unpacked = run({"gunzip", "--quiet", (tmp.path() / "data.txt.gz").string()});
    ASSERT_EQ(unpacked.rc, 0) << unpacked.err;
    EXPECT_EQ(unpacked.out, "");
    EXPECT_EQ(readAll(plain), text);

    const fs::path other = tmp.path() / "other.bin";
    ASSERT_EQ(run({"gunzip", "-q", (tmp.path() / "data.txt.gz").string(), "-o", other.string()}).rc, 0);
    EXPECT_EQ(readAll(other), text);
}

TEST(cliGzip, RefusesBadArgumentsAndKeepsExistingFiles) {
    tempFolder tmp;
    const fs::path plain = tmp.write("a.txt", "abc");
    EXPECT_EQ(run({"gzip"}).rc, 2);
    EXPECT_EQ(run({"gzip", plain.string(), "-o"}).rc, 2);
    EXPECT_EQ(run({"gzip", plain.string(), "--level", "9"}).rc, 2);
    EXPECT_EQ(run({"gzip", plain.string(), "-o", plain.string()}).rc, 2);
    EXPECT_EQ(run({"gunzip", plain.string()}).rc, 2); // no .gz, no -o
    EXPECT_EQ(run({"gzip", (tmp.path() / "missing.txt").string()}).rc, 1);

    const fs::path existing = tmp.write("a.txt.gz", "keep me");
    EXPECT_TRUE(zvclitest::failsWith(run({"gzip", plain.string()}), 1, "--force"));
    EXPECT_EQ(readAll(existing), "keep me");
    EXPECT_EQ(run({"gzip", "-q", "--force", plain.string()}).rc, 0);
    EXPECT_NE(readAll(existing), "keep me");
}

TEST(cliGzip, DamagedOrForeignInputFailsWithoutOutput) {
    tempFolder tmp;
    const fs::path plain = tmp.write("b.txt", sample());
    ASSERT_EQ(run({"gzip", "-q", plain.string()}).rc, 0);
    const std::string gz = readAll(tmp.path() / "b.txt.gz");
    const fs::path cut = tmp.write("cut.gz", gz.substr(0, gz.size() / 2));
    EXPECT_TRUE(zvclitest::failsWith(run({"gunzip", cut.string()}), 1, "cannot uncompress"));
    EXPECT_FALSE(fs::exists(tmp.path() / "cut"));

    const fs::path text = tmp.write("text.gz", "plain text, not gzip");
    EXPECT_TRUE(zvclitest::failsWith(run({"gunzip", text.string()}), 1, "not in gzip format"));
    EXPECT_FALSE(fs::exists(tmp.path() / "text"));
}

TEST(cliScramble, RestoresWithTheSameKeyAndMode) {
    tempFolder tmp;
    const std::string text = "The quick brown fox jumps over the lazy dog";
    const fs::path plain = tmp.write("p.txt", text);
    const fs::path xored = tmp.path() / "x.bin";
    const fs::path xxored = tmp.path() / "xx.bin";
    ASSERT_EQ(run({"scramble", "--key", "secret", "--xor", plain.string(), xored.string()}).rc, 0);
    ASSERT_EQ(run({"scramble", "--key", "secret", plain.string(), xxored.string()}).rc, 0);
    const std::string a = readAll(xored);
    const std::string b = readAll(xxored);
    ASSERT_EQ(a.size(), text.size());
    EXPECT_EQ(static_cast<unsigned char>(a[0]), 'T' ^ 's');
    EXPECT_EQ(a.substr(0, 6), b.substr(0, 6)); // the key's first round is the same
    EXPECT_NE(a, b);                           // later rounds turn the key
    ASSERT_EQ(run({"scramble", "--xxor", "--key", "secret", xxored.string(), xxored.string()}).rc, 0);
    EXPECT_EQ(readAll(xxored), text);

    EXPECT_EQ(run({"scramble", "--key", "", plain.string(), xored.string()}).rc, 2);
    EXPECT_EQ(run({"scramble", plain.string(), xored.string()}).rc, 2);
    EXPECT_EQ(run({"scramble", "--key", "k", plain.string()}).rc, 2);
    EXPECT_EQ(run({"scramble", "--key", "k", (tmp.path() / "none").string(), xored.string()}).rc, 1);
}

} // namespace
