#include "app/report_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "fake_filesystem.h"
#include "fake_locale.h"
#include "fake_operations.h"

namespace ost {
namespace {

using test::FakeItem;

std::string Golden(const std::string& name) {
    std::ifstream in(std::string(OST_GOLDEN_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The golden text without the line that contains `fragment`.
std::string Without(const std::string& text, const std::string& fragment) {
    const size_t at = text.find(fragment);
    if (at == std::string::npos)
        return text;
    const size_t start = text.rfind("\r\n", at) + 2;
    return text.substr(0, start) + text.substr(text.find("\r\n", at) + 2);
}

class ReportWriterTest : public ::testing::Test {
  protected:
    ReportWriterTest() {
        test::FakeFolder windows;
        windows.files = {{"zero.txt", 0},        {"five.txt", 5},      {"six.txt", 6},
                         {"eighth.bin", 128},    {"one-k.bin", 1024},  {"k-and-half.bin", 1536},
                         {"two-thousand.bin", 2000}, {"mega.bin", 1048576}};
        windows.files[2].created = {2001, 12, 24, 0, 0, 0};
        windows.files[7].created = {2010, 7, 1, 9, 30, 0};
        windows.subFolders = {FakeItem{"three", 3}, FakeItem{"empty", 0}, FakeItem{"system32", 5000000}};
        fs.folders["c:\\windows"] = windows;
        test::FakeFolder system;
        system.subFolders = {FakeItem{"drivers", 123456}};
        fs.folders["c:\\windows\\system32"] = system;
        test::FakeFolder pebblework;
        pebblework.files = {FakeItem{"pw.exe", 65536}};
        fs.folders["c:\\pwwin32"] = pebblework;
        fs.Put("c:\\progs.txt", "\"Acme Editor\"\r\n\"Zeta Tools\"\r\n");
    }

    // Writes the whole report, stage by stage, into c:\ovsupport.txt of the fake file system.
    std::string Write() {
        ReportWriter writer = Writer();
        auto report = fs.OpenTextFile("c:\\ovsupport.txt", IoMode::ForWriting, true, 0);
        auto programs = fs.OpenTextFile("c:\\progs.txt", IoMode::ForReading, false, 0);
        writer.SetStreams(report.get(), programs.get());
        writer.BasicInfo(ops);
        writer.WindowsFolder(ops);
        writer.SystemFolder(ops);
        writer.PebbleworkFolder(ops);
        return fs.Content("c:\\ovsupport.txt");
    }

    ReportWriter Writer() {
        return {fs, locale,
                {[&] { return summary; }, [&] { return screen; }, [&] { return drives; }, [&] { return winName; }}};
    }

    test::FakeFileSystem fs;
    test::FakeLocale locale;
    test::ContinuingOperations ops;
    std::string summary =
        "Windows Version : Windows XP\r\n5.1 (Build 2600)\r\nIE Version : Internet Explorer 6.0.2900\r\n"
        "CPU : Intel Pentium\r\nFree Memory : 1523412\r\nTotal Memory : 2096576";
    ScreenMetrics screen{15360, 11520, 15, 15};
    std::string drives =
        "C - SYSTEM : 812.50 FREE/953.86 TOTAL MB (NTFS Fixed) '777'\r\nD -  : 0.00 FREE/0.00 TOTAL MB (CDFS CD-ROM) "
        "'-5'\r\n";
    std::string winName = "Windows XP";
};

TEST_F(ReportWriterTest, LongFormReportMatchesTheGoldenFile) {
    EXPECT_EQ(Write(), Golden("report_long_form.txt"));
    EXPECT_TRUE(ops.failures.empty());
}

TEST_F(ReportWriterTest, ShortFormWithoutPebbleworkDrivesOrProgramsInACommaLocale) {
    winName = "Windows 98";
    summary =
        "Windows Version : Windows 98\r\n4.10 (Build 67766446)\r\nIE Version : Internet Explorer 5.50.4134\r\n"
        "CPU : Intel Pentium\r\nFree Memory : 61232\r\nTotal Memory : 130484";
    screen = {12000, 9000, 15, 15};
    drives = "";
    fs.Put("c:\\progs.txt", "");
    fs.folders.erase("c:\\pwwin32");
    locale.decimalSeparator = ",";
    EXPECT_EQ(Write(), Golden("report_short_form.txt"));
    EXPECT_TRUE(ops.failures.empty());
}

TEST_F(ReportWriterTest, EveryNameButTheTwoOldOnesGetsTheLongForm) {
    for (const char* name : {"Windows 2000", "Windows ME ", "windows 98", "Windows NT"}) {
        winName = name;
        EXPECT_NE(Write().find("zero.txt (Created : "), std::string::npos) << name;
    }
    winName = "Windows ME";
    EXPECT_NE(Write().find("zero.txt (Size : 0 bytes)"), std::string::npos);
}

TEST_F(ReportWriterTest, AFailingReadDropsExactlyItsEntryLine) {
    auto& windows = fs.folders["c:\\windows"];
    windows.files[1].failSize = true;       // five.txt
    windows.files[3].failDate = true;       // eighth.bin
    windows.subFolders[2].failSize = true;  // system32's tree cannot be read
    std::string expected = Golden("report_long_form.txt");
    for (const char* line : {"five.txt (", "eighth.bin (", "system32 ("})
        expected = Without(expected, line);
    EXPECT_EQ(Write(), expected);
    EXPECT_EQ(ops.failures,
              (std::vector<int32_t>{err::kPermissionDenied, err::kPathFileAccess, err::kPermissionDenied}));
}

TEST_F(ReportWriterTest, ZeroTwipsPerPixelDropsTheResolutionLineAndItsEmptyLine) {
    screen.twipsPerPixelY = 0;
    const std::string golden = Golden("report_long_form.txt");
    std::string expected = golden;
    expected.erase(expected.find("Screen Resolution: 1024 X 768\r\n\r\n"), 33);
    EXPECT_EQ(Write(), expected);
    EXPECT_EQ(ops.failures, std::vector<int32_t>{err::kDivisionByZero});
}

TEST_F(ReportWriterTest, AFailedWalkOrLookUpSkipsOnlyItsPartOfTheListing) {
    fs.folders["c:\\windows\\system32"].failWalk = true;
    fs.FailOn("GetFolder", "c:\\pwwin32", err::kPathNotFound);
    const std::string report = Write();
    // The system folder's heading and frame stay; its two walks fail, and each is reported once.
    EXPECT_NE(report.find("Windows System Dir Listing (C:\\WINDOWS\\SYSTEM32)\r\n"), std::string::npos);
    EXPECT_EQ(report.find("drivers ("), std::string::npos);
    // c:\pwwin32 exists but cannot be looked up: no heading, the look-up again and both walks fail.
    EXPECT_EQ(report.find("Pebblework Dir Listing"), std::string::npos);
    EXPECT_NE(report.find("------\r\n\r\nFolders\r\n------\r\n\r\n\r\n--------------------------\r\n\r\n"),
              std::string::npos);
    EXPECT_EQ(ops.failures, (std::vector<int32_t>{err::kPermissionDenied, err::kPermissionDenied, err::kPathNotFound,
                                                  err::kPathNotFound, err::kObjectNotSet, err::kObjectNotSet}));
}

TEST_F(ReportWriterTest, WritesWithoutStreamsFailOneByOne) {
    ReportWriter writer = Writer();
    writer.SetStreams(nullptr, nullptr);
    writer.BasicInfo(ops);
    EXPECT_EQ(ops.failures, std::vector<int32_t>(16, err::kObjectNotSet));
}

TEST(SizeTextTest, BytesBelowAHundredthOfAKilobyteAndRoundedKilobytes) {
    const std::pair<uint64_t, const char*> rows[] = {{0, "0 bytes"},
                                                     {5, "5 bytes"},
                                                     {6, "0.01kb"},
                                                     {128, "0.12kb"},
                                                     {1024, "1kb"},
                                                     {1536, "1.5kb"},
                                                     {2000, "1.95kb"},
                                                     {1048576, "1024kb"},
                                                     {1029, "1kb"},
                                                     {1034, "1.01kb"},
                                                     {384, "0.38kb"},
                                                     {5000000, "4882.81kb"},
                                                     {(1ull << 40) + 512, "1073741824.5kb"}};
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(SizeText(bytes, "."), text) << bytes;
    EXPECT_EQ(SizeText(1536, ","), "1,5kb");
}

TEST(ScreenResolutionTest, DividesInSinglePrecisionAndPrintsTheShortestForm) {
    EXPECT_EQ(ScreenResolutionLine({15360, 11520, 15, 15}, "."), "Screen Resolution: 1024 X 768");
    EXPECT_EQ(ScreenResolutionLine({16392, 9216, 12, 12}, "."), "Screen Resolution: 1366 X 768");
    EXPECT_EQ(ScreenResolutionLine({1000, 1000, 3, 8}, ","), "Screen Resolution: 333,33334 X 125");
    EXPECT_THROW(ScreenResolutionLine({1000, 1000, 0, 15}, "."), AppError);
}

}  // namespace
}  // namespace ost
