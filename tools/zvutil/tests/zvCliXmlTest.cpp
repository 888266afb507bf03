#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using zvclitest::cliResult;
using zvclitest::readAll;
using zvclitest::run;
using zvclitest::tempFolder;

namespace fs = std::filesystem;

const char* const kDatabase = "<?xml version=\"1.0\"?><zvDatabase version='2'><Tool_table>"
                              "<Tool id='g1'><Length>12.5</Length><Name>a&amp;b</Name></Tool>"
                              "<Tool id='g2'><Length>7</Length></Tool></Tool_table></zvDatabase>";

TEST(cliXml, FormatsToStandardOutputOrAFile) {
    tempFolder tmp;
    const fs::path in = tmp.write("db.xml", "<a  x='1'><b>  t </b><!-- c --></a>");
    const cliResult printed = run({"xml", "fmt", in.string()});
    ASSERT_EQ(printed.rc, 0) << printed.err;
    EXPECT_EQ(printed.out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a x=\"1\">\n   <b>t</b>\n</a>\n");
    // Kept blanks at the ends of a text are written as references, so that
    // they also survive a reader that trims.
    EXPECT_NE(run({"xml", "fmt", in.string(), "--keep-blanks"}).out.find("<b>&#x20;&#x20;t&#x20;</b>"),
              std::string::npos);

    const fs::path out = tmp.path() / "out.xml";
    ASSERT_EQ(run({"xml", "fmt", in.string(), "-o", out.string(), "--utf16"}).rc, 0);
    const std::string utf16 = readAll(out);
    EXPECT_EQ(utf16.substr(0, 4), std::string("<\0?\0", 4));
    // What fmt wrote, it reads again.
    ASSERT_EQ(run({"xml", "fmt", out.string(), "-o", out.string()}).rc, 0);
    EXPECT_EQ(readAll(out), "\xEF\xBB\xBF" + printed.out);

    EXPECT_TRUE(zvclitest::failsWith(run({"xml", "fmt", tmp.write("bad.xml", "<a><b></a>").string()}), 1,
                                     "is not a valid XML-file!"));
    EXPECT_EQ(run({"xml", "fmt"}).rc, 2);
    EXPECT_EQ(run({"xml", "fmt", in.string(), "--bogus"}).rc, 2);
}

TEST(cliXml, GetsTextsAndAttributesByPath) {
    tempFolder tmp;
    const std::string db = tmp.write("db.xml", kDatabase).string();
    const struct {
        const char* path;
        int rc;
        const char* out;
    } cases[] = {
        {"Tool_table/Tool@id", 0, "g1\ng2\n"},
        {"Tool_table/Tool[2]@id", 0, "g2\n"},
        {"Tool_table/Tool/Length", 0, "12.5\n7\n"},
        {"Tool_table/*[1]/Name", 0, "a&b\n"},
        {"@version", 0, "2\n"},
        {"Tool_table/Tool[3]", 1, ""},
        {"Tool_table/tool", 1, ""},
        {"Tool_table/Tool@missing", 1, ""},
        {"Tool_table/Tool[0]", 2, ""},
        {"Tool_table/Tool[x]", 2, ""},
        {"a//b", 2, ""},
        {"Tool@", 2, ""},
    };
    for (const auto& c : cases) {
        const cliResult r = run({"xml", "get", db, c.path});
        EXPECT_EQ(r.rc, c.rc) << c.path << r.err;
        EXPECT_EQ(r.out, c.out) << c.path;
    }
    EXPECT_EQ(run({"xml", "get", db}).rc, 2);
}

TEST(cliXml, ChecksWhetherAFileLoads) {
    tempFolder tmp;
    const fs::path good = tmp.write("good.xml", kDatabase);
    cliResult r = run({"xml", "check", good.string()});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, good.string() + ": ok, root 'zvDatabase', 7 elements\n");
    r = run({"xml", "check", tmp.write("bad.xml", "<a x=1/>").string()});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.out.find(": invalid: File "), std::string::npos);
    EXPECT_NE(r.out.find("is not a valid XML-file!"), std::string::npos);
    r = run({"xml", "check", (tmp.path() / "missing.xml").string()});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.out.find("not found!"), std::string::npos);
    r = run({"xml", "check", tmp.write("text.xml", "plain text").string()});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.out.find("no element found"), std::string::npos);
    EXPECT_EQ(run({"xml", "nonsense"}).rc, 2);
}

} // namespace
