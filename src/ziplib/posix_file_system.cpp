#include "ziplib/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "ziplib/zip_result.h"

namespace ost::zip {

namespace {

std::string Reason(int error) {
    return error == ENOSPC ? "Disk full" : std::strerror(error);
}

class PosixSource : public ByteSource {
  public:
    PosixSource(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixSource() override { ::close(fd_); }
    PosixSource(const PosixSource&) = delete;
    PosixSource& operator=(const PosixSource&) = delete;

    size_t Read(uint8_t* data, size_t size) override {
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(fd_, data + done, size - done);
            if (n == -1 && errno == EINTR)
                continue;
            if (n == -1)
                throw ZipError(kReadFailed, "cannot read " + path_ + ": " + Reason(errno));
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        return done;
    }
    void Seek(uint64_t offset) override {
        if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == -1)
            throw ZipError(kReadFailed, "cannot read " + path_ + ": " + Reason(errno));
    }
    uint64_t Size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            throw ZipError(kReadFailed, "cannot read " + path_ + ": " + Reason(errno));
        return static_cast<uint64_t>(st.st_size);
    }

  private:
    int fd_;
    std::string path_;
};

class PosixOutput : public OutputFile {
  public:
    PosixOutput(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixOutput() override { Discard(); }
    PosixOutput(const PosixOutput&) = delete;
    PosixOutput& operator=(const PosixOutput&) = delete;

    const std::string& Path() const override { return path_; }
    void Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            const ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(position_));
            if (n == -1 && errno == EINTR)
                continue;
            if (n == -1)
                throw ZipError(kWriteFailed, "cannot write " + path_ + ": " + Reason(errno));
            if (n == 0)  // nothing more fits
                throw ZipError(kWriteFailed, "cannot write " + path_ + ": " + Reason(ENOSPC));
            data += n;
            size -= static_cast<size_t>(n);
            position_ += static_cast<uint64_t>(n);
        }
    }
    uint64_t Position() const override { return position_; }
    void Seek(uint64_t offset) override { position_ = offset; }
    void Truncate() override {
        if (::ftruncate(fd_, static_cast<off_t>(position_)) != 0)
            throw ZipError(kWriteFailed, "cannot write " + path_ + ": " + Reason(errno));
    }

    // Writes the file through and closes it; returns the system's reason on failure.
    std::string Close() {
        if (writeThrough_ && ::fsync(fd_) != 0) {
            const int e = errno;
            Discard();
            return Reason(e);
        }
        const int rc = ::close(fd_);
        const int e = errno;
        fd_ = -1;
        if (rc != 0) {
            Discard();
            return Reason(e);
        }
        return {};
    }
    // Closes and removes the file, unless it was put in place.
    void Discard() {
        if (const int fd = std::exchange(fd_, -1); fd != -1)
            ::close(fd);
        if (const std::string path = std::exchange(path_, {}); !path.empty())
            ::unlink(path.c_str());
    }
    void SetModified(const LocalTime& when) override {
        std::tm local{};
        local.tm_year = when.year - 1900;
        local.tm_mon = when.month - 1;
        local.tm_mday = when.day;
        local.tm_hour = when.hour;
        local.tm_min = when.minute;
        local.tm_sec = when.second;
        local.tm_isdst = -1;
        const timespec times[2] = {{0, UTIME_OMIT}, {std::mktime(&local), 0}};
        if (::futimens(fd_, times) != 0)
            throw ZipError(kWriteFailed, "cannot set the time of " + path_ + ": " + Reason(errno));
    }
    void Keep() { path_.clear(); }
    bool WriteThrough() const { return writeThrough_; }

  private:
    int fd_;
    std::string path_;
    uint64_t position_ = 0;
};

std::string FolderOf(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

}  // namespace

std::optional<FileInfo> PosixFileSystem::Stat(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG)
            return std::nullopt;  // no file has this name
        throw ZipError(kReadFailed, "cannot examine " + path + ": " + Reason(errno));
    }
    FileInfo info;
    if (S_ISLNK(st.st_mode)) {
        info.isLink = true;
        if (::stat(path.c_str(), &st) != 0)
            return std::nullopt;  // a dangling link names no file
    }
    info.isFolder = S_ISDIR(st.st_mode);
    info.size = info.isFolder ? 0 : static_cast<uint64_t>(st.st_size);
    info.readOnly = (st.st_mode & S_IWUSR) == 0;
    const size_t cut = path.find_last_of('/');
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    info.hidden = name.size() > 1 && name[0] == '.' && name != "..";
    std::tm local{};
    const std::time_t when = st.st_mtime;
    ::localtime_r(&when, &local);
    info.modified =
        LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
    return info;
}

std::vector<std::string> PosixFileSystem::List(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        throw ZipError(kReadFailed, "cannot list the folder " + folder + ": " + Reason(errno));
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

std::unique_ptr<ByteSource> PosixFileSystem::OpenRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd == -1)
        throw ZipError(kReadFailed, "cannot open " + path + " for reading: " + Reason(errno));
    return std::make_unique<PosixSource>(fd, path);
}

std::unique_ptr<OutputFile> PosixFileSystem::CreateBeside(const std::string& target) {
    std::string name = target + ".tmp-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd == -1)
        throw ZipError(kTempFile, "cannot create a temporary file beside " + target + ": " + Reason(errno));
    return std::make_unique<PosixOutput>(fd, name);
}

void PosixFileSystem::Replace(std::unique_ptr<OutputFile> file, const std::string& target) {
    auto* out = static_cast<PosixOutput*>(file.get());
    const std::string temp = out->Path();
    if (const std::string why = out->Close(); !why.empty())
        throw ZipError(kWriteFailed, "cannot write " + temp + ": " + why);
    ::chmod(temp.c_str(), 0644);  // mkstemp's 0600 would keep the archive from other users
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int e = errno;
        out->Discard();
        throw ZipError(kReplaceFailed, "cannot put the new archive in place of " + target + ": " + Reason(e));
    }
    out->Keep();
    if (!out->WriteThrough())
        return;
    const int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir != -1) {
        ::fsync(dir);  // the rename itself reaches the disk
        ::close(dir);
    }
}

void PosixFileSystem::MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0)
        return;
    const int e = errno;
    struct stat st {};
    if (e == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return;
    throw ZipError(kWriteFailed, "cannot create the folder " + path + ": " + Reason(e));
}

std::string PosixFileSystem::Remove(const std::string& path) {
    if (::remove(path.c_str()) != 0)
        return Reason(errno);
    return {};
}

std::string PosixFileSystem::Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    char cwd[4096];
    if (!::getcwd(cwd, sizeof(cwd)))
        return path;
    return std::string(cwd) + "/" + path;
}

std::optional<FileIdentity> PosixFileSystem::Identity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(st.st_dev), 0, static_cast<uint64_t>(st.st_ino)};
}

std::optional<VolumeSpace> PosixFileSystem::FreeSpace(const std::string& folder) {
    std::string path = folder.empty() ? "." : folder;
    struct statvfs volume {};
    while (::statvfs(path.c_str(), &volume) != 0) {
        if (errno != ENOENT || path == "." || path == "/")
            return std::nullopt;
        path = FolderOf(path);
    }
    return VolumeSpace{static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize,
                       std::max<uint64_t>(volume.f_frsize, 1)};
}

}  // namespace ost::zip
