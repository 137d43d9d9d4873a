// The program's start: frmMain is loaded and shown, and its event loop runs until it is closed.
#include <windows.h>

#include <objbase.h>

#include "app/frm_main.h"
#include "archive/xw_un_zip_module.h"
#include "platform/error.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/library_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/main_window.h"
#include "platform/win32/process_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/system_info_win32.h"
#include "platform/win32/text.h"
#include "platform/win32/ui_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace ost;
    // WIC, which decodes the window's pictures, needs COM on this thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int exitCode = 0;
    try {
        win::Win32SystemInfoSource systemSource;
        win::MainWindow window(instance);
        win::Win32Ui ui(window);
        win::Win32Locale locale;
        // zip32.dll and unzip32.dll are found by name, beside the program, on first use.
        win::Win32LibraryLoader libraries;
        XW_UN_ZIP_Module archiveModule(ui, locale, libraries);
        win::Win32FileSystem fileSystem(locale);
        win::Win32Registry registry;
        win::Win32ProcessLauncher processes;
        AppServices services{ui, fileSystem, registry, locale, processes, systemSource};
        frmMain form(services, window);
        form.Form_Load();
        window.OnCreateClick([&form] { form.cmdCreate_Click(); });
        window.Show(showCommand);
        MSG msg;
        // A window closed during a run ends the program once the run has returned here.
        while (!ui.Closing() && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
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
