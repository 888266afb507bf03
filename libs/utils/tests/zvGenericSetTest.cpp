#include "zvGenericSet.h"

#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
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

    // Absent key: added with a copy.
    genericValue five(5);
    EXPECT_TRUE(set.setGenericValue(n, five, false));
    EXPECT_EQ(set.size(), 1u);
    EXPECT_NE(set.genericValue(n)->holderPtr(), five.holderPtr());

    // The stored value itself: nothing happens.
    EXPECT_TRUE(set.setGenericValue(n, *set.genericValue(n), false));
    EXPECT_TRUE(set.setGenericValue(n, *set.genericValue(n), true));
    EXPECT_EQ(intOf(set, L"n"), 5);

    // Without replace the entry keeps its type and converts.
    EXPECT_TRUE(set.setGenericValue(n, genericValue(L"12"), false));
    EXPECT_EQ(set.genericValue(n)->type(), typeid(int));
    EXPECT_EQ(intOf(set, L"n"), 12);

    // A failing conversion changes nothing.
    EXPECT_FALSE(set.setGenericValue(n, genericValue(L"twelve"), false));
    EXPECT_EQ(intOf(set, L"n"), 12);

    // An empty value does not overwrite without replace.
    EXPECT_FALSE(set.setGenericValue(n, genericValue(), false));
    EXPECT_EQ(intOf(set, L"n"), 12);

    // With replace the entry takes the given type.
    EXPECT_TRUE(set.setGenericValue(n, genericValue(L"12"), true));
    EXPECT_EQ(set.genericValue(n)->type(), typeid(zv::string));

    // ... or becomes empty.
    EXPECT_TRUE(set.setGenericValue(n, genericValue(), true));
    EXPECT_TRUE(set.genericValue(n)->isEmpty());

    // An empty entry takes whatever comes, even without replace.
    EXPECT_TRUE(set.setGenericValue(n, genericValue(2.5), false));
    EXPECT_EQ(set.genericValue(n)->type(), typeid(double));

    // An empty value under a new key makes an empty entry.
    EXPECT_TRUE(set.setGenericValue(key(L"nothing"), genericValue(), false));
    ASSERT_NE(set.genericValue(key(L"nothing")), nullptr);
    EXPECT_TRUE(set.genericValue(key(L"nothing"))->isEmpty());
    EXPECT_EQ(set.size(), 2u);
}

TEST(genericSet, BoundEntriesWriteThroughAndCopiesStayBound) {
    int count = 1;
    zv::string name = L"first";
    genericSet set;
    set.setGenericValue(key(L"count"), genericValue(&count), false);
    set.setGenericValue(key(L"name"), genericValue(&name), false);

    EXPECT_TRUE(set.setGenericValue(key(L"count"), genericValue(L"40"), false));
    EXPECT_EQ(count, 40);

    genericSet copy(set);
    genericSet assigned;
    assigned = set;
    EXPECT_TRUE(copy.setGenericValue(key(L"count"), genericValue(41), false));
    EXPECT_EQ(count, 41);
    EXPECT_TRUE(assigned.setGenericValue(key(L"name"), genericValue(7), false));
    EXPECT_EQ(name, L"7");

    // Replacing a bound entry unbinds it; the variable keeps its last value.
    EXPECT_TRUE(copy.setGenericValue(key(L"count"), genericValue(99), true));
    EXPECT_EQ(count, 41);
    EXPECT_FALSE(copy.genericValue(key(L"count"))->isReference());
    EXPECT_TRUE(set.genericValue(key(L"count"))->isReference());
}

TEST(genericSet, CopiesOfOwnedEntriesAreIndependentAndSelfAssignmentKeepsThem) {
    genericSet set;
    set.setGenericValue(key(L"a"), genericValue(1), false);
    genericSet copy(set);
    copy.setGenericValue(key(L"a"), genericValue(2), false);
    copy.setGenericValue(key(L"b"), genericValue(3), false);
    EXPECT_EQ(intOf(set, L"a"), 1);
    EXPECT_EQ(set.size(), 1u);

    const genericSet& self = copy;
    copy = self;
    EXPECT_EQ(copy.size(), 2u);
    EXPECT_EQ(intOf(copy, L"a"), 2);

    copy = set;
    EXPECT_EQ(copy.size(), 1u);
    EXPECT_EQ(intOf(copy, L"a"), 1);
}

TEST(genericSet, KeysAreCaseSensitive) {
    genericSet set;
    set.setGenericValue(key(L"Name"), genericValue(1), false);
    set.setGenericValue(key(L"name"), genericValue(2), false);
    EXPECT_EQ(set.size(), 2u);
    EXPECT_EQ(intOf(set, L"Name"), 1);
    EXPECT_EQ(intOf(set, L"name"), 2);
    EXPECT_EQ(set.genericValue(key(L"NAME")), nullptr);
}

