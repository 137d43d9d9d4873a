// The platform's smallest services, the zip libraries found by name, and what Wine runs unchanged
// but Windows as users have it does not: text in code pages that Wine cannot be set to (UTF-8 as
// the ANSI code page, Japanese), the registry editor started when CreateProcess answers that it
// needs elevation, and the manifest.
#include "platform/win32/compat.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/xw_un_zip_module.h"
#include "archive/xw_unzip_files.h"
#include "archive/xw_zip_files.h"
#include "fake_ui.h"
#include "platform/error.h"
#include "platform/win32/library_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/process_win32.h"
#include "platform/win32/text.h"
#include "platform/win32/win_error.h"
#include "raised_by.h"
#include "robot.h"
#include "win32_test_util.h"

namespace ost::win {
namespace {

using test::RaisedBy;

TEST(Win32TextTest, EveryKindOfCodePageConvertsAndNeverGivesAnEmptyText) {
    const std::string text = "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xC4\x81";  // "Café 日本 ā"
    // Each code page, `text` in it, and those bytes as UTF-8 again.
    const std::tuple<uint32_t, std::string, std::string> rows[] = {
        {65001, text, text},                                                  // UTF-8 holds everything
        {932, "Caf? \x93\xFA\x96\x7B ?", "Caf? \xE6\x97\xA5\xE6\x9C\xAC ?"},  // Shift-JIS: no é, no ā
        {1252, "Caf\xE9 ?? ?", "Caf\xC3\xA9 ?? ?"},  // Western: ā is '?', never a look-alike 'a'
        {65000, "Caf+AOk- +ZeVnLA- +AQE-", text},    // UTF-7 takes neither flags nor a default character
    };
    for (const auto& [codePage, bytes, back] : rows) {
        EXPECT_EQ(ToCodePage(codePage, text), bytes) << codePage;
        EXPECT_EQ(FromCodePage(codePage, bytes), back) << codePage;
        EXPECT_EQ(ToCodePage(codePage, "") + FromCodePage(codePage, ""), "") << codePage;
    }
    EXPECT_EQ(ToAnsi(text), ToCodePage(::GetACP(), text));
    EXPECT_EQ(FromAnsi("Caf\xE9"), FromCodePage(::GetACP(), "Caf\xE9"));
    EXPECT_EQ(Widen("a\xFF"), L"a\uFFFD");
    EXPECT_EQ(Narrow(std::wstring{L'a', static_cast<wchar_t>(0xD800)}), "a\xEF\xBF\xBD");
    // A code page the system does not know is an error, not an empty line in the report.
    EXPECT_NE(RaisedBy([&] { ToCodePage(12345, text); }).Number(), 0);
    EXPECT_NE(RaisedBy([&] { FromCodePage(12345, "abc"); }).Number(), 0);
}

TEST(Win32ErrorTest, AFailureNamesTheCallTheObjectTheCodeAndTheSystemsOwnWords) {
    wchar_t own[512] = {};
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0, own,
                     512, nullptr);
    std::string words = Narrow(own);
    words.erase(words.find_last_not_of("\r\n ") + 1);
    const AppError denied = Win32Error(ERROR_ACCESS_DENIED, "DeleteFileW", "c:\\x.txt");
    EXPECT_EQ(std::to_string(denied.Number()) + " " + denied.Description(), "70 Permission denied");
    EXPECT_EQ(denied.Context(), "DeleteFileW 'c:\\x.txt': error 5: " + words);
    const AppError wordless = Win32ErrorAs(err::kFileNotFound, 0xFFFF, "LoadLibraryW");
    EXPECT_EQ(wordless.Number(), err::kFileNotFound);
    EXPECT_EQ(wordless.Context(), "LoadLibraryW: error 65535");
}

TEST(Win32LibraryLoaderTest, FindsLibrariesByBareNameAndNamesWhatIsMissing) {
    Win32LibraryLoader loader;
    const auto tickCount = EntryAs<DWORD(WINAPI*)()>(loader, "kernel32.dll", "GetTickCount");
    ASSERT_NE(tickCount, nullptr);
    EXPECT_GT(tickCount(), 0u);
    const AppError noEntry = RaisedBy([&] { loader.Entry("kernel32.dll", "NoSuchEntry"); });
    EXPECT_EQ(noEntry.Number(), err::kEntryPointMissing);
    EXPECT_NE(noEntry.Context().find("kernel32.dll!NoSuchEntry"), std::string::npos) << noEntry.Context();
    ::SetThreadErrorMode(0, nullptr);
    for (int attempt = 0; attempt < 2; ++attempt) {  // a failed load is tried again, and fails again
        const AppError noLibrary = RaisedBy([&] { loader.Entry("ost_no_such_library.dll", "Anything"); });
        EXPECT_EQ(noLibrary.Number(), err::kFileNotFound);
        EXPECT_NE(noLibrary.Context().find("ost_no_such_library.dll"), std::string::npos) << noLibrary.Context();
    }
    EXPECT_EQ(::GetThreadErrorMode(), 0u) << "the thread's error mode is restored";
}

// The bridge with the real loader and locale, and the real zip32.dll and unzip32.dll found by name:
// the workflow's two files packed and extracted again. The bridge's own rules are the unit tests';
// here the records, the callbacks and the 8-bit texts cross real DLLs.
TEST(ZipBridgeWin32Test, TheRealLibrariesFoundByNamePackAndExtractTheWorkflowsFiles) {
    test::FakeUi ui;
    Win32Locale locale;
    Win32LibraryLoader libraries;
    XW_UN_ZIP_Module module{ui, locale, libraries};
    // The folder of the two libraries joins the system's search for libraries.
    ASSERT_TRUE(::SetDllDirectoryW(robot::WindowsPath(OST_ZIP_LIBRARIES_DIR).c_str()));
    test::ScratchFolder scratch("bridge");
    const std::string report = "Caf\xC3\xA9 report\r\n" + std::string(5000, '=');  // "Café": 8-bit in the code page
    const std::string registry = std::string("\xFF\xFE", 2) + std::string(60000, '\x01');
    const std::string cafe = "caf\xC3\xA9.txt";
    ASSERT_TRUE(test::WriteBytes(LongPath(scratch.At(cafe)), report));
    ASSERT_TRUE(test::WriteBytes(LongPath(scratch.At("regbackup.reg")), registry));
    XWZipFiles zip;
    zip.ZipFileName(scratch.At("case.OVSupport"));
    zip.RootDirectory(scratch.At());
    zip.AddFile(scratch.At(cafe));
    zip.AddFile(scratch.At("regbackup.reg"));
    EXPECT_EQ(zip.MakeZipFile(), 0);
    EXPECT_NE(zip.GetLastMessage().find("  adding: " + cafe + " (deflated "), std::string::npos)
        << zip.GetLastMessage();
    XWUnzipFiles unzip;
    EXPECT_EQ(unzip.Unzip(scratch.At("case.OVSupport"), scratch.At("out")), 0);
    ::SetDllDirectoryW(nullptr);
    EXPECT_EQ(test::ReadBytes(LongPath(scratch.At("out\\" + cafe))), report);
    EXPECT_EQ(test::ReadBytes(LongPath(scratch.At("out\\regbackup.reg"))), registry);
    EXPECT_TRUE(ui.boxes.empty());
}

// What the launcher did with the file system redirection, in order, around what it started.
struct RedirectionLog {
    bool applies = true;
    std::vector<std::string> events;
    Wow64Redirection Fake() {
        return {[this] { return applies; },
                [this](void** previous) {
                    *previous = this;
                    events.push_back("off");
                    return true;
                },
                [this](void* previous) { events.push_back(previous == this ? "on" : "on, wrongly"); }};
    }
};

TEST(Win32ProcessTest, TheRegistryEditorNeedingElevationIsStartedThroughTheShellAndWaitedFor) {
    const std::string regedit = "regedit.exe";  // found in the Windows folder by the system's search
    const std::wstring exported = L"C:\\ost elevated export.reg";
    ::DeleteFileW(exported.c_str());
    // Windows' answer when a program that is not elevated starts one whose manifest asks for more.
    // The first attempt runs with the redirection off; the shell's, after it is on again.
    RedirectionLog redirection;
    Win32ProcessLauncher launcher(
        [&](wchar_t*, const STARTUPINFOW&, PROCESS_INFORMATION&) {
            redirection.events.push_back("CreateProcess");
            ::SetLastError(ERROR_ELEVATION_REQUIRED);
            return FALSE;
        },
        redirection.Fake());
    auto child =
        launcher.Start("\"" + regedit + "\" /e \"" + Narrow(exported) + "\" HKEY_CURRENT_USER\\Software\\Wine", 2);
    ASSERT_TRUE(child);
    EXPECT_EQ(redirection.events, (std::vector<std::string>{"off", "CreateProcess", "on"}));
    // Messages that arrive meanwhile are handed to the pump.
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_USER, 0, 0);
    int pumped = 0;
    ASSERT_TRUE(child->WaitForExit(60000, [&] {
        for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);)
            ++pumped;
    }));
    EXPECT_GT(pumped, 0);
    EXPECT_EQ(child->ExitCode(), 0u);
    EXPECT_NE(test::ReadBytes(exported).find(std::string("W\0i\0n\0e", 7)), std::string::npos)
        << "the export holds the key";
    ::DeleteFileW(exported.c_str());
    // Any other failure is the error it is: nothing is started another way.
    redirection.applies = false;  // as on 32-bit Windows, and for a 64-bit program
    redirection.events.clear();
    Win32ProcessLauncher missing(
        [&](wchar_t*, const STARTUPINFOW&, PROCESS_INFORMATION&) {
            redirection.events.push_back("CreateProcess");
            ::SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        },
        redirection.Fake());
    EXPECT_EQ(RaisedBy([&] { missing.Start(regedit + " /e \"" + Narrow(exported) + "\"", 2); }).Number(),
              err::kFileNotFound);
    EXPECT_EQ(test::ReadBytes(exported), "<unreadable>");
    EXPECT_EQ(redirection.events, std::vector<std::string>{"CreateProcess"});
    // The shell gets the program and its arguments as CreateProcess would read them from the line.
    const std::string rows[][3] = {
        {"C:\\Windows\\Regedit.exe /e c:\\regbackup.reg", "C:\\Windows\\Regedit.exe", "/e c:\\regbackup.reg"},
        {"\"C:\\Program Files\\x.exe\"  a \"b c\"", "C:\\Program Files\\x.exe", "a \"b c\""},
        {"\"C:\\open ended", "C:\\open ended", ""},
        {"x.exe\t ", "x.exe", ""},
    };
    for (const auto& [line, program, rest] : rows)
        EXPECT_EQ(SplitCommandLine(line), std::make_pair(program, rest)) << line;
}

