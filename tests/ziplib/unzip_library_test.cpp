// The unzip library through its two entries and records, exactly as the bridge calls it: natively
// over the POSIX file system, and under Wine through the real unzip32.dll loaded by name. The
// archives come from make_unzip_corpus.py, run before these tests: those of the host's writers and
// the kinds readers tell apart, with the files a reader must extract from each, and the ones built
// entry by entry for the cases below.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include "zip_test_util.h"
#include "ziplib/unzip32.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <ctime>

#include "ziplib/posix_file_system.h"
#include "ziplib/unzip32_api.h"
#endif

namespace ost::zip::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Files = std::map<std::string, std::vector<uint8_t>>;

#ifdef _WIN32
const std::string kHost = "Z:";  // host paths as the Windows side names them
HMODULE Library() {
    static HMODULE library = ::LoadLibraryW((L"Z:" + fs::path(OST_UNZIP32_DLL).wstring()).c_str());
    return library;
}
const auto Version =
    reinterpret_cast<UzpVersion2Fn>(reinterpret_cast<void*>(::GetProcAddress(Library(), "UzpVersion2")));
const auto Unzip = reinterpret_cast<Wiz_SingleEntryUnzipFn>(
    reinterpret_cast<void*>(::GetProcAddress(Library(), "Wiz_SingleEntryUnzip")));
const auto SetCreateLimit =
    reinterpret_cast<UzpSetCreateLimitFn>(reinterpret_cast<void*>(::GetProcAddress(Library(), "UzpSetCreateLimit")));
// The library's OEM code page: the system's, which must be OST_OEM_CODE_PAGE when that is set.
uint32_t OemCodePage() {
    if (const char* wanted = std::getenv("OST_OEM_CODE_PAGE")) {
        EXPECT_EQ(std::to_string(::GetOEMCP()), wanted);
    }
    return ::GetOEMCP();
}
#else
const std::string kHost;
// Code page 932 through glibc's iconv stands in for the system's converter, and names are folded
// in ASCII and Latin-1 (UTF-8 "\xC3\xA0" to "\xC3\xBE") standing in for Windows' own mapping.
struct FoldingCodec : Utf8Codec {
    NameUpperCase UpperCase() override {
        return [](std::string_view utf8) {
            std::string out(utf8);
            for (size_t i = 0; i < out.size(); ++i) {
                const auto c = static_cast<unsigned char>(out[i]);
                if ((c >= 'a' && c <= 'z') || (i > 0 && out[i - 1] == '\xC3' && c >= 0xA0 && c != 0xB7 && c != 0xBF))
                    out[i] = static_cast<char>(c - 0x20);
            }
            return out;
        };
    }
};
std::optional<std::string> FromCp932(std::string_view bytes) {
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    std::string in(bytes), out(4 * bytes.size(), '\0');
    char *from = in.data(), *to = out.data();
    size_t fromLeft = in.size(), toLeft = out.size();
    const bool done = ::iconv(cd, &from, &fromLeft, &to, &toLeft) != static_cast<size_t>(-1);
    ::iconv_close(cd);
    out.resize(out.size() - toLeft);
    return done ? std::optional<std::string>(out) : std::nullopt;
}
// The library the entries below call: one over the native file system, unless a test gives another.
Unzip32Library*& Current() {
    static PosixFileSystem fileSystem;
    static FoldingCodec codec;
    static Unzip32Library library(fileSystem, codec, true, NameCodePage{932, &FromCp932});
    static Unzip32Library* current = &library;
    return current;
}
const UzpVersion2Fn Version = [](UnzipVersionInfo* v) { return Current()->Version(v); };
const Wiz_SingleEntryUnzipFn Unzip = [](int32_t ic, char** in, int32_t ec, char** ex, DCL* o, USERFUNCTION* f) {
    return Current()->SingleEntryUnzip(ic, in, ec, ex, o, f);
};
const UzpSetCreateLimitFn SetCreateLimit = [](uint32_t limit) { return Current()->SetCreateLimit(limit); };
uint32_t OemCodePage() {
    return 932;
}
long OpenFiles() {
    return static_cast<long>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}
#endif
const std::string kCorpus = kHost + OST_UNZIP_CORPUS "/";

// What the callbacks saw during one run.
struct Seen {
    static inline std::string printed, password;  // the password is given unless declined
    static inline bool declined = false;
    static inline std::string signs;                // of each listed entry's ratio: '-' when it grew
    static inline std::vector<std::string> names, replaceAsked;
    static inline int32_t replaceAnswer = kUnzipReplaceNo, serviceAnswer = 0;
    static inline int passwordAsked = 0, prints = 0;
    static inline bool terminated = true;           // every printed piece had a zero byte after it
    static inline std::function<void()> onMessage;  // run as each entry is listed
    static int32_t ZIP32_API Print(char* buffer, int32_t length) {
        printed.append(buffer, static_cast<size_t>(length));
        terminated = terminated && length < kUnzipCallbackBufferSize && buffer[length] == '\0';
        ++prints;
        return 0;
    }
    static int32_t ZIP32_API Replace(char* name) {
        replaceAsked.push_back(name);
        return replaceAnswer;
    }
    static int32_t ZIP32_API Password(char* buffer, int32_t size, const char*, const char*) {
        ++passwordAsked;
        std::snprintf(buffer, static_cast<size_t>(size), "%s", password.c_str());
        return declined ? kUnzipPasswordNone : kUnzipPasswordGiven;
    }
    using U = uint32_t;
    using S = int16_t;
    static void ZIP32_API Message(U, U, U, S, S, S, S, S, char sign, char* name, const char*, U, int32_t) {
        names.push_back(name);
        signs += sign;
        if (onMessage)
            onMessage();
    }
    static int32_t ZIP32_API Service(char*, int32_t) { return serviceAnswer; }
    static void Reset() {
        printed.clear(), password.clear(), signs.clear(), names.clear(), replaceAsked.clear();
        replaceAnswer = kUnzipReplaceNo, serviceAnswer = 0, passwordAsked = 0, prints = 0, onMessage = nullptr;
        terminated = true, declined = false;
    }
};

