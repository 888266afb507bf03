#include "zvLocFile.h"

#include "zvCodePageDetail.h"
#include "zvFsEntryName.h"

#include "os/zvOs.h"

#include <algorithm>
#include <cwchar>
#include <memory>
#include <set>
#include <string>

namespace zv {

namespace {

constexpr std::size_t kReadBlock = 0x10000;
// No translation file comes near this; a larger one (or a device that never
// ends, named by an include) is treated as unreadable rather than read forever.
constexpr std::size_t kMaxFileSize = 64u << 20;
const wchar_t* const kBlanks = L" \t";
const wchar_t* const kInclude = L"#include";
const wchar_t* const kCommand = L";;cmd(";
const wchar_t* const kReplace = L"replace:::";
const wchar_t* const kSeparator = L":::";
const wchar_t* const kAlias = L"$$";

struct handleCloser {
    void operator()(os::fileHandle* h) const { os::closeFile(h); }
};
using handlePtr = std::unique_ptr<os::fileHandle, handleCloser>;

bool readBytes(const zv::file& file, std::string& bytes) {
    bytes.clear();
    if (file.empty())
        return false;
    handlePtr in(os::openForRead(file.c_str()));
    if (!in)
        return false;
    std::string block(kReadBlock, '\0');
    for (;;) {
        const long long got = os::readFile(in.get(), block.data(), block.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (bytes.size() + static_cast<std::size_t>(got) > kMaxFileSize) {
            bytes.clear();
            return false;
        }
        bytes.append(block.data(), static_cast<std::size_t>(got));
    }
}

/// UTF-16LE to wide text. A pair of surrogates is one character; a lone
/// surrogate becomes U+FFFD and an odd last byte is dropped, so both
/// targets read the same characters.
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

/// The file's text: UTF-8 after its byte-order mark, otherwise UTF-16LE
/// (with or without the mark).
std::wstring decode(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::wstring text;
    if (bytes.size() >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        detail::utf8ToWide(bytes.data() + 3, bytes.size() - 3, text);
    } else if (bytes.size() >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        decodeUtf16le(p + 2, bytes.size() - 2, text);
    } else {
        decodeUtf16le(p, bytes.size(), text);
    }
    return text;
}

/// True for a file without a byte-order mark that holds 8-bit text: it is
/// read as UTF-16LE and comes out as nonsense. Text in UTF-16LE has a zero
/// byte beside every ASCII character; 8-bit text has none.
bool looksLikeUnmarked8Bit(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < 2 || (p[0] == 0xFF && p[1] == 0xFE) ||
        (bytes.size() >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF))
        return false;
    const std::size_t sample = std::min<std::size_t>(bytes.size(), 4096);
    return std::find(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(sample), '\0') ==
           bytes.begin() + static_cast<std::ptrdiff_t>(sample);
}

/// The lines of the file, split at CR LF, LF or CR; false when it cannot be read.
bool readLines(const zv::file& file, std::vector<zv::string>& lines) {
    lines.clear();
    std::string bytes;
    if (!readBytes(file, bytes))
        return false;
    const std::wstring text = decode(bytes);
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\n' && text[i] != L'\r')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return true;
}

/// Blanks and tabs off both ends, line ends off the end, tabs made blanks.
zv::string normalise(const zv::string& line) {
    zv::string n = line;
    n.deleteLeading(std::wstring(kBlanks));
    n.deleteTrailing(std::wstring(L"\r\n"));
    n.deleteTrailing(std::wstring(kBlanks));
    n.replace(L'\t', L' ');
    return n;
}

bool startsWith(const zv::string& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

/// The file named by an include directive in `line` (normalised); false
/// when the line is none. The directive must open the line, so a text that
/// merely mentions "#include" stays an entry.
bool includeName(const zv::string& line, zv::string& name) {
    zv::string cut = line;
    const std::size_t semicolon = cut.rfind(L';');
    if (semicolon != std::wstring::npos)
        cut.erase(semicolon);
    cut.deleteTrailing(std::wstring(kBlanks));
    if (!startsWith(cut, kInclude))
        return false;
    name = cut.substr(std::wcslen(kInclude));
    name.deleteLeading(std::wstring(kBlanks));
    if (name.size() >= 2 &&
        ((name.front() == L'"' && name.back() == L'"') || (name.front() == L'<' && name.back() == L'>')))
        name = name.substr(1, name.size() - 2);
    return !name.empty();
}

/// The file an include names, relative to the folder of `owner`.
zv::file resolveInclude(const zv::file& owner, const zv::string& name) {
    if (!fsEntryName::isARelativePath(name))
        return zv::file(name);
    return zv::file(owner.path(0) + name);
}

/// The text of an entry or a continuation line: quoted up to the last
/// quote, otherwise cut at the last ";" with trailing blanks removed.
zv::string entryText(const zv::string& text) {
    if (!text.empty() && text[0] == L'"') {
        const std::size_t close = text.rfind(L'"');
        return close == 0 ? zv::string(text.substr(1)) : zv::string(text.substr(1, close - 1));
    }
    zv::string t = text;
    const std::size_t semicolon = t.rfind(L';');
    if (semicolon != std::wstring::npos)
        t.erase(semicolon);
    t.deleteTrailing(std::wstring(kBlanks));
    return t;
}

/// Splits "replace:::old:::new"; false for anything else and for an empty
/// old text (which would match everywhere).
bool parseReplace(const zv::string& command, zv::string& oldText, zv::string& newText) {
    if (!startsWith(command, kReplace))
        return false;
    const std::size_t from = std::wcslen(kReplace);
    const std::size_t sep = command.find(kSeparator, from);
    if (sep == std::wstring::npos || sep == from)
        return false;
    oldText = command.substr(from, sep - from);
    newText = command.substr(sep + std::wcslen(kSeparator));
    return true;
}

struct parsedEntry {
    zv::string id;
    zv::string text;
    unsigned line = 0;
};
struct parsedLine {
    zv::string text;
    unsigned line = 0;
    bool closed = true; // commands: a ")" ends it
};
struct parsedFile {
    std::vector<parsedEntry> entries; // in file order, repeated ids included
    std::vector<parsedLine> includes;
    std::vector<parsedLine> commands;
};

void parse(const std::vector<zv::string>& lines, parsedFile& out) {
    // Commands first: they apply to the whole file, wherever they stand.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const zv::string n = normalise(lines[i]);
        const std::size_t at = n.find(kCommand);
        if (at == std::wstring::npos)
            continue;
        parsedLine cmd;
        cmd.text = n.substr(at + std::wcslen(kCommand));
        cmd.line = static_cast<unsigned>(i + 1);
        const std::size_t close = cmd.text.rfind(L')');
        cmd.closed = close != std::wstring::npos;
        if (cmd.closed)
            cmd.text.erase(close);
        cmd.text.deleteTrailing(std::wstring(L")"));
        out.commands.push_back(std::move(cmd));
    }

    parsedEntry current;
    bool continuing = false;
    auto finish = [&]() {
        current.text.replace(zv::string(L"\\n"), zv::string(L"\n"));
        out.entries.push_back(std::move(current));
        current = parsedEntry();
        continuing = false;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        zv::string n = normalise(lines[i]);
        const bool continues = !n.empty() && n.back() == L'\\';
        if (continuing) {
            if (continues)
                n.pop_back();
            current.text += entryText(n);
            if (!continues)
                finish();
            continue;
        }
        if (n.empty() || n[0] == L';')
            continue;
        zv::string name;
        if (includeName(n, name)) {
            out.includes.push_back(parsedLine{name, static_cast<unsigned>(i + 1), true});
            continue;
        }
        if (continues)
            n.pop_back();
        const std::size_t blank = n.find(L' ');
        if (blank == std::wstring::npos)
            continue;
        zv::string id = n.substr(0, blank);
        if (id.find(L';') != std::wstring::npos)
            continue;
        zv::string rest = n.substr(blank + 1);
        rest.deleteLeading(std::wstring(kBlanks));
        current.id = std::move(id);
        current.text = entryText(rest);
        current.line = static_cast<unsigned>(i + 1);
        continuing = continues;
        if (!continuing)
            finish();
    }
    if (continuing)
        finish();
}

void applyCommands(const std::vector<parsedLine>& commands, std::map<zv::string, zv::string>& entries) {
    for (const parsedLine& cmd : commands) {
        zv::string oldText, newText;
        if (!parseReplace(cmd.text, oldText, newText))
            continue;
        for (auto& entry : entries)
            entry.second.replace(oldText, newText);
    }
}

/// Reads `file` into `entries` (first text of an id wins) and `commands`;
/// false when it cannot be read.
bool loadEntries(const zv::file& file, std::map<zv::string, zv::string>& entries,
                 std::vector<parsedLine>& commands) {
    std::vector<zv::string> lines;
    if (!readLines(file, lines))
        return false;
    parsedFile parsed;
    parse(lines, parsed);
    for (parsedEntry& e : parsed.entries)
        entries.emplace(std::move(e.id), std::move(e.text));
    commands = std::move(parsed.commands);
    return true;
}

/// The spelling under which a file counts as met: names that differ only in
/// case are one file, as on Windows.
zv::string foldedName(const zv::file& file) {
    return file.lower();
}

} // namespace

/// The files met while scanning the includes of one main file, shared by
/// every level, so that include cycles and second paths end.
struct locFile::includeScan {
    std::set<zv::string> seen;

