// Support-file run benchmark: the report and packing phases of a run over the prefix's real
// Windows folders and a generated c:\pwwin32, each against its reference measured in the same run.
//   bench_run SUPPORT-FILE
// Prints the bare walk of the three trees (the report phase's reference), the report phase, the
// registry export's wait, the packing phase through zip32.dll, and the peak memory. It leaves
// c:\ovsupport.txt and c:\regbackup.reg in place so the calling script can pack the same two
// files with the host's `zip -6` for the packing phase's reference.
#include "platform/win32/compat.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/report_writer.h"
#include "bench_win32.h"
#include "archive/xw_un_zip_module.h"
#include "archive/xw_zip_files.h"
#include "inspect/drive_listing.h"
#include "inspect/mod_general.h"
#include "inspect/system_info.h"
#include "platform/error.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/library_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/process_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/system_info_win32.h"

namespace {

using namespace ost;
using namespace ost::bench;

// No window here: boxes go to standard output, yields do nothing.
class ConsoleUi : public IUi {
  public:
    int32_t MsgBox(const std::string& text, int32_t, const std::string&) override {
        std::printf("box: %s\n", text.c_str());
        return mb::kAnswerYes;
    }
    std::string InputBox(const std::string&, const std::string&, const std::string&) override { return {}; }
    void SetAppMousePointer(int32_t) override {}
    void DoEvents() override {}
    ScreenMetrics Screen() override { return {15360, 11520, 15, 15}; }
    [[noreturn]] void EndProgram() override { ::ExitProcess(1); }
};

class NullListBox : public IListBox {
  public:
    void Clear() override {}
    void AddItem(const std::string&) override {}
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_run SUPPORT-FILE\n");
        return 2;
    }
    ConsoleUi ui;
    win::Win32Locale locale;
    win::Win32LibraryLoader libraries;
    XW_UN_ZIP_Module module(ui, locale, libraries);
    win::Win32FileSystem fs(locale);
    win::Win32ProcessLauncher processes;
    win::Win32SystemInfoSource systemSource;
    const cSystemInfo info(systemSource);

    const std::string windows = fs.GetSpecialFolder(SpecialFolder::Windows)->Path();
    const std::string system = fs.GetSpecialFolder(SpecialFolder::System)->Path();
    const std::wstring trees[] = {win::LongPath(windows), win::LongPath(system), win::LongPath("c:\\pwwin32")};
    for (const auto& tree : trees)
        BareWalk(tree);  // warms the caches for both measurements

    // The programs list the report copies in, as the run writes it before the report.
    {
        NullListBox list;
        win::Win32Registry registry;
        modGeneral::ExportProgramList(list, fs, registry, locale, ui);
    }
    // Each phase is timed three times, alternating, and the best of each counts: other work on the
    // machine then weighs on the ratio as little as it can.
    double bare = 1e9;
    double reportPhase = 1e9;
    uint64_t entries = 0;
    CountingOperations ops(true);
    for (int round = 0; round < 3; ++round) {
        double t = Seconds();
        entries = 0;
        for (const auto& tree : trees)
            entries += BareWalk(tree);
        bare = std::min(bare, Seconds() - t);

        win::Win32FileSystem freshFs(locale);  // sizes are cached for one run only
        ReportWriter writer(
            freshFs, locale,
            {[&] { return std::string("Windows Version : ") + info.WinName(); }, [&] { return ui.Screen(); },
             [&] { return ExportDriveListings(freshFs, locale); }, [&] { return info.WinName(); }});
        t = Seconds();
        {
            auto report = freshFs.OpenTextFile("c:\\ovsupport.txt", IoMode::ForWriting, true, 0);
            auto programs = freshFs.OpenTextFile("c:\\progs.txt", IoMode::ForReading, false, 0);
            writer.SetStreams(report.get(), programs.get());
            writer.BasicInfo(ops);
            writer.WindowsFolder(ops);
            writer.SystemFolder(ops);
            writer.PebbleworkFolder(ops);
            writer.SetStreams(nullptr, nullptr);
        }
        reportPhase = std::min(reportPhase, Seconds() - t);
    }
    // A run starts the registry editor before the report and lets the two run side by side; here
    // it starts after, so the report phase is measured on the same quiet machine as its reference.
    auto editor = processes.Start(windows + "\\Regedit.exe /e c:\\regbackup.reg", 2);
    double t = Seconds();
    const bool exported = editor->WaitForExit(600000, nullptr);
    const double exportWait = Seconds() - t;

    t = Seconds();
    int32_t result = -1;
    {
        XWZipFiles zip;
        zip.ZipFileName(argv[1]);
        zip.AddFile("c:\\ovsupport.txt");
        zip.AddFile("c:\\regbackup.reg");
        result = zip.MakeZipFile();
    }
    const double packing = Seconds() - t;

    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    std::printf("trees: %s, %s, c:\\pwwin32: %llu entries\n", windows.c_str(), system.c_str(),
                static_cast<unsigned long long>(entries));
    std::printf("bare walk of the three trees (reference): %.3f s\n", bare);
    std::printf("report phase (stages 4 to 7): %.3f s, %d failed writes; ratio %.2f (goal 1.30 or less)\n", reportPhase,
                ops.failures, reportPhase / bare);
    std::printf("registry export: %.3f s (%s)\n", exportWait,
                exported ? "finished" : "bound reached");
    std::printf("packing phase (zip32.dll): %.3f s, result %d\n", packing, result);
    std::printf("peak working set: %.1f MB, peak private bytes: %.1f MB\n", memory.PeakWorkingSetSize / 1048576.0,
                memory.PeakPagefileUsage / 1048576.0);
    std::printf("packing seconds: %.3f\n", packing);
    return result == 0 ? 0 : 1;
}
