// In-memory fakes of the platform services, each logging its calls to a CallLog that can make any
// of them fail: the file system, the registry, the locale, child processes, the system information
// source, and the library loader with a zip and an unzip library that record what they receive.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "archive/xw_un_zip_module.h"
#include "fake_ui.h"
#include "platform/filesystem.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "ziplib/unzip32.h"
#include "ziplib/zip32.h"

namespace ost::test {

inline std::string LowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// A file or subfolder in a listing, logged by its name; a subfolder's size is its whole tree's.
struct FakeItem {
    std::string name;
    uint64_t size = 0;
    DateTime created{2024, 3, 15, 14, 5, 9};
};

// A folder's listing, logged by the folder's path.
struct FakeFolder {
    std::vector<FakeItem> files;
    std::vector<FakeItem> subFolders;
};

// A drive, logged by its letter.
struct FakeDrive : IDrive {
    std::string letter = "C", volume = "SYSTEM", share, fileSystem = "NTFS";
    int32_t type = 2, serial = 777;
    uint64_t freeBytes = 0, totalBytes = 0;
    CallLog* calls = nullptr;  // set when the file system hands the drive out

    std::string DriveLetter() override { return calls->Check("DriveLetter", letter), letter; }
    int32_t DriveType() override { return calls->Check("DriveType", letter), type; }
    std::string ShareName() override { return calls->Check("ShareName", letter), share; }
    std::string VolumeName() override { return calls->Check("VolumeName", letter), volume; }
    uint64_t FreeSpace() override { return calls->Check("FreeSpace", letter), freeBytes; }
    uint64_t TotalSize() override { return calls->Check("TotalSize", letter), totalBytes; }
    std::string FileSystem() override { return calls->Check("FileSystem", letter), fileSystem; }
    int32_t SerialNumber() override { return calls->Check("SerialNumber", letter), serial; }
};

namespace detail {

// A walk over a listing, which is also the item it stands on.
struct Cursor : IFsCursor, IFsItem {
    Cursor(CallLog& log, std::string folder, const std::vector<FakeItem>& all)
        : calls(log), path(std::move(folder)), items(all) {}
    IFsItem* Next() override {
        return calls.Check("Next", path), next < items.size() ? (item = &items[next++], this) : nullptr;
    }
    std::string Name() override { return calls.Check("Name", item->name), item->name; }
    uint64_t Size() override { return calls.Check("Size", item->name), item->size; }
    DateTime DateCreated() override { return calls.Check("DateCreated", item->name), item->created; }
    CallLog& calls;
    std::string path;
    const std::vector<FakeItem>& items;
    const FakeItem* item = nullptr;
    size_t next = 0;
};

struct Folder : IFolder {
    Folder(CallLog& log, std::string folder, const FakeFolder& listing)
        : calls(log), path(std::move(folder)), f(listing) {}
    std::string Path() override { return calls.Check("Path", path), path; }
    std::unique_ptr<IFsCursor> Files() override { return Walk("Files", f.files); }
    std::unique_ptr<IFsCursor> SubFolders() override { return Walk("SubFolders", f.subFolders); }
    std::unique_ptr<IFsCursor> Walk(const char* what, const std::vector<FakeItem>& items) {
        return calls.Check(what, path), std::make_unique<Cursor>(calls, path, items);
    }
    CallLog& calls;
    std::string path;
    const FakeFolder& f;
};

}  // namespace detail

// Files (their text as UTF-8) and folders keyed by their lower-cased paths, and the drives. A text
// stream logs "Opened:path" and, when released, "Close:path"; an open file cannot be deleted.
class FakeFileSystem : public IFileSystem, public Logged {
  public:
    using Logged::Logged;
    std::map<std::string, std::string> files;
    std::set<std::string> readOnly;
    std::multiset<std::string> open;  // the files that streams hold open
    std::map<std::string, FakeFolder> folders;
    std::vector<FakeDrive> drives;

    bool Has(const std::string& path) const { return files.count(LowerAscii(path)) != 0; }
    std::string Content(const std::string& path) const { return Has(path) ? files.at(LowerAscii(path)) : ""; }
    void Put(const std::string& path, const std::string& content) { files[LowerAscii(path)] = content; }

