#include "ziplib/win32/file_system_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "platform/win32/text.h"
#include "platform/win32/unique_handle.h"
#include "ziplib/zip_result.h"

namespace ost::zip {

namespace {

using win::Narrow;
using win::UniqueFile;

std::wstring WidePath(const std::string& path) {
    std::wstring wide = win::Widen(path);
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

// The system's own words for an error, with plain words for the cases users meet most.
std::string Reason(DWORD code) {
    switch (code) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "Disk full";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "the file is in use by another program";
        default:
            break;
    }
    wchar_t* message = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::wstring text = n != 0 && message ? std::wstring(message, n) : L"";
    if (message)
        ::LocalFree(message);
    while (!text.empty() &&
           (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : Narrow(text) + " (error " + std::to_string(code) + ")";
}

LocalTime ToLocal(const FILETIME& utc) {
    FILETIME local{};
    SYSTEMTIME t{};
    if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &t))
        return LocalTime{};
    return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

class Win32Source : public ByteSource {
  public:
    Win32Source(UniqueFile file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}

    size_t Read(uint8_t* data, size_t size) override {
        size_t done = 0;
        while (done < size) {
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
            if (!::ReadFile(file_.get(), data + done, want, &got, nullptr))
                throw ZipError(kReadFailed, "cannot read " + path_ + ": " + Reason(::GetLastError()));
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }
    void Seek(uint64_t offset) override {
        LARGE_INTEGER to{};
        to.QuadPart = static_cast<LONGLONG>(offset);
        if (!::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN))
            throw ZipError(kReadFailed, "cannot read " + path_ + ": " + Reason(::GetLastError()));
    }
    uint64_t Size() override {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(file_.get(), &size))
            throw ZipError(kReadFailed, "cannot read " + path_ + ": " + Reason(::GetLastError()));
        return static_cast<uint64_t>(size.QuadPart);
    }

  private:
    UniqueFile file_;
    std::string path_;
};

class Win32Output : public OutputFile {
  public:
    Win32Output(UniqueFile file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}
    ~Win32Output() override { Discard(); }

    const std::string& Path() const override { return path_; }
    void Write(const uint8_t* data, size_t size) override {
        if (position_ != filePointer_)
            MoveTo(position_);
        while (size > 0) {
            DWORD wrote = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
            if (!::WriteFile(file_.get(), data, want, &wrote, nullptr) || wrote == 0) {
                const DWORD code = wrote == 0 && ::GetLastError() == 0 ? ERROR_DISK_FULL : ::GetLastError();
                filePointer_ = UINT64_MAX;
                throw ZipError(kWriteFailed, "cannot write " + path_ + ": " + Reason(code));
            }
            data += wrote;
            size -= wrote;
            position_ += wrote;
        }
        filePointer_ = position_;
    }
    uint64_t Position() const override { return position_; }
    void Seek(uint64_t offset) override { position_ = offset; }
    void Truncate() override {
        MoveTo(position_);
        if (!::SetEndOfFile(file_.get()))
            throw ZipError(kWriteFailed, "cannot write " + path_ + ": " + Reason(::GetLastError()));
    }

    // Writes the file through and closes it; returns the system's reason on failure.
    std::string Close() {
        if (writeThrough_ && !::FlushFileBuffers(file_.get())) {
            const DWORD code = ::GetLastError();
            Discard();
            return Reason(code);
        }
        file_.reset();
        return {};
    }
    void Discard() {
        file_.reset();
        if (!path_.empty())
            ::DeleteFileW(WidePath(path_).c_str());
        path_.clear();
    }
    void SetModified(const LocalTime& when) override {
        SYSTEMTIME t{};
        t.wYear = static_cast<WORD>(when.year);
        t.wMonth = static_cast<WORD>(when.month);
        t.wDay = static_cast<WORD>(when.day);
        t.wHour = static_cast<WORD>(when.hour);
        t.wMinute = static_cast<WORD>(when.minute);
        t.wSecond = static_cast<WORD>(when.second);
        FILETIME local{}, utc{};
        if (!::SystemTimeToFileTime(&t, &local) || !::LocalFileTimeToFileTime(&local, &utc) ||
            !::SetFileTime(file_.get(), nullptr, nullptr, &utc))
            throw ZipError(kWriteFailed, "cannot set the time of " + path_ + ": " + Reason(::GetLastError()));
    }
    void Keep() { path_.clear(); }
    bool WriteThrough() const { return writeThrough_; }

