// Number rounding and formatting rules shared by the probes and the report.
#pragma once

namespace ost {

// Nearest whole number, an exact half going to the even neighbour (0.5 -> 0, 1.5 -> 2, 2.5 -> 2),
// whatever the floating-point environment's rounding mode.
double RoundHalfEven(double value);

}  // namespace ost