    bool FileExists(const std::string& path) override { return calls.Check("FileExists", path), Has(path); }
    bool FolderExists(const std::string& path) override {
        return calls.Check("FolderExists", path), folders.count(LowerAscii(path)) != 0;
    }
    void DeleteFile(const std::string& path, bool force) override {
        calls.Check("DeleteFile", path);
        Require(Has(path), err::kFileNotFound, path);
        Require((force || readOnly.count(LowerAscii(path)) == 0) && open.count(LowerAscii(path)) == 0,
                err::kPermissionDenied, path);
        files.erase(LowerAscii(path));
        readOnly.erase(LowerAscii(path));
    }
    void MoveFile(const std::string& source, const std::string& destination) override {
        calls.Check("MoveFile", source);
        Require(Has(source), err::kFileNotFound, source);
        Require(!Has(destination), err::kFileExists, destination);
        Put(destination, Content(source));
        files.erase(LowerAscii(source));
    }
    std::unique_ptr<IFolder> GetSpecialFolder(SpecialFolder which) override {
        const bool windows = which == SpecialFolder::Windows;
        return calls.Check("GetSpecialFolder", windows ? "Windows" : "System"),
               Folder(windows ? "C:\\WINDOWS" : "C:\\WINDOWS\\SYSTEM32");
    }
    std::unique_ptr<IFolder> GetFolder(const std::string& path) override {
        return calls.Check("GetFolder", path), Folder(path);
    }
    std::unique_ptr<ITextStream> OpenTextFile(const std::string& path, IoMode mode, bool create, int32_t) override {
        calls.Check("OpenTextFile", path);
        Require(create || Has(path), err::kFileNotFound, path);
        const bool writing = mode == IoMode::ForWriting;
        Require(!writing || readOnly.count(LowerAscii(path)) == 0, err::kPermissionDenied, path);
        Put(path, writing ? "" : Content(path));
        return std::make_unique<Stream>(*this, path);
    }
    std::vector<std::unique_ptr<IDrive>> Drives() override {
        calls.Check("Drives");
        std::vector<std::unique_ptr<IDrive>> out;
        for (FakeDrive drive : drives) {
            drive.calls = &calls;
            out.push_back(std::make_unique<FakeDrive>(drive));
        }
        return out;
    }
    void ForgetTreeSizes() override { calls.log.push_back("ForgetTreeSizes"); }

  private:
    struct Stream : ITextStream {
        Stream(FakeFileSystem& owner, std::string name) : fs(owner), path(std::move(name)) {
            fs.calls.log.push_back("Opened:" + path), fs.open.insert(LowerAscii(path));
        }
        ~Stream() override { fs.calls.log.push_back("Close:" + path), fs.open.erase(fs.open.find(LowerAscii(path))); }
        void WriteLine(std::string_view text) override {
            fs.calls.Check("WriteLine", path + ":" + std::string(text)),
                fs.files[LowerAscii(path)] += std::string(text) + "\r\n";
        }
        std::string ReadAll() override { return fs.calls.Check("ReadAll", path), fs.Content(path); }
        FakeFileSystem& fs;
        std::string path;
    };
    static void Require(bool condition, int32_t number, const std::string& path) {
        if (!condition)
            throw MakeError(number, {}, path);
    }
    std::unique_ptr<IFolder> Folder(const std::string& path) {
        Require(folders.count(LowerAscii(path)) != 0, err::kPathNotFound, path);
        return std::make_unique<detail::Folder>(calls, path, folders.at(LowerAscii(path)));
    }
};

// The registry under HKEY_LOCAL_MACHINE with the result codes of the real calls. A key's subkeys
// come in the order of their lower-cased names; a failing call returns 5, and so does a walk of a
// key opened without the right to enumerate.
class FakeRegistry : public IRegistry, public Logged {
  public:
    using Logged::Logged;
    using Values = std::map<std::string, std::pair<uint32_t, std::string>>;  // by name: type and bytes
    std::map<std::string, Values> keys;  // by lower-cased path; a key's parents must be there too
    std::map<RegKey, std::string> open;  // the handles not yet closed, and their keys

    // A text value stored with its terminating NUL, as the registry keeps REG_SZ text.
    void AddString(const std::string& path, const std::string& name, const std::string& text, uint32_t type = 1) {
        keys[LowerAscii(path)][name] = {type, text + std::string(1, '\0')};
    }

