// The main window's rules that are not about drawing it: the scope's table lists.
#pragma once

#include "bankname/Shared.hpp"

namespace basCommon {

/// Sets the table lists of the scope: the "All" lists when the first option ("全て") is
/// selected, else the master-only lists.
void ChooseScope(bool allSelected, Shared& shared);

}  // namespace basCommon
