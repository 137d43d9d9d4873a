// The registry through advapi32's ANSI calls.
#pragma once

#include "platform/registry.h"

namespace ost::win {

class Win32Registry final : public IRegistry {
  public:
    int32_t OpenKeyEx(RegKey key,
                      const std::string& subKey,
                      uint32_t options,
                      uint32_t access,
                      RegKey* result) override;
    int32_t EnumKeyEx(RegKey key,
                      uint32_t index,
                      char* name,
                      uint32_t* nameLength,
                      char* className,
                      uint32_t* classLength) override;
    int32_t OpenKey(RegKey key, const std::string& subKey, RegKey* result) override;
    int32_t QueryValueEx(RegKey key,
                         const std::string& valueName,
                         uint32_t* type,
                         uint8_t* data,
                         uint32_t* dataSize) override;
    int32_t CloseKey(RegKey key) override;
};

}  // namespace ost::win