// The options as the extractor's defaults give them: extract, keep folders, overwrite, quiet 2.
DCL Defaults() {
    DCL d{};
    d.MessageLevel = 2, d.HonorDirectories = d.OverWriteFiles = d.CaseSensitive = 1;
    return d;
}

// Whether printed text holds a control character (C0 or DEL, or C1 in UTF-8) other than the line
// feeds that end its lines: a name's must be shown escaped.
bool HoldsRawControl(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n') || c == 0x7F || (c == 0xC2 && i + 1 < text.size() && (text[i + 1] & 0xE0) == 0x80))
            return true;
    }
    return false;
}

// The files (with their bytes) and folders (ending in '/') under `folder`.
Files Tree(const std::string& folder) {
    Files files;
    if (!fs::exists(folder))
        return files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::u8string rel = fs::relative(e.path(), folder).generic_u8string();
        std::ifstream in(e.path(), std::ios::binary);  // by the path itself: any name opens on Windows
        if (e.is_directory())
            files[std::string(rel.begin(), rel.end()) + "/"];
        else
            files[std::string(rel.begin(), rel.end())].assign(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

class UnzipLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Version && Unzip && SetCreateLimit) << "an entry is not exported under its plain name";
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
        std::vector<char*> in, ex;  // exactly as long as their counts say: nothing past them is read
        std::transform(include.begin(), include.end(), std::back_inserter(in), [](std::string& s) { return s.data(); });
        std::transform(exclude.begin(), exclude.end(), std::back_inserter(ex), [](std::string& s) { return s.data(); });
        UnzipVersionInfo version{sizeof(UnzipVersionInfo), 0, {}, {}, {}, {}, {}, {}, {}};
        EXPECT_EQ(Version(&version), 0);
        functions_ = USERFUNCTION{
            &Seen::Print, nullptr, &Seen::Replace, &Seen::Password, &Seen::Message, &Seen::Service, 0, 0, 0, 0, 0};
        return Unzip(static_cast<int32_t>(include.size()), in.data(), static_cast<int32_t>(exclude.size()), ex.data(),
                     &options, &functions_);
    }
    // The destination holds nothing, and nothing but it is in the scratch folder.
    void ExpectNothingWritten() {
        EXPECT_EQ(Tree(dest_), Files{});
        for (const auto& e : fs::directory_iterator(scratch_))
            EXPECT_EQ(e.path().filename(), "dest");
    }

    std::string scratch_, dest_;
    USERFUNCTION functions_{};
};

// --- Archives of the host's writers and the kinds readers tell apart ----------------------------

// Each archive of the corpus is read whole and without a word, or gives another result with a line
// that says why: in listing, testing and extracting alike. Extracting gives the files of
// <archive>.expected (none when the archive is refused as a whole); listing names them and each refused entry.
TEST_F(UnzipLibraryTest, EveryKindOfArchiveIsReadOrRefusedAlikeInListTestAndExtract) {
    struct Kind {
        std::string archive;
        int32_t result = kUnzipOk;
        std::string printed = "";  // in extracting as "skipping: <name>  (<why>)", in a listing as "<name>  (<why>;"
        long refused = 0;          // entries listed but not extracted
        std::vector<std::string> include = {};
    };
    // clang-format off
    const char* const readable[] = {
        "zip-deflated.zip", "zip-stored.zip", "zip-password.zip", "zip-zip64.zip", "zip-streamed.zip", "7z.zip",
        "python.zip", "python-streamed.zip", "python-zip64.zip", "python-streamed-zip64.zip", "bsdtar.zip",
        "stub-adjusted.zip", "zip64-end-unneeded.zip", "zip64-end-odd-disks.zip", "zip64-end-short-size.zip",
        "descriptor-unsigned.zip",
        "plain-names.zip", "local-zip64.zip", "zip-streamed-password.zip", "cp437-name.zip",
        "unicode-path-unusable.zip", "local-zip64-marked-only.zip", "repeated-folder.zip"};
    const std::string same = "  (an earlier entry of the archive names the same file";
    std::vector<Kind> kinds = {
        {"stub-prefixed.zip", kUnzipWarning, "holds 512 bytes before the archive"},
        {"gap.zip", kUnzipWarning, "holds 40 bytes between its entries and its central directory"},
        {"wrapped-count.zip", kUnzipWarning, "holds 65537 entries, which its end record counts modulo", 0, {"*.txt"}},
        {"count-65535.zip", kUnzipOk, "", 0, {"*.txt"}}, {"file-and-folder.zip", 2, "dir/" + same, 0},
        {"trailing-bytes.zip", kUnzipOk, "holds 117 bytes after the end of the archive"},
        {"zip64-empty.zip", kUnzipWarning, "holds no entries"},
        {"nested-trailing.zip", kUnzipOk, "holds 11 bytes after the end of the archive"},
        {"empty-name.zip", kUnzipBadArchive, "entry 2 of the directory  (it has an empty name", 1},
        {"empty-name-last.zip", kUnzipBadArchive, "entry 2 of the directory  (it has an empty name", 1},
        {"duplicate-name.zip", 2, "hello.txt" + same, 1}, {"duplicate-folded-name.zip", 2, "HELLO.TXT" + same, 1},
        {"duplicate-folded-unicode-name.zip", 2, same, 1}, {"duplicate-dot-name.zip", 2, "./hello.txt" + same, 1},
        {"duplicate-backslash-name.zip", kUnzipBadArchive, "sub\\x.txt" + same, 1},
        {"local-crc-differs.zip", 2, "hello.txt  (its local header disagrees", 1},
        {"local-size-differs.zip", 2, "hello.txt  (its local header disagrees", 1},
        {"local-size-zero.zip", 2, "hello.txt  (its local header disagrees", 1},
        {"descriptor-differs.zip", kUnzipBadArchive, "hello.txt  (its data descriptor disagrees", 1},
        {"extra-damaged.zip", 2, "hello.txt  (a block of its extra field", 1},
        {"local-extra-damaged.zip", 2, "hello.txt  (a block of its local header's extra field", 1},
        {"two-end-records.zip", kUnzipBadArchive, "two end of central directory records"},
    };
    // clang-format on
    for (const char* field : {"count", "size", "offset"})
        kinds.push_back({"zip64-" + std::string(field) + "-disagrees.zip", 2, "and its ZIP64 end record disagree"});
    for (const char* archive : readable)
        kinds.push_back({archive});
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.archive);
        const std::string archive = kCorpus + kind.archive;
        const Files expected = fs::exists(archive + ".expected") ? Tree(archive + ".expected") : Files{};
        DCL list = Defaults(), test = Defaults();
        list.ExtractList = test.TestZip = 1;
        for (const DCL& options : {list, test, Defaults()}) {
            Seen::Reset();
            Seen::password = fs::exists(archive + ".password") ? "secret" : "";
            EXPECT_EQ(Run(archive, options, kind.include), kind.result) << Seen::printed;
            EXPECT_THAT(Seen::printed, HasSubstr(kind.printed));
            EXPECT_FALSE(HoldsRawControl(Seen::printed)) << Seen::printed;
            if (options.ExtractList) {
                const auto files =
                    std::count_if(Seen::names.begin(), Seen::names.end(), [](auto& n) { return n.back() != '/'; });
                EXPECT_EQ(files, kind.refused + std::count_if(expected.begin(), expected.end(),
                                                              [](auto& f) { return f.first.back() != '/'; }));
                EXPECT_TRUE(kind.result != kUnzipOk || functions_.entryCount == Seen::names.size());
            }
        }
        uint64_t total = 0;  // the entries' sizes added up, for an archive read whole
        for (const auto& [name, bytes] : expected)
            total += bytes.size();
        EXPECT_TRUE(kind.result != kUnzipOk || functions_.totalSize == total) << functions_.totalSize;
        EXPECT_EQ(Seen::printed.empty(), kind.printed.empty()) << Seen::printed;  // extracting says nothing more
        EXPECT_EQ(Tree(dest_), expected);
        fs::remove_all(dest_);
    }
}

