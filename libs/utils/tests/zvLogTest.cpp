#include "zvLog.h"
#include "zvDirectory.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvProcess.h"

#include "zvFsTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using zvlog::logConfig;
using zvlog::logManager;
using zvlog::logSettings;
using zvlog::logUtils;

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

std::vector<std::string> readLines(const zv::file& f) {
    std::ifstream in(hostOf(f), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void writeText(const zv::file& f, const std::string& text) {
    std::filesystem::create_directories(hostOf(f).parent_path());
    std::ofstream(hostOf(f), std::ios::binary) << text;
}

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
    std::vector<std::string> outputLines() { return readLines(logSettings::getInstance().outputFile()); }
    zv::directory processFolder() const {
        return zv::directory(logUtils::logAppDirPath(m_module), std::to_wstring(zv::getCurrentProcessId()));
    }

    zvtest::tempFolder m_tmp;
    zv::string m_module;
};

std::string globals(const char* format, unsigned count = 3, unsigned long size = 2000000) {
    return "<globals maxfilecount=\"" + std::to_string(count) + "\" maxfilesize=\"" + std::to_string(size) +
           "\" format=\"" + format + "\"/>";
}

} // namespace

TEST(logUtils, LevelNamesMapBothWays) {
    const struct {
        const wchar_t* text;
        zvlog::logLevel level;
    } cases[] = {{L"none", zvlog::eNone}, {L"trace", zvlog::eTrace}, {L"DEBUG", zvlog::eDebug},
                 {L"info", zvlog::eInfo}, {L"ui", zvlog::eUi},       {L"verbose", zvlog::eNone},
                 {L"", zvlog::eNone},     {L"info ", zvlog::eNone}};
    for (const auto& c : cases)
        EXPECT_EQ(logUtils::getLogLevelFromString(c.text), c.level) << zv::string(c.text).getMBCS();
    EXPECT_EQ(logUtils::getStringFromLogLevel(zvlog::eUi), L"ui");
    EXPECT_EQ(logUtils::getStringFromLogLevel(static_cast<zvlog::logLevel>(7)), L"none");
    EXPECT_EQ(logUtils::getStringFromLogLevel(static_cast<zvlog::logLevel>(-1)), L"none");
}

TEST(logUtils, ScaleStringPadsOrCutsAtEitherEnd) {
    const struct {
        const wchar_t* text;
        unsigned width;
        bool keepEnd;
        const wchar_t* expected;
    } cases[] = {{L"abc", 3, false, L"abc"},    {L"ab", 5, true, L"ab   "}, {L"abcdef", 4, false, L"abcd"},
                 {L"abcdef", 4, true, L"cdef"}, {L"", 2, false, L"  "},     {L"abc", 0, true, L""}};
    for (const auto& c : cases)
        EXPECT_EQ(logUtils::scaleString(c.text, c.width, c.keepEnd), c.expected);
}

TEST(logUtils, DefaultFormatFitsEveryFieldToItsWidth) {
    const zv::string function(L"zv::someRatherLongNamespace::someClass::someLongFunctionName");
    const zv::string line = logUtils::getFormattedLogMessage(
        logUtils::defaultFormatSpecifier(), L"2026/12/07 10:00:00:00", L"42", L"1234567", L"info",
        L"src/zvThread.cpp", L"17", function, L"\\obj.txt", L"started");
    EXPECT_EQ(line, L"<2026/12/07 10:00:00:00   > [PID 42    ] [TID 123456] (info ) {src/zvThread.cpp"
                    L"                      , L 17   , " +
                        function.substr(function.size() - 50) + L"} - started \\obj.txt");
}

