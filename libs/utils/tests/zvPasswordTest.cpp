#include "zvPassword.h"

#include "zvCodePage.h"

#include <gtest/gtest.h>

#include <cwctype>

using zv::password;

TEST(password, ScramblesToTheFamilysStoredFormAndRoundTrips) {
    // Stored settings of other programs hold these texts.
    EXPECT_EQ(password(L"abc").encryptedString(), L"FVoN");
    const zv::string texts[] = {L"a",
                                L"twelve chars",
                                L"a much longer password that wraps the key twice",
                                L"caf\u00e9 \u00fc\u00df",
                                L"\u0416\u0443\u043a",
                                L"\U0001F600 emoji",
                                zv::string(L"\xEF\xBB\xBFmark")};
    for (const zv::string& t : texts) {
        const password p(t);
        EXPECT_TRUE(p.isSet());
        EXPECT_EQ(p.decryptedString(), t);
        const zv::string scrambled = p.encryptedString();
        for (wchar_t c : scrambled)
            EXPECT_TRUE(c < 128 && (std::iswalnum(c) || c == L'+' || c == L'/' || c == L'=')) << int(c);
        password q;
        q.setEncrypted(scrambled);
        EXPECT_TRUE(q == p);
        EXPECT_EQ(q.decryptedString(), t);
    }
    EXPECT_FALSE(password(L"abc") == password(L"abd"));
    // Characters the code page cannot hold no longer collapse into "?".
    EXPECT_FALSE(password(L"\u0416\u0443\u043a") == password(L"\u0411\u0443\u043a"));
    EXPECT_TRUE(zv::ansiCodePage() != 1252 ||
                password(L"?").decryptedString() != password(L"\u0416").decryptedString());
}

TEST(password, EmptyAndMalformedContent) {
    password p(L"x");
    p.set(L"");
    EXPECT_FALSE(p.isSet());
    EXPECT_EQ(p.encryptedString(), L"");
    EXPECT_TRUE(p == password());
    // Only the low byte of each character counts; bad text reads as no password.
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"FVo=", L"ab"}, {L"\u0146VoN", L"abc"}, {L"!!!!", L""},   {L"FVo", L""}, {L"FVoN=", L""},
        {L"F===", L""},   {L"FV=N", L""},         {L"FVoN\n", L""}, {L"A", L""}};
    for (const auto& [stored, plain] : rows) {
        password q;
        q.setEncrypted(stored);
        EXPECT_TRUE(q.isSet());
        EXPECT_EQ(q.decryptedString(), plain) << std::wstring(stored).size();
    }
}
