// An in-memory file system for the zip engines' tests and the fuzzer, which can be told to fail
// like a real one: a locked file, a read error part way through a file, a full disk, a target that
// cannot be replaced. It records every temporary file the engines create beside a target.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ziplib/file_system.h"
#include "ziplib/zip_result.h"

namespace ost::zip::test {

class MemoryFileSystem : public IFileSystem {
  public:
    struct File {
        std::vector<uint8_t> bytes;
        FileInfo info;
    };

    // Adds a file (and its folders). Paths are absolute, '/'-separated.
    void AddFile(const std::string& path, std::vector<uint8_t> bytes, LocalTime modified = {2024, 5, 6, 7, 8, 10}) {
        for (std::string p = Parent(path); folders_.insert(p).second && p != "/";)
            p = Parent(p);
        files_[path] = File{std::move(bytes), FileInfo{.modified = modified}};
    }
    void AddFile(const std::string& path, std::string_view text, LocalTime modified = {2024, 5, 6, 7, 8, 10}) {
        AddFile(path, std::vector<uint8_t>(text.begin(), text.end()), modified);
    }
    const std::vector<uint8_t>& Bytes(const std::string& path) const { return files_.at(path).bytes; }
    File& At(const std::string& path) { return files_.at(path); }
    // Paths of every file, in order.
    std::vector<std::string> Paths() const {
        std::vector<std::string> out;
        for (const auto& [path, file] : files_)
            out.push_back(path);
        return out;
    }
    // How many folders there are, the root aside.
    size_t FolderCount() const { return folders_.size() - 1; }

    std::set<std::string> locked;                   // OpenRead fails: in use by another program
    std::map<std::string, uint64_t> failReadAfter;  // Read fails once this many bytes were read
    uint64_t diskFree = UINT64_MAX;                 // bytes a temporary file may take
    bool replaceFails = false;                      // Replace fails as for a read-only target
    std::set<std::string> undeletable;              // Remove fails: in use by another program
    std::set<std::string> temporaries;              // every path CreateBeside gave out
    uint64_t written = 0;                           // bytes written to files, each write counted

    std::optional<FileInfo> Stat(const std::string& path) override {
        const auto found = files_.find(path);
        if (found == files_.end() && !folders_.count(path))
            return std::nullopt;
        FileInfo info = found == files_.end() ? FileInfo{} : found->second.info;
        info.isFolder = found == files_.end();
        info.size = info.isFolder ? 0 : found->second.bytes.size();
        return info;
    }
    std::vector<std::string> List(const std::string& folder) override {
        const std::string prefix = folder == "/" ? "/" : folder + "/";
        std::set<std::string> names;
        auto take = [&](const std::string& path) {
            if (path.size() > prefix.size() && path.starts_with(prefix) &&
                path.find('/', prefix.size()) == std::string::npos)
                names.insert(path.substr(prefix.size()));
        };
        for (const auto& [path, file] : files_)
            take(path);
        for (const std::string& path : folders_)
            take(path);
        return {names.begin(), names.end()};
    }
    std::unique_ptr<ByteSource> OpenRead(const std::string& path) override {
        const auto found = files_.find(path);
        if (locked.count(path) || found == files_.end())
            throw ZipError(kReadFailed,
                           "cannot open " + path + " for reading: " +
                               (locked.count(path) ? "the file is in use by another program" : "not found"));
        const auto fail = failReadAfter.find(path);
        return std::make_unique<Source>(found->second.bytes, fail == failReadAfter.end() ? UINT64_MAX : fail->second,
                                        path);
    }
    std::unique_ptr<OutputFile> CreateBeside(const std::string& target) override {
        const std::string path = target + ".tmp-" + std::to_string(temporaries.size() + 1);
        temporaries.insert(path);
        files_[path];
        return std::make_unique<Output>(*this, path);
    }
    void Replace(std::unique_ptr<OutputFile> file, const std::string& target) override {
        if (replaceFails)
            throw ZipError(kReplaceFailed, "cannot put the new archive in place of " + target + ": Access is denied");
        auto& out = static_cast<Output&>(*file);
        File moved = std::move(files_.at(out.Path()));
        files_.erase(out.Path());
        out.kept = true;
        moved.info.modified = out.modified.value_or(LocalTime{2024, 6, 1, 12, 0, 0});
        files_[target] = std::move(moved);
    }
    void MakeFolder(const std::string& path) override {
        if (files_.count(path) || !folders_.count(Parent(path)))
            throw ZipError(kWriteFailed, "cannot create the folder " + path);
        folders_.insert(path);
    }
    std::string Remove(const std::string& path) override {
        if (undeletable.count(path))
            return "in use by another program";
        if (files_.erase(path))
            return {};
        if (!folders_.count(path))
            return "not found";
        if (!List(path).empty())
            return "the folder is not empty";
        folders_.erase(path);
        return {};
    }
    std::string Absolute(const std::string& path) override { return path; }
    std::optional<FileIdentity> Identity(const std::string& path) override {  // one name for each file
        return files_.count(path) ? std::optional(FileIdentity{1, 0, std::hash<std::string>{}(path)}) : std::nullopt;
    }
    std::optional<VolumeSpace> FreeSpace(const std::string&) override { return VolumeSpace{diskFree, 4096}; }

