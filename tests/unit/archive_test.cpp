// The archive classes and their bridge to the zip libraries, run against the recording libraries:
// the tests call the callbacks a library received as the library would during its run.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "archive/xw_un_zip_module.h"
#include "archive/xw_unzip_files.h"
#include "archive/xw_zip_files.h"
#include "fakes.h"
#include "raised_by.h"

namespace ost::test {
namespace {

// The program's bridge module over in-memory services, with the recording libraries as zip32.dll
// and unzip32.dll.
class ArchiveTest : public ::testing::Test {
  protected:
    ArchiveTest() { zip = {}, unzip = {}; }
    // RunZip with every switch 0.
    int32_t RunZip(int16_t count = 1, const std::string& root = "\\") {
        return module.RunZip(count, zipFile, names, 0, 0, 0, 0, root, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    }
    // UxUnzip with the extractor's initial values.
    int32_t UxUnzip() { return module.UxUnzip(zipFile, extractDir, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0); }

    ZipRecording& zip = gZip;
    UnzipRecording& unzip = gUnzip;
    FakeUi ui;
    FakeLocale locale;
    FakeLibraryLoader libraries;
    XW_UN_ZIP_Module module{ui, locale, libraries};
    std::string zipFile = "c:\\in.zip";
    std::string extractDir = "c:\\out";
    ZipNameList names;
};

TEST_F(ArchiveTest, RunZipGivesEachRecordFieldItsOwnParameterAndCallsTheLibraryInOrder) {
    names.At(0) = "querty";
    names.At(1) = "c:\\a.txt";
    // Each switch gets a value of its own, so a value in the wrong field shows; -1 shows the sign
    // extension from 16 to 32 bits.
    EXPECT_EQ(module.RunZip(2, zipFile, names, /*fJunkDir*/ 4, /*fRecurse*/ 5, /*fUpdate*/ 6, /*fFreshen*/ 7,
                            "c:\\Ro\xC3\xA9t", /*fEncrypt*/ 9, /*fSystem*/ 10, /*fNoDirEntries*/ 11, /*fVerbose*/ 12,
                            /*fQuiet*/ 13, /*fCRLF_LF*/ 14, /*fLF_CRLF*/ 15, /*fGrow*/ 16, /*fForce*/ 17,
                            /*fMove*/ 18, /*fDeleteEntries*/ -1),
              0);
    EXPECT_EQ(libraries.calls.log,
              (std::vector<std::string>{"Entry:zip32.dll!ZpInit", "ZpInit", "Entry:zip32.dll!ZpSetOptions",
                                        "ZpSetOptions", "Entry:zip32.dll!ZpArchive", "ZpArchive"}));
    const ZPOPT& o = zip.options;
    const std::vector<int32_t> fields = {
        o.fSuffix,      o.fEncrypt, o.fSystem,  o.fVolume,        o.fExtra,      o.fNoDirEntries, o.fExcludeDate,
        o.fIncludeDate, o.fVerbose, o.fQuiet,   o.fCRLF_LF,       o.fLF_CRLF,    o.fJunkDir,      o.fRecurse,
        o.fGrow,        o.fForce,   o.fMove,    o.fDeleteEntries, o.fUpdate,     o.fFreshen,      o.fJunkSFX,
        o.fLatestTime,  o.fComment, o.fOffsets, o.fPrivilege,     o.fEncryption, o.fRepair,       o.fLevel};
    EXPECT_EQ(fields, (std::vector<int32_t>{0,  9,  10, 0,  0, 11, 0, 0, 12, 13, 14, 15, 4, 5,
                                            16, 17, 18, -1, 6, 7,  0, 0, 0,  0,  0,  0,  0, 0}));
    // The root folder in upper case, still there when the archive is made; no date.
    EXPECT_EQ(zip.rootDir + "|" + zip.rootDirLater + "|" + zip.date, "C:\\RO\xC9T|C:\\RO\xC9T|<null>");
}

TEST_F(ArchiveTest, TextsGoAsAnsiCopiesAndComeBackOnlyWhenTheLibraryChangedThem) {
    // "é" is in the fake's code page, "ж" is not and goes as '?'.
    zipFile = "c:\\caf\xC3\xA9-\xD0\xB6.zip";
    names.At(1) = "c:\\\xD0\xB6.txt";
    RunZip(2);
    EXPECT_EQ(zip.zipFileName + "|" + zip.names[1], "c:\\caf\xE9-?.zip|c:\\?.txt");
    EXPECT_EQ(zipFile + "|" + names.At(1), "c:\\caf\xC3\xA9-\xD0\xB6.zip|c:\\\xD0\xB6.txt");  // not their '?' forms
    zip.renameArchiveTo = "c:\\n\xE9w.zip";
    RunZip(2);
    EXPECT_EQ(zipFile, "c:\\n\xC3\xA9w.zip");

    zipFile = "c:\\caf\xC3\xA9-\xD0\xB6.zip";
    extractDir = "";  // goes as null
    UxUnzip();
    EXPECT_EQ(unzip.zipFileName + "|" + unzip.extractDir, "c:\\caf\xE9-?.zip|<null>");
    EXPECT_EQ(zipFile + "|" + extractDir, "c:\\caf\xC3\xA9-\xD0\xB6.zip|");
    extractDir = "c:\\\xD0\xB6";
    unzip.renameArchiveTo = "c:\\n\xE9w.zip";
    unzip.renameExtractDirTo = "c:\\\xE9";
    UxUnzip();
    EXPECT_EQ(zipFile + "|" + extractDir, "c:\\n\xC3\xA9w.zip|c:\\\xC3\xA9");
}

TEST_F(ArchiveTest, RunZipShowsEachFailedStepGoesOnAndGivesTheLastCompletedCallsResult) {
    // ZpInit and ZpSetOptions give 1, ZpArchive 0, and a failed call -1.
    EXPECT_EQ(RunZip(), 0);
    libraries.calls.failing = {"ZpArchive"};
    EXPECT_EQ(RunZip(), -1);
    libraries.calls.failing = {"ZpSetOptions"};
    libraries.libraries[kZipLibrary].erase("ZpArchive");
    EXPECT_EQ(RunZip(), -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0] + "|" + ui.boxTitle,
              "Recoverable Error.\r\n\r\n453Specified DLL function not found|" + std::string(kAppTitle));
    EXPECT_EQ(ui.boxStyle, mb::kOkOnly);
    // A text that cannot be converted stops its own call, and a root folder that cannot be
    // upper-cased goes as null; a box that cannot be shown stops nothing.
    libraries.calls = {};
    locale.calls.failing = {"ToAnsi:C:\\X", "UpperCase:c:\\y"};
    ui.calls.failing = {"MsgBox"};
    EXPECT_EQ(RunZip(1, "c:\\x"), 1);
    EXPECT_EQ(RunZip(1, "c:\\y"), 1);
    EXPECT_EQ(std::count(libraries.calls.log.begin(), libraries.calls.log.end(), "ZpInit"), 2);
    EXPECT_EQ(std::count(libraries.calls.log.begin(), libraries.calls.log.end(), "ZpSetOptions"), 1);
    EXPECT_EQ(zip.rootDir, "<null>");
}

TEST_F(ArchiveTest, LastMessageHoldsWhatTheLatestZipOrUnzipRunPrintedAndTheZipQuestionsNeverStopARun) {
    char adding[] = "  adding: a.txt (deflated 91%)\n", cafe[] = "caf\xE9\n", third[] = "third";
    RunZip();
    zip.functions.print(adding, sizeof(adding) - 1);
    EXPECT_EQ(zip.functions.print(cafe, 5), 0);
    EXPECT_EQ(module.LastMessage(), "  adding: a.txt (deflated 91%)\ncaf\xC3\xA9\n");
    RunZip();
    EXPECT_EQ(module.LastMessage(), "");
    EXPECT_EQ(zip.functions.password(third, 5, "Enter password: ", "x.txt"), 1);  // a password given
    EXPECT_EQ(zip.functions.comment(cafe), cafe);                                 // the comment left alone
    EXPECT_STREQ(cafe, "caf\xE9\n");

    char earlier[] = "earlier", inflating[] = "  inflating: a.txt\n", more[] = "!";
    UxUnzip();
    unzip.functions.print(earlier, 7);
    UxUnzip();
    unzip.functions.print(inflating, sizeof(inflating) - 1);
    EXPECT_EQ(unzip.functions.print(cafe, 4), 0);
    EXPECT_EQ(module.LastMessage(), "  inflating: a.txt\ncaf\xC3\xA9");
    // A zip run takes LastMessage over; a later print of the unzip library gives it back the unzip
    // run's whole output.
    RunZip();
    zip.functions.print(third, 5);
    EXPECT_EQ(module.LastMessage(), "third");
    unzip.functions.print(more, 1);
    EXPECT_EQ(module.LastMessage(), "  inflating: a.txt\ncaf\xC3\xA9!");
    EXPECT_EQ(ui.doEvents, 3) << "the unzip library's prints never yield";
}

TEST_F(ArchiveTest, PrintCallbacksReadTheirBuffersWithinBoundsAndNeverFail) {
    std::vector<char> buffer(kUnzipCallbackBufferSize, 'x');
    const auto printed = [&](auto print, auto length) {
        const size_t before = module.LastMessage().size();
        EXPECT_EQ(print(buffer.data(), length), 0);
        return module.LastMessage().substr(before);
    };
    const auto zipPrint = [&](uint32_t length) { return printed(&XW_UN_ZIP_Module::ZipPrint, length); };
    const auto unzipPrint = [&](int32_t length) { return printed(&XW_UN_ZIP_Module::UnzipPrint, length); };
    // From index 0 to the length, up to the buffer's last index 4096, until a zero byte.
    const std::pair<uint32_t, size_t> zipLengths[] = {
        {4096, 4097}, {5000, 4097}, {0xFFFFFFFFu, 4097}, {10, 11}, {0, 1}};
    for (const auto& [length, size] : zipLengths)
        EXPECT_EQ(zipPrint(length).size(), size) << length;
    std::strcpy(buffer.data(), "a\xE9");
    EXPECT_EQ(zipPrint(4096), "a\xC3\xA9");
    buffer[0] = '\0';
    EXPECT_EQ(zipPrint(4096), "");
    EXPECT_EQ(ui.doEvents, 7);  // an empty message yields too

    std::fill(buffer.begin(), buffer.end(), 'x');
    UxUnzip();  // LastMessage holds the unzip run's output from here on
    // From index 0 to length - 1, up to the buffer's last index 32800.
    const std::pair<int32_t, size_t> unzipLengths[] = {{40000, 32801}, {32801, 32801}, {3, 3}, {0, 0}, {-1, 0}};
    for (const auto& [length, size] : unzipLengths)
        EXPECT_EQ(unzipPrint(length).size(), size) << length;
    std::strcpy(buffer.data(), "\nrest");
    EXPECT_EQ(unzipPrint(5), "\r\n");  // a text that begins with LF counts as CR LF alone
    std::strcpy(buffer.data(), "a\nb");
    EXPECT_EQ(unzipPrint(5), "a\nb");
    // A conversion or a yield that fails loses only itself.
    locale.calls.failing = {"FromAnsi"};
    EXPECT_EQ(zipPrint(3) + unzipPrint(3), "");
    locale.calls.failing.clear();
    ui.calls.failing = {"DoEvents"};
    EXPECT_EQ(zipPrint(2), "a\nb");
    EXPECT_EQ(XW_UN_ZIP_Module::ZipPrint(nullptr, 4), 0);
}

TEST(ZipModuleTest, OneModuleAtATime) {
    EXPECT_EQ(RaisedBy([] { XW_UN_ZIP_Module::Instance(); }).Number(), err::kObjectNotSet);
    FakeUi ui;
    FakeLocale locale;
    FakeLibraryLoader libraries;
    XW_UN_ZIP_Module module(ui, locale, libraries);
    EXPECT_EQ(RaisedBy([&] { XW_UN_ZIP_Module second(ui, locale, libraries); }).Number(), err::kInvalidCall);
    EXPECT_EQ(&XW_UN_ZIP_Module::Instance(), &module);
}

// The extractor's fifteen values as the library received them, in the record's field order.
std::vector<int32_t> Fields(const DCL& o) {
    return {o.ExtractOnlyNewer, o.SpaceToUnderScore, o.PromptOverwrite, o.MessageLevel,   o.WriteToStdOut,
            o.TestZip,          o.ExtractList,       o.ExtractNewer,    o.DisplayComment, o.HonorDirectories,
            o.OverWriteFiles,   o.ConvertCRtoCRLF,   o.Verbose,         o.CaseSensitive,  o.Privilege};
}

TEST_F(ArchiveTest, UxUnzipHandsTheLibraryItsCallbacksAndABlankVersionAndRaisesItsFailures) {
    libraries.calls.failing = {"Wiz_SingleEntryUnzip"};
    EXPECT_EQ(UxUnzip(), -1);  // returned, not raised
    EXPECT_EQ(libraries.calls.log,
              (std::vector<std::string>{"Entry:unzip32.dll!UzpVersion2", "UzpVersion2",
                                        "Entry:unzip32.dll!Wiz_SingleEntryUnzip", "Wiz_SingleEntryUnzip"}));
    EXPECT_EQ(unzip.lists, "0|list|0|list");  // no names to include or exclude
    // The listing and service callbacks let the run go on.
    char name[] = "a.txt";
    unzip.functions.message(1000, 400, 60, 12, 31, 2023, 23, 59, ' ', name, "Defl:N", 0x12345678u, 0);
    EXPECT_EQ(unzip.functions.service(name, 1000), 0);
    // A blank version record: its length, and three texts of blanks.
    const UnzipVersionInfo& v = unzip.version;
    EXPECT_EQ(v.length + v.flags, 64u);
    EXPECT_EQ(std::string(v.betaLevel, sizeof(v.betaLevel)) + std::string(v.date, sizeof(v.date)) +
                  std::string(v.zlibVersion, sizeof(v.zlibVersion)),
              std::string(9, ' ') + '\0' + std::string(19, ' ') + '\0' + std::string(9, ' ') + '\0');
    // Failures are raised with the bridge's source, and show nothing.
    libraries.libraries[kUnzipLibrary].erase("Wiz_SingleEntryUnzip");
    libraries.calls = {};
    EXPECT_EQ(Described(RaisedBy([&] { UxUnzip(); })), "453|CodeModule::UxUnzip|Specified DLL function not found");
    EXPECT_EQ(libraries.calls.log.size(), 3u);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ArchiveTest, UnzipAsksForAPasswordOncePerRunAndFillsTheBufferWithinItsSize) {
    // The password callback's answer, and its buffer (all 0x7F before) as the callback left it.
    const auto ask = [&](int32_t size) {
        std::string buffer(kUnzipNameBufferSize, '\x7F');
        const int32_t answer = unzip.functions.password(buffer.data(), size, "Enter password: ", "secret.txt");
        return std::make_pair(answer, buffer);
    };
    UxUnzip();  // no reply: the box is cancelled, and not shown again in this run
    EXPECT_EQ(ask(kUnzipNameBufferSize), std::make_pair(kUnzipPasswordNone, std::string(kUnzipNameBufferSize, '\x7F')));
    EXPECT_EQ(ask(kUnzipNameBufferSize).first, kUnzipPasswordNone);
    EXPECT_EQ(ui.inputs, std::vector<std::string>{"Please Enter The Password!|OrlaventSupportTool|"});
    // The next run asks again; a reply fills the zeroed buffer in the ANSI code page, cut so that a
    // zero byte ends it within the size the library gave.
    ui.replies = {"pa\xC3\xA9", "toolong"};
    UxUnzip();
    EXPECT_EQ(ask(kUnzipNameBufferSize),
              std::make_pair(kUnzipPasswordGiven, "pa\xE9" + std::string(kUnzipNameBufferSize - 3, '\0')));
    EXPECT_EQ(ask(4).second.substr(0, 5), std::string("too\0\x7F", 5));
    // Without a buffer to write into nothing is asked; a box that cannot be shown counts as declined.
    EXPECT_EQ(ask(0).first, kUnzipPasswordNone);
    ui.calls.failing = {"InputBox"};
    UxUnzip();
    EXPECT_EQ(ask(kUnzipNameBufferSize).first, kUnzipPasswordNone);
    EXPECT_EQ(ui.inputs.size(), 3u);
}

TEST_F(ArchiveTest, UnzipAsksBeforeReplacingAFileAndKeepsItWithoutAYes) {
    UxUnzip();
    char name[] = "c:\\out\\caf\xE9.txt";
    ui.answers = {mb::kAnswerYes, mb::kAnswerNo, mb::kAnswerCancel, mb::kAnswerOk};
    for (const int32_t answer : {kUnzipReplaceYes, kUnzipReplaceNo, kUnzipReplaceNone, kUnzipReplaceNo})
        EXPECT_EQ(unzip.functions.replace(name), answer);
    ASSERT_EQ(ui.boxes.size(), 4u);
    EXPECT_EQ(ui.boxes[0] + "|" + ui.boxTitle, "Overwrite c:\\out\\caf\xC3\xA9.txt?|UxUnZip32 - File Already Exists!");
    EXPECT_EQ(ui.boxStyle, mb::kExclamation | mb::kYesNoCancel);
    std::vector<char> longName(kUnzipCallbackBufferSize, 'n');  // the name is read from indices 0 to 255
    unzip.functions.replace(longName.data());
    EXPECT_EQ(ui.boxes.back(), "Overwrite " + std::string(256, 'n') + "?");
    ui.calls.failing = {"MsgBox"};
    EXPECT_EQ(unzip.functions.replace(longName.data()), kUnzipReplaceNo);
}

TEST_F(ArchiveTest, TheBuilderSendsThePlaceholderAndAtMost99NamesAndOnlyItsThreeSettingsReachTheOptions) {
    XWZipFiles builder;
    EXPECT_EQ(builder.MakeZipFile(), 0);
    EXPECT_EQ(zip.count, 1);
    EXPECT_EQ(zip.names, std::vector<std::string>{"querty"});
    EXPECT_EQ(zip.zipFileName, "");
    zip.onArchive = [this] {  // a failure code is returned, not raised
        zip.functions.print(std::string("zip error").data(), 9);
        return 15;
    };
    builder.RecurseFolders(true);
    builder.UpdatingZip(true);
    builder.Encrypted(true);
    builder.IncludeSystemFiles(true);
    builder.RootDirectory("c:\\PwWin32");
    builder.ZipFileName("c:\\case.OVSupport");
    EXPECT_EQ(builder.MakeZipFile(), 15);
    EXPECT_EQ(builder.GetLastMessage(), "zip error");
    const ZPOPT& o = zip.options;
    EXPECT_EQ((std::vector<int32_t>{o.fRecurse, o.fUpdate, o.fEncrypt, o.fSystem}), (std::vector<int32_t>{1, 1, 0, 0}));
    EXPECT_EQ(zip.rootDir + "|" + zip.zipFileName, "C:\\PWWIN32|c:\\case.OVSupport");
    for (int i = 1; i <= 99; ++i)
        builder.AddFile("c:\\f" + std::to_string(i) + ".txt");
    builder.MakeZipFile();
    EXPECT_EQ(zip.count, 100);
    EXPECT_EQ(zip.names[99], "c:\\f99.txt");
    builder.AddFile("c:\\f100.txt");
    libraries.calls = {};
    EXPECT_EQ(Described(RaisedBy([&] { builder.MakeZipFile(); })), "9|XWZipFiles::MakeZipFile|Subscript out of range");
    EXPECT_EQ(libraries.calls.log.size() + ui.boxes.size(), 0u);
}

TEST_F(ArchiveTest, TheBuildersNamesAreKeyedWithoutRegardToLetterCaseAndMustReachTheLibraryWhole) {
    XWZipFiles builder;
    builder.AddFile("c:\\\xC3\xA9t\xC3\xA9.txt");  // "été"
    for (const char* same : {"C:\\\xC3\x89T\xC3\x89.TXT", "querty", "QuErTy"}) {
        EXPECT_EQ(Described(RaisedBy([&] { builder.AddFile(same); })),
                  "-2147219503|XWZip::AddFile|File is already in Zip List");  // 0x800407D1
    }
    EXPECT_EQ(Described(RaisedBy([&] { builder.RemoveFile("c:\\other.txt"); })),
              "-2147219502|XWZip::RemoveFile|File is not in Zip List");  // 0x800407D2
    builder.AddFile("c:\\b.txt");
    builder.AddFile("c:\\c.txt");
    builder.RemoveFile("C:\\\xC3\x89T\xC3\x89.TXT");
    EXPECT_EQ(builder.ZipFileCount(), 2);
    builder.MakeZipFile();
    EXPECT_EQ(zip.names, (std::vector<std::string>{"querty", "c:\\b.txt", "c:\\c.txt"}));
    EXPECT_EQ(zip.count, 3);
    builder.RemoveFile("QUERTY");  // the placeholder is a listed name like the others
    builder.MakeZipFile();
    EXPECT_EQ(zip.names, (std::vector<std::string>{"c:\\b.txt", "c:\\c.txt"}));
    // Names that could not reach the library whole are refused, and the list stays as it was.
    locale.calls.failing = {"UpperCase:c:\\a.txt"};
    for (const std::string& bad : {std::string(), std::string("c:\\a\0b.txt", 10), std::string("c:\\a.txt")}) {
        EXPECT_EQ(Described(RaisedBy([&] { builder.AddFile(bad); })),
                  bad.size() == 8 ? "70|XWZip::AddFile|Permission denied"
                                  : "5|XWZip::AddFile|Invalid procedure call or argument");
    }
    EXPECT_EQ(builder.ZipFileCount(), 1);
}

TEST_F(ArchiveTest, EachOfTheExtractorsPropertiesReachesTheFieldOfItsNameAlone) {
    XWUnzipFiles initial;
    EXPECT_EQ(initial.Unzip(), 0);
    const std::vector<int32_t> defaults = {0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0};
    EXPECT_EQ(Fields(unzip.options), defaults);
    EXPECT_EQ(unzip.zipFileName + "|" + unzip.extractDir, "<null>|<null>");
    const std::function<void(XWUnzipFiles&)> changes[] = {
        [](XWUnzipFiles& u) { u.ExtractOnlyNewer(true); }, [](XWUnzipFiles& u) { u.SpaceToUnderScore(true); },
        [](XWUnzipFiles& u) { u.PromptOverwrite(true); },  [](XWUnzipFiles& u) { u.MessageLevel(32767); },
        [](XWUnzipFiles& u) { u.WriteToStdOut(true); },    [](XWUnzipFiles& u) { u.TestZip(true); },
        [](XWUnzipFiles& u) { u.ExtractList(-32768); },    [](XWUnzipFiles& u) { u.ExtractNewer(true); },
        [](XWUnzipFiles& u) { u.DisplayComment(true); },   [](XWUnzipFiles& u) { u.HonorDirectories(false); },
        [](XWUnzipFiles& u) { u.OverWriteFiles(false); },  [](XWUnzipFiles& u) { u.ConvertCRtoCRLF(true); },
        [](XWUnzipFiles& u) { u.Verbose(true); },          [](XWUnzipFiles& u) { u.CaseSensitive(false); },
        [](XWUnzipFiles& u) { u.Privilege(-1); }};
    const int32_t values[] = {1, 1, 1, 32767, 1, 1, -32768, 1, 1, 0, 0, 1, 1, 0, -1};
    for (size_t field = 0; field < std::size(changes); ++field) {
        XWUnzipFiles extractor;
        changes[field](extractor);
        extractor.Unzip();
        std::vector<int32_t> expected = defaults;
        expected[field] = values[field];
        EXPECT_EQ(Fields(unzip.options), expected) << "field " << field;
    }
}

TEST_F(ArchiveTest, TheExtractorKeepsEachArgumentThatHoldsTextAndRefusesValuesBeyond16Bits) {
    XWUnzipFiles extractor;
    extractor.Unzip("c:\\a.zip", "c:\\out");
    extractor.Unzip("", "");
    EXPECT_EQ(unzip.zipFileName + "|" + unzip.extractDir, "c:\\a.zip|c:\\out");
    extractor.Unzip("c:\\b.zip");
    EXPECT_EQ(unzip.zipFileName + "|" + unzip.extractDir, "c:\\b.zip|c:\\out");
    EXPECT_EQ(extractor.ZipFileName() + "|" + extractor.ExtractDir(), "c:\\b.zip|c:\\out");
    unzip.functions.print(std::string("earlier").data(), 7);
    // Privilege, then ExtractList, then MessageLevel must fit; the library is then not called.
    const size_t calls = libraries.calls.log.size();
    extractor.MessageLevel(40000);
    extractor.ExtractList(-32769);
    extractor.Privilege(32768);
    for (const char* property : {"Privilege", "ExtractList", "MessageLevel"}) {
        const AppError e = RaisedBy([&] { extractor.Unzip("c:\\c.zip"); });
        EXPECT_EQ(Described(e), "6|XWUnZipFiles::Unzip|Overflow");
        EXPECT_TRUE(e.Context().starts_with(property)) << e.Context();
        extractor.ExtractList(std::string(property) == "Privilege" ? -32769 : 0);
        extractor.Privilege(0);
    }
    EXPECT_EQ(libraries.calls.log.size(), calls);
    EXPECT_EQ(extractor.GetLastMessage(), "earlier");
    EXPECT_EQ(extractor.ZipFileName(), "c:\\c.zip");  // stored before the values are checked
}

}  // namespace
}  // namespace ost::test
