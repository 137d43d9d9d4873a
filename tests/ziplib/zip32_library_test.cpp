// The library's three entries through the records the bridge fills, on a real disk: natively over
// the POSIX file system, and under Wine through the real zip32.dll loaded by name. The archives are
// checked by unzip, Python's zipfile, 7-Zip and bsdtar: natively here, and under Wine afterwards by
// the test zip32_archives_open_in_every_reader, which checks what is left in OST_ZIP32_OUTPUT.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "memory_file_system.h"
#include "zip_test_util.h"
#include "ziplib/zip32.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/text.h"
#include "platform/win32/unique_handle.h"
#else
#include "ziplib/posix_file_system.h"
#include "ziplib/zip32_api.h"
#endif

namespace ost::zip::test {
namespace {

using ::testing::HasSubstr;

#ifdef _WIN32
template <typename Fn>
Fn Entry(const char* name) {
    static HMODULE library = ::LoadLibraryW((L"Z:" + std::filesystem::path(OST_ZIP32_DLL).wstring()).c_str());
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}
const auto Init = Entry<ZpInitFn>("ZpInit");
const auto SetOptions = Entry<ZpSetOptionsFn>("ZpSetOptions");
const auto Archive = Entry<ZpArchiveFn>("ZpArchive");
const std::string kOutput = "Z:" OST_ZIP32_OUTPUT;  // archives kept for the readers' check
std::string Ansi(const std::string& utf8) {
    return win::ToAnsi(utf8);
}
#else
Zip32Library& Native() {
    static PosixFileSystem fileSystem;
    static Utf8Codec codec;
    static Zip32Library library(fileSystem, codec);
    return library;
}
const ZpInitFn Init = [](ZIPUSERFUNCTIONS* f) { return Native().Init(f); };
const ZpSetOptionsFn SetOptions = [](ZPOPT* o) { return Native().SetOptions(o); };
const ZpArchiveFn Archive = [](int32_t count, char* name, ZIPNAMES* list) {
    return Native().Archive(count, name, list);
};
const std::string kOutput;
std::string Ansi(const std::string& utf8) {
    return utf8;
}
#endif

// What the callbacks received, and whether each print call kept the buffer rules.
struct Recorder {
    static inline std::string text, password;
    static inline std::vector<uint32_t> lengths;
    static inline bool buffersTerminated = true;
    static inline int serviceCalls = 0;
    static int32_t ZIP32_API Print(char* buffer, uint32_t length) {
        lengths.push_back(length);
        buffersTerminated = buffersTerminated && length < kZipCallbackBufferSize && buffer[length] == '\0';
        text.append(buffer, length);
        return 0;
    }
    static int32_t ZIP32_API Password(char* buffer, int32_t size, const char*, const char*) {
        std::snprintf(buffer, static_cast<size_t>(size), "%s", password.c_str());
        return 1;
    }
    static char* ZIP32_API Comment(char* buffer) {
        const std::string was = buffer;
        std::snprintf(buffer, kZipCallbackBufferSize, "Support file, ticket 42 (was: \"%s\")", was.c_str());
        return buffer;
    }
    static int32_t ZIP32_API StopAtSecond(const char*, uint32_t) { return ++serviceCalls >= 2 ? 1 : 0; }
};

ZPOPT On(std::initializer_list<int32_t ZPOPT::*> switches, uint8_t level = 0) {
    ZPOPT options{};
    options.fLevel = level;
    for (int32_t ZPOPT::*s : switches)
        options.*s = 1;
    return options;
}

class Zip32LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Init && SetOptions && Archive) << "an entry is not exported under its plain name";
        Recorder::password.clear();
        Recorder::serviceCalls = 0;
    }
    // One run in the bridge's order: ZpInit, ZpSetOptions with the 8-bit root, ZpArchive.
    int32_t Run(ZPOPT options,
                const std::string& archive,
                const std::vector<std::string>& names,
                ZipServiceFn service = nullptr) {
        Recorder::text.clear(), Recorder::lengths.clear();
        Recorder::buffersTerminated = true;
        ZIPUSERFUNCTIONS functions{&Recorder::Print, &Recorder::Password, &Recorder::Comment, service};
        EXPECT_EQ(Init(&functions), 1);
        std::string root = root_;
        options.szRootDir = root.data();
        EXPECT_EQ(SetOptions(&options), 1);
        EXPECT_EQ(options.fEncryption, 1);
        std::vector<std::string> copies = names;
        ZIPNAMES list{};
        for (size_t i = 0; i < copies.size(); ++i)
            list.name[i] = copies[i].data();
        std::string name = archive;
        return Archive(static_cast<int32_t>(copies.size()), name.data(), &list);
    }
    // Writes `bytes` as an input file and as the expected copy under its stored name.
    void Input(const std::string& name, const std::vector<uint8_t>& bytes, const std::string& archive) {
        WriteFile(in_ + "/" + name, bytes);
        WriteFile(archive + ".expected/" + name, bytes);
    }
    void ExpectNoTemporaryLeft() {
        for (const auto& entry : std::filesystem::directory_iterator(out_))
            EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
    }

    const std::string in_ = ScratchFolder("in"), out_ = ScratchFolder("out", kOutput);
    std::string root_ = in_;
};

