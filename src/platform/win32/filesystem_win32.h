// The file system over the Win32 file API. Paths go to the system in their long form (\\?\), so
// neither depth nor length limits a listing, and names stay UTF-16 until they reach the caller.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/filesystem.h"
#include "platform/locale.h"

namespace ost::win {

class Win32FileSystem final : public IFileSystem {
  public:
    explicit Win32FileSystem(ILocale& locale) : locale_(locale) {}

    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    void DeleteFile(const std::string& path, bool force) override;
    void MoveFile(const std::string& source, const std::string& destination) override;
    std::unique_ptr<IFolder> GetSpecialFolder(SpecialFolder which) override;
    std::unique_ptr<IFolder> GetFolder(const std::string& path) override;
    std::unique_ptr<ITextStream> OpenTextFile(const std::string& path,
                                              IoMode mode,
                                              bool create,
                                              int32_t format) override;
    std::vector<std::unique_ptr<IDrive>> Drives() override;
    void ForgetTreeSizes() override { treeSizes_.clear(); }

    // The total size of every file under `longPath` (a \\?\ path), walking each directory of
    // the tree once with one enumeration and remembering every subtree's total. Reparse points
    // (junctions, symbolic links) are not followed: they count 0, so no tree is counted twice.
    uint64_t TreeSize(const std::wstring& longPath);
    // Directory enumerations made for tree sizes so far (for the benchmark).
    uint64_t TreeEnumerations() const { return treeEnumerations_; }

  private:
    ILocale& locale_;
    std::unordered_map<std::wstring, uint64_t> treeSizes_;  // key: lower-cased long path
    uint64_t treeEnumerations_ = 0;
};

// The \\?\ form of a path: made absolute, '/' turned into '\', UNC paths as \\?\UNC\server\share.
std::wstring LongPath(const std::string& path);
// The path without a \\?\ or \\?\UNC\ prefix.
std::wstring ShortForm(const std::wstring& longPath);

}  // namespace ost::win
