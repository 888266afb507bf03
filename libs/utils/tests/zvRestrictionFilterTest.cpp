#include "zvRestrictionFilter.h"

#include "zvBinaryBuffer.h"
#include "zvDirectory.h"
#include "zvXmlDbReader.h"
#include "zvXmlDbWriter.h"

#include "zvException.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <type_traits>

using zv::genericValue;
using zv::guid;
using zv::objectInfo;
using zv::restrictionFilter;

namespace {

const guid g1 = guid::fromString(L"11111111-1111-1111-1111-111111111111");
const guid g2 = guid::fromString(L"22222222-2222-2222-2222-222222222222");
const guid g3 = guid::fromString(L"33333333-3333-3333-3333-333333333333");

std::vector<std::wstring> names(const restrictionFilter& f) {
    std::vector<std::wstring> out;
    for (auto it = f.filterValuesBegin(); it != f.filterValuesEnd(); ++it) {
        zv::string text;
        it->second.get(text);
        out.push_back(it->first + L"=" + text);
    }
    return out;
}

// Accepts nothing, and counts how often it was asked.
struct countingCompare : zv::iFilterValueCompare {
    mutable int calls = 0;
    bool operator()(const zv::string&, const genericValue&, const genericValue&) const override {
        ++calls;
        return false;
    }
};

} // namespace

TEST(restrictionFilter, MatchesAndRemovesObjectsByTypeIgnoringCaseAndGuid) {
    const restrictionFilter f({objectInfo(L"A", g1), objectInfo(L"B", g2)}, {});
    // Types are read back lower-cased, so they match ignoring case; an empty
    // filter matches only an empty list.
    EXPECT_TRUE(f.matchesFilter({}));
    EXPECT_TRUE(f.matchesFilter({objectInfo(L"a", g1), objectInfo(L"B", g2)}));
    for (const restrictionFilter::objectList& given :
         {restrictionFilter::objectList{objectInfo(L"A", g1), objectInfo(L"C", g3)},
          {objectInfo(L"A", g2)},
          {objectInfo(L"AB", g1)}})
        EXPECT_FALSE(f.matchesFilter(given)) << given.size();
    EXPECT_FALSE(restrictionFilter().matchesFilter({objectInfo(L"A", g1)}));

    // Removing by type ignores the guid; either way the type's case does not count.
    const restrictionFilter start({objectInfo(L"A", g1), objectInfo(L"B", g2), objectInfo(L"A", g2)}, {});
    for (const auto& [info, typeOnly, left] : {std::tuple{objectInfo(L"A", g3), true, 1},
                                               {objectInfo(L"a", g2), false, 2},
                                               {objectInfo(L"A", g3), false, 3},
                                               {objectInfo(L"C", g1), true, 3}}) {
        restrictionFilter copy(start);
        copy.removeFilterObject(info, typeOnly);
        EXPECT_EQ(std::distance(copy.filterObjectsBegin(), copy.filterObjectsEnd()), left);
    }
}

TEST(restrictionFilter, MatchesValuesByNameThroughTheirTexts) {
    const restrictionFilter f({},
                              {{L"x", genericValue(5)}, {L"x", genericValue(L"7")}, {L"e", genericValue()}});
    const zv::filterValueStringCompare cmp;
    // Compared as texts ("5" == "5", "07" != "7"), names exactly; an empty value has
    // the empty text, as stored.
    const std::tuple<const wchar_t*, genericValue, bool> rows[] = {
        {L"x", genericValue(5.0), true},   {L"x", genericValue(L"07"), false},
        {L"X", genericValue(L"7"), false}, {L"x", genericValue(zv::Undef{}), false},
        {L"e", genericValue(L""), true},   {L"e", genericValue(), true},
        {L"x", genericValue(), false},
    };
    for (const auto& [name, value, expected] : rows)
        EXPECT_EQ(f.matchesFilter({{name, value}}, cmp), expected) << std::wstring(name);

    EXPECT_TRUE(restrictionFilter().matchesFilter(restrictionFilter::valueList{}, cmp));
    // Every given pair must match.
    EXPECT_TRUE(f.matchesFilter({{L"x", genericValue(L"7")}, {L"x", genericValue(5)}}, cmp));
    EXPECT_FALSE(f.matchesFilter({{L"x", genericValue(L"7")}, {L"x", genericValue(6)}}, cmp));
}

