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

TEST_F(ControlFilesTest, LinesEndAtCrLfOrLoneCrAndLfStaysInTheLine) {
  EXPECT_EQ(Read("a,b\r\nc\rd\ne"), (std::vector<Fields>{{"a", "b"}, {"c"}, {"d\ne"}}));
  EXPECT_EQ(Read("x\ny\nz\n"), (std::vector<Fields>{{"x\ny\nz\n"}}));
}

TEST_F(ControlFilesTest, BlankLinesAreSkippedButOtherLinesAreNotTrimmed) {
  // Spaces and full-width spaces only: blank. A tab is not a space.
  EXPECT_EQ(Read("\r\n   \r\n\x81\x40 \x81\x40\r\n a , b \r\n\t\r\n"),
            (std::vector<Fields>{{" a ", " b "}, {"\t"}}));
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

TEST_F(BankRecordTest, TooFewFieldsOrACodeThatIsNoNumberAreRefused) {
  try {
    basCommon::ParseBankRecord(ReadBank("0005,A,B,0005,C"));
    FAIL() << "five fields accepted";
  } catch (const std::out_of_range& e) {
    EXPECT_EQ(std::string(e.what()), basCommon::SubscriptOutOfRange);
  }
  EXPECT_THROW(basCommon::ParseBankRecord(ReadBank("")), std::out_of_range);
  for (const char* code : {"00A5", "", " 5", "5 ", "0x5", "5;DROP TABLE T"}) {
    EXPECT_THROW(basCommon::ParseBankRecord({"1", "a", "b", code, "c", "d"}), std::runtime_error)
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
  const auto lines = ReadList("T1,K,N,\r\nT2,K,,KN,ignored\r\nT3,K,Name Col,KN\r\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].nameColumn, "N");
  EXPECT_EQ(lines[0].kanaColumn, "");
  EXPECT_EQ(lines[1].nameColumn, "");
  EXPECT_EQ(lines[1].kanaColumn, "KN");
  EXPECT_EQ(lines[2].nameColumn, "Name Col");
}

TEST_F(TableListTest, ALineWithTooFewFieldsNamesFileAndLine) {
  EXPECT_EQ(ListError("T,K,N,KN\r\n\r\nT,K,N\r\n"),
            "ファイル「ORV_List」の3行目は項目が 3 つしかありません "
            "(テーブル名、キー列、名称列、カナ列の 4 つが必要です)。");
}

TEST_F(TableListTest, NamesThatWouldChangeTheSqlAreRefused) {
  for (const char* line : {"T',K,N,KN", "T,K],N,KN", "T,K,[N,KN", "T,K,N;,KN", "T,K,N,K--N",
                           "T,K,N,/*KN", "T,K,N\t,KN", "T,,N,KN", ",K,N,KN"}) {
    EXPECT_NE(ListError(std::string("A,B,C,D\r\n") + line).find("2行目"), std::string::npos)
        << line;
  }
}

}  // namespace
