#include "platform/win32/main_window.h"

#include <commdlg.h>

#include <vector>

#include "app/frm_main.h"
#include "platform/error.h"
#include "platform/win32/text.h"
#include "platform/win32/win_error.h"
#include "resource.h"

namespace ost::win {

namespace {

HWND CreateChild(DWORD exStyle,
                 const wchar_t* cls,
                 const wchar_t* text,
                 DWORD style,
                 const ControlRect& r,
                 HWND parent,
                 int id,
                 HINSTANCE instance) {
    HWND child = ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, r.LeftPx(),
                                   r.TopPx(), r.WidthPx(), r.HeightPx(), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (child == nullptr)
        ThrowLastError("CreateWindowExW", Narrow(cls));
    return child;
}

void RegisterClasses(HINSTANCE instance, HICON bigIcon, HICON smallIcon, WNDPROC mainProc, WNDPROC buttonProc) {
    WNDCLASSEXW main{};
    main.cbSize = sizeof(main);
    main.lpfnWndProc = mainProc;
    main.hInstance = instance;
    main.hIcon = bigIcon;
    main.hIconSm = smallIcon;
    main.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    main.lpszClassName = kMainWindowClass;
    if (::RegisterClassExW(&main) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        ThrowLastError("RegisterClassExW", "frmMain");

    WNDCLASSEXW button{};
    button.cbSize = sizeof(button);
    button.lpfnWndProc = buttonProc;
    button.hInstance = instance;
    button.hCursor = main.hCursor;
    button.lpszClassName = kPictureButtonClass;
    if (::RegisterClassExW(&button) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        ThrowLastError("RegisterClassExW", "cmdCreate");
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {
    bigIcon_.reset(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(
        static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
    RegisterClasses(instance, bigIcon_.get(), smallIcon_.get(), &MainWindow::WindowProc, &MainWindow::ButtonProc);
    skin_ = LoadPictureResource(instance, IDR_SKIN_JPEG);
    if (skin_)
        skinBrush_.reset(::CreatePatternBrush(skin_.Handle()));
    buttonPicture_ = LoadPictureResource(instance, IDR_BUTTON_GIF);

    // Fixed border, no minimise or maximise box. Children paint their own share of the background
    // (the label through a pattern brush of it, the button before its picture), so the window
    // clips them out of its own painting and nothing is drawn twice.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT frame{0, 0, layout::kClientWidth / kTwipsPerPixel, layout::kClientHeight / kTwipsPerPixel};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    hwnd_ = ::CreateWindowExW(0, kMainWindowClass, Widen(kWindowTitle).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
    if (hwnd_ == nullptr)
        ThrowLastError("CreateWindowExW", "frmMain");
    ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    // Created front to back: a new child goes below its siblings, so the order from front to back
    // is lstPrograms, cmdCreate, lblSysInfo, with the background drawn by the window itself.
    list_ = CreateChild(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_VSCROLL | LBS_NOINTEGRALHEIGHT, layout::lstPrograms,
                        hwnd_, kIdList, instance);
    button_ =
        CreateChild(0, kPictureButtonClass, L"Create Support File", 0, layout::cmdCreate, hwnd_, kIdButton, instance);
    label_ = CreateChild(0, L"STATIC", L"", SS_CENTER | SS_NOPREFIX, layout::lblSysInfo, hwnd_, kIdLabel, instance);
    ::SetWindowPos(button_, list_, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowPos(label_, button_, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowLongPtrW(button_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    LOGFONTW font{};
    font.lfHeight = -::MulDiv(static_cast<int>(layout::kLabelFontPoints * 100), dpi, 7200);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    wcscpy_s(font.lfFaceName, Widen(layout::kLabelFontName).c_str());
    labelFont_.reset(::CreateFontIndirectW(&font));
    ::SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), FALSE);
}

MainWindow::~MainWindow() {
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
}

void MainWindow::Show(int showCommand) {
    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
}

void MainWindow::SetCaption(const std::string& text) {
    if (!::SetWindowTextW(label_, Widen(text).c_str()))
        ThrowLastError("SetWindowTextW", "lblSysInfo");
    ::InvalidateRect(label_, nullptr, TRUE);
}

std::string MainWindow::Caption() const {
    const int length = ::GetWindowTextLengthW(label_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(label_, text.data(), length + 1)));
    return Narrow(text);
}

void MainWindow::Clear() {
    ::SendMessageW(list_, LB_RESETCONTENT, 0, 0);
}

void MainWindow::AddItem(const std::string& item) {
    const LRESULT r = ::SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    if (r == LB_ERR || r == LB_ERRSPACE)
        throw MakeError(err::kOutOfMemory, {}, "LB_ADDSTRING on lstPrograms");
}

void MainWindow::SetFilter(const std::string& filter) {
    filter_ = Widen(filter);
    for (wchar_t& c : filter_)
        if (c == L'|')
            c = L'\0';
    filter_.append(2, L'\0');
}

void MainWindow::ShowSave() {
    std::vector<wchar_t> buffer(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = filter_.empty() ? nullptr : filter_.c_str();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    if (::GetSaveFileNameW(&ofn)) {
        fileName_ = Narrow(buffer.data());
        return;
    }
    fileName_.clear();
    if (const DWORD code = ::CommDlgExtendedError(); code != 0)
        throw MakeError(err::kInvalidCall, {}, "GetSaveFileNameW: dialog error " + std::to_string(code));
}

std::string MainWindow::FileName() const {
    return fileName_;
}

void MainWindow::SetMousePointer(int32_t pointer) {
    windowPointer_ = pointer;
    POINT at{};
    ::GetCursorPos(&at);
    HWND under = ::WindowFromPoint(at);
    if (under == hwnd_ || ::IsChild(hwnd_, under))
        ::SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

void MainWindow::SetAppPointer(int32_t pointer) {
    appPointer_ = pointer;
    ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(pointer == kPointerHourglass ? IDC_WAIT : IDC_ARROW)));
}

bool MainWindow::ApplyPointer() {
    if (appPointer_ != kPointerHourglass && windowPointer_ != kPointerHourglass)
        return false;
    ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    return true;
}

void MainWindow::RaiseCreateClick() {
    if (!onCreate_)
        return;
    try {
        onCreate_();
    } catch (const std::exception& e) {
        ::MessageBoxW(hwnd_, Widen(e.what()).c_str(), Widen(kAppTitle).c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        ::MessageBoxW(hwnd_, L"Unexpected error.", Widen(kAppTitle).c_str(), MB_OK | MB_ICONERROR);
    }
}

void MainWindow::PaintButton(HWND button) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(button, &ps);
    // The background that lies under the button first, so its transparent pixels show it.
    DrawPicture(dc, skin_, -layout::cmdCreate.LeftPx(), -layout::cmdCreate.TopPx());
    DrawPicture(dc, buttonPicture_, 0, 0);
    ::EndPaint(button, &ps);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<MainWindow*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the background picture covers the whole client area
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd_, &ps);
            DrawPicture(dc, skin_, 0, 0);
            ::EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == label_) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                ::SetTextColor(dc, RGB(255, 255, 255));
                ::SetBkMode(dc, TRANSPARENT);
                // The label's background is the picture beneath it: the skin as a brush whose
                // origin puts the label's top-left pixel on the skin's pixel at the label's place.
                ::SetBrushOrgEx(dc, -layout::lblSysInfo.LeftPx(), -layout::lblSysInfo.TopPx(), nullptr);
                return reinterpret_cast<LRESULT>(skinBrush_ ? skinBrush_.get() : ::GetStockObject(NULL_BRUSH));
            }
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == kIdButton && HIWORD(wParam) == BN_CLICKED) {
                RaiseCreateClick();
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (ApplyPointer())
                return TRUE;
            break;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    auto clicked = [&] {
        ::SendMessageW(self->hwnd_, WM_COMMAND, MAKEWPARAM(kIdButton, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
    };
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            self->PaintButton(hwnd);
            return 0;
        case WM_LBUTTONDOWN:
            self->buttonPressed_ = true;
            ::SetCapture(hwnd);
            return 0;
        case WM_LBUTTONUP: {
            const bool pressed = self->buttonPressed_;
            self->buttonPressed_ = false;
            ::ReleaseCapture();
            RECT client;
            ::GetClientRect(hwnd, &client);
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (pressed && ::PtInRect(&client, at))
                clicked();
            return 0;
        }
        case WM_CAPTURECHANGED:
            self->buttonPressed_ = false;
            return 0;
        case BM_CLICK:  // what accessibility tools send to press a button
            clicked();
            return 0;
        case WM_SETCURSOR:
            if (self->ApplyPointer())
                return TRUE;
            break;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace ost::win
