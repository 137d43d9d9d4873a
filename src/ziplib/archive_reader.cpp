#include "ziplib/archive_reader.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "ziplib/zip_result.h"

namespace ost::zip {

namespace {

// The end record is at most this far from the end: its own 22 bytes and a 65,535-byte comment.
constexpr uint64_t kEndSearch = kEndSize + 0xFFFF;
constexpr uint32_t kDescriptorSignature = 0x08074b50;
constexpr uint32_t kMarker32 = 0xFFFFFFFFu;
constexpr uint16_t kMarker16 = 0xFFFF;
// The most memory a directory may take: its bytes and its entries together, about what a 32-bit
// process can have in one block. Every build holds to it, so the 64-bit builds refuse what the
// 32-bit libraries refuse, and size_t holds every length the reader allocates.
constexpr uint64_t kDirectoryMemoryLimit = 0x7FFFFFFF;

// Where the parts of the archive that one end record describes lie in the file.
struct EndRecord {
    size_t tailIndex = 0;         // of the end record in the bytes searched
    uint64_t archiveEnd = 0;      // the end of its comment
    uint64_t directoryStart = 0;  // where the central directory is
    uint64_t directorySize = 0;
    uint64_t count = 0;
    uint64_t shift = 0;  // what every offset the archive records is short by
    bool zip64 = false;  // the count is a ZIP64 record's, never wrapped
};

// Whether every block of an extra field ends inside it (a tail too short for a block's header is
// padding).
bool ExtraFieldFits(const std::vector<uint8_t>& extra) {
    size_t p = 0;
    while (p + 4 <= extra.size())
        p += 4 + GetU16(&extra[p + 2]);
    return p <= extra.size();
}

// Replaces each of `fields` that holds the all-ones marker by its value in the ZIP64 extra field
// of `extra`. That field holds the marked ones in the order the fields are given (a central header)
// or, with `holdsAll`, every one of them whenever one is marked (a local header's two sizes); a
// local field too short for both holds the marked one alone, as stream writers write it. Returns
// false when a value is needed and the extra fields are damaged or the ZIP64 field is missing or
// short.
bool TakeZip64Values(const std::vector<uint8_t>& extra, std::initializer_list<uint64_t*> fields, bool holdsAll) {
    if (std::none_of(fields.begin(), fields.end(), [](const uint64_t* f) { return *f == kMarker32; }))
        return true;
    for (size_t p = 0; p + 4 <= extra.size();) {
        const size_t length = GetU16(&extra[p + 2]);
        if (p + 4 + length > extra.size())
            return false;
        if (GetU16(&extra[p]) == kExtraZip64) {
            const bool all = holdsAll && length >= 8 * fields.size();
            size_t at = p + 4;
            for (uint64_t* field : fields) {
                if (!all && *field != kMarker32)
                    continue;
                if (at + 8 > p + 4 + length)
                    return false;
                if (*field == kMarker32)
                    *field = GetU64(&extra[at]);
                at += 8;
            }
            return true;
        }
        p += 4 + length;
    }
    return false;
}

// How many central headers follow one another from the directory's start.
uint64_t CountCentralHeaders(const std::vector<uint8_t>& directory) {
    uint64_t count = 0;
    for (uint64_t p = 0; p + kCentralHeaderSize <= directory.size() && GetU32(&directory[p]) == kCentralHeaderSignature;
         ++count)
        p += kCentralHeaderSize + GetU16(&directory[p + 28]) + GetU16(&directory[p + 30]) + GetU16(&directory[p + 32]);
    return count;
}

class DirectoryReader {
  public:
    DirectoryReader(ByteSource& source, const std::string& what) : source_(source), what_(what) {}

    ArchiveDirectory Read();

