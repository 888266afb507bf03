#include "zvCliTestSupport.h"

using namespace zvclitest;

// The plain forms of tables, dump and check are in the end-to-end script.
TEST(cliDb, DumpShowsEveryKindOfEntry) {
    tempFolder tmp;
    const std::string db =
        tmp.write("db.zvdb", "<?xml version=\"1.0\"?><zvDatabase version='2'><Tool_table>"
                             "<Tool id='11111111-1111-1111-1111-111111111111'><name>a&amp;b</name>"
                             "<tip type='Point'><xy>1,2</xy></tip><Property name='a key'>2.5</Property>"
                             "<none type='Holder'>0</none></Tool></Tool_table>"
                             "<holder_TABLE><Holder id='22222222-2222-2222-2222-222222222222'/>"
                             "</holder_TABLE></zvDatabase>");
    const std::string tool = "Tool{11111111-1111-1111-1111-111111111111}\n  name = a&b\n  tip (Point)\n"
                             "    xy = 1,2\n  \"a key\" = 2.5\n  none -> null\n";
    expectCases({"db"}, {
                            {{"dump", db}, 0, tool + "holder{22222222-2222-2222-2222-222222222222}\n"},
                            {{"dump", db, "--id", "11111111-1111-1111-1111-111111111111"}, 0, tool},
                            {{"dump", db, "--class", "Box"}, 1, ""},
                            {{"tables", tmp.at("none.zvdb")}, 1, ""},
                            {{"frobnicate", db}, 2, ""},
                        });
}

TEST(cliDb, CheckReportsEachFinding) {
    tempFolder tmp;
    const std::string file = tmp.at("db.zvdb");
    const std::pair<std::string, std::string> cases[] = {
        {"<zvDatabase><A_table><A id='11111111-1111-1111-1111-111111111111'/>"
         "<A id='11111111-1111-1111-1111-111111111111'/></A_table></zvDatabase>",
         "duplicate id 11111111-1111-1111-1111-111111111111 in A\n"},
        {"<zvDatabase version='7'/>", "unknown version '7'\n"},
        {"<other/>", "not an object database (root 'other')\n"},
        {"<zvDatabase version='1'><A_table><A1><r type='A'>2</r></A1><a2><r type='a'>1</r></a2>"
         "<A3><r type='A'>4</r></A3></A_table></zvDatabase>",
         "dangling reference A{3} r -> A{4}\n"},
    };
    for (const auto& [xml, finding] : cases) {
        tmp.write("db.zvdb", xml);
        expectCases({{{"db", "check", file}, 1, file + ": " + finding}});
    }
    tmp.write("db.zvdb", "<zvDatabase><a></zvDatabase>");
    const cliResult r = run({"db", "check", file});
    EXPECT_TRUE(r.rc == 1 && r.out.find("invalid XML") != std::string::npos) << r.out;
}
