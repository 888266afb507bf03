#include "zvFsEntryMutex.h"

#include "zvCodePage.h"
#include "zvDirectory.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvMutex.h"
#include "zvSuppressedError.h"

#include "os/zvOs.h"
#include "os/zvOsLockFile.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace zv {

namespace {

// 247 + 8 = 255 characters: the longest name a folder can hold.
constexpr std::size_t kMaxBaseName = 247;
constexpr const wchar_t* kLockSuffix = L"$$lock$$";
constexpr unsigned int kPollMs = 100;

// The first 247 characters of `name`, never half a surrogate pair.
zv::string cutName(const zv::string& name) {
    if (name.size() <= kMaxBaseName)
        return name;
    std::size_t cut = kMaxBaseName;
    const wchar_t last = name[cut - 1];
    if (sizeof(wchar_t) == 2 && last >= 0xD800 && last <= 0xDBFF)
        --cut;
    return zv::string(name.substr(0, cut));
}

std::string utf8(const std::wstring& text) {
    std::string out;
    if (!toCodePage(text, 65001, out))
        out.clear();
    return out;
}

// "<process id>\n<computer name>\n": who holds the lock.
std::string ownerRecord() {
    std::wstring computer;
    os::computerName(computer);
    return std::to_string(os::currentProcessId()) + "\n" + utf8(computer) + "\n";
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
               };
               return lower(x) == lower(y);
           });
}

// A record of this computer whose process has ended. Anything else (another
// computer, a running process, a file without such a record) is left alone.
bool holderHasEnded(const std::string& record, void*) {
    const std::size_t firstBreak = record.find('\n');
    if (firstBreak == std::string::npos || firstBreak == 0 || firstBreak > 10)
        return false;
    unsigned long long pid = 0;
    for (std::size_t i = 0; i < firstBreak; ++i) {
        if (record[i] < '0' || record[i] > '9')
            return false;
        pid = pid * 10 + static_cast<unsigned>(record[i] - '0');
    }
    const std::size_t secondBreak = record.find('\n', firstBreak + 1);
    if (pid == 0 || pid > 0xFFFFFFFFull || secondBreak == std::string::npos)
        return false;
    std::wstring computer;
    if (!os::computerName(computer) ||
        !sameNameIgnoringCase(record.substr(firstBreak + 1, secondBreak - firstBreak - 1), utf8(computer)))
        return false;
    const auto id = static_cast<unsigned long>(pid);
    return id != os::currentProcessId() && !os::processIsRunning(id);
}

long long millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

struct fsEntryMutex::impl {
    zv::mutex guard;                      // the object's own operations
    zv::string lockPath;                  // full name of the lock file
    os::lockFileHandle* handle = nullptr; // set while held
    unsigned long ownerThread = 0;        // the thread that took it
};

fsEntryMutex::fsEntryMutex() : m_impl(new impl) {}

fsEntryMutex::fsEntryMutex(const file& entry) : m_impl(new impl) {
    try {
        setFsEntry(entry);
    } catch (...) {
        delete m_impl;
        throw;
    }
}

fsEntryMutex::fsEntryMutex(const directory& entry) : m_impl(new impl) {
    try {
        setFsEntry(entry);
    } catch (...) {
        delete m_impl;
        throw;
    }
}

fsEntryMutex::~fsEntryMutex() {
    try {
        release();
    } catch (const zv::exception& e) {
        detail::reportSuppressed(L"zv::fsEntryMutex::~fsEntryMutex", e);
    } catch (...) {
        detail::reportSuppressed(L"zv::fsEntryMutex::~fsEntryMutex", L"releasing failed");
    }
    delete m_impl;
}

void fsEntryMutex::setFsEntry(const file& entry) {
    mutexGuard hold(m_impl->guard);
    release();
    if (!entry.exists())
        throw unexpectedErrorException(L"mutex on a not-existing file is not possible!");
    const zv::string& full = entry;
    const std::size_t slash = full.find_last_of(L'\\');
    m_impl->lockPath =
        zv::string(full.substr(0, slash + 1)) + cutName(zv::string(full.substr(slash + 1))) + kLockSuffix;
}

