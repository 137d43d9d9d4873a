// The unzip library through its two entries and records, exactly as the bridge calls it: natively
// over the POSIX file system, and under Wine through the real unzip32.dll loaded by name. The
// archives of the host's writers and the kinds readers tell apart come from make_unzip_corpus.py
// (run before these tests, with the files a reader must extract from each); the hostile archives
// are built here.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "memory_file_system.h"
#include "zip_test_util.h"
#include "ziplib/unzip32.h"
#include "ziplib/zip_crypto.h"
#include "ziplib/zip_format.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <locale.h>

#include <climits>
#include <cwchar>
#include <cwctype>

#include "ziplib/posix_file_system.h"
#include "ziplib/unzip32_api.h"
#endif

namespace ost::zip::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

// The library's two entries.
struct Entries {
    UzpVersion2Fn version = nullptr;
    Wiz_SingleEntryUnzipFn unzip = nullptr;
};

#ifdef _WIN32
Entries LoadEntries() {
    static Entries entries = [] {
        std::wstring path = L"Z:" + fs::path(OST_UNZIP32_DLL).wstring();
        HMODULE library = ::LoadLibraryW(path.c_str());
        Entries e;
        if (library) {
            e.version =
                reinterpret_cast<UzpVersion2Fn>(reinterpret_cast<void*>(::GetProcAddress(library, "UzpVersion2")));
            e.unzip = reinterpret_cast<Wiz_SingleEntryUnzipFn>(
                reinterpret_cast<void*>(::GetProcAddress(library, "Wiz_SingleEntryUnzip")));
        }
        return e;
    }();
    return entries;
}
// A host path as the Windows side names it.
std::string HostPath(const std::string& path) {
    return "Z:" + path;
}
// The library's OEM code page: the system's, which must be OST_OEM_CODE_PAGE when that is set.
uint32_t OemCodePage() {
    if (const char* wanted = std::getenv("OST_OEM_CODE_PAGE")) {
        EXPECT_EQ(std::to_string(::GetOEMCP()), wanted);
    }
    return ::GetOEMCP();
}
#else
// Code page `number` through glibc's iconv, standing in for the system's converter.
NameCodePage IconvCodePage(uint32_t number) {
    return {number, [number](std::string_view bytes) -> std::optional<std::string> {
                iconv_t cd = ::iconv_open("UTF-8", ("CP" + std::to_string(number)).c_str());
                if (cd == reinterpret_cast<iconv_t>(-1))
                    return std::nullopt;
                std::string in(bytes), out(4 * bytes.size(), '\0');
                char *from = in.data(), *to = out.data();
                size_t fromLeft = in.size(), toLeft = out.size();
                const bool done = ::iconv(cd, &from, &fromLeft, &to, &toLeft) != static_cast<size_t>(-1);
                ::iconv_close(cd);
                out.resize(out.size() - toLeft);
                return done ? std::optional<std::string>(out) : std::nullopt;
            }};
}
uint32_t OemCodePage() {
    return 932;
}
// Names are folded as on Windows, every script's letters by towupper in C.UTF-8 standing in for
// Windows' own mapping, so that both sides give the same results.
struct FoldingCodec : Utf8Codec {
    NameUpperCase UpperCase() override {
        return [](std::string_view utf8) {
            static const locale_t utf8Locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
            const locale_t previous = ::uselocale(utf8Locale);
            std::wstring wide(utf8.size(), L'\0');
            const std::string text(utf8);
            wide.resize(std::mbstowcs(wide.data(), text.c_str(), wide.size()));
            std::string out;
            for (wchar_t& ch : wide) {
                char bytes[MB_LEN_MAX];
                std::mbstate_t state{};
                out.append(bytes, std::wcrtomb(bytes, static_cast<wchar_t>(std::towupper(ch)), &state));
            }
            ::uselocale(previous);
            return out;
        };
    }
};
Unzip32Library& NativeLibrary() {
    static PosixFileSystem fileSystem;
    static FoldingCodec codec;
    static Unzip32Library library(fileSystem, codec, true, IconvCodePage(932));
    return library;
}
int32_t NativeVersion(UnzipVersionInfo* v) {
    return NativeLibrary().Version(v);
}
int32_t NativeUnzip(int32_t ic, char** in, int32_t ec, char** ex, DCL* o, USERFUNCTION* f) {
    return NativeLibrary().SingleEntryUnzip(ic, in, ec, ex, o, f);
}
Entries LoadEntries() {
    return Entries{&NativeVersion, &NativeUnzip};
}
std::string HostPath(const std::string& path) {
    return path;
}
#endif

