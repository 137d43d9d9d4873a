// The library's three entries natively, through the same records the bridge fills, on a real
// disk; the archives are checked by unzip, Python's zipfile, 7-Zip and bsdtar.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "memory_file_system.h"
#include "zip_test_util.h"
#include "ziplib/posix_file_system.h"
#include "ziplib/zip32_api.h"

namespace ost::zip::test {
namespace {

using ::testing::HasSubstr;

// What the print callback received: every call's text, and whether each call kept the buffer rules.
struct Recorder {
    static inline std::string text;
    static inline std::vector<uint32_t> lengths;
    static inline bool buffersTerminated = true;
    static inline std::string password;
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
    static void Reset() {
        text.clear();
        lengths.clear();
        buffersTerminated = true;
        password.clear();
    }
};

class Zip32LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Recorder::Reset();
        ZIPUSERFUNCTIONS functions{&Recorder::Print, &Recorder::Password, nullptr, nullptr};
        ASSERT_EQ(library_.Init(&functions), 1);
    }
    // One run as the bridge makes it: options first, then the archive with the name list.
    int32_t Run(ZPOPT options, const std::string& archive, const std::vector<std::string>& names, std::string root) {
        Recorder::text.clear();
        options.szRootDir = root.data();
        EXPECT_EQ(library_.SetOptions(&options), 1);
        EXPECT_EQ(options.fEncryption, 1);
        std::vector<std::string> copies = names;
        ZIPNAMES list{};
        for (size_t i = 0; i < copies.size(); ++i)
            list.name[i] = copies[i].data();
        std::string name = archive;
        return library_.Archive(static_cast<int32_t>(copies.size()), name.data(), &list);
    }
    // Writes `bytes` as `folder`/`name` and as the expected copy under its stored name.
    void Input(const std::string& folder,
               const std::string& name,
               const std::vector<uint8_t>& bytes,
               const std::string& archive) {
        WriteFile(folder + "/" + name, bytes);
        WriteFile(archive + ".expected/" + name, bytes);
    }

    PosixFileSystem fs_;
    Utf8Codec codec_;
    Zip32Library library_{fs_, codec_};
};

