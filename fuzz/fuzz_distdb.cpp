// Distributed databases of arbitrary bytes: the input, split at NUL bytes,
// becomes up to three class files A, B and C in a folder of their own. Every
// object reads a restriction filter and its references, which lead into the
// other class files (or to hostile class names). Nothing crashes, hangs or
// leaks; a class either loads or reports an exception, and asking again gives
// the same answer.
#include "zvDirectory.h"
#include "zvDistributedXmlDatabase.h"
#include "zvException.h"
#include "zvFsEntryName.h"
#include "zvRefObj.h"
#include "zvRestrictionFilter.h"

#include "zvFuzzScratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::filesystem::path& folder() {
    return zvfuzz::scratchFolder("distdb");
}

// Reads a filter and up to eight references; it keeps none of them, so no
// cycle of objects can form.
class anyObject : public zv::refObj, public zv::iPersistent {
public:
    explicit anyObject(const wchar_t* cls) : m_class(cls) {}
    const wchar_t* className() const override { return m_class.c_str(); }
    const zv::guid& guid() const override { return m_id; }
    void writeTo(zv::iDBOStream*) const override {}
    void readFrom(zv::iDBIStream* is) override {
        m_filter.readFrom(is);
        const unsigned int n = is->count(L"r", false);
        for (unsigned int i = 0; i < n && i < 8; ++i) {
            zv::iPersistent* p = nullptr;
            is->read(L"r", &p, i, false);
            if (p)
                p->release();
        }
    }

private:
    zv::string m_class;
    zv::guid m_id;
    zv::restrictionFilter m_filter;
};

class anyFactory : public zv::iObjectFactory {
public:
    void createObject(const wchar_t* className, zv::iPersistent** object) override {
        *object = new anyObject(className);
        (*object)->addRef();
    }
};

// The number of objects of the class, or -1 when it does not load.
long countOf(zv::distributedXmlDatabase& db, const wchar_t* cls) {
    std::vector<zv::refPtr<zv::iPersistent>> all;
    try {
        db.readAllObjects(cls, all);
    } catch (const zv::exception&) {
        return -1;
    } catch (bool) {
        return -1;
    }
    for (const auto& p : all)
        if (!p)
            std::abort(); // only objects are handed out
    return static_cast<long>(all.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 18)
        return 0;
    const char* names[] = {"A.zvdb", "B.zvdb", "C.zvdb"};
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::filesystem::path host = folder() / names[i];
        std::error_code ec;
        std::filesystem::remove(host, ec);
        if (start > size)
            continue;
        std::size_t end = start;
        while (end < size && data[end] != 0)
            ++end;
        zvfuzz::writeFile(host, data + start, end - start);
        start = end + 1;
    }
    anyFactory factory;
    zv::distributedXmlDatabase db(zv::directory(zv::fsEntryName::fromHostPath(folder().wstring(), true)));
    db.addObjectFactory(&factory);
    for (const wchar_t* cls : {L"A", L"B", L"C"}) {
        const long first = countOf(db, cls);
        if (countOf(db, cls) != first)
            std::abort(); // an unchanged file answers the same
    }
    return 0;
}
