// zvXmlDbWriter.cpp - the object database writer and its output stream.
#include "zvXmlDbWriter.h"

#include "zvBinaryBuffer.h"
#include "zvDirectory.h"
#include "zvDtConvert.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvGenericSet.h"
#include "zvSuppressedError.h"
#include "zvXml.h"
#include "zvXmlDbDetail.h"
#include "zvXmlDetail.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <deque>
#include <unordered_map>

namespace zv {

// ---- shared helpers ----

namespace detail {

bool isValidDbElementName(const wchar_t* name) {
    if (name == nullptr || *name == 0)
        return false;
    if ((*name >= L'0' && *name <= L'9') || *name == L'-' || *name == L'.')
        return false;
    for (const wchar_t* p = name; *p; ++p) {
        if (std::iswspace(static_cast<std::wint_t>(*p)) || *p < 0x20 || std::wcschr(L"<>&\"'/=!?", *p))
            return false;
    }
    return true;
}

zv::string dbDoubleText(double value) {
    char buf[400]; // 309 integer digits, a sign, a point and 8 decimals at most
    if (!std::isfinite(value)) {
        zv::string text;
        dtconvert(text, value);
        double back = 0;
        if (dtconvert(back, text) && (back == value || (std::isnan(back) && std::isnan(value))))
            return text;
        std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value);
        return zv::string(buf, r.ptr);
    }
    // Below 2^26 a double lies within 5e-9 of its shortest decimal text, so
    // when that text has at most 8 decimals, the correctly rounded 8-decimal
    // form with its trailing zeros dropped is that very text.
    if (std::fabs(value) < 67108864.0) {
        std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
        if (r.ec == std::errc()) {
            const char* dot = std::find(static_cast<char*>(buf), r.ptr, '.');
            if (r.ptr - dot <= 9)
                return zv::string(buf, r.ptr);
        }
    }
    // The general number text: 8 decimals, trailing zeros and point dropped,
    // kept when it reads back to the very value (sign of zero included).
    char* end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 8).ptr;
    while (end - buf > 1 && end[-1] == '0')
        --end;
    if (end - buf > 1 && end[-1] == '.')
        --end;
    double back = 0;
    const std::from_chars_result read = std::from_chars(buf, end, back);
    if (read.ec == std::errc() && read.ptr == end && back == value &&
        std::signbit(back) == std::signbit(value))
        return zv::string(buf, end);
    std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value);
    return zv::string(buf, r.ptr);
}

} // namespace detail

namespace {

// Objects referred to deeper than this are written after the object that
// refers to them, so that a long chain of references cannot exhaust the stack.
constexpr unsigned int maxWriteDepth = 200;

const zv::string& dbRootName() {
    static const zv::string name(L"zvDatabase");
    return name;
}

void checkElementName(const wchar_t* name, const wchar_t* what) {
    if (!detail::isValidDbElementName(name))
        throw unexpectedErrorException(L"xmlDbWriter: invalid %s name \"%s\"", what, name ? name : L"");
}

} // namespace

// ---- class dictionary ----

refPtr<xmlDbWriterClassDictionary> xmlDbWriterClassDictionary::create() {
    return refPtr<xmlDbWriterClassDictionary>(new xmlDbWriterClassDictionary());
}

xmlDbWriterClassDictionary::xmlDbWriterClassDictionary() = default;
xmlDbWriterClassDictionary::~xmlDbWriterClassDictionary() = default;

const zv::guid* xmlDbWriterClassDictionary::find(const iPersistent* object) const {
    auto it = m_entries.find(object);
    return it == m_entries.end() ? nullptr : &it->second.id;
}

void xmlDbWriterClassDictionary::insert(const iPersistent* object, const zv::guid& id) {
    // Counting is not part of an object's logical state.
    m_entries[object] = entry{id, refPtr<iPersistent>(const_cast<iPersistent*>(object))};
}

void xmlDbWriterClassDictionary::erase(const iPersistent* object) {
    m_entries.erase(object);
}

// ---- writer state ----

