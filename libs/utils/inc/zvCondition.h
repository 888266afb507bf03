// zvCondition.h - predicates on one generic value, built in code or parsed
// from a compact text form.
//
// A typed condition takes the value as one of ten types (bool, short, int,
// long, unsigned short/int/long, float, double, zv::string) and compares it
// with a stored operand or looks it up in a set of operands. A logical
// condition combines others. Every condition owns what it holds; whatever
// receives a condition to keep stores a clone, so the caller keeps its own.
//
//     using namespace zv::conditions;
//     std::unique_ptr<condition> c(condition::parse(
//         L"and(isbigger<int>(\"5\"), not(isin<string>(\"7\", \"9\")))"));
//     c->isTrueGeneric(zv::genericValue(8));           // true
//     c->isTrueGeneric(zv::genericValue(L"7"));        // false ("7" is 7 > 5, but in the set)
//     c->text();                                       // the normal form, parses to the same
//
//     const notequal<int> notFive(5);
//     and inRange(bigger<int>(1), smaller<int>(10), &notFive, nullptr);  // 1 < v < 10, v != 5
//
// The text form, read by `condition::parse`:
//
//     condition := NAME [ "<" DATATYPE ">" ] "(" [ argument { "," argument } ] [ "," ] ")"
//     argument  := condition (untyped only) | '"' operand '"' (typed only)
//
// Blanks may stand around every token. Names and datatypes ignore case.
// Within an operand, \" stands for a quote; every other backslash is
// itself. Untyped names: and, or (two or more conditions), not (exactly
// one), any (any number, which are read and dropped; always true). Typed
// names with their operand counts: isbigger/bigger, isbiggerorequal/
// biggerorequal, issmaller/smaller, issmallerorequal/smallerorequal,
// ==/isequal/equal, !=/isnotequal/notequal (exactly one each), isin/in (one
// or more). Datatypes: bool, short, int, long, ushort, uint, ulong, float,
// double, string. Text after the outermost condition is not read.
//
// Results of `parse`:
//   - a malformed text throws zv::unexpectedErrorException
//     "condition::parse: invalid condition-format"; so does nesting deeper
//     than `condition::maxDepth` levels;
//   - an `in` condition with a datatype outside the list throws
//     "condition::parse: invalid datatype %s";
//   - an operand that does not convert to its datatype, or a datatype outside
//     the list for a one-operand family, answers null - also when it sits in
//     a nested condition, so a condition is either complete or absent. In an
//     `in` condition with several operands, one that does not convert is a
//     format error. A floating-point "nan" operand of `in` does not convert;
//   - memory exhaustion throws zv::outOfMemoryException.
// The whole outermost condition is read before any null is answered, so a
// malformed text is always reported as such. Whatever was built is
// destroyed before `parse` throws or answers null.
//
// Tests: numbers compare with the operators of their type (floating point
// exactly; NaN is equal to nothing, also in `in`), texts ordinally and with
// case. A value of another type is first converted through the conversion
// registry; an empty value or one that does not convert fails every typed
// test (`notequal` too). `and` stops at the first false and is true when
// empty; `or` stops at the first true and is false when empty.
//
// A condition can be evaluated from several threads at once as long as
// nobody changes it.
#pragma once

#include "zvDefs.h"
#include "zvGenericValue.h"
#include "zvString.h"

#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <set>
#include <type_traits>
#include <utility>
#include <vector>

namespace zv::conditions {

/// The root of every condition.
class ZV_API condition {
public:
    virtual ~condition();
    /// The test on a value of any type.
    virtual bool isTrueGeneric(const genericValue& value) const = 0;
    /// A new condition of the same class with copies of everything it holds.
    virtual condition* clone() const = 0;
    /// Appends the normal text form, which `parse` reads back to an equal
    /// condition (except for texts built in code that end in a backslash).
    virtual void appendText(zv::string& out) const = 0;

    /// The normal text form.
    zv::string text() const;

    /// Builds a condition from its text form; the caller owns the result.
    /// Null when an operand does not convert; throws on malformed text (see
    /// the top of this file).
    static condition* parse(const zv::string& text);

