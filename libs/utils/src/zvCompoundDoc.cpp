#include "zvCompoundDoc.h"

#include "zvBinaryBuffer.h"
#include "zvException.h"
#include "zvSuppressedError.h"

#include "os/zvOs.h"
#include "os/zvOsUpdateFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace zv {

namespace {

constexpr char kMagic[] = {'z', 'v', 'c', 'o', 'm', 'p', 'o', 'u', 'n', 'd', 'D', 'o', 'c'};
constexpr std::size_t kMagicSize = sizeof kMagic;
constexpr std::size_t kTrailerSize = kMagicSize + 8;
constexpr std::uint64_t kMaxNameLength = 128;
// The smallest directory: the magic and the terminating zero length.
constexpr std::uint64_t kEmptyDirectorySize = kMagicSize + 8;
constexpr std::size_t kDirectoryWindow = 0x10000;

using blockRange = std::pair<std::uint64_t, std::uint64_t>; // start, end
using directoryMap = std::map<std::string, blockRange>;     // std::string orders by unsigned bytes

void putU64(std::string& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint64_t getU64(const unsigned char* p) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

// Directory and trailer for a directory that starts at `at`.
std::string directoryBytes(const directoryMap& dir, std::uint64_t at) {
    std::size_t size = kMagicSize + 8 + kTrailerSize;
    for (const auto& entry : dir)
        size += 24 + entry.first.size();
    std::string out;
    out.reserve(size);
    out.append(kMagic, kMagicSize);
    for (const auto& [name, range] : dir) {
        putU64(out, name.size());
        out += name;
        putU64(out, range.first);
        putU64(out, range.second);
    }
    putU64(out, 0);
    out.append(kMagic, kMagicSize);
    putU64(out, at);
    return out;
}

struct fileCloser {
    void operator()(os::sharedReadHandle* h) const { os::closeSharedRead(h); }
};

// Sequential reads inside [pos, limit) of a file through a fixed window, so
// that a directory of any size is read without trusting its length fields.
class boundedReader {
public:
    boundedReader(os::sharedReadHandle* handle, std::uint64_t from, std::uint64_t limit)
        : m_handle(handle), m_next(from), m_limit(limit), m_window(kDirectoryWindow) {}

    bool read(void* dest, std::size_t size) {
        auto* out = static_cast<unsigned char*>(dest);
        while (size > 0) {
            if (m_used == m_filled && !refill())
                return false;
            const std::size_t take = std::min(size, m_filled - m_used);
            std::memcpy(out, m_window.data() + m_used, take);
            m_used += take;
            out += take;
            size -= take;
        }
        return true;
    }

    bool readU64(std::uint64_t& value) {
        unsigned char bytes[8];
        if (!read(bytes, sizeof bytes))
            return false;
        value = getU64(bytes);
        return true;
    }

private:
    bool refill() {
        if (m_next >= m_limit)
            return false;
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_window.size(), m_limit - m_next));
        if (!os::readSharedAt(m_handle, m_next, m_window.data(), want))
            return false;
        m_next += want;
        m_used = 0;
        m_filled = want;
        return true;
    }

    os::sharedReadHandle* m_handle;
    std::uint64_t m_next;
    std::uint64_t m_limit;
    std::vector<unsigned char> m_window;
    std::size_t m_used = 0;
    std::size_t m_filled = 0;
};

// The directory start a trailer names, when it leaves room for a directory
// between itself and the trailer; false otherwise.
bool readTrailer(os::sharedReadHandle* handle, std::uint64_t fileSize, std::uint64_t& directoryStart) {
    unsigned char trailer[kTrailerSize];
    if (fileSize < kTrailerSize + kEmptyDirectorySize ||
        !os::readSharedAt(handle, fileSize - kTrailerSize, trailer, sizeof trailer) ||
        std::memcmp(trailer, kMagic, kMagicSize) != 0)
        return false;
    directoryStart = getU64(trailer + kMagicSize);
    return directoryStart <= fileSize - kTrailerSize - kEmptyDirectorySize;
}

