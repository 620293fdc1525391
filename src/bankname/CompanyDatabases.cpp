// Company databases are found by two name patterns per product.
#include "bankname/CompanyDatabases.hpp"

#include <algorithm>
#include <stdexcept>

namespace basCommon {
namespace {

bool IsNameColumn(const std::string& column) {
  return column.size() == 4 && std::equal(column.begin(), column.end(), "NAME", [](char a, char b) {
           return std::toupper(static_cast<unsigned char>(a)) == b;
         });
}

}  // namespace

// The system view and its column are spelled as SQL Server spells them: under a case-sensitive
// collation of the current database other spellings name nothing (errors 208 and 207).
std::vector<std::string> GetCompanyDatabases(odbc::Connection& connection,
                                             const std::string& product) {
  std::string sql;
  if (product == ProductNotara) {
    sql = "SELECT name FROM sys.databases WHERE name LIKE 'qnt_dat%' OR name LIKE 'qnt_def'";
  } else if (product == ProductVostrel) {
    sql = "SELECT name FROM sys.databases WHERE name LIKE 'zarvekkdat%' OR name LIKE 'zarvekkbank'";
  } else {
    throw std::invalid_argument("Unknown product: " + product);
  }
  std::vector<std::string> names;
  for (const auto& result : connection.Execute(sql)) {
    const auto column = std::find_if(result.columns.begin(), result.columns.end(), IsNameColumn);
    if (column == result.columns.end()) continue;
    const auto index = static_cast<std::size_t>(column - result.columns.begin());
    for (const auto& row : result.rows) names.push_back(row[index].value_or(""));
  }
  return names;
}

}  // namespace basCommon
