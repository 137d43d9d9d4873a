#include "platform/win32/registry_win32.h"

#include "platform/win32/compat.h"

namespace ost::win {

namespace {
HKEY ToHKey(RegKey key) {
    return reinterpret_cast<HKEY>(key);
}
}  // namespace

int32_t Win32Registry::OpenKeyEx(RegKey key,
                                 const std::string& subKey,
                                 uint32_t options,
                                 uint32_t access,
                                 RegKey* result) {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExA(ToHKey(key), subKey.c_str(), options, access, &opened);
    *result = reinterpret_cast<RegKey>(opened);
    return status;
}

int32_t Win32Registry::EnumKeyEx(RegKey key,
                                 uint32_t index,
                                 char* name,
                                 uint32_t* nameLength,
                                 char* className,
                                 uint32_t* classLength) {
    DWORD nameChars = *nameLength;
    DWORD classChars = *classLength;
    FILETIME lastWrite{};
    const LONG status =
        ::RegEnumKeyExA(ToHKey(key), index, name, &nameChars, nullptr, className, &classChars, &lastWrite);
    *nameLength = nameChars;
    *classLength = classChars;
    return status;
}

int32_t Win32Registry::OpenKey(RegKey key, const std::string& subKey, RegKey* result) {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyA(ToHKey(key), subKey.c_str(), &opened);
    *result = reinterpret_cast<RegKey>(opened);
    return status;
}

int32_t Win32Registry::QueryValueEx(RegKey key,
                                    const std::string& valueName,
                                    uint32_t* type,
                                    uint8_t* data,
                                    uint32_t* dataSize) {
    DWORD valueType = 0;
    DWORD size = *dataSize;
    const LONG status = ::RegQueryValueExA(ToHKey(key), valueName.c_str(), nullptr, &valueType, data, &size);
    *type = valueType;
    *dataSize = size;
    return status;
}

int32_t Win32Registry::CloseKey(RegKey key) {
    return ::RegCloseKey(ToHKey(key));
}

}  // namespace ost::win
