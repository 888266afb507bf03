// zvXmlDbReader.cpp - the object database reader and its input stream.
#include "zvXmlDbReader.h"

#include "os/zvOsFileSystem.h"
#include "zvBinaryBuffer.h"
#include "zvDirectory.h"
#include "zvDtConvert.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvGenericSet.h"
#include "zvXml.h"

#include <deque>
#include <limits>
#include <set>
#include <unordered_map>

namespace zv {

namespace {

// Objects referred to deeper than this are read after the object that refers
// to them, so that a long chain of references cannot exhaust the stack.
constexpr unsigned int maxReadDepth = 200;

bool parseObjectNumber(const zv::string& text, unsigned long long& number) {
    if (text.empty() || text.size() > 19)
        return false;
    number = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        number = number * 10 + static_cast<unsigned>(c - L'0');
    }
    return number != 0;
}

} // namespace

// ---- class dictionary ----

refPtr<xmlDbReaderClassDictionary> xmlDbReaderClassDictionary::create() {
    return refPtr<xmlDbReaderClassDictionary>(new xmlDbReaderClassDictionary());
}

xmlDbReaderClassDictionary::xmlDbReaderClassDictionary() = default;
xmlDbReaderClassDictionary::~xmlDbReaderClassDictionary() = default;

iPersistent* xmlDbReaderClassDictionary::find(const zv::guid& id) const {
    auto it = m_objects.find(id);
    return it == m_objects.end() ? nullptr : it->second.get();
}

void xmlDbReaderClassDictionary::insert(const zv::guid& id, iPersistent* object) {
    m_objects[id] = object;
}

void xmlDbReaderClassDictionary::erase(const zv::guid& id) {
    m_objects.erase(id);
}

// ---- reader state ----

struct xmlDbReaderData {
    // One table of the open document, indexed on first use.
    struct tableIndex {
        xmlNode* table = nullptr;
        bool indexed = false;
        // version 2: "id" attribute -> first element; version 1: lower-case element name -> first element
        std::unordered_map<std::wstring, xmlNode*> elements;
    };
    struct pendingObject {
        refPtr<iPersistent> object;
        refPtr<xmlNode> element;
        refPtr<xmlDbReaderClassDictionary> dictionary;
        zv::guid id;
    };

    zv::directory relBasePath;
    zv::file source;
    refPtr<xmlDocument> document;
    unsigned int version = 2;
    genericSet readAttributes;
    binaryBuffer* buffer = nullptr;
    std::set<iObjectFactory*> factories;
    std::unordered_map<std::wstring, refPtr<xmlDbReaderClassDictionary>> dictionaries; // by lower-case class
    std::map<unsigned long long, zv::guid> numberToGuid;                               // version 1 only

    // The open document's tables: by exact name and by lower-case name (first wins).
    std::unordered_map<std::wstring, tableIndex> tables;
    std::unordered_map<std::wstring, tableIndex*> tablesExact;
    std::unordered_map<std::wstring, tableIndex*> tablesLower;

    unsigned int depth = 0;
    std::deque<pendingObject> pending;

    // The class last asked for (exact name), its dictionary and table: a
    // reader is asked for the same class many times in a row.
    zv::string lastClass;
    refPtr<xmlDbReaderClassDictionary> lastDictionary;
    tableIndex* lastTable = nullptr;
    bool lastTableKnown = false;

    refPtr<xmlDbReaderClassDictionary> dictionaryFor(const zv::string& className) {
        if (lastDictionary && className == lastClass)
            return lastDictionary;
        refPtr<xmlDbReaderClassDictionary>& dict = dictionaries[className.lower()];
        if (!dict)
            dict = xmlDbReaderClassDictionary::create();
        if (!dict)
            throw unexpectedErrorException(L"Error creating xmlDbReaderClassDictionary for %s",
                                           className.c_str());
        lastClass = className;
        lastDictionary = dict;
        lastTableKnown = false;
        return dict;
    }

