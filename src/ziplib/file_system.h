// What the zip engine needs from a file system. Paths are UTF-8 with '/' separators (a
// Windows implementation also takes '\' and drive letters). The engine gets one implementation
// by reference: the Win32 one in zip32.dll, the POSIX one natively, fakes in tests.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ziplib/streams.h"
#include "ziplib/zip_format.h"

namespace ost::zip {

// A name in upper case as the file system compares names (UTF-8 in, UTF-8 out).
using NameUpperCase = std::function<std::string(std::string_view)>;

struct FileInfo {
    bool isFolder = false;
    bool isLink = false;  // a symbolic link or other reparse point: never followed into
    bool hidden = false;
    bool system = false;
    bool readOnly = false;
    uint64_t size = 0;
    LocalTime modified;
};

// What tells one file from another whatever name reaches it (a long name, its 8.3 alias, another
// spelling): the volume and the file's number on it. Two names give equal identities exactly when
// they reach the same file.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t high = 0;  // the file's number: 128 bits where the file system has them
    uint64_t low = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

// A new file that becomes visible under its final name only through IFileSystem::Replace.
// Destroying one that was not put in place removes it.
class OutputFile : public ByteSink {
  public:
    virtual const std::string& Path() const = 0;
    // The modification time the file gets when it is put in place (local time). Raises
    // ZipError(kWriteFailed).
    virtual void SetModified(const LocalTime& when) = 0;
    // Off, IFileSystem::Replace leaves writing the data to the disk to the system, as programs
    // that extract files do; on (the default), it writes the data through first.
    void SetWriteThrough(bool on) { writeThrough_ = on; }

  protected:
    bool writeThrough_ = true;
};

// What a volume has room for. Every file and folder takes whole clusters, at least one.
struct VolumeSpace {
    uint64_t free = 0;
    uint64_t cluster = 4096;  // never 0
};

class IFileSystem {
  public:
    virtual ~IFileSystem() = default;

    // The file or folder at `path`, or nothing when there is none. Raises ZipError(kReadFailed)
    // when it exists but cannot be examined.
    virtual std::optional<FileInfo> Stat(const std::string& path) = 0;
    // The names (not paths) in a folder, without "." and "..". Raises ZipError(kReadFailed).
    virtual std::vector<std::string> List(const std::string& folder) = 0;
    // Opens a file for reading; other programs may go on reading it. Raises ZipError(kReadFailed)
    // with the system's reason ("locked by another program", "Permission denied", ...).
    virtual std::unique_ptr<ByteSource> OpenRead(const std::string& path) = 0;
    // Creates a new, empty file in the folder of `target` under a name of its own. Raises
    // ZipError(kTempFile).
    virtual std::unique_ptr<OutputFile> CreateBeside(const std::string& target) = 0;
    // Writes `file` through to the disk (unless told otherwise), closes it and renames it over
    // `target` in one step; the
    // old target stays whole until then. Raises ZipError(kWriteFailed) when the data cannot be
    // written out, ZipError(kReplaceFailed) when the target cannot be replaced; either way
    // `file` is removed and the target is as it was.
    virtual void Replace(std::unique_ptr<OutputFile> file, const std::string& target) = 0;
    // Creates the folder `path` (its parent must exist); a folder already there is no failure.
    // Raises ZipError(kWriteFailed) with the system's reason.
    virtual void MakeFolder(const std::string& path) = 0;
    // Removes a file or an empty folder; returns the system's reason on failure, empty on success.
    virtual std::string Remove(const std::string& path) = 0;
    // The absolute form of a path, for comparing two paths (the archive and a file to add).
    virtual std::string Absolute(const std::string& path) = 0;
    // The identity of the file or folder at `path`; nothing when there is none, or when the file
    // system gives its files no lasting number (some network shares).
    virtual std::optional<FileIdentity> Identity(const std::string& path) = 0;
    // The volume that holds `folder` (or, while it does not exist yet, its nearest existing parent):
    // the bytes the current user may still write on it, quotas counted, and its cluster size;
    // nothing when the system cannot say.
    virtual std::optional<VolumeSpace> FreeSpace(const std::string& folder) = 0;
};

}  // namespace ost::zip
