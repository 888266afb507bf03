#include "zvCli.h"

#include "zvAngle.h"
#include "zvBase64.h"
#include "zvBinaryBuffer.h"
#include "zvCodePage.h"
#include "zvCompoundDoc.h"
#include "zvCondition.h"
#include "zvConfigSet.h"
#include "zvCrc32.h"
#include "zvDate.h"
#include "zvDirectory.h"
#include "zvDistributedXmlDatabase.h"
#include "zvDtConvert.h"
#include "zvEnvironment.h"
#include "zvException.h"
#include "zvExecQueue.h"
#include "zvExpression.h"
#include "zvFile.h"
#include "zvFsEntryMutex.h"
#include "zvGenericSet.h"
#include "zvGuid.h"
#include "zvKeyValueFile.h"
#include "zvLocFile.h"
#include "zvLocMessage.h"
#include "zvLocString.h"
#include "zvLog.h"
#include "zvMutex.h"
#include "zvNamedPipe.h"
#include "zvObserver.h"
#include "zvPassword.h"
#include "zvProcess.h"
#include "zvRegistry.h"
#include "zvRestrictionFilter.h"
#include "zvRgbColor.h"
#include "zvRound.h"
#include "zvScString.h"
#include "zvSearchPath.h"
#include "zvString.h"
#include "zvThread.h"
#include "zvTime.h"
#include "zvTimeStamp.h"
#include "zvTimer.h"
#include "zvTypeConvert.h"
#include "zvUndoManager.h"
#include "zvUnitConv.h"
#include "zvVersion.h"
#include "zvXml.h"
#include "zvXmlDbReader.h"
#include "zvXmlDbWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace zvcli {

namespace {

namespace fs = std::filesystem;

std::string hex32(std::uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(v));
    return text;
}

