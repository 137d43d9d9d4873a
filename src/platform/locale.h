// The user's regional settings and the system's ANSI code page, as the program needs them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ost {

// A local date and time, as file times and the general date format use them.
struct DateTime {
    int year = 0;
    int month = 0;  // 1-12
    int day = 0;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class ILocale {
  public:
    virtual ~ILocale() = default;
    // The user's decimal separator ("." or "," and so on).
    virtual std::string DecimalSeparator() = 0;
    // The general date format of the user's locale: the short date, a blank and the long time;
    // the date alone when the time is exactly midnight. Raises AppError for a date the platform
    // cannot format.
    virtual std::string GeneralDate(const DateTime& when) = 0;
    // UTF-8 to the system's ANSI code page; a character the code page cannot hold becomes '?'.
    virtual std::string ToAnsi(std::string_view utf8) = 0;
    // Bytes in the ANSI code page to UTF-8.
    virtual std::string FromAnsi(std::string_view ansi) = 0;
    // The text with every letter in upper case, by the platform's own case mapping for file names:
    // every script's letters, one character for one ("é" becomes "É", "ß" stays), and the same
    // whatever the user's language (no Turkish dotted capital I), so that two names the file system
    // treats as one name come out equal.
    virtual std::string UpperCase(std::string_view utf8) = 0;
};

}  // namespace ost
