// zvutil cfg: key-value files. `show` lists a file's sections and keys as
// INI text, `get` prints one value, `set` changes one and rewrites the file as
// INI, `scramble` and `unscramble` apply the library's version key.
#include "zvCli.h"

#include "zvAtomicFile.h"
#include "zvBinaryBuffer.h"
#include "zvCodePage.h"
#include "zvConfigSet.h"
#include "zvException.h"
#include "zvFsEntryName.h"
#include "zvKeyValueFile.h"

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace zvcli {

namespace {

const char* const kCfgUsage = "usage: zvutil cfg show FILE [--dialect ini|cfg|pcf] [--scrambled]\n"
                              "       zvutil cfg get FILE SECTION KEY [--dialect ini|cfg|pcf] [--scrambled]\n"
                              "       zvutil cfg set FILE SECTION KEY VALUE\n"
                              "       zvutil cfg scramble|unscramble IN OUT\n";

enum class dialect { ini, cfg, pcf };

struct cfgArgs {
    std::vector<std::string> positional;
    dialect kind = dialect::ini;
    bool kindGiven = false;
    bool scrambled = false;
};

zv::file libraryFile(const std::string& arg) {
    return zv::file(zv::fsEntryName::fromHostPath(wideFromArgument(arg)));
}

bool endsWith(const std::string& text, const char* tail) {
    const std::string t(tail);
    if (text.size() < t.size())
        return false;
    return std::equal(t.begin(), t.end(), text.end() - static_cast<std::ptrdiff_t>(t.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

// Positional arguments, --dialect and --scrambled; false on a usage error.
bool parseArgs(const std::vector<std::string>& args, cfgArgs& parsed) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--dialect") {
            if (i + 1 >= args.size())
                return false;
            const std::string& d = args[++i];
            if (d == "ini")
                parsed.kind = dialect::ini;
            else if (d == "cfg")
                parsed.kind = dialect::cfg;
            else if (d == "pcf")
                parsed.kind = dialect::pcf;
            else
                return false;
            parsed.kindGiven = true;
        } else if (a == "--scrambled") {
            parsed.scrambled = true;
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return false;
        } else {
            parsed.positional.push_back(a);
        }
    }
    if (!parsed.kindGiven && !parsed.positional.empty()) {
        if (endsWith(parsed.positional[0], ".cfg"))
            parsed.kind = dialect::cfg;
        else if (endsWith(parsed.positional[0], ".pcf"))
            parsed.kind = dialect::pcf;
    }
    return true;
}

// A reader of the file in its dialect: ";" comments everywhere, no
// continued values (INI values such as "C:\data\" end in a backslash).
std::unique_ptr<zv::keyValueFileReader> makeReader(const zv::file& f, dialect kind, bool scrambled) {
    if (scrambled) {
        zv::binaryBuffer text;
        if (!zv::decryptWithVersionKey(f, text) || !zv::keyValueFileReader::decodeFileBytes(text))
            return nullptr;
        if (kind == dialect::cfg)
            return std::make_unique<zv::cfgFileReader>(text, L"", L";", L"");
        return std::make_unique<zv::keyValueFileReader>(text, L"=", L";", L"");
    }
    if (kind == dialect::cfg)
        return std::make_unique<zv::cfgFileReader>(f, L"", L";", L"");
    return std::make_unique<zv::keyValueFileReader>(f, L"=", L";", L"");
}

// The file's keys as a structure; a pcf file's keys form the section "".
bool load(const zv::file& f, const cfgArgs& a, zv::configStructure& structure) {
    const std::unique_ptr<zv::keyValueFileReader> reader = makeReader(f, a.kind, a.scrambled);
    if (!reader)
        return false;
    if (a.kind != dialect::pcf)
        return zv::loadConfigStructure(*reader, structure, false);
    zv::configSet set;
    if (!zv::loadPcfConfigSet(*reader, set, false))
        return false;
    if (set.keyCount() != 0)
        static_cast<zv::configSet&>(structure.addSection(L"")) = set;
    return true;
}

void printKeys(std::ostream& out, const zv::configSection& section, std::size_t width) {
    zv::string key, value;
    for (unsigned i = 0; section.getKeyAndValue(i, key, value); ++i) {
        if (key.empty())
            continue;
        key.resize(std::max(key.size(), width), L' ');
        out << narrowForOutput(key) << " = " << narrowForOutput(value) << "\n";
    }
}

// Laid out as the library writes INI files: keys without a section first.
void printIni(std::ostream& out, const zv::configStructure& structure) {
    std::size_t longest = 0;
    zv::string key, value;
    for (unsigned s = 0; s < structure.sectionCount(); ++s)
        for (unsigned i = 0; structure.section(s).getKeyAndValue(i, key, value); ++i)
            longest = std::max(longest, key.size());
    for (unsigned s = 0; s < structure.sectionCount(); ++s)
        if (structure.section(s).name().empty())
            printKeys(out, structure.section(s), longest + 1);
    for (unsigned s = 0; s < structure.sectionCount(); ++s) {
        const zv::configSection& section = structure.section(s);
        if (section.name().empty())
            continue;
        out << "[" << narrowForOutput(section.name()) << "]\n";
        printKeys(out, section, longest + 1);
    }
}

int cannotRead(context& ctx, const std::string& name) {
    ctx.err << "zvutil cfg: cannot read '" << name << "'\n";
    return exitFailure;
}

int cfgShow(context& ctx, const cfgArgs& a) {
    if (a.positional.size() != 1) {
        ctx.err << kCfgUsage;
        return exitUsage;
    }
    zv::configStructure structure;
    if (!load(libraryFile(a.positional[0]), a, structure))
        return cannotRead(ctx, a.positional[0]);
    printIni(ctx.out, structure);
    return exitOk;
}

int cfgGet(context& ctx, const cfgArgs& a) {
    if (a.positional.size() != 3) {
        ctx.err << kCfgUsage;
        return exitUsage;
    }
    zv::configStructure structure;
    if (!load(libraryFile(a.positional[0]), a, structure))
        return cannotRead(ctx, a.positional[0]);
    const zv::string section = wideFromArgument(a.positional[1]);
    const zv::string key = wideFromArgument(a.positional[2]);
    const unsigned at = structure.sectionIdx(section, false);
    zv::string value;
    if (at == zv::configStructure::npos || !structure.section(at).getValue(key, value, false)) {
        ctx.err << "zvutil cfg: no key '" << a.positional[2] << "' in section '" << a.positional[1] << "'\n";
        return exitFailure;
    }
    ctx.out << narrowForOutput(value) << "\n";
    return exitOk;
}

// What an INI line cannot hold without reading back differently.
const char* unstorable(const zv::string& section, const zv::string& key, const zv::string& value) {
    const auto has = [](const zv::string& text, const wchar_t* chars) {
        return text.find_first_of(chars) != zv::string::npos;
    };
    if (has(section, L"\r\n;\t"))
        return "a section name must not hold ';', tabs or line breaks";
    if (has(key, L"\r\n;=\t") || key.empty() || key.front() == L'[' || key.front() == L' ' ||
        key.back() == L' ')
        return "a key must not be empty, start with '[' or hold '=', ';', tabs, line breaks or blanks at its "
               "ends";
    if (has(value, L"\r\n;\t") || (!value.empty() && (value.front() == L' ' || value.back() == L' ')))
        return "a value must not hold ';', tabs, line breaks or blanks at its ends";
    return nullptr;
}

// INI files are written in the ANSI code page: a text it cannot hold would
// come back as '?'.
bool fitsAnsi(const zv::configStructure& structure) {
    const auto fits = [](const zv::string& text) {
        std::string bytes;
        std::wstring back;
        return zv::toCodePage(text, zv::ansiCodePage(), bytes) &&
               zv::fromCodePage(bytes, zv::ansiCodePage(), back) && back == text;
    };
    zv::string key, value;
    for (unsigned s = 0; s < structure.sectionCount(); ++s) {
        const zv::configSection& section = structure.section(s);
        if (!fits(section.name()))
            return false;
        for (unsigned i = 0; section.getKeyAndValue(i, key, value); ++i)
            if (!fits(key) || !fits(value))
                return false;
    }
    return true;
}

int cfgSet(context& ctx, const cfgArgs& a) {
    if (a.positional.size() != 4 || a.scrambled || a.kindGiven) {
        ctx.err << kCfgUsage;
        return exitUsage;
    }
    const zv::file f = libraryFile(a.positional[0]);
    const zv::string section = wideFromArgument(a.positional[1]);
    const zv::string key = wideFromArgument(a.positional[2]);
    const zv::string value = wideFromArgument(a.positional[3]);
    if (const char* why = unstorable(section, key, value)) {
        ctx.err << "zvutil cfg set: " << why << "\n";
        return exitUsage;
    }
    zv::configStructure structure;
    cfgArgs ini = a;
    ini.kind = dialect::ini;
    if (f.exists() && !load(f, ini, structure))
        return cannotRead(ctx, a.positional[0]);
    structure.section(section, false, true).setValue(key, value, false, 3);
    if (!fitsAnsi(structure)) {
        ctx.err << "zvutil cfg set: '" << a.positional[0]
                << "' would hold characters the ANSI code page cannot store; it is left as it was\n";
        return exitFailure;
    }
    zv::configStructureFileWriter(structure).write(f, true); // throws what it cannot write
    return exitOk;
}

int cfgScramble(context& ctx, bool scramble) {
    if (ctx.args.size() != 3) {
        ctx.err << kCfgUsage;
        return exitUsage;
    }
    const zv::file in = libraryFile(ctx.args[1]);
    const zv::file out = libraryFile(ctx.args[2]);
    zv::binaryBuffer bytes;
    bool ok = false;
    if (scramble)
        ok = in.exists() && bytes.readFromFile(in) && zv::encryptWithVersionKey(bytes, out);
    else
        ok = zv::decryptWithVersionKey(in, bytes) &&
             zv::replaceFileContent(out, bytes.data(), bytes.logicalLength());
    if (!ok) {
        ctx.err << "zvutil cfg: cannot " << (scramble ? "scramble '" : "unscramble '") << ctx.args[1]
                << "' into '" << ctx.args[2] << "'\n";
        return exitFailure;
    }
    return exitOk;
}

} // namespace

int cmdCfg(context& ctx) {
    if (ctx.args.empty()) {
        ctx.err << kCfgUsage;
        return exitUsage;
    }
    const std::string& sub = ctx.args[0];
    if (sub == "scramble" || sub == "unscramble")
        return cfgScramble(ctx, sub == "scramble");
    cfgArgs a;
    if (!parseArgs(ctx.args, a)) {
        ctx.err << kCfgUsage;
        return exitUsage;
    }
    if (sub == "show")
        return cfgShow(ctx, a);
    if (sub == "get")
        return cfgGet(ctx, a);
    if (sub == "set")
        return cfgSet(ctx, a);
    ctx.err << "zvutil cfg: unknown subcommand '" << sub << "'\n" << kCfgUsage;
    return exitUsage;
}

} // namespace zvcli
