// The ODBC access layer against the test server, through the installed driver.
#include <gtest/gtest.h>

#include "support/TestServer.hpp"

namespace {

using support::TestServer;

long NativeErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const odbc::Error& e) {
    return e.NativeError();
  }
  return 0;
}

odbc::Properties Login(const TestServer& server, const std::string& user,
                       const std::string& password) {
  return {{"Data Source", server.DataSource()},
          {"User ID", user},
          {"Password", password},
          {"Initial Catalog", "master"},
          {"Connect Timeout", "10"}};
}

const char* const kSeed = R"(CREATE DATABASE shop
GO
USE shop
CREATE TABLE dbo.Item (Id int NOT NULL, Name nvarchar(20) NULL, Code char(4) NULL)
INSERT INTO Item (Id, Name, Code) VALUES (1, N'みらい', '0005'), (2, NULL, '12'), (3, N'B', 'xy')
CREATE TABLE Codes (Code varchar(4))
INSERT INTO Codes VALUES ('0005'), ('12')
)";

class AccessLayerTest : public testing::Test {
 protected:
  TestServer server_{{.seed = kSeed}};
};

TEST_F(AccessLayerTest, TheInstalledDriverReadsRowsNullsAndJapaneseText) {
  EXPECT_EQ(odbc::InstalledDriver(), "FreeTDS");
  auto connection = server_.Connect("shop");
  const auto results = connection->Execute("SELECT Id, Name, Code FROM Item ORDER BY Id");
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].columns, (std::vector<std::string>{"Id", "Name", "Code"}));
  ASSERT_EQ(results[0].rows.size(), 3u);
  EXPECT_EQ(results[0].rows[0][1], "みらい");
  EXPECT_EQ(results[0].rows[1][1], std::nullopt);
  EXPECT_EQ(results[0].rows[1][2], "12  ");  // char(4) is blank-padded
  // A character column compared with a number is compared as a number.
  EXPECT_EQ(odbc::QueryNumber(*connection, "SELECT COUNT(*) FROM Codes WHERE Code = 5"), 1);
  EXPECT_EQ(odbc::QueryNumber(*connection, "SELECT COUNT(*) FROM Codes WHERE Code = 0012"), 1);
}

TEST_F(AccessLayerTest, EveryStatementOfABatchIsAResult) {
  auto connection = server_.Connect("shop");
  const auto results = connection->Execute(
      "UPDATE Item SET Name = N'x' WHERE Id = 1\r\nSELECT COUNT(*) FROM Item\r\n"
      "DELETE FROM Item WHERE Id > 5\r\n");
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].rowsAffected, 1);
  EXPECT_EQ(results[1].rows.at(0).at(0), "3");
  EXPECT_EQ(results[2].rowsAffected, 0);
}

TEST_F(AccessLayerTest, AnErrorInALaterStatementIsRaisedAndTheConnectionStaysUsable) {
  auto connection = server_.Connect("shop");
  // The first statement changes no row, which ODBC reports as "no data".
  for (const char* first :
       {"UPDATE Item SET Name = N'y' WHERE Id = 1", "UPDATE Item SET Name = N'y' WHERE Id = 99"}) {
    EXPECT_EQ(NativeErrorOf([&] {
                connection->Execute(std::string(first) + "\r\nUPDATE NoSuchTable SET A = 1\r\n");
              }),
              208)
        << first;
  }
  EXPECT_EQ(
      NativeErrorOf([&] {
        connection->Execute("SELECT 1\r\nSELECT 2\r\nSELECT 3\r\nSELECT NoSuchColumn FROM Item");
      }),
      207);
  EXPECT_EQ(
      NativeErrorOf([&] { connection->Execute("UPDATE Item SET Name = 'z' WHERE Code = 1"); }),
      245);
  // Descriptions of about the first buffer's 512 units (FreeTDS's prefix and the text around
  // the value take 93 of them), and longer, are read whole.
  for (const std::size_t length : {417u, 418u, 419u, 420u, 421u, 600u}) {
    const std::string value(length, 'x');
    try {
      connection->Execute("UPDATE Item SET Name = 'z' WHERE Id = '" + value + "'");
      FAIL() << "no error";
    } catch (const odbc::Error& e) {
      EXPECT_EQ(std::string(e.what()), "Conversion failed when converting the varchar value '" +
                                           value + "' to data type int.")
          << length;
    }
  }
  EXPECT_EQ(odbc::QueryNumber(*connection, "SELECT COUNT(*) FROM Item"), 3);
}

