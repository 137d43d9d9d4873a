#include "app/workflow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "app/frm_main.h"
#include "archive/xw_un_zip_module.h"
#include "fake_filesystem.h"
#include "fake_library.h"
#include "fake_locale.h"
#include "fake_process.h"
#include "fake_registry.h"
#include "fake_system_info.h"
#include "fake_ui.h"
#include "inspect/mod_general.h"
#include "recording_libraries.h"

namespace ost {
namespace {

using namespace workflow;

const std::string kTarget = "C:\\x\\report";
const std::string kFinalMessage =
    "Support File Created Sucessfully.\r\n\r\nPlease email this file to support@orlavent.example with an accurate "
    "description of your problem.";
const std::string kStartMessage =
    "The Support will now collect relevant System Information\r\n\r\nPlease be Patient as this may take Several "
    "Minurtes";

class WorkflowTest : public ::testing::Test {
  protected:
    WorkflowTest() {
        test::ResetRecording();
        libraries.libraries[kZipLibrary] = {{"ZpInit", test::AsEntry(&test::RecordingZpInit)},
                                            {"ZpSetOptions", test::AsEntry(&test::RecordingZpSetOptions)},
                                            {"ZpArchive", test::AsEntry(&test::RecordingZpArchive)}};
        registry.AddString(std::string(modGeneral::kUninstallKey) + "\\acme", "DisplayName", "Acme Editor");
        fs.folders["c:\\windows"] = {};
        fs.folders["c:\\windows\\system32"] = {};
        window.dialog.answer = kTarget;
        processes.onExit = [this] { fs.Put(kRegistryExport, "REGEDIT4\r\n"); };
        ui.sharedLog = &fs.log;
        window.sharedLog = &fs.log;
        window.dialog.sharedLog = &fs.log;
        processes.sharedLog = &fs.log;
    }

    void RunWorkflow() { form.cmdCreate_Click(); }
    std::vector<std::string> Boxes() const {
        std::vector<std::string> texts;
        for (const auto& box : ui.boxes)
            texts.push_back(box.text);
        return texts;
    }
    bool Logged(const std::string& entry) const {
        return std::find(fs.log.begin(), fs.log.end(), entry) != fs.log.end();
    }
    // The prompt for a failure: answer Yes (6) or No (7) to it by its place among the boxes.
    static std::string Prompt(int stage, const std::string& name, int number, const std::string& description) {
        return PromptText(static_cast<int16_t>(stage), name, number, description);
    }

