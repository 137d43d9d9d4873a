// ovdesk's --export file read back by the real registry editor: every value of the key comes into
// the registry with the type and the bytes the support file's export gave it.
#include <windows.h>

#include <gtest/gtest.h>

#include "desk/commands.h"
#include "desk/registry_export.h"
#include "desk/text.h"
#include "platform/win32/text.h"
#include "win32_test_util.h"
#include "ziplib/win32/file_system_win32.h"
#include "ziplib/zip_engine.h"

namespace ost::test {
namespace {

TEST(DeskRegeditTest, AnExportedKeyImportsWithEveryValuesTypeAndBytes) {
    const ScratchFolder folder("desk-regedit");
    const std::string top = "Software\\OrlaventDeskTest\\" + std::to_string(::GetCurrentProcessId());
    const std::string key = "HKEY_CURRENT_USER\\" + top + "\\Content Type\\text/html";
    std::string binary = "\"Binary\"=hex:00";
    for (int i = 1; i < 300; ++i)
        binary += "," + std::string(1, "0123456789abcdef"[i % 16]) + "f";
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[" + key +
                             "]\r\n"
                             "@=\"default\"\r\n"
                             "\"@\"=\"named @\"\r\n"
                             "\"We\\\"ird=x\"=\"v\"\r\n"
                             "\"Path\"=\"C:\\\\dir\\\\\"\r\n"
                             "\"Unicode\"=\"жёлтый テスト 😀\"\r\n"
                             "\"Lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"
                             "\"Expand\"=hex(2):25,00,53,00,52,00,25,00,5c,00,78,00,00,00\r\n"
                             "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                             "\"Dword\"=dword:deadbeef\r\n"
                             "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n" +
                             binary +
                             "\r\n"
                             "\"None\"=hex(0):\r\n"
                             "\"Empty\"=\"\"\r\n\r\n[" +
                             key + "\\Sub]\r\n\"x\"=dword:00000001\r\n\r\n";
    const std::string wide = "\xFF\xFE" + desk::Utf8ToUtf16Le(text);
    ASSERT_TRUE(WriteBytes(win::LongPath(folder.At("regbackup.reg")), wide));
    ASSERT_TRUE(WriteBytes(win::LongPath(folder.At("ovsupport.txt")), "Orlavent Software Support Tool System Report\r\n"));
    zip::Win32FileSystem files;
    ASSERT_EQ(zip::RunZipJob(files, folder.At("x.OVSupport"), {folder.At("ovsupport.txt"), folder.At("regbackup.reg")}, {}, {}),
              zip::kOk);

    desk::DeskIo io;
    io.files = &files;
    std::string out, err;
    io.out = [&](std::string_view s) { out += s; };
    io.err = [&](std::string_view s) { err += s; };
    ASSERT_EQ(desk::RunDesk({"reg", folder.At("x.OVSupport"), "HKCU\\" + top, "--export", folder.At("key.reg")}, io),
              desk::kClean)
        << err;
    EXPECT_EQ(out, "2 keys and 14 values written to " + folder.At("key.reg") + "\n");

    std::wstring command = L"regedit.exe /s \"" + win::Widen(folder.At("key.reg")) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    win::UniqueHandle thread(process.hThread), child(process.hProcess);
    ASSERT_EQ(::WaitForSingleObject(child.get(), 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(child.get(), &code);
    EXPECT_EQ(code, 0u);

    // Every value of the export, read back through the registry's own calls.
    size_t compared = 0;
    HKEY opened = nullptr;
    desk::ExportReader reader(
        {[&](const std::string& path) {
             if (opened)
                 ::RegCloseKey(opened);
             opened = nullptr;
             EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, win::Widen(path.substr(path.find('\\') + 1)).c_str(), 0,
                                       KEY_QUERY_VALUE, &opened),
                       ERROR_SUCCESS)
                 << path;
             return true;
         },
         [&](const desk::RegValue& v) {
             DWORD type = 0, size = 0;
             const std::wstring name = win::Widen(v.name);
             ASSERT_EQ(::RegQueryValueExW(opened, name.c_str(), nullptr, &type, nullptr, &size), ERROR_SUCCESS) << v.name;
             std::vector<uint8_t> data(size);
             ::RegQueryValueExW(opened, name.c_str(), nullptr, &type, data.data(), &size);
             EXPECT_EQ(type, v.type) << v.name;
             EXPECT_EQ(data, v.data) << v.name;
             ++compared;
         }});
    reader.Feed(reinterpret_cast<const uint8_t*>(wide.data()), wide.size());
    EXPECT_EQ(reader.Finish().keys, 2u);
    if (opened)
        ::RegCloseKey(opened);
    EXPECT_EQ(compared, 14u);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, win::Widen("Software\\OrlaventDeskTest").c_str());
}

}  // namespace
}  // namespace ost::test
