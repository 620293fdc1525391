// The main window's rules.
#include "bankname/MainWindow.hpp"

#include <stdexcept>

#include "bankname/ControlFiles.hpp"

namespace basCommon {

void ChooseScope(bool allSelected, Shared& shared) {
  shared.NotaraFile = allSelected ? NotaraAllFile : NotaraMasterOnlyFile;
  shared.VostrelFile = allSelected ? VostrelAllFile : VostrelMasterOnlyFile;
}

std::array<std::string, 6> BankFieldsShown(const std::vector<std::string>& fields) {
  if (fields.size() < 6) throw std::out_of_range(SubscriptOutOfRange);
  std::array<std::string, 6> shown;
  for (std::size_t i = 0; i < shown.size(); ++i) shown[i] = fields[i];
  return shown;
}

}  // namespace basCommon