  private:
    [[noreturn]] void Fail(const std::string& fault) const {
        throw ZipError(kBadArchive, "the archive " + what_ + " cannot be read: " + fault);
    }
    [[noreturn]] void FailNoArchive(const std::string& fault) const {
        throw NotAnArchive(kBadArchive, "the archive " + what_ + " cannot be read: " + fault);
    }
    // Reads `size` bytes at `offset`, which every caller has found inside the file; false when the
    // file ends before them after all (it shrank while being read). `size` is a record's length or
    // the directory's, which is below kDirectoryMemoryLimit.
    bool TryReadAt(uint64_t offset, uint64_t size, std::vector<uint8_t>& bytes) {
        bytes.resize(static_cast<size_t>(size));
        source_.Seek(offset);
        for (size_t done = 0; done < bytes.size();) {
            const size_t n = source_.Read(bytes.data() + done, bytes.size() - done);
            if (n == 0)
                return false;
            done += n;
        }
        return true;
    }
    std::vector<uint8_t> ReadAt(uint64_t offset, uint64_t size) {
        std::vector<uint8_t> bytes;
        if (!TryReadAt(offset, size, bytes))
            Fail("it is truncated");
        return bytes;
    }
    bool SignatureAt(uint64_t offset, uint32_t signature) {
        std::vector<uint8_t> bytes;
        return TryReadAt(offset, 4, bytes) && GetU32(bytes.data()) == signature;
    }
    std::optional<EndRecord> Resolve(const std::vector<uint8_t>& tail, size_t index, std::string& fault);
    void ParseCentral(const std::vector<uint8_t>& directory, size_t& pos, ArchiveEntry& entry);
    void ReadLocal(ArchiveEntry& entry, uint64_t directoryStart);
    std::string CompareLocal(const ArchiveEntry& entry,
                             const std::vector<uint8_t>& header,
                             const std::vector<uint8_t>& nameAndExtra,
                             uint64_t directoryStart);

