#include "zvXml.h"
#include "zvXmlDetail.h"

#include "zvAtomicFile.h"
#include "zvBinaryBuffer.h"
#include "zvCodePage.h"
#include "zvCodePageDetail.h"
#include "zvException.h"
#include "zvFile.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <new>
#include <string>
#include <unordered_map>

namespace zv {

// Nodes made in bulk (by the parser and the deep copy) live side by side in
// blocks instead of one heap allocation each. A block counts its living
// nodes and goes when the count reaches 0, so a node that outlives its
// document keeps only its own block. While the maker fills a block, every
// slot counts as living (making a node costs no count) and the maker's hold
// on top; the maker gives back the unused slots and its hold at once.
class xmlNodeBlock {
public:
    static xmlNodeBlock* create(std::size_t capacity) {
        void* memory = ::operator new(sizeof(xmlNodeBlock) + capacity * sizeof(xmlNode));
        return new (memory) xmlNodeBlock(capacity);
    }

    /// Constructs the next node; null when the block is full.
    xmlNode* tryMake() {
        if (m_used == m_capacity)
            return nullptr;
        void* slot = reinterpret_cast<unsigned char*>(this + 1) + m_used * sizeof(xmlNode);
        xmlNode* n = new (slot) xmlNode();
        ++m_used;
        n->m_block = this;
        return n;
    }

    /// The maker lets go: its hold and the slots it left unused stop counting.
    void releaseUnused() { drop(static_cast<long>(m_capacity - m_used) + 1); }
    /// A node of this block has died.
    void release() { drop(1); }

private:
    explicit xmlNodeBlock(std::size_t capacity)
        : m_live(static_cast<long>(capacity) + 1), m_capacity(capacity) {}
    ~xmlNodeBlock() = default;

    // The last count to go frees the block.
    void drop(long count) {
        if (m_live.fetch_sub(count, std::memory_order_acq_rel) == count) {
            this->~xmlNodeBlock();
            ::operator delete(static_cast<void*>(this));
        }
    }

