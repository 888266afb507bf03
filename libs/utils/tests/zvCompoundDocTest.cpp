#include "zvCompoundDoc.h"

#include "zvBinaryBuffer.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvFsTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

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

TEST(compoundDoc, WritesTheDocumentedBytes) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"a.zvc");
    {
        zv::compoundDocWriter w(f);
        w.write("b", "xyz", 3);
        w.write("a", "12", 2);
        w.close();
    }
    const std::string expected = document("xyz12", entry("a", 3, 5) + entry("b", 0, 3), 5);
    ASSERT_EQ(expected.size(), 97u);
    EXPECT_EQ(zvtest::readAll(tmp.host() / "a.zvc"), expected);

    zv::compoundDocWriter empty(zv::file(tmp.dir(), L"e.zvc"));
    empty.create();
    empty.close();
    EXPECT_EQ(zvtest::readAll(tmp.host() / "e.zvc"), kMagic + u64(0) + kMagic + u64(0));
    zv::compoundDocReader r(zv::file(tmp.dir(), L"e.zvc"));
    r.open();
    EXPECT_TRUE(r.blocks().empty());

    { zv::compoundDocWriter unused(zv::file(tmp.dir(), L"none.zvc")); }
    zv::compoundDocWriter closedOnly(zv::file(tmp.dir(), L"none.zvc"));
    closedOnly.close();
    EXPECT_FALSE(fs::exists(tmp.host() / "none.zvc"));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.host()), fs::directory_iterator()),
              2); // no temporaries
}

TEST(compoundDoc, OrdersNamesByUnsignedBytesAndReadsBlocksBack) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"o.zvc");
    const std::string longName(128, 'n');
    {
        zv::compoundDocWriter w(f);
        for (const char* name : {"\xC3\xA9", "ab", "a", "B", "empty"}) {
            const std::string data = name == std::string("empty") ? "" : std::string("<") + name + ">";
            w.write(name, data.data(), static_cast<unsigned>(data.size()));
        }
        w.write(longName.c_str(), "L", 1);
    } // the destructor closes
    zv::compoundDocReader r(f);
    EXPECT_TRUE(r.isValid());
    r.open();
    EXPECT_TRUE(r.isValid());
    std::vector<std::string> names;
    for (const zv::compoundDocBlock& b : r.blocks())
        names.push_back(b.name);
    EXPECT_EQ(names, (std::vector<std::string>{"B", "a", "ab", "empty", longName, "\xC3\xA9"}));
    zv::binaryBuffer buffer;
    buffer.write("old", 3);
    EXPECT_TRUE(r.read("ab", buffer));
    EXPECT_EQ(content(buffer), "<ab>");
    EXPECT_EQ(r.length("ab"), 4u);
    EXPECT_TRUE(r.read("empty", buffer));
    EXPECT_EQ(buffer.logicalLength(), 0u);
    EXPECT_TRUE(r.has("empty"));
    EXPECT_TRUE(r.read(longName.c_str(), buffer));
    EXPECT_EQ(content(buffer), "L");

    buffer.write("kept", 4);
    EXPECT_FALSE(r.read("missing", buffer));
    EXPECT_FALSE(r.read(nullptr, buffer));
    EXPECT_EQ(content(buffer), "Lkept");
    EXPECT_EQ(r.length("missing"), 0u);
    EXPECT_FALSE(r.has("missing"));
    EXPECT_FALSE(r.has(nullptr));
    r.close();
    EXPECT_TRUE(r.has("ab")); // the directory stays
    EXPECT_FALSE(r.read("ab", buffer));
}

