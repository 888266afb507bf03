#include "zvLocMessage.h"

#include "zvCodePage.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

namespace {

std::wstring text(const zv::locMessage& m) {
    return static_cast<const std::wstring&>(m);
}

/// The text after inserting `value` under `name`, led by "refused: " when
/// the message had no place for it.
template <typename T>
std::wstring inserted(const wchar_t* message, T value, const wchar_t* name = L"X") {
    zv::locMessage m(message);
    const bool placed = m.insertParameter(value, name);
    return (placed ? L"" : L"refused: ") + text(m);
}

/// Checks each triple of a message, a value to insert under the name "X"
/// and the text that gives.
void expectInserted() {}
template <typename T, typename... More>
void expectInserted(const wchar_t* message, T value, const std::wstring& expected, const More&... more) {
    EXPECT_EQ(inserted(message, value), expected) << message;
    expectInserted(more...);
}

} // namespace

TEST(locMessage, StateMarksAndLeadingBlanks) {
    // Any "x:" goes, but only the three letters set a state; a new text clears it.
    using M = zv::locMessage;
    const std::tuple<const wchar_t*, const wchar_t*, M::eMsgState> cases[] = {
        {L"E:Disk full", L"Disk full", M::msError},
        {L"e: x", L"x", M::msError},
        {L"W:careful", L"careful", M::msWarning},
        {L"i:   note", L"note", M::msInformation},
        {L"C:\\temp", L"\\temp", M::msNone},
        {L"E", L"E", M::msNone},
        {nullptr, L"", M::msNone}};
    zv::locMessage m(L"E:before");
    for (const auto& [message, expected, state] : cases) {
        m.setMessage(message);
        EXPECT_EQ(text(m), expected);
        EXPECT_EQ(m.msgState(), state) << expected;
    }
}

TEST(locMessage, NamedPlaceholders) {
    // Names are case-sensitive; an unterminated "[" is no placeholder; a value
    // that holds the placeholder again is inserted once, not expanded.
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {
        {L"File [File] not found!", L"Other", L"refused: File [File] not found!"},
        {L"File [File] not found!", L"File", L"File v not found!"},
        {L"\\[File] [File]", L"File", L"\\[File] v"},
        {L"[File:%s]!", L"File", L"v!"},
        {L"[x[File]", L"File", L"[xv"},
        {L"[file] [File]", L"File", L"[file] v"},
        {L"see [File", L"File", L"refused: see [File"}};
    for (const auto& [message, name, expected] : cases)
        EXPECT_EQ(inserted(message, L"v", name), expected);
    EXPECT_EQ(inserted(L"<[a:b:%03d]>", 7, L"a:b"), L"<007>");
    EXPECT_EQ(inserted(L"<[File]>", L"[File][File]", L"File"), L"<[File][File]>");
}

TEST(locMessage, PositionalPlaceholdersCountInsertions) {
    zv::locMessage m(L"$2 and $1");
    EXPECT_TRUE(m.insertParameter(L"one", nullptr));
    EXPECT_TRUE(m.insertParameter(L"two", nullptr));
    EXPECT_EQ(text(m), L"two and one");
    EXPECT_FALSE(m.insertParameter(L"three", nullptr));

    // Digits are read one at a time until they reach the counter: "$10" holds "$1".
    EXPECT_EQ(inserted(L"$10", L"a", nullptr) + L"|" + inserted(L"$ $x $12", L"v", nullptr), L"a0|$ $x v2");
    zv::locMessage ten(L"$1$2$3$4$5$6$7$8$9|$10");
    for (int i = 1; i <= 10; ++i)
        EXPECT_TRUE(ten.insertParameter(i == 10 ? L"T" : L"-", nullptr)) << i;
    EXPECT_EQ(text(ten), L"---------|T");

    // setMessage starts counting again.
    m.setMessage(L"$1");
    EXPECT_TRUE(m.insertParameter(L"again", nullptr));
    EXPECT_EQ(text(m), L"again");
}

TEST(locMessage, FallsBackToTheFirstConversion) {
    EXPECT_EQ(inserted(L"Value: %d", 7, L"Nothing") + L"|" + inserted(L"100%% and %s", L"v", nullptr),
              L"Value: 7|100%% and v");
    zv::locMessage two(L"%d of %d");
    EXPECT_TRUE(two.insertParameter(1, nullptr));
    EXPECT_TRUE(two.insertParameter(2, nullptr));
    EXPECT_EQ(text(two), L"1 of 2");

    for (const wchar_t* none : {L"no conversion", L"trailing %", L"only %%", L""})
        EXPECT_EQ(inserted(none, 1), L"refused: " + std::wstring(none));
}

