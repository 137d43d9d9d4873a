// Number rounding and formatting rules shared by the probes and the report.
#pragma once

#include <string>

namespace ost {

// Nearest whole number, an exact half going to the even neighbour (0.5 -> 0, 1.5 -> 2, 2.5 -> 2),
// whatever the floating-point environment's rounding mode.
double RoundHalfEven(double value);

// The "0.00" pattern: at least one digit before the separator, exactly two after it, no group
// separators, rounded to two places with an exact half going away from zero (1.125 -> "1.13").
std::string FormatFixed2(double value, const std::string& decimalSeparator);

}  // namespace ost
