#include "zvBinaryBuffer.h"

#include "zvBase64.h"
#include "zvCodePage.h"
#include "zvDirectory.h"
#include "zvFile.h"

#include "os/zvOs.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace zv {

namespace {

constexpr std::uint64_t kMaxLength = 0xFFFFFFFFu;
constexpr unsigned kMinShrunk = 8;
// Bytes per read while filling the array straight from a file.
constexpr std::size_t kReadChunk = 0x4000000; // 64 MiB
constexpr std::size_t kExtraBlock = 0x10000;  // 64 KiB, for a file that grew meanwhile
constexpr unsigned kKeyLengthModulus = 0x10000;

struct handleCloser {
    void operator()(os::fileHandle* h) const { os::closeFile(h); }
};
using handlePtr = std::unique_ptr<os::fileHandle, handleCloser>;

// The length the content would have; bad_alloc beyond 32 bits.
unsigned checkedLength(std::uint64_t length) {
    if (length > kMaxLength)
        throw std::bad_alloc();
    return static_cast<unsigned>(length);
}

bool overlaps(const char* block, std::size_t blockSize, const void* data, std::size_t size) {
    const auto b = reinterpret_cast<std::uintptr_t>(block);
    const auto d = reinterpret_cast<std::uintptr_t>(data);
    return block != nullptr && d < b + blockSize && b < d + size;
}

unsigned keyLength(const char* key) {
    return key == nullptr ? 0 : static_cast<unsigned>(std::strlen(key) % kKeyLengthModulus);
}

unsigned char rotateRight(unsigned char b) {
    return static_cast<unsigned char>((b >> 1) | (b << 7));
}

// The first turn: an arithmetic shift, so high bytes fill with ones.
unsigned char oldTurn(unsigned char b) {
    return static_cast<unsigned char>((b << 7) | (static_cast<signed char>(b) >> 1));
}

template <class Turn>
void scramble(char* data, unsigned length, const char* key, Turn turn) {
    const unsigned size = keyLength(key);
    if (size == 0 || data == nullptr)
        return;
    std::vector<unsigned char> work(key, key + size);
    unsigned at = 0;
    for (unsigned i = 0; i < length; ++i) {
        data[i] = static_cast<char>(static_cast<unsigned char>(data[i]) ^ work[at]);
        if (++at == size) {
            at = 0;
            for (unsigned char& b : work)
                b = turn(b);
        }
    }
}

// A temporary file that is removed on every way out.
class tempFile {
public:
    tempFile() : m_file(file::generateRandomFile(directory(), L"tmp")) {}
    ~tempFile() {
        if (!m_file.empty())
            os::removeFile(m_file.c_str());
    }
    tempFile(const tempFile&) = delete;
    tempFile& operator=(const tempFile&) = delete;
    const file& get() const { return m_file; }
    bool ok() const { return !m_file.empty(); }

private:
    file m_file;
};

} // namespace

binaryBuffer::binaryBuffer(unsigned size)
    : m_data(size ? new char[size] : nullptr), m_logicalLength(0), m_physicalLength(size) {}

binaryBuffer::binaryBuffer(char* data, unsigned size)
    : m_data(nullptr), m_logicalLength(0), m_physicalLength(0) {
    ZV_ASSERT(data != nullptr || size == 0);
    m_data = data;
    m_logicalLength = m_physicalLength = data ? size : 0;
}

binaryBuffer::binaryBuffer(const binaryBuffer& other)
    : m_data(other.m_logicalLength ? new char[other.m_logicalLength] : nullptr),
      m_logicalLength(other.m_logicalLength), m_physicalLength(other.m_logicalLength) {
    if (m_logicalLength)
        std::memcpy(m_data, other.m_data, m_logicalLength);
}

binaryBuffer& binaryBuffer::operator=(const binaryBuffer& other) {
    if (this == &other)
        return *this;
    m_logicalLength = 0;
    reAllocate(other.m_logicalLength);
    if (other.m_logicalLength)
        std::memcpy(m_data, other.m_data, other.m_logicalLength);
    m_logicalLength = other.m_logicalLength;
    return *this;
}

binaryBuffer::~binaryBuffer() {
    delete[] m_data;
    m_data = nullptr;
    m_logicalLength = m_physicalLength = 0;
}

bool binaryBuffer::setLogicalLength(unsigned length) {
    if (length > m_physicalLength)
        return false;
    m_logicalLength = length;
    return true;
}

char* binaryBuffer::unlinkBuffer() {
    char* data = m_data;
    m_data = nullptr;
    m_logicalLength = m_physicalLength = 0;
    return data;
}

