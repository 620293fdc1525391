// Readers of the control files.
#include "bankname/ControlFiles.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/Platform.hpp"

namespace basCommon {
std::string Quoted(const std::string& text) {
  return "「" + platform::VisibleControls(text) + "」";
}

namespace {

constexpr std::string_view kSaveAgain =
    "メモ帳で開き、「名前を付けて保存」で文字コードに「ANSI」か「UTF-8」を選んで保存し直してくだ"
    "さい。";

std::string ReadAll(const std::filesystem::path& folder, const std::string& fileName) {
  const auto path = folder / platform::PathFromUtf8(fileName);
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::string message =
        "ファイル" + Quoted(fileName) + "を開けません。(" + platform::PathToUtf8(path) + ")";
    if (const std::string note = TxtTwinNote(folder, {fileName}); !note.empty()) {
      message += "\r\n" + note;
    }
    throw std::runtime_error(message);
  }
  std::error_code error;
  if (std::filesystem::file_size(path, error) > kMaxControlFileBytes && !error) {
    throw std::runtime_error("ファイル" + Quoted(fileName) +
                             "が大きすぎます。制御ファイルは 10 MB までです。");
  }
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool IsUtf8(std::string_view bytes) {
  try {
    platform::ToUtf16(bytes);
    return true;
  } catch (const platform::DecodeError&) {
    return false;
  }
}

/// The encoding of a whole file, decided once: UTF-8 when it says so with a byte-order mark
/// (which is then dropped), or when it is valid UTF-8 with at least one character beyond ASCII,
/// which code page 932 text almost never is; otherwise code page 932, as the products write.
bool TakeUtf8(std::string& bytes) {
  static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (bytes.starts_with(kByteOrderMark)) {
    bytes.erase(0, kByteOrderMark.size());
    return true;
  }
  const bool beyondAscii = std::any_of(
      bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  return beyondAscii && IsUtf8(bytes);
}

/// Splits at CR LF and at a lone CR; a final line without a line end counts too.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r') {
      line += bytes[i];
      continue;
    }
    if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    lines.push_back(std::exchange(line, {}));
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

bool IsBlank(std::string_view line) {
  static constexpr std::string_view kIdeographicSpace = "\u3000";
  while (!line.empty()) {
    if (line.front() == ' ') {
      line.remove_prefix(1);
    } else if (line.starts_with(kIdeographicSpace)) {
      line.remove_prefix(kIdeographicSpace.size());
    } else {
      return false;
    }
  }
  return true;
}

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (const char c : line) {
    if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

/// A control character (below U+0020, or U+007F) in decoded text, if there is one.
std::optional<char> ControlCharacter(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return c;
  }
  return std::nullopt;
}

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

/// A regular SQL Server identifier: letters of any script, digits, "_", "@", "#" and "$", not
/// starting with a digit or "$", at most 128 characters. Nothing else can stand unquoted in
/// the statements without changing what they do.
bool IsIdentifier(const std::string& name) {
  const std::u16string text = platform::ToUtf16(name);
  if (text.empty() || text.size() > 128 || IsAsciiDigit(text[0]) || text[0] == u'$') return false;
  return std::all_of(text.begin(), text.end(), [](char16_t c) {
    if (c < 0x80)
      return IsAsciiLetter(c) || IsAsciiDigit(c) || c == u'_' || c == u'@' || c == u'#' ||
             c == u'$';
    return platform::IsAlphanumeric(c);
  });
}

}  // namespace

std::vector<UsedLine> ReadUsedLines(const std::filesystem::path& folder,
                                    const std::string& fileName) {
  std::string bytes = ReadAll(folder, fileName);
  const bool utf8 = TakeUtf8(bytes);
  std::vector<UsedLine> used;
  int number = 0;
  for (auto& line : SplitLines(bytes)) {
    ++number;
    const std::string where =
        "ファイル" + Quoted(fileName) + "の" + std::to_string(number) + "行目";
    std::string text;
    if (utf8) {
      if (!IsUtf8(line)) {
        throw std::runtime_error(where + "に、UTF-8 の文字ではないバイトがあります。" +
                                 std::string(kSaveAgain));
      }
      text = std::move(line);
    } else {
      try {
        text = platform::DecodeCp932(line);
      } catch (const platform::DecodeError&) {
        throw std::runtime_error(
            where + "に、Shift_JIS (ANSI) の文字でも UTF-8 の文字でもないバイトがあります。" +
            std::string(kSaveAgain));
      }
    }
    // Nothing in these files needs one; a line end of another system (LF alone) would
    // otherwise join two lines into one record.
    if (const auto c = ControlCharacter(text)) {
      char code[8];
      std::snprintf(code, sizeof code, "%04X",
                    static_cast<unsigned>(static_cast<unsigned char>(*c)));
      throw std::runtime_error(where + "に制御文字 (U+" + code +
                               ") があります。改行は CR LF で保存してください。");
    }
    if (!IsBlank(text)) used.push_back({number, SplitFields(text)});
  }
  return used;
}

std::string ItemName(std::size_t field) {
  static constexpr const char* kNames[] = {"テーブル名", "キー列", "名称列", "カナ列"};
  return "項目 " + std::to_string(field + 1) + " (" + kNames[field] + ")";
}

std::string TxtTwinNote(const std::filesystem::path& folder,
                        const std::vector<std::string>& fileNames) {
  std::string twins;
  for (const auto& name : fileNames) {
    if (platform::FileExists(folder / platform::PathFromUtf8(name + ".txt"))) {
      twins += Quoted(name + ".txt");
    }
  }
  if (twins.empty()) return {};
  return "※同じフォルダーに" + twins +
         "があります。ファイル名の最後の「.txt」を消してください (エクスプローラーでは拡張子が"
         "表示されないことがあります)。";
}

std::vector<std::string> ReadBankName(const std::filesystem::path& folder) {
  auto lines = ReadUsedLines(folder, BankNameFile);
  if (lines.empty()) return {};
  return std::move(lines.back().fields);
}

BankRecord ParseBankRecord(const std::vector<std::string>& fields) {
  const std::string file = "ファイル" + Quoted(BankNameFile);
  if (fields.empty()) {
    throw std::runtime_error(file + "から銀行の情報を読めませんでした。使える行がありません。");
  }
  if (fields.size() < 6) {
    throw std::runtime_error(file + "の最後の行には項目が 6 つ必要です (" +
                             std::to_string(fields.size()) + " 個しかありません)。");
  }
  const BankRecord bank{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
  if (bank.code.empty() || bank.code.find_first_not_of("0123456789") != std::string::npos) {
    throw std::runtime_error(file + "の項目 4 (コード) " + Quoted(bank.code) +
                             "は半角数字ではありません。");
  }
  if (bank.currentCode != bank.code) {
    throw std::runtime_error(file + "の項目 1 (コード) " + Quoted(bank.currentCode) +
                             "と項目 4 (コード) " + Quoted(bank.code) +
                             "が違います。コードは変更できません。同じコードにしてください。");
  }
  // Transfer data is made from the kana columns, which hold half-width kana only.
  const std::u16string kana = platform::ToUtf16(bank.kana);
  for (std::size_t i = 0; i < kana.size(); ++i) {
    const char16_t c = kana[i];
    if ((c >= u' ' && c <= u'~') || (c >= 0xFF61 && c <= 0xFF9F)) continue;
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < kana.size();
    throw std::runtime_error(file + "の項目 6 (変更後のカナ) に、半角カナではない文字" +
                             Quoted(platform::ToUtf8(kana.substr(i, pair ? 2 : 1))) +
                             "があります。カナは半角カナ (と半角の英数字・記号) で書いてくださ"
                             "い。IME で入力した後に F8 キーを押すと半角カナになります。");
  }
  return bank;
}

BankRecord ReadBankRecord(const std::filesystem::path& folder) {
  return ParseBankRecord(ReadBankName(folder));
}

std::vector<TableLine> ReadTableList(const std::filesystem::path& folder,
                                     const std::string& fileName) {
  const auto lines = ReadUsedLines(folder, fileName);
  if (lines.size() > kMaxTableListLines) {
    throw std::runtime_error("ファイル" + Quoted(fileName) + "には使う行が " +
                             std::to_string(lines.size()) +
                             " 行あります。テーブルの一覧は 10000 行までです。");
  }
  std::vector<TableLine> tables;
  tables.reserve(lines.size());
  for (const auto& line : lines) {
    const std::string where =
        "ファイル" + Quoted(fileName) + "の" + std::to_string(line.number) + "行目";
    if (line.fields.size() < 4) {
      throw std::runtime_error(
          where + "は項目が " + std::to_string(line.fields.size()) +
          " つしかありません (テーブル名、キー列、名称列、カナ列の 4 つが必要です)。");
    }
    for (std::size_t i = 0; i < 4; ++i) {
      // A table and its key are needed; an empty name or kana column means no such update.
      const std::string& name = line.fields[i];
      if ((i >= 2 && name.empty()) || IsIdentifier(name)) continue;
      throw std::runtime_error(where + "の" + ItemName(i) + " " + Quoted(name) +
                               "は SQL Server の名前として使えません。" +
                               "名前には文字、数字、_ @ # $ だけが使えます。");
    }
    // One column for two roles would get the other's value, or be matched on the code.
    for (std::size_t i = 1; i < 4; ++i) {
      for (std::size_t j = i + 1; j < 4; ++j) {
        const std::string& a = line.fields[i];
        if (a.empty() || !platform::SameIgnoringAsciiCase(a, line.fields[j])) continue;
        throw std::runtime_error(where + "の" + ItemName(i) + " と" + ItemName(j) + " が同じ列" +
                                 Quoted(a) +
                                 "です。キー列、名称列、カナ列は別の列にしてください。");
      }
    }
    tables.push_back({line.fields[0], line.fields[1], line.fields[2], line.fields[3], line.number});
  }
  return tables;
}

}  // namespace basCommon
