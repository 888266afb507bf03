#include "zvSearchPath.h"

#include "zvEnvironment.h"

#include "os/zvOs.h"

#include <algorithm>

namespace zv {

namespace {

// Hidden and system entries are never searched.
constexpr int kExcludeMask = os::attrHidden | os::attrSystem;

// Links and junctions are not descended into: a link back up the tree
// would otherwise make the search endless.
bool isLink(const directoryIterator& it) {
    return (it.currentAttributes() & os::attrReparsePoint) != 0;
}

bool holds(const directory& dir, const zv::string& name) {
    return file(dir, name).exists();
}

// Depth first below `dir`: each subfolder, then its own subfolders, before
// the next sibling.
bool searchBelow(const directory& dir, const zv::string& name, directory& found) {
    for (directoryIterator it(dir, L"*.*", kExcludeMask); it.positioned(); ++it) {
        if (holds(it.m_current, name)) {
            found = it.m_current;
            return true;
        }
        if (!isLink(it) && searchBelow(it.m_current, name, found))
            return true;
    }
    return false;
}

// The parts of `text` between separators, trimmed of blanks and tabs; empty
// parts are left out.
std::vector<zv::string> splitParts(const zv::string& text, wchar_t separator) {
    std::vector<zv::string> parts;
    std::vector<zv::string> pieces;
    if (!text.splitAt(zv::string(1, separator), pieces, false))
        return parts;
    for (zv::string& piece : pieces) {
        piece.deleteLeading(L" \t");
        piece.deleteTrailing(L" \t");
        if (!piece.empty())
            parts.push_back(piece);
    }
    return parts;
}

} // namespace

void searchPath::appendDirectory(const directory& dir) {
    if (!containsDirectory(dir))
        m_dirs.push_back(dir);
}

void searchPath::removeDirectory(const directory& dir) {
    const auto it = std::find_if(m_dirs.begin(), m_dirs.end(),
                                 [&](const directory& entry) { return entry.isEqualTo(dir, false); });
    if (it != m_dirs.end())
        m_dirs.erase(it);
}

bool searchPath::containsDirectory(const directory& dir) const {
    return std::any_of(m_dirs.begin(), m_dirs.end(),
                       [&](const directory& entry) { return entry.isEqualTo(dir, false); });
}

bool searchPath::findContainingDir(const zv::string& name, directory& dir, bool recursive) const {
    if (name.empty())
        return false;
    for (const directory& entry : m_dirs) {
        if (holds(entry, name)) {
            dir = entry;
            return true;
        }
        directory found;
        if (recursive && searchBelow(entry, name, found)) {
            dir = found;
            return true;
        }
    }
    return false;
}

bool searchPath::findFile(const zv::string& name, file& result, bool recursive) const {
    directory dir;
    if (!findContainingDir(name, dir, recursive))
        return false;
    result = file(dir, name);
    return true;
}

void searchPath::findFiles(const wchar_t* pattern, std::vector<file>& files, bool recursive) const {
    for (const directory& entry : m_dirs)
        findFiles(entry, pattern, files, recursive);
}

void searchPath::findFiles(const directory& dir, const wchar_t* pattern, std::vector<file>& files,
                           bool recursive) const {
    const zv::string filePattern(pattern != nullptr ? pattern : L"*.*");
    for (fileIterator it(dir, filePattern, kExcludeMask); it.positioned(); ++it)
        files.push_back(it.m_current);
    if (!recursive)
        return;
    for (directoryIterator it(dir, L"*.*", kExcludeMask); it.positioned(); ++it)
        if (!isLink(it))
            findFiles(it.m_current, pattern, files, true);
}

void searchPath::fromString(const zv::string& text, searchPath& path, wchar_t separator) {
    for (const zv::string& part : splitParts(text, separator))
        path.appendDirectory(directory(part));
}

void searchPath::fromString(const zv::string& text, searchPath& path, const directory& base,
                            wchar_t separator) {
    for (const zv::string& part : splitParts(text, separator)) {
        const directory dir = part[0] == L'.' ? directory(base, part) : directory(part);
        if (!dir.empty() && dir.exists())
            path.appendDirectory(dir);
    }
}

void searchPath::fromDollarPath(searchPath& path) {
    zv::string value;
    if (!getEnvironmentVariable(L"PATH", value))
        return;
    // PATH holds the host system's names ("/usr/bin" on Linux); each is
    // taken into the library's form, so that it maps back to the same
    // folder whichever drive the working directory lies on.
    for (const zv::string& part : splitParts(value, pathSeparator)) {
        directory dir;
        dir = fsEntryName::fromHostPath(part, true);
        if (!dir.empty())
            path.appendDirectory(dir);
    }
}

} // namespace zv
