#include "zvCliTestSupport.h"

// A protocol under a given name is in the end-to-end script.
TEST(zvutilSelfTest, WithoutANameWritesANewProtocolInTheTemporaryFolder) {
    const auto r = zvclitest::run({"selftest"});
    EXPECT_EQ(r.rc, 0) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("selftest: 2 classes, 0 failed, 0 errors, ", 0), 0u) << r.out;
    const std::size_t at = r.out.find("; protocol ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::filesystem::path written = r.out.substr(at + 11, r.out.size() - at - 12);
    const std::string text = zvclitest::readAll(written);
    EXPECT_EQ(text.rfind("Moduletest start: zvutils    (", 0), 0u) << text;
    EXPECT_NE(text.find("Moduletest ended: zvutils"), std::string::npos);
    EXPECT_NE(text.find("    (libs/utils/src/zvSelfTests.cpp ("), std::string::npos)
        << "sources are named relative to the tree, not the build machine's folders";
    std::filesystem::remove(written);
    EXPECT_EQ(zvclitest::run({"selftest", "a", "b"}).rc, 2);
}