// A fresh folder under the system's temporary folder, removed on every way out.
class demoFolder {
public:
    demoFolder() {
        std::random_device rd;
        m_path = fs::temp_directory_path() / ("zvutil-demo-" + std::to_string(rd()));
        fs::create_directories(m_path);
    }
    ~demoFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    demoFolder(const demoFolder&) = delete;
    demoFolder& operator=(const demoFolder&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void section(std::ostream& out, const char* title) {
    out << "\n== " << title << "\n";
}

// A counted document that tells its observers when it is renamed.
class demoDocument : public zv::refObj, public zv::observable {
public:
    void rename() { fireEvent(1, this, L"Renamed", nullptr); }
};

// Prints the events its message map routes to it.
class demoView : public zv::refObj, public zv::observer {
public:
    explicit demoView(std::ostream& out) : m_out(out) {}
    EV_DECLARE_MSGMAP();

private:
    void onRenamed(zv::iRefObj*, const wchar_t*, zv::iEventParams*) { m_out << "view got    : renamed\n"; }
    void onAny(zv::iRefObj*, const wchar_t*, zv::iEventParams*) { m_out << "view got    : event 1\n"; }
    std::ostream& m_out;
};

EV_BEGIN_MSGMAP(demoView, zv::observer)
EV_ON_NAMED_EVENT(1, L"renamed", onRenamed)
EV_ON_EVENT(1, onAny)
EV_END_MSGMAP()

} // namespace

int cmdDemo(context& ctx) {
    std::ostream& out = ctx.out;
    out << "zvUtils " << zv::libraryVersion() << " demo\n";
    demoFolder folder;
    out << "working in " << folder.path().string() << "\n";

    section(out, "CRC-32");
    zv::calcCrc32 c;
    c.crc("abc", 3);
    out << "crc32(\"abc\")            = " << hex32(c.value()) << "\n";
    zv::calcCrc32 pieces;
    pieces.crc("ab", 2);
    pieces.crc("c", 1);
    out << "crc32(\"ab\" then \"c\")    = " << hex32(pieces.value()) << "\n";

    const fs::path sample = folder.path() / "sample.bin";
    {
        std::vector<char> bytes(1 << 20);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 31 + 7);
        std::ofstream(sample, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    {
        context sub{{sample.string()}, ctx.in, out, ctx.err};
        out << "zvutil crc32 " << sample.filename().string() << ": ";
        if (cmdCrc32(sub) != exitOk)
            return exitFailure;
    }
    out << "hardware CRC kernel     : "
        << (zv::detail::crc32HasCarryless() ? "carry-less multiply" : "slicing-by-8") << "\n";

    section(out, "Mutexes and counters");
    zv::mutex m;
    const bool first = m.lock();
    const bool again = m.lock(0);
    bool other = true;
    std::thread([&] { other = m.lock(0); }).join();
    m.release();
    m.release();
    out << "owner locks twice       : " << (first && again ? "yes" : "no") << "\n";
    out << "other thread lock(0)    : " << (other ? "obtained" : "refused at once") << "\n";

    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i)
                zv::interlockedIncrement(&counter);
        });
    for (auto& t : threads)
        t.join();
    out << "4 threads x 10000 incs  : " << counter << "\n";

    section(out, "Text utilities and expressions");
    {
        const zv::scString a = zv::scString::createFrom(L"Width");
        const zv::scString b = zv::scString::createFrom(L"Width");
        out << "interned \"Width\" twice : " << (a.c_str() == b.c_str() ? "one copy" : "two copies") << "\n";
        std::string text;
        zv::base64_encode(reinterpret_cast<const unsigned char*>("Man"), 3, text);
        std::string bytes;
        zv::base64_decode(text, bytes);
        out << "base64(\"Man\")          = " << text << ", back: " << bytes << "\n";
        out << "round2(2.675)           = " << formatNumber(zv::round2(2.675)) << "\n";
        out << "cutOff1(-2.789)         = " << formatNumber(zv::cutOff1(-2.789)) << "\n";
        const zv::expression e(L"2*(3+4)^2/1.5e1");
        out << "2*(3+4)^2/1.5e1         = " << formatNumber(e.result()) << "\n";
        const zv::expression bad(L"1/0");
        out << "1/0                     : error " << bad.error() << ", "
            << (bad.isValid() ? "valid" : "invalid") << "\n";
    }

    section(out, "Strings, formatting and code pages");
    {
        auto utf8 = [](const std::wstring& w) {
            std::string bytes;
            zv::toCodePage(w, 65001, bytes);
            return bytes;
        };
        zv::string s(L"  a;b;c ");
        s.deleteLeading(L" ").deleteTrailing(L" ");
        out << "trimmed, field 1        : \"" << utf8(s) << "\" -> \"" << utf8(s.substrBetween(L';', 1))
            << "\"\n";
        out << "\"report.txt\" ~ \"*.t?t\"  : "
            << (zv::string(L"report.txt").matches(L"*.t?t") ? "match" : "no match") << "\n";
        out << "sformat                 : "
            << utf8(zv::string::sformat(L"%s=%04d %S %.3e %I64d", L"id", 42, "narrow", 1234.5,
                                        -1099511627776ll))
            << "\n";
        const std::string bytes = zv::string(L"caf\u00e9 \u20ac").getMBCS();
        out << "\"" << utf8(L"caf\u00e9 \u20ac") << "\" in page " << zv::ansiCodePage() << "  :";
        for (unsigned char b : bytes)
            out << " " << std::hex << static_cast<int>(b) << std::dec;
        out << "\n";
    }

    section(out, "Type conversion");
    {
        zv::string text;
        short small = 0;
        const bool fits = zv::dtconvert(small, 70000);
        out << "70000 as short          : " << small << (fits ? "" : " (saturated)") << "\n";
        zv::dtconvert(text, 255, zv::dtFormat, zv::dtHexUpper);
        out << "255 in hex              : " << zv::string::getMBCS(text) << "\n";
        zv::dtconvert(text, 1.0 / 3.0);
        out << "1/3 as text             : " << zv::string::getMBCS(text) << "\n";
        double parsed = 0;
        zv::dtconvert(parsed, zv::string(L"1,5"));
        out << "\"1,5\" as double         : " << parsed << "\n";
        int number = 0;
        const zv::string apples = L"  42 apples";
        zv::typeconvert::typeConversionManager::instance().convert(number, apples);
        out << "registry text -> int    : " << number << "\n";
        zv::string typed = L"2*1,5";
        zv::formatUiDoubleString(typed, 2);
        out << "user types 2*1,5        : " << zv::string::getMBCS(typed) << "\n";
    }

    section(out, "Generic values, sets and identities");
    {
        int width = 10;
        zv::genericSet attributes;
        const zv::scString widthKey = zv::scString::createFrom(L"Width");
        attributes.setGenericValue(widthKey, zv::genericValue(&width), false);
        attributes.setGenericValue(widthKey, zv::genericValue(L"25"), false);
        out << "bound \"Width\" set to \"25\": width = " << width << "\n";
        const zv::guid id = zv::guid::create();
        const zv::string idText = id.toString();
        out << "new identity            : " << zv::string::getMBCS(idText) << "\n";
        out << "reads back equal        : " << (zv::guid::fromString(idText) == id ? "yes" : "no") << "\n";
        zv::guid parsed;
        const bool braced = zv::guid::tryFromString(L"{" + idText + L"}", parsed);
        out << "with braces accepted    : " << (braced ? "yes" : "no") << "\n";
    }

    section(out, "Observers");
    {
        zv::refPtr<demoDocument> doc = zv::createRefObj<demoDocument>();
        zv::refPtr<demoView> view = zv::createRefObj<demoView>(out);
        doc->addObserver(view.get());
        doc->addObserver(view.get());
        out << "observers   : " << doc->countObservers() << " (added twice, listed once)\n";
        doc->rename();
    }

    section(out, "Paths, files and folders");
    {
        const zv::directory dir = zv::fsEntryName::fromHostPath(folder.path().wstring(), true);
        const zv::directory sub(dir, L"docs\\2024");
        sub.create(true);
        zv::file report(sub, L"report.tar.gz");
        report.create(zv::file::accessReadWrite);
        out << "normalised  : " << zv::string::getMBCS(zv::fsEntryName(L"C:/data//x/./y/../z.txt")) << "\n";
        out << "name(6)     : " << zv::string::getMBCS(report.name(6))
            << ", extension(4): " << zv::string::getMBCS(report.extension(4)) << "\n";
        out << "relative    : " << zv::string::getMBCS(report.relativeNameTo(dir)) << "\n";
        report.setExtension(L"bak", true);
        out << "renamed to  : " << zv::string::getMBCS(report.name(0)) << "\n";
        unsigned long files = 0;
        for (zv::recursiveFileIterator it(dir, L"*.*", 0, L"*.*", 0); !it.finished(); ++it)
            ++files;
        out << "files found : " << files << "\n";
        zv::version v;
        v.parse(L"2.1");
        out << "version     : " << zv::string::getMBCS(v.asString()) << "\n";
    }

    section(out, "Dates and times");
    {
        const zv::date leapDay(2024, 2, 29);
        out << "2024/02/29 plus 1 year  : " << zv::string::getMBCS((leapDay + zv::years(1)).toString())
            << "\n";
        out << "Easter 2025             : " << zv::string::getMBCS(zv::date::easterSunday(2025).toString())
            << "\n";
        out << "Friday plus 1 work day  : "
            << zv::string::getMBCS((zv::date(2024, 5, 3) + zv::workdays(1)).toString()) << "\n";
        const zv::timestamp late(zv::date(2024, 2, 28), zv::time(23));
        out << "23:00 plus 1 day 2 hours: "
            << zv::string::getMBCS((late + zv::timeduration(1, 2, 0, 0, 0)).toString()) << "\n";
        int ticks = 0;
        {
            zv::timer t([](void* user) { ++*static_cast<int*>(user); }, &ticks, 10);
            for (int i = 0; i < 500 && ticks < 3; ++i)
                zv::pumpMessages(10);
        }
        out << "timer ticks pumped      : " << (ticks >= 3 ? "3 or more" : "fewer than 3") << "\n";
    }

    section(out, "Search paths, processes and modules");
    {
        const zv::directory dir = zv::fsEntryName::fromHostPath(folder.path().wstring(), true);
        const zv::directory tools(dir, L"tools\\bin");
        tools.create(true);
        zv::file(tools, L"convert.cfg").create(zv::file::accessReadWrite);
        zv::searchPath path;
        // Folders below the base, one missing and one spelt twice.
        zv::searchPath::fromString(dir + L"; .\\tools ;.\\missing;" + dir.upper(), path, dir, L';');
        out << "search path entries     : " << path.size() << " (missing folder, second spelling dropped)\n";
        zv::file found;
        out << "convert.cfg, flat       : "
            << (path.findFile(L"convert.cfg", found, false) ? "found" : "not found") << "\n";
        out << "convert.cfg, recursive  : "
            << (path.findFile(L"convert.cfg", found, true) ? zv::string::getMBCS(found.relativeNameTo(dir))
                                                           : std::string("not found"))
            << "\n";
        const unsigned long pid = zv::getCurrentProcessId();
        out << "this process running    : " << (zv::processIsRunning(pid) ? "yes" : "no") << "\n";
        zv::file exe;
        zv::getModuleFileName(static_cast<void*>(nullptr), exe);
        out << "other " << zv::string::getMBCS(exe.name(0))
            << " running: " << (zv::processIsRunningElsewhere(exe.name(0)) != 0 ? "yes" : "no") << "\n";
        zv::file library;
        out << "library module          : "
            << (zv::getModuleFileName(zv::string(), library) ? zv::string::getMBCS(library.name(0))
                                                             : std::string("unknown"))
            << "\n";
    }

    section(out, "Localized texts and exceptions");
    {
        // A German localization file of the demo's own, found through a
        // search path; the manager's settings are put back afterwards.
        const fs::path language = folder.path() / "Language";
        fs::create_directories(language / "de");
        std::ofstream(language / "de" / "demo.loc", std::ios::binary)
            << "\xEF\xBB\xBF"
               "Msg_DemoGreeting Hallo [Who], [Count] neue Nachrichten\n"
               "Msg_EReadFile Fehler beim Lesen der Datei [File]\n";
        zv::locManager& manager = zv::locManager::instance();
        const zv::searchPath previousPath = manager.defaultSearchPath();
        const zv::string previousFile = manager.defaultLocFile();
        zv::searchPath path;
        path.appendDirectory(zv::fsEntryName::fromHostPath(language.wstring(), true));
        manager.setDefaultSearchPath(path);
        manager.setDefaultLocFile(L"demo.loc");

        zv::locString greeting(L"Msg_DemoGreeting", L"Hello [Who], [Count] new messages", L"demo.loc",
                               nullptr);
        greeting.params().set(L"Ada", L"Who");
        greeting.params().set(3, L"Count");
        out << "default text    : " << zv::string::getMBCS(greeting.string()) << "\n";
        out << "in German       : " << zv::string::getMBCS(greeting.string(L"de")) << "\n";
        zv::string form;
        greeting.getPersistentString(form);
        out << "persistent form : " << zv::string::getMBCS(form) << "\n";

        const zv::file missing(zv::fsEntryName::fromHostPath((folder.path() / "missing.cfg").wstring()));
        try {
            try {
                throw zv::fileNotFoundException(missing);
            } catch (const zv::exception& inner) {
                throw zv::readFileException(missing, &inner);
            }
        } catch (const zv::exception& e) {
            out << "exception (de)  : " << zv::string::getMBCS(e.text(L"de")) << "\n";
            for (const zv::locString& cause : e.causes())
                out << "  caused by     : " << zv::string::getMBCS(zv::locString(cause).string(L"de"))
                    << "\n";
        }
        manager.setDefaultLocFile(previousFile.c_str());
        manager.setDefaultSearchPath(previousPath);
    }

    section(out, "Localization files and messages");
    {
        // A file with an include, an alias and (in the include) a replace
        // command, and an overlay whose entries win; then `loc check` on a
        // faulty file.
        const fs::path dir = folder.path() / "loc";
        fs::create_directories(dir);
        std::ofstream(dir / "common.loc", std::ios::binary)
            << "\xEF\xBB\xBF"
               ";;cmd(replace:::Colour:::Color)\n"
               "Msg_DemoSaved W:Colour profile [File] saved\n";
        std::ofstream(dir / "app.loc", std::ios::binary) << "\xEF\xBB\xBF"
                                                            "#include common.loc\n"
                                                            "Msg_DemoStored $$Msg_DemoSaved\n"
                                                            "Msg_DemoCount $2 of $1 files, [Ratio:%.1f]%\n";
        std::ofstream(dir / "my_app.loc", std::ios::binary)
            << "\xEF\xBB\xBF"
               "Msg_DemoCount $2 von $1 Dateien, [Ratio:%.1f]%\n";
        const auto libraryFile = [](const fs::path& p) {
            return zv::file(zv::fsEntryName::fromHostPath(p.wstring()));
        };
        zv::locFile loc(libraryFile(dir / "app.loc"));
        zv::locMessage msg;
        if (loc.getMessage(L"Msg_DemoStored", msg)) {
            msg.insertParameter(L"print.icc", L"File");
            out << "alias, include, command : " << zv::string::getMBCS(msg)
                << (msg.msgState() == zv::locMessage::msWarning ? " (warning)" : "") << "\n";
        }
        loc.setOverlay(libraryFile(dir / "my_app.loc"));
        if (loc.getMessage(L"Msg_DemoCount", msg)) {
            msg.insertParameter(12, nullptr);
            msg.insertParameter(3, nullptr);
            msg.insertParameter(25.0, L"Ratio");
            out << "overlay, $1 $2 [Ratio]  : " << zv::string::getMBCS(msg) << "\n";
        }
        zv::locMessage hostile(L"[N:%99999999999d]|[N2:%n]|[T:%d]");
        hostile.insertParameter(7, L"N");
        hostile.insertParameter(7, L"N2");
        hostile.insertParameter(L"42abc", L"T");
        out << "hostile conversions     : " << hostile.size() << " characters, ends \""
            << zv::string::getMBCS(hostile.substr(hostile.size() - 5)) << "\"\n";
        std::ofstream(dir / "bad.loc", std::ios::binary) << "\xEF\xBB\xBF"
                                                            "#include bad.loc\n"
                                                            "Msg_A $$Msg_B\n";
        std::vector<zv::locFileIssue> issues;
        zv::locFile::check(libraryFile(dir / "bad.loc"), issues);
        for (const zv::locFileIssue& issue : issues)
            out << "zvutil loc check bad.loc: line " << issue.line << ": " << zv::string::getMBCS(issue.text)
                << "\n";
    }

    section(out, "Gzip files and binary buffers");
    {
        const zv::directory dir = zv::fsEntryName::fromHostPath(folder.path().wstring(), true);
        const zv::file plain(dir, L"table.csv");
        zv::binaryBuffer table;
        for (int row = 0; row < 2000; ++row) {
            const std::string line =
                std::to_string(row) + ";part-" + std::to_string(row * 37 % 101) + ";ok\n";
            table.write(line.data(), static_cast<unsigned>(line.size()));
        }
        table.writeToFile(plain, false);
        const zv::file packed(dir, L"table.csv.gz");
        int reports = 0;
        const bool compressed = plain.gzCompressTo(
            packed, [](double, void* user) { return ++*static_cast<int*>(user) > 0; }, &reports);
        out << "gzip table.csv          : " << (compressed ? "ok" : "failed") << ", " << plain.size64()
            << " -> " << packed.size64() << " bytes, " << reports << " progress report(s)\n";
        const zv::file back(dir, L"table.back.csv");
        zv::binaryBuffer reread;
        const bool same = packed.gzUncompressTo(back) && reread.readFromFile(back) && reread == table;
        out << "gunzip and compare      : " << (same ? "identical" : "different") << "\n";
        zv::binaryBuffer inMemory(table);
        inMemory.gzCompress();
        out << "buffer gzCompress       : " << inMemory.logicalLength() << " bytes, gzip header "
            << (inMemory.isGZCompressed() ? "yes" : "no") << "\n";
        zv::binaryBuffer secret;
        secret.write("password", 8);
        secret.xxor("key");
        secret.base64Encode();
        out << "xxor + base64           : " << std::string(secret.data(), secret.logicalLength()) << "\n";
        secret.base64Decode();
        secret.xxor("key");
        out << "and back                : " << std::string(secret.data(), secret.logicalLength()) << "\n";
    }

    section(out, "XML documents");
    {
        const zv::directory dir = zv::fsEntryName::fromHostPath(folder.path().wstring(), true);
        zv::refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
        doc->setName(L"zvDatabase");
        doc->setAttribute(L"version", L"2");
        zv::refPtr<zv::xmlNode> tool = doc->createChildNode(L"Tool_table")->createChildNode(L"Tool");
        tool->setAttribute(L"id", L"1");
        tool->createChildNode(L"Formula")->setText(L"a<b && c>\"d\"");
        const zv::file stored(dir, L"tools.xml");
        doc->save(stored, zv::xmlDocument::eUTF8);
        zv::refPtr<zv::xmlDocument> back = zv::xmlDocument::createXmlDocument();
        back->load(stored, false);
        zv::string text;
        back->getText(text, L"");
        out << "saved tools.xml         : " << stored.size64() << " bytes, read back "
            << (text.find(L"a&lt;b &amp;&amp; c&gt;&quot;d&quot;") != zv::string::npos ? "unchanged"
                                                                                       : "changed")
            << "\n"
            << zv::string::getMBCS(text);
        try {
            back->load("<a><b></a>", 10, false);
        } catch (const zv::exception& e) {
            out << "invalid document        : " << zv::string::getMBCS(e.text()) << "\n";
        }
    }

    section(out, "Key-value files and configuration sets");
    {
        const zv::directory dir = zv::fsEntryName::fromHostPath(folder.path().wstring(), true);
        const zv::file ini(dir, L"machine.ini");
        zv::configStructure settings;
        settings.section(L"Machine", false, true).setValue(L"Speed", 1200.5, false, 3);
        settings.section(L"Machine", false, true).setValue(L"Tool", zv::string(L"drill"), false, 3);
        zv::configStructureFileWriter(settings).write(ini, true);
        zv::keyValueFileReader reader(ini, L"=", L";", L"");
        zv::configStructure back;
        zv::string speed;
        const bool read = zv::loadConfigStructure(reader, back, false) &&
                          back.section(L"MACHINE", false, true).getValue(L"speed", speed, false);
        out << "write and read INI      : " << (read ? "Speed = " + zv::string::getMBCS(speed) : "failed")
            << "\n";
        const zv::file scrambled(dir, L"machine.bin");
        zv::binaryBuffer bytes;
        bytes.readFromFile(ini);
        zv::binaryBuffer unscrambled;
        const bool same = zv::encryptWithVersionKey(bytes, scrambled) &&
                          zv::decryptWithVersionKey(scrambled, unscrambled) && unscrambled == bytes;
        out << "scramble, unscramble    : " << (same ? "round trip ok" : "failed") << "\n";
    }

    section(out, "Compound documents and lock files");
    {
        const zv::directory dir = zv::fsEntryName::fromHostPath(folder.path().wstring(), true);
        const zv::file doc(dir, L"job.zvc");
        zv::fsEntryMutex guard(dir);
        out << "lock the folder         : " << (guard.lock(1000) ? "held" : "busy") << "\n";
        {
            zv::compoundDocWriter writer(doc);
            writer.write("header", "v1", 2);
            writer.write("points", "0,0;1,1;2,4", 11);
        }
        zv::compoundDocReader reader(doc);
        reader.open();
        for (const zv::compoundDocBlock& b : reader.blocks())
            out << "block " << b.name << std::string(b.name.size() < 18 ? 18 - b.name.size() : 0, ' ') << ": "
                << b.end - b.start << " bytes at " << b.start << "\n";
        zv::binaryBuffer points;
        reader.read("points", points);
        out << "read points             : " << std::string(points.data(), points.logicalLength()) << "\n";
        reader.close();
        guard.release();
        out << "release the folder      : " << (guard.isLocked() ? "still held" : "free") << "\n";
    }

    section(out, "Conditions and small value types");
    {
        const std::unique_ptr<zv::conditions::condition> c(
            zv::conditions::condition::parse(L"and(isbigger<int>(\"5\"), not(isin<string>(\"7\", \"9\")))"));
        out << "condition               : " << narrowForOutput(c->text()) << "\n";
        out << "  on 8 / on \"7\"         : " << (c->isTrueGeneric(zv::genericValue(8)) ? "true" : "false")
            << " / " << (c->isTrueGeneric(zv::genericValue(L"7")) ? "true" : "false") << "\n";
        out << "270 degrees in +-180    : " << zv::angle::fromDegree(270).degreeBetweenMinusPiAndPi() << "\n";
        zv::string colour;
        zv::dtconvert(colour, zv::rgbColor(0x00FF8040u));
        out << "colour 0x00FF8040       : " << narrowForOutput(colour) << "\n";
        out << "1 inch in mm            : " << zv::unitconv(zv::inch, zv::mm).lengthFactor() << "\n";
        out << "password \"abc\"          : " << narrowForOutput(zv::password(L"abc").encryptedString())
            << "\n";
    }

    section(out, "Threads, the signal pool and the execution queue");
    {
        // A worker sums numbers; the signal pool reports its end, which
        // queues an item that the "main loop" below runs.
        struct demoState {
            explicit demoState(std::ostream& o) : out(&o) {}
            std::ostream* out;
            zv::execQueue queue;
            zv::refPtr<zv::signal> queued = zv::signal::create(true);
            long long sum = 0;
        } state(out);
        struct report : zv::execItem {
            report(std::ostream& out, int code) : out(out), code(code) {}
            void execute() override {
                out << "queued report           : worker ended with exit code " << code << "\n";
            }
            std::ostream& out;
            int code;
        };
        auto worker = zv::thread::create(false);
        zv::signalPool::singleton().attach(
            worker.get(),
            [](zv::thread* t, void* user) {
                auto* st = static_cast<demoState*>(user);
                st->queue.add(new report(*st->out, t->exitCode()), true);
                st->queued->setSignal();
            },
            &state);
        worker->start(
            [](void* user) {
                auto* st = static_cast<demoState*>(user);
                for (int i = 1; i <= 1000; ++i)
                    st->sum += i;
                return 42;
            },
            &state);
        const bool ended = state.queued->wait(60000);
        out << "worker sum 1..1000      : " << (ended ? std::to_string(state.sum) : "no end reported")
            << "\n";
        out << "immediate run requested : " << (state.queue.immediateExecRequired() ? "yes" : "no") << "\n";
        state.queue.execute();
    }

    section(out, "Logging");
    {
        // This module logs into the demo folder: a configuration with a class
        // logger for zv.demo, one line through it, and the file that holds it.
        const zv::directory dir = zv::fsEntryName::fromHostPath(folder.path().wstring(), true);
        zvlog::logUtils::overwriteLogRootDir(dir);
        const zv::string module = zvlog::logUtils::moduleName();
        zvlog::logConfig config;
        config.format = L"(%l) %c - %m";
        config.rootEnabled = true;
        config.rootLevel = zvlog::eUi;
        config.setClass(L"zv::demo", true, zvlog::eDebug);
        config.save(zvlog::logUtils::configPath(module));
        zvlog::logManager::getInstance().reloadConfig();
        zvlog::logSettings::getInstance().initOutputFile();
        const zv::refPtr<zvlog::logger> log = zvlog::logManager::getLogger("zv::demo::run");
        log->log_debug(L"a [bracketed] message", "zvCmdDemo.cpp", __LINE__, "zv::demo::run");
        log->log_trace(L"below the level: not written", "zvCmdDemo.cpp", __LINE__, "zv::demo::run");
        const zv::file logFile = zvlog::logSettings::getInstance().outputFile();
        std::ifstream in(fs::path(static_cast<const std::wstring&>(logFile.hostPath())), std::ios::binary);
        std::string line;
        std::getline(in, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out << "logger for zv::demo::run: " << narrowForOutput(log->id()) << " at "
            << narrowForOutput(zvlog::logUtils::getStringFromLogLevel(log->level())) << "\n";
        out << "log file                : " << narrowForOutput(logFile.name()) << "\n";
        out << "its line                : " << line << "\n";
        in.close();
        zvlog::logUtils::overwriteLogRootDir(zv::directory());
        zvlog::logManager::getInstance().reloadConfig();
        zvlog::logSettings::getInstance().initOutputFile();
    }

    section(out, "Undo and redo");
    {
        // A one-line document whose edits register what reverts them; typing
        // on at the end of an insertion merges into it.
        struct textEdit : zv::iModification {
            textEdit(std::wstring& text, zv::undoManager& undo, bool inserted, std::size_t pos,
                     std::wstring s)
                : text(text), manager(undo), inserted(inserted), pos(pos), s(std::move(s)) {}
            static void apply(std::wstring& text, zv::undoManager& undo, bool insert, std::size_t pos,
                              const std::wstring& s) {
                if (insert)
                    text.insert(pos, s);
                else
                    text.erase(pos, s.size());
                undo.registerModification(
                    zv::sharedPtr<zv::iModification>(new textEdit(text, undo, insert, pos, s)));
            }
            void undo() override { apply(text, manager, !inserted, pos, s); }
            bool merge(const zv::sharedPtr<zv::iModification>& next) override {
                const auto* n = dynamic_cast<const textEdit*>(next.get());
                if (!n || !inserted || !n->inserted || n->pos != pos + s.size())
                    return false;
                s += n->s;
                return true;
            }
            std::wstring& text;
            zv::undoManager& manager;
            bool inserted;
            std::size_t pos;
            std::wstring s;
        };
        const zv::refPtr<zv::undoManager> undo = zv::undoManager::create();
        std::wstring text;
        const auto show = [&](const char* label) {
            out << label << std::string(24 - std::string(label).size(), ' ') << ": \""
                << narrowForOutput(text) << "\" (" << undo->undoStepCount() << " to undo, "
                << undo->redoStepCount() << " to redo)\n";
        };
        undo->startTransaction();
        for (const wchar_t* key : {L"H", L"e", L"l", L"l", L"o"})
            textEdit::apply(text, *undo, true, text.size(), key);
        undo->commitTransaction();
        show("type Hello (one step)");
        textEdit::apply(text, *undo, true, text.size(), L", world");
        show("type , world");
        textEdit::apply(text, *undo, false, 0, L"Hello");
        show("delete Hello");
        undo->undo();
        show("undo");
        undo->undo();
        show("undo");
        undo->redo();
        show("redo");
        undo->startTransaction();
        textEdit::apply(text, *undo, true, text.size(), L"!!!");
        undo->rollbackTransaction();
        show("type !!! and roll back");
        const fs::path saved = folder.path() / "undo.txt";
        std::ofstream(saved, std::ios::binary) << narrowForOutput(text);
        out << "saved as undo.txt       : " << fs::file_size(saved) << " bytes\n";
    }

    section(out, "Object database");
    {
        // Two tools that refer to each other, stored and read back as one graph.
        struct tool : zv::refObj, zv::iPersistent {
            zv::string name;
            zv::refPtr<zv::iPersistent> partner;
            zv::guid id = zv::guid::create();
            const wchar_t* className() const override { return L"Tool"; }
            const zv::guid& guid() const override { return id; }
            void writeTo(zv::iDBOStream* os) const override {
                os->write(L"name", name, false);
                os->write(L"partner", partner.get(), false);
            }
            void readFrom(zv::iDBIStream* is) override {
                is->read(L"name", name, 0, false);
                zv::iPersistent* p = nullptr;
                is->read(L"partner", &p, 0, false);
                partner = p;
                if (p)
                    p->release();
            }
        };
        struct factory : zv::iObjectFactory {
            void createObject(const wchar_t* cls, zv::iPersistent** object) override {
                if (zv::string(cls).isEqualTo(L"Tool", false)) {
                    *object = new tool;
                    (*object)->addRef();
                }
            }
        } make;
        const zv::directory dir = zv::fsEntryName::fromHostPath(folder.path().wstring(), true);
        const zv::file dbFile(dir, L"tools.zvdb");
        zv::refPtr<tool> drill(new tool), mill(new tool);
        drill->name = L"drill";
        mill->name = L"mill";
        drill->partner = mill.get();
        mill->partner = drill.get();
        {
            zv::xmlDbWriter writer(dbFile);
            writer.writeObject(drill.get(), true);
            writer.close();
        }
        drill->partner = nullptr; // break the cycle before the tools go
        zv::xmlDbReader reader(dbFile);
        reader.addObjectFactory(&make);
        std::vector<zv::refPtr<zv::iPersistent>> tools;
        reader.readAllObjects(L"Tool", tools);
        out << "tools stored and read   : " << reader.count(L"Tool") << " / " << tools.size() << "\n";
        if (tools.size() == 2) {
            auto* first = dynamic_cast<tool*>(tools[0].get());
            auto* second = dynamic_cast<tool*>(tools[1].get());
            out << "partner of the partner  : "
                << (first->partner.get() == second && second->partner.get() == first ? "itself" : "another")
                << "\n";
            first->partner = nullptr;
        }
    }

    section(out, "Distributed database and restriction filters");
    {
        // One file per class: a tool refers to its holder in another file.
        struct part : zv::refObj, zv::iPersistent {
            explicit part(const wchar_t* cls) : cls(cls) {}
            const wchar_t* className() const override { return cls.c_str(); }
            const zv::guid& guid() const override { return id; }
            void writeTo(zv::iDBOStream* os) const override {
                os->write(L"uid", id.toString(), false);
                os->write(L"name", name, false);
                os->write(L"ref", ref.get(), false);
            }
            void readFrom(zv::iDBIStream* is) override {
                zv::string text;
                is->read(L"uid", text, 0, false);
                id = zv::guid::fromString(text);
                is->read(L"name", name, 0, false);
                zv::iPersistent* p = nullptr;
                is->read(L"ref", &p, 0, false);
                ref.attach(p);
            }
            zv::string cls, name;
            zv::guid id = zv::guid::create();
            zv::refPtr<zv::iPersistent> ref;
        };
        struct partFactory : zv::iObjectFactory {
            void createObject(const wchar_t* className, zv::iPersistent** object) override {
                *object = new part(className);
                (*object)->addRef();
            }
        } factory;
        const zv::directory dir(zv::fsEntryName::fromHostPath((folder.path() / "shop").wstring(), true));
        zv::refPtr<part> holder(new part(L"Holder")), tool(new part(L"Tool"));
        holder->name = L"chuck";
        tool->name = L"drill";
        tool->ref = holder.get();
        zv::distributedXmlDatabase writer(dir);
        writer.writeObject(holder.get());
        writer.writeObject(tool.get());
        zv::distributedXmlDatabase reader(dir);
        reader.addObjectFactory(&factory);
        zv::iPersistent* p = nullptr;
        reader.readObject(L"Tool", tool->id.toString(), &p);
        zv::refPtr<zv::iPersistent> readTool;
        readTool.attach(p);
        reader.readObject(L"Holder", holder->id.toString(), &p);
        zv::refPtr<zv::iPersistent> readHolder;
        readHolder.attach(p);
        out << "class files             : " << reader.classNames().size() << "\n";
        const bool shared =
            readTool && readHolder && static_cast<part*>(readTool.get())->ref.get() == readHolder.get();
        out << "tool's holder is shared : " << (shared ? "yes" : "no") << "\n";
        zv::restrictionFilter filter({zv::objectInfo(L"Tool", tool->id)},
                                     {{L"diameter", zv::genericValue(6)}});
        const zv::filterValueStringCompare byText;
        out << "filter admits the tool  : "
            << (filter.matchesFilter({zv::objectInfo(L"tool", tool->id)}) ? "yes" : "no") << "\n";
        out << "diameter 6.0 / 8        : "
            << (filter.matchesFilter({{L"diameter", zv::genericValue(6.0)}}, byText) ? "admitted" : "refused")
            << " / "
            << (filter.matchesFilter({{L"diameter", zv::genericValue(8)}}, byText) ? "admitted" : "refused")
            << "\n";
    }

    section(out, "Named pipes, environment and the registry");
    {
        // A server and a client in one process, one message each way.
        zv::namedPipe server, client;
        const zv::string name = L"zvdemo-" + std::to_wstring(zv::getCurrentProcessId());
        server.setPipeName(name, L".");
        client.setPipeName(name, L".");
        const bool open =
            server.initialize(true, nullptr, nullptr, 0) && client.initialize(false, nullptr, nullptr, 0);
        out << "pipe                    : " << narrowForOutput(server.getPipeName())
            << (open ? "" : " (not opened)") << "\n";
        char buffer[64];
        unsigned int size = sizeof buffer;
        if (open && client.send("part 17 done", 12) && server.read(buffer, size, 5000) == 0)
            out << "server received         : " << std::string(buffer, size) << "\n";
        size = sizeof buffer;
        if (open && server.send("", 0) && client.read(buffer, size, 5000) == 0)
            out << "client received         : a message of " << size << " bytes\n";

        zv::configSet variables;
        zv::getEnvironmentVariables(variables);
        out << "environment variables   : " << (variables.keyCount() > 0 ? "listed" : "none") << "\n";

#ifdef _WIN32
        const zv::string product = zv::regGetValue(
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName");
        out << "Windows product name    : " << (product.empty() ? "(unknown)" : narrowForOutput(product))
            << "\n";
#else
        // The demo's own store in its folder, not the user's.
        zv::string previous;
        zv::getEnvironmentVariable(L"ZV_REGISTRY_DIR", previous);
        zv::setEnvironmentVariable(L"ZV_REGISTRY_DIR", folder.path().wstring().c_str());
        const wchar_t* speed = L"HKEY_CURRENT_USER\\Software\\zvDemo\\Cell\\Speed";
        zv::regSetValue(speed, 1500ul);
        out << "registry Cell\\Speed     : "
            << narrowForOutput(zv::regGetValue(L"HKEY_CURRENT_USER\\software\\ZVDEMO\\cell\\speed")) << "\n";
        zv::setEnvironmentVariable(L"ZV_REGISTRY_DIR", previous.c_str());
#endif
    }

    out << "\ndemo finished\n";
    return exitOk;
}

} // namespace zvcli
