// Writing and reading back 100,000 objects of 10 properties each through the
// object database in file mode, against Boost.Serialization's XML archives
// storing the same objects through pointers (object tracking on). Each
// object refers to the one before it, so both sides store references. Items
// per second are objects. dbReadGrowth shows how reading scales from 10,000
// to 100,000 objects (time per object should stay about the same).
#include <benchmark/benchmark.h>

#include "zvBenchSupport.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvFsEntryName.h"
#include "zvXmlDbReader.h"
#include "zvXmlDbWriter.h"

#include <malloc.h>

#include <fstream>
#include <string>
#include <vector>

#if defined(ZV_BENCH_HAVE_BOOST_SERIALIZATION)
#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>
#endif

namespace {

constexpr int kObjects = 100000;

// The same allocator settings on both sides (see zvXmlBench.cpp).
struct sameAllocatorSettings {
    sameAllocatorSettings() {
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
    }
    ~sameAllocatorSettings() {
        mallopt(M_MMAP_MAX, 65536);
        mallopt(M_TRIM_THRESHOLD, 128 * 1024);
        malloc_trim(0);
    }
};

const zvbench::benchFolder& folder() {
    static const zvbench::benchFolder f("zvdb-bench-");
    return f;
}

zv::file libraryFile(const char* name) {
    return zv::file(zv::fsEntryName::fromHostPath((folder().path() / name).wstring()));
}

// ---- the application object ----

class tool : public zv::refObj, public zv::iPersistent {
public:
    const wchar_t* className() const override { return L"Tool"; }
    const zv::guid& guid() const override { return id; }
    void writeTo(zv::iDBOStream* os) const override {
        os->write(L"Name", name, false);
        os->write(L"Comment", comment, false);
        os->write(L"Length", length, false);
        os->write(L"Diameter", diameter, false);
        os->write(L"Feed", feed, false);
        os->write(L"Speed", speed, false);
        os->write(L"Count", count, false);
        os->write(L"Flag", flag, false);
        os->write(L"Offset", offsetX, offsetY, false);
        os->write(L"Previous", previous, false);
    }
    void readFrom(zv::iDBIStream* is) override {
        is->read(L"Name", name, 0, false);
        is->read(L"Comment", comment, 0, false);
        is->read(L"Length", length, 0, false);
        is->read(L"Diameter", diameter, 0, false);
        is->read(L"Feed", feed, 0, false);
        is->read(L"Speed", speed, 0, false);
        is->read(L"Count", count, 0, false);
        is->read(L"Flag", flag, 0, false);
        is->read(L"Offset", offsetX, offsetY, 0, false);
        zv::iPersistent* p = nullptr;
        is->read(L"Previous", &p, 0, false);
        previous = p; // held by the reader, as the boost side holds its objects in the vector
        if (p)
            p->release();
    }

    zv::guid id;
    zv::string name, comment;
    double length = 0, diameter = 0, feed = 0, offsetX = 0, offsetY = 0;
    int speed = 0;
    unsigned int count = 0;
    bool flag = false;
    zv::iPersistent* previous = nullptr; // not owning
};

struct toolFactory : zv::iObjectFactory {
    void createObject(const wchar_t* cls, zv::iPersistent** object) override {
        if (cls[0] == L't' || cls[0] == L'T') {
            *object = new tool;
            (*object)->addRef();
        }
    }
};

// The objects to store, made once (their guids too: the system's identities
// are not what is measured).
const std::vector<zv::refPtr<tool>>& tools() {
    static const std::vector<zv::refPtr<tool>> all = [] {
        std::vector<zv::refPtr<tool>> v;
        v.reserve(kObjects);
        for (int i = 0; i < kObjects; ++i) {
            zv::refPtr<tool> t(new tool);
            t->id = zv::guid::create();
            t->name = L"Tool " + std::to_wstring(i);
            t->comment = L"drill & <tap> " + std::to_wstring(i % 97);
            t->length = 10.0 + i * 0.001;
            t->diameter = 1.0 / (1 + i % 13);
            t->feed = 0.05 * (i % 20);
            t->offsetX = i * 0.5;
            t->offsetY = -i * 0.25;
            t->speed = 1000 + i % 5000;
            t->count = static_cast<unsigned>(i);
            t->flag = i % 2 == 0;
            t->previous = i > 0 ? v.back().get() : nullptr;
            v.push_back(t);
        }
        return v;
    }();
    return all;
}

void writeZv(const zv::file& target, int n) {
    zv::xmlDbWriter writer(target);
    const std::vector<zv::refPtr<tool>>& all = tools();
    for (int i = 0; i < n; ++i)
        writer.writeObject(all[static_cast<std::size_t>(i)].get(), true);
    writer.close();
}

std::size_t readZv(const zv::file& source) {
    zv::xmlDbReader reader(source);
    toolFactory factory;
    reader.addObjectFactory(&factory);
    std::vector<zv::refPtr<zv::iPersistent>> objects;
    reader.readAllObjects(L"Tool", objects);
    return objects.size();
}

void dbWrite_zv(benchmark::State& state) {
    tools();
    const sameAllocatorSettings settings;
    const zv::file target = libraryFile("write.zvdb");
    writeZv(target, kObjects); // warm-up: the heap holds its pages from now on
    for (auto _ : state)
        writeZv(target, kObjects);
    state.SetItemsProcessed(state.iterations() * kObjects);
}

void dbRead_zv(benchmark::State& state) {
    const zv::file source = libraryFile("read.zvdb");
    writeZv(source, kObjects);
    const sameAllocatorSettings settings;
    readZv(source);
    for (auto _ : state)
        if (readZv(source) != static_cast<std::size_t>(kObjects))
            state.SkipWithError("objects lost");
    state.SetItemsProcessed(state.iterations() * kObjects);
}

void dbReadGrowth_zv(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const zv::file source = libraryFile("growth.zvdb");
    writeZv(source, n);
    const sameAllocatorSettings settings;
    readZv(source);
    for (auto _ : state)
        if (readZv(source) != static_cast<std::size_t>(n))
            state.SkipWithError("objects lost");
    state.SetItemsProcessed(state.iterations() * n);
}

#if defined(ZV_BENCH_HAVE_BOOST_SERIALIZATION)

struct btool {
    std::wstring name, comment;
    double length = 0, diameter = 0, feed = 0, offsetX = 0, offsetY = 0;
    int speed = 0;
    unsigned int count = 0;
    bool flag = false;
    btool* previous = nullptr;

