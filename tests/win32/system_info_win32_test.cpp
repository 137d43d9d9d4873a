// The probe against the real platform: Wine's configured Windows version, its memory counters and
// its Shlwapi.dll, each compared with the test's own calls.
#include <windows.h>

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "win32_test_util.h"

namespace ost::test {
namespace {

struct ProbeOutput {
    int virtualFree = 0, virtualTotal = 0, memoryFree = 0, memoryTotal = 0;
    std::string winVersion, winName, cpuVersion, ieVersion;
};

ProbeOutput RunProbe() {
    std::string output;
    EXPECT_TRUE(RunAndCapture(L"\"" + ProgramFolder() + L"system_probe.exe\"", output));
    const auto lines = SplitLines(output);
    ProbeOutput p;
    if (lines.size() != 8) {
        ADD_FAILURE() << "expected 8 lines from the probe, got:\n" << output;
        return p;
    }
    p.virtualFree = std::stoi(lines[0]);
    p.virtualTotal = std::stoi(lines[1]);
    p.memoryFree = std::stoi(lines[2]);
    p.memoryTotal = std::stoi(lines[3]);
    p.winVersion = lines[4];
    p.winName = lines[5];
    p.cpuVersion = lines[6];
    p.ieVersion = lines[7];
    return p;
}

// Whole kilobytes as a 32-bit Windows program sees them: the count clamped to the 32-bit record.
int Kb(SIZE_T bytes) {
    const double kb = static_cast<double>(std::min<uint64_t>(bytes, 0xFFFFFFFFull)) / 1024.0;
    return static_cast<int>(std::nearbyint(kb));
}

const wchar_t kProbeDefaults[] = L"Software\\Wine\\AppDefaults\\system_probe.exe";

TEST(SystemInfoWin32Test, WindowsXpIsNamedAndNumbered) {
    ScopedUserRegistryValue version(kProbeDefaults, L"Version", L"winxp");
    const ProbeOutput p = RunProbe();
    EXPECT_EQ(p.winName, "Windows XP");
    EXPECT_EQ(p.winVersion, "5.1 (Build 2600)");
}

TEST(SystemInfoWin32Test, Windows2000AndTheDefaultVersion) {
    {
        ScopedUserRegistryValue version(kProbeDefaults, L"Version", L"win2k");
        const ProbeOutput p = RunProbe();
        EXPECT_EQ(p.winName, "Windows 2000");
        EXPECT_EQ(p.winVersion, "5.0 (Build 2195)");
    }
    OSVERSIONINFOA own{};
    own.dwOSVersionInfoSize = sizeof(own);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(::GetVersionExA(&own));
#pragma GCC diagnostic pop
    ASSERT_GE(own.dwMajorVersion, 6u) << "the prefix's default is a version past the naming table";
    const ProbeOutput p = RunProbe();
    EXPECT_EQ(p.winName, "Windows Unknown Version");
    EXPECT_EQ(p.winVersion, std::to_string(own.dwMajorVersion) + "." + std::to_string(own.dwMinorVersion) + " (Build " +
                                std::to_string(own.dwBuildNumber) + ")");
}

TEST(SystemInfoWin32Test, MemoryShellAndProcessorMatchTheTestsOwnCalls) {
    const ProbeOutput p = RunProbe();
    MEMORYSTATUS own{};
    ::GlobalMemoryStatus(&own);
    EXPECT_EQ(p.memoryTotal, Kb(own.dwTotalPhys));
    EXPECT_EQ(p.virtualTotal, Kb(own.dwTotalVirtual));
    // Free counts move between the two calls: allow 5 % of the total.
    EXPECT_NEAR(p.memoryFree, Kb(own.dwAvailPhys), Kb(own.dwTotalPhys) / 20 + 1);
    EXPECT_NEAR(p.virtualFree, Kb(own.dwAvailVirtual), Kb(own.dwTotalVirtual) / 20 + 1);
    EXPECT_GT(p.memoryTotal, 0);

    HMODULE shlwapi = ::LoadLibraryW(L"shlwapi.dll");
    ASSERT_NE(shlwapi, nullptr);
    auto getVersion =
        reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(::GetProcAddress(shlwapi, "DllGetVersion")));
    ASSERT_NE(getVersion, nullptr);
    DLLVERSIONINFO v{};
    v.cbSize = sizeof(v);
    ASSERT_EQ(getVersion(&v), S_OK);
    EXPECT_EQ(p.ieVersion, "Internet Explorer " + std::to_string(v.dwMajorVersion) + "." +
                               std::to_string(v.dwMinorVersion) + "." + std::to_string(v.dwBuildNumber));
    EXPECT_NE(p.ieVersion, "Internet Explorer 0.0.0");
    ::FreeLibrary(shlwapi);

    SYSTEM_INFO si{};
    ::GetSystemInfo(&si);
    const char* expected = si.dwProcessorType == 586   ? "Intel Pentium"
                           : si.dwProcessorType == 486 ? "Intel 486"
                           : si.dwProcessorType == 386 ? "Intel 386"
                                                       : "(unknown)";
    EXPECT_EQ(p.cpuVersion, expected);
}

}  // namespace
}  // namespace ost::test
