#include "robot.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstdlib>
#include <fstream>

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

HWND FindChildById(HWND parent, int id) {
    return ::GetDlgItem(parent, id);
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
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

Image CaptureClient(HWND hwnd) {
    RECT client{};
    ::GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    Image image;
    image.width = client.right;
    image.height = client.bottom;
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
    ::BitBlt(memory, 0, 0, image.width, image.height, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    image.pixels.assign(static_cast<const uint32_t*>(bits),
                        static_cast<const uint32_t*>(bits) + static_cast<size_t>(image.width) * image.height);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return image;
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