    ByteSource& source_;
    std::string what_;
    uint64_t fileSize_ = 0;
    uint64_t tailStart_ = 0;  // where the bytes searched for the end record start
};

ArchiveDirectory DirectoryReader::Read() {
    fileSize_ = source_.Size();
    if (fileSize_ < kEndSize)
        FailNoArchive("it is too short to be a zip archive");
    tailStart_ = fileSize_ - std::min(fileSize_, kEndSearch);
    const std::vector<uint8_t> tail = ReadAt(tailStart_, fileSize_ - tailStart_);
    // Backwards from the end, the first end record that describes an archive. When none does, the
    // fault is that of the candidate nearest the end.
    std::optional<EndRecord> end;
    std::string fault;
    size_t index = tail.size() - kEndSize + 1;
    while (!end && index-- > 0) {
        if (GetU32(&tail[index]) != kEndSignature)
            continue;
        std::string why;
        end = Resolve(tail, index, why);
        if (fault.empty())
            fault = why;
    }
    if (!end && fault.empty())
        FailNoArchive("it has no end of central directory record");
    if (!end)
        Fail(fault);
    // An earlier end record whose comment holds this one and ends the file describes another
    // archive, and readers that want the comment to end the file take that one.
    if (end->archiveEnd != fileSize_) {
        while (index-- > 0) {
            std::string ignored;
            if (GetU32(&tail[index]) == kEndSignature &&
                tailStart_ + index + kEndSize + GetU16(&tail[index + 20]) == fileSize_ && Resolve(tail, index, ignored))
                Fail("it holds two end of central directory records, and readers disagree on which one counts");
        }
    }

    ArchiveDirectory result;
    const auto comment = tail.begin() + static_cast<ptrdiff_t>(end->tailIndex + kEndSize);
    result.comment.assign(comment, comment + GetU16(&tail[end->tailIndex + 20]));
    result.trailing = fileSize_ - end->archiveEnd;
    // Without a ZIP64 record the count may be an old writer's, wrapped modulo 65,536: the directory
    // may hold as many entries as fit in it. Memory is checked for the most there can be before the
    // directory is read, and the entries are allocated once, for those that are there.
    const uint64_t most = end->zip64 ? end->count : end->directorySize / kCentralHeaderSize;
    if (end->directorySize > kDirectoryMemoryLimit ||
        most > (kDirectoryMemoryLimit - end->directorySize) / sizeof(ArchiveEntry))
        Fail("its central directory of " + std::to_string(end->directorySize) + " bytes and up to " +
             std::to_string(most) + " entries is too large to hold in memory");
    const std::vector<uint8_t> directory = ReadAt(end->directoryStart, end->directorySize);
    result.entries.resize(
        static_cast<size_t>(end->zip64 ? end->count : std::max(end->count, CountCentralHeaders(directory))));
    size_t pos = 0;
    for (ArchiveEntry& entry : result.entries)
        ParseCentral(directory, pos, entry);
    if (pos != directory.size() || result.entries.size() % 0x10000 != end->count % 0x10000)
        Fail("its central directory holds more than its entry count says");
    result.countWrapped = result.entries.size() != end->count;
    // A shortfall whose shift finds no local header where the stated offset finds one is a gap.
    auto localHeaderAt = [&](uint64_t shift) {
        const uint64_t offset = result.entries.empty() ? 0 : result.entries.front().header.localOffset;
        return offset <= end->directoryStart - shift && SignatureAt(offset + shift, kLocalHeaderSignature);
    };
    const bool gap = end->shift > 0 && !localHeaderAt(end->shift) && localHeaderAt(0);
    result.gap = gap ? end->shift : 0;
    result.prefix = gap ? 0 : end->shift;
    for (ArchiveEntry& entry : result.entries) {
        if (entry.header.localOffset > end->directoryStart - result.prefix)
            Fail("the entry " + Printable(entry.header.name) + " lies outside the archive");
        entry.header.localOffset += result.prefix;
    }
    for (ArchiveEntry& entry : result.entries)
        ReadLocal(entry, end->directoryStart);
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

std::optional<EndRecord> DirectoryReader::Resolve(const std::vector<uint8_t>& tail, size_t index, std::string& fault) {
    auto inconsistent = [&](const std::string& why) -> std::optional<EndRecord> {
        fault = why;
        return std::nullopt;
    };
    const uint8_t* e = &tail[index];
    const uint64_t offset = tailStart_ + index;
    EndRecord r;
    r.tailIndex = index;
    if (GetU16(e + 20) > fileSize_ - offset - kEndSize)
        return inconsistent("the comment of its end record runs past the end of the file");
    r.archiveEnd = offset + kEndSize + GetU16(e + 20);
    uint64_t disk = GetU16(e + 4), directoryDisk = GetU16(e + 6), diskCount = GetU16(e + 8);
    r.count = GetU16(e + 10);
    r.directorySize = GetU32(e + 12);
    uint64_t directoryOffset = GetU32(e + 16);
    // A count of 65,535 is a count unless a ZIP64 record says otherwise, as the usual reader takes it:
    // an archive may hold exactly that many entries, or an old writer's count may wrap to it.
    const bool marked =
        disk == kMarker16 || directoryDisk == kMarker16 || r.directorySize == kMarker32 || directoryOffset == kMarker32;

    // A ZIP64 end record is where its locator says or, in an archive behind data its offsets do not
    // count, right before the locator. With it, the central directory ends where it starts.
    uint64_t directoryEnd = offset;
    const uint64_t locatorAt = offset - std::min<uint64_t>(offset, kZip64LocatorSize);
    std::vector<uint8_t> locator, record;
    const bool haveLocator = offset >= kZip64LocatorSize && TryReadAt(locatorAt, kZip64LocatorSize, locator) &&
                             GetU32(&locator[0]) == kZip64LocatorSignature;
    if (haveLocator) {
        for (const uint64_t at : {GetU64(&locator[8]), locatorAt - std::min<uint64_t>(locatorAt, kZip64EndSize)}) {
            // The record's own size is not checked: the usual reader takes records that state less
            // than their fixed part, whose fields stand where they stand whatever that size says.
            if (locatorAt >= kZip64EndSize && at <= locatorAt - kZip64EndSize && TryReadAt(at, kZip64EndSize, record) &&
                GetU32(&record[0]) == kZip64EndSignature) {
                directoryEnd = at;
                break;
            }
            record.clear();
        }
    }
    if (record.empty() && marked)
        return inconsistent(haveLocator ? "its ZIP64 end record is missing" : "its ZIP64 locator is missing");
    if (!record.empty()) {
        // A value comes from the ZIP64 record only where the end record holds the marker. Where both
        // hold a value they must agree: readers that prefer either one would read different archives.
        const uint64_t count64 = GetU64(&record[32]), size64 = GetU64(&record[40]), offset64 = GetU64(&record[48]);
        if ((r.count != kMarker16 && r.count != count64) ||
            (r.directorySize != kMarker32 && r.directorySize != size64) ||
            (directoryOffset != kMarker32 && directoryOffset != offset64))
            return inconsistent("its end record and its ZIP64 end record disagree");
        r.zip64 = true;
        r.count = count64;
        r.directorySize = size64;
        directoryOffset = offset64;
        if (disk == kMarker16)
            disk = GetU32(&record[16]);
        if (directoryDisk == kMarker16)
            directoryDisk = GetU32(&record[20]);
        if (diskCount == kMarker16)
            diskCount = GetU64(&record[24]);
    }
    if (disk != 0 || directoryDisk != 0 || diskCount != r.count)
        return inconsistent("it is split over several disks");
    if (r.directorySize > directoryEnd || directoryOffset > directoryEnd - r.directorySize)
        return inconsistent("its central directory lies outside the file");
    if (r.count > r.directorySize / kCentralHeaderSize)
        return inconsistent("its entry count does not fit its central directory");
    r.directoryStart = directoryEnd - r.directorySize;
    r.shift = r.directoryStart - directoryOffset;
    if (r.count > 0 && !SignatureAt(r.directoryStart, kCentralHeaderSignature))
        return inconsistent("its central directory is not where its end record says");
    return r;
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
    if (GetU16(h + 34) != 0 && GetU16(h + 34) != kMarker16)
        Fail("it is split over several disks");
    e.internalAttributes = GetU16(h + 36);
    e.externalAttributes = GetU32(h + 38);
    e.localOffset = GetU32(h + 42);
    const uint8_t* name = h + kCentralHeaderSize;
    e.name.assign(reinterpret_cast<const char*>(name), nameLength);
    if (e.name.empty())
        entry.fault = "it has an empty name";
    else if (e.name.find('\0') != std::string::npos)
        entry.fault = "its name holds a zero byte";
    const std::vector<uint8_t> extra(name + nameLength, name + nameLength + extraLength);
    e.comment.assign(name + nameLength + extraLength, name + nameLength + extraLength + commentLength);
    pos += kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (!TakeZip64Values(extra, {&e.size, &e.compressedSize, &e.localOffset}, false))
        Fail("the ZIP64 field of " + Printable(e.name) + " is missing or damaged");
    if (entry.fault.empty() && !ExtraFieldFits(extra))
        entry.fault = "a block of its extra field runs past the field's end";
    e.centralExtra = WithoutExtraField(extra, kExtraZip64);
}

void DirectoryReader::ReadLocal(ArchiveEntry& entry, uint64_t directoryStart) {
    EntryHeader& e = entry.header;
    if (directoryStart - e.localOffset < kLocalHeaderSize)
        Fail("the entry " + Printable(e.name) + " lies outside the archive");
    const std::vector<uint8_t> h = ReadAt(e.localOffset, kLocalHeaderSize);
    if (GetU32(&h[0]) != kLocalHeaderSignature)
        Fail("the local header of " + Printable(e.name) + " is missing");
    const uint64_t nameLength = GetU16(&h[26]), extraLength = GetU16(&h[28]);
    const uint64_t headerEnd = e.localOffset + kLocalHeaderSize + nameLength + extraLength;
    if (headerEnd > directoryStart || e.compressedSize > directoryStart - headerEnd)
        Fail("the entry " + Printable(e.name) + " runs into the central directory");
    const std::vector<uint8_t> rest = ReadAt(e.localOffset + kLocalHeaderSize, nameLength + extraLength);
    e.localExtra = WithoutExtraField(
        std::vector<uint8_t>(rest.begin() + static_cast<ptrdiff_t>(nameLength), rest.end()), kExtraZip64);
    entry.dataOffset = headerEnd;
    // The header's byte 11 is the high byte of its time.
    entry.passwordCheck = (GetU16(&h[6]) & kFlagDataDescriptor) ? h[11] : static_cast<uint8_t>(e.crc >> 24);
    if (entry.fault.empty())
        entry.fault = CompareLocal(entry, h, rest, directoryStart);
}

std::string DirectoryReader::CompareLocal(const ArchiveEntry& entry,
                                          const std::vector<uint8_t>& h,
                                          const std::vector<uint8_t>& nameAndExtra,
                                          uint64_t directoryStart) {
    const EntryHeader& e = entry.header;
    const std::string disagree = "its local header disagrees with the central directory on ";
    const size_t nameLength = GetU16(&h[26]);
    const uint16_t flags = GetU16(&h[6]);
    // The UTF-8 flag says how the name reads, so it belongs to the name.
    if (std::string_view(reinterpret_cast<const char*>(nameAndExtra.data()), nameLength) != e.name ||
        ((flags ^ e.flags) & kFlagUtf8))
        return disagree + "the name";
    if (GetU16(&h[8]) != e.method)
        return disagree + "the compression method";
    if ((flags ^ e.flags) & (kFlagEncrypted | kFlagStrongEncryption))
        return disagree + "encryption";
    uint64_t size = GetU32(&h[22]), compressedSize = GetU32(&h[18]);
    const std::vector<uint8_t> extra(nameAndExtra.begin() + static_cast<ptrdiff_t>(nameLength), nameAndExtra.end());
    if (!ExtraFieldFits(extra))
        return "a block of its local header's extra field runs past the field's end";
    if (!TakeZip64Values(extra, {&size, &compressedSize}, true))
        return "the ZIP64 field of its local header is missing or damaged";
    // With bit 3 the local header may leave the CRC-32 and the sizes 0 for the data descriptor.
    const bool deferred = (flags & kFlagDataDescriptor) != 0;
    auto agrees = [&](uint64_t local, uint64_t central) { return local == central || (deferred && local == 0); };
    if (!agrees(GetU32(&h[14]), e.crc))
        return disagree + "the CRC-32";
    if (!agrees(size, e.size) || !agrees(compressedSize, e.compressedSize))
        return disagree + "the sizes";
    if (!deferred)
        return {};
    // The descriptor follows the data, with or without its signature, with 4- or 8-byte sizes.
    const uint64_t at = entry.dataOffset + e.compressedSize;
    const std::vector<uint8_t> d = ReadAt(at, std::min<uint64_t>(24, directoryStart - at));
    for (const size_t start : {size_t{4}, size_t{0}}) {
        if (start == 4 && (d.size() < 4 || GetU32(d.data()) != kDescriptorSignature))
            continue;
        if (d.size() >= start + 12 && GetU32(&d[start]) == e.crc && GetU32(&d[start + 4]) == e.compressedSize &&
            GetU32(&d[start + 8]) == e.size)
            return {};
        if (d.size() >= start + 20 && GetU32(&d[start]) == e.crc && GetU64(&d[start + 4]) == e.compressedSize &&
            GetU64(&d[start + 12]) == e.size)
            return {};
    }
    return "its data descriptor disagrees with the central directory";
}

}  // namespace

std::string Printable(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F in UTF-8.
        const bool c1 = c == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (c1)
            c = static_cast<unsigned char>(text[++i]);
        if (c < 0x20 || c == 0x7F || c1)
            out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        else
            out += static_cast<char>(c);
    }
    return out;
}

ArchiveDirectory ReadArchiveDirectory(ByteSource& source, const std::string& what) {
    return DirectoryReader(source, what).Read();
}

void RequireWholeArchive(const ArchiveDirectory& directory, const std::string& what) {
    auto fail = [&](const std::string& fault) {
        throw ZipError(kBadArchive, "the archive " + what + " cannot be carried over: " + fault);
    };
    if (directory.prefix > 0)
        fail("it holds " + std::to_string(directory.prefix) +
             " bytes of other data before the archive, which an updated archive would lose");
    if (directory.trailing > 0)
        fail("it holds " + std::to_string(directory.trailing) +
             " bytes after its end record, which an updated archive would lose");
    std::unordered_set<std::string_view> names;
    for (const ArchiveEntry& entry : directory.entries) {
        if (!entry.fault.empty())
            fail("its entry " + Printable(entry.header.name) + " cannot be read: " + entry.fault);
        if (!names.insert(entry.header.name).second)
            fail("the name " + Printable(entry.header.name) + " appears twice");
    }
}

}  // namespace ost::zip
