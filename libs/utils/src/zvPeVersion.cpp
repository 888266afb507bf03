// The walk: DOS header -> PE header -> resource data directory -> resource
// tree (type 16 = version, first name, first language) -> data entry ->
// VS_VERSIONINFO -> the fixed block with the signature 0xFEEF04BD.
#include "zvPeVersion.h"

#include <cstring>
#include <vector>

namespace zv::pe {

namespace {

constexpr std::uint32_t kVersionType = 16;
constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr std::uint32_t kMaxSections = 96;     // the loader's own limit
constexpr std::uint32_t kMaxEntries = 0x10000; // entries looked at per resource directory

class image {
public:
    image(const byteReader& read, std::uint64_t size) : m_read(read), m_size(size) {}

    bool bytes(std::uint64_t offset, void* out, std::size_t count) const {
        if (offset > m_size || count > m_size - offset)
            return false;
        return m_read(offset, out, count);
    }
    bool u16(std::uint64_t offset, std::uint32_t& value) const {
        unsigned char b[2];
        if (!bytes(offset, b, 2))
            return false;
        value = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8);
        return true;
    }
    bool u32(std::uint64_t offset, std::uint32_t& value) const {
        unsigned char b[4];
        if (!bytes(offset, b, 4))
            return false;
        value = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
        return true;
    }

private:
    const byteReader& m_read;
    std::uint64_t m_size;
};

struct section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

// The file offset of a relative virtual address.
bool fileOffsetOf(const std::vector<section>& sections, std::uint32_t rva, std::uint64_t& offset) {
    for (const section& s : sections) {
        const std::uint64_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
            const std::uint64_t delta = rva - s.virtualAddress;
            if (delta >= s.rawSize)
                return false; // not backed by the file
            offset = static_cast<std::uint64_t>(s.rawOffset) + delta;
            return true;
        }
    }
    return false;
}

// The offset-to-data field of the entry chosen in the resource directory at
// `dir` (relative to the resource section): the one with identifier `id`,
// or the first when `id` is negative.
bool pickEntry(const image& img, std::uint64_t base, std::uint32_t dir, long long id, std::uint32_t& target) {
    std::uint32_t named = 0, ids = 0;
    if (!img.u16(base + dir + 12, named) || !img.u16(base + dir + 14, ids))
        return false;
    const std::uint32_t count = named + ids;
    for (std::uint32_t i = 0; i < count && i < kMaxEntries; ++i) {
        const std::uint64_t entry = base + dir + 16 + static_cast<std::uint64_t>(i) * 8;
        std::uint32_t name = 0, data = 0;
        if (!img.u32(entry, name) || !img.u32(entry + 4, data))
            return false;
        if (id < 0 || (i >= named && (name & 0x80000000u) == 0 && name == static_cast<std::uint32_t>(id))) {
            target = data;
            return true;
        }
    }
    return false;
}

} // namespace

bool readFixedVersion(const byteReader& read, std::uint64_t imageSize, fixedVersion& out) {
    const image img(read, imageSize);
    unsigned char mz[2];
    if (!img.bytes(0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z')
        return false;
    std::uint32_t peOffset = 0;
    if (!img.u32(0x3C, peOffset))
        return false;
    unsigned char signature[4];
    if (!img.bytes(peOffset, signature, 4) || std::memcmp(signature, "PE\0\0", 4) != 0)
        return false;
    const std::uint64_t coff = static_cast<std::uint64_t>(peOffset) + 4;
    std::uint32_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!img.u16(coff + 2, sectionCount) || !img.u16(coff + 16, optionalSize))
        return false;
    const std::uint64_t optional = coff + 20;
    if (!img.u16(optional, magic))
        return false;
    std::uint64_t countField, directories;
    if (magic == 0x10B) {
        countField = 92;
        directories = 96;
    } else if (magic == 0x20B) {
        countField = 108;
        directories = 112;
    } else {
        return false;
    }
    std::uint32_t directoryCount = 0, resourceRva = 0, resourceSize = 0;
    if (!img.u32(optional + countField, directoryCount) || directoryCount < 3 ||
        directories + 3 * 8 > optionalSize)
        return false;
    if (!img.u32(optional + directories + 16, resourceRva) ||
        !img.u32(optional + directories + 20, resourceSize) || resourceRva == 0)
        return false;

    std::vector<section> sections;
    if (sectionCount > kMaxSections)
        return false;
    const std::uint64_t table = optional + optionalSize;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t s = table + static_cast<std::uint64_t>(i) * 40;
        section sec{};
        if (!img.u32(s + 8, sec.virtualSize) || !img.u32(s + 12, sec.virtualAddress) ||
            !img.u32(s + 16, sec.rawSize) || !img.u32(s + 20, sec.rawOffset))
            return false;
        sections.push_back(sec);
    }
    std::uint64_t resources = 0;
    if (!fileOffsetOf(sections, resourceRva, resources))
        return false;

    // Three levels: type, name, language; the last one leads to a data entry.
    std::uint32_t entry = 0;
    if (!pickEntry(img, resources, 0, kVersionType, entry) || (entry & 0x80000000u) == 0)
        return false;
    if (!pickEntry(img, resources, entry & 0x7FFFFFFFu, -1, entry) || (entry & 0x80000000u) == 0)
        return false;
    if (!pickEntry(img, resources, entry & 0x7FFFFFFFu, -1, entry) || (entry & 0x80000000u) != 0)
        return false;
    std::uint32_t dataRva = 0, dataSize = 0;
    if (!img.u32(resources + entry, dataRva) || !img.u32(resources + entry + 4, dataSize))
        return false;
    std::uint64_t data = 0;
    if (!fileOffsetOf(sections, dataRva, data))
        return false;

    // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO",
    // padding to four bytes, then the fixed block of 52 bytes.
    std::uint32_t length = 0, valueLength = 0;
    if (!img.u16(data, length) || !img.u16(data + 2, valueLength))
        return false;
    if (length > dataSize || valueLength < 52)
        return false;
    static const char16_t key[] = u"VS_VERSION_INFO";
    std::uint64_t pos = data + 6;
    for (std::size_t i = 0; i <= 15; ++i, pos += 2) {
        std::uint32_t c = 0;
        if (!img.u16(pos, c) || c != static_cast<std::uint32_t>(i < 15 ? key[i] : 0))
            return false;
    }
    pos = data + ((pos - data + 3) & ~static_cast<std::uint64_t>(3));
    if (pos - data + 52 > length)
        return false;
    std::uint32_t fixedSignature = 0;
    if (!img.u32(pos, fixedSignature) || fixedSignature != kFixedSignature)
        return false;
    fixedVersion found;
    if (!img.u32(pos + 8, found.fileVersionMS) || !img.u32(pos + 12, found.fileVersionLS) ||
        !img.u32(pos + 16, found.productVersionMS) || !img.u32(pos + 20, found.productVersionLS))
        return false;
    out = found;
    return true;
}

bool readFixedVersion(const void* image, std::size_t size, fixedVersion& out) {
    const auto* bytes = static_cast<const unsigned char*>(image);
    const byteReader read = [bytes, size](std::uint64_t offset, void* buffer, std::size_t count) {
        if (bytes == nullptr || offset > size || count > size - offset)
            return false;
        std::memcpy(buffer, bytes + offset, count);
        return true;
    };
    return readFixedVersion(read, size, out);
}

} // namespace zv::pe
