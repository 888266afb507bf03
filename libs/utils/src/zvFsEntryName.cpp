#include "zvFsEntryName.h"

#include "zvEnvironment.h"
#include "zvFsEntry.h"

#include "os/zvOs.h"

namespace zv {

namespace {

const wchar_t kInvalidChars[] = L"\\/<>:*?|#\"";

void trimTrailing(std::wstring& text, wchar_t c) {
    while (!text.empty() && text.back() == c)
        text.pop_back();
}

void trimLeading(std::wstring& text, wchar_t c) {
    std::size_t n = 0;
    while (n < text.size() && text[n] == c)
        ++n;
    text.erase(0, n);
}

bool startsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Replaces every "%name%" by `value`, continuing behind each replacement.
void replaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with) {
    std::size_t pos = text.find(what);
    while (pos != std::wstring::npos) {
        text.replace(pos, what.size(), with);
        pos = text.find(what, pos + with.size());
    }
}

std::wstring normalise(std::wstring t) {
    if (t.empty() || t.find(L'\0') != std::wstring::npos)
        return std::wstring();

    // The first %VAR% reference, if the variable is known.
    const std::size_t open = t.find(L'%');
    if (open != std::wstring::npos) {
        const std::size_t close = t.find(L'%', open + 1);
        if (close != std::wstring::npos && close > open + 1) {
            const std::wstring var = t.substr(open + 1, close - open - 1);
            zv::string value;
            if (getEnvironmentVariable(var.c_str(), value))
                replaceAll(t, L"%" + var + L"%", value);
        }
    }

    // A quoted name: what follows the closing quote (arguments) goes.
    if (!t.empty() && t[0] == L'"') {
        t.erase(0, 1);
        const std::size_t quote = t.rfind(L'"');
        if (quote != std::wstring::npos)
            t.erase(quote);
    }

    for (wchar_t& c : t)
        if (c == L'/')
            c = L'\\';

    // Absolute: UNC and "X:..." stay, "\x" gets the current drive, the rest
    // goes below the working directory.
    const bool unc = t.size() >= 2 && t[0] == L'\\' && t[1] == L'\\';
    if (unc || (t.size() >= 2 && t[1] == L':')) {
        // kept as given
    } else if (!t.empty() && t[0] == L'\\') {
        const int drive = os::currentDrive();
        if (drive >= 1 && drive <= 26) {
            t.insert(0, std::wstring{static_cast<wchar_t>(L'A' + drive - 1), L':'});
        } else {
            // A working directory without a drive letter (a UNC share): its prefix.
            std::wstring cwd;
            if (!os::currentDirectory(cwd) || !startsWith(cwd, L"\\\\"))
                return std::wstring();
            const std::size_t server = cwd.find(L'\\', 2);
            const std::size_t share = server == std::wstring::npos ? server : cwd.find(L'\\', server + 1);
            t.insert(0, share == std::wstring::npos ? cwd : cwd.substr(0, share));
        }
    } else {
        std::wstring cwd;
        if (!os::currentDirectory(cwd))
            return std::wstring();
        for (wchar_t& c : cwd)
            if (c == L'/')
                c = L'\\';
        if (cwd.empty() || cwd.back() != L'\\')
            cwd.push_back(L'\\');
        t.insert(0, cwd);
    }

    // Doubled delimiters, from position 1 on so that a UNC prefix survives.
    for (std::size_t pos = t.find(L"\\\\", 1); pos != std::wstring::npos; pos = t.find(L"\\\\", pos))
        t.erase(pos, 1);

    if (t.empty() || t.back() != L'\\')
        t.push_back(L'\\');

    // ".." before ".": a "." component counts as the one ".." removes.
    for (std::size_t p = t.find(L"\\..\\"); p != std::wstring::npos; p = t.find(L"\\..\\")) {
        std::size_t q = p == 0 ? std::wstring::npos : t.rfind(L'\\', p - 1);
        // ".." never climbs above "\\server" nor above a drive, whatever
        // character stands before its colon.
        if ((unc || t[1] == L':') && q != std::wstring::npos && q < 2)
            q = std::wstring::npos;
        if (q != std::wstring::npos)
            t.erase(q + 1, p + 3 - q);
        else
            t.erase(p, 3);
    }
    for (std::size_t p = t.find(L"\\.\\"); p != std::wstring::npos; p = t.find(L"\\.\\"))
        t.erase(p, 2);

    trimTrailing(t, L'\\');
    return t;
}

} // namespace

