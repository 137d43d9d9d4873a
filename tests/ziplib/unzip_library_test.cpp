// The unzip library through its two entries and records, exactly as the bridge calls it: natively
// over the POSIX file system, and under Wine through the real unzip32.dll loaded by name. The
// archives come from make_unzip_corpus.py, run before these tests: those of the host's writers and
// the kinds readers tell apart, with the files a reader must extract from each, and the ones built
// entry by entry for the cases below.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

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
Unzip32Library& Native() {
    static PosixFileSystem fileSystem;
    static FoldingCodec codec;
    static Unzip32Library library(fileSystem, codec, true, NameCodePage{932, &FromCp932});
    return library;
}
const UzpVersion2Fn Version = [](UnzipVersionInfo* v) { return Native().Version(v); };
const Wiz_SingleEntryUnzipFn Unzip = [](int32_t ic, char** in, int32_t ec, char** ex, DCL* o, USERFUNCTION* f) {
    return Native().SingleEntryUnzip(ic, in, ec, ex, o, f);
};
uint32_t OemCodePage() {
    return 932;
}
#endif
const std::string kCorpus = kHost + OST_UNZIP_CORPUS "/";

// What the callbacks saw during one run.
struct Seen {
    static inline std::string printed, password;  // the password is given when not empty
    static inline std::vector<std::string> names, replaceAsked;
    static inline int32_t replaceAnswer = kUnzipReplaceNo;
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
        std::snprintf(buffer, static_cast<size_t>(size), "%s", password.c_str());
        return password.empty() ? kUnzipPasswordNone : kUnzipPasswordGiven;
    }
    using U = uint32_t;
    using S = int16_t;
    static void ZIP32_API Message(U, U, U, S, S, S, S, S, char, char* name, const char*, U, int32_t) {
        names.push_back(name);
    }
    static int32_t ZIP32_API Service(char*, int32_t) { return 0; }
    static void Reset() {
        printed.clear(), password.clear(), names.clear(), replaceAsked.clear();
        replaceAnswer = kUnzipReplaceNo, passwordAsked = 0;
    }
};

// The options as the extractor's defaults give them: extract, keep folders, overwrite, quiet 2.
DCL Defaults() {
    DCL d{};
    d.MessageLevel = 2, d.HonorDirectories = d.OverWriteFiles = d.CaseSensitive = 1;
    return d;
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
        ASSERT_TRUE(Version && Unzip) << "an entry is not exported under its plain name";
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
// <archive>.expected (none when the archive is refused as a whole), and listing names them.
TEST_F(UnzipLibraryTest, EveryKindOfArchiveIsReadOrRefusedAlikeInListTestAndExtract) {
    struct Kind {
        std::string archive;
        int32_t result = kUnzipOk;
        const char* printed = "";
    };
    // clang-format off
    const char* const readable[] = {
        "zip-deflated.zip", "zip-stored.zip", "zip-password.zip", "zip-zip64.zip", "zip-streamed.zip", "7z.zip",
        "python.zip", "python-streamed.zip", "python-zip64.zip", "python-streamed-zip64.zip", "bsdtar.zip",
        "stub-adjusted.zip", "zip64-end-unneeded.zip", "zip64-end-odd-disks.zip", "descriptor-unsigned.zip",
        "plain-names.zip"};
    // clang-format on
    std::vector<Kind> kinds = {
        {"stub-prefixed.zip", kUnzipWarning, "holds 512 bytes before the archive"},
        {"trailing-bytes.zip", kUnzipWarning, "holds 117 bytes after the end of the archive"},
        {"empty-name.zip", kUnzipBadArchive, "skipping: entry 2 of the directory  (it has an empty name)"},
        {"duplicate-name.zip", kUnzipBadArchive, "skipping: hello.txt  (an earlier entry of the archive has its name)"},
        {"duplicate-folded-name.zip", kUnzipBadArchive, "skipping: HELLO.TXT  (an earlier entry"},
        {"duplicate-folded-unicode-name.zip", kUnzipBadArchive, "(an earlier entry of the archive has its name)"},
        {"local-crc-differs.zip", kUnzipBadArchive, "hello.txt  (its local header disagrees with the central"},
        {"local-size-differs.zip", kUnzipBadArchive, "hello.txt  (its local header disagrees with the central"},
        {"descriptor-differs.zip", kUnzipBadArchive, "hello.txt  (its data descriptor disagrees"},
        {"zip64-end-disagrees.zip", kUnzipBadArchive, "its end record and its ZIP64 end record disagree"},
        {"two-end-records.zip", kUnzipBadArchive, "two end of central directory records"},
    };
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
            EXPECT_EQ(Run(archive, options), kind.result) << Seen::printed;
            EXPECT_THAT(Seen::printed, HasSubstr(kind.printed));
            if (options.ExtractList) {
                const auto files =
                    std::count_if(Seen::names.begin(), Seen::names.end(), [](auto& n) { return n.back() != '/'; });
                EXPECT_EQ(files, std::count_if(expected.begin(), expected.end(),
                                               [](auto& f) { return f.first.back() != '/'; }));
                if (kind.result == kUnzipOk) {
                    EXPECT_EQ(functions_.entryCount, Seen::names.size());
                }
            }
        }
        uint64_t total = 0;  // the entries' sizes added up, for an archive read whole
        for (const auto& [name, bytes] : expected)
            total += bytes.size();
        if (kind.result == kUnzipOk) {
            EXPECT_EQ(functions_.totalSize, total);
        }
        EXPECT_EQ(Seen::printed.empty(), !*kind.printed) << Seen::printed;  // extracting says nothing more
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
    // Each archive, and a part of what is printed.
    // clang-format off
    std::vector<std::pair<std::string, std::string>> hostile = {
        {"overlap.zip", "two of its entries overlap"}, {"bomb.zip", "(a zip bomb?)"},
        {"liar.zip", "inflates beyond its declared size"}, {"truncated.zip", "cannot be read"},
        {"bad-count.zip", "cannot be read"}, {"bad-offset.zip", "cannot be read"}, {"flipped.zip", "a.txt"},
        {"bad-crc.zip", "bad CRC"}, {"cut.zip", "cut.txt is truncated"},
        {"no-descriptor.zip", "its data descriptor disagrees"},
        {"zip64-directory-offset-4g.zip", "its central directory lies outside the file"},
        {"zip64-offset-2g.zip", "far.txt lies outside the archive"}, {"zip64-offset-4g.zip", "far.txt lies outside"},
        {"zip64-directory-2g.zip", "of 2147483648 bytes and 1 entries is too large to hold in memory"},
        {"zip64-directory-4g.zip", "of 4294967342 bytes"}, {"zip64-entries.zip", "and 23342213 entries is too"}};
    // clang-format on
    for (const auto& e : fs::directory_iterator(kCorpus))  // one name that is unsafe on Windows in each
        if (e.path().filename().string().starts_with("unsafe-"))
            hostile.emplace_back(e.path().filename().string(), "skipping");
    ASSERT_GT(hostile.size(), 30u);
    for (const auto& [archive, printed] : hostile) {
        SCOPED_TRACE(archive);
        Seen::Reset();
        const int32_t result = printed == "skipping" ? kUnzipUnsafeEntry : kUnzipBadArchive;
        EXPECT_EQ(Run(kCorpus + archive, Defaults()), result) << Seen::printed;
        EXPECT_THAT(Seen::printed, HasSubstr(printed));
        ExpectNothingWritten();
        DCL test = Defaults();
        test.TestZip = 1;
        EXPECT_EQ(Run(kCorpus + archive, test), result == kUnzipBadArchive ? result : kUnzipOk);
    }
}

