// The engine's parts: the parallel deflater, line-end translation, header fields and stored names.
#include <gtest/gtest.h>
#include <zlib.h>

#include "zip_test_util.h"
#include "ziplib/deflate_pipeline.h"
#include "ziplib/streams.h"
#include "ziplib/zip_engine.h"
#include "ziplib/zip_format.h"
#include "ziplib/zip_result.h"

namespace ost::zip::test {
namespace {

std::vector<uint8_t> InflateRaw(const std::vector<uint8_t>& deflated, size_t expected) {
    std::vector<uint8_t> out(expected + 1);
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = const_cast<uint8_t*>(deflated.data());
    z.avail_in = static_cast<uInt>(deflated.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the final block";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

TEST(ParallelDeflaterTest, JoinedBlocksInflateToTheInputAtEverySizeAroundABlock) {
    ParallelDeflater::Settings settings;
    settings.blockSize = ParallelDeflater::kDictionarySize;
    settings.threads = 3;
    settings.blocksInFlight = 2;
    ParallelDeflater deflater(settings);
    const std::vector<uint8_t> text = RegistryLikeText(6 * settings.blockSize + 123);
    for (const size_t size : {size_t{0}, size_t{1}, settings.blockSize - 1, settings.blockSize, settings.blockSize + 1,
                              2 * settings.blockSize, text.size()}) {
        MemorySource source(text.data(), size);
        std::vector<uint8_t> out;
        const DeflateResult r =
            deflater.Deflate(source, [&](const uint8_t* d, size_t n) { out.insert(out.end(), d, d + n); });
        EXPECT_EQ(r.inputSize, size);
        EXPECT_EQ(r.outputSize, out.size());
        EXPECT_EQ(r.crc, crc32(0, text.data(), static_cast<uInt>(size))) << size;
        EXPECT_EQ(InflateRaw(out, size),
                  std::vector<uint8_t>(text.begin(), text.begin() + static_cast<ptrdiff_t>(size)))
            << size;
    }
    // The dictionary carries matches across blocks: small blocks cost little against one stream.
    uLongf whole = compressBound(static_cast<uLong>(text.size()));
    std::vector<uint8_t> single(whole);
    compress2(single.data(), &whole, text.data(), static_cast<uLong>(text.size()), 6);
    MemorySource source(text);
    const DeflateResult r = deflater.Deflate(source, [](const uint8_t*, size_t) {});
    EXPECT_LT(static_cast<double>(r.outputSize), whole * 1.02);
}

// Fails like a disk that stops answering part way through a file.
class FailingSource : public ByteSource {
  public:
    FailingSource(const std::vector<uint8_t>& bytes, size_t failAt) : inner_(bytes), failAt_(failAt) {}
    size_t Read(uint8_t* data, size_t size) override {
        if (read_ >= failAt_)
            throw ZipError(kReadFailed, "cannot read test file: I/O error");
        const size_t n = inner_.Read(data, std::min(size, failAt_ - read_));
        read_ += n;
        return n;
    }
    void Seek(uint64_t offset) override { inner_.Seek(offset); }
    uint64_t Size() override { return inner_.Size(); }

  private:
    MemorySource inner_;
    size_t failAt_;
    size_t read_ = 0;
};

TEST(ParallelDeflaterTest, ErrorsOfTheSourceOrTheOutputPassThroughAndTheDeflaterStaysUsable) {
    ParallelDeflater::Settings settings;
    settings.blockSize = ParallelDeflater::kDictionarySize;
    settings.threads = 2;
    ParallelDeflater deflater(settings);
    const std::vector<uint8_t> text = RegistryLikeText(20 * settings.blockSize);
    FailingSource failing(text, 9 * settings.blockSize + 5);
    try {
        deflater.Deflate(failing, [](const uint8_t*, size_t) {});
        FAIL() << "the read error was lost";
    } catch (const ZipError& e) {
        EXPECT_EQ(e.Code(), kReadFailed);
    }
    MemorySource source(text);
    size_t written = 0;
    EXPECT_THROW(deflater.Deflate(source,
                                  [&](const uint8_t*, size_t n) {
                                      if ((written += n) > 30000)
                                          throw ZipError(kWriteFailed, "cannot write: Disk full");
                                  }),
                 ZipError);
    source.Seek(0);
    std::vector<uint8_t> out;
    deflater.Deflate(source, [&](const uint8_t* d, size_t n) { out.insert(out.end(), d, d + n); });
    EXPECT_EQ(InflateRaw(out, text.size()), text);
}

std::string Translate(const std::string& text, LineEndSource::Mode mode, size_t chunk) {
    const std::vector<uint8_t> bytes = Bytes(text);
    MemorySource inner(bytes);
    LineEndSource source(inner, mode);
    std::string out;
    for (int pass = 0; pass < 2; ++pass) {  // a second pass after a return to the start gives the same
        out.clear();
        source.Seek(0);
        std::vector<uint8_t> buffer(chunk);
        while (size_t n = source.Read(buffer.data(), buffer.size()))
            out.append(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(n));
    }
    return out;
}

TEST(LineEndSourceTest, TranslatesLineEndsWhereverTheReadsSplitThem) {
    const std::string text = "a\r\nb\nc\r\rd\n\n\r\ne\r";
    for (const size_t chunk : {size_t{1}, size_t{2}, size_t{3}, size_t{100000}}) {
        EXPECT_EQ(Translate(text, LineEndSource::Mode::kCrLfToLf, chunk), "a\nb\nc\r\rd\n\n\ne\r") << chunk;
        EXPECT_EQ(Translate(text, LineEndSource::Mode::kLfToCrLf, chunk), "a\r\nb\r\nc\r\rd\r\n\r\n\r\ne\r") << chunk;
    }
}

TEST(ZipFormatTest, DosTimesAreEvenClampedAndNeverZero) {
    const DosDateTime t = ToDosTime({2024, 5, 6, 7, 8, 11});
    EXPECT_EQ(t.date, ((2024 - 1980) << 9) | (5 << 5) | 6);
    EXPECT_EQ(t.time, (7 << 11) | (8 << 5) | 5);
    EXPECT_EQ(ToDosTime({1970, 1, 1, 0, 0, 0}).Key(), ToDosTime({1980, 1, 1, 0, 0, 0}).Key());
    EXPECT_NE(ToDosTime({1970, 1, 1, 0, 0, 0}).date, 0);
    const DosDateTime late = ToDosTime({2200, 1, 1, 0, 0, 0});
    EXPECT_EQ(late.date, (127 << 9) | (12 << 5) | 31);
    EXPECT_EQ(late.time, (23 << 11) | (59 << 5) | 29);
}

TEST(ZipFormatTest, Zip64ValuesAppearOnlyWhereAValueNeedsThem) {
    EntryHeader e;
    e.name = "big.reg";
    e.size = 5'000'000'000ull;
    e.compressedSize = kZip64Limit - 1;
    e.localOffset = kZip64Limit;
    const std::vector<uint8_t> central = CentralHeader(e);
    EXPECT_EQ(GetU32(&central[20]), kZip64Limit - 1);  // compressed size fits: no ZIP64 value for it
    EXPECT_EQ(GetU32(&central[24]), 0xFFFFFFFFu);
    EXPECT_EQ(GetU32(&central[42]), 0xFFFFFFFFu);
    ASSERT_EQ(GetU16(&central[30]), 4 + 16);
    const uint8_t* extra = &central[kCentralHeaderSize + e.name.size()];
    EXPECT_EQ(GetU16(extra), kExtraZip64);
    EXPECT_EQ(GetU64(extra + 4), e.size);
    EXPECT_EQ(GetU64(extra + 12), e.localOffset);

    e.size = 10;
    e.compressedSize = 12;
    e.localOffset = 0;
    EXPECT_EQ(GetU16(&CentralHeader(e)[30]), 0) << "a small entry has no ZIP64 field";
    EXPECT_EQ(LocalHeader(e).size(), kLocalHeaderSize + e.name.size());
    e.zip64Sizes = true;
    const std::vector<uint8_t> local = LocalHeader(e);
    EXPECT_EQ(GetU32(&local[18]), 0xFFFFFFFFu);
    EXPECT_EQ(GetU64(&local[kLocalHeaderSize + e.name.size() + 4]), 10u);

    EXPECT_EQ(EndOfCentralDirectory(0xFFFE, 100, 200, 300, {}).size(), kEndSize);
    const std::vector<uint8_t> end = EndOfCentralDirectory(0xFFFF, 100, 200, 300, {});
    ASSERT_EQ(end.size(), kZip64EndSize + kZip64LocatorSize + kEndSize);
    EXPECT_EQ(GetU64(&end[32]), 0xFFFFu);
    EXPECT_EQ(GetU64(&end[kZip64EndSize + 8]), 300u);
    EXPECT_EQ(GetU16(&end[kZip64EndSize + kZip64LocatorSize + 10]), 0xFFFF);
}

TEST(StoredNameTest, NamesAreRelativeToTheRootWithoutDriveOrLeadingSeparators) {
    struct Case {
        const char* path;
        const char* root;
        const char* stored;
    };
    const Case cases[] = {
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
    for (const Case& c : cases)
        EXPECT_EQ(StoredName(c.path, c.root), c.stored) << c.path << " in " << c.root;
    EXPECT_EQ(ReadPath("docs\\a.txt", "C:\\PW"), "C:\\PW/docs\\a.txt");
    EXPECT_EQ(ReadPath("c:\\x.txt", "C:\\PW"), "c:\\x.txt");
    EXPECT_EQ(ReadPath("x.txt", ""), "x.txt");
}

}  // namespace
}  // namespace ost::zip::test
