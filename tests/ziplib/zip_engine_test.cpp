// The engine over an in-memory file system: what it packs, how it treats names that match no
// file, the existing-archive modes, and failures that must leave the earlier archive untouched.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "memory_file_system.h"
#include "zip_test_util.h"

namespace ost::zip::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Names = std::vector<std::string>;

class ZipEngineTest : public ::testing::Test {
  protected:
    Result Run(const Names& names, ZipJobOptions options = {}) {
        printed_.clear();
        options.threads = 2;
        options.rootFolder = "/c";
        return RunZipJob(fs_, kArchive, names, options, callbacks_);
    }
    ReadBack Archive() { return ReadArchive(fs_.Bytes(kArchive)); }
    Names Stored() {
        Names names;
        for (const auto& [name, header] : Archive().headers)
            names.push_back(name);
        return names;
    }

    static constexpr const char* kArchive = "/out/support.OVSupport";
    MemoryFileSystem fs_;
    std::string printed_;
    ZipCallbacks callbacks_{[this](std::string_view m) { printed_ += m; }, {}, {}, {}};
};

TEST_F(ZipEngineTest, ThePlaceholderIsWarnedAboutAndTheRealFilesArePacked) {
    const std::vector<uint8_t> registry = RegistryLikeText(3 << 20);
    fs_.AddFile("/c/ovsupport.txt", std::string(5000, 'x') + "\r\nWindows XP\r\n");
    fs_.AddFile("/c/regbackup.reg", registry);
    ASSERT_EQ(Run({"querty", "/c/ovsupport.txt", "/c/regbackup.reg"}), kOk) << printed_;
    EXPECT_THAT(printed_, HasSubstr(" zip warning: name not matched: querty\n"));
    EXPECT_THAT(printed_, HasSubstr("  adding: ovsupport.txt (deflated 99%)\n"));
    EXPECT_THAT(printed_, HasSubstr("  adding: regbackup.reg (deflated "));
    const ReadBack back = Archive();
    const EntryHeader& reg = back.headers.at("regbackup.reg");
    EXPECT_EQ(back.files.at("regbackup.reg"), registry);
    EXPECT_EQ(reg.method, kMethodDeflated);
    EXPECT_EQ(reg.modified.Key(), ToDosTime({2024, 5, 6, 7, 8, 10}).Key());
    EXPECT_EQ(reg.versionNeeded, kVersionDefault);
    EXPECT_EQ(reg.externalAttributes, kDosArchive);
    EXPECT_EQ(fs_.Paths(), (Names{"/c/ovsupport.txt", "/c/regbackup.reg", kArchive}));

    // Nothing but names that match no file: nothing is written, and an existing archive stays.
    const std::vector<uint8_t> before = fs_.Bytes(kArchive);
    EXPECT_EQ(Run({"querty", "/c/missing.txt", "/c/x*.txt"}), kNothingToDo);
    EXPECT_THAT(printed_, HasSubstr(" zip warning: name not matched: /c/x*.txt\n"));
    EXPECT_THAT(printed_, HasSubstr(" zip error: nothing to do"));
    EXPECT_EQ(fs_.Bytes(kArchive), before);
}

TEST_F(ZipEngineTest, IncompressibleAndEmptyFilesAreStoredAndTextIsDeflated) {
    const std::vector<uint8_t> noise = RandomBytes(300000);
    fs_.AddFile("/c/noise.bin", noise);
    fs_.AddFile("/c/empty.txt", std::string());
    fs_.AddFile("/c/text.txt", std::string(100000, 'a'));
    ASSERT_EQ(Run({"/c/noise.bin", "/c/empty.txt", "/c/text.txt"}), kOk) << printed_;
    const ReadBack back = Archive();
    EXPECT_EQ(back.headers.at("noise.bin").method, kMethodStored);
    EXPECT_EQ(back.files.at("noise.bin"), noise);
    EXPECT_EQ(back.headers.at("empty.txt").method, kMethodStored);
    EXPECT_EQ(back.headers.at("text.txt").method, kMethodDeflated);
    EXPECT_THAT(printed_, HasSubstr("  adding: noise.bin (stored 0%)\n"));
    // The stored copy replaced the deflated attempt in place: nothing of it is left behind.
    uint64_t entries = 0;
    for (const auto& [name, h] : back.headers)
        entries += kLocalHeaderSize + name.size() + h.compressedSize + kCentralHeaderSize + name.size();
    EXPECT_EQ(fs_.Bytes(kArchive).size(), entries + kEndSize);
}