TEST(locMessage, ValuesByKind) {
    const std::wstring longMax = std::to_wstring(LONG_MAX);
    // Text read as a number reads "." only, whatever the locale; numbers are
    // saturated to the range of `long`, never wrapped.
    expectInserted(L"[X:%-4c]|", L"ab", L"ab  |", L"[X:%d]", L" -12abc", L"-12", L"[X:%d]", L"none", L"0",
                   L"[X:%.1f]", L"2.5e1x", L"25.0", L"[X:%.1f]", L"1,5", L"1.0", L"[X:%5.2s]", L"abc",
                   L"   ab", L"[X]", static_cast<const wchar_t*>(nullptr), L"", L"[X:%ld]",
                   L"99999999999999999999999", longMax);
    zv::locMessage inner(L"E:inner text");
    EXPECT_EQ(inserted(L"<[X]>", inner), L"<inner text>");
    zv::locMessage self(L"[X]!");
    EXPECT_TRUE(self.insertParameter(self, L"X") && text(self) == L"[X]!!");
    expectInserted(L"[X:%c]", false, L"0", L"[X:%.1f]", true, L"1.0", L"[X]", true, L"True", L"[X:%-6s]|",
                   false, L"False |");
    // A character shows as its code; "%c" takes the low 8 bits; the written size decides.
    using S = short;
    expectInserted(L"[X:%c]", L'A', L"A", L"[X]", L'A', L"65", L"[X:%3c]", S(66), L"  B", L"[X]", S(-2),
                   L"-2", L"[X:%hx]", S(-2), L"fffe", L"[X:%c]", 0x141, L"A", L"[X:%hd]", 70000, L"4464",
                   L"[X:%+.2e]", 5, L"+5.00e+00", L"[X:%ld]", -3L, L"-3", L"[X:%.0f]", -7L, L"-7");
    // A `long` keeps its full width under a plain "%d", as where int and long agree.
    EXPECT_EQ(inserted(L"[X:%d]", LONG_MAX), longMax);
    // Out of range or not a number: saturated or 0, never undefined.
    expectInserted(L"[X:%.2f]", 1.5, L"1.50", L"[X]", 1.5, L"1.500000", L"[X:%d]", -1.9, L"-1", L"[X:%c]",
                   65.7, L"A", L"[X:%.3s]", 1.5, L"1.5", L"[X:%d]", std::nan(""), L"0", L"[X:%ld]", 1e300,
                   longMax);
}

TEST(locMessage, CharactersAboveAsciiReadTheAnsiCodePage) {
    if (zv::ansiCodePage() != 1252)
        GTEST_SKIP() << "needs the ANSI code page 1252, this process has " << zv::ansiCodePage();
    EXPECT_EQ(inserted(L"[X:%c]", 0xE9), L"\u00e9");
    EXPECT_EQ(inserted(L"[X:%c]", static_cast<short>(0x180)), L"\u20ac"); // 0x80 is the euro sign
}

TEST(locMessage, HostileConversionsAreFormattedSafely) {
    // Widths and precisions are cut to 1024 characters.
    EXPECT_EQ(inserted(L"[X:%999999999d]", 1).size(), 1024u);
    EXPECT_EQ(inserted(L"[X:%.2147483648f]", 1.0).size(), 1026u);
    EXPECT_EQ(inserted(L"[X:%70d]", 1).size(), 70u); // long results are not cut
    // A conversion for another type is rebuilt for the value's real type.
    // Arguments for "*" do not exist: the width or precision is dropped.
    expectInserted(L"[X:%s]", 5, L"5", L"[X:%lld]", 5, L"5", L"[X:%I64x]", 255, L"ff", L"[X:%*d]", 5, L"5",
                   L"[X:%hs]", L"wide", L"wide", L"[X:%.*f]", 0.5, L"0.500000");
    EXPECT_EQ(inserted(L"%s!", 5, nullptr), L"5!");
    // Kind other, "%n" and "%p" leave nothing.
    for (const wchar_t* other : {L"<[X:%S]>", L"<[X:%C]>", L"<%n>", L"<[X:%p]>"})
        EXPECT_EQ(inserted(other, 5), L"<>") << other;
    // A conversion of 16 or more characters is none: as a placeholder's
    // conversion the default "%s" applies; alone the text has no place.
    EXPECT_EQ(inserted(L"[X:%0000000000000005d]", 5), L"5");
    EXPECT_EQ(inserted(L"%0000000000000005d", 5, nullptr), L"refused: %0000000000000005d");
    EXPECT_EQ(inserted(L"%000000000005d", 5, nullptr), L"00005"); // 15 characters
}

