// The support report: its golden forms, what a failing write or read drops, and the number formats.
#include "app/report_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "fake_operations.h"
#include "fakes.h"
#include "platform/format.h"

namespace ost::test {
namespace {

std::string Golden(const std::string& name) {
    std::ifstream in(std::string(OST_GOLDEN_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ReportWriterTest : public ::testing::Test {
  protected:
    ReportWriterTest() {
        FakeFolder& windows = fs.folders["c:\\windows"];
        windows.files = {{"zero.txt", 0},
                         {"five.txt", 5},
                         {"six.txt", 6},
                         {"eighth.bin", 128},
                         {"one-k.bin", 1024},
                         {"k-and-half.bin", 1536},
                         {"two-thousand.bin", 2000},
                         {"mega.bin", 1048576}};
        windows.files[2].created = {2001, 12, 24, 0, 0, 0};
        windows.files[7].created = {2010, 7, 1, 9, 30, 0};
        windows.subFolders = {{"three", 3}, {"empty", 0}, {"system32", 5000000}};
        fs.folders["c:\\windows\\system32"].subFolders = {{"drivers", 123456}};
        fs.folders["c:\\pwwin32"].files = {{"pw.exe", 65536}};
        fs.Put("c:\\progs.txt", "\"Acme Editor\"\r\n\"Zeta Tools\"\r\n");
    }

    // Writes the whole report, stage by stage, into c:\ovsupport.txt of the file system.
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
        return {fs,
                locale,
                {[&] { return summary; }, [&] { return screen; }, [&] { return drives; }, [&] { return winName; }}};
    }

    FakeFileSystem fs;
    FakeLocale locale;
    ContinuingOperations ops;
    std::string summary =
        "Windows Version : Windows XP\r\n5.1 (Build 2600)\r\nIE Version : Internet Explorer 6.0.2900\r\n"
        "CPU : Intel Pentium\r\nFree Memory : 1523412\r\nTotal Memory : 2096576";
    ScreenMetrics screen{15360, 11520, 15, 15};
    std::string drives =
        "C - SYSTEM : 812.50 FREE/953.86 TOTAL MB (NTFS Fixed) '777'\r\nD -  : 0.00 FREE/0.00 TOTAL MB (CDFS CD-ROM) "
        "'-5'\r\n";
    std::string winName = "Windows XP";
};

TEST_F(ReportWriterTest, LongAndShortFormsMatchTheirGoldenFiles) {
    EXPECT_EQ(Write(), Golden("report_long_form.txt"));
    // The short form: Windows 98 or ME, here with a comma locale, no drives, no programs, no c:\pwwin32.
    summary =
        "Windows Version : Windows 98\r\n4.10 (Build 67766446)\r\nIE Version : Internet Explorer 5.50.4134\r\n"
        "CPU : Intel Pentium\r\nFree Memory : 61232\r\nTotal Memory : 130484";
    screen = {12000, 9000, 15, 15};
    drives = winName = "";
    fs.Put("c:\\progs.txt", "");
    fs.folders.erase("c:\\pwwin32");
    locale.decimalSeparator = ",";
    for (const char* name : {"Windows 98", "Windows ME"}) {
        winName = name;
        EXPECT_EQ(Write(), Golden("report_short_form.txt"));
    }
    for (const char* name : {"Windows 2000", "Windows ME ", "windows 98", "Windows NT"}) {
        winName = name;
        EXPECT_NE(Write().find("zero.txt (Created : "), std::string::npos) << name;
    }
    EXPECT_TRUE(ops.failures.empty());
}

TEST_F(ReportWriterTest, AFailureDropsExactlyWhatItWouldHaveWrittenAndTheReportGoesOn) {
    struct Case {
        std::set<std::string> failing;
        std::vector<const char*> dropped;  // the lines that hold these
        size_t failures;
    } cases[] = {
        {{"Size:five.txt", "DateCreated:eighth.bin", "Size:system32"}, {"five.txt (", "eighth.bin (", "system32 ("}, 3},
        {{"WriteLine:c:\\ovsupport.txt:System Information", "Name:mega.bin"}, {"System Information", "mega.bin ("}, 2},
        {{"Next:C:\\WINDOWS\\SYSTEM32"}, {"drivers ("}, 2},  // each of its two walks fails once
        // c:\pwwin32 exists but cannot be looked up: no heading, and both walks fail without a folder.
        {{"GetFolder:c:\\pwwin32"}, {"Pebblework Dir Listing", "pw.exe ("}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.failing.begin());
        fs.calls.failing = c.failing;
        ops.failures.clear();
        std::string expected = Golden("report_long_form.txt");
        for (const char* fragment : c.dropped) {
            const size_t start = expected.rfind("\r\n", expected.find(fragment)) + 2;
            expected.erase(start, expected.find("\r\n", start) + 2 - start);
        }
        EXPECT_EQ(Write(), expected);
        EXPECT_EQ(ops.failures.size(), c.failures);
    }
    fs.calls.failing.clear();
    ops.failures.clear();
    screen.twipsPerPixelY = 0;  // drops the resolution line and the empty line after it
    std::string expected = Golden("report_long_form.txt");
    EXPECT_EQ(Write(), expected.erase(expected.find("Screen Resolution: 1024 X 768\r\n\r\n"), 33));
    EXPECT_EQ(ops.failures, std::vector<int32_t>{err::kDivisionByZero});

    ops.failures.clear();
    screen.twipsPerPixelY = 15;
    Writer().BasicInfo(ops);  // without streams, each of its sixteen writes fails on its own
    EXPECT_EQ(ops.failures, std::vector<int32_t>(16, err::kObjectNotSet));
}

TEST(FormatTest, SizesResolutionsAndRounding) {
    const std::pair<uint64_t, const char*> sizes[] = {{0, "0 bytes"},
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
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(SizeText(bytes, "."), text) << bytes;
    EXPECT_EQ(SizeText(1536, ","), "1,5kb");

    EXPECT_EQ(ScreenResolutionLine({15360, 11520, 15, 15}, "."), "Screen Resolution: 1024 X 768");
    EXPECT_EQ(ScreenResolutionLine({16392, 9216, 12, 12}, "."), "Screen Resolution: 1366 X 768");
    EXPECT_EQ(ScreenResolutionLine({1000, 1000, 3, 8}, ","), "Screen Resolution: 333,33334 X 125");
    for (const ScreenMetrics& zero : {ScreenMetrics{1000, 1000, 0, 15}, ScreenMetrics{1000, 1000, 15, 0}})
        EXPECT_THROW(ScreenResolutionLine(zero, "."), AppError);

    const std::pair<double, double> halves[] = {{0.5, 0},   {1.5, 2},  {2.5, 2},   {2.5000001, 3},
                                                {12.5, 12}, {-0.5, 0}, {-1.5, -2}, {4194303.9990234375, 4194304}};
    for (const auto& [value, rounded] : halves)
        EXPECT_EQ(RoundHalfEven(value), rounded) << value;
    const std::pair<double, const char*> fixed[] = {{0, "0.00"},      {1.125, "1.13"},   {2.375, "2.38"},
                                                    {2.374, "2.37"},  {0.005, "0.01"},   {123456.5, "123456.50"},
                                                    {9.999, "10.00"}, {-1.125, "-1.13"}, {-0.001, "0.00"}};
    for (const auto& [value, text] : fixed)
        EXPECT_EQ(FormatFixed2(value, "."), text) << value;
    EXPECT_EQ(FormatFixed2(0.005, ","), "0,01");
}

}  // namespace
}  // namespace ost::test
