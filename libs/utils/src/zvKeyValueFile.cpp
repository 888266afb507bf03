#include "zvKeyValueFile.h"

#include "zvAtomicFile.h"
#include "zvCodePage.h"
#include "zvCodePageDetail.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

namespace zv {

namespace {

const wchar_t* const kBlank = L" ";
const wchar_t* const kBlankTab = L" \t";
constexpr unsigned kUtf8CodePage = 65001;

// Fixed forever: every file scrambled by the library depends on these bytes.
constexpr char kVersionKey[] = {'Z',    'v', '\x13', 'c',    'F', 'g',    '\x7f', '9',    '\x02',
                                'k',    'E', 'y',    '\x1b', '!', '\x81', 'w',    '\x05', 'Q',
                                '\xe4', 'p', '\x10', 'R',    '#', '\xb7', 'm',    '\x0e', '\0'};
static_assert(sizeof kVersionKey == 27, "the version key has 26 bytes and a NUL");

bool startsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void trim(string& text, const wchar_t* set) {
    text.deleteTrailing(set).deleteLeading(set);
}

bool hasLineBreak(const string& text) {
    return text.find_first_of(L"\r\n") != string::npos;
}

/// UTF-16LE code units to wide text: a pair of surrogates is one character,
/// a lone surrogate U+FFFD, an odd last byte is dropped.
void decodeUtf16le(const unsigned char* p, std::size_t length, std::wstring& out) {
    const std::size_t units = length / 2;
    out.reserve(out.size() + units);
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t c = static_cast<char32_t>(p[2 * i] | (p[2 * i + 1] << 8));
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
            const char32_t low = static_cast<char32_t>(p[2 * i + 2] | (p[2 * i + 3] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                detail::appendCodePoint(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        detail::appendCodePoint(out, (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : c);
    }
}

/// Wide text to UTF-16LE code units.
void encodeUtf16le(const std::wstring& text, std::string& out) {
    out.reserve(out.size() + text.size() * 2);
    auto put = [&out](std::uint32_t unit) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    };
    for (wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code > 0xFFFF && code <= 0x10FFFF) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(code > 0xFFFF ? 0xFFFD : code);
        }
    }
}

/// A file's bytes as text: UTF-8 or UTF-16LE after their byte-order marks,
/// else the ANSI code page.
bool decodeBytes(const char* data, std::size_t size, std::wstring& out) {
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        return fromCodePage(std::string(data + 3, size - 3), kUtf8CodePage, out);
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        decodeUtf16le(p + 2, size - 2, out);
        return true;
    }
    return size == 0 || fromCodePage(std::string(data, size), ansiCodePage(), out);
}

long toPosition(std::size_t offset) {
    return static_cast<long>(std::min<std::size_t>(offset, LONG_MAX));
}

} // namespace

// ---- reader ---------------------------------------------------------------

keyValueFileReader::keyValueFileReader(const file& f, const string& separator, const string& commentMarker,
                                       const string& continuationMarker)
    : m_file(f), m_separator(separator), m_commentMarker(commentMarker),
      m_continuationMarker(continuationMarker) {}

keyValueFileReader::keyValueFileReader(const binaryBuffer& text, const string& separator,
                                       const string& commentMarker, const string& continuationMarker)
    : m_separator(separator), m_commentMarker(commentMarker), m_continuationMarker(continuationMarker) {
    takeText(text);
}

keyValueFileReader::~keyValueFileReader() = default;

void keyValueFileReader::takeText(const binaryBuffer& units) {
    m_text.clear();
    m_cursor = 0;
    m_loaded = true;
    decodeUtf16le(reinterpret_cast<const unsigned char*>(units.data()), units.logicalLength(), m_text);
    if (!m_text.empty() && m_text[0] == L'\xFEFF')
        m_cursor = 1;
}

void keyValueFileReader::setFile(const file& f) {
    close();
    m_file = f;
}

void keyValueFileReader::setBuffer(const binaryBuffer& text) {
    close();
    takeText(text);
}

bool keyValueFileReader::open() {
    if (m_loaded)
        return true;
    binaryBuffer bytes;
    if (!bytes.readFromFile(m_file))
        return false;
    std::wstring text;
    if (!decodeBytes(bytes.data(), bytes.logicalLength(), text))
        return false;
    m_text = std::move(text);
    m_cursor = 0;
    m_loaded = true;
    return true;
}

void keyValueFileReader::close() {
    m_text.clear();
    m_text.shrink_to_fit();
    m_cursor = 0;
    m_loaded = false;
}