  private:
    void MoveTo(uint64_t offset) {
        LARGE_INTEGER to{};
        to.QuadPart = static_cast<LONGLONG>(offset);
        if (!::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN))
            throw ZipError(kWriteFailed, "cannot write " + path_ + ": " + Reason(::GetLastError()));
        filePointer_ = offset;
    }

    UniqueFile file_;
    std::string path_;
    uint64_t position_ = 0;
    uint64_t filePointer_ = 0;
};

}  // namespace

std::optional<FileInfo> Win32FileSystem::Stat(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME ||
            code == ERROR_BAD_NETPATH || code == ERROR_BAD_NET_NAME || code == ERROR_INVALID_DRIVE ||
            code == ERROR_FILENAME_EXCED_RANGE)
            return std::nullopt;
        throw ZipError(kReadFailed, "cannot examine " + path + ": " + Reason(code));
    }
    FileInfo info;
    const DWORD a = data.dwFileAttributes;
    info.isFolder = (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.isLink = (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    info.hidden = (a & FILE_ATTRIBUTE_HIDDEN) != 0;
    info.system = (a & FILE_ATTRIBUTE_SYSTEM) != 0;
    info.readOnly = (a & FILE_ATTRIBUTE_READONLY) != 0;
    info.size = info.isFolder ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info.modified = ToLocal(data.ftLastWriteTime);
    return info;
}

std::vector<std::string> Win32FileSystem::List(const std::string& folder) {
    std::wstring pattern = WidePath(folder);
    if (!pattern.empty() && pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    win::UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &found));
    std::vector<std::string> names;
    if (!find) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES)
            return names;
        throw ZipError(kReadFailed, "cannot list the folder " + folder + ": " + Reason(code));
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(Narrow(name));
    } while (::FindNextFileW(find.get(), &found));
    return names;
}

std::unique_ptr<ByteSource> Win32FileSystem::OpenRead(const std::string& path) {
    // A file may be packed while another program still holds it open for writing: the support
    // report stays open in its writer until the run's clean-up, with everything written already in
    // the file. A file that changes while it is read is caught by the reader (kReadFailed).
    UniqueFile file(::CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        throw ZipError(kReadFailed, "cannot open " + path + " for reading: " + Reason(::GetLastError()));
    return std::make_unique<Win32Source>(std::move(file), path);
}

std::unique_ptr<OutputFile> Win32FileSystem::CreateBeside(const std::string& target) {
    std::random_device random;
    DWORD code = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof(suffix), ".tmp-%08x", static_cast<unsigned>(random()));
        const std::string path = target + suffix;
        UniqueFile file(::CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return std::make_unique<Win32Output>(std::move(file), path);
        code = ::GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
            break;
    }
    throw ZipError(kTempFile, "cannot create a temporary file beside " + target + ": " + Reason(code));
}

