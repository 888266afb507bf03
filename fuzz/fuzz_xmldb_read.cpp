// Object databases of arbitrary bytes, read from memory by objects that try
// every kind of read on a few property names, follow references, aggregated
// objects and nested values, and read generic sets. Nothing crashes, hangs or
// recurses without bound; failures are the library's exceptions.
#include "zvBinaryBuffer.h"
#include "zvDirectory.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvGenericSet.h"
#include "zvGenericSetDb.h"
#include "zvGuid.h"
#include "zvXml.h"
#include "zvXmlDbReader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct nested : zv::iDataConverter {
    const wchar_t* className() const override { return L"N"; }
    void writeTo(zv::iDBOStream*) const override {}
    void readFrom(zv::iDBIStream* is) override {
        double d = 0;
        try {
            is->read(L"v", d, 0, false);
        } catch (const zv::exception&) {
        }
        nested inner;
        if (is->count(L"n", false) > 0)
            is->read(L"n", inner, 0, false);
    }
};

struct attrs : zv::readGenericSet {
    using zv::readGenericSet::readGenericSet;
    const wchar_t* className() const override { return L"S"; }
};

// Reads whatever it finds; keeps no references, so graphs cannot leak.
class probe : public zv::refObj, public zv::iPersistent {
public:
    const wchar_t* className() const override { return L"P"; }
    const zv::guid& guid() const override { return m_id; }
    void writeTo(zv::iDBOStream*) const override {}
    void readFrom(zv::iDBIStream* is) override {
        const wchar_t* const names[] = {L"a", L"b", L"r", L"g", L"n", L"s", L"Property"};
        for (const wchar_t* name : names) {
            for (bool asProperty : {false, true}) {
                const unsigned n = is->count(name, asProperty);
                for (unsigned i = 0; i < n && i < 4; ++i)
                    readAll(is, name, i, asProperty);
            }
        }
        zv::string key, value;
        for (unsigned i = 0, n = is->countProperties(); i < n && i < 16; ++i)
            is->readProperty(key, value, i);
    }

private:
    template <class F>
    static void attempt(F&& f) {
        try {
            f();
        } catch (const zv::exception&) {
        }
    }
    static void readAll(zv::iDBIStream* is, const wchar_t* name, unsigned i, bool p) {
        double a = 0, b = 0, c = 0, d = 0;
        unsigned int u = 0, v = 0;
        long l = 0;
        unsigned long ul = 0;
        short s = 0;
        unsigned short us = 0;
        int n = 0;
        float f = 0;
        char ch = 0;
        unsigned char uc = 0;
        bool flag = false;
        zv::string text;
        zv::file file;
        zv::directory dir;
        zv::objectInfo info;
        attempt([&] { is->read(name, a, b, c, d, i, p); });
        attempt([&] { is->read(name, a, b, c, i, p); });
        attempt([&] { is->read(name, a, b, i, p); });
        attempt([&] { is->read(name, a, i, p); });
        attempt([&] { is->read(name, f, i, p); });
        attempt([&] { is->read(name, l, i, p); });
        attempt([&] { is->read(name, ul, i, p); });
        attempt([&] { is->read(name, u, v, i, p); });
        attempt([&] { is->read(name, u, i, p); });
        attempt([&] { is->read(name, n, i, p); });
        attempt([&] { is->read(name, s, i, p); });
        attempt([&] { is->read(name, us, i, p); });
        attempt([&] { is->read(name, ch, i, p); });
        attempt([&] { is->read(name, uc, i, p); });
        attempt([&] { is->read(name, flag, i, p); });
        attempt([&] { is->read(name, text, i, p); });
        attempt([&] { is->read(name, file, i, p); });
        attempt([&] { is->read(name, dir, i, p); });
        attempt([&] { is->read(name, info, i, p); });
        attempt([&] {
            nested value;
            is->read(name, value, i, p);
        });
        attempt([&] {
            zv::genericSet set;
            attrs in(&set);
            is->read(name, in, i, p);
        });
        attempt([&] {
            zv::iPersistent* o = nullptr;
            is->read(name, &o, i, p);
            if (o)
                o->release();
        });
        attempt([&] {
            zv::iPersistent* o = nullptr;
            is->readAggregated(name, &o, i, p);
            if (o)
                o->release();
        });
    }

    zv::guid m_id;
};

struct anyClass : zv::iObjectFactory {
    void createObject(const wchar_t*, zv::iPersistent** object) override {
        *object = new probe;
        (*object)->addRef();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20))
        return 0;
    zv::binaryBuffer buffer;
    buffer.write(data, static_cast<unsigned>(size));
    // The table names, to read every table.
    std::vector<zv::string> classes;
    try {
        zv::refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
        doc->load(buffer.data(), buffer.logicalLength(), false);
        for (const zv::refPtr<zv::xmlNode>& t : doc->childNodes())
            if (t->name().size() > 6)
                classes.push_back(t->name().substr(0, t->name().size() - 6));
    } catch (const zv::exception&) {
        return 0;
    }
    anyClass factory;
    zv::xmlDbReader reader(&buffer, zv::directory());
    reader.addObjectFactory(&factory);
    try {
        reader.open();
    } catch (const zv::exception&) {
        return 0;
    }
    for (const zv::string& cls : classes) {
        std::vector<zv::refPtr<zv::iPersistent>> objects;
        try {
            reader.readAllObjects(cls, objects);
        } catch (const zv::exception&) {
        }
        nested value;
        try {
            reader.read(value, 0);
        } catch (const zv::exception&) {
        }
    }
    return 0;
}
