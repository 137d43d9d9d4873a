// The machine as the window shows it and the report lists it: the system summary, the drive
// listing and the installed programs.
#include <gtest/gtest.h>

#include <tuple>

#include "fakes.h"
#include "inspect/drive_listing.h"
#include "inspect/mod_general.h"
#include "inspect/system_info.h"

namespace ost::test {
namespace {

TEST(SystemInfoTest, NamesTheVersionByMajorAndMinorAloneAndTheProcessorByItsType) {
    const std::tuple<uint32_t, uint32_t, const char*> versions[] = {{3, 5, "Windows NT "},
                                                                    {3, 51, "Windows "},
                                                                    {3, 0, "Windows "},
                                                                    {4, 0, "Windows NT"},
                                                                    {4, 1, "Windows 98"},
                                                                    {4, 10, "Windows ME"},
                                                                    {4, 90, "Windows ME"},
                                                                    {5, 0, "Windows 2000"},
                                                                    {5, 1, "Windows XP"},
                                                                    {5, 2, "Windows 2000"},
                                                                    {6, 1, "Windows Unknown Version"},
                                                                    {10, 0, "Windows Unknown Version"},
                                                                    {0, 0, "Windows Unknown Version"}};
    FakeSystemInfoSource source;
    for (const auto& [major, minor, name] : versions) {
        source.version = {major, minor, 1};
        EXPECT_EQ(cSystemInfo(source).WinName(), name) << major << "." << minor;
    }
    const std::pair<uint32_t, const char*> processors[] = {
        {386, "Intel 386"},         {486, "Intel 486"}, {586, "Intel Pentium"}, {4000, "MIPS R4000"},
        {21064, "DEC Alpha 21064"}, {0, "(unknown)"},   {8664, "(unknown)"}};
    for (const auto& [type, text] : processors) {
        source.processorType = type;
        EXPECT_EQ(cSystemInfo(source).CPUVersion(), text) << type;
    }
}

TEST(SystemInfoTest, MemoryIsRoundedToWholeKilobytesHalvesToEvenAndSaturatesAt32Bits) {
    const std::pair<uint64_t, int32_t> rows[] = {{1536, 2},
                                                 {2560, 2},
                                                 {1023, 1},
                                                 {511, 0},
                                                 {512, 0},
                                                 {1024 + 512 + 1, 2},
                                                 {3 * 1024 + 512, 4},
                                                 {1ull << 31, 1 << 21},
                                                 {0, 0},
                                                 {0xFFFFFFFFull, 1 << 22},
                                                 {1ull << 47, 1 << 22}};
    FakeSystemInfoSource source;
    for (const auto& [bytes, kb] : rows) {
        source.memory = {bytes, bytes, bytes, bytes};
        const cSystemInfo info(source);
        EXPECT_EQ((std::vector<int32_t>{info.MemoryTotal(), info.MemoryFree(), info.VirtualMemoryTotal(),
                                        info.VirtualMemoryFree()}),
                  std::vector<int32_t>(4, kb))
            << bytes;
    }
    source.memory = {10 * 1024, 20 * 1024, 30 * 1024, 40 * 1024};  // each count to its own property
    const cSystemInfo info(source);
    EXPECT_EQ((std::vector<int32_t>{info.MemoryTotal(), info.MemoryFree(), info.VirtualMemoryTotal(),
                                    info.VirtualMemoryFree()}),
              (std::vector<int32_t>{10, 20, 30, 40}));
}

TEST(SystemInfoTest, QueriesOnceInOrderAndWritesTheTextsAsFilled) {
    FakeSystemInfoSource source;
    source.version = {4, 10, 0xC0000A28u};  // the upper half of a 9x build number holds other data
    source.shell = {5, 50, 0};
    const cSystemInfo info(source);
    EXPECT_EQ(source.calls.log,
              (std::vector<std::string>{"QueryVersion", "QueryProcessorType", "QueryMemory", "QueryShellVersion"}));
    EXPECT_EQ(info.WinVersion() + "|" + info.IEVersion(), "4.10 (Build 3221228072)|Internet Explorer 5.50.0");
    source.version = {};  // failed queries give the zero texts
    source.shell = {};
    const cSystemInfo failed(source);
    EXPECT_EQ(failed.WinName() + "|" + failed.WinVersion() + "|" + failed.IEVersion(),
              "Windows Unknown Version|0.0 (Build 0)|Internet Explorer 0.0.0");
}

FakeDrive Drive(const std::string& letter, int32_t type, const std::string& volume, double freeMb, double totalMb) {
    FakeDrive d;
    d.letter = letter;
    d.type = type;
    d.volume = volume;
    d.freeBytes = static_cast<uint64_t>(freeMb * 1048576.0);
    d.totalBytes = static_cast<uint64_t>(totalMb * 1048576.0);
    return d;
}

TEST(DriveListingTest, EachDriveGivesItsLineAndAFailedReadCarriesOverThePreviousDrivesValue) {
    FakeDrive network = Drive("N", 3, "not shown", 0, 100);
    network.share = "\\\\server\\docs";
    network.serial = static_cast<int32_t>(0xDEADBEEFu);
    FakeDrive fat = Drive("E", 2, "", 0, 0);
    fat.fileSystem = "FAT32";
    fat.serial = 5;
    struct Case {
        const char* what;
        std::vector<FakeDrive> drives;
        std::set<std::string> failing;
        std::string expected;
    } cases[] = {
        {"a fixed drive",
         {Drive("C", 2, "SYSTEM", 812.5, 953.8593)},
         {},
         "C - SYSTEM : 812,50 FREE/953,86 TOTAL MB (NTFS Fixed) '777'\r\n"},
        {"a drive without a medium gives its letter alone",
         {Drive("A", 1, "", 0, 0), Drive("C", 2, "SYSTEM", 1, 2)},
         {"VolumeName:A", "FreeSpace:A", "TotalSize:A", "FileSystem:A", "SerialNumber:A"},
         "A - \r\nC - SYSTEM : 1,00 FREE/2,00 TOTAL MB (NTFS Fixed) '777'\r\n"},
        {"values carried over",
         {Drive("D", 4, "DATA", 10, 20), fat},
         {"DriveType:E", "VolumeName:E", "FreeSpace:E", "TotalSize:E"},
         "D - DATA : 10,00 FREE/20,00 TOTAL MB (NTFS CD-ROM) '777'\r\n"
         "E - DATA : 10,00 FREE/20,00 TOTAL MB (FAT32 CD-ROM) '5'\r\n"},
        {"the first drive starts from empty and zero",
         {Drive("C", 2, "", 0, 0)},
         {"VolumeName", "FreeSpace", "TotalSize", "DriveType"},
         "C -  : 0,00 FREE/0,00 TOTAL MB (NTFS ) '777'\r\n"},
        {"every read failing",
         {Drive("C", 2, "", 0, 0)},
         {"DriveLetter", "DriveType", "VolumeName", "FreeSpace", "TotalSize", "FileSystem", "SerialNumber"},
         "\r\n"},
        {"a network drive's share and a negative serial",
         {network},
         {},
         "N - \\\\server\\docs : 0,00 FREE/100,00 TOTAL MB (NTFS Network) '-559038737'\r\n"},
        {"halves away from zero, and the other types",
         {Drive("R", 5, "", 1.125, 2.375), Drive("U", 0, "", 0, 0), Drive("X", 9, "", 0, 0)},
         {},
         "R -  : 1,13 FREE/2,38 TOTAL MB (NTFS RAM Disk) '777'\r\nU -  : 0,00 FREE/0,00 TOTAL MB (NTFS Unknown) "
         "'777'\r\nX -  : 0,00 FREE/0,00 TOTAL MB (NTFS ) '777'\r\n"},
        {"no drive collection", {Drive("C", 2, "", 0, 0)}, {"Drives"}, ""},
        {"a separator that cannot be read",
         {Drive("C", 2, "", 1.5, 2)},
         {"DecimalSeparator"},
         "C -  : 1.50 FREE/2.00 TOTAL MB (NTFS Fixed) '777'\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeFileSystem fs;
        FakeLocale locale;
        locale.decimalSeparator = ",";
        fs.drives = c.drives;
        fs.calls.failing = locale.calls.failing = c.failing;
        EXPECT_EQ(ExportDriveListings(fs, locale), c.expected);
    }
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

TEST_F(ProgramListTest, ListsEachNamedProgramInEnumerationOrderAndShowsTheLast) {
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
    EXPECT_EQ(std::count(ui.calls.log.begin(), ui.calls.log.end(), "Clear"), 5);
}

TEST_F(ProgramListTest, ANameThatDoesNotFitEndsTheWalkAndNoProgramLeavesTheListAsItWas) {
    Add("a", "First");
    Add(std::string(254, 'b'), "Fits");  // 254 characters and the terminator fit
    Add(std::string(255, 'c'), "Too Long");
    Add("d", "Never Listed");
    EXPECT_EQ(Export(), "\"First\"\r\n\"Fits\"\r\n");
    registry.keys = {{LowerAscii(kUninstall), {}}};
    ui.items = {"kept"};
    EXPECT_EQ(Export(), "");
    EXPECT_TRUE(fs.Has("c:\\progs.txt"));
    EXPECT_EQ(ui.items, std::vector<std::string>{"kept"});
}

}  // namespace
}  // namespace ost::test
