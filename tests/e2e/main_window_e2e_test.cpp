// The real window, driven and read by the robot under Xvfb.
#include <windows.h>

#include <objbase.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "robot.h"

namespace ost::robot {
namespace {

// The six summary lines, worked out here from the same Win32 calls the tool makes.
std::vector<std::string> ExpectedSummary() {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof(v);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ::GetVersionExA(&v);
#pragma GCC diagnostic pop
    struct Row {
        DWORD major;
        int minor;  // -1: any
        const char* name;
    };
    const Row names[] = {{3, 5, "Windows NT "}, {3, -1, "Windows "},  {4, 0, "Windows NT"},   {4, 1, "Windows 98"},
                         {4, -1, "Windows ME"}, {5, 1, "Windows XP"}, {5, -1, "Windows 2000"}};
    std::string name = "Windows Unknown Version";
    for (const Row& row : names) {
        if (row.major == v.dwMajorVersion && (row.minor < 0 || static_cast<DWORD>(row.minor) == v.dwMinorVersion)) {
            name = row.name;
            break;
        }
    }
    SYSTEM_INFO si{};
    ::GetSystemInfo(&si);
    std::string cpu = "(unknown)";
    if (si.dwProcessorType == 386)
        cpu = "Intel 386";
    if (si.dwProcessorType == 486)
        cpu = "Intel 486";
    if (si.dwProcessorType == 586)
        cpu = "Intel Pentium";
    MEMORYSTATUS m{};
    ::GlobalMemoryStatus(&m);
    auto kb = [](SIZE_T bytes) {
        return std::to_string(static_cast<long long>(
            std::nearbyint(static_cast<double>(std::min<uint64_t>(bytes, 0xFFFFFFFFull)) / 1024.0)));
    };
    DLLVERSIONINFO dv{};
    dv.cbSize = sizeof(dv);
    HMODULE shlwapi = ::LoadLibraryW(L"Shlwapi.dll");
    if (auto get =
            reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(::GetProcAddress(shlwapi, "DllGetVersion"))))
        get(&dv);
    return {"Windows Version : " + name,
            std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) + " (Build " +
                std::to_string(v.dwBuildNumber) + ")",
            "IE Version : Internet Explorer " + std::to_string(dv.dwMajorVersion) + "." +
                std::to_string(dv.dwMinorVersion) + "." + std::to_string(dv.dwBuildNumber),
            "CPU : " + cpu,
            "Free Memory : " + kb(m.dwAvailPhys),
            "Total Memory : " + kb(m.dwTotalPhys)};
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}