TEST_F(ZipEngineTest, FailuresMidwayLeaveTheEarlierArchiveByteForByte) {
    fs_.AddFile("/c/a.txt", RegistryLikeText(200000, 3));
    fs_.AddFile("/c/b.reg", RegistryLikeText(3 << 20, 4));
    fs_.AddFile("/c/old.txt", "the earlier archive");
    ASSERT_EQ(Run({"/c/old.txt"}), kOk);
    const std::vector<uint8_t> earlier = fs_.Bytes(kArchive);
    const Names paths = fs_.Paths();
    const MemoryFileSystem before = fs_;
    // The directory disk-full case needs the exact size of what comes before it.
    MemoryFileSystem probe = fs_;
    ZipJobOptions root;
    root.rootFolder = "/c";
    ASSERT_EQ(RunZipJob(probe, kArchive, {"/c/a.txt", "/c/b.reg"}, root, {}), kOk);
    const uint64_t withoutEnd = probe.Bytes(kArchive).size() - kEndSize - 2 * kCentralHeaderSize - 10;
    const struct {
        const char* what;
        std::function<void()> arrange;
        Result expected;
        const char* message;
    } failures[] = {
        {"disk full in a header", [&] { fs_.diskFree = 10; }, kWriteFailed, "Disk full"},
        {"disk full in the big file", [&] { fs_.diskFree = 150000; }, kWriteFailed, "Disk full"},
        {"disk full in the directory", [&] { fs_.diskFree = withoutEnd; }, kWriteFailed, "Disk full"},
        {"read error in the big file", [&] { fs_.failReadAfter["/c/b.reg"] = 2 << 20; }, kReadFailed,
         "cannot read /c/b.reg: I/O error"},
        {"locked file", [&] { fs_.locked.insert("/c/b.reg"); }, kReadFailed, "in use by another program"},
        {"target cannot be replaced", [&] { fs_.replaceFails = true; }, kReplaceFailed, "Access is denied"},
        {"stopped by the caller",
         [&] { callbacks_.service = [](const std::string& name, uint64_t) { return name != "b.reg"; }; }, kCancelled,
         "stopped by the caller before b.reg"},
    };
    for (const auto& f : failures) {
        fs_ = before;
        callbacks_.service = nullptr;
        f.arrange();
        EXPECT_EQ(Run({"/c/a.txt", "/c/b.reg"}), f.expected) << f.what << "\n" << printed_;
        EXPECT_THAT(printed_, HasSubstr(f.message)) << f.what;
        EXPECT_EQ(fs_.Bytes(kArchive), earlier) << f.what;
        EXPECT_EQ(fs_.Paths(), paths) << f.what << ": a temporary file was left behind";
    }
}