    std::atomic<long> m_live;
    std::size_t m_used = 0;
    const std::size_t m_capacity;
};

// The nodes follow the block's header.
static_assert(sizeof(xmlNodeBlock) % alignof(xmlNode) == 0);

// Blocks double in size: a small tree costs little, a large one lives in
// blocks of some 70 KiB. Measured on large documents, blocks of that size
// pay: freeing a chunk of 64 KiB or more makes the heap merge the small
// chunks freed just before (the strings of the nodes that died with the
// block) while they are still in the cache, where smaller blocks leave that
// work to a later, much slower sweep over the whole heap.
namespace {
constexpr std::size_t kMaxBlockCapacity = 512;
} // namespace

refPtr<xmlNode> detail::xmlNodeMaker::make() {
    xmlNode* n = m_block ? m_block->tryMake() : nullptr;
    if (n == nullptr) {
        xmlNodeBlock* fresh = xmlNodeBlock::create(m_nextCapacity);
        m_nextCapacity = std::min<std::size_t>(2 * m_nextCapacity, kMaxBlockCapacity);
        if (m_block)
            m_block->releaseUnused();
        m_block = fresh;
        n = m_block->tryMake();
    }
    return refPtr<xmlNode>(n);
}

void detail::xmlNodeMaker::reset() {
    if (m_block)
        m_block->releaseUnused();
    m_block = nullptr;
    m_nextCapacity = 8;
}

// Reaches into nodes for the parser, the copier and the destruction list.
class xmlTreeBuilder {
public:
    static refPtr<xmlNode> newNode() { return refPtr<xmlNode>(new xmlNode()); }
    static xmlNode::nodeList& children(xmlNode& n) { return n.m_children; }
    static xmlNode::attributeList& attributes(xmlNode& n) { return n.m_attributes; }
    static zv::string& name(xmlNode& n) { return n.m_name; }
    static zv::string& text(xmlNode& n) { return n.m_text; }
    static void setParent(xmlNode& n, xmlNode* parent) { n.m_parent = parent; }
    static void adopt(xmlNode& target, xmlNode& parsed) { target.takeContentOf(parsed); }
};

namespace {

using builder = xmlTreeBuilder;

// ---- destruction without recursion -------------------------------------------
//
// A dying node hands its children to the list of the outermost destruction
// on this thread instead of releasing them itself, so a chain of any length
// dies in a loop rather than in nested destructors.

thread_local std::vector<xmlNode*>* t_pendingReleases = nullptr;

void releaseChildren(xmlNode::nodeList& children) {
    if (children.empty())
        return;
    for (refPtr<xmlNode>& child : children)
        builder::setParent(*child, nullptr);
    std::vector<xmlNode*> own;
    std::vector<xmlNode*>* pending = t_pendingReleases;
    const bool outermost = pending == nullptr;
    if (outermost)
        t_pendingReleases = pending = &own;
    // Last child first: the list hands them back in document order, so a
    // tree goes in the order it was built.
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
        try {
            pending->push_back(child->get());
            static_cast<void>(child->detach());
        } catch (const std::bad_alloc&) {
            // No room in the list: `clear` below releases it in place.
        }
    }
    children.clear();
    if (!outermost)
        return;
    while (!own.empty()) {
        xmlNode* n = own.back();
        own.pop_back();
        n->release();
    }
    t_pendingReleases = nullptr;
}

[[noreturn]] void invalidFormat() {
    throw unexpectedErrorException(L"%s", L"xmlNode::parseText: invalid xml-format");
}

// ---- characters and entities --------------------------------------------------

// The parser's blanks: the white-space characters of ASCII.
template <class C>
inline bool isBlank(C c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

template <class C>
inline bool isSpaceOrTab(C c) {
    return c == ' ' || c == '\t';
}

inline int hexValue(unsigned c) {
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

template <class C>
inline unsigned unit(C c) {
    if constexpr (sizeof(C) == 1)
        return static_cast<unsigned char>(c);
    else
        return static_cast<unsigned>(c);
}

template <class C>
bool matchesLiteral(const C* p, const C* end, const char* literal, std::size_t length) {
    if (static_cast<std::size_t>(end - p) < length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (unit(p[i]) != static_cast<unsigned char>(literal[i]))
            return false;
    return true;
}

// The entity or character reference at `p` (which holds '&'): its length,
// with the character in `out`, or 0 when there is none. References are "&#x",
// one to three hexadecimal digits and ";", and never stand for NUL.
template <class C>
std::size_t matchEntity(const C* p, const C* end, wchar_t& out) {
    if (end - p < 4)
        return 0;
    switch (unit(p[1])) {
    case 'a':
        if (matchesLiteral(p, end, "&amp;", 5)) {
            out = L'&';
            return 5;
        }
        if (matchesLiteral(p, end, "&apos;", 6)) {
            out = L'\'';
            return 6;
        }
        return 0;
    case 'q':
        if (matchesLiteral(p, end, "&quot;", 6)) {
            out = L'"';
            return 6;
        }
        return 0;
    case 'l':
        if (matchesLiteral(p, end, "&lt;", 4)) {
            out = L'<';
            return 4;
        }
        return 0;
    case 'g':
        if (matchesLiteral(p, end, "&gt;", 4)) {
            out = L'>';
            return 4;
        }
        return 0;
    case '#': {
        if (unit(p[2]) != 'x')
            return 0;
        const std::size_t available = static_cast<std::size_t>(end - p);
        unsigned value = 0;
        std::size_t i = 3;
        for (; i < available && i < 6; ++i) {
            const int digit = hexValue(unit(p[i]));
            if (digit < 0)
                break;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        if (i == 3 || i >= available || unit(p[i]) != ';' || value == 0)
            return 0;
        out = static_cast<wchar_t>(value);
        return i + 1;
    }
    default:
        return 0;
    }
}

inline void putCodePoint(wchar_t*& o, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            *o++ = static_cast<wchar_t>(0xD800 + (c >> 10));
            *o++ = static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    *o++ = static_cast<wchar_t>(c);
}

// Decodes the UTF-8 sequence at `s` (a byte >= 0x80) into `o`.
inline const unsigned char* decodeUtf8(const unsigned char* s, const unsigned char* end, wchar_t*& o) {
    putCodePoint(o, detail::decodeUtf8Sequence(s, end));
    return s;
}

// Room for decoding a piece, kept by the parser for all its pieces.
using decodeBuffer = std::vector<wchar_t>;

inline wchar_t* roomFor(decodeBuffer& buffer, std::size_t n) {
    if (buffer.size() < n)
        buffer.resize(std::max(n, 2 * buffer.size()));
    return buffer.data();
}

// Replaces `out` (empty) by the wide text of UTF-8 bytes, entities decoded if
// asked. Plain ASCII, the common case, is widened straight into a string of
// its length; anything else is decoded into `room` first (a text never has
// more characters than bytes), so that no string holds more than it needs.
void assignPiece(const char* b, const char* e, zv::string& out, bool entities, decodeBuffer& room) {
    const auto* s = reinterpret_cast<const unsigned char*>(b);
    const auto* end = reinterpret_cast<const unsigned char*>(e);
    const unsigned char* plain = s;
    while (plain < end && *plain < 0x80 && !(entities && *plain == '&'))
        ++plain;
    if (plain == end) {
        out = zv::string(s, end);
        return;
    }
    wchar_t* const first = roomFor(room, static_cast<std::size_t>(end - s));
    wchar_t* o = std::copy(s, plain, first);
    s = plain;
    while (s < end) {
        const unsigned c = *s;
        if (c < 0x80) {
            if (c == '&' && entities) {
                wchar_t w;
                if (const std::size_t n = matchEntity(s, end, w)) {
                    *o++ = w;
                    s += n;
                    continue;
                }
            }
            *o++ = static_cast<wchar_t>(c);
            ++s;
        } else {
            s = decodeUtf8(s, end, o);
        }
    }
    out.assign(first, static_cast<std::size_t>(o - first));
}

void assignPiece(const wchar_t* b, const wchar_t* e, zv::string& out, bool entities, decodeBuffer& room) {
    const std::size_t length = static_cast<std::size_t>(e - b);
    const wchar_t* amp = entities ? std::char_traits<wchar_t>::find(b, length, L'&') : nullptr;
    if (amp == nullptr) {
        out.assign(b, length);
        return;
    }
    wchar_t* const first = roomFor(room, length);
    wchar_t* o = std::copy(b, amp, first);
    b = amp;
    while (b < e) {
        if (*b == L'&') {
            wchar_t w;
            if (const std::size_t n = matchEntity(b, e, w)) {
                *o++ = w;
                b += n;
                continue;
            }
        }
        *o++ = *b++;
    }
    out.assign(first, static_cast<std::size_t>(o - first));
}

// Keeps the first position of a repeated attribute name and its last value.
void mergeDuplicateAttributes(xmlNode::attributeList& list) {
    const std::size_t n = list.size();
    if (n < 2)
        return;
    bool duplicate = false;
    if (n <= 16) {
        for (std::size_t i = 0; i < n && !duplicate; ++i)
            for (std::size_t j = i + 1; j < n && !duplicate; ++j)
                duplicate = list[i].first == list[j].first;
    } else {
        std::vector<const zv::string*> names;
        names.reserve(n);
        for (const xmlNode::attribute& a : list)
            names.push_back(&a.first);
        std::sort(names.begin(), names.end(),
                  [](const zv::string* a, const zv::string* b) { return *a < *b; });
        duplicate = std::adjacent_find(names.begin(), names.end(),
                                       [](const zv::string* a, const zv::string* b) { return *a == *b; }) !=
                    names.end();
    }
    if (!duplicate)
        return;
    std::unordered_map<std::wstring, std::size_t> firstAt;
    xmlNode::attributeList merged;
    for (xmlNode::attribute& a : list) {
        const auto [it, fresh] = firstAt.emplace(a.first, merged.size());
        if (fresh)
            merged.push_back(std::move(a));
        else
            merged[it->second].second = std::move(a.second);
    }
    list.swap(merged);
}

// ---- parser ---------------------------------------------------------------------
//
// Works on UTF-8 bytes (every character that matters to the syntax is ASCII,
// and no byte of a multi-byte sequence is) or on wide text, and converts
// only the pieces it keeps. Open elements live on an explicit stack.

template <class C>
class xmlParser {
public:
    xmlParser(const C* begin, const C* end, bool keepBlanks)
        : m_maker(), m_begin(begin), m_end(end), m_keepBlanks(keepBlanks) {}

    /// Parses the first element into `root` (a fresh node). Null when no
    /// element starts; the position of the "<" when an end tag comes first
    /// (`root` stays unnamed); else the position after the element.
    const C* parse(xmlNode& root) {
        const C* p = skipToElement(m_begin);
        if (p == nullptr)
            return nullptr;
        if (isEndTag(p))
            return p;
        p = element(p, root);
        while (!m_open.empty()) {
            const openElement top = m_open.back();
            const C* lt = find(p, '<');
            if (lt == nullptr)
                invalidFormat();
            if (isEndTag(lt)) {
                p = checkEndTag(lt, top.nameBegin, top.nameEnd);
                storeChildren(*top.node, top.firstChild);
                m_open.pop_back();
                continue;
            }
            const C* start = skipToElement(lt);
            if (start == nullptr)
                invalidFormat(); // a comment or declaration runs to the end
            if (isEndTag(start)) {
                p = start; // what was skipped is followed by an end tag
                continue;
            }
            refPtr<xmlNode> child = m_maker.make();
            xmlNode& c = *child;
            builder::setParent(c, top.node);
            m_children.push_back(std::move(child));
            p = element(start, c);
        }
        return p;
    }

private:
    struct openElement {
        xmlNode* node;
        const C* nameBegin;
        const C* nameEnd;
        std::size_t firstChild; // its first child's place in m_children
    };

    // Gives `node` the children collected for it, in a list of their number.
    void storeChildren(xmlNode& node, std::size_t first) {
        const auto from = m_children.begin() + static_cast<std::ptrdiff_t>(first);
        if (from == m_children.end())
            return;
        xmlNode::nodeList& list = builder::children(node);
        list.reserve(m_children.size() - first);
        std::move(from, m_children.end(), std::back_inserter(list));
        m_children.erase(from, m_children.end());
    }

    const C* find(const C* p, char c) const {
        return std::char_traits<C>::find(p, static_cast<std::size_t>(m_end - p), static_cast<C>(c));
    }

    const C* search(const C* p, const char* literal, std::size_t length) const {
        while ((p = find(p, literal[0])) != nullptr) {
            if (matchesLiteral(p, m_end, literal, length))
                return p;
            ++p;
        }
        return nullptr;
    }

    const C* skipBlanks(const C* p) const {
        while (p < m_end && isBlank(*p))
            ++p;
        return p;
    }

    // The next "<" that may start an element or an end tag, past comments,
    // processing instructions and declarations; null when the text runs out.
    const C* skipToElement(const C* p) const {
        while ((p = find(p, '<')) != nullptr) {
            const C* close;
            if (matchesLiteral(p, m_end, "<!--", 4)) {
                close = search(p + 4, "-->", 3);
                if (close == nullptr)
                    return nullptr;
                p = close + 3;
            } else if (matchesLiteral(p, m_end, "<?", 2)) {
                close = search(p + 2, "?>", 2);
                if (close == nullptr)
                    return nullptr;
                p = close + 2;
            } else if (matchesLiteral(p, m_end, "<!", 2)) {
                close = find(p + 2, '>');
                if (close == nullptr)
                    return nullptr;
                p = close + 1;
            } else {
                return p;
            }
        }
        return nullptr;
    }

    bool isEndTag(const C* lt) const {
        const C* q = skipBlanks(lt + 1);
        return q < m_end && *q == '/';
    }

    // Checks "<", blanks, "/", blanks, the name, blanks, ">" at `lt`; answers
    // the position after ">".
    const C* checkEndTag(const C* lt, const C* nameBegin, const C* nameEnd) const {
        const C* q = skipBlanks(lt + 1);
        if (q == m_end || *q != '/')
            invalidFormat();
        q = skipBlanks(q + 1);
        const std::size_t length = static_cast<std::size_t>(nameEnd - nameBegin);
        if (static_cast<std::size_t>(m_end - q) < length || !std::equal(nameBegin, nameEnd, q))
            invalidFormat();
        q = skipBlanks(q + length);
        if (q == m_end || *q != '>')
            invalidFormat();
        return q + 1;
    }

    void setText(xmlNode& node, const C* b, const C* e) {
        if (!m_keepBlanks) {
            while (b < e && isSpaceOrTab(*b))
                ++b;
            while (e > b && isSpaceOrTab(e[-1]))
                --e;
        }
        assignPiece(b, e, builder::text(node), true, m_room);
    }

    // Reads the element whose start tag opens at `p` into `node`. A leaf or
    // empty element is finished here; one with children goes on the stack.
    // Answers where parsing goes on.
    const C* element(const C* p, xmlNode& node) {
        const C* q = skipBlanks(p + 1);
        const C* nameBegin = q;
        while (q < m_end && !isBlank(*q) && *q != '>' && *q != '/')
            ++q;
        const C* nameEnd = q;
        // A name starting with "?" or "!" (after blanks) would be read back
        // as a processing instruction or declaration.
        if (q == m_end || q == nameBegin || *nameBegin == '?' || *nameBegin == '!')
            invalidFormat();
        if (*q == '/' && (q + 1 == m_end || q[1] != '>'))
            invalidFormat();
        assignPiece(nameBegin, nameEnd, builder::name(node), false, m_room);

        m_attributes.clear();
        for (;;) {
            q = skipBlanks(q);
            if (q == m_end) {
                storeAttributes(node);
                return q;
            }
            if (*q == '>')
                break;
            if (*q == '/' && q + 1 < m_end && q[1] == '>') {
                storeAttributes(node);
                return q;
            }
            const C* attributeBegin = q;
            while (q < m_end && !isBlank(*q) && *q != '=')
                ++q;
            const C* attributeEnd = q;
            const C* equals = find(q, '=');
            if (equals == nullptr)
                invalidFormat();
            q = skipBlanks(equals + 1);
            if (q == m_end || (*q != '"' && *q != '\''))
                invalidFormat();
            const C* valueEnd = find(q + 1, static_cast<char>(*q));
            if (valueEnd == nullptr)
                invalidFormat();
            m_attributes.emplace_back();
            assignPiece(attributeBegin, attributeEnd, m_attributes.back().first, false, m_room);
            assignPiece(q + 1, valueEnd, m_attributes.back().second, true, m_room);
            q = valueEnd + 1;
        }
        storeAttributes(node);

        const C* content = q + 1;
        const C* lt = find(content, '<');
        if (lt == nullptr)
            invalidFormat();
        if (lt + 1 < m_end && lt[1] == '/') {
            setText(node, content, lt);
            return checkEndTag(lt, nameBegin, nameEnd);
        }
        setText(node, skipBlanks(content), lt);
        m_open.push_back({&node, nameBegin, nameEnd, m_children.size()});
        return lt;
    }

    void storeAttributes(xmlNode& node) {
        if (m_attributes.empty())
            return;
        xmlNode::attributeList& list = builder::attributes(node);
        list.reserve(m_attributes.size());
        for (xmlNode::attribute& a : m_attributes)
            list.push_back(std::move(a));
        m_attributes.clear();
        mergeDuplicateAttributes(list);
    }

    detail::xmlNodeMaker m_maker;
    const C* m_begin;
    const C* m_end;
    bool m_keepBlanks;
    std::vector<openElement> m_open;
    // The children of the open elements, collected until each ends.
    xmlNode::nodeList m_children;
    xmlNode::attributeList m_attributes; // scratch, reused for every element
    decodeBuffer m_room;                 // scratch, reused for every piece
};

// ---- writer ---------------------------------------------------------------------

// The text of one character as written: an entity for the five that need one.
inline const char* entityFor(unsigned c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '\'':
        return "&apos;";
    case '"':
        return "&quot;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    default:
        return nullptr;
    }
}

constexpr bool needsEntity(unsigned c) {
    return c == '&' || c == '\'' || c == '"' || c == '<' || c == '>';
}

// The ASCII characters written as they are in a text.
constexpr struct plainAscii {
    bool plain[128];
    constexpr plainAscii() : plain() {
        for (unsigned c = 0; c < 128; ++c)
            plain[c] = !needsEntity(c);
    }
} kPlainAscii;

// Writes the text of a leaf. Its leading and trailing spaces and tabs go out
// as character references: a reader trims those two characters off a text as
// it stands, but not off what references decode to, so the text reads back
// unchanged, also by readers that trim.
template <class Sink>
void writeLeafText(Sink& sink, const zv::string& text) {
    const auto trimmed = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && trimmed(text[first]))
        ++first;
    while (last > first && trimmed(text[last - 1]))
        --last;
    if (first == 0 && last == text.size()) {
        sink.encoded(text);
        return;
    }
    const auto references = [&sink, &text](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (text[i] == L' ')
                sink.ascii("&#x20;", 6);
            else
                sink.ascii("&#x9;", 5);
        }
    };
    references(0, first);
    if (last > first)
        sink.encoded(zv::string(text.substr(first, last - first)));
    references(last, text.size());
}

// Writes `node` and its subtree through `sink`, which takes ASCII literals
// (`ascii`), names as they are (`raw`), texts with entities (`encoded`) and
// the indentation of a depth (`indent`).
template <class Sink>
void writeTree(const xmlNode& top, Sink& sink) {
    struct level {
        const xmlNode* node;
        std::size_t next;
    };
    // Writes the start of `n`; true when it has children to write.
    auto start = [&sink](const xmlNode& n, std::size_t depth) {
        sink.indent(depth);
        sink.ascii("<", 1);
        sink.raw(n.name());
        for (const xmlNode::attribute& a : n.attributes()) {
            sink.ascii(" ", 1);
            sink.raw(a.first);
            sink.ascii("=\"", 2);
            sink.encoded(a.second);
            sink.ascii("\"", 1);
        }
        if (!n.childNodes().empty()) {
            sink.ascii(">\n", 2);
            return true;
        }
        if (n.text().empty()) {
            sink.ascii("/>\n", 3);
        } else {
            sink.ascii(">", 1);
            writeLeafText(sink, n.text());
            sink.ascii("</", 2);
            sink.raw(n.name());
            sink.ascii(">\n", 2);
        }
        return false;
    };
    std::vector<level> open;
    if (start(top, 0))
        open.push_back({&top, 0});
    while (!open.empty()) {
        const std::size_t depth = open.size();
        level& current = open.back();
        if (current.next < current.node->childNodes().size()) {
            const xmlNode& child = *current.node->childNodes()[current.next++];
            if (start(child, depth))
                open.push_back({&child, 0});
        } else {
            sink.indent(depth - 1);
            sink.ascii("</", 2);
            sink.raw(current.node->name());
            sink.ascii(">\n", 2);
            open.pop_back();
        }
    }
}

constexpr std::size_t kIndentStep = 3;

// Counts the characters of the text without entities: the size to reserve.
class estimateSink {
public:
    explicit estimateSink(std::size_t indent) : m_indent(indent) {}
    void ascii(const char*, std::size_t n) { m_count += n; }
    void raw(const zv::string& s) { m_count += s.size(); }
    void encoded(const zv::string& s) { m_count += s.size(); }
    void indent(std::size_t depth) { m_count += m_indent + depth * kIndentStep; }
    std::uint64_t count() const { return m_count; }

private:
    std::size_t m_indent;
    std::uint64_t m_count = 0;
};

class wideSink {
public:
    wideSink(zv::string& out, const zv::string& indent) : m_out(out), m_indent(indent) {}
    void ascii(const char* s, std::size_t n) { m_out.append(s, s + n); }
    void raw(const zv::string& s) { m_out.append(s); }
    void encoded(const zv::string& s) {
        const wchar_t* p = s.data();
        const wchar_t* end = p + s.size();
        while (p < end) {
            const wchar_t* run = p;
            while (p < end && !needsEntity(static_cast<unsigned>(*p)))
                ++p;
            m_out.append(run, p);
            if (p < end) {
                const char* entity = entityFor(static_cast<unsigned>(*p++));
                m_out.append(entity, entity + std::strlen(entity));
            }
        }
    }
    void indent(std::size_t depth) {
        m_out.append(m_indent);
        m_out.append(depth * kIndentStep, L' ');
    }

private:
    zv::string& m_out;
    const zv::string& m_indent;
};

// Writes bytes straight into a binary buffer. A buffer that already has the
// room (one reused for every save) is written as it is; when the room runs
// out the first time, the whole text is estimated from the tree and reserved
// at once, and past that the buffer grows by half. Long texts go in slices,
// so the room a slice may need stays small; a slice never ends inside a
// surrogate pair.
class byteSink {
public:
    byteSink(binaryBuffer& buffer, const xmlNode& tree, unsigned unitBytes, std::size_t extra)
        : m_buffer(buffer), m_tree(tree), m_unitBytes(unitBytes), m_extra(extra),
          m_start(buffer.logicalLength()) {
        refresh(m_start);
    }
    void finish() { m_buffer.setLogicalLength(used()); }
    void rollBack() { m_buffer.setLogicalLength(m_start); }

protected:
    static constexpr std::size_t kSlice = 4096;

    unsigned used() const { return static_cast<unsigned>(m_p - m_buffer.data()); }
    void reserve(std::size_t n) {
        if (static_cast<std::size_t>(m_end - m_p) < n)
            grow(n);
    }
    static std::size_t sliceLength(const wchar_t* s, std::size_t n) {
        std::size_t k = std::min(n, kSlice);
        if constexpr (sizeof(wchar_t) == 2)
            if (k < n && (s[k - 1] & 0xFC00) == 0xD800)
                ++k;
        return k;
    }

    char* m_p = nullptr;
    char* m_end = nullptr;

private:
    void grow(std::size_t n) {
        const unsigned at = used();
        const std::uint64_t physical = m_buffer.physicalLength();
        std::uint64_t size = at + static_cast<std::uint64_t>(n);
        if (!m_estimated) {
            m_estimated = true;
            estimateSink estimate(0);
            writeTree(m_tree, estimate);
            const std::uint64_t expected = m_unitBytes * (estimate.count() + m_extra);
            size = std::max(size, m_start + expected + expected / 8 + 256);
        }
        if (size <= physical)
            size = physical + physical / 2;
        if (size > 0xFFFFFFFFu) {
            if (at + static_cast<std::uint64_t>(n) > 0xFFFFFFFFu)
                throw std::bad_alloc(); // beyond what a buffer can hold
            size = 0xFFFFFFFFu;
        }
        m_buffer.reAllocate(static_cast<unsigned>(size));
        refresh(at);
    }
    void refresh(unsigned at) {
        m_p = m_buffer.data() + at;
        m_end = m_buffer.data() + m_buffer.physicalLength();
    }

    binaryBuffer& m_buffer;
    const xmlNode& m_tree;
    const unsigned m_unitBytes;
    const std::size_t m_extra; // what is written besides the tree
    const unsigned m_start;
    bool m_estimated = false;
};

class utf8Sink : public byteSink {
public:
    using byteSink::byteSink;
    void ascii(const char* s, std::size_t n) {
        reserve(n);
        std::memcpy(m_p, s, n);
        m_p += n;
    }
    void raw(const zv::string& s) { put<false>(s.data(), s.size()); }
    void encoded(const zv::string& s) { put<true>(s.data(), s.size()); }
    void indent(std::size_t depth) { blanks(depth * kIndentStep); }
    void blanks(std::size_t n) {
        reserve(n);
        std::memset(m_p, ' ', n);
        m_p += n;
    }

private:
    template <bool Entities>
    void put(const wchar_t* s, std::size_t n) {
        while (n > 0) {
            const std::size_t k = sliceLength(s, n);
            reserve(k * 6); // "&quot;" is the longest a unit becomes
            char* o = m_p;
            for (std::size_t i = 0; i < k; ++i) {
                auto c = static_cast<char32_t>(s[i]);
                if (c < 0x80 && (!Entities || kPlainAscii.plain[c])) {
                    *o++ = static_cast<char>(c);
                    continue;
                }
                if (c < 0x80) {
                    if (Entities && needsEntity(c)) {
                        const char* entity = entityFor(c);
                        while (*entity)
                            *o++ = *entity++;
                    } else {
                        *o++ = static_cast<char>(c);
                    }
                    continue;
                }
                if constexpr (sizeof(wchar_t) == 2) {
                    c &= 0xFFFF;
                    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < k && (s[i + 1] & 0xFC00) == 0xDC00) {
                        c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(s[i + 1]) & 0x3FF);
                        ++i;
                    }
                }
                if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
                    c = 0xFFFD; // not a character (a lone surrogate)
                if (c < 0x800) {
                    *o++ = static_cast<char>(0xC0 | (c >> 6));
                    *o++ = static_cast<char>(0x80 | (c & 0x3F));
                } else if (c < 0x10000) {
                    *o++ = static_cast<char>(0xE0 | (c >> 12));
                    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                    *o++ = static_cast<char>(0x80 | (c & 0x3F));
                } else {
                    *o++ = static_cast<char>(0xF0 | (c >> 18));
                    *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                    *o++ = static_cast<char>(0x80 | (c & 0x3F));
                }
            }
            m_p = o;
            s += k;
            n -= k;
        }
    }
};

