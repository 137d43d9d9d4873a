#include "platform/win32/locale_win32.h"

#include <windows.h>

#include <string>

#include "platform/win32/text.h"
#include "platform/win32/win_error.h"

namespace ost::win {

std::string Win32Locale::DecimalSeparator() {
    wchar_t buffer[16] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 16) == 0)
        return ".";
    return Narrow(buffer);
}

std::string Win32Locale::GeneralDate(const DateTime& when) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(when.year);
    st.wMonth = static_cast<WORD>(when.month);
    st.wDay = static_cast<WORD>(when.day);
    st.wHour = static_cast<WORD>(when.hour);
    st.wMinute = static_cast<WORD>(when.minute);
    st.wSecond = static_cast<WORD>(when.second);
    wchar_t date[128] = {};
    if (::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128) == 0)
        ThrowLastError("GetDateFormatW");
    std::string text = Narrow(date);
    if (when.hour == 0 && when.minute == 0 && when.second == 0)
        return text;
    wchar_t time[128] = {};
    if (::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 128) == 0)
        ThrowLastError("GetTimeFormatW");
    return text + " " + Narrow(time);
}

std::string Win32Locale::ToAnsi(std::string_view utf8) {
    return win::ToAnsi(utf8);
}
std::string Win32Locale::FromAnsi(std::string_view ansi) {
    return win::FromAnsi(ansi);
}

std::string Win32Locale::UpperCase(std::string_view utf8) {
    return win::UpperCase(utf8);
}

}  // namespace ost::win