    // The table of the class `dictionaryFor` was last asked for.
    tableIndex* tableFor(const zv::string& className) {
        if (!lastTableKnown || className != lastClass) {
            lastTable = findTable(className);
            lastTableKnown = className == lastClass;
        }
        return lastTable;
    }

    tableIndex* findTable(const zv::string& className) {
        const zv::string name(className + L"_table");
        auto it = tablesExact.find(name);
        if (it != tablesExact.end())
            return it->second;
        auto lit = tablesLower.find(name.lower());
        return lit == tablesLower.end() ? nullptr : lit->second;
    }

    xmlNode* findElement(tableIndex& t, const zv::string& key) {
        if (!t.indexed) {
            t.elements.reserve(t.table->childNodes().size());
            zv::string id;
            for (const refPtr<xmlNode>& child : t.table->childNodes()) {
                if (version == 1)
                    t.elements.emplace(child->name().lower(), child.get());
                else if (child->getAttribute(L"id", id))
                    t.elements.emplace(id, child.get());
            }
            t.indexed = true;
        }
        auto it = t.elements.find(key);
        return it == t.elements.end() ? nullptr : it->second;
    }

    refPtr<iPersistent> createObject(const zv::string& className) {
        for (iObjectFactory* f : factories) {
            iPersistent* made = nullptr;
            f->createObject(className.c_str(), &made);
            if (made) {
                refPtr<iPersistent> result(made);
                made->release(); // the factory's reference now lives in `result`
                return result;
            }
        }
        throw unexpectedErrorException(L"xmlDbReader::readObject: Error creating object of class %s",
                                       className.c_str());
    }
};

namespace {

struct depthGuard {
    unsigned int& depth;
    explicit depthGuard(unsigned int& d) : depth(d) { ++depth; }
    ~depthGuard() { --depth; }
};

// Makes the reader's base folder current and restores the previous working
// directory on every way out.
class workingDirectoryGuard {
public:
    explicit workingDirectoryGuard(const zv::directory& dir) {
        if (dir.empty())
            return;
        m_saved = os::currentDirectory(m_previous);
        dir.makeCurrent();
    }
    ~workingDirectoryGuard() {
        if (m_saved)
            zv::directory(zv::string(m_previous)).makeCurrent();
    }
    workingDirectoryGuard(const workingDirectoryGuard&) = delete;
    workingDirectoryGuard& operator=(const workingDirectoryGuard&) = delete;

private:
    std::wstring m_previous;
    bool m_saved = false;
};

void readInto(iPersistent& object, xmlDbReader* reader, const refPtr<xmlNode>& element) {
    xmlDbIStream is(reader, element);
    try {
        object.readFrom(&is);
    } catch (const returnNullRefException&) {
        // The object ends its reading here and keeps what it has read.
    }
}

} // namespace

// ---- reader ----

xmlDbReader::xmlDbReader(const zv::file& source) : m_data(new xmlDbReaderData) {
    m_data->source = source;
}

xmlDbReader::xmlDbReader(binaryBuffer* buffer, const zv::directory& relBasePath)
    : m_data(new xmlDbReaderData) {
    m_data->buffer = buffer;
    m_data->relBasePath = relBasePath;
}

xmlDbReader::~xmlDbReader() {
    delete m_data;
}

void xmlDbReader::open() {
    if (m_data->document)
        throw unexpectedErrorException(L"xmlDbReader::open: database already open");
    refPtr<xmlDocument> doc = xmlDocument::createXmlDocument();
    if (m_data->buffer) {
        doc->load(m_data->buffer->data(), m_data->buffer->logicalLength(), false);
    } else {
        if (!m_data->source.exists())
            throw fileNotFoundException(m_data->source);
        binaryBuffer bytes;
        if (!bytes.readFromFile(m_data->source))
            throw readFileException(m_data->source);
        doc->load(bytes.data(), bytes.logicalLength(), false);
    }
    if (doc->name() != L"zvDatabase")
        throw unexpectedErrorException(L"xmlDbReader::open: invalid database format");
    unsigned int version = 2;
    zv::string text;
    if (doc->getAttribute(L"version", text) && !dtconvert(version, text))
        version = 2;

    m_data->tables.clear();
    m_data->tablesExact.clear();
    m_data->tablesLower.clear();
    m_data->lastTable = nullptr;
    m_data->lastTableKnown = false;
    m_data->tables.reserve(doc->childNodes().size());
    for (const refPtr<xmlNode>& child : doc->childNodes()) {
        auto [it, fresh] = m_data->tables.try_emplace(child->name());
        if (fresh) {
            it->second.table = child.get();
            m_data->tablesExact.emplace(child->name(), &it->second);
            m_data->tablesLower.emplace(child->name().lower(), &it->second);
        }
    }
    m_data->version = version;
    m_data->document = doc;
}

