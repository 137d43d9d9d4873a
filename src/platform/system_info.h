// What the system information probe asks of the platform: four queries, each returning the fields
// of its published record that the probe reads.
#pragma once

#include <cstdint>

namespace ost {

// GetVersionExA's major, minor and build members; all zero when the query failed.
struct OsVersionRecord {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};

// GlobalMemoryStatus's four byte counts. A 64-bit process sees counts above 2^32 - 1 (the
// virtual address space is 128 TiB there); the probe saturates them to the 32-bit record's range.
struct MemoryRecord {
    uint64_t totalPhys = 0;
    uint64_t availPhys = 0;
    uint64_t totalVirtual = 0;
    uint64_t availVirtual = 0;
};

// DllGetVersion's major, minor and build members; all zero when the call failed or the library
// or its entry could not be found.
struct DllVersionRecord {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};

class ISystemInfoSource {
  public:
    virtual ~ISystemInfoSource() = default;
    virtual OsVersionRecord QueryVersion() = 0;
    virtual uint32_t QueryProcessorType() = 0;
    virtual MemoryRecord QueryMemory() = 0;
    // DllGetVersion of "Shlwapi.dll", found by that bare name and bound on first use.
    virtual DllVersionRecord QueryShellVersion() = 0;
};

}  // namespace ost
