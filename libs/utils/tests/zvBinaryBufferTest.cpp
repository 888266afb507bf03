#include "zvBinaryBuffer.h"

#include "zvCodePage.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvFsTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <new>
#include <string>

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
    EXPECT_EQ(b.logicalLength(), 0u);
    EXPECT_EQ(b.physicalLength(), 10u);
    b.write("abc", 3);
    EXPECT_EQ(b.physicalLength(), 10u);
    b.write("0123456789", 10);
    EXPECT_EQ(b.physicalLength(), 13u);
    EXPECT_EQ(content(b), "abc0123456789");

    zv::binaryBuffer small(100);
    small.write("xyz", 3);
    small.shrink();
    EXPECT_EQ(small.physicalLength(), 8u);
    EXPECT_EQ(content(small), "xyz");
    small.write("0123456789", 10);
    small.reAllocate(40);
    small.shrink();
    EXPECT_EQ(small.physicalLength(), 13u);
    zv::binaryBuffer tiny(5);
    tiny.write("ab", 2);
    tiny.shrink(); // never grows
    EXPECT_EQ(tiny.physicalLength(), 5u);
    tiny.reAllocate(3); // never shrinks either
    EXPECT_EQ(tiny.physicalLength(), 5u);

    zv::binaryBuffer empty;
    EXPECT_EQ(empty.data(), nullptr);
    empty.write(nullptr, 0);
    EXPECT_EQ(empty.physicalLength(), 0u);
}

TEST(binaryBuffer, WritesAtStartAndFromItsOwnBytes) {
    zv::binaryBuffer b = bufferOf("xyz");
    b.writeAtStart("ab", 2);
    EXPECT_EQ(content(b), "abxyz");
    b.reAllocate(20);
    b.writeAtStart("12", 2); // within the array
    EXPECT_EQ(content(b), "12abxyz");

    // Sources inside the buffer survive both the growth and the move.
    zv::binaryBuffer self = bufferOf("hello");
    self.write(self.data(), self.logicalLength());
    EXPECT_EQ(content(self), "hellohello");
    self.reAllocate(64);
    self.writeAtStart(self.data() + 5, 5);
    EXPECT_EQ(content(self), "hellohellohello");
    self.writeAtStart(self.data(), 15);
    EXPECT_EQ(content(self), "hellohellohellohellohellohello");
    zv::binaryBuffer exact = bufferOf("abc");
    exact.writeAtStart(exact.data() + 1, 2); // growth
    EXPECT_EQ(content(exact), "bcabc");
}

TEST(binaryBuffer, ReadsThroughCursorsWithinTheContentOnly) {
    zv::binaryBuffer b(16);
    b.write("12345", 5);
    void* cursor = nullptr;
    char out[8] = {};
    EXPECT_EQ(b.read(cursor, out, 3), 3u);
    EXPECT_EQ(std::string(out, 3), "123");
    EXPECT_TRUE(b.isValidCursor(cursor));
    EXPECT_EQ(b.read(cursor, out, 3), 2u);
    EXPECT_EQ(std::string(out, 2), "45");
    // At the end, and past the content in the spare room of the array.
    EXPECT_FALSE(b.isValidCursor(cursor));
    EXPECT_EQ(b.read(cursor, out, 3), 0u);
    void* spare = b.data() + 8;
    EXPECT_EQ(b.read(spare, out, 3), 0u);
    char foreign[4] = {};
    void* elsewhere = foreign;
    EXPECT_FALSE(b.isValidCursor(foreign));
    EXPECT_EQ(b.read(elsewhere, out, 3), 0u);
    EXPECT_EQ(elsewhere, static_cast<void*>(foreign));

    zv::binaryBuffer empty;
    void* none = nullptr;
    EXPECT_EQ(empty.read(none, out, 3), 0u);
    EXPECT_EQ(none, nullptr);
}

