// Library names to host paths and back. Drive C: (or the letter named by
// ZV_ROOT_DRIVE) is "/", another drive X: is the folder named by
// ZV_DRIVE_X, and "\\server\share\..." lies below ZV_UNC_ROOT. A drive
// that is not mapped does not exist. The variables are read on every call.
#include "../zvOs.h"
#include "zvOsPosixPath.h"

#include "../../zvCodePageDetail.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zv::os {

namespace posix {

std::string toUtf8(const std::wstring& text) {
    std::string out;
    detail::wideToUtf8(text.data(), text.size(), out);
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    std::wstring out;
    detail::utf8ToWide(text.data(), text.size(), out);
    return out;
}

namespace {

wchar_t upperAscii(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}
char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool isLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

std::string withoutTrailingSlashes(std::string text) {
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

wchar_t rootDriveLetter() {
    const char* env = std::getenv("ZV_ROOT_DRIVE");
    if (env != nullptr && isLetter(static_cast<wchar_t>(env[0])))
        return upperAscii(static_cast<wchar_t>(env[0]));
    return L'C';
}

// The host folder of drive `letter` (upper case); false when unmapped.
bool driveRoot(wchar_t letter, std::string& root) {
    char key[] = "ZV_DRIVE_X";
    key[9] = static_cast<char>(letter);
    const char* env = std::getenv(key);
    if (env != nullptr && env[0] == '/') {
        root = withoutTrailingSlashes(env);
        return true;
    }
    if (letter == rootDriveLetter()) {
        root.assign(1, '/');
        return true;
    }
    return false;
}

bool uncRoot(std::string& root) {
    const char* env = std::getenv("ZV_UNC_ROOT");
    if (env == nullptr || env[0] != '/')
        return false;
    root = withoutTrailingSlashes(env);
    return true;
}

bool equalIgnoringCase(const char* a, const std::string& b) {
    std::size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return a[i] == '\0' && i == b.size();
}

std::string join(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

// Walks the components below `root`; each one that does not exist as spelt
// is looked up ignoring case. From the first component found in neither
// way on, the rest is taken as given (it may be about to be created).
std::string resolveIgnoringCase(const std::string& root, const std::vector<std::string>& parts) {
    std::string current = root;
    std::size_t i = 0;
    for (; i < parts.size(); ++i) {
        std::string candidate = join(current, parts[i]);
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) == 0) {
            current = std::move(candidate);
            continue;
        }
        bool found = false;
        if (DIR* dir = ::opendir(current.c_str())) {
            while (dirent* entry = ::readdir(dir)) {
                if (equalIgnoringCase(entry->d_name, parts[i])) {
                    current = join(current, entry->d_name);
                    found = true;
                    break;
                }
            }
            ::closedir(dir);
        }
        if (!found)
            break;
    }
    for (; i < parts.size(); ++i)
        current = join(current, parts[i]);
    return current;
}

} // namespace

bool mapToHost(const wchar_t* name, std::string& host) {
    host.clear();
    if (name == nullptr)
        return false;
    const std::wstring text(name);
    std::string root;
    std::wstring rest;
    if (text.size() >= 2 && text[1] == L':' && isLetter(text[0])) {
        if (!driveRoot(upperAscii(text[0]), root))
            return false;
        rest = text.substr(2);
    } else if (text.size() >= 2 && (text[0] == L'\\' || text[0] == L'/') &&
               (text[1] == L'\\' || text[1] == L'/')) {
        if (!uncRoot(root))
            return false;
        rest = text.substr(2);
    } else {
        return false;
    }
    std::vector<std::string> parts;
    std::wstring part;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == L'\\' || rest[i] == L'/') {
            // ".." never climbs above the mapped root ("D:..\x" stays on D:).
            if (part == L"..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!part.empty() && part != L".") {
                parts.push_back(toUtf8(part));
            }
            part.clear();
        } else {
            part.push_back(rest[i]);
        }
    }
    host = root;
    for (const std::string& p : parts)
        host = join(host, p);
    struct stat st {};
    if (!parts.empty() && ::lstat(host.c_str(), &st) != 0)
        host = resolveIgnoringCase(root, parts);
    return true;
}

} // namespace posix

bool hostPath(const wchar_t* name, std::wstring& host) {
    std::string mapped;
    if (!posix::mapToHost(name, mapped)) {
        host.clear();
        return false;
    }
    host = posix::fromUtf8(mapped);
    return true;
}

std::wstring libraryPathFromHost(const std::wstring& host) {
    if (host.empty() || host[0] != L'/')
        return host;
    const std::string path = posix::withoutTrailingSlashes(posix::toUtf8(host));
    // The mapped root that holds the path most closely wins.
    std::size_t best = 0;
    std::wstring prefix;
    auto consider = [&](const std::string& root, const std::wstring& name) {
        const bool inside = root == "/" || path == root ||
                            (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                             path[root.size()] == '/');
        const std::size_t length = root == "/" ? 1 : root.size() + 1;
        if (inside && length > best) {
            best = length;
            prefix = name;
        }
    };
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        std::string root;
        if (posix::driveRoot(letter, root))
            consider(root, std::wstring(1, letter) + L":");
    }
    std::string unc;
    if (posix::uncRoot(unc))
        consider(unc, L"\\");
    if (best == 0)
        return host;
    std::wstring rest = path.size() >= best ? posix::fromUtf8(path.substr(best)) : std::wstring();
    for (wchar_t& c : rest)
        if (c == L'/')
            c = L'\\';
    return prefix + L"\\" + rest;
}

bool currentDirectory(std::wstring& dir) {
    dir.clear();
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return false;
        buffer.resize(buffer.size() * 2);
    }
    dir = libraryPathFromHost(posix::fromUtf8(buffer.data()));
    if (dir.empty() || dir[0] == L'/')
        return false; // outside every mapped root
    while (dir.size() > 3 && dir.back() == L'\\')
        dir.pop_back();
    return true;
}

int currentDrive() {
    std::wstring dir;
    if (!currentDirectory(dir) || dir.size() < 2 || dir[1] != L':')
        return 0;
    return posix::upperAscii(dir[0]) - L'A' + 1;
}

bool changeDrive(int drive) {
    if (drive < 1 || drive > 26)
        return false;
    if (currentDrive() == drive)
        return true;
    std::string root;
    if (!posix::driveRoot(static_cast<wchar_t>(L'A' + drive - 1), root))
        return false;
    return ::chdir(root.c_str()) == 0;
}

bool changeDirectory(const wchar_t* dir) {
    std::string host;
    return posix::mapToHost(dir, host) && ::chdir(host.c_str()) == 0;
}

} // namespace zv::os
