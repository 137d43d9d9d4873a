// An in-memory file system: text files, folders with their listings, drives. Any operation on any
// path can be told to fail with a given error number, and every operation is logged.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/filesystem.h"

namespace ost::test {

inline std::string LowerAscii(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A file or subfolder in a listing; a subfolder's size is its whole tree's.
struct FakeItem {
    std::string name;
    uint64_t size = 0;
    DateTime created{2024, 3, 15, 14, 5, 9};
    bool failSize = false;
    bool failDate = false;
};

struct FakeFolder {
    std::vector<FakeItem> files;
    std::vector<FakeItem> subFolders;
    bool failWalk = false;  // the enumeration itself fails
};

struct FakeDrive {
    std::string letter = "C";
    int32_t type = 2;
    std::string share, volume = "SYSTEM", fileSystem = "NTFS";
    uint64_t freeBytes = 0, totalBytes = 0;
    int32_t serial = 777;
    std::set<std::string> failing;  // property names whose reads fail
};

class FakeFileSystem : public IFileSystem {
  public:
    std::map<std::string, std::string> files;   // lower-cased path -> content (locale's bytes as UTF-8)
    std::set<std::string> readOnly;             // lower-cased paths
    std::map<std::string, FakeFolder> folders;  // lower-cased path -> listing
    std::string windowsFolder = "C:\\WINDOWS";
    std::string systemFolder = "C:\\WINDOWS\\SYSTEM32";
    std::vector<FakeDrive> drives;
    bool failDrives = false;
    std::map<std::string, int32_t> failures;  // "Operation:lower-cased path" -> error number
    std::vector<std::string> log;             // "Operation:path" in call order
    int forgets = 0;

    void FailOn(const std::string& operation, const std::string& path, int32_t number) {
        failures[operation + ":" + LowerAscii(path)] = number;
    }
    bool Has(const std::string& path) const { return files.count(LowerAscii(path)) != 0; }
    std::string Content(const std::string& path) const {
        const auto it = files.find(LowerAscii(path));
        return it == files.end() ? std::string() : it->second;
    }
    void Put(const std::string& path, const std::string& content) { files[LowerAscii(path)] = content; }

    bool FileExists(const std::string& path) override {
        Check("FileExists", path);
        return Has(path);
    }
    bool FolderExists(const std::string& path) override {
        Check("FolderExists", path);
        return folders.count(LowerAscii(path)) != 0;
    }
    void DeleteFile(const std::string& path, bool force) override {
        Check("DeleteFile", path);
        const std::string key = LowerAscii(path);
        if (!files.count(key))
            throw MakeError(err::kFileNotFound, {}, "DeleteFile " + path);
        if (readOnly.count(key) && !force)
            throw MakeError(err::kPermissionDenied, {}, "DeleteFile " + path);
        files.erase(key);
        readOnly.erase(key);
    }
    void MoveFile(const std::string& source, const std::string& destination) override {
        Check("MoveFile", source);
        const std::string from = LowerAscii(source), to = LowerAscii(destination);
        if (!files.count(from))
            throw MakeError(err::kFileNotFound, {}, "MoveFile " + source);
        if (files.count(to))
            throw MakeError(err::kFileExists, {}, "MoveFile " + destination);
        files[to] = files[from];
        files.erase(from);
    }
    std::unique_ptr<IFolder> GetSpecialFolder(SpecialFolder which) override {
        Check("GetSpecialFolder", which == SpecialFolder::Windows ? "0" : "1");
        return GetFolder(which == SpecialFolder::Windows ? windowsFolder : systemFolder);
    }
    std::unique_ptr<IFolder> GetFolder(const std::string& path) override;
    std::unique_ptr<ITextStream> OpenTextFile(const std::string& path,
                                              IoMode mode,
                                              bool create,
                                              int32_t format) override;
    std::vector<std::unique_ptr<IDrive>> Drives() override;
    void ForgetTreeSizes() override { ++forgets; }

    void Check(const std::string& operation, const std::string& path) {
        log.push_back(operation + ":" + path);
        const auto it = failures.find(operation + ":" + LowerAscii(path));
        if (it != failures.end())
            throw MakeError(it->second, {}, operation + " " + path);
    }
};

namespace detail {

class Item : public IFsItem {
  public:
    explicit Item(const FakeItem& item) : item_(item) {}
    std::string Name() override { return item_.name; }
    uint64_t Size() override {
        if (item_.failSize)
            throw MakeError(err::kPermissionDenied, {}, "Size " + item_.name);
        return item_.size;
    }
    DateTime DateCreated() override {
        if (item_.failDate)
            throw MakeError(err::kPathFileAccess, {}, "DateCreated " + item_.name);
        return item_.created;
    }

  private:
    const FakeItem& item_;
};

class Cursor : public IFsCursor {
  public:
    Cursor(const std::vector<FakeItem>& items, bool fail) : items_(items), fail_(fail) {}
    IFsItem* Next() override {
        if (fail_)
            throw MakeError(err::kPermissionDenied, {}, "folder walk");
        if (next_ >= items_.size())
            return nullptr;
        current_.emplace(items_[next_++]);
        return &*current_;
    }

  private:
    const std::vector<FakeItem>& items_;
    bool fail_;
    size_t next_ = 0;
    std::optional<Item> current_;
};

class Folder : public IFolder {
  public:
    Folder(std::string path, const FakeFolder& folder) : path_(std::move(path)), folder_(folder) {}
    std::string Path() override { return path_; }
    std::unique_ptr<IFsCursor> Files() override { return std::make_unique<Cursor>(folder_.files, folder_.failWalk); }
    std::unique_ptr<IFsCursor> SubFolders() override {
        return std::make_unique<Cursor>(folder_.subFolders, folder_.failWalk);
    }

  private:
    std::string path_;
    const FakeFolder& folder_;
};

class Stream : public ITextStream {
  public:
    Stream(FakeFileSystem& fs, std::string path, IoMode mode) : fs_(fs), path_(std::move(path)), mode_(mode) {}
    ~Stream() override { fs_.log.push_back("Close:" + path_); }
    void WriteLine(std::string_view text) override {
        fs_.Check("WriteLine", path_);
        if (mode_ != IoMode::ForWriting)
            throw MakeError(err::kBadFileMode, {}, "WriteLine");
        fs_.files[LowerAscii(path_)] += std::string(text) + "\r\n";
    }
    std::string ReadAll() override {
        fs_.Check("ReadAll", path_);
        if (mode_ != IoMode::ForReading)
            throw MakeError(err::kBadFileMode, {}, "ReadAll");
        return fs_.Content(path_);
    }

  private:
    FakeFileSystem& fs_;
    std::string path_;
    IoMode mode_;
};

class Drive : public IDrive {
  public:
    explicit Drive(const FakeDrive& drive) : d_(drive) {}
    std::string DriveLetter() override { return Read("DriveLetter", d_.letter); }
    int32_t DriveType() override { return Read("DriveType", d_.type); }
    std::string ShareName() override { return Read("ShareName", d_.share); }
    std::string VolumeName() override { return Read("VolumeName", d_.volume); }
    uint64_t FreeSpace() override { return Read("FreeSpace", d_.freeBytes); }
    uint64_t TotalSize() override { return Read("TotalSize", d_.totalBytes); }
    std::string FileSystem() override { return Read("FileSystem", d_.fileSystem); }
    int32_t SerialNumber() override { return Read("SerialNumber", d_.serial); }

  private:
    template <typename T>
    T Read(const std::string& property, const T& value) {
        if (d_.failing.count(property))
            throw MakeError(err::kDiskNotReady, {}, property + " of " + d_.letter);
        return value;
    }
    const FakeDrive& d_;
};

}  // namespace detail

inline std::unique_ptr<IFolder> FakeFileSystem::GetFolder(const std::string& path) {
    Check("GetFolder", path);
    const auto it = folders.find(LowerAscii(path));
    if (it == folders.end())
        throw MakeError(err::kPathNotFound, {}, "GetFolder " + path);
    return std::make_unique<detail::Folder>(path, it->second);
}

inline std::unique_ptr<ITextStream> FakeFileSystem::OpenTextFile(const std::string& path,
                                                                 IoMode mode,
                                                                 bool create,
                                                                 int32_t format) {
    Check("OpenTextFile", path);
    if (format != 0)
        throw MakeError(err::kInvalidCall, {}, "format");
    const std::string key = LowerAscii(path);
    if (!files.count(key) && !create)
        throw MakeError(err::kFileNotFound, {}, "OpenTextFile " + path);
    if (mode == IoMode::ForWriting) {
        if (readOnly.count(key))
            throw MakeError(err::kPermissionDenied, {}, "OpenTextFile " + path);
        files[key].clear();
    } else {
        files[key];
    }
    return std::make_unique<detail::Stream>(*this, path, mode);
}

inline std::vector<std::unique_ptr<IDrive>> FakeFileSystem::Drives() {
    log.push_back("Drives:");
    if (failDrives)
        throw MakeError(err::kCantCreateObject, {}, "Drives");
    std::vector<std::unique_ptr<IDrive>> out;
    for (const FakeDrive& d : drives)
        out.push_back(std::make_unique<detail::Drive>(d));
    return out;
}

}  // namespace ost::test
