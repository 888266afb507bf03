#include "zvDirectory.h"

#include "zvDtConvertDetail.h"

#include "zvEnvironment.h"

#include "os/zvOs.h"

#include <mutex>
#include <vector>

namespace zv {

namespace {

constexpr int kProtectedMask = os::attrReadOnly | os::attrHidden | os::attrSystem; // kept by clear/remove
constexpr int kUncountedMask = os::attrHidden | os::attrSystem;                    // not counted by isEmpty
constexpr unsigned kMaxNameAttempts = 100000;

std::mutex& tempOverrideLock() {
    static std::mutex m;
    return m;
}

directory& tempOverride() {
    static directory d;
    return d;
}

// The entries an iterator visits, gathered first so that deleting them does
// not disturb the search.
std::vector<file> filesOf(const directory& dir, int mask) {
    std::vector<file> result;
    for (fileIterator it(dir, L"*.*", mask); it.positioned(); ++it)
        result.push_back(it.m_current);
    return result;
}

// Subfolders, and apart from them the links to folders, which clearing and
// removing never descend into: what they lead to lies outside the tree.
void subfoldersOf(const directory& dir, int mask, std::vector<directory>& folders,
                  std::vector<directory>& links) {
    for (directoryIterator it(dir, L"*.*", mask); it.positioned(); ++it)
        ((it.currentAttributes() & os::attrReparsePoint) != 0 ? links : folders).push_back(it.m_current);
}

// What stands at the name: 0 nothing, 1 a folder, 2 something else.
int entryKind(const directory& dir) {
    os::entryInfo info;
    if (dir.empty() || !os::entryStatus(dir.c_str(), info))
        return 0;
    return info.isDirectory ? 1 : 2;
}

directory shellDirectory(os::shellFolder which, const wchar_t* sub, bool create) {
    std::wstring path;
    directory result(os::shellFolderPath(which, path) ? zv::string(path) : zv::string(L"c:\\"));
    if (sub != nullptr && *sub != L'\0')
        result = directory(result, sub);
    if (create && !result.exists())
        result.create(false);
    return result;
}

} // namespace

bool directory::rename(const zv::string& newName) {
    if (empty() || newName.empty())
        return false;
    const fsEntryName target(path(0), newName, true);
    if (target.empty() || !os::renameEntry(c_str(), target.c_str()))
        return false;
    fsEntry::operator=(target);
    return true;
}

bool directory::create(bool recursive) const {
    const int kind = entryKind(*this);
    if (empty() || kind == 2)
        return false; // a file stands in the way
    if (kind == 1)
        return true;
    if (recursive) {
        const directory parent(path(0));
        if (parent.isEqualTo(*this, false))
            return false; // a root that does not exist
        if (!parent.create(true))
            return false;
    }
    return os::createDirectory(c_str());
}

bool directory::clear(bool recursive) const {
    if (recursive) {
        std::vector<directory> folders, links;
        subfoldersOf(*this, kProtectedMask, folders, links);
        for (const directory& sub : folders)
            sub.clear(true);
    }
    for (const file& f : filesOf(*this, kProtectedMask))
        os::removeFile(f.c_str());
    return true;
}

bool directory::remove(bool recursive) const {
    if (empty())
        return false;
    if (os::isLink(c_str()))
        return os::removeDirectory(c_str()); // the link, not what it leads to
    clear(false);
    if (recursive) {
        std::vector<directory> folders, links;
        subfoldersOf(*this, kProtectedMask, folders, links);
        for (const directory& sub : folders)
            sub.remove(true);
        for (const directory& link : links)
            os::removeDirectory(link.c_str());
    }
    return os::removeDirectory(c_str());
}

bool directory::containsReadOnlyFiles(bool recursive) const {
    if (recursive)
        for (directoryIterator it(*this, L"*.*", 0); it.positioned(); ++it)
            // Links are not followed: one to a parent would never end.
            if ((it.currentAttributes() & os::attrReparsePoint) == 0 &&
                it.m_current.containsReadOnlyFiles(true))
                return true;
    for (fileIterator it(*this, L"*.*", 0); it.positioned(); ++it)
        if (!it.m_current.check(file::accessWrite))
            return true;
    return false;
}

// A folder that cannot be read (or is missing) is not known to be empty.
bool directory::isEmpty() const {
    if (directoryIterator(*this, L"*.*", kUncountedMask).positioned())
        return false;
    if (fileIterator(*this, L"*.*", kUncountedMask).positioned())
        return false;
    return canList();
}

bool directory::canList() const {
    return !empty() && os::canListDirectory(c_str());
}

bool directory::isRoot() const {
    if (empty())
        return false;
    std::wstring text = *this;
    while (!text.empty() && text.back() == L'\\')
        text.pop_back();
    return text.size() < 3 || text.find(L'\\', 2) == std::wstring::npos;
}

bool directory::isCurrent() const {
    return !empty() && isEqualTo(directory(L"."), false);
}

bool directory::makeCurrent() const {
    if (!exists())
        return false;
    const int previous = os::currentDrive();
    const wchar_t letter = driveLetter();
    if (letter != L' ') {
        const wchar_t upper = (letter >= L'a' && letter <= L'z') ? static_cast<wchar_t>(letter - 32) : letter;
        os::changeDrive(upper - L'A' + 1);
    }
    if (os::changeDirectory(c_str()))
        return true;
    if (previous != 0)
        os::changeDrive(previous);
    return false;
}

bool directory::getDiskSpace(eDSType type, eDSBaseSize base, unsigned long long* value) const {
    if (value == nullptr || empty())
        return false;
    std::uint64_t available = 0, total = 0, free = 0;
    if (!os::diskSpace(c_str(), available, total, free))
        return false;
    std::uint64_t quantity = 0;
    switch (type) {
    case dsAvailable:
        quantity = available;
        break;
    case dsTotal:
        quantity = total;
        break;
    case dsFree:
        quantity = free;
        break;
    default:
        *value = 0;
        return true;
    }
    if (base < dsBytes || base > dsGBytes) {
        *value = 0;
        return true;
    }
    *value = quantity >> (10 * static_cast<int>(base));
    return true;
}

bool directory::getDiskSpace(eDSType type, eDSBaseSize base, unsigned long* value) const {
    unsigned long long wide = 0;
    if (value == nullptr || !getDiskSpace(type, base, &wide))
        return false;
    *value = wide > 0xFFFFFFFFull ? 0xFFFFFFFFul : static_cast<unsigned long>(wide);
    return true;
}

fileIterator directory::fileIt(const wchar_t* pattern, int excludeMask) const {
    return fileIterator(*this, zv::string(pattern), excludeMask);
}

directoryIterator directory::dirIt(const wchar_t* pattern, int excludeMask) const {
    return directoryIterator(*this, pattern, excludeMask);
}

unsigned long directory::numberOfFiles(const wchar_t* pattern, int excludeMask) const {
    unsigned long count = 0;
    for (fileIterator it(*this, zv::string(pattern), excludeMask); it.positioned(); ++it)
        ++count;
    return count;
}

directory directory::systemTempDir() {
    {
        std::lock_guard<std::mutex> lock(tempOverrideLock());
        if (!tempOverride().empty() && tempOverride().exists())
            return tempOverride();
    }
    zv::string value;
    if (getEnvironmentVariable(L"TMP", value) || getEnvironmentVariable(L"TEMP", value)) {
        directory d(zv::string(os::libraryPathFromHost(value)));
        if (!d.empty())
            return d;
    }
    std::wstring fallback;
    if (os::fallbackTempDirectory(fallback))
        return directory(zv::string(fallback));
    return directory(L".");
}

void directory::overwriteSystemTempDir(const directory& dir) {
    std::lock_guard<std::mutex> lock(tempOverrideLock());
    tempOverride() = dir;
}

directory directory::userHomeDir() {
    return shellDirectory(os::shellFolder::documents, nullptr, false);
}

directory directory::userAppdataDir(const wchar_t* sub, bool create) {
    return shellDirectory(os::shellFolder::appData, sub, create);
}

directory directory::userLocalAppdataDir(const wchar_t* sub, bool create) {
    return shellDirectory(os::shellFolder::localAppData, sub, create);
}

directory directory::allUserAppdataDir(const wchar_t* sub, bool create) {
    return shellDirectory(os::shellFolder::commonAppData, sub, create);
}

directory directory::commonDocumentsDir(bool create) {
    return shellDirectory(os::shellFolder::commonDocuments, nullptr, create);
}

directory directory::userDocumentsDir(bool create) {
    return shellDirectory(os::shellFolder::documents, nullptr, create);
}

directory directory::desktopDir(bool create) {
    return shellDirectory(os::shellFolder::desktop, nullptr, create);
}

directory directory::generateRandomDirectory(const directory& base) {
    const directory folder = base.empty() ? systemTempDir() : base;
    if (folder.empty())
        return directory();
    long long seconds = 0;
    unsigned ms = 0;
    os::currentTime(seconds, ms);
    unsigned counter = static_cast<unsigned>(static_cast<unsigned long long>(seconds) & 0xFFFFFFFFu);
    for (unsigned attempt = 0; attempt < kMaxNameAttempts; ++attempt, ++counter) {
        directory candidate(folder, zv::string::sformat(L"%u", counter));
        if (os::entryExists(candidate.c_str()))
            continue;
        if (candidate.create(true))
            return candidate;
        if (!folder.exists() && !directory(folder).create(true))
            break;
    }
    return directory();
}

// ---- iterators ---------------------------------------------------------

namespace {

bool isDotEntry(const std::wstring& name) {
    return name == L"." || name == L"..";
}

// The entry found last; reused so that walking a folder does not allocate
// per entry. Each entry is taken over at once, so nested iterators may share it.
os::findData& scratch() {
    static thread_local os::findData found;
    return found;
}

// The entry's full name: the folder (normalised, with its backslash) and the
// name as the file system spells it, which needs no normalisation.
void setJoined(fsEntry& target, const directory& dir, const std::wstring& name, bool isDirectory) {
    std::wstring& full = target;
    full.assign(dir);
    full.append(name);
    if (isDirectory)
        full.push_back(L'\\');
}

} // namespace

directoryIterator::directoryIterator(const directory& dir, const wchar_t* pattern, int excludeMask)
    : m_dir(dir), m_excludeMask(excludeMask) {
    if (m_dir.empty())
        return;
    const zv::string search = m_dir + zv::string(pattern != nullptr ? pattern : L"*.*");
    os::findData& found = scratch();
    m_handle = os::findFirst(search.c_str(), found, static_cast<unsigned>(excludeMask));
    if (m_handle != nullptr && !accept(found.name, found.attributes))
        next();
}

directoryIterator::~directoryIterator() {
    os::findClose(m_handle);
}

bool directoryIterator::accept(const std::wstring& name, unsigned attributes) {
    if ((attributes & static_cast<unsigned>(m_excludeMask)) != 0 || (attributes & os::attrDirectory) == 0 ||
        isDotEntry(name))
        return false;
    setJoined(m_current, m_dir, name, true);
    m_attributes = attributes;
    return true;
}

void directoryIterator::next() {
    static_cast<std::wstring&>(m_current).clear();
    m_attributes = 0;
    os::findData& found = scratch();
    while (m_handle != nullptr && os::findNext(m_handle, found))
        if (accept(found.name, found.attributes))
            return;
    os::findClose(m_handle);
    m_handle = nullptr;
}

fileIterator::fileIterator(const directory& dir, const zv::string& pattern, int excludeMask)
    : m_dir(dir), m_excludeMask(excludeMask | static_cast<int>(os::attrDirectory)) {
    if (m_dir.empty())
        return;
    const zv::string search = m_dir + (pattern.empty() ? zv::string(L"*.*") : pattern);
    os::findData& found = scratch();
    m_handle = os::findFirst(search.c_str(), found, static_cast<unsigned>(m_excludeMask));
    if (m_handle != nullptr && !accept(found.name, found.attributes))
        next();
}

fileIterator::~fileIterator() {
    os::findClose(m_handle);
}

bool fileIterator::accept(const std::wstring& name, unsigned attributes) {
    if ((attributes & static_cast<unsigned>(m_excludeMask)) != 0 || isDotEntry(name))
        return false;
    setJoined(m_current, m_dir, name, false);
    return true;
}

void fileIterator::next() {
    static_cast<std::wstring&>(m_current).clear();
    os::findData& found = scratch();
    while (m_handle != nullptr && os::findNext(m_handle, found))
        if (accept(found.name, found.attributes))
            return;
    os::findClose(m_handle);
    m_handle = nullptr;
}

recursiveFileIterator::recursiveFileIterator(const directory& dir, const zv::string& filePattern,
                                             int fileExcludeMask, const zv::string& dirPattern,
                                             int dirExcludeMask)
    : m_dirPattern(dirPattern), m_dirExcludeMask(dirExcludeMask), m_filePattern(filePattern),
      m_fileExcludeMask(fileExcludeMask) {
    m_dirs = std::make_unique<directoryIterator>(dir, m_dirPattern.c_str(), m_dirExcludeMask);
    descend();
    m_files = std::make_unique<fileIterator>(dir, m_filePattern, m_fileExcludeMask);
    if (!m_files->positioned())
        m_files.reset();
}

recursiveFileIterator::~recursiveFileIterator() = default;

// Keeps the first subfolder (from the directory iterator's current one on)
// that yields a file; drops the directory iterator when none is left. Linked
// folders are not entered, so a link to a parent cannot make the walk endless.
void recursiveFileIterator::descend() {
    while (m_dirs) {
        if (!m_dirs->positioned()) {
            m_dirs.reset();
            return;
        }
        if ((m_dirs->currentAttributes() & os::attrReparsePoint) == 0) {
            m_child = std::make_unique<recursiveFileIterator>(
                m_dirs->m_current, m_filePattern, m_fileExcludeMask, m_dirPattern, m_dirExcludeMask);
            if (!m_child->finished())
                return;
            m_child.reset();
        }
        m_dirs->next();
    }
}

void recursiveFileIterator::next() {
    if (m_child) {
        m_child->next();
        if (!m_child->finished())
            return;
        m_child.reset();
        if (m_dirs) {
            m_dirs->next();
            descend();
        }
        return; // either the next subfolder's first file, or the first own file
    }
    if (m_files) {
        m_files->next();
        if (!m_files->positioned())
            m_files.reset();
    }
}

bool recursiveFileIterator::finished() const {
    return !m_dirs && !m_child && !m_files;
}

recursiveFileIterator::operator const file&() const {
    const recursiveFileIterator* level = this;
    while (level->m_child)
        level = level->m_child.get();
    ZV_ASSERT(level->m_files != nullptr);
    return level->m_files->m_current;
}

// ---- text conversions --------------------------------------------------

bool dtconvert(string& target, const directory& source, int, const dtArgs&) {
    target = static_cast<const std::wstring&>(source);
    return true;
}

ZV_DTCONVERT_VARIADIC(string, directory)

bool dtconvert(directory& target, const string& source, int, const dtArgs&) {
    target.setName(source, true);
    return true;
}

ZV_DTCONVERT_VARIADIC(directory, string)

namespace {

bool directoryToText(string& target, const directory& source, int flags, const dtArgs& args) {
    return dtconvert(target, source, flags, args);
}

bool textToDirectory(directory& target, const string& source, int flags, const dtArgs& args) {
    return dtconvert(target, source, flags, args);
}

const typeconvert::registerConversion<directory, zv::string> s_directoryToText(&directoryToText);
const typeconvert::registerConversion<zv::string, directory> s_textToDirectory(&textToDirectory);

} // namespace

} // namespace zv