TEST(MainWindowE2eTest, ProgramCarriesTheThreeSizeIcon) {
    HMODULE exe = ::LoadLibraryExW(WindowsPath(OST_TOOL_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HRSRC group = ::FindResourceW(exe, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    ASSERT_NE(group, nullptr);
    const auto* dir = static_cast<const BYTE*>(::LockResource(::LoadResource(exe, group)));
    ASSERT_NE(dir, nullptr);
    const int count = dir[4] | (dir[5] << 8);
    ASSERT_EQ(count, 3);
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = dir + 6 + 14 * i;  // GRPICONDIRENTRY
        EXPECT_EQ(entry[0], 16 * (i + 1)) << "16, 32 and 48 pixels";
        EXPECT_EQ(entry[6] | (entry[7] << 8), 24) << "24 bits per pixel";
        const int size = static_cast<int>(entry[0]);
        HICON icon = static_cast<HICON>(::LoadImageW(exe, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
        EXPECT_NE(icon, nullptr);
        if (icon)
            ::DestroyIcon(icon);
    }
    ::FreeLibrary(exe);
}

// The window of a running tool: its frame and controls, the summary in its label, and its pictures
// on the screen.
TEST(MainWindowE2eTest, FixedWindowWithItsControlsSummaryAndPictures) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const ToolProcess tool(WindowsPath(OST_TOOL_EXE));
    HWND main = tool.Main();
    ASSERT_NE(main, nullptr) << "the tool's window did not appear (is DISPLAY set?)";
    RECT client{};
    ::GetClientRect(main, &client);
    EXPECT_EQ(client.right, 249);
    EXPECT_EQ(client.bottom, 299);
    const LONG_PTR style = ::GetWindowLongPtrW(main, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    const auto children = ChildrenFrontToBack(main);
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(ClassName(children[0]), L"ListBox");
    EXPECT_EQ(Text(children[1]), "Create Support File");
    EXPECT_EQ(ClassName(children[2]), L"Static");
    // Left, top, width and height of the list box, the button and the label.
    const LONG places[3][4] = {{404, 253, 201, 147}, {52, 140, 150, 100}, {14, 26, 222, 150}};
    for (size_t i = 0; i < 3; ++i) {
        const RECT r = ChildRect(children[i]);
        EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
                  (std::vector<LONG>(places[i], places[i] + 4)))
            << "control " << i;
    }
    EXPECT_GT(ChildRect(children[0]).left, client.right) << "the list box lies outside the client area";

    // The label holds the six summary lines.
    const auto shown = SplitCrLf(Text(children[2]));
    const auto expected = ExpectedSummary();
    ASSERT_EQ(shown.size(), 6u) << Text(children[2]);
    for (size_t i = 0; i < 6; ++i) {
        if (i == 4)
            continue;  // free memory moves; compared with a margin below
        EXPECT_EQ(shown[i], expected[i]) << "line " << i + 1;
    }
    const std::string prefix = "Free Memory : ";
    ASSERT_EQ(shown[4].rfind(prefix, 0), 0u);
    const double shownFree = std::stod(shown[4].substr(prefix.size()));
    const double expectedFree = std::stod(expected[4].substr(prefix.size()));
    const double total = std::stod(expected[5].substr(std::string("Total Memory : ").size()));
    EXPECT_NEAR(shownFree, expectedFree, total * 0.05);

    const Image skin = DecodeFile(WindowsPath(OST_RESOURCES_DIR "/background.jpg"));
    const Image gif = DecodeFile(WindowsPath(OST_RESOURCES_DIR "/button.gif"));
    ASSERT_TRUE(skin);
    ASSERT_TRUE(gif);
    // A transparent pixel of the button (alpha 0 at palette index 255) and an opaque one.
    int tx = -1, ty = -1, ox = -1, oy = -1;
    for (int y = 0; y < gif.height && (tx < 0 || ox < 0); ++y)
        for (int x = 0; x < gif.width; ++x) {
            if (Alpha(gif.At(x, y)) == 0 && tx < 0)
                tx = x, ty = y;
            if (Alpha(gif.At(x, y)) == 255 && ox < 0 && y > gif.height / 2)
                ox = x, oy = y;
        }
    ASSERT_GE(tx, 0);
    ASSERT_GE(ox, 0);
    const int bx = 52, by = 140;

    Image shot;
    // The first paint can lag the window's appearance: wait (bounded) until the button shows.
    const bool painted = WaitUntil(
        [&] {
            shot = CaptureClient(tool.Main());
            return shot && ColourDistance(shot.At(bx + ox, by + oy), gif.At(ox, oy)) <= 2;
        },
        20000);
    SaveBmp(shot, WindowsPath(OST_E2E_OUTPUT_DIR "/main_window.bmp"));
    ASSERT_TRUE(painted) << "the button's opaque pixel never showed";
    const uint32_t under = shot.At(bx + tx, by + ty);
    EXPECT_LE(ColourDistance(under, skin.At(bx + tx, by + ty)), 2) << "the background shows through";
    EXPECT_GT(ColourDistance(under, 0xFFFF00FF), 40) << "not the palette's colour 255";
    // The background around the controls, and white label text on it.
    EXPECT_LE(ColourDistance(shot.At(4, 290), skin.At(4, 290)), 2);
    EXPECT_LE(ColourDistance(shot.At(248, 298), skin.At(248, 298)), 2);
    int white = 0;
    for (int y = 26; y < 120; ++y)
        for (int x = 14; x < 236; ++x)
            white += ColourDistance(shot.At(x, y), 0xFFFFFFFF) <= 30;
    EXPECT_GT(white, 200) << "the summary text is drawn in white";
    EXPECT_LE(ColourDistance(shot.At(16, 170), skin.At(16, 170)), 2) << "the label has no background of its own";
}

}  // namespace
}  // namespace ost::robot
