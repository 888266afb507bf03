#include "zvLocString.h"
#include "zvTestSupport.h"

#include "zvGenericValue.h"
#include "zvLocStringTestSupport.h"
#include "zvProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdarg>
#include <string>
#include <thread>
#include <vector>

using zv::locString;
using zv::locStringId;
using zvtest::locSandbox;
using zvtest::locSettingsGuard;
using zvtest::tempFolder;
using zvtest::writeLocFile;

namespace {

/// The prepared-list constructor, reached as a forwarding function would.
locStringId fromArgs(const wchar_t* id, const wchar_t* text, const wchar_t* first, ...) {
    va_list args;
    va_start(args, first);
    const zv::locFileArgs more = zv::locFileArgsFrom(args);
    va_end(args);
    return locStringId(id, text, first, more);
}

/// `msg` after setting each value under the name that follows it.
locString& with(locString& msg) {
    return msg;
}
template <typename V, typename... More>
locString& with(locString& msg, const V& value, const wchar_t* name, const More&... more) {
    msg.params().set(value, name);
    return with(msg, more...);
}

std::wstring persistent(const zv::iLocStringId& id) {
    zv::string out;
    id.getPersistentId(out);
    return out;
}

} // namespace

TEST(locStringId, PersistentFormAndFileLists) {
    const locStringId id(L"Msg_X|Default text|a.loc,b.loc");
    EXPECT_TRUE(std::wstring(id.id()) == L"Msg_X" && std::wstring(id.defaultString()) == L"Default text");
    // Blanks and tabs around fields and names go; empty names are dropped; an
    // empty default text keeps its field; an empty id writes nothing.
    const std::pair<locStringId, const wchar_t*> forms[] = {
        {id, L"Msg_X|Default text|a.loc,b.loc"},
        {locStringId(L" Msg_Y\t| Some text \t|  a.loc , ,b.loc "), L"Msg_Y|Some text|a.loc,b.loc"},
        {locStringId(L"Msg_Z||x.loc"), L"Msg_Z||x.loc"},
        {locStringId(L"Msg_Z"), L"Msg_Z||"},
        {locStringId(L"|text|x.loc"), L""},
        {locStringId(static_cast<const wchar_t*>(nullptr)), L""},
        {locStringId(L"Msg_A", L"A", L"x.loc", L"y.loc", nullptr), L"Msg_A|A|x.loc,y.loc"},
        {fromArgs(L"Msg_A", L"A", L"x.loc", L"y.loc", L"z.loc", nullptr), L"Msg_A|A|x.loc,y.loc,z.loc"},
        // A null first file ends the list before anything further is read.
        {fromArgs(L"Msg_A", L"A", nullptr), L"Msg_A|A|"},
        {locStringId(L"Msg_A", L"A", std::vector<const wchar_t*>{L"v.loc", nullptr, L""}), L"Msg_A|A|v.loc"},
    };
    for (const auto& [form, expected] : forms)
        EXPECT_EQ(persistent(form), expected);
    locStringId added(L"Msg_A", L"A", nullptr);
    added.addAlternativeFile(L"late.loc");
    EXPECT_EQ(persistent(added.copy()), L"Msg_A|A|late.loc");
    zv::localLocStringId local(L"Msg_L", nullptr, L"l.loc", nullptr);
    local.addAlternativeFile(L"m.loc");
    EXPECT_EQ(persistent(local.copy()), L"Msg_L||l.loc,m.loc");
}

