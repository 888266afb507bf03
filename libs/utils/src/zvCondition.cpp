#include "zvCondition.h"

#include "zvDtConvert.h"
#include "zvException.h"

#include <charconv>
#include <cwctype>
#include <new>

namespace zv::conditions {

condition::~condition() = default;

zv::string condition::text() const {
    zv::string out;
    appendText(out);
    return out;
}

// ---- normal form ----

namespace detail {

namespace {

template <typename T>
void appendNumber(zv::string& out, T v) {
    zv::string s;
    dtconvert(s, v, 0, dtArgs{});
    out += L'"';
    out += s;
    out += L'"';
}

// The shortest text that reads back as the same value.
template <typename T>
void appendFloating(zv::string& out, T v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    out += L'"';
    for (const char* p = buffer; p != result.ptr; ++p)
        out += static_cast<wchar_t>(*p);
    out += L'"';
}

} // namespace

void appendOperand(zv::string& out, bool v) {
    appendNumber(out, v);
}
void appendOperand(zv::string& out, short v) {
    appendNumber(out, v);
}
void appendOperand(zv::string& out, int v) {
    appendNumber(out, v);
}
void appendOperand(zv::string& out, long v) {
    appendNumber(out, v);
}
void appendOperand(zv::string& out, unsigned short v) {
    appendNumber(out, v);
}
void appendOperand(zv::string& out, unsigned int v) {
    appendNumber(out, v);
}
void appendOperand(zv::string& out, unsigned long v) {
    appendNumber(out, v);
}
void appendOperand(zv::string& out, float v) {
    // Through double: the shortest float text may lie beyond the float range
    // ("3.4028235e+38"), which reads back as out of range.
    appendFloating(out, static_cast<double>(v));
}
void appendOperand(zv::string& out, double v) {
    appendFloating(out, v);
}
void appendOperand(zv::string& out, const zv::string& v) {
    out += L'"';
    for (wchar_t c : v) {
        if (c == L'"')
            out += L'\\';
        out += c;
    }
    out += L'"';
}

} // namespace detail

// ---- logical conditions ----

logicalCondition::logicalCondition(const condition& a, const condition& b) {
    std::unique_ptr<condition> first(a.clone()), second(b.clone());
    m_list.reserve(2);
    m_list.push_back(first.release());
    m_list.push_back(second.release());
}

logicalCondition::logicalCondition(const logicalCondition& other) : condition(other) {
    *this = other;
}

logicalCondition& logicalCondition::operator=(const logicalCondition& other) {
    if (this != &other) {
        // The new list first: should a clone fail, this one is unchanged.
        std::vector<std::unique_ptr<condition>> fresh;
        fresh.reserve(other.m_list.size());
        for (const condition* c : other.m_list)
            fresh.emplace_back(c->clone());
        std::vector<condition*> list;
        list.reserve(fresh.size());
        for (auto& c : fresh)
            list.push_back(c.release());
        m_list.swap(list);
        for (condition* c : list)
            delete c;
    }
    return *this;
}

logicalCondition::~logicalCondition() {
    for (condition* c : m_list)
        delete c;
}

logicalCondition& logicalCondition::appendCondition(const condition* c) {
    if (c)
        appendCondition(std::unique_ptr<condition>(c->clone()));
    return *this;
}

logicalCondition& logicalCondition::appendCondition(std::unique_ptr<condition> c) {
    if (c) {
        m_list.reserve(m_list.size() + 1); // may throw; the condition is still owned then
        m_list.push_back(c.release());
    }
    return *this;
}

void logicalCondition::appendList(zv::string& out, const wchar_t* name) const {
    out += name;
    out += L'(';
    for (std::size_t i = 0; i < m_list.size(); ++i) {
        if (i)
            out += L',';
        m_list[i]->appendText(out);
    }
    out += L')';
}

void and ::appendUntilNull(std::initializer_list<const condition*> more) {
    for (const condition* c : more) {
        if (!c)
            break;
        appendCondition(c);
    }
}

bool and ::isTrueGeneric(const genericValue& value) const {
    for (const condition* c : list())
        if (!c->isTrueGeneric(value))
            return false;
    return true;
}

condition*and ::clone() const {
    return new and (*this);
}

void and ::appendText(zv::string& out) const {
    appendList(out, L"and");
}

void or ::appendUntilNull(std::initializer_list<const condition*> more) {
    for (const condition* c : more) {
        if (!c)
            break;
        appendCondition(c);
    }
}

bool or ::isTrueGeneric(const genericValue& value) const {
    for (const condition* c : list())
        if (c->isTrueGeneric(value))
            return true;
    return false;
}

condition* or ::clone() const {
    return new or (*this);
}

void or ::appendText(zv::string& out) const {
    appendList(out, L"or");
}

not ::not(const condition& c) : m_condition(c.clone()) {}

not ::not(std::unique_ptr<condition> c) : m_condition(c.release()) {
    ZV_ASSERT(m_condition != nullptr);
}

not ::not(const not &other) : condition(other), m_condition(other.m_condition->clone()) {}

not &not ::operator=(const not &other) {
    if (this != &other) {
        condition* copy = other.m_condition->clone();
        delete m_condition;
        m_condition = copy;
    }
    return *this;
}

not ::~not() {
    delete m_condition;
}

bool not ::isTrueGeneric(const genericValue& value) const {
    return !m_condition->isTrueGeneric(value);
}

condition * not ::clone() const {
    return new not(*this);
}

void not ::appendText(zv::string & out) const {
    out += L"not(";
    m_condition->appendText(out);
    out += L')';
}

bool any::isTrueGeneric(const genericValue&) const {
    return true;
}

condition* any::clone() const {
    return new any;
}

void any::appendText(zv::string& out) const {
    out += L"any()";
}

// ---- parsing ----

namespace {

using conditionPtr = std::unique_ptr<condition>;

[[noreturn]] void formatError() {
    throw unexpectedErrorException(L"condition::parse: invalid condition-format");
}

enum eFamily { fBigger, fBiggerOrEqual, fSmaller, fSmallerOrEqual, fEqual, fNotEqual, fIn };

struct familyName {
    const wchar_t* name;
    eFamily family;
};

const familyName kFamilies[] = {
    {L"isbigger", fBigger},
    {L"bigger", fBigger},
    {L"isbiggerorequal", fBiggerOrEqual},
    {L"biggerorequal", fBiggerOrEqual},
    {L"issmaller", fSmaller},
    {L"smaller", fSmaller},
    {L"issmallerorequal", fSmallerOrEqual},
    {L"smallerorequal", fSmallerOrEqual},
    {L"==", fEqual},
    {L"isequal", fEqual},
    {L"equal", fEqual},
    {L"!=", fNotEqual},
    {L"isnotequal", fNotEqual},
    {L"notequal", fNotEqual},
    {L"isin", fIn},
    {L"in", fIn},
};

template <typename T>
bool convertOperand(const zv::string& text, T& value) {
    if constexpr (std::is_same_v<T, zv::string>) {
        value = text;
        return true;
    } else {
        return dtconvert(value, text, 0, dtArgs{});
    }
}

template <template <typename> class Class, typename T>
conditionPtr makeSingle(const zv::string& operand) {
    T value{};
    if (!convertOperand(operand, value))
        return nullptr;
    return std::make_unique<Class<T>>(value);
}

// Null when an operand does not convert (see the header for `in`).
template <typename T>
conditionPtr buildTyped(eFamily family, const std::vector<zv::string>& operands) {
    switch (family) {
    case fBigger:
        return makeSingle<bigger, T>(operands[0]);
    case fBiggerOrEqual:
        return makeSingle<biggerOrEqual, T>(operands[0]);
    case fSmaller:
        return makeSingle<smaller, T>(operands[0]);
    case fSmallerOrEqual:
        return makeSingle<smallerOrEqual, T>(operands[0]);
    case fEqual:
        return makeSingle<equal, T>(operands[0]);
    case fNotEqual:
        return makeSingle<notequal, T>(operands[0]);
    case fIn:
        break;
    }
    T value{};
    if (!convertOperand(operands[0], value) || detail::isNan(value)) {
        if (operands.size() == 1)
            return nullptr;
        formatError();
    }
    auto set = std::make_unique<in<T>>(value);
    for (std::size_t i = 1; i < operands.size(); ++i) {
        if (!convertOperand(operands[i], value) || !set->insert(value))
            formatError();
    }
    return set;
}

struct datatypeBuilder {
    const wchar_t* name;
    conditionPtr (*build)(eFamily, const std::vector<zv::string>&);
};

const datatypeBuilder kDatatypes[] = {
    {L"bool", &buildTyped<bool>},
    {L"short", &buildTyped<short>},
    {L"int", &buildTyped<int>},
    {L"long", &buildTyped<long>},
    {L"ushort", &buildTyped<unsigned short>},
    {L"uint", &buildTyped<unsigned int>},
    {L"ulong", &buildTyped<unsigned long>},
    {L"float", &buildTyped<float>},
    {L"double", &buildTyped<double>},
    {L"string", &buildTyped<zv::string>},
};

class parser {
public:
    explicit parser(const zv::string& text) : m_p(text.data()), m_end(text.data() + text.size()) {}