void xmlDbReader::close() {
    m_data->lastTable = nullptr;
    m_data->lastTableKnown = false;
    m_data->tablesExact.clear();
    m_data->tablesLower.clear();
    m_data->tables.clear();
    m_data->document = nullptr;
}

bool xmlDbReader::isOpen() const {
    return m_data->document != nullptr;
}

unsigned int xmlDbReader::version() const {
    return m_data->version;
}

bool xmlDbReader::getAttribute(const zv::string& name, zv::string& value) {
    if (!m_data->document)
        open();
    return m_data->document->getAttribute(name, value);
}

unsigned int xmlDbReader::count(const zv::string& className) {
    if (!m_data->document)
        open();
    xmlDbReaderData::tableIndex* t = m_data->findTable(className);
    return t ? static_cast<unsigned int>(t->table->childNodes().size()) : 0;
}

void xmlDbReader::readObject(const zv::string& className, const zv::string& id, iPersistent** object,
                             refPtr<xmlNode>* element) {
    if (id.empty() || id == L"0")
        return; // a null reference
    if (!m_data->document)
        assertFailed("m_p != NULL", __FILE__, __LINE__);

    const refPtr<xmlDbReaderClassDictionary> dictionary = m_data->dictionaryFor(className);

    zv::guid objectId;
    unsigned long long number = 0;
    if (m_data->version == 1) {
        if (!parseObjectNumber(id, number))
            throw unexpectedErrorException(
                L"xmlDbReader::readObject: objectnode for class %s and object id %s not found",
                className.c_str(), id.c_str());
        auto it = m_data->numberToGuid.find(number);
        if (it != m_data->numberToGuid.end())
            objectId = it->second;
    } else if (!zv::guid::tryFromString(id, objectId) || !objectId.isInitialized()) {
        throw unexpectedErrorException(L"xmlDbReader::readObject: objectnode for %s not found", id.c_str());
    }
    if (objectId.isInitialized()) {
        if (iPersistent* known = dictionary->find(objectId)) {
            known->addRef();
            *object = known;
            return;
        }
    }

    xmlDbReaderData::tableIndex* table = m_data->tableFor(className);
    if (!table)
        throw unexpectedErrorException(L"xmlDbReader::readObject: tablenode for %s not found",
                                       className.c_str());
    refPtr<xmlNode> node;
    if (element && *element) {
        node = *element;
    } else if (m_data->version == 1) {
        node = m_data->findElement(*table, zv::string(className + id).lower());
        if (!node)
            throw unexpectedErrorException(
                L"xmlDbReader::readObject: objectnode for class %s and object id %s not found",
                className.c_str(), id.c_str());
    } else {
        node = m_data->findElement(*table, id);
        if (!node)
            throw unexpectedErrorException(L"xmlDbReader::readObject: objectnode for %s not found",
                                           id.c_str());
    }

    refPtr<iPersistent> made = m_data->createObject(className);
    if (m_data->version == 1) {
        if (!objectId.isInitialized())
            objectId = m_data->numberToGuid.emplace(number, zv::guid::create()).first->second;
    }
    // Entered before reading, so that references back to it resolve to it.
    dictionary->insert(objectId, made.get());

    if (m_data->depth >= maxReadDepth) {
        m_data->pending.push_back({made, node, dictionary, objectId});
    } else {
        const bool outermost = m_data->depth == 0;
        try {
            {
                depthGuard guard(m_data->depth);
                readInto(*made, this, node);
            }
            if (outermost) {
                while (!m_data->pending.empty()) {
                    xmlDbReaderData::pendingObject next = m_data->pending.front();
                    m_data->pending.pop_front();
                    try {
                        depthGuard guard(m_data->depth);
                        readInto(*next.object, this, next.element);
                    } catch (...) {
                        next.dictionary->erase(next.id);
                        throw;
                    }
                }
            }
        } catch (...) {
            // An object whose reading failed is not kept.
            dictionary->erase(objectId);
            if (outermost) {
                for (const xmlDbReaderData::pendingObject& p : m_data->pending)
                    p.dictionary->erase(p.id);
                m_data->pending.clear();
            }
            throw;
        }
    }
    *object = made.get();
    made->addRef();
}

