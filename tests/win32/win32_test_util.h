// Helpers for the tests that run against the real platform under Wine: whole files written and
// read, and scratch folders on drive C.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/win32/filesystem_win32.h"
#include "platform/win32/unique_handle.h"

namespace ost::test {

// The tool to test: the release package's own OrlaventSupportTool.exe, stripped and prepared as it
// ships, when OST_RELEASE_DIR names the unpacked package (as scripts/test gives it), and `built`
// otherwise. A Unix path, as robot::WindowsPath takes it.
inline std::string ToolUnderTest(const std::string& built) {
    const char* release = std::getenv("OST_RELEASE_DIR");
    return release != nullptr && *release != '\0' ? std::string(release) + "/OrlaventSupportTool.exe" : built;
}

// Writes `bytes` as the whole of a new or emptied file; false when it cannot be written.
inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    return static_cast<bool>(std::ofstream(path.c_str(), std::ios::binary) << bytes);
}

// A file's bytes, "<unreadable>" when it cannot be opened.
inline std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<unreadable>";
}

// Removes a folder with everything in it, read-only files included; links are removed, not followed.
inline void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    win::UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    for (bool more = static_cast<bool>(find); more; more = ::FindNextFileW(find.get(), &data)) {
        const std::wstring name = data.cFileName, child = folder + L"\\" + name;
        if (name == L"." || name == L"..")
            continue;
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ::DeleteFileW(child.c_str());
        else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            ::RemoveDirectoryW(child.c_str());
        else
            RemoveTree(child);
    }
    find.reset();
    ::RemoveDirectoryW(folder.c_str());
}

// A new folder C:\ost-<name>-<process id>, removed with everything in it when the object goes.
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& name)
        : path_("C:\\ost-" + name + "-" + std::to_string(::GetCurrentProcessId())) {
        RemoveTree(win::LongPath(path_));
        ::CreateDirectoryW(win::LongPath(path_).c_str(), nullptr);
    }
    ~ScratchFolder() { RemoveTree(win::LongPath(path_)); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // The folder, or a path inside it.
    std::string At(const std::string& relative = {}) const {
        return relative.empty() ? path_ : path_ + "\\" + relative;
    }

  private:
    std::string path_;
};

}  // namespace ost::test
