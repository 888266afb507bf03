#include "zvKeyValueFile.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

/// `text` as UTF-16LE code units in a buffer (BMP characters only).
zv::binaryBuffer utf16(const std::wstring& text) {
    std::string units;
    for (wchar_t c : text) {
        units.push_back(static_cast<char>(static_cast<unsigned>(c) & 0xFF));
        units.push_back(static_cast<char>((static_cast<unsigned>(c) >> 8) & 0xFF));
    }
    zv::binaryBuffer buffer;
    buffer.write(units.data(), static_cast<unsigned>(units.size()));
    return buffer;
}

/// Everything a reader delivers: "[name]" per section, "key=value" per
/// key, joined by "|"; keys before the first section come first.
std::wstring dump(zv::keyValueFileReader& reader) {
    std::wstring out;
    zv::string name, key, value;
    if (!reader.open())
        return L"<unreadable>";
    for (;;) {
        while (reader.readKey(key, value))
            out += key + L"=" + value + L"|";
        if (!reader.readSection(name))
            return out;
        out += L"[" + name + L"]|";
    }
}

std::wstring dump(zv::keyValueFileReader&& reader) {
    return dump(reader);
}

std::wstring readIni(const std::wstring& text, const wchar_t* continuation = L"\\",
                     const wchar_t* comment = L";") {
    return dump(zv::keyValueFileReader(utf16(text), L"=", comment, continuation));
}

/// Exposes the protected line interface.
class lineReader : public zv::keyValueFileReader {
public:
    using keyValueFileReader::keyValueFileReader;
    using keyValueFileReader::readLine;
    using keyValueFileReader::rewind;
};

} // namespace

TEST(keyValueFileReader, ReadsSectionsKeysCommentsAndContinuationsInBothDialects) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"[A]\r\nx = 1 ; c\r\n\r\ny=2\\\r\n3\r\n[B]\r\n", L"[A]|x=1|y=23|[B]|"},
        {L"[A]\nx = 1 ; c\n\ny=2\\\n3\n[B]\n", L"[A]|x=1|y=23|[B]|"}, // LF only, as edited on Linux
        {L"[A]\r\ny=2\\\r\n[B]\r\nz=1", L"[A]|y=2|[B]|z=1|"},         // continued into a section
        {L"[A]\r\ny=2\\\r\n; only a comment\r\n\r\n3", L"[A]|y=23|"}, // skipped lines inside
        {L"[A]\r\ny=2\\", L"[A]|y=2|"},                               // continued past the end
        {L"[]\r\n[ A ]\r\n[\tB\t]\r\nk=v", L"[ A ]|[B]|k=v|"},
        {L"[A]\r\nk=a\rb\r\n", L"[A]|k=a\rb|"}, // a lone CR stays in the text
        {L"a=1\r\nb\r\n[S]\r\nc=2", L"a=1|b=|[S]|c=2|"},
        {L"[S]\r\nk = a = b\r\nt=\ta\tb\t\r\n", L"[S]|k=a = b|t=ab|"},
        // Lines of blanks, comments and empty keys do not end the section.
        {L"[S]\n   \n  ; note\n= x\nk=1\n \t \nm=2\n", L"[S]|k=1|m=2|"},
        {L"\r\n\r\n", L""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(readIni(text), expected) << testing::PrintToString(text);
    // Without a continuation marker a trailing backslash is text, so is ";" without a comment marker.
    EXPECT_EQ(readIni(L"[P]\r\ndir = C:\\data\\\r\nx=1", L""), L"[P]|dir=C:\\data\\|x=1|");
    EXPECT_EQ(readIni(L"[S]\nk=a;b", L"", L""), L"[S]|k=a;b|");
    // The cfg dialect: "**NAME" opens a section, "**END NAME" closes it, key and value part at blanks.
    const std::pair<std::wstring, std::wstring> cfgCases[] = {
        {L"**SEC\r\nkey  value one\r\n**END SEC\r\n**endless\r\n", L"[SEC]|key=value one|"},
        {L"top 1\n**A\nk\t\tv\tw\n**B\nx\n**End B\n", L"top=1|[A]|k=v\tw|[B]|x=|"},
        {L"**A ; comment\n  ; nothing\n   \nk v ; c\n**\nz 2\n**B", L"[A]|k=v|[B]|"},
        {L"**END\n**end\n**ENDING\n", L""},
    };
    for (const auto& [text, expected] : cfgCases)
        EXPECT_EQ(dump(zv::cfgFileReader(utf16(text), L"", L";", L"")), expected)
            << testing::PrintToString(text);
}

