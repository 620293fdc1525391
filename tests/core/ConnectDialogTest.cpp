// The connection dialog's numbers and its failure message.
#include <gtest/gtest.h>

#include "sqlserver/ConnectDialog.hpp"

namespace {

using namespace basSQLServer;

TEST(ConnectDialogTest, NumericValueIsTheNumberTheTextBeginsWith) {
  EXPECT_EQ(NumericValue("15"), 15);
  EXPECT_EQ(NumericValue("-5"), -5);
  EXPECT_EQ(NumericValue("5a"), 5);
  EXPECT_EQ(NumericValue(".5"), 0.5);
  EXPECT_EQ(NumericValue("  7"), 7);
  EXPECT_EQ(NumericValue("00"), 0);
  for (const char* none : {"", "ab", "-", ".", " ", "-.", "a5"})
    EXPECT_EQ(NumericValue(none), 0) << none;
}

TEST(ConnectDialogTest, TheTimeOutIsRoundedHalfToEven) {
  EXPECT_EQ(TimeoutSeconds(".5"), 0);
  EXPECT_EQ(TimeoutSeconds("1.5"), 2);
  EXPECT_EQ(TimeoutSeconds("2.5"), 2);
  EXPECT_EQ(TimeoutSeconds("-5"), -5);
  EXPECT_EQ(TimeoutSeconds("30"), 30);
  EXPECT_EQ(NumberText(5), "5");
  EXPECT_EQ(NumberText(2.5), "2.5");
}

TEST(ConnectDialogTest, TrimRemovesBlanksOnly) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");
}

TEST(ConnectDialogTest, TheFailureMessageHasSevenLines) {
  EXPECT_EQ(
      ConnectFailureMessage("D"),
      "サーバーに接続できません。\r\nD\r\n\r\nサーバーに接続できないのは以下の原因が考えられます。"
      "\r\n"
      "・サーバー名、インスタンス名に誤りがある。\r\n・ユーザー名、パスワードに誤りがある。\r\n"
      "・サーバー側のファイアーウォールの設定が不十分である。");
}

}  // namespace
