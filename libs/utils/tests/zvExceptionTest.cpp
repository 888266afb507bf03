#include "zvException.h"

#include "zvFile.h"
#include "zvLocStringTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

using zvtest::locSettingsGuard;
using zvtest::tempFolder;

namespace {

// Messages come from the built-in texts, or from files in the test's own folder.
class exception : public ::testing::Test {
protected:
    void SetUp() override { locSettingsGuard::only(folder.dir()); }
    locSettingsGuard settings;
    tempFolder folder;
};

std::wstring persistentOf(const zv::exception& e) {
    zv::string out;
    e.message().stringId().getPersistentId(out);
    return out;
}

} // namespace

TEST_F(exception, EveryClassHasItsIdAndDefaultText) {
    const zv::file f(L"C:\\data\\a.txt");

    struct expected {
        zv::exception e;
        const wchar_t* id;
        const wchar_t* text;
    };
    const std::vector<expected> all = {
        {zv::writeFileException(f), L"Msg_EWriteFile", L"Error writing file C:\\data\\a.txt"},
        {zv::readFileException(f), L"Msg_EReadFile", L"Error reading file C:\\data\\a.txt"},
        {zv::fileWriteProtectedException(f), L"Msg_EFileWriteProtected",
         L"File C:\\data\\a.txt is write protected!"},
        {zv::fileNotFoundException(f), L"Msg_EFileNotFound", L"File C:\\data\\a.txt not found!"},
        {zv::invalidFileFormatException(f), L"Msg_EInvalidFileFormat",
         L"Invalid file format in File C:\\data\\a.txt!"},
        {zv::invalidXmlException(f), L"Msg_EInvalidXml", L"File C:\\data\\a.txt is not a valid XML-file!"},
        {zv::moduleLoadException(f), L"Msg_ELoadModule", L"Error loading module C:\\data\\a.txt"},
        {zv::divisionByZeryException(), L"Msg_EDivByZery", L"Division by zero attempted"},
        {zv::outOfMemoryException(), L"Msg_EOutOfMem", L"Out of memory"},
        {zv::unexpectedErrorException(L"code %d", 42), L"EUnexpected",
         L"Unexpected error occurred (code 42)"},
        {zv::attributeNotFoundException(L"Name", 2, nullptr), L"Msg_EDbAttribNotFound",
         L"Attribute Name(2) not found!"},
        {zv::invalidAttributeType(L"Width", 3, L"abc", L"int"), L"Msg_EDbInvAttribFound",
         L"Attribute Width(3) with Value abc not convertible to type int!"},
    };
    for (const expected& x : all) {
        EXPECT_STREQ(x.e.message().stringId().id(), x.id);
        EXPECT_EQ(x.e.text(), x.text);
        EXPECT_TRUE(x.e.causes().empty());
    }
    EXPECT_EQ(persistentOf(zv::attributeNotFoundException(L"Name", 2)),
              L"Msg_EDbAttribNotFound|Attribute [Attrib]([Nth]) not found!|zvDb.loc");
    EXPECT_EQ(persistentOf(zv::writeFileException(f)), L"Msg_EWriteFile|Error writing file [File]|");

    // The file exceptions share their base; the rest do not.
    static_assert(std::is_base_of_v<zv::fileException, zv::moduleLoadException>);
    static_assert(!std::is_base_of_v<zv::fileException, zv::outOfMemoryException>);
    static_assert(!std::is_base_of_v<zv::exception, zv::returnNullRefException>);
}

TEST_F(exception, CausesRunFromTheNearestToTheDeepest) {
    const zv::file f(L"C:\\data\\a.txt");
    // A copy keeps its causes after the exceptions they came from have gone.
    const zv::exception outer = [&] {
        const zv::fileNotFoundException missing(f);
        const zv::readFileException reading(f, &missing);
        EXPECT_EQ(reading.causes().size(), 1u);
        return zv::exception(zv::unexpectedErrorException(&reading, L"while %s", L"loading"));
    }();
    EXPECT_EQ(outer.causes().size(), 2u);
    EXPECT_EQ(outer.fullText(), L"Unexpected error occurred (while loading)\n"
                                L"Error reading file C:\\data\\a.txt\n"
                                L"File C:\\data\\a.txt not found!");
}

TEST_F(exception, UnexpectedErrorDetailsAreCutAfter511Characters) {
    // A character outside the basic plane straddling the cut: on Windows it
    // is a surrogate pair and goes whole; on Linux it is one code point.
    // Placeholders in the formatted text are not formatted again.
    const std::wstring a510(510, L'a'), emoji = L"\U0001F600";
    const std::pair<std::wstring, std::wstring> rows[] = {
        {std::wstring(600, L'x'), std::wstring(511, L'x')},
        {std::wstring(511, L'y'), std::wstring(511, L'y')},
        {a510 + emoji + L"zz", sizeof(wchar_t) == 2 ? a510 : a510 + emoji},
        {L"100%d [Details]", L"100%d [Details]"},
    };
    for (const auto& [details, shown] : rows)
        EXPECT_EQ(zv::unexpectedErrorException(L"%s", details.c_str()).text(),
                  L"Unexpected error occurred (" + shown + L")");
}

TEST_F(exception, AttributeExceptionsAreTranslatedThroughTheDatabaseFile) {
    zvtest::writeLocFile(
        folder, L"de/zvDb.loc",
        "Msg_EDbAttribNotFound Attribut [Attrib]([Nth]) fehlt!\n"
        "Msg_EDbInvAttribFound \"Wert [Val] von [Attrib]([Nth]) ist kein [Type]\" ; quoted\n");

    const zv::attributeNotFoundException missing(L"Name", 2);
    EXPECT_EQ(missing.text(L"de"), L"Attribut Name(2) fehlt!");
    const zv::invalidAttributeType wrong(L"Width", 1, L"abc", L"int", &missing);
    EXPECT_EQ(wrong.fullText(L"de"), L"Wert abc von Width(1) ist kein int\nAttribut Name(2) fehlt!");

    // An attribute name that looks like a placeholder is shown as given.
    EXPECT_EQ(zv::attributeNotFoundException(L"[Nth]", 2).text(L"de"), L"Attribut [Nth](2) fehlt!");

    // The default language serves callers that name none.
    locSettingsGuard::manager().setDefaultLanguage(L"de");
    EXPECT_EQ(missing.text(), L"Attribut Name(2) fehlt!");
}

TEST(exitCode, ConcurrentSettersLeaveOneOfTheirValues) {
    using zv::exitCode;
    const int before = exitCode::lastErrorCode();
    // Threads setting it at once leave one of their values (a data race
    // would show under the thread sanitizer).
    std::vector<std::thread> threads;
    for (int t = 1; t <= 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 1000; ++i)
                exitCode::setLastErrorCode(t + (exitCode::lastErrorCode() & 0));
        });
    for (std::thread& t : threads)
        t.join();
    const int last = exitCode::lastErrorCode();
    EXPECT_GE(last, 1);
    EXPECT_LE(last, 4);
    exitCode::setLastErrorCode(exitCode::EC_MODULE());
    EXPECT_EQ(exitCode::lastErrorCode(), 8);
    exitCode::setLastErrorCode(before);
}
