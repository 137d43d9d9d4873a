#include "platform/win32/ui_win32.h"

#include "platform/win32/text.h"

namespace ost::win {

int32_t Win32Ui::MsgBox(const std::string& text, int32_t style, const std::string& title) {
    HWND owner = ::IsWindow(window_.Hwnd()) ? window_.Hwnd() : nullptr;
    return ::MessageBoxW(owner, Widen(text).c_str(), Widen(title.empty() ? kAppTitle : title).c_str(),
                         static_cast<UINT>(style));
}

void Win32Ui::SetAppMousePointer(int32_t pointer) {
    window_.SetAppPointer(pointer);
}

void Win32Ui::DoEvents() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

ScreenMetrics Win32Ui::Screen() {
    HDC screen = ::GetDC(nullptr);
    const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    ScreenMetrics m;
    m.twipsPerPixelX = dpiX > 0 ? 1440 / dpiX : 0;
    m.twipsPerPixelY = dpiY > 0 ? 1440 / dpiY : 0;
    m.widthTwips = ::GetSystemMetrics(SM_CXSCREEN) * m.twipsPerPixelX;
    m.heightTwips = ::GetSystemMetrics(SM_CYSCREEN) * m.twipsPerPixelY;
    return m;
}

void Win32Ui::EndProgram() {
    ::ExitProcess(0);
}

}  // namespace ost::win
