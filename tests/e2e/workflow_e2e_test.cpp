// The support-file run driven end to end by the robot: the real tool, the real registry editor,
// the real zip32.dll, the prefix's drive C, and the archive checked by the host's own zip readers.
#include <windows.h>

#include <objbase.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "robot.h"

namespace ost::robot {
namespace {

const std::string kStart =
    "The Support will now collect relevant System Information\r\n\r\nPlease be Patient as this may take Several "
    "Minurtes";
const std::string kFinal =
    "Support File Created Sucessfully.\r\n\r\nPlease email this file to support@orlavent.example with an accurate "
    "description of your problem.";
const std::string kOverwrite = "Do you want to overwrite the existing file ?";
const std::wstring kOut = L"C:\\ost-e2e";
const char* const kTemporaries[] = {"c:\\progs.txt", "c:\\ovsupport.txt", "c:\\regbackup.reg"};
const std::wstring kUninstall = L"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}
bool Exists(const std::string& path) {
    return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
void Write(const std::string& path, const std::string& content) {
    std::ofstream(Wide(path).c_str(), std::ios::binary) << content;
}
std::string Read(const std::string& path) {
    std::ifstream in(Wide(path).c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
std::string Out(const std::string& name) {
    return Utf8(kOut) + "\\" + name;
}
int Reg(const std::wstring& arguments) {
    return RunProgram(L"reg " + arguments);
}

class WorkflowE2eTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void SetUp() override {
        ::CreateDirectoryW(kOut.c_str(), nullptr);
        for (const char* path : kTemporaries)
            ::DeleteFileW(Wide(path).c_str());
    }
    void TearDown() override {
        tool_.reset();
        for (const char* path : {"c:\\regbackup1.reg", "c:\\ovsupport1.txt"})
            ::DeleteFileW(Wide(path).c_str());
    }
    // Starts the tool (from `folder`, the build's bin folder by default) and presses Create.
    void StartAndPress(const std::wstring& exe = WindowsPath(OST_TOOL_EXE)) {
        tool_ = std::make_unique<ToolProcess>(exe);
        ASSERT_NE(tool_->Main(), nullptr) << "the tool's window did not appear";
        Click(::GetDlgItem(tool_->Main(), 102));
    }
    Dialog Next(DWORD timeoutMs = 120000) { return WaitForDialog(tool_->Pid(), timeoutMs); }
    // Expects a box of the tool with exactly this text and the application's title, and presses `id`.
    void Expect(const std::string& text, int id) {
        const Dialog box = Next();
        ASSERT_TRUE(box) << "no message box appeared; expected: " << text;
        EXPECT_EQ(box.title, "OrlaventSupportTool");
        EXPECT_EQ(box.text, text);
        ASSERT_TRUE(Press(box, id));
    }
    void SaveTo(const std::string& target) {
        const Dialog save = Next();
        ASSERT_TRUE(save) << "no save dialog";
        ASSERT_TRUE(SaveAs(save, Wide(target)));
    }
    void ExpectNoTemporaries() {
        for (const char* path : kTemporaries)
            EXPECT_FALSE(Exists(path)) << path << " was left behind";
    }
    void Screenshot(const std::string& name) {
        SaveBmp(CaptureScreen(), WindowsPath(std::string(OST_E2E_OUTPUT_DIR) + "/" + name + ".bmp"));
    }
    std::unique_ptr<ToolProcess> tool_;
};

TEST_F(WorkflowE2eTest, HappyPathMakesACompleteSupportFile) {
    Reg(L"add \"" + kUninstall + L"\\OstE2e-Acme\" /v DisplayName /d \"Acme E2E Editor\" /f");
    ::CreateDirectoryW(L"C:\\pwwin32", nullptr);
    Write("C:\\pwwin32\\pebble.exe", std::string(3000, 'p'));
    const std::string target = Out("happy");
    ::DeleteFileW(Wide(target + ".OVSupport").c_str());

    StartAndPress();
    SaveTo(target);
    {
        const Dialog start = Next();
        ASSERT_TRUE(start);
        EXPECT_EQ(start.text, kStart);
        Screenshot("happy_start_message");
        ASSERT_TRUE(Press(start, IDOK));
    }
    const Dialog final = Next(300000);
    ASSERT_TRUE(final);
    EXPECT_EQ(final.text, kFinal);
    EXPECT_EQ(final.title, "OrlaventSupportTool");
    Screenshot("happy_final_message");
    ASSERT_TRUE(Press(final, IDOK));
    ASSERT_TRUE(WaitIdle(tool_->Main()));
    ExpectNoTemporaries();

    const std::string archive = HostPath(Wide(target + ".OVSupport"));
    ASSERT_FALSE(archive.empty());
    EXPECT_NE(RunHost("unzip -t '" + archive + "'").find("No errors detected"), std::string::npos);
    EXPECT_NE(RunHost("python3 -m zipfile -t '" + archive + "'").find("exit=0"), std::string::npos);
    const std::string listing = RunHost("unzip -Z1 '" + archive + "'");
    EXPECT_EQ(listing, "ovsupport.txt\nregbackup.reg\nexit=0\n");

    const std::string report = RunHost("unzip -p '" + archive + "' ovsupport.txt");
    for (const char* section :
         {"Orlavent Software Support Tool System Report\r\n\r\n", "\r\nSystem Information\r\n",
          "\r\nWindows Version : ", "\r\nScreen Resolution: ", "\r\nDrive Listings\r\n",
          "\r\nAdd/Remove Programs List\r\n", "\"Acme E2E Editor\"\r\n", "\r\nWindows Dir Listing (C:\\windows)\r\n",
          "\r\nWindows System Dir Listing (C:\\windows\\system32)\r\n", "\r\nPebblework Dir Listing (c:\\pwwin32)\r\n",
          "\r\npebble.exe (Created : "})
        EXPECT_NE(report.find(section), std::string::npos) << section;

    // The registry export is whole: it parses as a registry file from its header to its last key,
    // and holds the entry the test added.
    const std::string check = RunHost("unzip -p '" + archive +
                                      "' regbackup.reg | python3 -c \"import sys,re\n"
                                      "t=sys.stdin.buffer.read().decode('utf-16')\n"
                                      "lines=[l for l in t.split('\\r\\n')]\n"
                                      "assert lines[0]=='Windows Registry Editor Version 5.00', lines[0]\n"
                                      "keys=[l for l in lines if l.startswith('[')]\n"
                                      "assert all(l.endswith(']') for l in keys)\n"
                                      "assert t.endswith('\\r\\n\\r\\n') or t.endswith('\\r\\n')\n"
                                      "assert any('OstE2e-Acme' in k for k in keys)\n"
                                      "assert '\\\"DisplayName\\\"=\\\"Acme E2E Editor\\\"' in t\n"
                                      "print('keys', len(keys))\"");
    EXPECT_NE(check.find("exit=0"), std::string::npos) << check;
    Reg(L"delete \"" + kUninstall + L"\\OstE2e-Acme\" /f");
    ::DeleteFileW(L"C:\\pwwin32\\pebble.exe");
    ::RemoveDirectoryW(L"C:\\pwwin32");
}

// One window, pressed three times: the save dialog cancelled, the overwrite declined, then accepted.
TEST_F(WorkflowE2eTest, CancelLeavesOnlyTheProgramListAndOverwriteNoKeepsTheFileAndYesReplacesIt) {
    const std::string target = Out("over.OVSupport");
    Write(target, "an earlier file");
    StartAndPress();
    const Dialog save = Next();
    ASSERT_TRUE(save);
    ASSERT_TRUE(Press(save, IDCANCEL));
    ASSERT_TRUE(WaitIdle(tool_->Main()));
    EXPECT_FALSE(WaitForDialog(tool_->Pid(), 500)) << "no message after a cancel";
    EXPECT_TRUE(Exists("c:\\progs.txt"));
    EXPECT_FALSE(Exists("c:\\ovsupport.txt"));
    EXPECT_FALSE(Exists("c:\\regbackup.reg"));

    Click(::GetDlgItem(tool_->Main(), 102));
    SaveTo(target);
    Expect(kOverwrite, IDNO);
    ASSERT_TRUE(WaitIdle(tool_->Main()));
    EXPECT_EQ(Read(target), "an earlier file");
    EXPECT_FALSE(Exists("c:\\ovsupport.txt"));

    Click(::GetDlgItem(tool_->Main(), 102));
    SaveTo(target);
    Expect(kOverwrite, IDYES);
    Expect(kStart, IDOK);
    Expect(kFinal, IDOK);
    EXPECT_EQ(Read(target).substr(0, 2), "PK") << "the new support file replaced the old one";
    ExpectNoTemporaries();
}

TEST_F(WorkflowE2eTest, ReadOnlyTargetIsReportedAndKept) {
    const std::string target = Out("locked.OVSupport");
    ::SetFileAttributesW(Wide(target).c_str(), FILE_ATTRIBUTE_NORMAL);
    Write(target, "kept");
    ::SetFileAttributesW(Wide(target).c_str(), FILE_ATTRIBUTE_READONLY);
    StartAndPress();
    SaveTo(target);
    Expect(kOverwrite, IDYES);
    Expect(
        "Error Creating Support File at Stage 1(Create Program List) : 70 - Permission denied\r\n\r\n"
        "Do you wish to continue?",
        IDNO);
    ASSERT_TRUE(WaitIdle(tool_->Main()));
    EXPECT_EQ(Read(target), "kept");
    ::SetFileAttributesW(Wide(target).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WorkflowE2eTest, EarlierFilesAreRestoredAtClosedown) {
    Write("c:\\regbackup1.reg", "saved export");
    Write("c:\\ovsupport1.txt", "saved report");
    StartAndPress();
    SaveTo(Out("restore"));
    Expect(kStart, IDOK);
    Expect(kFinal, IDOK);
    EXPECT_EQ(Read("c:\\regbackup.reg"), "saved export");
    EXPECT_EQ(Read("c:\\ovsupport.txt"), "saved report");
    EXPECT_FALSE(Exists("c:\\regbackup1.reg"));
    EXPECT_FALSE(Exists("c:\\ovsupport1.txt"));
    ::DeleteFileW(L"c:\\regbackup.reg");
    ::DeleteFileW(L"c:\\ovsupport.txt");
}

TEST_F(WorkflowE2eTest, WithoutTheZipLibraryThreeRecoverableErrorsThenTheFinalMessage) {
    // The tool alone in a folder of its own: zip32.dll is not beside it.
    const std::wstring folder = kOut + L"\\nozip";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring exe = folder + L"\\OrlaventSupportTool.exe";
    ASSERT_TRUE(::CopyFileW(WindowsPath(OST_TOOL_EXE).c_str(), exe.c_str(), FALSE));
    StartAndPress(exe);
    SaveTo(Out("nozip-support"));
    Expect(kStart, IDOK);
    for (int i = 0; i < 3; ++i)
        Expect("Recoverable Error.\r\n\r\n53File not found", IDOK);
    Expect(kFinal, IDOK);
    EXPECT_FALSE(Exists(Out("nozip-support.OVSupport")));
    ExpectNoTemporaries();
}

TEST_F(WorkflowE2eTest, WithoutTheUninstallKeyTheToolAborts) {
    Reg(L"export \"" + kUninstall + L"\" C:\\ost-e2e\\uninstall.reg /y");
    Reg(L"delete \"" + kUninstall + L"\" /f");
    StartAndPress();
    SaveTo(Out("aborted"));
    Expect("Registry key could Not be opened -- aborting.", IDOK);
    EXPECT_EQ(::WaitForSingleObject(tool_->Process(), 20000), static_cast<DWORD>(WAIT_OBJECT_0)) << "the program ends";
    EXPECT_EQ(Read("c:\\progs.txt"), "\"Registry key could Not be opened -- aborting.\"\r\n");
    Reg(L"add \"" + kUninstall + L"\" /f");
    Reg(L"import C:\\ost-e2e\\uninstall.reg");
    ::DeleteFileW(L"c:\\progs.txt");
}

}  // namespace
}  // namespace ost::robot