void Win32FileSystem::Replace(std::unique_ptr<OutputFile> file, const std::string& target) {
    auto* out = static_cast<Win32Output*>(file.get());
    const std::string temp = out->Path();
    if (const std::string why = out->Close(); !why.empty())
        throw ZipError(kWriteFailed, "cannot write " + temp + ": " + why);
    if (!::MoveFileExW(WidePath(temp).c_str(), WidePath(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | (out->WriteThrough() ? MOVEFILE_WRITE_THROUGH : 0))) {
        const DWORD code = ::GetLastError();
        out->Discard();
        throw ZipError(kReplaceFailed, "cannot put the new archive in place of " + target + ": " + Reason(code));
    }
    out->Keep();
}

void Win32FileSystem::MakeFolder(const std::string& path) {
    const std::wstring wide = WidePath(path);
    if (::CreateDirectoryW(wide.c_str(), nullptr))
        return;
    const DWORD code = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (code == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    throw ZipError(kWriteFailed, "cannot create the folder " + path + ": " + Reason(code));
}

std::string Win32FileSystem::Remove(const std::string& path) {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    const BOOL ok = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                        ? ::RemoveDirectoryW(wide.c_str())
                        : ::DeleteFileW(wide.c_str());
    return ok ? std::string() : Reason(::GetLastError());
}

std::string Win32FileSystem::Absolute(const std::string& path) {
    const std::wstring wide = WidePath(path);
    std::wstring full(32768, L'\0');
    const DWORD n = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return path;
    full.resize(n);
    return Narrow(full);
}

std::optional<FileIdentity> Win32FileSystem::Identity(const std::string& path) {
    // Only the attributes are asked for, which whoever may list the folder may read: a file that
    // another program holds or that the user may not read is identified all the same. Backup
    // semantics open folders too (and need no privilege for that).
    UniqueFile file(::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return std::nullopt;
    // FILE_ID_INFO and FileIdInfo (18), which mingw-w64 declares for Windows 8 targets only;
    // Windows 7 refuses the class, and then the 64-bit index is the number.
    struct {
        ULONGLONG volume;
        BYTE id[16];
    } id128{};
    FileIdentity identity;
    if (::GetFileInformationByHandleEx(file.get(), static_cast<FILE_INFO_BY_HANDLE_CLASS>(18), &id128, sizeof(id128))) {
        identity.volume = id128.volume;
        std::memcpy(&identity.low, id128.id, 8);
        std::memcpy(&identity.high, id128.id + 8, 8);
    } else {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(file.get(), &info))
            return std::nullopt;
        identity.volume = info.dwVolumeSerialNumber;
        identity.low = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    // Some network shares number no file: 0 tells nothing about which file this is.
    if (identity.high == 0 && identity.low == 0)
        return std::nullopt;
    return identity;
}

std::optional<VolumeSpace> Win32FileSystem::FreeSpace(const std::string& folder) {
    // A folder that does not exist yet takes the space of its nearest existing parent. The path
    // ends in a backslash, as the root of a share must.
    std::wstring path = WidePath(Absolute(folder.empty() ? "." : folder));
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    for (;;) {
        ULARGE_INTEGER free{};
        if (::GetDiskFreeSpaceExW((path + L'\\').c_str(), &free, nullptr, nullptr)) {
            VolumeSpace space{free.QuadPart};
            // The volume's root is a part of the path, so it fits a buffer of the path's length.
            std::wstring root(path.size() + 2, L'\0');
            DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
            if (::GetVolumePathNameW((path + L'\\').c_str(), root.data(), static_cast<DWORD>(root.size())) &&
                ::GetDiskFreeSpaceW(root.c_str(), &sectors, &bytes, &freeClusters, &clusters))
                space.cluster = std::max<uint64_t>(uint64_t{sectors} * bytes, 1);
            return space;
        }
        const DWORD code = ::GetLastError();
        const size_t cut = path.find_last_of(L'\\');
        if ((code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) || cut == std::wstring::npos)
            return std::nullopt;
        path.resize(cut);
    }
}

std::string AnsiCodec::ToUtf8(std::string_view ansi) {
    return win::FromAnsi(ansi);
}

std::string AnsiCodec::FromUtf8(std::string_view utf8) {
    return win::ToAnsi(utf8);
}

NameUpperCase AnsiCodec::UpperCase() {
    return [](std::string_view utf8) { return win::UpperCase(utf8); };
}

}  // namespace ost::zip
