#include "zvCliTestSupport.h"

using namespace zvclitest;

// The plain forms of fmt, get and check are in the end-to-end script.
TEST(cliXml, FormatsKeepsBlanksAndRewritesItsOwnOutput) {
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
    EXPECT_TRUE(
        failsWith(run({"xml", "fmt", tmp.write("bad.xml", "<a><b></a>")}), 1, "is not a valid XML-file!"));
    expectCodes({"xml"}, {{{"fmt", in, "--bogus"}, 2}, {{"nonsense"}, 2}});
}

TEST(cliXml, GetsTextsAndAttributesByPath) {
    tempFolder tmp;
    const std::string db =
        tmp.write("db.xml", "<?xml version=\"1.0\"?><zvDatabase version='2'><Tool_table>"
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
