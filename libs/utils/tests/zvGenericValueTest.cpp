#include "zvGenericValue.h"
#include "zvTestSupport.h"

#include "zvDate.h"
#include "zvFile.h"
#include "zvTime.h"
#include "zvTimeStamp.h"
#include "zvVersion.h"

#include <gtest/gtest.h>

#include <typeinfo>

using zv::genericValue;
using zvtest::gives;

TEST(genericValue, EmptyAndUndefinedValuesGiveNothing) {
    const genericValue empty;
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(empty.type(), typeid(void));
    EXPECT_FALSE(empty.isReference() || empty.isUndefined());
    int i = 7;
    zv::string s = L"keep";
    EXPECT_TRUE(gives(empty.get(i), i, false, 7));
    EXPECT_TRUE(gives(empty.get(s), s, false, L"keep"));
    EXPECT_EQ(empty.valueIf<int>(), nullptr);

    const genericValue undef(zv::Undef{});
    EXPECT_TRUE(undef.isUndefined());
    EXPECT_FALSE(genericValue(0).isUndefined() || genericValue(L"").isUndefined());
    EXPECT_TRUE(gives(undef.get(s), s, false, L"keep")); // there is nothing to convert
    zv::Undef u;
    EXPECT_TRUE(genericValue(undef).get(u));
}

TEST(genericValue, OwnedValueReadsAsOtherTypesAndSetConvertsIntoItsType) {
    const genericValue n(42);
    EXPECT_EQ(n.type(), typeid(int));
    zv::string text;
    double d = 0;
    bool b = false;
    short sh = 0;
    EXPECT_TRUE(gives(n.get(text), text, true, L"42"));
    EXPECT_TRUE(gives(n.get(d), d, true, 42.0));
    EXPECT_TRUE(gives(n.get(b), b, true, true));
    EXPECT_TRUE(gives(n.get(sh), sh, true, 42));
    unsigned short us = 0;
    EXPECT_FALSE(genericValue(70000).get(us)); // saturating conversions report false
    int i = 5;
    EXPECT_TRUE(gives(genericValue(L"abc").get(i), i, false, 5));

    genericValue v(5);
    EXPECT_TRUE(v.set(zv::string(L"12")));
    EXPECT_EQ(*v.valueIf<int>(), 12);
    EXPECT_FALSE(v.set(zv::string(L"twelve")));
    EXPECT_EQ(*v.valueIf<int>(), 12);
    EXPECT_EQ(v.valueIf<double>(), nullptr);
    genericValue e;
    EXPECT_TRUE(e.set(2.5)); // an empty value takes the given type
    EXPECT_EQ(e.type(), typeid(double));
    EXPECT_TRUE(e.set(L"3,5")); // wide text converts into the double
    EXPECT_EQ(*e.valueIf<double>(), 3.5);
}

TEST(genericValue, BoundValueReadsAndWritesTheVariableAndCopiesStayBound) {
    int width = 3;
    genericValue bound(&width);
    EXPECT_TRUE(bound.isReference());
    EXPECT_EQ(bound.type(), typeid(int));
    width = 9;
    zv::string text;
    EXPECT_TRUE(gives(bound.get(text), text, true, L"9"));
    EXPECT_TRUE(bound.set(zv::string(L"17")));
    EXPECT_FALSE(bound.set(zv::string(L"x")));
    EXPECT_EQ(width, 17);
    genericValue copy = bound;
    EXPECT_TRUE(copy.set(21L));
    EXPECT_EQ(width, 21);
    EXPECT_EQ(copy.valueIf<int>(), &width);
}

TEST(genericValue, ValueBoundToNothingFailsBothWaysWithoutCrashing) {
    genericValue nowhere(static_cast<double*>(nullptr));
    EXPECT_TRUE(nowhere.isReference());
    double d = 1.0;
    zv::string s = L"keep";
    EXPECT_TRUE(gives(nowhere.get(d), d, false, 1.0));
    EXPECT_TRUE(gives(nowhere.get(s), s, false, L"keep"));
    EXPECT_FALSE(nowhere.set(2.0));
    EXPECT_FALSE(nowhere.set(zv::string(L"2")));
    EXPECT_FALSE(genericValue(2.0).holderPtr()->assignTo(*nowhere.holderPtr()));
}