// UTF-16LE code units as they are (pairs for characters beyond 16 bits where
// wchar_t holds code points).
class utf16Sink : public byteSink {
public:
    using byteSink::byteSink;
    void ascii(const char* s, std::size_t n) {
        reserve(2 * n);
        for (std::size_t i = 0; i < n; ++i)
            putUnit(static_cast<unsigned char>(s[i]));
    }
    void raw(const zv::string& s) { put<false>(s.data(), s.size()); }
    void encoded(const zv::string& s) { put<true>(s.data(), s.size()); }
    void indent(std::size_t depth) {
        reserve(2 * depth * kIndentStep);
        for (std::size_t i = 0; i < depth * kIndentStep; ++i)
            putUnit(' ');
    }
    void terminate() {
        reserve(2);
        putUnit(0);
    }

private:
    void putUnit(unsigned u) {
        *m_p++ = static_cast<char>(u & 0xFF);
        *m_p++ = static_cast<char>((u >> 8) & 0xFF);
    }
    template <bool Entities>
    void put(const wchar_t* s, std::size_t n) {
        while (n > 0) {
            const std::size_t k = sliceLength(s, n);
            reserve(k * 12);
            for (std::size_t i = 0; i < k; ++i) {
                const auto c = static_cast<std::uint32_t>(s[i]);
                if (Entities && c < 0x80 && needsEntity(c)) {
                    for (const char* entity = entityFor(c); *entity; ++entity)
                        putUnit(static_cast<unsigned char>(*entity));
                } else if (c < 0x10000) {
                    putUnit(c);
                } else if (c <= 0x10FFFF) {
                    putUnit(0xD800 + ((c - 0x10000) >> 10));
                    putUnit(0xDC00 + ((c - 0x10000) & 0x3FF));
                } else {
                    putUnit(0xFFFD);
                }
            }
            s += k;
            n -= k;
        }
    }
};

