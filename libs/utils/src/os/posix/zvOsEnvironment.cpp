#include "../zvOs.h"
#include "zvOsPosixPath.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace zv::os {

// The environment holds bytes here; names and values travel as UTF-8.
bool getEnv(const wchar_t* name, std::wstring& value) {
    value.clear();
    if (name == nullptr || *name == L'\0')
        return false;
    const char* raw = std::getenv(posix::toUtf8(name).c_str());
    if (raw == nullptr)
        return false;
    value = posix::fromUtf8(raw);
    return true;
}

bool setEnv(const wchar_t* name, const wchar_t* value) {
    if (name == nullptr || *name == L'\0')
        return false;
    const std::string key = posix::toUtf8(name);
    if (key.find('=') != std::string::npos)
        return false;
    if (value == nullptr || *value == L'\0')
        return ::unsetenv(key.c_str()) == 0;
    return ::setenv(key.c_str(), posix::toUtf8(value).c_str(), 1) == 0;
}

bool userName(std::wstring& name) {
    name.clear();
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr)
        name = posix::fromUtf8(found->pw_name);
    if (name.empty()) {
        const char* env = std::getenv("USER");
        if (env == nullptr)
            env = std::getenv("LOGNAME");
        if (env != nullptr)
            name = posix::fromUtf8(env);
    }
    return !name.empty();
}

bool computerName(std::wstring& name) {
    name.clear();
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return false;
    name = posix::fromUtf8(buffer);
    return !name.empty();
}

} // namespace zv::os