// A child that runs on (ping, for a minute) is ended and waited for. A handle without the right to
// end it, as a tool that is not elevated gets for a child started elevated through the shell, gives
// the system's refusal as the error; a handle without the right to wait, a failed wait.
TEST(Win32ProcessTest, AChildIsEndedUnlessTheSystemRefusesAndAFailedWaitIsAnErrorOfItsOwn) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring line = L"ping.exe -n 60 127.0.0.1";
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                 &startup, &info));
    ::CloseHandle(info.hThread);
    auto withRights = [&](DWORD rights) {
        HANDLE handle = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), info.hProcess, ::GetCurrentProcess(), &handle, rights, FALSE, 0);
        return AdoptChildProcess(handle);
    };
    const std::string denied = "70||" + SystemMessage(ERROR_ACCESS_DENIED);
    const auto waitOnly = withRights(SYNCHRONIZE);
    EXPECT_EQ(test::Described(RaisedBy([&] { waitOnly->Terminate(10000); })), denied);
    EXPECT_FALSE(waitOnly->WaitForExit(0, {})) << "the child runs on, and a bound that has passed ends the wait";
    EXPECT_EQ(test::Described(RaisedBy([&] { withRights(0)->WaitForExit(1000, {}); })), denied);
    EXPECT_EQ(test::Described(RaisedBy([&] { waitOnly->ExitCode(); })), denied);
    const auto child = AdoptChildProcess(info.hProcess);
    child->Terminate(10000);
    EXPECT_TRUE(waitOnly->WaitForExit(0, {})) << "ended once Terminate returns";
    EXPECT_EQ(child->ExitCode(), 1u) << "the code of a child that was ended";
    child->Terminate(10000);  // a child that has ended already is no error
    // A child that the shell started without a handle can be neither followed nor ended.
    const auto unfollowed = AdoptChildProcess(nullptr);
    const std::string none = "75||the system started it without a handle to follow it by";
    EXPECT_EQ(test::Described(RaisedBy([&] { unfollowed->WaitForExit(0, {}); })), none);
    EXPECT_EQ(test::Described(RaisedBy([&] { unfollowed->ExitCode(); })), none);
    EXPECT_EQ(test::Described(RaisedBy([&] { unfollowed->Terminate(0); })), none);
    // A program's own exit code, from a start with the system's redirection, which applies to a
    // 32-bit program on 64-bit Windows alone.
    Win32ProcessLauncher system;
    const auto cmd = system.Start("cmd.exe /c exit 7", 0);
    ASSERT_TRUE(cmd->WaitForExit(30000, {}));
    EXPECT_EQ(cmd->ExitCode(), 7u);
}

