// The support report and what it is made of: the system summary, the drive listing, the installed
// programs, the listings of the folders, and the number formats.
#include "app/report_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "app/operations.h"
#include "fakes.h"
#include "inspect/drive_listing.h"
#include "inspect/mod_general.h"
#include "inspect/system_info.h"
#include "platform/format.h"

namespace ost::test {
namespace {

TEST(SystemInfoTest, NamesTheVersionByMajorAndMinorAloneAndTheProcessorByItsTypeAndWritesTheTextsAsFilled) {
    struct Row {
        uint32_t major, minor, processor;
        const char* name;
        const char* cpu;
    } rows[] = {{3, 5, 386, "Windows NT ", "Intel 386"},         {3, 51, 486, "Windows ", "Intel 486"},
                {4, 0, 586, "Windows NT", "Intel Pentium"},      {4, 1, 4000, "Windows 98", "MIPS R4000"},
                {4, 10, 21064, "Windows ME", "DEC Alpha 21064"}, {5, 0, 0, "Windows 2000", "(unknown)"},
                {5, 1, 8664, "Windows XP", "(unknown)"},         {6, 1, 2200, "Windows Unknown Version", "(unknown)"}};
    FakeSystemInfoSource source;
    for (const Row& row : rows) {
        source.version = {row.major, row.minor, 1};
        source.processorType = row.processor;
        const cSystemInfo info(source);
        EXPECT_EQ(info.WinName() + "|" + info.CPUVersion(), std::string(row.name) + "|" + row.cpu) << row.major;
    }
    source.version = {4, 10, 0xC0000A28u};  // the upper half of a 9x build number holds other data
    source.shell = {5, 50, 0};
    const cSystemInfo info(source);
    EXPECT_EQ(info.WinVersion() + "|" + info.IEVersion(), "4.10 (Build 3221228072)|Internet Explorer 5.50.0");
    source.version = {};  // failed queries give the zero texts
    source.shell = {};
    const cSystemInfo failed(source);
    EXPECT_EQ(failed.WinName() + "|" + failed.WinVersion() + "|" + failed.IEVersion(),
              "Windows Unknown Version|0.0 (Build 0)|Internet Explorer 0.0.0");
}

TEST(SystemInfoTest, MemoryGoesToItsOwnPropertiesRoundedToWholeKilobytesHalvesToEvenAndSaturatesAt32Bits) {
    const auto kilobytes = [](ISystemInfoSource& source) {
        const cSystemInfo info(source);
        return std::vector<int32_t>{info.MemoryTotal(), info.MemoryFree(), info.VirtualMemoryTotal(),
                                    info.VirtualMemoryFree()};
    };
    FakeSystemInfoSource source;
    source.memory = {10240, 20480, 30720, 40960};
    EXPECT_EQ(kilobytes(source), (std::vector<int32_t>{10, 20, 30, 40}));
    const std::pair<uint64_t, int32_t> rows[] = {
        {1536, 2}, {2560, 2}, {1023, 1}, {512, 0}, {1537, 2}, {4294967295, 4194304}, {140737488355328, 4194304}};
    for (const auto& [bytes, kb] : rows) {
        source.memory = {bytes, bytes, bytes, bytes};
        EXPECT_EQ(kilobytes(source), std::vector<int32_t>(4, kb)) << bytes;
    }
}

FakeDrive Drive(const std::string& letter, int32_t type, const std::string& volume, double freeMb, double totalMb) {
    FakeDrive d;
    d.letter = letter, d.type = type, d.volume = volume;
    d.freeBytes = static_cast<uint64_t>(freeMb * 1048576.0), d.totalBytes = static_cast<uint64_t>(totalMb * 1048576.0);
    return d;
}

TEST(DriveListingTest, EachDriveGivesItsLineAndAFailedReadCarriesOverThePreviousDrivesValue) {
    FakeFileSystem fs;
    FakeLocale locale;
    locale.decimalSeparator = ",";
    fs.drives = {Drive("F", 2, "", 0, 0),         Drive("A", 1, "", 0, 0), Drive("C", 2, "SYSTEM", 812.5, 953.8593),
                 Drive("D", 4, "DATA", 10, 20),   Drive("E", 2, "", 0, 0), Drive("N", 3, "not shown", 0, 100),
                 Drive("R", 5, "", 1.125, 2.375), Drive("U", 0, "", 0, 0), Drive("X", 9, "", 0, 0),
                 Drive("Z", 2, "", 0, 0)};
    fs.drives[4].fileSystem = "FAT32";
    fs.drives[4].serial = 5;
    fs.drives[5].share = "\\\\server\\docs";
    fs.drives[5].serial = static_cast<int32_t>(0xDEADBEEFu);
    // The first drive's failed reads leave empty and zero; a drive without a medium gives its letter
    // alone; E's failed reads carry over D's values; a drive whose every read fails gives CR LF alone.
    fs.calls.failing = {"VolumeName:F", "FreeSpace:F", "TotalSize:F",  "DriveType:F",    "VolumeName:A",
                        "FreeSpace:A",  "TotalSize:A", "FileSystem:A", "SerialNumber:A", "DriveType:E",
                        "VolumeName:E", "FreeSpace:E", "TotalSize:E",  "DriveLetter:Z",  "DriveType:Z",
                        "VolumeName:Z", "FreeSpace:Z", "TotalSize:Z",  "FileSystem:Z",   "SerialNumber:Z"};
    EXPECT_EQ(ExportDriveListings(fs, locale),
              "F -  : 0,00 FREE/0,00 TOTAL MB (NTFS ) '777'\r\n"
              "A - \r\n"
              "C - SYSTEM : 812,50 FREE/953,86 TOTAL MB (NTFS Fixed) '777'\r\n"
              "D - DATA : 10,00 FREE/20,00 TOTAL MB (NTFS CD-ROM) '777'\r\n"
              "E - DATA : 10,00 FREE/20,00 TOTAL MB (FAT32 CD-ROM) '5'\r\n"
              "N - \\\\server\\docs : 0,00 FREE/100,00 TOTAL MB (NTFS Network) '-559038737'\r\n"
              "R -  : 1,13 FREE/2,38 TOTAL MB (NTFS RAM Disk) '777'\r\n"
              "U -  : 0,00 FREE/0,00 TOTAL MB (NTFS Unknown) '777'\r\n"
              "X -  : 0,00 FREE/0,00 TOTAL MB (NTFS ) '777'\r\n"
              "\r\n");
    fs.drives = {Drive("C", 2, "", 1.5, 2)};
    locale.calls.failing = {"DecimalSeparator"};
    EXPECT_EQ(ExportDriveListings(fs, locale), "C -  : 1.50 FREE/2.00 TOTAL MB (NTFS Fixed) '777'\r\n");
    fs.calls.failing = {"Drives"};
    EXPECT_EQ(ExportDriveListings(fs, locale), "");
}

class ProgramListTest : public ::testing::Test {
  protected:
    ProgramListTest() { registry.keys[LowerAscii(kUninstall)]; }
    void Add(const std::string& key, const std::string& name, uint32_t type = reg::kTypeSz) {
        registry.AddString(kUninstall + "\\" + key, "DisplayName", name, type);
    }
    std::string Export() {
        modGeneral::ExportProgramList(ui.lstPrograms(), fs, registry, locale, ui);
        EXPECT_TRUE(registry.open.empty()) << "every key is closed";
        return fs.Content("c:\\progs.txt");
    }

