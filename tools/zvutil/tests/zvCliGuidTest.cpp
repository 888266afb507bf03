#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

using zvclitest::run;

TEST(zvutilGuid, PrintsDistinctIdentitiesAndChecksText) {
    const auto many = run({"guid", "-n", "50"});
    EXPECT_EQ(many.rc, 0);
    std::istringstream in(many.out);
    std::set<std::string> ids;
    for (std::string line; std::getline(in, line);)
        EXPECT_TRUE(ids.insert(line).second && line.size() == 36) << line;
    EXPECT_EQ(ids.size(), 50u);
    EXPECT_EQ(run({"guid", "--check", "00000000-0000-0000-0000-000000000000"}).out, "valid 0\n");
    const auto bad = run({"guid", "--check", "1b4e28ba-2fa1-11d2-883f-0016d3cca42"});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_EQ(bad.out, "invalid\n");
}

TEST(zvutilGuid, RejectsBadUsage) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"guid", "-n"},
                                                                  {"guid", "-n", "x"},
                                                                  {"guid", "-n", "-3"},
                                                                  {"guid", "--check"},
                                                                  {"guid", "extra"},
                                                                  {"guid", "-n", "99999999"}}) {
        const auto r = run(args);
        EXPECT_EQ(r.rc, 2) << args.back();
        EXPECT_TRUE(r.out.empty());
        EXPECT_FALSE(r.err.empty());
    }
}
