#include "inspect/drive_listing.h"

#include <gtest/gtest.h>

#include "fake_filesystem.h"
#include "fake_locale.h"

namespace ost {
namespace {

using test::FakeDrive;

constexpr uint64_t MB(double megabytes) {
    return static_cast<uint64_t>(megabytes * 1048576.0);
}

FakeDrive Drive(const std::string& letter, int32_t type, const std::string& volume, uint64_t freeBytes,
                uint64_t totalBytes, std::set<std::string> failing = {}) {
    FakeDrive d;
    d.letter = letter;
    d.type = type;
    d.volume = volume;
    d.freeBytes = freeBytes;
    d.totalBytes = totalBytes;
    d.failing = std::move(failing);
    return d;
}

TEST(DriveListingTest, EachDriveGivesItsLineAndFailedReadsCarryOverThePreviousDrivesValues) {
    FakeDrive network = Drive("N", 3, "not shown", MB(0), MB(100));
    network.share = "\\\\server\\docs";
    network.serial = static_cast<int32_t>(0xDEADBEEFu);
    FakeDrive e = Drive("E", 2, "", 0, 0, {"DriveType", "VolumeName", "ShareName", "FreeSpace", "TotalSize"});
    e.fileSystem = "FAT32";
    e.serial = 5;
    const std::vector<std::string> everyProperty = {"DriveLetter", "DriveType",  "ShareName",   "VolumeName",
                                                   "FreeSpace",   "TotalSize",  "FileSystem", "SerialNumber"};
    struct Case {
        const char* what;
        std::vector<FakeDrive> drives;
        std::string expected;
    } cases[] = {
        {"a ready fixed drive", {Drive("C", 2, "SYSTEM", MB(812.5), 1000195604)},  // 953.8593... MB
         "C - SYSTEM : 812.50 FREE/953.86 TOTAL MB (NTFS Fixed) '777'\r\n"},
        {"a drive without medium gives its letter alone",
         {Drive("A", 1, "", 0, 0, {"VolumeName", "FreeSpace", "TotalSize", "FileSystem", "SerialNumber"}),
          Drive("C", 2, "SYSTEM", MB(1), MB(2))},
         "A - \r\nC - SYSTEM : 1.00 FREE/2.00 TOTAL MB (NTFS Fixed) '777'\r\n"},
        {"carry-over from the previous drive",
         {Drive("D", 4, "DATA", MB(10), MB(20)), e},
         "D - DATA : 10.00 FREE/20.00 TOTAL MB (NTFS CD-ROM) '777'\r\n"
         "E - DATA : 10.00 FREE/20.00 TOTAL MB (FAT32 CD-ROM) '5'\r\n"},
        {"the first drive failing starts from empty and zero",
         {Drive("C", 2, "", 0, 0, {"VolumeName", "FreeSpace", "TotalSize", "DriveType"})},
         "C -  : 0.00 FREE/0.00 TOTAL MB (NTFS ) '777'\r\n"},
        {"every property failing", {Drive("C", 2, "", 0, 0, {everyProperty.begin(), everyProperty.end()})}, "\r\n"},
        {"a network drive shows its share and a negative serial", {network},
         "N - \\\\server\\docs : 0.00 FREE/100.00 TOTAL MB (NTFS Network) '-559038737'\r\n"},
        {"halves round away from zero", {Drive("C", 2, "", MB(1.125), MB(2.375))},
         "C -  : 1.13 FREE/2.38 TOTAL MB (NTFS Fixed) '777'\r\n"},
        {"no drives", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::FakeFileSystem fs;
        test::FakeLocale locale;
        fs.drives = c.drives;
        EXPECT_EQ(ExportDriveListings(fs, locale), c.expected);
    }
}

TEST(DriveListingTest, TheUsersSeparatorTheTypeNamesAndNoDriveCollection) {
    test::FakeFileSystem fs;
    test::FakeLocale locale;
    locale.decimalSeparator = ",";
    fs.drives = {Drive("C", 2, "", MB(1.125), MB(2.375))};
    EXPECT_EQ(ExportDriveListings(fs, locale), "C -  : 1,13 FREE/2,38 TOTAL MB (NTFS Fixed) '777'\r\n");
    fs.failDrives = true;
    EXPECT_EQ(ExportDriveListings(fs, locale), "");
    const char* names[] = {"Unknown", "Removable", "Fixed", "Network", "CD-ROM", "RAM Disk"};
    for (int t = 0; t < 6; ++t)
        EXPECT_EQ(DriveTypeName(t), names[t]);
}

}  // namespace
}  // namespace ost
