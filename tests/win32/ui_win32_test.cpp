// The main window and the application's window operations against the real window system, in the
// test's own process. A second thread answers the modal boxes with the UI robot, as a person would,
// while the test's thread waits in the box.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/win32/main_window.h"
#include "platform/win32/ui_win32.h"
#include "robot.h"

namespace ost::win {
namespace {

// What a person saw of a box of this process: its title, its text, the text in its edit box, if it
// has one, and its OK and Cancel buttons' texts, joined by '|'; the box's owner; whether its edit box
// had the focus; the face of its font.
struct Seen {
    std::string texts;
    HWND owner = nullptr;
    bool editFocused = false;
    std::string font;
};

// Waits (bounded) for a box of this process, reads it, types `typed` into its edit box and presses
// `button`.
Seen Answer(const std::wstring& typed, int button) {
    const robot::Dialog box = robot::WaitForDialog(::GetCurrentProcessId(), 20000);
    HWND edit = ::GetDlgItem(box.hwnd, kIdInputText);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(box.hwnd, nullptr), &gui);
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(box.hwnd, WM_GETFONT, 0, 0)), sizeof(font), &font);
    const Seen seen{box.title + "|" + box.text + "|" + robot::Text(edit) + "|" +
                        robot::Text(::GetDlgItem(box.hwnd, IDOK)) + "|" + robot::Text(::GetDlgItem(box.hwnd, IDCANCEL)),
                    ::GetWindow(box.hwnd, GW_OWNER), edit != nullptr && gui.hwndFocus == edit,
                    robot::Utf8(font.lfFaceName)};
    for (const wchar_t c : typed)
        ::PostMessageW(edit, WM_CHAR, c, 1);
    robot::Press(box, button);
    return seen;
}

class Win32UiTest : public ::testing::Test {
  protected:
    // The program file's resources (icon, pictures) for the window made here.
    MainWindow window{::LoadLibraryExW(robot::WindowsPath(OST_TOOL_EXE).c_str(),
                                       nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)};
    Win32Ui ui{window};
    HWND Child(int id) const { return ::GetDlgItem(window.Hwnd(), id); }
    // The list box's items, each followed by '|'.
    std::string Items() const {
        std::string items;
        wchar_t text[256];
        for (WPARAM i = 0; ::SendMessageW(Child(kIdList), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text)) != LB_ERR; ++i)
            items += robot::Utf8(text) + "|";
        return items;
    }
};

TEST_F(Win32UiTest, TheLabelTheListBoxAndTheIconsHoldWhatTheProgramGaveThem) {
    const std::string summary = "Windows Version : Caf\xC3\xA9\r\n6.1 (Build 7601)";
    window.lblSysInfo().SetCaption(summary);
    EXPECT_EQ(window.lblSysInfo().Caption(), summary);
    EXPECT_EQ(robot::Text(Child(kIdLabel)), summary);
    window.lstPrograms().AddItem("Zed");
    window.lstPrograms().AddItem("\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(Items(), "Zed|\xE6\x97\xA5\xE6\x9C\xAC|") << "unsorted";
    window.lstPrograms().Clear();
    window.lstPrograms().AddItem("Acme");
    EXPECT_EQ(Items(), "Acme|");
    for (const WPARAM size : {ICON_BIG, ICON_SMALL})
        EXPECT_NE(::SendMessageW(window.Hwnd(), WM_GETICON, size, 0), 0) << size;
}

TEST_F(Win32UiTest, AnHourglassOfTheWindowOrTheApplicationWinsOverTheArrow) {
    window.Show(SW_SHOWNORMAL);
    const HCURSOR wait = ::LoadCursorW(nullptr, IDC_WAIT), arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    // The application's pointer, the window's, and the one shown.
    const std::tuple<int32_t, int32_t, HCURSOR> rows[] = {{kPointerHourglass, kPointerDefault, wait},
                                                          {kPointerDefault, kPointerHourglass, wait},
                                                          {kPointerHourglass, kPointerHourglass, wait},
                                                          {kPointerDefault, kPointerDefault, arrow}};
    for (const int id : {kIdButton, kIdLabel}) {
        RECT r{};
        ::GetWindowRect(Child(id), &r);
        ASSERT_TRUE(::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2));
        for (const auto& [application, own, shown] : rows) {
            ui.SetAppMousePointer(application);
            window.SetMousePointer(own);  // the window under the pointer is told at once
            EXPECT_EQ(::GetCursor(), shown) << id << ": " << application << ", " << own;
        }
    }
}

