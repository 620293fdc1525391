// The control files' text format, the bank record and the table lists.
#include <gtest/gtest.h>

#include "bankname/ControlFiles.hpp"
#include "support/TestSupport.hpp"

namespace {

using Fields = std::vector<std::string>;

// Code page 932 bytes of 新みらい銀行 and ｼﾝﾐﾗｲｷﾞﾝｺｳ.
const std::string kNewName = "\x90\x56\x82\xDD\x82\xE7\x82\xA2\x8B\xE2\x8D\x73";
const std::string kNewKana = "\xBC\xDD\xD0\xD7\xB2\xB7\xDE\xDD\xBA\xB3";
const std::string kSaveAgain =
    "メモ帳で開き、「名前を付けて保存」で文字コードに「ANSI」か「UTF-8」を選んで保存し直してくだ"
    "さい。";

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no error";
}

class ControlFilesTest : public testing::Test {
 protected:
  /// The used lines as "[field|field]..." or the error.
  std::string Read(const std::string& bytes) {
    support::WriteFile(dir_.Path() / "ORV_Test", bytes);
    std::string lines;
    const auto read = [&] {
      for (const auto& line : basCommon::ReadUsedLines(dir_.Path(), "ORV_Test")) {
        lines += "[";
        for (std::size_t i = 0; i < line.fields.size(); ++i) {
          lines += (i == 0 ? "" : "|") + line.fields[i];
        }
        lines += "]";
      }
    };
    const std::string error = ErrorOf(read);
    return error == "no error" ? lines : error;
  }
  std::vector<basCommon::TableLine> ReadList(const std::string& bytes) {
    support::WriteFile(dir_.Path() / "ORV_Test", bytes);
    return basCommon::ReadTableList(dir_.Path(), "ORV_Test");
  }
  std::vector<std::string> ReadBank(const std::string& bytes) {
    support::WriteFile(dir_.Path() / "ORV_BankName", bytes);
    return basCommon::ReadBankName(dir_.Path());
  }
  support::TempDir dir_;
};

TEST_F(ControlFilesTest, LinesFieldsAndTextOrWhereTheyCannotBeRead) {
  const auto control = [](int line, const char* code) {
    return "ファイル「ORV_Test」の" + std::to_string(line) + "行目に制御文字 (U+" + code +
           ") があります。改行は CR LF で保存してください。";
  };
  const auto neither = [](int line) {
    return "ファイル「ORV_Test」の" + std::to_string(line) +
           "行目に、Shift_JIS (ANSI) の文字でも UTF-8 の文字でもないバイトがあります。" +
           kSaveAgain;
  };
  const std::pair<std::string, std::string> cases[] = {
      {"a,b\r\nc\rd", "[a|b][c][d]"},
      // Lines of spaces and full-width spaces are blank; other lines are not trimmed.
      {"\r\n   \r\n\x81\x40 \x81\x40\r\n a , b \r\n", "[ a | b ]"},
      {"T,K,N,\r\n,,\r\n\"a,b\"", "[T|K|N|][||][\"a|b\"]"},
      {kNewName + "," + kNewKana + ",\x95\x5C,\x87\x40,\\,~",
       "[新みらい銀行|ｼﾝﾐﾗｲｷﾞﾝｺｳ|表|①|\\|~]"},
      // UTF-8 as Notepad saves it, with or without its byte-order mark; "アイ" in UTF-8 is also
      // valid code page 932 (繧｢繧､), and UTF-8 wins.
      {"\xEF\xBB\xBF"
       "a,\xE3\x81\x82\r\nb",
       "[a|あ][b]"},
      {"x,\xE3\x82\xA2\xE3\x82\xA4", "[x|アイ]"},
      // A file saved with LF line ends would be one line whose fields run into each other.
      {"1,A,B,1,C,D\n0005,A,B,0005,E,F\n", control(1, "000A")},
      {"a\r\nb,\tc\r\n", control(2, "0009")},
      {"a\x7F", control(1, "007F")},
      {std::string("a\0b", 3), control(1, "0000")},
      {"ok\r\n\r\nab\x81\x20\r\n", neither(3)},
      {"ok\r\nlead at end \x82", neither(2)},
      {"\xFF\xFE"
       "o",
       neither(1)},  // UTF-16's byte-order mark
      {"\xEF\xBB\xBF"
       "ok\r\n\x82\xA0",
       "ファイル「ORV_Test」の2行目に、UTF-8 の文字ではないバイトがあります。" + kSaveAgain},
  };
  for (const auto& [bytes, read] : cases) EXPECT_EQ(Read(bytes), read) << bytes;
  // A missing file; beside it, the same name with the extension Explorer hides.
  const auto missing = [&] { return ErrorOf([&] { basCommon::ReadBankName(dir_.Path()); }); };
  std::filesystem::remove(dir_.Path() / "ORV_BankName");
  EXPECT_TRUE(missing().starts_with("ファイル「ORV_BankName」を開けません。(")) << missing();
  EXPECT_EQ(missing().find("※"), std::string::npos);
  support::WriteFile(dir_.Path() / "ORV_BankName.txt", "0005,A,B,0005,C,D");
  EXPECT_TRUE(missing().ends_with(
      ")\r\n※同じフォルダーに「ORV_BankName.txt」があります。ファイル名の最後の「.txt」を消して"
      "ください (エクスプローラーでは拡張子が表示されないことがあります)。"))
      << missing();
}