TEST(locString, DefaultTextWithParametersWhenNoFileExists) {
    locSandbox box;
    locString msg(L"Msg_EWriteFile", L"Error writing file [File]", L"missing.loc", nullptr);
    msg.params().set(L"C:\\a.txt", L"File");
    EXPECT_FALSE(msg.stringIdExists(nullptr, locSettingsGuard::manager().defaultSearchPath()));
    // Setting a name twice keeps the second value in the first place.
    msg.params().set(zv::string(L"D:\\b.txt"), L"File");
    EXPECT_EQ(msg.params().size(), 1u);
    EXPECT_STREQ(msg.string(L"de"), L"Error writing file D:\\b.txt");

    // Typed values and a parameter the text does not mention.
    locString typed(L"Msg_T", L"[N] files, [Size:%.2f] MB, [Flag], [Ch:%c]", nullptr);
    with(typed, 5, L"N", 1.5, L"Size", true, L"Flag", L'x', L"Ch", 7L, L"Unused");
    // Copies carry identifier and parameters but not the last message.
    const locString copy = typed.copy();
    EXPECT_EQ(copy.params().size(), 5u);
    EXPECT_STREQ(copy.string(), L"5 files, 1.50 MB, True, x");

    // Every value appears as given, also one holding another's placeholder.
    locString copyMsg(L"Msg_Copy", L"Copy [Src] to [Dst] ($1)", nullptr);
    EXPECT_STREQ(with(copyMsg, L"a[Dst].txt", L"Src", L"b[Src].txt", L"Dst", L"$1", L"").string(),
                 L"Copy a[Dst].txt to b[Src].txt ($1)");

    // Trimmed pieces; assignments that do not split into two are ignored.
    const locString many(L"Msg_Y|[A]-[B]-[C]|| A := one /B:=two:=three/C/C:=3");
    EXPECT_STREQ(many.string(), L"one-[B]-3");
    EXPECT_EQ(many.params().size(), 2u);
}

TEST(locString, PersistentStringReadsBackTheSameText) {
    locSandbox box;
    locString msg(L"Msg_P", L"[Name] has [N] rows of [W] at [Size:%.1f], [On], [Inner]", L"p.loc", nullptr);
    locString inner(L"Msg_I", L"inner [Q]", nullptr);
    with(msg, L"C:\\data\\t.txt", L"Name", 12, L"N", static_cast<short>(-3), L"W", 2.3, L"Size", false, L"On",
         &with(inner, L"q", L"Q"), L"Inner");
    zv::string form;
    EXPECT_TRUE(msg.getPersistentString(form));
    EXPECT_EQ(form, L"Msg_P|[Name] has [N] rows of [W] at [Size:%.1f], [On], [Inner]|p.loc|"
                    L"Name:=C:\\data\\t.txt/N:=12/W:=-3/Size:=2.300000/On:=False/Inner:=inner q");
    EXPECT_STREQ(locString(form.c_str()).string(),
                 L"C:\\data\\t.txt has 12 rows of -3 at 2.3, False, inner q");
    // Without parameters the form is the identifier's.
    EXPECT_TRUE(
        zvtest::gives(locString(L"Msg_Q", L"q", nullptr).getPersistentString(form), form, true, L"Msg_Q|q|"));
}

TEST(locString, PersistentStringLeavesOutWhatCannotReadBack) {
    locSandbox box;
    locString msg(L"Msg_R", L"[A] [B] [C] [D] [E]", nullptr);
    with(msg, L"a|b", L"A", L"x/y", L"B", L"k:=v", L"C", L" padded", L"D", L"fine", L"E");
    zv::string form;
    EXPECT_TRUE(
        zvtest::gives(msg.getPersistentString(form), form, false, L"Msg_R|[A] [B] [C] [D] [E]||E:=fine"));
    EXPECT_STREQ(locString(form.c_str()).string(), L"[A] [B] [C] [D] fine");

    // "/" and ":=" only matter among the parameters; "|", blanks at the ends
    // and "," in a file name do matter, as does a default text without an id.
    const std::pair<locString, bool> fields[] = {
        {locString(L"Msg/Slash", L"a/b := c", L"dir/f.loc", nullptr), true},
        {locString(L"Msg_S", L"x:=y/z", nullptr), true},
        {locString(L"Msg_B", L"a|b", nullptr), false},
        {locString(L"Msg_T", L"trailing ", nullptr), false},
        {locString(L"Msg_F", L"f", L"a,b.loc", nullptr), false},
        {locString(L"", L"lost", nullptr), false},
        {locString(L"", L"", nullptr), true},
    };
    for (const auto& [c, complete] : fields) {
        EXPECT_EQ(c.getPersistentString(form), complete) << c.stringId().defaultString();
        EXPECT_TRUE(!complete || zv::string(locString(form.c_str()).string()) == c.string()) << form.c_str();
    }
    // Slashes before the parameters stay; an empty id still writes all four
    // fields so the parameters survive.
    locString slashed(L"Msg/P", L"p/q [A]", nullptr), anonymous(L"", L"Hi [A]", nullptr);
    for (const auto& [c, expected, back] :
         {std::tuple{&with(slashed, L"v", L"A"), L"Msg/P|p/q [A]||A:=v", L"p/q v"},
          {&with(anonymous, L"you", L"A"), L"|Hi [A]||A:=you", L"Hi you"}}) {
        EXPECT_TRUE(zvtest::gives(c->getPersistentString(form), form, true, expected));
        EXPECT_STREQ(locString(form.c_str()).string(), back);
    }
}

