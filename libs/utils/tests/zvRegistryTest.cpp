#include "zvRegistry.h"

#include "zvChildTestSupport.h"
#include "zvFsTestSupport.h"
#include "zvProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string narrow(const std::wstring& s) {
    return std::string(s.begin(), s.end());
}

// Every test works below a key of its own; on Linux also in a store of its
// own, in the test's temporary folder.
class registry : public ::testing::Test {
protected:
    void SetUp() override {
        m_subKey = L"Software\\zvUtilsTest-" + std::to_wstring(zv::getCurrentProcessId()) + L"-" +
                   std::to_wstring(std::random_device()() % 1000000);
        base = L"HKEY_CURRENT_USER\\" + m_subKey;
#ifndef _WIN32
        ::setenv("ZV_REGISTRY_DIR", m_tmp.host().c_str(), 1);
#endif
    }
    void TearDown() override {
#ifdef _WIN32
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
#else
        ::unsetenv("ZV_REGISTRY_DIR");
#endif
    }
    std::wstring path(const std::wstring& rest) const {
        return base + L"\\" + rest;
    }

    std::wstring base;

private:
    zvtest::tempFolder m_tmp;
    std::wstring m_subKey;
};

} // namespace

TEST_F(registry, ValuesByPath) {
    for (const auto& [name, value] : std::vector<std::pair<std::wstring, const wchar_t*>>{
             {L"Name", L"Mill 7"}, {L"@", L"default"}, {L"Empty", nullptr}})
        EXPECT_TRUE(zv::regSetValue(path(L"Cell\\" + name).c_str(), value));
    EXPECT_TRUE(zv::regSetValue(path(L"Cell\\Speed").c_str(), 1500ul));
    EXPECT_TRUE(zv::regSetValue(path(L"Cell\\Max").c_str(), 0xFFFFFFFFul));
    const std::pair<std::wstring, std::wstring> rows[] = {
        {path(L"Cell\\Name"), L"Mill 7"},
        {path(L"CELL\\name"), L"Mill 7"}, // names ignore case
        {path(L"Cell\\Speed"), L"1500"},
        {path(L"Cell\\Max"), L"4294967295"},
        {path(L"Cell\\@"), L"default"},
        {path(L"Cell\\Empty"), L""},
        {path(L"Cell\\Missing"), L""},
        {path(L"NoKey\\Name"), L""},
        {L"hkey_current_user\\" + base.substr(18) + L"\\Cell\\Name", L""}, // roots are spelled exactly
        {L"HKEY_NOWHERE\\Cell\\Name", L""},
        {path(L"Cell\\"), L""},       // no value name
        {path(L"Cell\\\\Name"), L""}, // an empty key name
        {L"", L""},
    };
    for (const auto& [at, expected] : rows)
        EXPECT_EQ(zv::regGetValue(at.c_str()), zv::string(expected)) << narrow(at);
    EXPECT_EQ(zv::regGetValue(nullptr), zv::string());

    // A value changes type and keeps the spelling of its name.
    EXPECT_TRUE(zv::regSetValue(path(L"cell\\SPEED").c_str(), L"fast"));
    EXPECT_EQ(zv::regGetValue(path(L"Cell\\Speed").c_str()), zv::string(L"fast"));
    std::vector<zv::string> names;
    ASSERT_TRUE(zv::regGetValues(path(L"Cell").c_str(), names));
    EXPECT_EQ(names.back(), zv::string(L"Speed"));

    EXPECT_FALSE(zv::regSetValue(L"HKEY_NOWHERE\\Cell\\Name", L"x"));
    EXPECT_FALSE(zv::regSetValue(path(L"Cell\\").c_str(), L"x"));
#ifndef _WIN32
    EXPECT_FALSE(zv::regSetValue(path(L"Cell\\Big").c_str(), 0x100000000ul)); // not a 32-bit number
#endif
}

TEST_F(registry, LongValuesUpToTheCap) {
    const std::wstring longText(100000, L'x'), tooLong(zv::regMaxValueLength + 1, L'y');
    ASSERT_TRUE(zv::regSetValue(path(L"Long\\Text").c_str(), longText.c_str()));
    EXPECT_FALSE(zv::regSetValue(path(L"Long\\Text").c_str(), tooLong.c_str()));
    EXPECT_EQ(zv::regGetValue(path(L"Long\\Text").c_str()).size(), longText.size()); // left alone
    const std::wstring unicode = L"\u00e9t\u00e9 \u65e5\u672c";
    ASSERT_TRUE(zv::regSetValue(path(L"Long\\Unicode").c_str(), unicode.c_str()));
    EXPECT_EQ(zv::regGetValue(path(L"Long\\Unicode").c_str()), zv::string(unicode));
}