// Reads the directory that starts at `directoryStart` and ends before the
// trailer; false for anything the writer cannot have written.
bool loadDirectory(os::sharedReadHandle* handle, std::uint64_t directoryStart, std::uint64_t fileSize,
                   directoryMap& dir) {
    boundedReader in(handle, directoryStart, fileSize - kTrailerSize);
    char magic[kMagicSize];
    if (!in.read(magic, sizeof magic) || std::memcmp(magic, kMagic, kMagicSize) != 0)
        return false;
    std::vector<blockRange> ranges;
    for (;;) {
        std::uint64_t nameLength = 0;
        if (!in.readU64(nameLength))
            return false;
        if (nameLength == 0)
            break;
        if (nameLength > kMaxNameLength)
            return false;
        char name[kMaxNameLength];
        std::uint64_t start = 0, end = 0;
        if (!in.read(name, static_cast<std::size_t>(nameLength)) || !in.readU64(start) || !in.readU64(end))
            return false;
        if (start > end || end > directoryStart)
            return false;
        // A name written twice keeps its first entry.
        if (dir.emplace(std::string(name, static_cast<std::size_t>(nameLength)), blockRange(start, end))
                .second &&
            start != end)
            ranges.emplace_back(start, end);
    }
    // The writer puts blocks back to back; overlapping ones are damage.
    std::sort(ranges.begin(), ranges.end());
    for (std::size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < ranges[i - 1].second)
            return false;
    return true;
}

// A block name as the messages show it.
zv::string displayName(const char* name) {
    return name == nullptr ? zv::string(L"(null)") : zv::string::sformat(L"%hs", name);
}

} // namespace

// ---- writer ------------------------------------------------------------

struct compoundDocWriter::impl {
    zv::file file;
    os::updateHandle* handle = nullptr;
    bool placed = false;        // the document is in the target's place
    std::uint64_t position = 0; // where the next block goes; the directory's start
    directoryMap directory;
    int uncaught = std::uncaught_exceptions(); // exceptions in flight when the writer was made
};

compoundDocWriter::compoundDocWriter(const zv::file& target) : m_impl(new impl) {
    m_impl->file = target;
}

compoundDocWriter::~compoundDocWriter() {
    // Unwinding from a failure: a document not yet in the target's place is
    // dropped rather than put over the old one half-written.
    if (m_impl->handle != nullptr && !m_impl->placed && std::uncaught_exceptions() > m_impl->uncaught) {
        os::endUpdate(m_impl->handle);
        m_impl->handle = nullptr;
    }
    try {
        close();
    } catch (const zv::exception& e) {
        detail::reportSuppressed(L"zv::compoundDocWriter::~compoundDocWriter", e);
    } catch (...) {
        detail::reportSuppressed(L"zv::compoundDocWriter::~compoundDocWriter", L"closing failed");
    }
    if (m_impl->handle != nullptr)
        os::endUpdate(m_impl->handle);
    delete m_impl;
}

bool compoundDocWriter::isOpen() const {
    return m_impl->handle != nullptr;
}

const zv::file& compoundDocWriter::file() const {
    return m_impl->file;
}

void compoundDocWriter::create() {
    if (m_impl->handle != nullptr)
        throw unexpectedErrorException(L"compoundDocWriter::create: file already open");
    const zv::file& target = m_impl->file;
    if (target.exists() && !target.check(zv::file::accessWrite)) {
        const fileWriteProtectedException cause(target);
        throw writeFileException(target, &cause);
    }
    m_impl->handle = target.empty() ? nullptr : os::beginUpdate(target.c_str());
    if (m_impl->handle == nullptr)
        throw writeFileException(target);
    m_impl->placed = false;
    m_impl->position = 0;
    m_impl->directory.clear();
}

void compoundDocWriter::write(const char* name, const void* data, unsigned int size) {
    // Refused before anything is written: the reader could not read such a name.
    const std::size_t nameLength = name == nullptr ? 0 : std::strlen(name);
    if (nameLength == 0)
        throw unexpectedErrorException(L"compoundDocWriter::write: datablock name is empty");
    if (nameLength > kMaxNameLength)
        throw unexpectedErrorException(
            L"compoundDocWriter::write: datablock name %s is longer than 128 bytes",
            displayName(name).c_str());
    if (data == nullptr && size != 0)
        throw unexpectedErrorException(L"compoundDocWriter::write: no data for datablock %s",
                                       displayName(name).c_str());
    if (m_impl->handle == nullptr)
        create();
    std::string key(name, nameLength);
    if (m_impl->directory.count(key) != 0)
        throw unexpectedErrorException(L"compoundDocWriter::write: datablock %s already existing",
                                       displayName(name).c_str());
    const std::uint64_t start = m_impl->position;
    if (size != 0 && !os::writeUpdateAt(m_impl->handle, start, data, size))
        throw writeFileException(m_impl->file); // the position stays at the block's start
    m_impl->directory.emplace(std::move(key), blockRange(start, start + size));
    m_impl->position = start + size;
}

namespace {

// Directory and trailer at `position`, the file cut right behind them (a
// failed block may have left bytes beyond), and the document in the
// target's place. False on any failure.
bool writeDirectory(os::updateHandle* handle, bool& placed, std::uint64_t position, const directoryMap& dir) {
    const std::string bytes = directoryBytes(dir, position);
    if (!os::writeUpdateAt(handle, position, bytes.data(), bytes.size()) ||
        !os::setUpdateSize(handle, position + bytes.size()))
        return false;
    if (!placed) {
        if (!os::placeUpdate(handle))
            return false;
        placed = true;
    }
    return true;
}

} // namespace

