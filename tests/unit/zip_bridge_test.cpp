#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "zip_module_fixture.h"

namespace ost::test {
namespace {

const std::vector<std::string> kThreeCalls = {"ZpInit", "ZpSetOptions", "ZpArchive"};

std::string RecoverableError(const std::string& numberAndDescription) {
    return "Recoverable Error.\r\n\r\n" + numberAndDescription;
}

class RunZipTest : public ZipModuleTest {
  protected:
    // RunZip with every switch at 0 but the archive name, list and root folder given.
    int32_t RunPlain(int16_t count = 1, const std::string& root = "\\") {
        return module.RunZip(count, zipFile, names, 0, 0, 0, 0, root, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    std::string zipFile = "c:\\out.zip";
    ZipNameList names;
};

TEST_F(RunZipTest, EveryRecordFieldGetsItsOwnParameterAndTheCallsComeInOrder) {
    names.At(0) = "querty";
    names.At(1) = "c:\\a.txt";
    recorded.archiveResult = 0;
    EXPECT_TRUE(libraries.loaded.empty());  // nothing is loaded before the first run

    // Each switch gets a value of its own, so a value in the wrong field shows; -1 shows the
    // sign extension from 16 to 32 bits.
    const int32_t result = module.RunZip(2, zipFile, names, /*fJunkDir*/ 4, /*fRecurse*/ 5, /*fUpdate*/ 6,
                                         /*fFreshen*/ 7, "c:\\Root", /*fEncrypt*/ 9, /*fSystem*/ 10,
                                         /*fNoDirEntries*/ 11, /*fVerbose*/ 12, /*fQuiet*/ 13, /*fCRLF_LF*/ 14,
                                         /*fLF_CRLF*/ 15, /*fGrow*/ 16, /*fForce*/ 17, /*fMove*/ 18,
                                         /*fDeleteEntries*/ -1);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Calls(recorded), kThreeCalls);
    EXPECT_EQ(libraries.loaded, std::vector<std::string>{"zip32.dll"});

    EXPECT_EQ(recorded.functions.print, &XW_UN_ZIP_Module::ZipPrint);
    EXPECT_EQ(recorded.functions.password, &XW_UN_ZIP_Module::ZipPassword);
    EXPECT_EQ(recorded.functions.comment, &XW_UN_ZIP_Module::ZipComment);
    EXPECT_EQ(recorded.functions.service, nullptr);

    const ZPOPT& o = recorded.options;
    const std::vector<int32_t> fields = {
        o.fSuffix,      o.fEncrypt, o.fSystem,  o.fVolume,        o.fExtra,      o.fNoDirEntries, o.fExcludeDate,
        o.fIncludeDate, o.fVerbose, o.fQuiet,   o.fCRLF_LF,       o.fLF_CRLF,    o.fJunkDir,      o.fRecurse,
        o.fGrow,        o.fForce,   o.fMove,    o.fDeleteEntries, o.fUpdate,     o.fFreshen,      o.fJunkSFX,
        o.fLatestTime,  o.fComment, o.fOffsets, o.fPrivilege,     o.fEncryption, o.fRepair};
    const std::vector<int32_t> expected = {0,  9,  10, 0,  0, 11, 0, 0, 12, 13, 14, 15, 4, 5,
                                           16, 17, 18, -1, 6, 7,  0, 0, 0,  0,  0,  0,  0};
    EXPECT_EQ(fields, expected);
    EXPECT_EQ(o.fLevel, 0);
    EXPECT_EQ(o.padding[0] | o.padding[1] | o.padding[2], 0);
    EXPECT_EQ(Text(recorded.date), "<null>");
    EXPECT_EQ(Text(recorded.rootDir), "C:\\ROOT");

    EXPECT_EQ(recorded.count, 2);
    EXPECT_EQ(Text(recorded.zipFileName), "c:\\out.zip");
    EXPECT_EQ(ReceivedNames(recorded), (std::vector<std::string>{"querty", "c:\\a.txt"}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(RunZipTest, RootFolderGoesUpperCasedAndStaysValidUntilTheArchiveCall) {
    RunPlain();
    EXPECT_EQ(Text(recorded.rootDir), "\\");

    ResetRecording();
    RunPlain(1, "c:\\PwWin32\\\xC3\xA9t\xC3\xA9");  // "été": upper case beyond ASCII
    EXPECT_EQ(Text(recorded.rootDir), "C:\\PWWIN32\\\xC9T\xC9");
    EXPECT_EQ(Text(recorded.rootDirLater), "C:\\PWWIN32\\\xC9T\xC9");
}

TEST_F(RunZipTest, TextsGoAsAnsiCopiesAndComeBackOnlyWhenTheLibraryChangedThem) {
    // "é" is in the fake's code page, "ж" is not and goes as '?'.
    zipFile = "c:\\caf\xC3\xA9-\xD0\xB6.zip";
    names.At(0) = "querty";
    names.At(1) = "c:\\\xD0\xB6.txt";
    RunPlain(2);
    EXPECT_EQ(Text(recorded.zipFileName), "c:\\caf\xE9-?.zip");
    EXPECT_EQ(Text(recorded.names[1]), "c:\\?.txt");
    EXPECT_EQ(zipFile, "c:\\caf\xC3\xA9-\xD0\xB6.zip");  // not replaced by its '?' form
    EXPECT_EQ(names.At(1), "c:\\\xD0\xB6.txt");

    std::strcpy(recorded.renameArchiveTo, "c:\\n\xE9w.zip");
    RunPlain(2);
    EXPECT_EQ(zipFile, "c:\\n\xC3\xA9w.zip");
}

TEST_F(RunZipTest, ResultIsTakenFromEachCallAsItCompletes) {
    recorded.initResult = 3;
    recorded.optionsResult = 7;
    recorded.archiveResult = 18;
    EXPECT_EQ(RunPlain(), 18);

    libraries.libraries[kZipLibrary].erase("ZpArchive");
    EXPECT_EQ(RunPlain(), 7);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, RecoverableError("453Specified DLL function not found"));
    EXPECT_EQ(ui.boxes[0].style, mb::kOkOnly);
    EXPECT_EQ(ui.boxes[0].title, kAppTitle);

    // A conversion that fails stops its own call only: ZpSetOptions and ZpArchive are not made.
    libraries.libraries[kZipLibrary]["ZpArchive"] = AsEntry(&RecordingZpArchive);
    ResetRecording();
    recorded.initResult = 3;
    ui.boxes.clear();
    locale.failing = {"ToAnsi"};
    EXPECT_EQ(RunPlain(), 3);
    EXPECT_EQ(Calls(recorded), std::vector<std::string>{"ZpInit"});
    EXPECT_EQ(ui.boxes.size(), 2u);
}

TEST_F(RunZipTest, MissingLibraryShowsThreeRecoverableErrorsAndGivesZero) {
    libraries.libraries.clear();
    EXPECT_EQ(RunPlain(), 0);
    ASSERT_EQ(ui.boxes.size(), 3u);
    for (const FakeUi::Box& box : ui.boxes) {
        EXPECT_EQ(box.text, RecoverableError("53File not found"));
        EXPECT_EQ(box.style, mb::kOkOnly);
        EXPECT_EQ(box.title, kAppTitle);
    }

    // Boxes that cannot be shown do not stop the run either.
    ui.failing = {"MsgBox"};
    EXPECT_EQ(RunPlain(), 0);
}

TEST_F(RunZipTest, FailedUpperCasingLeavesTheRootNullAndTheRunGoesOn) {
    locale.failing = {"UpperCase"};
    recorded.archiveResult = 12;
    EXPECT_EQ(RunPlain(1, "c:\\x"), 12);
    EXPECT_EQ(Calls(recorded), kThreeCalls);
    EXPECT_EQ(Text(recorded.rootDir), "<null>");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, RecoverableError("5Invalid procedure call or argument"));
}

TEST_F(RunZipTest, LastMessageHoldsOnlyTheLatestRunsOutput) {
    LibraryPrints("  adding: a.txt (deflated 91%)\n");
    LibraryPrints("caf\xE9\n");
    RunPlain();
    EXPECT_EQ(module.LastMessage(), "  adding: a.txt (deflated 91%)\ncaf\xC3\xA9\n");
    EXPECT_EQ(ui.doEvents, 2);
    EXPECT_EQ(recorded.printResults[0], 0);
    EXPECT_EQ(recorded.printResults[1], 0);
    EXPECT_EQ(recorded.passwordResult, 1);
    EXPECT_EQ(recorded.commentHandedBack, 1);

    ResetRecording();
    LibraryPrints("second");
    RunPlain();
    EXPECT_EQ(module.LastMessage(), "second");

    ResetRecording();
    RunPlain();
    EXPECT_EQ(module.LastMessage(), "");

    // A missing library empties it too.
    ResetRecording();
    LibraryPrints("third");
    RunPlain();
    libraries.libraries.clear();
    RunPlain();
    EXPECT_EQ(module.LastMessage(), "");
}

using ZipPrintTest = ZipModuleTest;

TEST_F(ZipPrintTest, WalksFromIndexZeroToTheLengthUntilAZeroByteOrTheBuffersEnd) {
    std::vector<char> buffer(kZipCallbackBufferSize, 'x');
    const auto appended = [&](uint32_t length) {
        const size_t before = module.LastMessage().size();
        EXPECT_EQ(XW_UN_ZIP_Module::ZipPrint(buffer.data(), length), 0);
        return module.LastMessage().substr(before);
    };

    EXPECT_EQ(appended(4096).size(), 4097u);
    EXPECT_EQ(appended(5000).size(), 4097u);
    EXPECT_EQ(appended(0xFFFFFFFFu).size(), 4097u);  // a huge length, not a negative one
    EXPECT_EQ(appended(10).size(), 11u);
    EXPECT_EQ(appended(0), "x");

    buffer[0] = 'a';
    buffer[1] = '\xE9';
    buffer[2] = '\0';
    EXPECT_EQ(appended(4096), "a\xC3\xA9");

    buffer[0] = '\0';
    const int yields = ui.doEvents;
    EXPECT_EQ(appended(4096), "");
    EXPECT_EQ(ui.doEvents, yields + 1);  // an empty message still yields once
}

TEST_F(ZipPrintTest, FailuresInsideTheCallbackNeverReachTheLibrary) {
    char buffer[kZipCallbackBufferSize] = "text";
    ui.failing = {"DoEvents"};
    EXPECT_EQ(XW_UN_ZIP_Module::ZipPrint(buffer, 4), 0);
    EXPECT_EQ(module.LastMessage(), "text");

    locale.failing = {"FromAnsi"};
    EXPECT_EQ(XW_UN_ZIP_Module::ZipPrint(buffer, 4), 0);
    EXPECT_EQ(module.LastMessage(), "text");
    EXPECT_EQ(ui.doEvents, 2);
    EXPECT_EQ(XW_UN_ZIP_Module::ZipPrint(nullptr, 4), 0);
}

TEST(ZipModuleSetupTest, OneModuleAtATimeAndCallbacksAnswerWithoutOne) {
    EXPECT_EQ(RaisedBy([] { XW_UN_ZIP_Module::Instance(); }).Number(), err::kObjectNotSet);
    char buffer[kUnzipCallbackBufferSize] = "text";  // the larger of the two callback buffers
    EXPECT_EQ(XW_UN_ZIP_Module::ZipPrint(buffer, 4), 0);
    EXPECT_EQ(XW_UN_ZIP_Module::ZipPassword(buffer, 4097, "p", "n"), 1);
    EXPECT_EQ(XW_UN_ZIP_Module::ZipComment(buffer), buffer);
    EXPECT_EQ(XW_UN_ZIP_Module::UnzipPrint(buffer, 4), 0);
    EXPECT_EQ(XW_UN_ZIP_Module::UnzipReplace(buffer), 100);
    EXPECT_EQ(XW_UN_ZIP_Module::UnzipPassword(buffer, kUnzipNameBufferSize, "p", "n"), 1);
    EXPECT_EQ(XW_UN_ZIP_Module::UnzipService(buffer, 4), 0);
    EXPECT_STREQ(buffer, "text");

    FakeUi ui;
    FakeLocale locale;
    FakeLibraryLoader libraries;
    {
        XW_UN_ZIP_Module module(ui, locale, libraries);
        EXPECT_EQ(&XW_UN_ZIP_Module::Instance(), &module);
        EXPECT_EQ(RaisedBy([&] { XW_UN_ZIP_Module second(ui, locale, libraries); }).Number(), err::kInvalidCall);
        EXPECT_EQ(&XW_UN_ZIP_Module::Instance(), &module);
    }
    EXPECT_EQ(RaisedBy([] { XW_UN_ZIP_Module::Instance(); }).Number(), err::kObjectNotSet);
}

}  // namespace
}  // namespace ost::test
