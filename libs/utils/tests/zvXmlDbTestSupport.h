// A small application model for the object database tests: nodes of any class
// with a name and references (a "Tool" also holds an aggregated part, an inline
// value, generic values and scalars), and a factory that makes them.
#pragma once

#include "zvException.h"
#include "zvGenericSet.h"
#include "zvGenericSetDb.h"
#include "zvGuid.h"
#include "zvRefObj.h"
#include "zvXmlDb.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

using zv::iPersistent;
using zv::refPtr;

// A value stored inline, whose writing and reading the test decides.
struct value : zv::iDataConverter {
    explicit value(const wchar_t* c = L"Point") : cls(c) {}
    const wchar_t* cls;
    std::function<void(zv::iDBOStream*)> out;
    std::function<void(zv::iDBIStream*)> in;
    double x = 0, y = 0;
    const wchar_t* className() const override { return cls; }
    void writeTo(zv::iDBOStream* os) const override { out ? out(os) : os->write(L"xy", x, y, false); }
    void readFrom(zv::iDBIStream* is) override { in ? in(is) : is->read(L"xy", x, y, 0, false); }
};

template <class base>
struct attrs : base {
    using base::base;
    const wchar_t* className() const override { return L"Attrs"; }
};

class node : public zv::refObj, public iPersistent {
public:
    explicit node(const wchar_t* cls, const wchar_t* n = L"") : name(n), m_class(cls) {
        // Distinct identities without asking the system 100,000 times.
        static std::uint32_t counter = 0;
        id.Data1 = ++counter;
        id.Data2 = id.Data3 = 0x4242;
        live().insert(this);
    }
    ~node() override { live().erase(this); }
    static std::set<node*>& live() {
        static std::set<node*> all;
        return all;
    }
    const wchar_t* className() const override { return m_class.c_str(); }
    const zv::guid& guid() const override { return id; }
    void writeTo(zv::iDBOStream* os) const override {
        os->write(L"uid", id.toString(), false);
        os->write(L"name", name, false);
        for (const refPtr<iPersistent>& r : refs)
            os->write(L"ref", r.get(), false);
        if (m_class == L"Tool") {
            os->writeAggregated(L"part", part.get(), false);
            os->write(L"tip", tip, false);
            os->write(L"attrs", attrs<zv::writeGenericSet>(&values), false);
            os->write(L"big", big, false);
            os->write(L"small", small, false);
            os->write(L"code", code, false);
        }
    }
    void readFrom(zv::iDBIStream* is) override {
        if (failReads > 0) {
            --failReads;
            throw zv::unexpectedErrorException(L"refused");
        }
        if (is->count(L"uid", false)) { // the identity it was stored with
            zv::string uid;
            is->read(L"uid", uid, 0, false);
            id = zv::guid::fromString(uid);
        }
        is->read(L"name", name, 0, false);
        if (stopAfterName)
            throw zv::returnNullRefException();
        refs.clear();
        for (unsigned i = 0, n = is->count(L"ref", false); i < n; ++i)
            refs.push_back(readRef(is, L"ref", i, false));
        if (is->count(L"tip", false)) {
            part = readRef(is, L"part", 0, true);
            is->read(L"tip", tip, 0, false);
            attrs<zv::readGenericSet> in(&values);
            is->read(L"attrs", in, 0, false);
            is->read(L"big", big, 0, false);
            is->read(L"small", small, 0, false);
            is->read(L"code", code, 0, false);
        }
    }
    static refPtr<iPersistent> readRef(zv::iDBIStream* is, const wchar_t* name, unsigned i, bool aggregated) {
        iPersistent* p = nullptr;
        aggregated ? is->readAggregated(name, &p, i, false) : is->read(name, &p, i, false);
        refPtr<iPersistent> r;
        r.attach(p);
        return r;
    }

    zv::guid id;
    zv::string name;
    std::vector<refPtr<iPersistent>> refs;
    refPtr<iPersistent> part;
    value tip;
    zv::genericSet values;
    unsigned long big = 0;
    double small = 0;
    char code = 0;
    static inline int failReads = 0;
    static inline bool stopAfterName = false;

private:
    zv::string m_class;
};

node* asNode(iPersistent* p) {
    return dynamic_cast<node*>(p);
}

// Read graphs hold cycles; at the end of a test every reference between nodes
// is dropped, so that the nodes go.
struct cycleBreaker {
    ~cycleBreaker() {
        std::vector<refPtr<iPersistent>> hold;
        for (node* n : node::live()) {
            hold.insert(hold.end(), n->refs.begin(), n->refs.end());
            n->refs.clear();
        }
    }
};

refPtr<node> make(const wchar_t* cls, const wchar_t* name) {
    return refPtr<node>(new node(cls, name));
}

// Makes nodes of any class whose name it knows, ignoring case, or of any class at all.
struct factory : zv::iObjectFactory {
    explicit factory(bool any = false) : any(any) {}
    bool any;
    std::vector<std::wstring> asked;
    void createObject(const wchar_t* cls, iPersistent** object) override {
        asked.emplace_back(cls);
        for (const wchar_t* k : {L"tool", L"holder", L"part"})
            if (any || zv::string(cls).isEqualTo(k, false)) {
                *object = new node(cls);
                (*object)->addRef();
                return;
            }
    }
};

} // namespace
