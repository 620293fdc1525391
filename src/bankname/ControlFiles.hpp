// The control files beside the program: their common text format, the bank record and the
// table lists.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Ui.hpp"

namespace basCommon {

inline const std::string BankNameFile = "ORV_BankName";
inline const std::string NotaraMasterOnlyFile = "ORV_Notara_MasterOnly";
inline const std::string NotaraAllFile = "ORV_Notara_All";
inline const std::string VostrelMasterOnlyFile = "ORV_Vostrel_MasterOnly";
inline const std::string VostrelAllFile = "ORV_Vostrel_All";

/// Bounds that keep a run's work in proportion: far beyond any real bank record or table list.
inline constexpr std::uintmax_t kMaxControlFileBytes = 10 * 1024 * 1024;
inline constexpr std::size_t kMaxTableListLines = 10000;

/// A name or value as the messages quote it: 「text」.
std::string Quoted(const std::string& text);

/// A line of a control file that is not blank: its number in the file (from 1) and its fields.
struct UsedLine {
  int number = 0;
  std::vector<std::string> fields;
};

/// Reads `folder`/`fileName`: code page 932, lines ending at CR LF or a lone CR (a lone LF is an
/// ordinary character), lines of only blanks (U+0020, U+3000) skipped, fields split at every
/// comma, nothing trimmed. Raises std::runtime_error naming the file (and the line) when the file
/// cannot be read, is larger than kMaxControlFileBytes, holds bytes that are not code page 932,
/// or holds a control character (a lone LF, a tab).
std::vector<UsedLine> ReadUsedLines(const std::filesystem::path& folder,
                                    const std::string& fileName);

/// The fields of the last used line of the bank record file, or none after telling the user why
/// the file could not be read.
std::vector<std::string> ReadBankName(const std::filesystem::path& folder, platform::Ui& ui);

/// The bank record as the main window shows it; the last three go into the UPDATE statements.
struct BankRecord {
  std::string currentCode;  ///< field 1 as the user counts them
  std::string currentName;
  std::string currentKana;
  std::string code;  ///< one or more ASCII digits, the same as currentCode
  std::string name;
  std::string kana;
  bool operator==(const BankRecord&) const = default;
};

/// Checks the fields read by ReadBankName: six of them at least, a code of digits only, and the
/// same code before and after the change (a run never changes the code).
BankRecord ParseBankRecord(const std::vector<std::string>& fields);

/// One line of a table list: a table, its key column, and its name and kana columns (either may
/// be empty: no update of that column).
struct TableLine {
  std::string table;
  std::string key;
  std::string nameColumn;
  std::string kanaColumn;
};

/// Reads and checks a table list: at most kMaxTableListLines used lines, four fields per line at
/// least; a table and a key column, and name and kana columns that are empty or, like those,
/// plain SQL Server identifiers; key, name and kana columns all different.
std::vector<TableLine> ReadTableList(const std::filesystem::path& folder,
                                     const std::string& fileName);

}  // namespace basCommon
