#include "zvBinaryBuffer.h"

#include "zvCodePage.h"
#include "zvFsTestSupport.h"

#include <gtest/gtest.h>

#include <new>
#include <tuple>

namespace {

std::string content(const zv::binaryBuffer& b) {
    return b.logicalLength() ? std::string(b.data(), b.logicalLength()) : std::string();
}

zv::binaryBuffer bufferOf(const std::string& text) {
    zv::binaryBuffer b;
    b.write(text.data(), static_cast<unsigned>(text.size()));
    return b;
}

std::string bytes(std::initializer_list<unsigned char> list) {
    return std::string(list.begin(), list.end());
}

// Points the temporary folder at a folder of the test's own while it lives.
struct tempDirOverride {
    explicit tempDirOverride(const zv::directory& dir) { zv::directory::overwriteSystemTempDir(dir); }
    ~tempDirOverride() { zv::directory::overwriteSystemTempDir(zv::directory()); }
};

} // namespace

TEST(binaryBuffer, GrowsExactlyAndShrinksToAtLeastEightBytes) {
    zv::binaryBuffer b(10);
    b.write("abc", 3);
    EXPECT_EQ(b.physicalLength(), 10u);
    b.write("0123456789", 10);
    EXPECT_EQ(b.physicalLength(), 13u);
    zv::binaryBuffer small(100), tiny(5);
    b.reAllocate(40), b.shrink();
    small.write("xyz", 3), small.shrink();
    tiny.shrink(), tiny.reAllocate(3); // neither grows nor shrinks
    EXPECT_TRUE(b.physicalLength() == 13 && small.physicalLength() == 8 && tiny.physicalLength() == 5);
    EXPECT_EQ(content(small), "xyz");
}

// Sources inside the buffer survive both the growth and the move.
TEST(binaryBuffer, WritesAtStartAndFromItsOwnBytes) {
    zv::binaryBuffer b = bufferOf("xyz");
    b.writeAtStart("ab", 2);
    b.reAllocate(20);
    b.writeAtStart("12", 2); // within the array
    EXPECT_EQ(content(b), "12abxyz");
    zv::binaryBuffer self = bufferOf("hello");
    self.write(self.data(), self.logicalLength());
    EXPECT_EQ(content(self), "hellohello");
    self.reAllocate(64);
    self.writeAtStart(self.data() + 5, 5);
    self.writeAtStart(self.data(), 15);
    EXPECT_EQ(content(self), "hellohellohellohellohellohello");
    zv::binaryBuffer exact = bufferOf("abc");
    exact.writeAtStart(exact.data() + 1, 2); // growth
    EXPECT_EQ(content(exact), "bcabc");
}

TEST(binaryBuffer, ReadsThroughCursorsWithinTheContentOnly) {
    zv::binaryBuffer b(16);
    b.write("12345", 5);
    // What a read of up to `n` bytes at `cursor` delivers; the cursor moves on.
    auto take = [&b](void*& cursor, unsigned n) {
        char out[8] = {};
        return std::string(out, b.read(cursor, out, n));
    };
    void* cursor = nullptr;
    EXPECT_TRUE(take(cursor, 3) == "123" && b.isValidCursor(cursor));
    EXPECT_TRUE(take(cursor, 3) == "45" && !b.isValidCursor(cursor));
    // At the end, past the content in the spare room of the array, elsewhere, and on no array.
    char foreign[4] = {};
    void *spare = b.data() + 8, *elsewhere = foreign, *none = nullptr;
    EXPECT_TRUE(take(cursor, 3).empty() && take(spare, 3).empty() && take(elsewhere, 3).empty());
    EXPECT_TRUE(elsewhere == foreign && !b.isValidCursor(foreign));
    EXPECT_EQ(zv::binaryBuffer().read(none, foreign, 3), 0u);
}

