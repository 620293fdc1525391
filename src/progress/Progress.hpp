// What the progress window shows, apart from drawing it: the bar's range and value, and the
// percentage text after each step.
#pragma once

#include <string>

namespace progress {

class ProgressModel {
 public:
  /// Sets the range and the value; the text starts again at "0%".
  void Set(int minimum, int maximum, int value);

  /// Advances the value by one unless the bar is full; false when nothing changed.
  bool Increase();

  float Minimum() const { return minimum_; }
  float Maximum() const { return maximum_; }
  float Value() const { return value_; }
  const std::string& Text() const { return text_; }

 private:
  // The bar keeps single-precision numbers, as the common controls' bar does.
  float minimum_ = 0;
  float maximum_ = 100;
  float value_ = 0;
  std::string text_ = "100%";
};

}  // namespace progress
