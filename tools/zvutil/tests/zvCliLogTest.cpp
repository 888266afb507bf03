#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using zvclitest::cliResult;

// The log commands of a module "app" under a folder of the test's own.
class cliLog : public ::testing::Test {
protected:
    cliResult log(std::vector<std::string> args) {
        args.insert(args.begin(), "log");
        args.insert(args.end(), {"--log-root", m_tmp.path().string()});
        return zvclitest::run(args);
    }
    std::filesystem::path app() const { return m_tmp.path() / "KARVENTIS" / "app"; }
    zvclitest::tempFolder m_tmp;
};

TEST_F(cliLog, SetSavesWhatConfigThenShows) {
    const cliResult missing = log({"config", "--module", "app"});
    EXPECT_EQ(missing.rc, 0);
    EXPECT_NE(missing.out.find("(missing: defaults)"), std::string::npos);
    EXPECT_NE(missing.out.find("active       no\n"), std::string::npos);

    EXPECT_EQ(log({"set", "--module", "app", "--root", "INFO", "--enable", "--class", "zv::Thread=trace",
                   "--class", "zv.undo=none", "--max-files", "4", "--max-size", "1000"})
                  .rc,
              0);
    EXPECT_EQ(log({"set", "--module", "app", "--class", "zv.thread=debug"}).rc, 0);
    const cliResult shown = log({"config", "--module", "app"});
    for (const char* expected :
         {"maxfilecount 4\n", "maxfilesize  1000\n", "root         info enabled\n", "active       yes\n",
          "class        zv.thread debug enabled\n", "class        zv.undo none disabled\n"})
        EXPECT_NE(shown.out.find(expected), std::string::npos) << expected << shown.out;
    // Saved in one step: nothing but the file in the folder.
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(app()), std::filesystem::directory_iterator()), 1);
}

TEST_F(cliLog, BadArgumentsAndFilesAreRefusedWithoutWriting) {
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"set", "--root", "info"}, 2},
        {{"set", "--module", "app", "--class", "1x=info"}, 2},
        {{"set", "--module", "app", "--class", "zv"}, 2},
        {{"set", "--module", "app", "--max-files", "0"}, 2},
        {{"set", "--module", "app", "--max-size", "-1"}, 2},
        {{"set", "--module", "app", "--bogus"}, 2},
        {{"ls"}, 2},
        {{"ls", "--module", "app"}, 1},
        {{"tail", "--module", "app", "-n", "x"}, 2},
        {{"tail", "--module", "app"}, 1},
        {{"frob"}, 2},
    };
    for (const auto& [args, rc] : cases)
        EXPECT_EQ(log(args).rc, rc) << args[0] << " " << (args.size() > 2 ? args[2] : "");
    EXPECT_FALSE(std::filesystem::exists(app() / "app.logcfg"));

    std::filesystem::create_directories(app());
    std::ofstream(app() / "app.logcfg") << "<logconfig><root";
    EXPECT_EQ(log({"config", "--module", "app"}).rc, 1);
    EXPECT_EQ(log({"set", "--module", "app", "--enable"}).rc, 1);
    EXPECT_EQ(zvclitest::readAll(app() / "app.logcfg"), "<logconfig><root");
}

TEST_F(cliLog, LsAndTailReadTheNewestFileOfAProcess) {
    const std::filesystem::path dir = app() / "999999";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "app_1.log", std::ios::binary) << "one\ntwo\nthree\n";
    std::ofstream(dir / "app_2.log", std::ios::binary) << "old\n";
    std::filesystem::last_write_time(dir / "app_2.log", std::filesystem::last_write_time(dir / "app_1.log") -
                                                            std::chrono::hours(1));
    EXPECT_EQ(log({"ls", "--module", "app"}).out, "999999 ended\n  14 app_1.log\n  4 app_2.log\n");
    const std::pair<std::vector<std::string>, std::string> tails[] = {
        {{"tail", "--module", "app", "-n", "2"}, "two\nthree\n"},
        {{"tail", "--module", "app", "--pid", "999999"}, "one\ntwo\nthree\n"},
        {{"tail", "--module", "app", "-n", "0"}, ""}};
    for (const auto& [args, out] : tails)
        EXPECT_EQ(log(args).out, out);
}

} // namespace