TEST(binaryBuffer, CopiesAdoptsAndHandsOverItsArray) {
    zv::binaryBuffer source(50);
    source.write("data", 4);
    EXPECT_EQ(zv::binaryBuffer(source).physicalLength(), 4u);
    zv::binaryBuffer assigned(2);
    assigned = source;
    const zv::binaryBuffer& alias = assigned;
    assigned = alias;
    EXPECT_TRUE(assigned == source);
    assigned.write("!", 1);
    EXPECT_TRUE(assigned != source);
    assigned.clear();
    EXPECT_TRUE(assigned.logicalLength() == 0 && assigned.physicalLength() == 5);

    char* raw = new char[3]{'a', 'b', 'c'};
    zv::binaryBuffer adopted(raw, 3);
    EXPECT_EQ(content(adopted), "abc");
    char* back = adopted.unlinkBuffer();
    EXPECT_TRUE(back == raw && !adopted.data() && adopted.logicalLength() == 0 &&
                adopted.physicalLength() == 0);
    delete[] back;
    EXPECT_TRUE(!source.setLogicalLength(51) && source.setLogicalLength(2) && content(source) == "da");
}

TEST(binaryBuffer, NeverGrowsPastFourGibibytes) {
    // A small array that claims to be almost full: any growth would wrap the
    // 32-bit length, and must be refused before memory is touched.
    zv::binaryBuffer full(new char[16], 0xFFFFFFF8u);
    EXPECT_THROW(full.write("0123456789", 10), std::bad_alloc);
    EXPECT_THROW(full.writeAtStart("0123456789", 10), std::bad_alloc);
    EXPECT_FALSE(full.base64Encode());
    zvtest::tempFolder tmp;
    EXPECT_FALSE(full.readFromFile(tmp.write(L"ten.bin", "0123456789")));
    EXPECT_EQ(full.logicalLength(), 0xFFFFFFF8u);
    EXPECT_TRUE(full.setLogicalLength(0)); // the destructor only frees the array
}

TEST(binaryBuffer, ReadsAndWritesFiles) {
    zvtest::tempFolder tmp;
    zv::binaryBuffer b = bufferOf("head:");
    ASSERT_TRUE(b.readFromFile(tmp.write(L"in.bin", std::string("ab\0cd", 5)))); // appends
    EXPECT_EQ(b.physicalLength(), 10u);
    EXPECT_FALSE(b.readFromFile(zv::file(tmp.dir(), L"missing.bin")) || b.readFromFile(zv::file()));
    ASSERT_TRUE(b.readFromFile(tmp.write(L"empty.bin", "")));
    EXPECT_EQ(content(b), std::string("head:ab\0cd", 10));

    const zv::file out(tmp.dir(), L"out.bin");
    ASSERT_TRUE(b.writeToFile(out, false));
    ASSERT_TRUE(bufferOf("+tail").writeToFile(out, true));
    EXPECT_EQ(zvtest::readAll(tmp.host() / "out.bin"), std::string("head:ab\0cd+tail", 15));
    ASSERT_TRUE(bufferOf("new").writeToFile(out, false)); // replaces
    EXPECT_FALSE(b.writeToFile(zv::file(tmp.dir(), L"no\\such\\folder.bin"), false));
    ASSERT_TRUE(out.change(zv::file::accessRead));
    EXPECT_FALSE(b.writeToFile(out, false));
    EXPECT_EQ(zvtest::readAll(tmp.host() / "out.bin"), "new");
}