// ---- loading --------------------------------------------------------------------

// The encoding name of a leading "<?...?>" declaration, lower-cased; empty
// when there is none. Names longer than the 127 characters kept count as
// unknown ("?").
std::string declaredEncoding(const char* data, std::size_t size) {
    if (size < 3 || data[0] != '<' || data[1] != '?')
        return std::string();
    const char* end = data + size;
    const char* close = data + 2;
    while (close + 1 < end && !(close[0] == '?' && close[1] == '>'))
        ++close;
    static const char key[] = "encoding=";
    const std::size_t keyLength = sizeof key - 1;
    for (const char* p = data; p + keyLength < close; ++p) {
        std::size_t i = 0;
        while (i < keyLength && (p[i] | 0x20) == key[i])
            ++i;
        if (i < keyLength)
            continue;
        const char quote = p[keyLength];
        if (quote != '"' && quote != '\'')
            return std::string();
        std::string name;
        for (const char* q = p + keyLength + 1; q < end && *q != quote; ++q) {
            if (name.size() == 127)
                return "?";
            name.push_back(static_cast<char>((*q >= 'A' && *q <= 'Z') ? *q + 32 : *q));
        }
        return name;
    }
    return std::string();
}

// The wide text of UTF-16LE bytes, up to the first zero unit. Where wchar_t
// holds code points, pairs are joined and lone surrogates become U+FFFD.
std::wstring wideFromUtf16(const unsigned char* b, std::size_t units) {
    std::wstring out(units, L'\0');
    wchar_t* const first = out.data();
    wchar_t* o = first;
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned u = b[2 * i] | (static_cast<unsigned>(b[2 * i + 1]) << 8);
        if (u == 0)
            break;
        if constexpr (sizeof(wchar_t) == 2) {
            *o++ = static_cast<wchar_t>(u);
        } else {
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
                const unsigned low = b[2 * i + 2] | (static_cast<unsigned>(b[2 * i + 3]) << 8);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    *o++ = static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                    ++i;
                    continue;
                }
            }
            *o++ = static_cast<wchar_t>((u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
        }
    }
    out.resize(static_cast<std::size_t>(o - first));
    return out;
}

