#include "zvCondition.h"

#include "zvException.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace zv::conditions;
using zv::genericValue;

namespace {

enum eOutcome { parsed, isNull, formatError, datatypeError };

struct parseResult {
    eOutcome outcome;
    std::unique_ptr<condition> c;
    zv::string message;
};

parseResult parseText(const zv::string& text) {
    try {
        std::unique_ptr<condition> c(condition::parse(text));
        return {c ? parsed : isNull, std::move(c), {}};
    } catch (const zv::unexpectedErrorException& e) {
        const zv::string message = e.text();
        const bool format = message.find(L"condition::parse: invalid condition-format") != zv::string::npos;
        return {format ? formatError : datatypeError, nullptr, message};
    }
}

std::string narrow(const zv::string& text) {
    return std::string(text.begin(), text.end());
}

// Parses `text`, which must give a condition.
std::unique_ptr<condition> must(const zv::string& text) {
    parseResult r = parseText(text);
    EXPECT_EQ(r.outcome, parsed) << narrow(text) << " " << narrow(r.message);
    return std::move(r.c);
}

} // namespace

TEST(condition, TypedTestsOnValuesOfTheirOwnAndOtherTypes) {
    const std::tuple<const wchar_t*, genericValue, bool> rows[] = {
        {L"isbigger<int>(\"5\")", genericValue(7), true},
        {L"isbigger<int>(\"5\")", genericValue(L"7"), true}, // converted
        {L"isbigger<int>(\"5\")", genericValue(5), false},
        {L"isbigger<int>(\"5\")", genericValue(), false},
        {L"isbigger<int>(\"5\")", genericValue(L"seven"), false},
        {L"biggerorequal<short>(\"5\")", genericValue(5), true},
        {L"issmaller<double>(\"0.5\")", genericValue(0.25), true},
        {L"smallerorequal<uint>(\"3\")", genericValue(4u), false},
        {L"==<string>(\"abc\")", genericValue(L"abc"), true},
        {L"equal<string>(\"abc\")", genericValue(L"ABC"), false}, // case counts
        {L"isequal<float>(\"0.1\")", genericValue(0.1f), true},
        {L"isequal<double>(\"0.1\")", genericValue(0.1f), false}, // exact, no tolerance
        {L"!=<int>(\"5\")", genericValue(5), false},              // the negation of ==
        {L"isnotequal<int>(\"5\")", genericValue(), false},       // an empty value fails every typed test
        {L"isequal<bool>(\"true\")", genericValue(true), true},
        {L"isbigger<bool>(\"0\")", genericValue(true), true}, // bool orders as 0 and 1
        {L"isin<ulong>(\"1\",\"-1\")", genericValue(std::numeric_limits<unsigned long>::max()), true},
        {L"in<long>(\"-3\",\"2\")", genericValue(L"-3"), true},
        {L"isin<double>(\"1\",\"2\")", genericValue(std::numeric_limits<double>::quiet_NaN()), false},
        {L"isequal<double>(\"nan\")", genericValue(std::numeric_limits<double>::quiet_NaN()), false},
        {L"isnotequal<double>(\"1\")", genericValue(std::numeric_limits<double>::quiet_NaN()), true},
        {L"issmaller<string>(\"b\")", genericValue(L"a\xFFFF"), true}, // ordinal
        {L"not(any())", genericValue(1), false},
        {L"and(any(), isin<string>(\"a\",\"b\",))", genericValue(L"b"), true}, // trailing comma
        {L"or(isequal<int>(\"1\"), isequal<int>(\"2\"), isequal<int>(\"3\"))", genericValue(3), true},
        {L"equal<string>(\"say \\\"hi\\\"\")", genericValue(L"say \"hi\""), true},
        {L"equal<string>(\"a\\\\b\\\\\\\"\")", genericValue(L"a\\\\b\\\\\""), true}, // lone backslashes stay
        {L"equal<string>(\"\")", genericValue(L""), true},
    };
    for (const auto& [text, value, expected] : rows) {
        const auto c = must(text);
        EXPECT_EQ(c && c->isTrueGeneric(value), expected) << narrow(text);
    }
}

TEST(condition, ParseOutcomesOfMalformedAndUnconvertibleTexts) {
    const std::pair<eOutcome, std::vector<const wchar_t*>> groups[] = {
        {formatError,
         {L"", L"any", L"any(any()", L"isbigger<int", L"isbigger<int(\"1\")", L"isbigger<int>(\"1)",
          L"isbigger<int>(\"1\\\")", L"isbigger<int>(\"1\" \"2\")", L"isbigger<int>(\"1\",\"2\")",
          L"isbigger<int>()"}},
        {formatError,
         {L"isin<int>()", L"isin<int>(\"1\",\"x\")", L"isin<double>(\"1\",\"nan\")", L"isbigger<int>(any())",
          L"and(\"1\",any())", L"and(any())", L"not()", L"not(any(),any())", L"xor(any(),any())",
          L"isbetween<int>(\"1\")", L"and(any(),isbigger<int>(\"x\"),"}},
        {isNull,
         {L"isbigger<int>(\"x\")", L"isbigger<int>(\"70000000000000000000\")", L"isin<double>(\"NaN\")",
          L"isbigger<qword>(\"1\")", L"and(any(),not(isbigger<int>(\"x\")))", L"any(isbigger<int>(\"x\"))"}},
        {datatypeError, {L"isin<qword>(\"1\")", L"and(any(),in<Qword>(\"1\"))"}},
        {parsed,
         {L"any(any(), any())", L" \t and ( any ( ) , not ( any ( ) ) ) trailing text",
          L"IsBigger < INT > ( \"5\" )"}},
    };
    for (const auto& [outcome, texts] : groups)
        for (const wchar_t* text : texts)
            EXPECT_EQ(parseText(text).outcome, outcome) << narrow(text);
    EXPECT_NE(
        parseText(L"and(any(),in<Qword>(\"1\"))").message.find(L"condition::parse: invalid datatype Qword"),
        zv::string::npos);
}

