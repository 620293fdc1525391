// The main window's rules.
#include "bankname/MainWindow.hpp"

#include "bankname/ControlFiles.hpp"

namespace basCommon {

void ChooseScope(bool allSelected, Shared& shared) {
  shared.NotaraFile = allSelected ? NotaraAllFile : NotaraMasterOnlyFile;
  shared.VostrelFile = allSelected ? VostrelAllFile : VostrelMasterOnlyFile;
}

}  // namespace basCommon
