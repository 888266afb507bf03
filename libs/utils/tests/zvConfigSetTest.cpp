#include "zvConfigSet.h"

#include "zvException.h"
#include "zvFsTestSupport.h"
#include "zvKeyValueFile.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

constexpr unsigned npos = zv::configSet::npos;

/// "key=value" per pair, joined by "|".
std::wstring dump(const zv::configSet& set) {
    std::wstring out;
    zv::string key, value;
    for (unsigned i = 0; set.getKeyAndValue(i, key, value); ++i)
        out += key + L"=" + value + L"|";
    return out;
}

/// "[name]" and the pairs of every section.
std::wstring dump(const zv::configStructure& structure) {
    std::wstring out;
    for (unsigned i = 0; i < structure.sectionCount(); ++i)
        out += L"[" + structure.section(i).name() + L"]" + dump(structure.section(i));
    return out;
}

zv::configSet setOf(const std::vector<std::pair<std::wstring, std::wstring>>& pairs) {
    zv::configSet set;
    for (const auto& [k, v] : pairs)
        set.setValue(k, v, true, 1);
    return set;
}

} // namespace

TEST(configSet, SetsValuesByModeAndCase) {
    // key, case-sensitive, mode, result, the set after
    for (const auto& [key, caseSensitive, mode, result, expected] :
         std::initializer_list<std::tuple<const wchar_t*, bool, int, bool, std::wstring>>{
             {L"A", false, 3, true, L"a=new|b=2|"},
             {L"A", true, 3, true, L"a=1|b=2|A=new|"},
             {L"a", true, 1, true, L"a=1|b=2|a=new|"},
             {L"x", true, 2, false, L"a=1|b=2|"},
             {L"b", true, 2, true, L"a=1|b=new|"},
             {L"x", true, 0, false, L"a=1|b=2|"}}) {
        zv::configSet set = setOf({{L"a", L"1"}, {L"b", L"2"}});
        EXPECT_EQ(set.setValue(key, zv::string(L"new"), caseSensitive, mode), result)
            << key << " mode " << mode;
        EXPECT_EQ(dump(set), expected) << key << " mode " << mode;
    }

    // A second equal key shadows the first in every look-up.
    zv::configSet set = setOf({{L"a", L"1"}, {L"a", L"2"}});
    zv::string value = L"untouched";
    EXPECT_TRUE(zvtest::gives(set.getValue(L"A", value, true), value, false, L"untouched"));
    EXPECT_TRUE(zvtest::gives(set.getValue(L"A", value, false), value, true, L"2"));

    // The interface's setValue replaces exactly that key, else appends.
    zv::iConfigSet& face = set;
    EXPECT_TRUE(face.setValue(L"a", L"3") && face.setValue(L"A", L"4"));
    EXPECT_EQ(dump(set), L"a=1|a=3|A=4|");

    const wchar_t* none = nullptr;
    const wchar_t* text = L"t";
    EXPECT_TRUE(set.setValue(L"n", none, true, 3) && set.setValue(L"t", text, true, 3));
    EXPECT_EQ(dump(set), L"a=1|a=3|A=4|n=|t=t|");
}

TEST(configSet, StoresNumbersAsTextThatReadsBack) {
    const std::pair<double, std::wstring> cases[] = {{100.0, L"100"},
                                                     {-0.25, L"-0.25"},
                                                     {0.0, L"0"},
                                                     {1e-9, L"1e-09"},
                                                     {0.1 + 0.2, L"0.30000000000000004"}};
    for (const auto& [number, expected] : cases) {
        zv::configSet set;
        zv::string text;
        double back = -1;
        ASSERT_TRUE(set.setValue(L"k", number, true, 3));
        EXPECT_TRUE(zvtest::gives(set.getValue(L"k", text, true), text, true, expected));
        EXPECT_TRUE(zvtest::gives(zv::dtconvert(back, text), back, true, number) << text.getMBCS());
    }
}

