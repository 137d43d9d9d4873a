// The two file system layers against real folders in the Wine prefix's drive C: the program's
// (platform/win32) and the zip libraries' (ziplib/win32).
#include "platform/win32/filesystem_win32.h"

#include "platform/win32/compat.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "platform/error.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/text.h"
#include "platform/win32/unique_handle.h"
#include "raised_by.h"
#include "robot.h"
#include "win32_test_util.h"
#include "ziplib/win32/file_system_win32.h"
#include "ziplib/zip_result.h"

namespace ost::win {
namespace {

using test::RaisedBy;
using Sizes = std::map<std::string, uint64_t>;

template <typename Time>
std::vector<int> Fields(const Time& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

// A file time in local time, converted here with the system's own calls.
std::vector<int> OwnLocal(const FILETIME& utc) {
    SYSTEMTIME system{}, local{};
    ::FileTimeToSystemTime(&utc, &system);
    ::SystemTimeToTzSpecificLocalTime(nullptr, &system, &local);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

class FileSystemWin32Test : public ::testing::Test {
  protected:
    Win32Locale locale;
    Win32FileSystem fs{locale};
    test::ScratchFolder scratch{"fs"};
    std::string At(const std::string& relative) const { return scratch.At(relative); }
    // Files of the given sizes, and folders for the size -1, in the scratch folder.
    void Make(std::initializer_list<std::pair<std::string, int>> entries) {
        for (const auto& [path, size] : entries)
            ASSERT_TRUE(size < 0 ? ::CreateDirectoryW(LongPath(At(path)).c_str(), nullptr)
                                 : test::WriteBytes(LongPath(At(path)), std::string(size, 'x')))
                << path;
    }
    std::string Read(const std::string& relative) { return test::ReadBytes(LongPath(At(relative))); }
    WIN32_FIND_DATAW Found(const std::string& relative) {
        WIN32_FIND_DATAW data{};
        ::FindClose(::FindFirstFileW(LongPath(At(relative)).c_str(), &data));
        return data;
    }
    // The names and sizes of a listing of `folder` (relative to the scratch folder); each item's creation
    // date is checked against the system's.
    Sizes Listing(IFsCursor& cursor, const std::string& folder) {
        Sizes items;
        while (IFsItem* item = cursor.Next()) {
            items[item->Name()] = item->Size();
            EXPECT_EQ(Fields(item->DateCreated()), OwnLocal(Found(folder + "\\" + item->Name()).ftCreationTime))
                << item->Name();
        }
        return items;
    }
};

TEST_F(FileSystemWin32Test, TreeSizesCountEveryFileOnceWithOneEnumerationPerDirectory) {
    Make(
        {{"tree", -1}, {"tree\\top.bin", 1000}, {"tree\\three", -1}, {"tree\\three\\abc.txt", 3}, {"tree\\empty", -1}});
    Make({{"tree\\big", -1}});
    for (int d = 0; d < 3; ++d) {
        const std::string sub = "tree\\big\\d" + std::to_string(d);
        Make({{sub, -1}, {sub + "\\f", 100 + d}, {sub + "\\inner", -1}, {sub + "\\inner\\x", 4096 + d}});
    }
    // A chain past MAX_PATH, with names outside the ANSI code page.
    std::string deep = "tree\\big\\d0\\inner";
    for (int level = 0; level < 12; ++level) {
        deep += "\\" + std::string(28, static_cast<char>('a' + level)) + "\xE6\x97\xA5";
        Make({{deep, -1}});
    }
    Make({{deep + "\\\xE6\x9C\xAC.dat", 777}});
    auto tree = fs.GetFolder(At("tree"));
    EXPECT_EQ(tree->Path(), At("tree"));
    const Sizes subfolders{{"big", 303 + 12291 + 777}, {"empty", 0}, {"three", 3}};
    EXPECT_EQ(Listing(*tree->SubFolders(), "tree"), subfolders);
    EXPECT_EQ(Listing(*tree->Files(), "tree"), (Sizes{{"top.bin", 1000}}));
    EXPECT_EQ(fs.TreeEnumerations(), 21u) << "three, empty, and big with its 18 directories";
    // Subtrees measured already cost nothing until the sizes are forgotten; the memory ignores case.
    auto big = fs.GetFolder(At("tree\\big"));
    const Sizes bigListing = Listing(*big->SubFolders(), "tree\\big");
    EXPECT_EQ(bigListing.size(), 3u);
    EXPECT_EQ(fs.TreeEnumerations(), 21u);
    fs.ForgetTreeSizes();
    EXPECT_EQ(Listing(*big->SubFolders(), "tree\\big"), bigListing);
    EXPECT_EQ(fs.TreeEnumerations(), 21u + 18u);
    EXPECT_EQ(fs.TreeSize(LongPath(At("TREE\\BIG"))), subfolders.at("big"));
    EXPECT_EQ(fs.TreeEnumerations(), 21u + 18u + 1u);
    EXPECT_EQ(Listing(*fs.GetFolder(At(deep))->Files(), deep), (Sizes{{"\xE6\x9C\xAC.dat", 777}}));
    // A folder link made on the host is a reparse point here, and is not followed: it counts 0, and
    // the tree holding it counts once.
    const std::string link = robot::HostPath(Widen(At("tree\\three"))) + "/loop";
    ASSERT_NE(robot::RunHost("ln -s .. '" + link + "'").find("exit=0"), std::string::npos);
    fs.ForgetTreeSizes();
    EXPECT_EQ(Listing(*tree->SubFolders(), "tree"), subfolders);
    EXPECT_EQ(Listing(*fs.GetFolder(At("tree\\three"))->SubFolders(), "tree\\three"), (Sizes{{"loop", 0}}));
    robot::RunHost("rm '" + link + "'");
}

TEST_F(FileSystemWin32Test, RefusedOperationsGiveTheirClassicNumbersAndChangeNothing) {
    Make({{"readonly.txt", 10}, {"locked.txt", 10}, {"folder", -1}, {"a.txt", 1}, {"b.txt", 2}});
    ::SetFileAttributesW(LongPath(At("readonly.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW(LongPath(At("locked.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    UniqueFile holder(
        ::CreateFileW(LongPath(At("locked.txt")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    const std::pair<std::function<void()>, int32_t> refused[] = {
        {[&] { fs.DeleteFile(At("readonly.txt"), false); }, err::kPermissionDenied},  // read-only, not forced
        {[&] { fs.DeleteFile(At("locked.txt"), true); }, err::kPermissionDenied},     // open in another program
        {[&] { fs.DeleteFile(At("folder"), true); }, err::kFileNotFound},
        {[&] { fs.DeleteFile(At("missing.txt"), true); }, err::kFileNotFound},
        {[&] { fs.DeleteFile(At("no-folder\\missing.txt"), true); }, err::kPathNotFound},
        {[&] { fs.GetFolder(At("no-folder")); }, err::kPathNotFound},
        {[&] { fs.GetFolder(At("locked.txt")); }, err::kPathNotFound},
        {[&] { fs.MoveFile(At("a.txt"), At("b.txt")); }, err::kFileExists},  // never replaces
        {[&] { fs.MoveFile(At("none.txt"), At("c.txt")); }, err::kFileNotFound},
        {[&] { fs.OpenTextFile(At("none.txt"), IoMode::ForReading, false, 0); }, err::kFileNotFound},
        {[&] { fs.OpenTextFile(At("a.txt"), IoMode::ForReading, false, -1); }, err::kInvalidCall},
    };
    for (size_t row = 0; row < std::size(refused); ++row)
        EXPECT_EQ(RaisedBy(refused[row].first).Number(), refused[row].second) << "row " << row;
    EXPECT_NE(RaisedBy(refused[1].first).Context().find("locked.txt"), std::string::npos);
    holder.reset();
    EXPECT_TRUE(Found("locked.txt").dwFileAttributes & FILE_ATTRIBUTE_READONLY) << "it keeps its attributes";
    EXPECT_EQ(Read("readonly.txt") + Read("b.txt"), std::string(12, 'x'));
    EXPECT_TRUE(fs.FolderExists(At("folder")) && !fs.FileExists(At("folder")) && !fs.FolderExists(At("locked.txt")));
    fs.DeleteFile(At("readonly.txt"), true);
    fs.MoveFile(At("a.txt"), At("folder\\c.txt"));
    EXPECT_TRUE(!fs.FileExists(At("readonly.txt")) && !fs.FileExists(At("a.txt")) &&
                fs.FileExists(At("folder\\c.txt")));
    // Text files: written through in the ANSI code page, read back whole.
    const std::string line = "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC";  // "Café 日本"
    auto writer = fs.OpenTextFile(At("text.txt"), IoMode::ForWriting, true, 0);
    writer->WriteLine(line);
    EXPECT_EQ(Read("text.txt"), ToAnsi(line) + "\r\n") << "nothing is held back";
    writer->WriteLine("second");
    EXPECT_EQ(RaisedBy([&] { writer->ReadAll(); }).Number(), err::kBadFileMode);
    writer.reset();
    auto reader = fs.OpenTextFile(At("text.txt"), IoMode::ForReading, false, 0);
    EXPECT_EQ(reader->ReadAll(), FromAnsi(ToAnsi(line)) + "\r\nsecond\r\n");
    EXPECT_EQ(reader->ReadAll(), "");
    EXPECT_EQ(RaisedBy([&] { reader->WriteLine("x"); }).Number(), err::kBadFileMode);
    reader.reset();
    fs.OpenTextFile(At("text.txt"), IoMode::ForWriting, false, 0).reset();
    EXPECT_EQ(Read("text.txt"), "") << "writing starts from empty";
    EXPECT_EQ(fs.OpenTextFile(At("made.txt"), IoMode::ForReading, true, 0)->ReadAll(), "");
    EXPECT_TRUE(fs.FileExists(At("made.txt")));
}

TEST_F(FileSystemWin32Test, SpecialFoldersAndDrivesAreTheSystemsWithItsOwnFigures) {
    wchar_t windows[MAX_PATH], system[MAX_PATH], roots[512] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(fs.GetSpecialFolder(SpecialFolder::Windows)->Path(), Narrow(windows));
    EXPECT_EQ(fs.GetSpecialFolder(SpecialFolder::System)->Path(), Narrow(system));
    ::GetLogicalDriveStringsW(512, roots);
    const auto drives = fs.Drives();
    size_t i = 0;
    for (const wchar_t* root = roots; *root != 0; root += wcslen(root) + 1, ++i) {
        SCOPED_TRACE(Narrow(root));
        ASSERT_LT(i, drives.size());
        IDrive& drive = *drives[i];
        // By GetDriveTypeW's answer: unknown, no root, removable, fixed, remote, CD-ROM, RAM disk.
        const int32_t types[] = {0, 0, 1, 2, 3, 4, 5};
        EXPECT_EQ(drive.DriveType(), types[::GetDriveTypeW(root)]);
        EXPECT_TRUE(::GetDriveTypeW(root) == DRIVE_REMOTE || drive.ShareName().empty());
        wchar_t volume[MAX_PATH + 1] = {}, fileSystem[MAX_PATH + 1] = {};
        DWORD serial = 0;
        ULARGE_INTEGER free{}, total{};
        ASSERT_TRUE(
            ::GetVolumeInformationW(root, volume, MAX_PATH + 1, &serial, nullptr, nullptr, fileSystem, MAX_PATH + 1) &&
            ::GetDiskFreeSpaceExW(root, &free, &total, nullptr));
        ::SetErrorMode(0);
        EXPECT_EQ(drive.DriveLetter() + "|" + drive.VolumeName() + "|" + drive.FileSystem(),
                  Narrow(std::wstring(root, 1)) + "|" + Narrow(volume) + "|" + Narrow(fileSystem));
        EXPECT_EQ(drive.SerialNumber(), static_cast<int32_t>(serial));
        EXPECT_EQ(drive.TotalSize(), total.QuadPart);
        EXPECT_NEAR(static_cast<double>(drive.FreeSpace()), static_cast<double>(free.QuadPart), 64 << 20);
        EXPECT_EQ(::GetErrorMode(), 0u) << "the caller's error mode is restored";
    }
    EXPECT_EQ(i, drives.size());
}

TEST(LongPathTest, PathsGoToTheSystemInTheirLongFormAndComeBackWithout) {
    const std::wstring rows[][3] = {
        {L"C:\\", L"\\\\?\\C:\\", L"C:\\"},  // a drive's root keeps its separator
        {L"c:/x/y/", L"\\\\?\\c:\\x\\y", L"c:\\x\\y"},
        {L"C:\\x\\..\\y\\.\\z", L"\\\\?\\C:\\y\\z", L"C:\\y\\z"},
        {L"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x", L"\\\\server\\share\\x"},
        {L"\\\\?\\C:\\a\\..", L"\\\\?\\C:\\a\\..", L"C:\\a\\.."},  // a long form is taken as it is
    };
    for (const auto& [path, longForm, shortForm] : rows) {
        EXPECT_EQ(LongPath(Narrow(path)), longForm) << Narrow(path);
        EXPECT_EQ(ShortForm(longForm), shortForm) << Narrow(path);
    }
    EXPECT_EQ(ShortForm(L"C:\\x"), L"C:\\x");
}

// The zip libraries' file system: what the engine asks of the disk. A new file becomes visible
// only when it is put in place, and one that is dropped or cannot be put in place leaves nothing.
TEST_F(FileSystemWin32Test, TheZipLibrariesFileSystemExaminesListsWritesAndReplaces) {
    zip::Win32FileSystem zfs;
    Make({{"a.txt", 5}, {"d", -1}, {"d\\b", 1}, {"e", -1}, {"target.zip", 3}});
    ::SetFileAttributesW(LongPath(At("a.txt")).c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const auto a = zfs.Stat(At("a.txt")), d = zfs.Stat(At("d") + "/");
    ASSERT_TRUE(a && d);
    EXPECT_EQ(a->size, 5u);
    EXPECT_TRUE(a->readOnly && a->hidden && !a->isFolder && !a->isLink && !a->system);
    EXPECT_EQ(Fields(a->modified), OwnLocal(Found("a.txt").ftLastWriteTime));
    EXPECT_TRUE(d->isFolder && !d->readOnly && !d->hidden);
    for (const std::string& missing :
         {At("none"), At("none\\x"), At("a<b"), std::string("Q:\\x"), At(std::string(300, 'n'))})
        EXPECT_FALSE(zfs.Stat(missing)) << missing;
    EXPECT_EQ(zfs.List(At("d")), std::vector<std::string>{"b"});
    EXPECT_EQ(zfs.List(At("d") + "\\"), std::vector<std::string>{"b"});
    EXPECT_TRUE(zfs.List(At("e")).empty());
    EXPECT_THROW(zfs.List(At("none")), zip::ZipError);
    zfs.MakeFolder(At("e"));
    zfs.MakeFolder(At("e/f"));
    EXPECT_TRUE(zfs.Stat(At("e\\f"))->isFolder);
    EXPECT_THROW(zfs.MakeFolder(At("a.txt")), zip::ZipError);
    EXPECT_NE(zfs.Remove(At("a.txt")), "") << "a read-only file stays";
    EXPECT_EQ(zfs.Remove(At("d\\b")), "");
    EXPECT_EQ(zfs.Remove(At("d")), "");
    EXPECT_NE(zfs.Remove(At("d")), "");
    EXPECT_EQ(zfs.Absolute("C:\\x\\..\\y/z"), "C:\\y\\z");
    auto out = zfs.CreateBeside(At("target.zip"));
    EXPECT_EQ(out->Path().rfind(At("target.zip"), 0), 0u) << out->Path();
    out->Write(reinterpret_cast<const uint8_t*>("0123456789"), 10);
    out->Seek(2);
    out->Write(reinterpret_cast<const uint8_t*>("ab"), 2);
    EXPECT_EQ(out->Position(), 4u);
    out->Seek(6);
    out->Truncate();
    out->SetModified({2001, 2, 3, 4, 5, 6});
    EXPECT_EQ(Read("target.zip"), "xxx");
    zfs.Replace(std::move(out), At("target.zip"));
    EXPECT_EQ(Read("target.zip"), "01ab45");
    EXPECT_EQ(Fields(zfs.Stat(At("target.zip"))->modified), (std::vector<int>{2001, 2, 3, 4, 5, 6}));
    EXPECT_THROW(zfs.OpenRead(At("none")), zip::ZipError);
    zfs.CreateBeside(At("target.zip")).reset();
    UniqueFile held(
        ::CreateFileW(LongPath(At("target.zip")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_THROW(zfs.Replace(zfs.CreateBeside(At("target.zip")), At("target.zip")), zip::ZipError);
    held.reset();
    EXPECT_EQ(Read("target.zip"), "01ab45");
    EXPECT_EQ(zfs.List(scratch.At()), (std::vector<std::string>{"a.txt", "e", "target.zip"}));
}

}  // namespace
}  // namespace ost::win
