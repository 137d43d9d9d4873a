// The registry as the installed-programs list reads it: five calls in their ANSI forms, each
// returning the system's result code (0 for success) exactly as the platform gives it.
#pragma once

#include <cstdint>
#include <string>

namespace ost {

// An open key or one of the predefined roots.
using RegKey = std::uintptr_t;
// HKEY_LOCAL_MACHINE, sign-extended to the pointer width as the platform defines it.
inline const RegKey kHKeyLocalMachine =
    static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<int32_t>(0x80000002u)));

namespace reg {
inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kFileNotFound = 2;
inline constexpr int32_t kMoreData = 234;
inline constexpr int32_t kNoMoreItems = 259;
inline constexpr uint32_t kTypeSz = 1;            // REG_SZ
inline constexpr uint32_t kTypeExpandSz = 2;      // REG_EXPAND_SZ
inline constexpr uint32_t kEnumerateSubKeys = 8;  // KEY_ENUMERATE_SUB_KEYS
}  // namespace reg

class IRegistry {
  public:
    virtual ~IRegistry() = default;
    // RegOpenKeyExA.
    virtual int32_t OpenKeyEx(RegKey key,
                              const std::string& subKey,
                              uint32_t options,
                              uint32_t access,
                              RegKey* result) = 0;
    // RegEnumKeyExA: `name` and `className` hold *nameLength and *classLength bytes; on success
    // the lengths are set to the lengths of the texts returned (without their terminators).
    virtual int32_t EnumKeyEx(RegKey key,
                              uint32_t index,
                              char* name,
                              uint32_t* nameLength,
                              char* className,
                              uint32_t* classLength) = 0;
    // RegOpenKeyA.
    virtual int32_t OpenKey(RegKey key, const std::string& subKey, RegKey* result) = 0;
    // RegQueryValueExA: with `data` null, asks for the type and size only.
    virtual int32_t QueryValueEx(RegKey key,
                                 const std::string& valueName,
                                 uint32_t* type,
                                 uint8_t* data,
                                 uint32_t* dataSize) = 0;
    // RegCloseKey.
    virtual int32_t CloseKey(RegKey key) = 0;
};

}  // namespace ost
