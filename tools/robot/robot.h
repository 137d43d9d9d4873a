// The UI robot: drives the real OrlaventSupportTool.exe the way a person would, through the
// window system only (find windows, read their texts, click, look at the pixels on the screen).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ost::robot {

// A picture as 32-bit BGRA pixels, top-down.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels.at(static_cast<size_t>(y) * width + x); }
    explicit operator bool() const { return width > 0 && height > 0; }
};

inline int Red(uint32_t p) {
    return (p >> 16) & 0xFF;
}
inline int Green(uint32_t p) {
    return (p >> 8) & 0xFF;
}
inline int Blue(uint32_t p) {
    return p & 0xFF;
}
inline int Alpha(uint32_t p) {
    return (p >> 24) & 0xFF;
}
// Largest difference of the three colour channels.
int ColourDistance(uint32_t a, uint32_t b);

// A Unix path as Wine's Z: drive shows it.
std::wstring WindowsPath(const std::string& unixPath);
std::string Utf8(const std::wstring& text);

// Calls `ready` every 50 ms until it returns true or `timeoutMs` passes; returns its last answer.
bool WaitUntil(const std::function<bool()>& ready, DWORD timeoutMs);

// The tool as a running process. Launch waits (bounded) for its main window; the destructor
// closes the window and, if the process does not end within ten seconds, terminates it.
class ToolProcess {
  public:
    ToolProcess(const std::wstring& exePath, DWORD timeoutMs = 90000);
    ~ToolProcess();
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    HWND Main() const { return main_; }
    DWORD Pid() const { return pid_; }
    HANDLE Process() const { return process_; }
    // Leaves the process running when this object goes (for scripts that hand it to a person).
    void Detach() { detached_ = true; }

  private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
    bool detached_ = false;
};

// A modal dialog of the tool: a message box or the save dialog.
struct Dialog {
    HWND hwnd = nullptr;
    std::string title;
    std::string text;  // a message box's message: its longest static text
    explicit operator bool() const { return hwnd != nullptr; }
};

// Waits (bounded) for a visible dialog window of process `pid` and reads it; empty on time-out.
Dialog WaitForDialog(DWORD pid, DWORD timeoutMs = 60000);
// Presses the dialog's button `id` (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7) and waits (bounded)
// until the dialog is gone. False when it stayed.
bool Press(const Dialog& dialog, int id, DWORD timeoutMs = 30000);
// Types `path` into a save dialog's file name box and presses Save.
bool SaveAs(const Dialog& dialog, const std::wstring& path);
// Presses a control the way a click does, without waiting for what the click starts.
void Click(HWND control);

// The first visible top-level window of process `pid` with the title `title`, or null.
HWND FindTopWindow(DWORD pid, const std::wstring& title);
std::wstring ClassName(HWND hwnd);
std::string Text(HWND hwnd);  // UTF-8
// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
// The children of `parent` from front to back.
std::vector<HWND> ChildrenFrontToBack(HWND parent);

// Waits (bounded) until the window's thread handles messages again: a click handler that ran has
// returned, or is showing a modal box.
bool WaitIdle(HWND window, DWORD timeoutMs = 60000);
// Runs a command of the host system (Linux under Wine) through /bin/sh and returns what it printed,
// stdout and stderr, followed by a last line "exit=N" with its exit status.
std::string RunHost(const std::string& shellCommand, DWORD timeoutMs = 120000);
// Runs a Windows program and waits (bounded) for it; returns its exit code, or -1.
int RunProgram(const std::wstring& commandLine, DWORD timeoutMs = 60000);
// The host path of a Windows path (under Wine, the Unix path of a file on drive C).
std::string HostPath(const std::wstring& windowsPath);

// What the screen shows of the window's client area.
Image CaptureClient(HWND hwnd);
// The whole screen.
Image CaptureScreen();
// A picture file decoded with the platform's codecs, as premultiplied BGRA.
Image DecodeFile(const std::wstring& path);
// Writes a 24-bit BMP (for a person to look at after a run).
bool SaveBmp(const Image& image, const std::wstring& path);

}  // namespace ost::robot
