#include "zvFile.h"

#include "zvDtConvertDetail.h"

#include "zvCrc32.h"
#include "zvDirectory.h"
#include "zvTimeStamp.h"

#include "os/zvOs.h"
#include "zvPeVersion.h"

#include <climits>
#include <memory>
#include <vector>

namespace zv {

namespace {

constexpr std::size_t kCrcBlock = 0x80000;    // 512 KiB per read
constexpr std::size_t kAppendBlock = 0x10000; // 64 KiB per read
constexpr unsigned kMaxNameAttempts = 100000; // a folder that takes no file ends the search

struct handleCloser {
    void operator()(os::fileHandle* h) const { os::closeFile(h); }
};
using handlePtr = std::unique_ptr<os::fileHandle, handleCloser>;

zv::string padded(unsigned value, unsigned minDigits) {
    zv::string text = zv::string::sformat(L"%u", value);
    if (text.size() < minDigits)
        text.insert(0, minDigits - text.size(), L'0');
    return text;
}

} // namespace

file::file(const directory& dir, const zv::string& name) : fsEntry(dir, name, false) {}

bool file::exists() const {
    os::entryInfo info;
    return !empty() && os::entryStatus(c_str(), info) && !info.isDirectory;
}

bool file::rename(const zv::string& newName) {
    if (empty() || newName.empty())
        return false;
    const fsEntryName target(path(0), newName, false);
    if (target.empty() || os::entryExists(target.c_str()))
        return false;
    if (!os::renameEntry(c_str(), target.c_str()))
        return false;
    fsEntry::operator=(target);
    return true;
}

bool file::check(eAccessMode mode) const {
    return !empty() && os::checkAccess(c_str(), static_cast<int>(mode));
}

bool file::isWriteable() const {
    if (empty())
        return false;
    if (exists())
        return check(accessWrite);
    if (os::entryExists(c_str()))
        return false; // a folder of that name
    if (!os::createNewFile(c_str(), true))
        return false;
    return os::removeFile(c_str());
}

int file::accessMode() const {
    if (!exists())
        return accessMissing;
    return (isWriteable() ? accessWrite : 0) | (isReadable() ? accessRead : 0);
}

bool file::create(eAccessMode mode) const {
    if (empty() || exists())
        return false;
    return os::createNewFile(c_str(), (static_cast<int>(mode) & accessWrite) != 0);
}

bool file::change(eAccessMode mode) const {
    if (!exists())
        return false;
    return os::setWritable(c_str(), (static_cast<int>(mode) & accessWrite) != 0);
}

// Denying takes the bit away when it is there; allowing sets it when any
// other bit is there (a missing file counts as having all, so it fails).
bool file::allowRead(bool allow) const {
    const int m = accessMode();
    if (!allow)
        return (m & accessRead) ? change(static_cast<eAccessMode>(m & ~accessRead)) : true;
    if ((m & ~accessRead) != 0)
        return exists() && change(static_cast<eAccessMode>((m | accessRead) & accessReadWrite));
    return true;
}

bool file::allowWrite(bool allow) const {
    const int m = accessMode();
    if (!allow)
        return (m & accessWrite) ? change(static_cast<eAccessMode>(m & ~accessWrite)) : true;
    if ((m & ~accessWrite) != 0)
        return exists() && change(static_cast<eAccessMode>((m | accessWrite) & accessReadWrite));
    return true;
}

bool file::copy(const file& target, bool overwrite) const {
    if (empty() || target.empty() || isIdenticalName(target) || isSameFileAs(target))
        return false;
    return os::copyFile(c_str(), target.c_str(), !overwrite);
}

bool file::move(const file& target) const {
    if (empty() || target.empty() || isIdenticalName(target) || isSameFileAs(target))
        return false;
    return os::moveFile(c_str(), target.c_str());
}

bool file::remove() const {
    return exists() && os::removeFile(c_str());
}

bool file::setExtension(const wchar_t* ext, bool lastDotOnly) {
    zv::string newName = name(lastDotOnly ? noExtension : (noExtension | firstDot));
    if (ext != nullptr && *ext != L'\0')
        newName += zv::string(L".") + ext;
    return rename(newName);
}

unsigned long long file::size64() const {
    os::entryInfo info;
    if (empty() || !os::entryStatus(c_str(), info) || info.isDirectory)
        return 0;
    return info.size;
}

unsigned long file::size() const {
    const unsigned long long value = size64();
    return value > ULONG_MAX ? ULONG_MAX : static_cast<unsigned long>(value);
}

long long file::creationTime() const {
    os::entryInfo info;
    return (!empty() && os::entryStatus(c_str(), info)) ? info.creationTime : 0;
}

long long file::lastModificationTime() const {
    os::entryInfo info;
    return (!empty() && os::entryStatus(c_str(), info)) ? info.modificationTime : 0;
}

bool file::setLastModificationTime(const long long& seconds) const {
    if (!exists())
        return false;
    return os::setTimes(c_str(), nullptr, nullptr, &seconds);
}

bool file::setLastModificationTime(const timestamp& time) const {
    long long seconds = 0;
    if (!time.toTimer(&seconds))
        return false;
    return setLastModificationTime(seconds);
}

bool file::setFilePropsLike(const file& other) const {
    os::entryInfo info;
    if (!exists() || other.empty() || !os::entryStatus(other.c_str(), info))
        return false;
    const bool times = os::setTimes(c_str(), &info.creationTime, &info.accessTime, &info.modificationTime);
    const bool attributes = os::setAttributes(c_str(), info.attributes & os::attrSettable);
    return times && attributes;
}

bool file::getAttributes(unsigned& attributes) const {
    os::entryInfo info;
    if (empty() || !os::entryStatus(c_str(), info))
        return false;
    attributes = info.attributes;
    return true;
}

bool file::setAttributes(unsigned attributes) const {
    return exists() && os::setAttributes(c_str(), attributes & os::attrSettable);
}

bool file::appendTo(const file& target) const {
    if (empty() || target.empty() || isIdenticalName(target) || isSameFileAs(target))
        return false; // it would read what it writes, without end
    handlePtr in(os::openForRead(c_str()));
    if (!in)
        return false;
    handlePtr out(os::openForAppend(target.c_str()));
    if (!out)
        return false;
    std::vector<char> buffer(kAppendBlock);
    for (;;) {
        const long long got = os::readFile(in.get(), buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!os::writeFile(out.get(), buffer.data(), static_cast<std::size_t>(got)))
            return false;
    }
}

bool file::getCrc32(unsigned long& crc) const {
    if (!exists())
        return false;
    handlePtr in(os::openForRead(c_str()));
    if (!in)
        return false;
    std::vector<char> buffer(kCrcBlock);
    calcCrc32 sum;
    for (;;) {
        const long long got = os::readFile(in.get(), buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            break;
        sum.crc(buffer.data(), static_cast<unsigned long>(got));
    }
    crc = sum.value();
    return true;
}

bool file::isIdenticalName(const file& other) const {
    return isEqualTo(other, false);
}

bool file::isSameFileAs(const file& other) const {
    return !empty() && !other.empty() && os::sameEntry(c_str(), other.c_str());
}

bool file::isRegular() const {
    os::entryInfo info;
    return !empty() && os::entryStatus(c_str(), info) && !info.isDirectory && !info.isSpecial;
}

bool file::isIdenticalTo(const file& other) const {
    if (isIdenticalName(other) || isSameFileAs(other))
        return true;
    unsigned long a = 0, b = 0;
    return getCrc32(a) && other.getCrc32(b) && a == b;
}

bool file::fixedVersion(bool product, unsigned (&parts)[4]) const {
    if (!exists())
        return false;
    std::uint32_t ms = 0, ls = 0;
    if (os::systemReadsVersionResources()) {
        std::uint32_t words[4];
        if (!os::systemFixedVersion(c_str(), words))
            return false;
        ms = product ? words[2] : words[0];
        ls = product ? words[3] : words[1];
    } else {
        handlePtr in(os::openForRead(c_str()));
        std::uint64_t size = 0;
        if (!in || !os::fileSizeOf(in.get(), size))
            return false;
        os::fileHandle* h = in.get();
        const pe::byteReader read = [h](std::uint64_t offset, void* buffer, std::size_t count) {
            return os::readFileAt(h, offset, buffer, count);
        };
        pe::fixedVersion found;
        if (!pe::readFixedVersion(read, size, found))
            return false;
        ms = product ? found.productVersionMS : found.fileVersionMS;
        ls = product ? found.productVersionLS : found.fileVersionLS;
    }
    parts[0] = ms >> 16;
    parts[1] = ms & 0xFFFFu;
    parts[2] = ls >> 16;
    parts[3] = ls & 0xFFFFu;
    return true;
}

namespace {

bool fourParts(bool found, const unsigned (&parts)[4], unsigned& a, unsigned& b, unsigned& c, unsigned& d) {
    if (!found)
        return false;
    a = parts[0];
    b = parts[1];
    c = parts[2];
    d = parts[3];
    return true;
}

bool asVersion(bool found, const unsigned (&parts)[4], version& v) {
    if (found)
        v = version(parts[0], parts[1], parts[2], parts[3]);
    return found;
}

} // namespace

bool file::getFixedFileVersion(unsigned& a, unsigned& b, unsigned& c, unsigned& d) const {
    unsigned parts[4];
    return fourParts(fixedVersion(false, parts), parts, a, b, c, d);
}

bool file::getFixedFileVersion(version& v) const {
    unsigned parts[4];
    return asVersion(fixedVersion(false, parts), parts, v);
}

bool file::getFixedProductVersion(unsigned& a, unsigned& b, unsigned& c, unsigned& d) const {
    unsigned parts[4];
    return fourParts(fixedVersion(true, parts), parts, a, b, c, d);
}

bool file::getFixedProductVersion(version& v) const {
    unsigned parts[4];
    return asVersion(fixedVersion(true, parts), parts, v);
}

bool file::getFixedFileVersionString(zv::string& text, unsigned minDigits) const {
    text.clear();
    unsigned p[4];
    if (!fixedVersion(false, p))
        return false;
    text = padded(p[0], minDigits) + L"." + padded(p[1], minDigits) + L"." + padded(p[2], minDigits) + L"." +
           padded(p[3], minDigits);
    return true;
}

bool file::getFixedProductVersionString(zv::string& text, unsigned minDigits) const {
    text.clear();
    unsigned p[4];
    if (!fixedVersion(true, p))
        return false;
    text = padded(p[0], minDigits) + L"." + padded(p[1], minDigits) + L"." + padded(p[2], minDigits) + L"." +
           padded(p[3], minDigits);
    return true;
}

// Candidates are numbered from the current time on; creating the file is
// the test, so two callers never get the same one.
file file::generateRandomFile(const directory& dir, const zv::string& ext) {
    const directory folder = dir.empty() ? directory::systemTempDir() : dir;
    if (folder.empty() || !folder.exists())
        return file();
    long long seconds = 0;
    unsigned ms = 0;
    os::currentTime(seconds, ms);
    unsigned counter = static_cast<unsigned>(static_cast<unsigned long long>(seconds) & 0xFFFFFFFFu);
    for (unsigned attempt = 0; attempt < kMaxNameAttempts; ++attempt, ++counter) {
        zv::string leaf = zv::string::sformat(L"%u", counter);
        if (!ext.empty())
            leaf += L"." + ext;
        file candidate(folder, leaf);
        if (os::entryExists(candidate.c_str()))
            continue;
        if (os::createNewFile(candidate.c_str(), true))
            return candidate;
    }
    return file();
}

bool dtconvert(string& target, const file& source, int, const dtArgs&) {
    target = static_cast<const std::wstring&>(source);
    return true;
}

ZV_DTCONVERT_VARIADIC(string, file)

bool dtconvert(file& target, const string& source, int, const dtArgs&) {
    target.setName(source, false);
    return true;
}

ZV_DTCONVERT_VARIADIC(file, string)

namespace {

bool fileToText(string& target, const file& source, int flags, const dtArgs& args) {
    return dtconvert(target, source, flags, args);
}

bool textToFile(file& target, const string& source, int flags, const dtArgs& args) {
    return dtconvert(target, source, flags, args);
}

const typeconvert::registerConversion<file, zv::string> s_fileToText(&fileToText);
const typeconvert::registerConversion<zv::string, file> s_textToFile(&textToFile);

} // namespace

} // namespace zv