// Parses [begin, end) into `target`; its content is replaced only when an
// element was read completely.
template <class C>
const C* parseInto(xmlNode& target, const C* begin, const C* end, bool keepBlanks) {
    xmlParser<C> parser(begin, end, keepBlanks);
    refPtr<xmlNode> root = builder::newNode();
    const C* p = parser.parse(*root);
    if (p != nullptr && !root->name().empty())
        builder::adopt(target, *root);
    return p;
}

} // namespace

// ---- xmlNode --------------------------------------------------------------------

xmlNode::xmlNode(const zv::string& name) : m_parent(nullptr), m_name(name), m_block(nullptr) {}

xmlNode::~xmlNode() {
    releaseChildren(m_children);
}

void xmlNode::destroyObject() {
    xmlNodeBlock* const block = m_block;
    if (block == nullptr) {
        delete this;
        return;
    }
    this->~xmlNode();
    block->release();
}

void xmlNode::takeContentOf(xmlNode& other) {
    m_name.swap(other.m_name);
    m_text.swap(other.m_text);
    m_attributes.swap(other.m_attributes);
    nodeList old;
    old.swap(m_children);
    m_children.swap(other.m_children);
    for (refPtr<xmlNode>& child : m_children)
        child->m_parent = this;
    releaseChildren(old);
}