void xmlDbReader::read(iDataConverter& converter, unsigned int index) {
    if (!m_data->document)
        open();
    const zv::string className(converter.className());
    xmlDbReaderData::tableIndex* table = m_data->findTable(className);
    if (!table)
        throw unexpectedErrorException(L"xmlDbReader::read: tablenode for %s not found", className.c_str());
    const xmlNode::nodeList& entries = table->table->childNodes();
    if (index >= entries.size())
        throw unexpectedErrorException(L"xmlDbReader::read: objectindex %d within tablenode for %s not found",
                                       static_cast<int>(index), className.c_str());
    xmlDbIStream is(this, entries[index]);
    converter.readFrom(&is);
}

void xmlDbReader::readAllObjects(const zv::string& className, std::vector<refPtr<iPersistent>>& objects) {
    if (!m_data->document)
        open();
    workingDirectoryGuard cwd(m_data->relBasePath);
    xmlDbReaderData::tableIndex* table = m_data->findTable(className);
    if (!table)
        return;
    // A snapshot: an object that closes the reader while it reads must not
    // pull the list away under this loop.
    const xmlNode::nodeList entries = table->table->childNodes();
    objects.reserve(objects.size() + entries.size());
    const zv::string lowerName = className.lower();
    zv::string id;
    for (const refPtr<xmlNode>& child : entries) {
        id.clear();
        if (m_data->version == 1) {
            const zv::string childName = child->name().lower();
            std::size_t start = 0;
            while (start < childName.size() && lowerName.find(childName[start]) != zv::string::npos)
                ++start;
            if (start == childName.size())
                throw unexpectedErrorException(L"xmlDbReader::readAllObjects: invalid file format");
            id = childName.substr(start);
            unsigned long long number = 0;
            if (!parseObjectNumber(id, number))
                throw unexpectedErrorException(
                    L"xmlDbReader::readAllObjects: invalid tableentry for %s not found", lowerName.c_str());
        } else if (!child->name().isEqualTo(lowerName, false) || !child->getAttribute(L"id", id)) {
            throw unexpectedErrorException(L"xmlDbReader::readAllObjects: invalid file format");
        }
        iPersistent* object = nullptr;
        refPtr<xmlNode> element = child;
        try {
            readObject(lowerName, id, &object, m_data->version == 1 ? nullptr : &element);
        } catch (const returnNullRefException&) {
            continue;
        }
        if (object) {
            objects.emplace_back(object);
            object->release();
        }
    }
}

void xmlDbReader::addObjectFactory(iObjectFactory* factory) {
    if (factory)
        m_data->factories.insert(factory);
}

void xmlDbReader::releaseObjectFactory(iObjectFactory* factory) {
    m_data->factories.erase(factory);
}

const zv::file& xmlDbReader::file() const {
    return m_data->source;
}
const zv::directory& xmlDbReader::relBasePath() const {
    return m_data->relBasePath;
}
void xmlDbReader::setRelBasePath(const zv::directory& dir) {
    m_data->relBasePath = dir;
}
const zv::genericSet& xmlDbReader::readAttributes() const {
    return m_data->readAttributes;
}
void xmlDbReader::setReadAttributes(const zv::genericSet& attributes) {
    m_data->readAttributes = attributes;
}

