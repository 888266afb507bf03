// zvXmlDb.h - the object database's interfaces: what an application class
// implements to be stored (`zv::iPersistent`, `zv::iDataConverter`), the
// streams it writes to and reads from (`zv::iDBOStream`, `zv::iDBIStream`),
// and the factory that makes its objects when a database is read
// (`zv::iObjectFactory`).
//
// A database is one XML document: one table element per class ("Tool_table"),
// one element per object (named after the class, with attribute "id" = the
// object's guid), one child element per stored property. Objects with an
// identity implement `iPersistent`; plain nested values implement
// `iDataConverter`. The writer is zvXmlDbWriter.h, the reader zvXmlDbReader.h.
//
// A complete application class: a tool with a reference to its holder, an
// aggregated insert (stored inside the tool) and a nested converter.
//
//     class point : public zv::iDataConverter {     // a plain value
//     public:
//         double x = 0, y = 0;
//         const wchar_t* className() const override { return L"Point"; }
//         void writeTo(zv::iDBOStream* os) const override { os->write(L"xy", x, y, false); }
//         void readFrom(zv::iDBIStream* is) override { is->read(L"xy", x, y, 0, false); }
//     };
//
//     class tool : public zv::refObj, public zv::iPersistent {
//     public:
//         zv::string name;
//         zv::refPtr<zv::iPersistent> holder;      // a reference: stored as the holder's guid
//         zv::refPtr<zv::iPersistent> insert;      // aggregated: stored inside this element
//         point tip;                               // nested converter
//         const wchar_t* className() const override { return L"Tool"; }
//         const zv::guid& guid() const override { return m_id; }
//         void writeTo(zv::iDBOStream* os) const override {
//             os->write(L"name", name, false);
//             os->write(L"holder", holder.get(), false);
//             os->writeAggregated(L"insert", insert.get(), false);
//             os->write(L"tip", tip, false);
//         }
//         void readFrom(zv::iDBIStream* is) override {
//             is->read(L"name", name, 0, false);
//             zv::iPersistent* p = nullptr;
//             is->read(L"holder", &p, 0, false);      // p comes with one reference
//             holder = p; if (p) p->release();
//             is->readAggregated(L"insert", &p, 0, false);
//             insert = p; if (p) p->release();
//             is->read(L"tip", tip, 0, false);
//         }
//     private:
//         zv::guid m_id = zv::guid::create();
//     };
//
//     class factory : public zv::iObjectFactory {
//     public:
//         void createObject(const wchar_t* className, zv::iPersistent** object) override {
//             zv::string n(className);
//             if (n.isEqualTo(L"Tool", false)) { *object = new tool; (*object)->addRef(); }
//             ...
//         }
//     };
//
// Property names of the named form (`asProperty` false) become element names
// and must be valid ones (not blank, no "<", "&", quotes, "/", "=", no leading
// digit, "-" or "."); any text may be stored with `asProperty` true.
#pragma once

#include "zvDefs.h"
#include "zvRefObj.h"
#include "zvString.h"

