#include "app/frm_main.h"

#include "app/report_layout.h"
#include "app/workflow.h"
#include "inspect/drive_listing.h"

namespace ost {

std::string SystemSummaryText(const cSystemInfo& info) {
    using namespace report;
    std::string text = kWinNameLabel + info.WinName();
    text += kCrLf + info.WinVersion();
    text += kCrLf + kIeLabel + info.IEVersion();
    text += kCrLf + kCpuLabel + info.CPUVersion();
    text += kCrLf + kFreeMemoryLabel + std::to_string(info.MemoryFree());
    text += kCrLf + kTotalMemoryLabel + std::to_string(info.MemoryTotal());
    return text;
}

frmMain::frmMain(AppServices& services, IMainWindow& window) : services_(services), window_(window) {}

void frmMain::Form_Load() {
    window_.lblSysInfo().SetCaption(SystemSummaryText(SystemInfo()));
}

void frmMain::cmdCreate_Click() {
    if (running_)
        return;
    running_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};
    SupportFileWorkflow(*this).Run();
}

std::string frmMain::ExportDriveListings() {
    return ost::ExportDriveListings(services_.fs, services_.locale);
}

cSystemInfo& frmMain::SystemInfo() {
    if (!systemInfo_)
        systemInfo_ = std::make_unique<cSystemInfo>(services_.systemInfo);
    return *systemInfo_;
}

}  // namespace ost
