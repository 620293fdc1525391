// The progress window's numbers: range, steps and the rounded percentage.
#include <gtest/gtest.h>

#include "progress/Progress.hpp"

namespace {

std::vector<std::string> Steps(int maximum, int steps) {
  progress::ProgressModel model;
  model.Set(0, maximum, 0);
  std::vector<std::string> texts{model.Text()};
  for (int i = 0; i < steps; ++i) {
    model.Increase();
    texts.push_back(model.Text());
  }
  return texts;
}

TEST(ProgressTest, EachStepShowsThePercentageRoundedHalfToEven) {
  EXPECT_EQ(Steps(5, 6),
            (std::vector<std::string>{"0%", "20%", "40%", "60%", "80%", "100%", "100%"}));
  EXPECT_EQ(Steps(3, 3), (std::vector<std::string>{"0%", "33%", "67%", "100%"}));
  EXPECT_EQ(Steps(8, 3), (std::vector<std::string>{"0%", "12%", "25%", "38%"}));
}

TEST(ProgressTest, AFullOrEmptyBarDoesNotMove) {
  progress::ProgressModel model;
  EXPECT_EQ(model.Text(), "100%");
  model.Set(0, 0, 0);
  EXPECT_FALSE(model.Increase());
  EXPECT_EQ(model.Text(), "0%");
  EXPECT_EQ(model.Value(), 0);
  model.Set(0, 2, 2);
  EXPECT_FALSE(model.Increase());
  model.Set(0, 2, 0);
  EXPECT_TRUE(model.Increase());
  EXPECT_EQ(model.Value(), 1);
}

}  // namespace
