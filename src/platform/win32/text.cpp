#include "platform/win32/text.h"

#include <windows.h>

namespace ost::win {

namespace {

std::wstring ToUtf16(UINT codePage, std::string_view bytes) {
    if (bytes.empty())
        return {};
    const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::string FromUtf16(UINT codePage, std::wstring_view text) {
    if (text.empty())
        return {};
    // No WC_NO_BEST_FIT_CHARS for UTF-8; for the ANSI code page it makes unmappable characters '?'
    // instead of look-alikes that could change a file name's meaning.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* defaultChar = codePage == CP_UTF8 ? nullptr : "?";
    const int n = ::WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        defaultChar, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n, defaultChar,
                          nullptr);
    return out;
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
    return ToUtf16(CP_UTF8, utf8);
}
std::string Narrow(std::wstring_view utf16) {
    return FromUtf16(CP_UTF8, utf16);
}
std::string ToAnsi(std::string_view utf8) {
    return FromUtf16(CP_ACP, Widen(utf8));
}
std::string FromAnsi(std::string_view ansi) {
    return Narrow(ToUtf16(CP_ACP, ansi));
}

}  // namespace ost::win
