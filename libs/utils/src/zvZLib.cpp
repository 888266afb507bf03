#include "zvZLibDetail.h"

#include "zvCrc32.h"
#include "zvDirectory.h"
#include "zvFile.h"
#include "zvMutex.h"
#include "zvProcess.h"

#include "os/zvOs.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zv {

namespace {

#if defined(_WIN32)
constexpr wchar_t kModuleName[] = L"zvzlib1.dll";
#else
constexpr wchar_t kModuleName[] = L"libzvzlib1.so";
#endif

// The name the failure message gives as the source of the report.
constexpr wchar_t kSourceName[] = L"src/zvZLib.cpp";

// zlib's status codes used here.
constexpr int kZOk = 0;
constexpr int kZStreamError = -2;

// Bytes per read and write in the file operations. Large enough that the
// per-call work (a system call, a progress report) vanishes beside the
// compression itself.
constexpr unsigned kBlock = 0x10000;

using gzopenFn = gzFile (*)(const char*, const char*);
using gzwriteFn = int (*)(gzFile, const void*, unsigned);
using gzreadFn = int (*)(gzFile, void*, unsigned);
using gzcloseFn = int (*)(gzFile);
using zvcompressFn = int (*)(unsigned char*, unsigned long*, const unsigned char*, unsigned long, int);

// The process-wide state of the module. Everything but the use count is
// touched only under `lock`; the count is atomic so it can be read without it.
struct zlibData {
    std::atomic<int> useCount{0};
    gzopenFn gzopen = nullptr;
    gzwriteFn gzwrite = nullptr;
    gzreadFn gzread = nullptr;
    gzcloseFn gzclose = nullptr;
    zvcompressFn zvcompress = nullptr;
    void* module = nullptr;
    zv::mutex lock;
    // Streams opened by gzopen and not yet closed: they keep the module
    // loaded, since their memory belongs to it.
    int openStreams = 0;
    // Tests only: the folder looked in first instead of the library's own.
    zv::string folderOverride;

    bool initialized() const { return module != nullptr; }
};

// Created on first use and never destroyed, so that no use during the
// process's shutdown finds it gone.
zlibData& zlibRecord() {
    static zlibData* const data = new zlibData;
    return *data;
}

template <class Fn>
Fn entryPoint(void* module, const char* name) {
    return reinterpret_cast<Fn>(os::moduleSymbol(module, name));
}

void forgetModule(zlibData& d) {
    d.gzopen = nullptr;
    d.gzwrite = nullptr;
    d.gzread = nullptr;
    d.gzclose = nullptr;
    d.zvcompress = nullptr;
    d.module = nullptr;
}

void unloadModule(zlibData& d) {
    if (d.module != nullptr)
        os::unloadModule(d.module);
    forgetModule(d);
}

// The copy in the library's own folder wins; without one the system's
// search decides.
bool loadModule(zlibData& d) {
    directory dir;
    bool haveDir = false;
    if (!d.folderOverride.empty()) {
        dir = directory(d.folderOverride);
        haveDir = !dir.empty();
    } else {
        haveDir = getModulePath(zv::string(), dir);
    }
    const file beside = haveDir ? file(dir, kModuleName) : file();
    d.module = os::loadModule(!beside.empty() && beside.exists() ? beside.c_str() : kModuleName);
    if (d.module == nullptr)
        return false;
    d.gzopen = entryPoint<gzopenFn>(d.module, "gzopen");
    d.gzwrite = entryPoint<gzwriteFn>(d.module, "gzwrite");
    d.gzread = entryPoint<gzreadFn>(d.module, "gzread");
    d.gzclose = entryPoint<gzcloseFn>(d.module, "gzclose");
    d.zvcompress = entryPoint<zvcompressFn>(d.module, "zvcompress");
    if (d.gzopen && d.gzwrite && d.gzread && d.gzclose && d.zvcompress)
        return true;
    unloadModule(d);
    return false;
}

// The lock is taken before the count changes, so the count only ever
// holds the nesting of the thread that owns the lock: a failure can set it
// back to 0 and unlock without touching anyone else's use.
bool acquire() {
    zlibData& d = zlibRecord();
    if (!d.lock.lock())
        return false;
    if (!d.initialized() && !loadModule(d)) {
        d.useCount.store(0);
        d.lock.release();
        return false;
    }
    d.useCount.fetch_add(1);
    return true;
}

void release() {
    zlibData& d = zlibRecord();
    int count = d.useCount.load();
    if (count > 0)
        d.useCount.store(--count);
    if (count == 0 && d.openStreams == 0)
        unloadModule(d);
    d.lock.release();
}

void reportFailure(int line) {
    std::wstring text = L"Failed to find/init \"";
    text += kModuleName;
    text += L"\"\n\nFile: ";
    text += kSourceName;
    text += L"\nLine: ";
    text += std::to_wstring(line);
    text += L"\n";
    assertMsg(text.c_str());
}

// The initialized record, or an assertion (a guard that was acquired always
// finds it so).
zlibData& loadedRecord() {
    zlibData& sZvZlibData = zlibRecord();
    ZV_ASSERT(sZvZlibData.initialized());
    return sZvZlibData;
}

struct handleCloser {
    void operator()(os::fileHandle* h) const { os::closeFile(h); }
};
using handlePtr = std::unique_ptr<os::fileHandle, handleCloser>;

// Closes a gzip stream that is still open on the way out.
class gzStream {
public:
    explicit gzStream(gzFile gz) : m_gz(gz) {}
    ~gzStream() {
        if (m_gz != nullptr)
            zv::gzclose(m_gz);
    }
    gzStream(const gzStream&) = delete;
    gzStream& operator=(const gzStream&) = delete;
    gzFile get() const { return m_gz; }
    /// Closes the stream; true when zlib finished it without error.
    bool close() {
        const gzFile gz = m_gz;
        m_gz = nullptr;
        return zv::gzclose(gz) == kZOk;
    }

private:
    gzFile m_gz;
};

// The target of a run, written under a temporary name beside it and renamed
// over it only when the run succeeded: a failure, a cancellation or a crash
// leaves an existing target as it was and no partial file behind.
class outputFile {
public:
    explicit outputFile(const file& target) : m_target(target) {}
    ~outputFile() { os::abortReplace(m_handle); }
    outputFile(const outputFile&) = delete;
    outputFile& operator=(const outputFile&) = delete;

