// Application-wide window operations over user32.
#pragma once

#include "platform/ui.h"
#include "platform/win32/main_window.h"

namespace ost::win {

class Win32Ui final : public IUi {
  public:
    explicit Win32Ui(MainWindow& window) : window_(window) {}

    int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) override;
    void SetAppMousePointer(int32_t pointer) override;
    void DoEvents() override;
    ScreenMetrics Screen() override;
    [[noreturn]] void EndProgram() override;

  private:
    MainWindow& window_;
};

}  // namespace ost::win
