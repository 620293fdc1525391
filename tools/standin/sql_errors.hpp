// Server messages with SQL Server's numbers, classes, states and texts, and how far an error
// reaches into the batch that raised it.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace standin {

struct ServerMessage {
  int number = 0;
  int state = 1;
  int severity = 0;
  std::string text;
};

// Compile: the batch fails before anything runs. Batch: the rest of the batch is skipped.
// Transaction: as Batch, and the open transaction is rolled back. Statement: only the failing
// statement ends.
enum class ErrorReach { Statement, Batch, Transaction, Compile };

class SqlError : public std::runtime_error {
 public:
  SqlError(int number, int severity, int state, std::string text, ErrorReach reach);

  const ServerMessage& message() const noexcept { return message_; }
  int number() const noexcept { return message_.number; }
  ErrorReach reach() const noexcept { return reach_; }
  void set_reach(ErrorReach reach) noexcept { reach_ = reach; }
  // Line of the batch the error belongs to; 0 until known.
  int line() const noexcept { return line_; }
  void set_line(int line) noexcept { line_ = line; }

 private:
  ServerMessage message_;
  ErrorReach reach_;
  int line_ = 0;
};

namespace errors {

SqlError syntax_near(std::string_view token);
SqlError syntax_near_keyword(std::string_view keyword);
SqlError unclosed_quote(std::string_view rest);
SqlError missing_end_comment();
SqlError undeclared_variable(std::string_view name);
SqlError invalid_column(std::string_view name);
SqlError invalid_object(std::string_view name);
SqlError unbound_identifier(std::string_view name);
SqlError unknown_function(std::string_view name);
SqlError unknown_type(int column, std::string_view name);
SqlError invalid_collation(std::string_view name);
SqlError collate_on_type(std::string_view type);
SqlError wrong_argument_count(std::string_view function, int expected);
SqlError more_columns_than_values();
SqlError fewer_columns_than_values();
SqlError conversion_failed(std::string_view source_type, std::string_view value,
                           std::string_view target_type);
SqlError conversion_overflow(std::string_view source_type, std::string_view value,
                             std::string_view target_type);
SqlError arithmetic_overflow(std::string_view type, std::string_view value);
SqlError null_not_allowed(std::string_view column, std::string_view table, std::string_view verb);
SqlError duplicate_key(std::string_view constraint, std::string_view object);
SqlError truncation(std::string_view table, std::string_view column, std::string_view value);
SqlError database_missing(std::string_view name);
SqlError database_offline(std::string_view name);
SqlError database_restoring(std::string_view name);
SqlError database_single_user(std::string_view name);
SqlError database_read_only(std::string_view name);
SqlError cannot_alter_database(std::string_view name);
SqlError database_exists(std::string_view name);
SqlError database_in_use(std::string_view name);
SqlError cannot_drop_database(std::string_view name);
SqlError cannot_drop_table(std::string_view name);
SqlError object_exists(std::string_view name);
SqlError column_exists(std::string_view column, std::string_view table);
SqlError not_in_transaction(std::string_view statement);
SqlError commit_without_begin();
SqlError rollback_without_begin();
SqlError lock_timeout();
SqlError deadlock_victim(int spid);
SqlError unsupported(std::string_view what);
SqlError internal(std::string_view what);
SqlError no_table_for_star();
// Severity 20: the server ends the session after it.
SqlError session_ended();

// An error chosen by number on the command line; 1205 and 4014 get their real texts.
SqlError injected(int number);

// Login failures and the informational messages of a successful login.
ServerMessage login_failed(std::string_view user);
ServerMessage login_database_unavailable(std::string_view database);
ServerMessage integrated_login_refused();
ServerMessage database_changed(std::string_view database, int state);
ServerMessage language_changed();
ServerMessage statement_terminated();

}  // namespace errors
}  // namespace standin
