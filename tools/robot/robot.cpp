#include "robot.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace ost::robot {

int ColourDistance(uint32_t a, uint32_t b) {
    const int dr = std::abs(Red(a) - Red(b)), dg = std::abs(Green(a) - Green(b)), db = std::abs(Blue(a) - Blue(b));
    return dr > dg ? (dr > db ? dr : db) : (dg > db ? dg : db);
}

std::wstring WindowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

bool WaitUntil(const std::function<bool()>& ready, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (ready())
            return true;
        if (::GetTickCount64() >= end)
            return false;
        ::Sleep(50);
    }
}

namespace {

struct FindState {
    DWORD pid;
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK FindTop(HWND hwnd, LPARAM param) {
    auto* state = reinterpret_cast<FindState*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != state->pid || !::IsWindowVisible(hwnd))
        return TRUE;
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    if (*state->title != text)
        return TRUE;
    state->found = hwnd;
    return FALSE;
}

}  // namespace

HWND FindTopWindow(DWORD pid, const std::wstring& title) {
    FindState state{pid, &title, nullptr};
    ::EnumWindows(&FindTop, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

ToolProcess::ToolProcess(const std::wstring& exePath, DWORD timeoutMs) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring commandLine = L"\"" + exePath + L"\"";
    const std::wstring folder = exePath.substr(0, exePath.find_last_of(L"\\/"));
    if (!::CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                          &pi))
        return;
    ::CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    WaitUntil([&] { return (main_ = FindTopWindow(pid_, L"Orlavent Support Tool")) != nullptr; }, timeoutMs);
}

ToolProcess::~ToolProcess() {
    if (process_ == nullptr)
        return;
    if (!detached_) {
        if (main_ != nullptr)
            ::PostMessageW(main_, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0)
            ::TerminateProcess(process_, 1);
    }
    ::CloseHandle(process_);
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

namespace {

struct DialogSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid || !::IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770")
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

BOOL CALLBACK LongestStatic(HWND hwnd, LPARAM param) {
    auto* longest = reinterpret_cast<std::string*>(param);
    if (_wcsicmp(ClassName(hwnd).c_str(), L"Static") == 0) {
        const std::string text = Text(hwnd);
        if (text.size() > longest->size())
            *longest = text;
    }
    return TRUE;
}

}  // namespace

Dialog WaitForDialog(DWORD pid, DWORD timeoutMs) {
    Dialog dialog;
    WaitUntil(
        [&] {
            DialogSearch search{pid, nullptr};
            ::EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
            dialog.hwnd = search.found;
            return dialog.hwnd != nullptr;
        },
        timeoutMs);
    if (!dialog)
        return dialog;
    dialog.title = Text(dialog.hwnd);
    ::EnumChildWindows(dialog.hwnd, &LongestStatic, reinterpret_cast<LPARAM>(&dialog.text));
    return dialog;
}

bool Press(const Dialog& dialog, int id, DWORD timeoutMs) {
    HWND button = ::GetDlgItem(dialog.hwnd, id);
    ::PostMessageW(dialog.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return WaitUntil([&] { return !::IsWindow(dialog.hwnd) || !::IsWindowVisible(dialog.hwnd); }, timeoutMs);
}

bool SaveAs(const Dialog& dialog, const std::wstring& path) {
    // The file name box (1148): an edit inside a combo box inside a ComboBoxEx in the Explorer
    // style, a plain edit (1152) in the old one.
    HWND box = ::GetDlgItem(dialog.hwnd, 1148);
    if (box == nullptr)
        box = ::GetDlgItem(dialog.hwnd, 1152);
    while (box != nullptr && _wcsicmp(ClassName(box).c_str(), L"Edit") != 0) {
        HWND inner = ::FindWindowExW(box, nullptr, nullptr, nullptr);
        if (inner == nullptr)
            break;
        box = inner;
    }
    if (box == nullptr)
        return false;
    ::SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    return Press(dialog, IDOK);
}

void Click(HWND control) {
    ::PostMessageW(control, BM_CLICK, 0, 0);
}

std::string Text(HWND hwnd) {
    const int length = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), length + 1)));
    return Utf8(text);
}