TEST(condition, DeepNestingIsAFormatErrorNotAStackOverflow) {
    const auto nested = [](unsigned depth) {
        zv::string text;
        for (unsigned i = 1; i < depth; ++i)
            text += L"not(";
        text += L"any()";
        text.append(depth - 1, L')');
        return text;
    };
    EXPECT_EQ(parseText(nested(condition::maxDepth)).outcome, parsed);
    EXPECT_EQ(parseText(nested(condition::maxDepth + 1)).outcome, formatError);
    EXPECT_EQ(parseText(nested(100000)).outcome, formatError);
    // An unclosed run fails as early.
    zv::string open;
    for (int i = 0; i < 100000; ++i)
        open += L"and(";
    EXPECT_EQ(parseText(open).outcome, formatError);
}

// Escapes and extreme numbers survive the normal form; the plain shapes are left
// to the condition fuzz target, which reads every normal form back.
TEST(condition, NamesAndDatatypesIgnoreCaseAndTheNormalFormReadsBack) {
    const genericValue probes[] = {genericValue(),
                                   genericValue(5),
                                   genericValue(L"q\"\\\""),
                                   genericValue(0.1),
                                   genericValue(std::numeric_limits<unsigned long>::max()),
                                   genericValue(-7)};
    for (const wchar_t* t :
         {L"isin<ulong>(\"-1\",\"0\")", L"equal<string>(\"q\\\"\\\\\\\"\")",
          L"issmallerorequal<short>(\" -7xyz\")", L"isin<float>(\"-3.4028234e38\",\"1e-45\",\"0.1\")",
          L"isin<double>(\"inf\",\"-inf\",\"4.9e-324\",\"0.1\")"}) {
        const auto c = must(t);
        ASSERT_TRUE(c);
        const auto again = must(c->text());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->text(), c->text());
        for (const genericValue& v : probes)
            EXPECT_EQ(again->isTrueGeneric(v), c->isTrueGeneric(v)) << narrow(c->text());
    }
    EXPECT_EQ(must(L"IsBigger<INT>(\"5\")")->text(), L"isbigger<int>(\"5\")");
    EXPECT_EQ(must(L"isin<string>(\"b\",\"a\",\"a\")")->text(), L"isin<string>(\"a\",\"b\")");
    EXPECT_EQ(must(L"==<double>(\"0.1\")")->text(), L"isequal<double>(\"0.1\")");
    EXPECT_EQ(must(L"any(any(),any())")->text(), L"any()");
    EXPECT_EQ(must(L"equal<string>(\"say \\\"hi\\\"\")")->text(), L"isequal<string>(\"say \\\"hi\\\"\")");
}

TEST(condition, LogicalConditionsOwnClonesAndShortCircuit) {
    // A probe that counts its evaluations.
    struct counting final : condition {
        counting(bool r, int* n) : result(r), calls(n) {}
        bool isTrueGeneric(const genericValue&) const override { return ++*calls, result; }
        condition* clone() const override { return new counting(*this); }
        void appendText(zv::string& out) const override { out += L"any()"; }
        bool result;
        int* calls;
    };
    int calls = 0;
    const counting yes(true, &calls), no(false, &calls);
    const genericValue v(1);

    EXPECT_TRUE(and().isTrueGeneric(v));
    EXPECT_FALSE(or ().isTrueGeneric(v));
    EXPECT_FALSE(and(no, yes, &yes, nullptr).isTrueGeneric(v));
    EXPECT_TRUE(or (no, yes, &no).isTrueGeneric(v));
    EXPECT_EQ(calls, 1 + 2);
    EXPECT_EQ(and(yes, yes, &no, nullptr, &no).count(), 3u); // stops at the null

    and a(bigger<int>(1), smaller<int>(10));
    const notequal<int> five(5);
    a.appendCondition(&five).appendCondition(nullptr);
    EXPECT_TRUE(a.isTrueGeneric(genericValue(4)));
    EXPECT_NE(&a.at(2), &five); // a clone

    // Copies and assignment are deep; assignment to itself keeps the list.
    and b{any(), any()};
    b = a;
    b = b;
    a = and(any(), any());
    EXPECT_EQ(b.text(), L"and(isbigger<int>(\"1\"),issmaller<int>(\"10\"),isnotequal<int>(\"5\"))");
    EXPECT_FALSE(b.isTrueGeneric(genericValue(5)));
    const std::unique_ptr<condition> copy(b.clone());
    EXPECT_EQ(copy->text(), b.text());

    not n(b);
    not m{any()};
    m = n;
    EXPECT_TRUE(m.isTrueGeneric(genericValue(5)));
    EXPECT_EQ(m.text(), L"not(" + b.text() + L")");

    in<double> set(std::numeric_limits<double>::quiet_NaN()); // NaN is never an element
    EXPECT_FALSE(set.insert(std::numeric_limits<double>::quiet_NaN()) || !set.operands().empty());
    EXPECT_TRUE(set.insert(2.0) && set.isTrue(2.0) && !set.isTrue(1.0));
}