TEST_F(Zip32LibraryTest, TheWorkflowsArchiveOpensInEveryReader) {
    const std::string archive = out_ + "/support.OVSupport", cafe = "caf\xc3\xa9 \xe2\x82\xac.txt";
    Input("ovsupport.txt", Bytes(std::string(200, '-') + "\r\nWindows XP 5.1 (Build 2600)\r\n"), archive);
    Input("regbackup.reg", RegistryLikeText(5 << 20), archive);  // several blocks deflated in parallel
    Input(cafe, Bytes("a name outside ASCII " + std::string(100, '.')), archive);
    Input("noise.bin", RandomBytes(200000), archive);
    Input("logs/app.log", Bytes("a log in a folder"), archive);
    WriteFile(archive, Bytes("an earlier support file, replaced whole"));
    if (Ansi(cafe).find('?') != std::string::npos)
        GTEST_SKIP() << "the ANSI code page cannot hold " << cafe;

    // The list full: empty names count for nothing, and names no file can have are not matched.
    const std::string underFile = in_ + "/ovsupport.txt/x", tooLong = in_ + "/" + std::string(300, 'n');
    std::vector<std::string> names(kZipNameListSize - 7);
    names.insert(names.end(), {"querty", underFile, tooLong, in_ + "/ovsupport.txt", in_ + "/regbackup.reg",
                               Ansi(in_ + "/" + cafe), in_ + "/noise.bin"});
    ASSERT_EQ(Run(ZPOPT{}, archive, names), 0) << Recorder::text;
    for (const std::string& unmatched : {std::string("querty"), underFile, tooLong})
        EXPECT_THAT(Recorder::text, HasSubstr(" zip warning: name not matched: " + unmatched + "\n"));
    EXPECT_THAT(Recorder::text, HasSubstr("  adding: regbackup.reg (deflated "));
    EXPECT_THAT(Recorder::text, HasSubstr("  adding: noise.bin (stored 0%)\n"));
    EXPECT_THAT(Recorder::text, HasSubstr("  adding: " + Ansi(cafe) + " (deflated"));
    EXPECT_TRUE(Recorder::buffersTerminated);
    const ReadBack back = ReadArchive(ReadFile(archive));
    EXPECT_EQ(back.headers.at(cafe).flags, kFlagUtf8);
    EXPECT_EQ(back.headers.at(cafe).localExtra, UnicodePathExtra(cafe));
    EXPECT_EQ(back.headers.at(cafe).centralExtra, UnicodePathExtra(cafe));
    EXPECT_EQ(back.headers.at("ovsupport.txt").flags, 0);

    // A folder is recursed, and the archive never packs itself.
    ASSERT_EQ(Run(On({&ZPOPT::fRecurse, &ZPOPT::fGrow, &ZPOPT::fNoDirEntries}), archive, {in_ + "/logs", archive}), 0)
        << Recorder::text;
    EXPECT_EQ(CheckWithReaders(archive), "");
    ExpectNoTemporaryLeft();
}

TEST_F(Zip32LibraryTest, TheArchiveNeverPacksItselfHoweverItIsNamed) {
    WriteFile(in_ + "/a.txt", Bytes("a"));
    WriteFile(in_ + "/self.zip", Bytes("an earlier archive"));
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(in_);
    root_.clear();
    EXPECT_EQ(Run(ZPOPT{}, "self.zip", {in_ + "/self.zip", in_ + "/a.txt"}), 0) << Recorder::text;
    std::filesystem::current_path(previous);
    EXPECT_EQ(ReadArchive(ReadFile(in_ + "/self.zip")).files.size(), 1u);
}

