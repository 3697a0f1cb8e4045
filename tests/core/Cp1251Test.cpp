#include <gtest/gtest.h>

#include "base/Cp1251.h"

TEST(Cp1251Test, EveryByteSurvivesTheRoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string utf8 = Cp1251::ToUtf8(one);
        EXPECT_EQ(Cp1251::FromUtf8(utf8), one) << "byte " << b;
    }
    // 0x98 has no character in the code page; it is carried as U+0098.
    EXPECT_EQ(Cp1251::ToUtf8("\x98"), "\xC2\x98");
    EXPECT_EQ(Cp1251::ToUtf8("\x88"), "\xE2\x82\xAC");  // euro sign
}

TEST(Cp1251Test, RussianLiteralsBecomeCodePageBytes) {
    EXPECT_EQ(W("Тревога"), "\xD2\xF0\xE5\xE2\xEE\xE3\xE0");
    EXPECT_EQ(W("Ёё№"), "\xA8\xB8\xB9");
    EXPECT_EQ(W("Датчик 1"), "\xC4\xE0\xF2\xF7\xE8\xEA 1");
    EXPECT_EQ(Cp1251::ToUtf8(W("Районы назначения")), "Районы назначения");
    // Without a code-page form, or broken UTF-8: '?'.
    EXPECT_EQ(W("a中b"), "a?b");
    EXPECT_EQ(W("a\xD0"), "a?");
    EXPECT_EQ(W("\xFF"
                "b"),
              "?b");
}

TEST(Cp1251Test, CompareIsBytewiseUnsigned) {
    EXPECT_EQ(Cp1251::Compare("abc", "abc"), 0);
    EXPECT_LT(Cp1251::Compare("ab", "abc"), 0);
    EXPECT_GT(Cp1251::Compare("abc", "ab"), 0);
    EXPECT_GT(Cp1251::Compare(W("А"), "z"), 0);  // 0xC0 after every ASCII byte
    EXPECT_LT(Cp1251::Compare(W("Я"), W("а")), 0);
    EXPECT_GT(Cp1251::Compare(W("я"), W("ё")), 0);  // 0xFF after 0xB8: not alphabetical
    EXPECT_LT(Cp1251::Compare("", "a"), 0);
}

TEST(Cp1251Test, Utf16NamesForTheWideSystemCalls) {
    EXPECT_EQ(Cp1251::ToUtf16("A\xC0\xFF\xA8\xB8\xB9\x88\x98"),
              std::u16string(u"A\u0410\u044F\u0401\u0451\u2116\u20AC\u0098"));
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Cp1251::FromUtf16(Cp1251::ToUtf16(one)), one) << "byte " << b;
    }
    // Outside the code page: one '?' per character, a surrogate pair being one character
    // and a lone half another.
    EXPECT_EQ(Cp1251::FromUtf16(u"\u00E9x\U0001F600y"), "?x?y");
    EXPECT_EQ(Cp1251::FromUtf16(std::u16string(1, char16_t(0xD800)) + u"z"), "?z");
    EXPECT_EQ(Cp1251::FromUtf16(std::u16string(1, char16_t(0xDC00))), "?");
}