    /// Conditions nested deeper than this are a format error.
    static constexpr unsigned maxDepth = 256;

protected:
    condition() = default;
    /// A copy.
    condition(const condition&) = default;
    /// Assignment.
    condition& operator=(const condition&) = default;
};

/// Writing operands and datatypes in the normal form.
namespace detail {
/// Appends `v` as an operand in the normal form.
///@{
ZV_API void appendOperand(zv::string& out, bool v);
ZV_API void appendOperand(zv::string& out, short v);
ZV_API void appendOperand(zv::string& out, int v);
ZV_API void appendOperand(zv::string& out, long v);
ZV_API void appendOperand(zv::string& out, unsigned short v);
ZV_API void appendOperand(zv::string& out, unsigned int v);
ZV_API void appendOperand(zv::string& out, unsigned long v);
ZV_API void appendOperand(zv::string& out, float v);
ZV_API void appendOperand(zv::string& out, double v);
ZV_API void appendOperand(zv::string& out, const zv::string& v);
///@}

template <typename T>
struct datatype;
#define ZV_CONDITION_DATATYPE(T, name)                                                                       \
    template <>                                                                                              \
    struct datatype<T> {                                                                                     \
        static constexpr const wchar_t* text = name;                                                         \
    };
ZV_CONDITION_DATATYPE(bool, L"bool")
ZV_CONDITION_DATATYPE(short, L"short")
ZV_CONDITION_DATATYPE(int, L"int")
ZV_CONDITION_DATATYPE(long, L"long")
ZV_CONDITION_DATATYPE(unsigned short, L"ushort")
ZV_CONDITION_DATATYPE(unsigned int, L"uint")
ZV_CONDITION_DATATYPE(unsigned long, L"ulong")
ZV_CONDITION_DATATYPE(float, L"float")
ZV_CONDITION_DATATYPE(double, L"double")
ZV_CONDITION_DATATYPE(zv::string, L"string")
#undef ZV_CONDITION_DATATYPE

/// Appends `name<datatype>("op1","op2",...)`.
template <typename T, typename It>
void appendTyped(zv::string& out, const wchar_t* name, It first, It last) {
    out += name;
    out += L'<';
    out += datatype<T>::text;
    out += L">(";
    for (It it = first; it != last; ++it) {
        if (it != first)
            out += L',';
        appendOperand(out, *it);
    }
    out += L')';
}

/// True for a floating-point NaN; false for every other type.
template <typename T>
constexpr bool isNan(const T& v) {
    if constexpr (std::is_floating_point_v<T>)
        return std::isnan(v);
    else
        return false;
}
} // namespace detail

/// The level of the ten value types: takes the tested value as a T.
template <typename T>
class typedCondition : public condition {
public:
    /// The value itself when it holds a T, else the value converted to T;
    /// false when empty or not convertible.
    bool isTrueGeneric(const genericValue& value) const override {
        if (const T* exact = value.valueIf<T>())
            return isTrue(*exact);
        T converted{};
        return value.get(converted) && isTrue(converted);
    }
    /// The test on a T.
    virtual bool isTrue(const T& v) const = 0;
};

// The six one-operand comparisons differ only in their test and their name.
#define ZV_CONDITION_COMPARISON(Class, Name, Test)                                                           \
    template <typename T>                                                                                    \
    class Class final : public typedCondition<T> {                                                           \
    public:                                                                                                  \
        explicit Class(const T& operand) : m_operand(operand) {}                                             \
        bool isTrue(const T& v) const override { return Test; }                                              \
        condition* clone() const override { return new Class(*this); }                                       \
        void appendText(zv::string& out) const override {                                                    \
            detail::appendTyped<T>(out, Name, &m_operand, &m_operand + 1);                                   \
        }                                                                                                    \
        const T& operand() const { return m_operand; }                                                       \
                                                                                                             \
    private:                                                                                                 \
        T m_operand;                                                                                         \
    };

ZV_CONDITION_COMPARISON(bigger, L"isbigger", v > m_operand)
ZV_CONDITION_COMPARISON(biggerOrEqual, L"isbiggerorequal", v >= m_operand)
ZV_CONDITION_COMPARISON(smaller, L"issmaller", v < m_operand)
ZV_CONDITION_COMPARISON(smallerOrEqual, L"issmallerorequal", v <= m_operand)
ZV_CONDITION_COMPARISON(equal, L"isequal", v == m_operand)
ZV_CONDITION_COMPARISON(notequal, L"isnotequal", !(v == m_operand))
#undef ZV_CONDITION_COMPARISON

/// True when the value is one of a set of operands. A floating-point NaN is
/// never an element: it would break the set's ordering.
template <typename T>
class in final : public typedCondition<T> {
public:
    /// A set holding `first`.
    explicit in(const T& first) { insert(first); }
    /// Adds an operand; false (nothing added) for NaN.
    bool insert(const T& operand) {
        if (detail::isNan(operand))
            return false;
        m_operands.insert(operand);
        return true;
    }
    bool isTrue(const T& v) const override { return !detail::isNan(v) && m_operands.count(v) != 0; }
    condition* clone() const override { return new in(*this); }
    void appendText(zv::string& out) const override {
        detail::appendTyped<T>(out, L"isin", m_operands.begin(), m_operands.end());
    }
    /// The operands, ordered.
    const std::set<T>& operands() const { return m_operands; }

private:
    std::set<T> m_operands;
};

/// A list of owned sub-conditions, the common part of `and` and `or`.
class ZV_API logicalCondition : public condition {
public:
    /// Clones of `a` and `b`, in that order.
    logicalCondition(const condition& a, const condition& b);
    /// Clones of `other`'s sub-conditions.
    logicalCondition(const logicalCondition& other);
    /// Clones the other's list first, then replaces the own one (so a failed
    /// clone leaves this unchanged).
    logicalCondition& operator=(const logicalCondition& other);
    ~logicalCondition() override;