// Inserted values are never read as place holders or protections again.
TEST(logUtils, FormattingKeepsEveryValueAsGiven) {
    const struct {
        const wchar_t* format;
        const wchar_t* file;
        const wchar_t* message;
        const wchar_t* expected;
    } cases[] = {
        {L"%m", L"f", L"a [b] <c> %s $1 [m] [File]", L"a [b] <c> %s $1 [m] [File]"},
        {L"%m", L"f", L"_sbb_x_sbe_ _gts_ _sts_", L"_sbb_x_sbe_ _gts_ _sts_"},
        {L"%f|%m", L"[m]", L"msg", L"[m]                                   |msg"},
        {L"[%m] <%o> 100%% %x %", L"f", L"m", L"[m] <o> 100%% %x %"},
        {L"%o%o", L"f", L"m", L"oo"},
        {L"", L"f", L"m", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(logUtils::getFormattedLogMessage(c.format, L"s", L"p", L"t", L"l", c.file, L"r", L"c", L"o",
                                                   c.message),
                  c.expected)
            << zv::string(c.format).getMBCS();
}

TEST(logUtils, FunctionNameIsTakenFromTheSignature) {
    const struct {
        const char* signature;
        const wchar_t* expected;
    } cases[] = {
        {"void zv::thread::start(int)", L"zv::thread::start"},
        {"static zv::refPtr<zv::node> zv::node::create(const char*)", L"zv::node::create"},
        {"int main()", L"main"},
        {"zv::a::a()", L"zv::a::a"},
        {"T ns::f(T) [with T = std::pair<int, int>]", L"ns::f"},
        {"void ns::c<std::map<int, int> >::g(int) const", L"ns::c<std::map<int, int> >::g"},
        {"void __cdecl ns::c::operator()(int)", L"ns::c::operator()"},
        {"bool ns::operator<(const a&, const a&)", L"ns::operator<"},
        {"const char* ns::name()", L"ns::name"},
        {"noParameters", L"noParameters"},
        {"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(logUtils::functionName(c.signature), c.expected) << c.signature;
    EXPECT_EQ(logUtils::functionName(nullptr), L"");
}

TEST(logConfig, ReadsGlobalsRootAndClasses) {
    const std::string xml =
        "<?xml version=\"1.0\"?><logconfig>" + globals("%m", 5, 1000) +
        "<root level=\"info\" enabled=\"1\"/><classes>"
        "<zv::Thread enabled=\"true\" level=\"trace\"/><zv.undo enabled=\"yes\" level=\"debug\"/>"
        "<other level=\"ui\" enabled=\"TRUE\"/></classes></logconfig>";
    logConfig config;
    config.loadFromMemory(xml.data(), static_cast<unsigned>(xml.size()));
    EXPECT_EQ(config.maxFileCount, 5u);
    EXPECT_EQ(config.maxFileSize, 1000ul);
    EXPECT_EQ(config.format, L"%m");
    EXPECT_TRUE(config.rootEnabled);
    EXPECT_EQ(config.rootLevel, zvlog::eInfo);
    ASSERT_EQ(config.classes.size(), 3u);
    EXPECT_EQ(config.classes[0].id, L"zv.thread");
    EXPECT_TRUE(config.classes[0].enabled);
    EXPECT_EQ(config.classes[0].level, zvlog::eTrace);
    EXPECT_FALSE(config.classes[1].enabled); // only "true" and "1" enable
    EXPECT_TRUE(config.classes[2].enabled);
    EXPECT_TRUE(config.isActive());
}

TEST(logConfig, BadNumbersKeepTheDefaultsAndBadXmlChangesNothing) {
    for (const char* value : {"-1", "3x", "", "99999999999999999999999", " 4"}) {
        const std::string xml = std::string("<logconfig><globals maxfilecount=\"") + value +
                                "\" maxfilesize=\"" + value + "\"/></logconfig>";
        logConfig config;
        config.loadFromMemory(xml.data(), static_cast<unsigned>(xml.size()));
        EXPECT_EQ(config.maxFileCount, 3u) << value;
        EXPECT_EQ(config.maxFileSize, 2000000ul) << value;
    }
    logConfig config;
    config.rootLevel = zvlog::eDebug;
    const std::string broken = "<logconfig><root level=\"trace\"></logconfig";
    EXPECT_THROW(config.loadFromMemory(broken.data(), static_cast<unsigned>(broken.size())),
                 zv::unexpectedErrorException);
    EXPECT_EQ(config.rootLevel, zvlog::eDebug);
}

TEST(logConfig, ActiveOnlyWithEnabledRootAndSomeLevel) {
    const struct {
        bool rootEnabled;
        zvlog::logLevel rootLevel;
        bool classEnabled;
        zvlog::logLevel classLevel;
        bool active;
    } cases[] = {{true, zvlog::eInfo, false, zvlog::eNone, true},
                 {false, zvlog::eInfo, true, zvlog::eTrace, false},
                 {true, zvlog::eNone, true, zvlog::eDebug, true},
                 {true, zvlog::eNone, false, zvlog::eDebug, false},
                 {true, zvlog::eNone, true, zvlog::eNone, false}};
    for (const auto& c : cases) {
        logConfig config;
        config.rootEnabled = c.rootEnabled;
        config.rootLevel = c.rootLevel;
        config.setClass(L"a", c.classEnabled, c.classLevel);
        EXPECT_EQ(config.isActive(), c.active);
    }
}

TEST(logConfig, SavesInOneStepAndSkipsIdsThatAreNoElementNames) {
    zvtest::tempFolder tmp;
    logConfig config;
    config.maxFileCount = 7;
    config.format = L"<%s> \"%m\" & more";
    config.rootEnabled = true;
    config.rootLevel = zvlog::eDebug;
    for (const wchar_t* id : {L"zv::Thread", L"1abc", L"a b", L"x<y", L"ok_name-2"})
        config.setClass(id, true, zvlog::eTrace);
    const zv::file target(tmp.dir(), L"sub\\app.logcfg");
    config.save(target);

    logConfig back;
    ASSERT_TRUE(back.load(target));
    EXPECT_EQ(back.maxFileCount, 7u);
    EXPECT_EQ(back.format, config.format);
    EXPECT_EQ(back.rootLevel, zvlog::eDebug);
    std::vector<std::wstring> ids;
    for (const auto& e : back.classes)
        ids.push_back(e.id);
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"zv.thread", L"ok_name-2"}));
    // Nothing but the file itself is left in its folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.host() / "sub"),
                            std::filesystem::directory_iterator()),
              1);

    // A write-protected file is made writable and replaced.
    ASSERT_TRUE(target.allowWrite(false));
    config.maxFileCount = 9;
    config.save(target);
    ASSERT_TRUE(back.load(target));
    EXPECT_EQ(back.maxFileCount, 9u);
    EXPECT_FALSE(back.load(zv::file(tmp.dir(), L"missing.logcfg")));
    EXPECT_EQ(back.maxFileCount, 3u);
}

