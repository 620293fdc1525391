// Texts and severities of the SQL Server messages the stand-in raises.
#include "sql_errors.hpp"

#include <string>

namespace standin {

SqlError::SqlError(int number, int severity, int state, std::string text, ErrorReach reach)
    : std::runtime_error(text), message_{number, state, severity, std::move(text)}, reach_(reach) {}

namespace errors {
namespace {

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

SqlError statement_error(int number, int severity, int state, std::string text) {
  return {number, severity, state, std::move(text), ErrorReach::Statement};
}
SqlError batch_error(int number, int severity, int state, std::string text) {
  return {number, severity, state, std::move(text), ErrorReach::Batch};
}
// Conversion errors and deadlocks abort the batch and roll back its transaction, even with
// XACT_ABORT OFF.
SqlError transaction_error(int number, int severity, int state, std::string text) {
  return {number, severity, state, std::move(text), ErrorReach::Transaction};
}
SqlError compile_error(int number, int severity, int state, std::string text) {
  return {number, severity, state, std::move(text), ErrorReach::Compile};
}

}  // namespace

SqlError syntax_near(std::string_view token) {
  return compile_error(102, 15, 1, "Incorrect syntax near " + quoted(token) + ".");
}
SqlError syntax_near_keyword(std::string_view keyword) {
  return compile_error(156, 15, 1, "Incorrect syntax near the keyword " + quoted(keyword) + ".");
}
SqlError unclosed_quote(std::string_view rest) {
  return compile_error(105, 15, 1,
                       "Unclosed quotation mark after the character string " + quoted(rest) + ".");
}
SqlError missing_end_comment() {
  return compile_error(113, 15, 1, "Missing end comment mark '*/'.");
}
SqlError undeclared_variable(std::string_view name) {
  return compile_error(137, 15, 2,
                       "Must declare the scalar variable \"" + std::string(name) + "\".");
}
SqlError invalid_column(std::string_view name) {
  return compile_error(207, 16, 1, "Invalid column name " + quoted(name) + ".");
}
SqlError invalid_object(std::string_view name) {
  return batch_error(208, 16, 1, "Invalid object name " + quoted(name) + ".");
}
SqlError unbound_identifier(std::string_view name) {
  return compile_error(
      4104, 16, 1, "The multi-part identifier \"" + std::string(name) + "\" could not be bound.");
}
SqlError unknown_function(std::string_view name) {
  return compile_error(195, 15, 10, quoted(name) + " is not a recognized built-in function name.");
}
SqlError unknown_type(int column, std::string_view name) {
  return compile_error(2715, 16, 6,
                       "Column, parameter, or variable #" + std::to_string(column) +
                           ": Cannot find data type " + std::string(name) + ".");
}
SqlError invalid_collation(std::string_view name) {
  return compile_error(448, 16, 1, "Invalid collation " + quoted(name) + ".");
}
SqlError collate_on_type(std::string_view type) {
  return compile_error(447, 16, 1,
                       "Expression type " + std::string(type) + " is invalid for COLLATE clause.");
}
SqlError wrong_argument_count(std::string_view function, int expected) {
  return compile_error(174, 15, 1,
                       "The " + std::string(function) + " function requires " +
                           std::to_string(expected) + " argument(s).");
}
SqlError more_columns_than_values() {
  return compile_error(109, 15, 1,
                       "There are more columns in the INSERT statement than values specified in "
                       "the VALUES clause. The number of values in the VALUES clause must match "
                       "the number of columns specified in the INSERT statement.");
}
SqlError fewer_columns_than_values() {
  return compile_error(110, 15, 1,
                       "There are fewer columns in the INSERT statement than values specified in "
                       "the VALUES clause. The number of values in the VALUES clause must match "
                       "the number of columns specified in the INSERT statement.");
}
SqlError conversion_failed(std::string_view source_type, std::string_view value,
                           std::string_view target_type) {
  return transaction_error(245, 16, 1,
                           "Conversion failed when converting the " + std::string(source_type) +
                               " value " + quoted(value) + " to data type " +
                               std::string(target_type) + ".");
}
SqlError conversion_overflow(std::string_view source_type, std::string_view value,
                             std::string_view target_type) {
  return transaction_error(248, 16, 1,
                           "The conversion of the " + std::string(source_type) + " value " +
                               quoted(value) + " overflowed an " + std::string(target_type) +
                               " column.");
}
SqlError arithmetic_overflow(std::string_view type, std::string_view value) {
  return batch_error(220, 16, 2,
                     "Arithmetic overflow error for data type " + std::string(type) +
                         ", value = " + std::string(value) + ".");
}
SqlError null_not_allowed(std::string_view column, std::string_view table, std::string_view verb) {
  return statement_error(515, 16, 2,
                         "Cannot insert the value NULL into column " + quoted(column) + ", table " +
                             quoted(table) + "; column does not allow nulls. " + std::string(verb) +
                             " fails.");
}
SqlError duplicate_key(std::string_view constraint, std::string_view object) {
  return statement_error(2627, 14, 1,
                         "Violation of PRIMARY KEY constraint " + quoted(constraint) +
                             ". Cannot insert duplicate key in object " + quoted(object) + ".");
}
SqlError truncation(std::string_view table, std::string_view column, std::string_view value) {
  return statement_error(2628, 16, 1,
                         "String or binary data would be truncated in table " + quoted(table) +
                             ", column " + quoted(column) + ". Truncated value: " + quoted(value) +
                             ".");
}
SqlError database_missing(std::string_view name) {
  return statement_error(911, 16, 1,
                         "Database " + quoted(name) +
                             " does not exist. Make sure that the name is entered correctly.");
}
SqlError database_offline(std::string_view name) {
  return statement_error(942, 14, 4,
                         "Database " + quoted(name) + " cannot be opened because it is offline.");
}
SqlError database_restoring(std::string_view name) {
  return statement_error(
      927, 14, 2,
      "Database " + quoted(name) + " cannot be opened. It is in the middle of a restore.");
}
SqlError database_single_user(std::string_view name) {
  return statement_error(
      924, 14, 1,
      "Database " + quoted(name) + " is already open and can only have one user at a time.");
}
SqlError database_read_only(std::string_view name) {
  return statement_error(
      3906, 16, 1,
      "Failed to update database \"" + std::string(name) + "\" because the database is read-only.");
}
SqlError cannot_alter_database(std::string_view name) {
  return statement_error(5011, 14, 5,
                         "User does not have permission to alter database " + quoted(name) +
                             ", the database does not exist, or the database is not in a state "
                             "that allows access checks.");
}
SqlError database_exists(std::string_view name) {
  return statement_error(
      1801, 16, 3,
      "Database " + quoted(name) + " already exists. Choose a different database name.");
}
SqlError database_in_use(std::string_view name) {
  return statement_error(
      3702, 16, 4,
      "Cannot drop database \"" + std::string(name) + "\" because it is currently in use.");
}
SqlError cannot_drop_database(std::string_view name) {
  return statement_error(3701, 11, 1,
                         "Cannot drop the database " + quoted(name) +
                             ", because it does not exist or you do not have permission.");
}
SqlError cannot_drop_table(std::string_view name) {
  return statement_error(3701, 11, 5,
                         "Cannot drop the table " + quoted(name) +
                             ", because it does not exist or you do not have permission.");
}
SqlError object_exists(std::string_view name) {
  return statement_error(2714, 16, 6,
                         "There is already an object named " + quoted(name) + " in the database.");
}
SqlError column_exists(std::string_view column, std::string_view table) {
  return statement_error(2705, 16, 4,
                         "Column names in each table must be unique. Column name " +
                             quoted(column) + " in table " + quoted(table) +
                             " is specified more than once.");
}
SqlError not_in_transaction(std::string_view statement) {
  return statement_error(
      226, 16, 6,
      std::string(statement) + " statement not allowed within multi-statement transaction.");
}
SqlError commit_without_begin() {
  return statement_error(3902, 16, 1,
                         "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}
SqlError rollback_without_begin() {
  return statement_error(
      3903, 16, 1, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}
SqlError lock_timeout() {
  return statement_error(1222, 16, 56, "Lock request time out period exceeded.");
}
SqlError deadlock_victim(int spid) {
  return transaction_error(1205, 13, 45,
                           "Transaction (Process ID " + std::to_string(spid) +
                               ") was deadlocked on lock resources with another process and has "
                               "been chosen as the deadlock victim. Rerun the transaction.");
}
SqlError unsupported(std::string_view what) {
  return compile_error(40000, 16, 1,
                       "The stand-in server does not support " + std::string(what) + ".");
}
SqlError internal(std::string_view what) {
  return statement_error(50000, 16, 1, "Stand-in server failure: " + std::string(what));
}

SqlError no_table_for_star() {
  return compile_error(263, 16, 1, "Must specify table to select from.");
}
SqlError session_ended() {
  return batch_error(4014, 20, 11,
                     "A fatal error occurred while reading the input stream from the network. "
                     "The session will be terminated (input error: 10054, output error: 0).");
}

SqlError injected(int number) {
  switch (number) {
    case 1205:
      return deadlock_victim(51);
    case 4014:
      return session_ended();
    default:
      return batch_error(number, 16, 1,
                         "Error " + std::to_string(number) + " raised by the stand-in server.");
  }
}

ServerMessage login_failed(std::string_view user) {
  return {18456, 1, 14, "Login failed for user " + quoted(user) + "."};
}
ServerMessage login_database_unavailable(std::string_view database) {
  return {4060, 1, 11,
          "Cannot open database \"" + std::string(database) +
              "\" requested by the login. The login failed."};
}
ServerMessage integrated_login_refused() {
  return {18452, 1, 14,
          "Login failed. The login is from an untrusted domain and cannot be used with "
          "Integrated authentication."};
}
ServerMessage database_changed(std::string_view database, int state) {
  return {5701, state, 0, "Changed database context to " + quoted(database) + "."};
}
ServerMessage language_changed() { return {5703, 1, 0, "Changed language setting to us_english."}; }
ServerMessage statement_terminated() { return {3621, 0, 0, "The statement has been terminated."}; }

}  // namespace errors
}  // namespace standin
