#include "app/frm_main.h"

#include <utility>

namespace ost {

std::string SystemSummaryText(const cSystemInfo& info) {
    std::string text = "Windows Version : " + info.WinName();
    text += "\r\n" + info.WinVersion();
    text += "\r\nIE Version : " + info.IEVersion();
    text += "\r\nCPU : " + info.CPUVersion();
    text += "\r\nFree Memory : " + std::to_string(info.MemoryFree());
    text += "\r\nTotal Memory : " + std::to_string(info.MemoryTotal());
    return text;
}

frmMain::frmMain(ISystemInfoSource& systemSource, IMainWindow& window) : systemSource_(systemSource), window_(window) {}

void frmMain::Form_Load() {
    window_.lblSysInfo().SetCaption(SystemSummaryText(SystemInfo()));
}

void frmMain::cmdCreate_Click() {
    if (createHandler_)
        createHandler_();
}

cSystemInfo& frmMain::SystemInfo() {
    if (!systemInfo_)
        systemInfo_ = std::make_unique<cSystemInfo>(systemSource_);
    return *systemInfo_;
}

}  // namespace ost
