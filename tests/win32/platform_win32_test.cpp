// What Wine runs unchanged but Windows as users have it does not: the tool's manifest, the
// registry editor started when CreateProcess answers that it needs elevation, and text in code
// pages that Wine cannot be set to (UTF-8 as the ANSI code page, Japanese).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "platform/win32/process_win32.h"
#include "platform/win32/text.h"
#include "raised_by.h"
#include "win32_test_util.h"

namespace ost::test {
namespace {

using win::FromCodePage;
using win::ToCodePage;

TEST(Win32TextTest, EveryKindOfCodePageConvertsAndNeverGivesAnEmptyText) {
    const std::string text = "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xC4\x81";  // "Café 日本 ā"
    struct Row {
        uint32_t codePage;
        std::string bytes;  // `text` in that code page
    };
    const Row rows[] = {
        {65001, text},                     // UTF-8 holds everything
        {932, "Caf? \x93\xFA\x96\x7B ?"},  // Shift-JIS: no é, no ā
        {1252, "Caf\xE9 ?? ?"},            // Western: ā is '?', never a look-alike 'a'
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.codePage);
        EXPECT_EQ(ToCodePage(row.codePage, text), row.bytes);
        EXPECT_EQ(ToCodePage(row.codePage, ""), "");
    }
    EXPECT_EQ(FromCodePage(932, "\x93\xFA\x96\x7B"), "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(FromCodePage(65001, text), text);
    EXPECT_EQ(FromCodePage(1252, "Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(win::ToAnsi(text), ToCodePage(::GetACP(), text));
    // A code page the system does not know is an error, not an empty line in the report.
    EXPECT_NE(RaisedBy([&] { ToCodePage(12345, text); }).Number(), 0);
    EXPECT_NE(RaisedBy([&] { FromCodePage(12345, "abc"); }).Number(), 0);
}

// Windows' answer when a program that is not elevated starts one whose manifest asks for more.
BOOL NeedsElevation(wchar_t*, const STARTUPINFOW&, PROCESS_INFORMATION&) {
    ::SetLastError(ERROR_ELEVATION_REQUIRED);
    return FALSE;
}

TEST(Win32ProcessTest, TheRegistryEditorNeedingElevationIsStartedThroughTheShellAndWaitedFor) {
    wchar_t windows[MAX_PATH];
    ASSERT_NE(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    const std::string regedit = win::Narrow(windows) + "\\regedit.exe";
    const std::wstring exported = L"C:\\ost elevated export.reg";
    ::DeleteFileW(exported.c_str());

    win::Win32ProcessLauncher launcher(&NeedsElevation);
    auto child =
        launcher.Start("\"" + regedit + "\" /e \"" + win::Narrow(exported) + "\" HKEY_CURRENT_USER\\Software\\Wine", 2);
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->WaitForExit(60000, {}));
    const std::string bytes = ReadBytes(exported);
    EXPECT_NE(bytes.find(std::string("W\0i\0n\0e", 7)), std::string::npos) << "the export holds the key";
    ::DeleteFileW(exported.c_str());

    // Any other failure is the error it is: nothing is started another way.
    win::Win32ProcessLauncher missing([](wchar_t*, const STARTUPINFOW&, PROCESS_INFORMATION&) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    });
    EXPECT_EQ(RaisedBy([&] { missing.Start(regedit + " /e \"" + win::Narrow(exported) + "\"", 2); }).Number(),
              err::kFileNotFound);
    EXPECT_EQ(ReadBytes(exported), "<unreadable>");

    const std::pair<std::string, std::string> split[] = {
        win::SplitCommandLine("C:\\Windows\\Regedit.exe /e c:\\regbackup.reg"),
        win::SplitCommandLine("\"C:\\Program Files\\x.exe\"  a \"b c\""),
        win::SplitCommandLine("x.exe"),
    };
    EXPECT_EQ(split[0], std::make_pair(std::string("C:\\Windows\\Regedit.exe"), std::string("/e c:\\regbackup.reg")));
    EXPECT_EQ(split[1], std::make_pair(std::string("C:\\Program Files\\x.exe"), std::string("a \"b c\"")));
    EXPECT_EQ(split[2], std::make_pair(std::string("x.exe"), std::string()));
}

TEST(Win32ManifestTest, TheToolAsksForAdministratorRightsNamesEveryWindowsAndKeepsTheCodePage) {
    std::wstring exe = L"Z:" + win::Widen(OST_TOOL_EXE);
    for (wchar_t& c : exe)
        if (c == L'/')
            c = L'\\';
    HMODULE image = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr) << OST_TOOL_EXE;
    HRSRC found = ::FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr) << "no RT_MANIFEST resource 1";
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(image, found)));
    const std::string manifest(data, ::SizeofResource(image, found));
    ::FreeLibrary(image);

    for (const char* wanted : {"level=\"requireAdministrator\"", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                               "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                               "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                               "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""})
        EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
    for (const char* unwanted : {"<dpiAware", "<dpiAwareness", "<activeCodePage"})
        EXPECT_EQ(manifest.find(unwanted), std::string::npos) << unwanted;
}

}  // namespace
}  // namespace ost::test