TEST(locString, NestedStringIsProducedInTheSameLanguage) {
    locSandbox box;
    writeLocFile(box.folder, L"de/nest.loc",
                 "Msg_NestOuter Fehler: [Inner]\nMsg_NestInner Datei [File] fehlt\n");
    locString inner(L"Msg_NestInner", L"File [File] missing", L"nest.loc", nullptr);
    inner.params().set(L"a.txt", L"File");
    locString outer(L"Msg_NestOuter", L"Error: [Inner]", L"nest.loc", nullptr);
    outer.params().set(&inner, L"Inner");
    inner.params().set(L"changed.txt", L"File"); // the stored copy is independent of the original
    EXPECT_STREQ(outer.string(), L"Error: File a.txt missing");
    EXPECT_STREQ(outer.string(L"de"), L"Fehler: Datei a.txt fehlt");
    EXPECT_TRUE(outer.stringIdExists(L"de", locSettingsGuard::manager().defaultSearchPath()));
}

/// The text of Msg_Cand looked up in `file`, in `language`.
static std::wstring candidate(const wchar_t* file, const wchar_t* language = nullptr,
                              const wchar_t* id = L"Msg_Cand") {
    return locString(id, L"default", file, nullptr).string(language);
}

TEST(locManager, CandidateOrderForOneFile) {
    locSettingsGuard settings;
    tempFolder a, b;
    zv::searchPath path;
    path.appendDirectory(a.dir());
    path.appendDirectory(b.dir());
    locSettingsGuard::manager().setDefaultSearchPath(path);
    locSettingsGuard::manager().setDefaultLanguage(L"fr");
    locSettingsGuard::manager().setOverlayId(L"");
    // The name itself, in any folder of the path, comes before the language
    // folder; then the given language, not followed by the default one.
    writeLocFile(b, L"one.loc", "Msg_Cand plain-b\n");
    writeLocFile(a, L"de/one.loc", "Msg_Cand de-a\n");
    writeLocFile(b, L"de/two.loc", "Msg_Cand de-b\n");
    writeLocFile(a, L"fr/two.loc", "Msg_Cand fr-a\n");
    writeLocFile(a, L"fr/three.loc", "Msg_Cand fr-a\n");
    EXPECT_EQ(candidate(L"one.loc", L"de") + L"|" + candidate(L"two.loc", L"de") + L"|" +
                  candidate(L"two.loc") + L"|" + candidate(L"three.loc", L"it"),
              L"plain-b|de-b|fr-a|default");
    // The first file found is used even when it lacks the id.
    EXPECT_EQ(candidate(L"one.loc", L"de", L"Msg_Other"), L"default");
    // Without files the default localization file is sought the same way.
    writeLocFile(b, L"fr/dflt.loc", "Msg_Cand fr-default-file\n");
    locSettingsGuard::manager().setDefaultLocFile(L"dflt.loc");
    EXPECT_EQ(candidate(nullptr), L"fr-default-file");
    locSettingsGuard::manager().setDefaultLocFile(L"");
    EXPECT_EQ(candidate(nullptr), L"default");
}