    bool open() {
        m_handle = os::beginReplace(m_target.c_str());
        return m_handle != nullptr;
    }
    /// The temporary file, for zlib (which opens files by name) and for
    /// reading back what was written.
    file temporary() const { return file(zv::string(os::replaceTempName(m_handle))); }
    bool write(const void* data, std::size_t size) { return os::writeReplace(m_handle, data, size); }
    /// Flushes the temporary file and renames it over the target.
    bool commit() {
        os::replaceHandle* handle = m_handle;
        m_handle = nullptr;
        return os::commitReplace(handle);
    }

private:
    const file& m_target;
    os::replaceHandle* m_handle = nullptr;
};

// Reading and writing the same file (under any name) would destroy it
// before it is read.
bool usableTarget(const file& source, const file& target) {
    if (source.empty() || target.empty() || source.isEqualTo(target, false) || source.isSameFileAs(target))
        return false;
    return !target.exists() || target.isWriteable();
}

bool report(file::progressCallback progress, void* user, std::uint64_t done, std::uint64_t total) {
    if (progress == nullptr || total == 0)
        return true;
    return progress(100.0 * static_cast<double>(done) / static_cast<double>(total), user);
}

std::uint32_t littleEndian32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The end of a gzip file as it was written: its last member's CRC-32 and
// length (modulo 2^32) of the content. zlib reports a stream cut off right
// after a full block as a clean end, so what was read is checked against it.
struct gzEnd {
    bool isGzip = false; // a file without the magic is copied as it is
    std::uint32_t crc = 0;
    std::uint32_t length = 0;
};

// False when the file cannot be read or is too short for a gzip member.
bool readGzEnd(os::fileHandle* in, gzEnd& end) {
    std::uint64_t size = 0;
    unsigned char magic[2] = {};
    if (!os::fileSizeOf(in, size))
        return false;
    if (size < 2 || !os::readFileAt(in, 0, magic, 2) || magic[0] != 0x1F || magic[1] != 0x8B)
        return true;
    end.isGzip = true;
    unsigned char tail[8];
    if (size < 18 || !os::readFileAt(in, size - 8, tail, 8)) // 10 header bytes, 8 trailer bytes
        return false;
    end.crc = littleEndian32(tail);
    end.length = littleEndian32(tail + 4);
    return true;
}

// The CRC-32 of the last `length` of the `total` bytes of `f`.
bool crcOfTail(const file& f, std::uint64_t total, std::uint64_t length, std::uint32_t& crc) {
    handlePtr in(os::openForReadShared(f.c_str())); // still open for writing
    if (!in || length > total)
        return false;
    std::vector<char> block(kBlock);
    calcCrc32 sum;
    for (std::uint64_t at = total - length; at < total;) {
        const std::size_t n = static_cast<std::size_t>(total - at < kBlock ? total - at : kBlock);
        if (!os::readFileAt(in.get(), at, block.data(), n))
            return false;
        sum.crc(block.data(), static_cast<unsigned long>(n));
        at += n;
    }
    crc = sum.value();
    return true;
}

// Whether `written` bytes with CRC-32 `crc`, now in `target`, end as the
// gzip file said. With several members only the last one's trailer is at
// the end: then the tail of that length must carry that CRC-32. An empty
// last member is not taken that way, since eight zero bytes at the end of a
// cut stream would pass for one.
bool endMatches(const gzEnd& end, const file& target, std::uint64_t written, std::uint32_t crc) {
    if (!end.isGzip)
        return true;
    if (static_cast<std::uint32_t>(written) == end.length && crc == end.crc)
        return true;
    std::uint32_t tailCrc = 0;
    return end.length > 0 && end.length < written && crcOfTail(target, written, end.length, tailCrc) &&
           tailCrc == end.crc;
}

} // namespace