bool binaryBuffer::operator==(const binaryBuffer& other) const {
    return m_logicalLength == other.m_logicalLength &&
           (m_logicalLength == 0 || std::memcmp(m_data, other.m_data, m_logicalLength) == 0);
}

void binaryBuffer::growTo(unsigned needed) {
    char* fresh = new char[needed];
    if (m_data != nullptr)
        std::memcpy(fresh, m_data, m_physicalLength);
    delete[] m_data;
    m_data = fresh;
    m_physicalLength = needed;
}

void binaryBuffer::takeOver(binaryBuffer& other) {
    if (this == &other)
        return;
    delete[] m_data;
    m_data = other.m_data;
    m_logicalLength = other.m_logicalLength;
    m_physicalLength = other.m_physicalLength;
    other.m_data = nullptr;
    other.m_logicalLength = other.m_physicalLength = 0;
}

void binaryBuffer::write(const void* data, unsigned size) {
    if (size == 0)
        return;
    ZV_ASSERT(data != nullptr);
    const unsigned needed = checkedLength(std::uint64_t(m_logicalLength) + size);
    if (needed > m_physicalLength) {
        // The source may lie in the old array: copy it before that goes.
        char* fresh = new char[needed];
        if (m_data != nullptr)
            std::memcpy(fresh, m_data, m_physicalLength);
        std::memcpy(fresh + m_logicalLength, data, size);
        delete[] m_data;
        m_data = fresh;
        m_physicalLength = needed;
    } else {
        std::memmove(m_data + m_logicalLength, data, size);
    }
    m_logicalLength = needed;
}

void binaryBuffer::writeAtStart(const void* data, unsigned size) {
    if (size == 0)
        return;
    ZV_ASSERT(data != nullptr);
    const unsigned needed = checkedLength(std::uint64_t(m_logicalLength) + size);
    if (needed > m_physicalLength) {
        char* fresh = new char[needed];
        std::memcpy(fresh, data, size);
        if (m_logicalLength)
            std::memcpy(fresh + size, m_data, m_logicalLength);
        delete[] m_data;
        m_data = fresh;
        m_physicalLength = needed;
    } else {
        // Moving the old bytes back would overwrite a source inside them.
        std::vector<char> copy;
        if (overlaps(m_data, m_physicalLength, data, size)) {
            copy.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
            data = copy.data();
        }
        std::memmove(m_data + size, m_data, m_logicalLength);
        std::memcpy(m_data, data, size);
    }
    m_logicalLength = needed;
}

bool binaryBuffer::isValidCursor(const void* cursor) const {
    if (m_data == nullptr || cursor == nullptr)
        return false;
    const auto c = reinterpret_cast<std::uintptr_t>(cursor);
    const auto begin = reinterpret_cast<std::uintptr_t>(m_data);
    return c >= begin && c < begin + m_logicalLength;
}

unsigned binaryBuffer::read(void*& cursor, void* dest, unsigned size) {
    const void* at = cursor != nullptr ? cursor : m_data;
    if (size == 0 || !isValidCursor(at))
        return 0;
    ZV_ASSERT(dest != nullptr);
    const std::size_t offset =
        reinterpret_cast<std::uintptr_t>(at) - reinterpret_cast<std::uintptr_t>(m_data);
    const unsigned count = std::min<unsigned>(size, static_cast<unsigned>(m_logicalLength - offset));
    std::memcpy(dest, m_data + offset, count);
    cursor = m_data + offset + count;
    return count;
}

void binaryBuffer::reAllocate(unsigned size) {
    if (size > m_physicalLength)
        growTo(size);
}

void binaryBuffer::shrink() {
    const unsigned size = std::max(m_logicalLength, kMinShrunk);
    if (size >= m_physicalLength)
        return;
    char* fresh = new char[size];
    if (m_logicalLength)
        std::memcpy(fresh, m_data, m_logicalLength);
    delete[] m_data;
    m_data = fresh;
    m_physicalLength = size;
}

// The array is reserved for the whole file and filled in place; a read error
// leaves the bytes in use as they were.
bool binaryBuffer::readFromFile(const file& source) {
    if (source.empty())
        return false;
    handlePtr in(os::openForRead(source.c_str()));
    if (!in)
        return false;
    std::uint64_t size = 0;
    if (!os::fileSizeOf(in.get(), size))
        size = 0;
    if (m_logicalLength + size > kMaxLength)
        return false;
    reAllocate(static_cast<unsigned>(m_logicalLength + size));
    std::uint64_t filled = m_logicalLength;
    while (filled < m_physicalLength) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_physicalLength - filled, kReadChunk));
        const long long got = os::readFile(in.get(), m_data + filled, want);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        filled += static_cast<std::uint64_t>(got);
    }
    if (filled == m_physicalLength) {
        // The file grew since its size was taken: append the rest.
        std::vector<char> block(kExtraBlock);
        const unsigned before = m_logicalLength;
        m_logicalLength = static_cast<unsigned>(filled);
        try {
            for (;;) {
                const long long got = os::readFile(in.get(), block.data(), block.size());
                if (got == 0)
                    break;
                if (got < 0 || m_logicalLength + static_cast<std::uint64_t>(got) > kMaxLength) {
                    m_logicalLength = before;
                    return false;
                }
                write(block.data(), static_cast<unsigned>(got));
            }
        } catch (...) {
            m_logicalLength = before;
            throw;
        }
        return true;
    }
    m_logicalLength = static_cast<unsigned>(filled);
    return true;
}

