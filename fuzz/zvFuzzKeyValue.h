// Shared by the key-value file fuzz targets: arbitrary bytes read by one
// reader dialect, both as UTF-16 text in memory and as the bytes of a file
// (byte-order marks, the ANSI code page), through the reader's own loop and
// the loaders. Nothing crashes, hangs or reads outside the text.
#pragma once

#include "zvBinaryBuffer.h"
#include "zvConfigSet.h"
#include "zvKeyValueFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace zvfuzz {

enum class dialect { ini, cfg, pcf };

inline std::unique_ptr<zv::keyValueFileReader> makeReader(const zv::binaryBuffer& text, dialect kind,
                                                          bool continued) {
    const wchar_t* continuation = continued ? L"\\" : L"";
    if (kind == dialect::cfg)
        return std::make_unique<zv::cfgFileReader>(text, L"", L";", continuation);
    return std::make_unique<zv::keyValueFileReader>(text, L"=", L";", continuation);
}

// Every section and key; the reader must come to an end, and sections and
// keys are never empty.
inline void readAll(zv::keyValueFileReader& reader) {
    zv::string name, key, value;
    if (!reader.open())
        std::abort();
    for (;;) {
        while (reader.readKey(key, value))
            if (key.empty())
                std::abort();
        if (!reader.readSection(name))
            return;
        if (name.empty())
            std::abort();
    }
}

inline void load(const zv::binaryBuffer& text, dialect kind, bool continued) {
    auto reader = makeReader(text, kind, continued);
    readAll(*reader);
    reader->close();
    reader->setBuffer(text);
    if (kind == dialect::pcf) {
        zv::configSet set;
        zv::loadPcfConfigSet(*reader, set, false);
    } else {
        zv::configStructure structure;
        zv::loadConfigStructure(*reader, structure, kind == dialect::cfg);
    }
}

inline int fuzzOne(const std::uint8_t* data, std::size_t size, dialect kind) {
    if (size > 1 << 20)
        return 0;
    zv::binaryBuffer bytes;
    bytes.write(data, static_cast<unsigned>(size));
    const bool continued = size > 0 && (data[0] & 1);
    load(bytes, kind, continued); // as UTF-16 code units (odd sizes included)
    if (zv::keyValueFileReader::decodeFileBytes(bytes))
        load(bytes, kind, continued); // as a file's bytes
    return 0;
}

} // namespace zvfuzz
