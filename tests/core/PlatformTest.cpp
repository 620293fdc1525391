// The platform layer: code page 932, environment, the single-instance lock, the process probe.
#include <gtest/gtest.h>

#include "platform/Platform.hpp"
#include "platform/Twips.hpp"
#include "startup/ProcessProbe.hpp"
#include "support/Scaling.hpp"
#include "support/TestSupport.hpp"

namespace {

TEST(Cp932Test, DecodesTheWindowsCodePageAndRefusesWhatItDoesNotDefine) {
  // Half-width katakana, 0x5C and 0x7E as ASCII, kanji, NEC row 13, IBM extension; 81 80 and
  // 82 A0, whose second bytes would be refused alone.
  EXPECT_EQ(platform::DecodeCp932("\xB1\x5C\x7E\x8A\xBF\x87\x40\xFA\x40\x81\x60\x81\x80\x82\xA0"),
            "ｱ\\~漢①ⅰ～÷あ");
  EXPECT_EQ(platform::DecodeCp932(""), "");
  // Windows' own table maps the single bytes 80, A0 and FD to FF to U+0080 and private-use
  // characters: both builds refuse them alike, wherever they stand outside a character.
  for (const char* bad : {"\x81\x20", "A\x82", "\x85\x40", "\x80", "\xA0", "\xFD", "\xFE", "\xFF",
                          "ab\xA0", "\x82\xA0\xFF"}) {
    EXPECT_THROW(platform::DecodeCp932(bad), platform::DecodeError) << bad;
  }
}

TEST(TextTest, CaseIsIgnoredForAsciiLettersOnly) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"FreeTDS", "freetds", true}, {"AZ", "az", true}, {"@[", "`{", false},
      {"ab", "abc", false},         {"é", "É", false},  {"", "", true}};
  for (const auto& [a, b, same] : cases) {
    EXPECT_EQ(platform::SameIgnoringAsciiCase(a, b), same) << a << " " << b;
  }
}

