#include "zvLocFile.h"

#include "zvFsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string kUtf8Bom = "\xEF\xBB\xBF";

/// `text` (BMP characters only) as UTF-16LE bytes.
std::string utf16le(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(static_cast<unsigned>(c) & 0xFF));
        bytes.push_back(static_cast<char>((static_cast<unsigned>(c) >> 8) & 0xFF));
    }
    return bytes;
}

/// The text of `id`, or "<none>" when the look-up fails.
std::wstring lookUp(const zv::locFile& file, const wchar_t* id) {
    zv::locMessage message;
    if (!file.getMessage(id, message))
        return L"<none>";
    return static_cast<const std::wstring&>(message);
}

/// The texts of `ids`, joined by "|".
std::wstring lookUps(const zv::locFile& file, std::initializer_list<const wchar_t*> ids) {
    std::wstring out;
    for (const wchar_t* id : ids)
        out += (out.empty() ? L"" : L"|") + lookUp(file, id);
    return out;
}

/// What a check of `f` reports: "ok" or "failed", then "file:line: text" per issue.
std::vector<std::wstring> checked(const zv::file& f, zv::locFileCounts* counts = nullptr) {
    std::vector<zv::locFileIssue> issues;
    std::vector<std::wstring> out{zv::locFile::check(f, issues, counts) ? L"ok" : L"failed"};
    for (const zv::locFileIssue& issue : issues)
        out.push_back(issue.file.name() + L":" + std::to_wstring(issue.line) + L": " + issue.text);
    return out;
}

using lines = std::vector<std::wstring>;

/// Rewrites a file and moves its modification time, so a reload is seen
/// even within the same second.
void rewrite(const zvtest::tempFolder& tmp, const std::wstring& name, const std::string& content,
             long long shift) {
    const zv::file f = tmp.write(name, content);
    ASSERT_TRUE(f.setLastModificationTime(f.lastModificationTime() + shift));
}

} // namespace

// Every test works in a temporary folder of its own.
class locFile : public testing::Test {
protected:
    zvtest::tempFolder tmp;
};

TEST_F(locFile, ParsesEntriesCommentsQuotesAndContinuations) {
    // Each row: lines of the file, an id to look up and the text it must give.
    const std::tuple<std::string, const wchar_t*, std::wstring> rows[] = {
        {"; a comment line\r\n", L"; a comment line", L"<none>"},
        {"  Msg_EWriteFile   \"Error writing [File]\" ; a comment\r\n", L"Msg_EWriteFile",
         L"Error writing [File]"},
        {"Msg_Two a;b;c  \n", L"Msg_Two", L"a;b"},
        {"Msg_Cont first \\\n\"second\" \\\rthird ; gone\n", L"Msg_Cont", L"firstsecondthird"},
        {"Msg_Lines one\\ntwo\n", L"Msg_Lines", L"one\ntwo"},
        {"NoBlankHere\n", L"NoBlankHere", L"<none>"},
        {"Id;x not an entry\n", L"Id;x", L"<none>"},
        {"\tMsg_Tab\tvalue\twith tab\t\n", L"Msg_Tab", L"value with tab"}, // leading blanks go
        {"Msg_Dup first\nMsg_Dup second\n", L"Msg_Dup", L"first"},         // the first entry counts
        {"Msg_Quoted \"  padded \" x\n", L"Msg_Quoted", L"padded "},
        {"Msg_Open \"no closing quote\n", L"Msg_Open", L"no closing quote"},
        {"Msg_Hash write #include to include a file\n", L"Msg_Hash", L"write #include to include a file"},
        {"Msg_Utf8 Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC\n", L"Msg_Utf8", L"Gr\u00fc\u00dfe \u20ac"},
        {"Msg_Long " + std::string(5000, 'x') + "y\n", L"Msg_Long", std::wstring(5000, L'x') + L"y"},
        {"", L" \tMsg_Two \r\n", L"a;b"},
        {"", L"Msg_Missing", L"<none>"},
        {"", nullptr, L"<none>"},
        {"Msg_State E:Failed\nMsg_Bad a\xFF"
         "b",
         L"Msg_Bad", L"a\ufffdb"}}; // unterminated last line
    std::string content = kUtf8Bom;
    for (const auto& row : rows)
        content += std::get<0>(row);
    zv::locFile loc(tmp.write(L"de.loc", content));
    for (const auto& [line, id, expected] : rows)
        EXPECT_EQ(lookUp(loc, id), expected) << line;
    zv::locMessage state;
    ASSERT_TRUE(loc.getMessage(L"Msg_State", state));
    EXPECT_EQ(state.msgState(), zv::locMessage::msError);
    EXPECT_EQ(static_cast<const std::wstring&>(state), L"Failed");
    // Missing, unnamed and empty files are empty.
    for (const zv::locFile& empty : {zv::locFile(zv::file(tmp.dir(), L"none.loc")), zv::locFile(),
                                     zv::locFile(tmp.write(L"empty.loc", ""))})
        EXPECT_EQ(lookUp(empty, L"Msg_A"), L"<none>");
}

