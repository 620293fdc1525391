// The update engine: the catalog checks of a database in one round trip, and the batch built
// from their answers.
#include <gtest/gtest.h>

#include "bankname/UpdateEngine.hpp"
#include "support/TestServer.hpp"

namespace {

using basCommon::BankRecord;
using basCommon::TableLine;
using basCommon::UpdatePlan;
using support::TestServer;

// Two company databases with different columns for the same table list, one whose character
// columns cannot hold Japanese text, and one without any table.
const char* const kSeed = R"(CREATE DATABASE qnt1dat01
GO
USE qnt1dat01
CREATE TABLE dbo.TBank (BankCode char(4), BankName nvarchar(40), BankKana nvarchar(40))
CREATE TABLE dbo.TPayee (PayBank char(4), PayBankName nvarchar(40))
GO
CREATE DATABASE qnt1dat02
GO
USE qnt1dat02
CREATE TABLE TBank (BankCode char(4), BankName nvarchar(40))
CREATE TABLE TPayee (PayBank char(4))
CREATE TABLE TOther (OtherName nvarchar(40))
GO
CREATE DATABASE qnt1dat03 COLLATE Latin1_General_CI_AS
GO
USE qnt1dat03
CREATE TABLE TBank (BankCode char(4), BankName nvarchar(40), BankKana varchar(40))
CREATE TABLE TPayee (PayBank char(4), PayBankName varchar(40) COLLATE Japanese_CI_AS)
CREATE TABLE TNone (Code char(4), Name varchar(40) COLLATE Latin1_General_100_CI_AS_SC_UTF8)
GO
CREATE DATABASE qnt1dat04
)";

const std::vector<TableLine> kLines{{"TBank", "BankCode", "BankName", "BankKana"},
                                    {"TPayee", "PayBank", "PayBankName", "PayBankKana"},
                                    {"TNone", "Code", "Name", "Kana"},
                                    {"TPayee", "PayBank", "", "PayBankName"}};

std::string Check(const std::string& column, const std::string& table) {
  return "\r\nSELECT system_type_id, collation_name, COLLATIONPROPERTY(collation_name, 'CodePage') "
         "AS CodePage, column_id FROM [qnt1dat01].sys.columns WHERE name = N'" +
         column + "' AND object_id = Object_ID(N'[qnt1dat01].[dbo].[" + table + "]')";
}

BankRecord Bank(const std::string& code, const std::string& name, const std::string& kana) {
  return {.currentCode = code, .code = code, .name = name, .kana = kana};
}

