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

std::string content(const zv::binaryBuffer& b) {
    return b.logicalLength() ? std::string(b.data(), b.logicalLength()) : std::string();
}

long entriesIn(const fs::path& dir) {
    return static_cast<long>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// The text of the unexpected-error exception `f` throws; empty when it returns.
std::wstring failure(const std::function<void()>& f) {
    try {
        f();
    } catch (const zv::unexpectedErrorException& e) {
        return e.text();
    }
    return {};
}

// Every block of the document `f` as "name=content|", or "refused" when opening
// throws the format error twice (a failed open leaves the reader closed and empty).
std::string blocksOf(const zv::file& f) {
    zv::compoundDocReader r(f);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            r.open();
        } catch (const zv::invalidFileFormatException&) {
            if (!r.blocks().empty())
                return "blocks kept";
            continue;
        }
        std::string out;
        zv::binaryBuffer b;
        for (const auto& block : r.blocks())
            out += block.name + "=" + (r.read(block.name.c_str(), b) ? content(b) : "?") + "|";
        return out;
    }
    return "refused";
}

} // namespace

TEST(compoundDoc, WritesTheDocumentedBytesAndReadsThemBack) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"a.zvc");
    const std::string longName(128, 'n');
    {
        zv::compoundDocWriter w(f);
        for (const auto& [name, data] : std::initializer_list<std::pair<std::string, std::string>>{
                 {"b", "xyz"}, {"a", "12"}, {"\xC3\xA9", ""}, {longName, "L"}, {"B", "-"}})
            w.write(name.c_str(), data.data(), static_cast<unsigned>(data.size()));
    } // the destructor closes
    EXPECT_EQ(zvtest::readAll(f), document("xyz12L-",
                                           entry("B", 6, 7) + entry("a", 3, 5) + entry("b", 0, 3) +
                                               entry(longName, 5, 6) + entry("\xC3\xA9", 5, 5),
                                           7));
    EXPECT_EQ(blocksOf(f), "B=-|a=12|b=xyz|" + longName + "=L|\xC3\xA9=|");
    zv::compoundDocReader r(f);
    r.open();
    zv::binaryBuffer buffer;
    buffer.write("kept", 4);
    EXPECT_FALSE(r.read("missing", buffer) || r.read(nullptr, buffer) || r.has(nullptr));
    EXPECT_EQ(content(buffer), "kept");
    r.close();
    EXPECT_TRUE(r.has("a") && !r.read("a", buffer)); // the directory stays, the data does not

    zv::compoundDocWriter empty(zv::file(tmp.dir(), L"e.zvc"));
    empty.create();
    empty.close();
    EXPECT_EQ(zvtest::readAll(tmp.host() / "e.zvc"), document("", "", 0));
    { zv::compoundDocWriter unused(zv::file(tmp.dir(), L"none.zvc")); }
    zv::compoundDocWriter(zv::file(tmp.dir(), L"none.zvc")).close();
    EXPECT_EQ(entriesIn(tmp.host()), 2) << "no file for nothing written, no temporaries";
}

TEST(compoundDoc, AppendsAfterFlushAndReplacesTheOldDocumentOnlyThen) {
    zvtest::tempFolder tmp;
    const zv::file f = tmp.write(L"d.zvc", "old document");
    zv::compoundDocWriter w(f);
    w.write("one", "1111", 4);
    EXPECT_EQ(zvtest::readAll(f), "old document"); // untouched until the first flush
    w.flush();
    EXPECT_EQ(zvtest::readAll(f), document("1111", entry("one", 0, 4), 4)); // complete after each flush
    w.write("two", "22", 2);
    w.flush();
    w.write("three", "333", 3);
    w.close();
    const std::string appended =
        document("111122333", entry("one", 0, 4) + entry("three", 6, 9) + entry("two", 4, 6), 9);
    EXPECT_EQ(zvtest::readAll(f), appended);
    // An exception leaving the writer's scope keeps the old document.
    EXPECT_NE(failure([&] {
                  zv::compoundDocWriter failing(f);
                  failing.write("x", "x", 1);
                  failing.write("x", "again", 5);
              }).find(L"already existing"),
              std::wstring::npos);
    EXPECT_TRUE(zvtest::readAll(f) == appended && entriesIn(tmp.host()) == 1);
    w.write("fresh", "f", 1); // after close: a new document
    w.close();
    EXPECT_EQ(zvtest::readAll(f), document("f", entry("fresh", 0, 1), 1));
}