// What the callbacks saw during one run.
struct Seen {
    static inline std::string printed;
    static inline std::vector<std::string> names;  // UnzipMessage, in order
    static inline std::vector<uint32_t> sizes;
    static inline std::vector<std::string> replaceAsked;
    static inline int32_t replaceAnswer = kUnzipReplaceNo;
    static inline std::string password;  // given when not empty
    static inline int passwordAsked = 0;
    static int32_t ZIP32_API Print(char* buffer, int32_t length) {
        printed.append(buffer, static_cast<size_t>(length));
        return 0;
    }
    static int32_t ZIP32_API Replace(char* name) {
        replaceAsked.push_back(name);
        return replaceAnswer;
    }
    static int32_t ZIP32_API Password(char* buffer, int32_t size, const char*, const char*) {
        ++passwordAsked;
        if (password.empty())
            return kUnzipPasswordNone;
        std::snprintf(buffer, static_cast<size_t>(size), "%s", password.c_str());
        return kUnzipPasswordGiven;
    }
    static void ZIP32_API Message(uint32_t size,
                                  uint32_t,
                                  uint32_t,
                                  int16_t,
                                  int16_t,
                                  int16_t,
                                  int16_t,
                                  int16_t,
                                  char,
                                  char* name,
                                  const char*,
                                  uint32_t,
                                  int32_t) {
        names.push_back(name);
        sizes.push_back(size);
    }
    static int32_t ZIP32_API Service(char*, int32_t) { return 0; }
    static void Reset() {
        printed.clear();
        names.clear();
        sizes.clear();
        replaceAsked.clear();
        replaceAnswer = kUnzipReplaceNo;
        password.clear();
        passwordAsked = 0;
    }
};

// The options as the extractor's defaults give them: extract, keep folders, overwrite, quiet 2.
DCL Defaults() {
    DCL d{};
    d.MessageLevel = 2;
    d.HonorDirectories = 1;
    d.OverWriteFiles = 1;
    d.CaseSensitive = 1;
    return d;
}

using Files = std::map<std::string, std::vector<uint8_t>>;

Files Tree(const std::string& folder) {
    Files files;
    if (!fs::exists(folder))
        return files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file() || e.is_symlink()) {
            const std::u8string rel = fs::relative(e.path(), folder).generic_u8string();
            std::ifstream in(e.path(), std::ios::binary);  // by the path itself: any name opens on Windows
            files[std::string(rel.begin(), rel.end())].assign(std::istreambuf_iterator<char>(in), {});
        }
    return files;
}

class UnzipLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        entries_ = LoadEntries();
        ASSERT_TRUE(entries_.version && entries_.unzip) << "an entry is not exported under its plain name";
        Seen::Reset();
        scratch_ = ScratchFolder("run");
        dest_ = scratch_ + "/dest";
    }

    int32_t Run(const std::string& archive,
                DCL options,
                std::vector<std::string> include = {},
                std::vector<std::string> exclude = {}) {
        std::string zipName = archive, dir = dest_;
        options.ZipFileName = zipName.data();
        options.ExtractDir = dir.data();
        std::vector<char*> in(kUnzipNameListSize, nullptr), ex(kUnzipNameListSize, nullptr);
        for (size_t i = 0; i < include.size(); ++i)
            in[i] = include[i].data();
        for (size_t i = 0; i < exclude.size(); ++i)
            ex[i] = exclude[i].data();
        USERFUNCTION f{
            &Seen::Print, nullptr, &Seen::Replace, &Seen::Password, &Seen::Message, &Seen::Service, 0, 0, 0, 0, 0};
        UnzipVersionInfo version{};
        version.length = sizeof(version);
        entries_.version(&version);
        return entries_.unzip(static_cast<int32_t>(include.size()), in.data(), static_cast<int32_t>(exclude.size()),
                              ex.data(), &options, &f);
    }
    // Writes `bytes` as an archive in the scratch folder (beside, not inside, the destination).
    std::string Archive(const std::vector<uint8_t>& bytes, const std::string& name = "a.zip") {
        const std::string path = scratch_ + "/" + name;
        WriteFile(path, bytes);
        // tests/fuzz/run keeps every archive built here as a seed.
        static int seeds = 0;
        if (const char* seedFolder = std::getenv("OST_UNZIP_SEEDS"))
            WriteFile(std::string(seedFolder) + "/built-" + std::to_string(++seeds) + ".zip", bytes);
        return path;
    }
    // The destination holds nothing, and nothing but it and the archives is in the scratch folder.
    void ExpectNothingWritten() {
        if (fs::exists(dest_)) {
            EXPECT_TRUE(Tree(dest_).empty()) << ::testing::PrintToString(Tree(dest_));
        }
        for (const auto& e : fs::directory_iterator(scratch_))
            EXPECT_TRUE(e.path().filename() == "dest" || e.path().extension() == ".zip") << e.path();
    }

    Entries entries_;
    std::string scratch_, dest_;
};

// --- Archives of the host's writers and the kinds readers tell apart ----------------------------

// The archives of the corpus that are read whole and without a word, and the kinds that give
// another result with a line that says why: each in listing, testing and extracting alike.
// Extracting gives the files of <archive>.expected, and listing names them (and folders); none
// when the archive is refused as a whole.
const char* const kReadable[] = {
    "zip-deflated.zip",       "zip-stored.zip", "zip-password.zip",  "zip-zip64.zip",
    "zip-streamed.zip",       "7z.zip",         "python.zip",        "python-streamed.zip",
    "python-zip64.zip",       "bsdtar.zip",     "stub-adjusted.zip", "zip64-end-unneeded.zip",
    "zip64-end-odd-disks.zip"};
struct Kind {
    std::string archive;
    int32_t result;
    const char* printed;
};
const Kind kKinds[] = {
    {"stub-prefixed.zip", kUnzipWarning, "holds 512 bytes before the archive"},
    {"trailing-bytes.zip", kUnzipWarning, "holds 117 bytes after the end of the archive"},
    {"empty-name.zip", kUnzipBadArchive, "skipping: entry 2 of the directory  (it has an empty name)"},
    {"duplicate-name.zip", kUnzipBadArchive, "skipping: hello.txt  (an earlier entry of the archive has its name)"},
    {"duplicate-folded-name.zip", kUnzipBadArchive, "skipping: HELLO.TXT  (an earlier entry"},
    {"duplicate-folded-unicode-name.zip", kUnzipBadArchive, "(an earlier entry of the archive has its name)"},
    {"local-crc-differs.zip", kUnzipBadArchive, "hello.txt  (its local header disagrees with the central directory"},
    {"local-size-differs.zip", kUnzipBadArchive, "hello.txt  (its local header disagrees with the central directory"},
    {"descriptor-differs.zip", kUnzipBadArchive, "hello.txt  (its data descriptor disagrees"},
    {"zip64-end-disagrees.zip", kUnzipBadArchive, "its end record and its ZIP64 end record disagree"},
    {"two-end-records.zip", kUnzipBadArchive, "two end of central directory records"},
};

