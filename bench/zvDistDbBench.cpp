// The distributed database against the single-file object database reader on
// the same objects: 5000 tools in Tool.zvdb, each referring to one of 100
// holders in Holder.zvdb (the single file holds both tables). Loading a class
// (which loads the holders it refers to), and asking the warm cache for one
// object, which looks at the class file's stamp each time.
#include <benchmark/benchmark.h>

#include "zvBenchSupport.h"

#include "zvBinaryBuffer.h"
#include "zvDirectory.h"
#include "zvDistributedXmlDatabase.h"
#include "zvFsEntryName.h"
#include "zvGuid.h"
#include "zvRefObj.h"
#include "zvXmlDbReader.h"
#include "zvXmlDbWriter.h"

#include <vector>

namespace {

class part : public zv::refObj, public zv::iPersistent {
public:
    explicit part(const zv::string& cls) : cls(cls) {}
    const wchar_t* className() const override { return cls.c_str(); }
    const zv::guid& guid() const override { return id; }
    void writeTo(zv::iDBOStream* os) const override {
        os->write(L"uid", id.toString(), false);
        os->write(L"name", name, false);
        os->write(L"ref", ref.get(), false);
    }
    void readFrom(zv::iDBIStream* is) override {
        zv::string text;
        is->read(L"uid", text, 0, false);
        id = zv::guid::fromString(text);
        is->read(L"name", name, 0, false);
        zv::iPersistent* p = nullptr;
        is->read(L"ref", &p, 0, false);
        ref.attach(p);
    }
    zv::string cls, name;
    zv::guid id = zv::guid::create();
    zv::refPtr<zv::iPersistent> ref;
};

class partFactory : public zv::iObjectFactory {
public:
    void createObject(const wchar_t* className, zv::iPersistent** object) override {
        *object = new part(className);
        (*object)->addRef();
    }
};

struct fixture {
    zvbench::benchFolder folder{"zv-bench-distdb-"};
    zv::directory dir;
    zv::file single;
    std::vector<zv::guid> toolIds;
    partFactory factory;

    fixture() {
        dir = zv::directory(zv::fsEntryName::fromHostPath((folder.path() / "shop").wstring(), true));
        single = zv::file(zv::fsEntryName::fromHostPath((folder.path() / "single.zvdb").wstring()));
        std::vector<zv::refPtr<zv::iPersistent>> holders, tools;
        for (int i = 0; i < 100; ++i) {
            zv::refPtr<part> h(new part(L"Holder"));
            h->name = L"holder " + std::to_wstring(i);
            holders.push_back(h.get());
        }
        for (int i = 0; i < 5000; ++i) {
            zv::refPtr<part> t(new part(L"Tool"));
            t->name = L"tool " + std::to_wstring(i);
            t->ref = holders[static_cast<std::size_t>(i % 100)];
            tools.push_back(t.get());
            toolIds.push_back(t->id);
        }
        zv::distributedXmlDatabase db(dir);
        db.writeObjects(L"Holder", holders);
        db.writeObjects(L"Tool", tools);
        zv::xmlDbWriter writer(single);
        for (const auto& t : tools)
            writer.writeObject(t.get(), true);
        writer.close();
    }
};

fixture& data() {
    static fixture f;
    return f;
}

void BM_DistDb_LoadClass(benchmark::State& state) {
    fixture& f = data();
    for (auto _ : state) {
        zv::distributedXmlDatabase db(f.dir);
        db.addObjectFactory(&f.factory);
        std::vector<zv::refPtr<zv::iPersistent>> all;
        db.readAllObjects(L"Tool", all);
        benchmark::DoNotOptimize(all.data());
    }
}
BENCHMARK(BM_DistDb_LoadClass)->Unit(benchmark::kMillisecond);

void BM_XmlDbReader_ReadAll(benchmark::State& state) {
    fixture& f = data();
    for (auto _ : state) {
        zv::xmlDbReader reader(f.single);
        reader.addObjectFactory(&f.factory);
        std::vector<zv::refPtr<zv::iPersistent>> all;
        reader.readAllObjects(L"Tool", all);
        benchmark::DoNotOptimize(all.data());
    }
}
BENCHMARK(BM_XmlDbReader_ReadAll)->Unit(benchmark::kMillisecond);

void BM_DistDb_CachedReadObject(benchmark::State& state) {
    fixture& f = data();
    zv::distributedXmlDatabase db(f.dir);
    db.addObjectFactory(&f.factory);
    std::vector<zv::string> ids;
    for (const zv::guid& g : f.toolIds)
        ids.push_back(g.toString());
    std::vector<zv::refPtr<zv::iPersistent>> warm;
    db.readAllObjects(L"Tool", warm); // loaded before the clock runs
    std::size_t i = 0;
    for (auto _ : state) {
        zv::iPersistent* p = nullptr;
        db.readObject(L"Tool", ids[i++ % ids.size()], &p);
        benchmark::DoNotOptimize(p);
        p->release();
    }
}
BENCHMARK(BM_DistDb_CachedReadObject);

void BM_XmlDbReader_CachedReadObject(benchmark::State& state) {
    fixture& f = data();
    zv::xmlDbReader reader(f.single);
    reader.addObjectFactory(&f.factory);
    reader.open();
    std::vector<zv::string> ids;
    for (const zv::guid& g : f.toolIds)
        ids.push_back(g.toString());
    std::vector<zv::refPtr<zv::iPersistent>> warm;
    reader.readAllObjects(L"Tool", warm); // every object made before the clock runs
    std::size_t i = 0;
    for (auto _ : state) {
        zv::iPersistent* p = nullptr;
        reader.readObject(L"Tool", ids[i++ % ids.size()], &p, nullptr);
        benchmark::DoNotOptimize(p);
        p->release();
    }
}
BENCHMARK(BM_XmlDbReader_CachedReadObject);

} // namespace