void fsEntryMutex::setFsEntry(const directory& entry) {
    mutexGuard hold(m_impl->guard);
    release();
    os::entryInfo info;
    if (entry.empty() || !os::entryStatus(entry.c_str(), info) || !info.isDirectory)
        throw unexpectedErrorException(L"mutex on a not-existing directory is not possible!");
    zv::string full = entry;
    if (full.empty() || full.back() != L'\\')
        full += L'\\';
    // The folder's own name: the component before the trailing backslash.
    const std::size_t slash = full.find_last_of(L'\\', full.size() >= 2 ? full.size() - 2 : 0);
    zv::string own(full.substr(slash == std::wstring::npos ? 0 : slash + 1));
    own.pop_back();
    if (own.size() == 2 && own[1] == L':')
        own.clear(); // a drive's root has no name of its own
    m_impl->lockPath = full + cutName(own) + kLockSuffix;
}

zv::string fsEntryMutex::lockFileName() const {
    mutexGuard hold(m_impl->guard);
    return m_impl->lockPath;
}

bool fsEntryMutex::isLocked() const {
    mutexGuard hold(m_impl->guard);
    return m_impl->handle != nullptr;
}

bool fsEntryMutex::lock() {
    return lock(os::waitForever);
}

bool fsEntryMutex::lock(unsigned int timeoutMs) {
    const bool timed = timeoutMs != os::waitForever;
    const auto start = std::chrono::steady_clock::now();
    const auto remaining = [&]() -> long long {
        return static_cast<long long>(timeoutMs) - millisecondsSince(start);
    };
    const std::string record = ownerRecord();
    for (;;) {
        const bool locked = timed ? m_impl->guard.lock(static_cast<unsigned int>(std::max(0LL, remaining())))
                                  : m_impl->guard.lock();
        if (!locked)
            return false;
        bool retryAtOnce = false;
        try {
            if (m_impl->lockPath.empty())
                throw unexpectedErrorException(L"mutex without a file or directory is not possible!");
            if (m_impl->handle != nullptr && m_impl->ownerThread == os::currentThreadId()) {
                m_impl->guard.release();
                return true;
            }
            if (m_impl->handle == nullptr) {
                os::lockFileHandle* handle = nullptr;
                unsigned long error = 0;
                switch (os::createLockFile(m_impl->lockPath.c_str(), record, handle, error)) {
                case os::lockAttempt::taken:
                    m_impl->handle = handle;
                    m_impl->ownerThread = os::currentThreadId();
                    m_impl->guard.release();
                    return true;
                case os::lockAttempt::failed:
                    throw unexpectedErrorException(L"Error creating lockfile %s (%d)!",
                                                   m_impl->lockPath.c_str(), static_cast<int>(error));
                case os::lockAttempt::exists:
                    retryAtOnce = os::removeStaleLockFile(m_impl->lockPath.c_str(), &holderHasEnded, nullptr);
                    break;
                }
            }
        } catch (...) {
            m_impl->guard.release();
            throw;
        }
        m_impl->guard.release();
        if (retryAtOnce)
            continue;
        if (!timed) {
            os::sleepMs(kPollMs);
            continue;
        }
        const long long left = remaining();
        if (left < 0)
            return false;
        // The last look comes just after the time is up, not up to a poll later.
        os::sleepMs(static_cast<unsigned int>(std::min<long long>(kPollMs, left + 1)));
    }
}

void fsEntryMutex::release() {
    mutexGuard hold(m_impl->guard);
    if (m_impl->handle == nullptr)
        return;
    os::lockFileHandle* handle = m_impl->handle;
    m_impl->handle = nullptr;
    m_impl->ownerThread = 0;
    if (!os::releaseLockFile(handle) && os::entryExists(m_impl->lockPath.c_str()))
        throw unexpectedErrorException(L"Error removing lockfile %s!", m_impl->lockPath.c_str());
}

} // namespace zv
