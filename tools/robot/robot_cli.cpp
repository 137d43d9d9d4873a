// ost_robot: the UI robot as a command, for scripts/run.
//   ost_robot start TOOL.exe   starts the tool, waits (bounded) until its window is painted, and
//                              leaves it running; prints the process id.
//   ost_robot close            closes the tool's window and waits (bounded) for the process to end.
//   ost_robot create TOOL.exe TARGET SHOTS
//                              starts the tool and makes a support file the way a person would:
//                              presses Create, saves to TARGET, answers the overwrite question
//                              with Yes, closes each message with OK and prints its text; saves
//                              screenshots (BMP) of the window and of each message into the folder
//                              SHOTS; closes the tool. Succeeds when the final message says so.
// Exit status 0 on success, 1 with a message on standard error otherwise.
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <set>
#include <string>

#include "robot.h"

namespace {

using namespace ost::robot;

// Painted: the client area shows many colours (the background picture, the button, the text).
bool Painted(HWND window) {
    const Image shot = CaptureClient(window);
    std::set<uint32_t> colours;
    for (size_t i = 0; i < shot.pixels.size() && colours.size() < 200; i += 7)
        colours.insert(shot.pixels[i] & 0xFFFFFF);
    return colours.size() >= 200;
}

int Start(const std::wstring& exe) {
    ToolProcess tool(exe);
    if (tool.Main() == nullptr) {
        std::fprintf(stderr, "ost_robot: the tool's window did not appear\n");
        return 1;
    }
    if (!WaitUntil([&] { return Painted(tool.Main()); }, 30000)) {
        std::fprintf(stderr, "ost_robot: the window appeared but was not painted\n");
        return 1;
    }
    tool.Detach();
    std::printf("started %lu\n", static_cast<unsigned long>(tool.Pid()));
    return 0;
}

int Create(const std::wstring& exe, const std::wstring& target, const std::wstring& shots) {
    ToolProcess tool(exe);
    if (tool.Main() == nullptr || !WaitUntil([&] { return Painted(tool.Main()); }, 30000)) {
        std::fprintf(stderr, "ost_robot: the tool's window did not appear\n");
        return 1;
    }
    SaveBmp(CaptureScreen(), shots + L"\\window.bmp");
    Click(::GetDlgItem(tool.Main(), 102));
    const Dialog save = WaitForDialog(tool.Pid());
    if (!save || !SaveAs(save, target)) {
        std::fprintf(stderr, "ost_robot: the save dialog did not take the file name\n");
        return 1;
    }
    int shot = 0;
    std::string last;
    // Each message of the run, until the tool is idle again with no box open. The final message
    // can take minutes: the report and the registry export come before it.
    for (;;) {
        const Dialog box = WaitForDialog(tool.Pid(), 600000);
        if (!box)
            break;
        last = box.text;
        std::printf("message: %s\n", box.text.c_str());
        SaveBmp(CaptureScreen(), shots + L"\\message-" + std::to_wstring(++shot) + L".bmp");
        const bool question = box.text == "Do you want to overwrite the existing file ?";
        if (!Press(box, question ? IDYES : IDOK))
            break;
        if (last.rfind("Support File Created Sucessfully.", 0) == 0 ||
            last.rfind("An Error Occured While Creating Support File", 0) == 0)
            break;
    }
    WaitIdle(tool.Main());
    return last.rfind("Support File Created Sucessfully.", 0) == 0 ? 0 : 1;
}

int Close() {
    HWND window = ::FindWindowW(nullptr, L"Orlavent Support Tool");
    if (window == nullptr)
        return 0;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    const bool ended = process != nullptr && ::WaitForSingleObject(process, 15000) == WAIT_OBJECT_0;
    if (process != nullptr)
        ::CloseHandle(process);
    if (!ended)
        std::fprintf(stderr, "ost_robot: the tool did not close\n");
    return ended ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"start" && argc == 3)
        return Start(argv[2]);
    if (command == L"close" && argc == 2)
        return Close();
    if (command == L"create" && argc == 5)
        return Create(argv[2], argv[3], argv[4]);
    std::fprintf(stderr,
                 "usage: ost_robot start TOOL.exe | ost_robot close | ost_robot create TOOL.exe TARGET SHOTS\n");
    return 1;
}
