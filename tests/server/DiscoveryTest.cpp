// Finding the products' company databases by their name patterns.
#include <gtest/gtest.h>

#include "bankname/CompanyDatabases.hpp"
#include "support/TestServer.hpp"

namespace {

using basCommon::GetCompanyDatabases;
using Names = std::vector<std::string>;

std::string CreateDatabases(const Names& names) {
  std::string seed;
  for (const auto& name : names) seed += "CREATE DATABASE " + name + "\nGO\n";
  return seed;
}

TEST(DiscoveryTest, EachProductGetsItsOwnDatabasesInServerOrder) {
  support::TestServer server(
      {.seed = CreateDatabases({"zarvekkdat02", "qnt8dat01", "qntdat99", "QNT7DATA", "qnt1def",
                                "qnt12def", "zarvekkbank", "zarvekkbank2", "qnt4dat",
                                "zarvekkdat01", "xqnt8dat01", "qnt8sys", "zarvekksys"})});
  auto connection = server.Connect();
  EXPECT_EQ(GetCompanyDatabases(*connection, "NOTARA"),
            (Names{"qnt8dat01", "QNT7DATA", "qnt1def", "qnt4dat"}));
  EXPECT_EQ(GetCompanyDatabases(*connection, "VOSTREL"),
            (Names{"zarvekkdat02", "zarvekkbank", "zarvekkdat01"}));
  EXPECT_EQ(support::CurrentDatabase(*connection), "master");
}

TEST(DiscoveryTest, EachProductIsOneQueryOfItsPatterns) {
  support::TestServer server({.wireLog = true});
  auto connection = server.Connect();
  GetCompanyDatabases(*connection, "NOTARA");
  EXPECT_EQ(server.Batches().back(),
            "SELECT name FROM sys.databases WHERE name LIKE 'qnt_dat%' OR name LIKE 'qnt_def'");
  GetCompanyDatabases(*connection, "VOSTREL");
  EXPECT_EQ(server.Batches().back(),
            "SELECT name FROM sys.databases WHERE name LIKE 'zarvekkdat%' OR name LIKE "
            "'zarvekkbank'");
}

// Under a case-sensitive server collation the system view is named as SQL Server names it, and
// the patterns' letter case counts.
TEST(DiscoveryTest, ACaseSensitiveServerIsAskedInItsOwnSpelling) {
  support::TestServer server({.seed = CreateDatabases({"qnt8dat01", "zarvekkbank"}),
                              .args = {"--collation", "Latin1_General_CS_AS"}});
  auto connection = server.Connect();
  EXPECT_EQ(GetCompanyDatabases(*connection, "NOTARA"), Names{"qnt8dat01"});
  EXPECT_EQ(GetCompanyDatabases(*connection, "VOSTREL"), Names{"zarvekkbank"});
}

TEST(DiscoveryTest, AServerWithoutCompanyDatabasesGivesEmptyLists) {
  support::TestServer server({.seed = CreateDatabases({"qnt8sys", "other"})});
  auto connection = server.Connect();
  EXPECT_TRUE(GetCompanyDatabases(*connection, "NOTARA").empty());
  EXPECT_TRUE(GetCompanyDatabases(*connection, "VOSTREL").empty());
  EXPECT_THROW(GetCompanyDatabases(*connection, "notara"), std::invalid_argument);
}

}  // namespace