    /// One condition from the current position; null when an operand in it
    /// does not convert. `depth` counts the outermost condition as 1.
    conditionPtr parseCondition(unsigned depth) {
        if (depth > condition::maxDepth)
            formatError();
        skipBlanks();
        if (atEnd())
            formatError();
        const wchar_t* start = m_p;
        while (!atEnd() && *m_p != L'(' && *m_p != L'<' && !std::iswspace(*m_p))
            ++m_p;
        const zv::string name = zv::string(start, m_p).lower();

        skipBlanks();
        bool typed = false;
        zv::string datatype;
        if (!atEnd() && *m_p == L'<') {
            ++m_p;
            skipBlanks();
            start = m_p;
            while (!atEnd() && *m_p != L'>' && !std::iswspace(*m_p))
                ++m_p;
            datatype.assign(start, m_p);
            skipBlanks();
            expect(L'>');
            skipBlanks();
            typed = true;
        }
        expect(L'(');

        std::vector<conditionPtr> nested;
        std::vector<zv::string> operands;
        std::size_t arguments = 0;
        bool missing = false; // a nested condition gave null
        for (;;) {
            skipBlanks();
            if (atEnd())
                formatError();
            if (*m_p == L')') {
                ++m_p;
                break;
            }
            if (*m_p == L'"') {
                if (!typed)
                    formatError();
                operands.push_back(quotedOperand());
            } else {
                if (typed)
                    formatError();
                conditionPtr c = parseCondition(depth + 1);
                if (c)
                    nested.push_back(std::move(c));
                else
                    missing = true;
            }
            ++arguments;
            skipBlanks();
            if (atEnd())
                formatError();
            if (*m_p == L')') {
                ++m_p;
                break;
            }
            if (*m_p != L',')
                formatError();
            ++m_p;
        }

        if (typed)
            return buildTyped(name, datatype, operands);
        return buildLogical(name, arguments, missing, nested);
    }

private:
    bool atEnd() const { return m_p == m_end; }
    void skipBlanks() {
        while (!atEnd() && std::iswspace(*m_p))
            ++m_p;
    }
    void expect(wchar_t c) {
        if (atEnd() || *m_p != c)
            formatError();
        ++m_p;
    }

