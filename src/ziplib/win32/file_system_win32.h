// The zip engine's file system and 8-bit text on Windows: what zip32.dll runs on.
#pragma once

#include "ziplib/file_system.h"
#include "ziplib/zip32_api.h"

namespace ost::zip {

// Paths are UTF-8 and may use '/' or '\'. Files are read with other readers allowed and
// writers refused, so a file another program still writes ends the run instead of being packed
// half-written. The archive's temporary file is written through to the disk and moved over the
// target with MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
class Win32FileSystem : public IFileSystem {
  public:
    std::optional<FileInfo> Stat(const std::string& path) override;
    std::vector<std::string> List(const std::string& folder) override;
    std::unique_ptr<ByteSource> OpenRead(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateBeside(const std::string& target) override;
    void Replace(std::unique_ptr<OutputFile> file, const std::string& target) override;
    void MakeFolder(const std::string& path) override;
    std::string Remove(const std::string& path) override;
    std::string Absolute(const std::string& path) override;
    // The volume's serial number and the file's number on it: the 128-bit one of Windows 8 and
    // later (ReFS needs all of it), or else GetFileInformationByHandle's 64-bit index.
    std::optional<FileIdentity> Identity(const std::string& path) override;
    // GetDiskFreeSpaceExW's bytes free to the caller, and the cluster size of the volume that
    // GetVolumePathNameW finds (4096 when the system does not tell it).
    std::optional<VolumeSpace> FreeSpace(const std::string& folder) override;
};

// The ANSI code page of the system (CP_ACP).
class AnsiCodec : public ITextCodec {
  public:
    std::string ToUtf8(std::string_view ansi) override;
    std::string FromUtf8(std::string_view utf8) override;
    // Windows' own upper-casing, the one the zip bridge gives the root folder.
    NameUpperCase UpperCase() override;
};

}  // namespace ost::zip
