// unzip32.dll's exported entries: the Win32 file system and the ANSI code page around the
// portable library. No C++ exception leaves them.
#include <windows.h>

#include <type_traits>

#include "ziplib/unzip32_api.h"
#include "ziplib/win32/file_system_win32.h"

namespace {

ost::zip::Unzip32Library& Library() {
    static ost::zip::Win32FileSystem fileSystem;
    static ost::zip::AnsiCodec codec;
    // Windows file names differ only in letter case name the same file.
    static ost::zip::Unzip32Library library(fileSystem, codec, true);
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