bool binaryBuffer::writeToFile(const file& target, bool append) const {
    if (target.empty())
        return false;
    handlePtr out(append ? os::openForAppend(target.c_str()) : os::openForWrite(target.c_str()));
    if (!out)
        return false;
    return m_logicalLength == 0 || os::writeFile(out.get(), m_data, m_logicalLength);
}

bool binaryBuffer::isGZCompressed() const {
    if (m_logicalLength < 3)
        return false;
    const auto* b = reinterpret_cast<const unsigned char*>(m_data);
    return b[0] == 0x1F && b[1] == 0x8B && b[2] == 0x08;
}

namespace {

using fileTransform = bool (file::*)(const file&, bool (*)(double, void*), void*) const;

// Writes `content` to a temporary file, runs `transform` from it into a
// second one and reads that into `result`; both files go again.
bool throughTemporaryFiles(const binaryBuffer& content, fileTransform transform, binaryBuffer& result) {
    const tempFile source;
    const tempFile target;
    return source.ok() && target.ok() && content.writeToFile(source.get(), false) &&
           (source.get().*transform)(target.get(), nullptr, nullptr) && result.readFromFile(target.get());
}

} // namespace

bool binaryBuffer::gzCompress() {
    binaryBuffer fresh;
    if (!throughTemporaryFiles(*this, &file::gzCompressTo, fresh))
        return false;
    takeOver(fresh);
    return true;
}

bool binaryBuffer::gzUncompress() {
    binaryBuffer fresh;
    if (!throughTemporaryFiles(*this, &file::gzUncompressTo, fresh))
        return false;
    takeOver(fresh);
    return true;
}

bool binaryBuffer::base64Encode() {
    if ((std::uint64_t(m_logicalLength) + 2) / 3 * 4 > kMaxLength)
        return false;
    std::string text;
    base64_encode(reinterpret_cast<const unsigned char*>(m_data), m_logicalLength, text);
    binaryBuffer fresh(static_cast<unsigned>(text.size()));
    fresh.write(text.data(), static_cast<unsigned>(text.size()));
    takeOver(fresh);
    return true;
}

bool binaryBuffer::base64Decode() {
    std::string bytes;
    base64_decode(std::string(m_data ? m_data : "", m_logicalLength), bytes);
    binaryBuffer fresh(static_cast<unsigned>(bytes.size()));
    fresh.write(bytes.data(), static_cast<unsigned>(bytes.size()));
    takeOver(fresh);
    return true;
}

bool binaryBuffer::mbcsToWideChar() {
    std::wstring wide;
    if (!fromCodePage(std::string(m_data ? m_data : "", m_logicalLength), ansiCodePage(), wide))
        return false;
    // UTF-16 code units, whatever the width of wchar_t.
    std::vector<unsigned char> units;
    units.reserve(wide.size() * 2);
    auto put = [&units](unsigned unit) {
        units.push_back(static_cast<unsigned char>(unit & 0xFF));
        units.push_back(static_cast<unsigned char>(unit >> 8));
    };
    for (wchar_t c : wide) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code > 0xFFFF && code <= 0x10FFFF) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(code > 0xFFFF ? 0xFFFD : code);
        }
    }
    if (units.size() > kMaxLength)
        return false;
    binaryBuffer fresh(static_cast<unsigned>(units.size()));
    fresh.write(units.data(), static_cast<unsigned>(units.size()));
    takeOver(fresh);
    return true;
}

void binaryBuffer:: xor
    (const char* key) {
        const unsigned size = keyLength(key);
        if (size == 0 || m_data == nullptr)
            return;
        for (unsigned i = 0; i < m_logicalLength; ++i)
            m_data[i] = static_cast<char>(m_data[i] ^ key[i % size]);
    }

    void binaryBuffer::xxor(const char* key) {
    scramble(m_data, m_logicalLength, key, rotateRight);
}

void binaryBuffer::xxorDontUseAnyLonger(const char* key) {
    scramble(m_data, m_logicalLength, key, oldTurn);
}

} // namespace zv
