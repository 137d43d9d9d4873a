// unzip32.dll's exported entries: the Win32 file system, the ANSI code page and the OEM code page
// around the portable library. No C++ exception leaves them.
#include <windows.h>

#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/win32/text.h"
#include "ziplib/unzip32_api.h"
#include "ziplib/win32/file_system_win32.h"

namespace {

// Text of the system's OEM code page in UTF-8, or nothing for bytes that are not text of it.
std::optional<std::string> FromOem(UINT codePage, std::string_view bytes) {
    if (bytes.size() > INT_MAX || ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                                        static_cast<int>(bytes.size()), nullptr, 0) <= 0)
        return std::nullopt;
    try {
        return ost::win::FromCodePage(codePage, bytes);
    } catch (...) {
        return std::nullopt;
    }
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

__declspec(dllexport) uint32_t ZIP32_API UzpSetCreateLimit(uint32_t limit) {
    return Library().SetCreateLimit(limit);
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
static_assert(std::is_same_v<decltype(&UzpSetCreateLimit), UzpSetCreateLimitFn>);