    explicit includeScan(const zv::file& main) { seen.insert(foldedName(main)); }
};

locFile::locFile(const wchar_t* path) : zv::file(path) {
    includeScan scan(*this);
    scanIncludes(scan, 0);
}

locFile::locFile(const wchar_t* path, const wchar_t* overlayPath) : zv::file(path), m_overlay(overlayPath) {
    includeScan scan(*this);
    scanIncludes(scan, 0);
}

locFile::locFile(const zv::file& file) : zv::file(file) {
    includeScan scan(*this);
    scanIncludes(scan, 0);
}

locFile::locFile(const zv::file& file, includeScan& scan, unsigned depth) : zv::file(file) {
    scanIncludes(scan, depth);
}

locFile& locFile::operator=(const zv::file& file) {
    if (static_cast<const zv::file*>(this) == &file)
        return *this;
    zv::file::operator=(file);
    m_overlay = zv::file();
    m_overlayStamp = changeStamp();
    m_commands.clear();
    m_entries.clear();
    m_mainStamp = changeStamp();
    includeScan scan(*this);
    scanIncludes(scan, 0);
    return *this;
}

locFile::~locFile() = default;

void locFile::scanIncludes(includeScan& scan, unsigned depth) {
    m_included.clear();
    std::vector<zv::string> lines;
    if (depth >= maxIncludeDepth() || !exists() || !readLines(*this, lines))
        return;
    zv::string name;
    for (const zv::string& line : lines) {
        if (!includeName(normalise(line), name))
            continue;
        const zv::file target = resolveInclude(*this, name);
        if (!target.exists() || !target.isReadable() || !scan.seen.insert(foldedName(target)).second)
            continue;
        m_included.push_back(locFile(target, scan, depth + 1));
    }
}

locFile::changeStamp locFile::stampOf(const zv::file& file) {
    os::fileStamp s;
    if (file.empty() || !os::readFileStamp(file.c_str(), s))
        return changeStamp();
    return changeStamp{s.exists, s.volume, s.index, s.size, s.modification, s.change};
}

void locFile::setOverlay(const zv::file& overlay) {
    m_overlay = overlay;
    m_entries.clear();
}

bool locFile::needsReload() const {
    // A missing overlay has the empty stamp, which differs from that of one
    // loaded before.
    return m_entries.empty() || stampOf(*this) != m_mainStamp || stampOf(m_overlay) != m_overlayStamp;
}

void locFile::reload() const {
    m_mainStamp = stampOf(*this);
    m_overlayStamp = changeStamp();
    m_entries.clear();
    m_commands.clear();
    std::vector<parsedLine> commands;
    if (m_mainStamp.exists && loadEntries(*this, m_entries, commands)) {
        applyCommands(commands, m_entries);
        for (const parsedLine& c : commands)
            m_commands.push_back(c.text);
    }
    m_overlayStamp = stampOf(m_overlay);
    if (!m_overlayStamp.exists)
        return;
    std::map<zv::string, zv::string> overlay;
    commands.clear();
    if (!loadEntries(m_overlay, overlay, commands))
        return;
    for (auto& entry : overlay)
        m_entries[entry.first] = std::move(entry.second);
    // The overlay's commands act on the merged entries, the main file's included.
    applyCommands(commands, m_entries);
    for (const parsedLine& c : commands)
        m_commands.push_back(c.text);
}

bool locFile::getMessage(const wchar_t* id, locMessage& message) const {
    if (id == nullptr)
        return false;
    zv::string key(id);
    key.deleteLeading(std::wstring(kBlanks));
    key.deleteTrailing(std::wstring(L"\r\n"));
    key.deleteTrailing(std::wstring(kBlanks));
    if (needsReload())
        reload();

    // Follow aliases within this file; an id met before ends the chain with
    // the alias text itself.
    std::set<zv::string> visited;
    for (;;) {
        const auto it = m_entries.find(key);
        if (it == m_entries.end())
            break;
        const zv::string& text = it->second;
        if (!startsWith(text, kAlias)) {
            message.setMessage(text.c_str());
            return true;
        }
        zv::string target = text.substr(std::wcslen(kAlias));
        target.deleteLeading(std::wstring(kBlanks));
        if (visited.count(target) != 0) {
            message.setMessage(text.c_str());
            return true;
        }
        visited.insert(key);
        key = std::move(target);
    }
    for (const locFile& included : m_included)
        if (included.getMessage(key.c_str(), message))
            return true;
    return false;
}

// ---- checking -------------------------------------------------------------

namespace {

/// The id an alias text ("$$" and an id) names.
zv::string aliasTarget(const zv::string& text) {
    zv::string target = text.substr(std::wcslen(kAlias));
    target.deleteLeading(std::wstring(kBlanks));
    return target;
}

struct checker {
    std::vector<locFileIssue>& issues;
    locFileCounts counts;
    std::set<zv::string> seen;  // every file checked so far, by its folded name
    std::set<zv::string> chain; // the includes leading to the current file

