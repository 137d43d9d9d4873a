#include "ziplib/archive_reader.h"

#include <algorithm>
#include <unordered_set>

#include "ziplib/zip_result.h"

namespace ost::zip {

namespace {

// The end record is at most this far from the end: its own 22 bytes and a 65,535-byte comment.
constexpr uint64_t kEndSearch = kEndSize + 0xFFFF;

class DirectoryReader {
  public:
    DirectoryReader(ByteSource& source, const std::string& what) : source_(source), what_(what) {}

    ArchiveDirectory Read();

  private:
    [[noreturn]] void Fail(const std::string& fault) const {
        throw ZipError(kBadArchive, "the archive " + what_ + " cannot be read: " + fault);
    }
    std::vector<uint8_t> ReadAt(uint64_t offset, uint64_t size) {
        if (offset > fileSize_ || size > fileSize_ - offset)
            Fail("it is truncated");
        std::vector<uint8_t> bytes(static_cast<size_t>(size));
        source_.Seek(offset);
        size_t done = 0;
        while (done < bytes.size()) {
            const size_t n = source_.Read(bytes.data() + done, bytes.size() - done);
            if (n == 0)
                Fail("it is truncated");
            done += n;
        }
        return bytes;
    }
    void ParseCentral(const std::vector<uint8_t>& directory, size_t& pos, ArchiveEntry& entry);
    void ReadLocal(ArchiveEntry& entry, uint64_t directoryOffset);

