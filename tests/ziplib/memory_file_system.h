// An in-memory file system for the zip engine's tests, which can be told to fail like a real
// one: a locked file, a read error part way through a file, a full disk, a target that cannot
// be replaced.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ziplib/file_system.h"

namespace ost::zip::test {

class MemoryFileSystem : public IFileSystem {
  public:
    struct File {
        std::vector<uint8_t> bytes;
        FileInfo info;
    };

    // Adds a file (and its folders). Paths are absolute, '/'-separated.
    void AddFile(const std::string& path, std::vector<uint8_t> bytes, LocalTime modified = {2024, 5, 6, 7, 8, 10});
    void AddFile(const std::string& path, const std::string& text, LocalTime modified = {2024, 5, 6, 7, 8, 10});
    void AddFolder(const std::string& path);
    bool Exists(const std::string& path) const { return files_.count(path) > 0; }
    const std::vector<uint8_t>& Bytes(const std::string& path) const { return files_.at(path).bytes; }
    File& At(const std::string& path) { return files_.at(path); }
    // Paths of every file, in order.
    std::vector<std::string> Paths() const;

    std::set<std::string> locked;                   // OpenRead fails: in use by another program
    std::map<std::string, uint64_t> failReadAfter;  // Read fails once this many bytes were read
    uint64_t diskFree = UINT64_MAX;                 // bytes the temporary files may take together
    bool replaceFails = false;                      // Replace fails as for a read-only target

    std::optional<FileInfo> Stat(const std::string& path) override;
    std::vector<std::string> List(const std::string& folder) override;
    std::unique_ptr<ByteSource> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateBeside(const std::string& target) override;
    void Replace(std::unique_ptr<OutputFile> file, const std::string& target) override;
    void MakeFolder(const std::string& path) override;
    std::string Remove(const std::string& path) override;
    std::string Absolute(const std::string& path) override { return path; }

  private:
    friend class MemoryOutput;
    std::map<std::string, File> files_;
    std::set<std::string> folders_{"/"};
    int tempCounter_ = 0;
};

}  // namespace ost::zip::test