TEST_F(UnzipLibraryTest, EveryKindOfArchiveIsReadOrRefusedAlikeInListTestAndExtract) {
    std::vector<Kind> kinds(std::begin(kKinds), std::end(kKinds));
    for (const char* archive : kReadable)
        kinds.push_back({archive, kUnzipOk, ""});
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.archive);
        const std::string archive = HostPath(std::string(OST_UNZIP_CORPUS "/") + kind.archive);
        const auto expected = fs::exists(archive + ".expected") ? Tree(archive + ".expected") : Files{};
        DCL list = Defaults(), test = Defaults();
        list.ExtractList = 1;
        test.TestZip = 1;
        for (const DCL& options : {list, test, Defaults()}) {
            Seen::Reset();
            Seen::password = fs::exists(archive + ".password") ? "secret" : "";
            EXPECT_EQ(Run(archive, options), kind.result) << Seen::printed;
            EXPECT_THAT(Seen::printed, HasSubstr(kind.printed));
            if (options.ExtractList) {
                EXPECT_EQ(
                    std::count_if(Seen::names.begin(), Seen::names.end(), [](auto& n) { return n.back() != '/'; }),
                    static_cast<ptrdiff_t>(expected.size()));
            }
        }
        EXPECT_EQ(Tree(dest_), expected);
        if (!*kind.printed) {
            EXPECT_EQ(Seen::printed, "");
        }
        fs::remove_all(dest_);
    }
}

// Windows writes names in its OEM code page without the UTF-8 flag. The archive's one name is
// "ソフト.txt" in code page 932, whose first character ends in the byte of '\' in code page 437.
TEST_F(UnzipLibraryTest, NamesWithoutTheUtf8FlagAreReadInTheSystemsOemCodePage) {
    const std::map<uint32_t, std::string> names = {{437, "\u00e2/\u00e2t\u00e2g.txt"}, {932, "\u30bd\u30d5\u30c8.txt"}};
    ASSERT_EQ(names.count(OemCodePage()), 1u) << "no expectation for the OEM code page " << OemCodePage();
    EXPECT_EQ(Run(HostPath(OST_UNZIP_CORPUS "/cp932-name.zip"), Defaults()), kUnzipOk) << Seen::printed;
    EXPECT_EQ(Tree(dest_), (Files{{names.at(OemCodePage()), Bytes("Japanese name\n")}}));
}