// Windows writes names in its OEM code page without the UTF-8 flag. The archive's one name is
// "ソフト.txt" in code page 932, whose first character ends in the byte of '\' in code page 437.
TEST_F(UnzipLibraryTest, NamesWithoutTheUtf8FlagAreReadInTheSystemsOemCodePage) {
    const std::map<uint32_t, std::string> names = {{437, "\u00e2/\u00e2t\u00e2g.txt"}, {932, "\u30bd\u30d5\u30c8.txt"}};
    ASSERT_EQ(names.count(OemCodePage()), 1u) << "no expectation for the OEM code page " << OemCodePage();
    EXPECT_EQ(Run(kCorpus + "cp932-name.zip", Defaults()), kUnzipOk) << Seen::printed;
    const size_t cut = names.at(OemCodePage()).find('/');
    Files expected{{names.at(OemCodePage()), Bytes("Japanese name\n")}};
    if (cut != std::string::npos)
        expected[names.at(OemCodePage()).substr(0, cut + 1)];
    EXPECT_EQ(Tree(dest_), expected);
}

// --- Archives built entry by entry ---------------------------------------------------------------

TEST_F(UnzipLibraryTest, HostileArchivesAreRefusedAndNothingIsWritten) {
    struct Hostile {
        std::string archive, printed;  // a part of what extracting prints
        int32_t extract = kUnzipBadArchive, test = kUnzipBadArchive, list = kUnzipBadArchive;
        std::string note = "";  // a part of what listing prints
    };
    const std::string refused = "; not extracted)";
    // clang-format off
    std::vector<Hostile> hostile = {
        {"too-big.zip", "bytes in clusters of", kUnzipDiskFailure, 2, 0},
        {"overlap.zip", "two of its entries overlap"}, {"liar.zip", "inflates beyond its declared size", 2, 2, 0},
        {"truncated.zip", "it has no end of central directory record", 9, 9, 9}, {"bad-count.zip", "cannot be read"},
        {"bad-offset.zip", "cannot be read"}, {"flipped.zip", "a.txt", 2, 2, 0}, {"bad-crc.zip", "bad CRC", 2, 2, 0},
        {"no-descriptor.zip", "descriptor disagrees", 2, 2, 2, refused}, {"cut.zip", "cut.txt is truncated", 2, 2, 0},
        {"padded.zip", "the compressed data of padded.txt ends before its size", 2, 2, 0},
        {"long-name.zip", "cannot create a temporary file", kUnzipDiskFailure, 0, 0}, {"count-short.zip", "holds more"},
        {"bad-central-signature.zip", "its central directory is damaged"},
        {"zip64-record-missing.zip", "its ZIP64 end record is missing"},
        {"stored-sizes.zip", "the sizes of the stored entry stored.txt disagree", 2, 2, 0},
        {"folder-data.zip", "dir\\  (it is a folder entry that holds data)", 2, 2, 2, "dir\\  (it is a folder"},
        {"zip64-directory-offset-4g.zip", "its central directory lies outside the file"},
        {"zip64-offset-2g.zip", "far.txt lies outside the archive"}, {"zip64-offset-4g.zip", "far.txt lies outside"},
        {"zip64-directory-2g.zip", "of 2147483648 bytes and up to 1 entries is too large to hold in memory"},
        {"zip64-directory-4g.zip", "of 4294967342 bytes"}, {"zip64-entries.zip", "and up to 23342213 entries is too"},
        {"wrapped-directory-1g.zip", "of 1073741824 bytes and up to 23342213 entries is too large"}};
    // clang-format on
    for (const char* field : {"disk", "directory-disk", "disk-count", "count", "size", "offset"}) {
        // A count of 65,535 is a count, which here the count of entries on this disk does not match.
        const bool count = std::string(field).ends_with("count");
        hostile.push_back({"zip64-" + std::string(field) + "-marked.zip",
                           count ? "it is split over several disks" : "its ZIP64 locator is missing"});
        if (std::string(field).find("disk") != std::string::npos)
            hostile.push_back({"split-" + std::string(field) + ".zip", "it is split over several disks"});
    }
    // Names with control characters are shown escaped, in the line that skips them and in listings.
    const std::map<std::string, std::string> shown = {{"unsafe-control-0.zip", "ctl\\x01.txt"},
                                                      {"unsafe-control-1.zip", "forged\\x0aArchive:  line.txt"}};
    for (const auto& e : fs::directory_iterator(kCorpus)) {  // one name that is unsafe on Windows in each
        const std::string file = e.path().filename().string();
        if (!file.starts_with("unsafe-"))
            continue;
        const std::string name = shown.count(file) ? shown.at(file) + "  (a control character in the name" : "";
        hostile.push_back({file, "skipping: " + name, kUnzipUnsafeEntry, 0, 0, name + refused});
    }
    ASSERT_GT(hostile.size(), 30u);
#ifndef _WIN32
    const long openBefore = OpenFiles();
#endif
    for (const Hostile& h : hostile) {
        SCOPED_TRACE(h.archive);
        Seen::Reset();
        EXPECT_EQ(Run(kCorpus + h.archive, Defaults()), h.extract) << Seen::printed;
        EXPECT_THAT(Seen::printed, HasSubstr(h.printed));
        ExpectNothingWritten();
        DCL test = Defaults(), list = Defaults();
        test.TestZip = list.ExtractList = 1;
        EXPECT_EQ(Run(kCorpus + h.archive, test), h.test);
        EXPECT_EQ(Run(kCorpus + h.archive, list), h.list);
        EXPECT_THAT(Seen::printed, HasSubstr(h.note));
        EXPECT_FALSE(HoldsRawControl(Seen::printed)) << Seen::printed;
    }
#ifndef _WIN32
    EXPECT_EQ(OpenFiles(), openBefore);  // every archive and temporary file opened was closed
#endif
}

