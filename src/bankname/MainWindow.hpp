// The main window's rules that are not about drawing it: the scope's table lists and the texts
// the window shows.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "bankname/Shared.hpp"

namespace basCommon {

/// The main window's caption: the title of the run's message boxes.
inline const std::string MainWindowCaption = "オラベンド";

/// Sets the table lists of the scope: the "All" lists when the first option ("全て") is
/// selected, else the master-only lists.
void ChooseScope(bool allSelected, Shared& shared);

/// The texts of the six value labels: fields 0 to 5 of the bank record, unchanged. Raises
/// std::out_of_range with the subscript-out-of-range description when the record has fewer.
std::array<std::string, 6> BankFieldsShown(const std::vector<std::string>& fields);

}  // namespace basCommon
