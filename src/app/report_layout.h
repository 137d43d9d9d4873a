// The support report's fixed texts: its headings, separators and the pieces of its line forms.
// The report writer, the system summary and the drive listing write them, and ovdesk's reader
// reads them back, from this one place, so what is written and what is read cannot drift apart.
#pragma once

#include <string>

namespace ost::report {

inline const std::string kCrLf = "\r\n";
inline const std::string kTitle = "Orlavent Software Support Tool System Report";
inline const std::string kLongRule = "--------------------------";
inline const std::string kShortRule = "------";
inline const std::string kSystemHeading = "System Information";
inline const std::string kDrivesHeading = "Drive Listings";
inline const std::string kProgramsHeading = "Add/Remove Programs List";
inline const std::string kFilesHeading = "Files";
inline const std::string kFoldersHeading = "Folders";

// The system summary's six lines: a label and a value each, but the version line, which is the
// version text alone: "5.1 (Build 2600)".
inline const std::string kWinNameLabel = "Windows Version : ";
inline const std::string kIeLabel = "IE Version : ";
inline const std::string kCpuLabel = "CPU : ";
inline const std::string kFreeMemoryLabel = "Free Memory : ";
inline const std::string kTotalMemoryLabel = "Total Memory : ";

// "Screen Resolution: 1024 X 768"
inline const std::string kResolutionLabel = "Screen Resolution: ";
inline const std::string kResolutionBy = " X ";

// A listing block begins with its heading, the folder's path and ")".
inline const std::string kWindowsListing = "Windows Dir Listing (";
inline const std::string kSystemListing = "Windows System Dir Listing (";
inline const std::string kPebbleworkListing = "Pebblework Dir Listing (";
inline const std::string kListingEnd = ")";
inline const std::string kPebbleworkFolder = "c:\\pwwin32";

// Entry lines. Long form: name " (Created : " date " Size : " size ")"; short form, on the
// Windows names below: name " (Size : " size ")". The size is "N bytes" or "Xkb".
inline const std::string kCreated = " (Created : ";
inline const std::string kLongSize = " Size : ";
inline const std::string kShortSize = " (Size : ";
inline const std::string kEntryEnd = ")";
inline const std::string kBytesUnit = " bytes";
inline const std::string kKilobytesUnit = "kb";
inline bool UsesShortEntries(const std::string& winName) {
    return winName == "Windows ME" || winName == "Windows 98";
}

// Drive lines: letter " - " name " : " free " FREE/" total " TOTAL MB (" file system " " type
// ") '" serial "'"; a drive that cannot be read is the letter and " - " alone.
inline const std::string kDriveLetterEnd = " - ";
inline const std::string kDriveNameEnd = " : ";
inline const std::string kDriveFreeEnd = " FREE/";
inline const std::string kDriveTotalEnd = " TOTAL MB (";
inline const std::string kDriveTypeEnd = ") '";
inline const std::string kDriveEnd = "'";

// The support file's two entries, as the zip library stores c:\ovsupport.txt and c:\regbackup.reg.
inline const std::string kReportEntry = "ovsupport.txt";
inline const std::string kRegistryEntry = "regbackup.reg";

}  // namespace ost::report