TEST(locMessage, InsertsSeveralValuesInOnePass) {
    using P = zv::locParameter;
    // Message, values, text, number of places filled.
    const std::tuple<const wchar_t*, std::vector<P>, const wchar_t*, std::size_t> cases[] = {
        // A value is never searched again, whatever it holds.
        {L"Copy [S] to [D]", {P(L"a[D].txt", L"S"), P(L"b.txt", L"D")}, L"Copy a[D].txt to b.txt", 2},
        {L"Attribute [A]([N])", {P(L"[N]", L"A"), P(2, L"N")}, L"Attribute [N](2)", 2},
        {L"$1 $2", {P(L"$2", nullptr), P(L"x", nullptr)}, L"$2 x", 2},
        {L"[A][B]", {P(L"\\", L"A"), P(L"b", L"B")}, L"\\b", 2}, // a trailing backslash escapes nothing
        {L"[A]%", {P(L"%", L"A"), P(L"s", L"B")}, L"%%", 1},     // nor does a value end a conversion
        // Values without a placeholder take the conversions outside the others' places.
        {L"[A:%d] %s %s", {P(L"x", L"None"), P(7, L"A"), P(L"y", nullptr)}, L"7 x y", 3},
        {L"[A:%d]", {P(1, L"None")}, L"[A:1]", 1},
        // Overlapping brackets: the first name found wins, the other is taken.
        {L"[a[b]", {P(L"B", L"b"), P(L"A", L"a[b")}, L"[aB", 1},
        {L"[A] [A]", {P(L"1", L"A")}, L"1 [A]", 1},
        {L"none", {P(L"1", L"A"), P(2, nullptr)}, L"none", 0},
    };
    for (const auto& [message, values, expected, placed] : cases) {
        zv::locMessage m(message);
        EXPECT_EQ(m.insertParameters(values), placed) << message;
        EXPECT_EQ(text(m), std::wstring(expected)) << message;
    }

    // The counter of positional places goes on across calls.
    zv::locMessage m(L"$1 $2 $3");
    EXPECT_EQ(m.insertParameters({P(L"a", nullptr)}), 1u);
    EXPECT_EQ(m.insertParameters({P(L"b", nullptr), P(L"c", nullptr)}), 2u);
    EXPECT_EQ(text(m), L"a b c");
}

TEST(locMessage, HostileBracketRuns) {
    // Each "[" of a long run waits for the one "]" at its end (the scaling
    // is measured in bench/zvLocBench.cpp).
    const std::wstring run(100000, L'[');
    const std::tuple<std::wstring, std::wstring, std::size_t> cases[] = {
        {run + L"]", run + L"]", 0},
        {run + L":Name]", run + L":Name]", 0},
        {run + L"]%d", run + L"]0", 1}, // "v" read as a number
        {L"\\" + run, L"\\" + run, 0},
        {run + L"Name]", run.substr(1) + L"v", 1},
        {run + L"Other:%d]", run.substr(1) + L"1", 1}, // its "%d" is taken by Other
    };
    for (const auto& [message, expected, placed] : cases) {
        zv::locMessage m(message.c_str());
        EXPECT_EQ(m.insertParameters({zv::locParameter(L"v", L"Name"), zv::locParameter(1, L"Other")}),
                  placed);
        EXPECT_TRUE(text(m) == expected) << message.substr(message.size() - 8);
    }
}

TEST(locMessage, EndlinesAndCopies) {
    zv::locMessage m(L"W:$1 $2");
    EXPECT_TRUE(m.insertParameter(L"a", nullptr));
    zv::locMessage copy(m);
    EXPECT_TRUE(copy.insertParameter(L"b", nullptr)); // the counter was copied
    EXPECT_EQ(text(copy), L"a b");
    EXPECT_EQ(copy.msgState(), zv::locMessage::msWarning);
    EXPECT_TRUE(copy.appendEndline());
    EXPECT_TRUE(copy.prependEndline());
    EXPECT_EQ(text(copy), L"\na b\n");
}
