// The control files' text format, the bank record and the table lists.
#include <gtest/gtest.h>

#include "bankname/ControlFiles.hpp"
#include "support/TestSupport.hpp"

namespace {

using basCommon::ReadUsedLines;
using Fields = std::vector<std::string>;

// Code page 932 bytes of the texts the tests use.
constexpr const char* kNewName =
    "\x90\x56\x82\xDD\x82\xE7\x82\xA2\x8B\xE2\x8D\x73";                       // 新みらい銀行
constexpr const char* kNewKana = "\xBC\xDD\xD0\xD7\xB2\xB7\xDE\xDD\xBA\xB3";  // ｼﾝﾐﾗｲｷﾞﾝｺｳ

std::string DescriptionOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no error";
}

class ControlFilesTest : public testing::Test {
 protected:
  std::vector<Fields> Read(const std::string& bytes) {
    support::WriteFile(dir_.Path() / "ORV_Test", bytes);
    std::vector<Fields> fields;
    for (const auto& line : ReadUsedLines(dir_.Path(), "ORV_Test")) fields.push_back(line.fields);
    return fields;
  }
  std::string ErrorOf(const std::string& bytes) {
    return DescriptionOf([&] { Read(bytes); });
  }
  support::TempDir dir_;
};

TEST_F(ControlFilesTest, LinesEndAtCrLfOrLoneCr) {
  EXPECT_EQ(Read("a,b\r\nc\rd"), (std::vector<Fields>{{"a", "b"}, {"c"}, {"d"}}));
}

TEST_F(ControlFilesTest, AControlCharacterAnywhereNamesTheFileAndLine) {
  // A file saved with LF line ends would be one line whose fields run into each other.
  EXPECT_EQ(ErrorOf("1,A,B,1,C,D\n0005,A,B,0005,E,F\n"),
            "ファイル「ORV_Test」の1行目に制御文字 (U+000A) があります。改行は CR LF "
            "で保存してください。");
  EXPECT_NE(ErrorOf("a\r\nb,\tc\r\n").find("2行目に制御文字 (U+0009)"), std::string::npos);
  EXPECT_NE(ErrorOf("a\x7F").find("(U+007F)"), std::string::npos);
  EXPECT_NE(ErrorOf(std::string("a\0b", 3)).find("(U+0000)"), std::string::npos);
}

TEST_F(ControlFilesTest, BlankLinesAreSkippedButOtherLinesAreNotTrimmed) {
  // Spaces and full-width spaces only: blank.
  EXPECT_EQ(Read("\r\n   \r\n\x81\x40 \x81\x40\r\n a , b \r\n"),
            (std::vector<Fields>{{" a ", " b "}}));
}

TEST_F(ControlFilesTest, CommasSplitEveryFieldWithoutQuoting) {
  EXPECT_EQ(Read("T,K,N,\r\n,,\r\n\"a,b\""),
            (std::vector<Fields>{{"T", "K", "N", ""}, {"", "", ""}, {"\"a", "b\""}}));
}

TEST_F(ControlFilesTest, TextIsDecodedFromCodePage932) {
  EXPECT_EQ(Read(std::string(kNewName) + "," + kNewKana + ",\x95\x5C,\x87\x40,\\,~"),
            (std::vector<Fields>{{"新みらい銀行", "ｼﾝﾐﾗｲｷﾞﾝｺｳ", "表", "①", "\\", "~"}}));
}

TEST_F(ControlFilesTest, BytesOutsideCodePage932NameTheFileAndLine) {
  EXPECT_EQ(ErrorOf("ok\r\n\r\nab\x81\x20\r\n"),
            "ファイル「ORV_Test」の3行目に、コードページ 932 (Shift_JIS) "
            "の文字ではないバイトがあります。");
  EXPECT_NE(ErrorOf("ok\r\nlead at end \x82").find("2行目"), std::string::npos);
  // A UTF-8 byte-order mark is no code page 932 text either.
  EXPECT_NE(ErrorOf("\xEF\xBB\xBF"
                    "a,b")
                .find("1行目"),
            std::string::npos);
}

