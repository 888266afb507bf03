#include "zvCliTestSupport.h"

using namespace zvclitest;

// Listing, extracting, adding and the plain failures are in the end-to-end script.
TEST(cliCdoc, KeepsBinaryBlocksAndFailsCleanlyKeepingTheOldDocument) {
    tempFolder tmp;
    const std::string doc = tmp.at("d.zvc"), text = tmp.write("text", "hello"), missing = tmp.at("missing");
    const std::string binary("\0\1\2\xFF", 4);
    ASSERT_EQ(run({"cdoc", "create", tmp.at("empty.zvc")}).rc, 0);
    EXPECT_EQ(readAll(tmp.at("empty.zvc")).size(), 42u);
    ASSERT_EQ(run({"cdoc", "create", doc, "a=" + text, "b=" + tmp.write("bin", binary)}).rc, 0);
    EXPECT_EQ(run({"cdoc", "cat", doc, "b"}).out, binary);
    const std::string before = readAll(doc);
    expectCases({"cdoc"}, {
                              {{"add", doc, "a", text}, 1, "", "holds a block 'a' already"},
                              {{"add", doc, std::string(129, 'n'), text}, 1, "", "longer than 128 bytes"},
                              {{"create", doc, "x=" + text, "=" + text}, 1, "", "datablock name is empty"},
                              {{"create", doc, "x=" + text, "y=" + missing}, 1, "", "cannot read"},
                              {{"create", doc, "noequals"}, 2, "", "is not NAME=SRC"},
                              {{"cat", doc, "zz"}, 1, "", "no block 'zz'"},
                              {{"ls", text}, 1, "", "Invalid file format"},
                              {{"ls", missing}, 1, "", "Error reading file"},
                          });
    EXPECT_EQ(readAll(doc), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 4)
        << "a temporary file was left behind";
}

TEST(cliLock, ReportsAHeldLockAndRefusesBadCalls) {
    tempFolder tmp;
    const std::string target = tmp.write("job.dat", "x"), lockFile = target + "$$lock$$";
    expectCases({"lock", target}, {{{"--", "no-such-command-zv"}, 127, ""},
                                   {{"--timeout", "soon", "--", "no-such-command-zv"}, 2, ""},
                                   {{"--"}, 2, ""}});
    EXPECT_FALSE(fs::exists(lockFile));
    tmp.write("job.dat$$lock$$", "");
    expectCases({"lock", target, "--timeout", "150", "--"},
                {{{"no-such-command-zv"}, 1, "", "is locked by another holder"}});
    EXPECT_TRUE(fs::exists(lockFile));
}

// The dialect follows the extension or --dialect; a trailing backslash is text.
// Getting, the CFG dialect and scrambling round trips are in the end-to-end script.
// Texts an INI line would change, and files it cannot hold, are refused; the file stays.
TEST(cliCfg, ShowsEveryDialectAsIniWritesNewSectionsAndRefusesBadCalls) {
    tempFolder tmp;
    const std::string ini = tmp.write("a.ini", "top=1\n[M]\r\nDir=C:\\x\\\n[E]\n");
    EXPECT_EQ(run({"cfg", "show", ini}).out, "top  = 1\n[M]\nDir  = C:\\x\\\n[E]\n");
    const std::string pcf = tmp.write("c.pcf", "\"k\" = \"v 1\"\n[S]\n\"x\" = \"y\"\n");
    EXPECT_EQ(run({"cfg", "show", pcf}).out, "k  = v 1\n");
    EXPECT_EQ(run({"cfg", "show", tmp.write("d.txt", "**SEC\nk v\n"), "--dialect", "cfg"}).out,
              "[SEC]\nk  = v\n");
    ASSERT_EQ(run({"cfg", "set", ini, "New", "k", "C:\\data\\"}).rc, 0);
    EXPECT_EQ(readAll(ini), "top  = 1\r\n[M]\r\nDir  = C:\\x\\\r\n[E]\r\n[New]\r\nk    = C:\\data\\\r\n");
    const std::string f = tmp.write("app.ini", "[S]\r\nk=1\r\n"), missing = tmp.at("missing.ini");
    const std::string utf8 = "\xEF\xBB\xBF[S]\r\nname=\xE4\xB8\xAD\r\n";
    const std::string wide = tmp.write("wide.ini", utf8);
    expectCases({"cfg"}, {
                             {{"show", missing}, 1, ""},
                             {{"show", f, "--dialect", "xml"}, 2, ""},
                             {{"set", f, "S", "a=b", "v"}, 2, ""},
                             {{"set", f, "S", "[k", "v"}, 2, ""},
                             {{"set", f, "S", "", "v"}, 2, ""},
                             {{"set", f, "S", "k", "two\nlines"}, 2, ""},
                             {{"set", f, "S;", "k", "v"}, 2, ""},
                             {{"set", f, "S", "k", " padded"}, 2, ""},
                             {{"set", wide, "S", "k", "v"}, 1, ""},
                             {{"unscramble", missing, f}, 1, ""},
                         });
    EXPECT_EQ(readAll(f), "[S]\r\nk=1\r\n");
    EXPECT_EQ(readAll(wide), utf8);
}