fsEntryName::fsEntryName(const zv::string& directory, const zv::string& name, bool appendDelimiter) {
    if (directory.empty())
        return;
    zv::string text = directory + L"\\";
    if (!name.empty())
        text += name;
    setName(text, appendDelimiter);
}

void fsEntryName::setName(const zv::string& text, bool appendDelimiter) {
    std::wstring result = normalise(text);
    if (appendDelimiter && !result.empty())
        result.push_back(L'\\');
    std::wstring::operator=(std::move(result));
}

void fsEntryName::getComponents(zv::string& drive, zv::string& path, zv::string& name, zv::string& extension,
                                bool lastDot) const {
    drive.clear();
    path.clear();
    name.clear();
    extension.clear();
    const std::wstring& s = *this;
    if (s.empty())
        return;
    if (s.size() >= 2 && s[1] == L':') {
        drive = s.substr(0, 2);
        drive.toUpper();
    } else if (startsWith(s, L"\\\\")) {
        const std::size_t end = s.find(L'\\', 2);
        drive = end == std::wstring::npos ? s : s.substr(0, end);
    }
    std::wstring rest = s.substr(drive.size());
    while (!rest.empty() && (rest.back() == L'\\' || rest.back() == L'/'))
        rest.pop_back();
    const std::size_t last = rest.find_last_of(L"\\/");
    path = last == std::wstring::npos ? std::wstring() : rest.substr(0, last);
    path.push_back(L'\\');
    if (drive.size() + path.size() < s.size())
        name = s.substr(drive.size() + path.size());
    const std::size_t dot = lastDot ? name.rfind(L'.') : name.find(L'.');
    if (dot != std::wstring::npos) {
        extension = name.substr(dot + 1);
        name.erase(dot);
    }
    trimTrailing(name, L'\\');
    trimTrailing(name, L'/');
}

zv::string fsEntryName::drive() const {
    zv::string d, p, n, e;
    getComponents(d, p, n, e, true);
    return d;
}

wchar_t fsEntryName::driveLetter() const {
    const zv::string d = drive();
    return (d.size() == 2 && d[1] == L':') ? d[0] : L' ';
}

zv::string fsEntryName::path(int flags) const {
    zv::string d, p, n, e;
    getComponents(d, p, n, e, (flags & firstDot) == 0);
    zv::string result = (flags == 0 || (flags & withDrive)) ? d + p : p;
    if (flags & withName) {
        result += n;
        if ((flags & withExtension) && !e.empty())
            result += L"." + e;
    }
    return result;
}

zv::string fsEntryName::name(int flags) const {
    zv::string d, p, n, e;
    getComponents(d, p, n, e, (flags & firstDot) == 0);
    zv::string result = n;
    if (!e.empty() && (!(flags & noExtension) || (flags & withExtension)))
        result += L"." + e;
    if (flags & withPath)
        result = ((flags & withDrive) ? d + p : p) + result;
    return result;
}

zv::string fsEntryName::extension(int flags) const {
    zv::string d, p, n, e;
    getComponents(d, p, n, e, (flags & firstDot) == 0);
    zv::string result = e;
    if (flags & withName) {
        result = e.empty() ? n : n + L"." + e;
        if (flags & withPath)
            result = ((flags & withDrive) ? d + p : p) + result;
    }
    return result;
}

void fsEntryName::appendExtension(const zv::string& ext) {
    trimTrailing(*this, L'\\');
    if (!empty())
        *this += L"." + ext;
}

