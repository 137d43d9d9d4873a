// The file system as the program uses it: existence tests, delete and move, the Windows and
// system folders, folder listings with sizes and creation dates, drives, and text files in the
// ANSI code page. Every failure raises AppError with a classic run-time number (53 "File not
// found", 76 "Path not found", 70 "Permission denied", 58 "File already exists", 61 "Disk full",
// 71 "Disk not ready", ...) and a context that names the path and what the system said.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/locale.h"

namespace ost {

// A file or a folder in a listing. Each read may fail on its own (a file that vanished, a tree
// that cannot be read).
class IFsItem {
  public:
    virtual ~IFsItem() = default;
    virtual std::string Name() = 0;  // without its path
    // Bytes; for a folder, the total of every file in its whole tree.
    virtual uint64_t Size() = 0;
    virtual DateTime DateCreated() = 0;  // local time
};

// Walks one collection in the order the system yields it. Next() returns the next item, valid
// until the following call, or null at the end; it raises AppError when the walk itself fails.
class IFsCursor {
  public:
    virtual ~IFsCursor() = default;
    virtual IFsItem* Next() = 0;
};

class IFolder {
  public:
    virtual ~IFolder() = default;
    virtual std::string Path() = 0;  // the full path
    virtual std::unique_ptr<IFsCursor> Files() = 0;
    virtual std::unique_ptr<IFsCursor> SubFolders() = 0;
};

// A drive; each property read may fail (a drive without a medium fails on its volume reads).
class IDrive {
  public:
    virtual ~IDrive() = default;
    virtual std::string DriveLetter() = 0;  // the letter alone
    virtual int32_t DriveType() = 0;        // 0 unknown, 1 removable, 2 fixed, 3 network, 4 CD-ROM, 5 RAM disk
    virtual std::string ShareName() = 0;    // a network drive's share, empty for others
    virtual std::string VolumeName() = 0;
    virtual uint64_t FreeSpace() = 0;  // bytes available to the user
    virtual uint64_t TotalSize() = 0;  // bytes
    virtual std::string FileSystem() = 0;
    virtual int32_t SerialNumber() = 0;
};

// A text file in the ANSI code page. Releasing the stream closes the file.
class ITextStream {
  public:
    virtual ~ITextStream() = default;
    // Writes the text (converted to the ANSI code page, '?' for what it cannot hold) and CR LF.
    // Nothing is held back: when it returns, the text is in the file.
    virtual void WriteLine(std::string_view text) = 0;
    // The whole remaining content, converted from the ANSI code page; empty at the end.
    virtual std::string ReadAll() = 0;
};

enum class IoMode : int32_t { ForReading = 1, ForWriting = 2 };
enum class SpecialFolder : int32_t { Windows = 0, System = 1 };

class IFileSystem {
  public:
    virtual ~IFileSystem() = default;
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // Deletes a file. Without force a read-only file is refused (70); with force its read-only
    // attribute is cleared first. A missing file gives 53, a locked one 70.
    virtual void DeleteFile(const std::string& path, bool force) = 0;
    // Moves a file to a new name; an existing destination is never replaced (58).
    virtual void MoveFile(const std::string& source, const std::string& destination) = 0;
    virtual std::unique_ptr<IFolder> GetSpecialFolder(SpecialFolder which) = 0;
    virtual std::unique_ptr<IFolder> GetFolder(const std::string& path) = 0;
    // Mode ForWriting starts the file empty; `create` makes a missing file (otherwise 53).
    // Format 0, single-byte text in the ANSI code page, is the only format.
    virtual std::unique_ptr<ITextStream> OpenTextFile(const std::string& path,
                                                      IoMode mode,
                                                      bool create,
                                                      int32_t format) = 0;
    virtual std::vector<std::unique_ptr<IDrive>> Drives() = 0;
    // Folder tree sizes are remembered from their first computation until this is called: one
    // support-file run calls it at its start and its end, so a later run sees fresh sizes.
    virtual void ForgetTreeSizes() = 0;
};

}  // namespace ost
