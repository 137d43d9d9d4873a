// The Win32 form of frmMain: a fixed window with the background picture, the transparent summary
// label (a STATIC), the picture button and the list box (a LISTBOX) outside the client area.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/ui.h"
#include "platform/win32/pictures.h"
#include "platform/win32/unique_handle.h"

namespace ost::win {

inline constexpr wchar_t kMainWindowClass[] = L"OrlaventSupportTool.frmMain";
inline constexpr wchar_t kPictureButtonClass[] = L"OrlaventSupportTool.PictureButton";

// Control identifiers, so that a robot or a screen reader can find each control.
inline constexpr int kIdLabel = 101;
inline constexpr int kIdButton = 102;
inline constexpr int kIdList = 103;

class MainWindow final : public IMainWindow, ILabel, IListBox, ICommonDialog {
  public:
    // Creates the window, hidden, with its controls. Throws AppError when the window system fails.
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND Hwnd() const { return hwnd_; }
    void Show(int showCommand);
    // Called for each click of cmdCreate, on the window's thread. Exceptions never leave the
    // window procedure: one that reaches it is shown in a message box.
    void OnCreateClick(std::function<void()> handler) { onCreate_ = std::move(handler); }
    // The application-wide pointer, which wins over the window's own while it is not the default.
    void SetAppPointer(int32_t pointer);

    // IMainWindow
    ILabel& lblSysInfo() override { return *this; }
    IListBox& lstPrograms() override { return *this; }
    ICommonDialog& CommonDialog() override { return *this; }
    void SetMousePointer(int32_t pointer) override;

  private:
    // ILabel
    void SetCaption(const std::string& text) override;
    std::string Caption() const override;
    // IListBox
    void Clear() override;
    void AddItem(const std::string& item) override;
    // ICommonDialog
    void SetFilter(const std::string& filter) override;
    void ShowSave() override;
    std::string FileName() const override;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void PaintButton(HWND button);
    void RaiseCreateClick();
    bool ApplyPointer();

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND label_ = nullptr;
    HWND button_ = nullptr;
    HWND list_ = nullptr;
    Picture skin_;
    Picture buttonPicture_;
    UniqueGdiObject skinBrush_;
    UniqueGdiObject labelFont_;
    UniqueHIcon bigIcon_;
    UniqueHIcon smallIcon_;
    std::function<void()> onCreate_;
    std::wstring filter_;
    std::string fileName_;
    int32_t windowPointer_ = kPointerDefault;
    int32_t appPointer_ = kPointerDefault;
    bool buttonPressed_ = false;
};

}  // namespace ost::win