refPtr<xmlNode> xmlNode::createXmlNode(const zv::string& name) {
    return refPtr<xmlNode>(new xmlNode(name));
}

refPtr<xmlNode> xmlNode::createXmlNode(const const_refPtr<xmlNode>& node) {
    if (!node)
        throw unexpectedErrorException(L"%s", L"xmlNode::createXmlNode: NULL specified for pNode");
    detail::xmlNodeMaker maker;
    auto shallowCopy = [&maker](const xmlNode& source) {
        refPtr<xmlNode> copy = maker.make();
        copy->m_name = source.m_name;
        copy->m_text = source.m_text;
        copy->m_attributes = source.m_attributes;
        return copy;
    };
    refPtr<xmlNode> top = shallowCopy(*node);
    std::vector<std::pair<const xmlNode*, xmlNode*>> work{{node.get(), top.get()}};
    while (!work.empty()) {
        const auto [source, target] = work.back();
        work.pop_back();
        target->m_children.reserve(source->m_children.size());
        for (const refPtr<xmlNode>& child : source->m_children) {
            refPtr<xmlNode> copy = shallowCopy(*child);
            copy->m_parent = target;
            work.emplace_back(child.get(), copy.get());
            target->m_children.push_back(std::move(copy));
        }
    }
    return top;
}