// A "]" in a quoted name is doubled, and one in the server's text is not taken for a prefix.
TEST(CurrentDatabaseTest, ABracketedNameIsTheServersAndItsTextKept) {
  TestServer server({.seed = kSeed, .wireLog = true});
  auto connection = server.Connect();
  connection->Execute("USE " + odbc::QuoteIdentifier("shop"));
  EXPECT_EQ(support::CurrentDatabase(*connection), "shop");
  EXPECT_EQ(NativeErrorOf([&] { connection->Execute("USE " + odbc::QuoteIdentifier("nodb")); }),
            911);
  try {
    connection->Execute("USE " + odbc::QuoteIdentifier("no]db"));
    FAIL() << "no error";
  } catch (const odbc::Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Database 'no]db' does not exist. Make sure that the name is entered correctly.");
  }
  EXPECT_EQ(server.Batches().back(), "USE [no]]db]");
  EXPECT_EQ(support::CurrentDatabase(*connection), "shop");
}

TEST_F(AccessLayerTest, CommitKeepsAndRollbackDiscards) {
  auto connection = server_.Connect("shop");
  auto checker = server_.Connect("shop");
  {
    odbc::Transaction transaction(*connection);
    transaction.Execute("UPDATE Item SET Name = N'kept' WHERE Id = 1");
    transaction.Commit();
  }
  {
    odbc::Transaction transaction(*connection);
    transaction.Execute("UPDATE Item SET Name = N'gone' WHERE Id = 2\r\nDELETE FROM Item");
  }
  {
    // A try changes and undoes in one request, and answers what its statements changed.
    odbc::Transaction transaction(*connection);
    const auto results = transaction.Try("UPDATE Item SET Name = N'tried' WHERE Id = 3");
    EXPECT_EQ(results.back().rowsAffected, 1);
  }
  EXPECT_EQ(odbc::QueryNumber(*connection, "SELECT @@TRANCOUNT"), 0);
  const auto rows = checker->Execute("SELECT Name FROM Item ORDER BY Id").at(0).rows;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "kept");
  EXPECT_EQ(rows[1][0], std::nullopt);
  EXPECT_EQ(rows[2][0], "B");
}

// A conversion error rolls the transaction back on the server: the error is the one raised,
// ending the transaction raises nothing more, and the connection is out of any transaction.
TEST_F(AccessLayerTest, ATransactionTheServerRolledBackEndsWithTheOriginalError) {
  auto connection = server_.Connect("shop");
  {
    odbc::Transaction transaction(*connection);
    EXPECT_EQ(NativeErrorOf([&] {
                transaction.Execute(
                    "UPDATE Item SET Name = N'first' WHERE Id = 1\r\n"
                    "UPDATE Item SET Name = N'second' WHERE Code = 12");
              }),
              245);
  }
  EXPECT_EQ(odbc::QueryNumber(*connection, "SELECT @@TRANCOUNT"), 0);
  EXPECT_EQ(connection->Execute("SELECT Name FROM Item WHERE Id = 1").at(0).rows.at(0).at(0),
            "みらい");
  {
    odbc::Transaction transaction(*connection);
    EXPECT_EQ(NativeErrorOf([&] {
                transaction.Execute("UPDATE Item SET Name = N'x' WHERE Code = 5");
                transaction.Commit();
              }),
              245);
  }
  EXPECT_EQ(odbc::QueryNumber(*connection, "SELECT COUNT(*) FROM Item WHERE Name = N'x'"), 0);
}

class HeldServerTest : public testing::Test {
 protected:
  TestServer server_{{.args = {"--hold", "WAITING:10"}}};
};

TEST_F(HeldServerTest, TheCommandTimeOutCancelsAStatementAndTheConnectionStaysUsable) {
  auto connection = server_.Connect();
  connection->SetCommandTimeout(1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(connection->Execute("SELECT 'WAITING'"), odbc::Error);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
  EXPECT_EQ(odbc::QueryNumber(*connection, "SELECT 5"), 5);
  EXPECT_THROW(connection->SetCommandTimeout(-1), odbc::Error);
}

TEST(OddPasswordTest, APasswordWithSemicolonBracesAndEqualsLogsIn) {
  const std::string password = "p;a{s}s=w}o{rd;";
  TestServer server({.args = {"--login", "odd:" + password}});
  odbc::Connection connection;
  connection.Open(Login(server, "odd", password));
  EXPECT_TRUE(connection.IsOpen());
}

TEST(UnreachableServerTest, FailsWithinTheLoginTimeOut) {
  // A listener that never answers: the driver waits for the login reply until the time-out.
  support::SilentListener listener;
  odbc::Connection connection;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(connection.Open({{"Data Source", listener.DataSource()},
                                {"User ID", "sa"},
                                {"Password", "x"},
                                {"Connect Timeout", "2"}}),
               odbc::Error);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_FALSE(connection.IsOpen());
}

}  // namespace
