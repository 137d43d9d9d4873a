// frmMain: the tool's one window, described by its layout and its two event handlers. The window
// system draws it (platform/win32/main_window.cpp); this class decides what it shows and does.
#pragma once

#include <memory>
#include <string>

#include "app/services.h"
#include "inspect/system_info.h"
#include "platform/ui.h"

namespace ost {

inline constexpr const char* kWindowTitle = "Orlavent Support Tool";
inline constexpr int kTwipsPerPixel = 15;  // the 96 dpi setting the layout is drawn for

// A control's rectangle in twips, and the same in pixels.
struct ControlRect {
    int left, top, width, height;
    constexpr int LeftPx() const { return left / kTwipsPerPixel; }
    constexpr int TopPx() const { return top / kTwipsPerPixel; }
    constexpr int WidthPx() const { return width / kTwipsPerPixel; }
    constexpr int HeightPx() const { return height / kTwipsPerPixel; }
};

// The layout, controls listed from front to back.
namespace layout {
inline constexpr int kClientWidth = 3735;   // 249 pixels
inline constexpr int kClientHeight = 4485;  // 299 pixels
inline constexpr ControlRect lstPrograms{6060, 3795, 3015, 2205};
inline constexpr ControlRect cmdCreate{780, 2100, 2250, 1500};
inline constexpr ControlRect lblSysInfo{210, 390, 3330, 2250};
inline constexpr ControlRect imgSkin{0, 0, 3750, 4500};
// lblSysInfo's font: Arial 8.25 points, weight 400, character set 0, white, centred.
inline constexpr const char* kLabelFontName = "Arial";
inline constexpr double kLabelFontPoints = 8.25;
}  // namespace layout

// The six-line summary of the machine: name, version, IE, CPU, free and total memory, joined by
// CR LF with none after the last line. Reads the properties in that order.
std::string SystemSummaryText(const cSystemInfo& info);

class frmMain {
  public:
    frmMain(AppServices& services, IMainWindow& window);

    // Window load, before the window is first shown: sets lblSysInfo's caption once.
    void Form_Load();
    // The click of cmdCreate: runs the support-file workflow. A press while a run is in progress
    // (the window handles messages at the run's yields) is ignored.
    void cmdCreate_Click();
    bool Running() const { return running_; }

    // The drive listing of this machine, one line per drive (never fails).
    std::string ExportDriveListings();
    // The window's one probe, created on first use and kept for the window's life.
    cSystemInfo& SystemInfo();
    IMainWindow& Window() { return window_; }
    AppServices& Services() { return services_; }

  private:
    AppServices& services_;
    IMainWindow& window_;
    std::unique_ptr<cSystemInfo> systemInfo_;
    bool running_ = false;
};

}  // namespace ost