    std::vector<locFileIssue> local; // of the file being checked

    void report(const zv::file& file, unsigned line, const zv::string& text) {
        local.push_back(locFileIssue{file, line, text});
    }

    /// Moves the current file's issues, by line, to the result.
    void flush() {
        std::stable_sort(local.begin(), local.end(),
                         [](const locFileIssue& a, const locFileIssue& b) { return a.line < b.line; });
        issues.insert(issues.end(), local.begin(), local.end());
        local.clear();
    }

    /// Checks `file`, `depth` levels of includes below the main file.
    void checkFile(const zv::file& file, unsigned depth) {
        std::string bytes;
        if (readBytes(file, bytes) && looksLikeUnmarked8Bit(bytes))
            report(file, 0,
                   L"no byte-order mark, so the file is read as UTF-16LE, but it holds 8-bit text "
                   L"(save it as UTF-8 with a byte-order mark)");
        std::vector<zv::string> lines;
        if (!readLines(file, lines)) {
            report(file, 0, L"cannot read the file");
            flush();
            return;
        }
        parsedFile parsed;
        parse(lines, parsed);
        counts.commands += static_cast<unsigned>(parsed.commands.size());
        counts.includes += static_cast<unsigned>(parsed.includes.size());
        for (const parsedLine& cmd : parsed.commands) {
            zv::string oldText, newText;
            if (!cmd.closed)
                report(file, cmd.line, L"command without a closing \")\": \"" + cmd.text + L"\"");
            else if (!parseReplace(cmd.text, oldText, newText))
                report(file, cmd.line,
                       L"malformed command \"" + cmd.text + L"\" (expected replace:::OLD:::NEW)");
        }
        const zv::string self = foldedName(file);
        std::vector<zv::file> nested;
        for (const parsedLine& inc : parsed.includes) {
            const zv::file target = resolveInclude(file, inc.text);
            const zv::string folded = foldedName(target);
            if (!target.exists()) {
                report(file, inc.line, L"included file \"" + inc.text + L"\" not found");
            } else if (!target.isReadable()) {
                report(file, inc.line, L"included file \"" + inc.text + L"\" cannot be read");
            } else if (chain.count(folded) != 0 || folded == self) {
                report(file, inc.line, L"include of \"" + inc.text + L"\" closes a cycle");
            } else if (depth >= locFile::maxIncludeDepth()) {
                report(file, inc.line,
                       L"include of \"" + inc.text + L"\" is nested deeper than " +
                           zv::string::sformat(L"%u", locFile::maxIncludeDepth()) +
                           L" levels and is ignored");
            } else if (seen.insert(folded).second) {
                nested.push_back(target);
            }
        }
        checkAliases(file, parsed);
        flush();
        chain.insert(self);
        for (const zv::file& target : nested)
            checkFile(target, depth + 1);
        chain.erase(self);
    }