    /// From the opening quote to the next quote not preceded by a backslash;
    /// backslash-quote then stands for a quote.
    zv::string quotedOperand() {
        ++m_p;
        const wchar_t* start = m_p;
        while (!atEnd() && !(*m_p == L'"' && m_p[-1] != L'\\'))
            ++m_p;
        if (atEnd())
            formatError();
        zv::string text;
        text.reserve(static_cast<std::size_t>(m_p - start));
        for (const wchar_t* p = start; p != m_p; ++p) {
            if (*p == L'\\' && p + 1 != m_p && p[1] == L'"')
                continue; // the quote follows alone
            text += *p;
        }
        ++m_p;
        return text;
    }

    static conditionPtr buildLogical(const zv::string& name, std::size_t arguments, bool missing,
                                     std::vector<conditionPtr>& nested) {
        const bool isAnd = name == L"and";
        const bool isAny = name == L"any";
        if ((isAnd || name == L"or") && arguments < 2)
            formatError();
        if (name == L"not" && arguments != 1)
            formatError();
        if (!isAnd && !isAny && name != L"or" && name != L"not")
            formatError();
        if (missing)
            return nullptr;
        if (isAny)
            return std::make_unique<any>();
        if (name == L"not")
            return std::make_unique<not >(std::move(nested[0]));
        std::unique_ptr<logicalCondition> list;
        if (isAnd)
            list = std::make_unique<and>();
        else
            list = std::make_unique<or>();
        for (conditionPtr& c : nested)
            list->appendCondition(std::move(c));
        return list;
    }

    static conditionPtr buildTyped(const zv::string& name, const zv::string& datatype,
                                   const std::vector<zv::string>& operands) {
        const familyName* family = nullptr;
        for (const familyName& f : kFamilies) {
            if (name == f.name) {
                family = &f;
                break;
            }
        }
        const bool countFits = family && (family->family == fIn ? !operands.empty() : operands.size() == 1);
        if (!countFits)
            formatError();
        const zv::string lowerType = datatype.lower();
        for (const datatypeBuilder& d : kDatatypes)
            if (lowerType == d.name)
                return d.build(family->family, operands);
        if (family->family == fIn)
            throw unexpectedErrorException(L"condition::parse: invalid datatype %s", datatype.c_str());
        return nullptr;
    }

    const wchar_t* m_p;
    const wchar_t* m_end;
};

} // namespace

condition* condition::parse(const zv::string& text) {
    try {
        parser p(text);
        return p.parseCondition(1).release();
    } catch (const std::bad_alloc&) {
        throw outOfMemoryException();
    }
}

} // namespace zv::conditions
