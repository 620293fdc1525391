// The access layer against answers that drivers give in situations a test cannot arrange on a
// real connection, through the scripted test driver and the real driver manager.
#include <gtest/gtest.h>

#include "sqlserver/Odbc.hpp"
#include "support/TestSupport.hpp"

namespace {

class DriverAnswersTest : public testing::Test {
 protected:
  void SetUp() override {
    connection_.Open({{"Driver", support::ScriptedDriver()}, {"Data Source", "anywhere"}});
  }
  /// The error that running `script` raises, or "no error".
  std::string ErrorOf(const std::string& script) {
    try {
      connection_.Execute(script);
    } catch (const odbc::Error& e) {
      return e.what();
    }
    return "no error";
  }
  odbc::Connection connection_;
};

TEST_F(DriverAnswersTest, AFailedCallFailsTheBatchWithTheDriversDescription) {
  const std::pair<const char*, const char*> cases[] = {
      {"fetch fails", "Communication link failure"},
      {"fetch error with info", "Arithmetic overflow error."},
      {"endless results", "SQLMoreResults: the results do not end"},
  };
  for (const auto& [script, error] : cases) EXPECT_EQ(ErrorOf(script), error) << script;
  // The driver fails every call on the dead link, as FreeTDS does on a closed socket: the batch
  // ends at the first that fails.
  const std::pair<const char*, double> dead[] = {{"dead link", 2}, {"dead on execute", 1}};
  for (const auto& [script, calls] : dead) {
    EXPECT_EQ(ErrorOf(script), "Communication link failure") << script;
    EXPECT_LE(odbc::QueryNumber(connection_, "calls"), calls) << script;
  }
}

TEST_F(DriverAnswersTest, AnErrorRecordFailsTheBatchWhateverTheReturnCode) {
  try {
    connection_.Execute("error with info");
    FAIL() << "an error record passed as a warning";
  } catch (const odbc::Error& e) {
    // The informational record before it is kept, but the description is the error's.
    EXPECT_EQ(std::string(e.what()), "Invalid object name 'Missing'.");
    EXPECT_EQ(e.NativeError(), 208);
    ASSERT_EQ(e.Records().size(), 2u);
    EXPECT_EQ(e.Records()[0].native, 5701);
  }
  const auto results = connection_.Execute("info only");
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].rowsAffected, 1);
}

TEST(NumberOfTest, OnlyAWholeNumberInTheFirstFieldIsANumber) {
  EXPECT_EQ(odbc::NumberOf({{"n"}, {{"-12"}}}), -12);
  for (const auto& result : {odbc::ResultSet{}, odbc::ResultSet{{"n"}, {{}}},
                             odbc::ResultSet{{"n"}, {{"12x"}}}, odbc::ResultSet{{"n"}, {{""}}}}) {
    EXPECT_THROW(odbc::NumberOf(result), odbc::Error);
  }
}

}  // namespace