TEST_F(ZipEngineTest, ExistingArchivesAreGrownUpdatedFreshenedAndPruned) {
    const LocalTime older{2023, 1, 1, 0, 0, 0}, newer{2025, 1, 1, 0, 0, 0};
    fs_.AddFile("/c/a.txt", "first a", older);
    fs_.AddFile("/c/b.txt", "first b", older);
    ASSERT_EQ(Run({"/c/a.txt", "/c/b.txt"}), kOk);
    fs_.AddFile("/c/a.txt", "second a", newer);
    fs_.AddFile("/c/b.txt", "second b, same time", older);
    fs_.AddFile("/c/c.txt", "new c", newer);

    EXPECT_EQ(Run({"/c/a.txt", "/c/b.txt", "/c/c.txt"}, With(&ZipJobOptions::update)), kOk) << printed_;
    EXPECT_THAT(printed_, HasSubstr("updating: a.txt"));
    EXPECT_THAT(printed_, HasSubstr("unchanged: b.txt"));
    EXPECT_THAT(printed_, HasSubstr("  adding: c.txt"));
    const ReadBack back = Archive();
    EXPECT_EQ(back.files.at("a.txt"), Bytes("second a"));
    EXPECT_EQ(back.files.at("b.txt"), Bytes("first b"));
    EXPECT_EQ(back.files.at("c.txt"), Bytes("new c"));

    const std::vector<uint8_t> current = fs_.Bytes(kArchive);
    EXPECT_EQ(Run({"/c/a.txt", "/c/b.txt"}, With(&ZipJobOptions::update)), kNothingToDo) << "every entry is current";
    EXPECT_EQ(fs_.Bytes(kArchive), current);

    fs_.AddFile("/c/b.txt", "third b", newer);
    fs_.AddFile("/c/d.txt", "not in the archive", newer);
    EXPECT_EQ(Run({"/c/b.txt", "/c/d.txt"}, With(&ZipJobOptions::freshen)), kOk) << printed_;
    EXPECT_THAT(printed_, HasSubstr("skipped: d.txt"));
    EXPECT_EQ(Stored(), (Names{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(Archive().files.at("b.txt"), Bytes("third b"));

    EXPECT_EQ(Run({"/c/d.txt"}, With(&ZipJobOptions::grow)), kOk);
    EXPECT_EQ(Stored(), (Names{"a.txt", "b.txt", "c.txt", "d.txt"}));

    EXPECT_EQ(Run({"B.TXT", "c*", "x*"}, With(&ZipJobOptions::deleteEntries)), kOk) << printed_;
    EXPECT_THAT(printed_, HasSubstr("deleting: b.txt"));
    EXPECT_THAT(printed_, HasSubstr(" zip warning: name not matched: x*"));
    EXPECT_EQ(Stored(), (Names{"a.txt", "d.txt"}));
    EXPECT_EQ(Archive().files.at("a.txt"), Bytes("second a"));

    // Without grow or update the archive holds exactly the files named.
    EXPECT_EQ(Run({"/c/d.txt"}), kOk);
    EXPECT_EQ(Stored(), Names{"d.txt"});

    // A damaged archive is never carried over.
    std::vector<uint8_t>& bytes = fs_.At(kArchive).bytes;
    bytes.pop_back();
    const std::vector<uint8_t> damaged = bytes;
    EXPECT_EQ(Run({"/c/a.txt"}, With(&ZipJobOptions::grow)), kBadArchive);
    EXPECT_THAT(printed_, HasSubstr("cannot be read: it has no end of central directory record"));
    EXPECT_EQ(fs_.Bytes(kArchive), damaged);
}

TEST_F(ZipEngineTest, ArchivesThatCannotBeCarriedWholeAreRefusedWithTheirFault) {
    fs_.AddFile("/c/a.txt", "first");
    fs_.AddFile("/c/b.txt", "second");
    ASSERT_EQ(Run({"/c/a.txt", "/c/b.txt"}), kOk);
    const std::vector<uint8_t> good = fs_.Bytes(kArchive);
    const size_t end = good.size() - kEndSize, central = GetU32(&good[end + 16]);
    const size_t second = central + kCentralHeaderSize + 5;  // b.txt's central header
    const struct {
        std::function<void(std::vector<uint8_t>&)> apply;
        const char* fault;
    } damages[] = {
        {[&](auto& b) { b.pop_back(); }, "no end of central directory record"},
        {[&](auto& b) { b.push_back(0); }, "1 bytes after its end record"},
        {[&](auto& b) { b.insert(b.begin(), 64, 'x'); }, "64 bytes of other data before the archive"},
        {[&](auto& b) { b[end + 8] = b[end + 10] = 3; }, "entry count does not fit"},
        {[&](auto& b) { b[end + 16] += 1; }, "central directory"},
        {[&](auto& b) { b[kLocalHeaderSize] = 'A'; }, "a.txt cannot be read: its local header disagrees"},
        {[&](auto& b) { b[second + kCentralHeaderSize] = b[GetU32(&b[second + 42]) + kLocalHeaderSize] = 'a'; },
         "appears twice"},
        {[&](auto& b) { b[central + 20] = 0xF0; }, "runs into the central directory"},
        {[&](auto& b) { b[central + 42] = static_cast<uint8_t>(central + 10); },
         "the entry a.txt lies outside the archive"},
        {[&](auto& b) { std::fill_n(&b[central + 20], 4, 0xFF); }, "the ZIP64 field of a.txt is missing"},
        {[&](auto& b) { b[central + 34] = 1; }, "split over several disks"},
    };
    for (const auto& d : damages) {
        std::vector<uint8_t> bytes = good;
        d.apply(bytes);
        MemorySource source(bytes);
        try {
            RequireWholeArchive(ReadArchiveDirectory(source, "damaged.zip"), "damaged.zip");
            ADD_FAILURE() << "read a damaged archive: " << d.fault;
        } catch (const ZipError& e) {
            EXPECT_EQ(e.Code(), kBadArchive);
            EXPECT_THAT(e.what(), HasSubstr(d.fault));
        }
    }
    // A file that ends before the size it gave (it shrank while it was read) is truncated.
    struct ShrunkSource : MemorySource {
        using MemorySource::MemorySource;
        uint64_t Size() override { return MemorySource::Size() + 100; }
    } shrunk(good);
    EXPECT_THAT([&] { ReadArchiveDirectory(shrunk, "shrunk.zip"); },
                ::testing::ThrowsMessage<ZipError>(HasSubstr("shrunk.zip cannot be read: it is truncated")));
}

TEST_F(ZipEngineTest, FoldersAreRecursedHiddenFilesFollowTheSystemSwitchAndNamesCanClash) {
    fs_.AddFile("/c/docs/a.txt", "a");
    fs_.AddFile("/c/docs/sub/b.txt", "b");
    fs_.AddFile("/c/docs/sub/secret.txt", "s");
    fs_.At("/c/docs/sub/secret.txt").info.hidden = true;
    fs_.AddFile("/c/other/a.txt", "other a");

    EXPECT_EQ(Run({"/c/docs"}, With(&ZipJobOptions::recurse)), kOk) << printed_;
    EXPECT_EQ(Stored(), (Names{"docs/", "docs/a.txt", "docs/sub/", "docs/sub/b.txt"}));
    EXPECT_EQ(Archive().headers.at("docs/sub/").externalAttributes, kDosFolder);

    const auto all = With(&ZipJobOptions::includeSystem, &ZipJobOptions::noFolderEntries, &ZipJobOptions::recurse);
    EXPECT_EQ(Run({"/c/docs"}, all), kOk);
    EXPECT_EQ(Stored(), (Names{"docs/a.txt", "docs/sub/b.txt", "docs/sub/secret.txt"}));
    EXPECT_EQ(Archive().headers.at("docs/sub/secret.txt").externalAttributes, kDosArchive | kDosHidden);

    EXPECT_EQ(Run({"/c/docs/sub/secret.txt", "/c/docs/*.txt"}), kOk);
    EXPECT_THAT(printed_, HasSubstr("skipped hidden or system file: /c/docs/sub/secret.txt (fSystem is off)"));
    EXPECT_THAT(printed_, Not(HasSubstr("not matched")));
    EXPECT_EQ(Stored(), Names{"docs/a.txt"});

    EXPECT_EQ(Run({"/c/docs/a.txt", "/c/other/a.txt"}, With(&ZipJobOptions::junkFolders)), kNameConflict);
    EXPECT_THAT(printed_, HasSubstr("two files would be stored as a.txt: /c/docs/a.txt and /c/other/a.txt"));
    EXPECT_EQ(Run({"/c/docs/a.txt", "/c/other/a.txt", "/c/docs/a.txt"}), kOk) << "a file named twice is packed once";
}

TEST_F(ZipEngineTest, MovedFilesAreDeletedOnlyOnceTheArchiveIsInPlace) {
    fs_.AddFile("/c/in/a.txt", "a");
    fs_.AddFile("/c/in/b.txt", "b");
    fs_.diskFree = 20;
    EXPECT_EQ(Run({"/c/in"}, With(&ZipJobOptions::recurse, &ZipJobOptions::move)), kWriteFailed);
    EXPECT_TRUE(fs_.Stat("/c/in/a.txt"));
    fs_.diskFree = UINT64_MAX;
    EXPECT_EQ(Run({"/c/in"}, With(&ZipJobOptions::recurse, &ZipJobOptions::move)), kOk) << printed_;
    EXPECT_EQ(fs_.Paths(), Names{kArchive});
    EXPECT_FALSE(fs_.Stat("/c/in")) << "the emptied folder goes too";
    EXPECT_EQ(Archive().files.at("in/b.txt"), Bytes("b"));
    // A file that cannot be deleted stays, and so does its folder, each with a warning.
    fs_.AddFile("/c/in/c.txt", "c");
    fs_.undeletable.insert("/c/in/c.txt");
    EXPECT_EQ(Run({"/c/in"}, With(&ZipJobOptions::recurse, &ZipJobOptions::move)), kOk) << printed_;
    EXPECT_THAT(printed_,
                HasSubstr("could not delete /c/in/c.txt after packing it (fMove): in use by another program"));
    EXPECT_THAT(printed_, HasSubstr("could not delete the folder /c/in after packing it (fMove)"));
}

TEST_F(ZipEngineTest, LineEndsAreTranslatedInTextFilesOnly) {
    const std::vector<uint8_t> utf16 = RegistryLikeText(1000);
    fs_.AddFile("/c/unix.txt", "one\ntwo\n");
    fs_.AddFile("/c/dos.txt", "one\r\ntwo\r\n");
    fs_.AddFile("/c/registry.reg", utf16);
    ZipJobOptions options;
    options.lineEnds = ZipJobOptions::LineEnds::kLfToCrLf;
    ASSERT_EQ(Run({"/c/unix.txt", "/c/registry.reg"}, options), kOk);
    EXPECT_EQ(Archive().files.at("unix.txt"), Bytes("one\r\ntwo\r\n"));
    EXPECT_EQ(Archive().files.at("registry.reg"), utf16);
    options.lineEnds = ZipJobOptions::LineEnds::kCrLfToLf;
    ASSERT_EQ(Run({"/c/dos.txt"}, options), kOk);
    EXPECT_EQ(Archive().files.at("dos.txt"), Bytes("one\ntwo\n"));
}

}  // namespace
}  // namespace ost::zip::test
