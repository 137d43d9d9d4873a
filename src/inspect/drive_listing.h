// The drive listing: one line per drive of the machine.
#pragma once

#include <string>

#include "platform/filesystem.h"
#include "platform/locale.h"

namespace ost {

// One line per drive, in the order the system yields them, each ending in CR LF:
//   letter " - " name " : " free " FREE/" total " TOTAL MB (" file system " " type name ") '" serial "'"
// The name is the share name of a network drive and the volume name of any other; the megabyte
// figures have two decimals (halves away from zero) and the user's decimal separator. Never
// fails: each step of each drive is guarded on its own, and a failed step adds nothing. The name,
// the byte counts and the type name carry over from the previous drive when their reads fail.
std::string ExportDriveListings(IFileSystem& fs, ILocale& locale);

// The type name of a drive type: "Unknown", "Removable", "Fixed", "Network", "CD-ROM",
// "RAM Disk"; empty for a value outside the table.
std::string DriveTypeName(int32_t driveType);

}  // namespace ost
