// zvXmlDbWriter.h - writes a graph of application objects as an object
// database (see zvXmlDb.h for the format and the interfaces).
//
//     zv::xmlDbWriter db(zv::file(L"C:\\data\\tools.zvdb"));
//     db.setAttribute(L"creator", L"toolbox");
//     db.writeObject(tool.get(), true);   // the tool, and every object it refers to
//     db.close();                         // saves; throws writeFileException on failure
//
// Each object is written at most once per database, however often it is
// written or referred to; later writes only answer its guid. The writer keeps
// a reference to every object it has written until the next database is
// created, so that no other object can take its address meanwhile.
//
// `flush` (and `close`, and the destructor) saves the document and closes the
// database: the next write starts a new, empty one, and objects written before
// are written again into it. In file mode a save replaces the target in one
// step, so the previous database stays whole until the new one is complete;
// in memory mode the document is appended to the caller's buffer. Objects
// referred to in a long chain are written without deep recursion.
#pragma once

#include "zvDefs.h"
#include "zvGuid.h"
#include "zvRefObj.h"
#include "zvRefPtr.h"
#include "zvXmlDb.h"

#include <map>

namespace zv {

class binaryBuffer;
class xmlDbWriter;
class xmlNode;
struct xmlDbWriterData;

/// The objects of one class written into the current database: address ->
/// guid, each entry holding a reference to its object.
class ZV_API xmlDbWriterClassDictionary : public refObj {
public:
    /// One written object: its guid and the reference that keeps it alive.
    struct entry {
        zv::guid id;                ///< the guid it was written under
        refPtr<iPersistent> object; ///< keeps the address taken
    };
    /// Entries by object address.
    using map_type = std::map<const iPersistent*, entry>;

    /// A new empty dictionary.
    static refPtr<xmlDbWriterClassDictionary> create();

    /// The guid `object` was written under, or null when it was not written.
    const zv::guid* find(const iPersistent* object) const;
    /// Enters `object` under `id` (holding a reference to it).
    void insert(const iPersistent* object, const zv::guid& id);
    /// Forgets `object` (dropping the reference held to it).
    void erase(const iPersistent* object);
    /// The number of objects entered.
    unsigned int size() const { return static_cast<unsigned int>(m_entries.size()); }

protected:
    xmlDbWriterClassDictionary();
    ~xmlDbWriterClassDictionary() override;

private:
    map_type m_entries;
};

/// The output stream of one object or nested value; made by the writer.
class ZV_API xmlDbOStream : public iDBOStream {
public:
    /// A stream filling `element` for `writer`; `recursive` stores referenced objects too.
    xmlDbOStream(xmlDbWriter* writer, const refPtr<xmlNode>& element, bool recursive);
    ~xmlDbOStream() override;

    /// The element being filled.
    const refPtr<xmlNode>& element() const { return m_element; }
    /// Whether referenced objects are stored too.
    bool recursive() const { return m_recursive; }

    const zv::genericSet& writeAttributes() override;
    void write(const wchar_t* name, const zv::objectInfo& info, bool asProperty) override;
    void write(const wchar_t* name, const iPersistent* object, bool asProperty) override;
    void write(const wchar_t* name, const iDataConverter& converter, bool asProperty) override;
    void write(const wchar_t* name, const zv::string& value, bool asProperty) override;
    void write(const wchar_t* name, double a, double b, double c, double d, bool asProperty) override;
    void write(const wchar_t* name, double a, double b, double c, bool asProperty) override;
    void write(const wchar_t* name, double a, double b, bool asProperty) override;
    void write(const wchar_t* name, double value, bool asProperty) override;
    void write(const wchar_t* name, float value, bool asProperty) override;
    void write(const wchar_t* name, unsigned long value, bool asProperty) override;
    void write(const wchar_t* name, long value, bool asProperty) override;
    void write(const wchar_t* name, unsigned int a, unsigned int b, bool asProperty) override;
    void write(const wchar_t* name, unsigned int value, bool asProperty) override;
    void write(const wchar_t* name, int value, bool asProperty) override;
    void write(const wchar_t* name, unsigned short value, bool asProperty) override;
    void write(const wchar_t* name, short value, bool asProperty) override;
    void write(const wchar_t* name, unsigned char value, bool asProperty) override;
    void write(const wchar_t* name, char value, bool asProperty) override;
    void write(const wchar_t* name, bool value, bool asProperty) override;
    void write(const wchar_t* name, const zv::directory& value, bool asProperty) override;
    void write(const wchar_t* name, const zv::file& value, bool asProperty) override;
    void writeAggregated(const wchar_t* name, const iPersistent* object, bool asProperty) override;

private:
    refPtr<xmlNode> addProperty(const wchar_t* name, bool asProperty);
    void addText(const wchar_t* name, const zv::string& text, bool asProperty);
    void addText(const wchar_t* name, zv::string&& text, bool asProperty);
    zv::string& scratch();

    xmlDbWriter* m_writer;
    refPtr<xmlNode> m_element;
    bool m_recursive;
};

/// Writes objects into one database document, saved to a file or a buffer.
class ZV_API xmlDbWriter {
public:
    /// File mode: `flush` saves to `target`.
    explicit xmlDbWriter(const zv::file& target);
    /// Memory mode: `flush` appends the document to `buffer` (not owned; it
    /// must outlive the writer). Files are stored relative to `relBasePath`.
    xmlDbWriter(binaryBuffer* buffer, const zv::directory& relBasePath);
    /// Saves an open database like `close`; a failure is logged, not thrown.
    virtual ~xmlDbWriter();
    xmlDbWriter(const xmlDbWriter&) = delete;
    xmlDbWriter& operator=(const xmlDbWriter&) = delete;

    /// Starts a new, empty database and forgets the objects written before.
    /// In file mode an empty database is saved at once when the target does
    /// not exist yet; an existing one stays until the next save.
    void create();
    /// Saves the database and closes it (creating an empty one first if none
    /// is open). A failed save raises `writeFileException` (or
    /// `fileWriteProtectedException`).
    void flush();
    /// Saves and closes an open database; nothing when none is open.
    void close();
    /// Sets an attribute of the root element (creating the database if needed).
    void setAttribute(const zv::string& name, const zv::string& value);

    /// Stores `object` (once per database) and answers its guid; an
    /// uninitialized guid for null. With `recursive`, the objects it refers to
    /// are stored too.
    virtual zv::guid writeObject(const iPersistent* object, bool recursive);
    /// Stores a plain value as an entry of the table named after its class.
    virtual void write(const iDataConverter& converter, bool recursive);

    /// The target file (empty in memory mode).
    const zv::file& file() const;
    /// Files and folders are stored relative to this folder.
    const zv::directory& relBasePath() const;
    /// Sets the folder that stored files and folders are relative to.
    void setRelBasePath(const zv::directory& dir);
    /// The attributes objects may consult while writing.
    const zv::genericSet& writeAttributes() const;
    /// Sets the write attributes (a copy is kept).
    void setWriteAttributes(const zv::genericSet& attributes);

    /// True while a database is open (between `create` or a write and `flush`).
    bool isOpen() const;

private:
    friend class xmlDbOStream;
    xmlDbWriterData* m_data;
};

} // namespace zv