// Device names are compared in ASCII alone: the C library of a program in a single-byte locale
// takes the UTF-8 bytes of COM² for letters, and would let it pass.
// Extracting refuses them and listing says why, as in any locale.
TEST_F(UnzipLibraryTest, DeviceNamesAreRefusedInASingleByteLocaleToo) {
#ifdef _WIN32
    ASSERT_TRUE(std::setlocale(LC_CTYPE, ".1252"));
#else
    ::setenv("LOCPATH", (kCorpus + "locale").c_str(), 1);
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "en_US.ISO-8859-1"));
#endif
    volatile int lead = 0xC2;             // not folded by the compiler, which assumes the C locale
    EXPECT_EQ(std::tolower(lead), 0xE2);  // the locale folds a lead byte of UTF-8
    for (const auto& e : fs::directory_iterator(kCorpus)) {
        if (!e.path().filename().string().starts_with("unsafe-superscript-"))
            continue;
        SCOPED_TRACE(e.path());
        Seen::Reset();
        EXPECT_EQ(Run(e.path().string(), Defaults()), kUnzipUnsafeEntry);
        EXPECT_THAT(Seen::printed, HasSubstr("  (a device name)"));
        ExpectNothingWritten();
        DCL list = Defaults();
        list.ExtractList = 1;
        Seen::Reset();
        EXPECT_EQ(Run(e.path().string(), list), kUnzipOk);
        EXPECT_THAT(Seen::printed, HasSubstr("  (a device name; not extracted)"));
    }
    std::setlocale(LC_CTYPE, "C");
}

// --- What an extraction may take ----------------------------------------------------------------

// One run creates at most as many files and folders as the caller allows (a file replaced is not
// created); past that nothing is written. folder-chains.zip makes 9 with its extraction folder.
TEST_F(UnzipLibraryTest, ARunCreatesNoMoreFilesAndFoldersThanAllowed) {
    const std::string chains = kCorpus + "folder-chains.zip";
    EXPECT_EQ(SetCreateLimit(8), kUnzipDefaultCreateLimit);
    EXPECT_EQ(Run(chains, Defaults()), kUnzipDiskFailure);
    EXPECT_THAT(Seen::printed, HasSubstr("extracting would create 9 files and folders, and one run may create 8;"));
    ExpectNothingWritten();
    EXPECT_EQ(SetCreateLimit(9), 8u);
    EXPECT_EQ(Run(chains, Defaults()), kUnzipOk) << Seen::printed;
    // clang-format off
    const Files made = {{"a/", {}}, {"a/b/", {}}, {"a/b/c/", {}}, {"a/b/c/d/", {}}, {"a/b/c/d/e/", {}}, {"a/b/x/", {}},
                        {"a/b/x/y.txt", Bytes("y")}, {"a/b/x/z.txt", Bytes("z")}};
    // clang-format on
    EXPECT_EQ(Tree(dest_), made);
    SetCreateLimit(0);
    EXPECT_EQ(Run(chains, Defaults()), kUnzipOk) << Seen::printed;  // over the same: nothing created
    EXPECT_EQ(SetCreateLimit(kUnzipDefaultCreateLimit), 0u);
}

// Printed text reaches the callback whole up to the buffer's size (32,800 bytes and a zero byte), and
// longer text in pieces, each with its zero byte inside the buffer.
TEST_F(UnzipLibraryTest, PrintedTextFillsTheCallbackBufferToItsLastByteAndNoFurther) {
    DCL output = Defaults();
    output.WriteToStdOut = 1;
    for (const auto& [size, pieces] : {std::pair{32799, 1}, {32800, 1}, {32801, 2}}) {
        Seen::Reset();
        EXPECT_EQ(Run(kCorpus + "buffer.zip", output, {std::to_string(size) + ".txt"}), kUnzipOk);
        EXPECT_EQ(Seen::printed, std::string(static_cast<size_t>(size), 'x'));
        EXPECT_EQ(Seen::prints, pieces);
        EXPECT_TRUE(Seen::terminated) << size;
    }
}