TEST_F(ControlFilesTest, TheBankRecordIsTheLastUsedLine) {
  EXPECT_EQ(ReadBank("1,A,B,1,C,D\r\n\r\n0005,A,B,0005,C,D\r\n   \r\n"),
            (Fields{"0005", "A", "B", "0005", "C", "D"}));
  EXPECT_EQ(
      basCommon::ParseBankRecord(
          ReadBank("0987654321,x,y,0987654321," + kNewName + "," + kNewKana + ",extra")),
      (basCommon::BankRecord{"0987654321", "x", "y", "0987654321", "新みらい銀行", "ｼﾝﾐﾗｲｷﾞﾝｺｳ"}));
}

TEST_F(ControlFilesTest, ABankRecordThatCannotBeShownOrRunIsRefused) {
  const std::string file = "ファイル「ORV_BankName」";
  const auto kana = [&](const std::string& c) {
    return file + "の項目 6 (変更後のカナ) に、半角カナではない文字「" + c +
           "」があります。カナは半角カナ (と半角の英数字・記号) で書いてください。IME で入力した"
           "後に F8 キーを押すと半角カナになります。";
  };
  const std::pair<std::string, std::string> cases[] = {
      {"", file + "から銀行の情報を読めませんでした。使える行がありません。"},
      {"0005,A,B,0005,C", file + "の最後の行には項目が 6 つ必要です (5 個しかありません)。"},
      {"0001,A,B,0005,C,D", file +
                                "の項目 1 (コード) 「0001」と項目 4 (コード) 「0005」が違います。"
                                "コードは変更できません。同じコードにしてください。"},
      {"00A5,A,B,00A5,C,D", file + "の項目 4 (コード) 「00A5」は半角数字ではありません。"},
      // The new kana goes into columns of half-width kana: what the IME types before F8 is
      // refused, by its first such character.
      {"0005,A,B,0005,C,\xBC\xDD\x83\x7E\x83\x89\x83\x43", kana("ミ")},
      {"0005,A,B,0005,C,\x82\xB5\x82\xF1", kana("し")},
      {"0005,A,B,0005,C,\x82\x60"
       "BC",
       kana("Ａ")},
      {"0005,A,B,0005,C,\xBC\xDD\x81\x40\xD0", kana("\u3000")},
  };
  for (const auto& [bytes, message] : cases) {
    EXPECT_EQ(ErrorOf([&] { basCommon::ParseBankRecord(ReadBank(bytes)); }), message) << bytes;
  }
  for (const char* code : {"", " 5", "5 ", "0x5", "5;DROP TABLE T"}) {
    EXPECT_THROW(basCommon::ParseBankRecord({code, "a", "b", code, "c", "d"}), std::runtime_error)
        << code;
  }
}

TEST_F(ControlFilesTest, TableListLinesNameTableKeyNameAndKanaColumns) {
  // 銀行マスタ,銀行ｺｰﾄﾞ,銀行名,銀行ｶﾅ: identifiers in any script.
  const auto lines = ReadList(
      "aA,z9_0Z,N,\r\nT2,K,,KN,ignored\r\n"
      "\x8B\xE2\x8D\x73\x83\x7D\x83\x58\x83\x5E,\x8B\xE2\x8D\x73\xBA\xB0\xC4\xDE,"
      "\x8B\xE2\x8D\x73\x96\xBC,\x8B\xE2\x8D\x73\xB6\xC5\r\n"
      "_t#1,@k$,n_2,k@\r\n"
      "T,K,N," +
      std::string(128, 'k'));
  ASSERT_EQ(lines.size(), 5u);
  const auto row = [](const basCommon::TableLine& l) {
    return Fields{l.table, l.key, l.nameColumn, l.kanaColumn};
  };
  EXPECT_EQ(row(lines[0]), (Fields{"aA", "z9_0Z", "N", ""}));
  EXPECT_EQ(row(lines[1]), (Fields{"T2", "K", "", "KN"}));
  EXPECT_EQ(row(lines[2]), (Fields{"銀行マスタ", "銀行ｺｰﾄﾞ", "銀行名", "銀行ｶﾅ"}));
  EXPECT_EQ(row(lines[3]), (Fields{"_t#1", "@k$", "n_2", "k@"}));
}

