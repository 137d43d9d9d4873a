// The support-file run driven end to end by the robot: the real tool, the real registry editor,
// the real zip32.dll, the prefix's drive C, and the archive checked by the host's own zip readers.
#include <windows.h>

#include <objbase.h>

#include <gtest/gtest.h>

#include <list>
#include <memory>

#include "desk/commands.h"
#include "desk/support_file.h"
#include "platform/win32/text.h"
#include "robot.h"
#include "win32_test_util.h"
#include "ziplib/win32/file_system_win32.h"

namespace ost::robot {
namespace {

const std::string kStart =
    "The Support will now collect relevant System Information\r\n\r\nPlease be Patient as this may take Several "
    "Minurtes";
const std::string kFinal =
    "Support File Created Sucessfully.\r\n\r\nPlease email this file to support@orlavent.example with an accurate "
    "description of your problem.";
const std::string kOverwrite = "Do you want to overwrite the existing file ?";
const std::vector<std::string> kTemporaries = {"c:\\progs.txt", "c:\\ovsupport.txt", "c:\\regbackup.reg"};
const std::wstring kUninstall = L"\"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string Read(const std::string& path) {
    return test::ReadBytes(win::Widen(path));
}
void ExpectGone(const std::vector<std::string>& paths) {
    for (const std::string& path : paths)
        EXPECT_EQ(::GetFileAttributesW(win::Widen(path).c_str()), INVALID_FILE_ATTRIBUTES)
            << path << " was left behind";
}

// ovdesk over the support files a run made, as the desk runs it; the output and the exit code.
std::pair<std::string, int> Desk(const std::vector<std::string>& args) {
    zip::Win32FileSystem files;
    std::string out;
    desk::DeskIo io;
    io.files = &files;
    io.out = io.err = [&](std::string_view text) { out += text; };
    const int code = desk::RunDesk(args, io);
    return {out, code};
}

class WorkflowE2eTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void SetUp() override {
        ::CreateDirectoryW(L"C:\\ost-e2e", nullptr);
        for (const std::string& path : kTemporaries)
            ::DeleteFileW(win::Widen(path).c_str());
    }
    // Starts the tool from `exe` unless it runs already, presses Create and saves to `target`
    // (the save dialog cancelled for an empty one).
    void PressAndSave(const std::string& target, const std::wstring& exe = WindowsPath(test::ToolUnderTest(OST_TOOL_EXE))) {
        if (!tool_)
            tool_ = std::make_unique<ToolProcess>(exe);
        ASSERT_NE(tool_->Main(), nullptr) << "the tool's window did not appear";
        Click(::GetDlgItem(tool_->Main(), 102));
        const Dialog save = WaitForDialog(tool_->Pid());
        ASSERT_TRUE(save) << "no save dialog";
        ASSERT_TRUE(target.empty() ? Press(save, IDCANCEL) : SaveAs(save, win::Widen(target)));
    }
    // Expects boxes of the tool with exactly these texts and the application's title, in this order,
    // and presses the given button in each; then waits until the window handles messages again.
    void Expect(const std::vector<std::pair<std::string, int>>& boxes) {
        for (const auto& [text, id] : boxes) {
            const Dialog box = WaitForDialog(tool_->Pid(), 300000);
            ASSERT_TRUE(box) << "no message box appeared; expected: " << text;
            EXPECT_EQ(box.title + ": " + box.text, "OrlaventSupportTool: " + text);
            ASSERT_TRUE(Press(box, id));
        }
        WaitIdle(tool_->Main());
        EXPECT_FALSE(WaitForDialog(tool_->Pid(), 300)) << "no further message";
    }
    std::unique_ptr<ToolProcess> tool_;
};