TEST(compoundDoc, AppendsAfterFlushAndReplacesTheOldDocumentOnlyThen) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"d.zvc");
    const fs::path host = tmp.host() / "d.zvc";
    writeBytes(host, "old document");
    zv::compoundDocWriter w(f);
    w.write("one", "1111", 4);
    EXPECT_EQ(zvtest::readAll(host), "old document"); // untouched until the first flush
    w.flush();
    {
        zv::compoundDocReader r(f);
        r.open();
        EXPECT_EQ(r.blocks().size(), 1u);
    }
    w.write("two", "22", 2);
    w.flush();
    w.write("three", "333", 3);
    w.close();
    const std::string appended = document(std::string("1111") + "22" + "333",
                                          entry("one", 0, 4) + entry("three", 6, 9) + entry("two", 4, 6), 9);
    EXPECT_EQ(zvtest::readAll(host), appended);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.host()), fs::directory_iterator()), 1);

    // An exception leaving the writer's scope keeps the old document.
    try {
        zv::compoundDocWriter failing(f);
        failing.write("x", "x", 1);
        failing.write("x", "again", 5);
    } catch (const zv::unexpectedErrorException&) {
    }
    EXPECT_EQ(zvtest::readAll(host), appended);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.host()), fs::directory_iterator()), 1);

    // Writing after close starts a new document.
    w.write("fresh", "f", 1);
    w.close();
    EXPECT_EQ(zvtest::readAll(host), document("f", entry("fresh", 0, 1), 1));
}

TEST(compoundDoc, RefusesBadCallsWithTheirTexts) {
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
    EXPECT_FALSE(missing.isValid());
}

TEST(compoundDoc, KeepsAWriteProtectedDocument) {
    zvtest::tempFolder tmp;
    const zv::file f = tmp.write(L"ro.zvc", "protected");
    ASSERT_TRUE(f.allowWrite(false));
    zv::compoundDocWriter w(f);
    try {
        w.write("a", "x", 1);
        FAIL() << "no exception";
    } catch (const zv::writeFileException& e) {
        ASSERT_EQ(e.causes().size(), 1u);
        EXPECT_EQ(std::wstring(e.causes()[0].stringId().id()), L"Msg_EFileWriteProtected");
    }
    EXPECT_FALSE(w.isOpen());
    EXPECT_EQ(zvtest::readAll(tmp.host() / "ro.zvc"), "protected");
    f.allowWrite(true);

    tmp.mkdir(L"folder.zvc");
    zv::compoundDocWriter onFolder(zv::file(tmp.dir(), L"folder.zvc"));
    EXPECT_THROW(onFolder.create(), zv::writeFileException);
    zv::compoundDocWriter noFolder(zv::file(tmp.dir(), L"missing\\x.zvc"));
    EXPECT_THROW(noFolder.write("a", "x", 1), zv::writeFileException);
    EXPECT_FALSE(noFolder.isOpen());
}

TEST(compoundDoc, RejectsHostileFields) {
    zvtest::tempFolder tmp;
    const std::string data = "0123456789";
    struct hostile {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty file", ""},
        {"text", "just some text that is long enough to hold a trailer"},
        {"directory pointer into the trailer", data + kMagic + u64(0) + kMagic + u64(31)},
        {"directory pointer past the end", data + kMagic + u64(0) + kMagic + u64(1000)},
        {"directory pointer huge", data + kMagic + u64(0) + kMagic + u64(~0ull)},
        {"directory pointer at the data", data + kMagic + u64(0) + kMagic + u64(0)},
        {"name length 129", document(data, u64(129) + std::string(129, 'n') + u64(0) + u64(1), 10)},
        {"name length with an upper half", document(data, u64(0x100000001ull) + "n" + u64(0) + u64(1), 10)},
        {"name length beyond the directory", document(data, u64(100), 10)},
        {"reversed block", document(data, entry("a", 5, 4), 10)},
        {"block past the directory", document(data, entry("a", 5, 11), 10)},
        {"block at a huge offset", document(data, entry("a", ~0ull - 1, ~0ull), 10)},
        {"overlapping blocks", document(data, entry("a", 0, 5) + entry("b", 4, 8), 10)},
        {"no terminator", data + kMagic + entry("a", 0, 1) + kMagic + u64(10)},
        {"wrong directory magic", data + "zvcompoundDox" + u64(0) + kMagic + u64(10)},
    };
    for (const hostile& c : cases) {
        writeBytes(tmp.host() / "h.zvc", c.bytes);
        zv::compoundDocReader r(zv::file(tmp.dir(), L"h.zvc"));
        EXPECT_THROW(r.open(), zv::invalidFileFormatException) << c.what;
        EXPECT_TRUE(r.blocks().empty()) << c.what;
        // Closed again after the failure: a second try fails the same way.
        EXPECT_THROW(r.open(), zv::invalidFileFormatException) << c.what;
    }
}