#ifndef _WIN32
// What extracting writes must fit the disk's free space: a cluster at least for every file and
// folder it creates, twice the size of text it may convert to CR LF, nothing for entries it will not
// write (files kept). A byte short, nothing is written.
TEST_F(UnzipLibraryTest, TheFreeSpaceMustHoldWhatIsWrittenInWholeClusters) {
    struct TightDisk : PosixFileSystem {
        std::optional<VolumeSpace> FreeSpace(const std::string&) override { return space; }
        VolumeSpace space{0, 1000};
    } disk;
    FoldingCodec codec;
    Unzip32Library tight(disk, codec, true);
    Unzip32Library* const before = std::exchange(Current(), &tight);
    uint64_t text = 0;  // long.txt's size
    for (int i = 0; i < 150000; ++i)
        text += 6 + std::to_string(i).size();
    DCL crlf = Defaults(), keep = Defaults();
    crlf.ConvertCRtoCRLF = 1;
    keep.OverWriteFiles = 0;
    // clang-format off
    const std::tuple<std::string, DCL, uint64_t> cases[] = {
        {"folder-chains.zip", Defaults(), 9}, {"existing.zip", Defaults(), 3}, {"existing.zip", keep, 1},
        {"long-text.zip", Defaults(), 1 + (text + 999) / 1000}, {"long-text.zip", crlf, 1 + (2 * text + 999) / 1000}};
    // clang-format on
    for (const auto& [archive, options, clusters] : cases) {
        SCOPED_TRACE(archive + " " + std::to_string(clusters));
        for (const uint64_t free : {clusters * 1000 - 1, clusters * 1000}) {
            fs::remove_all(dest_);
            if (archive == "existing.zip") {  // all but absent.txt are there, the extraction folder too
                WriteFile(dest_ + "/old.txt", Bytes("disk"));
                WriteFile(dest_ + "/new.txt", Bytes("disk"));
            }
            const Files there = Tree(dest_);
            Seen::Reset();
            disk.space.free = free;
            const int32_t result = Run(kCorpus + archive, options);
            EXPECT_EQ(result == kUnzipDiskFailure, free < clusters * 1000) << Seen::printed;
            if (result == kUnzipDiskFailure) {
                const std::string take = "take " + std::to_string(clusters * 1000) + " bytes in clusters of 1000 ";
                EXPECT_THAT(Seen::printed, HasSubstr(take));
                EXPECT_EQ(Tree(dest_), there);
            }
        }
    }
    Current() = before;
}
#endif

TEST_F(UnzipLibraryTest, LinksAreNeitherCreatedNorFollowed) {
    EXPECT_EQ(Run(kCorpus + "symlink.zip", Defaults()), kUnzipUnsafeEntry) << Seen::printed;
    EXPECT_THAT(Seen::printed, HasSubstr("symbolic link"));
    EXPECT_EQ(Tree(dest_), (Files{{"ok.txt", Bytes("fine")}}));
#ifndef _WIN32
    EXPECT_EQ(fs::status(dest_ + "/ok.txt").permissions(), fs::perms(0644));  // not a temporary file's 0600
    const std::string outside = ScratchFolder("outside");
    fs::create_directory_symlink(outside, dest_ + "/link");
    fs::create_symlink(outside + "/target.txt", dest_ + "/file.txt");
    EXPECT_EQ(Run(kCorpus + "through-links.zip", Defaults()), kUnzipUnsafeEntry) << Seen::printed;
    EXPECT_TRUE(fs::is_empty(outside));
#endif
}

TEST_F(UnzipLibraryTest, EncryptedEntriesNeedTheRightPassword) {
    const std::string archive = kCorpus + "secret.zip";
    // Three tries for each entry; none given, or an empty one, counts for the whole run.
    const std::tuple<std::string, int, bool> tries[] = {{"wrong", 6, false}, {std::string(1000, 'w'), 6, false},
                                                        {"", 1, false}, {"", 1, true}};
    for (const auto& [password, asked, declined] : tries) {
        Seen::Reset();
        Seen::password = password;
        Seen::declined = declined;
        EXPECT_EQ(Run(archive, Defaults()), kUnzipBadPassword) << Seen::printed;
        EXPECT_THAT(Seen::printed, HasSubstr(password.empty() ? "no password given" : "incorrect password"));
        EXPECT_EQ(Seen::passwordAsked, asked);
        ExpectNothingWritten();
    }
    Seen::Reset();
    Seen::password = "right";
    EXPECT_EQ(Run(archive, Defaults()), kUnzipOk) << Seen::printed;
    EXPECT_EQ(Tree(dest_), (Files{{"secret.txt", Bytes("the secret text")}, {"second.txt", Bytes("more")}}));
    EXPECT_EQ(Seen::passwordAsked, 1);
    Seen::printed.clear();
    DCL output = Defaults();
    output.WriteToStdOut = 1;
    EXPECT_EQ(Run(archive, output, {"secret.txt"}), kUnzipOk);
    EXPECT_EQ(Seen::printed, "the secret text");
}