TEST(genericSet, TakeOverMovesTheHolderAndDestroysTheStoredOne) {
    genericSet set;
    int bound = 0;
    set.setGenericValue(key(L"t"), genericValue(&bound), false);

    genericValue text(L"moved");
    const auto* holder = text.holderPtr();
    EXPECT_TRUE(set.takeOverGenericValue(key(L"t"), text));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(set.genericValue(key(L"t"))->holderPtr(), holder);
    EXPECT_EQ(set.genericValue(key(L"t"))->type(), typeid(zv::string));

    genericValue fresh(3);
    holder = fresh.holderPtr();
    EXPECT_TRUE(set.takeOverGenericValue(key(L"new"), fresh));
    EXPECT_TRUE(fresh.isEmpty());
    EXPECT_EQ(set.genericValue(key(L"new"))->holderPtr(), holder);

    // Taking over the stored value itself keeps it.
    EXPECT_TRUE(set.takeOverGenericValue(key(L"new"), *set.genericValue(key(L"new"))));
    EXPECT_EQ(intOf(set, L"new"), 3);

    genericValue empty;
    EXPECT_TRUE(set.takeOverGenericValue(key(L"new"), empty));
    EXPECT_TRUE(set.genericValue(key(L"new"))->isEmpty());
}

TEST(genericSet, AtStepsInIterationOrderAndRejectsIndicesPastTheEnd) {
    genericSet set;
    const genericSet& constSet = set;
    for (int i = 0; i < 5; ++i)
        set.setGenericValue(scString::createFrom(zv::string::sformat(L"k%d", i)), genericValue(i), false);

    unsigned int index = 0;
    for (auto it = set.begin(); it != set.end(); ++it, ++index) {
        EXPECT_EQ(&set.at(index), &*it);
        EXPECT_EQ(&constSet.at(index), &*it);
    }

    zvtest::assertCapture capture;
    EXPECT_THROW(set.at(5), bool);
    EXPECT_THROW(constSet.at(100), bool);
    try {
        genericSet().at(0);
        ADD_FAILURE() << "no throw";
    } catch (bool value) {
        EXPECT_FALSE(value);
    }
    ASSERT_EQ(capture.messages().size(), 3u);
    EXPECT_NE(capture.messages()[0].find(L"Assertion failed:"), std::wstring::npos);
}

TEST(genericSet, IteratorsVisitEveryEntryOnceInBothDirections) {
    genericSet set;
    EXPECT_EQ(set.begin(), set.end());
    const wchar_t* names[] = {L"alpha", L"beta", L"gamma", L"delta"};
    for (const wchar_t* n : names)
        set.setGenericValue(key(n), genericValue(n), false);

    std::set<std::wstring> forward;
    for (const auto& entry : set)
        forward.insert(entry.first.c_str());
    EXPECT_EQ(forward.size(), 4u);

    // Backwards with postfix steps meets the same entries in reverse.
    std::vector<const genericSet::value_type*> ahead;
    for (auto it = set.begin(); it != set.end(); it++)
        ahead.push_back(&*it);
    std::vector<const genericSet::value_type*> back;
    for (auto it = set.end(); it != set.begin();)
        back.push_back(&*--it);
    ASSERT_EQ(back.size(), ahead.size());
    EXPECT_TRUE(std::equal(ahead.begin(), ahead.end(), back.rbegin()));

    // Writing through a plain iterator; reading through a const one made from it.
    genericSet::iterator it = set.begin();
    it->second.set(zv::string(L"changed"));
    genericSet::const_iterator cit = it;
    EXPECT_EQ(cit, set.begin());
    EXPECT_EQ(*cit->second.valueIf<zv::string>(), L"changed");
    auto old = cit++;
    EXPECT_EQ(old, genericSet::const_iterator(set.begin()));
    --cit;
    EXPECT_EQ(cit, old);

    EXPECT_EQ(genericSet::iterator(), genericSet::iterator());
    EXPECT_EQ(genericSet::const_iterator(), genericSet::const_iterator());
}

TEST(genericSet, EqualityIsIdentity) {
    genericSet a;
    genericSet b;
    a.setGenericValue(key(L"x"), genericValue(1), false);
    b.setGenericValue(key(L"x"), genericValue(1), false);
    EXPECT_TRUE(a == a);
    EXPECT_FALSE(a == b);
    EXPECT_FALSE(genericSet(a) == a);
}

TEST(genericSet, EraseAndClearRemoveEntries) {
    genericSet set;
    set.setGenericValue(key(L"a"), genericValue(1), false);
    set.setGenericValue(key(L"b"), genericValue(2), false);
    set.erase(key(L"missing"));
    EXPECT_EQ(set.size(), 2u);
    set.erase(key(L"a"));
    EXPECT_EQ(set.genericValue(key(L"a")), nullptr);
    EXPECT_EQ(set.size(), 1u);
    set.clear();
    EXPECT_EQ(set.size(), 0u);
    EXPECT_EQ(set.begin(), set.end());
    EXPECT_TRUE(set.setGenericValue(key(L"a"), genericValue(3), false));
    EXPECT_EQ(intOf(set, L"a"), 3);
}
