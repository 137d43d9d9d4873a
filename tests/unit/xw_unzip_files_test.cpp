#include "archive/xw_unzip_files.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "zip_module_fixture.h"

namespace ost::test {
namespace {

using XWUnzipFilesTest = ZipModuleTest;

// The record's fifteen values, in field order.
std::vector<int32_t> Fields(const DCL& o) {
    return {o.ExtractOnlyNewer, o.SpaceToUnderScore, o.PromptOverwrite, o.MessageLevel,   o.WriteToStdOut,
            o.TestZip,          o.ExtractList,       o.ExtractNewer,    o.DisplayComment, o.HonorDirectories,
            o.OverWriteFiles,   o.ConvertCRtoCRLF,   o.Verbose,         o.CaseSensitive,  o.Privilege};
}

// HonorDirectories, OverWriteFiles and CaseSensitive on, MessageLevel 2, the rest 0.
const std::vector<int32_t> kInitialFields = {0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0};

TEST_F(XWUnzipFilesTest, NewExtractorReadsItsInitialValuesAndSendsThem) {
    XWUnzipFiles unzip;
    EXPECT_TRUE(unzip.HonorDirectories());
    EXPECT_TRUE(unzip.OverWriteFiles());
    EXPECT_TRUE(unzip.CaseSensitive());
    EXPECT_FALSE(unzip.ExtractNewer() || unzip.SpaceToUnderScore() || unzip.PromptOverwrite() ||
                 unzip.WriteToStdOut() || unzip.TestZip() || unzip.ExtractOnlyNewer() || unzip.DisplayComment() ||
                 unzip.ConvertCRtoCRLF() || unzip.Verbose());
    EXPECT_EQ(unzip.MessageLevel(), 2);
    EXPECT_EQ(unzip.ExtractList(), 0);
    EXPECT_EQ(unzip.Privilege(), 0);
    EXPECT_EQ(unzip.ZipFileName(), "");
    EXPECT_EQ(unzip.ExtractDir(), "");

    unzipRecorded.unzipResult = 9;
    EXPECT_EQ(unzip.Unzip(), 9);
    EXPECT_EQ(Fields(unzipRecorded.options), kInitialFields);
    EXPECT_EQ(Text(unzipRecorded.zipFileName), "<null>");
    EXPECT_EQ(Text(unzipRecorded.extractDir), "<null>");
    EXPECT_EQ(unzip.GetLastMessage(), "");
}

TEST_F(XWUnzipFilesTest, EachPropertyReachesTheFieldOfItsNameAlone) {
    struct Change {
        std::function<void(XWUnzipFiles&)> set;
        size_t field;  // in Fields() order
        int32_t value;
    };
    const std::vector<Change> changes = {
        {[](XWUnzipFiles& u) { u.ExtractOnlyNewer(true); }, 0, 1},
        {[](XWUnzipFiles& u) { u.SpaceToUnderScore(true); }, 1, 1},
        {[](XWUnzipFiles& u) { u.PromptOverwrite(true); }, 2, 1},
        {[](XWUnzipFiles& u) { u.MessageLevel(32767); }, 3, 32767},
        {[](XWUnzipFiles& u) { u.WriteToStdOut(true); }, 4, 1},
        {[](XWUnzipFiles& u) { u.TestZip(true); }, 5, 1},
        {[](XWUnzipFiles& u) { u.ExtractList(-32768); }, 6, -32768},
        {[](XWUnzipFiles& u) { u.ExtractNewer(true); }, 7, 1},
        {[](XWUnzipFiles& u) { u.DisplayComment(true); }, 8, 1},
        {[](XWUnzipFiles& u) { u.HonorDirectories(false); }, 9, 0},
        {[](XWUnzipFiles& u) { u.OverWriteFiles(false); }, 10, 0},
        {[](XWUnzipFiles& u) { u.ConvertCRtoCRLF(true); }, 11, 1},
        {[](XWUnzipFiles& u) { u.Verbose(true); }, 12, 1},
        {[](XWUnzipFiles& u) { u.CaseSensitive(false); }, 13, 0},
        {[](XWUnzipFiles& u) { u.Privilege(-3); }, 14, -3},
    };
    for (const Change& change : changes) {
        XWUnzipFiles unzip;
        change.set(unzip);
        unzip.Unzip();
        std::vector<int32_t> expected = kInitialFields;
        expected[change.field] = change.value;
        EXPECT_EQ(Fields(unzipRecorded.options), expected) << "field " << change.field;
    }
}

TEST_F(XWUnzipFilesTest, ArgumentsAreStoredOnlyWhenTheyHoldText) {
    XWUnzipFiles unzip;
    unzip.Unzip("c:\\a.zip", "c:\\out");
    EXPECT_EQ(unzip.ZipFileName(), "c:\\a.zip");
    EXPECT_EQ(unzip.ExtractDir(), "c:\\out");

    unzip.Unzip("", "");
    EXPECT_EQ(Text(unzipRecorded.zipFileName), "c:\\a.zip");
    EXPECT_EQ(Text(unzipRecorded.extractDir), "c:\\out");

    unzip.Unzip("c:\\b.zip");
    unzip.Unzip();
    EXPECT_EQ(Text(unzipRecorded.zipFileName), "c:\\b.zip");
    EXPECT_EQ(Text(unzipRecorded.extractDir), "c:\\out");
    EXPECT_EQ(unzip.ZipFileName(), "c:\\b.zip");
}

TEST_F(XWUnzipFilesTest, PrivilegeThenExtractListThenMessageLevelMustFitIn16Bits) {
    XWUnzipFiles unzip;
    ScriptPrint(unzipRecorded, "earlier");
    unzip.Unzip("c:\\a.zip");
    const int32_t callsBefore = unzipRecorded.callCount;

    unzip.MessageLevel(40000);
    const auto overflow = [&](const char* property) {
        const AppError e = RaisedBy([&] { unzip.Unzip("c:\\b.zip"); });
        EXPECT_EQ(e.Number(), err::kOverflow);
        EXPECT_EQ(e.Description(), "Overflow");
        EXPECT_EQ(e.Source(), "XWUnZipFiles::Unzip");
        EXPECT_NE(e.Context().find(property), std::string::npos) << e.Context();
    };
    overflow("MessageLevel");
    unzip.ExtractList(-32769);
    overflow("ExtractList");
    unzip.Privilege(40000);
    overflow("Privilege");

    EXPECT_EQ(unzipRecorded.callCount, callsBefore);  // the library was not called
    EXPECT_EQ(unzip.GetLastMessage(), "earlier");
    EXPECT_EQ(unzip.ZipFileName(), "c:\\b.zip");  // stored before the conversions
}

}  // namespace
}  // namespace ost::test
