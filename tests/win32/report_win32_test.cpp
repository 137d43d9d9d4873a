// A listing block of the report over a real folder in the prefix, through the real file system
// layer and the user's real locale, against lines the test works out with its own calls.
#include "platform/win32/compat.h"

#include <gtest/gtest.h>

#include <map>

#include "app/report_writer.h"
#include "fake_operations.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/text.h"
#include "win32_test_util.h"

namespace ost::win {
namespace {

const std::wstring kFolder = L"C:\\pwwin32";

void MakeFile(const std::wstring& path, size_t bytes) {
    ASSERT_TRUE(test::WriteBytes(path, std::string(bytes, 'r')));
}

// The general date of a creation time, formatted here with the platform's own calls.
std::string OwnDate(const FILETIME& created) {
    SYSTEMTIME utc{}, local{};
    ::FileTimeToSystemTime(&created, &utc);
    ::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    wchar_t date[128] = {}, time[128] = {};
    ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 128);
    std::wstring text = date;
    if (local.wHour || local.wMinute || local.wSecond) {
        ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, time, 128);
        text += L" " + std::wstring(time);
    }
    return ToAnsi(Narrow(text));
}

class ReportWin32Test : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryW(kFolder.c_str(), nullptr)) << "c:\\pwwin32 must not exist before the test";
        // Files with their size texts; one name outside the ANSI code page.
        wchar_t separator[8] = {};
        ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
        const std::string sep = Narrow(separator);
        sizes_ = {{L"three.txt", {3, "3 bytes"}},
                  {L"half.bin", {1536, "1" + sep + "5kb"}},
                  {L"two.bin", {2048, "2kb"}},
                  {L"\u65e5\u672c.dat", {100000, "97" + sep + "66kb"}}};
        for (const auto& [name, size] : sizes_)
            MakeFile(kFolder + L"\\" + name, size.first);
        ::CreateDirectoryW((kFolder + L"\\empty").c_str(), nullptr);
        ::CreateDirectoryW((kFolder + L"\\tree").c_str(), nullptr);
        ::CreateDirectoryW((kFolder + L"\\tree\\inner").c_str(), nullptr);
        MakeFile(kFolder + L"\\tree\\a", 1000);
        MakeFile(kFolder + L"\\tree\\inner\\b", 2072);  // 3072 in the tree: 3kb
        sizes_[L"empty"] = {0, "0 bytes"};
        sizes_[L"tree"] = {3072, "3kb"};
    }
    void TearDown() override {
        test::RemoveTree(kFolder);
        ::DeleteFileW(L"C:\\ost-report-test.txt");
    }
    std::map<std::wstring, std::pair<uint64_t, std::string>> sizes_;
};

TEST_F(ReportWin32Test, ListingLinesMatchTheTestsOwnReading) {
    Win32Locale locale;
    Win32FileSystem fs(locale);
    ReportWriter writer(fs, locale, {{}, {}, {}, [] { return std::string("Windows XP"); }});
    test::ContinuingOperations ops;
    {
        auto report = fs.OpenTextFile("C:\\ost-report-test.txt", IoMode::ForWriting, true, 0);
        writer.SetStreams(report.get(), nullptr);
        writer.PebbleworkFolder(ops);
    }
    EXPECT_TRUE(ops.failures.empty());

    // The expected block, in the order the system lists the folder.
    std::string files, folders;
    test::ForEachChild(kFolder, [&](const WIN32_FIND_DATAW& data) {
        const std::wstring name = data.cFileName;
        ASSERT_EQ(sizes_.count(name), 1u);
        const std::string line = ToAnsi(Narrow(name)) + " (Created : " + OwnDate(data.ftCreationTime) +
                                 " Size : " + sizes_[name].second + ")\r\n";
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? folders : files) += line;
    });
    const std::string rule = "--------------------------\r\n";
    const std::string expected = rule + "Pebblework Dir Listing (c:\\pwwin32)\r\n" + rule +
                                 "\r\nFiles\r\n------\r\n\r\n" + files + "------\r\n\r\nFolders\r\n------\r\n\r\n" +
                                 folders + "\r\n" + rule + "\r\n";

    const std::string written = test::ReadBytes(L"C:\\ost-report-test.txt");
    EXPECT_EQ(written, expected);
    EXPECT_NE(written.find("\n??.dat (Created : "), std::string::npos) << "names outside the code page show as '?'";
}

}  // namespace
}  // namespace ost::win