// The manifest and the icon, read from the program file as Windows reads them.
TEST(Win32ResourcesTest, TheToolAsksForAdministratorRightsNamesEveryWindowsAndCarriesItsIcon) {
    HMODULE image = ::LoadLibraryExW(robot::WindowsPath(OST_TOOL_EXE).c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr) << OST_TOOL_EXE;
    HRSRC found = ::FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr) << "no RT_MANIFEST resource 1";
    const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(image, found))),
                               ::SizeofResource(image, found));
    for (const char* wanted : {"level=\"requireAdministrator\"", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                               "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                               "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                               "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""})
        EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
    for (const char* unwanted : {"<dpiAware", "<dpiAwareness", "<activeCodePage"})
        EXPECT_EQ(manifest.find(unwanted), std::string::npos) << unwanted;
    // The icon group: 16, 32 and 48 pixels, each of 24 bits per pixel.
    HRSRC group = ::FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
    ASSERT_NE(group, nullptr) << "no RT_GROUP_ICON resource 1";
    const auto* icons = static_cast<const BYTE*>(::LockResource(::LoadResource(image, group)));
    std::vector<int> sizes;
    for (int i = 0; i < (icons[4] | (icons[5] << 8)); ++i)  // GRPICONDIRENTRYs of 14 bytes after 6
        sizes.insert(sizes.end(), {icons[6 + 14 * i], icons[6 + 14 * i + 6] | (icons[6 + 14 * i + 7] << 8)});
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 24, 48, 24}));
    ::FreeLibrary(image);
}

}  // namespace
}  // namespace ost::win
