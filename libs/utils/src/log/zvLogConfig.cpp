// The configuration file: reading, editing and saving it as a value.
#include "zvLog.h"

#include "zvDirectory.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvXml.h"

#include <limits>

namespace zvlog {

namespace {

// Digits only, within the type; anything else leaves the setting alone.
template <class T>
bool parseDecimal(const zv::string& text, T& value) {
    if (text.empty() || text.size() > 20)
        return false;
    unsigned long long result = 0;
    for (const wchar_t ch : text) {
        if (ch < L'0' || ch > L'9')
            return false;
        const unsigned digit = static_cast<unsigned>(ch - L'0');
        if (result > (std::numeric_limits<T>::max() - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    value = static_cast<T>(result);
    return true;
}

bool isTrue(const zv::string& text) {
    return text == L"1" || (text.isEqualTo(L"true", false) && text.size() == 4);
}

void readLogger(const zv::xmlNode& node, bool& enabled, logLevel& level) {
    zv::string value;
    level = node.getAttribute(L"level", value) ? logUtils::getLogLevelFromString(value) : eNone;
    enabled = node.getAttribute(L"enabled", value) && isTrue(value);
}

void readDocument(const zv::xmlNode& doc, logConfig& config) {
    if (zv::const_refPtr<zv::xmlNode> globals = doc.getFirstChildNode(L"globals", false)) {
        zv::string value;
        if (globals->getAttribute(L"maxfilecount", value))
            parseDecimal(value, config.maxFileCount);
        if (globals->getAttribute(L"maxfilesize", value))
            parseDecimal(value, config.maxFileSize);
        if (globals->getAttribute(L"format", value))
            config.format = value;
    }
    if (zv::const_refPtr<zv::xmlNode> root = doc.getFirstChildNode(L"root", false))
        readLogger(*root, config.rootEnabled, config.rootLevel);
    if (zv::const_refPtr<zv::xmlNode> classes = doc.getFirstChildNode(L"classes", false)) {
        for (const zv::refPtr<zv::xmlNode>& child : classes->childNodes()) {
            bool enabled = false;
            logLevel level = eNone;
            readLogger(*child, enabled, level);
            config.setClass(child->name(), enabled, level);
        }
    }
}

bool isNameStart(wchar_t ch) {
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || ch == L'_' ||
           (ch >= 0xC0 && ch != 0xD7 && ch != 0xF7 && ch < 0xFFFE);
}

bool isNameChar(wchar_t ch) {
    return isNameStart(ch) || (ch >= L'0' && ch <= L'9') || ch == L'.' || ch == L'-' || ch == L':' || ch == 0xB7;
}

} // namespace

zv::string logConfig::normaliseId(const zv::string& name) {
    zv::string id = name.lower();
    id.replace(zv::string(L"::"), zv::string(L"."));
    return id;
}

bool logConfig::isValidId(const zv::string& id) {
    if (id.empty() || !isNameStart(id[0]))
        return false;
    for (const wchar_t ch : id)
        if (!isNameChar(ch))
            return false;
    return true;
}

void logConfig::setClass(const zv::string& id, bool enabled, logLevel level) {
    const zv::string key = normaliseId(id);
    if (key.empty())
        return;
    for (entry& e : classes) {
        if (e.id == key) {
            e.enabled = enabled;
            e.level = level;
            return;
        }
    }
    classes.push_back(entry{key, enabled, level});
}

bool logConfig::isActive() const {
    if (!rootEnabled)
        return false;
    if (rootLevel != eNone)
        return true;
    for (const entry& e : classes)
        if (e.enabled && e.level != eNone)
            return true;
    return false;
}

bool logConfig::load(const zv::file& source) {
    if (!source.exists()) {
        *this = logConfig();
        return false;
    }
    zv::refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
    doc->load(source, false);
    logConfig read;
    readDocument(*doc, read);
    *this = std::move(read);
    return true;
}

void logConfig::loadFromMemory(const char* data, unsigned int size) {
    zv::refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
    doc->load(data, size, false);
    logConfig read;
    readDocument(*doc, read);
    *this = std::move(read);
}

void logConfig::save(const zv::file& target) const {
    zv::refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
    doc->setName(L"logconfig");
    zv::refPtr<zv::xmlNode> globals = doc->createChildNode(L"globals");
    globals->setAttribute(L"maxfilecount", zv::string(std::to_wstring(maxFileCount)));
    globals->setAttribute(L"maxfilesize", zv::string(std::to_wstring(maxFileSize)));
    globals->setAttribute(L"format", format);
    zv::refPtr<zv::xmlNode> root = doc->createChildNode(L"root");
    root->setAttribute(L"enabled", rootEnabled ? L"true" : L"false");
    root->setAttribute(L"level", logUtils::getStringFromLogLevel(rootLevel));
    zv::refPtr<zv::xmlNode> list = doc->createChildNode(L"classes");
    for (const entry& e : classes) {
        // An id that is no element name would make a file nobody can read back.
        if (!isValidId(e.id))
            continue;
        zv::refPtr<zv::xmlNode> node = list->createChildNode(e.id);
        node->setAttribute(L"enabled", e.enabled ? L"true" : L"false");
        node->setAttribute(L"level", logUtils::getStringFromLogLevel(e.level));
    }
    if (target.empty())
        throw zv::writeFileException(target);
    zv::directory folder(target.path(zv::fsEntryName::withDrive));
    if (!folder.exists())
        folder.create(true);
    if (target.exists() && !target.isWriteable()) {
        target.allowWrite(true);
        if (!target.isWriteable())
            throw zv::fileWriteProtectedException(target);
    }
    doc->save(target, zv::xmlDocument::eUTF8);
}

} // namespace zvlog