namespace zv {

class directory;
class file;
class genericSet;
class guid;
class objectInfo;
class iDBOStream;
class iDBIStream;

/// An application object with an identity, stored once per database and
/// referred to by its guid. Implementations derive from `zv::refObj` too,
/// which supplies the reference count.
class ZV_API iPersistent : public virtual iRefObj {
public:
    /// The class name: the table and element name of its objects.
    virtual const wchar_t* className() const = 0;
    /// Writes the object's properties.
    virtual void writeTo(iDBOStream* os) const = 0;
    /// Reads the object's properties.
    virtual void readFrom(iDBIStream* is) = 0;
    /// The object's identity.
    virtual const zv::guid& guid() const = 0;

protected:
    ~iPersistent() override;
};

/// A plain value without identity, stored inside the property that holds it
/// (or as a table entry of its own through `xmlDbWriter::write`).
class ZV_API iDataConverter {
public:
    /// The type name stored with the value.
    virtual const wchar_t* className() const = 0;
    /// Writes the value's properties.
    virtual void writeTo(iDBOStream* os) const = 0;
    /// Reads the value's properties.
    virtual void readFrom(iDBIStream* is) = 0;

protected:
    virtual ~iDataConverter();
};

/// Makes application objects by class name while a database is read.
class ZV_API iObjectFactory {
public:
    /// Stores a new object of `className` with one reference for the caller
    /// in `*object`, or leaves it null when this factory does not know the class.
    virtual void createObject(const wchar_t* className, iPersistent** object) = 0;

protected:
    virtual ~iObjectFactory();
};

/// Where an object writes its properties. Every write appends one property
/// element; `asProperty` true stores it as "Property" with attribute "name".
class ZV_API iDBOStream {
public:
    /// The writer's write attributes.
    virtual const zv::genericSet& writeAttributes() = 0;
    /// A reference to a stored object by class name and guid ("0" when the guid is not initialized).
    virtual void write(const wchar_t* name, const zv::objectInfo& info, bool asProperty) = 0;
    /// A reference: the object's guid ("0" for null); stored first when writing recursively.
    virtual void write(const wchar_t* name, const iPersistent* object, bool asProperty) = 0;
    /// A nested value, its properties inside this property.
    virtual void write(const wchar_t* name, const iDataConverter& converter, bool asProperty) = 0;
    /// A text, unchanged.
    virtual void write(const wchar_t* name, const zv::string& value, bool asProperty) = 0;
    /// Four numbers joined by ",".
    virtual void write(const wchar_t* name, double a, double b, double c, double d, bool asProperty) = 0;
    /// Three numbers joined by ",".
    virtual void write(const wchar_t* name, double a, double b, double c, bool asProperty) = 0;
    /// Two numbers joined by ",".
    virtual void write(const wchar_t* name, double a, double b, bool asProperty) = 0;
    /// A number, as a text that reads back to the same value.
    virtual void write(const wchar_t* name, double value, bool asProperty) = 0;
    /// A number, written as its `double`.
    virtual void write(const wchar_t* name, float value, bool asProperty) = 0;
    /// Decimal digits.
    virtual void write(const wchar_t* name, unsigned long value, bool asProperty) = 0;
    /// Decimal digits.
    virtual void write(const wchar_t* name, long value, bool asProperty) = 0;
    /// Two numbers joined by ",".
    virtual void write(const wchar_t* name, unsigned int a, unsigned int b, bool asProperty) = 0;
    /// Decimal digits.
    virtual void write(const wchar_t* name, unsigned int value, bool asProperty) = 0;
    /// Decimal digits.
    virtual void write(const wchar_t* name, int value, bool asProperty) = 0;
    /// Decimal digits.
    virtual void write(const wchar_t* name, unsigned short value, bool asProperty) = 0;
    /// Decimal digits.
    virtual void write(const wchar_t* name, short value, bool asProperty) = 0;
    /// The one character of that code; 0 as the empty text.
    virtual void write(const wchar_t* name, unsigned char value, bool asProperty) = 0;
    /// The one character of that code, sign-extended to 16 bits; 0 as the empty text.
    virtual void write(const wchar_t* name, char value, bool asProperty) = 0;
    /// "1" or "0".
    virtual void write(const wchar_t* name, bool value, bool asProperty) = 0;
    /// The folder's name relative to the writer's relative base path.
    virtual void write(const wchar_t* name, const zv::directory& value, bool asProperty) = 0;
    /// The file's name relative to the writer's relative base path.
    virtual void write(const wchar_t* name, const zv::file& value, bool asProperty) = 0;
    /// An object stored inside this property (no identity, no table entry);
    /// null gives the text "0".
    virtual void writeAggregated(const wchar_t* name, const iPersistent* object, bool asProperty) = 0;

protected:
    virtual ~iDBOStream();
};

/// Where an object reads its properties. Each read names a property and its
/// occurrence `index` (0 for the first); `asProperty` must match the form it
/// was written in. A missing property raises `zv::attributeNotFoundException`,
/// a text that does not convert `zv::invalidAttributeType`.
class ZV_API iDBIStream {
public:
    /// The reader's read attributes.
    virtual const zv::genericSet& readAttributes() = 0;
    /// A reference's class name (lower case) and guid.
    virtual void read(const wchar_t* name, zv::objectInfo& info, unsigned int index, bool asProperty) = 0;
    /// A reference: `*object` receives the one instance of that object with a
    /// reference for the caller, or null for a null reference.
    virtual void read(const wchar_t* name, iPersistent** object, unsigned int index, bool asProperty) = 0;
    /// A nested value; the stored type must equal `converter.className()`.
    virtual void read(const wchar_t* name, iDataConverter& converter, unsigned int index,
                      bool asProperty) = 0;
    /// A text, unchanged.
    virtual void read(const wchar_t* name, zv::string& value, unsigned int index, bool asProperty) = 0;
    /// A folder; a name starting with "." is taken relative to the reader's relative base path.
    virtual void read(const wchar_t* name, zv::directory& value, unsigned int index, bool asProperty) = 0;
    /// A file; a name starting with "." is taken relative to the reader's relative base path.
    virtual void read(const wchar_t* name, zv::file& value, unsigned int index, bool asProperty) = 0;
    /// Exactly four numbers joined by ",".
    virtual void read(const wchar_t* name, double& a, double& b, double& c, double& d, unsigned int index,
                      bool asProperty) = 0;
    /// Exactly three numbers joined by ",".
    virtual void read(const wchar_t* name, double& a, double& b, double& c, unsigned int index,
                      bool asProperty) = 0;
    /// Exactly two numbers joined by ",".
    virtual void read(const wchar_t* name, double& a, double& b, unsigned int index, bool asProperty) = 0;
    /// A number.
    virtual void read(const wchar_t* name, double& value, unsigned int index, bool asProperty) = 0;
    /// A number.
    virtual void read(const wchar_t* name, float& value, unsigned int index, bool asProperty) = 0;
    /// A number.
    virtual void read(const wchar_t* name, unsigned long& value, unsigned int index, bool asProperty) = 0;
    /// A number.
    virtual void read(const wchar_t* name, long& value, unsigned int index, bool asProperty) = 0;
    /// Exactly two numbers joined by ",".
    virtual void read(const wchar_t* name, unsigned int& a, unsigned int& b, unsigned int index,
                      bool asProperty) = 0;
    /// A number.
    virtual void read(const wchar_t* name, unsigned int& value, unsigned int index, bool asProperty) = 0;
    /// A number.
    virtual void read(const wchar_t* name, int& value, unsigned int index, bool asProperty) = 0;
    /// A number.
    virtual void read(const wchar_t* name, unsigned short& value, unsigned int index, bool asProperty) = 0;
    /// A number.
    virtual void read(const wchar_t* name, short& value, unsigned int index, bool asProperty) = 0;
    /// One character (its low 8 bits); the empty text is 0.
    virtual void read(const wchar_t* name, unsigned char& value, unsigned int index, bool asProperty) = 0;
    /// One character (its low 8 bits); the empty text is 0.
    virtual void read(const wchar_t* name, char& value, unsigned int index, bool asProperty) = 0;
    /// A number (non-zero is true) or "true" / "false".
    virtual void read(const wchar_t* name, bool& value, unsigned int index, bool asProperty) = 0;
    /// An object stored inside the property; `*object` receives a new
    /// instance with a reference for the caller.
    virtual void readAggregated(const wchar_t* name, iPersistent** object, unsigned int index,
                                bool asProperty) = 0;
    /// The number of properties of that name and form.
    virtual unsigned int count(const wchar_t* name, bool asProperty) = 0;
    /// The number of properties stored with `asProperty` true.
    virtual unsigned int countProperties() = 0;
    /// The `index`-th property stored with `asProperty` true: its name and text.
    virtual void readProperty(zv::string& name, zv::string& value, unsigned int index) = 0;

protected:
    virtual ~iDBIStream();
};

} // namespace zv
