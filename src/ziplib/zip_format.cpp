#include "ziplib/zip_format.h"

#include <algorithm>
#include <cctype>

#include "ziplib/deflate_pipeline.h"
#include "ziplib/zip_crypto.h"

namespace ost::zip {

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, static_cast<uint16_t>(v));
    PutU16(out, static_cast<uint16_t>(v >> 16));
}
void PutU64(std::vector<uint8_t>& out, uint64_t v) {
    PutU32(out, static_cast<uint32_t>(v));
    PutU32(out, static_cast<uint32_t>(v >> 32));
}
uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t GetU32(const uint8_t* p) {
    return GetU16(p) | (static_cast<uint32_t>(GetU16(p + 2)) << 16);
}
uint64_t GetU64(const uint8_t* p) {
    return GetU32(p) | (static_cast<uint64_t>(GetU32(p + 4)) << 32);
}

DosDateTime ToDosTime(const LocalTime& t) {
    if (t.year < 1980)
        return DosDateTime{};
    if (t.year > 2107)
        return DosDateTime{static_cast<uint16_t>((23 << 11) | (59 << 5) | 29),
                           static_cast<uint16_t>((127 << 9) | (12 << 5) | 31)};
    DosDateTime d;
    d.time = static_cast<uint16_t>((t.hour << 11) | (t.minute << 5) | (std::min(t.second, 59) / 2));
    d.date = static_cast<uint16_t>(((t.year - 1980) << 9) | (t.month << 5) | t.day);
    return d;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool MatchesPattern(std::string_view pattern, std::string_view name, bool caseSensitive) {
    auto same = [&](char a, char b) {
        return caseSensitive ? a == b
                             : std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    // Iterative matching with one backtrack point: linear in practice, never exponential.
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

namespace {

uint32_t Field32(uint64_t v) {
    return v >= kZip64Limit ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}

void PutBytes(std::vector<uint8_t>& out, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
}

// The fields that local and central headers hold in the same order: version needed to CRC-32.
void PutSharedFields(std::vector<uint8_t>& out, const EntryHeader& e) {
    PutU16(out, e.versionNeeded);
    PutU16(out, e.flags);
    PutU16(out, e.method);
    PutU16(out, e.modified.time);
    PutU16(out, e.modified.date);
    PutU32(out, e.crc);
}

}  // namespace

bool NeedsZip64Sizes(uint64_t inputSize, bool encrypted) {
    return inputSize >= kZip64Limit - (encrypted ? TraditionalCipher::kHeaderSize : 0);
}

std::vector<uint8_t> LocalHeader(const EntryHeader& e) {
    std::vector<uint8_t> extra;
    if (e.zip64Sizes) {
        PutU16(extra, kExtraZip64);
        PutU16(extra, 16);
        PutU64(extra, e.size);
        PutU64(extra, e.compressedSize);
    }
    extra.insert(extra.end(), e.localExtra.begin(), e.localExtra.end());
    std::vector<uint8_t> out;
    out.reserve(kLocalHeaderSize + e.name.size() + extra.size());
    PutU32(out, kLocalHeaderSignature);
    PutSharedFields(out, e);
    PutU32(out, e.zip64Sizes ? 0xFFFFFFFFu : static_cast<uint32_t>(e.compressedSize));
    PutU32(out, e.zip64Sizes ? 0xFFFFFFFFu : static_cast<uint32_t>(e.size));
    PutU16(out, static_cast<uint16_t>(e.name.size()));
    PutU16(out, static_cast<uint16_t>(extra.size()));
    PutBytes(out, e.name.data(), e.name.size());
    PutBytes(out, extra.data(), extra.size());
    return out;
}

std::vector<uint8_t> CentralHeader(const EntryHeader& e) {
    std::vector<uint8_t> zip64;
    if (e.size >= kZip64Limit)
        PutU64(zip64, e.size);
    if (e.compressedSize >= kZip64Limit)
        PutU64(zip64, e.compressedSize);
    if (e.localOffset >= kZip64Limit)
        PutU64(zip64, e.localOffset);
    std::vector<uint8_t> extra;
    if (!zip64.empty()) {
        PutU16(extra, kExtraZip64);
        PutU16(extra, static_cast<uint16_t>(zip64.size()));
        extra.insert(extra.end(), zip64.begin(), zip64.end());
    }
    extra.insert(extra.end(), e.centralExtra.begin(), e.centralExtra.end());
    std::vector<uint8_t> out;
    out.reserve(kCentralHeaderSize + e.name.size() + extra.size() + e.comment.size());
    PutU32(out, kCentralHeaderSignature);
    PutU16(out, e.versionMadeBy);
    PutSharedFields(out, e);
    PutU32(out, Field32(e.compressedSize));
    PutU32(out, Field32(e.size));
    PutU16(out, static_cast<uint16_t>(e.name.size()));
    PutU16(out, static_cast<uint16_t>(extra.size()));
    PutU16(out, static_cast<uint16_t>(e.comment.size()));
    PutU16(out, 0);  // disk number
    PutU16(out, e.internalAttributes);
    PutU32(out, e.externalAttributes);
    PutU32(out, Field32(e.localOffset));
    PutBytes(out, e.name.data(), e.name.size());
    PutBytes(out, extra.data(), extra.size());
    PutBytes(out, e.comment.data(), e.comment.size());
    return out;
}

std::vector<uint8_t> EndOfCentralDirectory(uint64_t entries,
                                           uint64_t directoryOffset,
                                           uint64_t directorySize,
                                           uint64_t endOffset,
                                           const std::vector<uint8_t>& comment) {
    std::vector<uint8_t> out;
    const bool zip64 = entries >= kZip64CountLimit || directoryOffset >= kZip64Limit || directorySize >= kZip64Limit;
    if (zip64) {
        PutU32(out, kZip64EndSignature);
        PutU64(out, kZip64EndSize - 12);
        PutU16(out, kVersionZip64);  // made by
        PutU16(out, kVersionZip64);  // needed
        PutU32(out, 0);              // this disk
        PutU32(out, 0);              // the directory's disk
        PutU64(out, entries);
        PutU64(out, entries);
        PutU64(out, directorySize);
        PutU64(out, directoryOffset);
        PutU32(out, kZip64LocatorSignature);
        PutU32(out, 0);
        PutU64(out, endOffset);
        PutU32(out, 1);  // total disks
    }
    const uint16_t count = entries >= kZip64CountLimit ? 0xFFFF : static_cast<uint16_t>(entries);
    PutU32(out, kEndSignature);
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, count);
    PutU16(out, count);
    PutU32(out, Field32(directorySize));
    PutU32(out, Field32(directoryOffset));
    PutU16(out, static_cast<uint16_t>(comment.size()));
    PutBytes(out, comment.data(), comment.size());
    return out;
}

std::vector<uint8_t> UnicodePathExtra(std::string_view utf8Name) {
    std::vector<uint8_t> out;
    PutU16(out, kExtraUnicodePath);
    PutU16(out, static_cast<uint16_t>(5 + utf8Name.size()));
    out.push_back(1);
    PutU32(out, Crc32(0, reinterpret_cast<const uint8_t*>(utf8Name.data()), utf8Name.size()));
    PutBytes(out, utf8Name.data(), utf8Name.size());
    return out;
}

std::vector<uint8_t> WithoutExtraField(const std::vector<uint8_t>& extra, uint16_t id) {
    std::vector<uint8_t> out;
    size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const uint16_t fieldId = GetU16(&extra[pos]);
        const size_t length = GetU16(&extra[pos + 2]);
        if (pos + 4 + length > extra.size())
            return extra;
        if (fieldId != id)
            out.insert(out.end(), extra.begin() + static_cast<ptrdiff_t>(pos),
                       extra.begin() + static_cast<ptrdiff_t>(pos + 4 + length));
        pos += 4 + length;
    }
    return pos == extra.size() ? out : extra;
}

}  // namespace ost::zip