TEST(compoundDoc, RefusesBadCallsAndKeepsAWriteProtectedDocument) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"e.zvc");
    zv::compoundDocWriter w(f);
    zv::compoundDocReader r(f);
    const std::string tooLong(129, 'x');
    // Steps in order, each with the fragment of its refusal ("" when it succeeds).
    const std::pair<std::function<void()>, const wchar_t*> steps[] = {
        {[&] { w.write(tooLong.c_str(), "x", 1); }, L"longer than 128 bytes"},
        {[&] { w.write("", "x", 1); }, L"datablock name is empty"},
        {[&] { w.write(nullptr, "x", 1); }, L"datablock name is empty"},
        {[&] { w.write("n", nullptr, 1); }, L"no data"},
        {[&] { w.flush(); }, L"compoundDocWriter::flush: file not opened"},
        {[&] { EXPECT_FALSE(w.isOpen()) << "refused before anything was created"; }, L""},
        {[&] { w.write("a", "x", 1); }, L""},
        {[&] { w.write("a", "y", 1); }, L"compoundDocWriter::write: datablock a already existing"},
        {[&] { w.create(); }, L"compoundDocWriter::create: file already open"},
        {[&] {
             w.write("b", "z", 1);
             w.close();
             r.open();
         },
         L""},
        {[&] { r.open(); }, L"compoundDocReader::open: file already open"},
    };
    for (const auto& [step, fragment] : steps) {
        const std::wstring text = failure(step);
        EXPECT_TRUE(*fragment ? text.find(fragment) != std::wstring::npos : text.empty()) << fragment << text;
    }
    EXPECT_EQ(zvtest::readAll(f), document("xz", entry("a", 0, 1) + entry("b", 1, 2), 2));
    EXPECT_THROW(zv::compoundDocReader(zv::file(tmp.dir(), L"missing.zvc")).open(), zv::readFileException);

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
    EXPECT_TRUE(!onReadOnly.isOpen() && zvtest::readAll(ro) == "protected");
    ro.allowWrite(true);
    tmp.mkdir(L"folder.zvc");
    EXPECT_THROW(zv::compoundDocWriter(zv::file(tmp.dir(), L"folder.zvc")).create(), zv::writeFileException);
    EXPECT_THROW(zv::compoundDocWriter(zv::file(tmp.dir(), L"missing\\x.zvc")).write("a", "x", 1),
                 zv::writeFileException);
}

TEST(compoundDoc, RejectsHostileFieldsAndAcceptsWhatTheFormatAllows) {
    zvtest::tempFolder tmp;
    const std::string data = "0123456789", no = "refused";
    const std::pair<std::string, std::string> cases[] = {
        {"", no},
        {data + kMagic + u64(0) + kMagic + u64(31), no}, // directory inside the trailer
        {data + kMagic + u64(0) + kMagic + u64(1000), no},
        {data + kMagic + u64(0) + kMagic + u64(~0ull), no},
        {data + kMagic + u64(0) + kMagic + u64(0), no}, // directory at the data
        {document(data, u64(129) + std::string(129, 'n') + u64(0) + u64(1), 10), no},
        {document(data, u64(0x100000001ull) + "n" + u64(0) + u64(1), 10), no},
        {document(data, u64(100), 10), no}, // name beyond the directory
        {document(data, entry("a", 5, 4), 10), no},
        {document(data, entry("a", 5, 11), 10), no},
        {document(data, entry("a", ~0ull - 1, ~0ull), 10), no},
        {document(data, entry("a", 0, 5) + entry("b", 4, 8), 10), no}, // overlapping
        {data + kMagic + entry("a", 0, 1) + kMagic + u64(10), no},     // no terminator
        {data + "zvcompoundDox" + u64(0) + kMagic + u64(10), no},
        {document(data, entry("a", 0, 2) + entry("a", 2, 4), 10), "a=01|"}, // the first of a name counts
        {document(data, entry("a", 3, 3) + entry("b", 0, 10) + entry("c", 10, 10), 10),
         "a=|b=0123456789|c=|"},
        // A name with a NUL is listed, but no C string can name it.
        {document(data, entry(std::string("\0\xFF", 2), 0, 1), 10), std::string("\0\xFF=?|", 5)},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(blocksOf(tmp.write(L"h.zvc", bytes)), expected) << testing::PrintToString(bytes);
    // Every cut of a valid document is refused (random damage is left to the fuzz target).
    const std::string valid = document("ABC", entry("alpha", 0, 2) + entry("beta", 2, 3), 3);
    for (std::size_t n = 0; n < valid.size(); ++n)
        EXPECT_EQ(blocksOf(tmp.write(L"h.zvc", valid.substr(0, n))), no) << "prefix of " << n;
}

TEST(compoundDoc, ReadsBlocksBeyondFourGiB) {
    zvtest::tempFolder tmp;
    const std::uint64_t at = 5ull << 30; // a sparse file: nothing is stored before the block
    std::ofstream out(tmp.host() / "h.zvc", std::ios::binary);
    out.seekp(static_cast<std::streamoff>(at));
    out << "abc" << kMagic << entry("far", at, at + 3) << entry("near", 0, 4) << u64(0) << kMagic
        << u64(at + 3);
    out.close();
    ASSERT_TRUE(out.good());
    EXPECT_EQ(blocksOf(zv::file(tmp.dir(), L"h.zvc")), "far=abc|near=" + std::string(4, '\0') + "|");
}
