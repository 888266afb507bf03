#include "zvLog.h"
#include "zvDirectory.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvProcess.h"
#include "zvTimeStamp.h"

#include "zvFsTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using zvlog::logConfig;
using zvlog::logManager;
using zvlog::logSettings;
using zvlog::logUtils;
using lines = std::vector<std::string>;

// Every test of this binary logs below a folder of its own, never into the
// user's home folder.
class logRootEnvironment : public ::testing::Environment {
public:
    void SetUp() override { logUtils::overwriteLogRootDir(folder().dir()); }
    void TearDown() override { logUtils::overwriteLogRootDir(zv::directory()); }
    static zvtest::tempFolder& folder() {
        static zvtest::tempFolder f;
        return f;
    }
};
const auto* const logRootRegistered = ::testing::AddGlobalTestEnvironment(new logRootEnvironment);

std::filesystem::path hostOf(const zv::fsEntryName& name) {
    return std::filesystem::path(static_cast<const std::wstring&>(name.hostPath()));
}

// The lines of a file, given by the library's name or the host's.
template <typename Name>
lines readLines(const Name& name) {
    std::istringstream in(zvtest::readAll(name));
    lines result;
    for (std::string line; std::getline(in, line);)
        result.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    return result;
}

// Moves `from` to the same name with `suffix` added; the new place.
std::filesystem::path moved(const std::filesystem::path& from, const std::string& suffix) {
    const std::filesystem::path to = from.string() + suffix;
    std::filesystem::rename(from, to);
    return to;
}

void writeText(const zv::file& f, const std::string& text) {
    std::filesystem::create_directories(hostOf(f).parent_path());
    std::ofstream(hostOf(f), std::ios::binary) << text;
}

void info(const char* logger, const zv::string& message, zv::refPtr<zvlog::logObj> obj = nullptr) {
    logManager::getLogger(logger)->log_info(message, "f", 1, "f", obj);
}

// A configuration as one line: "count size format on|off level", then " id+level" (- when disabled)
// per class.
std::string describe(const logConfig& c) {
    std::string s = std::to_string(c.maxFileCount) + " " + std::to_string(c.maxFileSize) + " " +
                    c.format.getMBCS() + (c.rootEnabled ? " on " : " off ") +
                    logUtils::getStringFromLogLevel(c.rootLevel).getMBCS();
    for (const auto& k : c.classes)
        s += " " + k.id.getMBCS() + (k.enabled ? "+" : "-") +
             logUtils::getStringFromLogLevel(k.level).getMBCS();
    return s;
}

logConfig parse(const std::string& xml) {
    logConfig config;
    config.loadFromMemory(xml.data(), static_cast<unsigned>(xml.size()));
    return config;
}

std::string globals(const char* format, unsigned count = 3, unsigned long size = 2000000) {
    return "<globals maxfilecount=\"" + std::to_string(count) + "\" maxfilesize=\"" + std::to_string(size) +
           "\" format=\"" + format + "\"/>";
}

// Writes the object's content and logs a line of its own from another thread while doing so.
class contentWriter : public zv::refObj, public zv::observer {
public:
    EV_DECLARE_MSGMAP();
    void onWrite(zv::iRefObj* source, const wchar_t*, zv::iEventParams*) {
        auto* obj = dynamic_cast<zvlog::logObj*>(source);
        ASSERT_TRUE(obj && obj->currentTarget());
        writeText(*obj->currentTarget(), "observed");
        std::thread([] { info("x", L"observer"); }).join();
    }
};
EV_BEGIN_MSGMAP(contentWriter, zv::observer)
EV_ON_EVENT(zvlog::logObjWriteEvent, onWrite)
EV_END_MSGMAP()

