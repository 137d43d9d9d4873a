#include "platform/win32/ui_win32.h"

#include <exception>
#include <vector>

#include "platform/win32/text.h"
#include "platform/win32/win_error.h"

namespace ost::win {

namespace {

// A dialog template in memory: a DLGTEMPLATE with its font, then one DLGITEMTEMPLATE for each
// control, each on a DWORD boundary. Texts left out of it are set when the dialog starts.
class DialogTemplate {
  public:
    DialogTemplate(DWORD style, short width, short height, WORD fontPoints, const wchar_t* fontName) {
        Dword(style | DS_SETFONT);
        Dword(0);             // extended style
        words_.push_back(0);  // the number of controls, counted by Add
        Short(0);             // x and y: the position comes from the style
        Short(0);
        Short(width);
        Short(height);
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the standard dialog class
        words_.push_back(0);  // no title
        words_.push_back(fontPoints);
        Text(fontName);
    }

    // A control of one of the predefined classes (0x80 button, 0x81 edit, 0x82 static).
    void Add(WORD classAtom, int id, DWORD style, short x, short y, short width, short height, const wchar_t* text) {
        if (words_.size() % 2 != 0)
            words_.push_back(0);
        Dword(WS_CHILD | WS_VISIBLE | style);
        Dword(0);
        Short(x);
        Short(y);
        Short(width);
        Short(height);
        words_.push_back(static_cast<WORD>(id));
        words_.push_back(0xFFFF);
        words_.push_back(classAtom);
        Text(text);
        words_.push_back(0);  // no creation data
        ++words_[kControlCountIndex];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    static constexpr size_t kControlCountIndex = 4;  // after the two DWORDs of the styles

    void Dword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void Short(short value) { words_.push_back(static_cast<WORD>(value)); }
    void Text(const wchar_t* text) {
        for (; *text != L'\0'; ++text)
            words_.push_back(static_cast<WORD>(*text));
        words_.push_back(0);
    }

    std::vector<WORD> words_;  // DWORD-aligned as the allocator aligns every block
};

// The input box's layout in dialog units: the prompt at the top left with OK and Cancel beside
// it, the edit box across the bottom.
const DialogTemplate& InputBoxTemplate() {
    static const DialogTemplate layout = [] {
        constexpr WORD kButton = 0x80, kEdit = 0x81, kStatic = 0x82;
        DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 246, 84, 8, L"MS Shell Dlg");
        t.Add(kStatic, kIdInputPrompt, SS_LEFT | SS_NOPREFIX, 7, 7, 176, 50, L"");
        t.Add(kButton, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 189, 7, 50, 14, L"OK");
        t.Add(kButton, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 189, 25, 50, 14, L"Cancel");
        t.Add(kEdit, kIdInputText, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 63, 232, 14, L"");
        return t;
    }();
    return layout;
}

struct InputBoxState {
    std::wstring prompt;
    std::wstring title;
    std::wstring text;           // the default text, then the text the user confirmed
    std::exception_ptr failure;  // raised again once the dialog has ended
};

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* state = reinterpret_cast<const InputBoxState*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        ::SetWindowTextW(dialog, state->title.c_str());
        ::SetDlgItemTextW(dialog, kIdInputPrompt, state->prompt.c_str());
        HWND edit = ::GetDlgItem(dialog, kIdInputText);
        ::SetWindowTextW(edit, state->text.c_str());
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        ::SetFocus(edit);
        return FALSE;  // the focus is set already
    }
    if (message != WM_COMMAND || (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL))
        return FALSE;
    auto* state = reinterpret_cast<InputBoxState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (LOWORD(wParam) == IDOK) {
        try {
            HWND edit = ::GetDlgItem(dialog, kIdInputText);
            std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
            text.resize(static_cast<size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
            state->text = std::move(text);
        } catch (...) {
            state->failure = std::current_exception();
        }
    }
    ::EndDialog(dialog, LOWORD(wParam));
    return TRUE;
}

}  // namespace

int32_t Win32Ui::MsgBox(const std::string& text, int32_t style, const std::string& title) {
    HWND owner = ::IsWindow(window_.Hwnd()) ? window_.Hwnd() : nullptr;
    return ::MessageBoxW(owner, Widen(text).c_str(), Widen(title.empty() ? kAppTitle : title).c_str(),
                         static_cast<UINT>(style));
}

std::string Win32Ui::InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) {
    InputBoxState state{Widen(prompt), Widen(title.empty() ? kAppTitle : title), Widen(defaultText), {}};
    HWND owner = ::IsWindow(window_.Hwnd()) ? window_.Hwnd() : nullptr;
    const INT_PTR answer = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), InputBoxTemplate().Get(), owner,
                                                     &InputBoxProc, reinterpret_cast<LPARAM>(&state));
    if (answer <= 0)
        ThrowLastError("DialogBoxIndirectParamW", "InputBox");
    if (state.failure)
        std::rethrow_exception(state.failure);
    return answer == IDOK ? Narrow(state.text) : std::string();
}

void Win32Ui::SetAppMousePointer(int32_t pointer) {
    window_.SetAppPointer(pointer);
}

void Win32Ui::DoEvents() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            closing_ = true;
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
