// The support-file workflow through the window's button, with each service call it makes failing
// in turn.
#include "app/workflow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "app/frm_main.h"
#include "archive/xw_un_zip_module.h"
#include "fakes.h"
#include "inspect/mod_general.h"

namespace ost::test {
namespace {

using namespace workflow;

const char* const kOverwrite = "Do you want to overwrite the existing file ?";
const char* const kStart =
    "The Support will now collect relevant System Information\r\n\r\nPlease be Patient as this may take Several "
    "Minurtes";
const char* const kFinal =
    "Support File Created Sucessfully.\r\n\r\nPlease email this file to support@orlavent.example with an accurate "
    "description of your problem.";
const std::string kTarget = "C:\\x\\report";
const std::string kSupportFile = kTarget + ".OVSupport";

std::string Prompt(int stage, const std::string& name, int32_t number, const std::string& description) {
    return "Error Creating Support File at Stage " + std::to_string(stage) + "(" + name +
           ") : " + std::to_string(number) + " - " + description + "\r\n\r\nDo you wish to continue?";
}

// How a failure shows: in the error prompt, not at all (the step absorbs it), or in the library
// bridge's own "Recoverable Error." box.
enum Shows { kPrompt, kQuiet, kRecoverable };

// The steps of a run in their order: each is the first call logged after the step before it that
// begins with `call`. A failure from there up to the next step is of the step's stage and shows as
// `shows` says.
struct Step {
    int stage;
    const char* name;
    const char* call;
    Shows shows = kPrompt;
    const char* guarded = nullptr;  // the step that runs next when this test fails, as if it had passed
};
const Step kSteps[] = {
    {0, "", "SetFilter:Orlavent Support File|*.OVSupport"},
    {1, "Create Program List", "OpenTextFile:c:\\progs.txt"},
    {1, "Create Program List", "FileExists:C:\\x\\report", kPrompt, "MsgBox:Do you want to overwrite"},
    {1, "Create Program List", "DoEvents"},
    {1, "Create Program List", "MsgBox:The Support will now collect"},
    {2, "Registry Backup", "GetSpecialFolder:Windows"},
    {2, "Registry Backup", "DoEvents"},
    {3, "Create Support File", "OpenTextFile:c:\\ovsupport.txt"},
    {4, "Support File Basic Info", "WriteLine:c:\\ovsupport.txt:Orlavent Software Support Tool System Report"},
    {4, "Support File Basic Info", "Drives", kQuiet},  // the drive listing
    {4, "Support File Basic Info", "WriteLine:c:\\ovsupport.txt:C - SYSTEM"},
    {5, "Support File Windows Folder", "GetSpecialFolder:Windows"},
    {5, "Support File Windows Folder", "SubFolders:C:\\WINDOWS"},
    {6, "Support File System Folder", "WriteLine:c:\\ovsupport.txt:--------------------------\r\n"},
    {7, "Support File Pebblework Folder", "FolderExists:c:\\pwwin32", kPrompt, "WriteLine:c:\\ovsupport.txt:---"},
    {8, "Create Zip File", "WaitForExit"},
    {8, "Create Zip File", "UpperCase:querty"},
    {8, "Create Zip File", "UpperCase:c:\\ovsupport.txt", kQuiet},  // looked for among the names, not found
    {8, "Create Zip File", "UpperCase:c:\\ovsupport.txt"},
    {8, "Create Zip File", "UpperCase:c:\\regbackup.reg", kQuiet},
    {8, "Create Zip File", "UpperCase:c:\\regbackup.reg"},
    {8, "Create Zip File", "UpperCase:\\", kRecoverable},  // the library's run
    {9, "Closedown", "DeleteFile:c:\\progs.txt"},
    {9, "Closedown", "FileExists:c:\\regbackup1.reg", kPrompt, "MoveFile:c:\\regbackup1.reg"}};

// The number of kSteps found in their order in the log's first `end` entries.
size_t StepsIn(const std::vector<std::string>& log, size_t end) {
    size_t step = 0;
    for (size_t i = 0; i < std::min(end, log.size()) && step < std::size(kSteps); ++i)
        step += log[i].starts_with(kSteps[step].call) ? 1 : 0;
    return step;
}

size_t Count(const std::vector<std::string>& log, const std::string& prefix, size_t end = SIZE_MAX) {
    return std::count_if(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(std::min(end, log.size())),
                         [&](const std::string& entry) { return entry.starts_with(prefix); });
}

// The window over services in memory that all log to one CallLog, after Form_Load. The file the
// user picks is there already, an earlier run left stale temporaries and saved copies to restore,
// and c:\pwwin32 is there. Error prompts are answered with `promptAnswer`, questions with Yes.
struct World {
    World() {
        gZip = {};
        gZip.onArchive = [this] {  // what the library would pack, and the archive it would leave
            for (int i = 1; i < gZip.count; ++i)
                packed[gZip.names[i]] = fs.Has(gZip.names[i]) ? fs.Content(gZip.names[i]) : "<missing>";
            fs.Put(gZip.zipFileName, "PK");
            return 0;
        };
        registry.keys[LowerAscii(modGeneral::kUninstallKey)];
        registry.AddString(std::string(modGeneral::kUninstallKey) + "\\acme", "DisplayName", "Acme Editor");
        fs.folders["c:\\windows"] = {{{"win.ini", 92}}, {{"system32", 5000}}};
        fs.folders["c:\\windows\\system32"] = {{{"kernel32.dll", 1024}}, {}};
        fs.drives = {FakeDrive{}};
        ui.saveAs = kTarget;
        processes.onExit = [this] { fs.Put(kRegistryExport, "REGEDIT4 fresh"); };
        ui.answer = [this](const std::string& text) {
            return text.starts_with("Error") ? promptAnswer : mb::kAnswerYes;
        };
        fs.Put(kTarget, "earlier file");
        fs.Put(kRegistryExport, "stale export");
        fs.Put(kReport, "stale report");
        fs.Put(kRegistryRestore, "saved export");
        fs.Put(kReportRestore, "saved report");
        fs.folders["c:\\pwwin32"] = {{{"pw.exe", 65536}}, {}};
        form.Form_Load();
        calls.log.clear();
        calls.count = 0;
    }
    // Presses the button; false when the program ended there.
    bool Click() {
        try {
            form.cmdCreate_Click();
        } catch (const ProgramEnded&) {
            return false;
        }
        return true;
    }

