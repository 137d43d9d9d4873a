#include "app/workflow.h"

#include "app/frm_main.h"
#include "archive/xw_zip_files.h"
#include "inspect/mod_general.h"
#include "platform/error.h"

namespace ost {

namespace workflow {

std::string SupportFileName(const std::string& target) {
    const std::string extension = kExtension;
    if (target.size() >= extension.size() &&
        target.compare(target.size() - extension.size(), extension.size(), extension) == 0)
        return target;
    return target + extension;
}

std::string PromptText(int16_t stage, const std::string& stageName, int32_t number, const std::string& description) {
    return "Error Creating Support File at Stage " + std::to_string(stage) + "(" + stageName + ")" + " : " +
           std::to_string(number) + " - " + description + "\r\n\r\n" + "Do you wish to continue?";
}

std::string CloseEditorText(const std::string& refused) {
    return std::string("The registry editor is still writing ") + kRegistryExport +
           ", and it cannot be ended: " + refused +
           "\r\n\r\nClose the registry editor, then answer Yes. No stops the run.";
}

std::string RegistryExportLateText(uint32_t boundMs) {
    const uint32_t seconds = boundMs / 1000;
    const bool minutes = seconds >= 60 && seconds % 60 == 0;
    const uint32_t count = minutes ? seconds / 60 : seconds;
    return "The registry export did not finish within " + std::to_string(count) + (minutes ? " minute" : " second") +
           (count == 1 ? "" : "s");
}

}  // namespace workflow

using namespace workflow;

SupportFileWorkflow::SupportFileWorkflow(frmMain& form, uint32_t registryExportBoundMs)
    : form_(form),
      registryExportBoundMs_(registryExportBoundMs),
      writer_(
          form.Services().fs,
          form.Services().locale,
          {[&form] { return form.Window().lblSysInfo().Caption(); }, [&form] { return form.Services().ui.Screen(); },
           [&form] { return form.ExportDriveListings(); }, [&form] { return form.SystemInfo().WinName(); }}) {}

SupportFileWorkflow::~SupportFileWorkflow() = default;

void SupportFileWorkflow::Run() {
    AppServices& s = form_.Services();
    s.fs.ForgetTreeSizes();  // folder sizes are measured afresh for every run
    try {
        Steps();
    } catch (const RunAborted&) {
        ReleaseStreams();
        StopRegistryEditor();
        form_.Window().SetMousePointer(kPointerDefault);
        s.ui.SetAppMousePointer(kPointerDefault);
    }
    s.fs.ForgetTreeSizes();
}

void SupportFileWorkflow::Stage(int16_t number, const char* name) {
    stage_ = number;
    stageName_ = name;
}

void SupportFileWorkflow::Run(const std::function<void()>& operation) {
    try {
        operation();
        if (form_.Services().ui.Closing())
            throw RunAborted{};  // the window was closed while the operation let messages through
    } catch (const RunAborted&) {
        throw;
    } catch (const AppError& e) {
        Prompt(e.Number(), e.Description());
    } catch (const std::bad_alloc&) {
        Prompt(err::kOutOfMemory, std::string(ClassicDescription(err::kOutOfMemory)));
    } catch (const std::exception& e) {
        Prompt(err::kInvalidCall, e.what());
    }
}

bool SupportFileWorkflow::Test(const std::function<bool()>& test) {
    bool passed = true;  // a failed test that the user passes over lets its guarded steps run
    Run([&] { passed = test(); });
    return passed;
}

void SupportFileWorkflow::Prompt(int32_t number, const std::string& description) {
    if (form_.Services().ui.Closing())
        throw RunAborted{};
    const int32_t answer = form_.Services().ui.MsgBox(PromptText(stage_, stageName_, number, description),
                                                      mb::kYesNo | mb::kQuestion, kAppTitle);
    if (answer != mb::kAnswerYes)
        throw RunAborted{};
}

void SupportFileWorkflow::ReleaseStreams() {
    writer_.SetStreams(nullptr, nullptr);
    programs_.reset();
    report_.reset();
}

namespace {

// The exception being handled, as an AppError whose description begins with `what`.
AppError Explained(const std::string& what) {
    const AppError error = CurrentError();
    return AppError(error.Number(), what + error.Description());
}

}  // namespace

void SupportFileWorkflow::Yield() {
    form_.Services().ui.DoEvents();
    if (form_.Services().ui.Closing())
        throw RunAborted{};
}

void SupportFileWorkflow::AwaitRegistryExport() {
    if (!registryEditor_)
        return;  // it did not start, and stage 2 said so
    AppError failure(err::kPathFileAccess, RegistryExportLateText(registryExportBoundMs_));
    bool ended = false;
    try {
        ended = registryEditor_->WaitForExit(registryExportBoundMs_, [this] { Yield(); });
    } catch (const RunAborted&) {
        throw;
    } catch (const std::exception&) {
        failure = Explained("Waiting for the registry editor failed: ");
    }
    if (!ended) {
        const std::string refused = EndRegistryEditor();
        if (!refused.empty() && failure.Description().find(refused) == std::string::npos)
            throw AppError(failure.Number(), failure.Description() + ", and the registry editor could not be ended: " + refused);
        throw failure;
    }
    const std::unique_ptr<IChildProcess> editor = std::move(registryEditor_);
    uint32_t code = 0;
    try {
        code = editor->ExitCode();
    } catch (const std::exception&) {
        const AppError unread = Explained("The registry editor's exit code could not be read: ");
        DiscardExport();
        throw unread;
    }
    if (code != 0) {
        DiscardExport();
        throw AppError(err::kPathFileAccess,
                       "The registry editor could not export the registry: it ended with exit code " + std::to_string(code));
    }
    // Some editors say nothing by their exit code when they cannot write the file.
    if (!form_.Services().fs.FileExists(kRegistryExport))
        throw AppError(err::kFileNotFound, std::string("The registry editor left no export at ") + kRegistryExport);
    exportWhole_ = true;
}

std::string SupportFileWorkflow::EndRegistryEditor() {
    const std::unique_ptr<IChildProcess> editor = std::move(registryEditor_);
    std::string refused;
    try {
        editor->Terminate(kRegistryEditorEndBoundMs);
    } catch (const std::exception&) {
        refused = CurrentError().Description();
        // Gone: it has ended, or, when it cannot be followed, the export it wrote can be deleted.
        auto gone = [&] {
            try {
                return editor->WaitForExit(0, {});
            } catch (const std::exception&) {
                return DiscardExport();
            }
        };
        while (!gone()) {
            if (form_.Services().ui.MsgBox(CloseEditorText(refused), mb::kYesNo | mb::kQuestion, kAppTitle) !=
                mb::kAnswerYes)
                throw RunAborted{};
        }
    }
    DiscardExport();
    return refused;
}

bool SupportFileWorkflow::DiscardExport() {
    IFileSystem& fs = form_.Services().fs;
    try {
        if (fs.FileExists(kRegistryExport))
            fs.DeleteFile(kRegistryExport, true);
        return true;
    } catch (const std::exception&) {
        return false;  // still open, or locked: the caller knows the export stays
    }
}

void SupportFileWorkflow::StopRegistryEditor() {
    if (!registryEditor_)
        return;
    bool ended = false;
    try {
        ended = registryEditor_->WaitForExit(0, {});
    } catch (const std::exception&) {
    }
    try {
        if (ended)
            registryEditor_.reset();  // it finished by itself: what it wrote stays, as every temporary file does
        else
            EndRegistryEditor();
    } catch (const RunAborted&) {
        // The user chose to leave it running: the run ends all the same.
    }
}

void SupportFileWorkflow::Steps() {
    AppServices& s = form_.Services();
    IMainWindow& window = form_.Window();
    ICommonDialog& dialog = window.CommonDialog();

    Run([&] { dialog.SetFilter(kFilter); });
    Run([&] { dialog.ShowSave(); });

    Stage(1, "Create Program List");
    Run([&] { modGeneral::ExportProgramList(window.lstPrograms(), s.fs, s.registry, s.locale, s.ui); });
    std::string target;
    Run([&] { target = dialog.FileName(); });
    if (target.empty())
        return;  // cancelled
    if (Test([&] { return s.fs.FileExists(target); })) {
        int32_t answer = mb::kAnswerYes;
        Run([&] {
            answer = s.ui.MsgBox("Do you want to overwrite the existing file ?", mb::kYesNo | mb::kQuestion, kAppTitle);
        });
        if (answer == mb::kAnswerNo)
            return;
        Run([&] { s.fs.DeleteFile(target, false); });
    }
    Run([&] { window.SetMousePointer(kPointerHourglass); });
    if (Test([&] { return s.fs.FileExists(kRegistryExport); }))
        Run([&] { s.fs.DeleteFile(kRegistryExport, true); });
    if (Test([&] { return s.fs.FileExists(kReport); }))
        Run([&] { s.fs.DeleteFile(kReport, true); });
    Run([&] { s.ui.SetAppMousePointer(kPointerHourglass); });
    Run([&] { s.ui.DoEvents(); });
    Run([&] {
        s.ui.MsgBox(
            "The Support will now collect relevant System Information\r\n\r\n"
            "Please be Patient as this may take Several Minurtes",
            mb::kOkOnly | mb::kInformation, kAppTitle);
    });

    Stage(2, "Registry Backup");
    std::string command;
    Run([&] {
        const std::string windows = s.fs.GetSpecialFolder(SpecialFolder::Windows)->Path();
        command =
            windows + (!windows.empty() && windows.back() == '\\' ? "" : "\\") + "Regedit.exe /e " + kRegistryExport;
    });
    Run([&] { registryEditor_ = s.processes.Start(command, kMinimizedFocus); });
    Run([&] { s.ui.DoEvents(); });

    Stage(3, "Create Support File");
    Run([&] { report_ = s.fs.OpenTextFile(kReport, IoMode::ForWriting, true, 0); });
    Run([&] { programs_ = s.fs.OpenTextFile(kProgramList, IoMode::ForReading, false, 0); });
    writer_.SetStreams(report_.get(), programs_.get());

    Stage(4, "Support File Basic Info");
    writer_.BasicInfo(*this);
    Stage(5, "Support File Windows Folder");
    writer_.WindowsFolder(*this);
    Stage(6, "Support File System Folder");
    writer_.SystemFolder(*this);
    Stage(7, "Support File Pebblework Folder");
    writer_.PebbleworkFolder(*this);

    Stage(8, "Create Zip File");
    Run([&] { AwaitRegistryExport(); });
    bool packingFailed = false;
    {  // the zip builder lives for the rest of this stage
        std::unique_ptr<XWZipFiles> builder;
        Run([&] { builder = std::make_unique<XWZipFiles>(); });
        auto zip = [&]() -> XWZipFiles& {
            if (!builder)
                throw MakeError(err::kObjectNotSet, {}, "the zip builder could not be created");
            return *builder;
        };
        Run([&] { zip().ZipFileName(SupportFileName(target)); });
        Run([&] { zip().RecurseFolders(false); });
        Run([&] { zip().UpdatingZip(false); });
        Run([&] { zip().AddFile(kReport); });
        if (exportWhole_)  // a failed or cut export is never packed
            Run([&] { zip().AddFile(kRegistryExport); });
        if (Test([&] { return zip().MakeZipFile() != 0; })) {
            packingFailed = true;
            Run([&] {
                s.ui.MsgBox("An Error Occured While Creating Support File\r\n" + zip().GetLastMessage(), mb::kOkOnly,
                            kAppTitle);
            });
        }
    }

    Stage(9, "Closedown");
    writer_.SetStreams(nullptr, nullptr);
    Run([&] { programs_.reset(); });
    Run([&] { report_.reset(); });
    Run([&] { s.fs.DeleteFile(kProgramList, true); });
    Run([&] { s.fs.DeleteFile(kReport, true); });
    Run([&] { s.fs.DeleteFile(kRegistryExport, true); });
    if (Test([&] { return s.fs.FileExists(kRegistryRestore); }))
        Run([&] { s.fs.MoveFile(kRegistryRestore, kRegistryExport); });
    if (Test([&] { return s.fs.FileExists(kReportRestore); }))
        Run([&] { s.fs.MoveFile(kReportRestore, kReport); });
    Run([&] { window.SetMousePointer(kPointerDefault); });
    Run([&] { s.ui.SetAppMousePointer(kPointerDefault); });
    if (!packingFailed) {
        Run([&] {
            s.ui.MsgBox(std::string("Support File Created Sucessfully.\r\n\r\nPlease email this file to ") +
                            kSupportAddress + " with an accurate description of your problem.",
                        mb::kOkOnly, kAppTitle);
        });
    }
}

}  // namespace ost