    /// Reports every alias that names an unknown id or runs in a circle.
    /// Each id is followed once: a chain's outcome is shared by every alias
    /// on it, so long chains cost no more than their length.
    void checkAliases(const zv::file& file, const parsedFile& parsed) {
        std::map<zv::string, const parsedEntry*> entries; // first text wins
        for (const parsedEntry& e : parsed.entries)
            entries.emplace(e.id, &e);
        counts.entries += static_cast<unsigned>(entries.size());

        enum class eOutcome { resolves, circle, unknown };
        struct outcome {
            eOutcome kind = eOutcome::resolves;
            zv::string unknownId;
        };
        std::map<zv::string, outcome> resolved; // by alias id
        std::unique_ptr<locFile> resolver;      // for ids only the includes know; made on demand
        auto knownToIncludes = [&](const zv::string& id) {
            if (!resolver)
                resolver = std::make_unique<locFile>(file);
            locMessage found;
            for (const locFile& included : resolver->includedFiles())
                if (included.getMessage(id.c_str(), found))
                    return true;
            return false;
        };
        auto follow = [&](const zv::string& start) {
            std::vector<zv::string> path; // the aliases walked, none resolved yet
            std::set<zv::string> onPath;
            zv::string current = start;
            outcome result;
            for (;;) {
                if (const auto done = resolved.find(current); done != resolved.end()) {
                    result = done->second;
                    break;
                }
                if (onPath.count(current) != 0) {
                    result.kind = eOutcome::circle;
                    break;
                }
                const auto it = entries.find(current);
                if (it == entries.end()) {
                    if (!knownToIncludes(current))
                        result = outcome{eOutcome::unknown, current};
                    break;
                }
                if (!startsWith(it->second->text, kAlias))
                    break;
                onPath.insert(current);
                path.push_back(current);
                current = aliasTarget(it->second->text);
            }
            for (const zv::string& id : path)
                resolved.emplace(id, result);
            return result;
        };

        for (const auto& [id, entry] : entries) {
            if (!startsWith(entry->text, kAlias))
                continue;
            ++counts.aliases;
            const outcome result = follow(id);
            if (result.kind == eOutcome::circle)
                report(file, entry->line, L"alias \"" + id + L"\" runs in a circle");
            else if (result.kind == eOutcome::unknown)
                report(file, entry->line,
                       L"alias \"" + id + L"\" names the unknown id \"" + result.unknownId + L"\"");
        }
    }
};

} // namespace

bool locFile::check(const zv::file& file, std::vector<locFileIssue>& issues, locFileCounts* counts) {
    const std::size_t before = issues.size();
    checker c{issues, {}, {foldedName(file)}, {}, {}};
    c.checkFile(file, 0);
    if (counts != nullptr)
        *counts = c.counts;
    return issues.size() == before;
}

} // namespace zv