TEST_F(Win32UiTest, TheButtonClicksOnAPressAndAReleaseInsideItOrWhenToldTo) {
    int clicks = 0;
    window.OnCreateClick([&] { ++clicks; });
    HWND button = Child(kIdButton);
    auto mouse = [&](UINT message, int x) { ::SendMessageW(button, message, 0, MAKELPARAM(x, 10)); };
    mouse(WM_LBUTTONDOWN, 10);
    EXPECT_EQ(::GetCapture(), button);
    mouse(WM_LBUTTONUP, 10);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(::GetCapture(), nullptr);
    mouse(WM_LBUTTONUP, 10);  // a release without a press
    for (const int outside : {-5, 400}) {
        mouse(WM_LBUTTONDOWN, 10);
        mouse(WM_LBUTTONUP, outside);
    }
    mouse(WM_LBUTTONDOWN, 10);
    ::ReleaseCapture();  // the press ends with the capture
    mouse(WM_LBUTTONUP, 10);
    EXPECT_EQ(clicks, 1);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 2);
    // A failure of the click's work is shown in a box of the window's.
    window.OnCreateClick([] { throw MakeError(err::kDiskFull, {}, "the click failed"); });
    Seen seen;
    std::thread person([&] { seen = Answer(L"", IDOK); });
    ::SendMessageW(button, BM_CLICK, 0, 0);
    person.join();
    EXPECT_EQ(seen.texts.substr(0, seen.texts.find("||")), "OrlaventSupportTool|the click failed");
    EXPECT_EQ(seen.owner, window.Hwnd());
}

TEST_F(Win32UiTest, InputBoxGivesTheTypedTextOnOkAndNothingOnCancel) {
    Seen seen;
    std::thread person([&] { seen = Answer(L"n\u00E9w", IDOK); });
    EXPECT_EQ(ui.InputBox("Please Enter The Password!", "Input test", "old"), "n\xC3\xA9w")
        << "the old text was selected";
    person.join();
    EXPECT_EQ(seen.texts, "Input test|Please Enter The Password!|old|OK|Cancel");
    EXPECT_EQ(seen.owner, window.Hwnd());
    EXPECT_TRUE(seen.editFocused);
    EXPECT_EQ(seen.font, "MS Shell Dlg") << "the dialog font, which Windows maps for the user's language";
    person = std::thread([&] { seen = Answer(L"typed", IDCANCEL); });
    EXPECT_EQ(ui.InputBox("Another question", "", ""), "");
    person.join();
    EXPECT_EQ(seen.texts, "OrlaventSupportTool|Another question||OK|Cancel");
}

// The quit message that closing the window leaves is taken and kept: left in the queue, it would
// wake every wait for messages at once, and a run waiting for the registry editor would spin.
TEST_F(Win32UiTest, DoEventsHandsWaitingKeysOnAndTakesTheQuitSoThatNoWaitSpins) {
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 100, 20, window.Hwnd(), nullptr, nullptr, nullptr);
    ::PostMessageW(edit, WM_KEYDOWN, 'A', 1 | (::MapVirtualKeyW('A', MAPVK_VK_TO_VSC) << 16));
    ui.DoEvents();
    EXPECT_EQ(robot::Text(edit), "a") << "a key becomes a character";
    EXPECT_FALSE(ui.Closing());
    ::PostQuitMessage(3);
    ::PostMessageW(edit, WM_CHAR, 'b', 1);
    ui.DoEvents();
    EXPECT_EQ(robot::Text(edit), "ab");
    EXPECT_TRUE(ui.Closing());
    MSG quit{};
    EXPECT_FALSE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    EXPECT_EQ(::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
}

}  // namespace
}  // namespace ost::win
