#include "zvCompoundDoc.h"

#include "zvBinaryBuffer.h"
#include "zvException.h"
#include "zvFsTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace {

namespace fs = std::filesystem;

std::string u64(std::uint64_t v) {
    std::string out;
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
}

const std::string kMagic = "zvcompoundDoc";

std::string entry(const std::string& name, std::uint64_t start, std::uint64_t end) {
    return u64(name.size()) + name + u64(start) + u64(end);
}

// A document of `data` with the given directory entries, the trailer naming `dirStart`.
std::string document(const std::string& data, const std::string& entries, std::uint64_t dirStart) {
    return data + kMagic + entries + u64(0) + kMagic + u64(dirStart);
}

void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

std::string content(const zv::binaryBuffer& b) {
    return b.logicalLength() ? std::string(b.data(), b.logicalLength()) : std::string();
}

long entriesIn(const fs::path& dir) {
    return static_cast<long>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Whether `f` throws the library's unexpected-error exception with `fragment` in its text.
bool refusedWith(const std::function<void()>& f, const wchar_t* fragment) {
    try {
        f();
    } catch (const zv::unexpectedErrorException& e) {
        return std::wstring(e.text()).find(fragment) != std::wstring::npos;
    }
    return false;
}

} // namespace

TEST(compoundDoc, WritesTheDocumentedBytesAndReadsThemBack) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"a.zvc");
    const std::string longName(128, 'n');
    {
        zv::compoundDocWriter w(f);
        w.write("b", "xyz", 3);
        w.write("a", "12", 2);
        w.write("\xC3\xA9", "", 0);
        w.write(longName.c_str(), "L", 1);
        w.write("B", "-", 1);
    } // the destructor closes
    EXPECT_EQ(zvtest::readAll(tmp.host() / "a.zvc"),
              document("xyz12L-",
                       entry("B", 6, 7) + entry("a", 3, 5) + entry("b", 0, 3) + entry(longName, 5, 6) +
                           entry("\xC3\xA9", 5, 5),
                       7));
    zv::compoundDocReader r(f);
    r.open();
    zv::binaryBuffer buffer;
    buffer.write("old", 3);
    EXPECT_TRUE(r.read("a", buffer));
    EXPECT_EQ(content(buffer), "12");
    EXPECT_TRUE(r.read("\xC3\xA9", buffer) && buffer.logicalLength() == 0);
    EXPECT_TRUE(r.read(longName.c_str(), buffer));
    buffer.write("kept", 4);
    EXPECT_FALSE(r.read("missing", buffer) || r.read(nullptr, buffer) || r.has(nullptr));
    EXPECT_EQ(content(buffer), "Lkept");
    r.close();
    EXPECT_TRUE(r.has("a")); // the directory stays
    EXPECT_FALSE(r.read("a", buffer));

    zv::compoundDocWriter empty(zv::file(tmp.dir(), L"e.zvc"));
    empty.create();
    empty.close();
    EXPECT_EQ(zvtest::readAll(tmp.host() / "e.zvc"), document("", "", 0));
    { zv::compoundDocWriter unused(zv::file(tmp.dir(), L"none.zvc")); }
    zv::compoundDocWriter closedOnly(zv::file(tmp.dir(), L"none.zvc"));
    closedOnly.close();
    EXPECT_EQ(entriesIn(tmp.host()), 2) << "no file for nothing written, no temporaries";
}

