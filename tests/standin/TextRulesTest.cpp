// The comparison rules of the stand-in's collation, its LIKE, and character lengths.
#include <gtest/gtest.h>

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

TEST(LengthTest, CharMeasuresCodePage932BytesAndNCharUtf16Units) {
  EXPECT_EQ(cp932_bytes("abcｱｲ"), 5u);
  EXPECT_EQ(cp932_bytes("銀行"), 4u);
  EXPECT_EQ(utf16_units("銀行𠮷"), 4u);
  EXPECT_EQ(truncate_units("銀行名", 5, false), "銀行");
  EXPECT_EQ(truncate_units("銀行名", 2, true), "銀行");
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
