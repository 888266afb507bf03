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

namespace {

// What `value.get` leaves in a target that starts as `start`, checking its answer.
template <typename T>
T got(const genericValue& value, bool ok, T start = T{}) {
    EXPECT_EQ(value.get(start), ok) << typeid(T).name();
    return start;
}

} // namespace

TEST(genericValue, EmptyAndUndefinedValuesGiveNothing) {
    const genericValue empty, undef(zv::Undef{});
    EXPECT_TRUE(empty.isEmpty() && empty.type() == typeid(void) && empty.valueIf<int>() == nullptr);
    EXPECT_TRUE(!empty.isReference() && !empty.isUndefined() && undef.isUndefined());
    EXPECT_EQ(got(empty, false, 7), 7);
    EXPECT_EQ(got(empty, false, zv::string(L"keep")), L"keep");
    EXPECT_FALSE(genericValue(0).isUndefined() || genericValue(L"").isUndefined());
    EXPECT_EQ(got(undef, false, zv::string(L"keep")), L"keep"); // there is nothing to convert
    got<zv::Undef>(genericValue(undef), true);
}

TEST(genericValue, OwnedValueReadsAsOtherTypesAndSetConvertsIntoItsType) {
    const genericValue n(42);
    EXPECT_EQ(n.type(), typeid(int));
    EXPECT_EQ(got<zv::string>(n, true), L"42");
    EXPECT_EQ(got<double>(n, true), 42.0);
    EXPECT_EQ(got<bool>(n, true), true);
    EXPECT_EQ(got<short>(n, true), 42);
    got<unsigned short>(genericValue(70000), false); // saturating conversions report false
    EXPECT_EQ(got(genericValue(L"abc"), false, 5), 5);

    genericValue v(5);
    EXPECT_TRUE(v.set(zv::string(L"12")) && !v.set(zv::string(L"twelve")));
    EXPECT_TRUE(*v.valueIf<int>() == 12 && v.valueIf<double>() == nullptr);
    genericValue e;
    // An empty value takes the given type; wide text converts into the double.
    EXPECT_TRUE(e.set(2.5) && e.set(L"3,5"));
    EXPECT_EQ(*e.valueIf<double>(), 3.5);
}

TEST(genericValue, BoundValueReadsAndWritesTheVariableAndCopiesStayBound) {
    int width = 3;
    genericValue bound(&width);
    EXPECT_TRUE(bound.isReference() && bound.type() == typeid(int));
    width = 9;
    EXPECT_EQ(got<zv::string>(bound, true), L"9");
    EXPECT_TRUE(bound.set(zv::string(L"17")) && !bound.set(zv::string(L"x")));
    EXPECT_EQ(width, 17);
    genericValue copy = bound;
    EXPECT_TRUE(copy.set(21L));
    EXPECT_TRUE(width == 21 && copy.valueIf<int>() == &width);
}

TEST(genericValue, ValueBoundToNothingFailsBothWaysWithoutCrashing) {
    genericValue nowhere(static_cast<double*>(nullptr));
    EXPECT_TRUE(nowhere.isReference());
    EXPECT_EQ(got(nowhere, false, 1.0), 1.0);
    EXPECT_EQ(got(nowhere, false, zv::string(L"keep")), L"keep");
    EXPECT_FALSE(nowhere.set(2.0) || nowhere.set(zv::string(L"2")));
    EXPECT_FALSE(genericValue(2.0).holderPtr()->assignTo(*nowhere.holderPtr()));
}

TEST(genericValue, SingleCharacterConvertsThroughOneCharacterText) {
    const genericValue c(L'7');
    EXPECT_EQ(c.type(), typeid(wchar_t));
    EXPECT_EQ(got<zv::string>(c, true), L"7");
    EXPECT_EQ(got<int>(c, true), 7); // through the text "7"
    genericValue target(L'a');
    EXPECT_TRUE(target.set(zv::string(L"z")) && !target.set(zv::string(L"zz")) && !target.set(zv::string()));
    EXPECT_EQ(*target.valueIf<wchar_t>(), L'z');
}

TEST(genericValue, CopiesOfOwnedValuesAreIndependentAndMovesEmptyTheSource) {
    genericValue a(zv::string(L"one"));
    genericValue b = a;
    EXPECT_TRUE(b.set(zv::string(L"two")) && a.holderPtr() != b.holderPtr());
    const genericValue& self = a;
    a = self; // self-assignment keeps the value
    EXPECT_EQ(*a.valueIf<zv::string>(), L"one");

    const auto* holder = b.holderPtr();
    genericValue c(std::move(b)), d(1.5f);
    d.takeOver(c);
    d.takeOver(d);
    EXPECT_TRUE(b.isEmpty() && c.isEmpty() && d.holderPtr() == holder);
    d.swap(a);
    EXPECT_TRUE(*d.valueIf<zv::string>() == L"one" && *a.valueIf<zv::string>() == L"two");
}

// Holders convert into each other through the registry; there is no converter
// from text to the undefined value.
TEST(genericValue, HoldersConvertBetweenEachOtherInBothDirections) {
    genericValue text(L"8"), undef(zv::Undef{});
    EXPECT_TRUE(text.holderPtr()->assignFrom(*genericValue(true).holderPtr()) &&
                *text.valueIf<zv::string>() == L"1");
    EXPECT_TRUE(!undef.holderPtr()->assignFrom(*text.holderPtr()) && undef.isUndefined());
}

// Each library value type's own text is what the generic value produces and reads.
TEST(genericValue, LibraryValueTypesConvertThroughTheirText) {
    const auto throughText = [](const auto& value, auto other) {
        zv::string own;
        genericValue stored(other);
        return zv::dtconvert(own, value) && got<zv::string>(genericValue(value), true) == own &&
               stored.set(own) && *stored.template valueIf<decltype(other)>() == value;
    };
    const zv::date day(2024, 3, 1);
    const zv::time noon(12, 30, 15);
    EXPECT_TRUE(throughText(day, zv::date(2000, 1, 1)));
    EXPECT_TRUE(throughText(noon, zv::time(1, 0, 0)));
    const zv::timestamp stamp(day, noon);
    EXPECT_EQ(got<zv::string>(genericValue(stamp), true), stamp.toString());
    EXPECT_TRUE(throughText(zv::version(5, 6, 0, 0), zv::version(1, 2, 3, 4)));
    EXPECT_FALSE(genericValue(zv::version(1, 2, 3, 4)).set(zv::string(L"not a version")));
    EXPECT_NE(got<zv::string>(genericValue(zv::file(L"C:\\data\\part.txt")), true).find(L"part.txt"),
              zv::string::npos);
}