class UpdateEngineTest : public testing::Test {
 protected:
  explicit UpdateEngineTest(bool wireLog = false) : server_({.seed = kSeed, .wireLog = wireLog}) {}
  std::string Build(const std::string& database, const UpdatePlan& plan) {
    return basCommon::BuildUpdateSql(*connection_, plan, database);
  }
  std::string ErrorOf(const std::string& database, const UpdatePlan& plan) {
    try {
      Build(database, plan);
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "no error";
  }
  TestServer server_;
  std::unique_ptr<odbc::Connection> connection_ = server_.Connect();
  const UpdatePlan ascii_{"ORV_Test", kLines, Bank("0005", "O'Neil", "ONEIL")};
  const UpdatePlan japanese_{"ORV_Test", kLines, Bank("0005", "新みらい銀行", "ｼﾝﾐﾗｲ")};
};

TEST_F(UpdateEngineTest, EachDatabaseGetsStatementsForTheColumnsItHas) {
  EXPECT_EQ(Build("qnt1dat01", ascii_),
            "UPDATE [qnt1dat01].dbo.TBank SET BankName = N'O''Neil' WHERE BankCode = 0005\r\n"
            "UPDATE [qnt1dat01].dbo.TBank SET BankKana = N'ONEIL' WHERE BankCode = 0005\r\n"
            "UPDATE [qnt1dat01].dbo.TPayee SET PayBankName = N'O''Neil' WHERE PayBank = 0005\r\n"
            "UPDATE [qnt1dat01].dbo.TPayee SET PayBankName = N'ONEIL' WHERE PayBank = 0005\r\n");
  EXPECT_EQ(Build("qnt1dat02", ascii_),
            "UPDATE [qnt1dat02].dbo.TBank SET BankName = N'O''Neil' WHERE BankCode = 0005\r\n");
}

class UpdateEngineRequestsTest : public UpdateEngineTest {
 protected:
  UpdateEngineRequestsTest() : UpdateEngineTest(true) {}
};

// The switch and the checks are one request, and every check names the database: where the switch
// fails, none of them answers for the database that was current before.
TEST_F(UpdateEngineRequestsTest, TheSwitchAndTheChecksOfADatabaseAreOneRequest) {
  const auto before = server_.Batches().size();
  Build("qnt1dat01", ascii_);
  const auto batches = server_.Batches();
  ASSERT_EQ(batches.size(), before + 1);
  EXPECT_EQ(batches.back(), "USE [qnt1dat01]" + Check("BankName", "TBank") +
                                Check("BankKana", "TBank") + Check("BankCode", "TBank") +
                                Check("PayBankName", "TPayee") + Check("PayBankKana", "TPayee") +
                                Check("PayBank", "TPayee") + Check("Name", "TNone") +
                                Check("Kana", "TNone") + Check("Code", "TNone"));
}

TEST_F(UpdateEngineTest, ADatabaseWithoutTheListedColumnsGetsAnEmptyBatch) {
  EXPECT_EQ(Build("qnt1dat04", ascii_), "");
  const UpdatePlan nothingListed("ORV_Test", {{"TBank", "BankCode", "", ""}}, Bank("5", "a", "b"));
  EXPECT_EQ(nothingListed.CatalogRequest("qnt1dat01"), "USE [qnt1dat01]");
  EXPECT_EQ(Build("qnt1dat01", nothingListed), "");
  // A line that names no column to change is passed over, and the next one is read.
  const UpdatePlan later("ORV_Test",
                         {{"TBank", "BankCode", "", ""}, {"TBank", "BankCode", "BankName", ""}},
                         Bank("5", "a", "b"));
  EXPECT_EQ(Build("qnt1dat01", later),
            "UPDATE [qnt1dat01].dbo.TBank SET BankName = N'a' WHERE BankCode = 5\r\n");
}

// The database's collation ignores width: the key and the kana column are one column there.
TEST_F(UpdateEngineTest, OneColumnInTwoRolesIsAnErrorOfThatDatabase) {
  const UpdatePlan twins("ORV_Test", {{"TBank", "BankCode", "", "ＢａｎｋＣｏｄｅ", 3}},
                         Bank("0005", "a", "b"));
  EXPECT_EQ(ErrorOf("qnt1dat01", twins),
            "ファイル「ORV_Test」の3行目の項目 2 (キー列) 「BankCode」と項目 4 (カナ列) "
            "「ＢａｎｋＣｏｄｅ」は、このデータベースでは同じ列です。キー列、名称列、カナ列は別の列"
            "にしてください。");
}

TEST_F(UpdateEngineTest, ATableToChangeWithoutItsKeyColumnIsAnErrorOfThatDatabase) {
  const UpdatePlan plan("ORV_Test",
                        {{"TOther", "OtherBank", "OtherName", ""}, {"TMissing", "K", "N", ""}},
                        Bank("0005", "a", "b"));
  EXPECT_EQ(ErrorOf("qnt1dat02", plan), "テーブル「TOther」にキー列「OtherBank」がありません。");
  // A table the database does not have is no error.
  EXPECT_EQ(ErrorOf("qnt1dat01", plan), "no error");
}

TEST_F(UpdateEngineTest, JapaneseTextGoesOnlyIntoColumnsWhoseCodePageHoldsIt) {
  EXPECT_EQ(ErrorOf("qnt1dat03", japanese_),
            "テーブル「TBank」の列「BankKana」は照合順序 Latin1_General_CI_AS (コード ページ "
            "1252) のため、変更後のカナ「ｼﾝﾐﾗｲ」を正しく保存できません。");
  // ASCII text fits every code page; Japanese text fits a Japanese or a UTF-8 column, and
  // every nvarchar column.
  EXPECT_EQ(ErrorOf("qnt1dat03", ascii_), "no error");
  const UpdatePlan fitting("ORV_Test",
                           {{"TBank", "BankCode", "BankName", ""},
                            {"TPayee", "PayBank", "PayBankName", ""},
                            {"TNone", "Code", "Name", ""}},
                           Bank("0005", "新みらい銀行", "ｼﾝﾐﾗｲ"));
  EXPECT_EQ(Build("qnt1dat03", fitting),
            "UPDATE [qnt1dat03].dbo.TBank SET BankName = N'新みらい銀行' WHERE BankCode = 0005\r\n"
            "UPDATE [qnt1dat03].dbo.TPayee SET PayBankName = N'新みらい銀行' WHERE PayBank = "
            "0005\r\n"
            "UPDATE [qnt1dat03].dbo.TNone SET Name = N'新みらい銀行' WHERE Code = 0005\r\n");
}

}  // namespace
