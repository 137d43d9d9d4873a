// Reading an existing archive's directory: for the unzip engine, and for the zip engine, which
// carries entries into a new archive. Every length and offset is checked against the file with
// 64-bit arithmetic before it is used, and memory is allocated only for what was checked.
//
// The reader finds the archive as other readers do. The end record is the last one in the final
// 65,557 bytes whose comment fits the file and whose central directory lies where it says; bytes
// after it are no part of the archive. A ZIP64 end record found through its locator is part of the
// archive, and gives a value only where the end record holds the all-ones marker. When every
// offset of the directory is short by the length of data before the archive (a self-extractor's
// stub put in front of an archive unchanged), the offsets are shifted by that length; unless the
// first entry's local header is where its stated offset says and not where the shifted one does:
// then the shortfall is data between the last entry and the directory, and the offsets stand. An
// end record without a ZIP64 record may count more than 65,535 entries modulo 65,536, as old
// writers did: the directory's entries are read as long as central headers follow, and a count of
// 65,535 is a count, not the mark of a ZIP64 one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ziplib/streams.h"
#include "ziplib/zip_format.h"
#include "ziplib/zip_result.h"

namespace ost::zip {

struct ArchiveEntry {
    EntryHeader header;       // localOffset is where the local header is in the file
    uint64_t dataOffset = 0;  // where its compressed data starts
    // Why this entry cannot be read while the others can, as a phrase ("an empty name", "its local
    // header disagrees with the central directory on the CRC-32", ...); empty when it can be read.
    std::string fault;
    // The byte an encryption header ends with when the password is right: from the local header's
    // flags and time, as the writer made it.
    uint8_t passwordCheck = 0;
};

struct ArchiveDirectory {
    std::vector<ArchiveEntry> entries;  // in directory order
    std::vector<uint8_t> comment;
    uint64_t prefix = 0;        // bytes before the archive that its offsets do not count (already added)
    uint64_t trailing = 0;      // bytes after the end record's comment, which are no part of the archive
    uint64_t gap = 0;           // bytes between the entries and the directory that its offset does not count
    bool countWrapped = false;  // more entries than the end record's count, which is theirs modulo 65,536
};

// Raised by ReadArchiveDirectory when the source holds no zip archive at all: it is too short, or
// no end record is in its last 65,557 bytes.
class NotAnArchive : public ZipError {
  public:
    using ZipError::ZipError;
};

// Reads the directory of the archive in `source` and every entry's local header. Raises
// ZipError(kBadArchive) with a message naming `what` and the fault when the archive as a whole
// cannot be read: truncated, inconsistent (counts, sizes, overlapping entries, entries running
// into the directory), split over several disks, ambiguous (two end records that describe
// different archives, end records that disagree), or a directory that with its entries would take
// 2 GiB of memory or more, on every build alike, before anything is allocated (without a ZIP64
// record, with as many entries as the directory has room for: one per 46 bytes); NotAnArchive when
// it holds no archive at all.
// An entry whose name is empty or holds a zero byte, whose central or local extra field has a
// block that runs past its end, or whose local header or data descriptor disagrees with its
// central header in the name, method, encryption, CRC-32 or sizes, gets a fault and leaves the
// others readable.
ArchiveDirectory ReadArchiveDirectory(ByteSource& source, const std::string& what);

// `text` (UTF-8, or a name's bytes as stored) with every control character written as \xNN (its
// code: C0, DEL and, in UTF-8, C1), so that a name in a message or a listing cannot end a line,
// forge one, or steer the terminal. The messages of this reader and of ReadEntryData show names so.
std::string Printable(std::string_view text);

// Raises ZipError(kBadArchive) naming `what` and the first reason `directory` cannot be carried
// whole into a new archive: data before or after the archive (which the new archive would lose),
// an entry's fault, or a name that two entries share.
void RequireWholeArchive(const ArchiveDirectory& directory, const std::string& what);

}  // namespace ost::zip
