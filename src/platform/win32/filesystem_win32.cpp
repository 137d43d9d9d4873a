#include "platform/win32/filesystem_win32.h"

#include "platform/win32/compat.h"

#include <winnetwk.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/error.h"
#include "platform/win32/text.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win_error.h"

namespace ost::win {

namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::wstring Lower(std::wstring text) {
    if (!text.empty())
        ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

bool IsDots(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

DateTime ToLocal(const FILETIME& utc) {
    SYSTEMTIME system{}, local{};
    if (!::FileTimeToSystemTime(&utc, &system))
        ThrowLastError("FileTimeToSystemTime");
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &system, &local))
        ThrowLastError("SystemTimeToTzSpecificLocalTime");
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

uint64_t FileSize(const WIN32_FIND_DATAW& data) {
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// One directory's entries, read with one enumeration (no entry is opened or stat'ed on its own).
class DirectoryWalk {
  public:
    // An empty directory (or a drive root with no entries) gives no entries; a missing or
    // unreadable directory raises AppError.
    explicit DirectoryWalk(const std::wstring& longPath) : path_(longPath) {
        handle_.reset(::FindFirstFileExW((longPath + L"\\*").c_str(), FindExInfoBasic, &data_, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (!handle_) {
            const DWORD code = ::GetLastError();
            if (code != ERROR_FILE_NOT_FOUND && code != ERROR_NO_MORE_FILES)
                throw Win32Error(code, "FindFirstFileExW", Narrow(ShortForm(longPath)));
            done_ = true;
        }
    }
    // The next entry other than "." and "..", or null at the end.
    const WIN32_FIND_DATAW* Next() {
        while (!done_) {
            if (!first_) {
                if (!::FindNextFileW(handle_.get(), &data_)) {
                    const DWORD code = ::GetLastError();
                    done_ = true;
                    if (code != ERROR_NO_MORE_FILES)
                        throw Win32Error(code, "FindNextFileW", Narrow(ShortForm(path_)));
                    return nullptr;
                }
            }
            first_ = false;
            if (!IsDots(data_.cFileName))
                return &data_;
        }
        return nullptr;
    }

  private:
    std::wstring path_;
    UniqueFindHandle handle_;
    WIN32_FIND_DATAW data_{};
    bool first_ = true;
    bool done_ = false;
};

class Win32Item final : public IFsItem {
  public:
    Win32Item(Win32FileSystem& fs, const std::wstring& parent, const WIN32_FIND_DATAW& data)
        : fs_(fs), parent_(parent), data_(data) {}
    std::string Name() override { return Narrow(data_.cFileName); }
    uint64_t Size() override {
        if (!(data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return FileSize(data_);
        if (data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return 0;
        return fs_.TreeSize(parent_ + L"\\" + data_.cFileName);
    }
    DateTime DateCreated() override { return ToLocal(data_.ftCreationTime); }

  private:
    Win32FileSystem& fs_;
    const std::wstring& parent_;
    const WIN32_FIND_DATAW& data_;
};

class Win32Cursor final : public IFsCursor {
  public:
    Win32Cursor(Win32FileSystem& fs, const std::wstring& longPath, bool folders)
        : fs_(fs), path_(longPath), walk_(longPath), folders_(folders) {}
    IFsItem* Next() override {
        while (const WIN32_FIND_DATAW* data = walk_.Next()) {
            const bool isFolder = (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (isFolder != folders_)
                continue;
            item_.emplace(fs_, path_, *data);
            return &*item_;
        }
        return nullptr;
    }

  private:
    Win32FileSystem& fs_;
    std::wstring path_;
    DirectoryWalk walk_;
    bool folders_;
    std::optional<Win32Item> item_;
};

class Win32Folder final : public IFolder {
  public:
    Win32Folder(Win32FileSystem& fs, std::wstring longPath) : fs_(fs), longPath_(std::move(longPath)) {}
    std::string Path() override { return Narrow(ShortForm(longPath_)); }
    std::unique_ptr<IFsCursor> Files() override { return std::make_unique<Win32Cursor>(fs_, longPath_, false); }
    std::unique_ptr<IFsCursor> SubFolders() override { return std::make_unique<Win32Cursor>(fs_, longPath_, true); }

  private:
    Win32FileSystem& fs_;
    std::wstring longPath_;
};

class Win32TextStream final : public ITextStream {
  public:
    Win32TextStream(UniqueFile file, IoMode mode, std::string path, ILocale& locale)
        : file_(std::move(file)), mode_(mode), path_(std::move(path)), locale_(locale) {}

    void WriteLine(std::string_view text) override {
        if (mode_ != IoMode::ForWriting)
            throw MakeError(err::kBadFileMode, {}, "WriteLine on '" + path_ + "' opened for reading");
        const std::string bytes = locale_.ToAnsi(text) + "\r\n";
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD wrote = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
            if (!::WriteFile(file_.get(), bytes.data() + done, chunk, &wrote, nullptr))
                ThrowLastError("WriteFile", path_);
            if (wrote == 0)
                throw MakeError(err::kDiskFull, {}, "WriteFile '" + path_ + "' wrote nothing");
            done += wrote;
        }
    }

    std::string ReadAll() override {
        if (mode_ != IoMode::ForReading)
            throw MakeError(err::kBadFileMode, {}, "ReadAll on '" + path_ + "' opened for writing");
        std::string bytes;
        char buffer[65536];
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(file_.get(), buffer, sizeof(buffer), &got, nullptr))
                ThrowLastError("ReadFile", path_);
            if (got == 0)
                break;
            bytes.append(buffer, got);
        }
        return locale_.FromAnsi(bytes);
    }

  private:
    UniqueFile file_;
    IoMode mode_;
    std::string path_;
    ILocale& locale_;
};

class Win32Drive final : public IDrive {
  public:
    explicit Win32Drive(std::wstring root) : root_(std::move(root)) {}
    std::string DriveLetter() override { return Narrow(root_.substr(0, 1)); }
    int32_t DriveType() override {
        switch (::GetDriveTypeW(root_.c_str())) {
            case DRIVE_REMOVABLE:
                return 1;
            case DRIVE_FIXED:
                return 2;
            case DRIVE_REMOTE:
                return 3;
            case DRIVE_CDROM:
                return 4;
            case DRIVE_RAMDISK:
                return 5;
            default:
                return 0;
        }
    }
    std::string ShareName() override {
        if (DriveType() != 3)
            return {};
        const std::wstring local = root_.substr(0, 2);
        std::vector<wchar_t> remote(1024);
        DWORD length = static_cast<DWORD>(remote.size());
        const DWORD status = ::WNetGetConnectionW(local.c_str(), remote.data(), &length);
        if (status != NO_ERROR)
            throw Win32Error(status, "WNetGetConnectionW", Narrow(local));
        return Narrow(remote.data());
    }
    std::string VolumeName() override { return Narrow(Volume().name); }
    std::string FileSystem() override { return Narrow(Volume().fileSystem); }
    int32_t SerialNumber() override { return static_cast<int32_t>(Volume().serial); }
    uint64_t FreeSpace() override { return Space().freeToCaller; }
    uint64_t TotalSize() override { return Space().total; }

  private:
    struct VolumeInfo {
        std::wstring name, fileSystem;
        DWORD serial = 0;
    };
    struct SpaceInfo {
        uint64_t freeToCaller = 0, total = 0;
    };
    VolumeInfo Volume() {
        wchar_t name[MAX_PATH + 1] = {}, fileSystem[MAX_PATH + 1] = {};
        DWORD serial = 0, maxComponent = 0, flags = 0;
        // Drives without a medium must fail here, not ask the user to insert one.
        const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
        const BOOL ok = ::GetVolumeInformationW(root_.c_str(), name, MAX_PATH + 1, &serial, &maxComponent, &flags,
                                                fileSystem, MAX_PATH + 1);
        const DWORD code = ::GetLastError();
        ::SetErrorMode(oldMode);
        if (!ok)
            throw Win32Error(code, "GetVolumeInformationW", Narrow(root_));
        return {name, fileSystem, serial};
    }
    SpaceInfo Space() {
        ULARGE_INTEGER freeToCaller{}, total{}, totalFree{};
        const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
        const BOOL ok = ::GetDiskFreeSpaceExW(root_.c_str(), &freeToCaller, &total, &totalFree);
        const DWORD code = ::GetLastError();
        ::SetErrorMode(oldMode);
        if (!ok)
            throw Win32Error(code, "GetDiskFreeSpaceExW", Narrow(root_));
        return {freeToCaller.QuadPart, total.QuadPart};
    }
    std::wstring root_;
};

DWORD Attributes(const std::wstring& longPath) {
    return ::GetFileAttributesW(longPath.c_str());
}

}  // namespace

std::wstring LongPath(const std::string& path) {
    std::wstring wide = Widen(path);
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    if (StartsWith(wide, kLongPrefix))
        return wide;
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        throw Win32Error(::GetLastError(), "GetFullPathNameW", path);
    std::wstring full(needed, L'\0');
    full.resize(::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr));
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();  // "C:\x\" -> "C:\x", "C:\" stays
    if (StartsWith(full, L"\\\\"))
        return kUncPrefix + full.substr(2);
    return kLongPrefix + full;
}

std::wstring ShortForm(const std::wstring& longPath) {
    if (StartsWith(longPath, kUncPrefix))
        return L"\\\\" + longPath.substr(8);
    if (StartsWith(longPath, kLongPrefix))
        return longPath.substr(4);
    return longPath;
}

bool Win32FileSystem::FileExists(const std::string& path) {
    const DWORD attributes = Attributes(LongPath(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::FolderExists(const std::string& path) {
    const DWORD attributes = Attributes(LongPath(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32FileSystem::DeleteFile(const std::string& path, bool force) {
    const std::wstring longPath = LongPath(path);
    const DWORD attributes = Attributes(longPath);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        ThrowLastError("GetFileAttributesW", path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        throw MakeError(err::kFileNotFound, {}, "DeleteFile '" + path + "': a folder");
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !force)
        throw MakeError(err::kPermissionDenied, {}, "DeleteFile '" + path + "': the file is read-only");
    if (readOnly && !::SetFileAttributesW(longPath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        ThrowLastError("SetFileAttributesW", path);
    if (!::DeleteFileW(longPath.c_str())) {
        const DWORD code = ::GetLastError();
        if (readOnly)
            ::SetFileAttributesW(longPath.c_str(), attributes);  // the file stays as it was
        throw Win32Error(code, "DeleteFileW", path);
    }
}

void Win32FileSystem::MoveFile(const std::string& source, const std::string& destination) {
    const std::wstring from = LongPath(source);
    const DWORD attributes = Attributes(from);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        ThrowLastError("GetFileAttributesW", source);
    if (!::MoveFileExW(from.c_str(), LongPath(destination).c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
        ThrowLastError("MoveFileExW", source + "' to '" + destination);
}

std::unique_ptr<IFolder> Win32FileSystem::GetSpecialFolder(SpecialFolder which) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT n = which == SpecialFolder::Windows ? ::GetWindowsDirectoryW(buffer, MAX_PATH + 1)
                                                   : ::GetSystemDirectoryW(buffer, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH)
        ThrowLastError(which == SpecialFolder::Windows ? "GetWindowsDirectoryW" : "GetSystemDirectoryW");
    return GetFolder(Narrow(buffer));
}

std::unique_ptr<IFolder> Win32FileSystem::GetFolder(const std::string& path) {
    std::wstring longPath = LongPath(path);
    const DWORD attributes = Attributes(longPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw MakeError(err::kPathNotFound, {}, "GetFolder '" + path + "': no such folder");
    return std::make_unique<Win32Folder>(*this, std::move(longPath));
}

std::unique_ptr<ITextStream> Win32FileSystem::OpenTextFile(const std::string& path,
                                                           IoMode mode,
                                                           bool create,
                                                           int32_t format) {
    if (format != 0)
        throw MakeError(err::kInvalidCall, {}, "OpenTextFile '" + path + "': only format 0 is supported");
    const std::wstring longPath = LongPath(path);
    UniqueFile file;
    if (mode == IoMode::ForReading) {
        file.reset(::CreateFileW(longPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    } else if (mode == IoMode::ForWriting) {
        // Others may read the file while it is being written (the support file packs it while
        // the report writer is still open).
        file.reset(::CreateFileW(longPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 create ? CREATE_ALWAYS : TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    } else {
        throw MakeError(err::kInvalidCall, {}, "OpenTextFile '" + path + "': unknown mode");
    }
    if (!file)
        ThrowLastError("CreateFileW", path);
    return std::make_unique<Win32TextStream>(std::move(file), mode, path, locale_);
}

std::vector<std::unique_ptr<IDrive>> Win32FileSystem::Drives() {
    std::vector<wchar_t> buffer(1024);
    const DWORD n = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n == 0 || n > buffer.size())
        ThrowLastError("GetLogicalDriveStringsW");
    std::vector<std::unique_ptr<IDrive>> drives;
    for (const wchar_t* root = buffer.data(); *root != 0; root += wcslen(root) + 1)
        drives.push_back(std::make_unique<Win32Drive>(root));
    return drives;
}

uint64_t Win32FileSystem::TreeSize(const std::wstring& longPath) {
    const std::wstring key = Lower(longPath);
    if (const auto known = treeSizes_.find(key); known != treeSizes_.end())
        return known->second;
    ++treeEnumerations_;
    DirectoryWalk walk(longPath);
    uint64_t total = 0;
    while (const WIN32_FIND_DATAW* data = walk.Next()) {
        if (!(data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            total += FileSize(*data);
        } else if (!(data->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            total += TreeSize(longPath + L"\\" + data->cFileName);
        }
    }
    treeSizes_.emplace(key, total);
    return total;
}

}  // namespace ost::win
