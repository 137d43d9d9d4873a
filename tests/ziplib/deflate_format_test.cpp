// The engine's parts: the parallel deflater, line-end translation, header fields and stored names.
#include <gtest/gtest.h>
#include <zlib.h>

#include "zip_test_util.h"
#include "ziplib/deflate_pipeline.h"
#include "ziplib/zip_format.h"

namespace ost::zip::test {
namespace {

TEST(ParallelDeflaterTest, JoinedBlocksInflateToTheInputAtEverySizeAroundABlock) {
    const size_t block = ParallelDeflater::kDictionarySize;
    ParallelDeflater deflater({.threads = 3, .blockSize = block, .blocksInFlight = 2});
    const std::vector<uint8_t> text = RegistryLikeText(6 * block + 123);
    for (const size_t size : {size_t{0}, size_t{1}, block - 1, block, block + 1, 2 * block, text.size()}) {
        MemorySource source(text.data(), size);
        std::vector<uint8_t> out;
        const DeflateResult r =
            deflater.Deflate(source, [&](const uint8_t* d, size_t n) { out.insert(out.end(), d, d + n); });
        EXPECT_EQ(r.inputSize, size);
        EXPECT_EQ(r.outputSize, out.size());
        EXPECT_EQ(r.crc, crc32(0, text.data(), static_cast<uInt>(size))) << size;
        EXPECT_EQ(Inflate(out.data(), out.size(), size), std::vector<uint8_t>(text.begin(), text.begin() + size));
    }
    // The dictionary carries matches across blocks: small blocks cost little against one stream.
    uLongf whole = compressBound(static_cast<uLong>(text.size()));
    std::vector<uint8_t> single(whole);
    compress2(single.data(), &whole, text.data(), static_cast<uLong>(text.size()), 6);
    MemorySource source(text);
    EXPECT_LT(static_cast<double>(deflater.Deflate(source, [](const uint8_t*, size_t) {}).outputSize), whole * 1.02);
}

TEST(LineEndSourceTest, TranslatesLineEndsWhereverTheReadsSplitThem) {
    const std::vector<uint8_t> text = Bytes("a\r\nb\nc\r\rd\n\n\r\ne\r");
    for (const size_t chunk : {size_t{1}, size_t{2}, size_t{3}, size_t{100000}}) {
        for (const auto& [mode, expected] :
             {std::pair{LineEndSource::Mode::kCrLfToLf, "a\nb\nc\r\rd\n\n\ne\r"},
              std::pair{LineEndSource::Mode::kLfToCrLf, "a\r\nb\r\nc\r\rd\r\n\r\n\r\ne\r"}}) {
            MemorySource inner(text);
            LineEndSource source(inner, mode);
            for (int pass = 0; pass < 2; ++pass) {  // a second pass after a return to the start gives the same
                std::string out;
                std::vector<uint8_t> buffer(chunk);
                source.Seek(0);
                while (size_t n = source.Read(buffer.data(), buffer.size()))
                    out.append(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(n));
                EXPECT_EQ(out, expected) << chunk;
            }
        }
    }
}

TEST(ZipFormatTest, DosTimesAreEvenClampedAndNeverZero) {
    const struct {
        LocalTime time;
        DosDateTime dos;
    } cases[] = {
        {{2024, 5, 6, 7, 8, 11}, {(7 << 11) | (8 << 5) | 5, ((2024 - 1980) << 9) | (5 << 5) | 6}},
        {{1970, 1, 1, 0, 0, 0}, {0, (1 << 5) | 1}},
        {{2107, 12, 31, 23, 59, 58}, {(23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31}},
        {{2107, 6, 1, 0, 0, 0}, {0, (127 << 9) | (6 << 5) | 1}},
        {{2200, 1, 1, 0, 0, 0}, {(23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToDosTime(c.time).Key(), c.dos.Key()) << c.time.year;
}

TEST(ZipFormatTest, Zip64ValuesAppearOnlyWhereAValueNeedsThem) {
    // Central headers: a ZIP64 field with exactly the values at or above the limit, in order.
    const uint64_t below = kZip64Limit - 1, at = kZip64Limit;
    for (const auto& [size, compressed, offset] : {std::tuple{below, below, below}, std::tuple{at, below, at},
                                                   std::tuple{below, at, below}, std::tuple{at, at, at}}) {
        EntryHeader e;
        e.name = "big.reg", e.compressedSize = compressed, e.size = size, e.localOffset = offset;
        const std::vector<uint8_t> central = CentralHeader(e);
        std::vector<uint64_t> big;
        for (const uint64_t v : {size, compressed, offset})
            if (v >= kZip64Limit)
                big.push_back(v);
        EXPECT_EQ(GetU32(&central[20]), compressed >= at ? 0xFFFFFFFFu : compressed);
        ASSERT_EQ(GetU16(&central[30]), big.empty() ? 0 : 4 + 8 * big.size());
        for (size_t i = 0; i < big.size(); ++i)
            EXPECT_EQ(GetU64(&central[kCentralHeaderSize + e.name.size() + 4 + 8 * i]), big[i]);
    }
    // Local headers: both sizes in a ZIP64 field when asked for before the data.
    EntryHeader small;
    small.name = "a", small.compressedSize = 12, small.size = 10, small.zip64Sizes = true;
    const std::vector<uint8_t> local = LocalHeader(small);
    EXPECT_EQ(GetU32(&local[18]), 0xFFFFFFFFu);
    EXPECT_EQ(GetU64(&local[kLocalHeaderSize + 1 + 4]), 10u);
    EXPECT_EQ(GetU64(&local[kLocalHeaderSize + 1 + 12]), 12u);
    // ... decided from the most the data can take: the input and, when encrypted, a 12-byte header.
    for (const auto& [input, encrypted, zip64] : {std::tuple{below, false, false}, std::tuple{at, false, true},
                                                  std::tuple{below - 12, true, false}, std::tuple{at - 12, true, true}})
        EXPECT_EQ(NeedsZip64Sizes(input, encrypted), zip64) << input;
    // The end of the directory: the ZIP64 record and its locator exactly when a value needs them.
    const struct {
        uint64_t entries, offset, size;
        bool zip64;
    } ends[] = {{0xFFFE, 100, 200, false}, {0xFFFF, 100, 200, true}, {1, below, 200, false},
                {1, at, 200, true},        {1, 100, below, false},   {1, 100, at, true}};
    for (const auto& e : ends) {
        const std::vector<uint8_t> end = EndOfCentralDirectory(e.entries, e.offset, e.size, 300, {});
        ASSERT_EQ(end.size(), kEndSize + (e.zip64 ? kZip64EndSize + kZip64LocatorSize : 0)) << e.entries << e.offset;
        if (e.zip64) {
            EXPECT_EQ(GetU64(&end[24]), e.entries);
            EXPECT_EQ(GetU64(&end[48]), e.offset);
            EXPECT_EQ(GetU64(&end[kZip64EndSize + 8]), 300u);
        }
    }
}

TEST(StoredNameTest, NamesAreRelativeToTheRootWithoutDriveOrLeadingSeparators) {
    const char* const cases[][3] = {
        {"c:\\ovsupport.txt", "\\", "ovsupport.txt"},
        {"c:\\ovsupport.txt", "", "ovsupport.txt"},
        {"c:\\pw\\data\\a.txt", "C:\\PW", "data/a.txt"},
        {"c:\\pw\\data\\a.txt", "C:\\PW\\", "data/a.txt"},
        {"c:\\pwx\\a.txt", "C:\\PW", "pwx/a.txt"},  // a root ends on a whole folder name
        {"d:\\pw\\a.txt", "C:\\PW", "pw/a.txt"},    // another drive is outside the root
        {"\\pw\\a.txt", "\\PW", "a.txt"},
        {"\\\\server\\share\\logs\\x.log", "\\", "logs/x.log"},
        {"c:\\a\\.\\b\\..\\c.txt", "\\", "a/c.txt"},
        {"..\\..\\up.txt", "", "up.txt"},
        {"/tmp/run/x/y.txt", "/tmp/run", "x/y.txt"},
        {"docs/a.txt", "", "docs/a.txt"},
    };
    for (const auto& [path, root, stored] : cases)
        EXPECT_EQ(StoredName(path, root), stored) << path << " in " << root;
    EXPECT_EQ(ReadPath("docs\\a.txt", "C:\\PW"), "C:\\PW/docs\\a.txt");
    EXPECT_EQ(ReadPath("c:\\x.txt", "C:\\PW"), "c:\\x.txt");
    EXPECT_EQ(ReadPath("d:", "C:\\PW"), "d:");  // a drive alone is a name on that drive too
    EXPECT_EQ(ReadPath("x.txt", ""), "x.txt");
}

}  // namespace
}  // namespace ost::zip::test
