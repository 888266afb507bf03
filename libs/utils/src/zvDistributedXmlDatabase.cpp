#include "zvDistributedXmlDatabase.h"

#include "zvAtomicFile.h"
#include "zvBinaryBuffer.h"
#include "zvException.h"
#include "zvFsEntryMutex.h"
#include "zvGuid.h"
#include "zvXml.h"
#include "zvXmlDbReader.h"
#include "zvXmlDbWriter.h"

#include "os/zvOs.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <utility>

namespace zv {

namespace {

const wchar_t* const kExtension = L".zvdb";

os::fileStamp stampOf(const zv::file& f) {
    os::fileStamp s;
    if (!os::readFileStamp(f.c_str(), s))
        return os::fileStamp();
    return s;
}

zv::string foldedName(const zv::string& name) {
    return name.lower();
}

zv::guid idOf(const zv::string& id, const wchar_t* operation) {
    zv::guid g;
    if (!zv::guid::tryFromString(id, g))
        throw unexpectedErrorException(L"distributedXmlDatabase::%s: invalid object id %s", operation,
                                       id.c_str());
    return g;
}

class classReader;

// One class: its file, what the file was when it was taken in, and the
// objects read from it in the file's order.
struct classEntry {
    zv::string name;
    zv::file file;
    bool taken = false;  // loaded or written at least once
    os::fileStamp stamp; // the file when it was taken in
    std::vector<std::pair<zv::guid, refPtr<iPersistent>>> objects;
    std::map<zv::guid, iPersistent*> byId; // the same objects, for lookups

    // While the file loads: its reader and the ids it holds, so that
    // references back into the class resolve to the instances being made.
    classReader* loading = nullptr;
    std::map<zv::guid, zv::string> loadingIds; // guid -> the id as stored

    iPersistent* find(const zv::guid& id) const {
        const auto it = byId.find(id);
        return it == byId.end() ? nullptr : it->second;
    }

    void setObjects(std::vector<std::pair<zv::guid, refPtr<iPersistent>>> list) {
        std::map<zv::guid, iPersistent*> index;
        for (const auto& [g, object] : list)
            index.emplace(g, object.get()); // the first of a repeated id, as the reader takes it
        objects.swap(list);
        byId.swap(index);
    }
};

} // namespace

struct distributedXmlDatabaseData {
    zv::directory directory;
    std::map<zv::string, std::unique_ptr<classEntry>> classes; // by folded name
    std::vector<iObjectFactory*> factories;
    unsigned int loadDepth = 0; // class files being loaded, one inside the other

    classEntry& entry(const zv::string& className);
    void makeCurrent(classEntry& e);
    void load(classEntry& e, const os::fileStamp& stamp);
    // A reference from another class's file.
    void resolve(const zv::string& className, const zv::string& id, iPersistent** object);
    void writeClass(classEntry& e, const std::vector<std::pair<zv::guid, refPtr<iPersistent>>>& objects,
                    bool checkUnchanged);
};

namespace {

// Reads one class file; references to other classes go to the database.
class classReader : public xmlDbReader {
public:
    classReader(binaryBuffer* buffer, const zv::directory& dir, distributedXmlDatabaseData& db, classEntry& e)
        : xmlDbReader(buffer, dir), m_db(db), m_entry(e) {}

