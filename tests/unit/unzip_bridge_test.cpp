#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/xw_unzip_files.h"
#include "archive/xw_zip_files.h"
#include "zip_module_fixture.h"

namespace ost::test {
namespace {

// UxUnzip with the extractor's initial values.
int32_t RunUnzip(XW_UN_ZIP_Module& module, std::string zipFile = "c:\\in.zip", std::string extractDir = "c:\\out") {
    return module.UxUnzip(zipFile, extractDir, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0);
}

using UxUnzipTest = ZipModuleTest;

TEST_F(UxUnzipTest, EveryValueReachesTheFieldNamedAfterItAndTheCallsComeInOrder) {
    std::string zipFile = "c:\\in.zip";
    std::string extractDir = "c:\\out";
    unzipRecorded.unzipResult = 11;  // returned, not raised
    ScriptCallback(unzipRecorded, kUnzipCallMessage, "a.txt");
    ScriptCallback(unzipRecorded, kUnzipCallService, "a.txt", 1000);
    EXPECT_TRUE(libraries.loaded.empty());

    // Each value is distinct, so a value in the wrong field shows; -1 shows the sign extension.
    EXPECT_EQ(module.UxUnzip(zipFile, extractDir, /*ExtractNewer*/ 3, /*SpaceToUnderScore*/ 4, /*PromptOverwrite*/ 5,
                             /*MessageLevel*/ 6, /*WriteToStdOut*/ 7, /*TestZip*/ 8, /*ExtractList*/ 9,
                             /*ExtractOnlyNewer*/ 10, /*DisplayComment*/ 11, /*HonorDirectories*/ 12,
                             /*OverWriteFiles*/ 13, /*ConvertCRtoCRLF*/ 14, /*Verbose*/ 15, /*CaseSensitive*/ 16,
                             /*Privilege*/ -1),
              11);
    EXPECT_EQ(Calls(unzipRecorded), (std::vector<std::string>{"UzpVersion2", "Wiz_SingleEntryUnzip"}));
    EXPECT_EQ(libraries.loaded, std::vector<std::string>{"unzip32.dll"});

    const DCL& o = unzipRecorded.options;
    const std::vector<int32_t> fields = {o.ExtractOnlyNewer, o.SpaceToUnderScore, o.PromptOverwrite, o.MessageLevel,
                                         o.WriteToStdOut,    o.TestZip,           o.ExtractList,     o.ExtractNewer,
                                         o.DisplayComment,   o.HonorDirectories,  o.OverWriteFiles,  o.ConvertCRtoCRLF,
                                         o.Verbose,          o.CaseSensitive,     o.Privilege};
    EXPECT_EQ(fields, (std::vector<int32_t>{10, 4, 5, 6, 7, 8, 9, 3, 11, 12, 13, 14, 15, 16, -1}));
    EXPECT_EQ(Text(unzipRecorded.zipFileName), "c:\\in.zip");
    EXPECT_EQ(Text(unzipRecorded.extractDir), "c:\\out");
    EXPECT_EQ(unzipRecorded.includeCount, 0);
    EXPECT_EQ(unzipRecorded.excludeCount, 0);
    EXPECT_EQ(unzipRecorded.includeNonNull, 0);  // 100 null pointers
    EXPECT_EQ(unzipRecorded.excludeNonNull, 0);

    const USERFUNCTION& f = unzipRecorded.functions;
    EXPECT_EQ(f.print, &XW_UN_ZIP_Module::UnzipPrint);
    EXPECT_EQ(f.sound, nullptr);
    EXPECT_EQ(f.replace, &XW_UN_ZIP_Module::UnzipReplace);
    EXPECT_EQ(f.password, &XW_UN_ZIP_Module::UnzipPassword);
    EXPECT_EQ(f.message, &XW_UN_ZIP_Module::UnzipMessage);
    EXPECT_EQ(f.service, &XW_UN_ZIP_Module::UnzipService);
    EXPECT_EQ(f.totalCompressedSize | f.totalSize | f.totalRatioPercent | f.entryCount | f.commentLength, 0u);
    EXPECT_EQ(unzipRecorded.callbacks[1].result, 0);  // the service callback lets the run go on

    const UnzipVersionInfo& v = unzipRecorded.version;
    EXPECT_EQ(v.length, 64u);
    EXPECT_EQ(v.flags, 0u);
    EXPECT_EQ(std::string(v.betaLevel, sizeof(v.betaLevel)), std::string(9, ' ') + '\0');
    EXPECT_EQ(std::string(v.date, sizeof(v.date)), std::string(19, ' ') + '\0');
    EXPECT_EQ(std::string(v.zlibVersion, sizeof(v.zlibVersion)), std::string(9, ' ') + '\0');
    const char zeros[16] = {};
    EXPECT_EQ(std::memcmp(&v.unzip, zeros, sizeof(zeros)), 0);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.doEvents, 0);
}

TEST_F(UxUnzipTest, TextsGoAsAnsiCopiesOrNullAndComeBackOnlyWhenTheLibraryChangedThem) {
    std::string zipFile = "c:\\caf\xC3\xA9-\xD0\xB6.zip";  // "é" is in the fake's code page, "ж" is not
    std::string extractDir;
    module.UxUnzip(zipFile, extractDir, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0);
    EXPECT_EQ(Text(unzipRecorded.zipFileName), "c:\\caf\xE9-?.zip");
    EXPECT_EQ(Text(unzipRecorded.extractDir), "<null>");
    EXPECT_EQ(zipFile, "c:\\caf\xC3\xA9-\xD0\xB6.zip");

    std::strcpy(unzipRecorded.renameArchiveTo, "c:\\n\xE9w.zip");
    module.UxUnzip(zipFile, extractDir, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0);
    EXPECT_EQ(zipFile, "c:\\n\xC3\xA9w.zip");
    EXPECT_EQ(extractDir, "");
}

TEST_F(UxUnzipTest, FailuresAreRaisedWithTheBridgesSourceThenTheExtractorsAndShowNothing) {
    ScriptPrint(unzipRecorded, "earlier");
    RunUnzip(module);
    EXPECT_EQ(module.LastMessage(), "earlier");

    libraries.libraries[kUnzipLibrary].erase("Wiz_SingleEntryUnzip");
    ResetUnzipRecording();
    const AppError noEntry = RaisedBy([&] { RunUnzip(module); });
    EXPECT_EQ(noEntry.Number(), err::kEntryPointMissing);
    EXPECT_EQ(noEntry.Description(), "Specified DLL function not found");
    EXPECT_EQ(noEntry.Source(), "CodeModule::UxUnzip");
    EXPECT_EQ(Calls(unzipRecorded), std::vector<std::string>{"UzpVersion2"});
    EXPECT_EQ(module.LastMessage(), "");  // emptied before the failure

    libraries.libraries.erase(kUnzipLibrary);
    const AppError noLibrary = RaisedBy([&] { RunUnzip(module); });
    EXPECT_EQ(noLibrary.Number(), err::kFileNotFound);
    EXPECT_EQ(noLibrary.Description(), "File not found");
    EXPECT_EQ(noLibrary.Source(), "CodeModule::UxUnzip");
    XWUnzipFiles unzip;
    const AppError fromUnzip = RaisedBy([&] { unzip.Unzip("c:\\a.zip"); });
    EXPECT_EQ(fromUnzip.Number(), err::kFileNotFound);
    EXPECT_EQ(fromUnzip.Source(), "XWUnZipFiles::Unzip");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(UxUnzipTest, LastMessageHoldsWhatTheLatestRunPrinted) {
    XWZipFiles zip;
    LibraryPrints("  adding: a.txt\n");
    zip.MakeZipFile();
    RunUnzip(module);
    EXPECT_EQ(module.LastMessage(), "");  // a run that prints nothing leaves it empty

    ScriptPrint(unzipRecorded, "  inflating: a.txt\n");
    ScriptPrint(unzipRecorded, "caf\xE9");
    RunUnzip(module);
    EXPECT_EQ(module.LastMessage(), "  inflating: a.txt\ncaf\xC3\xA9");
    EXPECT_EQ(unzipRecorded.callbacks[0].result, 0);
    EXPECT_EQ(unzipRecorded.callbacks[1].result, 0);

    // A zip run takes LastMessage over; a later print of the unzip library gives it back the
    // unzip run's whole output.
    zip.MakeZipFile();
    EXPECT_EQ(module.LastMessage(), "  adding: a.txt\n");
    char more[kUnzipCallbackBufferSize] = "!";
    XW_UN_ZIP_Module::UnzipPrint(more, 1);
    EXPECT_EQ(module.LastMessage(), "  inflating: a.txt\ncaf\xC3\xA9!");
}

using UnzipCallbacksTest = ZipModuleTest;

TEST_F(UnzipCallbacksTest, PrintReadsUpToTheLengthOrIndex32800AndTurnsALeadingLfIntoCrLf) {
    std::vector<char> buffer(kUnzipCallbackBufferSize, 'x');
    const auto appended = [&](int32_t length) {
        const size_t before = module.LastMessage().size();
        EXPECT_EQ(XW_UN_ZIP_Module::UnzipPrint(buffer.data(), length), 0);
        return module.LastMessage().substr(before);
    };
    EXPECT_EQ(appended(40000).size(), 32801u);
    EXPECT_EQ(appended(3), "xxx");
    EXPECT_EQ(appended(0), "");
    EXPECT_EQ(appended(-1), "");

    std::strcpy(buffer.data(), "\nrest");
    EXPECT_EQ(appended(5), "\r\n");
    std::strcpy(buffer.data(), "a\nb");
    EXPECT_EQ(appended(5), "a\nb");
    buffer[0] = '\0';
    EXPECT_EQ(appended(5), "");
    EXPECT_EQ(ui.doEvents, 0);  // it never yields

    locale.failing = {"FromAnsi"};
    std::strcpy(buffer.data(), "lost");
    EXPECT_EQ(appended(4), "");
}

TEST_F(UnzipCallbacksTest, PasswordDeclinedOnceIsNotAskedAgainInThatRunButInTheNext) {
    ScriptCallback(unzipRecorded, kUnzipCallPassword, {}, kUnzipNameBufferSize);
    ScriptCallback(unzipRecorded, kUnzipCallPassword, {}, kUnzipNameBufferSize);
    RunUnzip(module);  // no reply scripted: the box is cancelled
    ASSERT_EQ(ui.inputs.size(), 1u);
    EXPECT_EQ(ui.inputs[0].prompt, "Please Enter The Password!");
    EXPECT_EQ(ui.inputs[0].title, "OrlaventSupportTool");
    EXPECT_EQ(ui.inputs[0].defaultText, "");
    EXPECT_EQ(unzipRecorded.callbacks[0].result, 1);
    EXPECT_EQ(unzipRecorded.callbacks[1].result, 1);
    EXPECT_EQ(unzipRecorded.callbacks[0].password[0], '\x7F');  // left as it was

    // The next run asks again; the reply fills the zeroed buffer in the ANSI code page, cut so that
    // a zero byte ends it within the size the library gave.
    ResetUnzipRecording();
    ScriptCallback(unzipRecorded, kUnzipCallPassword, {}, kUnzipNameBufferSize);
    ScriptCallback(unzipRecorded, kUnzipCallPassword, {}, 4);
    ui.replies = {"pa\xC3\xA9", "toolong"};
    RunUnzip(module);
    EXPECT_EQ(ui.inputs.size(), 3u);
    const UnzipCallbackCall& first = unzipRecorded.callbacks[0];
    EXPECT_EQ(first.result, 0);
    EXPECT_EQ(std::string(first.password, 4), "pa\xE9" + std::string(1, '\0'));
    EXPECT_EQ(std::string(first.password + 3, kUnzipNameBufferSize - 3), std::string(kUnzipNameBufferSize - 3, '\0'));
    const UnzipCallbackCall& cut = unzipRecorded.callbacks[1];
    EXPECT_EQ(cut.result, 0);
    EXPECT_EQ(std::string(cut.password, 5), std::string("too\0\x7F", 5));

    // A box that cannot be shown counts as declined.
    ResetUnzipRecording();
    RunUnzip(module);
    ui.failing = {"InputBox"};
    char password[kUnzipNameBufferSize] = {};
    EXPECT_EQ(XW_UN_ZIP_Module::UnzipPassword(password, kUnzipNameBufferSize, "p", "n"), 1);
}

TEST_F(UnzipCallbacksTest, OverwriteQuestionAnswersYesNoAndCancelAndKeepsTheFileOtherwise) {
    for (int i = 0; i < 3; ++i)
        ScriptCallback(unzipRecorded, kUnzipCallReplace, "c:\\out\\caf\xE9.txt");
    ui.answers = {mb::kAnswerYes, mb::kAnswerNo, mb::kAnswerCancel};
    RunUnzip(module);
    EXPECT_EQ(unzipRecorded.callbacks[0].result, 102);
    EXPECT_EQ(unzipRecorded.callbacks[1].result, 100);
    EXPECT_EQ(unzipRecorded.callbacks[2].result, 104);
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0].text, "Overwrite c:\\out\\caf\xC3\xA9.txt?");
    EXPECT_EQ(ui.boxes[0].style, 51);
    EXPECT_EQ(ui.boxes[0].title, "UxUnZip32 - File Already Exists!");

    // The name is read from indices 0 to 255 only.
    std::vector<char> longName(kUnzipCallbackBufferSize, 'n');
    ui.answers = {mb::kAnswerOk};  // neither Yes nor Cancel
    EXPECT_EQ(XW_UN_ZIP_Module::UnzipReplace(longName.data()), 100);
    EXPECT_EQ(ui.boxes.back().text, "Overwrite " + std::string(256, 'n') + "?");
    ui.failing = {"MsgBox"};
    EXPECT_EQ(XW_UN_ZIP_Module::UnzipReplace(longName.data()), 100);
}

}  // namespace
}  // namespace ost::test
