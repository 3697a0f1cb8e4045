#include <gtest/gtest.h>

#include "platform/PathEncoding.h"

// Paths are native UTF-8 here; what Sentrel can keep is what Windows-1251 can write.
TEST(PathEncodingTest, LatinCyrillicAndTheCodePagesSignsFit) {
    EXPECT_TRUE(CPathEncoding::FitsCp1251(""));
    EXPECT_TRUE(CPathEncoding::FitsCp1251("/home/ivan/.local/share/sentrel"));
    EXPECT_TRUE(CPathEncoding::FitsCp1251("C:\\Users\\Иван Петров\\AppData\\Local\\Sentrel"));
    EXPECT_TRUE(CPathEncoding::FitsCp1251("/data/Отчеты ЁёЇїЄєІіЎўҐґЂђ/"));
    // Signs of the upper half: euro (0x88), numero (0xB9), guillemets, no-break space.
    EXPECT_TRUE(CPathEncoding::FitsCp1251("/data/€ № «x» \xC2\xA0 ©"));
    // A real question mark is itself, not the stand-in of a lost character.
    EXPECT_TRUE(CPathEncoding::FitsCp1251("/data/what?"));
}

TEST(PathEncodingTest, TheFirstCharacterWithoutAFormIsNamed) {
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("/home/jürgen"), "ü");
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("C:\\Users\\Zoë\\Sentrel"), "ë");
    // Latin-1 letters that Windows-1251 lacks, a CJK character, a 4-byte emoji.
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("/x/façade/é"), "ç");
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("/x/日本"), "日");
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("/x/\xF0\x9F\x9A\x9A/y"),
              "\xF0\x9F\x9A\x9A");
    // Cyrillic before the misfit does not hide it.
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("/Отчеты/Straße"), "ß");
    EXPECT_FALSE(CPathEncoding::FitsCp1251("/home/jürgen"));
}

TEST(PathEncodingTest, BytesThatAreNotUtf8DoNotFit) {
    // A Linux file name may hold any bytes; one that is not UTF-8 cannot be converted.
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("/x/\xFF/y"), "\xFF");
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("/x/\x80"), "\x80");
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("/x/\xD0"), "\xD0");      // cut short
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("/x/\xC0\xAF"), "\xC0");  // overlong
    // A UTF-16 surrogate written as UTF-8 has no character at all.
    EXPECT_EQ(CPathEncoding::FirstCharacterWithoutCp1251("/x/\xED\xA0\x80"), "\xED\xA0\x80");
}