void fsEntryName::removeExtension(int flags) {
    zv::string d, p, n, e;
    getComponents(d, p, n, e, (flags & firstDot) == 0);
    std::wstring::operator=(d + p + n);
}

void fsEntryName::appendDelimiter() {
    trimTrailing(*this, L'\\');
    if (!empty())
        push_back(L'\\');
}

zv::string fsEntryName::relativeNameTo(const fsEntryName& base) const {
    if (drive().lower() != base.drive().lower())
        return *this;
    const zv::string full = lower();
    zv::string current = base.lower();
    unsigned levels = 0;
    while (!startsWith(full, current)) {
        ++levels;
        fsEntryName split;
        split.std::wstring::operator=(current);
        fsEntryName parent;
        parent.setName(split.path(0), false);
        zv::string next = parent.lower();
        trimTrailing(next, L'\\');
        if (next.empty())
            return zv::string();
        next.push_back(L'\\');
        if (next == current)
            return zv::string(); // no parent left to try
        current = std::move(next);
    }
    std::wstring rest = full.substr(current.size());
    if (levels == 0)
        return L".\\" + rest;
    trimLeading(rest, L'\\');
    trimLeading(rest, L'/');
    std::wstring prefix;
    for (unsigned i = 0; i < levels; ++i)
        prefix += L"..\\";
    return prefix + rest;
}

zv::string fsEntryName::hostPath() const {
    std::wstring host;
    if (empty() || !os::hostPath(c_str(), host))
        return zv::string();
    return host;
}

fsEntryName fsEntryName::fromHostPath(const zv::string& host, bool appendDelimiter) {
    fsEntryName result;
    result.setName(os::libraryPathFromHost(host), appendDelimiter);
    return result;
}

bool fsEntryName::isARelativePath(const zv::string& text, int* levels) {
    if (levels != nullptr)
        *levels = 0;
    return !(text.size() >= 2 && (text[0] == L'/' || text[0] == L'\\' || text[1] == L':'));
}

bool fsEntryName::containsInvalidChars(const zv::string& text) {
    return text.find_first_of(kInvalidChars) != std::wstring::npos;
}

zv::string fsEntryName::replaceInvalidChars(const zv::string& text, wchar_t replacement) {
    std::wstring result = zv::string::makeMBCS(text);
    const wchar_t with =
        std::wstring(kInvalidChars).find(replacement) != std::wstring::npos ? L' ' : replacement;
    for (wchar_t& c : result)
        if (std::wstring(kInvalidChars).find(c) != std::wstring::npos || c == L'\0')
            c = with;
    trimLeading(result, L' ');
    trimTrailing(result, L' ');
    return result;
}

// ---- fsEntry -----------------------------------------------------------

fsEntry::~fsEntry() = default;

fsEntry::fsEntry(const zv::string& directory, const zv::string& name, bool isDirectory)
    : fsEntryName(directory, name, isDirectory), m_isDirectory(isDirectory) {}

fsEntry::fsEntry(const fsEntryName& directory, const zv::string& name, bool isDirectory)
    : fsEntryName(directory), m_isDirectory(isDirectory) {
    if (!name.empty())
        fsEntryName::operator=(fsEntryName(directory, name, false));
    if (isDirectory && !empty())
        appendDelimiter();
}

fsEntry& fsEntry::operator=(const fsEntryName& name) {
    std::wstring::operator=(name);
    if (m_isDirectory)
        appendDelimiter();
    return *this;
}

// A folder's trailing backslash is dropped (a root keeps it), so that
// anything at the path counts, a file included.
bool fsEntry::exists() const {
    if (empty())
        return false;
    std::wstring name = *this;
    trimTrailing(name, L'\\');
    if (name.size() == 2 && name[1] == L':')
        name.push_back(L'\\');
    return !name.empty() && os::entryExists(name.c_str());
}

bool fsEntry::isRemote() const {
    if (startsWith(*this, L"\\\\"))
        return true;
    const wchar_t letter = driveLetter();
    if (letter == L' ')
        return false;
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    return os::isRemoteDrive(root);
}

} // namespace zv