TEST_F(ControlFilesTest, MissingFileIsAnError) {
  EXPECT_THROW(ReadUsedLines(dir_.Path(), "ORV_Missing"), std::runtime_error);
}

class BankRecordTest : public ControlFilesTest {
 protected:
  std::vector<std::string> ReadBank(const std::string& bytes) {
    support::WriteFile(dir_.Path() / "ORV_BankName", bytes);
    return basCommon::ReadBankName(dir_.Path(), ui_);
  }
  support::RecordingUi ui_;
};

TEST_F(BankRecordTest, TheLastUsedLineCounts) {
  EXPECT_EQ(ReadBank("1,A,B,1,C,D\r\n\r\n0005,A,B,0005,C,D\r\n   \r\n"),
            (Fields{"0005", "A", "B", "0005", "C", "D"}));
  const auto record = basCommon::ParseBankRecord(
      ReadBank(std::string("0005,x,y,0005,") + kNewName + "," + kNewKana + ",extra"));
  EXPECT_EQ(record.code, "0005");
  EXPECT_EQ(record.name, "新みらい銀行");
  EXPECT_EQ(record.kana, "ｼﾝﾐﾗｲｷﾞﾝｺｳ");
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(BankRecordTest, AnUnreadableFileIsReportedAndGivesNoFields) {
  EXPECT_TRUE(basCommon::ReadBankName(dir_.Path(), ui_).empty());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_NE(ui_.boxes[0].text.find("ORV_BankName"), std::string::npos);
  EXPECT_EQ(ui_.boxes[0].icon, platform::Icon::Critical);
  EXPECT_EQ(ui_.boxes[0].title, "");
  EXPECT_EQ(ui_.ended, 0);
}

TEST_F(BankRecordTest, ARecordThatCannotBeShownOrRunIsRefusedWithWhatIsWrong) {
  const std::string file = "ファイル「ORV_BankName」";
  for (const auto& [bytes, expected] : std::vector<std::pair<std::string, std::string>>{
           {"", file + "から銀行の情報を読めませんでした。使える行がありません。"},
           {"0005,A,B,0005,C", file + "の最後の行には項目が 6 つ必要です (5 個しかありません)。"},
           {"0001,A,B,0005,C,D",
            file + "の項目 1 (コード) 「0001」と項目 4 (変更後のコード) 「0005」が違います。"
                   "コードは変更できません。同じコードにしてください。"},
           {"00A5,A,B,00A5,C,D",
            file + "の項目 4 (変更後のコード) 「00A5」は半角数字ではありません。"}}) {
    EXPECT_EQ(DescriptionOf([&] { basCommon::ParseBankRecord(ReadBank(bytes)); }), expected)
        << bytes;
  }
  for (const char* code : {"", " 5", "5 ", "0x5", "5;DROP TABLE T"}) {
    EXPECT_THROW(basCommon::ParseBankRecord({code, "a", "b", code, "c", "d"}), std::runtime_error)
        << code;
  }
}

class TableListTest : public ControlFilesTest {
 protected:
  std::vector<basCommon::TableLine> ReadList(const std::string& bytes) {
    support::WriteFile(dir_.Path() / "ORV_List", bytes);
    return basCommon::ReadTableList(dir_.Path(), "ORV_List");
  }
  std::string ListError(const std::string& bytes) {
    return DescriptionOf([&] { ReadList(bytes); });
  }
};

TEST_F(TableListTest, LinesNameTableKeyNameAndKanaColumns) {
  // 銀行マスタ,銀行ｺｰﾄﾞ,銀行名,銀行ｶﾅ: identifiers in any script.
  const auto lines = ReadList(
      "T1,K,N,\r\nT2,K,,KN,ignored\r\n"
      "\x8B\xE2\x8D\x73\x83\x7D\x83\x58\x83\x5E,\x8B\xE2\x8D\x73\xBA\xB0\xC4\xDE,"
      "\x8B\xE2\x8D\x73\x96\xBC,\x8B\xE2\x8D\x73\xB6\xC5\r\n"
      "_t#1,@k$,n_2,k@\r\n");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].nameColumn, "N");
  EXPECT_EQ(lines[0].kanaColumn, "");
  EXPECT_EQ(lines[1].nameColumn, "");
  EXPECT_EQ(lines[1].kanaColumn, "KN");
  EXPECT_EQ(lines[2].table, "銀行マスタ");
  EXPECT_EQ(lines[2].key, "銀行ｺｰﾄﾞ");
  EXPECT_EQ(lines[2].kanaColumn, "銀行ｶﾅ");
  EXPECT_EQ(lines[3].key, "@k$");
}

