// The OLE DB connection string of the settings object and its translation for ODBC drivers.
#include <gtest/gtest.h>

#include "sqlserver/SQLServer.hpp"

namespace {

basSQLServer::Stored Settings(bool secure, const std::string& source, std::int32_t timeout) {
  return {.LoginSecure = secure,
          .DataSource = source,
          .InitialCatalog = "master",
          .UserID = "user01",
          .Password = "p}w",
          .ConnectionTimeout = timeout};
}

TEST(ConnectionStringTest, FragmentsInTheOrderOfEachAuthenticationWithValuesVerbatim) {
  const std::pair<basSQLServer::Stored, std::string> cases[] = {
      {Settings(true, "S", 15),
       "PROVIDER = SQLOLEDB.1;Integrated Security = SSPI;Persist Security Info = False;"
       "Data Source = S;Initial Catalog = master;LoginSecure = True;Connect Timeout = 15;"},
      {Settings(false, "a;b=c", -5),
       "PROVIDER = SQLOLEDB.1;Persist Security Info = False;Data Source = a;b=c;"
       "User ID = user01;Password = p}w;Initial Catalog = master;LoginSecure = False;"
       "Connect Timeout = -5;"},
  };
  for (const auto& [settings, expected] : cases) {
    EXPECT_EQ(basSQLServer::ConnectionString(settings), expected);
  }
}

TEST(TranslateTest, EachDriverGetsItsQuotingAndOptions) {
  const auto translated = [](bool secure, const std::string& password, const char* driver) {
    auto settings = Settings(secure, "host\\INST", 15);
    settings.Password = password;
    return odbc::Translate(basSQLServer::ConnectionProperties(settings), driver).connectionString;
  };
  EXPECT_EQ(translated(false, "a;b={c}=d}", "FreeTDS"),
            "Driver={FreeTDS};Server={host\\INST};UID={user01};PWD={a;b={c}=d}};"
            "Database={master};TDS_Version=7.4;Encryption=request;");
  EXPECT_EQ(translated(false, "a}b", "ODBC Driver 18 for SQL Server"),
            "Driver={ODBC Driver 18 for SQL Server};Server={host\\INST};UID={user01};"
            "PWD={a}}b};Database={master};Encrypt=no;TrustServerCertificate=yes;");
  EXPECT_EQ(translated(true, "x", "SQL Server"),
            "Driver={SQL Server};Server={host\\INST};Database={master};Trusted_Connection=Yes;");
  // Either keyword alone asks for Windows authentication.
  for (const auto& property : {odbc::Properties{{"LoginSecure", "True"}},
                               odbc::Properties{{"Integrated Security", "SSPI"}}}) {
    EXPECT_EQ(odbc::Translate(property, "SQL Server").connectionString,
              "Driver={SQL Server};Trusted_Connection=Yes;");
  }
  // FreeTDS would read the value to its first "};": refused, not mangled.
  EXPECT_THROW(translated(false, "a};b", "FreeTDS"), odbc::Error);
}

TEST(TranslateTest, NoTimeOutMeansABoundedDefaultNeverNoLimit) {
  const std::pair<const char*, long> logins[] = {{"0", 15}, {"-5", 15}, {"1", 1}, {"30", 30}};
  for (const auto& [value, seconds] : logins) {
    EXPECT_EQ(odbc::Translate({{"Connect Timeout", value}}, "FreeTDS").loginTimeout, seconds);
  }
  for (const char* value : {"x", "15s", ""}) {
    EXPECT_THROW(odbc::Translate({{"Connect Timeout", value}}, "FreeTDS"), odbc::Error) << value;
  }
  odbc::Connection connection;
  EXPECT_EQ(connection.CommandTimeout(), 30);
  connection.SetCommandTimeout(1);
  connection.SetCommandTimeout(0);
  EXPECT_EQ(connection.CommandTimeout(), 30);
  connection.SetCommandTimeout(1);
  EXPECT_EQ(connection.CommandTimeout(), 1);
  EXPECT_THROW(connection.SetCommandTimeout(-1), odbc::Error);
  EXPECT_EQ(connection.CommandTimeout(), 1);
}

}  // namespace