// Names from the server are shown on one line: every character that could break or hide one is
// written out, everything else kept.
TEST(TextTest, ControlCharactersAreWrittenOut) {
  const std::pair<const char*, const char*> cases[] = {
      {"db x\r\n・y", "db x\\r\\n・y"},
      {"a\tb\x1B\x7F", "a\\tb\\x1B\\x7F"},
      {"\u0080\u009F\u00A0~", "\\u0080\\u009F\u00A0~"},
      {"\u2028\u2029\u2027", "\\u2028\\u2029\u2027"},
      {"銀行ｷﾞﾝｺｳé", "銀行ｷﾞﾝｺｳé"},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(platform::VisibleControls(text), shown) << text;
}

TEST(TextTest, IdentifierCharactersAndUtf16) {
  // Letters and digits of any script, but not blanks or signs.
  for (const char32_t letter :
       {U'a', U'Z', U'7', U'漢', U'あ', U'カ', U'ｶ', U'ﾞ', U'ー', U'Ａ', U'é'}) {
    EXPECT_TRUE(platform::IsAlphanumeric(letter)) << static_cast<unsigned>(letter);
  }
  for (const char32_t other :
       {U' ', U'=', U'\'', U'\u3000', U'\u00A0', U'、', U'（', U'＝', U'😀'}) {
    EXPECT_FALSE(platform::IsAlphanumeric(other)) << static_cast<unsigned>(other);
  }
  EXPECT_EQ(platform::ToUtf16("ｶﾅ漢字😀"), u"ｶﾅ漢字😀");
  EXPECT_EQ(platform::ToUtf8(u"ｶﾅ漢字😀"), "ｶﾅ漢字😀");
}

// The designs' twips and point sizes at each scaling, as figures written down, not recomputed:
// twips to the nearest pixel at 96 dpi, scaled to the nearest, halves away from zero; fonts
// rounded down, so that text grows no faster than the controls made to hold it.
TEST(TwipsTest, DesignUnitsComeToTheFiguresAtEachScaling) {
  for (std::size_t i = 0; i < support::kDpis.size(); ++i) {
    const int dpi = support::kDpis[i];
    for (const auto& row : support::kScaledTwips) {
      EXPECT_EQ(platform::Twips(row.twips, dpi), row.pixels[i]) << row.twips << " at " << dpi;
    }
    for (const auto& row : support::kScaledFonts) {
      EXPECT_EQ(platform::FontHeight(row.points, dpi), row.height[i])
          << row.points << " at " << dpi;
    }
  }
}

TEST(EnvironmentTest, TheAccountVariablesAlwaysHaveAValueAndTheProgramAFolder) {
  for (const char* name : {"COMPUTERNAME", "USERDOMAIN", "USERNAME"}) {
    EXPECT_FALSE(platform::Environment(name).empty()) << name;
  }
  EXPECT_EQ(platform::Environment("ORAVEND_SURELY_UNSET_VARIABLE"), "");
  EXPECT_TRUE(platform::FileExists(support::HelperProgram()));
  const auto folder = platform::ProgramFolder();
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_FALSE(platform::FileExists(folder));
  EXPECT_FALSE(platform::FileExists(folder / "no-such-file"));
}

TEST(InstanceLockTest, OfTwoProcessesStartedTogetherExactlyOneIsFirst) {
  support::TempDir dir;
  const std::string name = "oravend-test-" + dir.Path().filename().string();
  const auto result = [&](int i) { return dir.Path() / ("result" + std::to_string(i)); };
  const auto release = dir.Path() / "release";
  std::vector<std::unique_ptr<support::ChildProcess>> processes;
  for (int i = 0; i < 2; ++i) {
    processes.push_back(std::make_unique<support::ChildProcess>(
        support::HelperProgram(),
        std::vector<std::string>{"lock", name, result(i).string(), release.string()}));
  }
  // Read until both answers show: under Wine on a busy machine, an answer another process had
  // just renamed into place has been read as empty.
  const auto answer = [&](int i) { return support::ReadFile(result(i)); };
  ASSERT_TRUE(support::WaitFor([&] { return !answer(0).empty() && !answer(1).empty(); }));
  const std::string answers = answer(0) + "+" + answer(1);
  EXPECT_TRUE(answers == "first+another" || answers == "another+first") << answers;
  {
    const platform::InstanceLock whileHeld(name);
    EXPECT_TRUE(whileHeld.AnotherInstance());
  }
  support::WriteFile(release, "");
  for (auto& process : processes) EXPECT_EQ(process->Wait(), 0);
  const platform::InstanceLock afterwards(name);
  EXPECT_FALSE(afterwards.AnotherInstance());
}

class ProcessProbeTest : public testing::Test {
 protected:
  bool Running(const std::string& name) { return basCommon::IsProcessRunning(name, ui_); }
  support::TempDir dir_;
  support::RecordingUi ui_;
  const std::string name_ = "Probe" + dir_.Path().filename().string() + ".Target.exe";
};

TEST_F(ProcessProbeTest, FindsARunningProgramByItsExactName) {
  EXPECT_FALSE(Running(name_));
  const auto process = support::StartNamedProcess(dir_.Path(), name_);
  EXPECT_TRUE(support::WaitFor([&] { return Running(name_); }));
  std::string lower = name_;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_FALSE(Running(lower));
  EXPECT_FALSE(Running(name_.substr(0, name_.size() - 4)));
  EXPECT_TRUE(ui_.boxes.empty());
}

#ifndef _WIN32
TEST_F(ProcessProbeTest, FindsAWindowsProgramByItsFirstArgument) {
  // A compatibility layer runs a Windows program under its own executable and passes the
  // program's Windows path as the first argument.
  const support::ChildProcess process("/bin/bash",
                                      {"-c", "exec -a 'C:\\Apps\\" + name_ + "' '" +
                                                 support::HelperProgram().string() + "' sleep 60"});
  EXPECT_TRUE(support::WaitFor([&] { return Running(name_); }));
}
#endif

}  // namespace
