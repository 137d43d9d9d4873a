// What the Windows-side benchmarks share: a clock, the bare walk every listing is measured
// against, and operations that count failures instead of asking.
#pragma once

#include "platform/win32/compat.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "app/operations.h"
#include "platform/error.h"

namespace ost::bench {

inline double Seconds() {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct WalkCount {
    uint64_t directories = 0, files = 0, bytes = 0;
    uint64_t Entries() const { return directories + files; }
};

// One enumeration per directory and nothing else: the least any listing of the tree can cost.
// Reparse points are counted but not entered, as the file system layer does.
inline void BareWalk(const std::wstring& longPath, WalkCount& count) {
    WIN32_FIND_DATAW data;
    HANDLE h = ::FindFirstFileExW((longPath + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                  FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (data.cFileName[0] == L'.' && (data.cFileName[1] == 0 || (data.cFileName[1] == L'.' && !data.cFileName[2])))
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ++count.directories;
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                BareWalk(longPath + L"\\" + data.cFileName, count);
        } else {
            ++count.files;
            count.bytes += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    } while (::FindNextFileW(h, &data));
    ::FindClose(h);
}

inline uint64_t BareWalk(const std::wstring& longPath) {
    WalkCount count;
    BareWalk(longPath, count);
    return count.Entries();
}

// Runs every operation; a failure is counted (and printed when `verbose`) and the run goes on.
class CountingOperations : public IOperations {
  public:
    explicit CountingOperations(bool verbose = false) : verbose_(verbose) {}
    int failures = 0;
    void Run(const std::function<void()>& operation) override {
        try {
            operation();
        } catch (const AppError& e) {
            ++failures;
            if (verbose_)
                std::printf("failed: %d %s\n", e.Number(), e.what());
        }
    }
    bool Test(const std::function<bool()>& test) override {
        bool passed = true;
        Run([&] { passed = test(); });
        return passed;
    }

  private:
    bool verbose_;
};

}  // namespace ost::bench