// ---- input stream ----

xmlDbIStream::xmlDbIStream(xmlDbReader* reader, const refPtr<xmlNode>& element)
    : m_reader(reader), m_element(element) {}

xmlDbIStream::~xmlDbIStream() = default;

xmlDbReader& xmlDbIStream::reader() {
    if (!m_reader)
        assertFailed("mpDatabase", __FILE__, __LINE__);
    return *m_reader;
}

const zv::genericSet& xmlDbIStream::readAttributes() {
    static const genericSet none;
    return m_reader ? m_reader->readAttributes() : none;
}

namespace {

bool matches(const xmlNode& child, const wchar_t* name, bool asProperty, bool generic) {
    if (generic)
        return child.name() == L"Property" && child.hasAttribute(L"name");
    if (!asProperty)
        return child.name() == name;
    if (child.name() != L"Property")
        return false;
    for (const xmlNode::attribute& a : child.attributes())
        if (a.first == L"name")
            return a.second == name;
    return false;
}

} // namespace

xmlNode* xmlDbIStream::find(const wchar_t* name, unsigned int index, bool asProperty) {
    // `name` null selects the generic properties (any "Property" with a name).
    const bool generic = name == nullptr;
    const xmlNode::nodeList& children = m_element->childNodes();
    cursor* slot = nullptr;
    for (cursor& c : m_cursors)
        if (c.generic == generic && c.asProperty == asProperty && (generic || c.name == name)) {
            slot = &c;
            break;
        }
    std::size_t from = 0;
    unsigned int seen = 0;
    if (slot && slot->index <= index && slot->position < children.size()) {
        if (slot->index == index)
            return children[slot->position].get();
        from = slot->position + 1;
        seen = slot->index + 1;
    }
    for (std::size_t i = from; i < children.size(); ++i) {
        if (!matches(*children[i], name, asProperty, generic))
            continue;
        if (seen++ == index) {
            if (index == 0 && !slot)
                return children[i].get(); // the first match needs no cursor
            if (!slot) {
                if (m_cursors.size() >= 8)
                    m_cursors.erase(m_cursors.begin());
                m_cursors.push_back(cursor());
                slot = &m_cursors.back();
                slot->name = generic ? zv::string() : zv::string(name);
                slot->asProperty = asProperty;
                slot->generic = generic;
            }
            slot->index = index;
            slot->position = i;
            return children[i].get();
        }
    }
    return nullptr;
}

xmlNode& xmlDbIStream::get(const wchar_t* name, unsigned int index, bool asProperty) {
    if (name == nullptr)
        throw attributeNotFoundException(L"", static_cast<long>(index));
    xmlNode* node = find(name, index, asProperty);
    if (!node)
        throw attributeNotFoundException(name, static_cast<long>(index));
    return *node;
}

namespace {

template <class T>
void convertText(const xmlNode& node, const wchar_t* name, unsigned int index, T& value,
                 const wchar_t* type) {
    T converted{};
    if (!dtconvert(converted, node.text()))
        throw invalidAttributeType(name, static_cast<long>(index), node.text(), type);
    value = converted;
}

template <std::size_t N>
void convertList(const xmlNode& node, const wchar_t* name, unsigned int index, double* (&values)[N],
                 const wchar_t* type) {
    std::vector<zv::string> parts;
    double converted[N];
    if (!node.text().splitAt(L",", parts, false) || parts.size() != N)
        throw invalidAttributeType(name, static_cast<long>(index), node.text(), type);
    for (std::size_t i = 0; i < N; ++i)
        if (!dtconvert(converted[i], parts[i]))
            throw invalidAttributeType(name, static_cast<long>(index), node.text(), type);
    for (std::size_t i = 0; i < N; ++i)
        *values[i] = converted[i];
}

const zv::string& storedType(const xmlNode& node, zv::string& scratch) {
    return node.getAttribute(L"type", scratch) ? scratch : node.name();
}

} // namespace