    const std::string kUninstall = modGeneral::kUninstallKey;
    FakeFileSystem fs;
    FakeRegistry registry;
    FakeLocale locale;
    FakeUi ui;
};

TEST_F(ProgramListTest, ListsEachNamedProgramInOrderUntilANameDoesNotFit) {
    Add("a", "Acme Editor");
    registry.keys[LowerAscii(kUninstall + "\\b")];  // no name
    registry.keys[LowerAscii(kUninstall + "\\c")]["DisplayName"] = {4, std::string("\x01\0\0\0", 4)};
    Add("d", "");
    Add("e", "%ProgramFiles%\\x", reg::kTypeExpandSz);
    Add("f", "Acme Editor");  // a duplicate stays
    registry.keys[LowerAscii(kUninstall + "\\g")]["DisplayName"] = {reg::kTypeSz, "No Terminator"};
    registry.keys[LowerAscii(kUninstall + "\\h")]["DisplayName"] = {reg::kTypeSz, std::string("Cut\0Here\0", 9)};
    Add("i", "Caf\xE9");  // ANSI bytes, shown and written through the code page
    ui.items = {"from before"};
    fs.Put("c:\\progs.txt", "\"Old Entry\"\r\n");
    EXPECT_EQ(Export(), "\"Acme Editor\"\r\n\"Acme Editor\"\r\n\"No Terminator\"\r\n\"Cut\"\r\n\"Caf\xC3\xA9\"\r\n");
    EXPECT_EQ(ui.items, std::vector<std::string>{"Caf\xC3\xA9"});
    // A name that does not fit ends the walk: 254 characters and the terminator fit.
    registry.keys = {{LowerAscii(kUninstall), {}}};
    Add("a", "First");
    Add(std::string(254, 'b'), "Fits");
    Add(std::string(255, 'c'), "Too Long");
    Add("d", "Never Listed");
    EXPECT_EQ(Export(), "\"First\"\r\n\"Fits\"\r\n");
    registry.keys = {{LowerAscii(kUninstall), {}}};  // no program: an empty file, the list as it was
    ui.items = {"kept"};
    EXPECT_EQ(Export(), "");
    EXPECT_TRUE(fs.Has("c:\\progs.txt"));
    EXPECT_EQ(ui.items, std::vector<std::string>{"kept"});
}

// Runs every operation and, like a user who always answers Yes, carries on after a failure,
// recording the failures' numbers in order.
struct ContinuingOperations : IOperations {
    std::vector<int32_t> failures;
    void Run(const std::function<void()>& operation) override {
        try {
            operation();
        } catch (const AppError& e) {
            failures.push_back(e.Number());
        }
    }
    bool Test(const std::function<bool()>& test) override {
        bool passed = true;  // a test that fails counts as passed
        Run([&] { passed = test(); });
        return passed;
    }
};

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
                         {"six.txt", 6, {2001, 12, 24, 0, 0, 0}},
                         {"eighth.bin", 128},
                         {"one-k.bin", 1024},
                         {"k-and-half.bin", 1536},
                         {"two-thousand.bin", 2000},
                         {"mega.bin", 1048576, {2010, 7, 1, 9, 30, 0}}};
        windows.subFolders = {{"three", 3}, {"empty", 0}, {"system32", 5000000}};
        fs.folders["c:\\windows\\system32"].subFolders = {{"drivers", 123456}};
        fs.folders["c:\\pwwin32"].files = {{"pw.exe", 65536}};
        fs.Put("c:\\progs.txt", "\"Acme Editor\"\r\n\"Zeta Tools\"\r\n");
    }

    // Writes the whole report, stage by stage, into c:\ovsupport.txt of the file system.
    std::string Write() {
        ReportWriter writer(
            fs, locale,
            {[&] { return summary; }, [&] { return screen; }, [&] { return drives; }, [&] { return winName; }});
        auto report = fs.OpenTextFile("c:\\ovsupport.txt", IoMode::ForWriting, true, 0);
        auto programs = fs.OpenTextFile("c:\\progs.txt", IoMode::ForReading, false, 0);
        writer.SetStreams(report.get(), programs.get());
        writer.BasicInfo(ops);
        writer.WindowsFolder(ops);
        writer.SystemFolder(ops);
        writer.PebbleworkFolder(ops);
        return fs.Content("c:\\ovsupport.txt");
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
}

