// The comparison rules of the stand-in's collation, its LIKE, character lengths and code pages.
#include <gtest/gtest.h>

#include "collations.hpp"
#include "text.hpp"

namespace standin::text {
namespace {

TEST(CollationTest, IgnoresCaseWidthKanaAndTrailingBlanks) {
  EXPECT_TRUE(collate_equal("Bank", "BANK   "));
  EXPECT_TRUE(collate_equal("ＡＢＣ", "abc"));
  EXPECT_TRUE(collate_equal("ｷﾞﾝｺｳ", "ギンコウ"));
  EXPECT_TRUE(collate_equal("ぎんこう", "ギンコウ"));
  EXPECT_TRUE(collate_equal("ﾊﾟﾝ", "パン"));
  EXPECT_FALSE(collate_equal("ﾊﾟﾝ", "バン"));
  EXPECT_FALSE(collate_equal(" a", "a"));
  EXPECT_FALSE(collate_equal("abc", "abd"));
  EXPECT_LT(collate_compare("apple", "Banana"), 0);
  EXPECT_GT(collate_compare("b", "A "), 0);
}

TEST(LikeTest, WildcardsSetsAndEscapes) {
  EXPECT_TRUE(like("qnt_dat01", "qnt_dat%"));
  EXPECT_TRUE(like("QNTXDAT", "qnt_dat%"));
  EXPECT_FALSE(like("qnt_def2", "qnt_def"));
  EXPECT_TRUE(like("qnt_def   ", "qnt_def"));
  EXPECT_FALSE(like("qnt_def", "qnt_def "));
  EXPECT_TRUE(like("a1c", "a[0-9]c"));
  EXPECT_FALSE(like("abc", "a[^b]c"));
  EXPECT_TRUE(like("50%", "50!%", U'!'));
  EXPECT_FALSE(like("500", "50!%", U'!'));
  EXPECT_TRUE(like("xaab", "%a%b"));
  EXPECT_TRUE(like("", "%"));
  EXPECT_FALSE(like("", "_"));
}

TEST(LengthTest, CharMeasuresCodePageBytesAndNCharUtf16Units) {
  EXPECT_EQ(measure_units("abcｱｲ", 932), 5u);
  EXPECT_EQ(measure_units("銀行", 932), 4u);
  EXPECT_EQ(measure_units("銀行ｱ", 65001), 9u);
  EXPECT_EQ(measure_units("été", 1252), 3u);
  EXPECT_EQ(measure_units("銀行𠮷", kNational), 4u);
  EXPECT_EQ(truncate_units("銀行名", 5, 932), "銀行");
  EXPECT_EQ(truncate_units("銀行名", 2, kNational), "銀行");
  EXPECT_EQ(truncate_units("銀行名", 8, 65001), "銀行");
}

TEST(CodePageTest, CollationFamiliesGiveTheirCodePages) {
  using collations::code_page;
  EXPECT_EQ(code_page("Japanese_CI_AS"), 932);
  EXPECT_EQ(code_page("japanese_bin2"), 932);
  EXPECT_EQ(code_page("Japanese_XJIS_140_CI_AS_UTF8"), 65001);
  EXPECT_EQ(code_page("Latin1_General_100_CI_AS_SC_UTF8"), 65001);
  EXPECT_EQ(code_page("Latin1_General_CI_AS"), 1252);
  EXPECT_EQ(code_page("SQL_Latin1_General_CP1_CS_AS"), 1252);
  EXPECT_EQ(code_page("SQL_Latin1_General_CP1250_CI_AS"), std::nullopt);
  EXPECT_EQ(code_page("Chinese_PRC_CI_AS"), 936);
  EXPECT_EQ(code_page("Chinese_Taiwan_Stroke_CI_AS"), 950);
  EXPECT_EQ(code_page("Korean_Wansung_CI_AS"), 949);
  EXPECT_EQ(code_page("Cyrillic_General_CI_AS"), 1251);
  EXPECT_EQ(code_page("Greek_CI_AS"), 1253);
  EXPECT_EQ(code_page("Thai_CI_AS"), 874);
  EXPECT_EQ(code_page("Klingon_CI_AS"), std::nullopt);
}

TEST(CodePageTest, CharactersACodePageLacksBecomeQuestionMarks) {
  using collations::to_code_page;
  EXPECT_EQ(to_code_page("日本é", 1252), "??é");
  EXPECT_EQ(to_code_page("日本éｱ", 932), "日本?ｱ");
  EXPECT_EQ(to_code_page("Ωж𠮷", 1251), "?ж?");
  EXPECT_EQ(to_code_page("日本é𠮷", 65001), "日本é𠮷");
  EXPECT_EQ(to_code_page("日本é𠮷", kNational), "日本é𠮷");
  EXPECT_EQ(to_code_page("plain ASCII ?", 874), "plain ASCII ?");
}

TEST(Utf16Test, RoundTripsAndReplacesLoneSurrogates) {
  std::vector<std::uint8_t> bytes;
  append_utf16le(bytes, "a銀𠮷");
  EXPECT_EQ(bytes.size(), 8u);
  EXPECT_EQ(utf16le_to_utf8(bytes), "a銀𠮷");
  const std::vector<std::uint8_t> lone = {0x00, 0xD8, 0x41, 0x00};
  EXPECT_EQ(utf16le_to_utf8(lone),
            "\xEF\xBF\xBD"
            "A");
}

}  // namespace
}  // namespace standin::text