// The plain forms of tables, dump and check are in the end-to-end script.
TEST(cliDb, DumpShowsEveryKindOfEntryAndCheckReportsEachFinding) {
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
    const std::string file = tmp.at("check.zvdb");
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
        tmp.write("check.zvdb", xml);
        expectCases({{{"db", "check", file}, 1, file + ": " + finding}});
    }
    tmp.write("check.zvdb", "<zvDatabase><a></zvDatabase>");
    const cliResult r = run({"db", "check", file});
    EXPECT_TRUE(r.rc == 1 && r.out.find("invalid XML") != std::string::npos) << r.out;
}

// The plain forms of fmt, get and check are in the end-to-end script.
TEST(cliXml, FormatsKeepsBlanksRewritesItsOwnOutputAndGetsByPath) {
    tempFolder tmp;
    const std::string in = tmp.write("db.xml", "<a  x='1'><b>  t </b><!-- c --></a>"),
                      out = tmp.at("out.xml");
    // Kept blanks at the ends of a text are written as references, so that
    // they also survive a reader that trims.
    EXPECT_NE(run({"xml", "fmt", in, "--keep-blanks"}).out.find("<b>&#x20;&#x20;t&#x20;</b>"),
              std::string::npos);
    ASSERT_EQ(run({"xml", "fmt", in, "-o", out, "--utf16"}).rc, 0);
    ASSERT_EQ(run({"xml", "fmt", out, "-o", out}).rc, 0);
    EXPECT_EQ(readAll(out), "\xEF\xBB\xBF" + run({"xml", "fmt", in}).out);
    expectCases({"xml", "fmt"}, {{{in, "--bogus"}, 2, ""},
                                 {{tmp.write("bad.xml", "<a><b></a>")}, 1, "", "is not a valid XML-file!"}});
    const std::string db =
        tmp.write("tools.xml", "<?xml version=\"1.0\"?><zvDatabase version='2'><Tool_table>"
                               "<Tool id='g1'><Length>12.5</Length><Name>a&amp;b</Name></Tool>"
                               "<Tool id='g2'><Length>7</Length></Tool></Tool_table></zvDatabase>");
    expectCases({"xml", "get", db}, {
                                        {{"Tool_table/Tool[2]@id"}, 0, "g2\n"},
                                        {{"Tool_table/Tool/Length"}, 0, "12.5\n7\n"},
                                        {{"Tool_table/*[1]/Name"}, 0, "a&b\n"},
                                        {{"@version"}, 0, "2\n"},
                                        {{"Tool_table/tool"}, 1, ""},
                                        {{"Tool_table/Tool@missing"}, 1, ""},
                                        {{"Tool_table/Tool[0]"}, 2, ""},
                                        {{"Tool_table/Tool[x]"}, 2, ""},
                                        {{"a//b"}, 2, ""},
                                        {{"Tool@"}, 2, ""},
                                    });
    for (const auto& [file, finding] :
         {std::pair<std::string, const char*>{tmp.at("missing.xml"), "not found!"},
          {tmp.write("text.xml", "plain"), "no element found"}}) {
        const cliResult r = run({"xml", "check", file});
        EXPECT_TRUE(r.rc == 1 && r.out.find(finding) != std::string::npos) << r.out;
    }
}