    test::FakeUi ui;
    test::FakeFileSystem fs;
    test::FakeRegistry registry;
    test::FakeLocale locale;
    test::FakeProcessLauncher processes;
    test::FakeSystemInfoSource systemSource;
    test::FakeMainWindow window;
    test::FakeLibraryLoader libraries;
    std::optional<XW_UN_ZIP_Module> module{std::in_place, ui, locale, libraries};
    AppServices services{ui, fs, registry, locale, processes, systemSource};
    frmMain form{services, window};
};

TEST_F(WorkflowTest, HappyPathRunsEveryStepInItsOrder) {
    fs.Put(kRegistryExport, "old export");
    RunWorkflow();
    // The steps that leave a trace, in the order they ran.
    const std::vector<std::string> expected = {"ShowSave:",
                                               "OpenTextFile:c:\\progs.txt",
                                               "WriteLine:c:\\progs.txt",
                                               "Close:c:\\progs.txt",
                                               "FileExists:" + kTarget,
                                               "Pointer:11",
                                               "FileExists:c:\\regbackup.reg",
                                               "DeleteFile:c:\\regbackup.reg",
                                               "FileExists:c:\\ovsupport.txt",
                                               "AppPointer:11",
                                               "DoEvents:",
                                               "MsgBox:" + kStartMessage,
                                               "GetSpecialFolder:0",
                                               "GetFolder:C:\\WINDOWS",
                                               "Start:C:\\WINDOWS\\Regedit.exe /e c:\\regbackup.reg",
                                               "DoEvents:",
                                               "OpenTextFile:c:\\ovsupport.txt",
                                               "OpenTextFile:c:\\progs.txt",
                                               "FolderExists:c:\\pwwin32",
                                               "Wait:",
                                               "Close:c:\\progs.txt",
                                               "Close:c:\\ovsupport.txt",
                                               "DeleteFile:c:\\progs.txt",
                                               "DeleteFile:c:\\ovsupport.txt",
                                               "DeleteFile:c:\\regbackup.reg",
                                               "FileExists:c:\\regbackup1.reg",
                                               "FileExists:c:\\ovsupport1.txt",
                                               "Pointer:0",
                                               "AppPointer:0",
                                               "MsgBox:" + kFinalMessage};
    // Every step above, in this order; the report's own writes and look-ups come between them.
    size_t next = 0;
    for (const std::string& entry : fs.log)
        if (next < expected.size() && entry == expected[next])
            ++next;
    ASSERT_EQ(next, expected.size()) << "step " << next << " (" << (next < expected.size() ? expected[next] : "")
                                     << ") missing or out of order";
    EXPECT_EQ(window.dialog.filter, "Orlavent Support File|*.OVSupport");
    ASSERT_EQ(processes.started.size(), 1u);
    EXPECT_EQ(processes.started[0].windowStyle, 2);
    EXPECT_EQ(processes.waits, std::vector<uint32_t>{600000u});
    EXPECT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].style, 0x40);
    EXPECT_EQ(ui.boxes[1].style, 0);
    EXPECT_EQ(ui.boxes[1].title, "OrlaventSupportTool");
    EXPECT_EQ(window.list.items, std::vector<std::string>{"Acme Editor"});
    // The library was given the support file's name and the two temporary files after the placeholder.
    const test::ZipRecording& zip = test::Recording();
    EXPECT_EQ(zip.count, 3);
    EXPECT_EQ(test::Text(zip.zipFileName), kTarget + ".OVSupport");
    EXPECT_EQ(test::ReceivedNames(zip), test::kWorkflowNames);
    EXPECT_EQ(zip.options.fRecurse, 0);
    EXPECT_EQ(zip.options.fUpdate, 0);
    for (const char* temporary : {"c:\\progs.txt", "c:\\ovsupport.txt", "c:\\regbackup.reg"})
        EXPECT_FALSE(fs.Has(temporary)) << temporary;
    EXPECT_EQ(fs.forgets, 2) << "tree sizes are measured afresh for each run";
}

TEST_F(WorkflowTest, CancelWritesTheProgramListAndNothingElse) {
    window.dialog.answer = "";
    RunWorkflow();
    EXPECT_EQ(fs.Content("c:\\progs.txt"), "\"Acme Editor\"\r\n");
    EXPECT_EQ(window.list.items, std::vector<std::string>{"Acme Editor"});
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(window.pointers.empty());
    EXPECT_TRUE(processes.started.empty());
    EXPECT_EQ(test::Recording().callCount, 0);
}

TEST_F(WorkflowTest, DeclinedOverwriteLeavesTheFileAndEndsQuietly) {
    fs.Put(kTarget, "earlier support file");
    ui.answers = {mb::kAnswerNo};
    RunWorkflow();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Do you want to overwrite the existing file ?");
    EXPECT_EQ(ui.boxes[0].style, 0x24);
    EXPECT_EQ(fs.Content(kTarget), "earlier support file");
    EXPECT_TRUE(processes.started.empty());
}

