// What the program inspects, against the real platform under Wine: the installed-programs list from
// the real registry, the system information queries and the user's locale, each compared with the
// test's own calls.
#include "platform/win32/compat.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_ui.h"
#include "inspect/mod_general.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/system_info_win32.h"
#include "platform/win32/text.h"
#include "robot.h"

namespace ost::win {
namespace {

TEST(ProgramListWin32Test, UninstallEntriesReachTheFileAndTheListBox) {
    const std::wstring key = L"\"HKLM\\" + Widen(modGeneral::kUninstallKey) + L"\\OstTest-";
    // Made with the registry command; the last one outside the code page gives "?"s.
    const std::pair<std::wstring, std::wstring> entries[] = {
        {L"Acme", L"Acme Editor"}, {L"Twin", L"Acme Editor"}, {L"Unicode", L"Caf\u00e9 \u65e5\u672c"}};
    for (const auto& [name, shown] : entries)
        robot::RunProgram(L"reg add " + key + name + L"\" /v DisplayName /d \"" + shown + L"\" /f");
    Win32Locale locale;
    Win32FileSystem fs(locale);
    Win32Registry registry;
    test::FakeUi ui;  // the list box too
    modGeneral::ExportProgramList(ui, fs, registry, locale, ui);
    const std::string written = fs.OpenTextFile("c:\\progs.txt", IoMode::ForReading, false, 0)->ReadAll();
    for (const auto& [name, shown] : entries)
        robot::RunProgram(L"reg delete " + key + name + L"\" /f");
    // The three entries in the order of their keys, among the prefix's own programs; the list box
    // holds the last program of the walk.
    EXPECT_NE(written.find("\"Acme Editor\"\r\n\"Acme Editor\"\r\n\"Caf\xC3\xA9 ??\"\r\n"), std::string::npos)
        << written;
    const size_t last = written.rfind("\r\n\"", written.size() - 3);
    EXPECT_EQ(ui.items, std::vector<std::string>{written.substr(last + 3, written.size() - last - 6)});
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(SystemInfoWin32Test, EachQueryGivesWhatTheSystemsOwnCallGives) {
    Win32SystemInfoSource source;
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(::GetVersionExA(&version));
#pragma GCC diagnostic pop
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    MEMORYSTATUS own{};
    ::GlobalMemoryStatus(&own);
    const OsVersionRecord v = source.QueryVersion();
    const MemoryRecord m = source.QueryMemory();
    EXPECT_EQ(
        (std::vector<uint64_t>{v.major, v.minor, v.build, source.QueryProcessorType(), m.totalPhys, m.totalVirtual}),
        (std::vector<uint64_t>{version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber,
                               system.dwProcessorType, own.dwTotalPhys, own.dwTotalVirtual}));
    // Free counts move between the two calls: 5 % of the total either way.
    EXPECT_NEAR(static_cast<double>(m.availPhys), static_cast<double>(own.dwAvailPhys), own.dwTotalPhys / 20.0);
    EXPECT_NEAR(static_cast<double>(m.availVirtual), static_cast<double>(own.dwAvailVirtual),
                own.dwTotalVirtual / 20.0);
    DLLVERSIONINFO shell{};
    shell.cbSize = sizeof(shell);
    const auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryW(L"shlwapi.dll"), "DllGetVersion")));
    ASSERT_TRUE(getVersion && getVersion(&shell) == S_OK && shell.dwMajorVersion > 0);
    for (int call = 0; call < 2; ++call) {  // bound on the first call, kept for the next
        const DllVersionRecord s = source.QueryShellVersion();
        EXPECT_EQ((std::vector<uint32_t>{s.major, s.minor, s.build}),
                  (std::vector<uint32_t>{shell.dwMajorVersion, shell.dwMinorVersion, shell.dwBuildNumber}));
    }
}

TEST(LocaleWin32Test, SeparatorDatesAndUpperCaseAreTheSystemsOwn) {
    Win32Locale locale;
    wchar_t separator[8] = {};
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    EXPECT_EQ(locale.DecimalSeparator(), Narrow(separator));
    // The date alone at midnight exactly; the date and the time otherwise, even with zeros in it.
    const std::pair<SYSTEMTIME, bool> rows[] = {{{2003, 7, 0, 14, 0, 0, 0, 0}, false},
                                                {{2003, 7, 0, 14, 9, 30, 0, 0}, true},
                                                {{1999, 12, 0, 31, 0, 0, 1, 0}, true}};
    for (const auto& [st, withTime] : rows) {
        wchar_t date[128] = {}, time[128] = {};
        ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128);
        ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 128);
        EXPECT_EQ(locale.GeneralDate({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond}),
                  Narrow(date) + (withTime ? " " + Narrow(time) : ""))
            << st.wHour;
    }
    EXPECT_THROW(locale.GeneralDate({2003, 13, 40, 0, 0, 0}), AppError);
    // "c:\pwwin32\été жук" goes up; "ß" has no one-letter capital and stays.
    EXPECT_EQ(locale.UpperCase("c:\\pwwin32\\\xC3\xA9t\xC3\xA9 \xD0\xB6\xD1\x83\xD0\xBA \xC3\x9F"),
              "C:\\PWWIN32\\\xC3\x89T\xC3\x89 \xD0\x96\xD0\xA3\xD0\x9A \xC3\x9F");
    EXPECT_EQ(locale.UpperCase(""), "");
    EXPECT_EQ(locale.ToAnsi("Caf\xC3\xA9") + locale.FromAnsi("Caf\xE9"), ToAnsi("Caf\xC3\xA9") + FromAnsi("Caf\xE9"));
}

}  // namespace
}  // namespace ost::win