    void readObject(const zv::string& className, const zv::string& id, iPersistent** object,
                    refPtr<xmlNode>* element) override {
        if (className.isEqualTo(m_entry.name, false))
            xmlDbReader::readObject(m_entry.name, id, object, element);
        else
            m_db.resolve(className, id, object);
    }

private:
    distributedXmlDatabaseData& m_db;
    classEntry& m_entry;
};

// Clears the entry's loading state on every way out.
struct loadingScope {
    classEntry& e;
    unsigned int& depth;
    loadingScope(classEntry& entry, classReader* reader, unsigned int& loadDepth)
        : e(entry), depth(loadDepth) {
        e.loading = reader;
        ++depth;
    }
    ~loadingScope() {
        e.loading = nullptr;
        e.loadingIds.clear();
        --depth;
    }
    loadingScope(const loadingScope&) = delete;
    loadingScope& operator=(const loadingScope&) = delete;
};

// The object elements of the class's table and their ids, as the reader
// finds them: the table by exact name, else ignoring case.
std::vector<zv::string> storedIds(const xmlDocument& doc, const zv::string& className) {
    const zv::string tableName = className + L"_table";
    const_refPtr<xmlNode> table = doc.getFirstChildNode(tableName, true);
    if (!table)
        table = doc.getFirstChildNode(tableName, false);
    std::vector<zv::string> ids;
    if (!table)
        return ids;
    for (const refPtr<xmlNode>& child : table->childNodes()) {
        zv::string id;
        if (child->name().isEqualTo(className, false) && child->getAttribute(L"id", id))
            ids.push_back(id);
    }
    return ids;
}

} // namespace

classEntry& distributedXmlDatabaseData::entry(const zv::string& className) {
    if (!distributedXmlDatabase::isValidClassName(className))
        throw unexpectedErrorException(L"distributedXmlDatabase: invalid class name %s", className.c_str());
    auto [it, added] = classes.try_emplace(foldedName(className));
    if (added) {
        it->second = std::make_unique<classEntry>();
        it->second->name = className;
        it->second->file = zv::file(directory, className + kExtension);
    }
    return *it->second;
}

void distributedXmlDatabaseData::makeCurrent(classEntry& e) {
    if (e.loading)
        return; // a reference back into a class that is being loaded
    const os::fileStamp now = stampOf(e.file);
    if (e.taken && now == e.stamp)
        return;
    load(e, now);
}

void distributedXmlDatabaseData::load(classEntry& e, const os::fileStamp& stamp) {
    std::vector<std::pair<zv::guid, refPtr<iPersistent>>> objects;
    if (stamp.exists) {
        binaryBuffer bytes;
        if (!bytes.readFromFile(e.file))
            throw readFileException(e.file);
        refPtr<xmlDocument> doc = xmlDocument::createXmlDocument();
        doc->load(bytes.data(), bytes.logicalLength(), false);

        classReader reader(&bytes, directory, *this, e);
        for (iObjectFactory* f : factories)
            reader.addObjectFactory(f);
        reader.open();
        if (loadDepth >= distributedXmlDatabase::maxClassNesting)
            throw unexpectedErrorException(
                L"distributedXmlDatabase: references lead through more than %u class files from %s",
                distributedXmlDatabase::maxClassNesting, e.file.c_str());
        loadingScope scope(e, &reader, loadDepth);
        if (reader.version() == 1) {
            // Numbered objects without stored ids: the objects' own guids.
            std::vector<refPtr<iPersistent>> all;
            reader.readAllObjects(e.name, all);
            for (const refPtr<iPersistent>& object : all)
                objects.emplace_back(object->guid(), object);
        } else {
            const std::vector<zv::string> ids = storedIds(*doc, e.name);
            for (const zv::string& id : ids) {
                zv::guid g;
                if (zv::guid::tryFromString(id, g) && g.isInitialized())
                    e.loadingIds.emplace(g, id);
            }
            // Relative names read by the objects resolve against the folder,
            // as `readAllObjects` arranges it.
            std::set<zv::guid> seen;
            std::wstring previousDir;
            const bool havePrevious = os::currentDirectory(previousDir);
            const zv::directory previous(zv::string(previousDir.c_str()));
            directory.makeCurrent();
            try {
                for (const zv::string& id : ids) {
                    zv::guid g;
                    // An id stored twice names one object, listed once.
                    if (!zv::guid::tryFromString(id, g) || !g.isInitialized() || !seen.insert(g).second)
                        continue;
                    iPersistent* p = nullptr;
                    try {
                        reader.readObject(e.name, id, &p, nullptr);
                    } catch (const returnNullRefException&) {
                        continue;
                    }
                    refPtr<iPersistent> object;
                    object.attach(p);
                    if (object)
                        objects.emplace_back(g, object);
                }
            } catch (...) {
                if (havePrevious)
                    previous.makeCurrent();
                throw;
            }
            if (havePrevious)
                previous.makeCurrent();
        }
    }
    e.setObjects(std::move(objects));
    e.stamp = stamp;
    e.taken = true;
}

void distributedXmlDatabaseData::resolve(const zv::string& className, const zv::string& id,
                                         iPersistent** object) {
    classEntry& e = entry(className);
    if (id.empty() || id == L"0")
        return;
    const zv::guid g = idOf(id, L"readObject");
    if (e.loading) {
        // By the id as stored: a reference may spell the guid otherwise.
        const auto stored = e.loadingIds.find(g);
        if (stored != e.loadingIds.end())
            e.loading->readObject(e.name, stored->second, object, nullptr);
        return;
    }
    makeCurrent(e);
    if (iPersistent* p = e.find(g)) {
        p->addRef();
        *object = p;
    }
}

void distributedXmlDatabaseData::writeClass(
    classEntry& e, const std::vector<std::pair<zv::guid, refPtr<iPersistent>>>& objects,
    bool checkUnchanged) {
    binaryBuffer bytes;
    {
        xmlDbWriter writer(&bytes, directory);
        writer.create();
        for (const auto& entry : objects)
            writer.writeObject(entry.second.get(), false);
        writer.flush();
    }
    if (!directory.exists() && !directory.create(true))
        throw writeFileException(e.file);
    fsEntryMutex lock(directory);
    if (!lock.lock(distributedXmlDatabase::lockTimeoutMs))
        throw unexpectedErrorException(L"distributedXmlDatabase: %s stays locked by another writer",
                                       lock.lockFileName().c_str());
    if (checkUnchanged && e.taken && stampOf(e.file) != e.stamp)
        throw unexpectedErrorException(
            L"distributedXmlDatabase: %s was changed by another writer since it was read; read it again",
            e.file.c_str());
    if (!replaceFileContent(e.file, bytes.data(), bytes.logicalLength()))
        throw writeFileException(e.file);
    e.stamp = stampOf(e.file);
    e.taken = true;
    e.setObjects(objects);
}

distributedXmlDatabase::distributedXmlDatabase(const zv::directory& directory)
    : m_data(new distributedXmlDatabaseData) {
    m_data->directory = directory;
}

distributedXmlDatabase::~distributedXmlDatabase() {
    delete m_data;
}

const zv::directory& distributedXmlDatabase::directory() const {
    return m_data->directory;
}

zv::file distributedXmlDatabase::classFile(const zv::string& className) const {
    if (!isValidClassName(className))
        throw unexpectedErrorException(L"distributedXmlDatabase: invalid class name %s", className.c_str());
    return zv::file(m_data->directory, className + kExtension);
}

bool distributedXmlDatabase::isValidClassName(const zv::string& className) {
    if (className.empty() || className.find(L"..") != zv::string::npos)
        return false;
    return std::none_of(className.begin(), className.end(), [](wchar_t c) {
        return c < 0x20 || zv::string(L"\\/:*?\"<>|").find(c) != zv::string::npos;
    });
}

std::vector<zv::string> distributedXmlDatabase::classNames() const {
    std::vector<zv::string> names;
    for (fileIterator it(m_data->directory, L"*.zvdb", 0); !it.m_current.empty(); ++it) {
        zv::string name = it.m_current.name(0);
        // The pattern may match longer extensions; only ".zvdb" names a class.
        if (name.size() <= 5 ||
            !zv::string(name.substr(name.size() - 5).c_str()).isEqualTo(kExtension, false))
            continue;
        name.resize(name.size() - 5);
        if (isValidClassName(name))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void distributedXmlDatabase::readObject(const zv::string& className, const zv::string& id,
                                        iPersistent** object) {
    *object = nullptr;
    m_data->resolve(className, id, object);
}

void distributedXmlDatabase::readAllObjects(const zv::string& className,
                                            std::vector<refPtr<iPersistent>>& objects) {
    classEntry& e = m_data->entry(className);
    m_data->makeCurrent(e);
    objects.reserve(objects.size() + e.objects.size());
    for (const auto& entry : e.objects)
        objects.push_back(entry.second);
}

void distributedXmlDatabase::addObjectFactory(iObjectFactory* factory) {
    if (factory &&
        std::find(m_data->factories.begin(), m_data->factories.end(), factory) == m_data->factories.end())
        m_data->factories.push_back(factory);
}

void distributedXmlDatabase::releaseObjectFactory(iObjectFactory* factory) {
    std::erase(m_data->factories, factory);
}

void distributedXmlDatabase::writeObjects(const zv::string& className,
                                          const std::vector<refPtr<iPersistent>>& objects) {
    classEntry& e = m_data->entry(className);
    std::vector<std::pair<zv::guid, refPtr<iPersistent>>> list;
    list.reserve(objects.size());
    for (const refPtr<iPersistent>& object : objects) {
        if (!object || !zv::string(object->className()).isEqualTo(className, false) ||
            !object->guid().isInitialized())
            throw unexpectedErrorException(
                L"distributedXmlDatabase::writeObjects: every object must be of class %s and have a guid",
                className.c_str());
        list.emplace_back(object->guid(), object);
    }
    m_data->writeClass(e, list, true);
}

void distributedXmlDatabase::writeObject(const iPersistent* object) {
    if (!object || !object->guid().isInitialized())
        throw unexpectedErrorException(L"distributedXmlDatabase::writeObject: the object needs a guid");
    classEntry& e = m_data->entry(object->className());
    m_data->makeCurrent(e);
    auto list = e.objects;
    // The cache holds objects for change; the database shares them, as the
    // reader does.
    refPtr<iPersistent> held(const_cast<iPersistent*>(object));
    auto it =
        std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.first == object->guid(); });
    if (it != list.end())
        it->second = held;
    else
        list.emplace_back(object->guid(), held);
    m_data->writeClass(e, list, true);
}

bool distributedXmlDatabase::removeObject(const zv::string& className, const zv::string& id) {
    classEntry& e = m_data->entry(className);
    const zv::guid g = idOf(id, L"removeObject");
    m_data->makeCurrent(e);
    auto list = e.objects;
    const auto removed = std::erase_if(list, [&](const auto& p) { return p.first == g; });
    if (removed == 0)
        return false;
    m_data->writeClass(e, list, true);
    return true;
}

} // namespace zv