struct xmlDbWriterData {
    struct classEntry {
        std::wstring name;
        refPtr<xmlDbWriterClassDictionary> dictionary;
        xmlNode* table = nullptr; // in the open document; made on first append
        std::size_t lastSize = 0; // children of the last element written, room made for the next
    };
    struct pendingObject {
        const iPersistent* object;
        zv::guid id;
        classEntry* cls;
        bool recursive;
    };

    zv::directory relBasePath;
    zv::file target;
    refPtr<xmlDocument> document;
    genericSet writeAttributes;
    binaryBuffer* buffer = nullptr;
    detail::xmlNodeMaker nodes; // the open document's elements and properties
    std::unordered_map<std::wstring, classEntry> classes;
    unsigned int depth = 0;
    std::deque<pendingObject> pending;

    // Applications pass the same few names again and again: the last class
    // and the property names seen, by address (checked by content, since an
    // address may be reused for another text).
    const wchar_t* lastClassName = nullptr;
    classEntry* lastClass = nullptr;
    std::unordered_map<const wchar_t*, zv::string> propertyNames;
    zv::string scratch;

    const zv::string& propertyName(const wchar_t* name) {
        if (name == nullptr)
            checkElementName(name, L"property");
        if (propertyNames.size() > 4096)
            propertyNames.clear(); // names made on the fly: keep the cache small
        zv::string& cached = propertyNames[name];
        if (cached.empty() || cached != name) {
            checkElementName(name, L"property");
            cached = name;
        }
        return cached;
    }
};

namespace {

struct depthGuard {
    unsigned int& depth;
    explicit depthGuard(unsigned int& d) : depth(d) { ++depth; }
    ~depthGuard() { --depth; }
};

xmlDbWriterData::classEntry& classFor(xmlDbWriterData& d, const wchar_t* className) {
    if (className && className == d.lastClassName && d.lastClass && d.lastClass->name == className)
        return *d.lastClass;
    const std::wstring key(className ? className : L"");
    auto it = d.classes.find(key);
    if (it == d.classes.end()) {
        checkElementName(className, L"class");
        xmlDbWriterData::classEntry entry;
        entry.name = key;
        entry.dictionary = xmlDbWriterClassDictionary::create();
        if (!entry.dictionary)
            throw unexpectedErrorException(L"Error creating xmlDbWriterClassDictionary for %s", className);
        it = d.classes.emplace(key, std::move(entry)).first;
    }
    d.lastClassName = className;
    d.lastClass = &it->second;
    return it->second;
}

// Objects of a class mostly have the same properties: make room for as
// many as the last one had (within reason: one large object must not make
// every later one large).
refPtr<xmlNode> newElement(xmlDbWriterData& d, const xmlDbWriterData::classEntry& cls) {
    refPtr<xmlNode> element = d.nodes.make(zv::string(cls.name));
    detail::reserveChildren(*element, std::min<std::size_t>(cls.lastSize, 64));
    return element;
}

void appendToTable(xmlDbWriterData& d, xmlDbWriterData::classEntry& cls, const wchar_t* className,
                   refPtr<xmlNode>& element) {
    if (!cls.table)
        cls.table = d.document->createChildNode(zv::string(className) + L"_table").get();
    cls.table->addNode(element);
}

} // namespace

// ---- writer ----

xmlDbWriter::xmlDbWriter(const zv::file& target) : m_data(new xmlDbWriterData) {
    m_data->target = target;
}

xmlDbWriter::xmlDbWriter(binaryBuffer* buffer, const zv::directory& relBasePath)
    : m_data(new xmlDbWriterData) {
    m_data->buffer = buffer;
    m_data->relBasePath = relBasePath;
}

xmlDbWriter::~xmlDbWriter() {
    try {
        close();
    } catch (const zv::exception& e) {
        detail::reportSuppressed(L"zv::xmlDbWriter::~xmlDbWriter", e);
    } catch (...) {
        detail::reportSuppressed(L"zv::xmlDbWriter::~xmlDbWriter", L"saving the database failed");
    }
    delete m_data;
}