TEST_F(registry, RemovingAndReadingNeverCreateKeys) {
    EXPECT_FALSE(zv::regRemoveValue(path(L"Ghost\\Sub\\Value").c_str()));
    EXPECT_EQ(zv::regGetValue(path(L"Ghost\\Sub\\Value").c_str()), zv::string());
    std::vector<zv::string> keys;
    EXPECT_FALSE(zv::regGetKeys(path(L"Ghost").c_str(), keys));

    ASSERT_TRUE(zv::regSetValue(path(L"Real\\Value").c_str(), L"1"));
    EXPECT_TRUE(zv::regRemoveValue(path(L"REAL\\value").c_str()));
    EXPECT_FALSE(zv::regRemoveValue(path(L"Real\\Value").c_str()));
    EXPECT_EQ(zv::regGetValue(path(L"Real\\Value").c_str()), zv::string());
    std::vector<zv::string> values{L"stale"};
    EXPECT_TRUE(zv::regGetValues(path(L"Real").c_str(), values)); // the key stays
    EXPECT_TRUE(values.empty());
}

TEST_F(registry, KeysAndValuesInCaseInsensitiveOrder) {
    for (const wchar_t* key : {L"beta", L"Alpha", L"gamma", L"_under", L"Beta2"})
        ASSERT_TRUE(zv::regSetValue(path(std::wstring(L"Sorted\\") + key + L"\\v").c_str(), L"x"));
    for (const wchar_t* value : {L"zeta", L"Eta", L"@", L"theta"})
        ASSERT_TRUE(zv::regSetValue(path(std::wstring(L"Sorted\\") + value).c_str(), L"x"));
    ASSERT_TRUE(zv::regSetValue(path(L"Sorted\\Alpha\\Deep\\v").c_str(), L"x"));

    std::vector<zv::string> keys, values;
    ASSERT_TRUE(zv::regGetKeys(path(L"Sorted\\").c_str(), keys));
    EXPECT_EQ(keys, (std::vector<zv::string>{L"_under", L"Alpha", L"beta", L"Beta2", L"gamma"}));
    ASSERT_TRUE(zv::regGetValues(path(L"Sorted").c_str(), values));
    EXPECT_EQ(values, (std::vector<zv::string>{L"@", L"Eta", L"theta", L"zeta"}));
    ASSERT_TRUE(zv::regGetKeys(path(L"sorted\\ALPHA").c_str(), keys));
    EXPECT_EQ(keys, (std::vector<zv::string>{L"Deep"}));
    EXPECT_FALSE(zv::regGetKeys(L"HKEY_nope\\x", keys));
}

// Run by the test below in child processes; skipped otherwise. Writes 100
// values of its own and 100 into a key all children share.
TEST(registryChild, WritesManyValues) {
    const char* spec = std::getenv("ZV_TEST_REGISTRY");
    if (spec == nullptr)
        GTEST_SKIP() << "runs only as a child of ConcurrentProcessesLoseNothing";
    const std::string text(spec);
    const std::size_t bar = text.find('|');
    const std::wstring base(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(bar));
    const std::wstring me(text.begin() + static_cast<std::ptrdiff_t>(bar) + 1, text.end());
    for (int i = 0; i < 100; ++i) {
        const std::wstring n = std::to_wstring(i);
        ASSERT_TRUE(
            zv::regSetValue((base + L"\\Own" + me + L"\\v" + n).c_str(), static_cast<unsigned long>(i)));
        ASSERT_TRUE(
            zv::regSetValue((base + L"\\Shared\\p" + me + L"v" + n).c_str(), (me + L":" + n).c_str()));
        ASSERT_EQ(zv::regGetValue((base + L"\\Own" + me + L"\\v" + n).c_str()), zv::string(n));
    }
}

TEST_F(registry, ConcurrentProcessesLoseNothing) {
    std::vector<std::unique_ptr<zvtest::childTest>> children;
    for (int c = 0; c < 4; ++c) {
        children.push_back(std::make_unique<zvtest::childTest>(
            "registryChild.WritesManyValues", "ZV_TEST_REGISTRY", narrow(base) + "|" + std::to_string(c)));
        ASSERT_TRUE(children.back()->started());
    }
    for (auto& child : children)
        EXPECT_EQ(child->wait(120000), 0);
    std::vector<zv::string> shared;
    ASSERT_TRUE(zv::regGetValues(path(L"Shared").c_str(), shared));
    EXPECT_EQ(shared.size(), 400u);
    for (int c = 0; c < 4; ++c) {
        const std::wstring me = std::to_wstring(c);
        ASSERT_TRUE(zv::regGetValues(path(L"Own" + me).c_str(), shared));
        EXPECT_EQ(shared.size(), 100u);
        EXPECT_EQ(zv::regGetValue(path(L"Shared\\p" + me + L"v99").c_str()), zv::string(me + L":99"));
        EXPECT_EQ(zv::regGetValue(path(L"Own" + me + L"\\v42").c_str()), zv::string(L"42"));
    }
}
