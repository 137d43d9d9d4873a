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

// The first visible top-level window of process `pid` with the title `title`, or null.
HWND FindTopWindow(DWORD pid, const std::wstring& title);
HWND FindChildById(HWND parent, int id);
std::wstring ClassName(HWND hwnd);
std::string Text(HWND hwnd);  // UTF-8
// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
// The children of `parent` from front to back.
std::vector<HWND> ChildrenFrontToBack(HWND parent);

// What the screen shows of the window's client area.
Image CaptureClient(HWND hwnd);
// A picture file decoded with the platform's codecs, as premultiplied BGRA.
Image DecodeFile(const std::wstring& path);
// Writes a 24-bit BMP (for a person to look at after a run).
bool SaveBmp(const Image& image, const std::wstring& path);

}  // namespace ost::robot