refPtr<xmlNode> xmlNode::createChildNode(const zv::string& name) {
    refPtr<xmlNode> child = createXmlNode(name);
    child->m_parent = this;
    m_children.push_back(child);
    return child;
}

refPtr<xmlNode> detail::xmlNodeMaker::make(zv::string&& name) {
    refPtr<xmlNode> n = make();
    builder::name(*n) = std::move(name);
    return n;
}

xmlNode& detail::appendLeaf(xmlNodeMaker& maker, xmlNode& parent, const zv::string& name, zv::string&& text) {
    refPtr<xmlNode> child = maker.make();
    xmlNode& leaf = *child;
    builder::name(leaf) = name;
    builder::text(leaf) = std::move(text);
    builder::children(parent).push_back(std::move(child));
    builder::setParent(leaf, &parent);
    return leaf;
}

void detail::setAttribute(xmlNode& node, const wchar_t* name, zv::string&& value) {
    xmlNode::attributeList& list = builder::attributes(node);
    for (xmlNode::attribute& a : list)
        if (a.first == name) {
            a.second = std::move(value);
            return;
        }
    list.emplace_back(zv::string(name), std::move(value));
}

void detail::setText(xmlNode& node, zv::string&& text) {
    builder::text(node) = std::move(text);
}

void detail::reserveChildren(xmlNode& node, std::size_t count) {
    builder::children(node).reserve(count);
}

bool xmlNode::addNode(refPtr<xmlNode>& node) {
    if (!node || node->m_parent != nullptr)
        return false;
    for (const xmlNode* n = this; n != nullptr; n = n->m_parent)
        if (n == node.get())
            return false; // would hang the tree in a cycle
    m_children.push_back(node);
    node->m_parent = this;
    return true;
}

bool xmlNode::removeNode(refPtr<xmlNode>& node) {
    const auto it = std::find(m_children.begin(), m_children.end(), node);
    if (!node || it == m_children.end())
        return false;
    refPtr<xmlNode> keep = *it;
    m_children.erase(it);
    keep->m_parent = nullptr;
    return true;
}

namespace {

template <class Node>
Node* findChild(const xmlNode::nodeList& children, const zv::string& name, bool caseSensitive, bool last) {
    auto matches = [&](const refPtr<xmlNode>& c) {
        return caseSensitive ? c->name() == name : c->name().isEqualTo(name, false);
    };
    if (last) {
        const auto it = std::find_if(children.rbegin(), children.rend(), matches);
        return it == children.rend() ? nullptr : it->get();
    }
    const auto it = std::find_if(children.begin(), children.end(), matches);
    return it == children.end() ? nullptr : it->get();
}

} // namespace

bool xmlNode::hasChildNode(const zv::string& name, bool caseSensitive) const {
    return findChild<const xmlNode>(m_children, name, caseSensitive, false) != nullptr;
}

refPtr<xmlNode> xmlNode::getFirstChildNode(const zv::string& name, bool caseSensitive) {
    return findChild<xmlNode>(m_children, name, caseSensitive, false);
}

const_refPtr<xmlNode> xmlNode::getFirstChildNode(const zv::string& name, bool caseSensitive) const {
    return findChild<const xmlNode>(m_children, name, caseSensitive, false);
}

refPtr<xmlNode> xmlNode::getLastChildNode(const zv::string& name, bool caseSensitive) {
    return findChild<xmlNode>(m_children, name, caseSensitive, true);
}