    int32_t promptAnswer = mb::kAnswerNo;
    std::map<std::string, std::string> packed;  // by name: what the latest archive packed
    CallLog calls;
    FakeUi ui{&calls};
    FakeFileSystem fs{&calls};
    FakeRegistry registry{&calls};
    FakeLocale locale{&calls};
    FakeProcessLauncher processes{&calls};
    FakeSystemInfoSource source;
    FakeLibraryLoader libraries{&calls};
    XW_UN_ZIP_Module module{ui, locale, libraries};
    AppServices services{ui, fs, registry, locale, processes, source};
    frmMain form{services, ui};
};

TEST(WorkflowTest, ARunPacksTheFreshReportAndExportAndLeavesNoTemporaryBehind) {
    World w;
    w.fs.readOnly = {kRegistryExport, kReport};  // an earlier run's temporaries go all the same
    EXPECT_TRUE(w.Click());
    const std::vector<std::string>& log = w.calls.log;
    const size_t found = StepsIn(log, log.size());
    EXPECT_EQ(found, std::size(kSteps)) << "missing or out of order: " << kSteps[found % std::size(kSteps)].call;
    EXPECT_EQ(log.front() + "|" + log.back(), "ForgetTreeSizes|ForgetTreeSizes");  // sizes afresh in each run
    EXPECT_EQ(w.ui.boxes, (std::vector<std::string>{kOverwrite, kStart, kFinal}));
    EXPECT_EQ(w.ui.pointers, (std::vector<int32_t>{11, 0}));
    EXPECT_EQ(w.ui.appPointers, (std::vector<int32_t>{11, 0}));
    EXPECT_EQ(w.processes.started, std::vector<std::string>{"C:\\WINDOWS\\Regedit.exe /e c:\\regbackup.reg|2"});
    EXPECT_EQ(w.processes.waits, std::vector<uint32_t>{600000});

    // One archive, made afresh under the name with its extension, of the report as this run wrote
    // it and the registry's export.
    EXPECT_EQ(gZip.zipFileName, kSupportFile);
    EXPECT_EQ(gZip.names, (std::vector<std::string>{"querty", "c:\\ovsupport.txt", "c:\\regbackup.reg"}));
    EXPECT_EQ(gZip.options.fRecurse | gZip.options.fUpdate, 0);
    EXPECT_EQ(w.fs.Content(kSupportFile), "PK");
    EXPECT_EQ(w.packed[kRegistryExport], "REGEDIT4 fresh");
    std::ifstream golden(std::string(OST_GOLDEN_DIR) + "/workflow_report.txt", std::ios::binary);
    EXPECT_EQ(w.packed[kReport], std::string(std::istreambuf_iterator<char>(golden), {}));
    // The file picked is replaced, the temporaries are gone and the copies the earlier run saved
    // are back in their place.
    EXPECT_FALSE(w.fs.Has(kTarget) || w.fs.Has(kProgramList) || w.fs.Has(kRegistryRestore) || w.fs.Has(kReportRestore));
    EXPECT_EQ(w.fs.Content(kRegistryExport) + "|" + w.fs.Content(kReport), "saved export|saved report");
}

// What the Nth failure raises, by turns: an error of the platform, an allocation failure, and an
// exception of another kind.
struct Fault {
    int32_t number;
    const char* description;
};
const Fault kFaults[] = {{70, "Permission denied"}, {7, "Out of memory"}, {5, "the fake failed"}};

// Checks how the failure of one call showed and how the run went on or ended.
void CheckFailure(const World& w, bool ran, const Fault& fault, std::vector<std::string> boxes) {
    const std::vector<std::string>& log = w.calls.log;
    const std::string& call = log[w.calls.failed];
    const std::string kind = call.substr(0, call.find(':'));
    const Step& step = kSteps[StepsIn(log, w.calls.failed + 1) - 1];
    const auto box = std::find_if(log.begin() + static_cast<std::ptrdiff_t>(w.calls.failed) + 1, log.end(),
                                  [](const std::string& entry) { return entry.starts_with("MsgBox:"); });
    const std::string shown = box == log.end() ? "(none)" : box->substr(7);
    const size_t prompt = static_cast<size_t>(box - log.begin());
    SCOPED_TRACE(call + " failed, then " + shown);
    if (kind == "OpenKeyEx") {  // the installed programs cannot be listed: the program ends
        EXPECT_FALSE(ran);
        EXPECT_EQ(shown, "Registry key could Not be opened -- aborting.");
        EXPECT_EQ(w.fs.Content(kProgramList), "\"Registry key could Not be opened -- aborting.\"\r\n");
        return;
    }
    EXPECT_TRUE(ran);
    EXPECT_EQ(Count(log, "Opened:"), Count(log, "Close:")) << "a stream is left open";
    EXPECT_EQ(w.processes.alive, 0) << "a registry editor outlives the run";
    EXPECT_EQ(log.back(), "ForgetTreeSizes");
    const bool packed = !w.packed.empty();
    for (const auto& [name, content] : w.packed)
        EXPECT_TRUE(content != "stale export" && content != "stale report") << name;
    // Registry reads and the library's first two calls fail by their results, which the program
    // list and the library's run take in their stride. The bridge reports what fails in its run
    // in a box of its own and goes on; when no archive was made, the library's message shows
    // instead of the final one.
    static const std::set<std::string> kAbsorbed = {"EnumKeyEx", "OpenKey", "QueryValueEx",
                                                    "CloseKey",  "ZpInit",  "ZpSetOptions"};
    if (step.shows == kRecoverable && kAbsorbed.count(kind) == 0 && kind != "ZpArchive") {
        boxes.insert(boxes.end() - 1,
                     "Recoverable Error.\r\n\r\n" + std::to_string(fault.number) +
                         (fault.number == 5 ? "Invalid procedure call or argument" : fault.description));
    }
    if (!packed)  // ZpArchive failed or never ran
        boxes.back() = "An Error Occured While Creating Support File\r\n";
    if (kAbsorbed.count(kind) != 0 || step.shows != kPrompt || kind == "ZpArchive") {
        EXPECT_EQ(w.ui.boxes, boxes);
        return;
    }
    // An exception of another kind shows its own text, or the classic one where an archive class
    // wraps it.
    // A wait for the registry editor that fails (itself, or in the window's messages handled
    // meanwhile) ends the editor before the prompt; an exit code that cannot be read tells nothing
    // of the export. Either way the export is not packed.
    const bool waiting = kind == "WaitForExit" || log[w.calls.failed - 1].starts_with("WaitForExit");
    const std::string classic(ClassicDescription(fault.number));
    const std::string expected =
        waiting            ? Prompt(8, "Create Zip File", fault.number, "Waiting for the registry editor failed: " + classic)
        : kind == "ExitCode" ? Prompt(8, "Create Zip File", fault.number,
                                      "The registry editor's exit code could not be read: " + classic)
                             : Prompt(step.stage, step.name, fault.number, fault.description);
    if (waiting || kind == "ExitCode") {
        EXPECT_EQ(std::count(log.begin() + static_cast<std::ptrdiff_t>(w.calls.failed), log.begin() + static_cast<std::ptrdiff_t>(prompt),
                             "Terminate:30000"),
                  waiting ? 1 : 0);
        EXPECT_FALSE(w.fs.Has(kRegistryExport) && w.fs.Content(kRegistryExport) != "saved export");
        EXPECT_EQ(w.packed.count(kRegistryExport), 0u);
    }
    EXPECT_TRUE(shown == expected ||
                (fault.number == 5 && shown == Prompt(step.stage, step.name, 5, "Invalid procedure call or argument")))
        << "expected " << expected;
    if (w.promptAnswer == mb::kAnswerNo) {
        // The run ends at once: the streams are closed, a registry editor still running is seen
        // to end, and the pointers go back; nothing else.
        for (size_t i = prompt + 1; i < log.size(); ++i) {
            EXPECT_TRUE(log[i].starts_with("Close:") || log[i] == "SetMousePointer:0" ||
                        log[i] == "SetAppMousePointer:0" || log[i] == "ForgetTreeSizes" || log[i] == "WaitForExit:0")
                << log[i];
        }
        const auto pointer = std::find(log.rbegin(), log.rend(), "SetMousePointer:0").base() - log.begin();
        EXPECT_EQ(Count(log, "Opened:", pointer), Count(log, "Close:", pointer)) << "closed before the pointer";
        EXPECT_EQ(w.ui.pointers.back() + w.ui.appPointers.back(), 0);
        return;
    }
    if (step.guarded != nullptr && call.starts_with(step.call)) {
        EXPECT_TRUE(log[prompt + 1].starts_with(step.guarded)) << log[prompt + 1];
    }
    // Without a file name the run has nothing to make, as when the user cancels the save dialog;
    // otherwise it goes on to its end.
    const bool named = kind != "ShowSave" && kind != "FileName";
    EXPECT_EQ(Count(log, "SetMousePointer:") + Count(log, "Start") + Count(log, "DeleteFile:c:\\progs.txt"),
              named ? 4u : 0u);
}

TEST(WorkflowTest, EachCallFailingInTurnIsReportedAtItsStageAndYesGoesOnWhileNoEndsTheRun) {
    std::vector<std::string> reference;
    int calls = 0;
    {
        World w;
        w.Click();
        reference = w.ui.boxes;
        calls = w.calls.count;
    }
    for (const int32_t answer : {mb::kAnswerYes, mb::kAnswerNo}) {
        int n = 1;
        for (;; ++n) {
            const Fault& fault = kFaults[static_cast<size_t>(n + answer) % std::size(kFaults)];
            World w;
            w.promptAnswer = answer;
            w.calls.failAt = n;
            w.calls.number = fault.number;
            w.calls.description = fault.description;
            const bool ran = w.Click();
            if (w.calls.failed == SIZE_MAX)
                break;  // no call was left to fail
            SCOPED_TRACE((answer == mb::kAnswerYes ? "Yes, call " : "No, call ") + std::to_string(n));
            CheckFailure(w, ran, fault, reference);
        }
        EXPECT_EQ(n, calls + 1);
    }
}

TEST(WorkflowTest, ADeclinedOverwriteOrAReadOnlyFileEndTheRunAndAPressDuringARunIsIgnored) {
    for (const bool readOnly : {false, true}) {
        World w;
        w.fs.readOnly = {readOnly ? LowerAscii(kTarget) : ""};
        w.ui.answers = {readOnly ? mb::kAnswerYes : mb::kAnswerNo};
        EXPECT_TRUE(w.Click());
        EXPECT_EQ(w.ui.boxes.size(), readOnly ? 2u : 1u);
        EXPECT_EQ(w.ui.boxes.back(), readOnly ? Prompt(1, "Create Program List", 70, "Permission denied") : kOverwrite);
        EXPECT_EQ(w.ui.boxStyle, mb::kYesNo | mb::kQuestion);  // the question's, and the prompt's
        EXPECT_EQ(w.fs.Content(kTarget), "earlier file");
        EXPECT_TRUE(w.processes.started.empty());
    }
    World w;
    w.processes.onExit = [&] { w.form.cmdCreate_Click(); };  // the window handles a press while the run waits
    EXPECT_TRUE(w.Click());
    EXPECT_EQ(Count(w.calls.log, "ShowSave") + Count(w.calls.log, "WaitForExit"), 2u);
    EXPECT_FALSE(w.form.Running());
}

// An export that failed, or that was still being written at the bound, is never packed: the editor
// is ended first (or, when the system refuses, the user is asked to close it until it is gone), what
// it wrote is deleted, and the prompt says why. No editor outlives the run, except one that the user
// chose to leave running.
TEST(WorkflowTest, AFailedOrLateExportIsDeletedNotPackedAndTheEditorIsEndedFirst) {
    const std::string late = "The registry export did not finish within 10 minutes";
    const std::string closeIt = CloseEditorText("Permission denied");
    const std::string missing = Prompt(9, "Closedown", 53, "File not found");
    const std::string unfollowed = Prompt(8, "Create Zip File", 70, "Waiting for the registry editor failed: Permission denied");
    struct Case {
        const char* name;
        bool endless;
        std::set<std::string> failing;  // what the system refuses
        uint32_t exitCode;
        bool writes, locked;  // the editor writes the export, and holds it open until it is closed
        std::string prompt;   // empty: the user leaves the editor running at the question
    };
    const Case cases[] = {
        {"exit code 1", false, {}, 1, true, false,
         Prompt(8, "Create Zip File", 75, "The registry editor could not export the registry: it ended with exit code 1")},
        {"no export left", false, {}, 0, false, false,
         Prompt(8, "Create Zip File", 53, "The registry editor left no export at c:\\regbackup.reg")},
        {"late", true, {}, 0, true, false, Prompt(8, "Create Zip File", 75, late)},
        {"late, refused, closed", true, {"Terminate"}, 0, true, false,
         Prompt(8, "Create Zip File", 75, late + ", and the registry editor could not be ended: Permission denied")},
        {"late, refused, left", true, {"Terminate"}, 0, true, false, ""},
        // Neither followed nor ended (the shell gave no handle): gone once its export can be deleted.
        {"unfollowed, done", true, {"WaitForExit", "Terminate"}, 0, true, false, unfollowed},
        {"unfollowed, writing, closed", true, {"WaitForExit", "Terminate"}, 0, true, true, unfollowed},
    };
    for (const Case& c : cases) {
        for (const bool yes : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (yes ? ", Yes" : ", No"));
            World w;
            w.promptAnswer = yes ? mb::kAnswerYes : mb::kAnswerNo;
            w.processes.endless = c.endless;
            w.processes.exitCode = c.exitCode;
            w.processes.onStart = [&w, &c] {
                if (c.writes)
                    w.fs.Put(kRegistryExport, "REGEDIT4 partial");
                if (c.locked)
                    w.fs.open.insert(LowerAscii(kRegistryExport));
            };
            w.processes.onExit = nullptr;
            w.calls.failing = c.failing;
            const bool leave = c.prompt.empty();
            const bool asks = c.failing.count("Terminate") != 0 && (c.failing.count("WaitForExit") == 0 || c.locked);
            w.ui.answer = [&](const std::string& text) {
                if (text == closeIt && !leave) {  // the user closes it, then answers
                    w.processes.endless = false;
                    w.fs.open.erase(LowerAscii(kRegistryExport));
                }
                return text == closeIt ? (leave ? mb::kAnswerNo : mb::kAnswerYes)
                                       : text.starts_with("Error") ? w.promptAnswer : mb::kAnswerYes;
            };
            EXPECT_TRUE(w.Click());
            std::vector<std::string> boxes = {kOverwrite, kStart};
            if (asks)
                boxes.push_back(closeIt);
            if (!leave)
                boxes.push_back(c.prompt);
            if (!leave && yes)
                boxes.insert(boxes.end(), {missing, kFinal});
            EXPECT_EQ(w.ui.boxes, boxes);
            EXPECT_EQ(Count(w.calls.log, "Terminate:30000"), c.endless ? 1u : 0u);
            // The fake cannot see an editor it cannot follow end; the user closed it.
            EXPECT_EQ(w.processes.alive, leave || c.failing.count("WaitForExit") != 0 ? 1 : 0);
            EXPECT_EQ(w.packed.count(kRegistryExport), 0u);
            EXPECT_EQ(w.fs.Content(kRegistryExport),
                      leave ? "REGEDIT4 partial" : yes ? "saved export" : "");  // Yes: the earlier one is restored
            EXPECT_EQ(w.ui.pointers.back() + w.ui.appPointers.back(), 0);
        }
    }
}

// An editor still writing when the user answers No at a later stage, or closes the window while the
// run waits, is ended and its partial export deleted; the run ends there. A window closed at the
// first yield ends the run before any editor starts.
TEST(WorkflowTest, NoAtALaterStageOrAClosedWindowEndsTheRunAndTheEditorWithIt) {
    for (const char* how : {"No in stage 5", "closed while waiting", "closed at the first yield"}) {
        SCOPED_TRACE(how);
        const std::string way = how;
        World w;
        w.processes.endless = true;
        w.processes.onStart = [&w] { w.fs.Put(kRegistryExport, "REGEDIT4 partial"); };
        if (way == "No in stage 5") {
            w.calls.failing = {"SubFolders:C:\\WINDOWS"};
        } else {
            const bool waiting = way == "closed while waiting";
            w.ui.onDoEvents = [&w, waiting] {
                const std::vector<std::string>& log = w.calls.log;
                w.ui.closing = !waiting || log[log.size() - 2].starts_with("WaitForExit");
            };
        }
        EXPECT_TRUE(w.Click());
        const bool early = way == "closed at the first yield";
        std::vector<std::string> boxes = {kOverwrite};
        if (!early)
            boxes.push_back(kStart);
        if (way == "No in stage 5")
            boxes.push_back(Prompt(5, "Support File Windows Folder", 70, "Permission denied"));
        EXPECT_EQ(w.ui.boxes, boxes);
        EXPECT_EQ(w.processes.started.size() + Count(w.calls.log, "Terminate:30000"), early ? 0u : 2u);
        EXPECT_EQ(w.processes.alive, 0);
        EXPECT_FALSE(w.fs.Has(kRegistryExport) || w.fs.Has(kSupportFile));
        EXPECT_EQ(w.ui.pointers.back() + w.ui.appPointers.back(), 0);
        EXPECT_EQ(Count(w.calls.log, "Opened:"), Count(w.calls.log, "Close:"));
    }
}

TEST(WorkflowTest, TheSupportFileNameAndTheLateExportsDescription) {
    const std::pair<const char*, const char*> names[] = {{"r.OVSupport", "r.OVSupport"},
                                                         {"r.ovsupport", "r.ovsupport.OVSupport"},
                                                         {".OVSupport", ".OVSupport"},
                                                         {"OVSupport", "OVSupport.OVSupport"}};
    for (const auto& [target, name] : names)
        EXPECT_EQ(SupportFileName(target), name);
    const std::pair<uint32_t, const char*> bounds[] = {
        {600000, "10 minutes"}, {60000, "1 minute"}, {90000, "90 seconds"}, {1000, "1 second"}, {2500, "2 seconds"}};
    for (const auto& [ms, text] : bounds)
        EXPECT_EQ(RegistryExportLateText(ms), std::string("The registry export did not finish within ") + text);
}

}  // namespace
}  // namespace ost::test