// A log root of its own per test, a configuration written and read, and
// logging switched off again afterwards.
class logFixture : public ::testing::Test {
protected:
    void SetUp() override {
        logUtils::overwriteLogRootDir(m_tmp.dir());
        m_module = logUtils::moduleName();
    }
    void TearDown() override {
        logUtils::overwriteLogRootDir(logRootEnvironment::folder().dir());
        logManager::getInstance().reloadConfig();
        logSettings::getInstance().initOutputFile();
    }
    // Writes the configuration file and makes the manager read it.
    void configure(const std::string& xml) {
        writeText(logUtils::configPath(m_module), xml);
        logManager::getInstance().reloadConfig();
        logSettings::getInstance().initOutputFile();
    }
    // Everything at trace, through the root logger.
    void traceAll(const char* format, unsigned count = 3, unsigned long size = 2000000,
                  const std::string& classes = "") {
        configure("<logconfig>" + globals(format, count, size) + "<root level=\"trace\" enabled=\"true\"/>" +
                  classes + "</logconfig>");
    }
    lines outputLines() { return readLines(logSettings::getInstance().outputFile()); }
    zv::file output(unsigned n) const { return logUtils::outputPath(n, m_module); }
    zv::directory processFolder() const {
        return zv::directory(logUtils::logAppDirPath(m_module), std::to_wstring(zv::getCurrentProcessId()));
    }

    zvtest::tempFolder m_tmp;
    zv::string m_module;
};

} // namespace

TEST(logUtils, LevelNamesMapBothWays) {
    std::wstring names;
    for (const wchar_t* text : {L"none", L"trace", L"DEBUG", L"info", L"ui", L"verbose", L"", L"info "})
        names += logUtils::getStringFromLogLevel(logUtils::getLogLevelFromString(text)) + L" ";
    EXPECT_EQ(names, L"none trace debug info ui none none none ");
    EXPECT_EQ(logUtils::getStringFromLogLevel(static_cast<zvlog::logLevel>(7)), L"none");
    EXPECT_EQ(logUtils::getStringFromLogLevel(static_cast<zvlog::logLevel>(-1)), L"none");
}

// Every field fits its width, padded or cut at the end that matters (the start of a
// path or a function is cut); inserted values are never read as place holders or
// protections again.
TEST(logUtils, FormattingFitsFieldsAndKeepsEveryValueAsGiven) {
    const zv::string function(L"zv::someRatherLongNamespace::someClass::someLongFunctionName");
    EXPECT_EQ(logUtils::getFormattedLogMessage(logUtils::defaultFormatSpecifier(), L"2026/12/07 10:00:00:00",
                                               L"42", L"1234567", L"info", L"src/zvThread.cpp", L"17",
                                               function, L"\\obj.txt", L"started"),
              L"<2026/12/07 10:00:00:00   > [PID 42    ] [TID 123456] (info ) {src/zvThread.cpp"
              L"                      , L 17   , " +
                  function.substr(function.size() - 50) + L"} - started \\obj.txt");
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {
        // format, file, message
        {L"%m", L"f", L"a [b] <c> %s $1 [m] [File]", L"a [b] <c> %s $1 [m] [File]"},
        {L"%m", L"f", L"_sbb_x_sbe_ _gts_ _sts_", L"_sbb_x_sbe_ _gts_ _sts_"},
        {L"%f|%m", L"[m]", L"msg", L"[m]                                   |msg"},
        {L"[%m] <%o> 100%% %x %", L"f", L"m", L"[m] <o> 100%% %x %"},
        {L"%o%o", L"f", L"m", L"oo"},
        {L"", L"f", L"m", L""}};
    for (const auto& [format, file, message, expected] : cases)
        EXPECT_EQ(
            logUtils::getFormattedLogMessage(format, L"s", L"p", L"t", L"l", file, L"r", L"c", L"o", message),
            expected)
            << zv::string(format).getMBCS();
}

TEST(logUtils, FunctionNameIsTakenFromTheSignature) {
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"void zv::thread::start(int)", L"zv::thread::start"},
        {"static zv::refPtr<zv::node> zv::node::create(const char*)", L"zv::node::create"},
        {"T ns::f(T) [with T = std::pair<int, int>]", L"ns::f"},
        {"void ns::c<std::map<int, int> >::g(int) const", L"ns::c<std::map<int, int> >::g"},
        {"void __cdecl ns::c::operator()(int)", L"ns::c::operator()"},
        {"bool ns::operator<(const a&, const a&)", L"ns::operator<"},
        {"const char* ns::name()", L"ns::name"},
        {"noParameters", L"noParameters"},
        {"", L""}};
    for (const auto& [signature, expected] : cases)
        EXPECT_EQ(logUtils::functionName(signature), expected) << signature;
    EXPECT_EQ(logUtils::functionName(nullptr), L"");
}