const_refPtr<xmlNode> xmlNode::getLastChildNode(const zv::string& name, bool caseSensitive) const {
    return findChild<const xmlNode>(m_children, name, caseSensitive, true);
}

bool xmlNode::hasAttribute(const zv::string& name) const {
    return std::any_of(m_attributes.begin(), m_attributes.end(),
                       [&](const attribute& a) { return a.first == name; });
}

bool xmlNode::getAttribute(const zv::string& name, zv::string& value) const {
    for (const attribute& a : m_attributes)
        if (a.first == name) {
            value = a.second;
            return true;
        }
    return false;
}

void xmlNode::setAttribute(const zv::string& name, const zv::string& value) {
    for (attribute& a : m_attributes)
        if (a.first == name) {
            a.second = value;
            return;
        }
    m_attributes.emplace_back(name, value);
}

void xmlNode::removeAttribute(const zv::string& name) {
    const auto it = std::find_if(m_attributes.begin(), m_attributes.end(),
                                 [&](const attribute& a) { return a.first == name; });
    if (it != m_attributes.end())
        m_attributes.erase(it);
}

void xmlNode::getText(zv::string& out, const zv::string& indent) const {
    estimateSink estimate(indent.size());
    writeTree(*this, estimate);
    out.reserve(out.size() + static_cast<std::size_t>(estimate.count()));
    wideSink sink(out, indent);
    writeTree(*this, sink);
}

const wchar_t* xmlNode::parseText(const wchar_t* text, bool keepBlanks) {
    if (text == nullptr)
        throw unexpectedErrorException(L"%s", L"xmlNode::parseText: NULL specified for pText");
    return parseInto(*this, text, text + std::wcslen(text), keepBlanks);
}

// ---- xmlDocument ----------------------------------------------------------------

xmlDocument::~xmlDocument() = default;

refPtr<xmlDocument> xmlDocument::createXmlDocument() {
    return refPtr<xmlDocument>(new xmlDocument());
}

void xmlDocument::load(const char* data, unsigned int size, bool keepBlanks) {
    if (data == nullptr)
        return;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    try {
        if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            // UTF-8 after its byte-order mark (nothing behind it: no element).
            const char* begin = data + 3;
            const void* nul = std::memchr(begin, 0, size - 3);
            parseInto(*this, begin, nul ? static_cast<const char*>(nul) : data + size, keepBlanks);
            return;
        }
        // UTF-16LE after its byte-order mark, or as `save` writes it: without
        // a mark, starting with "<" as 3C 00 (no single-byte text does).
        const bool utf16Mark = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
        if (utf16Mark || (size >= 2 && bytes[0] == '<' && bytes[1] == 0)) {
            const unsigned skip = utf16Mark ? 2 : 0;
            const std::wstring text = wideFromUtf16(bytes + skip, (size - skip) / 2);
            parseInto(*this, text.data(), text.data() + text.size(), keepBlanks);
            return;
        }
        const void* nul = std::memchr(data, 0, size);
        const std::size_t length =
            nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - data) : size;
        const std::string encoding = declaredEncoding(data, length);
        // "utf-16" cannot describe single bytes: read as UTF-8 like no name.
        if (encoding.empty() || encoding == "utf-8" || encoding == "utf-16") {
            parseInto(*this, data, data + length, keepBlanks);
            return;
        }
        std::wstring text;
        const bool converted = fromCodePage(std::string(data, length), ansiCodePage(), text);
        ZV_ASSERT(converted);
        parseInto(*this, text.data(), text.data() + text.size(), keepBlanks);
    } catch (const std::bad_alloc&) {
        throw outOfMemoryException();
    }
}

void xmlDocument::load(const file& source, bool keepBlanks) {
    if (!source.exists())
        throw fileNotFoundException(source);
    binaryBuffer buffer;
    if (!buffer.readFromFile(source))
        throw readFileException(source);
    if (buffer.logicalLength() == 0)
        return;
    try {
        load(buffer.data(), buffer.logicalLength(), keepBlanks);
    } catch (const unexpectedErrorException&) {
        throw invalidXmlException(source);
    }
}

void xmlDocument::save(binaryBuffer& buffer, eEncoding encoding) const {
    static const char head[] = "<?xml version=\"1.0\" ";
    const char* name = encoding == eUTF8    ? "encoding=\"UTF-8\""
                       : encoding == eUTF16 ? "encoding=\"UTF-16\""
                                            : "";
    const std::size_t extra = 3 + (sizeof head - 1) + std::strlen(name) + 3 + 1;
    try {
        if (encoding == eUTF8) {
            utf8Sink sink(buffer, *this, 1, extra);
            try {
                sink.ascii("\xEF\xBB\xBF", 3);
                sink.ascii(head, sizeof head - 1);
                sink.ascii(name, std::strlen(name));
                sink.ascii("?>\n", 3);
                writeTree(*this, sink);
            } catch (...) {
                sink.rollBack();
                throw;
            }
            sink.finish();
        } else {
            utf16Sink sink(buffer, *this, 2, extra);
            try {
                sink.ascii(head, sizeof head - 1);
                sink.ascii(name, std::strlen(name));
                sink.ascii("?>\n", 3);
                writeTree(*this, sink);
                sink.terminate();
            } catch (...) {
                sink.rollBack();
                throw;
            }
            sink.finish();
        }
    } catch (const std::bad_alloc&) {
        throw outOfMemoryException();
    }
}

void xmlDocument::save(const file& target, eEncoding encoding) const {
    if (!target.isWriteable())
        throw writeFileException(target);
    binaryBuffer buffer;
    save(buffer, encoding);
    if (!replaceFileContent(target, buffer.data(), buffer.logicalLength()))
        throw writeFileException(target);
}

} // namespace zv
