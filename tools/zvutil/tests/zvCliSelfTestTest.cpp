#include "zvCliTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(zvutilSelfTest, RunsEverySelfTestAndWritesTheProtocol) {
    zvclitest::tempFolder tmp;
    const auto protocol = tmp.path() / "protocol.txt";
    const auto r = zvclitest::run({"selftest", protocol.string()});
    EXPECT_EQ(r.rc, 0) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("selftest: 2 classes, 0 failed, 0 errors, ", 0), 0u) << r.out;
    const std::string text = zvclitest::readAll(protocol);
    EXPECT_EQ(text.rfind("Moduletest start: zvutils    (", 0), 0u) << text;
    EXPECT_NE(text.find("Classtest ended:  zv::directory"), std::string::npos);
    EXPECT_NE(text.find("Moduletest ended: zvutils"), std::string::npos);

    // Without a name the protocol goes to a new file in the temporary folder.
    const auto fresh = zvclitest::run({"selftest"});
    EXPECT_EQ(fresh.rc, 0) << fresh.err;
    const std::size_t at = fresh.out.find("; protocol ");
    ASSERT_NE(at, std::string::npos) << fresh.out;
    const std::filesystem::path written = fresh.out.substr(at + 11, fresh.out.size() - at - 12);
    EXPECT_NE(zvclitest::readAll(written).find("zv::string"), std::string::npos) << written;
    std::filesystem::remove(written);

    EXPECT_EQ(zvclitest::run({"selftest", "a", "b"}).rc, 2);
}