TEST_F(logFixture, InactiveWithoutConfigurationHandsOutTheSilentFallback) {
    logManager::getInstance().reloadConfig();
    EXPECT_FALSE(logManager::isActive());
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("zv::thread::start");
    ASSERT_TRUE(l);
    EXPECT_EQ(l->id(), L"");
    EXPECT_FALSE(l->isLoggingAllowed(zvlog::eUi));
    l->log_ui(L"never", __FILE__, __LINE__, "f");
    EXPECT_FALSE(processFolder().exists());
}

TEST_F(logFixture, LookUpFindsTheMostSpecificEnabledLogger) {
    configure("<logconfig><root level=\"ui\" enabled=\"true\"/><classes>"
              "<zv.thread enabled=\"true\" level=\"debug\"/>"
              "<zv.thread.stop enabled=\"false\" level=\"trace\"/>"
              "<zv enabled=\"1\" level=\"info\"/>"
              "<zv.undo.manager enabled=\"true\" level=\"trace\"/></classes></logconfig>");
    ASSERT_TRUE(logManager::isActive());
    const struct {
        const char* name;
        const wchar_t* id;
    } cases[] = {{"zv::thread::start", L"zv.thread"},
                 {"ZV::Thread", L"zv.thread"},
                 {"zv.thread.stop", L"zv.thread"},
                 {"zv::undo", L"zv"},
                 {"zv::undo::manager::x", L"zv.undo.manager"},
                 {"other::thing", L"root"},
                 {"root", L"root"},
                 {"", L"root"},
                 {"zvx", L"root"}};
    for (const auto& c : cases)
        EXPECT_EQ(logManager::getLogger(c.name)->id(), c.id) << c.name;
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
    EXPECT_EQ(outputLines(), (std::vector<std::string>{"info  i", "ui    u"}));

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

TEST_F(logFixture, LinesHoldMessagesFilesAndFunctionsExactly) {
    configure("<logconfig>" + globals("%m|%f|%c|%r") +
              "<root level=\"trace\" enabled=\"true\"/></logconfig>");
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
    const std::wstring longName(60, L'n');
    l->log_info(L"[m] <b> _sbb_ %s $1 \u00e9\u20ac", zv::string(L"[File].cpp"), -5,
                zv::string(longName + L"::end"));
    ZVLOG_INFO(l, L"from the macro");
    const std::vector<std::string> lines = outputLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[m] <b> _sbb_ %s $1 \xC3\xA9\xE2\x82\xAC|[File].cpp                            |" +
                            std::string(45, 'n') + "::end|-5   ");
    EXPECT_NE(lines[1].find("from the macro|"), std::string::npos);
    EXPECT_NE(lines[1].find("zvLogTest.cpp "), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("Exactly_Test::TestBody|"), std::string::npos) << lines[1];
}

