#include "inspect/system_info.h"

#include <algorithm>
#include <cmath>

#include "platform/format.h"

namespace ost {

cSystemInfo::cSystemInfo(ISystemInfoSource& source) {
    const OsVersionRecord version = source.QueryVersion();
    winName_ = NameForVersion(version.major, version.minor);
    winVersion_ = std::to_string(version.major) + "." + std::to_string(version.minor) + " (Build " +
                  std::to_string(version.build) + ")";

    cpuVersion_ = ProcessorText(source.QueryProcessorType());

    const MemoryRecord memory = source.QueryMemory();
    memoryTotal_ = RoundedKilobytes(Kilobytes(memory.totalPhys));
    memoryFree_ = RoundedKilobytes(Kilobytes(memory.availPhys));
    virtualMemoryTotal_ = RoundedKilobytes(Kilobytes(memory.totalVirtual));
    virtualMemoryFree_ = Kilobytes(memory.availVirtual);

    const DllVersionRecord shell = source.QueryShellVersion();
    ieVersion_ = "Internet Explorer " + std::to_string(shell.major) + "." + std::to_string(shell.minor) + "." +
                 std::to_string(shell.build);
}

int32_t cSystemInfo::VirtualMemoryFree() const {
    return RoundedKilobytes(virtualMemoryFree_);
}

std::string cSystemInfo::NameForVersion(uint32_t major, uint32_t minor) {
    switch (major) {
        case 3:
            return minor == 5 ? "Windows NT " : "Windows ";
        case 4:
            if (minor == 0)
                return "Windows NT";
            return minor == 1 ? "Windows 98" : "Windows ME";
        case 5:
            return minor == 1 ? "Windows XP" : "Windows 2000";
        default:
            return "Windows Unknown Version";
    }
}

std::string cSystemInfo::ProcessorText(uint32_t processorType) {
    switch (processorType) {
        case 386:
            return "Intel 386";
        case 486:
            return "Intel 486";
        case 586:
            return "Intel Pentium";
        case 4000:
            return "MIPS R4000";
        case 21064:
            return "DEC Alpha 21064";
        default:
            return "(unknown)";
    }
}

double cSystemInfo::Kilobytes(uint64_t bytes) {
    const uint64_t count = std::min<uint64_t>(bytes, UINT32_MAX);
    return static_cast<double>(count) / 1024.0;
}

int32_t cSystemInfo::RoundedKilobytes(double kilobytes) {
    // At most (2^32 - 1) / 1024, which rounds to 2^22: always inside the 32-bit range.
    return static_cast<int32_t>(RoundHalfEven(kilobytes));
}

}  // namespace ost