TEST_F(Zip32LibraryTest, TheWorkflowsArchiveOpensInEveryReader) {
    const std::string in = ScratchFolder("in"), out = ScratchFolder("out");
    const std::string archive = out + "/support.OVSupport";
    const std::vector<uint8_t> noise = RandomBytes(200000);
    Input(in, "ovsupport.txt", Bytes(std::string(200, '-') + "\r\nWindows XP 5.1 (Build 2600)\r\n"), archive);
    Input(in, "regbackup.reg", RegistryLikeText(5 << 20), archive);  // several blocks deflated in parallel
    Input(in, "caf\xc3\xa9 \xe2\x82\xac.txt", Bytes("a name outside ASCII " + std::string(100, '.')), archive);
    Input(in, "noise.bin", noise, archive);
    WriteFile(archive, Bytes("an earlier support file, replaced whole"));

    ASSERT_EQ(Run({}, archive,
                  {"querty", in + "/ovsupport.txt", in + "/regbackup.reg", in + "/caf\xc3\xa9 \xe2\x82\xac.txt",
                   in + "/noise.bin"},
                  in),
              0)
        << Recorder::text;
    EXPECT_THAT(Recorder::text, HasSubstr(" zip warning: name not matched: querty\n"));
    EXPECT_THAT(Recorder::text, HasSubstr("  adding: regbackup.reg (deflated "));
    EXPECT_THAT(Recorder::text, HasSubstr("  adding: noise.bin (stored 0%)\n"));
    EXPECT_THAT(Recorder::text, HasSubstr("  adding: caf\xc3\xa9 \xe2\x82\xac.txt (deflated"));
    EXPECT_TRUE(Recorder::buffersTerminated);
    const ReadBack back = ReadArchive(ReadFile(archive));
    EXPECT_EQ(back.headers.at("noise.bin").method, kMethodStored);
    EXPECT_EQ(back.headers.at("caf\xc3\xa9 \xe2\x82\xac.txt").flags, kFlagUtf8);
    EXPECT_EQ(back.headers.at("ovsupport.txt").flags, 0);
    bool ok = false;
    const std::string report = CheckWithReaders(archive, ok);
    EXPECT_TRUE(ok) << report;
    for (const auto& entry : std::filesystem::directory_iterator(out))
        EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST_F(Zip32LibraryTest, EncryptedArchivesOpenWithThePasswordAndNotWithout) {
    const std::string in = ScratchFolder("in"), out = ScratchFolder("out");
    const std::string archive = out + "/secret.zip";
    Input(in, "report.txt", Bytes(std::string(3000, 'r')), archive);
    Input(in, "registry.reg", RegistryLikeText(3 << 20), archive);
    Input(in, "noise.bin", RandomBytes(70000), archive);
    WriteFile(archive + ".password", Bytes("Pebble-7"));

    EXPECT_EQ(Run(Switches(&ZPOPT::fEncrypt), archive, {in + "/report.txt"}, in), kCancelled);
    EXPECT_THAT(Recorder::text, HasSubstr("fEncrypt is on but no password was given"));
    EXPECT_FALSE(std::filesystem::exists(archive));

    Recorder::password = "Pebble-7";
    ASSERT_EQ(
        Run(Switches(&ZPOPT::fEncrypt), archive, {in + "/report.txt", in + "/registry.reg", in + "/noise.bin"}, in), 0)
        << Recorder::text;
    bool ok = false;
    const std::string report = CheckWithReaders(archive, ok);
    EXPECT_TRUE(ok) << report;
    std::filesystem::remove(archive + ".password");
    EXPECT_FALSE(CheckWithReaders(archive, ok).empty());
    EXPECT_FALSE(ok) << "the entries opened without the password";
}

TEST_F(Zip32LibraryTest, EverySwitchThatIsNotSupportedIsRefusedByName) {
    const std::string in = ScratchFolder("in"), out = ScratchFolder("out");
    WriteFile(in + "/a.txt", Bytes("a"));
    struct Refused {
        int32_t ZPOPT::*field;
        const char* name;
    };
    const Refused refused[] = {{&ZPOPT::fSuffix, "fSuffix"},
                               {&ZPOPT::fVolume, "fVolume"},
                               {&ZPOPT::fExtra, "fExtra"},
                               {&ZPOPT::fExcludeDate, "fExcludeDate"},
                               {&ZPOPT::fIncludeDate, "fIncludeDate"},
                               {&ZPOPT::fForce, "fForce"},
                               {&ZPOPT::fJunkSFX, "fJunkSFX"},
                               {&ZPOPT::fLatestTime, "fLatestTime"},
                               {&ZPOPT::fOffsets, "fOffsets"},
                               {&ZPOPT::fPrivilege, "fPrivilege"},
                               {&ZPOPT::fRepair, "fRepair"}};
    for (const Refused& r : refused) {
        ZPOPT options{};
        options.*r.field = 1;
        EXPECT_EQ(Run(options, out + "/a.zip", {in + "/a.txt"}, in), kBadOptions) << r.name;
        EXPECT_THAT(Recorder::text, HasSubstr(std::string(" zip error: ") + r.name + " (")) << r.name;
    }
    EXPECT_EQ(Run(Switches(&ZPOPT::fVerbose, &ZPOPT::fQuiet), out + "/a.zip", {in + "/a.txt"}, in), kBadOptions);
    EXPECT_THAT(Recorder::text, HasSubstr("fVerbose and fQuiet cannot both be on"));
    EXPECT_EQ(Run(Level(200), out + "/a.zip", {in + "/a.txt"}, in), kBadOptions);
    EXPECT_THAT(Recorder::text, HasSubstr("fLevel 200 is not a compression level"));
    EXPECT_FALSE(std::filesystem::exists(out + "/a.zip"));

    // A long message arrives in pieces of at most 4096 bytes, each followed by a zero byte.
    const std::string longName(6000, 'n');
    EXPECT_EQ(Run(Switches(&ZPOPT::fVerbose), out + "/a.zip", {longName, in + "/a.txt"}, in), 0);
    EXPECT_THAT(Recorder::text, HasSubstr("name not matched: " + longName + "\n"));
    EXPECT_THAT(Recorder::text, HasSubstr("total bytes=1, compressed="));
    EXPECT_TRUE(Recorder::buffersTerminated);
    EXPECT_EQ(*std::max_element(Recorder::lengths.begin(), Recorder::lengths.end()), 4096u);
    EXPECT_EQ(library_.Archive(101, out.data(), nullptr), kBadOptions);

    // fComment asks the comment callback, which gets the current comment and returns the new one.
    ZIPUSERFUNCTIONS withComment{&Recorder::Print, nullptr, &Recorder::Comment, nullptr};
    library_.Init(&withComment);
    EXPECT_EQ(Run(Switches(&ZPOPT::fComment), out + "/a.zip", {in + "/a.txt"}, in), 0) << Recorder::text;
    const std::vector<uint8_t> archive = ReadFile(out + "/a.zip");
    MemorySource source(archive);
    const std::vector<uint8_t> comment = ReadArchiveDirectory(source, "a.zip").comment;
    EXPECT_EQ(std::string(comment.begin(), comment.end()), "Support file, ticket 42 (was: \"\")");
}

TEST(Zip64Test, MoreThan65534EntriesGiveAZip64DirectoryThatEveryReaderOpens) {
    MemoryFileSystem fs;
    const std::string out = ScratchFolder("out");
    const std::string archive = out + "/many.zip";
    for (int i = 0; i < 65537; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "/c/d%02d/%05d.txt", i / 1000, i);
        fs.AddFile(name, std::to_string(i));
    }
    ZipJobOptions options;
    options.recurse = true;
    options.noFolderEntries = true;
    options.quiet = true;
    options.rootFolder = "/c";
    std::string printed;
    ASSERT_EQ(RunZipJob(fs, "/out.zip", {"/c"}, options, {[&](std::string_view m) { printed += m; }, {}, {}, {}}), kOk)
        << printed;
    EXPECT_TRUE(printed.empty()) << "quiet prints no progress: " << printed.substr(0, 200);
    const std::vector<uint8_t>& bytes = fs.Bytes("/out.zip");
    const ReadBack back = ReadArchive(bytes);
    ASSERT_EQ(back.files.size(), 65537u);
    EXPECT_EQ(back.files.at("d65/65536.txt"), Bytes("65536"));
    const uint8_t* end = bytes.data() + bytes.size() - kEndSize;
    EXPECT_EQ(GetU16(end + 10), 0xFFFF);
    EXPECT_EQ(GetU32(end - kZip64LocatorSize), kZip64LocatorSignature);
    WriteFile(archive, bytes);
    bool ok = false;
    const std::string report = CheckWithReaders(archive, ok, true);
    EXPECT_TRUE(ok) << report;
}

}  // namespace
}  // namespace ost::zip::test