    int32_t OpenKeyEx(RegKey key, const std::string& subKey, uint32_t, uint32_t access, RegKey* result) override {
        return calls.Fails("OpenKeyEx", subKey) || (access & reg::kEnumerateSubKeys) == 0 ? 5
                                                                                          : Open(key, subKey, result);
    }
    int32_t EnumKeyEx(RegKey key, uint32_t index, char* name, uint32_t* length, char* cls, uint32_t* clsLength)
        override {
        if (calls.Fails("EnumKeyEx", std::to_string(index)) || open.count(key) == 0)
            return 5;
        const std::string parent = open[key] + "\\";
        for (const auto& [path, values] : keys) {
            if (path.rfind(parent, 0) != 0 || path.find('\\', parent.size()) != std::string::npos || index-- != 0)
                continue;
            const std::string leaf = path.substr(parent.size());
            if (leaf.size() >= *length)
                return reg::kMoreData;  // no room for the terminator
            std::memcpy(name, leaf.c_str(), leaf.size() + 1);
            *length = static_cast<uint32_t>(leaf.size());
            if (*clsLength > 0)
                cls[0] = '\0';
            *clsLength = 0;
            return reg::kSuccess;
        }
        return reg::kNoMoreItems;
    }
    int32_t OpenKey(RegKey key, const std::string& subKey, RegKey* result) override {
        return calls.Fails("OpenKey", subKey) ? 5 : Open(key, subKey, result);
    }
    int32_t QueryValueEx(RegKey key, const std::string& value, uint32_t* type, uint8_t* data, uint32_t* size) override {
        if (calls.Fails("QueryValueEx", value) || open.count(key) == 0)
            return 5;
        const Values& values = keys.at(open[key]);
        if (values.count(value) == 0)
            return reg::kFileNotFound;
        const auto& [valueType, bytes] = values.at(value);
        *type = valueType;
        if (data != nullptr && *size < bytes.size())
            return reg::kMoreData;
        if (data != nullptr)
            std::memcpy(data, bytes.data(), bytes.size());
        *size = static_cast<uint32_t>(bytes.size());
        return reg::kSuccess;
    }
    int32_t CloseKey(RegKey key) override {
        return calls.Fails("CloseKey") || open.erase(key) == 0 ? 6 : reg::kSuccess;
    }

  private:
    int32_t Open(RegKey key, const std::string& subKey, RegKey* result) {
        *result = 0;
        if (key != kHKeyLocalMachine || keys.count(LowerAscii(subKey)) == 0)
            return reg::kFileNotFound;
        open[*result = ++handles_] = LowerAscii(subKey);
        return reg::kSuccess;
    }
    RegKey handles_ = 0;  // the handles given out
};

// A locale with a chosen decimal separator, month/day/year dates with 24-hour times, and Latin-1
// standing in for the ANSI code page: a character above U+00FF becomes '?'. Its upper-casing covers
// the ASCII and Latin-1 letters.
class FakeLocale : public ILocale, public Logged {
  public:
    using Logged::Logged;
    std::string decimalSeparator = ".";

    std::string DecimalSeparator() override { return calls.Check("DecimalSeparator"), decimalSeparator; }
    std::string GeneralDate(const DateTime& t) override {
        calls.Check("GeneralDate");
        char text[64];
        std::snprintf(text, sizeof(text), "%d/%d/%04d %d:%02d:%02d", t.month, t.day, t.year, t.hour, t.minute,
                      t.second);
        return t.hour + t.minute + t.second == 0 ? std::string(text, std::strchr(text, ' ')) : text;
    }
    std::string ToAnsi(std::string_view utf8) override {
        calls.Check("ToAnsi", std::string(utf8));
        std::string out;
        for (size_t i = 0; i < utf8.size(); ++i) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            if (c == 0xC2 || c == 0xC3)
                out += static_cast<char>(((c & 3) << 6) | (utf8[++i] & 0x3F));
            else if (c < 0x80 || c >= 0xC0)
                out += c < 0x80 ? static_cast<char>(c) : '?';  // a continuation byte adds nothing
        }
        return out;
    }
    std::string FromAnsi(std::string_view ansi) override {
        calls.Check("FromAnsi", std::string(ansi));
        std::string out;
        for (const char c : ansi) {
            const auto byte = static_cast<unsigned char>(c);
            out += byte < 0x80
                       ? std::string(1, c)
                       : std::string{static_cast<char>(0xC0 | byte >> 6), static_cast<char>(0x80 | (byte & 0x3F))};
        }
        return out;
    }
    std::string UpperCase(std::string_view utf8) override {
        calls.Check("UpperCase", std::string(utf8));
        std::string out(utf8);
        for (size_t i = 0; i < out.size(); ++i) {
            const auto c = static_cast<unsigned char>(out[i]);
            const bool latin =
                i > 0 && static_cast<unsigned char>(out[i - 1]) == 0xC3 && c >= 0xA0 && c != 0xB7 && c != 0xBF;
            if ((c >= 'a' && c <= 'z') || latin)
                out[i] = static_cast<char>(c - 0x20);
        }
        return out;
    }
};

