// The support-file run driven end to end by the robot: the real tool, the real registry editor,
// the real zip32.dll, the prefix's drive C, and the archive checked by the host's own zip readers.
#include <windows.h>

#include <objbase.h>

#include <gtest/gtest.h>

#include <memory>

#include "platform/win32/text.h"
#include "robot.h"
#include "win32_test_util.h"

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
    void PressAndSave(const std::string& target, const std::wstring& exe = WindowsPath(OST_TOOL_EXE)) {
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
    const std::string report = RunHost("unzip -p '" + archive + "' ovsupport.txt");
    for (const char* section :
         {"Orlavent Software Support Tool System Report\r\n\r\n", "\r\nSystem Information\r\n",
          "\r\nWindows Version : ", "\r\nScreen Resolution: ", "\r\nDrive Listings\r\n",
          "\r\nAdd/Remove Programs List\r\n", "\"Acme E2E Editor\"\r\n", "\r\nWindows Dir Listing (C:\\windows)\r\n",
          "\r\nWindows System Dir Listing (C:\\windows\\system32)\r\n", "\r\nPebblework Dir Listing (c:\\pwwin32)\r\n",
          "\r\npebble.exe (Created : "})
        EXPECT_NE(report.find(section), std::string::npos) << section;
    // The registry export is whole: a registry file from its header to its last key, with the entry
    // the test added.
    const std::string check = RunHost("unzip -p '" + archive +
                                      "' regbackup.reg | python3 -c \""
                                      "import sys; t = sys.stdin.buffer.read().decode('utf-16')\n"
                                      "lines = t.split('\\r\\n'); keys = [l for l in lines if l.startswith('[')]\n"
                                      "assert lines[0] == 'Windows Registry Editor Version 5.00', lines[0]\n"
                                      "assert t.endswith('\\r\\n') and all(k.endswith(']') for k in keys)\n"
                                      "assert any('OstE2e-Acme' in k for k in keys)\n"
                                      "assert '\\\"DisplayName\\\"=\\\"Acme E2E Editor\\\"' in t\"");
    EXPECT_NE(check.find("exit=0"), std::string::npos) << check;
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

// The tool alone in a folder of its own, without zip32.dll beside it; then, with no uninstall key
// in the registry, the next run ends the program.
TEST_F(WorkflowE2eTest, WithoutTheZipLibraryRecoverableErrorsAndWithoutTheUninstallKeyTheEnd) {
    ::CreateDirectoryW(L"C:\\ost-e2e\\nozip", nullptr);
    const std::wstring exe = L"C:\\ost-e2e\\nozip\\OrlaventSupportTool.exe";
    ASSERT_TRUE(::CopyFileW(WindowsPath(OST_TOOL_EXE).c_str(), exe.c_str(), FALSE));
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