// Only "true" and "1" enable, in any case; bad numbers keep the defaults, bad XML changes nothing.
TEST(logConfig, ReadsGlobalsRootAndClassesKeepingDefaultsForBadValues) {
    logConfig config = parse("<?xml version=\"1.0\"?><logconfig>" + globals("%m", 5, 1000) +
                             "<root level=\"info\" enabled=\"1\"/><classes><zv::Thread enabled=\"true\" "
                             "level=\"trace\"/><zv.undo enabled=\"yes\" level=\"debug\"/>"
                             "<other level=\"ui\" enabled=\"TRUE\"/></classes></logconfig>");
    EXPECT_EQ(describe(config), "5 1000 %m on info zv.thread+trace zv.undo-debug other+ui");
    for (const std::string v : {"-1", "3x", "", "99999999999999999999999", " 4"})
        EXPECT_EQ(describe(parse("<logconfig><globals maxfilecount=\"" + v + "\" maxfilesize=\"" + v +
                                 "\" format=\"%m\"/></logconfig>")),
                  "3 2000000 %m off none")
            << v;
    const std::string broken = "<logconfig><root level=\"trace\"></logconfig";
    EXPECT_THROW(config.loadFromMemory(broken.data(), static_cast<unsigned>(broken.size())),
                 zv::unexpectedErrorException);
}

// Root enabled and level, one class enabled and level, and whether logging is active.
TEST(logConfig, ActiveOnlyWithEnabledRootAndSomeLevel) {
    using namespace zvlog;
    const std::tuple<bool, logLevel, bool, logLevel, bool> cases[] = {{true, eInfo, false, eNone, true},
                                                                      {false, eInfo, true, eTrace, false},
                                                                      {true, eNone, true, eDebug, true},
                                                                      {true, eNone, false, eDebug, false},
                                                                      {true, eNone, true, eNone, false}};
    for (const auto& [rootEnabled, rootLevel, classEnabled, classLevel, active] : cases) {
        logConfig config;
        config.rootEnabled = rootEnabled;
        config.rootLevel = rootLevel;
        config.setClass(L"a", classEnabled, classLevel);
        EXPECT_EQ(config.isActive(), active);
    }
}

TEST(logConfig, SavesInOneStepAndSkipsIdsThatAreNoElementNames) {
    zvtest::tempFolder tmp;
    logConfig config, back;
    config.format = L"<%s> \"%m\" & more";
    for (const wchar_t* id : {L"zv::Thread", L"1abc", L"a b", L"x<y", L"ok_name-2"})
        config.setClass(id, true, zvlog::eTrace);
    const zv::file target(tmp.dir(), L"sub\\app.logcfg");
    // A write-protected file is made writable and replaced; nothing but the file is left in its folder.
    for (const unsigned count : {7u, 9u}) {
        config.maxFileCount = count;
        config.save(target);
        ASSERT_TRUE(target.allowWrite(false));
        ASSERT_TRUE(back.load(target));
        EXPECT_EQ(describe(back), std::to_string(count) +
                                      " 2000000 <%s> \"%m\" & more off none zv.thread+trace ok_name-2+trace");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.host() / "sub"),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_FALSE(back.load(zv::file(tmp.dir(), L"missing.logcfg")));
    EXPECT_EQ(back.maxFileCount, 3u);
}

TEST_F(logFixture, InactiveWithoutConfigurationHandsOutTheSilentFallback) {
    logManager::getInstance().reloadConfig();
    EXPECT_FALSE(logManager::isActive());
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("zv::thread::start");
    ASSERT_TRUE(l && l->id() == L"");
    EXPECT_FALSE(l->isLoggingAllowed(zvlog::eUi));
    l->log_ui(L"never", __FILE__, __LINE__, "f");
    EXPECT_FALSE(processFolder().exists());
}

