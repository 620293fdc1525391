// The modal dialog in which the user says how to reach the SQL Server; it opens the shared
// connection through the settings object.
#pragma once

#include <map>
#include <memory>
#include <variant>

#include "platform/Ui.hpp"
#include "platform/Win32Form.hpp"
#include "platform/Win32Ui.hpp"
#include "sqlserver/Odbc.hpp"
#include "sqlserver/SQLServer.hpp"

class frmSqlConnect : public win32::Form {
 public:
  /// Control ids; Label(i) is Label0 + i and optLoginSecure(i) is optLoginSecure0 + i (there is
  /// no index 0).
  enum Id {
    txtDataSource = 101,
    picLoginSecure,
    optLoginSecure0,
    txtUserID = optLoginSecure0 + 3,
    txtPasswd,
    txtConnectionTimeout,
    cmdConn,
    cmdCancel,
    Label0,
  };

  /// Takes the earlier settings of `settings`, or the defaults from the environment. Every
  /// attempt replaces `connection`.
  frmSqlConnect(SQLServer& settings, std::unique_ptr<odbc::Connection>& connection,
                platform::Ui& ui);

  /// Shows the dialog centred, the focus in the server box.
  void Show();
  /// Shows it and returns when it has closed.
  void ShowModal();

 private:
  void OnCommand(int id, WORD code) override;
  bool OnCloseRequest(win32::CloseReason reason) override;
  void OnFocus(int id, bool gained, HWND other) override;
  HBRUSH OnBackground(int id) override;
  bool PreTranslate(const MSG& message) override;

  /// The time-out box's rule: the focus leaves it for another control of the dialog only when it
  /// holds a time-out. A move is checked before it happens where the dialog sees its cause (a
  /// click, Tab, an access key); a move it did not see coming (BM_CLICK, an accessibility tool)
  /// is checked once it has happened, and then undone, the press that made it dropped.
  class TimeoutGuard {
   public:
    explicit TimeoutGuard(frmSqlConnect& dialog) : dialog_(dialog) {}
    /// Before `message` is routed: true when it is dropped.
    bool Drops(const MSG& message);
    /// The box lost the focus to another control of the dialog: true when the move is undone.
    bool Undoes();
    /// While a move is being undone, the press that made it is dropped.
    bool Undoing() const { return undoing_; }

   private:
    bool MayLeave();
    frmSqlConnect& dialog_;
    bool undoing_ = false;
  };

  void SwitchAuthentication(int index);
  void ConnectToServer();
  void Warn(const std::string& text);
  std::string Entry(int id) const { return win32::Utf8(Text(id)); }

  SQLServer& settings_;
  std::unique_ptr<odbc::Connection>& connection_;
  platform::Ui& ui_;
  /// Each text box's background: a colour, or a system colour index.
  std::map<int, std::variant<COLORREF, int>> backgrounds_;
  TimeoutGuard timeoutGuard_{*this};
};