TEST_F(WorkflowTest, ReadOnlyTargetAnsweredYesGoesOn) {
    fs.Put(kTarget, "read-only");
    fs.readOnly.insert(test::LowerAscii(kTarget));
    ui.answers = {mb::kAnswerYes, mb::kAnswerYes};
    RunWorkflow();
    ASSERT_GE(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, Prompt(1, "Create Program List", 70, "Permission denied"));
    EXPECT_EQ(ui.boxes[1].text,
              "Error Creating Support File at Stage 1(Create Program List) : 70 - Permission denied\r\n\r\n"
              "Do you wish to continue?");
    EXPECT_EQ(ui.boxes[1].style, 0x24);
    EXPECT_EQ(Boxes().back(), kFinalMessage);
}

TEST_F(WorkflowTest, NoAtAPromptEndsTheRunWithPointersBackAndStreamsClosed) {
    fs.folders["c:\\windows"].files = {test::FakeItem{"bad.dll", 1, {}, true}};
    ui.answers = {mb::kAnswerOk, mb::kAnswerNo};
    RunWorkflow();
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, Prompt(5, "Support File Windows Folder", 70, "Permission denied"));
    EXPECT_EQ(window.pointers.back(), 0);
    EXPECT_EQ(ui.appPointers.back(), 0);
    EXPECT_TRUE(Logged("Close:c:\\ovsupport.txt"));
    EXPECT_EQ(test::Recording().callCount, 0) << "nothing is packed";
    EXPECT_TRUE(fs.Has("c:\\ovsupport.txt")) << "temporary files stay as they are";
    EXPECT_FALSE(Logged("DeleteFile:c:\\progs.txt"));
}

TEST_F(WorkflowTest, AFailureBeforeStageOneNamesStageZero) {
    window.dialog.failShow = true;
    ui.answers = {mb::kAnswerNo};
    RunWorkflow();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Error Creating Support File at Stage 0() : 5 - ", 0), 0u) << ui.boxes[0].text;
    EXPECT_FALSE(Logged("OpenTextFile:c:\\progs.txt")) << "the run ended at the failed step";
    EXPECT_EQ(window.pointers, std::vector<int32_t>{0});
    EXPECT_EQ(ui.appPointers, std::vector<int32_t>{0});
}

TEST_F(WorkflowTest, PebbleworkFolderIsListedOnlyWhenItExists) {
    RunWorkflow();
    EXPECT_FALSE(Logged("GetFolder:c:\\pwwin32"));
    EXPECT_EQ(ui.boxes.size(), 2u) << "no message for a missing c:\\pwwin32";
    fs.log.clear();
    fs.folders["c:\\pwwin32"] = {};
    ui.boxes.clear();
    RunWorkflow();
    EXPECT_TRUE(Logged("GetFolder:c:\\pwwin32"));
    EXPECT_EQ(ui.boxes.size(), 2u);
}

TEST_F(WorkflowTest, MissingRegistryExportAtClosedownPromptsThenGoesOn) {
    processes.onExit = nullptr;  // the registry editor left no export
    fs.Put(kRegistryRestore, "saved export");
    fs.Put(kReportRestore, "saved report");
    ui.answers = {mb::kAnswerOk, mb::kAnswerYes};
    RunWorkflow();
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1], Prompt(9, "Closedown", 53, "File not found"));
    EXPECT_EQ(boxes[2], kFinalMessage);
    EXPECT_EQ(fs.Content(kRegistryExport), "saved export");
    EXPECT_EQ(fs.Content(kReport), "saved report");
    EXPECT_FALSE(fs.Has(kRegistryRestore));
    EXPECT_FALSE(fs.Has(kReportRestore));
}