bool keyValueFileReader::decodeFileBytes(binaryBuffer& bytes) {
    std::wstring text;
    if (!decodeBytes(bytes.data(), bytes.logicalLength(), text))
        return false;
    std::string units;
    encodeUtf16le(text, units);
    if (units.size() > 0xFFFFFFFFu)
        return false;
    binaryBuffer fresh(static_cast<unsigned>(units.size()));
    fresh.write(units.data(), static_cast<unsigned>(units.size()));
    bytes = fresh;
    return true;
}

// One pass over each line: the line end is found once, the comment marker
// searched only inside the line.
bool keyValueFileReader::readLine(string& line, long& position) {
    line.clear();
    if (m_text.empty())
        return false;
    position = toPosition(m_cursor);
    const std::wstring_view text(m_text);
    while (m_cursor < text.size()) {
        const std::size_t start = m_cursor;
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring_view::npos) {
            end = text.size();
            m_cursor = end;
        } else {
            m_cursor = end + 1;
            if (end > start && text[end - 1] == L'\r')
                --end;
        }
        std::wstring_view content = text.substr(start, end - start);
        if (!m_commentMarker.empty()) {
            const std::size_t comment = content.find(m_commentMarker);
            if (comment != std::wstring_view::npos)
                content = content.substr(0, comment);
        }
        if (!content.empty()) {
            line.assign(content.data(), content.size());
            return true;
        }
    }
    return false;
}

void keyValueFileReader::rewind(long position) {
    m_cursor = position < 0 || static_cast<std::size_t>(position) > m_text.size()
                   ? m_text.size()
                   : static_cast<std::size_t>(position);
}

bool keyValueFileReader::readSection(string& name) {
    string line;
    long position = 0;
    while (readLine(line, position)) {
        line.deleteAll(L'\t');
        trim(line, kBlank);
        if (line.size() > 2 && line.front() == L'[' && line.back() == L']') {
            name.assign(line, 1, line.size() - 2);
            return true;
        }
    }
    name.clear();
    return false;
}

bool keyValueFileReader::readKey(string& key, string& value) {
    key.clear();
    value.clear();
    string line;
    long position = 0;
    while (readLine(line, position)) {
        line.deleteAll(L'\t');
        trim(line, kBlank);
        if (!line.empty() && line.front() == L'[') {
            rewind(position);
            return false;
        }
        const std::size_t at = m_separator.empty() ? string::npos : line.find(m_separator);
        if (at == string::npos) {
            key = line;
            value.clear();
        } else {
            key.assign(line, 0, at);
            key.deleteTrailing(kBlank);
            value.assign(line, at + m_separator.size());
            value.deleteLeading(kBlank);
        }
        if (key.empty())
            continue; // "= x" or a line of blanks: nothing to deliver
        while (!m_continuationMarker.empty() && !value.empty() && endsWith(value, m_continuationMarker)) {
            value.resize(value.size() - m_continuationMarker.size());
            string next;
            long nextPosition = 0;
            if (!readLine(next, nextPosition))
                break;
            next.deleteAll(L'\t');
            trim(next, kBlank);
            if (!next.empty() && next.front() == L'[') {
                // The section stays for readSection; the key keeps what it has.
                rewind(nextPosition);
                break;
            }
            value += next;
        }
        return true;
    }
    return false;
}

bool cfgFileReader::readSection(string& name) {
    string line;
    long position = 0;
    while (readLine(line, position)) {
        trim(line, kBlankTab);
        if (line.size() > 2 && startsWith(line, L"**")) {
            if (string(line.substr(2, 3)).lower() == L"end")
                continue;
            name.assign(line, 2);
            return true;
        }
    }
    name.clear();
    return false;
}

bool cfgFileReader::readKey(string& key, string& value) {
    key.clear();
    value.clear();
    string line;
    long position = 0;
    while (readLine(line, position)) {
        trim(line, kBlankTab);
        if (line.size() >= 2 && startsWith(line, L"**")) {
            rewind(position);
            return false;
        }
        if (line.empty())
            continue;
        const std::size_t at = line.find_first_of(kBlankTab);
        if (at == string::npos) {
            key = line;
        } else {
            key.assign(line, 0, at);
            value.assign(line, at + 1);
            value.deleteLeading(kBlankTab);
        }
        return true;
    }
    return false;
}

// ---- writers --------------------------------------------------------------

keyValueFileWriter::keyValueFileWriter(const file& f, const string& separator, const string& commentMarker)
    : m_file(f), m_separator(separator), m_commentMarker(commentMarker) {}

keyValueFileWriter::~keyValueFileWriter() {
    try {
        closeStream();
    } catch (...) {
        // A destructor must not throw; what could not be kept is lost.
    }
}

void keyValueFileWriter::setFile(const file& f) {
    close();
    m_file = f;
}