TEST_F(logFixture, RotationReusesTheFirstFileAfterTheLast) {
    // Each line is 10 bytes plus the line end; a file is full above 25 bytes,
    // so every file takes three lines.
    configure("<logconfig>" + globals("%m", 3, 25) + "<root level=\"trace\" enabled=\"true\"/></logconfig>");
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
    for (int i = 0; i < 12; ++i)
        l->log_info(zv::string::sformat(L"line %05d", i), "f", 1, "f");
    const auto file = [this](unsigned n) { return logUtils::outputPath(n, m_module); };
    EXPECT_EQ(readLines(file(1)), (std::vector<std::string>{"line 00009", "line 00010", "line 00011"}));
    EXPECT_EQ(readLines(file(2)), (std::vector<std::string>{"line 00003", "line 00004", "line 00005"}));
    EXPECT_EQ(readLines(file(3)), (std::vector<std::string>{"line 00006", "line 00007", "line 00008"}));
    EXPECT_FALSE(file(4).exists());
    EXPECT_EQ(logSettings::getInstance().outputFileIndex(), 1u);
}

TEST_F(logFixture, FilesRemovedOrRenamedByHandAreWrittenAgainByName) {
    configure("<logconfig>" + globals("%m") + "<root level=\"trace\" enabled=\"true\"/></logconfig>");
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
    l->log_info(L"first", "f", 1, "f");
    const zv::file out = logSettings::getInstance().outputFile();
    const std::filesystem::path host = hostOf(out);
    std::filesystem::rename(host, host.string() + ".old");
    l->log_info(L"second", "f", 1, "f");
    EXPECT_EQ(readLines(out), (std::vector<std::string>{"second"}));
    std::error_code ec;
    std::filesystem::remove_all(host.parent_path(), ec);
    l->log_info(L"third", "f", 1, "f");
    EXPECT_EQ(readLines(out), (std::vector<std::string>{"third"}));
}

TEST_F(logFixture, StartFileIsTheNewestOfTheNumberedFiles) {
    configure("<logconfig>" + globals("%m", 4) + "<root level=\"trace\" enabled=\"true\"/></logconfig>");
    const long long base = 1700000000;
    // Modification times (0: missing) of files 1 to 4, and the file chosen.
    const struct {
        long long times[4];
        unsigned expected;
    } cases[] = {{{0, 0, 0, 0}, 1},
                 {{base, base + 5, base + 1, 0}, 2},
                 {{base, base, base, base}, 4},
                 {{0, base, base + 9, 0}, 1},
                 {{base + 9, base, base + 5, 0}, 1},
                 {{base, 0, base + 5, 0}, 3},
                 {{base, base + 1, base + 2, base + 3}, 4}};
    for (const auto& c : cases) {
        std::filesystem::remove_all(hostOf(processFolder()));
        for (unsigned n = 1; n <= 4; ++n) {
            if (c.times[n - 1] == 0)
                continue;
            const zv::file f = logUtils::outputPath(n, m_module);
            writeText(f, "x\n");
            ASSERT_TRUE(f.setLastModificationTime(c.times[n - 1]));
        }
        logSettings::getInstance().initOutputFile();
        EXPECT_EQ(logSettings::getInstance().outputFileIndex(), c.expected)
            << c.times[0] << " " << c.times[1];
    }
}

