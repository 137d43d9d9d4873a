#include "platform/win32/text.h"

#include <windows.h>

#include <climits>

#include "platform/error.h"
#include "platform/win32/win_error.h"

namespace ost::win {

namespace {

int CheckedLength(size_t size, const char* call) {
    if (size > static_cast<size_t>(INT_MAX))
        throw MakeError(err::kOverflow, {}, std::string(call) + ": a text of " + std::to_string(size) + " units");
    return static_cast<int>(size);
}

std::wstring ToUtf16(UINT codePage, std::string_view bytes) {
    if (bytes.empty())
        return {};
    const int length = CheckedLength(bytes.size(), "MultiByteToWideChar");
    // Flags 0 is the one setting every code page takes, UTF-8 included.
    const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (n == 0)
        ThrowLastError("MultiByteToWideChar", "code page " + std::to_string(codePage));
    std::wstring out(static_cast<size_t>(n), L'\0');
    if (::MultiByteToWideChar(codePage, 0, bytes.data(), length, out.data(), n) != n)
        ThrowLastError("MultiByteToWideChar", "code page " + std::to_string(codePage));
    return out;
}

// One pass of WideCharToMultiByte with the given settings: the converted bytes, or nothing when
// the system refused the settings or the text (GetLastError says why).
bool TryFromUtf16(UINT codePage, DWORD flags, const char* defaultChar, std::wstring_view text, std::string& out) {
    const int length = CheckedLength(text.size(), "WideCharToMultiByte");
    const int n = ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, defaultChar, nullptr);
    if (n == 0)
        return false;
    out.assign(static_cast<size_t>(n), '\0');
    return ::WideCharToMultiByte(codePage, flags, text.data(), length, out.data(), n, defaultChar, nullptr) == n;
}

std::string FromUtf16(UINT codePage, std::wstring_view text) {
    if (text.empty())
        return {};
    std::string out;
    // UTF-8 holds every character and takes neither flags nor a default character.
    if (codePage == CP_UTF8) {
        if (!TryFromUtf16(codePage, 0, nullptr, text, out))
            ThrowLastError("WideCharToMultiByte", "code page 65001");
        return out;
    }
    // Elsewhere an unmappable character becomes '?', not a look-alike ("ā" as "a") that could
    // change a file name's meaning.
    if (TryFromUtf16(codePage, WC_NO_BEST_FIT_CHARS, "?", text, out))
        return out;
    // Some code pages (GB 18030, the ISO-2022 forms) take no flags and no default character: they
    // hold every character or substitute their own.
    const DWORD refused = ::GetLastError();
    if ((refused == ERROR_INVALID_FLAGS || refused == ERROR_INVALID_PARAMETER) &&
        TryFromUtf16(codePage, 0, nullptr, text, out))
        return out;
    throw Win32Error(refused, "WideCharToMultiByte", "code page " + std::to_string(codePage));
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
    return ToUtf16(CP_UTF8, utf8);
}
std::string Narrow(std::wstring_view utf16) {
    return FromUtf16(CP_UTF8, utf16);
}
std::string ToCodePage(uint32_t codePage, std::string_view utf8) {
    return FromUtf16(codePage, Widen(utf8));
}
std::string FromCodePage(uint32_t codePage, std::string_view bytes) {
    return Narrow(ToUtf16(codePage, bytes));
}
std::string UpperCase(std::string_view utf8) {
    const std::wstring text = Widen(utf8);
    if (text.empty())
        return {};
    // Without LCMAP_LINGUISTIC_CASING the mapping is the file system's, the same in every locale.
    const int length = static_cast<int>(text.size());
    const int n = ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), length, nullptr, 0);
    if (n == 0)
        ThrowLastError("LCMapStringW");
    std::wstring upper(static_cast<size_t>(n), L'\0');
    if (::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), length, upper.data(), n) == 0)
        ThrowLastError("LCMapStringW");
    return Narrow(upper);
}

std::string ToAnsi(std::string_view utf8) {
    return ToCodePage(::GetACP(), utf8);
}
std::string FromAnsi(std::string_view ansi) {
    return FromCodePage(::GetACP(), ansi);
}

}  // namespace ost::win