void compoundDocWriter::flush() {
    if (m_impl->handle == nullptr)
        throw unexpectedErrorException(L"compoundDocWriter::flush: file not opened");
    if (!writeDirectory(m_impl->handle, m_impl->placed, m_impl->position, m_impl->directory))
        throw writeFileException(m_impl->file);
}

void compoundDocWriter::close() {
    if (m_impl->handle == nullptr)
        return;
    bool ok = writeDirectory(m_impl->handle, m_impl->placed, m_impl->position, m_impl->directory);
    // The last directory goes to the disk too, not only the first one.
    if (ok && !os::syncUpdate(m_impl->handle))
        ok = false;
    os::updateHandle* handle = m_impl->handle;
    m_impl->handle = nullptr;
    ok = os::endUpdate(handle) && ok;
    if (!ok)
        throw writeFileException(m_impl->file);
}

// ---- reader ------------------------------------------------------------

struct compoundDocReader::impl {
    zv::file file;
    os::sharedReadHandle* handle = nullptr;
    directoryMap directory;
};

compoundDocReader::compoundDocReader(const zv::file& source) : m_impl(new impl) {
    m_impl->file = source;
}

compoundDocReader::~compoundDocReader() {
    close();
    delete m_impl;
}

const zv::file& compoundDocReader::file() const {
    return m_impl->file;
}

void compoundDocReader::open() {
    if (m_impl->handle != nullptr)
        throw unexpectedErrorException(L"compoundDocReader::open: file already open");
    m_impl->directory.clear();
    const zv::file& source = m_impl->file;
    std::unique_ptr<os::sharedReadHandle, fileCloser> handle(
        source.empty() ? nullptr : os::openSharedRead(source.c_str()));
    if (!handle)
        throw readFileException(source);
    std::uint64_t size = 0, directoryStart = 0;
    directoryMap dir;
    bool valid = false;
    try {
        valid = os::sharedReadSize(handle.get(), size) && readTrailer(handle.get(), size, directoryStart) &&
                loadDirectory(handle.get(), directoryStart, size, dir);
    } catch (const std::bad_alloc&) {
        valid = false; // more names than memory: not a directory this library wrote
    }
    if (!valid)
        throw invalidFileFormatException(source);
    m_impl->directory.swap(dir);
    m_impl->handle = handle.release();
}

bool compoundDocReader::isValid() const {
    if (m_impl->handle != nullptr)
        return true;
    if (m_impl->file.empty())
        return false;
    std::unique_ptr<os::sharedReadHandle, fileCloser> handle(os::openSharedRead(m_impl->file.c_str()));
    std::uint64_t size = 0, directoryStart = 0;
    return handle && os::sharedReadSize(handle.get(), size) &&
           readTrailer(handle.get(), size, directoryStart);
}

bool compoundDocReader::has(const char* name) const {
    return name != nullptr && m_impl->directory.count(name) != 0;
}

unsigned int compoundDocReader::length(const char* name) const {
    if (name == nullptr)
        return 0;
    const auto it = m_impl->directory.find(name);
    if (it == m_impl->directory.end())
        return 0;
    const std::uint64_t size = it->second.second - it->second.first;
    return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned int>(size);
}

bool compoundDocReader::read(const char* name, binaryBuffer& buffer) {
    if (name == nullptr || m_impl->handle == nullptr)
        return false;
    const auto it = m_impl->directory.find(name);
    if (it == m_impl->directory.end())
        return false;
    const std::uint64_t size = it->second.second - it->second.first;
    if (size > 0xFFFFFFFFu)
        return false;
    const auto blockSize = static_cast<unsigned int>(size);
    try {
        buffer.reAllocate(blockSize);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (blockSize != 0 && !os::readSharedAt(m_impl->handle, it->second.first, buffer.data(), blockSize)) {
        buffer.clear();
        return false;
    }
    buffer.setLogicalLength(blockSize);
    return true;
}

std::vector<compoundDocBlock> compoundDocReader::blocks() const {
    std::vector<compoundDocBlock> out;
    out.reserve(m_impl->directory.size());
    for (const auto& [name, range] : m_impl->directory)
        out.push_back(compoundDocBlock{name, range.first, range.second});
    return out;
}

void compoundDocReader::close() {
    if (m_impl->handle != nullptr)
        os::closeSharedRead(m_impl->handle);
    m_impl->handle = nullptr;
}

} // namespace zv
