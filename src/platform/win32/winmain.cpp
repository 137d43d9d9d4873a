// The program's start: frmMain is loaded and shown, and its event loop runs until it is closed.
#include <windows.h>

#include <objbase.h>

#include "app/frm_main.h"
#include "platform/error.h"
#include "platform/win32/main_window.h"
#include "platform/win32/system_info_win32.h"
#include "platform/win32/text.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace ost;
    // WIC, which decodes the window's pictures, needs COM on this thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int exitCode = 0;
    try {
        win::Win32SystemInfoSource systemSource;
        win::MainWindow window(instance);
        frmMain form(systemSource, window);
        form.Form_Load();
        window.OnCreateClick([&form] { form.cmdCreate_Click(); });
        window.Show(showCommand);
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    } catch (const std::exception& e) {
        ::MessageBoxW(nullptr, win::Widen(e.what()).c_str(), win::Widen(kAppTitle).c_str(), MB_OK | MB_ICONERROR);
        exitCode = 1;
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return exitCode;
}
