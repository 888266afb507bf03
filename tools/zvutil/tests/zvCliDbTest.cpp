#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zvclitest::cliResult;
using zvclitest::run;
using zvclitest::tempFolder;

// The plain forms of tables, dump and check are in the end-to-end script.
TEST(cliDb, DumpShowsEveryKindOfEntry) {
    tempFolder tmp;
    const std::string db =
        tmp.write("db.zvdb", "<?xml version=\"1.0\"?><zvDatabase version='2'><Tool_table>"
                             "<Tool id='11111111-1111-1111-1111-111111111111'><name>a&amp;b</name>"
                             "<tip type='Point'><xy>1,2</xy></tip><Property name='a key'>2.5</Property>"
                             "<none type='Holder'>0</none></Tool></Tool_table>"
                             "<holder_TABLE><Holder id='22222222-2222-2222-2222-222222222222'/>"
                             "</holder_TABLE></zvDatabase>")
            .string();
    const std::string tool = "Tool{11111111-1111-1111-1111-111111111111}\n  name = a&b\n  tip (Point)\n"
                             "    xy = 1,2\n  \"a key\" = 2.5\n  none -> null\n";
    const struct {
        std::vector<std::string> args;
        int rc;
        std::string out;
    } cases[] = {
        {{"db", "dump", db}, 0, tool + "holder{22222222-2222-2222-2222-222222222222}\n"},
        {{"db", "dump", db, "--id", "11111111-1111-1111-1111-111111111111"}, 0, tool},
        {{"db", "dump", db, "--class", "Box"}, 1, ""},
        {{"db", "tables", (tmp.path() / "none.zvdb").string()}, 1, ""},
        {{"db", "dump"}, 2, ""},
        {{"db", "frobnicate", db}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1] + (c.args.size() > 3 ? " " + c.args[3] : std::string()));
        const cliResult r = run(c.args);
        EXPECT_EQ(r.rc, c.rc) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(cliDb, CheckReportsEachFinding) {
    tempFolder tmp;
    const struct {
        std::string xml;
        std::string finding;
    } cases[] = {
        {"<zvDatabase><A_table><A id='11111111-1111-1111-1111-111111111111'/>"
         "<A id='11111111-1111-1111-1111-111111111111'/></A_table></zvDatabase>",
         "duplicate id 11111111-1111-1111-1111-111111111111 in A\n"},
        {"<zvDatabase version='7'/>", "unknown version '7'\n"},
        {"<other/>", "not an object database (root 'other')\n"},
        {"<zvDatabase><a></zvDatabase>", "invalid XML"},
        {"<zvDatabase version='1'><A_table><A1><r type='A'>2</r></A1><a2><r type='a'>1</r></a2>"
         "<A3><r type='A'>4</r></A3></A_table></zvDatabase>",
         "dangling reference A{3} r -> A{4}\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.finding);
        const std::string file = tmp.write("db.zvdb", c.xml).string();
        const cliResult r = run({"db", "check", file});
        EXPECT_EQ(r.rc, 1) << r.err;
        if (c.finding.back() == '\n')
            EXPECT_EQ(r.out, file + ": " + c.finding);
        else
            EXPECT_NE(r.out.find(c.finding), std::string::npos) << r.out;
    }
}

} // namespace