#ifdef _WIN32
// Wine gives a long name a short alias of its own, as Windows gives it an 8.3 one: an entry of that
// alias after the long name's entry would open the file the run wrote, and is refused.
TEST_F(UnzipLibraryTest, AShortAliasOfAFileThisRunWroteIsRefused) {
    const std::string longName = "A long file name.txt", slot = "ALIAS~00.TXT";  // the alias goes in the slot
    WriteFile(scratch_ + "/probe/" + longName, {});
    wchar_t alias[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameW(fs::path(scratch_ + "/probe/" + longName).c_str(), alias, MAX_PATH), 0u);
    const std::string shortName = fs::path(alias).filename().string();
    ASSERT_EQ(shortName.size(), slot.size()) << shortName;
    std::vector<uint8_t> archive = ReadFile(kCorpus + "alias.zip");
    for (auto at = archive.begin(); (at = std::search(at, archive.end(), slot.begin(), slot.end())) != archive.end();)
        at = std::copy(shortName.begin(), shortName.end(), at);
    WriteFile(scratch_ + "/alias.zip", archive);
    EXPECT_EQ(Run(scratch_ + "/alias.zip", Defaults()), kUnzipBadArchive) << Seen::printed;
    EXPECT_EQ(Tree(dest_), (Files{{longName, Bytes("long\n")}}));
}
#else
// The free space of a folder not made yet is that of the folder it will be made in; a path through
// a file has none to tell.
TEST_F(UnzipLibraryTest, ThePosixFileSystemTellsWhatIsOnTheDiskAndWhyItFails) {
    PosixFileSystem files;
    EXPECT_TRUE(files.FreeSpace(scratch_ + "/not/made/yet"));
    EXPECT_TRUE(files.FreeSpace("not-made-yet"));  // a relative name: that of the current folder
    // A file put in place and written through leaves no handle open, its own or its folder's.
    const long openBefore = OpenFiles();
    std::unique_ptr<OutputFile> placed = files.CreateBeside(scratch_ + "/placed");
    placed->Write(Bytes("placed").data(), 6);
    files.Replace(std::move(placed), scratch_ + "/placed");
    EXPECT_EQ(OpenFiles(), openBefore);
    EXPECT_EQ(ReadFile(scratch_ + "/placed"), Bytes("placed"));
    WriteFile(scratch_ + "/file", Bytes("x"));
    EXPECT_FALSE(files.FreeSpace(scratch_ + "/file/sub"));
    // A file's identity is that of every name it has, and no other file's.
    fs::create_hard_link(scratch_ + "/file", scratch_ + "/second name");
    EXPECT_TRUE(files.Identity(scratch_ + "/file"));
    EXPECT_EQ(files.Identity(scratch_ + "/file"), files.Identity(scratch_ + "/second name"));
    EXPECT_NE(files.Identity(scratch_ + "/file"), files.Identity(scratch_));
    EXPECT_FALSE(files.Identity(scratch_ + "/missing"));
    // A folder opens, but reading it fails with the system's reason.
    EXPECT_THAT([&] { uint8_t byte = 0; files.OpenRead(scratch_)->Read(&byte, 1); },
                ::testing::ThrowsMessage<ZipError>(HasSubstr("cannot read " + scratch_ + ": Is a directory")));
}

// A file that cannot be written whole, here because it passes the process's file size limit, fails
// the run with the system's reason and leaves no part of itself behind.
TEST_F(UnzipLibraryTest, AFileThatCannotBeWrittenWholeLeavesNothingBehind) {
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 1 << 20;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t result = Run(kCorpus + "plain-names.zip", Defaults(), {"zeros.bin"});
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(result, kUnzipDiskFailure);
    EXPECT_THAT(Seen::printed, HasSubstr("zeros.bin.tmp-"));
    EXPECT_THAT(Seen::printed, HasSubstr(": File too large"));
    ExpectNothingWritten();
}

// A failure inside the run that no check foresaw, here raised by a callback, is severe, and memory
// running out is said as such.
TEST_F(UnzipLibraryTest, UnforeseenFailuresAreSevereAndMemoryRunningOutIsSaidAsSuch) {
    DCL list = Defaults();
    list.ExtractList = 1;
    Seen::onMessage = [] { throw std::runtime_error("the callback failed"); };
    EXPECT_EQ(Run(kCorpus + "options.zip", list), kUnzipSevere);
    EXPECT_EQ(Seen::printed, "unzip error: the callback failed\n");
    Seen::Reset();
    Seen::onMessage = [] { throw std::bad_alloc(); };
    EXPECT_EQ(Run(kCorpus + "options.zip", list), kUnzipOutOfMemory);
    EXPECT_EQ(Seen::printed, "unzip error: out of memory\n");
}

// No ratio makes a bomb: a gibibyte of zeros, deflated a thousandfold, is tested whole.
TEST_F(UnzipLibraryTest, AGibibyteOfZerosIsNoBomb) {
    DCL test = Defaults();
    test.TestZip = 1;
    EXPECT_EQ(Run(kCorpus + "gigabyte.zip", test), kUnzipOk) << Seen::printed;
    EXPECT_EQ(functions_.totalSize, 1u << 30);
    EXPECT_EQ(functions_.totalRatioPercent, 99u) << functions_.totalCompressedSize;
}
#endif

// --- Results ---------------------------------------------------------------------------------------

// Each result is the code that callers of the usual unzip library know (in numbers), with a line that says
// why: rows of the code, the archive, the options, the include list and a part of what is printed.
TEST_F(UnzipLibraryTest, EachResultIsTheCodeCallersOfTheUsualLibraryKnow) {
    const std::string options = kCorpus + "options.zip";
    const auto none = [](DCL&) {};
    const std::tuple<int32_t, std::string, std::function<void(DCL&)>, std::vector<std::string>, std::string> rows[] = {
        // clang-format off
        {0, options, none, {}, ""}, {1, kCorpus + "empty.zip", none, {"x"}, "holds no entries"},
        {2, kCorpus + "bad-crc.zip", none, {}, "bad CRC-32 for crc.txt"},
        {2, kCorpus + "stub-bad-crc.zip", none, {}, "bad CRC-32 for crc.txt"},  // the error outweighs the warning
        {9, scratch_ + "/missing.zip", none, {}, "unzip error: cannot open "},
        {9, kCorpus + "zip-password.zip.password", none, {}, "it is too short to be a zip archive"},
        {10, options, [](DCL& d) { d.MessageLevel = 7; }, {}, "unzip error: MessageLevel is 7"},
        {11, options, none, {"nothing*", "z.txt"}, "caution: no entry of " + options + " matches nothing*\n"},
        {50, kCorpus + "too-big.zip", none, {}, "nothing was extracted"},
        {80, options, [](DCL&) { Seen::serviceAnswer = 1; }, {}, "the run was stopped before my dir/"},
        {81, options, [](DCL& d) { d.Privilege = 1; }, {}, "Privilege 1"},
        {82, kCorpus + "secret.zip", [](DCL&) { Seen::password = "wrong"; }, {}, "incorrect password"},
        // clang-format on
    };
    for (const auto& [code, archive, set, include, printed] : rows) {
        SCOPED_TRACE(code);
        Seen::Reset();
        DCL d = Defaults();
        set(d);
        EXPECT_EQ(Run(archive, d, include), code) << Seen::printed;
        EXPECT_THAT(Seen::printed, HasSubstr(printed));
    }
    DCL d = Defaults();
    std::string empty;
    for (char* archive : {static_cast<char*>(nullptr), empty.data()}) {  // no name, an empty one
        Seen::Reset();
        d.ZipFileName = archive;
        EXPECT_EQ(Unzip(0, nullptr, 0, nullptr, &d, &functions_), kUnzipBadOptions);
        EXPECT_EQ(Seen::printed, "unzip error: no archive name given\n");
    }
    // UzpVersion2 fills only a record of its full size (Run gives it one).
    UnzipVersionInfo shortRecord{sizeof(UnzipVersionInfo) - 1, 0, {}, {}, {}, {}, {}, {}, {}};
    EXPECT_EQ(Version(&shortRecord), 1);
    EXPECT_EQ(Version(nullptr), 1);
}