// Child processes that record how they were started. A process has done `onStart`'s work once
// started, and `onExit`'s once it has ended by itself; an endless one never ends by itself. `alive`
// counts those that nobody has seen end: a wait that saw it end, or an end that worked.
class FakeProcessLauncher : public IProcessLauncher, public Logged {
  public:
    using Logged::Logged;
    std::vector<std::string> started;  // "command line|window style"
    std::vector<uint32_t> waits;       // the bounds waited with
    std::function<void()> onStart, onExit;
    bool endless = false;
    uint32_t exitCode = 0;
    int alive = 0;

    std::unique_ptr<IChildProcess> Start(const std::string& commandLine, int32_t style) override {
        calls.Check("Start", commandLine), started.push_back(commandLine + "|" + std::to_string(style));
        ++alive;
        if (onStart)
            onStart();
        return std::make_unique<Child>(*this);
    }

  private:
    struct Child : IChildProcess {
        explicit Child(FakeProcessLauncher& launcher) : owner(launcher) {}
        bool WaitForExit(uint32_t timeoutMs, const std::function<void()>& pump) override {
            owner.calls.Check("WaitForExit", std::to_string(timeoutMs)), owner.waits.push_back(timeoutMs);
            if (pump)
                pump();
            if (owner.endless)
                return false;
            End();
            return true;
        }
        uint32_t ExitCode() override { return owner.calls.Check("ExitCode"), owner.exitCode; }
        void Terminate(uint32_t timeoutMs) override {
            owner.calls.Check("Terminate", std::to_string(timeoutMs));
            owner.endless = false;
            owner.alive -= ended ? 0 : 1;
            ended = true;
        }
        void End() {
            if (!ended && owner.onExit)
                owner.onExit();
            owner.alive -= ended ? 0 : 1;
            ended = true;
        }
        FakeProcessLauncher& owner;
        bool ended = false;
    };
};

// A system information source answering with the records it holds.
struct FakeSystemInfoSource : ISystemInfoSource {
    OsVersionRecord version{5, 1, 2600};
    uint32_t processorType = 586;
    MemoryRecord memory{};
    DllVersionRecord shell{6, 0, 2900};
    OsVersionRecord QueryVersion() override { return version; }
    uint32_t QueryProcessorType() override { return processorType; }
    MemoryRecord QueryMemory() override { return memory; }
    DllVersionRecord QueryShellVersion() override { return shell; }
};

// A text a library received through a pointer; "<null>" for a null pointer.
inline std::string Received(const char* text) {
    return text == nullptr ? "<null>" : text;
}

// Writes `to`, when set, over a library's copy of a name it fits in.
inline void Rename(const std::string& to, char* name) {
    if (!to.empty() && name != nullptr && to.size() <= std::strlen(name))
        std::strcpy(name, to.c_str());
}

// Where the recording libraries below log their calls: the loader's log. A call that fails there
// returns -1; otherwise ZpInit and ZpSetOptions return 1, and the others 0.
inline CallLog* gLibraryCalls = nullptr;

// A zip library that packs nothing. Set before a run: a new name for the archive, and what
// ZpArchive does. Afterwards: the records as received (the root folder read again during
// ZpArchive), and the name list up to its last name that is not null.
struct ZipRecording {
    std::string renameArchiveTo;
    std::function<int32_t()> onArchive;  // what ZpArchive does, and its result
    ZIPUSERFUNCTIONS functions{};
    ZPOPT options{};
    std::string date, rootDir, rootDirLater, zipFileName;
    int32_t count = 0;
    std::vector<std::string> names;
};
inline ZipRecording gZip;