TEST_F(ControlFilesTest, TableListLinesThatCannotBeRunAreRefused) {
  const std::string where = "ファイル「ORV_Test」の2行目";
  EXPECT_EQ(ErrorOf([&] { ReadList("T,K,N,KN\r\n\r\nT,K,N\r\n"); }),
            "ファイル「ORV_Test」の3行目は項目が 3 つしかありません "
            "(テーブル名、キー列、名称列、カナ列の 4 つが必要です)。");
  EXPECT_EQ(ErrorOf([&] { ReadList("A,B,C,D\r\nTBank,1=1 OR BankCode,BankName,BankKana"); }),
            where +
                "の項目 2 (キー列) 「1=1 OR BankCode」は SQL Server の名前として使えません。"
                "名前には文字、数字、_ @ # $ だけが使えます。");
  // One column in two roles would write the kana into the name, or match rows on the new name.
  EXPECT_EQ(ErrorOf([&] { ReadList("T,K,N,KN\r\nTBank,BankCode,BankName,bankname"); }),
            where +
                "の項目 3 (名称列) と項目 4 (カナ列) が同じ列「BankName」です。"
                "キー列、名称列、カナ列は別の列にしてください。");
  // Operators, quotes, brackets, blanks (a full-width one too), comments, signs next to the
  // letters and digits, a leading digit or "$", an empty table or key, a name too long for
  // SQL Server; and one column twice.
  const std::pair<std::string, const char*> cases[] = {
      // clang-format off
      {"T',K,N,KN", "1 (テーブル名)"}, {"$T,K,N,KN", "1 (テーブル名)"}, {",K,N,KN", "1 (テーブル名)"},
      {"0T,K,N,KN", "1 (テーブル名)"}, {"9T,K,N,KN", "1 (テーブル名)"}, {"T`,K,N,KN", "1 (テーブル名)"},
      {"T,K],N,KN", "2 (キー列)"},     {"T,{K,N,KN", "2 (キー列)"},     {"T,,N,KN", "2 (キー列)"},
      {"T,\"K\",N,KN", "2 (キー列)"},  {"T,K ,N,KN", "2 (キー列)"},     {"T,K:,N,KN", "2 (キー列)"},
      {"T,GINKO CD,N,KN", "2 (キー列)"}, {"T,K,[N,KN", "3 (名称列)"},   {"T,K,N;,KN", "3 (名称列)"},
      {"T,K,N=N,KN", "3 (名称列)"},    {"T,K,\x8B\xE2\x81\x40\x8D\x73,KN", "3 (名称列)"},
      {"T,K,N,K--N", "4 (カナ列)"},    {"T,K,N,/*KN", "4 (カナ列)"},    {"T,K,N,1st", "4 (カナ列)"},
      {"T,K,N,K.N", "4 (カナ列)"},     {"T,K,N," + std::string(129, 'k'), "4 (カナ列)"},
      {"T,K,K,", "2 (キー列) と項目 3"}, {"T,K,,K", "2 (キー列) と項目 4"}, {"T,k,N,K", "2 (キー列) と項目 4"},
      // clang-format on
  };
  for (const auto& [line, field] : cases) {
    EXPECT_NE(ErrorOf([&] { ReadList("A,B,C,D\r\n" + line); }).find(where + "の項目 " + field),
              std::string::npos)
        << line;
  }
  EXPECT_EQ(ReadList("T,K,,\r\n").size(), 1u);
}

TEST_F(ControlFilesTest, ListsAndFilesBeyondTheirBoundsAreRefused) {
  std::string lines;
  for (std::size_t i = 0; i < basCommon::kMaxTableListLines; ++i) lines += "T,K,N,KN\r\n";
  EXPECT_EQ(ReadList(lines).size(), 10000u);
  EXPECT_EQ(
      ErrorOf([&] { ReadList(lines + "T,K,N,KN\r\n"); }),
      "ファイル「ORV_Test」には使う行が 10001 行あります。テーブルの一覧は 10000 行までです。");
  EXPECT_TRUE(ReadList(std::string(10 * 1024 * 1024, ' ')).empty());
  EXPECT_EQ(ErrorOf([&] { ReadList(std::string(10 * 1024 * 1024 + 1, ' ')); }),
            "ファイル「ORV_Test」が大きすぎます。制御ファイルは 10 MB までです。");
}

}  // namespace
