// The progress percentage: value / maximum x 100, rounded half to even (1 of 8 shows 12%).
#include "progress/Progress.hpp"

#include <cmath>

namespace progress {

void ProgressModel::Set(int minimum, int maximum, int value) {
  minimum_ = static_cast<float>(minimum);
  maximum_ = static_cast<float>(maximum);
  value_ = static_cast<float>(value);
  text_ = "0%";
}

bool ProgressModel::Increase() {
  if (!(maximum_ > value_)) return false;
  value_ += 1;
  const double percent = static_cast<double>(value_) / static_cast<double>(maximum_) * 100.0;
  // nearbyint rounds in the default mode: to nearest, ties to even.
  text_ = std::to_string(static_cast<long>(std::nearbyint(percent))) + "%";
  return true;
}

}  // namespace progress
