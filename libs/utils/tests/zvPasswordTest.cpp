#include "zvPassword.h"

#include "zvCodePage.h"

#include <gtest/gtest.h>

using zv::password;

TEST(password, ScramblesToTheFamilysStoredForm) {
    // Stored settings of other programs hold these texts.
    EXPECT_EQ(password(L"abc").encryptedString(), L"FVoN");
    password stored;
    stored.setEncrypted(L"FVoN");
    EXPECT_EQ(stored.decryptedString(), L"abc");
    EXPECT_TRUE(stored == password(L"abc"));
    EXPECT_FALSE(stored == password(L"abd"));
}

TEST(password, RoundTripsAndCompares) {
    const zv::string texts[] = {L"a",
                                L"secret",
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
            EXPECT_TRUE((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
                        c == L'+' || c == L'/' || c == L'=');
        password q;
        q.setEncrypted(scrambled);
        EXPECT_TRUE(q == p);
        EXPECT_EQ(q.decryptedString(), t);
    }
    // Characters the code page cannot hold no longer collapse into "?".
    EXPECT_FALSE(password(L"\u0416\u0443\u043a") == password(L"\u0411\u0443\u043a"));
    if (zv::ansiCodePage() == 1252) {
        EXPECT_EQ(password(L"caf\u00e9").encryptedString(), password(L"caf\u00e9").encryptedString());
        EXPECT_NE(password(L"?").decryptedString(), password(L"\u0416").decryptedString());
    }
}

TEST(password, EmptyAndMalformedContent) {
    password p(L"x");
    p.set(L"");
    EXPECT_FALSE(p.isSet());
    EXPECT_EQ(p.decryptedString(), L"");
    EXPECT_EQ(p.encryptedString(), L"");
    EXPECT_TRUE(p == password());

    for (const wchar_t* bad : {L"!!!!", L"FVo", L"FVoN=", L"F===", L"FV=N", L"FVoN\n", L"A"}) {
        password q;
        q.setEncrypted(bad);
        EXPECT_TRUE(q.isSet());
        EXPECT_EQ(q.decryptedString(), L"") << std::wstring(bad).size();
    }
    password padded;
    padded.setEncrypted(L"FVo=");
    EXPECT_EQ(padded.decryptedString(), L"ab");
    // Only the low byte of each character counts.
    password wide;
    wide.setEncrypted(zv::string(L"\u0146VoN"));
    EXPECT_EQ(wide.encryptedString(), L"FVoN");
}
