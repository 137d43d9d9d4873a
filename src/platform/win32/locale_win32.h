// The user's locale and the ANSI code page through kernel32.
#pragma once

#include "platform/locale.h"

namespace ost::win {

class Win32Locale final : public ILocale {
  public:
    std::string DecimalSeparator() override;                 // LOCALE_SDECIMAL of LOCALE_USER_DEFAULT
    std::string GeneralDate(const DateTime& when) override;  // GetDateFormatW + GetTimeFormatW
    std::string ToAnsi(std::string_view utf8) override;
    std::string FromAnsi(std::string_view ansi) override;
    std::string UpperCase(std::string_view utf8) override;  // LCMapStringW, LCMAP_UPPERCASE
};

}  // namespace ost::win