    /// Appends a clone of `c`; null changes nothing.
    logicalCondition& appendCondition(const condition* c);
    /// Appends `c` itself, taking ownership; null changes nothing.
    logicalCondition& appendCondition(std::unique_ptr<condition> c);

    /// The number of sub-conditions.
    std::size_t count() const { return m_list.size(); }
    /// The sub-condition at `index`.
    const condition& at(std::size_t index) const { return *m_list.at(index); }

protected:
    logicalCondition() = default;
    /// `name(a,b,...)`.
    void appendList(zv::string& out, const wchar_t* name) const;
    /// The sub-conditions, owned.
    const std::vector<condition*>& list() const { return m_list; }

private:
    std::vector<condition*> m_list;
};

/// True when every sub-condition is true (also when there is none).
class ZV_API and final : public logicalCondition {
public:
    /// Empty: true.
    and() = default;
    /// Clones of `a`, `b` and then of each further condition up to the first null.
    template <typename... More>
    requires(std::is_convertible_v<More, const condition*> && ...) and
        (const condition& a, const condition& b, More... more) : logicalCondition(a, b) {
        appendUntilNull({static_cast<const condition*>(more)...});
    }
    bool isTrueGeneric(const genericValue& value) const override;
    condition* clone() const override;
    void appendText(zv::string & out) const override;

private:
    void appendUntilNull(std::initializer_list<const condition*> more);
};

/// True when any sub-condition is true (false when there is none).
class ZV_API or final : public logicalCondition {
public:
    /// Empty: false.
    or () = default;
    /// Clones of `a`, `b` and then of each further condition up to the first null.
    template <typename... More>
    requires(std::is_convertible_v<More, const condition*> && ...) or
        (const condition& a, const condition& b, More... more) : logicalCondition(a, b) {
        appendUntilNull({static_cast<const condition*>(more)...});
    }
    bool isTrueGeneric(const genericValue& value) const override;
    condition* clone() const override;
    void appendText(zv::string & out) const override;

private:
    void appendUntilNull(std::initializer_list<const condition*> more);
};

/// The negation of one sub-condition.
class ZV_API not final : public condition {
public:
    /// Stores a clone of `c`.
    explicit not(const condition& c);
    /// Stores `c` itself (which must not be null).
    explicit not(std::unique_ptr<condition> c);
    /// Clones `other`'s sub-condition.
    not(const not &other);
    /// Replaces the sub-condition by a clone of `other`'s.
    not &operator=(const not &other);
    ~not() override;

    bool isTrueGeneric(const genericValue& value) const override;
    condition* clone() const override;
    void appendText(zv::string & out) const override;
    /// The negated sub-condition.
    const condition& inner() const {
        return *m_condition;
    }

private:
    condition* m_condition;
};

/// Always true.
class ZV_API any final : public condition {
public:
    any() = default;
    bool isTrueGeneric(const genericValue& value) const override;
    condition* clone() const override;
    void appendText(zv::string& out) const override;
};

} // namespace zv::conditions
