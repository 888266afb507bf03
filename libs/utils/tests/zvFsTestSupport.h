// A temporary folder of its own for each file-system test.
#pragma once

#include "zvDirectory.h"
#include "zvEnvironment.h"
#include "zvFsEntryName.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace zvtest {

class tempFolder {
public:
    tempFolder() {
        std::random_device rd;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        m_host = std::filesystem::temp_directory_path() /
                 ("zvfs-" + std::to_string(rd()) + "-" + std::to_string(stamp % 1000000));
        std::filesystem::create_directories(m_host);
        m_dir = zv::directory(zv::fsEntryName::fromHostPath(m_host.wstring()));
    }
    ~tempFolder() {
        std::error_code ec;
        // Read-only entries would keep the folder on Windows.
        for (auto it = std::filesystem::recursive_directory_iterator(m_host, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_host, ec);
    }
    tempFolder(const tempFolder&) = delete;
    tempFolder& operator=(const tempFolder&) = delete;

    /// The folder in the library's form, with its trailing backslash.
    const zv::directory& dir() const { return m_dir; }
    const std::filesystem::path& host() const { return m_host; }

    /// Writes `content` to `relative` (folders created as needed); the library's name.
    zv::file write(const std::wstring& relative, const std::string& content = "x") const {
        const std::filesystem::path p = m_host / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return zv::file(m_dir, relative);
    }
    zv::directory mkdir(const std::wstring& relative) const {
        std::filesystem::create_directories(m_host / relative);
        return zv::directory(m_dir, relative);
    }

private:
    std::filesystem::path m_host;
    zv::directory m_dir;
};

/// Sets an environment variable while it lives, then puts the previous value back.
class envGuard {
public:
    envGuard(const wchar_t* name, const std::wstring& value) : m_name(name) {
        m_had = zv::getEnvironmentVariable(name, m_old);
        zv::setEnvironmentVariable(name, value.c_str());
    }
    ~envGuard() { zv::setEnvironmentVariable(m_name, m_had ? m_old.c_str() : L""); }
    envGuard(const envGuard&) = delete;
    envGuard& operator=(const envGuard&) = delete;

private:
    const wchar_t* m_name;
    zv::string m_old;
    bool m_had = false;
};

/// Makes a folder the working directory while it lives.
struct cwdGuard {
    explicit cwdGuard(const zv::directory& dir) : before(L".") { ok = dir.makeCurrent(); }
    ~cwdGuard() { before.makeCurrent(); }
    zv::directory before;
    bool ok = false;
};

inline std::string readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// The whole content of a file given by the library's name.
inline std::string readAll(const zv::fsEntryName& name) {
    return readAll(std::filesystem::path(static_cast<const std::wstring&>(name.hostPath())));
}

} // namespace zvtest
