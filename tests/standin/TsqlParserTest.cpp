// Statement boundaries and syntax errors of the stand-in's T-SQL parser, and seed splitting.
#include <gtest/gtest.h>

#include "seed.hpp"
#include "sql_errors.hpp"
#include "tsql_parser.hpp"

namespace standin {
namespace {

using tsql::StatementKind;

std::vector<StatementKind> kinds(std::string_view sql) {
  std::vector<StatementKind> result;
  for (const auto& statement : tsql::parse_batch(sql)) result.push_back(statement.kind);
  return result;
}

SqlError syntax_error(std::string_view sql) {
  try {
    tsql::parse_batch(sql);
  } catch (const SqlError& error) {
    return error;
  }
  ADD_FAILURE() << "no error for: " << sql;
  return errors::internal("none");
}

TEST(TsqlParserTest, StatementsNeedNoSeparators) {
  const auto statements = tsql::parse_batch(
      "UPDATE A SET X = 'a' WHERE K = 0005\r\nUPDATE B SET Y = N'b', Z = 1 WHERE K = 0005\r\n");
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0].kind, StatementKind::Update);
  EXPECT_EQ(statements[1].kind, StatementKind::Update);
  EXPECT_EQ(statements[1].line, 2);
  EXPECT_EQ(statements[1].assignments.size(), 2u);
  EXPECT_EQ(statements[0].target().object(), "A");
}

TEST(TsqlParserTest, SubqueriesUnionsAndInsertSelectStayInOneStatement) {
  EXPECT_EQ(kinds("INSERT INTO t SELECT a FROM u UNION ALL SELECT b FROM v SELECT 1"),
            (std::vector{StatementKind::Insert, StatementKind::Select}));
  EXPECT_EQ(kinds("SELECT (SELECT COUNT(*) FROM t) + 1 FROM u WHERE x IN (SELECT y FROM v)"
                  " AND EXISTS (SELECT 1 FROM w) DELETE FROM t WHERE k = 1"),
            (std::vector{StatementKind::Select, StatementKind::Delete}));
  EXPECT_EQ(kinds("SELECT a b FROM t x WHERE a = 1 ORDER BY b; ; SET NOCOUNT ON"),
            (std::vector{StatementKind::Select, StatementKind::Set}));
}

TEST(TsqlParserTest, TransactionTextsOfFreeTds) {
  const auto statements = tsql::parse_batch("IF @@TRANCOUNT > 0 COMMIT BEGIN TRANSACTION");
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0].kind, StatementKind::If);
  EXPECT_EQ(statements[0].then_branch->kind, StatementKind::Commit);
  EXPECT_EQ(statements[1].kind, StatementKind::Begin);
  EXPECT_EQ(kinds("IF @@TRANCOUNT > 0 ROLLBACK"), (std::vector{StatementKind::If}));
  EXPECT_EQ(kinds("BEGIN TRAN x COMMIT TRAN x ROLLBACK WORK"),
            (std::vector{StatementKind::Begin, StatementKind::Commit, StatementKind::Rollback}));
}

TEST(TsqlParserTest, SetOptionsTediousSends) {
  const auto statements = tsql::parse_batch(
      "set ansi_nulls on\nset datefirst 7\nset dateformat mdy\nset language us_english\n"
      "set textsize 2147483647\nset transaction isolation level read committed\nset xact_abort "
      "off");
  EXPECT_EQ(statements.size(), 7u);
}

TEST(TsqlParserTest, QuotedNamesAreUnescaped) {
  EXPECT_EQ(tsql::parse_batch("USE [a]]b]").front().name, "a]b");
  EXPECT_EQ(tsql::parse_batch("USE \"q\"\"x\"").front().name, "q\"x");
  const auto select = tsql::parse_batch("SELECT * FROM [dbo].[T x] -- [note\n/* ' */");
  EXPECT_EQ(select.front().query->cores.front().from.front().name.parts,
            (std::vector<std::string>{"dbo", "T x"}));
}