TEST_F(logFixture, ClearingRemovesOnlyFoldersOfEndedProcesses) {
    const zv::directory app = logUtils::logAppDir(m_module);
    const std::filesystem::path host = hostOf(app);
    unsigned long dead = 4000000;
    while (zv::processIsRunning(dead))
        ++dead;
    const std::string self = std::to_string(zv::getCurrentProcessId());
    for (const std::string& name : {std::to_string(dead), self, std::string("backup"), std::string("0"),
                                    std::string("12abc"), std::string("99999999999")}) {
        std::filesystem::create_directories(host / name / "inner");
        std::ofstream(host / name / "inner" / "a.log") << "x";
    }
    // A link inside a dead process's folder: what it leads to stays.
    zvtest::tempFolder outside;
    std::ofstream(outside.host() / "keep.txt") << "x";
    std::error_code ec;
    std::filesystem::create_directory_symlink(outside.host(), host / std::to_string(dead) / "link", ec);

    logSettings::getInstance().clearLogFolder(m_module);
    EXPECT_FALSE(std::filesystem::exists(host / std::to_string(dead)));
    for (const char* kept : {"backup", "0", "12abc", "99999999999"})
        EXPECT_TRUE(std::filesystem::exists(host / kept / "inner" / "a.log")) << kept;
    EXPECT_TRUE(std::filesystem::exists(host / self / "inner" / "a.log"));
    EXPECT_TRUE(std::filesystem::exists(outside.host() / "keep.txt"));
}

TEST_F(logFixture, LogObjectIsWrittenNextToTheLog) {
    configure("<logconfig>" + globals("%m %o") + "<root level=\"trace\" enabled=\"true\"/></logconfig>");
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
    l->log_info(L"text", "f", 1, "f", zvlog::logStringToTxt::create(L"objs/a.txt", L"content \u00e9"));
    l->log_info(L"abs", "f", 1, "f", zvlog::logStringToTxt::create(L"\\b.txt", L"b"));
    l->log_info(L"escape", "f", 1, "f", zvlog::logStringToTxt::create(L"..\\..\\escaped.txt", L"no"));
    EXPECT_EQ(outputLines(),
              (std::vector<std::string>{"text \\objs/a.txt", "abs \\b.txt", "escape \\..\\..\\escaped.txt"}));
    EXPECT_EQ(zvtest::readAll(hostOf(zv::file(processFolder(), L"objs\\a.txt"))), "content \xC3\xA9");
    EXPECT_TRUE(zv::file(processFolder(), L"b.txt").exists());
    EXPECT_FALSE(zv::file(logUtils::logAppDirPath(m_module), L"..\\escaped.txt").exists());
}

namespace {
// Writes the object's content and logs a line of its own while doing so.
class contentWriter : public zv::refObj, public zv::observer {
public:
    EV_DECLARE_MSGMAP();
    void onWrite(zv::iRefObj* source, const wchar_t*, zv::iEventParams*) {
        auto* obj = dynamic_cast<zvlog::logObj*>(source);
        ASSERT_NE(obj, nullptr);
        ASSERT_NE(obj->currentTarget(), nullptr);
        writeText(*obj->currentTarget(), "observed");
        std::thread other([] { logManager::getLogger("x")->log_info(L"observer", "f", 1, "f"); });
        other.join();
    }
};
EV_BEGIN_MSGMAP(contentWriter, zv::observer)
EV_ON_EVENT(zvlog::logObjWriteEvent, onWrite)
EV_END_MSGMAP()
} // namespace

// The observers run before the logger's lock is taken: another thread may
// log through the same logger meanwhile.
TEST_F(logFixture, LogObjectObserversMayLogFromAnyThread) {
    configure("<logconfig>" + globals("%m") + "<root level=\"trace\" enabled=\"true\"/></logconfig>");
    zv::refPtr<zvlog::logObj> obj = zvlog::logObj::create(L"o.txt");
    zv::refPtr<contentWriter> writer = zv::createRefObj<contentWriter>();
    obj->addObserver(writer.get());
    logManager::getLogger("x")->log_info(L"main", "f", 1, "f", obj);
    obj->removeAllObservers();
    EXPECT_EQ(outputLines(), (std::vector<std::string>{"observer", "main"}));
    EXPECT_EQ(zvtest::readAll(hostOf(zv::file(processFolder(), L"o.txt"))), "observed");
}