TEST_F(logFixture, LookUpFindsTheMostSpecificEnabledLogger) {
    configure(
        "<logconfig><root level=\"ui\" enabled=\"true\"/><classes>"
        "<zv.thread enabled=\"true\" level=\"debug\"/><zv.thread.stop enabled=\"false\" level=\"trace\"/>"
        "<zv enabled=\"1\" level=\"info\"/><zv.undo.manager enabled=\"true\" level=\"trace\"/>"
        "</classes></logconfig>");
    ASSERT_TRUE(logManager::isActive());
    std::string ids;
    for (const char* name : {"zv::thread::start", "ZV::Thread", "zv.thread.stop", "zv::undo",
                             "zv::undo::manager::x", "other::thing", "root", "", "zvx"})
        ids += logManager::getLogger(name)->id().getMBCS() + " ";
    EXPECT_EQ(ids, "zv.thread zv.thread zv.thread zv zv.undo.manager root root root root ");
    EXPECT_EQ(logManager::getLogger(zv::string(L"zv::thread"))->level(), zvlog::eDebug);
}

TEST_F(logFixture, LevelsDecideWhichMessagesAreWritten) {
    configure("<logconfig>" + globals("%l %m") +
              "<root level=\"info\" enabled=\"true\"/><classes><quiet enabled=\"true\" level=\"none\"/>"
              "<off enabled=\"false\" level=\"trace\"/></classes></logconfig>");
    const zv::refPtr<zvlog::logger> root = logManager::getLogger("anything");
    root->log_trace(L"t", "f.cpp", 1, "f");
    root->log_debug(L"d", "f.cpp", 1, "f");
    root->log_info(L"i", "f.cpp", 1, "f");
    root->log_ui(L"u", zv::string(L"f.cpp"), 1, zv::string(L"f"));
    logManager::getInstance().getLogClasses()[L"quiet"]->log_ui(L"q", "f.cpp", 1, "f");
    logManager::getInstance().getLogClasses()[L"off"]->log_ui(L"o", "f.cpp", 1, "f");
    EXPECT_EQ(outputLines(), (lines{"info  i", "ui    u"}));

    // A level that is off does not even build the message.
    int built = 0;
    const auto message = [&built] {
        ++built;
        return zv::string(L"m");
    };
    ZVLOG_DEBUG(root, message());
    ZVLOG_INFO(root.get(), message());
    zvlog::logger* none = nullptr;
    ZVLOG_UI(none, message());
    EXPECT_EQ(built, 1);
}

TEST_F(logFixture, RotationReusesTheFirstFileAfterTheLast) {
    // Each line is 10 bytes plus the line end; a file is full above 25 bytes,
    // so every file takes three lines.
    traceAll("%m", 3, 25);
    for (int i = 0; i < 12; ++i)
        info("x", zv::string::sformat(L"line %05d", i));
    EXPECT_EQ(readLines(output(1)), (lines{"line 00009", "line 00010", "line 00011"}));
    EXPECT_EQ(readLines(output(2)), (lines{"line 00003", "line 00004", "line 00005"}));
    EXPECT_EQ(readLines(output(3)), (lines{"line 00006", "line 00007", "line 00008"}));
    EXPECT_FALSE(output(4).exists());
    EXPECT_EQ(logSettings::getInstance().outputFileIndex(), 1u);
}

TEST_F(logFixture, StartFileIsTheNewestOfTheNumberedFiles) {
    traceAll("%m", 4);
    const long long b = 1700000000;
    // Modification times (0: missing) of files 1 to 4, and the file chosen.
    const struct {
        long long times[4];
        unsigned expected;
    } cases[] = {{{0, 0, 0, 0}, 1},
                 {{b, b + 5, b + 1, 0}, 2},
                 {{b, b, b, b}, 4},
                 {{0, b, b + 9, 0}, 1},
                 {{b, 0, b + 5, 0}, 3}};
    for (const auto& c : cases) {
        std::filesystem::remove_all(hostOf(processFolder()));
        for (unsigned n = 1; n <= 4; ++n) {
            if (c.times[n - 1] != 0) {
                writeText(output(n), "x\n");
                ASSERT_TRUE(output(n).setLastModificationTime(c.times[n - 1]));
            }
        }
        logSettings::getInstance().initOutputFile();
        EXPECT_EQ(logSettings::getInstance().outputFileIndex(), c.expected)
            << c.times[0] << " " << c.times[1];
    }
}