RECT ChildRect(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<HWND> ChildrenFrontToBack(HWND parent) {
    std::vector<HWND> children;
    for (HWND h = ::GetWindow(parent, GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT))
        children.push_back(h);
    return children;
}

bool WaitIdle(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

std::string HostPath(const std::wstring& windowsPath) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    static const auto toUnix = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr)
        return {};
    char* name = toUnix(windowsPath.c_str());
    if (name == nullptr)
        return {};
    std::string path = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return path;
}

std::string RunHost(const std::string& shellCommand, DWORD timeoutMs) {
    // Wine gives no waitable handle for a host program, and its exit status does not come back
    // either. So the shell writes the output and the status to a side file and renames it into
    // place when it is done; the test polls (bounded) for the finished file through drive Z:.
    static int runs = 0;
    const std::string output =
        "/tmp/ost-robot-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++runs);
    const std::string script = "(" + shellCommand + ") > " + output + ".part 2>&1; echo exit=$? >> " + output +
                               ".part; mv " + output + ".part " + output;
    std::wstring line = L"Z:\\bin\\sh -c \"";
    for (char c : script) {
        if (c == '"' || c == '\\')
            line += L'\\';
        line += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    line += L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return "exit=start-failed";
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    const std::wstring finished = WindowsPath(output);
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (::GetFileAttributesW(finished.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (::GetTickCount64() > deadline)
            return "exit=timed-out";
        ::Sleep(20);
    }
    std::ifstream in(finished.c_str(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    ::DeleteFileW(finished.c_str());
    return text;
}

int RunProgram(const std::wstring& commandLine, DWORD timeoutMs) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (::WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

namespace {

// What the screen shows in the rectangle of `width` by `height` pixels from (`left`, `top`).
Image CaptureRect(int left, int top, int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    if (!image)
        return image;
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = image.width;
    bmi.bmiHeader.biHeight = -image.height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, image.width, image.height, screen, left, top, SRCCOPY);
    ::GdiFlush();
    image.pixels.assign(static_cast<const uint32_t*>(bits),
                        static_cast<const uint32_t*>(bits) + static_cast<size_t>(image.width) * image.height);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return image;
}

}  // namespace

Image CaptureScreen() {
    return CaptureRect(0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
}

Image CaptureClient(HWND hwnd) {
    RECT client{};
    ::GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    return CaptureRect(origin.x, origin.y, client.right, client.bottom);
}

Image DecodeFile(const std::wstring& path) {
    Image image;
    IWICImagingFactory* factory = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(&factory))))
        return image;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    UINT w = 0, h = 0;
    if (SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter->GetSize(&w, &h))) {
        image.width = static_cast<int>(w);
        image.height = static_cast<int>(h);
        image.pixels.resize(static_cast<size_t>(w) * h);
        if (FAILED(converter->CopyPixels(nullptr, w * 4, w * h * 4, reinterpret_cast<BYTE*>(image.pixels.data()))))
            image = Image{};
    }
    if (converter)
        converter->Release();
    if (frame)
        frame->Release();
    if (decoder)
        decoder->Release();
    factory->Release();
    return image;
}

bool SaveBmp(const Image& image, const std::wstring& path) {
    const int rowBytes = (image.width * 3 + 3) / 4 * 4;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = image.width;
    info.biHeight = image.height;  // bottom-up rows follow
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(rowBytes * image.height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info), sizeof(info));
    std::vector<char> row(static_cast<size_t>(rowBytes), 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = image.At(x, y);
            row[x * 3] = static_cast<char>(Blue(p));
            row[x * 3 + 1] = static_cast<char>(Green(p));
            row[x * 3 + 2] = static_cast<char>(Red(p));
        }
        out.write(row.data(), rowBytes);
    }
    return static_cast<bool>(out);
}

}  // namespace ost::robot