TEST_F(logFixture, SaveConfigWritesWhatTheManagerHolds) {
    configure("<logconfig>" + globals("%m", 4) + "<root level=\"debug\" enabled=\"1\"/></logconfig>");
    logManager& manager = logManager::getInstance();
    zvlog::logClassMap classes;
    classes[L"Zv::Thread"] = zvlog::logger::create(L"zv.thread", true, zvlog::eTrace);
    classes[L"bad name"] = zvlog::logger::create(L"bad name", true, zvlog::eTrace);
    manager.setLogClasses(classes);
    EXPECT_EQ(manager.getLogClasses().count(L"zv.thread"), 1u);
    manager.saveConfig();
    logConfig saved;
    ASSERT_TRUE(saved.load(manager.configFile()));
    EXPECT_EQ(saved.maxFileCount, 4u);
    EXPECT_EQ(saved.rootLevel, zvlog::eDebug);
    ASSERT_EQ(saved.classes.size(), 1u);
    EXPECT_EQ(saved.classes[0].id, L"zv.thread");

    // Reading again keeps loggers handed out and disables those dropped.
    const zv::refPtr<zvlog::logger> held = logManager::getLogger("zv::thread");
    EXPECT_EQ(held->id(), L"zv.thread");
    configure(
        "<logconfig><root level=\"debug\" enabled=\"1\"/><classes><zv.thread enabled=\"1\" level=\"ui\"/>"
        "</classes></logconfig>");
    EXPECT_EQ(held->level(), zvlog::eUi);
    EXPECT_EQ(logManager::getLogger("zv::thread").get(), held.get());
    configure("<logconfig><root level=\"debug\" enabled=\"1\"/></logconfig>");
    EXPECT_FALSE(held->isEnabled());
}

TEST_F(logFixture, ConcurrentLoggersWriteWholeLinesAndLoseNone) {
    // Four loggers with their own locks share the files; rotation keeps
    // every file near its limit and the count large enough to keep all.
    configure("<logconfig>" + globals("<%t> %m", 40, 8000) +
              "<root level=\"trace\" enabled=\"true\"/><classes><a enabled=\"1\" level=\"trace\"/>"
              "<b enabled=\"1\" level=\"trace\"/><c enabled=\"1\" level=\"trace\"/><d enabled=\"1\" "
              "level=\"trace\"/>"
              "</classes></logconfig>");
    constexpr int perThread = 2000;
    std::vector<std::thread> threads;
    for (const char* name : {"a", "b", "c", "d"}) {
        threads.emplace_back([name] {
            const zv::refPtr<zvlog::logger> l = logManager::getLogger(name);
            for (int i = 0; i < perThread; ++i)
                l->log_info(zv::string::sformat(L"%S-%05d end", name, i), "f", 1, "f");
        });
    }
    for (std::thread& t : threads)
        t.join();
    std::set<std::string> seen;
    std::size_t total = 0;
    for (unsigned n = 1; n <= 40; ++n) {
        const zv::file f = logUtils::outputPath(n, m_module);
        if (!f.exists())
            continue;
        EXPECT_LE(f.size(), 8000ul + 40) << n;
        for (const std::string& line : readLines(f)) {
            ++total;
            const std::size_t gap = line.find("> ");
            ASSERT_NE(gap, std::string::npos) << line;
            const std::string message = line.substr(gap + 2);
            EXPECT_EQ(message.size(), 11u) << line;
            EXPECT_EQ(message.substr(message.size() - 4), " end") << line;
            seen.insert(message);
        }
    }
    EXPECT_EQ(total, 4u * perThread);
    EXPECT_EQ(seen.size(), 4u * perThread);
}

#include "zvTimeStamp.h"

