// The input box against the real window system: a second thread answers it with the UI robot, as
// a person would, while the test's thread waits in the box.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/win32/main_window.h"
#include "platform/win32/ui_win32.h"
#include "robot.h"

namespace ost::test {
namespace {

struct Answered {
    robot::Dialog box;      // its title, and its prompt as the longest static text
    std::string shownText;  // the edit box's text when the box appeared
    HWND owner = nullptr;
};

// Waits (bounded) for the box, reads it, types `typed` into its edit box one character at a time
// and presses `button`.
Answered Answer(const std::wstring& typed, int button) {
    Answered answered;
    answered.box = robot::WaitForDialog(::GetCurrentProcessId(), 20000);
    if (!answered.box)
        return answered;
    HWND edit = ::GetDlgItem(answered.box.hwnd, win::kIdInputText);
    answered.shownText = robot::Text(edit);
    answered.owner = ::GetWindow(answered.box.hwnd, GW_OWNER);
    for (const wchar_t c : typed)
        ::PostMessageW(edit, WM_CHAR, c, 1);
    robot::Press(answered.box, button);
    return answered;
}

TEST(Win32UiTest, InputBoxGivesTheTypedTextOnOkAndNothingOnCancel) {
    win::MainWindow window(::GetModuleHandleW(nullptr));
    win::Win32Ui ui(window);

    Answered answered;
    std::thread person([&] { answered = Answer(L"n\u00E9w", IDOK); });
    const std::string typed = ui.InputBox("Please Enter The Password!", "Input test", "old");
    person.join();
    EXPECT_EQ(typed, "n\xC3\xA9w");  // the default text was selected, so typing replaced it
    EXPECT_EQ(answered.box.title, "Input test");
    EXPECT_EQ(answered.box.text, "Please Enter The Password!");
    EXPECT_EQ(answered.shownText, "old");
    EXPECT_EQ(answered.owner, window.Hwnd());

    person = std::thread([&] { answered = Answer(L"typed", IDCANCEL); });
    EXPECT_EQ(ui.InputBox("Another question", "Input test", ""), "");
    person.join();
    EXPECT_EQ(answered.box.text, "Another question");
}

}  // namespace
}  // namespace ost::test
