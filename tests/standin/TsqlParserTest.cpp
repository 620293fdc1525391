// Statement boundaries and syntax errors of the stand-in's T-SQL parser, and seed splitting.
#include <gtest/gtest.h>

#include "seed.hpp"
#include "sql_errors.hpp"
#include "tsql_parser.hpp"

namespace standin {
namespace {

using tsql::StatementKind;

TEST(TsqlParserTest, BatchesOfTheToolAndItsClientsSplitIntoStatements) {
  struct Case {
    const char* sql;
    std::vector<StatementKind> kinds;
  };
  const Case cases[] = {
      {"BEGIN TRANSACTION\r\nUPDATE dbo.A SET X = N'a' WHERE K = 0005\r\nUPDATE B SET Y = 'b'",
       {StatementKind::Begin, StatementKind::Update, StatementKind::Update}},
      {"IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION\r\nSELECT @@TRANCOUNT",
       {StatementKind::If, StatementKind::Select}},
      {"IF @@TRANCOUNT > 0 COMMIT BEGIN TRANSACTION", {StatementKind::If, StatementKind::Begin}},
      {"ALTER DATABASE [a]]b] SET SINGLE_USER WITH ROLLBACK IMMEDIATE\r\nDROP DATABASE [a]]b]",
       {StatementKind::AlterDatabase, StatementKind::DropDatabase}},
      {"USE d CREATE TABLE t (a int NOT NULL PRIMARY KEY, b varchar(5) COLLATE Greek_CI_AS); "
       "SET LOCK_TIMEOUT -1 -- [note\n/* ' */ SHUTDOWN WITH NOWAIT",
       {StatementKind::Use, StatementKind::CreateTable, StatementKind::Set,
        StatementKind::Shutdown}},
  };
  for (const auto& [sql, kinds] : cases) {
    std::vector<StatementKind> parsed;
    for (const auto& statement : tsql::parse_batch(sql)) parsed.push_back(statement.kind);
    EXPECT_EQ(parsed, kinds) << sql;
  }
}

TEST(TsqlParserTest, SyntaxErrorsNameTheTokenAndLine) {
  struct Case {
    const char* sql;
    const char* error;
    int line;
  };
  const Case cases[] = {
      {"SELECT 1 2", "102 Incorrect syntax near '2'.", 1},
      {"UPDATE T SET WHERE x = 1", "156 Incorrect syntax near the keyword 'WHERE'.", 1},
      {"SELECT 1\n\nFROM FROM", "156 Incorrect syntax near the keyword 'FROM'.", 3},
      {"SELECT 'abc", "105 Unclosed quotation mark after the character string 'abc'.", 1},
      {"SELECT 1 /* open", "113 Missing end comment mark '*/'.", 1},
      {"SELECT 1\nCREATE DATABASE d COLLATE Elvish_CI_AS", "448 Invalid collation 'Elvish_CI_AS'.",
       2},
  };
  for (const auto& [sql, error, line] : cases) {
    try {
      tsql::parse_batch(sql);
      ADD_FAILURE() << "no error for: " << sql;
    } catch (const SqlError& raised) {
      EXPECT_EQ(std::to_string(raised.number()) + " " + raised.message().text, error);
      EXPECT_EQ(raised.line(), line) << sql;
      EXPECT_EQ(raised.reach(), ErrorReach::Compile) << sql;
    }
  }
}

TEST(TsqlParserTest, SeedsSplitAtGoLinesOnly) {
  const auto batches = split_script(
      "\xEF\xBB\xBF"
      "CREATE TABLE go_table (x int)\r\n GO \r\nSELECT 'GO'\ngo\n\nGO\nSELECT 1");
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0].sql, "CREATE TABLE go_table (x int)\r\n");
  EXPECT_EQ(batches[1].sql, "SELECT 'GO'\n");
  EXPECT_EQ(batches[1].first_line, 3);
  EXPECT_EQ(batches[2].sql, "SELECT 1");
  EXPECT_EQ(batches[2].first_line, 7);
}

}  // namespace
}  // namespace standin
