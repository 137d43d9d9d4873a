// The zip format's records as this library writes them: local and central headers, the end of
// the central directory (with its ZIP64 form), DOS times and the Unicode Path extra field.
// Every archive written here opens in unzip, 7-Zip, bsdtar, Python's zipfile and libzip:
// sizes are filled in after the data (no data descriptors), version needed is 2.0, or 4.5 for
// an entry with ZIP64 values, and ZIP64 appears only where a value needs it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ost::zip {

inline constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
inline constexpr uint32_t kEndSignature = 0x06054b50;
inline constexpr uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralHeaderSize = 46;
inline constexpr size_t kEndSize = 22;
inline constexpr size_t kZip64EndSize = 56;
inline constexpr size_t kZip64LocatorSize = 20;

// A 32-bit size or offset field holds its value only below this; at or above it the field holds
// 0xFFFFFFFF and the value goes to the ZIP64 extra field. The same for the 16-bit entry counts.
inline constexpr uint64_t kZip64Limit = 0xFFFFFFFFu;
inline constexpr uint64_t kZip64CountLimit = 0xFFFFu;

inline constexpr uint16_t kExtraZip64 = 0x0001;
inline constexpr uint16_t kExtraUnicodePath = 0x7075;

inline constexpr uint16_t kFlagEncrypted = 1u << 0;
inline constexpr uint16_t kFlagDataDescriptor = 1u << 3;
inline constexpr uint16_t kFlagStrongEncryption = 1u << 6;
inline constexpr uint16_t kFlagUtf8 = 1u << 11;

inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;

inline constexpr uint16_t kVersionDefault = 20;
inline constexpr uint16_t kVersionZip64 = 45;
// Made by MS-DOS, format version 2.0: external attributes are DOS attributes.
inline constexpr uint16_t kMadeByDos = 0x0014;

inline constexpr uint32_t kDosReadOnly = 0x01;
inline constexpr uint32_t kDosHidden = 0x02;
inline constexpr uint32_t kDosSystem = 0x04;
inline constexpr uint32_t kDosFolder = 0x10;
inline constexpr uint32_t kDosArchive = 0x20;

// A local calendar time, as file systems report modification times.
struct LocalTime {
    int year = 1980;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

struct DosDateTime {
    uint16_t time = 0;
    uint16_t date = 0x21;  // 1980-01-01
    // One number that orders times: date in the high half.
    uint32_t Key() const { return (static_cast<uint32_t>(date) << 16) | time; }
};

// DOS date and time of a local time: even seconds, clamped to 1980-01-01 .. 2107-12-31 23:59:58,
// so never the ambiguous 0.
DosDateTime ToDosTime(const LocalTime& t);

bool IsAscii(std::string_view text);

// Whether `name` matches `pattern`: '*' any run of characters, '?' one character; without
// `caseSensitive`, ASCII letters match in either case.
bool MatchesPattern(std::string_view pattern, std::string_view name, bool caseSensitive);

// What an entry's local and central headers hold.
struct EntryHeader {
    std::string name;  // as stored: '/' separators, UTF-8 when bit 11 is set
    uint16_t versionNeeded = kVersionDefault;
    uint16_t flags = 0;
    uint16_t method = kMethodStored;
    DosDateTime modified;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;
    // The local header has a ZIP64 field with both sizes (decided before the data is written).
    bool zip64Sizes = false;
    std::vector<uint8_t> localExtra;    // extra fields other than ZIP64
    std::vector<uint8_t> centralExtra;  // extra fields other than ZIP64
    uint16_t versionMadeBy = kMadeByDos;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = kDosArchive;
    std::vector<uint8_t> comment;
};

// Whether an entry's local header holds its sizes in a ZIP64 field. The header is written before
// the data, so this is decided from the most the data can take: the input (stored when deflate
// does not shrink it) and, when it is encrypted, the encryption header.
bool NeedsZip64Sizes(uint64_t inputSize, bool encrypted);
// The local header; its length depends only on the name, the extra fields and zip64Sizes, so a
// header written before the data can be rewritten in place once the CRC and sizes are known.
std::vector<uint8_t> LocalHeader(const EntryHeader& entry);
// The central header, with a ZIP64 field holding only the values that reach kZip64Limit.
std::vector<uint8_t> CentralHeader(const EntryHeader& entry);
// The end of the central directory: the ZIP64 end record and its locator first when the entry
// count, the directory's size or its offset needs them. `endOffset` is where this is written.
std::vector<uint8_t> EndOfCentralDirectory(uint64_t entries,
                                           uint64_t directoryOffset,
                                           uint64_t directorySize,
                                           uint64_t endOffset,
                                           const std::vector<uint8_t>& comment);

// The Info-ZIP Unicode Path extra field for a UTF-8 name (version 1, CRC-32 of the name field).
std::vector<uint8_t> UnicodePathExtra(std::string_view utf8Name);

// Removes the fields with `id` from a block of extra fields; a malformed block is returned whole.
std::vector<uint8_t> WithoutExtraField(const std::vector<uint8_t>& extra, uint16_t id);

// Little-endian appends.
void PutU16(std::vector<uint8_t>& out, uint16_t v);
void PutU32(std::vector<uint8_t>& out, uint32_t v);
void PutU64(std::vector<uint8_t>& out, uint64_t v);
uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
uint64_t GetU64(const uint8_t* p);

}  // namespace ost::zip
