// Prints the eight properties of a cSystemInfo built over the real platform, one per line, in the
// order of the class's interface. The probe tests run it as a child so that Wine's per-program
// Windows version setting applies to it alone.
#include <cstdio>

#include "inspect/system_info.h"
#include "platform/win32/system_info_win32.h"

int main() {
    ost::win::Win32SystemInfoSource source;
    const ost::cSystemInfo info(source);
    std::printf("%d\n%d\n%d\n%d\n%s\n%s\n%s\n%s\n", info.VirtualMemoryFree(), info.VirtualMemoryTotal(),
                info.MemoryFree(), info.MemoryTotal(), info.WinVersion().c_str(), info.WinName().c_str(),
                info.CPUVersion().c_str(), info.IEVersion().c_str());
    return 0;
}
