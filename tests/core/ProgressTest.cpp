// The progress window's numbers: range, steps and the rounded percentage.
#include <gtest/gtest.h>

#include "progress/Progress.hpp"

namespace {

TEST(ProgressTest, EachStepShowsThePercentageRoundedHalfToEvenUpToAFullBar) {
  const struct {
    int maximum, steps;
    std::vector<std::string> texts;
  } cases[] = {
      {5, 6, {"0%", "20%", "40%", "60%", "80%", "100%", "100%"}},
      {3, 3, {"0%", "33%", "67%", "100%"}},
      {8, 3, {"0%", "12%", "25%", "38%"}},
      {0, 1, {"0%", "0%"}},  // an empty bar never moves
  };
  for (const auto& c : cases) {
    progress::ProgressModel model;
    model.Set(0, c.maximum, 0);
    std::vector<std::string> texts{model.Text()};
    for (int i = 0; i < c.steps; ++i) {
      EXPECT_EQ(model.Increase(), i < c.maximum) << c.maximum << " " << i;
      texts.push_back(model.Text());
    }
    EXPECT_EQ(texts, c.texts);
    EXPECT_EQ(model.Value(), std::min(c.maximum, c.steps));
  }
  EXPECT_EQ(progress::ProgressModel().Text(), "100%");
}

}  // namespace
