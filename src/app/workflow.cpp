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
        zip_.reset();
        form_.Window().SetMousePointer(kPointerDefault);
        s.ui.SetAppMousePointer(kPointerDefault);
    }
    ReleaseStreams();
    s.fs.ForgetTreeSizes();
}

void SupportFileWorkflow::Stage(int16_t number, const char* name) {
    stage_ = number;
    stageName_ = name;
}

void SupportFileWorkflow::Run(const std::function<void()>& operation) {
    try {
        operation();
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

void SupportFileWorkflow::AwaitRegistryExport() {
    const std::unique_ptr<IChildProcess> editor = std::move(registryEditor_);
    if (!editor)
        return;
    AppError stopped(err::kPathFileAccess, RegistryExportLateText(registryExportBoundMs_));
    try {
        if (editor->WaitForExit(registryExportBoundMs_, [this] { form_.Services().ui.DoEvents(); }))
            return;
    } catch (const std::exception&) {
        stopped = Explained("Waiting for the registry editor failed: ");
    }
    // The editor is ended before the prompt, so that nothing is written once the run has stopped
    // waiting: Yes packs what the editor wrote and stage 9 deletes it, No leaves no export growing
    // at the root of drive C.
    try {
        editor->Terminate(kRegistryEditorEndBoundMs);
    } catch (const std::exception&) {
        throw Explained(stopped.Description() + ", and the registry editor could not be ended: ");
    }
    throw stopped;
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
    Run([&] { zip_ = std::make_unique<XWZipFiles>(); });
    auto zip = [&]() -> XWZipFiles& {
        if (!zip_)
            throw MakeError(err::kObjectNotSet, {}, "the zip builder could not be created");
        return *zip_;
    };
    Run([&] { zip().ZipFileName(SupportFileName(target)); });
    Run([&] { zip().RecurseFolders(false); });
    Run([&] { zip().UpdatingZip(false); });
    Run([&] { zip().AddFile(kReport); });
    Run([&] { zip().AddFile(kRegistryExport); });
    bool packingFailed = false;
    if (Test([&] { return zip().MakeZipFile() != 0; })) {
        packingFailed = true;
        Run([&] {
            s.ui.MsgBox("An Error Occured While Creating Support File\r\n" + zip().GetLastMessage(), mb::kOkOnly,
                        kAppTitle);
        });
    }
    zip_.reset();

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
