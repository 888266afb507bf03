#include "zvCliTestSupport.h"

using namespace zvclitest;

// The log commands of a module "app" under a folder of the test's own; the plain
// forms of set, config, ls and tail are in the end-to-end script.
TEST(cliLog, SetSavesWhatConfigShowsAndLsAndTailReadTheNewestFile) {
    tempFolder tmp;
    const auto log = [&](const args& a) {
        return run(joined(joined({"log"}, a), {"--log-root", tmp.path().string()}));
    };
    const fs::path app = tmp.path() / "KARVENTIS" / "app", dir = app / "999999";
    const std::string missing = log({"config", "--module", "app"}).out;
    EXPECT_NE(missing.find("(missing: defaults)"), std::string::npos);
    EXPECT_NE(missing.find("active       no\n"), std::string::npos);

    // Bad arguments are refused without writing.
    const std::pair<args, int> bad[] = {
        {{"set", "--root", "info"}, 2},
        {{"set", "--module", "app", "--class", "1x=info"}, 2},
        {{"set", "--module", "app", "--class", "zv"}, 2},
        {{"set", "--module", "app", "--max-files", "0"}, 2},
        {{"set", "--module", "app", "--max-size", "-1"}, 2},
        {{"ls", "--module", "app"}, 1},
        {{"tail", "--module", "app", "-n", "x"}, 2},
    };
    for (const auto& [a, rc] : bad)
        EXPECT_EQ(log(a).rc, rc) << testing::PrintToString(a);
    EXPECT_FALSE(fs::exists(app / "app.logcfg"));

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
    EXPECT_EQ(std::distance(fs::directory_iterator(app), fs::directory_iterator()), 1);

    fs::create_directories(dir);
    std::ofstream(dir / "app_1.log", std::ios::binary) << "one\ntwo\nthree\n";
    std::ofstream(dir / "app_2.log", std::ios::binary) << "old\n";
    fs::last_write_time(dir / "app_2.log", fs::last_write_time(dir / "app_1.log") - std::chrono::hours(1));
    EXPECT_EQ(log({"ls", "--module", "app"}).out, "999999 ended\n  14 app_1.log\n  4 app_2.log\n");
    EXPECT_EQ(log({"tail", "--module", "app", "-n", "2"}).out, "two\nthree\n");
    EXPECT_EQ(log({"tail", "--module", "app", "-n", "0"}).out, "");

    // A damaged file is neither read nor written over.
    std::ofstream(app / "app.logcfg") << "<logconfig><root";
    EXPECT_EQ(log({"config", "--module", "app"}).rc, 1);
    EXPECT_EQ(log({"set", "--module", "app", "--enable"}).rc, 1);
    EXPECT_EQ(readAll(app / "app.logcfg"), "<logconfig><root");
}