TEST(binaryBuffer, CompressesThroughTemporaryFilesThatGoAway) {
    zvtest::tempFolder tmp;
    const tempDirOverride temp(tmp.dir());
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + std::to_string(i * 7919 % 1000) + " of the buffer\n";
    zv::binaryBuffer b = bufferOf(text);
    ASSERT_TRUE(!b.isGZCompressed() && b.gzCompress() && b.isGZCompressed());
    EXPECT_LT(b.logicalLength(), text.size() / 3);
    zv::binaryBuffer cut(b);
    EXPECT_TRUE(b.gzUncompress() && content(b) == text);
    zv::binaryBuffer empty;
    EXPECT_TRUE(empty.gzCompress() && empty.gzUncompress() && empty.logicalLength() == 0);
    // A damaged stream fails and leaves the content as it was.
    ASSERT_TRUE(cut.setLogicalLength(cut.logicalLength() / 2));
    const zv::binaryBuffer before(cut);
    EXPECT_TRUE(!cut.gzUncompress() && cut == before && tmp.dir().numberOfFiles() == 0);
    // The header is recognised by all of its first three bytes.
    EXPECT_FALSE(bufferOf(bytes({0x1F, 0x8B, 0x09})).isGZCompressed() ||
                 bufferOf(bytes({0x1F, 0x8B})).isGZCompressed());
}

TEST(binaryBuffer, CodesBase64AndWidensAnsiText) {
    zv::binaryBuffer b = bufferOf("Man!");
    EXPECT_TRUE(b.base64Encode() && content(b) == "TWFuIQ==" && b.base64Decode() && content(b) == "Man!");
    auto widened = [](const std::string& text) {
        zv::binaryBuffer w = bufferOf(text);
        return w.mbcsToWideChar() ? content(w) : "<failed>";
    };
    EXPECT_EQ(widened("ab"), bytes({'a', 0, 'b', 0}));
    EXPECT_EQ(widened(""), "");
    if (zv::ansiCodePage() == 1252) { // e-acute, euro sign
        EXPECT_EQ(widened("\xE9\x80"), bytes({0xE9, 0x00, 0xAC, 0x20}));
    } else if (zv::ansiCodePage() == 65001) { // one character beyond 16 bits
        EXPECT_EQ(widened("\xF0\x9F\x98\x80"), bytes({0x3D, 0xD8, 0x00, 0xDE}));
    }
}

// A key turns after every byte (one-byte key) or each time it wraps: by right
// rotation, or in the old form by a shift that fills high bytes with ones.
TEST(binaryBuffer, ScramblesWithAKey) {
    const std::string plain = "The quick brown fox";
    zv::binaryBuffer b = bufferOf(plain);
    b.xxor("key");
    b.xxor("key");
    b.xor (nullptr);
    b.xxor("");
    b.xxorDontUseAnyLonger(nullptr);
    EXPECT_EQ(content(b), plain);
    const std::tuple<void (zv::binaryBuffer::*)(const char*), const char*, std::string> cases[] = {
        {&zv::binaryBuffer::xxor, "\x81", bytes({0x81, 0xC0, 0x60, 0x30})},
        {&zv::binaryBuffer::xxorDontUseAnyLonger, "\x81", bytes({0x81, 0xC0, 0xE0, 0xF0})},
        {&zv::binaryBuffer::xxorDontUseAnyLonger, "\x03", bytes({0x03, 0x81, 0xC0})},
        {&zv::binaryBuffer::xxor, "\x02\x04", bytes({0x02, 0x04, 0x01, 0x02})},
        {&zv::binaryBuffer:: xor, "\x02\x04", bytes({0x02, 0x04, 0x02, 0x04})},
    };
    for (const auto& [scramble, key, expected] : cases) {
        zv::binaryBuffer zeros = bufferOf(std::string(expected.size(), '\0'));
        (zeros.*scramble)(key);
        EXPECT_EQ(content(zeros), expected) << testing::PrintToString(std::string(key));
    }
    // The key length counts modulo 65,536: a key of exactly that length is empty.
    zv::binaryBuffer same = bufferOf(plain);
    same.xor (std::string(65536, 'z').c_str());
    EXPECT_EQ(content(same), plain);
    same.xor ((std::string(65536, 'z') + "k").c_str());
    EXPECT_EQ(static_cast<unsigned char>(same.data()[1]), 'h' ^ 'z');
}
