// ovunzip (native) and unzip32_bench.exe (Wine): one run of the unzip library through its two
// entries and records, for the benchmarks.
//   ovunzip [-t] [-v] [-l LIMIT] ARCHIVE [FOLDER]       natively, through the library linked in
//   unzip32_bench [-t] [-v] [-l LIMIT] ARCHIVE [FOLDER] under Wine, through the build's unzip32.dll
//                                                       (Windows paths)
// -t tests instead of extracting; -v prints the library's messages on standard error; -l sets how
// many files and folders the run may create (UzpSetCreateLimit). Extraction
// overwrites existing files. The Wine build prints the process's peak working set in MB on
// standard output. Exits with the library's result.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ziplib/unzip32.h"

#ifdef _WIN32
#include <windows.h>

#include <psapi.h>

#include "platform/win32/text.h"
#else
#include "ziplib/posix_file_system.h"
#include "ziplib/unzip32_api.h"
#endif

namespace {

bool verbose = false;

int32_t ZIP32_API Print(char* buffer, int32_t length) {
    if (verbose)
        std::fwrite(buffer, 1, static_cast<size_t>(length), stderr);
    return 0;
}
int32_t ZIP32_API Replace(char*) {
    return kUnzipReplaceYes;
}
int32_t ZIP32_API Password(char*, int32_t, const char*, const char*) {
    return kUnzipPasswordNone;
}
void ZIP32_API Message(uint32_t,
                       uint32_t,
                       uint32_t,
                       int16_t,
                       int16_t,
                       int16_t,
                       int16_t,
                       int16_t,
                       char,
                       char*,
                       const char*,
                       uint32_t,
                       int32_t) {}
int32_t ZIP32_API Service(char*, int32_t) {
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    DCL options{};
    options.MessageLevel = 2;
    options.HonorDirectories = 1;
    options.OverWriteFiles = 1;
    options.CaseSensitive = 1;
    int arg = 1;
    long limit = -1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        if (std::strcmp(argv[arg], "-t") == 0)
            options.TestZip = 1;
        else if (std::strcmp(argv[arg], "-v") == 0)
            verbose = true, options.MessageLevel = 0;
        else if (std::strcmp(argv[arg], "-l") == 0 && arg + 1 < argc)
            limit = std::strtol(argv[++arg], nullptr, 10);
        else
            arg = argc;
    }
    if (argc - arg < 1 || argc - arg > 2) {
        std::fprintf(stderr, "usage: ovunzip [-t] [-v] [-l LIMIT] ARCHIVE [FOLDER]\n");
        return 2;
    }
#ifdef _WIN32
    std::wstring dll = L"Z:" + ost::win::Widen(OST_UNZIP32_DLL);  // the build's own, through Wine's drive Z:
    HMODULE library = ::LoadLibraryW(dll.c_str());
    auto version =
        library ? reinterpret_cast<UzpVersion2Fn>(reinterpret_cast<void*>(::GetProcAddress(library, "UzpVersion2")))
                : nullptr;
    auto unzip = library ? reinterpret_cast<Wiz_SingleEntryUnzipFn>(
                               reinterpret_cast<void*>(::GetProcAddress(library, "Wiz_SingleEntryUnzip")))
                         : nullptr;
    auto setLimit = library ? reinterpret_cast<UzpSetCreateLimitFn>(
                                  reinterpret_cast<void*>(::GetProcAddress(library, "UzpSetCreateLimit")))
                            : nullptr;
    if (!version || !unzip || !setLimit) {
        std::fprintf(stderr, "cannot load unzip32.dll\n");
        return 2;
    }
#else
    ost::zip::PosixFileSystem fs;
    ost::zip::Utf8Codec codec;
    ost::zip::Unzip32Library lib(fs, codec, false);
    auto version = [&](UnzipVersionInfo* v) { return lib.Version(v); };
    auto unzip = [&](int32_t ic, char** in, int32_t ec, char** ex, DCL* o, USERFUNCTION* f) {
        return lib.SingleEntryUnzip(ic, in, ec, ex, o, f);
    };
    auto setLimit = [&](uint32_t n) { return lib.SetCreateLimit(n); };
#endif
    if (limit >= 0)
        setLimit(static_cast<uint32_t>(limit));
    UnzipVersionInfo info{};
    info.length = sizeof(info);
    version(&info);
    std::string archive = argv[arg], folder = arg + 1 < argc ? argv[arg + 1] : "";
    options.ZipFileName = archive.data();
    options.ExtractDir = folder.empty() ? nullptr : folder.data();
    USERFUNCTION functions{&Print, nullptr, &Replace, &Password, &Message, &Service, 0, 0, 0, 0, 0};
    std::vector<char*> none(kUnzipNameListSize, nullptr);
    const int32_t result = unzip(0, none.data(), 0, none.data(), &options, &functions);
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    std::printf("%.1f\n", static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0));
#endif
    return result;
}
