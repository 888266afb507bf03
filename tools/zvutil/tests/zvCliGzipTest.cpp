#include "zvCliTestSupport.h"

using namespace zvclitest;

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
        {{"gzip", missing}, 1, ""},
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
