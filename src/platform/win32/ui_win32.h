// Application-wide window operations over user32.
#pragma once

#include "platform/ui.h"
#include "platform/win32/main_window.h"

namespace ost::win {

// The controls of the input box, so that a robot or a screen reader can find them. Its buttons are
// IDOK and IDCANCEL.
inline constexpr int kIdInputPrompt = 201;
inline constexpr int kIdInputText = 202;

class Win32Ui final : public IUi {
  public:
    explicit Win32Ui(MainWindow& window) : window_(window) {}

    int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) override;
    // A dialog built at run time, centred on the screen: the prompt, OK and Cancel beside it, the
    // edit box below with its text selected. Raises AppError when the dialog cannot be created.
    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) override;
    void SetAppMousePointer(int32_t pointer) override;
    // Takes the quit message that closing the window leaves, and keeps it for Closing: a quit
    // message left in the queue would wake every wait for messages at once, again and again.
    void DoEvents() override;
    bool Closing() const override { return closing_; }
    ScreenMetrics Screen() override;
    [[noreturn]] void EndProgram() override;

  private:
    MainWindow& window_;
    bool closing_ = false;
};

}  // namespace ost::win