TEST_F(logFixture, ClearingRemovesOnlyFoldersOfEndedProcesses) {
    const std::filesystem::path host = hostOf(logUtils::logAppDir(m_module));
    unsigned long dead = 4000000;
    while (zv::processIsRunning(dead))
        ++dead;
    const auto touch = [](const std::filesystem::path& file) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << "x";
    };
    const std::string kept[] = {std::to_string(zv::getCurrentProcessId()), "backup", "0", "12abc",
                                "99999999999"};
    for (const std::string& name : kept)
        touch(host / name / "inner" / "a.log");
    // A link inside a dead process's folder: what it leads to stays.
    zvtest::tempFolder outside;
    touch(outside.host() / "keep.txt");
    touch(host / std::to_string(dead) / "a.log");
    std::error_code ec;
    std::filesystem::create_directory_symlink(outside.host(), host / std::to_string(dead) / "link", ec);

    logSettings::getInstance().clearLogFolder(m_module);
    EXPECT_FALSE(std::filesystem::exists(host / std::to_string(dead)));
    for (const std::string& name : kept)
        EXPECT_TRUE(std::filesystem::exists(host / name / "inner" / "a.log")) << name;
    EXPECT_TRUE(std::filesystem::exists(outside.host() / "keep.txt"));
}

// Objects land below the process folder, never outside it. Their observers run before
// the logger's lock is taken: another thread may log through the same logger meanwhile.
TEST_F(logFixture, LogObjectIsWrittenNextToTheLogAndItsObserversMayLogFromAnyThread) {
    traceAll("%m %o");
    info("x", L"text", zvlog::logStringToTxt::create(L"objs/a.txt", L"content \u00e9"));
    info("x", L"abs", zvlog::logStringToTxt::create(L"\\b.txt", L"b"));
    info("x", L"escape", zvlog::logStringToTxt::create(L"..\\..\\escaped.txt", L"no"));
    zv::refPtr<zvlog::logObj> obj = zvlog::logObj::create(L"o.txt");
    zv::refPtr<contentWriter> writer = zv::createRefObj<contentWriter>();
    obj->addObserver(writer.get());
    info("x", L"main", obj);
    obj->removeAllObservers();
    EXPECT_EQ(outputLines(), (lines{"text \\objs/a.txt", "abs \\b.txt", "escape \\..\\..\\escaped.txt",
                                    "observer ", "main \\o.txt"}));
    EXPECT_EQ(zvtest::readAll(hostOf(zv::file(processFolder(), L"objs\\a.txt"))), "content \xC3\xA9");
    EXPECT_TRUE(zv::file(processFolder(), L"b.txt").exists());
    EXPECT_FALSE(zv::file(logUtils::logAppDirPath(m_module), L"..\\escaped.txt").exists());
    EXPECT_EQ(zvtest::readAll(hostOf(zv::file(processFolder(), L"o.txt"))), "observed");
}

TEST_F(logFixture, SaveConfigWritesWhatTheManagerHoldsAndReloadingKeepsHandedOutLoggers) {
    configure("<logconfig>" + globals("%m", 4) + "<root level=\"debug\" enabled=\"1\"/></logconfig>");
    logManager& manager = logManager::getInstance();
    zvlog::logClassMap classes;
    classes[L"Zv::Thread"] = zvlog::logger::create(L"zv.thread", true, zvlog::eTrace);
    manager.setLogClasses(classes);
    manager.saveConfig();
    logConfig saved;
    ASSERT_TRUE(saved.load(manager.configFile()));
    EXPECT_EQ(describe(saved), "4 2000000 %m on debug zv.thread+trace"); // the key as an id

    const zv::refPtr<zvlog::logger> held = logManager::getLogger("zv::thread");
    EXPECT_EQ(held->id(), L"zv.thread");
    configure(
        "<logconfig><root level=\"debug\" enabled=\"1\"/><classes><zv.thread enabled=\"1\" level=\"ui\"/>"
        "</classes></logconfig>");
    EXPECT_EQ(held->level(), zvlog::eUi);
    EXPECT_EQ(logManager::getLogger("zv::thread").get(), held.get());
    configure("<logconfig><root level=\"debug\" enabled=\"1\"/></logconfig>");
    EXPECT_FALSE(held->isEnabled()); // dropped: disabled
}

