// The system information queries over kernel32 and Shlwapi.dll.
#pragma once

#include "platform/system_info.h"
#include "platform/win32/unique_handle.h"

namespace ost::win {

class Win32SystemInfoSource final : public ISystemInfoSource {
  public:
    OsVersionRecord QueryVersion() override;        // GetVersionExA, record size 148
    uint32_t QueryProcessorType() override;         // GetSystemInfo's dwProcessorType
    MemoryRecord QueryMemory() override;            // GlobalMemoryStatus
    DllVersionRecord QueryShellVersion() override;  // DllGetVersion of "Shlwapi.dll", record size 20

  private:
    UniqueHModule shlwapi_;  // loaded by bare name on the first QueryShellVersion, kept after
    bool shlwapiTried_ = false;
};

}  // namespace ost::win