TEST(genericValue, SingleCharacterConvertsThroughOneCharacterText) {
    const genericValue c(L'7');
    EXPECT_EQ(c.type(), typeid(wchar_t));
    zv::string s;
    EXPECT_TRUE(gives(c.get(s), s, true, L"7"));
    int i = 0;
    EXPECT_TRUE(gives(c.get(i), i, true, 7)); // through the text "7"
    genericValue target(L'a');
    EXPECT_TRUE(target.set(zv::string(L"z")));
    EXPECT_FALSE(target.set(zv::string(L"zz")));
    EXPECT_FALSE(target.set(zv::string()));
    EXPECT_EQ(*target.valueIf<wchar_t>(), L'z');
}

TEST(genericValue, CopiesOfOwnedValuesAreIndependentAndMovesEmptyTheSource) {
    genericValue a(zv::string(L"one"));
    genericValue b = a;
    EXPECT_TRUE(b.set(zv::string(L"two")));
    EXPECT_NE(a.holderPtr(), b.holderPtr());
    const genericValue& self = a;
    a = self; // self-assignment keeps the value
    EXPECT_EQ(*a.valueIf<zv::string>(), L"one");

    const auto* holder = b.holderPtr();
    genericValue c(std::move(b));
    EXPECT_TRUE(b.isEmpty());
    genericValue d(1.5f);
    d.takeOver(c);
    d.takeOver(d);
    EXPECT_TRUE(c.isEmpty());
    EXPECT_EQ(d.holderPtr(), holder);
    d.swap(a);
    EXPECT_EQ(*d.valueIf<zv::string>(), L"one");
    EXPECT_EQ(*a.valueIf<zv::string>(), L"two");
}

// Holders convert into each other through the registry; there is no converter
// from text to the undefined value.
TEST(genericValue, HoldersConvertBetweenEachOtherInBothDirections) {
    genericValue text(L"8"), undef(zv::Undef{});
    EXPECT_TRUE(text.holderPtr()->assignFrom(*genericValue(true).holderPtr()));
    EXPECT_EQ(*text.valueIf<zv::string>(), L"1");
    EXPECT_FALSE(undef.holderPtr()->assignFrom(*text.holderPtr()));
    EXPECT_TRUE(undef.isUndefined());
}

// Each library value type's own text is what the generic value produces and reads.
TEST(genericValue, LibraryValueTypesConvertThroughTheirText) {
    const zv::date day(2024, 3, 1);
    zv::string dayText, text;
    ASSERT_TRUE(zv::dtconvert(dayText, day));
    EXPECT_TRUE(gives(genericValue(day).get(text), text, true, dayText));
    genericValue storedDay(zv::date(2000, 1, 1));
    EXPECT_TRUE(storedDay.set(dayText));
    EXPECT_TRUE(*storedDay.valueIf<zv::date>() == day);
    EXPECT_FALSE(genericValue(day).isUndefined());

    const zv::time noon(12, 30, 15);
    genericValue storedTime(zv::time(1, 0, 0));
    ASSERT_TRUE(genericValue(noon).get(text));
    EXPECT_TRUE(storedTime.set(text));
    EXPECT_TRUE(*storedTime.valueIf<zv::time>() == noon);
    const zv::timestamp stamp(day, noon);
    EXPECT_TRUE(gives(genericValue(stamp).get(text), text, true, stamp.toString()));

    zv::version v(1, 2, 3, 4);
    genericValue boundVersion(&v);
    EXPECT_TRUE(boundVersion.set(zv::string(L"5.6")));
    EXPECT_FALSE(boundVersion.set(zv::string(L"not a version")));
    EXPECT_TRUE(v == zv::version(5, 6, 0, 0));

    EXPECT_TRUE(genericValue(zv::file(L"C:\\data\\part.txt")).get(text));
    EXPECT_NE(text.find(L"part.txt"), zv::string::npos) << std::wstring(text.c_str());
}