TEST_F(logFixture, ConcurrentLoggersWriteWholeLinesAndLoseNone) {
    // Four loggers with their own locks share the files; rotation keeps
    // every file near its limit and the count large enough to keep all.
    const std::string on = " enabled=\"1\" level=\"trace\"/>";
    traceAll("<%t> %m", 40, 8000, "<classes><a" + on + "<b" + on + "<c" + on + "<d" + on + "</classes>");
    constexpr int perThread = 2000;
    std::vector<std::thread> threads;
    for (const char* name : {"a", "b", "c", "d"})
        threads.emplace_back([name] {
            for (int i = 0; i < perThread; ++i)
                info(name, zv::string::sformat(L"%S-%05d end", name, i));
        });
    for (std::thread& t : threads)
        t.join();
    // Every message once, whole: a torn or mixed line would be one no logger wrote.
    std::multiset<std::string> seen, expected;
    for (const char* name : {"a", "b", "c", "d"})
        for (int i = 0; i < perThread; ++i)
            expected.insert(zv::string::sformat(L"%S-%05d end", name, i).getMBCS());
    for (unsigned n = 1; n <= 40; ++n) {
        EXPECT_LE(output(n).size(), 8000ul + 40) << n;
        for (const std::string& line : readLines(output(n)))
            seen.insert(line.substr(line.find("> ") + 2));
    }
    EXPECT_TRUE(seen == expected);
}

TEST_F(logFixture, EveryLineReachesTheNamedFileWhateverWasDoneToItsPath) {
    using path = std::filesystem::path;
    // What is done by hand to the open file at `f`, the lines then found at
    // its name (through links), and where the line written before went (what
    // `act` returns; empty: nowhere left to look).
    const struct {
        const char* what;
        lines afterwards; // at the file's name
        path (*act)(const path& f);
    } cases[] = {
        {"file renamed", {"after"}, [](const path& f) { return moved(f, ".old"); }},
        {"file removed", {"after"}, [](const path& f) { return std::filesystem::remove(f), path(); }},
        {"another file renamed onto it",
         {"other", "after"},
         [](const path& f) {
             std::ofstream(f.string() + ".new", std::ios::binary) << "other\n";
             std::filesystem::rename(f.string() + ".new", f);
             return path();
         }},
        {"folder renamed",
         {"after"},
         [](const path& f) { return moved(f.parent_path(), ".old") / f.filename(); }},
        {"folder removed",
         {"after"},
         [](const path& f) { return std::filesystem::remove_all(f.parent_path()), path(); }},
        {"second name added",
         {"before", "after"},
         [](const path& f) { return std::filesystem::create_hard_link(f, f.string() + ".2"), path(); }},
        {"modification time set",
         {"before", "after"},
         [](const path& f) {
             std::filesystem::last_write_time(f, std::filesystem::file_time_type::clock::now() -
                                                     std::chrono::hours(1));
             return path();
         }},
        {"link put at the name, to the file moved away",
         {"before", "after"},
         [](const path& f) { return std::filesystem::create_symlink(moved(f, ".a"), f), path(); }},
        {"link put at the name, to another file",
         {"other", "after"},
         [](const path& f) {
             std::ofstream(f.string() + ".b", std::ios::binary) << "other\n";
             const path old = moved(f, ".a");
             std::filesystem::create_symlink(f.string() + ".b", f);
             return old;
         }},
        {"folder replaced by a link to another",
         {"after"},
         [](const path& f) {
             const path old = moved(f.parent_path(), ".old") / f.filename(), other = f.parent_path() += ".b";
             std::filesystem::create_directory(other);
             std::filesystem::create_directory_symlink(other, f.parent_path());
             return old;
         }},
    };
    std::error_code noLinks;
    std::filesystem::create_symlink(m_tmp.host() / "a", m_tmp.host() / "probe", noLinks);
    for (const auto& c : cases) {
        if (noLinks && std::string(c.what).find("link") != std::string::npos)
            continue; // no symbolic links here
        const zvtest::tempFolder root;
        logUtils::overwriteLogRootDir(root.dir());
        traceAll("%m");
        info("x", L"before");
        const zv::file out = logSettings::getInstance().outputFile();
        const path old = c.act(hostOf(out));
        info("x", L"after");
        EXPECT_EQ(readLines(out), c.afterwards) << c.what;
        if (!old.empty()) {
            EXPECT_EQ(readLines(old), lines{"before"}) << c.what;
        }
    }
}

