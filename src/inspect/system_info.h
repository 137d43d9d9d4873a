// cSystemInfo: the machine as it was when the window opened, gathered once at construction.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system_info.h"

namespace ost {

class cSystemInfo {
  public:
    // Makes the four platform queries in order (version, processor, memory, shell version) and
    // stores every value. Never fails: a failed query leaves zeros, which give the texts of the
    // failure case ("Windows Unknown Version", "0.0 (Build 0)", "Internet Explorer 0.0.0").
    explicit cSystemInfo(ISystemInfoSource& source);

    // Kilobytes (1024 bytes), rounded half to even; the available virtual space is rounded when read.
    int32_t VirtualMemoryFree() const;
    int32_t VirtualMemoryTotal() const { return virtualMemoryTotal_; }
    int32_t MemoryFree() const { return memoryFree_; }
    int32_t MemoryTotal() const { return memoryTotal_; }

    const std::string& WinVersion() const { return winVersion_; }
    const std::string& WinName() const { return winName_; }
    const std::string& CPUVersion() const { return cpuVersion_; }
    const std::string& IEVersion() const { return ieVersion_; }

    // The naming, processor and rounding rules on their own, for the probe and its tests.
    static std::string NameForVersion(uint32_t major, uint32_t minor);
    static std::string ProcessorText(uint32_t processorType);
    // A byte count as whole kilobytes: saturated to 2^32 - 1 bytes (the 32-bit record's range),
    // divided by 1024 in double precision, rounded to the nearest whole number, halves to even.
    static double Kilobytes(uint64_t bytes);
    static int32_t RoundedKilobytes(double kilobytes);

  private:
    std::string winVersion_;
    std::string winName_;
    std::string cpuVersion_;
    int32_t memoryTotal_ = 0;
    int32_t memoryFree_ = 0;
    int32_t virtualMemoryTotal_ = 0;
    double virtualMemoryFree_ = 0;
    std::string ieVersion_;
};

}  // namespace ost