void xmlDbWriter::create() {
    if (m_data->document)
        throw unexpectedErrorException(L"xmlDbWriter::create: database already open");
    refPtr<xmlDocument> doc = xmlDocument::createXmlDocument();
    doc->setName(dbRootName());
    doc->setAttribute(L"version", L"2");
    // A database that exists already stays until the next save replaces it.
    if (!m_data->buffer && !m_data->target.exists())
        doc->save(m_data->target, xmlDocument::eUTF8);
    // Objects written into an earlier database are written again into this one.
    m_data->classes.clear();
    m_data->lastClass = nullptr;
    m_data->lastClassName = nullptr;
    m_data->pending.clear();
    m_data->document = doc;
}

void xmlDbWriter::flush() {
    if (!m_data->document)
        create();
    if (m_data->buffer)
        m_data->document->save(*m_data->buffer, xmlDocument::eUTF8);
    else
        m_data->document->save(m_data->target, xmlDocument::eUTF8); // replaces the target in one step
    m_data->document = nullptr;
    m_data->nodes.reset();
    for (auto& [name, cls] : m_data->classes)
        cls.table = nullptr;
}

void xmlDbWriter::close() {
    if (m_data->document)
        flush();
}

bool xmlDbWriter::isOpen() const {
    return m_data->document != nullptr;
}

void xmlDbWriter::setAttribute(const zv::string& name, const zv::string& value) {
    if (!m_data->document)
        create();
    if (!detail::isValidDbElementName(name.c_str()))
        throw unexpectedErrorException(L"xmlDbWriter::setAttribute: invalid attribute name \"%s\"",
                                       name.c_str());
    m_data->document->setAttribute(name, value);
}

zv::guid xmlDbWriter::writeObject(const iPersistent* object, bool recursive) {
    if (!m_data->document)
        create();
    if (object == nullptr)
        return zv::guid();
    const wchar_t* className = object->className();
    xmlDbWriterData::classEntry& cls = classFor(*m_data, className);
    if (const zv::guid* known = cls.dictionary->find(object))
        return *known;

    const zv::guid id = object->guid();
    // Entered before writing, so that a cycle ends here.
    cls.dictionary->insert(object, id);
    if (m_data->depth >= maxWriteDepth) {
        m_data->pending.push_back({object, id, &cls, recursive});
        return id;
    }

    auto writeOne = [this](const iPersistent* obj, const zv::guid& objId, xmlDbWriterData::classEntry& c,
                           bool rec) {
        depthGuard guard(m_data->depth);
        const wchar_t* name = obj->className();
        refPtr<xmlNode> element = newElement(*m_data, c);
        if (objId.isInitialized())
            detail::setAttribute(*element, L"id", objId.toString());
        try {
            xmlDbOStream os(this, element, rec);
            obj->writeTo(&os);
            c.lastSize = element->childNodes().size();
        } catch (...) {
            // Not stored: forget it, so that a later write tries again.
            c.dictionary->erase(obj);
            throw;
        }
        appendToTable(*m_data, c, name, element);
    };

    const bool outermost = m_data->depth == 0;
    try {
        writeOne(object, id, cls, recursive);
        if (outermost) {
            while (!m_data->pending.empty()) {
                xmlDbWriterData::pendingObject next = m_data->pending.front();
                m_data->pending.pop_front();
                writeOne(next.object, next.id, *next.cls, next.recursive);
            }
        }
    } catch (...) {
        if (outermost) {
            // Objects still waiting were never stored; the dictionaries must
            // not claim them, so drop this database's entries for them.
            for (const xmlDbWriterData::pendingObject& p : m_data->pending)
                p.cls->dictionary->erase(p.object);
            m_data->pending.clear();
        }
        throw;
    }
    return id;
}