TEST(TsqlParserTest, SyntaxErrorsNameTheToken) {
  const auto near = [](std::string_view sql) {
    const auto error = syntax_error(sql);
    return std::to_string(error.number()) + " " + error.message().text;
  };
  EXPECT_EQ(near("SELECT 1 2"), "102 Incorrect syntax near '2'.");
  EXPECT_EQ(near("UPDATE T SET WHERE x = 1"), "156 Incorrect syntax near the keyword 'WHERE'.");
  EXPECT_EQ(near("SELECT * FROM t WHERE"), "102 Incorrect syntax near 'WHERE'.");
  EXPECT_EQ(near("SELECT 'abc"), "105 Unclosed quotation mark after the character string 'abc'.");
  EXPECT_EQ(near("SELECT 1 /* open"), "113 Missing end comment mark '*/'.");
  EXPECT_EQ(syntax_error("SELECT 1\n\nFROM FROM").line(), 3);
  EXPECT_EQ(syntax_error("SELECT 1 2").reach(), ErrorReach::Compile);
}

TEST(TsqlParserTest, ProcedureNameAloneOnlyAtBatchStart) {
  EXPECT_EQ(kinds("sp_who 1"), (std::vector{StatementKind::Exec}));
  EXPECT_EQ(syntax_error("SET NOCOUNT ON sp_who").message().text,
            "Incorrect syntax near 'sp_who'.");
}

TEST(TsqlParserTest, CollateClausesOfDatabasesAndColumns) {
  EXPECT_EQ(tsql::parse_batch("CREATE DATABASE d COLLATE Latin1_General_CI_AS").front().collation,
            "Latin1_General_CI_AS");
  EXPECT_EQ(tsql::parse_batch("CREATE DATABASE d USE d").front().collation, "");
  const auto table = tsql::parse_batch(
      "CREATE TABLE t (a varchar(5) COLLATE Japanese_XJIS_140_CI_AS_UTF8 NOT NULL,"
      " b nchar(2) NULL COLLATE database_default, c int)");
  ASSERT_EQ(table.front().definitions.size(), 3u);
  EXPECT_EQ(table.front().definitions[0].collation, "Japanese_XJIS_140_CI_AS_UTF8");
  EXPECT_EQ(table.front().definitions[0].nullable, false);
  EXPECT_EQ(table.front().definitions[1].collation, "");
  EXPECT_EQ(tsql::parse_batch("ALTER TABLE t ADD x char(1) COLLATE Greek_CI_AS")
                .front()
                .definitions.front()
                .collation,
            "Greek_CI_AS");
  const auto unknown = syntax_error("SELECT 1\nCREATE TABLE t (a varchar(5) COLLATE Elvish_CI_AS)");
  EXPECT_EQ(std::to_string(unknown.number()) + " " + unknown.message().text,
            "448 Invalid collation 'Elvish_CI_AS'.");
  EXPECT_EQ(unknown.line(), 2);
  EXPECT_EQ(unknown.reach(), ErrorReach::Compile);
  EXPECT_EQ(syntax_error("CREATE DATABASE d COLLATE").number(), 102);
  EXPECT_EQ(syntax_error("SELECT 'a' COLLATE Latin1_General_CI_AS").number(), 156);
}

TEST(SeedScriptTest, SplitsAtGoLinesOnly) {
  const auto batches = split_script(
      "\xEF\xBB\xBF"
      "CREATE TABLE go_table (x int)\r\n GO \r\nSELECT 'GO'\ngo\n\nGO\nPRINT 1");
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0].sql, "CREATE TABLE go_table (x int)\r\n");
  EXPECT_EQ(batches[1].sql, "SELECT 'GO'\n");
  EXPECT_EQ(batches[1].first_line, 3);
  EXPECT_EQ(batches[2].sql, "PRINT 1");
  EXPECT_EQ(batches[2].first_line, 7);
}

}  // namespace
}  // namespace standin