    ByteSource& source_;
    std::string what_;
    uint64_t fileSize_ = 0;
};

ArchiveDirectory DirectoryReader::Read() {
    fileSize_ = source_.Size();
    if (fileSize_ < kEndSize)
        Fail("it is too short to be a zip archive");
    const uint64_t searchSize = std::min(fileSize_, kEndSearch);
    const std::vector<uint8_t> tail = ReadAt(fileSize_ - searchSize, searchSize);
    // The end record whose comment ends exactly at the end of the file.
    size_t endPos = SIZE_MAX;
    for (size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
        if (GetU32(&tail[i]) == kEndSignature && i + kEndSize + GetU16(&tail[i + 20]) == tail.size()) {
            endPos = i;
            break;
        }
    }
    if (endPos == SIZE_MAX)
        Fail("it has no end of central directory record");
    const uint8_t* end = &tail[endPos];
    const uint64_t endOffset = fileSize_ - searchSize + endPos;
    ArchiveDirectory result;
    result.comment.assign(end + kEndSize, end + kEndSize + GetU16(end + 20));
    if (GetU16(end + 4) != 0 || GetU16(end + 6) != 0 || GetU16(end + 8) != GetU16(end + 10))
        Fail("it is split over several disks");
    uint64_t count = GetU16(end + 10);
    uint64_t directorySize = GetU32(end + 12);
    uint64_t directoryOffset = GetU32(end + 16);
    uint64_t directoryEnd = endOffset;
    if (count == 0xFFFF || directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu) {
        if (endOffset < kZip64LocatorSize)
            Fail("its ZIP64 locator is missing");
        const std::vector<uint8_t> locator = ReadAt(endOffset - kZip64LocatorSize, kZip64LocatorSize);
        if (GetU32(&locator[0]) != kZip64LocatorSignature)
            Fail("its ZIP64 locator is missing");
        const uint64_t zip64End = GetU64(&locator[8]);
        if (zip64End > endOffset - kZip64LocatorSize || endOffset - kZip64LocatorSize - zip64End < kZip64EndSize)
            Fail("its ZIP64 locator points outside the archive");
        const std::vector<uint8_t> record = ReadAt(zip64End, kZip64EndSize);
        if (GetU32(&record[0]) != kZip64EndSignature)
            Fail("its ZIP64 end record is missing");
        if (GetU32(&record[16]) != 0 || GetU32(&record[20]) != 0 || GetU64(&record[24]) != GetU64(&record[32]))
            Fail("it is split over several disks");
        if (count == 0xFFFF)
            count = GetU64(&record[32]);
        if (directorySize == 0xFFFFFFFFu)
            directorySize = GetU64(&record[40]);
        if (directoryOffset == 0xFFFFFFFFu)
            directoryOffset = GetU64(&record[48]);
        directoryEnd = zip64End;
    }
    if (directoryOffset > directoryEnd || directorySize != directoryEnd - directoryOffset) {
        if (directoryOffset <= directoryEnd && directorySize < directoryEnd - directoryOffset)
            Fail("it holds data before the archive (a self-extractor?) or between its parts");
        Fail("its central directory lies outside the file");
    }
    if (count > directorySize / kCentralHeaderSize)
        Fail("its entry count does not fit its central directory");
    const std::vector<uint8_t> directory = ReadAt(directoryOffset, directorySize);
    result.entries.resize(static_cast<size_t>(count));
    size_t pos = 0;
    std::unordered_set<std::string> names;
    for (ArchiveEntry& entry : result.entries) {
        ParseCentral(directory, pos, entry);
        if (!names.insert(entry.header.name).second)
            Fail("the name " + entry.header.name + " appears twice");
        ReadLocal(entry, directoryOffset);
    }
    if (pos != directory.size())
        Fail("its central directory holds more than its entry count says");
    // No two entries' data may overlap each other (the directory was checked above).
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    ranges.reserve(result.entries.size());
    for (const ArchiveEntry& e : result.entries)
        ranges.emplace_back(e.header.localOffset, e.dataOffset + e.header.compressedSize);
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < ranges[i - 1].second)
            Fail("two of its entries overlap");
    return result;
}

void DirectoryReader::ParseCentral(const std::vector<uint8_t>& directory, size_t& pos, ArchiveEntry& entry) {
    if (directory.size() - pos < kCentralHeaderSize || GetU32(&directory[pos]) != kCentralHeaderSignature)
        Fail("its central directory is damaged");
    const uint8_t* h = &directory[pos];
    const size_t nameLength = GetU16(h + 28), extraLength = GetU16(h + 30), commentLength = GetU16(h + 32);
    if (directory.size() - pos - kCentralHeaderSize < nameLength + extraLength + commentLength)
        Fail("its central directory is damaged");
    EntryHeader& e = entry.header;
    e.versionMadeBy = GetU16(h + 4);
    e.versionNeeded = GetU16(h + 6);
    e.flags = GetU16(h + 8);
    e.method = GetU16(h + 10);
    e.modified.time = GetU16(h + 12);
    e.modified.date = GetU16(h + 14);
    e.crc = GetU32(h + 16);
    e.compressedSize = GetU32(h + 20);
    e.size = GetU32(h + 24);
    if (GetU16(h + 34) != 0 && GetU16(h + 34) != 0xFFFF)
        Fail("it is split over several disks");
    e.internalAttributes = GetU16(h + 36);
    e.externalAttributes = GetU32(h + 38);
    e.localOffset = GetU32(h + 42);
    const uint8_t* name = h + kCentralHeaderSize;
    e.name.assign(reinterpret_cast<const char*>(name), nameLength);
    if (e.name.empty() || e.name.find('\0') != std::string::npos)
        Fail("an entry has an empty name or a name with a zero byte");
    const std::vector<uint8_t> extra(name + nameLength, name + nameLength + extraLength);
    e.comment.assign(name + nameLength + extraLength, name + nameLength + extraLength + commentLength);
    pos += kCentralHeaderSize + nameLength + extraLength + commentLength;

    // ZIP64 values replace exactly the fields that hold all ones, in the order size, compressed
    // size, offset.
    const bool wantSize = e.size == 0xFFFFFFFFu, wantCompressed = e.compressedSize == 0xFFFFFFFFu,
               wantOffset = e.localOffset == 0xFFFFFFFFu;
    bool haveZip64 = false;
    for (size_t p = 0; p + 4 <= extra.size();) {
        const uint16_t id = GetU16(&extra[p]);
        const size_t length = GetU16(&extra[p + 2]);
        if (p + 4 + length > extra.size())
            Fail("the extra fields of " + e.name + " are damaged");
        if (id == kExtraZip64) {
            const size_t needed = 8 * (wantSize + wantCompressed + wantOffset);
            if (length < needed)
                Fail("the ZIP64 field of " + e.name + " is too short");
            const uint8_t* v = &extra[p + 4];
            if (wantSize)
                e.size = GetU64(v), v += 8;
            if (wantCompressed)
                e.compressedSize = GetU64(v), v += 8;
            if (wantOffset)
                e.localOffset = GetU64(v);
            haveZip64 = true;
        }
        p += 4 + length;
    }
    if ((wantSize || wantCompressed || wantOffset) && !haveZip64)
        Fail("the ZIP64 field of " + e.name + " is missing");
    e.centralExtra = WithoutExtraField(extra, kExtraZip64);
}

void DirectoryReader::ReadLocal(ArchiveEntry& entry, uint64_t directoryOffset) {
    EntryHeader& e = entry.header;
    if (e.localOffset > directoryOffset || directoryOffset - e.localOffset < kLocalHeaderSize)
        Fail("the entry " + e.name + " lies outside the archive");
    const std::vector<uint8_t> h = ReadAt(e.localOffset, kLocalHeaderSize);
    if (GetU32(&h[0]) != kLocalHeaderSignature)
        Fail("the local header of " + e.name + " is missing");
    const uint64_t nameLength = GetU16(&h[26]), extraLength = GetU16(&h[28]);
    const uint64_t headerEnd = e.localOffset + kLocalHeaderSize + nameLength + extraLength;
    if (headerEnd > directoryOffset || e.compressedSize > directoryOffset - headerEnd)
        Fail("the entry " + e.name + " runs into the central directory");
    const std::vector<uint8_t> rest = ReadAt(e.localOffset + kLocalHeaderSize, nameLength + extraLength);
    if (std::string(rest.begin(), rest.begin() + static_cast<ptrdiff_t>(nameLength)) != e.name)
        Fail("the local and central headers of " + e.name + " disagree");
    if ((GetU16(&h[6]) | kFlagDataDescriptor) != (e.flags | kFlagDataDescriptor) || GetU16(&h[8]) != e.method)
        Fail("the local and central headers of " + e.name + " disagree");
    e.localExtra = WithoutExtraField(
        std::vector<uint8_t>(rest.begin() + static_cast<ptrdiff_t>(nameLength), rest.end()), kExtraZip64);
    entry.dataOffset = headerEnd;
}

}  // namespace

ArchiveDirectory ReadArchiveDirectory(ByteSource& source, const std::string& what) {
    return DirectoryReader(source, what).Read();
}

}  // namespace ost::zip