// The earlier report and export, set aside during the run, are back at its end.
TEST_F(WorkflowE2eTest, HappyPathMakesACompleteSupportFileAndRestoresTheEarlierFiles) {
    RunProgram(L"reg add " + kUninstall + L"\\OstE2e-Acme\" /v DisplayName /d \"Acme E2E Editor\" /f");
    RunProgram(L"reg add HKLM\\Software\\OstE2e /v Setting /d one /f");
    // One value set in each registry view (one view on 32-bit Windows, which holds both).
    RunProgram(L"reg add HKLM\\Software\\OstE2eView /v View64 /d \"set in the 64-bit view\" /f /reg:64");
    RunProgram(L"reg add HKLM\\Software\\OstE2eView /v View32 /d \"set in the 32-bit view\" /f /reg:32");
    ::CreateDirectoryW(L"C:\\pwwin32", nullptr);
    test::WriteBytes(L"C:\\pwwin32\\pebble.exe", std::string(3000, 'p'));
    test::WriteBytes(L"c:\\regbackup1.reg", "saved export");
    test::WriteBytes(L"c:\\ovsupport1.txt", "saved report");
    ::DeleteFileW(L"C:\\ost-e2e\\happy.OVSupport");
    PressAndSave("C:\\ost-e2e\\happy");
    Expect({{kStart, IDOK}, {kFinal, IDOK}});
    EXPECT_EQ(Read("c:\\regbackup.reg") + "|" + Read("c:\\ovsupport.txt"), "saved export|saved report");
    ExpectGone({"c:\\progs.txt", "c:\\regbackup1.reg", "c:\\ovsupport1.txt"});
    const std::string archive = HostPath(L"C:\\ost-e2e\\happy.OVSupport");
    ASSERT_FALSE(archive.empty());
    EXPECT_NE(RunHost("unzip -t '" + archive + "'").find("No errors detected"), std::string::npos);
    EXPECT_NE(RunHost("python3 -m zipfile -t '" + archive + "'").find("exit=0"), std::string::npos);
    EXPECT_EQ(RunHost("unzip -Z1 '" + archive + "'"), "ovsupport.txt\nregbackup.reg\nexit=0\n");
    // ovdesk reads back the report and the export of a real run, field by field.
    const std::string happy = "C:\\ost-e2e\\happy.OVSupport";
    const std::string data = Read(happy);
    zip::MemorySource source(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    const desk::SupportFile file = desk::ReadSupportFile(source, happy, {});
    const desk::Report& report = *file.report;
    EXPECT_TRUE(report.complete && report.problems.empty()) << (report.problems.empty() ? "" : report.problems[0]);
    EXPECT_TRUE(report.winName.value_or("").starts_with("Windows ")) << report.winName.value_or("-");
    EXPECT_NE(std::find(report.programs.begin(), report.programs.end(), "Acme E2E Editor"), report.programs.end());
    EXPECT_EQ(report.windows.path + "|" + report.system.path + "|" + report.pebblework.path,
              "C:\\windows|C:\\windows\\system32|c:\\pwwin32");
    ASSERT_EQ(report.pebblework.fileEntries.size(), 0u) << "kept only when asked for";
    EXPECT_EQ(report.pebblework.files, 1u);
    EXPECT_EQ(report.pebblework.fileBytes, 2.93 * 1024);
    ASSERT_TRUE(file.registry);
    EXPECT_EQ(file.registry->form, desk::ExportFacts::Form::kUnicode) << file.registry->problem;
    EXPECT_TRUE(file.registry->wholeLines && file.registry->keys > 1000) << file.registry->keys;
    EXPECT_EQ(file.registry->ansiCodePage.value_or(0), ::GetACP());
    const auto [acme, found] =
        Desk({"reg", happy, "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\ostE2E-acme"});
    EXPECT_EQ(found, desk::kClean) << acme;
    EXPECT_NE(acme.find("\n    DisplayName    REG_SZ    Acme E2E Editor\n"), std::string::npos) << acme;
    // The export holds both views of 64-bit Windows whatever the tool's own size: the 64-bit
    // registry editor made it, with the 32-bit view under Wow6432Node.
    BOOL wow64 = FALSE;
    const bool windows64 = sizeof(void*) == 8 || (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64);
    const std::string in64 = Desk({"reg", happy, "HKLM\\Software\\OstE2eView"}).first;
    const std::string in32 = Desk({"reg", happy, "HKLM\\Software\\Wow6432Node\\OstE2eView"}).first;
    const std::string value64 = "    View64    REG_SZ    set in the 64-bit view\n",
                      value32 = "    View32    REG_SZ    set in the 32-bit view\n";
    EXPECT_NE(in64.find(value64), std::string::npos) << in64;
    EXPECT_NE((windows64 ? in32 : in64).find(value32), std::string::npos) << in64 << in32;
    EXPECT_EQ(in64.find(value32) == std::string::npos, windows64) << in64;

    // A second run after a program was added, a file changed and a registry value set.
    RunProgram(L"reg add " + kUninstall + L"\\OstE2e-Zeta\" /v DisplayName /d \"Zeta E2E Tools\" /f");
    test::WriteBytes(L"C:\\pwwin32\\pebble.exe", std::string(4000, 'p'));
    RunProgram(L"reg add HKLM\\Software\\OstE2e /v Setting /d two /f");
    ::DeleteFileW(L"C:\\ost-e2e\\happy2.OVSupport");
    PressAndSave("C:\\ost-e2e\\happy2");
    Expect({{kStart, IDOK}, {kFinal, IDOK}});
    const auto [changes, differ] =
        Desk({"diff", happy, "C:\\ost-e2e\\happy2.OVSupport", "--reg", "HKLM\\Software\\OstE2e"});
    EXPECT_EQ(differ, desk::kFindings) << changes;
    for (const char* change :
         {"\nprogram: added: Zeta E2E Tools\n", "\nc:\\pwwin32: changed: pebble.exe: 2.93kb, created ",
          " -> 3.91kb, created ", "\\OstE2e] \"Setting\": REG_SZ one -> REG_SZ two\n"})
        EXPECT_NE(changes.find(change), std::string::npos) << change << "\n" << changes;
    RunProgram(L"reg delete " + kUninstall + L"\\OstE2e-Zeta\" /f");
    RunProgram(L"reg delete HKLM\\Software\\OstE2e /f");
    RunProgram(L"reg delete HKLM\\Software\\OstE2eView /f /reg:64");
    RunProgram(L"reg delete HKLM\\Software\\OstE2eView /f /reg:32");
    RunProgram(L"reg delete " + kUninstall + L"\\OstE2e-Acme\" /f");
    for (const wchar_t* path : {L"c:\\regbackup.reg", L"c:\\ovsupport.txt", L"C:\\pwwin32\\pebble.exe"})
        ::DeleteFileW(path);
    ::RemoveDirectoryW(L"C:\\pwwin32");
}

// One window, pressed five times: the save dialog cancelled, the overwrite declined, then accepted,
// then accepted for a read-only file, which the tool cannot delete and keeps.
TEST_F(WorkflowE2eTest, CancelOverwriteNoAndYesAndAReadOnlyTargetThatIsKept) {
    const std::string target = "C:\\ost-e2e\\over.OVSupport";
    ::SetFileAttributesW(win::Widen(target).c_str(), FILE_ATTRIBUTE_NORMAL);  // as an earlier run may have left it
    ASSERT_TRUE(test::WriteBytes(win::Widen(target), "an earlier file"));
    PressAndSave("");
    Expect({});
    EXPECT_NE(::GetFileAttributesW(L"c:\\progs.txt"), INVALID_FILE_ATTRIBUTES) << "the list is made";
    ExpectGone({kTemporaries[1], kTemporaries[2]});
    PressAndSave(target);
    Expect({{kOverwrite, IDNO}});
    EXPECT_EQ(Read(target), "an earlier file");
    ExpectGone({kTemporaries[1]});
    PressAndSave(target);
    Expect({{kOverwrite, IDYES}, {kStart, IDOK}, {kFinal, IDOK}});
    const std::string made = Read(target);
    EXPECT_EQ(made.substr(0, 2), "PK") << "the new support file replaced the old one";
    ExpectGone(kTemporaries);
    ::SetFileAttributesW(win::Widen(target).c_str(), FILE_ATTRIBUTE_READONLY);
    PressAndSave(target);
    Expect({{kOverwrite, IDYES},
            {"Error Creating Support File at Stage 1(Create Program List) : 70 - Permission denied\r\n\r\n"
             "Do you wish to continue?",
             IDNO}});
    EXPECT_EQ(Read(target), made);
    ::SetFileAttributesW(win::Widen(target).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A folder standing where the export goes: the registry editor cannot write it. The run says so at
// stage 8 and packs the report alone; stage 9 finds no export to delete, as every run without one.
TEST_F(WorkflowE2eTest, AnExportTheEditorCouldNotWriteIsReportedAndNotPacked) {
    ASSERT_TRUE(::CreateDirectoryW(L"c:\\regbackup.reg", nullptr));
    ::DeleteFileW(L"C:\\ost-e2e\\noexport.OVSupport");
    PressAndSave("C:\\ost-e2e\\noexport");
    Expect({{kStart, IDOK},
            {"Error Creating Support File at Stage 8(Create Zip File) : 53 - The registry editor left no export at "
             "c:\\regbackup.reg\r\n\r\nDo you wish to continue?",
             IDYES},
            {"Error Creating Support File at Stage 9(Closedown) : 53 - File not found\r\n\r\nDo you wish to continue?",
             IDYES},
            {kFinal, IDOK}});
    ::RemoveDirectoryW(L"c:\\regbackup.reg");
    const std::string archive = HostPath(L"C:\\ost-e2e\\noexport.OVSupport");
    ASSERT_FALSE(archive.empty());
    EXPECT_EQ(RunHost("unzip -Z1 '" + archive + "'"), "ovsupport.txt\nexit=0\n");
    ExpectGone(kTemporaries);
}

// The tool alone in a folder of its own, without zip32.dll beside it; then, with no uninstall key
// in the registry, the next run ends the program.
TEST_F(WorkflowE2eTest, WithoutTheZipLibraryRecoverableErrorsAndWithoutTheUninstallKeyTheEnd) {
    ::CreateDirectoryW(L"C:\\ost-e2e\\nozip", nullptr);
    const std::wstring exe = L"C:\\ost-e2e\\nozip\\OrlaventSupportTool.exe";
    ASSERT_TRUE(::CopyFileW(WindowsPath(test::ToolUnderTest(OST_TOOL_EXE)).c_str(), exe.c_str(), FALSE));
    PressAndSave("C:\\ost-e2e\\nozip-support", exe);
    const std::pair<std::string, int> recoverable{"Recoverable Error.\r\n\r\n53File not found", IDOK};
    Expect({{kStart, IDOK}, recoverable, recoverable, recoverable, {kFinal, IDOK}});
    ExpectGone({"C:\\ost-e2e\\nozip-support.OVSupport", kTemporaries[0], kTemporaries[1], kTemporaries[2]});
    RunProgram(L"reg export " + kUninstall + L"\" C:\\ost-e2e\\uninstall.reg /y");
    RunProgram(L"reg delete " + kUninstall + L"\" /f");
    PressAndSave("C:\\ost-e2e\\aborted");
    const std::string aborting = "Registry key could Not be opened -- aborting.";
    Expect({{aborting, IDOK}});
    EXPECT_EQ(::WaitForSingleObject(tool_->Process(), 20000), static_cast<DWORD>(WAIT_OBJECT_0)) << "the program ends";
    DWORD exitCode = 1;
    EXPECT_TRUE(::GetExitCodeProcess(tool_->Process(), &exitCode) && exitCode == 0) << exitCode;
    EXPECT_EQ(Read("c:\\progs.txt"), "\"" + aborting + "\"\r\n");
    RunProgram(L"reg add " + kUninstall + L"\" /f");
    RunProgram(L"reg import C:\\ost-e2e\\uninstall.reg");
    ::DeleteFileW(L"c:\\progs.txt");
}

}  // namespace
}  // namespace ost::robot