  private:
    static std::string Parent(const std::string& path) {
        const size_t cut = path.find_last_of('/');
        return cut == 0 ? "/" : path.substr(0, cut);
    }

    class Source : public ByteSource {
      public:
        Source(std::vector<uint8_t> bytes, uint64_t failAfter, std::string path)
            : bytes_(std::move(bytes)), failAfter_(failAfter), path_(std::move(path)) {}
        size_t Read(uint8_t* data, size_t size) override {
            const size_t n = std::min(size, bytes_.size() - position_);
            if (position_ + n > failAfter_)
                throw ZipError(kReadFailed, "cannot read " + path_ + ": I/O error");
            std::copy_n(bytes_.begin() + static_cast<ptrdiff_t>(position_), n, data);
            position_ += n;
            return n;
        }
        void Seek(uint64_t offset) override { position_ = std::min<uint64_t>(offset, bytes_.size()); }
        uint64_t Size() override { return bytes_.size(); }

      private:
        const std::vector<uint8_t> bytes_;  // a copy: the file may be replaced while it is read
        size_t position_ = 0;
        uint64_t failAfter_;
        std::string path_;
    };

    class Output : public OutputFile {
      public:
        Output(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
        ~Output() override {
            if (!kept)
                fs_.files_.erase(path_);
        }
        const std::string& Path() const override { return path_; }
        // Writes into the file in place; past the disk's free bytes only what fits is kept.
        void Write(const uint8_t* data, size_t size) override {
            std::vector<uint8_t>& bytes = fs_.files_.at(path_).bytes;
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(size, fs_.diskFree - std::min(fs_.diskFree, position_)));
            bytes.resize(std::max<size_t>(bytes.size(), static_cast<size_t>(position_ + n)));
            std::copy_n(data, n, bytes.begin() + static_cast<ptrdiff_t>(position_));
            position_ += n;
            fs_.written += n;
            if (n < size)
                throw ZipError(kWriteFailed, "cannot write " + path_ + ": Disk full");
        }
        uint64_t Position() const override { return position_; }
        void Seek(uint64_t offset) override { position_ = offset; }
        void Truncate() override { fs_.files_.at(path_).bytes.resize(static_cast<size_t>(position_)); }
        void SetModified(const LocalTime& when) override { modified = when; }

        bool kept = false;
        std::optional<LocalTime> modified;

      private:
        MemoryFileSystem& fs_;
        std::string path_;
        uint64_t position_ = 0;
    };

    std::map<std::string, File> files_;
    std::set<std::string> folders_{"/"};
};

}  // namespace ost::zip::test