TEST_F(UnzipLibraryTest, OurOwnWritersArchiveExtractsToItsInputs) {
    MemoryFileSystem memory;
    memory.AddFile("/in/report.txt", RegistryLikeText(200'000));
    memory.AddFile("/in/sub/random.bin", RandomBytes(70'000));
    ZipJobOptions options;
    options.recurse = true;
    options.rootFolder = "/in";
    ASSERT_EQ(RunZipJob(memory, "/out.zip", {"/in/report.txt", "/in/sub"}, options, ZipCallbacks{}), kOk);
    const std::string archive = Archive(memory.Bytes("/out.zip"));
    EXPECT_EQ(Run(archive, Defaults()), kUnzipOk) << Seen::printed;
    const auto tree = Tree(dest_);
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree.at("report.txt"), memory.Bytes("/in/report.txt"));
    EXPECT_EQ(tree.at("sub/random.bin"), memory.Bytes("/in/sub/random.bin"));
}

// --- Hostile archives, built here ----------------------------------------------------------------

struct Raw {
    Raw(std::string n,
        std::vector<uint8_t> d,
        bool z = false,
        uint16_t m = kMadeByDos,
        uint32_t x = kDosArchive,
        int64_t declared = -1,
        uint32_t spoil = 0,
        std::string p = "")
        : name(std::move(n)),
          data(std::move(d)),
          deflate(z),
          madeBy(m),
          external(x),
          declaredSize(declared),
          crcXor(spoil),
          password(std::move(p)) {}
    std::string name;
    std::vector<uint8_t> data;
    bool deflate;
    uint16_t madeBy;
    uint32_t external;
    int64_t declaredSize;  // the size the headers claim; -1 for the true one
    uint32_t crcXor;       // spoils the CRC-32 in both headers
    std::string password;  // traditional encryption when not empty
};

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&z, data.size()));
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::vector<uint8_t> Build(const std::vector<Raw>& entries, const std::string& comment = "") {
    std::vector<uint8_t> out, central;
    for (const Raw& r : entries) {
        EntryHeader h;
        h.name = r.name;
        h.method = r.deflate ? kMethodDeflated : kMethodStored;
        h.versionMadeBy = r.madeBy;
        h.modified = DosDateTime{0, (20 << 9) | (1 << 5) | 1};  // 2000-01-01 00:00
        h.externalAttributes = r.external;
        h.crc = static_cast<uint32_t>(crc32(0, r.data.data(), static_cast<uInt>(r.data.size()))) ^ r.crcXor;
        std::vector<uint8_t> body = r.deflate ? Deflate(r.data) : r.data;
        if (!r.password.empty()) {
            h.flags |= kFlagEncrypted;
            TraditionalCipher cipher(r.password);
            const auto header = cipher.MakeHeader({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, h.crc);
            cipher.Encrypt(body.data(), body.size());
            body.insert(body.begin(), header.begin(), header.end());
        }
        h.size = r.declaredSize >= 0 ? static_cast<uint64_t>(r.declaredSize) : r.data.size();
        h.compressedSize = body.size();
        h.localOffset = out.size();
        const auto local = LocalHeader(h);
        out.insert(out.end(), local.begin(), local.end());
        out.insert(out.end(), body.begin(), body.end());
        const auto c = CentralHeader(h);
        central.insert(central.end(), c.begin(), c.end());
    }
    const uint64_t at = out.size();
    out.insert(out.end(), central.begin(), central.end());
    const auto end = EndOfCentralDirectory(entries.size(), at, central.size(), out.size(),
                                           std::vector<uint8_t>(comment.begin(), comment.end()));
    out.insert(out.end(), end.begin(), end.end());
    return out;
}

TEST_F(UnzipLibraryTest, NamesThatLeaveTheFolderOrNameADeviceAreRefusedAndNothingIsWritten) {
    const char* const names[] = {"../evil.txt",
                                 "a/../../evil.txt",
                                 "a\\..\\..\\evil.txt",
                                 "/abs.txt",
                                 "\\abs.txt",
                                 "C:/evil.txt",
                                 "C:evil.txt",
                                 "\\\\server\\share\\x.txt",
                                 "file.txt:stream",
                                 "CON",
                                 "nul.txt",
                                 "COM1.log",
                                 "lpt9 .txt",
                                 "sub/AUX",
                                 "trailing.",
                                 "trailing ",
                                 "ctl\x01.txt",
                                 "..",
                                 "a/b/../../../evil.txt"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        Seen::Reset();
        const std::string archive = Archive(Build({{name, Bytes("payload")}}));
        EXPECT_EQ(Run(archive, Defaults()), kUnzipUnsafeEntry) << Seen::printed;
        EXPECT_THAT(Seen::printed, HasSubstr("skipping"));
        ExpectNothingWritten();
    }
}

TEST_F(UnzipLibraryTest, SymbolicLinkEntriesAreNotCreated) {
    const std::string archive =
        Archive(Build({{"link", Bytes("/etc/passwd"), false, 0x0314, 0120777u << 16}, {"ok.txt", Bytes("fine")}}));
    EXPECT_EQ(Run(archive, Defaults()), kUnzipUnsafeEntry) << Seen::printed;
    EXPECT_THAT(Seen::printed, HasSubstr("symbolic link"));
    EXPECT_EQ(Tree(dest_), (Files{{"ok.txt", Bytes("fine")}}));
}

#ifndef _WIN32
TEST_F(UnzipLibraryTest, ALinkAlreadyInTheFolderIsNeverFollowed) {
    const std::string outside = ScratchFolder("outside");
    fs::create_directories(dest_);
    fs::create_directory_symlink(outside, dest_ + "/link");
    fs::create_symlink(outside + "/target.txt", dest_ + "/file.txt");
    const std::string archive = Archive(Build({{"link/evil.txt", Bytes("x")}, {"file.txt", Bytes("y")}}));
    EXPECT_EQ(Run(archive, Defaults()), kUnzipUnsafeEntry) << Seen::printed;
    EXPECT_TRUE(fs::is_empty(outside));
}
#endif

TEST_F(UnzipLibraryTest, BombsAreStoppedWithoutAPartialFile) {
    // Overlapping entries: the second entry's header and data lie inside the first entry's data.
    std::vector<uint8_t> inner = Build({{"b.txt", Bytes("shared data")}});
    inner.resize(inner.size() - kEndSize);  // keep b's local header, data and central header
    EntryHeader a;
    a.name = "a.txt";
    const std::vector<uint8_t> innerLocal(inner.begin(), inner.begin() + 30 + 5 + 11);
    a.crc = static_cast<uint32_t>(crc32(0, innerLocal.data(), static_cast<uInt>(innerLocal.size())));
    a.size = a.compressedSize = innerLocal.size();
    std::vector<uint8_t> overlap = LocalHeader(a);
    const uint64_t bOffset = overlap.size();
    overlap.insert(overlap.end(), innerLocal.begin(), innerLocal.end());
    EntryHeader b;
    b.name = "b.txt";
    b.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>("shared data"), 11));
    b.size = b.compressedSize = 11;
    b.localOffset = bOffset;
    const uint64_t at = overlap.size();
    for (const auto& h : {CentralHeader(a), CentralHeader(b)})
        overlap.insert(overlap.end(), h.begin(), h.end());
    const auto end = EndOfCentralDirectory(2, at, overlap.size() - at, overlap.size(), {});
    overlap.insert(overlap.end(), end.begin(), end.end());

    const std::vector<uint8_t> zeros(40u << 20, 0);
    const std::vector<std::vector<uint8_t>> bombs = {
        overlap,
        Build({{"ratio.bin", zeros, true}}),  // 40 MiB from about 40 KiB
        Build({{"liar.bin", std::vector<uint8_t>(1 << 20, 'x'), true, kMadeByDos, kDosArchive, 1000}}),
    };
    for (size_t i = 0; i < bombs.size(); ++i) {
        SCOPED_TRACE(i);
        Seen::Reset();
        EXPECT_EQ(Run(Archive(bombs[i]), Defaults()), kUnzipBadArchive) << Seen::printed;
        ExpectNothingWritten();
    }
}

