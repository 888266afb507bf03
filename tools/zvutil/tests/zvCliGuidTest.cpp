#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using zvclitest::cliResult;
using zvclitest::run;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

bool looksLikeGuid(const std::string& s) {
    if (s.size() != 36)
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? s[i] != '-' : std::string("0123456789abcdef").find(s[i]) == std::string::npos)
            return false;
    }
    return true;
}

} // namespace

TEST(zvutilGuid, PrintsCountDistinctLowerCaseIdentities) {
    const auto one = run({"guid"});
    EXPECT_EQ(one.rc, 0);
    ASSERT_EQ(lines(one.out).size(), 1u);
    EXPECT_TRUE(looksLikeGuid(lines(one.out)[0])) << one.out;

    const auto many = run({"guid", "-n", "50"});
    EXPECT_EQ(many.rc, 0);
    const auto ids = lines(many.out);
    ASSERT_EQ(ids.size(), 50u);
    for (const auto& id : ids)
        EXPECT_TRUE(looksLikeGuid(id)) << id;
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 50u);
}

TEST(zvutilGuid, CheckGivesTheNormalFormOrRejects) {
    const auto upper = run({"guid", "--check", "1B4E28BA-2FA1-11D2-883F-0016D3CCA427"});
    EXPECT_EQ(upper.rc, 0);
    EXPECT_EQ(upper.out, "valid 1b4e28ba-2fa1-11d2-883f-0016d3cca427\n");
    EXPECT_EQ(run({"guid", "--check", "0"}).out, "valid 0\n");
    EXPECT_EQ(run({"guid", "--check", "00000000-0000-0000-0000-000000000000"}).out, "valid 0\n");

    for (const char* bad : {"{1b4e28ba-2fa1-11d2-883f-0016d3cca427}", "1b4e28ba-2fa1-11d2-883f-0016d3cca42",
                            "1b4e28ba2-fa1-11d2-883f-0016d3cca427", "zb4e28ba-2fa1-11d2-883f-0016d3cca427"}) {
        const auto r = run({"guid", "--check", bad});
        EXPECT_EQ(r.rc, 1) << bad;
        EXPECT_EQ(r.out, "invalid\n") << bad;
    }
}

TEST(zvutilGuid, RejectsBadUsage) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"guid", "-n"},
                                                                  {"guid", "-n", "0"},
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