namespace {

// Moves `from` to `to` by hand; the new place, whose lines are checked.
std::filesystem::path moved(const std::filesystem::path& from, const std::string& suffix) {
    const std::filesystem::path to = from.string() + suffix;
    std::filesystem::rename(from, to);
    return to;
}

std::vector<std::string> linesAt(const std::filesystem::path& host) {
    return readLines(zv::file(zv::fsEntryName::fromHostPath(host.wstring())));
}

} // namespace

TEST_F(logFixture, EveryLineReachesTheNamedFileWhateverWasDoneToItsPath) {
    using path = std::filesystem::path;
    // What is done by hand to the open file at `f`, the lines then found at
    // its name, and where the line written before went (what `act` returns;
    // empty: nowhere left to look).
    const struct {
        const char* what;
        std::vector<std::string> afterwards; // at the file's name
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
        {"folder above renamed",
         {"after"},
         [](const path& f) {
             return moved(f.parent_path().parent_path(), ".old") / f.parent_path().filename() / f.filename();
         }},
        {"folder removed",
         {"after"},
         [](const path& f) { return std::filesystem::remove_all(f.parent_path()), path(); }},
        {"second name added",
         {"before", "after"},
         [](const path& f) { return std::filesystem::create_hard_link(f, f.string() + ".2"), path(); }},
        {"second name added, first removed",
         {"after"},
         [](const path& f) {
             std::filesystem::create_hard_link(f, f.string() + ".2");
             std::filesystem::remove(f);
             return path(f.string() + ".2");
         }},
        {"modification time set",
         {"before", "after"},
         [](const path& f) {
             std::filesystem::last_write_time(f, std::filesystem::file_time_type::clock::now() -
                                                     std::chrono::hours(1));
             return path();
         }},
    };
    for (const auto& c : cases) {
        const zvtest::tempFolder root;
        logUtils::overwriteLogRootDir(root.dir());
        configure("<logconfig>" + globals("%m") + "<root level=\"trace\" enabled=\"true\"/></logconfig>");
        const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
        l->log_info(L"before", "f", 1, "f");
        const zv::file out = logSettings::getInstance().outputFile();
        const path old = c.act(hostOf(out));
        l->log_info(L"after", "f", 1, "f");
        EXPECT_EQ(readLines(out), c.afterwards) << c.what;
        if (!old.empty()) {
            EXPECT_EQ(linesAt(old), std::vector<std::string>{"before"}) << c.what;
        }
    }
}

TEST_F(logFixture, LinesFollowALinkedFolderOnTheWayToTheFile) {
    const zvtest::tempFolder first, second;
    const std::filesystem::path link = m_tmp.host() / "link";
    std::error_code ec;
    std::filesystem::create_directory_symlink(first.host(), link, ec);
    if (ec)
        GTEST_SKIP() << "no symbolic links here: " << ec.message();
    logUtils::overwriteLogRootDir(zv::directory(zv::fsEntryName::fromHostPath(link.wstring(), true)));
    configure("<logconfig>" + globals("%m") + "<root level=\"trace\" enabled=\"true\"/></logconfig>");
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
    l->log_info(L"before", "f", 1, "f");
    const std::filesystem::path inside =
        std::filesystem::relative(hostOf(logSettings::getInstance().outputFile()), link);
    ASSERT_FALSE(inside.empty());
    // The link now leads elsewhere: so does the next line.
    std::filesystem::remove(link);
    std::filesystem::create_directory_symlink(second.host(), link);
    l->log_info(L"after", "f", 1, "f");
    EXPECT_EQ(linesAt(first.host() / inside), std::vector<std::string>{"before"});
    EXPECT_EQ(linesAt(second.host() / inside), std::vector<std::string>{"after"});
}

