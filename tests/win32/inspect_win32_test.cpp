// The drive listing and the installed-programs list against the real platform under Wine.
#include "platform/win32/compat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fake_ui.h"
#include "inspect/drive_listing.h"
#include "inspect/mod_general.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/text.h"
#include "win32_test_util.h"

namespace ost::win {
namespace {

std::string Fixed2(double value) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.2f", value);  // no exact halves occur in these figures
    std::string s = text;
    wchar_t separator[8] = {};
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    s.replace(s.find('.'), 1, Narrow(separator));
    return s;
}

TEST(DriveListingWin32Test, LineForDriveCMatchesTheTestsOwnFigures) {
    Win32Locale locale;
    Win32FileSystem fs(locale);
    const std::string listing = ExportDriveListings(fs, locale);

    wchar_t volume[MAX_PATH + 1] = {}, fileSystem[MAX_PATH + 1] = {};
    DWORD serial = 0, component = 0, flags = 0;
    ASSERT_TRUE(
        ::GetVolumeInformationW(L"C:\\", volume, MAX_PATH + 1, &serial, &component, &flags, fileSystem, MAX_PATH + 1));
    ULARGE_INTEGER freeToCaller{}, total{}, totalFree{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"C:\\", &freeToCaller, &total, &totalFree));
    const std::string head = "C - " + Narrow(volume) + " : ";
    const std::string tail = " FREE/" + Fixed2(total.QuadPart / 1048576.0) + " TOTAL MB (" + Narrow(fileSystem) +
                             " Fixed) '" + std::to_string(static_cast<int32_t>(serial)) + "'\r\n";
    const size_t start = listing.find(head);
    ASSERT_NE(start, std::string::npos) << listing;
    const size_t end = listing.find("\r\n", start);
    const std::string line = listing.substr(start, end + 2 - start);
    ASSERT_GE(line.size(), head.size() + tail.size()) << line;
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
    // Free space moves while other programs write: compare it with a margin of 64 MB.
    const double shownFree = std::stod(line.substr(head.size(), line.size() - head.size() - tail.size()));
    EXPECT_NEAR(shownFree, freeToCaller.QuadPart / 1048576.0, 64.0) << line;
    // Every drive has its own line, in the order the system lists them.
    wchar_t roots[512] = {};
    ::GetLogicalDriveStringsW(512, roots);
    std::string letters;
    for (const wchar_t* r = roots; *r; r += wcslen(r) + 1)
        letters += static_cast<char>(*r);
    std::string listed;
    for (size_t at = 0; at < listing.size(); at = listing.find("\r\n", at) + 2)
        listed += listing[at];
    EXPECT_EQ(listed, letters) << listing;
}

// Uninstall entries made with the registry command, removed again when the test ends.
class UninstallEntries {
  public:
    void Add(const std::string& key, const std::wstring& displayName) {
        keys_.push_back(key);
        std::string out;
        test::RunAndCapture(L"reg add \"HKLM\\" + Widen(modGeneral::kUninstallKey) + L"\\" + Widen(key) +
                                L"\" /v DisplayName /d \"" + displayName + L"\" /f",
                            out);
    }
    ~UninstallEntries() {
        for (const std::string& key : keys_) {
            std::string out;
            test::RunAndCapture(
                L"reg delete \"HKLM\\" + Widen(modGeneral::kUninstallKey) + L"\\" + Widen(key) + L"\" /f", out);
        }
    }

  private:
    std::vector<std::string> keys_;
};

// The expected c:\progs.txt, worked out with the wide registry calls and the test's own conversion.
std::string ExpectedPrograms(std::vector<std::string>& names) {
    std::string text;
    HKEY uninstall = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(modGeneral::kUninstallKey).c_str(), 0, KEY_READ, &uninstall) != 0)
        return "<no key>";
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (::RegEnumKeyExW(uninstall, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        wchar_t value[1024] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t), type = 0;
        if (::RegGetValueW(uninstall, name, L"DisplayName", RRF_RT_ANY, &type, value, &size) != ERROR_SUCCESS ||
            type != REG_SZ || value[0] == 0)
            continue;
        const std::string shown = FromAnsi(ToAnsi(Narrow(value)));
        names.push_back(shown);
        text += "\"" + shown + "\"\r\n";
    }
    ::RegCloseKey(uninstall);
    return text;
}

TEST(ProgramListWin32Test, UninstallEntriesReachTheFileAndTheListBox) {
    UninstallEntries entries;
    entries.Add("OstTest-Acme", L"Acme Editor");
    entries.Add("OstTest-Unicode", L"Caf\u00e9 \u65e5\u672c");  // outside the code page: "?"s
    entries.Add("OstTest-Twin", L"Acme Editor");

    Win32Locale locale;
    Win32FileSystem fs(locale);
    Win32Registry registry;
    test::FakeListBox list;
    test::FakeUi ui;
    modGeneral::ExportProgramList(list, fs, registry, locale, ui);

    std::vector<std::string> names;
    const std::string expected = ExpectedPrograms(names);
    std::string written;
    {
        auto reader = fs.OpenTextFile("c:\\progs.txt", IoMode::ForReading, false, 0);
        written = reader->ReadAll();
    }
    EXPECT_EQ(written, expected);
    EXPECT_NE(written.find("\"Caf\xC3\xA9 ??\"\r\n"), std::string::npos) << written;
    EXPECT_EQ(std::count(names.begin(), names.end(), "Acme Editor"), 2);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(list.items, std::vector<std::string>{names.back()});
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace ost::win