TEST_F(WorkflowTest, ARegistryExportStillRunningAtTheBoundAsksWhetherToPackWhatIsThere) {
    for (const int32_t answer : {mb::kAnswerYes, mb::kAnswerNo}) {
        SCOPED_TRACE(answer);
        test::ResetRecording();
        ui.boxes.clear();
        processes.finishes = false;  // the bound passes with the export still being written
        processes.onStart = [this] { fs.Put(kRegistryExport, "REGEDIT4\r\n[HKEY_LOC"); };
        ui.answers = {mb::kAnswerOk, answer};
        RunWorkflow();
        const auto boxes = Boxes();
        ASSERT_GE(boxes.size(), 2u);
        EXPECT_EQ(boxes[1], Prompt(8, "Create Zip File", 75, "The registry export did not finish within 10 minutes"));
        EXPECT_EQ(test::Recording().callCount > 0, answer == mb::kAnswerYes) << "Yes packs, No ends the run";
        EXPECT_EQ(boxes.back() == kFinalMessage, answer == mb::kAnswerYes);
        EXPECT_EQ(window.pointers.back(), 0);
    }
    EXPECT_EQ(RegistryExportLateText(60000), "The registry export did not finish within 1 minute");
    EXPECT_EQ(RegistryExportLateText(2500), "The registry export did not finish within 2 seconds");
}

TEST_F(WorkflowTest, PackingFailureShowsTheLibrarysMessageAndCleansUp) {
    test::Recording().archiveResult = 18;
    const std::string message = "zip error: could not write the archive";
    message.copy(test::Recording().messages[0], test::kRecordedTextSize - 1);
    test::Recording().messageCount = 1;
    RunWorkflow();
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], "An Error Occured While Creating Support File\r\n" + message);
    EXPECT_EQ(ui.boxes[1].style, 0);
    EXPECT_FALSE(fs.Has("c:\\ovsupport.txt"));
    EXPECT_FALSE(fs.Has("c:\\regbackup.reg"));
    EXPECT_EQ(window.pointers.back(), 0);
    EXPECT_EQ(ui.appPointers.back(), 0);
}

TEST_F(WorkflowTest, MissingZipLibraryShowsThreeRecoverableErrorsThenTheFinalMessage) {
    libraries.libraries.clear();
    RunWorkflow();
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 5u);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(boxes[i], "Recoverable Error.\r\n\r\n53File not found");
    EXPECT_EQ(boxes[4], kFinalMessage);
}

TEST_F(WorkflowTest, ABuilderThatRaisesLeadsIntoTheFailurePathWithoutTheFinalMessage) {
    module.reset();  // without the archive module every builder operation raises 91
    ui.answers = {mb::kAnswerOk};
    ui.answers.resize(9, mb::kAnswerYes);
    RunWorkflow();
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 9u);
    EXPECT_EQ(boxes[0], kStartMessage);
    // Creating the builder, its five settings, MakeZipFile, then the failure message's own reading
    // of GetLastMessage: each is one failed operation of stage 8.
    for (size_t i = 1; i < boxes.size(); ++i)
        EXPECT_EQ(boxes[i], Prompt(8, "Create Zip File", 91, "Object variable or With block variable not set"));
    EXPECT_TRUE(Logged("DeleteFile:c:\\regbackup.reg")) << "stage 9 runs";
    EXPECT_EQ(window.pointers.back(), 0);
}

TEST_F(WorkflowTest, APressDuringTheRunIsIgnored) {
    int nested = 0;
    processes.onExit = [&] {
        fs.Put(kRegistryExport, "export");
        form.cmdCreate_Click();  // the window handles a click while the run waits
        ++nested;
    };
    RunWorkflow();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(window.dialog.shows, 1);
    EXPECT_FALSE(form.Running());
}

TEST(SupportFileNameTest, TheExtensionIsAddedUnlessAlreadyThereInThisCase) {
    EXPECT_EQ(SupportFileName("C:\\x\\report"), "C:\\x\\report.OVSupport");
    EXPECT_EQ(SupportFileName("C:\\x\\report.OVSupport"), "C:\\x\\report.OVSupport");
    EXPECT_EQ(SupportFileName("C:\\x\\report.ovsupport"), "C:\\x\\report.ovsupport.OVSupport");
    EXPECT_EQ(SupportFileName(".OVSupport"), ".OVSupport");
}

}  // namespace
}  // namespace ost
