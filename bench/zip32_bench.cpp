// zip32_bench: packs files through the real zip32.dll under Wine, for the benchmarks.
//   zip32_bench ARCHIVE FILE...   (Windows paths)
// Prints the process's peak working set in MB on standard output and exits with ZpArchive's result.
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/text.h"
#include "ziplib/zip32.h"

namespace {

int32_t ZIP32_API Print(char*, uint32_t) {
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argc > kZipNameListSize + 2) {
        std::fprintf(stderr, "usage: zip32_bench ARCHIVE FILE...\n");
        return 2;
    }
    std::wstring dll = L"Z:" + ost::win::Widen(OST_ZIP32_DLL);  // the build's own, through Wine's drive Z:
    for (wchar_t& c : dll)
        if (c == L'/')
            c = L'\\';
    HMODULE library = ::LoadLibraryW(dll.c_str());
    if (!library) {
        std::fprintf(stderr, "cannot load zip32.dll\n");
        return 2;
    }
    auto init = reinterpret_cast<ZpInitFn>(reinterpret_cast<void*>(::GetProcAddress(library, "ZpInit")));
    auto setOptions =
        reinterpret_cast<ZpSetOptionsFn>(reinterpret_cast<void*>(::GetProcAddress(library, "ZpSetOptions")));
    auto archive = reinterpret_cast<ZpArchiveFn>(reinterpret_cast<void*>(::GetProcAddress(library, "ZpArchive")));
    if (!init || !setOptions || !archive)
        return 2;
    ZIPUSERFUNCTIONS functions{&Print, nullptr, nullptr, nullptr};
    init(&functions);
    ZPOPT options{};
    options.fQuiet = 1;
    std::string root = "\\";
    options.szRootDir = root.data();
    setOptions(&options);
    std::vector<std::string> copies;
    for (int i = 1; i < argc; ++i)
        copies.push_back(ost::win::ToAnsi(ost::win::Narrow(argv[i])));
    ZIPNAMES names{};
    for (size_t i = 1; i < copies.size(); ++i)
        names.name[i - 1] = copies[i].data();
    LARGE_INTEGER start, end, frequency;
    ::QueryPerformanceCounter(&start);
    const int32_t result = archive(static_cast<int32_t>(copies.size() - 1), copies[0].data(), &names);
    ::QueryPerformanceCounter(&end);
    ::QueryPerformanceFrequency(&frequency);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    std::printf("%.1f\n", static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0));
    // The call alone, without Wine's start-up and the library's loading.
    std::printf("%.3f\n", static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    return result;
}