TEST(keyValueFileReader, DecodesFilesByTheirByteOrderMark) {
    zvtest::tempFolder tmp;
    const std::pair<std::string, std::wstring> cases[] = {
        {"\xEF\xBB\xBF[\xC3\x84]\r\nk=\xC3\xBC\r\n", L"[\u00C4]|k=\u00FC|"},
        {std::string("\xFF\xFE[\0S\0]\0\n\0k\0=\0\xFC\0", 16), L"[S]|k=\u00FC|"},
        {"[\xC4]\nk=\xFC", L"[\u00C4]|k=\u00FC|"}, // no mark: the ANSI code page (1252 here)
        {"", L""},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(dump(zv::keyValueFileReader(tmp.write(L"a.ini", bytes), L"=", L";", L"")), expected)
            << testing::PrintToString(bytes);
    EXPECT_EQ(dump(zv::keyValueFileReader(zv::file(tmp.dir(), L"missing.ini"), L"=", L";", L"")),
              L"<unreadable>");

    // A buffer with a mark, and one with an odd last byte.
    EXPECT_EQ(readIni(L"\uFEFF[S]\nk=v"), L"[S]|k=v|");
    zv::binaryBuffer odd = utf16(L"[S]\nk=v");
    odd.write("x", 1);
    EXPECT_EQ(dump(zv::keyValueFileReader(odd, L"=", L";", L"")), L"[S]|k=v|");

    // decodeFileBytes turns file bytes into the buffer form.
    zv::binaryBuffer bytes;
    bytes.write("\xEF\xBB\xBF[S]\nk=\xE2\x82\xAC", 12);
    ASSERT_TRUE(zv::keyValueFileReader::decodeFileBytes(bytes));
    EXPECT_EQ(dump(zv::keyValueFileReader(bytes, L"=", L";", L"")), L"[S]|k=\u20AC|");
}

TEST(keyValueFileReader, LinesAndRewindStayInsideTheText) {
    lineReader reader(utf16(L"\r\n;c\r\nab;x\r\ncd"), L"=", L";", L"");
    zv::string line;
    long position = -5; // where the call began, before the lines it skipped
    auto next = [&] {
        return reader.readLine(line, position) ? line + L"@" + std::to_wstring(position) : L"<end>";
    };
    EXPECT_TRUE(next() == L"ab@0" && next() == L"cd@12" && next() == L"<end>");
    for (long outside : {-1L, 1000L}) {
        reader.rewind(outside);
        EXPECT_EQ(next(), L"<end>") << outside;
    }
    reader.rewind(6);
    EXPECT_EQ(next(), L"ab@6");
}

TEST(keyValueFileWriter, AlignsColumnsAndEndsLinesWithCrLf) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"out.txt");
    {
        zv::keyValueFileWriter w(f, L"=", L";");
        ASSERT_TRUE(w.open(true));
        w.setKeyWidth(6);
        w.setValueWidth(4);
        EXPECT_TRUE(w.writeSection(L"S", L"") && w.writeSection(L"T", L"sec") &&
                    w.writeKey(L"a", L"1", L"x") && w.writeKey(L"a", L"1", L"") &&
                    w.writeKey(L"longer", L"12345", L"y") && w.writeCommentLine(L" note"));
        // Texts with line breaks would forge lines: refused, nothing written.
        EXPECT_FALSE(w.writeKey(L"k\n[X]", L"v", L"") || w.writeKey(L"k", L"v\r\nevil=1", L"") ||
                     w.writeKey(L"k", L"v", L"c\n") || w.writeSection(L"X\r", L"") ||
                     w.writeCommentLine(L"\n"));
        EXPECT_TRUE(w.close() && !w.writeKey(L"k", L"v", L"")); // closed
    }
    EXPECT_EQ(zvtest::readAll(f), "[S]\r\n"
                                  "[T]           ;sec\r\n"
                                  "a      = 1    ;x\r\n"
                                  "a      = 1\r\n"
                                  "longer = 12345 ;y\r\n"
                                  "; note\r\n");
}