// An undefined value ends the search without asking the comparison; objects decide
// before values.
TEST(restrictionFilter, ComparisonIsAskedOnlyWhereItDecides) {
    countingCompare counting;
    const restrictionFilter two({}, {{L"x", genericValue(1)}, {L"x", genericValue(2)}});
    EXPECT_FALSE(two.matchesFilter({{L"x", genericValue(zv::Undef{})}}, counting));
    EXPECT_EQ(counting.calls, 0);
    EXPECT_FALSE(two.matchesFilter({{L"x", genericValue(3)}}, counting));
    EXPECT_EQ(counting.calls, 2);

    const restrictionFilter f({objectInfo(L"A", g1)}, {{L"x", genericValue(5)}});
    const zv::filterValueStringCompare cmp;
    EXPECT_TRUE(
        f.matchesFilter(restrictionFilter({objectInfo(L"A", g1)}, {{L"x", genericValue(L"5")}}), cmp));
    EXPECT_FALSE(
        f.matchesFilter(restrictionFilter({objectInfo(L"A", g2)}, {{L"x", genericValue(L"5")}}), cmp));
    EXPECT_FALSE(f.matchesFilter(restrictionFilter({}, {{L"x", genericValue(L"6")}}), cmp));
    EXPECT_FALSE(
        f.matchesFilter(restrictionFilter({objectInfo(L"B", g1)}, {{L"x", genericValue(5)}}), counting));
    EXPECT_EQ(counting.calls, 2);
}

TEST(restrictionFilter, AddsAndRemovesValues) {
    // What, the value, by name only, added (or removed), and the values left.
    const std::tuple<const char*, restrictionFilter::filterValue, bool, bool, std::vector<std::wstring>>
        rows[] = {
            {"undefined add removes by name", {L"x", genericValue(zv::Undef{})}, false, true, {L"y=5"}},
            {"add appends", {L"x", genericValue(L"5")}, false, true, {L"x=5", L"y=5", L"x=7", L"x=5"}},
            {"remove by text", {L"x", genericValue(5.0)}, false, false, {L"y=5", L"x=7"}},
            {"remove by name", {L"x", genericValue(L"9")}, true, false, {L"y=5"}},
            {"remove undefined by name", {L"x", genericValue(zv::Undef{})}, false, false, {L"y=5"}},
            {"remove no match", {L"x", genericValue(L"9")}, false, false, {L"x=5", L"y=5", L"x=7"}},
            {"names are exact", {L"X", genericValue(5)}, true, false, {L"x=5", L"y=5", L"x=7"}},
        };
    for (const auto& [what, value, nameOnly, add, expected] : rows) {
        restrictionFilter f({},
                            {{L"x", genericValue(5)}, {L"y", genericValue(5)}, {L"x", genericValue(L"7")}});
        if (add)
            f.addFilterValue(value);
        else
            f.removeFilterValue(value, nameOnly);
        EXPECT_EQ(names(f), expected) << what;
    }
    const restrictionFilter f({}, {{L"x", genericValue(1)}});
    EXPECT_TRUE(f.containsAnyFilterValue(L"x"));
    EXPECT_FALSE(f.containsAnyFilterValue(L"X"));
}