// The readers open the entries with the password, and Python's zipfile not without it.
TEST_F(Zip32LibraryTest, EncryptedArchivesOpenWithThePasswordAndNotWithout) {
    const std::string archive = out_ + "/secret.zip";
    Input("report.txt", Bytes(std::string(3000, 'r')), archive);
    Input("registry.reg", RegistryLikeText(3 << 20), archive);
    Input("noise.bin", RandomBytes(70000), archive);
    WriteFile(archive + ".password", Bytes("Pebble-7"));

    EXPECT_EQ(Run(On({&ZPOPT::fEncrypt}), archive, {in_ + "/report.txt"}), kCancelled);
    EXPECT_THAT(Recorder::text, HasSubstr("fEncrypt is on but no password was given"));
    EXPECT_FALSE(std::filesystem::exists(archive));

    Recorder::password = "Pebble-7";
    ASSERT_EQ(Run(On({&ZPOPT::fEncrypt}), archive, {in_ + "/report.txt", in_ + "/registry.reg", in_ + "/noise.bin"}), 0)
        << Recorder::text;
    EXPECT_EQ(CheckWithReaders(archive), "");
}

TEST_F(Zip32LibraryTest, EverySwitchThatIsNotSupportedIsRefusedByName) {
    const std::string archive = out_ + "/a.zip";
    WriteFile(in_ + "/a.txt", Bytes("a"));
    const struct {
        ZPOPT options;
        const char* refusal;
    } refused[] = {
        {On({&ZPOPT::fSuffix}), "fSuffix ("},
        {On({&ZPOPT::fVolume}), "fVolume ("},
        {On({&ZPOPT::fExtra}), "fExtra ("},
        {On({&ZPOPT::fExcludeDate}), "fExcludeDate ("},
        {On({&ZPOPT::fIncludeDate}), "fIncludeDate ("},
        {On({&ZPOPT::fForce}), "fForce ("},
        {On({&ZPOPT::fJunkSFX}), "fJunkSFX ("},
        {On({&ZPOPT::fLatestTime}), "fLatestTime ("},
        {On({&ZPOPT::fOffsets}), "fOffsets ("},
        {On({&ZPOPT::fPrivilege}), "fPrivilege ("},
        {On({&ZPOPT::fRepair}), "fRepair ("},
        {On({&ZPOPT::fVerbose, &ZPOPT::fQuiet}), "fVerbose and fQuiet cannot both be on"},
        {On({}, 200), "fLevel 200 is not a compression level"},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(Run(r.options, archive, {in_ + "/a.txt"}), kBadOptions) << r.refusal;
        EXPECT_THAT(Recorder::text, HasSubstr(std::string(" zip error: ") + r.refusal));
    }
    EXPECT_FALSE(std::filesystem::exists(archive));

    // A long message arrives in pieces of at most 4096 bytes, each followed by a zero byte.
    const std::string longName(6000, 'n');
    EXPECT_EQ(Run(On({&ZPOPT::fVerbose}), archive, {longName, in_ + "/a.txt"}), 0);
    EXPECT_THAT(Recorder::text, HasSubstr("name not matched: " + longName + "\n"));
    EXPECT_THAT(Recorder::text, HasSubstr("total bytes=1, compressed="));
    EXPECT_TRUE(Recorder::buffersTerminated);
    EXPECT_EQ(*std::max_element(Recorder::lengths.begin(), Recorder::lengths.end()), 4096u);

    // fComment asks the comment callback, which gets the current comment and returns the new one.
    EXPECT_EQ(Run(On({&ZPOPT::fComment}), archive, {in_ + "/a.txt"}), 0) << Recorder::text;
    const std::vector<uint8_t> bytes = ReadFile(archive);
    MemorySource source(bytes);
    const std::vector<uint8_t> comment = ReadArchiveDirectory(source, "a.zip").comment;
    EXPECT_EQ(std::string(comment.begin(), comment.end()), "Support file, ticket 42 (was: \"\")");
    // Name counts outside 0 to 100, or without a list, are refused; none at all is nothing to do.
    std::string name = archive;
    EXPECT_EQ(Archive(kZipNameListSize + 1, name.data(), nullptr), kBadOptions);
    EXPECT_EQ(Archive(1, name.data(), nullptr), kBadOptions);
    EXPECT_EQ(Archive(0, name.data(), nullptr), kNothingToDo);
    EXPECT_EQ(Run(ZPOPT{}, "", {in_ + "/a.txt"}), kBadOptions);
    EXPECT_THAT(Recorder::text, HasSubstr(" zip error: no archive name given\n"));
}