void xmlDbWriter::write(const iDataConverter& converter, bool recursive) {
    if (!m_data->document)
        create();
    const wchar_t* className = converter.className();
    xmlDbWriterData::classEntry& cls = classFor(*m_data, className);
    refPtr<xmlNode> element = newElement(*m_data, cls);
    xmlDbOStream os(this, element, recursive);
    converter.writeTo(&os);
    cls.lastSize = element->childNodes().size();
    appendToTable(*m_data, cls, className, element);
}

const zv::file& xmlDbWriter::file() const {
    return m_data->target;
}
const zv::directory& xmlDbWriter::relBasePath() const {
    return m_data->relBasePath;
}
void xmlDbWriter::setRelBasePath(const zv::directory& dir) {
    m_data->relBasePath = dir;
}
const zv::genericSet& xmlDbWriter::writeAttributes() const {
    return m_data->writeAttributes;
}
void xmlDbWriter::setWriteAttributes(const zv::genericSet& attributes) {
    m_data->writeAttributes = attributes;
}

// ---- output stream ----

xmlDbOStream::xmlDbOStream(xmlDbWriter* writer, const refPtr<xmlNode>& element, bool recursive)
    : m_writer(writer), m_element(element), m_recursive(recursive) {}

xmlDbOStream::~xmlDbOStream() = default;

const zv::genericSet& xmlDbOStream::writeAttributes() {
    static const genericSet none;
    return m_writer ? m_writer->writeAttributes() : none;
}

refPtr<xmlNode> xmlDbOStream::addProperty(const wchar_t* name, bool asProperty) {
    if (asProperty) {
        if (name == nullptr)
            throw unexpectedErrorException(L"xmlDbOStream::write: property without name");
        refPtr<xmlNode> child = m_element->createChildNode(L"Property");
        child->setAttribute(L"name", name);
        return child;
    }
    if (m_writer) {
        xmlDbWriterData& d = *m_writer->m_data;
        return refPtr<xmlNode>(&detail::appendLeaf(d.nodes, *m_element, d.propertyName(name), zv::string()));
    }
    checkElementName(name, L"property");
    return m_element->createChildNode(zv::string(name));
}

void xmlDbOStream::addText(const wchar_t* name, const zv::string& text, bool asProperty) {
    addText(name, zv::string(text), asProperty);
}

void xmlDbOStream::addText(const wchar_t* name, zv::string&& text, bool asProperty) {
    if (m_writer && !asProperty) {
        xmlDbWriterData& d = *m_writer->m_data;
        detail::appendLeaf(d.nodes, *m_element, d.propertyName(name), std::move(text));
        return;
    }
    detail::setText(*addProperty(name, asProperty), std::move(text));
}

zv::string& xmlDbOStream::scratch() {
    static thread_local zv::string own;
    zv::string& s = m_writer ? m_writer->m_data->scratch : own;
    s.clear();
    return s;
}

namespace {

template <class T>
const zv::string& numberText(zv::string& text, T value) {
    dtconvert(text, value);
    return text;
}

zv::string joined(std::initializer_list<double> values) {
    zv::string text;
    for (double v : values) {
        if (!text.empty())
            text += L',';
        text += detail::dbDoubleText(v);
    }
    return text;
}

} // namespace

void xmlDbOStream::write(const wchar_t* name, const zv::objectInfo& info, bool asProperty) {
    refPtr<xmlNode> p = addProperty(name, asProperty);
    detail::setAttribute(*p, L"type", zv::string(info.typeName()));
    detail::setText(*p, info.objectGuid().toString());
}

void xmlDbOStream::write(const wchar_t* name, const iPersistent* object, bool asProperty) {
    refPtr<xmlNode> p = addProperty(name, asProperty);
    if (object == nullptr) {
        p->setText(L"0");
        return;
    }
    detail::setAttribute(*p, L"type", zv::string(object->className()));
    const zv::guid id = m_recursive && m_writer ? m_writer->writeObject(object, true) : object->guid();
    detail::setText(*p, id.toString());
}

