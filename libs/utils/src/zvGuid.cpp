// Guids: creation and text through the OS layer; the parser is our own, so
// both platforms accept and reject exactly the same texts.
#include "zvGuid.h"

#include <mutex>

#include "zvDtConvertDetail.h"

#include "os/zvOs.h"

#include <cstdarg>
#include <cstring>
#include <mutex>

namespace zv {

namespace {

os::guidFields toFields(const guid& id) {
    os::guidFields f{};
    f.data1 = id.Data1;
    f.data2 = id.Data2;
    f.data3 = id.Data3;
    std::memcpy(f.data4, id.Data4, sizeof f.data4);
    return f;
}

guid fromFields(const os::guidFields& f) {
    guid id;
    id.Data1 = f.data1;
    id.Data2 = f.data2;
    id.Data3 = f.data3;
    std::memcpy(id.Data4, f.data4, sizeof id.Data4);
    return id;
}

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

/// The number of `digits` hexadecimal digits at `text`; all are known to be valid.
unsigned int hexNumber(const wchar_t* text, int digits) {
    unsigned int value = 0;
    for (int i = 0; i < digits; ++i)
        value = (value << 4) | static_cast<unsigned int>(hexValue(text[i]));
    return value;
}

bool isDashPosition(std::size_t i) {
    return i == 8 || i == 13 || i == 18 || i == 23;
}

/// The system's rules: exactly 36 characters, "-" at 8, 13, 18 and 23,
/// hexadecimal digits of either case everywhere else. No braces, no blanks.
bool parse(const zv::string& text, guid& out) {
    if (text.size() != 36)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isDashPosition(i) ? text[i] != L'-' : hexValue(text[i]) < 0)
            return false;
    }
    const wchar_t* s = text.c_str();
    guid id;
    id.Data1 = hexNumber(s, 8);
    id.Data2 = static_cast<std::uint16_t>(hexNumber(s + 9, 4));
    id.Data3 = static_cast<std::uint16_t>(hexNumber(s + 14, 4));
    id.Data4[0] = static_cast<std::uint8_t>(hexNumber(s + 19, 2));
    id.Data4[1] = static_cast<std::uint8_t>(hexNumber(s + 21, 2));
    for (int i = 0; i < 6; ++i)
        id.Data4[2 + i] = static_cast<std::uint8_t>(hexNumber(s + 24 + 2 * i, 2));
    out = id;
    return true;
}

/// Our own printing, for the (unlikely) case that the system refuses.
zv::string format(const guid& id) {
    return zv::string::sformat(L"%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", id.Data1,
                               static_cast<unsigned int>(id.Data2), static_cast<unsigned int>(id.Data3),
                               id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5],
                               id.Data4[6], id.Data4[7]);
}

} // namespace

guid::guid() : Data1(0), Data2(0), Data3(0), Data4{} {}

bool guid::isInitialized() const {
    return Data1 != 0 && Data2 != 0 && Data3 != 0;
}

bool guid::operator==(const guid& other) const {
    return Data1 == other.Data1 && Data2 == other.Data2 && Data3 == other.Data3 &&
           std::memcmp(Data4, other.Data4, sizeof Data4) == 0;
}

bool guid::operator<(const guid& other) const {
    if (Data1 != other.Data1)
        return Data1 < other.Data1;
    if (Data2 != other.Data2)
        return Data2 < other.Data2;
    if (Data3 != other.Data3)
        return Data3 < other.Data3;
    return std::memcmp(Data4, other.Data4, sizeof Data4) < 0; // memcmp compares unsigned bytes
}

namespace {

// The 60-bit time of a time-based identity.
std::uint64_t timeOf(const os::guidFields& f) {
    return (static_cast<std::uint64_t>(f.data3 & 0x0fffu) << 48) |
           (static_cast<std::uint64_t>(f.data2) << 32) | f.data1;
}

// A time more than a second before the last one means the clock was set back.
constexpr std::uint64_t kClockStepBack = 10000000; // 100 ns ticks

// The last time handed out by this process. Some runtimes (Wine's RPC
// layer among them) return the same time-based identity twice when asked
// within one clock tick; the library never does.
std::mutex g_lastTimeLock;
std::uint64_t g_lastTime = 0;

// A time-based identity later than every one this process got before;
// false when the clock does not move on.
bool nextSequential(os::guidFields& f) {
    constexpr int kTickAttempts = 100000; // a clock tick is far shorter than this many calls
    std::lock_guard<std::mutex> hold(g_lastTimeLock);
    for (int attempt = 0; attempt < kTickAttempts; ++attempt) {
        if (!os::createSequentialGuid(f))
            throw false;
        const std::uint64_t time = timeOf(f);
        // A clock set back restarts the sequence: the system changes the
        // clock sequence for that, so the identity is still new.
        if (time > g_lastTime || g_lastTime - time > kClockStepBack) {
            g_lastTime = time;
            return true;
        }
    }
    return false;
}

} // namespace

guid guid::create() {
    // A time-based identity has a zero field now and then (Data1 for one
    // tick in 2^32; Data2 for a few minutes about once a year). Such an
    // identity would print as "0" and read back as the zero guid, so it is
    // never handed out: a few more tries, then a random identity.
    os::guidFields f;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (!nextSequential(f))
            break;
        const guid id = fromFields(f);
        if (id.isInitialized())
            return id;
    }
    for (int attempt = 0; attempt < 64; ++attempt) {
        if (!os::createRandomGuid(f))
            throw false;
        const guid id = fromFields(f);
        if (id.isInitialized())
            return id;
    }
    throw false;
}

zv::string guid::toString(const guid& id) {
    if (!id.isInitialized())
        return zv::string(L"0");
    std::wstring text;
    if (!os::guidToString(toFields(id), text) || text.size() != 36)
        return format(id);
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'F')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return zv::string(std::move(text));
}

zv::string guid::toString() const {
    return toString(*this);
}

bool guid::tryFromString(const zv::string& text, guid& out) {
    if (text.empty() || text == L"0") {
        out = guid();
        return true;
    }
    return parse(text, out);
}

guid guid::fromString(const zv::string& text) {
    guid id;
    if (!tryFromString(text, id))
        throw false;
    return id;
}

objectInfo::objectInfo() = default;

objectInfo::objectInfo(const zv::string& typeName, const guid& id) : m_typeName(typeName), m_guid(id) {}

bool objectInfo::operator==(const objectInfo& other) const {
    return m_guid == other.m_guid && static_cast<const std::wstring&>(m_typeName) == other.m_typeName;
}

bool dtconvert(string& target, const guid& source, int, const dtArgs&) {
    target = guid::toString(source);
    return true;
}

ZV_DTCONVERT_VARIADIC(string, guid)

bool dtconvert(guid& target, const string& source, int, const dtArgs&) {
    return guid::tryFromString(source, target);
}

ZV_DTCONVERT_VARIADIC(guid, string)

namespace {

bool guidToText(string& target, const guid& source, int flags, const dtArgs& args) {
    return dtconvert(target, source, flags, args);
}

bool textToGuid(guid& target, const string& source, int flags, const dtArgs& args) {
    return dtconvert(target, source, flags, args);
}

const typeconvert::registerConversion<guid, zv::string> s_guidToText(&guidToText);
const typeconvert::registerConversion<zv::string, guid> s_textToGuid(&textToGuid);

} // namespace

} // namespace zv