TEST(compoundDoc, AppendsAfterFlushAndReplacesTheOldDocumentOnlyThen) {
    zvtest::tempFolder tmp;
    const zv::file f = tmp.write(L"d.zvc", "old document");
    const fs::path host = tmp.host() / "d.zvc";
    zv::compoundDocWriter w(f);
    w.write("one", "1111", 4);
    EXPECT_EQ(zvtest::readAll(host), "old document"); // untouched until the first flush
    w.flush();
    EXPECT_EQ(zvtest::readAll(host), document("1111", entry("one", 0, 4), 4)); // complete after each flush
    w.write("two", "22", 2);
    w.flush();
    w.write("three", "333", 3);
    w.close();
    const std::string appended =
        document("111122333", entry("one", 0, 4) + entry("three", 6, 9) + entry("two", 4, 6), 9);
    EXPECT_EQ(zvtest::readAll(host), appended);

    // An exception leaving the writer's scope keeps the old document.
    try {
        zv::compoundDocWriter failing(f);
        failing.write("x", "x", 1);
        failing.write("x", "again", 5);
    } catch (const zv::unexpectedErrorException&) {
    }
    EXPECT_EQ(zvtest::readAll(host), appended);
    EXPECT_EQ(entriesIn(tmp.host()), 1);

    w.write("fresh", "f", 1); // after close: a new document
    w.close();
    EXPECT_EQ(zvtest::readAll(host), document("f", entry("fresh", 0, 1), 1));
}

TEST(compoundDoc, RefusesBadCallsAndKeepsAWriteProtectedDocument) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"e.zvc");
    zv::compoundDocWriter w(f);
    const std::string tooLong(129, 'x');
    const std::pair<std::function<void()>, const wchar_t*> refusals[] = {
        {[&] { w.write(tooLong.c_str(), "x", 1); }, L"longer than 128 bytes"},
        {[&] { w.write("", "x", 1); }, L"datablock name is empty"},
        {[&] { w.write(nullptr, "x", 1); }, L"datablock name is empty"},
        {[&] { w.write("n", nullptr, 1); }, L"no data"},
        {[&] { w.flush(); }, L"compoundDocWriter::flush: file not opened"},
    };
    for (const auto& [call, fragment] : refusals)
        EXPECT_TRUE(refusedWith(call, fragment)) << fragment;
    EXPECT_FALSE(w.isOpen()); // refused before anything was created
    w.write("a", "x", 1);
    EXPECT_TRUE(refusedWith([&] { w.write("a", "y", 1); },
                            L"compoundDocWriter::write: datablock a already existing"));
    EXPECT_TRUE(refusedWith([&] { w.create(); }, L"compoundDocWriter::create: file already open"));
    w.write("b", "z", 1); // the refused blocks left nothing behind
    w.close();
    EXPECT_EQ(zvtest::readAll(tmp.host() / "e.zvc"), document("xz", entry("a", 0, 1) + entry("b", 1, 2), 2));
    zv::compoundDocReader r(f);
    r.open();
    EXPECT_TRUE(refusedWith([&] { r.open(); }, L"compoundDocReader::open: file already open"));
    zv::compoundDocReader missing(zv::file(tmp.dir(), L"missing.zvc"));
    EXPECT_THROW(missing.open(), zv::readFileException);

    const zv::file ro = tmp.write(L"ro.zvc", "protected");
    ASSERT_TRUE(ro.allowWrite(false));
    zv::compoundDocWriter onReadOnly(ro);
    try {
        onReadOnly.write("a", "x", 1);
        FAIL() << "no exception";
    } catch (const zv::writeFileException& e) {
        ASSERT_EQ(e.causes().size(), 1u);
        EXPECT_EQ(std::wstring(e.causes()[0].stringId().id()), L"Msg_EFileWriteProtected");
    }
    EXPECT_FALSE(onReadOnly.isOpen());
    EXPECT_EQ(zvtest::readAll(tmp.host() / "ro.zvc"), "protected");
    ro.allowWrite(true);
    tmp.mkdir(L"folder.zvc");
    zv::compoundDocWriter onFolder(zv::file(tmp.dir(), L"folder.zvc"));
    EXPECT_THROW(onFolder.create(), zv::writeFileException);
    zv::compoundDocWriter noFolder(zv::file(tmp.dir(), L"missing\\x.zvc"));
    EXPECT_THROW(noFolder.write("a", "x", 1), zv::writeFileException);
}

