#include "memory_file_system.h"

#include <algorithm>

#include "ziplib/zip_result.h"

namespace ost::zip::test {

namespace {

std::string Parent(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    return cut == 0 ? "/" : path.substr(0, cut);
}

class MemoryFileSource : public ByteSource {
  public:
    MemoryFileSource(const std::vector<uint8_t>& bytes, uint64_t failAfter, std::string path)
        : bytes_(bytes), failAfter_(failAfter), path_(std::move(path)) {}
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

}  // namespace

class MemoryOutput : public OutputFile {
  public:
    MemoryOutput(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    ~MemoryOutput() override {
        if (!kept_)
            fs_.files_.erase(path_);
    }
    const std::string& Path() const override { return path_; }
    // Writes into the file in place; past the disk's free bytes only what fits is kept.
    void Write(const uint8_t* data, size_t size) override {
        std::vector<uint8_t>& bytes = fs_.files_.at(path_).bytes;
        const uint64_t fits = fs_.diskFree > position_ ? fs_.diskFree - position_ : 0;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(size, fits));
        if (position_ + n > bytes.size())
            bytes.resize(static_cast<size_t>(position_ + n));
        std::copy_n(data, n, bytes.begin() + static_cast<ptrdiff_t>(position_));
        position_ += n;
        if (n < size)
            throw ZipError(kWriteFailed, "cannot write " + path_ + ": Disk full");
    }
    uint64_t Position() const override { return position_; }
    void Seek(uint64_t offset) override { position_ = offset; }
    void Truncate() override { fs_.files_.at(path_).bytes.resize(static_cast<size_t>(position_)); }
    void SetModified(const LocalTime& when) override { modified_ = when; }
    void Keep() { kept_ = true; }
    const std::optional<LocalTime>& Modified() const { return modified_; }

  private:
    MemoryFileSystem& fs_;
    std::string path_;
    uint64_t position_ = 0;
    bool kept_ = false;
    std::optional<LocalTime> modified_;
};

void MemoryFileSystem::AddFile(const std::string& path, std::vector<uint8_t> bytes, LocalTime modified) {
    AddFolder(Parent(path));
    File& f = files_[path];
    f.bytes = std::move(bytes);
    f.info = FileInfo{};
    f.info.modified = modified;
}

void MemoryFileSystem::AddFile(const std::string& path, const std::string& text, LocalTime modified) {
    AddFile(path, std::vector<uint8_t>(text.begin(), text.end()), modified);
}

void MemoryFileSystem::AddFolder(const std::string& path) {
    for (std::string p = path; folders_.insert(p).second && p != "/";)
        p = Parent(p);
}

std::vector<std::string> MemoryFileSystem::Paths() const {
    std::vector<std::string> out;
    for (const auto& [path, file] : files_)
        out.push_back(path);
    return out;
}

std::optional<FileInfo> MemoryFileSystem::Stat(const std::string& path) {
    if (folders_.count(path)) {
        FileInfo info;
        info.isFolder = true;
        return info;
    }
    const auto found = files_.find(path);
    if (found == files_.end())
        return std::nullopt;
    FileInfo info = found->second.info;
    info.size = found->second.bytes.size();
    return info;
}

std::vector<std::string> MemoryFileSystem::List(const std::string& folder) {
    std::vector<std::string> names;
    const std::string prefix = folder == "/" ? "/" : folder + "/";
    auto direct = [&](const std::string& path) {
        return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
               path.find('/', prefix.size()) == std::string::npos;
    };
    for (const auto& [path, file] : files_)
        if (direct(path))
            names.push_back(path.substr(prefix.size()));
    for (const std::string& path : folders_)
        if (direct(path))
            names.push_back(path.substr(prefix.size()));
    return names;
}

std::unique_ptr<ByteSource> MemoryFileSystem::OpenRead(const std::string& path) {
    if (locked.count(path))
        throw ZipError(kReadFailed, "cannot open " + path + " for reading: the file is in use by another program");
    const auto found = files_.find(path);
    if (found == files_.end())
        throw ZipError(kReadFailed, "cannot open " + path + " for reading: not found");
    const auto fail = failReadAfter.find(path);
    return std::make_unique<MemoryFileSource>(found->second.bytes,
                                              fail == failReadAfter.end() ? UINT64_MAX : fail->second, path);
}

std::unique_ptr<OutputFile> MemoryFileSystem::CreateBeside(const std::string& target) {
    const std::string path = target + ".tmp-" + std::to_string(++tempCounter_);
    files_[path];
    return std::make_unique<MemoryOutput>(*this, path);
}

void MemoryFileSystem::Replace(std::unique_ptr<OutputFile> file, const std::string& target) {
    if (replaceFails)
        throw ZipError(kReplaceFailed, "cannot put the new archive in place of " + target + ": Access is denied");
    auto& out = static_cast<MemoryOutput&>(*file);
    File moved = files_.at(out.Path());
    files_.erase(out.Path());
    out.Keep();
    moved.info.modified = out.Modified().value_or(LocalTime{2024, 6, 1, 12, 0, 0});
    files_[target] = std::move(moved);
}

void MemoryFileSystem::MakeFolder(const std::string& path) {
    if (files_.count(path) || !folders_.count(Parent(path)))
        throw ZipError(kWriteFailed, "cannot create the folder " + path);
    folders_.insert(path);
}

std::string MemoryFileSystem::Remove(const std::string& path) {
    if (files_.erase(path))
        return {};
    if (folders_.count(path)) {
        if (!List(path).empty())
            return "the folder is not empty";
        folders_.erase(path);
        return {};
    }
    return "not found";
}

}  // namespace ost::zip::test
