// The access layer against answers that other drivers than the test server's give, through the
// scripted test driver and the real driver manager.
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
  EXPECT_EQ(ErrorOf("fetch error with info"), "Arithmetic overflow error.");
  EXPECT_EQ(ErrorOf("endless results"), "SQLMoreResults: the results do not end");
  EXPECT_EQ(ErrorOf("value without end"),
            "SQLGetData: the driver returned a value that does not end");
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
