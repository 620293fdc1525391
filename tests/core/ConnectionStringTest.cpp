// The OLE DB connection string of the settings object and its translation for ODBC drivers.
#include <gtest/gtest.h>

#include "sqlserver/SQLServer.hpp"

namespace {

SQLServer Settings(bool secure, const std::string& source, std::int32_t timeout) {
  SQLServer server;
  server.DataSource(source);
  server.LoginSecure(secure);
  server.InitialCatalog("master");
  server.UserID("user01");
  server.Password("pw");
  server.ConnectionTimeout(timeout);
  return server;
}

TEST(ConnectionStringTest, WindowsAuthenticationLeavesTheLoginOut) {
  EXPECT_EQ(Settings(true, "S", 15).ConnectionString(),
            "PROVIDER = SQLOLEDB.1;Integrated Security = SSPI;Persist Security Info = False;"
            "Data Source = S;Initial Catalog = master;LoginSecure = True;Connect Timeout = 15;");
}

TEST(ConnectionStringTest, SqlServerAuthenticationPutsTheLoginBeforeTheCatalog) {
  EXPECT_EQ(Settings(false, "S", 15).ConnectionString(),
            "PROVIDER = SQLOLEDB.1;Persist Security Info = False;Data Source = S;"
            "User ID = user01;Password = pw;Initial Catalog = master;LoginSecure = False;"
            "Connect Timeout = 15;");
}

TEST(ConnectionStringTest, ValuesAreInsertedVerbatim) {
  const std::string empty = Settings(true, "", 0).ConnectionString();
  EXPECT_NE(empty.find("Data Source = ;"), std::string::npos);
  EXPECT_NE(empty.find("Connect Timeout = 0;"), std::string::npos);
  const std::string odd = Settings(false, "a;b=c", -5).ConnectionString();
  EXPECT_NE(odd.find("Data Source = a;b=c;"), std::string::npos);
  EXPECT_NE(odd.find("Connect Timeout = -5;"), std::string::npos);
}

odbc::Properties Login(const std::string& password) {
  return {{"PROVIDER", "SQLOLEDB.1"}, {"Data Source", "host\\INST"}, {"User ID", "sa"},
          {"Password", password},     {"Initial Catalog", "master"}, {"LoginSecure", "False"},
          {"Connect Timeout", "15"}};
}

TEST(TranslateTest, FreeTdsGetsBracedValuesAVersionAndOptionalEncryption) {
  const auto target = odbc::Translate(Login("a;b={c}=d}"), "FreeTDS");
  EXPECT_EQ(target.connectionString,
            "Driver={FreeTDS};Server={host\\INST};UID={sa};PWD={a;b={c}=d}};Database={master};"
            "TDS_Version=7.4;Encryption=request;");
  EXPECT_EQ(target.loginTimeout, 15);
}

TEST(TranslateTest, MicrosoftDriversDoubleTheClosingBrace) {
  const auto target = odbc::Translate(Login("a}b"), "ODBC Driver 18 for SQL Server");
  EXPECT_NE(target.connectionString.find("PWD={a}}b};"), std::string::npos);
  EXPECT_NE(target.connectionString.find("Encrypt=no;TrustServerCertificate=yes;"),
            std::string::npos);
  EXPECT_EQ(odbc::Translate(Login("x"), "SQL Server").connectionString,
            "Driver={SQL Server};Server={host\\INST};UID={sa};PWD={x};Database={master};");
}

TEST(TranslateTest, AValueFreeTdsCannotTakeIsRefusedNotMangled) {
  EXPECT_THROW(odbc::Translate(Login("a};b"), "FreeTDS"), odbc::Error);
}

TEST(TranslateTest, WindowsAuthenticationAndTimeouts) {
  basSQLServer::Stored stored;
  stored.LoginSecure = true;
  stored.UserID = "u";
  stored.Password = "p";
  stored.ConnectionTimeout = -5;
  const auto target = odbc::Translate(basSQLServer::ConnectionProperties(stored), "FreeTDS");
  EXPECT_NE(target.connectionString.find("Trusted_Connection=Yes;"), std::string::npos);
  EXPECT_EQ(target.connectionString.find("UID="), std::string::npos);
  // No time-out means a bounded default, never no limit: 15 s to connect, 30 s a request.
  EXPECT_EQ(target.loginTimeout, 15);
  EXPECT_EQ(odbc::Translate({{"Connect Timeout", "0"}}, "FreeTDS").loginTimeout, 15);
  EXPECT_EQ(odbc::Translate({{"Connect Timeout", "30"}}, "FreeTDS").loginTimeout, 30);
  EXPECT_THROW(odbc::Translate({{"Connect Timeout", "x"}}, "FreeTDS"), odbc::Error);
  odbc::Connection connection;
  EXPECT_EQ(connection.CommandTimeout(), 30);
  connection.SetCommandTimeout(0);
  EXPECT_EQ(connection.CommandTimeout(), 30);
  connection.SetCommandTimeout(1);
  EXPECT_EQ(connection.CommandTimeout(), 1);
  EXPECT_THROW(connection.SetCommandTimeout(-1), odbc::Error);
}

}  // namespace
