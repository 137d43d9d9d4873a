#include "archive/xw_zip_files.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "zip_module_fixture.h"

namespace ost::test {
namespace {

using XWZipFilesTest = ZipModuleTest;

constexpr int32_t kAlreadyListed = -2147219503;  // 0x800407D1
constexpr int32_t kNotListed = -2147219502;      // 0x800407D2

TEST_F(XWZipFilesTest, NewBuilderHoldsOnlyThePlaceholderWithItsDefaults) {
    XWZipFiles zip;
    EXPECT_EQ(zip.ZipFileCount(), 0);
    EXPECT_EQ(zip.RootDirectory(), "\\");
    EXPECT_EQ(zip.ZipFileName(), "");
    EXPECT_FALSE(zip.RecurseFolders());
    EXPECT_FALSE(zip.Encrypted());
    EXPECT_FALSE(zip.IncludeSystemFiles());
    EXPECT_FALSE(zip.UpdatingZip());
    EXPECT_EQ(zip.GetLastMessage(), "");

    EXPECT_EQ(zip.MakeZipFile(), 0);  // no preconditions: the placeholder alone goes to the library
    EXPECT_EQ(recorded.count, 1);
    EXPECT_EQ(ReceivedNames(recorded), std::vector<std::string>{"querty"});
    EXPECT_EQ(Text(recorded.zipFileName), "");
}

TEST_F(XWZipFilesTest, WorkflowsTwoFilesGoAfterThePlaceholderWithTheirOptions) {
    XWZipFiles zip;
    zip.ZipFileName("c:\\Users\\me\\case.OVSupport");
    zip.AddFile("c:\\ovsupport.txt");
    zip.AddFile("c:\\regbackup.reg");
    EXPECT_EQ(zip.ZipFileCount(), 2);
    LibraryPrints("  adding: ovsupport.txt (deflated 91%)\n");
    recorded.archiveResult = 15;  // a failure code is returned, not raised

    EXPECT_EQ(zip.MakeZipFile(), 15);
    EXPECT_EQ(recorded.callCount, 3);
    EXPECT_EQ(recorded.count, 3);
    EXPECT_EQ(Text(recorded.zipFileName), "c:\\Users\\me\\case.OVSupport");
    EXPECT_EQ(ReceivedNames(recorded), kWorkflowNames);
    EXPECT_EQ(Text(recorded.rootDir), "\\");
    const ZPOPT zeros{};
    EXPECT_EQ(std::memcmp(&recorded.options, &zeros, offsetof(ZPOPT, Date)), 0);
    EXPECT_EQ(zip.GetLastMessage(), "  adding: ovsupport.txt (deflated 91%)\n");
}

TEST_F(XWZipFilesTest, OnlyRecurseUpdatingAndRootReachTheOptions) {
    XWZipFiles zip;
    zip.RecurseFolders(true);
    zip.UpdatingZip(true);
    zip.Encrypted(true);
    zip.IncludeSystemFiles(true);
    zip.RootDirectory("c:\\PwWin32");
    EXPECT_EQ(zip.RootDirectory(), "c:\\PwWin32");  // kept as given; the bridge upper-cases it
    zip.MakeZipFile();
    EXPECT_EQ(recorded.options.fRecurse, 1);
    EXPECT_EQ(recorded.options.fUpdate, 1);
    EXPECT_EQ(recorded.options.fEncrypt, 0);
    EXPECT_EQ(recorded.options.fSystem, 0);
    EXPECT_EQ(Text(recorded.rootDir), "C:\\PWWIN32");

    zip.RecurseFolders(false);
    zip.UpdatingZip(false);
    zip.MakeZipFile();
    EXPECT_EQ(recorded.options.fRecurse, 0);
    EXPECT_EQ(recorded.options.fUpdate, 0);
}

TEST_F(XWZipFilesTest, NamesAreKeyedWithoutRegardToLetterCase) {
    XWZipFiles zip;
    zip.AddFile("c:\\\xC3\xA9t\xC3\xA9.txt");  // "été"
    for (const char* same : {"C:\\\xC3\x89T\xC3\x89.TXT", "querty", "QuErTy"}) {
        const AppError e = RaisedBy([&] { zip.AddFile(same); });
        EXPECT_EQ(e.Number(), kAlreadyListed) << same;
        EXPECT_EQ(e.Source(), "XWZip::AddFile");
        EXPECT_EQ(e.Description(), "File is already in Zip List");
    }
    EXPECT_EQ(zip.ZipFileCount(), 1);

    const AppError missing = RaisedBy([&] { zip.RemoveFile("c:\\other.txt"); });
    EXPECT_EQ(missing.Number(), kNotListed);
    EXPECT_EQ(missing.Source(), "XWZip::RemoveFile");
    EXPECT_EQ(missing.Description(), "File is not in Zip List");

    zip.AddFile("c:\\b.txt");
    zip.AddFile("c:\\c.txt");
    zip.RemoveFile("C:\\\xC3\x89T\xC3\x89.TXT");
    EXPECT_EQ(zip.ZipFileCount(), 2);
    zip.MakeZipFile();
    EXPECT_EQ(ReceivedNames(recorded), (std::vector<std::string>{"querty", "c:\\b.txt", "c:\\c.txt"}));
    EXPECT_EQ(recorded.count, 3);

    // The placeholder is a listed name like the others.
    zip.RemoveFile("QUERTY");
    EXPECT_EQ(zip.ZipFileCount(), 1);
}

TEST_F(XWZipFilesTest, NamesThatCannotReachTheLibraryWholeAreRefused) {
    XWZipFiles zip;
    for (const std::string& bad : {std::string(), std::string("c:\\a\0b.txt", 10)}) {
        const AppError e = RaisedBy([&] { zip.AddFile(bad); });
        EXPECT_EQ(e.Number(), err::kInvalidCall);
        EXPECT_EQ(e.Source(), "XWZip::AddFile");
    }
    locale.failing = {"UpperCase"};
    const AppError e = RaisedBy([&] { zip.AddFile("c:\\a.txt"); });
    EXPECT_EQ(e.Number(), err::kInvalidCall);
    EXPECT_EQ(e.Source(), "XWZip::AddFile");
    EXPECT_EQ(zip.ZipFileCount(), 0);
}

TEST_F(XWZipFilesTest, NameListTakesThePlaceholderAndNinetyNineNames) {
    XWZipFiles zip;
    for (int i = 1; i <= 99; ++i)
        zip.AddFile("c:\\f" + std::to_string(i) + ".txt");
    zip.MakeZipFile();
    EXPECT_EQ(recorded.count, 100);
    EXPECT_EQ(Text(recorded.names[99]), "c:\\f99.txt");

    ResetRecording();
    zip.AddFile("c:\\f100.txt");
    EXPECT_EQ(zip.ZipFileCount(), 100);
    const AppError e = RaisedBy([&] { zip.MakeZipFile(); });
    EXPECT_EQ(e.Number(), err::kSubscript);
    EXPECT_EQ(e.Description(), "Subscript out of range");
    EXPECT_EQ(e.Source(), "XWZipFiles::MakeZipFile");
    EXPECT_EQ(recorded.callCount, 0);
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace ost::test