TEST_F(locFile, ReadsUtf16WithAndWithoutByteOrderMark) {
    const std::wstring content = L"Msg_A \u00fcber \u20ac\r\nMsg_B second\r\n";
    zv::locFile plain(tmp.write(L"plain.loc", utf16le(content) + "x")); // odd last byte
    zv::locFile marked(tmp.write(L"marked.loc", "\xFF\xFE" + utf16le(content)));
    for (const zv::locFile* loc : {&plain, &marked}) {
        EXPECT_EQ(lookUp(*loc, L"Msg_A"), L"\u00fcber \u20ac");
        EXPECT_EQ(lookUp(*loc, L"Msg_B"), L"second");
    }
    // A lone surrogate becomes U+FFFD on every target.
    zv::locFile lone(
        tmp.write(L"lone.loc", utf16le(L"Msg_S a") + std::string("\x00\xD8", 2) + utf16le(L"b")));
    EXPECT_EQ(lookUp(lone, L"Msg_S"), L"a\ufffdb");
}

TEST_F(locFile, FollowsAliasesAndEndsCircles) {
    tmp.write(L"base.loc", kUtf8Bom + "Msg_Base from the include\n");
    zv::locFile loc(
        tmp.write(L"a.loc", kUtf8Bom + "#include base.loc\nMsg_Hello Hello\nMsg_A $$Msg_Hello\n"
                                       "Msg_AA $$Msg_A\nMsg_C1 $$Msg_C2\nMsg_C2 $$Msg_C1\n"
                                       "Msg_Self $$Msg_Self\nMsg_Far $$Msg_Base\nMsg_Lost $$Msg_Nowhere\n"));
    EXPECT_EQ(lookUps(loc, {L"Msg_A", L"Msg_AA", L"Msg_C1", L"Msg_C2", L"Msg_Self", L"Msg_Far", L"Msg_Lost"}),
              L"Hello|Hello|$$Msg_C1|$$Msg_C2|$$Msg_Self|from the include|<none>");
}

TEST_F(locFile, IncludesAreRelativeAndCyclesEnd) {
    tmp.write(L"sub/a.loc", kUtf8Bom + "#include ..\\main.loc\n#include b.loc ; comment\nMsg_A in a\n");
    tmp.write(L"sub/b.loc", kUtf8Bom + "#include a.loc\nMsg_B in b\nMsg_Main in b\n");
    const zv::file mainFile =
        tmp.write(L"main.loc", kUtf8Bom + "#include sub\\a.loc\n; #include missing.loc\n"
                                          "#include missing.loc\nMsg_Main in main\n");
    zv::locFile loc(mainFile);
    ASSERT_EQ(loc.includedFiles().size(), 1u);
    const zv::locFile& a = loc.includedFiles()[0];
    ASSERT_EQ(a.includedFiles().size(), 1u); // main.loc is not included again
    EXPECT_TRUE(a.includedFiles()[0].includedFiles().empty());
    EXPECT_EQ(lookUps(loc, {L"Msg_Main", L"Msg_A", L"Msg_B", L"Msg_C"}), L"in main|in a|in b|<none>");

    // A copy and an assignment keep or rebuild the includes.
    zv::locFile copy(loc);
    EXPECT_EQ(lookUp(copy, L"Msg_B"), L"in b");
    zv::locFile assigned;
    assigned = zv::file(tmp.dir(), L"sub\\b.loc");
    EXPECT_EQ(lookUps(assigned, {L"Msg_A", L"Msg_Main"}), L"in a|in b");
}

TEST_F(locFile, CommandsRunBeforeAndAfterTheOverlayMerge) {
    const zv::file mainFile =
        tmp.write(L"main.loc", kUtf8Bom + ";;cmd(replace:::Colour:::Color)\n;;cmd(replace::::::loop)\n"
                                          ";;cmd(replace:::broken)\nMsg_A Colour red\nMsg_B Colour blue\n");
    const zv::file overlay = tmp.write(L"my_main.loc", kUtf8Bom + "Msg_B Colour green\nMsg_C new red\n"
                                                                  ";;cmd(replace:::red:::RED))\n");
    zv::locFile loc(mainFile.c_str(), overlay.c_str());
    // Both commands apply to main's entries; the overlay wins, and main's command ran before.
    EXPECT_EQ(lookUps(loc, {L"Msg_A", L"Msg_B", L"Msg_C"}), L"Color RED|Colour green|new RED");

    zv::locFile withoutOverlay(mainFile);
    EXPECT_EQ(lookUp(withoutOverlay, L"Msg_B"), L"Color blue");
    withoutOverlay.setOverlay(overlay);
    EXPECT_EQ(lookUp(withoutOverlay, L"Msg_B"), L"Colour green");
}

