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

std::vector<std::string> GetCompanyDatabases(odbc::Connection& connection,
                                             const std::string& product) {
  std::string sql;
  if (product == ProductNotara) {
    sql = "SELECT NAME FROM SYS.DATABASES WHERE NAME LIKE 'qnt_dat%' OR NAME LIKE 'qnt_def'";
  } else if (product == ProductVostrel) {
    sql = "SELECT NAME FROM SYS.DATABASES WHERE NAME LIKE 'zarvekkdat%' OR NAME LIKE 'zarvekkbank'";
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
