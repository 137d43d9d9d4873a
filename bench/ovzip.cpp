// ovzip: the zip engine from the command line, through the same entries and records that
// zip32.dll exports, for the benchmarks.
//   ovzip [-0..-9] [-tTHREADS] [-v] ARCHIVE FILE...
// -0 stores, -1..-9 are zlib's levels, no level lets the library choose. Prints the library's
// messages with -v; exits with the library's result.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ziplib/posix_file_system.h"
#include "ziplib/zip32_api.h"

namespace {

bool verbose = false;

int32_t Print(char* buffer, uint32_t length) {
    if (verbose)
        std::fwrite(buffer, 1, length, stderr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ZPOPT options{};
    unsigned threads = 0;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        const char* a = argv[arg];
        if (a[1] >= '0' && a[1] <= '9' && a[2] == '\0')
            options.fLevel = static_cast<uint8_t>(a[1]);
        else if (a[1] == 't')
            threads = static_cast<unsigned>(std::atoi(a + 2));
        else if (std::strcmp(a, "-v") == 0)
            verbose = true;
        else
            arg = argc;
    }
    if (argc - arg < 2 || argc - arg > kZipNameListSize + 1) {
        std::fprintf(stderr, "usage: ovzip [-0..-9] [-tTHREADS] [-v] ARCHIVE FILE...\n");
        return 2;
    }
    ost::zip::PosixFileSystem fs;
    ost::zip::Utf8Codec codec;
    ost::zip::Zip32Library library(fs, codec);
    library.SetThreads(threads);
    ZIPUSERFUNCTIONS functions{&Print, nullptr, nullptr, nullptr};
    library.Init(&functions);
    options.fQuiet = verbose ? 0 : 1;
    library.SetOptions(&options);
    ZIPNAMES names{};
    for (int i = arg + 1; i < argc; ++i)
        names.name[i - arg - 1] = argv[i];
    return library.Archive(argc - arg - 1, argv[arg], &names);
}
