#include "platform/win32/system_info_win32.h"

#include <shlwapi.h>

namespace ost::win {

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record the probe fills is 148 bytes");
static_assert(sizeof(DLLVERSIONINFO) == 20, "the DLL version record is 20 bytes");

OsVersionRecord Win32SystemInfoSource::QueryVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    // The result is not acted on: after a failure the record is still zero.
    ::GetVersionExA(&info);
#pragma GCC diagnostic pop
    return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

uint32_t Win32SystemInfoSource::QueryProcessorType() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.dwProcessorType;
}

MemoryRecord Win32SystemInfoSource::QueryMemory() {
    MEMORYSTATUS status{};  // the length member is left at 0; the call fills it
    ::GlobalMemoryStatus(&status);
    return {status.dwTotalPhys, status.dwAvailPhys, status.dwTotalVirtual, status.dwAvailVirtual};
}

DllVersionRecord Win32SystemInfoSource::QueryShellVersion() {
    if (!shlwapiTried_) {
        shlwapiTried_ = true;
        shlwapi_.reset(::LoadLibraryW(L"Shlwapi.dll"));
    }
    if (!shlwapi_)
        return {};
    const auto getVersion =
        reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(::GetProcAddress(shlwapi_.get(), "DllGetVersion")));
    if (getVersion == nullptr)
        return {};
    DLLVERSIONINFO info{};
    info.cbSize = sizeof(info);
    getVersion(&info);  // its result code is not examined; a failure leaves the zeros
    return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

}  // namespace ost::win
