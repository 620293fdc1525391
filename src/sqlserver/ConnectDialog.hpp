// The connection dialog's rules that are not about drawing it: numbers typed into it, and its
// messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace basSQLServer {

/// The number a text begins with after leading blanks (sign, digits, decimal point and
/// fraction); 0 when it begins with no number: "15" 15, "-5" -5, "5a" 5, ".5" 0.5, "ab" 0.
double NumericValue(std::string_view text);

/// The time-out setting for a text: its numeric value rounded half to even.
std::int32_t TimeoutSeconds(std::string_view text);

/// A number as the dialog writes it back into a box: "5", "2.5".
std::string NumberText(double value);

/// Leading and trailing blanks (U+0020) removed.
std::string Trim(std::string_view text);

/// The warning after a failed connect attempt; `error` is the access layer's description.
std::string ConnectFailureMessage(const std::string& error);

}  // namespace basSQLServer