TEST(binaryBuffer, CopiesAdoptsAndHandsOverItsArray) {
    zv::binaryBuffer source(50);
    source.write("data", 4);
    const zv::binaryBuffer copy(source);
    EXPECT_EQ(copy.physicalLength(), 4u);
    EXPECT_TRUE(copy == source);

    zv::binaryBuffer assigned(2);
    assigned = source;
    EXPECT_EQ(content(assigned), "data");
    const zv::binaryBuffer& alias = assigned;
    assigned = alias;
    EXPECT_EQ(content(assigned), "data");
    assigned.write("!", 1);
    EXPECT_TRUE(assigned != source);
    assigned.clear();
    EXPECT_EQ(assigned.logicalLength(), 0u);
    EXPECT_EQ(assigned.physicalLength(), 5u);

    char* raw = new char[3]{'a', 'b', 'c'};
    zv::binaryBuffer adopted(raw, 3);
    EXPECT_EQ(adopted.data(), raw);
    EXPECT_EQ(content(adopted), "abc");
    char* back = adopted.unlinkBuffer();
    EXPECT_EQ(back, raw);
    EXPECT_EQ(adopted.data(), nullptr);
    EXPECT_EQ(adopted.logicalLength() + adopted.physicalLength(), 0u);
    delete[] back;

    EXPECT_FALSE(source.setLogicalLength(51));
    EXPECT_TRUE(source.setLogicalLength(2));
    EXPECT_EQ(content(source), "da");
}

TEST(binaryBuffer, NeverGrowsPastFourGibibytes) {
    // A small array that claims to be almost full: any growth would wrap the
    // 32-bit length, and must be refused before memory is touched.
    zv::binaryBuffer full(new char[16], 0xFFFFFFF8u);
    EXPECT_THROW(full.write("0123456789", 10), std::bad_alloc);
    EXPECT_THROW(full.writeAtStart("0123456789", 10), std::bad_alloc);
    EXPECT_EQ(full.logicalLength(), 0xFFFFFFF8u);
    EXPECT_FALSE(full.base64Encode());
    EXPECT_EQ(full.logicalLength(), 0xFFFFFFF8u);

    zvtest::tempFolder tmp;
    EXPECT_FALSE(full.readFromFile(tmp.write(L"ten.bin", "0123456789")));
    EXPECT_EQ(full.logicalLength(), 0xFFFFFFF8u);
    EXPECT_TRUE(full.setLogicalLength(0)); // the destructor only frees the array
}

TEST(binaryBuffer, ReadsAndWritesFiles) {
    zvtest::tempFolder tmp;
    const zv::file in = tmp.write(L"in.bin", std::string("ab\0cd", 5));
    zv::binaryBuffer b = bufferOf("head:");
    ASSERT_TRUE(b.readFromFile(in)); // appends
    EXPECT_EQ(content(b), std::string("head:ab\0cd", 10));
    EXPECT_EQ(b.physicalLength(), 10u);

    EXPECT_FALSE(b.readFromFile(zv::file(tmp.dir(), L"missing.bin")));
    EXPECT_FALSE(b.readFromFile(zv::file()));
    EXPECT_EQ(b.logicalLength(), 10u);
    const zv::file empty = tmp.write(L"empty.bin", "");
    ASSERT_TRUE(b.readFromFile(empty));
    EXPECT_EQ(b.logicalLength(), 10u);

    const zv::file out(tmp.dir(), L"out.bin");
    ASSERT_TRUE(b.writeToFile(out, false));
    ASSERT_TRUE(bufferOf("+tail").writeToFile(out, true));
    EXPECT_EQ(zvtest::readAll(tmp.host() / "out.bin"), std::string("head:ab\0cd+tail", 15));
    ASSERT_TRUE(bufferOf("new").writeToFile(out, false)); // replaces
    EXPECT_EQ(zvtest::readAll(tmp.host() / "out.bin"), "new");
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
    EXPECT_FALSE(b.isGZCompressed());
    ASSERT_TRUE(b.gzCompress());
    EXPECT_TRUE(b.isGZCompressed());
    EXPECT_LT(b.logicalLength(), text.size() / 3);
    const zv::binaryBuffer packed(b);
    ASSERT_TRUE(b.gzUncompress());
    EXPECT_EQ(content(b), text);

    zv::binaryBuffer empty;
    ASSERT_TRUE(empty.gzCompress());
    EXPECT_TRUE(empty.isGZCompressed());
    ASSERT_TRUE(empty.gzUncompress());
    EXPECT_EQ(empty.logicalLength(), 0u);

    // A damaged stream fails and leaves the content as it was.
    zv::binaryBuffer cut(packed);
    ASSERT_TRUE(cut.setLogicalLength(cut.logicalLength() / 2));
    const zv::binaryBuffer before(cut);
    EXPECT_FALSE(cut.gzUncompress());
    EXPECT_TRUE(cut == before);

    EXPECT_EQ(tmp.dir().numberOfFiles(), 0ul);
}

