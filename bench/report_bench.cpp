// Report benchmark: the listings of the Windows folder and the system folder written the way a
// support-file run writes them, against one bare walk of the same trees.
//   bench_report [OUTPUT]   (default C:\ost-report-bench.txt, deleted afterwards)
#include "platform/win32/compat.h"

#include <psapi.h>

#include <cstdio>
#include <string>

#include "app/report_writer.h"
#include "bench_win32.h"
#include "platform/error.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/text.h"

using namespace ost;
using namespace ost::bench;

int main(int argc, char** argv) {
    const std::string output = argc > 1 ? argv[1] : "C:\\ost-report-bench.txt";
    win::Win32Locale locale;
    win::Win32FileSystem fs(locale);
    const std::string windows = fs.GetSpecialFolder(SpecialFolder::Windows)->Path();
    const std::string system = fs.GetSpecialFolder(SpecialFolder::System)->Path();

    BareWalk(win::LongPath(windows));  // warms the caches for both measurements
    const double t0 = Seconds();
    const uint64_t entries = BareWalk(win::LongPath(windows)) + BareWalk(win::LongPath(system));
    const double bare = Seconds() - t0;

    ReportWriter writer(fs, locale, {{}, {}, {}, [] { return std::string("Windows XP"); }});
    CountingOperations ops;
    const double t1 = Seconds();
    {
        auto report = fs.OpenTextFile(output, IoMode::ForWriting, true, 0);
        writer.SetStreams(report.get(), nullptr);
        writer.WindowsFolder(ops);
        writer.SystemFolder(ops);
    }
    const double listing = Seconds() - t1;

    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    ::GetFileAttributesExW(win::LongPath(output).c_str(), GetFileExInfoStandard, &attributes);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    fs.DeleteFile(output, true);

    std::printf("folders: %s and %s, %llu entries in their trees\n", windows.c_str(), system.c_str(),
                static_cast<unsigned long long>(entries));
    std::printf("bare walk of both trees (reference): %.3f s\n", bare);
    std::printf("listings of both folders as the report writes them: %.3f s (%lu bytes written, %d failed writes)\n",
                listing, static_cast<unsigned long>(attributes.nFileSizeLow), ops.failures);
    std::printf("ratio: %.2f\n", listing / bare);
    std::printf("peak working set: %.1f MB, peak private bytes: %.1f MB\n", memory.PeakWorkingSetSize / 1048576.0,
                memory.PeakPagefileUsage / 1048576.0);
    return 0;
}