// --- What the options record's fields do ----------------------------------------------------------

TEST_F(UnzipLibraryTest, TheOptionsShapeWhatIsExtractedListedAndPrinted) {
    const std::vector<uint8_t> text = Bytes("one\ntwo\r\nthree\n");
    const std::string z(22, 'z');
    const std::string archive = kCorpus + "options.zip";
    // clang-format off
    const Files all = {{"my dir/", {}}, {"my dir/my file.txt", text}, {"bin.dat", {0, '\n', 1, '\n'}}, {"Docs/", {}},
                       {"Docs/Read.TXT", Bytes("1")}, {"Docs/b.txt", Bytes("beta\n")}, {"empty dir/", {}},
                       {"e.txt", {}}, {"z.txt", Bytes(z)}};
    // clang-format on
    struct Case {
        const char* what;
        std::function<void(DCL&)> set;
        std::vector<std::string> include = {}, exclude = {};
        int32_t result = kUnzipOk;
        std::string printed = "";  // a part of what is printed; all of it with `exactly`
        bool exactly = false;
        std::optional<Files> tree = {};  // nothing written when none
        std::vector<std::string> listed = {};
    };
    // clang-format off
    const Files flat = {{"my_file.txt", Bytes("one\r\ntwo\r\nthree\r\n")}, {"bin.dat", {0, '\n', 1, '\n'}},
                        {"Read.TXT", Bytes("1")}, {"b.txt", Bytes("beta\r\n")}, {"e.txt", {}}, {"z.txt", Bytes(z)}};
    const Case cases[] = {
        {.what = "defaults", .set = [](DCL&) {}, .exactly = true, .tree = all},
        {.what = "every line", .set = [](DCL& d) { d.MessageLevel = 0; }, .printed = "  inflating: ", .tree = all},
        {.what = "summary", .set = [](DCL& d) { d.MessageLevel = 1; }, .printed = "\n7 entries extracted", .tree = all},
        {.what = "flat", .set = [](DCL& d) { d.HonorDirectories = 0, d.SpaceToUnderScore = 1, d.ConvertCRtoCRLF = 1,
                                             d.DisplayComment = 1; },
         .printed = "the comment\n", .exactly = true, .tree = flat},
        {.what = "output", .set = [](DCL& d) { d.WriteToStdOut = 1; }, .include = {"Docs/b.txt"},
         .printed = "beta\n", .exactly = true},
        {.what = "output converted", .set = [](DCL& d) { d.WriteToStdOut = 1, d.ConvertCRtoCRLF = 1; },
         .include = {"my dir/my file.txt"}, .printed = "one\r\ntwo\r\nthree\r\n", .exactly = true},
        {.what = "tested", .set = [](DCL& d) { d.TestZip = 1, d.MessageLevel = 0; },  // folders are not tested
         .printed = "b.txt   OK\n    testing: e.txt   OK\n    testing: z.txt   OK\nNo errors detected"},
        {.what = "listed", .set = [](DCL& d) { d.ExtractList = 1; }, .include = {"*.txt"}, .printed = " 4 files\n",
         .listed = {"my dir/my file.txt", "Docs/b.txt", "e.txt", "z.txt"}},
        {.what = "listed without case", .set = [](DCL& d) { d.ExtractList = 1, d.CaseSensitive = 0; },
         .include = {"*.TXT"}, .exclude = {"docs/b*"},
         .listed = {"my dir/my file.txt", "Docs/Read.TXT", "e.txt", "z.txt"}},
        {.what = "in full", .set = [](DCL& d) { d.ExtractList = 1, d.Verbose = 1; }, .include = {"z.txt"},
         .printed = "      22  Defl:N        5  78% "},  // 5 of 22 bytes: 78 % saved
        {.what = "an empty name", .set = [](DCL&) {}, .include = {""}, .exactly = true, .tree = all},  // none given
        {.what = "switch 2", .set = [](DCL& d) { d.TestZip = 2; }, .result = kUnzipBadOptions,
         .printed = "TestZip is 2"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Seen::Reset();
        fs::remove_all(dest_);
        DCL options = Defaults();
        c.set(options);
        EXPECT_EQ(Run(archive, options, c.include, c.exclude), c.result);
        EXPECT_THAT(Seen::printed, HasSubstr(c.printed));
        EXPECT_TRUE(!c.exactly || Seen::printed == c.printed) << Seen::printed;
        EXPECT_EQ(Tree(dest_), c.tree.value_or(Files{}));
        if (!c.listed.empty()) {
            EXPECT_EQ(Seen::names, c.listed);
            EXPECT_EQ(Seen::signs, std::string(c.listed.size(), ' '));  // stored or shrunk: none grew
        }
    }
    // Entries written to the output or tested count in the totals as extracted ones do, folders too.
    DCL output = Defaults(), tested = Defaults();
    output.WriteToStdOut = tested.TestZip = 1;
    for (const DCL& d : {output, tested}) {
        EXPECT_EQ(Run(archive, d, {"Docs/b.txt", "z.txt", "empty dir/"}), kUnzipOk);
        EXPECT_EQ(std::vector<uint32_t>({functions_.entryCount, functions_.totalSize}), std::vector<uint32_t>({3, 27}));
    }
    // Text that fills more than one piece of output is converted piece by piece.
    fs::remove_all(dest_);
    DCL crlf = Defaults();
    crlf.ConvertCRtoCRLF = 1;
    EXPECT_EQ(Run(kCorpus + "long-text.zip", crlf), kUnzipOk) << Seen::printed;
    std::string lines;
    for (int i = 0; i < 150000; ++i)
        lines += "line " + std::to_string(i) + "\r\n";
    EXPECT_TRUE(Tree(dest_) == (Files{{"long.txt", Bytes(lines)}}));  // not printed: 1.9 MB
    fs::remove_all(dest_);
    // A listing that fills many pieces loses none: its title, its two heads and feet, and a line each.
    DCL listing = Defaults();
    listing.ExtractList = 1;
    Seen::Reset();
    EXPECT_EQ(Run(kCorpus + "count-65535.zip", listing), kUnzipOk);
    EXPECT_EQ(std::count(Seen::printed.begin(), Seen::printed.end(), '\n'), 5 + 65535);
    // Name lists that do not fit their counts.
    std::string name = archive;
    DCL options = Defaults();
    options.ZipFileName = name.data();
    char* list[kUnzipNameListSize] = {};
    for (const auto& [includes, in, excludes, ex] :
         {std::tuple{-1, list, 0, list}, {0, list, -1, list}, {1, nullptr, 0, list}, {0, list, 1, nullptr}})
        EXPECT_EQ(Unzip(includes, in, excludes, ex, &options, &functions_), kUnzipBadOptions);
    ExpectNothingWritten();
    // A null name in either list is no name, as an empty one is.
    std::string dir = dest_;
    options.ExtractDir = dir.data();
    EXPECT_EQ(Unzip(1, list, 1, list, &options, &functions_), kUnzipOk) << Seen::printed;
    EXPECT_EQ(Tree(dest_), all);
    // Without an extraction folder the entries go to the current folder.
    fs::remove_all(dest_);
    fs::create_directories(dest_);
    const fs::path current = fs::current_path();
    fs::current_path(dest_);
    options.ExtractDir = nullptr;
    EXPECT_EQ(Unzip(0, list, 0, list, &options, &functions_), kUnzipOk) << Seen::printed;
    fs::current_path(current);
    EXPECT_EQ(Tree(dest_), all);
}

TEST_F(UnzipLibraryTest, ExistingFilesAreReplacedKeptOrAskedAboutAndUpdatedByTime) {
    // Entries are dated 2020-01-01; the existing "old.txt" is older, "new.txt" newer.
    const std::string archive = kCorpus + "existing.zip";
    const struct {
        std::function<void(DCL&)> set;
        int32_t answer;
        const char* tree;  // what old.txt, new.txt and absent.txt hold: "d" the disk's, "e" the entry's, "-" nothing
        std::vector<std::string> asked;
    } cases[] = {
        {[](DCL&) {}, 0, "eee", {}},
        {[](DCL& d) { d.OverWriteFiles = 0; }, 0, "dde", {}},
        {[](DCL& d) { d.PromptOverwrite = 1; }, kUnzipReplaceYes, "eee", {"old.txt", "new.txt"}},
        {[](DCL& d) { d.PromptOverwrite = 1; }, kUnzipReplaceNo, "dde", {"old.txt", "new.txt"}},
        {[](DCL& d) { d.PromptOverwrite = 1; }, kUnzipReplaceNone, "dde", {"old.txt"}},
        {[](DCL& d) { d.ExtractOnlyNewer = 1; }, 0, "ede", {}},
        {[](DCL& d) { d.ExtractNewer = 1; }, 0, "ed-", {}},
    };
    for (const auto& c : cases) {
        fs::remove_all(dest_);
        Files expected;
        for (const auto& [i, file] : {std::pair{0, "old.txt"}, {1, "new.txt"}, {2, "absent.txt"}}) {
            if (i < 2)
                WriteFile(dest_ + "/" + file, Bytes("disk"));
            if (c.tree[i] != '-')
                expected[file] = Bytes(c.tree[i] == 'd' ? "disk" : "entry");
        }
        fs::last_write_time(dest_ + "/old.txt",
                            fs::last_write_time(dest_ + "/new.txt") - std::chrono::hours(24 * 365 * 60));
        Seen::Reset();
        Seen::replaceAnswer = c.answer;
        DCL options = Defaults();
        c.set(options);
        EXPECT_EQ(Run(archive, options), c.tree[0] == 'd' ? kUnzipWarning : kUnzipOk) << Seen::printed;
        EXPECT_EQ(Tree(dest_), expected) << c.tree << c.answer;
        ASSERT_EQ(Seen::replaceAsked.size(), c.asked.size());
        for (size_t i = 0; i < c.asked.size(); ++i)
            EXPECT_THAT(Seen::replaceAsked[i], HasSubstr(c.asked[i]));
    }
#ifndef _WIN32
    struct stat written {};  // a file that an entry wrote bears the entry's date in local time
    ASSERT_EQ(::stat((dest_ + "/old.txt").c_str(), &written), 0);
    std::tm local{};
    ::localtime_r(&written.st_mtime, &local);
    EXPECT_EQ(std::vector<int>({local.tm_year, local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec}),
              std::vector<int>({120, 0, 1, 0, 0, 0}));
    const auto info = PosixFileSystem().Stat(dest_ + "/old.txt");  // and the file system reads it back
    ASSERT_TRUE(info);
    const LocalTime& t = info->modified;
    EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
              std::vector<int>({2020, 1, 1, 0, 0, 0}));
#endif
}

}  // namespace
}  // namespace ost::zip::test