TEST(locManager, CandidateOrderForSeveralFilesOverlayAndGivenSearchPath) {
    locSandbox box;
    locSettingsGuard::manager().setDefaultLanguage(L"fr");
    // Every candidate of the first name (plain, language, default language)
    // comes before the second name.
    writeLocFile(box.folder, L"fr/first.loc", "Msg_Many fr-first\n");
    writeLocFile(box.folder, L"second.loc", "Msg_Many second\n");
    const locString many(L"Msg_Many", L"default", L"first.loc", L"second.loc", nullptr);
    EXPECT_STREQ(many.string(L"de"), L"fr-first");
    writeLocFile(box.folder, L"de/first.loc", "Msg_Many de-first\n");
    EXPECT_STREQ(many.string(L"de"), L"de-first");
    // Without any default language only the plain names and the given language count.
    locSettingsGuard::manager().setDefaultLanguage(L"");
    EXPECT_STREQ(locString(L"Msg_Many", L"default", L"nothere.loc", L"second.loc", nullptr).string(),
                 L"second");

    // The overlay's entries win over the file's.
    tempFolder elsewhere;
    locSettingsGuard::manager().setOverlayId(L"site");
    writeLocFile(box.folder, L"ov.loc", "Msg_Ov1 base one\nMsg_Ov2 base two\n");
    writeLocFile(box.folder, L"site_ov.loc", "Msg_Ov2 site two\n");
    EXPECT_EQ(candidate(L"ov.loc", nullptr, L"Msg_Ov1") + L"|" + candidate(L"ov.loc", nullptr, L"Msg_Ov2"),
              L"base one|site two");
    // A search path handed to string() is the one searched.
    writeLocFile(elsewhere, L"ov.loc", "Msg_Ov1 elsewhere\n");
    zv::searchPath path;
    path.appendDirectory(elsewhere.dir());
    const locString msg(L"Msg_Ov1", L"d", L"ov.loc", nullptr);
    EXPECT_STREQ(msg.string(nullptr, path), L"elsewhere");
    zv::file found;
    EXPECT_TRUE(locSettingsGuard::manager().findLocFile(msg.stringId(), nullptr, path, found));
    EXPECT_TRUE(found.isEqualTo(zv::file(elsewhere.dir(), L"ov.loc"), false));
}

TEST(locManager, DefaultSearchPathStartsBesideTheLibrary) {
    // The first two folders set at creation (unless a test replaced them).
    locSettingsGuard settings;
    zv::directory module;
    ASSERT_TRUE(zv::getModulePath(zv::string(), module));
    const zv::searchPath& path = locSettingsGuard::manager().defaultSearchPath();
    if (path.size() != 2 || !path.directories()[0].isEqualTo(module, false))
        GTEST_SKIP() << "the default search path was changed earlier in this process";
    EXPECT_TRUE(path.directories()[1].isEqualTo(zv::directory(module, L"..\\config\\Language"), false));
}

TEST(locString, GenericValueHoldsALocString) {
    locSandbox box;
    locString msg(L"Msg_G", L"Hello [Who]", nullptr);
    msg.params().set(L"there", L"Who");
    const zv::genericValue value(msg);
    ASSERT_NE(value.valueIf<locString>(), nullptr);
    zv::string text;
    EXPECT_TRUE(zvtest::gives(value.get(text), text, true, L"Hello there"));
    // Text converts into a locString through its persistent form.
    locString parsed;
    EXPECT_TRUE(zv::genericValue(zv::string(L"Msg_G|Hi [Who]||Who:=all")).get(parsed));
    EXPECT_STREQ(parsed.string(), L"Hi all");
    // A copied value keeps its own copy.
    zv::genericValue copy = value;
    copy.valueIf<locString>()->params().set(L"copy", L"Who");
    EXPECT_STREQ(value.valueIf<locString>()->string(), L"Hello there");
    EXPECT_STREQ(copy.valueIf<locString>()->string(), L"Hello copy");
}

TEST(locManager, ConcurrentLookUpsWhileSettingsChange) {
    locSandbox box;
    writeLocFile(box.folder, L"de/stress.loc", "Msg_Stress Hallo [N]\n");

    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&wrong, t] {
            for (int i = 0; i < 200; ++i) {
                locString msg(L"Msg_Stress", L"Hello [N]", L"stress.loc", nullptr);
                if (std::wstring(with(msg, t, L"N").string(L"de")) != L"Hallo " + std::to_wstring(t))
                    ++wrong;
            }
        });
    std::thread writer([&stop, &box] {
        zv::searchPath path;
        path.appendDirectory(box.folder.dir());
        while (!stop) {
            locSettingsGuard::manager().setDefaultLanguage(L"fr");
            locSettingsGuard::manager().setDefaultSearchPath(path);
            locSettingsGuard::manager().setDefaultLanguage(L"");
        }
    });
    for (std::thread& t : readers)
        t.join();
    stop = true;
    writer.join();
    EXPECT_EQ(wrong, 0);
}