inline int32_t ZIP32_API RecordingZpInit(ZIPUSERFUNCTIONS* functions) {
    gZip.functions = *functions;
    return gLibraryCalls->Fails("ZpInit") ? -1 : 1;
}
inline int32_t ZIP32_API RecordingZpSetOptions(ZPOPT* options) {
    gZip.options = *options;
    gZip.date = Received(options->Date);
    gZip.rootDir = Received(options->szRootDir);
    return gLibraryCalls->Fails("ZpSetOptions") ? -1 : 1;
}
inline int32_t ZIP32_API RecordingZpArchive(int32_t count, char* zipFileName, ZIPNAMES* names) {
    gZip.count = count;
    gZip.zipFileName = Received(zipFileName);
    gZip.names.clear();
    std::transform(names->name, names->name + kZipNameListSize, std::back_inserter(gZip.names), Received);
    while (!gZip.names.empty() && gZip.names.back() == "<null>")
        gZip.names.pop_back();
    gZip.rootDirLater = Received(gZip.options.szRootDir);
    Rename(gZip.renameArchiveTo, zipFileName);
    if (gLibraryCalls->Fails("ZpArchive"))
        return -1;
    return gZip.onArchive ? gZip.onArchive() : 0;
}

// An unzip library that reads nothing. Set before a run: new names for the archive and the
// extraction folder. Afterwards: the version record before the library filled it, the two lists'
// counts and whether their pointers are null, and the records as received.
struct UnzipRecording {
    std::string renameArchiveTo, renameExtractDirTo;
    UnzipVersionInfo version{};
    std::string lists;  // "include count|list or null|exclude count|list or null"
    DCL options{};
    USERFUNCTION functions{};
    std::string zipFileName, extractDir;
};
inline UnzipRecording gUnzip;

inline int32_t ZIP32_API RecordingUzpVersion2(UnzipVersionInfo* version) {
    gUnzip.version = *version;
    version->unzip = {6, 0, 0, 0};
    return gLibraryCalls->Fails("UzpVersion2") ? -1 : 0;
}
inline int32_t ZIP32_API RecordingWizSingleEntryUnzip(int32_t includeCount,
                                                      char** include,
                                                      int32_t excludeCount,
                                                      char** exclude,
                                                      DCL* options,
                                                      USERFUNCTION* functions) {
    UnzipRecording& r = gUnzip;
    r.lists = std::to_string(includeCount) + (include ? "|list|" : "|null|") + std::to_string(excludeCount) +
              (exclude ? "|list" : "|null");
    r.options = *options;
    r.functions = *functions;
    r.zipFileName = Received(options->ZipFileName);
    r.extractDir = Received(options->ExtractDir);
    Rename(r.renameArchiveTo, options->ZipFileName);
    Rename(r.renameExtractDirTo, options->ExtractDir);
    return gLibraryCalls->Fails("Wiz_SingleEntryUnzip") ? -1 : 0;
}

// A function as a library entry.
template <typename Fn>
LibraryEntry AsEntry(Fn function) {
    return reinterpret_cast<LibraryEntry>(function);
}

// Libraries as tables of in-process functions, the recording libraries to begin with. A library
// missing from `libraries` cannot be loaded (AppError 53), an entry missing from its table is not
// found (AppError 453).
class FakeLibraryLoader : public ILibraryLoader, public Logged {
  public:
    explicit FakeLibraryLoader(CallLog* shared = nullptr) : Logged(shared) { gLibraryCalls = &calls; }
    std::map<std::string, std::map<std::string, LibraryEntry>> libraries = {
        {kZipLibrary,
         {{"ZpInit", AsEntry(&RecordingZpInit)},
          {"ZpSetOptions", AsEntry(&RecordingZpSetOptions)},
          {"ZpArchive", AsEntry(&RecordingZpArchive)}}},
        {kUnzipLibrary,
         {{"UzpVersion2", AsEntry(&RecordingUzpVersion2)},
          {"Wiz_SingleEntryUnzip", AsEntry(&RecordingWizSingleEntryUnzip)}}}};

    LibraryEntry Entry(const std::string& library, const std::string& entry) override {
        calls.Check("Entry", library + "!" + entry);
        if (libraries.count(library) == 0)
            throw MakeError(err::kFileNotFound, {}, library);
        if (libraries[library].count(entry) == 0)
            throw MakeError(err::kEntryPointMissing, {}, library + "!" + entry);
        return libraries[library][entry];
    }
};

}  // namespace ost::test
