// Tree-size benchmark: what the two folder listings of a support-file run cost, against one bare
// walk of the same tree.
//   bench_tree_size ROOT [LARGE]
// ROOT is the folder standing in for the Windows folder; LARGE is the name of its subfolder that
// stands in for the system folder (default "system32"). Prints the reference time (one bare
// FindFirstFileExW walk of the whole tree), the time of computing the tree size of every
// subfolder of ROOT and then of every subfolder of LARGE again, their ratio, the number of
// directory enumerations against the number of directories, and the peak memory.
#include "platform/win32/compat.h"

#include <psapi.h>

#include <cstdio>
#include <string>

#include "bench_win32.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/locale_win32.h"

using namespace ost;
using namespace ost::bench;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_tree_size ROOT [LARGE]\n");
        return 2;
    }
    const std::string root = argv[1];
    const std::string large = argc > 2 ? argv[2] : "system32";
    const std::wstring longRoot = win::LongPath(root);

    WalkCount warm;
    BareWalk(longRoot, warm);  // brings the tree into the system's caches for both measurements
    WalkCount reference;
    const double t0 = Seconds();
    BareWalk(longRoot, reference);
    const double bare = Seconds() - t0;

    win::Win32Locale locale;
    win::Win32FileSystem fs(locale);
    uint64_t total = 0, again = 0;
    const double t1 = Seconds();
    {
        auto folder = fs.GetFolder(root);
        auto subFolders = folder->SubFolders();
        while (IFsItem* item = subFolders->Next())
            total += item->Size();
        auto largeFolder = fs.GetFolder(root + "\\" + large);
        auto inner = largeFolder->SubFolders();
        while (IFsItem* item = inner->Next())
            again += item->Size();
    }
    const double sized = Seconds() - t1;

    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));

    std::printf("tree: %llu files, %llu directories below the root, %llu bytes in files\n",
                static_cast<unsigned long long>(reference.files),
                static_cast<unsigned long long>(reference.directories),
                static_cast<unsigned long long>(reference.bytes));
    std::printf("bare FindFirstFileExW walk (reference): %.3f s\n", bare);
    std::printf("tree sizes of every subfolder of the root, then of every subfolder of %s: %.3f s\n", large.c_str(),
                sized);
    std::printf("ratio: %.2f (goal 1.30 or less)\n", sized / bare);
    std::printf("directory enumerations: %llu, directories: %llu (goal: equal)\n",
                static_cast<unsigned long long>(fs.TreeEnumerations()),
                static_cast<unsigned long long>(reference.directories));
    std::printf(
        "bytes in the subfolders' trees: %llu (the walk's total less the root's own files); in %s's subfolders: %llu\n",
        static_cast<unsigned long long>(total), large.c_str(), static_cast<unsigned long long>(again));
    std::printf("peak working set: %.1f MB, peak private bytes: %.1f MB (goal under 50 MB)\n",
                memory.PeakWorkingSetSize / 1048576.0, memory.PeakPagefileUsage / 1048576.0);
    return 0;
}
