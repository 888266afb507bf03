// XML documents of arbitrary bytes, loaded with and without blanks kept and
// written back as text. Nothing crashes, hangs or reads past the data; a
// failed load leaves the document as it was.
#include "zvException.h"
#include "zvXml.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so reading past it is caught.
    const std::vector<char> bytes(data, data + size);
    const char* p = bytes.empty() ? "" : bytes.data();
    for (const bool keepBlanks : {false, true}) {
        zv::refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
        doc->setName(L"before");
        try {
            doc->load(p, static_cast<unsigned>(size), keepBlanks);
        } catch (const zv::unexpectedErrorException&) {
            if (doc->name() != L"before" || !doc->childNodes().empty())
                std::abort();
            continue;
        } catch (bool) {
        }
        zv::string text;
        doc->getText(text, L" ");
    }
    return 0;
}