TEST(configSet, RemovesAndMerges) {
    // key, case-sensitive, only the first, the set after
    for (const auto& [key, caseSensitive, onlyFirst, expected] :
         std::initializer_list<std::tuple<const wchar_t*, bool, bool, std::wstring>>{
             {L"a", true, false, L"A=2|b=3|"},
             {L"a", true, true, L"A=2|a=4|b=3|"},
             {L"a", false, false, L"b=3|"},
             {L"A", false, true, L"A=2|a=4|b=3|"},
             {L"z", false, false, L"a=1|A=2|a=4|b=3|"}}) {
        zv::configSet set = setOf({{L"a", L"1"}, {L"A", L"2"}, {L"a", L"4"}, {L"b", L"3"}});
        set.removeKey(key, caseSensitive, onlyFirst);
        EXPECT_EQ(dump(set), expected) << key;
    }
    zv::configSet set = setOf({{L"a", L"1"}, {L"b", L"2"}});
    zvtest::assertCapture capture;
    EXPECT_THROW(set.removeKey(5u), bool);
    set.removeKey(0u);
    EXPECT_TRUE(dump(set) == L"b=2|" && capture.messages().size() == 1u);

    const zv::configSet other = setOf({{L"b", L"x"}, {L"c", L"y"}});
    zv::configSet appended = setOf({{L"a", L"1"}, {L"b", L"2"}}), replaced = appended;
    EXPECT_EQ(dump(appended.mergeWith(other, true, false)), L"a=1|b=2|b=x|c=y|");
    EXPECT_EQ(dump(replaced.mergeWith(other, true, true)), L"a=1|b=x|c=y|");
    // Merging a set with itself appends a copy of what it held.
    appended.mergeWith(appended, true, false);
    EXPECT_EQ(dump(appended), L"a=1|b=2|b=x|c=y|a=1|b=2|b=x|c=y|");
}

TEST(configSet, LargeSetsFindTheLastKeyAfterEveryChange) {
    zv::configSet set;
    for (int i = 0; i < 100000; ++i)
        set.setValue(L"Key" + std::to_wstring(i % 50000), std::to_wstring(i), false, i < 50000 ? 3 : 1);
    EXPECT_EQ(set.keyCount(), 100000u);
    zv::string value;
    ASSERT_TRUE(zvtest::gives(set.getValue(L"KEY7", value, false), value, true, L"50007"));
    EXPECT_TRUE(!set.getValue(L"KEY7", value, true) && set.keyIdx(L"Key7", true) == 50007u);

    set.removeKey(L"key7", false, true); // the first of two
    set.removeKey(0u);
    EXPECT_TRUE(set.keyIdx(L"Key7", true) == 50005u && set.keyIdx(L"Key0", true) == 49998u);
    set.setValue(L"key0", zv::string(L"last"), false, 2);
    ASSERT_TRUE(zvtest::gives(set.getValue(L"Key0", value, true), value, true, L"last"));

    zv::configSet copy = set;
    EXPECT_EQ(copy.keyIdx(L"KEY0", false), 49998u);
    copy.removeKey(L"key1", false, false);
    EXPECT_EQ(copy.keyIdx(L"Key1", true), npos);

    // Every spelling of one key: exact look-ups find their own pair, the
    // others the newest; a spelling never added is absent.
    zv::configSet spellings;
    for (unsigned bits = 0; bits < 64; ++bits) {
        std::wstring key = L"abcdef";
        for (unsigned b = 0; b < 6; ++b)
            if (bits & (1u << b))
                key[b] = static_cast<wchar_t>(key[b] - L'a' + L'A');
        if (bits != 5)
            spellings.setValue(key, std::to_wstring(bits), true, 3);
    }
    EXPECT_TRUE(spellings.keyIdx(L"aBcdef", true) == 2u && spellings.keyIdx(L"ABCDEF", true) == 62u);
    EXPECT_TRUE(spellings.keyIdx(L"AbCdef", false) == 62u && spellings.keyIdx(L"AbCdef", true) == npos);
    spellings.removeKey(L"ABCDEF", true, false);
    EXPECT_EQ(spellings.keyIdx(L"abcdef", false), 61u);
}

TEST(configStructure, FindsCreatesAndRemovesSections) {
    zv::configStructure s;
    zvtest::assertCapture capture;
    EXPECT_THROW(s.section(0u), bool);
    EXPECT_THROW(s.removeSection(0u), bool);
    EXPECT_THROW(s.section(L"T", true, false), bool);
    EXPECT_THROW(static_cast<const zv::configStructure&>(s).section(L"T", true), bool);
    s.section(L"T", true, true).setValue(L"k", zv::string(L"1"), true, 3);
    s.section(L"U", true, true);
    s.addSection(L"t").setValue(L"k", zv::string(L"2"), true, 3);
    EXPECT_EQ(dump(s), L"[T]k=1|[U][t]k=2|");
    EXPECT_TRUE(s.sectionIdx(L"T", false) == 2u && s.sectionIdx(L"V", true) == zv::configStructure::npos);

    // A section of the same structure copied over another, under a new name too.
    s.setSection(s.section(0u), true, L"U");
    EXPECT_EQ(dump(s), L"[T]k=1|[T]k=1|[t]k=2|");
    s.setSection(s.section(2u), true, L"New");
    EXPECT_EQ(dump(s), L"[T]k=1|[T]k=1|[t]k=2|[t]k=2|");

    s.removeSection(L"t", true);
    s.removeSection(0u);
    EXPECT_EQ(dump(s), L"[T]k=1|[t]k=2|");

    zv::configSection a(L"a");
    a.setValue(L"x", zv::string(L"1"), true, 3);
    a = static_cast<zv::configSection&>(a);
    EXPECT_EQ(a.name() + dump(a), L"ax=1|");
}

