// The control files beside the program: their common text format, the bank record and the
// table lists.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace basCommon {

inline const std::string BankNameFile = "ORV_BankName";
inline const std::string NotaraMasterOnlyFile = "ORV_Notara_MasterOnly";
inline const std::string NotaraAllFile = "ORV_Notara_All";
inline const std::string VostrelMasterOnlyFile = "ORV_Vostrel_MasterOnly";
inline const std::string VostrelAllFile = "ORV_Vostrel_All";

/// Bounds that keep a run's work in proportion: far beyond any real bank record or table list.
inline constexpr std::uintmax_t kMaxControlFileBytes = 10 * 1024 * 1024;
inline constexpr std::size_t kMaxTableListLines = 10000;

/// A name or value as the messages quote it: 「text」, on one line (control characters escaped).
std::string Quoted(const std::string& text);

/// A line of a control file that is not blank: its number in the file (from 1) and its fields.
struct UsedLine {
  int number = 0;
  std::vector<std::string> fields;
};

/// Reads `folder`/`fileName`: UTF-8 when the file begins with its byte-order mark or is valid
/// UTF-8 beyond ASCII, else code page 932; lines ending at CR LF or a lone CR (a lone LF is an
/// ordinary character), lines of only blanks (U+0020, U+3000) skipped, fields split at every
/// comma, nothing trimmed. Raises std::runtime_error naming the file (and the line) when the file
/// cannot be read, is larger than kMaxControlFileBytes, holds bytes of neither encoding, or holds
/// a control character (a lone LF, a tab).
std::vector<UsedLine> ReadUsedLines(const std::filesystem::path& folder,
                                    const std::string& fileName);

/// The line that points at `name`.txt beside a missing control file, for each of `fileNames`
/// that has one (Explorer hides the extension, so the file looks right); empty when none has.
std::string TxtTwinNote(const std::filesystem::path& folder,
                        const std::vector<std::string>& fileNames);

/// The fields of the last used line of the bank record file; none when it has no used line.
std::vector<std::string> ReadBankName(const std::filesystem::path& folder);

/// The bank record as the main window shows it; the last three go into the UPDATE statements.
struct BankRecord {
  std::string currentCode;  ///< field 1 as the user counts them
  std::string currentName;
  std::string currentKana;
  std::string code;  ///< one or more ASCII digits, the same as currentCode
  std::string name;
  std::string kana;  ///< half-width katakana and printable ASCII only
  bool operator==(const BankRecord&) const = default;
};

/// Checks the fields read by ReadBankName: six of them at least, a code of digits only, the
/// same code before and after the change (a run never changes the code), and a new kana that
/// the kana columns can take.
BankRecord ParseBankRecord(const std::vector<std::string>& fields);

/// The bank record file, read and checked; raises std::runtime_error with what is wrong.
BankRecord ReadBankRecord(const std::filesystem::path& folder);

/// One line of a table list: a table, its key column, and its name and kana columns (either may
/// be empty: no update of that column).
struct TableLine {
  std::string table;
  std::string key;
  std::string nameColumn;
  std::string kanaColumn;
  int number = 0;  ///< the line in its file, from 1
};

/// How messages name field `field` (from 0) of a table-list line: "項目 3 (名称列)".
std::string ItemName(std::size_t field);

/// Reads and checks a table list: at most kMaxTableListLines used lines, four fields per line at
/// least; a table and a key column, and name and kana columns that are empty or, like those,
/// plain SQL Server identifiers; key, name and kana columns all different.
std::vector<TableLine> ReadTableList(const std::filesystem::path& folder,
                                     const std::string& fileName);

}  // namespace basCommon
