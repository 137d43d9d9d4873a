// The support-file workflow behind the Create button: save dialog, programs list, registry
// export, report, packing into the .OVSupport file, clean-up and the final message, in nine
// stages. Every step is one operation: a failure shows the error prompt naming the stage, and the
// user decides whether the run goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/operations.h"
#include "app/report_writer.h"
#include "platform/filesystem.h"
#include "platform/process.h"

namespace ost {

class frmMain;
class XWZipFiles;

namespace workflow {
inline constexpr const char* kFilter = "Orlavent Support File|*.OVSupport";
inline constexpr const char* kExtension = ".OVSupport";
inline constexpr const char* kProgramList = "c:\\progs.txt";
inline constexpr const char* kReport = "c:\\ovsupport.txt";
inline constexpr const char* kRegistryExport = "c:\\regbackup.reg";
inline constexpr const char* kRegistryRestore = "c:\\regbackup1.reg";
inline constexpr const char* kReportRestore = "c:\\ovsupport1.txt";
// Where the final message tells the user to send the support file.
inline constexpr const char* kSupportAddress = "support@orlavent.example";
// How long the run waits for the registry editor to finish its export before packing.
inline constexpr uint32_t kRegistryExportBoundMs = 10 * 60 * 1000;
// How long the run waits for the registry editor to be gone once it has ended it.
inline constexpr uint32_t kRegistryEditorEndBoundMs = 30 * 1000;
inline constexpr int32_t kMinimizedFocus = 2;

// The support file's name: the target itself when it ends in ".OVSupport" (compared case by
// case), otherwise the target with ".OVSupport" added.
std::string SupportFileName(const std::string& target);
// The error description when the registry export is still running after `boundMs`: "The registry
// export did not finish within 10 minutes" (whole minutes, otherwise seconds).
std::string RegistryExportLateText(uint32_t boundMs);
// The question shown while a registry editor that the run cannot end may still write the export;
// `refused` is the system's reason.
std::string CloseEditorText(const std::string& refused);
// The text of the error prompt for a failure in a stage.
std::string PromptText(int16_t stage, const std::string& stageName, int32_t number, const std::string& description);
}  // namespace workflow

class SupportFileWorkflow final : private IOperations {
  public:
    // `registryExportBoundMs`: how long stage 8 waits for the registry editor before it asks.
    explicit SupportFileWorkflow(frmMain& form, uint32_t registryExportBoundMs = workflow::kRegistryExportBoundMs);
    ~SupportFileWorkflow() override;

    // One whole run, from the save dialog to the final message. Returns when the run ends in any
    // of its ways; never raises.
    void Run();

  private:
    void Steps();
    void Stage(int16_t number, const char* name);
    // Waits for the registry editor (when it was started) to finish its export, with the window
    // handling its messages. Returns when the editor ended by itself with exit code 0 and left its
    // export: the export is whole. Otherwise nothing of the export stays to be packed, and the failure is raised: the
    // exit code, or the wait's error or "did not finish", once the editor has been ended (joined
    // by the reason when the user had to close it). A window closed meanwhile ends the run.
    void AwaitRegistryExport();
    // Ends the run's registry editor and deletes the export it leaves. When the system does not
    // let the tool end it, asks the user to close it until it is gone (No ends the run: RunAborted).
    // Returns the system's reason when the user had to close it, empty otherwise.
    std::string EndRegistryEditor();
    // At the end of a run that stops early: a registry editor still running is ended as above.
    void StopRegistryEditor();
    // Deletes the export when it is there; false when it is there and cannot be deleted.
    bool DiscardExport();
    // One pass of the event loop while the run waits; a window closed meanwhile ends the run.
    void Yield();
    // IOperations: one step, with its failure going to the error prompt.
    void Run(const std::function<void()>& operation) override;
    bool Test(const std::function<bool()>& test) override;
    // Shows the prompt for a failure; returns when the user goes on, throws RunAborted otherwise.
    void Prompt(int32_t number, const std::string& description);
    void ReleaseStreams();

    frmMain& form_;
    uint32_t registryExportBoundMs_;
    int16_t stage_ = 0;
    std::string stageName_;
    ReportWriter writer_;
    std::unique_ptr<ITextStream> report_;
    std::unique_ptr<ITextStream> programs_;
    std::unique_ptr<IChildProcess> registryEditor_;
    bool exportWhole_ = false;  // the editor ended by itself with exit code 0 and left its export
};

}  // namespace ost