TEST(configStructure, LoadsEveryDialectAndAdaptorsEnterKeys) {
    zvtest::tempFolder tmp;
    auto load = [&](zv::keyValueFileReader&& reader, bool caseSensitive) {
        zv::configStructure s;
        return zv::loadConfigStructure(reader, s, caseSensitive) ? dump(s) : L"<failed>";
    };
    const zv::file ini = tmp.write(L"a.ini", "top=1\r\n[A]\r\nk=1\r\nK=2\r\n[Empty]\n[a]\nx=3\n");
    EXPECT_EQ(load(zv::keyValueFileReader(ini, L"=", L";", L""), false), L"[]top=1|[A]k=2|x=3|[Empty]");
    EXPECT_EQ(load(zv::keyValueFileReader(ini, L"=", L";", L""), true), L"[]top=1|[A]k=1|K=2|[Empty][a]x=3|");
    const zv::file cfg = tmp.write(L"a.cfg", "**A\r\nk v\r\n**END A\r\n**B\r\n**END B\r\n");
    EXPECT_EQ(load(zv::cfgFileReader(cfg, L"", L";", L""), true), L"[A]k=v|[B]");

    const zv::file pcf = tmp.write(L"a.pcf", "\"k\" = \"v 1\"\r\n\"j\"=x\r\n[S]\r\n\"s\" = \"no\"\r\n");
    auto loadPcf = [&](zv::keyValueFileReader&& reader) {
        zv::configSet set;
        return zv::loadPcfConfigSet(reader, set, true) ? dump(set) : L"<failed>";
    };
    EXPECT_EQ(loadPcf(zv::keyValueFileReader(pcf, L"=", L";", L"")), L"k=v 1|j=x|");
    EXPECT_EQ(loadPcf(zv::keyValueFileReader(zv::file(tmp.dir(), L"none.ini"), L"=", L";", L"")),
              L"<failed>");
    // The adaptors on their own.
    zv::configStructure s;
    zv::configStructureAdaptor adaptor(s, false);
    EXPECT_TRUE(adaptor.load(L"S", L"k", L"1") && adaptor.load(L"s", L"K", L"2") && adaptor.endsection(L"s"));
    EXPECT_EQ(dump(s), L"[S]k=2|");

    zv::configSet set;
    zv::pcfConfigSetAdaptor pcfAdaptor(set, true);
    EXPECT_TRUE(pcfAdaptor.load(L"", L"\"k\"", L"\"v\"") && pcfAdaptor.load(L"S", L"\"x\"", L"\"y\"") &&
                pcfAdaptor.load(L"", L"", L"\"y\"") && pcfAdaptor.load(L"", L"\"", L"\"") &&
                pcfAdaptor.load(L"", L"\"q", L"\"\"") && pcfAdaptor.endsection(L""));
    EXPECT_EQ(dump(set), L"k=v|\"=\"|\"q=|");
}

TEST(configStructure, WritesIniThatReadsBack) {
    zvtest::tempFolder tmp;
    const zv::file f(tmp.dir(), L"out.ini");
    zv::configStructure s;
    auto put = [&](const wchar_t* section, const wchar_t* key, const wchar_t* value) {
        s.section(section, true, true).setValue(key, zv::string(value), true, 3);
    };
    put(L"S", L"a", L"1"), put(L"S", L"long", L"2"), put(L"S", L"", L"dropped"), put(L"", L"top", L"x y");
    s.section(L"T", true, true);
    ASSERT_TRUE(zv::configStructureFileWriter(s).write(f, true));
    const std::string written = "top   = x y\r\n[S]\r\na     = 1\r\nlong  = 2\r\n[T]\r\n";
    EXPECT_EQ(zvtest::readAll(f), written);
    // A key that cannot be stored fails the whole write; the old file stays.
    put(L"T", L"bad", L"line\nbreak");
    EXPECT_THROW(zv::configStructureFileWriter(s).write(f, true), zv::writeFileException);
    EXPECT_EQ(zvtest::readAll(f), written);
    EXPECT_THROW(zv::configStructureFileWriter(s).write(zv::file(tmp.dir(), L"no\\such\\x.ini"), true),
                 zv::writeFileException);
}
