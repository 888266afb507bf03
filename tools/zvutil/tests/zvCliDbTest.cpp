#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zvclitest::cliResult;
using zvclitest::run;
using zvclitest::tempFolder;

const char* const kDb =
    "<?xml version=\"1.0\"?><zvDatabase version='2'><Tool_table>"
    "<Tool id='11111111-1111-1111-1111-111111111111'><name>a&amp;b</name>"
    "<holder type='Holder'>22222222-2222-2222-2222-222222222222</holder>"
    "<tip type='Point'><xy>1,2</xy></tip><Property name='a key'>2.5</Property>"
    "<none type='Holder'>0</none></Tool></Tool_table>"
    "<holder_TABLE><Holder id='22222222-2222-2222-2222-222222222222'>"
    "<tool type='Tool'>11111111-1111-1111-1111-111111111111</tool></Holder></holder_TABLE>"
    "</zvDatabase>";

TEST(cliDb, TablesAndDump) {
    tempFolder tmp;
    const std::string db = tmp.write("db.zvdb", kDb).string();
    struct dumpCase {
        std::vector<std::string> args;
        int rc;
        std::string out;
    };
    const std::string tool = "Tool{11111111-1111-1111-1111-111111111111}\n"
                             "  name = a&b\n"
                             "  holder -> Holder{22222222-2222-2222-2222-222222222222}\n"
                             "  tip (Point)\n"
                             "    xy = 1,2\n"
                             "  \"a key\" = 2.5\n"
                             "  none -> null\n";
    const std::string holder = "holder{22222222-2222-2222-2222-222222222222}\n"
                               "  tool -> Tool{11111111-1111-1111-1111-111111111111}\n";
    const std::vector<dumpCase> cases = {
        {{"db", "tables", db}, 0, "Tool 1\nholder 1\n"},
        {{"db", "dump", db}, 0, tool + holder},
        {{"db", "dump", db, "--class", "HOLDER"}, 0, holder},
        {{"db", "dump", db, "--id", "11111111-1111-1111-1111-111111111111"}, 0, tool},
        {{"db", "dump", db, "--class", "Box"}, 1, ""},
        {{"db", "dump"}, 2, ""},
        {{"db", "tables", (tmp.path() / "none.zvdb").string()}, 1, ""},
        {{"db", "frobnicate", db}, 2, ""},
    };
    for (const dumpCase& c : cases) {
        SCOPED_TRACE(c.args[1] + (c.args.size() > 3 ? " " + c.args[3] : std::string()));
        const cliResult r = run(c.args);
        EXPECT_EQ(r.rc, c.rc) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(cliDb, CheckReportsEachFinding) {
    tempFolder tmp;
    struct checkCase {
        const char* what;
        std::string xml;
        std::vector<std::string> findings; // empty: ok
    };
    const std::vector<checkCase> cases = {
        {"sound", kDb, {}},
        {"dangling",
         "<zvDatabase><A_table><A id='11111111-1111-1111-1111-111111111111'><r type='B'>"
         "22222222-2222-2222-2222-222222222222</r></A></A_table></zvDatabase>",
         {"dangling reference A{11111111-1111-1111-1111-111111111111} r -> "
          "B{22222222-2222-2222-2222-222222222222}"}},
        {"duplicate",
         "<zvDatabase><A_table><A id='11111111-1111-1111-1111-111111111111'/>"
         "<A id='11111111-1111-1111-1111-111111111111'/></A_table></zvDatabase>",
         {"duplicate id 11111111-1111-1111-1111-111111111111 in A"}},
        {"version", "<zvDatabase version='7'/>", {"unknown version '7'"}},
        {"not a database", "<other/>", {"not an object database (root 'other')"}},
        {"broken", "<zvDatabase><a></zvDatabase>", {"*invalid XML"}},
        {"version 1",
         "<zvDatabase version='1'><A_table><A1><r type='A'>2</r></A1><a2><r type='a'>1</r></a2>"
         "<A3><r type='A'>4</r></A3></A_table></zvDatabase>",
         {"dangling reference A{3} r -> A{4}"}},
    };
    for (const checkCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = tmp.write("db.zvdb", c.xml).string();
        const cliResult r = run({"db", "check", file});
        EXPECT_EQ(r.rc, c.findings.empty() ? 0 : 1) << r.out << r.err;
        if (c.findings.empty()) {
            EXPECT_EQ(r.out.rfind(file + ": ok", 0), 0u) << r.out;
            continue;
        }
        std::string want;
        for (const std::string& f : c.findings)
            want += file + ": " + f + "\n";
        if (c.findings[0][0] == '*')
            EXPECT_NE(r.out.find(c.findings[0].substr(1)), std::string::npos) << r.out;
        else
            EXPECT_EQ(r.out, want);
    }
}

} // namespace