TEST_F(locFile, ReloadsWhenTheFileOrItsOverlayChanges) {
    const zv::file mainFile = tmp.write(L"main.loc", kUtf8Bom + "Msg_A old\n");
    const zv::file overlay(tmp.dir(), L"over.loc");
    zv::locFile loc(mainFile.c_str(), overlay.c_str());
    EXPECT_EQ(lookUp(loc, L"Msg_A"), L"old");
    // The file, then its overlay appearing, then the overlay changing.
    for (const auto& [name, text, shift] :
         {std::tuple{L"main.loc", "new", 10}, {L"over.loc", "overlay", 0}, {L"over.loc", "overlay 2", 20}}) {
        rewrite(tmp, name, kUtf8Bom + "Msg_A " + text + "\n", shift);
        EXPECT_EQ(lookUp(loc, L"Msg_A"), std::wstring(text, text + std::strlen(text)));
    }

    ASSERT_TRUE(overlay.remove());
    EXPECT_EQ(lookUp(loc, L"Msg_A"), L"new");
}

TEST_F(locFile, ReloadsARewriteWithinTheSameSecond) {
    // Each rewrite keeps the whole second of the modification time seen at
    // the last load; the size, the file itself or the fraction must tell.
    const std::filesystem::path host = tmp.host() / "main.loc";
    const zv::file f = tmp.write(L"main.loc", kUtf8Bom + "Msg_A one\n");
    zv::locFile loc(f);
    EXPECT_EQ(lookUp(loc, L"Msg_A"), L"one");
    const long long second = f.lastModificationTime();
    tmp.write(L"main.loc", kUtf8Bom + "Msg_A three\n"); // longer, in place
    ASSERT_TRUE(f.setLastModificationTime(second));
    EXPECT_EQ(lookUp(loc, L"Msg_A"), L"three");
    tmp.write(L"next.loc", kUtf8Bom + "Msg_A seven\n"); // as long, renamed over it
    std::filesystem::rename(tmp.host() / "next.loc", host);
    ASSERT_TRUE(f.setLastModificationTime(second));
    EXPECT_EQ(lookUp(loc, L"Msg_A"), L"seven");
    // As long, in place, in the same second: only its fraction tells.
    const auto base = std::chrono::floor<std::chrono::seconds>(std::filesystem::last_write_time(host));
    std::filesystem::last_write_time(host, base + std::chrono::milliseconds(250));
    EXPECT_EQ(lookUp(loc, L"Msg_A"), L"seven");
    tmp.write(L"main.loc", kUtf8Bom + "Msg_A eight\n");
    std::filesystem::last_write_time(host, base + std::chrono::milliseconds(750));
    if (std::filesystem::last_write_time(host) != base + std::chrono::milliseconds(750))
        GTEST_SKIP() << "this runtime sets modification times in whole seconds only";
    EXPECT_EQ(lookUp(loc, L"Msg_A"), L"eight");
}

TEST_F(locFile, IncludesNestAtMost64LevelsAndMove) {
    // A chain of 100 files, each including the next: the first 64 levels
    // below the main file are read, deeper includes are ignored and reported.
    const unsigned levels = 100;
    for (unsigned i = 0; i < levels; ++i)
        tmp.write(L"f" + std::to_wstring(i) + L".loc", kUtf8Bom + "#include f" + std::to_string(i + 1) +
                                                           ".loc\nMsg_" + std::to_string(i) + " level " +
                                                           std::to_string(i) + "\n");
    const zv::file first(tmp.dir(), L"f0.loc");
    zv::locFile loc(first);
    unsigned depth = 0;
    for (const zv::locFile* at = &loc; !at->includedFiles().empty(); at = &at->includedFiles()[0])
        ++depth;
    EXPECT_EQ(depth, zv::locFile::maxIncludeDepth());
    EXPECT_EQ(lookUps(loc, {L"Msg_64", L"Msg_65"}), L"level 64|<none>");

    // Moving keeps the tree; the moved-from object is left empty.
    zv::locFile moved(std::move(loc));
    EXPECT_EQ(lookUp(moved, L"Msg_64"), L"level 64");
    zv::locFile assigned;
    assigned = std::move(moved);
    EXPECT_EQ(lookUp(assigned, L"Msg_1"), L"level 1");

    EXPECT_EQ(checked(first),
              (lines{L"failed",
                     L"f64.loc:1: include of \"f65.loc\" is nested deeper than 64 levels and is ignored"}));
}

