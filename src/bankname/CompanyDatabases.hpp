// Discovery of the products' company databases on the connected server.
#pragma once

#include <string>
#include <vector>

#include "sqlserver/Odbc.hpp"

namespace basCommon {

inline const std::string ProductNotara = "NOTARA";
inline const std::string ProductVostrel = "VOSTREL";

/// The names of the company databases of `product` ("NOTARA" or "VOSTREL"), in the order the
/// server lists them; empty when the product has none. Errors pass to the caller.
std::vector<std::string> GetCompanyDatabases(odbc::Connection& connection,
                                             const std::string& product);

}  // namespace basCommon