void xmlDbIStream::read(const wchar_t* name, zv::objectInfo& info, unsigned int index, bool asProperty) {
    xmlNode& node = get(name, index, asProperty);
    zv::string scratch;
    zv::guid id;
    if (!zv::guid::tryFromString(node.text(), id))
        throw invalidAttributeType(name, static_cast<long>(index), node.text(), L"zv::objectInfo");
    info.setTypeName(storedType(node, scratch).lower());
    info.setObjectGuid(id);
}

void xmlDbIStream::read(const wchar_t* name, iPersistent** object, unsigned int index, bool asProperty) {
    *object = nullptr;
    xmlNode& node = get(name, index, asProperty);
    zv::string scratch;
    const zv::string type = storedType(node, scratch);
    const zv::string id = node.text();
    reader().readObject(type, id, object, nullptr);
}

void xmlDbIStream::read(const wchar_t* name, iDataConverter& converter, unsigned int index, bool asProperty) {
    xmlNode& node = get(name, index, asProperty);
    zv::string scratch;
    const zv::string& type = storedType(node, scratch);
    const wchar_t* expected = converter.className();
    if (type != expected)
        throw invalidAttributeType(name, static_cast<long>(index), type, expected);
    if (m_depth >= xmlDbReader::maxNesting)
        throw unexpectedErrorException(L"xmlDbIStream::read: values nested deeper than %u levels",
                                       xmlDbReader::maxNesting);
    xmlDbIStream nested(m_reader, refPtr<xmlNode>(&node));
    nested.m_depth = m_depth + 1;
    converter.readFrom(&nested);
}

void xmlDbIStream::readAggregated(const wchar_t* name, iPersistent** object, unsigned int index,
                                  bool asProperty) {
    *object = nullptr;
    xmlNode& node = get(name, index, asProperty);
    xmlDbReader& db = reader();
    zv::string type;
    if (!node.getAttribute(L"type", type)) {
        if (node.text() == L"0" && node.childNodes().empty())
            return; // a null aggregated object
        type = node.name();
    }
    if (m_depth >= xmlDbReader::maxNesting)
        throw unexpectedErrorException(L"xmlDbIStream::readAggregated: values nested deeper than %u levels",
                                       xmlDbReader::maxNesting);
    refPtr<iPersistent> made = db.m_data->createObject(type);
    xmlDbIStream nested(m_reader, refPtr<xmlNode>(&node));
    nested.m_depth = m_depth + 1;
    made->readFrom(&nested);
    *object = made.get();
    made->addRef();
}

void xmlDbIStream::read(const wchar_t* name, zv::string& value, unsigned int index, bool asProperty) {
    value = get(name, index, asProperty).text();
}

void xmlDbIStream::read(const wchar_t* name, zv::directory& value, unsigned int index, bool asProperty) {
    const zv::string& text = get(name, index, asProperty).text();
    xmlDbReader& db = reader();
    if (!text.empty() && text[0] == L'.')
        value = zv::directory(db.relBasePath(), text);
    else
        value = zv::directory(text);
}

void xmlDbIStream::read(const wchar_t* name, zv::file& value, unsigned int index, bool asProperty) {
    const zv::string& text = get(name, index, asProperty).text();
    xmlDbReader& db = reader();
    if (!text.empty() && text[0] == L'.')
        value = zv::file(db.relBasePath(), text);
    else
        value = zv::file(text);
}

void xmlDbIStream::read(const wchar_t* name, double& a, double& b, double& c, double& d, unsigned int index,
                        bool asProperty) {
    double* values[4] = {&a, &b, &c, &d};
    convertList(get(name, index, asProperty), name, index, values, L"double,double,double,double");
}

void xmlDbIStream::read(const wchar_t* name, double& a, double& b, double& c, unsigned int index,
                        bool asProperty) {
    double* values[3] = {&a, &b, &c};
    convertList(get(name, index, asProperty), name, index, values, L"double,double,double");
}

void xmlDbIStream::read(const wchar_t* name, double& a, double& b, unsigned int index, bool asProperty) {
    double* values[2] = {&a, &b};
    convertList(get(name, index, asProperty), name, index, values, L"double,double");
}

