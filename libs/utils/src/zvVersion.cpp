#include "zvVersion.h"

#include "zvDtConvertDetail.h"

#include <vector>

namespace zv {

version version::minVersion() {
    return version();
}

version version::maxVersion() {
    return version(999999, 999999, 999999, 999999);
}

unsigned version::part(unsigned index) const {
    ZV_ASSERT(index < 4);
    return m_parts[index];
}

void version::setPart(unsigned index, unsigned value) {
    ZV_ASSERT(index < 4);
    m_parts[index] = value;
}

zv::string version::asString() const {
    return zv::string::sformat(L"%u.%u.%u.%u", m_parts[0], m_parts[1], m_parts[2], m_parts[3]);
}

bool version::parse(const wchar_t* text) {
    const zv::string source(text);
    if (source.empty())
        return false;
    std::vector<zv::string> parts;
    source.splitAt(L".", parts, false);
    if (parts.empty() || parts.size() > 4)
        return false;
    unsigned values[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (!dtconvert(values[i], parts[i]))
            return false;
    for (int i = 0; i < 4; ++i)
        m_parts[i] = values[i];
    return true;
}

bool version::operator==(const version& other) const {
    for (int i = 0; i < 4; ++i)
        if (m_parts[i] != other.m_parts[i])
            return false;
    return true;
}

bool version::operator<(const version& other) const {
    for (int i = 0; i < 4; ++i)
        if (m_parts[i] != other.m_parts[i])
            return m_parts[i] < other.m_parts[i];
    return false;
}

bool dtconvert(string& target, const version& source, int, const dtArgs&) {
    target = source.asString();
    return true;
}

ZV_DTCONVERT_VARIADIC(string, version)

bool dtconvert(version& target, const string& source, int, const dtArgs&) {
    return target.parse(source.c_str());
}

ZV_DTCONVERT_VARIADIC(version, string)

namespace {

bool versionToText(string& target, const version& source, int flags, const dtArgs& args) {
    return dtconvert(target, source, flags, args);
}

bool textToVersion(version& target, const string& source, int flags, const dtArgs& args) {
    return dtconvert(target, source, flags, args);
}

const typeconvert::registerConversion<version, zv::string> s_versionToText(&versionToText);
const typeconvert::registerConversion<zv::string, version> s_textToVersion(&textToVersion);

} // namespace

} // namespace zv