TEST_F(TableListTest, ALineWithTooFewFieldsNamesFileAndLine) {
  EXPECT_EQ(ListError("T,K,N,KN\r\n\r\nT,K,N\r\n"),
            "ファイル「ORV_List」の3行目は項目が 3 つしかありません "
            "(テーブル名、キー列、名称列、カナ列の 4 つが必要です)。");
}

TEST_F(TableListTest, EveryNameMustBeAPlainIdentifier) {
  EXPECT_EQ(ListError("A,B,C,D\r\nTBank,1=1 OR BankCode,BankName,BankKana\r\n"),
            "ファイル「ORV_List」の2行目の項目 2 (キー列) 「1=1 OR BankCode」は SQL Server "
            "の名前として使えません。名前には文字、数字、_ @ # $ だけが使えます。");
  // Operators, quotes, brackets, blanks (a full-width one too), comments, a leading digit or
  // "$", an empty table or key, and a name longer than SQL Server allows.
  for (const std::string& line : std::vector<std::string>{
           "T',K,N,KN", "T,K],N,KN", "T,K,[N,KN", "T,K,N;,KN", "T,K,N,K--N", "T,K,N,/*KN",
           "T,5,N,KN", "T,K,N,1st", "$T,K,N,KN", "T,K,N=N,KN", "T,K,N,K.N", "T,GINKO CD,N,KN",
           "T,K ,N,KN", "T,K,\x8B\xE2\x81\x40\x8D\x73,KN", "T,,N,KN", ",K,N,KN", "T,\"K\",N,KN",
           "T,K,N," + std::string(129, 'k')}) {
    EXPECT_NE(ListError("A,B,C,D\r\n" + line).find("2行目の項目"), std::string::npos) << line;
  }
  EXPECT_EQ(ReadList("T,K,N," + std::string(128, 'k')).size(), 1u);
}

// One column in two roles would write the kana into the name, or match rows on the new name.
TEST_F(TableListTest, KeyNameAndKanaColumnsMustBeThreeColumns) {
  EXPECT_EQ(ListError("T,K,N,KN\r\nTBank,BankCode,BankName,bankname\r\n"),
            "ファイル「ORV_List」の2行目の項目 3 (名称列) と項目 4 (カナ列) が同じ列「BankName」で"
            "す。キー列、名称列、カナ列は別の列にしてください。");
  for (const char* line : {"T,K,K,", "T,K,,K", "T,k,N,K"}) {
    EXPECT_NE(ListError(line).find("が同じ列"), std::string::npos) << line;
  }
  EXPECT_EQ(ReadList("T,K,,\r\nT,K,N,\r\n").size(), 2u);
}

TEST_F(TableListTest, ListsAndFilesBeyondTheirBoundsAreRefused) {
  std::string lines;
  for (std::size_t i = 0; i < basCommon::kMaxTableListLines; ++i) lines += "T,K,N,KN\r\n";
  EXPECT_EQ(ReadList(lines).size(), basCommon::kMaxTableListLines);
  EXPECT_EQ(ListError(lines + "T,K,N,KN\r\n"),
            "ファイル「ORV_List」には使う行が 10001 行あります。テーブルの一覧は 10000 行までで"
            "す。");
  EXPECT_EQ(ListError(std::string(basCommon::kMaxControlFileBytes + 1, ' ')),
            "ファイル「ORV_List」が大きすぎます。制御ファイルは 10 MB までです。");
}

}  // namespace
