// The library loader, the upper-casing and the bridge's two halves against the real platform:
// libraries found by name by the system's own search, among them a recording zip32.dll and a
// recording unzip32.dll.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/xw_un_zip_module.h"
#include "archive/xw_unzip_files.h"
#include "archive/xw_zip_files.h"
#include "fake_ui.h"
#include "platform/win32/library_win32.h"
#include "platform/win32/locale_win32.h"
#include "raised_by.h"
#include "recording_libraries.h"
#include "win32_test_util.h"

namespace ost::test {
namespace {

using RecordingFn = ZipRecording*(ZIP32_API*)();
using UnzipRecordingFn = UnzipRecording*(ZIP32_API*)();

AppError LoaderError(ILibraryLoader& loader, const std::string& library, const std::string& entry) {
    return RaisedBy([&] { loader.Entry(library, entry); });
}

TEST(Win32LibraryLoaderTest, FindsLibrariesByBareNameAndNamesWhatIsMissing) {
    win::Win32LibraryLoader loader;
    using TickCountFn = DWORD(WINAPI*)();
    const auto tickCount = EntryAs<TickCountFn>(loader, "kernel32.dll", "GetTickCount");
    ASSERT_NE(tickCount, nullptr);
    EXPECT_GT(tickCount(), 0u);

    const AppError noEntry = LoaderError(loader, "kernel32.dll", "NoSuchEntry");
    EXPECT_EQ(noEntry.Number(), err::kEntryPointMissing);
    EXPECT_EQ(noEntry.Description(), "Specified DLL function not found");
    EXPECT_NE(noEntry.Context().find("kernel32.dll!NoSuchEntry"), std::string::npos) << noEntry.Context();

    for (int attempt = 0; attempt < 2; ++attempt) {  // a failed load is tried again, and fails again
        const AppError noLibrary = LoaderError(loader, "ost_no_such_library.dll", "Anything");
        EXPECT_EQ(noLibrary.Number(), err::kFileNotFound);
        EXPECT_EQ(noLibrary.Description(), "File not found");
        EXPECT_NE(noLibrary.Context().find("ost_no_such_library.dll"), std::string::npos) << noLibrary.Context();
    }
}

TEST(Win32LocaleTest, UpperCaseCoversEveryScriptAndKeepsTheLength) {
    win::Win32Locale locale;
    EXPECT_EQ(locale.UpperCase("\\"), "\\");
    EXPECT_EQ(locale.UpperCase(""), "");
    // "c:\pwwin32\été жук" goes up; "ß" has no one-letter capital and stays.
    EXPECT_EQ(locale.UpperCase("c:\\pwwin32\\\xC3\xA9t\xC3\xA9 \xD0\xB6\xD1\x83\xD0\xBA \xC3\x9F"),
              "C:\\PWWIN32\\\xC3\x89T\xC3\x89 \xD0\x96\xD0\xA3\xD0\x9A \xC3\x9F");
}

// The bridge with the real loader, locale and library search; boxes are recorded.
class ZipBridgeWin32Test : public ::testing::Test {
  protected:
    FakeUi ui;
    win::Win32Locale locale;
    win::Win32LibraryLoader libraries;
    XW_UN_ZIP_Module module{ui, locale, libraries};
};

TEST_F(ZipBridgeWin32Test, RecordingZip32FoundByNameReceivesTheWorkflowsRun) {
    // The folder of the recording zip32.dll joins the system's search for libraries.
    ASSERT_TRUE(::SetDllDirectoryW((ProgramFolder() + L"fake_zip32").c_str()));
    ZipRecording& recorded = *EntryAs<RecordingFn>(libraries, kZipLibrary, "FakeZipRecording")();
    ::SetDllDirectoryW(nullptr);
    recorded.messageCount = 2;
    std::strcpy(recorded.messages[0], "  adding: ovsupport.txt (deflated 91%)\n");
    std::strcpy(recorded.messages[1], "  adding: regbackup.reg (deflated 88%)\n");

    XWZipFiles zip;
    zip.ZipFileName("c:\\users\\me\\case.OVSupport");
    zip.AddFile("c:\\ovsupport.txt");
    zip.AddFile("c:\\regbackup.reg");
    EXPECT_EQ(zip.MakeZipFile(), 0);

    EXPECT_EQ(Calls(recorded), (std::vector<std::string>{"ZpInit", "ZpSetOptions", "ZpArchive"}));
    EXPECT_EQ(recorded.functions.print, &XW_UN_ZIP_Module::ZipPrint);
    EXPECT_EQ(recorded.functions.service, nullptr);
    EXPECT_EQ(Text(recorded.rootDir) + Text(recorded.rootDirLater) + Text(recorded.date), "\\\\<null>");
    EXPECT_EQ(recorded.count, 3);
    EXPECT_EQ(Text(recorded.zipFileName), "c:\\users\\me\\case.OVSupport");
    EXPECT_EQ(ReceivedNames(recorded), kWorkflowNames);
    EXPECT_EQ(recorded.passwordResult, 1);
    EXPECT_EQ(recorded.commentHandedBack, 1);
    EXPECT_EQ(zip.GetLastMessage(), "  adding: ovsupport.txt (deflated 91%)\n  adding: regbackup.reg (deflated 88%)\n");
    EXPECT_EQ(ui.doEvents, 2);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ZipBridgeWin32Test, NoZip32AnywhereGivesThreeRecoverableErrorsAndZero) {
    XWZipFiles zip;
    zip.ZipFileName("c:\\case.OVSupport");
    zip.AddFile("c:\\ovsupport.txt");
    EXPECT_EQ(zip.MakeZipFile(), 0);
    ASSERT_EQ(ui.boxes.size(), 3u);
    for (const FakeUi::Box& box : ui.boxes) {
        EXPECT_EQ(box.text, "Recoverable Error.\r\n\r\n53File not found");
        EXPECT_EQ(box.style, 0);
        EXPECT_EQ(box.title, "OrlaventSupportTool");
    }
    EXPECT_EQ(zip.GetLastMessage(), "");
}

// The records and every kind of callback across a real DLL boundary; the callbacks' rules
// themselves are the unit tests'.
TEST_F(ZipBridgeWin32Test, RecordingUnzip32FoundByNameReceivesTheExtractorsRun) {
    ASSERT_TRUE(::SetDllDirectoryW((ProgramFolder() + L"fake_unzip32").c_str()));
    UnzipRecording& recorded = *EntryAs<UnzipRecordingFn>(libraries, kUnzipLibrary, "FakeUnzipRecording")();
    ::SetDllDirectoryW(nullptr);
    recorded.unzipResult = 81;
    ScriptPrint(recorded, "  inflating: caf\xE9.txt\n");
    ScriptCallback(recorded, kUnzipCallPassword, {}, kUnzipNameBufferSize);
    ScriptCallback(recorded, kUnzipCallReplace, "c:\\out\\a.txt");
    ScriptCallback(recorded, kUnzipCallMessage, "a.txt");
    ScriptCallback(recorded, kUnzipCallService, "a.txt", 1000);
    ui.answers = {mb::kAnswerYes};

    XWUnzipFiles unzip;
    EXPECT_EQ(unzip.Unzip("c:\\in.zip", "c:\\out"), 81);

    EXPECT_EQ(Calls(recorded), (std::vector<std::string>{"UzpVersion2", "Wiz_SingleEntryUnzip"}));
    EXPECT_EQ(recorded.version.length, 64u);
    const DCL& o = recorded.options;
    EXPECT_EQ(o.MessageLevel, 2);
    EXPECT_EQ(o.HonorDirectories + o.OverWriteFiles + o.CaseSensitive, 3);
    EXPECT_EQ(Text(recorded.zipFileName), "c:\\in.zip");
    EXPECT_EQ(Text(recorded.extractDir), "c:\\out");
    EXPECT_EQ(recorded.includeNonNull + recorded.excludeNonNull, 0);

    EXPECT_EQ(unzip.GetLastMessage(), "  inflating: caf\xC3\xA9.txt\n");
    EXPECT_EQ(ui.inputs.size(), 1u);
    EXPECT_EQ(recorded.callbacks[1].result, 1);
    EXPECT_EQ(recorded.callbacks[2].result, 102);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Overwrite c:\\out\\a.txt?");
    EXPECT_EQ(recorded.callbacks[4].result, 0);
}

}  // namespace
}  // namespace ost::test
