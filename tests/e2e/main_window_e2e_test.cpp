// The real tool's window, read by the robot under Xvfb.
#include <windows.h>

#include <objbase.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "inspect/system_info.h"
#include "platform/win32/system_info_win32.h"
#include "robot.h"
#include "win32_test_util.h"

namespace ost::robot {
namespace {

// The window of a running tool: its frame and controls, the summary of this machine in its
// label, its pictures on the screen, and the program's end when it is closed.
TEST(MainWindowE2eTest, FixedWindowWithItsControlsSummaryAndPicturesThatEndsTheProgramWhenClosed) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const ToolProcess tool(WindowsPath(test::ToolUnderTest(OST_TOOL_EXE)));
    HWND main = tool.Main();
    ASSERT_NE(main, nullptr) << "the tool's window did not appear (is DISPLAY set?)";
    RECT client{};
    ::GetClientRect(main, &client);
    EXPECT_EQ(std::make_pair(client.right, client.bottom), std::make_pair(249L, 299L));
    const LONG_PTR style = ::GetWindowLongPtrW(main, GWL_STYLE);
    EXPECT_EQ(style & (WS_SYSMENU | WS_CAPTION | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
              WS_SYSMENU | WS_CAPTION);
    const auto children = ChildrenFrontToBack(main);
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(ClassName(children[0]) + L"|" + ClassName(children[2]), L"ListBox|Static");
    EXPECT_EQ(Text(children[1]), "Create Support File");
    // Left, top, width and height of the list box (outside the client area), the button and the label.
    std::vector<LONG> places;
    for (HWND child : children) {
        const RECT r = ChildRect(child);
        places.insert(places.end(), {r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
    EXPECT_EQ(places, (std::vector<LONG>{404, 253, 201, 147, 52, 140, 150, 100, 14, 26, 222, 150}));
    // The summary's rules are the unit tests'; the label shows it for this machine. Free memory
    // moves between the tool's reading and the test's.
    win::Win32SystemInfoSource source;
    const std::string expected = SystemSummaryText(cSystemInfo(source)), shown = Text(children[2]);
    auto cut = [](const std::string& text, const char* from, const char* to) {
        const size_t start = text.find(from) + std::strlen(from);
        return std::make_pair(text.substr(0, start) + text.substr(text.find(to)), std::stod(text.substr(start)));
    };
    const auto [shownRest, shownFree] = cut(shown, "Free Memory : ", "\r\nTotal");
    const auto [expectedRest, expectedFree] = cut(expected, "Free Memory : ", "\r\nTotal");
    EXPECT_EQ(shownRest, expectedRest);
    EXPECT_NEAR(shownFree, expectedFree, std::stod(expected.substr(expected.rfind(": ") + 2)) * 0.05);
    const Image skin = DecodeFile(WindowsPath(OST_RESOURCES_DIR "/background.jpg"));
    const Image gif = DecodeFile(WindowsPath(OST_RESOURCES_DIR "/button.gif"));
    ASSERT_TRUE(skin && gif);
    // A transparent pixel of the button (alpha 0 at palette index 255) and an opaque one.
    int tx = -1, ty = -1, ox = -1, oy = -1;
    for (int y = 0; y < gif.height && (tx < 0 || ox < 0); ++y)
        for (int x = 0; x < gif.width; ++x) {
            if (Alpha(gif.At(x, y)) == 0 && tx < 0)
                tx = x, ty = y;
            if (Alpha(gif.At(x, y)) == 255 && ox < 0 && y > gif.height / 2)
                ox = x, oy = y;
        }
    ASSERT_TRUE(tx >= 0 && ox >= 0);
    const int bx = 52, by = 140;
    Image shot;
    // The first paint can lag the window's appearance: wait (bounded) until the button shows.
    const bool painted = WaitUntil(
        [&] {
            shot = CaptureClient(main);
            return shot && ColourDistance(shot.At(bx + ox, by + oy), gif.At(ox, oy)) <= 2;
        },
        20000);
    SaveBmp(shot, WindowsPath(OST_E2E_OUTPUT_DIR "/main_window.bmp"));
    ASSERT_TRUE(painted) << "the button's opaque pixel never showed";
    const uint32_t under = shot.At(bx + tx, by + ty);
    EXPECT_LE(ColourDistance(under, skin.At(bx + tx, by + ty)), 2) << "the background shows through";
    EXPECT_GT(ColourDistance(under, 0xFFFF00FF), 40) << "not the palette's colour 255";
    // The background around the controls, and white label text on it with no background of its own.
    for (const POINT at : {POINT{4, 290}, POINT{248, 298}, POINT{16, 170}})
        EXPECT_LE(ColourDistance(shot.At(at.x, at.y), skin.At(at.x, at.y)), 2) << at.x << "," << at.y;
    int white = 0, skinShows = 0;
    for (int y = 26; y < 120; ++y)
        for (int x = 14; x < 236; ++x) {
            white += ColourDistance(shot.At(x, y), 0xFFFFFFFF) <= 30;
            skinShows += ColourDistance(shot.At(x, y), skin.At(x, y)) <= 2;
        }
    EXPECT_GT(white, 200) << "the summary text is drawn in white";
    EXPECT_GT(skinShows, 94 * 222 * 3 / 4) << "the background shows between the letters";
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(tool.Process(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD exitCode = 1;
    EXPECT_TRUE(::GetExitCodeProcess(tool.Process(), &exitCode) && exitCode == 0) << exitCode;
}

}  // namespace
}  // namespace ost::robot
