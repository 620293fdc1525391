// The settings object's connect attempt and its catalog existence queries.
#include <gtest/gtest.h>

#include "sqlserver/ConnectDialog.hpp"
#include "sqlserver/SQLServer.hpp"
#include "support/TestServer.hpp"

namespace {

using support::TestServer;

const char* const kSeed = R"(CREATE DATABASE qnt8sys
GO
CREATE DATABASE [A'B]
GO
USE qnt8sys
CREATE TABLE dbo.T (C int, D nvarchar(10))
)";

SQLServer SettingsFor(const TestServer& server, const std::string& password) {
  SQLServer settings;
  settings.DataSource(server.DataSource());
  settings.InitialCatalog("master");
  settings.LoginSecure(false);
  settings.UserID(server.Login());
  settings.Password(password);
  settings.ConnectionTimeout(5);
  return settings;
}

class CatalogTest : public testing::Test {
 protected:
  explicit CatalogTest(bool wireLog = false) : server_({.seed = kSeed, .wireLog = wireLog}) {}
  void SetUp() override {
    connection_ = settings_.GetConnection();
    ASSERT_TRUE(settings_.ConnectingResult()) << settings_.ConnectingError();
  }
  TestServer server_;
  SQLServer settings_ = SettingsFor(server_, server_.Password());
  std::unique_ptr<odbc::Connection> connection_;
};

class CatalogRequestsTest : public CatalogTest {
 protected:
  CatalogRequestsTest() : CatalogTest(true) {}
};

TEST_F(CatalogRequestsTest, EachQuestionSendsExactlyItsTextAndAnswersFromTheCount) {
  auto* c = connection_.get();
  EXPECT_FALSE(settings_.ExistTable(c, "T"));  // asked in master
  connection_->Execute("USE qnt8sys");
  const std::tuple<std::function<bool()>, bool, std::string> cases[] = {
      {[&] { return settings_.ExistDatabase(c, "A'B", false); }, true,
       "SELECT COUNT(name) from sys.databases WHERE name = 'A''B'"},
      {[&] { return settings_.ExistDatabase(c, "", false); }, false,
       "SELECT COUNT(name) from sys.databases WHERE name = ''"},
      {[&] { return settings_.ExistDatabase(c, "QNT8%", true); }, true,
       "SELECT COUNT(name) from sys.databases WHERE name LIKE 'QNT8%'"},
      {[&] { return settings_.ExistDatabase(c, "qnt8", true); }, false,
       "SELECT COUNT(name) from sys.databases WHERE name LIKE 'qnt8'"},
      {[&] { return settings_.ExistDatabase(c, "qnt8%", false); }, false,
       "SELECT COUNT(name) from sys.databases WHERE name = 'qnt8%'"},
      {[&] { return settings_.ExistTable(c, "T"); }, true,
       "SELECT COUNT(id) FROM dbo.sysobjects WHERE id = object_id(N'[dbo].[T]') AND "
       "OBJECTPROPERTY(id, N'IsUserTable') = 1;"},
      {[&] { return settings_.ExistTable(c, "T]"); }, false,
       "SELECT COUNT(id) FROM dbo.sysobjects WHERE id = object_id(N'[dbo].[T]]') AND "
       "OBJECTPROPERTY(id, N'IsUserTable') = 1;"},
      {[&] { return settings_.ExistColumn(c, "T", "D"); }, true,
       "SELECT COUNT(object_id) FROM sys.columns WHERE name = N'D' AND object_id = "
       "OBJECT_ID(N'[dbo].[T]')"},
      {[&] { return settings_.ExistColumn(c, "T", "E"); }, false,
       "SELECT COUNT(object_id) FROM sys.columns WHERE name = N'E' AND object_id = "
       "OBJECT_ID(N'[dbo].[T]')"},
      {[&] { return settings_.ExistColumn(c, "U", "C"); }, false,
       "SELECT COUNT(object_id) FROM sys.columns WHERE name = N'C' AND object_id = "
       "OBJECT_ID(N'[dbo].[U]')"},
  };
  for (const auto& [question, answer, sql] : cases) {
    EXPECT_EQ(question(), answer) << sql;
    EXPECT_EQ(server_.Batches().back(), sql);
  }
}

TEST_F(CatalogTest, AMissingOrBrokenConnectionAnswersFalse) {
  EXPECT_FALSE(settings_.ExistDatabase(nullptr, "qnt8sys", false));
  odbc::Connection unopened;
  EXPECT_FALSE(settings_.ExistDatabase(&unopened, "qnt8sys", false));
}

// The refused login is one the server does not have: failed logins of a real server's own login
// could lock it out.
TEST_F(CatalogTest, EachAttemptReportsOnlyItsOwnOutcome) {
  SQLServer settings = SettingsFor(server_, server_.Password());
  settings.UserID("oravend_test_nobody");
  auto first = settings.GetConnection();
  EXPECT_FALSE(settings.ConnectingResult());
  // The server's own text, as users of the OLE DB provider saw it.
  EXPECT_EQ(settings.ConnectingError(), "Login failed for user 'oravend_test_nobody'.");
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(first->IsOpen());

  settings.DataSource("127.0.0.1,1");
  settings.GetConnection();
  EXPECT_FALSE(settings.ConnectingResult());
  EXPECT_EQ(settings.ConnectingError().find("Login failed"), std::string::npos);
  EXPECT_FALSE(settings.ConnectingError().empty());

  settings.DataSource(server_.DataSource());
  settings.UserID(server_.Login());
  auto second = settings.GetConnection();
  EXPECT_TRUE(settings.ConnectingResult());
  EXPECT_EQ(settings.ConnectingError(), "");
  EXPECT_TRUE(second->IsOpen());
  EXPECT_EQ(second->CommandTimeout(), 5);
  EXPECT_EQ(support::CurrentDatabase(*second), "master");

  // A negative time-out fails the attempt after the login.
  settings.ConnectionTimeout(-5);
  settings.GetConnection();
  EXPECT_FALSE(settings.ConnectingResult());
  EXPECT_FALSE(settings.ConnectingError().empty());
}

// A server that demands encryption which the driver does not get to give: the dialog's message
// tells the driver's reasons, not just that it could not connect.
TEST(EncryptionTest, AServerThatRequiresEncryptionFailsTheAttemptWithItsReasons) {
  TestServer server({.args = {"--require-encryption"}, .wireLog = true});
  SQLServer settings = SettingsFor(server, server.Password());
  EXPECT_FALSE(settings.GetConnection()->IsOpen());
  EXPECT_FALSE(settings.ConnectingResult());
  EXPECT_EQ(basSQLServer::ConnectFailureMessage(settings.ConnectingError()),
            "サーバーに接続できません。\r\nUnable to connect to data source\r\nUnexpected EOF from "
            "the server\r\nAdaptive Server connection failed\r\n\r\nサーバーに接続できないのは以下"
            "の原因が考えられます。\r\n・サーバー名、インスタンス名に誤りがある。\r\n・ユーザー名"
            "、パスワードに誤りがある。\r\n・サーバー側のファイアーウォールの設定が不十分である。");
  const auto log = server.WireLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().value("encryption", ""), "required");
}

TEST(InstanceNameTest, AServerNameWithAnInstanceIsResolvedThroughTheBrowser) {
  TestServer server({.address = "127.0.0.31", .instance = "VORNAINSTANCE2"});
  SQLServer settings = SettingsFor(server, server.Password());
  settings.DataSource("127.0.0.31\\VORNAINSTANCE2");
  settings.GetConnection();
  EXPECT_TRUE(settings.ConnectingResult()) << settings.ConnectingError();
}

}  // namespace