TEST_F(UnzipLibraryTest, LinksAreNeitherCreatedNorFollowed) {
    EXPECT_EQ(Run(kCorpus + "symlink.zip", Defaults()), kUnzipUnsafeEntry) << Seen::printed;
    EXPECT_THAT(Seen::printed, HasSubstr("symbolic link"));
    EXPECT_EQ(Tree(dest_), (Files{{"ok.txt", Bytes("fine")}}));
#ifndef _WIN32
    const std::string outside = ScratchFolder("outside");
    fs::create_directory_symlink(outside, dest_ + "/link");
    fs::create_symlink(outside + "/target.txt", dest_ + "/file.txt");
    EXPECT_EQ(Run(kCorpus + "through-links.zip", Defaults()), kUnzipUnsafeEntry) << Seen::printed;
    EXPECT_TRUE(fs::is_empty(outside));
#endif
}

TEST_F(UnzipLibraryTest, EncryptedEntriesNeedTheRightPassword) {
    const std::string archive = kCorpus + "secret.zip";
    for (const auto& [password, asked] : {std::pair{std::string("wrong"), 6}, {std::string(1000, 'w'), 6}, {"", 1}}) {
        Seen::Reset();  // three tries for each entry; none given counts for the whole run
        Seen::password = password;
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
        {.what = "tested", .set = [](DCL& d) { d.TestZip = 1, d.MessageLevel = 0; },  // folders are not tested
         .printed = "b.txt   OK\n    testing: e.txt   OK\n"},
        {.what = "listed", .set = [](DCL& d) { d.ExtractList = 1; }, .include = {"*.txt"}, .printed = " 4 files\n",
         .listed = {"my dir/my file.txt", "Docs/b.txt", "e.txt", "z.txt"}},
        {.what = "listed without case", .set = [](DCL& d) { d.ExtractList = 1, d.CaseSensitive = 0; },
         .include = {"*.TXT"}, .exclude = {"docs/b*"},
         .listed = {"my dir/my file.txt", "Docs/Read.TXT", "e.txt", "z.txt"}},
        {.what = "in full", .set = [](DCL& d) { d.ExtractList = 1, d.Verbose = 1; }, .include = {"z.txt"},
         .printed = "  Defl:N "},
        {.what = "no match", .set = [](DCL&) {}, .include = {"nothing*"}, .result = kUnzipWarning,
         .printed = "caution: no entry"},
        {.what = "level 7", .set = [](DCL& d) { d.MessageLevel = 7; }, .result = kUnzipBadOptions,
         .printed = "MessageLevel is 7"},
        {.what = "switch 2", .set = [](DCL& d) { d.TestZip = 2; }, .result = kUnzipBadOptions,
         .printed = "TestZip is 2"},
        {.what = "security", .set = [](DCL& d) { d.Privilege = 1; }, .result = kUnzipUnsupported,
         .printed = "Privilege 1"},
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
        }
    }
    // An empty archive with names to match, a missing archive, and name lists that do not fit their counts.
    EXPECT_EQ(Run(kCorpus + "empty.zip", Defaults(), {"x"}), kUnzipWarning);
    EXPECT_EQ(Run(scratch_ + "/missing.zip", Defaults()), kUnzipNoArchive);
    std::string name = archive;
    DCL options = Defaults();
    options.ZipFileName = name.data();
    char* list[kUnzipNameListSize] = {};
    for (const auto& [includes, in, excludes, ex] :
         {std::tuple{-1, list, 0, list}, {0, list, -1, list}, {1, nullptr, 0, list}, {0, list, 1, nullptr}})
        EXPECT_EQ(Unzip(includes, in, excludes, ex, &options, &functions_), kUnzipBadOptions);
    ExpectNothingWritten();
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
}

}  // namespace
}  // namespace ost::zip::test