TEST(binaryBuffer, RecognisesTheGzipHeader) {
    EXPECT_TRUE(bufferOf(bytes({0x1F, 0x8B, 0x08, 0x00})).isGZCompressed());
    EXPECT_TRUE(bufferOf(bytes({0x1F, 0x8B, 0x08})).isGZCompressed());
    EXPECT_FALSE(bufferOf(bytes({0x1F, 0x8B, 0x09})).isGZCompressed());
    EXPECT_FALSE(bufferOf(bytes({0x1F, 0x8B})).isGZCompressed());
}

TEST(binaryBuffer, CodesBase64AndWidensAnsiText) {
    zv::binaryBuffer b = bufferOf("Man!");
    ASSERT_TRUE(b.base64Encode());
    EXPECT_EQ(content(b), "TWFuIQ==");
    ASSERT_TRUE(b.base64Decode());
    EXPECT_EQ(content(b), "Man!");
    zv::binaryBuffer stop = bufferOf("TW!u");
    ASSERT_TRUE(stop.base64Decode());
    EXPECT_EQ(content(stop), "M");

    zv::binaryBuffer text = bufferOf("ab");
    ASSERT_TRUE(text.mbcsToWideChar());
    EXPECT_EQ(content(text), bytes({'a', 0, 'b', 0}));
    zv::binaryBuffer none;
    ASSERT_TRUE(none.mbcsToWideChar());
    EXPECT_EQ(none.logicalLength(), 0u);
    if (zv::ansiCodePage() == 1252) {
        zv::binaryBuffer accented = bufferOf("\xE9\x80");
        ASSERT_TRUE(accented.mbcsToWideChar());
        EXPECT_EQ(content(accented), bytes({0xE9, 0x00, 0xAC, 0x20})); // e-acute, euro sign
    } else if (zv::ansiCodePage() == 65001) {
        zv::binaryBuffer astral = bufferOf("\xF0\x9F\x98\x80"); // one character beyond 16 bits
        ASSERT_TRUE(astral.mbcsToWideChar());
        EXPECT_EQ(content(astral), bytes({0x3D, 0xD8, 0x00, 0xDE}));
    }
}

TEST(binaryBuffer, ScramblesWithAKey) {
    const std::string plain = "The quick brown fox";
    zv::binaryBuffer b = bufferOf(plain);
    b.xor ("k");
    EXPECT_EQ(static_cast<unsigned char>(b.data()[0]), 'T' ^ 'k');
    b.xor ("k");
    EXPECT_EQ(content(b), plain);

    b.xxor("key");
    EXPECT_NE(content(b), plain);
    b.xxor("key");
    EXPECT_EQ(content(b), plain);
    b.xor (nullptr);
    b.xxor("");
    b.xxorDontUseAnyLonger(nullptr);
    EXPECT_EQ(content(b), plain);

    // A one-byte key turns after every byte: right rotation ...
    zv::binaryBuffer zeros = bufferOf(std::string(4, '\0'));
    zeros.xxor("\x81");
    EXPECT_EQ(content(zeros), bytes({0x81, 0xC0, 0x60, 0x30}));
    // ... or, in the old form, a shift that fills high bytes with ones.
    zv::binaryBuffer old = bufferOf(std::string(4, '\0'));
    old.xxorDontUseAnyLonger("\x81");
    EXPECT_EQ(content(old), bytes({0x81, 0xC0, 0xE0, 0xF0}));
    zv::binaryBuffer low = bufferOf(std::string(3, '\0'));
    low.xxorDontUseAnyLonger("\x03");
    EXPECT_EQ(content(low), bytes({0x03, 0x81, 0xC0}));

    // A longer key turns each time it wraps.
    zv::binaryBuffer two = bufferOf(std::string(4, '\0'));
    two.xxor("\x02\x04");
    EXPECT_EQ(content(two), bytes({0x02, 0x04, 0x01, 0x02}));
    zv::binaryBuffer plainXor = bufferOf(std::string(3, '\0'));
    plainXor.xor ("\x02\x04");
    EXPECT_EQ(content(plainXor), bytes({0x02, 0x04, 0x02}));

    // The key length counts modulo 65,536: a key of exactly that length is empty.
    const std::string longKey(65536, 'z');
    zv::binaryBuffer same = bufferOf(plain);
    same.xor (longKey.c_str());
    EXPECT_EQ(content(same), plain);
    const std::string wrapped = std::string(65536, 'z') + "k";
    same.xor (wrapped.c_str());
    EXPECT_EQ(static_cast<unsigned char>(same.data()[1]), 'h' ^ 'z');
}
