#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using zvclitest::cliResult;
using zvclitest::run;

// The log commands of a module "app" under a folder of the test's own.
class cliLog : public ::testing::Test {
protected:
    cliResult log(std::vector<std::string> args) {
        args.insert(args.begin(), "log");
        args.push_back("--log-root");
        args.push_back(m_tmp.path().string());
        return run(args);
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
    EXPECT_EQ(shown.rc, 0);
    for (const char* expected : {"maxfilecount 4\n", "maxfilesize  1000\n", "root         info enabled\n",
                                 "active       yes\n", "class        zv.thread debug enabled\n",
                                 "class        zv.undo none disabled\n"})
        EXPECT_NE(shown.out.find(expected), std::string::npos) << expected << shown.out;
    // Saved in one step: nothing but the file in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(app()), std::filesystem::directory_iterator()), 1);
}

TEST_F(cliLog, BadArgumentsAndFilesAreRefusedWithoutWriting) {
    const struct {
        std::vector<std::string> args;
        int rc;
    } cases[] = {
        {{"set", "--root", "info"}, 2},
        {{"set", "--module", "app", "--root", "loud"}, 2},
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
    for (const auto& c : cases)
        EXPECT_EQ(log(c.args).rc, c.rc) << c.args[0] << " " << (c.args.size() > 2 ? c.args[2] : "");
    EXPECT_FALSE(std::filesystem::exists(app() / "app.logcfg"));

    std::filesystem::create_directories(app());
    std::ofstream(app() / "app.logcfg") << "<logconfig><root";
    EXPECT_EQ(log({"config", "--module", "app"}).rc, 1);
    EXPECT_EQ(log({"set", "--module", "app", "--enable"}).rc, 1);
    EXPECT_EQ(zvclitest::readAll(app() / "app.logcfg"), "<logconfig><root");
}

TEST_F(cliLog, LsAndTailReadTheProcessFoldersAndClearNothing) {
    std::filesystem::create_directories(app() / "999999");
    std::filesystem::create_directories(app() / "backup");
    std::ofstream(app() / "999999" / "app_1.log", std::ios::binary) << "one\ntwo\nthree\n";
    std::ofstream(app() / "999999" / "app_2.log", std::ios::binary) << "old\n";
    std::filesystem::last_write_time(app() / "999999" / "app_2.log",
                                     std::filesystem::last_write_time(app() / "999999" / "app_1.log") -
                                         std::chrono::hours(1));

    const cliResult ls = log({"ls", "--module", "app"});
    EXPECT_EQ(ls.rc, 0);
    EXPECT_EQ(ls.out, "999999 ended\n  14 app_1.log\n  4 app_2.log\n");
    const struct {
        std::vector<std::string> args;
        std::string out;
    } tails[] = {{{"tail", "--module", "app", "-n", "2"}, "two\nthree\n"},
                 {{"tail", "--module", "app", "--pid", "999999"}, "one\ntwo\nthree\n"},
                 {{"tail", "--module", "app", "-n", "0"}, ""}};
    for (const auto& t : tails)
        EXPECT_EQ(log(t.args).out, t.out);
    EXPECT_EQ(log({"tail", "--module", "app", "--pid", "5"}).rc, 1);
    EXPECT_TRUE(std::filesystem::exists(app() / "999999" / "app_1.log"));
    EXPECT_TRUE(std::filesystem::exists(app() / "backup"));
}

} // namespace