TEST(FormatTest, SizesResolutionsAndRounding) {
    // Beyond the sizes of the golden report: halves of a hundredth to even, and large counts.
    const std::pair<uint64_t, const char*> sizes[] = {
        {1029, "1kb"}, {1034, "1.01kb"}, {384, "0.38kb"}, {5000000, "4882.81kb"}, {1099511628288, "1073741824.5kb"}};
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(SizeText(bytes, "."), text) << bytes;
    EXPECT_EQ(ScreenResolutionLine({16392, 9216, 12, 12}, "."), "Screen Resolution: 1366 X 768");
    EXPECT_EQ(ScreenResolutionLine({1000, 1000, 3, 8}, ","), "Screen Resolution: 333,33334 X 125");
    EXPECT_THROW(ScreenResolutionLine({1000, 1000, 0, 15}, "."), AppError);
    // Halves go to the even neighbour, negative ones too; the sizes and memory counts show the rest.
    const std::pair<double, double> halves[] = {{-0.5, 0}, {-1.5, -2}, {12.5, 12}, {2.5000001, 3}};
    for (const auto& [value, rounded] : halves)
        EXPECT_EQ(RoundHalfEven(value), rounded) << value;
    const std::pair<double, const char*> fixed[] = {{0, "0.00"},       {1.125, "1.13"},         {2.374, "2.37"},
                                                    {0.005, "0.01"},   {123456.5, "123456.50"}, {9.999, "10.00"},
                                                    {-1.125, "-1.13"}, {-0.001, "0.00"}};
    for (const auto& [value, text] : fixed)
        EXPECT_EQ(FormatFixed2(value, "."), text) << value;
}

}  // namespace
}  // namespace ost::test