bool keyValueFileWriter::open(bool overwrite) {
    close();
    m_failed = false;
    m_position = 0;
    auto out = std::make_unique<atomicFileWriter>(m_file);
    binaryBuffer existing;
    if (!overwrite && m_file.exists() && !existing.readFromFile(m_file))
        return false;
    if (!out->open())
        return false;
    if (existing.logicalLength() != 0 && !out->write(existing.data(), existing.logicalLength()))
        return false;
    m_position = existing.logicalLength();
    m_out = std::move(out);
    return true;
}

bool keyValueFileWriter::writeLine(const string& line) {
    if (!m_out || hasLineBreak(line))
        return false;
    std::string bytes = line.getMBCS();
    bytes += "\r\n";
    if (!m_out->write(bytes.data(), bytes.size())) {
        m_failed = true;
        return false;
    }
    m_position += bytes.size();
    return true;
}

bool keyValueFileWriter::writeSection(const string& name, const string& comment) {
    if (!isOpen() || hasLineBreak(name) || hasLineBreak(comment))
        return false;
    if (!m_lineBeforeSection.empty() && m_position != 0 && !writeLine(m_lineBeforeSection))
        return false;
    string line = L"[" + name + L"]";
    if (!comment.empty()) {
        // The column of the key lines' comments.
        const std::size_t column = std::size_t(m_keyWidth) + m_valueWidth + m_separator.size() + 2;
        if (line.size() < column)
            line.append(column - line.size(), L' ');
        line += L" " + m_commentMarker + comment;
    }
    return writeLine(line);
}

bool keyValueFileWriter::writeKey(const string& key, const string& value, const string& comment) {
    if (!isOpen() || hasLineBreak(key) || hasLineBreak(value) || hasLineBreak(comment))
        return false;
    if (!m_lineBeforeKey.empty() && m_position != 0 && !writeLine(m_lineBeforeKey))
        return false;
    string line = key;
    if (line.size() < m_keyWidth)
        line.append(m_keyWidth - line.size(), L' ');
    line += L" " + m_separator + L" " + value;
    if (!comment.empty()) {
        if (value.size() < m_valueWidth)
            line.append(m_valueWidth - value.size(), L' ');
        line += L" " + m_commentMarker + comment;
    }
    return writeLine(line);
}

bool keyValueFileWriter::writeCommentLine(const string& text) {
    return writeLine(m_commentMarker + text);
}

bool keyValueFileWriter::close() {
    return closeStream();
}

void keyValueFileWriter::discard() {
    if (m_out)
        m_out->discard();
    m_out.reset();
    m_failed = false;
    m_position = 0;
}

bool keyValueFileWriter::closeStream() {
    if (!m_out)
        return true;
    std::unique_ptr<atomicFileWriter> out = std::move(m_out);
    const bool ok = !m_failed && out->commit();
    if (!ok)
        out->discard();
    m_failed = false;
    m_position = 0;
    return ok;
}

cfgFileWriter::~cfgFileWriter() {
    try {
        close();
    } catch (...) {
        // As in the base: a destructor must not throw.
    }
}

bool cfgFileWriter::writeSection(const string& name, const string& comment) {
    if (!isOpen() || hasLineBreak(name) || hasLineBreak(comment))
        return false;
    if (!m_section.empty() && !writeLine(L"**END " + m_section))
        return false;
    m_section = name;
    return writeLine(L"**" + name + L" " + commentMarker() + comment);
}

bool cfgFileWriter::close() {
    bool ok = true;
    if (!m_section.empty() && isOpen())
        ok = writeLine(L"**END " + m_section);
    m_section.clear();
    return keyValueFileWriter::close() && ok;
}

namespace {

string quoted(const string& text) {
    return text.empty() || text.front() == L'"' ? text : string(L"\"" + text + L"\"");
}

} // namespace

bool pcfFileWriter::writeKey(const string& key, const string& value, const string& comment) {
    return keyValueFileWriter::writeKey(quoted(key), quoted(value), comment);
}

bool pcfFileWriter::writeDirOrFile(const string& key, const string& path, const string& comment) {
    string slashed = path;
    slashed.replace(L'\\', L'/');
    return writeKey(key, slashed, comment);
}

// ---- scrambled files --------------------------------------------------------

const char* versionKey() {
    return kVersionKey;
}

bool decryptWithVersionKey(const file& f, binaryBuffer& buffer) {
    try {
        if (!f.exists())
            return false;
        binaryBuffer bytes;
        if (!bytes.readFromFile(f))
            return false;
        bytes.xxor(versionKey());
        buffer.write(bytes.data(), bytes.logicalLength());
        return true;
    } catch (...) {
        return false;
    }
}

bool encryptWithVersionKey(binaryBuffer& buffer, const file& f) {
    try {
        binaryBuffer scrambled(buffer);
        scrambled.xxor(versionKey());
        return replaceFileContent(f, scrambled.data(), scrambled.logicalLength());
    } catch (...) {
        return false;
    }
}

} // namespace zv