#ifdef _WIN32
// The root folder comes upper-cased by Windows' rules, as the bridge sends it; a file inside it is
// stored relative to it whatever letters its name has.
TEST_F(Zip32LibraryTest, AFileInTheUpperCasedRootIsStoredRelativeToIt) {
    const std::string folder = "caf\u00e9 \u00e0 la cr\u00e8me.d", archive = out_ + "/root.zip";
    if (Ansi(folder).find('?') != std::string::npos)
        GTEST_SKIP() << "the ANSI code page " << ::GetACP() << " cannot hold " << folder;
    WriteFile(in_ + "/" + folder + "/x.txt", Bytes("x"));
    WriteFile(archive + ".expected/x.txt", Bytes("x"));
    root_ = Ansi(win::UpperCase(in_ + "\\" + folder));
    ASSERT_EQ(Run(ZPOPT{}, archive, {Ansi(in_ + "\\" + folder + "\\x.txt")}), 0) << Recorder::text;
    EXPECT_EQ(ReadArchive(ReadFile(archive)).headers.count("x.txt"), 1u) << Recorder::text;
}

TEST_F(Zip32LibraryTest, FailuresLeaveTheEarlierArchiveByteForByteAndNoTemporaryFile) {
    const std::string archive = out_ + "/failures.zip", second = in_ + "\\second.reg";
    WriteFile(in_ + "/first.txt", Bytes(std::string(5000, 'f')));
    WriteFile(second, RegistryLikeText(3 << 20, 9));
    const std::vector<std::string> both = {in_ + "\\first.txt", second};
    ASSERT_EQ(Run(ZPOPT{}, archive, {both[0]}), 0) << Recorder::text;
    const std::vector<uint8_t> earlier = ReadFile(archive);
    {
        win::UniqueFile lock(
            ::CreateFileW(win::Widen(second).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        EXPECT_EQ(Run(ZPOPT{}, archive, both), 11);
        EXPECT_THAT(Recorder::text, HasSubstr("second.reg for reading: the file is in use by another program"));
    }
    EXPECT_EQ(ReadFile(archive), earlier);

    EXPECT_EQ(Run(ZPOPT{}, archive, both, &Recorder::StopAtSecond), 9);
    EXPECT_THAT(Recorder::text, HasSubstr("stopped by the caller before second.reg"));
    EXPECT_EQ(ReadFile(archive), earlier);

    ASSERT_TRUE(::SetFileAttributesW(win::Widen(archive).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Run(ZPOPT{}, archive, both), 15) << Recorder::text;
    EXPECT_THAT(Recorder::text, HasSubstr("cannot put the new archive in place of"));
    ::SetFileAttributesW(win::Widen(archive).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFile(archive), earlier);
    ExpectNoTemporaryLeft();
}
#else
TEST(Zip64Test, MoreThan65534EntriesGiveAZip64DirectoryThatEveryReaderOpens) {
    MemoryFileSystem fs;
    for (int i = 0; i < 65537; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "/c/d%02d/%05d.txt", i / 1000, i);
        fs.AddFile(name, std::to_string(i));
    }
    ZipJobOptions options = With(&ZipJobOptions::noFolderEntries, &ZipJobOptions::quiet, &ZipJobOptions::recurse);
    options.rootFolder = "/c";
    std::string printed;
    ASSERT_EQ(RunZipJob(fs, "/out.zip", {"/c"}, options, {[&](std::string_view m) { printed += m; }, {}, {}, {}}), kOk)
        << printed;
    EXPECT_TRUE(printed.empty()) << "quiet prints no progress: " << printed.substr(0, 200);
    const std::vector<uint8_t>& bytes = fs.Bytes("/out.zip");
    const ReadBack back = ReadArchive(bytes);
    ASSERT_EQ(back.files.size(), 65537u);
    EXPECT_EQ(back.files.at("d65/65536.txt"), Bytes("65536"));
    EXPECT_EQ(GetU16(bytes.data() + bytes.size() - kEndSize + 10), 0xFFFF);
    const std::string archive = ScratchFolder("out") + "/many.zip";
    WriteFile(archive, bytes);
    EXPECT_EQ(CheckWithReaders(archive, true), "");
}
#endif

}  // namespace
}  // namespace ost::zip::test