void xmlDbOStream::write(const wchar_t* name, const iDataConverter& converter, bool asProperty) {
    if (!asProperty)
        checkElementName(name, L"property");
    else if (name == nullptr)
        throw unexpectedErrorException(L"xmlDbOStream::write: property without name");
    refPtr<xmlNode> nested = xmlNode::createXmlNode(zv::string(asProperty ? L"Property" : name));
    nested->setAttribute(L"type", converter.className());
    if (asProperty)
        nested->setAttribute(L"name", name);
    xmlDbOStream os(m_writer, nested, m_recursive);
    converter.writeTo(&os);
    m_element->addNode(nested);
}

void xmlDbOStream::writeAggregated(const wchar_t* name, const iPersistent* object, bool asProperty) {
    if (object == nullptr) {
        addText(name, zv::string(L"0"), asProperty);
        return;
    }
    if (!asProperty)
        checkElementName(name, L"property");
    else if (name == nullptr)
        throw unexpectedErrorException(L"xmlDbOStream::write: property without name");
    refPtr<xmlNode> nested = xmlNode::createXmlNode(zv::string(asProperty ? L"Property" : name));
    nested->setAttribute(L"type", object->className());
    if (asProperty)
        nested->setAttribute(L"name", name);
    xmlDbOStream os(m_writer, nested, m_recursive);
    object->writeTo(&os);
    m_element->addNode(nested);
}

void xmlDbOStream::write(const wchar_t* name, const zv::string& value, bool asProperty) {
    addText(name, value, asProperty);
}

void xmlDbOStream::write(const wchar_t* name, double a, double b, double c, double d, bool asProperty) {
    addText(name, joined({a, b, c, d}), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, double a, double b, double c, bool asProperty) {
    addText(name, joined({a, b, c}), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, double a, double b, bool asProperty) {
    addText(name, joined({a, b}), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, double value, bool asProperty) {
    addText(name, detail::dbDoubleText(value), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, float value, bool asProperty) {
    addText(name, detail::dbDoubleText(static_cast<double>(value)), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, unsigned long value, bool asProperty) {
    addText(name, numberText(scratch(), value), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, long value, bool asProperty) {
    addText(name, numberText(scratch(), value), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, unsigned int a, unsigned int b, bool asProperty) {
    zv::string& text = scratch();
    zv::string second;
    dtconvert(text, a);
    dtconvert(second, b);
    text += L',';
    text += second;
    addText(name, text, asProperty);
}

void xmlDbOStream::write(const wchar_t* name, unsigned int value, bool asProperty) {
    addText(name, numberText(scratch(), value), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, int value, bool asProperty) {
    addText(name, numberText(scratch(), value), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, unsigned short value, bool asProperty) {
    addText(name, numberText(scratch(), value), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, short value, bool asProperty) {
    addText(name, numberText(scratch(), value), asProperty);
}

// A character is stored as the one code unit of its value; 0 as the empty
// text, since a NUL would end the document when it is read.
void xmlDbOStream::write(const wchar_t* name, unsigned char value, bool asProperty) {
    addText(name, value ? zv::string(static_cast<wchar_t>(value)) : zv::string(), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, char value, bool asProperty) {
    const auto unit = static_cast<std::uint16_t>(static_cast<std::int16_t>(static_cast<signed char>(value)));
    addText(name, value ? zv::string(static_cast<wchar_t>(unit)) : zv::string(), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, bool value, bool asProperty) {
    addText(name, zv::string(value ? L"1" : L"0"), asProperty);
}

namespace {

zv::string relativeName(const fsEntryName& entry, const zv::directory& base) {
    zv::string rel = entry.relativeNameTo(base);
    // No relation (no base, another kind of root): keep the full name rather than nothing.
    return rel.empty() ? zv::string(entry) : rel;
}

} // namespace

void xmlDbOStream::write(const wchar_t* name, const zv::directory& value, bool asProperty) {
    addText(name, relativeName(value, m_writer ? m_writer->relBasePath() : zv::directory()), asProperty);
}

void xmlDbOStream::write(const wchar_t* name, const zv::file& value, bool asProperty) {
    addText(name, relativeName(value, m_writer ? m_writer->relBasePath() : zv::directory()), asProperty);
}

} // namespace zv
