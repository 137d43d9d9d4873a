// The window system as the program uses it: the main window's controls, message boxes, pointers,
// the event loop and the screen.
#pragma once

#include <cstdint>
#include <string>

namespace ost {

// Message box style codes and answers (the Windows values).
namespace mb {
inline constexpr int32_t kOkOnly = 0;
inline constexpr int32_t kYesNoCancel = 3;
inline constexpr int32_t kYesNo = 4;
inline constexpr int32_t kQuestion = 0x20;
inline constexpr int32_t kExclamation = 0x30;
inline constexpr int32_t kInformation = 0x40;
inline constexpr int32_t kAnswerOk = 1;
inline constexpr int32_t kAnswerCancel = 2;
inline constexpr int32_t kAnswerYes = 6;
inline constexpr int32_t kAnswerNo = 7;
}  // namespace mb

// Mouse pointer codes.
inline constexpr int32_t kPointerDefault = 0;
inline constexpr int32_t kPointerHourglass = 11;

// The title every box of the program carries unless it is given another.
inline constexpr const char* kAppTitle = "OrlaventSupportTool";

class ILabel {
  public:
    virtual ~ILabel() = default;
    virtual void SetCaption(const std::string& text) = 0;
    virtual std::string Caption() const = 0;
};

// A plain, unsorted list box.
class IListBox {
  public:
    virtual ~IListBox() = default;
    virtual void Clear() = 0;
    virtual void AddItem(const std::string& item) = 0;  // appended at the end
};

// The save half of a common file dialog.
class ICommonDialog {
  public:
    virtual ~ICommonDialog() = default;
    // "Description|pattern" pairs joined by "|".
    virtual void SetFilter(const std::string& filter) = 0;
    // Shows the modal save dialog; afterwards FileName() is the chosen path, or empty on cancel.
    virtual void ShowSave() = 0;
    virtual std::string FileName() const = 0;
};

// The main window's controls and pointer, as frmMain and the workflow reach them.
class IMainWindow {
  public:
    virtual ~IMainWindow() = default;
    virtual ILabel& lblSysInfo() = 0;
    virtual IListBox& lstPrograms() = 0;
    virtual ICommonDialog& CommonDialog() = 0;
    virtual void SetMousePointer(int32_t pointer) = 0;
};

struct ScreenMetrics {
    int32_t widthTwips = 0;
    int32_t heightTwips = 0;
    int32_t twipsPerPixelX = 0;
    int32_t twipsPerPixelY = 0;
};

// Application-wide window operations.
class IUi {
  public:
    virtual ~IUi() = default;
    // A modal box; `style` is the Windows code (buttons + icon). Returns the answer code.
    virtual int32_t MsgBox(const std::string& text, int32_t style, const std::string& title = kAppTitle) = 0;
    // A modal box that asks for one line of text: `prompt`, an edit box holding `defaultText`, OK
    // and Cancel, owned by the main window. Returns the text in the box when the user presses OK,
    // and the empty text when the user cancels or closes the box.
    virtual std::string InputBox(const std::string& prompt,
                                 const std::string& title = kAppTitle,
                                 const std::string& defaultText = {}) = 0;
    virtual void SetAppMousePointer(int32_t pointer) = 0;
    // Processes the window messages that are waiting, then returns.
    virtual void DoEvents() = 0;
    // True once the main window was closed while messages were processed in DoEvents: the code
    // that runs should end, and the program ends when it is back in its event loop.
    virtual bool Closing() const { return false; }
    virtual ScreenMetrics Screen() = 0;
    // Ends the program at once: no further code of the caller runs, no prompt is shown.
    [[noreturn]] virtual void EndProgram() = 0;
};

}  // namespace ost
