// The update engine: column checks in the current database and the batch built from them.
#include <gtest/gtest.h>

#include "bankname/UpdateEngine.hpp"
#include "support/StandIn.hpp"

namespace {

using support::StandIn;

// Two company databases with different columns for the same table list.
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
)";

const char* const kTableList =
    "TBank,BankCode,BankName,BankKana\r\n"
    "\r\n"
    "TPayee,PayBank,PayBankName,PayBankKana\r\n"
    "TNone,Code,Name,Kana\r\n"
    "TPayee,PayBank,,PayBankName\r\n";

class UpdateEngineTest : public testing::Test {
 protected:
  void SetUp() override {
    support::WriteFile(dir_.Path() / "ORV_Notara_MasterOnly", kTableList);
    WriteBank("0005,A,B,0005,O'Neil,\xBC\xDD\r\n");
  }
  void WriteBank(const std::string& record) {
    support::WriteFile(dir_.Path() / "ORV_BankName", record);
  }
  std::string Build(const std::string& database) {
    connection_->SetDefaultDatabase(database);
    return basCommon::BuildUpdateSql(*connection_, dir_.Path(), "ORV_Notara_MasterOnly", ui_);
  }
  StandIn server_{{.seed = kSeed}};
  std::unique_ptr<odbc::Connection> connection_ = server_.Connect();
  support::TempDir dir_;
  support::RecordingUi ui_;
};

TEST_F(UpdateEngineTest, EachDatabaseGetsStatementsForTheColumnsItHas) {
  EXPECT_EQ(Build("qnt1dat01"),
            "UPDATE TBank SET BankName = 'O''Neil' WHERE BankCode = 0005\r\n"
            "UPDATE TBank SET BankKana = 'ｼﾝ' WHERE BankCode = 0005\r\n"
            "UPDATE TPayee SET PayBankName = 'O''Neil' WHERE PayBank = 0005\r\n"
            "UPDATE TPayee SET PayBankName = 'ｼﾝ' WHERE PayBank = 0005\r\n");
  EXPECT_EQ(Build("qnt1dat02"), "UPDATE TBank SET BankName = 'O''Neil' WHERE BankCode = 0005\r\n");
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(UpdateEngineTest, OneCheckPerListedColumnAsTheServerSeesIt) {
  const auto before = server_.Batches().size();
  Build("qnt1dat02");
  const auto batches = server_.Batches();
  const std::vector<std::string> sent(batches.begin() + static_cast<long>(before) + 1,
                                      batches.end());
  const auto check = [](const std::string& column, const std::string& table) {
    return "SELECT COUNT(name) As 'Count' FROM sys.columns WHERE name = '" + column +
           "' AND object_id = Object_ID('[dbo].[" + table + "]')";
  };
  EXPECT_EQ(sent,
            (std::vector<std::string>{check("BankName", "TBank"), check("BankKana", "TBank"),
                                      check("PayBankName", "TPayee"),
                                      check("PayBankKana", "TPayee"), check("Name", "TNone"),
                                      check("Kana", "TNone"), check("PayBankName", "TPayee")}));
}

TEST_F(UpdateEngineTest, NoListedColumnGivesAnEmptyBatch) {
  server_.Connect()->Execute("CREATE DATABASE qnt1dat03");
  EXPECT_EQ(Build("qnt1dat03"), "");
}

TEST_F(UpdateEngineTest, TheBankRecordIsReadAnewForEveryDatabase) {
  Build("qnt1dat02");
  WriteBank("0005,A,B,0007,N2,K2\r\n");
  EXPECT_EQ(Build("qnt1dat02"), "UPDATE TBank SET BankName = 'N2' WHERE BankCode = 0007\r\n");
}

TEST_F(UpdateEngineTest, ABadRecordFailsBeforeAnyCatalogQuery) {
  const auto before = server_.Batches().size();
  WriteBank("0005,A,B,00O5,N,K\r\n");
  connection_->SetDefaultDatabase("qnt1dat02");
  EXPECT_THROW(basCommon::BuildUpdateSql(*connection_, dir_.Path(), "ORV_Notara_MasterOnly", ui_),
               std::runtime_error);
  std::filesystem::remove(dir_.Path() / "ORV_BankName");
  EXPECT_THROW(basCommon::BuildUpdateSql(*connection_, dir_.Path(), "ORV_Notara_MasterOnly", ui_),
               std::out_of_range);
  EXPECT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(server_.Batches().size(), before + 1);  // the USE only
}

}  // namespace