TEST(restrictionFilter, FailedComparisonLeavesTheFilterUnchanged) {
    // A value bound to nothing has a type but no text: comparing it throws.
    genericValue unreadable(static_cast<int*>(nullptr));
    restrictionFilter f({}, {{L"x", genericValue(5)}, {L"x", unreadable}, {L"x", genericValue(5)}});
    EXPECT_THROW(f.removeFilterValue({L"x", genericValue(5)}, false), bool);
    EXPECT_EQ(std::distance(f.filterValuesBegin(), f.filterValuesEnd()), 3);
    EXPECT_THROW(zv::filterValueStringCompare()(L"x", unreadable, genericValue(5)), bool);
    // By name no text is needed.
    f.removeFilterValue({L"x", genericValue(5)}, true);
    EXPECT_EQ(f.filterValuesBegin(), f.filterValuesEnd());
}

namespace {

// Stores a filter as a table entry of its own.
struct filterRecord : zv::iDataConverter {
    explicit filterRecord(restrictionFilter& f) : filter(f) {}
    const wchar_t* className() const override { return L"Filter"; }
    void writeTo(zv::iDBOStream* os) const override { filter.writeTo(os); }
    void readFrom(zv::iDBIStream* is) override { filter.readFrom(is); }
    restrictionFilter& filter;
};

void readInto(restrictionFilter& f, zv::binaryBuffer& bytes) {
    zv::xmlDbReader reader(&bytes, zv::directory());
    filterRecord record(f);
    reader.read(record, 0);
}

} // namespace

TEST(restrictionFilter, WrittenAndReadBackAsTexts) {
    const restrictionFilter::valueList values = {{L"x", genericValue(5)},
                                                 {L"x", genericValue(L"7")},
                                                 {L"d", genericValue(2.5)},
                                                 {L"b", genericValue(true)},
                                                 {L"e", genericValue()}};
    restrictionFilter f({objectInfo(L"Tool", g1), objectInfo(L"Holder", g2)}, values);
    zv::binaryBuffer bytes;
    zv::xmlDbWriter(&bytes, zv::directory()).write(filterRecord(f), false);
    restrictionFilter back({objectInfo(L"Old", g3)}, {{L"old", genericValue(1)}});
    readInto(back, bytes);

    std::vector<std::wstring> objects;
    for (auto it = back.filterObjectsBegin(); it != back.filterObjectsEnd(); ++it)
        objects.push_back(it->typeName() + L":" + it->objectGuid().toString());
    EXPECT_EQ(objects, (std::vector<std::wstring>{L"tool:" + g1.toString(), L"holder:" + g2.toString()}));
    EXPECT_EQ(names(back), names(f));
    for (auto it = back.filterValuesBegin(); it != back.filterValuesEnd(); ++it)
        EXPECT_NE(it->second.valueIf<zv::string>(), nullptr) << std::wstring(it->first); // read back as texts
}

TEST(restrictionFilter, FailedReadLeavesTheFilterUnchanged) {
    // Reads a stored filter of `entry` and expects the error `expected` names.
    const auto failedRead = [](const std::string& entry, auto expected) {
        const std::string text =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><zvDatabase version=\"2\"><Filter_table>"
            "<Filter>" +
            entry + "</Filter></Filter_table></zvDatabase>";
        zv::binaryBuffer bytes;
        bytes.write(text.data(), static_cast<unsigned>(text.size()));
        restrictionFilter f({objectInfo(L"Old", g3)}, {{L"old", genericValue(1)}});
        EXPECT_THROW(readInto(f, bytes), typename decltype(expected)::type) << entry;
        EXPECT_TRUE(f.matchesFilter({objectInfo(L"Old", g3)})) << entry;
        EXPECT_EQ(names(f), std::vector<std::wstring>{L"old=1"}) << entry;
    };
    const zv::string id = g1.toString();
    failedRead("<rfilter type=\"A\">" + std::string(id.begin(), id.end()) +
                   "</rfilter><vfilter type=\"fvalue\"><name>x</name></vfilter>",
               std::type_identity<zv::attributeNotFoundException>());
    failedRead("<vfilter type=\"other\"><name>x</name><value>1</value></vfilter>",
               std::type_identity<zv::invalidAttributeType>());
}
