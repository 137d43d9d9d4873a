// The zip engine's file system on POSIX systems: what the native build, its tests and the
// command-line front end use.
#pragma once

#include "ziplib/file_system.h"

namespace ost::zip {

// Hidden files are those whose name starts with '.'; nothing counts as a system file.
class PosixFileSystem : public IFileSystem {
  public:
    std::optional<FileInfo> Stat(const std::string& path) override;
    std::vector<std::string> List(const std::string& folder) override;
    std::unique_ptr<ByteSource> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateBeside(const std::string& target) override;
    void Replace(std::unique_ptr<OutputFile> file, const std::string& target) override;
    void MakeFolder(const std::string& path) override;
    std::string Remove(const std::string& path) override;
    std::string Absolute(const std::string& path) override;
    std::optional<FileIdentity> Identity(const std::string& path) override;  // st_dev and st_ino
    std::optional<VolumeSpace> FreeSpace(const std::string& folder) override;
};

}  // namespace ost::zip