TEST(compoundDoc, AcceptsWhatTheFormatAllows) {
    zvtest::tempFolder tmp;
    const std::string data = "0123456789";
    struct tolerated {
        const char* what;
        std::string bytes;
        std::size_t blocks;
    } cases[] = {
        {"duplicate name keeps the first", document(data, entry("a", 0, 2) + entry("a", 2, 4), 10), 1},
        {"empty blocks anywhere",
         document(data, entry("a", 3, 3) + entry("b", 0, 10) + entry("c", 10, 10), 10), 3},
        {"binary name", document(data, entry(std::string("\0\xFF", 2), 0, 1), 10), 1},
    };
    for (const tolerated& c : cases) {
        writeBytes(tmp.host() / "t.zvc", c.bytes);
        zv::compoundDocReader r(zv::file(tmp.dir(), L"t.zvc"));
        r.open();
        EXPECT_EQ(r.blocks().size(), c.blocks) << c.what;
    }
    zv::compoundDocReader r(zv::file(tmp.dir(), L"t.zvc"));
    writeBytes(tmp.host() / "t.zvc", document(data, entry("a", 0, 2) + entry("a", 2, 4), 10));
    r.open();
    zv::binaryBuffer b;
    EXPECT_TRUE(r.read("a", b));
    EXPECT_EQ(content(b), "01");
}

TEST(compoundDoc, SurvivesEveryTruncationAndRandomDamage) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"v.zvc");
    {
        zv::compoundDocWriter w(f);
        w.write("alpha", "AAAA", 4);
        w.write("beta", "BBBBBBBB", 8);
        w.write("gamma", "", 0);
        w.write("delta", "DD", 2);
    }
    const std::string valid = zvtest::readAll(tmp.host() / "v.zvc");
    const fs::path host = tmp.host() / "x.zvc";
    const zv::file x(tmp.dir(), L"x.zvc");
    for (std::size_t n = 0; n < valid.size(); ++n) {
        writeBytes(host, valid.substr(0, n));
        zv::compoundDocReader r(x);
        EXPECT_THROW(r.open(), zv::invalidFileFormatException) << "prefix of " << n;
    }
    // Damaged directories: either rejected, or every block read lies inside the data.
    const std::size_t dirStart = 14;
    std::mt19937 rng(12345);
    int accepted = 0;
    for (int round = 0; round < 600; ++round) {
        std::string bytes = valid;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) {
            const std::size_t at = dirStart + rng() % (bytes.size() - dirStart);
            bytes[at] = static_cast<char>(round % 3 == 0 ? (bytes[at] ^ (1 << (rng() % 8))) : rng());
        }
        writeBytes(host, bytes);
        zv::compoundDocReader r(x);
        try {
            r.open();
        } catch (const zv::invalidFileFormatException&) {
            continue;
        }
        ++accepted;
        for (const zv::compoundDocBlock& b : r.blocks()) {
            zv::binaryBuffer buffer;
            ASSERT_LE(b.end, dirStart);
            if (b.name.find('\0') != std::string::npos)
                continue; // cannot be asked for by a C string
            ASSERT_TRUE(r.read(b.name.c_str(), buffer));
            EXPECT_EQ(content(buffer), bytes.substr(static_cast<std::size_t>(b.start),
                                                    static_cast<std::size_t>(b.end - b.start)));
        }
    }
    EXPECT_GT(accepted, 0); // some damage hits only names or offsets that still fit
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
