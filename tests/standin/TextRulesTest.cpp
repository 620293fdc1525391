// The comparison rules of the stand-in's collation, its LIKE, character lengths and code pages.
#include <gtest/gtest.h>

#include "collations.hpp"
#include "text.hpp"

namespace standin::text {
namespace {

TEST(TextRulesTest, CompareIgnoringCaseWidthKanaAndTrailingBlanks) {
  struct Case {
    const char* left;
    const char* right;
    bool equal;
  };
  for (const auto& [left, right, equal] : {Case{"Bank", "BANK   ", true},
                                           {"ＡＢＣ", "abc", true},
                                           {"ｷﾞﾝｺｳ", "ギンコウ", true},
                                           {"ぎんこう", "ギンコウ", true},
                                           {"ﾊﾟﾝ", "バン", false},
                                           {" a", "a", false}}) {
    EXPECT_EQ(collate_equal(left, right), equal) << left << " = " << right;
  }
}

TEST(TextRulesTest, LikeMatchesPercentAndUnderscore) {
  struct Case {
    const char* value;
    const char* pattern;
    bool matches;
  };
  for (const auto& [value, pattern, matches] : {Case{"qnt8dat01", "qnt_dat%", true},
                                                {"QNTXDAT", "qnt_dat%", true},
                                                {"qnt8def2", "qnt_def", false},
                                                {"qnt8def   ", "qnt_def", true},
                                                {"qnt8def", "qnt_def ", false},
                                                {"zarvekkdat", "zarvekk%", true},
                                                {"xaab", "%a%b", true},
                                                {"", "%", true},
                                                {"", "_", false}}) {
    EXPECT_EQ(like(value, pattern), matches) << value << " LIKE " << pattern;
  }
}

TEST(TextRulesTest, CodePagesLengthsAndLostCharacters) {
  struct Case {
    const char* collation;
    const char* text;
    const char* stored;  // as char/varchar data of the collation's code page holds it
    std::size_t units;   // bytes; UTF-16 units for national data (no collation)
  };
  for (const auto& [collation, text, stored, units] :
       {Case{"Japanese_CI_AS", "abcｱ銀", "abcｱ銀", 6},
        {"japanese_bin2", "é", "?", 1},
        {"Japanese_XJIS_140_CI_AS_UTF8", "銀ｱé", "銀ｱé", 8},
        {"Latin1_General_100_CI_AS_SC_UTF8", "銀", "銀", 3},
        {"Latin1_General_CI_AS", "Café銀", "Café?", 5},
        {"SQL_Latin1_General_CP1_CS_AS", "été", "été", 3},
        {"Cyrillic_General_CI_AS", "Ωж𠮷", "?ж?", 3},
        {"", "銀行𠮷", "銀行𠮷", 4}}) {
    const int page = *collation ? collations::code_page(collation).value() : kNational;
    const auto converted = collations::to_code_page(text, page);
    EXPECT_EQ(converted, stored) << collation;
    EXPECT_EQ(measure_units(converted, page), units) << collation;
  }
  EXPECT_EQ(collations::code_page("Klingon_CI_AS"), std::nullopt);
  EXPECT_EQ(truncate_units("銀行名", 5, 932), "銀行");
}

}  // namespace
}  // namespace standin::text
