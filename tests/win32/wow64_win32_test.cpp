// What the program sees of the system it runs on: the 32-bit release on 64-bit Windows (WoW64: a
// 64-bit Wine prefix), the 32-bit release on 32-bit Windows (a 32-bit prefix), and the 64-bit build.
// The report shows what the program sees, so these pin it down: the redirected system folder, and
// the installed programs of the program's own registry view.
#include "platform/win32/compat.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_ui.h"
#include "platform/filesystem.h"
#include "inspect/mod_general.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/text.h"
#include "robot.h"
#include "win32_test_util.h"

namespace ost::win {
namespace {

enum class Seen { k64BitProgram, k32BitOn64BitWindows, k32BitOn32BitWindows };

Seen ThisProgram() {
    if (sizeof(void*) == 8)
        return Seen::k64BitProgram;
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64 ? Seen::k32BitOn64BitWindows
                                                                    : Seen::k32BitOn32BitWindows;
}

// The system folder's listing is the one of the folder the program sees: on 64-bit Windows a
// 32-bit program's system32 is SysWOW64, under the name system32.
TEST(Wow64Win32Test, TheSystemFolderListedIsTheOneTheProgramSees) {
    const Seen seen = ThisProgram();
    const std::wstring marker = L"C:\\windows\\syswow64\\ost-wow64-marker.txt";
    if (::GetFileAttributesW(L"C:\\windows\\syswow64") == INVALID_FILE_ATTRIBUTES) {
        // 32-bit Windows has none, nor has a 64-bit one that cannot run 32-bit programs.
        EXPECT_NE(seen, Seen::k32BitOn64BitWindows);
        return;
    }
    ASSERT_TRUE(test::WriteBytes(marker, "marker"));  // the 32-bit side of the system folder
    Win32Locale locale;
    Win32FileSystem fs(locale);
    const auto system = fs.GetSpecialFolder(SpecialFolder::System);
    bool listed = false;
    const auto files = system->Files();
    while (IFsItem* file = files->Next())
        listed = listed || file->Name() == "ost-wow64-marker.txt";
    ::DeleteFileW(marker.c_str());
    EXPECT_EQ(locale.UpperCase(system->Path()), "C:\\WINDOWS\\SYSTEM32") << "under its own name";
    EXPECT_EQ(listed, seen == Seen::k32BitOn64BitWindows);
}

// The uninstall walk opens its key with the access it has always had: a 32-bit program on 64-bit
// Windows reads the 32-bit view alone; on 32-bit Windows there is one view, which holds both.
TEST(Wow64Win32Test, TheProgramListIsTheProgramsOwnRegistryView) {
    const std::wstring key = L"\"HKLM\\" + Widen(modGeneral::kUninstallKey) + L"\\OstView";
    robot::RunProgram(L"reg add " + key + L"64\" /v DisplayName /d \"Ost 64-bit View Program\" /f /reg:64");
    robot::RunProgram(L"reg add " + key + L"32\" /v DisplayName /d \"Ost 32-bit View Program\" /f /reg:32");
    Win32Locale locale;
    Win32FileSystem fs(locale);
    Win32Registry registry;
    test::FakeUi ui;
    modGeneral::ExportProgramList(ui, fs, registry, locale, ui);
    const std::string written = fs.OpenTextFile("c:\\progs.txt", IoMode::ForReading, false, 0)->ReadAll();
    robot::RunProgram(L"reg delete " + key + L"64\" /f /reg:64");
    robot::RunProgram(L"reg delete " + key + L"32\" /f /reg:32");
    const bool has64 = written.find("\"Ost 64-bit View Program\"") != std::string::npos;
    const bool has32 = written.find("\"Ost 32-bit View Program\"") != std::string::npos;
    const Seen seen = ThisProgram();
    EXPECT_EQ(has64, seen != Seen::k32BitOn64BitWindows) << written;
    EXPECT_EQ(has32, seen != Seen::k64BitProgram) << written;
}

}  // namespace
}  // namespace ost::win
