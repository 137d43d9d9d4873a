// Reading an existing archive's directory, so that its entries can be carried into a new archive.
// Every length and offset is checked against the file with 64-bit arithmetic before it is used,
// and memory is allocated only for what was checked. It is the start of the hostile-archive
// reader the unzip side builds on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ziplib/streams.h"
#include "ziplib/zip_format.h"

namespace ost::zip {

struct ArchiveEntry {
    EntryHeader header;       // localOffset is the entry's offset in the archive
    uint64_t dataOffset = 0;  // where its compressed data starts
};

struct ArchiveDirectory {
    std::vector<ArchiveEntry> entries;  // in directory order
    std::vector<uint8_t> comment;
};

// Reads the directory of the archive in `source` and every entry's local header. Raises
// ZipError(kBadArchive) with a message naming `what` and the fault when the archive is truncated,
// inconsistent (counts, sizes, overlapping entries, local and central headers that disagree,
// duplicate names), split over several disks or preceded by other data.
ArchiveDirectory ReadArchiveDirectory(ByteSource& source, const std::string& what);

}  // namespace ost::zip
