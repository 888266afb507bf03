#include "zvCliTestSupport.h"

#include <set>

using namespace zvclitest;

// The format of new identities and checking texts are in the end-to-end script.
TEST(zvutilGuid, PrintsDistinctIdentitiesAndRejectsBadUsage) {
    const cliResult many = run({"guid", "-n", "50"});
    EXPECT_EQ(many.rc, 0);
    std::istringstream in(many.out);
    std::set<std::string> ids;
    for (std::string line; std::getline(in, line);)
        EXPECT_TRUE(ids.insert(line).second && line.size() == 36) << line;
    EXPECT_EQ(ids.size(), 50u);
    for (const args& a : {args{"-n"}, {"-n", "x"}, {"-n", "-3"}, {"--check"}, {"extra"}, {"-n", "99999999"}})
        EXPECT_TRUE(failsWith(run(joined({"guid"}, a)), 2, "zvutil guid: ")) << a.back();
}
