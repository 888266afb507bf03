#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using zvclitest::failsWith;
using zvclitest::readAll;
using zvclitest::run;
using zvclitest::tempFolder;

// The plain forms of fmt, get and check are in the end-to-end script.
TEST(cliXml, FormatsKeepsBlanksAndRewritesItsOwnOutput) {
    tempFolder tmp;
    const std::string in = tmp.write("db.xml", "<a  x='1'><b>  t </b><!-- c --></a>").string();
    // Kept blanks at the ends of a text are written as references, so that
    // they also survive a reader that trims.
    EXPECT_NE(run({"xml", "fmt", in, "--keep-blanks"}).out.find("<b>&#x20;&#x20;t&#x20;</b>"),
              std::string::npos);
    const std::string out = (tmp.path() / "out.xml").string();
    ASSERT_EQ(run({"xml", "fmt", in, "-o", out, "--utf16"}).rc, 0);
    ASSERT_EQ(run({"xml", "fmt", out, "-o", out}).rc, 0);
    EXPECT_EQ(readAll(out), "\xEF\xBB\xBF" + run({"xml", "fmt", in}).out);
    EXPECT_TRUE(failsWith(run({"xml", "fmt", tmp.write("bad.xml", "<a><b></a>").string()}), 1,
                          "is not a valid XML-file!"));
    EXPECT_EQ(run({"xml", "fmt", in, "--bogus"}).rc, 2);
    EXPECT_EQ(run({"xml", "nonsense"}).rc, 2);
}

TEST(cliXml, GetsTextsAndAttributesByPath) {
    tempFolder tmp;
    const std::string db =
        tmp.write("db.xml", "<?xml version=\"1.0\"?><zvDatabase version='2'><Tool_table>"
                            "<Tool id='g1'><Length>12.5</Length><Name>a&amp;b</Name></Tool>"
                            "<Tool id='g2'><Length>7</Length></Tool></Tool_table></zvDatabase>")
            .string();
    const struct {
        const char* path;
        int rc;
        const char* out;
    } cases[] = {
        {"Tool_table/Tool[2]@id", 0, "g2\n"},
        {"Tool_table/Tool/Length", 0, "12.5\n7\n"},
        {"Tool_table/*[1]/Name", 0, "a&b\n"},
        {"@version", 0, "2\n"},
        {"Tool_table/tool", 1, ""},
        {"Tool_table/Tool@missing", 1, ""},
        {"Tool_table/Tool[0]", 2, ""},
        {"Tool_table/Tool[x]", 2, ""},
        {"a//b", 2, ""},
        {"Tool@", 2, ""},
    };
    for (const auto& c : cases) {
        const zvclitest::cliResult r = run({"xml", "get", db, c.path});
        EXPECT_EQ(r.rc, c.rc) << c.path << r.err;
        EXPECT_EQ(r.out, c.out) << c.path;
    }
    const std::pair<std::string, const char*> broken[] = {
        {(tmp.path() / "missing.xml").string(), "not found!"},
        {tmp.write("text.xml", "plain").string(), "no element found"}};
    for (const auto& [file, finding] : broken) {
        const zvclitest::cliResult r = run({"xml", "check", file});
        EXPECT_EQ(r.rc, 1);
        EXPECT_NE(r.out.find(finding), std::string::npos) << r.out;
    }
}

} // namespace