TEST_F(locFile, CheckFollowsEachAliasChainOnce) {
    // Every alias on a chain shares the chain's outcome: one that leads
    // into a circle runs in it, one that leads to an unknown id names it.
    tmp.write(L"inc.loc", kUtf8Bom + "Msg_Inc from the include\n");
    std::string text = kUtf8Bom + "#include inc.loc\n";
    const unsigned chain = 2000;
    for (unsigned i = 0; i < chain; ++i) // Msg_U0 -> Msg_U1 -> ... -> Msg_Gone
        text += "Msg_U" + std::to_string(i) + " $$" +
                (i + 1 < chain ? "Msg_U" + std::to_string(i + 1) : "Msg_Gone") + "\n";
    text += "Msg_K1 $$Msg_K2\nMsg_K2 $$Msg_Inc\n"                  // known through the include
            "Msg_T1 $$Msg_T2\nMsg_T2 plain\n"                      // known here
            "Msg_R1 $$Msg_R2\nMsg_R2 $$Msg_R3\nMsg_R3 $$Msg_R2\n"; // into a circle
    zv::locFileCounts counts;
    lines got = checked(tmp.write(L"a.loc", text), &counts);
    EXPECT_EQ(counts.aliases, chain + 6);
    const auto unknown = std::remove_if(got.begin(), got.end(), [](const std::wstring& issue) {
        return issue.find(L"names the unknown id \"Msg_Gone\"") != std::wstring::npos;
    });
    EXPECT_EQ(static_cast<unsigned>(got.end() - unknown), chain);
    got.erase(unknown, got.end());
    EXPECT_EQ(got, (lines{L"failed",
                          L"a.loc:" + std::to_wstring(chain + 6) + L": alias \"Msg_R1\" runs in a circle",
                          L"a.loc:" + std::to_wstring(chain + 7) + L": alias \"Msg_R2\" runs in a circle",
                          L"a.loc:" + std::to_wstring(chain + 8) + L": alias \"Msg_R3\" runs in a circle"}));
}

TEST_F(locFile, CheckReportsProblemsWithLineNumbers) {
    tmp.write(L"b.loc", kUtf8Bom + "#include a.loc\nMsg_B b\n");
    const zv::file a =
        tmp.write(L"a.loc", kUtf8Bom +                                   // one line per "\n":
                                "#include b.loc\n#include missing.loc\n" // 1-2
                                ";;cmd(replace:::x:::y)\n;;cmd(uppercase)\n;;cmd(replace:::x:::y\n" // 3-5
                                "Msg_A $$Msg_B\nMsg_X $$Msg_Nowhere\n"                              // 6-7
                                "Msg_C1 $$Msg_C2\nMsg_C2 $$Msg_C1\nMsg_Plain text\n");              // 8-10
    zv::locFileCounts counts;
    const lines expected = {
        L"failed",
        L"a.loc:2: included file \"missing.loc\" not found",
        L"a.loc:4: malformed command \"uppercase\" (expected replace:::OLD:::NEW)",
        L"a.loc:5: command without a closing \")\": \"replace:::x:::y\"",
        L"a.loc:7: alias \"Msg_X\" names the unknown id \"Msg_Nowhere\"",
        L"a.loc:8: alias \"Msg_C1\" runs in a circle",
        L"a.loc:9: alias \"Msg_C2\" runs in a circle",
        L"b.loc:1: include of \"a.loc\" closes a cycle",
    };
    EXPECT_EQ(checked(a, &counts), expected);
    // Entries: five in a.loc, one in b.loc.
    EXPECT_EQ((std::vector{counts.entries, counts.includes, counts.commands, counts.aliases}),
              (std::vector<decltype(counts.entries)>{6, 3, 3, 4}));
    tmp.write(L"b2.loc", kUtf8Bom + "Msg_B b\n");
    EXPECT_EQ(checked(tmp.write(L"clean.loc", kUtf8Bom + "#include b2.loc\nMsg_A $$Msg_B\n")), lines{L"ok"});
    EXPECT_EQ(checked(zv::file(tmp.dir(), L"gone.loc")),
              (lines{L"failed", L"gone.loc:0: cannot read the file"}));
    // UTF-8 saved without its mark reads as UTF-16LE nonsense: the check says
    // so, while the same text in UTF-16LE without a mark is fine.
    const lines unmarked = checked(tmp.write(L"nobom.loc", "Msg_A text\n"));
    ASSERT_EQ(unmarked.size(), 2u);
    EXPECT_TRUE(unmarked[1].starts_with(L"nobom.loc:0: ") &&
                unmarked[1].find(L"byte-order mark") != std::wstring::npos);
    EXPECT_EQ(checked(tmp.write(L"utf16.loc", utf16le(L"Msg_A t\n"))), lines{L"ok"});
}
