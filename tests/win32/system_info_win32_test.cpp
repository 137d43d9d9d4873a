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

// The probe's eight lines: virtual free and total, memory free and total (whole kilobytes), the
// version text, the name, the processor and the shell version.
struct ProbeOutput {
    int virtualFree = 0, virtualTotal = 0, memoryFree = 0, memoryTotal = 0;
    std::string winVersion, winName, cpuVersion, ieVersion;
};

ProbeOutput RunProbe() {
    std::string output;
    EXPECT_TRUE(RunAndCapture(L"\"" + ProgramFolder() + L"system_probe.exe\"", output));
    const auto l = SplitLines(output);
    if (l.size() != 8) {
        ADD_FAILURE() << "expected 8 lines from the probe, got:\n" << output;
        return {};
    }
    return {std::stoi(l[0]), std::stoi(l[1]), std::stoi(l[2]), std::stoi(l[3]), l[4], l[5], l[6], l[7]};
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

// The prefix's default: a version past the naming table, and every other figure as the test's own calls give it.
TEST(SystemInfoWin32Test, DefaultVersionMemoryShellAndProcessorMatchTheTestsOwnCalls) {
    const ProbeOutput p = RunProbe();
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(::GetVersionExA(&version));
#pragma GCC diagnostic pop
    ASSERT_GE(version.dwMajorVersion, 6u);
    EXPECT_EQ(p.winName, "Windows Unknown Version");
    EXPECT_EQ(p.winVersion, std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) +
                                " (Build " + std::to_string(version.dwBuildNumber) + ")");
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
