// Compound documents of arbitrary bytes: written to a temporary file, tested,
// opened and every block read. Nothing crashes, hangs or allocates more than
// the file holds; a document that opens only names blocks inside its data.
#include "zvBinaryBuffer.h"
#include "zvCompoundDoc.h"
#include "zvException.h"
#include "zvFsEntryName.h"

#include "zvFuzzScratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::filesystem::path& folder() {
    return zvfuzz::scratchFolder("cdoc");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20)
        return 0;
    const std::filesystem::path host = folder() / "fuzz.zvc";
    zvfuzz::writeFile(host, data, size);
    const zv::file file(zv::fsEntryName::fromHostPath(host.wstring()));
    zv::compoundDocReader reader(file);
    const bool looksValid = reader.isValid();
    try {
        reader.open();
    } catch (const zv::invalidFileFormatException&) {
        if (!reader.blocks().empty())
            std::abort();
        return 0;
    }
    if (!looksValid)
        std::abort(); // open accepts only what isValid accepts
    for (const zv::compoundDocBlock& b : reader.blocks()) {
        if (b.start > b.end || b.end > size)
            std::abort();
        if (b.name.empty() || b.name.size() > 128 || b.name.find('\0') != std::string::npos)
            continue;
        zv::binaryBuffer buffer;
        if (!reader.read(b.name.c_str(), buffer) || buffer.logicalLength() != b.end - b.start ||
            reader.length(b.name.c_str()) != buffer.logicalLength())
            std::abort();
        if (buffer.logicalLength() != 0 &&
            std::string(buffer.data(), buffer.logicalLength()) !=
                std::string(reinterpret_cast<const char*>(data) + b.start, buffer.logicalLength()))
            std::abort();
    }
    return 0;
}
