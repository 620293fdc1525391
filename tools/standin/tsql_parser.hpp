// Parses a T-SQL batch into statements. Statements need no separators: each ends where the
// grammar cannot continue it, as in SQL Server.
#pragma once

#include <string_view>
#include <vector>

#include "tsql_ast.hpp"

namespace standin::tsql {

// Throws SqlError (102, 156, 105, ...) with ErrorReach::Compile on a syntax error.
std::vector<Statement> parse_batch(std::string_view sql);

}  // namespace standin::tsql
