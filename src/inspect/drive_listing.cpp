#include "inspect/drive_listing.h"

#include <vector>

#include "app/report_layout.h"
#include "platform/format.h"

namespace ost {

namespace {

// Runs one step; a failure of the step is absorbed and the walk goes on.
template <typename Step>
void Guarded(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

constexpr double kBytesPerMegabyte = 1048576.0;

}  // namespace

std::string DriveTypeName(int32_t driveType) {
    switch (driveType) {
        case 0:
            return "Unknown";
        case 1:
            return "Removable";
        case 2:
            return "Fixed";
        case 3:
            return "Network";
        case 4:
            return "CD-ROM";
        case 5:
            return "RAM Disk";
        default:
            return "";
    }
}

std::string ExportDriveListings(IFileSystem& fs, ILocale& locale) {
    std::string listing;
    std::vector<std::unique_ptr<IDrive>> drives;
    Guarded([&] { drives = fs.Drives(); });
    std::string separator = ".";
    Guarded([&] { separator = locale.DecimalSeparator(); });

    // Kept for the whole call: a drive whose reads fail shows what the previous one left.
    std::string name;
    uint64_t freeBytes = 0;
    uint64_t totalBytes = 0;
    std::string typeName;
    for (const auto& drive : drives) {
        Guarded([&] { listing += drive->DriveLetter() + report::kDriveLetterEnd; });
        Guarded([&] { typeName = DriveTypeName(drive->DriveType()); });
        Guarded([&] { name = drive->DriveType() == 3 ? drive->ShareName() : drive->VolumeName(); });
        Guarded([&] { freeBytes = drive->FreeSpace(); });
        Guarded([&] { totalBytes = drive->TotalSize(); });
        Guarded([&] {
            std::string piece =
                name + report::kDriveNameEnd +
                FormatFixed2(static_cast<double>(freeBytes) / kBytesPerMegabyte, separator) + report::kDriveFreeEnd +
                FormatFixed2(static_cast<double>(totalBytes) / kBytesPerMegabyte, separator) + report::kDriveTotalEnd;
            piece += drive->FileSystem();
            piece += " " + typeName + report::kDriveTypeEnd;
            piece += std::to_string(drive->SerialNumber());
            listing += piece + report::kDriveEnd;
        });
        Guarded([&] { listing += report::kCrLf; });
    }
    return listing;
}

}  // namespace ost
