// unzip32.dll's exported entries: the Win32 file system, the ANSI code page and the OEM code page
// around the portable library. No C++ exception leaves them.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "ziplib/unzip32_api.h"
#include "ziplib/win32/file_system_win32.h"

namespace {

// Text of the system's OEM code page in UTF-8, or nothing for bytes that are not text of it.
std::optional<std::string> FromOem(UINT codePage, std::string_view bytes) {
    const int size = static_cast<int>(bytes.size());
    const int wide = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (wide <= 0)
        return std::nullopt;
    std::wstring text(static_cast<size_t>(wide), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), wide);
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::nullopt;
    std::string utf8(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

ost::zip::Unzip32Library& Library() {
    static ost::zip::Win32FileSystem fileSystem;
    static ost::zip::AnsiCodec codec;
    // Windows file names differ only in letter case name the same file. Names without the UTF-8
    // flag are read as Windows' own zip folders read them: in the OEM code page.
    static ost::zip::Unzip32Library library(fileSystem, codec, true, [] {
        const UINT oem = ::GetOEMCP();
        return ost::zip::NameCodePage{oem, [oem](std::string_view bytes) { return FromOem(oem, bytes); }};
    }());
    return library;
}

}  // namespace

extern "C" {

__declspec(dllexport) int32_t ZIP32_API UzpVersion2(UnzipVersionInfo* version) {
    return Library().Version(version);
}

__declspec(dllexport) int32_t ZIP32_API Wiz_SingleEntryUnzip(int32_t includeCount,
                                                             char** include,
                                                             int32_t excludeCount,
                                                             char** exclude,
                                                             DCL* options,
                                                             USERFUNCTION* functions) {
    return Library().SingleEntryUnzip(includeCount, include, excludeCount, exclude, options, functions);
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&UzpVersion2), UzpVersion2Fn>);
static_assert(std::is_same_v<decltype(&Wiz_SingleEntryUnzip), Wiz_SingleEntryUnzipFn>);