TEST(compoundDoc, RejectsHostileFieldsAndAcceptsWhatTheFormatAllows) {
    zvtest::tempFolder tmp;
    const std::string data = "0123456789";
    const struct {
        const char* what;
        std::string bytes;
        int blocks; // -1: rejected
    } cases[] = {
        {"empty file", "", -1},
        {"text", "just some text that is long enough to hold a trailer", -1},
        {"directory pointer into the trailer", data + kMagic + u64(0) + kMagic + u64(31), -1},
        {"directory pointer past the end", data + kMagic + u64(0) + kMagic + u64(1000), -1},
        {"directory pointer huge", data + kMagic + u64(0) + kMagic + u64(~0ull), -1},
        {"directory pointer at the data", data + kMagic + u64(0) + kMagic + u64(0), -1},
        {"name length 129", document(data, u64(129) + std::string(129, 'n') + u64(0) + u64(1), 10), -1},
        {"name length with an upper half", document(data, u64(0x100000001ull) + "n" + u64(0) + u64(1), 10),
         -1},
        {"name length beyond the directory", document(data, u64(100), 10), -1},
        {"reversed block", document(data, entry("a", 5, 4), 10), -1},
        {"block past the directory", document(data, entry("a", 5, 11), 10), -1},
        {"block at a huge offset", document(data, entry("a", ~0ull - 1, ~0ull), 10), -1},
        {"overlapping blocks", document(data, entry("a", 0, 5) + entry("b", 4, 8), 10), -1},
        {"no terminator", data + kMagic + entry("a", 0, 1) + kMagic + u64(10), -1},
        {"wrong directory magic", data + "zvcompoundDox" + u64(0) + kMagic + u64(10), -1},
        {"duplicate name keeps the first", document(data, entry("a", 0, 2) + entry("a", 2, 4), 10), 1},
        {"empty blocks anywhere",
         document(data, entry("a", 3, 3) + entry("b", 0, 10) + entry("c", 10, 10), 10), 3},
        {"binary name", document(data, entry(std::string("\0\xFF", 2), 0, 1), 10), 1},
    };
    for (const auto& c : cases) {
        writeBytes(tmp.host() / "h.zvc", c.bytes);
        zv::compoundDocReader r(zv::file(tmp.dir(), L"h.zvc"));
        if (c.blocks >= 0) {
            r.open();
            EXPECT_EQ(r.blocks().size(), static_cast<std::size_t>(c.blocks)) << c.what;
            continue;
        }
        EXPECT_THROW(r.open(), zv::invalidFileFormatException) << c.what;
        EXPECT_TRUE(r.blocks().empty()) << c.what;
        // Closed again after the failure: a second try fails the same way.
        EXPECT_THROW(r.open(), zv::invalidFileFormatException) << c.what;
    }
    writeBytes(tmp.host() / "h.zvc", cases[15].bytes);
    zv::compoundDocReader r(zv::file(tmp.dir(), L"h.zvc"));
    r.open();
    zv::binaryBuffer b;
    EXPECT_TRUE(r.read("a", b) && content(b) == "01");
    // Every cut of a valid document is refused (random damage is left to the fuzz target).
    const std::string valid = document("ABC", entry("alpha", 0, 2) + entry("beta", 2, 3), 3);
    for (std::size_t n = 0; n < valid.size(); ++n) {
        writeBytes(tmp.host() / "x.zvc", valid.substr(0, n));
        zv::compoundDocReader cut(zv::file(tmp.dir(), L"x.zvc"));
        EXPECT_THROW(cut.open(), zv::invalidFileFormatException) << "prefix of " << n;
    }
}

TEST(compoundDoc, ReadsBlocksBeyondFourGiB) {
    zvtest::tempFolder tmp;
    const std::uint64_t at = 5ull << 30; // a sparse file: nothing is stored before the block
    {
        std::ofstream out(tmp.host() / "big.zvc", std::ios::binary);
        out.seekp(static_cast<std::streamoff>(at));
        out << "abc" << kMagic << entry("far", at, at + 3) << entry("near", 0, 4) << u64(0) << kMagic
            << u64(at + 3);
        ASSERT_TRUE(out.good());
    }
    zv::compoundDocReader r(zv::file(tmp.dir(), L"big.zvc"));
    r.open();
    zv::binaryBuffer b;
    ASSERT_TRUE(r.read("far", b));
    EXPECT_EQ(content(b), "abc");
    ASSERT_TRUE(r.read("near", b));
    EXPECT_EQ(content(b), std::string(4, '\0'));
}
