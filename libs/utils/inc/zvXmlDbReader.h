// zvXmlDbReader.h - reads application objects back from an object database
// (see zvXmlDb.h for the format and the interfaces).
//
//     zv::xmlDbReader db(zv::file(L"C:\\data\\tools.zvdb"));
//     db.addObjectFactory(&myFactory);             // makes Tool, Holder, ...
//     std::vector<zv::refPtr<zv::iPersistent>> tools;
//     db.readAllObjects(L"Tool", tools);
//
// Every stored object is created once per reader: references to the same guid
// give the same instance, also in cycles (a reference back to an object still
// being read gives that object). Class names are matched ignoring case, so
// `readAllObjects(L"Tool", ...)` and a reference of type "tool" meet in one
// instance. Version 1 databases (objects numbered "Tool1", "Tool2", ...) are
// read too; their objects get new guids.
//
// Each table is indexed once, so reading n objects costs O(n log n); long
// reference chains are read without deep recursion (objects beyond a fixed
// depth are read after the object that refers to them). An object whose
// reading fails is dropped from the reader and the failure passes on; a
// `zv::returnNullRefException` inside `readFrom` only ends that object's
// reading. Nested values and aggregated objects deeper than
// `xmlDbReader::maxNesting` levels are refused.
#pragma once

#include "zvDefs.h"
#include "zvGuid.h"
#include "zvRefObj.h"
#include "zvRefPtr.h"
#include "zvXmlDb.h"

#include <cstddef>
#include <map>
#include <vector>

namespace zv {

class binaryBuffer;
class xmlDbReader;
class xmlNode;
struct xmlDbReaderData;

/// The objects of one class made by a reader: guid -> object.
class ZV_API xmlDbReaderClassDictionary : public refObj {
public:
    /// Objects by guid.
    using map_type = std::map<zv::guid, refPtr<iPersistent>>;

    /// A new empty dictionary.
    static refPtr<xmlDbReaderClassDictionary> create();

    /// The object read under `id`, or null.
    iPersistent* find(const zv::guid& id) const;
    /// Enters `object` under `id`.
    void insert(const zv::guid& id, iPersistent* object);
    /// Drops the object under `id`.
    void erase(const zv::guid& id);
    /// The number of objects entered.
    unsigned int size() const { return static_cast<unsigned int>(m_objects.size()); }

protected:
    xmlDbReaderClassDictionary();
    ~xmlDbReaderClassDictionary() override;

private:
    map_type m_objects;
};

/// The input stream of one object or nested value; made by the reader.
class ZV_API xmlDbIStream : public iDBIStream {
public:
    /// A stream over the children of `element`; `reader` may be null for a
    /// stream that reads plain values only.
    xmlDbIStream(xmlDbReader* reader, const refPtr<xmlNode>& element);
    ~xmlDbIStream() override;

    /// The element whose children are read.
    const refPtr<xmlNode>& element() const { return m_element; }

    const zv::genericSet& readAttributes() override;
    void read(const wchar_t* name, zv::objectInfo& info, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, iPersistent** object, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, iDataConverter& converter, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, zv::string& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, zv::directory& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, zv::file& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, double& a, double& b, double& c, double& d, unsigned int index,
              bool asProperty) override;
    void read(const wchar_t* name, double& a, double& b, double& c, unsigned int index,
              bool asProperty) override;
    void read(const wchar_t* name, double& a, double& b, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, double& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, float& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, unsigned long& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, long& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, unsigned int& a, unsigned int& b, unsigned int index,
              bool asProperty) override;
    void read(const wchar_t* name, unsigned int& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, int& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, unsigned short& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, short& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, unsigned char& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, char& value, unsigned int index, bool asProperty) override;
    void read(const wchar_t* name, bool& value, unsigned int index, bool asProperty) override;
    void readAggregated(const wchar_t* name, iPersistent** object, unsigned int index,
                        bool asProperty) override;
    unsigned int count(const wchar_t* name, bool asProperty) override;
    unsigned int countProperties() override;
    void readProperty(zv::string& name, zv::string& value, unsigned int index) override;

private:
    /// Where the last match of a (name, form) was found, so that reading
    /// occurrences 0, 1, 2, ... does not rescan.
    struct cursor {
        zv::string name;
        bool asProperty = false;
        bool generic = false; ///< any generic property (`readProperty`)
        unsigned int index = 0;
        std::size_t position = 0;
    };

    xmlNode* find(const wchar_t* name, unsigned int index, bool asProperty);
    xmlNode& get(const wchar_t* name, unsigned int index, bool asProperty);
    xmlDbReader& reader();

    xmlDbReader* m_reader;
    refPtr<xmlNode> m_element;
    std::vector<cursor> m_cursors;
    unsigned int m_depth = 0; ///< nesting level of converters and aggregated objects
};

/// Reads objects from one database document, in a file or a buffer.
class ZV_API xmlDbReader {
public:
    /// Nested values and aggregated objects deeper than this are refused.
    static constexpr unsigned int maxNesting = 1000;

    /// File mode: reads `source`.
    explicit xmlDbReader(const zv::file& source);
    /// Memory mode: reads `buffer` (not owned; it must outlive the reader).
    /// Files starting with "." are taken relative to `relBasePath`.
    xmlDbReader(binaryBuffer* buffer, const zv::directory& relBasePath);
    virtual ~xmlDbReader();
    xmlDbReader(const xmlDbReader&) = delete;
    xmlDbReader& operator=(const xmlDbReader&) = delete;

    /// Loads the document. A missing file raises `fileNotFoundException`, an
    /// unreadable one `readFileException`, a document that is not a database
    /// `unexpectedErrorException`.
    void open();
    /// Drops the document; objects read so far stay known to the reader.
    void close();
    /// True while a document is loaded.
    bool isOpen() const;
    /// The format version of the open database (2 when the root has none).
    unsigned int version() const;

    /// A root attribute (opens first if needed); false when absent.
    bool getAttribute(const zv::string& name, zv::string& value);
    /// The number of entries in the table of `className` (0 without table).
    unsigned int count(const zv::string& className);

    /// Reads the object `id` of `className` into `*object` (with a reference
    /// for the caller); the same instance for the same object every time. An
    /// empty id or "0" leaves `*object` as it is. `element`, when given, is
    /// the object's element (no search by id).
    virtual void readObject(const zv::string& className, const zv::string& id, iPersistent** object,
                            refPtr<xmlNode>* element);
    /// Reads the `index`-th entry of the table named after the converter's class.
    virtual void read(iDataConverter& converter, unsigned int index);
    /// Appends every object of the table of `className` to `objects`. The
    /// relative base path is the working directory meanwhile; the previous
    /// one is restored on every way out.
    void readAllObjects(const zv::string& className, std::vector<refPtr<iPersistent>>& objects);

    /// Adds a factory (not owned; it must stay until released or the reader goes).
    void addObjectFactory(iObjectFactory* factory);
    /// Removes a factory.
    void releaseObjectFactory(iObjectFactory* factory);

    /// The source file (empty in memory mode).
    const zv::file& file() const;
    /// Stored names starting with "." are taken relative to this folder.
    const zv::directory& relBasePath() const;
    /// Sets the folder that relative names are resolved against.
    void setRelBasePath(const zv::directory& dir);
    /// The attributes objects may consult while reading.
    const zv::genericSet& readAttributes() const;
    /// Sets the read attributes (a copy is kept).
    void setReadAttributes(const zv::genericSet& attributes);

private:
    friend class xmlDbIStream;
    xmlDbReaderData* m_data;
};

} // namespace zv
