// Whatever loads is saved in both encodings and loaded again: the tree must
// come back the same, apart from the texts of nodes with children, which are
// not written.
#include "zvBinaryBuffer.h"
#include "zvException.h"
#include "zvXml.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

bool sameTree(const zv::xmlNode& a, const zv::xmlNode& b) {
    std::vector<std::pair<const zv::xmlNode*, const zv::xmlNode*>> work{{&a, &b}};
    while (!work.empty()) {
        const auto [x, y] = work.back();
        work.pop_back();
        if (x->name() != y->name() || x->attributes() != y->attributes() ||
            x->childNodes().size() != y->childNodes().size())
            return false;
        if (x->childNodes().empty() && x->text() != y->text())
            return false;
        for (std::size_t i = 0; i < x->childNodes().size(); ++i)
            work.emplace_back(x->childNodes()[i].get(), y->childNodes()[i].get());
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> bytes(data, data + size);
    zv::refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
    try {
        doc->load(bytes.empty() ? "" : bytes.data(), static_cast<unsigned>(size), true);
    } catch (const zv::exception&) {
        return 0;
    } catch (bool) {
        return 0;
    }
    if (doc->name().empty())
        return 0;
    for (const auto encoding : {zv::xmlDocument::eUTF8, zv::xmlDocument::eUTF16}) {
        zv::binaryBuffer saved;
        doc->save(saved, encoding);
        zv::refPtr<zv::xmlDocument> again = zv::xmlDocument::createXmlDocument();
        again->load(saved.data(), saved.logicalLength(), true);
        if (!sameTree(*doc, *again)) {
            std::fprintf(stderr, "round trip changed the tree (encoding %d)\n", static_cast<int>(encoding));
            std::abort();
        }
    }
    return 0;
}