    template <class Archive>
    void serialize(Archive& ar, unsigned int) {
        ar& BOOST_SERIALIZATION_NVP(name);
        ar& BOOST_SERIALIZATION_NVP(comment);
        ar& BOOST_SERIALIZATION_NVP(length);
        ar& BOOST_SERIALIZATION_NVP(diameter);
        ar& BOOST_SERIALIZATION_NVP(feed);
        ar& BOOST_SERIALIZATION_NVP(speed);
        ar& BOOST_SERIALIZATION_NVP(count);
        ar& BOOST_SERIALIZATION_NVP(flag);
        ar& BOOST_SERIALIZATION_NVP(offsetX);
        ar& BOOST_SERIALIZATION_NVP(offsetY);
        ar& BOOST_SERIALIZATION_NVP(previous);
    }
};

std::vector<btool*> boostTools() {
    std::vector<btool*> v;
    v.reserve(kObjects);
    for (const zv::refPtr<tool>& t : tools()) {
        btool* b = new btool;
        b->name = t->name;
        b->comment = t->comment;
        b->length = t->length;
        b->diameter = t->diameter;
        b->feed = t->feed;
        b->offsetX = t->offsetX;
        b->offsetY = t->offsetY;
        b->speed = t->speed;
        b->count = t->count;
        b->flag = t->flag;
        b->previous = v.empty() ? nullptr : v.back();
        v.push_back(b);
    }
    return v;
}

void freeAll(std::vector<btool*>& v) {
    for (btool* b : v)
        delete b;
    v.clear();
}

void writeBoost(const std::string& path, const std::vector<btool*>& objects) {
    std::ofstream out(path, std::ios::binary);
    boost::archive::xml_oarchive ar(out);
    ar << boost::serialization::make_nvp("tools", objects);
}

void dbWrite_boost(benchmark::State& state) {
    std::vector<btool*> objects = boostTools();
    const sameAllocatorSettings settings;
    const std::string path = (folder().path() / "write.boost.xml").string();
    writeBoost(path, objects);
    for (auto _ : state)
        writeBoost(path, objects);
    state.SetItemsProcessed(state.iterations() * kObjects);
    freeAll(objects);
}

void dbRead_boost(benchmark::State& state) {
    const std::string path = (folder().path() / "read.boost.xml").string();
    {
        std::vector<btool*> objects = boostTools();
        writeBoost(path, objects);
        freeAll(objects);
    }
    const sameAllocatorSettings settings;
    auto readBoost = [&] {
        std::vector<btool*> objects;
        {
            std::ifstream in(path, std::ios::binary);
            boost::archive::xml_iarchive ar(in);
            ar >> boost::serialization::make_nvp("tools", objects);
        }
        return objects;
    };
    {
        std::vector<btool*> warm = readBoost();
        freeAll(warm);
    }
    for (auto _ : state) {
        std::vector<btool*> objects;
        {
            std::ifstream in(path, std::ios::binary);
            boost::archive::xml_iarchive ar(in);
            ar >> boost::serialization::make_nvp("tools", objects);
        }
        if (objects.size() != static_cast<std::size_t>(kObjects))
            state.SkipWithError("objects lost");
        freeAll(objects);
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}

#endif

} // namespace

BENCHMARK(dbWrite_zv)->Unit(benchmark::kMillisecond);
BENCHMARK(dbRead_zv)->Unit(benchmark::kMillisecond);
BENCHMARK(dbReadGrowth_zv)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
#if defined(ZV_BENCH_HAVE_BOOST_SERIALIZATION)
BENCHMARK(dbWrite_boost)->Unit(benchmark::kMillisecond);
BENCHMARK(dbRead_boost)->Unit(benchmark::kMillisecond);
#endif
