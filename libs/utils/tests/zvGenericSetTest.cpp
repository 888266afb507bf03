#include "zvGenericSet.h"

#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <typeinfo>
#include <vector>

using zv::genericSet;
using zv::genericValue;
using zv::scString;

namespace {

scString key(const wchar_t* name) {
    return scString::createFrom(name);
}

int intOf(const genericSet& set, const wchar_t* name) {
    int v = -1;
    EXPECT_TRUE(set.genericValue(key(name))->get(v)) << name;
    return v;
}

} // namespace

TEST(genericSet, SetGenericValueFollowsTheStoreRules) {
    genericSet set;
    const scString n = key(L"n");
    const auto type = [&] { return std::string(set.genericValue(n)->type().name()); };
    // Each step: the value, replace, the expected answer, and the type and int value left.
    const std::tuple<genericValue, bool, bool, const std::type_info*, int> steps[] = {
        {genericValue(5), false, true, &typeid(int), 5},            // an absent key is added
        {genericValue(L"12"), false, true, &typeid(int), 12},       // without replace: converted
        {genericValue(L"twelve"), false, false, &typeid(int), 12},  // a failing conversion changes nothing
        {genericValue(), false, false, &typeid(int), 12},           // nor does an empty value
        {genericValue(L"13"), true, true, &typeid(zv::string), 13}, // with replace: the given type
        {genericValue(), true, true, &typeid(void), -1},            // ... or empty
        {genericValue(4.0), false, true, &typeid(double), 4},       // an empty entry takes whatever comes
    };
    for (const auto& [value, replace, answer, wantType, left] : steps) {
        EXPECT_EQ(set.setGenericValue(n, value, replace), answer) << type();
        EXPECT_EQ(type(), wantType->name());
        EXPECT_EQ(set.genericValue(n)->isEmpty() ? -1 : intOf(set, L"n"), left);
    }
    // The stored value itself: nothing happens; the set holds a copy, not the given value.
    EXPECT_TRUE(set.setGenericValue(n, *set.genericValue(n), false) &&
                set.setGenericValue(n, *set.genericValue(n), true));
    EXPECT_EQ(type(), typeid(double).name());
    genericValue five(5);
    EXPECT_TRUE(set.setGenericValue(key(L"five"), five, false));
    EXPECT_NE(set.genericValue(key(L"five"))->holderPtr(), five.holderPtr());
    // An empty value under a new key makes an empty entry; keys are case-sensitive.
    EXPECT_TRUE(set.setGenericValue(key(L"nothing"), genericValue(), false) &&
                set.genericValue(key(L"nothing"))->isEmpty());
    EXPECT_TRUE(set.setGenericValue(key(L"N"), genericValue(1), false));
    EXPECT_TRUE(set.size() == 4u && set.genericValue(key(L"FIVE")) == nullptr);
}

// Copies of bound entries write through to the variable; copies of owned ones are independent.
TEST(genericSet, CopiesKeepBoundEntriesBoundAndOwnedOnesApartAndEqualityIsIdentity) {
    int count = 1;
    zv::string name = L"first";
    genericSet set;
    set.setGenericValue(key(L"count"), genericValue(&count), false);
    set.setGenericValue(key(L"name"), genericValue(&name), false);
    set.setGenericValue(key(L"a"), genericValue(1), false);
    EXPECT_TRUE(set.setGenericValue(key(L"count"), genericValue(L"40"), false) && count == 40);
    genericSet copy(set), assigned;
    assigned = set;
    EXPECT_TRUE(copy.setGenericValue(key(L"count"), genericValue(41), false) && count == 41);
    EXPECT_TRUE(assigned.setGenericValue(key(L"name"), genericValue(7), false) && name == L"7");
    copy.setGenericValue(key(L"a"), genericValue(2), false);
    copy.setGenericValue(key(L"b"), genericValue(3), false);
    EXPECT_TRUE(intOf(set, L"a") == 1 && set.size() == 3u);
    EXPECT_TRUE(set == set && !(genericSet(set) == set));

    // Replacing a bound entry unbinds it; the variable keeps its last value.
    EXPECT_TRUE(copy.setGenericValue(key(L"count"), genericValue(99), true) && count == 41);
    EXPECT_TRUE(!copy.genericValue(key(L"count"))->isReference() &&
                set.genericValue(key(L"count"))->isReference());
    const genericSet& self = copy;
    copy = self;
    EXPECT_TRUE(copy.size() == 4u && intOf(copy, L"a") == 2);
    copy = set;
    EXPECT_TRUE(copy.size() == 3u && intOf(copy, L"a") == 1);
}

TEST(genericSet, TakeOverMovesTheHolderAndDestroysTheStoredOne) {
    genericSet set;
    int bound = 0;
    set.setGenericValue(key(L"t"), genericValue(&bound), false);
    for (genericValue given : {genericValue(L"moved"), genericValue(3)}) {
        const wchar_t* name = given.type() == typeid(int) ? L"new" : L"t";
        const auto* holder = given.holderPtr();
        EXPECT_TRUE(set.takeOverGenericValue(key(name), given) && given.isEmpty());
        EXPECT_EQ(set.genericValue(key(name))->holderPtr(), holder);
    }
    EXPECT_EQ(set.genericValue(key(L"t"))->type(), typeid(zv::string));
    // Taking over the stored value itself keeps it.
    EXPECT_TRUE(set.takeOverGenericValue(key(L"new"), *set.genericValue(key(L"new"))));
    EXPECT_EQ(intOf(set, L"new"), 3);
    genericValue empty;
    EXPECT_TRUE(set.takeOverGenericValue(key(L"new"), empty));
    EXPECT_TRUE(set.genericValue(key(L"new"))->isEmpty());
}

// The iterators wrap the map's; what they add is the step backwards from the end,
// the const iterator made from a plain one, and at(index) in iteration order.
TEST(genericSet, IteratorsWalkBothWaysAtRejectsIndicesPastTheEndAndEraseRemoves) {
    genericSet set;
    const genericSet& constSet = set;
    EXPECT_EQ(set.begin(), set.end());
    for (const wchar_t* n : {L"alpha", L"beta", L"gamma", L"delta"})
        set.setGenericValue(key(n), genericValue(n), false);
    std::vector<const genericSet::value_type*> ahead, back;
    for (auto it = set.begin(); it != set.end(); it++) {
        EXPECT_TRUE(&set.at(static_cast<unsigned>(ahead.size())) == &*it &&
                    &constSet.at(static_cast<unsigned>(ahead.size())) == &*it);
        ahead.push_back(&*it);
    }
    for (auto it = set.end(); it != set.begin();)
        back.push_back(&*--it);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, ahead);
    EXPECT_EQ(ahead.size(), 4u);
    genericSet::iterator it = set.begin();
    it->second.set(zv::string(L"changed"));
    genericSet::const_iterator cit = it;
    EXPECT_EQ(*cit->second.valueIf<zv::string>(), L"changed");
    zvtest::assertCapture capture;
    EXPECT_THROW(set.at(4), bool);
    EXPECT_THROW(constSet.at(100), bool);
    ASSERT_EQ(capture.messages().size(), 2u);
    EXPECT_NE(capture.messages()[0].find(L"Assertion failed:"), std::wstring::npos);
    set.erase(key(L"missing"));
    set.erase(key(L"alpha"));
    EXPECT_TRUE(set.genericValue(key(L"alpha")) == nullptr && set.size() == 3u);
}
