// The file system layer against real folders in the Wine prefix's drive C.
#include "platform/win32/filesystem_win32.h"

#include "platform/win32/compat.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "platform/error.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/text.h"
#include "raised_by.h"
#include "win32_test_util.h"

namespace ost::win {
namespace {

using test::ForEachChild;
using test::RaisedBy;

bool IsWalkedFolder(const WIN32_FIND_DATAW& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A scratch folder C:\ost-fs-<pid>, removed with everything in it when the test ends.
class ScratchFolder {
  public:
    ScratchFolder() : path_("C:\\ost-fs-" + std::to_string(::GetCurrentProcessId())) {
        ::CreateDirectoryW(LongPath(path_).c_str(), nullptr);
    }
    ~ScratchFolder() { test::RemoveTree(LongPath(path_)); }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

void MakeFile(const std::string& path, size_t bytes) {
    ASSERT_TRUE(test::WriteBytes(LongPath(path), std::string(bytes, 'x'))) << path;
}

void MakeFolder(const std::string& path) {
    ASSERT_TRUE(::CreateDirectoryW(LongPath(path).c_str(), nullptr)) << path;
}

std::string ReadBytes(const std::string& path) {
    return test::ReadBytes(LongPath(path));
}

// The test's own total of a tree: plain FindFirstFileW, directories counted as they come.
uint64_t OwnTreeSize(const std::wstring& longPath, int& directories) {
    ++directories;
    uint64_t total = 0;
    ForEachChild(longPath, [&](const WIN32_FIND_DATAW& data) {
        if (IsWalkedFolder(data))
            total += OwnTreeSize(longPath + L"\\" + data.cFileName, directories);
        else if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            total += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    });
    return total;
}

std::map<std::string, uint64_t> Listing(IFsCursor& cursor) {
    std::map<std::string, uint64_t> items;
    while (IFsItem* item = cursor.Next())
        items[item->Name()] = item->Size();
    return items;
}

class FileSystemWin32Test : public ::testing::Test {
  protected:
    Win32Locale locale;
    Win32FileSystem fs{locale};
    ScratchFolder scratch;
    std::string At(const std::string& relative) const { return scratch.Path() + "\\" + relative; }
};

TEST_F(FileSystemWin32Test, TreeSizesMatchTheTestsOwnWalkAndAreComputedOnce) {
    const std::string root = At("tree");
    MakeFolder(root);
    MakeFile(root + "\\top.bin", 1000);
    MakeFolder(root + "\\three");
    MakeFile(root + "\\three\\abc.txt", 3);
    MakeFolder(root + "\\empty");
    MakeFolder(root + "\\big");
    for (int d = 0; d < 5; ++d) {
        const std::string sub = root + "\\big\\d" + std::to_string(d);
        MakeFolder(sub);
        for (int f = 0; f < 7; ++f)
            MakeFile(sub + "\\f" + std::to_string(f), 100 * d + f);
        MakeFolder(sub + "\\inner");
        MakeFile(sub + "\\inner\\x", 4096 + d);
    }
    // A chain past MAX_PATH, with names outside the ANSI code page.
    std::string deep = root + "\\big\\d0\\inner";
    for (int level = 0; level < 12; ++level) {
        deep += "\\" + std::string(28, static_cast<char>('a' + level)) + "\xE6\x97\xA5";
        MakeFolder(deep);
    }
    ASSERT_GT(deep.size(), 300u);
    MakeFile(deep + "\\\xE6\x9C\xAC.dat", 777);

    int directories = 0;
    std::map<std::string, uint64_t> expected;
    for (const char* name : {"three", "empty", "big"}) {
        int counted = 0;
        expected[name] = OwnTreeSize(LongPath(root + "\\" + name), counted);
        directories += counted;
    }
    EXPECT_EQ(expected["three"], 3u);
    auto folder = fs.GetFolder(root);
    EXPECT_EQ(folder->Path(), root);
    EXPECT_EQ(Listing(*folder->SubFolders()), expected);
    EXPECT_EQ(Listing(*folder->Files()), (std::map<std::string, uint64_t>{{"top.bin", 1000}}));
    EXPECT_EQ(fs.TreeEnumerations(), static_cast<uint64_t>(directories)) << "one enumeration per directory";

    // The subfolders of a folder already measured cost no new enumeration.
    auto big = fs.GetFolder(root + "\\big");
    const auto bigListing = Listing(*big->SubFolders());
    EXPECT_EQ(bigListing.size(), 5u);
    EXPECT_EQ(fs.TreeEnumerations(), static_cast<uint64_t>(directories));
    fs.ForgetTreeSizes();
    EXPECT_EQ(Listing(*big->SubFolders()), bigListing);
    EXPECT_GT(fs.TreeEnumerations(), static_cast<uint64_t>(directories));

    // The deep file is listed by its Unicode name.
    auto deepFolder = fs.GetFolder(deep);
    EXPECT_EQ(Listing(*deepFolder->Files()), (std::map<std::string, uint64_t>{{"\xE6\x9C\xAC.dat", 777}}));
}

TEST_F(FileSystemWin32Test, SymbolicLinkedFoldersAreNotWalkedTwice) {
    const std::string root = At("links");
    MakeFolder(root);
    MakeFolder(root + "\\real");
    MakeFile(root + "\\real\\data", 500);
    const std::wstring link = LongPath(root + "\\real\\loop");
    if (!::CreateSymbolicLinkW(link.c_str(), LongPath(root).c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
        GTEST_SKIP() << "this system cannot make directory symbolic links (error " << ::GetLastError() << ")";
    auto folder = fs.GetFolder(root);
    EXPECT_EQ(Listing(*folder->SubFolders()), (std::map<std::string, uint64_t>{{"real", 500}}));
}

TEST_F(FileSystemWin32Test, CreationDatesAreTheFilesOwnInLocalTime) {
    const std::string root = At("dates");
    MakeFolder(root);
    MakeFile(root + "\\dated.txt", 1);
    SYSTEMTIME wanted{2003, 7, 0, 14, 9, 30, 15, 0};
    FILETIME stamp{};
    ::SystemTimeToFileTime(&wanted, &stamp);
    HANDLE h = ::CreateFileW(LongPath(root + "\\dated.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                             0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ::SetFileTime(h, &stamp, nullptr, nullptr);
    ::CloseHandle(h);

    WIN32_FIND_DATAW own{};
    ::FindClose(::FindFirstFileW(LongPath(root + "\\dated.txt").c_str(), &own));
    SYSTEMTIME utc{}, local{};
    ::FileTimeToSystemTime(&own.ftCreationTime, &utc);
    ::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);

    auto files = fs.GetFolder(root)->Files();
    IFsItem* item = files->Next();
    ASSERT_NE(item, nullptr);
    const DateTime created = item->DateCreated();
    EXPECT_EQ((std::vector<int>{created.year, created.month, created.day, created.hour, created.minute, created.second}),
              (std::vector<int>{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond}));
}

TEST_F(FileSystemWin32Test, DeleteRespectsReadOnlyLocksAndMissingPaths) {
    const std::string file = At("readonly.txt");
    MakeFile(file, 10);
    ::SetFileAttributesW(LongPath(file).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(RaisedBy([&] { fs.DeleteFile(file, false); }).Number(), err::kPermissionDenied);
    EXPECT_TRUE(fs.FileExists(file));
    fs.DeleteFile(file, true);
    EXPECT_FALSE(fs.FileExists(file));

    const std::string locked = At("locked.txt");
    MakeFile(locked, 10);
    HANDLE holder = ::CreateFileW(LongPath(locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const AppError e = RaisedBy([&] { fs.DeleteFile(locked, true); });
    EXPECT_EQ(e.Number(), err::kPermissionDenied);
    EXPECT_NE(e.Context().find("locked.txt"), std::string::npos) << e.Context();
    ::CloseHandle(holder);
    EXPECT_TRUE(fs.FileExists(locked));

    EXPECT_EQ(RaisedBy([&] { fs.DeleteFile(At("missing.txt"), true); }).Number(), err::kFileNotFound);
    EXPECT_EQ(RaisedBy([&] { fs.DeleteFile(At("no-folder\\missing.txt"), true); }).Number(), err::kPathNotFound);
    EXPECT_THROW(fs.GetFolder(At("no-folder")), AppError);
}

TEST_F(FileSystemWin32Test, MoveNeverReplacesAnExistingFile) {
    MakeFile(At("a.txt"), 1);
    MakeFile(At("b.txt"), 2);
    EXPECT_EQ(RaisedBy([&] { fs.MoveFile(At("a.txt"), At("b.txt")); }).Number(), err::kFileExists);
    EXPECT_EQ(ReadBytes(At("b.txt")), "xx");
    fs.MoveFile(At("a.txt"), At("c.txt"));
    EXPECT_FALSE(fs.FileExists(At("a.txt")));
    EXPECT_EQ(ReadBytes(At("c.txt")), "x");
    EXPECT_TRUE(fs.FolderExists(scratch.Path()));
    EXPECT_FALSE(fs.FolderExists(At("c.txt")));
}

TEST_F(FileSystemWin32Test, TextStreamsWriteThroughInTheAnsiCodePage) {
    const std::string path = At("text.txt");
    const std::string line = "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC";  // "Café 日本"
    {
        auto writer = fs.OpenTextFile(path, IoMode::ForWriting, true, 0);
        writer->WriteLine(line);
        EXPECT_EQ(ReadBytes(path), ToAnsi(line) + "\r\n") << "nothing is held back";
        writer->WriteLine("second");
        EXPECT_THROW(writer->ReadAll(), AppError);
    }
    EXPECT_NE(ToAnsi(line).find("??"), std::string::npos) << "characters outside the code page become '?'";
    auto reader = fs.OpenTextFile(path, IoMode::ForReading, false, 0);
    EXPECT_EQ(reader->ReadAll(), FromAnsi(ToAnsi(line)) + "\r\nsecond\r\n");
    EXPECT_EQ(reader->ReadAll(), "");
    reader.reset();
    fs.OpenTextFile(path, IoMode::ForWriting, false, 0).reset();
    EXPECT_EQ(ReadBytes(path), "") << "writing starts from empty";
    EXPECT_EQ(RaisedBy([&] { fs.OpenTextFile(At("none.txt"), IoMode::ForReading, false, 0); }).Number(),
              err::kFileNotFound);
}

TEST_F(FileSystemWin32Test, SpecialFoldersAreTheWindowsAndSystemFolders) {
    wchar_t windows[MAX_PATH], system[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(fs.GetSpecialFolder(SpecialFolder::Windows)->Path(), Narrow(windows));
    EXPECT_EQ(fs.GetSpecialFolder(SpecialFolder::System)->Path(), Narrow(system));
}

}  // namespace
}  // namespace ost::win
