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
    template <typename T>
    bool set(const std::wstring& rest, T value) const {
        return zv::regSetValue(path(rest).c_str(), value);
    }
    zv::string get(const std::wstring& rest) const {
        return zv::regGetValue(path(rest).c_str());
    }
    // The subkeys or value names below `rest`; {"<none>"} when it cannot be read.
    std::vector<zv::string> list(const std::wstring& rest, bool keys = false) const {
        std::vector<zv::string> names{L"stale"};
        const bool ok =
            keys ? zv::regGetKeys(path(rest).c_str(), names) : zv::regGetValues(path(rest).c_str(), names);
        return ok ? names : std::vector<zv::string>{L"<none>"};
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
        EXPECT_TRUE(set(L"Cell\\" + name, value));
    EXPECT_TRUE(set(L"Cell\\Speed", 1500ul) && set(L"Cell\\Max", 0xFFFFFFFFul));
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
    EXPECT_TRUE(set(L"cell\\SPEED", L"fast"));
    EXPECT_EQ(get(L"Cell\\Speed"), zv::string(L"fast"));
    EXPECT_EQ(list(L"Cell").back(), zv::string(L"Speed"));

    EXPECT_FALSE(zv::regSetValue(L"HKEY_NOWHERE\\Cell\\Name", L"x") || set(L"Cell\\", L"x"));
#ifndef _WIN32
    EXPECT_FALSE(set(L"Cell\\Big", 0x100000000ul)); // not a 32-bit number
#endif
    // Long and non-ASCII values, up to the cap; one above it leaves the value alone.
    const std::wstring longText(100000, L'x'), unicode = L"\u00e9t\u00e9 \u65e5\u672c";
    ASSERT_TRUE(set(L"Long\\Text", longText.c_str()) && set(L"Long\\Unicode", unicode.c_str()));
    EXPECT_FALSE(set(L"Long\\Text", std::wstring(zv::regMaxValueLength + 1, L'y').c_str()));
    EXPECT_EQ(get(L"Long\\Text").size(), longText.size());
    EXPECT_EQ(get(L"Long\\Unicode"), zv::string(unicode));
}

TEST_F(registry, RemovingAndReadingNeverCreateKeys) {
    EXPECT_FALSE(zv::regRemoveValue(path(L"Ghost\\Sub\\Value").c_str()));
    EXPECT_EQ(get(L"Ghost\\Sub\\Value"), zv::string());
    EXPECT_EQ(list(L"Ghost", true), (std::vector<zv::string>{L"<none>"}));

    ASSERT_TRUE(set(L"Real\\Value", L"1"));
    EXPECT_TRUE(zv::regRemoveValue(path(L"REAL\\value").c_str()));
    EXPECT_FALSE(zv::regRemoveValue(path(L"Real\\Value").c_str()));
    EXPECT_EQ(get(L"Real\\Value"), zv::string());
    EXPECT_TRUE(list(L"Real").empty()); // the key stays
}

TEST_F(registry, KeysAndValuesInCaseInsensitiveOrder) {
    for (const std::wstring name :
         {L"beta\\v", L"Alpha\\v", L"gamma\\v", L"_under\\v", L"Beta2\\v", L"zeta", L"Eta", L"@", L"theta"})
        ASSERT_TRUE(set(L"Sorted\\" + name, L"x"));
    ASSERT_TRUE(set(L"Sorted\\Alpha\\Deep\\v", L"x"));
    using names = std::vector<zv::string>;
    EXPECT_EQ(list(L"Sorted\\", true), (names{L"_under", L"Alpha", L"beta", L"Beta2", L"gamma"}));
    EXPECT_EQ(list(L"Sorted"), (names{L"@", L"Eta", L"theta", L"zeta"}));
    EXPECT_EQ(list(L"sorted\\ALPHA", true), (names{L"Deep"}));
    names keys;
    EXPECT_FALSE(zv::regGetKeys(L"HKEY_nope\\x", keys));
}

// Run by the test below in child processes; skipped otherwise. Writes 100
// values of its own and 100 into a key all children share.
TEST(registryChild, WritesManyValues) {
    const char* spec = std::getenv("ZV_TEST_REGISTRY");
    if (spec == nullptr)
        GTEST_SKIP() << "runs only as a child of ConcurrentProcessesLoseNothing";
    const std::string text(spec); // "<base>|<one digit>"
    const std::wstring base(text.begin(), text.end() - 2), me(1, static_cast<wchar_t>(text.back()));
    for (int i = 0; i < 100; ++i) {
        const std::wstring n = std::to_wstring(i), own = base + L"\\Own" + me + L"\\v" + n;
        ASSERT_TRUE(zv::regSetValue(own.c_str(), static_cast<unsigned long>(i)));
        ASSERT_TRUE(
            zv::regSetValue((base + L"\\Shared\\p" + me + L"v" + n).c_str(), (me + L":" + n).c_str()));
        ASSERT_EQ(zv::regGetValue(own.c_str()), zv::string(n));
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
    EXPECT_EQ(list(L"Shared").size(), 400u);
    for (int c = 0; c < 4; ++c) {
        const std::wstring me = std::to_wstring(c);
        EXPECT_EQ(list(L"Own" + me).size(), 100u);
        EXPECT_EQ(get(L"Shared\\p" + me + L"v99"), zv::string(me + L":99"));
        EXPECT_EQ(get(L"Own" + me + L"\\v42"), zv::string(L"42"));
    }
}