void xmlDbIStream::read(const wchar_t* name, double& value, unsigned int index, bool asProperty) {
    convertText(get(name, index, asProperty), name, index, value, L"double");
}

void xmlDbIStream::read(const wchar_t* name, float& value, unsigned int index, bool asProperty) {
    convertText(get(name, index, asProperty), name, index, value, L"float");
}

void xmlDbIStream::read(const wchar_t* name, unsigned long& value, unsigned int index, bool asProperty) {
    convertText(get(name, index, asProperty), name, index, value, L"unsigned long");
}

void xmlDbIStream::read(const wchar_t* name, long& value, unsigned int index, bool asProperty) {
    convertText(get(name, index, asProperty), name, index, value, L"long");
}

void xmlDbIStream::read(const wchar_t* name, unsigned int& a, unsigned int& b, unsigned int index,
                        bool asProperty) {
    const xmlNode& node = get(name, index, asProperty);
    std::vector<zv::string> parts;
    unsigned int x = 0, y = 0;
    if (!node.text().splitAt(L",", parts, false) || parts.size() != 2 || !dtconvert(x, parts[0]) ||
        !dtconvert(y, parts[1]))
        throw invalidAttributeType(name, static_cast<long>(index), node.text(), L"unsigned int,unsigned int");
    a = x;
    b = y;
}

void xmlDbIStream::read(const wchar_t* name, unsigned int& value, unsigned int index, bool asProperty) {
    convertText(get(name, index, asProperty), name, index, value, L"unsigned int");
}

void xmlDbIStream::read(const wchar_t* name, int& value, unsigned int index, bool asProperty) {
    convertText(get(name, index, asProperty), name, index, value, L"int");
}

void xmlDbIStream::read(const wchar_t* name, unsigned short& value, unsigned int index, bool asProperty) {
    convertText(get(name, index, asProperty), name, index, value, L"unsigned short");
}

void xmlDbIStream::read(const wchar_t* name, short& value, unsigned int index, bool asProperty) {
    convertText(get(name, index, asProperty), name, index, value, L"short");
}

namespace {

// One code unit gives its low 8 bits; the empty text (how 0 is stored) gives 0.
unsigned char charOf(const xmlNode& node, const wchar_t* name, unsigned int index, const wchar_t* type) {
    const zv::string& text = node.text();
    if (text.size() > 1)
        throw invalidAttributeType(name, static_cast<long>(index), text, type);
    return text.empty() ? 0 : static_cast<unsigned char>(static_cast<unsigned>(text[0]) & 0xFFu);
}

} // namespace

void xmlDbIStream::read(const wchar_t* name, unsigned char& value, unsigned int index, bool asProperty) {
    value = charOf(get(name, index, asProperty), name, index, L"unsigned char");
}

void xmlDbIStream::read(const wchar_t* name, char& value, unsigned int index, bool asProperty) {
    value = static_cast<char>(charOf(get(name, index, asProperty), name, index, L"char"));
}

void xmlDbIStream::read(const wchar_t* name, bool& value, unsigned int index, bool asProperty) {
    convertText(get(name, index, asProperty), name, index, value, L"bool");
}

unsigned int xmlDbIStream::count(const wchar_t* name, bool asProperty) {
    if (name == nullptr)
        return 0;
    unsigned int n = 0;
    for (const refPtr<xmlNode>& child : m_element->childNodes())
        n += matches(*child, name, asProperty, false) ? 1 : 0;
    return n;
}

unsigned int xmlDbIStream::countProperties() {
    unsigned int n = 0;
    for (const refPtr<xmlNode>& child : m_element->childNodes())
        n += matches(*child, nullptr, true, true) ? 1 : 0;
    return n;
}

void xmlDbIStream::readProperty(zv::string& name, zv::string& value, unsigned int index) {
    xmlNode* node = find(nullptr, index, true);
    if (!node)
        throw attributeNotFoundException(L"Property", static_cast<long>(index));
    node->getAttribute(L"name", name);
    value = node->text();
}

} // namespace zv
