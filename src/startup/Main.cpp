// The start-up sequence.
#include "startup/Main.hpp"

#include <array>
#include <exception>

#include "bankname/ControlFiles.hpp"
#include "platform/Platform.hpp"
#include "startup/ProcessProbe.hpp"

namespace basCommon {
namespace {

struct Blocker {
  const char* exeName;
  const char* message;
};
constexpr std::array<Blocker, 2> kBlockers{{
    {"Notara.exe", "『ノタラ』が起動中のため、管理ツールを起動できません。"},
    {"Zarvekk.MainMenu.exe", "『トリベル』が起動中のため、管理ツールを起動できません。"},
}};

struct Generation {
  const char* database;
  const char* label;
};
constexpr std::array<Generation, 4> kGenerations{{
    {"qnt8sys", "Notara8(ノタラ8A,ノタラ8B,ノタラ8C)"},
    {"qnt7sys", "Notara7(ノタラ7A)"},
    {"qnt4sys", "Notara4(ノタラ4A,ノタラ4B)"},
    {"zarvekksys", "トリベル"},
}};

/// The steps that may end the program; false when they did.
bool MayStart(const Shared& shared, StartupHost& host) {
  if (host.PrevInstance()) {
    host.MsgBox("『" + platform::AppTitle + "』は既に起動しています。", platform::Icon::Exclamation,
                platform::AppComments());
    return false;
  }
  for (const auto& blocker : kBlockers) {
    if (IsProcessRunning(blocker.exeName, host)) {
      host.MsgBox(blocker.message, platform::Icon::None, platform::AppTitle);
      return false;
    }
  }
  std::vector<std::string> missing;
  for (const auto& file : {NotaraMasterOnlyFile, VostrelMasterOnlyFile}) {
    if (!platform::FileExists(shared.ProgramFolder / platform::PathFromUtf8(file))) {
      missing.push_back(file);
    }
  }
  if (!missing.empty()) {
    std::string list;
    for (const auto& file : missing) list += "・" + file + "\r\n";
    if (const auto note = TxtTwinNote(shared.ProgramFolder, missing); !note.empty()) {
      list += note + "\r\n";
    }
    host.MsgBox("下記のファイルを検知できませんでした。\r\n" + list +
                    "\r\nファイルが検知できないのには以下の原因が考えられます。\r\n"
                    "・ファイル名に誤りがある。\r\n・ファイルが存在しない。",
                platform::Icon::None, platform::AppTitle);
    return false;
  }
  return true;
}

}  // namespace

void Main(Shared& shared, StartupHost& host) {
  try {
    if (!MayStart(shared, host)) {
      host.EndProgram();
      return;
    }
    shared.gSQLServer = std::make_unique<SQLServer>();
    host.ShowConnectDialog(shared);
    if (!shared.gSQLServer->ConnectingResult()) return;
    for (const auto& generation : kGenerations) {
      if (shared.gSQLServer->ExistDatabase(shared.gConnection.get(), generation.database, false)) {
        shared.ProductLabel += std::string(generation.label) + "\r\n";
      }
    }
    host.ShowMainWindow(shared);
  } catch (const std::exception& e) {
    host.MsgBox(e.what(), platform::Icon::Critical, platform::AppComments());
  }
}

}  // namespace basCommon