TEST(keyValueFileWriter, WritesSeparatorLinesAppendsAndOtherDialects) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"out.txt");
    {
        zv::iniFileWriter w(f);
        w.setLineBeforeSection(L"");
        w.setLineBeforeKey(L";-");
        ASSERT_TRUE(w.open(true));
        EXPECT_TRUE(w.writeKey(L"a", L"1", L"") && w.writeKey(L"b", L"2", L""));
        w.setLineBeforeSection(L";--");
        EXPECT_TRUE(w.writeSection(L"S", L""));
    } // the destructor keeps what was written
    EXPECT_EQ(zvtest::readAll(f), "a = 1\r\n;-\r\nb = 2\r\n;--\r\n[S]\r\n");
    {
        zv::iniFileWriter w(f);
        w.setLineBeforeSection(L";--");
        ASSERT_TRUE(w.open(false)); // appends: the old text counts as a start
        EXPECT_TRUE(w.writeSection(L"T", L"") && w.close());
    }
    EXPECT_EQ(zvtest::readAll(f), "a = 1\r\n;-\r\nb = 2\r\n;--\r\n[S]\r\n;--\r\n[T]\r\n");

    const zv::file cfg(tmp.dir(), L"out.cfg");
    {
        zv::cfgFileWriter w(cfg, L"", L";");
        ASSERT_TRUE(w.open(true));
        EXPECT_TRUE(w.writeSection(L"A", L"first") && w.writeKey(L"k", L"v w", L"") &&
                    w.writeSection(L"B", L""));
    } // the destructor closes the open section
    EXPECT_EQ(zvtest::readAll(cfg), "**A ;first\r\nk  v w\r\n**END A\r\n**B ;\r\n**END B\r\n");

    const zv::file pcf(tmp.dir(), L"out.pcf");
    {
        zv::pcfFileWriter w(pcf, L"=", L";");
        ASSERT_TRUE(w.open(true));
        EXPECT_TRUE(w.writeKey(L"k", L"\"v\"", L"") && w.writeKey(L"e", L"", L"") &&
                    w.writeDirOrFile(L"dir", L"C:\\data\\x", L"") && w.close());
    }
    EXPECT_EQ(zvtest::readAll(pcf), "\"k\" = \"v\"\r\n\"e\" = \r\n\"dir\" = \"C:/data/x\"\r\n");
}

TEST(keyValueFileWriter, FailuresLeaveTheOldFileAsItWas) {
    zvtest::tempFolder tmp;
    const zv::file f = tmp.write(L"keep.ini", "old\r\n");
    {
        zv::iniFileWriter w(f);
        ASSERT_TRUE(w.open(true));
        EXPECT_TRUE(w.writeKey(L"new", L"1", L"") && zvtest::readAll(f) == "old\r\n"); // nothing before close
        w.discard();
        EXPECT_FALSE(w.isOpen());
    }
    EXPECT_EQ(zvtest::readAll(f), "old\r\n");

    // A folder, a read-only file or a missing folder in the target's place are
    // refused by the atomic file writer underneath (tested there).
    tmp.mkdir(L"sub");
    zv::iniFileWriter toFolder(zv::file(tmp.dir(), L"sub"));
    EXPECT_FALSE(toFolder.open(true) || toFolder.writeKey(L"k", L"v", L""));
}

TEST(keyValueFileWriter, ScramblesWithTheVersionKey) {
    ASSERT_EQ(std::strlen(zv::versionKey()), 26u);
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"s.bin");
    const std::string text = "[S]\r\nk = secret value\r\n";
    zv::binaryBuffer plain;
    plain.write(text.data(), static_cast<unsigned>(text.size()));
    const zv::binaryBuffer before = plain;
    // The caller's buffer is left alone.
    ASSERT_TRUE(zvtest::gives(zv::encryptWithVersionKey(plain, f), plain, true, before));
    EXPECT_EQ(zvtest::readAll(f).find("secret"), std::string::npos);

    // Unscrambled bytes are appended behind what the buffer held.
    zv::binaryBuffer out;
    out.write("AB", 2);
    ASSERT_TRUE(zv::decryptWithVersionKey(f, out));
    EXPECT_EQ(std::string(out.data(), out.logicalLength()), "AB" + text);

    EXPECT_FALSE(zv::decryptWithVersionKey(zv::file(tmp.dir(), L"missing.bin"), out));
    EXPECT_EQ(std::string(out.data(), out.logicalLength()), "AB" + text); // untouched
}
