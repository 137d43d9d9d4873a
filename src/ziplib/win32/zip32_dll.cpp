// zip32.dll's exported entries: the Win32 file system and the ANSI code page around the
// portable library. No C++ exception leaves them.
#include <windows.h>

#include <type_traits>

#include "ziplib/win32/file_system_win32.h"
#include "ziplib/zip32_api.h"

namespace {

ost::zip::Zip32Library& Library() {
    static ost::zip::Win32FileSystem fileSystem;
    static ost::zip::AnsiCodec codec;
    static ost::zip::Zip32Library library(fileSystem, codec);
    return library;
}

}  // namespace

extern "C" {

__declspec(dllexport) int32_t ZIP32_API ZpInit(ZIPUSERFUNCTIONS* functions) {
    return Library().Init(functions);
}

__declspec(dllexport) int32_t ZIP32_API ZpSetOptions(ZPOPT* options) {
    return Library().SetOptions(options);
}

__declspec(dllexport) int32_t ZIP32_API ZpArchive(int32_t count, char* zipFileName, ZIPNAMES* names) {
    return Library().Archive(count, zipFileName, names);
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&ZpInit), ZpInitFn>);
static_assert(std::is_same_v<decltype(&ZpSetOptions), ZpSetOptionsFn>);
static_assert(std::is_same_v<decltype(&ZpArchive), ZpArchiveFn>);
