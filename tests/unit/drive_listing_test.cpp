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

class DriveListingTest : public ::testing::Test {
  protected:
    std::string Listing() { return ExportDriveListings(fs, locale); }
    test::FakeFileSystem fs;
    test::FakeLocale locale;
};

TEST_F(DriveListingTest, ReadyFixedDriveGivesEveryField) {
    FakeDrive c;
    c.freeBytes = MB(812.5);
    c.totalBytes = 1000195604;  // 953.8593... MB
    fs.drives = {c};
    EXPECT_EQ(Listing(), "C - SYSTEM : 812.50 FREE/953.86 TOTAL MB (NTFS Fixed) '777'\r\n");
}

TEST_F(DriveListingTest, DriveWithoutMediumGivesItsLetterAlone) {
    FakeDrive floppy;
    floppy.letter = "A";
    floppy.type = 1;
    floppy.failing = {"VolumeName", "FreeSpace", "TotalSize", "FileSystem", "SerialNumber"};
    FakeDrive c;
    c.freeBytes = MB(1);
    c.totalBytes = MB(2);
    fs.drives = {floppy, c};
    EXPECT_EQ(Listing(), "A - \r\nC - SYSTEM : 1.00 FREE/2.00 TOTAL MB (NTFS Fixed) '777'\r\n");
}

TEST_F(DriveListingTest, FailedReadsCarryOverThePreviousDrivesValues) {
    FakeDrive d;
    d.letter = "D";
    d.volume = "DATA";
    d.freeBytes = MB(10);
    d.totalBytes = MB(20);
    d.type = 4;
    FakeDrive e;  // every read but the letter, file system and serial fails
    e.letter = "E";
    e.fileSystem = "FAT32";
    e.serial = 5;
    e.failing = {"DriveType", "VolumeName", "ShareName", "FreeSpace", "TotalSize"};
    fs.drives = {d, e};
    EXPECT_EQ(Listing(),
              "D - DATA : 10.00 FREE/20.00 TOTAL MB (NTFS CD-ROM) '777'\r\n"
              "E - DATA : 10.00 FREE/20.00 TOTAL MB (FAT32 CD-ROM) '5'\r\n");
}

TEST_F(DriveListingTest, FirstDriveWithFailingNameStartsFromEmptyAndZero) {
    FakeDrive c;
    c.failing = {"VolumeName", "FreeSpace", "TotalSize", "DriveType"};
    fs.drives = {c};
    EXPECT_EQ(Listing(), "C -  : 0.00 FREE/0.00 TOTAL MB (NTFS ) '777'\r\n");
}

TEST_F(DriveListingTest, EveryPropertyFailingLeavesOnlyTheLineEnd) {
    FakeDrive broken;
    broken.failing = {"DriveLetter", "DriveType", "ShareName",  "VolumeName",
                      "FreeSpace",   "TotalSize", "FileSystem", "SerialNumber"};
    fs.drives = {broken};
    EXPECT_EQ(Listing(), "\r\n");
}

TEST_F(DriveListingTest, NetworkDrivesShowTheirShareAndTypeNames) {
    FakeDrive n;
    n.letter = "N";
    n.type = 3;
    n.share = "\\\\server\\docs";
    n.volume = "not shown";
    n.freeBytes = MB(0);
    n.totalBytes = MB(100);
    n.serial = static_cast<int32_t>(0xDEADBEEFu);
    fs.drives = {n};
    EXPECT_EQ(Listing(), "N - \\\\server\\docs : 0.00 FREE/100.00 TOTAL MB (NTFS Network) '-559038737'\r\n");
    const char* names[] = {"Unknown", "Removable", "Fixed", "Network", "CD-ROM", "RAM Disk"};
    for (int t = 0; t < 6; ++t)
        EXPECT_EQ(DriveTypeName(t), names[t]);
}

TEST_F(DriveListingTest, HalvesRoundAwayFromZeroWithTheUsersSeparator) {
    FakeDrive c;
    c.volume = "";
    c.freeBytes = MB(1.125);
    c.totalBytes = MB(2.375);
    fs.drives = {c};
    EXPECT_EQ(Listing(), "C -  : 1.13 FREE/2.38 TOTAL MB (NTFS Fixed) '777'\r\n");
    locale.decimalSeparator = ",";
    EXPECT_EQ(Listing(), "C -  : 1,13 FREE/2,38 TOTAL MB (NTFS Fixed) '777'\r\n");
}

TEST_F(DriveListingTest, NoDriveCollectionGivesAnEmptyListing) {
    fs.failDrives = true;
    EXPECT_EQ(Listing(), "");
    fs.failDrives = false;
    EXPECT_EQ(Listing(), "");
}

}  // namespace
}  // namespace ost