// The numbers of a written line, and text encoded as a whole line would be:
// a surrogate pair that a field boundary splits is still one character.
TEST_F(logFixture, LinesShowTheirNumbersAndEncodeAcrossFields) {
    traceAll("%s|%p|%t|%l|%r|%f%c");
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
    // Pairs exist only where wchar_t has 16 bits; elsewhere halves are replaced.
    const std::string smiley = sizeof(wchar_t) == 2 ? "\xF0\x9F\x98\x80" : "\xEF\xBF\xBD\xEF\xBF\xBD";
    const struct {
        long line;
        std::wstring file, function;
        std::string tail; // after the thread id
    } cases[] = {
        {0, L"a", L"b", "|info |0    |a" + std::string(37, ' ') + "b" + std::string(49, ' ')},
        {-12, L"", L"", "|info |-12  |" + std::string(88, ' ')},
        {1234567, L"", L"", "|info |12345|" + std::string(88, ' ')},
        {7, std::wstring(37, L'f') + L"\xD83D", L"\xDE00",
         "|info |7    |" + std::string(37, 'f') + smiley + std::string(49, ' ')},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(hostOf(logSettings::getInstance().outputFile()));
        const std::string before = zv::timestamp::now().toString().getMBCS();
        l->log_info(L"m", zv::string(c.file), c.line, zv::string(c.function));
        const std::string after = zv::timestamp::now().toString().getMBCS();
        const lines out = outputLines();
        ASSERT_EQ(out.size(), 1u) << c.line;
        const std::string& text = out[0];
        // "yyyy/mm/dd hh:mm:ss:" and the milliseconds, padded to 25.
        EXPECT_LE(before.substr(0, 20), text.substr(0, 20)) << text;
        EXPECT_LE(text.substr(0, 20), after.substr(0, 20)) << text;
        const std::size_t msEnd = text.find_first_not_of("0123456789", 20);
        EXPECT_TRUE(msEnd >= 22 && msEnd <= 23 && text.find_first_not_of(' ', msEnd) == 25) << text;
        const auto six = [](unsigned long id) {
            const std::string digits = std::to_string(id);
            return digits.size() >= 6 ? digits.substr(0, 6) : digits + std::string(6 - digits.size(), ' ');
        };
        EXPECT_EQ(text.substr(25),
                  "|" + six(zv::getCurrentProcessId()) + "|" + six(zv::getCurrentThreadId()) + c.tail);
    }
    // The macro passes this file and this function.
    ZVLOG_INFO(l, L"m");
    const std::string text = outputLines().back();
    EXPECT_NE(text.find("zvLogTest.cpp "), std::string::npos) << text;
    EXPECT_NE(text.find("Fields_Test::TestBody"), std::string::npos) << text;
}

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

TEST_F(logFixture, ForkedChildLeavesTheParentToNoticeChangesByHand) {
    traceAll("%m");
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
    info("x", L"first");
    const zv::file out = logSettings::getInstance().outputFile();
    const pid_t child = ::fork();
    if (child == 0) {
        // The file goes away, and the child, sharing the parent's open file,
        // writes the next line.
        moved(hostOf(out), ".old");
        info("x", L"child");
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    info("x", L"parent");
    EXPECT_EQ(readLines(out), (lines{"child", "parent"}));
    EXPECT_EQ(readLines(hostOf(out).string() + ".old"), lines{"first"});
}
#endif