// The numbers of a written line, and text encoded as a whole line would be:
// a surrogate pair that a field boundary splits is still one character.
TEST_F(logFixture, LinesShowTheirNumbersAndEncodeAcrossFields) {
    configure("<logconfig>" + globals("%s|%p|%t|%l|%r|%f%c") +
              "<root level=\"trace\" enabled=\"true\"/></logconfig>");
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
    const std::wstring longFile(37, L'f');
    const bool narrow = sizeof(wchar_t) == 2; // pairs exist only there
    const std::string smiley = narrow ? "\xF0\x9F\x98\x80" : "\xEF\xBF\xBD\xEF\xBF\xBD";
    const struct {
        long line;
        std::wstring file, function;
        std::string tail; // after the thread id
    } cases[] = {
        {0, L"a", L"b", "|info |0    |a" + std::string(37, ' ') + "b" + std::string(49, ' ')},
        {-12, L"", L"", "|info |-12  |" + std::string(88, ' ')},
        {1234567, L"", L"", "|info |12345|" + std::string(88, ' ')},
        {7, longFile + L"\xD83D", L"\xDE00",
         "|info |7    |" + std::string(37, 'f') + smiley + std::string(49, ' ')},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(hostOf(logSettings::getInstance().outputFile()));
        const std::string before = zv::timestamp::now().toString().getMBCS();
        l->log_info(L"m", zv::string(c.file), c.line, zv::string(c.function));
        const std::string after = zv::timestamp::now().toString().getMBCS();
        const std::vector<std::string> lines = outputLines();
        ASSERT_EQ(lines.size(), 1u) << c.line;
        const std::string& text = lines[0];
        // "yyyy/mm/dd hh:mm:ss:" and the milliseconds, padded to 25.
        EXPECT_LE(before.substr(0, 20), text.substr(0, 20)) << text;
        EXPECT_LE(text.substr(0, 20), after.substr(0, 20)) << text;
        const std::string ms = text.substr(20, text.find(' ', 20) - 20);
        EXPECT_TRUE(ms.size() >= 2 && ms.size() <= 3 &&
                    ms.find_first_not_of("0123456789") == std::string::npos)
            << text;
        const auto six = [](unsigned long id) {
            const std::string digits = std::to_string(id);
            return digits.size() >= 6 ? digits.substr(0, 6) : digits + std::string(6 - digits.size(), ' ');
        };
        EXPECT_EQ(text.substr(25),
                  "|" + six(zv::getCurrentProcessId()) + "|" + six(zv::getCurrentThreadId()) + c.tail);
    }
}

TEST_F(logFixture, LinkPutAtTheNameIsFollowedWhereverItLeads) {
    configure("<logconfig>" + globals("%m") + "<root level=\"trace\" enabled=\"true\"/></logconfig>");
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
    l->log_info(L"before", "f", 1, "f");
    const zv::file out = logSettings::getInstance().outputFile();
    const std::filesystem::path name = hostOf(out);
    const std::filesystem::path first = moved(name, ".a"), second = name.string() + ".b";
    std::error_code ec;
    std::filesystem::create_symlink(first, name, ec);
    if (ec)
        GTEST_SKIP() << "no symbolic links here: " << ec.message();
    l->log_info(L"middle", "f", 1, "f");
    std::ofstream(second, std::ios::binary) << "other\n";
    std::filesystem::remove(name);
    std::filesystem::create_symlink(second, name);
    l->log_info(L"after", "f", 1, "f");
    EXPECT_EQ(linesAt(first), (std::vector<std::string>{"before", "middle"}));
    // What the link leads to goes away: the next line is written through it.
    const std::filesystem::path third = moved(second, ".c");
    l->log_info(L"last", "f", 1, "f");
    EXPECT_EQ(linesAt(third), (std::vector<std::string>{"other", "after"}));
    EXPECT_EQ(linesAt(second), std::vector<std::string>{"last"});
}

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

TEST_F(logFixture, ForkedChildLeavesTheParentToNoticeChangesByHand) {
    configure("<logconfig>" + globals("%m") + "<root level=\"trace\" enabled=\"true\"/></logconfig>");
    const zv::refPtr<zvlog::logger> l = logManager::getLogger("x");
    l->log_info(L"first", "f", 1, "f");
    const zv::file out = logSettings::getInstance().outputFile();
    const pid_t child = ::fork();
    if (child == 0) {
        // The file goes away, and the child, sharing the parent's open file,
        // writes the next line.
        moved(hostOf(out), ".old");
        l->log_info(L"child", "f", 1, "f");
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    l->log_info(L"parent", "f", 1, "f");
    EXPECT_EQ(readLines(out), (std::vector<std::string>{"child", "parent"}));
    EXPECT_EQ(linesAt(hostOf(out).string() + ".old"), std::vector<std::string>{"first"});
}
#endif