TEST_F(UnzipLibraryTest, DamagedArchivesFailWithoutAPartialFile) {
    const std::vector<uint8_t> good = Build({{"a.txt", RandomBytes(100'000), true}});
    std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<ptrdiff_t>(good.size() / 2));
    std::vector<uint8_t> badCount = good;
    badCount[badCount.size() - kEndSize + 10] = 5;  // five entries claimed, one present
    badCount[badCount.size() - kEndSize + 8] = 5;
    std::vector<uint8_t> badOffset = good;
    badOffset[badOffset.size() - kEndSize + 16] ^= 0x40;
    std::vector<uint8_t> flipped = good;
    flipped[200] ^= 0xFF;  // inside the deflated data
    const std::vector<std::vector<uint8_t>> damaged = {
        truncated, badCount, badOffset, flipped,
        Build({{"crc.txt", Bytes("data"), false, kMadeByDos, kDosArchive, -1, 1}})};
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        Seen::Reset();
        EXPECT_EQ(Run(Archive(damaged[i]), Defaults()), kUnzipBadArchive) << Seen::printed;
        EXPECT_FALSE(Seen::printed.empty());
        ExpectNothingWritten();
        DCL test = Defaults();
        test.TestZip = 1;
        EXPECT_EQ(Run(Archive(damaged[i]), test), kUnzipBadArchive);
    }
}

TEST_F(UnzipLibraryTest, EncryptedEntriesNeedTheRightPassword) {
    const std::string archive =
        Archive(Build({{"secret.txt", Bytes("the secret text"), true, kMadeByDos, kDosArchive, -1, 0, "right"}}));
    Seen::password = "wrong";
    EXPECT_EQ(Run(archive, Defaults()), kUnzipBadPassword) << Seen::printed;
    EXPECT_THAT(Seen::printed, HasSubstr("incorrect password"));
    EXPECT_EQ(Seen::passwordAsked, 3);
    ExpectNothingWritten();

    Seen::Reset();  // no password given: asked once, then the entry fails
    EXPECT_EQ(Run(archive, Defaults()), kUnzipBadPassword);
    EXPECT_EQ(Seen::passwordAsked, 1);
    ExpectNothingWritten();

    Seen::password = "right";
    EXPECT_EQ(Run(archive, Defaults()), kUnzipOk) << Seen::printed;
    EXPECT_EQ(ReadFile(dest_ + "/secret.txt"), Bytes("the secret text"));
}

// --- What the options record's fields do ----------------------------------------------------------

TEST_F(UnzipLibraryTest, ExistingFilesAreReplacedKeptOrAskedAbout) {
    const std::string archive = Archive(Build({{"a.txt", Bytes("new a")}, {"b.txt", Bytes("new b")}}));
    auto reset = [&] {
        fs::remove_all(dest_);
        WriteFile(dest_ + "/a.txt", Bytes("old a"));
        WriteFile(dest_ + "/b.txt", Bytes("old b"));
        Seen::Reset();
    };
    reset();
    EXPECT_EQ(Run(archive, Defaults()), kUnzipOk);
    EXPECT_EQ(ReadFile(dest_ + "/a.txt"), Bytes("new a"));

    reset();
    DCL never = Defaults();
    never.OverWriteFiles = 0;
    EXPECT_EQ(Run(archive, never), kUnzipWarning);
    EXPECT_EQ(ReadFile(dest_ + "/a.txt"), Bytes("old a"));
    EXPECT_THAT(Seen::printed, HasSubstr("kept"));

    DCL ask = Defaults();
    ask.PromptOverwrite = 1;
    for (int32_t answer : {kUnzipReplaceYes, kUnzipReplaceNo, kUnzipReplaceNone}) {
        reset();
        Seen::replaceAnswer = answer;
        Run(archive, ask);
        EXPECT_EQ(ReadFile(dest_ + "/a.txt"), answer == kUnzipReplaceYes ? Bytes("new a") : Bytes("old a"));
        EXPECT_EQ(Seen::replaceAsked.size(), answer == kUnzipReplaceNone ? 1u : 2u);
        ASSERT_FALSE(Seen::replaceAsked.empty());
        EXPECT_THAT(Seen::replaceAsked[0], HasSubstr("a.txt"));
    }
}

TEST_F(UnzipLibraryTest, UpdateAndFreshenCompareTimes) {
    // Entries are dated 2000-01-01; the existing "old.txt" is older, "new.txt" newer.
    const std::string archive =
        Archive(Build({{"old.txt", Bytes("entry")}, {"new.txt", Bytes("entry")}, {"absent.txt", Bytes("entry")}}));
    auto reset = [&] {
        fs::remove_all(dest_);
        WriteFile(dest_ + "/old.txt", Bytes("disk"));
        WriteFile(dest_ + "/new.txt", Bytes("disk"));
        fs::last_write_time(dest_ + "/old.txt",
                            fs::last_write_time(dest_ + "/new.txt") - std::chrono::hours(24 * 365 * 60));
    };
    // Update creates what is missing; freshen only replaces.
    for (int32_t DCL::*field : {&DCL::ExtractOnlyNewer, &DCL::ExtractNewer}) {
        reset();
        DCL d = Defaults();
        d.*field = 1;
        EXPECT_EQ(Run(archive, d), kUnzipOk) << Seen::printed;
        EXPECT_EQ(ReadFile(dest_ + "/old.txt"), Bytes("entry"));
        EXPECT_EQ(ReadFile(dest_ + "/new.txt"), Bytes("disk"));
        EXPECT_EQ(fs::exists(dest_ + "/absent.txt"), field == &DCL::ExtractOnlyNewer);
    }
}

TEST_F(UnzipLibraryTest, NamesAndContentsAreShapedAsAsked) {
    const std::string archive = Archive(
        Build({{"my dir/my file.txt", Bytes("one\ntwo\r\nthree\n")}, {"bin.dat", {0, '\n', 1, '\n'}}}, "the comment"));
    DCL d = Defaults();
    d.HonorDirectories = 0;
    d.SpaceToUnderScore = 1;
    d.ConvertCRtoCRLF = 1;
    d.DisplayComment = 1;
    EXPECT_EQ(Run(archive, d), kUnzipOk) << Seen::printed;
    EXPECT_EQ(Tree(dest_), (Files{{"my_file.txt", Bytes("one\r\ntwo\r\nthree\r\n")}, {"bin.dat", {0, '\n', 1, '\n'}}}));
    EXPECT_THAT(Seen::printed, HasSubstr("the comment"));
}

TEST_F(UnzipLibraryTest, WriteToStdOutPrintsTheDataAndWritesNoFile) {
    const std::string archive = Archive(Build({{"a.txt", Bytes("alpha\n")}, {"b.txt", Bytes("beta\n")}}));
    DCL d = Defaults();
    d.WriteToStdOut = 1;
    EXPECT_EQ(Run(archive, d, {"b.txt"}), kUnzipOk);
    EXPECT_EQ(Seen::printed, "beta\n");
    ExpectNothingWritten();
}

TEST_F(UnzipLibraryTest, IncludeAndExcludeListsMatchWithOrWithoutCase) {
    const std::string archive =
        Archive(Build({{"Docs/Read.TXT", Bytes("1")}, {"docs/b.txt", Bytes("2")}, {"c.bin", Bytes("3")}}));
    DCL list = Defaults();
    list.ExtractList = 1;
    EXPECT_EQ(Run(archive, list, {"*.txt"}), kUnzipOk);
    EXPECT_EQ(Seen::names, (std::vector<std::string>{"docs/b.txt"}));
    Seen::Reset();
    list.CaseSensitive = 0;
    EXPECT_EQ(Run(archive, list, {"*.txt"}, {"docs/b*"}), kUnzipOk);
    EXPECT_EQ(Seen::names, (std::vector<std::string>{"Docs/Read.TXT"}));
    Seen::Reset();
    EXPECT_EQ(Run(archive, list, {"nothing*"}), kUnzipWarning);
    EXPECT_THAT(Seen::printed, HasSubstr("no entry"));
}

TEST_F(UnzipLibraryTest, MessageLevelsAndListingLines) {
    const std::string archive = Archive(Build({{"a.txt", Bytes("alpha")}}));
    DCL loud = Defaults();
    loud.MessageLevel = 0;
    EXPECT_EQ(Run(archive, loud), kUnzipOk);
    EXPECT_THAT(Seen::printed, HasSubstr("a.txt"));
    Seen::Reset();
    EXPECT_EQ(Run(archive, Defaults()), kUnzipOk);
    EXPECT_EQ(Seen::printed, "");
    Seen::Reset();
    DCL list = Defaults();
    list.ExtractList = 1;
    list.Verbose = 1;
    EXPECT_EQ(Run(archive, list), kUnzipOk);
    EXPECT_THAT(Seen::printed, HasSubstr("Stored"));
    EXPECT_EQ(Seen::sizes, (std::vector<uint32_t>{5}));
}

TEST_F(UnzipLibraryTest, UnknownFieldValuesAndMissingArchivesAreRefused) {
    const std::string archive = Archive(Build({{"a.txt", Bytes("alpha")}}));
    DCL d = Defaults();
    d.MessageLevel = 7;
    EXPECT_EQ(Run(archive, d), kUnzipBadOptions);
    EXPECT_THAT(Seen::printed, HasSubstr("MessageLevel"));
    d = Defaults();
    d.Privilege = 1;
    EXPECT_EQ(Run(archive, d), kUnzipUnsupported);
    EXPECT_THAT(Seen::printed, HasSubstr("Privilege"));
    d = Defaults();
    d.TestZip = 2;
    EXPECT_EQ(Run(archive, d), kUnzipBadOptions);
    EXPECT_EQ(Run(scratch_ + "/missing.zip", Defaults()), kUnzipNoArchive);
    ExpectNothingWritten();
}

}  // namespace
}  // namespace ost::zip::test