zlibGuard::zlibGuard() : m_acquired(acquire()) {
    if (!m_acquired)
        reportFailure(__LINE__);
}

zlibGuard::~zlibGuard() {
    if (m_acquired)
        release();
}

gzFile gzopen(const char* path, const char* mode) {
    zlibGuard use;
    if (!use.acquired())
        return nullptr;
    zlibData& d = loadedRecord();
    const gzFile gz = d.gzopen(path, mode);
    if (gz != nullptr)
        ++d.openStreams;
    return gz;
}

int gzwrite(gzFile file, const void* buffer, unsigned length) {
    zlibGuard use;
    if (!use.acquired())
        return 0;
    return loadedRecord().gzwrite(file, buffer, length);
}

int gzread(gzFile file, void* buffer, unsigned length) {
    zlibGuard use;
    if (!use.acquired())
        return -1;
    return loadedRecord().gzread(file, buffer, length);
}

int gzclose(gzFile file) {
    zlibGuard use;
    if (!use.acquired())
        return kZStreamError;
    zlibData& d = loadedRecord();
    const int rc = d.gzclose(file);
    if (file != nullptr && d.openStreams > 0)
        --d.openStreams;
    return rc;
}

bool gzPathOf(const file& f, std::string& path) {
    return !f.empty() && os::runtimePath(f.c_str(), path);
}

bool file::gzCompressTo(const file& target, progressCallback progress, void* user) const {
    try {
        std::string gzName;
        if (!usableTarget(*this, target) || !gzPathOf(target, gzName))
            return false;
        handlePtr in(os::openForRead(c_str()));
        if (!in)
            return false;
        std::uint64_t total = 0;
        if (!os::fileSizeOf(in.get(), total))
            total = 0;
        zlibGuard use; // one use for the whole run keeps the module loaded
        if (!use.acquired())
            return false;
        // zlib appends to the temporary file by name: a new file may not be
        // created over it on Windows, where it is hidden.
        outputFile output(target); // declared first: removed after the stream is closed
        if (!output.open() || !gzPathOf(output.temporary(), gzName))
            return false;
        gzStream gz(zv::gzopen(gzName.c_str(), "ab"));
        if (gz.get() == nullptr)
            return false;
        std::vector<char> block(kBlock);
        std::uint64_t done = 0;
        for (;;) {
            const long long got = os::readFile(in.get(), block.data(), block.size());
            if (got < 0)
                return false;
            if (got == 0)
                break;
            if (zv::gzwrite(gz.get(), block.data(), static_cast<unsigned>(got)) != got)
                return false;
            done += static_cast<std::uint64_t>(got);
            if (!report(progress, user, done, total))
                return false;
        }
        return gz.close() && output.commit();
    } catch (bool) {
        return false;
    }
}

bool file::gzUncompressTo(const file& target, progressCallback progress, void* user) const {
    try {
        std::string gzName;
        if (!usableTarget(*this, target) || !exists() || !gzPathOf(*this, gzName))
            return false;
        const std::uint64_t total = size64();
        gzEnd end;
        {
            // Opened through the library first: a pipe or device is refused
            // here rather than blocking zlib.
            handlePtr in(os::openForRead(c_str()));
            if (!in || !readGzEnd(in.get(), end))
                return false;
        }
        zlibGuard use;
        if (!use.acquired())
            return false;
        gzStream gz(zv::gzopen(gzName.c_str(), "rb"));
        if (gz.get() == nullptr)
            return false;
        outputFile output(target);
        if (!output.open())
            return false;
        std::vector<char> block(kBlock);
        std::uint64_t done = 0;
        calcCrc32 sum;
        for (;;) {
            const int got = zv::gzread(gz.get(), block.data(), kBlock);
            if (got < 0)
                return false;
            if (got == 0)
                break;
            if (!output.write(block.data(), static_cast<std::size_t>(got)))
                return false;
            sum.crc(block.data(), static_cast<unsigned long>(got));
            done += static_cast<std::uint64_t>(got);
            if (!report(progress, user, done, total))
                return false;
        }
        // A truncated stream reads like a short one; zlib tells it apart
        // only when the stream is closed, and not even then when it was cut
        // at the end of a block: the trailer decides.
        return gz.close() && endMatches(end, output.temporary(), done, sum.value()) && output.commit();
    } catch (bool) {
        return false;
    }
}

namespace detail {

const wchar_t* zlibModuleName() {
    return kModuleName;
}

bool setZlibModuleFolderForTesting(const zv::string& folder) {
    zlibData& d = zlibRecord();
    mutexGuard hold(d.lock);
    if (d.initialized())
        return false;
    d.folderOverride = folder;
    return true;
}

bool zlibModuleLoaded() {
    zlibData& d = zlibRecord();
    mutexGuard hold(d.lock);
    return d.initialized();
}

int zlibUseCount() {
    return zlibRecord().useCount.load();
}

bool zlibModuleFile(zv::file& module) {
    zlibData& d = zlibRecord();
    mutexGuard hold(d.lock);
    return d.initialized() && getModuleFileName(d.module, module);
}

} // namespace detail

} // namespace zv
