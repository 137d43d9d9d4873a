#include "platform/format.h"

#include <cmath>
#include <string>

namespace ost {

double RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5)
        return floor + 1;
    if (fraction < 0.5)
        return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

}  // namespace ost

namespace ost {

std::string FormatFixed2(double value, const std::string& decimalSeparator) {
    // The byte counts divided here have few fractional bits, so value * 100 is exact and a half
    // stays a half.
    const double hundredths = std::floor(std::fabs(value) * 100.0 + 0.5);
    const auto whole = static_cast<unsigned long long>(hundredths / 100.0);
    const auto cents = static_cast<unsigned>(hundredths - static_cast<double>(whole) * 100.0);
    std::string text = (value < 0 && hundredths > 0) ? "-" : "";
    text += std::to_string(whole) + decimalSeparator;
    text += static_cast<char>('0' + cents / 10);
    text += static_cast<char>('0' + cents % 10);
    return text;
}

}  // namespace ost
